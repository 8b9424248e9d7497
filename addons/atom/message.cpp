#include "atom/message.h"

#include <initializer_list>

#include "atom/address.h"
#include "command/text/text.h"
#include "common/error_chain.h"
#include "common/json_io.h"

namespace {

constexpr char kUnknown[] = "ToDo Add Detail Error Message!!";
constexpr char kWalletMessage[] = "wallet[pri,seq,accum] is not support !!";
constexpr char kDescriptionMessage[] =
    "description{details,identity,moniker,security_contact,website} is not support !!";
constexpr char kAmountMessage[] = "amount{amount,denom} is not support !!";

bool HasStrings(const Json::Value& obj, std::initializer_list<const char*> keys) {
  if (!obj.isObject()) return false;
  for (const char* k : keys) {
    if (!obj[k].isString()) return false;
  }
  return true;
}

bool IsSignerWallet(const Json::Value& wallet) { return HasStrings(wallet, {"pri", "seq", "accnum"}); }

// The text member `key` of an object, refused (by name) when it holds a NUL.
AminoValue Text(const Json::Value& obj, const char* key) { return AminoValue::Text(GetJsonStr(obj[key], key)); }

// {"amount": ..., "denom": ...} of an object holding both as texts.
AminoValue Coin(const Json::Value& coin) {
  return AminoValue::Object().Add("amount", Text(coin, "amount")).Add("denom", Text(coin, "denom"));
}

AminoValue Description(const Json::Value& d) {
  AminoValue out = AminoValue::Object();
  for (const char* k : {"details", "identity", "moniker", "security_contact", "website"}) out.Add(k, Text(d, k));
  return out;
}

bool IsDescription(const Json::Value& d) {
  return HasStrings(d, {"details", "identity", "moniker", "security_contact", "website"});
}

bool IsOneCoinList(const Json::Value& coins) {
  return coins.isArray() && coins.size() == 1 && HasStrings(coins[0], {"amount", "denom"});
}

AminoValue Message(const char* type, AminoValue value) {
  return AminoValue::Object().Add("type", AminoValue::Text(type)).Add("value", std::move(value));
}

}  // namespace

std::string AtomAccountKey(const std::string& address) {
  const size_t sep = address.rfind('1');
  if (sep == std::string::npos || address.size() < sep + 1 + 6) return address;
  return address.substr(sep + 1, address.size() - sep - 1 - 6);
}

void AddAtomSigner(AtomSigners& signers, const std::string& address, size_t message, size_t input, bool isInput) {
  std::string key = AtomAccountKey(address);
  for (const AtomSigner& s : signers) {
    if (s.key == key) return;
  }
  signers.push_back(AtomSigner{std::move(key), message, input, isInput});
}

int MakeMsgSend(const Json::Value& msg, AminoValue& out, std::string& signer) {
  constexpr char kName[] = "MakeMsgSend";
  const Json::Value& wallet = msg["wallet"];
  const Json::Value& value = msg["value"];
  if (!IsSignerWallet(wallet)) return Refuse(kName, 418, kWalletMessage);
  if (!IsOneCoinList(value["amount"]) || !value["to_address"].isString())
    return Refuse(kName, 426, "value[amount[{}],to_address] is not support !!");
  if (GetSignerAddr(wallet, "cosmos1", signer) != 0) return Refuse(kName, 440, "GetSignerAddr Error !!");
  out = Message("cosmos-sdk/MsgSend", AminoValue::Object()
                                          .Add("amount", AminoValue::Array().Push(Coin(value["amount"][0])))
                                          .Add("from_address", AminoValue::Text(signer))
                                          .Add("to_address", Text(value, "to_address")));
  return 0;
}

