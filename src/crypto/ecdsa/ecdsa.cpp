#include "crypto/ecdsa/ecdsa.h"

#include <cstring>
#include <new>
#include <type_traits>

#include "crypto/ct_check.h"
#include "crypto/ec/ec256.h"
#include "crypto/hash/hmac.h"
#include "platform/memory.h"
#include "trail/trail.h"
#include "crypto/random.h"

// The table operations fit the slots of the signing object's method table.
static_assert(std::is_same_v<decltype(&NXVT_ECDSA_Sign), decltype(NXVT_PKC_METHOD::sign)>);
static_assert(std::is_same_v<decltype(&NXVT_ECDSA_Verify), decltype(NXVT_PKC_METHOD::verify)>);
static_assert(std::is_same_v<decltype(&NXVT_ECDSA_GenKeyPair), decltype(NXVT_PKC_METHOD::genKeyPair)>);
static_assert(std::is_same_v<decltype(&NXVT_ECDSA_CheckKeyPair), decltype(NXVT_PKC_METHOD::checkKeyPair)>);

namespace {

// Deterministic signing gives up after this many rejected candidates (the
// chance of even one rejection is about 2^-128 on secp256k1, 2^-32 on P-256).
constexpr uint32_t kMaxCandidates = 64;
// The table signer redraws at most this often.
constexpr uint32_t kMaxDraws = 64;

bool Below(const NXVT_BN* a, const NXVT_BN* m) { return NXVT_BN_Cmp(a, m) == -2; }

// a in 1 .. m - 1.
bool InRange(const NXVT_BN* a, const NXVT_BN* m) { return !NXVT_BN_IsZero(a) && Below(a, m); }

bool CurveUsable(const NXVT_EC_CURVE* c) { return c && c->id != -1 && c->n && c->p && c->G && !NXVT_BN_IsZero(c->n); }

// r = a * b mod m.
bool ModMul(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b, const NXVT_BN* m) {
  NXVT_BN t;
  ScopedWipe wipeT(t);
  if (NXVT_BN_Mul(&t, a, b) != 0 || NXVT_BN_Mod(&t, m) != 0) return false;
  *r = t;
  return true;
}

// The 32 big-endian bytes of a (zero-filled in front); false when a needs
// more than 32 bytes.
bool ToBytes32(uint8_t* out, const NXVT_BN* a) { return NXVT_BN_ToFixedBytes(out, 32, a) == 0; }

// z of a digest: its bytes as a big-endian integer, cut to the bit length of n.
void DigestToZ(NXVT_BN* z, const uint8_t* digest, uint32_t len, const NXVT_BN* n) {
  NXVT_BN_FromBytes(z, digest, static_cast<int32_t>(len));
  NXVT_BN_Normalize(z);
  const uint32_t nbits = NXVT_BN_BitLen(n);
  if (8 * len > nbits) NXVT_BN_ShrBits(z, 8 * len - nbits);
}

// P = the affine point (public by now), Z = 1.
void StoreAffine(NXVT_EC_POINT* P, const Ec256Point& a) {
  NXVT_BN_FromBytes(P->X, a.x, 32);
  NXVT_BN_FromBytes(P->Y, a.y, 32);
  NXVT_BN_Normalize(P->X);
  NXVT_BN_Normalize(P->Y);
  P->Z->words[0] = 1;
  P->Z->count = 1;
}

// The secret temporaries of one signature, wiped as a whole.
struct SignWork {
  NXVT_BN d, k, kinv, z, r, s, t;
  uint8_t nonce[32];
  uint8_t hash[32];
};

// R = k*G in affine form, r = X mod n. 0, 1 when r = 0 (next candidate), -1
// for a failed or degenerate multiplication.
int32_t Commit(NXVT_EC_POINT* kG, NXVT_BN* r, const NXVT_BN* k, NXVT_EC_CURVE* curve) {
  if (NXVT_EC_Point_MultSecret(kG, k, curve->G, curve) != 0) return -1;
  if (NXVT_EC_Point_ToAffine(kG, kG, curve) != 0) return -1;
  if (NXVT_EC_Point_IsInfinity(kG) || NXVT_BN_IsZero(kG->X) || NXVT_BN_IsZero(kG->Y)) return -1;
  *r = *kG->X;
  if (NXVT_BN_Mod(r, curve->n) != 0) return -1;
  return NXVT_BN_IsZero(r) ? 1 : 0;
}

// s = k^-1 (z + r d) mod n as 32 bytes, in constant time (k and d are
// secret); s is half of the signature and public once computed.
void SignatureS(const Ec256Curve* c, uint8_t s[32], const Ec256Scalar* k, const Ec256Scalar* r,
                const Ec256Scalar* d, const Ec256Scalar* z) {
  Ec256Scalar t, kinv;
  Ec256_ScalarMul(c, &t, r, d);
  Ec256_ScalarAdd(c, &t, &t, z);
  Ec256_ScalarInv(c, &kinv, k);
  Ec256_ScalarMul(c, &t, &kinv, &t);
  Ec256_ScalarToBytes(s, &t);
  Wipe(&t, sizeof t);
  Wipe(&kinv, sizeof kinv);
  CtDeclassify(s, 32);  // s is half of the signature
}

// s = k^-1 (z + r d) mod n for the records of the table signer.
bool ComputeS(SignWork& w, const NXVT_EC_CURVE* curve) {
  const Ec256Curve* c = Ec256_Of(curve);
  if (c == nullptr) return false;
  for (const NXVT_BN* v : {&w.k, &w.r, &w.d, &w.z}) {
    if (v->count > 8) return false;
  }
  struct {
    Ec256Scalar k, r, d, z;
    uint8_t s[32];
  } x;
  ScopedWipe wipeX(x);
  Ec256_ScalarFromWords(c, &x.k, w.k.words, w.k.count);
  Ec256_ScalarFromWords(c, &x.r, w.r.words, w.r.count);
  Ec256_ScalarFromWords(c, &x.d, w.d.words, w.d.count);
  Ec256_ScalarFromWords(c, &x.z, w.z.words, w.z.count);
  SignatureS(c, x.s, &x.k, &x.r, &x.d, &x.z);
  NXVT_BN_FromBytes(&w.s, x.s, 32);
  NXVT_BN_Normalize(&w.s);
  return true;
}

// A record of at most 256 significant bits (its words above the eighth, if
// any, are zero).
bool Fits256(const NXVT_BN* a) { return a->count <= 8 || NXVT_BN_BitLen(a) <= 256; }

// u2*Q + u1*G with u1 = z/s, u2 = r/s; 0 when its X mod n equals r, -1 when
// not or degenerate, or the double multiplication's code. r and s are in
// 1..n-1 and Q is a finite point of the curve (the callers check both).
int32_t CheckRS(const NXVT_BN* r, const NXVT_BN* s, const NXVT_BN* z, const NXVT_EC_POINT* Q, NXVT_EC_CURVE* curve) {
  const Ec256Curve* c = Ec256_Of(curve);
  if (c != nullptr && Fits256(r) && Fits256(s) && Fits256(z)) {
    // Public data throughout: the dedicated arithmetic compares r with the
    // sum's x without making it affine.
    const uint32_t nr = r->count < 8 ? r->count : 8, ns = s->count < 8 ? s->count : 8;
    const uint32_t nz = z->count < 8 ? z->count : 8;
    Ec256Scalar rs, ss, zs, w, u1, u2;
    Ec256_ScalarFromWords(c, &rs, r->words, nr);
    Ec256_ScalarFromWords(c, &ss, s->words, ns);
    Ec256_ScalarFromWords(c, &zs, z->words, nz);
    Ec256_ScalarInvVartime(c, &w, &ss);
    Ec256_ScalarMul(c, &u1, &zs, &w);
    Ec256_ScalarMul(c, &u2, &rs, &w);
    uint8_t x[32], y[32];
    OwnedPoint A;
    if (!A.ok() || NXVT_EC_Point_ToAffine(A.get(), Q, curve) != 0) return -1;
    if (!ToBytes32(x, A.get()->X) || !ToBytes32(y, A.get()->Y)) return -1;
    return Ec256_VerifyXVartime(c, &u1, &u2, x, y, &rs) ? 0 : -1;
  }
  struct {
    NXVT_BN w, u1, u2, x;
  } v;
  ScopedWipe wipeV(v);
  const NXVT_BN* n = curve->n;
  if (NXVT_BN_ModInv(&v.w, s, n) != 0) return -1;
  if (!ModMul(&v.u1, z, &v.w, n) || !ModMul(&v.u2, r, &v.w, n)) return -1;
  OwnedPoint P;
  if (!P.ok()) return -1;
  const int32_t rc = NXVT_EC_Point_DualMult(P.get(), &v.u2, Q, &v.u1, curve);
  if (rc != 0) return rc;
  if (NXVT_EC_Point_ToAffine(P.get(), P.get(), curve) != 0) return -1;
  if (NXVT_EC_Point_IsInfinity(P.get()) || NXVT_BN_IsZero(P.get()->X) || NXVT_BN_IsZero(P.get()->Y)) return -1;
  v.x = *P.get()->X;
  if (NXVT_BN_Mod(&v.x, n) != 0) return -1;
  return NXVT_BN_Cmp(&v.x, r) == 0 ? 0 : -1;
}

// ctx = HMAC key K; out = HMAC_K(V || sep || x || h), the last three optional.
void HmacStep(NXVT_HMAC_CTX* ctx, uint8_t* out, const uint8_t* K, const uint8_t* V, const uint8_t* sep,
              const uint8_t* x, const uint8_t* h) {
  NXVT_HMAC_Init(ctx, K, 32, &NXVT_SHA256_DESC);
  NXVT_HMAC_Update(ctx, V, 32);
  if (sep) NXVT_HMAC_Update(ctx, sep, 1);
  if (x) NXVT_HMAC_Update(ctx, x, 32);
  if (h) NXVT_HMAC_Update(ctx, h, 32);
  int32_t len = 32;
  NXVT_HMAC_Final(out, &len, ctx);
}

}  // namespace

