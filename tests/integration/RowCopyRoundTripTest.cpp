// Rows copied from the MariaDB test server arrive equal on the SQL Server test server, read back
// through the FreeTDS ODBC driver: typed where values are compared with what MySQL returns, as
// the driver's text elsewhere.
#include <gmock/gmock.h>

#include <cstdio>
#include <cstdlib>

#include "engine/RowCopy.h"
#include "tests/integration/EndToEnd.h"

namespace morvane {
namespace {

using test::OdbcRow;
using testing::ElementsAre;
using testing::HasSubstr;

class RecordingWindow : public RowCopyWindow {
 public:
  std::vector<std::string> statusTexts, messages;
  void SetStatusText(const std::string& text) override { statusTexts.push_back(text); }
  MessageAnswer ShowMessage(const std::string& text, MessageButtons) override {
    messages.push_back(text);
    return MessageAnswer::Ok;
  }
};

class RowCopyRoundTrip : public test::EndToEnd {
 protected:
  void SetUp() override {
    EndToEnd::SetUp();
    CreateTargetDatabase();
  }
  CopyResult Copy(const std::string& table) {
    CreateTargetTable(table);
    return CopyTableRows(source, target, window, table,
                         {std::chrono::milliseconds(0), nullptr, &profiles});
  }
  RecordingWindow window;
};

const std::nullopt_t null = std::nullopt;

// How a column's values are compared: the value MySQL returns (as text) against the value read
// back from SQL Server with the C type of its SQL type.
enum class As { Integer, Bit, Float, Double, Decimal, Char, Text, Binary, Date, DateTime, Time };

// A decimal text without sign of zero, leading zeros or trailing fraction zeros.
std::string PlainDecimal(std::string s) {
  bool negative = !s.empty() && s[0] == '-';
  if (negative || (!s.empty() && s[0] == '+')) s.erase(0, 1);
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  while (s.size() > 1 && s[0] == '0' && s[1] != '.') s.erase(0, 1);
  if (s == "0") negative = false;
  return (negative ? "-" : "") + s;
}

// "hh:mm:ss[.f]" without trailing fraction zeros.
std::string PlainTime(std::string s) {
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  return s;
}

std::string TrimBlanks(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::string Describe(const test::OdbcValue& v) {
  using K = test::OdbcValue::Kind;
  switch (v.kind) {
    case K::Null: return "NULL";
    case K::Integer: return std::to_string(v.integer);
    case K::Real: {
      char buffer[40];
      std::snprintf(buffer, sizeof buffer, "%.17g", v.real);
      return buffer;
    }
    case K::Binary: return std::to_string(v.bytes.size()) + " bytes";
    case K::Date:
    case K::Timestamp: return v.DateText();
    default: return "'" + v.text + "'";
  }
}

testing::AssertionResult Same(const test::Cell& mysql, const test::OdbcValue& v, As as) {
  using K = test::OdbcValue::Kind;
  auto differ = [&] {
    return testing::AssertionFailure() << "MySQL " << (mysql ? "'" + *mysql + "'" : "NULL")
                                       << ", SQL Server " << Describe(v);
  };
  if (!mysql || v.IsNull()) return !mysql && v.IsNull() ? testing::AssertionSuccess() : differ();
  const std::string& m = *mysql;
  bool same = false;
  switch (as) {
    case As::Integer:
      same = v.kind == K::Integer ? std::to_string(v.integer) == PlainDecimal(m)
                                  : v.kind == K::Decimal && PlainDecimal(v.text) == PlainDecimal(m);
      break;
    case As::Bit: {
      std::uint64_t bits = 0;
      for (char c : m) bits = (bits << 8) | static_cast<unsigned char>(c);
      same = v.kind == K::Integer && static_cast<std::uint64_t>(v.integer) == bits;
      break;
    }
    case As::Float:  // MySQL gives the stored float through CAST(... AS DOUBLE)
    case As::Double: same = v.kind == K::Real && std::strtod(m.c_str(), nullptr) == v.real; break;
    case As::Decimal: same = v.kind == K::Decimal && PlainDecimal(v.text) == PlainDecimal(m); break;
    case As::Char: same = v.kind == K::Text && TrimBlanks(v.text) == TrimBlanks(m); break;
    case As::Text: same = v.kind == K::Text && v.text == m; break;
    case As::Binary:
      same = v.kind == K::Binary && std::string(v.bytes.begin(), v.bytes.end()) == m;
      break;
    case As::Date: same = v.kind == K::Date && v.DateText() == m; break;
    case As::DateTime: {
      std::string expected = m.find('.') == std::string::npos ? m + "." : m;
      while (expected.size() < 29) expected += '0';
      same = v.kind == K::Timestamp && v.DateText() == expected;
      break;
    }
    case As::Time: same = PlainTime(v.text) == PlainTime(m); break;
  }
  return same ? testing::AssertionSuccess() : differ();
}

struct EdgeColumn {
  const char* name;
  const char* definition;
  As as;
  const char* select = nullptr;  // how MySQL is asked for the value, when not by name
};

// Every MySQL type, each at its edges.
const EdgeColumn EdgeColumns[] = {
    {"ti", "TINYINT", As::Integer},
    {"tiu", "TINYINT UNSIGNED", As::Integer},
    {"si", "SMALLINT", As::Integer},
    {"siu", "SMALLINT UNSIGNED", As::Integer},
    {"mi", "MEDIUMINT", As::Integer},
    {"i", "INT", As::Integer},
    {"iu", "INT UNSIGNED", As::Integer},
    {"bi", "BIGINT", As::Integer},
    {"biu", "BIGINT UNSIGNED", As::Integer},
    {"f", "FLOAT", As::Float, "CAST(f AS DOUBLE)"},
    {"d", "DOUBLE", As::Double},
    {"n", "DECIMAL(10,4)", As::Decimal},
    {"n38", "DECIMAL(38,0)", As::Decimal},
    // Its values need 39 digits (9 integer, 30 fraction): NVARCHAR holding MySQL's exact text.
    {"n65", "DECIMAL(65,30)", As::Text},
    {"c", "CHAR(2)", As::Char},
    {"vc", "VARCHAR(40)", As::Text},
    {"tx", "TEXT", As::Text},
    {"js", "JSON", As::Text},
    {"e", "ENUM('active','on hold','')", As::Text},
    {"st", "SET('a','b','c')", As::Text},
    {"bn", "BINARY(4)", As::Binary},
    {"vb", "VARBINARY(8)", As::Binary},
    {"bl", "BLOB", As::Binary},
    {"g", "GEOMETRY", As::Binary},
    {"b1", "BIT(1)", As::Bit},
    {"b8", "BIT(8)", As::Bit},
    {"dt", "DATETIME", As::DateTime},
    {"dt3", "DATETIME(3)", As::DateTime},
    {"dt6", "DATETIME(6)", As::DateTime},
    {"ts", "TIMESTAMP(6) NULL", As::DateTime},
    {"da", "DATE", As::Date},
    {"tm", "TIME", As::Time},
    {"tm6", "TIME(6)", As::Time},
    {"yr", "YEAR", As::Integer},
};

TEST_F(RowCopyRoundTrip, EveryTypeAtItsEdgesArrivesAsMySqlHoldsIt) {
  std::string create = "CREATE TABLE edges (id INT PRIMARY KEY";
  for (const auto& c : EdgeColumns) create += std::string(", ") + c.name + " " + c.definition;
  create += ")";
  const std::string insert = "INSERT INTO edges VALUES ";
  Source({create, "SET SESSION time_zone = '+00:00'",
          "INSERT INTO edges (id) VALUES (1)",
          // zeros and the smallest dates
          insert + "(2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, '', '', '', '[]', '', '', '', '', "
                   "'', ST_GeomFromText('POINT(0 0)'), 0, 0, '1000-01-01 00:00:00', "
                   "'0001-01-01 00:00:00.000', '0001-01-01 00:00:00.000000', "
                   "'1970-01-01 00:00:01.000000', '0001-01-01', '00:00:00', '00:00:00.000000', 0)",
          // minimums
          insert + "(3, -128, 0, -32768, 0, -8388608, -2147483648, 0, -9223372036854775808, 0, "
                   "-3.40282e38, -1.7976931348623157e308, -999999.9999, "
                   "-99999999999999999999999999999999999999, "
                   "-99999999.99999999999999999999999999999, ' ', ' ', ' ', 'null', 'active', 'a', "
                   "0x00, 0x00, 0x00, ST_GeomFromText('LINESTRING(-1 -1, 1 1)'), 0, 0, "
                   "'1752-12-31 23:59:59', '1000-01-01 00:00:00.001', '1752-09-03 00:00:00.000001', "
                   "'1970-01-01 00:00:01.000001', '1752-09-03', '00:00:01', '00:00:00.000001', 1901)",
          // maximums
          insert + "(4, 127, 255, 32767, 65535, 8388607, 2147483647, 4294967295, "
                   "9223372036854775807, 18446744073709551615, 16777216, 1.7976931348623157e308, "
                   "999999.9999, 99999999999999999999999999999999999999, "
                   "12345678.12345678901234567890123456789, 'DE', 'Ελλάδα 😀 中文 it''s', "
                   "'a\\b ''quoted'' \"d\" --', '{\"a\": \"ü😀\"}', 'on hold', 'a,b,c', "
                   "0xFFFFFFFF, 0x00FF00FF00FF00FF, 0x00010203FF, "
                   "ST_GeomFromText('POLYGON((0 0, 1 0, 1 1, 0 0))', 4326), 1, 255, "
                   "'9999-12-31 23:59:59', '9999-12-31 23:59:59.999', '2024-02-29 23:59:59.999999', "
                   "'2038-01-19 03:14:07.999999', '9999-12-31', '23:59:59', '23:59:59.999999', 2155)",
          // fractions six digits cannot carry, seventeen-digit doubles, emoji in CHAR
          insert + "(5, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1.2345679, 0.30000000000000004, 0.0001, 1, "
                   "0.00000000000000000000000000001, '😀', '😀😃', '', '{}', '', '', 0x01, '', '', "
                   "NULL, 1, 165, '2024-02-29 12:00:00', '2024-02-29 23:59:59.999', "
                   "'2024-02-29 00:00:00.100000', NULL, '2024-02-29', '12:34:56', "
                   "'23:59:59.5', 2079)",
          "INSERT INTO edges (id, f, d, n65) VALUES (6, 123456789, 1e-300, 123456789.5)",
          // thirty fraction digits beside nine integer ones: more than a DECIMAL holds, the text
          // arrives; refused: a CHAR(2) of four UTF-16 units
          "INSERT INTO edges (id, n65) VALUES (7, 0.123456789012345678901234567891)",
          "INSERT INTO edges (id, c) VALUES (8, '😀😀')"});

  RunReport report;
  CreateTargetTable("edges");
  const CopyResult result = CopyTableRows(source, target, window, "edges",
                                          {std::chrono::milliseconds(0), nullptr, &profiles, &report});
  EXPECT_THAT(window.messages, ElementsAre());
  EXPECT_EQ(result.outcome, CopyOutcome::Completed);
  EXPECT_EQ(result.rowsCopied, 7u);
  EXPECT_EQ(result.rowsRefused, 1u);
  std::vector<std::string> named;
  for (const auto& item : report.Items()) named.push_back(item.text);
  EXPECT_THAT(named, ElementsAre("edges, column c: the value '😀😀' needs more than the 2 UTF-16 "
                                 "code units of NCHAR(2); its row was not copied"));

  std::string mysqlSelect = "SELECT id", targetSelect = "SELECT [id]";
  for (const auto& c : EdgeColumns) {
    mysqlSelect += std::string(", ") + (c.select != nullptr ? c.select : c.name);
    targetSelect += std::string(", [") + c.name + "]";
  }
  const auto expected = mariadb.Query(mysqlSelect + " FROM " + test::Backticked(sourceName) +
                                      ".edges WHERE id <= 7 ORDER BY id");
  test::OdbcTestClient client(test::SqlServer(), targetName);
  const auto arrived = client.TypedQuery(targetSelect + " FROM [edges] ORDER BY [id]");
  ASSERT_EQ(arrived.size(), expected.size());
  for (std::size_t r = 0; r < arrived.size(); ++r) {
    for (std::size_t j = 0; j < std::size(EdgeColumns); ++j) {
      EXPECT_TRUE(Same(expected[r][j + 1], arrived[r][j + 1], EdgeColumns[j].as))
          << "row " << *expected[r][0] << ", column " << EdgeColumns[j].name;
    }
  }
}

TEST_F(RowCopyRoundTrip, TimeBeyondOneDayArrivesAsTheMomentFrom1900) {
  Source({"CREATE TABLE spans (id INT PRIMARY KEY, t TIME(6))",
          "INSERT INTO spans VALUES (1, '-838:59:59'), (2, '838:59:59'), (3, '24:00:00'), "
          "(4, '-00:00:00.000001'), (5, '12:00:00.5'), (6, NULL)"});
  const CopyResult result = Copy("spans");
  EXPECT_EQ(result.rowsCopied, 6u);
  EXPECT_THAT(window.messages, ElementsAre());
  test::OdbcTestClient client(test::SqlServer(), targetName);
  std::vector<std::string> moments;
  for (const auto& row : client.TypedQuery("SELECT [t] FROM [spans] ORDER BY [id]"))
    moments.push_back(row[0].IsNull() ? "NULL" : row[0].DateText());
  EXPECT_THAT(moments, ElementsAre("1899-11-27 01:00:01.000000000", "1900-02-04 22:59:59.000000000",
                                   "1900-01-02 00:00:00.000000000", "1899-12-31 23:59:59.999999000",
                                   "1900-01-01 12:00:00.500000000", "NULL"));
}

TEST_F(RowCopyRoundTrip, ZeroDatesArriveAsNullInColumnsCreatedNull) {
  Source({"SET SESSION sql_mode = ''",
          "CREATE TABLE zeros (id INT PRIMARY KEY, da DATE NOT NULL, dt DATETIME NOT NULL)",
          "INSERT INTO zeros VALUES (1, '0000-00-00', '2024-00-15 10:00:00'), "
          "(2, '2024-02-29', '2024-02-29 23:59:59')",
          "CREATE TABLE zkey (da DATE PRIMARY KEY)",
          "INSERT INTO zkey VALUES ('0000-00-00'), ('2024-01-01')"});
  EXPECT_EQ(Copy("zeros").rowsCopied, 2u);
  EXPECT_THAT(window.messages, ElementsAre());
  EXPECT_EQ(Target("SELECT [id], [da], [dt] FROM [zeros] ORDER BY [id]"),
            (std::vector<OdbcRow>{{"1", null, null}, {"2", "2024-02-29", "2024-02-29 23:59:59"}}));

  // A primary key keeps NOT NULL: its zero date is refused and named.
  RunReport report;
  CreateTargetTable("zkey");
  const CopyResult keyed = CopyTableRows(source, target, window, "zkey",
                                         {std::chrono::milliseconds(0), nullptr, &profiles, &report});
  EXPECT_EQ(keyed.rowsCopied, 1u);
  EXPECT_EQ(keyed.rowsRefused, 1u);
  ASSERT_EQ(report.Items().size(), 1u);
  EXPECT_THAT(report.Items()[0].text, HasSubstr("zkey, column da: the value 0000-00-00"));
}

TEST_F(RowCopyRoundTrip, TextHoldingUPlus0000Arrives) {
  // Written as CAST(N'a' AS NVARCHAR(MAX)) + NCHAR(0) + N'b': the driver would cut a literal at
  // its first zero character. The TEXT value is longer than the 8000 bytes at which "+" cuts
  // texts none of which is a (MAX) type.
  Source({"CREATE TABLE nul (id INT PRIMARY KEY, v VARCHAR(10), t TEXT)",
          "INSERT INTO nul VALUES (1, 'a\\0b', CONCAT('\\0', REPEAT('x', 5000), '\\0'))"});
  EXPECT_EQ(Copy("nul").rowsCopied, 1u) << testing::PrintToString(window.messages);
  EXPECT_EQ(Target("SELECT [v], [t] FROM [nul]"),
            (std::vector<OdbcRow>{{std::string("a\0b", 3),
                                   std::string(1, '\0') + std::string(5000, 'x') + std::string(1, '\0')}}));
}

TEST_F(RowCopyRoundTrip, TextsAsLongAsTheirColumnsWithEmoji) {
  // VARCHAR(4): four characters for MySQL, eight UTF-16 code units for SQL Server. CHAR(2) keeps
  // its declared width: two emoji need four units and are refused, one fits.
  Source({"CREATE TABLE full (id INT, v VARCHAR(4), c CHAR(2))",
          "INSERT INTO full VALUES (1, '😀😃😄😁', '🎉'), (2, 'a', '🎉🎉')"});
  RunReport report;
  CreateTargetTable("full");
  const CopyResult result = CopyTableRows(source, target, window, "full",
                                          {std::chrono::milliseconds(0), nullptr, &profiles, &report});
  EXPECT_EQ(result.rowsCopied, 1u);
  EXPECT_EQ(result.rowsRefused, 1u);
  EXPECT_THAT(window.messages, ElementsAre());
  ASSERT_EQ(report.Items().size(), 1u);
  EXPECT_THAT(report.Items()[0].text, HasSubstr("full, column c: the value '🎉🎉'"));
  EXPECT_EQ(Target("SELECT [v], [c] FROM [full]"), (std::vector<OdbcRow>{{"😀😃😄😁", "🎉"}}));
}

TEST_F(RowCopyRoundTrip, CharZeroColumnIsCreated) {
  // MySQL allows CHAR(0) (it holds '' or NULL); SQL Server's smallest is one character.
  Source({"CREATE TABLE flags (id INT, f CHAR(0))", "INSERT INTO flags VALUES (1, ''), (2, NULL)"});
  EXPECT_EQ(Copy("flags").rowsCopied, 2u);
  EXPECT_THAT(window.messages, ElementsAre());
  const auto rows = Target("SELECT * FROM [flags] ORDER BY [id]");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][1], std::string(1, ' '));  // NCHAR pads
  EXPECT_EQ(rows[1][1], std::nullopt);
}

TEST_F(RowCopyRoundTrip, AutoIncrementValuesWithGapsArriveUnchanged) {
  Source({"CREATE TABLE gaps (id INT AUTO_INCREMENT PRIMARY KEY, v VARCHAR(10))",
          "INSERT INTO gaps (v) VALUES ('a'), ('b'), ('c'), ('d')", "DELETE FROM gaps WHERE id IN (2, 3)",
          "INSERT INTO gaps (id, v) VALUES (100, 'e')"});
  EXPECT_EQ(Copy("gaps").rowsCopied, 3u);
  EXPECT_EQ(Target("SELECT [id], [v] FROM [gaps] ORDER BY [id]"),
            (std::vector<OdbcRow>{{"1", "a"}, {"4", "d"}, {"100", "e"}}));
  // The identity goes on numbering after the copied values.
  test::OdbcTestClient client(test::SqlServer(), targetName);
  client.Run("INSERT INTO [gaps] ([v]) VALUES (N'f')");
  EXPECT_EQ(client.Query("SELECT [id], [v] FROM [gaps] ORDER BY [id]").back(), (OdbcRow{"101", "f"}));
}

TEST_F(RowCopyRoundTrip, TableNameWithBlankAndBacktick) {
  Source({"CREATE TABLE `my ta``ble` (`order` INT, `key` VARCHAR(5))",
          "INSERT INTO `my ta``ble` VALUES (1, 'x'), (2, 'y')"});
  EXPECT_EQ(Copy("my ta`ble").rowsCopied, 2u);
  EXPECT_EQ(Target("SELECT [order], [key] FROM [my ta`ble] ORDER BY [order]"),
            (std::vector<OdbcRow>{{"1", "x"}, {"2", "y"}}));
}

TEST_F(RowCopyRoundTrip, RefusedRowThreeOfFive) {
  // The target's unique constraint is stricter than the source's data: row 3 repeats row 1.
  Source({"CREATE TABLE five (n INT, code VARCHAR(5))",
          "INSERT INTO five VALUES (1, 'a'), (2, 'b'), (3, 'a'), (4, 'c'), (5, 'd')"});
  CreateTargetTable("five");
  const std::string unique = "CREATE UNIQUE INDEX [five_code] ON [five] ([code])";
  test::OdbcTestClient(test::SqlServer(), targetName).Run(unique);
  const CopyResult result =
      CopyTableRows(source, target, window, "five", {std::chrono::milliseconds(0), nullptr});
  EXPECT_EQ(result.rowsCopied, 4u);
  EXPECT_EQ(result.rowsRefused, 1u);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_THAT(window.messages[0], HasSubstr("duplicate key"));
  EXPECT_EQ(window.statusTexts.size(), 5u);
  EXPECT_EQ(Target("SELECT [n] FROM [five] ORDER BY [n]"),
            (std::vector<OdbcRow>{{"1"}, {"2"}, {"4"}, {"5"}}));
}

TEST_F(RowCopyRoundTrip, DatesBefore1753AndAfter2079Arrive) {
  Source({"CREATE TABLE old (id INT PRIMARY KEY, dt DATETIME, yr YEAR)",
          "INSERT INTO old VALUES (1, '1752-12-31 00:00:00', 2155), (2, '1000-01-01 00:00:00', 0)"});
  const CopyResult result = Copy("old");
  EXPECT_EQ(result.rowsCopied, 2u);
  EXPECT_THAT(window.messages, ElementsAre());
  EXPECT_EQ(Target("SELECT [dt], [yr] FROM [old] ORDER BY [id]"),
            (std::vector<OdbcRow>{{"1752-12-31 00:00:00", "2155"}, {"1000-01-01 00:00:00", "0"}}));
}

}  // namespace
}  // namespace morvane
