#include "common/error_chain.h"

#include <algorithm>
#include <string>

#include "platform/memory.h"

namespace {

struct Chain {
  std::string text;
  uint32_t code = 0;
  bool fixedCode = false;
  // The chain can quote caller text (a request that did not parse, private
  // keys included): it is wiped when emptied, when it moves to a larger
  // buffer and when its thread ends.
  ~Chain() { WipeString(text); }
};

// Per thread: two threads that each run a request read their own failures.
thread_local Chain chain;

void Append(std::string_view chunk) {
  std::string& text = chain.text;
  if (text.size() + chunk.size() > text.capacity()) {
    std::string grown;
    grown.reserve(std::max(2 * text.capacity(), text.size() + chunk.size()));
    grown.append(text);
    WipeString(text);
    text.swap(grown);
  }
  text.append(chunk);
}

}  // namespace

void AddErrTrail(std::string_view function, uint32_t line, uint32_t code, std::string_view message) {
  if (!chain.text.empty()) Append("<=");
  Append(function);
  Append(":");
  Append(std::to_string(line));
  Append("[");
  Append(message);
  Append("]");
  chain.code = chain.fixedCode ? 1000 : code;
}

std::string GetErrTrail() { return chain.text; }

uint32_t GetErrCode() { return chain.code; }

void ResetErrTrail(bool fixedCode) {
  WipeString(chain.text);
  chain.text.clear();
  chain.code = 0;
  chain.fixedCode = fixedCode;
}
