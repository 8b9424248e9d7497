#include "crypto/ec/modinv.h"

#include "platform/memory.h"

namespace {

using modinv_detail::kMask62;
using i128 = __int128;

// A signed number in 62-bit limbs: v[0..3] in [0, 2^62), v[4] signed.
struct S62 {
  int64_t v[5];
};

// The steps of one batch as a matrix scaled by 2^62:
// 2^62 (f', g') = (u f + v g, q f + r g). |u| + |v| and |q| + |r| stay at
// most 2^62.
struct Matrix {
  int64_t u, v, q, r;
};

constexpr int kBatch = 62;
constexpr int kBatches = 12;  // 744 steps >= 741

// One divstep: with delta > 0 and g odd, (delta, f, g) becomes
// (1 - delta, g, (g - f) / 2); otherwise (1 + delta, f, (g + (g mod 2) f) / 2).
// The rows of f and g in the matrix follow the same moves, with f's row
// doubled instead of g halved so they stay integers.
//
// 62 steps on the low words of f and g: bit i of g decides step i and
// depends only on bits 0..i of the inputs. Only masks: delta, f and g are
// secret when the value to invert is. The loop keeps z = -delta, so that
// delta > 0 is the sign bit of z. A step adds -f or f to an odd g by the
// sign of delta; then the swap, when due, is f += (g - f), which leaves the
// old g in f.
int64_t Divsteps62(int64_t delta, uint64_t f, uint64_t g, Matrix& t) {
  uint64_t u = 1, v = 0, q = 0, r = 1;
  uint64_t z = 0 - static_cast<uint64_t>(delta);
  for (int i = 0; i < kBatch; ++i) {
    uint64_t c1 = static_cast<uint64_t>(static_cast<int64_t>(z) >> 63);  // delta > 0
    const uint64_t c2 = 0 - (g & 1);                                     // g odd
    const uint64_t x = (f ^ c1) - c1, y = (u ^ c1) - c1, w = (v ^ c1) - c1;
    g += x & c2;
    q += y & c2;
    r += w & c2;
    c1 &= c2;  // the swap
    f += g & c1;
    u += q & c1;
    v += r & c1;
    // delta becomes 1 - delta on a swap, else 1 + delta.
    z = (z ^ c1) + ~c1;
    g >>= 1;
    u <<= 1;
    v <<= 1;
  }
  t = Matrix{static_cast<int64_t>(u), static_cast<int64_t>(v), static_cast<int64_t>(q), static_cast<int64_t>(r)};
  return static_cast<int64_t>(0 - z);
}

// The same steps, skipping runs of even g at once. Public values only.
int64_t Divsteps62Vartime(int64_t delta, uint64_t f, uint64_t g, Matrix& t) {
  uint64_t u = 1, v = 0, q = 0, r = 1;
  int left = kBatch;
  for (;;) {
    // g even: (1 + delta, f, g / 2) as often as the zeros last.
    const int zeros = __builtin_ctzll(g | (uint64_t{1} << left));
    g >>= zeros;
    u <<= zeros;
    v <<= zeros;
    delta += zeros;
    left -= zeros;
    if (left == 0) break;
    if (delta > 0) {
      delta = -delta;
      const uint64_t f0 = f, u0 = u, v0 = v;
      f = g;
      u = q;
      v = r;
      g = 0 - f0;
      q = 0 - u0;
      r = 0 - v0;
    }
    g = (g + f) >> 1;
    q += u;
    r += v;
    u <<= 1;
    v <<= 1;
    delta += 1;
    --left;
  }
  t = Matrix{static_cast<int64_t>(u), static_cast<int64_t>(v), static_cast<int64_t>(q), static_cast<int64_t>(r)};
  return delta;
}

// (f, g) = (u f + v g, q f + r g) / 2^62; the divisions are exact.
void ApplyFG(S62& f, S62& g, const Matrix& t) {
  i128 cf = static_cast<i128>(t.u) * f.v[0] + static_cast<i128>(t.v) * g.v[0];
  i128 cg = static_cast<i128>(t.q) * f.v[0] + static_cast<i128>(t.r) * g.v[0];
  cf >>= 62;
  cg >>= 62;
  for (int i = 1; i < 5; ++i) {
    cf += static_cast<i128>(t.u) * f.v[i] + static_cast<i128>(t.v) * g.v[i];
    cg += static_cast<i128>(t.q) * f.v[i] + static_cast<i128>(t.r) * g.v[i];
    f.v[i - 1] = static_cast<int64_t>(static_cast<uint64_t>(cf) & kMask62);
    g.v[i - 1] = static_cast<int64_t>(static_cast<uint64_t>(cg) & kMask62);
    cf >>= 62;
    cg >>= 62;
  }
  f.v[4] = static_cast<int64_t>(cf);
  g.v[4] = static_cast<int64_t>(cg);
}

// (d, e) = (u d + v e, q d + r e) / 2^62 mod m, for d and e in (-2m, m),
// giving results in (-2m, m) again. A negative input counts as itself plus
// m (adding u m or v m to the sum), which puts both in (-m, m) and the sum
// in (-2^62 m, 2^62 m); then the multiple of m that clears the low 62 bits
// is subtracted, below 2^62 m. No branch: the signs are masks.
void ApplyDE(S62& d, S62& e, const Matrix& t, const ModInvModulus& mod) {
  const int64_t sd = d.v[4] >> 63, se = e.v[4] >> 63;
  int64_t md = (t.u & sd) + (t.v & se);
  int64_t me = (t.q & sd) + (t.r & se);
  i128 cd = static_cast<i128>(t.u) * d.v[0] + static_cast<i128>(t.v) * e.v[0];
  i128 ce = static_cast<i128>(t.q) * d.v[0] + static_cast<i128>(t.r) * e.v[0];
  md -= static_cast<int64_t>((mod.mInv62 * static_cast<uint64_t>(cd) + static_cast<uint64_t>(md)) & kMask62);
  me -= static_cast<int64_t>((mod.mInv62 * static_cast<uint64_t>(ce) + static_cast<uint64_t>(me)) & kMask62);
  cd += static_cast<i128>(mod.m[0]) * md;
  ce += static_cast<i128>(mod.m[0]) * me;
  cd >>= 62;
  ce >>= 62;
  for (int i = 1; i < 5; ++i) {
    cd += static_cast<i128>(t.u) * d.v[i] + static_cast<i128>(t.v) * e.v[i] + static_cast<i128>(mod.m[i]) * md;
    ce += static_cast<i128>(t.q) * d.v[i] + static_cast<i128>(t.r) * e.v[i] + static_cast<i128>(mod.m[i]) * me;
    d.v[i - 1] = static_cast<int64_t>(static_cast<uint64_t>(cd) & kMask62);
    e.v[i - 1] = static_cast<int64_t>(static_cast<uint64_t>(ce) & kMask62);
    cd >>= 62;
    ce >>= 62;
  }
  d.v[4] = static_cast<int64_t>(cd);
  e.v[4] = static_cast<int64_t>(ce);
}

// Lower limbs back into [0, 2^62), the excess carried into the top limb.
void Carry(S62& a) {
  for (int i = 0; i < 4; ++i) {
    a.v[i + 1] += a.v[i] >> 62;
    a.v[i] &= static_cast<int64_t>(kMask62);
  }
}

// a + m when a < 0 (by mask).
void AddModIfNegative(S62& a, const ModInvModulus& mod) {
  const int64_t neg = a.v[4] >> 63;
  for (int i = 0; i < 5; ++i) a.v[i] += mod.m[i] & neg;
  Carry(a);
}

// d in (-2m, m) times the sign of f (f = +-1 at the end), into [0, m).
void Finish(uint64_t r[4], S62& d, const S62& f, const ModInvModulus& mod) {
  AddModIfNegative(d, mod);  // (-m, m)
  const int64_t neg = f.v[4] >> 63;
  for (int i = 0; i < 5; ++i) d.v[i] = (d.v[i] ^ neg) - neg;
  Carry(d);
  AddModIfNegative(d, mod);  // [0, m)
  const auto w = [&d](int i) { return static_cast<uint64_t>(d.v[i]); };
  r[0] = w(0) | (w(1) << 62);
  r[1] = (w(1) >> 2) | (w(2) << 60);
  r[2] = (w(2) >> 4) | (w(3) << 58);
  r[3] = (w(3) >> 6) | (w(4) << 56);
}

struct State {
  S62 f, g, d, e;
};

void Start(State& s, const uint64_t a[4], const ModInvModulus& mod) {
  for (int i = 0; i < 5; ++i) {
    s.f.v[i] = mod.m[i];
    s.d.v[i] = 0;
    s.e.v[i] = mod.scale[i];
  }
  modinv_detail::ToLimbs62(s.g.v, a);
}

}  // namespace

