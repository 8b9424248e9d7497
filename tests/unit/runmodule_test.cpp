// RunModule end to end: fixed error objects, envelopes, the add-on registry
// with the test add-ons, forwarding, and failures that must not escape.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>
#include <gtest/gtest.h>
#include <json/json.h>

#include <memory>
#include <new>
#include <stdexcept>
#include <string>

#include "broken_utf8_testing.h"
#include "command/action_table.h"
#include "command/actions.h"
#include "command/json_check.h"
#include "command/run_module.h"
#include "command/text/text.h"
#include "tolvaris/runmodule.h"

namespace {

const std::string kDir = TV_TEST_ADDON_DIR;

struct Reply {
  int rc;
  std::string envelope;
};

Reply Send(const char* request) {
  char* out = nullptr;
  const int rc = RunModule(request, &out);
  EXPECT_NE(out, nullptr);
  Reply r{rc, out ? out : ""};
  EXPECT_EQ(FreeMem(out), 0);
  // Every envelope is strict JSON without repeated keys, and "result" tells
  // success exactly when the code is 0.
  EXPECT_TRUE(IsStrictJson(r.envelope)) << r.envelope;
  Json::CharReaderBuilder b;
  Json::CharReaderBuilder::strictMode(&b.settings_);
  Json::Value v;
  std::string errs;
  std::unique_ptr<Json::CharReader> reader(b.newCharReader());
  EXPECT_TRUE(reader->parse(r.envelope.data(), r.envelope.data() + r.envelope.size(), &v, &errs))
      << errs << r.envelope;
  EXPECT_EQ(v["result"].asString(), rc == 0 ? "success" : "fail") << r.envelope;
  return r;
}
Reply Send(const std::string& request) { return Send(request.c_str()); }

Json::Value ReturnOf(const Reply& r) {
  Json::Value v;
  Json::CharReaderBuilder b;
  std::string errs;
  std::unique_ptr<Json::CharReader> reader(b.newCharReader());
  reader->parse(r.envelope.data(), r.envelope.data() + r.envelope.size(), &v, &errs);
  return v["return"];
}

std::string AddModule(const std::string& addon, const std::string& libpath) {
  return R"({"action":"AddModule","args":{"addon":")" + JsonEscape(addon) + R"(","libpath":")" +
         JsonEscape(libpath) + R"("}})";
}

