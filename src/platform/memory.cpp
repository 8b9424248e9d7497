#include "platform/memory.h"

#include <string.h>

void Wipe(void* p, size_t n) {
  if (p != nullptr && n != 0) explicit_bzero(p, n);
}
