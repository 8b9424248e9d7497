#include "crypto/bignum/bignum.h"

#include <cstring>
#include <new>
#include <utility>

#include "platform/memory.h"
#include "trail/trail.h"

namespace {

constexpr uint32_t kMax = NXVT_BN_MAX_WORDS;

bool Invalid(const NXVT_BN* a) { return a == nullptr || a->count > kMax; }

// Number of words up to and including the top nonzero one.
uint32_t SigWords(const uint32_t* w, uint32_t n) {
  while (n > 0 && w[n - 1] == 0) --n;
  return n;
}

uint32_t Sig(const NXVT_BN* a) { return SigWords(a->words, a->count); }

uint32_t WordAt(const uint32_t* w, uint32_t n, uint32_t i) { return i < n ? w[i] : 0; }

// Compares two word arrays by value (either may carry zero top words):
// 1, 0 or -1.
int CmpWords(const uint32_t* a, uint32_t na, const uint32_t* b, uint32_t nb) {
  na = SigWords(a, na);
  nb = SigWords(b, nb);
  if (na != nb) return na > nb ? 1 : -1;
  for (uint32_t i = na; i-- > 0;) {
    if (a[i] != b[i]) return a[i] > b[i] ? 1 : -1;
  }
  return 0;
}

void CopyRecord(NXVT_BN* r, const NXVT_BN* a) {
  if (r == a) return;
  r->count = a->count;
  if (a->count) std::memcpy(r->words, a->words, a->count * sizeof(uint32_t));
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Shifts n words left by s (0 < s < 32) bits into out (n words) and returns
// the bits that leave the top word.
uint32_t ShlBitsInto(uint32_t* out, const uint32_t* in, uint32_t n, unsigned s) {
  uint32_t carry = 0;
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t w = in[i];
    out[i] = (w << s) | carry;
    carry = w >> (32 - s);
  }
  return carry;
}

// Signed magnitude used by the extended Euclidean algorithm. One word more
// than a record so that intermediate sums never run out of room.
struct SignedWords {
  uint32_t n;
  bool neg;
  uint32_t w[kMax + 2];
};

void SetWord(SignedWords& x, uint32_t v) {
  x.neg = false;
  x.n = v ? 1 : 0;
  x.w[0] = v;
}

bool IsEven(const SignedWords& x) { return x.n == 0 || (x.w[0] & 1u) == 0; }

void Half(SignedWords& x) {
  for (uint32_t i = 0; i < x.n; ++i) {
    uint32_t hi = (i + 1 < x.n) ? x.w[i + 1] : 0;
    x.w[i] = (x.w[i] >> 1) | (hi << 31);
  }
  x.n = SigWords(x.w, x.n);
  if (x.n == 0) x.neg = false;
}

// x = x + sign * y (y given as a signed magnitude or a plain magnitude).
void AddSigned(SignedWords& x, bool yneg, uint32_t yn, const uint32_t* yw) {
  yn = SigWords(yw, yn);
  if (yn == 0) return;
  if (x.n == 0) {
    std::memcpy(x.w, yw, yn * sizeof(uint32_t));
    x.n = yn;
    x.neg = yneg;
    return;
  }
  if (x.neg == yneg) {
    NXVT_BN_AddWords(&x.n, x.w, x.n, x.w, yn, yw);
    return;
  }
  int c = NXVT_BN_SubWords(&x.n, x.w, x.n, x.w, yn, yw);
  x.n = SigWords(x.w, x.n);
  if (c == 0) {
    x.neg = false;
  } else if (c < 0) {
    x.neg = yneg;  // |y| was larger: the sum takes y's sign
  }
}

}  // namespace

void NXVT_BN_Normalize(NXVT_BN* a) {
  if (Invalid(a)) return;
  a->count = Sig(a);
}

void NXVT_BN_FromBytes(NXVT_BN* r, const uint8_t* bytes, int32_t len) {
  if (r == nullptr) return;
  if (len == 0) {
    r->count = 0;
    return;
  }
  if (len < 0 || len > 1031 || bytes == nullptr) return;
  uint32_t n = (static_cast<uint32_t>(len) + 3) / 4;
  uint32_t tmp[kMax];
  std::memset(tmp, 0, n * sizeof(uint32_t));
  for (uint32_t i = 0; i < static_cast<uint32_t>(len); ++i) {
    uint32_t b = bytes[static_cast<uint32_t>(len) - 1 - i];
    tmp[i / 4] |= b << (8 * (i % 4));
  }
  std::memcpy(r->words, tmp, n * sizeof(uint32_t));
  r->count = n;
  Wipe(tmp, n * sizeof(uint32_t));
}

