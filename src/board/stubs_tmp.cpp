// Temporary placeholders so the declared interface links while the bodies are written.
#include "board/attack_map.h"
#include "board/fen.h"
#include "board/make_move.h"
#include "board/move_list.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "board/perft.h"
#include "board/rays.h"
#include "board/zobrist.h"

const u64 SquareBit[64] = {};
const u8 PhaseTable[17] = {3, 3, 3, 3, 3, 3, 2, 2, 2, 1, 1, 1, 1, 1, 0, 0, 0};
Board::Board() { attacks.board = this; for (auto& l : pieceLists) l.count = 0; }
void UpdatePhase(Board*) {}
void InitBoardTables() {}
void SeedMT19937(MT19937*, u32) {}
u32 NextMT19937(MT19937*) { return 0; }
MT19937 ZobristGenerator;
u64 ZobristSide;
u64 ZobristCastle[4];
u64 ZobristEnPassant[65];
u64 ZobristPieceSquare[12][64];
u32 NextRandom32() { return 0; }
void InitZobristKeys() {}
u8 RaySquare[64][64];
u8 SquareRelation[64][64];
void BuildSquareTables() {}
void PlacePieceAttacks(AttackMap*, u8, u32) {}
void RemovePieceAttacks(AttackMap*, u8, u32) {}
void BuildAttackMap(Board*) {}
RayNode* KnightRays[64];
RayNode* KingRays[64];
RayNode* RookRays[64];
RayNode* BishopRays[64];
RayNode* QueenRays[64];
RayNode* PawnCaptureRaysUp[64];
RayNode* PawnCaptureRaysDown[64];
RayNode** RaysByPiece[12];
RayNode* BuildRookRays(u32) { return nullptr; }
RayNode* BuildBishopRays(u32) { return nullptr; }
void BuildRayLists() {}
void PickNextMove(MoveList*) {}
void MakeMove(Board*, u8, u32) {}
void GenerateLegalMoves(Board*, MoveList*) {}
void GenerateEvasions(Board*, MoveList*) {}
void GenerateCaptures(Board*, MoveList*) {}
i32 CountLegalMoves(Board*) { return 0; }
bool IsLegalMove(Board*, u32) { return false; }
void AddMoveIfLegal(Board*, MoveList*, u32, u32, u32) {}
void AddWhiteEnPassant(Board*, MoveList*, u32) {}
void AddBlackEnPassant(Board*, MoveList*, u32) {}
void AddEvasionBlocks(Board*, MoveList*, u32, u32) {}
u8 FenPieceCode(char) { return Empty; }
std::string ExtractFenFields(const char*) { return {}; }
bool SetFen(Board*, const char*) { return false; }
std::string GetFen(const Board*) { return {}; }
std::string MoveToText(const u32&) { return {}; }
bool IsCoordinateMove(const std::string&) { return false; }
bool ParseCoordinateMove(u32*, const std::string&) { return false; }
bool ParseSan(u32*, std::string&, Board*) { return false; }
bool ParseSanPieceMove(u32*, const std::string&, Board*) { return false; }
bool ParsePawnSan(u32*, const std::string&, Board*) { return false; }
void RemoveAll(const char*, std::string&) {}
MoveList PerftMoveLists[PerftMaxDepth + 1];
u64 Perft(Board*, u32) { return 0; }
