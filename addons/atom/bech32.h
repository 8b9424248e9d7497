#ifndef QUENMOD_ATOM_BECH32_H
#define QUENMOD_ATOM_BECH32_H

// Bech32 (BIP-173, not bech32m) texts for the Cosmos prefixes. A prefix is
// kept with its separator "1"; the checksum covers it without that "1".

#include <string>
#include <string_view>
#include <vector>

// One key role: its JSON word, its address prefix and its public-key prefix.
struct AtomRole {
  const char* word;
  const char* addressPrefix;
  const char* pubPrefix;
};
// "account", "valoper" and "valcons", in that order.
extern const AtomRole kAtomRoles[3];

// The role whose JSON word is exactly `word`, or null.
const AtomRole* FindAtomRole(std::string_view word);
bool IsAtomAddressPrefix(std::string_view prefix);
bool IsAtomPubPrefix(std::string_view prefix);

// Appends the six checksum values of `prefix` and the 5-bit `values` to `out`.
// Returns 0, or 1 for a prefix other than the six.
int GenerateATOMBech32CheckSum(const std::string& prefix, const std::vector<unsigned char>& values,
                               std::vector<unsigned char>& out);

// prefix + the payload in 5-bit characters + the checksum. Returns 0 or 1.
int GenerateATOMBech32Encode(const std::string& prefix, const std::vector<unsigned char>& payload, std::string& out);

#endif
