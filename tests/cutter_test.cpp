// cutRegion: a fixed slice of a sector run written to a named file.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "cutter/cutter.h"
#include "tests/d88_builder.h"
#include "tests/tool_runner.h"

using namespace d88test;

namespace {

TEST(CutRegion, WritesASliceOfARun) {
  Bytes area(4 * 4096);
  for (std::size_t i = 0; i < area.size(); ++i) area[i] = static_cast<std::uint8_t>(i * 31 + i / 256);
  TempDir dir;
  ASSERT_TRUE(g_image.open(dir.put("image.d88", build(diskHolding(area))).c_str()));
  ASSERT_TRUE(g_image.selectDisk(0));
  g_image.setSectorRange(1, 16);

  struct Case {
    const char* name;
    int track, c, h, r, skip, length;
    std::size_t from;  // where the slice starts in the disk's run
  };
  const Case cases[] = {
      {"FROM0", 0, 0, 0, 1, 0x300, 0x500, 0x300},
      {"SIDE1", 1, 0, 1, 1, 0, 4096, 4096},
      {"ACROSS", 1, 0, 1, 16, 0x80, 0x1000, 4096 + 15 * 256 + 0x80},
  };
  for (const Case& c : cases) {
    const std::string path = dir.file(c.name);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(cutRegion(path.c_str(), c.track, c.c, c.h, c.r, 1, c.skip, c.length));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "cutting ... " + path + "\n");
    EXPECT_EQ(readFile(path), Bytes(area.begin() + static_cast<std::ptrdiff_t>(c.from),
                                    area.begin() + static_cast<std::ptrdiff_t>(c.from) + c.length))
        << c.name;
  }
  g_image.open(nullptr);
}

// A long name's temporary file lies beside it under the whole name: were the
// temporary name cut short, it would fall on one of the directories named
// like the beginnings of the name, and the write would fail or land there.
TEST(CutRegion, WritesALongNameThroughATemporaryFileBesideIt) {
  Bytes area(4096);
  for (std::size_t i = 0; i < area.size(); ++i) area[i] = static_cast<std::uint8_t>(i * 7 + 1);
  TempDir dir;
  ASSERT_TRUE(g_image.open(dir.put("image.d88", build(diskHolding(area))).c_str()));
  ASSERT_TRUE(g_image.selectDisk(0));
  g_image.setSectorRange(1, 16);
  std::string name;
  for (int i = 0; i < 200; ++i) name += static_cast<char>('A' + i % 26);
  for (std::size_t k = 1; k < name.size(); ++k) std::filesystem::create_directory(dir.path() / name.substr(0, k));

  const std::filesystem::path home = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  cutRegion(name.c_str(), 0, 0, 0, 1, 1, 0x100, 0x200);
  const std::string err = testing::internal::GetCapturedStderr();
  testing::internal::GetCapturedStdout();
  std::filesystem::current_path(home);
  g_image.open(nullptr);

  EXPECT_EQ(err, "");
  EXPECT_EQ(readFile(dir.file(name)), Bytes(area.begin() + 0x100, area.begin() + 0x300));
  EXPECT_EQ(dir.files(), (std::vector<std::string>{name, "image.d88"}));
}

// A slice longer than stdio's buffer is written as it is handed over, so a
// file-size limit makes fwrite itself come up short, while the close that
// follows succeeds: that failure must be reported all the same, and leave
// an earlier file of the name as it was.
TEST(CutRegion, ReportsAWriteCutShort) {
  Bytes area(8 * 4096);
  for (std::size_t i = 0; i < area.size(); ++i) area[i] = static_cast<std::uint8_t>(i * 13 + 5);
  TempDir dir;
  ASSERT_TRUE(g_image.open(dir.put("image.d88", build(diskHolding(area))).c_str()));
  ASSERT_TRUE(g_image.selectDisk(0));
  g_image.setSectorRange(1, 16);
  const std::string path = dir.file("SLICE");
  const Bytes earlier(100, 'e');
  writeFile(path, earlier);

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit limited = saved;
  limited.rlim_cur = 16384;
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  cutRegion(path.c_str(), 0, 0, 0, 1, 1, 0, 0x8000);
  const std::string err = testing::internal::GetCapturedStderr();
  testing::internal::GetCapturedStdout();
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  g_image.open(nullptr);

  EXPECT_EQ(err, "cannot write " + path + "\n");
  EXPECT_EQ(readFile(path), earlier);
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"SLICE", "image.d88"}));
}

}  // namespace
