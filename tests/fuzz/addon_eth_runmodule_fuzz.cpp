// RunModule_ETH on arbitrary requests: it never crashes, always answers,
// returns 0 or 1, and its reply is strict JSON in UTF-8 without repeated
// keys.
//
// An input that starts with the byte 0x01 is a second-step request instead:
// the next byte is a length n, the n bytes after it the "signature" (sent as
// "0x" hex), and the rest, split at its first line feed, the "recovery" text
// and the "unsignedtxinfo" text (the prepared one when empty) of a
// "GenSignedTx" whose other members match, so that the signature reading
// and verification are reached.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "command/json_check.h"
#include "command/text/text.h"

extern "C" int RunModule_ETH(const char* action, const char* addon, const char* request, char** out);
extern "C" int FreeMem_ETH(char* text);

namespace {

// GenUnsignedTx's answer for the EIP-155 example transaction with coin
// "etc" on the test network, signed by the key 0x46 x 32.
const char kUnsignedTxInfo[] =
    "eyJnYXNsaW1pdCI6IjIxMDAwIiwiZ2FzcHJpY2UiOiIyMDAwMDAwMDAwMCIsIm5vbmNlIjoiOSIsInRvIjoiMHgzNTM1MzUzNTM1MzUzNTM1MzUz"
    "NTM1MzUzNTM1MzUzNTM1MzUzNTM1IiwidmFsdWUiOiIweDBkZTBiNmIzYTc2NDAwMDAiLCJ3YWxsZXQiOnsicHViIjoiMHgwMjRiYzJhMzEyNjUx"
    "NTNmMDdlNzBlMGJhYjA4NzI0ZTZiODVlMjE3ZjhjZDYyOGNlYjYyOTc0MjQ3YmI0OTMzODIifX0=";
const char kPub[] = "0x024bc2a31265153f07e70e0bab08724e6b85e217f8cd628ceb62974247bb493382";
const char kHash[] = "0xac1329a19fb3a20eb8674b3e148a99cbb651cd813c4901fdb0be176dad10d27f";

std::string SignedTxRequest(const std::string& input) {
  const size_t n = input.empty() ? 0 : static_cast<unsigned char>(input[0]);
  const std::string sig = input.substr(input.empty() ? 0 : 1, n);
  const std::string rest = input.size() > 1 + n ? input.substr(1 + n) : "";
  const size_t a = rest.find('\n');
  const std::string recovery = rest.substr(0, a);
  std::string info = a == std::string::npos ? "" : rest.substr(a + 1);
  if (info.empty()) info = kUnsignedTxInfo;
  return std::string(R"({"action":"GenSignedTx","coin":"etc","args":{"network":"test","txinfo":{"unsignedtxinfo":")") +
         JsonEscape(info) + R"(","signinfos":[{"pubkey":")" + kPub + R"(","signaturehash":")" + kHash +
         R"(","signature":")" + BytesToHex(reinterpret_cast<const unsigned char*>(sig.data()), sig.size()) +
         R"(","recovery":")" + JsonEscape(recovery) + R"("}]}}})";
}

[[noreturn]] void Fail(const char* what, const std::string& request, const char* reply) {
  std::fprintf(stderr, "%s\nrequest: %s\nreply: %s\n", what, request.c_str(), reply ? reply : "(null)");
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string request(reinterpret_cast<const char*>(data), size);
  if (size > 0 && data[0] == 0x01) request = SignedTxRequest(request.substr(1));
  char* reply = nullptr;
  const int rc = RunModule_ETH("x", "eth", request.c_str(), &reply);
  if (reply == nullptr) Fail("no reply", request, reply);
  if (rc != 0 && rc != 1) Fail("unexpected code", request, reply);
  if (!IsStrictJson(reply)) Fail("not strict UTF-8 JSON", request, reply);
  if (FreeMem_ETH(reply) != 0) Fail("FreeMem_ETH", request, nullptr);
  return 0;
}
