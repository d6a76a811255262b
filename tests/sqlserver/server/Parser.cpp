#include "tests/sqlserver/server/Parser.h"

#include <cctype>

#include "tests/sqlserver/server/Lexer.h"
#include "tests/sqlserver/server/SqlError.h"
#include "tests/sqlserver/server/Text.h"

namespace morvane::tds {
namespace {

class Parser {
 public:
  explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

  std::vector<Statement> Batch() {
    std::vector<Statement> out;
    while (true) {
      while (IsSymbol(";")) ++pos_;
      if (Peek().kind == TokenKind::End) break;
      out.push_back(ParseStatement());
    }
    return out;
  }

 private:
  const Token& Peek(std::size_t ahead = 0) const {
    return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
  }
  const Token& Next() {
    const Token& t = Peek();
    if (pos_ + 1 < tokens_.size()) ++pos_;
    return t;
  }
  bool IsWord(const char* upper, std::size_t ahead = 0) const {
    const Token& t = Peek(ahead);
    return t.kind == TokenKind::Word && UpperAscii(t.text) == upper;
  }
  bool IsSymbol(const char* symbol, std::size_t ahead = 0) const {
    const Token& t = Peek(ahead);
    return t.kind == TokenKind::Symbol && t.text == symbol;
  }
  bool AcceptWord(const char* upper) {
    if (!IsWord(upper)) return false;
    ++pos_;
    return true;
  }
  bool AcceptSymbol(const char* symbol) {
    if (!IsSymbol(symbol)) return false;
    ++pos_;
    return true;
  }

  [[noreturn]] void Fail() const {
    const Token& t = Peek();
    if (t.kind == TokenKind::End) {
      const Token& last = pos_ > 0 ? tokens_[pos_ - 1] : t;
      throw SyntaxError(last.written, IsKeyword(last), last.line);
    }
    throw SyntaxError(t.kind == TokenKind::String ? t.text : t.written, IsKeyword(t), t.line);
  }
  static bool IsKeyword(const Token& t) {
    return t.kind == TokenKind::Word && IsReservedKeyword(UpperAscii(t.text));
  }
  void ExpectWord(const char* upper) {
    if (!AcceptWord(upper)) Fail();
  }
  void ExpectSymbol(const char* symbol) {
    if (!AcceptSymbol(symbol)) Fail();
  }

  bool AtIdentifier() const {
    const Token& t = Peek();
    return t.kind == TokenKind::QuotedName ||
           (t.kind == TokenKind::Word && !IsReservedKeyword(UpperAscii(t.text)));
  }
  std::string Identifier() {
    if (!AtIdentifier()) Fail();
    const Token& t = Next();
    if (Utf16Length(t.text) > 128) {
      SqlError e(103, 15,
                 "The identifier that starts with '" + Utf16ToUtf8(Utf8ToUtf16(t.text).substr(0, 128)) +
                     "' is too long. Maximum length is 128.",
                 ErrorScope::Batch);
      e.SetLine(t.line);
      throw e;
    }
    return t.text;
  }

  ObjectName Name() {
    ObjectName n;
    std::size_t start = pos_;
    std::vector<std::string> parts{Identifier()};
    while (IsSymbol(".")) {
      ++pos_;
      if (IsSymbol(".")) {
        parts.emplace_back();
        continue;
      }
      parts.push_back(Identifier());
    }
    if (parts.size() > 3) throw NotModelled("four-part (linked server) names");
    n.name = parts.back();
    if (parts.size() >= 2) n.schema = parts[parts.size() - 2];
    if (parts.size() == 3) n.database = parts[0];
    for (std::size_t i = start; i < pos_; ++i) n.written += tokens_[i].written;
    return n;
  }

  Statement ParseStatement() {
    Statement st;
    st.line = Peek().line;
    const Token& t = Peek();
    std::string word = t.kind == TokenKind::Word ? UpperAscii(t.text) : "";
    if (word == "USE") {
      ++pos_;
      st.body = UseStatement{Identifier()};
    } else if (word == "CREATE") {
      ++pos_;
      st.body = Create();
    } else if (word == "DROP") {
      ++pos_;
      st.body = Drop();
    } else if (word == "SET") {
      ++pos_;
      st.body = Set();
    } else if (word == "INSERT") {
      ++pos_;
      st.body = ParseInsert();
    } else if (word == "SELECT") {
      st.body = ParseSelect();
    } else if (word == "IF") {
      ++pos_;
      st.body = If();
    } else if (word == "EXEC" || word == "EXECUTE") {
      ++pos_;
      st.body = Exec();
    } else if (word == "BEGIN" || word == "COMMIT" || word == "ROLLBACK" || word == "SAVE") {
      throw NotModelled("transactions (" + word + ")");
    } else if (word == "ALTER") {
      ++pos_;
      st.body = Alter();
    } else if (word == "DELETE") {
      ++pos_;
      Delete d;
      AcceptWord("FROM");
      d.table = Name();
      if (AcceptWord("WHERE")) {
        do d.where.push_back(ParseCondition());
        while (AcceptWord("AND"));
        if (IsWord("OR")) throw NotModelled("OR in WHERE");
      }
      st.body = d;
    } else if (word == "UPDATE" || word == "TRUNCATE" ||
               word == "MERGE" || word == "DECLARE" || word == "PRINT" || word == "WHILE") {
      throw NotModelled("the " + word + " statement");
    } else if (t.kind == TokenKind::Word && !IsReservedKeyword(word) && IsSymbol(";", 1) == false &&
               Peek(1).kind != TokenKind::Symbol && Peek(1).kind != TokenKind::End &&
               UpperAscii(t.text).rfind("SP_", 0) == 0) {
      // A procedure name at the start of a batch is an EXEC without the keyword.
      st.body = Exec();
    } else {
      Fail();
    }
    return st;
  }

