// AMO transactions against an independent model (tests/fixtures/amo_oracle.py:
// python3-ecdsa, python3-nacl, its own payload rules): every type, both
// algorithms, random keys and values, the whole signed text byte for byte.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "addon_amo_testing.h"

namespace {

std::string Oracle() { return tvt::ReadFile(tvt::FixturePath("amo_oracle.py")); }

TEST(AmoTransaction, GenTxEqualsTheIndependentModelForEveryType) {
  const std::string oracle = Oracle();
  std::istringstream generated(tvt::RunPython(oracle, "gen 20261210 4\n"));
  std::ostringstream check;
  check << "check\n";
  std::vector<std::string> requests;
  for (std::string line; std::getline(generated, line);) {
    const Json::Value txinfo = tvt::ParseJson(line);
    Json::Value args;
    args["txinfo"] = txinfo;
    const amot::Reply r = amot::Action("GenTx", args);
    ASSERT_EQ(r.rc, 0) << line << "\n" << r.text;
    ASSERT_TRUE(r.json.isObject()) << r.text;
    EXPECT_EQ(r.json["txinfo"], txinfo) << "the reply echoes the description";
    Json::Value item;
    item["txinfo"] = txinfo;
    item["tx"] = r.json["tx"];
    check << amot::Compact(item) << "\n";
    requests.push_back(line);
  }
  ASSERT_EQ(requests.size(), 20u * 2 * 4);
  std::istringstream verdicts(tvt::RunPython(oracle, check.str()));
  size_t i = 0;
  for (std::string verdict; std::getline(verdicts, verdict); ++i) {
    ASSERT_LT(i, requests.size());
    EXPECT_EQ(verdict, "ok") << requests[i];
  }
  EXPECT_EQ(i, requests.size());
}

}  // namespace
