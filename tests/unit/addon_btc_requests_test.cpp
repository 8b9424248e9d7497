// Requests to the Bitcoin-family add-on that could mean two things are
// refused: keys named twice, bytes that are not UTF-8, members read as text
// given as another JSON type.
#include <gtest/gtest.h>
#include <json/json.h>

#include <string>
#include <vector>

#include "addon_requests_testing.h"

extern "C" int RunModule_BTC(const char* action, const char* addon, const char* request, char** out);
extern "C" int FreeMem_BTC(char* text);

namespace {

const reqt::Addon kBtc{"btc", "RunModule_BTC", 1832, 1880, RunModule_BTC, FreeMem_BTC};

const std::string kG = "0x0279BE667EF9DCBBAC55A06295CE870B07029BFCDB2DCE28D959F2815B16F81798";
const std::string kG2 = "0x02C6047F9441ED7D6D3045406E95C07CD85C778E4B8CEF3CA7ABAC09B95C709EE5";

const std::string kGenAddr =
    R"({"action":"GenAddr","addon":"btc","args":{"coin":"btc","network":"main","addrinfo":{"pubs":[{"pub":")" + kG +
    R"("},{"pub":")" + kG2 + R"("}],"addr_type":"p2sh","msig":[{"totalsigcnt":"2","needsigcnt":"1"}]}}})";

// BIP 143's P2SH-P2WPKH example.
const std::string kPri = "0xeb696a065ef48a2192da5b28b694f87544b30fae8327c4510137a922f32c6dcf";
const std::string kPub = "0x03ad1d8e89212f0b92c74d23bb710c00662ad1470198ac48c43f7d6f93a2a26873";

std::string TxInfo(const std::string& wallet) {
  return R"({"version":"0x01000000","locktime":"0x92040000",)"
         R"("input":[{"prehex":"0x77541aeb3c4dac9260b68f74f44c973081a9d4cb2ebe8038b2d70faa201b6bdb","preidx":"1",)"
         R"("prevalue":"1000000000","sequence":"0xfeffffff",)"
         R"("prespub":"0xa9144733f37cf4db86fbc2efed2500b4f4e49f31202387","wallet":)" +
         wallet +
         R"(}],"output":[{"dest":"1Fyxts6r24DpEieygQiNnWxUdb18ANa5p7","value":"199996600"},)"
         R"({"dest":"1Q5YjKVj5yQWHBBsyEBamkfph3cA6G9KK8","value":"800000000"}]})";
}

std::string Request(const std::string& action, const std::string& txinfo) {
  return R"({"action":")" + action + R"(","addon":"btc","args":{"coin":"btc","network":"main","txinfo":)" + txinfo +
         "}}";
}

std::string Inputs(uint32_t line) {
  return "ReadyForUseJson:1375[input[0] is invalid(format) !!]<=GenerateBTCUnsignedTx:1490[ReadyForUseJson Error "
         "!!]<=GenTx_BTC:1698[GenerateUnsignedTx error !!]<=RunModule_BTC:" + std::to_string(line) + "[GetTx Error]";
}

TEST(BtcRequests, KeysNamedTwiceMakeARequestUnparsable) {
  const std::string tx = TxInfo(R"({"pri":")" + kPri + R"("})");
  reqt::ExpectDuplicateKeysUnparsable(
      kBtc, {
                R"({"action":"GenAddr","action":"GenTx","addon":"btc","args":{"txinfo":)" + tx + "}}",
                R"({"action":"GenAddr","addon":"btc","addon":"ltc","args":{}})",
                R"({"action":"GenAddr","args":{"coin":"btc","coin":"ltc"}})",
                R"({"action":"GenAddr","args":{"addrinfo":{"pubs":[{"pub":")" + kG +
                    R"("}],"addr_type":"p2pkh","addr_type":"p2wpkh"}}})",
                R"({"action":"GenAddr","args":{"addrinfo":{"pubs":[],"msig":[{"needsigcnt":"1","needsigcnt":"2"}]}}})",
                R"({"action":"GenTx","args":{"txinfo":{"locktime":"0x00000000","locktime":"0x92040000"}}})",
                R"({"action":"GenTx","args":{"txinfo":{"input":[{"preidx":"0","preidx":"1"}]}}})",
                R"({"action":"GenTx","args":{"txinfo":{"output":[{"dest":"a","value":"1","value":"2"}]}}})",
            });
}

TEST(BtcRequests, BytesThatAreNotUtf8MakeARequestUnparsable) { reqt::ExpectBrokenUtf8Unparsable(kBtc, kGenAddr); }