  CreateDatabase DatabaseName() {
    CreateDatabase d;
    d.name = Identifier();
    return d;
  }

  Statement::Body
  Create() {
    if (AcceptWord("DATABASE")) {
      auto db = DatabaseName();
      if (AcceptWord("COLLATE")) db.collation = Identifier();
      if (!IsStatementEnd()) {
        if (IsWord("ON") || IsWord("COLLATE") || IsWord("WITH") || IsWord("CONTAINMENT")) {
          throw NotModelled("CREATE DATABASE options");
        }
        Fail();
      }
      return db;
    }
    if (AcceptWord("TABLE")) return Table();
    CreateIndex index;
    if (AcceptWord("UNIQUE")) index.unique = true;
    if (AcceptWord("CLUSTERED")) {
      index.clustered = true;
    } else {
      AcceptWord("NONCLUSTERED");
    }
    if (AcceptWord("INDEX")) {
      index.name = Identifier();
      ExpectWord("ON");
      index.table = Name();
      ExpectSymbol("(");
      do {
        index.columns.push_back(Identifier());
        bool desc = false;
        if (AcceptWord("DESC")) {
          desc = true;
        } else {
          AcceptWord("ASC");
        }
        index.descending.push_back(desc);
      } while (AcceptSymbol(","));
      ExpectSymbol(")");
      if (AcceptWord("WHERE")) {
        do {
          index.filterNotNull.push_back(Identifier());
          if (!IsWord("IS")) throw NotModelled("index filters other than [column] IS NOT NULL");
          ExpectWord("IS");
          if (!IsWord("NOT")) throw NotModelled("index filters other than [column] IS NOT NULL");
          ExpectWord("NOT");
          ExpectWord("NULL");
        } while (AcceptWord("AND"));
        if (IsWord("OR")) throw NotModelled("index filters with OR");
      }
      if (IsWord("INCLUDE") || IsWord("WITH") || IsWord("ON")) {
        throw NotModelled("CREATE INDEX options");
      }
      return index;
    }
    if (Peek().kind == TokenKind::Word && !index.unique && !index.clustered) {
      throw NotModelled("CREATE " + UpperAscii(Peek().text));
    }
    Fail();
  }

  bool IsStatementEnd() const {
    return Peek().kind == TokenKind::End || IsSymbol(";") || StartsStatement(Peek());
  }
  static bool StartsStatement(const Token& t) {
    if (t.kind != TokenKind::Word) return false;
    static const char* kStarts[] = {"USE", "CREATE", "DROP", "SET", "INSERT", "SELECT", "IF", "ALTER", "DELETE",
                                    "EXEC", "EXECUTE", "ELSE", "BEGIN", "COMMIT", "ROLLBACK"};
    std::string w = UpperAscii(t.text);
    for (const char* s : kStarts) {
      if (w == s) return true;
    }
    return false;
  }

  std::int64_t SmallNumber(bool allowSign = false) {
    bool negative = allowSign && AcceptSymbol("-");
    if (!negative && allowSign) AcceptSymbol("+");
    const Token& t = Peek();
    if (t.kind != TokenKind::Integer || t.text.size() > 18) Fail();
    ++pos_;
    std::int64_t v = std::stoll(t.text);
    return negative ? -v : v;
  }

  // A DEFAULT: a value (the column references in it are refused when the table is made).
  Expression DefaultValue() { return ParseExpression(); }

  std::string ReferentialAction() {
    if (AcceptWord("CASCADE")) return "CASCADE";
    if (AcceptWord("NO")) {
      ExpectWord("ACTION");
      return "NO_ACTION";
    }
    if (AcceptWord("SET")) {
      if (AcceptWord("NULL")) return "SET_NULL";
      ExpectWord("DEFAULT");
      return "SET_DEFAULT";
    }
    Fail();
  }

  std::vector<std::string> ColumnList() {
    std::vector<std::string> out;
    ExpectSymbol("(");
    do out.push_back(Identifier());
    while (AcceptSymbol(","));
    ExpectSymbol(")");
    return out;
  }