int32_t NXVT_ECDSA_RFC6979Nonce(uint8_t* k, uint32_t* kLen, const uint8_t* priv, uint32_t privLen,
                                const uint8_t* hash, uint32_t hashLen, uint32_t counter) {
  if (!k || !kLen || !priv || !hash || hashLen != kEcdsaHashLen || *kLen < 32) return -1;
  struct {
    NXVT_HMAC_CTX ctx;
    uint8_t V[32], K[32], x[32];
  } w;
  ScopedWipe wipeW(w);
  std::memset(&w, 0, sizeof w);
  if (privLen < 32) {
    std::memcpy(w.x + (32 - privLen), priv, privLen);
  } else {
    std::memcpy(w.x, priv, 32);
  }
  const uint8_t zero = 0x00, one = 0x01;
  std::memset(w.V, 0x01, 32);
  HmacStep(&w.ctx, w.K, w.K, w.V, &zero, w.x, hash);
  HmacStep(&w.ctx, w.V, w.K, w.V, nullptr, nullptr, nullptr);
  HmacStep(&w.ctx, w.K, w.K, w.V, &one, w.x, hash);
  HmacStep(&w.ctx, w.V, w.K, w.V, nullptr, nullptr, nullptr);
  HmacStep(&w.ctx, w.V, w.K, w.V, nullptr, nullptr, nullptr);
  for (uint32_t c = 0; c < counter; ++c) {
    HmacStep(&w.ctx, w.K, w.K, w.V, &zero, nullptr, nullptr);
    HmacStep(&w.ctx, w.V, w.K, w.V, nullptr, nullptr, nullptr);
    HmacStep(&w.ctx, w.V, w.K, w.V, nullptr, nullptr, nullptr);
  }
  std::memcpy(k, w.V, 32);
  *kLen = 32;
  return 0;
}

