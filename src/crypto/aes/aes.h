#ifndef TOLVARIS_CRYPTO_AES_AES_H
#define TOLVARIS_CRYPTO_AES_AES_H

#include <cstddef>
#include <cstdint>

// One block transformation, in place, with an expanded key schedule.
using NXVT_BlockFn = void (*)(unsigned char* block, const unsigned char* schedule);

// A constant block-cipher descriptor. The modes and the cipher context reach
// the cipher only through one of these; instances are told apart by address.
struct NXVT_CIPHER_DESC {
  uint32_t blockSize;     // bytes per block
  uint32_t scheduleSize;  // bytes of key schedule a context allocates
  void (*setKey)(unsigned char* schedule, const unsigned char* key, uint32_t keyLen);
  NXVT_BlockFn encryptBlock;
  NXVT_BlockFn decryptBlock;
};

extern const NXVT_CIPHER_DESC NXVT_AES128_DESC;
extern const NXVT_CIPHER_DESC NXVT_AES256_DESC;

// Schedule layout: the encryption round keys w[0..4(Nr+1)-1] in memory
// order, then the round keys of the equivalent inverse cipher in the same
// order (round keys 1..Nr-1 passed through InvMixColumns).
inline constexpr uint32_t kAes128ScheduleSize = 352;
inline constexpr uint32_t kAes256ScheduleSize = 480;

// Key expansion. The length is not checked here: the cipher context admits
// only 16 bytes for AES-128 and 32 for AES-256.
void NXVT_AES128_SetKey(unsigned char* schedule, const unsigned char* key, uint32_t keyLen);
void NXVT_AES256_SetKey(unsigned char* schedule, const unsigned char* key, uint32_t keyLen);

void NXVT_AES128_EncryptBlock(unsigned char* block, const unsigned char* schedule);
void NXVT_AES128_DecryptBlock(unsigned char* block, const unsigned char* schedule);
void NXVT_AES256_EncryptBlock(unsigned char* block, const unsigned char* schedule);
void NXVT_AES256_DecryptBlock(unsigned char* block, const unsigned char* schedule);

struct NXVT_GHASH;

// Several blocks per call, for the modes whose blocks are independent (or
// whose key is used many times in a row). Each routine takes the VAES path
// where the processor has it (512-bit vectors, or 256-bit ones without
// AVX-512), AES-NI otherwise, and the
// constant-time portable code without either; the results are the same.
// Where a routine takes `out` and `in`, they are the same buffer or do not
// overlap.
struct NXVT_BLOCK_BULK {
  // `count` independent blocks in place.
  void (*encryptBlocks)(unsigned char* blocks, size_t count, const unsigned char* schedule);
  void (*decryptBlocks)(unsigned char* blocks, size_t count, const unsigned char* schedule);
  // CBC over `count` whole blocks; `iv` becomes the next chaining value.
  void (*cbcEncrypt)(unsigned char* out, const unsigned char* in, size_t count, const unsigned char* schedule,
                     unsigned char* iv);
  void (*cbcDecrypt)(unsigned char* data, size_t count, const unsigned char* schedule, unsigned char* iv);
  // out = in ^ E(ctr), E(ctr + 1), ... over `len` bytes. The counter is the
  // whole block as one big-endian number (counterBytes 16) or its last four
  // bytes (4); it advances by one per block used, a partial last one included.
  void (*ctr)(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
              unsigned char* counter, int counterBytes);
  // GCM's middle: the counter mode above with counterBytes 4, and the
  // ciphertext (in when decrypting, out when encrypting) absorbed into `g`,
  // zero-padded to whole blocks; in one pass where the processor has VAES
  // and the hash its vector path, or AES-NI and the hash its PCLMULQDQ path.
  void (*gcm)(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
              unsigned char* counter, NXVT_GHASH* g, bool decrypt);
  // CCM's payload in one pass where the processor has AES-NI: the counter
  // mode above with counterBytes 4, and the CBC-MAC chaining value `mac`
  // absorbing first the `headCount` whole blocks at `head`, then the
  // plaintext (in when encrypting, out when decrypting) zero-padded to whole
  // blocks. False, with nothing done, without AES-NI: the caller then runs
  // the MAC and the counter mode apart.
  bool (*ccm)(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
              unsigned char* counter, unsigned char* mac, const unsigned char* head, size_t headCount,
              bool decrypt);
};

// The bulk routines behind a descriptor's encrypt or decrypt block function;
// null for a function that has none.
const NXVT_BLOCK_BULK* NXVT_BlockBulk(NXVT_BlockFn fn);

#endif
