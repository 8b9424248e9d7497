// Constant-time check of the symmetric code, run under valgrind: keys and
// plaintexts are marked secret, then AES-128 and AES-256 run through every
// mode (key schedule, both directions, CBC with and without padding, GCM and
// CCM with their tags, and a refused tag; CTR under a secret counter too;
// texts of six blocks and a rest, and of two whole runs of eight blocks and
// the same rest), GHASH under a secret subkey, HMAC and PBKDF2 under secret
// keys, SHA-512 and the Keccak digests of secret data, on the dispatched
// path (AES-NI, PCLMULQDQ, AVX2 and BMI where the processor and valgrind
// offer them; valgrind offers no SHA-NI, no AVX-512 and no VAES), on the
// AES-NI path without AVX2 and on the forced portable path; then scrypt and
// the BIP39 seed of secret texts. Any branch or memory index that depends
// on a secret is a memcheck error, and so is a secret output (a plaintext,
// a MAC, a derived key) that comes back defined.
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "crypto/aes/cipher.h"
#include "crypto/cpu_features.h"
#include "crypto/ct_check.h"
#include "crypto/aes/ghash.h"
#include "crypto/hash/hmac.h"
#include "crypto/hash/keccak.h"
#include "crypto/kdf/pbkdf2.h"
#include "crypto/kdf/scrypt.h"
#include "keys/bip39.h"
#include "secret_output.h"

