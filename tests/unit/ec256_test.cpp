// The constant-time curve arithmetic against the general big-number code it
// replaced (the public-scalar window-NAF multiplication stays as the
// reference) and against OpenSSL's BIGNUM for scalars modulo n.
#include "crypto/ec/ec256.h"

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/err.h>

#include <string>
#include <thread>
#include <vector>

#include "cpu_paths_testing.h"
#include "crypto/ecdsa/ecdsa.h"
#include "ec_testing.h"
#include "tv_test.h"

namespace {

using ect::Bn;
using ect::Curve;
using ect::Enc;
using ect::Point;
using tvt::Bytes;

const char* kOrder[2] = {"fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364141",
                         "ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551"};

class Ec256Both : public ::testing::TestWithParam<uint32_t> {
 protected:
  const Ec256Curve* ec() const { return GetParam() == 1 ? Ec256_P256() : Ec256_Secp256k1(); }
  std::string n() const { return kOrder[GetParam()]; }
};

INSTANTIATE_TEST_SUITE_P(Curves, Ec256Both, ::testing::Values(0u, 1u),
                         [](const auto& info) { return info.param == 1 ? "P256" : "Secp256k1"; });

// 64 hex digits of a + delta (delta small, a below 2^256 - delta).
std::string Offset(const std::string& hex, int delta) {
  BIGNUM* b = nullptr;
  BN_hex2bn(&b, hex.c_str());
  if (delta >= 0) {
    BN_add_word(b, static_cast<BN_ULONG>(delta));
  } else {
    BN_sub_word(b, static_cast<BN_ULONG>(-delta));
  }
  char* h = BN_bn2hex(b);
  std::string s(h);
  OPENSSL_free(h);
  BN_free(b);
  for (char& ch : s) ch = static_cast<char>(tolower(ch));
  while (s.size() < 64) s = "0" + s;
  return s;
}

// Scalars where the 4-bit and signed windows, the carries and the
// reduction modulo n meet their edges, followed by random ones.
std::vector<std::string> EdgeScalars(const std::string& n, tvt::TestRng& rng, int randoms) {
  std::vector<std::string> v = {
      std::string(64, '0'),
      Offset(std::string(64, '0'), 1),
      Offset(std::string(64, '0'), 2),
      Offset(std::string(64, '0'), 15),
      Offset(std::string(64, '0'), 16),
      Offset(std::string(64, '0'), 17),
      n,                                                                  // 0 modulo n
      Offset(n, -1),                                                      // -1
      Offset(n, -2),
      Offset(n, 1),                                                       // 1 modulo n
      std::string(64, 'f'),                                               // 2^256 - 1, reduced
      "8000000000000000000000000000000000000000000000000000000000000000",
      "7fffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff",
      "0000000000000000000000000000000100000000000000000000000000000000",
      "00000000000000000000000000000000ffffffffffffffffffffffffffffffff",
      "1111111111111111111111111111111111111111111111111111111111111111",
      "f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0f0",
      // 5-bit digits of the variable-base product at the borrow edge:
      // every digit 16 (each borrows), 15 (none does) or 17; and the last
      // digits next to the order, where the final sum is nearest to a
      // doubling or a cancellation.
      "4210842108421084210842108421084210842108421084210842108421084210",
      "bdef7bdef7bdef7bdef7bdef7bdef7bdef7bdef7bdef7bdef7bdef7bdef7bdef",
      "c6318c6318c6318c6318c6318c6318c6318c6318c6318c6318c6318c6318c631",
      Offset(n, -15),
      Offset(n, -17),
      Offset(n, -30),
      Offset(n, -32),
      // 6-bit digits at the borrow edge: 31, 32, 33 and every digit 32
      // (each borrows from the next), 31 (none does) or 33.
      Offset(std::string(64, '0'), 31),
      Offset(std::string(64, '0'), 32),
      Offset(std::string(64, '0'), 33),
      "0820820820820820820820820820820820820820820820820820820820820820",
      "f7df7df7df7df7df7df7df7df7df7df7df7df7df7df7df7df7df7df7df7df7df",
      "1861861861861861861861861861861861861861861861861861861861861861",
      // 7-bit digits of the generator table at the same edge: 63, 64, 65,
      // every digit 64 (each borrows), 63 (none does) or 65.
      Offset(std::string(64, '0'), 63),
      Offset(std::string(64, '0'), 64),
      Offset(std::string(64, '0'), 65),
      "0810204081020408102040810204081020408102040810204081020408102040",
      "f7efdfbf7efdfbf7efdfbf7efdfbf7efdfbf7efdfbf7efdfbf7efdfbf7efdfbf",
      "183060c183060c183060c183060c183060c183060c183060c183060c183060c1",
      // The top row alone, the rows below it all ones, and long runs of
      // zero and one bits.
      "1000000000000000000000000000000000000000000000000000000000000000",
      "0fffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff",
      "ffffffffffffffffffffffffffffffff00000000000000000000000000000000",
      "ff000000000000000000000000000000000000000000000000000000000000ff",
      "0000000fffffffffffffffffffffffffffffffffffffffffffffffff00000000",
      "0000000000000000000000000000000000000000000000000000000000000080",
  };
  for (int i = 0; i < randoms; ++i) v.push_back(tvt::Hex(rng.RandBytes(32)));
  return v;
}

// The reference: the general code's k*P (public-scalar window NAF).
std::string RefMul(const Curve& C, const std::string& kHex, const NXVT_EC_POINT* P) {
  NXVT_BN k = Bn(kHex);
  Point R;
  EXPECT_EQ(NXVT_EC_Point_MultVartime(R.get(), &k, P, C.c()), 0);
  return Enc(R.get(), C.c());
}

std::string EncPoint(const Ec256Point& p) {
  if (p.infinity) return "inf";
  return "04" + tvt::Hex(p.x, 32) + tvt::Hex(p.y, 32);
}

Ec256Scalar Scalar(const Ec256Curve* ec, const std::string& hex) {
  Bytes b = tvt::Unhex(hex);
  Ec256Scalar s;
  Ec256_ScalarFromBytes(ec, &s, b.data());
  return s;
}

std::string Hex(const Ec256Scalar& s) {
  uint8_t b[32];
  Ec256_ScalarToBytes(b, &s);
  return tvt::Hex(b, 32);
}

TEST_P(Ec256Both, GeneratorMultiplesMatchTheGeneralCode) {
  Curve C(GetParam());
  tvt::TestRng rng(0xC0B + GetParam());
  for (const std::string& kh : EdgeScalars(n(), rng, 150)) {
    Ec256Scalar k = Scalar(ec(), kh);
    const std::string want = RefMul(C, kh, C.c()->G);
    for (bool portable : {false, true}) {
      cput::ForcedPath path(portable);
      Ec256Point out;
      Ec256_MulGen(ec(), &out, &k);
      EXPECT_EQ(EncPoint(out), want) << C.name() << " k=" << kh << (portable ? " portable" : "");
    }
  }
}

// k*G against OpenSSL on both paths: the edge scalars above (1, n - 1,
// the digit borrows, runs of zero and one bits) and random ones.
TEST_P(Ec256Both, GeneratorMultiplesMatchOpenSSL) {
  const int nid = GetParam() == 1 ? NID_X9_62_prime256v1 : NID_secp256k1;
  tvt::TestRng rng(0x551 + GetParam());
  for (const std::string& kh : EdgeScalars(n(), rng, 150)) {
    const std::string want = ect::Ossl(nid, tvt::Unhex(kh));
    const Ec256Scalar k = Scalar(ec(), kh);
    for (bool portable : {false, true}) {
      cput::ForcedPath path(portable);
      Ec256Point out;
      Ec256_MulGen(ec(), &out, &k);
      EXPECT_EQ(EncPoint(out), want) << "k=" << kh << (portable ? " portable" : "");
    }
  }
}

// Two multiples of G with one shared inversion equal one at a time, also
// when either scalar is 0 (its point at infinity must not spoil the other).
TEST_P(Ec256Both, GeneratorMultiplesInPairs) {
  tvt::TestRng rng(0x2B0 + GetParam());
  std::vector<std::string> ks = EdgeScalars(n(), rng, 20);
  const std::string zero(64, '0');
  std::vector<std::pair<std::string, std::string>> pairs = {{zero, zero}, {zero, ks.back()}, {ks.back(), zero},
                                                            {ks.back(), ks.back()}};
  for (size_t i = 0; i + 1 < ks.size(); ++i) pairs.push_back({ks[i], ks[i + 1]});
  for (const auto& [a, b] : pairs) {
    const Ec256Scalar k[2] = {Scalar(ec(), a), Scalar(ec(), b)};
    Ec256Point one[2];
    Ec256_MulGen(ec(), &one[0], &k[0]);
    Ec256_MulGen(ec(), &one[1], &k[1]);
    for (bool portable : {false, true}) {
      cput::ForcedPath path(portable);
      Ec256Point two[2];
      Ec256_MulGen2(ec(), two, k);
      for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(EncPoint(two[i]), EncPoint(one[i])) << a << " " << b << (portable ? " portable" : "");
        EXPECT_EQ(tvt::Hex(two[i].x, 32) + tvt::Hex(two[i].y, 32), tvt::Hex(one[i].x, 32) + tvt::Hex(one[i].y, 32));
      }
    }
  }
}

