#include "source/MySqlSource.h"

#include <errmsg.h>
#include <mysql.h>

#include <array>
#include <cstring>
#include <string_view>

#include "source/AsciiText.h"
#include "source/MySqlResult.h"
#include "source/MySqlTls.h"
#include "source/ServerAddress.h"

namespace morvane {
namespace {

// Column 0 of every row of a listing, in the server's order.
template <typename Add>
void ForEachName(MYSQL_RES* listing, Add add) {
  if (listing == nullptr) return;
  MySqlResult owned(listing);
  while (MYSQL_ROW row = mysql_fetch_row(listing)) {
    const unsigned long* lengths = mysql_fetch_lengths(listing);
    if (row[0] != nullptr) add(std::string(row[0], lengths ? lengths[0] : std::strlen(row[0])));
  }
}

class MySqlRowReader : public RowReader {
 public:
  MySqlRowReader(MySqlHandle& handle, MYSQL* connection, MYSQL_RES* result)
      : handle_(handle), connection_(connection), result_(result), cells_(mysql_num_fields(result)) {}
  ~MySqlRowReader() override {
    result_.reset();  // on a cancelled connection this reads nothing more
    handle_.CloseIfCancelled();
  }
  MySqlRowReader(const MySqlRowReader&) = delete;
  MySqlRowReader& operator=(const MySqlRowReader&) = delete;

  const std::vector<Cell>* Next() override {
    if (done_) return nullptr;
    MYSQL_ROW row = mysql_fetch_row(result_.get());
    if (row == nullptr) {
      done_ = true;
      if (mysql_errno(connection_) != 0) error_ = mysql_error(connection_);
      return nullptr;
    }
    const unsigned long* lengths = mysql_fetch_lengths(result_.get());
    for (std::size_t i = 0; i < cells_.size(); ++i) {
      cells_[i] = row[i] == nullptr ? Cell() : Cell(std::string_view(row[i], lengths[i]));
    }
    return &cells_;
  }
  std::optional<std::string> Error() const override { return error_; }

