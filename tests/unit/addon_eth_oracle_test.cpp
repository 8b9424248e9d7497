// The eth add-on loaded by the core ("AddModule", by path) and compared,
// through RunModule, with an independent Ethereum library (ethers, pinned in
// tests/oracles/package.json) and a strict decoder (python3-rlp, python3-ecdsa):
// random keys and transactions for "eth", "etc" main and "etc" test, plain
// transfers and ERC-20, values with leading zero bytes, and signatures whose
// r or s is below 2^248.
#include <gtest/gtest.h>
#include <json/json.h>

#include <sstream>
#include <string>
#include <vector>

#include "command/text/text.h"
#include "tolvaris/bcm_hd.h"
#include "tolvaris/bcm_sign.h"
#include "tolvaris/runmodule.h"
#include "tv_test.h"

namespace {

using tvt::Bytes;

const std::string kOracleDir = std::string(TV_ORACLES_DIR) + "/eth";

Json::Value Send(const std::string& request) {
  char* out = nullptr;
  const int rc = RunModule(request.c_str(), &out);
  EXPECT_NE(out, nullptr);
  const Json::Value envelope = tvt::ParseJson(out != nullptr ? out : "{}");
  FreeMem(out);
  EXPECT_EQ(rc, 0) << request << "\n" << envelope;
  EXPECT_EQ(envelope["result"].asString(), "success") << request << "\n" << envelope;
  return envelope["return"];
}

std::string Request(const std::string& action, const Json::Value& args, const std::string& coin) {
  Json::Value r;
  r["action"] = action;
  r["addon"] = "eth";
  if (!coin.empty()) r["coin"] = coin;
  r["args"] = args;
  return Json::FastWriter().write(r);
}

class AddonEthOracle : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Json::Value args;
    args["addon"] = "eth";
    args["libpath"] = TV_OUT_DIR;
    Json::Value r;
    r["action"] = "AddModule";
    r["args"] = args;
    Send(Json::FastWriter().write(r));
  }
};

struct Chain {
  const char* coin;  // top-level "coin"; empty: the add-on name
  const char* network;
  uint64_t chainId;
};
const Chain kChains[] = {{"", "main", 0}, {"etc", "main", 61}, {"etc", "test", 62}};

struct Case {
  Chain chain;
  Bytes pri;
  std::string pub, nonce, gasprice, gaslimit, to, value;
  bool erc20 = false;
  std::string token, tokenTo, tokenValue;
};

std::string Number(tvt::TestRng& rng, int maxBits, bool nonzero) {
  const int bits = static_cast<int>(rng.Below(static_cast<uint32_t>(maxBits))) + 1;
  uint64_t v = bits == 64 ? rng.Next() : rng.Next() & ((1ull << bits) - 1);
  if (nonzero && v == 0) v = 1;
  if (rng.Below(2) == 0) return std::to_string(v);
  std::ostringstream hex;
  hex << "0x" << std::hex << v;
  return hex.str();
}

// Big-endian amount bytes, often with zero bytes in front.
std::string Amount(tvt::TestRng& rng, size_t maxBytes) {
  switch (rng.Below(6)) {
    case 0:
      return "0x00";
    case 1:
      return "0x000001";
    default: {
      const size_t n = rng.Below(static_cast<uint32_t>(maxBytes)) + 1;
      Bytes b(rng.Below(3), 0);
      const Bytes body = rng.RandBytes(n);
      b.insert(b.end(), body.begin(), body.end());
      return BytesToHex(b);
    }
  }
}

std::string PubOf(const Bytes& pri) {
  unsigned char pub[33];
  int len = 33;
  EXPECT_EQ(BCMGenPubkeyFromPriKey(0, pri.data(), 32, pub, &len), 0);
  return BytesToHex(pub, 33);
}

Case RandomCase(tvt::TestRng& rng, const Chain& chain, bool erc20) {
  Case c;
  c.chain = chain;
  c.pri = rng.RandBytes(32);
  c.pub = PubOf(c.pri);
  c.nonce = Number(rng, 53, false);
  c.gasprice = Number(rng, 64, true);
  c.gaslimit = Number(rng, 64, true);
  c.to = BytesToHex(rng.RandBytes(20));
  c.value = Amount(rng, 32);
  if (erc20) {
    c.erc20 = true;
    c.token = BytesToHex(rng.RandBytes(20));
    c.tokenTo = BytesToHex(rng.RandBytes(20));
    c.tokenValue = Amount(rng, 30);  // at most 32 bytes with its zeros
  }
  return c;
}

Json::Value TxInfo(const Case& c, bool withPri) {
  Json::Value tx;
  tx["nonce"] = c.nonce;
  tx["gasprice"] = c.gasprice;
  tx["gaslimit"] = c.gaslimit;
  tx["to"] = c.to;
  tx["value"] = c.value;
  if (c.erc20) {
    tx["contract"]["addr"] = c.token;
    tx["contract"]["to"] = c.tokenTo;
    tx["contract"]["value"] = c.tokenValue;
  }
  if (withPri)
    tx["wallet"]["pri"] = BytesToHex(c.pri);
  else
    tx["wallet"]["pub"] = c.pub;
  return tx;
}

Json::Value Args(const Case& c, bool withPri) {
  Json::Value args;
  args["network"] = c.chain.network;
  args["txinfo"] = TxInfo(c, withPri);
  return args;
}

// The signature the core gives for the case's signing hash.
void CoreSignature(const Case& c, Bytes& r, Bytes& s) {
  const Json::Value u = Send(Request("GenUnsignedTx", Args(c, false), c.chain.coin));
  const Bytes hash = HexToBytes(u["signinfos"][0]["signaturehash"].asString());
  unsigned char rb[33], sb[33];
  int rLen = 33, sLen = 33;
  uint32_t rec = 0;
  ASSERT_EQ(BCMGenSignature(0, c.pri.data(), 32, 0, hash.data(), 32, 0, rb, &rLen, sb, &sLen, &rec), 0);
  r.assign(rb, rb + rLen);
  s.assign(sb, sb + sLen);
}

