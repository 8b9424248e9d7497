// Shamir share mnemonics over GF(p): split a BIP39 master mnemonic into
// header-tagged share mnemonics and recover it from exactly t of them.
#include "keys/shamir.h"

#include <cstring>
#include <vector>

#include "trail/trail.h"
#include "crypto/hash/digest.h"
#include "platform/memory.h"
#include "keys/bip39.h"

namespace {

// Primes 2^(8L) - c, largest first, for L = 16, 20, 24, 28, 32 bytes.
constexpr int32_t kPrimeLens[5] = {16, 20, 24, 28, 32};
constexpr uint32_t kPrimeOffsets[5][kSSSPrimeCount] = {
    {159, 173, 233, 237, 275, 357, 675, 713, 797, 1193, 1305, 1407, 1409, 1419, 1479},
    {47, 57, 75, 189, 285, 383, 465, 543, 659, 843, 1215, 1307, 1445, 1617, 1679},
    {237, 333, 399, 489, 527, 663, 915, 945, 1059, 1143, 1167, 1245, 1385, 1403, 1409},
    {63, 363, 573, 719, 773, 857, 1025, 1223, 1227, 1253, 1265, 1275, 1407, 1785, 2103},
    {189, 357, 435, 587, 617, 923, 1053, 1299, 1539, 1883, 2063, 2757, 3135, 3473, 3905},
};
constexpr int32_t kMaxSecretLen = 32;
constexpr int32_t kMaxThreshold = kSSSMaxShares;

int PrimeRow(int32_t len) {
  for (int r = 0; r < 5; ++r)
    if (kPrimeLens[r] == len) return r;
  return -1;
}

// p = 2^(8L) - c, built as (2^(8L) - 1) - (c - 1).
int LoadPrime(int row, int32_t index, NXVT_BN* prime) {
  unsigned char ff[kMaxSecretLen];
  memset(ff, 0xFF, sizeof ff);
  NXVT_BN_FromBytes(prime, ff, kPrimeLens[row]);
  if (NXVT_BN_SubWord(prime, prime, kPrimeOffsets[row][index] - 1) != 1) return 1;
  NXVT_BN_Normalize(prime);
  return 0;
}

void SetSmall(NXVT_BN* r, uint32_t v) {
  r->count = v != 0 ? 1 : 0;
  r->words[0] = v;
}

// r = a * b mod p (r may alias a or b).
int MulMod(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b, const NXVT_BN* p) {
  NXVT_BN t;
  ScopedWipe wipeT(t);
  if (NXVT_BN_Mul(&t, a, b) != 0 || NXVT_BN_Mod(&t, p) != 0) return 1;
  *r = t;
  return 0;
}

// r = a + b mod p (r may alias a or b).
int AddMod(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b, const NXVT_BN* p) {
  if (NXVT_BN_Add(r, a, b) != 0 || NXVT_BN_Mod(r, p) != 0) return 1;
  return 0;
}

// A random value in 0 .. m-1 (m in 1..15) from the library's random source,
// without modulo bias.
int RandomBelow(int32_t m, int32_t* out) {
  const unsigned limit = 256u - 256u % static_cast<unsigned>(m);
  for (int attempt = 0; attempt < 64; ++attempt) {
    unsigned char b = 0;
    if (GenerateEntropy(nullptr, &b, 1) != 0) return 1;
    if (b < limit) {
      *out = static_cast<int32_t>(b % static_cast<unsigned>(m));
      return 0;
    }
  }
  return 1;
}

// The first L bytes of SHA-256(H0 || H1 || H2).
int ShareMask(const unsigned char header[3], unsigned char mask[32]) {
  int32_t n = 32;
  return DoDigest(kHashSha256, header, 3, mask, &n) != 0 ? 1 : 0;
}

// Wipes every big number of an array when the scope ends.
struct BnArrayWipe {
  std::vector<NXVT_BN>& v;
  ~BnArrayWipe() {
    for (NXVT_BN& b : v) NXVT_BN_Wipe(&b);
  }
};

// Appends `n` bytes to the output if they fit (keeping room for the NUL).
bool Append(char* out, int32_t cap, int32_t* pos, const char* s, size_t n) {
  if (static_cast<int64_t>(*pos) + static_cast<int64_t>(n) + 1 > cap) return false;
  memcpy(out + *pos, s, n);
  *pos += static_cast<int32_t>(n);
  return true;
}

// One parsed share of a recovery.
struct ParsedShare {
  unsigned char header[3];
  int32_t x;
  unsigned char value[kMaxSecretLen];  // unmasked share value, L bytes
};

// Splits one share text into its header bytes and the entropy of its body.
int ParseShare(const char* text, size_t len, unsigned char header[3], unsigned char* body, int32_t* bodyLen) {
  char buf[kSSSMaxShareText + 1];
  ScopedWipe wipeBuf(buf, sizeof buf);
  if (len > static_cast<size_t>(kSSSMaxShareText)) return 1;
  memcpy(buf, text, len);
  buf[len] = '\0';
  char* p = buf;
  for (int h = 0; h < 3; ++h) {
    char* space = strchr(p, ' ');
    if (space == nullptr) return 1;
    *space = '\0';
    int32_t index = 0;
    if (FindWord(p, &index) != 0 || index > 255) return 1;
    header[h] = static_cast<unsigned char>(index);
    p = space + 1;
  }
  return GetMnemonicInfo(p, body, bodyLen) != 0 ? 1 : 0;
}

}  // namespace

