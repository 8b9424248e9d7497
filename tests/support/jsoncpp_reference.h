#ifndef TOLVARIS_TESTS_JSONCPP_REFERENCE_H
#define TOLVARIS_TESTS_JSONCPP_REFERENCE_H

// jsoncpp's own reader and writer, set as the add-ons' ParseJson and
// WriteJson claim to behave, and a comparison of trees that sees every
// difference: the reference for the add-ons' JSON reader and writer (unit
// tests and fuzz targets; header only, so a fuzz target needs no test
// library).

#include <json/json.h>

#include <cstring>
#include <memory>
#include <sstream>
#include <string>

namespace tvt {

// jsoncpp's verdict; a reader that throws (past its nesting limit) refuses.
inline bool JsoncppRead(const char* begin, const char* end, Json::Value& root) {
  Json::CharReaderBuilder builder;
  builder["collectComments"] = false;
  builder["rejectDupKeys"] = true;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  try {
    return reader->parse(begin, end, &root, nullptr);
  } catch (const Json::Exception&) {
    return false;
  }
}

inline std::string JsoncppWrite(const Json::Value& value, const std::string& indentation) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = indentation;
  const std::unique_ptr<Json::StreamWriter> writer(builder.newStreamWriter());
  std::ostringstream out;
  writer->write(value, &out);
  return out.str();
}

// Equal trees: the same type at every node, doubles to the bit, names and
// texts byte for byte. On a difference `where` (when given) names the place.
inline bool SameJsonTree(const Json::Value& a, const Json::Value& b, std::string* where = nullptr,
                         const std::string& path = "$") {
  auto differ = [&](const char* what) {
    if (where != nullptr) *where = path + ": " + what;
    return false;
  };
  if (a.type() != b.type()) return differ("type");
  switch (a.type()) {
    case Json::nullValue: return true;
    case Json::intValue: return a.asLargestInt() == b.asLargestInt() || differ("int");
    case Json::uintValue: return a.asLargestUInt() == b.asLargestUInt() || differ("uint");
    case Json::realValue: {
      const double x = a.asDouble();
      const double y = b.asDouble();
      return std::memcmp(&x, &y, sizeof x) == 0 || differ("double");
    }
    case Json::booleanValue: return a.asBool() == b.asBool() || differ("bool");
    case Json::stringValue: {
      const char* ab = nullptr;
      const char* ae = nullptr;
      const char* bb = nullptr;
      const char* be = nullptr;
      a.getString(&ab, &ae);
      b.getString(&bb, &be);
      return (ae - ab == be - bb && std::memcmp(ab, bb, static_cast<size_t>(ae - ab)) == 0) || differ("text");
    }
    case Json::arrayValue:
      if (a.size() != b.size()) return differ("size");
      for (Json::ArrayIndex i = 0; i < a.size(); ++i)
        if (!SameJsonTree(a[i], b[i], where, path + "[" + std::to_string(i) + "]")) return false;
      return true;
    case Json::objectValue:
      if (a.size() != b.size()) return differ("members");
      for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j) {
        const char* ie = nullptr;
        const char* je = nullptr;
        const char* in = i.memberName(&ie);
        const char* jn = j.memberName(&je);
        const std::string name(in, ie);
        if (name != std::string(jn, je)) return differ("names");
        if (!SameJsonTree(*i, *j, where, path + "." + name)) return false;
      }
      return true;
  }
  return differ("kind");
}

}  // namespace tvt

#endif
