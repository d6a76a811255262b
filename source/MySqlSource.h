#pragma once
// The one client connection to the MySQL server, and the listings of its databases and tables.

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "source/ListingWindow.h"
#include "source/SourceDatabase.h"

struct st_mysql;

namespace morvane {

// How a connection is opened. The connect and the server's greeting are bounded; statements
// are not (a long CREATE or count is legitimate work): a run ends them with Cancel.
struct MySqlConnectOptions {
  unsigned connectTimeoutSeconds = 15;
  // The session's net_write_timeout: how long the server waits for a client that has stopped
  // reading a streamed result (while a message box is open) before it gives up on it.
  unsigned long netWriteTimeoutSeconds = 7UL * 24 * 3600;
  // Test use: take every field listing from SELECT ... LIMIT 0, as for a server without
  // COM_FIELD_LIST.
  bool noFieldListCommand = false;
};

// Owns one client library connection record; closes it when replaced or destroyed. It keeps
// what it was opened with, so that a connection cut short by Cancel is opened again, with the
// same current database, the next time it is used.
class MySqlHandle {
 public:
  MySqlHandle() = default;
  explicit MySqlHandle(st_mysql* handle) : handle_(handle) {}
  MySqlHandle(const MySqlHandle&) = delete;
  MySqlHandle& operator=(const MySqlHandle&) = delete;

  // The connection record; after Cancel, a new one connected as before (nullptr when that
  // fails, or when Cancel came while it connected). Only the thread that uses the connection
  // calls it. The connect runs outside the lock that Cancel takes, so Cancel never waits for
  // it.
  st_mysql* get();
  // The connection record as it is, never opened again: nullptr after Cancel. For what a
  // closed connection has already done (ending a snapshot: closing it ended the transaction).
  st_mysql* IfOpen();
  st_mysql* get() const { return handle_.get(); }
  // Open, or cut short by Cancel and to be opened again on the next get().
  explicit operator bool() const { return handle_ != nullptr || (cancelled_ && opened_); }
  void reset(st_mysql* handle = nullptr);

  // From any thread: every read and write of the connection now in progress or to come fails
  // at once (a streamed result is abandoned without reading the rest of it). The next get()
  // connects again.
  void Cancel();

  // After Cancel, by the thread that was using the connection once it has let go of it: closes
  // it now, so that the server ends the statement it was sending (and the locks it held) at
  // once rather than wait for a reader that will never come.
  void CloseIfCancelled();

  // Changes the current database; remembered for a connection opened again.
  bool SelectDatabase(const std::string& name);

  // What OpenMySqlConnection used; kept for opening again.
  struct Opened {
    std::string host, user, password;
    MySqlConnectOptions options;
  };
  void Remember(Opened opened) { opened_ = std::move(opened); }
  // Why the latest connect (first or again) failed, in words for the user; "" after success.
  std::string ConnectFailure() const;
  // OpenMySqlConnection's end of a first connect: keeps `failure` ("" for success); true on
  // success.
  bool Connected(std::string failure);
  // The SHA-1 fingerprint of the certificate of the first connection ("" without TLS): a
  // connection opened again requires TLS with the same certificate.
  void PinTls(std::string fingerprint);
  // What a use that found no connection tells: why opening it again failed, when it did.
  std::string NotConnectedText() const;
  const std::string& CurrentDatabase() const { return database_; }
  MySqlConnectOptions Options() const { return opened_ ? opened_->options : MySqlConnectOptions{}; }

 private:
  struct Close {
    void operator()(st_mysql* handle) const;
  };
  mutable std::mutex mutex_;  // between Cancel and replacing the record
  std::unique_ptr<st_mysql, Close> handle_;
  std::atomic<bool> cancelled_{false};
  bool connecting_ = false;  // get() is opening the connection again, outside the lock
  std::optional<Opened> opened_;
  std::string database_;
  std::string connectFailure_;
  // What the first connection was protected with; a connection opened again must match it.
  std::string tlsFingerprint_;
};

// Connects MySqlConnection anew to the server named by host ("host", "host:port",
// "[v6]:port" or a socket path), as user with password, in utf8mb4. The handle of an earlier
// attempt is closed first. Non-zero when the connection is open, zero when it failed. A port
// in the text means TCP; "localhost" alone means the server's local socket.
int OpenMySqlConnection(MySqlHandle& MySqlConnection, const std::string& host,
                        const std::string& user, const std::string& password,
                        const MySqlConnectOptions& options = {});

void CloseMySqlConnection(MySqlHandle& MySqlConnection);

// The session's character sets as the server reports them after SET NAMES.
struct SessionCharacterSets {
  std::string client, connection, results;
};

// "" when the session sends and reads utf8mb4 on every side; otherwise the message that
// refuses the connection, naming what the server kept (or the library's error when SET NAMES
// itself was refused).
std::string CharacterSetRefusal(const SessionCharacterSets& session,
                                const std::string& setNamesError);

// A FLOAT column read as the DOUBLE that holds its stored value exactly, in a form every MySQL
// and MariaDB server takes (CAST ... AS DOUBLE exists only in MariaDB and MySQL 8.0.17+):
// multiplied by a DOUBLE one, which is exact and keeps the sign of -0.
std::string FloatAsDouble(const std::string& quotedColumn);

// A TIMESTAMP column read as its wall time in the session's time zone followed by the offset
// from UTC at that instant ("2024-10-27 02:30:00 +02:00:00"); a zero date and NULL as they are.
// The offset comes from the stored instant (UNIX_TIMESTAMP of the column), not from the wall
// time, which in the repeated hour of a daylight-saving change names two instants.
std::string TimestampWithOffset(const std::string& quotedColumn);

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
  // From SHOW INDEX and information_schema (source/MySqlSchema.cpp).
  std::optional<TableSchema> Schema(const std::string& table) override;
  // SELECT of every column of the listing (FLOAT cast to DOUBLE, so that all its digits come),
  // streamed: one row on the client at a time.
  std::unique_ptr<RowReader> ReadRows(const std::string& table, std::string& errorText) override;
  std::unique_ptr<RowReader> ReadRows(const std::string& table,
                                      const std::vector<FieldRecord>& fields,
                                      std::string& errorText) override;

  // START TRANSACTION WITH CONSISTENT SNAPSHOT, READ ONLY / COMMIT (source/MySqlProfile.cpp).
  bool BeginSnapshot(std::string& errorText) override;
  void EndSnapshot() override;
  // From information_schema: the engines that have no transactions (ENGINES.TRANSACTIONS).
  std::vector<TableEngine> TablesOutsideSnapshot(const std::vector<std::string>& tables) override;
  std::optional<ColumnProfile> ProfileColumn(const std::string& table,
                                             const FieldRecord& field) override;
  std::optional<std::uint64_t> CountRows(const std::string& table) override;
  std::optional<bool> ValuesUnique(const std::string& table,
                                   const std::vector<std::string>& columns) override;

 private:
  MySqlHandle& connection_;
  // The TIMESTAMP columns (table, column) whose profile found wall times shared by two
  // instants: created DATETIMEOFFSET, so ReadRows gives each value with its offset.
  std::set<std::pair<std::string, std::string>> offsetColumns_;
};

}  // namespace morvane