void NXVT_BN_ToBytes(uint8_t* out, uint32_t* len, const NXVT_BN* a) {
  if (len == nullptr) return;
  uint32_t cap = *len;
  *len = 0;
  if (out == nullptr || Invalid(a)) return;
  if (a->count == 0) {
    // Zero is one 0x00 byte, but only where there is room for it.
    if (cap >= 1) {
      out[0] = 0;
      *len = 1;
    }
    return;
  }
  if (cap < 4 * a->count) return;
  uint32_t n = Sig(a);
  if (n == 0) return;
  uint32_t pos = 0;
  uint32_t top = a->words[n - 1];
  bool started = false;
  for (int s = 24; s >= 0; s -= 8) {
    uint8_t b = static_cast<uint8_t>(top >> s);
    if (b != 0 || started) {
      out[pos++] = b;
      started = true;
    }
  }
  for (uint32_t i = n - 1; i-- > 0;) {
    uint32_t w = a->words[i];
    out[pos++] = static_cast<uint8_t>(w >> 24);
    out[pos++] = static_cast<uint8_t>(w >> 16);
    out[pos++] = static_cast<uint8_t>(w >> 8);
    out[pos++] = static_cast<uint8_t>(w);
  }
  *len = pos;
}

int32_t NXVT_BN_ToFixedBytes(uint8_t* out, uint32_t len, const NXVT_BN* a) {
  if (out == nullptr || Invalid(a)) return -1;
  if (NXVT_BN_BitLen(a) > 8 * static_cast<uint64_t>(len)) return -1;
  for (uint32_t i = 0; i < len; ++i) {
    const uint32_t bytePos = len - 1 - i;  // significance of out[i]
    const uint32_t w = bytePos / 4;
    out[i] = w < a->count ? static_cast<uint8_t>(a->words[w] >> (8 * (bytePos % 4))) : 0;
  }
  return 0;
}

int32_t NXVT_BN_FromHex(NXVT_BN* r, const char* text) {
  if (r == nullptr || text == nullptr) return -1;
  size_t len = std::strlen(text);
  if (len == 0 || (len == 1 && text[0] == '0')) {
    r->count = 0;
    return 0;
  }
  if (len > static_cast<size_t>(kMax) * 8) {
    r->count = 0;
    return -1;
  }
  for (size_t i = 0; i < len; ++i) {
    if (HexDigit(text[i]) < 0) {
      r->count = 0;
      return -1;
    }
  }
  uint32_t n = static_cast<uint32_t>((len + 7) / 8);
  std::memset(r->words, 0, n * sizeof(uint32_t));
  for (size_t i = 0; i < len; ++i) {
    size_t k = len - 1 - i;  // nibble index from the least significant end
    r->words[k / 8] |= static_cast<uint32_t>(HexDigit(text[i])) << (4 * (k % 8));
  }
  r->count = n;
  return 0;
}

uint32_t NXVT_BN_BitLen(const NXVT_BN* a) {
  if (a == nullptr) return 0;
  uint32_t n = SigWords(a->words, a->count > kMax ? kMax : a->count);
  if (n == 0) return 0;
  return 32 * (n - 1) + (32 - static_cast<uint32_t>(__builtin_clz(a->words[n - 1])));
}

bool NXVT_BN_IsZero(const NXVT_BN* a) {
  return a == nullptr || SigWords(a->words, a->count > kMax ? kMax : a->count) == 0;
}

int32_t NXVT_BN_Cmp(const NXVT_BN* a, const NXVT_BN* b) {
  if (Invalid(a) || Invalid(b)) return -1;
  int c = CmpWords(a->words, a->count, b->words, b->count);
  return c > 0 ? 1 : (c < 0 ? -2 : 0);
}

void NXVT_BN_AddWords(uint32_t* count, uint32_t* r, uint32_t na, const uint32_t* a, uint32_t nb,
                      const uint32_t* b) {
  if (na < nb) {
    std::swap(a, b);
    std::swap(na, nb);
  }
  uint64_t carry = 0;
  for (uint32_t i = 0; i < nb; ++i) {
    uint64_t s = static_cast<uint64_t>(a[i]) + b[i] + carry;
    r[i] = static_cast<uint32_t>(s);
    carry = s >> 32;
  }
  for (uint32_t i = nb; i < na; ++i) {
    uint64_t s = static_cast<uint64_t>(a[i]) + carry;
    r[i] = static_cast<uint32_t>(s);
    carry = s >> 32;
  }
  if (carry) r[na++] = 1;
  *count = na;
}

