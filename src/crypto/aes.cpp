// AES-128 and AES-256 (FIPS 197): key expansion with the round keys of the
// equivalent inverse cipher, and T-table block routines with the rounds
// unrolled at compile time.
#include "crypto/aes.h"

#include <cstring>
#include <utility>

#include "crypto/memory.h"

namespace {

constexpr uint8_t XTime(uint8_t x) { return static_cast<uint8_t>((x << 1) ^ ((x >> 7) * 0x1b)); }

constexpr uint8_t GfMul(uint8_t a, uint8_t b) {
  uint8_t r = 0;
  while (b != 0) {
    if (b & 1) r ^= a;
    a = XTime(a);
    b >>= 1;
  }
  return r;
}

constexpr uint8_t GfInverse(uint8_t x) {
  // x^254 = x^-1 in GF(2^8); 0 maps to 0.
  uint8_t result = 1, base = x;
  for (int e = 254; e != 0; e >>= 1) {
    if (e & 1) result = GfMul(result, base);
    base = GfMul(base, base);
  }
  return x == 0 ? 0 : result;
}

constexpr uint8_t Rotl8(uint8_t x, int n) { return static_cast<uint8_t>((x << n) | (x >> (8 - n))); }

// Layout 0: words loaded little-endian (row 0 in the low byte); layout 1:
// words loaded big-endian (row 0 in the high byte).
constexpr int Shift(int layout, int row) { return layout == 0 ? 8 * row : 24 - 8 * row; }

struct AesTables {
  uint8_t sbox[256];
  uint8_t invSbox[256];
  uint8_t rcon[16];
  uint32_t te[2][4][256];   // SubBytes + MixColumns, per input row
  uint32_t td[2][4][256];   // InvSubBytes + InvMixColumns, per input row
  uint32_t imc[2][4][256];  // InvMixColumns alone, for the decryption keys
};

constexpr AesTables MakeTables() {
  AesTables t{};
  for (int x = 0; x < 256; ++x) {
    const uint8_t inv = GfInverse(static_cast<uint8_t>(x));
    const uint8_t s = static_cast<uint8_t>(inv ^ Rotl8(inv, 1) ^ Rotl8(inv, 2) ^ Rotl8(inv, 3) ^ Rotl8(inv, 4) ^ 0x63);
    t.sbox[x] = s;
    t.invSbox[s] = static_cast<uint8_t>(x);
  }
  uint8_t rc = 1;
  for (int i = 0; i < 16; ++i) {
    t.rcon[i] = rc;
    rc = XTime(rc);
  }
  constexpr uint8_t mix[4] = {2, 3, 1, 1};
  constexpr uint8_t invMix[4] = {0x0e, 0x0b, 0x0d, 0x09};
  for (int layout = 0; layout < 2; ++layout) {
    for (int k = 0; k < 4; ++k) {
      for (int x = 0; x < 256; ++x) {
        uint32_t e = 0, d = 0, m = 0;
        for (int r = 0; r < 4; ++r) {
          // Output row r takes input row k with coefficient m[(k - r) mod 4].
          const int c = (k - r) & 3;
          e |= static_cast<uint32_t>(GfMul(t.sbox[x], mix[c])) << Shift(layout, r);
          d |= static_cast<uint32_t>(GfMul(t.invSbox[x], invMix[c])) << Shift(layout, r);
          m |= static_cast<uint32_t>(GfMul(static_cast<uint8_t>(x), invMix[c])) << Shift(layout, r);
        }
        t.te[layout][k][x] = e;
        t.td[layout][k][x] = d;
        t.imc[layout][k][x] = m;
      }
    }
  }
  return t;
}

constexpr AesTables kTables = MakeTables();

template <int L>
inline uint32_t Load(const unsigned char* p) {
  if constexpr (L == 0) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  } else {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
  }
}

template <int L>
inline void Store(unsigned char* p, uint32_t w) {
  for (int r = 0; r < 4; ++r) p[r] = static_cast<unsigned char>(w >> Shift(L, r));
}

