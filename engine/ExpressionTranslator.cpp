#include "engine/ExpressionTranslator.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <utility>

#include "engine/SqlNames.h"
#include "source/AsciiText.h"

namespace morvane {
namespace {

// Thrown with the reason an expression is not translated; caught once, at the top.
struct Refusal {
  std::string why;
};
[[noreturn]] void Refuse(std::string why) { throw Refusal{std::move(why)}; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '$' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// ---------------------------------------------------------------------------------------------
// Reading the text

enum class Tok { Word, Quoted, Number, String, Punct, End };

struct Token {
  Tok kind = Tok::End;
  std::string text;  // the word, the name inside backticks, the number, the string's value
  std::size_t begin = 0, end = 0;
};

// MySQL 8 shows expressions with every quote escaped (_utf8mb4\'a\'): such a text is unescaped
// once. MariaDB's texts begin their first string with a plain quote.
std::string Unescaped(const std::string& text) {
  bool inName = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '`') inName = !inName;
    if (inName || text[i] != '\'') continue;
    if (i == 0 || text[i - 1] != '\\') return text;
    std::string out;
    for (std::size_t j = 0; j < text.size(); ++j) {
      if (text[j] == '\\' && j + 1 < text.size()) ++j;
      out += text[j];
    }
    return out;
  }
  return text;
}

std::vector<Token> Tokens(const std::string& text) {
  std::vector<Token> out;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
      continue;
    }
    Token t;
    t.begin = i;
    if (c == '`') {
      t.kind = Tok::Quoted;
      for (++i;; ++i) {
        if (i >= text.size()) Refuse("its text ends inside a quoted name");
        if (text[i] == '`') {
          if (i + 1 < text.size() && text[i + 1] == '`') {
            t.text += '`';
            ++i;
            continue;
          }
          ++i;
          break;
        }
        t.text += text[i];
      }
    } else if (c == '\'' || c == '"') {
      t.kind = Tok::String;
      for (++i;; ++i) {
        if (i >= text.size()) Refuse("its text ends inside a string");
        const char d = text[i];
        if (d == c) {
          if (i + 1 < text.size() && text[i + 1] == c) {
            t.text += c;
            ++i;
            continue;
          }
          ++i;
          break;
        }
        if (d == '\\' && i + 1 < text.size()) {
          const char e = text[++i];
          switch (e) {
            case 'n': t.text += '\n'; break;
            case 't': t.text += '\t'; break;
            case 'r': t.text += '\r'; break;
            case 'b': t.text += '\b'; break;
            case '0': t.text += '\0'; break;
            case 'Z': t.text += '\x1a'; break;
            case '%': t.text += "\\%"; break;  // kept for LIKE, as MySQL keeps it
            case '_': t.text += "\\_"; break;
            default: t.text += e;
          }
          continue;
        }
        t.text += d;
      }
    } else if (IsDigit(c) || (c == '.' && i + 1 < text.size() && IsDigit(text[i + 1]))) {
      t.kind = Tok::Number;
      if (c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'b'))
        Refuse("it holds a hexadecimal or bit literal, which MySQL reads as a number or as bytes "
               "depending on where it stands");
      while (i < text.size() && (IsDigit(text[i]) || text[i] == '.')) t.text += text[i++];
      if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        t.text += text[i++];
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) t.text += text[i++];
        while (i < text.size() && IsDigit(text[i])) t.text += text[i++];
      }
      if (t.text.front() == '.') t.text = "0" + t.text;
    } else if (IsWordChar(c)) {
      t.kind = Tok::Word;
      while (i < text.size() && IsWordChar(text[i])) t.text += text[i++];
      // A charset introducer (_utf8mb4'a'), a national string (N'a'), X'..' / B'..' literals.
      if (i < text.size() && text[i] == '\'') {
        const std::string word = AsciiLowerText(t.text);
        if (word == "x" || word == "b") Refuse("it holds a hexadecimal or bit literal");
        if (word == "_binary") Refuse("it holds a binary string (_binary), which SQL Server's text does not hold");
      }
    } else {
      t.kind = Tok::Punct;
      static const char* kLong[] = {"<=>", "->>", "<>", "!=", "<=", ">=", "&&", "||", "->", "<<", ">>"};
      for (const char* p : kLong) {
        if (text.compare(i, std::char_traits<char>::length(p), p) == 0) {
          t.text = p;
          break;
        }
      }
      if (t.text.empty()) t.text = std::string(1, c);
      i += t.text.size();
    }
    t.end = i;
    out.push_back(std::move(t));
  }
  Token end;
  end.begin = end.end = text.size();
  out.push_back(end);
  return out;
}

// ---------------------------------------------------------------------------------------------
// The expression tree

struct Node {
  enum class Kind { Null, Number, String, Bool, Temporal, Column, Unary, Binary, Call, Case, In,
                    Between, Like, Is, Interval, Cast, Json };
  Kind kind = Kind::Null;
  std::string op;    // operator, function name (lower case), IS's NULL/TRUE/FALSE, CAST's type
  std::string text;  // literal text or value, column name, interval unit, JSON path
  std::vector<Node> args;
  bool negated = false;      // NOT IN, NOT BETWEEN, NOT LIKE, IS NOT
  bool simpleCase = false;   // CASE x WHEN ...
  bool hasElse = false;
  std::string source;        // the text it was read from, for reasons
};

class Parser {
 public:
  explicit Parser(std::string text) : text_(std::move(text)), tokens_(Tokens(text_)) {}

  Node Whole() {
    Node n = Or();
    if (Peek().kind != Tok::End) Refuse("it holds \"" + Peek().text + "\" where it was not expected");
    return n;
  }

 private:
  const Token& Peek(std::size_t ahead = 0) const {
    return tokens_[std::min(at_ + ahead, tokens_.size() - 1)];
  }
  bool IsWord(const char* word, std::size_t ahead = 0) const {
    const Token& t = Peek(ahead);
    return t.kind == Tok::Word && AsciiLowerText(t.text) == word;
  }
  bool IsPunct(const char* p, std::size_t ahead = 0) const {
    const Token& t = Peek(ahead);
    return t.kind == Tok::Punct && t.text == p;
  }
  bool TakeWord(const char* word) {
    if (!IsWord(word)) return false;
    ++at_;
    return true;
  }
  bool TakePunct(const char* p) {
    if (!IsPunct(p)) return false;
    ++at_;
    return true;
  }
  void Expect(const char* p) {
    if (!TakePunct(p) && !TakeWord(p)) Refuse(std::string("\"") + p + "\" was expected near \"" + Peek().text + "\"");
  }
  Node Made(Node n, std::size_t firstToken) const {
    const std::size_t last = at_ == 0 ? 0 : at_ - 1;
    const std::size_t b = tokens_[firstToken].begin, e = tokens_[std::max(last, firstToken)].end;
    n.source = text_.substr(b, e > b ? e - b : 0);
    return n;
  }
  static Node Of(Node::Kind kind, std::string op, std::vector<Node> args) {
    Node n;
    n.kind = kind;
    n.op = std::move(op);
    n.args = std::move(args);
    return n;
  }

  // Nesting deeper than any catalogue text needs is refused before the stack runs out.
  struct Deeper {
    explicit Deeper(int& depth) : depth_(depth) {
      if (++depth_ > 200) Refuse("it nests deeper than 200 levels");
    }
    ~Deeper() { --depth_; }
    int& depth_;
  };

