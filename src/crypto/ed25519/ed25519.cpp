// Ed25519, Ed25519ctx and Ed25519ph signatures (RFC 8032) over the twisted
// Edwards curve -x^2 + y^2 = 1 + d x^2 y^2 in extended coordinates.
#include "crypto/ed25519/ed25519.h"

#include <cstring>

#include "crypto/ct_check.h"
#include "crypto/ed25519/ed25519_mult.h"
#include "platform/memory.h"

namespace {

// floor(2^512 / L), little-endian.
const unsigned char kMu[33] = {0x1b, 0x13, 0x2c, 0x0a, 0xa3, 0xe5, 0x9c, 0xed, 0xa7, 0x29, 0x63,
                               0x08, 0x5d, 0x21, 0x06, 0x21, 0xeb, 0xff, 0xff, 0xff, 0xff, 0xff,
                               0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x0f};

const char kDom2Tag[] = "SigEd25519 no Ed25519 collisions";  // 32 bytes, no terminator hashed

// out = a - b over n bytes; returns the borrow (1 when a < b).
uint32_t SubBorrow(unsigned char* out, const unsigned char* a, const unsigned char* b, size_t n) {
  uint32_t borrow = 0;
  for (size_t i = 0; i < n; ++i) {
    uint32_t d = static_cast<uint32_t>(a[i]) - b[i] - borrow;
    out[i] = static_cast<unsigned char>(d);
    borrow = (d >> 8) & 1;
  }
  return borrow;
}

// ---- SHA-512 over the streaming digest layer ----

bool HashInit(NXVT_DIGEST_CTX* c) { return NXVT_Digest_Init(c, &NXVT_SHA512_DESC) == 0; }

void HashUpdate(NXVT_DIGEST_CTX* c, const unsigned char* p, size_t n) { DigestUpdateAll(c, p, n); }

bool HashFinal(NXVT_DIGEST_CTX* c, unsigned char out[64]) {
  int32_t len = 64;
  NXVT_Digest_Final(out, &len, c);
  return len == 64;
}

bool Sha512(NXVT_DIGEST_CTX* c, const unsigned char* p, size_t n, unsigned char out[64]) {
  if (!HashInit(c)) return false;
  HashUpdate(c, p, n);
  return HashFinal(c, out);
}

// dom2(phflag, context) for Ed25519ctx/Ed25519ph; nothing for plain Ed25519.
void HashDom2(NXVT_DIGEST_CTX* c, const unsigned char* ctx, size_t ctxLen, uint8_t prehash) {
  if (ctx == nullptr && prehash == 0) return;
  unsigned char head[34];
  std::memcpy(head, kDom2Tag, 32);
  head[32] = prehash;
  head[33] = static_cast<unsigned char>(ctxLen);  // checked to be at most 255
  HashUpdate(c, head, sizeof head);
  if (ctx != nullptr) HashUpdate(c, ctx, ctxLen);
}

// Argument rules shared by signing and verification.
bool ArgsOk(const unsigned char* msg, size_t msgLen, const unsigned char* ctx, size_t ctxLen, uint8_t prehash) {
  if (msg == nullptr && msgLen != 0) return false;
  if (ctx == nullptr && ctxLen != 0) return false;
  if (ctxLen > NXVT_ED25519_MAX_CTX_LEN) return false;
  if (prehash > 1) return false;
  return true;
}

// h = SHA-512(priv) with the scalar half clamped.
bool HashKey(NXVT_ED_SIGN_WORK* w, const unsigned char* priv) {
  if (!Sha512(&w->dctx, priv, NXVT_ED25519_KEY_LEN, w->h)) return false;
  w->h[0] &= 248;
  w->h[31] = static_cast<unsigned char>((w->h[31] & 63) | 64);
  return true;
}

// HashKey, then a = encode([s]B).
bool ExpandKey(NXVT_ED_SIGN_WORK* w, const unsigned char* priv) {
  if (!HashKey(w, priv)) return false;
  Ed25519_MulBaseEncode(w->a, w->h);
  return true;
}

}  // namespace

// ---- Scalars ----

