// Test helpers: a fresh temporary directory, and runs of a built program
// (mivor, d88info) in it with standard output, standard error and status
// captured.
#ifndef MIVOR_TESTS_TOOL_RUNNER_H
#define MIVOR_TESTS_TOOL_RUNNER_H

#include <filesystem>
#include <string>
#include <vector>

#include "tests/d88_builder.h"

namespace d88test {

// mivor's open-failure message, "ファイルをオープンできません." in Shift-JIS.
inline constexpr char kMivorCannotOpen[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x49\x81\x5B\x83\x76\x83\x93"
    "\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x2E\x0A";

// A directory of its own under the system's temporary directory, removed
// with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The path of name inside the directory.
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  // Writes bytes to name inside the directory and returns its path.
  std::string put(const std::string& name, const Bytes& bytes) const;
  // The names of the regular files in the directory (not links), sorted.
  std::vector<std::string> files() const;

 private:
  std::filesystem::path path_;
};

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

// What a run gets besides its arguments; by default nothing on standard input.
struct RunSetup {
  // A file whose bytes reach the program's standard input through a pipe.
  std::string pipedInput;
  // Shell commands run just before the program in its own shell, such as
  // "ulimit -n 4".
  std::string shellBefore;
  // Other than 0: every file the program writes is capped at this many bytes
  // (a multiple of 512), with SIGXFSZ ignored, so that a write beyond it
  // fails with EFBIG instead of killing the program.
  long fileSizeLimit = 0;
};

// Runs the program binary with args (each passed as one word) in directory
// dir, set up as setup says.
RunResult runProgram(const std::string& binary, const std::filesystem::path& dir,
                     const std::vector<std::string>& args, const RunSetup& setup = RunSetup());

// Runs the built mivor with args in directory dir, set up as setup says.
RunResult runMivor(const std::filesystem::path& dir, const std::vector<std::string>& args,
                   const RunSetup& setup = RunSetup());

}  // namespace d88test

#endif  // MIVOR_TESTS_TOOL_RUNNER_H
