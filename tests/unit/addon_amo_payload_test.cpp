// The twenty AMO payload builders: exact texts, one row per type and per
// member with a rule of its own, and the refusals with their entries.
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "command/text/text.h"
#include "common/error_chain.h"
#include "payload.h"
#include "tv_test.h"

namespace {

struct Case {
  const char* type;
  const char* payload;  // JSON
  const char* want;     // the payload text, or the error chain when it fails
  bool ok = true;
};

// Runs the type's builder on the payload; the text, or the chain on failure.
std::string Build(const Case& c, int& rc) {
  const amo::TxType* t = amo::FindTxType(c.type);
  if (t == nullptr) return "no such type";
  ResetErrTrail(true);
  std::string out;
  rc = t->build(tvt::ParseJson(c.payload), out);
  return rc == 0 ? out : GetErrTrail();
}

void RunTable(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    int rc = -1;
    const std::string got = Build(c, rc);
    EXPECT_EQ(rc, c.ok ? 0 : 1) << c.type << " " << c.payload << "\n" << got;
    EXPECT_EQ(got, c.want) << c.type << " " << c.payload;
  }
}

TEST(AmoPayload, EveryTypeWritesItsMembersInOrder) {
  RunTable({
      {"transfer", R"({"amount":"10","to":"ab12cd","udc":"12"})", R"({"udc":12,"to":"AB12CD","amount":"10"})"},
      {"stake", R"({"amount":"5","validator":"0xab12"})", R"({"validator":"AB12","amount":"5"})"},
      {"withdraw", R"({"amount":"7"})", R"({"amount":"7"})"},
      {"delegate", R"({"to":"ff","amount":"1"})", R"({"to":"FF","amount":"1"})"},
      {"retract", R"({"amount":"3"})", R"({"amount":"3"})"},
      {"propose", R"({"desc":"d","config":{"b":1,"a":"x","c":{"z":null,"y":[true]}},"draft_id":"9"})",
       R"({"draft_id":9,"config":{"a":"x","b":1,"c":{"y":[true],"z":null}},"desc":"d"})"},
      {"vote", R"({"approve":"True","draft_id":"0"})", R"({"draft_id":0,"approve":true})"},
      {"setup", R"({"hosting_fee":"4","registration_fee":"3","url":"http://x/y","storage":"2"})",
       R"({"storage":2,"url":"http://x/y","registration_fee":"3","hosting_fee":"4"})"},
      {"close", R"({"storage":"15"})", R"({"storage":15})"},
      {"register", R"({"extra":{"k":"v"},"proxy_account":"pa","custody":"cu","target":"ta"})",
       R"({"target":"TA","custody":"CU","proxy_account":"PA","extra":{"k":"v"}})"},
      {"request", R"({"target":"t","payment":"9","recipient":"r","dealer":"d","dealer_fee":"1","extra":{}})",
       R"({"target":"T","payment":"9","recipient":"R","dealer":"D","dealer_fee":"1","extra":{}})"},
      {"grant", R"({"target":"t","recipient":"r","custody":"c","extra":{"a":1}})",
       R"({"target":"T","recipient":"R","custody":"C","extra":{"a":1}})"},
      {"discard", R"({"target":"t"})", R"({"target":"T"})"},
      {"cancel", R"({"target":"t","recipient":"r"})", R"({"target":"T","recipient":"R"})"},
      {"revoke", R"({"target":"t","recipient":"r"})", R"({"target":"T","recipient":"R"})"},
      {"claim", R"({"target":"t","document":{"h":"0x1"}})", R"({"target":"T","document":{"h":"0x1"}})"},
      {"dismiss", R"({"target":"t"})", R"({"target":"T"})"},
      {"issue", R"({"udc":"3","desc":"token","operators":["ab","cd"],"amount":"100"})",
       R"({"udc":3,"desc":"token","operators":["AB","CD"],"amount":"100"})"},
      {"lock", R"({"udc":"3","holder":"h","amount":"1"})", R"({"udc":3,"holder":"H","amount":"1"})"},
      {"burn", R"({"udc":"3","amount":"1"})", R"({"udc":3,"amount":"1"})"},
  });
}

TEST(AmoPayload, MembersWithRulesOfTheirOwn) {
  RunTable({
      // transfer "udc": left out when absent, null, empty or zero.
      {"transfer", R"({"to":"a","amount":"1"})", R"({"to":"A","amount":"1"})"},
      {"transfer", R"({"udc":null,"to":"a","amount":"1"})", R"({"to":"A","amount":"1"})"},
      {"transfer", R"({"udc":"","to":"a","amount":"1"})", R"({"to":"A","amount":"1"})"},
      {"transfer", R"({"udc":"0","to":"a","amount":"1"})", R"({"to":"A","amount":"1"})"},
      {"transfer", R"({"udc":"000","to":"a","amount":"1"})", R"({"to":"A","amount":"1"})"},
      {"transfer", R"({"udc":"2147483647","to":"a","amount":"1"})", R"({"udc":2147483647,"to":"A","amount":"1"})"},
      // stake "validator": "0x" hex as it stands, anything else Base64.
      {"stake", R"({"validator":"qxI=","amount":"1"})", R"({"validator":"AB12","amount":"1"})"},
      {"stake", R"({"validator":"0xAb","amount":"1"})", R"({"validator":"AB","amount":"1"})"},
      // vote "approve": true only for TRUE in any case.
      {"vote", R"({"draft_id":"1","approve":"tRuE"})", R"({"draft_id":1,"approve":true})"},
      {"vote", R"({"draft_id":"1","approve":"no"})", R"({"draft_id":1,"approve":false})"},
      {"vote", R"({"draft_id":"1","approve":""})", R"({"draft_id":1,"approve":false})"},
      // issue "operators": the strings (nulls are skipped); none leaves the member out.
      {"issue", R"({"udc":"1","operators":["ab",null,"cd",null],"amount":"2"})",
       R"({"udc":1,"operators":["AB","CD"],"amount":"2"})"},
      {"issue", R"({"udc":"1","operators":[null],"amount":"2"})", R"({"udc":1,"amount":"2"})"},
      {"issue", R"({"udc":"1","operators":"ab","desc":"","amount":"2"})", R"({"udc":1,"amount":"2"})"},
      // request: a dealer travels with its fee or not at all.
      {"request", R"({"target":"t","payment":"9","dealer":"d"})", R"({"target":"T","payment":"9"})"},
      {"request", R"({"target":"t","payment":"9","dealer":"d","dealer_fee":""})", R"({"target":"T","payment":"9"})"},
      {"request", R"({"target":"t","payment":"9","dealer_fee":"1"})", R"({"target":"T","payment":"9"})"},
      {"request", R"({"target":"t","payment":"9","recipient":"","extra":"x"})", R"({"target":"T","payment":"9"})"},
      // Optional objects of another type count as absent; empty objects stay.
      {"register", R"({"target":"t","custody":"c","proxy_account":null,"extra":{}})",
       R"({"target":"T","custody":"C","extra":{}})"},
      {"register", R"({"target":"t","custody":"c","proxy_account":"","extra":[1]})", R"({"target":"T","custody":"C"})"},
      {"claim", R"({"target":"t","document":{}})", R"({"target":"T","document":{}})"},
      {"cancel", R"({"target":"t","recipient":""})", R"({"target":"T"})"},
      // Required texts may be empty.
      {"withdraw", R"({"amount":""})", R"({"amount":""})"},
  });
}

// Values are JSON-escaped after upper-casing, so no value can end the
// string it stands in or add members the caller never wrote.
TEST(AmoPayload, ValuesAreEscapedNotInserted) {
  RunTable({
      {"transfer", R"({"to":"ab\",\"to\":\"evil","amount":"1"})", R"({"to":"AB\",\"TO\":\"EVIL","amount":"1"})"},
      {"transfer", R"({"to":"a\\b","amount":"1\n2\t\u0001\u001f"})", R"({"to":"A\\B","amount":"1\n2\t\u0001\u001f"})"},
      {"propose", R"({"draft_id":"1","config":{},"desc":"say \"hi\"\r\b\f"})",
       R"({"draft_id":1,"config":{},"desc":"say \"hi\"\r\b\f"})"},
      {"issue", R"({"udc":"1","operators":["a\"b"],"amount":"1"})", R"({"udc":1,"operators":["A\"B"],"amount":"1"})"},
      {"request", R"({"target":"t","payment":"1","dealer":"d\\","dealer_fee":"\""})",
       R"({"target":"T","payment":"1","dealer":"D\\","dealer_fee":"\""})"},
      {"stake", R"({"validator":"0xab\"","amount":"1"})", R"({"validator":"AB\"","amount":"1"})"},
      // Bytes from 0x7f up are kept as they are.
      {"withdraw", "{\"amount\":\"caf\xc3\xa9\x7f\"}", "{\"amount\":\"caf\xc3\xa9\x7f\"}"},
  });
}

