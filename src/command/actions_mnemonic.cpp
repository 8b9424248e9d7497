// Mnemonic actions: BIP39 mnemonics from entropy, their checks, and the
// entropy and seed behind a mnemonic.
#include <climits>
#include <string_view>

#include "command/actions.h"
#include "tolvaris/bcm_mnemonic.h"

namespace {

// Room for the mnemonic of 32 bytes of entropy (24 words of up to 8 letters
// and the blanks between them fit; the export asks for 32 * 3 / 4 * 11), and
// for the entropy of any mnemonic text that long.
constexpr int kMnemonicCap = 264;
constexpr int kSeedCap = 64;

// A byte count as the export's length argument. A count beyond what an int
// holds is passed as INT_MAX, which no export accepts as an entropy size, so
// the request fails with the export's own message instead of a wrapped size.
int ExportLen(size_t len) { return len > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(len); }

}  // namespace

// "GenMNemonic": echoes "entropy" as given, answers "mnemonic".
int32_t ActionGenMNemonic(InterfaceState&, const json_value& args, SecureText& out) {
  const SecureText entropyText = EchoArg(args, "entropy", out);
  SecureBytes entropy;
  ToBytes("entropy", entropyText, entropy);
  SecureBytes mnemonic(kMnemonicCap);
  int len = kMnemonicCap;
  if (BCMGenMnemonic(DataOrEmpty(entropy), ExportLen(entropy.size()), reinterpret_cast<char*>(mnemonic.data()),
                     &len) != 0) {
    AddCoreErrMsg(out, "GenMnemonic");
    return 506;
  }
  AddPair(out, "mnemonic",
          std::string_view(reinterpret_cast<const char*>(mnemonic.data()), WrittenLen(len, mnemonic.size())));
  return 0;
}

// "ChkMNemonicValid": echoes "mnemonic", answers "valid"; fails only for
// lack of memory.
int32_t ActionChkMNemonicValid(InterfaceState&, const json_value& args, SecureText& out) {
  const SecureText mnemonic = EchoArg(args, "mnemonic", out);
  AddPair(out, "valid", ExportVerdict(BCMChkMnemonicValid(mnemonic.c_str())) ? "true" : "false");
  return 0;
}

// "ChkMNemonicWordValid": echoes "word", answers "valid"; fails only for
// lack of memory.
int32_t ActionChkMNemonicWordValid(InterfaceState&, const json_value& args, SecureText& out) {
  const SecureText word = EchoArg(args, "word", out);
  AddPair(out, "valid", ExportVerdict(BCMChkMnemonicWordValid(word.c_str())) ? "true" : "false");
  return 0;
}

// "ConvMNemonicToEntropy": echoes "mnemonic", answers "entropy" in hex.
int32_t ActionConvMNemonicToEntropy(InterfaceState&, const json_value& args, SecureText& out) {
  const SecureText mnemonic = EchoArg(args, "mnemonic", out);
  SecureBytes entropy(kMnemonicCap);
  int len = kMnemonicCap;
  if (BCMConvMnemonicToEntropy(mnemonic.c_str(), entropy.data(), &len) != 0) {
    AddCoreErrMsg(out, "ConvMNemonicToEntropy");
    return 550;
  }
  AddHexPair(out, "entropy", entropy.data(), WrittenLen(len, entropy.size()));
  return 0;
}

// "ConvMnemonicToSeed": echoes "mnemonic" and "passpharse" (a missing one is
// the empty passphrase), answers the 64-byte "seed" in hex.
int32_t ActionConvMnemonicToSeed(InterfaceState&, const json_value& args, SecureText& out) {
  const SecureText mnemonic = EchoArg(args, "mnemonic", out);
  const SecureText passphrase = EchoArg(args, "passpharse", out);
  SecureBytes seed(kSeedCap);
  int len = kSeedCap;
  if (BCMConvMnemonicToSeed(mnemonic.c_str(), passphrase.c_str(), seed.data(), &len) != 0) {
    AddCoreErrMsg(out, "ConvMnemonicToSeed");
    return 570;
  }
  AddHexPair(out, "seed", seed.data(), WrittenLen(len, seed.size()));
  return 0;
}
