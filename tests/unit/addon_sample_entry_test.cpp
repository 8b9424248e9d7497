// The sample add-on's entry: exact replies and results for the test action,
// the fixed error replies (always JSON, whatever the request held), the
// self-test names and their near-misses, and the reply buffer.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "broken_utf8_testing.h"
#include "command/json_check.h"
#include "sample_entry.h"

namespace {

struct Reply {
  int rc;
  std::string text;
};

Reply Send(const char* request, const char* action = "X", const char* addon = "sample") {
  char* out = reinterpret_cast<char*>(1);
  const int rc = RunModule_SAMPLE(action, addon, request, &out);
  Reply r{rc, out != nullptr ? out : "(null)"};
  if (out != nullptr) {
    EXPECT_EQ(std::strlen(out), r.text.size());
    EXPECT_EQ(FreeMem_SAMPLE(out), 0);
    EXPECT_TRUE(IsStrictJson(r.text)) << "not strict UTF-8 JSON: " << r.text;
  }
  return r;
}

constexpr char kTestBCModuleError[] = R"("error":{"err_code":"1000","err_msg":"TestBCModule Running Error"})";

TEST(SampleEntry, RepliesAndResults) {
  const struct {
    std::string request;
    int rc;
    std::string reply;
  } cases[] = {
      {R"({"action":"TestAction","args":{"arg1":"a b","arg2":""}})", 0,
       R"({"arg1":"a b","arg2":"","retvalue1":"a b=>TestAction Run1","retvalue2":"=>TestAction Run2"})"},
      // A present "retvalue1" is overwritten; other members stay.
      {R"({"action":"TestAction","addon":"x","args":{"arg1":"1","arg2":"2","retvalue1":"old","z":[1]}})", 0,
       R"({"arg1":"1","arg2":"2","retvalue1":"1=>TestAction Run1","retvalue2":"2=>TestAction Run2","z":[1]})"},
      {R"({"action":"TestAction","args":{"arg1":"a"}})", 1,
       R"({"arg1":"a","error":{"err_code":"1000","err_msg":"TestAction Running Error"}})"},
      {R"({"action":"TestAction","args":{"arg1":"a","arg2":5}})", 1,
       R"({"arg1":"a","arg2":5,"error":{"err_code":"1000","err_msg":"TestAction Running Error"}})"},
      {R"({"action":"TestAction"})", 1, R"({"error":{"err_code":"1000","err_msg":"TestAction Running Error"}})"},
      // Self-test names match exactly.
      {R"({"action":"TestBCModule","args":{"bcmodule":"bcmgenentropy"}})", 1,
       std::string(R"({"bcmodule":"bcmgenentropy",)") + kTestBCModuleError + "}"},
      {R"({"action":"TestBCModule","args":{"bcmodule":"BCMGenEntropy "}})", 1,
       std::string(R"({"bcmodule":"BCMGenEntropy ",)") + kTestBCModuleError + "}"},
      {R"({"action":"TestBCModule","args":{"bcmodule":7}})", 1,
       std::string(R"({"bcmodule":7,)") + kTestBCModuleError + "}"},
      {R"({"action":"TestBCModule","args":{}})", 1, std::string("{") + kTestBCModuleError + "}"},
      // Other action names, also in another case, are named in the reply.
      {R"({"action":"testaction","args":{}})", 1,
       R"({"action":"testaction","error":{"err_code":"1000","err_msg":"not support action"}})"},
      {R"({"action":"Te\"st\\"})", 1,
       R"({"action":"Te\"st\\","error":{"err_code":"1000","err_msg":"not support action"}})"},
      // Requests that parse but have the wrong shape.
      {R"([1,2])", 1, R"({"error":{"err_code":"1000","err_msg":"request format error"}})"},
      {R"({"args":{}})", 1, R"({"error":{"err_code":"1000","err_msg":"request format error"}})"},
      {R"({"action":5})", 1, R"({"error":{"err_code":"1000","err_msg":"request format error"}})"},
      {R"({"action":"TestAction","args":"x"})", 1, R"({"error":{"err_code":"1000","err_msg":"request format error"}})"},
      // Requests that do not parse: quotes become apostrophes, \n \r \t go,
      // and what remains is escaped.
      {"{", 1, R"({"json":"{","error":{"err_code":"1000","err_msg":"json parse error"}})"},
      {"{\"a\":\n\t\"b\\\r", 1, R"({"json":"{'a':'b\\","error":{"err_code":"1000","err_msg":"json parse error"}})"},
      {"{\x01\x1f", 1, R"({"json":"{\u0001\u001f","error":{"err_code":"1000","err_msg":"json parse error"}})"},
  };
  for (const auto& c : cases) {
    const Reply r = Send(c.request.c_str());
    EXPECT_EQ(r.rc, c.rc) << c.request;
    EXPECT_EQ(r.text, c.reply) << c.request;
  }
}

// A request that reads two ways is no request: a key named twice, at any
// depth, or text that is not UTF-8 is a parse failure, and its echo is
// UTF-8 (U+FFFD for each longest ill-formed part). A text member of
// another type fails as a missing one does.
TEST(SampleEntry, ARequestMeansOneThing) {
  const std::string kParseError = R"(","error":{"err_code":"1000","err_msg":"json parse error"}})";
  for (const std::string request : {
           R"({"action":"TestBCModule","action":"TestAction","args":{"arg1":"a","arg2":"b"}})",
           R"({"action":"TestAction","addon":"sample","addon":"btc","args":{"arg1":"a","arg2":"b"}})",
           R"({"action":"TestAction","args":{"arg1":"a","arg2":"b","arg1":"c"}})",
           R"({"action":"TestAction","args":{"arg1":"a","arg2":"b","z":[{"k":"1","k":"1"}]}})",
           R"({"action":"TestAction","args":{"arg1":"a","arg2":"b"},"args":{}})",
       }) {
    std::string echo = request;
    for (char& c : echo)
      if (c == '"') c = '\'';
    const Reply r = Send(request.c_str());
    EXPECT_EQ(r.rc, 1) << request;
    EXPECT_EQ(r.text, R"({"json":")" + echo + kParseError) << request;
  }
  const char* const places[] = {
      R"({'action':'Test%Action','args':{'arg1':'a','arg2':'b'}})",
      R"({'action':'TestAction','addon':'s%','args':{'arg1':'a','arg2':'b'}})",
      R"({'action':'TestAction','args':{'arg1':'a','arg2':'b','k%':'v'}})",
      R"({'action':'TestAction','args':{'arg1':'a%','arg2':'b'}})",
  };
  for (const butt::Broken& b : butt::BrokenUtf8()) {
    for (const std::string echo : places) {
      const size_t at = echo.find('%');
      std::string request = echo.substr(0, at) + b.bytes + echo.substr(at + 1);
      for (char& c : request)
        if (c == '\'') c = '"';
      const Reply r = Send(request.c_str());
      EXPECT_EQ(r.rc, 1) << echo;
      EXPECT_EQ(r.text, R"({"json":")" + echo.substr(0, at) + b.echoed + echo.substr(at + 1) + kParseError) << echo;
    }
  }
  for (const char* wrong : {"5", "true", R"(["x"])", R"({"x":"y"})"}) {
    const std::string w = wrong;
    EXPECT_EQ(Send((R"({"action":)" + w + R"(,"args":{"arg1":"a","arg2":"b"}})").c_str()).text,
              R"({"error":{"err_code":"1000","err_msg":"request format error"}})");
    EXPECT_EQ(Send((R"({"action":"TestAction","args":{"arg1":)" + w + R"(,"arg2":"b"}})").c_str()).text,
              R"({"arg1":)" + w + R"(,"arg2":"b","error":{"err_code":"1000","err_msg":"TestAction Running Error"}})");
    EXPECT_EQ(Send((R"({"action":"TestBCModule","args":{"bcmodule":)" + w + "}}").c_str()).text,
              R"({"bcmodule":)" + w + "," + kTestBCModuleError + "}");
  }
}