  AlterTable Alter() {
    if (!AcceptWord("TABLE")) {
      if (Peek().kind == TokenKind::Word) throw NotModelled("ALTER " + UpperAscii(Peek().text));
      Fail();
    }
    AlterTable a;
    a.table = Name();
    if (AcceptWord("WITH")) {
      if (AcceptWord("NOCHECK")) {
        a.noCheck = true;
      } else {
        ExpectWord("CHECK");
      }
    }
    if (!AcceptWord("ADD")) {
      if (Peek().kind == TokenKind::Word) throw NotModelled("ALTER TABLE ... " + UpperAscii(Peek().text));
      Fail();
    }
    std::string name;
    const std::size_t constraintStart = pos_;
    if (AcceptWord("CONSTRAINT")) name = Identifier();
    if (IsWord("CHECK")) {
      pos_ = constraintStart;
      a.check = Check();
      return a;
    }
    if (IsWord("PRIMARY") || IsWord("UNIQUE")) {
      pos_ = constraintStart;
      if (a.noCheck) Fail();
      a.key = TableConstraint();
      return a;
    }
    if (AcceptWord("FOREIGN")) {
      ExpectWord("KEY");
      ForeignKeyDefinition fk;
      fk.name = name;
      fk.columns = ColumnList();
      ExpectWord("REFERENCES");
      fk.referenced = Name();
      fk.referencedColumns = ColumnList();
      while (AcceptWord("ON")) {
        if (AcceptWord("DELETE")) {
          fk.onDelete = ReferentialAction();
        } else {
          ExpectWord("UPDATE");
          fk.onUpdate = ReferentialAction();
        }
      }
      if (IsWord("NOT")) throw NotModelled("NOT FOR REPLICATION");
      a.foreignKey = fk;
    } else if (AcceptWord("DEFAULT")) {
      if (a.noCheck) Fail();
      a.defaultName = name;
      a.defaultValue = DefaultValue();
      ExpectWord("FOR");
      a.defaultColumn = Identifier();
    } else if (Peek().kind == TokenKind::Word) {
      throw NotModelled("ALTER TABLE ... ADD " + UpperAscii(Peek().text));
    } else {
      Fail();
    }
    return a;
  }

  CreateTable Table() {
    CreateTable ct;
    ct.table = Name();
    ExpectSymbol("(");
    do {
      if (IsWord("CHECK") || (IsWord("CONSTRAINT") && IsWord("CHECK", 2))) {
        ct.checks.push_back(Check());
      } else if (IsWord("CONSTRAINT") || IsWord("PRIMARY") || IsWord("UNIQUE") || IsWord("FOREIGN") ||
          IsWord("CHECK") || IsWord("INDEX")) {
        ct.constraints.push_back(TableConstraint());
      } else {
        ct.columns.push_back(Column());
      }
    } while (AcceptSymbol(","));
    ExpectSymbol(")");
    if (IsWord("ON") || IsWord("WITH") || IsWord("TEXTIMAGE_ON")) {
      throw NotModelled("CREATE TABLE storage options");
    }
    return ct;
  }

  std::optional<bool> Clustering() {
    if (AcceptWord("CLUSTERED")) return true;
    if (AcceptWord("NONCLUSTERED")) return false;
    return std::nullopt;
  }

  // [CONSTRAINT name] CHECK (search condition)
  CheckDefinition Check() {
    CheckDefinition c;
    if (AcceptWord("CONSTRAINT")) c.name = Identifier();
    ExpectWord("CHECK");
    if (IsWord("NOT")) throw NotModelled("CHECK NOT FOR REPLICATION");
    ExpectSymbol("(");
    c.condition = SearchCondition();
    ExpectSymbol(")");
    return c;
  }

  KeyConstraint TableConstraint() {
    KeyConstraint k;
    if (AcceptWord("CONSTRAINT")) k.name = Identifier();
    if (AcceptWord("PRIMARY")) {
      ExpectWord("KEY");
      k.primaryKey = true;
    } else if (AcceptWord("UNIQUE")) {
    } else if (IsWord("FOREIGN") || IsWord("CHECK")) {
      throw NotModelled(UpperAscii(Peek().text) + " constraints");
    } else if (IsWord("INDEX")) {
      throw NotModelled("inline index definitions");
    } else {
      Fail();
    }
    k.clustered = Clustering();
    ExpectSymbol("(");
    do {
      k.columns.push_back(Identifier());
      if (!AcceptWord("ASC") && IsWord("DESC")) throw NotModelled("descending key columns");
    } while (AcceptSymbol(","));
    ExpectSymbol(")");
    if (IsWord("WITH") || IsWord("ON")) throw NotModelled("constraint storage options");
    return k;
  }

