// Secret-key operations under valgrind with the key marked undefined: any
// branch or memory index that depends on it is reported, and the run fails.
// Outputs that are secret themselves (a shared key, a plaintext, a child
// key and chain code) must come back undefined: one that the library
// declassified on the way fails the run with the operation's name. Outputs
// and return codes are marked defined again after each call (they are the
// caller's to publish), exactly as the library's own declassification
// points do inside.
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "crypto/cpu_features.h"
#include "crypto/ct_check.h"
#include "crypto/ec/ec256.h"
#include "crypto/ec/general/eccurve.h"
#include "crypto/ecdsa/ecdsa.h"
#include "crypto/ed25519/ed25519.h"
#include "keys/ecies.h"
#include "keys/hd.h"
#include "secret_output.h"
#include "tolvaris/bcm_ecies.h"

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "%s failed\n", what);
    ++failures;
  }
}

// "<operation> <curve>", for the secret-output messages.
struct OpName {
  char text[80];
  OpName(const char* op, uint32_t curve) {
    std::snprintf(text, sizeof text, "%s %s", op, curve == 1 ? "P-256" : "secp256k1");
  }
};

void ExpectSecret(const void* p, size_t len, const OpName& op) { failures += !SecretOnReturn(p, len, op.text); }

// The key of each round: distinct, nonzero, below n on both curves.
void KeyOf(unsigned round, uint8_t key[32]) {
  for (int i = 0; i < 32; ++i) key[i] = static_cast<uint8_t>(0x35 + 17 * i + 29 * round);
  key[0] &= 0x7f;
}

void Sign(NXVT_PKC* pkc, const uint8_t key[32]) {
  uint8_t hash[32], R[33], S[33], priv[32];
  for (int i = 0; i < 32; ++i) hash[i] = static_cast<uint8_t>(i * 7);
  std::memcpy(priv, key, 32);
  uint32_t rl = sizeof R, sl = sizeof S, recid = 0;
  CtMarkSecret(priv, sizeof priv);
  int rc = NXVT_ECDSA_SignRFC6979(hash, 32, 0, priv, 32, pkc, R, &rl, S, &sl, &recid);
  CtDeclassify(&rc, sizeof rc);
  Check(rc == 0, "ECDSA signing");
}

void PublicKey(NXVT_PKC* pkc, const uint8_t key[32]) {
  uint8_t pub[33], priv[32];
  std::memcpy(priv, key, 32);
  uint32_t len = sizeof pub;
  CtMarkSecret(priv, sizeof priv);
  int rc = NXVT_EC_GetCompPub(priv, 32, pkc, pub, &len);
  CtDeclassify(&rc, sizeof rc);
  Check(rc == 0, "public key");
}

void HdChild(uint32_t curve, NXVT_PKC* pkc, const uint8_t key[32]) {
  uint8_t ppub[33], chain[32], cpri[32], cpub[33], cchain[32], priv[32];
  std::memcpy(priv, key, 32);
  uint32_t len = sizeof ppub;
  NXVT_EC_GetCompPub(priv, 32, pkc, ppub, &len);
  std::memset(chain, 0x5c, sizeof chain);
  // A hardened and a normal child, of a secret key and chain code.
  for (uint32_t index : {0x80000001u, 7u}) {
    int32_t l1 = 32, l2 = 33, l3 = 32;
    CtMarkSecret(priv, sizeof priv);
    CtMarkSecret(chain, sizeof chain);
    int rc = CKD(priv, 32, ppub, 33, chain, 32, index, pkc, cpri, &l1, cpub, &l2, cchain, &l3);
    CtDeclassify(&rc, sizeof rc);
    CtDeclassify(priv, sizeof priv);
    CtDeclassify(chain, sizeof chain);
    Check(rc == 0, "HD child");
    ExpectSecret(cpri, sizeof cpri, OpName("HD child private key", curve));
    ExpectSecret(cchain, sizeof cchain, OpName("HD child chain code", curve));
  }
}

