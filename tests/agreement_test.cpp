// mivor and d88info run on the same images: the blocks d88info lists for
// each disk are the blocks mivor cuts from it, name for name, offset for
// offset, patched for patched, and as long as the file mivor writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/d88_builder.h"
#include "tests/tool_runner.h"

using namespace d88test;

namespace {

constexpr std::size_t kArea = 0x50000;

struct Block {
  int disk = 0;  // counted from 1
  std::string name;
  unsigned offset = 0;
  bool patched = false;
  long long length = 0;

  bool operator==(const Block& o) const {
    return disk == o.disk && name == o.name && offset == o.offset && patched == o.patched && length == o.length;
  }
};

std::ostream& operator<<(std::ostream& os, const Block& b) {
  return os << "disk " << b.disk << " " << b.name << " at 0x" << std::hex << b.offset << std::dec
            << (b.patched ? " patched " : " ") << b.length << " bytes";
}

// What one program said about an image.
struct Listing {
  int disks = 0;
  std::vector<Block> blocks;
  std::string problems;  // lines that fit no expected form, and broken rules
};

// mivor's lines: a "searching" line starts each disk, a "cutting" line names
// a block, "* patched *" follows a patched one. The length is that of the
// file the block was written to.
Listing mivorListing(const std::string& out, const TempDir& dir) {
  Listing l;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    char name[32];
    unsigned offset = 0;
    if (line.rfind("searching ... Disk No.", 0) == 0) {
      ++l.disks;
    } else if (std::sscanf(line.c_str(), "cutting ... %31s adr=%x", name, &offset) == 2 && l.disks > 0) {
      const Bytes file = readFile(dir.file(name));
      l.blocks.push_back({l.disks, name, offset, false, static_cast<long long>(file.size())});
    } else if (line == "* patched *" && !l.blocks.empty() && !l.blocks.back().patched) {
      l.blocks.back().patched = true;
    } else {
      l.problems += "mivor: " + line + "\n";
    }
  }
  return l;
}

// d88info's lines for the blocks: under each disk's heading either its
// block lines or "no blocks", and at the end the count of all of them.
Listing d88infoListing(const std::string& out) {
  Listing l;
  bool said = true;  // the disk before gave block lines or "no blocks"
  int total = -1;
  int totalPatched = -1;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    int disk = 0;
    char name[32];
    unsigned offset = 0;
    long long length = 0;
    int used = 0;
    if (std::sscanf(line.c_str(), "disk %d (", &disk) == 1) {
      if (!said) l.problems += "d88info: nothing said of the blocks of disk " + std::to_string(l.disks) + "\n";
      if (disk != l.disks + 1) l.problems += "d88info: disks out of order: " + line + "\n";
      l.disks = disk;
      said = false;
    } else if (std::sscanf(line.c_str(), "  block %31s at 0x%x (%lld bytes%n", name, &offset, &length, &used) == 3) {
      const std::string rest = line.substr(static_cast<std::size_t>(used));
      if (rest != ")" && rest != ", patched)") l.problems += "d88info: " + line + "\n";
      l.blocks.push_back({l.disks, name, offset, rest == ", patched)", length});
      said = true;
    } else if (line == "  no blocks") {
      if (said) l.problems += "d88info: \"no blocks\" out of place on disk " + std::to_string(l.disks) + "\n";
      said = true;
    } else if (std::sscanf(line.c_str(), "blocks: %d (%d patched)", &total, &totalPatched) == 2) {
      if (!said) l.problems += "d88info: nothing said of the blocks of disk " + std::to_string(l.disks) + "\n";
    }
  }
  int patched = 0;
  for (const Block& b : l.blocks) patched += b.patched ? 1 : 0;
  if (total != static_cast<int>(l.blocks.size()) || totalPatched != patched) {
    l.problems += "d88info: the closing count says " + std::to_string(total) + " (" + std::to_string(totalPatched) +
                  " patched), the lines " + std::to_string(l.blocks.size()) + " (" + std::to_string(patched) + ")\n";
  }
  return l;
}

// An image to give both programs: made in memory, or by d88gen.
struct AgreementCase {
  const char* what;
  Bytes image;
  std::vector<std::string> generate;  // d88gen's arguments before the file name, when it makes the image
  int blocks;                         // how many blocks the image holds
  int patched;                        // and how many of them are patched
};

