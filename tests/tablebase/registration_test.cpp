// Registration of table files: the directory list, the three names of a file, the exact
// lengths, the result by the most men, the material tree, and a second call.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <vector>

#include "tablebase/block_cache.h"
#include "tablebase/descriptors.h"
#include "tablebase/emd_encoder.h"
#include "tablebase/registration.h"
#include "tablebase/tb_file_support.h"

namespace {

TablebaseDescriptor& Row(const char* name) {
  for (TablebaseDescriptor& row : TablebaseDescriptorTable)
    if (std::strcmp(row.name, name) == 0) return row;
  ADD_FAILURE() << "no row " << name;
  return TablebaseDescriptorTable[0];
}

std::vector<u8> PatternValues(u64 size, u32 seed) {
  std::vector<u8> values(size);
  for (u64 i = 0; i < size; ++i) values[i] = static_cast<u8>(PatternValue(i, seed));
  return values;
}

// A file of the row side in one of its forms: "plain", "emd" (name.nbw.emd) or "emd2"
// (namenbw.emd), of the exact length plus `extra` values.
void WriteTable(const std::string& directory, const char* row, int side, const std::string& form,
                i64 extra = 0) {
  const u64 size = static_cast<u64>(Row(row).positions[side] + extra);
  const std::string plain = directory + "/" + PatternTableName(row, side);
  if (form == "plain") {
    ASSERT_TRUE(WritePatternTable(plain, size, 1));
    return;
  }
  std::string name = plain + ".emd";
  if (form == "emd2") name.erase(name.size() - 8, 1);
  ASSERT_TRUE(WriteBytesToFile(name, EncodeEmd(PatternValues(size, 1)).bytes));
}

// Every registered row side as "row side" -> path.
std::map<std::string, std::string> Registered() {
  std::map<std::string, std::string> out;
  for (int id = 1; id < TbRowCount; ++id)
    for (int side = 0; side < 2; ++side)
      if (!TablebaseDescriptorTable[id].filePath[side].empty())
        out[std::string(TablebaseDescriptorTable[id].name) + (side ? " b" : " w")] =
            TablebaseDescriptorTable[id].filePath[side];
  return out;
}

struct FileSpec {
  const char* directory;  // "" = the working directory
  const char* row;
  int side;
  const char* form;
};

struct PathCase {
  const char* name;
  std::vector<FileSpec> files;
  const char* path;
  std::map<std::string, std::string> expected;
};

TEST(TablebaseRegistration, DirectoryListAndFileNames) {
  const PathCase cases[] = {
      {"empty path: the working directory", {{"", "kqk", 0, "plain"}}, "", {{"kqk w", "kqk.nbw"}}},
      {"first directory wins",
       {{"A", "knk", 0, "plain"}, {"B", "knk", 0, "plain"}, {"B", "kbk", 0, "plain"}},
       "A;B",
       {{"knk w", "A/knk.nbw"}, {"kbk w", "B/kbk.nbw"}}},
      {"final separator adds the working directory",
       {{"A", "krk", 0, "plain"}, {"", "krk", 0, "plain"}, {"", "krk", 1, "plain"}},
       "A;",
       {{"krk w", "A/krk.nbw"}, {"krk b", "krk.nbb"}}},
      {"two separators: an empty directory between",
       {{"", "kqk", 1, "plain"}, {"B", "kqk", 0, "plain"}, {"B", "kqk", 1, "plain"}},
       "A::B",
       {{"kqk b", "kqk.nbb"}, {"kqk w", "B/kqk.nbw"}}},
      {"comma separates", {{"B", "kpk", 1, "plain"}}, "A,B", {{"kpk b", "B/kpk.nbb"}}},
      {"sides from different directories and forms",
       {{"A", "krk", 0, "plain"}, {"B", "krk", 1, "emd"}},
       "A;B",
       {{"krk w", "A/krk.nbw"}, {"krk b", "B/krk.nbb.emd"}}},
      {"name.nbw.emd before namenbw.emd",
       {{"", "kpk", 0, "emd"}, {"", "kpk", 0, "emd2"}},
       "",
       {{"kpk w", "kpk.nbw.emd"}}},
      {"namenbb.emd last", {{"", "kbk", 1, "emd2"}}, "", {{"kbk b", "kbknbb.emd"}}},
      {"plain before compressed",
       {{"", "knk", 0, "plain"}, {"", "knk", 0, "emd"}},
       "",
       {{"knk w", "knk.nbw"}}},
  };
  for (const PathCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDirectory root;
    root.make("A");
    root.make("B");
    for (const FileSpec& f : c.files)
      WriteTable(*f.directory ? root / f.directory : root.path, f.row, f.side, f.form);
    WorkingDirectory cwd(root.path);
    EXPECT_EQ(InitTablebases(c.path), 3);
    EXPECT_EQ(Registered(), c.expected);
    for (int id = 1; id < TbRowCount; ++id) {
      for (int side = 0; side < 2; ++side) {
        const TablebaseDescriptor& row = TablebaseDescriptorTable[id];
        const std::string& path = row.filePath[side];
        EXPECT_EQ(row.cacheBuckets[side] != nullptr, !path.empty());
        EXPECT_EQ(row.decoder[side] != nullptr, path.size() > 4 && path.ends_with(".emd"));
      }
    }
  }
  InitTablebases("/nonexistent");
}

TEST(TablebaseRegistration, ResultIsTheMostMen) {
  ScratchDirectory root;
  WorkingDirectory cwd(root.path);
  EXPECT_EQ(InitTablebases(""), 0);
  WriteTable(root.path, "kqk", 1, "plain");
  EXPECT_EQ(InitTablebases(""), 3);
  ASSERT_TRUE(WriteSparseFile(root / "kpkp.nbw", Row("kpkp").positions[0]));
  EXPECT_EQ(InitTablebases(""), 4);
  ASSERT_TRUE(WriteSparseFile(root / "kqqkq.nbb", Row("kqqkq").positions[1]));
  EXPECT_EQ(InitTablebases(""), 5);
  std::remove((root / "kqk.nbb").c_str());
  std::remove((root / "kpkp.nbw").c_str());
  EXPECT_EQ(InitTablebases(""), 5);
  EXPECT_EQ(InitTablebases("/nonexistent"), 0);
}

TEST(TablebaseRegistration, MaterialTree) {
  ScratchDirectory root;
  WriteTable(root.path, "knk", 0, "plain");
  ASSERT_TRUE(WriteSparseFile(root / "kpkp.nbb", Row("kpkp").positions[1]));
  ASSERT_EQ(InitTablebases(root.path), 4);
  //                         P  N  B  R  Q  p  n  b  r  q
  const u32 whiteKnight[] = {0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
  const u32 blackKnight[] = {0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
  const u32 pawnEach[] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0};
  const u32 fourPawns[] = {4, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(LookupPieceCountTree(whiteKnight), 2);
  EXPECT_EQ(LookupPieceCountTree(blackKnight), -2);
  EXPECT_EQ(LookupPieceCountTree(pawnEach), -6);
  EXPECT_EQ(PieceCountTreeSlot(fourPawns), nullptr);

  TablebaseDescriptor tooMany{};
  std::strcpy(tooMany.name, "kppppk");
  tooMany.id = 111;
  EXPECT_EQ(RegisterTablebase(&tooMany), 0);
  InitTablebases("/nonexistent");
}

TEST(TablebaseRegistration, SecondCallForgetsTheFirst) {
  ScratchDirectory root;
  const std::string a = root.make("A"), b = root.make("B");
  WriteTable(a, "kqk", 0, "plain");
  WriteTable(a, "krk", 0, "emd");
  WriteTable(b, "krk", 0, "plain");
  ASSERT_EQ(InitTablebases(a), 3);
  EXPECT_EQ(Registered().size(), 2u);
  ASSERT_EQ(InitTablebases(b), 3);
  EXPECT_EQ(Registered(), (std::map<std::string, std::string>{{"krk w", b + "/krk.nbw"}}));
  EXPECT_EQ(Row("krk").decoder[0], nullptr);
  EXPECT_EQ(Row("kqk").cacheBuckets[0], nullptr);
  InitTablebases("/nonexistent");
}

// Fatal: the message on standard output (sent to standard error here so the death test sees
// it) and status 1.
struct FatalCase {
  const char* name;
  std::function<void(const std::string&)> write;
  const char* message;
};

TEST(TablebaseRegistrationDeathTest, BadFilesEndTheProcess) {
  const u32 count = Row("kqk").positions[0];
  auto emd = [](std::function<void(EmdFile*)> edit, EmdEncoderOptions options = {}) {
    return [edit, options](const std::string& dir) {
      EmdFile file = EncodeEmd(PatternValues(Row("kqk").positions[0], 1), options);
      edit(&file);
      ASSERT_TRUE(WriteBytesToFile(dir + "/kqk.nbw.emd", file.bytes));
    };
  };
  EmdEncoderOptions small;
  small.log2BlockSize = 12;
  const FatalCase cases[] = {
      {"plain one byte long",
       [](const std::string& dir) { WriteTable(dir, "kqk", 0, "plain", 1); }, "\\*\\*\\* kqk.nbw corrupted\n"},
      {"plain one byte short",
       [](const std::string& dir) { WriteTable(dir, "kqk", 0, "plain", -1); }, "\\*\\*\\* kqk.nbw corrupted\n"},
      {"plain 2^32 bytes long",
       [count](const std::string& dir) { ASSERT_TRUE(WriteSparseFile(dir + "/kqk.nbw", (u64{1} << 32) + count)); },
       "\\*\\*\\* kqk.nbw corrupted\n"},
      {"compressed one value long",
       [](const std::string& dir) { WriteTable(dir, "kqk", 0, "emd", 1); }, "\\*\\*\\* kqk.nbw.emd corrupted\n"},
      {"compressed with a bad banner", emd([](EmdFile* f) { f->bytes[0] = 1; }),
       "\\*\\*\\* Unable to read kqk.nbw.emd - read error\n"},
      {"compressed with a bad checksum", emd([](EmdFile* f) { f->bytes[f->headerSize - 1] ^= 4; }),
       "\\*\\*\\* Unable to read kqk.nbw.emd - file broken\n"},
      {"compressed blocks of 4096", emd([](EmdFile*) {}, small),
       "\\*\\*\\* kqk.nbw.emd: Unsupported block size 4096\n"},
  };
  for (const FatalCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDirectory root;
    c.write(root.path);
    WorkingDirectory cwd(root.path);
    EXPECT_EXIT(
        {
          dup2(STDERR_FILENO, STDOUT_FILENO);
          InitTablebases("");
        },
        testing::ExitedWithCode(1), c.message);
  }
}

}  // namespace
