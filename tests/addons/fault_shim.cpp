// Preloaded in front of libtolvaris.so, it spoils one result of the export
// family named by the environment variable TV_FAULT (this test library reads
// it; the system itself reads no environment). Every other call goes to the
// real export unchanged.
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

#include "tolvaris/bcm_codec.h"
#include "tolvaris/bcm_core.h"
#include "tolvaris/bcm_kdf.h"
#include "tolvaris/bcm_mnemonic.h"
#include "tolvaris/bcm_sign.h"

namespace {

bool Active(const char* family) {
  const char* f = std::getenv("TV_FAULT");
  return f != nullptr && std::strcmp(f, family) == 0;
}

template <class F>
F Real(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

// A generator stuck at zeros.
int BCMGenEntropy(uint32_t count, unsigned char* out) {
  static const auto real = Real<int (*)(uint32_t, unsigned char*)>("BCMGenEntropy");
  if (Active("BCMGenEntropy")) {
    std::memset(out, 0, count);
    return 0;
  }
  return real(count, out);
}

// A digest with one wrong byte.
int BCMGenHashMessage(uint32_t hashId, const unsigned char* msg, uint32_t msgLen, unsigned char* out, int* outLen) {
  static const auto real =
      Real<int (*)(uint32_t, const unsigned char*, uint32_t, unsigned char*, int*)>("BCMGenHashMessage");
  const int rc = real(hashId, msg, msgLen, out, outLen);
  if (rc == 0 && out != nullptr && Active("BCMGenHashMessage")) out[0] ^= 1;
  return rc;
}

// Encoders and decoders wrong in step: the first character of every text is
// changed on the way out and changed back on the way in, so a round trip
// still gives the bytes back.
int BCMGenBase64Encode(const unsigned char* in, uint32_t inLen, char* out, uint32_t* outLen) {
  static const auto real = Real<int (*)(const unsigned char*, uint32_t, char*, uint32_t*)>("BCMGenBase64Encode");
  const int rc = real(in, inLen, out, outLen);
  if (rc == 0 && out != nullptr && Active("BCMGenBase64")) out[0] ^= 1;
  return rc;
}
int BCMGenBase64Decode(const char* text, unsigned char* out, uint32_t* outLen) {
  static const auto real = Real<int (*)(const char*, unsigned char*, uint32_t*)>("BCMGenBase64Decode");
  if (!Active("BCMGenBase64") || text == nullptr || text[0] == '\0') return real(text, out, outLen);
  char* copy = strdup(text);
  copy[0] ^= 1;
  const int rc = real(copy, out, outLen);
  std::free(copy);
  return rc;
}
int BCMGenBase58CheckEncode(uint32_t alphabet, const unsigned char* payload, uint32_t len, char* out,
                            uint32_t* outLen) {
  static const auto real =
      Real<int (*)(uint32_t, const unsigned char*, uint32_t, char*, uint32_t*)>("BCMGenBase58CheckEncode");
  const int rc = real(alphabet, payload, len, out, outLen);
  if (rc == 0 && out != nullptr && Active("BCMGenBase58")) out[0] ^= 1;
  return rc;
}
int BCMGenBase58CheckDecode(uint32_t alphabet, const char* text, unsigned char* out, uint32_t* outLen) {
  static const auto real = Real<int (*)(uint32_t, const char*, unsigned char*, uint32_t*)>("BCMGenBase58CheckDecode");
  if (!Active("BCMGenBase58") || text == nullptr || text[0] == '\0') return real(alphabet, text, out, outLen);
  char* copy = strdup(text);
  copy[0] ^= 1;
  const int rc = real(alphabet, copy, out, outLen);
  std::free(copy);
  return rc;
}

int BCMGenMnemonic(const unsigned char* entropy, int entropyLen, char* out, int* outLen) {
  static const auto real = Real<int (*)(const unsigned char*, int, char*, int*)>("BCMGenMnemonic");
  const int rc = real(entropy, entropyLen, out, outLen);
  if (rc == 0 && out != nullptr && Active("BCMGenMnemonic")) out[0] ^= 1;
  return rc;
}

int BCMGenSignature(uint32_t curve, const unsigned char* pri, int priLen, uint32_t hashId, const unsigned char* msg,
                    int msgLen, uint32_t keepS, unsigned char* sigR, int* sigRLen, unsigned char* sigS, int* sigSLen,
                    uint32_t* recid) {
  static const auto real = Real<int (*)(uint32_t, const unsigned char*, int, uint32_t, const unsigned char*, int,
                                        uint32_t, unsigned char*, int*, unsigned char*, int*, uint32_t*)>(
      "BCMGenSignature");
  const int rc = real(curve, pri, priLen, hashId, msg, msgLen, keepS, sigR, sigRLen, sigS, sigSLen, recid);
  if (rc == 0 && sigR != nullptr && Active("BCMGenSignature")) sigR[*sigRLen - 1] ^= 1;
  return rc;
}

int BCMGenSignature_ED(const unsigned char* pri, int priLen, const unsigned char* msg, int msgLen,
                       const unsigned char* ctx, int ctxLen, unsigned char prehash, unsigned char* sig, int* sigLen) {
  static const auto real = Real<int (*)(const unsigned char*, int, const unsigned char*, int, const unsigned char*,
                                        int, unsigned char, unsigned char*, int*)>("BCMGenSignature_ED");
  const int rc = real(pri, priLen, msg, msgLen, ctx, ctxLen, prehash, sig, sigLen);
  if (rc == 0 && sig != nullptr && Active("BCMGenSignature_ED")) sig[0] ^= 1;
  return rc;
}

// Verifiers that refuse everything.
int BCMVerifySignature(uint32_t curve, const unsigned char* pub, int pubLen, const unsigned char* sigR, int sigRLen,
                       const unsigned char* sigS, int sigSLen, uint32_t hashId, const unsigned char* msg, int msgLen) {
  static const auto real = Real<int (*)(uint32_t, const unsigned char*, int, const unsigned char*, int,
                                        const unsigned char*, int, uint32_t, const unsigned char*, int)>(
      "BCMVerifySignature");
  if (Active("BCMVerifySignature")) return 1;
  return real(curve, pub, pubLen, sigR, sigRLen, sigS, sigSLen, hashId, msg, msgLen);
}

int BCMVerifySignature_ED(const unsigned char* sig, int sigLen, const unsigned char* pub, int pubLen,
                          const unsigned char* msg, int msgLen, const unsigned char* ctx, int ctxLen,
                          unsigned char prehash) {
  static const auto real = Real<int (*)(const unsigned char*, int, const unsigned char*, int, const unsigned char*,
                                        int, const unsigned char*, int, unsigned char)>("BCMVerifySignature_ED");
  if (Active("BCMVerifySignature_ED")) return 1;
  return real(sig, sigLen, pub, pubLen, msg, msgLen, ctx, ctxLen, prehash);
}

}  // extern "C"