bool Below2To248(const Bytes& v) { return v.size() == 32 && v[0] == 0; }

std::string OracleLine(const Case& c) {
  Json::Value q;
  q["op"] = "tx";
  q["pri"] = BytesToHex(c.pri);
  q["nonce"] = c.nonce;
  q["gasprice"] = c.gasprice;
  q["gaslimit"] = c.gaslimit;
  q["to"] = c.to;
  q["value"] = c.value == "0x" ? "0x0" : c.value;
  q["chainid"] = std::to_string(c.chain.chainId);
  if (c.erc20) {
    q["erc20"]["token"] = c.token;
    q["erc20"]["to"] = c.tokenTo;
    q["erc20"]["value"] = c.tokenValue;
  }
  Json::Value a;
  a["op"] = "addr";
  a["pub"] = c.pub;
  return Json::FastWriter().write(q) + Json::FastWriter().write(a);
}

std::vector<Json::Value> Lines(const std::string& text) {
  std::vector<Json::Value> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) out.push_back(tvt::ParseJson(line));
  return out;
}

uint64_t ReadNumber(const std::string& text) { return StrToUInt64(text); }

TEST_F(AddonEthOracle, TransactionsAddressesHashesAndIdsMatch) {
  tvt::TestRng rng(0x5eed0e7);
  std::vector<Case> cases;
  for (int i = 0; i < 150; ++i) cases.push_back(RandomCase(rng, kChains[i % 3], (i / 3) % 2 == 1));
  // Nonces searched until r, or s, of the signature is below 2^248: their
  // encodings lose the leading zero byte.
  int shortR = 0, shortS = 0;
  for (int k = 0; k < 6; ++k) {
    Case c = RandomCase(rng, kChains[k % 3], k % 2 == 1);
    const bool wantR = k < 3;
    for (uint64_t nonce = 0; nonce < 4000; ++nonce) {
      c.nonce = std::to_string(nonce);
      Bytes r, s;
      CoreSignature(c, r, s);
      if (wantR ? Below2To248(r) : Below2To248(s)) {
        (wantR ? shortR : shortS)++;
        cases.push_back(c);
        break;
      }
    }
  }
  EXPECT_EQ(shortR, 3);
  EXPECT_EQ(shortS, 3);

  std::string oracleIn, rawList;
  struct Got {
    std::string address, rawtx, hash, txid;
  };
  std::vector<Got> got;
  for (const Case& c : cases) {
    Json::Value addrArgs;
    addrArgs["addrinfo"]["pubs"][0]["pub"] = c.pub;
    Got g;
    g.address = Send(Request("GenAddr", addrArgs, "")).get("addr", "").asString();
    g.rawtx = Send(Request("GenTx", Args(c, true), c.chain.coin)).get("rawtx", "").asString();
    g.hash = Send(Request("GenUnsignedTx", Args(c, false), c.chain.coin))["signinfos"][0]["signaturehash"].asString();
    Json::Value idArgs;
    idArgs["txinfo"]["rawtx"] = g.rawtx;
    g.txid = Send(Request("GenTxID", idArgs, "")).get("txid", "").asString();
    got.push_back(g);
    oracleIn += OracleLine(c);
    rawList += g.rawtx + "\n";
  }
  const std::vector<Json::Value> oracle = Lines(tvt::RunNode(tvt::ReadFile(kOracleDir + "/eth_oracle.js"), oracleIn));
  const std::vector<Json::Value> decoded = Lines(tvt::RunPython(tvt::ReadFile(kOracleDir + "/decode_tx.py"), rawList));
  ASSERT_EQ(oracle.size(), 2 * cases.size());
  ASSERT_EQ(decoded.size(), cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    const Json::Value& tx = oracle[2 * i];
    const Json::Value& addr = oracle[2 * i + 1];
    const Json::Value& d = decoded[i];
    SCOPED_TRACE("case " + std::to_string(i) + " chain " + std::to_string(c.chain.chainId) + " nonce " + c.nonce +
                 " value " + c.value + (c.erc20 ? " erc20 " + c.tokenValue : ""));
    EXPECT_EQ(got[i].address, addr["address"].asString());
    EXPECT_EQ(got[i].rawtx, tx["raw"].asString());
    EXPECT_EQ(got[i].hash, tx["unsignedhash"].asString());
    EXPECT_EQ(got[i].txid, tx["hash"].asString());
    // A node's strict decoding: canonical integers, the sender and chain id.
    ASSERT_TRUE(d["ok"].asBool()) << d["why"].asString() << " " << got[i].rawtx;
    EXPECT_EQ(d["from"].asString(), got[i].address);
    EXPECT_EQ(d["chainid"].asUInt64(), c.chain.chainId);
    EXPECT_EQ(d["nonce"].asString(), std::to_string(ReadNumber(c.nonce)));
    EXPECT_EQ(d["gasprice"].asString(), std::to_string(ReadNumber(c.gasprice)));
    EXPECT_EQ(d["gaslimit"].asString(), std::to_string(ReadNumber(c.gaslimit)));
    EXPECT_EQ(d["to"].asString(), c.erc20 ? c.token : c.to);
    // The ERC-20 data is the library's ABI encoding of transfer(address,uint256).
    EXPECT_EQ(d["data"].asString(), tx["data"].asString());
    if (c.erc20) {
      EXPECT_EQ(d["value"].asString(), "0");
    }
  }
}

}  // namespace
