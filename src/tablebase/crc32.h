// The checksum that guards the header block of a compressed tablebase file: reflected
// polynomial 0xEDB88320, register starting at 0, no final complement.
#pragma once

#include "board/types.h"

// 0 for a length of 0 or less.
u32 Crc32(const u8* data, i32 length);
