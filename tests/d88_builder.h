// A small builder of D88 images in memory, for tests, the demo and the
// generators. A case reads like the disk it describes: its tracks, each
// track's sectors in stored order with their identifiers, counts, data
// lengths and bytes; truncation is done on the built bytes.
#ifndef MIVOR_TESTS_D88_BUILDER_H
#define MIVOR_TESTS_D88_BUILDER_H

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace d88test {

using Bytes = std::vector<std::uint8_t>;

struct Sector {
  int c = 0, h = 0, r = 1, n = 1;
  Bytes data;            // the bytes stored after the header
  int count = -1;        // sector-count field; -1: the number of sectors in its track
  int dataLength = -1;   // data-length field; -1: data.size()
};

struct Track {
  int index = 0;  // place in the track table, 0 to 163
  std::vector<Sector> sectors;
};

struct Disk {
  std::string name = "DISK";  // up to 16 bytes are stored
  int mediaType = 0;
  std::vector<Track> tracks;  // stored in this order
  // Track-table entries set by hand, replacing the computed ones.
  std::map<int, std::uint32_t> trackEntries;
  // Disk-size field set by hand; otherwise the built disk's length.
  bool hasSize = false;
  std::uint32_t size = 0;

  Disk& withSize(std::uint32_t s) {
    hasSize = true;
    size = s;
    return *this;
  }
};

// A sector of identifier c/h/r/n holding data.
Sector sectorOf(int c, int h, int r, int n, Bytes data);

// Track index holding sectors, in stored order.
Track trackOf(int index, std::vector<Sector> sectors);

// A disk of tracks, stored in this order.
Disk diskOf(std::vector<Track> tracks);

// The bytes of one disk image: header, then its tracks.
Bytes build(const Disk& disk);

// Several disk images back to back.
Bytes concat(const std::vector<Bytes>& parts);

// Track t of a standard disk: C t/2, H t%2, R 1 to sectors, N 1, 256-byte
// sectors whose bytes are taken from area at (t * 16 + R - 1) * 256, or
// zeros beyond its end.
Track standardTrack(int t, const Bytes& area = Bytes(), int sectors = 16);

// A disk of standard tracks whose run of sectors, read in track order,
// yields area (zero-padded to whole tracks).
Disk diskHolding(const Bytes& area, const std::string& name = "DISK");

// Puts a music block at offset of area (growing it as needed): 32 zero
// bytes, JP at +32 and +35, a CALL at +132 when patched, recognisable
// filler elsewhere.
void putBlock(Bytes& area, int offset, bool patched, std::uint8_t tag = 0x5A);

// A run of size zero bytes with a music block at each offset given, put in
// the order given, patched where its flag is set, each with a filler of its
// own; cut back to size bytes after.
Bytes areaWithBlocks(std::size_t size, const std::vector<std::pair<int, bool>>& blocks);

// A sector-count field that does not end a walk at the i-th header of a
// track (from 0): neither 0 nor i + 1.
int endlessCount(std::size_t i);

// Bytes to be written at an offset of a file.
struct Piece {
  std::uint64_t offset;
  Bytes bytes;
};

// Two disks whose second one lies past 2 GiB, laid out as pieces of a sparse
// file of about 4 GiB. Disk 1 starts at 0 and holds firstArea; its size field
// puts disk 2 at secondBase, 0x7FFFF000, so that disk 2's track 0 crosses
// 2^31. Disk 2 holds secondArea: tracks 0 to 39 follow its header, tracks 40
// to 78 lie near the end of its 2 GiB, and track 79 at the largest entry that
// lets it cross 2^32.
struct LargeImage {
  std::vector<Piece> pieces;
  Bytes firstArea, secondArea;  // each disk's run of sectors, 0x50000 bytes
  std::uint64_t secondBase;     // file offset of disk 2's header
};
LargeImage largeImage();

// Writes pieces to path at their offsets, the rest a hole; false on failure.
bool writePieces(const std::string& path, const std::vector<Piece>& pieces);

// Writes bytes to path; false on failure.
bool writeFile(const std::string& path, const Bytes& bytes);

// Reads the whole file at path (empty when it cannot be read).
Bytes readFile(const std::string& path);

}  // namespace d88test

#endif  // MIVOR_TESTS_D88_BUILDER_H
