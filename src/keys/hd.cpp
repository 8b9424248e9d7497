// HD key derivation: master nodes, private and public children and the
// five-level path leaf on secp256k1 and P-256 (BIP32 with SLIP-10's retry
// rule), and the Ed25519 master and hardened children of SLIP-10.
#include "keys/hd.h"

#include <cstring>

#include "trail/trail.h"
#include "crypto/bignum/bignum.h"
#include "crypto/ct_check.h"
#include "crypto/ec/ec256.h"
#include "crypto/hash/digest.h"
#include "crypto/ecdsa/ecdsa.h"
#include "crypto/ec/general/ecpoint.h"
#include "crypto/ed25519/ed25519.h"
#include "crypto/hash/hmac.h"
#include "platform/memory.h"

namespace {

constexpr char kSeedKeySecp256k1[] = "Bitcoin seed";
constexpr char kSeedKeyP256[] = "Nist256p1 seed";
constexpr char kSeedKeyEd25519[] = "ed25519 seed";

constexpr size_t kHmacLen = 64;   // I = IL || IR
constexpr size_t kDataLen = 37;   // 33-byte prefix part || 4-byte index

// A signing object whose curve is loaded with one of the two curves.
NXVT_EC_CURVE* UsableCurve(NXVT_PKC* pkc) {
  if (pkc == nullptr || pkc->curve == nullptr) return nullptr;
  NXVT_EC_CURVE* c = pkc->curve;
  if (c->id != NXVT_EC_CURVE_SECP256K1 && c->id != NXVT_EC_CURVE_P256) return nullptr;
  if (c->n == nullptr || c->G == nullptr || c->p == nullptr) return nullptr;
  return c;
}

void PutIndex(uint8_t* out, uint32_t index) {
  out[0] = static_cast<uint8_t>(index >> 24);
  out[1] = static_cast<uint8_t>(index >> 16);
  out[2] = static_cast<uint8_t>(index >> 8);
  out[3] = static_cast<uint8_t>(index);
}

// I = HMAC-SHA512(key, data).
bool Hmac512(const uint8_t* key, size_t keyLen, const uint8_t* data, uint32_t dataLen, uint8_t* I) {
  int32_t len = static_cast<int32_t>(kHmacLen);
  return DoHMAC(kHashSha512, key, static_cast<int32_t>(keyLen), data, dataLen, I, &len) == 0 &&
         len == static_cast<int32_t>(kHmacLen);
}

// True when the 32-byte big-endian value is below n and not zero. Constant
// time in the value; only the answer is public (it decides a retry).
bool IsValidScalar(const uint8_t* bytes, const NXVT_EC_CURVE* curve) {
  const Ec256Curve* c = Ec256_Of(curve);
  if (c == nullptr) return false;
  Ec256Scalar k;
  uint64_t ok = Ec256_ScalarFromBytes(c, &k, bytes) & ~Ec256_ScalarIsZero(&k);
  Wipe(&k, sizeof k);
  CtDeclassify(&ok, sizeof ok);  // a retry runs one more HMAC: SLIP-10 makes it visible
  return ok != 0;
}

// child = (IL + parent) mod n, in constant time. 0 done; 1 when IL >= n or
// the child is zero (the caller derives again; both answers are public);
// -1 for a curve without dedicated arithmetic.
int AddScalars(const uint8_t* il, const uint8_t* parent, const NXVT_EC_CURVE* curve, uint8_t* child) {
  const Ec256Curve* c = Ec256_Of(curve);
  if (c == nullptr) return -1;
  struct {
    Ec256Scalar a, b;
  } w;
  ScopedWipe wipeW(w);
  uint64_t below = Ec256_ScalarFromBytes(c, &w.a, il);
  CtDeclassify(&below, sizeof below);  // IL >= n derives again: a visible retry
  if (!below) return 1;
  Ec256_ScalarFromBytes(c, &w.b, parent);
  Ec256_ScalarAdd(c, &w.a, &w.a, &w.b);
  uint64_t zero = Ec256_ScalarIsZero(&w.a);
  CtDeclassify(&zero, sizeof zero);  // a zero child derives again: a visible retry
  if (zero) return 1;
  Ec256_ScalarToBytes(child, &w.a);
  return 0;
}

// Compressed public key of a 32-byte private key. False for a key that is 0
// modulo n: its multiple of G is the point at infinity, which has no key.
bool CompressedPub(const uint8_t* pri, const NXVT_PKC* pkc, uint8_t* out) {
  uint32_t len = static_cast<uint32_t>(kHdPubLen);
  return NXVT_EC_GetCompPub(pri, kHdPriLen, pkc, out, &len) == 0 && len == static_cast<uint32_t>(kHdPubLen);
}

// Compressed public keys of two 32-byte private keys, with one shared
// inversion: what CompressedPub gives for each (ok[i] false for a key that
// is 0 modulo n).
void CompressedPubPair(const uint8_t* priA, const uint8_t* priB, const NXVT_PKC* pkc, uint8_t* outA,
                       uint8_t* outB, bool ok[2]) {
  ok[0] = ok[1] = false;
  const Ec256Curve* c = Ec256_Of(pkc->curve);
  if (c == nullptr) return;
  struct {
    Ec256Scalar k[2];
    Ec256Point P[2];
  } w;
  ScopedWipe wipeW(w);
  Ec256_ScalarFromBytes(c, &w.k[0], priA);
  Ec256_ScalarFromBytes(c, &w.k[1], priB);
  Ec256_MulGen2(c, w.P, w.k);
  CtDeclassify(w.P, sizeof w.P);  // the two public keys
  uint8_t* out[2] = {outA, outB};
  for (int i = 0; i < 2; ++i) {
    if (w.P[i].infinity) continue;
    out[i][0] = static_cast<uint8_t>(0x02 | (w.P[i].y[31] & 1u));
    memcpy(out[i] + 1, w.P[i].x, 32);
    ok[i] = true;
  }
}

// The child's private key and chain code of one private derivation step:
// 0 or 223 (HMAC or scalar arithmetic).
int CkdScalar(const HDNode& parent, uint32_t index, NXVT_PKC* pkc, HDNode* child) {
  NXVT_EC_CURVE* curve = pkc->curve;
  uint8_t data[kDataLen];
  uint8_t I[kHmacLen];
  ScopedWipe wipeData(data, sizeof data);
  ScopedWipe wipeI(I, sizeof I);
  if (index >= kHdHardened) {
    data[0] = 0x00;
    memcpy(data + 1, parent.pri, kHdPriLen);
  } else {
    memcpy(data, parent.pub, kHdPubLen);
  }
  PutIndex(data + 33, index);
  for (;;) {
    if (!Hmac512(parent.chain, kHdChainLen, data, kDataLen, I)) return 223;
    const int added = AddScalars(I, parent.pri, curve, child->pri);
    if (added < 0) return 223;
    if (added == 0) break;
    // SLIP-10: IL >= n or a zero child derives again from 0x01 || IR || index.
    data[0] = 0x01;
    memcpy(data + 1, I + 32, 32);
  }
  memcpy(child->chain, I + 32, kHdChainLen);
  return 0;
}

// One private derivation step from a parent whose pub belongs to its pri.
// 0, 223 (HMAC or scalar arithmetic) or 256 (public key); the caller records its own entry.
// Without withPub the child's pub is left zero (for a child whose own
// children are all hardened, which hash its pri instead).
int CkdStep(const HDNode& parent, uint32_t index, NXVT_PKC* pkc, HDNode* child, bool withPub = true) {
  if (int rc = CkdScalar(parent, index, pkc, child)) return rc;
  if (!withPub) {
    memset(child->pub, 0, sizeof child->pub);
    return 0;
  }
  int32_t pubLen = kHdPubLen;
  if (DerivePub(child->pri, kHdPriLen, pkc, child->pub, &pubLen) != 0) return 256;
  return 0;
}

// Copies a node out and stores the lengths.
void WriteNode(const HDNode& node, int32_t pubSize, uint8_t* pri, int32_t* priLen, uint8_t* pub,
               int32_t* pubLen, uint8_t* chain, int32_t* chainLen) {
  memcpy(pri, node.pri, kHdPriLen);
  memcpy(pub, node.pub, static_cast<size_t>(pubSize));
  memcpy(chain, node.chain, kHdChainLen);
  *priLen = kHdPriLen;
  *pubLen = pubSize;
  *chainLen = kHdChainLen;
}

}  // namespace

