#ifndef TOLVARIS_CRYPTO_BIGNUM_BIGNUM_H
#define TOLVARIS_CRYPTO_BIGNUM_BIGNUM_H

#include <cstdint>

// Unsigned multi-precision integer of fixed capacity: 32-bit words, least
// significant first. count == 0 is the value zero. Words at and beyond count
// carry no meaning. Values may be unnormalised (zero top words); every
// operation accepts that and compares by value.
inline constexpr uint32_t NXVT_BN_MAX_WORDS = 258;

struct NXVT_BN {
  uint32_t count;
  uint32_t words[NXVT_BN_MAX_WORDS];
};

// Records whose count exceeds NXVT_BN_MAX_WORDS are invalid: the operations
// below refuse them (-1, or nothing written for those without a result), and
// every operation whose result would not fit into the record returns -1
// without touching the result.
//
// Unless said otherwise, results may alias operands; i32 results are 0 for
// success and -1 for failure.

// r = big-endian bytes. len 0: r = 0; len < 0 or > 1031: r left unchanged.
// Leading zero bytes keep their words (count = ceil(len / 4)).
void NXVT_BN_FromBytes(NXVT_BN* r, const uint8_t* bytes, int32_t len);

// Big-endian bytes of a, without leading zeros. *len holds the capacity on
// entry and the bytes written on return. Zero: one 0x00 byte when the
// capacity is at least 1, else *len = 0. Capacity below 4 * count: *len = 0
// and nothing written. A nonzero count whose words are all zero: *len = 0.
void NXVT_BN_ToBytes(uint8_t* out, uint32_t* len, const NXVT_BN* a);

// a as exactly len big-endian bytes, zero-filled in front (key and
// coordinate fields). -1, nothing written, for a null `out`, an invalid
// record or a value that needs more than len bytes.
int32_t NXVT_BN_ToFixedBytes(uint8_t* out, uint32_t len, const NXVT_BN* a);

// r = hexadecimal text (digits only, no prefix). "" and "0" give zero.
// Any other character: r = 0 and -1. Null r or text: -1.
int32_t NXVT_BN_FromHex(NXVT_BN* r, const char* text);

// Number of significant bits; 0 for zero.
uint32_t NXVT_BN_BitLen(const NXVT_BN* a);
// True when a is zero by value (any count, words up to NXVT_BN_MAX_WORDS
// read); true for null as well, like a bit length of 0.
bool NXVT_BN_IsZero(const NXVT_BN* a);

// 1 when a > b, 0 when equal, -2 when a < b, -1 when a or b is null.
int32_t NXVT_BN_Cmp(const NXVT_BN* a, const NXVT_BN* b);

// r = a + b; count = longer operand's count (+1 on carry).
int32_t NXVT_BN_Add(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b);
// r = a + w.
int32_t NXVT_BN_AddWord(NXVT_BN* r, const NXVT_BN* a, uint32_t w);

// r = |a - b|; result 1 (a > b), -2 (a < b) or 0 (equal, r = 0 with count 0);
// -1 for a null or invalid operand. count = larger operand's count.
int32_t NXVT_BN_Sub(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b);
// a >= w: r = a - w, result 1 (result 0 when a = w = 0, r = 0).
// a < w: r = w - a, result -1.
int32_t NXVT_BN_SubWord(NXVT_BN* r, const NXVT_BN* a, uint32_t w);

// r = a * b; count = a.count + b.count (not normalised).
int32_t NXVT_BN_Mul(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b);
// r = a^2; count = 2 * a.count (not normalised).
int32_t NXVT_BN_Sqr(NXVT_BN* r, const NXVT_BN* a);

// a = a mod m in place, normalised. -1 when m = 0 or a and m are the same
// record.
int32_t NXVT_BN_Mod(NXVT_BN* a, const NXVT_BN* m);

// Remainder-only long division on word arrays: (*aCount, aWords) becomes
// its remainder modulo (mCount, mWords), normalised. The divisor is never
// modified and may overlap the dividend. -1 for a zero divisor or a count
// above NXVT_BN_MAX_WORDS. Only the first *aCount words of aWords are written.
int32_t NXVT_BN_DivMod(uint32_t* aCount, uint32_t* aWords, uint32_t mCount, const uint32_t* mWords);

// r = a^-1 mod m in 1 .. m - 1. -1 when m = 0, m is the same record as a or
// r, gcd(a, m) != 1, or m = 1. r may be the same record as a.
int32_t NXVT_BN_ModInv(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* m);

// Word-array primitives. The result arrays must have room for the stated
// number of words; r must not overlap a or b for Mul/Sqr (it may be a or b
// exactly for Add/Sub).
// r = a * b, *count = na + nb; nothing when na or nb is 0.
void NXVT_BN_MulWords(uint32_t* count, uint32_t* r, uint32_t na, const uint32_t* a, uint32_t nb,
                      const uint32_t* b);
// r = a^2, *count = 2n; nothing when n is 0.
void NXVT_BN_SqrWords(uint32_t* count, uint32_t* r, uint32_t n, const uint32_t* a);
// r = a + b, *count = max(na, nb) (+1 on carry; room for max + 1 words).
void NXVT_BN_AddWords(uint32_t* count, uint32_t* r, uint32_t na, const uint32_t* a, uint32_t nb,
                      const uint32_t* b);
// r = |a - b| for normalised operands; 1 when a > b, -1 when a < b, 0 when
// equal (*count = 0). *count = the larger operand's count.
int32_t NXVT_BN_SubWords(uint32_t* count, uint32_t* r, uint32_t na, const uint32_t* a, uint32_t nb,
                         const uint32_t* b);
// Binary extended Euclid on m and a (both at most NXVT_BN_MAX_WORDS words):
// gcd and the magnitude of the coefficient c of a with c * a = gcd (mod m).
// Output arrays need NXVT_BN_MAX_WORDS + 2 words: the coefficient may
// outgrow the larger operand by a few bits. Result: 1 when c is negative,
// 0 when not, -1 for invalid counts or a zero operand.
int32_t NXVT_BN_ModInvCore(uint32_t* gcdCount, uint32_t* gcdWords, uint32_t* coefCount,
                           uint32_t* coefWords, uint32_t mCount, const uint32_t* mWords,
                           uint32_t aCount, const uint32_t* aWords);

// a = 2a in place, normalised.
int32_t NXVT_BN_Shl1Self(NXVT_BN* a);
// r = 2a, normalised.
int32_t NXVT_BN_Shl1(NXVT_BN* r, const NXVT_BN* a);
// a = floor(a / 2^n) in place, normalised.
int32_t NXVT_BN_ShrBits(NXVT_BN* a, uint32_t n);
// r = floor(a / 2), normalised.
int32_t NXVT_BN_Shr1(NXVT_BN* r, const NXVT_BN* a);

// r = a's words padded with zero words to ref's count; count = ref's count.
// -1 when a's count exceeds ref's (r unchanged).
int32_t NXVT_BN_CopyPadded(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* ref);

// Destroys the value: the whole record, count included, becomes zero bytes.
void NXVT_BN_Wipe(NXVT_BN* a);

// Strips zero top words.
void NXVT_BN_Normalize(NXVT_BN* a);

#endif