int MakeMsgCreateValitator(const Json::Value& msg, AminoValue& out, std::string& signer) {
  constexpr char kName[] = "MakeMsgCreateValitator";
  const Json::Value& wallet = msg["wallet"];
  const Json::Value& value = msg["value"];
  if (!IsSignerWallet(wallet) || !wallet["valconspub"].isString())
    return Refuse(kName, 555, "wallet[pri,seq,accum,valconspub] is not support !!");
  if (!value["commission"].isObject() || !value["description"].isObject() || !value["min_self_delegation"].isString() ||
      !value["value"].isObject())
    return Refuse(kName, 563, "value[commission{},description{},min_self_delegation,value{}] is not support !!");
  const Json::Value& commission = value["commission"];
  if (!HasStrings(commission, {"max_change_rate", "max_rate", "rate"}))
    return Refuse(kName, 570, "commission{max_change_rate,max_rate,rate} is not support !!");
  if (!IsDescription(value["description"])) return Refuse(kName, 578, kDescriptionMessage);
  if (!HasStrings(value["value"], {"amount", "denom"}))
    return Refuse(kName, 585, "value{amount,denom} is not support !!");
  if (GetSignerAddr(wallet, "cosmos1", signer) != 0) return Refuse(kName, 594, "GetSignerAddr(wallet) Error !! ");
  std::string valoper;
  if (GetSignerAddr(wallet, "cosmosvaloper1", valoper) != 0) return Refuse(kName, 600, "GetSignerAddr(stake) Error !! ");
  std::string conspub;
  if (GenerateATOMPubEncode(3, "cosmosvalconspub1",
                            ArgHexToBytes("valconspub", GetJsonStr(wallet["valconspub"], "valconspub")), conspub) != 0)
    return Refuse(kName, 606, "GenerateATOMPubEncode(stake) Error !! ");
  out = Message("cosmos-sdk/MsgCreateValidator",
                AminoValue::Object()
                    .Add("commission", AminoValue::Object()
                                           .Add("max_change_rate", Text(commission, "max_change_rate"))
                                           .Add("max_rate", Text(commission, "max_rate"))
                                           .Add("rate", Text(commission, "rate")))
                    .Add("delegator_address", AminoValue::Text(signer))
                    .Add("description", Description(value["description"]))
                    .Add("min_self_delegation", Text(value, "min_self_delegation"))
                    .Add("pubkey", AminoValue::Text(conspub))
                    .Add("validator_address", AminoValue::Text(valoper))
                    .Add("value", Coin(value["value"])));
  return 0;
}

int MakeMsgEditValidator(const Json::Value& msg, AminoValue& out, std::string& signer) {
  constexpr char kName[] = "MakeMsgEditValidator";
  const Json::Value& wallet = msg["wallet"];
  const Json::Value& value = msg["value"];
  if (!IsSignerWallet(wallet)) return Refuse(kName, 645, kWalletMessage);
  if (!value["commission_rate"].isString() || !value["description"].isObject() ||
      !value["min_self_delegation"].isString())
    return Refuse(kName, 652, "value[commission_rate,description{},min_self_delegation] is not support !!");
  if (!IsDescription(value["description"])) return Refuse(kName, 660, kDescriptionMessage);
  if (GetSignerAddr(wallet, "cosmosvaloper1", signer) != 0) return Refuse(kName, 667, "GetSignerAddr Error !!");
  // "Description" with a capital D is the key this chain generation reads.
  out = Message("cosmos-sdk/MsgEditValidator", AminoValue::Object()
                                                   .Add("address", AminoValue::Text(signer))
                                                   .Add("commission_rate", Text(value, "commission_rate"))
                                                   .Add("Description", Description(value["description"]))
                                                   .Add("min_self_delegation", Text(value, "min_self_delegation")));
  return 0;
}

