// Writes generated D88 images made with the test builder.
//
//   d88gen demo FILE          two disks with three music blocks, one to be
//                             patched
//   d88gen bench DISKS FILE   DISKS full double-sided disks (40 cylinders of
//                             16 x 256-byte sectors a side), each with a few
//                             blocks, some to be patched
//   d88gen large FILE         a sparse image of about 4 GiB whose second disk
//                             lies past 2 GiB (four blocks, one to be patched)
//   d88gen seeds DIR          the fuzzer's seed corpus, one file per case
//   d88gen slow BYTES FILE [WALK]
//                             an image of BYTES bytes built to make the tool
//                             as slow as it can; WALK is the most sector
//                             headers the reader walks in one track (none by
//                             default), which decides the worst layout
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cutter/cutter.h"
#include "image/d88_layout.h"
#include "tests/d88_builder.h"

using namespace d88test;

namespace {

constexpr int kArea = cutter::kWorkSize;
constexpr int kLastPosition = cutter::kScanEnd - cutter::kScanStep;
constexpr int kSectorsPerTrack = cutter::kLastSector - cutter::kFirstSector + 1;
constexpr int kSectorBytes = 128 << cutter::kSizeCode;
constexpr int kRunTracks = kArea / (kSectorsPerTrack * kSectorBytes);

Bytes demoImage() {
  Bytes first(0x20000, 0);
  putBlock(first, 0x1200, false, 0x10);
  putBlock(first, 0x8000, true, 0x20);
  Bytes second(0x10000, 0);
  putBlock(second, 0x2000, false, 0x30);
  return concat({build(diskHolding(first, "DEMO DISK A")), build(diskHolding(second, "DEMO DISK B"))});
}

Bytes benchImage(int disks) {
  std::vector<Bytes> parts;
  for (int d = 0; d < disks; ++d) {
    // Something other than zeros, so that reading is not helped by them.
    Bytes area(kArea);
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
    area.resize(kArea);
    parts.push_back(build(diskHolding(area, "BENCH " + std::to_string(d + 1))));
  }
  return concat(parts);
}

struct Seed {
  const char* name;
  Bytes bytes;
};

std::vector<Seed> seeds() {
  Bytes oneBlock(2 * kSectorsPerTrack * kSectorBytes, 0);
  putBlock(oneBlock, 0x1200, false);
  Bytes lastBlock(kArea, 0);
  putBlock(lastBlock, kLastPosition, true);
  lastBlock.resize(kArea);
  Bytes other(kSectorsPerTrack * kSectorBytes, 0);
  putBlock(other, 0, true, 0x33);

  const Bytes one = build(diskHolding(oneBlock, "ONE"));
  Bytes truncated = concat({one, build(diskHolding(other, "CUT"))});
  truncated.resize(one.size() + d88::kDiskHeaderLength + 3 * (d88::kSectorHeaderLength + kSectorBytes) + 100);

  // Track 0's counts never end its walk: a sector it lacks is sought on
  // through track 1 and up to the end of the file.
  Disk endless = diskHolding(other, "ENDLESS");
  endless.tracks.push_back(standardTrack(1, Bytes(), 2));
  for (std::size_t i = 0; i < endless.tracks[0].sectors.size(); ++i) {
    endless.tracks[0].sectors[i].count = endlessCount(i);
  }

  return {
      {"empty.d88", {}},
      {"one-block.d88", one},
      {"last-position-patched.d88", build(diskHolding(lastBlock, "LAST"))},
      {"two-disks.d88", concat({one, build(diskHolding(other, "TWO"))})},
      {"truncated.d88", truncated},
      {"endless-walk.d88", build(endless)},
  };
}

// The slowest image of about bytes bytes found for the tool. Every sector of
// a run walks its track from the first header, and a count that never ends
// the walk makes it cross everything stored after the track's start. So all
// 80 tracks of a run start at one place: a stretch of empty 16-byte headers,
// then the run's 1280 sectors, each found only after the whole stretch. A
// second disk whose negative size steps back to the first fills the 64-entry
// index with the first disk every other entry, so it is cut 32 times. A
// patched block at the last scan position shows that the run got through.
Bytes slowImage(std::size_t bytes, std::size_t walk) {
  Bytes area(kArea, 0);
  putBlock(area, kLastPosition, true);
  area.resize(kArea);

  constexpr std::size_t kRunSectors = kRunTracks * kSectorsPerTrack;
  const std::size_t fixed = 2 * d88::kDiskHeaderLength + kRunSectors * (d88::kSectorHeaderLength + kSectorBytes);
  std::size_t stretch = bytes > fixed ? (bytes - fixed) / d88::kSectorHeaderLength : 0;
  if (walk > 0) stretch = std::min(stretch, walk > kRunSectors ? walk - kRunSectors : 0);

  Disk slow;
  slow.name = "SLOW";
  Track track;
  track.index = 0;
  track.sectors.resize(stretch);  // C 0 H 0 R 1 N 1, no data: never the one sought
  for (int t = 0; t < kRunTracks; ++t) {
    const Track standard = standardTrack(t, area);
    track.sectors.insert(track.sectors.end(), standard.sectors.begin(), standard.sectors.end());
  }
  for (std::size_t i = 0; i < track.sectors.size(); ++i) {
    track.sectors[i].count = endlessCount(i);
    // The stretch must not hold the first sector sought.
    if (i < stretch) track.sectors[i].r = 0;
  }
  slow.tracks.push_back(track);
  for (int t = 1; t < kRunTracks; ++t) slow.trackEntries[t] = d88::kDiskHeaderLength;

  const Bytes first = build(slow);
  Disk back;
  back.name = "BACK";
  back.withSize(static_cast<std::uint32_t>(-static_cast<std::int64_t>(first.size())));
  Bytes image = concat({first, build(back)});
  if (image.size() < bytes) image.resize(bytes, 0);  // past the index: never read
  return image;
}

// Reports a file at path that could not be written; returns written.
bool reported(bool written, const std::string& path) {
  if (!written) std::fprintf(stderr, "d88gen: cannot write %s\n", path.c_str());
  return written;
}

bool write(const std::string& path, const Bytes& bytes) { return reported(writeFile(path, bytes), path); }

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "demo" && argc == 3) return write(argv[2], demoImage()) ? 0 : 1;
  if (mode == "bench" && argc == 4) {
    const int disks = std::atoi(argv[2]);
    if (disks >= 1 && disks <= 64) return write(argv[3], benchImage(disks)) ? 0 : 1;
  }
  if (mode == "large" && argc == 3) return reported(writePieces(argv[2], largeImage().pieces), argv[2]) ? 0 : 1;
  if (mode == "seeds" && argc == 3) {
    for (const Seed& s : seeds()) {
      if (!write(std::string(argv[2]) + "/" + s.name, s.bytes)) return 1;
    }
    return 0;
  }
  if (mode == "slow" && (argc == 4 || argc == 5)) {
    const std::size_t bytes = std::strtoul(argv[2], nullptr, 0);
    const std::size_t walk = argc == 5 ? std::strtoul(argv[4], nullptr, 0) : 0;
    return write(argv[3], slowImage(bytes, walk)) ? 0 : 1;
  }
  std::fputs("usage: d88gen demo FILE | bench DISKS FILE | large FILE | seeds DIR | slow BYTES FILE [WALK]\n", stderr);
  return 2;
}
