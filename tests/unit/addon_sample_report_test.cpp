// The self-tests as a host runs them: "AddModule" sample, then each
// "TestBCModule" through tolvaris-run, its report checked line by line: the
// add-on prints it to standard output, which tolvaris-run points at standard
// error so that its own standard output holds the envelopes alone. A
// preloaded shim that spoils one export family's results makes the matching
// self-test fail at that step: the lines before it are printed, none after,
// and the reply carries the error object.
#include <gtest/gtest.h>
#include <json/json.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "test_vectors.h"

namespace {

const std::string kTool = std::string(TV_OUT_DIR) + "/tolvaris-run";
const std::string kShim = std::string(TV_TEST_ADDON_DIR) + "/tv-fault-shim.so";

struct Outcome {
  int status;
  std::vector<std::string> report;  // lines that are not envelopes
  Json::Value last;                 // the last envelope
};

Outcome RunSelfTest(const std::string& name, const std::string& fault = "") {
  const std::string input = std::string(R"({"action":"AddModule","args":{"addon":"sample","libpath":")") + TV_OUT_DIR +
                            "\"}}\n" + R"({"action":"TestBCModule","addon":"sample","args":{"bcmodule":")" + name +
                            "\"}}\n";
  std::string cmd = "printf '%s' '" + input + "' | ";
  if (!fault.empty()) cmd += "TV_FAULT=" + fault + " LD_PRELOAD=" + kShim + " ";
  char errPath[] = "/tmp/tv-sample-report-XXXXXX";
  const int errFd = mkstemp(errPath);
  Outcome r{-1, {}, {}};
  if (errFd < 0) return r;
  close(errFd);
  cmd += kTool + " 2>" + errPath;
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) return r;
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  const int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    EXPECT_EQ(line.rfind("{\"action\":", 0), 0u) << "not an envelope on standard output: " << line;
    Json::CharReaderBuilder b;
    std::string errs;
    std::istringstream s(line);
    EXPECT_TRUE(Json::parseFromStream(b, s, &r.last, &errs)) << line;
  }
  std::ifstream err(errPath);
  for (std::string line; std::getline(err, line);) r.report.push_back(line);
  unlink(errPath);
  return r;
}

bool Runs(const char* const* v) { return std::string(v[0]) == "0"; }
int HashId(const char* sel) { return std::string(sel) == "0" ? 1 : 11; }

// The report each self-test must print, from the stored vectors.
std::vector<std::string> ExpectedReport(const std::string& name) {
  std::vector<std::string> lines;
  char buf[2048];
  if (name == "BCMGenBase64") {
    lines.push_back(std::string("GenBase64Encode [") + kTestBytes + "] => [" + kExpectedBase64 + "]");
    lines.push_back(std::string("GenBase64Decode [") + kExpectedBase64 + "] => [" + kTestBytes + "]");
  } else if (name == "BCMGenBase58") {
    lines.push_back(std::string("GenBase58CheckEncode [") + kTestBytes + "] => [" + kExpectedBase58Check + "]");
    lines.push_back(std::string("GenBase58CheckDecode [") + kExpectedBase58Check + "] => [" + kTestBytes + "]");
  } else if (name == "BCMGenHashMessage") {
    for (const char* md : kExpectedDigests) lines.push_back(std::string("GenHashMessage [][") + kTestBytes + "] => [" + md + "]");
  } else if (name == "BCMGenMnemonic") {
    lines.push_back(std::string("GenMnemonic [") + kMnemonicEntropy + "] => [" + kExpectedMnemonic + "]");
  } else if (name == "BCMGenSignature") {
    for (const auto& v : ECDSATestVectors)
      if (v[1][0] != '\0' && Runs(v)) {
        std::snprintf(buf, sizeof buf, "GenSignature [%s][%s][%d][%d] => [%s][%s][%s]", v[1], v[3], HashId(v[4]),
                      std::string(v[5]) == "0" ? 0 : 1, v[6], v[7], v[8]);
        lines.push_back(buf);
      }
    for (const auto& v : Ed25519TestVectors)
      if (v[0][0] != '\0') lines.push_back(std::string("GenSignature_ED [") + v[0] + "][" + v[2] + "][" + v[3] + "][" + v[4] + "] => [" + v[5] + "]");
  } else if (name == "BCMVerifySignature") {
    for (const auto& v : ECDSATestVectors)
      if (v[1][0] != '\0' && Runs(v)) {
        std::snprintf(buf, sizeof buf, "VerifySignature [%s][%s][%d][0][%s][%s] => success", v[2], v[6], HashId(v[4]),
                      v[7], v[3]);
        lines.push_back(buf);
      }
    for (const auto& v : Ed25519TestVectors)
      if (v[0][0] != '\0')
        lines.push_back(std::string("VerifySignature_ED [") + v[1] + "][" + v[5] + "][" + v[2] + "][" + v[4] + "][" + v[3] + "] => success");
  }
  return lines;
}