TEST(BtcRequests, MembersReadAsTextMustBeText) {
  const std::string pubs = "<=GenAddr_BTC:480[GetPubs Error]<=RunModule_BTC:1845[GenAddr Error]";
  reqt::ExpectTextMembersRefused(kBtc, kGenAddr,
                                 {
                                     {"action", ""},
                                     {"args.coin", ""},
                                     {"args.network", ""},
                                     {"args.addrinfo.addr_type", ""},
                                     {"args.addrinfo.msig.0.totalsigcnt", ""},
                                     {"args.addrinfo.msig.0.needsigcnt", ""},
                                     {"args.addrinfo.pubs.0.pub", "GetPubs:315[object is not exist(pub)]" + pubs},
                                     {"args.addrinfo.pubs.1.pub", "GetPubs:345[object is not exist(pub)]" + pubs},
                                 });
  const std::string outputs =
      "ReadyForUseJson:1416[output[0] is invalid(format) !!]<=GenerateBTCUnsignedTx:1490[ReadyForUseJson Error "
      "!!]<=GenTx_BTC:1698[GenerateUnsignedTx error !!]<=RunModule_BTC:1869[GetTx Error]";
  reqt::ExpectTextMembersRefused(
      kBtc, Request("GenTx", TxInfo(R"({"pri":")" + kPri + R"(","algo":"secp256k1"})")),
      {
          {"args.coin", ""},
          {"args.network", ""},
          {"args.txinfo.version", ""},
          {"args.txinfo.locktime", ""},
          {"args.txinfo.input.0.prehex", Inputs(1869)},
          {"args.txinfo.input.0.preidx", Inputs(1869)},
          {"args.txinfo.input.0.prevalue", Inputs(1869)},
          {"args.txinfo.input.0.sequence", ""},
          {"args.txinfo.input.0.prespub", ""},
          {"args.txinfo.input.0.redeems", ""},
          {"args.txinfo.input.0.wallet.pri",
           "GenTx_BTC:1684[input.wallet.pri is not exist or multisign is exist !!]<=RunModule_BTC:1869[GetTx Error]"},
          {"args.txinfo.input.0.wallet.algo", ""},
          {"args.txinfo.input.0.wallet.pub", ""},
          {"args.txinfo.output.0.dest", outputs},
          {"args.txinfo.output.1.value",
           "ReadyForUseJson:1416[output[1] is invalid(format) !!]<=GenerateBTCUnsignedTx:1490[ReadyForUseJson Error "
           "!!]<=GenTx_BTC:1698[GenerateUnsignedTx error !!]<=RunModule_BTC:1869[GetTx Error]"},
      });
  reqt::ExpectTextMembersRefused(kBtc, Request("GenUnsignedTx", TxInfo(R"({"pub":")" + kPub + R"("})")),
                                 {
                                     {"args.txinfo.version", ""},
                                     {"args.txinfo.input.0.sequence", ""},
                                     {"args.txinfo.input.0.redeems", ""},
                                     {"args.txinfo.input.0.wallet.pub", ""},
                                 });
}

TEST(BtcRequests, MembersOfTheSecondStepMustBeText) {
  const reqt::Reply first = reqt::Call(kBtc, Request("GenUnsignedTx", TxInfo(R"({"pub":")" + kPub + R"("})")));
  ASSERT_EQ(first.rc, 0) << first.text;
  Json::Value infos = first.json["signinfos"];
  infos[0]["signinfo"][0]["signature"] = reqt::DerSignature(0, kPri, infos[0]["signaturehash"].asString());
  Json::Value request;
  request["action"] = "GenSignedTx";
  request["args"]["txinfo"]["unsignedtxinfo"] = first.json["unsignedtxinfo"];
  request["args"]["txinfo"]["signinfos"] = infos;
  const std::string signed_ = "<=GenSignedTx_BTC:1792[GenerateSignedTx error !!]<=RunModule_BTC:1861[GenSignedTx Error]";
  // The description is read again first; matching its input's kind leaves
  // the record of the kind that did not match.
  const std::string kind = "IsP2PKHScriptPub:661[p2pkh script is invaild(format) !!]<=";
  reqt::ExpectTextMembersRefused(
      kBtc, reqt::Compact(request),
      {
          {"args.coin", ""},
          {"args.network", ""},
          {"args.txinfo.unsignedtxinfo",
           "GenSignedTx_BTC:1763[txinfo is invalid(data) !!]<=RunModule_BTC:1861[GenSignedTx Error]"},
          {"args.txinfo.signinfos.0.signaturehash",
           kind + "GenerateBTCSignedTx:1591[input[0].signinfos.signaturehash is not exist !!]" + signed_},
          {"args.txinfo.signinfos.0.signinfo.0.pubkey",
           kind + "GenerateBTCSignedTx:1606[signinfos[0].signinfo[0] is invalid !!]" + signed_},
          {"args.txinfo.signinfos.0.signinfo.0.signature", kind + "RunModule_BTC:1880[signature is not a JSON string !!]"},
      });
}

}  // namespace