int32_t NXVT_BN_SubWords(uint32_t* count, uint32_t* r, uint32_t na, const uint32_t* a, uint32_t nb,
                         const uint32_t* b) {
  int32_t c = 0;
  if (na != nb) {
    c = na > nb ? 1 : -1;
  } else {
    for (uint32_t i = na; i-- > 0;) {
      if (a[i] != b[i]) {
        c = a[i] > b[i] ? 1 : -1;
        break;
      }
    }
  }
  if (c == 0) {
    *count = 0;
    return 0;
  }
  if (c < 0) {
    std::swap(a, b);
    std::swap(na, nb);
  }
  uint32_t borrow = 0;
  for (uint32_t i = 0; i < na; ++i) {
    uint64_t d = static_cast<uint64_t>(a[i]) - WordAt(b, nb, i) - borrow;
    r[i] = static_cast<uint32_t>(d);
    borrow = static_cast<uint32_t>(d >> 63);
  }
  *count = na;
  return c;
}

int32_t NXVT_BN_Add(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b) {
  if (r == nullptr || Invalid(a) || Invalid(b)) return -1;
  uint32_t n = a->count > b->count ? a->count : b->count;
  if (n < kMax) {
    NXVT_BN_AddWords(&r->count, r->words, a->count, a->words, b->count, b->words);
    return 0;
  }
  // At full capacity the carry must be known before r is touched.
  uint32_t tmp[kMax + 1];
  uint32_t cnt = 0;
  NXVT_BN_AddWords(&cnt, tmp, a->count, a->words, b->count, b->words);
  int32_t rc = -1;
  if (cnt <= kMax) {
    std::memcpy(r->words, tmp, cnt * sizeof(uint32_t));
    r->count = cnt;
    rc = 0;
  }
  Wipe(tmp, sizeof(tmp));
  return rc;
}

int32_t NXVT_BN_AddWord(NXVT_BN* r, const NXVT_BN* a, uint32_t w) {
  if (r == nullptr || Invalid(a)) return -1;
  if (w == 0) {
    CopyRecord(r, a);
    return 0;
  }
  if (a->count == 0) {
    r->words[0] = w;
    r->count = 1;
    return 0;
  }
  uint32_t n = a->count;
  // The carry runs out of the top word only when every word above the first
  // one absorbs it; find that out before writing.
  uint64_t carry = w;
  uint32_t i = 0;
  for (; i < n && carry; ++i) carry = (static_cast<uint64_t>(a->words[i]) + carry) >> 32;
  if (carry && n == kMax) return -1;
  carry = w;
  for (i = 0; i < n; ++i) {
    uint64_t s = static_cast<uint64_t>(a->words[i]) + carry;
    r->words[i] = static_cast<uint32_t>(s);
    carry = s >> 32;
  }
  if (carry) r->words[n++] = 1;
  r->count = n;
  return 0;
}

int32_t NXVT_BN_Sub(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b) {
  if (r == nullptr || Invalid(a) || Invalid(b)) return -1;
  int c = CmpWords(a->words, a->count, b->words, b->count);
  if (c == 0) {
    r->count = 0;
    return 0;
  }
  const NXVT_BN* big = c > 0 ? a : b;
  const NXVT_BN* small = c > 0 ? b : a;
  uint32_t n = a->count > b->count ? a->count : b->count;
  uint32_t borrow = 0;
  for (uint32_t i = 0; i < n; ++i) {
    uint64_t d = static_cast<uint64_t>(WordAt(big->words, big->count, i)) -
                 WordAt(small->words, small->count, i) - borrow;
    r->words[i] = static_cast<uint32_t>(d);
    borrow = static_cast<uint32_t>(d >> 63);
  }
  r->count = n;
  return c > 0 ? 1 : -2;
}

