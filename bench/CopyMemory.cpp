// Benchmark 3: peak resident size of a whole copy (pause 0) of 10 000, 200 000 and 1 000 000
// rows of the ten-column table, each copy in a child process of its own so that the figures are
// clean: ru_maxrss of the child from wait4. A copy of the empty table gives the fixed part
// (libraries, driver, connections). Inside each child the window samples the resident size
// every 10 000 rows, so that growth during the copy shows apart from the peak.
//   bench-copy-memory [--sizes 10000,200000,1000000] [--full-speed]   (the copies at the full pace)
//   bench-copy-memory --child ROWS FILE   (one copy, its samples written to FILE; run by the parent)
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include "bench/BenchSupport.h"
#include "engine/RowCopy.h"

extern char** environ;

using namespace morvane;
using namespace morvane::bench;

namespace {

const char* kDatabase = "bench_memory";

std::string TableOf(std::uint64_t rows) { return "rows_" + std::to_string(rows); }

// Resident size now, in KiB.
long ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

class SamplingWindow : public CountingWindow {
 public:
  void SetStatusText(const std::string& text) override {
    CountingWindow::SetStatusText(text);
    if (statusTexts == 1000) atRow1000 = ResidentKiB();
    if (statusTexts % 10000 == 0) highest = std::max(highest, ResidentKiB());
  }
  long atRow1000 = 0;
  long highest = 0;
};

struct Samples {
  long atRow1000 = 0, highest = 0, after = 0;
};

// --full-speed, handed to the children through the environment.
bool FullSpeed() { return std::getenv("MORVANE_BENCH_FULL_SPEED") != nullptr; }
std::string Label(std::uint64_t rows) {
  return std::string(FullSpeed() ? "9. at full speed: " : "3. ") + "peak resident size, copy of " +
         std::to_string(rows) + " rows";
}

int Child(std::uint64_t rows, const char* report) {
  const Servers servers = ServersFromEnvironment();
  Source source(servers, kDatabase);
  Target target(servers);
  const std::string table = TableOf(rows);
  const std::string database = "memory_" + std::to_string(rows);
  target.CreateDatabase(database);
  target.CreateTable(source.Database(), table);
  const long before = ResidentKiB();
  SamplingWindow window;
  CopyResult result;
  const double seconds = Seconds([&] {
    CopyOptions options{std::chrono::milliseconds(0), nullptr};
    if (FullSpeed()) options.pace = Pace::Full;
    result = CopyTableRows(source.Database(), target.Connection(), window, table, options);
  });
  const long after = ResidentKiB();
  if (result.outcome != CopyOutcome::Completed || result.rowsCopied != rows || window.messages != 0) {
    Fail("the copy did not complete: " + std::to_string(result.rowsCopied) + " rows, " +
         std::to_string(window.messages) + " message(s): " + window.firstMessage);
  }
  target.DropDatabase(database);
  std::cout << "copy of " << rows << " rows: " << Fixed(seconds, 1) << " s; resident " << before
            << " KiB before the copy, " << window.atRow1000 << " KiB at row 1000, highest sample "
            << window.highest << " KiB, " << after << " KiB after" << std::endl;
  std::ofstream(report) << window.atRow1000 << ' ' << window.highest << ' ' << after << '\n';
  return 0;
}

// Runs this program with --child ROWS FILE; the child's peak resident size in KiB.
long PeakOfChild(const char* self, std::uint64_t rows, Samples& samples) {
  std::string count = std::to_string(rows);
  std::string flag = "--child";
  std::string report = "/tmp/bench-copy-memory." + std::to_string(getpid()) + "." + count;
  char* args[] = {const_cast<char*>(self), flag.data(), count.data(), report.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, self, nullptr, nullptr, args, environ) != 0) Fail("cannot start a child");
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) Fail("wait4");
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) Fail("the copy of " + count + " rows failed");
  std::ifstream(report) >> samples.atRow1000 >> samples.highest >> samples.after;
  std::remove(report.c_str());
  return usage.ru_maxrss;  // KiB on Linux
}

std::string MiB(long kib) { return Fixed(static_cast<double>(kib) / 1024.0, 1) + " MiB"; }

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::uint64_t> sizes = {10000, 200000, 1000000};
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--full-speed") == 0) {
      setenv("MORVANE_BENCH_FULL_SPEED", "1", 1);  // for the children too
    } else if (std::strcmp(argv[i], "--child") == 0 && i + 2 < argc) {
      return Child(std::strtoull(argv[i + 1], nullptr, 10), argv[i + 2]);
    } else if (std::strcmp(argv[i], "--sizes") == 0 && i + 1 < argc) {
      sizes.clear();
      std::istringstream list(argv[++i]);
      for (std::string item; std::getline(list, item, ',');) sizes.push_back(std::stoull(item));
    }
  }
  if (sizes.empty()) Fail("no sizes");
  const Servers servers = ServersFromEnvironment();
  {
    Source source(servers, kDatabase);
    CreateSourceTable(source.Connection(), kDatabase, TableOf(0), 0);
    for (auto rows : sizes) CreateSourceTable(source.Connection(), kDatabase, TableOf(rows), rows);
  }

  Samples none;
  const long empty = PeakOfChild(argv[0], 0, none);
  std::vector<long> peaks;
  std::vector<Samples> samples(sizes.size());
  for (std::size_t i = 0; i < sizes.size(); ++i) peaks.push_back(PeakOfChild(argv[0], sizes[i], samples[i]));
  std::cout << "peak resident size of the copy of the empty table: " << MiB(empty) << std::endl;
  const long smallest = peaks.front();
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const double ratio = static_cast<double>(peaks[i]) / static_cast<double>(smallest);
    std::cout << "peak resident size, " << sizes[i] << " rows: " << peaks[i] << " KiB" << std::endl;
    if (i == 0) {
      ResultRow(Label(sizes[i]),
                MiB(peaks[i]) + " (empty table: " + MiB(empty) + ")", "-", "-");
    } else {
      ResultRow(Label(sizes[i]),
                MiB(peaks[i]) + " = " + Fixed(ratio, 3) + " x the " + std::to_string(sizes[0]) +
                    "-row copy" +
                    // The samples follow the status line, which the full pace writes by time.
                    (FullSpeed() ? std::string()
                                 : "; resident size from row 1 000 to the end: " +
                                       std::to_string(std::max(samples[i].highest, samples[i].after) -
                                                      samples[i].atRow1000) +
                                       " KiB more"),
                "<= 1.2 x the " + std::to_string(sizes[0]) + "-row copy", Met(ratio <= 1.2));
    }
  }
  return 0;
}
