// The command-line conventions both programs share: the usage error and the
// answers to --help and --version.
#ifndef MIVOR_CUTTER_COMMAND_LINE_H
#define MIVOR_CUTTER_COMMAND_LINE_H

#include <optional>

namespace console {

// What a program says about itself.
struct ProgramText {
  const char* name;   // the program's name, as the version line and the manual page give it
  const char* usage;  // the usage line, newline included
  const char* about;  // the lines of the help between the usage line and the options
};

// Writes the usage line to standard error. Returns the status of a usage
// error, 1.
int usageError(const ProgramText& program);

// When arg is exactly "--help" or "--version", writes the help or the
// version line to standard output and returns the status to exit with: 0, or
// 1 when standard output cannot be written. Empty for any other argument,
// which names the image.
std::optional<int> answerOption(const ProgramText& program, const char* arg);

}  // namespace console

#endif  // MIVOR_CUTTER_COMMAND_LINE_H