int32_t NXVT_BN_SubWord(NXVT_BN* r, const NXVT_BN* a, uint32_t w) {
  if (r == nullptr || Invalid(a)) return -1;
  uint32_t sig = Sig(a);
  if (sig == 0) {
    if (w == 0) {
      r->count = 0;
      return 0;
    }
    r->words[0] = w;
    r->count = 1;
    return -1;
  }
  if (sig == 1 && a->words[0] < w) {
    // Below the word: the absolute difference, as for a record subtraction.
    r->words[0] = w - a->words[0];
    r->count = 1;
    return -1;
  }
  uint32_t n = a->count;
  uint64_t borrow = w;
  for (uint32_t i = 0; i < n; ++i) {
    uint64_t d = static_cast<uint64_t>(a->words[i]) - borrow;
    r->words[i] = static_cast<uint32_t>(d);
    borrow = d >> 63;
  }
  r->count = n;
  return 1;
}

void NXVT_BN_MulWords(uint32_t* count, uint32_t* r, uint32_t na, const uint32_t* a, uint32_t nb,
                      const uint32_t* b) {
  if (na == 0 || nb == 0) return;
  std::memset(r, 0, nb * sizeof(uint32_t));
  for (uint32_t i = 0; i < na; ++i) {
    uint64_t carry = 0;
    uint64_t ai = a[i];
    for (uint32_t j = 0; j < nb; ++j) {
      uint64_t t = ai * b[j] + r[i + j] + carry;
      r[i + j] = static_cast<uint32_t>(t);
      carry = t >> 32;
    }
    r[i + nb] = static_cast<uint32_t>(carry);
  }
  *count = na + nb;
}

void NXVT_BN_SqrWords(uint32_t* count, uint32_t* r, uint32_t n, const uint32_t* a) {
  if (n == 0) return;
  uint32_t m = 2 * n;
  std::memset(r, 0, m * sizeof(uint32_t));
  // Cross products a[j] * a[i] for j < i, each once.
  for (uint32_t i = 1; i < n; ++i) {
    uint64_t carry = 0;
    uint64_t ai = a[i];
    for (uint32_t j = 0; j < i; ++j) {
      uint64_t t = ai * a[j] + r[i + j] + carry;
      r[i + j] = static_cast<uint32_t>(t);
      carry = t >> 32;
    }
    r[2 * i] = static_cast<uint32_t>(carry);
  }
  // Double them.
  uint32_t top = 0;
  for (uint32_t k = 0; k < m; ++k) {
    uint32_t w = r[k];
    r[k] = (w << 1) | top;
    top = w >> 31;
  }
  // Add the squares on the diagonal.
  uint64_t carry = 0;
  for (uint32_t i = 0; i < n; ++i) {
    uint64_t sq = static_cast<uint64_t>(a[i]) * a[i];
    uint64_t lo = static_cast<uint64_t>(r[2 * i]) + static_cast<uint32_t>(sq) + carry;
    r[2 * i] = static_cast<uint32_t>(lo);
    uint64_t hi = static_cast<uint64_t>(r[2 * i + 1]) + (sq >> 32) + (lo >> 32);
    r[2 * i + 1] = static_cast<uint32_t>(hi);
    carry = hi >> 32;
  }
  *count = m;
}

namespace {

// Shared tail of Mul and Sqr: the product of na and nb words (sqr when b is
// null) into r, through a temporary when r is an operand or when the counts
// only fit once zero top words are dropped.
int32_t Product(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b) {
  uint32_t na = a->count;
  uint32_t nb = b ? b->count : a->count;
  if (na == 0 || nb == 0) {
    r->count = 0;
    return 0;
  }
  bool alias = (r == a) || (r == b);
  if (na + nb <= kMax && !alias) {
    if (b)
      NXVT_BN_MulWords(&r->count, r->words, na, a->words, nb, b->words);
    else
      NXVT_BN_SqrWords(&r->count, r->words, na, a->words);
    return 0;
  }
  if (na + nb > kMax) {
    // Too long as given: try again without the zero top words.
    na = Sig(a);
    nb = b ? Sig(b) : na;
    if (na == 0 || nb == 0) {
      r->count = 0;
      return 0;
    }
    if (na + nb > kMax + 1) return -1;
  }
  uint32_t tmp[2 * kMax];
  uint32_t cnt = 0;
  if (b)
    NXVT_BN_MulWords(&cnt, tmp, na, a->words, nb, b->words);
  else
    NXVT_BN_SqrWords(&cnt, tmp, na, a->words);
  int32_t rc = -1;
  if (cnt == kMax + 1 && tmp[kMax] == 0) cnt = kMax;
  if (cnt <= kMax) {
    std::memcpy(r->words, tmp, cnt * sizeof(uint32_t));
    r->count = cnt;
    rc = 0;
  }
  Wipe(tmp, cnt * sizeof(uint32_t));
  return rc;
}

}  // namespace

