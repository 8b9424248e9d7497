// Sign documents, signatures and the StdTx of "GenTx".
#include <gtest/gtest.h>
#include <json/json.h>
#include <openssl/evp.h>
#include <openssl/sha.h>
#include <secp256k1.h>
#include <sodium.h>

#include <string>

#include "atom/bech32.h"
#include "atom/signing.h"
#include "command/text/text.h"
#include "common/error_chain.h"
#include "common/json_io.h"
#include "tv_test.h"

namespace {

const std::string kPri1 = "0x0000000000000000000000000000000000000000000000000000000000000001";
const std::string kPri2 = "0x0000000000000000000000000000000000000000000000000000000000000002";
const std::string kG = "0x0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";
const std::string kAcc1 = "cosmos1w508d6qejxtdg4y5r3zarvary0c5xw7k6ah60c";
const std::string kEdPri = "0x" + std::string(62, '0') + "2a";

std::string Base64(const tvt::Bytes& b) {
  std::string out(b.size() * 4 / 3 + 4, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), b.data(), static_cast<int>(b.size()));
  out.resize(n);
  return out;
}

// libsecp256k1's RFC 6979 signature (low S) over SHA-256 of the bytes.
tvt::Bytes SecpSign(const tvt::Bytes& pri, const std::string& bytes) {
  static secp256k1_context* ctx = secp256k1_context_create(SECP256K1_CONTEXT_SIGN);
  unsigned char digest[32];
  SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
  secp256k1_ecdsa_signature sig;
  EXPECT_EQ(secp256k1_ecdsa_sign(ctx, &sig, digest, pri.data(), nullptr, nullptr), 1);
  tvt::Bytes out(64);
  secp256k1_ecdsa_signature_serialize_compact(ctx, out.data(), &sig);
  return out;
}

std::string SendMsg(const std::string& wallet, const std::string& to = "cosmos1to") {
  return R"({"type":"msgsend","wallet":)" + wallet +
         R"(,"value":{"amount":[{"amount":"10","denom":"uatom"}],"to_address":")" + to + R"("}})";
}

std::string Wallet(const std::string& pri, const std::string& extra = "") {
  return R"({"pri":")" + pri + R"(","seq":"7","accnum":"42")" + extra + "}";
}

struct TxOutcome {
  int rc;
  std::string chain;
  Json::Value args;
};

TxOutcome GenTx(const std::string& txinfo) {
  TxOutcome o;
  o.args = tvt::ParseJson(R"({"txinfo":)" + txinfo + "}");
  ResetErrTrail(true);
  o.rc = GenTx2_ATOM(o.args);
  o.chain = GetErrTrail();
  return o;
}

TEST(AtomSigning, PlainTransactionText) {
  // Printable ASCII values: the sign document is what jsoncpp writes of the
  // document text (sorted, compact), the transaction the template text with
  // apostrophes for quotes.
  const std::string msg =
      R"({"type":"cosmos-sdk/MsgSend","value":{"amount":[{"amount":"10","denom":"uatom"}],"from_address":")" + kAcc1 +
      R"(","to_address":"cosmos1to"}})";
  const std::string fee = R"("amount":[{"amount":"500","denom":"uatom"}],"gas":"200000")";
  const std::string doc = R"({"account_number":"42","chain_id":"cosmoshub-4","fee":{)" + fee +
                          R"(},"memo":"hello world","msgs":[)" + msg + R"(],"sequence":"7"})";
  const std::string signBytes = std::string(WriteJson(tvt::ParseJson(doc), ""));
  const std::string sig = Base64(SecpSign(tvt::Unhex(kPri1.substr(2)), signBytes));
  const std::string expected =
      ReplaceAll(R"({"type":"auth/StdTx","value":{"msg":[)" + msg + R"(],"fee":{)" + fee +
                     R"(},"signatures":[{"pub_key":{"type":"tendermint/PubKeySecp256k1","value":")" +
                     Base64(tvt::Unhex(kG.substr(2))) + R"("},"signature":")" + sig + R"("}],"memo":"hello world"}})",
                 "\"", "'");
  const TxOutcome o = GenTx(
      R"({"chainid":"cosmoshub-4","memo":"hello world","fee":{"gas":"200000","amount":"500","denom":"uatom"},"msgs":[)" +
      SendMsg(Wallet(kPri1)) + "]}");
  ASSERT_EQ(o.rc, 0) << o.chain;
  EXPECT_EQ(o.args["tx"].asString(), expected);
}

