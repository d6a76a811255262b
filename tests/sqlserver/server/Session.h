#pragma once
// One connection's view of the server: its current database, its SET options, the table with
// IDENTITY_INSERT ON, and the running of its batches against the shared catalogue.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/sqlserver/server/Catalogue.h"
#include "tests/sqlserver/server/Convert.h"
#include "tests/sqlserver/server/Expressions.h"
#include "tests/sqlserver/server/SqlError.h"
#include "tests/sqlserver/server/Statements.h"
#include "tests/sqlserver/server/Tokens.h"

namespace morvane::tds {

constexpr const char* kServerName = "MORVANE-TDS";

struct SessionOptions {
  bool noCount = false;
  bool quotedIdentifiers = true;
  bool ansiNullDefaultOn = true;  // what ODBC drivers and tedious ask for
  DateSettings dates;
  std::string language = "us_english";
};

// A relation a SELECT reads: a user table or one of the system views.
struct Relation {
  std::vector<ResultColumn> columns;
  std::vector<Row> owned;
  const std::vector<Row>* table = nullptr;  // a user table's rows, else `owned`

  const std::vector<Row>& Rows() const { return table ? *table : owned; }
};

class Session {
 public:
  Session(Catalogue& catalogue, std::uint16_t spid, std::uint32_t tdsVersion, std::string login);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Makes `database` current (at login); error 4060 when it does not exist.
  std::optional<SqlError> Enter(const std::string& database);
  const std::string& CurrentDatabase() const { return database_; }

  // Runs a batch; returns the reply's tokens. Writes ENVCHANGE/INFO for USE and SET LANGUAGE.
  // In a procedure (sp_executesql) statements end with DONEINPROC, the call with DONEPROC.
  // `handle`: the output parameter of sp_prepexec, sent back as RETURNVALUE.
  struct OutputHandle {
    std::string name;
    std::int32_t value = 0;
  };
  Bytes RunBatch(const std::string& sql, bool inProcedure = false,
                 std::optional<OutputHandle> handle = std::nullopt);

 private:
  struct Outcome {
    bool count = false;
    std::uint64_t rows = 0;
    std::uint16_t command = 0;
  };

  Outcome Run(const Statement& statement, TokenWriter& out);
  Outcome Use(const UseStatement& s, TokenWriter& out);
  Outcome CreateDb(const CreateDatabase& s);
  Outcome DropDb(const DropDatabase& s);
  Outcome MakeTable(const CreateTable& s);
  Outcome RemoveTables(const DropTable& s);
  Outcome MakeIndex(const CreateIndex& s);
  Outcome Set(const SetOption& s, TokenWriter& out);
  Outcome IdentityInsert(const SetIdentityInsert& s);
  Outcome InsertRows(const Insert& s);
  Outcome Query(const Select& s, TokenWriter* out, bool* any);
  Outcome Exec(const Execute& s, TokenWriter& out);
  Outcome If(const IfStatement& s, TokenWriter& out);
  Outcome Alter(const AlterTable& s);
  Outcome AddKey(Database& db, Table& t, const KeyConstraint& k);
  Outcome DeleteRows(const Delete& s);
  // A DEFAULT of a column: the constraint with its name and the text SQL Server stores.
  DefaultConstraint MakeDefault(Database& db, const Table& t, const Column& c, const std::string& name,
                                const Expression& value);
  // The value a column's DEFAULT gives to a new row (NULL without one).
  Value DefaultOf(const Column& c, const std::string& qualifiedTable);
  // 547 unless every new row of `t` finds its parent row of each FOREIGN KEY.
  void CheckParents(Database& db, const Table& t, const std::vector<Row>& newRows, const char* statement);

  // The database a name refers to (its own part or the current one), and the table in it.
  Database& DatabaseOf(const ObjectName& name);
  Table* FindTable(const ObjectName& name, Database** db = nullptr);
  Relation Resolve(const ObjectName& name);
  Literal Evaluate(const Expression& e);
  // What an expression sees in this session; the session's own functions and @@variables.
  Scope ExpressionScope();
  std::optional<Literal> SessionValue(const Expression& e);
  // CHECK constraints and computed columns (Checks.cpp).
  CheckConstraint MakeCheck(Database& db, const Table& t, const CheckDefinition& d, int parentColumn);
  void ResolveComputed(Table& t);
  void ComputeColumns(const Table& t, Row& row);
  void CheckRow(const Database& db, const Table& t, const Row& row, const char* statement);
  Outcome AddCheck(Database& db, Table& t, const CheckDefinition& d, bool noCheck);
  std::string QualifiedName(const Database& db, const Table& t) const;

  Catalogue& catalogue_;
  std::uint16_t spid_;
  std::uint32_t tdsVersion_;
  std::string login_;
  std::string database_;
  SessionOptions options_;
  std::optional<std::pair<std::string, std::string>> identityInsert_;  // database, table
  std::optional<std::int64_t> lastIdentity_;
  std::vector<SqlMessage> warnings_;  // INFO messages of the running statement
};

}  // namespace morvane::tds
