#ifndef TOLVARIS_CRYPTO_HASH_DIGEST_H
#define TOLVARIS_CRYPTO_HASH_DIGEST_H

#include <cstddef>
#include <cstdint>

// Digest selector shared by the whole system.
using HashId = uint32_t;
inline constexpr HashId kHashSha256 = 1;
inline constexpr HashId kHashSha512 = 2;
inline constexpr HashId kHashRipemd160 = 3;
inline constexpr HashId kHashKeccak224 = 10;
inline constexpr HashId kHashKeccak256 = 11;
inline constexpr HashId kHashKeccak384 = 12;
inline constexpr HashId kHashKeccak512 = 13;

struct NXVT_DIGEST_CTX;

// A constant digest descriptor; the streaming layer recognises the three
// descriptors below by identity.
struct NXVT_DIGEST_DESC {
  uint32_t digestSize;
  void (*init)(NXVT_DIGEST_CTX* ctx);
  void (*compress)(NXVT_DIGEST_CTX* ctx, unsigned char* block);
  void (*length)(unsigned char* block, const NXVT_DIGEST_CTX* ctx);
  void (*output)(unsigned char* out, const NXVT_DIGEST_CTX* ctx);
};

// A digest context, owned by its caller.
struct NXVT_DIGEST_CTX {
  const NXVT_DIGEST_DESC* desc;
  struct {
    uint32_t state[8];
    unsigned char block[64];
    uint32_t count[2];  // bytes: low word, high word
  } w32;
  struct {
    uint64_t state[8];
    unsigned char block[128];
    uint64_t count[2];  // bytes: low word, high word
  } w64;
};

extern const NXVT_DIGEST_DESC NXVT_SHA256_DESC;
extern const NXVT_DIGEST_DESC NXVT_SHA512_DESC;
extern const NXVT_DIGEST_DESC NXVT_RIPEMD160_DESC;

// Digest length in bytes of a hash id, 0 for a value that is no digest id.
uint32_t GetDigestLen(HashId id);

// One-shot digest under the flat API's buffer convention: a null `out` asks
// for the length; `outLen` holds the capacity on entry. Returns 0 or 164 (null
// argument, unknown id, or a message of 2^31 bytes or more), 175 (capacity),
// 187, 194, with a trail entry.
int DoDigest(HashId id, const unsigned char* msg, uint32_t msgLen, unsigned char* out, int32_t* outLen);

// Streaming layer. Init returns 0 or -1; Update and Final silently ignore bad
// arguments (Update a null pointer or a length of 0 or below). Final works on
// a wiped copy, so the context stays usable; Final with a short capacity sets
// *outLen to 0 and writes nothing. Contexts hold message state: callers that
// hash secrets wipe them.
int NXVT_Digest_Init(NXVT_DIGEST_CTX* ctx, const NXVT_DIGEST_DESC* desc);
void NXVT_Digest_Update(NXVT_DIGEST_CTX* ctx, const unsigned char* data, int32_t len);
void NXVT_Digest_Final(unsigned char* out, int32_t* outLen, const NXVT_DIGEST_CTX* ctx);
// Final on the context itself, for callers done with it: no copy, and the
// context is used up (it holds the padded last block; wipe it when the
// message was secret).
void NXVT_Digest_FinalInPlace(unsigned char* out, int32_t* outLen, NXVT_DIGEST_CTX* ctx);
// Update for inputs of any size: they go to NXVT_Digest_Update in slices
// that fit its signed 32-bit length. A null pointer adds nothing.
void DigestUpdateAll(NXVT_DIGEST_CTX* ctx, const unsigned char* data, size_t len);

// Descriptor of a streaming hash id (1, 2, 3), else null.
const NXVT_DIGEST_DESC* DigestDescForId(HashId id);

#endif