TEST(Agreement, D88infoListsTheBlocksMivorCuts) {
  // Disk A's blocks lie 256 bytes apart and past the end of the short disk B
  // that follows; disk C is full and holds none.
  const Bytes a = areaWithBlocks(kArea, {{0x1000, false}, {0x1100, true}, {0x20000, false}});
  const Bytes b = areaWithBlocks(0x8000, {{0x4000, true}});

  // The first and the last scan position, a signature just past the last,
  // and the same positions the other way round on a second disk.
  const Bytes edges = areaWithBlocks(kArea, {{0x0, false}, {0x4F500, true}, {0x4F600, false}});
  const Bytes edges2 = areaWithBlocks(kArea, {{0x0, true}, {0x4F400, false}, {0x4F500, false}});

  // Loads that stop early. A missing sector at 0x1800: the block at 0x1000 is
  // cut across it, the one at 0x6000 is never loaded. A sector of 40 bytes
  // at 0x3000: the load stops there, yet its 40 bytes reach the work area
  // and hold a signature. A disk with no track at all.
  Disk gapped = diskHolding(areaWithBlocks(0x8000, {{0x1000, true}, {0x6000, false}}), "GAP");
  gapped.tracks[1].sectors.erase(gapped.tracks[1].sectors.begin() + 8);
  Disk shortSector = diskHolding(areaWithBlocks(0x8000, {{0x3000, false}, {0x3100, false}}), "SHORT");
  shortSector.tracks[3].sectors[0].data.resize(40);
  Disk noTracks;

  // Near misses only: the check byte, the 256-byte grid, the scan's end.
  Bytes misses = areaWithBlocks(kArea, {{0x2000, false}, {0x3080, true}, {0x4F600, true}});
  misses[0x2000 + 35] = 0;

  std::vector<std::pair<int, bool>> many;
  for (int k = 0; k <= 100; ++k) many.emplace_back(k * 256, k % 10 == 0);

  const AgreementCase cases[] = {
      {"the demo image", {}, {"demo"}, 3, 1},
      // d88gen puts 2 to 4 blocks on each disk, every other one patched.
      {"the bench image of 64 disks", {}, {"bench", "64"}, 191, 95},
      {"several disks, numbered across them",
       concat({build(diskHolding(a, "A")), build(diskHolding(b, "B")), build(diskHolding(Bytes(kArea, 0), "C")),
               build(diskHolding(b, "D"))}),
       {},
       5,
       3},
      {"blocks at the first and the last scan position",
       concat({build(diskHolding(edges, "E1")), build(diskHolding(edges2, "E2"))}),
       {},
       5,
       2},
      {"loads that stop early", concat({build(gapped), build(shortSector), build(noTracks), build(gapped)}), {}, 3,
       2},
      {"no blocks at all", concat({build(diskHolding(misses, "MISSES")), build(noTracks)}), {}, 0, 0},
      {"names past MUS99", build(diskHolding(areaWithBlocks(kArea, many))), {}, 101, 11},
      {"an empty file", {}, {}, 0, 0},
  };
  for (const AgreementCase& c : cases) {
    SCOPED_TRACE(c.what);
    const TempDir dir;
    if (c.generate.empty()) {
      dir.put("image.d88", c.image);
    } else {
      std::vector<std::string> args = c.generate;
      args.push_back("image.d88");
      ASSERT_EQ(runProgram(D88GEN_BINARY, dir.path(), args).status, 0);
    }
    const RunResult info = runProgram(D88INFO_BINARY, dir.path(), {"image.d88"});
    const RunResult cut = runMivor(dir.path(), {"image.d88"});
    ASSERT_EQ(info.status, 0) << info.err;
    ASSERT_EQ(cut.status, 0) << cut.err;

    const Listing fromInfo = d88infoListing(info.out);
    const Listing fromCut = mivorListing(cut.out, dir);
    EXPECT_EQ(fromInfo.problems, "");
    EXPECT_EQ(fromCut.problems, "");
    EXPECT_EQ(fromInfo.disks, fromCut.disks);
    EXPECT_EQ(fromInfo.blocks, fromCut.blocks);

    int patched = 0;
    for (const Block& b : fromCut.blocks) patched += b.patched ? 1 : 0;
    EXPECT_EQ(static_cast<int>(fromCut.blocks.size()), c.blocks);
    EXPECT_EQ(patched, c.patched);
  }
}

}  // namespace
