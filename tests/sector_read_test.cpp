// Sector reads on the selected disk: the track check, readSector,
// readSectors and readTrackIds.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "image/d88_image.h"
#include "image/d88_layout.h"
#include "tests/d88_builder.h"
#include "tests/tool_runner.h"

using namespace d88test;

namespace {

constexpr std::uint8_t kGuard = 0xEE;
constexpr std::size_t kDestSize = 0x4000;

// len bytes that tell sectors apart: seed, seed + 1, ...
Bytes pattern(int len, int seed) {
  Bytes b(static_cast<std::size_t>(len));
  for (int i = 0; i < len; ++i) b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(seed + i * 7);
  return b;
}

Sector sector(int c, int h, int r, int n, int len, int count = -1) {
  Sector s = sectorOf(c, h, r, n, pattern(len, r * 16 + h));
  s.count = count;
  return s;
}

Bytes cut(Bytes file, std::size_t length) {
  file.resize(length);
  return file;
}

Bytes join(std::vector<Bytes> parts) { return concat(parts); }

// Where a disk's first track starts: right after its header.
constexpr std::size_t kFirstTrack = 0x2B0;
constexpr std::size_t kSectorHeader = 16;

using Call = std::function<int(D88Image&, std::uint8_t*)>;

struct ReadCase {
  const char* what;
  Bytes file;
  Call call;
  int result;
  Bytes written;  // what dest holds afterwards; every byte after it is untouched
};

// Opens file, selects disk 0, makes the call on a guarded dest and checks the
// result, the bytes written and that nothing else was.
void check(const ReadCase& c) {
  TempDir dir;
  D88Image image;
  ASSERT_TRUE(image.open(dir.put("image.d88", c.file).c_str())) << c.what;
  image.selectDisk(0);
  Bytes dest(kDestSize + c.written.size(), kGuard);
  EXPECT_EQ(c.call(image, dest.data()), c.result) << c.what;
  const Bytes head(dest.begin(), dest.begin() + static_cast<std::ptrdiff_t>(c.written.size()));
  EXPECT_EQ(head, c.written) << c.what;
  const auto firstWritten =
      std::find_if(dest.begin() + static_cast<std::ptrdiff_t>(c.written.size()), dest.end(),
                   [](std::uint8_t b) { return b != kGuard; });
  EXPECT_EQ(firstWritten, dest.end()) << c.what << ": written beyond the expected region at "
                                      << (firstWritten - dest.begin());
}

Call readSector(int track, int c, int h, int r, int n, int maxLen) {
  return [=](D88Image& image, std::uint8_t* dest) { return image.readSector(track, c, h, r, n, dest, maxLen); };
}

Call readSectors(int track, int c, int h, int r, int n, int length) {
  return [=](D88Image& image, std::uint8_t* dest) { return image.readSectors(track, c, h, r, n, dest, length); };
}

Call readTrackIds(int track, int destLen) {
  return [=](D88Image& image, std::uint8_t* dest) { return image.readTrackIds(track, dest, destLen); };
}

Bytes ids(std::vector<std::vector<int>> list) {
  Bytes b;
  for (const auto& id : list) {
    for (int v : id) b.push_back(static_cast<std::uint8_t>(v));
  }
  return b;
}

Bytes slice(const Bytes& b, std::size_t from, std::size_t len) {
  return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from), b.begin() + static_cast<std::ptrdiff_t>(from + len));
}

// Track 0 of three 256-byte sectors R1 to R3, then track 1 whose first
// sector is C0 H0 R9.
const Disk kThree = diskOf({
    trackOf(0, {sector(0, 0, 1, 1, 256), sector(0, 0, 2, 1, 256), sector(0, 0, 3, 1, 256)}),
    trackOf(1, {sector(0, 0, 9, 1, 256), sector(0, 1, 1, 1, 256)}),
});

