// The digest, HMAC and key-derivation actions through RunModule: exact
// replies for public vectors (FIPS 180, RFC 4231, RFC 7914), the refusals of
// each export, and request numbers that must not size a buffer unchecked.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "reply_text_testing.h"

// Every allocation of this test program goes through here, so a test can
// see the largest block that a request made the library ask for.
namespace {
std::atomic<size_t> gLargestAlloc{0};
}  // namespace

// gcc pairs the malloc below with the sized delete wherever it inlines them
// and warns, not seeing that both replace the global operators.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t n) {
  size_t seen = gLargestAlloc.load();
  while (n > seen && !gLargestAlloc.compare_exchange_weak(seen, n)) {
  }
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
// The library's new (std::nothrow) too, so that its blocks come from the
// same heap as the delete below frees them into (a sanitizer runtime
// brings its own).
void* operator new(size_t n, const std::nothrow_t&) noexcept {
  try {
    return ::operator new(n);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

using rtt::Case;

TEST(GenHashMessage, Replies) {
  const Case cases[] = {
      // FIPS 180 "abc"; text without "0x" is hashed as its own characters.
      {"GenHashMessage", R"({"hashalgo":"sha256","data":"0x616263"})",
       R"({"hashalgo":"sha256","data":"0x616263","md":"0xba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"})"},
      {"GenHashMessage", R"({"hashalgo":"SHA256","data":"abc"})",
       R"({"hashalgo":"SHA256","data":"abc","md":"0xba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"})"},
      {"GenHashMessage", R"({"hashalgo":"SHA512","data":"abc"})",
       R"({"hashalgo":"SHA512","data":"abc","md":"0xddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"})"},
      {"GenHashMessage", R"({"hashalgo":"rip160","data":"abc"})",
       R"({"hashalgo":"rip160","data":"abc","md":"0x8eb208f7e05d987a9b044a8e98c6b087f15a0bfc"})"},
      // Keccak with its own padding; the empty message is an input.
      {"GenHashMessage", R"({"hashalgo":"SHA3-KECCAK224","data":""})",
       R"({"hashalgo":"SHA3-KECCAK224","data":"","md":"0xf71837502ba8e10837bdd8d365adb85591895602fc552b48b7390abd"})"},
      {"GenHashMessage", R"({"hashalgo":"sha3-keccak256","data":"0x"})",
       R"({"hashalgo":"sha3-keccak256","data":"0x","md":"0xc5d2460186f7233c927e7db2dcc703c0e500b653ca82273b7bfad8045d85a470"})"},
      {"GenHashMessage", R"({"hashalgo":"SHA3-KECCAK384"})",
       R"({"hashalgo":"SHA3-KECCAK384","data":"","md":"0x2c23146a63a29acf99e73b88f8c24eaa7dc60aa771780ccc006afbfa8fe2479b2dd2b21362337441ac12b515911957ff"})"},
      {"GenHashMessage", R"({"hashalgo":"SHA3-KECCAK512","data":""})",
       R"({"hashalgo":"SHA3-KECCAK512","data":"","md":"0x0eab42de4c3ceb9235fc91acffe746b29c29a8c366b7c60e4e67c466f36a4304c00fa9caf9d87976ba469bcbe06713b435f091ef2769fb160cdab33d3670680e"})"},
      {"GenHashMessage", R"({"hashalgo":"sha256"})",
       R"({"hashalgo":"sha256","data":"","md":"0xe3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"})"},
      // Names outside the table reach the export as id 0.
      {"GenHashMessage", R"({"hashalgo":"SHA-256","data":"abc"})",
       R"({"err_code":"315","hashalgo":"SHA-256","data":"abc","err_msg":"$ERR(DoDigest)[BCMGenHashMessage][DoDigest:164<-BCMGenHashMessage:489][(bc-vantrel DoDigest error)]"})"},
      {"GenHashMessage", R"({"hashalgo":256,"data":"abc"})",
       R"({"err_code":"100","err_msg":"hashalgo is not a JSON string"})"},
  };
  rtt::ExpectReplies(cases);
}

TEST(GenHMac, Replies) {
  const Case cases[] = {
      // RFC 4231 test cases 1 and 2.
      {"GenHMac", R"({"hashalgo":"SHA256","key":"0x0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b","data":"Hi There"})",
       R"({"hashalgo":"SHA256","key":"0x0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b","data":"Hi There","hmac":"0xb0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"})"},
      {"GenHMac", R"({"hashalgo":"sha512","key":"0x0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b","data":"0x4869205468657265"})",
       R"({"hashalgo":"sha512","key":"0x0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b","data":"0x4869205468657265","hmac":"0x87aa7cdea5ef619d4ff0b4241a1d6cb02379f4e2ce4ec2787ad0b30545e17cdedaa833b7d6b8a702038b274eaea3f4e4be9d914eeb61f1702e696c203a126854"})"},
      {"GenHMac", R"({"hashalgo":"SHA256","key":"Jefe","data":"what do ya want for nothing?"})",
       R"({"hashalgo":"SHA256","key":"Jefe","data":"what do ya want for nothing?","hmac":"0x5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"})"},
      // An empty key and an empty message are inputs of length 0.
      {"GenHMac", R"({"hashalgo":"SHA256","key":"","data":""})",
       R"({"hashalgo":"SHA256","key":"","data":"","hmac":"0xb613679a0814d9ec772f95d778c35fc5ff1697c493715653c6c712144292c5ad"})"},
      {"GenHMac", R"({"hashalgo":"SHA256"})",
       R"({"hashalgo":"SHA256","key":"","data":"","hmac":"0xb613679a0814d9ec772f95d778c35fc5ff1697c493715653c6c712144292c5ad"})"},
      {"GenHMac", R"({"key":"a","data":"b"})",
       R"({"err_code":"339","hashalgo":"","key":"a","data":"b","err_msg":"$ERR(DoHMac)[BCMGenHMac][DoHMAC:106<-BCMGenHMac:530][(bc-vantrel DoHMAC error)]"})"},
  };
  rtt::ExpectReplies(cases);
}

TEST(GenPBKDF2, Replies) {
  const Case cases[] = {
      // RFC 7914 section 11 (PBKDF2-HMAC-SHA256), the length as hex.
      {"GenPBKDF2", R"({"hashalgo":"SHA256","password":"passwd","salt":"salt","iterator":"1","outlen":"0x40"})",
       R"({"hashalgo":"SHA256","password":"passwd","salt":"salt","iterator":"1","outlen":"0x40","pbkdf2":"0x55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783"})"},
      {"GenPBKDF2", R"({"hashalgo":"sha256","password":"password","salt":"salt","iterator":"4096","outlen":"32"})",
       R"({"hashalgo":"sha256","password":"password","salt":"salt","iterator":"4096","outlen":"32","pbkdf2":"0xc5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a"})"},
      {"GenPBKDF2", R"({"hashalgo":"SHA512","password":"password","salt":"salt","iterator":"1","outlen":"64"})",
       R"({"hashalgo":"SHA512","password":"password","salt":"salt","iterator":"1","outlen":"64","pbkdf2":"0x867f70cf1ade02cff3752599a3a53dc4af34c7a669815ae5d513554e1c8cf252c02d470a285a0501bad999bfe943c08f050235d7d68b1da55e63f73b60a57fce"})"},
      // The salt is taken as its characters, "0x" included.
      {"GenPBKDF2", R"({"hashalgo":"SHA256","password":"password","salt":"0x73616c74","iterator":"1","outlen":"32"})",
       R"({"hashalgo":"SHA256","password":"password","salt":"0x73616c74","iterator":"1","outlen":"32","pbkdf2":"0xbca0228478cda7bb8166dfdbab60860f4395113e048863616fa0eabe61662a9f"})"},
      {"GenPBKDF2", R"({"hashalgo":"SHA256","password":"passwd","salt":"salt","outlen":"64"})",
       R"({"err_code":"364","hashalgo":"SHA256","password":"passwd","salt":"salt","iterator":"","outlen":"64","err_msg":"$ERR(DoPBKDF2)[BCMGenPBKDF2][BCMGenPBKDF2:552][(param is NULL)]"})"},
      {"GenPBKDF2", R"({"hashalgo":"SHA256","password":"passwd","salt":"salt","iterator":"1"})",
       R"({"err_code":"364","hashalgo":"SHA256","password":"passwd","salt":"salt","iterator":"1","outlen":"","err_msg":"$ERR(DoPBKDF2)[BCMGenPBKDF2][BCMGenPBKDF2:552][(param is NULL)]"})"},
      // Keccak is no hash of the key derivation.
      {"GenPBKDF2", R"({"hashalgo":"SHA3-KECCAK256","password":"passwd","salt":"salt","iterator":"1","outlen":"32"})",
       R"({"err_code":"364","hashalgo":"SHA3-KECCAK256","password":"passwd","salt":"salt","iterator":"1","outlen":"32","err_msg":"$ERR(DoPBKDF2)[BCMGenPBKDF2][DoPBKDF2:220<-BCMGenPBKDF2:571][(bc-vantrel DoPBKDF2 error)]"})"},
      // An output no buffer is made for is refused by the export's capacity check.
      {"GenPBKDF2", R"({"hashalgo":"SHA256","password":"p","salt":"s","iterator":"1","outlen":"2147483647"})",
       R"({"err_code":"364","hashalgo":"SHA256","password":"p","salt":"s","iterator":"1","outlen":"2147483647","err_msg":"$ERR(DoPBKDF2)[BCMGenPBKDF2][BCMGenPBKDF2:565][(buffer size[0] is lower than [2147483647])]"})"},
      {"GenPBKDF2", R"({"hashalgo":"SHA256","password":"p","salt":"s","iterator":"1","outlen":"1048577"})",
       R"({"err_code":"364","hashalgo":"SHA256","password":"p","salt":"s","iterator":"1","outlen":"1048577","err_msg":"$ERR(DoPBKDF2)[BCMGenPBKDF2][BCMGenPBKDF2:565][(buffer size[0] is lower than [1048577])]"})"},
      {"GenPBKDF2", R"({"hashalgo":"SHA256","password":"p","salt":"s","iterator":"99999999999","outlen":"32"})",
       R"({"err_code":"100","err_msg":"number is out of range"})"},
  };
  rtt::ExpectReplies(cases);
}

TEST(GenScrypt, Replies) {
  const Case cases[] = {
      // RFC 7914 section 12, the first two vectors.
      {"GenScrypt", R"({"password":"","salt":"","N":"16","r":"1","p":"1","outlen":"64"})",
       R"({"password":"","salt":"","N":"16","r":"1","p":"1","outlen":"64","scrypt":"0x77d6576238657b203b19ca42c18a0497f16b4844e3074ae8dfdffa3fede21442fcd0069ded0948f8326a753a0fc81f17e8d3e0fb2e0d3628cf35e20c38d18906"})"},
      {"GenScrypt", R"({"password":"password","salt":"NaCl","N":"0x400","r":"8","p":"16","outlen":"64"})",
       R"({"password":"password","salt":"NaCl","N":"0x400","r":"8","p":"16","outlen":"64","scrypt":"0xfdbabe1c9d3472007856e7190d01e9fe7c6ad7cbc8237830e77376634b3731622eaf30d92e22a3886ff109279d9830dac727afb94a83ee6d8360cbdfa2cc0640"})"},
      {"GenScrypt", R"({"password":"","salt":"","N":"1000","r":"1","p":"1","outlen":"64"})",
       R"({"err_code":"388","password":"","salt":"","N":"1000","r":"1","p":"1","outlen":"64","err_msg":"$ERR(DoScrypt)[BCMGenScrypt][BCMGenScrypt:610][(N[1000] is not power of 2)]"})"},
      {"GenScrypt", R"({"password":"","salt":"","r":"1","p":"1","outlen":"64"})",
       R"({"err_code":"388","password":"","salt":"","N":"","r":"1","p":"1","outlen":"64","err_msg":"$ERR(DoScrypt)[BCMGenScrypt][BCMGenScrypt:604][(N[0] , r[1] , p[1] is invalid( must > 0 ))]"})"},
      {"GenScrypt", R"({"password":"","salt":"","N":"0x40000000","r":"8","p":"1","outlen":"32"})",
       R"({"err_code":"388","password":"","salt":"","N":"0x40000000","r":"8","p":"1","outlen":"32","err_msg":"$ERR(DoScrypt)[BCMGenScrypt][BCMGenScrypt:616][(N[1073741824] is too big)]"})"},
      {"GenScrypt", R"({"password":"","salt":"","N":"16","r":"1","p":"1","outlen":"2147483647"})",
       R"({"err_code":"388","password":"","salt":"","N":"16","r":"1","p":"1","outlen":"2147483647","err_msg":"$ERR(DoScrypt)[BCMGenScrypt][BCMGenScrypt:635][(buffer size[0] is lower than [2147483647])]"})"},
      {"GenScrypt", R"({"password":"","salt":"","N":"16","r":"1","p":"1","outlen":"0x"})",
       R"({"err_code":"100","err_msg":"number has no digits"})"},
  };
  rtt::ExpectReplies(cases);
}

// Lengths taken from the request never size a buffer beyond what the export
// would accept: a count near 2^31 fails without the library asking the heap
// for anything of that size.
TEST(RequestNumbers, MakeNoHugeBuffer) {
  const struct {
    const char* action;
    const char* args;
  } cases[] = {
      {"GenEntropy", R"({"entlen":"2147483647"})"},
      {"GenEntropy", R"({"entlen":"0x10000000"})"},
      {"GenPBKDF2", R"({"hashalgo":"SHA256","password":"p","salt":"s","iterator":"1","outlen":"2147483647"})"},
      {"GenPBKDF2", R"({"hashalgo":"SHA256","password":"p","salt":"s","iterator":"0","outlen":"0x7fffffff"})"},
      {"GenScrypt", R"({"password":"p","salt":"s","N":"16","r":"1","p":"1","outlen":"2147483647"})"},
  };
  for (const auto& c : cases) {
    gLargestAlloc = 0;
    const rtt::Reply r = rtt::Run(c.action, c.args);
    EXPECT_EQ(r.rc, 1203) << r.envelope;
    EXPECT_LT(gLargestAlloc.load(), size_t{1} << 24) << c.action << " " << c.args;
  }
  // The longest output the action hands back: 2^20 bytes.
  const rtt::Reply longest =
      rtt::Run("GenPBKDF2", R"({"hashalgo":"SHA256","password":"p","salt":"s","iterator":"1","outlen":"1048576"})");
  EXPECT_EQ(longest.rc, 0);
  EXPECT_EQ(longest.ret.size(), std::string(R"({"hashalgo":"SHA256","password":"p","salt":"s","iterator":"1","outlen":"1048576","pbkdf2":"0x"})").size() + 2 * 1048576);
}

}  // namespace
