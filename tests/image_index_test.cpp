// Opening an image: the index of disk images, disk selection, reopen and close.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "image/d88_image.h"
#include "tests/d88_builder.h"
#include "tests/tool_runner.h"

using namespace d88test;

namespace {

Disk named(const std::string& name) {
  Disk d;
  d.name = name;
  d.tracks.push_back(standardTrack(0, Bytes(), 2));
  return d;
}

// The names of the indexed disks, as selecting each in turn decodes them.
std::vector<std::string> indexedNames(D88Image& image) {
  std::vector<std::string> names;
  for (int i = 0; i < image.diskCount(); ++i) {
    names.push_back(image.selectDisk(i) ? image.diskName() : "<unselectable>");
  }
  return names;
}

struct IndexCase {
  const char* what;
  Bytes file;
  std::vector<std::string> names;
};

std::vector<std::string> repeat(std::vector<std::string> head, const std::string& tail, int total) {
  while (static_cast<int>(head.size()) < total) head.push_back(tail);
  return head;
}

std::vector<IndexCase> indexCases() {
  const Bytes a = build(named("A"));
  const Bytes b = build(named("B"));
  const Bytes c = build(named("C"));
  std::vector<IndexCase> cases;
  cases.push_back({"empty file", {}, {}});
  cases.push_back({"687 bytes", Bytes(687, 0), {}});
  cases.push_back({"one disk", a, {"A"}});
  cases.push_back({"two disks", concat({a, b}), {"A", "B"}});
  {
    Bytes f = concat({a, b});
    f.resize(f.size() + 687, 0);
    cases.push_back({"687 trailing bytes ignored", f, {"A", "B"}});
  }
  {
    Disk big = named("BIG");
    big.withSize(1000000);
    cases.push_back({"size beyond the end of the file still counts", build(big), {"BIG"}});
  }
  {
    std::vector<Bytes> parts;
    std::vector<std::string> names;
    for (int i = 0; i < 70; ++i) {
      names.push_back("D" + std::to_string(i));
      parts.push_back(build(named(names.back())));
    }
    names.resize(64);
    cases.push_back({"70 disks index the first 64", concat(parts), names});
  }
  {
    Disk stuck = named("C");
    stuck.withSize(0);
    cases.push_back({"size 0 on disk 2 fills the index with it", concat({a, b, build(stuck)}),
                     repeat({"A", "B"}, "C", 64)});
  }
  {
    // Disk B steps back to disk A, which steps forward to B again.
    Disk back = named("B");
    back.withSize(static_cast<std::uint32_t>(-static_cast<std::int64_t>(a.size())));
    std::vector<std::string> names;
    for (int i = 0; i < 32; ++i) names.insert(names.end(), {"A", "B"});
    cases.push_back({"negative size steps back to an earlier disk", concat({a, build(back)}), names});
  }
  {
    Disk off = named("A");
    off.withSize(0x80000000u);
    cases.push_back({"size 2^31 makes the offset negative: the walk stops", concat({build(off), b}),
                     {"A"}});
  }
  {
    Disk off = named("A");
    off.withSize(0x7FFFFFFFu);
    cases.push_back({"offset 2^31 - 1 reads nothing", concat({build(off), b}), {"A"}});
  }
  {
    Disk short_ = named("A");
    short_.withSize(static_cast<std::uint32_t>(a.size() + b.size() - 100));
    cases.push_back({"fewer than 688 bytes at the next offset", concat({build(short_), b}), {"A"}});
  }
  return cases;
}

TEST(ImageIndex, WalksDiskHeaders) {
  for (const IndexCase& c : indexCases()) {
    TempDir dir;
    D88Image image;
    ASSERT_TRUE(image.open(dir.put("image.d88", c.file).c_str())) << c.what;
    EXPECT_EQ(image.diskCount(), static_cast<int>(c.names.size())) << c.what;
    EXPECT_EQ(indexedNames(image), c.names) << c.what;
  }
}

TEST(ImageIndex, OpenFailures) {
  TempDir dir;
  D88Image image;
  EXPECT_FALSE(image.open(dir.file("missing.d88").c_str()));
  EXPECT_FALSE(image.open(dir.path().string().c_str())) << "a directory";
  EXPECT_FALSE(image.selectDisk(0)) << "nothing open";
}

TEST(ImageIndex, CloseAndReopen) {
  TempDir dir;
  D88Image image;
  EXPECT_TRUE(image.open(nullptr)) << "closing a reader never opened";
  EXPECT_EQ(image.diskCount(), 0);

  Disk first = named("FIRST");
  first.mediaType = 0x20;
  ASSERT_TRUE(image.open(dir.put("a.d88", concat({build(first), build(first)})).c_str()));
  ASSERT_TRUE(image.selectDisk(1));
  ASSERT_EQ(image.mediaType(), 0x20);
  ASSERT_NE(image.trackOffset(0), 0);

  // Reopening drops everything of the earlier file, selection included.
  ASSERT_TRUE(image.open(dir.put("b.d88", build(named("SECOND"))).c_str()));
  EXPECT_EQ(image.diskCount(), 1);
  EXPECT_EQ(image.currentDisk(), -1);
  EXPECT_EQ(image.mediaType(), -1);
  EXPECT_STREQ(image.diskName(), "");
  EXPECT_EQ(image.diskBase(), 0);
  EXPECT_EQ(image.trackOffset(0), 0) << "the earlier file's track table";
  std::uint8_t ids[8];
  EXPECT_EQ(image.readTrackIds(0, ids, sizeof ids), 0) << "no track table before a selection";
  ASSERT_TRUE(image.selectDisk(0));
  EXPECT_STREQ(image.diskName(), "SECOND");

  EXPECT_TRUE(image.open(nullptr));
  EXPECT_EQ(image.diskCount(), 0);
  EXPECT_EQ(image.currentDisk(), -1);
  EXPECT_EQ(image.mediaType(), -1);
  EXPECT_FALSE(image.selectDisk(0));
}

// The number of file descriptors this process holds open, or -1 when they
// cannot be listed.
int openDescriptors() {
  std::error_code ec;
  int count = 0;
  for (std::filesystem::directory_iterator it("/dev/fd", ec), end; !ec && it != end; it.increment(ec)) ++count;
  return ec ? -1 : count;
}

TEST(ImageIndex, APipeIsReadThroughACopy) {
  // A disk larger than the reader's window, its bytes all told apart.
  Bytes area(0x50000);
  for (std::size_t i = 0; i < area.size(); ++i) area[i] = static_cast<std::uint8_t>(i % 251);
  const Bytes file = concat({build(named("A")), build(diskHolding(area, "B"))});
  TempDir dir;
  const std::string fifo = dir.file("image.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int before = openDescriptors();
  ASSERT_GE(before, 0);

  // A reader that stops short of the end makes the writer fail when the pipe
  // is closed, rather than kill the test or leave it waiting.
  std::signal(SIGPIPE, SIG_IGN);
  bool written = false;
  std::thread writer([&] {
    std::ofstream out(fifo, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    out.close();
    written = !out.fail();
  });
  D88Image image;
  const bool opened = image.open(fifo.c_str());
  const std::vector<std::string> names = indexedNames(image);
  Bytes loaded(area.size());
  const int read =
      image.selectDisk(1) ? image.readSectors(0, 0, 0, 1, 1, loaded.data(), static_cast<int>(loaded.size())) : 0;
  image.open(nullptr);
  writer.join();

  EXPECT_TRUE(opened);
  EXPECT_TRUE(written) << "the whole image is taken from the pipe at once";
  EXPECT_EQ(names, (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(read, static_cast<int>(area.size()));
  EXPECT_EQ(loaded, area);
  EXPECT_EQ(openDescriptors(), before) << "closing lets go of the pipe and of its copy";
}

TEST(SelectDisk, DecodesTheHeader) {
  struct Case {
    std::string storedName;
    std::string name;
    int mediaType;
  };
  const Case cases[] = {
      {"DISK", "DISK", 0x10},
      {"ABCDEFGHIJKLMNOP", "ABCDEFGHIJKLMNOP", 0x20},  // 16 non-zero bytes, still terminated
      {std::string("AB\0CD", 5), "AB", 0x00},          // cut at the first zero
      {"", "", 0xFF},                                  // the byte is unsigned
  };
  for (const Case& c : cases) {
    TempDir dir;
    Disk d = named(c.storedName);
    d.mediaType = c.mediaType;
    // Header bytes after the name must not leak into it.
    Bytes file = build(d);
    for (int i = 16; i < 0x1B; ++i) file[i] = 'X';
    D88Image image;
    ASSERT_TRUE(image.open(dir.put("image.d88", file).c_str()));
    EXPECT_EQ(image.mediaType(), -1) << "before any selection";
    ASSERT_TRUE(image.selectDisk(0));
    EXPECT_EQ(std::string(image.diskName()), c.name);
    EXPECT_EQ(image.mediaType(), c.mediaType);
    EXPECT_EQ(image.currentDisk(), 0);
  }
}

// Each selection decodes its disk's name whole: nothing of a longer name
// selected before may remain after a shorter one.
TEST(SelectDisk, NamesDoNotOutliveTheirDisk) {
  const std::string names[] = {"ABCDEFGHIJKLMNOP", "XY", "", "LONGER NAME", "Q"};
  std::vector<Bytes> parts;
  for (const std::string& n : names) parts.push_back(build(named(n)));
  TempDir dir;
  D88Image image;
  ASSERT_TRUE(image.open(dir.put("image.d88", concat(parts)).c_str()));
  for (int i : {0, 1, 2, 3, 4, 0, 4, 3, 1}) {
    ASSERT_TRUE(image.selectDisk(i));
    EXPECT_EQ(std::string(image.diskName()), names[i]) << "disk " << i;
  }
}

TEST(SelectDisk, ExposesSizeBaseAndTrackTable) {
  Disk first = named("A");
  Disk second;
  second.tracks = {standardTrack(0, Bytes(), 2), standardTrack(5, Bytes(), 1)};
  second.trackEntries[7] = 0x80000000u;  // kept as read: negative
  const Bytes a = build(first);
  const Bytes b = build(second);
  TempDir dir;
  D88Image image;
  ASSERT_TRUE(image.open(dir.put("image.d88", concat({a, b})).c_str()));
  EXPECT_EQ(image.diskBase(), 0) << "nothing selected after open";
  EXPECT_EQ(image.diskSize(), 0);

  ASSERT_TRUE(image.selectDisk(1));
  EXPECT_EQ(image.diskBase(), static_cast<int>(a.size()));
  EXPECT_EQ(image.diskSize(), static_cast<int>(b.size()));
  const int track5 = d88::kDiskHeaderLength + 2 * (d88::kSectorHeaderLength + 256);
  const std::pair<int, int> entries[] = {
      {0, d88::kDiskHeaderLength}, {1, 0}, {5, track5}, {7, INT32_MIN}, {163, 0}, {-1, 0}, {164, 0}};
  for (const auto& e : entries) EXPECT_EQ(image.trackOffset(e.first), e.second) << "track " << e.first;

  EXPECT_FALSE(image.selectDisk(2));
  EXPECT_EQ(image.diskBase(), -1);
  EXPECT_EQ(image.diskSize(), 0);
}

TEST(SelectDisk, FailuresClearTheSelection) {
  TempDir dir;
  Disk d = named("NAME");
  d.mediaType = 0x20;
  D88Image image;
  ASSERT_TRUE(image.open(dir.put("image.d88", concat({build(d), build(d)})).c_str()));
  for (int index : {-1, 2, 1000}) {
    ASSERT_TRUE(image.selectDisk(1));
    EXPECT_FALSE(image.selectDisk(index)) << index;
    EXPECT_EQ(image.currentDisk(), -1) << index;
    EXPECT_EQ(image.mediaType(), -1) << index;
    EXPECT_STREQ(image.diskName(), "") << index;
    std::uint8_t ids[8];
    EXPECT_EQ(image.readTrackIds(0, ids, sizeof ids), 0) << "size 0 after a failed selection";
  }
}

// A header that can no longer be read in full (the file shrank after it was
// opened) is not decoded: the selection fails and stays cleared.
TEST(SelectDisk, FailsOnAHeaderCutShortAfterOpen) {
  TempDir dir;
  Disk d = named("NAME");
  d.mediaType = 0x20;
  const Bytes one = build(d);
  const std::string path = dir.put("image.d88", concat({one, one}));
  D88Image image;
  ASSERT_TRUE(image.open(path.c_str()));
  ASSERT_EQ(image.diskCount(), 2);
  std::filesystem::resize_file(path, one.size() + 100);
  EXPECT_FALSE(image.selectDisk(1));
  EXPECT_EQ(image.mediaType(), -1);
  EXPECT_EQ(image.diskSize(), 0);
  EXPECT_STREQ(image.diskName(), "");
  EXPECT_TRUE(image.selectDisk(0));
}

// Two disks of 2^30 bytes put a third at 2^31, beyond what a disk offset
// holds: the walk ends there, even when the file goes on with a header.
TEST(ImageIndex, EndsAtAnOffsetOf2To31) {
  Disk first = named("A");
  first.withSize(0x40000000u);
  Disk second = named("B");
  second.withSize(0x40000000u);
  TempDir dir;
  const std::string path = dir.file("image.d88");
  ASSERT_TRUE(writePieces(path, {{0, build(first)}, {0x40000000u, build(second)}, {0x80000000u, build(named("C"))}}));
  D88Image image;
  ASSERT_TRUE(image.open(path.c_str()));
  EXPECT_EQ(indexedNames(image), (std::vector<std::string>{"A", "B"}));
}

}  // namespace
