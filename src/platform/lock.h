#ifndef TOLVARIS_PLATFORM_LOCK_H
#define TOLVARIS_PLATFORM_LOCK_H

#include <mutex>

// A critical section: re-entrant for the thread that holds it.
class CriticalSection {
 public:
  void Enter() { m_.lock(); }
  void Leave() { m_.unlock(); }

 private:
  std::recursive_mutex m_;
};

// Holds a critical section for the life of the scope.
class CriticalSectionGuard {
 public:
  explicit CriticalSectionGuard(CriticalSection& cs) : cs_(cs) { cs_.Enter(); }
  ~CriticalSectionGuard() { cs_.Leave(); }
  CriticalSectionGuard(const CriticalSectionGuard&) = delete;
  CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

 private:
  CriticalSection& cs_;
};

#endif
