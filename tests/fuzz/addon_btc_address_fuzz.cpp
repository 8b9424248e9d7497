// The Bitcoin-family address and redeem-script decoders on arbitrary input.
// The first byte chooses the coin (low three bits) and the decoder (bit 7:
// redeem script, else address); the rest is the address text or the script.
// Neither crashes; what they accept is well formed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "btc/params.h"
#include "btc/script.h"
#include "common/error_chain.h"
#include "common/json_io.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::string& input) {
  std::fprintf(stderr, "%s: %s\n", what, input.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const char* const kCoins[] = {"btc", "ltc", "btg", "bch", "bsv", "btc", "ltc", "bch"};
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  ResetErrTrail();
  if (data[0] & 0x80) {
    const Bytes script(rest.begin(), rest.end());
    std::vector<Bytes> keys;
    int n = 0, m = 0;
    if (GetRedeemInfo(script, keys, n, m) == 0) {
      if (n < 1 || n > 16 || m < 1 || m > n || keys.size() != static_cast<size_t>(n)) Fail("redeem counts", rest);
      for (const Bytes& k : keys)
        if (k.size() != keys[0].size() || (k.size() != 33 && k.size() != 65)) Fail("redeem key", rest);
    }
    return 0;
  }
  Json::Value coinSpec;
  if (GetCoinSpec(coinSpec, kCoins[data[0] & 7]) != 0) Fail("coin parameters", rest);
  Json::Value output(Json::objectValue);
  output["dest"] = rest;
  try {
    if (MakeScriptPub(output, coinSpec) != 0) return 0;
  } catch (...) {
    return 0;  // a "dest" with a NUL character is refused by name
  }
  const std::string type = GetJsonStr(output["addrtype"]);
  const size_t script = GetJsonStr(output["scriptpub"]).size();
  const size_t hash = GetJsonStr(output["keyhash"]).size();
  const bool p2pkh = type.rfind("P2PKH", 0) == 0 && script == 2 + 2 * 25 && hash == 2 + 2 * 20;
  const bool p2sh = type.rfind("P2SH", 0) == 0 && script == 2 + 2 * 23 && hash == 2 + 2 * 20;
  const bool p2wpkh = type == "P2WPKH" && script == 2 + 2 * 22 && hash == 2 + 2 * 20;
  const bool p2wsh = type == "P2WSH" && script == 2 + 2 * 34 && hash == 2 + 2 * 32;
  if (!p2pkh && !p2sh && !p2wpkh && !p2wsh) Fail("accepted output", rest);
  return 0;
}