template <int L>
inline uint32_t Row(uint32_t w, int r) {
  return (w >> Shift(L, r)) & 0xff;
}

template <int L, int Nr>
void EncryptBlock(unsigned char* block, const unsigned char* rk) {
  const auto& te = kTables.te[L];
  uint32_t s[4];
  for (int j = 0; j < 4; ++j) s[j] = Load<L>(block + 4 * j) ^ Load<L>(rk + 4 * j);
  auto round = [&](int i) {
    const unsigned char* k = rk + 16 * i;
    uint32_t t[4];
    for (int j = 0; j < 4; ++j) {
      t[j] = te[0][Row<L>(s[j], 0)] ^ te[1][Row<L>(s[(j + 1) & 3], 1)] ^ te[2][Row<L>(s[(j + 2) & 3], 2)] ^
             te[3][Row<L>(s[(j + 3) & 3], 3)] ^ Load<L>(k + 4 * j);
    }
    for (int j = 0; j < 4; ++j) s[j] = t[j];
  };
  [&]<size_t... I>(std::index_sequence<I...>) { (round(static_cast<int>(I) + 1), ...); }
  (std::make_index_sequence<Nr - 1>{});
  const unsigned char* k = rk + 16 * Nr;
  for (int j = 0; j < 4; ++j) {
    uint32_t w = 0;
    for (int r = 0; r < 4; ++r) w |= uint32_t(kTables.sbox[Row<L>(s[(j + r) & 3], r)]) << Shift(L, r);
    Store<L>(block + 4 * j, w ^ Load<L>(k + 4 * j));
  }
}

template <int L, int Nr>
void DecryptBlock(unsigned char* block, const unsigned char* schedule) {
  const auto& td = kTables.td[L];
  const unsigned char* dk = schedule + 16 * (Nr + 1);
  uint32_t s[4];
  for (int j = 0; j < 4; ++j) s[j] = Load<L>(block + 4 * j) ^ Load<L>(dk + 16 * Nr + 4 * j);
  auto round = [&](int i) {
    const unsigned char* k = dk + 16 * i;
    uint32_t t[4];
    for (int j = 0; j < 4; ++j) {
      t[j] = td[0][Row<L>(s[j], 0)] ^ td[1][Row<L>(s[(j + 3) & 3], 1)] ^ td[2][Row<L>(s[(j + 2) & 3], 2)] ^
             td[3][Row<L>(s[(j + 1) & 3], 3)] ^ Load<L>(k + 4 * j);
    }
    for (int j = 0; j < 4; ++j) s[j] = t[j];
  };
  [&]<size_t... I>(std::index_sequence<I...>) { (round(Nr - 1 - static_cast<int>(I)), ...); }
  (std::make_index_sequence<Nr - 1>{});
  for (int j = 0; j < 4; ++j) {
    uint32_t w = 0;
    for (int r = 0; r < 4; ++r) w |= uint32_t(kTables.invSbox[Row<L>(s[(j - r) & 3], r)]) << Shift(L, r);
    Store<L>(block + 4 * j, w ^ Load<L>(dk + 4 * j));
  }
}

// Round keys of the equivalent inverse cipher: 0 and Nr copied, the others
// through InvMixColumns, stored in the second half in the same order.
template <int L>
void InverseKeys(unsigned char* schedule, int nr) {
  const auto& imc = kTables.imc[L];
  unsigned char* dk = schedule + 16 * (nr + 1);
  memcpy(dk, schedule, 16);
  memcpy(dk + 16 * nr, schedule + 16 * nr, 16);
  for (int i = 4; i < 4 * nr; ++i) {
    const uint32_t w = Load<L>(schedule + 4 * i);
    Store<L>(dk + 4 * i, imc[0][Row<L>(w, 0)] ^ imc[1][Row<L>(w, 1)] ^ imc[2][Row<L>(w, 2)] ^ imc[3][Row<L>(w, 3)]);
  }
}

