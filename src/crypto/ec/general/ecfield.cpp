#include "crypto/ec/general/ecfield.h"

#include "platform/memory.h"

const NXVT_BN NXVT_EC_P256_PRIME = {
    8, {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0x00000000u, 0x00000000u, 0x00000000u, 0x00000001u, 0xFFFFFFFFu}};
const NXVT_BN NXVT_EC_SECP256K1_PRIME = {
    8, {0xFFFFFC2Fu, 0xFFFFFFFEu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu}};

namespace {

// Field elements are handled as eight 32-bit words, least significant first,
// always kept canonical (below p) between operations.
constexpr int kFeWords = 8;
constexpr int kWideWords = 16;

using ReduceFn = void (*)(uint32_t out[kFeWords], const uint32_t c[kWideWords]);

struct PrimeField {
  const NXVT_BN* prime;
  ReduceFn reduce;
};

// Compares two 8-word values: 1, 0 or -1.
int Cmp8(const uint32_t* a, const uint32_t* b) {
  for (int i = kFeWords - 1; i >= 0; --i) {
    if (a[i] != b[i]) return a[i] > b[i] ? 1 : -1;
  }
  return 0;
}

// r = a + b over 8 words; returns the carry out.
uint32_t Add8(uint32_t* r, const uint32_t* a, const uint32_t* b) {
  uint64_t acc = 0;
  for (int i = 0; i < kFeWords; ++i) {
    acc += static_cast<uint64_t>(a[i]) + b[i];
    r[i] = static_cast<uint32_t>(acc);
    acc >>= 32;
  }
  return static_cast<uint32_t>(acc);
}

// r = a - b over 8 words; returns the borrow out (1 when a < b).
uint32_t Sub8(uint32_t* r, const uint32_t* a, const uint32_t* b) {
  uint64_t borrow = 0;
  for (int i = 0; i < kFeWords; ++i) {
    uint64_t d = static_cast<uint64_t>(a[i]) - b[i] - borrow;
    r[i] = static_cast<uint32_t>(d);
    borrow = (d >> 32) & 1;
  }
  return static_cast<uint32_t>(borrow);
}

// c = a * b, 16 words.
void Mul8(uint32_t c[kWideWords], const uint32_t a[kFeWords], const uint32_t b[kFeWords]) {
  for (int i = 0; i < kWideWords; ++i) c[i] = 0;
  for (int i = 0; i < kFeWords; ++i) {
    uint64_t carry = 0;
    for (int j = 0; j < kFeWords; ++j) {
      uint64_t t = static_cast<uint64_t>(a[i]) * b[j] + c[i + j] + carry;
      c[i + j] = static_cast<uint32_t>(t);
      carry = t >> 32;
    }
    c[i + kFeWords] = static_cast<uint32_t>(carry);
  }
}

// Brings a value that is below 2^256 into [0, p): both primes exceed 2^255,
// so one subtraction suffices.
void FinalSub(uint32_t w[kFeWords], const uint32_t* p) {
  if (Cmp8(w, p) >= 0) Sub8(w, w, p);
}

// FIPS 186-4 D.2.3: fast reduction modulo the P-256 prime of a 512-bit value.
void P256Reduce(uint32_t out[kFeWords], const uint32_t c[kWideWords]) {
  const int64_t c0 = c[0], c1 = c[1], c2 = c[2], c3 = c[3], c4 = c[4], c5 = c[5], c6 = c[6], c7 = c[7];
  const int64_t c8 = c[8], c9 = c[9], c10 = c[10], c11 = c[11], c12 = c[12], c13 = c[13], c14 = c[14],
                c15 = c[15];
  // Column sums of T + 2*S1 + 2*S2 + S3 + S4 - D1 - D2 - D3 - D4.
  const int64_t col[kFeWords] = {
      c0 + c8 + c9 - c11 - c12 - c13 - c14,
      c1 + c9 + c10 - c12 - c13 - c14 - c15,
      c2 + c10 + c11 - c13 - c14 - c15,
      c3 + 2 * c11 + 2 * c12 + c13 - c15 - c8 - c9,
      c4 + 2 * c12 + 2 * c13 + c14 - c9 - c10,
      c5 + 2 * c13 + 2 * c14 + c15 - c10 - c11,
      c6 + 3 * c14 + 2 * c15 + c13 - c8 - c9,
      c7 + 3 * c15 + c8 - c10 - c11 - c12 - c13,
  };
  int64_t carry = 0;
  for (int i = 0; i < kFeWords; ++i) {
    int64_t acc = col[i] + carry;
    out[i] = static_cast<uint32_t>(acc);
    carry = acc >> 32;  // arithmetic shift: floor division by 2^32
  }
  const uint32_t* p = NXVT_EC_P256_PRIME.words;
  while (carry < 0) carry += Add8(out, out, p);
  while (carry > 0) carry -= Sub8(out, out, p);
  FinalSub(out, p);
}

// Folds with 2^256 = 2^32 + 977 (mod p) and finishes with a comparison, so
// the result is canonical.
void Secp256k1Reduce(uint32_t out[kFeWords], const uint32_t c[kWideWords]) {
  const uint32_t* hi = c + kFeWords;
  uint64_t acc = 0;
  for (int i = 0; i < kFeWords; ++i) {
    acc += static_cast<uint64_t>(c[i]) + static_cast<uint64_t>(hi[i]) * 977u;
    if (i > 0) acc += hi[i - 1];
    out[i] = static_cast<uint32_t>(acc);
    acc >>= 32;
  }
  uint64_t top = acc + hi[kFeWords - 1];  // below 2^34
  // Second fold: top * (2^32 + 977).
  while (top != 0) {
    const uint64_t t = top * 977u;
    acc = static_cast<uint64_t>(out[0]) + static_cast<uint32_t>(t);
    out[0] = static_cast<uint32_t>(acc);
    acc >>= 32;
    acc += static_cast<uint64_t>(out[1]) + (t >> 32) + static_cast<uint32_t>(top);
    out[1] = static_cast<uint32_t>(acc);
    acc >>= 32;
    acc += static_cast<uint64_t>(out[2]) + (top >> 32);
    out[2] = static_cast<uint32_t>(acc);
    acc >>= 32;
    for (int i = 3; i < kFeWords; ++i) {
      acc += out[i];
      out[i] = static_cast<uint32_t>(acc);
      acc >>= 32;
    }
    top = acc;  // 0 or 1; a second round then adds a small value without overflow
  }
  FinalSub(out, NXVT_EC_SECP256K1_PRIME.words);
}

const PrimeField kP256 = {&NXVT_EC_P256_PRIME, P256Reduce};
const PrimeField kSecp256k1 = {&NXVT_EC_SECP256K1_PRIME, Secp256k1Reduce};

// Number of significant words, or -1 for a record whose count is invalid.
int SigWords(const NXVT_BN* a) {
  if (a->count > NXVT_BN_MAX_WORDS) return -1;
  int n = static_cast<int>(a->count);
  while (n > 0 && a->words[n - 1] == 0) --n;
  return n;
}

// Reads an operand of any size as a canonical field element.
bool Load(const PrimeField& f, const NXVT_BN* a, uint32_t out[kFeWords]) {
  const int n = SigWords(a);
  if (n < 0) return false;
  if (n <= kFeWords) {
    for (int i = 0; i < kFeWords; ++i) out[i] = i < n ? a->words[i] : 0;
    FinalSub(out, f.prime->words);
    return true;
  }
  if (n <= kWideWords) {
    uint32_t c[kWideWords];
    for (int i = 0; i < kWideWords; ++i) c[i] = i < n ? a->words[i] : 0;
    f.reduce(out, c);
    Wipe(c, sizeof(c));
    return true;
  }
  // Rare: longer than a double-length product; long division.
  NXVT_BN t = *a;
  ScopedWipe wipeT(t);
  if (NXVT_BN_Mod(&t, f.prime) != 0) return false;
  const int m = SigWords(&t);
  if (m < 0 || m > kFeWords) return false;
  for (int i = 0; i < kFeWords; ++i) out[i] = i < m ? t.words[i] : 0;
  FinalSub(out, f.prime->words);
  return true;
}

void Store(NXVT_BN* r, const uint32_t w[kFeWords]) {
  uint32_t n = kFeWords;
  for (int i = 0; i < kFeWords; ++i) r->words[i] = w[i];
  while (n > 0 && r->words[n - 1] == 0) --n;
  r->count = n;
}

int32_t FieldAdd(const PrimeField& f, NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b) {
  if (!r || !a || !b) return -1;
  uint32_t x[kFeWords], y[kFeWords];
  ScopedWipe wipeX(x), wipeY(y);
  if (!Load(f, a, x) || !Load(f, b, y)) return -1;
  const uint32_t carry = Add8(x, x, y);
  if (carry || Cmp8(x, f.prime->words) >= 0) Sub8(x, x, f.prime->words);
  Store(r, x);
  return 0;
}

int32_t FieldSub(const PrimeField& f, NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b) {
  if (!r || !a || !b) return -1;
  uint32_t x[kFeWords], y[kFeWords];
  ScopedWipe wipeX(x), wipeY(y);
  if (!Load(f, a, x) || !Load(f, b, y)) return -1;
  if (Sub8(x, x, y)) Add8(x, x, f.prime->words);
  Store(r, x);
  return 0;
}

int32_t FieldMul(const PrimeField& f, NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b) {
  if (!r || !a || !b) return -1;
  uint32_t x[kFeWords], y[kFeWords], c[kWideWords];
  ScopedWipe wipeX(x), wipeY(y), wipeC(c);
  if (!Load(f, a, x) || !Load(f, b, y)) return -1;
  Mul8(c, x, y);
  f.reduce(x, c);
  Store(r, x);
  return 0;
}

int32_t FieldReduce(const PrimeField& f, NXVT_BN* r, const NXVT_BN* c) {
  if (!r || !c) return -1;
  uint32_t x[kFeWords];
  ScopedWipe wipeX(x);
  if (!Load(f, c, x)) return -1;
  Store(r, x);
  return 0;
}

}  // namespace

