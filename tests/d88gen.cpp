// Writes generated D88 images made with the test builder.
//
//   d88gen demo FILE        two disks with three music blocks, one to be patched
//   d88gen bench DISKS FILE  DISKS full double-sided disks (40 cylinders of
//                            16 x 256-byte sectors a side), each with a few
//                            blocks, some to be patched
#include <cstdio>
#include <cstdlib>
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

Bytes benchImage(int disks) {
  constexpr int kDiskBytes = 0x50000;
  std::vector<Bytes> parts;
  for (int d = 0; d < disks; ++d) {
    // Something other than zeros, so that reading is not helped by them.
    Bytes area(kDiskBytes);
    std::uint32_t x = 0x9E3779B9u * static_cast<std::uint32_t>(d + 1);
    for (auto& b : area) {
      x = x * 1664525u + 1013904223u;
      b = static_cast<std::uint8_t>(x >> 24);
    }
    const int blocks = 2 + d % 3;
    for (int k = 0; k < blocks; ++k) {
      putBlock(area, ((d * 7 + k * 29) % 300 + k * 320) * 256, (d + k) % 2 == 0,
               static_cast<std::uint8_t>(d + k));
    }
    area.resize(kDiskBytes);
    parts.push_back(build(diskHolding(area, "BENCH " + std::to_string(d + 1))));
  }
  return concat(parts);
}

bool write(const char* path, const Bytes& bytes) {
  if (writeFile(path, bytes)) return true;
  std::fprintf(stderr, "d88gen: cannot write %s\n", path);
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "demo") == 0) return write(argv[2], demoImage()) ? 0 : 1;
  if (argc == 4 && std::strcmp(argv[1], "bench") == 0) {
    const int disks = std::atoi(argv[2]);
    if (disks >= 1 && disks <= 64) return write(argv[3], benchImage(disks)) ? 0 : 1;
  }
  std::fputs("usage: d88gen demo FILE | d88gen bench DISKS FILE\n", stderr);
  return 2;
}
