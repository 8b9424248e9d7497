// Tables of requests that must mean one thing to every reader, for the coin
// add-ons' entries: keys named twice, text that is not UTF-8, and members
// read as text given as another JSON type. Every reply must be strict JSON in
// UTF-8 that names no key twice.
#ifndef TOLVARIS_TESTS_ADDON_REQUESTS_TESTING_H
#define TOLVARIS_TESTS_ADDON_REQUESTS_TESTING_H

#include <gtest/gtest.h>
#include <json/json.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "broken_utf8_testing.h"
#include "command/json_check.h"
#include "command/text/text.h"
#include "tolvaris/bcm_sign.h"
#include "tv_test.h"

namespace reqt {

using EntryFn = int (*)(const char*, const char*, const char*, char**);
using ReleaseFn = int (*)(char*);

// An add-on entry and the lines its own records carry.
struct Addon {
  const char* tag;   // the "addon" name it is called with
  const char* name;  // "RunModule_ETH": the entry's name in records
  uint32_t parseLine;
  uint32_t exceptionLine;
  EntryFn run;
  ReleaseFn release;
};

struct Reply {
  int rc = -1;
  std::string text;
  Json::Value json;
  std::string chain;  // the add-on's chain inside "err_msg"
};

inline Reply Call(const Addon& addon, const std::string& request) {
  char* out = nullptr;
  Reply r;
  r.rc = addon.run("x", addon.tag, request.c_str(), &out);
  EXPECT_NE(out, nullptr);
  r.text = out != nullptr ? out : "";
  EXPECT_EQ(addon.release(out), 0);
  EXPECT_TRUE(IsStrictJson(r.text)) << "not strict UTF-8 JSON: " << r.text;
  Json::CharReaderBuilder b;
  std::string errs;
  const std::unique_ptr<Json::CharReader> reader(b.newCharReader());
  reader->parse(r.text.data(), r.text.data() + r.text.size(), &r.json, &errs);
  const std::string msg = r.json.isObject() && r.json["error"].isObject() && r.json["error"]["err_msg"].isString()
                              ? r.json["error"]["err_msg"].asString()
                              : "";
  const size_t at = msg.find(") Addon(");
  if (at != std::string::npos && msg.back() == ')') r.chain = msg.substr(at + 8, msg.size() - at - 9);
  return r;
}

inline std::string Compact(const Json::Value& v) {
  Json::StreamWriterBuilder w;
  w["indentation"] = "";
  return Json::writeString(w, v);
}

// The chain of a request that does not parse: its echo has '"' turned into
// '\''.
inline std::string ParseFailure(const Addon& addon, std::string echo) {
  for (char& c : echo)
    if (c == '"') c = '\'';
  return std::string(addon.name) + ":" + std::to_string(addon.parseLine) + "[json parse error(" + echo + ")]";
}

// Requests in which an object names a key twice (no tab, line break or
// backslash in them): each is refused as unparsable.
inline void ExpectDuplicateKeysUnparsable(const Addon& addon, const std::vector<std::string>& requests) {
  for (const std::string& request : requests) {
    const Reply r = Call(addon, request);
    EXPECT_EQ(r.rc, 1) << request;
    EXPECT_EQ(r.chain, ParseFailure(addon, request)) << request;
  }
}

// Bytes that are not UTF-8 in "action", "addon", a key and a value of
// `request` (which holds "\"action\":\"", "\"addon\":\"" and "\"args\":{"):
// each request is unparsable, and its echo holds U+FFFD for each longest
// ill-formed part.
inline void ExpectBrokenUtf8Unparsable(const Addon& addon, const std::string& request) {
  // After each marker: the action's first byte, the add-on name's, a new
  // key of "args", and the value of that key.
  const struct {
    const char* marker;
    const char* before;
    const char* after;
  } places[] = {
      {"\"action\":\"", "", ""},
      {"\"addon\":\"", "", ""},
      {"\"args\":{", "\"k", "\":\"v\","},
      {"\"args\":{", "\"k\":\"v", "\","},
  };
  for (const butt::Broken& b : butt::BrokenUtf8()) {
    for (const auto& p : places) {
      const size_t at = request.find(p.marker);
      ASSERT_NE(at, std::string::npos) << p.marker;
      const size_t cut = at + std::string(p.marker).size();
      const std::string head = request.substr(0, cut) + p.before;
      const std::string tail = p.after + request.substr(cut);
      const Reply r = Call(addon, head + b.bytes + tail);
      EXPECT_EQ(r.rc, 1) << head;
      EXPECT_EQ(r.chain, ParseFailure(addon, head + b.echoed + tail)) << head;
    }
  }
}

// The member at a dotted path ("args.txinfo.input.0.sequence"), made when
// absent.
inline Json::Value& At(Json::Value& root, const std::string& path) {
  Json::Value* v = &root;
  size_t start = 0;
  for (;;) {
    const size_t dot = path.find('.', start);
    const std::string part = path.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    if (!part.empty() && part.find_first_not_of("0123456789") == std::string::npos)
      v = &(*v)[static_cast<Json::ArrayIndex>(std::stoul(part))];
    else
      v = &(*v)[part];
    if (dot == std::string::npos) return *v;
    start = dot + 1;
  }
}

// A member read as text, and the chain its refusal leaves when it is given
// as another JSON type: empty for the reading rule's own record, "<entry>:
// <exception line>[<key> is not a JSON string !!]".
struct TextMember {
  std::string path;
  std::string chain;
};

// Each member of `request` (which succeeds) given as a number, a boolean, an
// array and an object in turn: the request is refused, never answered.
inline void ExpectTextMembersRefused(const Addon& addon, const std::string& request,
                                     const std::vector<TextMember>& members) {
  const Json::Value base = tvt::ParseJson(request);
  const Reply ok = Call(addon, request);
  ASSERT_EQ(ok.rc, 0) << request << "\n" << ok.text;
  Json::Value list(Json::arrayValue);
  list.append("x");
  Json::Value object(Json::objectValue);
  object["x"] = "y";
  const Json::Value wrong[] = {5, true, list, object};
  for (const TextMember& m : members) {
    const std::string key = m.path.substr(m.path.rfind('.') + 1);
    const std::string expected =
        !m.chain.empty() ? m.chain
                         : std::string(addon.name) + ":" + std::to_string(addon.exceptionLine) + "[" + key +
                               " is not a JSON string !!]";
    for (const Json::Value& value : wrong) {
      Json::Value changed = base;
      At(changed, m.path) = value;
      const Reply r = Call(addon, Compact(changed));
      EXPECT_EQ(r.rc, 1) << m.path << " = " << Compact(value) << "\n" << r.text;
      EXPECT_EQ(r.chain, expected) << m.path << " = " << Compact(value);
    }
  }
}

// A DER signature (0x30, length, 0x02, rl, r, 0x02, sl, s) of a 32-byte
// digest by the core's signer, low S; `recovery` gets the recovery id.
inline std::string DerSignature(uint32_t curve, const std::string& priHex, const std::string& digestHex,
                                int* recovery = nullptr) {
  const tvt::Bytes pri = tvt::Unhex(priHex.substr(2));
  const tvt::Bytes digest = tvt::Unhex(digestHex.substr(2));
  unsigned char r[33], s[33];
  int rLen = 33, sLen = 33;
  uint32_t recId = 0;
  EXPECT_EQ(BCMGenSignature(curve, pri.data(), 32, 0, digest.data(), 32, 0, r, &rLen, s, &sLen, &recId), 0);
  auto integer = [](const unsigned char* p, int n) {
    tvt::Bytes v(p, p + n);
    while (v.size() > 1 && v[0] == 0 && v[1] < 0x80) v.erase(v.begin());
    if (v[0] >= 0x80) v.insert(v.begin(), 0);
    v.insert(v.begin(), static_cast<unsigned char>(v.size()));
    v.insert(v.begin(), 0x02);
    return v;
  };
  tvt::Bytes der = integer(r, rLen);
  const tvt::Bytes sPart = integer(s, sLen);
  der.insert(der.end(), sPart.begin(), sPart.end());
  der.insert(der.begin(), static_cast<unsigned char>(der.size()));
  der.insert(der.begin(), 0x30);
  if (recovery != nullptr) *recovery = static_cast<int>(recId);
  return "0x" + tvt::Hex(der);
}

}  // namespace reqt

#endif