int32_t NXVT_EC_P256_ModAdd(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b) { return FieldAdd(kP256, r, a, b); }
int32_t NXVT_EC_P256_ModSub(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b) { return FieldSub(kP256, r, a, b); }
int32_t NXVT_EC_P256_ModMul(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b) { return FieldMul(kP256, r, a, b); }
int32_t NXVT_EC_P256_ModSqr(NXVT_BN* r, const NXVT_BN* a) { return FieldMul(kP256, r, a, a); }
int32_t NXVT_EC_P256_Reduce(NXVT_BN* r, const NXVT_BN* c) { return FieldReduce(kP256, r, c); }

int32_t NXVT_EC_Secp256k1_ModAdd(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b) {
  return FieldAdd(kSecp256k1, r, a, b);
}
int32_t NXVT_EC_Secp256k1_ModSub(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b) {
  return FieldSub(kSecp256k1, r, a, b);
}
int32_t NXVT_EC_Secp256k1_ModMul(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b) {
  return FieldMul(kSecp256k1, r, a, b);
}
int32_t NXVT_EC_Secp256k1_ModSqr(NXVT_BN* r, const NXVT_BN* a) { return FieldMul(kSecp256k1, r, a, a); }
int32_t NXVT_EC_Secp256k1_Reduce(NXVT_BN* r, const NXVT_BN* c) { return FieldReduce(kSecp256k1, r, c); }