TEST(AmoPayload, RefusedPayloadsRecordTheBuilder) {
  RunTable({
      {"transfer", R"([])", "MakeTxTransfer:278[payload[to,amount] is not support !!]", false},
      {"transfer", R"({"to":"a"})", "MakeTxTransfer:278[payload[to,amount] is not support !!]", false},
      {"transfer", R"({"to":5,"amount":"1"})", "MakeTxTransfer:278[payload[to,amount] is not support !!]", false},
      {"stake", R"({"validator":"0xab"})", "MakeTxStake:307[payload[validator,amount] is not support !!]", false},
      {"stake", R"({"validator":"q!I=","amount":"1"})", "MakeTxStake:318[payload[validator] is not base64 !!]", false},
      {"stake", R"({"validator":"","amount":"1"})", "MakeTxStake:318[payload[validator] is not base64 !!]", false},
      {"withdraw", R"({"amount":1})", "MakeTxWithdraw:344[payload[amount] is not support !!]", false},
      {"delegate", R"({"to":"a"})", "MakeTxDelegate:366[payload[to,amount] is not support !!]", false},
      {"retract", R"({})", "MakeTxRetract:387[payload[amount] is not support !!]", false},
      {"propose", R"({"draft_id":"1","config":"x","desc":"d"})",
       "MakeTxPropose:410[payload[draft_id,config{},desc] is not support !!]", false},
      {"vote", R"({"draft_id":"1","approve":true})", "MakeTxVote:435[payload[draft_id,approve] is not support !!]",
       false},
      {"setup", R"({"storage":"1","url":"u","registration_fee":"1"})",
       "MakeTxSetup:468[payload[storage,url,registration_fee,hosting_fee] is not support !!]", false},
      {"close", R"({})", "MakeTxClose:493[payload[storage] is not support !!]", false},
      {"register", R"({"target":"t"})", "MakeTxRegister:518[payload[target,custody] is not support !!]", false},
      {"request", R"({"target":"t"})", "MakeTxRequest:557[payload[target,payment] is not support !!]", false},
      {"grant", R"({"target":"t","recipient":"r"})",
       "MakeTxGrant:599[payload[target,recipient,custody] is not support !!]", false},
      {"discard", R"({"target":null})", "MakeTxDiscard:627[payload[target] is not support !!]", false},
      {"cancel", R"({"recipient":"r"})", "MakeTxCancel:649[payload[target] is not support !!]", false},
      {"revoke", R"({"target":"t"})", "MakeTxRevoke:676[payload[target,recipient] is not support !!]", false},
      {"claim", R"({"document":{}})", "MakeTxClaim:698[payload[target] is not support !!]", false},
      {"dismiss", R"("t")", "MakeTxDismiss:723[payload[target] is not support !!]", false},
      {"issue", R"({"udc":"1"})", "MakeTxIssue:751[payload[udc,amount] is not support !!]", false},
      {"lock", R"({"udc":"1","amount":"1"})", "MakeTxLock:794[payload[udc,holder,amount] is not support !!]", false},
      {"burn", R"({"amount":"1"})", "MakeTxBurn:817[payload[udc,amount] is not support !!]", false},
  });
}

