// Shamir share actions through RunModule: split and recover round trips for
// vector mnemonics, how the "sssms" array is joined for the export, counts
// that must fail cleanly, and the error objects of bad requests.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "actions_reply_testing.h"
#include "tv_test.h"

// No block of this test program may exceed 64 MB: a reply buffer sized from
// a huge share count then fails as an allocation error instead of quietly
// taking gigabytes.
constexpr size_t kAllocCap = size_t{64} << 20;
[[gnu::noinline]] void* operator new(size_t n) {
  if (n > kAllocCap) throw std::bad_alloc();
  if (void* p = std::malloc(n != 0 ? n : 1)) return p;
  throw std::bad_alloc();
}
// The library's new (std::nothrow) too, so that its blocks come from the
// same heap as the delete below frees them into (a sanitizer runtime
// brings its own).
[[gnu::noinline]] void* operator new(size_t n, const std::nothrow_t&) noexcept {
  try {
    return ::operator new(n);
  } catch (...) {
    return nullptr;
  }
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

using actt::CoreErr;
using actt::ExpectReply;

const char kSplit[] = "ConvMasterMNemonicToSSSMNemonic";
const char kJoin[] = "ConvSSSMNemonicToMasterMNemonic";
const std::string kAbout =
    "abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon about";

size_t WordCount(const std::string& text) {
  std::istringstream in(text);
  size_t n = 0;
  for (std::string w; in >> w;) ++n;
  return n;
}

std::string SplitArgs(const std::string& mnemonic, const std::string& total, const std::string& need) {
  return R"({"mnemonic":")" + mnemonic + R"(","totalssscnt":")" + total + R"(","needssscnt":")" + need + "\"}";
}

std::string Quoted(const std::vector<std::string>& items) {
  std::string s;
  for (const std::string& i : items) s += (s.empty() ? "\"" : ",\"") + i + "\"";
  return s;
}

// Splits through the action, checks the whole reply, and returns the shares.
std::vector<std::string> Split(const std::string& mnemonic, const std::string& total, const std::string& need,
                               size_t count) {
  const actt::Reply r = actt::Send(std::string(R"({"action":")") + kSplit + R"(","args":)" +
                                   SplitArgs(mnemonic, total, need) + "}");
  EXPECT_EQ(r.rc, 0) << r.envelope;
  const Json::Value list = actt::ParseStrict(r.envelope)["return"]["sssms"];
  std::vector<std::string> shares;
  for (const Json::Value& s : list) shares.push_back(s.asString());
  EXPECT_EQ(shares.size(), count);
  const std::string echo = SplitArgs(mnemonic, total, need);
  EXPECT_EQ(r.envelope, actt::Envelope(kSplit, true,
                                       echo.substr(0, echo.size() - 1) + R"(,"sssms":[)" + Quoted(shares) + "]}"));
  for (const std::string& s : shares) EXPECT_EQ(WordCount(s), WordCount(mnemonic) + 3) << s;
  return shares;
}

void ExpectJoin(const std::vector<std::string>& shares, const std::string& mnemonic) {
  const std::string list = "[" + Quoted(shares) + "]";
  ExpectReply(kJoin, R"({"sssms":)" + list + "}", 0, R"({"sssms":)" + list + R"(,"mnemonic":")" + mnemonic + "\"}");
}

TEST(ShamirActions, SplitAndRecoverVectorMnemonics) {
  const Json::Value vectors = tvt::ReadJson(tvt::VectorPath("bip39-vectors.json"))["english"];
  // 12, 18 and 24 words; entropies of all ones have no prime above them.
  for (int i : {0, 1, 5, 9, 12, 13, 14, 20}) {
    const std::string mnemonic = vectors[i][1].asString();
    SCOPED_TRACE(mnemonic);
    const std::vector<std::string> s = Split(mnemonic, "0x5", "3", 5);
    ExpectJoin({s[0], s[1], s[2]}, mnemonic);
    ExpectJoin({s[4], s[2], s[0]}, mnemonic);
    ExpectJoin({s[1], s[3], s[4]}, mnemonic);
  }
  // The largest share set of the longest mnemonic fills the share buffer most.
  const std::string longest = vectors[14][1].asString();
  const std::vector<std::string> s = Split(longest, "10", "2", 10);
  ExpectJoin({s[9], s[3]}, longest);
}