int GetSSSPrime(int32_t len, NXVT_BN* prime, int32_t* index) {
  if (prime == nullptr || index == nullptr) return 1;
  const int row = PrimeRow(len);
  if (row < 0) return 1;
  if (*index < 0 && RandomBelow(kSSSPrimeCount, index) != 0) return 1;
  if (*index >= kSSSPrimeCount) return 1;
  return LoadPrime(row, *index, prime);
}

int32_t CountSSSPrimesAbove(int32_t len, const NXVT_BN* secret) {
  const int row = PrimeRow(len);
  if (row < 0 || secret == nullptr) return 0;
  NXVT_BN p;
  int32_t m = 0;
  while (m < kSSSPrimeCount && LoadPrime(row, m, &p) == 0 && NXVT_BN_Cmp(&p, secret) == 1) ++m;
  return m;
}

int SSSInterpolate(NXVT_BN* result, int32_t x, const int32_t* xs, int32_t count, const NXVT_BN* prime) {
  if (result == nullptr || xs == nullptr || prime == nullptr || count < 1) return 1;
  NXVT_BN num, den, term;
  ScopedWipe wipeNum(num), wipeDen(den), wipeTerm(term);
  SetSmall(&num, 1);
  SetSmall(&den, 1);
  for (int32_t j = 0; j < count; ++j) {
    if (xs[j] == x) continue;
    if (xs[j] <= 0 || x <= 0) return 1;
    SetSmall(&term, static_cast<uint32_t>(xs[j]));
    if (MulMod(&num, &num, &term, prime) != 0) return 1;
    // (x_j - x) mod p.
    if (xs[j] > x) {
      SetSmall(&term, static_cast<uint32_t>(xs[j] - x));
    } else if (NXVT_BN_SubWord(&term, prime, static_cast<uint32_t>(x - xs[j])) != 1) {
      return 1;
    }
    if (MulMod(&den, &den, &term, prime) != 0) return 1;
  }
  if (NXVT_BN_ModInv(&term, &den, prime) != 0) return 1;
  return MulMod(result, &num, &term, prime);
}

