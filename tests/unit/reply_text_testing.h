// Helpers for the tests of the entropy, codec, digest and AES actions: send
// one action through RunModule, check that the envelope is strict JSON whose
// "result" matches the code, and compare the "return" object as text.
#ifndef TOLVARIS_TESTS_REPLY_TEXT_TESTING_H
#define TOLVARIS_TESTS_REPLY_TEXT_TESTING_H

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "actions_reply_testing.h"

namespace rtt {

struct Reply {
  int rc = -1;
  std::string envelope;
  std::string ret;  // the "return" object as it stands in the envelope
};

inline Reply Run(const std::string& action, const std::string& args) {
  // Strict JSON without repeated keys, "result" agreeing with the code; the
  // head below pins the rest of the envelope.
  actt::Reply sent = actt::Send(R"({"action":")" + action + R"(","args":)" + args + "}");
  Reply r;
  r.rc = sent.rc;
  r.envelope = std::move(sent.envelope);
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
    out += actt::CoreErr(expected.substr(at + 5, close - at - 5), "");
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
