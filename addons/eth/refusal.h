#ifndef QUENMOD_ETH_REFUSAL_H
#define QUENMOD_ETH_REFUSAL_H

#include <cstdint>
#include <string_view>

#include "common/error_chain.h"

// Records why `function` fails (its fixed line, code 1000 unless said) and
// gives the failure result 1.
inline int Refuse(std::string_view function, uint32_t line, std::string_view message, uint32_t code = 1000) {
  AddErrTrail(function, line, code, message);
  return 1;
}

#endif
