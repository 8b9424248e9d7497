#include "crypto/bignum/modexp.h"

#include <cstring>
#include <new>

#include "platform/memory.h"
#include "trail/trail.h"

namespace {

constexpr uint32_t kMax = NXVT_BN_MAX_WORDS;

bool Invalid(const NXVT_BN* a) { return a == nullptr || a->count > kMax; }

uint32_t Sig(const NXVT_BN* a) {
  uint32_t n = a->count;
  while (n > 0 && a->words[n - 1] == 0) --n;
  return n;
}

bool IsZero(const NXVT_BN* a) { return Sig(a) == 0; }

bool IsOne(const NXVT_BN* a) { return Sig(a) == 1 && a->words[0] == 1; }

bool Bit(const NXVT_BN* a, uint32_t i) {
  uint32_t w = i / 32;
  return w < a->count && ((a->words[w] >> (i % 32)) & 1u) != 0;
}

void Copy(NXVT_BN* r, const NXVT_BN* a) {
  if (r == a) return;
  r->count = a->count;
  if (a->count) std::memcpy(r->words, a->words, a->count * sizeof(uint32_t));
}

void SetWord(NXVT_BN* r, uint32_t w) {
  r->words[0] = w;
  r->count = w ? 1 : 0;
}

// A block of work records, zeroed on allocation and wiped on release.
class WorkRecords {
 public:
  explicit WorkRecords(size_t n) : n_(n), p_(new (std::nothrow) NXVT_BN[n]) {
    if (p_) std::memset(static_cast<void*>(p_), 0, n_ * sizeof(NXVT_BN));
    else SetErrNoMemory();
  }
  ~WorkRecords() {
    if (p_) {
      Wipe(p_, n_ * sizeof(NXVT_BN));
      delete[] p_;
    }
  }
  WorkRecords(const WorkRecords&) = delete;
  WorkRecords& operator=(const WorkRecords&) = delete;
  bool ok() const { return p_ != nullptr; }
  NXVT_BN& operator[](size_t i) { return p_[i]; }

 private:
  size_t n_;
  NXVT_BN* p_;
};

// r = a * b mod m, through the scratch record t (distinct from m).
int32_t MulMod(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b, const NXVT_BN* m, NXVT_BN* t) {
  if (NXVT_BN_Mul(t, a, b) != 0) return -1;
  if (NXVT_BN_Mod(t, m) != 0) return -1;
  Copy(r, t);
  return 0;
}

int32_t SqrMod(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* m, NXVT_BN* t) {
  if (NXVT_BN_Sqr(t, a) != 0) return -1;
  if (NXVT_BN_Mod(t, m) != 0) return -1;
  Copy(r, t);
  return 0;
}

// r = (x - y) mod p for x, y already below p.
void SubMod(NXVT_BN* r, const NXVT_BN* x, const NXVT_BN* y, const NXVT_BN* p) {
  if (NXVT_BN_Sub(r, x, y) == -2) NXVT_BN_Sub(r, p, r);
  NXVT_BN_Mod(r, p);
}

}  // namespace

int32_t NXVT_BN_ModExp(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* e, const NXVT_BN* m) {
  if (r == nullptr || Invalid(a) || Invalid(e) || Invalid(m)) return -1;
  if (a == e || e == m || a == m || r == m) return -1;
  uint32_t mn = Sig(m);
  if (mn == 0) return -1;
  if (IsZero(a) || IsOne(m)) {
    r->count = 0;
    return 0;
  }
  if (IsZero(e)) {
    SetWord(r, 1);
    return 0;
  }
  // Products of two residues must fit into a record.
  if (2 * mn > kMax) return -1;

  // T[0..7] odd powers, then base, square, accumulator, product scratch.
  WorkRecords w(12);
  if (!w.ok()) return -1;
  NXVT_BN* T = &w[0];
  NXVT_BN& base = w[8];
  NXVT_BN& sq = w[9];
  NXVT_BN& acc = w[10];
  NXVT_BN& t = w[11];

  int c = NXVT_BN_Cmp(a, m);
  if (c == 0) {
    r->count = 0;
    return 0;
  }
  Copy(&base, a);
  if (c > 0 && NXVT_BN_Mod(&base, m) != 0) return -1;
  base.count = Sig(&base);

  Copy(&T[0], &base);
  if (SqrMod(&sq, &base, m, &t) != 0) return -1;
  for (int i = 1; i < 8; ++i) {
    if (MulMod(&T[i], &T[i - 1], &sq, m, &t) != 0) return -1;
  }

  SetWord(&acc, 1);
  uint32_t i = NXVT_BN_BitLen(e);
  while (i > 0) {
    if (!Bit(e, i - 1)) {
      if (SqrMod(&acc, &acc, m, &t) != 0) return -1;
      --i;
      continue;
    }
    uint32_t j = i < 5 ? 0 : i - 4;
    while (!Bit(e, j)) ++j;
    uint32_t win = 0;
    for (uint32_t k = i; k-- > j;) win = (win << 1) | (Bit(e, k) ? 1u : 0u);
    for (uint32_t k = 0; k < i - j; ++k) {
      if (SqrMod(&acc, &acc, m, &t) != 0) return -1;
    }
    if (MulMod(&acc, &acc, &T[(win - 1) / 2], m, &t) != 0) return -1;
    i = j;
  }
  Copy(r, &acc);
  return 0;
}

