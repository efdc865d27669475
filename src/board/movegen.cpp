// Legal move generation. Legality comes from the attack map without making moves: a pin test
// keeps pinned pieces on their line, king moves need unattacked squares, en passant has its own
// discovery tests, and evasions are built from the checking piece's ray. The append order is
// part of the contract (the search's ordering ties and the SAN parsers see it).
#include "board/movegen.h"

#include "board/attack_map.h"
#include "board/rays.h"

namespace {

constexpr u32 B1 = 8, C1 = 16, D1 = 24, E1 = 32, F1 = 40, G1 = 48;
constexpr u32 B8 = 15, C8 = 23, D8 = 31, E8 = 39, F8 = 47, G8 = 55;

constexpr u32 Quiet = NoPromotion << 12;

inline bool IsColour(u8 piece, u32 colour) { return piece != Empty && ColourOf(piece) == colour; }

// Every square strictly between `from` and the square n steps away in direction d is empty.
inline bool EmptyBetween(const Board* board, u32 from, u32 d, u32 n) {
  for (u32 j = 1; j < n; ++j)
    if (board->squares[RaySquare[from][d * 8 + j]] != Empty) return false;
  return true;
}

// The line a piece on `from` is pinned to: 0 when it may move anywhere, otherwise the kind and
// axis bits of SquareRelation that its moves must keep.
inline u32 PinLine(const Board* board, u32 king, u32 from, u32 opponent) {
  AttackWord word = board->attacks.words[from][opponent];
  if ((word & SliderFieldsMask) == 0) return 0;
  u32 relation = SquareRelation[king][from];
  if ((relation & 3) != 1) return 0;
  u32 d = (relation >> 2) & 7;
  if (SliderField(word, d) == 0) return 0;
  if (!EmptyBetween(board, king, d, relation >> 5)) return 0;
  return relation & 15;
}

inline bool LeavesLine(u32 pin, u32 from, u32 to) {
  return pin != 0 && (SquareRelation[from][to] & 15) != pin;
}

inline void AddPawnMove(MoveList* list, u32 colour, u32 from, u32 to) {
  u32 move = from | (to << 6);
  if (RankOf(from) == (colour == White ? 6u : 1u)) {
    AppendMove(list, move | (WhiteQueen << 12));
    AppendMove(list, move | (WhiteKnight << 12));
    AppendMove(list, move | (WhiteRook << 12));
    AppendMove(list, move | (WhiteBishop << 12));
  } else {
    AppendMove(list, move | Quiet);
  }
}

// Knights, bishops, rooks and queens of one side, each list from its last entry; with
// capturesOnly, empty targets give no move.
template <bool capturesOnly>
void AddPieceMoves(Board* board, MoveList* list, u32 c, u32 king) {
  const u8* squares = board->squares;
  u32 o = c ^ 1;
  // The count stays in a register: stores to the list could otherwise alias the board's bytes.
  i32 count = list->count;
  u32* moves = list->moves;
  for (u32 type = TypeOf(WhiteKnight); type <= TypeOf(WhiteQueen); ++type) {
    u32 piece = (type << 1) | c;
    const PieceList& pieces = board->pieceLists[piece];
    RayNode** rays = RaysByPiece[piece];
    for (i32 i = pieces.count - 1; i >= 0; --i) {
      u32 from = pieces.squares[i];
      u32 pin = PinLine(board, king, from, o);
      for (const RayNode* node = rays[from]; node;) {
        u8 target = squares[node->to];
        if (target == Empty) {
          if (!capturesOnly && !LeavesLine(pin, from, node->to)) moves[count++] = node->move;
          node = node->nextIfEmpty;
        } else {
          if (ColourOf(target) == o && !LeavesLine(pin, from, node->to)) moves[count++] = node->move;
          node = node->nextRay;
        }
      }
    }
  }
  assert(count <= MoveListCapacity);
  list->count = count;
}

}  // namespace

void AddMoveIfLegal(Board* board, MoveList* list, u32 colour, u32 from, u32 to) {
  u32 king = KingSquare(board, colour);
  if (LeavesLine(PinLine(board, king, from, colour ^ 1), from, to)) return;
  AddPawnMove(list, colour, from, to);
}

