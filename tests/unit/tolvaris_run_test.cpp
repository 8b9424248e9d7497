// The host program: one request as an argument, or one per input line in one
// process (AddModule state carries across lines); nonzero exit on failure.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

const std::string kTool = std::string(TV_OUT_DIR) + "/tolvaris-run";
const std::string kDir = TV_TEST_ADDON_DIR;

struct Outcome {
  int status;
  std::string out;
};

Outcome Shell(const std::string& cmd) {
  Outcome o{-1, ""};
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return o;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) o.out.append(buf, n);
  const int st = pclose(p);
  o.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return o;
}

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

TEST(TolvarisRun, OneArgument) {
  Outcome o = Shell(kTool + " " + Quote(R"({"action":"GenHashMessage","args":{"hashalgo":"SHA256","data":"abc"}})"));
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out,
            R"j({"action":"GenHashMessage","result":"success","return":{"hashalgo":"SHA256","data":"abc","md":"0xba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"}})j"
            "\n");
  o = Shell(kTool + " " + Quote(R"({"action":"Nope"})"));
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out.back(), '\n');
  // More than one argument is a usage error: nothing is sent.
  o = Shell(kTool + " '{}' '{}' 2>/dev/null");
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.out, "");
}

TEST(TolvarisRun, LinesShareOneProcess) {
  const std::string input = ::testing::TempDir() + "/tolvaris_run_lines.jsonl";
  {
    std::ofstream f(input);
    f << R"({"action":"AddModule","args":{"addon":"echo","libpath":")" << kDir << "\"}}\n"
      << "\n"
      << R"({"action":"Ping","addon":"echo","args":{}})" << "\n"
      << R"({"action":"EchoIndented","addon":"echo"})" << "\n";
  }
  Outcome o = Shell(kTool + " < " + Quote(input));
  EXPECT_EQ(o.status, 0) << o.out;
  const size_t first = o.out.find('\n');
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(o.out.find(R"("result":"success")"), std::string::npos);
  EXPECT_EQ(o.out.substr(first + 1, 50), R"j({"action":"Ping","addon":"echo","result":"success")j");
  // An add-on's multi-line reply still makes one line.
  EXPECT_NE(o.out.find(R"("return":{  "a" : 1}})" "\n"), std::string::npos) << o.out;
  EXPECT_EQ(std::count(o.out.begin(), o.out.end(), '\n'), 3);

  // A failing line makes the exit code nonzero; the later lines still run.
  {
    std::ofstream f(input);
    f << "{\n" << R"({"action":"GenHashMessage","args":{"hashalgo":"SHA256"}})" << "\n";
  }
  o = Shell(kTool + " < " + Quote(input));
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.out.find(R"({"action":"json_parse")"), std::string::npos);
  EXPECT_NE(o.out.find(R"({"action":"GenHashMessage","result":"success")"), std::string::npos);
  std::remove(input.c_str());
}

}  // namespace