TEST(AtomSigning, SignBytesAsTheChainWritesThem) {
  AminoValue fee = AminoValue::Object().Add("amount", AminoValue::Array()).Add("gas", AminoValue::Text("1"));
  AminoValue msgs = AminoValue::Array().Push(AminoValue::Object()
                                                 .Add("type", AminoValue::Text("t"))
                                                 .Add("value", AminoValue::Object()
                                                                   .Add("zeta", AminoValue::Text("z"))
                                                                   .Add("Description", AminoValue::Text("D"))
                                                                   .Add("address", AminoValue::Text("a"))));
  EXPECT_EQ(MakeATOMSignBytes("4\"2", "c\\id", fee, "<a href='x'>&\xe2\x80\xa8\xc3\xa9\n\t\x01", msgs, "7"),
            "{\"account_number\":\"4\\\"2\",\"chain_id\":\"c\\\\id\",\"fee\":{\"amount\":[],\"gas\":\"1\"},"
            "\"memo\":\"\\u003ca href='x'\\u003e\\u0026\\u2028\xc3\xa9\\n\\t\\u0001\","
            "\"msgs\":[{\"type\":\"t\",\"value\":{\"Description\":\"D\",\"address\":\"a\",\"zeta\":\"z\"}}],"
            "\"sequence\":\"7\"}");
}

TEST(AtomSigning, Ed25519SignerIsLabelledEd25519) {
  ASSERT_EQ(sodium_init() >= 0, true);
  const TxOutcome o =
      GenTx(R"({"chainid":"c","fee":{"gas":"1"},"msgs":[)" + SendMsg(Wallet(kEdPri, R"(,"algo":"ED25519")")) + "]}");
  ASSERT_EQ(o.rc, 0) << o.chain;
  const Json::Value tx = tvt::ParseJson(ReplaceAll(o.args["tx"].asString(), "'", "\""));
  const Json::Value& sig = tx["value"]["signatures"][0];
  EXPECT_EQ(sig["pub_key"]["type"].asString(), "tendermint/PubKeyEd25519");
  unsigned char pk[32], sk[64];
  crypto_sign_seed_keypair(pk, sk, tvt::Unhex(kEdPri.substr(2)).data());
  EXPECT_EQ(sig["pub_key"]["value"].asString(), Base64(tvt::Bytes(pk, pk + 32)));
  // The signature is RFC 8032's over the sign document.
  AminoValue fee = AminoValue::Object().Add("amount", AminoValue::Array()).Add("gas", AminoValue::Text("1"));
  const Json::Value& m = tx["value"]["msg"][0]["value"];
  AminoValue msgs = AminoValue::Array().Push(
      AminoValue::Object()
          .Add("type", AminoValue::Text("cosmos-sdk/MsgSend"))
          .Add("value", AminoValue::Object()
                            .Add("amount", AminoValue::Array().Push(AminoValue::Object()
                                                                        .Add("amount", AminoValue::Text("10"))
                                                                        .Add("denom", AminoValue::Text("uatom"))))
                            .Add("from_address", AminoValue::Text(m["from_address"].asString()))
                            .Add("to_address", AminoValue::Text("cosmos1to"))));
  const std::string bytes = MakeATOMSignBytes("42", "c", fee, "", msgs, "7");
  unsigned char expected[64];
  crypto_sign_detached(expected, nullptr, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), sk);
  EXPECT_EQ(sig["signature"].asString(), Base64(tvt::Bytes(expected, expected + 64)));
  // The address is the first 20 bytes of SHA-256 of the key.
  unsigned char h[32];
  SHA256(pk, 32, h);
  std::string addr;
  ASSERT_EQ(GenerateATOMBech32Encode("cosmos1", tvt::Bytes(h, h + 20), addr), 0);
  EXPECT_EQ(m["from_address"].asString(), addr);
}