namespace {

constexpr uint32_t kLen = 100;  // six whole blocks and a partial one
constexpr uint32_t kWhole = 96;
// Three whole runs of twelve blocks (CTR in the VEX encoding, its counter
// blocks from the buffer) and the same rest, which CTR takes through its
// runs of eight and of four; five whole runs of eight for the stitched loop
// of GCM on AES-NI in both directions.
constexpr uint32_t kLongLen = 576 + kLen;

void Public(const void* p, size_t n) { CtDeclassify(p, n); }

// "<operation> mode <m> key <bits>", for the secret-output messages.
struct AesOp {
  char text[64];
  AesOp(const char* op, AESMode mode, uint32_t keyLen, uint32_t padding = 0) {
    std::snprintf(text, sizeof text, "%s mode %u%s key %u", op, mode, padding ? " PKCS#7" : "", 8 * keyLen);
  }
};

int RunAes(uint32_t keyLen, uint32_t textLen) {
  unsigned char key[32], iv[16], plain[kLongLen], out[kLongLen + 16], back[kLongLen + 16], nonce[12], aad[20];
  for (uint32_t i = 0; i < 32; ++i) key[i] = static_cast<unsigned char>(7 * i + keyLen);
  for (uint32_t i = 0; i < textLen; ++i) plain[i] = static_cast<unsigned char>(i * 13 + 1);
  memset(iv, 0x5a, sizeof iv);
  memset(nonce, 0x3c, sizeof nonce);
  memset(aad, 0x11, sizeof aad);
  int failures = 0;

  struct Plain {
    AESMode mode;
    AESPadding padding;
  };
  const Plain plainModes[] = {{kAesModeEcb, kAesNoPadding},  {kAesModeCbc, kAesNoPadding},
                              {kAesModeCbc, kAesPkcs7Padding}, {kAesModeCfb, kAesNoPadding},
                              {kAesModeOfb, kAesNoPadding},  {kAesModeCtr, kAesNoPadding}};
  for (const Plain& pm : plainModes) {
    const AESMode mode = pm.mode;
    const bool block = mode == kAesModeEcb || mode == kAesModeCbc;
    // Padding takes the partial block as well (and adds one).
    const uint32_t len = block && pm.padding == kAesNoPadding ? textLen - kLen + kWhole : textLen;
    CtMarkSecret(key, sizeof key);
    CtMarkSecret(plain, sizeof plain);
    // The counter too: CTR's carries must not branch on it.
    if (mode == kAesModeCtr) CtMarkSecret(iv, sizeof iv);
    uint32_t outLen = sizeof out;
    int rc = AESEncrypt(plain, len, key, keyLen, iv, 16, mode, pm.padding, out, &outLen);
    Public(&rc, sizeof rc);
    Public(out, sizeof out);
    Public(&outLen, sizeof outLen);
    // Decryption: the ciphertext is public, the key and the result secret.
    CtMarkSecret(key, sizeof key);
    uint32_t backLen = sizeof back;
    int rc2 = AESDecrypt(out, outLen, key, keyLen, iv, 16, mode, pm.padding, back, &backLen);
    Public(&rc2, sizeof rc2);
    Public(&backLen, sizeof backLen);
    if (rc2 == 0 && backLen == len)
      failures += !SecretOnReturn(back, len, AesOp("AES decryption", mode, keyLen, pm.padding).text);
    Public(back, sizeof back);
    Public(plain, sizeof plain);
    Public(key, sizeof key);
    Public(iv, sizeof iv);
    if (rc != 0 || rc2 != 0 || backLen != len || memcmp(back, plain, len) != 0) {
      std::printf("mode %u key %u: round trip failed\n", mode, keyLen);
      ++failures;
    }
  }

  for (AESMode mode : {kAesModeGcm, kAesModeCcm}) {
    const unsigned char* useIv = mode == kAesModeGcm ? iv : nonce;
    const int32_t ivLen = mode == kAesModeGcm ? 16 : 12;
    CtMarkSecret(key, sizeof key);
    CtMarkSecret(plain, sizeof plain);
    uint32_t outLen = sizeof out;
    int rc = AESEncryptAuth(plain, textLen, key, keyLen, useIv, ivLen, mode, aad, sizeof aad, 16, out, &outLen);
    Public(&rc, sizeof rc);
    Public(out, sizeof out);
    Public(&outLen, sizeof outLen);
    CtMarkSecret(key, sizeof key);
    uint32_t bactextLen = sizeof back;
    int rc2 = AESDecryptAuth(out, outLen, key, keyLen, useIv, ivLen, mode, aad, sizeof aad, 16, back, &bactextLen);
    Public(&rc2, sizeof rc2);
    Public(&bactextLen, sizeof bactextLen);
    if (rc2 == 0 && bactextLen == textLen)
      failures += !SecretOnReturn(back, textLen, AesOp("AES decryption", mode, keyLen).text);
    Public(back, sizeof back);
    Public(plain, sizeof plain);
    Public(key, sizeof key);
    if (rc != 0 || rc2 != 0 || bactextLen != textLen || memcmp(back, plain, textLen) != 0) {
      std::printf("mode %u key %u: round trip failed\n", mode, keyLen);
      ++failures;
    }
    // A changed tag: the refusal (CCM turns its output back into the
    // ciphertext) runs under the secret key too.
    out[outLen - 1] ^= 1;
    CtMarkSecret(key, sizeof key);
    bactextLen = sizeof back;
    int rc3 = AESDecryptAuth(out, outLen, key, keyLen, useIv, ivLen, mode, aad, sizeof aad, 16, back, &bactextLen);
    Public(&rc3, sizeof rc3);
    Public(back, sizeof back);
    Public(key, sizeof key);
    if (rc3 == 0) {
      std::printf("mode %u key %u: a changed tag was accepted\n", mode, keyLen);
      ++failures;
    }
  }
  return failures;
}

int RunGhash() {
  unsigned char h[16], data[16 * 9];
  for (int i = 0; i < 16; ++i) h[i] = static_cast<unsigned char>(0x80 + i);
  for (size_t i = 0; i < sizeof data; ++i) data[i] = static_cast<unsigned char>(i);
  CtMarkSecret(h, sizeof h);
  CtMarkSecret(data, sizeof data);
  NXVT_GHASH g;
  NXVT_GHash_Init(&g, h);
  NXVT_GHash_Padded(&g, data, sizeof data - 3);
  unsigned char y[16];
  memcpy(y, g.y, 16);
  NXVT_GHash_Wipe(&g);
  Public(y, sizeof y);
  Public(h, sizeof h);
  Public(data, sizeof data);
  return y[0] == y[1] && y[1] == y[2] && y[2] == y[3] ? 1 : 0;  // a stuck result
}

// HMAC and PBKDF2 under a secret key over secret data; the digests'
// compression functions (SHA-NI and the AVX2 build included) run on both.
int RunMacs() {
  unsigned char key[40], data[300], out[64];
  for (size_t i = 0; i < sizeof key; ++i) key[i] = static_cast<unsigned char>(3 * i + 1);
  for (size_t i = 0; i < sizeof data; ++i) data[i] = static_cast<unsigned char>(i ^ 0x5a);
  int failures = 0;
  for (HashId id : {kHashSha256, kHashSha512, kHashRipemd160}) {
    CtMarkSecret(key, sizeof key);
    CtMarkSecret(data, sizeof data);
    int32_t len = sizeof out;
    int rc = DoHMAC(id, key, sizeof key, data, sizeof data, out, &len);
    Public(&rc, sizeof rc);
    Public(&len, sizeof len);
    failures += rc != 0;
    if (rc == 0) failures += !SecretOnReturn(out, static_cast<size_t>(len), "HMAC");
    Public(out, sizeof out);
    // The explicit-length entry: the C-string one measures the password.
    unsigned char password[] = "correct horse battery staple";
    CtMarkSecret(password, sizeof password - 1);
    CtMarkSecret(data, 16);
    rc = Pbkdf2Hmac(out, 40, password, sizeof password - 1, data, 16, 3, DigestDescForId(id));
    Public(&rc, sizeof rc);
    if (rc == 0) failures += !SecretOnReturn(out, 40, "PBKDF2");
    Public(out, sizeof out);
    Public(password, sizeof password);
    Public(key, sizeof key);
    Public(data, sizeof data);
    failures += rc != 0;
  }
  return failures;
}

// scrypt of a secret password: only the secrecy of the key is checked. Its
// second mixing loop reads the table at an index taken from the mixed
// password (memory-hard by design, RFC 7914), which memcheck rightly
// reports; the check run suppresses those reports inside ROMix alone
// (tests/ct/symmetric_ct.supp).
int RunScrypt() {
  char password[] = "correct horse battery staple";
  const unsigned char salt[8] = {'N', 'a', 'C', 'l', 1, 2, 3, 4};
  unsigned char out[48];
  MarkLettersSecret(password, sizeof password - 1);
  int32_t len = sizeof out;
  int rc = DoScrypt(password, salt, sizeof salt, 16, 2, 1, sizeof out, out, &len);
  Public(&rc, sizeof rc);
  Public(password, sizeof password);
  if (rc != 0) return 1;
  return SecretOnReturn(out, sizeof out, "scrypt") ? 0 : 1;
}

// The BIP39 seed of a secret mnemonic and passphrase (PBKDF2-HMAC-SHA512,
// 2048 rounds).
int RunBip39Seed() {
  char mnemonic[] = "legal winner thank year wave sausage worth useful legal winner thank yellow";
  char passphrase[] = "trezor";
  unsigned char seed[64];
  MarkLettersSecret(mnemonic, sizeof mnemonic - 1);
  MarkLettersSecret(passphrase, sizeof passphrase - 1);
  int32_t len = sizeof seed;
  int rc = ConvertMnemonic2Seed(mnemonic, passphrase, seed, &len);
  Public(&rc, sizeof rc);
  Public(mnemonic, sizeof mnemonic);
  Public(passphrase, sizeof passphrase);
  if (rc != 0) return 1;
  return SecretOnReturn(seed, sizeof seed, "BIP39 seed") ? 0 : 1;
}

// Digests of secret data: SHA-512 over 36 whole blocks (pairs sharing a
// schedule, then the padded block alone) and over 200 bytes (blocks one at
// a time), the Keccak digests over one and several blocks, HMAC over
// Keccak-256, and the permutation on a secret state.
int RunHashes() {
  static unsigned char msg[36 * 128 + 5];
  unsigned char out[64];
  for (size_t i = 0; i < sizeof msg; ++i) msg[i] = static_cast<unsigned char>(i * 7 + 3);
  int failures = 0;
  const struct {
    HashId id;
    uint32_t len;
  } runs[] = {{kHashSha512, sizeof msg}, {kHashSha512, 200}, {kHashKeccak256, 32}, {kHashKeccak256, 136},
              {kHashKeccak256, 1000}, {kHashKeccak512, 300}, {kHashKeccak224, 145}};
  for (const auto& r : runs) {
    CtMarkSecret(msg, sizeof msg);
    int32_t len = sizeof out;
    int rc = DoDigest(r.id, msg, r.len, out, &len);
    Public(&rc, sizeof rc);
    Public(out, sizeof out);
    Public(msg, sizeof msg);
    failures += rc != 0;
  }
  CtMarkSecret(msg, 64 + 100);
  int32_t len = sizeof out;
  int rc = DoHMAC(kHashKeccak256, msg, 64, msg + 64, 100, out, &len);
  Public(&rc, sizeof rc);
  Public(out, sizeof out);
  Public(msg, sizeof msg);
  failures += rc != 0;
  unsigned char st[200];
  memcpy(st, msg, sizeof st);
  CtMarkSecret(st, sizeof st);
  NXVT_Keccak_F1600(st);
  Public(st, sizeof st);
  return failures;
}

}  // namespace