  ColumnDefinition Column() {
    ColumnDefinition c;
    c.name = Identifier();
    if (AcceptWord("AS")) return ComputedColumn(c);
    // The type: a word or a bracketed name.
    const Token& t = Peek();
    if (t.kind != TokenKind::Word && t.kind != TokenKind::QuotedName) Fail();
    if (t.kind == TokenKind::Word && IsReservedKeyword(UpperAscii(t.text)) &&
        UpperAscii(t.text) != "DOUBLE") {
      Fail();
    }
    ++pos_;
    c.typeName = t.text;
    if (UpperAscii(c.typeName) == "DOUBLE") {
      ExpectWord("PRECISION");
      c.typeName = "DOUBLE PRECISION";
    }
    if (AcceptSymbol("(")) {
      if (AcceptWord("MAX")) {
        c.typeMax = true;
      } else {
        c.typeArguments.push_back(SmallNumber());
        if (AcceptSymbol(",")) c.typeArguments.push_back(SmallNumber());
      }
      ExpectSymbol(")");
    }
    while (true) {
      if (AcceptWord("COLLATE")) {
        if (!c.collation.empty()) Fail();
        c.collation = Identifier();
      } else if (AcceptWord("IDENTITY")) {
        c.identity = true;
        if (AcceptSymbol("(")) {
          c.seed = SmallNumber(true);
          ExpectSymbol(",");
          c.increment = SmallNumber(true);
          ExpectSymbol(")");
        }
      } else if (AcceptWord("NOT")) {
        ExpectWord("NULL");
        c.nullable = false;
      } else if (AcceptWord("NULL")) {
        c.nullable = true;
      } else if (AcceptWord("DEFAULT")) {
        if (c.defaultValue) Fail();
        c.defaultValue = DefaultValue();
      } else if (IsWord("CONSTRAINT") && IsWord("DEFAULT", 2)) {
        ++pos_;
        c.defaultName = Identifier();
        ExpectWord("DEFAULT");
        if (c.defaultValue) Fail();
        c.defaultValue = DefaultValue();
      } else if (!ColumnConstraint(c)) {
        if (IsWord("REFERENCES") || IsWord("FOREIGN") || IsWord("ROWGUIDCOL") || IsWord("SPARSE")) {
          throw NotModelled("the column option " + UpperAscii(Peek().text));
        }
        break;
      }
    }
    return c;
  }

  // c AS expression [PERSISTED [NOT NULL]] [[CONSTRAINT n] PRIMARY KEY | UNIQUE | CHECK (...)]
  ColumnDefinition ComputedColumn(ColumnDefinition& c) {
    c.computed = ParseExpression();
    if (AcceptWord("PERSISTED")) c.persisted = true;
    if (AcceptWord("NOT")) {
      ExpectWord("NULL");
      c.nullable = false;
    }
    while (ColumnConstraint(c)) continue;
    if (IsWord("REFERENCES") || IsWord("FOREIGN")) throw NotModelled("FOREIGN KEY constraints on computed columns");
    return c;
  }

  // A column's [CONSTRAINT n] CHECK (...) | PRIMARY KEY | UNIQUE; false when none follows.
  bool ColumnConstraint(ColumnDefinition& c) {
    if (IsWord("CHECK") || (IsWord("CONSTRAINT") && IsWord("CHECK", 2))) {
      c.checks.push_back(Check());
      return true;
    }
    if (!IsWord("CONSTRAINT") && !IsWord("PRIMARY") && !IsWord("UNIQUE")) return false;
    if (AcceptWord("CONSTRAINT")) c.constraintName = Identifier();
    if (AcceptWord("PRIMARY")) {
      ExpectWord("KEY");
      c.primaryKey = true;
    } else if (AcceptWord("UNIQUE")) {
      c.unique = true;
    } else if (IsWord("DEFAULT") || IsWord("REFERENCES") || IsWord("FOREIGN")) {
      throw NotModelled(UpperAscii(Peek().text) + " constraints");
    } else {
      Fail();
    }
    c.clustered = Clustering();
    return true;
  }

  Statement::Body
  Drop() {
    if (AcceptWord("DATABASE")) {
      DropDatabase d;
      if (IsWord("IF") && IsWord("EXISTS", 1)) throw NotModelled("DROP DATABASE IF EXISTS");
      do d.names.push_back(Identifier());
      while (AcceptSymbol(","));
      return d;
    }
    if (AcceptWord("TABLE")) {
      DropTable d;
      if (AcceptWord("IF")) {
        ExpectWord("EXISTS");
        d.ifExists = true;
      }
      do d.tables.push_back(Name());
      while (AcceptSymbol(","));
      return d;
    }
    if (Peek().kind == TokenKind::Word) throw NotModelled("DROP " + UpperAscii(Peek().text));
    Fail();
  }

  Statement::Body
  Set() {
    const Token& t = Peek();
    if (t.kind != TokenKind::Word) Fail();
    std::string option = UpperAscii(t.text);
    ++pos_;
    if (option == "IDENTITY_INSERT") {
      SetIdentityInsert s;
      s.table = Name();
      if (AcceptWord("ON")) {
        s.on = true;
      } else {
        ExpectWord("OFF");
      }
      return s;
    }
    SetOption s{option, ""};
    if (option == "TRANSACTION") {
      ExpectWord("ISOLATION");
      ExpectWord("LEVEL");
      std::string level;
      while (Peek().kind == TokenKind::Word && !StartsStatement(Peek())) {
        level += (level.empty() ? "" : " ") + UpperAscii(Next().text);
      }
      if (level != "READ COMMITTED" && level != "READ UNCOMMITTED" && level != "REPEATABLE READ" &&
          level != "SERIALIZABLE" && level != "SNAPSHOT") {
        Fail();
      }
      s.value = level;
      return s;
    }
    const Token& v = Peek();
    if (v.kind == TokenKind::End || (v.kind == TokenKind::Symbol && v.text != "-")) Fail();
    if (AcceptSymbol("-")) {
      s.value = "-" + Next().text;
    } else {
      s.value = v.kind == TokenKind::Word ? UpperAscii(v.text) : v.text;
      ++pos_;
    }
    // SET option1, option2 ON
    return s;
  }

