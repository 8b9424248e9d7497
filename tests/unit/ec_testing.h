// Helpers shared by the curve tests: records from hex without the library's
// own conversions, owned curves and points, and OpenSSL as the oracle for
// k*G + m*P on both curves.
#ifndef TOLVARIS_TESTS_EC_TESTING_H
#define TOLVARIS_TESTS_EC_TESTING_H

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/obj_mac.h>

#include <cstring>
#include <string>

#include "bignum_testing.h"
#include "crypto/bignum/bignum.h"
#include "crypto/ec/general/eccurve.h"
#include "crypto/ec/general/ecpoint.h"
#include "tv_test.h"

namespace ect {

using tvt::Bytes;

// Record from big-endian hex digits (no prefix, any length).
inline NXVT_BN Bn(const std::string& hex) { return bnt::Make(hex); }
inline NXVT_BN Bn(const Bytes& be) { return Bn(tvt::Hex(be)); }

// Value as 64 hex digits (wider values keep all their digits).
inline std::string Hex64(const NXVT_BN& a) {
  std::string s;
  uint32_t n = a.count;
  while (n > 0 && a.words[n - 1] == 0) --n;
  char buf[9];
  for (uint32_t i = n; i-- > 0;) {
    snprintf(buf, sizeof buf, "%08x", a.words[i]);
    s += buf;
  }
  while (s.size() < 64) s = "0" + s;
  return s;
}

inline std::string HexBE(const NXVT_BN& a, size_t bytes) {
  std::string s = Hex64(a);
  return s.substr(s.size() - 2 * bytes);
}

class Curve {
 public:
  explicit Curve(uint32_t code) : pkc_(GetPKCParam(code)), nid_(code == 1 ? NID_X9_62_prime256v1 : NID_secp256k1) {}
  ~Curve() { NXVT_PKC_Free(pkc_); }
  Curve(const Curve&) = delete;
  Curve& operator=(const Curve&) = delete;
  NXVT_EC_CURVE* c() const { return pkc_->curve; }
  int nid() const { return nid_; }
  std::string name() const { return nid_ == NID_secp256k1 ? "secp256k1" : "P-256"; }

 private:
  NXVT_PKC* pkc_;
  int nid_;
};

class Point {
 public:
  Point() : p_(NXVT_EC_Point_New()) {}
  ~Point() { NXVT_EC_Point_Free(p_); }
  Point(const Point&) = delete;
  Point& operator=(const Point&) = delete;
  NXVT_EC_POINT* get() const { return p_; }
  NXVT_EC_POINT* operator->() const { return p_; }

 private:
  NXVT_EC_POINT* p_;
};

// Uncompressed octets of P; "inf" for the point at infinity, "fail" when the
// encoding fails otherwise.
inline std::string Enc(const NXVT_EC_POINT* P, NXVT_EC_CURVE* c) {
  if (NXVT_EC_Point_IsInfinity(P)) return "inf";
  uint8_t out[65];
  uint32_t len = sizeof out;
  if (NXVT_EC_Point_ToOctets(P, kEcFormUncompressed, out, &len, c) != 0 || len != 65) return "fail";
  return tvt::Hex(out, len);
}

// OpenSSL: g*G + m*P (P as octets, may be empty when m is empty), as
// uncompressed hex or "inf".
inline std::string Ossl(int nid, const Bytes& g, const Bytes& pOct = {}, const Bytes& m = {}) {
  EC_GROUP* grp = EC_GROUP_new_by_curve_name(nid);
  BN_CTX* ctx = BN_CTX_new();
  EC_POINT* r = EC_POINT_new(grp);
  EC_POINT* P = nullptr;
  BIGNUM* bg = g.empty() ? nullptr : BN_bin2bn(g.data(), static_cast<int>(g.size()), nullptr);
  BIGNUM* bm = m.empty() ? nullptr : BN_bin2bn(m.data(), static_cast<int>(m.size()), nullptr);
  if (!pOct.empty()) {
    P = EC_POINT_new(grp);
    EXPECT_EQ(EC_POINT_oct2point(grp, P, pOct.data(), pOct.size(), ctx), 1);
  }
  EXPECT_EQ(EC_POINT_mul(grp, r, bg, P, bm, ctx), 1);
  std::string out = "inf";
  if (!EC_POINT_is_at_infinity(grp, r)) {
    uint8_t buf[65];
    size_t n = EC_POINT_point2oct(grp, r, POINT_CONVERSION_UNCOMPRESSED, buf, sizeof buf, ctx);
    out = tvt::Hex(buf, n);
  }
  BN_free(bg);
  BN_free(bm);
  EC_POINT_free(P);
  EC_POINT_free(r);
  BN_CTX_free(ctx);
  EC_GROUP_free(grp);
  return out;
}

// Sets P from uncompressed hex through the strict decoder.
inline void SetFromHex(NXVT_EC_POINT* P, const std::string& hex, NXVT_EC_CURVE* c) {
  Bytes b = tvt::Unhex(hex);
  ASSERT_EQ(NXVT_EC_Point_Decode(P, b.data(), b.size(), c), 0) << hex;
}

}  // namespace ect

#endif
