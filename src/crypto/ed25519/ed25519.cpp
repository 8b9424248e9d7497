// Ed25519, Ed25519ctx and Ed25519ph signatures (RFC 8032) over the twisted
// Edwards curve -x^2 + y^2 = 1 + d x^2 y^2 in extended coordinates.
#include "crypto/ed25519/ed25519.h"

#include <cstring>

#include "crypto/ct_check.h"
#include "crypto/ed25519/ed25519_mult.h"
#include "platform/memory.h"

namespace {

// d = -121665/121666 and 2d mod p.
const NXVT_GF25519 kD2 = {
    {0x26b2f159, 0xebd69b94, 0x8283b156, 0x00e0149a, 0xeef3d130, 0x198e80f2, 0x56dffce7, 0x2406d9dc}};
const NXVT_GF25519 kD = {
    {0x135978a3, 0x75eb4dca, 0x4141d8ab, 0x00700a4d, 0x7779e898, 0x8cc74079, 0x2b6ffe73, 0x52036cee}};

// Base point B, affine.
const NXVT_GF25519 kBx = {
    {0x8f25d51a, 0xc9562d60, 0x9525a7b2, 0x692cc760, 0xfdd6dc5c, 0xc0a4e231, 0xcd6e53fe, 0x216936d3}};
const NXVT_GF25519 kBy = {
    {0x66666658, 0x66666666, 0x66666666, 0x66666666, 0x66666666, 0x66666666, 0x66666666, 0x66666666}};

const NXVT_GF25519 kOne = {{1, 0, 0, 0, 0, 0, 0, 0}};
const NXVT_GF25519 kZero = {{0, 0, 0, 0, 0, 0, 0, 0}};

// Group order L = 2^252 + 27742317777372353535851937790883648493, little-endian,
// with a zero 33rd byte for the 33-byte steps of the reduction.
const unsigned char kL[33] = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7,
                              0xa2, 0xde, 0xf9, 0xde, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                              0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00};

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

void PointSelect(NXVT_ED_POINT* out, const NXVT_ED_POINT* a, const NXVT_ED_POINT* b, uint32_t flag) {
  NXVT_GF25519_Select(&out->X, &a->X, &b->X, flag);
  NXVT_GF25519_Select(&out->Y, &a->Y, &b->Y, flag);
  NXVT_GF25519_Select(&out->Z, &a->Z, &b->Z, flag);
  NXVT_GF25519_Select(&out->T, &a->T, &b->T, flag);
}

