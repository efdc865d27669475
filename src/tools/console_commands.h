// The console commands of the XBoard interpreter, for a person at a terminal: perft counts,
// the self-tests, move lists, evaluation diagnostics, the test-suite solver, hash clearing,
// book listings and the position dump.
#pragma once

#include <string>

class Protocol;

// True when word is a console command in this mode: "book", "lbook", "dbook" and "dump" in
// both, the others only before the "xboard" command.
bool IsConsoleCommand(const std::string& word, bool xboardMode);

// Runs a command that IsConsoleCommand accepted, with the text after the word. The caller has
// stopped the search and holds the engine's thinkMutex.
void RunConsoleCommand(Protocol* protocol, const std::string& word, const std::string& arguments);
