#ifndef QUENMOD_AMO_PAYLOAD_H
#define QUENMOD_AMO_PAYLOAD_H

// The payload texts of the twenty AMO transaction types. Every byte is
// signed, so member order, quoting and case are fixed: members come in the
// order of their row, on one line, string values JSON-escaped.

#include <json/json.h>

#include <cstdint>
#include <string>

namespace amo {

// Each builder checks its payload object and writes the payload text;
// 0, or 1 with its entry recorded (the text is then unusable).
int MakeTxTransfer(Json::Value payload, std::string& out);
int MakeTxStake(Json::Value payload, std::string& out);
int MakeTxWithdraw(Json::Value payload, std::string& out);
int MakeTxDelegate(Json::Value payload, std::string& out);
int MakeTxRetract(Json::Value payload, std::string& out);
int MakeTxPropose(Json::Value payload, std::string& out);
int MakeTxVote(Json::Value payload, std::string& out);
int MakeTxSetup(Json::Value payload, std::string& out);
int MakeTxClose(Json::Value payload, std::string& out);
int MakeTxRegister(Json::Value payload, std::string& out);
int MakeTxRequest(Json::Value payload, std::string& out);
int MakeTxCancel(Json::Value payload, std::string& out);
int MakeTxGrant(Json::Value payload, std::string& out);
int MakeTxRevoke(Json::Value payload, std::string& out);
int MakeTxDiscard(Json::Value payload, std::string& out);
int MakeTxClaim(Json::Value payload, std::string& out);
int MakeTxDismiss(Json::Value payload, std::string& out);
int MakeTxIssue(Json::Value payload, std::string& out);
int MakeTxLock(Json::Value payload, std::string& out);
int MakeTxBurn(Json::Value payload, std::string& out);

// How a member is written.
//   U  upper-cased string, quoted     S  string as given, quoted
//   N  unsigned decimal integer, bare O  object, compact, keys in order
// and the members with rules of their own.
enum class Form { U, S, N, O, Udc, Validator, Approve, Operators, Dealer };

struct Member {
  const char* key;
  Form form;
  bool required;
};

// One transaction type: its payload members in order, the builder's own
// entry, and what the body builder records when the builder fails.
struct TxType {
  const char* name;
  const char* builder;
  int (*build)(Json::Value payload, std::string& out);
  Member members[6];
  const char* message;
  uint32_t line;
  const char* failure;
  uint32_t failureLine;
};

// The type named exactly `name` (case-sensitive), or null.
const TxType* FindTxType(const std::string& name);

}  // namespace amo

#endif