void AddWhiteEnPassant(Board* board, MoveList* list, u32 pawnSquare) {
  u32 ep = board->epSquare;
  if (ep == NoSquare || RankOf(pawnSquare) + 1 != RankOf(ep)) return;
  i32 fileDistance = static_cast<i32>(FileOf(ep)) - static_cast<i32>(FileOf(pawnSquare));
  if (fileDistance != 1 && fileDistance != -1) return;
  u32 king = KingSquare(board, White);
  u32 captured = ep - 1;
  u32 relation = SquareRelation[king][captured];
  u32 d = (relation >> 2) & 7;
  if ((relation & 3) == 1 && (d & 1)) {
    // The captured pawn alone leaves a diagonal.
    if (SliderField(board->attacks.words[captured][Black], d) != 0 &&
        EmptyBetween(board, king, d, relation >> 5))
      return;
  } else if ((relation & 3) == 1 && (d == 2 || d == 6)) {
    // Both pawns leave the king's rank.
    u32 far = captured, near = pawnSquare;
    if ((SquareRelation[king][pawnSquare] >> 5) > (relation >> 5)) far = pawnSquare, near = captured;
    if (SliderField(board->attacks.words[far][Black], d) != 0 &&
        EmptyBetween(board, king, d, SquareRelation[king][near] >> 5))
      return;
  }
  AddMoveIfLegal(board, list, White, pawnSquare, ep);
}

void AddBlackEnPassant(Board* board, MoveList* list, u32 pawnSquare) {
  u32 ep = board->epSquare;
  if (ep == NoSquare || RankOf(pawnSquare) != RankOf(ep) + 1) return;
  i32 fileDistance = static_cast<i32>(FileOf(ep)) - static_cast<i32>(FileOf(pawnSquare));
  if (fileDistance != 1 && fileDistance != -1) return;
  u32 king = KingSquare(board, Black);
  u32 captured = ep + 1;
  u32 relation = SquareRelation[king][captured];
  u32 d = (relation >> 2) & 7;
  if ((relation & 3) == 1 && (d & 1)) {
    if (SliderField(board->attacks.words[captured][White], d) != 0 &&
        EmptyBetween(board, king, d, relation >> 5))
      return;
  } else if ((relation & 3) == 1 && (d == 2 || d == 6)) {
    u32 far = captured, near = pawnSquare;
    if ((SquareRelation[king][pawnSquare] >> 5) > (relation >> 5)) far = pawnSquare, near = captured;
    if (SliderField(board->attacks.words[far][White], d) != 0 &&
        EmptyBetween(board, king, d, SquareRelation[king][near] >> 5))
      return;
  }
  AddMoveIfLegal(board, list, Black, pawnSquare, ep);
}

void AddEvasionBlocks(Board* board, MoveList* list, u32 square, u32 colour) {
  const u8* squares = board->squares;
  AttackWord word = board->attacks.words[square][colour];
  u8 target = squares[square];
  if (target != Empty && word == 0) return;
  if (target == Empty) {
    if (colour == White) {
      if (RankOf(square) > 0) {
        if (squares[square - 1] == WhitePawn)
          AddMoveIfLegal(board, list, White, square - 1, square);
        else if (RankOf(square) == 3 && squares[square - 1] == Empty && squares[square - 2] == WhitePawn)
          AddMoveIfLegal(board, list, White, square - 2, square);
      }
    } else {
      if (RankOf(square) < 7) {
        if (squares[square + 1] == BlackPawn)
          AddMoveIfLegal(board, list, Black, square + 1, square);
        else if (RankOf(square) == 4 && squares[square + 1] == Empty && squares[square + 2] == BlackPawn)
          AddMoveIfLegal(board, list, Black, square + 2, square);
      }
    }
    if (word == 0) return;
  } else if (ColourOf(target) != colour) {
    if (colour == White) {
      if (word & PawnAttackHigherBit) AddMoveIfLegal(board, list, White, square - 9, square);
      if (word & PawnAttackLowerBit) AddMoveIfLegal(board, list, White, square + 7, square);
    } else {
      if (word & PawnAttackHigherBit) AddMoveIfLegal(board, list, Black, square - 7, square);
      if (word & PawnAttackLowerBit) AddMoveIfLegal(board, list, Black, square + 9, square);
    }
  }

  u32 king = KingSquare(board, colour);
  u32 o = colour ^ 1;
  if (word >> KnightCountShift) {
    const PieceList& knights = board->pieceLists[WhiteKnight | colour];
    for (u32 i = 0; i < knights.count; ++i) {
      u32 from = knights.squares[i];
      if (SquareRelation[square][from] == 2 && !LeavesLine(PinLine(board, king, from, o), from, square))
        AppendMove(list, from | (square << 6) | Quiet);
    }
  }
  AttackWord sliders = word & SliderFieldsMask;
  for (u32 i = 0; sliders; ++i, sliders >>= 3) {
    u32 n = sliders & 7;
    if (n == 0) continue;
    u32 from = RaySquare[square][i * 8 + n];
    if (!LeavesLine(PinLine(board, king, from, o), from, square))
      AppendMove(list, from | (square << 6) | Quiet);
  }
}

