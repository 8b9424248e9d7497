// The cosmos-sdk message builders: their texts, the signers they name and
// the entries of every refusal.
#include <gtest/gtest.h>
#include <json/json.h>

#include <string>
#include <vector>

#include "atom/address.h"
#include "atom/message.h"
#include "common/error_chain.h"
#include "ed25519_keys_testing.h"
#include "tv_test.h"

namespace {

const std::string kPri1 = "0x0000000000000000000000000000000000000000000000000000000000000001";
const std::string kPri2 = "0x0000000000000000000000000000000000000000000000000000000000000002";
const std::string kAcc1 = "cosmos1w508d6qejxtdg4y5r3zarvary0c5xw7k6ah60c";
const std::string kVal1 = "cosmosvaloper1w508d6qejxtdg4y5r3zarvary0c5xw7klfr0rt";
const std::string kG = "0x0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";
const std::string kConsKey = edkeys::kKey;

std::string Wallet(const std::string& pri, const std::string& extra = "") {
  return R"({"pri":")" + pri + R"(","seq":"7","accnum":"42")" + extra + "}";
}

// One message of each type, signed by key 1, with plain ASCII values.
std::string Message(const std::string& type) {
  const std::string w = Wallet(kPri1);
  const std::string desc = R"({"details":"d","identity":"i","moniker":"m","security_contact":"s","website":"w"})";
  if (type == "msgsend")
    return R"({"type":"msgsend","wallet":)" + w +
           R"(,"value":{"amount":[{"amount":"10","denom":"uatom"}],"to_address":"cosmos1to"}})";
  if (type == "msgmultisend")
    return R"({"type":"msgmultisend","value":{"inputs":[{"coins":[{"amount":"5","denom":"uatom"}],"wallet":)" + w +
           R"(}],"outputs":[{"address":"cosmos1out","coins":[{"amount":"5","denom":"uatom"}]}]}})";
  if (type == "msgcreatevalidator")
    return R"({"type":"msgcreatevalidator","wallet":)" + Wallet(kPri1, R"(,"valconspub":")" + kConsKey + "\"") +
           R"(,"value":{"commission":{"max_change_rate":"0.01","max_rate":"0.2","rate":"0.1"},"description":)" + desc +
           R"(,"min_self_delegation":"1","value":{"amount":"100","denom":"uatom"}}})";
  if (type == "msgeditvalidator")
    return R"({"type":"msgeditvalidator","wallet":)" + w + R"(,"value":{"commission_rate":"0.1","description":)" +
           desc + R"(,"min_self_delegation":"2"}})";
  if (type == "msgbeginredelegate")
    return R"({"type":"msgbeginredelegate","wallet":)" + w +
           R"(,"value":{"amount":{"amount":"3","denom":"uatom"},"validator_dst_address":"cosmosvaloper1dst","validator_src_address":"cosmosvaloper1src"}})";
  // msgdelegate, msgundelegate, msgwithdrawdelegationreward
  return R"({"type":")" + type + R"(","wallet":)" + w +
         R"(,"value":{"amount":{"amount":"3","denom":"uatom"},"validator_address":"cosmosvaloper1v"}})";
}

struct Built {
  int rc;
  std::string chain;
  std::string text;  // the messages in transaction order
  AtomSigners signers;
};

Built BuildValue(const Json::Value& msgs) {
  Built b;
  AminoValue out = AminoValue::Array();
  ResetErrTrail(true);
  b.rc = GenTxMsgs(msgs, out, b.signers);
  b.chain = GetErrTrail();
  b.text = WriteAminoInOrder(out);
  return b;
}

Built Build(const std::string& msgsText) { return BuildValue(tvt::ParseJson(msgsText)); }