void ModInv256(uint64_t r[4], const uint64_t a[4], const ModInvModulus& mod) {
  State s;
  Matrix t;
  Start(s, a, mod);
  int64_t delta = 1;
  // A fixed count: g is zero after 741 steps whatever the input.
  for (int b = 0; b < kBatches; ++b) {
    delta = Divsteps62(delta, static_cast<uint64_t>(s.f.v[0]), static_cast<uint64_t>(s.g.v[0]), t);
    ApplyFG(s.f, s.g, t);
    ApplyDE(s.d, s.e, t, mod);
  }
  Finish(r, s.d, s.f, mod);
  Wipe(&s, sizeof s);
  Wipe(&t, sizeof t);
  Wipe(&delta, sizeof delta);
}

void ModInv256Vartime(uint64_t r[4], const uint64_t a[4], const ModInvModulus& mod) {
  State s;
  Matrix t;
  Start(s, a, mod);
  int64_t delta = 1;
  for (int b = 0; b < kBatches; ++b) {
    if ((s.g.v[0] | s.g.v[1] | s.g.v[2] | s.g.v[3] | s.g.v[4]) == 0) break;
    delta = Divsteps62Vartime(delta, static_cast<uint64_t>(s.f.v[0]), static_cast<uint64_t>(s.g.v[0]), t);
    ApplyFG(s.f, s.g, t);
    ApplyDE(s.d, s.e, t, mod);
  }
  Finish(r, s.d, s.f, mod);
}
