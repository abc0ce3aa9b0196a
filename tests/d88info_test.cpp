// d88info: the report on images built in memory, and the program's command
// line, errors and output.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "d88info/report.h"
#include "tests/d88_builder.h"
#include "tests/tool_runner.h"

using namespace d88test;

namespace {

constexpr int kTrackBytes = 16 * 256;
constexpr std::size_t kSectorBytes = 16 + 256;  // header and data of a standard sector

// The report on file, made in process; file is written to dir.
std::string report(const Bytes& file, const TempDir& dir) {
  // A new file rather than a truncated one: on some file systems a rewrite
  // after truncation is flushed to disk on close, which makes runs of many
  // reports slow.
  std::filesystem::remove(dir.file("image.d88"));
  D88Image image;
  if (!image.open(dir.put("image.d88", file).c_str())) return "<cannot open>";
  return describeImage(image);
}

std::string report(const Bytes& file) { return report(file, TempDir()); }

// A sector of len bytes, each its R.
Sector sector(int c, int h, int r, int n, int len) {
  return sectorOf(c, h, r, n, Bytes(static_cast<std::size_t>(len), static_cast<std::uint8_t>(r)));
}

Disk disk(std::vector<Track> tracks, int mediaType = 0) {
  Disk d = diskOf(std::move(tracks));
  d.mediaType = mediaType;
  return d;
}

Bytes cut(Bytes file, std::size_t length) {
  file.resize(length);
  return file;
}

struct ReportCase {
  const char* what;
  Bytes file;
  std::string text;
};

TEST(D88Info, ReportsDisksTracksAndWhereTheLoadStops) {
  // Sectors stored out of order, and a change of head inside the track: R5
  // is not on track 0, so the load stops there.
  const Disk shuffled = disk({trackOf(0, {sector(0, 0, 1, 1, 256), sector(0, 0, 3, 1, 256), sector(0, 0, 2, 1, 256),
                                        sector(0, 0, 4, 1, 256), sector(0, 1, 5, 1, 256), sector(0, 1, 6, 1, 256)})},
                             0x10);
  Disk gap = disk({standardTrack(0), standardTrack(1)});
  gap.tracks[1].sectors.erase(gap.tracks[1].sectors.begin() + 8);  // R9 of side 1
  Disk shortR2 = disk({standardTrack(0)});
  shortR2.tracks[0].sectors[1].data.resize(128);
  Disk emptyR3 = disk({standardTrack(0)});
  emptyR3.tracks[0].sectors[2].data.clear();
  std::vector<Sector> bigSectors;
  for (int r = 1; r <= 8; ++r) bigSectors.push_back(sector(0, 0, r, 2, 512));
  const Disk sizeCode2 = disk({trackOf(0, bigSectors)});

  // Track 1 lies beyond the disk size, track 2's entry is negative as a
  // signed value, track 3 lies inside the size but past the end of the file.
  Disk badEntries = disk({standardTrack(0)});
  badEntries.withSize(0x100000);
  // Track 4 starts exactly at the disk's end: inside it, but past the file.
  badEntries.trackEntries = {{1, 0x100001}, {2, 0x80000000u}, {3, 0x80000}, {4, 0x100000}};
  // A size field of 2^31 or more is shown as stored; every track entry then
  // lies beyond it as the reader compares them.
  Disk hugeSize = disk({standardTrack(0)});
  hugeSize.withSize(0x80000000u);

  // Sector-count fields of 0: the listing runs on to the end of the file or
  // its limit, and readSector finds nothing.
  Disk zeroCounts = disk({standardTrack(0, Bytes(), 2)});
  for (Sector& s : zeroCounts.tracks[0].sectors) s.count = 0;
  std::vector<Sector> many;
  for (int i = 1; i <= 300; ++i) {
    many.push_back(sector(0, 0, i & 0xFF, 1, 0));
    many.back().count = 0;
  }
  const Disk runaway = disk({trackOf(0, many)});

  Disk named = disk({standardTrack(0)}, 0x20);
  named.name = std::string("A\"B\\C\x01\x82\xA0", 8);
  // The ends of printable ASCII are shown as they are; the bytes just
  // outside them are not.
  Disk printable = disk({standardTrack(0)});
  printable.name = "~ !}\x7F\x1F";

  const std::string loadEnd = " of 327680 bytes loaded\n";
  // None of these disks holds a block.
  const std::string noBlocks = "  no blocks\nblocks: 0 (0 patched)\n";
  const ReportCase cases[] = {
      {"empty file", {}, "disks: 0\nblocks: 0 (0 patched)\n"},
      {"shuffled sectors, two heads", build(shuffled),
       "disks: 1\n"
       "disk 1 (No.1): \"DISK\"\n"
       "  media type: 0x10 (2DD)\n"
       "  size: 2320 bytes (0x910), header at offset 0 (0x0)\n"
       "  tracks present: 1\n"
       "  track   0: 6 sectors: C0 H0 R1 N1, C0 H0 R3 N1, C0 H0 R2 N1, C0 H0 R4 N1, C0 H1 R5-6 N1\n"
       "  warning: mivor stops loading at track 0, C0 H0 R5 N1: sector missing; 1024" + loadEnd + noBlocks},
      {"a sector missing on side 1", build(gap),
       "disks: 1\n"
       "disk 1 (No.1): \"DISK\"\n"
       "  media type: 0x00 (2D)\n"
       "  size: 9120 bytes (0x23A0), header at offset 0 (0x0)\n"
       "  tracks present: 2\n"
       "  track   0: 16 sectors: C0 H0 R1-16 N1\n"
       "  track   1: 15 sectors: C0 H1 R1-8 N1, C0 H1 R10-16 N1\n"
       "  warning: mivor stops loading at track 1, C0 H1 R9 N1: sector missing; 6144" + loadEnd + noBlocks},
      {"a short sector", build(shortR2),
       "disks: 1\n"
       "disk 1 (No.1): \"DISK\"\n"
       "  media type: 0x00 (2D)\n"
       "  size: 4912 bytes (0x1330), header at offset 0 (0x0)\n"
       "  tracks present: 1\n"
       "  track   0: 16 sectors: C0 H0 R1-16 N1\n"
       "  warning: mivor stops loading at track 0, C0 H0 R2 N1: short sector, 128 of 256 bytes; 256" +
           loadEnd + noBlocks},
      {"a sector without data", build(emptyR3),
       "disks: 1\n"
       "disk 1 (No.1): \"DISK\"\n"
       "  media type: 0x00 (2D)\n"
       "  size: 4784 bytes (0x12B0), header at offset 0 (0x0)\n"
       "  tracks present: 1\n"
       "  track   0: 16 sectors: C0 H0 R1-16 N1\n"
       "  warning: mivor stops loading at track 0, C0 H0 R3 N1: sector listed but reads no data; 512" +
           loadEnd + noBlocks},
      {"512-byte sectors are not the ones mivor loads", build(sizeCode2),
       "disks: 1\n"
       "disk 1 (No.1): \"DISK\"\n"
       "  media type: 0x00 (2D)\n"
       "  size: 4912 bytes (0x1330), header at offset 0 (0x0)\n"
       "  tracks present: 1\n"
       "  track   0: 8 sectors: C0 H0 R1-8 N2\n"
       "  warning: mivor stops loading at track 0, C0 H0 R1 N1: sector missing; 0" + loadEnd + noBlocks},
      {"file cut inside the data of R3", cut(build(disk({standardTrack(0)})), 688 + 2 * kSectorBytes + 16 + 100),
       "disks: 1\n"
       "disk 1 (No.1): \"DISK\"\n"
       "  media type: 0x00 (2D)\n"
       "  size: 5040 bytes (0x13B0), header at offset 0 (0x0)\n"
       "  tracks present: 1\n"
       "  track   0: 3 sectors: C0 H0 R1-3 N1\n"
       "  warning: mivor stops loading at track 0, C0 H0 R3 N1: short sector, 100 of 256 bytes; 512" +
           loadEnd + noBlocks},
      {"damaged track entries", build(badEntries),
       "disks: 1\n"
       "disk 1 (No.1): \"DISK\"\n"
       "  media type: 0x00 (2D)\n"
       "  size: 1048576 bytes (0x100000), header at offset 0 (0x0)\n"
       "  tracks present: 5\n"
       "  track   0: 16 sectors: C0 H0 R1-16 N1\n"
       "  track   1: outside the disk\n"
       "  track   2: outside the disk\n"
       "  track   3: beyond the end of the file\n"
       "  track   4: beyond the end of the file\n"
       "  warning: mivor stops loading at track 1, C0 H1 R1 N1: track outside the disk; 4096" + loadEnd + noBlocks},
      {"sector counts of 0", build(zeroCounts),
       "disks: 1\n"
       "disk 1 (No.1): \"DISK\"\n"
       "  media type: 0x00 (2D)\n"
       "  size: 1232 bytes (0x4D0), header at offset 0 (0x0)\n"
       "  tracks present: 1\n"
       "  track   0: 2 sectors: C0 H0 R1-2 N1\n"
       "  warning: mivor stops loading at track 0, C0 H0 R1 N1: sector listed but reads no data; 0" +
           loadEnd + noBlocks},
      {"a listing that reaches its limit", build(runaway),
       "disks: 1\n"
       "disk 1 (No.1): \"DISK\"\n"
       "  media type: 0x00 (2D)\n"
       "  size: 5488 bytes (0x1570), header at offset 0 (0x0)\n"
       "  tracks present: 1\n"
       "  track   0: at least 256 sectors: C0 H0 R1-255 N1, C0 H0 R0 N1\n"
       "  warning: mivor stops loading at track 0, C0 H0 R1 N1: sector listed but reads no data; 0" +
           loadEnd + noBlocks},
      {"a size field of 2^31", build(hugeSize),
       "disks: 1\n"
       "disk 1 (No.1): \"DISK\"\n"
       "  media type: 0x00 (2D)\n"
       "  size: 2147483648 bytes (0x80000000), header at offset 0 (0x0)\n"
       "  tracks present: 1\n"
       "  track   0: outside the disk\n"
       "  warning: mivor stops loading at track 0, C0 H0 R1 N1: track outside the disk; 0" + loadEnd + noBlocks},
      {"a name at the ends of printable ASCII", build(printable),
       "disks: 1\n"
       "disk 1 (No.1): \"~ !}\\x7F\\x1F\"\n"
       "  media type: 0x00 (2D)\n"
       "  size: 5040 bytes (0x13B0), header at offset 0 (0x0)\n"
       "  tracks present: 1\n"
       "  track   0: 16 sectors: C0 H0 R1-16 N1\n"
       "  warning: mivor stops loading at track 1, C0 H1 R1 N1: track absent; 4096" + loadEnd + noBlocks},
      {"a name with quotes, control and Shift-JIS bytes", build(named),
       "disks: 1\n"
       "disk 1 (No.1): \"A\\x22B\\x5CC\\x01\\x82\\xA0\"\n"
       "  media type: 0x20 (2HD)\n"
       "  size: 5040 bytes (0x13B0), header at offset 0 (0x0)\n"
       "  tracks present: 1\n"
       "  track   0: 16 sectors: C0 H0 R1-16 N1\n"
       "  warning: mivor stops loading at track 1, C0 H1 R1 N1: track absent; 4096" + loadEnd + noBlocks},
  };
  for (const ReportCase& c : cases) EXPECT_EQ(report(c.file), c.text) << c.what;
}

TEST(D88Info, NoWarningWhenTheWorkAreaFills) {
  // 80 tracks fill the 0x50000 bytes mivor loads; the absent tracks after
  // them are never read.
  Disk full = diskHolding(Bytes(80 * kTrackBytes, 0), "FULL");
  full.mediaType = 0x20;
  std::string text =
      "disks: 1\n"
      "disk 1 (No.1): \"FULL\"\n"
      "  media type: 0x20 (2HD)\n"
      "  size: 348848 bytes (0x552B0), header at offset 0 (0x0)\n"
      "  tracks present: 80\n";
  for (int t = 0; t < 80; ++t) {
    char line[64];
    std::snprintf(line, sizeof line, "  track %3d: 16 sectors: C%d H%d R1-16 N1\n", t, t / 2, t % 2);
    text += line;
  }
  text += "  no blocks\nblocks: 0 (0 patched)\n";
  EXPECT_EQ(report(build(full)), text);

  // One track fewer, and the load stops at the first sector of track 79.
  full.tracks.pop_back();
  const std::string shorter = report(build(full));
  EXPECT_NE(shorter.find("  warning: mivor stops loading at track 79, C39 H1 R1 N1: track absent; 323584 of "
                         "327680 bytes loaded\n"),
            std::string::npos)
      << shorter;
}

TEST(D88Info, MediaTypeNames) {
  const std::pair<int, const char*> cases[] = {
      {0x00, "0x00 (2D)"},      {0x10, "0x10 (2DD)"},     {0x20, "0x20 (2HD)"},
      {0x01, "0x01 (unknown)"}, {0x30, "0x30 (unknown)"}, {0xFF, "0xFF (unknown)"},
  };
  for (const auto& c : cases) {
    const std::string text = report(build(disk({standardTrack(0, Bytes(), 1)}, c.first)));
    EXPECT_NE(text.find(std::string("\n  media type: ") + c.second + "\n"), std::string::npos) << text;
  }
}

TEST(D88Info, NumbersDisksAsMivorAnnouncesThem) {
  std::vector<Bytes> parts;
  for (int i = 0; i < 11; ++i) {
    Disk d = disk({standardTrack(0, Bytes(), 1)});
    d.name = "D" + std::to_string(i + 1);
    parts.push_back(build(d));
  }
  const std::size_t length = parts[0].size();
  const std::string text = report(concat(parts));
  EXPECT_EQ(text.rfind("disks: 11\n", 0), 0u) << text;
  const std::pair<int, std::string> headers[] = {
      {1, "disk 1 (No.1): \"D1\"\n"}, {10, "disk 10 (No.:): \"D10\"\n"}, {11, "disk 11 (No.;): \"D11\"\n"}};
  for (const auto& h : headers) {
    const std::size_t at = text.find(h.second);
    ASSERT_NE(at, std::string::npos) << h.second << text;
    const std::size_t offset = (static_cast<std::size_t>(h.first) - 1) * length;
    char size[96];
    std::snprintf(size, sizeof size, "  size: %zu bytes (0x%zX), header at offset %zu (0x%zX)\n", length, length,
                  offset, offset);
    const std::size_t sizeAt = text.find("  size: ", at);
    ASSERT_NE(sizeAt, std::string::npos) << text;
    EXPECT_EQ(text.substr(sizeAt, std::string(size).size()), size) << text.substr(at, 200);
  }
}

TEST(D88Info, EveryTruncationIsReported) {
  // A two-track image cut at every length: short of a disk header there is
  // no disk; past it, every cut loses sector bytes of track 0 or 1 and the
  // load stops there instead of at the absent track 2.
  const Bytes whole = build(disk({standardTrack(0, Bytes(), 16), standardTrack(1, Bytes(), 16)}));
  ASSERT_NE(report(whole).find("warning: mivor stops loading at track 2, "), std::string::npos);
  const TempDir dir;
  for (std::size_t length = 0; length < whole.size(); ++length) {
    const std::string text = report(cut(whole, length), dir);
    if (length < 688) {
      EXPECT_EQ(text, "disks: 0\nblocks: 0 (0 patched)\n") << length;
      continue;
    }
    const std::size_t warning = text.find("  warning: mivor stops loading at track ");
    ASSERT_NE(warning, std::string::npos) << length << "\n" << text;
    EXPECT_TRUE(text.compare(warning + 40, 2, "0,") == 0 || text.compare(warning + 40, 2, "1,") == 0)
        << length << "\n" << text;
  }
}

// The lines of a report that name the disks and list their blocks.
std::string blockLines(const std::string& text) {
  std::string kept;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("disk ", 0) == 0 || line.rfind("  block ", 0) == 0 || line == "  no blocks" ||
        line.rfind("blocks: ", 0) == 0) {
      kept += line + "\n";
    }
  }
  return kept;
}

