// RunModule_BTC and FreeMem_BTC: the Bitcoin-family actions over the add-on
// entry. A new action is a new row.
#include "btc/address.h"
#include "btc/tx_actions.h"
#include "common/entry.h"

namespace {

const ActionRow kBtcActions[] = {
    {"GenAddr", GenAddr_BTC, true, "GenAddr Error", 1845},
    {"GenUnsignedTx", GenUnsignedTx_BTC, true, "GenUnsignedTx Error", 1853},
    {"GenSignedTx", GenSignedTx_BTC, true, "GenSignedTx Error", 1861},
    {"GenTx", GenTx_BTC, true, "GetTx Error", 1869},
};

}  // namespace

QUENMOD_EXPORTS(BTC, kBtcEntry, kBtcActions)
