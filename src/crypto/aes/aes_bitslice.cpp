// Bitsliced AES. A word type W carries 16-bit lanes, one block per lane; in
// plane q[b] of a lane, bit 4*row + col is bit b of the state byte at (row,
// col). ShiftRows and MixColumns are then shifts and masks inside each lane,
// and SubBytes is the 113-gate circuit of Boyar and Peralta applied to the
// eight planes at once. Blocks are packed with bit-matrix transpositions.
// Every loop bound and branch here depends only on block counts and round
// numbers, never on key or data bits: keep it that way.
#include "crypto/aes/aes_bitslice.h"

#include <cstdint>
#include <cstring>

#include "crypto/digest_util.h"
#include "platform/memory.h"

namespace {

using Lanes1 = uint16_t;                                                 // one block
using Lanes8 = uint64_t __attribute__((vector_size(16)));     // eight blocks

template <class W>
inline W Splat(uint16_t m);
template <>
inline Lanes1 Splat<Lanes1>(uint16_t m) {
  return m;
}
template <>
inline Lanes8 Splat<Lanes8>(uint16_t m) {
  const uint64_t v = uint64_t{m} * 0x0001000100010001ull;
  return Lanes8{v, v};
}

template <class W>
constexpr size_t kLanes = sizeof(W) / 2;

// Swaps bit p with bit p + s for every p set in m.
template <class W>
inline W DeltaSwap(W x, int s, W m) {
  const W t = ((x >> s) ^ x) & m;
  return x ^ t ^ (t << s);
}

// 8x8 bit transpose: bit i of byte j goes to bit j of byte i.
inline uint64_t Transpose8(uint64_t x) {
  x = DeltaSwap<uint64_t>(x, 7, 0x00AA00AA00AA00AAull);
  x = DeltaSwap<uint64_t>(x, 14, 0x0000CCCC0000CCCCull);
  x = DeltaSwap<uint64_t>(x, 28, 0x00000000F0F0F0F0ull);
  return x;
}

// Byte k = 4*col + row of the block sits at bit k of a lane after the byte
// transposition; this moves it to bit 4*row + col (a 4x4 transpose).
template <class W>
inline W RowMajor(W x) {
  x = DeltaSwap<W>(x, 3, Splat<W>(0x0A0A));
  return DeltaSwap<W>(x, 6, Splat<W>(0x00CC));
}

template <class W>
void Pack(W* q, const unsigned char* blocks, size_t n) {
  uint16_t lanes[8][kLanes<W>] = {};
  for (size_t i = 0; i < n; ++i) {
    const uint64_t a = Transpose8(LoadLe64(blocks + 16 * i));
    const uint64_t b = Transpose8(LoadLe64(blocks + 16 * i + 8));
    for (int p = 0; p < 8; ++p) {
      lanes[p][i] = static_cast<uint16_t>(((a >> (8 * p)) & 0xFF) | (((b >> (8 * p)) & 0xFF) << 8));
    }
  }
  for (int p = 0; p < 8; ++p) {
    memcpy(&q[p], lanes[p], sizeof(W));
    q[p] = RowMajor<W>(q[p]);
  }
  Wipe(lanes, sizeof lanes);
}

template <class W>
void Unpack(unsigned char* blocks, size_t n, W* q) {
  uint16_t lanes[8][kLanes<W>];
  for (int p = 0; p < 8; ++p) {
    const W x = RowMajor<W>(q[p]);
    memcpy(lanes[p], &x, sizeof(W));
  }
  for (size_t i = 0; i < n; ++i) {
    uint64_t a = 0, b = 0;
    for (int p = 0; p < 8; ++p) {
      a |= uint64_t{static_cast<uint8_t>(lanes[p][i])} << (8 * p);
      b |= uint64_t{static_cast<uint8_t>(lanes[p][i] >> 8)} << (8 * p);
    }
    StoreLe64(blocks + 16 * i, Transpose8(a));
    StoreLe64(blocks + 16 * i + 8, Transpose8(b));
  }
  Wipe(lanes, sizeof lanes);
}

// SubBytes: the forward S-box as a circuit of 113 XOR, AND and XNOR gates
// (Boyar and Peralta). q[7] is the most significant bit.
template <class W>
void Sbox(W* q) {
  const W x0 = q[7], x1 = q[6], x2 = q[5], x3 = q[4], x4 = q[3], x5 = q[2], x6 = q[1], x7 = q[0];

  // Top linear transformation.
  const W y14 = x3 ^ x5;
  const W y13 = x0 ^ x6;
  const W y9 = x0 ^ x3;
  const W y8 = x0 ^ x5;
  const W t0 = x1 ^ x2;
  const W y1 = t0 ^ x7;
  const W y4 = y1 ^ x3;
  const W y12 = y13 ^ y14;
  const W y2 = y1 ^ x0;
  const W y5 = y1 ^ x6;
  const W y3 = y5 ^ y8;
  const W t1 = x4 ^ y12;
  const W y15 = t1 ^ x5;
  const W y20 = t1 ^ x1;
  const W y6 = y15 ^ x7;
  const W y10 = y15 ^ t0;
  const W y11 = y20 ^ y9;
  const W y7 = x7 ^ y11;
  const W y17 = y10 ^ y11;
  const W y19 = y10 ^ y8;
  const W y16 = t0 ^ y11;
  const W y21 = y13 ^ y16;
  const W y18 = x0 ^ y16;

  // Non-linear middle: inversion in GF(2^4)^2.
  const W t2 = y12 & y15;
  const W t3 = y3 & y6;
  const W t4 = t3 ^ t2;
  const W t5 = y4 & x7;
  const W t6 = t5 ^ t2;
  const W t7 = y13 & y16;
  const W t8 = y5 & y1;
  const W t9 = t8 ^ t7;
  const W t10 = y2 & y7;
  const W t11 = t10 ^ t7;
  const W t12 = y9 & y11;
  const W t13 = y14 & y17;
  const W t14 = t13 ^ t12;
  const W t15 = y8 & y10;
  const W t16 = t15 ^ t12;
  const W t17 = t4 ^ t14;
  const W t18 = t6 ^ t16;
  const W t19 = t9 ^ t14;
  const W t20 = t11 ^ t16;
  const W t21 = t17 ^ y20;
  const W t22 = t18 ^ y19;
  const W t23 = t19 ^ y21;
  const W t24 = t20 ^ y18;

  const W t25 = t21 ^ t22;
  const W t26 = t21 & t23;
  const W t27 = t24 ^ t26;
  const W t28 = t25 & t27;
  const W t29 = t28 ^ t22;
  const W t30 = t23 ^ t24;
  const W t31 = t22 ^ t26;
  const W t32 = t31 & t30;
  const W t33 = t32 ^ t24;
  const W t34 = t23 ^ t33;
  const W t35 = t27 ^ t33;
  const W t36 = t24 & t35;
  const W t37 = t36 ^ t34;
  const W t38 = t27 ^ t36;
  const W t39 = t29 & t38;
  const W t40 = t25 ^ t39;

  const W t41 = t40 ^ t37;
  const W t42 = t29 ^ t33;
  const W t43 = t29 ^ t40;
  const W t44 = t33 ^ t37;
  const W t45 = t42 ^ t41;
  const W z0 = t44 & y15;
  const W z1 = t37 & y6;
  const W z2 = t33 & x7;
  const W z3 = t43 & y16;
  const W z4 = t40 & y1;
  const W z5 = t29 & y7;
  const W z6 = t42 & y11;
  const W z7 = t45 & y17;
  const W z8 = t41 & y10;
  const W z9 = t44 & y12;
  const W z10 = t37 & y3;
  const W z11 = t33 & y4;
  const W z12 = t43 & y13;
  const W z13 = t40 & y5;
  const W z14 = t29 & y2;
  const W z15 = t42 & y9;
  const W z16 = t45 & y14;
  const W z17 = t41 & y8;

  // Bottom linear transformation, with the affine constant folded in.
  const W t46 = z15 ^ z16;
  const W t47 = z10 ^ z11;
  const W t48 = z5 ^ z13;
  const W t49 = z9 ^ z10;
  const W t50 = z2 ^ z12;
  const W t51 = z2 ^ z5;
  const W t52 = z7 ^ z8;
  const W t53 = z0 ^ z3;
  const W t54 = z6 ^ z7;
  const W t55 = z16 ^ z17;
  const W t56 = z12 ^ t48;
  const W t57 = t50 ^ t53;
  const W t58 = z4 ^ t46;
  const W t59 = z3 ^ t54;
  const W t60 = t46 ^ t57;
  const W t61 = z14 ^ t57;
  const W t62 = t52 ^ t58;
  const W t63 = t49 ^ t58;
  const W t64 = z4 ^ t59;
  const W t65 = t61 ^ t62;
  const W t66 = z1 ^ t63;
  const W s0 = t59 ^ t63;
  const W s6 = t56 ^ ~t62;
  const W s7 = t48 ^ ~t60;
  const W t67 = t64 ^ t65;
  const W s3 = t53 ^ t66;
  const W s4 = t51 ^ t66;
  const W s5 = t47 ^ t65;
  const W s1 = t64 ^ ~s3;
  const W s2 = t55 ^ ~t67;

  q[7] = s0;
  q[6] = s1;
  q[5] = s2;
  q[4] = s3;
  q[3] = s4;
  q[2] = s5;
  q[1] = s6;
  q[0] = s7;
}

// The inverse of the S-box's affine step: y -> A^-1 (y ^ 0x63). Applied
// around the forward circuit it gives the inverse S-box, since
// S^-1(y) = G(S(G(y))) with G that map.
template <class W>
void InvAffine(W* q) {
  W r[8];
  for (int i = 0; i < 8; ++i) r[i] = q[(i + 2) & 7] ^ q[(i + 5) & 7] ^ q[(i + 7) & 7];
  // A^-1(0x63) = 0x05: bits 0 and 2 are complemented.
  r[0] = ~r[0];
  r[2] = ~r[2];
  for (int i = 0; i < 8; ++i) q[i] = r[i];
}

template <class W>
void InvSbox(W* q) {
  InvAffine(q);
  Sbox(q);
  InvAffine(q);
}

// Out row r takes in row r + n (mod 4): the lane rotated right by 4n bits.
template <class W, int N>
inline W RotRows(W x) {
  constexpr uint16_t lo = static_cast<uint16_t>(0xFFFFu >> (4 * N));
  return ((x >> (4 * N)) & Splat<W>(lo)) | ((x << (16 - 4 * N)) & Splat<W>(static_cast<uint16_t>(~lo)));
}

// Row r moves r columns to the left: new col c = old col c + r.
template <class W>
inline W ShiftRowsPlane(W x) {
  return (x & Splat<W>(0x000F)) | ((x >> 1) & Splat<W>(0x0070)) | ((x << 3) & Splat<W>(0x0080)) |
         ((x >> 2) & Splat<W>(0x0300)) | ((x << 2) & Splat<W>(0x0C00)) | ((x >> 3) & Splat<W>(0x1000)) |
         ((x << 1) & Splat<W>(0xE000));
}

template <class W>
inline W InvShiftRowsPlane(W x) {
  return (x & Splat<W>(0x000F)) | ((x << 1) & Splat<W>(0x00E0)) | ((x >> 3) & Splat<W>(0x0010)) |
         ((x >> 2) & Splat<W>(0x0300)) | ((x << 2) & Splat<W>(0x0C00)) | ((x << 3) & Splat<W>(0x8000)) |
         ((x >> 1) & Splat<W>(0x7000));
}

template <class W>
void ShiftRows(W* q) {
  for (int i = 0; i < 8; ++i) q[i] = ShiftRowsPlane(q[i]);
}

template <class W>
void InvShiftRows(W* q) {
  for (int i = 0; i < 8; ++i) q[i] = InvShiftRowsPlane(q[i]);
}

// Multiplication of every byte by x: the planes move up one, and the top
// plane is folded back with 0x1b.
template <class W>
void XTime(W* out, const W* c) {
  out[0] = c[7];
  out[1] = c[0] ^ c[7];
  out[2] = c[1];
  out[3] = c[2] ^ c[7];
  out[4] = c[3] ^ c[7];
  out[5] = c[4];
  out[6] = c[5];
  out[7] = c[6];
}

// out[r] = 2a[r] ^ 3a[r+1] ^ a[r+2] ^ a[r+3] = 2c ^ a[r+1] ^ c[r+2] with
// c = a ^ a[r+1].
template <class W>
void MixColumns(W* q) {
  W c[8], x[8];
  for (int i = 0; i < 8; ++i) c[i] = q[i] ^ RotRows<W, 1>(q[i]);
  XTime(x, c);
  for (int i = 0; i < 8; ++i) q[i] = x[i] ^ RotRows<W, 1>(q[i]) ^ RotRows<W, 2>(c[i]);
}

// InvMixColumns = MixColumns after multiplying each column by 4x^2 + 5:
// u[r] = a[r] ^ 4 (a[r] ^ a[r+2]).
template <class W>
void InvMixColumns(W* q) {
  W d[8], d2[8], d4[8];
  for (int i = 0; i < 8; ++i) d[i] = q[i] ^ RotRows<W, 2>(q[i]);
  XTime(d2, d);
  XTime(d4, d2);
  for (int i = 0; i < 8; ++i) q[i] ^= d4[i];
  MixColumns(q);
}

template <class W>
inline void AddKey(W* q, const W* k) {
  for (int i = 0; i < 8; ++i) q[i] ^= k[i];
}

constexpr int kMaxRounds = 14;

// The round keys of the byte schedule in plane form, copied to every lane.
template <class W>
struct PlaneKeys {
  W k[kMaxRounds + 1][8];
  int rounds;

