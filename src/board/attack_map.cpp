// The incremental attack map and the two square tables its readers use.
#include "board/attack_map.h"

#include <bit>
#include <mutex>

#include "board/rays.h"

u8 RaySquare[64][64];
u8 SquareRelation[64][64];

namespace {

// Steps from a square to the board's edge in each direction: the bound of every ray walk.
u8 StepsToEdge[64][8];
// The squares a knight or a king on the square attacks.
u64 KnightTargets[64];
u64 KingTargets[64];

// Bit d set for every direction d the slider moves in: bishop, rook, queen.
constexpr u32 SliderDirections[3] = {0xaa, 0x55, 0xff};

std::once_flag squareTablesBuilt;

void BuildTables() {
  for (u32 s = 0; s < 64; ++s) {
    i32 file = FileOf(s), rank = RankOf(s);
    for (u32 d = 0; d < 8; ++d) {
      for (i32 n = 0; n < 8; ++n)
        RaySquare[s][d * 8 + n] =
            static_cast<u8>((file + KingStepFile[d] * n) * 8 + (rank + KingStepRank[d] * n));
      // The 0x88 test on rank * 16 + file decides where the ray leaves the board.
      u8 steps = 0;
      for (i32 n = 1; n < 8; ++n) {
        i32 index = (file + KingStepFile[d] * n) + 16 * (rank + KingStepRank[d] * n);
        if (index & 0x88) break;
        steps = static_cast<u8>(n);
      }
      StepsToEdge[s][d] = steps;
    }
  }
  for (u32 a = 0; a < 64; ++a) {
    for (u32 b = 0; b < 64; ++b) SquareRelation[a][b] = 0;
    for (u32 d = 0; d < 8; ++d)
      for (u32 n = 1; n <= StepsToEdge[a][d]; ++n)
        SquareRelation[a][RaySquare[a][d * 8 + n]] = static_cast<u8>(1 | (d << 2) | (n << 5));
    KnightTargets[a] = KingTargets[a] = 0;
    for (int i = 0; i < 8; ++i) {
      i32 file = FileOf(a) + KnightStepFile[i], rank = RankOf(a) + KnightStepRank[i];
      if (file >= 0 && file < 8 && rank >= 0 && rank < 8) {
        SquareRelation[a][MakeSquare(file, rank)] = 2;
        KnightTargets[a] |= u64{1} << MakeSquare(file, rank);
      }
      if (StepsToEdge[a][i] > 0) KingTargets[a] |= u64{1} << RaySquare[a][i * 8 + 1];
    }
  }
}

// The walks below collect the attacked bits they set or clear and write them once at the end,
// and step along rays by square offsets rather than through the ray lists: the next square
// does not wait for the load of the last one.

inline u64 Bit(u32 square) { return u64{1} << square; }
// The bit of the square when its word has just become 0.
inline u64 EmptiedBit(AttackWord word, u32 square) { return word == 0 ? Bit(square) : 0; }

// Target squares of a pawn's captures; -1 when off the board.
inline void PawnTargets(u8 piece, u32 square, i32* lower, i32* higher) {
  i32 rankStep = ColourOf(piece) == White ? 1 : -1;
  i32 target = static_cast<i32>(square) + rankStep;
  *lower = FileOf(square) > 0 ? target - 8 : -1;
  *higher = FileOf(square) < 7 ? target + 8 : -1;
}

}  // namespace

void BuildSquareTables() { std::call_once(squareTablesBuilt, BuildTables); }

void PlacePieceAttacks(AttackMap* map, u8 piece, u32 square) {
  const u8* squares = map->board->squares;
  // A piece on the square now stops every ray that ran through it.
  for (u32 k = 0; k < 2; ++k) {
    u64 emptied = 0;
    AttackWord sliders = map->words[square][k] & SliderFieldsMask;
    for (u32 i = 0; sliders; ++i, sliders >>= 3) {
      if ((sliders & 7) == 0) continue;
      u32 away = (i + 4) & 7;
      i32 offset = DirectionOffset[away];
      u32 t = square;
      for (u32 n = StepsToEdge[square][away]; n; --n) {
        t += offset;
        AttackWord& word = map->words[t][k];
        word &= ~(7u << (3 * i));
        emptied |= EmptiedBit(word, t);
        if (squares[t] != Empty) break;
      }
    }
    map->attacked[k] &= ~emptied;
  }

  u32 c = ColourOf(piece);
  u64 reached = 0;
  switch (piece) {
    case WhiteKing:
    case BlackKing:
      reached = KingTargets[square];
      for (u64 b = reached; b; b &= b - 1) map->words[std::countr_zero(b)][c] |= KingAttackBit;
      break;
    case WhiteKnight:
    case BlackKnight:
      reached = KnightTargets[square];
      for (u64 b = reached; b; b &= b - 1) map->words[std::countr_zero(b)][c] += KnightAttackUnit;
      break;
    case WhitePawn:
    case BlackPawn: {
      i32 lower, higher;
      PawnTargets(piece, square, &lower, &higher);
      if (lower >= 0) {
        map->words[lower][c] |= PawnAttackLowerBit;
        reached |= Bit(lower);
      }
      if (higher >= 0) {
        map->words[higher][c] |= PawnAttackHigherBit;
        reached |= Bit(higher);
      }
      break;
    }
    case Empty:
      break;
    default:
      for (u32 directions = SliderDirections[TypeOf(piece) - TypeOf(WhiteBishop)]; directions;
           directions &= directions - 1) {
        const u32 d = static_cast<u32>(std::countr_zero(directions));
        const u32 shift = 3 * ((d + 4) & 7);
        const i32 offset = DirectionOffset[d];
        u32 t = square;
        for (u32 n = 1; n <= StepsToEdge[square][d]; ++n) {
          t += offset;
          AttackWord& word = map->words[t][c];
          word = (word & ~(7u << shift)) | (n << shift);
          reached |= Bit(t);
          if (squares[t] != Empty) break;
        }
      }
      break;
  }
  map->attacked[c] |= reached;
}

