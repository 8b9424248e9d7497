// Test add-on "btc": answers GenAddr and GenTx with replies shaped like the
// Bitcoin-family add-on's (the request's "args" with "addr" or "rawtx"
// added), built from the request itself so a test can see what arrived:
//   GenAddr  "addr" = <network> ":" <addrinfo.addr_type> ":" <addrinfo.pubs[0].pub>
//            addrinfo.fail true: fails with "GenAddr Error"
//            addrinfo.noaddr true: succeeds without "addr"
//   GenTx    "rawtx" = txinfo.rawtx (any string the test wants back)
//            no txinfo: fails with "txinfo is not exist !!"
//            txinfo.fail true: fails with "GetTx Error"
//            no txinfo.rawtx: succeeds without "rawtx"
#include <json/json.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

char* Copy(const std::string& s) {
  char* p = static_cast<char*>(calloc(s.size() + 1, 1));
  if (p) std::memcpy(p, s.data(), s.size());
  return p;
}

std::string Write(const Json::Value& v) {
  Json::StreamWriterBuilder w;
  w["indentation"] = "";
  return Json::writeString(w, v);
}

int Fail(const std::string& message, char** reply) {
  Json::Value e(Json::objectValue);
  e["err_code"] = "1";
  e["err_msg"] = message;
  *reply = Copy(Write(e));
  return 1;
}

bool Flag(const Json::Value& obj, const char* key) {
  return obj.isObject() && obj.isMember(key) && obj[key].isBool() && obj[key].asBool();
}

}  // namespace

extern "C" int RunModule_BTC(const char* action, const char* addon, const char* request, char** reply) {
  if (action == nullptr || addon == nullptr || request == nullptr) return Fail("param is null", reply);
  Json::Value root;
  std::string errors;
  Json::CharReaderBuilder builder;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  const size_t len = std::strlen(request);
  if (!reader->parse(request, request + len, &root, &errors) || !root.isObject())
    return Fail("json parse error(" + errors + ")", reply);

  const std::string act = root.get("action", "").asString();
  Json::Value args = root.get("args", Json::Value(Json::objectValue));
  if (!args.isObject()) args = Json::Value(Json::objectValue);
  if (!args.isMember("coin")) args["coin"] = addon;
  const std::string network = args.get("network", "").asString() == "test" ? "test" : "main";
  args["network"] = network;

  if (act == "GenAddr") {
    const Json::Value& info = args["addrinfo"];
    if (!info.isObject() || Flag(info, "fail")) return Fail("GenAddr Error", reply);
    if (!Flag(info, "noaddr")) {
      std::string pub;
      const Json::Value& pubs = info["pubs"];
      if (pubs.isArray() && !pubs.empty() && pubs[0].isObject()) pub = pubs[0].get("pub", "").asString();
      args["addr"] = network + ":" + info.get("addr_type", "").asString() + ":" + pub;
    }
  } else if (act == "GenTx") {
    if (!args.isMember("txinfo")) return Fail("txinfo is not exist !!", reply);
    const Json::Value& info = args["txinfo"];
    if (!info.isObject() || Flag(info, "fail")) return Fail("GetTx Error", reply);
    if (info.isMember("rawtx")) args["rawtx"] = info["rawtx"];
  } else {
    return Fail("not support action[" + act + "]", reply);
  }
  *reply = Copy(Write(args));
  return *reply == nullptr ? 1 : 0;
}

extern "C" int FreeMem_BTC(char* reply) {
  if (reply == nullptr) return 1;
  free(reply);
  return 0;
}
