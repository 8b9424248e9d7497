#ifndef QUENMOD_COMMON_ENTRY_H
#define QUENMOD_COMMON_ENTRY_H

// The entry of every coin add-on. An add-on writes its handlers and one
// action table, then defines its two exports with QUENMOD_EXPORTS:
//
//   const ActionRow kBtcActions[] = {
//       {"GenAddr", GenAddr_BTC, true, "GenAddr Error", 1845},
//   };
//   QUENMOD_EXPORTS(BTC, kBtcEntry, kBtcActions)
//
// which gives RunModule_BTC(action, addon, request, out) and FreeMem_BTC(text).
//
// One call of RunModule_<COIN>:
// 1. empties the error chain; a null action, addon or request fails with
//    "param is null" (null-line), a null `out` returns 1 and allocates nothing;
// 2. parses the request; a request that does not parse fails with
//    "json parse error(<request, '"' turned into "'", \n \r \t removed>)";
// 3. takes "action" (text, empty when not a string) and "args" (null when
//    absent; moved out of the request tree, not copied), and the coin as the
//    EntrySpec says;
// 4. runs the row whose name equals the action exactly; a nonzero handler
//    result records the row's failure message and line; no matching row
//    records the unknown-action message;
// 5. replies with "args" on one line (0), or MakeErrorJson("args") (1).
// A jsoncpp exception (a lookup in an array or a text, a conversion that
// does not fit), a number-conversion exception or an ArgumentRefused of the
// text helpers ("<name> is not hex text", "<name> holds a NUL character") in
// the entry or a handler fails the call the same way, with the entry's
// exception-line. So does running out of memory anywhere in the call, the
// success reply's writing included ("memory allocation failed !!"); when not
// even the error reply can be built, or the thread's error chain cannot be
// allocated, the reply is {"error":{"err_code":"1000","err_msg":"memory
// allocation failed"}}, and only when the reply buffer itself cannot be
// allocated is `*out` null (result 1). No exception leaves the export.
// Replies are allocated here and released (wiped first) by FreeMem_<COIN>.
// Every text of the request, of "args" and of the reply is wiped before its
// memory goes back, on every path: the request and "args" trees when the
// call ends (a lack of memory included), the reply text where it grows.

#include <json/json.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// A handler reads its inputs from "args", writes its results into it and
// returns 0, or records its own entries (AddErrTrail) and returns nonzero.
// `coin` is the coin text for rows that receive it, else empty.
using ActionHandler = int (*)(Json::Value& args, const std::string& coin);

// A handler that takes no coin, as an ActionHandler: WithoutCoin<GenAddr_ATOM>.
template <int (*Handler)(Json::Value&)>
int WithoutCoin(Json::Value& args, const std::string&) {
  return Handler(args);
}

struct ActionRow {
  const char* name;      // matched exactly, case-sensitive
  ActionHandler handler;
  bool receivesCoin;
  const char* failure;   // recorded by the entry when the handler fails
  uint32_t line;
};

enum class CoinSource {
  kNone,        // no coin
  kArgs,        // "args"."coin", else the addon name; written back into "args"
  kTopLevel,    // the request's top-level "coin", else the addon name
};

// What tells the four coin add-ons' entries apart.
struct EntrySpec {
  const char* name;            // "RunModule_BTC": the entry's name in records
  uint32_t nullLine;
  uint32_t parseLine;
  uint32_t unknownLine;
  uint32_t exceptionLine;      // a JSON operation or number conversion failed
  CoinSource coin;
  bool unknownNamesAction;     // "not support action[<name>]", else "not support action"
  bool fixedCode;              // the chain stores 1000 whatever code it is given
};

extern const EntrySpec kBtcEntry;
extern const EntrySpec kEthEntry;
extern const EntrySpec kAtomEntry;
extern const EntrySpec kAmoEntry;

int RunAddonEntry(const EntrySpec& entrySpec, std::span<const ActionRow> actions, const char* action,
                  const char* addon, const char* request, char** out);

// Appends the request as a failure echoes it: '"' turned into '\'', line
// feeds, carriage returns and tabs removed, and every sequence that is not
// UTF-8 written as U+FFFD. The request can hold private keys: reserve room in
// `out` first (a replacement takes three bytes), so no copy is left behind,
// and wipe it.
void AppendEchoedRequest(std::string& out, std::string_view request);

// 1 for a null text; otherwise the text is wiped, released and 0 returned.
int FreeAddonText(char* text);

#define QUENMOD_EXPORTS(TAG, ENTRY, ACTIONS)                                                       \
  extern "C" __attribute__((visibility("default"))) int RunModule_##TAG(                          \
      const char* action, const char* addon, const char* request, char** out) {                   \
    return RunAddonEntry(ENTRY, ACTIONS, action, addon, request, out);                             \
  }                                                                                                \
  extern "C" __attribute__((visibility("default"))) int FreeMem_##TAG(char* text) {               \
    return FreeAddonText(text);                                                                    \
  }

#endif
