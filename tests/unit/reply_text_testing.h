// Helpers for the tests of the entropy, codec, digest and AES actions: send
// one action through RunModule, check that the envelope is strict JSON whose
// "result" matches the code, and compare the "return" object as text.
#ifndef TOLVARIS_TESTS_REPLY_TEXT_TESTING_H
#define TOLVARIS_TESTS_REPLY_TEXT_TESTING_H

#include <gtest/gtest.h>

#include <string>

#include "command/json_check.h"
#include "tolvaris/bcm_core.h"
#include "tolvaris/runmodule.h"

namespace rtt {

struct Reply {
  int rc = -1;
  std::string envelope;
  std::string ret;  // the "return" object as it stands in the envelope
};

inline Reply Run(const std::string& action, const std::string& args) {
  const std::string request = R"({"action":")" + action + R"(","args":)" + args + "}";
  char* text = nullptr;
  Reply r;
  r.rc = RunModule(request.c_str(), &text);
  EXPECT_NE(text, nullptr) << request;
  r.envelope = text ? text : "";
  EXPECT_EQ(FreeMem(text), 0);

  // Strict JSON without repeated keys; the head below pins "result" to the code.
  EXPECT_TRUE(IsStrictJson(r.envelope)) << r.envelope;
  EXPECT_TRUE(r.rc == 0 || r.rc == 1203) << r.envelope;
  const std::string head = R"({"action":")" + action + R"(","result":")" + (r.rc == 0 ? "success" : "fail") +
                           R"(","return":)";
  if (r.envelope.compare(0, head.size(), head) == 0 && r.envelope.back() == '}')
    r.ret = r.envelope.substr(head.size(), r.envelope.size() - head.size() - 1);
  else
    ADD_FAILURE() << "envelope head: " << r.envelope;
  return r;
}

// The expected "return" text: every "$ERR(<label>)" stands for the start of
// the "err_msg" value, "ostrel Ver(<version>) Func(<label>) detail(".
inline std::string Expand(const std::string& expected) {
  std::string out;
  size_t pos = 0;
  for (;;) {
    const size_t at = expected.find("$ERR(", pos);
    if (at == std::string::npos) break;
    const size_t close = expected.find(')', at);
    out.append(expected, pos, at - pos);
    out += "ostrel Ver(" + std::string(BCMGetVer()) + ") Func(" + expected.substr(at + 5, close - at - 5) +
           ") detail(";
    pos = close + 1;
  }
  out.append(expected, pos, std::string::npos);
  return out;
}

// One request and its exact reply object.
struct Case {
  const char* action;
  const char* args;
  const char* ret;
};

inline void ExpectReplies(const Case* cases, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const Case& c = cases[i];
    const std::string expected = Expand(c.ret);
    const Reply r = Run(c.action, c.args);
    EXPECT_EQ(r.ret, expected) << c.action << " " << c.args;
    // A reply with "err_code" is a failed action, one without a success.
    EXPECT_EQ(r.rc, expected.rfind(R"({"err_code")", 0) == 0 ? 1203 : 0) << c.args;
  }
}
template <size_t N>
void ExpectReplies(const Case (&cases)[N]) {
  ExpectReplies(cases, N);
}

}  // namespace rtt

#endif
