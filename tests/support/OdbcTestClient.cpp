#include "tests/support/OdbcTestClient.h"

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace morvane::test {
namespace {

std::u16string ToUtf16(const std::string& s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    auto b = static_cast<unsigned char>(s[i]);
    char32_t c;
    std::size_t n;
    if (b < 0x80) { c = b; n = 1; }
    else if ((b & 0xE0) == 0xC0) { c = b & 0x1Fu; n = 2; }
    else if ((b & 0xF0) == 0xE0) { c = b & 0x0Fu; n = 3; }
    else { c = b & 0x07u; n = 4; }
    for (std::size_t k = 1; k < n && i + k < s.size(); ++k) {
      c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3Fu);
    }
    i += n;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::string ToUtf8(const std::u16string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00u);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::vector<OdbcDiagnostic> Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  std::vector<OdbcDiagnostic> out;
  for (SQLSMALLINT i = 1;; ++i) {
    SQLCHAR state[6] = {0};
    SQLINTEGER native = 0;
    SQLCHAR text[2048] = {0};
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagRec(type, handle, i, state, &native, text, sizeof text, &length);
    if (!SQL_SUCCEEDED(rc)) break;
    std::string message(reinterpret_cast<char*>(text));
    for (const char* prefix : {"[FreeTDS]", "[SQL Server]"}) {
      if (message.rfind(prefix, 0) == 0) message.erase(0, std::string(prefix).size());
    }
    out.push_back({reinterpret_cast<char*>(state), static_cast<long>(native), message});
  }
  return out;
}

struct Statement {
  SQLHSTMT handle = SQL_NULL_HSTMT;
  explicit Statement(SQLHDBC dbc) { SQLAllocHandle(SQL_HANDLE_STMT, dbc, &handle); }
  ~Statement() {
    if (handle) SQLFreeHandle(SQL_HANDLE_STMT, handle);
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
};

std::string Describe(const std::vector<OdbcDiagnostic>& diagnostics) {
  std::string out;
  for (const auto& d : diagnostics) {
    out += (out.empty() ? "" : "; ") + d.sqlState + " (" + std::to_string(d.native) + ") " + d.message;
  }
  return out;
}

}  // namespace

std::string OdbcTestClient::ConnectionString(const SqlServerSettings& s, const std::string& database,
                                             const std::string& tdsVersion) {
  // Braced, with "}" doubled inside, so that any password passes through the driver manager.
  std::string password;
  for (char c : s.password) password += c == '}' ? std::string("}}") : std::string(1, c);
  std::string cs = "DRIVER=FreeTDS;SERVER=" + s.host + ";PORT=" + std::to_string(s.port) +
                   ";TDS_Version=" + tdsVersion + ";UID=" + s.user + ";PWD={" + password +
                   "};ClientCharset=UTF-8";
  if (!database.empty()) cs += ";DATABASE=" + database;
  return cs;
}

OdbcTestClient::OdbcTestClient(const SqlServerSettings& server, const std::string& database,
                               const std::string& tdsVersion) {
  Connect(ConnectionString(server, database, tdsVersion));
}

OdbcTestClient::OdbcTestClient(const std::string& connectionString) { Connect(connectionString); }

void OdbcTestClient::Connect(const std::string& connectionString) {
  SQLHENV env = SQL_NULL_HENV;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  env_ = env;
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLHDBC dbc = SQL_NULL_HDBC;
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  dbc_ = dbc;
  std::u16string cs = ToUtf16(connectionString);
  SQLRETURN rc = SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(cs.data()),
                                   static_cast<SQLSMALLINT>(cs.size()), nullptr, 0, nullptr,
                                   SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(rc)) {
    auto diagnostics = Diagnostics(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    dbc_ = env_ = nullptr;
    throw OdbcError("cannot connect: " + Describe(diagnostics), diagnostics);
  }
}

OdbcTestClient::~OdbcTestClient() {
  if (dbc_) {
    SQLDisconnect(static_cast<SQLHDBC>(dbc_));
    SQLFreeHandle(SQL_HANDLE_DBC, static_cast<SQLHDBC>(dbc_));
  }
  if (env_) SQLFreeHandle(SQL_HANDLE_ENV, static_cast<SQLHENV>(env_));
}

std::vector<OdbcDiagnostic> OdbcTestClient::ConnectErrors(const std::string& connectionString) {
  try {
    OdbcTestClient client(connectionString);
  } catch (const OdbcError& e) {
    return e.Diagnostics();
  }
  return {};
}

OdbcResult OdbcTestClient::Execute(const std::string& sql) {
  OdbcResult result;
  Statement st(static_cast<SQLHDBC>(dbc_));
  std::u16string text = ToUtf16(sql);
  SQLRETURN rc = SQLExecDirectW(st.handle, reinterpret_cast<SQLWCHAR*>(text.data()),
                                static_cast<SQLINTEGER>(text.size()));
  while (rc != SQL_NO_DATA) {
    if (rc == SQL_ERROR || rc == SQL_INVALID_HANDLE) {
      result.ok = false;
      auto d = Diagnostics(SQL_HANDLE_STMT, st.handle);
      result.errors.insert(result.errors.end(), d.begin(), d.end());
      if (d.empty() || rc == SQL_INVALID_HANDLE) break;
    } else {
      if (rc == SQL_SUCCESS_WITH_INFO) {
        auto d = Diagnostics(SQL_HANDLE_STMT, st.handle);
        result.messages.insert(result.messages.end(), d.begin(), d.end());
      }
      SQLSMALLINT columns = 0;
      SQLNumResultCols(st.handle, &columns);
      if (columns > 0) {
        std::vector<std::string> names;
        for (SQLSMALLINT c = 1; c <= columns; ++c) {
          SQLWCHAR name[256] = {0};
          SQLSMALLINT length = 0;
          SQLColAttributeW(st.handle, static_cast<SQLUSMALLINT>(c), SQL_DESC_NAME, name,
                           sizeof name, &length, nullptr);
          std::u16string n;
          for (int i = 0; name[i]; ++i) n += static_cast<char16_t>(name[i]);
          names.push_back(ToUtf8(n));
        }
        std::vector<OdbcRow> rows;
        while (true) {
          SQLRETURN f = SQLFetch(st.handle);
          if (f == SQL_NO_DATA) break;
          if (!SQL_SUCCEEDED(f)) {
            result.ok = false;
            auto d = Diagnostics(SQL_HANDLE_STMT, st.handle);
            result.errors.insert(result.errors.end(), d.begin(), d.end());
            break;
          }
          OdbcRow row;
          for (SQLSMALLINT c = 1; c <= columns; ++c) {
            std::u16string value;
            bool null = false;
            while (true) {
              SQLWCHAR buffer[1024];
              SQLLEN indicator = 0;
              SQLRETURN g = SQLGetData(st.handle, static_cast<SQLUSMALLINT>(c), SQL_C_WCHAR,
                                       buffer, sizeof buffer, &indicator);
              if (g == SQL_NO_DATA) break;
              if (!SQL_SUCCEEDED(g)) break;
              if (indicator == SQL_NULL_DATA) {
                null = true;
                break;
              }
              std::size_t units = indicator == SQL_NO_TOTAL || indicator >= static_cast<SQLLEN>(sizeof buffer)
                                      ? sizeof buffer / sizeof(SQLWCHAR) - 1
                                      : static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR);
              for (std::size_t i = 0; i < units; ++i) value += static_cast<char16_t>(buffer[i]);
              if (g == SQL_SUCCESS) break;
            }
            row.push_back(null ? OdbcCell{} : OdbcCell{ToUtf8(value)});
          }
          rows.push_back(std::move(row));
        }
        result.columns.push_back(std::move(names));
        result.sets.push_back(std::move(rows));
      } else {
        SQLLEN count = -1;
        SQLRowCount(st.handle, &count);
        result.rowCounts.push_back(static_cast<long>(count));
      }
    }
    rc = SQLMoreResults(st.handle);
  }
  return result;
}

