// d88info: shows what the D88 reader sees on every disk of an image file.
#include <cstdio>
#include <string>

#include "d88info/report.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("Usage: d88info FILE\n", stderr);
    return 1;
  }
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
