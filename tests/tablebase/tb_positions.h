// Test helpers for tablebase positions: a table's material read from its name, every legal
// placement of it (en passant included), board symmetries, and the probe's way from a board to
// (row, side, index) through the material tree. Written apart from the index construction so
// that the tests check one against the other.
#pragma once

#include <random>
#include <string>

#include "board/board.h"

// The men of a table besides the kings, White's first, each side strongest first.
struct TbMaterial {
  int count;
  u8 colour[3];  // table colour
  u8 type[3];    // pawn 0, knight 1, bishop 2, rook 3, queen 4
  bool pawns;
  bool enPassant;  // pawns on both sides
};

// Board squares (file-major) of a position in the table's colours.
struct TbPlacement {
  u8 king[2];  // table White's and table Black's king
  u8 man[3];   // in the order of TbMaterial
  u8 ep;       // board en-passant square, 64 when none
};

TbMaterial TbMaterialOfRow(int row);
int TbRowOfName(const std::string& name);

// Distinct squares, pawns off ranks 1 and 8, the side not to move not in check.
bool TbPlacementLegal(const TbMaterial& material, const TbPlacement& p, int side);
// Whether the side's men attack the square (kings included).
bool TbAttacks(const TbMaterial& material, const TbPlacement& p, int colour, u32 square);

// Fills the piece lists, squares, side to move and en-passant square of the board. reversed
// builds the colour-reversed image: colours exchanged, ranks mirrored, the other side to move.
// Like men go into their list in an order that changes with the kings' squares, since the
// index must not depend on it.
void TbLoadBoard(Board* board, const TbMaterial& material, const TbPlacement& p, int side,
                 bool reversed);

// The board symmetries 0-7 (bit 0 mirrors files, bit 1 ranks, bit 2 reflects in a1-h8).
TbPlacement TbTransform(const TbPlacement& p, int symmetry);
// A number for the position; the two men of a like pair are unordered. 31 bits up to four men.
u64 TbEncode(const TbMaterial& material, const TbPlacement& p);
// The smallest encoding over the images that a table must store on one index: the file
// mirror for pawn rows; for pawnless rows all eight, or only the four that keep the diagonals
// apart when both kings stand on one long diagonal.
u64 TbClassKey(const TbMaterial& material, const TbPlacement& p);
// Whether the symmetry must leave the index unchanged for this position.
bool TbSymmetryKeepsIndex(const TbMaterial& material, const TbPlacement& p, int symmetry);

// Enters every row in the material tree the way registration does (+id as named, -id with the
// colours exchanged), building the tree and the index tables first.
void TbEnterAllRowsInTree();

struct TbLookup {
  int row;
  int side;
  u32 index;
};
// What the probe does before reading a table: material tree, colour exchange for a negative
// id, the en-passant square when a pawn of the side to move stands beside the pawn that has
// just made its double step, and the row's index function. False when no row holds the material.
bool TbLookupBoard(const Board* board, TbLookup* out);

// Calls f(placement) for every legal position of the row side, first without en passant, then
// (rows with pawns on both sides) every position in which the side to move can capture en
// passant. kingS/kingO fix the kings of the side to move and of the other side (board squares,
// -1 = all).
template <typename F>
void TbForEachPosition(const TbMaterial& m, int side, F&& f, int kingS = -1, int kingO = -1);

// A random legal position of the row side; with en passant roughly one time in four where the
// row allows it.
TbPlacement TbRandomPosition(const TbMaterial& m, int side, std::mt19937_64& rng);

// ---------------------------------------------------------------------------------------------

inline bool TbSquareFitsMan(u32 square, u8 type) {
  return type != 0 || ((square & 7) != 0 && (square & 7) != 7);
}

// The square behind a pawn of the other side that has just made its double step, when a pawn
// of the side to move stands beside it and the two squares it passed are free; 64 otherwise.
u32 TbEnPassantFor(const TbMaterial& m, const TbPlacement& p, int side, int pawnIndex);

template <typename F>
void TbForEachPosition(const TbMaterial& m, int side, F&& f, int kingS, int kingO) {
  TbPlacement p{};
  p.ep = 64;
  auto visitMen = [&](auto&& self, int i) -> void {
    if (i >= m.count || i >= 3) {
      if (!TbPlacementLegal(m, p, side)) return;
      f(static_cast<const TbPlacement&>(p));
      if (!m.enPassant) return;
      for (int j = 0; j < m.count; ++j) {
        u32 ep = TbEnPassantFor(m, p, side, j);
        if (ep == 64) continue;
        TbPlacement q = p;
        q.ep = static_cast<u8>(ep);
        f(static_cast<const TbPlacement&>(q));
      }
      return;
    }
    bool like = i > 0 && m.colour[i] == m.colour[i - 1] && m.type[i] == m.type[i - 1];
    for (u32 s = like ? p.man[i - 1] + 1u : 0u; s < 64; ++s) {
      if (!TbSquareFitsMan(s, m.type[i])) continue;
      if (s == p.king[0] || s == p.king[1]) continue;
      bool taken = false;
      for (int j = 0; j < i; ++j) taken |= p.man[j] == s;
      if (taken) continue;
      p.man[i] = static_cast<u8>(s);
      self(self, i + 1);
    }
  };
  for (u32 ks = 0; ks < 64; ++ks) {
    if (kingS >= 0 && ks != static_cast<u32>(kingS)) continue;
    for (u32 ko = 0; ko < 64; ++ko) {
      if (kingO >= 0 && ko != static_cast<u32>(kingO)) continue;
      if (ks == ko) continue;
      p.king[side] = static_cast<u8>(ks);
      p.king[1 - side] = static_cast<u8>(ko);
      visitMen(visitMen, 0);
    }
  }
}