namespace {

// The staking messages: an "amount" object, the delegator's address and one
// or two validator addresses.
struct StakeMessage {
  const char* name;
  const char* type;
  uint32_t walletLine, valueLine, amountLine, addressLine;
  const char* valueMessage;
  const char* validators[2];  // the second may be null
  bool writesAmount;
};

const StakeMessage kDelegate{"MakeMsgDelegate",
                             "cosmos-sdk/MsgDelegate",
                             695,
                             702,
                             709,
                             716,
                             "value[amount{},validator_address] is not support !!",
                             {"validator_address", nullptr},
                             true};
const StakeMessage kRedelegate{"MakeMsgBeginRedelegate",
                               "cosmos-sdk/MsgBeginRedelegate",
                               740,
                               747,
                               754,
                               761,
                               "value[amount{},validator_dst_address,validator_src_address] is not support !!",
                               {"validator_dst_address", "validator_src_address"},
                               true};
const StakeMessage kUndelegate{"MakeMsgUndelegate",
                               "cosmos-sdk/MsgUndelegate",
                               786,
                               793,
                               800,
                               807,
                               "value[amount{},validator_address] is not support !!",
                               {"validator_address", nullptr},
                               true};
// The reward withdrawal carries no amount but still requires one.
const StakeMessage kWithdraw{"MakeMsgWithdrawDelegationReward",
                             "cosmos-sdk/MsgWithdrawDelegationReward",
                             840,
                             847,
                             854,
                             861,
                             "value[amount{},validator_address] is not support !!",
                             {"validator_address", nullptr},
                             false};

int MakeStakeMessage(const StakeMessage& m, const Json::Value& msg, AminoValue& out, std::string& signer) {
  const Json::Value& wallet = msg["wallet"];
  const Json::Value& value = msg["value"];
  if (!IsSignerWallet(wallet)) return Refuse(m.name, m.walletLine, kWalletMessage);
  bool hasValidators = true;
  for (const char* k : m.validators) hasValidators = hasValidators && (k == nullptr || value[k].isString());
  if (!value["amount"].isObject() || !hasValidators) return Refuse(m.name, m.valueLine, m.valueMessage);
  if (!HasStrings(value["amount"], {"amount", "denom"})) return Refuse(m.name, m.amountLine, kAmountMessage);
  if (GetSignerAddr(wallet, "cosmos1", signer) != 0) return Refuse(m.name, m.addressLine, "GetSignerAddr Error !!");
  AminoValue body = AminoValue::Object();
  if (m.writesAmount) body.Add("amount", Coin(value["amount"]));
  body.Add("delegator_address", AminoValue::Text(signer));
  for (const char* k : m.validators) {
    if (k != nullptr) body.Add(k, Text(value, k));
  }
  out = Message(m.type, std::move(body));
  return 0;
}

}  // namespace

int MakeMsgDelegate(const Json::Value& msg, AminoValue& out, std::string& signer) {
  return MakeStakeMessage(kDelegate, msg, out, signer);
}
int MakeMsgBeginRedelegate(const Json::Value& msg, AminoValue& out, std::string& signer) {
  return MakeStakeMessage(kRedelegate, msg, out, signer);
}
int MakeMsgUndelegate(const Json::Value& msg, AminoValue& out, std::string& signer) {
  return MakeStakeMessage(kUndelegate, msg, out, signer);
}
int MakeMsgWithdrawDelegationReward(const Json::Value& msg, AminoValue& out, std::string& signer) {
  return MakeStakeMessage(kWithdraw, msg, out, signer);
}

