#include "cutter/command_line.h"

#include <cstdio>
#include <cstring>

namespace console {

namespace {

// The help's lines after a program's own; the same for both programs.
const char kOptionsHelp[] =
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n"
    "A file named --help or --version is given as ./--help or ./--version.\n";

}  // namespace

int usageError(const ProgramText& program) {
  std::fputs(program.usage, stderr);
  return 1;
}

std::optional<int> answerOption(const ProgramText& program, const char* arg) {
  if (std::strcmp(arg, "--help") == 0) {
    std::printf("%s%s%sMore: man %s\n", program.usage, program.about, kOptionsHelp, program.name);
  } else if (std::strcmp(arg, "--version") == 0) {
    std::printf("%s %s\n", program.name, MIVOR_VERSION);
  } else {
    return std::nullopt;
  }
  // A help that did not arrive is a failure, as a report that did not is.
  return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

}  // namespace console