TEST(RunModule, FixedEnvelopes) {
  const struct {
    const char* request;
    int rc;
    const char* envelope;
  } cases[] = {
      {nullptr, 1181,
       R"j({"action":"check_param","result":"fail","return":{"err_code":"100","err_msg":"json parameter is null"}})j"},
      {R"({"action":"GenAddr")", 1196,
       R"j({"action":"json_parse","result":"fail","return":{"json":"{'action':'GenAddr'","err_code":"100","err_msg":"invalid json format"}})j"},
      // Line breaks and tabs are dropped; what is left is escaped as JSON.
      {"{\"a\":\n\t\"x\\\\y\"\r", 1196,
       R"j({"action":"json_parse","result":"fail","return":{"json":"{'a':'x\\\\y'","err_code":"100","err_msg":"invalid json format"}})j"},
      {"{\"a\":\"\x01\"", 1196,
       R"j({"action":"json_parse","result":"fail","return":{"json":"{'a':'\u0001'","err_code":"100","err_msg":"invalid json format"}})j"},
      {"", 1196,
       R"j({"action":"json_parse","result":"fail","return":{"json":"","err_code":"100","err_msg":"invalid json format"}})j"},
      {R"({"args":{}})", 1203,
       R"j({"action":"","result":"fail","return":{"add_module":"","err_code":"300","err_msg":"AddModule is not exist(not loaded)"}})j"},
      {R"({"action":"GenAddr","addon":"btc","args":{}})", 1203,
       R"j({"action":"GenAddr","addon":"btc","result":"fail","return":{"add_module":"btc","err_code":"300","err_msg":"AddModule is not exist(not loaded)"}})j"},
      {"[1,2]", 1203,
       R"j({"action":"","result":"fail","return":{"add_module":"","err_code":"300","err_msg":"AddModule is not exist(not loaded)"}})j"},
      {R"({"action":5,"addon":null})", 1203,
       R"j({"action":"","result":"fail","return":{"err_code":"100","err_msg":"action is not a JSON string"}})j"},
      {R"({"action":"genentropy"})", 1203,
       R"j({"action":"genentropy","result":"fail","return":{"add_module":"","err_code":"300","err_msg":"AddModule is not exist(not loaded)"}})j"},
      {R"({"action":"ConvMNemonicToSeed"})", 1203,
       R"j({"action":"ConvMNemonicToSeed","result":"fail","return":{"add_module":"","err_code":"300","err_msg":"AddModule is not exist(not loaded)"}})j"},
      // Texts that need escaping are escaped, wherever they are inserted.
      {R"({"action":"Gen\"Addr","addon":"b\\c\nd"})", 1203,
       R"j({"action":"Gen\"Addr","addon":"b\\c\nd","result":"fail","return":{"add_module":"b\\c\nd","err_code":"300","err_msg":"AddModule is not exist(not loaded)"}})j"},
      // A key with a NUL is another key, and a name with a NUL is refused, not
      // run under the part before it.
      {R"({"action":"X","act\u0000ion":"Z","addon":"a"})", 1203,
       R"j({"action":"X","addon":"a","result":"fail","return":{"add_module":"a","err_code":"300","err_msg":"AddModule is not exist(not loaded)"}})j"},
      {R"({"action":"X","addon":"a\u0000b"})", 1203,
       R"j({"action":"X","result":"fail","return":{"err_code":"100","err_msg":"addon holds a NUL character"}})j"},
      {R"({"action":"GenEntropy\u0000xyz","args":{"entlen":"16"}})", 1203,
       R"j({"action":"","result":"fail","return":{"err_code":"100","err_msg":"action holds a NUL character"}})j"},
      {R"({"action":"RemoveModule","args":{"addon":"eth"}})", 1203,
       R"j({"action":"RemoveModule","result":"fail","return":{"err_code":"192","addon":"eth","err_msg":"module_find_error(module is not regestered)"}})j"},
      {R"({"action":"GenHashMessage","addon":"btc","args":{"hashalgo":"sha256","data":"abc"}})", 0,
       R"j({"action":"GenHashMessage","addon":"btc","result":"success","return":{"hashalgo":"sha256","data":"abc","md":"0xba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"}})j"},
      {"\xef\xbb\xbf{\"action\":\"GenHashMessage\",\"args\":{\"hashalgo\":\"RIP160\",\"data\":\"0x\"}}", 0,
       R"j({"action":"GenHashMessage","result":"success","return":{"hashalgo":"RIP160","data":"0x","md":"0x9c1185a5c5e9fc54612808977ee8f548b2258d31"}})j"},
  };
  for (const auto& c : cases) {
    const Reply r = Send(c.request);
    EXPECT_EQ(r.rc, c.rc) << (c.request ? c.request : "(null)");
    EXPECT_EQ(r.envelope, c.envelope) << (c.request ? c.request : "(null)");
  }
}

// The envelope of a request that does not parse, for a request whose echo
// needs no escaping: '"' turned into '\''.
std::string Unparsable(std::string echo) {
  for (char& c : echo)
    if (c == '"') c = '\'';
  return R"j({"action":"json_parse","result":"fail","return":{"json":")j" + echo +
         R"j(","err_code":"100","err_msg":"invalid json format"}})j";
}

