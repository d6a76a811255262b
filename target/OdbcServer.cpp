#include "target/OdbcServer.h"

#if defined(_WIN32)
// <sql.h> needs the Windows types first.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#if !defined(_WIN32)
#include <dlfcn.h>
#endif

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <mutex>
#include <optional>
#include <utility>

#include "target/Encryption.h"
#include "target/OdbcDiagnostics.h"
#include "target/Utf16.h"

namespace morvane {

namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver's wide characters are UTF-16");

// The source text of the errors that this layer raises itself.
constexpr char kOwnSource[] = "Morvane";

constexpr char kIntegratedSecurityHint[] =
    "Windows authentication could not be used. On this computer it works through Kerberos: it "
    "needs a ticket for your domain account (kinit) and a server known to the domain.";

// SQL Server's largest network packet size.
constexpr std::uintptr_t kLargestPacketSize = 32767;

constexpr char kUnencryptedRefused[] =
    "The SQL Server answered that it cannot encrypt the connection, and the login without "
    "encryption was declined: the login name and password were not sent.";

constexpr char kEmptyLoginMessage[] =
    "SQL Server authentication needs a login name. Please enter it in the Login name box.";

SQLWCHAR* Wide(std::u16string& text) { return reinterpret_cast<SQLWCHAR*>(text.data()); }

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

SQLPOINTER IntegerAttribute(std::uintptr_t value) { return reinterpret_cast<SQLPOINTER>(value); }

// One ODBC handle, freed with its owner.
class OdbcHandle {
 public:
  OdbcHandle() = default;
  OdbcHandle(SQLSMALLINT type, SQLHANDLE handle) : type_(type), handle_(handle) {}
  OdbcHandle(OdbcHandle&& other) noexcept
      : type_(other.type_), handle_(std::exchange(other.handle_, SQLHANDLE{})) {}
  OdbcHandle& operator=(OdbcHandle&& other) noexcept {
    if (this != &other) {
      Free();
      type_ = other.type_;
      handle_ = std::exchange(other.handle_, SQLHANDLE{});
    }
    return *this;
  }
  OdbcHandle(const OdbcHandle&) = delete;
  OdbcHandle& operator=(const OdbcHandle&) = delete;
  ~OdbcHandle() { Free(); }

  SQLHANDLE get() const { return handle_; }
  SQLSMALLINT type() const { return type_; }
  explicit operator bool() const { return handle_ != SQLHANDLE{}; }

 private:
  void Free() {
    if (handle_ != SQLHANDLE{}) SQLFreeHandle(type_, handle_);
    handle_ = SQLHANDLE{};
  }
  SQLSMALLINT type_ = 0;
  SQLHANDLE handle_{};
};

std::vector<OdbcDiagnostic> ReadDiagnostics(const OdbcHandle& handle) {
  std::vector<OdbcDiagnostic> records;
  for (SQLSMALLINT number = 1; number < 100; ++number) {
    std::array<SQLWCHAR, 6> state{};
    SQLINTEGER native = 0;
    std::u16string message(512, u'\0');
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagRecW(handle.type(), handle.get(), number, state.data(), &native,
                                  Wide(message), static_cast<SQLSMALLINT>(message.size()), &length);
    if (!Succeeded(rc)) break;
    if (length >= static_cast<SQLSMALLINT>(message.size())) {
      message.assign(static_cast<std::size_t>(length) + 1, u'\0');
      rc = SQLGetDiagRecW(handle.type(), handle.get(), number, state.data(), &native, Wide(message),
                          static_cast<SQLSMALLINT>(message.size()), &length);
      if (!Succeeded(rc)) break;
    }
    message.resize(
        std::min(static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)), message.size() - 1));
    std::u16string stateText;
    for (SQLWCHAR c : state) {
      if (c == 0) break;
      stateText.push_back(static_cast<char16_t>(c));
    }
    records.push_back({Utf16ToUtf8(stateText), native, Utf16ToUtf8(message)});
  }
  return records;
}

// The statement text to send: the first `length` bytes of the command, as UTF-16.
std::u16string StatementText(const std::string& command, std::int32_t length) {
  if (length < 0 || static_cast<std::size_t>(length) > command.size()) {
    throw TargetError(target_code::kInvalidArgument, std::string(kOwnSource),
                      "The statement length " + std::to_string(length) +
                          " lies outside the statement of " + std::to_string(command.size()) +
                          " bytes.");
  }
  auto text = Utf8ToUtf16(std::string_view(command).substr(0, static_cast<std::size_t>(length)));
  if (!text) {
    throw TargetError(target_code::kInvalidArgument, std::string(kOwnSource),
                      std::string("The statement is not valid UTF-8 text."));
  }
  return std::move(*text);
}

