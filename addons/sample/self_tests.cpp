#include "self_tests.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command/text/text.h"
#include "platform/memory.h"
#include "sample_hex.h"
#include "test_vectors.h"
#include "tolvaris/bcm_codec.h"
#include "tolvaris/bcm_core.h"
#include "tolvaris/bcm_kdf.h"
#include "tolvaris/bcm_mnemonic.h"
#include "tolvaris/bcm_sign.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Output buffers of the exports: 128 bytes, 256 for the mnemonic.
constexpr size_t kOutCap = 128;
constexpr size_t kMnemonicCap = 256;

// The report reaches the host before the reply does, whatever the host does
// with its own output.
struct FlushOnReturn {
  ~FlushOnReturn() { std::fflush(stdout); }
};

// A decoded stored text; the exports are given a pointer even for no bytes.
struct Decoded {
  explicit Decoded(const char* text) : bytes(sample::HexToBytes(text)) {}
  const unsigned char* data() const {
    static const unsigned char kNone[1] = {0};
    return bytes.empty() ? kNone : bytes.data();
  }
  int len() const { return static_cast<int>(bytes.size()); }
  Bytes bytes;
};

std::string Hex(const unsigned char* p, size_t n) { return BytesToHex(p, n); }

// The text the codec exports wrote, cut at its stated length.
std::string CutText(const char* buf, uint32_t len, size_t cap) {
  const size_t n = len < cap ? len : cap;
  return std::string(buf, strnlen(buf, n));
}

// Encode, compare with the stored text, decode, compare with the bytes.
struct Codec {
  int (*encode)(const unsigned char* in, uint32_t len, char* out, uint32_t* outLen);
  int (*decode)(const char* text, unsigned char* out, uint32_t* outLen);
  const char* expected;
  const char* encodeLine;
  const char* decodeLine;
};

int RunCodec(const Codec& c) {
  FlushOnReturn flush;
  const Decoded bytes(kTestBytes);
  char text[kOutCap] = {0};
  uint32_t textLen = sizeof text;
  if (c.encode(bytes.data(), static_cast<uint32_t>(bytes.len()), text, &textLen) != 0) return 1;
  const std::string encoded = CutText(text, textLen, sizeof text);
  if (encoded != c.expected) return 1;
  std::printf(c.encodeLine, Hex(bytes.bytes.data(), bytes.bytes.size()).c_str(), encoded.c_str());
  unsigned char decoded[kOutCap] = {0};
  uint32_t decodedLen = sizeof decoded;
  if (c.decode(encoded.c_str(), decoded, &decodedLen) != 0) return 1;
  const size_t n = decodedLen < sizeof decoded ? decodedLen : sizeof decoded;
  if (Bytes(decoded, decoded + n) != bytes.bytes) return 1;
  std::printf(c.decodeLine, encoded.c_str(), Hex(decoded, n).c_str());
  return 0;
}

int Base58Encode(const unsigned char* in, uint32_t len, char* out, uint32_t* outLen) {
  return BCMGenBase58CheckEncode(0, in, len, out, outLen);
}
int Base58Decode(const char* text, unsigned char* out, uint32_t* outLen) {
  return BCMGenBase58CheckDecode(0, text, out, outLen);
}

}  // namespace

// The generator is not stuck: no draw of all zeros, and a second draw
// differs from the first.
int TestGenEntropy() {
  FlushOnReturn flush;
  unsigned char first[20] = {0};
  unsigned char second[20] = {0};
  if (BCMGenEntropy(sizeof first, first) != 0 || BCMGenEntropy(sizeof second, second) != 0) return 1;
  static const unsigned char kZeros[20] = {0};
  if (std::memcmp(first, kZeros, sizeof first) == 0 || std::memcmp(first, second, sizeof first) == 0) return 1;
  std::printf("Entropy [%s]\n", Hex(first, sizeof first).c_str());
  return 0;
}

int TestGenBase64() {
  return RunCodec({BCMGenBase64Encode, BCMGenBase64Decode, kExpectedBase64, "GenBase64Encode [%s] => [%s]\n",
                   "GenBase64Decode [%s] => [%s]\n"});
}

int TestGenBase58() {
  return RunCodec({Base58Encode, Base58Decode, kExpectedBase58Check, "GenBase58CheckEncode [%s] => [%s]\n",
                   "GenBase58CheckDecode [%s] => [%s]\n"});
}

int TestGenHashMessage() {
  FlushOnReturn flush;
  for (size_t i = 0; kHashIds[i] != -1 && i < sizeof kHashIds / sizeof kHashIds[0]; ++i) {
    const Decoded bytes(kTestBytes);
    unsigned char md[kOutCap] = {0};
    int mdLen = sizeof md;
    if (BCMGenHashMessage(static_cast<uint32_t>(kHashIds[i]), bytes.data(), static_cast<uint32_t>(bytes.len()), md,
                          &mdLen) != 0)
      return 1;
    const std::string digest = Hex(md, mdLen > 0 && static_cast<size_t>(mdLen) <= sizeof md ? mdLen : 0);
    if (digest != kExpectedDigests[i]) return 1;
    // The first field is the test bytes taken as text, up to their first zero byte.
    const std::string asText(reinterpret_cast<const char*>(bytes.bytes.data()),
                             strnlen(reinterpret_cast<const char*>(bytes.bytes.data()), bytes.bytes.size()));
    std::printf("GenHashMessage [%s][%s] => [%s]\n", asText.c_str(), Hex(bytes.bytes.data(), bytes.bytes.size()).c_str(),
                digest.c_str());
  }
  return 0;
}

