// The descriptor rows and the piece-count tree.
#include "tablebase/descriptors.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tablebase/index_functions.h"

#define TB_DESCRIPTOR_ROW(id, name, wtm, btm) \
  {id, {Index_##name##_wtm, Index_##name##_btm}, #name, {wtm, btm}, {}, {}, {}, {}},
TablebaseDescriptor TablebaseDescriptorTable[TbRowCount] = {
    {0, {nullptr, nullptr}, "kk", {0, 0}, {}, {}, {}, {}},
    TB_TABLE_ROWS(TB_DESCRIPTOR_ROW)
};
#undef TB_DESCRIPTOR_ROW

const Board* TbPosition = nullptr;

u64 PieceCountTreeRoot[5] = {3, 0, 0, 0, 0};

static u64* AllocTreeSlots(size_t count) {
  size_t bytes = count * sizeof(u64);
  u64* slots = static_cast<u64*>(std::calloc(count, sizeof(u64)));
  if (slots == nullptr) {
    std::printf("*** Cannot allocate %ld bytes of memory\n", static_cast<long>(bytes));
    std::exit(1);
  }
  return slots;
}

static void FillTreeNode(u64* node, u32 maximum, u32 levels) {
  node[0] = maximum;
  for (u32 c = 0; c <= maximum; ++c)
    node[1 + c] = levels > 0 ? reinterpret_cast<u64>(AllocArray(maximum - c, levels - 1)) : 0;
}

u64* AllocArray(u32 maximum, u32 levels) {
  u64* node = AllocTreeSlots(maximum + 2);
  FillTreeNode(node, maximum, levels);
  return node;
}

void BuildPieceCountTree() {
  static const bool built = [] {
    FillTreeNode(PieceCountTreeRoot, 3, TbTreeLevels - 1);
    return true;
  }();
  (void)built;
}

u64* PieceCountTreeSlot(const u32 counts[TbTreeLevels]) {
  u64* node = PieceCountTreeRoot;
  for (int level = 0; level < TbTreeLevels; ++level) {
    u32 c = counts[level];
    if (c > node[0]) return nullptr;
    if (level == TbTreeLevels - 1) return &node[1 + c];
    node = reinterpret_cast<u64*>(node[1 + c]);
    if (node == nullptr) return nullptr;  // the tree is not built yet
  }
  return nullptr;
}

i32 LookupPieceCountTree(const u32 counts[TbTreeLevels]) {
  const u64* slot = PieceCountTreeSlot(counts);
  return slot == nullptr ? 0 : PieceCountTreeId(*slot);
}

void TbMaterialCounts(const Board* board, u32 counts[TbTreeLevels]) {
  for (int colour = 0; colour < 2; ++colour)
    for (int type = 0; type < 5; ++type)
      counts[colour * 5 + type] = board->pieceLists[2 * type + colour].count;
}
