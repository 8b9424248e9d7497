#include "common/error_chain.h"

#include <string>

namespace {

struct Chain {
  std::string text;
  uint32_t code = 0;
  bool fixedCode = false;
};

// Per thread: two threads that each run a request read their own failures.
thread_local Chain chain;

}  // namespace

void AddErrTrail(std::string_view function, uint32_t line, uint32_t code, std::string_view message) {
  if (!chain.text.empty()) chain.text += "<=";
  chain.text += function;
  chain.text += ':';
  chain.text += std::to_string(line);
  chain.text += '[';
  chain.text += message;
  chain.text += ']';
  chain.code = chain.fixedCode ? 1000 : code;
}

std::string GetErrTrail() { return chain.text; }

uint32_t GetErrCode() { return chain.code; }

void ResetErrTrail(bool fixedCode) {
  chain.text.clear();
  chain.code = 0;
  chain.fixedCode = fixedCode;
}
