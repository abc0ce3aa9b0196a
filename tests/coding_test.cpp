#include "image/coding.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

struct Fixed16Case {
  std::uint8_t bytes[2];
  std::int32_t value;
};

TEST(Coding, Fixed16IsLittleEndian) {
  const Fixed16Case cases[] = {
      {{0x00, 0x00}, 0},     {{0x01, 0x00}, 1},      {{0x00, 0x01}, 256},
      {{0x34, 0x12}, 0x1234}, {{0xFF, 0xFF}, 65535},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(decodeFixed16(c.bytes), c.value) << int(c.bytes[0]) << "," << int(c.bytes[1]);
  }
}

struct Fixed32Case {
  std::uint8_t bytes[4];
  std::int32_t value;
};

TEST(Coding, Fixed32IsLittleEndianAndSigned) {
  const Fixed32Case cases[] = {
      {{0x01, 0x00, 0x00, 0x00}, 1},
      {{0x00, 0x00, 0x00, 0x01}, 1 << 24},
      {{0x78, 0x56, 0x34, 0x12}, 0x12345678},
      {{0xFF, 0xFF, 0xFF, 0x7F}, 0x7FFFFFFF},
      // 2^31 and more: negative, as the layout reads them.
      {{0x00, 0x00, 0x00, 0x80}, INT32_MIN},
      {{0x01, 0x00, 0x00, 0x80}, INT32_MIN + 1},
      {{0xFF, 0xFF, 0xFF, 0xFF}, -1},
      {{0x00, 0xFF, 0xFF, 0xFF}, -256},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(decodeFixed32(c.bytes), c.value)
        << std::hex << int(c.bytes[0]) << " " << int(c.bytes[1]) << " " << int(c.bytes[2]) << " "
        << int(c.bytes[3]);
  }
}

}  // namespace
