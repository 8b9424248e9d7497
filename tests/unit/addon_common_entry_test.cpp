// The add-on entry shared by the coin add-ons, driven by each add-on's entry
// description: null arguments, unparsable requests, unknown actions, handler
// failures, exceptions, and the error reply in both forms.
//
// The texts below that show no core trail rely on no core export having been
// called on this thread yet: the suites that call one come last.
#include <gtest/gtest.h>
#include <json/json.h>

#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "command/json_check.h"
#include "command/text/text.h"
#include "common/entry.h"
#include "common/error_chain.h"
#include "common/hashing.h"
#include "common/json_io.h"

namespace {

const std::string kVq = "VQ(VER[DV_vqver_DV.DV_vqdev_DV])";

std::string seenCoin;
uint32_t seenCode;

int Succeed(Json::Value& args, const std::string& coin) {
  seenCoin = coin;
  args["result"] = "done";
  return 0;
}
int FailAfterWriting(Json::Value& args, const std::string& coin) {
  seenCoin = coin;
  args["partial"] = "kept";
  AddErrTrail("Inner", 12, 2000, "inner failed !!");
  seenCode = GetErrCode();
  return 1;
}
int LookUpInArray(Json::Value& args, const std::string&) {
  const Json::Value& list = args["list"];
  return list["key"].isNull() ? 0 : 1;  // throws: "list" is an array
}
int ConvertNumber(Json::Value& args, const std::string&) {
  args["n"] = StrToInt(GetJsonStr(args["count"]));
  return 0;
}

const ActionRow kRows[] = {
    {"Succeed", Succeed, true, "Succeed Error", 11},
    {"NoCoin", Succeed, false, "NoCoin Error", 12},
    {"Fail", FailAfterWriting, true, "Fail Error", 13},
    {"Lookup", LookUpInArray, false, "Lookup Error", 14},
    {"Convert", ConvertNumber, false, "Convert Error", 15},
};

struct Reply {
  int rc;
  std::string text;
};

Reply Call(const EntrySpec& entrySpec, const char* action, const char* addon, const char* request) {
  char* out = reinterpret_cast<char*>(1);
  Reply r;
  r.rc = RunAddonEntry(entrySpec, kRows, action, addon, request, &out);
  EXPECT_NE(out, nullptr);
  r.text = out != nullptr ? out : "";
  EXPECT_EQ(FreeAddonText(out), 0);
  EXPECT_TRUE(IsStrictJson(r.text)) << r.text;
  return r;
}
Reply Call(const EntrySpec& entrySpec, const std::string& request, const char* addon = "coin") {
  return Call(entrySpec, "x", addon, request.c_str());
}

std::string NonObject(const std::string& chain) {
  return R"({"error":{"err_code":"1000","err_msg":")" + kVq + " Addon(" + chain + R"j()"}})j";
}

Json::Value Parsed(const std::string& text) {
  Json::Value v;
  EXPECT_TRUE(ParseJson(text, v)) << text;
  return v;
}

const EntrySpec* const kAll[] = {&kBtcEntry, &kEthEntry, &kAtomEntry, &kAmoEntry};

TEST(AddonEntry, NullArgumentsFailInTheNonObjectForm) {
  const struct {
    const EntrySpec* entrySpec;
    const char* chain;
  } cases[] = {
      {&kBtcEntry, "RunModule_BTC:1820[param is null]"},
      {&kEthEntry, "RunModule_ETH:664[param is null]"},
      {&kAtomEntry, "RunModule_ATOM:1409[param is null]"},
      {&kAmoEntry, "RunModule_AMO:1384[param is null]"},
  };
  for (const auto& c : cases) {
    for (int which = 0; which < 3; ++which) {
      const Reply r = Call(*c.entrySpec, which == 0 ? nullptr : "a", which == 1 ? nullptr : "btc",
                           which == 2 ? nullptr : R"({"action":"Succeed","args":{}})");
      EXPECT_EQ(r.rc, 1);
      EXPECT_EQ(r.text, NonObject(c.chain)) << c.entrySpec->name << " " << which;
    }
  }
  EXPECT_EQ(Call(kBtcEntry, nullptr, "btc", "{}").text,
            R"j({"error":{"err_code":"1000","err_msg":"VQ(VER[DV_vqver_DV.DV_vqdev_DV]) Addon(RunModule_BTC:1820[param is null])"}})j");
}

TEST(AddonEntry, UnparsableRequestsEchoTheRequestEscaped) {
  const struct {
    const EntrySpec* entrySpec;
    std::string request;
    std::string chain;  // as it reads once the reply is decoded
  } cases[] = {
      {&kBtcEntry, R"({"action":"GenAddr",)", "RunModule_BTC:1832[json parse error({'action':'GenAddr',)]"},
      {&kEthEntry, "{\"a\":\n\"b\"\r\t", "RunModule_ETH:676[json parse error({'a':'b')]"},
      {&kAtomEntry, R"({"k":"a\z"})", R"(RunModule_ATOM:1421[json parse error({'k':'a\z'})])"},
      {&kAmoEntry, "", "RunModule_AMO:1396[json parse error()]"},
      {&kBtcEntry, std::string(100000, '['), "RunModule_BTC:1832[json parse error(" + std::string(100000, '[') + ")]"},
      {&kBtcEntry, "{\"a\":\"\x01\"", "RunModule_BTC:1832[json parse error({'a':'\x01')]"},
      // A broken UTF-8 byte reads as U+FFFD; a whole sequence survives.
      {&kAmoEntry, "\xff\xc3\xa9{", "RunModule_AMO:1396[json parse error(\xef\xbf\xbd\xc3\xa9{)]"},
      // A request that is well-formed JSON but not UTF-8 is refused too: two keys
      // that differ only in broken bytes would otherwise be written as one key twice.
      {&kBtcEntry, "{\"action\":\"X\",\"args\":{\"\xff" "a\":\"1\",\"\xfe" "a\":\"2\"}}",
       "RunModule_BTC:1832[json parse error({'action':'X','args':{'\xef\xbf\xbd" "a':'1','\xef\xbf\xbd" "a':'2'}})]"},
      // So is an escape that decodes to bytes that are not UTF-8, and a key
      // named twice (compared as decoded): readers differ in which one counts.
      {&kEthEntry, R"({"action":"Succeed","args":{"a":"\udc00"}})",
       R"(RunModule_ETH:676[json parse error({'action':'Succeed','args':{'a':'\udc00'}})])"},
      {&kAtomEntry, R"({"action":"Succeed","args":{"\udfff":"1"}})",
       R"(RunModule_ATOM:1421[json parse error({'action':'Succeed','args':{'\udfff':'1'}})])"},
      {&kAmoEntry, R"({"action":"Succeed","action":"Fail"})", "RunModule_AMO:1396[json parse error({'action':'Succeed','action':'Fail'})]"},
      {&kBtcEntry, R"({"action":"Succeed","args":{"l":[{"k":"1","\u006b":"2"}]}})",
       R"(RunModule_BTC:1832[json parse error({'action':'Succeed','args':{'l':[{'k':'1','\u006b':'2'}]}})])"},
  };
  for (const auto& c : cases) {
    const Reply r = Call(*c.entrySpec, c.request);
    EXPECT_EQ(r.rc, 1);
    for (char ch : r.text) EXPECT_GE(static_cast<signed char>(ch), 0x20) << "not plain ASCII: " << r.text;
    const Json::Value v = Parsed(r.text);
    EXPECT_EQ(v["error"]["err_code"].asString(), "1000");
    EXPECT_EQ(v["error"]["err_msg"].asString(), kVq + " Addon(" + c.chain + ")") << c.request.substr(0, 40);
  }
  // Nothing to escape: the bytes are the plain insertion.
  EXPECT_EQ(Call(kBtcEntry, R"({"action":"GenAddr",)").text,
            NonObject("RunModule_BTC:1832[json parse error({'action':'GenAddr',)]"));
}

TEST(AddonEntry, UnknownActionsPerAddon) {
  // No "args": Bitcoin makes one holding the coin, the others keep null.
  EXPECT_EQ(Call(kAtomEntry, R"({"action":"Foo"})").text,
            NonObject("RunModule_ATOM:1453[not support action]"));
  EXPECT_EQ(Call(kAmoEntry, R"({"action":"Foo"})").text, NonObject("RunModule_AMO:1436[not support action]"));
  EXPECT_EQ(Call(kEthEntry, R"({"action":"Foo"})").text, NonObject("RunModule_ETH:726[not support action[Foo]]"));

  const Reply btc = Call(kBtcEntry, R"({"action":"Foo"})", "btc");
  EXPECT_EQ(btc.rc, 1);
  EXPECT_EQ(btc.text, "{\n  \"coin\" : \"btc\",\n  \"error\" : \n  {\n    \"err_code\" : \"1000\",\n"
                      "    \"err_msg\" : \"" + kVq + " Addon(RunModule_BTC:1875[not support action[Foo]])\"\n  }\n}");

  const struct {
    const EntrySpec* entrySpec;
    std::string request;
    std::string chain;
  } cases[] = {
      {&kBtcEntry, R"({"action":"succeed","args":{}})", "RunModule_BTC:1875[not support action[succeed]]"},
      {&kBtcEntry, R"({"action":null,"args":{}})", "RunModule_BTC:1875[not support action[]]"},
      {&kEthEntry, R"({"args":{}})", "RunModule_ETH:726[not support action[]]"},
      {&kAtomEntry, R"({"action":"Succeed ","args":{}})", "RunModule_ATOM:1453[not support action]"},
      {&kAmoEntry, R"({"action":"","args":{}})", "RunModule_AMO:1436[not support action]"},
  };
  for (const auto& c : cases) {
    const Reply r = Call(*c.entrySpec, c.request);
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(Parsed(r.text)["error"]["err_msg"].asString(), kVq + " Addon(" + c.chain + ")") << c.request;
  }
}

TEST(AddonEntry, SuccessRepliesAreOneLineInKeyOrder) {
  for (const EntrySpec* entrySpec : kAll) {
    const Reply r = Call(*entrySpec, R"({"action":"NoCoin","args":{"z":"1","a":{"y":"2","b":"0x00"}}} tail)");
    EXPECT_EQ(r.rc, 0);
    const std::string coin = entrySpec->coin == CoinSource::kArgs ? R"("coin":"coin",)" : "";
    EXPECT_EQ(r.text, R"({"a":{"b":"0x00","y":"2"},)" + coin + R"("result":"done","z":"1"})") << entrySpec->name;
  }
}

TEST(AddonEntry, TheCoinComesFromWhereTheAddonSays) {
  const struct {
    const EntrySpec* entrySpec;
    std::string request;
    std::string coin;       // what the handler saw
    std::string argsCoin;   // "coin" in the reply ("" when absent)
  } cases[] = {
      {&kBtcEntry, R"({"action":"Succeed","args":{"coin":"ltc"}})", "ltc", "ltc"},
      {&kBtcEntry, R"({"action":"Succeed","args":{"coin":null}})", "btc", "btc"},
      {&kBtcEntry, R"({"action":"Succeed","args":{"coin":""}})", "btc", "btc"},
      {&kBtcEntry, R"({"action":"Succeed","coin":"bch"})", "btc", "btc"},
      {&kBtcEntry, R"({"action":"NoCoin","args":{"coin":"ltc"}})", "", "ltc"},
      {&kEthEntry, R"({"action":"Succeed","coin":"etc","args":{}})", "etc", ""},
      {&kEthEntry, R"({"action":"Succeed","args":{"coin":"etc"}})", "btc", "etc"},
      {&kEthEntry, R"({"action":"NoCoin","coin":"etc","args":{}})", "", ""},
      {&kAtomEntry, R"({"action":"Succeed","coin":"x","args":{"coin":"y"}})", "", "y"},
      {&kAmoEntry, R"({"action":"Succeed","args":{}})", "", ""},
  };
  for (const auto& c : cases) {
    seenCoin = "unset";
    const Reply r = Call(*c.entrySpec, c.request, "btc");
    EXPECT_EQ(r.rc, 0) << r.text;
    EXPECT_EQ(seenCoin, c.coin) << c.request;
    EXPECT_EQ(GetJsonStr(Parsed(r.text)["coin"]), c.argsCoin) << c.request;
  }
}

TEST(AddonEntry, HandlerFailuresKeepWhatTheHandlerWrote) {
  const struct {
    const EntrySpec* entrySpec;
    const char* entryRecord;
    uint32_t innerCode;
  } cases[] = {
      {&kBtcEntry, "RunModule_BTC:13[Fail Error]", 2000},
      {&kEthEntry, "RunModule_ETH:13[Fail Error]", 2000},
      {&kAtomEntry, "RunModule_ATOM:13[Fail Error]", 1000},
      {&kAmoEntry, "RunModule_AMO:13[Fail Error]", 1000},
  };
  for (const auto& c : cases) {
    const Reply r = Call(*c.entrySpec, R"({"action":"Fail","args":{"in":"1"}})");
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(seenCode, c.innerCode) << c.entrySpec->name;
    const Json::Value v = Parsed(r.text);
    EXPECT_EQ(v["partial"].asString(), "kept");
    EXPECT_EQ(v["in"].asString(), "1");
    EXPECT_EQ(v["error"]["err_code"].asString(), "1000");
    EXPECT_EQ(v["error"]["err_msg"].asString(),
              kVq + " Addon(Inner:12[inner failed !!]<=" + c.entryRecord + ")");
    EXPECT_NE(r.text.find("\n  \"error\" : "), std::string::npos) << r.text;
  }
}

TEST(AddonEntry, EachCallStartsAnEmptyChain) {
  Call(kBtcEntry, R"({"action":"Fail","args":{}})");
  const Reply second = Call(kBtcEntry, R"({"action":"Foo","args":{}})");
  EXPECT_EQ(Parsed(second.text)["error"]["err_msg"].asString(),
            kVq + " Addon(RunModule_BTC:1875[not support action[Foo]])");
  EXPECT_EQ(GetErrTrail(), "RunModule_BTC:1875[not support action[Foo]]");
}

// The chain moves to larger buffers as it grows (each move wipes the old
// one): entries of every size still read back whole and in order.
TEST(AddonErrorChain, AGrowingChainKeepsEveryEntry) {
  ResetErrTrail();
  std::string expected;
  for (size_t size : {0u, 1u, 14u, 15u, 16u, 31u, 100u, 1000u, 5000u}) {
    const std::string message(size, static_cast<char>('a' + size % 26));
    AddErrTrail("F", static_cast<uint32_t>(size), 7, message);
    expected += (expected.empty() ? "" : "<=") + std::string("F:") + std::to_string(size) + "[" + message + "]";
    ASSERT_EQ(GetErrTrail(), expected);
  }
  EXPECT_EQ(GetErrCode(), 7u);
  ResetErrTrail();
  EXPECT_EQ(GetErrTrail(), "");
}

TEST(AddonEntry, ALongUnparsableRequestIsEchoedWhole) {
  const std::string body(20000, 'k');
  Call(kEthEntry, "{\"pri\":\"" + body + "\",\n");
  EXPECT_EQ(GetErrTrail(), "RunModule_ETH:676[json parse error({'pri':'" + body + "',)]");
}

TEST(AddonEntry, JsonAndNumberExceptionsFailTheCall) {
  const struct {
    const EntrySpec* entrySpec;
    std::string request;
    std::string chainStart;  // the entry's record, up to its message's detail
    bool objectReply;
  } cases[] = {
      {&kBtcEntry, R"([1,2])", "RunModule_BTC:1880[json operation failed(", false},
      {&kEthEntry, R"("text")", "RunModule_ETH:732[json operation failed(", false},
      {&kAtomEntry, R"(17)", "RunModule_ATOM:1459[json operation failed(", false},
      {&kBtcEntry, R"({"action":"Succeed","args":[1]})", "RunModule_BTC:1880[json operation failed(", false},
      {&kBtcEntry, R"({"action":"Succeed","args":"s"})", "RunModule_BTC:1880[json operation failed(", false},
      {&kAmoEntry, R"({"action":"Lookup","args":{"list":[1]}})", "RunModule_AMO:1442[json operation failed(", true},
      {&kEthEntry, R"({"action":"Convert","args":{"count":"2147483648"}})", "RunModule_ETH:732[number out of range(", true},
      {&kBtcEntry, R"({"action":"Convert","args":{"count":"0x"}})", "RunModule_BTC:1880[number conversion failed(", true},
      // A NUL character is refused by name rather than cutting the text short.
      {&kAtomEntry, R"({"action":"Succeed\u0000x","args":{}})", "RunModule_ATOM:1459[action holds a NUL", false},
      {&kBtcEntry, R"({"action":"Succeed","args":{"coin":"btc\u0000"}})", "RunModule_BTC:1880[coin holds a NUL", true},
      // A name or coin of another JSON type is refused by name, not read as
      // absent (the unknown action, the add-on name as coin).
      {&kBtcEntry, R"({"action":7,"args":{}})", "RunModule_BTC:1880[action is not a JSON string", false},
      {&kAmoEntry, R"({"action":["Succeed"],"args":{}})", "RunModule_AMO:1442[action is not a JSON string", false},
      {&kBtcEntry, R"({"action":"Succeed","args":{"coin":5}})", "RunModule_BTC:1880[coin is not a JSON string", true},
      {&kEthEntry, R"({"action":"Succeed","coin":{},"args":{}})", "RunModule_ETH:732[coin is not a JSON string", true},
  };
  for (const auto& c : cases) {
    const Reply r = Call(*c.entrySpec, c.request);
    EXPECT_EQ(r.rc, 1) << c.request;
    const Json::Value v = Parsed(r.text);
    EXPECT_EQ(v["error"]["err_code"].asString(), "1000");
    const std::string msg = v["error"]["err_msg"].asString();
    EXPECT_EQ(msg.rfind(kVq + " Addon(" + c.chainStart, 0), 0u) << msg;
    EXPECT_EQ(msg.substr(msg.size() - 5), " !!])") << msg;
    EXPECT_EQ(r.text.rfind(R"({"error":)", 0) == 0, !c.objectReply) << r.text;
  }
  // An array "args" is fine where the entry never reads it.
  EXPECT_EQ(Call(kAtomEntry, R"({"action":"Foo","args":[1]})").text,
            NonObject("RunModule_ATOM:1453[not support action]"));
}

TEST(AddonEntry, AnErrorMemberThatIsNoObjectIsReplaced) {
  for (const char* error : {R"("text")", "[1,2]", "3", "null", R"({"old":"kept"})"}) {
    const Reply r = Call(kBtcEntry, std::string(R"({"action":"Fail","args":{"error":)") + error + "}}");
    const Json::Value v = Parsed(r.text);
    ASSERT_TRUE(v["error"].isObject()) << r.text;
    EXPECT_EQ(v["error"]["err_code"].asString(), "1000");
    EXPECT_EQ(v["error"]["old"].asString(), error[0] == '{' ? "kept" : "") << r.text;
  }
}

TEST(AddonEntry, CommentsAreAcceptedButNeverEchoed) {
  const Reply r = Call(kBtcEntry, "{/* c */\"action\":\"Succeed\",\"args\":{\"a\":\"1\" // d\n}}");
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.text, R"({"a":"1","coin":"coin","result":"done"})");
}

