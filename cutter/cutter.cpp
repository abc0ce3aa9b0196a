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

int cutter::loadDisk(D88Image& image, std::uint8_t* work) {
  image.setSectorRange(kFirstSector, kLastSector);
  // A run that ends early leaves the rest of the area as it was: clear it so
  // that an earlier disk's blocks are not found again.
  std::memset(work, 0, kWorkSize);
  return image.readSectors(0, 0, 0, kFirstSector, kSizeCode, work, kWorkSize);
}

bool cutter::nextMusicBlock(std::uint8_t* work, MusicScan& scan) {
  for (; scan.next < kScanEnd; scan.next += kScanStep) {
    std::uint8_t* start = work + scan.next;
    if (!isMusicBlock(start)) continue;
    scan.offset = scan.next;
    scan.patched = start[kPatchOffset] == kCallOpcode;
    if (scan.patched) start[kPatchOffset] = kLoadHlOpcode;
    scan.length = scan.patched ? kPatchedCutLength : kCutLength;
    // A block that was cut does not make the scan skip ahead: later
    // positions inside it are tested like any other.
    scan.next += kScanStep;
    return true;
  }
  return false;
}

void cutter::formatOutputName(int musicNumber, char (&name)[kOutputNameSize]) {
  std::snprintf(name, sizeof name, kOutputNameFormat, musicNumber);
}

bool diskPass(int& musicNumber, const std::filesystem::path& imagePath) {
  // The run's length is not needed: the scan covers the whole window, and
  // the load cleared what a run that stopped early did not reach.
  loadDisk(g_image, g_work);

  bool allWritten = true;
  MusicScan scan;
  while (nextMusicBlock(g_work, scan)) {
    char name[kOutputNameSize];
    formatOutputName(musicNumber, name);
    ++musicNumber;
    std::printf("cutting ... %5s  adr=%06x\n", name, static_cast<unsigned>(scan.offset));
    if (scan.patched) std::printf("* patched *\n");

    // Opening the image itself for writing would truncate it.
    std::error_code ec;
    const bool isImage = std::filesystem::equivalent(imagePath, name, ec);
    if (isImage || !writeFile(name, g_work + scan.offset, scan.length)) {
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