int32_t NXVT_BN_Mul(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b) {
  if (r == nullptr || Invalid(a) || Invalid(b)) return -1;
  return Product(r, a, b);
}

int32_t NXVT_BN_Sqr(NXVT_BN* r, const NXVT_BN* a) {
  if (r == nullptr || Invalid(a)) return -1;
  return Product(r, a, nullptr);
}

namespace {

// Dividends may run two words beyond a record: the extended Euclidean
// algorithm reduces coefficients of that size.
constexpr uint32_t kWideDividend = kMax + 2;

// Knuth's algorithm D, remainder only, on word arrays.
int32_t RemainderWords(uint32_t* aCount, uint32_t* aWords, uint32_t mCount, const uint32_t* mWords) {
  uint32_t n = SigWords(mWords, mCount);
  if (n == 0) return -1;
  uint32_t na = SigWords(aWords, *aCount);
  if (na < n) {
    *aCount = na;
    return 0;
  }
  if (n == 1) {
    // Short division by one word.
    uint64_t d = mWords[0];
    uint64_t rem = 0;
    for (uint32_t i = na; i-- > 0;) rem = ((rem << 32) | aWords[i]) % d;
    aWords[0] = static_cast<uint32_t>(rem);
    *aCount = rem ? 1 : 0;
    return 0;
  }

  // Private copies: the divisor (which may overlap the dividend) is never
  // shifted in place, and the dividend gains its extra top word here.
  uint32_t v[kMax];
  uint32_t u[kWideDividend + 1];
  unsigned s = static_cast<unsigned>(__builtin_clz(mWords[n - 1]));
  if (s) {
    ShlBitsInto(v, mWords, n, s);
    u[na] = ShlBitsInto(u, aWords, na, s);
  } else {
    std::memcpy(v, mWords, n * sizeof(uint32_t));
    std::memcpy(u, aWords, na * sizeof(uint32_t));
    u[na] = 0;
  }

  const uint64_t kB = 1ull << 32;
  const uint64_t vTop = v[n - 1];
  const uint64_t vNext = v[n - 2];
  for (uint32_t j = na - n + 1; j-- > 0;) {
    uint64_t num = (static_cast<uint64_t>(u[j + n]) << 32) | u[j + n - 1];
    uint64_t qhat = num / vTop;
    uint64_t rhat = num % vTop;
    while (qhat >= kB || qhat * vNext > ((rhat << 32) | u[j + n - 2])) {
      --qhat;
      rhat += vTop;
      if (rhat >= kB) break;
    }
    // u[j .. j+n] -= qhat * v
    uint64_t carry = 0;
    uint32_t borrow = 0;
    for (uint32_t i = 0; i < n; ++i) {
      uint64_t p = qhat * v[i] + carry;
      carry = p >> 32;
      uint64_t d = static_cast<uint64_t>(u[i + j]) - static_cast<uint32_t>(p) - borrow;
      u[i + j] = static_cast<uint32_t>(d);
      borrow = static_cast<uint32_t>(d >> 63);
    }
    uint64_t d = static_cast<uint64_t>(u[j + n]) - carry - borrow;
    u[j + n] = static_cast<uint32_t>(d);
    if (d >> 63) {
      // qhat was one too large: add the divisor back.
      uint64_t c = 0;
      for (uint32_t i = 0; i < n; ++i) {
        uint64_t t = static_cast<uint64_t>(u[i + j]) + v[i] + c;
        u[i + j] = static_cast<uint32_t>(t);
        c = t >> 32;
      }
      u[j + n] = static_cast<uint32_t>(u[j + n] + c);
    }
  }

  // Remainder: the low n words, shifted back.
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t w = u[i] >> s;
    if (s) w |= u[i + 1] << (32 - s);
    aWords[i] = w;
  }
  *aCount = SigWords(aWords, n);
  Wipe(u, (na + 1) * sizeof(uint32_t));
  Wipe(v, n * sizeof(uint32_t));
  return 0;
}

}  // namespace

