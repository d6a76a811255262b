// Names compared as the target database's collation (Latin1_General_100_CI_AS_SC) compares them:
// which names are one name, and what the run calls a table, key or index whose name is taken.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/SchemaNames.h"
#include "tests/sqlserver/server/Collation.h"
#include "tests/sqlserver/server/Text.h"

namespace morvane {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;

const std::string kCollation = "Latin1_General_100_CI_AS_SC";

struct NamePair {
  const char* a;
  const char* b;
  bool same;
  const char* why;
};

const NamePair kPairs[] = {
    {"Users", "USERS", true, "ASCII case"},
    {"Über", "über", true, "Latin-1 Supplement"},
    {"ÆØÅ", "æøå", true, "Latin-1 Supplement"},
    {"Łódź", "ŁÓDŹ", true, "Latin Extended-A"},
    {"Ǆemal", "ǆemal", true, "Latin Extended-B digraph"},
    {"Ǉ", "ǈ", true, "Latin Extended-B title case"},
    {"Ạnh", "ạnh", true, "Latin Extended Additional"},
    {"ΣΟΦΟΣ", "σοφος", true, "Greek, final sigma"},
    {"σοφοσ", "σοφος", true, "Greek sigma and final sigma"},
    {"Ωμέγα", "ωμέγα", true, "Greek with an accent on both"},
    {"θ", "ϑ", true, "Greek theta symbol"},
    {"Жук", "жук", true, "Cyrillic"},
    {"ЁЛКА", "ёлка", true, "Cyrillic beyond the basic block"},
    {"Ґанок", "ґанок", true, "Cyrillic (Ukrainian)"},
    {"Արամ", "արամ", true, "Armenian"},
    {"Ⴀ", "ⴀ", true, "Georgian Asomtavruli and Nuskhuri"},
    {"Ა", "ა", true, "Georgian Mtavruli and Mkhedruli"},
    {"Ａｂｃ", "abc", true, "full-width forms"},
    {"ＡＢＣ", "abc", true, "full-width capitals"},
    {"カタカナ", "かたかな", true, "katakana and hiragana"},
    {"Straße", "STRASSE", true, "ß as ss"},
    {"ẞ", "ss", true, "capital sharp s"},
    {"ſ", "S", true, "long s"},
    {"\u212A", "k", true, "Kelvin sign"},
    {"\u00B5", "\u03BC", true, "micro sign and mu"},
    {"t ", "t", true, "trailing blank"},
    {"t\u3000", "t", true, "trailing ideographic space"},
    {"\U00010400", "\U00010428", true, "Deseret beyond the BMP"},
    {"é", "e", false, "accents count"},
    {"Ä", "A", false, "accents count in capitals"},
    {" t", "t", false, "leading blanks count"},
    {"a😀", "a😃", false, "supplementary characters are defined (_SC)"},
    {"Æ", "AE", false, "no expansion but ß"},
    {"日本", "本日", false, "order counts"},
};

TEST(NameKey, PairsOfNames) {
  for (const NamePair& p : kPairs) {
    EXPECT_EQ(NameKey(p.a) == NameKey(p.b), p.same) << p.a << " / " << p.b << ": " << p.why;
    // The SQL Server test server takes them the same way.
    EXPECT_EQ(tds::NamesEqual(p.a, p.b, kCollation), p.same) << p.a << " / " << p.b << ": " << p.why;
  }
}

std::string Utf8(char32_t c) {
  std::u16string units;
  if (c >= 0x10000) {
    units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
    units += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
  } else {
    units += static_cast<char16_t>(c);
  }
  return tds::Utf16ToUtf8(units);
}

// Every character, alone and after a letter: the run's keys group the characters exactly as the
// test server's collation keys do, so no name the run thinks free is taken on the server.
TEST(NameKey, GroupsEveryCharacterAsTheTestServerDoes) {
  std::map<std::u32string, std::string> serverOfOurs;
  std::map<std::string, std::u32string> oursOfServer;
  int differences = 0;
  for (char32_t c = 1; c <= 0x10FFFF; ++c) {
    if (c >= 0xD800 && c < 0xE000) continue;
    const std::string name = "x" + Utf8(c);
    const std::u32string ours = NameKey(name);
    const std::string server = tds::CollationKey(name, kCollation);
    const auto [a, newA] = serverOfOurs.emplace(ours, server);
    const auto [b, newB] = oursOfServer.emplace(server, ours);
    if ((a->second != server || b->second != ours) && ++differences <= 10)
      ADD_FAILURE() << "U+" << std::hex << static_cast<unsigned>(c) << " is grouped otherwise";
  }
  EXPECT_EQ(differences, 0);
}

TEST(NameKey, TakesMalformedBytesAsThemselves) {
  EXPECT_NE(NameKey("a\xC3"), NameKey("a"));
  EXPECT_NE(NameKey("\xFF"), NameKey("\xFE"));
  EXPECT_EQ(NameKey("A\xFF"), NameKey("a\xFF"));
}

TEST(SchemaNames, TablesTheCollationTakesForOneGetNamesOfTheirOwn) {
  SchemaNames names;
  const std::vector<std::string> tables = {"Über", "über", "Жук", "жук", "ΣΟΦΟΣ", "σοφος", "Ａ", "a"};
  const auto targets = names.ClaimTables(tables);
  EXPECT_THAT(targets, ElementsAre("Über", "über_2", "Жук", "жук_2", "ΣΟΦΟΣ", "σοφος_2", "Ａ", "a_2"));
  EXPECT_EQ(names.TableRenamedText("über", "über_2"),
            "table über was created as über_2: SQL Server takes its name for that of table Über "
            "(the database compares names regardless of letter case, width and kana)");
  // A numbered name that is itself taken as the collation compares names goes further.
  SchemaNames more;
  EXPECT_THAT(more.ClaimTables({"Straße", "STRASSE", "strasse_2"}),
              ElementsAre("Straße", "STRASSE_3", "strasse_2"));
}

TEST(SchemaNames, ConstraintsAndIndexesGivenAnotherNameAreNamed) {
  SchemaNames names;
  names.ClaimTables({"orders", "Ärzte"});
  EXPECT_EQ(names.ClaimConstraint("orders", "uq_ärzte"), "uq_ärzte");
  EXPECT_TRUE(names.TakeRenamed().empty());
  // The same name in capitals, on another table: prefixed with that table's name.
  EXPECT_EQ(names.ClaimConstraint("Ärzte", "UQ_ÄRZTE"), "Ärzte_UQ_ÄRZTE");
  // A constraint never takes a table's name, whatever the case.
  EXPECT_EQ(names.ClaimConstraint("orders", "ÄRZTE", false), "orders_ÄRZTE");
  // Index names are the table's own: one in full-width letters is the same name.
  EXPECT_EQ(names.ClaimIndex("orders", "ｕｑ＿ärzte"), "ｕｑ＿ärzte_2");
  EXPECT_EQ(names.ClaimIndex("Ärzte", "ix"), "ix");
  const auto renamed = names.TakeRenamed();
  ASSERT_EQ(renamed.size(), 3u);
  EXPECT_EQ(renamed[0].table, "Ärzte");
  EXPECT_EQ(renamed[0].text,
            "key UQ_ÄRZTE of table Ärzte was created as Ärzte_UQ_ÄRZTE: SQL Server takes its "
            "name for that of constraint uq_ärzte of table orders (the database compares names "
            "regardless of letter case, width and kana)");
  EXPECT_THAT(renamed[1].text, HasSubstr("foreign key ÄRZTE of table orders was created as "
                                         "orders_ÄRZTE: SQL Server takes its name for that of "
                                         "table Ärzte"));
  EXPECT_THAT(renamed[2].text, HasSubstr("index ｕｑ＿ärzte of table orders was created as "
                                         "ｕｑ＿ärzte_2: SQL Server takes its name for that of "
                                         "the key or index uq_ärzte of that table"));
  EXPECT_TRUE(names.TakeRenamed().empty());
}

}  // namespace
}  // namespace morvane