// The master node of a secret seed.
void HdMaster(uint32_t curve, NXVT_PKC* pkc, const uint8_t key[32]) {
  uint8_t seed[64], pri[32], pub[33], chain[32];
  for (int i = 0; i < 64; ++i) seed[i] = static_cast<uint8_t>(key[i % 32] + i);
  int32_t l1 = 32, l2 = 33, l3 = 32;
  CtMarkSecret(seed, sizeof seed);
  int rc = GenerateMasterNodeFromSeed(seed, sizeof seed, pkc, pri, &l1, pub, &l2, chain, &l3);
  CtDeclassify(&rc, sizeof rc);
  Check(rc == 0, "HD master node");
  ExpectSecret(pri, sizeof pri, OpName("HD master private key", curve));
  ExpectSecret(chain, sizeof chain, OpName("HD master chain code", curve));
}

void Ecdh(uint32_t curve, NXVT_PKC* pkc, const uint8_t key[32]) {
  uint8_t peerKey[32], peer[33], priv[32], out[33];
  for (int i = 0; i < 32; ++i) peerKey[i] = static_cast<uint8_t>(0x11 + 3 * i);
  uint32_t len = sizeof peer;
  NXVT_EC_GetCompPub(peerKey, 32, pkc, peer, &len);
  std::memcpy(priv, key, 32);
  int outLen = sizeof out;
  CtMarkSecret(priv, sizeof priv);
  int rc = BCMGenECDHComputeShareKey(curve, priv, 32, peer, 33, out, &outLen);
  CtDeclassify(&rc, sizeof rc);
  Check(rc == 0, "ECDH");
  ExpectSecret(out, sizeof out, OpName("ECDH shared key", curve));
}

// ECIES with the ephemeral key secret: its public half, the key agreement
// and the key derivation; the ciphertext and the tag, made under the secret
// key material, stay secret. Then decryption of that message with the
// recipient's key secret: key agreement, tag check, decryption and padding.
void Ecies(uint32_t curve, NXVT_PKC* pkc, const uint8_t key[32]) {
  uint8_t peerKey[32], peer[33], eph[32], out[256], back[256];
  const uint8_t plain[20] = {'w', 'a', 'l', 'l', 'e', 't'};
  for (int i = 0; i < 32; ++i) peerKey[i] = static_cast<uint8_t>(0x21 + 5 * i);
  uint32_t len = sizeof peer;
  NXVT_EC_GetCompPub(peerKey, 32, pkc, peer, &len);
  std::memcpy(eph, key, 32);
  int32_t outLen = sizeof out;
  CtMarkSecret(eph, sizeof eph);
  int rc = ECIES_Encrypt(plain, sizeof plain, eph, 32, peer, 33, out, &outLen, pkc);
  CtDeclassify(&rc, sizeof rc);
  CtDeclassify(&outLen, sizeof outLen);
  Check(rc == 0 && outLen == 113, "ECIES encryption");
  if (rc != 0 || outLen != 113) return;
  // The IV is random and the ephemeral key public; what follows is secret.
  ExpectSecret(out + 49, 113 - 49, OpName("ECIES encryption", curve));

  int32_t backLen = sizeof back;
  CtMarkSecret(peerKey, sizeof peerKey);
  rc = ECIES_Decrypt(out, outLen, peerKey, 32, back, &backLen, pkc);
  CtDeclassify(&rc, sizeof rc);
  CtDeclassify(&backLen, sizeof backLen);
  Check(rc == 0 && backLen == sizeof plain, "ECIES decryption");
  if (rc != 0 || backLen != sizeof plain) return;
  ExpectSecret(back, sizeof plain, OpName("ECIES decryption", curve));
  Check(std::memcmp(back, plain, sizeof plain) == 0, "ECIES round trip");
}