// k*P for random P, for P = G through the variable-base code, and for the
// negation of a point (a large Y).
TEST_P(Ec256Both, VariableBaseMatchesTheGeneralCode) {
  Curve C(GetParam());
  tvt::TestRng rng(0x7A2 + GetParam());
  std::vector<std::string> points = {ect::Ossl(C.nid(), tvt::Unhex("01"))};
  for (int i = 0; i < 6; ++i) points.push_back(ect::Ossl(C.nid(), rng.RandBytes(32)));
  {
    Point G, negG;
    ect::SetFromHex(G.get(), points[0], C.c());
    ASSERT_EQ(NXVT_EC_Point_Neg(negG.get(), G.get(), C.c()), 0);
    points.push_back(Enc(negG.get(), C.c()));
  }
  for (const std::string& ph : points) {
    Point P;
    ect::SetFromHex(P.get(), ph, C.c());
    Bytes oct = tvt::Unhex(ph);
    for (const std::string& kh : EdgeScalars(n(), rng, 8)) {
      Ec256Scalar k = Scalar(ec(), kh);
      const std::string want = RefMul(C, kh, P.get());
      for (bool portable : {false, true}) {
        cput::ForcedPath path(portable);
        Ec256Point out;
        Ec256_Mul(ec(), &out, &k, oct.data() + 1, oct.data() + 33);
        EXPECT_EQ(EncPoint(out), want) << C.name() << " P=" << ph << " k=" << kh << (portable ? " portable" : "");
      }
    }
  }
}

