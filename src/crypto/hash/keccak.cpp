// Keccak-f[1600] and the one-shot sponge with the original Keccak padding
// (0x01 after the message, 0x80 at the end of the rate), as used by the
// Keccak-224/256/384/512 hash ids.
#include "crypto/hash/keccak.h"

#include <cstring>

#include "crypto/digest_util.h"
#include "platform/memory.h"

namespace {

constexpr uint64_t kRoundConst[24] = {
    0x0000000000000001ull, 0x0000000000008082ull, 0x800000000000808aull, 0x8000000080008000ull,
    0x000000000000808bull, 0x0000000080000001ull, 0x8000000080008081ull, 0x8000000000008009ull,
    0x000000000000008aull, 0x0000000000000088ull, 0x0000000080008009ull, 0x000000008000000aull,
    0x000000008000808bull, 0x800000000000008bull, 0x8000000000008089ull, 0x8000000000008003ull,
    0x8000000000008002ull, 0x8000000000000080ull, 0x000000000000800aull, 0x800000008000000aull,
    0x8000000080008081ull, 0x8000000000008080ull, 0x0000000080000001ull, 0x8000000080008008ull};

// The pi walk from lane (1, 0): each lane index with the rho offset (the
// triangular numbers mod 64) of the lane that moves into it.
constexpr int kPiLane[24] = {10, 7, 11, 17, 18, 3, 5, 16, 8, 21, 24, 4, 15, 23, 19, 13, 12, 2, 20, 14, 22, 9, 6, 1};
constexpr int kRhoOffset[24] = {1,  3,  6,  10, 15, 21, 28, 36, 45, 55, 2,  14,
                                27, 41, 56, 8,  25, 43, 62, 18, 39, 61, 20, 44};

inline uint64_t Rotl(uint64_t x, int n) { return n == 0 ? x : (x << n) | (x >> (64 - n)); }

constexpr int kStateBytes = 200;

}  // namespace

namespace {

// The 24 rounds on the state as 25 lanes. The loops are unrolled, so every
// index and rotation is a constant and the lanes stay in registers.
void Rounds(uint64_t* a) {
  uint64_t c[5];
  for (int round = 0; round < 24; ++round) {
    // theta
#pragma GCC unroll 5
    for (int x = 0; x < 5; ++x) c[x] = a[x] ^ a[x + 5] ^ a[x + 10] ^ a[x + 15] ^ a[x + 20];
#pragma GCC unroll 5
    for (int x = 0; x < 5; ++x) {
      const uint64_t d = c[(x + 4) % 5] ^ Rotl(c[(x + 1) % 5], 1);
#pragma GCC unroll 5
      for (int y = 0; y < 25; y += 5) a[y + x] ^= d;
    }
    // rho and pi together, along the single 24-lane cycle
    uint64_t carry = a[1];
#pragma GCC unroll 24
    for (int i = 0; i < 24; ++i) {
      const int j = kPiLane[i];
      const uint64_t next = a[j];
      a[j] = Rotl(carry, kRhoOffset[i]);
      carry = next;
    }
    // chi, row by row from the row's old values
#pragma GCC unroll 5
    for (int y = 0; y < 25; y += 5) {
#pragma GCC unroll 5
      for (int x = 0; x < 5; ++x) c[x] = a[y + x];
#pragma GCC unroll 5
      for (int x = 0; x < 5; ++x) a[y + x] = c[x] ^ (~c[(x + 1) % 5] & c[(x + 2) % 5]);
    }
    // iota
    a[0] ^= kRoundConst[round];
  }
  Wipe(c, sizeof c);
}

}  // namespace

void NXVT_Keccak_F1600(unsigned char state[200]) {
  uint64_t a[25];
  for (int i = 0; i < 25; ++i) a[i] = LoadLe64(state + 8 * i);
  Rounds(a);
  for (int i = 0; i < 25; ++i) StoreLe64(state + 8 * i, a[i]);
  Wipe(a, sizeof a);
}

namespace {

// The sponge for a rate of whole lanes (every Keccak hash id): the state
// stays in lanes from the first block to the last output byte.
int LaneSponge(int rate, unsigned char* out, const unsigned char* msg, size_t left, size_t outBytes) {
  const int lanes = rate / 8;
  uint64_t a[25] = {0};
  while (left >= static_cast<size_t>(rate)) {
    for (int k = 0; k < lanes; ++k) a[k] ^= LoadLe64(msg + 8 * k);
    Rounds(a);
    msg += rate;
    left -= static_cast<size_t>(rate);
  }
  unsigned char last[kStateBytes] = {0};
  memcpy(last, msg, left);
  last[left] ^= 0x01;
  last[rate - 1] ^= 0x80;
  for (int k = 0; k < lanes; ++k) a[k] ^= LoadLe64(last + 8 * k);
  Rounds(a);
  while (true) {
    for (int k = 0; k < lanes; ++k) StoreLe64(last + 8 * k, a[k]);
    const size_t take = outBytes < static_cast<size_t>(rate) ? outBytes : static_cast<size_t>(rate);
    memcpy(out, last, take);
    out += take;
    outBytes -= take;
    if (outBytes == 0) break;
    Rounds(a);
  }
  Wipe(a, sizeof a);
  Wipe(last, sizeof last);
  return 1;
}

}  // namespace

int NXVT_Keccak_Hash(int32_t capacityBits, unsigned char* out, const unsigned char* msg, int32_t msgLen,
                     int32_t outBits) {
  // The rate must be 1..200 bytes: a capacity outside 0..1592 bits would give
  // a zero rate (endless squeeze, division by zero) or one wider than the state.
  if (capacityBits < 0 || capacityBits > 1592) return 0;
  if (out == nullptr || msg == nullptr || msgLen < 0 || outBits < 8) return 0;
  const int rate = (1600 - capacityBits) / 8;

  if (rate % 8 == 0) return LaneSponge(rate, out, msg, static_cast<size_t>(msgLen), static_cast<size_t>(outBits / 8));

  unsigned char st[kStateBytes];
  memset(st, 0, sizeof st);
  ScopedWipe wipeState(st, sizeof st);

  size_t left = static_cast<size_t>(msgLen);
  const unsigned char* p = msg;
  while (left >= static_cast<size_t>(rate)) {
    for (int k = 0; k < rate; ++k) st[k] ^= p[k];
    NXVT_Keccak_F1600(st);
    p += rate;
    left -= static_cast<size_t>(rate);
  }
  for (size_t k = 0; k < left; ++k) st[k] ^= p[k];
  st[left] ^= 0x01;
  st[rate - 1] ^= 0x80;
  NXVT_Keccak_F1600(st);

  size_t outBytes = static_cast<size_t>(outBits / 8);
  unsigned char* o = out;
  while (outBytes > static_cast<size_t>(rate)) {
    memcpy(o, st, static_cast<size_t>(rate));
    NXVT_Keccak_F1600(st);
    o += rate;
    outBytes -= static_cast<size_t>(rate);
  }
  memcpy(o, st, outBytes);
  return 1;
}