TEST(AtomMessage, TextsOfEveryType) {
  std::string conspub;
  ASSERT_EQ(GenerateATOMPubEncode(3, "cosmosvalconspub1", tvt::Unhex(kConsKey.substr(2)), conspub), 0);
  const std::string desc = R"({"details":"d","identity":"i","moniker":"m","security_contact":"s","website":"w"})";
  const struct {
    const char* type;
    std::string text;
  } cases[] = {
      {"msgsend",
       R"({"type":"cosmos-sdk/MsgSend","value":{"amount":[{"amount":"10","denom":"uatom"}],"from_address":")" + kAcc1 +
           R"(","to_address":"cosmos1to"}})"},
      {"msgmultisend",
       R"({"type":"cosmos-sdk/MsgMultiSend","value":{"inputs":[{"address":")" + kAcc1 +
           R"(","coins":[{"amount":"5","denom":"uatom"}]}],"outputs":[{"address":"cosmos1out","coins":[{"amount":"5","denom":"uatom"}]}]}})"},
      {"msgcreatevalidator",
       R"({"type":"cosmos-sdk/MsgCreateValidator","value":{"commission":{"max_change_rate":"0.01","max_rate":"0.2","rate":"0.1"},"delegator_address":")" +
           kAcc1 + R"(","description":)" + desc + R"(,"min_self_delegation":"1","pubkey":")" + conspub +
           R"(","validator_address":")" + kVal1 + R"(","value":{"amount":"100","denom":"uatom"}}})"},
      {"msgeditvalidator", R"({"type":"cosmos-sdk/MsgEditValidator","value":{"address":")" + kVal1 +
                               R"(","commission_rate":"0.1","Description":)" + desc +
                               R"(,"min_self_delegation":"2"}})"},
      {"msgdelegate",
       R"({"type":"cosmos-sdk/MsgDelegate","value":{"amount":{"amount":"3","denom":"uatom"},"delegator_address":")" +
           kAcc1 + R"(","validator_address":"cosmosvaloper1v"}})"},
      {"msgbeginredelegate",
       R"({"type":"cosmos-sdk/MsgBeginRedelegate","value":{"amount":{"amount":"3","denom":"uatom"},"delegator_address":")" +
           kAcc1 + R"(","validator_dst_address":"cosmosvaloper1dst","validator_src_address":"cosmosvaloper1src"}})"},
      {"msgundelegate",
       R"({"type":"cosmos-sdk/MsgUndelegate","value":{"amount":{"amount":"3","denom":"uatom"},"delegator_address":")" +
           kAcc1 + R"(","validator_address":"cosmosvaloper1v"}})"},
      {"msgwithdrawdelegationreward",
       R"({"type":"cosmos-sdk/MsgWithdrawDelegationReward","value":{"delegator_address":")" + kAcc1 +
           R"(","validator_address":"cosmosvaloper1v"}})"},
  };
  std::string all = "[";
  std::string allText = "[";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    const Built b = Build("[" + Message(c.type) + "]");
    ASSERT_EQ(b.rc, 0) << b.chain;
    EXPECT_EQ(b.text, "[" + c.text + "]");
    ASSERT_EQ(b.signers.size(), 1u);
    all += (all.size() > 1 ? "," : "") + Message(c.type);
    allText += (allText.size() > 1 ? "," : "") + c.text;
  }
  // All in one transaction: one text after the other, and one signer, since
  // every message is signed by the same key, whatever the address prefix.
  const Built b = Build(all + "]");
  ASSERT_EQ(b.rc, 0) << b.chain;
  EXPECT_EQ(b.text, allText + "]");
  ASSERT_EQ(b.signers.size(), 1u);
  EXPECT_EQ(b.signers[0].message, 0u);
  EXPECT_FALSE(b.signers[0].isInput);
  // No messages: no text, no signer.
  const Built none = Build("[]");
  EXPECT_EQ(none.rc, 0);
  EXPECT_EQ(none.text, "[]");
  EXPECT_TRUE(none.signers.empty());
}

std::string Send(const std::string& pri) {
  return R"({"type":"msgsend","wallet":)" + Wallet(pri) +
         R"(,"value":{"amount":[{"amount":"1","denom":"uatom"}],"to_address":"cosmos1to"}})";
}

std::string MultiSend(const std::vector<std::string>& pris) {
  std::string inputs;
  for (const std::string& p : pris) {
    inputs += (inputs.empty() ? "" : ",") + std::string(R"({"coins":[{"amount":"1","denom":"uatom"}],"wallet":)") +
              Wallet(p) + "}";
  }
  return R"({"type":"msgmultisend","value":{"inputs":[)" + inputs +
         R"(],"outputs":[{"address":"cosmos1out","coins":[{"amount":"1","denom":"uatom"}]}]}})";
}

