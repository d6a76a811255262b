// Texts the MySQL source builds or reads without a server: the character-set check after
// connecting, the FLOAT read expression, and MySQL 8's hex form of binary defaults.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "source/MySqlSource.h"
#include "source/SchemaText.h"

namespace morvane {
namespace {

using testing::HasSubstr;

TEST(CharacterSetCheck, AcceptsOnlyUtf8mb4OnEverySide) {
  EXPECT_EQ(CharacterSetRefusal({"utf8mb4", "utf8mb4", "utf8mb4"}, ""), "");
  struct Case {
    SessionCharacterSets session;
    const char* named;
  };
  for (const Case& c : {Case{{"latin1", "latin1", "latin1"}, "character_set_results latin1"},
                        Case{{"utf8mb4", "utf8mb4", "utf8mb3"}, "character_set_results utf8mb3"},
                        Case{{"utf8mb4", "utf8mb4", "NULL"}, "character_set_results NULL"},
                        Case{{"utf8mb4", "latin1", "utf8mb4"}, "character_set_connection latin1"},
                        Case{{"utf8", "utf8mb4", "utf8mb4"}, "character_set_client utf8"},
                        Case{{"", "", ""}, "character_set_client unknown"}}) {
    const std::string refusal = CharacterSetRefusal(c.session, "");
    EXPECT_THAT(refusal, HasSubstr(c.named));
    EXPECT_THAT(refusal, HasSubstr("not used"));
  }
  EXPECT_THAT(CharacterSetRefusal({}, "Unknown character set"),
              HasSubstr("refused the character set utf8mb4 (SET NAMES utf8mb4: Unknown character set)"));
}

// MySQL 5.7 and 8.0 before 8.0.17 have no CAST(... AS DOUBLE); the form used must not need it
// on any server version.
TEST(FloatRead, WidensByArithmeticNotByCast) {
  EXPECT_EQ(FloatAsDouble("`f`"), "(`f` * 1e0)");
  EXPECT_THAT(FloatAsDouble("`a``b`"), testing::Not(HasSubstr("CAST")));
}

struct BinaryDefaultCase {
  const char* what;
  const char* columnDefault;  // as information_schema.COLUMNS shows it
  const char* dataType;
  bool mariaDb;
  std::string value;  // the default's bytes after reading
};

void PrintTo(const BinaryDefaultCase& c, std::ostream* os) { *os << c.what; }

class BinaryDefault : public testing::TestWithParam<BinaryDefaultCase> {};

TEST_P(BinaryDefault, ReadsTheBytesTheColumnHolds) {
  const BinaryDefaultCase& c = GetParam();
  const ColumnDefault d =
      DecodedBinaryDefault(ParseColumnDefault(std::string(c.columnDefault), "", c.mariaDb),
                           c.dataType, c.mariaDb);
  EXPECT_EQ(d.kind, DefaultKind::Literal);
  EXPECT_EQ(d.value, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, BinaryDefault,
    testing::Values(
        // MySQL 8: VARBINARY(10) DEFAULT 'abc', BINARY(5) DEFAULT 'abc' (padded with zero bytes).
        BinaryDefaultCase{"MySQL varbinary", "0x616263", "varbinary", false, "abc"},
        BinaryDefaultCase{"MySQL binary padded", "0x6162630000", "binary", false,
                          std::string("abc\0\0", 5)},
        BinaryDefaultCase{"MySQL upper-case type name", "0x414243", "VARBINARY", false, "ABC"},
        BinaryDefaultCase{"MySQL upper-case hex digits", "0x4A4b", "varbinary", false, "JK"},
        BinaryDefaultCase{"MySQL empty", "0x", "varbinary", false, ""},
        // MariaDB writes the same defaults quoted, as text: nothing to decode.
        BinaryDefaultCase{"MariaDB varbinary", "'abc'", "varbinary", true, "abc"},
        BinaryDefaultCase{"MariaDB text that looks like hex", "'0x616263'", "varbinary", true,
                          "0x616263"},
        // A text column whose default happens to look like hex keeps it.
        BinaryDefaultCase{"MySQL varchar", "0x616263", "varchar", false, "0x616263"},
        // Not hex after all: kept as written.
        BinaryDefaultCase{"MySQL odd digits", "0x616", "varbinary", false, "0x616"},
        BinaryDefaultCase{"MySQL not hex", "0xzz", "varbinary", false, "0xzz"}));

TEST(BinaryDefault, ZeroBytesInsideAreKept) {
  const ColumnDefault d = DecodedBinaryDefault({DefaultKind::Literal, "0x00ff00"}, "binary", false);
  EXPECT_EQ(d.value, std::string("\0\xff\0", 3));
}

TEST(BinaryDefault, ExpressionsAreLeftAlone) {
  const ColumnDefault d = DecodedBinaryDefault(
      ParseColumnDefault(std::string("(0x61)"), "DEFAULT_GENERATED", false), "varbinary", false);
  EXPECT_EQ(d.kind, DefaultKind::Expression);
  EXPECT_EQ(d.value, "(0x61)");
}

}  // namespace
}  // namespace morvane
