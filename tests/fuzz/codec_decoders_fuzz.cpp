// Feeds arbitrary text to the decoders (hex, Base32, Base64, Base58 and
// Base58Check, through the exports and the library functions) and checks that
// every successful decoding re-encodes consistently.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "crypto/codec/base32.h"
#include "crypto/codec/base58.h"
#include "crypto/codec/base64.h"
#include "crypto/codec/hex_convert.h"
#include "tolvaris/bcm_codec.h"

namespace {

void Check(bool ok) {
  if (!ok) abort();
}

std::string Lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return s;
}

// Size query, then a decode into exactly the answered room (with a guard
// region that must stay untouched).
template <class Decode>
bool DecodeSized(Decode&& decode, std::vector<unsigned char>* out) {
  uint32_t len = 0;
  if (decode(nullptr, &len) != 0) return false;
  const uint32_t cap = len;
  std::vector<unsigned char> buf(static_cast<size_t>(cap) + 16, 0xA5);
  if (decode(buf.data(), &len) != 0) {
    for (size_t i = cap; i < buf.size(); ++i) Check(buf[i] == 0xA5);
    return false;
  }
  for (size_t i = cap; i < buf.size(); ++i) Check(buf[i] == 0xA5);
  Check(len <= cap);
  buf.resize(len);
  out->swap(buf);
  return true;
}

std::string EncodeBase64(const std::vector<unsigned char>& b) {
  static const unsigned char none = 0;
  uint32_t len = 0;
  Check(BCMGenBase64Encode(b.empty() ? &none : b.data(), static_cast<uint32_t>(b.size()), nullptr, &len) == 0);
  std::vector<char> t(len);
  Check(BCMGenBase64Encode(b.empty() ? &none : b.data(), static_cast<uint32_t>(b.size()), t.data(), &len) == 0);
  return std::string(t.data(), len);
}

void FuzzHex(const std::string& text) {
  std::vector<unsigned char> bytes;
  if (!DecodeSized([&](unsigned char* o, uint32_t* l) { return BCMConvHexStrToByteArr(text.c_str(), o, l); },
                   &bytes))
    return;
  static const unsigned char none = 0;
  std::vector<char> hex(2 * bytes.size() + 1);
  uint32_t len = static_cast<uint32_t>(hex.size());
  Check(BCMConvByteArrToHexStr(bytes.empty() ? &none : bytes.data(), static_cast<uint32_t>(bytes.size()), 0,
                               hex.data(), &len) == 0);
  const std::string expect = Lower(text.size() % 2 ? "0" + text : text);
  Check(std::string(hex.data(), len) == expect);
}

void FuzzBase32(const std::string& text) {
  std::vector<unsigned char> values;
  if (!DecodeSized([&](unsigned char* o, uint32_t* l) { return BCMGenBase32Decode(text.c_str(), o, l); }, &values))
    return;
  static const unsigned char none = 0;
  std::vector<char> back(values.size() + 1);
  uint32_t len = static_cast<uint32_t>(back.size());
  Check(Base32Encode(values.empty() ? &none : values.data(), static_cast<int32_t>(values.size()), back.data(), &len) ==
        0);
  Check(std::string(back.data(), len) == Lower(text));
}

void FuzzBase64(const std::string& text) {
  std::vector<unsigned char> bytes;
  if (!DecodeSized([&](unsigned char* o, uint32_t* l) { return BCMGenBase64Decode(text.c_str(), o, l); }, &bytes))
    return;
  // The canonical text of those bytes decodes to the same bytes.
  const std::string canon = EncodeBase64(bytes);
  if (canon.empty()) return;  // the decoder refuses the empty text
  std::vector<unsigned char> again;
  Check(DecodeSized([&](unsigned char* o, uint32_t* l) { return Base64Decode(canon.c_str(), o, l); }, &again));
  Check(again == bytes);
}

void FuzzBase58Check(const std::string& text, Base58Alphabet alphabet) {
  std::vector<unsigned char> payload;
  if (!DecodeSized(
          [&](unsigned char* o, uint32_t* l) { return BCMGenBase58CheckDecode(alphabet, text.c_str(), o, l); },
          &payload))
    return;
  static const unsigned char none = 0;
  uint32_t len = 0;
  const unsigned char* p = payload.empty() ? &none : payload.data();
  Check(BCMGenBase58CheckEncode(alphabet, p, static_cast<uint32_t>(payload.size()), nullptr, &len) == 0);
  std::vector<char> back(len);
  Check(BCMGenBase58CheckEncode(alphabet, p, static_cast<uint32_t>(payload.size()), back.data(), &len) == 0);
  Check(std::string(back.data(), len) == text);  // Base58Check texts are canonical
}

void FuzzBase58(const std::string& text, Base58Alphabet alphabet, uint32_t capacity) {
  const int32_t n = static_cast<int32_t>(text.size());
  std::vector<unsigned char> buf(static_cast<size_t>(capacity) + 16, 0xA5);
  uint32_t len = capacity;
  const int rc = DecodeBase58(alphabet, text.c_str(), n, buf.data(), &len);
  for (size_t i = capacity; i < buf.size(); ++i) Check(buf[i] == 0xA5);
  if (rc != 0) return;
  Check(len <= capacity && len <= text.size());
  static const unsigned char none = 0;
  uint32_t tlen = 0;
  Check(EncodeBase58(alphabet, len ? buf.data() : &none, static_cast<int32_t>(len), nullptr, &tlen) == 0);
  std::vector<char> back(tlen);
  Check(EncodeBase58(alphabet, len ? buf.data() : &none, static_cast<int32_t>(len), back.data(), &tlen) == 0);
  Check(std::string(back.data(), tlen) == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 4096) return 0;
  const uint8_t mode = data[0];
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  text.resize(strlen(text.c_str()));  // the exports read NUL-terminated texts
  switch (mode % 6) {
    case 0: FuzzHex(text); break;
    case 1: FuzzBase32(text); break;
    case 2: FuzzBase64(text); break;
    case 3: FuzzBase58Check(text, (mode >> 3) & 1); break;
    case 4: FuzzBase58(text, (mode >> 3) & 1, (mode >> 4) * 3); break;
    default: FuzzBase58(text, (mode >> 3) & 1, static_cast<uint32_t>(text.size())); break;
  }
  return 0;
}
