#!/usr/bin/env python3
"""Compares two builds of a benchmark program side by side.

For every benchmark both programs have (and the filter selects), the two programs are run in
alternation ROUNDS times, one short run each, so that both see the same moments of a busy machine.
Prints the minimum and median time of each and the ratios second/first, then the geometric mean of
the ratios of the minima.

    tools/bench_pair.py [--filter REGEX] [--rounds N] [--min-time SECONDS] [--cpu N] BEFORE AFTER
"""
import argparse
import json
import math
import re
import statistics
import subprocess
import sys


def names(program, pattern):
    out = subprocess.run([program, "--benchmark_list_tests", f"--benchmark_filter={pattern}"],
                         capture_output=True, text=True, check=True).stdout
    return [line.strip() for line in out.splitlines() if line.strip()]


def run(program, name, pin, min_time):
    out = subprocess.run(pin + [program, f"--benchmark_filter=^{re.escape(name)}$", "--benchmark_format=json",
                                f"--benchmark_min_time={min_time}"], capture_output=True, text=True).stdout
    try:
        results = json.loads(out)["benchmarks"]
        return results[0]["real_time"] if results and "error_message" not in results[0] else None
    except (ValueError, KeyError):
        return None


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("before")
    ap.add_argument("after")
    ap.add_argument("--filter", default=".")
    ap.add_argument("--rounds", type=int, default=5)
    ap.add_argument("--min-time", default="0.05", help="seconds per run (a plain number)")
    ap.add_argument("--cpu", type=int, help="pin every run to this processor (taskset)")
    args = ap.parse_args()
    pin = ["taskset", "-c", str(args.cpu)] if args.cpu is not None else []
    theirs = set(names(args.after, args.filter))
    common = [n for n in names(args.before, args.filter) if n in theirs]
    print(f"{'benchmark':50s} {'min before':>11s} {'min after':>11s} {'med before':>11s} {'med after':>11s}"
          f" {'ratio min':>9s} {'ratio med':>9s}", flush=True)
    ratios = []
    for name in common:
        times = {args.before: [], args.after: []}
        for r in range(args.rounds):
            order = (args.before, args.after) if r % 2 == 0 else (args.after, args.before)
            for program in order:
                t = run(program, name, pin, args.min_time)
                if t is not None:
                    times[program].append(t)
        a, b = times[args.before], times[args.after]
        if not a or not b:
            print(f"{name:50s} (no result)", flush=True)
            continue
        ratio = min(b) / min(a)
        ratios.append(ratio)
        print(f"{name:50s} {min(a):11.3f} {min(b):11.3f} {statistics.median(a):11.3f} {statistics.median(b):11.3f}"
              f" {ratio:9.3f} {statistics.median(b) / statistics.median(a):9.3f}", flush=True)
    if ratios:
        mean = math.exp(sum(map(math.log, ratios)) / len(ratios))
        print(f"geometric mean of the ratios of the minima: {mean:.3f} over {len(ratios)} benchmarks")
    return 0


if __name__ == "__main__":
    sys.exit(main())
