// The entries of the four coin add-ons. The exception lines are numbers that
// none of the add-on's action rows uses.
#include "common/entry.h"

const EntrySpec kBtcEntry = {"RunModule_BTC", 1820, 1832, 1875, 1880, CoinSource::kArgs, true, false};
const EntrySpec kEthEntry = {"RunModule_ETH", 664, 676, 726, 732, CoinSource::kTopLevel, true, false};
const EntrySpec kAtomEntry = {"RunModule_ATOM", 1409, 1421, 1453, 1459, CoinSource::kNone, false, true};
const EntrySpec kAmoEntry = {"RunModule_AMO", 1384, 1396, 1436, 1442, CoinSource::kNone, false, true};