  PlaneKeys(const unsigned char* schedule, int nr) : rounds(nr) {
    for (int r = 0; r <= nr; ++r) {
      Lanes1 one[8];
      Pack<Lanes1>(one, schedule + 16 * r, 1);
      for (int p = 0; p < 8; ++p) k[r][p] = Splat<W>(one[p]);
      Wipe(one, sizeof one);
    }
  }
  ~PlaneKeys() { Wipe(k, sizeof k); }
  PlaneKeys(const PlaneKeys&) = delete;
  PlaneKeys& operator=(const PlaneKeys&) = delete;
};

template <class W>
void EncryptPlanes(W* q, const PlaneKeys<W>& rk) {
  AddKey(q, rk.k[0]);
  for (int r = 1; r < rk.rounds; ++r) {
    Sbox(q);
    ShiftRows(q);
    MixColumns(q);
    AddKey(q, rk.k[r]);
  }
  Sbox(q);
  ShiftRows(q);
  AddKey(q, rk.k[rk.rounds]);
}

template <class W>
void DecryptPlanes(W* q, const PlaneKeys<W>& rk) {
  AddKey(q, rk.k[rk.rounds]);
  for (int r = rk.rounds - 1; r > 0; --r) {
    InvShiftRows(q);
    InvSbox(q);
    AddKey(q, rk.k[r]);
    InvMixColumns(q);
  }
  InvShiftRows(q);
  InvSbox(q);
  AddKey(q, rk.k[0]);
}

template <class W, bool Decrypt>
void RunBlocks(unsigned char* blocks, size_t count, const unsigned char* schedule, int rounds) {
  const PlaneKeys<W> rk(schedule, rounds);
  W q[8];
  for (size_t done = 0; done < count;) {
    const size_t n = count - done < kLanes<W> ? count - done : kLanes<W>;
    Pack<W>(q, blocks + 16 * done, n);
    if constexpr (Decrypt) {
      DecryptPlanes(q, rk);
    } else {
      EncryptPlanes(q, rk);
    }
    Unpack<W>(blocks + 16 * done, n, q);
    done += n;
  }
  Wipe(q, sizeof q);
}

}  // namespace

