// Constant-time check of the add-ons' signer-key reading, run under
// valgrind: the wallet's "pri" text is marked secret once parsed, then
// GetSignerPri reads, checks and decodes it. Only its length and whether it
// was accepted are public.
#include <cstdio>
#include <string>

#include "common/error_chain.h"
#include "common/json_io.h"
#include "common/signer.h"
#include "crypto/ct_check.h"

namespace {

int Check(const std::string& wallet, int expected, size_t size) {
  Json::Value doc;
  if (!ParseJson(wallet, doc)) return 1;
  const char* begin = nullptr;
  const char* end = nullptr;
  doc["pri"].getString(&begin, &end);
  // The digits after "0x" are the secret.
  CtMarkSecret(begin + 2, static_cast<size_t>(end - begin - 2));
  ResetErrTrail();
  uint32_t algo = 0;
  Bytes pri;
  int rc = GetSignerPri(doc, algo, pri);
  CtDeclassify(&rc, sizeof rc);
  CtDeclassify(pri.data(), pri.size());
  if (rc != expected || pri.size() != size) {
    std::fprintf(stderr, "GetSignerPri gave %d (%zu bytes) for %s\n", rc, pri.size(), wallet.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main() {
  int failures = 0;
  failures += Check(R"({"pri":"0x0123456789abcdefABCDEF0f1e2d3c4b5a69788796a5b4c3d2e1f0aAbBcCdDeE"})", 0, 32);
  failures += Check(R"({"pri":"0x123456789abcdefABCDEF0f1e2d3c4b5a69788796a5b4c3d2e1f0aAbBcCdDeE","algo":"p256"})", 0, 32);
  // Refused texts are refused without a branch on which digit stood where.
  failures += Check(R"({"pri":"0x0123456789abcdefABCDEF0f1e2d3c4b5a69788796a5b4c3d2e1f0aAbBcCd"})", 1, 0);
  failures += Check(R"({"pri":"0x0123456789abcdefABCDEF0f1e2d3c4b5a69788796a5b4c3d2e1f0aAbBcCdDgE"})", 1, 0);
  std::printf("%s\n", failures == 0 ? "signer keys: ok" : "signer keys: FAILED");
  return failures == 0 ? 0 : 1;
}
