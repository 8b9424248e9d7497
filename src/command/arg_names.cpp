#include "command/arg_names.h"

#include <string>

#include "command/text/text.h"

void GetAlgoInfo(std::string_view name, int32_t* algoId, int32_t* priLen, int32_t* pubLen, int32_t* chainLen) {
  const std::string up = ToUpper(name);
  int32_t id = 1;
  int32_t pub = 33;
  if (up == "ED25519") {
    id = 3;
    pub = 32;
  } else if (up == "SECP256R1" || up == "P256") {
    id = 2;
  }
  if (algoId) *algoId = id;
  if (priLen) *priLen = 32;
  if (pubLen) *pubLen = pub;
  if (chainLen) *chainLen = 32;
}

int32_t GetHashAlgoId(std::string_view name) {
  static const struct {
    const char* name;
    int32_t id;
  } kHashes[] = {{"SHA256", 1},          {"SHA512", 2},          {"RIP160", 3},
                 {"SHA3-KECCAK224", 10}, {"SHA3-KECCAK256", 11}, {"SHA3-KECCAK384", 12},
                 {"SHA3-KECCAK512", 13}};
  const std::string up = ToUpper(name);
  for (const auto& h : kHashes)
    if (up == h.name) return h.id;
  return 0;
}

int32_t GetAESModeId(std::string_view name) {
  static const struct {
    const char* name;
    int32_t id;
  } kModes[] = {{"ECB", 1}, {"CBC", 2}, {"CFB", 3}, {"OFB", 5}, {"CTR", 9}, {"GCM", 11}, {"CCM", 12}};
  const std::string up = ToUpper(name);
  for (const auto& m : kModes)
    if (up == m.name) return m.id;
  return 2;
}

int32_t GetPaddingId(std::string_view name) { return ToUpper(name) == "NONE_PAD" ? 0 : 1; }
