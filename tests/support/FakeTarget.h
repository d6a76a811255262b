#pragma once
// Recording fakes of the target's server, databases collection and database object, for
// engine tests: every statement is kept in one journal, in the order it was sent.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "target/TargetServer.h"

namespace morvane::test {

struct TargetJournal {
  std::vector<std::string> sent;  // "server: ...", "database shop: ...", "lookup: shop"
  // Decides for every statement; returns an error to refuse it.
  std::function<std::optional<TargetError>(const std::string& statement)> refuse;
  // Answers queries that read a number; unset, a count of the accepted INSERTs answers.
  std::function<std::optional<std::int64_t>(const std::string& query)> answer;

  std::vector<std::string> accepted;  // the statements that were not refused, untagged

  void Send(const std::string& where, const std::string& command, std::int32_t length) {
    const std::string text = command.substr(0, static_cast<std::size_t>(length));
    sent.push_back(where + text);
    if (refuse) {
      if (auto error = refuse(text)) throw *error;
    }
    accepted.push_back(text);
  }

  // "SELECT COUNT(*) FROM [t]": the INSERTs into [t] accepted since [t] was last created.
  std::optional<std::int64_t> CountInserted(const std::string& query) const {
    const std::string select = "SELECT COUNT(*) FROM ";
    if (query.rfind(select, 0) != 0) return std::nullopt;
    const std::string table = query.substr(select.size());
    const std::string insert = "INSERT INTO " + table + " (", create = "CREATE TABLE " + table + " (";
    std::int64_t n = 0;
    for (const auto& s : accepted) {
      if (s.rfind(create, 0) == 0) n = 0;
      n += s.rfind(insert, 0) == 0 ? 1 : 0;
    }
    return n;
  }
};

class FakeTargetDatabase : public TargetDatabaseObject {
 public:
  FakeTargetDatabase(TargetJournal& journal, std::string name)
      : journal_(journal), name_(std::move(name)) {}
  void ExecuteWithResults(const std::string& command, std::int32_t length) override {
    journal_.Send("database " + name_ + ": ", command, length);
  }
  std::optional<std::int64_t> QueryNumber(const std::string& command) override {
    journal_.Send("database " + name_ + ": ", command, static_cast<std::int32_t>(command.size()));
    return journal_.answer ? journal_.answer(command) : journal_.CountInserted(command);
  }

 private:
  TargetJournal& journal_;
  std::string name_;
};

class FakeTargetDatabases : public TargetDatabasesObject {
 public:
  explicit FakeTargetDatabases(TargetJournal& journal) : journal_(journal) {}
  void Refresh() override { journal_.sent.push_back("refresh"); }
  std::shared_ptr<TargetDatabaseObject> Item(const std::string& name) override {
    journal_.Send("lookup: ", name, static_cast<std::int32_t>(name.size()));
    return std::make_shared<FakeTargetDatabase>(journal_, name);
  }

 private:
  TargetJournal& journal_;
};

class FakeTargetServer : public TargetServerObject {
 public:
  explicit FakeTargetServer(TargetJournal& journal) : journal_(journal) {}
  void LoginSecure(bool) override {}
  void Connect(const std::string&, const std::optional<std::string>&,
               const std::optional<std::string>&) override {}
  void ExecuteWithResults(const std::string& command, std::int32_t length) override {
    journal_.Send("server: ", command, length);
  }
  std::shared_ptr<TargetDatabasesObject> Databases() override {
    return std::make_shared<FakeTargetDatabases>(journal_);
  }

 private:
  TargetJournal& journal_;
};

// A server error as the ODBC layer raises it: number n as 0x80040200 + n, with texts.
inline TargetError ServerError(int number, const std::string& message) {
  return TargetError(static_cast<std::int32_t>(0x80040200u + static_cast<unsigned>(number)),
                     "[FreeTDS][SQL Server]", message);
}

}  // namespace morvane::test
