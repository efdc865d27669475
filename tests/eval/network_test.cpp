#include "eval/network.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "network_fixture.h"

static std::unique_ptr<NnueNetwork> FreshNetwork() {
  auto network = std::make_unique<NnueNetwork>();
  std::memset(network.get(), 0, sizeof *network);
  return network;
}

// Each faulty file, the exit status and the exact message; a failed load leaves the target
// network untouched.
TEST(LoadNetwork, FailureTable) {
  const auto weights = RandomFileWeights(1);
  const std::vector<u8> good = BuildWeightFile(*weights);
  auto header = [&](std::function<void(NnueFileHeader*)> change) {
    NnueFileHeader h;
    change(&h);
    return BuildWeightFile(*weights, h);
  };
  struct Case {
    const char* name;
    std::vector<u8> image;
    const char* message;  // %s stands for the path
  };
  const std::vector<u8> short1(good.begin(), good.end() - 1);
  std::vector<u8> flippedWeight = good;
  flippedWeight[NnueHeaderSize + 12345] ^= 0x10;
  std::vector<u8> flippedOutput = good;
  flippedOutput[NnueOutputWeightOffset + 3] ^= 0x01;
  std::vector<u8> flippedBias = good;
  flippedBias[NnueFileSize - 1] ^= 0x80;
  std::vector<u8> flippedHash = good;
  flippedHash[NnueHashOffset + 7] ^= 0x01;
  std::vector<u8> badQaAndHash = header([](NnueFileHeader* h) { h->qa = 255; });
  badQaAndHash[NnueHeaderSize] ^= 1;
  const Case cases[] = {
      {"one byte short", short1, "NNUE: Datei '%s' zu klein (394275 Byte, erwartet 394276) !\r\n"},
      {"empty file", {}, "NNUE: Datei '%s' zu klein (0 Byte, erwartet 394276) !\r\n"},
      {"magic", header([](NnueFileHeader* h) { h->magic[3] = 'Q'; }),
       "NNUE: Magic passt nicht (erwartet 'KVAR') !\r\n"},
      {"version 0", header([](NnueFileHeader* h) { h->version = 0; }),
       "NNUE: unbekannte Format-Version 0 !\r\n"},
      {"version 3", header([](NnueFileHeader* h) { h->version = 3; }),
       "NNUE: unbekannte Format-Version 3 !\r\n"},
      {"architecture", header([](NnueFileHeader* h) { h->architecture = 2; }),
       "NNUE: unerwartete Architektur-ID 2 !\r\n"},
      {"feature set", header([](NnueFileHeader* h) { h->featureSet = 0; }),
       "NNUE: unerwartetes Feature-Set 0 !\r\n"},
      {"QA", header([](NnueFileHeader* h) { h->qa = 255; }), "NNUE: QA 255 != 181 !\r\n"},
      {"QB", header([](NnueFileHeader* h) { h->qb = 32; }), "NNUE: QB 32 != 64 !\r\n"},
      {"n_input", header([](NnueFileHeader* h) { h->inputs = 769; }),
       "NNUE: n_input 769 != 768 !\r\n"},
      {"n_hidden", header([](NnueFileHeader* h) { h->hidden = 512; }),
       "NNUE: n_hidden 512 != 256 !\r\n"},
      {"feature weight byte", flippedWeight, "NNUE: Gewichtshash passt nicht - Datei beschadigt ?\r\n"},
      {"output weight byte", flippedOutput, "NNUE: Gewichtshash passt nicht - Datei beschadigt ?\r\n"},
      {"bias byte", flippedBias, "NNUE: Gewichtshash passt nicht - Datei beschadigt ?\r\n"},
      {"hash byte", flippedHash, "NNUE: Gewichtshash passt nicht - Datei beschadigt ?\r\n"},
      // Checks run in file order: the first faulty field is the one reported.
      {"version before architecture", header([](NnueFileHeader* h) {
         h->version = 7;
         h->architecture = 9;
       }),
       "NNUE: unbekannte Format-Version 7 !\r\n"},
      {"magic before version", header([](NnueFileHeader* h) {
         h->magic[0] = 'k';
         h->version = 0;
       }),
       "NNUE: Magic passt nicht (erwartet 'KVAR') !\r\n"},
      {"n_input before n_hidden", header([](NnueFileHeader* h) {
         h->inputs = 0;
         h->hidden = 0;
       }),
       "NNUE: n_input 0 != 768 !\r\n"},
      {"header before hash", badQaAndHash, "NNUE: QA 255 != 181 !\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile file("failure.nnue");
    ASSERT_TRUE(file.Write(c.image));
    auto network = FreshNetwork();
    const NetworkLoadResult result = ReadNetwork(file.path.c_str(), network.get());
    char expected[512];
    std::snprintf(expected, sizeof expected, c.message, file.path.c_str());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.message, expected);
    EXPECT_EQ(network->loaded, 0);
    EXPECT_EQ(network->featureWeights[0][0], 0);
  }
}

