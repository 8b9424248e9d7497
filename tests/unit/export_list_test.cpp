// The dynamic symbols of libtolvaris.so are exactly the library's interface:
// both export families, the command interface, the JNI entry points of the
// Java class's natives, and the aliases, each alias being the very function
// of its BCM* counterpart.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdio.h>

#include <set>
#include <string>

namespace {

const std::string kLibrary = std::string(TV_OUT_DIR) + "/libtolvaris.so";

const std::set<std::string> kBcmFamily = {
    // Frame, digest and the print no-ops.
    "BCMGetLastErr", "BCMGetVer", "BCMGetCurrentSystemEndian", "BCMSwapBytes", "BCMGenHashMessage",
    "BCMPrintStr", "BCMPrintHex", "BCMPrintDec",
    // MACs, key derivation, random bytes.
    "BCMGenEntropy", "BCMGenHMac", "BCMGenPBKDF2", "BCMGenScrypt",
    // Codecs.
    "BCMConvHexStrToByteArr", "BCMConvByteArrToHexStr", "BCMConvBitToBit", "BCMGenBase64EncodeLen",
    "BCMGenBase64Encode", "BCMGenBase64Decode", "BCMGenBase58CheckEncodeLen", "BCMGenBase58CheckEncode",
    "BCMGenBase58CheckDecode", "BCMGenBase32Encode", "BCMGenBase32Decode",
    // AES.
    "BCMGenAESEncrypt", "BCMGenAESDecrypt", "BCMGenAESEncryptAuth", "BCMGenAESDecryptAuth",
    // Mnemonics and share mnemonics.
    "BCMGenMnemonic", "BCMConvMnemonicToEntropy", "BCMConvMnemonicToSeed", "BCMChkMnemonicValid",
    "BCMChkMnemonicWordValid", "BCMConvMasterMnemonicToSSSMnemonic", "BCMConvSSSMnemonicToMasterMnemonic",
    // HD keys and public keys.
    "BCMGenMasterNode", "BCMGenCKD", "BCMGenCKDPub", "BCMGenPathLeafNode", "BCMGetPubYFromCompPub",
    "BCMGenPubkeyFromPriKey", "BCMGenMasterNode_ED", "BCMGenCKD_ED", "BCMGenPubkeyFromPriKey_ED",
    // Signatures.
    "BCMGenSignature", "BCMVerifySignature", "BCMGenSignature_ED", "BCMVerifySignature_ED",
    // ECIES and ECDH.
    "BCMGenECIESEncrypt", "BCMGenECIESDecrypt", "BCMGenECDHKeyPair", "BCMGenECDHComputeShareKey",
};

const std::set<std::string> kUnprefixedFamily = {
    "SwapBytes", "GenEntropy", "ConvHexStrToByteArr", "ConvByteArrToHexStr", "GenBase64Encode", "GenBase64Decode",
    "GenBase58CheckEncode", "GenBase58CheckDecode", "GenXRPBase58CheckEncode", "GenXRPBase58CheckDecode",
    "GenHashMessage", "GenAESEncrypt", "GenAESDecrypt", "GenAESEncryptAuth", "GenAESDecryptAuth", "GenMnemonic",
    "ConvMnemonicToSeed", "ConvMasterMnemonicToSSSMnemonic", "ConvSSSMnemonicToMasterMnemonic", "ChkMnemonicValid",
    "ChkMnemonicWordValid", "ConvMNemonicToEntropy", "GenMasterNode", "GenCKD", "GenCKDPub", "GenPubkeyFromPriKey",
    "GenSignature", "VerifySignature", "GenLeafNode", "GenPathLeafNode", "GenMasterNode_ED", "GenCKD_ED",
    "GenPubkeyFromPriKey_ED", "GenSignature_ED", "VerifySignature_ED", "GetVorlekLastErr", "GetOstrelVer",
    "PrintStr", "GetTxID", "MerVorlekTx", "ConvVorlekTxToRawTx", "GenAddSigData", "GenRedeems",
    "GetVorlekTxInputCount", "GetVorlekTxInputSigInfo", "GetSlip44Index", "GenAddr", "GenRawTx",
};

const std::set<std::string> kCommandInterface = {"RunModule", "FreeMem", "PrintHex", "PrintDec"};

// The natives of com.morvane.keystrand.JniWrapper.
const std::set<std::string> kJniNatives = {
    "GenAddr", "GenEntropy", "GenMnemonic", "CheckMnemonicValid", "CheckMnemonicWordValid",
    "ConvertMnemonicToSeed", "GenLeafNode", "GenCKD", "GenMasterNode", "GenRawTransaction", "GetSlipIndex",
    "GenPubkeyFromPrikey", "GenBase58CheckEncode", "GenBase58CheckDecode", "GenBase64Encode", "GenBase64Decode",
    "GenAESEncrypt", "GenAESDecrypt", "GenAESEncryptAuth", "GenAESDecryptAuth", "GenHashMessage",
    "ConvMasterMnemonicToSSSMnemonic", "ConvSSSMnemonicToMasterMnemonic", "RunModule", "GetVorlekTxInputCount",
    "GetVorlekTxInputSigInfo", "GenAddSigData", "ConvVorlekTxToRawTx", "GetTxID", "GenRedeems", "MergeVorlekTx",
};
constexpr char kJniPrefix[] = "Java_com_morvane_keystrand_JniWrapper_";

// Names nm lists as defined dynamic symbols, version suffixes dropped.
std::set<std::string> ExportedNames(const std::string& lib) {
  std::set<std::string> names;
  const std::string cmd = "nm -D --defined-only '" + lib + "'";
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) return names;
  char line[1024];
  while (fgets(line, sizeof line, p) != nullptr) {
    char value[64], type[8], name[512];
    if (sscanf(line, "%63s %7s %511s", value, type, name) != 3) continue;
    std::string n = name;
    n = n.substr(0, n.find('@'));
    names.insert(n);
  }
  EXPECT_EQ(pclose(p), 0) << cmd;
  return names;
}

