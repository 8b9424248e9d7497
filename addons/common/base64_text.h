#ifndef QUENMOD_COMMON_BASE64_TEXT_H
#define QUENMOD_COMMON_BASE64_TEXT_H

// Base64 through the core's codec exports, for the texts the add-ons carry
// between two steps (descriptions) and write into signed documents.

#include <cstddef>
#include <string>
#include <string_view>

#include "command/secure_text.h"

// Padded standard Base64 of the bytes. 0, or 1 when the core refuses them.
// Into a SecureText for a text that can hold a key (a description), which
// its Base64 gives away as well.
int EncodeBase64(const unsigned char* data, size_t len, SecureText& out);
int EncodeBase64(const unsigned char* data, size_t len, std::string& out);
inline int EncodeBase64(std::string_view text, SecureText& out) {
  return EncodeBase64(reinterpret_cast<const unsigned char*>(text.data()), text.size(), out);
}
inline int EncodeBase64(std::string_view text, std::string& out) {
  return EncodeBase64(reinterpret_cast<const unsigned char*>(text.data()), text.size(), out);
}

// The bytes of a Base64 text (read up to its first NUL byte) as a text, cut
// at the first NUL byte. The decoded bytes can hold a private key: every copy
// on the way is wiped. 0, or 1 when the core refuses the text (`out` then
// empty).
int DecodeBase64Text(std::string_view encoded, SecureText& out);

#endif
