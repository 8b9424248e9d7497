#ifndef TOLVARIS_TESTS_KEY_ACTIONS_TESTING_H
#define TOLVARIS_TESTS_KEY_ACTIONS_TESTING_H

// Helpers for the tests of the HD key, signature and ECIES actions: build a
// request from ordered arguments, send it through RunModule (every envelope
// must be strict JSON whose "result" matches the code) and spell out the
// exact envelope a reply should be. The "err_msg" value of a refused export
// call is actt::CoreErr.

#include <gtest/gtest.h>
#include <json/json.h>

#include <string>
#include <utility>
#include <vector>

#include "actions_reply_testing.h"
#include "command/text/text.h"
#include "tv_test.h"

namespace kat {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// "k":"v",... with escaping, no braces.
inline std::string JoinPairs(const Pairs& pairs) {
  std::string s;
  for (const auto& [k, v] : pairs) {
    if (!s.empty()) s += ',';
    s += '"' + JsonEscape(k) + "\":\"" + JsonEscape(v) + '"';
  }
  return s;
}

inline Pairs Concat(Pairs a, const Pairs& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct Reply {
  int rc = -1;
  std::string envelope;
  Json::Value ret;  // the "return" object
};

inline Reply SendRequest(const std::string& request) {
  actt::Reply sent = actt::Send(request);
  Reply r;
  r.rc = sent.rc;
  r.envelope = std::move(sent.envelope);
  r.ret = actt::ParseStrict(r.envelope)["return"];
  return r;
}

inline Reply Send(const std::string& action, const Pairs& args) {
  return SendRequest(R"({"action":")" + action + R"(","args":{)" + JoinPairs(args) + "}}");
}

// The envelope of a successful built-in action.
inline std::string SuccessEnvelope(const std::string& action, const Pairs& pairs) {
  return R"({"action":")" + action + R"(","result":"success","return":{)" + JoinPairs(pairs) + "}}";
}

// The envelope of a failed built-in action with its code and pairs.
inline std::string FailEnvelope(const std::string& action, int code, const Pairs& pairs) {
  std::string ret = R"("err_code":")" + std::to_string(code) + '"';
  if (!pairs.empty()) ret += ',' + JoinPairs(pairs);
  return R"({"action":")" + action + R"(","result":"fail","return":{)" + ret + "}}";
}

// A failure case: the request's arguments, the echo pairs the reply starts
// with, the code and the "err_msg" value.
struct FailCase {
  std::string action;
  Pairs args;
  Pairs echo;
  int code;
  std::string errMsg;
};

inline void ExpectFailures(const std::vector<FailCase>& cases) {
  for (const FailCase& c : cases) {
    const Reply r = Send(c.action, c.args);
    EXPECT_EQ(r.rc, 1203) << r.envelope;
    EXPECT_EQ(r.envelope, FailEnvelope(c.action, c.code, Concat(c.echo, {{"err_msg", c.errMsg}})));
  }
}

}  // namespace kat

#endif
