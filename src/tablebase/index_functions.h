// The 220 tablebase index functions, two per table row (white to move, black to move), all
// generated from one construction driven by the row's material. They read the tables of
// index_tables.h, so BuildTbIndexTables must have run first (InitTablebases does it).
#pragma once

#include "tablebase/descriptors.h"

#define TB_DECLARE_INDEX_FUNCTIONS(id, name, wtm, btm)                          \
  u32 Index_##name##_wtm(u32* whiteColour, u32* blackColour, u32 epSquare, i32 invert); \
  u32 Index_##name##_btm(u32* whiteColour, u32* blackColour, u32 epSquare, i32 invert);
TB_TABLE_ROWS(TB_DECLARE_INDEX_FUNCTIONS)
#undef TB_DECLARE_INDEX_FUNCTIONS

// The number of index values of a row side: the inner offset total times the outer
// multiplier, plus the en-passant block. The row's position count is at most this; the
// difference is trailing values that only impossible positions would use.
u64 TbIndexRange(int row, int side);
