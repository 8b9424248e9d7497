// The unprefixed export family: forwarders to the BCM* exports, aliases,
// no-op exports, the SLIP-44 index and the two drivers that reach the
// Bitcoin-family add-on through RunModule.
#include <json.h>

#include <cstdlib>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "api/frame.h"
#include "api/slip44.h"
#include "command/actions.h"
#include "command/text/text.h"
#include "command/json_check.h"
#include "command/json_tree.h"
#include "command/secure_text.h"
#include "platform/memory.h"
#include "tolvaris/bcm_aes.h"
#include "tolvaris/bcm_codec.h"
#include "tolvaris/bcm_core.h"
#include "tolvaris/bcm_hd.h"
#include "tolvaris/bcm_kdf.h"
#include "tolvaris/bcm_mnemonic.h"
#include "tolvaris/bcm_sign.h"
#include "tolvaris/runmodule.h"
#include "tolvaris/unprefixed.h"

// ---- Forwarders -----------------------------------------------------------

namespace {
constexpr uint32_t kCurveSecp256k1 = 0;
constexpr uint32_t kAlphabetBitcoin = 0;
constexpr uint32_t kAlphabetXrp = 1;
constexpr uint32_t kPaddingPkcs7 = 1;
constexpr uint32_t kModeGcm = 11;
constexpr uint32_t kPurposeBip44 = 44;
}  // namespace

int SwapBytes(unsigned char* buf, int len) { return BCMSwapBytes(buf, len); }

int GenEntropy(unsigned char* out, uint32_t count) { return BCMGenEntropy(count, out); }

int ConvHexStrToByteArr(unsigned char* out, uint32_t* outLen, const char* hex) {
  return BCMConvHexStrToByteArr(hex, out, outLen);
}

int ConvByteArrToHexStr(char* out, uint32_t* outLen, const unsigned char* in, uint32_t inLen) {
  return BCMConvByteArrToHexStr(in, inLen, 0, out, outLen);
}

int GenBase64Encode(const unsigned char* in, uint32_t inLen, char* out, uint32_t* outLen) {
  return BCMGenBase64Encode(in, inLen, out, outLen);
}

int GenBase64Decode(const char* text, unsigned char* out, uint32_t* outLen) {
  return BCMGenBase64Decode(text, out, outLen);
}

int GenBase58CheckEncode(const unsigned char* payload, uint32_t len, char* out, uint32_t* outLen) {
  return BCMGenBase58CheckEncode(kAlphabetBitcoin, payload, len, out, outLen);
}

int GenBase58CheckDecode(const char* text, unsigned char* out, uint32_t* outLen) {
  return BCMGenBase58CheckDecode(kAlphabetBitcoin, text, out, outLen);
}

int GenXRPBase58CheckEncode(const unsigned char* payload, uint32_t len, char* out, uint32_t* outLen) {
  return BCMGenBase58CheckEncode(kAlphabetXrp, payload, len, out, outLen);
}

int GenXRPBase58CheckDecode(const char* text, unsigned char* out, uint32_t* outLen) {
  return BCMGenBase58CheckDecode(kAlphabetXrp, text, out, outLen);
}

int GenHashMessage(uint32_t hashId, const unsigned char* msg, uint32_t msgLen, unsigned char* out, int* outLen) {
  return BCMGenHashMessage(hashId, msg, msgLen, out, outLen);
}

int GenAESEncrypt(const unsigned char* in, uint32_t inLen, const unsigned char* key, uint32_t keyLen,
                  const unsigned char* iv, int ivLen, uint32_t mode, unsigned char* out, int* outLen) {
  return BCMGenAESEncrypt(in, inLen, key, keyLen, iv, ivLen, mode, kPaddingPkcs7, out, outLen);
}

int GenAESDecrypt(const unsigned char* in, uint32_t inLen, const unsigned char* key, uint32_t keyLen,
                  const unsigned char* iv, int ivLen, uint32_t mode, unsigned char* out, int* outLen) {
  return BCMGenAESDecrypt(in, inLen, key, keyLen, iv, ivLen, mode, kPaddingPkcs7, out, outLen);
}

