// Keccak-224/256/384/512 with the original padding: reference values,
// differential runs against pycryptodome on every build of the permutation
// and the sponge's argument limits.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "cpu_paths_testing.h"
#include "crypto/hash/digest.h"
#include "crypto/hash/keccak.h"
#include "tv_test.h"

namespace {

using tvt::Bytes;

std::string Keccak(HashId id, const Bytes& msg) {
  unsigned char out[64];
  int32_t len = sizeof out;
  static const unsigned char kEmpty = 0;
  EXPECT_EQ(DoDigest(id, msg.empty() ? &kEmpty : msg.data(), static_cast<uint32_t>(msg.size()), out, &len), 0);
  return tvt::Hex(out, static_cast<size_t>(len));
}

TEST(Keccak, EmptyMessage) {
  EXPECT_EQ(Keccak(10, {}), "f71837502ba8e10837bdd8d365adb85591895602fc552b48b7390abd");
  EXPECT_EQ(Keccak(11, {}), "c5d2460186f7233c927e7db2dcc703c0e500b653ca82273b7bfad8045d85a470");
  EXPECT_EQ(Keccak(12, {}),
            "2c23146a63a29acf99e73b88f8c24eaa7dc60aa771780ccc006afbfa8fe2479b2dd2b21362337441ac12b515911957ff");
  EXPECT_EQ(Keccak(13, {}),
            "0eab42de4c3ceb9235fc91acffe746b29c29a8c366b7c60e4e67c466f36a4304c00fa9caf9d87976ba469bcbe06713b435f091ef2769fb160cdab33d3670680e");
  EXPECT_NE(Keccak(11, {}), "a7ffc6f8bf1ed76651c14756a061d662f580ff4de43b49fa82d80a4b80f8434a");  // SHA3-256
}

// Lengths 0..4096 hit R-1, R and R+1 (and 2R) for every rate 144, 136, 104,
// 72, and many whole blocks; the message starts at every offset mod 16 in
// turn. Every build of the permutation gives pycryptodome's digests.
TEST(Keccak, MatchesPycryptodomeOnEveryLength) {
  tvt::TestRng rng(11);
  const Bytes buf = rng.RandBytes(4096 + 16);
  std::string input;
  for (size_t n = 0; n <= 4096; ++n) input += (n == 0 ? "-" : tvt::Hex(buf.data() + n % 16, n)) + "\n";
  const std::string script = R"(
import sys
from Cryptodome.Hash import keccak
for line in sys.stdin:
    line = line.strip()
    data = b"" if line == "-" else bytes.fromhex(line)
    print(" ".join(keccak.new(digest_bits=b, data=data).hexdigest() for b in (224, 256, 384, 512)))
)";
  std::istringstream out(tvt::RunPython(script, input));
  std::vector<std::array<std::string, 4>> want(4097);
  for (auto& w : want) out >> w[0] >> w[1] >> w[2] >> w[3];
  ASSERT_EQ(want[4096][3].size(), 128u);
  cput::OnEveryPath([&] {
    for (size_t n = 0; n <= 4096; ++n) {
      const Bytes msg(buf.data() + n % 16, buf.data() + n % 16 + n);
      for (int k = 0; k < 4; ++k) ASSERT_EQ(Keccak(static_cast<HashId>(10 + k), msg), want[n][k]) << n;
    }
  });
}

// The permutation on the byte state, which the sponge uses for rates that
// are no whole number of lanes: every build agrees with the portable loop
// on random states, and a state run through it twice.
TEST(Keccak, PermutationBuildsAgree) {
  tvt::TestRng rng(12);
  for (int i = 0; i < 50; ++i) {
    const Bytes start = rng.RandBytes(200);
    Bytes want = start;
    {
      cput::ForcedPath portable(true);
      NXVT_Keccak_F1600(want.data());
      NXVT_Keccak_F1600(want.data());
    }
    cput::OnEveryPath([&] {
      Bytes st = start;
      NXVT_Keccak_F1600(st.data());
      NXVT_Keccak_F1600(st.data());
      ASSERT_EQ(tvt::Hex(st), tvt::Hex(want)) << i;
    });
  }
}