// a*G + b*P, including sums that cancel to infinity (P = -G, a = b) and
// that double (P = G, a = b).
TEST_P(Ec256Both, DoubleMultiplicationMatchesTheGeneralCode) {
  Curve C(GetParam());
  tvt::TestRng rng(0xD0B + GetParam());
  Point G, negG;
  ASSERT_EQ(NXVT_EC_Point_Copy(G.get(), C.c()->G), 0);
  ASSERT_EQ(NXVT_EC_Point_Neg(negG.get(), G.get(), C.c()), 0);
  struct Case {
    std::string a, b;
    const NXVT_EC_POINT* P;
  };
  const std::string r1 = tvt::Hex(rng.RandBytes(32));
  std::vector<Case> cases = {{r1, r1, negG.get()}, {r1, r1, G.get()}, {std::string(64, '0'), r1, G.get()},
                             {r1, std::string(64, '0'), negG.get()}};
  Point Q;
  ect::SetFromHex(Q.get(), ect::Ossl(C.nid(), rng.RandBytes(32)), C.c());
  for (int i = 0; i < 20; ++i) cases.push_back({tvt::Hex(rng.RandBytes(32)), tvt::Hex(rng.RandBytes(32)), Q.get()});
  // Scalars where secp256k1's split into two halves meets its edges: the
  // halves' signs flip around (n - 1) / 2, lambda splits into (0, 1).
  std::vector<std::string> bs = EdgeScalars(n(), rng, 0);
  bs.push_back("7fffffffffffffffffffffffffffffff5d576e7357a4501ddfe92f46681b20a0");  // (n - 1) / 2
  bs.push_back("7fffffffffffffffffffffffffffffff5d576e7357a4501ddfe92f46681b20a1");  // (n + 1) / 2
  bs.push_back("5363ad4cc05c30e0a5261c028812645a122e22ea20816678df02967c1b23bd72");  // lambda
  bs.push_back("ac9c52b33fa3cf1f5ad9e3fd77ed9ba4a880b9fc8ec739c2e0cfc810b51283ce");  // lambda^2
  for (const std::string& b : bs) cases.push_back({r1, b, Q.get()});
  // a where its window digits, its split at 2^128 and the reduction meet
  // their edges; b = 1 (P's table is P alone), also with P = -(a*G).
  const std::string one = Offset(std::string(64, '0'), 1);
  Point minusR1G;
  {
    NXVT_BN k = Bn(r1);
    Point A;
    ASSERT_EQ(NXVT_EC_Point_MultVartime(A.get(), &k, G.get(), C.c()), 0);
    ASSERT_EQ(NXVT_EC_Point_Neg(minusR1G.get(), A.get(), C.c()), 0);
  }
  cases.push_back({r1, one, minusR1G.get()});
  std::vector<std::string> as = EdgeScalars(n(), rng, 0);
  as.push_back("00000000000000000000000000000001ffffffffffffffffffffffffffffffff");
  as.push_back("ffffffffffffffffffffffffffffffff00000000000000000000000000000000");
  as.push_back("000000000000000000000000000000000000000000000000000000000000ffff");
  for (const std::string& a : as) {
    cases.push_back({a, one, Q.get()});
    cases.push_back({a, r1, Q.get()});
  }
  BN_CTX* ctx = BN_CTX_new();
  BIGNUM *N = nullptr, *x = nullptr;
  BN_hex2bn(&N, n().c_str());
  for (const Case& cs : cases) {
    NXVT_BN a = Bn(cs.a), b = Bn(cs.b);
    Point A, B, want, got;
    ASSERT_EQ(NXVT_EC_Point_MultVartime(A.get(), &a, G.get(), C.c()), 0);
    ASSERT_EQ(NXVT_EC_Point_MultVartime(B.get(), &b, cs.P, C.c()), 0);
    ASSERT_EQ(NXVT_EC_Point_Add(want.get(), A.get(), B.get(), C.c()), 0);
    const std::string w = Enc(want.get(), C.c());
    for (bool portable : {false, true}) {
      cput::ForcedPath path(portable);
      ASSERT_EQ(NXVT_EC_Point_DualMult(got.get(), &b, cs.P, &a, C.c()), 0);
      EXPECT_EQ(Enc(got.get(), C.c()), w) << C.name() << " a=" << cs.a << " b=" << cs.b << (portable ? " portable" : "");
    }
    // The verification's comparison of x modulo n, without the affine sum:
    // true for x mod n, false for a neighbour and for infinity.
    Ec256Scalar sa = Scalar(ec(), cs.a), sb = Scalar(ec(), cs.b), r;
    const Bytes p = tvt::Unhex(Enc(cs.P, C.c()));
    std::string rHex = Offset(std::string(64, '0'), 1);
    if (w != "inf") {
      BN_hex2bn(&x, w.substr(2, 64).c_str());
      BN_nnmod(x, x, N, ctx);
      char* h = BN_bn2hex(x);
      rHex = Offset(h, 0);
      OPENSSL_free(h);
    }
    const bool zero = rHex == std::string(64, '0');
    r = Scalar(ec(), rHex);
    Ec256Scalar r2 = Scalar(ec(), Offset(rHex, rHex == Offset(n(), -1) ? -1 : 1));
    for (bool portable : {false, true}) {
      cput::ForcedPath path(portable);
      if (!zero) {
        EXPECT_EQ(Ec256_VerifyXVartime(ec(), &sa, &sb, p.data() + 1, p.data() + 33, &r), w != "inf")
            << C.name() << " a=" << cs.a << " b=" << cs.b << (portable ? " portable" : "");
      }
      EXPECT_FALSE(Ec256_VerifyXVartime(ec(), &sa, &sb, p.data() + 1, p.data() + 33, &r2)) << C.name() << " a=" << cs.a;
    }
  }
  BN_free(x);
  BN_free(N);
  BN_CTX_free(ctx);
}

