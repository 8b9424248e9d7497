#include "btc/der_signature.h"

#include <algorithm>
#include <array>

namespace {

using Bytes = std::vector<unsigned char>;

// The secp256k1 group order n and n/2 (rounded down), big-endian.
constexpr std::array<unsigned char, 32> kOrder = {
    0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xfe,
    0xba, 0xae, 0xdc, 0xe6, 0xaf, 0x48, 0xa0, 0x3b, 0xbf, 0xd2, 0x5e, 0x8c, 0xd0, 0x36, 0x41, 0x41};
constexpr std::array<unsigned char, 32> kHalfOrder = {
    0x7f, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
    0x5d, 0x57, 0x6e, 0x73, 0x57, 0xa4, 0x50, 0x1d, 0xdf, 0xe9, 0x2f, 0x46, 0x68, 0x1b, 0x20, 0xa0};

// One INTEGER's content: not empty, not negative, no needless 0x00 in front.
bool IsMinimalPositive(const unsigned char* p, size_t len) {
  if (len == 0 || (p[0] & 0x80) != 0) return false;
  return !(len > 1 && p[0] == 0x00 && (p[1] & 0x80) == 0);
}

// The number without leading zero bytes (possibly empty for zero).
Bytes StripZeros(const Bytes& v) {
  auto first = std::find_if(v.begin(), v.end(), [](unsigned char b) { return b != 0; });
  return Bytes(first, v.end());
}

// The number as an INTEGER's content.
Bytes IntegerContent(const Bytes& v) {
  Bytes out = StripZeros(v);
  if (out.empty() || (out[0] & 0x80) != 0) out.insert(out.begin(), 0x00);
  return out;
}

// `v` (at most 32 bytes, no leading zeros) as a 32-byte big-endian number.
std::array<unsigned char, 32> Widen(const Bytes& v) {
  std::array<unsigned char, 32> out{};
  std::copy(v.begin(), v.end(), out.begin() + (32 - v.size()));
  return out;
}

}  // namespace

bool IsStrictDerSignature(const unsigned char* sig, size_t len) {
  // 0x30 total 0x02 lenR R 0x02 lenS S, each length one byte.
  if (sig == nullptr || len < 8 || len > 72) return false;
  if (sig[0] != 0x30 || sig[1] != len - 2) return false;
  const size_t lenR = sig[3];
  if (5 + lenR >= len) return false;
  const size_t lenS = sig[5 + lenR];
  if (lenR + lenS + 6 != len) return false;
  if (sig[2] != 0x02 || sig[4 + lenR] != 0x02) return false;
  return IsMinimalPositive(sig + 4, lenR) && IsMinimalPositive(sig + 6 + lenR, lenS);
}

bool SplitDerSignature(const Bytes& sig, Bytes& r, Bytes& s) {
  if (!IsStrictDerSignature(sig)) return false;
  const size_t lenR = sig[3];
  const size_t lenS = sig[5 + lenR];
  r.assign(sig.begin() + 4, sig.begin() + 4 + lenR);
  s.assign(sig.begin() + 6 + lenR, sig.begin() + 6 + lenR + lenS);
  return true;
}

Bytes EncodeDerSignature(const Bytes& r, const Bytes& s) {
  const Bytes rc = IntegerContent(r);
  const Bytes sc = IntegerContent(s);
  Bytes out;
  out.reserve(6 + rc.size() + sc.size());
  out.push_back(0x30);
  out.push_back(static_cast<unsigned char>(4 + rc.size() + sc.size()));
  out.push_back(0x02);
  out.push_back(static_cast<unsigned char>(rc.size()));
  out.insert(out.end(), rc.begin(), rc.end());
  out.push_back(0x02);
  out.push_back(static_cast<unsigned char>(sc.size()));
  out.insert(out.end(), sc.begin(), sc.end());
  return out;
}

Bytes LowSDerSignature(const Bytes& sig) {
  Bytes r, s;
  if (!SplitDerSignature(sig, r, s)) return sig;
  const Bytes sv = StripZeros(s);
  if (sv.size() > 32) return EncodeDerSignature(r, s);
  const std::array<unsigned char, 32> wide = Widen(sv);
  // Only 0 < S < n has a partner n - S; S >= n never verifies anyway.
  if (!(wide > kHalfOrder) || !(wide < kOrder)) return EncodeDerSignature(r, s);
  Bytes low(32);
  int borrow = 0;
  for (int i = 31; i >= 0; --i) {
    const int d = kOrder[i] - wide[i] - borrow;
    borrow = d < 0 ? 1 : 0;
    low[i] = static_cast<unsigned char>(d + (borrow << 8));
  }
  return EncodeDerSignature(r, low);
}
