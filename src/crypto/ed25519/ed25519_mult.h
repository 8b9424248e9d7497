// The point multiplications of Ed25519 signing, key derivation and
// verification, over a field of five 51-bit limbs with lazy carries.
//
// Multiples of the base point come from a table built once per process
// (immutable, shared by all threads) and are read by masked selection over
// every entry, so [s]B runs the same instructions for every scalar.
#ifndef TOLVARIS_CRYPTO_ED25519_ED25519_MULT_H
#define TOLVARIS_CRYPTO_ED25519_ED25519_MULT_H

// out = encode([s]B) for a 32-byte little-endian scalar (all 256 bits are
// used). Constant time in s.
void Ed25519_MulBaseEncode(unsigned char out[32], const unsigned char s[32]);

// out1 = encode([s1]B) and out2 = encode([s2]B), sharing one field
// inversion. Constant time in s1 and s2.
void Ed25519_MulBaseEncode2(unsigned char out1[32], const unsigned char s1[32], unsigned char out2[32],
                            const unsigned char s2[32]);

// out = encode([a]B - [b]P) for public scalars a, b (32 bytes little-endian,
// all 256 bits used) and the point P encoded in pEnc. False, nothing written,
// when pEnc does not decode (y >= p, no square root, or x = 0 with the sign
// bit set). Variable time: for verification only.
bool Ed25519_DoubleMulEncodeVartime(unsigned char out[32], const unsigned char a[32], const unsigned char b[32],
                                    const unsigned char pEnc[32]);

#endif
