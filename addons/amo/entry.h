#ifndef QUENMOD_AMO_ENTRY_H
#define QUENMOD_AMO_ENTRY_H

// The transaction actions of RunModule_AMO ("GenAddr" is in address.h).
//   "GenTx"          args.txinfo {type, payload, fee, last_height, wallet{pri}}
//                    gives args.tx, the Base64 of the signed text.
//   "GenUnsignedTx"  the same with wallet{pub} gives args.unsignedtxinfo
//                    (Base64 of the compact txinfo) and args.signinfos.
//   "GenSignedTx"    args.txinfo {unsignedtxinfo, signinfos with the
//                    signature made outside} gives args.tx.

#include <json/json.h>

namespace amo {

int GenTx_AMO(Json::Value& args);
int GenUnsignedTx_AMO(Json::Value& args);
int GenSignedTx_AMO(Json::Value& args);

}  // namespace amo

#endif