// Number members are written bare, so they must be unsigned decimal
// integers as JSON writes them; anything else would leave the signed text
// invalid, or let a value add members of its own.
TEST(AmoPayload, NumberMembersMustBeDecimalIntegers) {
  struct Member {
    const char* type;
    const char* base;  // a valid payload without the member
    const char* key;
    const char* entry;
  } members[] = {
      {"transfer", R"({"to":"a","amount":"1"})", "udc", "MakeTxTransfer:278[payload[to,amount] is not support !!]"},
      {"propose", R"({"config":{},"desc":"d"})", "draft_id",
       "MakeTxPropose:410[payload[draft_id,config{},desc] is not support !!]"},
      {"vote", R"({"approve":"true"})", "draft_id", "MakeTxVote:435[payload[draft_id,approve] is not support !!]"},
      {"setup", R"({"url":"u","registration_fee":"1","hosting_fee":"1"})", "storage",
       "MakeTxSetup:468[payload[storage,url,registration_fee,hosting_fee] is not support !!]"},
      {"close", R"({})", "storage", "MakeTxClose:493[payload[storage] is not support !!]"},
      {"issue", R"({"amount":"1"})", "udc", "MakeTxIssue:751[payload[udc,amount] is not support !!]"},
      {"lock", R"({"holder":"h","amount":"1"})", "udc", "MakeTxLock:794[payload[udc,holder,amount] is not support !!]"},
      {"burn", R"({"amount":"1"})", "udc", "MakeTxBurn:817[payload[udc,amount] is not support !!]"},
  };
  // A transfer "udc" of "" is an absent one; every other member needs a value.
  const Json::Value bad[] = {"0x10", "-5", "+5", "1.5", "1e3", "012", " 1", "1 ", "abc", "1,\"x\":2", "1}", 12,
                             true, Json::Value(Json::objectValue)};
  for (const Member& m : members) {
    std::vector<Json::Value> values(std::begin(bad), std::end(bad));
    if (std::string(m.key) != "udc" || std::string(m.type) != "transfer") values.push_back("");
    for (const Json::Value& v : values) {
      Json::Value payload = tvt::ParseJson(m.base);
      payload[m.key] = v;
      const amo::TxType* t = amo::FindTxType(m.type);
      ASSERT_NE(t, nullptr);
      ResetErrTrail(true);
      std::string out;
      EXPECT_EQ(t->build(payload, out), 1) << m.type << " " << m.key << " " << v.toStyledString() << out;
      EXPECT_EQ(GetErrTrail(), m.entry) << m.type << " " << v.toStyledString();
    }
  }
}