int32_t NXVT_BN_DivMod(uint32_t* aCount, uint32_t* aWords, uint32_t mCount, const uint32_t* mWords) {
  if (aCount == nullptr || *aCount > kMax || mCount > kMax) return -1;
  if (mCount > 0 && mWords == nullptr) return -1;
  if (*aCount > 0 && aWords == nullptr) return -1;
  return RemainderWords(aCount, aWords, mCount, mWords);
}

int32_t NXVT_BN_Mod(NXVT_BN* a, const NXVT_BN* m) {
  if (Invalid(a) || Invalid(m) || a == m) return -1;
  uint32_t mn = Sig(m);
  if (mn == 0) return -1;
  int c = CmpWords(a->words, a->count, m->words, m->count);
  if (c < 0) {
    a->count = Sig(a);
    return 0;
  }
  if (c == 0) {
    a->count = 0;
    return 0;
  }
  return NXVT_BN_DivMod(&a->count, a->words, mn, m->words);
}

int32_t NXVT_BN_ModInvCore(uint32_t* gcdCount, uint32_t* gcdWords, uint32_t* coefCount,
                           uint32_t* coefWords, uint32_t mCount, const uint32_t* mWords,
                           uint32_t aCount, const uint32_t* aWords) {
  if (!gcdCount || !gcdWords || !coefCount || !coefWords || !mWords || !aWords) return -1;
  if (mCount > kMax || aCount > kMax) return -1;
  uint32_t nx = SigWords(mWords, mCount);
  uint32_t ny = SigWords(aWords, aCount);
  if (nx == 0 || ny == 0) return -1;

  // x = m, y = a, each with the common factor 2^t removed.
  SignedWords* buf = new (std::nothrow) SignedWords[8];
  if (buf == nullptr) return NoMemory(-1);
  SignedWords& x = buf[0];
  SignedWords& y = buf[1];
  SignedWords& u = buf[2];
  SignedWords& v = buf[3];
  SignedWords& A = buf[4];
  SignedWords& B = buf[5];
  SignedWords& C = buf[6];
  SignedWords& D = buf[7];
  x.neg = y.neg = false;
  x.n = nx;
  y.n = ny;
  std::memcpy(x.w, mWords, nx * sizeof(uint32_t));
  std::memcpy(y.w, aWords, ny * sizeof(uint32_t));
  uint32_t t = 0;
  while (IsEven(x) && IsEven(y)) {
    Half(x);
    Half(y);
    ++t;
  }
  u = x;
  v = y;
  SetWord(A, 1);
  SetWord(B, 0);
  SetWord(C, 0);
  SetWord(D, 1);
  // Invariants: A x + B y = u, C x + D y = v.
  while (u.n != 0) {
    while (IsEven(u)) {
      Half(u);
      if (!(IsEven(A) && IsEven(B))) {
        AddSigned(A, false, y.n, y.w);
        AddSigned(B, true, x.n, x.w);
      }
      Half(A);
      Half(B);
    }
    while (IsEven(v)) {
      Half(v);
      if (!(IsEven(C) && IsEven(D))) {
        AddSigned(C, false, y.n, y.w);
        AddSigned(D, true, x.n, x.w);
      }
      Half(C);
      Half(D);
    }
    if (CmpWords(u.w, u.n, v.w, v.n) >= 0) {
      NXVT_BN_SubWords(&u.n, u.w, u.n, u.w, v.n, v.w);
      u.n = SigWords(u.w, u.n);
      AddSigned(A, !C.neg, C.n, C.w);
      AddSigned(B, !D.neg, D.n, D.w);
    } else {
      NXVT_BN_SubWords(&v.n, v.w, v.n, v.w, u.n, u.w);
      v.n = SigWords(v.w, v.n);
      AddSigned(C, !A.neg, A.n, A.w);
      AddSigned(D, !B.neg, B.n, B.w);
    }
  }
  // gcd = v * 2^t; v has at least t zero bits to spare below the original
  // operands' length.
  uint32_t gw = t / 32;
  unsigned gb = t % 32;
  std::memset(gcdWords, 0, (v.n + gw + 1) * sizeof(uint32_t));
  for (uint32_t i = 0; i < v.n; ++i) {
    gcdWords[i + gw] |= v.w[i] << gb;
    if (gb) gcdWords[i + gw + 1] |= v.w[i] >> (32 - gb);
  }
  *gcdCount = SigWords(gcdWords, v.n + gw + 1);
  std::memcpy(coefWords, D.w, D.n * sizeof(uint32_t));
  *coefCount = D.n;
  int32_t neg = D.neg ? 1 : 0;
  Wipe(buf, 8 * sizeof(SignedWords));
  delete[] buf;
  return neg;
}