int32_t NXVT_ECDSA_FormatSig(const NXVT_EC_POINT* kG, const NXVT_BN* r, NXVT_BN* s, uint32_t keepS,
                             const NXVT_EC_CURVE* curve, uint8_t* R, uint32_t* RLen, uint8_t* S, uint32_t* SLen,
                             uint32_t* recid) {
  if (!kG || !kG->X || !kG->Y || !kG->Z || !r || !s || !CurveUsable(curve) || !R || !RLen || !S || !SLen)
    return -1;
  if (*RLen < kEcdsaSigPartCap || *SLen < kEcdsaSigPartCap) return -1;
  if (r->count > NXVT_BN_MAX_WORDS || s->count > NXVT_BN_MAX_WORDS) return -1;
  struct {
    NXVT_BN half, s2;
    uint8_t rb[32], sb[32];
  } w;
  ScopedWipe wipeW(w);
  bool replaced = false;
  w.s2 = *s;
  if (keepS == 0) {
    // Low-S: only a value above floor(n/2) is replaced; floor(n/2) itself is
    // already the low one of the pair (n is odd).
    if (!Below(&w.s2, curve->n)) return -1;
    if (NXVT_BN_Shr1(&w.half, curve->n) != 0) return -1;
    if (NXVT_BN_Cmp(&w.s2, &w.half) == 1) {
      if (NXVT_BN_Sub(&w.s2, curve->n, &w.s2) != 1) return -1;
      replaced = true;
    }
  }
  if (!ToBytes32(w.rb, r) || !ToBytes32(w.sb, &w.s2)) return -1;
  uint32_t id = 0;
  if (recid) {
    OwnedPoint A;
    if (!A.ok() || NXVT_EC_Point_ToAffine(A.get(), kG, curve) != 0 || NXVT_EC_Point_IsInfinity(A.get())) return -1;
    const int32_t parity = curve->yParity ? curve->yParity(A.get(), curve) : NXVT_EC_Point_YParity(A.get(), curve);
    if (parity < 0) return -1;
    // Only the parity is reported: the rare X >= n case (ids 2 and 3 of
    // public-key recovery) is not marked.
    id = static_cast<uint32_t>(parity) ^ (replaced ? 1u : 0u);
  }
  if (replaced) *s = w.s2;
  // Both buffers are cleared over the capacity the caller stated.
  std::memset(R, 0, *RLen);
  std::memset(S, 0, *SLen);
  auto put = [](uint8_t* out, uint32_t* len, const uint8_t* b32) {
    if (b32[0] & 0x80) {
      std::memcpy(out + 1, b32, 32);
      *len = 33;
    } else {
      std::memcpy(out, b32, 32);
      *len = 32;
    }
  };
  put(R, RLen, w.rb);
  put(S, SLen, w.sb);
  if (recid) *recid = id;
  return 0;
}

