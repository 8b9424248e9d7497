#ifndef TOLVARIS_BCM_CODEC_H
#define TOLVARIS_BCM_CODEC_H

#include <stdint.h>

#include "tolvaris/export.h"

/* Codec exports. An output is a buffer and a pointer to its length: capacity
 * on entry, written length on return. A null output buffer asks for the needed
 * length (an upper bound for the decoders). Needed lengths above INT32_MAX are
 * refused. */

/* Hex digits (no prefix, either case, odd count padded in front) to bytes;
 * needs ceil(digits / 2). Codes 65, 78, 84. */
TOLVARIS_API int BCMConvHexStrToByteArr(const char* hex, unsigned char* out, uint32_t* outLen);
/* Bytes to hex digits and a NUL (upper-case when upper is 1); needs
 * 2 * inLen + 1, writes back 2 * inLen. Codes 105, 118, 124. */
TOLVARIS_API int BCMConvByteArrToHexStr(const unsigned char* in, uint32_t inLen, int upper, char* out,
                                        uint32_t* outLen);
/* Regroups values of fromBits bits into values of toBits bits (both 1..8);
 * needs (inLen * fromBits + 1) / toBits + 1. Codes 145, 158, 164. */
TOLVARIS_API int BCMConvBitToBit(const unsigned char* in, uint32_t inLen, uint32_t fromBits, int toBits,
                                 unsigned char* out, uint32_t* outLen);

/* 4 * len / 3 + 4, or -1 when that exceeds INT32_MAX. No trail. */
TOLVARIS_API int BCMGenBase64EncodeLen(uint32_t len);
/* Padded Base64 text and a NUL; codes 190, 203, 209. */
TOLVARIS_API int BCMGenBase64Encode(const unsigned char* in, uint32_t inLen, char* out, uint32_t* outLen);
/* Needs the text length; codes 230, 243, 249. */
TOLVARIS_API int BCMGenBase64Decode(const char* text, unsigned char* out, uint32_t* outLen);

/* (len + 4) * 138 / 100 + 2, or -1 when that exceeds INT32_MAX. No trail. */
TOLVARIS_API int BCMGenBase58CheckEncodeLen(uint32_t len);
/* alphabet 1 = XRP, any other value = Bitcoin. Codes 275, 288, 294. */
TOLVARIS_API int BCMGenBase58CheckEncode(uint32_t alphabet, const unsigned char* payload, uint32_t len,
                                         char* out, uint32_t* outLen);
/* Writes the payload (checksum checked and removed); needs the text length.
 * Codes 315, 328, 334. */
TOLVARIS_API int BCMGenBase58CheckDecode(uint32_t alphabet, const char* text, unsigned char* out,
                                         uint32_t* outLen);

/* 5-bit values to bech32 characters and a NUL; needs 4 * count / 3 + 4.
 * Codes 355, 368, 374. */
TOLVARIS_API int BCMGenBase32Encode(const unsigned char* values, uint32_t count, char* out, uint32_t* outLen);
/* bech32 characters (either case) to 5-bit values; needs the text length.
 * Codes 395, 408, 414. */
TOLVARIS_API int BCMGenBase32Decode(const char* text, unsigned char* out, uint32_t* outLen);

#endif
