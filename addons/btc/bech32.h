#ifndef QUENMOD_BTC_BECH32_H
#define QUENMOD_BTC_BECH32_H

// Checksums of the two 5-bit address formats. `values` and the checksums
// hold one value (0-31) per byte. Neither can fail; both return 0.

#include <string>

#include "common/bytes.h"

// Segwit version 0 addresses (BIP 173, constant 1): `hrp` with its separator
// "1" ("bc1"). Appends six values to `checksum`.
int GenerateBTCBech32CheckSum(const std::string& hrp, const Bytes& values, Bytes& checksum);

// Cash addresses: `prefix` with its ":" ("bitcoincash:"). Appends eight
// values to `checksum`.
int GenerateCashAddrCheckSum(const std::string& prefix, const Bytes& values, Bytes& checksum);

#endif