// A sum whose x lies in [n, p): r = x - n must match (x itself does not fit
// a scalar), its neighbour must not.
TEST_P(Ec256Both, VerificationMatchesXAboveTheOrder) {
  const Ec256Scalar zero = Scalar(ec(), std::string(64, '0')), one = Scalar(ec(), Offset(std::string(64, '0'), 1));
  int t = 0;
  Bytes x, y(32);
  for (;; ++t) {
    x = tvt::Unhex(Offset(n(), t));
    if (Ec256_DecompressVartime(ec(), y.data(), x.data(), 0)) break;
  }
  const Ec256Scalar r = Scalar(ec(), Offset(std::string(64, '0'), t));
  const Ec256Scalar r2 = Scalar(ec(), Offset(std::string(64, '0'), t + 1));
  for (bool portable : {false, true}) {
    cput::ForcedPath path(portable);
    EXPECT_TRUE(Ec256_VerifyXVartime(ec(), &zero, &one, x.data(), y.data(), &r)) << t << (portable ? " portable" : "");
    EXPECT_FALSE(Ec256_VerifyXVartime(ec(), &zero, &one, x.data(), y.data(), &r2)) << t;
  }
}

// Sums of public points against the general code: distinct points, a point
// and itself (doubling), a point and its negation (infinity), infinity on
// either side, on every field path.
TEST_P(Ec256Both, PublicSumsMatchTheGeneralCode) {
  Curve C(GetParam());
  tvt::TestRng rng(0xADD + GetParam());
  auto toPoint = [](const std::string& enc) {
    Ec256Point p = {};
    if (enc == "inf") {
      p.infinity = 1;
      return p;
    }
    const Bytes b = tvt::Unhex(enc);
    std::copy(b.begin() + 1, b.begin() + 33, p.x);
    std::copy(b.begin() + 33, b.end(), p.y);
    return p;
  };
  std::vector<std::string> pts = {"inf", ect::Ossl(C.nid(), tvt::Unhex("01"))};
  for (int i = 0; i < 6; ++i) pts.push_back(ect::Ossl(C.nid(), rng.RandBytes(32)));
  const size_t finite = pts.size();
  for (size_t i = 1; i < finite; ++i) {
    Point P, N;
    ect::SetFromHex(P.get(), pts[i], C.c());
    ASSERT_EQ(NXVT_EC_Point_Neg(N.get(), P.get(), C.c()), 0);
    pts.push_back(Enc(N.get(), C.c()));
  }
  for (const std::string& a : pts) {
    for (const std::string& b : pts) {
      Point A, B, want;
      if (a != "inf") ect::SetFromHex(A.get(), a, C.c());
      if (b != "inf") ect::SetFromHex(B.get(), b, C.c());
      if (a == "inf") NXVT_EC_Point_SetInfinity(A.get());
      if (b == "inf") NXVT_EC_Point_SetInfinity(B.get());
      ASSERT_EQ(NXVT_EC_Point_Add(want.get(), A.get(), B.get(), C.c()), 0);
      const Ec256Point pa = toPoint(a), pb = toPoint(b);
      for (bool portable : {false, true}) {
        cput::ForcedPath path(portable);
        Ec256Point out;
        Ec256_AddVartime(ec(), &out, &pa, &pb);
        EXPECT_EQ(EncPoint(out), Enc(want.get(), C.c())) << C.name() << " " << a << " + " << b;
      }
    }
  }
}

