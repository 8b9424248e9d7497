// Base58 and Base58Check over the Bitcoin and XRP Ledger alphabets.
#include "crypto/codec/base58.h"

#include <climits>
#include <cstring>
#include <memory>
#include <new>

#include "trail/trail.h"
#include "crypto/hash/digest.h"
#include "platform/memory.h"

namespace {

constexpr char kBitcoinChars[] = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz";
constexpr char kXrpChars[] = "rpshnaf39wBUDNEGHJKLM4PQRST7VWXYZ2bcdeCg65jkm8oFqi1tuvAxyz";

// Digit value per character code below 128, -1 outside the alphabet.
struct Base58Table {
  signed char v[128];
  constexpr explicit Base58Table(const char* chars) : v() {
    for (int i = 0; i < 128; ++i) v[i] = -1;
    for (int i = 0; i < 58; ++i) v[static_cast<int>(chars[i])] = static_cast<signed char>(i);
  }
};
constexpr Base58Table kBitcoinTable(kBitcoinChars);
constexpr Base58Table kXrpTable(kXrpChars);

const char* AlphabetChars(Base58Alphabet a) { return a == kBase58Xrp ? kXrpChars : kBitcoinChars; }
const Base58Table& AlphabetTable(Base58Alphabet a) { return a == kBase58Xrp ? kXrpTable : kBitcoinTable; }

int DigitOf(const Base58Table& table, unsigned char c) { return c < 128 ? table.v[c] : -1; }

}  // namespace

int MakeCheckSum(const unsigned char* data, uint32_t n, unsigned char* out) {
  if (data == nullptr || out == nullptr) return TrailFail("MakeCheckSum", 47);
  unsigned char first[32] = {0};
  ScopedWipe wipeFirst(first);
  int32_t firstLen = sizeof first;
  if (DoDigest(kHashSha256, data, n, first, &firstLen) != 0) return TrailFail("MakeCheckSum", 62);
  int32_t outLen = 32;
  if (DoDigest(kHashSha256, first, sizeof first, out, &outLen) != 0) return TrailFail("MakeCheckSum", 67);
  return 0;
}

int EncodeBase58(Base58Alphabet alphabet, const unsigned char* in, int32_t n, char* out, uint32_t* len) {
  if (in == nullptr || len == nullptr || n < 0) return TrailFail("EncodeBase58", 109);
  const int64_t need64 = static_cast<int64_t>(n) * 138 / 100 + 2;
  if (need64 > INT32_MAX) return TrailFail("EncodeBase58", 120);
  const int32_t need = static_cast<int32_t>(need64);
  if (out == nullptr) {
    *len = static_cast<uint32_t>(need);
    return 0;
  }
  const int32_t cap = static_cast<int32_t>(*len);
  if (need > cap) return TrailFail("EncodeBase58", 120);

  // The value as base-58 digits, least significant first. The digits of a
  // private key's encoding are secret, so the array is wiped on every path.
  std::unique_ptr<unsigned char[]> digits(new (std::nothrow) unsigned char[static_cast<size_t>(need)]());
  if (!digits) return TrailFail("EncodeBase58", 109);
  ScopedWipe wipeDigits(digits.get(), static_cast<size_t>(need));
  int32_t used = 0;  // the value zero has no digits; its bytes are all leading zeros
  for (int32_t i = 0; i < n; ++i) {
    uint32_t carry = in[i];
    for (int32_t j = 0; j < used; ++j) {
      const uint32_t t = uint32_t{digits[j]} * 256 + carry;
      digits[j] = static_cast<unsigned char>(t % 58);
      carry = t / 58;
    }
    while (carry != 0) {
      if (used >= need) return TrailFail("EncodeBase58", 144);
      digits[used++] = static_cast<unsigned char>(carry % 58);
      carry /= 58;
    }
  }

  const char* chars = AlphabetChars(alphabet);
  int32_t o = 0;
  for (int32_t i = 0; i < n && in[i] == 0; ++i) {
    if (o >= cap) return TrailFail("EncodeBase58", 157);
    out[o++] = chars[0];
  }
  for (int32_t j = used - 1; j >= 0; --j) {
    if (o >= cap) return TrailFail("EncodeBase58", 168);
    out[o++] = chars[digits[j]];
  }
  if (o >= cap) return TrailFail("EncodeBase58", 176);
  out[o] = '\0';
  *len = static_cast<uint32_t>(o);
  return 0;
}