bool HdNodeSizeQuery(const uint8_t* pri, int32_t* priLen, const uint8_t* pub, int32_t* pubLen, const uint8_t* chain,
                     int32_t* chainLen, int32_t pubSize) {
  if (pri != nullptr && pub != nullptr && chain != nullptr) return false;
  *priLen = kHdPriLen;
  *pubLen = pubSize;
  *chainLen = kHdChainLen;
  return true;
}

bool HdNodeCapacityShort(const int32_t* priLen, const int32_t* pubLen, const int32_t* chainLen, int32_t pubSize) {
  return *priLen < kHdPriLen || *pubLen < pubSize || *chainLen < kHdChainLen;
}

int DerivePub(const uint8_t* pri, int32_t priLen, NXVT_PKC* pkc, uint8_t* pub, int32_t* pubLen) {
  NXVT_EC_CURVE* curve = UsableCurve(pkc);
  if (pri == nullptr || priLen != kHdPriLen || curve == nullptr || pub == nullptr || pubLen == nullptr ||
      *pubLen < kHdPubLen)
    return TrailFail("DerivePub", 247);
  uint8_t out[kHdPubLen];
  if (!CompressedPub(pri, pkc, out)) return TrailFail("DerivePub", 252);
  memcpy(pub, out, sizeof out);
  *pubLen = kHdPubLen;
  return 0;
}