TEST(TrackCheck, UnusableTracksReadNothing) {
  // A media type other than 0: a range check that let track 164 through
  // would take whatever lies past the table for its entry.
  Disk three = kThree;
  three.mediaType = 0x20;
  const Bytes plain = build(three);
  auto withEntry = [&](std::uint32_t entry, std::uint32_t size) {
    Disk d = three;
    d.trackEntries[0] = entry;
    d.withSize(size);
    return build(d);
  };
  struct Case {
    const char* what;
    Bytes file;
    int track;
    bool usable;
  };
  const std::uint32_t size = static_cast<std::uint32_t>(plain.size());
  const Case cases[] = {
      {"track -1", plain, -1, false},
      {"track 164", plain, 164, false},
      {"track 0 present", plain, 0, true},
      {"entry 0: absent", withEntry(0, size), 0, false},
      {"entry beyond the disk size", withEntry(kFirstTrack, kFirstTrack - 1), 0, false},
      {"entry equal to the disk size", withEntry(kFirstTrack, kFirstTrack), 0, true},
      {"entry 2^31", withEntry(0x80000000u, size), 0, false},
      {"entry 2^32 - 1", withEntry(0xFFFFFFFFu, size), 0, false},
  };
  for (const Case& c : cases) {
    const Bytes first = c.usable ? sector(0, 0, 1, 1, 256).data : Bytes();
    check({c.what, c.file, readSector(c.track, 0, 0, 1, 1, 256), static_cast<int>(first.size()), first});
    const Bytes listed = c.usable ? ids({{0, 0, 1, 1}, {0, 0, 2, 1}, {0, 0, 3, 1}}) : Bytes();
    check({c.what, c.file, readTrackIds(c.track, 64), static_cast<int>(listed.size()), listed});
  }
}

// An entry of 2^31 or more is negative: from a disk that lies further on it
// would point back into an earlier disk, which must never be read.
TEST(TrackCheck, NegativeEntriesNeverReachBack) {
  const Bytes first = build(kThree);
  Disk second = kThree;
  second.trackEntries[0] = static_cast<std::uint32_t>(-static_cast<std::int64_t>(first.size()) + kFirstTrack);
  second.trackEntries[1] = static_cast<std::uint32_t>(-static_cast<std::int64_t>(first.size()) + kFirstTrack + 3 * (kSectorHeader + 256));
  TempDir dir;
  D88Image image;
  ASSERT_TRUE(image.open(dir.put("image.d88", concat({first, build(second)})).c_str()));
  ASSERT_TRUE(image.selectDisk(1));
  std::uint8_t dest[256];
  for (int track : {0, 1}) {
    EXPECT_EQ(image.readSector(track, 0, 0, track == 0 ? 1 : 9, 1, dest, 256), 0) << track;
    EXPECT_EQ(image.readTrackIds(track, dest, 64), 0) << track;
  }
}

TEST(TrackCheck, NeedsAFileAndASelection) {
  TempDir dir;
  std::uint8_t dest[256];
  D88Image never;
  EXPECT_EQ(never.readSector(0, 0, 0, 1, 1, dest, 256), 0);
  EXPECT_EQ(never.readTrackIds(0, dest, 256), 0);

  D88Image image;
  ASSERT_TRUE(image.open(dir.put("image.d88", build(kThree)).c_str()));
  ASSERT_TRUE(image.selectDisk(0));
  ASSERT_EQ(image.readSector(0, 0, 0, 1, 1, dest, 256), 256);
  EXPECT_FALSE(image.selectDisk(1));
  EXPECT_EQ(image.readSector(0, 0, 0, 1, 1, dest, 256), 0) << "after a failed selection";
  ASSERT_TRUE(image.selectDisk(0));
  image.open(nullptr);
  EXPECT_EQ(image.readSector(0, 0, 0, 1, 1, dest, 256), 0) << "after close";
}

