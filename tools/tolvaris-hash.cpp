// Small host: hashes its argument text with SHA-256 through BCMGenHashMessage
// and prints the digest and the error trail.
#include <cstdio>
#include <cstring>

#include "tolvaris/bcm_core.h"

int main(int argc, char** argv) {
  const char* text = argc > 1 ? argv[1] : "abc";
  unsigned char out[64];
  int outLen = sizeof out;
  int rc = BCMGenHashMessage(1, reinterpret_cast<const unsigned char*>(text),
                             static_cast<uint32_t>(strlen(text)), out, &outLen);
  printf("rc=%d\n", rc);
  if (rc == 0) {
    for (int i = 0; i < outLen; ++i) printf("%02x", out[i]);
    printf("\n");
  }
  printf("%s\n", BCMGetLastErr());
  return rc == 0 ? 0 : 1;
}
