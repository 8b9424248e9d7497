// Shamir share actions: a master mnemonic split into share mnemonics, and
// share mnemonics joined back into the master mnemonic. Requests and replies
// carry the shares as the array "sssms"; the exports take them joined by ";".
#include <cstdint>
#include <string_view>
#include <vector>

#include "command/actions.h"
#include "command/text/text.h"
#include "tolvaris/bcm_mnemonic.h"

namespace {

// Room per share: three header words and up to 24 mnemonic words of at most
// 8 letters each, with their separators.
constexpr int64_t kShareCap = 308;
// The largest share count the split export accepts.
constexpr int64_t kMaxShares = 10;
constexpr int kMasterCap = 264;

// The share buffer for a requested count, worked out in 64 bits and held to
// what the export can ever fill: a count it will refuse gets no bigger buffer
// than the largest it accepts, and a count below one gets none.
int ShareBufferCap(int32_t total) {
  int64_t shares = total;
  if (shares < 0) shares = 0;
  if (shares > kMaxShares) shares = kMaxShares;
  return static_cast<int>(kShareCap * shares);
}

// The pieces between the ";" separators, empty pieces included; the empty
// text has none. The views point into `text`, so no copy of a share is made.
std::vector<std::string_view> SplitShares(std::string_view text) {
  std::vector<std::string_view> pieces;
  if (text.empty()) return pieces;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(';', start);
    if (end == std::string_view::npos) {
      pieces.push_back(text.substr(start));
      return pieces;
    }
    pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

}  // namespace

// "ConvMasterMNemonicToSSSMNemonic": echoes "mnemonic", "totalssscnt" and
// "needssscnt" as given, answers the shares as the array "sssms".
int32_t ActionConvMasterMNemonicToSSSMNemonic(InterfaceState&, const json_value& args, SecureText& out) {
  static const char kLabel[] = "BCMConvMasterMnemonicToSSSMnemonic";
  const SecureText mnemonic = ArgText(args, "mnemonic");
  const SecureText totalText = ArgText(args, "totalssscnt");
  const SecureText needText = ArgText(args, "needssscnt");
  const int32_t total = ArgToInt("totalssscnt", totalText);
  const int32_t need = ArgToInt("needssscnt", needText);
  AddPair(out, "mnemonic", mnemonic);
  AddPair(out, "totalssscnt", totalText);
  AddPair(out, "needssscnt", needText);

  const int cap = ShareBufferCap(total);
  // At least one byte, so the export always sees a buffer, never a size query.
  SecureBytes shares(cap > 0 ? static_cast<size_t>(cap) : 1);
  int len = cap;
  if (BCMConvMasterMnemonicToSSSMnemonic(mnemonic.c_str(), total, need, reinterpret_cast<char*>(shares.data()),
                                         &len) != 0) {
    AddCoreErrMsg(out, kLabel);
    return 593;
  }
  const std::vector<std::string_view> pieces = SplitShares(
      std::string_view(reinterpret_cast<const char*>(shares.data()), WrittenLen(len, static_cast<size_t>(cap))));
  if (static_cast<int64_t>(pieces.size()) != total) {
    AddCoreErrMsg(out, kLabel);
    return 601;
  }
  AddArrayPair(out, "sssms", pieces);
  return 0;
}

// "ConvSSSMNemonicToMasterMNemonic": echoes the array "sssms", answers the
// master "mnemonic". An element that is no string counts as an empty share.
int32_t ActionConvSSSMNemonicToMasterMNemonic(InterfaceState&, const json_value& args, SecureText& out) {
  static const char kLabel[] = "BCMConvSSSMnemonicToMasterMnemonic";
  const json_value& list = ArgValue(args, "sssms");
  if (list.type != json_array) return 622;

  std::vector<SecureText> items;
  items.reserve(list.u.array.length);
  SecureText joined;
  for (unsigned i = 0; i < list.u.array.length; ++i) {
    items.push_back(ValueText(*list.u.array.values[i], "sssms"));
    // A separator only once something is joined: leading empty shares leave
    // none, later ones leave ";;".
    if (!joined.empty()) joined.push_back(';');
    joined.append(items.back());
  }
  std::vector<std::string_view> echo(items.begin(), items.end());
  AddArrayPair(out, "sssms", echo);

  SecureBytes master(kMasterCap);
  int len = kMasterCap;
  if (BCMConvSSSMnemonicToMasterMnemonic(joined.c_str(), reinterpret_cast<char*>(master.data()), &len) != 0) {
    AddCoreErrMsg(out, kLabel);
    return 647;
  }
  AddPair(out, "mnemonic",
          std::string_view(reinterpret_cast<const char*>(master.data()), WrittenLen(len, master.size())));
  return 0;
}
