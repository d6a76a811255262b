// Benchmark 1: rows per second of the row copy with the pause set to 0, against the floor that
// one statement per row allows: the same INSERT statements, built in advance, sent by a plain
// loop through the same FreeTDS ODBC driver (SQLExecDirectW on one reused statement handle,
// results drained with SQLMoreResults). Both run side by side in alternating rounds (after an untimed
// warm-up of the server), each into a fresh target database; the figure is the median of the rounds' ratios.
//   bench-engine-throughput [--rows N] [--rounds R]
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "bench/BenchSupport.h"
#include "engine/RowCopy.h"

using namespace morvane;
using namespace morvane::bench;

int main(int argc, char** argv) {
  std::uint64_t rows = 100000;
  int rounds = 4;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--rows") == 0) rows = std::strtoull(argv[i + 1], nullptr, 10);
    if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::atoi(argv[i + 1]);
  }
  const Servers servers = ServersFromEnvironment();
  const std::string table = "mixed";
  Source source(servers, "bench_throughput");
  CreateSourceTable(source.Connection(), "bench_throughput", table, rows);
  const std::vector<std::u16string> statements = InsertStatements(source.Database(), table);
  if (statements.size() != rows) Fail("the source table has " + std::to_string(statements.size()) + " rows");
  Target target(servers);

  // Untimed: the first statements a fresh server takes are slower (its memory, the caches).
  {
    target.CreateDatabase("warm_up");
    target.CreateTable(source.Database(), table);
    {
      PlainOdbc odbc(servers, "warm_up");
      for (std::size_t i = 0; i < statements.size() && i < 20000; ++i) odbc.Execute(statements[i]);
    }
    target.DropDatabase("warm_up");
  }

  std::vector<double> engineRates, loopRates, ratios;
  for (int round = 1; round <= rounds; ++round) {
    double engineSeconds = 0, loopSeconds = 0;
    auto runLoop = [&] {
      const std::string database = "floor_" + std::to_string(round);
      target.CreateDatabase(database);
      target.CreateTable(source.Database(), table);
      {
        PlainOdbc odbc(servers, database);
        std::size_t refused = 0;
        loopSeconds = Seconds([&] {
          for (const auto& statement : statements) if (!odbc.Execute(statement)) ++refused;
        });
        if (refused != 0) Fail(std::to_string(refused) + " plain loop statements refused: " + odbc.LastError());
      }
      target.DropDatabase(database);
    };
    auto runEngine = [&] {
      const std::string database = "engine_" + std::to_string(round);
      target.CreateDatabase(database);
      target.CreateTable(source.Database(), table);
      CountingWindow window;
      CopyResult result;
      engineSeconds = Seconds([&] {
        result = CopyTableRows(source.Database(), target.Connection(), window, table,
                               {std::chrono::milliseconds(0), nullptr});
      });
      if (result.outcome != CopyOutcome::Completed || result.rowsCopied != rows || window.messages != 0) {
        Fail("the copy did not complete: " + std::to_string(result.rowsCopied) + " rows, " +
             std::to_string(window.messages) + " message(s): " + window.firstMessage);
      }
      target.DropDatabase(database);
    };
    // Alternate which goes first, so that neither always meets a warmer or colder server.
    if (round % 2 == 1) { runLoop(); runEngine(); } else { runEngine(); runLoop(); }
    const double engineRate = static_cast<double>(rows) / engineSeconds;
    const double loopRate = static_cast<double>(rows) / loopSeconds;
    engineRates.push_back(engineRate);
    loopRates.push_back(loopRate);
    ratios.push_back(engineRate / loopRate);
    std::cout << "round " << round << ": engine " << Fixed(engineRate, 0) << " rows/s ("
              << Fixed(engineSeconds, 2) << " s), plain loop " << Fixed(loopRate, 0) << " rows/s ("
              << Fixed(loopSeconds, 2) << " s), ratio " << Fixed(engineRate / loopRate, 3) << std::endl;
  }
  const double ratio = Median(ratios);
  ResultRow("1. engine throughput, pause 0 (" + std::to_string(rows) + " rows, 10 columns)",
            Fixed(Median(engineRates), 0) + " rows/s vs plain loop " + Fixed(Median(loopRates), 0) +
                " rows/s: ratio " + Fixed(ratio, 3),
            ">= 0.9 of the loop", Met(ratio >= 0.9));
  return 0;
}