int MakeMsgMultiMsgSend(const Json::Value& msg, size_t message, AminoValue& out, AtomSigners& signers) {
  constexpr char kName[] = "MakeMsgMultiMsgSend";
  const Json::Value& value = msg["value"];
  const Json::Value& inputs = value["inputs"];
  const Json::Value& outputs = value["outputs"];
  if (!inputs.isArray() || inputs.empty() || !outputs.isArray() || outputs.empty()) return Refuse(kName, 465, kUnknown);
  AminoValue ins = AminoValue::Array();
  for (Json::ArrayIndex k = 0; k < inputs.size(); ++k) {
    const Json::Value& input = inputs[k];
    if (!input.isObject() || !input["coins"].isArray() || input["coins"].size() != 1) return Refuse(kName, 480, kUnknown);
    // Looked into without a type test: a wallet that is a text, a number or
    // an array fails the lookup itself (the entry's failed JSON operation).
    const Json::Value& wallet = input["wallet"];
    if (!wallet["pri"].isString() || !wallet["seq"].isString() || !wallet["accnum"].isString())
      return Refuse(kName, 487, kWalletMessage);
    const Json::Value& coin = input["coins"][0];
    if (!HasStrings(coin, {"amount", "denom"})) return Refuse(kName, 494, kUnknown);
    std::string address;
    if (GetSignerAddr(wallet, "cosmos1", address) != 0) return Refuse(kName, 501, kUnknown);
    AddAtomSigner(signers, address, message, k, true);
    ins.Push(AminoValue::Object()
                 .Add("address", AminoValue::Text(address))
                 .Add("coins", AminoValue::Array().Push(Coin(coin))));
  }
  AminoValue outs = AminoValue::Array();
  for (Json::ArrayIndex k = 0; k < outputs.size(); ++k) {
    const Json::Value& output = outputs[k];
    if (!output.isObject() || !output["address"].isString() || !output["coins"].isArray() ||
        output["coins"].size() != 1)
      return Refuse(kName, 523, kUnknown);
    const Json::Value& coin = output["coins"][0];
    if (!HasStrings(coin, {"amount", "denom"})) return Refuse(kName, 530, kUnknown);
    outs.Push(AminoValue::Object()
                  .Add("address", Text(output, "address"))
                  .Add("coins", AminoValue::Array().Push(Coin(coin))));
  }
  out = Message("cosmos-sdk/MsgMultiSend",
                AminoValue::Object().Add("inputs", std::move(ins)).Add("outputs", std::move(outs)));
  return 0;
}

namespace {

using SingleBuilder = int (*)(const Json::Value&, AminoValue&, std::string&);

struct MessageType {
  const char* word;
  SingleBuilder build;  // null: "msgmultisend"
  uint32_t line;
};

const MessageType kMessageTypes[] = {
    {"msgsend", MakeMsgSend, 931},
    {"msgcreatevalidator", MakeMsgCreateValitator, 939},
    {"msgeditvalidator", MakeMsgEditValidator, 947},
    {"msgdelegate", MakeMsgDelegate, 955},
    {"msgbeginredelegate", MakeMsgBeginRedelegate, 963},
    {"msgundelegate", MakeMsgUndelegate, 971},
    {"msgwithdrawdelegationreward", MakeMsgWithdrawDelegationReward, 979},
    {"msgmultisend", nullptr, 999},
};

}  // namespace

int GenTxMsgs(const Json::Value& msgs, AminoValue& out, AtomSigners& signers) {
  constexpr char kName[] = "GenTxMsgs";
  out = AminoValue::Array();
  if (!msgs.isArray()) return Refuse(kName, 900, "msgs[] is not support format");
  for (Json::ArrayIndex i = 0; i < msgs.size(); ++i) {
    const Json::Value& msg = msgs[i];
    const std::string formatMessage = "msgs[" + std::to_string(i) + "]{type,value{},wallet{}} is not support format";
    if (!msg.isObject() || !msg["type"].isString() || !msg["value"].isObject()) return Refuse(kName, 911, formatMessage);
    const std::string type = GetJsonStr(msg["type"], "type");
    const MessageType* row = nullptr;
    for (const MessageType& t : kMessageTypes) {
      if (type == t.word) row = &t;
    }
    if (row == nullptr) return Refuse(kName, 1018, "do not support msg type[" + type + "]");
    AminoValue text = AminoValue::Object();
    if (row->build == nullptr) {
      if (MakeMsgMultiMsgSend(msg, i, text, signers) != 0) return Refuse(kName, row->line, type + " error");
    } else {
      if (!msg["wallet"].isObject()) return Refuse(kName, 923, formatMessage);
      std::string signer;
      if (row->build(msg, text, signer) != 0) return Refuse(kName, row->line, type + " error");
      AddAtomSigner(signers, signer, i, 0, false);
    }
    out.Push(std::move(text));
  }
  return 0;
}
