// BIP39 over the English list: word lookup, mnemonic validation and entropy,
// mnemonic generation and seed derivation.
#include "keys/bip39.h"

#include <cstdint>
#include <cstring>

#include "trail/trail.h"
#include "crypto/hash/digest.h"
#include "platform/memory.h"
#include "crypto/kdf/pbkdf2.h"
#include "crypto/random.h"

namespace {

constexpr int32_t kDigestLen = 32;
// Words are collected into a buffer of this size; a longer word cannot be a
// list word and is reported shortened.
constexpr size_t kWordBufLen = 32;
// Word indexes kept for validation: the longest accepted mnemonic has 96 words.
constexpr int32_t kMaxHeldWords = 128;

const Bip39WordGroup* GroupOfIndex(int32_t index) {
  for (const Bip39WordGroup& g : kBip39English)
    if (index >= g.first && index < g.first + g.count) return &g;
  return nullptr;
}

const Bip39WordGroup* GroupOfInitial(char c) {
  for (const Bip39WordGroup& g : kBip39English)
    if (g.initial == c) return &g;
  return nullptr;
}

bool IsAcceptedWordCount(int32_t n) {
  switch (n) {
    case 12: case 15: case 18: case 21: case 24:
    case 48: case 60: case 72: case 84: case 96:
      return true;
    default:
      return false;
  }
}

// Bit `pos` (most significant first) of a byte string.
inline unsigned Bit(const unsigned char* p, int32_t pos) { return (p[pos >> 3] >> (7 - (pos & 7))) & 1u; }

// Looks one collected word up; on failure records the message and returns
// `code`. The word is given by pointer and length (not terminated).
int LookUpWord(const char* start, size_t len, int code, int32_t* index) {
  char buf[kWordBufLen];
  ScopedWipe wipeBuf(buf, sizeof buf);
  memset(buf, 0, sizeof buf);
  const size_t kept = len < kWordBufLen ? len : kWordBufLen - 1;
  memcpy(buf, start, kept);
  if (FindWord(buf, index) == 0 && kept == len) return 0;
  AddErrMsg("mnemonic check ( not exist word [%s] )", buf);
  return TrailFail("GetMnemonicInfo", code);
}

}  // namespace

bool IsMnemonicEntropyLen(int32_t len) {
  switch (len) {
    case 4: case 16: case 20: case 24: case 28: case 32:
    case 64: case 80: case 96: case 112: case 128:
      return true;
    default:
      return false;
  }
}

int GetWord(int32_t index, char* word) {
  if (index < 0 || index >= kBip39WordCount || word == nullptr) return TrailFail("GetWord", 114);
  const Bip39WordGroup* g = GroupOfIndex(index);
  if (g == nullptr || g->words == nullptr) return TrailFail("GetWord", 119);
  const char* p = g->words;
  for (int32_t skip = index - g->first; skip > 0; --skip) {
    p = strchr(p, ' ');
    if (p == nullptr) return TrailFail("GetWord", 127);
    ++p;
  }
  size_t n = 0;
  while (p[n] != ' ') {
    if (p[n] == '\0' || n == kBip39MaxWordLen) return TrailFail("GetWord", 134);
    ++n;
  }
  memcpy(word, p, n);
  return 0;
}

int FindWord(const char* word, int32_t* index) {
  if (word == nullptr || index == nullptr) return TrailFail("FindWord", 182);
  const Bip39WordGroup* g = GroupOfInitial(word[0]);
  if (g == nullptr || word[0] == '\0') return TrailFail("FindWord", 182);
  if (g->words == nullptr) return TrailFail("FindWord", 191);
  const char* p = g->words;
  for (int32_t i = 0; i < g->count; ++i) {
    // Compare up to the list word's space and the candidate's terminator.
    size_t n = 0;
    while (p[n] != ' ' && p[n] != '\0' && word[n] == p[n]) ++n;
    if (p[n] == ' ' && word[n] == '\0') {
      *index = g->first + i;
      return 0;
    }
    const char* next = strchr(p, ' ');
    if (next == nullptr) return TrailFail("FindWord", 191);
    p = next + 1;
  }
  return TrailFail("FindWord", 204);
}

