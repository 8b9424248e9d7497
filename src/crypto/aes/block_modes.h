#ifndef TOLVARIS_CRYPTO_AES_BLOCK_MODES_H
#define TOLVARIS_CRYPTO_AES_BLOCK_MODES_H

#include <cstddef>
#include <cstdint>

#include "crypto/aes/aes.h"

// Modes of operation over a block operation (SP 800-38A, 38C, 38D). Every
// routine works in place on one caller buffer. The IV / counter argument is
// working state and is overwritten. Block sizes other than 1..16 are refused
// by the chaining modes; GCM and CCM take only 16.

// Writes `len` bytes of `in` (copied when out != in) followed by 1..blockSize
// bytes of PKCS#7 padding into `out`; returns the padded length.
uint32_t NXVT_PKCS7_Pad(unsigned char* out, const unsigned char* in, uint32_t len, uint32_t blockSize);

// CBC over the whole blocks of `data`. Returns the number of trailing bytes
// left unprocessed (0 for a whole number of blocks), -1 for a bad block size.
int32_t NXVT_CBC_Encrypt(unsigned char* data, uint32_t len, const unsigned char* schedule, unsigned char* iv,
                         uint32_t blockSize, NXVT_BlockFn encrypt);
int32_t NXVT_CBC_Decrypt(unsigned char* data, uint32_t len, const unsigned char* schedule, unsigned char* iv,
                         uint32_t blockSize, NXVT_BlockFn decrypt);

// CFB with a full-block segment, OFB and CTR: any length; 0 or -1 for a bad
// block size. CTR increments the whole counter block as one big-endian
// integer, wrapping past all ones to zero.
int32_t NXVT_CFB_Encrypt(unsigned char* data, uint32_t len, const unsigned char* schedule, unsigned char* iv,
                         uint32_t blockSize, NXVT_BlockFn encrypt);
int32_t NXVT_CFB_Decrypt(unsigned char* data, uint32_t len, const unsigned char* schedule, unsigned char* iv,
                         uint32_t blockSize, NXVT_BlockFn encrypt);
int32_t NXVT_OFB_Crypt(unsigned char* data, uint32_t len, const unsigned char* schedule, unsigned char* iv,
                       uint32_t blockSize, NXVT_BlockFn encrypt);
int32_t NXVT_CTR_Crypt(unsigned char* data, uint32_t len, const unsigned char* schedule, unsigned char* counter,
                       uint32_t blockSize, NXVT_BlockFn encrypt);
// CTR from `in` to `out`, with the result of copying the input to `out`
// first and running in place there (however the buffers overlap).
int32_t NXVT_CTR_CryptTo(unsigned char* out, const unsigned char* in, uint32_t len, const unsigned char* schedule,
                         unsigned char* counter, uint32_t blockSize, NXVT_BlockFn encrypt);

// GHASH of the whole 16-byte blocks of `data` (trailing bytes ignored) under
// the hash subkey `h`, from a zero start. No branch or index depends on data.
void NXVT_GCM_GHash(unsigned char* result, const unsigned char* data, size_t len, const unsigned char* h,
                    uint32_t blockSize);
// Adds 1 modulo 2^32 to the last four bytes of the counter block.
void NXVT_GCM_Inc32(unsigned char* counter, uint32_t blockSize);
// GCTR: out = in XOR E(counter), E(inc32(counter)), ...; exactly `len` bytes
// (out may equal in). The counter block is advanced.
void NXVT_GCM_GCTR(unsigned char* out, unsigned char* counter, const unsigned char* in, uint32_t len,
                   uint32_t blockSize, const unsigned char* schedule, NXVT_BlockFn encrypt);

// GCM: the data is replaced by its encryption / decryption and the full
// 16-byte tag (computed over the ciphertext) is written to `tag`. Decryption
// does not compare tags. An empty IV and block sizes other than 16 are
// refused (-1).
int32_t NXVT_GCM_Encrypt(unsigned char* data, uint32_t len, unsigned char* tag, const unsigned char* aad,
                         uint32_t aadLen, const unsigned char* schedule, const unsigned char* iv, uint32_t ivLen,
                         uint32_t blockSize, NXVT_BlockFn encrypt);
int32_t NXVT_GCM_Decrypt(unsigned char* data, uint32_t len, unsigned char* tag, const unsigned char* aad,
                         uint32_t aadLen, const unsigned char* schedule, const unsigned char* iv, uint32_t ivLen,
                         uint32_t blockSize, NXVT_BlockFn encrypt);
