// Constant-time check of scrypt, run under valgrind: the block (or the
// salt) is marked secret, then Salsa20/8, BlockMix and ROMix for r = 1 and 3
// and the whole derivation run; any branch or memory index that depends on
// it is a memcheck error.
//
// ROMix reads the table at j = Integerify(X) mod N, an index that follows
// the password by the algorithm's design. The derivation therefore runs
// with N = 1, where j is always 0 (the mask N - 1 makes every bit of it
// known), so both loops of ROMix, the table and both BlockMix forms are
// checked while the one read that cannot be constant-time is left out.
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "crypto/ct_check.h"
#include "crypto/kdf/scrypt.h"

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::printf("%s failed\n", what);
    ++failures;
  }
}

}  // namespace

int main() {
  unsigned char block[3 * 128];
  for (size_t i = 0; i < sizeof block; ++i) block[i] = static_cast<unsigned char>(11 * i + 5);

  CtMarkSecret(block, 64);
  ScryptSalsa208(block);
  CtDeclassify(block, 64);

  for (uint32_t r : {1u, 3u}) {
    CtMarkSecret(block, 128 * r);
    int rc = ScryptBlockMix(block, r);
    CtDeclassify(&rc, sizeof rc);
    CtDeclassify(block, 128 * r);
    Check(rc == 0, "BlockMix");

    CtMarkSecret(block, 128 * r);
    rc = ScryptROMix(block, 1, r);
    CtDeclassify(&rc, sizeof rc);
    CtDeclassify(block, 128 * r);
    Check(rc == 0, "ROMix");
  }

  // The whole derivation with a secret salt: the password's end is found by
  // strlen, which reads it byte by byte, so the secret that flows through
  // both PBKDF2 steps and ROMix here enters with the salt.
  const char password[] = "correct horse battery staple";
  unsigned char salt[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  unsigned char out[48];
  int32_t outLen = sizeof out;
  CtMarkSecret(salt, sizeof salt);
  int rc = DoScrypt(password, salt, sizeof salt, 1, 2, 2, sizeof out, out, &outLen);
  CtDeclassify(&rc, sizeof rc);
  CtDeclassify(out, sizeof out);
  Check(rc == 0 && outLen == static_cast<int32_t>(sizeof out), "scrypt");

  std::printf("%s\n", failures == 0 ? "all operations ran" : "some operations failed");
  return failures == 0 ? 0 : 1;
}