void OdbcTestClient::Run(const std::string& sql) {
  OdbcResult r = Execute(sql);
  if (!r.ok) throw OdbcError(sql + ": " + Describe(r.errors), r.errors);
}

std::vector<OdbcRow> OdbcTestClient::Query(const std::string& sql) {
  OdbcResult r = Execute(sql);
  if (!r.ok) throw OdbcError(sql + ": " + Describe(r.errors), r.errors);
  if (r.sets.empty()) throw OdbcError(sql + ": no result set", {});
  return r.sets.front();
}

OdbcCell OdbcTestClient::Scalar(const std::string& sql) {
  auto rows = Query(sql);
  if (rows.size() != 1 || rows.front().size() != 1) {
    throw OdbcError(sql + ": not a single value (" + std::to_string(rows.size()) + " rows)", {});
  }
  return rows.front().front();
}

std::string OdbcValue::DateText() const {
  char buf[64];
  if (kind == Kind::Date) {
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, month, day);
  } else {
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%09ld", year, month, day, hour,
                  minute, second, nanoseconds);
  }
  std::string written = buf;
  if (kind == Kind::TimestampOffset) {
    const int m = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    std::snprintf(buf, sizeof buf, " %c%02d:%02d", offsetMinutes < 0 ? '-' : '+', m / 60, m % 60);
    written += buf;
  }
  return written;
}

