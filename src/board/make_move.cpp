// MakeMove: every redundant form of the position updated in place. The order of the attack-map
// calls relative to the writes of `squares` follows the preconditions of those routines.
#include "board/make_move.h"

#include "board/attack_map.h"
#include "board/zobrist.h"

namespace {

constexpr u32 A1 = 0, A8 = 7, E1 = 32, E8 = 39, H1 = 56, H8 = 63;

inline void ClearRight(Board* board, u32 right) {
  if (board->castleRights[right] & 1) {
    board->castleRights[right] = 0;
    board->key ^= ZobristCastle[right];
  }
}

inline void ClearEnPassant(Board* board, u32 oldEp) {
  board->key ^= ZobristEnPassant[oldEp] ^ ZobristEnPassant[NoSquare];
  board->epSquare = NoSquare;
}

// The last entry fills the hole, so the order of the remaining entries is kept otherwise.
inline void RemoveFromList(PieceList* list, u32 square) {
  u32 last = --list->count;
  u8 moved = list->squares[last];
  if (moved == square) return;
  for (i32 i = static_cast<i32>(last) - 1; i >= 0; --i) {
    if (list->squares[i] == square) {
      list->squares[i] = moved;
      return;
    }
  }
}

inline void MoveInList(PieceList* list, u32 from, u32 to) {
  for (i32 i = list->count - 1; i >= 0; --i) {
    if (list->squares[i] == from) {
      list->squares[i] = static_cast<u8>(to);
      return;
    }
  }
}

// Procedure R: the captured piece leaves its square.
void RemoveCaptured(Board* board, u8 piece, u32 square) {
  u32 colour = ColourOf(piece);
  board->occupied[colour] ^= SquareBit[square];
  board->material[colour] = static_cast<i16>(board->material[colour] - PieceValue[piece]);
  board->pieceCount[colour] -= 1;
  board->squares[square] = Empty;
  RemoveFromList(&board->pieceLists[piece], square);
  RemovePieceAttacks(&board->attacks, piece, square);
  u64 key = ZobristPieceSquare[piece][square];
  board->key ^= key;
  if (TypeOf(piece) == TypeOf(WhitePawn)) {
    board->pawnBits[colour] ^= SquareBit[square];
    board->pawnKingKey ^= key;
  } else if (TypeOf(piece) == TypeOf(WhiteKing)) {
    board->pawnKingKey ^= key;
  }
  UpdatePhase(board);
}

// Procedure M: a piece goes from one square to another (also the castling rook).
void MovePiece(Board* board, u8 piece, u32 from, u32 to) {
  board->occupied[ColourOf(piece)] ^= SquareBit[from] ^ SquareBit[to];
  board->squares[from] = Empty;
  RemovePieceAttacks(&board->attacks, piece, from);
  PlacePieceAttacks(&board->attacks, piece, to);
  board->squares[to] = piece;
  MoveInList(&board->pieceLists[piece], from, to);
  board->key ^= ZobristPieceSquare[piece][from] ^ ZobristPieceSquare[piece][to];
}

inline void MovePawnKeys(Board* board, u8 pawn, u32 from, u32 to) {
  board->pawnBits[ColourOf(pawn)] ^= SquareBit[from] ^ SquareBit[to];
  board->pawnKingKey ^= ZobristPieceSquare[pawn][from] ^ ZobristPieceSquare[pawn][to];
}

}  // namespace

