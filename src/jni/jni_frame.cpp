#include "jni/jni_frame.h"

#include "jni/jni_exceptions.h"
#include "jni/jni_local_ref.h"
#include "jni/jni_text.h"
#include "trail/trail.h"

namespace {

constexpr char kKeyPairClass[] = "com/morvane/keystrand/key/HDKeyPair";
constexpr char kKeyPairInit[] = "([B[B[B)V";
constexpr char kRawTxClass[] = "com/morvane/keystrand/transaction/RawTransaction";
constexpr char kRawTxInit[] = "([BI)V";

// A byte array of the bytes, or null (a Java exception may be pending).
jbyteArray ToByteArray(JNIEnv* env, const unsigned char* data, size_t len) {
  if (len > static_cast<size_t>(INT32_MAX)) return nullptr;
  const jbyteArray array = env->NewByteArray(static_cast<jsize>(len));
  if (array == nullptr || env->ExceptionCheck()) return nullptr;
  if (len != 0) env->SetByteArrayRegion(array, 0, static_cast<jsize>(len), reinterpret_cast<const jbyte*>(data));
  if (env->ExceptionCheck()) {
    env->DeleteLocalRef(array);
    return nullptr;
  }
  return array;
}

// Reads one "[B" field of exactly `len` bytes (a null one gives length 0 when
// `mayBeNull`). False for anything else.
bool ReadKeyField(JNIEnv* env, jobject object, jclass cls, const char* name, unsigned char* dest, int len,
                  bool mayBeNull, int* gotLen) {
  const jfieldID field = env->GetFieldID(cls, name, "[B");
  if (field == nullptr || env->ExceptionCheck()) return false;
  const jobject value = env->GetObjectField(object, field);
  if (env->ExceptionCheck()) return false;
  if (value == nullptr) {
    *gotLen = 0;
    return mayBeNull;
  }
  LocalRef valueRef(env, value);
  const auto array = static_cast<jbyteArray>(value);
  if (env->GetArrayLength(array) != len) return false;
  env->GetByteArrayRegion(array, 0, len, reinterpret_cast<jbyte*>(dest));
  if (env->ExceptionCheck()) return false;
  *gotLen = len;
  return true;
}

}  // namespace

// ---- Support functions -------------------------------------------------------

int JByteArrayToBytes(JNIEnv* env, jbyteArray array, SecureBytes& out) {
  if (array == nullptr) return 1;
  const jsize len = env->GetArrayLength(array);
  out.resize(0);
  out.resize(static_cast<size_t>(len));
  if (len != 0) env->GetByteArrayRegion(array, 0, len, reinterpret_cast<jbyte*>(out.data()));
  return env->ExceptionCheck() ? 1 : 0;
}

int GetHDKeyPair(JNIEnv* env, jobject object, NativeKeyPair& pair) {
  if (object == nullptr) return 1;
  const jclass cls = env->GetObjectClass(object);
  if (cls == nullptr) return 1;
  LocalRef clsRef(env, cls);
  int pubLen = 0, chainLen = 0, priLen = 0;
  if (!ReadKeyField(env, object, cls, "publicKey", pair.pub, 33, false, &pubLen)) return 1;
  if (!ReadKeyField(env, object, cls, "chainCode", pair.chain, 32, false, &chainLen)) return 1;
  if (!ReadKeyField(env, object, cls, "privateKey", pair.pri, 32, true, &priLen)) return 1;
  pair.priLen = priLen;
  pair.pubLen = pubLen;
  pair.chainLen = chainLen;
  return 0;
}

int NewHDKeyPair(JNIEnv* env, const NativeKeyPair& pair, jobject* out) {
  const jclass cls = env->FindClass(kKeyPairClass);
  if (cls == nullptr) return 1;
  LocalRef clsRef(env, cls);
  const jmethodID init = env->GetMethodID(cls, "<init>", kKeyPairInit);
  if (init == nullptr) return 1;
  jbyteArray pri = nullptr;
  if (pair.priLen != 0) {
    pri = ToByteArray(env, pair.pri, static_cast<size_t>(pair.priLen));
    if (pri == nullptr) return 1;
  }
  LocalRef priRef(env, pri);
  const jbyteArray pub = ToByteArray(env, pair.pub, static_cast<size_t>(pair.pubLen));
  if (pub == nullptr) return 1;
  LocalRef pubRef(env, pub);
  const jbyteArray chain = ToByteArray(env, pair.chain, static_cast<size_t>(pair.chainLen));
  if (chain == nullptr) return 1;
  LocalRef chainRef(env, chain);
  const jobject made = env->NewObject(cls, init, pri, pub, chain);
  if (made == nullptr || env->ExceptionCheck()) return 1;
  *out = made;
  return 0;
}