TEST(AtomMessage, SignersInOrderOfFirstAppearance) {
  std::string a1, a2;
  ASSERT_EQ(GetSignerAddr(tvt::ParseJson(Wallet(kPri1)), "cosmos1", a1), 0);
  ASSERT_EQ(GetSignerAddr(tvt::ParseJson(Wallet(kPri2)), "cosmos1", a2), 0);
  // Key 1's address sorts after key 2's: an order by address would put key 2 first.
  ASSERT_GT(a1, a2);
  const std::string k3 = "0x" + std::string(63, '0') + "3";
  const struct {
    std::string msgs;
    std::vector<AtomSigner> signers;  // message, input, isInput (keys not compared)
  } cases[] = {
      {"[" + Send(kPri1) + "," + Send(kPri2) + "]", {{"", 0, 0, false}, {"", 1, 0, false}}},
      {"[" + Send(kPri1) + "," + Send(kPri2) + "," + Send(kPri1) + "]", {{"", 0, 0, false}, {"", 1, 0, false}}},
      // The validator operator address and the account address of one key are one signer.
      {"[" + Message("msgeditvalidator") + "," + Send(kPri1) + "]", {{"", 0, 0, false}}},
      {"[" + Send(kPri2) + "," + MultiSend({kPri1, kPri2, k3, kPri1}) + "]",
       {{"", 0, 0, false}, {"", 1, 0, true}, {"", 1, 2, true}}},
      {"[" + MultiSend({kPri1, kPri1}) + "," + Send(kPri2) + "," + MultiSend({kPri2, k3}) + "]",
       {{"", 0, 0, true}, {"", 1, 0, false}, {"", 2, 1, true}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.msgs);
    const Built b = Build(c.msgs);
    ASSERT_EQ(b.rc, 0) << b.chain;
    ASSERT_EQ(b.signers.size(), c.signers.size());
    for (size_t i = 0; i < b.signers.size(); ++i) {
      EXPECT_EQ(b.signers[i].message, c.signers[i].message) << i;
      EXPECT_EQ(b.signers[i].isInput, c.signers[i].isInput) << i;
      if (c.signers[i].isInput) {
        EXPECT_EQ(b.signers[i].input, c.signers[i].input) << i;
      }
    }
  }
}

// Replaces (or, with "-", removes) the member at a dotted path of a message.
std::string Mutate(const std::string& type, const std::string& path, const std::string& json) {
  Json::Value msg = tvt::ParseJson(Message(type));
  Json::Value* at = &msg;
  std::string rest = path;
  for (;;) {
    const size_t dot = rest.find('.');
    const std::string key = rest.substr(0, dot);
    Json::Value* next = nullptr;
    if (!key.empty() && key[0] >= '0' && key[0] <= '9') next = &(*at)[static_cast<Json::ArrayIndex>(std::stoul(key))];
    if (dot == std::string::npos) {
      if (json == "-") {
        at->removeMember(key);
      } else if (next != nullptr) {
        *next = tvt::ParseJson(json);
      } else {
        (*at)[key] = tvt::ParseJson(json);
      }
      break;
    }
    at = next != nullptr ? next : &(*at)[key];
    rest = rest.substr(dot + 1);
  }
  Json::StreamWriterBuilder w;
  w["indentation"] = "";
  return Json::writeString(w, msg);
}

TEST(AtomMessage, Refusals) {
  const std::string kU = "[ToDo Add Detail Error Message!!]";
  const std::string kW = "[wallet[pri,seq,accum] is not support !!]";
  const struct {
    std::string msg;
    std::string chain;
  } cases[] = {
      {"\"x\"", "GenTxMsgs:911[msgs[0]{type,value{},wallet{}} is not support format]"},
      {Mutate("msgsend", "type", "1"), "GenTxMsgs:911[msgs[0]{type,value{},wallet{}} is not support format]"},
      {Mutate("msgsend", "value", "[]"), "GenTxMsgs:911[msgs[0]{type,value{},wallet{}} is not support format]"},
      {Mutate("msgsend", "wallet", "\"w\""), "GenTxMsgs:923[msgs[0]{type,value{},wallet{}} is not support format]"},
      {Mutate("msgsend", "type", "\"MsgSend\""), "GenTxMsgs:1018[do not support msg type[MsgSend]]"},
      {Mutate("msgsend", "type", "\"msgwithdrawvalidatorcommission\""),
       "GenTxMsgs:1018[do not support msg type[msgwithdrawvalidatorcommission]]"},
      {Mutate("msgsend", "wallet.seq", "-"), "MakeMsgSend:418" + kW + "<=GenTxMsgs:931[msgsend error]"},
      {Mutate("msgsend", "wallet.pri", "-"), "MakeMsgSend:418" + kW + "<=GenTxMsgs:931[msgsend error]"},
      {Mutate("msgsend", "value.amount", R"([{"amount":"1","denom":"a"},{"amount":"1","denom":"a"}])"),
       "MakeMsgSend:426[value[amount[{}],to_address] is not support !!]<=GenTxMsgs:931[msgsend error]"},
      {Mutate("msgsend", "value.to_address", "7"),
       "MakeMsgSend:426[value[amount[{}],to_address] is not support !!]<=GenTxMsgs:931[msgsend error]"},
      {Mutate("msgsend", "wallet.pri", "\"0x01\""),
       "GetSignerPri:460[private Size not [32]byte !!]<=GetSignerPub:511[GetSignerPri Error !!]<=GetSignerAddr:49["
       "GetSignerPub Error !!]<=MakeMsgSend:440[GetSignerAddr Error !!]<=GenTxMsgs:931[msgsend error]"},
      {Mutate("msgcreatevalidator", "wallet.valconspub", "-"),
       "MakeMsgCreateValitator:555[wallet[pri,seq,accum,valconspub] is not support "
       "!!]<=GenTxMsgs:939[msgcreatevalidator "
       "error]"},
      {Mutate("msgcreatevalidator", "value.min_self_delegation", "1"),
       "MakeMsgCreateValitator:563[value[commission{},description{},min_self_delegation,value{}] is not support "
       "!!]<=GenTxMsgs:939[msgcreatevalidator error]"},
      {Mutate("msgcreatevalidator", "value.commission.rate", "-"),
       "MakeMsgCreateValitator:570[commission{max_change_rate,max_rate,rate} is not support !!]<=GenTxMsgs:939["
       "msgcreatevalidator error]"},
      {Mutate("msgcreatevalidator", "value.description.website", "null"),
       "MakeMsgCreateValitator:578[description{details,identity,moniker,security_contact,website} is not support "
       "!!]<=GenTxMsgs:939[msgcreatevalidator error]"},
      {Mutate("msgcreatevalidator", "value.value.denom", "-"),
       "MakeMsgCreateValitator:585[value{amount,denom} is not support !!]<=GenTxMsgs:939[msgcreatevalidator error]"},
      {Mutate("msgcreatevalidator", "wallet.pri", "\"0x\""),
       "GetSignerPri:460[private Size not [32]byte !!]<=GetSignerPub:511[GetSignerPri Error !!]<=GetSignerAddr:49["
       "GetSignerPub Error !!]<=MakeMsgCreateValitator:594[GetSignerAddr(wallet) Error !! ]<=GenTxMsgs:939["
       "msgcreatevalidator error]"},
      {Mutate("msgcreatevalidator", "wallet.valconspub", "\"0x0102\""),
       "GenerateATOMPubEncode:255" + kU +
           "<=MakeMsgCreateValitator:606[GenerateATOMPubEncode(stake) Error !! ]<=GenTxMsgs:939[msgcreatevalidator "
           "error]"},
      {Mutate("msgeditvalidator", "wallet.accnum", "3"),
       "MakeMsgEditValidator:645" + kW + "<=GenTxMsgs:947[msgeditvalidator error]"},
      {Mutate("msgeditvalidator", "value.description", "\"d\""),
       "MakeMsgEditValidator:652[value[commission_rate,description{},min_self_delegation] is not support "
       "!!]<=GenTxMsgs:947[msgeditvalidator error]"},
      {Mutate("msgeditvalidator", "value.description.moniker", "-"),
       "MakeMsgEditValidator:660[description{details,identity,moniker,security_contact,website} is not support "
       "!!]<=GenTxMsgs:947[msgeditvalidator error]"},
      {Mutate("msgeditvalidator", "wallet.pri", "\"0x\""),
       "GetSignerPri:460[private Size not [32]byte !!]<=GetSignerPub:511[GetSignerPri Error !!]<=GetSignerAddr:49["
       "GetSignerPub Error !!]<=MakeMsgEditValidator:667[GetSignerAddr Error !!]<=GenTxMsgs:947[msgeditvalidator "
       "error]"},
      {Mutate("msgdelegate", "wallet.seq", "-"), "MakeMsgDelegate:695" + kW + "<=GenTxMsgs:955[msgdelegate error]"},
      {Mutate("msgdelegate", "value.validator_address", "-"),
       "MakeMsgDelegate:702[value[amount{},validator_address] is not support !!]<=GenTxMsgs:955[msgdelegate error]"},
      {Mutate("msgdelegate", "value.amount.amount", "3"),
       "MakeMsgDelegate:709[amount{amount,denom} is not support !!]<=GenTxMsgs:955[msgdelegate error]"},
      {Mutate("msgbeginredelegate", "wallet.seq", "-"),
       "MakeMsgBeginRedelegate:740" + kW + "<=GenTxMsgs:963[msgbeginredelegate error]"},
      {Mutate("msgbeginredelegate", "value.validator_src_address", "-"),
       "MakeMsgBeginRedelegate:747[value[amount{},validator_dst_address,validator_src_address] is not support "
       "!!]<=GenTxMsgs:963[msgbeginredelegate error]"},
      {Mutate("msgbeginredelegate", "value.amount.denom", "-"),
       "MakeMsgBeginRedelegate:754[amount{amount,denom} is not support !!]<=GenTxMsgs:963[msgbeginredelegate error]"},
      {Mutate("msgundelegate", "wallet.seq", "-"),
       "MakeMsgUndelegate:786" + kW + "<=GenTxMsgs:971[msgundelegate error]"},
      {Mutate("msgundelegate", "value.amount", "[]"),
       "MakeMsgUndelegate:793[value[amount{},validator_address] is not support !!]<=GenTxMsgs:971[msgundelegate "
       "error]"},
      {Mutate("msgundelegate", "value.amount.amount", "-"),
       "MakeMsgUndelegate:800[amount{amount,denom} is not support !!]<=GenTxMsgs:971[msgundelegate error]"},
      {Mutate("msgwithdrawdelegationreward", "wallet.seq", "-"),
       "MakeMsgWithdrawDelegationReward:840" + kW + "<=GenTxMsgs:979[msgwithdrawdelegationreward error]"},
      // The withdrawal still requires the amount its text leaves out.
      {Mutate("msgwithdrawdelegationreward", "value.amount", "-"),
       "MakeMsgWithdrawDelegationReward:847[value[amount{},validator_address] is not support "
       "!!]<=GenTxMsgs:979[msgwithdrawdelegationreward error]"},
      {Mutate("msgwithdrawdelegationreward", "value.amount.denom", "1"),
       "MakeMsgWithdrawDelegationReward:854[amount{amount,denom} is not support !!]<=GenTxMsgs:979["
       "msgwithdrawdelegationreward error]"},
      {Mutate("msgwithdrawdelegationreward", "wallet.pri", "\"0x\""),
       "GetSignerPri:460[private Size not [32]byte !!]<=GetSignerPub:511[GetSignerPri Error !!]<=GetSignerAddr:49["
       "GetSignerPub Error !!]<=MakeMsgWithdrawDelegationReward:861[GetSignerAddr Error !!]<=GenTxMsgs:979["
       "msgwithdrawdelegationreward error]"},
      {Mutate("msgmultisend", "value.outputs", "[]"),
       "MakeMsgMultiMsgSend:465" + kU + "<=GenTxMsgs:999[msgmultisend error]"},
      {Mutate("msgmultisend", "value.inputs", "{}"),
       "MakeMsgMultiMsgSend:465" + kU + "<=GenTxMsgs:999[msgmultisend error]"},
      {Mutate("msgmultisend", "value.inputs.0.coins", "[]"),
       "MakeMsgMultiMsgSend:480" + kU + "<=GenTxMsgs:999[msgmultisend error]"},
      {Mutate("msgmultisend", "value.inputs.0.wallet.accnum", "-"),
       "MakeMsgMultiMsgSend:487" + kW + "<=GenTxMsgs:999[msgmultisend error]"},
      {Mutate("msgmultisend", "value.inputs.0.coins.0.denom", "-"),
       "MakeMsgMultiMsgSend:494" + kU + "<=GenTxMsgs:999[msgmultisend error]"},
      {Mutate("msgmultisend", "value.inputs.0.wallet.pri", "\"0x\""),
       "GetSignerPri:460[private Size not [32]byte !!]<=GetSignerPub:511[GetSignerPri Error !!]<=GetSignerAddr:49["
       "GetSignerPub Error !!]<=MakeMsgMultiMsgSend:501" +
           kU + "<=GenTxMsgs:999[msgmultisend error]"},
      {Mutate("msgmultisend", "value.outputs.0.address", "-"),
       "MakeMsgMultiMsgSend:523" + kU + "<=GenTxMsgs:999[msgmultisend error]"},
      {Mutate("msgmultisend", "value.outputs.0.coins.0.amount", "{}"),
       "MakeMsgMultiMsgSend:530" + kU + "<=GenTxMsgs:999[msgmultisend error]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.msg);
    const Built b = Build("[" + c.msg + "]");
    EXPECT_EQ(b.rc, 1);
    EXPECT_EQ(b.chain, c.chain);
  }
  // A consensus key nobody can sign with: the validator could never sign a
  // block, and its stake would be slashed.
  for (const edkeys::BadKey& bad : edkeys::BadKeys()) {
    SCOPED_TRACE(bad.why);
    const Built b = Build("[" + Mutate("msgcreatevalidator", "wallet.valconspub", "\"" + bad.hex + "\"") + "]");
    EXPECT_EQ(b.rc, 1);
    EXPECT_EQ(b.chain,
              "GenerateATOMPubEncode:259[pub is invalid(not a curve point)]<=MakeMsgCreateValitator:606["
              "GenerateATOMPubEncode(stake) Error !! ]<=GenTxMsgs:939[msgcreatevalidator error]");
  }
  // The index in the format message is the failing message's.
  EXPECT_EQ(Build("[" + Send(kPri1) + ",1]").chain,
            "GenTxMsgs:911[msgs[1]{type,value{},wallet{}} is not support format]");
  EXPECT_EQ(BuildValue(Json::Value("msgs")).chain, "GenTxMsgs:900[msgs[] is not support format]");
  // A wallet whose "pub" is not the key of its "pri" is refused.
  EXPECT_EQ(Build("[" + Mutate("msgsend", "wallet.pub", "\"" + kG + "\"") + "]").rc, 0);
  EXPECT_EQ(
      Build("[" + Mutate("msgsend", "wallet", Wallet(kPri2, ",\"pub\":\"" + kG + "\"")) + "]").chain,
      "GetSignerAddr:52[wallet pub does not match pri !!]<=MakeMsgSend:440[GetSignerAddr Error !!]<=GenTxMsgs:931["
      "msgsend error]");
}

TEST(AtomMessage, InputWalletOfTheWrongTypeIsAFailedLookup) {
  // Looking into a text as into an object is jsoncpp's failure, which the
  // entry turns into an orderly error reply.
  AminoValue out = AminoValue::Array();
  AtomSigners signers;
  EXPECT_ANY_THROW(
      GenTxMsgs(tvt::ParseJson("[" + Mutate("msgmultisend", "value.inputs.0.wallet", "\"w\"") + "]"), out, signers));
}

}  // namespace
