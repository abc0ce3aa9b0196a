#include "cutter/cutter.h"

#include <cstring>
#include <system_error>

using namespace cutter;

D88Image g_image;
std::uint8_t g_work[kWorkSize + kWorkMargin];
std::FILE* g_out;

namespace {

const std::uint8_t kSignature[kSignatureLength] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, kJumpOpcode};

bool isMusicBlock(const std::uint8_t* p) {
  return std::memcmp(p, kSignature, kSignatureLength) == 0 && p[kCheckOffset] == kJumpOpcode;
}

// Creates (or replaces) the file name holding length bytes from data, written
// in one call. False when it cannot be created, fully written or closed.
bool writeFile(const char* name, const std::uint8_t* data, int length) {
  g_out = std::fopen(name, "wb");
  if (g_out == nullptr) return false;
  const bool written =
      std::fwrite(data, 1, static_cast<std::size_t>(length), g_out) == static_cast<std::size_t>(length);
  const bool closed = std::fclose(g_out) == 0;
  g_out = nullptr;
  return written && closed;
}

void reportWriteFailure(const char* name) {
  std::fflush(stdout);  // keep the failure after its "cutting" line on a shared console
  std::fprintf(stderr, "cannot write %s\n", name);
}

}  // namespace

bool diskPass(int& musicNumber, const std::filesystem::path& imagePath) {
  g_image.setSectorRange(kFirstSector, kLastSector);
  // A run that ends early leaves the rest of the area as it was: clear it so
  // that an earlier disk's blocks are not found again.
  std::memset(g_work, 0, kWorkSize);
  g_image.readSectors(0, 0, 0, kFirstSector, kSizeCode, g_work, kWorkSize);

  bool allWritten = true;
  // The scan does not skip past a block it cut: later positions inside it
  // are tested like any other.
  for (int p = 0; p < kScanEnd; p += kScanStep) {
    std::uint8_t* block = g_work + p;
    if (!isMusicBlock(block)) continue;

    char name[kOutputNameSize];
    std::snprintf(name, sizeof name, kOutputNameFormat, musicNumber);
    ++musicNumber;
    std::printf("cutting ... %5s  adr=%06x\n", name, static_cast<unsigned>(p));

    int length = kCutLength;
    if (block[kPatchOffset] == kCallOpcode) {
      std::printf("* patched *\n");
      block[kPatchOffset] = kLoadHlOpcode;
      length = kPatchedCutLength;
    }

    // Opening the image itself for writing would truncate it.
    std::error_code ec;
    const bool isImage = std::filesystem::equivalent(imagePath, name, ec);
    if (isImage || !writeFile(name, block, length)) {
      reportWriteFailure(name);
      allWritten = false;
    }
  }
  return allWritten;
}

bool cutRegion(const char* name, int track, int c, int h, int r, int n, int skip, int length) {
  g_image.readSectors(track, c, h, r, n, g_work, skip + length);
  std::printf("cutting ... %s\n", name);
  if (!writeFile(name, g_work + skip, length)) reportWriteFailure(name);
  return true;
}
