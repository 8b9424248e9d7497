// HD key actions: GenMasterNode, GenCKD, GenCKDPub, GenLeafNode and
// GenPubkeyFromPrikey, and the helpers the key actions share.
#include <string>

#include "command/actions.h"
#include "command/arg_names.h"
#include "command/key_actions.h"
#include "tolvaris/bcm_hd.h"

uint32_t KeyAlgo::Curve() const { return static_cast<uint32_t>(CurveCodeOf(id)); }

KeyAlgo EchoAlgo(const json_value& args, SecureText& out) {
  const SecureText name = EchoArg(args, "algo", out);
  KeyAlgo algo;
  GetAlgoInfo(name, &algo.id, &algo.priLen, &algo.pubLen, &algo.chainLen);
  return algo;
}

bool ParsePathNumber(std::string_view text, uint32_t& value) {
  uint64_t base = 10;
  if (text.size() >= 2 && text[0] == '0' && text[1] == 'x') {
    base = 16;
    text.remove_prefix(2);
    if (text.empty()) return false;
  }
  uint64_t v = 0;
  for (char c : text) {
    uint64_t digit;
    if (c >= '0' && c <= '9') digit = static_cast<uint64_t>(c - '0');
    else if (base == 16 && c >= 'a' && c <= 'f') digit = static_cast<uint64_t>(c - 'a' + 10);
    else if (base == 16 && c >= 'A' && c <= 'F') digit = static_cast<uint64_t>(c - 'A' + 10);
    else return false;
    v = v * base + digit;
    if (v > UINT32_MAX) return false;
  }
  value = static_cast<uint32_t>(v);
  return true;
}

bool EchoPathNumber(const json_value& args, std::string_view key, SecureText& out, uint32_t& value) {
  // Key-path numbers keep their own refusal (RefusePathNumber) for every
  // malformed form: a JSON number or other non-string (echoed as the empty
  // text), and a text with a NUL or any other character outside the digits.
  // Only a missing key means 0.
  const json_value& raw = ArgValue(args, key);
  value = 0;
  if (raw.type != json_string) {
    AddPair(out, key, "");
    return raw.type == json_none;
  }
  const std::string_view text(raw.u.string.ptr, raw.u.string.length);
  AddPair(out, key, text);
  if (ParsePathNumber(text, value)) return true;
  value = 0;
  return false;
}

int32_t Refuse(SecureText& out, std::string_view text, int32_t code) {
  AddPair(out, "err_msg", text);
  return code;
}

int32_t RefusePathNumber(SecureText& out, std::string_view key, int32_t code) {
  return Refuse(out, std::string(key) + " must be a number from 0 to 4294967295", code);
}

bool ExportInputLen(const SecureBytes& bytes, std::string_view key, SecureText& out, int& len) {
  if (bytes.size() > kMaxExportInput) {
    AddPair(out, "err_msg", std::string(key) + " is longer than " + DecimalText(INT32_MAX) + " bytes");
    return false;
  }
  len = static_cast<int>(bytes.size());
  return true;
}

namespace {

// The three outputs of a node, sized to the algorithm's key lengths; each
// length word holds the capacity on entry and the written length after.
struct NodeOutput {
  explicit NodeOutput(const KeyAlgo& algo)
      : pri(static_cast<size_t>(algo.priLen)),
        pub(static_cast<size_t>(algo.pubLen)),
        chain(static_cast<size_t>(algo.chainLen)),
        priLen(algo.priLen),
        pubLen(algo.pubLen),
        chainLen(algo.chainLen) {}

  void AddPairs(SecureText& out, const char* priKey, const char* pubKey, const char* chainKey) const {
    AddHexPair(out, priKey, pri.data(), WrittenLen(priLen, pri.size()));
    AddHexPair(out, pubKey, pub.data(), WrittenLen(pubLen, pub.size()));
    AddHexPair(out, chainKey, chain.data(), WrittenLen(chainLen, chain.size()));
  }

  SecureBytes pri, pub, chain;
  int priLen, pubLen, chainLen;
};

bool LengthIs(const SecureBytes& bytes, int32_t len) { return bytes.size() == static_cast<size_t>(len); }

}  // namespace

