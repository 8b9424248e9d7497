#ifndef TOLVARIS_CRYPTO_CODEC_BASE58_H
#define TOLVARIS_CRYPTO_CODEC_BASE58_H

#include <cstdint>

// Base58 and Base58Check (payload, then the first 4 bytes of its double
// SHA-256). Buffers and in/out lengths as in hex_convert.h; failures record
// "Func:code" in the error trail, innermost first.

// Alphabet selector: 1 is the XRP Ledger alphabet, every other value Bitcoin's.
using Base58Alphabet = uint32_t;
inline constexpr Base58Alphabet kBase58Bitcoin = 0;
inline constexpr Base58Alphabet kBase58Xrp = 1;

// The whole second SHA-256 of SHA-256(data) into out[32]; the checksum is its
// first 4 bytes. Returns 0, 47 (null argument), 62, 67 (a digest failed).
int MakeCheckSum(const unsigned char* data, uint32_t n, unsigned char* out);

// Base58 text of `n` bytes, NUL-terminated; each leading zero byte becomes the
// alphabet's first character. Needs n * 138 / 100 + 2 bytes; stores the text
// length. Returns 0, 109 (null argument, negative count, no memory),
// 120 (capacity below the estimate), 144, 157, 168, 176 (does not fit).
int EncodeBase58(Base58Alphabet alphabet, const unsigned char* in, int32_t n, char* out, uint32_t* len);

// Decodes `n` characters into big-endian bytes (each leading zero character
// gives a zero byte). A null `out` stores 2n. Returns 0, 205 (null argument,
// negative count), 223 (capacity 0 for a non-empty text), 228 (a character
// outside the alphabet), 233, 245 (the bytes do not fit).
int DecodeBase58(Base58Alphabet alphabet, const char* text, int32_t n, unsigned char* out, uint32_t* len);

// Base58Check text of a payload. Needs (n + 4) * 138 / 100 + 2 bytes.
// Returns 0, 290 (null argument, negative count), 301 (capacity below the
// estimate, no memory), 307 (checksum failed), 315 (encoding failed).
int Base58CheckEncode(Base58Alphabet alphabet, const unsigned char* payload, int32_t n, char* out,
                      uint32_t* len);

// Decodes a Base58Check text into `out` and checks its checksum; on success the
// length is the payload's and the 4 bytes after it in `out` are zeroed. The
// capacity must hold payload and checksum; a null `out` stores the text length.
// Returns 0, 337 (null text), 342 (null length), 345 (empty or overlong text),
// 354 (decoding failed), 357 (fewer than 4 bytes decoded), 360 (checksum
// failed), 369 (checksum mismatch; the length then holds the payload length).
int Base58CheckDecode(Base58Alphabet alphabet, const char* text, unsigned char* out, uint32_t* len);

#endif
