// RunModule_BTC and FreeMem_BTC: the Bitcoin-family actions over the add-on
// entry. A new action is a new row.
#include "btc/address.h"
#include "common/entry.h"

namespace {

const ActionRow kBtcActions[] = {
    {"GenAddr", GenAddr_BTC, true, "GenAddr Error", 1845},
};

}  // namespace

QUENMOD_EXPORTS(BTC, kBtcEntry, kBtcActions)