TEST(SampleReport, EverySelfTestPrintsItsLines) {
  const struct {
    const char* name;
    size_t lines;
  } tests[] = {{"BCMGenEntropy", 1},  {"BCMGenBase64", 2},     {"BCMGenBase58", 2},      {"BCMGenHashMessage", 4},
               {"BCMGenMnemonic", 1}, {"BCMGenSignature", 22}, {"BCMVerifySignature", 22}};
  for (const auto& t : tests) {
    const Outcome r = RunSelfTest(t.name);
    EXPECT_EQ(r.status, 0) << t.name;
    EXPECT_EQ(r.last["result"].asString(), "success") << t.name;
    EXPECT_EQ(r.last["return"]["bcmodule"].asString(), t.name);
    ASSERT_EQ(r.report.size(), t.lines) << t.name;
    if (std::string(t.name) == "BCMGenEntropy") {
      // "Entropy [0x" and 40 lower-case hex digits, then "]".
      const std::string& line = r.report[0];
      const bool shaped = line.size() == 52 && line.rfind("Entropy [0x", 0) == 0 && line.back() == ']' &&
                          line.find_first_not_of("0123456789abcdef", 11) == 51;
      EXPECT_TRUE(shaped) << line;
      continue;
    }
    EXPECT_EQ(r.report, ExpectedReport(t.name)) << t.name;
  }
}

TEST(SampleReport, ASpoiledExportFailsItsSelfTest) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "a preloaded library cannot come before the sanitizer's runtime";
#endif
  const struct {
    const char* fault;
    const char* name;
    size_t linesBefore;
  } cases[] = {
      {"BCMGenEntropy", "BCMGenEntropy", 0},        {"BCMGenHashMessage", "BCMGenHashMessage", 0},
      {"BCMGenBase64", "BCMGenBase64", 0},          {"BCMGenBase58", "BCMGenBase58", 0},
      {"BCMGenMnemonic", "BCMGenMnemonic", 0},      {"BCMGenSignature", "BCMGenSignature", 0},
      {"BCMGenSignature_ED", "BCMGenSignature", 12}, {"BCMVerifySignature", "BCMVerifySignature", 0},
      {"BCMVerifySignature_ED", "BCMVerifySignature", 12},
  };
  for (const auto& c : cases) {
    const Outcome r = RunSelfTest(c.name, c.fault);
    EXPECT_EQ(r.status, 1) << c.fault;
    EXPECT_EQ(r.last["result"].asString(), "fail") << c.fault;
    EXPECT_EQ(r.last["return"]["error"]["err_msg"].asString(), "TestBCModule Running Error") << c.fault;
    ASSERT_EQ(r.report.size(), c.linesBefore) << c.fault;
    const std::vector<std::string> all = ExpectedReport(c.name);
    EXPECT_EQ(r.report, std::vector<std::string>(all.begin(), all.begin() + c.linesBefore)) << c.fault;
  }
}

}  // namespace
