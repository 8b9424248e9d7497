#ifndef TOLVARIS_TESTS_KEY_ACTIONS_TESTING_H
#define TOLVARIS_TESTS_KEY_ACTIONS_TESTING_H

// Helpers for the tests of the HD key, signature and ECIES actions: build a
// request from ordered arguments, send it through RunModule (every envelope
// must be strict JSON whose "result" matches the code) and spell out the
// exact envelope a reply should be.

#include <gtest/gtest.h>
#include <json/json.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "command/json_check.h"
#include "command/text/text.h"
#include "tolvaris/bcm_core.h"
#include "tolvaris/runmodule.h"
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
  Reply r;
  char* out = nullptr;
  r.rc = RunModule(request.c_str(), &out);
  EXPECT_NE(out, nullptr) << request;
  r.envelope = out ? out : "";
  EXPECT_EQ(FreeMem(out), 0);
  EXPECT_TRUE(IsStrictJson(r.envelope)) << r.envelope;
  Json::CharReaderBuilder b;
  Json::CharReaderBuilder::strictMode(&b.settings_);
  std::unique_ptr<Json::CharReader> reader(b.newCharReader());
  Json::Value v;
  std::string errs;
  EXPECT_TRUE(reader->parse(r.envelope.data(), r.envelope.data() + r.envelope.size(), &v, &errs))
      << errs << r.envelope;
  EXPECT_EQ(v["result"].asString(), r.rc == 0 ? "success" : "fail") << r.envelope;
  r.ret = v["return"];
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

// The "err_msg" value of a refused export call, given the error trail text.
inline std::string CoreErrText(const std::string& label, const std::string& trail) {
  return std::string("ostrel Ver(") + BCMGetVer() + ") Func(" + label + ") detail(" + trail;
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
