#ifndef TOLVARIS_JNI_JNI_FRAME_H
#define TOLVARIS_JNI_JNI_FRAME_H

#include <jni.h>

#include <cstdint>
#include <exception>
#include <new>
#include <string_view>
#include <type_traits>

#include "command/secure_text.h"
#include "platform/memory.h"
#include "tolvaris/bcm_core.h"

// ---- The binding's support functions ----------------------------------------

// An HD node in native memory: each part with its length (a private length
// of 0 means a node without private key). Wiped when it dies.
struct NativeKeyPair {
  unsigned char pri[32];
  int priLen = 32;
  unsigned char pub[33];
  int pubLen = 33;
  unsigned char chain[32];
  int chainLen = 32;
  NativeKeyPair() = default;
  ~NativeKeyPair() { Wipe(this, sizeof *this); }
  NativeKeyPair(const NativeKeyPair&) = delete;
  NativeKeyPair& operator=(const NativeKeyPair&) = delete;
};

// Copies a Java byte array into `out`; 1 for a null array, else 0.
int JByteArrayToBytes(JNIEnv* env, jbyteArray array, SecureBytes& out);
// Reads an HDKeyPair's fields: "privateKey" null or 32 bytes, "publicKey" 33,
// "chainCode" 32. 1 for a null object, a null public key or chain code, any
// other length, or a Java exception on the way; else 0.
int GetHDKeyPair(JNIEnv* env, jobject object, NativeKeyPair& pair);
// A new HDKeyPair of the node (a null private key when its length is 0).
// 1 when it cannot be made (a Java exception may then be pending), else 0.
int NewHDKeyPair(JNIEnv* env, const NativeKeyPair& pair, jobject* out);
// A new RawTransaction of the bytes and kind; 1 as NewHDKeyPair.
int NewRawTransaction(JNIEnv* env, const unsigned char* bytes, size_t len, uint32_t kind, jobject* out);

// ---- The frame every native runs in ------------------------------------------

// Messages shared by the natives.
inline constexpr char kParameterIsNull[] = "Parameter is null.";
inline constexpr char kBytesIn[] = "Java bytes to native C unsigned chars converting failed.";
inline constexpr char kBytesOut[] = "Native C unsigned chars to Java bytes converting failed.";
inline constexpr char kBufferLength[] = "Buffer length setting failed.";
inline constexpr char kKeyPairIn[] = "Java keypair to native C keypair converting failed.";
inline constexpr char kKeyPairOut[] = "Native C keypair to Java keypair converting failed.";
inline constexpr char kRawTxOut[] = "Native C raw transaction to Java raw transaction converting failed.";
inline constexpr char kNoMemory[] = "Native memory allocation failed.";
inline constexpr char kInternal[] = "Native internal failure.";

// Argument conversion, library calls, result conversion and the exception of
// one native call. Every step returns false once the call has failed; the
// first failure's message is kept and thrown when the native ends, with the
// native's code, unless a Java exception is already pending (an
// OutOfMemoryError from the VM, say): then no further JNI call is made and
// that exception is what Java sees.
//
// A frame starts by emptying the calling thread's error trail, so the trail
// an exception quotes is always this native's own: empty when the native
// failed before it reached the library (a null argument, an overlong AES key,
// an unknown mode name) or when its library call opens no trail (the address
// and raw transaction drivers), never the text an earlier call left.
class JniFrame {
 public:
  JniFrame(JNIEnv* env, int code);
  JNIEnv* env() const { return env_; }

  // Records a failure (the first one wins) and returns false.
  bool Fail(std::string_view message);
  // The same with another code than the native's.
  bool Fail(int code, std::string_view message);
  // False (and failed) when a JNI call left an exception pending.
  bool JavaOk();

  // Arguments. A null reference fails with `nullMessage`.
  bool NotNull(const void* ref, const char* nullMessage = kParameterIsNull);
  bool Bytes(jbyteArray array, SecureBytes& out, const char* nullMessage = kParameterIsNull);
  // A string as standard UTF-8; one holding U+0000 or an unpaired surrogate
  // fails as a null one does.
  bool Text(jstring text, SecureText& out);

  // One library call, `fn()` returning 0 on success, failing with
  // `failMessage` otherwise. The library keeps each thread's error trail
  // apart, so the exception, thrown on this thread, quotes this call's.
  template <class Fn>
  bool Call(std::string_view failMessage, Fn&& fn) {
    return fn() == 0 || Fail(failMessage);
  }
  // A library output of unknown length: `fn(nullptr, &len)` asks for the
  // length, then `fn(buffer, &len)` fills a zeroed buffer of that length;
  // `out` keeps the written bytes.
  template <class Len, class Fn>
  bool Sized(SecureBytes& out, std::string_view failMessage, Fn&& fn) {
    Len len = 0;
    if (fn(static_cast<unsigned char*>(nullptr), &len) != 0 || Negative(len))
      return Fail(kBufferLength);
    SecureBytes buffer(static_cast<size_t>(len) + 1);  // never empty, so never a null pointer
    Len written = len;
    if (fn(buffer.data(), &written) != 0) return Fail(failMessage);
    if (Negative(written) || written > len) return Fail(failMessage);
    out.resize(static_cast<size_t>(written));
    for (size_t i = 0; i < out.size(); ++i) out[i] = buffer[i];
    return true;
  }

  template <class Len>
  static bool Negative(Len n) {
    if constexpr (std::is_signed_v<Len>) return n < 0;
    return false;
  }

  // Results; null after a failure.
  jbyteArray NewBytes(const unsigned char* data, size_t len);
  jbyteArray NewBytes(const SecureBytes& b) { return NewBytes(b.data(), b.size()); }
  jstring NewText(const char* data, size_t len);
  jstring NewText(const SecureBytes& b) { return NewText(reinterpret_cast<const char*>(b.data()), b.size()); }
  jobject NewKeyPair(const NativeKeyPair& pair);

  // Throws the recorded failure, if any. Runs once, when the native ends.
  void Finish();

 private:
  JNIEnv* env_;
  int code_;
  bool failed_ = false;
  int failCode_ = 0;
  SecureText message_;
};

// Runs a native's body in its frame: `body(frame)` returns the native's
// result, which Java sees only when no exception is thrown. No C++ exception
// leaves: an allocation failure or any other one ends in the native's own
// exception.
template <class R, class Body>
R RunNative(JNIEnv* env, int code, Body&& body) noexcept {
  JniFrame frame(env, code);
  R result{};
  try {
    result = body(frame);
  } catch (const std::bad_alloc&) {
    frame.Fail(kNoMemory);
  } catch (...) {
    frame.Fail(kInternal);
  }
  try {
    frame.Finish();
  } catch (...) {
    // Only the message could not be built; the native still returns.
  }
  return result;
}

// The pointer a library input takes: never null, even for an empty array.
inline const unsigned char* InPtr(const SecureBytes& b) {
  static const unsigned char kEmpty[1] = {0};
  return b.size() != 0 ? b.data() : kEmpty;
}
inline const char* InText(const SecureText& t) { return t.c_str(); }

#endif
