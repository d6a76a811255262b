// Start-up: the time from the program's start to its main window shown on the display, over
// several starts of the real program (build/app/morvane). The window counts as shown once the
// X server reports a viewable window with the main window's title.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchSupport.h"

extern "C" char** environ;

namespace {

const char* const Title = "Quilbrook Database Converter - MySQL to MS SQL";

struct CloseDisplay {
  void operator()(Display* d) const { XCloseDisplay(d); }
};

bool Shown(Display* display, Window window) {
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable) {
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name != nullptr) {
      const bool ours = std::strcmp(name, Title) == 0;
      XFree(name);
      if (ours) return true;
    }
  }
  Window root, parent, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, window, &root, &parent, &children, &count)) return false;
  bool found = false;
  for (unsigned i = 0; i < count && !found; ++i) found = Shown(display, children[i]);
  if (children != nullptr) XFree(children);
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  std::string program;
  int runs = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::string(argv[i]) == "--program") program = argv[i + 1];
    if (std::string(argv[i]) == "--runs") runs = std::stoi(argv[i + 1]);
  }
  std::unique_ptr<Display, CloseDisplay> display(XOpenDisplay(nullptr));
  if (program.empty() || !display) {
    std::cerr << "bench-startup --program PATH [--runs N]: needs the program and an X display\n";
    return 1;
  }
  std::vector<double> times;
  for (int run = 0; run <= runs; ++run) {  // run 0 warms the file cache and is not counted
    std::vector<char*> args{program.data(), nullptr};
    pid_t pid = 0;
    const auto start = std::chrono::steady_clock::now();
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, args.data(), environ) != 0) {
      std::cerr << "cannot start " << program << "\n";
      return 1;
    }
    bool shown = false;
    while (!shown && std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
      shown = Shown(display.get(), DefaultRootWindow(display.get()));
      if (!shown) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    if (!shown) {
      std::cerr << "the main window did not appear within 20 s\n";
      return 1;
    }
    std::cout << "start " << run << ": " << morvane::bench::Fixed(ms, 1) << " ms"
              << (run == 0 ? " (warm-up)" : "") << "\n";
    if (run > 0) times.push_back(ms);
  }
  const double median = morvane::bench::Median(times);
  morvane::bench::ResultRow("6. start-up to the main window shown (" + std::to_string(runs) +
                                " starts)",
                            morvane::bench::Fixed(median, 0) + " ms (median)", "< 1000 ms",
                            median < 1000 ? "yes" : "no");
  return 0;
}
