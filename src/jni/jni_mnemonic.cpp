// Natives of entropy, BIP39 mnemonics and Shamir share mnemonics.
#include <com_morvane_keystrand_JniWrapper.h>

#include <string_view>

#include "jni/jni_frame.h"
#include "jni/jni_local_ref.h"
#include "tolvaris/bcm_kdf.h"
#include "tolvaris/bcm_mnemonic.h"

namespace {

constexpr int kGenerateMnemonic = 1001;
constexpr int kMnemonicToSeed = 1002;
constexpr int kGenerateEntropy = 1021;
constexpr int kInvalidMnemonic = 1022;
constexpr int kMasterToShares = 1028;
constexpr int kSharesToMaster = 1029;

constexpr char kStringClass[] = "java/lang/String";
constexpr char kShareSeparator = ';';

// The share texts of the library's output, stored in order into a String[]
// of `total` elements that start as empty strings. The library has accepted
// `total` by then; a share beyond the array's end is never stored.
jobjectArray SharesToArray(JniFrame& f, const SecureBytes& joined, jsize total) {
  JNIEnv* env = f.env();
  const jclass stringClass = env->FindClass(kStringClass);
  if (stringClass == nullptr || !f.JavaOk()) return nullptr;
  LocalRef classRef(env, stringClass);
  const jstring empty = f.NewText("", 0);
  if (empty == nullptr) return nullptr;
  LocalRef emptyRef(env, empty);
  const jobjectArray shares = env->NewObjectArray(total, stringClass, empty);
  if (shares == nullptr || !f.JavaOk()) return nullptr;
  LocalRef sharesRef(env, shares);

  const std::string_view text(reinterpret_cast<const char*>(joined.data()), joined.size());
  size_t start = 0;
  for (jsize i = 0; i < total && start <= text.size(); ++i) {
    size_t end = text.find(kShareSeparator, start);
    if (end == std::string_view::npos) end = text.size();
    const jstring share = f.NewText(text.data() + start, end - start);
    if (share == nullptr) return nullptr;
    LocalRef shareRef(env, share);
    env->SetObjectArrayElement(shares, i, share);
    if (!f.JavaOk()) return nullptr;
    start = end + 1;
  }
  return static_cast<jobjectArray>(sharesRef.release());
}

}  // namespace

