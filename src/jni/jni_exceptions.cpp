#include "jni/jni_exceptions.h"

#include <string>

#include "jni/jni_local_ref.h"
#include "jni/jni_text.h"
#include "tolvaris/bcm_core.h"

namespace {

#define KEYSTRAND_EXCEPTION(name) "com/morvane/keystrand/exceptions/" name

struct CodeClass {
  int first, last;   // the codes, inclusive
  const char* name;  // the class's JNI name
};

constexpr CodeClass kClasses[] = {
    {1001, 1001, KEYSTRAND_EXCEPTION("GenerateMnemonicFailException")},
    {1028, 1029, KEYSTRAND_EXCEPTION("GenerateMnemonicFailException")},
    {1002, 1002, KEYSTRAND_EXCEPTION("ConvertMnemonicToSeedFailException")},
    {1003, 1004, KEYSTRAND_EXCEPTION("KeyDerivationFailException")},
    {1014, 1014, KEYSTRAND_EXCEPTION("KeyDerivationFailException")},
    {1006, 1006, KEYSTRAND_EXCEPTION("GenerateAddressFailException")},
    {1007, 1007, KEYSTRAND_EXCEPTION("GenerateTransactionFailException")},
    {1009, 1009, KEYSTRAND_EXCEPTION("GenerateMasterNodeFailException")},
    {1011, 1011, KEYSTRAND_EXCEPTION("MessageDigestFailException")},
    {1012, 1012, KEYSTRAND_EXCEPTION("EncryptionErrorException")},
    {1017, 1017, KEYSTRAND_EXCEPTION("EncryptionErrorException")},
    {1019, 1019, KEYSTRAND_EXCEPTION("EncryptionErrorException")},
    {1013, 1013, KEYSTRAND_EXCEPTION("DecryptionErrorException")},
    {1018, 1018, KEYSTRAND_EXCEPTION("DecryptionErrorException")},
    {1020, 1020, KEYSTRAND_EXCEPTION("DecryptionErrorException")},
    {1021, 1021, KEYSTRAND_EXCEPTION("GenerateEntropyFailException")},
    {1022, 1022, KEYSTRAND_EXCEPTION("InvalidMnemonicException")},
    {1023, 1026, KEYSTRAND_EXCEPTION("MultisigErrorException")},
    {1031, 1032, KEYSTRAND_EXCEPTION("MultisigErrorException")},
    {1039, 1039, KEYSTRAND_EXCEPTION("RunModuleException")},
    {1, 1, "java/lang/Exception"},
};
constexpr char kOtherCodes[] = "java/lang/Error";

#undef KEYSTRAND_EXCEPTION

}  // namespace

const char* JniExceptionClass(int code) {
  for (const CodeClass& c : kClasses)
    if (code >= c.first && code <= c.last) return c.name;
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