// Square roots of x^3 + ax + b against OpenSSL for x at the field's edges
// and random x, both parities, on every field path: the same y or the
// same refusal.
TEST_P(Ec256Both, DecompressionMatchesOpenSSL) {
  Curve C(GetParam());
  tvt::TestRng rng(0xDC0 + GetParam());
  const std::string p = GetParam() == 1 ? "ffffffff00000001000000000000000000000000ffffffffffffffffffffffff"
                                        : "fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2f";
  std::vector<std::string> xs = {std::string(64, '0'), Offset(std::string(64, '0'), 1), Offset(std::string(64, '0'), 2),
                                 Offset(p, -1), Offset(p, -2), Offset(p, -3)};
  for (int i = 0; i < 40; ++i) xs.push_back(tvt::Hex(rng.RandBytes(32)));
  EC_GROUP* g = EC_GROUP_new_by_curve_name(C.nid());
  BN_CTX* ctx = BN_CTX_new();
  EC_POINT* P = EC_POINT_new(g);
  BIGNUM *x = nullptr, *y = BN_new();
  int found = 0;
  for (const std::string& xh : xs) {
    BN_hex2bn(&x, xh.c_str());
    for (int parity : {0, 1}) {
      std::string want = "none";
      if (BN_cmp(x, EC_GROUP_get0_field(g)) < 0 && EC_POINT_set_compressed_coordinates(g, P, x, parity, ctx) == 1) {
        EC_POINT_get_affine_coordinates(g, P, nullptr, y, ctx);
        uint8_t yb[32];
        BN_bn2binpad(y, yb, 32);
        want = tvt::Hex(yb, 32);
        ++found;
      }
      ERR_clear_error();
      const Bytes xb = tvt::Unhex(xh);
      for (bool portable : {false, true}) {
        cput::ForcedPath path(portable);
        uint8_t yb[32];
        const bool ok = Ec256_DecompressVartime(ec(), yb, xb.data(), static_cast<uint32_t>(parity));
        EXPECT_EQ(ok ? tvt::Hex(yb, 32) : "none", want) << C.name() << " x=" << xh << " parity " << parity;
      }
    }
  }
  EXPECT_GT(found, 20);
  BN_free(x);
  BN_free(y);
  EC_POINT_free(P);
  BN_CTX_free(ctx);
  EC_GROUP_free(g);
}

