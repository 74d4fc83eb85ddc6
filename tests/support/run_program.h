// Runs a program of the build as the end-to-end tests do: its standard output and error go to
// the files given ("" sends that stream to /dev/null), and the call waits for it to end.
#pragma once

#include <string>
#include <vector>

namespace kova::test {

// The exit status of `program` run with `args` (its own name not among them); -1 when it could
// not be started or did not exit by itself.
int RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& out_path,
               const std::string& err_path);

}  // namespace kova::test
