#include "sample_hex.h"

#include "command/text/text.h"

namespace sample {

std::vector<unsigned char> HexToBytes(std::string_view text) {
  if (text.size() >= 2 && text[0] == '0' && text[1] == 'x' && text.size() % 2 != 0) return {};
  return ::HexToBytes(text);
}

}  // namespace sample
