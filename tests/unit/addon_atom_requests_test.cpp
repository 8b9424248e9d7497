// Requests to the Cosmos add-on that could mean two things are refused: keys
// named twice, bytes that are not UTF-8, members read as text given as
// another JSON type.
#include <gtest/gtest.h>
#include <json/json.h>

#include <string>

#include "addon_requests_testing.h"

extern "C" int RunModule_ATOM(const char* action, const char* addon, const char* request, char** out);
extern "C" int FreeMem_ATOM(char* text);

namespace {

const reqt::Addon kAtom{"atom", "RunModule_ATOM", 1421, 1459, RunModule_ATOM, FreeMem_ATOM};

const std::string kPri = "0x0000000000000000000000000000000000000000000000000000000000000001";
const std::string kG = "0x0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";

const std::string kGenAddr =
    R"({"action":"GenAddr","addon":"atom","args":{"addrinfo":{"addr_type":"account","algo":"secp256k1","pubs":[{"pub":")" +
    kG + R"("}]}}})";

std::string GenTx(const std::string& msg) {
  return R"({"action":"GenTx","addon":"atom","args":{"txinfo":{"chainid":"c","memo":"m",)"
         R"("fee":{"gas":"1","amount":"5000","denom":"uatom"},"msgs":[)" +
         msg + "]}}}";
}
const std::string kSend = R"({"type":"msgsend","wallet":{"pri":")" + kPri +
                          R"(","seq":"7","accnum":"42","algo":"secp256k1"},)"
                          R"("value":{"amount":[{"amount":"10","denom":"uatom"}],"to_address":"cosmos1to"}})";
const std::string kDelegate = R"({"type":"msgdelegate","wallet":{"pri":")" + kPri +
                              R"(","seq":"7","accnum":"42"},)"
                              R"("value":{"amount":{"amount":"10","denom":"uatom"},"validator_address":"cosmosvaloper1v"}})";

TEST(AtomRequests, KeysNamedTwiceMakeARequestUnparsable) {
  reqt::ExpectDuplicateKeysUnparsable(
      kAtom, {
                 R"({"action":"GenAddr","action":"GenTx","addon":"atom","args":{}})",
                 R"({"action":"GenAddr","addon":"atom","addon":"btc","args":{}})",
                 R"({"action":"GenAddr","args":{"addrinfo":{"addr_type":"account","addr_type":"valoper"}}})",
                 R"({"action":"GenTx","args":{"txinfo":{"memo":"a","chainid":"c","memo":"b"}}})",
                 R"({"action":"GenTx","args":{"txinfo":{"fee":{"amount":"1","amount":"2"}}}})",
                 R"({"action":"GenTx","args":{"txinfo":{"msgs":[{"value":{"to_address":"a","to_address":"b"}}]}}})",
                 R"({"action":"GenPubEncode","args":{"pubinfo":{},"pubinfo":{}}})",
             });
}

TEST(AtomRequests, BytesThatAreNotUtf8MakeARequestUnparsable) { reqt::ExpectBrokenUtf8Unparsable(kAtom, kGenAddr); }

// Members tested for being text before they are read keep the refusals
// they had; the others are refused by the reading rule.
TEST(AtomRequests, MembersReadAsTextMustBeText) {
  const std::string kPubInfo =
      "GenPubEncode_ATOM:1134[object is not exist(pubs or pub_type)]<=RunModule_ATOM:1439[GenPubEncode Error]";
  const std::string kMsgs = "<=GenTx2_ATOM:1221[GenTxMsgs Error !!]<=RunModule_ATOM:1447[GenTx Error]";
  const std::string kWallet = "MakeMsgSend:418[wallet[pri,seq,accum] is not support !!]<=GenTxMsgs:931[msgsend error]" + kMsgs;
  const std::string kValue =
      "MakeMsgSend:426[value[amount[{}],to_address] is not support !!]<=GenTxMsgs:931[msgsend error]" + kMsgs;
  reqt::ExpectTextMembersRefused(kAtom, kGenAddr,
                                 {
                                     {"action", ""},
                                     {"args.addrinfo.addr_type", "GenAddr_ATOM:1079[object is not exist(addr_type or pubs)]<=RunModule_ATOM:1431[GenAddr Error]"},
                                     {"args.addrinfo.algo", ""},
                                     {"args.addrinfo.pubs.0.pub", "GetPub:397[object is not exist(pub)]<=GenAddr_ATOM:1102[GetPubs Error]<=RunModule_ATOM:1431[GenAddr Error]"},
                                 });
  reqt::ExpectTextMembersRefused(
      kAtom,
      R"({"action":"GenPubEncode","addon":"atom","args":{"pubinfo":{"pub_type":"account","algo":"secp256k1","pub":")" +
          kG + R"("}}})",
      {
          {"args.pubinfo.pub_type", kPubInfo},
          {"args.pubinfo.algo", ""},
          {"args.pubinfo.pub", kPubInfo},
      });
  reqt::ExpectTextMembersRefused(kAtom, GenTx(kSend),
                                 {
                                     {"args.txinfo.chainid", "GenTx2_ATOM:1188[txinfo{chainid,memo,fee{},msgs[]} is not support format]<=RunModule_ATOM:1447[GenTx Error]"},
                                     {"args.txinfo.memo", ""},
                                     {"args.txinfo.fee.gas", "GenTx2_ATOM:1202[fee{gas} is not support format]<=RunModule_ATOM:1447[GenTx Error]"},
                                     {"args.txinfo.fee.amount", ""},
                                     {"args.txinfo.fee.denom", ""},
                                     {"args.txinfo.msgs.0.type", "GenTxMsgs:911[msgs[0]{type,value{},wallet{}} is not support format]" + kMsgs},
                                     {"args.txinfo.msgs.0.wallet.pri", kWallet},
                                     {"args.txinfo.msgs.0.wallet.seq", kWallet},
                                     {"args.txinfo.msgs.0.wallet.accnum", kWallet},
                                     {"args.txinfo.msgs.0.wallet.algo", ""},
                                     {"args.txinfo.msgs.0.wallet.pub", ""},
                                     {"args.txinfo.msgs.0.value.to_address", kValue},
                                     {"args.txinfo.msgs.0.value.amount.0.amount", kValue},
                                     {"args.txinfo.msgs.0.value.amount.0.denom", kValue},
                                 });
  reqt::ExpectTextMembersRefused(kAtom, GenTx(kDelegate),
                                 {
                                     {"args.txinfo.msgs.0.value.validator_address", "MakeMsgDelegate:702[value[amount{},validator_address] is not support !!]<=GenTxMsgs:955[msgdelegate error]" + kMsgs},
                                     {"args.txinfo.msgs.0.value.amount.amount", "MakeMsgDelegate:709[amount{amount,denom} is not support !!]<=GenTxMsgs:955[msgdelegate error]" + kMsgs},
                                 });
}

}  // namespace
