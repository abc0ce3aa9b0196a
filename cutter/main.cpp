// mivor: cuts the music blocks out of every disk of a D88 image file.
#include <cstdio>
#include <filesystem>

#include "cutter/command_line.h"
#include "cutter/cutter.h"

namespace {

const console::ProgramText kProgram = {
    "mivor", "Usage: mivor [d88file]\n",
    "Cuts the music blocks out of every disk of the D88 image file d88file into\n"
    "the files MUS00, MUS01, ... of the current directory. A line for each disk\n"
    "and each block goes to standard output, errors to standard error.\n"
    "An image from a pipe: unzip -p game.zip game.d88 | mivor /dev/stdin\n"};

// "ファイルをオープンできません." in Shift-JIS, written as raw bytes whatever
// the console's code page.
const char kCannotOpen[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x49\x81\x5B\x83\x76\x83\x93"
    "\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x2E\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return console::usageError(kProgram);
  if (const auto status = console::answerOption(kProgram, argv[1])) return *status;
  if (!g_image.open(argv[1])) {
    std::fwrite(kCannotOpen, 1, sizeof kCannotOpen - 1, stderr);
    return 1;
  }

  const std::filesystem::path imagePath(argv[1]);
  bool allWritten = true;
  int musicNumber = 0;
  for (int d = 0; d < g_image.diskCount(); ++d) {
    std::printf("searching ... Disk No.%1c\n", '1' + d);
    // A disk that cannot be selected still gets its pass: every track reads
    // as absent and the pass finds nothing.
    g_image.selectDisk(d);
    if (!diskPass(musicNumber, imagePath)) allWritten = false;
  }
  return allWritten ? 0 : 1;
}