// Scalar arithmetic modulo n against OpenSSL, operands at the edges of the
// Montgomery reduction (0, 1, n - 1, values whose product wraps many times).
TEST_P(Ec256Both, ScalarArithmeticMatchesOpenSSL) {
  tvt::TestRng rng(0x5CA + GetParam());
  const std::vector<std::string> vals = EdgeScalars(n(), rng, 40);
  BN_CTX* ctx = BN_CTX_new();
  BIGNUM* N = nullptr;
  BN_hex2bn(&N, n().c_str());
  auto bn = [](const std::string& h) {
    BIGNUM* b = nullptr;
    BN_hex2bn(&b, h.c_str());
    return b;
  };
  auto hex = [](const BIGNUM* b) {
    char* h = BN_bn2hex(b);
    std::string s(h);
    OPENSSL_free(h);
    for (char& ch : s) ch = static_cast<char>(tolower(ch));
    if (s == "0") s = "";
    while (s.size() < 64) s = "0" + s;
    return s;
  };
  for (size_t i = 0; i < vals.size(); ++i) {
    const std::string& ah = vals[i];
    const std::string& bh = vals[(i * 7 + 3) % vals.size()];
    BIGNUM *a = bn(ah), *b = bn(bh), *r = BN_new();
    Ec256Scalar sa = Scalar(ec(), ah), sb = Scalar(ec(), bh), sr;
    BN_mod_add(r, a, b, N, ctx);
    Ec256_ScalarAdd(ec(), &sr, &sa, &sb);
    EXPECT_EQ(Hex(sr), hex(r)) << ah << " + " << bh;
    BN_mod_mul(r, a, b, N, ctx);
    Ec256_ScalarMul(ec(), &sr, &sa, &sb);
    EXPECT_EQ(Hex(sr), hex(r)) << ah << " * " << bh;
    BN_nnmod(r, a, N, ctx);
    if (BN_is_zero(r)) {
      Ec256_ScalarInv(ec(), &sr, &sa);
      EXPECT_EQ(Hex(sr), std::string(64, '0'));
    } else {
      BN_mod_inverse(r, a, N, ctx);
      Ec256_ScalarInv(ec(), &sr, &sa);
      EXPECT_EQ(Hex(sr), hex(r)) << "1 / " << ah;
    }
    BN_free(a);
    BN_free(b);
    BN_free(r);
  }
  BN_free(N);
  BN_CTX_free(ctx);
}