extern "C" {

JNIEXPORT jbyteArray JNICALL Java_com_morvane_keystrand_JniWrapper_GenEntropy(JNIEnv* env, jclass, jint bits) {
  return RunNative<jbyteArray>(env, kGenerateEntropy, [&](JniFrame& f) -> jbyteArray {
    if (bits < 0 || bits % 8 != 0) {
      f.Fail("Invalid length for making entropy.");
      return nullptr;
    }
    SecureBytes entropy(static_cast<size_t>(bits / 8) + 1);
    if (!f.Call("GenEntropy failed.", [&] { return BCMGenEntropy(static_cast<uint32_t>(bits / 8), entropy.data()); }))
      return nullptr;
    return f.NewBytes(entropy.data(), static_cast<size_t>(bits / 8));
  });
}

JNIEXPORT jstring JNICALL Java_com_morvane_keystrand_JniWrapper_GenMnemonic(JNIEnv* env, jclass, jbyteArray entropy) {
  return RunNative<jstring>(env, kGenerateMnemonic, [&](JniFrame& f) -> jstring {
    SecureBytes in, mnemonic;
    if (!f.Bytes(entropy, in)) return nullptr;
    if (!f.Sized<int>(mnemonic, "Mnemonic generating failed.", [&](unsigned char* out, int* len) {
          return BCMGenMnemonic(InPtr(in), static_cast<int>(in.size()), reinterpret_cast<char*>(out), len);
        }))
      return nullptr;
    return f.NewText(mnemonic);
  });
}

JNIEXPORT jboolean JNICALL Java_com_morvane_keystrand_JniWrapper_CheckMnemonicValid(JNIEnv* env, jclass,
                                                                                  jstring mnemonic) {
  return RunNative<jboolean>(env, kInvalidMnemonic, [&](JniFrame& f) -> jboolean {
    SecureText text;
    if (!f.Text(mnemonic, text)) return JNI_FALSE;
    if (!f.Call("Mnemonic validate check failed.", [&] { return BCMChkMnemonicValid(InText(text)); }))
      return JNI_FALSE;
    return JNI_TRUE;
  });
}

JNIEXPORT jboolean JNICALL Java_com_morvane_keystrand_JniWrapper_CheckMnemonicWordValid(JNIEnv* env, jclass,
                                                                                      jstring word) {
  return RunNative<jboolean>(env, kInvalidMnemonic, [&](JniFrame& f) -> jboolean {
    SecureText text;
    if (!f.Text(word, text)) return JNI_FALSE;
    if (!f.Call("Mnemonic word validate check failed.", [&] { return BCMChkMnemonicWordValid(InText(text)); }))
      return JNI_FALSE;
    return JNI_TRUE;
  });
}

JNIEXPORT jbyteArray JNICALL Java_com_morvane_keystrand_JniWrapper_ConvertMnemonicToSeed(JNIEnv* env, jclass,
                                                                                       jstring mnemonic,
                                                                                       jstring passphrase) {
  return RunNative<jbyteArray>(env, kMnemonicToSeed, [&](JniFrame& f) -> jbyteArray {
    SecureText words, pass;
    if (!f.Text(mnemonic, words) || !f.Text(passphrase, pass)) return nullptr;
    unsigned char seed[64] = {0};
    ScopedWipe wipeSeed(seed);
    int len = sizeof seed;
    if (!f.Call("Mnemonic to seed converting failed.",
                [&] { return BCMConvMnemonicToSeed(InText(words), InText(pass), seed, &len); }))
      return nullptr;
    return f.NewBytes(seed, static_cast<size_t>(len));
  });
}

JNIEXPORT jobjectArray JNICALL Java_com_morvane_keystrand_JniWrapper_ConvMasterMnemonicToSSSMnemonic(
    JNIEnv* env, jclass, jstring mnemonic, jint total, jint needed) {
  return RunNative<jobjectArray>(env, kMasterToShares, [&](JniFrame& f) -> jobjectArray {
    SecureText words;
    SecureBytes joined;
    if (!f.Text(mnemonic, words)) return nullptr;
    if (!f.Sized<int>(joined, "Master mnemonic to shamir secret sharing mnemonic converting failed.",
                      [&](unsigned char* out, int* len) {
                        return BCMConvMasterMnemonicToSSSMnemonic(InText(words), total, needed,
                                                                  reinterpret_cast<char*>(out), len);
                      }))
      return nullptr;
    return SharesToArray(f, joined, total);
  });
}

JNIEXPORT jstring JNICALL Java_com_morvane_keystrand_JniWrapper_ConvSSSMnemonicToMasterMnemonic(JNIEnv* env, jclass,
                                                                                              jobjectArray shares,
                                                                                              jint) {
  return RunNative<jstring>(env, kSharesToMaster, [&](JniFrame& f) -> jstring {
    if (!f.NotNull(shares)) return nullptr;
    SecureText joined, share;
    const jsize count = env->GetArrayLength(shares);
    for (jsize i = 0; i < count; ++i) {
      const auto element = static_cast<jstring>(env->GetObjectArrayElement(shares, i));
      if (!f.JavaOk()) return nullptr;
      LocalRef elementRef(env, element);
      if (!f.Text(element, share)) return nullptr;
      if (i != 0) joined.push_back(kShareSeparator);
      joined.append(share);
    }
    SecureBytes mnemonic;
    if (!f.Sized<int>(mnemonic, "Shamir secret sharing mnemonic to master mnemonic converting failed.",
                      [&](unsigned char* out, int* len) {
                        return BCMConvSSSMnemonicToMasterMnemonic(InText(joined), reinterpret_cast<char*>(out), len);
                      }))
      return nullptr;
    return f.NewText(mnemonic);
  });
}

}  // extern "C"
