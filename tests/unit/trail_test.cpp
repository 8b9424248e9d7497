// The error trail and the frame's small exports: exact trail texts, chain
// limits, BCMGetLastErr's bound, BCMSwapBytes, BCMGetVer and BCMGenHashMessage.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "trail/trail.h"
#include "tolvaris/bcm_core.h"
#include "tv_test.h"

namespace {

using tvt::LastErr;

// Must stay the first test of this executable: nothing has opened the trail yet.
TEST(Trail, EmptyBeforeAnyExport) {
  EXPECT_EQ(LastErr(), "[][][]");
  EXPECT_EQ(LastErr(), "[][][]");  // reading does not change the trail
}

TEST(GenHashMessage, Cases) {
  const unsigned char msg[3] = {'a', 'b', 'c'};
  unsigned char out[64];
  int len = 64;
  ASSERT_EQ(BCMGenHashMessage(1, msg, 3, out, &len), 0);
  EXPECT_EQ(len, 32);
  EXPECT_EQ(tvt::Hex(out, 32), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(LastErr(), "[BCMGenHashMessage][][]");

  len = -7;
  EXPECT_EQ(BCMGenHashMessage(1, msg, 3, nullptr, &len), 0);
  EXPECT_EQ(len, 32);

  len = 63;
  EXPECT_EQ(BCMGenHashMessage(2, msg, 3, out, &len), 483);
  EXPECT_EQ(LastErr(), "[BCMGenHashMessage][BCMGenHashMessage:483][(buffer size[63] is lower than [64])]");
  EXPECT_EQ(len, 63);

  len = 64;
  EXPECT_EQ(BCMGenHashMessage(1, nullptr, 0, out, &len), 470);
  EXPECT_EQ(LastErr(), "[BCMGenHashMessage][BCMGenHashMessage:470][(param is NULL)]");
  EXPECT_EQ(BCMGenHashMessage(1, msg, 3, out, nullptr), 470);

  len = 64;
  EXPECT_EQ(BCMGenHashMessage(7, msg, 3, nullptr, &len), 0);
  EXPECT_EQ(len, 0);
  len = 64;
  EXPECT_EQ(BCMGenHashMessage(7, msg, 3, out, &len), 489);
  EXPECT_EQ(LastErr(), "[BCMGenHashMessage][DoDigest:164<-BCMGenHashMessage:489][(bc-vantrel DoDigest error)]");

  // A message length of 2^31 or more is refused by the digest, not read.
  len = 64;
  EXPECT_EQ(BCMGenHashMessage(11, msg, 0x80000000u, out, &len), 489);
  EXPECT_EQ(len, 64);

  // Every id answers its length.
  const struct {
    uint32_t id;
    int size;
  } sizes[] = {{1, 32}, {2, 64}, {3, 20}, {10, 28}, {11, 32}, {12, 48}, {13, 64}};
  for (const auto& s : sizes) {
    len = 0;
    EXPECT_EQ(BCMGenHashMessage(s.id, msg, 3, nullptr, &len), 0);
    EXPECT_EQ(len, s.size);
  }
}

TEST(SwapBytes, Cases) {
  unsigned char b[3] = {1, 2, 3};
  EXPECT_EQ(BCMSwapBytes(b, 3), 0);
  EXPECT_EQ(tvt::Hex(b, 3), "030201");
  EXPECT_EQ(LastErr(), "[BCMSwapBytes][][]");
  unsigned char even[4] = {1, 2, 3, 4};
  EXPECT_EQ(BCMSwapBytes(even, 4), 0);
  EXPECT_EQ(tvt::Hex(even, 4), "04030201");
  for (int n : {1, 0, -5}) {
    unsigned char c[3] = {1, 2, 3};
    EXPECT_EQ(BCMSwapBytes(c, n), 0);
    EXPECT_EQ(tvt::Hex(c, 3), "010203");
  }
  EXPECT_EQ(BCMSwapBytes(nullptr, 3), 43);
  EXPECT_EQ(LastErr(), "[BCMSwapBytes][BCMSwapBytes:43][(param is NULL)]");
}

TEST(SmallExports, VersionAndEndianLeaveTrailAlone) {
  BCMSwapBytes(nullptr, 1);
  const std::string before = LastErr();
  const char* v = BCMGetVer();
  EXPECT_STREQ(v, "DV_vqver_DV.DV_vqdev_DV");
  EXPECT_EQ(BCMGetVer(), v);
  EXPECT_EQ(BCMGetCurrentSystemEndian(), 1);  // x86-64
  EXPECT_EQ(LastErr(), before);
  EXPECT_EQ(BCMGetLastErr(), BCMGetLastErr());
}

TEST(Trail, LocationEntries) {
  SetErrFunc("Export");
  AddErrLocation(nullptr, "Inner", 12);
  AddErrLocation("src\\api\\wrapper.cpp", "Mid", 3);  // no "/": no file part
  AddErrLocation("/a/b/file.cpp", "Outer", -4);
  AddErrLocation(nullptr, nullptr, 9);
  EXPECT_STREQ(ErrTrailLocations(), "Inner:12<-Mid:3<-file.cpp:Outer:-4<-");
  EXPECT_EQ(LastErr(), "[Export][Inner:12<-Mid:3<-file.cpp:Outer:-4<-][]");

  // SetErrFunc empties both chains and replaces the name (cut to 63 characters).
  SetErrFunc(std::string(100, 'n').c_str());
  EXPECT_STREQ(ErrTrailFunc(), std::string(63, 'n').c_str());
  EXPECT_STREQ(ErrTrailLocations(), "");
  EXPECT_STREQ(ErrTrailMessages(), "");

  // An entry longer than its 256-byte work area is cut, not overrun.
  SetErrFunc("x");
  AddErrLocation(nullptr, std::string(400, 'f').c_str(), 1);
  EXPECT_EQ(strlen(ErrTrailLocations()), 255u);
}

// Fills the location chain to `total` characters (entries of at most 250).
// The trail is reopened under `name` first.
std::string FillLocations(size_t total, const std::string& name = "x") {
  SetErrFunc(name.c_str());
  std::string chain;
  while (chain.size() < total) {
    const size_t prefix = chain.empty() ? 0 : 2;
    const size_t entry = std::min<size_t>(250, total - chain.size());
    const std::string func(entry - prefix - 2, 'f');
    AddErrLocation(nullptr, func.c_str(), 7);
    chain += (prefix ? "<-" : "") + func + ":7";
  }
  EXPECT_EQ(std::string(ErrTrailLocations()), chain);
  return chain;
}

TEST(Trail, LocationChainDropsWhatDoesNotFit) {
  const std::string full = FillLocations(1020);
  AddErrLocation(nullptr, "a", 1);  // "<-a:1", five characters: 1025 > 1023
  EXPECT_EQ(std::string(ErrTrailLocations()), full);

  // 1018 characters leave room for exactly that five-character entry.
  const std::string almost = FillLocations(1018);
  AddErrLocation(nullptr, "a", 1);
  EXPECT_EQ(std::string(ErrTrailLocations()), almost + "<-a:1");
  AddErrLocation(nullptr, "b", 2);
  EXPECT_EQ(strlen(ErrTrailLocations()), 1023u);
}

TEST(Trail, MessageChainCutsAndDrops) {
  SetErrFunc("x");
  const std::string big(5000, 'm');
  AddErrMsg("%s", big.c_str());
  EXPECT_EQ(std::string(ErrTrailMessages()), "(" + std::string(1020, 'm') + ")");
  // A later entry has two characters less room ("<-").
  AddErrMsg("%s", big.c_str());
  EXPECT_EQ(strlen(ErrTrailMessages()), 1022u + 2 + 1 + 1018 + 1);
  // 2044 characters stand; a third entry of any size is dropped whole.
  AddErrMsg("z");
  EXPECT_EQ(strlen(ErrTrailMessages()), 2044u);
  AddErrMsg(nullptr);
  EXPECT_EQ(strlen(ErrTrailMessages()), 2044u);

  SetErrFunc("x");
  AddErrMsg("value %d and %s", 5, "text");
  AddErrMsg("second");
  EXPECT_EQ(LastErr(), "[x][][(value 5 and text)<-(second)]");
}

TEST(Trail, LastErrIsBoundedWhenEverythingIsFull) {
  FillLocations(1023, std::string(100, 'n'));
  ASSERT_EQ(strlen(ErrTrailFunc()), 63u);
  AddErrMsg("%s", std::string(1020, 'm').c_str());  // 1022
  AddErrMsg("%s", std::string(1015, 'm').c_str());  // + 1019
  AddErrMsg("ab");                                   // + 6 = 2047
  ASSERT_EQ(strlen(ErrTrailMessages()), 2047u);
  const std::string text = LastErr();  // 6 + 63 + 1023 + 2047 = 3139 characters, cut
  const std::string whole = std::string("[") + ErrTrailFunc() + "][" + ErrTrailLocations() + "][" + ErrTrailMessages() + "]";
  ASSERT_EQ(whole.size(), 3139u);
  EXPECT_EQ(text, whole.substr(0, 3135));
}

}  // namespace
