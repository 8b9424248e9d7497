#ifndef QUENMOD_COMMON_BYTES_H
#define QUENMOD_COMMON_BYTES_H

#include <vector>

#include "platform/memory.h"  // Wipe, WipeVector, WipeString: wipe key bytes you hold

// Raw bytes inside the add-ons; "0x" hex only in the JSON documents.
using Bytes = std::vector<unsigned char>;

#endif
