// Natives of AES: ECB and CBC with PKCS#7 padding, and GCM.
#include <com_morvane_keystrand_JniWrapper.h>

#include <string_view>

#include "jni/jni_frame.h"
#include "tolvaris/bcm_aes.h"

namespace {

constexpr int kEncrypt = 1019;
constexpr int kDecrypt = 1020;
constexpr int kEncryptAuth = 1033;  // java.lang.Error, as older callers expect
constexpr int kOverlongKey = 0;

constexpr uint32_t kPaddingPkcs7 = 1;
constexpr uint32_t kModeGcm = 11;
constexpr size_t kMaxKeyOrIv = 16;
// Names this file, never a build path.
constexpr char kOverlongMessage[] = "jni_aes.cpp: key and IV may hold at most 16 bytes.";

// The mode names Java passes, and the library's mode ids.
struct ModeName {
  std::string_view name;
  uint32_t mode;
};
constexpr ModeName kModes[] = {{"BC_ECB", 1}, {"BC_CBC", 2}};

using AesFn = int (*)(const unsigned char*, uint32_t, const unsigned char*, uint32_t, const unsigned char*, int,
                      uint32_t, uint32_t, unsigned char*, int*);
using AesAuthFn = int (*)(const unsigned char*, uint32_t, const unsigned char*, uint32_t, const unsigned char*, int,
                          uint32_t, const unsigned char*, uint32_t, int, unsigned char*, int*);

// Key and IV longer than 16 bytes stop the call with java.lang.Error.
bool KeyAndIvFit(JniFrame& f, const SecureBytes& key, const SecureBytes& iv) {
  return (key.size() <= kMaxKeyOrIv && iv.size() <= kMaxKeyOrIv) || f.Fail(kOverlongKey, kOverlongMessage);
}

jbyteArray Aes(JNIEnv* env, int code, AesFn fn, const char* failMessage, jstring mode, jbyteArray data,
               jbyteArray key, jbyteArray iv) {
  return RunNative<jbyteArray>(env, code, [&](JniFrame& f) -> jbyteArray {
    if (!f.NotNull(mode) || !f.NotNull(data) || !f.NotNull(key) || !f.NotNull(iv)) return nullptr;
    SecureText modeName;
    SecureBytes in, k, v, out;
    if (!f.Text(mode, modeName) || !f.Bytes(data, in) || !f.Bytes(key, k) || !f.Bytes(iv, v)) return nullptr;
    if (!KeyAndIvFit(f, k, v)) return nullptr;
    const ModeName* found = nullptr;
    for (const ModeName& m : kModes)
      if (m.name == std::string_view(modeName)) found = &m;
    if (found == nullptr) {
      f.Fail("Not provided mode.");
      return nullptr;
    }
    if (!f.Sized<int>(out, failMessage, [&](unsigned char* o, int* len) {
          return fn(InPtr(in), static_cast<uint32_t>(in.size()), InPtr(k), static_cast<uint32_t>(k.size()), InPtr(v),
                    static_cast<int>(v.size()), found->mode, kPaddingPkcs7, o, len);
        }))
      return nullptr;
    return f.NewBytes(out);
  });
}

jbyteArray AesAuth(JNIEnv* env, int code, AesAuthFn fn, const char* failMessage, jbyteArray data, jbyteArray key,
                   jbyteArray iv, jbyteArray aad, jint tagLength) {
  return RunNative<jbyteArray>(env, code, [&](JniFrame& f) -> jbyteArray {
    if (!f.NotNull(data) || !f.NotNull(key) || !f.NotNull(iv) || !f.NotNull(aad)) return nullptr;
    SecureBytes in, k, v, a, out;
    if (!f.Bytes(data, in) || !f.Bytes(key, k) || !f.Bytes(iv, v) || !f.Bytes(aad, a)) return nullptr;
    if (!KeyAndIvFit(f, k, v)) return nullptr;
    if (!f.Sized<int>(out, failMessage, [&](unsigned char* o, int* len) {
          return fn(InPtr(in), static_cast<uint32_t>(in.size()), InPtr(k), static_cast<uint32_t>(k.size()), InPtr(v),
                    static_cast<int>(v.size()), kModeGcm, InPtr(a), static_cast<uint32_t>(a.size()), tagLength, o,
                    len);
        }))
      return nullptr;
    return f.NewBytes(out);
  });
}

}  // namespace

extern "C" {

JNIEXPORT jbyteArray JNICALL Java_com_morvane_keystrand_JniWrapper_GenAESEncrypt(JNIEnv* env, jclass, jstring mode,
                                                                               jbyteArray data, jbyteArray key,
                                                                               jbyteArray iv) {
  return Aes(env, kEncrypt, BCMGenAESEncrypt, "AES encryption failed.", mode, data, key, iv);
}

JNIEXPORT jbyteArray JNICALL Java_com_morvane_keystrand_JniWrapper_GenAESDecrypt(JNIEnv* env, jclass, jstring mode,
                                                                               jbyteArray data, jbyteArray key,
                                                                               jbyteArray iv) {
  return Aes(env, kDecrypt, BCMGenAESDecrypt, "AES decryption failed.", mode, data, key, iv);
}

JNIEXPORT jbyteArray JNICALL Java_com_morvane_keystrand_JniWrapper_GenAESEncryptAuth(JNIEnv* env, jclass,
                                                                                   jbyteArray data, jbyteArray key,
                                                                                   jbyteArray iv, jbyteArray aad,
                                                                                   jint tagLength) {
  return AesAuth(env, kEncryptAuth, BCMGenAESEncryptAuth, "AES encryption failed.", data, key, iv, aad, tagLength);
}

JNIEXPORT jbyteArray JNICALL Java_com_morvane_keystrand_JniWrapper_GenAESDecryptAuth(JNIEnv* env, jclass,
                                                                                   jbyteArray data, jbyteArray key,
                                                                                   jbyteArray iv, jbyteArray aad,
                                                                                   jint tagLength) {
  return AesAuth(env, kDecrypt, BCMGenAESDecryptAuth, "AES decryption failed.", data, key, iv, aad, tagLength);
}

}  // extern "C"
