// Several connections at once, and clients that leave or cancel in the middle of a batch.

#include <gtest/gtest.h>

#include <thread>

#include "tests/sqlserver/tests/RawTdsClient.h"
#include "tests/support/OdbcTestClient.h"
#include "tests/support/TestServers.h"

namespace morvane::test {
namespace {

TEST(Connections, ShareTheCatalogueAndSeeEachOthersUse) {
  auto server = SqlServer();
  OdbcTestClient first(server), second(server);
  std::string db = UniqueName("shared");
  first.Run("CREATE DATABASE [" + db + "]; USE [" + db + "]; CREATE TABLE t (a INT)");
  second.Run("INSERT INTO [" + db + "].[dbo].[t] VALUES(1)");
  EXPECT_EQ(first.Scalar("SELECT COUNT(*) FROM t"), "1");
  // Another connection's use keeps the database from being dropped.
  EXPECT_EQ(second.Execute("DROP DATABASE [" + db + "]").FirstError(), 3702);
  first.Run("USE [master]");
  second.Run("DROP DATABASE [" + db + "]");
  EXPECT_EQ(first.Execute("USE [" + db + "]").FirstError(), 911);
}

TEST(Connections, InsertAtTheSameTime) {
  auto server = SqlServer();
  std::string db = UniqueName("parallel");
  OdbcTestClient setup(server);
  setup.Run("CREATE DATABASE [" + db + "]; USE [" + db + "]; CREATE TABLE t (id INT IDENTITY PRIMARY KEY, w INT)");
  auto work = [&](int worker) {
    OdbcTestClient client(server, db);
    for (int i = 0; i < 100; ++i) client.Run("INSERT INTO t (w) VALUES(" + std::to_string(worker) + ")");
  };
  std::thread a(work, 1), b(work, 2);
  a.join();
  b.join();
  EXPECT_EQ(setup.Scalar("SELECT COUNT(*) FROM t"), "200");
  EXPECT_EQ(setup.Scalar("SELECT COUNT(*) FROM t WHERE w = 2"), "100");
  setup.Run("USE master; DROP DATABASE [" + db + "]");
}

TEST(Connections, ClientLeavingInTheMiddleOfABatchRunsNothing) {
  auto server = SqlServer();
  std::string db = UniqueName("leave");
  OdbcTestClient client(server);
  client.Run("CREATE DATABASE [" + db + "]; USE [" + db + "]; CREATE TABLE t (a INT)");
  {
    RawTdsClient raw(server.port);
    raw.Login(server.user, server.password);
    // The first packet of a two-packet batch, then the connection goes away.
    raw.SendPacket(0x01, RawTdsClient::BatchPayload("INSERT INTO [" + db + "]..t VALUES(1)"), false);
  }
  {
    // A client that sends a whole batch with a large reply and leaves without reading it.
    RawTdsClient raw(server.port);
    raw.Login(server.user, server.password);
    std::string values = "INSERT INTO [" + db + "]..t VALUES(2)";
    for (int i = 0; i < 999; ++i) values += ", (2)";
    raw.SendPacket(0x01, RawTdsClient::BatchPayload(values + "; SELECT * FROM [" + db + "]..t, "), true);
    raw.SendPacket(0x01, RawTdsClient::BatchPayload("SELECT 1"), true);
  }
  EXPECT_EQ(client.Scalar("SELECT COUNT(*) FROM t WHERE a = 1"), "0");
  // The server still serves new connections.
  OdbcTestClient later(server, db);
  EXPECT_EQ(later.Scalar("SELECT COUNT(*) FROM t WHERE a = 1"), "0");
  client.Run("USE master");
  later.Run("USE master; DROP DATABASE [" + db + "]");
}

TEST(Connections, AttentionIsAnsweredWithDoneAttention) {
  auto server = SqlServer();
  RawTdsClient raw(server.port);
  TdsBytes login = raw.Login(server.user, server.password);
  ASSERT_FALSE(login.empty());
  raw.SendPacket(0x01, RawTdsClient::BatchPayload("SELECT 1"), true);
  raw.SendPacket(0x06, {}, true);
  auto reply = raw.ReadMessage();
  ASSERT_TRUE(reply);
  if (!HasDone(*reply, 0x20)) {
    reply = raw.ReadMessage();
    ASSERT_TRUE(reply);
  }
  EXPECT_TRUE(HasDone(*reply, 0x20));
  // The connection goes on after the attention.
  raw.SendPacket(0x01, RawTdsClient::BatchPayload("SELECT 2"), true);
  auto next = raw.ReadMessage();
  ASSERT_TRUE(next);
  EXPECT_TRUE(HasDone(*next, 0x10));
}

TEST(Connections, MalformedProcedureCallsAreRefused) {
  auto server = SqlServer();
  RawTdsClient raw(server.port);
  raw.Login(server.user, server.password);
  TdsBytes rpc = {0x16, 0, 0, 0, 0x12, 0, 0, 0, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0, 0, 0,
                  0xFF, 0xFF, 12, 0, 0, 0};  // sp_execute by id, without its handle
  raw.SendPacket(0x03, rpc, true);
  auto reply = raw.ReadMessage();
  ASSERT_TRUE(reply);
  EXPECT_EQ((*reply)[0], 0xAA);  // an ERROR token first
}

}  // namespace
}  // namespace morvane::test
