// Natives that reach the command interface: the Bitcoin address and raw
// transaction drivers, the SLIP-44 index and RunModule itself.
#include <com_morvane_keystrand_JniWrapper.h>

#include <cstring>

#include "jni/jni_frame.h"
#include "tolvaris/runmodule.h"
#include "tolvaris/unprefixed.h"

namespace {

constexpr int kGenerateAddress = 1006;
constexpr int kGenerateTransaction = 1007;
constexpr int kRunModule = 1039;
constexpr int kNoCode = 0;

constexpr uint32_t kAddressCapacity = 128;

// A RunModule reply: wiped and released with FreeMem when it dies (replies
// echo their arguments, private keys included).
class Reply {
 public:
  Reply() = default;
  ~Reply() {
    if (text_ != nullptr) {
      Wipe(text_, std::strlen(text_));
      FreeMem(text_);
    }
  }
  Reply(const Reply&) = delete;
  Reply& operator=(const Reply&) = delete;
  char** slot() { return &text_; }
  const char* text() const { return text_; }

 private:
  char* text_ = nullptr;
};

}  // namespace

extern "C" {

JNIEXPORT jstring JNICALL Java_com_morvane_keystrand_JniWrapper_GenAddr(JNIEnv* env, jclass, jint coinCode,
                                                                      jstring addrInfo) {
  return RunNative<jstring>(env, kGenerateAddress, [&](JniFrame& f) -> jstring {
    SecureText info;
    if (!f.Text(addrInfo, info)) return nullptr;
    unsigned char addr[kAddressCapacity] = {0};
    uint32_t len = kAddressCapacity;
    if (!f.Call("Generating address failed.",
                [&] { return GenAddr(static_cast<uint32_t>(coinCode), InText(info), addr, &len); }))
      return nullptr;
    return f.NewText(reinterpret_cast<const char*>(addr), len);
  });
}

JNIEXPORT jobject JNICALL Java_com_morvane_keystrand_JniWrapper_GenRawTransaction(JNIEnv* env, jclass, jint coinCode,
                                                                                jstring txInfo) {
  return RunNative<jobject>(env, kGenerateTransaction, [&](JniFrame& f) -> jobject {
    SecureText info;
    SecureBytes raw;
    uint32_t kind = 1;
    if (!f.Text(txInfo, info)) return nullptr;
    if (!f.Sized<uint32_t>(raw, "Raw transaction generating failed.", [&](unsigned char* out, uint32_t* len) {
          return GenRawTx(static_cast<uint32_t>(coinCode), InText(info), &kind, out, len);
        }))
      return nullptr;
    jobject made = nullptr;
    if (NewRawTransaction(env, raw.data(), raw.size(), kind, &made) != 0) {
      if (f.JavaOk()) f.Fail(kRawTxOut);
      return nullptr;
    }
    return made;
  });
}

JNIEXPORT jint JNICALL Java_com_morvane_keystrand_JniWrapper_GetSlipIndex(JNIEnv* env, jclass, jint coinCode) {
  return RunNative<jint>(env, kNoCode, [&](JniFrame&) -> jint {
    return static_cast<jint>(GetSlip44Index(static_cast<uint32_t>(coinCode)));
  });
}

JNIEXPORT jstring JNICALL Java_com_morvane_keystrand_JniWrapper_RunModule(JNIEnv* env, jclass, jstring request) {
  return RunNative<jstring>(env, kRunModule, [&](JniFrame& f) -> jstring {
    SecureText text;
    Reply reply;
    if (!f.Text(request, text)) return nullptr;
    const int rc = RunModule(InText(text), reply.slot());
    if (rc == 0 && reply.text() != nullptr) return f.NewText(reply.text(), std::strlen(reply.text()));
    SecureText message("runmodule error return");
    if (reply.text() != nullptr) {
      message.push_back('\n');
      message.append(reply.text());
    }
    f.Fail(message);
    return nullptr;
  });
}

}  // extern "C"