std::u16string BracketedName(const std::string& name) {
  std::string quoted = "[";
  for (char c : name) {
    quoted += c;
    if (c == ']') quoted += ']';
  }
  quoted += ']';
  return Utf8ToUtf16(quoted).value_or(u"");
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// The one ODBC connection of a server object, shared with its collection and databases. Every
// member that ends in Locked expects the caller to hold `mutex`.
class OdbcLink {
 public:
  explicit OdbcLink(OdbcHandle environment, OdbcServerOptions options)
      : environment_(std::move(environment)), options_(std::move(options)) {}

  ~OdbcLink() {
    statement_ = OdbcHandle();  // freed while its connection is still open
    if (connected_) SQLDisconnect(connection_.get());
  }

  std::mutex mutex;

  void ConnectLocked(const std::string& serverName, bool integratedSecurity,
                     const std::string& login, const std::string& password) {
    if (connected_) {
      throw TargetError(target_code::kUnexpected, std::string(kOwnSource),
                        std::string("The server object is already logged in."));
    }
    if (!integratedSecurity && login.empty()) {
      // FreeTDS takes an empty login for integrated security: the user would be logged in
      // with this computer's account instead of the one chosen.
      throw TargetError(target_code::kInvalidArgument, std::string(kOwnSource),
                        std::string(kEmptyLoginMessage));
    }
    const auto dataSource = DataSourceName(serverName);
    const auto driver =
        dataSource ? std::optional<std::string>("DSN=" + *dataSource)
                   : ChooseSqlServerDriver(InstalledDriverNames(environment_), options_.drivers);
    if (!driver) {
      std::string wanted;
      for (const auto& name : options_.drivers) {
        wanted += (wanted.empty() ? "\"" : ", \"") + name + "\"";
      }
      throw TargetError(target_code::kDriverMissing, std::string(kOwnSource),
                        "No ODBC driver for SQL Server is installed. Install one of " + wanted +
                            " (on Debian, FreeTDS is in the package tdsodbc).");
    }
    driver_ = *driver;
    // How the driver reads a braced password depends on its version.
    const std::string version =
        dataSource ? std::string() : InstalledDriverVersion(environment_, driver_);

    // The whole session over TLS where the driver lets the connection string say so; a second
    // attempt in clear only when the server has no TLS and the user agrees.
    Encryption encryption = FirstEncryption(driver_, dataSource.has_value());
    for (;;) {
    SQLHANDLE raw{};
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, environment_.get(), &raw))) {
      throw TargetErrorFromDiagnostics(ReadDiagnostics(environment_), OdbcOperation::Connect,
                                       driver_);
    }
    OdbcHandle connection(SQL_HANDLE_DBC, raw);
    SQLSetConnectAttrW(
        connection.get(), SQL_ATTR_LOGIN_TIMEOUT,
        IntegerAttribute(static_cast<std::uintptr_t>(std::max(options_.loginTimeoutSeconds, 1))),
        SQL_IS_UINTEGER);
    // The largest packets SQL Server allows: the largest batch is 65 536 packets.
    SQLSetConnectAttrW(connection.get(), SQL_ATTR_PACKET_SIZE,
                       IntegerAttribute(kLargestPacketSize), SQL_IS_UINTEGER);

    const SQLRETURN rc =
        dataSource && !integratedSecurity
            ? ConnectToDataSource(connection, *dataSource, login, password)
            : DriverConnect(connection,
                            {dataSource ? std::string() : driver_, serverName, integratedSecurity,
                             integratedSecurity ? "" : login, integratedSecurity ? "" : password,
                             encryption, version});
    if (!Succeeded(rc)) {
      const auto records = ReadDiagnostics(connection);
      if (encryption == Encryption::WholeSession && ServerMayHaveNoTls(records)) {
        if (!unencryptedConsent_ || !unencryptedConsent_(serverName)) {
          throw TargetError(target_code::kAccessDenied, std::string(kOwnSource),
                            std::string(kUnencryptedRefused));
        }
        encryption = Encryption::Fallback;
        continue;
      }
      TargetError error = TargetErrorFromDiagnostics(records, OdbcOperation::Connect, driver_);
      const bool unreachable =
          std::any_of(records.begin(), records.end(),
                      [](const OdbcDiagnostic& r) { return IsLostConnectionState(r.sqlState); });
      if (integratedSecurity && !unreachable && error.Code() == target_code::kUnspecified) {
        // Given up before the server said anything: mostly no Kerberos ticket on this computer.
        throw TargetError(
            error.Code(), error.Source(),
            std::string(kIntegratedSecurityHint) + "\r\n" + error.Description().value_or(""));
      }
      throw error;
    }
    connection_ = std::move(connection);
    connected_ = true;
    packetSize_ = GrantedPacketSizeLocked();
    return;
    }
  }

  std::optional<std::uint64_t> BatchLimitLocked() const {
    if (!packetSize_) return std::nullopt;
    return std::uint64_t{65536} * *packetSize_;
  }

  void SetUnencryptedLoginConsentLocked(std::function<bool(const std::string&)> consent) {
    unencryptedConsent_ = std::move(consent);
  }

  // From any thread, without `mutex`: the statement running now ends at once (SQLCancel, which
  // ODBC allows from another thread), and every one that starts later fails before it is sent,
  // until Resume.
  void Cancel() {
    std::lock_guard lock(cancelMutex_);
    cancelled_ = true;
    if (running_ != SQLHSTMT{}) SQLCancel(running_);
  }
  void Resume() {
    std::lock_guard lock(cancelMutex_);
    cancelled_ = false;
  }

  // Marks a statement as the one running, for Cancel; refuses to start one after Cancel.
  class Running {
   public:
    Running(OdbcLink& link, const OdbcHandle& statement) : link_(link) {
      std::lock_guard lock(link_.cancelMutex_);
      if (link_.cancelled_) {
        throw TargetError(target_code::kAborted, std::string(kOwnSource),
                          std::string("The statement was cancelled."));
      }
      link_.running_ = statement.get();
    }
    ~Running() {
      std::lock_guard lock(link_.cancelMutex_);
      link_.running_ = SQLHSTMT{};
    }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

   private:
    OdbcLink& link_;
  };

  // Runs one batch and reads every result to its end.
  void ExecuteLocked(std::u16string text) {
    const OdbcHandle& statement = StatementLocked();
    const Running running(*this, statement);
    SQLRETURN rc =
        SQLExecDirectW(statement.get(), Wide(text), static_cast<SQLINTEGER>(text.size()));
    // A batch without rows and without a row count ends in SQL_NO_DATA: that is success.
    if (!Succeeded(rc) && rc != SQL_NO_DATA) FailLocked(statement);
    DrainLocked(statement);
  }

  // Runs a query and returns the first column of every row.
  std::vector<std::string> QueryFirstColumnLocked(std::u16string text) {
    const OdbcHandle& statement = StatementLocked();
    const Running running(*this, statement);
    SQLRETURN rc =
        SQLExecDirectW(statement.get(), Wide(text), static_cast<SQLINTEGER>(text.size()));
    if (!Succeeded(rc) && rc != SQL_NO_DATA) FailLocked(statement);
    std::vector<std::string> values;
    while (rc != SQL_NO_DATA) {
      rc = SQLFetch(statement.get());
      if (rc == SQL_NO_DATA) break;
      if (!Succeeded(rc)) FailLocked(statement);
      std::u16string value;
      std::array<SQLWCHAR, 256> buffer{};
      for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN got = SQLGetData(statement.get(), 1, SQL_C_WCHAR, buffer.data(),
                                         static_cast<SQLLEN>(sizeof buffer), &indicator);
        if (got == SQL_NO_DATA) break;
        if (!Succeeded(got)) FailLocked(statement);
        if (indicator == SQL_NULL_DATA) break;
        std::size_t chars = buffer.size() - 1;
        if (indicator != SQL_NO_TOTAL && indicator >= 0) {
          chars = std::min(chars, static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR));
        }
        for (std::size_t i = 0; i < chars; ++i) value.push_back(static_cast<char16_t>(buffer[i]));
        if (got == SQL_SUCCESS) break;  // SQL_SUCCESS_WITH_INFO: more of the value follows
      }
      values.push_back(Utf16ToUtf8(value));
    }
    DrainLocked(statement);
    return values;
  }

  // The connection's current database as the driver keeps it from the server's reports; the
  // driver answers without asking the server. Empty when it cannot say.
  std::u16string CurrentDatabaseLocked() {
    if (!connected_) return {};
    std::u16string name(260, u'\0');
    SQLINTEGER bytes = 0;
    const SQLRETURN rc =
        SQLGetConnectAttrW(connection_.get(), SQL_ATTR_CURRENT_CATALOG, Wide(name),
                           static_cast<SQLINTEGER>(name.size() * sizeof(SQLWCHAR)), &bytes);
    if (!Succeeded(rc) || bytes < 0) return {};
    const auto chars = static_cast<std::size_t>(bytes) / sizeof(SQLWCHAR);
    if (chars >= name.size()) return {};  // cut short: better to switch than to guess
    name.resize(chars);
    return name;
  }

 public:
  // The version of an installed driver as its library names it (only FreeTDS's is looked for);
  // empty when it cannot be found out.
  static std::string InstalledDriverVersion(const OdbcHandle& environment,
                                            const std::string& driver) {
    if (driver != kFreeTdsDriver) return "";
    for (const auto& [name, attributes] : InstalledDrivers(environment)) {
      if (name != driver) continue;
      for (const auto& attribute : attributes) {
        if (attribute.rfind("Driver=", 0) != 0) continue;
        for (const auto& path : DriverLibraryCandidates(attribute.substr(7))) {
          std::ifstream file(path, std::ios::binary);
          if (!file) continue;
          const std::string bytes((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
          return FreeTdsVersionIn(bytes);
        }
      }
    }
    return "";
  }

  static std::vector<std::string> InstalledDriverNames(const OdbcHandle& environment) {
    std::vector<std::string> names;
    for (const auto& driver : InstalledDrivers(environment)) names.push_back(driver.first);
    return names;
  }

 private:
  // Each driver with its attributes ("Driver=libtdsodbc.so", ...).
  static std::vector<std::pair<std::string, std::vector<std::string>>> InstalledDrivers(
      const OdbcHandle& environment) {
    std::vector<std::pair<std::string, std::vector<std::string>>> drivers;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
      std::array<SQLWCHAR, 256> description{};
      std::array<SQLWCHAR, 4096> attributes{};
      SQLSMALLINT descriptionLength = 0;
      SQLSMALLINT attributesLength = 0;
      const SQLRETURN rc = SQLDriversW(
          environment.get(), direction, description.data(),
          static_cast<SQLSMALLINT>(description.size()), &descriptionLength, attributes.data(),
          static_cast<SQLSMALLINT>(attributes.size()), &attributesLength);
      if (!Succeeded(rc)) break;
      std::u16string name;
      for (SQLWCHAR c : description) {
        if (c == 0) break;
        name.push_back(static_cast<char16_t>(c));
      }
      // The attributes: "key=value" texts, each ended by a zero, the list by a second one.
      std::vector<std::string> pairs;
      std::u16string pair;
      const auto used = std::min(attributes.size(),
                                 static_cast<std::size_t>(std::max<SQLSMALLINT>(attributesLength, 0)));
      for (std::size_t i = 0; i < used; ++i) {
        if (attributes[i] != 0) {
          pair.push_back(static_cast<char16_t>(attributes[i]));
        } else if (!pair.empty()) {
          pairs.push_back(Utf16ToUtf8(pair));
          pair.clear();
        }
      }
      if (!pair.empty()) pairs.push_back(Utf16ToUtf8(pair));
      drivers.emplace_back(Utf16ToUtf8(name), std::move(pairs));
      direction = SQL_FETCH_NEXT;
    }
    return drivers;
  }

  // Where the driver manager finds a driver library named without a folder: beside its own
  // library, in its "odbc" folder, as Debian installs them.
  static std::vector<std::string> DriverLibraryCandidates(const std::string& library) {
    if (library.empty() || library.find('/') != std::string::npos) return {library};
    std::vector<std::string> candidates;
#if !defined(_WIN32)
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&SQLDriversW), &info) != 0 && info.dli_fname != nullptr) {
      std::string folder = info.dli_fname;
      folder.erase(folder.find_last_of('/') + 1);
      candidates.push_back(folder + "odbc/" + library);
      candidates.push_back(folder + library);
    }
