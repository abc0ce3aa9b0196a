// cutRegion: a fixed slice of a sector run written to a named file.
#include <gtest/gtest.h>

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

}  // namespace
