// Benchmark 1: rows per second of the row copy with the pause set to 0, against the floor that
// one statement per row allows: the same INSERT statements, built in advance, sent by a plain
// loop through the same FreeTDS ODBC driver (SQLExecDirectW on one reused statement handle of a
// second connection, results drained with SQLMoreResults).
//
// The machine is shared and its speed drifts within seconds, so the two run interleaved: after
// every 1 000 rows of the copy, the window's status call sends the next 1 000 statements of the
// loop (into a database of its own) and times them; the copy's time is its whole time less the
// loop's. Each round is one copy of the whole table with the whole loop inside it; the figure is
// the median of the rounds' ratios. An untimed warm-up of the server comes first.
//   bench-engine-throughput [--rows N] [--rounds R] [--chunk C]
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "bench/BenchSupport.h"
#include "engine/RowCopy.h"

using namespace morvane;
using namespace morvane::bench;

namespace {

// Runs the plain loop a chunk at a time from the copy's status calls.
class InterleavingWindow : public CountingWindow {
 public:
  InterleavingWindow(PlainOdbc& odbc, const std::vector<std::u16string>& statements,
                     std::uint64_t chunk)
      : odbc_(odbc), statements_(statements), chunk_(chunk) {}

  void SetStatusText(const std::string& text) override {
    CountingWindow::SetStatusText(text);
    if (statusTexts % chunk_ == 0) RunLoop(static_cast<std::size_t>(statusTexts));
  }

  // The rest of the loop, after the copy's last row.
  void Finish() { RunLoop(statements_.size()); }

  double loopSeconds = 0;
  std::size_t refused = 0;

 private:
  void RunLoop(std::size_t until) {
    const auto start = std::chrono::steady_clock::now();
    for (; next_ < until && next_ < statements_.size(); ++next_) {
      if (!odbc_.Execute(statements_[next_]) && refused++ == 0) error = odbc_.LastError();
    }
    loopSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }

 public:
  std::string error;

 private:
  PlainOdbc& odbc_;
  const std::vector<std::u16string>& statements_;
  std::uint64_t chunk_;
  std::size_t next_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t rows = 100000;
  std::uint64_t chunk = 1000;
  int rounds = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--rows") == 0) rows = std::strtoull(argv[i + 1], nullptr, 10);
    if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--chunk") == 0) chunk = std::max<std::uint64_t>(1, std::strtoull(argv[i + 1], nullptr, 10));
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
    const std::string loopDatabase = "floor_" + std::to_string(round);
    const std::string engineDatabase = "engine_" + std::to_string(round);
    target.CreateDatabase(loopDatabase);
    target.CreateTable(source.Database(), table);
    target.CreateDatabase(engineDatabase);  // TargetDatabase from here on
    target.CreateTable(source.Database(), table);
    double engineSeconds = 0, loopSeconds = 0;
    {
      PlainOdbc odbc(servers, loopDatabase);
      InterleavingWindow window(odbc, statements, chunk);
      CopyResult result;
      const double total = Seconds([&] {
        result = CopyTableRows(source.Database(), target.Connection(), window, table,
                               {std::chrono::milliseconds(0), nullptr});
      });
      engineSeconds = total - window.loopSeconds;
      window.Finish();
      loopSeconds = window.loopSeconds;
      if (result.outcome != CopyOutcome::Completed || result.rowsCopied != rows || window.messages != 0) {
        Fail("the copy did not complete: " + std::to_string(result.rowsCopied) + " rows, " +
             std::to_string(window.messages) + " message(s): " + window.firstMessage);
      }
      if (window.refused != 0) Fail(std::to_string(window.refused) + " plain loop statements refused: " + window.error);
    }
    target.DropDatabase(engineDatabase);
    target.DropDatabase(loopDatabase);
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
                " rows/s: ratio " + Fixed(ratio, 3) + " (median of " + std::to_string(rounds) +
                " rounds)",
            ">= 0.95 of the loop", Met(ratio >= 0.95));
  return 0;
}
