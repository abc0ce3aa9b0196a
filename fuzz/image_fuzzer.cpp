// libFuzzer target: each input is a D88 image file. A run does with it what
// the tool does (open, index, select each disk, the disk pass with its scan,
// patch and cut), makes d88info's report on it, then reads sectors directly
// with arguments taken from the input's last bytes.
//
// The image and the MUS files a run cuts live in a scratch directory of the
// process's own, removed at exit, so fuzzing leaves nothing in the working
// directory. The pass runs with that directory as the working directory; a
// crash inside it writes its artifact there unless -artifact_prefix names an
// absolute path.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cutter/cutter.h"
#include "d88info/report.h"

namespace fs = std::filesystem;

namespace {

// The largest buffer a direct read is given: more than a 3072-byte cut, and
// several chunks of the biggest real sectors.
constexpr int kMaxReadLength = 0x8000;

fs::path g_scratch;
fs::path g_imagePath;

void removeScratch() {
  std::error_code ec;
  fs::remove_all(g_scratch, ec);
}

bool writeImage(const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(g_imagePath.string().c_str(), "wb");
  if (f == nullptr) return false;
  const bool written = size == 0 || std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && written;
}

// What the tool's main does once the file is open: every disk in turn.
void cutAllDisks() {
  const fs::path home = fs::current_path();
  fs::current_path(g_scratch);
  int musicNumber = 0;
  for (int d = 0; d < g_image.diskCount(); ++d) {
    g_image.selectDisk(d);
    diskPass(musicNumber, g_imagePath);
  }
  fs::current_path(home);
}

// One call of each read with arguments from the input, into buffers of
// exactly the length passed, so that AddressSanitizer sees any byte written
// past it.
void readDirectly(FuzzedDataProvider& in) {
  g_image.selectDisk(in.ConsumeIntegralInRange<int>(-1, d88::kMaxDisks));
  const int first = in.ConsumeIntegral<std::uint8_t>();
  g_image.setSectorRange(first, in.ConsumeIntegral<std::uint8_t>());

  const int track = in.ConsumeIntegralInRange<int>(-1, d88::kTrackCount);
  const int c = in.ConsumeIntegral<std::uint8_t>();
  const int h = in.ConsumeIntegral<std::uint8_t>();
  const int r = in.ConsumeIntegral<std::uint8_t>();
  const int n = in.ConsumeIntegralInRange<int>(-1, 24);
  const int length = in.ConsumeIntegralInRange<int>(0, kMaxReadLength);
  std::vector<std::uint8_t> dest(static_cast<std::size_t>(length));
  std::uint8_t* p = dest.data();

  g_image.readSector(track, c, h, r, n, p, length);
  g_image.readSectors(track, c, h, r, n, p, length);
  g_image.readTrackIds(track, p, length);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string dir = (fs::temp_directory_path() / "mivor-fuzz-XXXXXX").string();
  if (::mkdtemp(dir.data()) == nullptr) {
    std::perror("mivor fuzzer: cannot create a scratch directory");
    std::exit(1);
  }
  g_scratch = dir;
  g_imagePath = g_scratch / "image.d88";
  std::atexit(removeScratch);
  // The progress lines would only slow the fuzzer down.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::exit(1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!writeImage(data, size)) std::abort();  // the scratch directory is gone
  if (g_image.open(g_imagePath.string().c_str())) {
    cutAllDisks();
    describeImage(g_image);
    FuzzedDataProvider in(data, size);
    readDirectly(in);
  }
  g_image.open(nullptr);
  return 0;
}
