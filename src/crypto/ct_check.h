// Marks memory as secret or as public for the constant-time check.
//
// In a build with TOLVARIS_CT_CHECK the check programs mark keys, nonces and
// plaintexts undefined for valgrind's memcheck; any branch or memory index that
// depends on them is then reported. Values that become public by design (a
// signature, a public key, a verification result) pass through CtDeclassify,
// so every such point is a visible line. In every other build both are empty.
#ifndef TOLVARIS_CRYPTO_CT_CHECK_H
#define TOLVARIS_CRYPTO_CT_CHECK_H

#include <cstddef>

#if defined(TOLVARIS_CT_CHECK)
#include <valgrind/memcheck.h>
#endif

inline void CtMarkSecret(const void* p, size_t len) {
#if defined(TOLVARIS_CT_CHECK)
  VALGRIND_MAKE_MEM_UNDEFINED(p, len);
#else
  (void)p;
  (void)len;
#endif
}

inline void CtDeclassify(const void* p, size_t len) {
#if defined(TOLVARIS_CT_CHECK)
  VALGRIND_MAKE_MEM_DEFINED(p, len);
#else
  (void)p;
  (void)len;
#endif
}

#endif  // TOLVARIS_CRYPTO_CT_CHECK_H