void Ed25519(const uint8_t key[32]) {
  uint8_t priv[32], sig[64];
  const uint8_t msg[5] = {'h', 'e', 'l', 'l', 'o'};
  std::memcpy(priv, key, 32);
  CtMarkSecret(priv, sizeof priv);
  int rc = NXVT_Ed25519_Sign(sig, priv, nullptr, msg, sizeof msg, nullptr, 0, 0);
  CtDeclassify(&rc, sizeof rc);
  Check(rc == 0, "Ed25519 signing");

  // The key pair, and signing under a supplied public key (compared with
  // the one derived from the secret).
  uint8_t pub[32];
  CtMarkSecret(priv, sizeof priv);
  rc = NXVT_Ed25519_GetPub(priv, pub);
  CtDeclassify(&rc, sizeof rc);
  Check(rc == 0, "Ed25519 public key");
  CtDeclassify(pub, sizeof pub);
  CtMarkSecret(priv, sizeof priv);
  rc = NXVT_Ed25519_Sign(sig, priv, pub, msg, sizeof msg, nullptr, 0, 0);
  CtDeclassify(&rc, sizeof rc);
  Check(rc == 0, "Ed25519 signing with its public key");

  // The master node of a secret seed and a hardened child of it.
  uint8_t seed[64], mpri[32], mpub[32], mchain[32], cpri[32], cpub[32], cchain[32];
  for (int i = 0; i < 64; ++i) seed[i] = static_cast<uint8_t>(key[i % 32] ^ i);
  int32_t l1 = 32, l2 = 32, l3 = 32;
  CtMarkSecret(seed, sizeof seed);
  rc = GenerateMasterNodeFromSeed_ED(seed, sizeof seed, mpri, &l1, mpub, &l2, mchain, &l3);
  CtDeclassify(&rc, sizeof rc);
  Check(rc == 0, "Ed25519 HD master node");
  failures += !SecretOnReturn(mpri, sizeof mpri, "HD master private key Ed25519");
  failures += !SecretOnReturn(mchain, sizeof mchain, "HD master chain code Ed25519");
  CtDeclassify(mpub, sizeof mpub);
  CtMarkSecret(mpri, sizeof mpri);
  CtMarkSecret(mchain, sizeof mchain);
  l1 = 32, l2 = 32, l3 = 32;
  rc = CKD_ED(mpri, 32, mpub, 32, mchain, 32, 0x80000002u, cpri, &l1, cpub, &l2, cchain, &l3);
  CtDeclassify(&rc, sizeof rc);
  Check(rc == 0, "Ed25519 HD child");
  failures += !SecretOnReturn(cpri, sizeof cpri, "HD child private key Ed25519");
  failures += !SecretOnReturn(cchain, sizeof cchain, "HD child chain code Ed25519");
}

// The inversions of secrets on their own: the field inverse (a Z
// coordinate), the scalar inverse (a nonce), each with the value secret.
void Inversions(uint32_t curve, const uint8_t key[32]) {
  const Ec256Curve* c = curve == 1 ? Ec256_P256() : Ec256_Secp256k1();
  uint8_t in[32], out[32];
  std::memcpy(in, key, 32);
  CtMarkSecret(in, sizeof in);
  Ec256_FieldInv(c, out, in);
  Ec256Scalar s, r;
  Ec256_ScalarFromBytes(c, &s, in);
  Ec256_ScalarInv(c, &r, &s);
  Ec256_ScalarToBytes(out, &r);
  CtDeclassify(out, sizeof out);
  uint8_t any = 0;
  for (uint8_t b : out) any |= b;
  Check(any != 0, "scalar inverse");
}

}  // namespace

int main() {
  // The dispatched field code (MULX/ADX where the processor, as valgrind
  // presents it, has them), then the portable one.
  for (bool portable : {false, true}) {
    NXVT_ForcePortableForTest(portable);
    std::printf("%s path: mulx %d avx2 %d\n", portable ? "portable" : "dispatched", NXVT_CpuFeatures().mulx,
                NXVT_CpuFeatures().avx2);
    for (uint32_t curve : {0u, 1u}) {
      NXVT_PKC* pkc = GetPKCParam(curve);
      if (pkc == nullptr) return 2;
      for (unsigned round = 0; round < 2; ++round) {
        uint8_t key[32];
        KeyOf(round + 2 * curve, key);
        Sign(pkc, key);
        PublicKey(pkc, key);
        HdChild(curve, pkc, key);
        HdMaster(curve, pkc, key);
        Ecdh(curve, pkc, key);
        Ecies(curve, pkc, key);
        Inversions(curve, key);
      }
      NXVT_PKC_Free(pkc);
    }
  }
  NXVT_ForcePortableForTest(false);
  for (unsigned round = 0; round < 2; ++round) {
    uint8_t key[32];
    KeyOf(round, key);
    Ed25519(key);
  }
  std::printf("%s\n", failures == 0 ? "all operations ran" : "some operations failed");
  return failures == 0 ? 0 : 1;
}