 private:
  MySqlHandle& handle_;
  MYSQL* connection_;
  MySqlResult result_;  // freeing it reads what is left, so the connection is usable again
  std::vector<Cell> cells_;
  bool done_ = false;
  std::optional<std::string> error_;
};

}  // namespace

std::string CharacterSetRefusal(const SessionCharacterSets& session,
                                const std::string& setNamesError) {
  static const std::string tail =
      " Texts would not arrive as stored (emoji and other letters would become '?'), so the "
      "connection is not used.";
  if (!setNamesError.empty()) {
    return "The MySQL server refused the character set utf8mb4 (SET NAMES utf8mb4: " +
           setNamesError + ")." + tail;
  }
  std::string kept;
  const std::pair<const char*, const std::string*> sides[] = {
      {"character_set_client", &session.client},
      {"character_set_connection", &session.connection},
      {"character_set_results", &session.results}};
  for (const auto& [name, value] : sides) {
    if (*value == "utf8mb4") continue;
    if (!kept.empty()) kept += ", ";
    kept += std::string(name) + " " + (value->empty() ? "unknown" : *value);
  }
  if (kept.empty()) return "";
  return "The MySQL server keeps the session in another character set than utf8mb4 after "
         "SET NAMES utf8mb4 (" + kept + ")." + tail;
}

std::string FloatAsDouble(const std::string& quotedColumn) { return "(" + quotedColumn + " * 1e0)"; }

std::string TimestampWithOffset(const std::string& quotedColumn) {
  const std::string& c = quotedColumn;
  // The wall time counted naively from the epoch, less the instant: the offset in seconds. Both
  // drop the same fraction of a second. 0 is the zero date (no TIMESTAMP names the epoch).
  const std::string instant = "CAST(FLOOR(UNIX_TIMESTAMP(" + c + ")) AS SIGNED)";
  const std::string offset =
      "(TIMESTAMPDIFF(SECOND, '1970-01-01 00:00:00', " + c + ") - " + instant + ")";
  return "IF(" + instant + " = 0, CAST(" + c + " AS CHAR), CONCAT(" + c + ", IF(" + offset +
         " < 0, ' -', ' +'), SEC_TO_TIME(ABS(" + offset + "))))";
}

std::string Backticked(const std::string& name) {
  std::string quoted = "`";
  for (char c : name) {
    quoted += c;
    if (c == '`') quoted += '`';
  }
  return quoted + "`";
}

void MySqlHandle::Close::operator()(st_mysql* handle) const { mysql_close(handle); }

namespace {

// Connects a fresh record as `opened` says. "" on success, otherwise why not, in words for the
// user. With `pinned`, the certificate fingerprint of the first connection, TLS with that
// certificate is required; `fingerprint` is set to the one the connection uses ("" without
// TLS).
std::string Connect(MYSQL* handle, const MySqlHandle::Opened& opened, const std::string& pinned,
                    std::string& fingerprint) {
  const auto address = ParseMySqlServer(opened.host);
  if (!address) return "The MySQL server address " + opened.host + " cannot be read.";
  // Every text arrives as the server holds it, whatever the library's build default.
  mysql_options(handle, MYSQL_SET_CHARSET_NAME, "utf8mb4");
  // A port typed with the host means that port, over TCP: Connector/C would otherwise take
  // "localhost" for the local socket and drop the port.
  if (address->portGiven) {
    const unsigned tcp = MYSQL_PROTOCOL_TCP;
    mysql_options(handle, MYSQL_OPT_PROTOCOL, &tcp);
  }
  // A host that accepts and never answers: the connect and the wait for the server's greeting
  // give up in time. Statements get no bound of time (a long CREATE or count is legitimate
  // work); a run that must end early cancels them instead.
  const unsigned timeout = opened.options.connectTimeoutSeconds;
  mysql_options(handle, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
  // Over TCP, whether the server offers TLS decides what the login may send: learnt from its
  // greeting before any password goes, and for a connection opened again, the first one's.
  fingerprint = pinned;
  if (fingerprint.empty() && !UsesLocalSocket(*address)) {
    const ServerGreeting greeting = ReadServerGreeting(*address, timeout);
    if (!greeting.failure.empty()) return greeting.failure;
    fingerprint = greeting.fingerprint;
  }
  const char* hostName = address->host.c_str();
  const char* socket = address->socket.empty() ? nullptr : address->socket.c_str();
  if (socket != nullptr) hostName = "localhost";
  for (bool rsaAllowed = false;;) {
    ProtectConnection(handle, *address, fingerprint, rsaAllowed);
    if (mysql_real_connect(handle, hostName, opened.user.c_str(), opened.password.c_str(), "",
                           address->port, socket, 0) != nullptr) {
      break;
    }
    // The RSA exchange was refused before the password left; with a key the user gave (read
    // from the option files at this attempt) it may go encrypted with that key.
    if (fingerprint.empty() && !rsaAllowed && mysql_errno(handle) == CR_PLUGIN_NOT_ALLOWED &&
        ServerPublicKeyGiven(handle)) {
      rsaAllowed = true;
      continue;
    }
    return ConnectRefusal(handle, !fingerprint.empty());
  }
  // The handshake's character set is not the last word: init_connect (run for every login
  // without SUPER) or skip-character-set-client-handshake can set another one, and letters
  // outside it would then arrive as '?'. SET NAMES through the library keeps its escaping in
  // step; then the session must say utf8mb4 on every side.
  if (mysql_set_character_set(handle, "utf8mb4") != 0) {
    return CharacterSetRefusal({}, mysql_error(handle));
  }
  static constexpr std::string_view sets =
      "SELECT @@character_set_client, @@character_set_connection, @@character_set_results";
  SessionCharacterSets session;
  if (mysql_real_query(handle, sets.data(), sets.size()) == 0) {
    MySqlResult result(mysql_store_result(handle));
    if (MYSQL_ROW row = result ? mysql_fetch_row(result.get()) : nullptr) {
      const auto cell = [&](int i) { return row[i] != nullptr ? std::string(row[i]) : "NULL"; };
      session = {cell(0), cell(1), cell(2)};
    }
  }
  if (const std::string refusal = CharacterSetRefusal(session, ""); !refusal.empty()) {
    return refusal;
  }
  // While a message box is open the rows of a streamed SELECT wait unread; the server must
  // keep waiting for as long as the user takes.
  const std::string keepWaiting =
      "SET SESSION net_write_timeout=" + std::to_string(opened.options.netWriteTimeoutSeconds);
  mysql_real_query(handle, keepWaiting.data(), keepWaiting.size());
  return "";
}

}  // namespace

st_mysql* MySqlHandle::get() {
  std::unique_lock lock(mutex_);
  if (!cancelled_) return handle_.get();
  // Closing the cancelled record ended whatever it was doing on the server.
  handle_.reset();
  cancelled_ = false;
  if (!opened_) return nullptr;
  const Opened opened = *opened_;
  const std::string database = database_;
  const std::string pinned = tlsFingerprint_;
  // The connect may take up to its time-out: Cancel must not wait for it, so it runs
  // without the lock, and the new record is swapped in under it.
  connecting_ = true;
  lock.unlock();
  std::unique_ptr<st_mysql, Close> fresh(mysql_init(nullptr));
  std::string fingerprint;
  std::string failure = fresh ? Connect(fresh.get(), opened, pinned, fingerprint) : "Out of memory.";
  const bool databaseKept =
      failure.empty() && (database.empty() || mysql_select_db(fresh.get(), database.c_str()) == 0);
  lock.lock();
  connecting_ = false;
  if (cancelled_) {
    // Cancel came while connecting: whoever asked has been told to give up. The record is
    // closed outside the lock, and the next use connects again.
    lock.unlock();
    fresh.reset();
    return nullptr;
  }
  connectFailure_ = failure;
  if (!failure.empty()) {
    cancelled_ = true;  // still to be opened again, by the next use that needs it
    return nullptr;
  }
  if (!databaseKept) database_.clear();
  handle_ = std::move(fresh);
  return handle_.get();
}

st_mysql* MySqlHandle::IfOpen() {
  std::lock_guard lock(mutex_);
  return cancelled_ ? nullptr : handle_.get();
}

std::string MySqlHandle::ConnectFailure() const {
  std::lock_guard lock(mutex_);
  return connectFailure_;
}

void MySqlHandle::reset(st_mysql* handle) {
  std::lock_guard lock(mutex_);
  cancelled_ = false;
  database_.clear();
  opened_.reset();  // a closed connection is not opened again
  tlsFingerprint_.clear();
  connectFailure_.clear();
  handle_.reset(handle);
}

std::string MySqlHandle::NotConnectedText() const {
  const std::string failure = ConnectFailure();
  return failure.empty() ? "not connected"
                         : "the connection to MySQL could not be opened again: " + failure;
}

bool MySqlHandle::Connected(std::string failure) {
  std::lock_guard lock(mutex_);
  connectFailure_ = std::move(failure);
  return connectFailure_.empty();
}

void MySqlHandle::PinTls(std::string fingerprint) {
  std::lock_guard lock(mutex_);
  tlsFingerprint_ = std::move(fingerprint);
}

void MySqlHandle::Cancel() {
  std::lock_guard lock(mutex_);
  // A connection being opened again (no record yet) is cancelled as well: it is dropped when
  // its connect returns.
  if (!handle_ && !connecting_) return;
  cancelled_ = true;
  if (handle_) mariadb_cancel(handle_.get());
}

void MySqlHandle::CloseIfCancelled() {
  std::lock_guard lock(mutex_);
  if (cancelled_) handle_.reset();
}

bool MySqlHandle::SelectDatabase(const std::string& name) {
  MYSQL* handle = get();
  if (handle == nullptr || mysql_select_db(handle, name.c_str()) != 0) return false;
  database_ = name;
  return true;
}

int OpenMySqlConnection(MySqlHandle& MySqlConnection, const std::string& host,
                        const std::string& user, const std::string& password,
                        const MySqlConnectOptions& options) {
  MySqlConnection.reset(mysql_init(nullptr));
  MYSQL* handle = MySqlConnection.get();
  if (handle == nullptr) return 0;
  MySqlConnection.Remember({host, user, password, options});
  std::string fingerprint;
  if (!MySqlConnection.Connected(Connect(handle, {host, user, password, options}, "", fingerprint)))
    return 0;
  // Opened again after Cancel, it must be the same server behind the same certificate.
  MySqlConnection.PinTls(fingerprint);
  return 1;
}

void CloseMySqlConnection(MySqlHandle& MySqlConnection) { MySqlConnection.reset(); }

bool IsSystemDatabase(const std::string& name) {
  static constexpr std::array<std::string_view, 4> system{"mysql", "information_schema",
                                                          "performance_schema", "sys"};
  const std::string lower = AsciiLowerText(name);
  for (auto s : system) {
    if (lower == s) return true;
  }
  return false;
}

void ListDatabases(MySqlHandle& MySqlConnection, ListingWindow& window) {
  if (!MySqlConnection) return;
  MYSQL* handle = MySqlConnection.get();
  if (handle == nullptr) return;
  ForEachName(mysql_list_dbs(handle, "%"), [&](const std::string& name) {
    if (!IsSystemDatabase(name)) window.AddDatabase(name);
  });
  if (window.DatabaseCount() > 0) {
    window.SelectFirstDatabase();
    window.SetTargetName(window.SelectedDatabase());
  }
}

void ListTables(MySqlHandle& MySqlConnection, ListingWindow& window, std::string databaseName) {
  window.ClearTables();
  if (!MySqlConnection) return;
  // mysql_select_db takes the name as it is: no quoting, so every name works. A database the
  // server refuses lists nothing, rather than the tables of the previous one.
  if (!MySqlConnection.SelectDatabase(databaseName)) return;
  MYSQL* handle = MySqlConnection.get();
  if (handle == nullptr) return;
  ForEachName(mysql_list_tables(handle, "%"),
              [&](const std::string& name) { window.AddTable(name); });
}

std::optional<std::vector<FieldRecord>> MySqlSourceDatabase::FieldListing(const std::string& table) {
  if (!connection_) return std::nullopt;
  MYSQL* handle = connection_.get();
  if (handle == nullptr) return std::nullopt;
  MySqlResult listing;
  if (!connection_.Options().noFieldListCommand) {
    listing.reset(mysql_list_fields(handle, table.c_str(), "%"));
  }
  if (!listing) {
    // COM_FIELD_LIST is deprecated, and MySQL 8 and later may refuse it: the metadata of an
    // empty SELECT carries the same field records.
    const std::string select = "SELECT * FROM " + Backticked(table) + " LIMIT 0";
    if (mysql_real_query(handle, select.data(), select.size()) != 0) return std::nullopt;
    listing.reset(mysql_store_result(handle));
  }
  if (!listing) return std::nullopt;
  std::vector<FieldRecord> fields;
  while (const MYSQL_FIELD* field = mysql_fetch_field(listing.get())) {
    FieldRecord record;
    record.org_name = field->org_name != nullptr && field->org_name_length > 0
                          ? std::string(field->org_name, field->org_name_length)
                          : std::string(field->name, field->name_length);
    record.type = static_cast<int>(field->type);
    record.length = static_cast<std::uint32_t>(field->length);
    record.decimals = field->decimals;
    record.charsetnr = static_cast<int>(field->charsetnr);
    record.flags = field->flags;
    fields.push_back(std::move(record));
  }
  return fields;
}

std::unique_ptr<RowReader> MySqlSourceDatabase::ReadRows(const std::string& table,
                                                         std::string& errorText) {
  if (!connection_) {
    errorText = "not connected";
    return nullptr;
  }
  MYSQL* handle = connection_.get();
  if (handle == nullptr) {
    errorText = connection_.NotConnectedText();
    return nullptr;
  }
  // The listing names every column (an INVISIBLE one too, which SELECT * leaves out).
  const auto fields = FieldListing(table);
  if (!fields || fields->empty()) {
    handle = connection_ ? connection_.get() : nullptr;
    errorText = handle == nullptr           ? connection_.NotConnectedText()
                : mysql_errno(handle) != 0 ? mysql_error(handle)
                                           : "the table has no columns";
    return nullptr;
  }
  return ReadRows(table, *fields, errorText);
}

std::unique_ptr<RowReader> MySqlSourceDatabase::ReadRows(const std::string& table,
                                                         const std::vector<FieldRecord>& fields,
                                                         std::string& errorText) {
  MYSQL* handle = connection_ ? connection_.get() : nullptr;
  if (handle == nullptr) {
    errorText = connection_.NotConnectedText();
    return nullptr;
  }
  if (fields.empty()) {
    errorText = "the table has no columns";
    return nullptr;
  }
  // The text protocol writes a FLOAT with six digits; as a DOUBLE it comes whole.
  std::string select = "SELECT ";
  for (const auto& f : fields) {
    if (&f != &fields.front()) select += ", ";
    const std::string name = Backticked(f.org_name);
    if (f.type == mysql_type::Float) {
      select += FloatAsDouble(name);
    } else if (f.type == mysql_type::Timestamp && offsetColumns_.count({table, f.org_name}) > 0) {
      select += TimestampWithOffset(name);
    } else {
      select += name;
    }
  }
  select += " FROM " + Backticked(table);
  if (mysql_real_query(handle, select.data(), select.size()) != 0) {
    errorText = mysql_error(handle);
    return nullptr;
  }
  MYSQL_RES* result = mysql_use_result(handle);
  if (result == nullptr) {
    errorText = mysql_errno(handle) != 0 ? mysql_error(handle) : "the server sent no rows";
    return nullptr;
  }
  return std::make_unique<MySqlRowReader>(connection_, handle, result);
}

}  // namespace morvane