void NXVT_BN_LucasSeq(NXVT_BN* V, NXVT_BN* Qk, const NXVT_BN* p, const NXVT_BN* /*unused*/,
                      const NXVT_BN* Q, const NXVT_BN* k) {
  if (V == nullptr || Qk == nullptr || Invalid(p) || Invalid(Q) || Invalid(k)) return;
  uint32_t pn = Sig(p);
  if (pn == 0 || 2 * pn > kMax) return;
  WorkRecords w(7);
  if (!w.ok()) return;
  NXVT_BN& vl = w[0];
  NXVT_BN& vh = w[1];
  NXVT_BN& ql = w[2];
  NXVT_BN& qh = w[3];
  NXVT_BN& q = w[4];
  NXVT_BN& t = w[5];
  NXVT_BN& u = w[6];

  Copy(&q, Q);
  if (NXVT_BN_Mod(&q, p) != 0) return;
  SetWord(&vl, 2);
  SetWord(&vh, 1);
  SetWord(&ql, 1);
  SetWord(&qh, 1);
  // Small starting values must be reduced too when p is tiny.
  NXVT_BN_Mod(&vl, p);
  NXVT_BN_Mod(&vh, p);
  NXVT_BN_Mod(&ql, p);
  NXVT_BN_Mod(&qh, p);

  for (uint32_t i = NXVT_BN_BitLen(k); i-- > 0;) {
    MulMod(&ql, &ql, &qh, p, &t);
    if (Bit(k, i)) {
      MulMod(&qh, &ql, &q, p, &t);
      MulMod(&u, &vl, &vh, p, &t);
      SubMod(&vl, &u, &ql, p);
      SqrMod(&u, &vh, p, &t);
      NXVT_BN_Add(&t, &qh, &qh);
      NXVT_BN_Mod(&t, p);
      SubMod(&vh, &u, &t, p);
    } else {
      Copy(&qh, &ql);
      MulMod(&u, &vl, &vh, p, &t);
      SubMod(&vh, &u, &ql, p);
      SqrMod(&u, &vl, p, &t);
      NXVT_BN_Add(&t, &ql, &ql);
      NXVT_BN_Mod(&t, p);
      SubMod(&vl, &u, &t, p);
    }
  }
  Copy(V, &vl);
  Copy(Qk, &ql);
}

namespace {

// Tonelli-Shanks for p = 1 (mod 8), used when the single Lucas attempt finds
// no root. a must be below p. 0 with r^2 = a, -1 when a is a non-residue or
// p shows itself composite or no non-residue is among the first candidates.
int32_t TonelliShanks(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* p) {
  WorkRecords w(12);
  if (!w.ok()) return -1;
  NXVT_BN& pm1 = w[0];
  NXVT_BN& q = w[1];
  NXVT_BN& e = w[2];
  NXVT_BN& z = w[3];
  NXVT_BN& c = w[4];
  NXVT_BN& t = w[5];
  NXVT_BN& x = w[6];
  NXVT_BN& b = w[7];
  NXVT_BN& s = w[8];
  NXVT_BN& tt = w[9];
  NXVT_BN& av = w[10];

  Copy(&av, a);
  NXVT_BN_SubWord(&pm1, p, 1);
  NXVT_BN_Normalize(&pm1);
  Copy(&q, &pm1);
  uint32_t twos = 0;
  while (!Bit(&q, twos)) ++twos;
  NXVT_BN_ShrBits(&q, twos);

  // Euler's criterion on a: a^((p-1)/2) must be 1.
  Copy(&e, &pm1);
  NXVT_BN_ShrBits(&e, 1);
  if (NXVT_BN_ModExp(&t, &av, &e, p) != 0 || !IsOne(&t)) return -1;

  // A non-residue z: z^((p-1)/2) = p - 1. Any value other than 1 or p - 1
  // proves p composite, which ends the search at once.
  bool found = false;
  for (uint32_t cand = 2; cand < 512 && !found; ++cand) {
    SetWord(&z, cand);
    if (NXVT_BN_Cmp(&z, p) != -2) break;
    if (NXVT_BN_ModExp(&t, &z, &e, p) != 0) return -1;
    found = NXVT_BN_Cmp(&t, &pm1) == 0;
    if (!found && !IsOne(&t)) return -1;
  }
  if (!found) return -1;

  uint32_t m = twos;
  if (NXVT_BN_ModExp(&c, &z, &q, p) != 0) return -1;
  if (NXVT_BN_ModExp(&t, &av, &q, p) != 0) return -1;
  NXVT_BN_AddWord(&e, &q, 1);
  NXVT_BN_ShrBits(&e, 1);
  if (NXVT_BN_ModExp(&x, &av, &e, p) != 0) return -1;

  while (!IsOne(&t)) {
    // Least i with t^(2^i) = 1.
    uint32_t i = 0;
    Copy(&tt, &t);
    while (!IsOne(&tt)) {
      if (++i >= m) return -1;
      if (SqrMod(&tt, &tt, p, &s) != 0) return -1;
    }
    Copy(&b, &c);
    for (uint32_t k = 0; k + i + 1 < m; ++k) {
      if (SqrMod(&b, &b, p, &s) != 0) return -1;
    }
    m = i;
    if (SqrMod(&c, &b, p, &s) != 0) return -1;
    if (MulMod(&t, &t, &c, p, &s) != 0) return -1;
    if (MulMod(&x, &x, &b, p, &s) != 0) return -1;
  }
  Copy(r, &x);
  return 0;
}

}  // namespace

