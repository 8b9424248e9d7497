#include "common/error_chain.h"

#include <algorithm>
#include <string>

#include "platform/memory.h"
#include "platform/per_thread.h"

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
// Each thread's chain is a block of its own (see PerThread for why not a
// thread_local object); a thread whose block cannot be had is told so.
PerThread<Chain> g_chains;

// What a thread without a chain reads.
constexpr char kNoChain[] = "error chain memory allocation failed";

void Append(std::string& text, std::string_view chunk) {
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
  Chain* chain = g_chains.Get();
  if (chain == nullptr) return;
  std::string& text = chain->text;
  if (!text.empty()) Append(text, "<=");
  Append(text, function);
  Append(text, ":");
  Append(text, std::to_string(line));
  Append(text, "[");
  Append(text, message);
  Append(text, "]");
  chain->code = chain->fixedCode ? 1000 : code;
}

std::string GetErrTrail() {
  const Chain* chain = g_chains.Get();
  return chain != nullptr ? chain->text : std::string(kNoChain);
}

uint32_t GetErrCode() {
  const Chain* chain = g_chains.Get();
  return chain != nullptr ? chain->code : 1000;
}

bool ResetErrTrail(bool fixedCode) {
  Chain* chain = g_chains.Get();
  if (chain == nullptr) return false;
  WipeString(chain->text);
  chain->text.clear();
  chain->code = 0;
  chain->fixedCode = fixedCode;
  return true;
}