TEST(D88Info, ListsTheBlocksMivorWouldCut) {
  constexpr std::size_t kArea = 0x50000;
  // The first and the last scan position, and signatures the scan must pass
  // over: at 0x4F600, off the 256-byte grid, without the check byte.
  Bytes edges =
      areaWithBlocks(kArea, {{0x0, false}, {0x1280, false}, {0x2000, false}, {0x4F500, true}, {0x4F600, false}});
  edges[0x2000 + 35] = 0xC9;

  // Numbering runs on across the disks. A short disk after one with a block
  // past its end, and a disk without tracks after that: neither may find an
  // earlier disk's block again.
  const Bytes first = areaWithBlocks(kArea, {{0x1000, false}, {0x1100, true}, {0x20000, false}});
  const Bytes shortArea = areaWithBlocks(0x8000, {{0x4000, true}});

  const ReportCase cases[] = {
      {"the first and the last scan position", build(diskHolding(edges, "EDGES")),
       "disk 1 (No.1): \"EDGES\"\n"
       "  block MUS00 at 0x000000 (2560 bytes)\n"
       "  block MUS01 at 0x04F500 (3072 bytes, patched)\n"
       "blocks: 2 (1 patched)\n"},
      {"numbered across disks",
       concat({build(diskHolding(first, "A")), build(diskHolding(shortArea, "B")), build(disk({}))}),
       "disk 1 (No.1): \"A\"\n"
       "  block MUS00 at 0x001000 (2560 bytes)\n"
       "  block MUS01 at 0x001100 (3072 bytes, patched)\n"
       "  block MUS02 at 0x020000 (2560 bytes)\n"
       "disk 2 (No.2): \"B\"\n"
       "  block MUS03 at 0x004000 (3072 bytes, patched)\n"
       "disk 3 (No.3): \"DISK\"\n"
       "  no blocks\n"
       "blocks: 4 (2 patched)\n"},
  };
  for (const ReportCase& c : cases) EXPECT_EQ(blockLines(report(c.file)), c.text) << c.what;

  // Names run on past MUS99.
  std::vector<std::pair<int, bool>> many;
  for (int k = 0; k <= 100; ++k) many.emplace_back(k * 256, k % 10 == 0);
  const std::string text = blockLines(report(build(diskHolding(areaWithBlocks(kArea, many)))));
  EXPECT_NE(text.find("  block MUS99 at 0x006300 (2560 bytes)\n"
                      "  block MUS100 at 0x006400 (3072 bytes, patched)\n"
                      "blocks: 101 (11 patched)\n"),
            std::string::npos)
      << text;
}

