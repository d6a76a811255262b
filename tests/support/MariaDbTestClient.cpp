#include "tests/support/MariaDbTestClient.h"

#include <gtest/gtest.h>
#include <mysql.h>

#include <stdexcept>

#include "source/MySqlResult.h"

namespace morvane::test {

std::string MariaDbAddress() {
  const auto s = MariaDb();
  return s.host + ":" + std::to_string(s.port);
}

void OpenSourceDatabase(MySqlHandle& connection, const std::string& database) {
  const auto s = MariaDb();
  if (!OpenMySqlConnection(connection, MariaDbAddress(), s.user, s.password)) {
    throw std::runtime_error("cannot connect to the MariaDB test server: " +
                             std::string(mysql_error(connection.get())));
  }
  if (!connection.SelectDatabase(database)) {
    throw std::runtime_error("cannot use " + database + ": " + mysql_error(connection.get()));
  }
}

MariaDbTestClient::MariaDbTestClient() {
  const auto s = MariaDb();
  if (!OpenMySqlConnection(handle_, MariaDbAddress(), s.user, s.password)) {
    throw std::runtime_error("cannot connect to the MariaDB test server: " +
                             std::string(mysql_error(handle_.get())));
  }
}

MariaDbTestClient::~MariaDbTestClient() {
  for (const auto& name : created_) {
    const std::string drop = "DROP DATABASE IF EXISTS " + Backticked(name);
    mysql_real_query(handle_.get(), drop.data(), drop.size());
  }
}

void MariaDbTestClient::Execute(const std::vector<std::string>& statements) {
  for (const auto& statement : statements) {
    if (mysql_real_query(handle_.get(), statement.data(), statement.size()) != 0) {
      throw std::runtime_error("MariaDB refused " + statement + ": " +
                               mysql_error(handle_.get()));
    }
    MySqlResult ignored(mysql_store_result(handle_.get()));
  }
}

Rows MariaDbTestClient::Query(const std::string& statement) {
  if (mysql_real_query(handle_.get(), statement.data(), statement.size()) != 0) {
    throw std::runtime_error("MariaDB refused " + statement + ": " + mysql_error(handle_.get()));
  }
  MySqlResult result(mysql_store_result(handle_.get()));
  Rows rows;
  if (!result) return rows;
  const unsigned n = mysql_num_fields(result.get());
  while (MYSQL_ROW row = mysql_fetch_row(result.get())) {
    const unsigned long* lengths = mysql_fetch_lengths(result.get());
    auto& out = rows.emplace_back();
    for (unsigned i = 0; i < n; ++i) {
      out.push_back(row[i] ? Cell(std::string(row[i], lengths[i])) : std::nullopt);
    }
  }
  return rows;
}

std::string MariaDbTestClient::CreateDatabaseNamed(const std::string& name) {
  Execute({"CREATE DATABASE " + Backticked(name) + " CHARACTER SET utf8mb4"});
  created_.push_back(name);
  return name;
}

std::string MariaDbTestClient::CreateDatabase(const std::string& prefix) {
  return CreateDatabaseNamed(UniqueName(prefix));
}

}  // namespace morvane::test
