// The mivor binary run as a user runs it, in a fresh directory: standard
// output, standard error, exit status and every file left behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/d88_builder.h"
#include "tests/tool_runner.h"

using namespace d88test;
namespace fs = std::filesystem;

namespace {

constexpr int kArea = 0x50000;

const std::string kUsage = "Usage: mivor [d88file]\n";

// One run of the tool: the image it is given and what it must do with it.
struct ToolCase {
  std::string what;
  Bytes image;
  std::string imageName = "image.d88";
  std::vector<std::string> args{imageName};
  std::function<void(const TempDir&)> prepare;
  int status = 0;
  std::string out;
  std::string err;
  std::map<std::string, Bytes> outputs;  // files the run must leave besides the image
  long fileSizeLimit = 0;                 // bytes any file written may hold; 0: no limit

  ToolCase& named(const std::string& name) {
    imageName = name;
    args = {name};
    return *this;
  }
  ToolCase& withArgs(std::vector<std::string> a) {
    args = std::move(a);
    return *this;
  }
  ToolCase& before(std::function<void(const TempDir&)> f) {
    prepare = std::move(f);
    return *this;
  }
  ToolCase& expect(int s, std::string o, std::string e = "") {
    status = s;
    out = std::move(o);
    err = std::move(e);
    return *this;
  }
  ToolCase& writes(const std::string& name, Bytes bytes) {
    outputs[name] = std::move(bytes);
    return *this;
  }
  ToolCase& limitedTo(long bytes) {
    fileSizeLimit = bytes;
    return *this;
  }
};

ToolCase on(const std::string& what, Bytes image) {
  ToolCase c;
  c.what = what;
  c.image = std::move(image);
  return c;
}

void check(const ToolCase& c) {
  SCOPED_TRACE(c.what);
  TempDir dir;
  dir.put(c.imageName, c.image);
  if (c.prepare) c.prepare(dir);
  RunSetup setup;
  setup.fileSizeLimit = c.fileSizeLimit;
  const RunResult run = runMivor(dir.path(), c.args, setup);
  EXPECT_EQ(run.status, c.status);
  EXPECT_EQ(run.out, c.out);
  EXPECT_EQ(run.err, c.err);

  std::vector<std::string> expectedFiles{c.imageName};
  for (const auto& o : c.outputs) {
    if (o.first != c.imageName) expectedFiles.push_back(o.first);
  }
  std::sort(expectedFiles.begin(), expectedFiles.end());
  EXPECT_EQ(dir.files(), expectedFiles);
  for (const auto& o : c.outputs) EXPECT_EQ(readFile(dir.file(o.first)), o.second) << o.first;
  if (!c.outputs.count(c.imageName)) {
    EXPECT_EQ(readFile(dir.file(c.imageName)), c.image) << "the image changed";
  }
}

// The line announcing disk d, counted from 1.
std::string disk(int d) { return std::string("searching ... Disk No.") + char('0' + d) + "\n"; }

// The lines announcing disks 1 to disks.
std::string searching(int disks) {
  std::string s;
  for (int d = 1; d <= disks; ++d) s += disk(d);
  return s;
}

Bytes oneDisk(const std::string& name = "DISK") {
  Disk d;
  d.name = name;
  d.tracks.push_back(standardTrack(0, Bytes(), 2));
  return build(d);
}

TEST(Tool, CommandLineAndImageIndex) {
  Disk stuck;
  stuck.tracks.push_back(standardTrack(0, Bytes(), 1));
  stuck.withSize(0);
  Disk big;
  big.withSize(0x100000);

  const ToolCase cases[] = {
      on("no argument", oneDisk()).withArgs({}).expect(1, "", kUsage),
      on("two arguments", oneDisk()).withArgs({"image.d88", "x"}).expect(1, "", kUsage),
      on("missing file", oneDisk()).withArgs({"missing.d88"}).expect(1, "", kMivorCannotOpen),
      on("a directory", oneDisk())
          .before([](const TempDir& d) { fs::create_directory(d.path() / "sub"); })
          .withArgs({"sub"})
          .expect(1, "", kMivorCannotOpen),
      on("empty file", {}).expect(0, ""),
      on("687 bytes", Bytes(687, 0)).expect(0, ""),
      on("one disk", oneDisk()).expect(0, searching(1)),
      on("70 disks: 64 announced", concat(std::vector<Bytes>(70, oneDisk()))).expect(0, searching(64)),
      on("size 0 on disk 3", concat({oneDisk(), oneDisk(), build(stuck)})).expect(0, searching(64)),
      on("size beyond the end of the file", build(big)).expect(0, searching(1)),
  };
  for (const ToolCase& c : cases) check(c);
  // The 10th disk is ':', the 64th 'p'.
  EXPECT_EQ(searching(64).substr(9 * 24, 24), "searching ... Disk No.:\n");
  EXPECT_EQ(searching(64).substr(63 * 24, 24), "searching ... Disk No.p\n");
}

// The bytes a cut of the block at offset of area must hold: patched where
// byte 132 is a CALL, zeros past the end of the work area.
Bytes cutOf(const Bytes& area, int offset) {
  const bool patched = area[static_cast<std::size_t>(offset) + 132] == 0xCD;
  Bytes b(patched ? 3072 : 2560, 0);
  for (std::size_t i = 0; i < b.size(); ++i) {
    const std::size_t at = static_cast<std::size_t>(offset) + i;
    if (at < area.size() && at < static_cast<std::size_t>(kArea)) b[i] = area[at];
  }
  if (patched) b[132] = 0x21;
  return b;
}

Bytes workArea() { return Bytes(kArea, 0); }

Bytes withBlocks(const std::vector<std::pair<int, bool>>& blocks) { return areaWithBlocks(kArea, blocks); }

Bytes imageOf(const Bytes& area) { return build(diskHolding(area)); }

std::string cutting(const std::string& name, int offset, bool patched = false) {
  char line[64];
  std::snprintf(line, sizeof line, "cutting ... %5s  adr=%06x\n", name.c_str(), offset);
  return line + std::string(patched ? "* patched *\n" : "");
}

TEST(Tool, CutsMusicBlocks) {
  const Bytes plain = withBlocks({{0x1200, false}});
  const Bytes patched = withBlocks({{0x1200, true}});
  const Bytes last = withBlocks({{0x4F500, true}});
  const Bytes pair = withBlocks({{0x3000, false}, {0x3100, true}});

  Bytes noCheckByte = withBlocks({{0x1200, false}});
  noCheckByte[0x1200 + 35] = 0xC9;
  Bytes noFirstJump = withBlocks({{0x1200, false}});
  noFirstJump[0x1200 + 32] = 0xC9;
  Bytes misaligned = workArea();
  putBlock(misaligned, 0x1280, false);
  misaligned.resize(kArea);
  Bytes beyondWindow = workArea();
  putBlock(beyondWindow, 0x4F600, false);
  beyondWindow.resize(kArea);

  const ToolCase cases[] = {
      on("a block at 0x1200", imageOf(plain))
          .expect(0, searching(1) + cutting("MUS00", 0x1200))
          .writes("MUS00", cutOf(plain, 0x1200)),
      on("a block to patch at 0x1200", imageOf(patched))
          .expect(0, searching(1) + cutting("MUS00", 0x1200, true))
          .writes("MUS00", cutOf(patched, 0x1200)),
      on("0xC3 at +32 but not at +35", imageOf(noCheckByte)).expect(0, searching(1)),
      on("0xC3 at +35 but not at +32", imageOf(noFirstJump)).expect(0, searching(1)),
      on("a signature off the 256-byte grid", imageOf(misaligned)).expect(0, searching(1)),
      on("a patched block at the last position", imageOf(last))
          .expect(0, searching(1) + cutting("MUS00", 0x4F500, true))
          .writes("MUS00", cutOf(last, 0x4F500)),
      on("a block at 0x4F600 is beyond the scan", imageOf(beyondWindow)).expect(0, searching(1)),
      on("two blocks 256 bytes apart", imageOf(pair))
          .expect(0, searching(1) + cutting("MUS00", 0x3000) + cutting("MUS01", 0x3100, true))
          .writes("MUS00", cutOf(pair, 0x3000))
          .writes("MUS01", cutOf(pair, 0x3100)),
  };
  for (const ToolCase& c : cases) check(c);

  const Bytes lastCut = cutOf(last, 0x4F500);
  EXPECT_EQ(Bytes(lastCut.end() - 256, lastCut.end()), Bytes(256, 0));
  EXPECT_EQ(cutOf(patched, 0x1200)[132], 0x21);
}

TEST(Tool, NumbersBlocksAcrossDisks) {
  const Bytes first = withBlocks({{0x2000, true}});
  const Bytes second = withBlocks({{0x10000, false}});
  // A shorter second disk: a run that ends early must not bring back the
  // first disk's block from the work area.
  Bytes shortArea(0x8000, 0);
  putBlock(shortArea, 0x1000, false, 0x77);
  shortArea.resize(0x8000);

  // A sector missing in the middle: the run stops there and the rest of the
  // work area reads as zeros, even inside a block cut across the gap.
  Bytes gapped = withBlocks({{0x1000, true}, {0x3000, false}});
  Disk gappedDisk = diskHolding(gapped);
  gappedDisk.tracks[1].sectors.erase(gappedDisk.tracks[1].sectors.begin() + 8);  // R9 at 0x1800
  Bytes gappedCut = cutOf(gapped, 0x1000);
  std::fill(gappedCut.begin() + 0x800, gappedCut.end(), 0);

  const ToolCase cases[] = {
      on("two full disks, one block each", concat({imageOf(first), imageOf(second)}))
          .expect(0, disk(1) + cutting("MUS00", 0x2000, true) + disk(2) + cutting("MUS01", 0x10000))
          .writes("MUS00", cutOf(first, 0x2000))
          .writes("MUS01", cutOf(second, 0x10000)),
      on("a short second disk after a block", concat({imageOf(second), imageOf(shortArea)}))
          .expect(0, disk(1) + cutting("MUS00", 0x10000) + disk(2) + cutting("MUS01", 0x1000))
          .writes("MUS00", cutOf(second, 0x10000))
          .writes("MUS01", cutOf(shortArea, 0x1000)),
      on("a missing sector ends the run", build(gappedDisk))
          .expect(0, searching(1) + cutting("MUS00", 0x1000, true))
          .writes("MUS00", gappedCut),
  };
  for (const ToolCase& c : cases) check(c);
}

TEST(Tool, OutputFiles) {
  const Bytes three = withBlocks({{0x1000, false}, {0x5000, true}, {0x9000, false}});
  const std::string lines = searching(1) + cutting("MUS00", 0x1000) + cutting("MUS01", 0x5000, true) +
                            cutting("MUS02", 0x9000);
  const Bytes image = imageOf(three);

  const ToolCase cases[] = {
      on("an existing output is replaced", image)
          .before([](const TempDir& d) { d.put("MUS00", Bytes(5000, 'x')); })
          .expect(0, lines)
          .writes("MUS00", cutOf(three, 0x1000))
          .writes("MUS01", cutOf(three, 0x5000))
          .writes("MUS02", cutOf(three, 0x9000)),
      // The link is replaced; the file it points to is not written.
      on("an existing output that is a link", image)
          .before([](const TempDir& d) {
            d.put("target", Bytes(7, 't'));
            fs::create_symlink("target", d.path() / "MUS00");
          })
          .expect(0, lines)
          .writes("MUS00", cutOf(three, 0x1000))
          .writes("MUS01", cutOf(three, 0x5000))
          .writes("MUS02", cutOf(three, 0x9000))
          .writes("target", Bytes(7, 't')),
      on("a directory in the way", image)
          .before([](const TempDir& d) { fs::create_directory(d.path() / "MUS01"); })
          .expect(1, lines, "cannot write MUS01\n")
          .writes("MUS00", cutOf(three, 0x1000))
          .writes("MUS02", cutOf(three, 0x9000)),
      on("the image itself is named MUS00", image)
          .named("MUS00")
          .expect(1, lines, "cannot write MUS00\n")
          .writes("MUS01", cutOf(three, 0x5000))
          .writes("MUS02", cutOf(three, 0x9000)),
      on("the image reached through a link", image)
          .named("MUS01")
          .before([](const TempDir& d) { fs::create_symlink("MUS01", d.path() / "link.d88"); })
          .withArgs({"link.d88"})
          .expect(1, lines, "cannot write MUS01\n")
          .writes("MUS00", cutOf(three, 0x1000))
          .writes("MUS02", cutOf(three, 0x9000)),
  };
  for (const ToolCase& c : cases) check(c);
}

// A block's file is written whole or not at all: a failed write leaves an
// earlier file of that name as it was, and nothing of its own behind.
TEST(Tool, FailedWritesLoseNothing) {
  const Bytes three = withBlocks({{0x1000, false}, {0x5000, true}, {0x9000, false}});
  const Bytes image = imageOf(three);
  const std::string lines = searching(1) + cutting("MUS00", 0x1000) + cutting("MUS01", 0x5000, true) +
                            cutting("MUS02", 0x9000);
  // Files of an earlier run, each unlike what this run cuts.
  const Bytes old0(2560, 'a'), old1(3072, 'b'), old2(100, 'c');
  const auto earlierRun = [&](const TempDir& d) {
    d.put("MUS00", old0);
    d.put("MUS01", old1);
    d.put("MUS02", old2);
  };
  // Under this limit an unpatched block fits exactly and a patched one
  // does not; its write fails when stdio flushes it at close.
  constexpr long kFitsPlainOnly = 2560;

  const Bytes first = withBlocks({{0x2000, true}});
  const Bytes second = withBlocks({{0x10000, false}});

  const ToolCase cases[] = {
      on("a patched block over the file-size limit, earlier files present", image)
          .before(earlierRun)
          .limitedTo(kFitsPlainOnly)
          .expect(1, lines, "cannot write MUS01\n")
          .writes("MUS00", cutOf(three, 0x1000))
          .writes("MUS01", old1)
          .writes("MUS02", cutOf(three, 0x9000)),
      on("a patched block over the file-size limit, no earlier files", image)
          .limitedTo(kFitsPlainOnly)
          .expect(1, lines, "cannot write MUS01\n")
          .writes("MUS00", cutOf(three, 0x1000))
          .writes("MUS02", cutOf(three, 0x9000)),
      on("no block fits, earlier files present", image)
          .before(earlierRun)
          .limitedTo(512)
          .expect(1, lines, "cannot write MUS00\ncannot write MUS01\ncannot write MUS02\n")
          .writes("MUS00", old0)
          .writes("MUS01", old1)
          .writes("MUS02", old2),
      on("a failure on the first disk, a clean second disk", concat({imageOf(first), imageOf(second)}))
          .limitedTo(kFitsPlainOnly)
          .expect(1, disk(1) + cutting("MUS00", 0x2000, true) + disk(2) + cutting("MUS01", 0x10000),
                  "cannot write MUS00\n")
          .writes("MUS01", cutOf(second, 0x10000)),
      // The temporary files' names are taken by files that are not ours.
      on("files named like the temporary ones", image)
          .before([&](const TempDir& d) {
            d.put("MUS00.tmp", old0);
            d.put("MUS00.tmp1", old1);
            fs::create_directory(d.path() / "MUS01.tmp");
          })
          .expect(0, lines)
          .writes("MUS00", cutOf(three, 0x1000))
          .writes("MUS00.tmp", old0)
          .writes("MUS00.tmp1", old1)
          .writes("MUS01", cutOf(three, 0x5000))
          .writes("MUS02", cutOf(three, 0x9000)),
  };
  for (const ToolCase& c : cases) check(c);
}

// What a directory in the way holds is left alone.
TEST(Tool, LeavesADirectoryInTheWayAlone) {
  TempDir dir;
  dir.put("image.d88", imageOf(withBlocks({{0x1000, false}})));
  fs::create_directory(dir.path() / "MUS00");
  dir.put("MUS00/keep", Bytes(10, 'k'));
  const RunResult run = runMivor(dir.path(), {"image.d88"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "cannot write MUS00\n");
  EXPECT_EQ(readFile(dir.file("MUS00/keep")), Bytes(10, 'k'));
  std::vector<std::string> entries;
  for (const auto& e : fs::directory_iterator(dir.path() / "MUS00")) entries.push_back(e.path().filename().string());
  EXPECT_EQ(entries, std::vector<std::string>{"keep"});
}

// The blocks of a disk that lies past 2 GiB are cut like any other. The
// image is about 4 GiB, sparse, and never read whole by the test.
TEST(Tool, ImagesPastTwoGiB) {
  const LargeImage large = largeImage();
  TempDir dir;
  ASSERT_TRUE(writePieces(dir.file("large.d88"), large.pieces));
  const RunResult run = runMivor(dir.path(), {"large.d88"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, disk(1) + cutting("MUS00", 0x1200) + disk(2) + cutting("MUS01", 0x800) +
                         cutting("MUS02", 0x3C000) + cutting("MUS03", 0x4F500, true));
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"MUS00", "MUS01", "MUS02", "MUS03", "large.d88"}));
  EXPECT_EQ(readFile(dir.file("MUS00")), cutOf(large.firstArea, 0x1200));
  EXPECT_EQ(readFile(dir.file("MUS01")), cutOf(large.secondArea, 0x800));
  EXPECT_EQ(readFile(dir.file("MUS02")), cutOf(large.secondArea, 0x3C000));
  EXPECT_EQ(readFile(dir.file("MUS03")), cutOf(large.secondArea, 0x4F500));
}

}  // namespace
