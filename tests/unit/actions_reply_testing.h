#ifndef TOLVARIS_TESTS_ACTIONS_REPLY_TESTING_H
#define TOLVARIS_TESTS_ACTIONS_REPLY_TESTING_H

// Sending one RunModule request and checking its envelope: every envelope is
// strict JSON and "result" agrees with the code.
#include <gtest/gtest.h>
#include <json/json.h>

#include <memory>
#include <string>

#include "command/json_check.h"
#include "tolvaris/bcm_core.h"
#include "tolvaris/runmodule.h"

namespace actt {

struct Reply {
  int rc;
  std::string envelope;
};

inline Json::Value ParseStrict(const std::string& text) {
  Json::CharReaderBuilder b;
  Json::CharReaderBuilder::strictMode(&b.settings_);
  Json::Value v;
  std::string errs;
  std::unique_ptr<Json::CharReader> reader(b.newCharReader());
  EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &v, &errs)) << errs << text;
  return v;
}

inline Reply Send(const std::string& request) {
  char* out = nullptr;
  const int rc = RunModule(request.c_str(), &out);
  EXPECT_NE(out, nullptr);
  Reply r{rc, out ? out : ""};
  EXPECT_EQ(FreeMem(out), 0);
  EXPECT_TRUE(IsStrictJson(r.envelope)) << r.envelope;
  EXPECT_EQ(ParseStrict(r.envelope)["result"].asString(), rc == 0 ? "success" : "fail") << r.envelope;
  return r;
}

// The envelope of a built-in action without an "addon"; `object` is the
// "return" object.
inline std::string Envelope(const std::string& action, bool ok, const std::string& object) {
  return R"({"action":")" + action + R"(","result":")" + (ok ? "success" : "fail") + R"(","return":)" + object + "}";
}

// The "err_msg" value for a handler label and the trail text that follows.
inline std::string CoreErr(const std::string& label, const std::string& trail) {
  return std::string("ostrel Ver(") + BCMGetVer() + ") Func(" + label + ") detail(" + trail;
}

// Sends {"action":action,"args":args}; a handler that returns `code` makes
// RunModule answer 0 (for 0) or 1203 with `object` as "return".
inline void ExpectReply(const std::string& action, const std::string& args, int code, const std::string& object) {
  const Reply r = Send(R"({"action":")" + action + R"(","args":)" + args + "}");
  EXPECT_EQ(r.rc, code == 0 ? 0 : 1203) << args;
  EXPECT_EQ(r.envelope, Envelope(action, code == 0, object)) << args;
}

}  // namespace actt

#endif
