// RunModule_ATOM and FreeMem_ATOM: the Cosmos actions over the add-on entry.
#include "common/entry.h"

#include "atom/address.h"
#include "atom/signing.h"

namespace {

const ActionRow kAtomActions[] = {
    {"GenAddr", WithoutCoin<GenAddr_ATOM>, false, "GenAddr Error", 1431},
    {"GenPubEncode", WithoutCoin<GenPubEncode_ATOM>, false, "GenPubEncode Error", 1439},
    {"GenTx", WithoutCoin<GenTx2_ATOM>, false, "GenTx Error", 1447},
};

}  // namespace

QUENMOD_EXPORTS(ATOM, kAtomEntry, kAtomActions)