int GenAESEncryptAuth(const unsigned char* in, uint32_t inLen, const unsigned char* key, uint32_t keyLen,
                      const unsigned char* iv, int ivLen, const unsigned char* aad, uint32_t aadLen, int tagLen,
                      unsigned char* out, int* outLen) {
  return BCMGenAESEncryptAuth(in, inLen, key, keyLen, iv, ivLen, kModeGcm, aad, aadLen, tagLen, out, outLen);
}

int GenAESDecryptAuth(const unsigned char* in, uint32_t inLen, const unsigned char* key, uint32_t keyLen,
                      const unsigned char* iv, int ivLen, const unsigned char* aad, uint32_t aadLen, int tagLen,
                      unsigned char* out, int* outLen) {
  return BCMGenAESDecryptAuth(in, inLen, key, keyLen, iv, ivLen, kModeGcm, aad, aadLen, tagLen, out, outLen);
}

int GenMnemonic(const unsigned char* entropy, int entropyLen, char* out, int* outLen) {
  return BCMGenMnemonic(entropy, entropyLen, out, outLen);
}

int ConvMnemonicToSeed(const char* mnemonic, const char* passphrase, unsigned char* out, int* outLen) {
  return BCMConvMnemonicToSeed(mnemonic, passphrase, out, outLen);
}

int ConvMasterMnemonicToSSSMnemonic(const char* mnemonic, int total, int need, char* out, int* outLen) {
  return BCMConvMasterMnemonicToSSSMnemonic(mnemonic, total, need, out, outLen);
}

int ConvSSSMnemonicToMasterMnemonic(const char* shares, char* out, int* outLen) {
  return BCMConvSSSMnemonicToMasterMnemonic(shares, out, outLen);
}

int ChkMnemonicValid(const char* mnemonic) { return BCMChkMnemonicValid(mnemonic); }

int ChkMnemonicWordValid(const char* word) { return BCMChkMnemonicWordValid(word); }

int ConvMNemonicToEntropy(const char* mnemonic, unsigned char* out, int* outLen) {
  return BCMConvMnemonicToEntropy(mnemonic, out, outLen);
}

int GenMasterNode(const unsigned char* seed, uint32_t seedLen, unsigned char* pri, int* priLen, unsigned char* pub,
                  int* pubLen, unsigned char* chain, int* chainLen) {
  return BCMGenMasterNode(kCurveSecp256k1, seed, seedLen, pri, priLen, pub, pubLen, chain, chainLen);
}

int GenCKD(const unsigned char* ppri, int ppriLen, const unsigned char* ppub, int ppubLen,
           const unsigned char* pchain, int pchainLen, uint32_t index, unsigned char* cpri, int* cpriLen,
           unsigned char* cpub, int* cpubLen, unsigned char* cchain, int* cchainLen) {
  return BCMGenCKD(kCurveSecp256k1, ppri, ppriLen, ppub, ppubLen, pchain, pchainLen, index, cpri, cpriLen, cpub,
                   cpubLen, cchain, cchainLen);
}

int GenCKDPub(const unsigned char* ppub, int ppubLen, const unsigned char* pchain, int pchainLen, uint32_t index,
              unsigned char* cpub, int* cpubLen, unsigned char* cchain, int* cchainLen) {
  return BCMGenCKDPub(kCurveSecp256k1, ppub, ppubLen, pchain, pchainLen, index, cpub, cpubLen, cchain, cchainLen);
}

int GenPubkeyFromPriKey(const unsigned char* pri, int priLen, unsigned char* pub, int* pubLen) {
  return BCMGenPubkeyFromPriKey(kCurveSecp256k1, pri, priLen, pub, pubLen);
}