int32_t NXVT_BN_ModSqrt(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* p) {
  if (r == nullptr || Invalid(a) || Invalid(p)) return -1;
  if (IsZero(a)) return -1;
  uint32_t pn = Sig(p);
  if (pn == 0 || 2 * pn > kMax) return -1;
  WorkRecords w(6);
  if (!w.ok()) return -1;
  NXVT_BN& cand = w[0];
  NXVT_BN& t = w[1];
  NXVT_BN& g = w[2];
  NXVT_BN& u = w[3];
  NXVT_BN& s = w[4];
  NXVT_BN& q = w[5];

  uint32_t low = p->words[0] & 7u;
  if ((low & 3u) == 3u) {
    // p = 3 (mod 4): a^((p+1)/4).
    if (NXVT_BN_AddWord(&t, p, 1) != 0) return -1;
    NXVT_BN_ShrBits(&t, 2);
    if (NXVT_BN_ModExp(&cand, a, &t, p) != 0) return -1;
  } else if (low == 5u) {
    // Atkin: g = (2a)^((p-5)/8), i = 2 a g^2, root = a g (i - 1).
    NXVT_BN_SubWord(&t, p, 5);
    NXVT_BN_ShrBits(&t, 3);
    if (NXVT_BN_Shl1(&u, a) != 0) return -1;
    if (NXVT_BN_ModExp(&g, &u, &t, p) != 0) return -1;
    if (NXVT_BN_Sqr(&s, &g) != 0 || NXVT_BN_Mul(&u, a, &s) != 0) return -1;
    if (NXVT_BN_Shl1Self(&u) != 0 || NXVT_BN_Mod(&u, p) != 0) return -1;
    if (IsZero(&u)) {
      NXVT_BN_SubWord(&u, p, 1);
    } else {
      NXVT_BN_SubWord(&u, &u, 1);
    }
    if (MulMod(&t, a, &g, p, &s) != 0) return -1;
    if (MulMod(&cand, &t, &u, p, &s) != 0) return -1;
  } else if (low == 1u) {
    // One Lucas attempt with P = 1: V_((p+1)/2)(1, a) / 2.
    if (NXVT_BN_AddWord(&t, p, 1) != 0) return -1;
    NXVT_BN_ShrBits(&t, 1);
    cand.count = 0;
    NXVT_BN_LucasSeq(&cand, &q, p, nullptr, a, &t);
    if (Bit(&cand, 0) && NXVT_BN_Add(&cand, &cand, p) != 0) return -1;
    NXVT_BN_Shr1(&cand, &cand);
  } else {
    return -1;
  }

  NXVT_BN_Normalize(&cand);
  if (SqrMod(&u, &cand, p, &s) != 0) return -1;
  int32_t rc = NXVT_BN_Cmp(&u, a) == 0 ? 0 : -1;
  if (rc != 0 && low == 1u && NXVT_BN_Cmp(a, p) == -2) {
    // P = 1 only works when 1 - 4a is a non-residue; for the other residues
    // take the general method.
    if (TonelliShanks(&t, a, p) == 0) {
      Copy(&cand, &t);
      rc = 0;
    }
  }
  Copy(r, &cand);
  return rc;
}
