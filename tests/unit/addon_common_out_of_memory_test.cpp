// Running out of memory in the add-on framework: each allocation made
// through operator new in turn is made to fail. A text is written whole or
// not at all, a call answers with the reply it gives with memory enough or
// with an error reply (never a success cut short, never no reply while the
// reply buffer itself can be had), and a thread whose error chain cannot be
// allocated gets the fixed out-of-memory reply.
#include <gtest/gtest.h>
#include <json/json.h>

#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "command/json_check.h"
#include "common/entry.h"
#include "common/error_chain.h"
#include "common/json_io.h"
#include "failing_new_testing.h"

namespace {

// A document that makes the writer grow its text many times over.
Json::Value Document() {
  Json::Value v;
  v["note"] = "bell\x07 and caf\xc3\xa9";
  for (int i = 0; i < 40; ++i) v["list"].append(std::string(static_cast<size_t>(i) * 7, 'x'));
  v["nested"]["deeper"]["deepest"] = Json::Value(Json::arrayValue);
  return v;
}

TEST(AddonOutOfMemory, AWrittenTextIsWholeOrNothing) {
  const Json::Value doc = Document();
  for (const char* indentation : {"", "  "}) {
    const std::string whole = std::string(WriteJson(doc, indentation));
    for (long k = 1;; ++k) {
      std::string text;
      bool threw = false;
      bool reached;
      {
        const fnt::FailAt fail(k);
        try {
          text = std::string(WriteJson(doc, indentation));
        } catch (const std::bad_alloc&) {
          threw = true;
        }
        reached = fnt::FailAt::Reached();
      }
      if (!reached) break;
      EXPECT_TRUE(threw || text == whole)
          << "allocation " << k << ": " << text.size() << " bytes of " << whole.size();
    }
  }
}

int Describe(Json::Value& args, const std::string& coin) {
  args["coin"] = coin;
  args["described"] = std::string(WriteJson(args["doc"], ""));
  return 0;
}

const ActionRow kRows[] = {{"Describe", Describe, true, "Describe Error", 11}};

struct Reply {
  int rc;
  bool reached;
  bool present;
  std::string text;
};

Reply Call(const std::string& request, long k, bool on = false) {
  char* out = nullptr;
  int rc;
  bool reached;
  {
    const fnt::FailAt fail(k, on);
    rc = RunAddonEntry(kBtcEntry, kRows, "Describe", "btc", request.c_str(), &out);
    reached = fnt::FailAt::Reached();
  }
  Reply r{rc, reached, out != nullptr, out != nullptr ? out : ""};
  FreeAddonText(out);
  return r;
}

TEST(AddonOutOfMemory, ACallAnswersInFullOrWithAnErrorReply) {
  Json::Value request;
  request["action"] = "Describe";
  request["args"]["doc"] = Document();
  const std::string text = std::string(WriteJson(request, ""));
  const Reply reference = Call(text, 0);
  ASSERT_EQ(reference.rc, 0) << reference.text;
  long errors = 0;
  for (long k = 1;; ++k) {
    const Reply r = Call(text, k);
    if (!r.reached) {
      EXPECT_EQ(r.text, reference.text);
      break;
    }
    ASSERT_TRUE(r.present) << "allocation " << k;
    if (r.rc == 0) {
      EXPECT_EQ(r.text, reference.text) << "allocation " << k;
      continue;
    }
    ++errors;
    EXPECT_EQ(r.rc, 1);
    ASSERT_TRUE(IsStrictJson(r.text)) << r.text;
    Json::Value reply;
    ASSERT_TRUE(ParseJson(r.text, reply));
    EXPECT_EQ(reply["error"]["err_code"].asString(), "1000") << r.text;
    EXPECT_NE(reply["error"]["err_msg"].asString().find("memory allocation failed"), std::string::npos) << r.text;
  }
  EXPECT_GT(errors, 0);
}

TEST(AddonOutOfMemory, AThreadWithoutAnErrorChainGetsTheFixedReply) {
  Reply r{};
  std::thread([&] {
    // No allocation succeeds on this thread: no chain, no reply of its own.
    char* out = nullptr;
    {
      const fnt::FailAt fail(1, true);
      r.rc = RunAddonEntry(kBtcEntry, kRows, "Describe", "btc", R"({"action":"Describe","args":{}})", &out);
    }
    r.present = out != nullptr;
    if (out != nullptr) r.text = out;
    FreeAddonText(out);
  }).join();
  EXPECT_EQ(r.rc, 1);
  ASSERT_TRUE(r.present);
  EXPECT_EQ(r.text, R"({"error":{"err_code":"1000","err_msg":"memory allocation failed"}})");
}

}  // namespace