#endif
    return candidates;
  }

 private:
  // The connection's one statement handle, allocated at its first use and reused by every
  // statement after it (allocating one per statement cost as much as building the row): closed
  // first, so that nothing of an earlier, failed statement is left on it.
  const OdbcHandle& StatementLocked() {
    if (!statement_) {
      statement_ = NewStatementLocked();
    } else {
      SQLFreeStmt(statement_.get(), SQL_CLOSE);
    }
    return statement_;
  }

  OdbcHandle NewStatementLocked() {
    if (!connected_) {
      throw TargetError(target_code::kNotConnected, std::string(kOwnSource),
                        std::string("The server object is not logged in."));
    }
    SQLHANDLE raw{};
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, connection_.get(), &raw))) {
      FailLocked(connection_);
    }
    return OdbcHandle(SQL_HANDLE_STMT, raw);
  }

  void DrainLocked(const OdbcHandle& statement) {
    for (;;) {
      const SQLRETURN rc = SQLMoreResults(statement.get());
      if (rc == SQL_NO_DATA) return;
      if (!Succeeded(rc)) FailLocked(statement);
    }
  }

  [[noreturn]] void FailLocked(const OdbcHandle& handle) {
    auto records = ReadDiagnostics(handle);
    throw TargetErrorFromDiagnostics(records, OdbcOperation::Statement, driver_,
                                     ConnectionDeadLocked());
  }

  // The driver's own knowledge, without a round trip: has the link to the server gone?
  bool ConnectionDeadLocked() {
    if (!connected_) return false;
    SQLUINTEGER dead = SQL_CD_FALSE;
    const SQLRETURN rc = SQLGetConnectAttrW(connection_.get(), SQL_ATTR_CONNECTION_DEAD, &dead,
                                            SQL_IS_UINTEGER, nullptr);
    return Succeeded(rc) && dead == SQL_CD_TRUE;
  }

  // A data source and a SQL Server login: SQLConnect takes the login and password as they are,
  // with no connection string to read them from.
  static SQLRETURN ConnectToDataSource(const OdbcHandle& connection, const std::string& dataSource,
                                       const std::string& login, const std::string& password) {
    auto name = Utf8ToUtf16(dataSource);
    auto user = Utf8ToUtf16(login);
    auto secret = Utf8ToUtf16(password);
    if (!name || !user || !secret) throw NotUtf8Error();
    return SQLConnectW(connection.get(), Wide(*name), SQL_NTS, Wide(*user), SQL_NTS, Wide(*secret),
                       SQL_NTS);
  }

  // Throws, before anything is sent, for a login or password that the driver cannot take.
  static SQLRETURN DriverConnect(const OdbcHandle& connection,
                                 const ConnectionStringRequest& request) {
    auto text = Utf8ToUtf16(BuildConnectionString(request));
    if (!text) throw NotUtf8Error();
    SQLSMALLINT outLength = 0;
    return SQLDriverConnectW(connection.get(), nullptr, Wide(*text), SQL_NTS, nullptr, 0,
                             &outLength, SQL_DRIVER_NOPROMPT);
  }

  static TargetError NotUtf8Error() {
    return TargetError(target_code::kInvalidArgument, std::string(kOwnSource),
                       std::string("The server name, login or password is not valid UTF-8 text."));
  }

  // The packet size the server granted at login, as the driver learned it; nothing when the
  // driver cannot say.
  std::optional<std::uint64_t> GrantedPacketSizeLocked() {
    SQLUINTEGER size = 0;
    const SQLRETURN rc = SQLGetConnectAttrW(connection_.get(), SQL_ATTR_PACKET_SIZE, &size,
                                            SQL_IS_UINTEGER, nullptr);
    if (!Succeeded(rc) || size < 512 || size > kLargestPacketSize) return std::nullopt;
    return size;
  }

  std::optional<std::uint64_t> packetSize_;
  std::function<bool(const std::string&)> unencryptedConsent_;
  std::mutex cancelMutex_;  // guards cancelled_ and running_
  bool cancelled_ = false;
  SQLHSTMT running_{};
  OdbcHandle environment_;
  OdbcServerOptions options_;
  OdbcHandle connection_;
  OdbcHandle statement_;  // declared after the connection: freed before it
  bool connected_ = false;
  std::string driver_;
};

