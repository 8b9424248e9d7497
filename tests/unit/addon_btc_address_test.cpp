// "GenAddr" of the Bitcoin-family add-on: published vectors, the request's
// edge cases, and the refusals that keep addresses spendable.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "addon_btc_testing.h"
#include "btc/bech32.h"
#include "common/error_chain.h"

namespace {

using btct::AddrInfo;
using btct::GenAddr;

const std::string kG = "0279BE667EF9DCBBAC55A06295CE870B07029BFCDB2DCE28D959F2815B16F81798";
const std::string kG2 = "02C6047F9441ED7D6D3045406E95C07CD85C778E4B8CEF3CA7ABAC09B95C709EE5";
const std::string kGFull =
    "0479BE667EF9DCBBAC55A06295CE870B07029BFCDB2DCE28D959F2815B16F81798"
    "483ADA7726A3C4655DA4FBFC0E1108A8FD17B448A68554199C47D08FFB10D4B8";
// Compressed keys 3G..17G, for scripts of many keys.
const std::vector<std::string> kMore = {
    "02f9308a019258c31049344f85f89d5229b531c845836f99b08601f113bce036f9",
    "02e493dbf1c10d80f3581e4904930b1404cc6c13900ee0758474fa94abe8c4cd13",
    "022f8bde4d1a07209355b4a7250a5c5128e88b84bddc619ab7cba8d569b240efe4",
    "03fff97bd5755eeea420453a14355235d382f6472f8568a18b2f057a1460297556",
    "025cbdf0646e5db4eaa398f365f2ea7a0e3d419b7e0330e39ce92bddedcac4f9bc",
    "022f01e5e15cca351daff3843fb70f3c2f0a1bdd05e5af888a67784ef3e10a2a01",
    "03acd484e2f0c7f65309ad178a9f559abde09796974c57e714c35f110dfc27ccbe",
    "03a0434d9e47f3c86235477c7b1ae6ae5d3442d49b1943c2b752a68e2a47e247c7",
    "03774ae7f858a9411e5ef4246b70c65aac5649980be5c17891bbec17895da008cb",
    "03d01115d548e7561b15c38f004d734633687cf4419620095bc5b0f47070afe85a",
    "03f28773c2d975288bc7d1d205c3748651b075fbc6610e58cddeeddf8f19405aa8",
    "03499fdf9e895e719cfd64e67f07d38e3226aa7b63678949e6e49b241a60e823e4",
    "02d7924d4f7d43ea965a465ae3095ff41131e5946f3c85f79e44adbcf8e27e080e",
    "03e60fce93b59e9ec53011aabc21c23e97b2a31369b87a5ae9c44ee89e2a6dec0a",
    "03defdea4cdb677750a420fee807eacf21eb9898ae79b9768766e4faa04a2d4a34",
};

// The Part's own vectors: the generator point's key, and its key with that
// of its double as a 1-of-2 script.
TEST(BtcGenAddr, GeneratorPointVectors) {
  const struct {
    std::string info;
    std::string coin;
    std::string addr;
  } cases[] = {
      {AddrInfo({kG}, "p2pkh"), "btc", "1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH"},
      {AddrInfo({kG}, "p2wpkh"), "btc", "bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4"},
      {AddrInfo({kG}, "p2sh(p2wpkh)"), "btc", "3JvL6Ymt8MVWiCNHC7oWU6nLeHNJKLZGLN"},
      {AddrInfo({kG}, "p2pkh(cash)"), "bch", "bitcoincash:qp63uahgrxged4z5jswyt5dn5v3lzsem6cy4spdc2h"},
      {AddrInfo({kG, kG2}, "p2sh", 1), "btc", "38fEX6RbBBMmpu3nbbuULku1xyrrzqqqnE"},
      {AddrInfo({kG, kG2}, "p2wsh", 1), "btc", "bc1qd6e6c86xp56gw8pty8suuqhscpttea2c5m2fggzjkxzk5nl9faks5pehxu"},
      {AddrInfo({kG, kG2}, "p2sh(p2wsh)", 1), "btc", "3JSuZ22mPR2aD5bf77KsGi36V5ar3p87LX"},
      {AddrInfo({kG, kG2}, "p2sh(cash)", 1), "bch", "bitcoincash:ppx89yqmhlkuhphw797sa99ndk7re8eezgank404mj"},
  };
  for (const auto& c : cases) {
    const btct::Reply r = GenAddr(c.info, c.coin);
    EXPECT_EQ(r.rc, 0) << r.text;
    EXPECT_EQ(r.value["addr"].asString(), c.addr) << c.info;
  }
}

TEST(BtcGenAddr, RequestEdgeCases) {
  const std::string one = R"([{"pub":"0x)" + kG + R"("}])";
  const std::string two = R"([{"pub":"0x)" + kG + R"("},{"pub":"0x)" + kG2 + R"("}])";
  const struct {
    std::string info;
    std::string coin;
    std::string network;
    std::string result;  // the address, or the add-on chain of the failure
  } cases[] = {
      // Without "addr_type": p2pkh of exactly one key, "msig" unread.
      {R"({"pubs":)" + one + R"(,"msig":[{"totalsigcnt":"2","needsigcnt":"2"}]})", "btc", "main",
       "1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH"},
      {R"({"pubs":)" + two + R"(,"msig":[{"totalsigcnt":"2","needsigcnt":"2"}]})", "btc", "main",
       "GetPubs:307[object is invalid(pubs)]<=GenAddr_BTC:480[GetPubs Error]<=RunModule_BTC:1845[GenAddr Error]"},
      // 1 of 1 is the bare key.
      {R"({"pubs":)" + one + R"(,"addr_type":"p2pkh","msig":[{"totalsigcnt":"1","needsigcnt":"1"}]})", "btc", "main",
       "1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH"},
      {R"({"pubs":)" + two + R"(,"addr_type":"p2sh","msig":[{"totalsigcnt":"0x2","needsigcnt":"1"}]})", "btc",
       "main", "38fEX6RbBBMmpu3nbbuULku1xyrrzqqqnE"},
      {R"({"pubs":)" + two + R"(,"addr_type":"p2sh","msig":[{"totalsigcnt":"2","needsigcnt":"3"}]})", "btc", "main",
       "GenAddr_BTC:471[msig info is invalid !!]<=RunModule_BTC:1845[GenAddr Error]"},
      {R"({"pubs":)" + two + R"(,"addr_type":"p2sh","msig":[{"totalsigcnt":"3","needsigcnt":"2"}]})", "btc", "main",
       "GenAddr_BTC:464[msig info is invalid !!]<=RunModule_BTC:1845[GenAddr Error]"},
      // "msig" that is not an array of an object is ignored, and so is one that
      // lacks a count; a count of another type is refused.
      {R"({"pubs":)" + two + R"(,"addr_type":"p2sh","msig":{"totalsigcnt":"2","needsigcnt":"1"}})", "btc", "main",
       "GetPubs:307[object is invalid(pubs)]<=GenAddr_BTC:480[GetPubs Error]<=RunModule_BTC:1845[GenAddr Error]"},
      {R"({"pubs":)" + two + R"(,"addr_type":"p2sh","msig":[{"totalsigcnt":"2"}]})", "btc", "main",
       "GetPubs:307[object is invalid(pubs)]<=GenAddr_BTC:480[GetPubs Error]<=RunModule_BTC:1845[GenAddr Error]"},
      {R"({"pubs":)" + two + R"(,"addr_type":"p2sh","msig":[{"totalsigcnt":2,"needsigcnt":1}]})", "btc", "main",
       "RunModule_BTC:1880[totalsigcnt is not a JSON string !!]"},
      {R"({"pubs":["0x)" + kG + R"("],"addr_type":"p2pkh"})", "btc", "main",
       "GetPubs:315[object is not exist(pub)]<=GenAddr_BTC:480[GetPubs Error]<=RunModule_BTC:1845[GenAddr Error]"},
      {R"({"pubs":[{"pub":")" + kG + R"("}],"addr_type":"p2pkh"})", "btc", "main",
       "GetPubs:322[pub is invalid(size is not 33 , 65)]<=GenAddr_BTC:480[GetPubs Error]<=RunModule_BTC:1845[GenAddr Error]"},
      {R"({"pubs":[{"pub":"0x05)" + kG.substr(2) + R"("}],"addr_type":"p2pkh"})", "btc", "main",
       "GetPubs:328[compress pub is invalid(2 or 3 prefix[5])]<=GenAddr_BTC:480[GetPubs Error]<=RunModule_BTC:1845[GenAddr Error]"},
      {R"({"pubs":[{"pub":"0xff)" + kGFull.substr(2) + R"("}],"addr_type":"p2pkh"})", "btc", "main",
       "GetPubs:333[uncompress pub is invalid(4 prefix[-1])]<=GenAddr_BTC:480[GetPubs Error]<=RunModule_BTC:1845[GenAddr Error]"},
      {R"({"pubs":[{"pub":"0x)" + kG + R"("},{"pub":7}],"addr_type":"p2sh","msig":[{"totalsigcnt":"2","needsigcnt":"1"}]})",
       "btc", "main",
       "GetPubs:345[object is not exist(pub)]<=GenAddr_BTC:480[GetPubs Error]<=RunModule_BTC:1845[GenAddr Error]"},
      {R"({"pubs":[{"pub":"0x)" + kG + R"("},{"pub":"0x02"}],"addr_type":"p2sh","msig":[{"totalsigcnt":"2","needsigcnt":"1"}]})",
       "btc", "main",
       "GetPubs:352[pub is invalid(size is not 33 , 65)]<=GenAddr_BTC:480[GetPubs Error]<=RunModule_BTC:1845[GenAddr Error]"},
      {R"({"pubs":[{"pub":"0x)" + kG + R"("},{"pub":"0x04)" + kG.substr(2) + R"("}],"addr_type":"p2sh","msig":[{"totalsigcnt":"2","needsigcnt":"1"}]})",
       "btc", "main",
       "GetPubs:358[compress pub is invalid(2 or 3 prefix[4])]<=GenAddr_BTC:480[GetPubs Error]<=RunModule_BTC:1845[GenAddr Error]"},
      {R"({"pubs":[{"pub":"0x)" + kG + R"("},{"pub":"0x02)" + kGFull.substr(2) + R"("}],"addr_type":"p2sh","msig":[{"totalsigcnt":"2","needsigcnt":"1"}]})",
       "btc", "main",
       "GetPubs:363[uncompress pub is invalid(4 prefix[2])]<=GenAddr_BTC:480[GetPubs Error]<=RunModule_BTC:1845[GenAddr Error]"},
      // Text that is not hex, or holds a NUL, is refused by name.
      {R"({"pubs":[{"pub":"0x02zz"}]})", "btc", "main",
       "GetPubs:318[pub is not hex text !!]<=GenAddr_BTC:480[GetPubs Error]<=RunModule_BTC:1845[GenAddr Error]"},
      {R"({"pubs":[{"pub":"0x)" + kG + R"(\u0000"}]})", "btc", "main",
       "GetPubs:318[pub holds a NUL character !!]<=GenAddr_BTC:480[GetPubs Error]<=RunModule_BTC:1845[GenAddr Error]"},
      {R"({"pubs":[{"pub":"0x)" + kG + R"("},{"pub":"0x)" + kG2.substr(2) + R"( "}],"addr_type":"p2sh","msig":[{"totalsigcnt":"2","needsigcnt":"1"}]})",
       "btc", "main",
       "GetPubs:348[pub is not hex text !!]<=GenAddr_BTC:480[GetPubs Error]<=RunModule_BTC:1845[GenAddr Error]"},
      {R"({"pubs":[{"pub":"0x)" + kG + R"("},{"pub":"0x)" + kG2 + R"("}],"addr_type":"p2sh","msig":[{"totalsigcnt":"2\u0000","needsigcnt":"1"}]})",
       "btc", "main", "GenAddr_BTC:471[msig info is invalid !!]<=RunModule_BTC:1845[GenAddr Error]"},
      {AddrInfo({kG}, "P2WPKH"), "bch", "main",
       "GenerateBTCAddress:382[not support addr type[P2WPKH] !!]<=GenAddr_BTC:487[GenerateAddr Error]<=RunModule_BTC:1845[GenAddr Error]"},
      {AddrInfo({kG}, "p2pkh"), "BTC", "main",
       "GenerateBTCAddress:382[not support addr type[p2pkh] !!]<=GenAddr_BTC:487[GenerateAddr Error]<=RunModule_BTC:1845[GenAddr Error]"},
      {AddrInfo({kG}, "p2pkh(cash)"), "btg", "main",
       "GenerateBTCAddress:382[not support addr type[p2pkh(cash)] !!]<=GenAddr_BTC:487[GenerateAddr Error]<=RunModule_BTC:1845[GenAddr Error]"},
      {AddrInfo({kG}, "p2pkh(cash)"), "ltc", "main",
       "GenerateBTCAddress:382[not support addr type[p2pkh(cash)] !!]<=GenAddr_BTC:487[GenerateAddr Error]<=RunModule_BTC:1845[GenAddr Error]"},
      {AddrInfo({kG}, "p2pkh"), "btc", "TEST", "1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH"},
      {AddrInfo({kG}, "p2pkh"), "btc", "test", "mrCDrCybB6J1vRfbwM5hemdJz73FwDBC8r"},
      {AddrInfo({kG}, "p2wpkh"), "btc", "test", "tb1qw508d6qejxtdg4y5r3zarvary0c5xw7kxpjzsx"},
      {R"({"pubs":{"pub":"0x02"}})", "btc", "main",
       "GenAddr_BTC:443[object is not addrinfo.pubs is invalid !!]<=RunModule_BTC:1845[GenAddr Error]"},
      {R"("0x02")", "btc", "main",
       "GenAddr_BTC:443[object is not addrinfo.pubs is invalid !!]<=RunModule_BTC:1845[GenAddr Error]"},
  };
  for (const auto& c : cases) {
    const btct::Reply r = GenAddr(c.info, c.coin, c.network);
    const bool ok = c.result.find('[') == std::string::npos;
    EXPECT_EQ(r.rc, ok ? 0 : 1) << c.info << "\n" << r.text;
    EXPECT_EQ(ok ? r.value["addr"].asString() : r.Chain(), c.result) << c.info;
    EXPECT_EQ(r.value["network"].asString(), c.network == "test" ? "test" : "main");
  }
}

TEST(BtcGenAddr, MembersReadAreEchoedAsNullWhenAbsent) {
  btct::Reply r = GenAddr(R"({"pubs":[{"pub":"0x)" + kG + R"("}]})");
  EXPECT_EQ(r.text, R"({"addr":"1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH","addrinfo":{"addr_type":null,"pubs":[{"pub":"0x)" +
                        kG + R"("}]},"coin":"btc","network":"main"})");
  r = GenAddr(R"({"pubs":[{"pub":"0x)" + kG + R"("}],"addr_type":"p2pkh","msig":[],"x":"kept"})");
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.value["addrinfo"]["msig"].toStyledString(), "[\n\tnull\n]\n");
  EXPECT_EQ(r.value["addrinfo"]["x"].asString(), "kept");
  // No network: written back as "main".
  r = btct::Send(R"({"action":"GenAddr","args":{"addrinfo":{"pubs":[{"pub":"0x)" + kG + R"("}]}}})");
  EXPECT_EQ(r.value["network"].asString(), "main");
  EXPECT_EQ(r.value["coin"].asString(), "btc");
  // A network text holding a NUL is refused, not read as "test".
  r = GenAddr(R"({"pubs":[{"pub":"0x)" + kG + R"("}]})", "btc", "test\\u0000x");
  EXPECT_EQ(r.rc, 1);
  EXPECT_EQ(r.Chain(), "RunModule_BTC:1880[network holds a NUL character !!]");
  EXPECT_FALSE(r.value.isMember("addr"));
}

