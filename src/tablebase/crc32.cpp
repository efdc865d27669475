#include "tablebase/crc32.h"

#include <array>

namespace {

// Fixed data, so it is built by the compiler rather than on first use.
constexpr std::array<u32, 256> BuildCrc32Table() {
  std::array<u32, 256> table{};
  for (u32 i = 0; i < 256; ++i) {
    u32 r = i;
    for (int bit = 0; bit < 8; ++bit) r = (r & 1) ? (r >> 1) ^ 0xEDB88320u : r >> 1;
    table[i] = r;
  }
  return table;
}

constexpr std::array<u32, 256> Crc32Table = BuildCrc32Table();

}  // namespace

u32 Crc32(const u8* data, i32 length) {
  u32 r = 0;
  for (i32 i = 0; i < length; ++i) r = Crc32Table[(r ^ data[i]) & 0xFF] ^ (r >> 8);
  return r;
}