void NXVT_Ed25519_CondCopy(unsigned char* out, const unsigned char* a, const unsigned char* b, size_t n,
                           uint32_t flag) {
  unsigned char mask = static_cast<unsigned char>(0u - (flag & 1u));
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<unsigned char>((a[i] & ~mask) | (b[i] & mask));
}

uint32_t NXVT_Ed25519_ScalarAdd(unsigned char* out, const unsigned char* a, const unsigned char* b) {
  uint32_t c = 0;
  for (size_t i = 0; i < 32; ++i) {
    c += static_cast<uint32_t>(a[i]) + b[i];
    out[i] = static_cast<unsigned char>(c);
    c >>= 8;
  }
  return c;
}

namespace {

using u64 = uint64_t;
using u128 = unsigned __int128;

void LoadLimbs(u64* out, const unsigned char* in, size_t limbs) {
  for (size_t i = 0; i < limbs; ++i) {
    u64 w = 0;
    for (int b = 7; b >= 0; --b) w = (w << 8) | in[8 * i + static_cast<size_t>(b)];
    out[i] = w;
  }
}

void StoreLimbs(unsigned char* out, const u64* in, size_t limbs) {
  for (size_t i = 0; i < limbs; ++i) {
    for (int b = 0; b < 8; ++b) out[8 * i + static_cast<size_t>(b)] = static_cast<unsigned char>(in[i] >> (8 * b));
  }
}

// r = a * b (na + nb limbs); r must not overlap a or b.
void MulLimbs(u64* r, const u64* a, size_t na, const u64* b, size_t nb) {
  for (size_t i = 0; i < na + nb; ++i) r[i] = 0;
  for (size_t i = 0; i < na; ++i) {
    u64 carry = 0;
    for (size_t j = 0; j < nb; ++j) {
      const u128 t = static_cast<u128>(a[i]) * b[j] + r[i + j] + carry;
      r[i + j] = static_cast<u64>(t);
      carry = static_cast<u64>(t >> 64);
    }
    r[i + nb] = carry;
  }
}

// r = a - b over n limbs; returns the borrow (1 when a < b).
u64 SubLimbs(u64* r, const u64* a, const u64* b, size_t n) {
  u64 borrow = 0;
  for (size_t i = 0; i < n; ++i) {
    const u128 t = static_cast<u128>(a[i]) - b[i] - borrow;
    r[i] = static_cast<u64>(t);
    borrow = static_cast<u64>(t >> 64) & 1;
  }
  return borrow;
}

}  // namespace

void NXVT_Ed25519_ScalarMul(unsigned char* lo, unsigned char* hi, const unsigned char* a, const unsigned char* b,
                            size_t n) {
  if (n % 8 == 0 && n <= 64) {
    // Whole 64-bit limbs: the common 32-byte case.
    struct {
      u64 a[8], b[8], t[16];
    } w;
    const size_t limbs = n / 8;
    LoadLimbs(w.a, a, limbs);
    LoadLimbs(w.b, b, limbs);
    MulLimbs(w.t, w.a, limbs, w.b, limbs);
    if (lo != nullptr) StoreLimbs(lo, w.t, limbs);
    if (hi != nullptr) StoreLimbs(hi, w.t + limbs, limbs);
    Wipe(&w, sizeof w);
    return;
  }
  unsigned char local[128];
  SecureBytes heap;
  unsigned char* t = local;
  if (2 * n > sizeof local) {
    heap.resize(2 * n);
    t = heap.data();
  }
  std::memset(t, 0, 2 * n);
  for (size_t i = 0; i < n; ++i) {
    uint32_t c = 0;
    for (size_t j = 0; j < n; ++j) {
      c += static_cast<uint32_t>(a[i]) * b[j] + t[i + j];  // at most 65535
      t[i + j] = static_cast<unsigned char>(c);
      c >>= 8;
    }
    t[i + n] = static_cast<unsigned char>(c);
  }
  if (lo != nullptr) std::memcpy(lo, t, n);
  if (hi != nullptr) std::memcpy(hi, t + n, n);
  Wipe(local, sizeof local);
}