int Create_SSS(const char* mnemonic, int32_t total, int32_t threshold, char* out, int32_t* outLen) {
  if (mnemonic == nullptr || outLen == nullptr) return 1;
  if (threshold < 2 || total < threshold || threshold > kMaxThreshold || total > kSSSMaxHeaderTotal) return 1;

  unsigned char entropy[kBip39MaxEntropyLen];
  ScopedWipe wipeEntropy(entropy, sizeof entropy);
  int32_t len = 0;
  if (GetMnemonicInfo(mnemonic, entropy, &len) != 0) return 1;
  if (PrimeRow(len) < 0) return 1;
  int32_t words = 0;
  if (GetWordCount(mnemonic, &words) != 0) return 1;

  NXVT_BN secret;
  ScopedWipe wipeSecret(secret);
  NXVT_BN_FromBytes(&secret, entropy, len);
  // Only primes above the secret keep it intact; index 0 is the largest.
  const int32_t eligible = CountSSSPrimesAbove(len, &secret);
  if (eligible == 0) {
    AddErrMsg("SSS secret is not below any prime of its size");
    return 1;
  }

  const int64_t needed = static_cast<int64_t>(words + 3) * total * 11;
  if (out == nullptr) {
    *outLen = static_cast<int32_t>(needed);
    return 0;
  }
  const int32_t cap = *outLen;
  if (cap < needed) return 1;

  int32_t k = 0;
  if (RandomBelow(eligible, &k) != 0) return 1;
  NXVT_BN prime;
  if (GetSSSPrime(len, &prime, &k) != 0) return 1;

  // Coefficients a1 .. a(t-1): L random bytes each, reduced modulo p.
  std::vector<NXVT_BN> coeffs(static_cast<size_t>(threshold - 1));
  BnArrayWipe wipeCoeffs{coeffs};
  {
    unsigned char r[kMaxSecretLen];
    ScopedWipe wipeR(r, sizeof r);
    for (NXVT_BN& a : coeffs) {
      if (GenerateEntropy(nullptr, r, static_cast<uint32_t>(len)) != 0) return 1;
      NXVT_BN_FromBytes(&a, r, len);
      if (NXVT_BN_Mod(&a, &prime) != 0) return 1;
    }
  }

  NXVT_BN y, xb;
  ScopedWipe wipeY(y);
  unsigned char value[kMaxSecretLen], mask[32];
  ScopedWipe wipeValue(value, sizeof value), wipeMask(mask, sizeof mask);
  SecureBytes body(static_cast<size_t>(words) * 11);
  int32_t pos = 0;
  auto fail = [&]() {
    Wipe(out, static_cast<size_t>(pos));
    out[0] = '\0';
    return 1;
  };

  for (int32_t x = 1; x <= total; ++x) {
    // Horner: y = ((a(t-1) x + a(t-2)) x + ... + a1) x + s  (mod p).
    SetSmall(&y, 0);
    SetSmall(&xb, static_cast<uint32_t>(x));
    for (size_t j = coeffs.size(); j-- > 0;) {
      if (AddMod(&y, &y, &coeffs[j], &prime) != 0 || MulMod(&y, &y, &xb, &prime) != 0) return fail();
    }
    if (AddMod(&y, &y, &secret, &prime) != 0) return fail();

    const unsigned char header[3] = {
        static_cast<unsigned char>(16 * x + k),
        static_cast<unsigned char>(16 * ((total + x) % 16) + threshold),
        static_cast<unsigned char>((threshold + len + total + k + x) % 256),
    };
    if (NXVT_BN_ToFixedBytes(value, static_cast<uint32_t>(len), &y) != 0 || ShareMask(header, mask) != 0) return fail();
    for (int32_t i = 0; i < len; ++i) value[i] ^= mask[i];

    if (x > 1 && !Append(out, cap, &pos, ";", 1)) return fail();
    for (int h = 0; h < 3; ++h) {
      char word[kBip39MaxWordLen + 1] = {0};
      if (GetWord(header[h], word) != 0 || !Append(out, cap, &pos, word, strlen(word)) ||
          !Append(out, cap, &pos, " ", 1))
        return fail();
    }
    int32_t bodyLen = static_cast<int32_t>(body.size());
    if (GenerateMnemonic(value, len, reinterpret_cast<char*>(body.data()), &bodyLen) != 0 ||
        !Append(out, cap, &pos, reinterpret_cast<const char*>(body.data()), static_cast<size_t>(bodyLen)))
      return fail();
  }
  out[pos] = '\0';
  *outLen = pos;
  return 0;
}

