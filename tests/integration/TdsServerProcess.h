#pragma once
// The TDS test server started directly by a test (MORVANE_TDS_SERVER), without a shell.

#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

extern "C" char** environ;

namespace morvane::test {

// Starts the server with `options` (they include "--port 0"), its standard error into the file
// `errorLog` when one is named; sets `pid` and returns the port from the server's first line,
// "listening on 127.0.0.1:<port>". Throws when it does not start.
inline unsigned StartTdsServerProcess(const std::vector<std::string>& options,
                                      const std::string& errorLog, pid_t& pid) {
  int out[2];
  if (pipe(out) != 0) throw std::runtime_error("pipe failed");
  std::vector<std::string> args = {MORVANE_TDS_SERVER};
  args.insert(args.end(), options.begin(), options.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  if (!errorLog.empty()) {
    posix_spawn_file_actions_addopen(&actions, 2, errorLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
  }
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (spawned != 0) {
    close(out[0]);
    throw std::runtime_error("cannot start the TDS test server");
  }
  std::string text;
  char buffer[256];
  while (text.find('\n') == std::string::npos) {
    const ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  close(out[0]);
  const auto colon = text.rfind(':');
  if (text.rfind("listening on 127.0.0.1:", 0) != 0 || colon == std::string::npos) {
    throw std::runtime_error("the TDS test server did not start: " + text);
  }
  return static_cast<unsigned>(std::stoul(text.substr(colon + 1)));
}

}  // namespace morvane::test
