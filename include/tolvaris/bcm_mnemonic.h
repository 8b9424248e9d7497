#ifndef TOLVARIS_BCM_MNEMONIC_H
#define TOLVARIS_BCM_MNEMONIC_H

#include <stdint.h>

#include "tolvaris/export.h"

/* BIP39 mnemonics (English list) and Shamir share mnemonics. Texts are
 * NUL-terminated. An output is a buffer and a pointer to its length: capacity
 * on entry, written length on return (texts without their NUL). A null output
 * buffer asks for the needed length. On failure the length is unchanged. */

/* Entropy of 4, 16, 20, 24, 28, 32, 64, 80, 96, 112 or 128 bytes to its
 * mnemonic; needs entropyLen * 3 / 4 * 11. Codes 924, 931, 943, 949. */
TOLVARIS_API int BCMGenMnemonic(const unsigned char* entropy, int entropyLen, char* out, int* outLen);
/* The entropy of a valid mnemonic; needs the mnemonic's text length.
 * Codes 970, 983, 989. */
TOLVARIS_API int BCMConvMnemonicToEntropy(const char* mnemonic, unsigned char* out, int* outLen);
/* The 64-byte BIP39 seed of a mnemonic (taken as given) and passphrase.
 * Codes 1010, 1023, 1029. */
TOLVARIS_API int BCMConvMnemonicToSeed(const char* mnemonic, const char* passphrase, unsigned char* out,
                                       int* outLen);
/* 0 when the mnemonic is valid (word list, word count, checksum); codes 1049, 1055. */
TOLVARIS_API int BCMChkMnemonicValid(const char* mnemonic);
/* 0 when the word is in the list; codes 1074, 1080. */
TOLVARIS_API int BCMChkMnemonicWordValid(const char* word);
/* Splits a 12- to 24-word master mnemonic into `total` (at most 10) share
 * mnemonics joined by ";", any `need` (at least 2) of which recover it.
 * Needs (words + 3) * total * 11. Codes 1102, 1109, 1115, 1121, 1133, 1139. */
TOLVARIS_API int BCMConvMasterMnemonicToSSSMnemonic(const char* mnemonic, int total, int need, char* out,
                                                    int* outLen);
/* Recovers the master mnemonic from exactly `need` shares joined by ";";
 * needs 264. Codes 1160, 1173, 1179. */
TOLVARIS_API int BCMConvSSSMnemonicToMasterMnemonic(const char* shares, char* out, int* outLen);

#endif