TEST(SampleEntry, SelfTestsPassThroughTheEntry) {
  for (const char* name : {"BCMGenEntropy", "BCMGenBase64", "BCMGenBase58", "BCMGenHashMessage", "BCMGenMnemonic",
                           "BCMGenSignature", "BCMVerifySignature"}) {
    const std::string request = std::string(R"({"action":"TestBCModule","args":{"bcmodule":")") + name + "\"}}";
    const Reply r = Send(request.c_str());
    EXPECT_EQ(r.rc, 0) << name;
    EXPECT_EQ(r.text, std::string(R"({"bcmodule":")") + name + "\"}") << name;
  }
}

TEST(SampleEntry, NullParametersAndBuffers) {
  const char kNull[] = R"({"error":{"err_code":"1000","err_msg":"param is null"}})";
  const char kRequest[] = R"({"action":"TestAction","args":{"arg1":"a","arg2":"b"}})";
  EXPECT_EQ(Send(kRequest, nullptr).text, kNull);
  EXPECT_EQ(Send(kRequest, "X", nullptr).text, kNull);
  EXPECT_EQ(Send(nullptr).text, kNull);
  EXPECT_EQ(Send(nullptr).rc, 1);
  // A null out pointer: 1, nothing allocated or written.
  EXPECT_EQ(RunModule_SAMPLE("X", "sample", kRequest, nullptr), 1);
  EXPECT_EQ(FreeMem_SAMPLE(nullptr), 1);
}

}  // namespace
