// MySQL's expressions and cascading foreign keys carried by whole runs, checked on the SQL Server
// test server through what later rows get: defaults they are given, keys that refuse them.
#include <gmock/gmock.h>

#include <regex>

#include "engine/ConversionRun.h"
#include "tests/integration/EndToEnd.h"
#include "tests/support/FakeWizardWindow.h"

namespace morvane {
namespace {

using test::OdbcRow;
using testing::HasSubstr;
using testing::Not;

class ExpressionsEndToEnd : public test::RunEndToEnd {
 protected:
  long OnTarget(const std::string& statement) {
    test::OdbcTestClient client(test::SqlServer(), targetName);
    return client.Execute(statement).FirstError();
  }
};

// A later INSERT naming fewer columns gets the translated defaults, with the values MySQL gives
// the same INSERT; the self-referencing ON DELETE CASCADE key is kept with NO ACTION and named.
TEST_F(ExpressionsEndToEnd, DefaultsAndASelfReferencingKey) {
  Source({"CREATE TABLE staff (id INT PRIMARY KEY, boss INT, token CHAR(36) DEFAULT (uuid()), "
          "hired DATE DEFAULT (curdate()), two INT DEFAULT (1 + 1), "
          "price DECIMAL(8,2) DEFAULT (3 * 1.25), lucky INT DEFAULT (floor(rand() * 10)), "
          "CONSTRAINT boss_of FOREIGN KEY (boss) REFERENCES staff (id) ON DELETE CASCADE) "
          "ENGINE=InnoDB",
          "INSERT INTO staff (id, boss, token, hired, two, price, lucky) VALUES "
          "(1, NULL, 'x', '2024-02-29', 5, 1.50, 7), (2, 1, 'y', '2024-03-01', 6, 2.50, 8)"});
  ASSERT_EQ(Convert({"staff"}).outcome, RunOutcome::Completed);
  const std::string& message = FinalMessage();
  EXPECT_THAT(message, HasSubstr("\n- ON DELETE CASCADE of foreign key boss_of of table staff not "
                                 "carried (NO ACTION instead): "));
  EXPECT_THAT(message, Not(HasSubstr("foreign key boss_of of table staff was not")));
  EXPECT_THAT(message, HasSubstr("\n- staff: column lucky: DEFAULT floor(rand() * 10) was not "
                                 "translated (it calls rand()"));
  EXPECT_THAT(message, Not(HasSubstr("no equivalent")));
  EXPECT_EQ(Target("SELECT name, delete_referential_action_desc, update_referential_action_desc "
                   "FROM sys.foreign_keys"),
            (std::vector<OdbcRow>{{"boss_of", "NO_ACTION", "NO_ACTION"}}));
  // The key holds: a row without its boss is refused, and so is deleting a boss with staff.
  EXPECT_EQ(OnTarget("INSERT INTO [staff] ([id], [boss]) VALUES (9, 99)"), 547);
  EXPECT_EQ(OnTarget("DELETE FROM [staff] WHERE [id] = 1"), 547);

  // The same INSERT on both servers: the defaults give the same values.
  Source({"INSERT INTO staff (id, boss) VALUES (3, 1)"});
  ASSERT_EQ(OnTarget("INSERT INTO [staff] ([id], [boss]) VALUES (3, 1)"), 0);
  const auto fromMysql = mariadb.Query(
      "SELECT two, price, CHAR_LENGTH(token), token = LOWER(token), hired = CURDATE() "
      "FROM staff WHERE id = 3");
  const auto sqlServer = Target(
      "SELECT [two], [price], LEN([token]), CASE WHEN [token] = LOWER([token]) COLLATE "
      "Latin1_General_100_BIN2 THEN 1 ELSE 0 END, CASE WHEN [hired] = CONVERT(DATE, SYSDATETIME()) "
      "THEN 1 ELSE 0 END FROM [staff] WHERE [id] = 3");
  ASSERT_EQ(fromMysql.size(), 1u);
  EXPECT_EQ(fromMysql[0], (test::Rows::value_type{"2", "3.75", "36", "1", "1"}));
  EXPECT_EQ(sqlServer, (std::vector<OdbcRow>{{"2", "3.75", "36", "1", "1"}}));
  // A UUID in its form: 8-4-4-4-12 hexadecimal digits; the default not carried gives NULL.
  const auto token = Target("SELECT [token], [lucky] FROM [staff] WHERE [id] = 3");
  ASSERT_EQ(token.size(), 1u);
  ASSERT_TRUE(token[0][0].has_value());
  EXPECT_TRUE(std::regex_match(*token[0][0], std::regex("[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}")))
      << *token[0][0];
  EXPECT_EQ(token[0][1], std::nullopt);
}

}  // namespace
}  // namespace morvane
