// Output scripts from addresses, multisig redeem scripts and the six
// output-script forms of the Bitcoin-family add-on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "btc/address.h"
#include "btc/bech32.h"
#include "btc/params.h"
#include "btc/script.h"
#include "command/text/text.h"
#include "common/error_chain.h"
#include "common/hashing.h"
#include "common/json_io.h"
#include "tolvaris/bcm_codec.h"

namespace {

const std::string kG = "0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";
const std::string kG2 = "02c6047f9441ed7d6d3045406e95c07cd85c778e4b8cef3ca7abac09b95c709ee5";
const std::string kGFull =
    "0479be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798"
    "483ada7726a3c4655da4fbfc0e1108a8fd17b448a68554199c47d08ffb10d4b8";
const std::string kHash = "751e76e8199196d454941c45d1b3a323f1433bd6";  // HASH160 of kG

struct Decoded {
  int rc;
  std::string addrtype, keyhash, scriptpub, chain;
};

Decoded Decode(const std::string& dest, const std::string& coin) {
  Json::Value coinSpec;
  EXPECT_EQ(GetCoinSpec(coinSpec, coin), 0);
  Json::Value output(Json::objectValue);
  output["dest"] = dest;
  ResetErrTrail();
  Decoded d;
  d.rc = MakeScriptPub(output, coinSpec);
  d.addrtype = GetJsonStr(output["addrtype"]);
  d.keyhash = GetJsonStr(output["keyhash"]);
  d.scriptpub = GetJsonStr(output["scriptpub"]);
  d.chain = GetErrTrail();
  return d;
}

// A cash address of any version byte and payload, for the decoder's refusals.
std::string CashAddress(const std::string& prefix, const Bytes& payload) {
  Bytes values((payload.size() * 8 + 1) / 5 + 1);
  uint32_t len = static_cast<uint32_t>(values.size());
  EXPECT_EQ(BCMConvBitToBit(payload.data(), static_cast<uint32_t>(payload.size()), 8, 5, values.data(), &len), 0);
  values.resize(len);
  GenerateCashAddrCheckSum(prefix, values, values);
  std::string text(values.size() * 4 / 3 + 4, '\0');
  len = static_cast<uint32_t>(text.size());
  EXPECT_EQ(BCMGenBase32Encode(values.data(), static_cast<uint32_t>(values.size()), text.data(), &len), 0);
  text.resize(len);
  return prefix + text;
}

TEST(BtcScriptPub, AddressesToScripts) {
  const std::string p2pkh = "0x76a914" + kHash + "88ac";
  const std::string p2wpkh = "0x0014" + kHash;
  const struct {
    std::string dest;
    const char* coin;
    const char* addrtype;
    std::string keyhash;
    std::string scriptpub;
  } cases[] = {
      {"bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4", "btc", "P2WPKH", "0x" + kHash, p2wpkh},
      {"bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4", "bch", "", "", ""},
      {"1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH", "btc", "P2PKH", "0x" + kHash, p2pkh},
      {"mrCDrCybB6J1vRfbwM5hemdJz73FwDBC8r", "btc", "P2PKH", "0x" + kHash, p2pkh},
      {"mrCDrCybB6J1vRfbwM5hemdJz73FwDBC8r", "ltc", "P2PKH", "0x" + kHash, p2pkh},
      {"tb1qw508d6qejxtdg4y5r3zarvary0c5xw7kxpjzsx", "btc", "P2WPKH", "0x" + kHash, p2wpkh},
      {"bc1qW508D6QEJXTDG4Y5R3ZARVARY0C5XW7KV8F3T4", "btc", "P2WPKH", "0x" + kHash, p2wpkh},
      {"bc1qrp33g0q5c5txsp9arysrx4k6zdkfs4nce4xj0gdcccefvpysxf3qccfmv3", "btc", "P2WSH",
       "0x1863143c14c5166804bd19203356da136c985678cd4d27a1b8c6329604903262",
       "0x00201863143c14c5166804bd19203356da136c985678cd4d27a1b8c6329604903262"},
      {"3JvL6Ymt8MVWiCNHC7oWU6nLeHNJKLZGLN", "btc", "P2SH", "0xbcfeb728b584253d5f3f70bcb780e9ef218a68f4",
       "0xa914bcfeb728b584253d5f3f70bcb780e9ef218a68f487"},
      {"bitcoincash:qp63uahgrxged4z5jswyt5dn5v3lzsem6cy4spdc2h", "bch", "P2PKH(CASH)", "0x" + kHash, p2pkh},
      {"bchtest:qp63uahgrxged4z5jswyt5dn5v3lzsem6cq85x00dt", "bsv", "P2PKH(CASH)", "0x" + kHash, p2pkh},
      {"bchtest:pp35nfqcl3zh35g2xu44fdzu9qxv33pc9u35p0gcjl", "bch", "P2SH(CASH)",
       "0x6349a418fc4578d10a372b54b45c280cc8c4382f", "0xa9146349a418fc4578d10a372b54b45c280cc8c4382f87"},
      {"CT9A8CEgF7qJ3T6QuXSFQN31kEexxxa2oX", "bch", "P2PKH(BITPAY)", "0x" + kHash, p2pkh},
      {"1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH", "bsv", "P2PKH", "0x" + kHash, p2pkh},
  };
  for (const auto& c : cases) {
    const Decoded d = Decode(c.dest, c.coin);
    EXPECT_EQ(d.rc, *c.addrtype ? 0 : 1) << c.dest << " " << d.chain;
    EXPECT_EQ(d.addrtype, c.addrtype) << c.dest;
    EXPECT_EQ(d.keyhash, c.keyhash) << c.dest;
    EXPECT_EQ(d.scriptpub, c.scriptpub) << c.dest;
  }
}

TEST(BtcScriptPub, RefusedAddresses) {
  Bytes version16(21, 0x11);
  version16[0] = 0x10;
  Bytes version8Long(33, 0x11);
  version8Long[0] = 0x0b;  // P2SH with a 32-byte hash
  Bytes p2pkhPayload(21, 0x22);
  p2pkhPayload[0] = 0x00;
  const std::string cashOk = CashAddress("bitcoincash:", p2pkhPayload);
  const struct {
    std::string dest;
    const char* coin;
    std::string chain;
  } cases[] = {
      {"1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH", "ltc",
       "MakeScriptPub:611[ltclegacy addr[1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH] is invalid !!]"},
      {"3JvL6Ymt8MVWiCNHC7oWU6nLeHNJKLZGLN", "btg",
       "MakeScriptPub:611[btglegacy addr[3JvL6Ymt8MVWiCNHC7oWU6nLeHNJKLZGLN] is invalid !!]"},
      {"bitcoincash:qp63uahgrxged4z5jswyt5dn5v3lzsem6cy4spdc2h", "btc",
       "MakeScriptPub:585[[bitcoincash:qp63uahgrxged4z5jswyt5dn5v3lzsem6cy4spdc2h] BCMGenBase58CheckDecode Error !!]"},
      {"BC1QW508D6QEJXTDG4Y5R3ZARVARY0C5XW7KV8F3T4", "btc",
       "MakeScriptPub:585[[BC1QW508D6QEJXTDG4Y5R3ZARVARY0C5XW7KV8F3T4] BCMGenBase58CheckDecode Error !!]"},
      {"bc1pw508d6qejxtdg4y5r3zarvary0c5xw7kw508d6qejxtdg4y5r3zarvary0c5xw7kt5nd6y", "btc",
       "MakeScriptPub:544[invalid witness version [1]!!]"},
      {"bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t5", "btc", "MakeScriptPub:556[Bech32 is invalid(checksum) !!]"},
      {"bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3tb", "btc", "MakeScriptPub:534[BCMGenBase32Decode Error !!]"},
      {"", "btc", "MakeScriptPub:585[[] BCMGenBase58CheckDecode Error !!]"},
      {"1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMh", "btc",
       "MakeScriptPub:585[[1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMh] BCMGenBase58CheckDecode Error !!]"},
      {"111111111111111111114oLvT2", "btc",
       "MakeScriptPub:585[[111111111111111111114oLvT2] BCMGenBase58CheckDecode Error !!]"},
      {"bc1", "btc", "MakeScriptPub:573[bech32 addr[bc1] is invalid !!]"},
      {"bc1qqqqqq", "btc", "MakeScriptPub:573[bech32 addr[bc1qqqqqq] is invalid !!]"},
      // A 16-byte program (BIP 173's "tb1qrp..." style test of other lengths).
      {"bc1qqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqq", "btc", ""},
      {"ltc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4", "ltc", "MakeScriptPub:556[Bech32 is invalid(checksum) !!]"},
      {"bitcoincash:qqqq", "bch", "MakeScriptPubCash:222[bech32 addr[bitcoincash:qqqq] is invalid !!]"},
      {"bitcoincash:", "bch", "MakeScriptPubCash:222[bech32 addr[bitcoincash:] is invalid !!]"},
      {CashAddress("bitcoincash:", version16), "bch",
       "MakeScriptPubCash:222[bech32 addr[" + CashAddress("bitcoincash:", version16) + "] is invalid !!]"},
      {CashAddress("bitcoincash:", version8Long), "bch",
       "MakeScriptPubCash:222[bech32 addr[" + CashAddress("bitcoincash:", version8Long) + "] is invalid !!]"},
      {cashOk.substr(0, cashOk.size() - 1) + (cashOk.back() == 'q' ? "p" : "q"), "bch",
       "MakeScriptPubCash:207[Bech32 is invalid(checksum) !!]"},
      {"bitcoincash:qp63uahgrxged4z5jswyt5dn5v3lzsem6cy4spdc2b", "bsv", "MakeScriptPubCash:190[BCMGenBase32Decode Error !!]"},
      {"LM2WMpR1Rp6j3Sa59cMXMs1SPzj9eXpGc1", "bch",
       "MakeScriptPubCash:262[legacy addr[LM2WMpR1Rp6j3Sa59cMXMs1SPzj9eXpGc1] is invalid !!]"},
      {"", "bsv", "MakeScriptPubCash:243[[] BCMGenBase58CheckDecode Error !!]"},
  };
  for (const auto& c : cases) {
    const Decoded d = Decode(c.dest, c.coin);
    if (c.chain.empty()) {
      // The length check: only 20- and 32-byte programs are addresses.
      EXPECT_EQ(d.rc, 1) << c.dest;
      EXPECT_EQ(d.chain.rfind("MakeScriptPub:5", 0), 0u) << d.chain;
      continue;
    }
    EXPECT_EQ(d.rc, 1) << c.dest;
    EXPECT_EQ(d.chain, c.chain) << c.dest;
    EXPECT_EQ(d.scriptpub, "") << c.dest;
  }
  Json::Value output(Json::objectValue);
  ResetErrTrail();
  EXPECT_EQ(MakeScriptPub(output, Json::Value(Json::objectValue)), 1);
  EXPECT_EQ(GetErrTrail(), "MakeScriptPub:514[invalid coin spec info !!]");
}

Bytes Unhex(const std::string& hex) { return HexToBytes("0x" + hex); }

Bytes Script(const std::string& hex) { return Unhex(hex); }

TEST(BtcRedeemScript, WellFormedMultisigOnly) {
  const std::string k1 = "21" + kG, k2 = "21" + kG2, u1 = "41" + kGFull;
  const struct {
    std::string script;
    const char* chain;  // empty: valid
  } cases[] = {
      {"52" + k1 + k2 + "52ae", ""},
      {"51" + k1 + k2 + "52ae", ""},
      {"51" + u1 + u1 + "52ae", ""},
      {"51" + k1 + "51ae", ""},
      {"52" + k1 + "41" + kGFull + "52ae", "IsRedeemScript:638[redeem script is invalid(publen) !!]"},
      {"53" + k1 + k2 + "52ae", "IsRedeemScript:629[redeem script is invalid(format) !!]"},
      {"00" + k1 + k2 + "52ae", "IsRedeemScript:629[redeem script is invalid(format) !!]"},
      {"50" + k1 + k2 + "52ae", "IsRedeemScript:629[redeem script is invalid(format) !!]"},
      {"61" + k1 + k2 + "61ae", "IsRedeemScript:629[redeem script is invalid(format) !!]"},
      {"52" + k1 + k2 + "52ad", "IsRedeemScript:629[redeem script is invalid(format) !!]"},
      {"52ae", "IsRedeemScript:629[redeem script is invalid(format) !!]"},
      {"", "IsRedeemScript:629[redeem script is invalid(format) !!]"},
      {"5222ae", "IsRedeemScript:629[redeem script is invalid(format) !!]"},
      // Trailing bytes after the real end, even ending in the same OP_n OP_CHECKMULTISIG.
      {"52" + k1 + k2 + "52ae" + "0052ae", "IsRedeemScript:647[redeem script is invalid(format) !!]"},
      {"51" + k1 + k2 + "51ae", "IsRedeemScript:647[redeem script is invalid(format) !!]"},
      {"51" + k1 + k2 + "53ae", "IsRedeemScript:638[redeem script is invalid(publen) !!]"},
      {"51" + k1 + "2104" + kG.substr(2) + "52ae", "IsRedeemScript:638[redeem script is invalid(publen) !!]"},
      {"51" + u1.substr(0, 2) + "02" + kGFull.substr(2) + "51ae", "IsRedeemScript:638[redeem script is invalid(publen) !!]"},
      {"5121" + kG.substr(0, 20) + "51ae", "IsRedeemScript:638[redeem script is invalid(publen) !!]"},
  };
  for (const auto& c : cases) {
    ResetErrTrail();
    EXPECT_EQ(IsRedeemScript(Script(c.script)), *c.chain ? 1 : 0) << c.script;
    EXPECT_EQ(GetErrTrail(), c.chain) << c.script;
  }

  std::vector<Bytes> keys;
  int n = 0, m = 0;
  ASSERT_EQ(GetRedeemInfo(Script("51" + k1 + k2 + "52ae"), keys, n, m), 0);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(m, 1);
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[1], Unhex(kG2));
  ResetErrTrail();
  EXPECT_EQ(GetRedeemInfo(Script("53" + k1 + k2 + "52ae"), keys, n, m), 1);
  EXPECT_EQ(GetErrTrail(),
            "IsRedeemScript:629[redeem script is invalid(format) !!]<=GetRedeemInfo:783[IsRedeemScript Error !!]");

