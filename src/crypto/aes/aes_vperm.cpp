// AES with SSSE3 byte shuffles. The S-box and its inverse are derived at
// compile time from the field: the multiplicative inverse in GF(2^8) modulo
// x^8 + x^4 + x^3 + x + 1 (as x^254) followed by the affine map. At run time
// each of the sixteen rows of a table sits in a register-sized constant and
// every row is applied to the whole state, so the work and the addresses
// touched are the same for every key and block.
#include "crypto/aes/aes_vperm.h"

#include <immintrin.h>

#include <array>
#include <cstdint>

#define NXVT_VPERM_TARGET __attribute__((target("ssse3")))

namespace {

constexpr uint8_t GfMul(uint8_t a, uint8_t b) {
  uint8_t p = 0;
  for (int i = 0; i < 8; ++i) {
    if (b & 1) p ^= a;
    const bool carry = (a & 0x80) != 0;
    a = static_cast<uint8_t>(a << 1);
    if (carry) a ^= 0x1b;
    b >>= 1;
  }
  return p;
}

constexpr uint8_t GfInverse(uint8_t a) {
  // a^254 = a^-1 for a != 0, and 0 for 0.
  uint8_t result = 1, base = a;
  for (int e = 254; e != 0; e >>= 1) {
    if (e & 1) result = GfMul(result, base);
    base = GfMul(base, base);
  }
  return result;
}

constexpr uint8_t Rotl8(uint8_t x, int n) { return static_cast<uint8_t>((x << n) | (x >> (8 - n))); }

constexpr std::array<uint8_t, 256> MakeSbox() {
  std::array<uint8_t, 256> s{};
  for (int x = 0; x < 256; ++x) {
    const uint8_t b = GfInverse(static_cast<uint8_t>(x));
    s[x] = static_cast<uint8_t>(b ^ Rotl8(b, 1) ^ Rotl8(b, 2) ^ Rotl8(b, 3) ^ Rotl8(b, 4) ^ 0x63);
  }
  return s;
}

constexpr std::array<uint8_t, 256> MakeInverse(const std::array<uint8_t, 256>& s) {
  std::array<uint8_t, 256> inv{};
  for (int x = 0; x < 256; ++x) inv[s[x]] = static_cast<uint8_t>(x);
  return inv;
}

// Rows for the lookup below: within each half of the table (high nibble
// 0-7 and 8-15) row h holds S[h] ^ S[h + 1], and the half's last row S[7] or
// S[15] itself, so the rows from a byte's own up to the half's end add up
// to its row of S.
constexpr std::array<uint8_t, 256> MakeRowSums(const std::array<uint8_t, 256>& s) {
  std::array<uint8_t, 256> d{};
  for (int h = 0; h < 16; ++h) {
    for (int lo = 0; lo < 16; ++lo) {
      const uint8_t next = (h & 7) == 7 ? 0 : s[16 * (h + 1) + lo];
      d[16 * h + lo] = static_cast<uint8_t>(s[16 * h + lo] ^ next);
    }
  }
  return d;
}

constexpr std::array<uint8_t, 256> kSboxPlain = MakeSbox();
alignas(16) constexpr std::array<uint8_t, 256> kSbox = MakeRowSums(kSboxPlain);
alignas(16) constexpr std::array<uint8_t, 256> kInvSbox = MakeRowSums(MakeInverse(kSboxPlain));
static_assert(kSboxPlain[0x00] == 0x63 && kSboxPlain[0x53] == 0xed && kSboxPlain[0xff] == 0x16, "S-box");

// State byte 4c + r is row r of column c, as in the block's memory order.
// ShiftRows: out[r + 4c] = in[r + 4((c + r) mod 4)]; the inverse subtracts.
alignas(16) constexpr uint8_t kShiftRows[16] = {0, 5, 10, 15, 4, 9, 14, 3, 8, 13, 2, 7, 12, 1, 6, 11};
alignas(16) constexpr uint8_t kInvShiftRows[16] = {0, 13, 10, 7, 4, 1, 14, 11, 8, 5, 2, 15, 12, 9, 6, 3};
// Rotations of every column by one and two rows: out[r + 4c] = in[(r + k) mod 4 + 4c].
alignas(16) constexpr uint8_t kRot1[16] = {1, 2, 3, 0, 5, 6, 7, 4, 9, 10, 11, 8, 13, 14, 15, 12};
alignas(16) constexpr uint8_t kRot2[16] = {2, 3, 0, 1, 6, 7, 4, 5, 10, 11, 8, 9, 14, 15, 12, 13};

NXVT_VPERM_TARGET inline __m128i Load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }

// Table lookup of all sixteen bytes, one half of the table at a time. In a
// half, x + (0x70 - 16h) with unsigned saturation keeps bit 7 clear and the
// low nibble intact exactly in the bytes whose high nibble is at most h;
// pshufb yields zero for the others, so every byte collects the rows from
// its own to the half's end, which add up to its S-box row. The first row
// adds 0x70 with saturation and each next one subtracts 0x10 with
// saturation, which keeps bit 7 and the low nibble of that sum (bytes at or
// above 0x90 saturate to 0xff and stay at or above 0x8f). The high half is
// the same after flipping bit 7, which sends the low half's bytes out of
// range.
NXVT_VPERM_TARGET inline __m128i Half(const unsigned char* rows, __m128i v) {
  const __m128i step = _mm_set1_epi8(0x10);
  __m128i idx = _mm_adds_epu8(v, _mm_set1_epi8(0x70));
  __m128i acc = _mm_shuffle_epi8(Load(rows), idx);
#pragma GCC unroll 7
  for (int h = 1; h < 8; ++h) {
    idx = _mm_subs_epu8(idx, step);
    acc = _mm_xor_si128(acc, _mm_shuffle_epi8(Load(rows + 16 * h), idx));
  }
  return acc;
}