int32_t NXVT_BN_ModInv(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* m) {
  if (r == nullptr || Invalid(a) || Invalid(m) || m == a || m == r) return -1;
  if (Sig(m) == 0) return -1;
  NXVT_BN* work = new (std::nothrow) NXVT_BN[2];
  if (work == nullptr) return NoMemory(-1);
  NXVT_BN& ar = work[0];
  NXVT_BN& coef = work[1];
  int32_t rc = -1;
  CopyRecord(&ar, a);
  if (NXVT_BN_Mod(&ar, m) == 0 && ar.count != 0) {
    uint32_t gw[kMax + 2];
    uint32_t cw[kMax + 2];
    uint32_t gn = 0, cn = 0;
    int32_t sign = NXVT_BN_ModInvCore(&gn, gw, &cn, cw, m->count, m->words, ar.count, ar.words);
    // The coefficient may be longer than a record when m fills one; it is
    // reduced below m before it becomes a record.
    if (sign >= 0 && gn == 1 && gw[0] == 1 && cn <= kWideDividend &&
        RemainderWords(&cn, cw, m->count, m->words) == 0 && cn != 0) {
      coef.count = cn;
      std::memcpy(coef.words, cw, cn * sizeof(uint32_t));
      if (sign) NXVT_BN_Sub(&coef, m, &coef);
      coef.count = Sig(&coef);
      CopyRecord(r, &coef);
      rc = 0;
    }
    Wipe(gw, sizeof(gw));
    Wipe(cw, sizeof(cw));
  }
  Wipe(work, 2 * sizeof(NXVT_BN));
  delete[] work;
  return rc;
}

int32_t NXVT_BN_Shl1(NXVT_BN* r, const NXVT_BN* a) {
  if (r == nullptr || Invalid(a)) return -1;
  uint32_t n = Sig(a);
  if (n == 0) {
    r->count = 0;
    return 0;
  }
  uint32_t top = a->words[n - 1] >> 31;
  if (top && n == kMax) return -1;
  for (uint32_t i = n; i-- > 0;) {
    uint32_t lower = i > 0 ? a->words[i - 1] >> 31 : 0;
    uint32_t w = a->words[i];
    if (i == n - 1 && top) r->words[n] = 1;
    r->words[i] = (w << 1) | lower;
  }
  r->count = n + top;
  return 0;
}

int32_t NXVT_BN_Shl1Self(NXVT_BN* a) { return NXVT_BN_Shl1(a, a); }

int32_t NXVT_BN_ShrBits(NXVT_BN* a, uint32_t n) {
  if (Invalid(a)) return -1;
  uint32_t cnt = a->count;
  if (static_cast<uint64_t>(n) >= 32ull * cnt) {
    a->count = 0;
    return 0;
  }
  uint32_t ws = n / 32;
  unsigned bs = n % 32;
  uint32_t rem = cnt - ws;
  for (uint32_t i = 0; i < rem; ++i) {
    uint32_t w = a->words[i + ws] >> bs;
    if (bs && i + ws + 1 < cnt) w |= a->words[i + ws + 1] << (32 - bs);
    a->words[i] = w;
  }
  a->count = SigWords(a->words, rem);
  return 0;
}

int32_t NXVT_BN_Shr1(NXVT_BN* r, const NXVT_BN* a) {
  if (r == nullptr || Invalid(a)) return -1;
  uint32_t n = Sig(a);
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t hi = i + 1 < n ? a->words[i + 1] : 0;
    r->words[i] = (a->words[i] >> 1) | (hi << 31);
  }
  r->count = SigWords(r->words, n);
  return 0;
}

int32_t NXVT_BN_CopyPadded(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* ref) {
  if (r == nullptr || Invalid(a) || Invalid(ref)) return -1;
  uint32_t n = Sig(a);
  uint32_t target = ref->count;
  if (n > target) return -1;
  if (r != a) std::memcpy(r->words, a->words, n * sizeof(uint32_t));
  for (uint32_t i = n; i < target; ++i) r->words[i] = 0;
  r->count = target;
  return 0;
}

void NXVT_BN_Wipe(NXVT_BN* a) {
  if (a != nullptr) Wipe(a, sizeof(NXVT_BN));
}