// Refusals that keep addresses spendable: the kind of key data must suit the
// type, counts are standard opcodes, scripts fit their push, segwit takes
// compressed keys, and every key is a curve point.
TEST(BtcGenAddr, RefusesAddressesNobodyCouldSpend) {
  std::vector<std::string> keys = {kG, kG2};
  keys.insert(keys.end(), kMore.begin(), kMore.end());
  const std::vector<std::string> fifteen(keys.begin(), keys.begin() + 15);
  const std::vector<std::string> sixteen(keys.begin(), keys.begin() + 16);
  std::vector<std::string> seventeen = sixteen;
  seventeen.push_back(kGFull);

  const std::string unsupported = "<=GenAddr_BTC:487[GenerateAddr Error]<=RunModule_BTC:1845[GenAddr Error]";
  auto refused = [&](const std::string& type) {
    return "GenerateBTCAddress:382[not support addr type[" + type + "] !!]" + unsupported;
  };
  const std::string badCounts = "GenAddr_BTC:471[msig info is invalid !!]<=RunModule_BTC:1845[GenAddr Error]";
  const std::string offCurve = "pub is invalid(not a curve point)]<=GenAddr_BTC:480[GetPubs Error]<=RunModule_BTC:1845[GenAddr Error]";
  const std::string noPoint5 = "02" + std::string(62, '0') + "05";  // x^3 + 7 has no root for x = 5
  std::string wrongY = kGFull;
  wrongY.back() = '9';
  const std::string aboveP = "02" + std::string(56, 'F') + "FFFFFC30";  // p + 1

  const struct {
    std::string info;
    std::string coin;
    std::string result;  // "ok", or the chain
  } cases[] = {
      // A key type over a script, a script type over one key.
      {AddrInfo({kG, kG2}, "p2pkh", 1), "btc", refused("p2pkh")},
      {AddrInfo({kG, kG2}, "p2wpkh", 2), "ltc", refused("p2wpkh")},
      {AddrInfo({kG, kG2}, "P2SH(P2WPKH)", 2), "btg", refused("P2SH(P2WPKH)")},
      {AddrInfo({kG, kG2}, "p2pkh(cash)", 1), "bch", refused("p2pkh(cash)")},
      {AddrInfo({kG, kG2}, "p2pkh(bitpay)", 1), "bsv", refused("p2pkh(bitpay)")},
      {AddrInfo({kG}, "p2sh"), "btc", refused("p2sh")},
      {AddrInfo({kG}, "p2wsh"), "btc", refused("p2wsh")},
      {AddrInfo({kG}, "p2sh(p2wsh)", 1), "ltc", refused("p2sh(p2wsh)")},
      {AddrInfo({kG}, "p2sh(bitpay)"), "bch", refused("p2sh(bitpay)")},
      {AddrInfo({kG}, "p2sh(cash)", 1), "bsv", refused("p2sh(cash)")},
      // Counts: 1 <= m <= n <= 16.
      {AddrInfo(seventeen, "p2wsh", 2), "btc", badCounts},
      // No "msig": one key expected.
      {AddrInfo({kG, kG2}, "p2wsh", 0), "btc",
       "GetPubs:307[object is invalid(pubs)]<=GenAddr_BTC:480[GetPubs Error]<=RunModule_BTC:1845[GenAddr Error]"},
      {R"({"pubs":[{"pub":"0x)" + kG + R"("},{"pub":"0x)" + kG2 +
           R"("}],"addr_type":"p2sh","msig":[{"totalsigcnt":"2","needsigcnt":"0"}]})", "btc", badCounts},
      {R"({"pubs":[{"pub":"0x)" + kG + R"("},{"pub":"0x)" + kG2 +
           R"("}],"addr_type":"p2sh","msig":[{"totalsigcnt":"2","needsigcnt":"-1"}]})", "btc", badCounts},
      {R"({"pubs":[{"pub":"0x)" + kG + R"("},{"pub":"0x)" + kG2 +
           R"("}],"addr_type":"p2sh","msig":[{"totalsigcnt":"2","needsigcnt":"4294967298"}]})", "btc", badCounts},
      {R"({"pubs":[{"pub":"0x)" + kG + R"("},{"pub":"0x)" + kG2 +
           R"("}],"addr_type":"p2sh","msig":[{"totalsigcnt":"99999999999","needsigcnt":"1"}]})", "btc", badCounts},
      {R"({"pubs":[],"addr_type":"p2sh","msig":[{"totalsigcnt":"0","needsigcnt":"0"}]})", "btc", badCounts},
      // A legacy P2SH script must fit one push of 520 bytes: 15 keys do, 16 do not.
      {AddrInfo(fifteen, "p2sh", 15), "btc", "ok"},
      {AddrInfo(sixteen, "p2sh", 16), "btc", refused("p2sh")},
      {AddrInfo(sixteen, "p2sh(bitpay)", 3), "bch", refused("p2sh(bitpay)")},
      {AddrInfo(sixteen, "p2sh(cash)", 3), "bch", refused("p2sh(cash)")},
      {AddrInfo(sixteen, "p2wsh", 16), "btc", "ok"},
      {AddrInfo(sixteen, "p2sh(p2wsh)", 1), "btc", "ok"},
      // Uncompressed keys: legacy only.
      {AddrInfo({kGFull}, "p2pkh"), "btc", "ok"},
      {AddrInfo({kG, kGFull}, "p2sh", 2), "btc", "ok"},
      {AddrInfo({kGFull}, "p2wpkh"), "btc", refused("p2wpkh")},
      {AddrInfo({kGFull}, "p2sh(p2wpkh)"), "ltc", refused("p2sh(p2wpkh)")},
      {AddrInfo({kG, kGFull}, "p2wsh", 1), "btc", refused("p2wsh")},
      {AddrInfo({kGFull, kG}, "p2sh(p2wsh)", 1), "btg", refused("p2sh(p2wsh)")},
      // Curve points only.
      {AddrInfo({noPoint5}, "p2pkh"), "btc", "GetPubs:338[" + offCurve},
      {AddrInfo({wrongY}, "p2pkh"), "btc", "GetPubs:338[" + offCurve},
      {AddrInfo({aboveP}, "p2pkh"), "btc", "GetPubs:338[" + offCurve},
      {AddrInfo({kG, noPoint5}, "p2wsh", 1), "btc", "GetPubs:368[" + offCurve},
      {AddrInfo({kG, wrongY}, "p2sh", 1), "bch", "GetPubs:368[" + offCurve},
  };
  for (const auto& c : cases) {
    const btct::Reply r = GenAddr(c.info, c.coin);
    EXPECT_EQ(r.rc, c.result == "ok" ? 0 : 1) << c.info << "\n" << r.text;
    if (c.result != "ok") {
      EXPECT_EQ(r.Chain(), c.result) << c.info;
    }
  }
}

