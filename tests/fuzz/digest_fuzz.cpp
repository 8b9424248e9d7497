// Drives the digests, HMAC, PBKDF2 and scrypt with arbitrary ids, lengths,
// capacities and splits: one-shot and streamed results must agree, short
// buffers must never be overrun, and no parameter may crash. Every build of
// SHA-512 and of the Keccak permutation the processor can run must give the
// portable code's bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "crypto/cpu_features.h"
#include "crypto/hash/digest.h"
#include "crypto/hash/hmac.h"
#include "crypto/hash/keccak.h"
#include "crypto/kdf/pbkdf2.h"
#include "crypto/kdf/scrypt.h"
#include "tolvaris/bcm_core.h"
#include "tolvaris/bcm_kdf.h"

namespace {

void Check(bool ok) {
  if (!ok) abort();
}

struct Reader {
  const uint8_t* p;
  size_t n;
  uint32_t U32() {
    uint32_t v = 0;
    for (int i = 0; i < 4 && n > 0; ++i, ++p, --n) v = (v << 8) | *p;
    return v;
  }
  uint8_t U8() {
    if (n == 0) return 0;
    --n;
    return *p++;
  }
};

// SHA-512, HMAC-SHA512 and the four Keccak digests of the message, SHA-512
// of the message repeated to 32 blocks and more (long runs of block pairs
// with an odd block or none after them, which the fuzzer's lengths reach
// late), and the permutation of a state that starts with the message.
std::vector<unsigned char> HashOutputs(const uint8_t* msg, size_t len, size_t keyLen) {
  std::vector<unsigned char> out;
  unsigned char d[64];
  if (len > 0) {
    std::vector<unsigned char> tiled(4096 + len % 1024);
    for (size_t i = 0; i < tiled.size(); ++i) tiled[i] = msg[i % len];
    int32_t n = sizeof d;
    Check(DoDigest(kHashSha512, tiled.data(), static_cast<uint32_t>(tiled.size()), d, &n) == 0);
    out.insert(out.end(), d, d + n);
  }
  for (HashId id : {kHashSha512, kHashKeccak224, kHashKeccak256, kHashKeccak384, kHashKeccak512}) {
    int32_t n = sizeof d;
    Check(DoDigest(id, msg, static_cast<uint32_t>(len), d, &n) == 0);
    out.insert(out.end(), d, d + n);
  }
  int32_t n = sizeof d;
  Check(DoHMAC(kHashSha512, msg, static_cast<int32_t>(keyLen), msg + keyLen, static_cast<uint32_t>(len - keyLen), d,
               &n) == 0);
  out.insert(out.end(), d, d + n);
  unsigned char st[200] = {0};
  memcpy(st, msg, len < sizeof st ? len : sizeof st);
  NXVT_Keccak_F1600(st);
  out.insert(out.end(), st, st + sizeof st);
  return out;
}

// Output buffer of `cap` bytes with a guard region behind it.
struct Guarded {
  std::vector<unsigned char> buf;
  size_t cap;
  explicit Guarded(size_t c) : buf(c + 32, 0xA5), cap(c) {}
  void CheckGuard() const {
    for (size_t i = cap; i < buf.size(); ++i) Check(buf[i] == 0xA5);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in{data, size};
  const uint32_t id = in.U8() % 16;
  const int32_t cap = static_cast<int32_t>(in.U8() % 80) - 8;
  const uint32_t split = in.U32();
  const uint8_t* msg = in.p;
  const size_t msgLen = in.n;

  // DoDigest against the streaming layer cut at `split`.
  Guarded out(cap > 0 ? static_cast<size_t>(cap) : 0);
  int32_t len = cap;
  const int rc = DoDigest(id, msg, static_cast<uint32_t>(msgLen), out.buf.data(), &len);
  out.CheckGuard();
  Check(rc == 0 ? len == static_cast<int32_t>(GetDigestLen(id)) : len == cap);
  if (const NXVT_DIGEST_DESC* desc = DigestDescForId(id); rc == 0 && desc != nullptr) {
    NXVT_DIGEST_CTX ctx;
    Check(NXVT_Digest_Init(&ctx, desc) == 0);
    const size_t first = msgLen == 0 ? 0 : split % (msgLen + 1);
    NXVT_Digest_Update(&ctx, msg, static_cast<int32_t>(first));
    NXVT_Digest_Update(&ctx, msg + first, static_cast<int32_t>(msgLen - first));
    unsigned char s[64];
    int32_t sl = sizeof s;
    NXVT_Digest_Final(s, &sl, &ctx);
    Check(sl == len && memcmp(s, out.buf.data(), static_cast<size_t>(sl)) == 0);
  }

  // HMAC: key = first part, data = rest; DoHMAC against the streaming HMAC.
  const size_t keyLen = msgLen == 0 ? 0 : split % (msgLen + 1);
  Guarded mac(cap > 0 ? static_cast<size_t>(cap) : 0);
  int macLen = cap;
  const int mrc = BCMGenHMac(id, msg, static_cast<uint32_t>(keyLen), msg + keyLen,
                             static_cast<uint32_t>(msgLen - keyLen), mac.buf.data(), &macLen);
  mac.CheckGuard();
  if (const NXVT_DIGEST_DESC* desc = DigestDescForId(id); mrc == 0 && desc != nullptr) {
    NXVT_HMAC_CTX h;
    Check(NXVT_HMAC_Init(&h, msg, static_cast<int32_t>(keyLen), desc) == 0);
    NXVT_HMAC_Update(&h, msg + keyLen, msgLen - keyLen);
    unsigned char s[64];
    int32_t sl = sizeof s;
    NXVT_HMAC_Final(s, &sl, &h);
    Check(sl == macLen && memcmp(s, mac.buf.data(), static_cast<size_t>(sl)) == 0);
  }

  // The portable code against the dispatched build, the one without
  // AVX-512 and the SSSE3-only one (which takes the plain unrolled Keccak).
  {
    const size_t hmacKey = msgLen == 0 ? 0 : split % (msgLen + 1);
    NXVT_ForcePortableForTest(true);
    const std::vector<unsigned char> want = HashOutputs(msg, msgLen, hmacKey);
    NXVT_ForcePortableForTest(false);
    Check(HashOutputs(msg, msgLen, hmacKey) == want);
    NXVT_ForceNoAvx512ForTest(true);
    Check(HashOutputs(msg, msgLen, hmacKey) == want);
    NXVT_ForceSsse3OnlyForTest(true);
    Check(HashOutputs(msg, msgLen, hmacKey) == want);
    NXVT_ForcePortableForTest(false);
  }

  // The sponge with an arbitrary capacity and output size (bounded output).
  const int32_t capBits = static_cast<int32_t>(split);
  const int32_t outBits = static_cast<int32_t>(split >> 20) & 0xFFF;
  std::vector<unsigned char> sponge(static_cast<size_t>(outBits / 8) + 1);
  NXVT_Keccak_Hash(capBits, sponge.data(), msg, static_cast<int32_t>(msgLen), outBits);

  // PBKDF2 and scrypt: arbitrary parameters through the exports, work kept small.
  const std::string pw(reinterpret_cast<const char*>(msg), strnlen(reinterpret_cast<const char*>(msg), msgLen));
  const uint32_t dk = split % 100;
  Guarded kdf(cap > 0 ? static_cast<size_t>(cap) : 0);
  int kdfLen = cap;
  BCMGenPBKDF2(id, pw.c_str(), msg, static_cast<uint32_t>(msgLen), 1 + (split >> 28), dk, kdf.buf.data(), &kdfLen);
  kdf.CheckGuard();
  const int N = static_cast<int>(split >> 16) & 0x7F, r = static_cast<int>(split >> 8) & 3,
            p = static_cast<int>(split >> 12) & 3;
  int scLen = cap;
  BCMGenScrypt(pw.c_str(), msg, static_cast<int>(msgLen), N, r, p, dk, kdf.buf.data(), &scLen);
  kdf.CheckGuard();
  // The parameter checks alone, with arbitrary 32-bit values (size query only).
  Reader more{data, size};
  int q = 0;
  BCMGenScrypt("pw", msg, 0, static_cast<int>(more.U32()), static_cast<int>(more.U32()),
               static_cast<int>(more.U32()), more.U32(), nullptr, &q);
  return 0;
}
