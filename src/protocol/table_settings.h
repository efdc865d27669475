// The settings that replace tables a search reads: the transposition table's size from Hash,
// and the tablebase registry and block cache from egtb_path / NalimovPath and NalimovCache.
// Each runs on the main thread while no search runs.
#pragma once

#include "board/types.h"

struct Engine;

// The table's size (log2 of its bucket count) for Hash in megabytes: the value is held to the
// option's listed range first, so that no value above it wraps around to another size, then
// read by the table's rule; 0 (or less) gives the smallest table.
unsigned HashTableLog2Count(i64 megabytes);
void ResizeTableForHash(i64 megabytes);
void ClearTable();
// Registers the tables found in the directory list; with any found, makes sure a block cache
// exists. Returns the largest number of men registered (0: none).
int RegisterTablebases(const char* paths);
// The block cache in megabytes, held to 0..128.
void ResizeTablebaseCache(i64 megabytes);
// Start-up: the tables of egtb_path; tablebase use on with a cache of NalimovCache megabytes
// when any were found, else off.
void InitTablebasesAtStartUp(Engine* engine);
