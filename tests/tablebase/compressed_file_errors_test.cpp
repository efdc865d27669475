// The checks of a compressed file's header block, each made to fail by one edit of a good
// file, and the failure codes of the code-length stream.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "tablebase/compressed_file.h"
#include "tablebase/crc32.h"
#include "tablebase/emd_encoder.h"
#include "tablebase/prefix_code.h"
#include "tablebase/tb_file_support.h"

namespace {

u32 OpenCode(const std::vector<u8>& bytes) {
  FILE* file = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::rewind(file);
  CompressedTableInfo* info = nullptr;
  const u32 code = OpenCompressedTablebaseFile(&info, file);
  std::fclose(file);
  delete info;
  if (code != 0) {
    EXPECT_EQ(info, nullptr);
  }
  return code;
}

void SetBits(std::vector<u8>* bytes, u64 bitOffset, u32 value, u32 count) {
  for (u32 i = 0; i < count; ++i) {
    const u64 bit = bitOffset + i;
    const u8 mask = static_cast<u8>(0x80 >> (bit % 8));
    if ((value >> (count - 1 - i)) & 1) (*bytes)[bit / 8] |= mask;
    else (*bytes)[bit / 8] &= static_cast<u8>(~mask);
  }
}

std::vector<u8> SampleValues() {
  std::vector<u8> values(3 * 8192 + 500);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<u8>((i / 700) % 7 + (i % 13 == 0));
  return values;
}

struct OpenErrorCase {
  const char* name;
  u32 code;
  std::function<void(EmdFile*)> edit;
  bool fixChecksum;
};

TEST(CompressedFileOpen, EachCheckRefusesItsEdit) {
  const EmdFile good = EncodeEmd(SampleValues());
  ASSERT_EQ(OpenCode(good.bytes), 0u);
  const u32 H = good.headerSize;
  const OpenErrorCase cases[] = {
      {"79 bytes", 0x2a002, [](EmdFile* f) { f->bytes.resize(79); }, false},
      {"banner: control character", 0x2a302, [](EmdFile* f) { f->bytes[10] = 7; }, false},
      {"banner: no line feed", 0x2a302, [](EmdFile* f) { f->bytes[59] = ' '; }, false},
      {"banner: no NUL", 0x2a302, [](EmdFile* f) { f->bytes[62] = 'x'; }, false},
      {"H = 83", 0x2ac06, [](EmdFile* f) { PutBigEndian32(&f->bytes[64], 83); }, false},
      {"H = 2^31", 0x2ac06, [](EmdFile* f) { PutBigEndian32(&f->bytes[64], 0x80000000u); }, false},
      {"L = 17", 0x2ac06, [](EmdFile* f) { f->bytes[70] = 17; }, true},
      {"L = 0", 0x2ac06, [](EmdFile* f) { f->bytes[70] = 0; }, true},
      {"23 distances", 0x2af06, [](EmdFile* f) { f->bytes[71] = 23; }, true},
      {"fixed bytes", 0x2b206, [](EmdFile* f) { f->bytes[77] = 0x41; }, true},
      {"H past the end of the file", 0x2ba02,
       [](EmdFile* f) { PutBigEndian32(&f->bytes[64], static_cast<u32>(f->bytes.size() + 1)); }, false},
      {"file ends inside the header block", 0x2ba02,
       [H](EmdFile* f) { f->bytes.resize(H - 10); }, false},
      {"checksum off by one bit", 0x2c106, [H](EmdFile* f) { f->bytes[H - 1] ^= 1; }, false},
      {"n = 0", 0x2c506, [](EmdFile* f) { PutBigEndian32(&f->bytes[72], 0); }, true},
      {"n = 2^32 - 1", 0x2c506, [](EmdFile* f) { PutBigEndian32(&f->bytes[72], 0xFFFFFFFFu); }, true},
      {"n = 2^29 (8n wraps in 32 bits)", 0x2c506,
       [](EmdFile* f) { PutBigEndian32(&f->bytes[72], 1u << 29); }, true},
      {"n too large for the header block", 0x2c506,
       [H](EmdFile* f) { PutBigEndian32(&f->bytes[72], (H - 84) / 8); }, true},
      {"small-code field width 31", 0x2fa06,
       [](EmdFile* f) { SetBits(&f->bytes, u64{f->lengthsAt} * 8 + 2, 31, 5); }, true},
      {"code-length stream cut short", 0x2fa06,
       [H](EmdFile* f) {
         // Moving the checksum forward leaves the stream running into it.
         f->bytes.erase(f->bytes.begin() + f->lengthsAt + 2, f->bytes.begin() + H - 4);
         PutBigEndian32(&f->bytes[64], f->lengthsAt + 6);
         FixEmdHeaderChecksum(&f->bytes, f->lengthsAt + 6);
       }, false},
      {"blocks past the end of the file", 0x30806, [](EmdFile* f) { f->bytes.pop_back(); }, false},
  };
  for (const OpenErrorCase& c : cases) {
    SCOPED_TRACE(c.name);
    EmdFile file = good;
    c.edit(&file);
    if (c.fixChecksum) FixEmdHeaderChecksum(&file.bytes, H);
    EXPECT_EQ(OpenCode(file.bytes), c.code);
  }
}

TEST(CompressedFileOpen, MainCodeMustBeComplete) {
  struct Case {
    const char* name;
    std::vector<std::pair<u32, u8>> lengths;
    u32 code;
  };
  const Case cases[] = {
      {"three codes of 2 bits", {{0, 2}, {1, 2}, {2, 2}}, 0x30106},
      {"one symbol of 2 bits", {{5, 2}}, 0x30106},
      {"codes of 1, 2 and 2 bits", {{0, 1}, {1, 2}, {300, 2}}, 0},
      {"one symbol of 1 bit", {{5, 1}}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EmdEncoderOptions options;
    options.rawOnly = true;
    options.mainLengths.assign(1024, 0);
    for (auto [symbol, length] : c.lengths) options.mainLengths[symbol] = length;
    EXPECT_EQ(OpenCode(EncodeEmd(SampleValues(), options).bytes), c.code);
  }
}

// Out of memory, for the two allocations a file's header decides: run in a child under an
// address-space limit. The header block is a sparse file of 128 MB of zeros.
void BuildSparseHeader(const std::string& path, u32 headerSize, u32 blockCount) {
  std::vector<u8> head(80, 0);
  std::memcpy(head.data(), "Tervik out-of-memory test", 25);
  std::memset(head.data() + 25, ' ', 33);
  head[58] = '\r';
  head[59] = '\n';
  PutBigEndian32(&head[64], headerSize);
  head[70] = 13;
  head[71] = 24;
  PutBigEndian32(&head[72], blockCount);
  head[77] = 0x40, head[78] = 0x01, head[79] = 0xF5;
  // The checksum register carried on over the zeros of bytes 80 .. H - 5.
  u32 table[256];
  for (u32 i = 0; i < 256; ++i) {
    u32 r = i;
    for (int k = 0; k < 8; ++k) r = (r & 1) ? (r >> 1) ^ 0xEDB88320u : r >> 1;
    table[i] = r;
  }
  u32 r = Crc32(head.data(), 80);
  for (u32 i = 80; i < headerSize - 4; ++i) r = table[r & 0xFF] ^ (r >> 8);
  FILE* file = std::fopen(path.c_str(), "wb");
  std::fwrite(head.data(), 1, head.size(), file);
  u8 checksum[4];
  PutBigEndian32(checksum, r);
  std::fseek(file, headerSize - 4, SEEK_SET);
  std::fwrite(checksum, 1, 4, file);
  std::fclose(file);
}

void OpenUnderLimit(const std::string& path, u64 headroom, u32 expected) {
  rlimit limit{};
  limit.rlim_cur = limit.rlim_max = AddressSpaceInUse() + headroom;
  if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(3);
  FILE* file = std::fopen(path.c_str(), "rb");
  CompressedTableInfo* info = nullptr;
  const u32 code = OpenCompressedTablebaseFile(&info, file);
  _exit(code == expected && info == nullptr ? 0 : 1);
}

TEST(CompressedFileOpenDeathTest, OutOfMemory) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "address-space limits do not mix with sanitizer shadow memory";
#endif
  constexpr u32 H = 128u << 20;
  const std::string path = testing::TempDir() + "tervik_oom_header.emd";
  BuildSparseHeader(path, H, 2);
  EXPECT_EXIT(OpenUnderLimit(path, 64u << 20, 0x2b505), testing::ExitedWithCode(0), "");
  // 13 million offsets (52 MB) do not fit beside the 128 MB header.
  BuildSparseHeader(path, H, 13000000);
  EXPECT_EXIT(OpenUnderLimit(path, (128u + 24u) << 20, 0x2c905), testing::ExitedWithCode(0), "");
  std::remove(path.c_str());
}

// Code-length streams written bit by bit.
i32 ReadStream(const BitWriter& bits, i32 count, u8* lengths, u32 size = 0) {
  BlockBitReader reader;
  StartBitReader(&reader, bits.bytes.data(), size ? size : static_cast<u32>(bits.bytes.size()));
  return ReadCodeLengthTable(&reader, lengths, count);
}

// The 128 small-code lengths: the given ones, every other 0 (zero runs of up to 15).
void PutSmallLengths(BitWriter* out, std::vector<std::pair<u32, u32>> set, u32 width) {
  out->put(0, 1);
  u8 lengths[128] = {};
  for (auto [i, v] : set) lengths[i] = static_cast<u8>(v);
  WriteSmallLengths(out, lengths, width);
}

TEST(CodeLengthStream, FailureCodes) {
  u8 lengths[1024];
  struct Case {
    const char* name;
    i32 count;
    std::function<void(BitWriter*)> write;
    i32 code;
    u32 readerSize;
  };
  const Case cases[] = {
      {"all zero by the first bit", 1024, [](BitWriter* b) { b->put(1, 1); }, 0, 0},
      {"zero run past 128", 128,
       [](BitWriter* b) {
         b->put(0, 1);
         b->put(1, 5);
         for (int i = 0; i < 127; ++i) b->put(1, 1);
         b->put(0, 1);
         b->put(4, 4);
       }, 0x1b806, 0},
      {"small length above 31", 1024,
       [](BitWriter* b) { b->put(0, 1); PutSmallLengths(b, {{0, 40}, {1, 1}}, 6); }, 0x14306, 0},
      {"small code: one symbol of 2 bits", 1024,
       [](BitWriter* b) { b->put(0, 1); PutSmallLengths(b, {{3, 2}}, 3); }, 0x15006, 0},
      {"small code: 1 and 2 bits", 1024,
       [](BitWriter* b) { b->put(0, 1); PutSmallLengths(b, {{0, 1}, {1, 2}}, 3); }, 0x16006, 0},
      {"small code: two of 2 bits", 1024,
       [](BitWriter* b) { b->put(0, 1); PutSmallLengths(b, {{64, 2}, {65, 2}}, 3); }, 0x16406, 0},
      {"run past the count", 1024,
       [](BitWriter* b) {
         // Code A: length 0 (code 0) and a run of 5s (code 1); code B: only run 31 (33 places).
         b->put(0, 1);
         PutSmallLengths(b, {{0, 1}, {37, 1}, {64 + 31, 1}}, 3);
         for (int i = 0; i < 32; ++i) b->put(1, 1);
       }, 0x1e606, 0},
      {"run of 2^31 + 31", 1024,
       [](BitWriter* b) {
         b->put(0, 1);
         PutSmallLengths(b, {{0, 1}, {37, 1}, {64 + 63, 1}}, 3);
         b->put(1, 1);
       }, 0x1e606, 0},
      {"stream past its bytes", 128,
       [](BitWriter* b) {
         b->put(0, 1);
         b->put(1, 5);
         for (int i = 0; i < 128; ++i) b->put(1, 1);
       }, 0x1f206, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BitWriter bits;
    c.write(&bits);
    EXPECT_EQ(ReadStream(bits, c.count, lengths, c.readerSize), c.code);
  }
}

TEST(CodeLengthStream, RoundTripsThroughTheWriter) {
  std::vector<u8> lengths(1024, 0);
  for (u32 s = 0; s < 1024; ++s) lengths[s] = static_cast<u8>(s < 300 ? 9 : s < 600 ? 11 : s % 7 == 0 ? 12 : 0);
  for (u32 width : {0u, 8u, 31u}) {
    for (bool runs : {true, false}) {
      BitWriter bits;
      WriteCodeLengthStream(&bits, lengths.data(), 1024, {width, runs});
      u8 read[1024];
      ASSERT_EQ(ReadStream(bits, 1024, read), 0) << width << runs;
      EXPECT_TRUE(std::equal(lengths.begin(), lengths.end(), read)) << width << runs;
    }
  }
}

}  // namespace
