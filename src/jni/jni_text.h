#ifndef TOLVARIS_JNI_JNI_TEXT_H
#define TOLVARIS_JNI_JNI_TEXT_H

#include <cstddef>
#include <vector>

#include "command/secure_text.h"

// Java strings are UTF-16; the library's texts are standard UTF-8. JNI's own
// conversions use modified UTF-8 (U+0000 as C0 80, a character outside the
// Basic Multilingual Plane as two three-byte surrogates), which would change
// a passphrase's bytes and cut four-byte sequences short, so the bindings
// convert themselves. Both directions keep their work in wiped memory: the
// texts carry mnemonics, passphrases and shares.
using Utf16Text = std::vector<char16_t, WipeAllocator<char16_t>>;

// UTF-16 to UTF-8. False, with `out` emptied, for a text that holds U+0000
// (a C string would end there) or an unpaired surrogate (no character at all).
bool Utf16ToUtf8(const char16_t* text, size_t len, SecureText& out);

// UTF-8 to UTF-16. Every ill-formed sequence (stray continuation byte,
// overlong form, encoded surrogate, value above U+10FFFF, cut-off sequence)
// becomes one U+FFFD per maximal ill-formed part, as Unicode recommends.
void Utf8ToUtf16(const char* text, size_t len, Utf16Text& out);

#endif
