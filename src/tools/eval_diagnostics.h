// The static evaluation of listed positions: "evaltest" scores every FEN of a labelled file
// and prints a table in pawns, "nnue" prints the raw network output of one FEN or of every
// FEN line of a file.
#pragma once

#include <string>

#include "board/types.h"

class Protocol;
struct Engine;

// The most positions one evaluation test keeps; the rest of a longer file is not read.
constexpr i32 EvalTestCapacity = 4000;

// The score of the engine's board from the side to move's view, as the console shows it: the
// material balance when material_only is set, else the network with its recognisers. Rebuilds
// the first accumulator.
i32 ConsoleEvaluation(Engine* engine);

// Lines "FEN;label": each is echoed, evaluated on the engine's board, and listed in the table.
void EvalTestCommand(Protocol* gui, const char* fileName);
// "--epd FILE" (every line not starting with "#") or one FEN.
void NnueCommand(Protocol* gui, const std::string& argument);
