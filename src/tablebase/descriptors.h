// The rows of the tablebase descriptor table (one per table, with its index functions and
// position counts) and the piece-count tree that maps a position's material to a row.
#pragma once

#include <cstdio>
#include <string>

#include "board/board.h"

// The file of one table side maps position i to byte i. The function reads the position from
// TbPosition. whiteColour/blackColour: the board colour (0 white, 1 black) of the table's White
// and Black. epSquare: the en-passant square in table numbering (TbSquareMap of the board's
// square), TbNoSquare when no capture is possible; only rows with pawns on both sides use it.
// invert: 1 when the table's White is Black on the board (the tree gave a negative id), else 0.
using TablebaseIndexFunction = u32 (*)(u32* whiteColour, u32* blackColour, u32 epSquare,
                                       i32 invert);

// Returned by an index function for a position it cannot number (an empty piece list, or
// kings that no table square pair can hold); always at or beyond the side's position count.
constexpr u32 TbInvalidIndex = 0xFFFFFFFFu;

struct CompressedTableInfo;
struct TablebaseCacheEntry;

struct TablebaseDescriptor {
  i64 id;
  TablebaseIndexFunction indexFunction[2];  // [0] white to move, [1] black to move
  char name[8];
  u32 positions[2];                        // per side to move: the file length in bytes
  std::string filePath[2];                 // the registered file; empty = not registered
  FILE* file[2];                           // opened by the probe on first use
  CompressedTableInfo* decoder[2];         // null for a plain file
  TablebaseCacheEntry** cacheBuckets[2];   // 32 bucket heads of the block cache
};

constexpr int TbRowCount = 111;  // row 0 is the empty "kk"
extern TablebaseDescriptor TablebaseDescriptorTable[TbRowCount];

// The position the index functions read; the probe sets it before each call.
extern const Board* TbPosition;

