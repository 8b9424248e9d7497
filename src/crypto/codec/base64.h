#ifndef TOLVARIS_CRYPTO_CODEC_BASE64_H
#define TOLVARIS_CRYPTO_CODEC_BASE64_H

#include <cstdint>

// Base64 with the standard alphabet and "=" padding. Buffers and in/out
// lengths as in hex_convert.h; failures record "Func:code" in the error trail.

// Padded text and a NUL; needs 4n / 3 + 4 bytes; stores 4 * ceil(n / 3).
// Returns 0, 32 (null argument, negative count), 43 (capacity below the need).
int Base64Encode(const unsigned char* in, int32_t n, char* out, uint32_t* len);

// Decodes a text that may hold CR LF or LF line breaks, blanks before a break
// or at the end, and up to two "=" at the end. An unpadded last group of 2 or 3
// characters gives 1 or 2 bytes; a lone last character is refused. A null
// `out` stores an upper bound of the size.
// Returns 0, 132 (null argument), 159 (invalid character, blank inside a line,
// a third "=", data after "=", a lone last character), 167 (no Base64
// characters), 182 (capacity below the size).
int Base64Decode(const char* text, unsigned char* out, uint32_t* len);

#endif
