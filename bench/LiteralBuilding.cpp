// Benchmark 4: nanoseconds per cell for each literal form of the row copy (Google Benchmark).
// Each iteration appends one cell's literal to a statement buffer that is emptied every 64
// cells, as the copy reuses its statement; the cells of a form cycle through typical values.
// Besides Google Benchmark's own output, one result row per form for bench/run, with the CPU
// time per cell (and the wall time beside it).
#include <benchmark/benchmark.h>

#include <array>
#include <iostream>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "engine/RowCopy.h"

using namespace morvane;

namespace {

using namespace std::string_view_literals;

struct FormCase {
  const char* name;
  ColumnLiteral form;
  std::vector<Cell> cells;
};

const std::vector<FormCase>& Cases() {
  static const std::vector<FormCase> cases = {
      {"Bit", {LiteralForm::Bit}, {Cell("\x01"sv), Cell("\x00"sv)}},
      {"Integer", {LiteralForm::Integer},
       {Cell("123456"sv), Cell("-42"sv), Cell("9223372036854775807"sv), Cell("0"sv)}},
      {"BitValue", {LiteralForm::BitValue}, {Cell("\x0A\xA5"sv), Cell("\x00\x00\x00\x01"sv)}},
      {"Float", {LiteralForm::Float},
       {Cell("12345.67"sv), Cell("1.2345e-300"sv), Cell("42"sv), Cell("-0.5"sv)}},
      {"Decimal", ColumnLiteralOf("DECIMAL(38, 30)", 246),
       {Cell("12345.670000000000000000000000000000"sv), Cell("42.000000000000000000000000000000"sv),
        Cell("-0.500000000000000000000000000000"sv)}},
      {"Binary", {LiteralForm::Binary},
       {Cell("\x9f\x61\x40\x8e\x3a\xfa\x4b\x2c\x11\x00\xde\xad\xbe\xef\x01\x02"sv),
        Cell("\x00\x01\x02\x03"sv)}},
      {"DateTime", ColumnLiteralOf("DATETIME2(6)", 12),
       {Cell("2024-05-17 12:34:56.000000"sv), Cell("2021-01-01 00:00:00.250000"sv)}},
      {"Date", {LiteralForm::Date}, {Cell("1999-12-31"sv), Cell("2024-02-29"sv)}},
      {"Time", ColumnLiteralOf("TIME(0)", 11), {Cell("12:34:56"sv), Cell("00:00:01"sv)}},
      {"Text", {LiteralForm::Text},
       {Cell("customer 12345"sv), Cell("O'Brien"sv), Cell("Ελλάδα 12345"sv),
        Cell("a longer piece of text, forty-odd bytes"sv)}},
      {"NULL", {LiteralForm::Text}, {Cell()}},
  };
  return cases;
}

void LiteralOfForm(benchmark::State& state, const FormCase* c) {
  std::string out;
  out.reserve(4096);
  std::size_t i = 0;
  for (auto _ : state) {
    if ((i & 63) == 0) out.clear();
    AppendValueLiteral(out, c->cells[i % c->cells.size()], c->form);
    benchmark::DoNotOptimize(out.data());
    ++i;
  }
  benchmark::ClobberMemory();
  state.SetItemsProcessed(state.iterations());
}

// Keeps Google Benchmark's console output and the nanoseconds per cell of every form.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  CollectingReporter() : ConsoleReporter(OO_Tabular) {}  // no colours: bench/run keeps a log
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& run : runs) {
      if (run.error_occurred) continue;
      figures.push_back({run.benchmark_name(), run.GetAdjustedCPUTime(), run.GetAdjustedRealTime()});
    }
  }
  struct Figure {
    std::string name;
    double cpuNs, realNs;
  };
  std::vector<Figure> figures;
};

}  // namespace

int main(int argc, char** argv) {
  for (const auto& c : Cases()) {
    benchmark::RegisterBenchmark(("literal/" + std::string(c.name)).c_str(), LiteralOfForm, &c)
        ->Unit(benchmark::kNanosecond)
        ->MinTime(0.2);
  }
  benchmark::Initialize(&argc, argv);
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  // CPU time: on a shared machine the wall time also counts the time others had the core.
  for (const auto& f : reporter.figures) {
    const std::string form = f.name.substr(8, f.name.find('/', 8) - 8);  // after "literal/"
    bench::ResultRow("4. literal building, " + form,
                     bench::Fixed(f.cpuNs, 1) + " ns per cell (CPU; wall " +
                         bench::Fixed(f.realNs, 1) + ")",
                     "-", "-");
  }
  return 0;
}
