// Reading and checking the weight file; every failure names its cause in the loader's own words.
#include "eval/network.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "eval/sha256.h"

NnueNetwork Network;

__attribute__((format(printf, 1, 2))) static std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
  va_end(args);
  return text;
}

static u16 ReadU16(const u8* p) { return static_cast<u16>(p[0] | (p[1] << 8)); }
static u32 ReadU32(const u8* p) {
  return u32{p[0]} | (u32{p[1]} << 8) | (u32{p[2]} << 16) | (u32{p[3]} << 24);
}
static i16 ReadI16(const u8* p) { return static_cast<i16>(ReadU16(p)); }

static NetworkLoadResult Failure(std::string message) {
  return NetworkLoadResult{NnueExitBadFile, std::move(message)};
}

NetworkLoadResult ReadNetworkImage(const char* path, const u8* data, std::size_t size,
                                   NnueNetwork* network) {
  if (size < NnueFileSize) {
    return Failure(Format("NNUE: Datei '%s' zu klein (%ld Byte, erwartet %ld) !\r\n", path,
                          static_cast<long>(size), static_cast<long>(NnueFileSize)));
  }
  if (std::memcmp(data, NnueMagic, sizeof NnueMagic) != 0) {
    return Failure("NNUE: Magic passt nicht (erwartet 'KVAR') !\r\n");
  }
  const u32 version = ReadU32(data + NnueVersionOffset);
  if (version < NnueVersionFirst || version > NnueVersionLast) {
    return Failure(Format("NNUE: unbekannte Format-Version %u !\r\n", version));
  }
  const u32 architecture = ReadU32(data + NnueArchitectureOffset);
  if (architecture != NnueArchitectureId) {
    return Failure(Format("NNUE: unerwartete Architektur-ID %u !\r\n", architecture));
  }
  const u32 featureSet = ReadU32(data + NnueFeatureSetOffset);
  if (featureSet != NnueFeatureSet) {
    return Failure(Format("NNUE: unerwartetes Feature-Set %u !\r\n", featureSet));
  }
  struct SizeField {
    std::size_t offset;
    int required;
    const char* format;
  };
  static constexpr SizeField SizeFields[] = {
      {NnueQAOffset, NnueQA, "NNUE: QA %u != %d !\r\n"},
      {NnueQBOffset, NnueQB, "NNUE: QB %u != %d !\r\n"},
      {NnueInputsOffset, NnueInputs, "NNUE: n_input %u != %d !\r\n"},
      {NnueHiddenOffset, NnueHidden, "NNUE: n_hidden %u != %d !\r\n"},
  };
  for (const SizeField& field : SizeFields) {
    const u32 value = ReadU16(data + field.offset);
    if (value != static_cast<u32>(field.required)) {
      return Failure(Format(field.format, value, field.required));
    }
  }
  u8 digest[32];
  Sha256Digest(data + NnueHeaderSize, NnueHashedBytes, digest);
  if (std::memcmp(digest, data + NnueHashOffset, NnueHashBytes) != 0) {
    return Failure("NNUE: Gewichtshash passt nicht - Datei beschadigt ?\r\n");
  }

  const u8* p = data + NnueHeaderSize;
  for (u32 row = 0; row < NnueInputs; ++row) {
    i16* target = network->featureWeights[EngineRowOfFileRow(row)];
    for (int j = 0; j < NnueHidden; ++j, p += 2) target[j] = ReadI16(p);
  }
  for (int half = 0; half < 2; ++half) {
    for (int j = 0; j < NnueHidden; ++j, p += 2) network->outputWeights[half][j] = ReadI16(p);
  }
  network->outputBias = static_cast<i32>(ReadU32(p));
  for (u32 perspective = 0; perspective < 2; ++perspective) {
    for (u32 piece = 0; piece < 12; ++piece) {
      for (u32 square = 0; square < 64; ++square) {
        network->featureIndex[perspective][64 * piece + square] =
            FeatureRow(perspective, piece, square);
      }
    }
  }
  network->loaded = 1;
  return NetworkLoadResult{0, Format("NNUE: geladen '%s' (%d Parameter, QA=%d QB=%d, %s)\r\n",
                                     path, NnueParameterCount, NnueQA, NnueQB, "skalar")};
}

NetworkLoadResult ReadNetwork(const char* path, NnueNetwork* network) {
  if (path == nullptr || path[0] == '\0') {
    return NetworkLoadResult{NnueExitNoPath,
                             "nnue_path ist nicht gesetzt (tervik.ini) \xE2\x80\x94"
                             " ohne Netz gibt es keine Bewertung.\r\n"};
  }
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    return Failure(Format("NNUE: Kann Gewichtsdatei '%s' nicht oeffnen ! (nnue_path ?)\r\n", path));
  }
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  const bool rewound = std::fseek(file, 0, SEEK_SET) == 0;
  if (size < static_cast<long>(NnueFileSize)) {
    std::fclose(file);
    return Failure(Format("NNUE: Datei '%s' zu klein (%ld Byte, erwartet %ld) !\r\n", path, size,
                          static_cast<long>(NnueFileSize)));
  }
  u8* buffer = rewound ? new (std::nothrow) u8[static_cast<std::size_t>(size)] : nullptr;
  const bool complete =
      buffer != nullptr &&
      std::fread(buffer, 1, static_cast<std::size_t>(size), file) == static_cast<std::size_t>(size);
  std::fclose(file);
  if (!complete) {
    delete[] buffer;
    return Failure(Format("NNUE: Kann '%s' nicht lesen !\r\n", path));
  }
  NetworkLoadResult result =
      ReadNetworkImage(path, buffer, static_cast<std::size_t>(size), network);
  delete[] buffer;
  return result;
}

void LoadNetwork(const char* path) {
  const NetworkLoadResult result = ReadNetwork(path, &Network);
  std::fputs(result.message.c_str(), stderr);
  if (result.status != 0) std::exit(result.status);
}