int TestGenMnemonic() {
  FlushOnReturn flush;
  const Decoded entropy(kMnemonicEntropy);
  char text[kMnemonicCap] = {0};
  int len = sizeof text;
  if (BCMGenMnemonic(entropy.data(), entropy.len(), text, &len) != 0) return 1;
  const std::string mnemonic = CutText(text, len > 0 ? static_cast<uint32_t>(len) : 0, sizeof text);
  if (mnemonic != kExpectedMnemonic) return 1;
  std::printf("GenMnemonic [%s] => [%s]\n", Hex(entropy.bytes.data(), entropy.bytes.size()).c_str(), mnemonic.c_str());
  return 0;
}

namespace {

// The ECDSA records that run: up to the first empty private key, within the
// table, secp256k1 only.
template <class Step>
int ForEachEcdsaRecord(Step step) {
  for (size_t i = 0; i < kEcdsaVectorCount && ECDSATestVectors[i][1][0] != '\0'; ++i) {
    const char* const* v = ECDSATestVectors[i];
    if (std::strcmp(v[0], "0") != 0) continue;
    if (step(v) != 0) return 1;
  }
  return 0;
}

template <class Step>
int ForEachEd25519Record(Step step) {
  for (size_t i = 0; i < kEd25519VectorCount && Ed25519TestVectors[i][0][0] != '\0'; ++i)
    if (step(Ed25519TestVectors[i]) != 0) return 1;
  return 0;
}

uint32_t HashIdOf(const char* selector) { return std::strcmp(selector, "0") == 0 ? 1 : 11; }
uint32_t FlagOf(const char* text) { return std::strcmp(text, "0") == 0 ? 0 : 1; }

}  // namespace

int TestGenSignature() {
  FlushOnReturn flush;
  const int ecdsa = ForEachEcdsaRecord([](const char* const* v) {
    Decoded pri(v[1]);
    const Decoded msg(v[3]);
    const uint32_t hashId = HashIdOf(v[4]);
    const uint32_t flag = FlagOf(v[5]);
    unsigned char r[kOutCap] = {0};
    unsigned char s[kOutCap] = {0};
    int rLen = sizeof r;
    int sLen = sizeof s;
    uint32_t recovery = 0;
    const int rc = BCMGenSignature(0, pri.data(), pri.len(), hashId, msg.data(), msg.len(), flag, r, &rLen, s, &sLen,
                                   &recovery);
    WipeVector(pri.bytes);
    if (rc != 0 || rLen <= 0 || sLen <= 0) return 1;
    const std::string rHex = Hex(r, static_cast<size_t>(rLen));
    const std::string sHex = Hex(s, static_cast<size_t>(sLen));
    if (rHex != v[6] || sHex != v[7] || std::to_string(recovery) != v[8]) return 1;
    std::printf("GenSignature [%s][%s][%d][%d] => [%s][%s][%d]\n", v[1], v[3], static_cast<int>(hashId),
                static_cast<int>(flag), rHex.c_str(), sHex.c_str(), static_cast<int>(recovery));
    return 0;
  });
  if (ecdsa != 0) return 1;
  return ForEachEd25519Record([](const char* const* v) {
    Decoded secret(v[0]);
    const Decoded msg(v[2]);
    const Decoded context(v[3]);
    const uint32_t prehash = FlagOf(v[4]);
    unsigned char sig[kOutCap] = {0};
    int sigLen = sizeof sig;
    const int rc = BCMGenSignature_ED(secret.data(), secret.len(), msg.data(), msg.len(), context.data(),
                                      context.len(), static_cast<unsigned char>(prehash), sig, &sigLen);
    WipeVector(secret.bytes);
    if (rc != 0 || sigLen <= 0) return 1;
    const std::string sigHex = Hex(sig, static_cast<size_t>(sigLen));
    if (sigHex != v[5]) return 1;
    std::printf("GenSignature_ED [%s][%s][%s][%d] => [%s]\n", v[0], v[2], v[3], static_cast<int>(prehash),
                sigHex.c_str());
    return 0;
  });
}

int TestVerifySignature() {
  FlushOnReturn flush;
  const int ecdsa = ForEachEcdsaRecord([](const char* const* v) {
    const Decoded pub(v[2]), r(v[6]), s(v[7]), msg(v[3]);
    const uint32_t hashId = HashIdOf(v[4]);
    if (BCMVerifySignature(0, pub.data(), pub.len(), r.data(), r.len(), s.data(), s.len(), hashId, msg.data(),
                           msg.len()) != 0)
      return 1;
    std::printf("VerifySignature [%s][%s][%d][%d][%s][%s] => success\n", v[2], v[6], static_cast<int>(hashId), 0, v[7],
                v[3]);
    return 0;
  });
  if (ecdsa != 0) return 1;
  return ForEachEd25519Record([](const char* const* v) {
    const Decoded pub(v[1]), sig(v[5]), msg(v[2]), context(v[3]);
    const uint32_t prehash = FlagOf(v[4]);
    if (BCMVerifySignature_ED(sig.data(), sig.len(), pub.data(), pub.len(), msg.data(), msg.len(), context.data(),
                              context.len(), static_cast<unsigned char>(prehash)) != 0)
      return 1;
    std::printf("VerifySignature_ED [%s][%s][%s][%d][%s] => success\n", v[1], v[5], v[2], static_cast<int>(prehash),
                v[3]);
    return 0;
  });
}
