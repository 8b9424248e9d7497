// Requests to the AMO add-on that could mean two things are refused: keys
// named twice, bytes that are not UTF-8, members read as text given as
// another JSON type.
#include <gtest/gtest.h>
#include <json/json.h>

#include <string>

#include "addon_requests_testing.h"

extern "C" int RunModule_AMO(const char* action, const char* addon, const char* request, char** out);
extern "C" int FreeMem_AMO(char* text);

namespace {

const reqt::Addon kAmo{"amo", "RunModule_AMO", 1396, 1442, RunModule_AMO, FreeMem_AMO};

const std::string kPri = "0x0000000000000000000000000000000000000000000000000000000000000001";
const std::string kPub = "0x036b17d1f2e12c4247f8bce6e563a440f277037d812deb33a0f4a13945d898c296";  // of kPri, P-256

const std::string kGenAddr =
    R"({"action":"GenAddr","addon":"amo","args":{"addrinfo":{"algo":"p256","pubs":[{"pub":")" + kPub + R"("}]}}})";

std::string Tx(const std::string& action, const std::string& type, const std::string& payload,
               const std::string& wallet) {
  return R"({"action":")" + action + R"(","addon":"amo","args":{"txinfo":{"type":")" + type + R"(","payload":)" +
         payload + R"(,"fee":"10","last_height":"0x64","wallet":)" + wallet + "}}}";
}
const std::string kRequest =
    R"({"target":"t","payment":"9","recipient":"r","dealer":"d","dealer_fee":"1","extra":{"note":"n"}})";
const std::string kIssue = R"({"udc":"3","desc":"token","operators":["ab","cd"],"amount":"100"})";
const std::string kPriWallet = R"({"pri":")" + kPri + R"(","algo":"p256"})";

TEST(AmoRequests, KeysNamedTwiceMakeARequestUnparsable) {
  reqt::ExpectDuplicateKeysUnparsable(
      kAmo, {
                R"({"action":"GenAddr","action":"GenTx","addon":"amo","args":{}})",
                R"({"action":"GenAddr","addon":"amo","addon":"eth","args":{}})",
                R"({"action":"GenAddr","args":{"addrinfo":{"algo":"p256","algo":"ed25519"}}})",
                R"({"action":"GenTx","args":{"txinfo":{"type":"transfer","fee":"1","type":"stake"}}})",
                R"({"action":"GenTx","args":{"txinfo":{"payload":{"to":"a","amount":"1","to":"b"}}}})",
                R"({"action":"GenTx","args":{"txinfo":{"payload":{"extra":{"k":"1","k":"2"}}}}})",
                R"({"action":"GenTx","args":{"txinfo":{"wallet":{"pri":"0x01","pri":"0x02"}}}})",
            });
}

TEST(AmoRequests, BytesThatAreNotUtf8MakeARequestUnparsable) { reqt::ExpectBrokenUtf8Unparsable(kAmo, kGenAddr); }

// Members tested for being text before they are read keep the refusals
// they had; the others are refused by the reading rule.
TEST(AmoRequests, MembersReadAsTextMustBeText) {
  const std::string kFields =
      "GenTx_AMO:1240[txinfo{type,payload{},fee,last_height} is not support format]<=RunModule_AMO:1430[GenTx Error]";
  const std::string kSign =
      "<=GenerateAMOSignInfos:1049[GenerateAMOUnsignedTx Error !!]<=GenTx_AMO:1246[GenerateAMOSignInfos Error !!]"
      "<=RunModule_AMO:1430[GenTx Error]";
  reqt::ExpectTextMembersRefused(kAmo, kGenAddr,
                                 {
                                     {"action", ""},
                                     {"args.addrinfo.algo", ""},
                                     {"args.addrinfo.pubs.0.pub", "GenAddr_AMO:101[object is not exist(pub)]<=RunModule_AMO:1406[GenAddr Error]"},
                                 });
  reqt::ExpectTextMembersRefused(kAmo, Tx("GenTx", "request", kRequest, kPriWallet),
                                 {
                                     {"args.txinfo.type", kFields},
                                     {"args.txinfo.fee", kFields},
                                     {"args.txinfo.last_height", kFields},
                                     {"args.txinfo.payload.target", "MakeTxRequest:557[payload[target,payment] is not support !!]<=GenerateAMOUnsignedTx:929[request error]" + kSign},
                                     {"args.txinfo.payload.payment", "MakeTxRequest:557[payload[target,payment] is not support !!]<=GenerateAMOUnsignedTx:929[request error]" + kSign},
                                     {"args.txinfo.payload.recipient", ""},
                                     {"args.txinfo.payload.dealer", ""},
                                     {"args.txinfo.payload.dealer_fee", ""},
                                     {"args.txinfo.wallet.pri", "GenTx_AMO:1231[txinfo.wallet.pri is not exist !!]<=RunModule_AMO:1430[GenTx Error]"},
                                     {"args.txinfo.wallet.algo", ""},
                                     {"args.txinfo.wallet.pub", ""},
                                 });
  reqt::ExpectTextMembersRefused(kAmo, Tx("GenTx", "issue", kIssue, kPriWallet),
                                 {
                                     {"args.txinfo.payload.udc", "MakeTxIssue:751[payload[udc,amount] is not support !!]<=GenerateAMOUnsignedTx:985[issue error]" + kSign},
                                     {"args.txinfo.payload.desc", ""},
                                     {"args.txinfo.payload.operators.1", "RunModule_AMO:1442[operators is not a JSON string !!]"},
                                 });
  reqt::ExpectTextMembersRefused(kAmo,
                                 Tx("GenUnsignedTx", "request", kRequest, R"({"pub":")" + kPub + R"(","algo":"p256"})"),
                                 {
                                     {"args.txinfo.type", "GenUnsignedTx_AMO:1282[txinfo{type,payload{},fee,last_height} is not support format]<=RunModule_AMO:1414[GenTx Error]"},
                                     {"args.txinfo.payload.recipient", ""},
                                     {"args.txinfo.wallet.pub", "GenUnsignedTx_AMO:1273[txinfo is invalid(data) !!]<=RunModule_AMO:1414[GenTx Error]"},
                                     {"args.txinfo.wallet.algo", ""},
                                 });
}

TEST(AmoRequests, MembersOfTheSecondStepMustBeText) {
  const reqt::Reply first =
      reqt::Call(kAmo, Tx("GenUnsignedTx", "request", kRequest, R"({"pub":")" + kPub + R"(","algo":"p256"})"));
  ASSERT_EQ(first.rc, 0) << first.text;
  Json::Value infos = first.json["signinfos"];
  infos[0]["signature"] = reqt::DerSignature(1, kPri, infos[0]["signaturehash"].asString());
  Json::Value request;
  request["action"] = "GenSignedTx";
  request["args"]["txinfo"]["unsignedtxinfo"] = first.json["unsignedtxinfo"];
  request["args"]["txinfo"]["signinfos"] = infos;
  reqt::ExpectTextMembersRefused(kAmo, reqt::Compact(request),
                                 {
                                     {"args.txinfo.unsignedtxinfo", "GenSignedTx_AMO:1314[txinfo is invalid(data) !!]<=RunModule_AMO:1422[GenTx Error]"},
                                     {"args.txinfo.signinfos.0.pubkey", ""},
                                     {"args.txinfo.signinfos.0.signaturehash", ""},
                                     {"args.txinfo.signinfos.0.signature", ""},
                                 });
}

}  // namespace