// The sponge at rates that are no whole number of lanes, from one byte to
// the whole state, and at the four hash rates, against a reference in
// Python over its own Keccak-f[1600] (which checks itself against
// pycryptodome at the hash rates first): messages from empty to past two
// blocks, outputs from one byte to past two blocks, each a prefix of the
// longest. Every build of the permutation gives the same bytes.
TEST(Keccak, SpongeAtOddRatesMatchesReference) {
  const int32_t capacities[] = {0, 1, 448, 500, 512, 513, 768, 900, 1024, 1100, 1550, 1591};
  tvt::TestRng rng(13);
  const Bytes buf = rng.RandBytes(2 * 200 + 16);
  struct Case {
    int32_t capacity;
    size_t rate, len;
  };
  std::vector<Case> cases;
  std::string input;
  for (int32_t cap : capacities) {
    const size_t rate = static_cast<size_t>(1600 - cap) / 8;
    for (size_t len : {size_t{0}, size_t{1}, rate - 1, rate, rate + 1, 2 * rate + 5}) {
      cases.push_back({cap, rate, len});
      input += std::to_string(rate) + " " + (len == 0 ? "-" : tvt::Hex(buf.data() + len % 16, len)) + " " +
               std::to_string(2 * rate + 3) + "\n";
    }
  }
  const std::string reference = R"(
import sys
from Cryptodome.Hash import keccak
M = (1 << 64) - 1
def lfsr():
    r = 1
    while True:
        yield r & 1
        r = ((r << 1) ^ 0x71) & 0xFF if r & 0x80 else r << 1
bits = lfsr()
RC = []
for _ in range(24):
    rc = 0
    for j in range(7):
        if next(bits):
            rc |= 1 << ((1 << j) - 1)
    RC.append(rc)
ROT = [0] * 25
x, y = 1, 0
for t in range(24):
    ROT[x + 5 * y] = (t + 1) * (t + 2) // 2 % 64
    x, y = y, (2 * x + 3 * y) % 5
def rol(v, n):
    return ((v << n) | (v >> (64 - n))) & M if n else v
def permute(st):
    a = [int.from_bytes(st[8 * i:8 * i + 8], "little") for i in range(25)]
    for rc in RC:
        c = [a[x] ^ a[x + 5] ^ a[x + 10] ^ a[x + 15] ^ a[x + 20] for x in range(5)]
        d = [c[(x - 1) % 5] ^ rol(c[(x + 1) % 5], 1) for x in range(5)]
        b = [0] * 25
        for x in range(5):
            for y in range(5):
                b[y + 5 * ((2 * x + 3 * y) % 5)] = rol(a[x + 5 * y] ^ d[x], ROT[x + 5 * y])
        a = [b[i] ^ (~b[(i + 1) % 5 + i - i % 5] & b[(i + 2) % 5 + i - i % 5]) for i in range(25)]
        a[0] ^= rc
    return bytearray(b"".join(v.to_bytes(8, "little") for v in a))
def sponge(rate, msg, n):
    p = bytearray(msg) + b"\x01"
    p += bytes(-len(p) % rate)
    p[-1] |= 0x80
    st = bytearray(200)
    for i in range(0, len(p), rate):
        for j in range(rate):
            st[j] ^= p[i + j]
        st = permute(st)
    out = bytearray()
    while True:
        out += st[:rate]
        if len(out) >= n:
            return bytes(out[:n])
        st = permute(st)
for bits in (224, 256, 384, 512):
    for m in (b"", b"abc", bytes(range(200))):
        assert sponge(200 - bits // 4, m, bits // 8) == keccak.new(digest_bits=bits, data=m).digest()
for line in sys.stdin:
    rate, msg, n = line.split()
    print(sponge(int(rate), b"" if msg == "-" else bytes.fromhex(msg), int(n)).hex())
)";
  std::istringstream out(tvt::RunPython(reference, input));
  std::vector<std::string> want(cases.size());
  for (auto& w : want) out >> w;
  ASSERT_EQ(want.back().size(), 2 * (2 * cases.back().rate + 3));
  cput::OnEveryPath([&] {
    for (size_t i = 0; i < cases.size(); ++i) {
      const Case& c = cases[i];
      for (size_t n : {size_t{1}, c.rate, c.rate + 1, 2 * c.rate + 3}) {
        Bytes got(n + 1, 0xAA);
        ASSERT_EQ(NXVT_Keccak_Hash(c.capacity, got.data(), buf.data() + c.len % 16, static_cast<int32_t>(c.len),
                                   static_cast<int32_t>(8 * n + 7)),
                  1);
        EXPECT_EQ(got[n], 0xAA) << "wrote past the output, capacity " << c.capacity;
        ASSERT_EQ(tvt::Hex(got.data(), n), want[i].substr(0, 2 * n))
            << "capacity " << c.capacity << " length " << c.len << " output " << n;
      }
    }
  });
}

// Rates outside 1..200 bytes are refused without touching the output; the
// extreme valid rates work, and a long squeeze extends a short one.
TEST(Keccak, SpongeArgumentLimits) {
  const unsigned char msg[4] = {1, 2, 3, 4};
  unsigned char out[600];
  for (int32_t cap : {-8, -1, INT32_MIN, 1593, 1599, 1600, 1601, INT32_MAX}) {
    memset(out, 0xAA, sizeof out);
    EXPECT_EQ(NXVT_Keccak_Hash(cap, out, msg, 4, 256), 0) << cap;
    EXPECT_EQ(out[0], 0xAA);
  }
  EXPECT_EQ(NXVT_Keccak_Hash(512, out, msg, -1, 256), 0);
  EXPECT_EQ(NXVT_Keccak_Hash(512, out, msg, INT32_MIN, 256), 0);
  EXPECT_EQ(NXVT_Keccak_Hash(512, out, msg, 4, 7), 0);
  EXPECT_EQ(NXVT_Keccak_Hash(512, out, msg, 4, -8), 0);
  EXPECT_EQ(NXVT_Keccak_Hash(512, nullptr, msg, 4, 256), 0);
  EXPECT_EQ(NXVT_Keccak_Hash(512, out, nullptr, 0, 256), 0);

  // One rate byte: padding is the single byte 0x81 on every block.
  EXPECT_EQ(NXVT_Keccak_Hash(1592, out, msg, 4, 64), 1);
  EXPECT_EQ(NXVT_Keccak_Hash(0, out, msg, 4, 8 * 600), 1);

  unsigned char shortOut[32], longOut[500];
  ASSERT_EQ(NXVT_Keccak_Hash(512, shortOut, msg, 4, 256), 1);
  ASSERT_EQ(NXVT_Keccak_Hash(512, longOut, msg, 4, 8 * 500), 1);
  EXPECT_EQ(tvt::Hex(shortOut, 32), tvt::Hex(longOut, 32));
  EXPECT_EQ(tvt::Hex(shortOut, 32), Keccak(11, Bytes(msg, msg + 4)));
}

// The permutation on the zero state gives the reference first lane.
TEST(Keccak, PermutationOfZeroState) {
  cput::OnEveryPath([&] {
    unsigned char st[200] = {0};
    NXVT_Keccak_F1600(st);
    EXPECT_EQ(tvt::Hex(st, 8), "e7dde140798f25f1");
  });
}

}  // namespace