// The same from `in` to `out`, with the result of copying the input to
// `out` first and running in place there.
int32_t NXVT_GCM_EncryptTo(unsigned char* out, const unsigned char* in, uint32_t len, unsigned char* tag,
                           const unsigned char* aad, uint32_t aadLen, const unsigned char* schedule,
                           const unsigned char* iv, uint32_t ivLen, uint32_t blockSize, NXVT_BlockFn encrypt);
int32_t NXVT_GCM_DecryptTo(unsigned char* out, const unsigned char* in, uint32_t len, unsigned char* tag,
                           const unsigned char* aad, uint32_t aadLen, const unsigned char* schedule,
                           const unsigned char* iv, uint32_t ivLen, uint32_t blockSize, NXVT_BlockFn encrypt);

// CCM formatting: the bytes B0, encoded AAD length, AAD, zero fill, payload,
// zero fill. `out` must hold NXVT_CCM_FormattedLength bytes; the length
// written is stored in *outLen.
size_t NXVT_CCM_FormattedLength(uint32_t aadLen, uint32_t payloadLen);
void NXVT_CCM_FormatHeader(unsigned char* out, size_t* outLen, const unsigned char* nonce, uint32_t nonceLen,
                           const unsigned char* aad, uint32_t aadLen, const unsigned char* payload,
                           uint32_t payloadLen, uint32_t tagLen);
// Counter blocks Ctr_0, Ctr_1, ... while 16 * i < totalLen.
void NXVT_CCM_FormatCounter(unsigned char* out, size_t totalLen, const unsigned char* nonce, uint32_t nonceLen,
                            uint32_t blockSize, uint32_t q);

// CCM (SP 800-38C). Nonces of 7..13 bytes, tags of 4, 6, ..., 16 bytes, and
// payloads that fit the length field (below 2^(8q), q = 15 - nonce length).
// Encryption: `data` holds the payload and room for the tag, which is written
// after the ciphertext. Decryption: `data` holds ciphertext and tag
// (`inLen` counts both); on success the plaintext replaces the ciphertext,
// on any failure (tag mismatch included) the buffer is left as it was.
int32_t NXVT_CCM_Encrypt(unsigned char* data, uint32_t payloadLen, uint32_t tagLen, const unsigned char* nonce,
                         uint32_t nonceLen, const unsigned char* aad, uint32_t aadLen, const unsigned char* schedule,
                         uint32_t blockSize, NXVT_BlockFn encrypt);
int32_t NXVT_CCM_Decrypt(unsigned char* data, uint32_t inLen, uint32_t tagLen, const unsigned char* nonce,
                         uint32_t nonceLen, const unsigned char* aad, uint32_t aadLen, const unsigned char* schedule,
                         uint32_t blockSize, NXVT_BlockFn encrypt);
// The same from `in` to `out` (`out` holds room for the tag, or ciphertext
// and tag), with the result of copying the input to `out` first and running
// in place there: a refused tag leaves `out` holding the input.
int32_t NXVT_CCM_EncryptTo(unsigned char* out, const unsigned char* in, uint32_t payloadLen, uint32_t tagLen,
                           const unsigned char* nonce, uint32_t nonceLen, const unsigned char* aad, uint32_t aadLen,
                           const unsigned char* schedule, uint32_t blockSize, NXVT_BlockFn encrypt);
int32_t NXVT_CCM_DecryptTo(unsigned char* out, const unsigned char* in, uint32_t inLen, uint32_t tagLen,
                           const unsigned char* nonce, uint32_t nonceLen, const unsigned char* aad, uint32_t aadLen,
                           const unsigned char* schedule, uint32_t blockSize, NXVT_BlockFn encrypt);

// Compares n bytes in time independent of their contents; true when equal.
bool ConstantTimeEqual(const unsigned char* a, const unsigned char* b, size_t n);

// True when the n bytes at a and the n bytes at b share some addresses but
// do not coincide: a routine that reads one and writes the other then needs
// the input copied over first.
bool PartlyOverlapping(const unsigned char* a, const unsigned char* b, size_t n);
// The input such a routine reads: `in` itself, or `out` after the n bytes
// of `in` were moved there when the two partly overlap.
const unsigned char* UnOverlap(unsigned char* out, const unsigned char* in, size_t n);

#endif
