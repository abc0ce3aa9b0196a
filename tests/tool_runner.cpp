#include "tests/tool_runner.h"

#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace fs = std::filesystem;

namespace d88test {

namespace {

std::string text(const fs::path& p) {
  const Bytes b = readFile(p.string());
  return std::string(b.begin(), b.end());
}

// Quotes s as one word for the shell.
std::string shellWord(const std::string& s) {
  std::string q = "'";
  for (char ch : s) {
    if (ch == '\'') {
      q += "'\\''";
    } else {
      q += ch;
    }
  }
  return q + "'";
}

}  // namespace

TempDir::TempDir() {
  static std::atomic<int> serial{0};
  path_ = fs::temp_directory_path() /
          ("mivor-test-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
  fs::remove_all(path_);
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string TempDir::put(const std::string& name, const Bytes& bytes) const {
  const std::string p = file(name);
  writeFile(p, bytes);
  return p;
}

std::vector<std::string> TempDir::files() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path_)) {
    if (entry.symlink_status().type() == fs::file_type::regular) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

RunResult runProgram(const std::string& binary, const fs::path& dir, const std::vector<std::string>& args,
                     const RunSetup& setup) {
  // Captures go beside the run's directory, so they never show up among its
  // output files.
  const fs::path out = dir.string() + ".stdout";
  const fs::path err = dir.string() + ".stderr";
  std::string program = shellWord(binary);
  for (const std::string& a : args) program += " " + shellWord(a);
  std::string before = setup.shellBefore;
  // The shell's ulimit -f counts blocks of 512 bytes; an ignored signal stays
  // ignored across exec.
  if (setup.fileSizeLimit > 0) {
    before += (before.empty() ? "" : "; ") + std::string("ulimit -f ") + std::to_string(setup.fileSizeLimit / 512) +
              " && trap '' XFSZ";
  }
  if (!before.empty()) program = "(" + before + "; exec " + program + ")";
  program += " >" + shellWord(out.string()) + " 2>" + shellWord(err.string());
  // The status of a pipeline is its last command's: the program's.
  const std::string command = "cd " + shellWord(dir.string()) + " && " +
                              (setup.pipedInput.empty() ? program + " </dev/null"
                                                        : "cat " + shellWord(setup.pipedInput) + " | " + program);

  RunResult result;
  const int raw = std::system(command.c_str());
  result.status = (raw != -1 && WIFEXITED(raw)) ? WEXITSTATUS(raw) : -1;
  result.out = text(out);
  result.err = text(err);
  fs::remove(out);
  fs::remove(err);
  return result;
}

RunResult runMivor(const fs::path& dir, const std::vector<std::string>& args, const RunSetup& setup) {
  return runProgram(MIVOR_BINARY, dir, args, setup);
}

}  // namespace d88test