int32_t NXVT_ECDSA_SignRFC6979(const uint8_t* hash, uint32_t hashLen, uint32_t keepS, const uint8_t* priv,
                               uint32_t privLen, const NXVT_PKC* pkc, uint8_t* R, uint32_t* RLen, uint8_t* S,
                               uint32_t* SLen, uint32_t* recid) {
  return NXVT_ECDSA_SignWithNonce(NXVT_ECDSA_RFC6979Nonce, hash, hashLen, keepS, priv, privLen, pkc, R, RLen, S, SLen,
                                  recid);
}

int32_t NXVT_ECDSA_SignWithNonce(NXVT_ECDSA_NonceFn nonce, const uint8_t* hash, uint32_t hashLen, uint32_t keepS,
                                 const uint8_t* priv, uint32_t privLen, const NXVT_PKC* pkc, uint8_t* R,
                                 uint32_t* RLen, uint8_t* S, uint32_t* SLen, uint32_t* recid) {
  if (!nonce || !hash || !priv || !pkc || !R || !RLen || !S || !SLen || privLen != kEcdsaPrivLen) return -1;
  NXVT_EC_CURVE* curve = pkc->curve;
  if (!CurveUsable(curve)) return -1;
  const Ec256Curve* c = Ec256_Of(curve);
  if (c == nullptr) return -1;
  // The key, the nonce and everything derived from them stay in the
  // constant-time scalar code; only R and s leave it, once they are public.
  struct {
    Ec256Scalar d, k, z, r;
    Ec256Point kG;
    uint8_t nonce[32];
    uint8_t hash[32];
    uint8_t s[32];
  } w;
  ScopedWipe wipeW(w);
  std::memset(w.hash, 0, sizeof w.hash);
  std::memcpy(w.hash, hash, hashLen < 32 ? hashLen : 32);
  Ec256_ScalarFromBytes(c, &w.d, priv);
  uint64_t zeroKey = Ec256_ScalarIsZero(&w.d);
  CtDeclassify(&zeroKey, sizeof zeroKey);  // a key 0 mod n is refused: the call's result
  if (zeroKey) return -1;
  // z = the hash as a 256-bit number; only z mod n enters s.
  Ec256_ScalarFromBytes(c, &w.z, w.hash);
  OwnedPoint kG;
  NXVT_BN r, s;
  if (!kG.ok()) return -1;
  for (uint32_t counter = 0; counter < kMaxCandidates; ++counter) {
    uint32_t kLen = sizeof w.nonce;
    if (nonce(w.nonce, &kLen, priv, privLen, w.hash, 32, counter) != 0 || kLen != 32) return -1;
    // The candidate is the nonce as it stands, with no range check: one at or
    // above n signs as k mod n (so the same k*G and k^-1), and one that is 0
    // modulo n gives the point at infinity, which fails the signing.
    Ec256_ScalarFromBytes(c, &w.k, w.nonce);
    Ec256_MulGen(c, &w.kG, &w.k);
    CtDeclassify(&w.kG, sizeof w.kG);  // R = k*G: its x is r, its y's parity the recovery id
    if (w.kG.infinity) return -1;
    StoreAffine(kG.get(), w.kG);
    if (NXVT_BN_IsZero(kG.get()->X) || NXVT_BN_IsZero(kG.get()->Y)) return -1;
    Ec256_ScalarFromBytes(c, &w.r, w.kG.x);
    if (Ec256_ScalarIsZero(&w.r)) continue;
    SignatureS(c, w.s, &w.k, &w.r, &w.d, &w.z);
    NXVT_BN_FromBytes(&s, w.s, 32);
    NXVT_BN_Normalize(&s);
    if (NXVT_BN_IsZero(&s)) continue;
    Ec256_ScalarToBytes(w.s, &w.r);
    NXVT_BN_FromBytes(&r, w.s, 32);
    NXVT_BN_Normalize(&r);
    return NXVT_ECDSA_FormatSig(kG.get(), &r, &s, keepS, curve, R, RLen, S, SLen, recid);
  }
  return -1;
}