int GenSignature(const unsigned char* pri, int priLen, uint32_t hashId, const unsigned char* msg, int msgLen,
                 uint32_t keepS, unsigned char* sigR, int* sigRLen, unsigned char* sigS, int* sigSLen,
                 uint32_t* recid) {
  return BCMGenSignature(kCurveSecp256k1, pri, priLen, hashId, msg, msgLen, keepS, sigR, sigRLen, sigS, sigSLen,
                         recid);
}

int VerifySignature(const unsigned char* pub, int pubLen, const unsigned char* sigR, int sigRLen,
                    const unsigned char* sigS, int sigSLen, uint32_t hashId, const unsigned char* msg, int msgLen) {
  return BCMVerifySignature(kCurveSecp256k1, pub, pubLen, sigR, sigRLen, sigS, sigSLen, hashId, msg, msgLen);
}

int GenLeafNode(uint32_t coin, const unsigned char* seed, uint32_t seedLen, uint32_t index, unsigned char* pri,
                int* priLen, unsigned char* pub, int* pubLen, unsigned char* chain, int* chainLen) {
  return BCMGenPathLeafNode(kCurveSecp256k1, seed, seedLen, kPurposeBip44, coin, 0, 0, index, pri, priLen, pub,
                            pubLen, chain, chainLen);
}

int GenPathLeafNode(uint32_t purpose, uint32_t coin, uint32_t account, uint32_t change, uint32_t index,
                    const unsigned char* seed, uint32_t seedLen, unsigned char* pri, int* priLen, unsigned char* pub,
                    int* pubLen, unsigned char* chain, int* chainLen) {
  return BCMGenPathLeafNode(kCurveSecp256k1, seed, seedLen, purpose, coin, account, change, index, pri, priLen, pub,
                            pubLen, chain, chainLen);
}

int GenMasterNode_ED(const unsigned char* seed, uint32_t seedLen, unsigned char* pri, int* priLen,
                     unsigned char* pub, int* pubLen, unsigned char* chain, int* chainLen) {
  return BCMGenMasterNode_ED(seed, seedLen, pri, priLen, pub, pubLen, chain, chainLen);
}

int GenCKD_ED(const unsigned char* ppri, int ppriLen, const unsigned char* ppub, int ppubLen,
              const unsigned char* pchain, int pchainLen, uint32_t index, unsigned char* cpri, int* cpriLen,
              unsigned char* cpub, int* cpubLen, unsigned char* cchain, int* cchainLen) {
  return BCMGenCKD_ED(ppri, ppriLen, ppub, ppubLen, pchain, pchainLen, index, cpri, cpriLen, cpub, cpubLen, cchain,
                      cchainLen);
}

int GenPubkeyFromPriKey_ED(const unsigned char* pri, int priLen, unsigned char* pub, int* pubLen) {
  return BCMGenPubkeyFromPriKey_ED(pri, priLen, pub, pubLen);
}

int GenSignature_ED(const unsigned char* pri, int priLen, const unsigned char* msg, int msgLen,
                    const unsigned char* ctx, int ctxLen, unsigned char prehash, unsigned char* sig, int* sigLen) {
  return BCMGenSignature_ED(pri, priLen, msg, msgLen, ctx, ctxLen, prehash, sig, sigLen);
}

int VerifySignature_ED(const unsigned char* sig, int sigLen, const unsigned char* pub, int pubLen,
                       const unsigned char* msg, int msgLen, const unsigned char* ctx, int ctxLen,
                       unsigned char prehash) {
  return BCMVerifySignature_ED(sig, sigLen, pub, pubLen, msg, msgLen, ctx, ctxLen, prehash);
}