TEST(ExportList, ExactlyTheInterfaceNames) {
  std::set<std::string> expected;
  for (const auto* family : {&kBcmFamily, &kUnprefixedFamily, &kCommandInterface})
    expected.insert(family->begin(), family->end());
  for (const std::string& n : kJniNatives) expected.insert(kJniPrefix + n);
  ASSERT_EQ(kJniNatives.size(), 31u);
  const std::set<std::string> exported = ExportedNames(kLibrary);
  ASSERT_FALSE(exported.empty()) << kLibrary;

  for (const std::string& n : expected) EXPECT_EQ(exported.count(n), 1u) << "not exported: " << n;
  for (const std::string& n : exported) EXPECT_EQ(expected.count(n), 1u) << "exported but no interface name: " << n;
}

TEST(ExportList, AliasesAreTheSameFunction) {
  void* lib = dlopen(kLibrary.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  const struct {
    const char* alias;
    const char* target;
  } aliases[] = {
      {"GetVorlekLastErr", "BCMGetLastErr"},     {"GetOstrelVer", "BCMGetVer"},
      {"BCMPrintStr", "PrintStr"},               {"MerVorlekTx", "GetTxID"},
      {"ConvVorlekTxToRawTx", "GetTxID"},        {"GenAddSigData", "GetTxID"},
      {"GenRedeems", "GetTxID"},                 {"GetVorlekTxInputCount", "GetTxID"},
      {"GetVorlekTxInputSigInfo", "GetTxID"},
  };
  for (const auto& a : aliases) {
    void* alias = dlsym(lib, a.alias);
    void* target = dlsym(lib, a.target);
    ASSERT_NE(alias, nullptr) << a.alias;
    ASSERT_NE(target, nullptr) << a.target;
    EXPECT_EQ(alias, target) << a.alias << " vs " << a.target;
  }
  // Called through the library, the old names answer as the BCM* ones.
  using TextFn = const char* (*)();
  EXPECT_EQ(reinterpret_cast<TextFn>(dlsym(lib, "GetVorlekLastErr"))(),
            reinterpret_cast<TextFn>(dlsym(lib, "BCMGetLastErr"))());
  EXPECT_STREQ(reinterpret_cast<TextFn>(dlsym(lib, "GetOstrelVer"))(),
               reinterpret_cast<TextFn>(dlsym(lib, "BCMGetVer"))());
}

}  // namespace