TEST(ReadSector, FindsBySectorIdentifier) {
  const Bytes three = build(kThree);
  Disk longData = diskOf({trackOf(0, {sector(0, 0, 1, 1, 300)})});
  Disk zeroCount = diskOf({trackOf(0, {sector(0, 0, 1, 1, 256, 0), sector(0, 0, 2, 1, 256)})});
  // Counts of 5 on a two-sector track: the walk runs on into track 1.
  Disk runsOn = diskOf({
      trackOf(0, {sector(0, 0, 1, 1, 256, 5), sector(0, 0, 2, 1, 256, 5)}),
      trackOf(1, {sector(0, 1, 1, 1, 256), sector(0, 1, 2, 1, 256)}),
  });
  const std::size_t r2Header = kFirstTrack + kSectorHeader + 256;
  const Bytes r2 = sector(0, 0, 2, 1, 256).data;

  const ReadCase cases[] = {
      {"found first", three, readSector(0, 0, 0, 1, 1, 256), 256, sector(0, 0, 1, 1, 256).data},
      {"found last", three, readSector(0, 0, 0, 3, 1, 256), 256, sector(0, 0, 3, 1, 256).data},
      {"maxLen below the sector", three, readSector(0, 0, 0, 2, 1, 100), 100, slice(r2, 0, 100)},
      {"maxLen 0", three, readSector(0, 0, 0, 2, 1, 0), 0, {}},
      {"negative maxLen", three, readSector(0, 0, 0, 2, 1, -1), 0, {}},
      {"not found after count sectors", three, readSector(0, 0, 0, 9, 1, 256), 0, {}},
      {"C, H, R equal but N different", three, readSector(0, 0, 0, 2, 2, 256), 0, {}},
      {"C different", three, readSector(0, 1, 0, 2, 1, 256), 0, {}},
      {"data length 300, maxLen 256", build(longData), readSector(0, 0, 0, 1, 1, 256), 256,
       slice(sector(0, 0, 1, 1, 300).data, 0, 256)},
      {"count 0 in the first header", build(zeroCount), readSector(0, 0, 0, 1, 1, 256), 0, {}},
      {"a count that does not end the walk", build(runsOn), readSector(0, 0, 1, 2, 1, 256), 256,
       sector(0, 1, 2, 1, 256).data},
      {"header cut off by the end of the file", cut(three, r2Header + 8), readSector(0, 0, 0, 2, 1, 256), 0, {}},
      {"header ends with the file", cut(three, r2Header), readSector(0, 0, 0, 2, 1, 256), 0, {}},
      {"data cut off by the end of the file", cut(three, r2Header + kSectorHeader + 100),
       readSector(0, 0, 0, 2, 1, 256), 100, slice(r2, 0, 100)},
  };
  for (const ReadCase& c : cases) check(c);
}

TEST(ReadSectors, ReadsRunsAcrossSidesAndTracks) {
  Bytes area(3 * 4096);
  for (std::size_t i = 0; i < area.size(); ++i) area[i] = static_cast<std::uint8_t>(i * 13 + i / 256);
  const Bytes threeTracks = build(diskHolding(area));
  Disk twoTracks = diskHolding(area);
  twoTracks.tracks.resize(2);

  Disk shortSecond = diskOf({trackOf(0, {sector(0, 0, 1, 1, 256), sector(0, 0, 2, 1, 128), sector(0, 0, 3, 1, 256)})});
  Disk highR = diskOf({trackOf(0, {sector(0, 0, 17, 1, 256), sector(0, 0, 18, 1, 256), sector(0, 0, 1, 1, 256)})});
  Disk narrowRange = diskOf({
      trackOf(0, {sector(0, 0, 5, 1, 256), sector(0, 0, 6, 1, 256), sector(0, 0, 7, 1, 256)}),
      trackOf(1, {sector(0, 1, 5, 1, 256), sector(0, 1, 6, 1, 256)}),
  });

  const ReadCase cases[] = {
      {"length 0", threeTracks, readSectors(0, 0, 0, 1, 1, 0), 0, {}},
      {"negative length", threeTracks, readSectors(0, 0, 0, 1, 1, -5), 0, {}},
      {"n = 24 would overflow the chunk", threeTracks, readSectors(0, 0, 0, 1, 24, 256), 0, {}},
      {"negative n", threeTracks, readSectors(0, 0, 0, 1, -1, 256), 0, {}},
      {"three sectors and a final chunk of 232", threeTracks, readSectors(0, 0, 0, 1, 1, 1000), 1000,
       slice(area, 0, 1000)},
      {"R 16 to the next side, head 1 to the next cylinder", threeTracks,
       readSectors(0, 0, 0, 1, 1, 3 * 4096), 3 * 4096, area},
      {"a run that starts mid-track", threeTracks, readSectors(0, 0, 0, 15, 1, 1024), 1024,
       slice(area, 14 * 256, 1024)},
      {"stops at an absent track", build(twoTracks), readSectors(0, 0, 0, 1, 1, 3 * 4096), 2 * 4096,
       slice(area, 0, 2 * 4096)},
      {"a short second sector stops the run", build(shortSecond), readSectors(0, 0, 0, 1, 1, 768), 256,
       join({sector(0, 0, 1, 1, 256).data, sector(0, 0, 2, 1, 128).data})},
      {"r above the last sector does not wrap", build(highR), readSectors(0, 0, 0, 17, 1, 1024), 512,
       join({sector(0, 0, 17, 1, 256).data, sector(0, 0, 18, 1, 256).data})},
  };
  for (const ReadCase& c : cases) check(c);

  // The sector range decides where a run leaves a track and restarts.
  check({"sector range 5 to 6", build(narrowRange),
         [](D88Image& image, std::uint8_t* dest) {
           image.setSectorRange(5, 6);
           return image.readSectors(0, 0, 0, 5, 1, dest, 1024);
         },
         1024,
         join({sector(0, 0, 5, 1, 256).data, sector(0, 0, 6, 1, 256).data, sector(0, 1, 5, 1, 256).data,
               sector(0, 1, 6, 1, 256).data})});
}

