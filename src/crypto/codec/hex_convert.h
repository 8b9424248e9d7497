#ifndef TOLVARIS_CRYPTO_CODEC_HEX_CONVERT_H
#define TOLVARIS_CRYPTO_CODEC_HEX_CONVERT_H

#include <cstddef>
#include <cstdint>

// Text and bit-stream conversions. Buffers are pointer plus count; an in/out
// length holds the capacity on entry (compared as signed 32-bit) and the
// produced count on return. A null output asks for the needed size. Every
// failure records "Func:code" in the error trail and leaves the in/out length
// unchanged.

// Copies field `n` (0-based; a negative index means 0) of `text`, fields
// separated by `sep`, into `out` and NUL-terminates it. `outCap` is the size of
// `out` and must hold the field and its terminator.
// Returns 0, 57 (null text or output), 62 (fewer than n separators),
// 71 (position beyond the text), 76 (field does not fit).
int GetValue(const char* text, char sep, int32_t n, char* out, size_t outCap);

// Bare hexadecimal digits (either case; an odd count reads as if a 0 stood in
// front) to bytes. Needs ceil(digits / 2) bytes; a null `out` stores that.
// Returns 0, 92 (null text or length), 104 (capacity below the byte count),
// 117 (a non-hex character; the bytes before it are written).
int ConvertHexStr2ByteArr(const char* hex, unsigned char* out, uint32_t* len);

// Bytes to hexadecimal digits, upper-case when `upper` is exactly 1, followed
// by a NUL. Needs 2n + 1; stores 2n.
// Returns 0, 140 (null input or length), 152 (capacity below 2n + 1).
int ConvertByteArr2HexStr(const unsigned char* in, uint32_t n, int32_t upper, char* out, uint32_t* len);

// Regroups `n` values of `from` bits (one per byte, most significant first)
// into values of `to` bits, one per output byte. Both widths must be 1..8.
// Splitting (from > to) pads the last group with zero bits; joining (from <= to)
// keeps a partial last group only when it is nonzero. Needs
// ceil(n * from / to) values.
// Returns 0, 183 (a width outside 1..8), 187 (null input or length),
// 198 (capacity below the needed count).
int ConverByte2Bit(const unsigned char* in, int32_t n, int32_t from, int32_t to, unsigned char* out,
                   uint32_t* len);

#endif