int main() {
  int failures = 0;
  // 0 dispatched, 1 SSSE3 only (shuffle AES for single blocks), 2 portable,
  // 3 AES-NI without AVX2 (the SSE encoding of GCM and CTR; the dispatched
  // path takes their VEX encoding where valgrind offers AVX2).
  for (int path : {0, 1, 2, 3}) {
    NXVT_ForcePortableForTest(path == 2);
    if (path == 1) NXVT_ForceSsse3OnlyForTest(true);
    if (path == 3) NXVT_ForceAesNiSseForTest(true);
    const NXVT_CPU_FEATURES f = NXVT_CpuFeatures();
    static const char* const kNames[] = {"dispatched", "ssse3-only", "portable", "aes-ni without avx2"};
    std::printf("%s path: aesni %d pclmul %d shani %d avx2 %d ssse3 %d\n", kNames[path], f.aesni, f.pclmul,
                f.shani, f.avx2, f.ssse3);
    std::printf("%s path: vaes %d vpclmul %d vaes512 %d\n", kNames[path], f.vaes, f.vpclmul, f.vaes512);
    for (uint32_t textLen : {kLen, kLongLen}) {
      failures += RunAes(16, textLen);
      failures += RunAes(32, textLen);
    }
    failures += RunGhash();
    failures += RunMacs();
    std::printf("%s path: bmi2 %d avx512 %d\n", kNames[path], f.bmi2, f.avx512);
    failures += RunHashes();
  }
  NXVT_ForcePortableForTest(false);
  failures += RunScrypt();
  failures += RunBip39Seed();
  return failures == 0 ? 0 : 1;
}
