// Until the console commands are built, no word is one: they take the path of unknown words.
#include "tools/console_commands.h"

#include "tools/console_streams.h"

std::FILE* ConsoleDiagnostics = stderr;

bool IsConsoleCommand(const std::string&, bool) { return false; }

void RunConsoleCommand(Protocol*, const std::string&, const std::string&) {}
