// Natives kept for older callers of the multisignature helpers: they check and
// copy their arguments and return a fixed result. The first argument is not
// read.
#include <com_morvane_keystrand_JniWrapper.h>

#include "jni/jni_frame.h"

namespace {

constexpr int kInputCount = 1023;
constexpr int kInputSigInfo = 1024;
constexpr int kAddSigData = 1025;
constexpr int kToRawTx = 1026;
constexpr int kTxId = 1030;
constexpr int kMerge = 1031;
constexpr int kRedeems = 1032;

constexpr jsize kSigInfoFields = 4;

// An empty byte[] once every array is there and copied.
jbyteArray EmptyAfter(JNIEnv* env, int code, jbyteArray first, const char* secondNullMessage = nullptr,
                      jbyteArray second = nullptr, jstring text = nullptr, bool hasText = false) {
  return RunNative<jbyteArray>(env, code, [&](JniFrame& f) -> jbyteArray {
    SecureBytes a, b;
    if (!f.Bytes(first, a)) return nullptr;
    if (secondNullMessage != nullptr && !f.Bytes(second, b, secondNullMessage)) return nullptr;
    if (hasText && !f.NotNull(text)) return nullptr;
    return f.NewBytes(nullptr, 0);
  });
}

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_com_morvane_keystrand_JniWrapper_GetVorlekTxInputCount(JNIEnv* env, jclass, jint,
                                                                                 jbyteArray tx) {
  return RunNative<jint>(env, kInputCount, [&](JniFrame& f) -> jint {
    SecureBytes a;
    f.Bytes(tx, a);
    return 0;
  });
}

JNIEXPORT jintArray JNICALL Java_com_morvane_keystrand_JniWrapper_GetVorlekTxInputSigInfo(JNIEnv* env, jclass, jint,
                                                                                        jbyteArray tx,
                                                                                        jbyteArray input) {
  return RunNative<jintArray>(env, kInputSigInfo, [&](JniFrame& f) -> jintArray {
    // Made before the checks: the caller gets it even when one fails.
    const jintArray info = env->NewIntArray(kSigInfoFields);
    if (info == nullptr || !f.JavaOk()) return nullptr;
    SecureBytes a, b;
    if (f.Bytes(tx, a)) f.Bytes(input, b, kBytesIn);
    return info;
  });
}

JNIEXPORT jbyteArray JNICALL Java_com_morvane_keystrand_JniWrapper_GenAddSigData(JNIEnv* env, jclass, jint,
                                                                               jbyteArray tx, jbyteArray signature) {
  return EmptyAfter(env, kAddSigData, tx, kBytesIn, signature);
}

JNIEXPORT jbyteArray JNICALL Java_com_morvane_keystrand_JniWrapper_ConvVorlekTxToRawTx(JNIEnv* env, jclass, jint,
                                                                                     jbyteArray tx) {
  return EmptyAfter(env, kToRawTx, tx);
}

JNIEXPORT jbyteArray JNICALL Java_com_morvane_keystrand_JniWrapper_GetTxID(JNIEnv* env, jclass, jint, jbyteArray tx) {
  return EmptyAfter(env, kTxId, tx);
}

JNIEXPORT jbyteArray JNICALL Java_com_morvane_keystrand_JniWrapper_GenRedeems(JNIEnv* env, jclass, jint,
                                                                            jstring info) {
  return RunNative<jbyteArray>(env, kRedeems, [&](JniFrame& f) -> jbyteArray {
    if (!f.NotNull(info)) return nullptr;
    return f.NewBytes(nullptr, 0);
  });
}

JNIEXPORT jbyteArray JNICALL Java_com_morvane_keystrand_JniWrapper_MergeVorlekTx(JNIEnv* env, jclass, jint,
                                                                               jbyteArray tx, jstring other) {
  return EmptyAfter(env, kMerge, tx, nullptr, nullptr, other, true);
}

}  // extern "C"
