#include "tests/d88_builder.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <utility>

#include "image/coding.h"
#include "image/d88_layout.h"

namespace d88test {

namespace {

void put16(Bytes& b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(Bytes& b, std::size_t at, std::uint32_t v) {
  put16(b, at, v & 0xFFFF);
  put16(b, at + 2, v >> 16);
}

constexpr int kSectorBytes = 256;
constexpr int kSectorsPerTrack = 16;

}  // namespace

Sector sectorOf(int c, int h, int r, int n, Bytes data) {
  Sector s;
  s.c = c;
  s.h = h;
  s.r = r;
  s.n = n;
  s.data = std::move(data);
  return s;
}

Track trackOf(int index, std::vector<Sector> sectors) {
  Track t;
  t.index = index;
  t.sectors = std::move(sectors);
  return t;
}

Disk diskOf(std::vector<Track> tracks) {
  Disk d;
  d.tracks = std::move(tracks);
  return d;
}

Bytes build(const Disk& disk) {
  Bytes out(d88::kDiskHeaderLength, 0);
  std::copy_n(disk.name.begin(), std::min<std::size_t>(disk.name.size(), d88::kDiskNameLength),
              out.begin());
  out[d88::kMediaTypeOffset] = static_cast<std::uint8_t>(disk.mediaType);

  for (const Track& track : disk.tracks) {
    put32(out, d88::kTrackTableOffset + track.index * d88::kTrackEntryLength,
          static_cast<std::uint32_t>(out.size()));
    for (const Sector& s : track.sectors) {
      Bytes header(d88::kSectorHeaderLength, 0);
      header[0] = static_cast<std::uint8_t>(s.c);
      header[1] = static_cast<std::uint8_t>(s.h);
      header[2] = static_cast<std::uint8_t>(s.r);
      header[3] = static_cast<std::uint8_t>(s.n);
      put16(header, d88::kSectorCountOffset,
            static_cast<std::uint32_t>(s.count >= 0 ? s.count : static_cast<int>(track.sectors.size())));
      put16(header, d88::kDataLengthOffset,
            static_cast<std::uint32_t>(s.dataLength >= 0 ? s.dataLength : static_cast<int>(s.data.size())));
      out.insert(out.end(), header.begin(), header.end());
      out.insert(out.end(), s.data.begin(), s.data.end());
    }
  }
  for (const auto& entry : disk.trackEntries) {
    put32(out, d88::kTrackTableOffset + entry.first * d88::kTrackEntryLength, entry.second);
  }
  put32(out, d88::kDiskSizeOffset, disk.hasSize ? disk.size : static_cast<std::uint32_t>(out.size()));
  return out;
}

Bytes concat(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Track standardTrack(int t, const Bytes& area, int sectors) {
  Track track;
  track.index = t;
  for (int r = 1; r <= sectors; ++r) {
    Sector s;
    s.c = t / 2;
    s.h = t % 2;
    s.r = r;
    s.n = 1;
    s.data.assign(kSectorBytes, 0);
    const std::size_t from = static_cast<std::size_t>((t * kSectorsPerTrack + r - 1) * kSectorBytes);
    if (from < area.size()) {
      const std::size_t n = std::min<std::size_t>(kSectorBytes, area.size() - from);
      std::copy_n(area.begin() + static_cast<std::ptrdiff_t>(from), n, s.data.begin());
    }
    track.sectors.push_back(s);
  }
  return track;
}

Disk diskHolding(const Bytes& area, const std::string& name) {
  Disk disk;
  disk.name = name;
  constexpr std::size_t kTrackBytes = kSectorBytes * kSectorsPerTrack;
  const std::size_t tracks = (area.size() + kTrackBytes - 1) / kTrackBytes;
  for (std::size_t t = 0; t < tracks; ++t) disk.tracks.push_back(standardTrack(static_cast<int>(t), area));
  return disk;
}

void putBlock(Bytes& area, int offset, bool patched, std::uint8_t tag) {
  const std::size_t end = static_cast<std::size_t>(offset) + 3072;
  if (area.size() < end) area.resize(end, 0);
  auto* p = area.data() + offset;
  for (int i = 33; i < 3072; ++i) p[i] = static_cast<std::uint8_t>(tag + i);
  std::fill_n(p, 32, 0);
  p[32] = 0xC3;
  p[35] = 0xC3;
  p[132] = patched ? 0xCD : 0x3E;
}

LargeImage largeImage() {
  constexpr std::size_t kArea = 0x50000;
  constexpr int kNearTracks = 40;
  constexpr int kLastTrack = 79;
  constexpr std::uint32_t kFarEntry = 0x7FFD0000;   // tracks 40 to 78
  constexpr std::uint32_t kLastEntry = 0x7FFFFF80;  // its sector 16 straddles 2^32
  LargeImage large;
  large.secondBase = 0x7FFFF000;

  large.firstArea.assign(kArea, 0);
  putBlock(large.firstArea, 0x1200, false, 0x61);
  // Disk 2's blocks: one across 2^31, one past it, and a patched one at the
  // last scan position, across 2^32.
  large.secondArea.assign(kArea, 0);
  putBlock(large.secondArea, 0x800, false, 0x72);
  putBlock(large.secondArea, 0x3C000, false, 0x83);
  putBlock(large.secondArea, 0x4F500, true, 0x94);
  large.secondArea.resize(kArea);

  Disk first = diskHolding(large.firstArea, "LARGE 1");
  first.withSize(static_cast<std::uint32_t>(large.secondBase));

  const Disk whole = diskHolding(large.secondArea, "LARGE 2");
  Disk near;
  near.name = whole.name;
  near.tracks.assign(whole.tracks.begin(), whole.tracks.begin() + kNearTracks);
  near.withSize(0x7FFFFFFF);
  large.pieces.push_back({0, build(first)});

  // Tracks stored elsewhere: built after a header of their own, then moved
  // from there to entry.
  const auto placeTracks = [&](std::vector<Track> tracks, std::uint32_t entry) {
    const Bytes built = build(diskOf(tracks));
    for (const Track& t : tracks) {
      const std::int32_t stored =
          decodeFixed32(built.data() + d88::kTrackTableOffset + t.index * d88::kTrackEntryLength);
      near.trackEntries[t.index] = entry + static_cast<std::uint32_t>(stored - d88::kDiskHeaderLength);
    }
    large.pieces.push_back({large.secondBase + entry, Bytes(built.begin() + d88::kDiskHeaderLength, built.end())});
  };
  placeTracks({whole.tracks.begin() + kNearTracks, whole.tracks.begin() + kLastTrack}, kFarEntry);
  placeTracks({whole.tracks[kLastTrack]}, kLastEntry);
  large.pieces.insert(large.pieces.begin() + 1, {large.secondBase, build(near)});
  return large;
}

bool writePieces(const std::string& path, const std::vector<Piece>& pieces) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  for (const Piece& p : pieces) {
    f.seekp(static_cast<std::streamoff>(p.offset));
    f.write(reinterpret_cast<const char*>(p.bytes.data()), static_cast<std::streamsize>(p.bytes.size()));
  }
  return static_cast<bool>(f);
}

Bytes areaWithBlocks(std::size_t size, const std::vector<std::pair<int, bool>>& blocks) {
  Bytes area(size, 0);
  std::uint8_t tag = 0x40;
  for (const auto& b : blocks) putBlock(area, b.first, b.second, tag += 0x11);
  area.resize(size);
  return area;
}

int endlessCount(std::size_t i) { return i + 1 == 0xFFFF ? 1 : 0xFFFF; }

bool writeFile(const std::string& path, const Bytes& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(f);
}

Bytes readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

}  // namespace d88test