int32_t NXVT_ECDSA_VerifyRS(const uint8_t* R, uint32_t RLen, const uint8_t* S, uint32_t SLen, const uint8_t* hash,
                            uint32_t hashLen, const uint8_t* pub, uint32_t pubLen, const NXVT_PKC* pkc) {
  if (!R || !S || !hash || !pub || !pkc || !CurveUsable(pkc->curve)) return -1;
  NXVT_EC_CURVE* curve = pkc->curve;
  // Only a compressed key is taken: 0x00 (infinity) and the 65-byte forms are
  // refused before decoding.
  if (pubLen != kEcCompPubLen || (pub[0] != 0x02 && pub[0] != 0x03)) return -1;
  if (RLen == 0 || RLen > kEcdsaSigPartCap || SLen == 0 || SLen > kEcdsaSigPartCap) return -1;
  if (hashLen != kEcdsaHashLen) return -1;
  struct {
    NXVT_BN r, s, z;
  } v;
  ScopedWipe wipeV(v);
  NXVT_BN_FromBytes(&v.r, R, static_cast<int32_t>(RLen));
  NXVT_BN_FromBytes(&v.s, S, static_cast<int32_t>(SLen));
  if (!InRange(&v.r, curve->n) || !InRange(&v.s, curve->n)) return -1;
  OwnedPoint Q;
  if (!Q.ok() || NXVT_EC_Point_Decode(Q.get(), pub, pubLen, curve) != 0) return -1;
  if (NXVT_EC_Point_IsInfinity(Q.get())) return -1;
  DigestToZ(&v.z, hash, 32, curve->n);
  return CheckRS(&v.r, &v.s, &v.z, Q.get(), curve) == 0 ? 0 : -1;
}