void ScalarMultWork(NXVT_ED_MULT_WORK* w, NXVT_ED_POINT* out, const unsigned char* scalar,
                    const NXVT_ED_POINT* p) {
  w->p = *p;
  NXVT_Ed25519_PointZero(&w->q);
  for (int i = 255; i >= 0; --i) {
    NXVT_Ed25519_PointDbl(&w->q, &w->q);
    NXVT_Ed25519_PointAdd(&w->t, &w->q, &w->p);
    uint32_t bit = (static_cast<uint32_t>(scalar[i >> 3]) >> (i & 7)) & 1u;
    PointSelect(&w->q, &w->q, &w->t, bit);
  }
  *out = w->q;
  Wipe(w, sizeof *w);
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

// ---- Points ----

void NXVT_Ed25519_PointZero(NXVT_ED_POINT* out) {
  out->X = kZero;
  out->Y = kOne;
  out->Z = kOne;
  out->T = kZero;
}

void NXVT_Ed25519_PointBase(NXVT_ED_POINT* out) {
  out->X = kBx;
  out->Y = kBy;
  out->Z = kOne;
  NXVT_GF25519_Mul(&out->T, &kBx, &kBy);
}

void NXVT_Ed25519_PointAdd(NXVT_ED_POINT* out, const NXVT_ED_POINT* p, const NXVT_ED_POINT* q) {
  struct {
    NXVT_GF25519 a, b, c, d, e, f, g, h;
  } t;
  ScopedWipe wipe(t);
  NXVT_GF25519_Sub(&t.a, &p->Y, &p->X);
  NXVT_GF25519_Sub(&t.e, &q->Y, &q->X);
  NXVT_GF25519_Mul(&t.a, &t.a, &t.e);  // A = (Y1 - X1)(Y2 - X2)
  NXVT_GF25519_Add(&t.b, &p->Y, &p->X);
  NXVT_GF25519_Add(&t.e, &q->Y, &q->X);
  NXVT_GF25519_Mul(&t.b, &t.b, &t.e);  // B = (Y1 + X1)(Y2 + X2)
  NXVT_GF25519_Mul(&t.c, &p->T, &kD2);
  NXVT_GF25519_Mul(&t.c, &t.c, &q->T);  // C = T1 2d T2
  NXVT_GF25519_Mul(&t.d, &p->Z, &q->Z);
  NXVT_GF25519_Add(&t.d, &t.d, &t.d);  // D = 2 Z1 Z2
  NXVT_GF25519_Sub(&t.e, &t.b, &t.a);  // E = B - A
  NXVT_GF25519_Sub(&t.f, &t.d, &t.c);  // F = D - C
  NXVT_GF25519_Add(&t.g, &t.d, &t.c);  // G = D + C
  NXVT_GF25519_Add(&t.h, &t.b, &t.a);  // H = B + A
  NXVT_GF25519_Mul(&out->X, &t.e, &t.f);
  NXVT_GF25519_Mul(&out->Y, &t.g, &t.h);
  NXVT_GF25519_Mul(&out->T, &t.e, &t.h);
  NXVT_GF25519_Mul(&out->Z, &t.f, &t.g);
}

void NXVT_Ed25519_PointDbl(NXVT_ED_POINT* out, const NXVT_ED_POINT* p) {
  struct {
    NXVT_GF25519 a, b, c, e, f, g, h;
  } t;
  ScopedWipe wipe(t);
  NXVT_GF25519_Mul(&t.a, &p->X, &p->X);  // A = X1^2
  NXVT_GF25519_Mul(&t.b, &p->Y, &p->Y);  // B = Y1^2
  NXVT_GF25519_Mul(&t.c, &p->Z, &p->Z);
  NXVT_GF25519_Add(&t.c, &t.c, &t.c);    // C = 2 Z1^2
  NXVT_GF25519_Add(&t.h, &t.a, &t.b);    // H = A + B
  NXVT_GF25519_Add(&t.e, &p->X, &p->Y);
  NXVT_GF25519_Mul(&t.e, &t.e, &t.e);
  NXVT_GF25519_Sub(&t.e, &t.h, &t.e);    // E = H - (X1 + Y1)^2
  NXVT_GF25519_Sub(&t.g, &t.a, &t.b);    // G = A - B
  NXVT_GF25519_Add(&t.f, &t.c, &t.g);    // F = C + G
  NXVT_GF25519_Mul(&out->X, &t.e, &t.f);
  NXVT_GF25519_Mul(&out->Y, &t.g, &t.h);
  NXVT_GF25519_Mul(&out->T, &t.e, &t.h);
  NXVT_GF25519_Mul(&out->Z, &t.f, &t.g);
}

void NXVT_Ed25519_PointNeg(NXVT_ED_POINT* out, const NXVT_ED_POINT* p) {
  NXVT_GF25519_Neg(&out->X, &p->X);
  out->Y = p->Y;
  out->Z = p->Z;
  NXVT_GF25519_Neg(&out->T, &p->T);
}

void NXVT_Ed25519_ScalarMult(NXVT_ED_POINT* out, const unsigned char* scalar, const NXVT_ED_POINT* p) {
  NXVT_ED_MULT_WORK w;
  ScalarMultWork(&w, out, scalar, p);  // wipes w
}

void NXVT_Ed25519_ScalarMultBase(NXVT_ED_POINT* out, const unsigned char* scalar) {
  NXVT_ED_POINT b;
  NXVT_Ed25519_PointBase(&b);
  NXVT_Ed25519_ScalarMult(out, scalar, &b);
}

void NXVT_Ed25519_PointEncode(unsigned char* out, NXVT_ED_POINT* p) {
  NXVT_GF25519 zi;
  NXVT_GF25519_Invert(&zi, &p->Z);
  NXVT_GF25519_Mul(&p->X, &p->X, &zi);
  NXVT_GF25519_Mul(&p->Y, &p->Y, &zi);
  p->Z = kOne;
  NXVT_GF25519_Mul(&p->T, &p->X, &p->Y);
  NXVT_GF25519_ToBytes(&p->Y, out);
  out[31] = static_cast<unsigned char>(out[31] | ((p->X.v[0] & 1u) << 7));
  Wipe(&zi, sizeof zi);
}

int NXVT_Ed25519_PointDecode(NXVT_ED_POINT* out, const unsigned char* in) {
  unsigned char yb[32];
  std::memcpy(yb, in, 32);
  uint32_t sign = (yb[31] >> 7) & 1u;
  yb[31] &= 0x7f;
  NXVT_GF25519 y, yc, yy, u, v, x, nx;
  NXVT_GF25519_FromBytes(&y, yb);
  NXVT_GF25519_Freeze(&yc, &y);
  uint32_t canonical = NXVT_GF25519_Equal(&y, &yc);  // y < p

  NXVT_GF25519_Mul(&yy, &yc, &yc);
  NXVT_GF25519_Sub(&u, &yy, &kOne);  // u = y^2 - 1
  NXVT_GF25519_Mul(&v, &yy, &kD);
  NXVT_GF25519_Add(&v, &v, &kOne);   // v = d y^2 + 1
  uint32_t root = NXVT_GF25519_SqrtRatio(&x, &u, &v) == 0 ? 1u : 0u;

  uint32_t xZeroSigned = NXVT_GF25519_IsZero(&x) & sign;
  NXVT_GF25519_Neg(&nx, &x);
  NXVT_GF25519_Select(&x, &x, &nx, (x.v[0] & 1u) ^ sign);

  out->X = x;
  out->Y = yc;
  out->Z = kOne;
  NXVT_GF25519_Mul(&out->T, &x, &yc);
  uint32_t ok = canonical & root & (xZeroSigned ^ 1u);
  return ok ? 0 : 1;
}

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
  std::memcpy(w.lBytes, kL, sizeof kL);
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
  uint32_t borrow = SubBorrow(w->diff, w->sum, kL, 32);
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
  uint32_t sBelowL = SubBorrow(tmp, sig + 32, kL, 32);

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