TEST(ReadTrackIds, ListsIdentifiersInStoredOrder) {
  // An interleaved track: R 1, 9, 2, 10, ...
  std::vector<Sector> interleaved;
  std::vector<std::vector<int>> order;
  for (int i = 0; i < 16; ++i) {
    const int r = i % 2 == 0 ? 1 + i / 2 : 9 + i / 2;
    interleaved.push_back(sector(3, 1, r, 1, 256));
    order.push_back({3, 1, r, 1});
  }
  const Bytes sixteen = build(diskOf({trackOf(0, interleaved)}));
  Disk zeroCount = diskOf({
      trackOf(0, {sector(0, 0, 1, 1, 256, 0), sector(0, 0, 2, 2, 512, 0)}),
      trackOf(1, {sector(0, 1, 1, 1, 256), sector(0, 1, 2, 1, 256)}),
  });
  const std::size_t secondHeader = kFirstTrack + kSectorHeader + 256;

  const ReadCase cases[] = {
      {"16 sectors, destLen 64", sixteen, readTrackIds(0, 64), 64, ids(order)},
      {"16 sectors, destLen 10", sixteen, readTrackIds(0, 10), 8, ids({order[0], order[1]})},
      {"destLen 3", sixteen, readTrackIds(0, 3), 0, {}},
      {"stops after the count", sixteen, readTrackIds(0, 1000), 64, ids(order)},
      {"negative destLen", sixteen, readTrackIds(0, -4), 0, {}},
      {"count 0 does not stop it", build(zeroCount), readTrackIds(0, 16), 16,
       ids({{0, 0, 1, 1}, {0, 0, 2, 2}, {0, 1, 1, 1}, {0, 1, 2, 1}})},
      {"unusable track", sixteen, readTrackIds(1, 64), 0, {}},
      {"header cut off by the end of the file", cut(sixteen, secondHeader + 10), readTrackIds(0, 64), 4,
       ids({order[0]})},
  };
  for (const ReadCase& c : cases) check(c);
}

TEST(TrackWalk, EndsAfterItsBound) {
  // Counts that never end the walk, kMaxTrackWalk - 1 empty headers, then R1
  // as the last header the walk may read and R2 as the first beyond it.
  constexpr std::size_t kBound = d88::kMaxTrackWalk;
  std::vector<Sector> sectors(kBound - 1);
  for (Sector& s : sectors) s.r = 0;
  sectors.push_back(sector(0, 0, 1, 1, 256));
  sectors.push_back(sector(0, 0, 2, 1, 256));
  Bytes listed;
  for (std::size_t i = 0; i < sectors.size(); ++i) {
    sectors[i].count = endlessCount(i);
    listed.insert(listed.end(), {0, 0, static_cast<std::uint8_t>(sectors[i].r), 1});
  }
  const Bytes file = build(diskOf({trackOf(0, sectors)}));
  const int allIds = static_cast<int>(listed.size());

  const ReadCase cases[] = {
      {"the last header within the bound", file, readSector(0, 0, 0, 1, 1, 256), 256,
       sector(0, 0, 1, 1, 256).data},
      {"the first header beyond it", file, readSector(0, 0, 0, 2, 1, 256), 0, {}},
      {"a run stops there", file, readSectors(0, 0, 0, 1, 1, 512), 256, sector(0, 0, 1, 1, 256).data},
      {"track ids up to the bound", file, readTrackIds(0, allIds), allIds - 4,
       slice(listed, 0, listed.size() - 4)},
  };
  for (const ReadCase& c : cases) check(c);
}