TEST(AtomSigning, OneSignaturePerAccountInFirstAppearanceOrder) {
  // Key 1's address sorts after key 2's; the validator edit names key 1 by
  // its operator address.
  const std::string edit =
      R"({"type":"msgeditvalidator","wallet":)" + Wallet(kPri1) +
      R"(,"value":{"commission_rate":"0.1","description":{"details":"","identity":"","moniker":"m","security_contact":"","website":""},"min_self_delegation":"1"}})";
  const TxOutcome o = GenTx(R"({"chainid":"c","fee":{"gas":"1"},"msgs":[)" + edit + "," + SendMsg(Wallet(kPri2)) + "," +
                            SendMsg(Wallet(kPri1)) + "]}");
  ASSERT_EQ(o.rc, 0) << o.chain;
  const Json::Value tx = tvt::ParseJson(ReplaceAll(o.args["tx"].asString(), "'", "\""));
  const Json::Value& sigs = tx["value"]["signatures"];
  ASSERT_EQ(sigs.size(), 2u);
  EXPECT_EQ(sigs[0]["pub_key"]["value"].asString(), Base64(tvt::Unhex(kG.substr(2))));
}

TEST(AtomSigning, EmptyTransactionAndFeeWithoutCoin) {
  const TxOutcome o = GenTx(R"({"chainid":"c","memo":null,"fee":{"gas":"9","amount":"1"},"msgs":[]})");
  ASSERT_EQ(o.rc, 0) << o.chain;
  EXPECT_EQ(o.args["tx"].asString(),
            "{'type':'auth/StdTx','value':{'msg':[],'fee':{'amount':[],'gas':'9'},'signatures':[],'memo':''}}");
}

TEST(AtomSigning, TextReadsBackToTheSignedValues) {
  // Every character a value may hold comes back from the apostrophe form.
  const std::string memo = "a\"b\\c'd<e>f&g\th\ni\rj\xc3\xa9k\xf0\x9f\x98\x80l\xe2\x80\xa8m''";
  Json::Value info =
      tvt::ParseJson(R"({"chainid":"c'h\"ain","fee":{"gas":"1"},"msgs":[)" + SendMsg(Wallet(kPri1)) + "]}");
  info["memo"] = memo;
  info["msgs"][0]["value"]["to_address"] = "to'\"\\<";
  const TxOutcome o = GenTx(std::string(WriteJson(info, "")));
  ASSERT_EQ(o.rc, 0) << o.chain;
  const std::string tx = o.args["tx"].asString();
  EXPECT_EQ(tx.find('"'), std::string::npos);
  EXPECT_EQ(tx.find('\n'), std::string::npos);
  const Json::Value back = tvt::ParseJson(ReplaceAll(tx, "'", "\""));
  EXPECT_EQ(back["value"]["memo"].asString(), memo);
  EXPECT_EQ(back["value"]["msg"][0]["value"]["to_address"].asString(), "to'\"\\<");
}

TEST(AtomSigning, Refusals) {
  const std::string ok = SendMsg(Wallet(kPri1));
  const struct {
    std::string txinfo;
    std::string chain;
  } cases[] = {
      {"7", "GenTx2_ATOM:1181[object is not exist(txinfo)]"},
      {R"({"fee":{"gas":"1"},"msgs":[]})", "GenTx2_ATOM:1188[txinfo{chainid,memo,fee{},msgs[]} is not support format]"},
      {R"({"chainid":"c","fee":"1","msgs":[]})",
       "GenTx2_ATOM:1188[txinfo{chainid,memo,fee{},msgs[]} is not support format]"},
      {R"({"chainid":"c","fee":{"gas":1},"msgs":[]})", "GenTx2_ATOM:1202[fee{gas} is not support format]"},
      {R"({"chainid":"c","fee":{"gas":"1"},"msgs":[{"type":"msgsend"}]})",
       "GenTxMsgs:911[msgs[0]{type,value{},wallet{}} is not support format]<=GenTx2_ATOM:1221[GenTxMsgs Error !!]"},
      // Texts the chain would read as other characters than were signed.
      {R"({"chainid":"c","memo":"\udc00","fee":{"gas":"1"},"msgs":[)" + ok + "]}",
       "GenTx2_ATOM:1224[txinfo{chainid,memo,fee{},msgs[]} holds text that is not valid UTF-8 !!]"},
      {"{\"chainid\":\"c\",\"fee\":{\"gas\":\"1\"},\"msgs\":[" + SendMsg(Wallet(kPri1), "x\xff") + "]}",
       "GenTx2_ATOM:1224[txinfo{chainid,memo,fee{},msgs[]} holds text that is not valid UTF-8 !!]"},
      {"{\"chainid\":\"c\",\"fee\":{\"gas\":\"1\"},\"msgs\":[" +
           SendMsg(R"({"pri":")" + kPri1 + "\",\"seq\":\"\xc3\",\"accnum\":\"1\"}") + "]}",
       "GenerateATOMMSGSignature:287[accnum or seq is not valid UTF-8 !!]<=GenTxSignatures:1058[GetMSGSignature "
       "Error]<=GenTx2_ATOM:1228[GenTxSignatures Error !!]"},
      // A P-256 wallet names no account the chain knows.
      {R"({"chainid":"c","fee":{"gas":"1"},"msgs":[)" + SendMsg(Wallet(kPri1, R"(,"algo":"P256")")) + "]}",
       "GenerateATOMAddress:213[ToDo Add Detail Error Message!!]<=GetSignerAddr:56[GenerateATOMAddress Error "
       "!!]<=MakeMsgSend:440[GetSignerAddr Error !!]<=GenTxMsgs:931[msgsend error]<=GenTx2_ATOM:1221[GenTxMsgs Error "
       "!!]"},
      // "pub" of another key than "pri".
      {R"({"chainid":"c","fee":{"gas":"1"},"msgs":[)" + SendMsg(Wallet(kPri2, R"(,"pub":")" + kG + "\"")) + "]}",
       "GetSignerAddr:52[wallet pub does not match pri !!]<=MakeMsgSend:440[GetSignerAddr Error !!]<=GenTxMsgs:931["
       "msgsend error]<=GenTx2_ATOM:1221[GenTxMsgs Error !!]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.txinfo);
    const TxOutcome o = GenTx(c.txinfo);
    EXPECT_EQ(o.rc, 1);
    EXPECT_EQ(o.chain, c.chain);
    EXPECT_FALSE(o.args.isMember("tx"));
  }
  // A missing "txinfo" is echoed as null.
  Json::Value args(Json::objectValue);
  ResetErrTrail(true);
  EXPECT_EQ(GenTx2_ATOM(args), 1);
  EXPECT_TRUE(args.isMember("txinfo"));
}