int GetWordCount(const char* text, int32_t* count) {
  if (text == nullptr || count == nullptr) return TrailFail("GetWordCount", 225);
  int64_t spaces = 0;
  const char* afterLast = text;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == ' ') {
      ++spaces;
      afterLast = p + 1;
    }
  }
  int64_t n = spaces + (*afterLast != '\0' ? 1 : 0);
  *count = n > INT32_MAX ? INT32_MAX : static_cast<int32_t>(n);
  return 0;
}

int GetMnemonicInfo(const char* mnemonic, unsigned char* entropy, int32_t* entropyLen) {
  if (mnemonic == nullptr) return TrailFail("GetMnemonicInfo", 268);
  if (mnemonic[0] == '\0') {
    AddErrMsg("mnemonic check ( mnemonic count not allowed [%d] words )", 0);
    return TrailFail("GetMnemonicInfo", 305);
  }

  uint16_t indexes[kMaxHeldWords];
  ScopedWipe wipeIndexes(indexes, sizeof indexes);
  int64_t words = 0;
  const char* start = mnemonic;
  const char* p = mnemonic;
  for (;; ++p) {
    const bool end = (*p == '\0');
    if (!end && *p != ' ') continue;
    const size_t len = static_cast<size_t>(p - start);
    if (end && len == 0) break;  // a trailing space adds no word
    int32_t index = 0;
    if (int rc = LookUpWord(start, len, end ? 295 : 278, &index)) return rc;
    if (words < kMaxHeldWords) indexes[words] = static_cast<uint16_t>(index);
    ++words;
    if (end) break;
    start = p + 1;
  }

  if (!IsAcceptedWordCount(words > INT32_MAX ? 0 : static_cast<int32_t>(words))) {
    AddErrMsg("mnemonic check ( mnemonic count not allowed [%d] words )",
              words > INT32_MAX ? INT32_MAX : static_cast<int>(words));
    return TrailFail("GetMnemonicInfo", 305);
  }
  const int32_t n = static_cast<int32_t>(words);
  const int32_t entLen = n / 3 * 4;
  const int32_t csBits = n / 3;

  // The 11-bit indexes, most significant bit first, packed into bytes.
  unsigned char packed[kMaxHeldWords * 11 / 8 + 1];
  ScopedWipe wipePacked(packed, sizeof packed);
  memset(packed, 0, sizeof packed);
  for (int32_t w = 0; w < n; ++w) {
    for (int32_t b = 0; b < 11; ++b) {
      const int32_t pos = w * 11 + b;
      if ((indexes[w] >> (10 - b)) & 1u) packed[pos >> 3] |= static_cast<unsigned char>(0x80u >> (pos & 7));
    }
  }

  unsigned char digest[kDigestLen];
  ScopedWipe wipeDigest(digest, sizeof digest);
  int32_t digestLen = kDigestLen;
  if (DoDigest(kHashSha256, packed, static_cast<uint32_t>(entLen), digest, &digestLen) != 0)
    return TrailFail("GetMnemonicInfo", 349);

  const int32_t wholeBytes = csBits / 8;
  const int32_t restBits = csBits % 8;
  if (memcmp(packed + entLen, digest, static_cast<size_t>(wholeBytes)) != 0) {
    AddErrMsg("mnemonic check ( checksum failed )");
    return TrailFail("GetMnemonicInfo", 361);
  }
  if (restBits != 0) {
    const unsigned mask = (0xFFu << (8 - restBits)) & 0xFFu;
    if (((packed[entLen + wholeBytes] ^ digest[wholeBytes]) & mask) != 0) {
      AddErrMsg("mnemonic check ( checksum failed )");
      return TrailFail("GetMnemonicInfo", 376);
    }
  }

  if (entropy != nullptr && entropyLen != nullptr) {
    memcpy(entropy, packed, static_cast<size_t>(entLen));
    *entropyLen = entLen;
  }
  return 0;
}

int CheckMnemonicValidate(const char* mnemonic) {
  if (mnemonic == nullptr) return TrailFail("CheckMnemonicValidate", 598);
  if (GetMnemonicInfo(mnemonic, nullptr, nullptr) != 0) return TrailFail("CheckMnemonicValidate", 603);
  return 0;
}

int CheckMnemonicWordValidate(const char* word) {
  int32_t index = 0;
  if (word == nullptr || FindWord(word, &index) != 0) return TrailFail("CheckMnemonicWordValidate", 625);
  return 0;
}

