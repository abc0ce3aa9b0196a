// Writes generated D88 images made with the test builder.
//
//   d88gen demo FILE   two disks with three music blocks, one to be patched
#include <cstdio>
#include <cstring>

#include "tests/d88_builder.h"

using namespace d88test;

namespace {

Bytes demoImage() {
  Bytes first(0x20000, 0);
  putBlock(first, 0x1200, false, 0x10);
  putBlock(first, 0x8000, true, 0x20);
  Bytes second(0x10000, 0);
  putBlock(second, 0x2000, false, 0x30);
  return concat({build(diskHolding(first, "DEMO DISK A")), build(diskHolding(second, "DEMO DISK B"))});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "demo") == 0) {
    if (writeFile(argv[2], demoImage())) return 0;
    std::fprintf(stderr, "d88gen: cannot write %s\n", argv[2]);
    return 1;
  }
  std::fputs("usage: d88gen demo FILE\n", stderr);
  return 2;
}
