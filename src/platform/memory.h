#ifndef TOLVARIS_PLATFORM_MEMORY_H
#define TOLVARIS_PLATFORM_MEMORY_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Host byte order, fixed by the compiler: 1 means little-endian.
inline constexpr uint16_t HostEndianFlag = (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__) ? 1 : 0;

// Overwrites a buffer with zeros in a way the compiler may not drop.
void Wipe(void* p, size_t n);

inline void WipeVector(std::vector<unsigned char>& v) {
  if (!v.empty()) Wipe(v.data(), v.size());
}
inline void WipeString(std::string& s) {
  if (!s.empty()) Wipe(s.data(), s.size());
}

// Wipes an object (a key buffer, a context) when the scope ends, on every path.
class ScopedWipe {
 public:
  ScopedWipe(void* p, size_t n) : p_(p), n_(n) {}
  template <class T>
  explicit ScopedWipe(T& obj) : p_(&obj), n_(sizeof(T)) {}
  ~ScopedWipe() { Wipe(p_, n_); }
  ScopedWipe(const ScopedWipe&) = delete;
  ScopedWipe& operator=(const ScopedWipe&) = delete;

 private:
  void* p_;
  size_t n_;
};

// A byte vector that is wiped when destroyed or reassigned through Clear().
class SecureBytes {
 public:
  SecureBytes() = default;
  explicit SecureBytes(size_t n) : v_(n) {}
  SecureBytes(const unsigned char* p, size_t n) : v_(p, p + n) {}
  ~SecureBytes() { WipeVector(v_); }
  SecureBytes(const SecureBytes&) = delete;
  SecureBytes& operator=(const SecureBytes&) = delete;
  unsigned char* data() { return v_.data(); }
  const unsigned char* data() const { return v_.data(); }
  size_t size() const { return v_.size(); }
  void resize(size_t n) {
    // Grow into a fresh block so no copy of the old contents is left behind unwiped.
    std::vector<unsigned char> w(n);
    for (size_t i = 0; i < n && i < v_.size(); ++i) w[i] = v_[i];
    WipeVector(v_);
    v_.swap(w);
  }
  unsigned char& operator[](size_t i) { return v_[i]; }
  const unsigned char& operator[](size_t i) const { return v_[i]; }

 private:
  std::vector<unsigned char> v_;
};

#endif
