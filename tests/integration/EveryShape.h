#pragma once
// One source database holding every shape the plan decides: a row too wide for SQL Server's
// fixed part, more than 1 024 columns, DECIMAL(65,30), text widths by character set, a foreign
// key created before its parent, counters with and without rows, a system-versioned table.
// Shared by the run through the engine and the run through the window.

#include <string>
#include <vector>

namespace morvane::test {

// The 65-digit value of c_money's first row.
inline const std::string kEveryShapeBig =
    "-12345678901234567890123456789012345.123456789012345678901234567891";

// The tables, in the order the wizard lists them.
inline const std::vector<std::string> kEveryShapeTables = {
    "a_wide", "b_many", "c_money", "d_text", "e_child", "f_parent", "g_counted", "h_empty", "i_history"};

// The statements that make them, run in the source database.
inline std::vector<std::string> EveryShapeStatements() {
  std::string wide, many;
  for (int i = 1; i <= 16; ++i) wide += (i > 1 ? ", c" : "c") + std::to_string(i) + " CHAR(255)";
  for (int i = 1; i <= 1025; ++i) many += (i > 1 ? ", c" : "c") + std::to_string(i) + " TINYINT";
  return {"CREATE TABLE a_wide (" + wide + ") DEFAULT CHARSET=utf8mb4",
          "INSERT INTO a_wide (c1, c16) VALUES ('first', 'last')",
          "CREATE TABLE b_many (" + many + ") ENGINE=MyISAM", "INSERT INTO b_many (c1) VALUES (1)",
          "CREATE TABLE c_money (id INT PRIMARY KEY, d DECIMAL(65,30))",
          "INSERT INTO c_money VALUES (1, " + kEveryShapeBig + "), (2, 1.5), (3, NULL)",
          "CREATE TABLE d_text (l VARCHAR(10) CHARACTER SET latin1, m VARCHAR(10) CHARACTER SET utf8mb3, "
          "f VARCHAR(10) CHARACTER SET utf8mb4)",
          "INSERT INTO d_text VALUES ('abcdefghij', 'ÄÖÜäöüßéèê', '😀😀😀😀😀😀😀😀😀😀')",
          "SET FOREIGN_KEY_CHECKS = 0",
          "CREATE TABLE e_child (id INT PRIMARY KEY, code VARCHAR(10), "
          "CONSTRAINT to_parent FOREIGN KEY (code) REFERENCES f_parent (code)) ENGINE=InnoDB",
          "CREATE TABLE f_parent (id INT PRIMARY KEY, code VARCHAR(20) NULL, UNIQUE KEY code (code)) "
          "ENGINE=InnoDB",
          "INSERT INTO f_parent VALUES (1, 'x'), (2, NULL)", "INSERT INTO e_child VALUES (1, 'x'), (2, NULL)",
          "SET FOREIGN_KEY_CHECKS = 1",
          "CREATE TABLE g_counted (id INT AUTO_INCREMENT PRIMARY KEY, v INT) AUTO_INCREMENT=100",
          "INSERT INTO g_counted (id, v) VALUES (1, 1), (2, 2)", "ALTER TABLE g_counted AUTO_INCREMENT=100",
          "CREATE TABLE h_empty (id INT AUTO_INCREMENT PRIMARY KEY, v INT) AUTO_INCREMENT=50",
          "CREATE TABLE i_history (id INT PRIMARY KEY, v INT) WITH SYSTEM VERSIONING",
          "INSERT INTO i_history VALUES (1, 1)", "UPDATE i_history SET v = 2"};
}

}  // namespace morvane::test
