#ifndef QUENMOD_ETH_RLP_H
#define QUENMOD_ETH_RLP_H

// Recursive Length Prefix encoding, the only encoder of the Ethereum add-on.
//
// A list is never built from a structure: the caller appends the encodings
// of its items to one byte string (the list payload) and encodes that once
// more with the list flag set.
//
//   one byte 0x00-0x7F (string)   that byte alone
//   string of 0-55 bytes          0x80 + length, bytes
//   list payload of 0-55 bytes    0xC0 + length, payload
//   longer string / payload       0xB7 / 0xF7 + n, length in n big-endian bytes, bytes
//
// Integers are the byte string of their big-endian value without leading
// zero bytes (zero is the empty string, 0x80).

#include <cstdint>
#include <vector>

#include "common/bytes.h"

// Encodes `count` bytes of `data` as a string (isList 0) or a list payload
// (any other isList) into `out`. *outLen holds the capacity on entry and the
// encoding's length on return; a null `out` asks for the length only. Returns
// 0, 52 (null outLen, negative count, null data with a nonzero count) or 113
// (capacity too small: nothing written, *outLen unchanged), recording
// "MakeRLPEncode Error !!" in the error chain.
int MakeRLPEncode(const unsigned char* data, int count, int isList, unsigned char* out, int* outLen);

// Appends the encoding of the integer `value`. 0 or 1 (out unchanged).
int SetTxUulDatas(uint64_t value, Bytes& out);

// Appends the encoding of `bytes`, exactly as given (leading zeros stay), as
// a string (isList 0) or a list payload (isList 1). 0 or 1 (out unchanged).
int AppendRLPBytes(const Bytes& bytes, int isList, Bytes& out);

// Appends the big-endian number `bytes` as an integer: leading zero bytes
// dropped, so zero encodes as 0x80. 0 or 1 (out unchanged).
int AppendRLPUInt(const Bytes& bytes, Bytes& out);

#endif
