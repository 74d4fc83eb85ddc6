// Replays a fuzz target's inputs without libFuzzer, for the sanitizer build of the test suite:
//   kova_NAME_replay FILE_OR_FOLDER...
// Every file is run whole, then every prefix of it (inputs cut short anywhere), then a fixed set
// of byte mutations (the same on every run), so the replay reaches past what the seeds hold.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void Run(const std::vector<uint8_t>& bytes) { LLVMFuzzerTestOneInput(bytes.data(), bytes.size()); }

void Replay(const std::vector<uint8_t>& seed) {
  Run(seed);
  // Prefixes: all of them for small inputs, else about 256 spread over the input.
  const size_t step = seed.size() <= 512 ? 1 : seed.size() / 256;
  for (size_t n = 0; n < seed.size(); n += step) Run(std::vector<uint8_t>(seed.begin(), seed.begin() + ptrdiff_t(n)));
  if (seed.empty()) return;
  // Mutations from a fixed generator: single bytes set to interesting values, and words of 0xFF.
  uint32_t state = 0x2545F491u;
  auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  };
  static const uint8_t kValues[] = {0x00, 0x01, 0x7F, 0x80, 0xFF, 0xFE, 0x10, 0x40};
  for (int i = 0; i < 200; ++i) {
    std::vector<uint8_t> m = seed;
    const size_t at = next() % m.size();
    if (i % 3 == 2) {
      for (size_t k = at; k < m.size() && k < at + 4; ++k) m[k] = 0xFF;
    } else {
      m[at] = kValues[next() % sizeof kValues];
    }
    Run(m);
  }
}

std::vector<uint8_t> ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Usage(const char* program, FILE* to) {
  std::fprintf(to,
               "usage: %s FILE_OR_FOLDER...\n"
               "  replays each file (every file of a folder): whole, its prefixes and fixed mutations\n"
               "  -h, --help  show this and end\n",
               program);
}

}  // namespace

int main(int argc, char** argv) {
  const char* program = argc > 0 ? argv[0] : "replay";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      Usage(program, stdout);
      return 0;
    }
    if (arg.starts_with("-")) {
      std::fprintf(stderr, "%s: unknown option %s\n", program, arg.c_str());
      Usage(program, stderr);
      return 2;
    }
  }
  size_t files = 0;
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path arg = argv[i];
    std::vector<std::filesystem::path> paths;
    if (std::filesystem::is_directory(arg)) {
      for (const auto& entry : std::filesystem::directory_iterator(arg))
        if (entry.is_regular_file()) paths.push_back(entry.path());
    } else {
      paths.push_back(arg);
    }
    std::sort(paths.begin(), paths.end());
    for (const auto& path : paths) {
      Replay(ReadAll(path));
      ++files;
    }
  }
  std::printf("replayed %zu inputs\n", files);
  return files > 0 ? 0 : 1;
}
