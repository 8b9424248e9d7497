#include "payload.h"

#include <string_view>

#include "address.h"
#include "common/error_chain.h"
#include "common/hashing.h"
#include "common/json_io.h"
#include "common/signer.h"
#include "command/text/text.h"
#include "tolvaris/bcm_codec.h"

namespace amo {

namespace {

constexpr bool kReq = true;
constexpr bool kOpt = false;

// The rows, in the order in which a "type" is matched. Unused member slots
// stay zero (a null key ends the list).
const TxType kTxTypes[] = {
    {"transfer", "MakeTxTransfer", MakeTxTransfer,
     {{"udc", Form::Udc, kOpt}, {"to", Form::U, kReq}, {"amount", Form::S, kReq}},
     "payload[to,amount] is not support !!", 278, "trnasfer error", 849},
    {"stake", "MakeTxStake", MakeTxStake,
     {{"validator", Form::Validator, kReq}, {"amount", Form::S, kReq}},
     "payload[validator,amount] is not support !!", 307, "stake error", 857},
    {"withdraw", "MakeTxWithdraw", MakeTxWithdraw,
     {{"amount", Form::S, kReq}},
     "payload[amount] is not support !!", 344, "widhdraw error", 865},
    {"delegate", "MakeTxDelegate", MakeTxDelegate,
     {{"to", Form::U, kReq}, {"amount", Form::S, kReq}},
     "payload[to,amount] is not support !!", 366, "delegate error", 873},
    {"retract", "MakeTxRetract", MakeTxRetract,
     {{"amount", Form::S, kReq}},
     "payload[amount] is not support !!", 387, "retract error", 881},
    {"propose", "MakeTxPropose", MakeTxPropose,
     {{"draft_id", Form::N, kReq}, {"config", Form::O, kReq}, {"desc", Form::S, kReq}},
     "payload[draft_id,config{},desc] is not support !!", 410, "propose error", 889},
    {"vote", "MakeTxVote", MakeTxVote,
     {{"draft_id", Form::N, kReq}, {"approve", Form::Approve, kReq}},
     "payload[draft_id,approve] is not support !!", 435, "vote error", 897},
    {"setup", "MakeTxSetup", MakeTxSetup,
     {{"storage", Form::N, kReq}, {"url", Form::S, kReq}, {"registration_fee", Form::S, kReq},
      {"hosting_fee", Form::S, kReq}},
     "payload[storage,url,registration_fee,hosting_fee] is not support !!", 468, "setup error", 905},
    {"close", "MakeTxClose", MakeTxClose,
     {{"storage", Form::N, kReq}},
     "payload[storage] is not support !!", 493, "close error", 913},
    {"register", "MakeTxRegister", MakeTxRegister,
     {{"target", Form::U, kReq}, {"custody", Form::U, kReq}, {"proxy_account", Form::U, kOpt},
      {"extra", Form::O, kOpt}},
     "payload[target,custody] is not support !!", 518, "register error", 921},
    {"request", "MakeTxRequest", MakeTxRequest,
     {{"target", Form::U, kReq}, {"payment", Form::S, kReq}, {"recipient", Form::U, kOpt},
      {"dealer", Form::Dealer, kOpt}, {"extra", Form::O, kOpt}},
     "payload[target,payment] is not support !!", 557, "request error", 929},
    {"cancel", "MakeTxCancel", MakeTxCancel,
     {{"target", Form::U, kReq}, {"recipient", Form::U, kOpt}},
     "payload[target] is not support !!", 649, "cancel error", 937},
    {"grant", "MakeTxGrant", MakeTxGrant,
     {{"target", Form::U, kReq}, {"recipient", Form::U, kReq}, {"custody", Form::U, kReq},
      {"extra", Form::O, kOpt}},
     "payload[target,recipient,custody] is not support !!", 599, "grant error", 945},
    {"revoke", "MakeTxRevoke", MakeTxRevoke,
     {{"target", Form::U, kReq}, {"recipient", Form::U, kReq}},
     "payload[target,recipient] is not support !!", 676, "revoke error", 953},
    {"discard", "MakeTxDiscard", MakeTxDiscard,
     {{"target", Form::U, kReq}},
     "payload[target] is not support !!", 627, "discard error", 961},
    {"claim", "MakeTxClaim", MakeTxClaim,
     {{"target", Form::U, kReq}, {"document", Form::O, kOpt}},
     "payload[target] is not support !!", 698, "claim error", 969},
    {"dismiss", "MakeTxDismiss", MakeTxDismiss,
     {{"target", Form::U, kReq}},
     "payload[target] is not support !!", 723, "dismiss error", 977},
    {"issue", "MakeTxIssue", MakeTxIssue,
     {{"udc", Form::N, kReq}, {"desc", Form::S, kOpt}, {"operators", Form::Operators, kOpt},
      {"amount", Form::S, kReq}},
     "payload[udc,amount] is not support !!", 751, "issue error", 985},
    {"lock", "MakeTxLock", MakeTxLock,
     {{"udc", Form::N, kReq}, {"holder", Form::U, kReq}, {"amount", Form::S, kReq}},
     "payload[udc,holder,amount] is not support !!", 794, "lock error", 993},
    {"burn", "MakeTxBurn", MakeTxBurn,
     {{"udc", Form::N, kReq}, {"amount", Form::S, kReq}},
     "payload[udc,amount] is not support !!", 817, "burn error", 1001},
};

// An unsigned decimal integer as JSON writes one: "0", or 1-9 then digits.
bool IsJsonUnsigned(std::string_view text) {
  if (text.empty() || (text.size() > 1 && text[0] == '0')) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

bool AllZeroDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of('0') == std::string_view::npos;
}

// A transfer's "udc" names the token; without one the chain's own coin
// moves. So only an absent one (null, "", or a zero) leaves it out, and
// anything unreadable is refused instead of turning into a coin transfer.
enum class UdcUse { Omit, Write, Refuse };
UdcUse ReadTransferUdc(const Json::Value& v) {
  if (v.isNull()) return UdcUse::Omit;
  if (!v.isString()) return UdcUse::Refuse;
  const std::string text = GetJsonStr(v, "udc");
  if (text.empty() || AllZeroDigits(text)) return UdcUse::Omit;
  if (!IsJsonUnsigned(text)) return UdcUse::Refuse;
  // A token id must fit the chain's 32-bit range; beyond it the request
  // cannot be carried out (StrToInt throws).
  return StrToInt(text) > 0 ? UdcUse::Write : UdcUse::Omit;
}

bool TypeOk(const Member& m, const Json::Value& v) {
  switch (m.form) {
    case Form::O:
      return !m.required || v.isObject();
    case Form::Operators:
    case Form::Dealer:
      return true;
    case Form::Udc:
      return ReadTransferUdc(v) != UdcUse::Refuse;
    case Form::N:
      return v.isString() && IsJsonUnsigned(GetJsonStr(v, m.key));
    default:
      if (m.required) return v.isString();
      // An optional text may be absent, but not of another type.
      IsJsonText(v, m.key);
      return true;
  }
}

void AppendKey(std::string& out, const char* key) {
  if (out.size() > 1) out += ',';
  out += '"';
  out += key;
  out += "\":";
}

void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  AppendJsonEscaped(out, text);
  out += '"';
}

// "0x" hex is taken as it stands; any other text is Base64. Both are
// written as upper-case hex without prefix. 0, or 1 for bad Base64.
int WriteValidator(std::string& out, const std::string& text) {
  if (text.rfind("0x", 0) == 0) {
    AppendQuoted(out, ToUpper(RemovePrefix("0x", text)));
    return 0;
  }
  unsigned char buf[128];
  uint32_t len = sizeof(buf);
  if (BCMGenBase64Decode(text.c_str(), buf, &len) != 0) return 1;
  AppendQuoted(out, ToUpper(RemovePrefix("0x", BytesToHex(buf, len))));
  return 0;
}

// Writes one member, or nothing when an optional one is absent.
int WriteMember(std::string& out, const Member& m, const Json::Value& payload) {
  const Json::Value& v = payload[m.key];
  switch (m.form) {
    case Form::U:
    case Form::S: {
      if (!v.isString()) return 0;
      const std::string text = GetJsonStr(v, m.key);
      if (!m.required && text.empty()) return 0;
      AppendKey(out, m.key);
      AppendQuoted(out, m.form == Form::U ? ToUpper(text) : text);
      return 0;
    }
    case Form::N:
      AppendKey(out, m.key);
      out += GetJsonStr(v, m.key);
      return 0;
    case Form::O:
      if (!v.isObject()) return 0;
      AppendKey(out, m.key);
      out += WriteJson(v, "");
      return 0;
    case Form::Udc:
      if (ReadTransferUdc(v) != UdcUse::Write) return 0;
      AppendKey(out, m.key);
      out += GetJsonStr(v, m.key);
      return 0;
    case Form::Validator:
      AppendKey(out, m.key);
      return WriteValidator(out, GetJsonStr(v, m.key));
    case Form::Approve:
      AppendKey(out, m.key);
      out += ToUpper(GetJsonStr(v, m.key)) == "TRUE" ? "true" : "false";
      return 0;
    case Form::Operators: {
      if (!v.isArray()) return 0;
      std::string list;
      for (const Json::Value& e : v) {
        if (!IsJsonText(e, m.key)) continue;
        if (!list.empty()) list += ',';
        AppendQuoted(list, ToUpper(GetJsonStr(e, m.key)));
      }
      if (list.empty()) return 0;
      AppendKey(out, m.key);
      out += '[';
      out += list;
      out += ']';
      return 0;
    }
    case Form::Dealer: {
      // A dealer is paid its fee, so the two travel together or not at all.
      const Json::Value& fee = payload["dealer_fee"];
      if (!HasJsonStrs(payload, {"dealer_fee", "dealer"})) return 0;
      const std::string dealer = GetJsonStr(v, "dealer"), dealerFee = GetJsonStr(fee, "dealer_fee");
      if (dealer.empty() || dealerFee.empty()) return 0;
      AppendKey(out, "dealer");
      AppendQuoted(out, ToUpper(dealer));
      AppendKey(out, "dealer_fee");
      AppendQuoted(out, dealerFee);
      return 0;
    }
  }
  return 0;
}

int Build(const char* type, const Json::Value& payload, std::string& out) {
  const TxType& row = *FindTxType(type);
  out.clear();
  bool ok = payload.isObject();
  for (const Member& m : row.members) {
    if (!ok || m.key == nullptr) break;
    ok = TypeOk(m, payload[m.key]);
  }
  if (!ok) {
    AddErrTrail(row.builder, row.line, 1000, row.message);
    return 1;
  }
  out.assign(1, '{');
  for (const Member& m : row.members) {
    if (m.key == nullptr) break;
    if (WriteMember(out, m, payload) != 0) {
      // Only a stake validator that is neither "0x" hex nor Base64 gets here.
      AddErrTrail(row.builder, 318, 1000, "payload[validator] is not base64 !!");
      out.clear();
      return 1;
    }
  }
  out += '}';
  return 0;
}

}  // namespace

