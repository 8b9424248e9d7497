#ifndef TOLVARIS_JNI_JNI_EXCEPTIONS_H
#define TOLVARIS_JNI_JNI_EXCEPTIONS_H

#include <jni.h>

#include <string_view>

#include "command/secure_text.h"

// The Java class (JNI name) thrown for a native's error code. Each code names
// the operation that failed; codes without a class of their own raise
// "java/lang/Error".
const char* JniExceptionClass(int code);

// The text of a thrown exception: "\nOstrel Exception => " + message + "\n" +
// the library's last-error text.
SecureText JniExceptionMessage(std::string_view message, std::string_view lastError);

// Throws the class of `code` with that text; the last-error text is the one
// the calling thread's trail holds (BCMGetLastErr), which every native
// empties when it starts (JniFrame). Must not be called with an exception
// pending. When the class cannot be found or the exception cannot be made,
// the exception that says so (NoClassDefFoundError, OutOfMemoryError) is left
// pending instead.
void ThrowJniException(JNIEnv* env, int code, std::string_view message);

#endif
