#ifndef TOLVARIS_KEYS_BIP39_H
#define TOLVARIS_KEYS_BIP39_H

#include <cstddef>
#include <cstdint>

// BIP39 mnemonics over the English word list: entropy to mnemonic, mnemonic to
// entropy with full validation, word lookup, and mnemonic plus passphrase to
// the 64-byte seed. A mnemonic is lowercase words separated by single spaces
// (0x20); words are compared byte for byte, nothing is normalised.
//
// Every function returns 0 on success, otherwise a fixed code, and on failure
// records "Func:code" in the error trail.

// One initial-letter group of the word list: each word followed by one space.
struct Bip39WordGroup {
  char initial;
  int32_t first;  // index of the group's first word
  int32_t count;
  const char* words;
};
inline constexpr int kBip39GroupCount = 25;  // no word begins with "x"
inline constexpr int32_t kBip39WordCount = 2048;
inline constexpr size_t kBip39MaxWordLen = 8;
extern const Bip39WordGroup kBip39English[kBip39GroupCount];

// Largest entropy (96 words) and the seed length.
inline constexpr int32_t kBip39MaxEntropyLen = 128;
inline constexpr int32_t kBip39SeedLen = 64;

// Copies word `index` (without terminator) into `word`, which the caller has
// zeroed; at most 8 bytes are written. Codes 114 (index outside 0..2047),
// 119, 127, 134 (damaged table).
int GetWord(int32_t index, char* word);

// Index of the exact word (NUL-terminated). Codes 182 (first byte is no
// group's initial), 191 (damaged table), 204 (not in its group).
int FindWord(const char* word, int32_t* index);

// Spaces counted, plus one when the text after the last space is non-empty.
// Code 225 for a null text or count.
int GetWordCount(const char* text, int32_t* count);

// True for the entropy lengths GenerateMnemonic accepts (4, 16, 20, 24, 28,
// 32, 64, 80, 96, 112, 128 bytes).
bool IsMnemonicEntropyLen(int32_t len);

// Validates a mnemonic of 12, 15, 18, 21, 24, 48, 60, 72, 84 or 96 words and,
// when both outputs are given, writes its entropy (up to 128 bytes: the caller
// provides the room) and the entropy length. Codes 268 (null), 278 (unknown
// word before a space, an empty word included), 295 (unknown last word),
// 305 (word count), 349 (digest), 361 / 376 (checksum bytes / leftover bits).
// A word of 32 or more bytes is an unknown word; texts of more than 128
// words end in 305.
int GetMnemonicInfo(const char* mnemonic, unsigned char* entropy, int32_t* entropyLen);

// GetMnemonicInfo without outputs. Codes 598 (null), 603 (invalid).
int CheckMnemonicValidate(const char* mnemonic);

// FindWord as a yes/no check. Code 625 when the word is null or not listed.
int CheckMnemonicWordValidate(const char* word);

// `len` random bytes from the process-wide random source (at most 2048).
// The first argument is ignored. Codes 415 (null output), 429 (the random
// source failed or the request is too large).
int GenerateEntropy(const void* unused, unsigned char* out, uint32_t len);

// Mnemonic of (len * 3 / 4) words for an accepted entropy length, NUL-
// terminated. `mnemonicLen` holds the capacity on entry (needed: words * 11)
// and the text length without the NUL on return; a null output asks for the
// needed length. Codes 489 (null input, bad length), 500 (capacity),
// 505 (digest), 527 (word lookup).
int GenerateMnemonic(const unsigned char* entropy, int32_t len, char* mnemonic, int32_t* mnemonicLen);

// seed = PBKDF2-HMAC-SHA512(mnemonic, "mnemonic" + passphrase, 2048, 64).
// The mnemonic is used exactly as given (not validated). A passphrase may
// have any length. A null seed asks for the length (64). Codes 559 (null
// mnemonic, passphrase or length), 570 (capacity), 578 (derivation).
int ConvertMnemonic2Seed(const char* mnemonic, const char* passphrase, unsigned char* seed, int32_t* seedLen);

// One byte (0 or 1) per bit of `bytes`, most significant bit first.
void ConvByte2BitArr(unsigned char* bits, int32_t bitCount, const unsigned char* bytes);

#endif
