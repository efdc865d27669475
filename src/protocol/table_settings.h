// The settings that replace tables a search reads: the transposition table's size from Hash,
// and the tablebase registry and block cache from egtb_path / NalimovPath and NalimovCache.
// Each runs on the main thread while no search runs.
#pragma once

#include "board/types.h"

struct Engine;

// Hash in megabytes, read by the table's rule; a value that gives no size (0, a multiple of
// 4096, a negative one) gives the smallest table.
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
