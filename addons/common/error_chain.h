#ifndef QUENMOD_COMMON_ERROR_CHAIN_H
#define QUENMOD_COMMON_ERROR_CHAIN_H

// The add-on's error chain: every function that fails appends one entry
// "<function>:<line>[<message>]" before it returns 1, so the innermost failure
// stands first and the entry's own record last, joined by "<=":
//   GenerateLoopHash:384[...]<=GenerateHash:405[...]<=RunModule_BTC:1845[GenAddr Error]
// The chain code is the code given with the latest entry. Lines are fixed
// numbers of this system (never __LINE__): callers see them in "err_msg".
//
// One chain per add-on library and per thread; RunModule_<COIN> empties it
// when a call starts, and refuses the call when the thread's chain cannot be
// allocated.

#include <cstdint>
#include <string>
#include <string_view>

void AddErrTrail(std::string_view function, uint32_t line, uint32_t code, std::string_view message);
// A copy of the chain text.
std::string GetErrTrail();
uint32_t GetErrCode();

// Records why `function` fails (its fixed line, code 1000 unless said) and
// gives the failure result 1: `return Refuse("GenTx_ETH", 533, "...");`
inline int Refuse(std::string_view function, uint32_t line, std::string_view message, uint32_t code = 1000) {
  AddErrTrail(function, line, code, message);
  return 1;
}

// Empties the chain. With `fixedCode` true every later entry stores 1000
// whatever code it is given (the Cosmos and AMO add-ons). False when this
// thread has no chain and none can be allocated: then nothing is recorded,
// the chain reads "error chain memory allocation failed" and its code 1000.
bool ResetErrTrail(bool fixedCode = false);

#endif
