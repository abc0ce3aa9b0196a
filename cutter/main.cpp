// mivor: cuts the music blocks out of every disk of a D88 image file.
#include <cstdio>
#include <filesystem>

#include "cutter/cutter.h"

namespace {

// "ファイルをオープンできません." in Shift-JIS, written as raw bytes whatever
// the console's code page.
const char kCannotOpen[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x49\x81\x5B\x83\x76\x83\x93"
    "\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x2E\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("Usage: mivor [d88file]\n", stderr);
    return 1;
  }
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