  Insert ParseInsert() {
    Insert ins;
    AcceptWord("INTO");
    ins.table = Name();
    if (AcceptSymbol("(")) {
      ins.columnList = true;
      do ins.columns.push_back(Identifier());
      while (AcceptSymbol(","));
      ExpectSymbol(")");
    }
    if (IsWord("SELECT") || IsWord("DEFAULT") || IsWord("EXEC") || IsWord("OUTPUT")) {
      throw NotModelled("INSERT ... " + UpperAscii(Peek().text));
    }
    ExpectWord("VALUES");
    do {
      ExpectSymbol("(");
      std::vector<Expression> row;
      do row.push_back(ParseExpression());
      while (AcceptSymbol(","));
      ExpectSymbol(")");
      ins.rows.push_back(std::move(row));
    } while (AcceptSymbol(","));
    return ins;
  }

  Literal NumberLiteral(bool negative) {
    const Token& t = Next();
    Literal l;
    l.kind = t.kind == TokenKind::Integer  ? Literal::Kind::Integer
             : t.kind == TokenKind::Decimal ? Literal::Kind::Decimal
                                            : Literal::Kind::Float;
    l.text = (negative ? "-" : "") + t.text;
    if (l.kind != Literal::Kind::Float) {
      std::size_t digits = 0;
      bool leading = true;
      for (char c : t.text) {
        if (c == '.') continue;
        if (leading && c == '0') continue;
        leading = false;
        ++digits;
      }
      if (digits > 38) {
        SqlError e(1007, 15,
                   "The number '" + t.text +
                       "' is out of the range for numeric representation (maximum precision 38).",
                   ErrorScope::Batch);
        e.SetLine(t.line);
        throw e;
      }
    }
    return l;
  }

  // A value: an expression that is not a search condition (a condition here is a syntax error,
  // as SQL Server's parser gives it).
  Expression ParseExpression() {
    Expression e = Or();
    RequireValue(e);
    return e;
  }

  // A search condition (CHECK, CASE WHEN, IIF): 4145 for a value, near the token after it.
  Expression SearchCondition() {
    Expression e = Or();
    RequireCondition(e, pos_);
    return e;
  }

  [[noreturn]] void FailAt(std::size_t token) const {
    const Token& t = tokens_[std::min(token, tokens_.size() - 1)];
    throw SyntaxError(t.kind == TokenKind::String ? t.text : t.written, IsKeyword(t), t.line);
  }
  void RequireValue(const Expression& e) const {
    if (e.IsCondition()) FailAt(e.operatorToken);
  }
  void RequireCondition(const Expression& e, std::size_t after) const {
    if (e.IsCondition()) return;
    const Token& t = tokens_[std::min(after, tokens_.size() - 1)];
    SqlError error(4145, 15,
                   "An expression of non-boolean type specified in a context where a condition is "
                   "expected, near '" + (t.kind == TokenKind::End ? std::string(")") : t.written) + "'.",
                   ErrorScope::Batch);
    error.SetLine(t.line);
    throw error;
  }
  void Finish(Expression& e, std::size_t start) const {
    e.written.clear();
    for (std::size_t i = start; i < pos_ && i < tokens_.size(); ++i) {
      if (i > start && tokens_[i].kind != TokenKind::Symbol && tokens_[i - 1].kind != TokenKind::Symbol) {
        e.written += ' ';
      }
      e.written += tokens_[i].written;
    }
  }
  Expression Node(Expression::Kind kind, std::string name, std::vector<Expression> arguments,
                  std::size_t start, std::size_t op) {
    Expression e;
    e.kind = kind;
    e.name = std::move(name);
    e.arguments = std::move(arguments);
    e.operatorToken = op;
    Finish(e, start);
    return e;
  }

  // Conditions joined by OR (over those joined by AND, over NOT).
  Expression Or() { return Joined(Expression::Kind::Or, "OR", &Parser::And); }
  Expression And() { return Joined(Expression::Kind::And, "AND", &Parser::NotCondition); }

  Expression Joined(Expression::Kind kind, const char* word, Expression (Parser::*operand)()) {
    std::size_t start = pos_;
    Expression e = (this->*operand)();
    while (IsWord(word)) {
      RequireCondition(e, pos_);
      std::size_t op = pos_++;
      Expression right = (this->*operand)();
      RequireCondition(right, pos_);
      e = Node(kind, word, {std::move(e), std::move(right)}, start, op);
    }
    return e;
  }

  Expression NotCondition() {
    std::size_t start = pos_;
    if (IsWord("NOT")) {
      std::size_t op = pos_++;
      Expression inner = NotCondition();
      RequireCondition(inner, pos_);
      return Node(Expression::Kind::Not, "NOT", {std::move(inner)}, start, op);
    }
    return Predicate();
  }