namespace {

// Reads a long value in pieces: SQL_C_WCHAR text as UTF-16 units or SQL_C_BINARY bytes.
// Returns false for NULL.
bool ReadLong(SQLHSTMT st, SQLUSMALLINT column, SQLSMALLINT cType, std::vector<std::uint8_t>& out) {
  std::vector<std::uint8_t> buffer(65536);
  const std::size_t terminator = cType == SQL_C_WCHAR ? sizeof(SQLWCHAR) : cType == SQL_C_CHAR ? 1 : 0;
  while (true) {
    SQLLEN indicator = 0;
    SQLRETURN g = SQLGetData(st, column, cType, buffer.data(), static_cast<SQLLEN>(buffer.size()), &indicator);
    if (g == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(g)) {
      throw OdbcError("SQLGetData failed: " + Describe(Diagnostics(SQL_HANDLE_STMT, st)),
                      Diagnostics(SQL_HANDLE_STMT, st));
    }
    if (indicator == SQL_NULL_DATA) return false;
    std::size_t room = buffer.size() - terminator;
    std::size_t n = indicator == SQL_NO_TOTAL || indicator > static_cast<SQLLEN>(room)
                        ? room
                        : static_cast<std::size_t>(indicator);
    if (cType == SQL_C_WCHAR) n -= n % sizeof(SQLWCHAR);
    out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
    if (g == SQL_SUCCESS) break;
  }
  return true;
}

std::string Utf16BytesToUtf8(const std::vector<std::uint8_t>& bytes) {
  std::u16string units;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += sizeof(SQLWCHAR)) {
    SQLWCHAR c;
    std::memcpy(&c, bytes.data() + i, sizeof c);
    units += static_cast<char16_t>(c);
  }
  return ToUtf8(units);
}

