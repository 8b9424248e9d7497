#include "common/base64_text.h"

#include <algorithm>

#include "platform/memory.h"
#include "tolvaris/bcm_codec.h"

int EncodeBase64(const unsigned char* data, size_t len, std::string& out) {
  static const unsigned char kNothing = 0;
  const int need = BCMGenBase64EncodeLen(static_cast<uint32_t>(len));
  if (need <= 0) return 1;
  std::string buf(static_cast<size_t>(need), '\0');
  uint32_t written = static_cast<uint32_t>(buf.size());
  // The text encodes descriptions that can hold keys: the work copy is wiped.
  const int rc = BCMGenBase64Encode(len == 0 ? &kNothing : data, static_cast<uint32_t>(len), buf.data(), &written);
  if (rc == 0) out.assign(buf.data(), std::min<size_t>(written, buf.size()));
  WipeString(buf);
  return rc != 0 ? 1 : 0;
}

int DecodeBase64Text(const std::string& encoded, std::string& out) {
  // The text's length bounds the decoded bytes.
  std::string buf(encoded.size() + 1, '\0');
  uint32_t len = static_cast<uint32_t>(buf.size());
  const int rc = BCMGenBase64Decode(encoded.c_str(), reinterpret_cast<unsigned char*>(buf.data()), &len);
  const size_t keep = rc != 0 ? 0 : std::min<size_t>(std::min<size_t>(len, buf.size()), buf.find('\0'));
  out.assign(buf.data(), keep);
  WipeString(buf);
  return rc != 0 ? 1 : 0;
}