int GetPubYFromCompPub(const uint8_t* pub, int32_t pubLen, NXVT_PKC* pkc, uint8_t* y, int32_t* yLen) {
  NXVT_EC_CURVE* curve = UsableCurve(pkc);
  if (pub == nullptr || pubLen != kHdPubLen || curve == nullptr || y == nullptr || yLen == nullptr ||
      (pub[0] != 0x02 && pub[0] != 0x03) || *yLen < kHdPubLen)
    return TrailFail("GetPubYFromCompPub", 269);
  uint8_t out[32];
  uint32_t len = sizeof out;
  if (NXVT_EC_GetPubY(pub, kHdPubLen, pkc, out, &len) != 0 || len != sizeof out)
    return TrailFail("GetPubYFromCompPub", 274);
  memcpy(y, out, sizeof out);
  *yLen = static_cast<int32_t>(sizeof out);
  return 0;
}

int DerivePub_ED(const uint8_t* pri, int32_t priLen, uint8_t* pub, int32_t* pubLen) {
  if (pri == nullptr || priLen != kHdPriLen || pub == nullptr || pubLen == nullptr || *pubLen < kHdEdPubLen)
    return TrailFail("DerivePub_ED", 328);
  uint8_t out[kHdEdPubLen];
  if (NXVT_Ed25519_GetPub(pri, out) != 0) return TrailFail("DerivePub_ED", 328);
  memcpy(pub, out, sizeof out);
  *pubLen = kHdEdPubLen;
  return 0;
}

namespace {

// The master node's private key and chain code (its pub left as it is):
// 0, or 135 when the HMAC fails.
int MasterScalar(const uint8_t* seed, uint32_t seedLen, const NXVT_EC_CURVE* curve, HDNode* node) {
  const bool p256 = curve->id == NXVT_EC_CURVE_P256;
  const uint8_t* key = reinterpret_cast<const uint8_t*>(p256 ? kSeedKeyP256 : kSeedKeySecp256k1);
  const size_t keyLen = p256 ? sizeof kSeedKeyP256 - 1 : sizeof kSeedKeySecp256k1 - 1;
  uint8_t I[kHmacLen];
  uint8_t prev[kHmacLen];
  ScopedWipe wipeI(I, sizeof I);
  ScopedWipe wipePrev(prev, sizeof prev);
  if (!Hmac512(key, keyLen, seed, seedLen, I)) return 135;
  // SLIP-10: an IL of zero or at least n hashes I again.
  while (!IsValidScalar(I, curve)) {
    memcpy(prev, I, sizeof I);
    if (!Hmac512(key, keyLen, prev, sizeof prev, I)) return 135;
  }
  memcpy(node->pri, I, kHdPriLen);
  memcpy(node->chain, I + 32, kHdChainLen);
  return 0;
}

}  // namespace

