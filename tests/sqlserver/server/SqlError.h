#pragma once
// An error or message as SQL Server reports it: number, class (severity), state and text.

#include <stdexcept>
#include <string>

namespace morvane::tds {

struct SqlMessage {
  int number = 0;
  int severity = 16;
  int state = 1;
  std::string text;
  int line = 1;
};

// What the end of a statement's run looks like after an error.
enum class ErrorScope {
  Statement,  // the statement fails, the batch goes on with the next one
  Batch,      // the rest of the batch is not run (conversion and compile errors)
};

class SqlError : public std::runtime_error {
 public:
  SqlError(int number, int severity, std::string text, ErrorScope scope = ErrorScope::Statement,
           int state = 1)
      : std::runtime_error(text), message_{number, severity, state, std::move(text), 1},
        scope_(scope) {}

  const SqlMessage& Message() const { return message_; }
  ErrorScope Scope() const { return scope_; }
  void SetLine(int line) { message_.line = line; }

 private:
  SqlMessage message_;
  ErrorScope scope_;
};

// Error 102, or 156 for a reserved keyword: what SQL Server answers to text it cannot parse.
SqlError SyntaxError(const std::string& near, bool keyword, int line);

// For what this server does not model: a clear refusal rather than a silent success.
SqlError NotModelled(const std::string& what);

}  // namespace morvane::tds
