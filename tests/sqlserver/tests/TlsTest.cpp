// The server's answer to the client's PRELOGIN ENCRYPTION value, for each of its settings.

#include <gtest/gtest.h>

#include <vector>

#include "tests/sqlserver/server/Login.h"
#include "tests/sqlserver/server/Tls.h"

namespace morvane::tds {
namespace {

struct Case {
  EncryptionValue server;
  std::uint8_t client;
  EncryptionValue answer;
  bool end;
};

TEST(Encryption, TheAnswerFollowsTheNegotiationTable) {
  const std::vector<Case> cases{
      {kEncryptNotSup, kEncryptOff, kEncryptNotSup, false},
      {kEncryptNotSup, kEncryptOn, kEncryptNotSup, false},  // the client gives up itself
      {kEncryptNotSup, kEncryptNotSup, kEncryptNotSup, false},
      {kEncryptOff, kEncryptOff, kEncryptOff, false},  // the login packet only
      {kEncryptOff, kEncryptOn, kEncryptOn, false},
      {kEncryptOff, kEncryptReq, kEncryptOn, false},
      {kEncryptOff, kEncryptNotSup, kEncryptNotSup, false},
      {kEncryptOn, kEncryptOff, kEncryptReq, false},
      {kEncryptOn, kEncryptOn, kEncryptOn, false},
      {kEncryptOn, kEncryptNotSup, kEncryptReq, true},
  };
  for (const auto& c : cases) {
    const auto answer = AnswerEncryption(c.server, c.client);
    EXPECT_EQ(answer.value, c.answer) << int(c.server) << "/" << int(c.client);
    EXPECT_EQ(answer.endAfterAnswer, c.end) << int(c.server) << "/" << int(c.client);
  }
}

TEST(Encryption, TheReplyCarriesTheAnswerInItsEncryptionOption) {
  for (const auto value : {kEncryptOff, kEncryptOn, kEncryptNotSup, kEncryptReq}) {
    const auto parsed = ParsePrelogin(WithEncryption(PreloginReply(), value));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->encryption, value);
  }
}

TEST(Encryption, TheCommandLineSettings) {
  EXPECT_EQ(ParseEncryptionSetting("not-sup"), kEncryptNotSup);
  EXPECT_EQ(ParseEncryptionSetting("off"), kEncryptOff);
  EXPECT_EQ(ParseEncryptionSetting("on"), kEncryptOn);
  EXPECT_FALSE(ParseEncryptionSetting("yes"));
}

TEST(Encryption, TheServerMakesItsCertificate) { EXPECT_NO_THROW(TlsContext()); }

}  // namespace
}  // namespace morvane::tds
