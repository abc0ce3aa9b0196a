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

// A block's bytes go first to a temporary file beside the output, which then
// takes the output's name in one step: a failed write leaves an earlier file
// of that name as it was, and no partial file behind. The temporary name is
// the output's name with this suffix, then with a number after it while that
// name is taken.
constexpr const char* kTempSuffix = ".tmp";
constexpr int kTempAttempts = 100;
// cutRegion's names are paths of any length: room for the longest the
// platform names, ".tmp" and two digits.
constexpr int kTempNameSize = FILENAME_MAX + 8;

// Creates a temporary file for name that no file had the name of, writes the
// name into temp and opens g_out on it. False when none could be created, or
// name is too long to take the suffix.
bool createTemp(const char* name, char (&temp)[kTempNameSize]) {
  for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
    const int length = attempt == 0 ? std::snprintf(temp, sizeof temp, "%s%s", name, kTempSuffix)
                                    : std::snprintf(temp, sizeof temp, "%s%s%d", name, kTempSuffix, attempt);
    // A name cut short would put the file elsewhere, or on another's name.
    if (length < 0 || length >= kTempNameSize) return false;
    // Never take the name of something that exists, be it a file, a link or
    // a directory: it is not ours to replace.
    std::error_code ec;
    const std::filesystem::file_type type = std::filesystem::symlink_status(temp, ec).type();
    if (type == std::filesystem::file_type::not_found) {
      g_out = std::fopen(temp, "wb");
      return g_out != nullptr;
    }
    if (type == std::filesystem::file_type::none) return false;  // cannot tell whether it exists
  }
  return false;
}

// Makes the file name hold exactly length bytes from data, replacing an
// existing file of that name only once all of them are written. False when it
// could not be created, written, closed or put in place; nothing is left of
// the attempt then, and an earlier file of that name is unchanged.
bool writeFile(const char* name, const std::uint8_t* data, int length) {
  char temp[kTempNameSize];
  if (!createTemp(name, temp)) return false;
  const bool written =
      std::fwrite(data, 1, static_cast<std::size_t>(length), g_out) == static_cast<std::size_t>(length);
  // Buffered bytes are written out here: a full disk often shows only now.
  const bool closed = std::fclose(g_out) == 0;
  g_out = nullptr;
  std::error_code ec;
  if (written && closed) {
    std::filesystem::rename(temp, name, ec);
    if (!ec) return true;
  }
  std::filesystem::remove(temp, ec);
  return false;
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

    // An output that is the image itself would replace the image.
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
