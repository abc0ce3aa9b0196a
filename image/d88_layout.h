// The D88 image layout as mivor reads it.
//
// A file holds disk images back to back; each begins with a disk header:
//
//   0x000  16  disk name, zero-padded
//   0x010  11  name terminator, reserved, write protect   (not read)
//   0x01B   1  media type
//   0x01C   4  disk size, header included (LE32)
//   0x020 656  track table: 164 x LE32 offsets from the header's start,
//              0 = track absent
//   0x2B0      end of header
//
// A track is a run of sectors, each a sector header followed at once by its
// data:
//
//   0   1  C  cylinder   -+
//   1   1  H  head         | the sector identifier
//   2   1  R  sector       |
//   3   1  N  size code  -+  (nominally 128 << N bytes)
//   4   2  sectors in this track (LE16)
//   6   8  density, deleted mark, status, reserved   (not read)
//  14   2  data bytes that follow this header (LE16)
#ifndef MIVOR_IMAGE_D88_LAYOUT_H
#define MIVOR_IMAGE_D88_LAYOUT_H

namespace d88 {

constexpr int kDiskHeaderLength = 0x2B0;
constexpr int kDiskNameLength = 16;
constexpr int kMediaTypeOffset = 0x1B;
constexpr int kDiskSizeOffset = 0x1C;
constexpr int kTrackTableOffset = 0x20;
constexpr int kTrackCount = 164;
constexpr int kTrackEntryLength = 4;

constexpr int kSectorHeaderLength = 16;
constexpr int kSectorIdLength = 4;  // C, H, R, N at the header's start
constexpr int kSectorCountOffset = 4;
constexpr int kDataLengthOffset = 14;

// The image index has room for this many disks; later ones are ignored.
constexpr int kMaxDisks = 64;

// A track walk ends after this many sector headers: more than a count field
// can announce and far more than any real track holds, it only cuts short a
// crafted walk that would otherwise cross the whole file for every sector.
constexpr int kMaxTrackWalk = 65536;

static_assert(kTrackTableOffset + kTrackCount * kTrackEntryLength == kDiskHeaderLength,
              "the track table fills the disk header");

}  // namespace d88

#endif  // MIVOR_IMAGE_D88_LAYOUT_H