TEST(D88Info, ADiskWhoseHeaderCannotBeReadHasNoBlocks) {
  // The file loses its second disk after it was indexed. mivor still runs
  // the pass on that disk, with nothing selected: every track reads as
  // absent, and the cleared work area holds none of the first disk's block.
  const Bytes first = build(diskHolding(areaWithBlocks(0x8000, {{0x1000, false}}), "A"));
  const TempDir dir;
  D88Image image;
  ASSERT_TRUE(image.open(dir.put("image.d88", concat({first, first})).c_str()));
  ASSERT_EQ(image.diskCount(), 2);
  std::filesystem::resize_file(dir.file("image.d88"), first.size());
  EXPECT_EQ(blockLines(describeImage(image)),
            "disk 1 (No.1): \"A\"\n"
            "  block MUS00 at 0x001000 (2560 bytes)\n"
            "disk 2 (No.2): header cannot be read\n"
            "  no blocks\n"
            "blocks: 1 (0 patched)\n");
}

// The program as a user runs it.
TEST(D88Info, CommandLine) {
  TempDir dir;
  const Bytes image = build(disk({standardTrack(0)}));
  dir.put("image.d88", image);
  std::filesystem::create_directory(dir.path() / "sub");

  struct Case {
    const char* what;
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
  };
  const Case cases[] = {
      {"no argument", {}, 1, "", "Usage: d88info FILE\n"},
      {"two arguments", {"image.d88", "x"}, 1, "", "Usage: d88info FILE\n"},
      {"missing file", {"missing.d88"}, 1, "", "d88info: cannot open missing.d88\n"},
      {"a directory", {"sub"}, 1, "", "d88info: cannot open sub\n"},
      {"an image", {"image.d88"}, 0, report(image), ""},
  };
  for (const Case& c : cases) {
    const RunResult run = runProgram(D88INFO_BINARY, dir.path(), c.args);
    EXPECT_EQ(run.status, c.status) << c.what;
    EXPECT_EQ(run.out, c.out) << c.what;
    EXPECT_EQ(run.err, c.err) << c.what;
  }
  EXPECT_EQ(readFile(dir.file("image.d88")), image) << "the image changed";

  // A report that cannot be written is an error too.
  const std::string command =
      std::string("'") + D88INFO_BINARY + "' '" + dir.file("image.d88") + "' >/dev/full 2>/dev/null";
  const int raw = std::system(command.c_str());
  ASSERT_TRUE(raw != -1 && WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 1);
}

}  // namespace
