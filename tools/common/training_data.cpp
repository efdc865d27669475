// Record files and the in-memory set.
#include "common/training_data.h"

#include <cmath>
#include <cstdio>
#include <utility>

bool ReadRecordFile(const char* path, std::vector<TrainingRecord>* records, std::string* error) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    *error = std::string("cannot open ") + path;
    return false;
  }
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
    std::fclose(file);
    *error = std::string("cannot read ") + path;
    return false;
  }
  if (size % sizeof(TrainingRecord) != 0) {
    std::fclose(file);
    *error = std::string(path) + ": size " + std::to_string(size) +
             " is not a multiple of 32 bytes";
    return false;
  }
  const std::size_t first = records->size();
  const std::size_t count = static_cast<std::size_t>(size) / sizeof(TrainingRecord);
  records->resize(first + count);
  const std::size_t got = std::fread(records->data() + first, sizeof(TrainingRecord), count, file);
  std::fclose(file);
  if (got != count) {
    records->resize(first);
    *error = std::string("cannot read ") + path;
    return false;
  }
  TrainingPosition position;
  for (std::size_t i = first; i < records->size(); ++i) {
    if (!DecodeTrainingRecord((*records)[i], &position)) {
      records->resize(first);
      *error = std::string(path) + ": record " + std::to_string(i - first) + " is malformed";
      return false;
    }
  }
  return true;
}

bool WriteRecordFile(const char* path, const std::vector<TrainingRecord>& records) {
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(records.data(), sizeof(TrainingRecord), records.size(), file) ==
                       records.size();
  return std::fclose(file) == 0 && written;
}

void ShuffleRecords(std::vector<TrainingRecord>* records, ToolRng* rng) {
  for (std::size_t i = records->size(); i > 1; --i) {
    const std::size_t j = rng->Below(i);
    std::swap((*records)[i - 1], (*records)[j]);
  }
}

void SplitValidation(std::vector<TrainingRecord>* records, double fraction, u64 seed,
                     std::vector<TrainingRecord>* validation) {
  if (fraction <= 0.0) return;
  ToolRng rng(seed ^ 0x5a17da7a5a17da7aull);
  ShuffleRecords(records, &rng);
  std::size_t held = static_cast<std::size_t>(std::llround(fraction * records->size()));
  if (held > records->size()) held = records->size();
  validation->insert(validation->end(), records->end() - held, records->end());
  records->resize(records->size() - held);
}