  Expression Predicate() {
    std::size_t start = pos_;
    Expression left = Additive();
    const Token& t = Peek();
    std::size_t op = pos_;
    if (t.kind == TokenKind::Symbol &&
        (t.text == "=" || t.text == "<>" || t.text == "!=" || t.text == "<" || t.text == ">" ||
         t.text == "<=" || t.text == ">=")) {
      RequireValue(left);
      std::string name = t.text == "!=" ? "<>" : t.text;
      ++pos_;
      if (IsWord("ALL") || IsWord("ANY") || IsWord("SOME")) throw NotModelled("ALL, ANY and SOME");
      Expression right = Additive();
      RequireValue(right);
      return Node(Expression::Kind::Compare, name, {std::move(left), std::move(right)}, start, op);
    }
    if (AcceptWord("IS")) {
      RequireValue(left);
      bool negated = AcceptWord("NOT");
      ExpectWord("NULL");
      Expression e = Node(Expression::Kind::IsNull, "IS NULL", {std::move(left)}, start, op);
      e.negated = negated;
      return e;
    }
    bool negated = false;
    if (IsWord("NOT") && (IsWord("IN", 1) || IsWord("BETWEEN", 1) || IsWord("LIKE", 1))) {
      ++pos_;
      negated = true;
    }
    if (AcceptWord("IN")) {
      RequireValue(left);
      ExpectSymbol("(");
      if (IsWord("SELECT")) throw NotModelled("IN (SELECT ...)");
      std::vector<Expression> args{std::move(left)};
      do args.push_back(ParseExpression());
      while (AcceptSymbol(","));
      ExpectSymbol(")");
      Expression e = Node(Expression::Kind::In, "IN", std::move(args), start, op);
      e.negated = negated;
      return e;
    }
    if (AcceptWord("BETWEEN")) {
      RequireValue(left);
      Expression low = Additive();
      RequireValue(low);
      ExpectWord("AND");
      Expression high = Additive();
      RequireValue(high);
      Expression e = Node(Expression::Kind::Between, "BETWEEN", {std::move(left), std::move(low), std::move(high)},
                          start, op);
      e.negated = negated;
      return e;
    }
    if (AcceptWord("LIKE")) {
      RequireValue(left);
      std::vector<Expression> args{std::move(left), Additive()};
      RequireValue(args.back());
      if (AcceptWord("ESCAPE")) {
        args.push_back(Additive());
        RequireValue(args.back());
      }
      Expression e = Node(Expression::Kind::Like, "LIKE", std::move(args), start, op);
      e.negated = negated;
      return e;
    }
    if (negated) Fail();
    return left;
  }

  Expression Additive() {
    std::size_t start = pos_;
    Expression e = Multiplicative();
    while (IsSymbol("+") || IsSymbol("-")) {
      RequireValue(e);
      std::size_t op = pos_;
      std::string name = Next().text;
      Expression right = Multiplicative();
      RequireValue(right);
      e = Node(Expression::Kind::Arithmetic, name, {std::move(e), std::move(right)}, start, op);
    }
    if (IsSymbol("&") || IsSymbol("|") || IsSymbol("^")) throw NotModelled("bitwise operators");
    return e;
  }

  Expression Multiplicative() {
    std::size_t start = pos_;
    Expression e = Unary();
    while (IsSymbol("*") || IsSymbol("/") || IsSymbol("%")) {
      RequireValue(e);
      std::size_t op = pos_;
      std::string name = Next().text;
      Expression right = Unary();
      RequireValue(right);
      e = Node(Expression::Kind::Arithmetic, name, {std::move(e), std::move(right)}, start, op);
    }
    return e;
  }

  Expression Unary() {
    std::size_t start = pos_;
    const Token& t = Peek();
    if (t.kind == TokenKind::Symbol && (t.text == "-" || t.text == "+")) {
      bool negative = t.text == "-";
      std::size_t op = pos_++;
      const Token& n = Peek();
      if (n.kind == TokenKind::Integer || n.kind == TokenKind::Decimal || n.kind == TokenKind::Float) {
        Expression e;
        e.literal = NumberLiteral(negative);
        Finish(e, start);
        return e;
      }
      if (n.kind == TokenKind::End) Fail();
      Expression inner = Unary();
      RequireValue(inner);
      if (!negative) return inner;
      return Node(Expression::Kind::Negate, "-", {std::move(inner)}, start, op);
    }
    if (IsSymbol("~")) throw NotModelled("bitwise operators");
    return Primary();
  }

  // CAST's and CONVERT's type: a name with (n), (p, s) or (MAX).
  void TypeOf(Expression& e) {
    if (Peek().kind != TokenKind::Word && Peek().kind != TokenKind::QuotedName) Fail();
    e.name = UpperAscii(Next().text);
    if (e.name == "DOUBLE") {
      ExpectWord("PRECISION");
      e.name = "DOUBLE PRECISION";
    }
    if (AcceptSymbol("(")) {
      if (AcceptWord("MAX")) {
        e.castMax = true;
      } else {
        e.typeArguments.push_back(SmallNumber());
        if (AcceptSymbol(",")) e.typeArguments.push_back(SmallNumber());
        e.castLength = e.typeArguments.front();
      }
      ExpectSymbol(")");
    }
  }

