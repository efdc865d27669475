// What both front ends share: protocol lines in and out and the command loop. Both threads
// write protocol lines; each line goes out whole, in one call under one lock, so a reply of
// the main thread never lands inside a line of the worker.
#pragma once

#include <cstdio>
#include <string>

// The protocol streams: standard input and output, or a test's files.
extern std::FILE* ProtocolInput;
extern std::FILE* ProtocolOutput;

// Writes the text exactly as it stands, in one piece; no line end.
void WriteProtocolText(const std::string& text);
// Writes the text and a line feed in one piece, then flushes.
void WriteProtocolLine(const std::string& text);

// Reads one whole line of any length. The line feed and one carriage return before it are
// removed; an empty line gives the one-character text "\n". False at the end of input or on
// a read error.
bool ReadProtocolLine(std::FILE* in, std::string* line);
// The protocols' readLine: the next line, or the end of the process with status 1 when the
// input has ended (whatever the worker is doing; nothing more is written).
std::string ReadProtocolLineOrExit();
