// Benchmark 8: the full pace against plain ODBC loops, over loopback and through a relay that
// delays the SQL Server link by 1 ms in each direction.
//   bench-full-speed [--rows 50000] [--per-row-sample 3000] [--delay-us 1000]
// For each link: the product's copy at the full pace (CopyTableRows, Pace::Full) of the ten-column
// benchmark table; the statements it sent, replayed by a plain loop on one ODBC connection (the
// same driver, one statement handle); and the gentle pace's statements (one INSERT per row, no
// pause) sent by the same plain loop. Each goes into a fresh target database. The figures are
// rows per second of each and their ratios. The per-row loop over the delayed link runs over the
// first `per-row-sample` rows only (each of its rows costs at least two delays).

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "engine/RowCopy.h"
#include "target/Utf16.h"
#include "tests/integration/StopRelay.h"

namespace morvane::bench {
namespace {

constexpr const char* kDatabase = "bench_full_speed";
constexpr const char* kTable = "t";

// Passes every statement on and keeps a copy of the INSERTs, as the driver gets them.
class Recording : public TargetDatabaseObject {
 public:
  explicit Recording(std::shared_ptr<TargetDatabaseObject> inner) : inner_(std::move(inner)) {}
  void ExecuteWithResults(const std::string& command, std::int32_t length) override {
    inner_->ExecuteWithResults(command, length);
    if (command.rfind("INSERT", 0) == 0) statements.push_back(Utf8ToUtf16(command).value_or(u""));
  }
  std::vector<std::u16string> statements;

 private:
  std::shared_ptr<TargetDatabaseObject> inner_;
};

int database = 0;
std::string NextDatabase() { return "full_speed_" + std::to_string(++database); }

// Rows per second of the product at the full pace; the statements it sent in `sent`.
double ProductRate(const Servers& servers, std::uint64_t rows, std::vector<std::u16string>& sent) {
  Source source(servers, kDatabase);
  Target target(servers);
  const std::string name = NextDatabase();
  target.CreateDatabase(name);
  target.CreateTable(source.Database(), kTable);
  auto recording = std::make_shared<Recording>(target.Connection().TargetDatabase.Get());
  target.Connection().TargetDatabase = recording;
  CountingWindow window;
  CopyResult result;
  CopyOptions options{std::chrono::milliseconds(50), nullptr};
  options.pace = Pace::Full;
  const double seconds = Seconds([&] {
    result = CopyTableRows(source.Database(), target.Connection(), window, kTable, options);
  });
  if (result.outcome != CopyOutcome::Completed || result.rowsCopied != rows || window.messages != 0)
    Fail("the full-speed copy did not complete: " + window.firstMessage);
  sent = std::move(recording->statements);
  target.DropDatabase(name);
  std::cout << "  product, full pace: " << rows << " rows in " << Fixed(seconds, 2) << " s, "
            << sent.size() << " INSERT statements, " << window.statusTexts << " status texts" << std::endl;
  return static_cast<double>(rows) / seconds;
}

// Rows per second of a plain loop sending `statements` (carrying `rows` rows) into a fresh
// database with the benchmark table.
double LoopRate(const Servers& servers, const std::vector<std::u16string>& statements,
                std::uint64_t rows, const std::string& what) {
  Source source(servers, kDatabase);
  Target target(servers);
  const std::string name = NextDatabase();
  target.CreateDatabase(name);
  target.CreateTable(source.Database(), kTable);
  double seconds = 0;
  {
    PlainOdbc loop(servers, name);
    seconds = Seconds([&] {
      for (const auto& s : statements) {
        if (!loop.Execute(s)) Fail(what + ": the server refused a statement: " + loop.LastError());
      }
    });
  }
  target.DropDatabase(name);
  std::cout << "  plain loop, " << what << ": " << rows << " rows in " << Fixed(seconds, 2) << " s, "
            << statements.size() << " statements" << std::endl;
  return static_cast<double>(rows) / seconds;
}

struct Link {
  const char* name;
  std::chrono::microseconds delay;
  double perRowGoal;
};

}  // namespace
}  // namespace morvane::bench

int main(int argc, char** argv) {
  using namespace morvane::bench;
  std::uint64_t rows = 50000, sample = 3000;
  long delayUs = 1000;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--rows") == 0) rows = std::strtoull(argv[i + 1], nullptr, 10);
    if (std::strcmp(argv[i], "--per-row-sample") == 0) sample = std::strtoull(argv[i + 1], nullptr, 10);
    if (std::strcmp(argv[i], "--delay-us") == 0) delayUs = std::strtol(argv[i + 1], nullptr, 10);
  }
  const Servers servers = ServersFromEnvironment();
  std::vector<std::u16string> perRow;
  {
    Source source(servers, kDatabase);
    CreateSourceTable(source.Connection(), kDatabase, kTable, rows);
    perRow = InsertStatements(source.Database(), kTable);
  }
  const Link links[] = {{"loopback", std::chrono::microseconds(0), 5},
                        {"relay adding 1 ms each way", std::chrono::microseconds(delayUs), 20}};
  for (const Link& link : links) {
    std::cout << link.name << ":" << std::endl;
    Servers through = servers;
    std::optional<morvane::test::StopRelay> relay;
    if (link.delay.count() > 0) {
      relay.emplace(servers.sqlHost, servers.sqlPort);
      relay->DelayEachWay(link.delay);
      through.sqlHost = "127.0.0.1";
      through.sqlPort = relay->Port();
    }
    std::vector<std::u16string> multiRow;
    const double product = ProductRate(through, rows, multiRow);
    const double loop = LoopRate(through, multiRow, rows, "the product's multi-row statements");
    const std::uint64_t perRowRows = link.delay.count() > 0 ? std::min<std::uint64_t>(sample, rows) : rows;
    const std::vector<std::u16string> perRowPart(perRow.begin(), perRow.begin() + static_cast<long>(perRowRows));
    const double single = LoopRate(through, perRowPart, perRowRows, "one INSERT per row");
    const double ratioLoop = product / loop;
    const double ratioRow = product / single;
    ResultRow(std::string("8. full pace against the plain loop of the same multi-row statements, ") +
                  link.name + " (" + std::to_string(rows) + " rows, 10 columns)",
              Fixed(product, 0) + " rows/s vs " + Fixed(loop, 0) + " rows/s: ratio " + Fixed(ratioLoop, 3),
              ">= 0.9", Met(ratioLoop >= 0.9));
    ResultRow(std::string("8. full pace against the plain loop of one INSERT per row, ") + link.name,
              Fixed(product, 0) + " rows/s vs " + Fixed(single, 0) + " rows/s (" +
                  std::to_string(perRowRows) + " rows): " + Fixed(ratioRow, 1) + " x",
              ">= " + Fixed(link.perRowGoal, 0) + " x", Met(ratioRow >= link.perRowGoal));
  }
  return 0;
}
