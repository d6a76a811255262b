#pragma once
// The one client connection to the MySQL server, and the listings of its databases and tables.

#include <memory>
#include <string>

#include "source/ListingWindow.h"
#include "source/SourceDatabase.h"

struct st_mysql;

namespace morvane {

// Owns one client library connection record; closes it when replaced or destroyed.
class MySqlHandle {
 public:
  MySqlHandle() = default;
  explicit MySqlHandle(st_mysql* handle) : handle_(handle) {}

  st_mysql* get() const { return handle_.get(); }
  explicit operator bool() const { return handle_ != nullptr; }
  void reset(st_mysql* handle = nullptr) { handle_.reset(handle); }

 private:
  struct Close {
    void operator()(st_mysql* handle) const;
  };
  std::unique_ptr<st_mysql, Close> handle_;
};

// Connects MySqlConnection anew to the server named by host ("host", "host:port",
// "[v6]:port" or a socket path), as user with password, in utf8mb4. The handle of an earlier
// attempt is closed first. Non-zero when the connection is open, zero when it failed.
int OpenMySqlConnection(MySqlHandle& MySqlConnection, const std::string& host,
                        const std::string& user, const std::string& password);

void CloseMySqlConnection(MySqlHandle& MySqlConnection);

// `name` in backticks with inner backticks doubled: a MySQL identifier for any name.
std::string Backticked(const std::string& name);

// mysql, information_schema, performance_schema and sys, in any letter case.
bool IsSystemDatabase(const std::string& name);

// Adds every database but the system databases to the window's combo box, then selects the
// first and proposes it as the target name. A listing the server refuses adds nothing.
void ListDatabases(MySqlHandle& MySqlConnection, ListingWindow& window);

// Empties the table list, makes databaseName the connection's current database and lists its
// tables. When the server does not accept the database, the list stays empty.
void ListTables(MySqlHandle& MySqlConnection, ListingWindow& window, std::string databaseName);

// The source database as the conversion engine reads it: the current database of the
// connection.
class MySqlSourceDatabase : public SourceDatabase {
 public:
  explicit MySqlSourceDatabase(MySqlHandle& connection) : connection_(connection) {}

  std::optional<std::vector<FieldRecord>> FieldListing(const std::string& table) override;
  // SELECT of every column of the listing (FLOAT cast to DOUBLE, so that all its digits come),
  // streamed: one row on the client at a time.
  std::unique_ptr<RowReader> ReadRows(const std::string& table, std::string& errorText) override;

  // START TRANSACTION WITH CONSISTENT SNAPSHOT, READ ONLY / COMMIT (source/MySqlProfile.cpp).
  bool BeginSnapshot(std::string& errorText) override;
  void EndSnapshot() override;
  std::optional<ColumnProfile> ProfileColumn(const std::string& table,
                                             const FieldRecord& field) override;
  std::optional<std::uint64_t> CountRows(const std::string& table) override;

 private:
  MySqlHandle& connection_;
};

}  // namespace morvane