// Every table: id, name, positions with white to move, positions with black to move.
// The names list the men strongest first (q, r, b, n, p); White holds the more men, or with
// one each the stronger or equal one.
#define TB_TABLE_ROWS(X) \
  X(1, kpk, 81664, 84012) \
  X(2, knk, 26282, 28644) \
  X(3, kbk, 27243, 28644) \
  X(4, krk, 27030, 28644) \
  X(5, kqk, 25629, 28644) \
  X(6, kpkp, 3863492, 3863492) \
  X(7, knkp, 4931904, 4981504) \
  X(8, knkn, 1603202, 1603202) \
  X(9, kbkp, 5112000, 4981504) \
  X(10, kbkn, 1661823, 1603202) \
  X(11, kbkb, 1661823, 1661823) \
  X(12, krkp, 5072736, 4981504) \
  X(13, krkn, 1649196, 1603202) \
  X(14, krkb, 1649196, 1661823) \
  X(15, krkr, 1649196, 1649196) \
  X(16, kqkp, 4810080, 4981504) \
  X(17, kqkn, 1563735, 1603202) \
  X(18, kqkb, 1563735, 1661823) \
  X(19, kqkr, 1563735, 1649196) \
  X(20, kqkq, 1563735, 1563735) \
  X(21, kppk, 1806671, 1912372) \
  X(22, knpk, 4648581, 5124732) \
  X(23, knnk, 735304, 873642) \
  X(24, kbpk, 4817128, 5124732) \
  X(25, kbnk, 1550620, 1747284) \
  X(26, kbbk, 789885, 873642) \
  X(27, krpk, 4779530, 5124732) \
  X(28, krnk, 1538479, 1747284) \
  X(29, krbk, 1594560, 1747284) \
  X(30, krrk, 777300, 873642) \
  X(31, kqpk, 4533490, 5124732) \
  X(32, kqnk, 1459616, 1747284) \
  X(33, kqbk, 1512507, 1747284) \
  X(34, kqrk, 1500276, 1747284) \
  X(35, kqqk, 698739, 873642) \
  X(36, kppkp, 84219361, 89391280) \
  X(37, kppkn, 108400260, 115899744) \
  X(38, kppkb, 108400260, 120132000) \
  X(39, kppkr, 108400260, 119209296) \
  X(40, kppkq, 108400260, 113036880) \
  X(41, knpkp, 219921779, 231758952) \
  X(42, knpkn, 278914860, 295914240) \
  X(43, knpkb, 278914860, 306720000) \
  X(44, knpkr, 278914860, 304369920) \
  X(45, knpkq, 278914860, 288610560) \
  X(46, knnkp, 137991648, 149445120) \
  X(47, knnkn, 44118240, 48096060) \
  X(48, knnkb, 44118240, 49854690) \
  X(49, knnkr, 44118240, 49475880) \
  X(50, knnkq, 44118240, 46912050) \
  X(51, kbpkp, 227896016, 231758952) \
  X(52, kbpkn, 289027680, 295914240) \
  X(53, kbpkb, 289027680, 306720000) \
  X(54, kbpkr, 289027680, 304369920) \
  X(55, kbpkq, 289027680, 288610560) \
  X(56, kbnkp, 290989584, 298890240) \
  X(57, kbnkn, 93037200, 96192120) \
  X(58, kbnkb, 93037200, 99709380) \
  X(59, kbnkr, 93037200, 98951760) \
  X(60, kbnkq, 93037200, 93824100) \
  X(61, kbbkp, 148223520, 149445120) \
  X(62, kbbkn, 47393100, 48096060) \
  X(63, kbbkb, 47393100, 49854690) \
  X(64, kbbkr, 47393100, 49475880) \
  X(65, kbbkq, 47393100, 46912050) \
  X(66, krpkp, 226121876, 231758952) \
  X(67, krpkn, 286777440, 295914240) \
  X(68, krpkb, 286777440, 306720000) \
  X(69, krpkr, 286777440, 304369920) \
  X(70, krpkq, 286777440, 288610560) \
  X(71, krnkp, 288692928, 298890240) \
  X(72, krnkn, 92308740, 96192120) \
  X(73, krnkb, 92308740, 99709380) \
  X(74, krnkr, 92308740, 98951760) \
  X(75, krnkq, 92308740, 93824100) \
  X(76, krbkp, 299203200, 298890240) \
  X(77, krbkn, 95673600, 96192120) \
  X(78, krbkb, 95673600, 99709380) \
  X(79, krbkr, 95673600, 98951760) \
  X(80, krbkq, 95673600, 93824100) \
  X(81, krrkp, 145901232, 149445120) \
  X(82, krrkn, 46658340, 48096060) \
  X(83, krrkb, 46658340, 49854690) \
  X(84, krrkr, 46658340, 49475880) \
  X(85, krrkq, 46658340, 46912050) \
  X(86, kqpkp, 214481388, 231758952) \
  X(87, kqpkn, 272015040, 295914240) \
  X(88, kqpkb, 272015040, 306720000) \
  X(89, kqpkr, 272015040, 304369920) \
  X(90, kqpkq, 272015040, 288610560) \
  X(91, kqnkp, 273904512, 298890240) \
  X(92, kqnkn, 87576960, 96192120) \
  X(93, kqnkb, 87576960, 99709380) \
  X(94, kqnkr, 87576960, 98951760) \
  X(95, kqnkq, 87576960, 93824100) \
  X(96, kqbkp, 283818240, 298890240) \
  X(97, kqbkn, 90750420, 96192120) \
  X(98, kqbkb, 90750420, 99709380) \
  X(99, kqbkr, 90750420, 98951760) \
  X(100, kqbkq, 90750420, 93824100) \
  X(101, kqrkp, 281568240, 298890240) \
  X(102, kqrkn, 90038460, 96192120) \
  X(103, kqrkb, 90038460, 99709380) \
  X(104, kqrkr, 90038460, 98951760) \
  X(105, kqrkq, 90038460, 93824100) \
  X(106, kqqkp, 131170128, 149445120) \
  X(107, kqqkn, 41944320, 48096060) \
  X(108, kqqkb, 41944320, 49854690) \
  X(109, kqqkr, 41944320, 49475880) \
  X(110, kqqkq, 41944320, 46912050)

// Piece-count tree: ten levels (white P, N, B, R, Q, then black P, N, B, R, Q). A node is an
// array of 64-bit slots: slot 0 its maximum count m, slots 1..m+1 the counts 0..m. Upper
// levels hold child nodes of maximum m - c; the tenth level holds a signed row id in the low
// 32 bits: +id the table as it stands, -id the table with the colours exchanged, 0 none.
constexpr int TbTreeLevels = 10;
extern u64 PieceCountTreeRoot[5];  // maximum 3: up to three men besides the kings

// A new node of maximum m with `levels` levels of children below it (leaves zeroed when 0).
// Out of memory: prints the Cannot allocate message and ends the process with status 1.
u64* AllocArray(u32 maximum, u32 levels);
// Allocates the nine levels below the root; only the first call does work.
void BuildPieceCountTree();
// The tenth-level slot of the material, or null when a count passes a node's maximum.
u64* PieceCountTreeSlot(const u32 counts[TbTreeLevels]);
// The signed row id of the material, 0 when there is none.
i32 LookupPieceCountTree(const u32 counts[TbTreeLevels]);
inline i32 PieceCountTreeId(u64 slot) { return static_cast<i32>(static_cast<u32>(slot)); }
inline u64 PieceCountTreeValue(i32 id) { return static_cast<u32>(id); }
// The ten counts of the board's men (kings not counted), in tree order.
void TbMaterialCounts(const Board* board, u32 counts[TbTreeLevels]);