  Node Or() {
    const Deeper deeper(depth_);
    const std::size_t first = at_;
    Node n = Xor();
    while (TakeWord("or") || TakePunct("||")) n = Made(Of(Node::Kind::Binary, "or", {n, Xor()}), first);
    return n;
  }
  Node Xor() {
    const std::size_t first = at_;
    Node n = And();
    while (TakeWord("xor")) n = Made(Of(Node::Kind::Binary, "xor", {n, And()}), first);
    return n;
  }
  Node And() {
    const std::size_t first = at_;
    Node n = Not();
    while (TakeWord("and") || TakePunct("&&")) n = Made(Of(Node::Kind::Binary, "and", {n, Not()}), first);
    return n;
  }
  Node Not() {
    const std::size_t first = at_;
    if (TakeWord("not")) return Made(Of(Node::Kind::Unary, "not", {Not()}), first);
    return Predicate();
  }
  Node Predicate() {
    const std::size_t first = at_;
    Node n = Additive();
    for (;;) {
      static const char* kCompare[] = {"=", "<=>", "<>", "!=", "<", "<=", ">", ">="};
      bool compared = false;
      for (const char* op : kCompare) {
        if (TakePunct(op)) {
          n = Made(Of(Node::Kind::Binary, std::string(op) == "!=" ? "<>" : op, {n, Additive()}), first);
          compared = true;
          break;
        }
      }
      if (compared) continue;
      if (TakeWord("is")) {
        Node is = Of(Node::Kind::Is, "", {n});
        is.negated = TakeWord("not");
        if (TakeWord("null")) is.op = "null";
        else if (TakeWord("true")) is.op = "true";
        else if (TakeWord("false")) is.op = "false";
        else if (TakeWord("unknown")) is.op = "null";
        else Refuse("IS is followed by \"" + Peek().text + "\"");
        n = Made(is, first);
        continue;
      }
      const bool negated = IsWord("not") && (IsWord("in", 1) || IsWord("between", 1) || IsWord("like", 1) ||
                                             IsWord("regexp", 1) || IsWord("rlike", 1));
      if (negated) ++at_;
      if (TakeWord("in")) {
        Expect("(");
        Node in = Of(Node::Kind::In, "", {n});
        do in.args.push_back(Or());
        while (TakePunct(","));
        Expect(")");
        in.negated = negated;
        n = Made(in, first);
      } else if (TakeWord("between")) {
        Node low = Additive();
        Expect("and");
        Node between = Of(Node::Kind::Between, "", {n, low, Additive()});
        between.negated = negated;
        n = Made(between, first);
      } else if (TakeWord("like")) {
        Node like = Of(Node::Kind::Like, "", {n, Additive()});
        if (TakeWord("escape")) like.args.push_back(Additive());
        like.negated = negated;
        n = Made(like, first);
      } else if (IsWord("regexp") || IsWord("rlike")) {
        Refuse("it uses REGEXP, which T-SQL has no operator for");
      } else if (IsWord("sounds") || IsWord("member")) {
        Refuse("it uses " + Peek().text + ", which is not translated");
      } else {
        return n;
      }
    }
  }
  Node Additive() {
    const std::size_t first = at_;
    Node n = Multiplicative();
    for (;;) {
      std::string op;
      if (TakePunct("+")) op = "+";
      else if (TakePunct("-")) op = "-";
      else return n;
      if (op == "+" && n.kind == Node::Kind::Interval && n.args.size() == 1) {  // INTERVAL n unit + date
        Node date = Multiplicative();
        Node sum = Of(Node::Kind::Interval, "+", {date, n.args[0]});
        sum.text = n.text;
        n = Made(sum, first);
        continue;
      }
      if (IsWord("interval")) {
        Node interval = Interval();
        if (op == "-") interval.op = "-";
        n = Made(Of(Node::Kind::Interval, interval.op, {n, interval.args[0]}), first);
        n.text = interval.text;
        continue;
      }
      n = Made(Of(Node::Kind::Binary, op, {n, Multiplicative()}), first);
    }
  }
  // INTERVAL n unit: a node holding n, with the unit in `text`.
  Node Interval() {
    const std::size_t first = at_;
    Expect("interval");
    Node n = Of(Node::Kind::Interval, "+", {Unary()});
    if (Peek().kind != Tok::Word) Refuse("INTERVAL lacks its unit");
    n.text = AsciiLowerText(Peek().text);
    ++at_;
    return Made(n, first);
  }
  Node Multiplicative() {
    const std::size_t first = at_;
    Node n = Unary();
    for (;;) {
      std::string op;
      if (TakePunct("*")) op = "*";
      else if (TakePunct("/")) op = "/";
      else if (TakePunct("%") || TakeWord("mod")) op = "%";
      else if (TakeWord("div")) op = "div";
      else return n;
      n = Made(Of(Node::Kind::Binary, op, {n, Unary()}), first);
    }
  }
  Node Unary() {
    const Deeper deeper(depth_);
    const std::size_t first = at_;
    if (TakePunct("-")) {
      Node operand = Unary();
      if (operand.kind == Node::Kind::Number && operand.text.front() != '-') {
        operand.text = "-" + operand.text;
        return Made(operand, first);
      }
      return Made(Of(Node::Kind::Unary, "-", {operand}), first);
    }
    if (TakePunct("+")) return Unary();
    if (TakePunct("!")) return Made(Of(Node::Kind::Unary, "not", {Unary()}), first);
    if (IsPunct("~") || IsPunct("^") || IsPunct("&") || IsPunct("|") || IsPunct("<<") || IsPunct(">>"))
      Refuse("it uses the bit operator " + Peek().text + ", which is not translated");
    Node n = Primary();
    if (IsWord("collate")) Refuse("it names a collation (COLLATE), which is not translated");
    return n;
  }
  Node Primary() {
    const std::size_t first = at_;
    const Token t = Peek();
    if (TakePunct("(")) {
      Node n = Or();
      if (IsPunct(",")) Refuse("it holds a row of values, which T-SQL has no expression for");
      Expect(")");
      return n;
    }
    if (t.kind == Tok::Number) {
      ++at_;
      Node n;
      n.kind = Node::Kind::Number;
      n.text = t.text;
      return Made(n, first);
    }
    if (t.kind == Tok::String) {
      ++at_;
      Node n;
      n.kind = Node::Kind::String;
      n.text = t.text;
      while (Peek().kind == Tok::String) n.text += tokens_[at_++].text;  // 'a' 'b' is 'ab'
      return Made(n, first);
    }
    if (t.kind == Tok::Quoted) return Column(first);
    if (t.kind != Tok::Word) Refuse("it holds \"" + t.text + "\" where a value was expected");
    const std::string word = AsciiLowerText(t.text);
    if (word.front() == '_' && Peek(1).kind == Tok::String) {  // a charset introducer
      ++at_;
      return Primary();
    }
    if (word == "n" && Peek(1).kind == Tok::String) {
      ++at_;
      return Primary();
    }
    if (word == "null" || word == "true" || word == "false") {
      ++at_;
      Node n;
      n.kind = word == "null" ? Node::Kind::Null : Node::Kind::Bool;
      n.text = word == "true" ? "1" : "0";
      return Made(n, first);
    }
    if ((word == "date" || word == "timestamp" || word == "time") && Peek(1).kind == Tok::String) {
      at_ += 2;
      Node n;
      n.kind = Node::Kind::Temporal;
      n.op = word;
      n.text = tokens_[at_ - 1].text;
      return Made(n, first);
    }
    if (word == "interval") return Interval();
    if (word == "case") return Case(first);
    if (word == "current_timestamp" || word == "current_date" || word == "current_time" ||
        word == "localtime" || word == "localtimestamp" || word == "utc_timestamp" ||
        word == "utc_date" || word == "utc_time") {
      ++at_;
      Node n = Of(Node::Kind::Call, word, {});
      if (TakePunct("(")) {
        if (!IsPunct(")")) n.args.push_back(Or());
        Expect(")");
      }
      return Made(n, first);
    }
    if (IsPunct("(", 1)) {
      at_ += 2;
      Node n = Of(Node::Kind::Call, word, {});
      if (word == "cast" || word == "convert") {
        n.kind = Node::Kind::Cast;
        n.op.clear();
        n.args.push_back(Or());
        if (!TakeWord("as")) Refuse("it uses " + word + " with a form that is not translated");
        while (!IsPunct(")") && Peek().kind != Tok::End) n.op += AsciiLowerText(tokens_[at_++].text);
        Expect(")");
        return Made(n, first);
      }
      if (IsWord("leading") || IsWord("trailing") || IsWord("both"))
        Refuse("it uses " + word + "(" + Peek().text + " ...), which is not translated");
      if (!IsPunct(")")) {
        do {
          if (IsWord("interval")) n.args.push_back(Interval());
          else n.args.push_back(Or());
          if (IsWord("from") || IsWord("for") || IsWord("using"))
            Refuse("it uses " + word + "(... " + AsciiLowerText(Peek().text) + " ...), which is not translated");
        } while (TakePunct(","));
      }
      Expect(")");
      return Made(n, first);
    }
    return Column(first);
  }
  Node Column(std::size_t first) {
    Node n;
    n.kind = Node::Kind::Column;
    n.text = Peek().text;
    ++at_;
    if (IsPunct(".")) Refuse("it names a column of another table (" + n.text + ".)");
    n = Made(n, first);
    if (IsPunct("->>") || IsPunct("->")) {
      const bool unquote = Peek().text == "->>";
      ++at_;
      if (Peek().kind != Tok::String) Refuse("-> is followed by something other than a path");
      Node json = Of(Node::Kind::Json, unquote ? "unquote" : "extract", {n});
      json.text = tokens_[at_++].text;
      return Made(json, first);
    }
    return n;
  }
  Node Case(std::size_t first) {
    ++at_;
    Node n = Of(Node::Kind::Case, "", {});
    if (!IsWord("when")) {
      n.simpleCase = true;
      n.args.push_back(Or());
    }
    while (TakeWord("when")) {
      n.args.push_back(Or());
      Expect("then");
      n.args.push_back(Or());
    }
    if (TakeWord("else")) {
      n.hasElse = true;
      n.args.push_back(Or());
    }
    Expect("end");
    return Made(n, first);
  }