void ExpandKey(unsigned char* schedule, const unsigned char* key, int nk, int nr) {
  memcpy(schedule, key, static_cast<size_t>(4 * nk));
  unsigned char temp[4];
  for (int i = nk; i < 4 * (nr + 1); ++i) {
    memcpy(temp, schedule + 4 * (i - 1), 4);
    if (i % nk == 0) {
      const unsigned char first = temp[0];
      temp[0] = static_cast<unsigned char>(kTables.sbox[temp[1]] ^ kTables.rcon[i / nk - 1]);
      temp[1] = kTables.sbox[temp[2]];
      temp[2] = kTables.sbox[temp[3]];
      temp[3] = kTables.sbox[first];
    } else if (nk > 6 && i % nk == 4) {
      for (int b = 0; b < 4; ++b) temp[b] = kTables.sbox[temp[b]];
    }
    for (int b = 0; b < 4; ++b) schedule[4 * i + b] = schedule[4 * (i - nk) + b] ^ temp[b];
  }
  Wipe(temp, sizeof temp);
  if (HostEndianFlag == 1) {
    InverseKeys<0>(schedule, nr);
  } else {
    InverseKeys<1>(schedule, nr);
  }
}

}  // namespace

void AesBlockWithLayout(unsigned char* block, const unsigned char* schedule, int rounds, bool decrypt,
                        bool littleEndianLoads) {
  if (rounds == 10) {
    if (decrypt) {
      littleEndianLoads ? DecryptBlock<0, 10>(block, schedule) : DecryptBlock<1, 10>(block, schedule);
    } else {
      littleEndianLoads ? EncryptBlock<0, 10>(block, schedule) : EncryptBlock<1, 10>(block, schedule);
    }
  } else if (rounds == 14) {
    if (decrypt) {
      littleEndianLoads ? DecryptBlock<0, 14>(block, schedule) : DecryptBlock<1, 14>(block, schedule);
    } else {
      littleEndianLoads ? EncryptBlock<0, 14>(block, schedule) : EncryptBlock<1, 14>(block, schedule);
    }
  }
}

void NXVT_AES128_SetKey(unsigned char* schedule, const unsigned char* key, uint32_t keyLen) {
  (void)keyLen;
  ExpandKey(schedule, key, 4, 10);
}

void NXVT_AES256_SetKey(unsigned char* schedule, const unsigned char* key, uint32_t keyLen) {
  (void)keyLen;
  ExpandKey(schedule, key, 8, 14);
}

void NXVT_AES128_EncryptBlock(unsigned char* block, const unsigned char* schedule) {
  if (HostEndianFlag == 1) {
    EncryptBlock<0, 10>(block, schedule);
  } else {
    EncryptBlock<1, 10>(block, schedule);
  }
}

void NXVT_AES128_DecryptBlock(unsigned char* block, const unsigned char* schedule) {
  if (HostEndianFlag == 1) {
    DecryptBlock<0, 10>(block, schedule);
  } else {
    DecryptBlock<1, 10>(block, schedule);
  }
}

void NXVT_AES256_EncryptBlock(unsigned char* block, const unsigned char* schedule) {
  if (HostEndianFlag == 1) {
    EncryptBlock<0, 14>(block, schedule);
  } else {
    EncryptBlock<1, 14>(block, schedule);
  }
}

void NXVT_AES256_DecryptBlock(unsigned char* block, const unsigned char* schedule) {
  if (HostEndianFlag == 1) {
    DecryptBlock<0, 14>(block, schedule);
  } else {
    DecryptBlock<1, 14>(block, schedule);
  }
}

const NXVT_CIPHER_DESC NXVT_AES128_DESC = {16, kAes128ScheduleSize, NXVT_AES128_SetKey, NXVT_AES128_EncryptBlock,
                                           NXVT_AES128_DecryptBlock};
const NXVT_CIPHER_DESC NXVT_AES256_DESC = {16, kAes256ScheduleSize, NXVT_AES256_SetKey, NXVT_AES256_EncryptBlock,
                                           NXVT_AES256_DecryptBlock};