// "GenMasterNode": echoes "algo" and "masterseed", answers "mpri", "mpub",
// "mchain". The seed may have any length; the export decides.
int32_t ActionGenMasterNode(InterfaceState&, const json_value& args, SecureText& out) {
  const KeyAlgo algo = EchoAlgo(args, out);
  SecureBytes seed;
  EchoBytes(args, "masterseed", out, seed);
  const int32_t code = algo.IsEd() ? 696 : 685;
  int seedLen = 0;
  if (!ExportInputLen(seed, "masterseed", out, seedLen)) return code;

  NodeOutput node(algo);
  const uint32_t len = static_cast<uint32_t>(seedLen);
  const int rc = algo.IsEd()
                     ? BCMGenMasterNode_ED(DataOrEmpty(seed), len, node.pri.data(), &node.priLen, node.pub.data(),
                                           &node.pubLen, node.chain.data(), &node.chainLen)
                     : BCMGenMasterNode(algo.Curve(), DataOrEmpty(seed), len, node.pri.data(), &node.priLen,
                                        node.pub.data(), &node.pubLen, node.chain.data(), &node.chainLen);
  if (rc != 0) {
    AddCoreErrMsg(out, algo.IsEd() ? "GenMasterNode_ED" : "GenMasterNode");
    return code;
  }
  node.AddPairs(out, "mpri", "mpub", "mchain");
  return 0;
}

// "GenCKD": echoes "algo", "ppri", "ppub", "pchain", "index", answers
// "cpri", "cpub", "cchain". Indexes from 0x80000000 are hardened; Ed25519
// derives hardened children only.
int32_t ActionGenCKD(InterfaceState&, const json_value& args, SecureText& out) {
  const KeyAlgo algo = EchoAlgo(args, out);
  SecureBytes ppri, ppub, pchain;
  EchoBytes(args, "ppri", out, ppri);
  EchoBytes(args, "ppub", out, ppub);
  EchoBytes(args, "pchain", out, pchain);
  uint32_t index = 0;
  const bool indexOk = EchoPathNumber(args, "index", out, index);
  if (!LengthIs(ppri, algo.priLen) || !LengthIs(ppub, algo.pubLen) || !LengthIs(pchain, algo.chainLen))
    return Refuse(out, kParentKeyLenText, 728);
  if (!indexOk) return RefusePathNumber(out, "index", 728);

  NodeOutput node(algo);
  const int priLen = static_cast<int>(ppri.size());
  const int pubLen = static_cast<int>(ppub.size());
  const int chainLen = static_cast<int>(pchain.size());
  if (algo.IsEd()) {
    if (BCMGenCKD_ED(ppri.data(), priLen, ppub.data(), pubLen, pchain.data(), chainLen, index, node.pri.data(),
                     &node.priLen, node.pub.data(), &node.pubLen, node.chain.data(), &node.chainLen) != 0) {
      AddCoreErrMsg(out, "GenCKD_ED");
      return 758;
    }
  } else if (BCMGenCKD(algo.Curve(), ppri.data(), priLen, ppub.data(), pubLen, pchain.data(), chainLen, index,
                       node.pri.data(), &node.priLen, node.pub.data(), &node.pubLen, node.chain.data(),
                       &node.chainLen) != 0) {
    AddCoreErrMsg(out, "GenCKD");
    return 744;
  }
  node.AddPairs(out, "cpri", "cpub", "cchain");
  return 0;
}