  Expression CaseExpression(std::size_t start) {
    Expression e;
    e.kind = Expression::Kind::Case;
    if (!IsWord("WHEN")) {
      e.hasOperand = true;
      e.arguments.push_back(ParseExpression());
    }
    if (!IsWord("WHEN")) Fail();
    while (AcceptWord("WHEN")) {
      e.arguments.push_back(e.hasOperand ? ParseExpression() : SearchCondition());
      ExpectWord("THEN");
      e.arguments.push_back(ParseExpression());
    }
    if (AcceptWord("ELSE")) {
      e.hasElse = true;
      e.arguments.push_back(ParseExpression());
    }
    ExpectWord("END");
    Finish(e, start);
    return e;
  }

  Expression Primary() {
    std::size_t start = pos_;
    Expression e;
    const Token& t = Peek();
    if (AcceptSymbol("(")) {
      if (IsWord("SELECT")) throw NotModelled("subqueries");
      e = Or();
      ExpectSymbol(")");
      if (!e.IsCondition()) Finish(e, start);
      return e;
    }
    if (t.kind == TokenKind::Integer || t.kind == TokenKind::Decimal || t.kind == TokenKind::Float) {
      e.literal = NumberLiteral(false);
    } else if (t.kind == TokenKind::String) {
      e.literal.kind = Literal::Kind::String;
      e.literal.text = t.text;
      e.literal.unicode = t.unicode;
      ++pos_;
    } else if (t.kind == TokenKind::Binary) {
      e.literal.kind = Literal::Kind::Binary;
      std::string hex = t.text.size() % 2 ? "0" + t.text : t.text;
      for (std::size_t i = 0; i < hex.size(); i += 2) {
        e.literal.bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
      }
      ++pos_;
    } else if (IsWord("NULL")) {
      ++pos_;
    } else if (t.kind == TokenKind::Variable) {
      e.kind = Expression::Kind::Variable;
      e.name = t.text;
      ++pos_;
    } else if (AcceptWord("CASE")) {
      return CaseExpression(start);
    } else if (t.kind == TokenKind::Word && IsSymbol("(", 1)) {
      std::string fn = UpperAscii(t.text);
      pos_ += 2;
      if (fn == "COUNT") {
        if (!AcceptSymbol("*")) throw NotModelled("COUNT of an expression");
        ExpectSymbol(")");
        e.kind = Expression::Kind::CountStar;
      } else if (fn == "CAST") {
        e.kind = Expression::Kind::Cast;
        e.arguments.push_back(ParseExpression());
        ExpectWord("AS");
        TypeOf(e);
        ExpectSymbol(")");
      } else if (fn == "CONVERT" || fn == "TRY_CONVERT" || fn == "TRY_CAST") {
        if (fn != "CONVERT") throw NotModelled("the function " + fn);
        e.kind = Expression::Kind::Convert;
        TypeOf(e);
        ExpectSymbol(",");
        e.arguments.push_back(ParseExpression());
        if (AcceptSymbol(",")) e.arguments.push_back(ParseExpression());
        ExpectSymbol(")");
      } else {
        e.kind = Expression::Kind::Function;
        e.name = fn;
        if (!IsSymbol(")")) {
          do {
            // IIF's first argument is a search condition; the others are values.
            if (fn == "IIF" && e.arguments.empty()) e.arguments.push_back(SearchCondition());
            else e.arguments.push_back(ParseExpression());
          } while (AcceptSymbol(","));
        }
        ExpectSymbol(")");
      }
    } else if (IsWord("CURRENT_TIMESTAMP")) {
      // CURRENT_TIMESTAMP is GETDATE() (CURRENT_TIMESTAMP (Transact-SQL)).
      ++pos_;
      e.kind = Expression::Kind::Function;
      e.name = "GETDATE";
      e.written = "CURRENT_TIMESTAMP";
      return e;
    } else if (AtIdentifier()) {
      e.kind = Expression::Kind::Column;
      ObjectName n = Name();
      e.name = n.name;
    } else {
      if (IsWord("DEFAULT")) throw NotModelled("DEFAULT in expressions");
      Fail();
    }
    Finish(e, start);
    return e;
  }

