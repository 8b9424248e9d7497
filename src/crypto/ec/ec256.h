// Constant-time arithmetic on secp256k1 and P-256: the fast path behind the
// curve functions of ecpoint.h and ecdsa.h.
//
// Field elements and scalars are four 64-bit limbs with a reduction of their
// own per modulus (secp256k1's field by its special form, the rest in
// Montgomery form). Every operation on a secret runs the same
// instructions and touches the same memory whatever the value: no branch, no
// loop bound and no table index depends on a key, a nonce or a point derived
// from them. Multiples of the generator come from a table built once per
// process and read in full on every lookup.
//
// Callers see scalars and affine points as bytes; the limbs stay inside.
#ifndef TOLVARIS_CRYPTO_EC_EC256_H
#define TOLVARIS_CRYPTO_EC_EC256_H

#include <cstdint>

// One of the two curves with dedicated arithmetic; immutable, shared by all
// threads.
struct Ec256Curve;

const Ec256Curve* Ec256_Secp256k1();
const Ec256Curve* Ec256_P256();

// A scalar modulo n: canonical, little-endian 64-bit limbs (not Montgomery).
struct Ec256Scalar {
  uint64_t v[4];
};

// An affine point as two canonical 32-byte big-endian coordinates, or the
// point at infinity (infinity != 0, coordinates zero).
struct Ec256Point {
  uint8_t x[32];
  uint8_t y[32];
  uint32_t infinity;
};

// s = (32-byte big-endian value) mod n. Returns an all-ones mask when the
// value was below n, zero when it was reduced (constant time; the mask stays
// secret until the caller declassifies it).
uint64_t Ec256_ScalarFromBytes(const Ec256Curve* c, Ec256Scalar* s, const uint8_t in[32]);
// s = (little-endian 32-bit words) mod n for up to 8 words.
void Ec256_ScalarFromWords(const Ec256Curve* c, Ec256Scalar* s, const uint32_t* words, uint32_t count);
// s = (32-byte big-endian draw mod (n - 1)) + 1, a private key in 1..n-1
// from 32 random bytes; constant time.
void Ec256_ScalarFromDraw(const Ec256Curve* c, Ec256Scalar* s, const uint8_t in[32]);
void Ec256_ScalarToBytes(uint8_t out[32], const Ec256Scalar* s);
// All-ones mask when s = 0, else zero.
uint64_t Ec256_ScalarIsZero(const Ec256Scalar* s);
// r = a + b, r = a * b, r = a^-1 (0 for 0) modulo n. r may alias operands.
void Ec256_ScalarAdd(const Ec256Curve* c, Ec256Scalar* r, const Ec256Scalar* a, const Ec256Scalar* b);
void Ec256_ScalarMul(const Ec256Curve* c, Ec256Scalar* r, const Ec256Scalar* a, const Ec256Scalar* b);
void Ec256_ScalarInv(const Ec256Curve* c, Ec256Scalar* r, const Ec256Scalar* a);
// r = a^-1 modulo n (0 for 0) in variable time, for public a (verification).
void Ec256_ScalarInvVartime(const Ec256Curve* c, Ec256Scalar* r, const Ec256Scalar* a);

// out = k*G (fixed-base table), constant time in k.
void Ec256_MulGen(const Ec256Curve* c, Ec256Point* out, const Ec256Scalar* k);
// out[i] = k[i]*G for two scalars with one shared inversion (a private key
// and its child take both public keys at once); constant time in both.
void Ec256_MulGen2(const Ec256Curve* c, Ec256Point out[2], const Ec256Scalar k[2]);
// out = k*P for an affine P given as coordinates below p (the caller has
// checked it lies on the curve), constant time in k and P.
void Ec256_Mul(const Ec256Curve* c, Ec256Point* out, const Ec256Scalar* k, const uint8_t px[32],
               const uint8_t py[32]);
// out = a*G + b*P for public a, b and a public point P of the curve (P is
// not read when b = 0).
void Ec256_MulGenAddVartime(const Ec256Curve* c, Ec256Point* out, const Ec256Scalar* a, const Ec256Scalar* b,
                            const uint8_t px[32], const uint8_t py[32]);
// out = a + b for public points of the curve (doubling and infinity
// included).
void Ec256_AddVartime(const Ec256Curve* c, Ec256Point* out, const Ec256Point* a, const Ec256Point* b);
// True when a*G + b*P is a finite point whose x coordinate is congruent to r
// modulo n, for public a, b, r and a point P of the curve: the last step of
// an ECDSA verification, without turning the sum affine.
bool Ec256_VerifyXVartime(const Ec256Curve* c, const Ec256Scalar* a, const Ec256Scalar* b, const uint8_t px[32],
                          const uint8_t py[32], const Ec256Scalar* r);

// 1 when the Jacobian point (X/Z^2, Y/Z^3) satisfies the curve equation,
// Y^2 = X^3 + a X Z^4 + b Z^6 modulo p, else 0 (coordinates below 2^256,
// taken modulo p). Constant time: the point may be a shared secret.
int Ec256_IsOnCurve(const Ec256Curve* c, const uint8_t X[32], const uint8_t Y[32], const uint8_t Z[32]);

// out = in^-1 modulo p (0 for 0) for in below p, constant time.
void Ec256_FieldInv(const Ec256Curve* c, uint8_t out[32], const uint8_t in[32]);

// y = the square root of x^3 + ax + b with the given parity (bit 0), for
// x below p. False when x^3 + ax + b is zero or not a square. Public data
// only (key decoding).
bool Ec256_DecompressVartime(const Ec256Curve* c, uint8_t y[32], const uint8_t x[32], uint32_t parity);

#endif
