// Little-endian integer decoding, independent of the host's byte order.
#ifndef MIVOR_IMAGE_CODING_H
#define MIVOR_IMAGE_CODING_H

#include <cstdint>

// Decodes the 16-bit little-endian value at p (0 to 65535).
inline std::int32_t decodeFixed16(const std::uint8_t* p) {
  return static_cast<std::int32_t>(p[0]) | (static_cast<std::int32_t>(p[1]) << 8);
}

// Decodes the 32-bit little-endian value at p as a signed value: a field of
// 2^31 or more comes out negative, which is how the image layout treats it.
inline std::int32_t decodeFixed32(const std::uint8_t* p) {
  const std::uint32_t u = static_cast<std::uint32_t>(p[0]) |
                          (static_cast<std::uint32_t>(p[1]) << 8) |
                          (static_cast<std::uint32_t>(p[2]) << 16) |
                          (static_cast<std::uint32_t>(p[3]) << 24);
  // Two's-complement reinterpretation without relying on an
  // implementation-defined unsigned-to-signed conversion.
  return u <= 0x7FFFFFFFu ? static_cast<std::int32_t>(u)
                          : -static_cast<std::int32_t>(~u) - 1;
}

#endif  // MIVOR_IMAGE_CODING_H