int GenerateMasterNodeFromSeed(const uint8_t* seed, uint32_t seedLen, NXVT_PKC* pkc, uint8_t* pri,
                               int32_t* priLen, uint8_t* pub, int32_t* pubLen, uint8_t* chain,
                               int32_t* chainLen) {
  constexpr const char* kFn = "GenerateMasterNodeFromSeed";
  NXVT_EC_CURVE* curve = UsableCurve(pkc);
  if (seed == nullptr || curve == nullptr || priLen == nullptr || pubLen == nullptr || chainLen == nullptr)
    return TrailFail(kFn, 112);
  if (HdNodeSizeQuery(pri, priLen, pub, pubLen, chain, chainLen, kHdPubLen)) return 0;
  if (HdNodeCapacityShort(priLen, pubLen, chainLen, kHdPubLen)) return TrailFail(kFn, 123);

  HDNode node;
  ScopedWipe wipeNode(node);
  if (int rc = MasterScalar(seed, seedLen, curve, &node)) return TrailFail(kFn, rc);
  int32_t len = kHdPubLen;
  if (DerivePub(node.pri, kHdPriLen, pkc, node.pub, &len) != 0) return TrailFail(kFn, 152);
  WriteNode(node, kHdPubLen, pri, priLen, pub, pubLen, chain, chainLen);
  return 0;
}

int CKD(const uint8_t* ppri, int32_t ppriLen, const uint8_t* ppub, int32_t ppubLen, const uint8_t* pchain,
        int32_t pchainLen, uint32_t index, NXVT_PKC* pkc, uint8_t* cpri, int32_t* cpriLen, uint8_t* cpub,
        int32_t* cpubLen, uint8_t* cchain, int32_t* cchainLen) {
  NXVT_EC_CURVE* curve = UsableCurve(pkc);
  if (ppri == nullptr || ppub == nullptr || pchain == nullptr || curve == nullptr || cpriLen == nullptr ||
      cpubLen == nullptr || cchainLen == nullptr || ppriLen != kHdPriLen || ppubLen != kHdPubLen ||
      pchainLen != kHdChainLen)
    return TrailFail("CKD", 186);
  if (HdNodeSizeQuery(cpri, cpriLen, cpub, cpubLen, cchain, cchainLen, kHdPubLen)) return 0;
  if (HdNodeCapacityShort(cpriLen, cpubLen, cchainLen, kHdPubLen)) return TrailFail("CKD", 197);

  HDNode parent, child;
  ScopedWipe wipeParent(parent);
  ScopedWipe wipeChild(child);
  memcpy(parent.pri, ppri, kHdPriLen);
  memcpy(parent.chain, pchain, kHdChainLen);
  // The parent key must be usable, and a normal child is derived from the
  // parent public key: one that does not belong to the private key would give
  // a child that matches no public derivation.
  uint8_t own[kHdPubLen];
  // The parent key is checked (for a normal child also against the given
  // public key, which that child hashes) together with the child's own key:
  // both multiples of G share one inversion.
  if (index < kHdHardened) memcpy(parent.pub, ppub, kHdPubLen);
  const int rc = CkdScalar(parent, index, pkc, &child);
  bool ok[2] = {false, false};
  if (rc == 0) {
    CompressedPubPair(parent.pri, child.pri, pkc, own, child.pub, ok);
  } else {
    ok[0] = CompressedPub(parent.pri, pkc, own);
  }
  if (!ok[0] || (index < kHdHardened && memcmp(own, ppub, kHdPubLen) != 0)) return TrailFail("CKD", 186);
  if (rc != 0) return TrailFail("CKD", rc);
  if (!ok[1]) {
    int32_t pubLen = kHdPubLen;
    if (DerivePub(child.pri, kHdPriLen, pkc, child.pub, &pubLen) != 0) return TrailFail("CKD", 256);
  }
  WriteNode(child, kHdPubLen, cpri, cpriLen, cpub, cpubLen, cchain, cchainLen);
  return 0;
}

