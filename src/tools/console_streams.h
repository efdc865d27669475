// Where the console tools write: their report lines go to the protocol's standard output
// (ProtocolOutput), their diagnostics to standard error; tests put files in their place.
#pragma once

#include <cstdio>

#include "protocol/command_loop.h"

extern std::FILE* ConsoleDiagnostics;
