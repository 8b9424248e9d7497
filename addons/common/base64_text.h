#ifndef QUENMOD_COMMON_BASE64_TEXT_H
#define QUENMOD_COMMON_BASE64_TEXT_H

// Base64 through the core's codec exports, for the texts the add-ons carry
// between two steps (descriptions) and write into signed documents.

#include <cstddef>
#include <string>
#include <string_view>

// Padded standard Base64 of the bytes. 0, or 1 when the core refuses them.
int EncodeBase64(const unsigned char* data, size_t len, std::string& out);
inline int EncodeBase64(std::string_view text, std::string& out) {
  return EncodeBase64(reinterpret_cast<const unsigned char*>(text.data()), text.size(), out);
}

// The bytes of a Base64 text as a text, cut at the first NUL byte. The
// decoded bytes can hold a private key: every byte not returned is wiped.
// 0, or 1 when the core refuses the text (`out` then empty).
int DecodeBase64Text(const std::string& encoded, std::string& out);

#endif