const TxType* FindTxType(const std::string& name) {
  for (const TxType& t : kTxTypes)
    if (name == t.name) return &t;
  return nullptr;
}

int MakeTxTransfer(Json::Value payload, std::string& out) { return Build("transfer", payload, out); }
int MakeTxStake(Json::Value payload, std::string& out) { return Build("stake", payload, out); }
int MakeTxWithdraw(Json::Value payload, std::string& out) { return Build("withdraw", payload, out); }
int MakeTxDelegate(Json::Value payload, std::string& out) { return Build("delegate", payload, out); }
int MakeTxRetract(Json::Value payload, std::string& out) { return Build("retract", payload, out); }
int MakeTxPropose(Json::Value payload, std::string& out) { return Build("propose", payload, out); }
int MakeTxVote(Json::Value payload, std::string& out) { return Build("vote", payload, out); }
int MakeTxSetup(Json::Value payload, std::string& out) { return Build("setup", payload, out); }
int MakeTxClose(Json::Value payload, std::string& out) { return Build("close", payload, out); }
int MakeTxRegister(Json::Value payload, std::string& out) { return Build("register", payload, out); }
int MakeTxRequest(Json::Value payload, std::string& out) { return Build("request", payload, out); }
int MakeTxCancel(Json::Value payload, std::string& out) { return Build("cancel", payload, out); }
int MakeTxGrant(Json::Value payload, std::string& out) { return Build("grant", payload, out); }
int MakeTxRevoke(Json::Value payload, std::string& out) { return Build("revoke", payload, out); }
int MakeTxDiscard(Json::Value payload, std::string& out) { return Build("discard", payload, out); }
int MakeTxClaim(Json::Value payload, std::string& out) { return Build("claim", payload, out); }
int MakeTxDismiss(Json::Value payload, std::string& out) { return Build("dismiss", payload, out); }
int MakeTxIssue(Json::Value payload, std::string& out) { return Build("issue", payload, out); }
int MakeTxLock(Json::Value payload, std::string& out) { return Build("lock", payload, out); }
int MakeTxBurn(Json::Value payload, std::string& out) { return Build("burn", payload, out); }

}  // namespace amo