int GetSSS_Secret(const char* shares, char* out, int32_t* outLen) {
  if (shares == nullptr || out == nullptr || outLen == nullptr || *outLen < kSSSMasterCap) return 1;

  // Share boundaries; more than ten shares are refused before any parsing.
  std::vector<std::pair<const char*, size_t>> texts;
  const char* start = shares;
  for (const char* p = shares;; ++p) {
    if (*p != ';' && *p != '\0') continue;
    if (texts.size() == static_cast<size_t>(kSSSMaxShares)) return 1;
    texts.emplace_back(start, static_cast<size_t>(p - start));
    if (*p == '\0') break;
    start = p + 1;
  }
  const int32_t m = static_cast<int32_t>(texts.size());

  std::vector<ParsedShare> parsed(texts.size());
  struct ParsedWipe {
    std::vector<ParsedShare>& v;
    ~ParsedWipe() {
      if (!v.empty()) Wipe(v.data(), v.size() * sizeof(ParsedShare));
    }
  } wipeParsed{parsed};

  int32_t len = 0, total = 0, k = 0;
  unsigned char body[kBip39MaxEntropyLen], mask[32];
  ScopedWipe wipeBody(body, sizeof body), wipeMask(mask, sizeof mask);
  for (int32_t i = 0; i < m; ++i) {
    ParsedShare& s = parsed[static_cast<size_t>(i)];
    int32_t bodyLen = 0;
    if (ParseShare(texts[static_cast<size_t>(i)].first, texts[static_cast<size_t>(i)].second, s.header, body,
                   &bodyLen) != 0)
      return 1;
    const int32_t h0 = s.header[0], h1 = s.header[1], h2 = s.header[2];
    const int32_t sk = h0 % 16;
    const int32_t x = h0 / 16;
    const int32_t t = h1 % 16;
    const int32_t n = ((h1 / 16 - x) % 16 + 16) % 16;
    const int32_t sl = ((h2 - n - t - sk - x) % 256 + 256) % 256;
    if (x < 1 || x > n || t != m || t < 2 || t > n) return 1;
    if (i == 0) {
      len = sl;
      total = n;
      k = sk;
      if (PrimeRow(len) < 0) return 1;
    } else if (sl != len || n != total || sk != k) {
      return 1;
    }
    for (int32_t j = 0; j < i; ++j)
      if (parsed[static_cast<size_t>(j)].x == x) return 1;
    if (bodyLen != len || ShareMask(s.header, mask) != 0) return 1;
    s.x = x;
    for (int32_t b = 0; b < len; ++b) s.value[b] = body[b] ^ mask[b];
  }

  NXVT_BN prime;
  if (GetSSSPrime(len, &prime, &k) != 0) return 1;

  std::vector<int32_t> xs(texts.size());
  for (int32_t i = 0; i < m; ++i) xs[static_cast<size_t>(i)] = parsed[static_cast<size_t>(i)].x;

  NXVT_BN sum, y, coef;
  ScopedWipe wipeSum(sum), wipeY(y), wipeCoef(coef);
  SetSmall(&sum, 0);
  for (int32_t i = 0; i < m; ++i) {
    const ParsedShare& s = parsed[static_cast<size_t>(i)];
    NXVT_BN_FromBytes(&y, s.value, len);
    // A genuine share value lies below the prime.
    if (NXVT_BN_Cmp(&prime, &y) != 1) return 1;
    if (SSSInterpolate(&coef, s.x, xs.data(), m, &prime) != 0 || MulMod(&y, &y, &coef, &prime) != 0 ||
        AddMod(&sum, &sum, &y, &prime) != 0)
      return 1;
  }

  unsigned char secret[kMaxSecretLen];
  ScopedWipe wipeSecretBytes(secret, sizeof secret);
  if (NXVT_BN_ToFixedBytes(secret, static_cast<uint32_t>(len), &sum) != 0) return 1;
  int32_t written = *outLen;
  if (GenerateMnemonic(secret, len, out, &written) != 0) return 1;
  *outLen = written;
  return 0;
}
