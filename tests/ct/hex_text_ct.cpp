// Constant-time check of reading key text, run under valgrind: a private key
// travels as "0x" hex text, so decoding it (and checking it for a NUL or a
// character that is no digit) must not branch on which digit a character is.
#include <cstdio>
#include <string>
#include <vector>

#include "command/text/text.h"
#include "crypto/ct_check.h"

int main() {
  int failures = 0;
  // Every digit of both cases, in both nibble positions, and an odd count.
  for (const std::string& key : {std::string("0x0123456789abcdefABCDEF0f1e2d3c4b5a69788796a5b4c3d2e1f0aAbBcCdDeEfF"),
                                std::string("0x123456789abcdefABCDEF0f1e2d3c4b5a69788796a5b4c3d2e1f0aAbBcCdDeEfF")}) {
    std::string text = key;
    CtMarkSecret(text.data() + 2, text.size() - 2);
    std::vector<unsigned char> bytes = ArgHexToBytes("pri", text);
    CtDeclassify(bytes.data(), bytes.size());
    CtDeclassify(text.data(), text.size());
    const std::vector<unsigned char> plain = HexToBytes(key);
    if (bytes != plain || bytes.size() != (key.size() - 1) / 2) {
      std::fprintf(stderr, "decoded bytes differ for %s\n", key.c_str());
      ++failures;
    }
  }
  std::printf("%s\n", failures == 0 ? "hex text: ok" : "hex text: FAILED");
  return failures == 0 ? 0 : 1;
}
