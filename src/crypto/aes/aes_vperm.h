#ifndef TOLVARIS_CRYPTO_AES_AES_VPERM_H
#define TOLVARIS_CRYPTO_AES_AES_VPERM_H

#include <cstddef>

// Constant-time AES one block at a time with SSSE3 byte shuffles, for
// processors that have SSSE3 but not AES-NI. The S-box is looked up inside
// registers: pshufb picks from sixteen 16-byte rows by the low nibble of
// every byte, and a saturating add turns every byte whose high nibble is
// not the row's into a zero, so no memory index depends on the key or the
// data. Callers check NXVT_CpuFeatures().ssse3 first. Same schedule and
// `rounds` as crypto/aes/aes_bitslice.h; data is transformed in place.
void NXVT_AesVp_EncryptBlocks(unsigned char* blocks, size_t count, const unsigned char* schedule, int rounds);
void NXVT_AesVp_DecryptBlocks(unsigned char* blocks, size_t count, const unsigned char* schedule, int rounds);
// CBC encryption of `count` whole blocks; `iv` is replaced by the last
// ciphertext block.
void NXVT_AesVp_CbcEncrypt(unsigned char* data, size_t count, const unsigned char* schedule, int rounds,
                           unsigned char* iv);

#endif