// A text that goes on after a NUL character is refused by name rather than
// read cut short (another recipient, another amount).
TEST(AmoPayload, TextsWithNulAreRefusedByName) {
  struct Nul {
    const char* type;
    const char* payload;
    const char* name;
  } cases[] = {
      {"transfer", R"({"to":"ab\u0000cd","amount":"1"})", "to"},
      {"transfer", R"({"udc":"1\u00002","to":"ab","amount":"1"})", "udc"},
      {"vote", R"({"draft_id":"12\u0000,\"x\":2","approve":"true"})", "draft_id"},
      {"cancel", R"({"target":"t","recipient":"\u0000r"})", "recipient"},
      {"issue", R"({"udc":"1","operators":["ab","c\u0000d"],"amount":"1"})", "operators"},
      {"request", R"({"target":"t","payment":"1","dealer":"d","dealer_fee":"1\u00000"})", "dealer_fee"},
      {"stake", R"({"validator":"0xab\u0000cd","amount":"1"})", "validator"},
  };
  for (const Nul& c : cases) {
    int rc = -1;
    EXPECT_THROW(Build({c.type, c.payload, ""}, rc), ArgumentRefused) << c.payload;
    try {
      Build({c.type, c.payload, ""}, rc);
    } catch (const ArgumentRefused& e) {
      EXPECT_EQ(std::string(e.what()), std::string(c.name) + " holds a NUL character");
    }
  }
  // Inside an object member a NUL is written escaped, as JSON allows.
  RunTable({{"claim", R"({"target":"t","document":{"k":"a\u0000b"}})", R"({"target":"T","document":{"k":"a\u0000b"}})"}});
}

// An optional text of another JSON type is refused by name, not left out of
// the signed payload as if it were absent.
TEST(AmoPayload, OptionalTextsOfAnotherTypeAreRefusedByName) {
  struct Optional {
    const char* type;
    const char* base;  // a valid payload without the member
    const char* key;
    bool inList;       // an element of the member's array
  } cases[] = {
      {"cancel", R"({"target":"t"})", "recipient", false},
      {"register", R"({"target":"t","custody":"c"})", "proxy_account", false},
      {"issue", R"({"udc":"1","amount":"1"})", "desc", false},
      {"issue", R"({"udc":"1","amount":"1"})", "operators", true},
      {"request", R"({"target":"t","payment":"1","dealer_fee":"1"})", "dealer", false},
      {"request", R"({"target":"t","payment":"1","dealer":"d"})", "dealer_fee", false},
  };
  const Json::Value wrong[] = {5, true, Json::Value(Json::arrayValue), Json::Value(Json::objectValue)};
  for (const Optional& c : cases) {
    for (const Json::Value& v : wrong) {
      Json::Value payload = tvt::ParseJson(c.base);
      if (c.inList) {
        payload[c.key].append("ab");
        payload[c.key].append(v);
      } else {
        payload[c.key] = v;
      }
      const amo::TxType* t = amo::FindTxType(c.type);
      ASSERT_NE(t, nullptr);
      std::string out;
      std::string refusal;
      try {
        t->build(payload, out);
      } catch (const ArgumentRefused& e) {
        refusal = e.what();
      }
      EXPECT_EQ(refusal, std::string(c.key) + " is not a JSON string") << c.type << " " << v.toStyledString();
    }
  }
}

TEST(AmoPayload, TypesAreMatchedExactly) {
  EXPECT_NE(amo::FindTxType("transfer"), nullptr);
  for (const char* name : {"Transfer", "TRANSFER", "transfer ", "", "tx"}) EXPECT_EQ(amo::FindTxType(name), nullptr);
}

}  // namespace
