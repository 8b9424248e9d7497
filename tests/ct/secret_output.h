// The second half of the constant-time check: an output that is itself
// secret (a shared key, a plaintext, a child key, a derived key) must still
// be undefined for memcheck when the operation returns. A byte that comes
// back defined was declassified somewhere inside, and every branch taken on
// it after that point went unchecked.
#ifndef TOLVARIS_TESTS_CT_SECRET_OUTPUT_H
#define TOLVARIS_TESTS_CT_SECRET_OUTPUT_H

#include <valgrind/memcheck.h>

#include <cstddef>
#include <cstdio>

// True when every byte of the output still holds an undefined bit; else
// names the operation and the first defined byte. The output is public to
// the check program afterwards (the caller's to publish). Outside valgrind
// nothing can be told: true, with a note.
inline bool SecretOnReturn(const void* p, size_t len, const char* op) {
  if (!RUNNING_ON_VALGRIND) {
    static bool told = false;
    if (!told) std::printf("not under valgrind: the secrecy of outputs is not checked\n");
    told = true;
    return true;
  }
  const unsigned char* b = static_cast<const unsigned char*>(p);
  size_t defined = len;
  // The check reports what it finds as an error of its own; only its answer
  // is wanted here.
  VALGRIND_DISABLE_ERROR_REPORTING;
  for (size_t i = 0; i < len && defined == len; ++i) {
    if (VALGRIND_CHECK_MEM_IS_DEFINED(b + i, 1) == 0) defined = i;
  }
  VALGRIND_ENABLE_ERROR_REPORTING;
  VALGRIND_MAKE_MEM_DEFINED(p, len);
  if (defined == len) return true;
  std::fprintf(stderr, "%s: output byte %zu of %zu is defined on return (a secret was declassified inside)\n", op,
               defined, len);
  return false;
}

// Marks a text secret but for bit 0x20, which every lowercase letter and the
// space have and the terminating NUL lacks: measuring the text (its length
// is public) then depends on that bit alone, the other seven stay secret.
// The check programs run memcheck with exact definedness for comparisons,
// which sees that a byte with a defined set bit is not zero.
inline void MarkLettersSecret(char* text, size_t len) {
  for (size_t i = 0; i < len; ++i) {
    unsigned char vbits = 0xdf;
    VALGRIND_SET_VBITS(text + i, &vbits, 1);
  }
}

#endif  // TOLVARIS_TESTS_CT_SECRET_OUTPUT_H
