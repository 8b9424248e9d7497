#ifndef QUENMOD_COMMON_BYTES_H
#define QUENMOD_COMMON_BYTES_H

#include <vector>

#include "platform/memory.h"  // Wipe, WipeVector, WipeString: wipe key bytes you hold

// Raw bytes inside the add-ons; "0x" hex only in the JSON documents.
using Bytes = std::vector<unsigned char>;

// Wipes key bytes when the scope ends, whatever they have grown to and on
// every path: an exception (a lack of memory) frees them too.
class ScopedBytesWipe {
 public:
  explicit ScopedBytesWipe(Bytes& bytes) : bytes_(bytes) {}
  ~ScopedBytesWipe() { WipeVector(bytes_); }
  ScopedBytesWipe(const ScopedBytesWipe&) = delete;
  ScopedBytesWipe& operator=(const ScopedBytesWipe&) = delete;

 private:
  Bytes& bytes_;
};

#endif