// A request reads one way to every reader, or it is not read at all: a key
// named twice (at any depth, compared as decoded) makes it unparsable, and so
// does text that is not UTF-8. The echo of such a request is UTF-8 itself.
TEST(RunModule, ARequestMeansOneThing) {
  for (const char* request : {
           R"({"action":"GenAddr","action":"GenTx","addon":"eth","args":{}})",
           R"({"action":"GenAddr","addon":"btc","addon":"eth","args":{}})",
           R"({"action":"GenHashMessage","args":{"hashalgo":"sha256","data":"a","data":"b"}})",
           R"({"action":"GenTx","addon":"eth","args":{"txinfo":{"to":"0x01","value":"0x1","to":"0x02"}}})",
           R"({"action":"GenAddr","addon":"btc","args":{"addrinfo":{"addr_type":"p2pkh","addr_type":"p2wpkh"}}})",
           R"({"action":"GenTx","addon":"btc","args":{"txinfo":{"input":[{"prehex":"0x1"},{"preidx":"0","preidx":"1"}]}}})",
           R"({"action":"GenHashMessage","args":{"hashalgo":"sha256","data":"a"},"args":{"hashalgo":"sha512"}})",
           R"({"action":"X","a":{"k":"1"},"b":{"k":"1","k":"1"}})",
           // Escapes are decoded before keys are compared.
           R"({"action":"GenAddr","\u0061ction":"GenTx"})",
           // An escape of a lone surrogate stands for no character.
           R"({"action":"GenHashMessage","args":{"hashalgo":"sha256","data":"\udc00"}})",
       }) {
    const Reply r = Send(request);
    EXPECT_EQ(r.rc, 1196) << request;
    EXPECT_EQ(r.envelope, Unparsable(ReplaceAll(request, "\\", "\\\\"))) << request;
  }
  // The same key in two objects, and keys that differ by a NUL, are keys of
  // their own.
  EXPECT_EQ(Send(R"({"action":"GenHashMessage","args":{"hashalgo":"sha256","data":"abc"},"x":{"args":"y","data":"z"}})").rc, 0);
  EXPECT_EQ(Send(R"({"action":"GenHashMessage","args":{"hashalgo":"sha256","data":"abc","data\u0000":"z"}})").rc, 0);

  // Bytes that are not UTF-8, wherever they stand, and what the echo makes of
  // them: each longest ill-formed part becomes one U+FFFD.
  const char* const places[] = {
      R"({"action":"Gen%","args":{}})",
      R"({"action":"GenAddr","addon":"b%","args":{}})",
      R"({"action":"GenHashMessage","args":{"hashalgo":"sha256","da%ta":"a"}})",
      R"({"action":"GenHashMessage","args":{"hashalgo":"sha256","data":"a%"}})",
  };
  for (const butt::Broken& b : butt::BrokenUtf8()) {
    for (const std::string place : places) {
      const size_t at = place.find('%');
      const std::string request = place.substr(0, at) + b.bytes + place.substr(at + 1);
      const Reply r = Send(request);
      EXPECT_EQ(r.rc, 1196) << request;
      EXPECT_EQ(r.envelope, Unparsable(place.substr(0, at) + b.echoed + place.substr(at + 1))) << request;
    }
  }
  // Their well-formed neighbours are read and echoed as they are.
  for (const char* bytes : {"\xc3\xa9", "\xed\x9f\xbf", "\xee\x80\x80", "\xef\xbf\xbd", "\xf0\x90\x80\x80",
                            "\xf4\x8f\xbf\xbf"}) {
    const Reply r = Send(std::string(R"({"action":"GenHashMessage","addon":"b)") + bytes +
                         R"(","args":{"hashalgo":"sha256","data":")" + bytes + "\"}}");
    EXPECT_EQ(r.rc, 0) << r.envelope;
    EXPECT_EQ(r.envelope.rfind(std::string(R"({"action":"GenHashMessage","addon":"b)") + bytes +
                                   R"(","result":"success","return":{"hashalgo":"sha256","data":")" + bytes + "\"",
                               0),
              0u)
        << r.envelope;
  }
}

TEST(RunModule, FailingBuiltInCarriesCodeEchoAndTrail) {
  const Reply r = Send(R"({"action":"GenHashMessage","args":{"hashalgo":"SHA-256","data":""}})");
  EXPECT_EQ(r.rc, 1203);
  const std::string head =
      R"j({"action":"GenHashMessage","result":"fail","return":{"err_code":"315","hashalgo":"SHA-256","data":"","err_msg":"ostrel Ver()j";
  EXPECT_EQ(r.envelope.substr(0, head.size()), head);
  EXPECT_NE(r.envelope.find(") Func(DoDigest) detail([BCMGenHashMessage]"), std::string::npos) << r.envelope;
}

// A test-only action that raises what a handler may raise.
int32_t ActionTestThrow(InterfaceState&, const json_value& args, SecureText& out) {
  AddPair(out, "partial", "pair");
  const SecureText kind = ArgText(args, "kind");
  if (kind == "alloc") throw std::bad_alloc();
  if (kind == "other") throw 42;
  return StrToInt(ArgText(args, "n"));
}

TEST(RunModule, NoExceptionLeaves) {
  GetInterfaceState().actions["TestThrow"] = ActionTestThrow;
  const struct {
    const char* args;
    const char* object;
  } cases[] = {
      {R"({"n":"99999999999"})", R"j({"err_code":"100","err_msg":"number is out of range"})j"},
      {R"({"n":"0x80000000"})", R"j({"err_code":"100","err_msg":"number is out of range"})j"},
      {R"({"n":"0x"})", R"j({"err_code":"100","err_msg":"number has no digits"})j"},
      {R"({"kind":"alloc"})", R"j({"err_code":"100","err_msg":"memory allocation error"})j"},
      {R"({"kind":"other"})", R"j({"err_code":"100","err_msg":"internal error"})j"},
  };
  for (const auto& c : cases) {
    const Reply r = Send(std::string(R"({"action":"TestThrow","args":)") + c.args + "}");
    EXPECT_EQ(r.rc, 1203) << c.args;
    EXPECT_EQ(r.envelope, std::string(R"({"action":"TestThrow","result":"fail","return":)") + c.object + "}");
  }
  EXPECT_EQ(Send(R"({"action":"TestThrow","args":{"n":"0"}})").envelope,
            R"j({"action":"TestThrow","result":"success","return":{"partial":"pair"}})j");
  GetInterfaceState().actions.erase("TestThrow");
}

TEST(RunModule, NullResultPointerAndFreeMem) {
  // Nothing is allocated for a caller that takes no result (the leak checker
  // of the sanitizer build would see it).
  EXPECT_EQ(RunModule(nullptr, nullptr), 1181);
  EXPECT_EQ(RunModule("{", nullptr), 1196);
  EXPECT_EQ(RunModule(R"({"action":"GenHashMessage","args":{"hashalgo":"SHA256"}})", nullptr), 0);
  EXPECT_EQ(RunModule(R"({"action":"nothing"})", nullptr), 1203);
  EXPECT_EQ(FreeMem(nullptr), 1);
}

TEST(RunModule, AllBuiltInActionsRegistered) {
  const char* names[] = {"AddModule",
                         "RemoveModule",
                         "GenEntropy",
                         "GenBase64",
                         "GenBase58",
                         "GenHashMessage",
                         "GenHMac",
                         "GenPBKDF2",
                         "GenScrypt",
                         "GenAES",
                         "GenAESAuth",
                         "GenMNemonic",
                         "ConvMasterMNemonicToSSSMNemonic",
                         "ConvSSSMNemonicToMasterMNemonic",
                         "ChkMNemonicValid",
                         "ChkMNemonicWordValid",
                         "ConvMNemonicToEntropy",
                         "ConvMnemonicToSeed",
                         "GenMasterNode",
                         "GenCKD",
                         "GenCKDPub",
                         "GenLeafNode",
                         "GenPubkeyFromPrikey",
                         "GenSignature",
                         "VerifySignature",
                         "GenECIES"};
  for (const char* n : names) EXPECT_NE(FindAction(GetInterfaceState(), n), nullptr) << n;
  EXPECT_EQ(GetInterfaceState().actions.size(), 26u);
  EXPECT_EQ(FindAction(GetInterfaceState(), "genentropy"), nullptr);
}

TEST(AddonRegistry, LoadFailures) {
  const std::string prefix = R"j({"action":"AddModule","result":"fail","return":{"err_code":"163",)j";
  const struct {
    std::string addon, libpath, pairs;
  } cases[] = {
      {"missing", "/no/such/folder",
       R"j("addon":"missing","libpath":"/no/such/folder","err_msg":"module_lib_load_error[library file is not exist(quenmod-missing.so)]")j"},
      // The folder exists, the file does not: the bare name is tried.
      {"absent", kDir,
       R"j("addon":"absent","libpath":")j" + kDir +
           R"j(","err_msg":"module_lib_load_error[library file is not exist(quenmod-absent.so)]")j"},
      {"nofree", kDir,
       R"j("addon":"nofree","libpath":")j" + kDir +
           R"j(","err_msg":"module_lib_load_error[library export FreeMem_NOFREE function is is not exist()j" + kDir +
           R"j(/quenmod-nofree.so)]")j"},
      {"norun", kDir,
       R"j("addon":"norun","libpath":")j" + kDir +
           R"j(","err_msg":"module_lib_load_error[library export RunModule_NORUN function is is not exist()j" + kDir +
           R"j(/quenmod-norun.so)]")j"},
      // Names that would reach outside the file name are refused untouched.
      {"../test-addons/quenmod-echo", kDir,
       R"j("addon":"../test-addons/quenmod-echo","libpath":")j" + kDir +
           R"j(","err_msg":"module_lib_load_error[addon name is not allowed(../test-addons/quenmod-echo)]")j"},
      {"x/y", "", R"j("addon":"x/y","libpath":"","err_msg":"module_lib_load_error[addon name is not allowed(x/y)]")j"},
      {"a\\b", "", R"j("addon":"a\\b","libpath":"","err_msg":"module_lib_load_error[addon name is not allowed(a\\b)]")j"},
      {"..", "", R"j("addon":"..","libpath":"","err_msg":"module_lib_load_error[addon name is not allowed(..)]")j"},
      {std::string("echo\0/x", 7), kDir,
       R"j("addon":"echo\u0000/x","libpath":")j" + kDir +
           R"j(","err_msg":"module_lib_load_error[addon name is not allowed(echo\u0000/x)]")j"},
  };
  for (const auto& c : cases) {
    const Reply r = Send(AddModule(c.addon, c.libpath));
    EXPECT_EQ(r.rc, 1203);
    EXPECT_EQ(r.envelope, prefix + c.pairs + "}}");
  }
  // Nothing failed was registered.
  for (const char* a : {"nofree", "norun", "echo"})
    EXPECT_EQ(ReturnOf(Send(std::string(R"({"action":"Go","addon":")") + a + "\"}"))["err_code"], "300") << a;
}