// The forwarders that take the same arguments keep the very signature of
// their BCM* export.
#define TV_SAME_SIGNATURE(old, bcm) \
  static_assert(std::is_same_v<decltype(&old), decltype(&bcm)>, #old " and " #bcm " differ")
TV_SAME_SIGNATURE(SwapBytes, BCMSwapBytes);
TV_SAME_SIGNATURE(GenBase64Encode, BCMGenBase64Encode);
TV_SAME_SIGNATURE(GenBase64Decode, BCMGenBase64Decode);
TV_SAME_SIGNATURE(GenHashMessage, BCMGenHashMessage);
TV_SAME_SIGNATURE(GenMnemonic, BCMGenMnemonic);
TV_SAME_SIGNATURE(ConvMnemonicToSeed, BCMConvMnemonicToSeed);
TV_SAME_SIGNATURE(ConvMasterMnemonicToSSSMnemonic, BCMConvMasterMnemonicToSSSMnemonic);
TV_SAME_SIGNATURE(ConvSSSMnemonicToMasterMnemonic, BCMConvSSSMnemonicToMasterMnemonic);
TV_SAME_SIGNATURE(ChkMnemonicValid, BCMChkMnemonicValid);
TV_SAME_SIGNATURE(ChkMnemonicWordValid, BCMChkMnemonicWordValid);
TV_SAME_SIGNATURE(ConvMNemonicToEntropy, BCMConvMnemonicToEntropy);
TV_SAME_SIGNATURE(GenMasterNode_ED, BCMGenMasterNode_ED);
TV_SAME_SIGNATURE(GenCKD_ED, BCMGenCKD_ED);
TV_SAME_SIGNATURE(GenPubkeyFromPriKey_ED, BCMGenPubkeyFromPriKey_ED);
TV_SAME_SIGNATURE(GenSignature_ED, BCMGenSignature_ED);
TV_SAME_SIGNATURE(VerifySignature_ED, BCMVerifySignature_ED);
TV_SAME_SIGNATURE(GetVorlekLastErr, BCMGetLastErr);
TV_SAME_SIGNATURE(GetOstrelVer, BCMGetVer);
#undef TV_SAME_SIGNATURE

// ---- Aliases and no-ops -----------------------------------------------------

// GetVorlekLastErr and GetOstrelVer are aliases defined beside BCMGetLastErr
// (trail.cpp) and BCMGetVer (core_exports.cpp).

void PrintStr(const char*, ...) {}
void BCMPrintStr(const char*, ...) __attribute__((alias("PrintStr")));

int GetTxID(...) { return 0; }
int MerVorlekTx(...) __attribute__((alias("GetTxID")));
int ConvVorlekTxToRawTx(...) __attribute__((alias("GetTxID")));
int GenAddSigData(...) __attribute__((alias("GetTxID")));
int GenRedeems(...) __attribute__((alias("GetTxID")));
int GetVorlekTxInputCount(...) __attribute__((alias("GetTxID")));
int GetVorlekTxInputSigInfo(...) __attribute__((alias("GetTxID")));

// ---- SLIP-44 index ----------------------------------------------------------

uint32_t GetSlip44Index(uint32_t code) { return Slip44Index(code); }

// ---- Drivers of the Bitcoin-family add-on ---------------------------------

namespace {

// The add-on is asked for by a path that is no folder, so the loader falls
// back to the bare file name: the copy next to this library (found through
// its run path) or the system's.
constexpr char kAddBtcRequest[] =
    R"j({"action":"AddModule","addon":"btc","args":{"addon":"btc","libpath":"./libquenmod-btc.dylib"}})j";

// A RunModule result text; wiped and released with FreeMem when it dies.
class ModuleResult {
 public:
  ModuleResult() = default;
  ~ModuleResult() { FreeMem(text_); }
  ModuleResult(const ModuleResult&) = delete;
  ModuleResult& operator=(const ModuleResult&) = delete;
  char** slot() { return &text_; }
  const char* text() const { return text_; }

 private:
  char* text_ = nullptr;
};

class ParsedResult {
 public:
  explicit ParsedResult(const SecureText& text) : tree_(text.data(), text.size()) {}

  // The string at "return" -> `member` of a successful envelope; empty when
  // the text did not parse, the action failed or the member is no string.
  SecureText ReturnMember(std::string_view member) const {
    const json_value* root = tree_.root();
    if (root == nullptr || ValueText(ArgValue(*root, "result"), "result") != "success") return SecureText();
    return ValueText(ArgValue(ArgValue(*root, "return"), member), member);
  }

 private:
  ParsedJson tree_;
};

bool IsServedCode(uint32_t code) { return code == kCoinBTC || code == (kCoinBTC | kCoinTestFlag); }

// Registers the add-on, then runs `action` with the network of `code` and the
// caller's description under `infoKey`. False when either request fails or
// gives no text; otherwise `reply` holds the whole result text.
bool RunBtcAction(uint32_t code, const char* action, const char* infoKey, const char* info, SecureText& reply) {
  {
    ModuleResult added;
    if (RunModule(kAddBtcRequest, added.slot()) != 0) return false;
  }
  SecureText request(R"j({"action":")j");
  request.append(action);
  request.append(R"j(","addon":"btc","args":{"network":")j");
  request.append(code == kCoinBTC ? "main" : "test");
  request.append(R"j(",")j");
  request.append(infoKey);
  request.append(R"j(":)j");
  request.append(info);
  request.append("}}");

  ModuleResult result;
  if (RunModule(request.c_str(), result.slot()) != 0 || result.text() == nullptr) return false;
  reply.assign(result.text());
  return true;
}

// Copies the output when the caller's capacity holds it; nothing is written
// otherwise.
bool CopyOut(const void* data, size_t len, unsigned char* out, uint32_t* outLen) {
  if (len > *outLen) return false;
  if (len != 0) std::memcpy(out, data, len);
  *outLen = static_cast<uint32_t>(len);
  return true;
}

// The caller's description goes into the request as it stands, so it must be
// exactly one JSON value: anything else could end the "args" object early
// and add members of its own to the request.
bool IsOneJsonValue(const char* text) { return IsStrictJson(std::string_view(text)); }

}  // namespace

int GenAddr(uint32_t code, const char* addrinfo, unsigned char* out, uint32_t* outLen) {
  return Unframed(1, [&] {
    if (!IsServedCode(code) || addrinfo == nullptr || out == nullptr || outLen == nullptr) return 1;
    if (!IsOneJsonValue(addrinfo)) return 1;
    SecureText reply;
    if (!RunBtcAction(code, "GenAddr", "addrinfo", addrinfo, reply)) return 1;
    const SecureText addr = ParsedResult(reply).ReturnMember("addr");
    const SecureText& output = addr.empty() ? reply : addr;
    return CopyOut(output.data(), output.size(), out, outLen) ? 0 : 1;
  });
}

int GenRawTx(uint32_t code, const char* txinfo, uint32_t* isText, unsigned char* out, uint32_t* outLen) {
  return Unframed(1, [&] {
    if (!IsServedCode(code) || txinfo == nullptr || isText == nullptr || outLen == nullptr) return 1;
    if (!IsOneJsonValue(txinfo)) return 1;
    SecureText reply;
    if (!RunBtcAction(code, "GenTx", "txinfo", txinfo, reply)) return 1;
    SecureBytes raw;
    {
      const SecureText hex = ParsedResult(reply).ReturnMember("rawtx");
      try {
        ToBytes("rawtx", std::string_view(hex.data(), hex.size()), raw);
      } catch (const ArgumentRefused&) {
        raw.resize(0);
      }
    }
    // A raw transaction that decodes to no bytes (bad hex digits) is no
    // transaction: the caller gets the whole reply to look at instead.
    const bool text = raw.size() == 0;
    if (out == nullptr) {
      // A size query: the length the output needs, nothing else.
      *outLen = static_cast<uint32_t>(text ? reply.size() : raw.size());
      return 0;
    }
    const bool copied = text ? CopyOut(reply.data(), reply.size(), out, outLen)
                             : CopyOut(raw.data(), raw.size(), out, outLen);
    if (!copied) return 1;
    *isText = text ? 1 : 0;
    return 0;
  });
}
