#include "eval/weight_file.h"

#include <gtest/gtest.h>

#include <cstring>

#include "network_fixture.h"

// Raw weights as a trainer writes them survive the trip through the writer unchanged, and the
// file is header + those bytes; a raw file of the wrong size is refused.
TEST(WeightFile, RawWeightsRoundTrip) {
  const auto weights = RandomFileWeights(3, 32767);
  const std::vector<u8> raw = SerializeWeights(*weights);
  ASSERT_EQ(raw.size(), NnueHashedBytes);
  auto back = std::make_unique<NnueFileWeights>();
  ASSERT_TRUE(ParseWeights(raw.data(), raw.size(), back.get()));
  EXPECT_EQ(std::memcmp(back.get(), weights.get(), sizeof *back), 0);

  const std::vector<u8> image = BuildWeightFile(*weights);
  ASSERT_EQ(image.size(), NnueFileSize);
  EXPECT_TRUE(std::equal(raw.begin(), raw.end(), image.begin() + NnueHeaderSize));
  EXPECT_EQ(std::memcmp(image.data(), "KVAR\x01\0\0\0\x01\0\0\0\x01\0\0\0\xb5\0\x40\0\0\x03\0\x01", 24), 0);

  EXPECT_FALSE(ParseWeights(raw.data(), raw.size() - 1, back.get()));
}