class OdbcDatabase final : public TargetDatabaseObject {
 public:
  OdbcDatabase(std::shared_ptr<OdbcLink> link, std::string name)
      : link_(std::move(link)),
        name_(Utf8ToUtf16(name).value_or(u"")),
        use_(u"USE " + BracketedName(name)) {}

  void ExecuteWithResults(const std::string& command, std::int32_t length) override {
    std::u16string text = StatementText(command, length);
    std::lock_guard lock(link_->mutex);
    // Every row goes through here: switch only when the connection is elsewhere.
    if (link_->CurrentDatabaseLocked() != name_) link_->ExecuteLocked(use_);
    link_->ExecuteLocked(std::move(text));
  }

  std::optional<std::int64_t> QueryNumber(const std::string& command) override {
    std::u16string text = StatementText(command, static_cast<std::int32_t>(command.size()));
    std::lock_guard lock(link_->mutex);
    if (link_->CurrentDatabaseLocked() != name_) link_->ExecuteLocked(use_);
    const auto values = link_->QueryFirstColumnLocked(std::move(text));
    if (values.empty() || values.front().empty()) return std::nullopt;
    std::int64_t n = 0;
    for (char c : values.front()) {
      if (c < '0' || c > '9') return std::nullopt;
      n = n * 10 + (c - '0');
    }
    return n;
  }