void GenerateEvasions(Board* board, MoveList* list) {
  const u8* squares = board->squares;
  u32 c = SideToMove(board), o = c ^ 1;
  u32 king = KingSquare(board, c);
  AttackWord checkers = board->attacks.words[king][o];

  for (const RayNode* node = KingRays[king]; node; node = node->nextRay) {
    u8 target = squares[node->to];
    if (IsColour(target, c) || board->attacks.words[node->to][o] != 0) continue;
    // A checking slider directly behind the king still covers the square the king steps to.
    if (SliderField(checkers, (node->tag + 4) & 7) != 0) continue;
    u32 ahead = SliderField(checkers, node->tag);
    if (target != Empty ? (ahead & 6) != 0 : ahead != 0) continue;
    AppendMove(list, node->move);
  }

  // Two or more checkers: only the king can move.
  if (AttackerCount(checkers) >= 2) return;

  if (checkers & SliderFieldsMask) {
    u32 d = (31 - __builtin_clz(checkers & SliderFieldsMask)) / 3;
    u32 n = SliderField(checkers, d);
    for (u32 j = 1; j <= n; ++j)
      AddEvasionBlocks(board, list, king + j * DirectionOffset[d], c);
  } else if (checkers >> KnightCountShift) {
    const PieceList& knights = board->pieceLists[WhiteKnight | o];
    for (u32 i = 0; i < knights.count; ++i) {
      if (SquareRelation[king][knights.squares[i]] == 2) {
        AddEvasionBlocks(board, list, knights.squares[i], c);
        break;
      }
    }
  } else {
    u32 pawn;
    if (checkers & PawnAttackHigherBit) pawn = c == White ? king - 7 : king - 9;
    else pawn = c == White ? king + 9 : king + 7;
    AddEvasionBlocks(board, list, pawn, c);
    // The checker can only be taken en passant when it is the pawn that just stepped twice.
    u32 ep = board->epSquare;
    if (ep != NoSquare && pawn == (c == White ? ep - 1 : ep + 1)) {
      u8 ownPawn = static_cast<u8>(WhitePawn | c);
      if (FileOf(pawn) > 0 && squares[pawn - 8] == ownPawn) {
        if (c == White) AddWhiteEnPassant(board, list, pawn - 8);
        else AddBlackEnPassant(board, list, pawn - 8);
      }
      if (FileOf(pawn) < 7 && squares[pawn + 8] == ownPawn) {
        if (c == White) AddWhiteEnPassant(board, list, pawn + 8);
        else AddBlackEnPassant(board, list, pawn + 8);
      }
    }
  }
}

