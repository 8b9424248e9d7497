#include "tv_test.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "tolvaris/bcm_core.h"

namespace tvt {

std::string Hex(const unsigned char* p, size_t n) {
  static const char* d = "0123456789abcdef";
  std::string s;
  s.reserve(2 * n);
  for (size_t i = 0; i < n; ++i) {
    s.push_back(d[p[i] >> 4]);
    s.push_back(d[p[i] & 15]);
  }
  return s;
}

Bytes Unhex(const std::string& hex) {
  auto val = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  Bytes out;
  EXPECT_EQ(hex.size() % 2, 0u) << hex;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    int a = val(hex[i]), b = val(hex[i + 1]);
    EXPECT_TRUE(a >= 0 && b >= 0) << hex;
    out.push_back(static_cast<unsigned char>(a * 16 + b));
  }
  return out;
}

std::string VectorPath(const std::string& name) { return std::string(TV_VECTORS_DIR) + "/" + name; }
std::string FixturePath(const std::string& name) { return std::string(TV_FIXTURES_DIR) + "/" + name; }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot open " << path;
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

Json::Value ParseJson(const std::string& text) {
  Json::CharReaderBuilder b;
  Json::Value v;
  std::string errs;
  std::unique_ptr<Json::CharReader> r(b.newCharReader());
  EXPECT_TRUE(r->parse(text.data(), text.data() + text.size(), &v, &errs)) << errs;
  return v;
}

Json::Value ReadJson(const std::string& path) { return ParseJson(ReadFile(path)); }

uint64_t TestRng::Next() {
  // splitmix64
  uint64_t z = (s_ += 0x9e3779b97f4a7c15ull);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}

Bytes TestRng::RandBytes(size_t n) {
  Bytes b(n);
  for (auto& c : b) c = static_cast<unsigned char>(Next());
  return b;
}

namespace {

// Runs `command` + a temporary file holding `script`, with `input` on
// standard input; returns standard output.
std::string RunScript(const std::string& command, const char* what, const std::string& script,
                      const std::string& input) {
  char scriptPath[] = "/tmp/tvt-script-XXXXXX";
  int fd = mkstemp(scriptPath);
  EXPECT_GE(fd, 0);
  if (fd < 0) return "";
  if (write(fd, script.data(), script.size()) != static_cast<ssize_t>(script.size())) ADD_FAILURE();
  close(fd);
  char inPath[] = "/tmp/tvt-in-XXXXXX";
  fd = mkstemp(inPath);
  if (write(fd, input.data(), input.size()) != static_cast<ssize_t>(input.size())) ADD_FAILURE();
  close(fd);
  std::string cmd = command + " " + scriptPath + " < " + inPath;
  FILE* p = popen(cmd.c_str(), "r");
  std::string out;
  char buf[4096];
  size_t n;
  while (p != nullptr && (n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int status = p != nullptr ? pclose(p) : -1;
  unlink(scriptPath);
  unlink(inPath);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << what << " failed: " << out;
  return out;
}

}  // namespace

std::string RunPython(const std::string& script, const std::string& input) {
  return RunScript(TV_PYTHON, "python", script, input);
}

std::string RunNode(const std::string& script, const std::string& input) {
  return RunScript(std::string("NODE_PATH=") + TV_NODE_MODULES + " node", "node", script, input);
}

std::string LastErr() { return BCMGetLastErr(); }

}  // namespace tvt