  Select ParseSelect() {
    ExpectWord("SELECT");
    Select s;
    if (IsWord("DISTINCT") || IsWord("ALL")) throw NotModelled("SELECT DISTINCT");
    if (AcceptWord("TOP")) {
      bool paren = AcceptSymbol("(");
      s.top = SmallNumber();
      if (paren) ExpectSymbol(")");
      if (IsWord("PERCENT") || IsWord("WITH")) throw NotModelled("TOP PERCENT / WITH TIES");
    }
    do {
      SelectItem item;
      if (AcceptSymbol("*")) {
        item.star = true;
      } else {
        item.expression = ParseExpression();
        if (AcceptWord("AS")) {
          item.alias = AliasName();
        } else if (AtIdentifier() && !IsWord("FROM") && Peek().kind != TokenKind::End) {
          item.alias = AliasName();
        } else if (Peek().kind == TokenKind::String) {
          item.alias = Next().text;
        }
      }
      s.items.push_back(std::move(item));
    } while (AcceptSymbol(","));
    if (AcceptWord("INTO")) throw NotModelled("SELECT INTO");
    if (AcceptWord("FROM")) {
      s.from = Name();
      if (AcceptWord("AS") || (AtIdentifier() && !StartsStatement(Peek()))) {
        if (AtIdentifier()) Identifier();
        else Fail();
      }
      if (AcceptSymbol(",") || IsWord("JOIN") || IsWord("INNER") || IsWord("LEFT") ||
          IsWord("CROSS") || IsWord("RIGHT") || IsWord("FULL")) {
        throw NotModelled("joins");
      }
      if (IsWord("WITH")) throw NotModelled("table hints");
    }
    if (AcceptWord("WHERE")) {
      do s.where.push_back(ParseCondition());
      while (AcceptWord("AND"));
      if (IsWord("OR")) throw NotModelled("OR in WHERE");
    }
    if (IsWord("GROUP") || IsWord("HAVING") || IsWord("UNION") || IsWord("EXCEPT") ||
        IsWord("INTERSECT")) {
      throw NotModelled(UpperAscii(Peek().text) + " in SELECT");
    }
    if (AcceptWord("ORDER")) {
      ExpectWord("BY");
      do {
        OrderItem o;
        o.key = ParseExpression();
        if (AcceptWord("DESC")) {
          o.descending = true;
        } else {
          AcceptWord("ASC");
        }
        s.orderBy.push_back(std::move(o));
      } while (AcceptSymbol(","));
    }
    if (IsWord("OPTION") || IsWord("FOR") || IsWord("OFFSET")) {
      throw NotModelled(UpperAscii(Peek().text) + " in SELECT");
    }
    return s;
  }

  std::string AliasName() {
    if (Peek().kind == TokenKind::String) return Next().text;
    return Identifier();
  }

  Condition ParseCondition() {
    Condition c;
    if (IsWord("NOT") || IsSymbol("(")) throw NotModelled("NOT and parentheses in WHERE");
    c.left = Additive();
    RequireValue(c.left);
    if (AcceptWord("IS")) {
      c.op = AcceptWord("NOT") ? "IS NOT NULL" : "IS NULL";
      ExpectWord("NULL");
      return c;
    }
    const Token& t = Peek();
    if (t.kind == TokenKind::Symbol && (t.text == "=" || t.text == "<>" || t.text == "!=")) {
      c.op = t.text == "=" ? "=" : "<>";
      ++pos_;
    } else if (t.kind == TokenKind::Symbol && (t.text == "<" || t.text == ">" || t.text == "<=" ||
                                               t.text == ">=")) {
      throw NotModelled("ordering comparisons in WHERE");
    } else if (IsWord("LIKE") || IsWord("IN") || IsWord("BETWEEN") || IsWord("NOT")) {
      throw NotModelled(UpperAscii(t.text) + " in WHERE");
    } else {
      Fail();
    }
    c.right = Additive();
    RequireValue(c.right);
    return c;
  }

  IfStatement If() {
    IfStatement s;
    if (AcceptWord("NOT")) s.negate = true;
    if (!AcceptWord("EXISTS")) {
      if (Peek().kind == TokenKind::End) Fail();
      throw NotModelled("IF conditions other than [NOT] EXISTS (SELECT ...)");
    }
    ExpectSymbol("(");
    if (!IsWord("SELECT")) Fail();
    s.query = ParseSelect();
    ExpectSymbol(")");
    if (Peek().kind == TokenKind::End) Fail();
    if (IsWord("BEGIN")) throw NotModelled("BEGIN ... END blocks");
    s.then = std::make_shared<Statement>(ParseStatement());
    while (IsSymbol(";") && IsWord("ELSE", 1)) ++pos_;
    if (AcceptWord("ELSE")) {
      if (IsWord("BEGIN")) throw NotModelled("BEGIN ... END blocks");
      s.otherwise = std::make_shared<Statement>(ParseStatement());
    }
    return s;
  }

  Execute Exec() {
    Execute e;
    if (Peek().kind == TokenKind::Symbol && Peek().text == "(") throw NotModelled("EXEC of a string");
    ObjectName n = Name();
    e.procedure = n.name;
    if (!IsStatementEnd() || Peek().kind == TokenKind::String) {
      do {
        if (Peek().kind == TokenKind::Variable && IsSymbol("=", 1)) {
          throw NotModelled("named procedure parameters");
        }
        if (AtIdentifier()) {
          Expression arg;
          arg.literal.kind = Literal::Kind::String;
          arg.literal.unicode = true;
          ObjectName argName = Name();
          arg.literal.text = argName.schema.empty() ? argName.name : argName.schema + "." + argName.name;
          e.arguments.push_back(arg);
        } else {
          e.arguments.push_back(Primary());
        }
      } while (AcceptSymbol(","));
    }
    return e;
  }

  std::vector<Token> tokens_;
  std::size_t pos_ = 0;
};

}  // namespace

std::vector<Statement> ParseBatch(const std::string& batch, bool quotedIdentifiers) {
  return Parser(Tokenize(batch, quotedIdentifiers)).Batch();
}

}  // namespace morvane::tds