TEST(AddonJson, WipeJsonZeroesEveryStringValue) {
  Json::Value doc = Parsed(R"({"pri":"0x1111","n":5,"list":["abc",{"deep":"secret"}],"flag":true})");
  WipeJson(doc);
  EXPECT_EQ(doc["pri"].asString(), std::string(6, '\0'));
  EXPECT_EQ(doc["list"][0].asString(), std::string(3, '\0'));
  EXPECT_EQ(doc["list"][1]["deep"].asString(), std::string(6, '\0'));
  EXPECT_EQ(doc["n"].asInt(), 5);
  EXPECT_TRUE(doc["list"][1].isMember("deep"));
}

TEST(AddonEntry, NullOutAndFree) {
  EXPECT_EQ(RunAddonEntry(kBtcEntry, kRows, "a", "btc", R"({"action":"Succeed"})", nullptr), 1);
  EXPECT_EQ(FreeAddonText(nullptr), 1);
}

// Calls a core export: the core's trail is no longer "[][][]" after it.
TEST(AddonEntryAfterCoreCall, TheCoreTrailStandsBetweenVersionAndChain) {
  Bytes digest;
  ASSERT_EQ(GenerateHash(Bytes{1, 2}, 0, digest), 0);
  const Reply r = Call(kBtcEntry, R"({"action":"Foo","args":{}})");
  EXPECT_EQ(Parsed(r.text)["error"]["err_msg"].asString(),
            "VQ(VER[DV_vqver_DV.DV_vqdev_DV][BCMGenHashMessage][][]) Addon(RunModule_BTC:1875[not support action[Foo]])");
}

}  // namespace