void NXVT_AesCt_EncryptBlocks(unsigned char* blocks, size_t count, const unsigned char* schedule, int rounds) {
  if (count == 1) {
    RunBlocks<Lanes1, false>(blocks, count, schedule, rounds);
  } else {
    RunBlocks<Lanes8, false>(blocks, count, schedule, rounds);
  }
}

void NXVT_AesCt_DecryptBlocks(unsigned char* blocks, size_t count, const unsigned char* schedule, int rounds) {
  if (count == 1) {
    RunBlocks<Lanes1, true>(blocks, count, schedule, rounds);
  } else {
    RunBlocks<Lanes8, true>(blocks, count, schedule, rounds);
  }
}

void NXVT_AesCt_CbcEncrypt(unsigned char* data, size_t count, const unsigned char* schedule, int rounds,
                           unsigned char* iv) {
  const PlaneKeys<Lanes1> rk(schedule, rounds);
  Lanes1 q[8];
  const unsigned char* chain = iv;
  for (size_t i = 0; i < count; ++i) {
    unsigned char* block = data + 16 * i;
    for (int b = 0; b < 16; ++b) block[b] ^= chain[b];
    Pack<Lanes1>(q, block, 1);
    EncryptPlanes(q, rk);
    Unpack<Lanes1>(block, 1, q);
    chain = block;
  }
  if (count > 0) memcpy(iv, chain, 16);
  Wipe(q, sizeof q);
}

