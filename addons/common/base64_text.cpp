#include "common/base64_text.h"

#include <algorithm>

#include "platform/memory.h"
#include "tolvaris/bcm_codec.h"

int EncodeBase64(const unsigned char* data, size_t len, SecureText& out) {
  static const unsigned char kNothing = 0;
  const int need = BCMGenBase64EncodeLen(static_cast<uint32_t>(len));
  if (need <= 0) return 1;
  SecureText buf(static_cast<size_t>(need), '\0');
  uint32_t written = static_cast<uint32_t>(buf.size());
  const int rc = BCMGenBase64Encode(len == 0 ? &kNothing : data, static_cast<uint32_t>(len), buf.data(), &written);
  if (rc != 0) return 1;
  buf.resize(std::min<size_t>(written, buf.size()));
  out.swap(buf);
  return 0;
}

int EncodeBase64(const unsigned char* data, size_t len, std::string& out) {
  SecureText text;
  if (EncodeBase64(data, len, text) != 0) return 1;
  out.assign(text);
  return 0;
}

int DecodeBase64Text(std::string_view encoded, SecureText& out) {
  // The decoder reads a C string.
  const SecureText in(encoded);
  // The text's length bounds the decoded bytes.
  SecureText buf(in.size() + 1, '\0');
  uint32_t len = static_cast<uint32_t>(buf.size());
  const int rc = BCMGenBase64Decode(in.c_str(), reinterpret_cast<unsigned char*>(buf.data()), &len);
  const size_t keep = rc != 0 ? 0 : std::min<size_t>(std::min<size_t>(len, buf.size()), buf.find('\0'));
  buf.resize(keep);
  out.swap(buf);
  return rc != 0 ? 1 : 0;
}