NXVT_VPERM_TARGET inline __m128i SubBytes(__m128i x, const std::array<uint8_t, 256>& rows) {
  return _mm_xor_si128(Half(rows.data(), x),
                       Half(rows.data() + 128, _mm_xor_si128(x, _mm_set1_epi8(static_cast<char>(0x80)))));
}

// Multiplication by x in GF(2^8), every byte; the reduction is a mask.
NXVT_VPERM_TARGET inline __m128i XTime(__m128i a) {
  const __m128i high = _mm_cmpgt_epi8(_mm_setzero_si128(), a);
  return _mm_xor_si128(_mm_add_epi8(a, a), _mm_and_si128(high, _mm_set1_epi8(0x1b)));
}

// out_r = 2a_r ^ 3a_{r+1} ^ a_{r+2} ^ a_{r+3} = x t_r ^ a_{r+1} ^ t_{r+2}
// with t_r = a_r ^ a_{r+1}.
NXVT_VPERM_TARGET inline __m128i MixColumns(__m128i a) {
  const __m128i r1 = _mm_shuffle_epi8(a, Load(kRot1));
  const __m128i t = _mm_xor_si128(a, r1);
  return _mm_xor_si128(_mm_xor_si128(XTime(t), r1), _mm_shuffle_epi8(t, Load(kRot2)));
}

// InvMixColumns is MixColumns after a_r ^= x^2 (a_r ^ a_{r+2}), since
// {0e,0b,0d,09} = {02,03,01,01} * {05,00,04,00} over GF(2^8)[y]/(y^4 + 1).
NXVT_VPERM_TARGET inline __m128i InvMixColumns(__m128i a) {
  const __m128i r2 = _mm_shuffle_epi8(a, Load(kRot2));
  return MixColumns(_mm_xor_si128(a, XTime(XTime(_mm_xor_si128(a, r2)))));
}

NXVT_VPERM_TARGET __m128i Encrypt(__m128i s, const unsigned char* w, int rounds) {
  const __m128i shift = Load(kShiftRows);
  s = _mm_xor_si128(s, Load(w));
  for (int r = 1; r < rounds; ++r) {
    s = MixColumns(SubBytes(_mm_shuffle_epi8(s, shift), kSbox));
    s = _mm_xor_si128(s, Load(w + 16 * r));
  }
  s = SubBytes(_mm_shuffle_epi8(s, shift), kSbox);
  return _mm_xor_si128(s, Load(w + 16 * rounds));
}

// The equivalent inverse cipher over the second half of the schedule.
NXVT_VPERM_TARGET __m128i Decrypt(__m128i s, const unsigned char* dk, int rounds) {
  const __m128i shift = Load(kInvShiftRows);
  s = _mm_xor_si128(s, Load(dk + 16 * rounds));
  for (int r = rounds - 1; r > 0; --r) {
    s = InvMixColumns(SubBytes(_mm_shuffle_epi8(s, shift), kInvSbox));
    s = _mm_xor_si128(s, Load(dk + 16 * r));
  }
  s = SubBytes(_mm_shuffle_epi8(s, shift), kInvSbox);
  return _mm_xor_si128(s, Load(dk));
}

}  // namespace

NXVT_VPERM_TARGET void NXVT_AesVp_EncryptBlocks(unsigned char* blocks, size_t count, const unsigned char* schedule,
                                                int rounds) {
  for (size_t i = 0; i < count; ++i) {
    __m128i* p = reinterpret_cast<__m128i*>(blocks + 16 * i);
    _mm_storeu_si128(p, Encrypt(_mm_loadu_si128(p), schedule, rounds));
  }
}

NXVT_VPERM_TARGET void NXVT_AesVp_DecryptBlocks(unsigned char* blocks, size_t count, const unsigned char* schedule,
                                                int rounds) {
  const unsigned char* dk = schedule + 16 * (rounds + 1);
  for (size_t i = 0; i < count; ++i) {
    __m128i* p = reinterpret_cast<__m128i*>(blocks + 16 * i);
    _mm_storeu_si128(p, Decrypt(_mm_loadu_si128(p), dk, rounds));
  }
}

NXVT_VPERM_TARGET void NXVT_AesVp_CbcEncrypt(unsigned char* data, size_t count, const unsigned char* schedule,
                                             int rounds, unsigned char* iv) {
  __m128i chain = _mm_loadu_si128(reinterpret_cast<const __m128i*>(iv));
  for (size_t i = 0; i < count; ++i) {
    __m128i* p = reinterpret_cast<__m128i*>(data + 16 * i);
    chain = Encrypt(_mm_xor_si128(_mm_loadu_si128(p), chain), schedule, rounds);
    _mm_storeu_si128(p, chain);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(iv), chain);
}