int32_t NXVT_EC_GetCompPub(const uint8_t* priv, uint32_t privLen, const NXVT_PKC* pkc, uint8_t* out,
                           uint32_t* outLen) {
  if (!priv || privLen != kEcdsaPrivLen || !pkc || !CurveUsable(pkc->curve) || !out || !outLen) return -1;
  if (*outLen < kEcCompPubLen) return -1;
  const Ec256Curve* c = Ec256_Of(pkc->curve);
  if (c == nullptr) return -1;
  struct {
    Ec256Scalar d;
    Ec256Point P;
  } w;
  ScopedWipe wipeW(w);
  Ec256_ScalarFromBytes(c, &w.d, priv);
  uint64_t zeroKey = Ec256_ScalarIsZero(&w.d);
  CtDeclassify(&zeroKey, sizeof zeroKey);  // a key 0 mod n is refused: the call's result
  if (zeroKey) return -1;
  Ec256_MulGen(c, &w.P, &w.d);
  CtDeclassify(&w.P, sizeof w.P);  // d*G is the public key
  if (w.P.infinity) return -1;
  out[0] = static_cast<uint8_t>(0x02 | (w.P.y[31] & 1u));
  std::memcpy(out + 1, w.P.x, 32);
  *outLen = kEcCompPubLen;
  return 0;
}

int32_t NXVT_EC_GetPubY(const uint8_t* pub, uint32_t pubLen, const NXVT_PKC* pkc, uint8_t* out, uint32_t* outLen) {
  if (!pub || pubLen != kEcCompPubLen || !pkc || !CurveUsable(pkc->curve) || !out || !outLen) return -1;
  if (*outLen < 32 || (pub[0] != 0x02 && pub[0] != 0x03)) return -1;
  NXVT_EC_CURVE* curve = pkc->curve;
  OwnedPoint P;
  if (!P.ok() || NXVT_EC_Point_Decode(P.get(), pub, pubLen, curve) != 0) return -1;
  if (NXVT_EC_Point_ToAffine(P.get(), P.get(), curve) != 0) return -1;
  uint8_t y[32];
  ScopedWipe wipeY(y, sizeof y);
  if (!ToBytes32(y, P.get()->Y)) return -1;
  std::memcpy(out, y, 32);
  *outLen = 32;
  return 0;
}

namespace {

// z of the table operations: the message digested with desc.
bool TableDigest(NXVT_BN* z, const uint8_t* msg, uint32_t msgLen, const NXVT_DIGEST_DESC* desc, const NXVT_BN* n) {
  NXVT_DIGEST_CTX ctx;
  ScopedWipe wipeCtx(ctx);
  std::memset(&ctx, 0, sizeof ctx);
  if (NXVT_Digest_Init(&ctx, desc) != 0) return false;
  DigestUpdateAll(&ctx, msg, msgLen);
  uint8_t digest[64];
  ScopedWipe wipeDigest(digest, sizeof digest);
  int32_t len = sizeof digest;
  NXVT_Digest_Final(digest, &len, &ctx);
  if (len <= 0) return false;
  DigestToZ(z, digest, static_cast<uint32_t>(len), n);
  return true;
}

}  // namespace

