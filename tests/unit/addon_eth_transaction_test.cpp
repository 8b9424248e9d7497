// The unsigned legacy transaction of the eth add-on: field encodings, the
// ERC-20 transfer data, the refusals (each with its error chain), the chain
// id of each coin tag, and the hash that is signed.
#include <gtest/gtest.h>
#include <json/json.h>

#include <string>

#include "command/text/text.h"
#include "common/error_chain.h"
#include "eth/transaction.h"
#include "tolvaris/bcm_core.h"
#include "tv_test.h"

namespace {

using tvt::Hex;
using tvt::Unhex;


const std::string k11 = "0x1111111111111111111111111111111111111111";
const std::string k22 = "0x2222222222222222222222222222222222222222";

// The EIP-155 example transaction, unsigned, with the given changes.
Json::Value Tx(const std::string& changes = "{}") {
  Json::Value tx = tvt::ParseJson(R"({"nonce":"9","gasprice":"20000000000","gaslimit":"21000",
      "to":"0x3535353535353535353535353535353535353535","value":"0x0de0b6b3a7640000",
      "wallet":{"pri":"0x4646464646464646464646464646464646464646464646464646464646464646"}})");
  const Json::Value c = tvt::ParseJson(changes);
  for (const std::string& k : c.getMemberNames()) {
    if (c[k].isNull())
      tx.removeMember(k);
    else
      tx[k] = c[k];
  }
  return tx;
}

// Payload hex, or "!" + the error chain.
std::string Payload(const Json::Value& tx) {
  ResetErrTrail();
  Bytes payload;
  if (GenerateETHUnsignedTx(tx, payload) != 0) return "!" + GetErrTrail();
  EXPECT_EQ(GetErrTrail(), "");
  return Hex(payload);
}

const std::string kHead = "098504a817c800825208";        // nonce 9, gas price, gas limit
const std::string kTo = "943535353535353535353535353535353535353535";
const std::string kOneEther = "880de0b6b3a7640000";

TEST(AddonEthTransaction, FieldsEncodeAsTheChainReadsThem) {
  struct Case {
    const char* what;
    std::string changes, want;
  } cases[] = {
      {"the EIP-155 example", "{}", kHead + kTo + kOneEther + "80"},
      {"nonce 0", R"({"nonce":"0"})", "80" + kHead.substr(2) + kTo + kOneEther + "80"},
      {"nonce 0x0", R"({"nonce":"0x0"})", "80" + kHead.substr(2) + kTo + kOneEther + "80"},
      {"empty nonce reads 0", R"({"nonce":""})", "80" + kHead.substr(2) + kTo + kOneEther + "80"},
      {"hex nonce", R"({"nonce":"0x400"})", "820400" + kHead.substr(2) + kTo + kOneEther + "80"},
      {"largest nonce", R"({"nonce":"18446744073709551615"})",
       "88ffffffffffffffff" + kHead.substr(2) + kTo + kOneEther + "80"},
      // The value is an integer: no leading zero bytes, zero is 0x80.
      {"value 0x00", R"({"value":"0x00"})", kHead + kTo + "80" + "80"},
      {"value 0x0001", R"({"value":"0x0001"})", kHead + kTo + "01" + "80"},
      {"value 0x000001", R"({"value":"0x000001"})", kHead + kTo + "01" + "80"},
      {"value 0x80", R"({"value":"0x0080"})", kHead + kTo + "8180" + "80"},
      {"value of 32 bytes", R"({"value":"0x)" + std::string(64, 'f') + R"("})",
       kHead + kTo + "a0" + std::string(64, 'f') + "80"},
      {"33 bytes with a leading zero", R"({"value":"0x00)" + std::string(64, 'f') + R"("})",
       kHead + kTo + "a0" + std::string(64, 'f') + "80"},
      {"odd digit count", R"({"value":"0x1"})", kHead + kTo + "01" + "80"},
      // An ERC-20 transfer: to is the token, value zero, data the call.
      {"ERC-20 transfer", R"({"contract":{"addr":")" + k11 + R"(","to":")" + k22 + R"(","value":"0x01"}})",
       kHead + "94" + k11.substr(2) + "80" + "b844a9059cbb" + std::string(24, '0') + k22.substr(2) +
           std::string(62, '0') + "01"},
      {"ERC-20 amount with leading zeros", R"({"contract":{"addr":")" + k11 + R"(","to":")" + k22 + R"(","value":"0x0001"}})",
       kHead + "94" + k11.substr(2) + "80" + "b844a9059cbb" + std::string(24, '0') + k22.substr(2) +
           std::string(62, '0') + "01"},
      {"ERC-20 ignores the top-level to and value",
       R"({"to":"","value":"0xzz","contract":{"addr":")" + k11 + R"(","to":")" + k22 + R"(","value":"0x"}})",
       kHead + "94" + k11.substr(2) + "80" + "b844a9059cbb" + std::string(24, '0') + k22.substr(2) +
           std::string(64, '0')},
      {"contract without value is a plain transfer", R"({"contract":{"addr":")" + k11 + R"(","to":")" + k22 + R"("}})",
       kHead + kTo + kOneEther + "80"},
      {"contract that is not an object", R"({"contract":"x"})", kHead + kTo + kOneEther + "80"},
  };
  for (const Case& c : cases) EXPECT_EQ(Payload(Tx(c.changes)), c.want) << c.what;
}

