// BIP39: word list, validation codes, the published vectors, and random
// mnemonics and seeds against Debian's python3-mnemonic.
#include "keys/bip39.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "trail/trail.h"
#include "tv_test.h"

namespace {

std::vector<std::string> WordList() {
  std::ifstream in(tvt::VectorPath("bip39-english.txt"));
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

std::string Mnemonic(const tvt::Bytes& entropy) {
  char buf[1100] = {0};
  int32_t len = sizeof buf;
  EXPECT_EQ(GenerateMnemonic(entropy.data(), static_cast<int32_t>(entropy.size()), buf, &len), 0);
  EXPECT_EQ(static_cast<size_t>(len), strlen(buf));
  return buf;
}

int Info(const std::string& m, tvt::Bytes* entropy = nullptr) {
  unsigned char buf[kBip39MaxEntropyLen] = {0};
  int32_t len = 0;
  int rc = GetMnemonicInfo(m.c_str(), buf, &len);
  if (entropy != nullptr) entropy->assign(buf, buf + len);
  return rc;
}

std::string Repeat(const std::string& word, int n, const std::string& last = "") {
  std::string s;
  for (int i = 0; i < n; ++i) s += (i ? " " : "") + word;
  if (!last.empty()) s += " " + last;
  return s;
}

std::string Seed(const std::string& m, const std::string& pass) {
  unsigned char seed[64];
  int32_t len = 64;
  EXPECT_EQ(ConvertMnemonic2Seed(m.c_str(), pass.c_str(), seed, &len), 0);
  EXPECT_EQ(len, 64);
  return tvt::Hex(seed, 64);
}

}  // namespace

TEST(Bip39WordList, EveryIndexAndWordRoundTrips) {
  const std::vector<std::string> words = WordList();
  ASSERT_EQ(words.size(), 2048u);
  for (int32_t i = 0; i < 2048; ++i) {
    char w[9] = {0};
    ASSERT_EQ(GetWord(i, w), 0) << i;
    ASSERT_EQ(words[static_cast<size_t>(i)], w);
    int32_t index = -1;
    ASSERT_EQ(FindWord(words[static_cast<size_t>(i)].c_str(), &index), 0);
    ASSERT_EQ(index, i);
  }
  char w[9] = {0};
  EXPECT_EQ(GetWord(2048, w), 114);
  EXPECT_EQ(GetWord(-1, w), 114);
}

TEST(Bip39WordList, LookupFailures) {
  struct Case {
    const char* word;
    int code;
  } cases[] = {{"xylophone", 182}, {"Abandon", 182}, {"", 182}, {"abandonx", 204}, {"aband", 204}, {"zoom", 204}};
  for (const Case& c : cases) {
    int32_t index = -1;
    EXPECT_EQ(FindWord(c.word, &index), c.code) << c.word;
  }
  EXPECT_EQ(CheckMnemonicWordValidate("abandon"), 0);
  SetErrFunc("t");
  EXPECT_EQ(CheckMnemonicWordValidate("abandonx"), 625);
  EXPECT_STREQ(ErrTrailLocations(), "FindWord:204<-CheckMnemonicWordValidate:625");
}

TEST(Bip39WordCount, SpacesAndTrailingText) {
  struct Case {
    const char* text;
    int32_t count;
  } cases[] = {{"", 0}, {"a", 1}, {"a b", 2}, {"a b ", 2}, {"a  b", 3}, {" a", 2}, {"  ", 2}};
  for (const Case& c : cases) {
    int32_t n = -1;
    ASSERT_EQ(GetWordCount(c.text, &n), 0);
    EXPECT_EQ(n, c.count) << '"' << c.text << '"';
  }
  int32_t n = 0;
  EXPECT_EQ(GetWordCount(nullptr, &n), 225);
}

TEST(Bip39Vectors, EntropyMnemonicAndSeed) {
  const Json::Value v = tvt::ReadJson(tvt::VectorPath("bip39-vectors.json"))["english"];
  ASSERT_EQ(v.size(), 24u);
  for (const Json::Value& r : v) {
    const tvt::Bytes entropy = tvt::Unhex(r[0].asString());
    const std::string mnemonic = r[1].asString();
    EXPECT_EQ(Mnemonic(entropy), mnemonic);
    tvt::Bytes back;
    EXPECT_EQ(Info(mnemonic, &back), 0);
    EXPECT_EQ(tvt::Hex(back), r[0].asString());
    EXPECT_EQ(CheckMnemonicValidate(mnemonic.c_str()), 0);
    EXPECT_EQ(Seed(mnemonic, "TREZOR"), r[2].asString());
  }
}

TEST(Bip39Validate, CodesAndMessages) {
  const std::string valid24 = Mnemonic(tvt::Bytes(32, 0));  // "abandon" x23 "art"
  std::string bad24 = valid24.substr(0, valid24.rfind(' ')) + " zoo";
  struct Case {
    std::string text;
    int code;
    const char* message;  // expected message chain, or null to skip
  } cases[] = {
      {Repeat("abandon", 11, "about"), 0, ""},
      {Repeat("abandon", 11, "about") + " ", 0, ""},
      {Repeat("abandon", 12), 376, "(mnemonic check ( checksum failed ))"},
      {bad24, 361, "(mnemonic check ( checksum failed ))"},
      {"abandon  " + Repeat("abandon", 10, "about"), 278, "(mnemonic check ( not exist word [] ))"},
      {" " + Repeat("abandon", 11, "about"), 278, nullptr},
      {"Abandon " + Repeat("abandon", 10, "about"), 278, "(mnemonic check ( not exist word [Abandon] ))"},
      {Repeat("abandon", 11, "abou"), 295, "(mnemonic check ( not exist word [abou] ))"},
      {Repeat("abandon", 13), 305, "(mnemonic check ( mnemonic count not allowed [13] words ))"},
      {"", 305, "(mnemonic check ( mnemonic count not allowed [0] words ))"},
      {Mnemonic(tvt::Bytes(4, 7)), 305, nullptr},
  };
  for (const Case& c : cases) {
    SetErrFunc("t");
    EXPECT_EQ(Info(c.text), c.code) << c.text;
    if (c.message != nullptr) {
      EXPECT_STREQ(ErrTrailMessages(), c.message) << c.text;
    }
  }
  EXPECT_EQ(GetMnemonicInfo(nullptr, nullptr, nullptr), 268);

  SetErrFunc("t");
  EXPECT_EQ(CheckMnemonicValidate(Repeat("abandon", 12).c_str()), 603);
  EXPECT_STREQ(ErrTrailLocations(), "GetMnemonicInfo:376<-CheckMnemonicValidate:603");
  EXPECT_EQ(CheckMnemonicValidate(nullptr), 598);
}

// Words longer than the 32-byte word buffer and texts of more than 128 words
// end in the documented codes instead of overrunning fixed buffers.
TEST(Bip39Validate, OverlongWordsAndWordCounts) {
  const std::string longWord(40, 'a');
  SetErrFunc("t");
  EXPECT_EQ(Info(longWord + " " + Repeat("abandon", 11)), 278);
  EXPECT_STREQ(ErrTrailMessages(), ("(mnemonic check ( not exist word [" + std::string(31, 'a') + "] ))").c_str());
  EXPECT_EQ(Info(Repeat("abandon", 11, longWord)), 295);
  EXPECT_EQ(Info(Repeat("abandon", 11, std::string(5000, 'z'))), 295);
  EXPECT_EQ(Info(Repeat("abandon", 11, std::string(32, 'b'))), 295);
  for (int n : {97, 128, 129, 200, 5000}) {
    SetErrFunc("t");
    EXPECT_EQ(Info(Repeat("abandon", n)), 305) << n;
    EXPECT_NE(std::string(ErrTrailMessages()).find("[" + std::to_string(n) + "]"), std::string::npos);
  }
}

TEST(Bip39Generate, ExtendedSizesAndErrors) {
  // 4 bytes make 3 words (refused by validation); 128 bytes make 96 words.
  EXPECT_EQ(Mnemonic(tvt::Bytes(4, 0)), "abandon abandon ability");
  tvt::TestRng rng(39);
  const tvt::Bytes big = rng.RandBytes(128);
  const std::string m96 = Mnemonic(big);
  int32_t words = 0;
  ASSERT_EQ(GetWordCount(m96.c_str(), &words), 0);
  EXPECT_EQ(words, 96);
  tvt::Bytes back;
  EXPECT_EQ(Info(m96, &back), 0);
  EXPECT_EQ(back, big);

  const tvt::Bytes e16(16, 1);
  int32_t len = 0;
  EXPECT_EQ(GenerateMnemonic(e16.data(), 16, nullptr, &len), 0);
  EXPECT_EQ(len, 132);
  char buf[200];
  len = 131;
  EXPECT_EQ(GenerateMnemonic(e16.data(), 16, buf, &len), 500);
  len = sizeof buf;
  for (int32_t bad : {0, 15, 33, 129, -16}) EXPECT_EQ(GenerateMnemonic(e16.data(), bad, buf, &len), 489) << bad;
  EXPECT_EQ(GenerateMnemonic(nullptr, 16, buf, &len), 489);
}

TEST(Bip39Seed, ArgumentsAndEmptyPassphrase) {
  const std::string m = Repeat("abandon", 11, "about");
  unsigned char seed[64];
  int32_t len = 0;
  EXPECT_EQ(ConvertMnemonic2Seed(m.c_str(), "", nullptr, &len), 0);
  EXPECT_EQ(len, 64);
  len = 63;
  EXPECT_EQ(ConvertMnemonic2Seed(m.c_str(), "", seed, &len), 570);
  EXPECT_EQ(ConvertMnemonic2Seed(m.c_str(), nullptr, seed, &len), 559);
  EXPECT_EQ(ConvertMnemonic2Seed(nullptr, "", seed, &len), 559);
  EXPECT_EQ(ConvertMnemonic2Seed(m.c_str(), "", seed, nullptr), 559);
  // An empty passphrase salts with "mnemonic" alone.
  const std::string want = tvt::RunPython(
      "import hashlib,sys\nm=sys.stdin.read()\n"
      "print(hashlib.pbkdf2_hmac('sha512', m.encode(), b'mnemonic', 2048).hex())\n",
      m);
  EXPECT_EQ(Seed(m, "") + "\n", want);
}

TEST(Bip39Entropy, RandomSourceAndLimits) {
  unsigned char buf[2048] = {0};
  EXPECT_EQ(GenerateEntropy(nullptr, buf, 2048), 0);
  EXPECT_EQ(GenerateEntropy(nullptr, nullptr, 16), 415);
  EXPECT_EQ(GenerateEntropy(nullptr, buf, 2049), 429);
  // 8 * len wraps to 0 bits here: it must fail, not succeed with nothing drawn.
  EXPECT_EQ(GenerateEntropy(nullptr, buf, 0x20000000u), 429);
  EXPECT_EQ(GenerateEntropy(nullptr, buf, 0x20000004u), 429);
}

// Random entropy of every size and random passphrases (some far beyond 504
// bytes) against python3-mnemonic; the extended sizes use the same list with
// a direct model of the algorithm.
TEST(Bip39Oracle, RandomMnemonicsAndSeedsAgreeWithPython) {
  tvt::TestRng rng(2110);
  const int32_t sizes[] = {16, 20, 24, 28, 32, 64, 80, 96, 112, 128, 4};
  std::ostringstream input;
  std::vector<std::string> ours;
  for (int round = 0; round < 4; ++round) {
    for (int32_t size : sizes) {
      const tvt::Bytes e = rng.RandBytes(static_cast<size_t>(size));
      const size_t passLen = rng.Below(4) == 0 ? 500 + rng.Below(3000) : rng.Below(40);
      std::string pass;
      for (size_t i = 0; i < passLen; ++i) pass += static_cast<char>('!' + rng.Below(94));
      const std::string m = Mnemonic(e);
      input << tvt::Hex(e) << ' ' << pass << '\n';
      ours.push_back(m + "|" + (size == 4 ? std::string("-") : Seed(m, pass)));
    }
  }
  const std::string script = R"(
import sys, hashlib
from mnemonic import Mnemonic
M = Mnemonic('english')
def model(e):
    h = hashlib.sha256(e).digest()
    bits = bin(int.from_bytes(e + h, 'big'))[2:].zfill(8 * (len(e) + 32))[: len(e) * 8 + len(e) // 4]
    return ' '.join(M.wordlist[int(bits[i:i + 11], 2)] for i in range(0, len(bits), 11))
for line in sys.stdin.read().splitlines():
    hx, _, pw = line.partition(' ')
    e = bytes.fromhex(hx)
    m = M.to_mnemonic(e) if len(e) in (16, 20, 24, 28, 32) else model(e)
    assert m == model(e)
    print(m + '|' + (M.to_seed(m, pw).hex() if len(e) != 4 else '-'))
)";
  std::istringstream expected(tvt::RunPython(script, input.str()));
  for (const std::string& m : ours) {
    std::string line;
    std::getline(expected, line);
    EXPECT_EQ(m, line);
  }
}

// Mutated mnemonics: our verdict matches python3-mnemonic's check().
TEST(Bip39Oracle, ValidationAgreesWithPython) {
  const std::vector<std::string> words = WordList();
  tvt::TestRng rng(2111);
  std::ostringstream input;
  std::vector<int> verdicts;
  for (int i = 0; i < 200; ++i) {
    std::string m = Mnemonic(rng.RandBytes(16 + 4 * rng.Below(5)));
    if (i % 2 == 0) {  // replace one word
      std::vector<std::string> parts;
      std::istringstream ss(m);
      for (std::string w; ss >> w;) parts.push_back(w);
      parts[rng.Below(static_cast<uint32_t>(parts.size()))] = words[rng.Below(2048)];
      m.clear();
      for (size_t j = 0; j < parts.size(); ++j) m += (j ? " " : "") + parts[j];
    }
    input << m << '\n';
    verdicts.push_back(Info(m) == 0 ? 1 : 0);
  }
  const std::string script =
      "import sys\nfrom mnemonic import Mnemonic\nM = Mnemonic('english')\n"
      "for l in sys.stdin.read().splitlines(): print(1 if M.check(l) else 0)\n";
  std::istringstream expected(tvt::RunPython(script, input.str()));
  for (int v : verdicts) {
    int want = -1;
    expected >> want;
    EXPECT_EQ(v, want);
  }
}

// Random texts of list words, stray bytes and odd spacing: validation agrees
// with the python model and never reads past the text.
TEST(Bip39Validate, RandomTextsAgreeWithPython) {
  const std::vector<std::string> words = WordList();
  tvt::TestRng rng(2112);
  std::ostringstream input;
  std::vector<int> verdicts;
  const int counts[] = {1, 3, 11, 12, 13, 15, 24, 25, 48, 96, 97, 130};
  for (int i = 0; i < 300; ++i) {
    const int n = counts[rng.Below(sizeof counts / sizeof counts[0])];
    std::string m;
    for (int w = 0; w < n; ++w) {
      m += (w ? " " : "") + words[rng.Below(2048)];
      if (rng.Below(50) == 0) m += rng.Below(2) ? " " : "q";
    }
    if (rng.Below(10) == 0) m += " ";
    input << m << '\n';
    verdicts.push_back(Info(m) == 0 ? 1 : 0);
  }
  const std::string script = R"(
import sys, hashlib
from mnemonic import Mnemonic
W = Mnemonic('english').wordlist
def valid(t):
    if t.endswith(' '): t = t[:-1]
    ws = t.split(' ')
    if len(ws) not in (12, 15, 18, 21, 24, 48, 60, 72, 84, 96) or any(w not in W for w in ws): return 0
    bits = ''.join(bin(W.index(w))[2:].zfill(11) for w in ws)
    ent = int(bits[:len(ws) // 3 * 32], 2).to_bytes(len(ws) // 3 * 4, 'big')
    cs = bin(int.from_bytes(hashlib.sha256(ent).digest(), 'big'))[2:].zfill(256)[:len(ws) // 3]
    return 1 if cs == bits[len(ws) // 3 * 32:] else 0
for l in sys.stdin.read().split('\n')[:-1]: print(valid(l))
)";
  std::istringstream expected(tvt::RunPython(script, input.str()));
  for (int v : verdicts) {
    int want = -1;
    expected >> want;
    EXPECT_EQ(v, want);
  }
}
