// RunModule_ETH called directly: its five actions, the coin tag and network,
// the two-step road around an outside signer, and exact error replies.
#include <gtest/gtest.h>
#include <json/json.h>

#include <string>

#include "command/json_check.h"
#include "command/text/text.h"
#include "tolvaris/bcm_codec.h"
#include "tolvaris/bcm_core.h"
#include "tolvaris/bcm_hd.h"
#include "tolvaris/bcm_sign.h"
#include "tv_test.h"

extern "C" int RunModule_ETH(const char* action, const char* addon, const char* request, char** out);
extern "C" int FreeMem_ETH(char* text);

namespace {

using tvt::Bytes;

const std::string kKey = "0x4646464646464646464646464646464646464646464646464646464646464646";
const std::string kVer = "VQ(VER[DV_vqver_DV.DV_vqdev_DV]";

struct Reply {
  int rc;
  std::string text;
  Json::Value json;
};

Reply Call(const std::string& request, const char* addon = "eth") {
  char* out = nullptr;
  Reply r;
  r.rc = RunModule_ETH("x", addon, request.c_str(), &out);
  EXPECT_NE(out, nullptr);
  r.text = out != nullptr ? out : "";
  EXPECT_EQ(FreeMem_ETH(out), 0);
  EXPECT_TRUE(IsStrictJson(r.text)) << r.text;
  r.json = tvt::ParseJson(r.text);
  return r;
}

// "err_msg" for an error chain, with the core's last-error text as it stands.
std::string ErrMsg(const std::string& chain) {
  const std::string last = BCMGetLastErr();
  return kVer + (last == "[][][]" ? "" : last) + ") Addon(" + chain + ")";
}

std::string Request(const std::string& action, const std::string& args, const std::string& top = "") {
  return R"({"action":")" + action + R"(","addon":"eth",)" + top + R"("args":)" + args + "}";
}

std::string TxInfo(const std::string& wallet, const std::string& extra = "") {
  return R"({"nonce":"9","gasprice":"20000000000","gaslimit":"21000",)"
         R"("to":"0x3535353535353535353535353535353535353535","value":"0x0de0b6b3a7640000",)" +
         extra + R"("wallet":)" + wallet + "}";
}
const std::string kPriWallet = R"({"pri":")" + kKey + R"("})";

// The description with its amount written as decimal text, "1".
std::string DecimalValue(const std::string& txinfo) {
  return ReplaceAll(txinfo, R"("value":"0x0de0b6b3a7640000")", R"("value":"1")");
}

std::string PubOf(const std::string& pri) {
  const Bytes key = HexToBytes(pri);
  unsigned char pub[33];
  int len = 33;
  EXPECT_EQ(BCMGenPubkeyFromPriKey(0, key.data(), 32, pub, &len), 0);
  return BytesToHex(pub, 33);
}

TEST(AddonEthEntry, NullArgumentsAndUnparsableRequests) {
  char* out = nullptr;
  EXPECT_EQ(RunModule_ETH("x", "eth", nullptr, &out), 1);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(std::string(out),
            R"({"error":{"err_code":"1000","err_msg":")" + ErrMsg("RunModule_ETH:664[param is null]") + R"("}})");
  FreeMem_ETH(out);
  EXPECT_EQ(FreeMem_ETH(nullptr), 1);

  Reply r = Call(R"({"action":"GenAddr",)");
  EXPECT_EQ(r.rc, 1);
  EXPECT_EQ(r.json["error"]["err_msg"].asString(),
            ErrMsg("RunModule_ETH:676[json parse error({'action':'GenAddr',)]"));
}

TEST(AddonEthEntry, ErrorChainsOfTheActions) {
  const std::string pub = PubOf(kKey);
  const std::string other = PubOf("0x" + std::string(63, '0') + "1");
  struct Case {
    const char* what;
    std::string request, chain;
  } cases[] = {
      {"action in another case", Request("GenTxId", "{}"), "RunModule_ETH:726[not support action[GenTxId]]"},
      {"action missing", R"({"args":{}})", "RunModule_ETH:726[not support action[]]"},
      {"uncompressed key",
       Request("GenAddr", R"({"addrinfo":{"pubs":[{"pub":"0x04)" + pub.substr(4) + std::string(64, '1') + R"("}]}})"),
       "GenerateETHAddress:195[pub is not compress type !!]<=GenAddr_ETH:232[GenerateAddr Error]<=RunModule_ETH:688[GenAddr Error]"},
      {"no addrinfo", Request("GenAddr", "{}"),
       "GenAddr_ETH:225[object is not addrinfo.pubs[0].pub is invalid !!]<=RunModule_ETH:688[GenAddr Error]"},
      {"pubs not an array", Request("GenAddr", R"({"addrinfo":{"pubs":{"pub":"0x02"}}})"),
       "GenAddr_ETH:225[object is not addrinfo.pubs[0].pub is invalid !!]<=RunModule_ETH:688[GenAddr Error]"},
      {"empty rawtx", Request("GenTxID", R"({"txinfo":{"rawtx":""}})"),
       "GenTxID_ETH:509[txinfo is invalid(rawtx) !!]<=RunModule_ETH:720[GetTxID Error]"},
      {"no txinfo for an id", Request("GenTxID", R"({"rawtx":"0x01"})"),
       "GenTxID_ETH:501[object is not exist(txinfo)]<=RunModule_ETH:720[GetTxID Error]"},
      {"GenTx with only a public key", Request("GenTx", R"({"txinfo":)" + TxInfo(R"({"pub":")" + pub + R"("})") + "}"),
       "GenTx_ETH:539[txinfo.wallet.pri is not exist !!]<=RunModule_ETH:712[GetTx Error]"},
      {"GenTx without txinfo", Request("GenTx", "{}"), "GenTx_ETH:533[txinfo is not exist !!]<=RunModule_ETH:712[GetTx Error]"},
      {"GenUnsignedTx with only a private key", Request("GenUnsignedTx", R"({"txinfo":)" + TxInfo(kPriWallet) + "}"),
       "GenUnsignedTx_ETH:575[txinfo is invalid(data) !!]<=RunModule_ETH:696[GenUnsignedTx Error]"},
      {"public key of someone else",
       Request("GenTx", R"({"txinfo":)" + TxInfo(R"({"pri":")" + kKey + R"(","pub":")" + other + R"("})") + "}"),
       "GenerateETHSignedTx:465[signature verify is failed !!]<=GenTx_ETH:562[GenerateETHSignedTx Error !!]"
       "<=RunModule_ETH:712[GetTx Error]"},
      {"nonce that is not a number", Request("GenTx", R"({"txinfo":)" + TxInfo(kPriWallet).replace(10, 1, "12a") + "}"),
       "GenerateETHUnsignedTx:247[txinfo[nonce] is not a number !!]<=GenerateETHSignInfos:350[GenerateETHUnsignedTx "
       "Error !!]<=GenTx_ETH:547[GenerateETHSignInfos Error !!]<=RunModule_ETH:712[GetTx Error]"},
      {"decimal value", Request("GenTx", R"({"txinfo":)" + DecimalValue(TxInfo(kPriWallet)) + "}"),
       "GenerateETHUnsignedTx:265[txinfo[value] is not 0x hex text !!]<=GenerateETHSignInfos:350["
       "GenerateETHUnsignedTx Error !!]<=GenTx_ETH:547[GenerateETHSignInfos Error !!]<=RunModule_ETH:712[GetTx Error]"},
      {"decimal value in the first step",
       Request("GenUnsignedTx", R"({"txinfo":)" + DecimalValue(TxInfo(R"({"pub":")" + pub + R"("})")) + "}"),
       "GenerateETHUnsignedTx:265[txinfo[value] is not 0x hex text !!]<=GenerateETHSignInfos:350["
       "GenerateETHUnsignedTx Error !!]<=GenUnsignedTx_ETH:583[GenerateETHSignInfos Error !!]<=RunModule_ETH:696["
       "GenUnsignedTx Error]"},
      {"P-256 wallet", Request("GenTx", R"({"txinfo":)" + TxInfo(R"({"algo":"P256","pri":")" + kKey + R"("})") + "}"),
       "GenerateETHSignInfos:343[wallet is invalid !!]<=GenTx_ETH:547[GenerateETHSignInfos Error !!]"
       "<=RunModule_ETH:712[GetTx Error]"},
      {"unsignedtxinfo not Base64",
       Request("GenSignedTx", R"({"txinfo":{"unsignedtxinfo":"@@@","signinfos":[]}})"),
       "GenSignedTx_ETH:620[BCMGenBase64Decode Error]<=RunModule_ETH:704[GenSignedTx Error]"},
      {"unsignedtxinfo not JSON",
       Request("GenSignedTx", R"({"txinfo":{"unsignedtxinfo":"bm90IGpzb24=","signinfos":[]}})"),
       "GenSignedTx_ETH:628[json format error(unsignedtx)]<=RunModule_ETH:704[GenSignedTx Error]"},
      {"signinfos not an array",
       Request("GenSignedTx", R"({"txinfo":{"unsignedtxinfo":"e30=","signinfos":{}}})"),
       "GenSignedTx_ETH:612[txinfo is invalid(data) !!]<=RunModule_ETH:704[GenSignedTx Error]"},
      {"empty sign infos",
       Request("GenSignedTx", R"({"txinfo":{"unsignedtxinfo":"e30=","signinfos":[]}})"),
       "GenerateETHUnsignedTx:245[txinfo is invalid(data) !!]<=GenSignedTx_ETH:636[GenerateETHUnsignedTx Error !!]"
       "<=RunModule_ETH:704[GenSignedTx Error]"},
  };
  for (const Case& c : cases) {
    const Reply r = Call(c.request);
    EXPECT_EQ(r.rc, 1) << c.what;
    const Json::Value& error = r.json.isMember("error") ? r.json["error"] : r.json;
    EXPECT_EQ(error["err_code"].asString(), "1000") << c.what;
    EXPECT_EQ(error["err_msg"].asString(), ErrMsg(c.chain)) << c.what;
  }
}

TEST(AddonEthEntry, RepliesKeepTheArgumentsAndAddTheResult) {
  // A failed lookup in "args" shows the looked-up member as null.
  Reply r = Call(Request("GenAddr", R"({"other":"1"})"));
  EXPECT_TRUE(r.json.isMember("addrinfo") && r.json["addrinfo"].isNull()) << r.text;
  EXPECT_EQ(r.json["other"].asString(), "1");
  // A success reply is one line, members in key order; "network" is added.
  r = Call(Request("GenTx", R"({"txinfo":)" + TxInfo(kPriWallet) + R"(,"zeta":"z","alpha":"a"})"));
  ASSERT_EQ(r.rc, 0) << r.text;
  EXPECT_EQ(r.text.find('\n'), std::string::npos);
  EXPECT_EQ(r.json.getMemberNames(), (std::vector<std::string>{"alpha", "network", "rawtx", "txinfo", "zeta"}));
  EXPECT_EQ(r.json["network"].asString(), "main");
  EXPECT_EQ(r.json["txinfo"], tvt::ParseJson(TxInfo(kPriWallet)));
  // GenTxID hashes whatever bytes it is given.
  r = Call(Request("GenTxID", R"({"txinfo":{"rawtx":"0x616263"}})"));
  EXPECT_EQ(r.json["txid"].asString(), "0x4e03657aea45a94fc7d47ba826c8d667c0d1e6e33a64a036ec44f58fa12d6c45");
  // The second of two calls reports only its own failure.
  Call(Request("Nope", "{}"));
  r = Call(Request("GenTxId", "{}"));
  EXPECT_EQ(r.json["error"]["err_msg"].asString(), ErrMsg("RunModule_ETH:726[not support action[GenTxId]]"));
}

// v of the signed transaction: the byte after the payload in "rawtx".
std::string VOf(const Reply& r) {
  const std::string raw = r.json["rawtx"].asString();
  // 0x, list header f8 xx, then payload of the known example (nonce .. data).
  const size_t payloadHex = std::string("098504a817c800825208943535353535353535353535353535353535353535880de0b6b3a764000080").size();
  return raw.substr(2 + 4 + payloadHex, 2) == "81" ? raw.substr(2 + 4 + payloadHex, 4)
                                                      : raw.substr(2 + 4 + payloadHex, 2);
}

TEST(AddonEthEntry, CoinTagAndNetworkChooseTheChainId) {
  const std::string args = R"({"txinfo":)" + TxInfo(kPriWallet);
  struct Case {
    const char* what;
    std::string request;
    const char* addon;
    std::string v;
  } cases[] = {
      {"eth", Request("GenTx", args + "}"), "eth", "1b"},
      {"etc main", Request("GenTx", args + "}", R"("coin":"etc",)"), "eth", "819d"},
      {"etc test", Request("GenTx", args + R"(,"network":"test"})", R"("coin":"etc",)"), "eth", "819f"},
      {"etc TEST is main", Request("GenTx", args + R"(,"network":"TEST"})", R"("coin":"etc",)"), "eth", "819d"},
      {"ETC in capitals", Request("GenTx", args + R"(,"network":"test"})", R"("coin":"ETC",)"), "eth", "1b"},
      {"coin inside args is ignored", Request("GenTx", args + R"(,"coin":"etc"})"), "eth", "1b"},
      {"addon name as the tag", Request("GenTx", args + "}"), "etc", "819d"},
      {"coin null: the addon name", Request("GenTx", args + "}", R"("coin":null,)"), "etc", "819d"},
      {"empty coin: the addon name", Request("GenTx", args + "}", R"("coin":"",)"), "eth", "1b"},
  };
  for (const Case& c : cases) {
    const Reply r = Call(c.request, c.addon);
    ASSERT_EQ(r.rc, 0) << c.what << r.text;
    EXPECT_EQ(VOf(r), c.v) << c.what << " " << r.text;
  }
}

std::string Sign(const std::string& hash, const std::string& pri, uint32_t keepS, std::string& recovery) {
  const Bytes h = HexToBytes(hash), k = HexToBytes(pri);
  unsigned char r[33], s[33];
  int rLen = 33, sLen = 33;
  uint32_t rec = 0;
  EXPECT_EQ(BCMGenSignature(0, k.data(), 32, 0, h.data(), 32, keepS, r, &rLen, s, &sLen, &rec), 0);
  recovery = std::to_string(rec);
  Bytes form = {0x30, static_cast<unsigned char>(rLen + sLen + 4), 0x02, static_cast<unsigned char>(rLen)};
  form.insert(form.end(), r, r + rLen);
  form.push_back(0x02);
  form.push_back(static_cast<unsigned char>(sLen));
  form.insert(form.end(), s, s + sLen);
  return BytesToHex(form);
}

// GenUnsignedTx, a signature made outside, GenSignedTx: the same transaction
// as GenTx, for low and high S, with and without a chain id, and ERC-20.
TEST(AddonEthEntry, TwoStepRoadGivesTheOneStepTransaction) {
  const std::string pub = PubOf(kKey);
  const std::string contract =
      R"("contract":{"addr":"0x1111111111111111111111111111111111111111","to":"0x2222222222222222222222222222222222222222","value":"0x3039"},)";
  int highS = 0;
  for (int nonce = 0; nonce < 8; ++nonce) {
    for (const char* top : {"", R"("coin":"etc",)"}) {
      for (const std::string& extra : {std::string(), contract}) {
        std::string info = TxInfo(R"({"pub":")" + pub + R"("})", extra);
        info.replace(info.find("\"9\""), 3, "\"" + std::to_string(nonce) + "\"");
        const std::string network = nonce % 2 ? R"(,"network":"test")" : "";
        const Reply unsignedReply = Call(Request("GenUnsignedTx", R"({"txinfo":)" + info + network + "}", top));
        ASSERT_EQ(unsignedReply.rc, 0) << unsignedReply.text;
        Json::Value infos = unsignedReply.json["signinfos"];
        ASSERT_EQ(infos.size(), 1u);
        EXPECT_EQ(infos[0].getMemberNames(), (std::vector<std::string>{"pubkey", "recovery", "signature", "signaturehash"}));
        EXPECT_EQ(infos[0]["pubkey"].asString(), pub);
        // The description travels as Base64 of its compact JSON text.
        const std::string b64 = unsignedReply.json["unsignedtxinfo"].asString();
        std::string text(b64.size(), '\0');
        uint32_t textLen = static_cast<uint32_t>(text.size());
        ASSERT_EQ(BCMGenBase64Decode(b64.c_str(), reinterpret_cast<unsigned char*>(text.data()), &textLen), 0);
        text.resize(textLen);
        Json::StreamWriterBuilder compact;
        compact["indentation"] = "";
        EXPECT_EQ(text, Json::writeString(compact, tvt::ParseJson(info)));

        std::string priInfo = info;
        priInfo.replace(priInfo.find(R"({"pub":")" + pub + R"("})"), 78, kPriWallet);
        const Reply oneStep = Call(Request("GenTx", R"({"txinfo":)" + priInfo + network + "}", top));
        ASSERT_EQ(oneStep.rc, 0) << oneStep.text;
        std::string lowForm;
        for (uint32_t keepS : {0u, 1u}) {
          std::string recovery;
          infos[0]["signature"] = Sign(infos[0]["signaturehash"].asString(), kKey, keepS, recovery);
          if (keepS == 0) lowForm = infos[0]["signature"].asString();
          if (keepS == 1 && infos[0]["signature"].asString() != lowForm) ++highS;
          infos[0]["recovery"] = recovery;
          Json::Value args;
          args["txinfo"]["unsignedtxinfo"] = b64;
          args["txinfo"]["signinfos"] = infos;
          if (!network.empty()) args["network"] = "test";
          const Reply signedReply = Call(Request("GenSignedTx", Json::FastWriter().write(args), top));
          ASSERT_EQ(signedReply.rc, 0) << signedReply.text;
          EXPECT_EQ(signedReply.json["rawtx"], oneStep.json["rawtx"]) << nonce << top << keepS;
        }
      }
    }
  }
  EXPECT_GT(highS, 0);
}

TEST(AddonEthEntry, SecondStepOnAnotherChainIsRefused) {
  const std::string pub = PubOf(kKey);
  const Reply u = Call(Request("GenUnsignedTx", R"({"txinfo":)" + TxInfo(R"({"pub":")" + pub + R"("})") + "}"));
  ASSERT_EQ(u.rc, 0);
  Json::Value infos = u.json["signinfos"];
  std::string recovery;
  infos[0]["signature"] = Sign(infos[0]["signaturehash"].asString(), kKey, 0, recovery);
  infos[0]["recovery"] = recovery;
  Json::Value args;
  args["txinfo"]["unsignedtxinfo"] = u.json["unsignedtxinfo"];
  args["txinfo"]["signinfos"] = infos;
  const Reply r = Call(Request("GenSignedTx", Json::FastWriter().write(args), R"("coin":"etc",)"));
  EXPECT_EQ(r.rc, 1);
  EXPECT_EQ(r.json["error"]["err_msg"].asString(),
            ErrMsg("GenerateETHSignedTx:444[jvTxSignInfos[0] is invaild !!]<=GenSignedTx_ETH:645[GenerateETHSignedTx "
                   "Error !!]<=RunModule_ETH:704[GenSignedTx Error]"));
  // A recovery id that no node accepts.
  infos[0]["recovery"] = "7";
  args["txinfo"]["signinfos"] = infos;
  const Reply seven = Call(Request("GenSignedTx", Json::FastWriter().write(args)));
  EXPECT_EQ(seven.json["error"]["err_msg"].asString(),
            ErrMsg("GenerateETHSignedTx:449[recovery is not 0 or 1 !!]<=GenSignedTx_ETH:645[GenerateETHSignedTx "
                   "Error !!]<=RunModule_ETH:704[GenSignedTx Error]"));
}

}  // namespace
