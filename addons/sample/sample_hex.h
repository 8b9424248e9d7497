#ifndef QUENMOD_SAMPLE_SAMPLE_HEX_H
#define QUENMOD_SAMPLE_SAMPLE_HEX_H

#include <string_view>
#include <vector>

namespace sample {

// The shared HexToBytes, except that an odd number of hex digits after "0x"
// gives no bytes instead of gaining a leading "0".
std::vector<unsigned char> HexToBytes(std::string_view text);

}  // namespace sample

#endif
