#ifndef TOLVARIS_CRYPTO_CODEC_BASE32_H
#define TOLVARIS_CRYPTO_CODEC_BASE32_H

#include <cstdint>

// One character per 5-bit value over the bech32 character set
// "qpzry9x8gf2tvdw0s3jn54khce6mua7l": no grouping, padding or checksum.
// Both return 0 or 1 and record nothing in the error trail.

// Writes the character of each value (0..31) and, when the capacity leaves room
// for it, a NUL; stores n. A null `out` stores n. A value above 31 is refused.
int Base32Encode(const unsigned char* values, int32_t n, char* out, uint32_t* len);

// Writes each character's value (either case) as one byte; stores the text
// length; no terminator. A null `out` stores the text length.
int Base32Decode(const char* text, unsigned char* out, uint32_t* len);

#endif
