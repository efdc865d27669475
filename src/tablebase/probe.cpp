#include "tablebase/probe.h"

#include "tablebase/block_cache.h"
#include "tablebase/descriptors.h"
#include "tablebase/index_tables.h"
#include "tablebase/registration.h"

int TablebaseMaxMen = 0;

namespace {

// kppkp with black to move in the table's view: positions whose value is fixed.
constexpr u32 KppkpFixedIndexes[7] = {0x362BC7C, 0x362DE44, 0x3637648, 0x3639810,
                                      0x38D4F29, 0x40A2CAB, 0x43C778C};
constexpr i32 KppkpId = 36;

}  // namespace

bool TableValueToScore(i32 value, i32 ply, i32* score) {
  if (value == 127) return false;
  if (value == 0) *score = 0;
  // A win takes an odd number of plies: 126 (mate with the next move) is 29999 - ply.
  else if (value > 0) *score = (value + 14873) * 2 + 1 - ply;
  else if (value >= -126) *score = ply + (value - 14874) * 2;
  else if (value == -127) *score = ply - 29748;
  else *score = 29746 - ply;
  return true;
}

bool TablebaseProbeWanted(const Board* board, bool useTablebases, i32 ply, i32 depth64,
                          i32 egtbDepth, bool parentCapturedOrPromoted) {
  if (!useTablebases) return false;
  if (ply != 1 && (depth64 < egtbDepth || !parentCapturedOrPromoted)) return false;
  return static_cast<i32>(board->pieceCount[0] + board->pieceCount[1]) <= TablebaseMaxMen;
}

u32 TablebaseEnPassantSquare(const Board* board) {
  const u32 ep = board->epSquare;
  if (ep >= NoSquare) return TbNoSquare;
  const u32 mover = SideToMove(board);
  // The pawn that advanced stands one rank past the square, seen from its own side.
  const u32 advanced = mover == White ? ep - 1 : ep + 1;
  const u8 ownPawn = static_cast<u8>(WhitePawn | mover);
  if (board->squares[advanced] != (ownPawn ^ 1)) return TbNoSquare;
  const u32 file = FileOf(advanced);
  if ((file > 0 && board->squares[advanced - 8] == ownPawn) ||
      (file < 7 && board->squares[advanced + 8] == ownPawn))
    return TbSquareMap[ep];
  return TbNoSquare;
}

bool ProbeTablebaseScore(const Board* board, i32 ply, i32* score) {
  TbPosition = board;
  u32 counts[TbTreeLevels];
  TbMaterialCounts(board, counts);
  i32 id = LookupPieceCountTree(counts);
  if (id == 0) return false;

  u32 white = White, black = Black;
  i32 invert = 0;
  i32 side = static_cast<i32>(SideToMove(board));
  if (id < 0) {
    id = -id;
    white = Black;
    black = White;
    invert = 1;
    side ^= 1;
  }
  const TablebaseDescriptor& row = TablebaseDescriptorTable[id];
  if (row.filePath[side].empty()) return false;

  const u32 index = row.indexFunction[side](&white, &black, TablebaseEnPassantSquare(board), invert);
  if (id == KppkpId && side == 1) {
    for (u32 fixed : KppkpFixedIndexes) {
      if (index == fixed) {
        *score = ply - 29746;
        return true;
      }
    }
  }
  // Past the table's end lie no values (and TbInvalidIndex lands here).
  if (index >= row.positions[side]) return false;

  const TablebaseCacheEntry* entry = FindTablebaseBlock(id, side, index);
  if (!entry) return false;
  const i32 value = static_cast<i8>(entry->data[index - entry->firstIndex]);
  return TableValueToScore(value, ply, score);
}