// Images far larger than any read buffer: every sector must come back whole
// whether it is read forwards, backwards or straddles a buffer's end.
TEST(LargeImages, EverySectorComesBackWhole) {
  Bytes area(164 * 4096);
  for (std::size_t i = 0; i < area.size(); ++i) area[i] = static_cast<std::uint8_t>(i * 29 + i / 4096);
  TempDir dir;
  D88Image image;
  ASSERT_TRUE(image.open(dir.put("big.d88", build(diskHolding(area))).c_str()));
  ASSERT_TRUE(image.selectDisk(0));

  Bytes run(area.size() + 1, kGuard);
  EXPECT_EQ(image.readSectors(0, 0, 0, 1, 1, run.data(), static_cast<int>(area.size())),
            static_cast<int>(area.size()));
  EXPECT_EQ(Bytes(run.begin(), run.end() - 1), area);
  EXPECT_EQ(run.back(), kGuard);

  std::uint8_t sector[256];
  for (int t = 163; t >= 0; t -= 7) {
    for (int r : {16, 1, 9}) {
      ASSERT_EQ(image.readSector(t, t / 2, t % 2, r, 1, sector, 256), 256) << t << " " << r;
      EXPECT_EQ(Bytes(sector, sector + 256), slice(area, static_cast<std::size_t>((t * 16 + r - 1) * 256), 256))
          << t << " " << r;
    }
  }
}

TEST(LargeImages, LongestSectors) {
  // Data lengths of 65535, the most a header can give, over several tracks.
  Disk d;
  for (int t = 0; t < 3; ++t) {
    std::vector<Sector> sectors;
    for (int r = 1; r <= 3; ++r) sectors.push_back(sector(t, 0, r, 9, 65535));
    d.tracks.push_back(trackOf(t, sectors));
  }
  Bytes file = build(d);
  file.resize(file.size() - 1000);  // the last sector is cut short
  TempDir dir;
  D88Image image;
  ASSERT_TRUE(image.open(dir.put("long.d88", file).c_str()));
  ASSERT_TRUE(image.selectDisk(0));
  Bytes dest(65536, kGuard);
  for (int t : {2, 0, 1}) {
    for (int r : {3, 1, 2}) {
      const bool last = t == 2 && r == 3;
      const int want = last ? 65535 - 1000 : 65535;
      ASSERT_EQ(image.readSector(t, t, 0, r, 9, dest.data(), 65536), want) << t << " " << r;
      EXPECT_EQ(slice(dest, 0, static_cast<std::size_t>(want)), slice(sector(t, 0, r, 9, 65535).data, 0, want))
          << t << " " << r;
    }
  }
  EXPECT_EQ(dest[65535], kGuard);
}

// A sparse image of about 4 GiB: positions past 2^31 and 2^32 read the same
// as any other, on every platform, whatever was read before them.
TEST(LargeImages, PastTwoAndFourGiB) {
  const LargeImage large = largeImage();
  TempDir dir;
  const std::string path = dir.file("large.d88");
  ASSERT_TRUE(writePieces(path, large.pieces));
  D88Image image;
  ASSERT_TRUE(image.open(path.c_str()));
  ASSERT_EQ(image.diskCount(), 2);

  const int area = static_cast<int>(large.secondArea.size());
  Bytes run(large.secondArea.size() + 1, kGuard);
  // Disk 2 first, then disk 1 and disk 2 again: a read far away must not
  // depend on what the reader holds from before.
  for (int d : {1, 0, 1}) {
    SCOPED_TRACE(d);
    ASSERT_TRUE(image.selectDisk(d));
    EXPECT_EQ(image.readSectors(0, 0, 0, 1, 1, run.data(), area), area);
    EXPECT_EQ(slice(run, 0, area), d == 0 ? large.firstArea : large.secondArea);
    EXPECT_EQ(run.back(), kGuard);
  }
  // The layout reaches as far as it is meant to.
  const std::uint64_t lastTrack = large.secondBase + static_cast<std::uint32_t>(image.trackOffset(79));
  EXPECT_EQ(static_cast<std::uint32_t>(image.diskBase()), large.secondBase);
  EXPECT_LT(lastTrack, std::uint64_t{1} << 32);
  EXPECT_GT(lastTrack + 16 * (16 + 256), std::uint64_t{1} << 32);

  // Track 79, the last, lies past 2^32: its identifiers, and a sector read
  // straight after one from the start of the file.
  Bytes ids(64, kGuard);
  EXPECT_EQ(image.readTrackIds(79, ids.data(), 64), 64);
  EXPECT_EQ(slice(ids, 0, 4), (Bytes{39, 1, 1, 1}));
  EXPECT_EQ(slice(ids, 60, 4), (Bytes{39, 1, 16, 1}));
  std::uint8_t sector[256];
  ASSERT_EQ(image.readSector(0, 0, 0, 1, 1, sector, 256), 256);
  ASSERT_EQ(image.readSector(79, 39, 1, 16, 1, sector, 256), 256);
  EXPECT_EQ(Bytes(sector, sector + 256), slice(large.secondArea, area - 256, 256));
}

}  // namespace