int DecodeBase58(Base58Alphabet alphabet, const char* text, int32_t n, unsigned char* out, uint32_t* len) {
  if (text == nullptr || len == nullptr || n < 0) return TrailFail("DecodeBase58", 205);
  if (out == nullptr) {
    const int64_t need = 2 * static_cast<int64_t>(n);
    if (need > INT32_MAX) return TrailFail("DecodeBase58", 205);
    *len = static_cast<uint32_t>(need);
    return 0;
  }
  const int32_t cap = static_cast<int32_t>(*len);
  if (cap < 0 || (cap == 0 && n > 0)) return TrailFail("DecodeBase58", 223);

  const Base58Table& table = AlphabetTable(alphabet);
  const unsigned char* t = reinterpret_cast<const unsigned char*>(text);
  // The value is built in `out`, least significant byte first; zero has no bytes.
  int32_t used = 0;
  for (int32_t i = 0; i < n; ++i) {
    const int d = DigitOf(table, t[i]);
    if (d < 0) return TrailFail("DecodeBase58", 228);
    uint32_t carry = static_cast<uint32_t>(d);
    for (int32_t j = 0; j < used; ++j) {
      const uint32_t v = uint32_t{out[j]} * 58 + carry;
      out[j] = static_cast<unsigned char>(v & 0xff);
      carry = v >> 8;
    }
    while (carry != 0) {
      if (used >= cap) return TrailFail("DecodeBase58", 233);
      out[used++] = static_cast<unsigned char>(carry & 0xff);
      carry >>= 8;
    }
  }
  for (int32_t i = 0; i < n && DigitOf(table, t[i]) == 0; ++i) {
    if (used >= cap) return TrailFail("DecodeBase58", 245);
    out[used++] = 0;
  }
  for (int32_t i = 0, j = used - 1; i < j; ++i, --j) {
    const unsigned char x = out[i];
    out[i] = out[j];
    out[j] = x;
  }
  *len = static_cast<uint32_t>(used);
  return 0;
}

int Base58CheckEncode(Base58Alphabet alphabet, const unsigned char* payload, int32_t n, char* out,
                      uint32_t* len) {
  if (payload == nullptr || len == nullptr || n < 0) return TrailFail("Base58CheckEncode", 290);
  const int64_t need64 = (static_cast<int64_t>(n) + 4) * 138 / 100 + 2;
  if (need64 > INT32_MAX) return TrailFail("Base58CheckEncode", 301);
  if (out == nullptr) {
    *len = static_cast<uint32_t>(need64);
    return 0;
  }
  if (need64 > static_cast<int32_t>(*len)) return TrailFail("Base58CheckEncode", 301);

  const size_t total = static_cast<size_t>(n) + 4;
  std::unique_ptr<unsigned char[]> buf(new (std::nothrow) unsigned char[total]());
  if (!buf) return TrailFail("Base58CheckEncode", 301);
  ScopedWipe wipeBuf(buf.get(), total);
  unsigned char sum[32] = {0};
  ScopedWipe wipeSum(sum);
  if (MakeCheckSum(payload, static_cast<uint32_t>(n), sum) != 0) return TrailFail("Base58CheckEncode", 307);
  if (n > 0) memcpy(buf.get(), payload, static_cast<size_t>(n));
  memcpy(buf.get() + n, sum, 4);
  if (EncodeBase58(alphabet, buf.get(), static_cast<int32_t>(total), out, len) != 0)
    return TrailFail("Base58CheckEncode", 315);
  return 0;
}

int Base58CheckDecode(Base58Alphabet alphabet, const char* text, unsigned char* out, uint32_t* len) {
  if (text == nullptr) return TrailFail("Base58CheckDecode", 337);
  if (len == nullptr) return TrailFail("Base58CheckDecode", 342);
  const size_t textLen = strlen(text);
  if (textLen > INT32_MAX) return TrailFail("Base58CheckDecode", 345);
  if (out == nullptr) {
    *len = static_cast<uint32_t>(textLen);
    return 0;
  }
  if (textLen == 0) return TrailFail("Base58CheckDecode", 345);
  uint32_t decoded = *len;
  if (DecodeBase58(alphabet, text, static_cast<int32_t>(textLen), out, &decoded) != 0)
    return TrailFail("Base58CheckDecode", 354);
  if (decoded < 4) return TrailFail("Base58CheckDecode", 357);
  const uint32_t payloadLen = decoded - 4;
  unsigned char sum[32] = {0};
  ScopedWipe wipeSum(sum);
  if (MakeCheckSum(out, payloadLen, sum) != 0) return TrailFail("Base58CheckDecode", 360);
  *len = payloadLen;
  if (memcmp(out + payloadLen, sum, 4) != 0) return TrailFail("Base58CheckDecode", 369);
  memset(out + payloadLen, 0, 4);
  return 0;
}