TEST(AddonEthTransaction, RefusalsNameTheField) {
  const std::string F = "!GenerateETHUnsignedTx:";
  const std::string plainTo = R"("to":")" + k11 + "\"";
  struct Case {
    const char* what;
    std::string changes, want;
  } cases[] = {
      {"no description", "null", F + "245[txinfo is invalid(data) !!]"},
      {"nonce as a number", R"({"nonce":9})", F + "245[txinfo is invalid(data) !!]"},
      {"missing gas limit", R"({"gaslimit":null})", F + "245[txinfo is invalid(data) !!]"},
      // Text that is not a number would otherwise be signed as 0.
      {"nonce 12a", R"({"nonce":"12a"})", F + "247[txinfo[nonce] is not a number !!]"},
      {"nonce 0xzz", R"({"nonce":"0xzz"})", F + "247[txinfo[nonce] is not a number !!]"},
      {"nonce 0x alone", R"({"nonce":"0x"})", F + "247[txinfo[nonce] is not a number !!]"},
      {"signed nonce", R"({"nonce":"-1"})", F + "247[txinfo[nonce] is not a number !!]"},
      {"gas price with a blank", R"({"gasprice":" 1"})", F + "247[txinfo[gasprice] is not a number !!]"},
      {"gas limit with an exponent", R"({"gaslimit":"2e4"})", F + "247[txinfo[gaslimit] is not a number !!]"},
      {"gas limit 0X10", R"({"gaslimit":"0X10"})", F + "247[txinfo[gaslimit] is not a number !!]"},
      {"nonce above 2^64-1", R"({"nonce":"18446744073709551616"})", F + "249[txinfo[nonce] is out of range !!]"},
      {"gas price above 2^64-1", R"({"gasprice":"0x10000000000000000"})",
       F + "249[txinfo[gasprice] is out of range !!]"},
      {"gas price 0", R"({"gasprice":"0"})", F + "254[txinfo[gasprice or gaslimit] is zero !!]"},
      {"empty gas limit", R"({"gaslimit":""})", F + "254[txinfo[gasprice or gaslimit] is zero !!]"},
      {"gas limit 0x0", R"({"gaslimit":"0x0"})", F + "254[txinfo[gasprice or gaslimit] is zero !!]"},
      {"empty value", R"({"value":""})", F + "291[txinfo[to or value] is empty !!]"},
      {"value 0x", R"({"value":"0x"})", F + "291[txinfo[to or value] is empty !!]"},
      {"no to", R"({"to":null})", F + "291[txinfo[to or value] is empty !!]"},
      {"to that is not hex", R"({"to":"0x35zz"})", F + "265[txinfo[to] is not 0x hex text !!]"},
      {"value that is not hex", R"({"value":"0x1g"})", F + "265[txinfo[value] is not 0x hex text !!]"},
      // Without "0x" a text would stand for its own bytes: "1" would sign 49
      // wei, twenty letters would be an address.
      {"decimal value", R"({"value":"1"})", F + "265[txinfo[value] is not 0x hex text !!]"},
      {"one ether in decimal", R"({"value":"1000000000000000000"})", F + "265[txinfo[value] is not 0x hex text !!]"},
      {"hex value without 0x", R"({"value":"0de0b6b3a7640000"})", F + "265[txinfo[value] is not 0x hex text !!]"},
      {"value 0X10", R"({"value":"0X10"})", F + "265[txinfo[value] is not 0x hex text !!]"},
      {"twenty letters as to", R"({"to":"abcdefghijklmnopqrst"})", F + "265[txinfo[to] is not 0x hex text !!]"},
      {"to without 0x", R"({"to":")" + k11.substr(2) + R"("})", F + "265[txinfo[to] is not 0x hex text !!]"},
      {"token address of letters", R"({"contract":{"addr":"abcdefghijklmnopqrst","to":")" + k22 + R"(","value":"0x01"}})",
       F + "265[txinfo[contract.addr] is not 0x hex text !!]"},
      {"token recipient of letters", R"({"contract":{"addr":")" + k11 + R"(","to":"abcdefghijklmnopqrst","value":"0x01"}})",
       F + "265[txinfo[contract.to] is not 0x hex text !!]"},
      {"decimal token amount", R"({"contract":{"addr":")" + k11 + R"(","to":")" + k22 + R"(","value":"1"}})",
       F + "265[txinfo[contract.value] is not 0x hex text !!]"},
      // A recipient of another length is no account.
      {"19-byte to", R"({"to":"0x)" + std::string(38, '3') + R"("})", F + "293[txinfo[to] is not 20 bytes !!]"},
      {"21-byte to", R"({"to":"0x)" + std::string(42, '3') + R"("})", F + "293[txinfo[to] is not 20 bytes !!]"},
      {"value over 32 bytes", R"({"value":"0x01)" + std::string(64, '0') + R"("})",
       F + "295[txinfo[value] is over 32 bytes !!]"},
      // An empty token address would create a contract; a short recipient
      // would be padded into another account.
      {"empty token address", R"({"contract":{"addr":"","to":")" + k22 + R"(","value":"0x01"}})",
       F + "276[txinfo[contract.addr] is not 20 bytes !!]"},
      {"21-byte token address", R"({"contract":{"addr":")" + k11 + R"(11","to":")" + k22 + R"(","value":"0x01"}})",
       F + "276[txinfo[contract.addr] is not 20 bytes !!]"},
      {"19-byte token recipient", R"({"contract":{"addr":")" + k11 + R"(","to":"0x)" + std::string(38, '2') +
                                      R"(","value":"0x01"}})",
       F + "278[txinfo[contract.to] is not 20 bytes !!]"},
      {"token amount over 32 bytes", R"({"contract":{"addr":")" + k11 + R"(","to":")" + k22 + R"(","value":"0x)" +
                                         std::string(66, '1') + R"("}})",
       F + "280[txinfo[contract.value] is over 32 bytes !!]"},
      {"token amount not hex", R"({"contract":{"addr":")" + k11 + R"(","to":")" + k22 + R"(","value":"0xq"}})",
       F + "265[txinfo[contract.value] is not 0x hex text !!]"},
  };
  for (const Case& c : cases) {
    const Json::Value tx = c.changes == "null" ? Json::Value() : Tx(c.changes);
    EXPECT_EQ(Payload(tx), c.want) << c.what;
  }
}