void MakeMove(Board* board, u8 movingPiece, u32 move) {
  u32 from = MoveFrom(move), to = MoveTo(move), promotion = MovePromotion(move);
  u32 colour = ColourOf(movingPiece);
  u8 captured = board->squares[to];
  u32 oldEp = board->epSquare;

  if (captured == Empty) {
    board->halfMoveClock += 1;
  } else {
    board->halfMoveClock = 0;
    if (captured == WhiteRook) {
      if (to == A1) ClearRight(board, 0);
      else if (to == H1) ClearRight(board, 2);
    } else if (captured == BlackRook) {
      if (to == A8) ClearRight(board, 1);
      else if (to == H8) ClearRight(board, 3);
    }
  }

  if (TypeOf(movingPiece) != TypeOf(WhitePawn)) {
    ClearEnPassant(board, oldEp);
    if (captured != Empty) RemoveCaptured(board, captured, to);
    MovePiece(board, movingPiece, from, to);
    if (TypeOf(movingPiece) == TypeOf(WhiteKing)) {
      board->pawnKingKey ^= ZobristPieceSquare[movingPiece][from] ^ ZobristPieceSquare[movingPiece][to];
      i32 fileStep = static_cast<i32>(FileOf(to)) - static_cast<i32>(FileOf(from));
      if (fileStep == 2 || fileStep == -2) {
        u8 rook = static_cast<u8>(WhiteRook | colour);
        u32 rank = colour == White ? 0 : 7;
        if (fileStep == 2) MovePiece(board, rook, MakeSquare(7, rank), MakeSquare(5, rank));
        else MovePiece(board, rook, MakeSquare(0, rank), MakeSquare(3, rank));
      }
      ClearRight(board, colour);
      ClearRight(board, colour + 2);
    } else if (movingPiece == WhiteRook) {
      if (from == A1) ClearRight(board, 0);
      else if (from == H1) ClearRight(board, 2);
    } else if (movingPiece == BlackRook) {
      if (from == A8) ClearRight(board, 1);
      else if (from == H8) ClearRight(board, 3);
    }
  } else {
    board->halfMoveClock = 0;
    if (to == oldEp) {
      ClearEnPassant(board, oldEp);
      MovePiece(board, movingPiece, from, to);
      MovePawnKeys(board, movingPiece, from, to);
      u8 victim = static_cast<u8>(movingPiece ^ 1);
      RemoveCaptured(board, victim, colour == White ? to - 1 : to + 1);
    } else if (promotion == NoPromotion) {
      if (captured != Empty) RemoveCaptured(board, captured, to);
      MovePiece(board, movingPiece, from, to);
      MovePawnKeys(board, movingPiece, from, to);
      u32 newEp = (to == from + 2 || from == to + 2) ? (from + to) / 2 : NoSquare;
      board->key ^= ZobristEnPassant[oldEp] ^ ZobristEnPassant[newEp];
      board->epSquare = newEp;
    } else {
      ClearEnPassant(board, oldEp);
      if (captured != Empty) RemoveCaptured(board, captured, to);
      // The pawn leaves the board ...
      board->occupied[colour] ^= SquareBit[from];
      board->material[colour] = static_cast<i16>(board->material[colour] - PieceValue[movingPiece]);
      board->pieceCount[colour] -= 1;
      board->squares[from] = Empty;
      RemoveFromList(&board->pieceLists[movingPiece], from);
      RemovePieceAttacks(&board->attacks, movingPiece, from);
      u64 pawnKey = ZobristPieceSquare[movingPiece][from];
      board->key ^= pawnKey;
      board->pawnKingKey ^= pawnKey;
      board->pawnBits[colour] ^= SquareBit[from];
      // ... and the new piece enters on the target square.
      u8 piece = static_cast<u8>(promotion | colour);
      PlacePieceAttacks(&board->attacks, piece, to);
      board->material[colour] = static_cast<i16>(board->material[colour] + PieceValue[piece]);
      board->pieceCount[colour] += 1;
      board->squares[to] = piece;
      board->occupied[colour] |= SquareBit[to];
      PieceList* list = &board->pieceLists[piece];
      list->squares[list->count++] = static_cast<u8>(to);
      board->key ^= ZobristPieceSquare[piece][to];
      UpdatePhase(board);
    }
  }

  board->gamePly += 1;
  board->key ^= ZobristSide;
}