void NXVT_Ed25519_ReduceL(unsigned char* out, const unsigned char* in) {
  // Barrett reduction in radix 2^64 with k = 4 limbs: q = ((x >> 192) mu)
  // >> 320, r = (x - q L) mod 2^320, which is below 3L; two masked
  // subtractions finish. mu = floor(2^512 / L).
  struct {
    u64 x[8], mu[5], l[5], q3[10], r2[9], r[5], t[5];
    unsigned char muBytes[40], lBytes[40];
  } w = {};
  LoadLimbs(w.x, in, 8);
  std::memcpy(w.muBytes, kMu, sizeof kMu);
  std::memcpy(w.lBytes, NXVT_ED25519_ORDER, sizeof NXVT_ED25519_ORDER);
  LoadLimbs(w.mu, w.muBytes, 5);
  LoadLimbs(w.l, w.lBytes, 5);
  MulLimbs(w.q3, w.x + 3, 5, w.mu, 5);
  MulLimbs(w.r2, w.q3 + 5, 5, w.l, 4);
  SubLimbs(w.r, w.x, w.r2, 5);
  for (int round = 0; round < 2; ++round) {
    const u64 keep = 0 - SubLimbs(w.t, w.r, w.l, 5);
    for (int i = 0; i < 5; ++i) w.r[i] = (w.r[i] & keep) | (w.t[i] & ~keep);
  }
  StoreLimbs(out, w.r, 4);
  Wipe(&w, sizeof w);
}

// ---- Keys, signing, verification ----

int NXVT_Ed25519_GetPubWork(NXVT_ED_SIGN_WORK* w, const unsigned char* priv, unsigned char* pub) {
  ScopedWipe wipe(w, sizeof *w);
  if (priv == nullptr || pub == nullptr) return NXVT_ED25519_FAIL;
  if (!ExpandKey(w, priv)) return NXVT_ED25519_FAIL;
  std::memcpy(pub, w->a, 32);
  return 0;
}

int NXVT_Ed25519_GetPub(const unsigned char* priv, unsigned char* pub) {
  NXVT_ED_SIGN_WORK w;
  return NXVT_Ed25519_GetPubWork(&w, priv, pub);
}

int NXVT_Ed25519_SignWork(NXVT_ED_SIGN_WORK* w, unsigned char* sig, const unsigned char* priv,
                          const unsigned char* pub, const unsigned char* msg, size_t msgLen,
                          const unsigned char* ctx, size_t ctxLen, uint8_t prehash) {
  ScopedWipe wipe(w, sizeof *w);
  if (sig == nullptr || priv == nullptr) return NXVT_ED25519_FAIL;
  if (!ArgsOk(msg, msgLen, ctx, ctxLen, prehash)) return NXVT_ED25519_FAIL;

  const unsigned char* m = msg;
  size_t mLen = msgLen;
  if (prehash == 1) {
    if (!Sha512(&w->dctx, msg, msgLen, w->ph)) return NXVT_ED25519_FAIL;
    m = w->ph;
    mLen = sizeof w->ph;
  }

  // The public key is always the one of this private key. Signing under any
  // other A would hand out two signatures with the same nonce r and different
  // challenges, from which the secret scalar follows.
  if (!HashKey(w, priv)) return NXVT_ED25519_FAIL;

  // r = SHA-512(dom2 || prefix || M) mod L; A = encode([s]B) and
  // R = encode([r]B) together, for one inversion.
  if (!HashInit(&w->dctx)) return NXVT_ED25519_FAIL;
  HashDom2(&w->dctx, ctx, ctxLen, prehash);
  HashUpdate(&w->dctx, w->h + 32, 32);
  HashUpdate(&w->dctx, m, mLen);
  if (!HashFinal(&w->dctx, w->r)) return NXVT_ED25519_FAIL;
  NXVT_Ed25519_ReduceL(w->r, w->r);
  unsigned char rEnc[32];
  Ed25519_MulBaseEncode2(w->a, w->h, rEnc, w->r);
  CtDeclassify(w->a, 32);  // the public key, compared with the caller's
  if (pub != nullptr) {
    unsigned char diff = 0;
    for (size_t i = 0; i < 32; ++i) diff = static_cast<unsigned char>(diff | (w->a[i] ^ pub[i]));
    if (diff != 0) return NXVT_ED25519_FAIL;
  }

  // k = SHA-512(dom2 || R || A || M) mod L.
  if (!HashInit(&w->dctx)) return NXVT_ED25519_FAIL;
  HashDom2(&w->dctx, ctx, ctxLen, prehash);
  HashUpdate(&w->dctx, rEnc, 32);
  HashUpdate(&w->dctx, w->a, 32);
  HashUpdate(&w->dctx, m, mLen);
  if (!HashFinal(&w->dctx, w->k)) return NXVT_ED25519_FAIL;
  NXVT_Ed25519_ReduceL(w->k, w->k);

  // S = (r + k s) mod L: both addends are below L, so one masked subtraction
  // of L brings the sum below L.
  NXVT_Ed25519_ScalarMul(w->ks, w->ks + 32, w->k, w->h, 32);
  NXVT_Ed25519_ReduceL(w->ks, w->ks);
  NXVT_Ed25519_ScalarAdd(w->sum, w->r, w->ks);
  uint32_t borrow = SubBorrow(w->diff, w->sum, NXVT_ED25519_ORDER, 32);
  // The output is written last, so sig may overlap the message or the keys.
  std::memcpy(sig, rEnc, 32);
  NXVT_Ed25519_CondCopy(sig + 32, w->diff, w->sum, 32, borrow);
  return 0;
}

