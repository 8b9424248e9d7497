#include "crypto/ed25519/ed25519_field.h"

#include "platform/memory.h"
#include "crypto/ec/modinv.h"

namespace ed25519_field {

namespace {

constexpr u64 kP64[4] = {0xffffffffffffffed, 0xffffffffffffffff, 0xffffffffffffffff, 0x7fffffffffffffff};
constexpr u64 kOne64[4] = {1, 0, 0, 0};
constexpr ModInvModulus kModP = MakeModInvModulus(kP64, kOne64);

// z^(2^250 - 1).
void Pow250(Fe& t250, const Fe& z) {
  Fe z2, z9, z11, t, z5, z10, z20, z50, z100;
  Sqr(z2, z);            // 2
  SqrN(t, z2, 2);        // 8
  Mul(z9, t, z);         // 9
  Mul(z11, z9, z2);      // 11
  Sqr(t, z11);           // 22
  Mul(z5, t, z9);        // 2^5 - 1
  SqrN(t, z5, 5);
  Mul(z10, t, z5);       // 2^10 - 1
  SqrN(t, z10, 10);
  Mul(z20, t, z10);      // 2^20 - 1
  SqrN(t, z20, 20);
  Mul(t, t, z20);        // 2^40 - 1
  SqrN(t, t, 10);
  Mul(z50, t, z10);      // 2^50 - 1
  SqrN(t, z50, 50);
  Mul(z100, t, z50);     // 2^100 - 1
  SqrN(t, z100, 100);
  Mul(t, t, z100);       // 2^200 - 1
  SqrN(t, t, 50);
  Mul(t250, t, z50);     // 2^250 - 1
  Fe* all[] = {&z2, &z9, &z11, &t, &z5, &z10, &z20, &z50, &z100};
  for (Fe* f : all) Wipe(f, sizeof *f);
}

}  // namespace

Fe FromBytes(const unsigned char in[32]) {
  Fe r;
  r.v[0] = Load64(in) & kMask51;
  r.v[1] = (Load64(in + 6) >> 3) & kMask51;
  r.v[2] = (Load64(in + 12) >> 6) & kMask51;
  r.v[3] = (Load64(in + 19) >> 1) & kMask51;
  r.v[4] = (Load64(in + 24) >> 12) & kMask51;
  return r;
}

void ToWords(u64 out[4], const Fe& a) {
  Fe t = a;
  Carry(t);
  Carry(t);
  // q = 1 exactly when t >= p.
  u64 q = (t.v[0] + 19) >> 51;
  q = (t.v[1] + q) >> 51;
  q = (t.v[2] + q) >> 51;
  q = (t.v[3] + q) >> 51;
  q = (t.v[4] + q) >> 51;
  t.v[0] += 19 * q;
  for (int i = 0; i < 4; ++i) {
    t.v[i + 1] += t.v[i] >> 51;
    t.v[i] &= kMask51;
  }
  t.v[4] &= kMask51;
  out[0] = t.v[0] | (t.v[1] << 51);
  out[1] = (t.v[1] >> 13) | (t.v[2] << 38);
  out[2] = (t.v[2] >> 26) | (t.v[3] << 25);
  out[3] = (t.v[3] >> 39) | (t.v[4] << 12);
  Wipe(&t, sizeof t);
}

void ToBytes(unsigned char out[32], const Fe& a) {
  u64 w[4];
  ToWords(w, a);
  for (int i = 0; i < 4; ++i) {
    for (int b = 0; b < 8; ++b) out[8 * i + b] = static_cast<unsigned char>(w[i] >> (8 * b));
  }
  Wipe(w, sizeof w);
}

Fe FromWords(const u64 w[4]) {
  Fe r;
  r.v[0] = w[0] & kMask51;
  r.v[1] = ((w[0] >> 51) | (w[1] << 13)) & kMask51;
  r.v[2] = ((w[1] >> 38) | (w[2] << 26)) & kMask51;
  r.v[3] = ((w[2] >> 25) | (w[3] << 39)) & kMask51;
  r.v[4] = (w[3] >> 12) & kMask51;
  return r;
}

// Both inversions run the divsteps of the shared inversion module on the
// canonical 64-bit words; the modulus is p itself, results are plain residues.
void Invert(Fe& r, const Fe& z) {
  u64 w[4], inv[4];
  ToWords(w, z);
  ModInv256(inv, w, kModP);
  r = FromWords(inv);
  Wipe(w, sizeof w);
  Wipe(inv, sizeof inv);
}

void InvertVartime(Fe& r, const Fe& z) {
  u64 w[4], inv[4];
  ToWords(w, z);
  ModInv256Vartime(inv, w, kModP);
  r = FromWords(inv);
}

void Pow22523(Fe& r, const Fe& z) {
  Fe t;
  Pow250(t, z);
  SqrN(t, t, 2);
  Mul(r, t, z);
}

}  // namespace ed25519_field
