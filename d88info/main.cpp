// d88info: shows what the D88 reader sees on every disk of an image file.
#include <cstdio>
#include <string>

#include "cutter/command_line.h"
#include "d88info/report.h"

namespace {

const console::ProgramText kProgram = {
    "d88info", "Usage: d88info FILE\n",
    "Shows on standard output what mivor's reader sees on every disk of the D88\n"
    "image FILE: its header, its tracks and sectors, where mivor's load of the\n"
    "disk stops, and the music blocks mivor would cut from it. It only reads\n"
    "FILE.\n"
    "An image from a pipe: unzip -p game.zip game.d88 | d88info /dev/stdin\n"};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return console::usageError(kProgram);
  if (const auto status = console::answerOption(kProgram, argv[1])) return *status;
  D88Image image;
  if (!image.open(argv[1])) {
    std::fprintf(stderr, "d88info: cannot open %s\n", argv[1]);
    return 1;
  }
  const std::string report = describeImage(image);
  std::fwrite(report.data(), 1, report.size(), stdout);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fputs("d88info: cannot write the report\n", stderr);
    return 1;
  }
  return 0;
}
