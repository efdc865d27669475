// The console commands of the XBoard interpreter, for a person at a terminal: perft counts,
// the self-tests, move lists, evaluation diagnostics, the test-suite solver, hash clearing,
// book listings and the position dump.
#pragma once

#include <cstdio>
#include <string>

#include "protocol/command_loop.h"

struct MoveList;
class Protocol;

// The console tools write their report lines to the protocol's standard output
// (ProtocolOutput) and their diagnostics here, standard error; tests put files in their place.
extern std::FILE* ConsoleDiagnostics;

// True when word is a console command in this mode: "book", "lbook", "dbook" and "dump" in
// both, the others only before the "xboard" command.
bool IsConsoleCommand(const std::string& word, bool xboardMode);

// Runs a command that IsConsoleCommand accepted, with the text after the word. The caller has
// stopped the search and holds the engine's thinkMutex.
void RunConsoleCommand(Protocol* protocol, const std::string& word, const std::string& arguments);

// The "Think limits" line that "go" prints outside xboard mode before it wakes the worker:
// the depth limit and the active controller's time. The caller holds thinkMutex.
void PrintThinkLimits(Protocol* protocol);

// Every move of the list as "e2e4(120) ": its coordinate text and order score.
std::string FormatScoredMoves(const MoveList* list);