int CKDPub(const uint8_t* ppub, int32_t ppubLen, const uint8_t* pchain, int32_t pchainLen, uint32_t index,
           NXVT_PKC* pkc, uint8_t* cpub, int32_t* cpubLen, uint8_t* cchain, int32_t* cchainLen) {
  NXVT_EC_CURVE* curve = UsableCurve(pkc);
  if (ppub == nullptr || pchain == nullptr || curve == nullptr || cpubLen == nullptr || cchainLen == nullptr ||
      ppubLen != kHdPubLen || pchainLen != kHdChainLen || index >= kHdHardened)
    return TrailFail("CKDPub", 306);
  if (cpub == nullptr || cchain == nullptr) {
    *cpubLen = kHdPubLen;
    *cchainLen = kHdChainLen;
    return 0;
  }
  if (*cpubLen < kHdPubLen || *cchainLen < kHdChainLen) return TrailFail("CKDPub", 317);

  // Only a compressed key names a parent: the SEC 1 decoder would also take
  // other forms (infinity, uncompressed), none of which is an HD public key.
  OwnedPoint parent;
  if (!parent.ok()) return TrailFail("CKDPub", 343);
  if ((ppub[0] != 0x02 && ppub[0] != 0x03) ||
      NXVT_EC_Point_Decode(parent.get(), ppub, static_cast<uint64_t>(ppubLen), curve) != 0)
    return TrailFail("CKDPub", 343);
  // Everything below is public (an extended public key and its children):
  // the sum and its affine form take the variable-time code.
  const Ec256Curve* ec = Ec256_Of(curve);
  Ec256Point P = {}, child = {};
  if (ec == nullptr || NXVT_BN_ToFixedBytes(P.x, 32, parent.get()->X) != 0 ||
      NXVT_BN_ToFixedBytes(P.y, 32, parent.get()->Y) != 0)
    return TrailFail("CKDPub", 343);

  uint8_t data[kDataLen];
  uint8_t I[kHmacLen];
  ScopedWipe wipeData(data, sizeof data);
  ScopedWipe wipeI(I, sizeof I);
  memcpy(data, ppub, kHdPubLen);
  PutIndex(data + 33, index);
  for (;;) {
    if (!Hmac512(pchain, kHdChainLen, data, kDataLen, I)) return TrailFail("CKDPub", 333);
    Ec256Scalar il;
    if (Ec256_ScalarFromBytes(ec, &il, I) != 0) {
      Ec256Point ilG;
      Ec256_MulGen(ec, &ilG, &il);
      Ec256_AddVartime(ec, &child, &ilG, &P);
      if (!child.infinity) break;
    }
    // SLIP-10: IL >= n or a child at infinity derives again.
    data[0] = 0x01;
    memcpy(data + 1, I + 32, 32);
  }
  cpub[0] = static_cast<uint8_t>(0x02 | (child.y[31] & 1u));
  memcpy(cpub + 1, child.x, 32);
  memcpy(cchain, I + 32, kHdChainLen);
  *cpubLen = kHdPubLen;
  *cchainLen = kHdChainLen;
  return 0;
}

int GeneratePathLeafNodeFromSeed(const uint8_t* seed, uint32_t seedLen, uint32_t purpose, uint32_t coin,
                                 uint32_t account, uint32_t change, uint32_t index, NXVT_PKC* pkc, uint8_t* pri,
                                 int32_t* priLen, uint8_t* pub, int32_t* pubLen, uint8_t* chain,
                                 int32_t* chainLen) {
  constexpr const char* kFn = "GeneratePathLeafNodeFromSeed";
  if (seed == nullptr || UsableCurve(pkc) == nullptr || priLen == nullptr || pubLen == nullptr ||
      chainLen == nullptr || seedLen != static_cast<uint32_t>(kHdSeedLen))
    return TrailFail(kFn, 37);
  if (HdNodeSizeQuery(pri, priLen, pub, pubLen, chain, chainLen, kHdPubLen)) return 0;
  if (HdNodeCapacityShort(priLen, pubLen, chainLen, kHdPubLen)) return TrailFail(kFn, 48);

  HDNode node, next;
  ScopedWipe wipeNode(node);
  ScopedWipe wipeNext(next);
  const uint32_t path[5] = {purpose + kHdHardened, coin + kHdHardened, account + kHdHardened, change, index};
  // The master node; its public key only when its child is a normal one.
  memset(node.pub, 0, sizeof node.pub);
  if (int rc = MasterScalar(seed, seedLen, UsableCurve(pkc), &node)) {
    TrailFail("GenerateMasterNodeFromSeed", rc);
    return TrailFail(kFn, 54);
  }
  if (path[0] < kHdHardened) {
    int32_t len = kHdPubLen;
    if (DerivePub(node.pri, kHdPriLen, pkc, node.pub, &len) != 0) {
      TrailFail("GenerateMasterNodeFromSeed", 152);
      return TrailFail(kFn, 54);
    }
  }
  for (int i = 0; i < 5; ++i) {
    // A level's public key is needed only by a normal child below it, and
    // for the leaf itself.
    const bool withPub = i == 4 || path[i + 1] < kHdHardened;
    if (int rc = CkdStep(node, path[i], pkc, &next, withPub)) {
      TrailFail("CKD", rc);
      return TrailFail(kFn, 67);
    }
    node = next;
    Wipe(&next, sizeof next);
  }
  WriteNode(node, kHdPubLen, pri, priLen, pub, pubLen, chain, chainLen);
  return 0;
}

