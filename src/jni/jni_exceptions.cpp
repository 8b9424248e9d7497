#include "jni/jni_exceptions.h"

#include <iterator>
#include <string>

#include "jni/jni_local_ref.h"
#include "jni/jni_text.h"
#include "tolvaris/bcm_core.h"

namespace {

constexpr char kExceptions[] = "com/morvane/keystrand/exceptions/";

struct CodeClass {
  int first, last;  // the codes, inclusive
  const char* name;  // under kExceptions, or a full name when it holds "/"
};

constexpr CodeClass kClasses[] = {
    {1001, 1001, "GenerateMnemonicFailException"},
    {1028, 1029, "GenerateMnemonicFailException"},
    {1002, 1002, "ConvertMnemonicToSeedFailException"},
    {1003, 1004, "KeyDerivationFailException"},
    {1014, 1014, "KeyDerivationFailException"},
    {1006, 1006, "GenerateAddressFailException"},
    {1007, 1007, "GenerateTransactionFailException"},
    {1009, 1009, "GenerateMasterNodeFailException"},
    {1011, 1011, "MessageDigestFailException"},
    {1012, 1012, "EncryptionErrorException"},
    {1017, 1017, "EncryptionErrorException"},
    {1019, 1019, "EncryptionErrorException"},
    {1013, 1013, "DecryptionErrorException"},
    {1018, 1018, "DecryptionErrorException"},
    {1020, 1020, "DecryptionErrorException"},
    {1021, 1021, "GenerateEntropyFailException"},
    {1022, 1022, "InvalidMnemonicException"},
    {1023, 1026, "MultisigErrorException"},
    {1031, 1032, "MultisigErrorException"},
    {1039, 1039, "RunModuleException"},
    {1, 1, "java/lang/Exception"},
};
constexpr char kOtherCodes[] = "java/lang/Error";

// The full JNI names, built once.
struct ClassNames {
  std::string names[std::size(kClasses)];
  ClassNames() {
    for (size_t i = 0; i < std::size(kClasses); ++i) {
      const std::string_view n = kClasses[i].name;
      names[i] = n.find('/') == std::string_view::npos ? std::string(kExceptions).append(n) : std::string(n);
    }
  }
};

}  // namespace

const char* JniExceptionClass(int code) {
  static const ClassNames built;
  for (size_t i = 0; i < std::size(kClasses); ++i)
    if (code >= kClasses[i].first && code <= kClasses[i].last) return built.names[i].c_str();
  return kOtherCodes;
}

SecureText JniExceptionMessage(std::string_view message, std::string_view lastError) {
  SecureText text("\nOstrel Exception => ");
  text.append(message);
  text.push_back('\n');
  text.append(lastError);
  return text;
}

void ThrowJniException(JNIEnv* env, int code, std::string_view message) {
  const jclass cls = env->FindClass(JniExceptionClass(code));
  if (cls == nullptr) return;
  LocalRef clsRef(env, cls);
  const jmethodID init = env->GetMethodID(cls, "<init>", "(Ljava/lang/String;)V");
  if (init == nullptr) return;
  // Built from UTF-16, so every character of the message arrives as it is
  // (ThrowNew would read it as modified UTF-8).
  Utf16Text chars;
  const SecureText text = JniExceptionMessage(message, BCMGetLastErr());
  Utf8ToUtf16(text.data(), text.size(), chars);
  const jstring jtext = env->NewString(reinterpret_cast<const jchar*>(chars.data()), static_cast<jsize>(chars.size()));
  if (jtext == nullptr) return;
  LocalRef textRef(env, jtext);
  const jobject thrown = env->NewObject(cls, init, jtext);
  if (thrown == nullptr) return;
  LocalRef thrownRef(env, thrown);
  env->Throw(static_cast<jthrowable>(thrown));
}