 private:
  std::shared_ptr<OdbcLink> link_;
  std::u16string name_;
  std::u16string use_;
};

class OdbcDatabases final : public TargetDatabasesObject {
 public:
  explicit OdbcDatabases(std::shared_ptr<OdbcLink> link) : link_(std::move(link)) {}

  void Refresh() override {
    std::lock_guard lock(link_->mutex);
    RefreshLocked();
  }

  std::shared_ptr<TargetDatabaseObject> Item(const std::string& name) override {
    std::lock_guard lock(link_->mutex);
    if (!names_) RefreshLocked();
    auto found = std::find(names_->begin(), names_->end(), name);
    if (found == names_->end()) {
      // The server compares names without regard to case unless its collation says otherwise.
      found = std::find_if(names_->begin(), names_->end(),
                           [&](const std::string& known) { return EqualNoCase(known, name); });
    }
    if (found == names_->end()) {
      throw TargetError(target_code::kNotFound, std::string(kOwnSource),
                        "The name '" + name + "' was not found in the Databases collection.");
    }
    return std::make_shared<OdbcDatabase>(link_, *found);
  }

 private:
  void RefreshLocked() {
    names_ = link_->QueryFirstColumnLocked(u"SELECT name FROM master.dbo.sysdatabases");
  }

  std::shared_ptr<OdbcLink> link_;
  std::optional<std::vector<std::string>> names_;
};

