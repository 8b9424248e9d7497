// The AMO add-on as the host uses it: quenmod-amo.so from the build's output
// folder, loaded by "AddModule" and reached through the core's RunModule.
#include <gtest/gtest.h>
#include <json/json.h>

#include <string>

#include "command/text/text.h"
#include "tolvaris/runmodule.h"
#include "tv_test.h"

namespace {

struct Envelope {
  int rc;
  Json::Value json;
};

Envelope Send(const std::string& request) {
  char* out = nullptr;
  const int rc = RunModule(request.c_str(), &out);
  EXPECT_NE(out, nullptr);
  Envelope e{rc, out ? tvt::ParseJson(out) : Json::Value()};
  FreeMem(out);
  return e;
}

TEST(AmoLoad, AddModuleThenEveryAction) {
  // The folder is given as a path, so the loader opens the file by path
  // (a bare name would miss the add-on's run path under the sanitizers).
  const Envelope add =
      Send(R"({"action":"AddModule","args":{"addon":"amo","libpath":")" + JsonEscape(TV_OUT_DIR) + R"("}})");
  ASSERT_EQ(add.rc, 0) << add.json.toStyledString();

  const std::string pub = "0x036b17d1f2e12c4247f8bce6e563a440f277037d812deb33a0f4a13945d898c296";
  Envelope addr = Send(R"({"action":"GenAddr","addon":"amo","args":{"addrinfo":{"algo":"p256","pubs":[{"pub":")" +
                       pub + R"("}]}}})");
  ASSERT_EQ(addr.rc, 0) << addr.json.toStyledString();
  EXPECT_EQ(addr.json["result"].asString(), "success");
  EXPECT_EQ(addr.json["return"]["addr"].asString().size(), 40u);

  const std::string txinfo =
      R"({"type":"transfer","payload":{"to":")" + addr.json["return"]["addr"].asString() +
      R"(","amount":"5"},"fee":"1","last_height":"2","wallet":{"algo":"p256","pri":"0x0000000000000000000000000000000000000000000000000000000000000001")";
  const Envelope tx = Send(R"({"action":"GenTx","addon":"amo","args":{"txinfo":)" + txinfo + R"(}}}})");
  ASSERT_EQ(tx.rc, 0) << tx.json.toStyledString();
  EXPECT_FALSE(tx.json["return"]["tx"].asString().empty());

  // A failure comes back as the add-on's error reply inside the envelope.
  const Envelope bad = Send(R"({"action":"GenTxID","addon":"amo","args":{}})");
  EXPECT_NE(bad.rc, 0);
  EXPECT_EQ(bad.json["result"].asString(), "fail");
  EXPECT_NE(bad.json["return"]["error"]["err_msg"].asString().find("Addon(RunModule_AMO:1436[not support action])"),
            std::string::npos)
      << bad.json.toStyledString();
}

}  // namespace
