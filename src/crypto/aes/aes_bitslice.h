#ifndef TOLVARIS_CRYPTO_AES_AES_BITSLICE_H
#define TOLVARIS_CRYPTO_AES_AES_BITSLICE_H

#include <cstddef>

// Constant-time portable AES over the byte schedule of crypto/aes/aes.h. The
// state is bitsliced: eight words hold one bit of every state byte each, so
// SubBytes is a fixed Boolean circuit and no memory index depends on the key
// or the data. `rounds` is 10 or 14; blocks are transformed in place.
void NXVT_AesCt_EncryptBlocks(unsigned char* blocks, size_t count, const unsigned char* schedule, int rounds);
void NXVT_AesCt_DecryptBlocks(unsigned char* blocks, size_t count, const unsigned char* schedule, int rounds);
// CBC encryption of `count` whole blocks; `iv` is replaced by the last
// ciphertext block. The round keys are converted once for the whole chain.
void NXVT_AesCt_CbcEncrypt(unsigned char* data, size_t count, const unsigned char* schedule, int rounds,
                           unsigned char* iv);
void NXVT_AesCt_CbcDecrypt(unsigned char* data, size_t count, const unsigned char* schedule, int rounds,
                           unsigned char* iv);
// data ^= E(ctr), E(ctr + 1), ... as NXVT_BLOCK_BULK::ctr describes.
void NXVT_AesCt_Ctr(unsigned char* data, size_t len, const unsigned char* schedule, int rounds,
                    unsigned char* counter, int counterBytes);
// SubBytes of four bytes in place, for the key expansion.
void NXVT_AesCt_SubWord(unsigned char* word);

#endif
