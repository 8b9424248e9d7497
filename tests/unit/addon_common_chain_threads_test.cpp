// The add-on error chain is per thread: threads that fail at once, each with
// a message of its own, each read back only their own call's chain.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "common/entry.h"
#include "common/error_chain.h"
#include "common/json_io.h"

namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 500;

// Fails with the request's "tag" in its message.
int FailWithTag(Json::Value& args, const std::string&) {
  return Refuse("Tagged", 7, "tag " + GetJsonStr(args["tag"]));
}

const ActionRow kRows[] = {{"Tagged", FailWithTag, false, "Tagged Error", 9}};

int RunThread(int t) {
  const std::string request = R"({"action":"Tagged","args":{"tag":")" + std::to_string(t) + R"("}})";
  const std::string own = "Addon(Tagged:7[tag " + std::to_string(t) + "]<=RunModule_ATOM:9[Tagged Error])";
  int mismatches = 0;
  for (int i = 0; i < kRounds; ++i) {
    char* out = nullptr;
    if (RunAddonEntry(kAtomEntry, kRows, "Tagged", "atom", request.c_str(), &out) != 1 || out == nullptr) {
      ++mismatches;
    } else {
      Json::Value reply;
      if (!ParseJson(out, reply) || reply["error"]["err_msg"].asString().find(own) == std::string::npos)
        ++mismatches;
    }
    FreeAddonText(out);
  }
  return mismatches;
}

TEST(AddonChainThreads, EachThreadReadsItsOwnChain) {
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back([t, &mismatches] { mismatches += RunThread(t); });
  for (auto& th : threads) th.join();
  EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
