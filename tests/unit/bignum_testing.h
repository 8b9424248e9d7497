// Helpers shared by the big-number tests: records built from and read back
// to hexadecimal without going through the library's own conversions, random
// operands of chosen shapes, and a python oracle that answers line by line.
#ifndef TOLVARIS_TESTS_BIGNUM_TESTING_H
#define TOLVARIS_TESTS_BIGNUM_TESTING_H

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "crypto/bignum/bignum.h"
#include "tv_test.h"

namespace bnt {

// Record from hex digits (no prefix); extraZero adds unnormalised top words.
inline NXVT_BN Make(const std::string& hex, uint32_t extraZero = 0) {
  NXVT_BN r;
  std::memset(&r, 0xA5, sizeof(r));  // garbage beyond count must not matter
  std::string h = hex;
  while (h.size() > 1 && h[0] == '0') h.erase(0, 1);
  uint32_t n = 0;
  if (!(h == "0" || h.empty())) {
    n = static_cast<uint32_t>((h.size() + 7) / 8);
    for (uint32_t i = 0; i < n; ++i) {
      size_t end = h.size() - 8 * i;
      size_t begin = end >= 8 ? end - 8 : 0;
      r.words[i] = static_cast<uint32_t>(std::stoul(h.substr(begin, end - begin), nullptr, 16));
    }
  }
  for (uint32_t i = 0; i < extraZero && n < NXVT_BN_MAX_WORDS; ++i) r.words[n++] = 0;
  r.count = n;
  return r;
}

inline NXVT_BN FromWords(const std::vector<uint32_t>& w) {
  NXVT_BN r;
  std::memset(&r, 0x5A, sizeof(r));
  r.count = static_cast<uint32_t>(w.size());
  for (size_t i = 0; i < w.size(); ++i) r.words[i] = w[i];
  return r;
}

// Value of a record as minimal lowercase hex ("0" for zero).
inline std::string HexOf(const NXVT_BN& a) {
  std::string s;
  char buf[16];
  for (uint32_t i = a.count; i-- > 0;) {
    std::snprintf(buf, sizeof(buf), "%08x", a.words[i]);
    s += buf;
  }
  size_t k = s.find_first_not_of('0');
  return k == std::string::npos ? "0" : s.substr(k);
}

// Number of 32-bit words a hex value needs.
inline uint32_t WordsOfHex(const std::string& h) {
  if (h == "0") return 0;
  return static_cast<uint32_t>((h.size() + 7) / 8);
}

inline bool Normalised(const NXVT_BN& a) { return a.count == 0 || a.words[a.count - 1] != 0; }

// Random operand of n words in one of several shapes that stress carries,
// borrows and quotient estimation.
inline NXVT_BN RandomBn(tvt::TestRng& rng, uint32_t n, int shape) {
  static const uint32_t kSpecial[] = {0, 1, 2, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFFE};
  std::vector<uint32_t> w(n);
  for (uint32_t i = 0; i < n; ++i) {
    switch (shape) {
      case 0: w[i] = static_cast<uint32_t>(rng.Next()); break;
      case 1: w[i] = 0xFFFFFFFF; break;
      case 2: w[i] = (i + 1 == n) ? 0x80000000 : 0; break;
      case 3: w[i] = kSpecial[rng.Below(7)]; break;
      default: w[i] = (i + 1 == n) ? 1 : 0; break;
    }
  }
  if (n > 0 && w[n - 1] == 0) w[n - 1] = 1 + rng.Below(0xFFFF);
  return FromWords(w);
}

// Runs a python evaluator once over all queued lines and returns its answers.
class Oracle {
 public:
  explicit Oracle(std::string body) : body_(std::move(body)) {}
  void Ask(const std::string& line) { in_ << line << '\n'; ++n_; }
  std::vector<std::string> Run() {
    std::string script =
        "import sys\n"
        "def H(x): return format(x, 'x')\n"
        "def I(s): return int(s, 16)\n"
        "out = []\n"
        "for line in sys.stdin:\n"
        "    f = line.split()\n"
        "    op = f[0]\n"
        "    v = [I(x) for x in f[1:]]\n" +
        body_ +
        "    out.append(str(res))\n"
        "sys.stdout.write('\\n'.join(out) + '\\n')\n";
    std::string text = tvt::RunPython(script, in_.str());
    std::vector<std::string> lines;
    std::istringstream is(text);
    std::string l;
    while (std::getline(is, l)) lines.push_back(l);
    EXPECT_EQ(lines.size(), n_) << "python oracle answered a different number of lines";
    lines.resize(n_);
    return lines;
  }

 private:
  std::string body_;
  std::ostringstream in_;
  size_t n_ = 0;
};

// One library result waiting for the oracle's answer.
struct Pending {
  std::string what;  // description printed on mismatch
  std::string got;   // library result in the oracle's format
};

// Compares queued results with the oracle's answers (first 20 mismatches).
inline void Check(Oracle& oracle, const std::vector<Pending>& pending) {
  std::vector<std::string> want = oracle.Run();
  int bad = 0;
  for (size_t i = 0; i < pending.size() && i < want.size(); ++i) {
    if (pending[i].got != want[i]) {
      ADD_FAILURE() << pending[i].what << "\n  got  " << pending[i].got << "\n  want " << want[i];
      if (++bad > 20) break;
    }
  }
}

}  // namespace bnt

#endif