// "GenCKDPub": echoes "algo", "ppub", "pchain", "index", answers "cpub",
// "cchain". Public derivation exists for secp256k1 and P-256 only.
int32_t ActionGenCKDPub(InterfaceState&, const json_value& args, SecureText& out) {
  const KeyAlgo algo = EchoAlgo(args, out);
  SecureBytes ppub, pchain;
  EchoBytes(args, "ppub", out, ppub);
  EchoBytes(args, "pchain", out, pchain);
  uint32_t index = 0;
  const bool indexOk = EchoPathNumber(args, "index", out, index);
  if (!LengthIs(ppub, algo.pubLen) || !LengthIs(pchain, algo.chainLen)) return Refuse(out, kParentKeyLenText, 789);
  if (!indexOk) return RefusePathNumber(out, "index", 789);
  if (algo.IsEd()) return Refuse(out, "ed25519 is not support bip32 public derivate", 809);

  SecureBytes cpub(static_cast<size_t>(algo.pubLen)), cchain(static_cast<size_t>(algo.chainLen));
  int cpubLen = algo.pubLen;
  int cchainLen = algo.chainLen;
  if (BCMGenCKDPub(algo.Curve(), ppub.data(), static_cast<int>(ppub.size()), pchain.data(),
                   static_cast<int>(pchain.size()), index, cpub.data(), &cpubLen, cchain.data(), &cchainLen) != 0) {
    AddCoreErrMsg(out, "GenCKDPub");
    return 803;
  }
  AddHexPair(out, "cpub", cpub.data(), WrittenLen(cpubLen, cpub.size()));
  AddHexPair(out, "cchain", cchain.data(), WrittenLen(cchainLen, cchain.size()));
  return 0;
}

// "GenLeafNode": the node m/44'/cointype'/0'/0/index of a 64-byte seed.
// Echoes "algo", "cointype", "index" (never the seed), answers "cpri",
// "cpub", "cchain".
int32_t ActionGenLeafNode(InterfaceState&, const json_value& args, SecureText& out) {
  const KeyAlgo algo = EchoAlgo(args, out);
  SecureBytes seed;
  ToBytes("masterseed", ArgText(args, "masterseed"), seed);
  uint32_t coin = 0;
  uint32_t index = 0;
  const bool coinOk = EchoPathNumber(args, "cointype", out, coin);
  const bool indexOk = EchoPathNumber(args, "index", out, index);
  if (!coinOk) return RefusePathNumber(out, "cointype", 844);
  if (!indexOk) return RefusePathNumber(out, "index", 844);
  if (algo.IsEd()) return Refuse(out, "eddsa is not support bip32 public derivate", 850);
  int seedLen = 0;
  if (!ExportInputLen(seed, "masterseed", out, seedLen)) return 844;

  NodeOutput node(algo);
  if (BCMGenPathLeafNode(algo.Curve(), DataOrEmpty(seed), static_cast<uint32_t>(seedLen), 44, coin, 0, 0, index,
                         node.pri.data(), &node.priLen, node.pub.data(), &node.pubLen, node.chain.data(),
                         &node.chainLen) != 0) {
    AddCoreErrMsg(out, "GenPathLeafNode");
    return 844;
  }
  node.AddPairs(out, "cpri", "cpub", "cchain");
  return 0;
}

// "GenPubkeyFromPrikey": echoes "algo" and "pri", answers "pub" (33 bytes
// compressed, 32 for Ed25519).
int32_t ActionGenPubkeyFromPrikey(InterfaceState&, const json_value& args, SecureText& out) {
  const KeyAlgo algo = EchoAlgo(args, out);
  SecureBytes pri;
  EchoBytes(args, "pri", out, pri);
  if (!LengthIs(pri, algo.priLen)) return Refuse(out, kParentKeyLenText, 877);

  SecureBytes pub(static_cast<size_t>(algo.pubLen));
  int pubLen = algo.pubLen;
  const int priLen = static_cast<int>(pri.size());
  if (algo.IsEd()) {
    if (BCMGenPubkeyFromPriKey_ED(pri.data(), priLen, pub.data(), &pubLen) != 0) {
      AddCoreErrMsg(out, "GenPubkeyFromPriKey_ED");
      return 897;
    }
  } else if (BCMGenPubkeyFromPriKey(algo.Curve(), pri.data(), priLen, pub.data(), &pubLen) != 0) {
    AddCoreErrMsg(out, "GenPubkeyFromPriKey");
    return 888;
  }
  AddHexPair(out, "pub", pub.data(), WrittenLen(pubLen, pub.size()));
  return 0;
}