int32_t NXVT_ECDSA_Sign(NXVT_ECDSA_SIG* sig, const uint8_t* msg, uint32_t msgLen, const NXVT_BN* d,
                        NXVT_EC_CURVE* curve, const NXVT_DIGEST_DESC* desc) {
  if (!sig || !sig->r || !sig->s || !d || !CurveUsable(curve) || !desc || (!msg && msgLen > 0)) return -1;
  if (NXVT_EC_CheckPrivKey(d, curve) != 0) return -1;
  SignWork w;
  ScopedWipe wipeW(w);
  w.d = *d;
  if (NXVT_BN_Mod(&w.d, curve->n) != 0) return -1;
  if (!TableDigest(&w.z, msg, msgLen, desc, curve->n)) return -1;
  const uint32_t nbytes = (NXVT_BN_BitLen(curve->n) + 64 + 7) / 8;
  SecureBytes draw(nbytes);
  NXVT_BN nMinus1;
  if (NXVT_BN_SubWord(&nMinus1, curve->n, 1) != 1) return -1;
  OwnedPoint kG;
  if (!kG.ok()) return -1;
  for (uint32_t i = 0; i < kMaxDraws; ++i) {
    const int rc = NXVT_RNG_GetBytes(draw.data(), nbytes * 8);
    if (rc != 0) return rc;
    NXVT_BN_FromBytes(&w.k, draw.data(), static_cast<int32_t>(nbytes));
    Wipe(draw.data(), draw.size());
    // k = (k0 mod (n - 1)) + 1 lies in 1 .. n - 1.
    if (NXVT_BN_Mod(&w.k, &nMinus1) != 0 || NXVT_BN_AddWord(&w.k, &w.k, 1) != 0) return -1;
    const int32_t c = Commit(kG.get(), &w.r, &w.k, curve);
    if (c < 0) return -1;
    if (c > 0) continue;
    if (!ComputeS(w, curve)) return -1;
    if (NXVT_BN_IsZero(&w.s)) continue;
    *sig->r = w.r;
    *sig->s = w.s;
    return 0;
  }
  return -1;
}

int32_t NXVT_ECDSA_Verify(const NXVT_ECDSA_SIG* sig, const uint8_t* msg, uint32_t msgLen, const NXVT_EC_PUBKEY* pub,
                          NXVT_EC_CURVE* curve, const NXVT_DIGEST_DESC* desc) {
  if (!sig || !sig->r || !sig->s || !pub || !pub->Q || !CurveUsable(curve) || !desc || (!msg && msgLen > 0))
    return -1;
  if (sig->r->count > NXVT_BN_MAX_WORDS || sig->s->count > NXVT_BN_MAX_WORDS) return -1;
  if (!InRange(sig->r, curve->n) || !InRange(sig->s, curve->n)) return -1;
  const NXVT_EC_POINT* Q = pub->Q;
  if (!Q->X || !Q->Y || !Q->Z || NXVT_EC_Point_IsInfinity(Q) || NXVT_EC_Point_IsOnCurve(Q, curve) != 1) return -1;
  NXVT_BN z;
  ScopedWipe wipeZ(z);
  if (!TableDigest(&z, msg, msgLen, desc, curve->n)) return -1;
  return CheckRS(sig->r, sig->s, &z, Q, curve);
}

int32_t NXVT_ECDSA_GenKeyPair(NXVT_BN* d, NXVT_EC_PUBKEY* pub, NXVT_EC_CURVE* curve) {
  if (!d || !pub || !pub->Q || !curve) return -1;
  NXVT_EC_KEYPAIR kp{d, pub, curve};
  const int32_t rc = NXVT_EC_GenKeyPair(&kp);
  if (rc != 0) {
    NXVT_BN_Wipe(d);
    NXVT_EC_Point_Wipe(pub->Q);
  }
  return rc;
}

int32_t NXVT_ECDSA_CheckKeyPair(const NXVT_BN* d, const NXVT_EC_PUBKEY* pub, NXVT_EC_CURVE* curve) {
  if (!pub || !curve) return -1;
  NXVT_EC_KEYPAIR kp{const_cast<NXVT_BN*>(d), const_cast<NXVT_EC_PUBKEY*>(pub), curve};
  return NXVT_EC_CheckKeyPair(&kp);
}

NXVT_EC_PUBKEY* NXVT_EC_PubKey_New() {
  NXVT_EC_PUBKEY* pub = new (std::nothrow) NXVT_EC_PUBKEY();
  if (!pub) return NoMemory<NXVT_EC_PUBKEY*>(nullptr);
  pub->Q = NXVT_EC_Point_New();
  if (!pub->Q) {
    delete pub;
    return nullptr;
  }
  return pub;
}

void NXVT_EC_KeyPair_Free(NXVT_EC_PUBKEY* pub) {
  if (!pub) return;
  NXVT_EC_Point_Free(pub->Q);
  delete pub;
}
