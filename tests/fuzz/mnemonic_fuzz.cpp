// Mnemonic and share-mnemonic parsing. Arbitrary text goes to validation and
// share recovery: a mnemonic that validates must be the canonical mnemonic of
// its entropy (one trailing space allowed), and a recovered master must be a
// valid mnemonic. Input that starts with 0xFF instead drives a split of the
// entropy that follows and checks that the chosen shares give it back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "keys/bip39.h"
#include "keys/shamir.h"

namespace {

void Check(bool ok) {
  if (!ok) abort();
}

void ValidateText(const std::string& text) {
  unsigned char entropy[kBip39MaxEntropyLen];
  int32_t len = 0;
  if (GetMnemonicInfo(text.c_str(), entropy, &len) != 0) return;
  Check(len >= 16 && len <= kBip39MaxEntropyLen);
  char canonical[1100];
  int32_t clen = sizeof canonical;
  Check(GenerateMnemonic(entropy, len, canonical, &clen) == 0);
  const std::string c(canonical, static_cast<size_t>(clen));
  Check(text == c || text == c + " ");
}

void RecoverText(const std::string& text) {
  char out[kSSSMasterCap];
  int32_t len = sizeof out;
  if (GetSSS_Secret(text.c_str(), out, &len) != 0) return;
  Check(len > 0 && len < kSSSMasterCap && strlen(out) == static_cast<size_t>(len));
  Check(CheckMnemonicValidate(out) == 0);
}

// sizes (1) | total, threshold (1) | chosen shares (2) | entropy
void SplitAndRecover(const uint8_t* data, size_t size) {
  if (size < 4) return;
  static const int32_t kLens[] = {16, 20, 24, 28, 32};
  const int32_t len = kLens[data[0] % 5];
  const int32_t total = 2 + data[1] % 9;
  const int32_t threshold = 2 + (data[1] >> 4) % (total - 1);
  const uint32_t pickBits = (uint32_t{data[2]} << 8) | data[3];
  if (size < 4 + static_cast<size_t>(len)) return;
  char master[400];
  int32_t mlen = sizeof master;
  Check(GenerateMnemonic(data + 4, len, master, &mlen) == 0);

  int32_t needed = 0;
  if (Create_SSS(master, total, threshold, nullptr, &needed) != 0) {
    // Only a secret above every prime of its size is refused.
    Check(data[4] == 0xFF);
    return;
  }
  std::vector<char> buf(static_cast<size_t>(needed));
  int32_t blen = needed;
  Check(Create_SSS(master, total, threshold, buf.data(), &blen) == 0);
  std::vector<std::string> shares;
  std::string cur;
  for (int32_t i = 0; i < blen; ++i) {
    if (buf[static_cast<size_t>(i)] == ';') {
      shares.push_back(cur);
      cur.clear();
    } else {
      cur += buf[static_cast<size_t>(i)];
    }
  }
  shares.push_back(cur);
  Check(shares.size() == static_cast<size_t>(total));

  // Shares taken in the order the bits pick them, topped up to the threshold.
  std::vector<int> order;
  for (int32_t i = 0; i < total; ++i)
    if (pickBits & (1u << i)) order.push_back(i);
  for (int32_t i = 0; i < total && static_cast<int32_t>(order.size()) < threshold; ++i)
    if (!(pickBits & (1u << i))) order.push_back(i);
  order.resize(static_cast<size_t>(threshold));
  if (pickBits & 0x8000u) std::swap(order.front(), order.back());
  std::string joined;
  for (int i : order) joined += (joined.empty() ? "" : ";") + shares[static_cast<size_t>(i)];

  char out[kSSSMasterCap];
  int32_t olen = sizeof out;
  Check(GetSSS_Secret(joined.c_str(), out, &olen) == 0);
  Check(std::string(out, static_cast<size_t>(olen)) == std::string(master, static_cast<size_t>(mlen)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0 && data[0] == 0xFF) {
    SplitAndRecover(data + 1, size - 1);
    return 0;
  }
  const std::string text(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
  ValidateText(text);
  RecoverText(text);
  return 0;
}