int GenerateEntropy(const void* /*unused*/, unsigned char* out, uint32_t len) {
  if (out == nullptr) return TrailFail("GenerateEntropy", 415);
  // 8 * len must not wrap: the source delivers at most 2048 bytes a request.
  if (len > kRngMaxRequestBits / 8 || NXVT_RNG_GetBytes(out, len * 8) != 0)
    return TrailFail("GenerateEntropy", 429);
  return 0;
}

void ConvByte2BitArr(unsigned char* bits, int32_t bitCount, const unsigned char* bytes) {
  for (int32_t i = 0; i < bitCount; ++i) bits[i] = static_cast<unsigned char>(Bit(bytes, i));
}

int GenerateMnemonic(const unsigned char* entropy, int32_t len, char* mnemonic, int32_t* mnemonicLen) {
  if (entropy == nullptr || mnemonicLen == nullptr || !IsMnemonicEntropyLen(len))
    return TrailFail("GenerateMnemonic", 489);
  const int32_t words = len * 3 / 4;
  const int32_t needed = words * 11;
  if (mnemonic == nullptr) {
    *mnemonicLen = needed;
    return 0;
  }
  if (*mnemonicLen < needed) return TrailFail("GenerateMnemonic", 500);

  unsigned char digest[kDigestLen];
  ScopedWipe wipeDigest(digest, sizeof digest);
  int32_t digestLen = kDigestLen;
  if (DoDigest(kHashSha256, entropy, static_cast<uint32_t>(len), digest, &digestLen) != 0)
    return TrailFail("GenerateMnemonic", 505);

  // Entropy bits, then the first len / 4 bits of the digest: words * 11 bits.
  SecureBytes bits(static_cast<size_t>(words) * 11);
  ConvByte2BitArr(bits.data(), len * 8, entropy);
  ConvByte2BitArr(bits.data() + len * 8, len / 4, digest);

  int32_t pos = 0;
  for (int32_t w = 0; w < words; ++w) {
    int32_t index = 0;
    for (int32_t b = 0; b < 11; ++b) index = (index << 1) | bits[static_cast<size_t>(w) * 11 + b];
    char word[kBip39MaxWordLen + 1] = {0};
    if (GetWord(index, word) != 0) {
      Wipe(mnemonic, static_cast<size_t>(pos));
      return TrailFail("GenerateMnemonic", 527);
    }
    if (w > 0) mnemonic[pos++] = ' ';
    const size_t n = strlen(word);
    memcpy(mnemonic + pos, word, n);
    pos += static_cast<int32_t>(n);
    Wipe(word, sizeof word);
  }
  mnemonic[pos] = '\0';
  *mnemonicLen = pos;
  return 0;
}

int ConvertMnemonic2Seed(const char* mnemonic, const char* passphrase, unsigned char* seed, int32_t* seedLen) {
  if (mnemonic == nullptr || passphrase == nullptr || seedLen == nullptr)
    return TrailFail("ConvertMnemonic2Seed", 559);
  if (seed == nullptr) {
    *seedLen = kBip39SeedLen;
    return 0;
  }
  if (*seedLen < kBip39SeedLen) return TrailFail("ConvertMnemonic2Seed", 570);

  // salt = "mnemonic" + passphrase, on the heap: BIP39 sets no length limit.
  static const char kSaltPrefix[] = "mnemonic";
  const size_t prefixLen = sizeof kSaltPrefix - 1;
  const size_t passLen = strlen(passphrase);
  if (passLen > UINT32_MAX - prefixLen) return TrailFail("ConvertMnemonic2Seed", 578);
  SecureBytes salt(prefixLen + passLen);
  memcpy(salt.data(), kSaltPrefix, prefixLen);
  if (passLen > 0) memcpy(salt.data() + prefixLen, passphrase, passLen);

  int32_t written = kBip39SeedLen;
  if (DoPBKDF2(kHashSha512, mnemonic, salt.data(), static_cast<uint32_t>(salt.size()), 2048,
               static_cast<uint32_t>(kBip39SeedLen), seed, &written) != 0)
    return TrailFail("ConvertMnemonic2Seed", 578);
  *seedLen = kBip39SeedLen;
  return 0;
}