void NXVT_AesCt_CbcDecrypt(unsigned char* data, size_t count, const unsigned char* schedule, int rounds,
                           unsigned char* iv) {
  const PlaneKeys<Lanes8> rk(schedule, rounds);
  constexpr size_t kBatch = kLanes<Lanes8>;
  Lanes8 q[8];
  unsigned char kept[16 * kBatch];
  unsigned char chain[16];
  memcpy(chain, iv, 16);
  for (size_t done = 0; done < count;) {
    const size_t n = count - done < kBatch ? count - done : kBatch;
    unsigned char* p = data + 16 * done;
    memcpy(kept, p, 16 * n);
    Pack<Lanes8>(q, p, n);
    DecryptPlanes(q, rk);
    Unpack<Lanes8>(p, n, q);
    for (size_t b = 0; b < 16; ++b) p[b] ^= chain[b];
    for (size_t b = 16; b < 16 * n; ++b) p[b] ^= kept[b - 16];
    memcpy(chain, kept + 16 * (n - 1), 16);
    done += n;
  }
  memcpy(iv, chain, 16);
  Wipe(q, sizeof q);
  Wipe(kept, sizeof kept);
}

void NXVT_AesCt_Ctr(unsigned char* data, size_t len, const unsigned char* schedule, int rounds,
                    unsigned char* counter, int counterBytes) {
  const PlaneKeys<Lanes8> rk(schedule, rounds);
  constexpr size_t kBatch = kLanes<Lanes8>;
  Lanes8 q[8];
  unsigned char ks[16 * kBatch];
  for (size_t done = 0; done < len;) {
    const size_t bytes = len - done < sizeof ks ? len - done : sizeof ks;
    const size_t n = (bytes + 15) / 16;
    for (size_t b = 0; b < n; ++b) {
      memcpy(ks + 16 * b, counter, 16);
      // Branch-free carry: GCM's first counter block can come from the key.
      unsigned carry = 1;
      for (int i = 15; i >= 16 - counterBytes; --i) {
        const unsigned v = counter[i] + carry;
        counter[i] = static_cast<unsigned char>(v);
        carry = v >> 8;
      }
    }
    Pack<Lanes8>(q, ks, n);
    EncryptPlanes(q, rk);
    Unpack<Lanes8>(ks, n, q);
    unsigned char* p = data + done;
    size_t b = 0;
    for (; b + 8 <= bytes; b += 8) StoreLe64(p + b, LoadLe64(p + b) ^ LoadLe64(ks + b));
    for (; b < bytes; ++b) p[b] ^= ks[b];
    done += bytes;
  }
  Wipe(q, sizeof q);
  Wipe(ks, sizeof ks);
}

void NXVT_AesCt_SubWord(unsigned char* word) {
  Lanes1 q[8] = {};
  for (int b = 0; b < 8; ++b) {
    for (int j = 0; j < 4; ++j) q[b] = static_cast<Lanes1>(q[b] | (((word[j] >> b) & 1) << j));
  }
  Sbox(q);
  for (int j = 0; j < 4; ++j) {
    unsigned v = 0;
    for (int b = 0; b < 8; ++b) v |= ((q[b] >> j) & 1u) << b;
    word[j] = static_cast<unsigned char>(v);
  }
  Wipe(q, sizeof q);
}