// A text that goes on after a NUL character is refused by name, never read
// cut short (the entry records the refusal).
TEST(AddonEthTransaction, TextsHoldingANulAreRefused) {
  for (const char* changes : {R"({"nonce":"1\u00002"})", R"({"to":"0x35\u0000"})", R"({"value":"0x01\u0000ff"})"}) {
    Bytes payload;
    EXPECT_THROW(GenerateETHUnsignedTx(Tx(changes), payload), ArgumentRefused) << changes;
  }
}

TEST(AddonEthTransaction, ChainIdOfEachCoinTag) {
  struct Case {
    const char *coin, *network;
    uint64_t want;
  } cases[] = {{"eth", "main", 0}, {"eth", "test", 0}, {"etc", "main", 61}, {"etc", "test", 62},
               {"etc", "TEST", 61}, {"etc", "", 61}, {"ETC", "test", 0}, {"", "main", 0}, {"btc", "test", 0}};
  for (const Case& c : cases) EXPECT_EQ(EthChainId(c.coin, c.network), c.want) << c.coin << "/" << c.network;
}

Bytes Keccak(const Bytes& data) {
  Bytes d(32);
  int len = 32;
  EXPECT_EQ(BCMGenHashMessage(11, data.data(), static_cast<uint32_t>(data.size()), d.data(), &len), 0);
  return d;
}

TEST(AddonEthTransaction, SigningHashCommitsToTheChainId) {
  const Bytes payload = Unhex(kHead + kTo + kOneEther + "80");
  const size_t n = payload.size();
  struct Case {
    uint64_t chainId;
    std::string tail;
  } cases[] = {{0, ""}, {1, "018080"}, {61, "3d8080"}, {62, "3e8080"}};
  for (const Case& c : cases) {
    const Bytes tail = Unhex(c.tail);
    Bytes preimage = {0xc0};
    preimage[0] = static_cast<unsigned char>(0xc0 + n + tail.size());
    preimage.insert(preimage.end(), payload.begin(), payload.end());
    preimage.insert(preimage.end(), tail.begin(), tail.end());
    Bytes hash;
    ASSERT_EQ(GenerateETHSignatrueHash(payload, c.chainId, hash), 0);
    EXPECT_EQ(Hex(hash), Hex(Keccak(preimage))) << c.chainId;
  }
  // The published EIP-155 example (chain id 1).
  Bytes hash;
  ASSERT_EQ(GenerateETHSignatrueHash(payload, 1, hash), 0);
  EXPECT_EQ(Hex(hash), "daf5a779ae972f972197303d7b574746c7ef83eadac0f2791ad23db92e4c8e53");
}

TEST(AddonEthTransaction, TransferDataPadsRecipientAndAmount) {
  EXPECT_EQ(Hex(MakeERC20TransferData(Unhex(k22.substr(2)), Unhex("01"))),
            "a9059cbb" + std::string(24, '0') + k22.substr(2) + std::string(62, '0') + "01");
  EXPECT_EQ(Hex(MakeERC20TransferData(Unhex(k22.substr(2)), {})),
            "a9059cbb" + std::string(24, '0') + k22.substr(2) + std::string(64, '0'));
}

}  // namespace
