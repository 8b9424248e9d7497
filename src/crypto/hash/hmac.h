#ifndef TOLVARIS_CRYPTO_HASH_HMAC_H
#define TOLVARIS_CRYPTO_HASH_HMAC_H

#include <cstddef>
#include <cstdint>

#include "crypto/hash/digest.h"

// HMAC over a streaming digest: the inner context has absorbed K0 ^ 0x36, the
// outer one K0 ^ 0x5c. The key block is twice the digest length (64 bytes for
// SHA-256, 128 for SHA-512, 40 for RIPEMD-160). Holds keyed state: callers
// wipe it when done.
struct NXVT_HMAC_CTX {
  NXVT_DIGEST_CTX inner;
  NXVT_DIGEST_CTX outer;
};

// HMAC key block length of a digest id (2 x digest length), 0 for no digest id.
uint32_t HmacBlockLen(HashId id);

// Returns 0, or -1 for a null argument, a negative key length or a descriptor
// other than the three streaming ones.
int NXVT_HMAC_Init(NXVT_HMAC_CTX* ctx, const unsigned char* key, int32_t keyLen, const NXVT_DIGEST_DESC* desc);
// Feeds message bytes to the inner context (a null or empty input is ignored).
void NXVT_HMAC_Update(NXVT_HMAC_CTX* ctx, const unsigned char* data, size_t len);
// Writes the MAC; *outLen holds the capacity and becomes the digest length, or
// 0 when the capacity is short. The context is left as it was.
void NXVT_HMAC_Final(unsigned char* out, int32_t* outLen, const NXVT_HMAC_CTX* ctx);

// One-shot HMAC under the flat API's buffer convention (null `out` asks for
// the length). Returns 0, 106, 117, 128, 144, 161, 169 or 177 with trail entries.
int DoHMAC(HashId id, const unsigned char* key, int32_t keyLen, const unsigned char* data, uint32_t dataLen,
           unsigned char* out, int32_t* outLen);

#endif
