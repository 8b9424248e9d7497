#ifndef TOLVARIS_PLATFORM_PER_THREAD_H
#define TOLVARIS_PLATFORM_PER_THREAD_H

#include <pthread.h>

#include <new>

// One T per thread, each a block of its own reached through a key: made
// (value-initialised) on the thread's first Get, destroyed when the thread
// ends, and the calling thread's when the owner goes (the library is
// unloaded or the process ends: the key's destructor does not run for the
// thread that ends the process). T's destructor wipes what must not stay.
//
// A thread_local object would not do in a library that is loaded at run
// time (an add-on, or the core under a Java host): the C library allocates
// its storage on a thread's first use, and registers its destructor, and
// ends the process when either allocation fails. A key needs no allocation,
// and a block that cannot be had is a null Get for the caller to answer.
template <class T>
class PerThread {
 public:
  PerThread() : ready_(pthread_key_create(&key_, Destroy) == 0) {}
  ~PerThread() {
    if (!ready_) return;
    ready_ = false;
    Destroy(pthread_getspecific(key_));
    pthread_key_delete(key_);
  }
  PerThread(const PerThread&) = delete;
  PerThread& operator=(const PerThread&) = delete;

  // This thread's T; null when it cannot be allocated.
  T* Get() {
    if (void* t = ready_ ? pthread_getspecific(key_) : nullptr) return static_cast<T*>(t);
    return Make();
  }

 private:
  static void Destroy(void* t) { delete static_cast<T*>(t); }

  T* Make() {
    if (!ready_) return nullptr;
    T* t = new (std::nothrow) T();
    if (t != nullptr && pthread_setspecific(key_, t) != 0) {
      delete t;
      t = nullptr;
    }
    return t;
  }

  pthread_key_t key_{};
  bool ready_;
};

#endif
