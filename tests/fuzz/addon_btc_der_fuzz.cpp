// The strict DER signature reader on arbitrary bytes: it never crashes, a
// signature it accepts splits into integers that encode back to exactly the
// same bytes, and the low-S form of an accepted signature is itself strict
// with S in the lower half of the group order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "btc/der_signature.h"

namespace {

// S is low when its (at most 32 significant) bytes do not exceed n/2.
bool IsLowOrUnchanged(const std::vector<unsigned char>& in, const std::vector<unsigned char>& out) {
  static const unsigned char kHalf[32] = {0x7f, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
                                          0xff, 0xff, 0xff, 0xff, 0xff, 0x5d, 0x57, 0x6e, 0x73, 0x57, 0xa4,
                                          0x50, 0x1d, 0xdf, 0xe9, 0x2f, 0x46, 0x68, 0x1b, 0x20, 0xa0};
  if (out == in) return true;
  std::vector<unsigned char> r, s;
  if (!SplitDerSignature(out, r, s)) return false;
  size_t i = 0;
  while (i < s.size() && s[i] == 0) ++i;
  const size_t len = s.size() - i;
  if (len > 32) return false;
  std::vector<unsigned char> wide(32 - len, 0);
  wide.insert(wide.end(), s.begin() + static_cast<long>(i), s.end());
  for (size_t k = 0; k < 32; ++k)
    if (wide[k] != kHalf[k]) return wide[k] < kHalf[k];
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<unsigned char> sig(data, data + size);
  std::vector<unsigned char> r, s;
  const bool strict = IsStrictDerSignature(sig);
  if (SplitDerSignature(sig, r, s) != strict) abort();
  const std::vector<unsigned char> low = LowSDerSignature(sig);
  if (!strict) {
    if (low != sig) abort();
    return 0;
  }
  if (EncodeDerSignature(r, s) != sig) abort();
  if (!IsStrictDerSignature(low) || !IsLowOrUnchanged(sig, low)) abort();
  if (LowSDerSignature(low) != low) abort();
  return 0;
}
