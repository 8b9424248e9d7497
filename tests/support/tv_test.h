#ifndef TOLVARIS_TESTS_SUPPORT_H
#define TOLVARIS_TESTS_SUPPORT_H

#include <json/json.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tvt {

using Bytes = std::vector<unsigned char>;

// Lowercase hex of a byte string, and back (asserts on bad input).
std::string Hex(const unsigned char* p, size_t n);
inline std::string Hex(const Bytes& b) { return Hex(b.data(), b.size()); }
Bytes Unhex(const std::string& hex);
inline Bytes FromText(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Files: the shared vectors folder and the project's own fixtures.
std::string VectorPath(const std::string& name);
std::string FixturePath(const std::string& name);
std::string ReadFile(const std::string& path);
Json::Value ReadJson(const std::string& path);
Json::Value ParseJson(const std::string& text);

// Deterministic pseudo-random test data (seeded, independent of the library).
class TestRng {
 public:
  explicit TestRng(uint64_t seed) : s_(seed ? seed : 0x9e3779b97f4a7c15ull) {}
  uint64_t Next();
  Bytes RandBytes(size_t n);
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }

 private:
  uint64_t s_;
};

// Runs the system python3 with a script and standard input; returns stdout.
// Fails the current test (and returns "") when python exits nonzero.
std::string RunPython(const std::string& script, const std::string& input);

// The same with node, whose require() finds the pinned oracle packages of
// tests/oracles (installed by scripts/setup).
std::string RunNode(const std::string& script, const std::string& input);

// The text of BCMGetLastErr.
std::string LastErr();

}  // namespace tvt

#endif
