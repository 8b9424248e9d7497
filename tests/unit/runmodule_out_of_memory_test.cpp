// Running out of memory inside RunModule and the exports: every allocation
// made through operator new in turn is made to fail, and the answer must be
// the one given with memory enough or a failure, never a different success:
// a check ("verify", "valid") that ran out of memory is no verdict. A thread
// whose error trail cannot be allocated still runs its exports.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "actions_reply_testing.h"
#include "failing_new_testing.h"
#include "tolvaris/bcm_core.h"
#include "tolvaris/runmodule.h"
#include "trail/trail.h"

namespace {

struct Answer {
  int rc;
  bool reached;
  std::string envelope;
};

Answer SendFailing(const std::string& request, long k) {
  char* out = nullptr;
  int rc;
  bool reached;
  {
    const fnt::FailAt fail(k);
    rc = RunModule(request.c_str(), &out);
    reached = fnt::FailAt::Reached();
  }
  Answer a{rc, reached, out != nullptr ? out : ""};
  FreeMem(out);
  return a;
}

TEST(RunModuleOutOfMemory, ChecksThatRunOutOfMemoryAreFailuresNotVerdicts) {
  const char* const requests[] = {
      // A signature that holds and one that does not ("false" is a verdict
      // too) on each curve, the two mnemonic checks, and a signing.
      R"({"action":"VerifySignature","args":{"algo":"secp256k1","pub":"0x02fe17bf9bb1c29039a138bb68c0181709d973525eca023031764bbc9087aec3ce","data":"pay 0.01 to alice","hashalgo":"SHA256","sigr":"0x36b62cc08063fe31a9c30001e90cff0483ad8a8f67607057a1c3e612aafd33d8","sigs":"0x46cd84e9cbb34a8a5ff53a5646721a0a6778cf267b4fe1a304563fdecec1617d"}})",
      R"({"action":"VerifySignature","args":{"algo":"secp256k1","pub":"0x02fe17bf9bb1c29039a138bb68c0181709d973525eca023031764bbc9087aec3ce","data":"pay 0.02 to alice","hashalgo":"SHA256","sigr":"0x36b62cc08063fe31a9c30001e90cff0483ad8a8f67607057a1c3e612aafd33d8","sigs":"0x46cd84e9cbb34a8a5ff53a5646721a0a6778cf267b4fe1a304563fdecec1617d"}})",
      R"({"action":"VerifySignature","args":{"algo":"secp256r1","pub":"0x036e986a413883ac867f4f6175f6f05b0312af15ba0a97966ae11f8f3ea92a7c72","data":"abc","hashalgo":"SHA256","sigr":"0x00be8c0a7529009fc9236eb6daa8da8d441f6ec361de73b3f9a84a89964af92a9e","sigs":"0x7d5ef96ea6d70e5525f94e140d1e0e8ba70c06e9620fec1aa10eefb9963f93d5"}})",
      R"({"action":"VerifySignature","args":{"algo":"ed25519","pub":"0x1f64ee1fa529999c2e43c3384e66968693b7f2995ca6ab8e3b4619c67ebc60cd","data":"abc","sig":"0x1fa1e49a1abb06fd057b4be0e3451a3d54c36a978d1d6fde571d1680bd97344050672c2dddeb765c7b57dca0f5c00c54a7522e6b8ff57a1be15179cbfa668505"}})",
      R"({"action":"ChkMNemonicValid","args":{"mnemonic":"legal winner thank year wave sausage worth useful legal winner thank yellow"}})",
      R"({"action":"ChkMNemonicWordValid","args":{"word":"winner"}})",
      R"({"action":"GenSignature","args":{"algo":"secp256r1","pri":"0x141f2101ecd818c8e443f9e083b65939537def16b33ce62f0f5533b6161bb26d","data":"abc","hashalgo":"SHA256"}})",
  };
  for (const char* request : requests) {
    const actt::Reply reference = actt::Send(request);
    ASSERT_EQ(reference.rc, 0) << reference.envelope;
    long failures = 0;
    for (long k = 1;; ++k) {
      const Answer a = SendFailing(request, k);
      if (!a.reached) {
        EXPECT_EQ(a.envelope, reference.envelope);
        break;
      }
      ASSERT_FALSE(a.envelope.empty()) << k;
      if (a.rc == 0) {
        EXPECT_EQ(a.envelope, reference.envelope) << "allocation " << k;
      } else {
        ++failures;
        EXPECT_EQ(a.rc, 1203) << a.envelope;
        EXPECT_EQ(actt::ParseStrict(a.envelope)["result"].asString(), "fail") << a.envelope;
      }
    }
    EXPECT_GT(failures, 0) << request;
  }
}

TEST(RunModuleOutOfMemory, AThreadWithoutATrailRunsItsExports) {
  char last[64] = {};
  bool noMemory = false;
  int rc = -1;
  unsigned char md[32] = {};
  std::thread([&] {
    // No allocation succeeds on this thread: it has no trail.
    const fnt::FailAt fail(1, true);
    int len = sizeof md;
    rc = BCMGenHashMessage(1, reinterpret_cast<const unsigned char*>("abc"), 3, md, &len);
    std::strncpy(last, BCMGetLastErr(), sizeof last - 1);
    noMemory = ErrTrailNoMemory();
  }).join();
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(md[0], 0xba);  // SHA-256("abc")
  EXPECT_STREQ(last, "[][][(error trail memory allocation failed)]");
  EXPECT_TRUE(noMemory);
}

}  // namespace
