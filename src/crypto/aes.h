#ifndef TOLVARIS_CRYPTO_AES_H
#define TOLVARIS_CRYPTO_AES_H

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

// The block routine for one table layout, whatever the host order: used by
// the routines above (which pick the layout from HostEndianFlag) and by
// tests that exercise the layout the host does not use.
void AesBlockWithLayout(unsigned char* block, const unsigned char* schedule, int rounds, bool decrypt,
                        bool littleEndianLoads);

#endif
