// Training records in memory: reading and checking record files, the validation split and the
// per-pass shuffle.
#pragma once

#include <string>
#include <vector>

#include "common/rng.h"
#include "common/training_record.h"

// Appends every record of the file. False, with *error set, when the file cannot be read, its
// size is not a multiple of 32 or a record fails DecodeTrainingRecord (the first bad one is
// named); nothing is appended then.
bool ReadRecordFile(const char* path, std::vector<TrainingRecord>* records, std::string* error);
// Writes the records; false when the file cannot be written whole.
bool WriteRecordFile(const char* path, const std::vector<TrainingRecord>& records);

// Fisher-Yates over the whole vector.
void ShuffleRecords(std::vector<TrainingRecord>* records, ToolRng* rng);

// Moves round(fraction x size) records, chosen at random with the seed, from *records to the end
// of *validation; the order of what stays is shuffled too.
void SplitValidation(std::vector<TrainingRecord>* records, double fraction, u64 seed,
                     std::vector<TrainingRecord>* validation);
