#pragma once
// A table of cases run against the SQL Server test server, all in one new database that the
// suite makes first and drops at its end. `Suite` names the database (kDatabasePrefix) and owns
// its own client and database (one per suite, not per case type).

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/support/OdbcTestClient.h"
#include "tests/support/TestServers.h"

namespace morvane::test {

template <typename Case, typename Suite>
class DatabaseSuite : public ::testing::TestWithParam<Case> {
 protected:
  static void SetUpTestSuite() {
    client_ = std::make_unique<OdbcTestClient>(SqlServer());
    database_ = UniqueName(Suite::kDatabasePrefix);
    client_->Run("CREATE DATABASE [" + database_ + "]; USE [" + database_ + "]");
  }
  static void TearDownTestSuite() {
    if (!client_) return;
    client_->Run("USE master; DROP DATABASE [" + database_ + "]");
    client_.reset();
  }

  struct Inserted {
    std::string table;
    OdbcResult result;
  };
  // A new table with one column v of `type`, and the INSERT of `literal` into it. `before` (a SET
  // statement, or empty) runs before the INSERT; the date format and language are set back after.
  static Inserted InsertIntoNewTable(const std::string& type, const std::string& literal,
                                     const std::string& before) {
    Inserted inserted{UniqueName("t"), {}};
    client_->Run("CREATE TABLE [" + inserted.table + "] (v " + type + ")");
    if (!before.empty()) client_->Run(before);
    inserted.result =
        client_->Execute("INSERT INTO [" + inserted.table + "] (v) VALUES(" + literal + ")");
    if (!before.empty()) client_->Run("SET DATEFORMAT mdy; SET LANGUAGE us_english");
    return inserted;
  }

  static inline std::unique_ptr<OdbcTestClient> client_;
  static inline std::string database_;
};

}  // namespace morvane::test
