// Source queries per table: a whole run (pause 0) over a database whose every table has a DATE
// column (one per-column query), a nullable unique key that the next table's foreign key
// references (one question about its values) and some rows. The figure is MariaDB's own count
// of the statements the product's connection sent (its session's Questions), per table.
#include <mysql.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "bench/BenchSupport.h"
#include "engine/ConversionRun.h"
#include "tests/support/FakeWizardWindow.h"

namespace morvane::bench {
namespace {

std::uint64_t Questions(MySqlHandle& connection) {
  const char* query = "SHOW SESSION STATUS LIKE 'Questions'";
  if (mysql_query(connection.get(), query) != 0) Fail(mysql_error(connection.get()));
  MYSQL_RES* result = mysql_store_result(connection.get());
  MYSQL_ROW row = result != nullptr ? mysql_fetch_row(result) : nullptr;
  const std::uint64_t n = row != nullptr && row[1] != nullptr ? std::strtoull(row[1], nullptr, 10) : 0;
  if (result != nullptr) mysql_free_result(result);
  return n;
}

int Main(int argc, char** argv) {
  int tables = 20;
  int rows = 50;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--tables") == 0) tables = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--rows") == 0) rows = std::atoi(argv[i + 1]);
  }
  const Servers servers = ServersFromEnvironment();
  Source source(servers, "bench_queries");
  std::vector<std::string> create;
  test::TargetJournal journal;
  test::FakeWizardWindow window{journal};
  for (int t = 0; t < tables; ++t) {
    const std::string name = "t" + std::to_string(100 + t);
    const std::string previous = "t" + std::to_string(99 + t);
    create.push_back("DROP TABLE IF EXISTS " + name);
    create.push_back("CREATE TABLE " + name + " (id INT PRIMARY KEY, day DATE, code INT NULL, "
                     "UNIQUE KEY code (code)" +
                     (t > 0 ? ", CONSTRAINT fk_" + name + " FOREIGN KEY (code) REFERENCES " +
                                  previous + " (code)"
                            : std::string()) +
                     ") ENGINE=InnoDB");
    std::string insert = "INSERT INTO " + name + " VALUES ";
    for (int r = 0; r < rows; ++r)
      insert += (r > 0 ? ", " : "") + std::string("(") + std::to_string(r) + ", '2024-01-02', " +
                (r == 0 ? "NULL" : std::to_string(r)) + ")";
    create.push_back(insert);
    window.tables.push_back(name);
    window.selected.push_back(t);
  }
  MySqlExecute(source.Connection(), {"SET FOREIGN_KEY_CHECKS = 0"});
  MySqlExecute(source.Connection(), create);
  MySqlExecute(source.Connection(), {"SET FOREIGN_KEY_CHECKS = 1"});

  Target target(servers);
  window.targetName = "bench_queries_" + std::to_string(std::rand() % 100000);
  PendingIndex pending;
  StopSignal stop;
  ConversionContext context{window, source.Database(), target.Connection(), pending, stop,
                            std::chrono::milliseconds(0)};
  const std::uint64_t before = Questions(source.Connection());
  const RunSummary summary = ConvertDatabase(context);
  const std::uint64_t sent = Questions(source.Connection()) - before - 1;  // less the second SHOW
  target.DropDatabase(window.targetName);
  if (summary.outcome != RunOutcome::Completed || summary.tablesCompleted != tables)
    Fail("the run did not complete: " + (window.messages.empty() ? std::string() : window.messages.back()));

  // Per table: the field listing, six schema reads (columns, indexes, foreign keys, CHECK
  // constraints, triggers, TABLES), one per-column query, the count, the SELECT of the rows,
  // and one question about the values a foreign key references; three for the run (the
  // statistics' freshness, the snapshot's start and end).
  const double perTable = static_cast<double>(sent - 3) / tables;
  std::cout << "tables " << tables << ", rows " << rows << " each: " << sent
            << " statements from the product's connection" << std::endl;
  ResultRow("source queries per table", Fixed(perTable, 1), "<= 11 (each read once)",
            Met(perTable <= 11.0));
  return 0;
}

}  // namespace
}  // namespace morvane::bench

int main(int argc, char** argv) { return morvane::bench::Main(argc, argv); }