TEST(LoadNetwork, MissingPathAndMissingFile) {
  auto network = FreshNetwork();
  NetworkLoadResult result = ReadNetwork("", network.get());
  EXPECT_EQ(result.status, 10);
  EXPECT_EQ(result.message,
            "nnue_path ist nicht gesetzt (tervik.ini) \u2014 ohne Netz gibt es keine Bewertung.\r\n");
  EXPECT_EQ(result.message.find("\xE2\x80\x94"), 41u);

  result = ReadNetwork("/nonexistent/dir/net.nnue", network.get());
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.message,
            "NNUE: Kann Gewichtsdatei '/nonexistent/dir/net.nnue' nicht oeffnen ! (nnue_path ?)\r\n");
  EXPECT_EQ(network->loaded, 0);
}

TEST(LoadNetwork, AcceptsVersionsOneAndTwoAndIgnoresTrailingBytes) {
  const auto weights = RandomFileWeights(2);
  for (u32 version : {1u, 2u}) {
    for (std::size_t extra : {std::size_t{0}, std::size_t{1}, std::size_t{5000}}) {
      SCOPED_TRACE(testing::Message() << "version " << version << " extra " << extra);
      NnueFileHeader h;
      h.version = version;
      std::vector<u8> image = BuildWeightFile(*weights, h);
      image.resize(image.size() + extra, 0xAB);
      TempFile file("good.nnue");
      ASSERT_TRUE(file.Write(image));
      auto network = FreshNetwork();
      const NetworkLoadResult result = ReadNetwork(file.path.c_str(), network.get());
      EXPECT_EQ(result.status, 0);
      EXPECT_EQ(result.message, "NNUE: geladen '" + file.path +
                                    "' (197121 Parameter, QA=181 QB=64, skalar)\r\n");
      EXPECT_EQ(network->loaded, 1);
      EXPECT_EQ(network->outputBias, weights->bias);
      EXPECT_EQ(network->outputWeights[0][17], weights->output[0][17]);
      EXPECT_EQ(network->outputWeights[1][255], weights->output[1][255]);
    }
  }
}

// The file's rows count squares rank by rank from each perspective's own side; the engine finds
// them through featureIndex by piece code and file-major square.
TEST(LoadNetwork, FeatureRowsReachEachPerspective) {
  auto weights = std::make_unique<NnueFileWeights>();
  std::memset(weights.get(), 0, sizeof *weights);
  for (int row = 0; row < NnueInputs; ++row) {
    weights->feature[row][0] = static_cast<i16>(row);
    weights->feature[row][255] = static_cast<i16>(-row);
  }
  auto network = FreshNetwork();
  const std::vector<u8> image = BuildWeightFile(*weights);
  ASSERT_EQ(ReadNetworkImage("t", image.data(), image.size(), network.get()).status, 0);
  const u32 e2 = MakeSquare(4, 1), e7 = MakeSquare(4, 6), g8 = MakeSquare(6, 7),
            g1 = MakeSquare(6, 0), a1 = 0, h8 = 63, c3 = MakeSquare(2, 2);
  struct Case {
    u32 perspective, piece, square;
    int fileRow;  // 64 * block + rank-major square from the perspective's side
  };
  const Case cases[] = {
      {White, WhitePawn, e2, 64 * 0 + 12},   // own pawn, e2 = 8 + 4
      {Black, BlackPawn, e7, 64 * 0 + 12},   // own pawn seen from Black: e7 is its e2
      {White, BlackPawn, e7, 64 * 6 + 52},   // opponent pawn on e7 = 48 + 4
      {Black, WhitePawn, e2, 64 * 6 + 52},
      {White, BlackKnight, g8, 64 * 7 + 62},
      {Black, WhiteKnight, g1, 64 * 7 + 62},
      {White, WhiteKing, a1, 64 * 5 + 0},
      {Black, BlackKing, a1 + 7, 64 * 5 + 0},  // a8 is Black's a1
      {White, BlackQueen, h8, 64 * 10 + 63},
      {Black, WhiteQueen, MakeSquare(7, 0), 64 * 10 + 63},
      {White, WhiteBishop, c3, 64 * 2 + 18},
      {Black, WhiteRook, c3, 64 * 9 + 42},   // c3 is c6 from Black's side: 40 + 2
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "perspective " << c.perspective << " piece " << c.piece
                                    << " square " << c.square);
    const i16* row = network->featureWeights[network->featureIndex[c.perspective][64 * c.piece + c.square]];
    EXPECT_EQ(row[0], c.fileRow);
    EXPECT_EQ(row[255], -c.fileRow);
  }
}

TEST(LoadNetworkDeathTest, ExitStatusesAndStandardError) {
  EXPECT_EXIT(LoadNetwork(""), testing::ExitedWithCode(10), "nnue_path ist nicht gesetzt");
  EXPECT_EXIT(LoadNetwork("/nonexistent/net.nnue"), testing::ExitedWithCode(1),
              "NNUE: Kann Gewichtsdatei '/nonexistent/net.nnue' nicht oeffnen");
}
