#include "emd_encoder.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <queue>

#include "tablebase/crc32.h"

void BitWriter::put(u64 value, u32 bits) {
  for (u32 i = bits; i-- > 0;) {
    if (bitCount % 8 == 0) bytes.push_back(0);
    if ((value >> i) & 1) bytes.back() |= static_cast<u8>(0x80u >> (bitCount % 8));
    ++bitCount;
  }
}

void PutBigEndian32(u8* at, u32 value) {
  at[0] = static_cast<u8>(value >> 24);
  at[1] = static_cast<u8>(value >> 16);
  at[2] = static_cast<u8>(value >> 8);
  at[3] = static_cast<u8>(value);
}

void FixEmdHeaderChecksum(std::vector<u8>* bytes, u32 headerSize) {
  PutBigEndian32(bytes->data() + headerSize - 4,
                 Crc32(bytes->data(), static_cast<i32>(headerSize - 4)));
}

bool WriteBytesToFile(const std::string& path, const std::vector<u8>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

namespace {

std::vector<u8> UnlimitedHuffman(const std::vector<u64>& frequencies) {
  struct Node {
    u64 weight;
    i32 left, right;
  };
  std::vector<Node> nodes;
  using Item = std::pair<u64, i32>;
  std::priority_queue<Item, std::vector<Item>, std::greater<Item>> heap;
  for (size_t s = 0; s < frequencies.size(); ++s) {
    if (frequencies[s] == 0) continue;
    nodes.push_back({frequencies[s], -1, static_cast<i32>(s)});
    heap.push({frequencies[s], static_cast<i32>(nodes.size() - 1)});
  }
  std::vector<u8> lengths(frequencies.size(), 0);
  if (nodes.size() == 1) {
    lengths[nodes[0].right] = 1;
    return lengths;
  }
  while (heap.size() > 1) {
    Item a = heap.top();
    heap.pop();
    Item b = heap.top();
    heap.pop();
    nodes.push_back({a.first + b.first, a.second, b.second});
    heap.push({a.first + b.first, static_cast<i32>(nodes.size() - 1)});
  }
  std::function<void(i32, u32)> walk = [&](i32 node, u32 depth) {
    if (nodes[node].left < 0) {
      lengths[nodes[node].right] = static_cast<u8>(std::min<u32>(depth, 255));
      return;
    }
    walk(nodes[node].left, depth + 1);
    walk(nodes[node].right, depth + 1);
  };
  if (!heap.empty()) walk(heap.top().second, 0);
  return lengths;
}

// Canonical codes of the lengths, assigned as the decoder does.
std::vector<u32> CanonicalCodes(const std::vector<u8>& lengths) {
  u32 counts[32] = {};
  for (u8 l : lengths)
    if (l) ++counts[l];
  u32 next[32] = {};
  u32 code = 0;
  for (u32 l = 1; l < 32; ++l) {
    code = (code + counts[l - 1]) << 1;
    next[l] = code;
  }
  std::vector<u32> codes(lengths.size(), 0);
  for (size_t s = 0; s < lengths.size(); ++s)
    if (lengths[s]) codes[s] = next[lengths[s]]++;
  return codes;
}

struct PrefixCode {
  std::vector<u8> lengths;
  std::vector<u32> codes;
  bool silent = false;  // degenerate: symbols take no bits
  void emit(BitWriter* out, u32 symbol) const {
    if (!silent) out->put(codes[symbol], lengths[symbol]);
  }
};

PrefixCode MakeCode(std::vector<u8> lengths) {
  PrefixCode code;
  size_t used = std::count_if(lengths.begin(), lengths.end(), [](u8 l) { return l != 0; });
  code.silent = used <= 1;
  code.codes = CanonicalCodes(lengths);
  code.lengths = std::move(lengths);
  return code;
}


// A run of `cover` equal lengths (cover >= 2) as the run symbol of code B and its extra bits.
void RunSymbol(u64 cover, u32* symbol, u64* extra, u32* extraBits) {
  const u64 run = cover - 2;
  *extra = 0;
  *extraBits = 0;
  if (run <= 32) {
    *symbol = static_cast<u32>(run);
    return;
  }
  u32 k = 0;
  while ((u64{2} << k) <= run - 31) ++k;
  *symbol = 32 + k;
  *extra = run - 31 - (u64{1} << k);
  *extraBits = k;
}

}  // namespace

// The 128 small-code lengths after their all-zero flag: a field width, the fields, and after
// each 0 a 4-bit count of further zeros.
void WriteSmallLengths(BitWriter* out, const u8* lengths, u32 fieldWidth) {
  u32 width = fieldWidth;
  if (width == 0) {
    u8 top = *std::max_element(lengths, lengths + 128);
    while ((1u << width) <= top) ++width;
  }
  out->put(width, 5);
  for (u32 i = 0; i < 128;) {
    out->put(lengths[i], width);
    ++i;
    if (lengths[i - 1] == 0) {
      u32 run = 0;
      while (run < 15 && i + run < 128 && lengths[i + run] == 0) ++run;
      out->put(run, 4);
      i += run;
    }
  }
}

std::vector<u8> HuffmanLengths(const std::vector<u64>& frequencies, u32 maxLength) {
  std::vector<u64> weights = frequencies;
  for (;;) {
    std::vector<u8> lengths = UnlimitedHuffman(weights);
    if (*std::max_element(lengths.begin(), lengths.end()) <= maxLength) return lengths;
    for (u64& w : weights)
      if (w) w = (w + 1) / 2;
  }
}

void WriteCodeLengthStream(BitWriter* out, const u8* lengths, u32 count,
                           const CodeLengthStreamOptions& options) {
  bool allZero = std::all_of(lengths, lengths + count, [](u8 l) { return l == 0; });
  out->put(allZero ? 1 : 0, 1);
  if (allZero) return;
  if (count == 128) {
    WriteSmallLengths(out, lengths, options.smallFieldWidth);
    return;
  }

  // Code A symbols: a length (0..31), or 32 + length followed by a code B run.
  struct Op {
    u32 a;
    u32 b;
    u64 extra;
    u32 extraBits;
  };
  std::vector<Op> ops;
  for (u32 i = 0; i < count;) {
    u32 same = 1;
    while (i + same < count && lengths[i + same] == lengths[i]) ++same;
    if (options.useRuns && same >= 2) {
      Op op{32u + lengths[i], 0, 0, 0};
      RunSymbol(same, &op.b, &op.extra, &op.extraBits);
      ops.push_back(op);
      i += same;
    } else {
      ops.push_back({lengths[i], 0, 0, 0});
      ++i;
    }
  }
  std::vector<u64> frequencyA(64, 0), frequencyB(64, 0);
  for (const Op& op : ops) {
    ++frequencyA[op.a];
    if (op.a >= 32) ++frequencyB[op.b];
  }
  std::vector<u8> small(128, 0);
  if (std::any_of(frequencyA.begin(), frequencyA.end(), [](u64 f) { return f; })) {
    std::vector<u8> a = HuffmanLengths(frequencyA, 31);
    std::copy(a.begin(), a.end(), small.begin());
  }
  if (std::any_of(frequencyB.begin(), frequencyB.end(), [](u64 f) { return f; })) {
    std::vector<u8> b = HuffmanLengths(frequencyB, 31);
    std::copy(b.begin(), b.end(), small.begin() + 64);
  }
  WriteCodeLengthStream(out, small.data(), 128, options);
  PrefixCode codeA = MakeCode(std::vector<u8>(small.begin(), small.begin() + 64));
  PrefixCode codeB = MakeCode(std::vector<u8>(small.begin() + 64, small.end()));
  for (const Op& op : ops) {
    codeA.emit(out, op.a);
    if (op.a < 32) continue;
    codeB.emit(out, op.b);
    out->put(op.extra, op.extraBits);
  }
}

EmdFile EncodeEmd(const std::vector<u8>& values, const EmdEncoderOptions& options) {
  const u32 L = options.log2BlockSize;
  const u32 blockSize = 1u << L;
  const u64 total = values.size();
  EmdFile file;
  file.blockCount = static_cast<u32>((total + blockSize - 1) / blockSize);
  const u32 n = file.blockCount;

  // Symbols per block: literals, and greedy copies over the 24 distances.
  struct Symbol {
    u32 symbol;
    u32 extra;
    u32 extraBits;
  };
  std::vector<std::vector<Symbol>> blocks(n);
  std::vector<u64> frequencies(1024, 0);
  for (u32 b = 0; b < n; ++b) {
    const u64 start = u64{b} * blockSize;
    const u32 size = static_cast<u32>(std::min<u64>(blockSize, total - start));
    const u8* v = values.data() + start;
    for (u32 pos = 0; pos < size;) {
      u32 bestLength = 0, bestSlot = 0;
      for (u32 slot = 0; slot < 24 && !options.literalsOnly && !options.rawOnly; ++slot) {
        const u32 d = options.distances[slot];
        if (d == 0 || d > pos) continue;
        u32 length = 0;
        while (pos + length < size && v[pos + length] == v[pos + length - d]) ++length;
        if (length > bestLength) bestLength = length, bestSlot = slot;
      }
      if (bestLength < 3) {
        blocks[b].push_back({v[pos], 0, 0});
        ++pos;
        continue;
      }
      u32 lengthCode, extra = 0, extraBits = 0;
      if (options.stretchFinalCopies && pos + bestLength == size) {
        lengthCode = 31;
        extraBits = 17;
      } else if (bestLength <= 15) {
        lengthCode = bestLength - 1;
      } else {
        const u32 t = bestLength - 14;
        u32 k = 0;
        while ((2u << k) <= t) ++k;
        lengthCode = 14 + k;
        extra = t - (1u << k);
        extraBits = k;
      }
      blocks[b].push_back({256 + bestSlot * 32 + lengthCode, extra, extraBits});
      pos += bestLength;
    }
    for (const Symbol& s : blocks[b]) ++frequencies[s.symbol];
  }

  std::vector<u8> lengths = options.mainLengths;
  if (lengths.empty()) {
    lengths = HuffmanLengths(frequencies, 31);
    size_t used = std::count_if(lengths.begin(), lengths.end(), [](u8 l) { return l; });
    if (used == 1 && options.zeroCodeForZeros && lengths[0] == 1) lengths[0] = 0;
  }
  lengths.resize(1024, 0);
  PrefixCode code = MakeCode(lengths);
  file.mainLengths = lengths;
  file.symbolCounts = frequencies;

  std::vector<std::vector<u8>> stored(n);
  for (u32 b = 0; b < n; ++b) {
    const u64 start = u64{b} * blockSize;
    const u32 size = static_cast<u32>(std::min<u64>(blockSize, total - start));
    BitWriter bits;
    for (const Symbol& s : blocks[b]) {
      code.emit(&bits, s.symbol);
      if (s.extraBits == 17) {
        bits.put(s.extra >> 1, 16);
        bits.put(s.extra & 1, 1);
      } else {
        bits.put(s.extra, s.extraBits);
      }
    }
    if (bits.bytes.empty()) bits.bytes.push_back(0);  // a size of 0 would read as 2^L
    const bool raw = options.rawOnly || bits.bytes.size() >= size;
    if (raw) stored[b].assign(values.begin() + start, values.begin() + start + size);
    else stored[b] = std::move(bits.bytes);
    file.blockSizes.push_back(static_cast<u32>(stored[b].size()));
    file.blockRaw.push_back(raw);
  }

  BitWriter header;
  std::string banner = options.banner;
  banner.resize(58, ' ');
  for (char c : banner) header.put(static_cast<u8>(c), 8);
  header.put('\r', 8);
  header.put('\n', 8);
  header.put(0, 32);
  header.put(0, 32);  // H, filled in below
  header.put(0, 16);
  header.put(L, 8);
  header.put(24, 8);
  header.put(n, 32);
  header.put(0x004001F5, 32);
  for (u32 b = 0; b < n; ++b) {
    header.put(0, 32);
    header.put(Crc32(stored[b].data(), static_cast<i32>(stored[b].size())), 32);
  }
  file.fieldsAt = static_cast<u32>(header.bitCount / 8);
  const u32 mask = blockSize - 1;
  for (u32 b = 0; b < n; ++b) header.put(file.blockSizes[b] & mask, L);
  header.put((total - u64{n - 1} * blockSize) & mask, L);
  for (u32 d : options.distances) header.put(d, L);
  header.alignToByte();
  header.bytes.resize(header.bitCount / 8);
  file.lengthsAt = static_cast<u32>(header.bitCount / 8);
  WriteCodeLengthStream(&header, lengths.data(), 1024, options.lengthStream);
  header.alignToByte();
  header.bytes.resize(header.bitCount / 8 + 4, 0);
  file.headerSize = static_cast<u32>(header.bytes.size());
  PutBigEndian32(header.bytes.data() + 64, file.headerSize);
  FixEmdHeaderChecksum(&header.bytes, file.headerSize);

  file.bytes = std::move(header.bytes);
  for (const std::vector<u8>& block : stored)
    file.bytes.insert(file.bytes.end(), block.begin(), block.end());
  return file;
}