// k (a G) = (k a) G: the variable-base code (on secp256k1, the split into
// two halves by the endomorphism) against the generator table on many
// scalars, with those where the halves meet their edges: (n -+ 1) / 2,
// lambda and lambda^2 (halves 0 and +-1), and their neighbours.
TEST_P(Ec256Both, VariableBaseAgreesWithTheGeneratorTable) {
  tvt::TestRng rng(0x61F + GetParam());
  std::vector<std::string> ks = EdgeScalars(n(), rng, 300);
  for (const char* h : {"7fffffffffffffffffffffffffffffff5d576e7357a4501ddfe92f46681b20a0",
                        "7fffffffffffffffffffffffffffffff5d576e7357a4501ddfe92f46681b20a1",
                        "5363ad4cc05c30e0a5261c028812645a122e22ea20816678df02967c1b23bd72",
                        "ac9c52b33fa3cf1f5ad9e3fd77ed9ba4a880b9fc8ec739c2e0cfc810b51283ce"}) {
    for (int d : {-1, 0, 1}) ks.push_back(Offset(h, d));
  }
  // Values whose halves are near 2^128: multiples of 2^128 and sums with
  // lambda multiples of it.
  ks.push_back("ffffffffffffffffffffffffffffffff00000000000000000000000000000000");
  ks.push_back("00000000000000000000000000000000ffffffffffffffffffffffffffffffff");
  const std::vector<std::string> as = {tvt::Hex(rng.RandBytes(32)), Offset(n(), -1), Offset(std::string(64, '0'), 3)};
  for (const std::string& ah : as) {
    Ec256Scalar a = Scalar(ec(), ah);
    Ec256Point P;
    Ec256_MulGen(ec(), &P, &a);
    for (const std::string& kh : ks) {
      Ec256Scalar k = Scalar(ec(), kh), ka;
      Ec256_ScalarMul(ec(), &ka, &k, &a);
      Ec256Point want;
      Ec256_MulGen(ec(), &want, &ka);
      for (bool portable : {false, true}) {
        cput::ForcedPath path(portable);
        Ec256Point got;
        Ec256_Mul(ec(), &got, &k, P.x, P.y);
        EXPECT_EQ(EncPoint(got), EncPoint(want)) << "a=" << ah << " k=" << kh << (portable ? " portable" : "");
      }
    }
  }
}

// The curve-equation check of a Jacobian point, on the dedicated arithmetic,
// against the general code (reached by handing the curve field methods of
// its own, which the check must then use): points scaled by random Z, the
// same with Y off by one, and Z = 0.
NXVT_EC_FieldBinFn g_add, g_sub, g_mul;
NXVT_EC_FieldSqrFn g_sqr;
int32_t WrapAdd(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b) { return g_add(r, a, b); }
int32_t WrapSub(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b) { return g_sub(r, a, b); }
int32_t WrapMul(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b) { return g_mul(r, a, b); }
int32_t WrapSqr(NXVT_BN* r, const NXVT_BN* a) { return g_sqr(r, a); }

TEST_P(Ec256Both, OnCurveCheckMatchesTheGeneralCode) {
  Curve C(GetParam());
  NXVT_EC_CURVE* c = C.c();
  tvt::TestRng rng(0x0C0 + GetParam());
  BN_CTX* ctx = BN_CTX_new();
  BIGNUM *p = nullptr, *x = nullptr, *y = nullptr, *z = BN_new(), *t = BN_new();
  BN_hex2bn(&p, GetParam() == 1 ? "ffffffff00000001000000000000000000000000ffffffffffffffffffffffff"
                                : "fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2f");
  auto hex = [](const BIGNUM* b) {
    char* h = BN_bn2hex(b);
    std::string s(h);
    OPENSSL_free(h);
    return s == "0" ? std::string("00") : s;
  };
  struct Case {
    std::string X, Y, Z;
    int want;
  };
  std::vector<Case> cases = {{"00", "00", "00", 1}, {"01", "01", "00", 1}, {"01", "02", "00", 0}};
  for (int i = 0; i < 12; ++i) {
    const std::string aff = ect::Ossl(C.nid(), rng.RandBytes(32));
    BN_hex2bn(&x, aff.substr(2, 64).c_str());
    BN_hex2bn(&y, aff.substr(66, 64).c_str());
    Bytes zb = rng.RandBytes(32);
    BN_bin2bn(zb.data(), 32, z);
    BN_mod(z, z, p, ctx);
    if (i == 0) BN_one(z);
    BN_mod_sqr(t, z, p, ctx);
    BN_mod_mul(x, x, t, p, ctx);  // x z^2
    BN_mod_mul(t, t, z, p, ctx);
    BN_mod_mul(y, y, t, p, ctx);  // y z^3
    cases.push_back({hex(x), hex(y), hex(z), 1});
    BN_add_word(y, 1);
    BN_mod(y, y, p, ctx);
    cases.push_back({hex(x), hex(y), hex(z), 0});
  }
  for (const Case& cs : cases) {
    Point P;
    ASSERT_EQ(NXVT_BN_FromHex(P.get()->X, cs.X.c_str()), 0);
    ASSERT_EQ(NXVT_BN_FromHex(P.get()->Y, cs.Y.c_str()), 0);
    ASSERT_EQ(NXVT_BN_FromHex(P.get()->Z, cs.Z.c_str()), 0);
    for (bool portable : {false, true}) {
      cput::ForcedPath path(portable);
      EXPECT_EQ(NXVT_EC_Point_IsOnCurve(P.get(), c), cs.want)
          << cs.X << " " << cs.Y << " " << cs.Z << (portable ? " portable" : "");
    }
    g_add = c->fieldAdd;
    g_sub = c->fieldSub;
    g_mul = c->fieldMul;
    g_sqr = c->fieldSqr;
    c->fieldAdd = WrapAdd;
    c->fieldSub = WrapSub;
    c->fieldMul = WrapMul;
    c->fieldSqr = WrapSqr;
    EXPECT_EQ(NXVT_EC_Point_IsOnCurve(P.get(), c), cs.want) << "general " << cs.X << " " << cs.Y << " " << cs.Z;
    c->fieldAdd = g_add;
    c->fieldSub = g_sub;
    c->fieldMul = g_mul;
    c->fieldSqr = g_sqr;
  }
  BN_free(p);
  BN_free(x);
  BN_free(y);
  BN_free(z);
  BN_free(t);
  BN_CTX_free(ctx);
}

