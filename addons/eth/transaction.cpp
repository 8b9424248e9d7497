#include "eth/transaction.h"

#include <stdexcept>
#include <string>

#include "command/text/text.h"
#include "common/error_chain.h"
#include "common/hashing.h"
#include "common/json_io.h"
#include "eth/address.h"
#include "tolvaris/bcm_core.h"

namespace {

constexpr char kUnsignedTx[] = "GenerateETHUnsignedTx";
constexpr size_t kWordSize = 32;
constexpr unsigned char kTransferSelector[4] = {0xa9, 0x05, 0x9c, 0xbb};

// Nonce, gas price and gas limit: decimal digits or "0x" and hex digits; the
// empty text is 0. Anything else would be signed as a number the caller never
// wrote, so it is refused.
int ReadQuantity(const Json::Value& txinfo, const char* name, uint64_t& value) {
  const std::string text = GetJsonStr(txinfo[name], name);
  if (!IsNumberText(text) || text == "0x")
    return Refuse(kUnsignedTx, 247, std::string("txinfo[") + name + "] is not a number !!");
  try {
    value = StrToUInt64(text);
  } catch (const std::out_of_range&) {
    return Refuse(kUnsignedTx, 249, std::string("txinfo[") + name + "] is out of range !!");
  }
  return 0;
}

// Amounts and addresses are "0x" hex text (the empty text: no bytes). A text
// without the prefix would stand for its own bytes, so "1" would sign 49 wei
// and twenty letters would be taken for an address; a "0x" text with a
// character that is not a hex digit would be read as no bytes. Both are
// refused.
int ReadBytes(const Json::Value& object, const char* key, const char* name, Bytes& bytes) {
  const std::string text = GetJsonStr(object[key], name);
  const bool prefixed = text.size() >= 2 && text[0] == '0' && text[1] == 'x';
  if ((!text.empty() && !prefixed) || !IsHexText(text))
    return Refuse(kUnsignedTx, 265, std::string("txinfo[") + name + "] is not 0x hex text !!");
  bytes = HexToBytes(text);
  return 0;
}

size_t LeadingZeros(const Bytes& bytes) {
  size_t n = 0;
  while (n < bytes.size() && bytes[n] == 0) ++n;
  return n;
}

void AppendWord(const Bytes& bytes, Bytes& out) {
  out.insert(out.end(), kWordSize - bytes.size(), 0);
  out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace

uint64_t EthChainId(std::string_view coin, std::string_view network) {
  if (coin != "etc") return 0;
  return network == "test" ? 62 : 61;
}

Bytes MakeERC20TransferData(const Bytes& recipient, const Bytes& amount) {
  Bytes data(kTransferSelector, kTransferSelector + sizeof kTransferSelector);
  AppendWord(recipient, data);
  AppendWord(amount, data);
  return data;
}

int GenerateETHUnsignedTx(const Json::Value& txinfo, Bytes& payload) {
  if (!txinfo.isObject() || !txinfo["nonce"].isString() || !txinfo["gasprice"].isString() ||
      !txinfo["gaslimit"].isString())
    return Refuse(kUnsignedTx, 245, "txinfo is invalid(data) !!");
  uint64_t nonce = 0, gasPrice = 0, gasLimit = 0;
  if (ReadQuantity(txinfo, "nonce", nonce) != 0 || ReadQuantity(txinfo, "gasprice", gasPrice) != 0 ||
      ReadQuantity(txinfo, "gaslimit", gasLimit) != 0)
    return 1;
  if (gasPrice == 0 || gasLimit == 0) return Refuse(kUnsignedTx, 254, "txinfo[gasprice or gaslimit] is zero !!");
  if (SetTxUulDatas(nonce, payload) != 0 || SetTxUulDatas(gasPrice, payload) != 0 ||
      SetTxUulDatas(gasLimit, payload) != 0)
    return Refuse(kUnsignedTx, 261, "convert to rlp[nonce,gasprice,gaslimit] error !!");

  Bytes to, value, data;
  const Json::Value& contract = txinfo["contract"];
  if (HasJsonStrs(contract, {"addr", "to", "value"}, "contract.")) {
    Bytes token, recipient, amount;
    if (ReadBytes(contract, "addr", "contract.addr", token) != 0 ||
        ReadBytes(contract, "to", "contract.to", recipient) != 0 ||
        ReadBytes(contract, "value", "contract.value", amount) != 0)
      return 1;
    // An empty token address would make a contract creation, and a recipient
    // of another length would move the tokens to some other account.
    if (token.size() != kEthAddressSize) return Refuse(kUnsignedTx, 276, "txinfo[contract.addr] is not 20 bytes !!");
    if (recipient.size() != kEthAddressSize) return Refuse(kUnsignedTx, 278, "txinfo[contract.to] is not 20 bytes !!");
    if (amount.size() > kWordSize) return Refuse(kUnsignedTx, 280, "txinfo[contract.value] is over 32 bytes !!");
    data = MakeERC20TransferData(recipient, amount);
    to = token;
  } else {
    if (ReadBytes(txinfo, "to", "to", to) != 0 || ReadBytes(txinfo, "value", "value", value) != 0) return 1;
    if (to.empty() || value.empty()) return Refuse(kUnsignedTx, 291, "txinfo[to or value] is empty !!");
    if (to.size() != kEthAddressSize) return Refuse(kUnsignedTx, 293, "txinfo[to] is not 20 bytes !!");
    // The value is a uint256: nodes refuse it with leading zero bytes.
    if (value.size() - LeadingZeros(value) > kWordSize)
      return Refuse(kUnsignedTx, 295, "txinfo[value] is over 32 bytes !!");
  }
  if (AppendRLPBytes(to, 0, payload) != 0 || AppendRLPUInt(value, payload) != 0 ||
      AppendRLPBytes(data, 0, payload) != 0)
    return Refuse(kUnsignedTx, 299, "convert to rlp[to,value,contract] error !!");
  return 0;
}

int GenerateETHSignatrueHash(const Bytes& payload, uint64_t chainId, Bytes& hash) {
  constexpr char kFunction[] = "GenerateETHSignatrueHash";
  Bytes preimage = payload;
  if (chainId != 0) {
    // Replay protection: the chain id and two empty strings close the list.
    if (SetTxUulDatas(chainId, preimage) != 0) return Refuse(kFunction, 319, "convert to rlp[unsignedtx] error !!");
    preimage.push_back(0x80);
    preimage.push_back(0x80);
  }
  Bytes list;
  if (AppendRLPBytes(preimage, 1, list) != 0) return Refuse(kFunction, 319, "convert to rlp[unsignedtx] error !!");
  unsigned char digest[64] = {};
  int digestLen = sizeof digest;
  if (BCMGenHashMessage(kHashKeccak256, list.data(), static_cast<uint32_t>(list.size()), digest, &digestLen) != 0)
    return Refuse(kFunction, 328, "BCMGenHashMessage Error !!", 2000);
  hash.assign(digest, digest + digestLen);
  return 0;
}
