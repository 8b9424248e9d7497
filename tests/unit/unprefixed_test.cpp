// The unprefixed exports: SLIP-44 index, forwarders (argument order and the
// constants they supply), no-ops, and the GenAddr / GenRawTx drivers run
// against a test add-on named btc.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <json/json.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include "tolvaris/bcm_aes.h"
#include "tolvaris/bcm_codec.h"
#include "tolvaris/bcm_core.h"
#include "tolvaris/bcm_hd.h"
#include "tolvaris/bcm_mnemonic.h"
#include "tolvaris/bcm_sign.h"
#include "tolvaris/unprefixed.h"
#include "tv_test.h"

namespace {

using tvt::Bytes;
namespace fs = std::filesystem;

TEST(Slip44, TableWithAndWithoutTestFlag) {
  struct Case {
    uint32_t code, want;
  } cases[] = {
      {0, 0},          {1, 60},         {2, 145},        {3, 61},         {4, 2},
      {5, 144},        {6, 194},        {7, 236},        {8, 156},        {0x0F000000, 0x0F000000},
      {0x0F000001, 0x0F00003C}, {0x0F000002, 0x0F000091}, {0x0F000003, 0x0F00003D}, {0x0F000004, 0x0F000002},
      {0x0F000005, 0x0F000090}, {0x0F000006, 0x0F0000C2}, {0x0F000007, 0x0F0000EC}, {0x0F000008, 0x0F00009C},
      // Unknown coins, and flags that are not exactly the test flag.
      {9, 0xFFFFFFFF}, {0x0F000009, 0xFFFFFFFF}, {0x01000000, 0xFFFFFFFF}, {0x0E000001, 0xFFFFFFFF},
      {0x1F000000, 0xFFFFFFFF}, {0xF0000000, 0xFFFFFFFF}, {0xFFFFFFFF, 0xFFFFFFFF}, {0x100, 0xFFFFFFFF},
  };
  for (const Case& c : cases) EXPECT_EQ(GetSlip44Index(c.code), c.want) << std::hex << c.code;
}

Bytes Seed() {
  Bytes seed(64);
  for (size_t i = 0; i < seed.size(); ++i) seed[i] = static_cast<unsigned char>(i * 7 + 1);
  return seed;
}

struct Node {
  Bytes pri = Bytes(32), pub = Bytes(33), chain = Bytes(32);
  int priLen = 32, pubLen = 33, chainLen = 32;
};

TEST(UnprefixedKeys, LeafNodeIsBip44PathOnSecp256k1) {
  const Bytes seed = Seed();
  Node leaf, path, bcm, walked;
  ASSERT_EQ(GenLeafNode(60, seed.data(), 64, 5, leaf.pri.data(), &leaf.priLen, leaf.pub.data(), &leaf.pubLen,
                        leaf.chain.data(), &leaf.chainLen),
            0);
  ASSERT_EQ(GenPathLeafNode(44, 60, 0, 0, 5, seed.data(), 64, path.pri.data(), &path.priLen, path.pub.data(),
                            &path.pubLen, path.chain.data(), &path.chainLen),
            0);
  ASSERT_EQ(BCMGenPathLeafNode(0, seed.data(), 64, 44, 60, 0, 0, 5, bcm.pri.data(), &bcm.priLen, bcm.pub.data(),
                               &bcm.pubLen, bcm.chain.data(), &bcm.chainLen),
            0);
  // The same leaf walked one level at a time: m/44'/60'/0'/0/5.
  ASSERT_EQ(GenMasterNode(seed.data(), 64, walked.pri.data(), &walked.priLen, walked.pub.data(), &walked.pubLen,
                          walked.chain.data(), &walked.chainLen),
            0);
  for (uint32_t index : {0x8000002Cu, 0x8000003Cu, 0x80000000u, 0u, 5u}) {
    Node child;
    ASSERT_EQ(GenCKD(walked.pri.data(), 32, walked.pub.data(), 33, walked.chain.data(), 32, index,
                     child.pri.data(), &child.priLen, child.pub.data(), &child.pubLen, child.chain.data(),
                     &child.chainLen),
              0)
        << tvt::LastErr();
    walked = child;
  }
  for (const Node* n : {&path, &bcm, &walked}) {
    EXPECT_EQ(tvt::Hex(n->pri), tvt::Hex(leaf.pri));
    EXPECT_EQ(tvt::Hex(n->pub), tvt::Hex(leaf.pub));
    EXPECT_EQ(tvt::Hex(n->chain), tvt::Hex(leaf.chain));
  }
  // A different purpose gives a different leaf.
  ASSERT_EQ(GenPathLeafNode(49, 60, 0, 0, 5, seed.data(), 64, path.pri.data(), &path.priLen, path.pub.data(),
                            &path.pubLen, path.chain.data(), &path.chainLen),
            0);
  EXPECT_NE(tvt::Hex(path.pri), tvt::Hex(leaf.pri));
  // Each path level reaches its own place: account and change apart, the
  // index apart from the coin.
  const struct {
    uint32_t purpose, coin, account, change, index;
  } paths[] = {{44, 60, 1, 0, 5}, {44, 60, 0, 1, 5}, {44, 5, 0, 0, 60}};
  std::set<std::string> leaves = {tvt::Hex(leaf.pri)};
  for (const auto& p : paths) {
    Node got, want;
    ASSERT_EQ(GenPathLeafNode(p.purpose, p.coin, p.account, p.change, p.index, seed.data(), 64, got.pri.data(),
                              &got.priLen, got.pub.data(), &got.pubLen, got.chain.data(), &got.chainLen),
              0);
    ASSERT_EQ(BCMGenPathLeafNode(0, seed.data(), 64, p.purpose, p.coin, p.account, p.change, p.index,
                                 want.pri.data(), &want.priLen, want.pub.data(), &want.pubLen, want.chain.data(),
                                 &want.chainLen),
              0);
    EXPECT_EQ(tvt::Hex(got.pri), tvt::Hex(want.pri));
    EXPECT_EQ(tvt::Hex(got.chain), tvt::Hex(want.chain));
    leaves.insert(tvt::Hex(got.pri));
  }
  EXPECT_EQ(leaves.size(), 4u);

  // The public child of the last normal level agrees with the private one.
  Node parent;
  ASSERT_EQ(GenLeafNode(60, seed.data(), 64, 5, parent.pri.data(), &parent.priLen, parent.pub.data(),
                        &parent.pubLen, parent.chain.data(), &parent.chainLen),
            0);
  Bytes pub(33), chain(32), fromPri(33);
  int pubLen = 33, chainLen = 32, fromPriLen = 33;
  ASSERT_EQ(GenCKDPub(parent.pub.data(), 33, parent.chain.data(), 32, 7, pub.data(), &pubLen, chain.data(),
                      &chainLen),
            0);
  Node priChild;
  ASSERT_EQ(GenCKD(parent.pri.data(), 32, parent.pub.data(), 33, parent.chain.data(), 32, 7, priChild.pri.data(),
                   &priChild.priLen, priChild.pub.data(), &priChild.pubLen, priChild.chain.data(),
                   &priChild.chainLen),
            0);
  EXPECT_EQ(tvt::Hex(pub), tvt::Hex(priChild.pub));
  ASSERT_EQ(GenPubkeyFromPriKey(priChild.pri.data(), 32, fromPri.data(), &fromPriLen), 0);
  EXPECT_EQ(tvt::Hex(fromPri), tvt::Hex(priChild.pub));
}

TEST(UnprefixedKeys, SignatureForwardersUseSecp256k1) {
  const Bytes seed = Seed();
  Node n;
  ASSERT_EQ(GenLeafNode(0, seed.data(), 64, 0, n.pri.data(), &n.priLen, n.pub.data(), &n.pubLen, n.chain.data(),
                        &n.chainLen),
            0);
  const Bytes msg = tvt::FromText("unprefixed");
  Bytes r(33), s(33), r2(33), s2(33);
  int rLen = 33, sLen = 33, r2Len = 33, s2Len = 33;
  uint32_t recid = 9, recid2 = 9;
  ASSERT_EQ(GenSignature(n.pri.data(), 32, 1, msg.data(), static_cast<int>(msg.size()), 0, r.data(), &rLen,
                         s.data(), &sLen, &recid),
            0);
  ASSERT_EQ(BCMGenSignature(0, n.pri.data(), 32, 1, msg.data(), static_cast<int>(msg.size()), 0, r2.data(), &r2Len,
                            s2.data(), &s2Len, &recid2),
            0);
  EXPECT_EQ(tvt::Hex(r.data(), rLen), tvt::Hex(r2.data(), r2Len));
  EXPECT_EQ(tvt::Hex(s.data(), sLen), tvt::Hex(s2.data(), s2Len));
  EXPECT_EQ(recid, recid2);
  EXPECT_EQ(VerifySignature(n.pub.data(), 33, r.data(), rLen, s.data(), sLen, 1, msg.data(),
                            static_cast<int>(msg.size())),
            0);
  // Under P-256 the same key signs differently: the forwarder did not pass 1.
  Bytes rp(33), sp(33);
  int rpLen = 33, spLen = 33;
  uint32_t recidp = 0;
  ASSERT_EQ(BCMGenSignature(1, n.pri.data(), 32, 1, msg.data(), static_cast<int>(msg.size()), 0, rp.data(), &rpLen,
                            sp.data(), &spLen, &recidp),
            0);
  EXPECT_NE(tvt::Hex(rp.data(), rpLen), tvt::Hex(r.data(), rLen));
  EXPECT_NE(VerifySignature(n.pub.data(), 33, rp.data(), rpLen, sp.data(), spLen, 1, msg.data(),
                            static_cast<int>(msg.size())),
            0);

  // Ed25519 under the old names.
  Node ed;
  ed.pubLen = 32;
  ASSERT_EQ(GenMasterNode_ED(seed.data(), 64, ed.pri.data(), &ed.priLen, ed.pub.data(), &ed.pubLen,
                             ed.chain.data(), &ed.chainLen),
            0);
  Bytes edPub(32), sig(64);
  int edPubLen = 32, sigLen = 64;
  ASSERT_EQ(GenPubkeyFromPriKey_ED(ed.pri.data(), 32, edPub.data(), &edPubLen), 0);
  EXPECT_EQ(tvt::Hex(edPub), tvt::Hex(ed.pub.data(), 32));
  ASSERT_EQ(GenSignature_ED(ed.pri.data(), 32, msg.data(), static_cast<int>(msg.size()), nullptr, 0, 0, sig.data(),
                            &sigLen),
            0);
  EXPECT_EQ(VerifySignature_ED(sig.data(), 64, edPub.data(), 32, msg.data(), static_cast<int>(msg.size()), nullptr,
                               0, 0),
            0);
  Node edChild;
  edChild.pubLen = 32;
  ASSERT_EQ(GenCKD_ED(ed.pri.data(), 32, ed.pub.data(), 32, ed.chain.data(), 32, 0x80000001u, edChild.pri.data(),
                      &edChild.priLen, edChild.pub.data(), &edChild.pubLen, edChild.chain.data(),
                      &edChild.chainLen),
            0);
  EXPECT_NE(tvt::Hex(edChild.pri), tvt::Hex(ed.pri));
}

TEST(UnprefixedCodecs, ArgumentOrderAndConstants) {
  const Bytes data = {0x00, 0x01, 0xab, 0xcd, 0xef};

  char hex[16] = {0};
  uint32_t hexLen = sizeof hex;
  ASSERT_EQ(ConvByteArrToHexStr(hex, &hexLen, data.data(), 5), 0);
  EXPECT_EQ(std::string(hex, hexLen), "0001abcdef");  // lower-case digits
  unsigned char back[8] = {0};
  uint32_t backLen = sizeof back;
  ASSERT_EQ(ConvHexStrToByteArr(back, &backLen, "0001ABCDEF"), 0);
  EXPECT_EQ(tvt::Hex(back, backLen), "0001abcdef");

  char b64[16] = {0};
  uint32_t b64Len = sizeof b64;
  ASSERT_EQ(GenBase64Encode(data.data(), 5, b64, &b64Len), 0);
  EXPECT_STREQ(b64, "AAGrze8=");
  unsigned char b64Back[16];
  uint32_t b64BackLen = sizeof b64Back;
  ASSERT_EQ(GenBase64Decode("AAGrze8=", b64Back, &b64BackLen), 0);
  EXPECT_EQ(tvt::Hex(b64Back, b64BackLen), "0001abcdef");

  // Base58Check: Bitcoin alphabet by default, XRP's under the XRP names.
  struct Alpha {
    int (*enc)(const unsigned char*, uint32_t, char*, uint32_t*);
    int (*dec)(const char*, unsigned char*, uint32_t*);
    uint32_t alphabet;
  } alphas[] = {{GenBase58CheckEncode, GenBase58CheckDecode, 0}, {GenXRPBase58CheckEncode, GenXRPBase58CheckDecode, 1}};
  std::string texts[2];
  for (int i = 0; i < 2; ++i) {
    char text[64] = {0}, want[64] = {0};
    uint32_t textLen = sizeof text, wantLen = sizeof want;
    ASSERT_EQ(alphas[i].enc(data.data(), 5, text, &textLen), 0);
    ASSERT_EQ(BCMGenBase58CheckEncode(alphas[i].alphabet, data.data(), 5, want, &wantLen), 0);
    EXPECT_EQ(std::string(text, textLen), std::string(want, wantLen));
    unsigned char payload[64];
    uint32_t payloadLen = sizeof payload;
    ASSERT_EQ(alphas[i].dec(text, payload, &payloadLen), 0);
    EXPECT_EQ(tvt::Hex(payload, payloadLen), "0001abcdef");
    texts[i] = std::string(text, textLen);
  }
  EXPECT_NE(texts[0], texts[1]);

  unsigned char buf[4] = {1, 2, 3, 4};
  ASSERT_EQ(SwapBytes(buf, 4), 0);
  EXPECT_EQ(tvt::Hex(buf, 4), "04030201");

  unsigned char md[32];
  int mdLen = sizeof md;
  ASSERT_EQ(GenHashMessage(1, reinterpret_cast<const unsigned char*>("abc"), 3, md, &mdLen), 0);
  EXPECT_EQ(tvt::Hex(md, mdLen), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

  unsigned char entropy[48] = {0};
  ASSERT_EQ(GenEntropy(entropy, 32), 0);
  EXPECT_NE(tvt::Hex(entropy, 32), std::string(64, '0'));
  EXPECT_EQ(tvt::Hex(entropy + 32, 16), std::string(32, '0'));  // count bytes, no more
}

TEST(UnprefixedCodecs, ForwardersLeaveTheBcmTrail) {
  unsigned char md[32];
  int mdLen = sizeof md;
  EXPECT_NE(GenHashMessage(1, nullptr, 3, md, &mdLen), 0);
  EXPECT_EQ(tvt::LastErr().rfind("[BCMGenHashMessage]", 0), 0u) << tvt::LastErr();
  EXPECT_STREQ(GetVorlekLastErr(), BCMGetLastErr());
  EXPECT_STREQ(GetOstrelVer(), BCMGetVer());
}

TEST(UnprefixedAes, PaddingAndModeAreFixed) {
  const Bytes key(32, 0x11), iv(16, 0x22), plain = tvt::FromText("five!");
  // CBC with PKCS#7: five bytes become one padded block.
  Bytes ct(32), want(32);
  int ctLen = 32, wantLen = 32;
  ASSERT_EQ(GenAESEncrypt(plain.data(), 5, key.data(), 32, iv.data(), 16, 2, ct.data(), &ctLen), 0);
  ASSERT_EQ(BCMGenAESEncrypt(plain.data(), 5, key.data(), 32, iv.data(), 16, 2, 1, want.data(), &wantLen), 0);
  ASSERT_EQ(ctLen, 16);
  EXPECT_EQ(tvt::Hex(ct.data(), ctLen), tvt::Hex(want.data(), wantLen));
  Bytes pt(32);
  int ptLen = 32;
  ASSERT_EQ(GenAESDecrypt(ct.data(), 16, key.data(), 32, iv.data(), 16, 2, pt.data(), &ptLen), 0);
  EXPECT_EQ(std::string(pt.begin(), pt.begin() + ptLen), "five!");

  // GCM with a 16-byte tag.
  const Bytes aad = tvt::FromText("hdr");
  Bytes sealed(32), sealedWant(32);
  int sealedLen = 32, sealedWantLen = 32;
  ASSERT_EQ(GenAESEncryptAuth(plain.data(), 5, key.data(), 32, iv.data(), 16, aad.data(), 3, 16, sealed.data(),
                              &sealedLen),
            0);
  ASSERT_EQ(BCMGenAESEncryptAuth(plain.data(), 5, key.data(), 32, iv.data(), 16, 11, aad.data(), 3, 16,
                                 sealedWant.data(), &sealedWantLen),
            0);
  ASSERT_EQ(sealedLen, 21);
  EXPECT_EQ(tvt::Hex(sealed.data(), sealedLen), tvt::Hex(sealedWant.data(), sealedWantLen));
  Bytes opened(32);
  int openedLen = 32;
  ASSERT_EQ(GenAESDecryptAuth(sealed.data(), 21, key.data(), 32, iv.data(), 16, aad.data(), 3, 16, opened.data(),
                              &openedLen),
            0);
  EXPECT_EQ(std::string(opened.begin(), opened.begin() + openedLen), "five!");
}

TEST(UnprefixedMnemonic, ForwardersMatchBcm) {
  const Bytes entropy(16, 0x7f);
  char words[512] = {0}, want[512] = {0};
  int wordsLen = sizeof words - 1, wantLen = sizeof want - 1;
  ASSERT_EQ(GenMnemonic(entropy.data(), 16, words, &wordsLen), 0);
  ASSERT_EQ(BCMGenMnemonic(entropy.data(), 16, want, &wantLen), 0);
  ASSERT_EQ(std::string(words, wordsLen), std::string(want, wantLen));
  words[wordsLen] = 0;
  EXPECT_EQ(ChkMnemonicValid(words), 0);
  EXPECT_EQ(ChkMnemonicWordValid("abandon"), 0);
  EXPECT_NE(ChkMnemonicWordValid("abandonx"), 0);
  unsigned char back[512];  // room for the mnemonic's length
  int backLen = sizeof back;
  ASSERT_EQ(ConvMNemonicToEntropy(words, back, &backLen), 0);
  EXPECT_EQ(tvt::Hex(back, backLen), tvt::Hex(entropy));
  unsigned char seed[64], seedWant[64];
  int seedLen = 64, seedWantLen = 64;
  ASSERT_EQ(ConvMnemonicToSeed(words, "pass", seed, &seedLen), 0);
  ASSERT_EQ(BCMConvMnemonicToSeed(words, "pass", seedWant, &seedWantLen), 0);
  EXPECT_EQ(tvt::Hex(seed, seedLen), tvt::Hex(seedWant, seedWantLen));

  char shares[2048] = {0};
  int sharesLen = sizeof shares - 1;
  ASSERT_EQ(ConvMasterMnemonicToSSSMnemonic(words, 3, 2, shares, &sharesLen), 0) << tvt::LastErr();
  const std::string all(shares, sharesLen);
  const size_t first = all.find(';'), second = all.find(';', first + 1);
  ASSERT_NE(second, std::string::npos);
  const std::string two = all.substr(0, second);
  char master[512] = {0};
  int masterLen = sizeof master - 1;
  ASSERT_EQ(ConvSSSMnemonicToMasterMnemonic(two.c_str(), master, &masterLen), 0) << tvt::LastErr();
  EXPECT_EQ(std::string(master, masterLen), std::string(words, wordsLen));
}

TEST(UnprefixedNoOps, IgnoreTheirArgumentsAndReturnZero) {
  int (*const fns[])(...) = {GetTxID,    MerVorlekTx,           ConvVorlekTxToRawTx,    GenAddSigData,
                             GenRedeems, GetVorlekTxInputCount, GetVorlekTxInputSigInfo};
  for (auto fn : fns) {
    EXPECT_EQ(fn(), 0);
    EXPECT_EQ(fn(nullptr, 1, "x", 2.5), 0);
  }
  PrintStr("%s %d", "ignored", 1);
  BCMPrintStr(nullptr);
}

// ---- Drivers ----------------------------------------------------------------

using GenAddrFn = int (*)(uint32_t, const char*, unsigned char*, uint32_t*);
using GenRawTxFn = int (*)(uint32_t, const char*, uint32_t*, unsigned char*, uint32_t*);

constexpr char kAddrInfo[] = R"({"pubs":[{"pub":"0x02ab"}],"addr_type":"p2pkh"})";

// A private copy of libtolvaris.so in a fresh folder, optionally with the
// test btc add-on beside it: the drivers load the add-on by its bare file
// name, which the copy's run path ($ORIGIN) resolves to that folder.
struct LibraryCopy {
  fs::path dir;
  void* handle = nullptr;
  GenAddrFn genAddr = nullptr;
  GenRawTxFn genRawTx = nullptr;

  explicit LibraryCopy(bool withAddon) {
    char pattern[] = "/tmp/tv-unpref-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) return;
    dir = made;
    const fs::path lib = fs::canonical(fs::path(TV_OUT_DIR) / "libtolvaris.so");
    fs::copy_file(lib, dir / "libtolvaris.so.1");
    if (withAddon) {
      fs::copy_file(fs::path(TV_TEST_ADDON_DIR) / "quenmod-btc.so", dir / "quenmod-btc.so");
#if defined(__SANITIZE_ADDRESS__)
      // The sanitizer's dlopen wrapper makes itself the caller, so a bare
      // name is no longer looked up along the copy's run path. Loading the
      // add-on by path first lets the bare name find it by its soname.
      if (dlopen((dir / "quenmod-btc.so").c_str(), RTLD_NOW | RTLD_LOCAL) == nullptr) return;
#endif
    }
    handle = dlopen((dir / "libtolvaris.so.1").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return;
    genAddr = reinterpret_cast<GenAddrFn>(dlsym(handle, "GenAddr"));
    genRawTx = reinterpret_cast<GenRawTxFn>(dlsym(handle, "GenRawTx"));
  }
  // The libraries stay loaded (add-ons are never unloaded); their files go.
  ~LibraryCopy() {
    std::error_code ec;
    if (!dir.empty()) fs::remove_all(dir, ec);
  }
};

class Drivers : public ::testing::Test {
 protected:
  // Once a copy has loaded quenmod-btc.so, the loader hands that library out
  // for the bare name to every later caller, so the copy without an add-on
  // is tried before the other one exists.
  static void SetUpTestSuite() {
    withoutAddon_ = new LibraryCopy(false);
    if (withoutAddon_->genAddr != nullptr && withoutAddon_->genRawTx != nullptr) {
      noAddonAddr_ = new Out(Addr(withoutAddon_, 0, kAddrInfo));
      noAddonRawTx_ = new Out(RawTx(withoutAddon_, 0, R"({"rawtx":"0x01"})"));
    }
    withAddon_ = new LibraryCopy(true);
  }
  static void TearDownTestSuite() {
    delete withAddon_;
    delete withoutAddon_;
    delete noAddonAddr_;
    delete noAddonRawTx_;
  }
  void SetUp() override {
    for (LibraryCopy* c : {withAddon_, withoutAddon_}) {
      ASSERT_NE(c->handle, nullptr) << dlerror();
      ASSERT_NE(c->genAddr, nullptr);
      ASSERT_NE(c->genRawTx, nullptr);
    }
  }

  struct Out {
    int rc;
    std::string text;  // what was written, or the untouched buffer's marker
    uint32_t len;
    uint32_t isText;
  };
  static constexpr unsigned char kMarker = 0xEE;
  static constexpr uint32_t kUntouchedFlag = 77;

  static Out Addr(const LibraryCopy* lib, uint32_t code, const char* info, uint32_t capacity = 4096) {
    std::string buf(4096, static_cast<char>(kMarker));
    uint32_t len = capacity;
    const int rc = lib->genAddr(code, info, reinterpret_cast<unsigned char*>(buf.data()), &len);
    return Out{rc, rc == 0 ? buf.substr(0, len) : buf, len, kUntouchedFlag};
  }
  static Out RawTx(const LibraryCopy* lib, uint32_t code, const char* info, uint32_t capacity = 4096) {
    std::string buf(4096, static_cast<char>(kMarker));
    uint32_t len = capacity, isText = kUntouchedFlag;
    const int rc = lib->genRawTx(code, info, &isText, reinterpret_cast<unsigned char*>(buf.data()), &len);
    return Out{rc, rc == 0 ? buf.substr(0, len) : buf, len, isText};
  }
  static void ExpectUntouched(const Out& o, uint32_t capacity = 4096) {
    EXPECT_EQ(o.rc, 1);
    EXPECT_EQ(o.len, capacity);
    EXPECT_EQ(o.isText, kUntouchedFlag);
    EXPECT_EQ(o.text, std::string(4096, static_cast<char>(kMarker)));
  }

  static LibraryCopy* withAddon_;
  static LibraryCopy* withoutAddon_;
  static Out* noAddonAddr_;
  static Out* noAddonRawTx_;
};
LibraryCopy* Drivers::withAddon_ = nullptr;
LibraryCopy* Drivers::withoutAddon_ = nullptr;
Drivers::Out* Drivers::noAddonAddr_ = nullptr;
Drivers::Out* Drivers::noAddonRawTx_ = nullptr;

TEST_F(Drivers, GenAddrReturnsTheAddOnsAddress) {
  Out o = Addr(withAddon_, 0, kAddrInfo);
  ASSERT_EQ(o.rc, 0);
  EXPECT_EQ(o.text, "main:p2pkh:0x02ab");
  EXPECT_EQ(o.len, o.text.size());
  o = Addr(withAddon_, 0x0F000000, kAddrInfo);
  ASSERT_EQ(o.rc, 0);
  EXPECT_EQ(o.text, "test:p2pkh:0x02ab");
  // Exactly the room needed is enough; one byte less writes nothing.
  o = Addr(withAddon_, 0, kAddrInfo, 17);
  ASSERT_EQ(o.rc, 0);
  EXPECT_EQ(o.text, "main:p2pkh:0x02ab");
  ExpectUntouched(Addr(withAddon_, 0, kAddrInfo, 16), 16);
  ExpectUntouched(Addr(withAddon_, 0, kAddrInfo, 0), 0);
}

TEST_F(Drivers, GenAddrWithoutAddressGivesTheWholeResult) {
  const Out o = Addr(withAddon_, 0, R"({"noaddr":true,"addr_type":"p2sh"})");
  ASSERT_EQ(o.rc, 0);
  const Json::Value v = tvt::ParseJson(o.text);
  EXPECT_EQ(v["action"].asString(), "GenAddr");
  EXPECT_EQ(v["result"].asString(), "success");
  EXPECT_EQ(v["return"]["network"].asString(), "main");
  EXPECT_EQ(v["return"]["addrinfo"]["addr_type"].asString(), "p2sh");
  EXPECT_FALSE(v["return"].isMember("addr"));
}

TEST_F(Drivers, GenAddrRefusals) {
  // The add-on fails; unsupported coins; missing pointers; a description
  // that is not one JSON value (it could add members to the request, here
  // a second "network").
  ExpectUntouched(Addr(withAddon_, 0, R"({"fail":true})"));
  for (uint32_t code : {1u, 2u, 8u, 0x0F000001u, 0x01000000u, 0xFFFFFFFFu})
    ExpectUntouched(Addr(withAddon_, code, kAddrInfo));
  ExpectUntouched(Addr(withAddon_, 0, nullptr));
  for (const char* bad : {"", "{", R"({"pubs":[]}})", R"({"pubs":[{"pub":"0x02ab"}],"addr_type":"p2pkh"},"network":"test")",
                          R"({} {})"})
    ExpectUntouched(Addr(withAddon_, 0, bad));
  // Deeply nested but valid: the core passes it on, the add-on's parser
  // refuses it.
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  ExpectUntouched(Addr(withAddon_, 0, deep.c_str()));
  unsigned char buf[8];
  uint32_t len = sizeof buf;
  EXPECT_EQ(withAddon_->genAddr(0, kAddrInfo, nullptr, &len), 1);
  EXPECT_EQ(len, sizeof buf);
  EXPECT_EQ(withAddon_->genAddr(0, kAddrInfo, buf, nullptr), 1);
}

TEST_F(Drivers, GenRawTxDecodesTheRawTransaction) {
  struct Case {
    const char* txinfo;
    const char* wantHex;
  } cases[] = {
      {R"({"rawtx":"0x0100ff"})", "0100ff"},
      {R"({"rawtx":"0x100ff"})", "0100ff"},  // odd digit count gains a leading 0
      {R"({"rawtx":"abc"})", "616263"},      // no prefix: the text's own bytes
  };
  for (const Case& c : cases) {
    const Out o = RawTx(withAddon_, 0, c.txinfo);
    ASSERT_EQ(o.rc, 0) << c.txinfo;
    EXPECT_EQ(o.isText, 0u);
    EXPECT_EQ(tvt::Hex(reinterpret_cast<const unsigned char*>(o.text.data()), o.text.size()), c.wantHex);
  }
  const Out exact = RawTx(withAddon_, 0x0F000000, R"({"rawtx":"0x0100ff"})", 3);
  ASSERT_EQ(exact.rc, 0);
  EXPECT_EQ(exact.len, 3u);
  ExpectUntouched(RawTx(withAddon_, 0, R"({"rawtx":"0x0100ff"})", 2), 2);
}

TEST_F(Drivers, GenRawTxWithoutUsableRawTxGivesTheWholeResult) {
  // No "rawtx", an empty one, or one whose hex does not decode.
  for (const char* txinfo : {R"({"inputs":[]})", R"({"rawtx":""})", R"({"rawtx":"0xzz"})", R"({"rawtx":"0x"})"}) {
    const Out o = RawTx(withAddon_, 0x0F000000, txinfo);
    ASSERT_EQ(o.rc, 0) << txinfo;
    EXPECT_EQ(o.isText, 1u);
    EXPECT_EQ(o.len, o.text.size());
    const Json::Value v = tvt::ParseJson(o.text);
    EXPECT_EQ(v["action"].asString(), "GenTx");
    EXPECT_EQ(v["result"].asString(), "success");
    EXPECT_EQ(v["return"]["network"].asString(), "test");
  }
  // The whole text obeys the capacity as well.
  const Out whole = RawTx(withAddon_, 0, R"({"inputs":[]})");
  ASSERT_EQ(whole.rc, 0);
  ExpectUntouched(RawTx(withAddon_, 0, R"({"inputs":[]})", whole.len - 1), whole.len - 1);
}

TEST_F(Drivers, GenRawTxAnswersASizeQuery) {
  const struct {
    const char* info;
    uint32_t isText;
  } cases[] = {{R"({"rawtx":"0x0100ff"})", 0}, {R"({"inputs":[]})", 1}};
  for (const auto& c : cases) {
    const Out full = RawTx(withAddon_, 0, c.info);
    ASSERT_EQ(full.rc, 0) << c.info;
    ASSERT_EQ(full.isText, c.isText) << c.info;
    uint32_t len = 0, isText = kUntouchedFlag;
    EXPECT_EQ(withAddon_->genRawTx(0, c.info, &isText, nullptr, &len), 0) << c.info;
    EXPECT_EQ(len, full.len) << c.info;
    EXPECT_EQ(isText, kUntouchedFlag) << c.info;
  }
  // A failing request answers no size.
  uint32_t len = 5, isText = kUntouchedFlag;
  EXPECT_EQ(withAddon_->genRawTx(0, R"({"fail":true})", &isText, nullptr, &len), 1);
  EXPECT_EQ(withAddon_->genRawTx(1, R"({"rawtx":"0x01"})", &isText, nullptr, &len), 1);
  EXPECT_EQ(len, 5u);
}

TEST_F(Drivers, GenRawTxRefusals) {
  ExpectUntouched(RawTx(withAddon_, 0, R"({"fail":true})"));
  for (uint32_t code : {1u, 4u, 0x0F000007u}) ExpectUntouched(RawTx(withAddon_, code, R"({"rawtx":"0x01"})"));
  ExpectUntouched(RawTx(withAddon_, 0, nullptr));
  ExpectUntouched(RawTx(withAddon_, 0, R"({"rawtx":"0x01"}},"x":{)"));
  unsigned char buf[8];
  uint32_t len = sizeof buf;
  EXPECT_EQ(withAddon_->genRawTx(0, R"({"rawtx":"0x01"})", nullptr, buf, &len), 1);
  EXPECT_EQ(len, sizeof buf);
}

TEST_F(Drivers, AddOnThatCannotBeLoaded) {
  ASSERT_NE(noAddonAddr_, nullptr);
  ASSERT_NE(noAddonRawTx_, nullptr);
  ExpectUntouched(*noAddonAddr_);
  ExpectUntouched(*noAddonRawTx_);
}

}  // namespace