int NXVT_Ed25519_Sign(unsigned char* sig, const unsigned char* priv, const unsigned char* pub,
                      const unsigned char* msg, size_t msgLen, const unsigned char* ctx, size_t ctxLen,
                      uint8_t prehash) {
  NXVT_ED_SIGN_WORK w;
  return NXVT_Ed25519_SignWork(&w, sig, priv, pub, msg, msgLen, ctx, ctxLen, prehash);
}

int NXVT_Ed25519_Verify(const unsigned char* sig, const unsigned char* pub, const unsigned char* msg,
                        size_t msgLen, const unsigned char* ctx, size_t ctxLen, uint8_t prehash) {
  if (sig == nullptr || pub == nullptr) return NXVT_ED25519_FAIL;
  if (!ArgsOk(msg, msgLen, ctx, ctxLen, prehash)) return NXVT_ED25519_FAIL;

  NXVT_DIGEST_CTX dctx;
  ScopedWipe wipeCtx(dctx);
  unsigned char ph[64];
  const unsigned char* m = msg;
  size_t mLen = msgLen;
  if (prehash == 1) {
    if (!Sha512(&dctx, msg, msgLen, ph)) return NXVT_ED25519_FAIL;
    m = ph;
    mLen = sizeof ph;
  }

  // S must be below L; A must decode.
  unsigned char tmp[32];
  uint32_t sBelowL = SubBorrow(tmp, sig + 32, NXVT_ED25519_ORDER, 32);

  unsigned char k[64];
  if (!HashInit(&dctx)) return NXVT_ED25519_FAIL;
  HashDom2(&dctx, ctx, ctxLen, prehash);
  HashUpdate(&dctx, sig, 32);
  HashUpdate(&dctx, pub, 32);
  HashUpdate(&dctx, m, mLen);
  if (!HashFinal(&dctx, k)) return NXVT_ED25519_FAIL;
  NXVT_Ed25519_ReduceL(k, k);

  // encode([S]B - [k]A) must equal R byte for byte.
  unsigned char enc[32] = {};
  const uint32_t aOk = Ed25519_DoubleMulEncodeVartime(enc, sig + 32, k, pub) ? 1u : 0u;
  unsigned char diff = 0;
  for (size_t i = 0; i < 32; ++i) diff = static_cast<unsigned char>(diff | (enc[i] ^ sig[i]));
  uint32_t same = aOk && diff == 0 ? 1u : 0u;
  return (sBelowL & aOk & same) ? 0 : NXVT_ED25519_FAIL;
}