class OdbcServer final : public TargetServerObject {
 public:
  explicit OdbcServer(std::shared_ptr<OdbcLink> link) : link_(std::move(link)) {}

  void LoginSecure(bool secure) override {
    std::lock_guard lock(link_->mutex);
    loginSecure_ = secure;
  }

  void Connect(const std::string& serverName, const std::optional<std::string>& login,
               const std::optional<std::string>& password) override {
    std::lock_guard lock(link_->mutex);
    link_->ConnectLocked(serverName, loginSecure_, login.value_or(""), password.value_or(""));
  }

  void ExecuteWithResults(const std::string& command, std::int32_t length) override {
    std::u16string text = StatementText(command, length);
    std::lock_guard lock(link_->mutex);
    link_->ExecuteLocked(std::move(text));
  }

  std::shared_ptr<TargetDatabasesObject> Databases() override {
    return std::make_shared<OdbcDatabases>(link_);
  }

  void Cancel() override { link_->Cancel(); }
  void Resume() override { link_->Resume(); }

  std::optional<std::uint64_t> BatchLimit() override {
    std::lock_guard lock(link_->mutex);
    return link_->BatchLimitLocked();
  }

  void SetUnencryptedLoginConsent(std::function<bool(const std::string&)> consent) override {
    std::lock_guard lock(link_->mutex);
    link_->SetUnencryptedLoginConsentLocked(std::move(consent));
  }

 private:
  std::shared_ptr<OdbcLink> link_;
  bool loginSecure_ = false;
};

std::optional<OdbcHandle> NewEnvironment() {
  SQLHANDLE raw{};
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &raw))) return std::nullopt;
  OdbcHandle environment(SQL_HANDLE_ENV, raw);
  if (!Succeeded(SQLSetEnvAttr(environment.get(), SQL_ATTR_ODBC_VERSION,
                               IntegerAttribute(SQL_OV_ODBC3), 0))) {
    return std::nullopt;
  }
  return environment;
}

}  // namespace

std::shared_ptr<TargetServerObject> CreateOdbcTargetServer(const OdbcServerOptions& options) {
  auto environment = NewEnvironment();
  if (!environment) return nullptr;
  return std::make_shared<OdbcServer>(std::make_shared<OdbcLink>(std::move(*environment), options));
}

std::vector<std::string> InstalledOdbcDrivers() {
  auto environment = NewEnvironment();
  if (!environment) return {};
  return OdbcLink::InstalledDriverNames(*environment);
}

}  // namespace morvane
