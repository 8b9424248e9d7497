// PBKDF2-HMAC (RFC 8018) over SHA-256, SHA-512 and RIPEMD-160.
#include "crypto/kdf/pbkdf2.h"

#include <climits>
#include <cstring>

#include "trail/trail.h"
#include "crypto/hash/digest_blocks.h"
#include "crypto/digest_util.h"
#include "crypto/hash/hmac.h"
#include "platform/memory.h"

namespace {

// The iterations U2..Uc for a digest whose HMAC key block is its compression
// block (SHA-256, SHA-512): after the key, each inner and outer hash is a
// single compression of U, its padding and the fixed length, run on the raw
// states. Two compressions per iteration and no context copies.
template <class Word, size_t Block, size_t Digest, void (*Compress)(Word*, const unsigned char*, size_t)>
void Iterate(const NXVT_HMAC_CTX& keyed, unsigned char* u, unsigned char* t, uint32_t iterations) {
  constexpr size_t kWords = 8;
  constexpr size_t kLenBytes = sizeof(Word) * 2;  // length field: 8 or 16 bytes
  Word inner[kWords], outer[kWords], st[kWords];
  if constexpr (sizeof(Word) == 8) {
    memcpy(inner, keyed.inner.w64.state, sizeof inner);
    memcpy(outer, keyed.outer.w64.state, sizeof outer);
  } else {
    memcpy(inner, keyed.inner.w32.state, sizeof inner);
    memcpy(outer, keyed.outer.w32.state, sizeof outer);
  }
  // U, 0x80, zeros, and the bit length of key block plus U, big-endian.
  unsigned char block[Block] = {0};
  block[Digest] = 0x80;
  const uint64_t bits = (Block + Digest) * 8;
  StoreBe64(block + Block - 8, bits);
  static_assert(Digest + 1 + kLenBytes <= Block, "U and its padding fit one block");
  memcpy(block, u, Digest);
  for (uint32_t j = 2; j <= iterations; ++j) {
    memcpy(st, inner, sizeof st);
    Compress(st, block, 1);
    for (size_t k = 0; k < kWords; ++k) StoreBeWord(block + sizeof(Word) * k, st[k]);
    memcpy(st, outer, sizeof st);
    Compress(st, block, 1);
    for (size_t k = 0; k < kWords; ++k) StoreBeWord(block + sizeof(Word) * k, st[k]);
    for (size_t k = 0; k < Digest; ++k) t[k] ^= block[k];
  }
  memcpy(u, block, Digest);
  Wipe(inner, sizeof inner);
  Wipe(outer, sizeof outer);
  Wipe(st, sizeof st);
  Wipe(block, sizeof block);
}

struct Fast {
  const NXVT_DIGEST_DESC* desc;
  void (*iterate)(const NXVT_HMAC_CTX& keyed, unsigned char* u, unsigned char* t, uint32_t iterations);
};

const Fast* FastFor(const NXVT_DIGEST_DESC* desc) {
  static const Fast kRows[] = {
      {&NXVT_SHA256_DESC, Iterate<uint32_t, 64, 32, NXVT_SHA256_Blocks>},
      {&NXVT_SHA512_DESC, Iterate<uint64_t, 128, 64, NXVT_SHA512_Blocks>},
  };
  for (const Fast& f : kRows) {
    if (f.desc == desc) return &f;
  }
  return nullptr;
}

}  // namespace

int Pbkdf2Hmac(unsigned char* out, uint64_t dkLen, const unsigned char* password, size_t passwordLen,
               const unsigned char* salt, size_t saltLen, uint32_t iterations, const NXVT_DIGEST_DESC* desc) {
  if (out == nullptr || password == nullptr || salt == nullptr || iterations == 0 || desc == nullptr)
    return -1;
  if (passwordLen > static_cast<size_t>(INT32_MAX)) return -1;
  if (desc != &NXVT_SHA256_DESC && desc != &NXVT_SHA512_DESC && desc != &NXVT_RIPEMD160_DESC) return -1;
  const uint64_t hLen = desc->digestSize;
  // Block count in 64 bits; the block index is a 32-bit counter.
  const uint64_t blocks = dkLen / hLen + (dkLen % hLen != 0 ? 1 : 0);
  if (blocks > 0xFFFFFFFFull) return -1;

  // HMAC is keyed once: every U starts from copies of the inner and outer
  // states that absorbed the padded key.
  NXVT_HMAC_CTX keyed;
  ScopedWipe wipeKeyed(keyed);
  if (NXVT_HMAC_Init(&keyed, password, static_cast<int32_t>(passwordLen), desc) != 0) return -1;
  const Fast* fast = FastFor(desc);

  NXVT_HMAC_CTX ctx;
  unsigned char u[64];
  unsigned char t[64];
  unsigned char index[4];
  ScopedWipe wipeCtx(ctx);
  ScopedWipe wipeU(u, sizeof u);
  ScopedWipe wipeT(t, sizeof t);

  uint64_t done = 0;
  for (uint64_t i = 1; i <= blocks; ++i) {
    StoreBe32(index, static_cast<uint32_t>(i));
    // U1 = PRF(P, S || INT(i))
    ctx = keyed;
    NXVT_HMAC_Update(&ctx, salt, saltLen);
    NXVT_HMAC_Update(&ctx, index, sizeof index);
    int32_t len = sizeof u;
    NXVT_HMAC_Final(u, &len, &ctx);
    memcpy(t, u, hLen);
    // Uj = PRF(P, Uj-1), T ^= Uj
    if (fast != nullptr) {
      fast->iterate(keyed, u, t, iterations);
    } else {
      for (uint32_t j = 2; j <= iterations; ++j) {
        ctx = keyed;
        NXVT_HMAC_Update(&ctx, u, hLen);
        len = sizeof u;
        NXVT_HMAC_Final(u, &len, &ctx);
        for (uint64_t k = 0; k < hLen; ++k) t[k] ^= u[k];
      }
    }
    const uint64_t take = dkLen - done < hLen ? dkLen - done : hLen;
    memcpy(out + done, t, take);
    done += take;
  }
  return 0;
}

int NXVT_PBKDF2_HMAC(unsigned char* out, uint32_t dkLen, const char* password, const unsigned char* salt,
                     uint32_t saltLen, uint32_t iterations, const NXVT_DIGEST_DESC* desc) {
  if (password == nullptr) return -1;
  return Pbkdf2Hmac(out, dkLen, reinterpret_cast<const unsigned char*>(password), strlen(password), salt, saltLen,
                    iterations, desc);
}

int DoPBKDF2(HashId id, const char* password, const unsigned char* salt, uint32_t saltLen, uint32_t iterations,
             uint32_t dkLen, unsigned char* out, int32_t* outLen) {
  const NXVT_DIGEST_DESC* desc = DigestDescForId(id);
  if (desc == nullptr) return TrailFail("DoPBKDF2", 220);
  if (password == nullptr || salt == nullptr || out == nullptr || outLen == nullptr || iterations == 0)
    return TrailFail("DoPBKDF2", 225);
  if (static_cast<int64_t>(*outLen) < static_cast<int64_t>(dkLen)) return TrailFail("DoPBKDF2", 230);
  if (NXVT_PBKDF2_HMAC(out, dkLen, password, salt, saltLen, iterations, desc) != 0)
    return TrailFail("DoPBKDF2", 235);
  *outLen = static_cast<int32_t>(dkLen);
  return 0;
}
