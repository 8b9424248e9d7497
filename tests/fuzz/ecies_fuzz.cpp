// ECIES and ECDH exports under input-chosen keys, plaintexts and capacities:
// a message encrypted to a key decrypts with it and with no changed byte,
// both sides of ECDH agree, and arbitrary messages and peer keys are refused
// or accepted without writing past a buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "crypto/ec/general/eccurve.h"
#include "crypto/ecdsa/ecdsa.h"
#include "tolvaris/bcm_ecies.h"

namespace {

void Check(bool ok) {
  if (!ok) abort();
}

constexpr unsigned char kGuard = 0xA5;

bool GuardIntact(const std::vector<unsigned char>& buf, size_t from) {
  for (size_t i = from; i < buf.size(); ++i)
    if (buf[i] != kGuard) return false;
  return true;
}

// Shared key of (pri, pub) with a guard behind the output; rc of the export.
int Share(uint32_t curve, const uint8_t* pri, const uint8_t* pub, int pubLen, int cap, unsigned char* out) {
  std::vector<unsigned char> buf(33 + 16, kGuard);
  int len = cap;
  const int rc = BCMGenECDHComputeShareKey(curve, pri, 32, pub, pubLen, buf.data(), &len);
  Check(GuardIntact(buf, static_cast<size_t>(cap < 0 ? 0 : cap)));
  Check(rc != 0 || (len == 33 && (buf[0] == 2 || buf[0] == 3)));
  if (rc == 0 && out != nullptr) std::memcpy(out, buf.data(), 33);
  return rc;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 68) return 0;
  const uint32_t curve = data[0] & 1u;
  const int slack = data[1] % 40 - 20;
  const uint8_t flip = data[2];
  const uint8_t* pri = data + 4;
  const uint8_t* eph = data + 36;
  const uint8_t* rest = data + 68;
  const int restLen = static_cast<int>(size - 68 > 4096 ? 4096 : size - 68);

  NXVT_PKC* pkc = GetPKCParam(curve);
  Check(pkc != nullptr);
  uint8_t pub[33], ephPub[33];
  uint32_t pubLen = 33, ephPubLen = 33;
  const bool priOk = NXVT_EC_GetCompPub(pri, 32, pkc, pub, &pubLen) == 0;
  const bool ephOk = NXVT_EC_GetCompPub(eph, 32, pkc, ephPub, &ephPubLen) == 0;
  NXVT_PKC_Free(pkc);

  if (priOk) {
    int needed = 0;
    Check(BCMGenECIESEncrypt(curve, rest, restLen, eph, 32, pub, 33, nullptr, &needed) == 0);
    Check(needed == 16 * (restLen / 16) + 113);
    std::vector<unsigned char> msg(static_cast<size_t>(needed) + 16, kGuard);
    int msgLen = needed;
    const int rc = BCMGenECIESEncrypt(curve, rest, restLen, eph, 32, pub, 33, msg.data(), &msgLen);
    Check(GuardIntact(msg, static_cast<size_t>(needed)));
    Check((rc == 0) == ephOk);
    if (rc == 0) {
      Check(msgLen == 16 * (restLen / 16 + 1) + 81);
      Check(std::memcmp(msg.data() + 16, ephPub, 33) == 0);
      std::vector<unsigned char> out(static_cast<size_t>(msgLen) + 16, kGuard);
      int outLen = msgLen;
      Check(BCMGenECIESDecrypt(curve, msg.data(), msgLen, pri, 32, out.data(), &outLen) == 0);
      Check(outLen == restLen && (restLen == 0 || std::memcmp(out.data(), rest, static_cast<size_t>(restLen)) == 0));
      Check(GuardIntact(out, static_cast<size_t>(msgLen)));
      msg[static_cast<size_t>(flip) * 7 % static_cast<size_t>(msgLen)] ^= static_cast<unsigned char>(1u << (flip & 7));
      outLen = msgLen;
      Check(BCMGenECIESDecrypt(curve, msg.data(), msgLen, pri, 32, out.data(), &outLen) != 0);
    }
  }
  if (priOk && ephOk) {
    unsigned char a[33], b[33];
    Check(Share(curve, pri, ephPub, 33, 33, a) == 0);
    Check(Share(curve, eph, pub, 33, 33, b) == 0);
    Check(std::memcmp(a, b, 33) == 0);
  }

  // Arbitrary bytes as a message under pri, with a capacity around its length.
  {
    const int cap = restLen + slack;
    std::vector<unsigned char> out(static_cast<size_t>(cap < 0 ? 0 : cap) + 16, kGuard);
    int outLen = cap;
    const int rc = BCMGenECIESDecrypt(curve, rest, restLen, pri, 32, out.data(), &outLen);
    Check(GuardIntact(out, static_cast<size_t>(cap < 0 ? 0 : cap)));
    Check(rc != 0 || (restLen >= 97 && outLen >= 0 && outLen < restLen - 81));
  }
  // Arbitrary bytes as a peer key, with a capacity of 32 or 33.
  for (int len : {33, 65}) {
    if (restLen < len) break;
    Share(curve, pri, rest, len, 33 - (slack & 1), nullptr);
  }
  return 0;
}
