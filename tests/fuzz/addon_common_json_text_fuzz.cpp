// The add-ons' JSON reader and writer against jsoncpp on arbitrary bytes:
// both readers accept or refuse alike and build equal trees (types, doubles
// to the bit, texts byte for byte), and both writers give the same bytes
// for that tree, on one line and indented. Nothing crashes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "../support/jsoncpp_reference.h"
#include "common/json_reader.h"
#include "common/json_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* begin = reinterpret_cast<const char*>(data);
  Json::Value theirs;
  Json::Value ours;
  const bool theirVerdict = tvt::JsoncppRead(begin, begin + size, theirs);
  const bool ourVerdict = ReadJsonTree(std::string_view(begin, size), ours);
  if (theirVerdict != ourVerdict) std::abort();
  if (!theirVerdict) return 0;
  if (!tvt::SameJsonTree(theirs, ours)) std::abort();
  for (const char* indentation : {"", "  "}) {
    SecureText text;
    WriteJsonTree(ours, indentation, text);
    if (std::string(text) != tvt::JsoncppWrite(theirs, indentation)) std::abort();
  }
  return 0;
}