// BIP 173's valid strings and cashaddr's published examples check out with
// the two checksum routines; a changed character does not.
TEST(BtcChecksums, PublishedVectors) {
  const std::string charset = "qpzry9x8gf2tvdw0s3jn54khce6mua7l";
  auto values = [&](const std::string& data) {
    Bytes v;
    for (char c : data) v.push_back(static_cast<unsigned char>(charset.find(static_cast<char>(std::tolower(c)))));
    return v;
  };
  auto check = [&](const std::string& text, char separator, size_t checksumLen) {
    const size_t at = text.rfind(separator);
    std::string prefix = text.substr(0, at + 1);
    for (char& c : prefix) c = static_cast<char>(std::tolower(c));
    const Bytes all = values(text.substr(at + 1));
    const Bytes data(all.begin(), all.end() - static_cast<long>(checksumLen));
    Bytes sum;
    if (checksumLen == 6)
      GenerateBTCBech32CheckSum(prefix, data, sum);
    else
      GenerateCashAddrCheckSum(prefix, data, sum);
    return sum == Bytes(all.end() - static_cast<long>(checksumLen), all.end());
  };
  for (const std::string& s : std::vector<std::string>{"A12UEL5L", "a12uel5l",
                        "an83characterlonghumanreadablepartthatcontainsthenumber1andtheexcludedcharactersbio1tt5tgs",
                        "abcdef1qpzry9x8gf2tvdw0s3jn54khce6mua7lmqqqxw",
                        "11" + std::string(82, 'q') + "c8247j",
                        "split1checkupstagehandshakeupstreamerranterredcaperred2y9e3w",
                        "bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4",
                        "tb1qrp33g0q5c5txsp9arysrx4k6zdkfs4nce4xj0gdcccefvpysxf3q0sl5k7"}) {
    EXPECT_TRUE(check(s, '1', 6)) << s;
    std::string changed = s;
    changed[changed.size() - 2] = changed[changed.size() - 2] == 'q' ? 'p' : 'q';
    EXPECT_FALSE(check(changed, '1', 6)) << changed;
  }
  // bech32m checksums (constant 0x2bc830a3) are not bech32 checksums.
  EXPECT_FALSE(check("bc1pw508d6qejxtdg4y5r3zarvary0c5xw7kw508d6qejxtdg4y5r3zarvary0c5xw7kt5nd6y", '1', 6));
  for (const char* s : {"prefix:x64nx6hz", "p:gpf8m4h7", "bitcoincash:qpzry9x8gf2tvdw0s3jn54khce6mua7lcw20ayyn",
                        "bchtest:testnetaddress4d6njnut", "bchreg:555555555555555555555555555555555555555555555udxmlmrz",
                        "bitcoincash:qr6m7j9njldwwzlg9v7v53unlr4jkmx6eylep8ekg2",
                        "bchtest:pr6m7j9njldwwzlg9v7v53unlr4jkmx6eyvwc0uz5t",
                        "pref:pr6m7j9njldwwzlg9v7v53unlr4jkmx6ey65nvtks5"}) {
    EXPECT_TRUE(check(s, ':', 8)) << s;
    std::string changed = s;
    changed.back() = changed.back() == 'q' ? 'p' : 'q';
    EXPECT_FALSE(check(changed, ':', 8)) << changed;
  }
}

}  // namespace
