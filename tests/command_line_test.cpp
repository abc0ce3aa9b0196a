// Both programs' command lines: the usage error, --help and --version, and
// every other single argument taken as the image.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "d88info/report.h"
#include "tests/d88_builder.h"
#include "tests/tool_runner.h"

using namespace d88test;

namespace {

// What a run is expected to do, the same for both programs; each program has
// its own texts for it.
enum class Outcome { kUsageError, kHelp, kVersion, kCannotOpen, kReadsImage };

struct Program {
  std::string name;
  std::string binary;
  std::string usage;
  std::string (*cannotOpen)(const std::string& arg);
  std::string (*imageOutput)(const std::string& imagePath);
};

std::string mivorCannotOpen(const std::string&) { return kMivorCannotOpen; }

std::string mivorImageOutput(const std::string&) { return "searching ... Disk No.1\n"; }

std::string d88infoCannotOpen(const std::string& arg) { return "d88info: cannot open " + arg + "\n"; }

std::string d88infoImageOutput(const std::string& imagePath) {
  D88Image image;
  return image.open(imagePath.c_str()) ? describeImage(image) : "<cannot open>";
}

const Program kPrograms[] = {
    {"mivor", MIVOR_BINARY, "Usage: mivor [d88file]\n", mivorCannotOpen, mivorImageOutput},
    {"d88info", D88INFO_BINARY, "Usage: d88info FILE\n", d88infoCannotOpen, d88infoImageOutput},
};

// The help: the usage line first, then lines that fit a console, naming both
// options, how to reach a file named like one, and the manual page.
void expectHelp(const Program& p, const std::string& out) {
  EXPECT_EQ(out.substr(0, p.usage.size()), p.usage);
  for (const std::string& part : {std::string("--help"), std::string("--version"), std::string("./--help"),
                                  "man " + p.name + "\n"}) {
    EXPECT_NE(out.find(part, p.usage.size()), std::string::npos) << part << " in\n" << out;
  }
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out.back(), '\n');
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 79u) << line;
}

TEST(CommandLine, OptionsUsageAndImage) {
  struct Case {
    std::vector<std::string> args;
    Outcome outcome;
  };
  const Case cases[] = {
      {{}, Outcome::kUsageError},
      {{"--help"}, Outcome::kHelp},
      {{"--version"}, Outcome::kVersion},
      // An option counts only as the one argument.
      {{"--help", "--version"}, Outcome::kUsageError},
      {{"--version", "image.d88"}, Outcome::kUsageError},
      {{"image.d88", "--help"}, Outcome::kUsageError},
      // Anything but the exact words names a file.
      {{"./--help"}, Outcome::kReadsImage},
      {{"./--version"}, Outcome::kReadsImage},
      {{"image.d88"}, Outcome::kReadsImage},
      {{"-h"}, Outcome::kCannotOpen},
      {{"--Help"}, Outcome::kCannotOpen},
      {{"--help="}, Outcome::kCannotOpen},
      {{"--versio"}, Outcome::kCannotOpen},
      {{"--"}, Outcome::kCannotOpen},
      {{""}, Outcome::kCannotOpen},
  };

  TempDir dir;
  const Bytes image = build(diskOf({standardTrack(0, Bytes(), 2)}));
  // Files named like the options: only ./--help and ./--version reach them.
  for (const char* name : {"image.d88", "--help", "--version"}) dir.put(name, image);

  for (const Program& p : kPrograms) {
    for (const Case& c : cases) {
      std::string what = p.name;
      for (const std::string& a : c.args) what += " '" + a + "'";
      SCOPED_TRACE(what);
      const RunResult run = runProgram(p.binary, dir.path(), c.args);
      switch (c.outcome) {
        case Outcome::kUsageError:
          EXPECT_EQ(run.status, 1);
          EXPECT_EQ(run.out, "");
          EXPECT_EQ(run.err, p.usage);
          break;
        case Outcome::kHelp:
          EXPECT_EQ(run.status, 0);
          expectHelp(p, run.out);
          EXPECT_EQ(run.err, "");
          break;
        case Outcome::kVersion:
          EXPECT_EQ(run.status, 0);
          EXPECT_EQ(run.out, p.name + " " + MIVOR_VERSION + "\n");
          EXPECT_EQ(run.err, "");
          break;
        case Outcome::kCannotOpen:
          EXPECT_EQ(run.status, 1);
          EXPECT_EQ(run.out, "");
          EXPECT_EQ(run.err, p.cannotOpen(c.args[0]));
          break;
        case Outcome::kReadsImage:
          EXPECT_EQ(run.status, 0);
          EXPECT_EQ(run.out, p.imageOutput(dir.file(c.args[0])));
          EXPECT_EQ(run.err, "");
          break;
      }
    }
  }
  // Nothing was written: only the three images are there, unchanged.
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"--help", "--version", "image.d88"}));
  for (const char* name : {"image.d88", "--help", "--version"}) EXPECT_EQ(readFile(dir.file(name)), image) << name;
}

TEST(CommandLine, AnAnswerThatCannotBeWrittenFails) {
  for (const Program& p : kPrograms) {
    for (const char* option : {"--help", "--version"}) {
      const std::string command = "'" + p.binary + "' " + option + " >/dev/full 2>/dev/null";
      const int raw = std::system(command.c_str());
      ASSERT_TRUE(raw != -1 && WIFEXITED(raw)) << command;
      EXPECT_EQ(WEXITSTATUS(raw), 1) << command;
    }
  }
}

}  // namespace
