#ifndef BOARD_INT32_H_
#define BOARD_INT32_H_

// The board file's integers: signed 32-bit, little-endian, two's complement,
// whatever the host's byte order. The library's own; not installed.

#include <cstdint>

namespace boards {

inline void putint32(unsigned char* out, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  out[0] = static_cast<unsigned char>(bits);
  out[1] = static_cast<unsigned char>(bits >> 8);
  out[2] = static_cast<unsigned char>(bits >> 16);
  out[3] = static_cast<unsigned char>(bits >> 24);
}

inline std::int32_t getint32(const unsigned char* in) {
  const std::uint32_t bits = std::uint32_t{in[0]} | std::uint32_t{in[1]} << 8 |
                             std::uint32_t{in[2]} << 16 |
                             std::uint32_t{in[3]} << 24;
  return static_cast<std::int32_t>(bits);
}

}  // namespace boards

#endif  // BOARD_INT32_H_
