// The project's own tablebase files for tests, written at test time into a directory the
// test chooses: the three-man tables solved by retrograde analysis with the board's own move
// generation, four-man tables holding a fixed value per symmetry class, and sparse five-man
// files of the exact length.
//
// Value bytes, the fixtures' own encoding (the probe's value-to-score table reads it):
//   0        draw
//   -126     the side to move is mated
//   k - 126  the side to move is mated in k moves (k >= 1)
//   127 - m  the side to move mates in m moves (m >= 1)
//
// The solver and TbExpectedClassValue look positions up the way the probe does, through the
// material tree, and enter every row in it first (TbEnterAllRowsInTree), as registering every
// table would. Not safe to call from two threads at once.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "board/board.h"
#include "tb_positions.h"

// The solved values of a three-man row (1-5), per table side and index; computed once per
// process. Indexes that no legal position uses hold 0.
const std::vector<i8>& TbSolvedValues(int row, int side);

// The file name of a row side: directory, "/", name, ".nbw" or ".nbb".
std::string TbFixturePath(const std::string& dir, int row, int side);

// Writes both sides of a three-man row (1-5) solved. False when a file cannot be written.
bool TbWriteSolvedFiles(const std::string& dir, int row);

// Writes one side of a four-man row (6-35): every legal position holds TbClassValue of its
// symmetry class, unused indexes 0.
bool TbWriteClassValueFile(const std::string& dir, int row, int side);
// The value of a position in table colours (-126..126), from its symmetry class alone.
i8 TbClassValue(int row, int side, const TbPlacement& p);
// What a four-man class-value file holds for the board position: the row side it reads from
// the material tree and the value of its class. False when no row holds the material.
bool TbExpectedClassValue(const Board* board, int* row, int* side, i8* value);

// Writes one side of any row as a sparse file of its position count plus lengthDelta bytes,
// zero except for the given (index, value) bytes. Negative deltas give short files.
bool TbWriteSparseFile(const std::string& dir, int row, int side, long long lengthDelta = 0,
                       const std::vector<std::pair<u32, i8>>& bytes = {});

// A fresh empty directory under the system's temporary directory.
std::string TbMakeTempDir(const std::string& tag);
void TbRemoveDir(const std::string& dir);

// The position of a placement as a FEN text (table colours, or reversed).
std::string TbPlacementFen(const TbMaterial& m, const TbPlacement& p, int side, bool reversed);