  int index = -1;
  EXPECT_EQ(FindRedeemIdx(Unhex(kG2), {Unhex(kG), Unhex(kG2), Unhex(kG2)}, index), 0);
  EXPECT_EQ(index, 1);
  ResetErrTrail();
  EXPECT_EQ(FindRedeemIdx(Unhex(kGFull), {Unhex(kG), Unhex(kG2)}, index), 1);
  EXPECT_EQ(GetErrTrail(), "FindRedeemIdx:815[RedeemIdx Find Error !!]");
}

TEST(BtcOutputForms, EachFormMatchesItsOwnScriptOnly) {
  const Bytes key = Unhex(kG);
  const Bytes redeem = Script("51" + std::string("21") + kG + "21" + kG2 + "52ae");
  // The six scripts, from the address encoders' own building blocks.
  Bytes h160, wpkhHash, wshProgram, wshHash, wpkhProgram;
  ASSERT_EQ(GenerateHash(key, 1, h160), 0);
  ASSERT_EQ(MakeWitnessHash(key, 1, wpkhHash), 0);
  ASSERT_EQ(MakeWitnessProgram(key, 1, wpkhProgram), 0);
  Bytes redeemHash;
  ASSERT_EQ(GenerateHash(redeem, 1, redeemHash), 0);
  ASSERT_EQ(MakeWitnessHash(redeem, 0, wshHash), 0);
  ASSERT_EQ(MakeWitnessProgram(redeem, 0, wshProgram), 0);
  auto wrap = [](const std::string& head, const Bytes& h, const std::string& tail) {
    return Script(head + BytesToHex(h).substr(2) + tail);
  };
  const Bytes scripts[6] = {wrap("76a914", h160, "88ac"), wrap("a914", wpkhHash, "87"), wpkhProgram,
                            wrap("a914", redeemHash, "87"), wrap("a914", wshHash, "87"), wshProgram};
  EXPECT_EQ(BytesToHex(scripts[0]), "0x76a914" + kHash + "88ac");
  EXPECT_EQ(BytesToHex(scripts[2]), "0x0014" + kHash);

  using Test = int (*)(const Bytes&, const Bytes&);
  const struct {
    Test test;
    const Bytes* data;
    const char* form;   // the form failure's entry
    const char* value;  // the value failure's entry
  } forms[6] = {
      {IsP2PKHScriptPub, &key, "IsP2PKHScriptPub:661[p2pkh script is invaild(format) !!]",
       "IsP2PKHScriptPub:669[p2pkh script is invaild(keyhash) !!]"},
      {IsP2SH_P2WPKHScriptPub, &key, "IsP2SH_P2WPKHScriptPub:681[p2sh(p2wpkh) script is invaild(format) !!]",
       "IsP2SH_P2WPKHScriptPub:689[p2sh(p2wpkh) script is invaild(keyhash) !!]"},
      {IsP2WPKHScriptPub, &key, "IsP2WPKHScriptPub:701[p2wpkh script is invaild(format) !!]",
       "IsP2WPKHScriptPub:709[p2wpkh script is invaild(keyhash) !!]"},
      {IsP2SHScriptPub, &redeem, "IsP2SHScriptPub:722[p2sh script is invaild(format) !!]",
       "IsP2SHScriptPub:730[p2sh script is invaild(scripthash) !!]"},
      {IsP2SH_P2WSHScriptPub, &redeem, "IsP2SH_P2WSHScriptPub:743[p2sh(p2wsh) script is invaild(format) !!]",
       "IsP2SH_P2WSHScriptPub:751[p2sh(p2wsh) script is invaild(scripthash) !!]"},
      {IsP2WSHScriptPub, &redeem, "IsP2WSHScriptPub:763[p2wsh script is invaild(format) !!]",
       "IsP2WSHScriptPub:771[p2wsh script is invaild(scripthash) !!]"},
  };
  for (int f = 0; f < 6; ++f) {
    for (int s = 0; s < 6; ++s) {
      ResetErrTrail();
      const int rc = forms[f].test(*forms[f].data, scripts[s]);
      // P2SH and P2SH(P2WPKH)/P2SH(P2WSH) share a form: those fail on the value.
      const bool sameForm = (f == 1 || f == 3 || f == 4) && (s == 1 || s == 3 || s == 4);
      EXPECT_EQ(rc, f == s ? 0 : 1) << f << " " << s;
      if (f != s) {
        EXPECT_EQ(GetErrTrail(), sameForm ? forms[f].value : forms[f].form) << f << " " << s;
      }
    }
    // The right form over other data.
    ResetErrTrail();
    const Bytes other = f < 3 ? Unhex(kG2) : Script("51" + std::string("21") + kG2 + "21" + kG + "52ae");
    EXPECT_EQ(forms[f].test(other, scripts[f]), 1);
    EXPECT_EQ(GetErrTrail(), forms[f].value) << f;
  }
  // A malformed redeem script leaves its own entry first.
  ResetErrTrail();
  EXPECT_EQ(IsP2WSHScriptPub(Script("00"), scripts[5]), 1);
  EXPECT_EQ(GetErrTrail(), "IsRedeemScript:629[redeem script is invalid(format) !!]<=" + std::string(forms[5].form));
}

}  // namespace
