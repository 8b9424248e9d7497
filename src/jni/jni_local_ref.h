#ifndef TOLVARIS_JNI_JNI_LOCAL_REF_H
#define TOLVARIS_JNI_JNI_LOCAL_REF_H

#include <jni.h>

// Deletes a local reference when the scope ends, so loops over arrays never
// pile references up in the native's frame.
class LocalRef {
 public:
  LocalRef(JNIEnv* env, jobject ref) : env_(env), ref_(ref) {}
  ~LocalRef() {
    if (ref_ != nullptr) env_->DeleteLocalRef(ref_);
  }
  LocalRef(const LocalRef&) = delete;
  LocalRef& operator=(const LocalRef&) = delete;
  jobject get() const { return ref_; }
  // Hands the reference to the caller (a native's result).
  jobject release() {
    jobject r = ref_;
    ref_ = nullptr;
    return r;
  }

 private:
  JNIEnv* env_;
  jobject ref_;
};

#endif
