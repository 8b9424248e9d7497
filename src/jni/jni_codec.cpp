// Natives of Base58Check, Base64 and message digests.
#include <com_morvane_keystrand_JniWrapper.h>

#include <string_view>

#include "jni/jni_frame.h"
#include "tolvaris/bcm_codec.h"
#include "tolvaris/bcm_core.h"

namespace {

constexpr int kDigest = 1011;
constexpr int kBase58Encode = 1012;
constexpr int kBase58Decode = 1013;
constexpr int kBase64Encode = 1017;
constexpr int kBase64Decode = 1018;

constexpr uint32_t kBitcoinAlphabet = 0;

// The digest names Java passes, and the library's hash ids.
struct DigestName {
  std::string_view name;
  uint32_t hashId;
};
constexpr DigestName kDigests[] = {
    {"ALGO_SHA256", 1},
    {"ALGO_SHA512", 2},
    {"ALGO_RIP160", 3},
    {"ALGO_SHA3_KECCAK256", 11},
};

bool FindDigest(const SecureText& name, uint32_t* hashId) {
  for (const DigestName& d : kDigests) {
    if (d.name == std::string_view(name)) {
      *hashId = d.hashId;
      return true;
    }
  }
  return false;
}

}  // namespace

extern "C" {

JNIEXPORT jstring JNICALL Java_com_morvane_keystrand_JniWrapper_GenBase58CheckEncode(JNIEnv* env, jclass,
                                                                                   jbyteArray data) {
  return RunNative<jstring>(env, kBase58Encode, [&](JniFrame& f) -> jstring {
    SecureBytes in, text;
    if (!f.Bytes(data, in)) return nullptr;
    if (!f.Sized<uint32_t>(text, "Base58check encoding failed.", [&](unsigned char* out, uint32_t* len) {
          return BCMGenBase58CheckEncode(kBitcoinAlphabet, InPtr(in), static_cast<uint32_t>(in.size()),
                                         reinterpret_cast<char*>(out), len);
        }))
      return nullptr;
    return f.NewText(text);
  });
}

JNIEXPORT jbyteArray JNICALL Java_com_morvane_keystrand_JniWrapper_GenBase58CheckDecode(JNIEnv* env, jclass,
                                                                                      jstring text) {
  return RunNative<jbyteArray>(env, kBase58Decode, [&](JniFrame& f) -> jbyteArray {
    SecureText in;
    SecureBytes payload;
    if (!f.Text(text, in)) return nullptr;
    if (!f.Sized<uint32_t>(payload, "Base58check decoding failed.", [&](unsigned char* out, uint32_t* len) {
          return BCMGenBase58CheckDecode(kBitcoinAlphabet, InText(in), out, len);
        }))
      return nullptr;
    return f.NewBytes(payload);
  });
}

JNIEXPORT jstring JNICALL Java_com_morvane_keystrand_JniWrapper_GenBase64Encode(JNIEnv* env, jclass, jbyteArray data) {
  return RunNative<jstring>(env, kBase64Encode, [&](JniFrame& f) -> jstring {
    SecureBytes in, text;
    if (!f.Bytes(data, in)) return nullptr;
    if (!f.Sized<uint32_t>(text, "Base64 encoding failed.", [&](unsigned char* out, uint32_t* len) {
          return BCMGenBase64Encode(InPtr(in), static_cast<uint32_t>(in.size()), reinterpret_cast<char*>(out), len);
        }))
      return nullptr;
    return f.NewText(text);
  });
}

JNIEXPORT jbyteArray JNICALL Java_com_morvane_keystrand_JniWrapper_GenBase64Decode(JNIEnv* env, jclass, jstring text) {
  return RunNative<jbyteArray>(env, kBase64Decode, [&](JniFrame& f) -> jbyteArray {
    SecureText in;
    SecureBytes bytes;
    if (!f.Text(text, in)) return nullptr;
    if (!f.Sized<uint32_t>(bytes, "Base64 decoding failed.", [&](unsigned char* out, uint32_t* len) {
          return BCMGenBase64Decode(InText(in), out, len);
        }))
      return nullptr;
    return f.NewBytes(bytes);
  });
}

JNIEXPORT jbyteArray JNICALL Java_com_morvane_keystrand_JniWrapper_GenHashMessage(JNIEnv* env, jclass,
                                                                                jstring algorithm,
                                                                                jbyteArray data) {
  return RunNative<jbyteArray>(env, kDigest, [&](JniFrame& f) -> jbyteArray {
    SecureText name;
    SecureBytes in, digest;
    uint32_t hashId = 0;
    if (!f.NotNull(algorithm) || !f.NotNull(data)) return nullptr;
    if (!f.Text(algorithm, name) || !f.Bytes(data, in)) return nullptr;
    if (!FindDigest(name, &hashId)) {
      f.Fail("Not provided algorithm.");
      return nullptr;
    }
    if (!f.Sized<int>(digest, "Message hashing failed.", [&](unsigned char* out, int* len) {
          return BCMGenHashMessage(hashId, InPtr(in), static_cast<uint32_t>(in.size()), out, len);
        }))
      return nullptr;
    return f.NewBytes(digest);
  });
}

}  // extern "C"
