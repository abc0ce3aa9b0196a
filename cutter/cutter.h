// The music block cutter: the disk pass that loads a disk into the work area
// and cuts every music block it finds into a file of its own.
#ifndef MIVOR_CUTTER_CUTTER_H
#define MIVOR_CUTTER_CUTTER_H

#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "image/d88_image.h"

namespace cutter {

// A disk is loaded as a run of 256-byte sectors (size code 1), R 1 to 16 on
// each side, side 0 then side 1 of each cylinder, from track 0.
constexpr int kFirstSector = 1;
constexpr int kLastSector = 16;
constexpr int kSizeCode = 1;

constexpr int kWorkSize = 0x50000;  // 40 cylinders x 2 heads x 16 x 256 bytes
// Zeros after the work area, never loaded, so that a patched block at the
// last scan position can be cut whole without reading outside g_work.
constexpr int kWorkMargin = 0x100;

// A music block starts with 32 zero bytes and a JP (0xC3), and has another JP
// at +35. A CALL (0xCD) at +132 is turned into LD HL,nn (0x21), an
// instruction of the same length, and such a block is cut longer.
constexpr int kSignatureLength = 33;
constexpr std::uint8_t kJumpOpcode = 0xC3;
constexpr int kCheckOffset = 35;
constexpr int kPatchOffset = 132;
constexpr std::uint8_t kCallOpcode = 0xCD;
constexpr std::uint8_t kLoadHlOpcode = 0x21;
constexpr int kCutLength = 2560;
constexpr int kPatchedCutLength = 3072;

// Blocks start on 256-byte boundaries, below the last place a whole
// unpatched block fits.
constexpr int kScanStep = 256;
constexpr int kScanEnd = kWorkSize - kCutLength;

constexpr const char* kOutputNameFormat = "MUS%02d";
constexpr int kOutputNameSize = 12;  // "MUS", up to eight digits, terminator

static_assert(kScanEnd - kScanStep + kPatchedCutLength <= kWorkSize + kWorkMargin,
              "a patched block at the last scan position fits the work area");
// The patch lands inside the block's first scan step, so it never changes a
// byte that a later position's signature or patch test reads.
static_assert(kPatchOffset < kScanStep, "a patch never touches a later scan position");

// A scan of a work area for music blocks, position by position: where it
// goes on, and the block it found last.
struct MusicScan {
  int next = 0;          // the next scan position to test
  int offset = 0;        // the block's offset in the work area
  bool patched = false;  // its CALL was patched
  int length = 0;        // the bytes cut from offset
};

// Loads the selected disk of image into work (kWorkSize bytes) as the disk
// pass does: clears it, then reads the run of sectors from track 0. Returns
// the bytes the run read in whole sectors, short when it stopped early; the
// bytes of a short sector it stopped at follow them.
int loadDisk(D88Image& image, std::uint8_t* work);

// Goes on with scan in a loaded work area to the next music block and
// patches it there as the cut does. False when no position below kScanEnd
// is left; the found-block fields are then unchanged.
bool nextMusicBlock(std::uint8_t* work, MusicScan& scan);

// Writes the output file name of block number musicNumber (MUS00, MUS100)
// into name.
void formatOutputName(int musicNumber, char (&name)[kOutputNameSize]);

}  // namespace cutter

extern D88Image g_image;
extern std::uint8_t g_work[cutter::kWorkSize + cutter::kWorkMargin];
extern std::FILE* g_out;

// Loads the selected disk of g_image into g_work and writes each music block
// found there to the next MUS file, counting musicNumber up. Returns false
// when any block could not be written; imagePath is never written to.
bool diskPass(int& musicNumber, const std::filesystem::path& imagePath);

// Reads a run of sectors from track, C/H/R/N into g_work and writes length
// bytes of it from skip to the file name. The caller keeps skip + length
// within the work area. Always true.
bool cutRegion(const char* name, int track, int c, int h, int r, int n, int skip, int length);

#endif  // MIVOR_CUTTER_CUTTER_H
