#ifndef TOLVARIS_KEYS_SHAMIR_H
#define TOLVARIS_KEYS_SHAMIR_H

#include <cstdint>

#include "crypto/bignum/bignum.h"

// Shamir share mnemonics: the entropy behind a 12- to 24-word BIP39 mnemonic
// is split over GF(p), p one of 15 primes just below 2^(8L) for the entropy
// length L. Each share is three header words (bytes H0, H1, H2 as BIP39 word
// indexes 0..255) and the BIP39 mnemonic of the share value masked with
// SHA-256(H0 || H1 || H2); shares are joined by ";".
//   H0 = 16 x + k, H1 = 16 ((n + x) mod 16) + t, H2 = (t + L + n + k + x) mod 256
// for share x of n, threshold t and prime index k.
//
// Create_SSS and GetSSS_Secret return 0 or 1 and add no trail entry of their
// own (the functions they call do).

inline constexpr int32_t kSSSPrimeCount = 15;
inline constexpr int32_t kSSSMaxShares = 10;     // shares a recovery accepts
inline constexpr int32_t kSSSMaxHeaderTotal = 15; // share numbers fit four bits
inline constexpr int32_t kSSSMaxShareText = 263;  // characters of one share
inline constexpr int32_t kSSSMasterCap = 264;     // recovery output capacity

// Loads prime number `*index` (0 = largest) for a secret of `len` bytes (16,
// 20, 24, 28 or 32). A negative index is first replaced by a random one in
// 0..14 from the library's random source. 0, or 1 for a length without a
// prime row, an index above 14, or a failure of the random source.
int GetSSSPrime(int32_t len, NXVT_BN* prime, int32_t* index);

// Number of prime indexes whose prime exceeds `secret` (a prefix 0..m-1 of
// the table, since the primes descend); 0 for a length without a prime row.
int32_t CountSSSPrimesAbove(int32_t len, const NXVT_BN* secret);

// Splits a valid master mnemonic into n shares with threshold t
// (2 <= t <= n, t <= 10, n <= 15). The prime is drawn at random among those
// above the secret; a secret with no such prime cannot be split. A null
// output asks for the needed length, (words + 3) * n * 11. The output is
// written from its start; `outLen` holds the capacity on entry and the text
// length on return.
int Create_SSS(const char* mnemonic, int32_t total, int32_t threshold, char* out, int32_t* outLen);

// Recovers the master mnemonic from exactly t shares of one split (at most
// 10 shares, each at most 263 characters, distinct share numbers 1..n).
// The capacity must be at least 264.
int GetSSS_Secret(const char* shares, char* out, int32_t* outLen);

// Lagrange coefficient at 0 of share `x` among the share numbers `xs`
// (count entries, distinct, nonzero) modulo `prime`. 0 or 1.
int SSSInterpolate(NXVT_BN* result, int32_t x, const int32_t* xs, int32_t count, const NXVT_BN* prime);

#endif