void GenerateLegalMoves(Board* board, MoveList* list) {
  const u8* squares = board->squares;
  u32 c = SideToMove(board), o = c ^ 1;
  u32 king = KingSquare(board, c);
  const AttackWord (*words)[2] = board->attacks.words;
  if (words[king][o] != 0) {
    GenerateEvasions(board, list);
    return;
  }

  const PieceList& pawns = board->pieceLists[WhitePawn | c];
  for (i32 i = pawns.count - 1; i >= 0; --i) {
    u32 s = pawns.squares[i];
    u32 pin = PinLine(board, king, s, o);
    if (c == White) {
      if (squares[s + 1] == Empty) {
        if (!LeavesLine(pin, s, s + 1)) AddPawnMove(list, White, s, s + 1);
        if (RankOf(s) == 1 && squares[s + 2] == Empty && !LeavesLine(pin, s, s + 2))
          AddPawnMove(list, White, s, s + 2);
      }
      if (FileOf(s) > 0 && IsColour(squares[s - 7], Black) && !LeavesLine(pin, s, s - 7))
        AddPawnMove(list, White, s, s - 7);
      if (FileOf(s) < 7 && IsColour(squares[s + 9], Black) && !LeavesLine(pin, s, s + 9))
        AddPawnMove(list, White, s, s + 9);
      AddWhiteEnPassant(board, list, s);
    } else {
      if (squares[s - 1] == Empty) {
        if (!LeavesLine(pin, s, s - 1)) AddPawnMove(list, Black, s, s - 1);
        if (RankOf(s) == 6 && squares[s - 2] == Empty && !LeavesLine(pin, s, s - 2))
          AddPawnMove(list, Black, s, s - 2);
      }
      if (FileOf(s) > 0 && IsColour(squares[s - 9], White) && !LeavesLine(pin, s, s - 9))
        AddPawnMove(list, Black, s, s - 9);
      if (FileOf(s) < 7 && IsColour(squares[s + 7], White) && !LeavesLine(pin, s, s + 7))
        AddPawnMove(list, Black, s, s + 7);
      AddBlackEnPassant(board, list, s);
    }
  }

  AddPieceMoves<false>(board, list, c, king);

  for (const RayNode* node = KingRays[king]; node; node = node->nextRay) {
    u8 target = squares[node->to];
    if (!IsColour(target, c) && words[node->to][o] == 0) AppendMove(list, node->move);
  }

  if (c == White) {
    if ((board->castleRights[0] & 1) && squares[B1] == Empty && squares[C1] == Empty &&
        squares[D1] == Empty && words[E1][Black] == 0 && words[D1][Black] == 0 && words[C1][Black] == 0)
      AppendMove(list, E1 | (C1 << 6) | Quiet);
    if ((board->castleRights[2] & 1) && squares[F1] == Empty && squares[G1] == Empty &&
        words[E1][Black] == 0 && words[F1][Black] == 0 && words[G1][Black] == 0)
      AppendMove(list, E1 | (G1 << 6) | Quiet);
  } else {
    if ((board->castleRights[1] & 1) && squares[B8] == Empty && squares[C8] == Empty &&
        squares[D8] == Empty && words[E8][White] == 0 && words[D8][White] == 0 && words[C8][White] == 0)
      AppendMove(list, E8 | (C8 << 6) | Quiet);
    if ((board->castleRights[3] & 1) && squares[F8] == Empty && squares[G8] == Empty &&
        words[E8][White] == 0 && words[F8][White] == 0 && words[G8][White] == 0)
      AppendMove(list, E8 | (G8 << 6) | Quiet);
  }
}

void GenerateCaptures(Board* board, MoveList* list) {
  const u8* squares = board->squares;
  u32 c = SideToMove(board), o = c ^ 1;
  u32 king = KingSquare(board, c);
  const AttackWord (*words)[2] = board->attacks.words;
  if (words[king][o] != 0) {
    GenerateEvasions(board, list);
    return;
  }

  const PieceList& pawns = board->pieceLists[WhitePawn | c];
  for (i32 i = pawns.count - 1; i >= 0; --i) {
    u32 s = pawns.squares[i];
    u32 pin = PinLine(board, king, s, o);
    // Only queen promotions here; the under-promotions are left to the full generator.
    bool promotes = RankOf(s) == (c == White ? 6u : 1u);
    u32 kind = promotes ? WhiteQueen << 12 : Quiet;
    if (c == White) {
      if (promotes && squares[s + 1] == Empty && !LeavesLine(pin, s, s + 1))
        AppendMove(list, s | ((s + 1) << 6) | kind);
      if (FileOf(s) > 0 && IsColour(squares[s - 7], Black) && !LeavesLine(pin, s, s - 7))
        AppendMove(list, s | ((s - 7) << 6) | kind);
      if (FileOf(s) < 7 && IsColour(squares[s + 9], Black) && !LeavesLine(pin, s, s + 9))
        AppendMove(list, s | ((s + 9) << 6) | kind);
      AddWhiteEnPassant(board, list, s);
    } else {
      if (promotes && squares[s - 1] == Empty && !LeavesLine(pin, s, s - 1))
        AppendMove(list, s | ((s - 1) << 6) | kind);
      if (FileOf(s) > 0 && IsColour(squares[s - 9], White) && !LeavesLine(pin, s, s - 9))
        AppendMove(list, s | ((s - 9) << 6) | kind);
      if (FileOf(s) < 7 && IsColour(squares[s + 7], White) && !LeavesLine(pin, s, s + 7))
        AppendMove(list, s | ((s + 7) << 6) | kind);
      AddBlackEnPassant(board, list, s);
    }
  }

  AddPieceMoves<true>(board, list, c, king);

  for (const RayNode* node = KingRays[king]; node; node = node->nextRay)
    if (IsColour(squares[node->to], o) && words[node->to][o] == 0) AppendMove(list, node->move);
}

i32 CountLegalMoves(Board* board) {
  MoveList list;
  list.count = 0;
  GenerateLegalMoves(board, &list);
  return list.count;
}

bool IsLegalMove(Board* board, u32 move) {
  MoveList list;
  list.count = 0;
  GenerateLegalMoves(board, &list);
  for (i32 i = 0; i < list.count; ++i)
    if (list.moves[i] == move) return true;
  return false;
}