TEST(ShamirActions, ArrayElementsAreJoinedInOrder) {
  const std::vector<std::string> s = Split(kAbout, "5", "3", 5);
  const std::string join1179 = "[BCMConvSSSMnemonicToMasterMnemonic][BCMConvSSSMnemonicToMasterMnemonic:1179][(bc-"
                               "module GetSSS_Secret error)]";
  const std::string err = R"(,"err_msg":")" + CoreErr("BCMConvSSSMnemonicToMasterMnemonic", join1179) + "\"}";
  // Elements that are no strings count as empty; leading empty ones leave no
  // separator, so these three shares still recover.
  ExpectReply(kJoin, R"({"sssms":[5,"",")" + s[0] + R"(",")" + s[1] + R"(",")" + s[2] + R"("]})", 0,
              R"({"sssms":["","",)" + Quoted({s[0], s[1], s[2]}) + R"(],"mnemonic":")" + kAbout + "\"}");
  // A later empty element is an empty share between two separators.
  ExpectReply(kJoin, R"({"sssms":[")" + s[0] + R"(",{},")" + s[1] + R"(",")" + s[2] + R"("]})", 647,
              R"({"err_code":"647","sssms":[")" + s[0] + R"(","",)" + Quoted({s[1], s[2]}) + "]" + err);
  // Fewer, more or repeated shares than the split asked for.
  for (const std::vector<std::string>& set : std::vector<std::vector<std::string>>{
           {s[0], s[1]}, {s[0], s[1], s[2], s[3]}, {s[0], s[0], s[1]}}) {
    ExpectReply(kJoin, R"({"sssms":[)" + Quoted(set) + "]}", 647,
                R"({"err_code":"647","sssms":[)" + Quoted(set) + "]" + err);
  }
  ExpectReply(kJoin, R"({"sssms":[]})", 647, R"({"err_code":"647","sssms":[])" + err);
  // Without an array there is nothing to echo and no export is called.
  for (const char* args : {R"({"sssms":"x;y"})", R"({"sssms":{}})", R"({"sssms":null})", "{}", "[]", R"("sssms")"})
    ExpectReply(kJoin, args, 622, R"({"err_code":"622"})");
}

TEST(ShamirActions, BadSplitRequestsFailCleanly) {
  const std::string label = "BCMConvMasterMnemonicToSSSMnemonic";
  // The echo of a split request with its "err_msg" pair.
  auto splitErr = [&](const std::string& mnemonic, const std::string& total, const std::string& need,
                      const std::string& trail) {
    const std::string echo = SplitArgs(mnemonic, total, need);
    return R"({"err_code":"593",)" + echo.substr(1, echo.size() - 2) + R"(,"err_msg":")" + CoreErr(label, trail) +
           "\"}";
  };
  auto counts = [&](int total, int need) {
    return "[" + label + "][" + label + ":1109][(SSS Total Cnt[" + std::to_string(total) +
           " must bigger than Need Cnt[" + std::to_string(need) + " must bigger than 2] and smaller than [10]])]";
  };
  const std::string create1121 = "[" + label + "][" + label + ":1121][(bc-module Create_SSS error)]";
  const struct {
    std::string mnemonic, total, need, trail;
  } cases[] = {
      // Share counts far beyond what the export takes give its count message,
      // not a buffer sized from them (308 x 2^31-1 wraps a 32-bit int, and
      // 308 x 6972000 is a 2 GB allocation).
      {kAbout, "2147483647", "3", counts(2147483647, 3)},
      {kAbout, "0x7fffffff", "3", counts(2147483647, 3)},
      {kAbout, "6972000", "3", counts(6972000, 3)},
      {kAbout, "11", "3", counts(11, 3)},
      {kAbout, "5", "6", counts(5, 6)},
      {kAbout, "", "2", counts(0, 2)},
      // No shares, or negative counts: still a buffer, never a size query.
      {kAbout, "0", "0", create1121},
      {kAbout, "5", "1", create1121},
      {"abandon", "3", "2",
       "[" + label + "][GetMnemonicInfo:305<-CheckMnemonicValidate:603<-" + label +
           ":1115][(mnemonic check ( mnemonic count not allowed [1] words ))<-(Mnemonic is invald [<hidden>])]"},
      {"zoo zoo zoo zoo zoo zoo zoo zoo zoo zoo zoo wrong", "5", "3",
       "[" + label + "][" + label +
           ":1121][(SSS secret is not below any prime of its size)<-(bc-module Create_SSS error)]"},
  };
  for (const auto& c : cases)
    ExpectReply(kSplit, SplitArgs(c.mnemonic, c.total, c.need), 593, splitErr(c.mnemonic, c.total, c.need, c.trail));
  // A count no 32-bit number holds is refused before anything is echoed.
  ExpectReply(kSplit, SplitArgs(kAbout, "99999999999", "3"), 100,
              R"({"err_code":"100","err_msg":"number is out of range"})");
  // Counts outside the number convention are refused, not read as 0.
  ExpectReply(kSplit, SplitArgs(kAbout, "abc", "3"), 100, R"({"err_code":"100","err_msg":"totalssscnt is not a number"})");
  ExpectReply(kSplit, SplitArgs(kAbout, "5", "-1"), 100, R"({"err_code":"100","err_msg":"needssscnt is not a number"})");
}

}  // namespace