// A folder whose name needs escaping: the echoed libpath, the stored
// libfullpath and the path inside a load failure all stay valid JSON.
TEST(AddonRegistry, PathsAreEscaped) {
  const std::string dir = ::testing::TempDir() + "/tv addons \"q\" \\ \t";
  mkdir(dir.c_str(), 0700);
  for (const char* f : {"quenmod-btc.so", "quenmod-nofree.so"}) {
    unlink((dir + "/" + f).c_str());
    ASSERT_EQ(symlink((kDir + "/" + f).c_str(), (dir + "/" + f).c_str()), 0) << f;
  }
  const std::string esc = JsonEscape(dir);
  Reply r = Send(AddModule("nofree", dir));
  EXPECT_EQ(r.envelope, R"j({"action":"AddModule","result":"fail","return":{"err_code":"163","addon":"nofree","libpath":")j" +
                            esc + R"j(","err_msg":"module_lib_load_error[library export FreeMem_NOFREE function is is not exist()j" +
                            esc + R"j(/quenmod-nofree.so)]"}})j");
  r = Send(AddModule("btc", dir));
  EXPECT_EQ(r.envelope, R"j({"action":"AddModule","result":"success","return":{"addon":"btc","libpath":")j" + esc +
                            R"j(","libfullpath":")j" + esc + R"j(/quenmod-btc.so"}})j");
  EXPECT_EQ(ReturnOf(r)["libfullpath"].asString(), dir + "/quenmod-btc.so");
  for (const char* f : {"quenmod-btc.so", "quenmod-nofree.so"}) unlink((dir + "/" + f).c_str());
  rmdir(dir.c_str());
}