int NewRawTransaction(JNIEnv* env, const unsigned char* bytes, size_t len, uint32_t kind, jobject* out) {
  const jclass cls = env->FindClass(kRawTxClass);
  if (cls == nullptr) return 1;
  LocalRef clsRef(env, cls);
  const jmethodID init = env->GetMethodID(cls, "<init>", kRawTxInit);
  if (init == nullptr) return 1;
  const jbyteArray array = ToByteArray(env, bytes, len);
  if (array == nullptr) return 1;
  LocalRef arrayRef(env, array);
  const jobject made = env->NewObject(cls, init, array, static_cast<jint>(kind));
  if (made == nullptr || env->ExceptionCheck()) return 1;
  *out = made;
  return 0;
}

// ---- Frame -------------------------------------------------------------------

JniFrame::JniFrame(JNIEnv* env, int code) : env_(env), code_(code) { SetErrFunc(nullptr); }

bool JniFrame::Fail(std::string_view message) { return Fail(code_, message); }

bool JniFrame::Fail(int code, std::string_view message) {
  if (!failed_) {
    failed_ = true;
    failCode_ = code;
    message_.assign(message);
  }
  return false;
}

bool JniFrame::JavaOk() {
  if (!env_->ExceptionCheck()) return true;
  failed_ = true;
  return false;
}

bool JniFrame::NotNull(const void* ref, const char* nullMessage) { return ref != nullptr || Fail(nullMessage); }

bool JniFrame::Bytes(jbyteArray array, SecureBytes& out, const char* nullMessage) {
  if (array == nullptr) return Fail(nullMessage);
  return JByteArrayToBytes(env_, array, out) == 0 || (JavaOk() && Fail(kBytesIn));
}

bool JniFrame::Text(jstring text, SecureText& out) {
  if (text == nullptr) return Fail(kParameterIsNull);
  const jsize len = env_->GetStringLength(text);
  if (!JavaOk()) return false;
  Utf16Text chars(static_cast<size_t>(len));
  if (len != 0) env_->GetStringRegion(text, 0, len, reinterpret_cast<jchar*>(chars.data()));
  if (!JavaOk()) return false;
  return Utf16ToUtf8(chars.data(), chars.size(), out) || Fail(kParameterIsNull);
}

jbyteArray JniFrame::NewBytes(const unsigned char* data, size_t len) {
  if (failed_) return nullptr;
  const jbyteArray array = ToByteArray(env_, data, len);
  if (array == nullptr) {
    if (JavaOk()) Fail(kBytesOut);
    return nullptr;
  }
  return array;
}

jstring JniFrame::NewText(const char* data, size_t len) {
  if (failed_) return nullptr;
  Utf16Text chars;
  Utf8ToUtf16(data, len, chars);
  if (chars.size() > static_cast<size_t>(INT32_MAX)) {
    Fail(kNoMemory);
    return nullptr;
  }
  const jstring text = env_->NewString(reinterpret_cast<const jchar*>(chars.data()), static_cast<jsize>(chars.size()));
  if (text == nullptr || !JavaOk()) {
    if (text == nullptr && !failed_) Fail(kNoMemory);
    return nullptr;
  }
  return text;
}

jobject JniFrame::NewKeyPair(const NativeKeyPair& pair) {
  if (failed_) return nullptr;
  jobject made = nullptr;
  if (NewHDKeyPair(env_, pair, &made) != 0) {
    if (JavaOk()) Fail(kKeyPairOut);
    return nullptr;
  }
  return made;
}

void JniFrame::Finish() {
  if (!failed_ || env_->ExceptionCheck()) return;
  ThrowJniException(env_, failCode_, message_);
}