// Reading 32 bytes modulo n tells whether the value was below n; a draw
// becomes (v mod (n - 1)) + 1.
TEST_P(Ec256Both, ScalarLoadingAtTheOrder) {
  struct Case {
    std::string v;
    bool below;
    std::string reduced, draw;
  };
  const std::string zero(64, '0');
  const Case cases[] = {
      {zero, true, zero, Offset(zero, 1)},
      {Offset(n(), -3), true, Offset(n(), -3), Offset(n(), -2)},
      {Offset(n(), -2), true, Offset(n(), -2), Offset(n(), -1)},
      {Offset(n(), -1), true, Offset(n(), -1), Offset(zero, 1)},
      {n(), false, zero, Offset(zero, 2)},
      {Offset(n(), 1), false, Offset(zero, 1), Offset(zero, 3)},
  };
  for (const Case& cs : cases) {
    Bytes b = tvt::Unhex(cs.v);
    Ec256Scalar s;
    EXPECT_EQ(Ec256_ScalarFromBytes(ec(), &s, b.data()) != 0, cs.below) << cs.v;
    EXPECT_EQ(Hex(s), cs.reduced) << cs.v;
    Ec256_ScalarFromDraw(ec(), &s, b.data());
    EXPECT_EQ(Hex(s), cs.draw) << cs.v;
  }
  // The largest draw, 2^256 - 1, stays in 1 .. n - 1.
  Bytes top(32, 0xff);
  Ec256Scalar s;
  Ec256_ScalarFromDraw(ec(), &s, top.data());
  EXPECT_EQ(Ec256_ScalarIsZero(&s), 0u);
  EXPECT_NE(Ec256_ScalarFromBytes(ec(), &s, tvt::Unhex(Hex(s)).data()), 0u);
}

// The generator tables are built once, by whichever thread comes first; all
// threads then read the same immutable tables.
TEST(Ec256, FirstUseFromManyThreads) {
  const std::string k = "c0ffee00c0ffee00c0ffee00c0ffee00c0ffee00c0ffee00c0ffee00c0ffee00";
  std::vector<std::string> results(8);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < results.size(); ++i) {
    threads.emplace_back([&results, &k, i] {
      const Ec256Curve* ec = (i % 2) ? Ec256_P256() : Ec256_Secp256k1();
      Ec256Scalar s = Scalar(ec, k);
      Ec256Point out, sum;
      Ec256_MulGen(ec, &out, &s);
      // The verification's own generator tables, built on first use too.
      const Ec256Scalar zero = {};
      Ec256_MulGenAddVartime(ec, &sum, &s, &zero, out.x, out.y);
      results[i] = EncPoint(out) == EncPoint(sum) ? EncPoint(out) : "differ";
    });
  }
  for (std::thread& t : threads) t.join();
  for (uint32_t code : {0u, 1u}) {
    Curve C(code);
    const std::string want = ect::Ossl(C.nid(), tvt::Unhex(k));
    for (size_t i = code; i < results.size(); i += 2) EXPECT_EQ(results[i], want) << C.name();
  }
}

}  // namespace
