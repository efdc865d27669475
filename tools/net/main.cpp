// tervik-net: writes and checks network weight files.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "eval/network.h"
#include "eval/weight_file.h"
#include "gen0_material.h"

static const char Usage[] =
    "usage: tervik-net COMMAND ...\n"
    "  gen0 OUT              write the gen-0 network (material and small piece-square terms)\n"
    "  pack WEIGHTS OUT [V]  wrap raw weights (394244 bytes: i16 feature rows in file order,\n"
    "                        i16 output weights, i32 bias, little-endian) into a weight file\n"
    "                        with header and hash; V is the format version (default 1)\n"
    "  check FILE            run the engine's weight-file checks on FILE\n";

static bool ReadWholeFile(const char* path, std::vector<u8>* bytes) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  u8 chunk[65536];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes->insert(bytes->end(), chunk, chunk + got);
  const bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

static int WriteOrComplain(const char* path, const NnueFileWeights& weights, u32 version) {
  NnueFileHeader header;
  header.version = version;
  if (!WriteFileBytes(path, BuildWeightFile(weights, header))) {
    std::fprintf(stderr, "tervik-net: cannot write %s\n", path);
    return 1;
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(Usage, stderr);
    return 2;
  }
  const char* command = argv[1];
  // The weights are too large for the stack.
  auto weights = std::make_unique<NnueFileWeights>();
  if (std::strcmp(command, "gen0") == 0 && argc == 3) {
    BuildGen0MaterialWeights(weights.get());
    return WriteOrComplain(argv[2], *weights, NnueVersionWritten);
  }
  if (std::strcmp(command, "pack") == 0 && (argc == 4 || argc == 5)) {
    u32 version = NnueVersionWritten;
    if (argc == 5) {
      char* end = nullptr;
      const unsigned long v = std::strtoul(argv[4], &end, 10);
      if (end == argv[4] || *end != '\0' || v > 0xffffffffUL) {
        std::fprintf(stderr, "tervik-net: bad version %s\n", argv[4]);
        return 2;
      }
      version = static_cast<u32>(v);
    }
    std::vector<u8> raw;
    if (!ReadWholeFile(argv[2], &raw)) {
      std::fprintf(stderr, "tervik-net: cannot read %s\n", argv[2]);
      return 1;
    }
    if (!ParseWeights(raw.data(), raw.size(), weights.get())) {
      std::fprintf(stderr, "tervik-net: %s has %zu bytes, expected %zu\n", argv[2], raw.size(),
                   NnueHashedBytes);
      return 1;
    }
    return WriteOrComplain(argv[3], *weights, version);
  }
  if (std::strcmp(command, "check") == 0 && argc == 3) {
    auto network = std::make_unique<NnueNetwork>();
    const NetworkLoadResult result = ReadNetwork(argv[2], network.get());
    std::fputs(result.message.c_str(), stderr);
    return result.status;
  }
  std::fputs(Usage, stderr);
  return 2;
}