int GenerateMasterNodeFromSeed_ED(const uint8_t* seed, uint32_t seedLen, uint8_t* pri, int32_t* priLen,
                                  uint8_t* pub, int32_t* pubLen, uint8_t* chain, int32_t* chainLen) {
  constexpr const char* kFn = "GenerateMasterNodeFromSeed_ED";
  if (seed == nullptr || priLen == nullptr || pubLen == nullptr || chainLen == nullptr) return TrailFail(kFn, 475);
  // This function answers a size query with the lengths and a failure.
  if (HdNodeSizeQuery(pri, priLen, pub, pubLen, chain, chainLen, kHdEdPubLen)) return TrailFail(kFn, 481);
  if (HdNodeCapacityShort(priLen, pubLen, chainLen, kHdEdPubLen)) return TrailFail(kFn, 486);

  uint8_t I[kHmacLen];
  HDNode node;
  ScopedWipe wipeI(I, sizeof I);
  ScopedWipe wipeNode(node);
  if (!Hmac512(reinterpret_cast<const uint8_t*>(kSeedKeyEd25519), sizeof kSeedKeyEd25519 - 1, seed, seedLen, I))
    return TrailFail(kFn, 492);
  memcpy(node.pri, I, kHdPriLen);
  memcpy(node.chain, I + 32, kHdChainLen);
  if (NXVT_Ed25519_GetPub(node.pri, node.pub) != 0) return TrailFail(kFn, 500);
  WriteNode(node, kHdEdPubLen, pri, priLen, pub, pubLen, chain, chainLen);
  return 0;
}

int CKD_ED(const uint8_t* ppri, int32_t ppriLen, const uint8_t* ppub, int32_t ppubLen, const uint8_t* pchain,
           int32_t pchainLen, uint32_t index, uint8_t* cpri, int32_t* cpriLen, uint8_t* cpub, int32_t* cpubLen,
           uint8_t* cchain, int32_t* cchainLen) {
  if (ppri == nullptr || ppub == nullptr || pchain == nullptr || cpriLen == nullptr || cpubLen == nullptr ||
      cchainLen == nullptr || ppriLen != kHdPriLen || ppubLen != kHdEdPubLen || pchainLen != kHdChainLen ||
      index < kHdHardened)
    return TrailFail("CKD_ED", 535);
  if (HdNodeSizeQuery(cpri, cpriLen, cpub, cpubLen, cchain, cchainLen, kHdEdPubLen)) return 0;
  if (HdNodeCapacityShort(cpriLen, cpubLen, cchainLen, kHdEdPubLen)) return TrailFail("CKD_ED", 546);

  uint8_t data[kDataLen];
  uint8_t I[kHmacLen];
  HDNode node;
  ScopedWipe wipeData(data, sizeof data);
  ScopedWipe wipeI(I, sizeof I);
  ScopedWipe wipeNode(node);
  data[0] = 0x00;
  memcpy(data + 1, ppri, kHdPriLen);
  PutIndex(data + 33, index);
  if (!Hmac512(pchain, kHdChainLen, data, kDataLen, I)) return TrailFail("CKD_ED", 558);
  memcpy(node.pri, I, kHdPriLen);
  memcpy(node.chain, I + 32, kHdChainLen);
  if (NXVT_Ed25519_GetPub(node.pri, node.pub) != 0) return TrailFail("CKD_ED", 563);
  WriteNode(node, kHdEdPubLen, cpri, cpriLen, cpub, cpubLen, cchain, cchainLen);
  return 0;
}
