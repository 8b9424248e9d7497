// Requests to the Ethereum add-on that could mean two things are refused:
// keys named twice, bytes that are not UTF-8, members read as text given as
// another JSON type. Called directly and through the core.
#include <gtest/gtest.h>
#include <json/json.h>

#include <string>

#include "addon_requests_testing.h"
#include "tolvaris/bcm_hd.h"
#include "tolvaris/runmodule.h"

extern "C" int RunModule_ETH(const char* action, const char* addon, const char* request, char** out);
extern "C" int FreeMem_ETH(char* text);

namespace {

const reqt::Addon kEth{"eth", "RunModule_ETH", 676, 732, RunModule_ETH, FreeMem_ETH};

const std::string kKey = "0x4646464646464646464646464646464646464646464646464646464646464646";

std::string Pub() {
  const tvt::Bytes key = tvt::Unhex(kKey.substr(2));
  unsigned char pub[33];
  int len = 33;
  EXPECT_EQ(BCMGenPubkeyFromPriKey(0, key.data(), 32, pub, &len), 0);
  return "0x" + tvt::Hex(pub, 33);
}

std::string TxInfo(const std::string& wallet, const std::string& extra = "") {
  return R"({"nonce":"9","gasprice":"20000000000","gaslimit":"21000",)"
         R"("to":"0x3535353535353535353535353535353535353535","value":"0x0de0b6b3a7640000",)" +
         extra + R"("wallet":)" + wallet + "}";
}
const std::string kContract =
    R"("contract":{"addr":"0x1111111111111111111111111111111111111111","to":"0x2222222222222222222222222222222222222222","value":"0x3039"},)";

std::string GenTx(const std::string& extra = "") {
  return R"({"action":"GenTx","addon":"eth","coin":"etc","args":{"network":"test","txinfo":)" +
         TxInfo(R"({"pri":")" + kKey + R"(","algo":"secp256k1"})", extra) + "}}";
}

// What the refused members of the transaction actions leave: the Part's own
// refusals where a member is tested for being text before it is read.
std::string Fields(const char* handler, uint32_t line, const char* action, uint32_t entryLine) {
  return std::string("GenerateETHUnsignedTx:245[txinfo is invalid(data) !!]<=GenerateETHSignInfos:350[GenerateETHUnsignedTx "
                     "Error !!]<=") +
         handler + ":" + std::to_string(line) + "[GenerateETHSignInfos Error !!]<=RunModule_ETH:" +
         std::to_string(entryLine) + "[" + action + "]";
}

TEST(EthRequests, KeysNamedTwiceMakeARequestUnparsable) {
  const std::string tx = TxInfo(R"({"pri":")" + kKey + R"("})");
  reqt::ExpectDuplicateKeysUnparsable(
      kEth, {
                // A reader that takes the first "action" sees an address, the last a transaction.
                R"({"action":"GenAddr","action":"GenTx","addon":"eth","args":{"txinfo":)" + tx + "}}",
                R"({"action":"GenTx","addon":"eth","addon":"btc","args":{"txinfo":)" + tx + "}}",
                R"({"action":"GenTx","coin":"eth","coin":"etc","args":{"txinfo":)" + tx + "}}",
                R"({"action":"GenTx","args":{"network":"main","txinfo":)" + tx + R"(,"network":"test"}})",
                R"({"action":"GenTx","args":{"txinfo":)" + tx.substr(0, tx.size() - 1) + R"(,"value":"0x01"}}})",
                R"({"action":"GenTx","args":{"txinfo":)" + TxInfo(R"({"pri":")" + kKey + R"(","pri":"0x01"})") + "}}",
                R"({"action":"GenAddr","args":{"addrinfo":{"pubs":[{"pub":")" + Pub() + R"(","pub":"0x02"}]}}})",
                R"({"action":"GenAddr","args":{"addrinfo":{"pubs":[]},"addrinfo":{"pubs":[]}}})",
                R"({"action":"GenAddr","\u0061ction":"GenTx","args":{}})",
            });
}

TEST(EthRequests, BytesThatAreNotUtf8MakeARequestUnparsable) {
  reqt::ExpectBrokenUtf8Unparsable(kEth, GenTx());
}

TEST(EthRequests, MembersReadAsTextMustBeText) {
  const std::string pub = Pub();
  reqt::ExpectTextMembersRefused(
      kEth, R"({"action":"GenAddr","addon":"eth","coin":"eth","args":{"addrinfo":{"pubs":[{"pub":")" + pub + R"("}]}}})",
      {
          {"action", ""},
          {"coin", ""},
          {"args.addrinfo.pubs.0.pub",
           "GenAddr_ETH:225[object is not addrinfo.pubs[0].pub is invalid !!]<=RunModule_ETH:688[GenAddr Error]"},
      });
  const std::vector<reqt::TextMember> tx = {
      {"action", ""},
      {"coin", ""},
      {"args.network", ""},
      {"args.txinfo.nonce", Fields("GenTx_ETH", 547, "GetTx Error", 712)},
      {"args.txinfo.gasprice", Fields("GenTx_ETH", 547, "GetTx Error", 712)},
      {"args.txinfo.gaslimit", Fields("GenTx_ETH", 547, "GetTx Error", 712)},
      {"args.txinfo.to", ""},
      {"args.txinfo.value", ""},
      {"args.txinfo.wallet.pri", "GenTx_ETH:539[txinfo.wallet.pri is not exist !!]<=RunModule_ETH:712[GetTx Error]"},
      {"args.txinfo.wallet.algo", ""},
  };
  reqt::ExpectTextMembersRefused(kEth, GenTx(), tx);
  // A token transfer whose member is of another type is refused, not sent
  // as a plain transfer.
  reqt::ExpectTextMembersRefused(kEth, GenTx(kContract),
                                 {{"args.txinfo.contract.addr", "RunModule_ETH:732[contract.addr is not a JSON string !!]"},
                                  {"args.txinfo.contract.to", "RunModule_ETH:732[contract.to is not a JSON string !!]"},
                                  {"args.txinfo.contract.value", "RunModule_ETH:732[contract.value is not a JSON string !!]"}});
  reqt::ExpectTextMembersRefused(
      kEth,
      R"({"action":"GenUnsignedTx","addon":"eth","args":{"network":"test","txinfo":)" +
          TxInfo(R"({"pub":")" + pub + R"(","algo":"secp256k1"})") + "}}",
      {
          {"args.network", ""},
          {"args.txinfo.nonce", Fields("GenUnsignedTx_ETH", 583, "GenUnsignedTx Error", 696)},
          {"args.txinfo.to", ""},
          {"args.txinfo.value", ""},
          {"args.txinfo.wallet.pub",
           "GenUnsignedTx_ETH:575[txinfo is invalid(data) !!]<=RunModule_ETH:696[GenUnsignedTx Error]"},
          {"args.txinfo.wallet.algo", ""},
      });
  reqt::ExpectTextMembersRefused(kEth, R"({"action":"GenTxID","addon":"eth","args":{"txinfo":{"rawtx":"0x01"}}})",
                                 {{"args.txinfo.rawtx", ""}});
}

TEST(EthRequests, MembersOfTheSecondStepMustBeText) {
  const std::string pub = Pub();
  const reqt::Reply first = reqt::Call(
      kEth, R"({"action":"GenUnsignedTx","addon":"eth","coin":"etc","args":{"txinfo":)" +
                TxInfo(R"({"pub":")" + pub + R"("})") + "}}");
  ASSERT_EQ(first.rc, 0) << first.text;
  Json::Value infos = first.json["signinfos"];
  int recovery = 0;
  infos[0]["signature"] = reqt::DerSignature(0, kKey, infos[0]["signaturehash"].asString(), &recovery);
  infos[0]["recovery"] = std::to_string(recovery);
  Json::Value request;
  request["action"] = "GenSignedTx";
  request["coin"] = "etc";
  request["args"]["network"] = "main";
  request["args"]["txinfo"]["unsignedtxinfo"] = first.json["unsignedtxinfo"];
  request["args"]["txinfo"]["signinfos"] = infos;
  const std::string refused = "<=GenSignedTx_ETH:645[GenerateETHSignedTx Error !!]<=RunModule_ETH:704[GenSignedTx Error]";
  const std::string signinfo = "GenerateETHSignedTx:430[jvTxSignInfos[0] is invalid !!]" + refused;
  reqt::ExpectTextMembersRefused(
      kEth, reqt::Compact(request),
      {
          {"coin", ""},
          {"args.network", ""},
          {"args.txinfo.unsignedtxinfo",
           "GenSignedTx_ETH:612[txinfo is invalid(data) !!]<=RunModule_ETH:704[GenSignedTx Error]"},
          {"args.txinfo.signinfos.0.pubkey", signinfo},
          {"args.txinfo.signinfos.0.signaturehash", signinfo},
          {"args.txinfo.signinfos.0.signature", signinfo},
          {"args.txinfo.signinfos.0.recovery", signinfo},
      });
}

// The road of a new user: "AddModule", then requests through RunModule. The
// core refuses what it cannot read before any add-on sees it, and hands on
// the add-on's refusal of a member of another type.
TEST(EthRequests, ThroughTheCore) {
  auto send = [](const std::string& request, int& rc) {
    char* out = nullptr;
    rc = RunModule(request.c_str(), &out);
    const std::string text = out != nullptr ? out : "";
    FreeMem(out);
    EXPECT_TRUE(IsStrictJson(text)) << text;
    return text;
  };
  int rc = -1;
  send(R"({"action":"AddModule","args":{"addon":"eth","libpath":")" + JsonEscape(TV_OUT_DIR) + "\"}}", rc);
  ASSERT_EQ(rc, 0);
  const std::string tx = TxInfo(R"({"pri":")" + kKey + R"("})");
  std::string reply = send(R"({"action":"GenAddr","action":"GenTx","addon":"eth","args":{"txinfo":)" + tx + "}}", rc);
  EXPECT_EQ(rc, 1196);
  EXPECT_EQ(reply.rfind(R"({"action":"json_parse","result":"fail","return":{"json":"{'action':'GenAddr','action':'GenTx',)", 0),
            0u)
      << reply;

  Json::Value request = tvt::ParseJson(R"({"action":"GenTx","addon":"eth","args":{"txinfo":)" + tx + "}}");
  request["args"]["txinfo"]["value"] = 1000000000000000000.0;
  reply = send(reqt::Compact(request), rc);
  EXPECT_EQ(rc, 1203);
  const Json::Value envelope = tvt::ParseJson(reply);
  EXPECT_EQ(envelope["action"].asString(), "GenTx");
  EXPECT_EQ(envelope["result"].asString(), "fail");
  EXPECT_NE(envelope["return"]["error"]["err_msg"].asString().find("Addon(RunModule_ETH:732[value is not a JSON string !!])"),
            std::string::npos)
      << reply;
  EXPECT_FALSE(envelope["return"].isMember("rawtx"));
}

}  // namespace
