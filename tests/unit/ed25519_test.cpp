// Ed25519 / Ed25519ctx / Ed25519ph: RFC 8032 vectors, libsodium and a Python
// reference on random inputs, Wycheproof, scalar arithmetic against OpenSSL
// big numbers, and the argument and key rules.
#include "crypto/ed25519/ed25519.h"

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <sstream>
#include <string>

#include "tv_test.h"

namespace {

using tvt::Bytes;
using tvt::Hex;
using tvt::Unhex;

constexpr int kFail = NXVT_ED25519_FAIL;

const unsigned char* P(const Bytes& b) { return b.data(); }

// Signs and returns the signature (empty on failure).
Bytes Sign(const Bytes& sk, const Bytes& msg, const Bytes* ctx = nullptr, uint8_t ph = 0,
           const Bytes* pub = nullptr) {
  Bytes sig(64);
  int rc = NXVT_Ed25519_Sign(sig.data(), sk.data(), pub ? pub->data() : nullptr, msg.data(), msg.size(),
                             ctx ? ctx->data() : nullptr, ctx ? ctx->size() : 0, ph);
  return rc == 0 ? sig : Bytes();
}

int Verify(const Bytes& sig, const Bytes& pk, const Bytes& msg, const Bytes* ctx = nullptr, uint8_t ph = 0) {
  return NXVT_Ed25519_Verify(sig.data(), pk.data(), msg.data(), msg.size(), ctx ? ctx->data() : nullptr,
                             ctx ? ctx->size() : 0, ph);
}

Bytes Pub(const Bytes& sk) {
  Bytes pk(32);
  EXPECT_EQ(NXVT_Ed25519_GetPub(sk.data(), pk.data()), 0);
  return pk;
}

TEST(Ed25519, Rfc8032Vectors) {
  Json::Value v = tvt::ReadJson(tvt::VectorPath("signature-vectors.json"))["ed25519"];
  struct Group {
    const char* name;
    uint8_t ph;
    bool hasCtx;
  };
  int count = 0;
  for (const Group& g : {Group{"plain", 0, false}, Group{"ctx", 0, true}, Group{"ph", 1, false}}) {
    for (const Json::Value& row : v[g.name]) {
      Bytes sk = Unhex(row[0].asString()), pk = Unhex(row[1].asString()), msg = Unhex(row[2].asString());
      Bytes ctx = g.hasCtx ? Unhex(row[3].asString()) : Bytes();
      std::string want = row[g.hasCtx || g.ph ? 4 : 3].asString();
      // ph rows carry an empty context column: no context with the prehash flag.
      const Bytes* c = g.hasCtx ? &ctx : nullptr;
      SCOPED_TRACE(std::string(g.name) + " " + row[0].asString());
      EXPECT_EQ(Hex(Pub(sk)), Hex(pk));
      EXPECT_EQ(Hex(Sign(sk, msg, c, g.ph)), want);
      EXPECT_EQ(Hex(Sign(sk, msg, c, g.ph, &pk)), want);  // the matching public key may be supplied
      EXPECT_EQ(Verify(Unhex(want), pk, msg, c, g.ph), 0);
      ++count;
    }
  }
  EXPECT_EQ(count, 8);
}

// RFC 8032 7.1 TEST 1024: the 1023-byte message.
TEST(Ed25519, Rfc8032LongMessage) {
  Bytes sk = Unhex("f5e5767cf153319517630f226876b86c8160cc583bc013744c6bf255f5cc0ee5");
  Bytes pk = Unhex("278117fc144c72340f67d0f2316e8386ceffbf2b2428c9c51fef7c597f1d426e");
  // The same key and message are Wycheproof tcId 83; take the message from there.
  Json::Value w = tvt::ReadJson(tvt::VectorPath("wycheproof/ed25519_test.json"));
  Bytes msg, sig;
  for (const Json::Value& g : w["testGroups"])
    for (const Json::Value& t : g["tests"])
      if (t["tcId"].asInt() == 83) {
        msg = Unhex(t["msg"].asString());
        sig = Unhex(t["sig"].asString());
      }
  ASSERT_EQ(msg.size(), 1023u);
  EXPECT_EQ(Hex(Pub(sk)), Hex(pk));
  EXPECT_EQ(Hex(Sign(sk, msg)), Hex(sig));
  EXPECT_EQ(Verify(sig, pk, msg), 0);
}

// Random keys and messages: byte-identical to libsodium (plain and prehashed),
// and each side verifies the other's signatures.
TEST(Ed25519, MatchesLibsodium) {
  ASSERT_GE(sodium_init(), 0);
  tvt::TestRng rng(8032);
  for (int i = 0; i < 200; ++i) {
    Bytes seed = rng.RandBytes(32);
    Bytes msg = rng.RandBytes(i < 5 ? i : rng.Below(400));
    unsigned char spk[32], ssk[64], ssig[64];
    ASSERT_EQ(crypto_sign_seed_keypair(spk, ssk, seed.data()), 0);
    Bytes pk = Pub(seed);
    ASSERT_EQ(Hex(pk), Hex(spk, 32));

    ASSERT_EQ(crypto_sign_detached(ssig, nullptr, msg.data(), msg.size(), ssk), 0);
    Bytes sig = Sign(seed, msg);
    ASSERT_EQ(Hex(sig), Hex(ssig, 64));
    EXPECT_EQ(crypto_sign_verify_detached(sig.data(), msg.data(), msg.size(), spk), 0);
    EXPECT_EQ(Verify(Bytes(ssig, ssig + 64), pk, msg), 0);

    if (i % 4 == 0) {
      crypto_sign_ed25519ph_state st;
      crypto_sign_ed25519ph_init(&st);
      crypto_sign_ed25519ph_update(&st, msg.data(), msg.size());
      ASSERT_EQ(crypto_sign_ed25519ph_final_create(&st, ssig, nullptr, ssk), 0);
      Bytes phSig = Sign(seed, msg, nullptr, 1);
      ASSERT_EQ(Hex(phSig), Hex(ssig, 64));
      EXPECT_EQ(Verify(phSig, pk, msg, nullptr, 1), 0);
      EXPECT_NE(Verify(phSig, pk, msg), 0);  // not a plain signature
    }
  }
}

// Ed25519ctx and Ed25519ph with contexts of every size class, against a small
// Python model of the RFC 8032 algorithms.
TEST(Ed25519, ContextsMatchPythonModel) {
  const char* script = R"(
import sys, hashlib
p = 2**255 - 19
L = 2**252 + 27742317777372353535851937790883648493
d = -121665 * pow(121666, p - 2, p) % p
def add(P, Q):
    (x1, y1), (x2, y2) = P, Q
    t = d * x1 * x2 * y1 * y2 % p
    return ((x1 * y2 + x2 * y1) * pow(1 + t, p - 2, p) % p, (y1 * y2 + x1 * x2) * pow(1 - t, p - 2, p) % p)
def mul(k, P):
    R = (0, 1)
    while k:
        if k & 1: R = add(R, P)
        P = add(P, P); k >>= 1
    return R
by = 4 * pow(5, p - 2, p) % p
bx = pow((by * by - 1) * pow(d * by * by + 1, p - 2, p), (p + 3) // 8, p)
if (bx * bx - (by * by - 1) * pow(d * by * by + 1, p - 2, p)) % p: bx = bx * pow(2, (p - 1) // 4, p) % p
if bx & 1: bx = p - bx
B = (bx, by)
def enc(P): return (P[1] | ((P[0] & 1) << 255)).to_bytes(32, 'little')
H = lambda b: hashlib.sha512(b).digest()
for line in sys.stdin:
    sk, msg, ctx, ph = line.split()
    sk, msg, ctx, ph = bytes.fromhex(sk), bytes.fromhex(msg[1:]), bytes.fromhex(ctx[1:]), int(ph)
    h = H(sk)
    s = int.from_bytes(h[:32], 'little') & ((1 << 254) - 8) | (1 << 254)
    A = enc(mul(s, B))
    if ph: msg = H(msg)
    dom = b'SigEd25519 no Ed25519 collisions' + bytes([ph, len(ctx)]) + ctx
    r = int.from_bytes(H(dom + h[32:] + msg), 'little') % L
    R = enc(mul(r, B))
    k = int.from_bytes(H(dom + R + A + msg), 'little') % L
    print((R + ((r + k * s) % L).to_bytes(32, 'little')).hex())
)";
  tvt::TestRng rng(255);
  struct Case {
    Bytes sk, msg, ctx;
    uint8_t ph;
  };
  std::vector<Case> cases;
  const size_t ctxLens[] = {1, 2, 3, 31, 32, 33, 64, 127, 128, 200, 254, 255};
  for (size_t i = 0; i < 24; ++i) {
    size_t n = ctxLens[i % 12];
    cases.push_back({rng.RandBytes(32), rng.RandBytes(rng.Below(150)), rng.RandBytes(n), uint8_t(i / 12)});
  }
  std::string input;
  for (const Case& c : cases)
    input += Hex(c.sk) + " x" + Hex(c.msg) + " x" + Hex(c.ctx) + " " + std::to_string(c.ph) + "\n";
  std::istringstream out(tvt::RunPython(script, input));
  for (const Case& c : cases) {
    std::string want;
    std::getline(out, want);
    SCOPED_TRACE("ctx length " + std::to_string(c.ctx.size()) + " ph " + std::to_string(c.ph));
    Bytes sig = Sign(c.sk, c.msg, &c.ctx, c.ph);
    EXPECT_EQ(Hex(sig), want);
    Bytes pk = Pub(c.sk);
    EXPECT_EQ(Verify(sig, pk, c.msg, &c.ctx, c.ph), 0);
    Bytes other = c.ctx;
    other[0] ^= 1;
    EXPECT_EQ(Verify(sig, pk, c.msg, &other, c.ph), kFail);
    EXPECT_EQ(Verify(sig, pk, c.msg, nullptr, c.ph), kFail);
  }
}

// Every Wycheproof case at the library level. All of the file's "valid" cases
// are accepted and all "invalid" ones refused; there are no exceptions: the
// verifier checks S < L, requires a canonical A (y < p, no x = 0 with the sign
// bit), compares the recomputed R byte for byte (so a non-canonical R fails),
// and takes exactly 64 signature bytes (other lengths are the callers' check).
TEST(Ed25519, Wycheproof) {
  Json::Value w = tvt::ReadJson(tvt::VectorPath("wycheproof/ed25519_test.json"));
  int valid = 0, invalid = 0;
  for (const Json::Value& g : w["testGroups"]) {
    Bytes pk = Unhex(g["publicKey"]["pk"].asString());
    ASSERT_EQ(pk.size(), 32u);
    for (const Json::Value& t : g["tests"]) {
      Bytes msg = Unhex(t["msg"].asString()), sig = Unhex(t["sig"].asString());
      std::string result = t["result"].asString();
      SCOPED_TRACE("tcId " + std::to_string(t["tcId"].asInt()) + " " + t["comment"].asString());
      // A signature that is not 64 bytes long never reaches this layer.
      int rc = sig.size() == 64 ? Verify(sig, pk, msg) : kFail;
      if (result == "valid") {
        EXPECT_EQ(rc, 0);
        ++valid;
      } else {
        ASSERT_EQ(result, "invalid");
        EXPECT_EQ(rc, kFail);
        ++invalid;
      }
    }
  }
  EXPECT_EQ(valid, 88);
  EXPECT_EQ(invalid, 63);
}

TEST(Ed25519, TamperingAndMalleability) {
  tvt::TestRng rng(1);
  Bytes sk = rng.RandBytes(32), msg = rng.RandBytes(40), pk = Pub(sk);
  Bytes sig = Sign(sk, msg);
  ASSERT_EQ(Verify(sig, pk, msg), 0);
  // One-bit changes in R, S, A or M.
  for (int bit : {0, 7, 100, 255, 256, 300, 504, 511}) {
    Bytes s2 = sig;
    s2[bit / 8] ^= static_cast<unsigned char>(1 << (bit % 8));
    EXPECT_EQ(Verify(s2, pk, msg), kFail) << "signature bit " << bit;
  }
  for (int bit : {0, 100, 254, 255}) {
    Bytes pk2 = pk;
    pk2[bit / 8] ^= static_cast<unsigned char>(1 << (bit % 8));
    EXPECT_EQ(Verify(sig, pk2, msg), kFail) << "key bit " << bit;
  }
  Bytes m2 = msg;
  m2[39] ^= 0x80;
  EXPECT_EQ(Verify(sig, pk, m2), kFail);

  // S + L (same value mod L) is refused.
  Bytes sl = sig;
  const Bytes l = Unhex("edd3f55c1a631258d69cf7a2def9de1400000000000000000000000000000010");
  uint32_t c = 0;
  for (int i = 0; i < 32; ++i) {
    c += static_cast<uint32_t>(sl[32 + i]) + l[i];
    sl[32 + i] = static_cast<unsigned char>(c);
    c >>= 8;
  }
  ASSERT_EQ(c, 0u);
  EXPECT_EQ(Verify(sl, pk, msg), kFail);
}

TEST(Ed25519, PointDecodeRejectsBadEncodings) {
  NXVT_ED_POINT pt;
  struct Case {
    const char* hex;
    bool ok;
    const char* why;
  };
  const Case cases[] = {
      {"0100000000000000000000000000000000000000000000000000000000000000", true, "neutral (0, 1)"},
      {"ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f", true, "(0, -1)"},
      {"edffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f", false, "y = p"},
      {"eeffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f", false, "y = p + 1 (non-canonical 1)"},
      {"ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f", false, "y = 2^255 - 1"},
      {"0100000000000000000000000000000000000000000000000000000000000080", false, "x = 0 with sign bit"},
      {"ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff", false, "y = -1, x = 0, sign bit"},
      {"0200000000000000000000000000000000000000000000000000000000000000", false, "y = 2: no x"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NXVT_Ed25519_PointDecode(&pt, P(Unhex(c.hex))) == 0, c.ok) << c.why;
  }
  // Round trip of random valid points, both signs.
  tvt::TestRng rng(3);
  for (int i = 0; i < 20; ++i) {
    Bytes pk = Pub(rng.RandBytes(32));
    ASSERT_EQ(NXVT_Ed25519_PointDecode(&pt, pk.data()), 0);
    unsigned char enc[32];
    NXVT_Ed25519_PointEncode(enc, &pt);
    EXPECT_EQ(Hex(enc, 32), Hex(pk));
  }
}

// Negating a point with x = 0 must leave X and T at 0, not at the
// non-canonical p: encodings and parity reads rely on canonical coordinates.
TEST(Ed25519, NegationKeepsCoordinatesCanonical) {
  NXVT_ED_POINT pt, neg;
  ASSERT_EQ(NXVT_Ed25519_PointDecode(&pt, P(Unhex("ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"))), 0);
  NXVT_Ed25519_PointNeg(&neg, &pt);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(neg.X.v[i], 0u);
    EXPECT_EQ(neg.T.v[i], 0u);
  }
  unsigned char enc[32];
  NXVT_Ed25519_PointEncode(enc, &neg);
  EXPECT_EQ(Hex(enc, 32), "ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f");
  // -B + B is the neutral element.
  NXVT_ED_POINT b, sum;
  NXVT_Ed25519_PointBase(&b);
  NXVT_Ed25519_PointNeg(&neg, &b);
  NXVT_Ed25519_PointAdd(&sum, &b, &neg);
  NXVT_Ed25519_PointEncode(enc, &sum);
  EXPECT_EQ(Hex(enc, 32), "01" + std::string(62, '0'));
}

// The public key used in signing is always derived from the private key. A
// supplied key that differs is refused: signing the same message under two
// different A values would reuse the nonce r with two challenges k and give
// away s = (S1 - S2) / (k1 - k2).
TEST(Ed25519, SuppliedPublicKeyMustMatch) {
  tvt::TestRng rng(9);
  Bytes sk = rng.RandBytes(32), msg = rng.RandBytes(32), pk = Pub(sk);
  Bytes good = Sign(sk, msg, nullptr, 0, &pk);
  ASSERT_EQ(good.size(), 64u);
  EXPECT_EQ(Hex(good), Hex(Sign(sk, msg)));
  Bytes otherPk = Pub(rng.RandBytes(32));
  Bytes flipped = pk;
  flipped[31] ^= 0x80;
  for (const Bytes* wrong : {&otherPk, &flipped}) {
    Bytes sig(64, 0x5a);
    EXPECT_EQ(NXVT_Ed25519_Sign(sig.data(), sk.data(), wrong->data(), msg.data(), msg.size(), nullptr, 0, 0), kFail);
  }
}

// Contexts are at most 255 bytes; a longer one is refused rather than having
// its length cut to the low byte (256 would otherwise sign as an empty context).
TEST(Ed25519, ContextLengthLimit) {
  tvt::TestRng rng(10);
  Bytes sk = rng.RandBytes(32), msg = rng.RandBytes(10), pk = Pub(sk);
  Bytes ctx = rng.RandBytes(600);
  Bytes sig(64);
  ASSERT_EQ(NXVT_Ed25519_Sign(sig.data(), sk.data(), nullptr, msg.data(), msg.size(), ctx.data(), 255, 0), 0);
  EXPECT_EQ(NXVT_Ed25519_Verify(sig.data(), pk.data(), msg.data(), msg.size(), ctx.data(), 255, 0), 0);
  for (size_t n : {256u, 257u, 511u, 512u, 600u}) {
    for (uint8_t ph : {0, 1}) {
      EXPECT_EQ(NXVT_Ed25519_Sign(sig.data(), sk.data(), nullptr, msg.data(), msg.size(), ctx.data(), n, ph), kFail)
          << n;
    }
  }
  // A valid signature under the empty context (what 256 would become if cut)
  // does not verify under a 256-byte context.
  ASSERT_EQ(NXVT_Ed25519_Sign(sig.data(), sk.data(), nullptr, msg.data(), msg.size(), ctx.data(), 0, 0), 0);
  EXPECT_EQ(NXVT_Ed25519_Verify(sig.data(), pk.data(), msg.data(), msg.size(), ctx.data(), 0, 0), 0);
  EXPECT_EQ(NXVT_Ed25519_Verify(sig.data(), pk.data(), msg.data(), msg.size(), ctx.data(), 256, 0), kFail);
}

TEST(Ed25519, ArgumentRules) {
  tvt::TestRng rng(12);
  Bytes sk = rng.RandBytes(32), pk = Pub(sk), msg = rng.RandBytes(8), ctx = Unhex("666f6f");
  unsigned char sig[64];
  const unsigned char* m = msg.data();
  // Null pointers.
  EXPECT_EQ(NXVT_Ed25519_Sign(nullptr, sk.data(), nullptr, m, 8, nullptr, 0, 0), kFail);
  EXPECT_EQ(NXVT_Ed25519_Sign(sig, nullptr, nullptr, m, 8, nullptr, 0, 0), kFail);
  EXPECT_EQ(NXVT_Ed25519_Sign(sig, sk.data(), nullptr, nullptr, 8, nullptr, 0, 0), kFail);
  EXPECT_EQ(NXVT_Ed25519_Sign(sig, sk.data(), nullptr, m, 8, nullptr, 3, 0), kFail);
  EXPECT_EQ(NXVT_Ed25519_GetPub(nullptr, sig), kFail);
  EXPECT_EQ(NXVT_Ed25519_GetPub(sk.data(), nullptr), kFail);
  // Prehash flags other than 0 and 1 are refused.
  EXPECT_EQ(NXVT_Ed25519_Sign(sig, sk.data(), nullptr, m, 8, nullptr, 0, 2), kFail);
  EXPECT_EQ(NXVT_Ed25519_Sign(sig, sk.data(), nullptr, m, 8, ctx.data(), 3, 255), kFail);

  // A null message of length 0 is the empty message.
  ASSERT_EQ(NXVT_Ed25519_Sign(sig, sk.data(), nullptr, nullptr, 0, nullptr, 0, 0), 0);
  Bytes empty;
  EXPECT_EQ(Hex(sig, 64), Hex(Sign(sk, empty)));
  EXPECT_EQ(NXVT_Ed25519_Verify(sig, pk.data(), nullptr, 0, nullptr, 0, 0), 0);
  EXPECT_EQ(NXVT_Ed25519_Verify(nullptr, pk.data(), nullptr, 0, nullptr, 0, 0), kFail);
  EXPECT_EQ(NXVT_Ed25519_Verify(sig, nullptr, nullptr, 0, nullptr, 0, 0), kFail);
  EXPECT_EQ(NXVT_Ed25519_Verify(sig, pk.data(), nullptr, 4, nullptr, 0, 0), kFail);
  EXPECT_EQ(NXVT_Ed25519_Verify(sig, pk.data(), nullptr, 0, nullptr, 4, 0), kFail);
  EXPECT_EQ(NXVT_Ed25519_Verify(sig, pk.data(), nullptr, 0, nullptr, 0, 2), kFail);

  // The variant follows the arguments: a context with flag 0 is Ed25519ctx, no
  // context with flag 1 is Ed25519ph with an empty context; an empty non-null
  // context with flag 0 is Ed25519ctx too, which differs from plain Ed25519.
  Bytes plain = Sign(sk, msg), withCtx = Sign(sk, msg, &ctx), ph = Sign(sk, msg, nullptr, 1);
  Bytes emptyCtx(64), phEmptyCtx(64);
  ASSERT_EQ(NXVT_Ed25519_Sign(emptyCtx.data(), sk.data(), nullptr, m, 8, ctx.data(), 0, 0), 0);
  ASSERT_EQ(NXVT_Ed25519_Sign(phEmptyCtx.data(), sk.data(), nullptr, m, 8, ctx.data(), 0, 1), 0);
  EXPECT_NE(Hex(plain), Hex(withCtx));
  EXPECT_NE(Hex(plain), Hex(ph));
  EXPECT_NE(Hex(plain), Hex(emptyCtx));
  EXPECT_EQ(Hex(ph), Hex(phEmptyCtx));

  // The signature buffer may overlap the message.
  Bytes buf = msg;
  buf.resize(64);
  ASSERT_EQ(NXVT_Ed25519_Sign(buf.data(), sk.data(), nullptr, buf.data(), 8, nullptr, 0, 0), 0);
  EXPECT_EQ(Hex(buf), Hex(plain));
}

bool AllZero(const void* p, size_t n) {
  const unsigned char* b = static_cast<const unsigned char*>(p);
  return std::all_of(b, b + n, [](unsigned char c) { return c == 0; });
}

// The work area holds the expanded secret, the nonce and the digest state;
// it must be zero on return on success and failure paths.
TEST(Ed25519, WorkAreasAreWiped) {
  tvt::TestRng rng(13);
  Bytes sk = rng.RandBytes(32), msg = rng.RandBytes(50), pk = Pub(sk), ctx = rng.RandBytes(5);
  Bytes wrongPk = Pub(rng.RandBytes(32));
  NXVT_ED_SIGN_WORK w;
  unsigned char sig[64];

  struct Call {
    const char* what;
    const unsigned char* pub;
    const unsigned char* ctx;
    size_t ctxLen;
    uint8_t ph;
    int rc;
  };
  const Call calls[] = {
      {"plain", nullptr, nullptr, 0, 0, 0},          {"ctx", pk.data(), ctx.data(), 5, 0, 0},
      {"ph", nullptr, nullptr, 0, 1, 0},             {"wrong public key", wrongPk.data(), nullptr, 0, 0, kFail},
      {"long context", nullptr, ctx.data(), 300, 0, kFail},
  };
  for (const Call& c : calls) {
    std::memset(&w, 0xa5, sizeof w);
    EXPECT_EQ(NXVT_Ed25519_SignWork(&w, sig, sk.data(), c.pub, msg.data(), msg.size(), c.ctx, c.ctxLen, c.ph), c.rc)
        << c.what;
    EXPECT_TRUE(AllZero(&w, sizeof w)) << c.what;
  }
  std::memset(&w, 0xa5, sizeof w);
  unsigned char pub[32];
  ASSERT_EQ(NXVT_Ed25519_GetPubWork(&w, sk.data(), pub), 0);
  EXPECT_EQ(Hex(pub, 32), Hex(pk));
  EXPECT_TRUE(AllZero(&w, sizeof w));
}

// ---- Scalar arithmetic against OpenSSL big numbers ----

BIGNUM* FromLe(const unsigned char* p, size_t n) {
  Bytes be(p, p + n);
  std::reverse(be.begin(), be.end());
  return BN_bin2bn(be.data(), static_cast<int>(n), nullptr);
}

std::string LeHex(const BIGNUM* b, size_t n) {
  Bytes be(n);
  EXPECT_EQ(BN_bn2binpad(b, be.data(), static_cast<int>(n)), static_cast<int>(n));
  std::reverse(be.begin(), be.end());
  return Hex(be);
}

TEST(Ed25519, ScalarArithmeticMatchesOpenSsl) {
  BN_CTX* bc = BN_CTX_new();
  const Bytes lBytes = Unhex("edd3f55c1a631258d69cf7a2def9de1400000000000000000000000000000010");
  BIGNUM* l = FromLe(lBytes.data(), 32);
  BIGNUM* r = BN_new();

  tvt::TestRng rng(14);
  std::vector<Bytes> wides;
  for (int i = 0; i < 300; ++i) wides.push_back(rng.RandBytes(64));
  wides.push_back(Bytes(64, 0));
  wides.push_back(Bytes(64, 0xff));
  Bytes lw = lBytes;
  lw.resize(64, 0);
  wides.push_back(lw);                 // L itself
  Bytes lm1 = lw;
  lm1[0] -= 1;
  wides.push_back(lm1);                // L - 1
  Bytes l2 = Bytes(64, 0);
  NXVT_Ed25519_ScalarAdd(l2.data(), lBytes.data(), lBytes.data());
  wides.push_back(l2);                 // 2L
  for (const Bytes& x : wides) {
    unsigned char out[32];
    NXVT_Ed25519_ReduceL(out, x.data());
    BIGNUM* bx = FromLe(x.data(), 64);
    ASSERT_EQ(BN_mod(r, bx, l, bc), 1);
    EXPECT_EQ(Hex(out, 32), LeHex(r, 32)) << Hex(x);
    BN_free(bx);
  }
  for (int i = 0; i < 100; ++i) {
    for (size_t n : {32u, 33u, 64u, 80u}) {
      Bytes a = rng.RandBytes(n), b = rng.RandBytes(n);
      if (i == 0) a.assign(n, 0xff), b.assign(n, 0xff);
      Bytes lo(n), hi(n);
      NXVT_Ed25519_ScalarMul(lo.data(), hi.data(), a.data(), b.data(), n);
      BIGNUM *ba = FromLe(a.data(), n), *bb = FromLe(b.data(), n);
      ASSERT_EQ(BN_mul(r, ba, bb, bc), 1);
      Bytes full = lo;
      full.insert(full.end(), hi.begin(), hi.end());
      EXPECT_EQ(Hex(full), LeHex(r, 2 * n));
      BN_free(ba);
      BN_free(bb);
    }
    Bytes a = rng.RandBytes(32), b = rng.RandBytes(32);
    unsigned char sum[32];
    uint32_t carry = NXVT_Ed25519_ScalarAdd(sum, a.data(), b.data());
    BIGNUM *ba = FromLe(a.data(), 32), *bb = FromLe(b.data(), 32);
    ASSERT_EQ(BN_add(r, ba, bb), 1);
    Bytes got(sum, sum + 32);
    got.push_back(static_cast<unsigned char>(carry));
    EXPECT_EQ(Hex(got), LeHex(r, 33));
    BN_free(ba);
    BN_free(bb);
  }
  BN_free(r);
  BN_free(l);
  BN_CTX_free(bc);
}

// Scalar multiplication uses every bit of the scalar, including bit 255.
TEST(Ed25519, ScalarMultUsesAllBits) {
  // [L]B is the neutral element; [2^255]B equals [2^255 mod L]B.
  const Bytes lBytes = Unhex("edd3f55c1a631258d69cf7a2def9de1400000000000000000000000000000010");
  NXVT_ED_POINT pt;
  unsigned char enc[32];
  NXVT_Ed25519_ScalarMultBase(&pt, lBytes.data());
  NXVT_Ed25519_PointEncode(enc, &pt);
  EXPECT_EQ(Hex(enc, 32), "01" + std::string(62, '0'));

  Bytes top(64, 0);
  top[31] = 0x80;
  unsigned char red[32], enc2[32];
  NXVT_Ed25519_ReduceL(red, top.data());
  NXVT_Ed25519_ScalarMultBase(&pt, top.data());
  NXVT_Ed25519_PointEncode(enc, &pt);
  NXVT_Ed25519_ScalarMultBase(&pt, red);
  NXVT_Ed25519_PointEncode(enc2, &pt);
  EXPECT_EQ(Hex(enc, 32), Hex(enc2, 32));
  ASSERT_EQ(sodium_init() >= 0, true);
  unsigned char sodiumPt[32];
  ASSERT_EQ(crypto_scalarmult_ed25519_base_noclamp(sodiumPt, red), 0);
  EXPECT_EQ(Hex(enc2, 32), Hex(sodiumPt, 32));
}

// ---- The acceptance rule at its edges ----

const char kNeutral[] = "0100000000000000000000000000000000000000000000000000000000000000";
const char kOrder2[] = "ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f";
const char kOrder4[] = "0000000000000000000000000000000000000000000000000000000000000000";
const char kOrder8[] = "c7176a703d4dd84fba3c0b760d10670f2a2053fa2c39ccc64ec7fd7792ac037a";
const char kOrder8Neg[] = "c7176a703d4dd84fba3c0b760d10670f2a2053fa2c39ccc64ec7fd7792ac03fa";
const char kL[] = "edd3f55c1a631258d69cf7a2def9de1400000000000000000000000000000010";

Bytes Encode(NXVT_ED_POINT p) {
  Bytes out(32);
  NXVT_Ed25519_PointEncode(out.data(), &p);
  return out;
}

Bytes MulBase(const Bytes& s) {
  NXVT_ED_POINT p;
  NXVT_Ed25519_ScalarMultBase(&p, s.data());
  return Encode(p);
}

Bytes Scalar(unsigned v) {
  Bytes s(32, 0);
  s[0] = static_cast<unsigned char>(v);
  return s;
}

// Sum of two encoded points by the reference code.
Bytes AddPoints(const Bytes& a, const Bytes& b) {
  NXVT_ED_POINT pa, pb;
  EXPECT_EQ(NXVT_Ed25519_PointDecode(&pa, a.data()), 0);
  EXPECT_EQ(NXVT_Ed25519_PointDecode(&pb, b.data()), 0);
  NXVT_Ed25519_PointAdd(&pa, &pa, &pb);
  return Encode(pa);
}

// encode([S]B - [k]A) with k = SHA-512(R || A || M) mod L, by the reference
// point code and libsodium's SHA-512; empty when A does not decode.
Bytes Combination(const Bytes& sig, const Bytes& pk, const Bytes& msg) {
  NXVT_ED_POINT a, sB;
  if (NXVT_Ed25519_PointDecode(&a, pk.data()) != 0) return {};
  crypto_hash_sha512_state st;
  crypto_hash_sha512_init(&st);
  crypto_hash_sha512_update(&st, sig.data(), 32);
  crypto_hash_sha512_update(&st, pk.data(), 32);
  crypto_hash_sha512_update(&st, msg.data(), msg.size());
  unsigned char k[64];
  crypto_hash_sha512_final(&st, k);
  NXVT_Ed25519_ReduceL(k, k);
  NXVT_Ed25519_PointNeg(&a, &a);
  NXVT_Ed25519_ScalarMult(&a, k, &a);
  NXVT_Ed25519_ScalarMultBase(&sB, sig.data() + 32);
  NXVT_Ed25519_PointAdd(&sB, &sB, &a);
  return Encode(sB);
}

// The rule: S below L, A decodes, and the combination equals the R bytes.
bool RuleAccepts(const Bytes& sig, const Bytes& pk, const Bytes& msg) {
  const Bytes l = Unhex(kL);
  bool below = false;
  for (int i = 31; i >= 0; --i) {
    if (sig[32 + i] != l[i]) {
      below = sig[32 + i] < l[i];
      break;
    }
  }
  return below && Combination(sig, pk, msg) == Bytes(sig.begin(), sig.begin() + 32);
}

// A message for which the combination of (R, S) under A encodes to want.
Bytes FindMessage(const Bytes& r, const Bytes& s, const Bytes& pk, const Bytes& want) {
  Bytes sig = r;
  sig.insert(sig.end(), s.begin(), s.end());
  for (unsigned char m = 0; m < 200; ++m) {
    if (Combination(sig, pk, Bytes{m}) == want) return Bytes{m};
  }
  ADD_FAILURE() << "no message found";
  return {};
}

// Verification accepts exactly when encode([S]B - [k]A) equals R byte for
// byte, with S below L and A a canonical encoding. Small-order keys and
// mixed-order R go through that same rule (no cofactor, no blacklist), so
// libsodium, which refuses small-order points, is compared only where it
// applies the same verdict.
TEST(Ed25519, VerificationRuleAtTheEdges) {
  ASSERT_GE(sodium_init(), 0);
  struct Case {
    std::string why;
    Bytes sig, pk, msg;
    bool accept, sodiumAgrees;
  };
  std::vector<Case> cases;
  auto add = [&](std::string why, const Bytes& r, const Bytes& s, const Bytes& pk, const Bytes& msg, bool accept,
                 bool sodiumAgrees) {
    Bytes sig = r;
    sig.insert(sig.end(), s.begin(), s.end());
    cases.push_back({std::move(why), sig, pk, msg, accept, sodiumAgrees});
  };

  tvt::TestRng rng(0x5EED);
  const Bytes seed = rng.RandBytes(32), msg = rng.RandBytes(20), pk = Pub(seed), sig = Sign(seed, msg);
  const Bytes R(sig.begin(), sig.begin() + 32), S(sig.begin() + 32, sig.end());
  add("valid", R, S, pk, msg, true, true);
  Bytes sPlusL(32);
  ASSERT_EQ(NXVT_Ed25519_ScalarAdd(sPlusL.data(), S.data(), Unhex(kL).data()), 0u);
  add("S + L", R, sPlusL, pk, msg, false, true);
  Bytes sTop = S;
  sTop[31] |= 0x80;
  add("S with bit 255", R, sTop, pk, msg, false, true);

  // A signature with a mixed-order R = [r]B + T and S = r + k a: a cofactored
  // check would take it, this one does not.
  {
    unsigned char wide[64] = {}, a[32], r[32], k[64], ka[32], s[32];
    crypto_hash_sha512(wide, seed.data(), 32);
    wide[0] &= 248;
    wide[31] = static_cast<unsigned char>((wide[31] & 63) | 64);
    std::memset(wide + 32, 0, 32);
    crypto_core_ed25519_scalar_reduce(a, wide);
    const Bytes rWide = rng.RandBytes(64);
    crypto_core_ed25519_scalar_reduce(r, rWide.data());
    const Bytes mixedR = AddPoints(MulBase(Bytes(r, r + 32)), Unhex(kOrder8));
    crypto_hash_sha512_state st;
    crypto_hash_sha512_init(&st);
    crypto_hash_sha512_update(&st, mixedR.data(), 32);
    crypto_hash_sha512_update(&st, pk.data(), 32);
    crypto_hash_sha512_update(&st, msg.data(), msg.size());
    crypto_hash_sha512_final(&st, k);
    unsigned char kr[32];
    crypto_core_ed25519_scalar_reduce(kr, k);
    crypto_core_ed25519_scalar_mul(ka, kr, a);
    crypto_core_ed25519_scalar_add(s, r, ka);
    const Bytes mixedSig = [&] {
      Bytes v = mixedR;
      v.insert(v.end(), s, s + 32);
      return v;
    }();
    // Without the torsion part the same S makes a valid signature on [r]B.
    ASSERT_EQ(Combination(mixedSig, pk, msg), MulBase(Bytes(r, r + 32)));
    add("mixed-order R", mixedR, Bytes(s, s + 32), pk, msg, false, true);
  }

  // The neutral key: any S with R = [S]B passes, for every message.
  const Bytes neutral = Unhex(kNeutral), zero = Scalar(0);
  add("neutral A, S = 0", neutral, zero, neutral, msg, true, false);
  Bytes lMinus1 = Unhex(kL);
  lMinus1[0] = static_cast<unsigned char>(lMinus1[0] - 1);
  add("neutral A, S = L - 1", MulBase(lMinus1), lMinus1, neutral, msg, true, false);
  add("neutral A, S = L", neutral, Unhex(kL), neutral, msg, false, false);
  add("R = 1 + p, not canonical", Unhex("eeffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"), zero,
      neutral, msg, false, true);
  add("A = 1 + p, not canonical", neutral, zero,
      Unhex("eeffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"), msg, false, true);
  add("A = (0, 1) with the sign bit", neutral, zero,
      Unhex("0100000000000000000000000000000000000000000000000000000000000080"), msg, false, true);

  // Small-order keys: [k]A depends on k mod 8, so a message is searched for
  // which the combination meets R.
  const Bytes five = Scalar(5), r5 = MulBase(five);
  for (const char* t : {kOrder2, kOrder4, kOrder8, kOrder8Neg}) {
    const Bytes a = Unhex(t);
    add(std::string("small-order A ") + t, r5, five, a, FindMessage(r5, five, a, r5), true, false);
    const Bytes mixed = AddPoints(r5, a);
    add(std::string("small-order A, mixed R ") + t, mixed, five, a, FindMessage(mixed, five, a, mixed), true,
        false);
  }
  // y = p is the order-4 point (sqrt(-1), 0) written with y not reduced: the
  // combination equals that point, and the bytes still differ.
  const Bytes yp = Unhex("edffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f");
  add("R with y = p", yp, zero, Unhex(kOrder4), FindMessage(yp, zero, Unhex(kOrder4), Unhex(kOrder4)), false,
      true);

  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(RuleAccepts(c.sig, c.pk, c.msg), c.accept);
    EXPECT_EQ(Verify(c.sig, c.pk, c.msg) == 0, c.accept);
    if (c.sodiumAgrees) {
      EXPECT_EQ(crypto_sign_verify_detached(c.sig.data(), c.msg.data(), c.msg.size(), c.pk.data()) == 0, c.accept);
    }
  }
}

}  // namespace