TEST(AtomSigning, SignatureOfOneWallet) {
  AminoValue fee = AminoValue::Object().Add("amount", AminoValue::Array()).Add("gas", AminoValue::Text("1"));
  const struct {
    std::string wallet;
    std::string chain;
  } cases[] = {
      {R"({"pri":")" + kPri1 + R"(","seq":"1"})", "GenerateATOMMSGSignature:285[ToDo Add Detail Error Message!!]"},
      {R"("w")", "GenerateATOMMSGSignature:285[ToDo Add Detail Error Message!!]"},
      {R"({"pri":"0x01","seq":"1","accnum":"1"})",
       "GetSignerPri:460[private Size not [32]byte !!]<=GenerateATOMMSGSignature:292[ToDo Add Detail Error Message!!]"},
      {R"({"pri":")" + kPri1 + R"(","seq":"1","accnum":"1","algo":"P256"})",
       "GenerateATOMMSGSignature:292[ToDo Add Detail Error Message!!]"},
      {R"({"pri":"0x)" + std::string(64, '0') + R"(","seq":"1","accnum":"1"})",
       "GetPubFromPri:493[BCMGenPubkeyFromPriKey Error !!]<=GenerateATOMMSGSignature:299[ToDo Add Detail Error "
       "Message!!]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.wallet);
    AminoValue out = AminoValue::Object();
    ResetErrTrail(true);
    EXPECT_EQ(GenerateATOMMSGSignature(tvt::ParseJson(c.wallet), "c", fee, "", AminoValue::Array(), out), 1);
    EXPECT_EQ(GetErrTrail(), c.chain);
  }
}

}  // namespace
