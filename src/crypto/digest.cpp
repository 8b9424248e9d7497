// Placeholder until the digest module lands.
#include "crypto/digest.h"
#include "crypto/keccak.h"
uint32_t GetDigestLen(HashId) { return 0; }
int DoDigest(HashId, const unsigned char*, uint32_t, unsigned char*, int32_t*) { return 164; }