void RemovePieceAttacks(AttackMap* map, u8 piece, u32 square) {
  const u8* squares = map->board->squares;
  u32 c = ColourOf(piece);
  u64 emptied = 0;
  switch (piece) {
    case WhiteKing:
    case BlackKing:
      for (u64 b = KingTargets[square]; b; b &= b - 1) {
        const u32 t = static_cast<u32>(std::countr_zero(b));
        emptied |= EmptiedBit(map->words[t][c] &= ~KingAttackBit, t);
      }
      break;
    case WhiteKnight:
    case BlackKnight:
      for (u64 b = KnightTargets[square]; b; b &= b - 1) {
        const u32 t = static_cast<u32>(std::countr_zero(b));
        emptied |= EmptiedBit(map->words[t][c] -= KnightAttackUnit, t);
      }
      break;
    case WhitePawn:
    case BlackPawn: {
      i32 lower, higher;
      PawnTargets(piece, square, &lower, &higher);
      if (lower >= 0) emptied |= EmptiedBit(map->words[lower][c] &= ~PawnAttackLowerBit, lower);
      if (higher >= 0) emptied |= EmptiedBit(map->words[higher][c] &= ~PawnAttackHigherBit, higher);
      break;
    }
    case Empty:
      break;
    default:
      for (u32 directions = SliderDirections[TypeOf(piece) - TypeOf(WhiteBishop)]; directions;
           directions &= directions - 1) {
        const u32 d = static_cast<u32>(std::countr_zero(directions));
        const AttackWord field = 7u << (3 * ((d + 4) & 7));
        const i32 offset = DirectionOffset[d];
        u32 t = square;
        for (u32 n = StepsToEdge[square][d]; n; --n) {
          t += offset;
          emptied |= EmptiedBit(map->words[t][c] &= ~field, t);
          if (squares[t] != Empty) break;
        }
      }
      break;
  }
  map->attacked[c] &= ~emptied;

  // Rays that stopped on the square now run on past it.
  for (u32 k = 0; k < 2; ++k) {
    u64 reached = 0;
    AttackWord sliders = map->words[square][k] & SliderFieldsMask;
    for (u32 i = 0; sliders; ++i, sliders >>= 3) {
      u32 distance = sliders & 7;
      if (distance == 0) continue;
      u32 away = (i + 4) & 7;
      i32 offset = DirectionOffset[away];
      u32 t = square;
      for (u32 n = StepsToEdge[square][away]; n; --n) {
        t += offset;
        ++distance;
        map->words[t][k] = (map->words[t][k] & ~(7u << (3 * i))) | (distance << (3 * i));
        reached |= Bit(t);
        if (squares[t] != Empty) break;
      }
    }
    map->attacked[k] |= reached;
  }
}

void BuildAttackMap(Board* board) {
  AttackMap* map = &board->attacks;
  const u8* squares = board->squares;
  for (auto& word : map->words) word[0] = word[1] = 0;
  map->attacked[0] = map->attacked[1] = 0;
  for (u32 s = 0; s < 64; ++s) {
    AttackWord* words = map->words[s];
    // Nearest piece on each ray: a slider of the matching kind attacks s from there.
    auto scan = [&](const RayNode* node, u32 kind) {
      while (node) {
        u8 piece = squares[node->to];
        if (piece == Empty) {
          node = node->nextIfEmpty;
          continue;
        }
        if (TypeOf(piece) == kind || TypeOf(piece) == TypeOf(WhiteQueen))
          words[ColourOf(piece)] |= node->distance << (3 * node->tag);
        node = node->nextRay;
      }
    };
    scan(RookRays[s], TypeOf(WhiteRook));
    scan(BishopRays[s], TypeOf(WhiteBishop));
    for (const RayNode* node = KingRays[s]; node; node = node->nextRay)
      if (TypeOf(squares[node->to]) == TypeOf(WhiteKing))
        words[ColourOf(squares[node->to])] |= KingAttackBit;
    for (const RayNode* node = KnightRays[s]; node; node = node->nextRay)
      if (squares[node->to] == WhiteKnight || squares[node->to] == BlackKnight)
        words[ColourOf(squares[node->to])] += KnightAttackUnit;
    u32 file = FileOf(s), rank = RankOf(s);
    if (rank > 0) {
      if (file > 0 && squares[s - 9] == WhitePawn) words[White] |= PawnAttackHigherBit;
      if (file < 7 && squares[s + 7] == WhitePawn) words[White] |= PawnAttackLowerBit;
    }
    if (rank < 7) {
      if (file > 0 && squares[s - 7] == BlackPawn) words[Black] |= PawnAttackHigherBit;
      if (file < 7 && squares[s + 9] == BlackPawn) words[Black] |= PawnAttackLowerBit;
    }
    for (u32 c = 0; c < 2; ++c)
      if (words[c]) map->attacked[c] |= SquareBit[s];
  }
}
