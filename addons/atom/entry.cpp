// RunModule_ATOM and FreeMem_ATOM: the Cosmos actions over the add-on entry.
#include "common/entry.h"

#include "atom/address.h"
#include "atom/signing.h"

namespace {

const ActionRow kAtomActions[] = {
    {"GenAddr", [](Json::Value& args, const std::string&) { return GenAddr_ATOM(args); }, false, "GenAddr Error", 1431},
    {"GenPubEncode", [](Json::Value& args, const std::string&) { return GenPubEncode_ATOM(args); }, false,
     "GenPubEncode Error", 1439},
    {"GenTx", [](Json::Value& args, const std::string&) { return GenTx2_ATOM(args); }, false, "GenTx Error", 1447},
};

}  // namespace

QUENMOD_EXPORTS(ATOM, kAtomEntry, kAtomActions)
