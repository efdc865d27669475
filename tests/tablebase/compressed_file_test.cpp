// Compressed tablebase files: encoder/decoder round trips over every corner of the format,
// the checks of the header block, and the decoder's refusal of broken blocks.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <memory>
#include <random>

#include "tablebase/compressed_file.h"
#include "tablebase/crc32.h"
#include "tablebase/emd_encoder.h"

namespace {

std::unique_ptr<CompressedTableInfo> Open(const std::vector<u8>& bytes, u32* code) {
  FILE* file = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::rewind(file);
  CompressedTableInfo* info = reinterpret_cast<CompressedTableInfo*>(1);
  *code = OpenCompressedTablebaseFile(&info, file);
  std::fclose(file);
  if (*code != 0) {
    EXPECT_EQ(info, nullptr);
  }
  return std::unique_ptr<CompressedTableInfo>(info);
}

// Every block through the decoder, as the probe reads them.
std::vector<u8> DecodeAll(const CompressedTableInfo& info, const std::vector<u8>& bytes) {
  std::vector<u8> values;
  std::vector<u8> output(info.blockSize + DecodeOutputSlack);
  for (u32 b = 0; b < info.blockCount; ++b) {
    const u32 c = info.BlockOffsets[b + 1] - info.BlockOffsets[b];
    const u32 u = b + 1 == info.blockCount ? info.lastBlockSize : info.blockSize;
    std::vector<u8> input(bytes.begin() + info.BlockOffsets[b],
                          bytes.begin() + info.BlockOffsets[b + 1]);
    EXPECT_TRUE(DecodeTablebaseBlock(&info, input.data(), c, u, output.data())) << "block " << b;
    values.insert(values.end(), output.begin(), output.begin() + u);
  }
  return values;
}

std::vector<u8> RandomBytes(size_t count, u32 seed, u32 range) {
  std::mt19937 random(seed);
  std::vector<u8> values(count);
  for (u8& v : values) v = static_cast<u8>(random() % range);
  return values;
}

// Table-like data: long runs of a few values with a repeated pattern here and there.
std::vector<u8> RunnyBytes(size_t count, u32 seed) {
  std::mt19937 random(seed);
  std::vector<u8> values;
  while (values.size() < count) {
    switch (random() % 4) {
      case 0: values.insert(values.end(), 1 + random() % 3000, static_cast<u8>(random() % 5)); break;
      case 1: {
        const size_t period = 1 + random() % 24;
        std::vector<u8> pattern = RandomBytes(period, random(), 256);
        for (size_t i = 0, n = 20 + random() % 500; i < n; ++i) values.push_back(pattern[i % period]);
        break;
      }
      default: values.push_back(static_cast<u8>(random() % 256));
    }
  }
  values.resize(count);
  return values;
}

// Literal i has length i + 1 for i < 31, literal 31 has 31: codes up to 31 bits long.
std::vector<u8> DeepCode() {
  std::vector<u8> lengths(1024, 0);
  for (u32 i = 0; i < 31; ++i) lengths[i] = static_cast<u8>(i + 1);
  lengths[31] = 31;
  return lengths;
}

u64 CopiesWithLengthCode(const EmdFile& file, u32 lowest, u32 highest) {
  u64 total = 0;
  for (u32 s = 256; s < 1024; ++s)
    if ((s - 256) % 32 >= lowest && (s - 256) % 32 <= highest) total += file.symbolCounts[s];
  return total;
}

struct RoundTripCase {
  const char* name;
  std::function<std::vector<u8>()> values;
  std::function<void(EmdEncoderOptions*)> options;
  std::function<void(const EmdFile&, const CompressedTableInfo&)> check;
};

TEST(CompressedFile, RoundTrips) {
  const RoundTripCase cases[] = {
      {"incompressible blocks are stored raw", [] { return RandomBytes(3 * 8192, 1, 256); },
       [](EmdEncoderOptions*) {},
       [](const EmdFile& f, const CompressedTableInfo&) {
         for (bool raw : f.blockRaw) EXPECT_TRUE(raw);
       }},
      {"raw on request", [] { return RunnyBytes(20000, 2); },
       [](EmdEncoderOptions* o) { o->rawOnly = true; },
       [](const EmdFile& f, const CompressedTableInfo&) {
         for (bool raw : f.blockRaw) EXPECT_TRUE(raw);
       }},
      {"literals only", [] { return RandomBytes(5 * 8192, 3, 40); },
       [](EmdEncoderOptions* o) { o->literalsOnly = true; },
       [](const EmdFile& f, const CompressedTableInfo&) {
         for (bool raw : f.blockRaw) EXPECT_FALSE(raw);
         EXPECT_EQ(CopiesWithLengthCode(f, 0, 31), 0u);
       }},
      {"copies short and long, patterns and runs", [] { return RunnyBytes(40 * 8192, 4); },
       [](EmdEncoderOptions*) {},
       [](const EmdFile& f, const CompressedTableInfo&) {
         EXPECT_GT(CopiesWithLengthCode(f, 0, 14), 0u);
         EXPECT_GT(CopiesWithLengthCode(f, 15, 30), 0u);
         EXPECT_GT(CopiesWithLengthCode(f, 25, 27), 0u);  // copies of 2^11 and more
       }},
      {"copies past the block end stop at it", [] { return RunnyBytes(12 * 8192, 5); },
       [](EmdEncoderOptions* o) { o->stretchFinalCopies = true; },
       [](const EmdFile& f, const CompressedTableInfo&) {
         EXPECT_GT(CopiesWithLengthCode(f, 31, 31), 0u);
       }},
      {"codes up to 31 bits", [] {
         // Value i about twice as often as i + 1, so every code is used.
         std::mt19937 random(6);
         std::vector<u8> values(4 * 8192);
         for (u8& v : values) {
           u32 i = 0;
           while (i < 31 && (random() & 1)) ++i;
           v = static_cast<u8>(i);
         }
         for (u32 i = 0; i < 32; ++i) values[100 + i] = static_cast<u8>(i);
         return values;
       },
       [](EmdEncoderOptions* o) {
         o->literalsOnly = true;
         o->mainLengths = DeepCode();
       },
       [](const EmdFile& f, const CompressedTableInfo&) {
         EXPECT_GT(f.symbolCounts[20], 0u);
         EXPECT_GT(f.symbolCounts[31], 0u);
       }},
      {"all-zero code: blocks of zeros without bits", [] { return std::vector<u8>(3 * 8192 + 77, 0); },
       [](EmdEncoderOptions* o) {
         o->literalsOnly = true;
         o->zeroCodeForZeros = true;
       },
       [](const EmdFile& f, const CompressedTableInfo&) {
         for (u8 l : f.mainLengths) EXPECT_EQ(l, 0);
         for (u32 size : f.blockSizes) EXPECT_EQ(size, 1u);
       }},
      {"one symbol of length 1", [] { return std::vector<u8>(2 * 8192, 7); },
       [](EmdEncoderOptions* o) { o->literalsOnly = true; },
       [](const EmdFile& f, const CompressedTableInfo&) {
         EXPECT_EQ(f.mainLengths[7], 1);
         EXPECT_EQ(std::count(f.mainLengths.begin(), f.mainLengths.end(), 0), 1023);
       }},
      {"short last block", [] { return RunnyBytes(100000, 7); }, [](EmdEncoderOptions*) {},
       [](const EmdFile&, const CompressedTableInfo& info) {
         EXPECT_EQ(info.blockCount, 13u);
         EXPECT_EQ(info.lastBlockSize, 1696u);
       }},
      {"one block", [] { return RunnyBytes(500, 8); }, [](EmdEncoderOptions*) {},
       [](const EmdFile&, const CompressedTableInfo& info) {
         EXPECT_EQ(info.blockCount, 1u);
         EXPECT_EQ(info.lastBlockSize, 500u);
       }},
      {"one full block", [] { return RunnyBytes(8192, 9); }, [](EmdEncoderOptions*) {},
       [](const EmdFile&, const CompressedTableInfo& info) {
         EXPECT_EQ(info.blockCount, 1u);
         EXPECT_EQ(info.lastBlockSize, 8192u);
       }},
      {"wide small-code fields, no runs", [] { return RunnyBytes(30000, 10); },
       [](EmdEncoderOptions* o) {
         o->lengthStream.smallFieldWidth = 21;
         o->lengthStream.useRuns = false;
       },
       [](const EmdFile&, const CompressedTableInfo&) {}},
  };
  for (const RoundTripCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<u8> values = c.values();
    EmdEncoderOptions options;
    c.options(&options);
    const EmdFile file = EncodeEmd(values, options);
    u32 code = 0;
    std::unique_ptr<CompressedTableInfo> info = Open(file.bytes, &code);
    ASSERT_EQ(code, 0u);
    EXPECT_EQ(info->blockSize, 8192u);
    EXPECT_EQ(info->log2BlockSize, 13u);
    EXPECT_EQ(info->BlockOffsets[0], file.headerSize);
    EXPECT_EQ(info->BlockOffsets[info->blockCount], file.bytes.size());
    EXPECT_EQ(u64{info->blockCount - 1} * 8192 + info->lastBlockSize, values.size());
    EXPECT_TRUE(DecodeAll(*info, file.bytes) == values);
    c.check(file, *info);
  }
}

TEST(CompressedFile, Crc32) {
  const u8 abc[] = {'a', 'b', 'c'};
  EXPECT_EQ(Crc32(abc, 3), 0xCA6598D0u);
  EXPECT_EQ(Crc32(abc, 0), 0u);
  EXPECT_EQ(Crc32(abc, -5), 0u);
}

// A file whose main code gives every symbol 10 bits (symbol s is coded as s), so blocks can be
// written by hand; distance slot 0 is 0, slot 1 is 5.
struct HandCodedFile {
  std::unique_ptr<CompressedTableInfo> info;
  HandCodedFile() {
    EmdEncoderOptions options;
    options.mainLengths.assign(1024, 10);
    options.distances[0] = 0;
    options.distances[1] = 5;
    u32 code = 0;
    info = Open(EncodeEmd(std::vector<u8>(8192, 1), options).bytes, &code);
    EXPECT_EQ(code, 0u);
  }
  static void Literal(BitWriter* out, u32 value) { out->put(value, 10); }
  static void Copy(BitWriter* out, u32 slot, u32 lengthCode) {
    out->put(256 + slot * 32 + lengthCode, 10);
  }
  bool decode(const BitWriter& bits, u32 u, std::vector<u8>* output) const {
    output->assign(u + DecodeOutputSlack, 0xEE);
    return DecodeTablebaseBlock(info.get(), bits.bytes.data(), static_cast<u32>(bits.bytes.size()),
                                u, output->data());
  }
};

TEST(CompressedFile, DecoderCopies) {
  HandCodedFile file;
  ASSERT_TRUE(file.info);
  std::vector<u8> out;

  BitWriter repeat;  // 1 2 3 4 5, then 46 bytes from distance 5: the pattern repeats
  for (u32 v = 1; v <= 5; ++v) HandCodedFile::Literal(&repeat, v);
  HandCodedFile::Copy(&repeat, 1, 19);  // length code 19: 14 + 2^5 + 5 extra bits
  repeat.put(0, 5);
  ASSERT_TRUE(file.decode(repeat, 51, &out));
  for (u32 i = 0; i < 51; ++i) EXPECT_EQ(out[i], i % 5 + 1) << i;

  BitWriter toEnd;  // length code 31: 14 + 2^17 + 17 bits, cut at the block's end
  for (u32 v = 1; v <= 5; ++v) HandCodedFile::Literal(&toEnd, v);
  HandCodedFile::Copy(&toEnd, 1, 31);
  toEnd.put(0x1FFFF, 17);
  ASSERT_TRUE(file.decode(toEnd, 8192, &out));
  for (u32 i = 0; i < 8192; ++i) ASSERT_EQ(out[i], i % 5 + 1) << i;
}

TEST(CompressedFile, DecoderRefusesBrokenBlocks) {
  HandCodedFile file;
  ASSERT_TRUE(file.info);
  std::vector<u8> out;
  BitWriter zeroDistance;
  HandCodedFile::Literal(&zeroDistance, 9);
  HandCodedFile::Copy(&zeroDistance, 0, 3);
  EXPECT_FALSE(file.decode(zeroDistance, 5, &out));

  BitWriter beforeStart;  // distance 5 after one byte
  HandCodedFile::Literal(&beforeStart, 9);
  HandCodedFile::Copy(&beforeStart, 1, 3);
  EXPECT_FALSE(file.decode(beforeStart, 5, &out));
  BitWriter fromStart;  // the same copy after five bytes is sound
  for (u32 v = 0; v < 5; ++v) HandCodedFile::Literal(&fromStart, v);
  HandCodedFile::Copy(&fromStart, 1, 3);
  ASSERT_TRUE(file.decode(fromStart, 9, &out));
  EXPECT_EQ(out[8], 3);

  BitWriter tooShort;  // three literals for a block of 8192
  for (int i = 0; i < 3; ++i) HandCodedFile::Literal(&tooShort, 9);
  EXPECT_FALSE(file.decode(tooShort, 8192, &out));

  // Two literals in three bytes is whole; the reader's look-ahead past them is no error.
  BitWriter exact;
  HandCodedFile::Literal(&exact, 4);
  HandCodedFile::Literal(&exact, 6);
  ASSERT_TRUE(file.decode(exact, 2, &out));
  EXPECT_EQ(out[0], 4);
  EXPECT_EQ(out[1], 6);
}

TEST(CompressedFile, RawAndDegenerateBlocks) {
  u32 code = 0;
  EmdEncoderOptions options;
  options.literalsOnly = true;
  options.zeroCodeForZeros = true;
  std::unique_ptr<CompressedTableInfo> zero = Open(EncodeEmd(std::vector<u8>(8192, 0), options).bytes, &code);
  ASSERT_EQ(code, 0u);
  std::vector<u8> input = RandomBytes(8192, 11, 256);
  std::vector<u8> out(8192 + DecodeOutputSlack, 0xEE);
  // Raw: c equal to u, copied as it stands whatever the code says.
  ASSERT_TRUE(DecodeTablebaseBlock(zero.get(), input.data(), 300, 300, out.data()));
  EXPECT_TRUE(std::equal(input.begin(), input.begin() + 300, out.begin()));
  // The all-zero code gives zeros without taking bits, whatever the bytes.
  ASSERT_TRUE(DecodeTablebaseBlock(zero.get(), input.data(), 5, 8192, out.data()));
  EXPECT_TRUE(std::all_of(out.begin(), out.begin() + 8192, [](u8 v) { return v == 0; }));
}

}  // namespace
