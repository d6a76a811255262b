// Rows copied from the MariaDB test server arrive equal on the SQL Server test server, read back
// through the FreeTDS ODBC driver (which writes DATETIME as "yyyy-mm-dd hh:mm:ss.fff", FLOAT in
// shortest form with an exponent sign, and binary as lower-case hexadecimal digits).
#include <gmock/gmock.h>

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
    return CopyTableRows(source, target, window, table, {std::chrono::milliseconds(0), nullptr});
  }
  RecordingWindow window;
};

const std::nullopt_t null = std::nullopt;

TEST_F(RowCopyRoundTrip, EveryTypeWithAwkwardValues) {
  Source({"CREATE TABLE awkward (id INT AUTO_INCREMENT PRIMARY KEY, ti TINYINT, tiu TINYINT "
          "UNSIGNED, si SMALLINT, siu SMALLINT UNSIGNED, i INT, iu INT UNSIGNED, bi BIGINT, biu "
          "BIGINT UNSIGNED, f FLOAT, d DOUBLE, n DECIMAL(10,4), c CHAR(10), vc VARCHAR(40), tx "
          "TEXT, bn BINARY(4), vb VARBINARY(8), bl BLOB, b1 BIT(1), b8 BIT(8), dt DATETIME, da "
          "DATE, tm TIME, yr YEAR)",
          "SET SESSION sql_mode = ''",
          "INSERT INTO awkward (id) VALUES (1)",
          "INSERT INTO awkward VALUES (2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, '', '', '', '', '', '', "
          "0, 0, '1800-01-01 00:00:00', '1900-01-01', '00:00:00', 1901)",
          "INSERT INTO awkward VALUES (5, -128, 255, -32768, 65535, -2147483648, 4294967295, "
          "-9223372036854775808, 18446744073709551615, -2.5, 1e20, 123456.7890, 'O''Brien', "
          "'a\\\\b''c \"d\" --', 'Ελλάδα 😀 中文', 0x00FF0001, 0x0000, 0x00010203FF, 1, "
          "b'10100101', '2100-12-31 23:59:59', '2079-06-07', '12:34:56', 2079)",
          "INSERT INTO awkward (id, d, n, dt, da, tm, yr) VALUES (7, 1e-300, -999999.9999, "
          "'0000-00-00 00:00:00', '0000-00-00', '123:45:06', 0)",
          "INSERT INTO awkward (id, da, tm) VALUES (9, '2004-00-15', '-01:00:00')"});

  const CopyResult result = Copy("awkward");
  EXPECT_THAT(window.messages, ElementsAre());
  EXPECT_EQ(result.outcome, CopyOutcome::Completed);
  EXPECT_EQ(result.rowsCopied, 5u);

  const auto rows = Target("SELECT * FROM [awkward] ORDER BY [id]");
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0], (OdbcRow{"1", null, null, null, null, null, null, null, null, null, null,
                              null, null, null, null, null, null, null, null, null, null, null,
                              null, null}));
  EXPECT_EQ(rows[1], (OdbcRow{"2", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0.0000",
                              std::string(20, ' '), "", "", "00000000", "", "", "0", "0",
                              "1800-01-01 00:00:00.000", "1900-01-01 00:00:00.000",
                              "1900-01-01 00:00:00.000", "1901-01-01 00:00:00"}));
  EXPECT_EQ(rows[2], (OdbcRow{"5", "-128", "255", "-32768", "65535", "-2147483648", "4294967295",
                              "-9223372036854775808", "18446744073709551615", "-2.5", "1e+20",
                              "123456.7890", "O'Brien" + std::string(13, ' '), "a\\b'c \"d\" --", "Ελλάδα 😀 中文",
                              "00ff0001", "0000", "00010203ff", "1", "165",
                              "2100-12-31 23:59:59.000", "2079-06-07 00:00:00.000",
                              "1900-01-01 12:34:56.000", "2079-01-01 00:00:00"}));
  // Zero and partial dates cannot be stored: they arrive without value.
  EXPECT_EQ(rows[3], (OdbcRow{"7", null, null, null, null, null, null, null, null, null, "1e-300",
                              "-999999.9999", null, null, null, null, null, null, null, null, null,
                              null, "1900-01-06 03:45:06.000", null}));
  EXPECT_EQ(rows[4][0], "9");
  EXPECT_EQ(rows[4][21], null);
  EXPECT_EQ(rows[4][22], "1899-12-31 23:00:00.000");
}

TEST_F(RowCopyRoundTrip, TextsAsLongAsTheirColumnsWithEmoji) {
  // Four characters for MySQL, eight UTF-16 code units for SQL Server.
  Source({"CREATE TABLE full (v VARCHAR(4), c CHAR(2))",
          "INSERT INTO full VALUES ('😀😃😄😁', '🎉🎉')"});
  EXPECT_EQ(Copy("full").rowsCopied, 1u);
  EXPECT_THAT(window.messages, ElementsAre());
  EXPECT_EQ(Target("SELECT * FROM [full]"), (std::vector<OdbcRow>{{"😀😃😄😁", "🎉🎉"}}));
}

TEST_F(RowCopyRoundTrip, CharZeroColumnIsCreated) {
  // MySQL allows CHAR(0) (it holds '' or NULL); SQL Server's smallest is one character.
  Source({"CREATE TABLE flags (id INT, f CHAR(0))", "INSERT INTO flags VALUES (1, ''), (2, NULL)"});
  EXPECT_EQ(Copy("flags").rowsCopied, 2u);
  EXPECT_THAT(window.messages, ElementsAre());
  const auto rows = Target("SELECT * FROM [flags] ORDER BY [id]");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][1], std::string(2, ' '));  // NCHAR pads
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

TEST_F(RowCopyRoundTrip, ValuesSqlServerCannotHoldAreReportedRefusals) {
  Source({"CREATE TABLE old (id INT PRIMARY KEY, dt DATETIME)",
          "INSERT INTO old VALUES (1, '1752-12-31 00:00:00'), (2, '1753-01-01 00:00:00')"});
  const CopyResult result = Copy("old");
  EXPECT_EQ(result.rowsCopied, 1u);
  EXPECT_EQ(result.rowsRefused, 1u);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_THAT(window.messages[0], HasSubstr("out-of-range"));
}

}  // namespace
}  // namespace morvane
