// HD derivation: the BIP32 / SLIP-10 vectors on all three curves, public
// against private derivation, the path leaf, the refusal of keys that name no
// point, and the library codes with their trail entries.
#include "keys/hd.h"

#include <gtest/gtest.h>
#include <secp256k1.h>

#include <string>
#include <vector>

#include "trail/trail.h"
#include "ec_testing.h"
#include "tv_test.h"

namespace {

using tvt::Bytes;
using tvt::Hex;
using tvt::Unhex;

const char* kK1N = "fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364141";
const char* kP256N = "ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551";

struct Node {
  Bytes pri, pub, chain;
};

using Pkc = ScopedPkc;

std::string Trail() { return ErrTrailLocations(); }

// Compressed public key from the oracles: libsecp256k1 or OpenSSL.
std::string OraclePub(uint32_t code, const Bytes& pri) {
  if (code != 1) {
    secp256k1_context* ctx = secp256k1_context_create(SECP256K1_CONTEXT_SIGN);
    secp256k1_pubkey pk;
    std::string out = "refused";
    if (secp256k1_ec_pubkey_create(ctx, &pk, pri.data()) == 1) {
      unsigned char buf[33];
      size_t len = sizeof buf;
      secp256k1_ec_pubkey_serialize(ctx, buf, &len, &pk, SECP256K1_EC_COMPRESSED);
      out = Hex(buf, len);
    }
    secp256k1_context_destroy(ctx);
    return out;
  }
  const std::string u = ect::Ossl(NID_X9_62_prime256v1, pri);
  if (u.size() != 130) return "refused";
  const int last = std::stoi(u.substr(128, 2), nullptr, 16);
  return std::string((last & 1) ? "03" : "02") + u.substr(2, 64);
}

Node Master(uint32_t code, const Bytes& seed) {
  Pkc pkc(code);
  Node n{Bytes(32), Bytes(33), Bytes(32)};
  int32_t a = 32, b = 33, c = 32;
  EXPECT_EQ(GenerateMasterNodeFromSeed(seed.data(), static_cast<uint32_t>(seed.size()), pkc.get(), n.pri.data(),
                                       &a, n.pub.data(), &b, n.chain.data(), &c),
            0);
  EXPECT_EQ(a + b + c, 97);
  return n;
}

int Ckd(uint32_t code, const Node& p, uint32_t index, Node* out) {
  Pkc pkc(code);
  *out = Node{Bytes(32), Bytes(33), Bytes(32)};
  int32_t a = 32, b = 33, c = 32;
  return CKD(p.pri.data(), static_cast<int32_t>(p.pri.size()), p.pub.data(), static_cast<int32_t>(p.pub.size()),
             p.chain.data(), 32, index, pkc.get(), out->pri.data(), &a, out->pub.data(), &b, out->chain.data(), &c);
}

int CkdPub(uint32_t code, const Bytes& pub, const Bytes& chain, uint32_t index, Node* out) {
  Pkc pkc(code);
  out->pub.assign(33, 0);
  out->chain.assign(32, 0);
  int32_t b = 33, c = 32;
  return CKDPub(pub.data(), static_cast<int32_t>(pub.size()), chain.data(), static_cast<int32_t>(chain.size()), index,
                pkc.get(), out->pub.data(), &b, out->chain.data(), &c);
}

Node MasterEd(const Bytes& seed) {
  Node n{Bytes(32), Bytes(32), Bytes(32)};
  int32_t a = 32, b = 32, c = 32;
  EXPECT_EQ(GenerateMasterNodeFromSeed_ED(seed.data(), static_cast<uint32_t>(seed.size()), n.pri.data(), &a,
                                          n.pub.data(), &b, n.chain.data(), &c),
            0);
  return n;
}

int CkdEd(const Node& p, uint32_t index, Node* out) {
  *out = Node{Bytes(32), Bytes(32), Bytes(32)};
  int32_t a = 32, b = 32, c = 32;
  return CKD_ED(p.pri.data(), 32, p.pub.data(), 32, p.chain.data(), 32, index, out->pri.data(), &a, out->pub.data(),
                &b, out->chain.data(), &c);
}

uint32_t LastIndex(const std::string& path) {
  const size_t slash = path.rfind('/');
  std::string part = path.substr(slash + 1);
  uint32_t hardened = 0;
  if (part.back() == '\'') {
    hardened = kHdHardened;
    part.pop_back();
  }
  return static_cast<uint32_t>(std::stoul(part)) + hardened;
}

// Every record of the vector file, each chain walked one level at a time from
// the master node; every normal step is also taken from the public parent.
TEST(HdVectors, Bip32AndSlip10) {
  const Json::Value all = tvt::ReadJson(tvt::VectorPath("hd-vectors.json"));
  int records = 0, publicSteps = 0;
  for (const Json::Value& rec : all) {
    SCOPED_TRACE(rec["source"].asString());
    const std::string curve = rec["curve"].asString();
    const bool ed = curve == "ed25519";
    const uint32_t code = curve == "nist256p1" ? 1 : 0;
    const Bytes seed = Unhex(rec["seed"].asString());
    Node node = ed ? MasterEd(seed) : Master(code, seed);
    std::string parentPath;
    for (const Json::Value& step : rec["chains"]) {
      const std::string path = step["path"].asString();
      SCOPED_TRACE(path);
      if (path != "m") {
        ASSERT_EQ(path.substr(0, path.rfind('/')), parentPath);
        const uint32_t index = LastIndex(path);
        Node child;
        ASSERT_EQ(ed ? CkdEd(node, index, &child) : Ckd(code, node, index, &child), 0);
        if (!ed && index < kHdHardened) {
          Node pubChild;
          ASSERT_EQ(CkdPub(code, node.pub, node.chain, index, &pubChild), 0);
          EXPECT_EQ(Hex(pubChild.pub), Hex(child.pub));
          EXPECT_EQ(Hex(pubChild.chain), Hex(child.chain));
          ++publicSteps;
        }
        node = child;
      }
      parentPath = path;
      EXPECT_EQ(Hex(node.chain), step["chain"].asString());
      EXPECT_EQ(Hex(node.pri), step["private"].asString());
      std::string pub = step["public"].asString();
      if (ed) {
        ASSERT_EQ(pub.substr(0, 2), "00");  // SLIP-10 writes a 00 before the 32-byte key
        pub = pub.substr(2);
      }
      EXPECT_EQ(Hex(node.pub), pub);
    }
    ++records;
  }
  EXPECT_EQ(records, 10);
  EXPECT_GE(publicSteps, 8);
}

// Random parents on both curves: the public child of a normal index is the
// public key of the private child, and both public keys agree with the
// oracles.
TEST(Hd, PublicDerivationMatchesPrivate) {
  tvt::TestRng rng(0x4844);
  for (uint32_t code : {0u, 1u}) {
    Pkc pkc(code);
    for (int i = 0; i < 24; ++i) {
      Node parent{rng.RandBytes(32), Bytes(33), rng.RandBytes(32)};
      int32_t len = 33;
      ASSERT_EQ(DerivePub(parent.pri.data(), 32, pkc.get(), parent.pub.data(), &len), 0);
      EXPECT_EQ(Hex(parent.pub), OraclePub(code, parent.pri));
      const uint32_t index = i == 0 ? 0 : i == 1 ? kHdHardened - 1 : rng.Below(kHdHardened);
      Node child, pubChild;
      ASSERT_EQ(Ckd(code, parent, index, &child), 0);
      ASSERT_EQ(CkdPub(code, parent.pub, parent.chain, index, &pubChild), 0);
      EXPECT_EQ(Hex(pubChild.pub), Hex(child.pub)) << code << " " << index;
      EXPECT_EQ(Hex(pubChild.chain), Hex(child.chain));
      EXPECT_EQ(Hex(child.pub), OraclePub(code, child.pri));
    }
  }
}

// A normal child is hashed from the parent public key, so a caller's key that
// does not belong to the private key would give a child no public derivation
// reproduces. Such keys are refused; a hardened child does not use the key.
TEST(Hd, CkdRefusesForeignParentPub) {
  tvt::TestRng rng(0xF0E1);
  for (uint32_t code : {0u, 1u}) {
    Pkc pkc(code);
    Node parent{rng.RandBytes(32), Bytes(33), rng.RandBytes(32)};
    int32_t len = 33;
    ASSERT_EQ(DerivePub(parent.pri.data(), 32, pkc.get(), parent.pub.data(), &len), 0);
    Node other = parent;
    other.pri = rng.RandBytes(32);
    ASSERT_EQ(DerivePub(other.pri.data(), 32, pkc.get(), other.pub.data(), &len), 0);

    Node negated = parent;
    negated.pub[0] ^= 0x01;  // -P: same X, other parity
    Node unc = parent;
    unc.pub[0] = 0x04;
    for (const Bytes& pub : {other.pub, negated.pub, unc.pub}) {
      Node wrong = parent, child;
      wrong.pub = pub;
      SetErrFunc("T");
      EXPECT_EQ(Ckd(code, wrong, 7, &child), 186) << Hex(pub);
      EXPECT_EQ(Trail(), "CKD:186");
      EXPECT_EQ(child.pri, Bytes(32, 0));  // nothing written on failure

      Node right, hardened;
      ASSERT_EQ(Ckd(code, parent, kHdHardened + 7, &right), 0);
      ASSERT_EQ(Ckd(code, wrong, kHdHardened + 7, &hardened), 0);
      EXPECT_EQ(Hex(hardened.pri), Hex(right.pri));
    }
  }
}

// Only 02/03 keys are parents of a public derivation: the SEC 1 forms for
// infinity and for uncompressed or hybrid points are not HD keys, and an X
// that is not on the curve is not a key either.
TEST(Hd, CkdPubTakesOnlyCompressedKeys) {
  const Bytes chain(32, 0x11);
  const Node m = Master(0, Unhex("000102030405060708090a0b0c0d0e0f"));
  for (uint32_t code : {0u, 1u}) {
    for (uint8_t prefix : {0x00, 0x01, 0x04, 0x05, 0x06, 0x07, 0xff}) {
      Bytes pub = m.pub;
      pub[0] = prefix;
      Node out;
      SetErrFunc("T");
      EXPECT_EQ(CkdPub(code, pub, chain, 1, &out), 343) << int(prefix);
      EXPECT_EQ(Trail(), "CKDPub:343");
    }
    Node out;
    EXPECT_EQ(CkdPub(code, Bytes(33, 0), chain, 1, &out), 343);
    // x = 7 lies on neither curve (7^3 + 7 and 7^3 - 21 + b are non-residues).
    Bytes offCurve(33, 0);
    offCurve[0] = 0x02;
    offCurve[32] = 0x07;
    Pkc pkc(code);
    Bytes y(33);
    int32_t yLen = 33;
    ASSERT_NE(GetPubYFromCompPub(offCurve.data(), 33, pkc.get(), y.data(), &yLen), 0);
    EXPECT_EQ(CkdPub(code, offCurve, chain, 1, &out), 343);
  }
}

// A private key that is 0 modulo n has no public key (its multiple of G is
// the point at infinity): no key is made of it, and no child derived from it.
// Keys above n that are not 0 modulo n keep working modulo n.
TEST(Hd, KeyZeroModuloNHasNoPublicKey) {
  for (uint32_t code : {0u, 1u}) {
    Pkc pkc(code);
    const Bytes n = Unhex(code == 1 ? kP256N : kK1N);
    Bytes one(32, 0), nPlusOne = n;
    one[31] = 1;
    nPlusOne[31] += 1;  // no carry: n ends in 0x41 / 0x51
    for (const Bytes& zero : {Bytes(32, 0), n}) {
      Bytes pub(33, 0xAA);
      int32_t len = 33;
      SetErrFunc("T");
      EXPECT_EQ(DerivePub(zero.data(), 32, pkc.get(), pub.data(), &len), 252);
      EXPECT_EQ(Trail(), "DerivePub:252");
      EXPECT_EQ(pub, Bytes(33, 0xAA));
      EXPECT_EQ(len, 33);

      // As a parent, with the generator (the key of 1) as its public key.
      Node parent{zero, Bytes(33), Bytes(32, 0x42)};
      ASSERT_EQ(DerivePub(one.data(), 32, pkc.get(), parent.pub.data(), &len), 0);
      for (uint32_t index : {0u, kHdHardened}) {
        Node child;
        SetErrFunc("T");
        EXPECT_EQ(Ckd(code, parent, index, &child), 186);
        EXPECT_EQ(Trail(), "CKD:186");
      }
    }
    Bytes a(33), b(33);
    int32_t la = 33, lb = 33;
    ASSERT_EQ(DerivePub(nPlusOne.data(), 32, pkc.get(), a.data(), &la), 0);
    ASSERT_EQ(DerivePub(one.data(), 32, pkc.get(), b.data(), &lb), 0);
    EXPECT_EQ(Hex(a), Hex(b));
  }
}

// The leaf of m/purpose'/coin'/account'/change/index is five private steps
// from the master node; a level at or above 0x80000000 wraps to a normal one.
TEST(Hd, PathLeafIsFiveSteps) {
  tvt::TestRng rng(0x1EAF);
  const Bytes seed = rng.RandBytes(64);
  struct Case {
    uint32_t purpose, coin, account, change, index;
  };
  for (uint32_t code : {0u, 1u}) {
    Pkc pkc(code);
    for (const Case& c : {Case{44, 0, 0, 0, 0}, Case{49, 60, 3, 1, 0x7FFFFFFF}, Case{0x80000001u, 5, 0, 0, kHdHardened}}) {
      Node want = Master(code, seed);
      for (uint32_t idx : {c.purpose + kHdHardened, c.coin + kHdHardened, c.account + kHdHardened, c.change, c.index}) {
        Node next;
        ASSERT_EQ(Ckd(code, want, idx, &next), 0);
        want = next;
      }
      Node got{Bytes(32), Bytes(33), Bytes(32)};
      int32_t a = 40, b = 40, l = 40;
      ASSERT_EQ(GeneratePathLeafNodeFromSeed(seed.data(), 64, c.purpose, c.coin, c.account, c.change, c.index,
                                             pkc.get(), got.pri.data(), &a, got.pub.data(), &b, got.chain.data(), &l),
                0);
      EXPECT_EQ(a, 32);
      EXPECT_EQ(b, 33);
      EXPECT_EQ(l, 32);
      EXPECT_EQ(Hex(got.pri), Hex(want.pri));
      EXPECT_EQ(Hex(got.pub), Hex(want.pub));
      EXPECT_EQ(Hex(got.chain), Hex(want.chain));
    }
    // Seed length and size query.
    Bytes buf(33);
    int32_t a = 0, b = 0, l = 0;
    SetErrFunc("T");
    EXPECT_EQ(GeneratePathLeafNodeFromSeed(seed.data(), 63, 44, 0, 0, 0, 0, pkc.get(), buf.data(), &a, buf.data(), &b,
                                           buf.data(), &l),
              37);
    EXPECT_EQ(Trail(), "GeneratePathLeafNodeFromSeed:37");
    EXPECT_EQ(GeneratePathLeafNodeFromSeed(seed.data(), 64, 44, 0, 0, 0, 0, pkc.get(), nullptr, &a, nullptr, &b,
                                           nullptr, &l),
              0);
    EXPECT_EQ(a * 10000 + b * 100 + l, 323332);
  }
}

// Argument, capacity and index codes of every function, with the trail entry.
TEST(Hd, LibraryCodes) {
  Pkc k1(0);
  Bytes b32(32, 1), b33(33, 2), o1(40), o2(40), o3(40);
  const Node m = Master(0, Bytes(64, 3));
  int32_t a = 40, b = 40, c = 40;
  struct Case {
    const char* trail;
    int rc;
  };
  auto expect = [&](int got, Case want) {
    EXPECT_EQ(got, want.rc) << want.trail;
    EXPECT_EQ(Trail(), want.trail);
    SetErrFunc("T");
    a = b = c = 40;
  };
  SetErrFunc("T");
  expect(GenerateMasterNodeFromSeed(nullptr, 0, k1.get(), o1.data(), &a, o2.data(), &b, o3.data(), &c),
         {"GenerateMasterNodeFromSeed:112", 112});
  expect(GenerateMasterNodeFromSeed(b32.data(), 32, nullptr, o1.data(), &a, o2.data(), &b, o3.data(), &c),
         {"GenerateMasterNodeFromSeed:112", 112});
  b = 32;
  expect(GenerateMasterNodeFromSeed(b32.data(), 32, k1.get(), o1.data(), &a, o2.data(), &b, o3.data(), &c),
         {"GenerateMasterNodeFromSeed:123", 123});
  expect(GenerateMasterNodeFromSeed(b32.data(), 0x80000000u, k1.get(), o1.data(), &a, o2.data(), &b, o3.data(), &c),
         {"DoHMAC:106<-GenerateMasterNodeFromSeed:135", 135});

  expect(CKD(m.pri.data(), 31, m.pub.data(), 33, m.chain.data(), 32, 0, k1.get(), o1.data(), &a, o2.data(), &b,
             o3.data(), &c),
         {"CKD:186", 186});
  expect(CKD(m.pri.data(), 32, m.pub.data(), 33, m.chain.data(), 32, 0, k1.get(), o1.data(), &a, o2.data(), &b,
             o3.data(), nullptr),
         {"CKD:186", 186});
  c = 31;
  expect(CKD(m.pri.data(), 32, m.pub.data(), 33, m.chain.data(), 32, 0, k1.get(), o1.data(), &a, o2.data(), &b,
             o3.data(), &c),
         {"CKD:197", 197});
  EXPECT_EQ(CKD(m.pri.data(), 32, m.pub.data(), 33, m.chain.data(), 32, 0, k1.get(), nullptr, &a, o2.data(), &b,
                o3.data(), &c),
            0);
  EXPECT_EQ(a * 10000 + b * 100 + c, 323332);
  a = b = c = 40;

  expect(CKDPub(m.pub.data(), 33, m.chain.data(), 32, kHdHardened, k1.get(), o2.data(), &b, o3.data(), &c),
         {"CKDPub:306", 306});
  expect(CKDPub(m.pub.data(), 33, m.chain.data(), 31, 0, k1.get(), o2.data(), &b, o3.data(), &c), {"CKDPub:306", 306});
  b = 32;
  expect(CKDPub(m.pub.data(), 33, m.chain.data(), 32, 0, k1.get(), o2.data(), &b, o3.data(), &c), {"CKDPub:317", 317});
  EXPECT_EQ(CKDPub(m.pub.data(), 33, m.chain.data(), 32, 0, k1.get(), o2.data(), &b, nullptr, &c), 0);
  EXPECT_EQ(b * 100 + c, 3332);
  EXPECT_EQ(Trail(), "");
  a = b = c = 40;

  b = 0;
  expect(GeneratePathLeafNodeFromSeed(o1.data(), 64, 44, 0, 0, 0, 0, k1.get(), o1.data(), &a, o2.data(), &b,
                                      o3.data(), &c),
         {"GeneratePathLeafNodeFromSeed:48", 48});

  expect(GenerateMasterNodeFromSeed_ED(nullptr, 0, o1.data(), &a, o2.data(), &b, o3.data(), &c),
         {"GenerateMasterNodeFromSeed_ED:475", 475});
  a = b = c = 0;
  EXPECT_EQ(GenerateMasterNodeFromSeed_ED(b32.data(), 32, o1.data(), &a, nullptr, &b, o3.data(), &c), 481);
  EXPECT_EQ(a * 10000 + b * 100 + c, 323232);
  EXPECT_EQ(Trail(), "GenerateMasterNodeFromSeed_ED:481");
  SetErrFunc("T");
  a = 31;
  b = c = 40;
  expect(GenerateMasterNodeFromSeed_ED(b32.data(), 32, o1.data(), &a, o2.data(), &b, o3.data(), &c),
         {"GenerateMasterNodeFromSeed_ED:486", 486});
  expect(GenerateMasterNodeFromSeed_ED(b32.data(), 0x80000000u, o1.data(), &a, o2.data(), &b, o3.data(), &c),
         {"DoHMAC:106<-GenerateMasterNodeFromSeed_ED:492", 492});

  expect(CKD_ED(b32.data(), 32, b32.data(), 32, b32.data(), 32, 0x7FFFFFFF, o1.data(), &a, o2.data(), &b, o3.data(),
                &c),
         {"CKD_ED:535", 535});
  expect(CKD_ED(b32.data(), 32, b33.data(), 33, b32.data(), 32, kHdHardened, o1.data(), &a, o2.data(), &b, o3.data(),
                &c),
         {"CKD_ED:535", 535});
  expect(CKD_ED(b32.data(), 32, nullptr, 32, b32.data(), 32, kHdHardened, o1.data(), &a, o2.data(), &b, o3.data(), &c),
         {"CKD_ED:535", 535});
  b = 31;
  expect(CKD_ED(b32.data(), 32, b32.data(), 32, b32.data(), 32, kHdHardened, o1.data(), &a, o2.data(), &b, o3.data(),
                &c),
         {"CKD_ED:546", 546});

  b = 32;
  expect(DerivePub(b32.data(), 32, k1.get(), o2.data(), &b), {"DerivePub:247", 247});
  expect(DerivePub_ED(b32.data(), 31, o2.data(), &b), {"DerivePub_ED:328", 328});
}

// The Ed25519 parent public key is required but not used.
TEST(Hd, CkdEdIgnoresParentPub) {
  const Node m = MasterEd(Unhex("000102030405060708090a0b0c0d0e0f"));
  Node other = m;
  other.pub.assign(32, 0xEE);
  Node a, b;
  ASSERT_EQ(CkdEd(m, kHdHardened, &a), 0);
  ASSERT_EQ(CkdEd(other, kHdHardened, &b), 0);
  EXPECT_EQ(Hex(a.pri), Hex(b.pri));
  EXPECT_EQ(Hex(a.pub), Hex(b.pub));
}

}  // namespace