OdbcValue ReadTyped(SQLHSTMT st, SQLUSMALLINT column, SQLSMALLINT sqlType) {
  OdbcValue v;
  v.sqlType = sqlType;
  SQLLEN indicator = 0;
  auto check = [&](SQLRETURN rc) {
    if (!SQL_SUCCEEDED(rc)) {
      auto d = Diagnostics(SQL_HANDLE_STMT, st);
      throw OdbcError("SQLGetData failed: " + Describe(d), d);
    }
    return indicator != SQL_NULL_DATA;
  };
  switch (sqlType) {
    case SQL_BIT: case SQL_TINYINT: case SQL_SMALLINT: case SQL_INTEGER: case SQL_BIGINT: {
      SQLBIGINT x = 0;
      if (check(SQLGetData(st, column, SQL_C_SBIGINT, &x, sizeof x, &indicator))) {
        v.kind = OdbcValue::Kind::Integer;
        v.integer = x;
      }
      return v;
    }
    case SQL_REAL: case SQL_FLOAT: case SQL_DOUBLE: {
      double x = 0;
      if (check(SQLGetData(st, column, SQL_C_DOUBLE, &x, sizeof x, &indicator))) {
        v.kind = OdbcValue::Kind::Real;
        v.real = x;
      }
      return v;
    }
    case SQL_TYPE_DATE: {
      SQL_DATE_STRUCT d{};
      if (check(SQLGetData(st, column, SQL_C_TYPE_DATE, &d, sizeof d, &indicator))) {
        v.kind = OdbcValue::Kind::Date;
        v.year = d.year;
        v.month = d.month;
        v.day = d.day;
      }
      return v;
    }
    case SQL_TYPE_TIMESTAMP: {
      SQL_TIMESTAMP_STRUCT t{};
      if (check(SQLGetData(st, column, SQL_C_TYPE_TIMESTAMP, &t, sizeof t, &indicator))) {
        v.kind = OdbcValue::Kind::Timestamp;
        v.year = t.year;
        v.month = t.month;
        v.day = t.day;
        v.hour = t.hour;
        v.minute = t.minute;
        v.second = t.second;
        v.nanoseconds = static_cast<long>(t.fraction);
      }
      return v;
    }
    case SQL_BINARY: case SQL_VARBINARY: case SQL_LONGVARBINARY: {
      if (ReadLong(st, column, SQL_C_BINARY, v.bytes)) v.kind = OdbcValue::Kind::Binary;
      return v;
    }
    case -155: {  // SQL_SS_TIMESTAMPOFFSET: the driver's text "yyyy-mm-dd hh:mm:ss[.f...] +hh:mm"
      std::vector<std::uint8_t> bytes;
      if (!ReadLong(st, column, SQL_C_WCHAR, bytes)) return v;
      const std::string text = Utf16BytesToUtf8(bytes);
      char sign = 0, fraction[16] = {0};
      int offsetHours = 0, offsetMinutes = 0, read = 0;
      const bool withFraction = std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d.%15[0-9] %c%d:%d%n", &v.year, &v.month,
                                            &v.day, &v.hour, &v.minute, &v.second, fraction, &sign, &offsetHours,
                                            &offsetMinutes, &read) == 10;
      if (!withFraction) {
        fraction[0] = 0;
        read = 0;
        if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d %c%d:%d%n", &v.year, &v.month, &v.day, &v.hour, &v.minute,
                        &v.second, &sign, &offsetHours, &offsetMinutes, &read) != 9) {
          read = 0;
        }
      }
      if (read != static_cast<int>(text.size()) || (sign != '+' && sign != '-')) {
        throw OdbcError("unexpected datetimeoffset text: " + text, {});
      }
      std::string nine = fraction;
      nine.resize(9, '0');
      v.nanoseconds = std::stol(nine);
      v.offsetMinutes = (sign == '-' ? -1 : 1) * (offsetHours * 60 + offsetMinutes);
      v.kind = OdbcValue::Kind::TimestampOffset;
      return v;
    }
    default: {
      std::vector<std::uint8_t> bytes;
      if (ReadLong(st, column, SQL_C_WCHAR, bytes)) {
        v.text = Utf16BytesToUtf8(bytes);
        v.kind = sqlType == SQL_DECIMAL || sqlType == SQL_NUMERIC ? OdbcValue::Kind::Decimal
                 : sqlType == SQL_TYPE_TIME || sqlType == -154 /* SQL_SS_TIME2 */
                     ? OdbcValue::Kind::Time
                     : OdbcValue::Kind::Text;
      }
      return v;
    }
  }
}

}  // namespace

std::vector<OdbcTypedRow> OdbcTestClient::TypedQuery(const std::string& sql) {
  Statement st(static_cast<SQLHDBC>(dbc_));
  std::u16string text = ToUtf16(sql);
  SQLRETURN rc = SQLExecDirectW(st.handle, reinterpret_cast<SQLWCHAR*>(text.data()),
                                static_cast<SQLINTEGER>(text.size()));
  std::vector<OdbcTypedRow> rows;
  bool found = false;
  while (rc != SQL_NO_DATA) {
    if (!SQL_SUCCEEDED(rc)) {
      auto d = Diagnostics(SQL_HANDLE_STMT, st.handle);
      throw OdbcError(sql + ": " + Describe(d), d);
    }
    SQLSMALLINT columns = 0;
    SQLNumResultCols(st.handle, &columns);
    if (columns > 0 && !found) {
      found = true;
      std::vector<SQLSMALLINT> types;
      for (SQLSMALLINT c = 1; c <= columns; ++c) {
        SQLSMALLINT type = 0, decimals = 0, nullable = 0, nameLength = 0;
        SQLULEN size = 0;
        SQLCHAR name[256];
        SQLDescribeCol(st.handle, static_cast<SQLUSMALLINT>(c), name, sizeof name, &nameLength, &type,
                       &size, &decimals, &nullable);
        types.push_back(type);
      }
      while (true) {
        SQLRETURN f = SQLFetch(st.handle);
        if (f == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(f)) {
          auto d = Diagnostics(SQL_HANDLE_STMT, st.handle);
          throw OdbcError(sql + ": " + Describe(d), d);
        }
        OdbcTypedRow row;
        for (SQLSMALLINT c = 1; c <= columns; ++c) {
          row.push_back(ReadTyped(st.handle, static_cast<SQLUSMALLINT>(c), types[static_cast<std::size_t>(c - 1)]));
        }
        rows.push_back(std::move(row));
      }
    }
    rc = SQLMoreResults(st.handle);
  }
  if (!found) throw OdbcError(sql + ": no result set", {});
  return rows;
}

}  // namespace morvane::test