int EchoFreed() {
  void* h = dlopen((kDir + "/quenmod-echo.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (h == nullptr) return -1;
  auto fn = reinterpret_cast<int (*)()>(dlsym(h, "EchoFreedCount"));
  const int n = fn ? fn() : -1;
  dlclose(h);
  return n;
}

TEST(AddonRegistry, ForwardingToEchoAddon) {
  Reply r = Send(AddModule("echo", kDir));
  ASSERT_EQ(r.rc, 0) << r.envelope;
  EXPECT_EQ(r.envelope, R"j({"action":"AddModule","result":"success","return":{"addon":"echo","libpath":")j" + kDir +
                            R"j(","libfullpath":")j" + kDir + R"j(/quenmod-echo.so"}})j");

  // The request reaches the add-on byte for byte; its reply comes back as
  // "return" and is released through the add-on's own FreeMem_ECHO.
  const int freed = EchoFreed();
  const std::string request =
      "{\"action\":\"GenTx\",\r\n \"addon\":\"echo\",\"args\":{\"to\":\"a\\\"b\",\"n\":1,\"e\":\"\xc3\xa9\"}}";
  r = Send(request);
  EXPECT_EQ(r.rc, 0);
  Json::Value ret = ReturnOf(r);
  EXPECT_EQ(ret["request"].asString(), request);
  EXPECT_EQ(ret["action"].asString(), "GenTx");
  EXPECT_EQ(ret["addon"].asString(), "echo");
  EXPECT_EQ(EchoFreed(), freed + 1);
  EXPECT_EQ(r.envelope.substr(0, 51), R"j({"action":"GenTx","addon":"echo","result":"success")j");

  // Odd replies: every envelope stays JSON and "fail" follows a missing reply.
  const struct {
    const char* action;
    int rc;
    const char* ret;
  } odd[] = {
      {"EchoFail", 1203, R"j({"err_code":"9","err_msg":"echo failed on request"})j"},
      {"EchoNull", 1203, R"j({"add_module":"echo","err_code":"1","err_msg":"addon returned no reply"})j"},
      {"EchoNullFail", 1203, R"j({"add_module":"echo","err_code":"7","err_msg":"addon returned no reply"})j"},
      {"EchoEmpty", 1203, R"j({"add_module":"echo","err_code":"1","err_msg":"addon returned no reply"})j"},
      {"EchoText", 0, R"j("plain \"text\"\n")j"},
      {"EchoDupKeys", 0, R"j("{\"a\":1,\"a\":2}")j"},
      {"EchoArray", 0, "[1,2]"},
      {"EchoIndented", 0, "{\n  \"a\" : 1\r\n}"},
      // A reply that is not UTF-8 text is handed on as a string, made UTF-8.
      {"EchoNotUtf8", 0, "\"{\\\"a\\\":\\\"x\xef\xbf\xbd\\\"}\""},
      {"EchoSurrogate", 0, R"j("{\"a\":\"\\udc00\"}")j"},
  };
  for (const auto& o : odd) {
    r = Send(std::string(R"({"action":")") + o.action + R"(","addon":"echo"})");
    EXPECT_EQ(r.rc, o.rc) << o.action;
    EXPECT_EQ(r.envelope, std::string(R"({"action":")") + o.action + R"(","addon":"echo","result":")" +
                              (o.rc ? "fail" : "success") + R"(","return":)" + o.ret + "}")
        << o.action;
  }
  r = Send(R"({"action":"EchoCode","addon":"echo"})");
  EXPECT_EQ(r.rc, 1203);
  EXPECT_EQ(ReturnOf(r)["action"], "EchoCode");
  EXPECT_FALSE(ReturnOf(r).isMember("err_code"));  // the reply as it came, nothing put in front
  {
    // Below RunModule the add-on's own code passes unchanged; an unknown add-on is 1.
    SecureText object;
    EXPECT_EQ(DispatchAction("EchoCode", "echo", R"({"action":"EchoCode"})", json_value_none, object), 42);
    SecureText none;
    EXPECT_EQ(DispatchAction("EchoCode", "nobody", "{}", json_value_none, none), 1);
  }

  // A built-in action wins over the add-on of the request.
  r = Send(R"({"action":"GenHashMessage","addon":"echo","args":{"hashalgo":"SHA256","data":"abc"}})");
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(ReturnOf(r)["md"], "0xba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(ReturnOf(r)["request"], Json::Value());

  // A second AddModule loads nothing and reports the path from its own
  // libpath; RemoveModule only counts down, the add-on stays reachable.
  r = Send(AddModule("echo", ""));
  EXPECT_EQ(r.envelope,
            R"j({"action":"AddModule","result":"success","return":{"addon":"echo","libpath":"","libfullpath":"quenmod-echo.so"}})j");
  for (int i = 0; i < 3; ++i) {
    r = Send(R"({"action":"RemoveModule","args":{"addon":"echo"}})");
    EXPECT_EQ(r.envelope, R"j({"action":"RemoveModule","result":"success","return":{"addon":"echo"}})j");
  }
  EXPECT_EQ(Send(R"({"action":"Ping","addon":"echo"})").rc, 0);
  // The registry is case-sensitive; the entry names are upper-cased.
  EXPECT_EQ(Send(R"({"action":"Ping","addon":"Echo"})").rc, 1203);
  r = Send(AddModule("Echo", kDir));
  EXPECT_EQ(r.rc, 0) << r.envelope;
  EXPECT_EQ(ReturnOf(r)["libfullpath"].asString(), kDir + "/quenmod-Echo.so");
  EXPECT_EQ(ReturnOf(Send(R"({"action":"Ping","addon":"Echo"})"))["addon"], "Echo");
}

}  // namespace
