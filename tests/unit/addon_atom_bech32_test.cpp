// Bech32 texts of the Cosmos prefixes, against the BIP-173 reference code
// that python3-bitcoinlib carries.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "atom/bech32.h"
#include "common/error_chain.h"
#include "tv_test.h"

namespace {

const char* const kPrefixes[] = {"cosmos1",    "cosmosvaloper1",    "cosmosvalcons1",
                                 "cosmospub1", "cosmosvaloperpub1", "cosmosvalconspub1"};

TEST(AtomBech32, MatchesReferenceEncoder) {
  tvt::TestRng rng(173);
  std::ostringstream in;
  std::vector<std::string> ours;
  // The payload sizes the add-on uses (20, 37, 38) and every other size up
  // to 50, empty included, under each prefix.
  for (int round = 0; round < 4; ++round) {
    for (size_t len = 0; len <= 50; ++len) {
      const std::string prefix = kPrefixes[rng.Below(6)];
      const tvt::Bytes payload = rng.RandBytes(len);
      std::string text;
      ResetErrTrail(true);
      ASSERT_EQ(GenerateATOMBech32Encode(prefix, payload, text), 0) << GetErrTrail();
      ours.push_back(text);
      in << prefix.substr(0, prefix.size() - 1) << ' ' << tvt::Hex(payload) << '\n';
    }
  }
  const std::string script = R"py(
import sys
from bitcoin.segwit_addr import bech32_encode, convertbits
for line in sys.stdin:
    parts = line.split()
    hrp = parts[0]
    data = bytes.fromhex(parts[1]) if len(parts) > 1 else b""
    print(bech32_encode(hrp, convertbits(data, 8, 5)))
)py";
  std::istringstream out(tvt::RunPython(script, in.str()));
  std::string line;
  size_t i = 0;
  while (std::getline(out, line)) {
    ASSERT_LT(i, ours.size());
    EXPECT_EQ(ours[i], line);
    ++i;
  }
  EXPECT_EQ(i, ours.size());
}

TEST(AtomBech32, ChecksumCoversThePrefix) {
  // 20 bytes give 32 data characters, the same under every prefix; only the
  // six checksum characters change with the prefix.
  const tvt::Bytes payload = tvt::Unhex("751e76e8199196d454941c45d1b3a323f1433bd6");
  std::string account, valoper;
  ASSERT_EQ(GenerateATOMBech32Encode("cosmos1", payload, account), 0);
  ASSERT_EQ(GenerateATOMBech32Encode("cosmosvaloper1", payload, valoper), 0);
  EXPECT_EQ(account, "cosmos1w508d6qejxtdg4y5r3zarvary0c5xw7k6ah60c");
  EXPECT_EQ(valoper, "cosmosvaloper1w508d6qejxtdg4y5r3zarvary0c5xw7klfr0rt");
  std::vector<unsigned char> sum;
  ASSERT_EQ(GenerateATOMBech32CheckSum("cosmos1", {}, sum), 0);
  EXPECT_EQ(sum.size(), 6u);
}

TEST(AtomBech32, RefusesOtherPrefixes) {
  for (const char* prefix : {"", "1", "cosmos", "bc1", "COSMOS1", "cosmos1x", "terra1", "cosmosvalconspub"}) {
    SCOPED_TRACE(prefix);
    std::string text = "unchanged";
    ResetErrTrail(true);
    EXPECT_EQ(GenerateATOMBech32Encode(prefix, tvt::Bytes(20, 1), text), 1);
    EXPECT_EQ(GetErrTrail(), "GenerateATOMBech32Encode:115[ToDo Add Detail Error Message!!]");
    std::vector<unsigned char> sum;
    ResetErrTrail(true);
    EXPECT_EQ(GenerateATOMBech32CheckSum(prefix, {1, 2, 3}, sum), 1);
    EXPECT_EQ(GetErrTrail(), "GenerateATOMBech32CheckSum:70[ToDo Add Detail Error Message!!]");
    EXPECT_TRUE(sum.empty());
  }
}

}  // namespace