  std::string text_;
  std::vector<Token> tokens_;
  std::size_t at_ = 0;
  int depth_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Writing T-SQL

enum class Cat { Null, Int, Exact, Float, Text, Date, DateTime, Time, Binary, Predicate };

// One translated part: its T-SQL, and what T-SQL will take it for.
struct Value {
  std::string sql;
  Cat cat = Cat::Null;
  int precision = 0, scale = 0;   // Int (the T-SQL type's digits) and Exact
  long textLength = 0;            // Text: UTF-16 units at most; -1 for (MAX)
  std::string collation;          // Text: the MySQL collation it is compared under; empty for literals
  bool supplementaryAware = true; // Text: its T-SQL collation counts an emoji as one character
  bool enumLike = false;          // an ENUM or SET column (ordered by position in MySQL)
  bool isUnsigned = false;
  bool deterministic = true;
  bool literal = false;           // a constant written in the text
  int shownScale = -1;            // a division: the decimals MySQL shows and compares it with
  bool notNull = false;           // a NOT NULL column or a literal other than NULL
  std::string literalValue;       // a string literal's value
};

bool Numeric(Cat c) { return c == Cat::Int || c == Cat::Exact || c == Cat::Float; }

std::string Unicode(const std::string& value) {
  std::string out = "N'";
  for (char c : value) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

std::string Paren(const std::string& sql) { return "(" + sql + ")"; }

// The base name and the numbers in parentheses of a type text: DECIMAL(10,2) → DECIMAL, {10, 2}.
std::pair<std::string, std::vector<long>> TypeParts(const std::string& type) {
  std::string upper = type;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const auto open = upper.find('(');
  std::string base = upper.substr(0, open);
  while (!base.empty() && base.back() == ' ') base.pop_back();
  std::vector<long> numbers;
  if (open != std::string::npos) {
    long n = -1;
    for (std::size_t i = open + 1; i < upper.size(); ++i) {
      if (IsDigit(upper[i])) n = (n < 0 ? 0 : n * 10) + (upper[i] - '0');
      else if (upper[i] == ',' || upper[i] == ')') {
        numbers.push_back(n);  // -1 for MAX
        n = -1;
      }
    }
  }
  return {base, numbers};
}

int DigitsOf(const std::string& number) {
  int d = 0;
  for (char c : number) d += IsDigit(c) ? 1 : 0;
  return d;
}

// A text MySQL reads as this number exactly: [+-]digits[.digits].
bool PlainNumber(const std::string& s) {
  std::size_t i = (s.size() > 0 && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
  bool digits = false, dot = false;
  for (; i < s.size(); ++i) {
    if (IsDigit(s[i])) digits = true;
    else if (s[i] == '.' && !dot) dot = true;
    else return false;
  }
  return digits && s.back() != '.';
}

// yyyy-mm-dd, or with hh:mm:ss[.f]: a form both servers read alike.
bool DateForm(const std::string& s, bool& withTime) {
  const auto d = [&](std::size_t i) { return i < s.size() && IsDigit(s[i]); };
  if (s.size() < 10 || !d(0) || !d(1) || !d(2) || !d(3) || s[4] != '-' || !d(5) || !d(6) || s[7] != '-' ||
      !d(8) || !d(9))
    return false;
  const int month = (s[5] - '0') * 10 + (s[6] - '0'), day = (s[8] - '0') * 10 + (s[9] - '0');
  if (month < 1 || month > 12 || day < 1 || day > 31 || s.compare(0, 4, "0000") == 0) return false;
  withTime = s.size() > 10;
  if (!withTime) return true;
  if (s.size() < 19 || s[10] != ' ' || !d(11) || !d(12) || s[13] != ':' || !d(14) || !d(15) || s[16] != ':' ||
      !d(17) || !d(18))
    return false;
  if (s.size() == 19) return true;
  if (s[19] != '.' || s.size() == 20 || s.size() > 26) return false;
  for (std::size_t i = 20; i < s.size(); ++i) {
    if (!d(i)) return false;
  }
  return true;
}

// Whether comparisons under this MySQL collation give what Latin1_General_100_BIN2 gives.
bool BinaryPadSpace(const std::string& collation) {
  const std::string c = AsciiLowerText(collation);
  return c.size() > 4 && c.compare(c.size() - 4, 4, "_bin") == 0 && c.find("nopad") == std::string::npos &&
         c.find("0900") == std::string::npos;
}

const char* kSupplementaryCollation = "Latin1_General_100_CI_AS_SC";

class Translator {
 public:
  Translator(ExpressionUse use, const std::vector<ExpressionColumn>& columns) : use_(use) {
    for (const auto& c : columns) columns_.emplace(AsciiLowerText(c.name), &c);
  }

  std::string Top(const Node& n) {
    Value v = Of(n);
    deterministic_ = v.deterministic;
    if (use_ == ExpressionUse::Check) return Condition(v, n);
    v = AsValue(v);
    kind_ = KindOf(v.cat);
    if (v.cat == Cat::Null) return "NULL";
    return v.sql;
  }
  const std::string& Kind() const { return kind_; }
  bool Deterministic() const { return deterministic_; }

 private:
  // ---- conversions between truth values and values
  static Value AsValue(Value v) {
    if (v.cat != Cat::Predicate) return v;
    if (!v.deterministic) Refuse("it uses a truth value that changes from one reading to the next as a number");
    Value out;
    out.sql = "CASE WHEN " + v.sql + " THEN 1 WHEN NOT " + Paren(v.sql) + " THEN 0 END";
    out.cat = Cat::Int;
    out.precision = 10;
    out.deterministic = v.deterministic;
    return out;
  }
  std::string Condition(const Value& v, const Node& n) {
    Further(v, n);
    switch (v.cat) {
      case Cat::Predicate: return v.sql;
      case Cat::Int:
      case Cat::Exact:
      case Cat::Float: return Paren(v.sql + " <> 0");
      case Cat::Null: return "(1 = NULL)";
      default:
        Refuse("it uses " + Quote(n) + " as a truth value; MySQL reads " + What(v.cat) +
               " as a number there, SQL Server cannot");
    }
  }
  static std::string What(Cat c) {
    switch (c) {
      case Cat::Text: return "text";
      case Cat::Date: case Cat::DateTime: case Cat::Time: return "a date or time";
      case Cat::Binary: return "bytes";
      default: return "a number";
    }
  }
  static std::string Quote(const Node& n) { return "\"" + n.source + "\""; }
  static std::string KindOf(Cat c) {
    switch (c) {
      case Cat::Int: return "integer";
      case Cat::Exact: return "decimal";
      case Cat::Float: return "float";
      case Cat::Text: return "text";
      case Cat::Date: return "date";
      case Cat::DateTime: return "datetime";
      case Cat::Time: return "time";
      case Cat::Binary: return "bytes";
      default: return "null";
    }
  }

  // ---- the parts
  Value Of(const Node& n) {
    switch (n.kind) {
      case Node::Kind::Null: {
        Value v;
        v.sql = "NULL";
        v.literal = true;
        return v;
      }
      case Node::Kind::Bool: return Number(n.text);
      case Node::Kind::Number: return Number(n.text);
      case Node::Kind::String: {
        Value v;
        v.sql = Unicode(n.text);
        v.cat = Cat::Text;
        v.textLength = static_cast<long>(n.text.size());
        v.literal = true;
        v.literalValue = n.text;
        return v;
      }
      case Node::Kind::Temporal: return Temporal(n);
      case Node::Kind::Column: return ColumnValue(n);
      case Node::Kind::Unary: return UnaryOf(n);
      case Node::Kind::Binary: return BinaryOf(n);
      case Node::Kind::Call: return Call(n);
      case Node::Kind::Case: return CaseOf(n);
      case Node::Kind::In: return InOf(n);
      case Node::Kind::Between: return BetweenOf(n);
      case Node::Kind::Like: return LikeOf(n);
      case Node::Kind::Is: return IsOf(n);
      case Node::Kind::Interval: return IntervalOf(n);
      case Node::Kind::Cast: return CastOf(n);
      case Node::Kind::Json: return JsonOf(n, n.args[0], n.text, n.op == "unquote");
    }
    Refuse("it holds a construct that is not translated");
  }

  static Value Number(const std::string& text) {
    Value v;
    v.sql = text;
    v.literal = true;
    if (text.find_first_of("eE") != std::string::npos) {
      v.cat = Cat::Float;
      return v;
    }
    const auto dot = text.find('.');
    if (dot == std::string::npos) {
      v.cat = Cat::Int;
      const int digits = DigitsOf(text);
      const bool fitsInt = digits < 10 || (digits == 10 && text.substr(text.size() - 10) <= "2147483647");
      if (!fitsInt) {
        v.cat = Cat::Exact;
        if (digits > 38) Refuse("it holds the number " + text + ", longer than SQL Server's 38 digits");
      }
      v.precision = fitsInt ? 10 : digits;
      return v;
    }
    v.cat = Cat::Exact;
    v.scale = static_cast<int>(text.size() - dot - 1);
    v.precision = std::max(DigitsOf(text), v.scale + 1);
    if (v.precision > 38) Refuse("it holds the number " + text + ", longer than SQL Server's 38 digits");
    return v;
  }

  static Value Temporal(const Node& n) {
    bool withTime = false;
    if (n.op == "time" || !DateForm(n.text, withTime) || (n.op == "date" && withTime))
      Refuse("it holds the literal " + n.source + ", which is not translated");
    Value v;
    v.cat = n.op == "date" ? Cat::Date : Cat::DateTime;
    v.sql = "CAST(" + Unicode(n.text) + (n.op == "date" ? " AS DATE)" : " AS DATETIME2(6))");
    v.literal = true;
    return v;
  }

  Value ColumnValue(const Node& n) {
    if (use_ == ExpressionUse::Default)
      Refuse("it references column " + n.text + "; a DEFAULT on SQL Server cannot reference a column");
    auto it = columns_.find(AsciiLowerText(n.text));
    if (it == columns_.end()) Refuse("it references " + n.text + ", which is not a column of the table");
    const ExpressionColumn& c = *it->second;
    const auto [base, numbers] = TypeParts(c.targetType);
    const std::string mysql = AsciiLowerText(c.mysqlType);
    const std::string mysqlBase = mysql.substr(0, mysql.find_first_of("( "));
    Value v;
    v.sql = Bracketed(c.name);
    v.notNull = !c.nullable;
    v.isUnsigned = mysql.find("unsigned") != std::string::npos;
    const auto arg = [&](std::size_t i, long otherwise) { return i < numbers.size() ? numbers[i] : otherwise; };
    if (base == "TINYINT" || base == "SMALLINT" || base == "INT" || base == "BIGINT" || base == "BIT") {
      v.cat = Cat::Int;
      v.precision = base == "TINYINT" ? 3 : base == "SMALLINT" ? 5 : base == "INT" ? 10 : base == "BIGINT" ? 19 : 1;
    } else if (base == "DECIMAL" || base == "NUMERIC") {
      v.cat = Cat::Exact;
      v.precision = static_cast<int>(arg(0, 18));
      v.scale = static_cast<int>(arg(1, 0));
    } else if (base == "REAL" || base == "FLOAT") {
      v.cat = Cat::Float;
      if (base == "REAL") v.sql = "CAST(" + v.sql + " AS FLOAT)";
    } else if (base == "NCHAR" || base == "NVARCHAR" || base == "NTEXT") {
      v.cat = Cat::Text;
      v.textLength = base == "NTEXT" ? -1 : arg(0, 1);
      v.collation = c.collation;
      const std::string c2 = AsciiLowerText(c.collation);
      v.supplementaryAware = !(c2.size() > 4 && c2.compare(c2.size() - 4, 4, "_bin") == 0);
      // MySQL gives CHAR values without their trailing blanks; NCHAR keeps them.
      if (base == "NCHAR") v.sql = "RTRIM(" + v.sql + ")";
      v.enumLike = mysqlBase == "enum" || mysqlBase == "set";
    } else if (base == "DATE") {
      v.cat = Cat::Date;
    } else if (base == "DATETIME2" || base == "DATETIME") {
      v.cat = Cat::DateTime;
    } else if (base == "TIME") {
      v.cat = Cat::Time;
    } else if (base == "BINARY" || base == "VARBINARY") {
      v.cat = Cat::Binary;
    } else {
      Refuse("it references column " + c.name + ", which is " + c.targetType + " on SQL Server");
    }
    // The column must hold on SQL Server the kind of value it holds in MySQL.
    Cat mysqlCat = Cat::Null;
    static const char* kInts[] = {"tinyint", "smallint", "mediumint", "int", "integer", "bigint", "bit",
                                  "year", "bool", "boolean"};
    if (std::find(std::begin(kInts), std::end(kInts), mysqlBase) != std::end(kInts)) mysqlCat = Cat::Int;
    else if (mysqlBase == "decimal" || mysqlBase == "numeric" || mysqlBase == "dec" || mysqlBase == "fixed")
      mysqlCat = Cat::Exact;
    else if (mysqlBase == "float" || mysqlBase == "double" || mysqlBase == "real") mysqlCat = Cat::Float;
    else if (mysqlBase == "date") mysqlCat = Cat::Date;
    else if (mysqlBase == "datetime" || mysqlBase == "timestamp") mysqlCat = Cat::DateTime;
    else if (mysqlBase == "time") mysqlCat = Cat::Time;
    else if (mysqlBase.find("char") != std::string::npos || mysqlBase.find("text") != std::string::npos ||
             mysqlBase == "enum" || mysqlBase == "set" || mysqlBase == "json")
      mysqlCat = Cat::Text;
    else if (mysqlBase.find("binary") != std::string::npos || mysqlBase.find("blob") != std::string::npos)
      mysqlCat = Cat::Binary;
    const bool same = mysqlCat == v.cat || (mysqlCat == Cat::Int && v.cat == Cat::Exact && v.scale == 0);
    if (!same) {
      Refuse("it references column " + c.name + ", which is " + c.mysqlType + " in MySQL but " + c.targetType +
             " on SQL Server, where the expression would compute on other values");
    }
    if (mysqlCat == Cat::Int && v.cat == Cat::Exact) v.cat = Cat::Int;  // BIGINT UNSIGNED
    return v;
  }

  Value UnaryOf(const Node& n) {
    Value a = Of(n.args[0]);
    if (n.op == "not") {
      Value v;
      v.cat = Cat::Predicate;
      v.sql = "NOT " + Paren(Condition(a, n.args[0]));
      v.deterministic = a.deterministic;
      return v;
    }
    a = AsValue(a);
    Number(a, n.args[0], "-");
    Value v = a;
    v.literal = false;
    v.sql = a.cat == Cat::Int && (a.precision != 19 || a.literal) ? "(-CAST(" + a.sql + " AS BIGINT))" : "(-" + a.sql + ")";
    if (a.cat == Cat::Int) v.precision = 19;
    return v;
  }

  // A division's value may be stored or compared, not computed with further: MySQL computes on
  // with its hidden decimals under the shown scale (2/3*3 is 2.0000, 2/3 = 0.6667 is true).
  static void Further(const Value& v, const Node& n) {
    if (v.shownScale >= 0)
      Refuse("it computes further with the result of a division (" + n.source +
             "), which MySQL carries with more decimals than it shows; only a division compared or stored "
             "as it is is translated");
  }
  // Rounds a division to the decimals MySQL compares it with.
  static void Shown(Value& v) {
    if (v.shownScale < 0) return;
    if (v.precision + 1 > 38) Refuse("it compares a division whose value needs more than SQL Server's 38 digits");
    v.sql = "ROUND(CAST(" + v.sql + " AS DECIMAL(" + std::to_string(v.precision + 1) + ", " + std::to_string(v.scale) +
            ")), " + std::to_string(v.shownScale) + ")";
    v.shownScale = -1;
  }

  // Refuses what is no number in arithmetic.
  void Number(const Value& v, const Node& n, const std::string& op) const {
    Further(v, n);
    if (Numeric(v.cat) || v.cat == Cat::Null) return;
    if (v.cat == Cat::Text) {
      Refuse("it uses the text " + Quote(n) + " with " + op +
             ": MySQL reads text as a number there ('abc' is 0), SQL Server fails on text that is no number "
             "(error 245)");
    }
    if (v.cat == Cat::Date || v.cat == Cat::DateTime || v.cat == Cat::Time) {
      Refuse("it uses the date " + Quote(n) + " with " + op +
             ": MySQL reads a date as a number such as 20240131 there; only + INTERVAL is translated");
    }
    Refuse("it uses " + Quote(n) + " with " + op + ", which is not translated for " + What(v.cat));
  }

  Value BinaryOf(const Node& n) {
    const std::string& op = n.op;
    if (op == "and" || op == "or" || op == "xor") {
      Value a = Of(n.args[0]), b = Of(n.args[1]);
      const std::string p = Condition(a, n.args[0]), q = Condition(b, n.args[1]);
      Value v;
      v.cat = Cat::Predicate;
      v.deterministic = a.deterministic && b.deterministic;
      if (op == "xor") {
        if (!v.deterministic) Refuse("it uses XOR over a value that changes from one reading to the next");
        // NULL when either side is NULL, as in MySQL.
        v.sql = "((" + p + " AND NOT " + Paren(q) + ") OR (NOT " + Paren(p) + " AND " + q + "))";
      } else {
        v.sql = Paren(p + (op == "and" ? " AND " : " OR ") + q);
      }
      return v;
    }
    if (op == "=" || op == "<>" || op == "<" || op == "<=" || op == ">" || op == ">=" || op == "<=>")
      return Comparison(op, n.args[0], n.args[1], n);
    return Arithmetic(op, Of(n.args[0]), Of(n.args[1]), n);
  }

  Value Arithmetic(const std::string& op, Value a, Value b, const Node& n) {
    a = AsValue(a);
    b = AsValue(b);
    const std::string shown = op == "div" ? "DIV" : op == "%" ? "MOD" : op;
    Number(a, n.args[0], shown);
    Number(b, n.args[1], shown);
    if (op == "-" && (a.isUnsigned || b.isUnsigned))
      Refuse("it subtracts from an UNSIGNED column (" + n.source +
             "): MySQL fails where the result is below zero, SQL Server gives the negative number");
    Value v;
    v.deterministic = a.deterministic && b.deterministic;
    if (a.cat == Cat::Null && b.cat == Cat::Null) {
      v.sql = "NULL";
      return v;
    }
    if (a.cat == Cat::Null) {
      a.cat = b.cat;
      a.precision = b.precision;
      a.scale = b.scale;
    }
    if (b.cat == Cat::Null) {
      b.cat = a.cat;
      b.precision = a.precision;
      b.scale = a.scale;
    }
    if (a.cat == Cat::Float || b.cat == Cat::Float) {
      v.cat = Cat::Float;
      if (op == "%" || op == "div") Refuse("it uses " + shown + " with a floating-point number, which is not translated");
      v.sql = op == "/" ? Paren(a.sql + " / NULLIF(" + b.sql + ", 0)") : Paren(a.sql + " " + op + " " + b.sql);
      return v;
    }
    if (a.cat == Cat::Int && b.cat == Cat::Int && op != "/") {
      // MySQL computes integers in 64 bits; T-SQL's INT would overflow at 2^31.
      v.cat = Cat::Int;
      v.precision = 19;
      const std::string left = a.precision == 19 && !a.literal ? a.sql : "CAST(" + a.sql + " AS BIGINT)";
      if (op == "div") v.sql = Paren(left + " / NULLIF(" + b.sql + ", 0)");
      else if (op == "%") v.sql = Paren(left + " % NULLIF(" + b.sql + ", 0)");
      else v.sql = Paren(left + " " + op + " " + b.sql);
      return v;
    }
    const int p1 = a.precision, s1 = a.scale, p2 = b.precision, s2 = b.scale;
    const auto tooLong = [&]() {
      Refuse("it computes " + n.source + ", whose exact result needs more than SQL Server's 38 digits");
    };
    v.cat = Cat::Exact;
    if (op == "+" || op == "-") {
      v.scale = std::max(s1, s2);
      v.precision = std::max(p1 - s1, p2 - s2) + v.scale + 1;
      if (v.precision > 38) tooLong();
      v.sql = Paren(a.sql + " " + op + " " + b.sql);
    } else if (op == "*") {
      v.scale = s1 + s2;
      v.precision = p1 + p2 + 1;
      if (v.precision > 38) tooLong();
      v.sql = Paren(a.sql + " * " + b.sql);
    } else if (op == "%") {
      v.scale = std::max(s1, s2);
      v.precision = std::min(p1 - s1, p2 - s2) + v.scale;
      v.sql = Paren(a.sql + " % NULLIF(" + b.sql + ", 0)");
    } else if (op == "div") {
      Refuse("it uses DIV with a decimal number (" + n.source + "), which is not translated");
    } else {
      // MySQL keeps the quotient cut after 9 (18, 27) decimals, enough for the dividend's scale
      // plus 4: that value is stored into a column, while it is shown and compared rounded to the
      // dividend's scale plus 4. T-SQL's quotient is cut after max(6, s1 + p2 + 1) decimals, so
      // the divisor is widened until that reaches MySQL's.
      const int inner = 9 * ((s1 + 4 + 8) / 9);
      const int p2Wide = std::max(p2, inner - s1 - 1);
      const int tsqlScale = std::max(6, s1 + p2Wide + 1);
      if (p1 - s1 + s2 + tsqlScale > 38 || p2Wide > 38) tooLong();
      v.scale = inner;
      v.precision = p1 - s1 + s2 + inner;
      v.shownScale = s1 + 4;
      v.sql = "CAST(ROUND(CAST(" + a.sql + " AS DECIMAL(" + std::to_string(p1) + ", " + std::to_string(s1) +
              ")) / NULLIF(CAST(" + b.sql + " AS DECIMAL(" + std::to_string(p2Wide) + ", " + std::to_string(s2) +
              ")), 0), " + std::to_string(inner) + ", 1) AS DECIMAL(" + std::to_string(v.precision) + ", " +
              std::to_string(inner) + "))";
    }
    return v;
  }

  // Brings two sides to something T-SQL compares as MySQL does, or refuses.
  void Comparable(Value& a, Value& b, bool ordering, const Node& whole) {
    a = AsValue(a);
    b = AsValue(b);
    Shown(a);
    Shown(b);
    if (a.cat == Cat::Null || b.cat == Cat::Null) return;
    if (Numeric(a.cat) && Numeric(b.cat)) return;
    // A number against a text literal that MySQL reads as exactly that number.
    for (int side = 0; side < 2; ++side) {
      Value& num = side == 0 ? a : b;
      Value& text = side == 0 ? b : a;
      if (Numeric(num.cat) && text.cat == Cat::Text) {
        if (text.literal && PlainNumber(text.literalValue)) {
          text = Number(text.literalValue);
          return;
        }
        Refuse("it compares text with a number (" + whole.source +
               "): MySQL compares them as numbers ('abc' = 0 is true), SQL Server fails on text that is no "
               "number (error 245)");
      }
    }
    const bool aDate = a.cat == Cat::Date || a.cat == Cat::DateTime;
    const bool bDate = b.cat == Cat::Date || b.cat == Cat::DateTime;
    if (aDate && bDate) return;
    for (int side = 0; side < 2; ++side) {
      Value& date = side == 0 ? a : b;
      Value& text = side == 0 ? b : a;
      if ((date.cat == Cat::Date || date.cat == Cat::DateTime) && text.cat == Cat::Text) {
        bool withTime = false;
        if (!text.literal || !DateForm(text.literalValue, withTime))
          Refuse("it compares a date with text (" + whole.source + "), which is translated only for a literal "
                 "date written yyyy-mm-dd[ hh:mm:ss]");
        const bool asDate = date.cat == Cat::Date && !withTime;
        text.sql = "CAST(" + text.sql + (asDate ? " AS DATE)" : " AS DATETIME2(6))");
        text.cat = asDate ? Cat::Date : Cat::DateTime;
        return;
      }
    }
    if (a.cat == Cat::Time && b.cat == Cat::Time) return;
    if (a.cat == Cat::Text && b.cat == Cat::Text) {
      std::string collation = a.collation.empty() ? b.collation : a.collation;
      if (!a.collation.empty() && !b.collation.empty() && AsciiLowerText(a.collation) != AsciiLowerText(b.collation))
        Refuse("it compares texts of two collations (" + a.collation + ", " + b.collation + ")");
      if (collation.empty())
        Refuse("it compares two texts that are not columns (" + whole.source +
               "), under the collation of the MySQL session");
      if (!BinaryPadSpace(collation)) {
        Refuse("it compares text under " + collation +
               ", whose rules (accents, letters such as ß, trailing blanks of NO PAD collations) SQL Server's "
               "collations do not share; only binary collations (_bin) are translated");
      }
      if (ordering && (a.enumLike || b.enumLike))
        Refuse("it orders an ENUM or SET column (" + whole.source + "), which MySQL orders by position in its list");
      return;
    }
    Refuse("it compares " + What(a.cat) + " with " + What(b.cat) + " (" + whole.source + ")");
  }

  Value Comparison(const std::string& op, const Node& na, const Node& nb, const Node& whole) {
    Value a = Of(na), b = Of(nb);
    Value v;
    v.cat = Cat::Predicate;
    v.deterministic = a.deterministic && b.deterministic;
    if (op == "<=>") {
      if (b.cat == Cat::Null || a.cat == Cat::Null) {
        const Value& other = b.cat == Cat::Null ? a : b;
        v.sql = Paren(AsValue(other).sql + " IS NULL");
        return v;
      }
      Comparable(a, b, false, whole);
      if ((a.notNull || a.literal) && (b.notNull || b.literal)) {  // never NULL: plain equality
        v.sql = Paren(a.sql + " = " + b.sql);
        return v;
      }
      if (!v.deterministic) Refuse("it uses <=> with a value that changes from one reading to the next");
      v.sql = "((" + a.sql + " = " + b.sql + " AND " + a.sql + " IS NOT NULL AND " + b.sql + " IS NOT NULL) OR (" +
              a.sql + " IS NULL AND " + b.sql + " IS NULL))";
      return v;
    }
    Comparable(a, b, op != "=" && op != "<>", whole);
    v.sql = Paren(a.sql + " " + op + " " + b.sql);
    return v;
  }

  Value InOf(const Node& n) {
    Value a = Of(n.args[0]);
    Value v;
    v.cat = Cat::Predicate;
    std::string list;
    for (std::size_t i = 1; i < n.args.size(); ++i) {
      Value left = a, item = Of(n.args[i]);
      Comparable(left, item, false, n);
      if (i == 1) a = left;
      v.deterministic = v.deterministic && item.deterministic;
      list += (i > 1 ? ", " : "") + item.sql;
    }
    v.sql = Paren(a.sql + (n.negated ? " NOT IN (" : " IN (") + list + ")");
    return v;
  }

  Value BetweenOf(const Node& n) {
    Value a = Of(n.args[0]), low = Of(n.args[1]), high = Of(n.args[2]);
    Value a2 = a;
    Comparable(a, low, true, n);
    Comparable(a2, high, true, n);
    Value v;
    v.cat = Cat::Predicate;
    v.sql = Paren(a.sql + (n.negated ? " NOT BETWEEN " : " BETWEEN ") + low.sql + " AND " + high.sql);
    return v;
  }

  Value LikeOf(const Node& n) {
    Value s = AsValue(Of(n.args[0]));
    if (s.cat != Cat::Text) Refuse("it uses LIKE on " + What(s.cat) + " (" + n.source + "), which is not translated");
    if (n.args[1].kind != Node::Kind::String)
      Refuse("its LIKE pattern is not a literal (" + n.args[1].source + ")");
    char escape = '\\';
    if (n.args.size() > 2) {
      if (n.args[2].kind != Node::Kind::String || n.args[2].text.size() != 1)
        Refuse("its LIKE has an ESCAPE that is not one character");
      escape = n.args[2].text[0];
    }
    if (s.collation.empty() || !BinaryPadSpace(s.collation)) {
      Refuse("it uses LIKE under " + (s.collation.empty() ? std::string("the session's collation") : s.collation) +
             ", whose rules for accents and letters such as ß SQL Server's collations do not share; only binary "
             "collations (_bin) are translated");
    }
    // MySQL's pattern in T-SQL's words: escaped characters and T-SQL's own [ in brackets.
    const std::string& p = n.args[1].text;
    std::string pattern;
    for (std::size_t i = 0; i < p.size(); ++i) {
      char c = p[i];
      bool literal = false;
      if (c == escape && i + 1 < p.size()) {
        c = p[++i];
        literal = true;
      }
      if (c == '[') pattern += "[[]";
      else if (literal && (c == '%' || c == '_')) pattern += std::string("[") + c + "]";
      else pattern += c;
      if (c == '_' && !literal && !s.supplementaryAware)
        Refuse("its LIKE pattern holds _, which under the column's collation on SQL Server matches half of an "
               "emoji, where MySQL matches one character");
    }
    Value v;
    v.cat = Cat::Predicate;
    v.deterministic = s.deterministic;
    v.sql = Paren(s.sql + (n.negated ? " NOT LIKE " : " LIKE ") + Unicode(pattern));
    return v;
  }

  Value IsOf(const Node& n) {
    Value a = Of(n.args[0]);
    Value v;
    v.cat = Cat::Predicate;
    v.deterministic = a.deterministic;
    if (n.op == "null") {
      v.sql = Paren(AsValue(a).sql + (n.negated ? " IS NOT NULL" : " IS NULL"));
      return v;
    }
    const std::string p = Condition(a, n.args[0]);
    const std::string truth = n.op == "true" ? p : "NOT " + Paren(p);
    v.sql = "(CASE WHEN " + truth + " THEN 1 ELSE 0 END = " + (n.negated ? "0)" : "1)");
    return v;
  }

  // The result of branches (IF, CASE, COALESCE, IFNULL, NULLIF): one kind of value.
  static Value Branches(std::vector<Value> values, const Node& n) {
    Value out;
    for (auto& v : values) {
      Further(v, n);
      v = AsValue(v);
      out.deterministic = out.deterministic && v.deterministic;
      if (v.cat == Cat::Null) continue;
      if (out.cat == Cat::Null) {
        const bool keep = out.deterministic;
        out = v;
        out.deterministic = keep;
        out.literal = false;
        continue;
      }
      if (Numeric(out.cat) && Numeric(v.cat)) {
        if (v.cat == Cat::Float || out.cat == Cat::Float) out.cat = Cat::Float;
        else if (v.cat == Cat::Exact || out.cat == Cat::Exact) {
          const int scale = std::max(out.scale, v.scale);
          out.precision = std::max(out.precision - out.scale, v.precision - v.scale) + scale;
          out.scale = scale;
          out.cat = Cat::Exact;
        } else {
          out.precision = std::max(out.precision, v.precision);
        }
        continue;
      }
      if (out.cat == Cat::Text && v.cat == Cat::Text) {
        out.textLength = out.textLength < 0 || v.textLength < 0 ? -1 : std::max(out.textLength, v.textLength);
        if (out.collation.empty()) out.collation = v.collation;
        out.supplementaryAware = out.supplementaryAware && v.supplementaryAware;
        continue;
      }
      if ((out.cat == Cat::Date || out.cat == Cat::DateTime) && (v.cat == Cat::Date || v.cat == Cat::DateTime)) {
        out.cat = Cat::DateTime;
        continue;
      }
      if (out.cat == v.cat) continue;
      Refuse("its branches give " + What(out.cat) + " and " + What(v.cat) + " (" + n.source +
             "); MySQL makes text of them, SQL Server would convert one into the other's type");
    }
    return out;
  }

  Value CaseOf(const Node& n) {
    std::size_t i = 0;
    std::string sql = "CASE";
    Value operand;
    if (n.simpleCase) {
      operand = AsValue(Of(n.args[0]));
      if (!operand.deterministic) Refuse("its CASE compares a value that changes from one reading to the next");
      i = 1;
    }
    std::vector<Value> results;
    bool deterministic = operand.deterministic;
    const std::size_t pairsEnd = n.args.size() - (n.hasElse ? 1 : 0);
    for (; i + 1 < pairsEnd; i += 2) {
      if (n.simpleCase) {
        Value left = operand, when = Of(n.args[i]);
        Comparable(left, when, false, n);
        sql += " WHEN " + Paren(left.sql + " = " + when.sql);
        deterministic = deterministic && when.deterministic;
      } else {
        Value when = Of(n.args[i]);
        sql += " WHEN " + Condition(when, n.args[i]);
        deterministic = deterministic && when.deterministic;
      }
      Value then = AsValue(Of(n.args[i + 1]));
      results.push_back(then);
      sql += " THEN " + then.sql;
    }
    if (n.hasElse) {
      Value otherwise = AsValue(Of(n.args.back()));
      results.push_back(otherwise);
      sql += " ELSE " + otherwise.sql;
    }
    Value v = Branches(results, n);
    v.sql = sql + " END";
    v.deterministic = v.deterministic && deterministic;
    return v;
  }

  Value IntervalOf(const Node& n) {
    if (n.args.size() != 2) Refuse("it uses INTERVAL outside date arithmetic");
    Value d = AsValue(Of(n.args[0]));
    return DateAdd(d, n.args[0], n.args[1], n.text, n.op == "-");
  }

  Value DateAdd(Value d, const Node& dateNode, const Node& amountNode, const std::string& unit, bool subtract) {
    static const char* kUnits[][2] = {{"microsecond", "microsecond"}, {"second", "second"}, {"minute", "minute"},
                                      {"hour", "hour"},               {"day", "day"},       {"week", "week"},
                                      {"month", "month"},             {"quarter", "quarter"}, {"year", "year"}};
    std::string datepart;
    for (const auto& u : kUnits) {
      if (unit == u[0]) datepart = u[1];
    }
    if (datepart.empty()) Refuse("it uses INTERVAL ... " + unit + ", a unit that is not translated");
    if (d.cat != Cat::Date && d.cat != Cat::DateTime) {
      if (d.cat == Cat::Text)
        Refuse("it adds an interval to text (" + dateNode.source + "); MySQL gives text there, which is not translated");
      Refuse("it adds an interval to " + What(d.cat) + " (" + dateNode.source + ")");
    }
    Value amount = AsValue(Of(amountNode));
    if (amount.cat != Cat::Int || amount.precision > 10)
      Refuse("its interval " + amountNode.source + " is not a whole number of at most 10 digits");
    const bool dateOnly = unit == "day" || unit == "week" || unit == "month" || unit == "quarter" || unit == "year";
    Value v;
    v.deterministic = d.deterministic && amount.deterministic;
    // DATE plus days stays a DATE in MySQL; plus hours it becomes a DATETIME, which T-SQL's
    // DATEADD refuses for DATE.
    v.cat = d.cat == Cat::Date && dateOnly ? Cat::Date : Cat::DateTime;
    const std::string base = d.cat == Cat::Date && !dateOnly ? "CAST(" + d.sql + " AS DATETIME2(0))" : d.sql;
    const std::string n = subtract ? "-" + Paren(amount.sql) : amount.sql;
    v.sql = "DATEADD(" + datepart + ", " + n + ", " + base + ")";
    return v;
  }

  Value CastOf(const Node& n) {
    if (n.op == "date") {
      Value a = AsValue(Of(n.args[0]));
      if (a.cat != Cat::Date && a.cat != Cat::DateTime)
        Refuse("it makes a date of " + What(a.cat) + " (" + n.source + "), which is not translated");
      Value v = a;
      v.cat = Cat::Date;
      v.sql = "CAST(" + a.sql + " AS DATE)";
      return v;
    }
    Refuse("it uses CAST(... AS " + n.op + "), which is not translated");
  }

  Value JsonOf(const Node& n, const Node& column, const std::string& path, bool unquote) {
    if (!unquote) Refuse("it uses JSON_EXTRACT without JSON_UNQUOTE, whose JSON text SQL Server does not write alike");
    if (column.kind != Node::Kind::Column) Refuse("it extracts JSON from something other than a column (" + n.source + ")");
    Value c = ColumnValue(column);
    if (c.cat != Cat::Text) Refuse("it extracts JSON from column " + column.text + ", which holds no text");
    // The path in T-SQL's words: $, .member and [index] only.
    for (std::size_t i = 0; i < path.size(); ++i) {
      const char ch = path[i];
      if (ch == '*' || ch == '"' || (i == 0 && ch != '$'))
        Refuse("its JSON path " + path + " uses wildcards, quoted members or another form that is not translated");
    }
    const ExpressionColumn& info = *columns_.at(AsciiLowerText(column.text));
    const auto fact = info.jsonScalarAtPath.find(path);
    if (fact == info.jsonScalarAtPath.end() || !fact->second) {
      Refuse("it reads the JSON path " + path + " of column " + column.text +
             ", and JSON_VALUE gives NULL where a stored value there is an object, an array, JSON null or longer "
             "than 4000 characters" + (fact == info.jsonScalarAtPath.end() ? " (the values were not looked at)" : ""));
    }
    Value v;
    v.cat = Cat::Text;
    v.textLength = 4000;
    v.collation = c.collation;
    v.supplementaryAware = c.supplementaryAware;
    v.sql = "JSON_VALUE(" + c.sql + ", " + Unicode(path) + ")";
    return v;
  }

  // ---- functions
  void Arguments(const Node& n, std::size_t least, std::size_t most) const {
    if (n.args.size() < least || n.args.size() > most)
      Refuse("it calls " + n.op + " with " + std::to_string(n.args.size()) + " arguments, a form that is not translated");
  }

  Value Text(const Value& v, const Node& n, const std::string& function) const {
    Further(v, n);
    Value t = AsValue(v);
    if (t.cat == Cat::Text || t.cat == Cat::Null) return t;
    if (t.cat == Cat::Int || t.cat == Cat::Exact) {
      // T-SQL writes integers and decimals with the digits MySQL writes.
      Value out = t;
      out.cat = Cat::Text;
      out.textLength = t.precision + 2;
      out.sql = "CAST(" + t.sql + " AS NVARCHAR(" + std::to_string(out.textLength) + "))";
      out.collation.clear();
      return out;
    }
    Refuse("it uses " + What(t.cat) + " as text in " + function + " (" + n.source +
           "), which SQL Server writes differently");
  }

  Value Now(const Node& n, const char* function, const std::string& type, Cat cat) {
    Arguments(n, 0, 1);
    std::string digits = "0";
    if (!n.args.empty()) {
      if (n.args[0].kind != Node::Kind::Number || n.args[0].text.size() != 1)
        Refuse("it calls " + n.op + " with a precision that is not a digit");
      digits = n.args[0].text;
    }
    Value v;
    v.cat = cat;
    v.deterministic = false;
    v.sql = "CONVERT(" + type + (cat == Cat::Date ? "" : "(" + digits + ")") + ", " + function + "())";
    return v;
  }

  Value Call(const Node& n) {
    const std::string& f = n.op;
    if (f == "now" || f == "current_timestamp" || f == "localtime" || f == "localtimestamp")
      return Now(n, "SYSDATETIME", "DATETIME2", Cat::DateTime);
    if (f == "utc_timestamp") return Now(n, "SYSUTCDATETIME", "DATETIME2", Cat::DateTime);
    if (f == "curdate" || f == "current_date") return Now(n, "SYSDATETIME", "DATE", Cat::Date);
    if (f == "utc_date") return Now(n, "SYSUTCDATETIME", "DATE", Cat::Date);
    if (f == "curtime" || f == "current_time") return Now(n, "SYSDATETIME", "TIME", Cat::Time);
    if (f == "utc_time") return Now(n, "SYSUTCDATETIME", "TIME", Cat::Time);
    if ((f == "json_array" || f == "json_object") && n.args.empty()) {
      Value v;
      v.cat = Cat::Text;
      v.textLength = 2;
      v.sql = f == "json_array" ? "N'[]'" : "N'{}'";
      return v;
    }
    if (f == "uuid") {
      Arguments(n, 0, 0);
      Value v;
      v.cat = Cat::Text;
      v.textLength = 36;
      v.deterministic = false;
      v.sql = "LOWER(CONVERT(CHAR(36), NEWID()))";
      return v;
    }
    if (f == "if") {
      Arguments(n, 3, 3);
      Value c = Of(n.args[0]);
      const std::string p = Condition(c, n.args[0]);
      Value a = AsValue(Of(n.args[1])), b = AsValue(Of(n.args[2]));
      Value v = Branches({a, b}, n);
      v.deterministic = v.deterministic && c.deterministic;
      v.sql = "CASE WHEN " + p + " THEN " + a.sql + " ELSE " + b.sql + " END";
      return v;
    }
    if (f == "coalesce" || f == "ifnull") {
      Arguments(n, f == "ifnull" ? 2 : 1, f == "ifnull" ? 2 : 1000);
      std::vector<Value> values;
      std::string list;
      for (const auto& a : n.args) {
        values.push_back(AsValue(Of(a)));
        list += (list.empty() ? "" : ", ") + values.back().sql;
      }
      Value v = Branches(values, n);
      v.sql = "COALESCE(" + list + ")";
      return v;
    }
    if (f == "nullif") {
      Arguments(n, 2, 2);
      Value a = Of(n.args[0]), b = Of(n.args[1]);
      Value left = a, right = b;
      Comparable(left, right, false, n);
      if (!left.deterministic) Refuse("it uses NULLIF with a value that changes from one reading to the next");
      Value v = Branches({left}, n);
      v.sql = "NULLIF(" + left.sql + ", " + right.sql + ")";
      return v;
    }
    if (f == "isnull") {
      Arguments(n, 1, 1);
      Value v;
      v.cat = Cat::Predicate;
      v.sql = Paren(AsValue(Of(n.args[0])).sql + " IS NULL");
      return v;
    }
    if (f == "concat") {
      Arguments(n, 1, 1000);
      Value v;
      v.cat = Cat::Text;
      std::vector<Value> parts;
      long length = 0;
      for (const auto& a : n.args) {
        parts.push_back(Text(Of(a), a, "CONCAT"));
        const Value& p = parts.back();
        v.deterministic = v.deterministic && p.deterministic;
        length = length < 0 || p.textLength < 0 ? -1 : length + p.textLength;
        if (v.collation.empty()) v.collation = p.collation;
        v.supplementaryAware = v.supplementaryAware && p.supplementaryAware;
      }
      // + gives NULL for a NULL part, as CONCAT does in MySQL; beyond 4000 characters only a
      // (MAX) part keeps it from cutting the text.
      const bool wide = length < 0 || length > 4000;
      std::string sql;
      for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string part = i == 0 && wide ? "CAST(" + parts[i].sql + " AS NVARCHAR(MAX))" : parts[i].sql;
        sql += (i ? " + " : "") + part;
      }
      v.textLength = wide ? -1 : length;
      v.sql = parts.size() == 1 ? sql : Paren(sql);
      return v;
    }
    if (f == "lower" || f == "lcase" || f == "upper" || f == "ucase") {
      Arguments(n, 1, 1);
      Value v = Text(Of(n.args[0]), n.args[0], f);
      v.sql = std::string(f == "lower" || f == "lcase" ? "LOWER(" : "UPPER(") + v.sql + ")";
      v.literal = false;
      return v;
    }
    if (f == "char_length" || f == "character_length") {
      Arguments(n, 1, 1);
      Value s = Text(Of(n.args[0]), n.args[0], f);
      // LEN leaves out trailing blanks and, without a supplementary-character collation, counts an
      // emoji as two: one character is added, then taken off again.
      Value v;
      v.cat = Cat::Int;
      v.precision = 19;
      v.deterministic = s.deterministic;
      v.sql = "(LEN(CAST(" + s.sql + " AS NVARCHAR(MAX)) + N'.' COLLATE " + kSupplementaryCollation + ") - 1)";
      return v;
    }
    if (f == "length" || f == "octet_length") {
      Arguments(n, 1, 1);
      Value s = AsValue(Of(n.args[0]));
      Value v;
      v.cat = Cat::Int;
      v.precision = 19;
      if (s.cat == Cat::Binary) {
        v.sql = "DATALENGTH(" + s.sql + ")";
        return v;
      }
      const std::string collation = AsciiLowerText(s.collation);
      if (s.cat == Cat::Text && (collation.starts_with("latin1_") || collation.starts_with("ascii_"))) {
        // One byte per character in these character sets.
        v.sql = "(LEN(CAST(" + s.sql + " AS NVARCHAR(MAX)) + N'.') - 1)";
        return v;
      }
      Refuse("it uses LENGTH (" + n.source + "), which counts the bytes of MySQL's character set; SQL Server "
             "stores the text as UTF-16. CHAR_LENGTH, which counts characters, is translated");
    }
    if (f == "substring" || f == "substr" || f == "mid") {
      Arguments(n, 2, 3);
      Value s = Text(Of(n.args[0]), n.args[0], f);
      if (!s.supplementaryAware)
        Refuse("it takes part of text whose collation on SQL Server counts an emoji as two characters (" + n.source + ")");
      for (std::size_t i = 1; i < n.args.size(); ++i) {
        const Node& a = n.args[i];
        if (a.kind != Node::Kind::Number || a.text.find_first_not_of("0123456789") != std::string::npos ||
            (i == 1 && a.text == "0") || a.text.size() > 9)
          Refuse("it calls " + f + " with " + a.source + ", where only a whole number from 1 up is translated");
      }
      Value v = s;
      v.literal = false;
      v.sql = "SUBSTRING(" + s.sql + ", " + n.args[1].text + ", " + (n.args.size() > 2 ? n.args[2].text : "2147483647") + ")";
      return v;
    }
    if (f == "trim" || f == "ltrim" || f == "rtrim") {
      Arguments(n, 1, 1);
      Value v = Text(Of(n.args[0]), n.args[0], f);
      v.literal = false;
      // Both remove blanks (character 32) only.
      v.sql = f == "trim" ? "LTRIM(RTRIM(" + v.sql + "))" : (f == "ltrim" ? "LTRIM(" : "RTRIM(") + v.sql + ")";
      return v;
    }
    if (f == "replace") {
      Arguments(n, 3, 3);
      Value s = Text(Of(n.args[0]), n.args[0], f);
      Value from = Text(Of(n.args[1]), n.args[1], f), to = Text(Of(n.args[2]), n.args[2], f);
      // MySQL's REPLACE matches case and accents exactly whatever the collation.
      long length = s.textLength;
      if (length >= 0 && to.textLength != 0) {
        const long grow = from.literal && !from.literalValue.empty() && to.textLength >= 0
                              ? (to.textLength + static_cast<long>(from.literalValue.size()) - 1) /
                                    static_cast<long>(from.literalValue.size())
                              : -1;
        length = grow < 0 ? -1 : length * std::max(1L, grow);
      }
      const bool wide = length < 0 || length > 4000;
      Value v = s;
      v.literal = false;
      v.deterministic = s.deterministic && from.deterministic && to.deterministic;
      v.textLength = wide ? -1 : length;
      v.sql = "REPLACE(" + (wide ? "CAST(" + s.sql + " AS NVARCHAR(MAX))" : s.sql) +
              " COLLATE Latin1_General_100_BIN2, " + from.sql + ", " + to.sql + ")";
      v.supplementaryAware = false;
      return v;
    }
    if (f == "abs" || f == "floor" || f == "ceil" || f == "ceiling") {
      Arguments(n, 1, 1);
      Value a = AsValue(Of(n.args[0]));
      Number(a, n.args[0], f);
      Value v = a;
      v.literal = false;
      const std::string name = f == "abs" ? "ABS" : f == "floor" ? "FLOOR" : "CEILING";
      if (a.cat == Cat::Int) {
        v.precision = 19;
        v.sql = name + "(" + (a.precision == 19 && !a.literal ? a.sql : "CAST(" + a.sql + " AS BIGINT)") + ")";
      } else {
        if (f != "abs" && a.cat == Cat::Exact) {
          v.scale = 0;
          v.precision = a.precision - a.scale + 1;
        }
        v.sql = name + "(" + a.sql + ")";
      }
      return v;
    }
    if (f == "round") {
      Arguments(n, 1, 2);
      Value a = AsValue(Of(n.args[0]));
      Number(a, n.args[0], f);
      std::string digits = "0";
      if (n.args.size() == 2) {
        const Node& d = n.args[1];
        if (d.kind != Node::Kind::Number || d.text.find_first_not_of("-0123456789") != std::string::npos)
          Refuse("it calls ROUND with " + d.source + " digits, where only a whole number is translated");
        digits = d.text;
      }
      if (a.cat == Cat::Float)
        Refuse("it rounds a floating-point number (" + n.source + "), which MySQL rounds half to even and SQL Server "
               "half away from zero");
      Value v = a;
      v.literal = false;
      if (a.cat == Cat::Int) {
        v.precision = 19;
        v.sql = "ROUND(CAST(" + a.sql + " AS BIGINT), " + digits + ")";
        return v;
      }
      // One more digit, so that 9.5 may become 10 without overflowing.
      v.precision = a.precision + 1;
      if (v.precision > 38) Refuse("it rounds " + n.source + ", which needs more than SQL Server's 38 digits");
      v.sql = "ROUND(CAST(" + a.sql + " AS DECIMAL(" + std::to_string(v.precision) + ", " + std::to_string(a.scale) +
              ")), " + digits + ")";
      return v;
    }
    if (f == "year" || f == "month" || f == "day" || f == "dayofmonth") {
      Arguments(n, 1, 1);
      Value d = AsValue(Of(n.args[0]));
      if (d.cat != Cat::Date && d.cat != Cat::DateTime)
        Refuse("it calls " + f + " on " + What(d.cat) + " (" + n.source + "), which is translated for dates only");
      Value v;
      v.cat = Cat::Int;
      v.precision = 10;
      v.deterministic = d.deterministic;
      v.sql = std::string(f == "year" ? "YEAR(" : f == "month" ? "MONTH(" : "DAY(") + d.sql + ")";
      return v;
    }
    if (f == "date") {
      Arguments(n, 1, 1);
      Node cast = n;
      cast.kind = Node::Kind::Cast;
      cast.op = "date";
      return CastOf(cast);
    }
    if (f == "date_add" || f == "date_sub" || f == "adddate" || f == "subdate") {
      Arguments(n, 2, 2);
      const bool subtract = f == "date_sub" || f == "subdate";
      Value d = AsValue(Of(n.args[0]));
      if (n.args[1].kind == Node::Kind::Interval && n.args[1].args.size() == 1)
        return DateAdd(d, n.args[0], n.args[1].args[0], n.args[1].text, subtract);
      if (f == "adddate" || f == "subdate") return DateAdd(d, n.args[0], n.args[1], "day", subtract);
      Refuse("it calls " + f + " without an INTERVAL");
    }
    if (f == "json_valid") {
      Arguments(n, 1, 1);
      const Node& a = n.args[0];
      if (a.kind != Node::Kind::Column) Refuse("it calls JSON_VALID on something other than a column");
      Value c = ColumnValue(a);
      if (c.cat != Cat::Text) Refuse("it calls JSON_VALID on column " + a.text + ", which holds no text");
      const auto& fact = columns_.at(AsciiLowerText(a.text))->storesJsonScalar;
      if (!fact || *fact) {
        Refuse("it checks JSON_VALID(" + a.text + "), and SQL Server's ISJSON (before SQL Server 2022) refuses the "
               "JSON scalars (1, \"a\", true) that MySQL accepts" +
               (fact ? std::string(", which the column holds") : std::string(" (the values were not looked at)")));
      }
      Value v;
      v.cat = Cat::Predicate;
      v.sql = "(ISJSON(" + c.sql + ") = 1)";
      return v;
    }
    if (f == "json_unquote") {
      Arguments(n, 1, 1);
      const Node& inner = n.args[0];
      if (inner.kind == Node::Kind::Call && inner.op == "json_extract" && inner.args.size() == 2 &&
          inner.args[1].kind == Node::Kind::String)
        return JsonOf(n, inner.args[0], inner.args[1].text, true);
      if (inner.kind == Node::Kind::Json) return JsonOf(n, inner.args[0], inner.text, true);
      Refuse("it uses JSON_UNQUOTE on something other than JSON_EXTRACT(column, 'path')");
    }
    Refuse("it calls " + f + "(), which is not translated");
  }

  ExpressionUse use_;
  std::map<std::string, const ExpressionColumn*> columns_;
  std::string kind_;
  bool deterministic_ = true;
};

}  // namespace

TranslatedExpression TranslateExpression(const std::string& text, ExpressionUse use,
                                         const std::vector<ExpressionColumn>& columns) {
  TranslatedExpression out;
  try {
    Parser parser(Unescaped(text));
    Node root = parser.Whole();
    Translator translator(use, columns);
    out.sql = translator.Top(root);
    out.kind = translator.Kind();
    out.deterministic = translator.Deterministic();
  } catch (const Refusal& r) {
    out.sql.clear();
    out.whyNot = r.why;
  }
  return out;
}

}  // namespace morvane
