#include "tests/sqlserver/server/Expressions.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>

#include "tests/sqlserver/server/SqlError.h"
#include "tests/sqlserver/server/Text.h"

namespace morvane::tds {

// The built-in functions (their table is at the end of this file): one entry each.
struct Call;
struct FunctionEntry {
  const char* name;
  int minArguments;
  int maxArguments;
  bool deterministic;
  Typed (*run)(Call&);
};
const FunctionEntry* FindFunction(const std::string& upperName);

// A function's arguments, evaluated when first asked for (COALESCE, ISNULL and IIF evaluate
// only what they need).
struct Call {
  const Expression& e;
  const Scope& scope;
  std::vector<std::optional<Typed>> values;

  std::size_t Count() const { return e.arguments.size(); }
  const Typed& Arg(std::size_t i) {
    if (!values[i]) values[i] = Evaluate(e.arguments[i], scope);
    return *values[i];
  }
};

namespace {

SqlError Err(int number, std::string text) { return SqlError(number, 16, std::move(text), ErrorScope::Batch); }

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

ColumnType Of(Kind k, int length = 0, int precision = 0, int scale = 0) { return {k, length, precision, scale}; }

bool IsText(Kind k) { return IsCharacter(k) || IsNCharacter(k); }
bool IsNumber(Kind k) {
  return IsInteger(k) || k == Kind::Bit || k == Kind::Decimal || k == Kind::Float || k == Kind::Real;
}
bool IsDateKind(Kind k) { return k == Kind::DateTime || k == Kind::SmallDateTime || IsDate2(k); }

// The precision and scale a number has as a DECIMAL ("Precision, scale, and length").
std::pair<int, int> DecimalShape(const ColumnType& t) {
  switch (t.kind) {
    case Kind::Bit: return {1, 0};
    case Kind::TinyInt: return {3, 0};
    case Kind::SmallInt: return {5, 0};
    case Kind::Int: return {10, 0};
    case Kind::BigInt: return {19, 0};
    default: return {t.precision, t.scale};
  }
}

DecimalValue AsDecimal(const Value& v) {
  if (auto* i = std::get_if<std::int64_t>(&v)) return {*i, 0};
  return std::get<DecimalValue>(v);
}
double AsDouble(const Value& v) {
  if (auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
  if (auto* d = std::get_if<DecimalValue>(&v)) {
    return static_cast<double>(d->units) / static_cast<double>(Pow10(d->scale));
  }
  return std::get<double>(v);
}

SqlError Overflow(const ColumnType& t) {
  return Err(8115, "Arithmetic overflow error converting expression to data type " +
                       (t.kind == Kind::Decimal ? std::string("numeric") : TypeName(t.kind)) + ".");
}

// Rounds half away from zero to `scale` digits.
DecimalValue ToScale(DecimalValue d, int scale) {
  if (d.scale <= scale) {
    if (DigitCount(d.units < 0 ? -d.units : d.units) + scale - d.scale > 38) {
      throw NotModelled("decimal intermediate results beyond 38 digits");
    }
    return {d.units * Pow10(scale - d.scale), scale};
  }
  Int128 div = Pow10(d.scale - scale);
  Int128 q = d.units / div, r = d.units % div;
  if ((r < 0 ? -r : r) * 2 >= div) q += d.units < 0 ? -1 : 1;
  return {q, scale};
}

Typed Null(ColumnType t) { return {t, Value{}}; }

std::string TextOf(const Value& v) { return std::get<std::string>(v); }

// A text result: VARCHAR or NVARCHAR (the Unicode one when `unicode`), of `length` characters
// (at least 1), (MAX) beyond 8000 bytes or when `max`.
ColumnType TextType(bool unicode, std::size_t length, bool max, const std::string& collation) {
  ColumnType t = Of(unicode ? Kind::NVarChar : Kind::VarChar, static_cast<int>(std::max<std::size_t>(1, length)));
  t.max = max || length > (unicode ? 4000u : 8000u);
  if (t.max) t.length = 0;
  t.collation = collation;
  return t;
}

// The collation a comparison of two texts uses ("Collation precedence"): a column's over a
// constant's; two different column collations are error 468.
std::string CollationOf(const Typed& a, const Typed& b, const Scope& scope, const char* operation) {
  if (a.columnCollation && b.columnCollation && a.type.collation != b.type.collation &&
      !a.type.collation.empty() && !b.type.collation.empty()) {
    throw Err(468, "Cannot resolve the collation conflict between \"" + a.type.collation + "\" and \"" +
                       b.type.collation + "\" in the " + operation + " operation.");
  }
  if (a.columnCollation && !a.type.collation.empty()) return a.type.collation;
  if (b.columnCollation && !b.type.collation.empty()) return b.type.collation;
  return scope.collation;
}

// The days since 0001-01-01 and 100 ns units of any date and time value.
Date2Value ToDate2(const Typed& v, const Scope& scope) {
  if (auto* d = std::get_if<Date2Value>(&v.value)) return *d;
  if (auto* dt = std::get_if<DateTimeValue>(&v.value)) {
    return {dt->days + kDaysTo1900, (static_cast<std::int64_t>(dt->ticks) * 100000 + 1) / 3};
  }
  if (std::holds_alternative<std::string>(v.value)) {
    return ParseDate2(TextOf(v.value), Of(Kind::DateTime2, 0, 0, 7), scope.dates);
  }
  // Numbers are days since 1900-01-01 as a DATETIME.
  Value dt = ConvertTyped(v, Of(Kind::DateTime), scope.dates);
  return ToDate2({Of(Kind::DateTime), dt}, scope);
}

// A date and time as the type `t` keeps it (DATETIME rounds to 1/300 s).
Value FromDate2(const Date2Value& d, const ColumnType& t, const Scope& scope) {
  Literal l;
  l.kind = Literal::Kind::DateTime;
  l.dateTime2 = true;
  l.text = Date2Text(Kind::DateTime2, 7, d);
  return ConvertLiteral(l, t, scope.dates);
}

// ---- the text of dates (CONVERT styles) ----

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string Two(int v) {
  char b[16];
  std::snprintf(b, sizeof b, "%02d", v);
  return b;
}

// A date or time value as text in a CONVERT style: 0/100 ("mon dd yyyy hh:miAM"), 20/120
// (ODBC canonical), 21/121 (with fractions), 23 (yyyy-mm-dd), 126 (ISO 8601).
std::string DateText(const Typed& v, int style, const Scope& scope) {
  const Kind k = v.type.kind;
  const Date2Value d = ToDate2(v, scope);
  int y = 0, m = 0, day = 0;
  CivilFromDays(d.days - kDaysTo1900, y, m, day);
  const std::int64_t seconds = d.time / 10000000;
  const int hh = static_cast<int>(seconds / 3600), mi = static_cast<int>(seconds / 60 % 60),
            ss = static_cast<int>(seconds % 60);
  char date[16];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", y, m, day);
  // Fraction digits: 3 for DATETIME, the type's scale for TIME and DATETIME2.
  const int digits = k == Kind::DateTime ? 3 : k == Kind::SmallDateTime ? 0 : v.type.scale;
  std::string fraction;
  if (digits > 0) {
    std::int64_t units = d.time % 10000000;
    if (k == Kind::DateTime) units = std::get<DateTimeValue>(v.value).ticks % 300 * 10 / 3 * 10000;
    char f[16];
    std::snprintf(f, sizeof f, "%07lld", static_cast<long long>(units));
    fraction = "." + std::string(f).substr(0, static_cast<std::size_t>(digits));
  }
  const std::string time = Two(hh) + ":" + Two(mi) + ":" + Two(ss);
  if (style == 0 || style == 100) {
    if (IsDate2(k)) style = 121;  // the default style of DATE, TIME and DATETIME2
    else {
      char b[40];
      int h12 = hh % 12 == 0 ? 12 : hh % 12;
      std::snprintf(b, sizeof b, "%s %2d %04d %2d:%02d%s", kMonths[m - 1], day, y, h12, mi, hh < 12 ? "AM" : "PM");
      return b;
    }
  }
  if (k == Kind::Date && style != 23 && style != 126) style = 23;
  if (k == Kind::Time) return time + fraction;
  switch (style) {
    case 23: return date;
    case 20: case 120: return std::string(date) + " " + time;
    case 21: case 121: return std::string(date) + " " + time + fraction;
    case 126: {
      if (k == Kind::Date) return date;
      // ISO 8601: DATETIME leaves out a zero fraction.
      if (k == Kind::DateTime && d.time % 10000000 == 0) fraction.clear();
      return std::string(date) + "T" + time + fraction;
    }
  }
  throw NotModelled("CONVERT style " + std::to_string(style) + " of a date");
}

// Conversions of date and time values to and from text that are nondeterministic: the styles
// below 100 except 20 and 21, and 106, 107, 109 and 113 ("CAST and CONVERT").
bool DeterministicStyle(int style) {
  if (style < 100) return style == 20 || style == 21 || style == 23 || style == 126;
  return style != 106 && style != 107 && style != 109 && style != 113;
}

bool KnownDateStyle(int style) {
  return style == 0 || style == 100 || style == 20 || style == 120 || style == 21 || style == 121 ||
         style == 23 || style == 126;
}

// ---- CAST and CONVERT ----

ColumnType CastType(const Expression& e) {
  ColumnDefinition d;
  d.name = e.name;
  d.typeName = e.name;
  d.typeArguments = e.typeArguments;
  d.typeMax = e.castMax;
  ColumnType t = ResolveType(d, 1);
  // "When length isn't specified with the CAST and CONVERT functions, the default length is 30."
  if ((IsText(t.kind) || t.kind == Kind::Binary || t.kind == Kind::VarBinary) && !t.max &&
      e.typeArguments.empty()) {
    t.length = 30;
  }
  if (t.kind == Kind::Timestamp) throw NotModelled("CAST to timestamp");
  return t;
}

Typed Cast(const Typed& v, ColumnType to, std::optional<int> style, const Scope& scope) {
  if (IsText(to.kind)) to.collation = scope.collation;
  if (IsNull(v.value)) return Null(to);
  const Kind from = v.type.kind;
  if (style && *style != 0 && !(IsDateKind(from) && IsText(to.kind)) &&
      !(IsText(from) && IsDateKind(to.kind))) {
    throw NotModelled("CONVERT styles other than those of dates");
  }
  if (style && !KnownDateStyle(*style)) throw NotModelled("CONVERT style " + std::to_string(*style));
  auto textResult = [&](std::string text) -> Typed {
    std::u16string units = Utf8ToUtf16(text);
    if (!to.max && units.size() > static_cast<std::size_t>(to.length)) {
      // Character to character: cut ("Truncating and rounding results").
      units.resize(static_cast<std::size_t>(to.length));
    }
    Literal l;
    l.kind = Literal::Kind::String;
    l.unicode = true;
    l.text = Utf16ToUtf8(units);
    return {to, ConvertLiteral(l, to, scope.dates)};
  };
  if (v.guid) {
    if (!IsText(to.kind)) return {to, ConvertTyped(v, to, scope.dates)};
    if (!to.max && to.length < 36) {
      throw Err(8170, "Insufficient result space to convert uniqueidentifier value to char.");
    }
    return textResult(TextOf(v.value));
  }
  if (IsDateKind(from) && IsText(to.kind)) {
    std::string text = DateText(v, style.value_or(0), scope);
    if (!to.max && Utf16Length(text) > static_cast<std::size_t>(to.length)) {
      throw NotModelled("a date converted to a text shorter than its style");
    }
    return textResult(text);
  }
  if ((from == Kind::Time && (to.kind == Kind::Date)) || (from == Kind::Date && to.kind == Kind::Time)) {
    throw Err(529, "Explicit conversion from data type " + TypeName(from) + " to " + TypeName(to.kind) +
                       " is not allowed.");
  }
  if (IsText(from) && IsText(to.kind)) return textResult(TextOf(v.value));
  if (IsText(from) && IsBinary(to.kind)) {
    // Explicit conversion of text to binary: its bytes (code page 1252 or UTF-16LE).
    Bytes bytes;
    if (IsNCharacter(from)) AppendUtf16Le(bytes, Utf8ToUtf16(TextOf(v.value)));
    else bytes = ToCodePage1252(TextOf(v.value));
    if (!to.max && bytes.size() > static_cast<std::size_t>(to.length)) bytes.resize(static_cast<std::size_t>(to.length));
    Literal l;
    l.kind = Literal::Kind::Binary;
    l.bytes = bytes;
    return {to, ConvertLiteral(l, to, scope.dates)};
  }
  if (IsNumber(from) && IsText(to.kind)) {
    if (from == Kind::Float || from == Kind::Real) throw NotModelled("the conversion of float to text");
    std::string text = std::holds_alternative<DecimalValue>(v.value) ? DecimalText(std::get<DecimalValue>(v.value))
                                                                     : std::to_string(std::get<std::int64_t>(v.value));
    if (!to.max && Utf16Length(text) > static_cast<std::size_t>(to.length)) {
      // "Truncating and rounding results": integers to char and varchar show *, the rest fail.
      if (IsInteger(from) && IsCharacter(to.kind)) return textResult("*");
      throw Overflow(to);
    }
    return textResult(text);
  }
  if (IsText(from) && IsDateKind(to.kind) && style) {
    DateSettings iso;
    iso.order = "ymd";
    std::string text = TextOf(v.value);
    if (*style == 126) std::replace(text.begin(), text.end(), 'T', ' ');
    Literal l;
    l.kind = Literal::Kind::String;
    l.unicode = true;
    l.text = text;
    return {to, ConvertLiteral(l, to, iso)};
  }
  return {to, ConvertTyped(v, to, scope.dates)};
}

// ---- arithmetic ----

bool RaisesToFloat(Kind k) { return k == Kind::Float || k == Kind::Real; }

ColumnType DecimalResult(const std::string& op, const ColumnType& a, const ColumnType& b) {
  auto [p1, s1] = DecimalShape(a);
  auto [p2, s2] = DecimalShape(b);
  int p = 0, s = 0;
  const bool additive = op == "+" || op == "-";
  if (additive) {
    s = std::max(s1, s2);
    p = s + std::max(p1 - s1, p2 - s2) + 1;
  } else if (op == "*") {
    p = p1 + p2 + 1;
    s = s1 + s2;
  } else if (op == "/") {
    s = std::max(6, s1 + p2 + 1);
    p = p1 - s1 + s2 + s;
  } else {
    s = std::max(s1, s2);
    p = std::min(p1 - s1, p2 - s2) + s;
  }
  if (p > 38) {
    const int integral = additive ? std::max(p1 - s1, p2 - s2) : p - s;
    if (additive) s = std::min(p, 38) - integral;
    else if (integral < 32) s = std::min(s, 38 - integral);
    else if (s > 6) s = 6;
    p = 38;
  }
  return Of(Kind::Decimal, 0, std::max(p, 1), std::max(s, 0));
}

Typed Arithmetic(const std::string& op, Typed a, Typed b, const Scope& scope) {
  // The NULL constant takes the other operand's type.
  if (a.nullConstant && !b.nullConstant) return Null(b.type);
  if (b.nullConstant) return Null(a.type);
  Kind ka = a.type.kind, kb = b.type.kind;
  if (a.guid || b.guid) throw Err(8117, "Operand data type uniqueidentifier is invalid for " + op + " operator.");
  // Text + text: concatenation (CONCAT_NULL_YIELDS_NULL ON), cut at 8000 bytes unless (MAX).
  if (op == "+" && IsText(ka) && IsText(kb)) {
    const bool unicode = IsNCharacter(ka) || IsNCharacter(kb);
    const bool max = IsLargeValue(a.type) || IsLargeValue(b.type);
    if (ka == Kind::Text || ka == Kind::NText || kb == Kind::Text || kb == Kind::NText) {
      throw Err(402, "The data types " + TypeName(ka) + " and " + TypeName(kb) +
                         " are incompatible in the add operator.");
    }
    std::size_t length = static_cast<std::size_t>(a.type.length + b.type.length);
    std::string collation = CollationOf(a, b, scope, "add");
    ColumnType t = TextType(unicode, std::min<std::size_t>(length, unicode ? 4000 : 8000), max, collation);
    if (IsNull(a.value) || IsNull(b.value)) return Null(t);
    std::string text = TextOf(a.value) + TextOf(b.value);
    if (!unicode) text = ToCodePage1252Repertoire(text);
    if (!max) {
      std::u16string units = Utf8ToUtf16(text);
      if (units.size() > (unicode ? 4000u : 8000u)) units.resize(unicode ? 4000u : 8000u);
      text = Utf16ToUtf8(units);
    }
    return {t, text};
  }
  // A text with a number: the text converts to the number's type (higher precedence).
  if (IsText(ka) && IsNumber(kb)) {
    a = {b.type, ConvertTyped(a, b.type.kind == Kind::Decimal ? Of(Kind::Decimal, 0, 38, b.type.scale) : b.type,
                              scope.dates)};
    ka = a.type.kind;
  } else if (IsText(kb) && IsNumber(ka)) {
    b = {a.type, ConvertTyped(b, a.type.kind == Kind::Decimal ? Of(Kind::Decimal, 0, 38, a.type.scale) : a.type,
                              scope.dates)};
    kb = b.type.kind;
  }
  // DATETIME and SMALLDATETIME plus or minus a number of days.
  if ((ka == Kind::DateTime || ka == Kind::SmallDateTime) && IsNumber(kb) && (op == "+" || op == "-")) {
    if (IsNull(a.value) || IsNull(b.value)) return Null(a.type);
    Date2Value d = ToDate2(a, scope);
    double days = AsDouble(b.value) * (op == "-" ? -1 : 1);
    double whole = std::floor(days);
    d.days += static_cast<std::int32_t>(whole);
    d.time += static_cast<std::int64_t>(std::llround((days - whole) * static_cast<double>(kTimeUnitsPerDay)));
    if (d.time >= kTimeUnitsPerDay) {
      ++d.days;
      d.time -= kTimeUnitsPerDay;
    }
    if (d.days < 0 || d.days > DaysFromCivil(9999, 12, 31) + kDaysTo1900) throw Overflow(a.type);
    try {
      return {a.type, FromDate2(d, a.type, scope)};
    } catch (const SqlError&) {
      throw Overflow(a.type);
    }
  }
  if (!IsNumber(ka) || !IsNumber(kb) || ka == Kind::Bit || kb == Kind::Bit) {
    if (IsNumber(ka) || IsText(ka) || IsNumber(kb) || IsText(kb) || IsDateKind(ka) || IsDateKind(kb)) {
      const char* name = op == "+" ? "add" : op == "-" ? "subtract" : op == "*" ? "multiply"
                         : op == "/" ? "divide" : "modulo";
      if ((ka == Kind::Bit || kb == Kind::Bit) && IsNumber(ka) && IsNumber(kb)) {
        throw NotModelled("arithmetic over bit values");
      }
      throw Err(402, "The data types " + TypeName(ka) + " and " + TypeName(kb) + " are incompatible in the " +
                         name + " operator.");
    }
    throw NotModelled("arithmetic over " + TypeName(ka) + " and " + TypeName(kb));
  }
  if (op == "%" && (RaisesToFloat(ka) || RaisesToFloat(kb))) {
    throw Err(402, "The data types " + TypeName(ka) + " and " + TypeName(kb) +
                       " are incompatible in the modulo operator.");
  }
  const bool null = IsNull(a.value) || IsNull(b.value);
  if (RaisesToFloat(ka) || RaisesToFloat(kb)) {
    ColumnType t = Of(ka == Kind::Real && kb == Kind::Real ? Kind::Real : Kind::Float);
    if (null) return Null(t);
    double x = AsDouble(a.value), y = AsDouble(b.value), r = 0;
    if (op == "/" && y == 0) throw Err(8134, "Divide by zero error encountered.");
    r = op == "+" ? x + y : op == "-" ? x - y : op == "*" ? x * y : x / y;
    if (t.kind == Kind::Real) r = static_cast<float>(r);
    if (std::isinf(r) || std::isnan(r)) throw Overflow(t);
    return {t, r};
  }
  if (ka == Kind::Decimal || kb == Kind::Decimal) {
    ColumnType t = DecimalResult(op, a.type, b.type);
    if (null) return Null(t);
    DecimalValue x = AsDecimal(a.value), y = AsDecimal(b.value), r;
    if ((op == "/" || op == "%") && y.units == 0) throw Err(8134, "Divide by zero error encountered.");
    if (op == "+" || op == "-" || op == "%") {
      int s = std::max(x.scale, y.scale);
      x = ToScale(x, s);
      y = ToScale(y, s);
      r = {op == "+" ? x.units + y.units : op == "-" ? x.units - y.units : x.units % y.units, s};
    } else if (op == "*") {
      Int128 mx = x.units < 0 ? -x.units : x.units, my = y.units < 0 ? -y.units : y.units;
      if (DigitCount(mx) + DigitCount(my) > 38) {
        // At least this many digits before the point: beyond the result's, an overflow.
        if (DigitCount(mx) + DigitCount(my) - 1 - (x.scale + y.scale) > t.precision - t.scale) throw Overflow(t);
        throw NotModelled("decimal intermediate results beyond 38 digits");
      }
      r = {x.units * y.units, x.scale + y.scale};
    } else {
      // x / y at the result's scale plus one digit, then rounded.
      const int shift = t.scale + 1 + y.scale - x.scale;
      DecimalValue num = shift >= 0 ? ToScale({x.units, 0}, shift) : DecimalValue{x.units / Pow10(-shift), 0};
      r = {num.units / y.units, t.scale + 1};
    }
    r = ToScale(r, t.scale);
    if ((r.units < 0 ? -r.units : r.units) >= Pow10(t.precision)) throw Overflow(t);
    return {t, r};
  }
  // Integers: the type of higher precedence.
  ColumnType t = Precedence(a.type) >= Precedence(b.type) ? Of(ka) : Of(kb);
  if (null) return Null(t);
  Int128 x = std::get<std::int64_t>(a.value), y = std::get<std::int64_t>(b.value), r = 0;
  if ((op == "/" || op == "%") && y == 0) throw Err(8134, "Divide by zero error encountered.");
  r = op == "+" ? x + y : op == "-" ? x - y : op == "*" ? x * y : op == "/" ? x / y : x % y;
  if (r > *IntegerRangeMax(t.kind) || r < IntegerRangeMin(t.kind)) throw Overflow(t);
  return {t, static_cast<std::int64_t>(r)};
}

Typed Negate(const Typed& v) {
  const Kind k = v.type.kind;
  if (!IsNumber(k) || k == Kind::Bit) {
    throw Err(8117, "Operand data type " + TypeName(k) + " is invalid for minus operator.");
  }
  if (IsNull(v.value)) return v;
  if (auto* i = std::get_if<std::int64_t>(&v.value)) {
    if (-static_cast<Int128>(*i) > *IntegerRangeMax(k)) throw Overflow(v.type);
    return {v.type, -*i};
  }
  if (auto* d = std::get_if<DecimalValue>(&v.value)) return {v.type, DecimalValue{-d->units, d->scale}};
  return {v.type, -std::get<double>(v.value)};
}

// ---- comparisons ----

int Compare(const Typed& a, const Typed& b, const Scope& scope, const char* operation) {
  const Kind ka = a.type.kind, kb = b.type.kind;
  if (IsNumber(ka) && IsNumber(kb)) {
    if (RaisesToFloat(ka) || RaisesToFloat(kb)) {
      double x = AsDouble(a.value), y = AsDouble(b.value);
      return x < y ? -1 : y < x ? 1 : 0;
    }
    return CompareValues(Value(AsDecimal(a.value)), Value(AsDecimal(b.value)));
  }
  if ((IsText(ka) || a.guid) && (IsText(kb) || b.guid)) {
    return CompareValues(a.value, b.value, CollationOf(a, b, scope, operation));
  }
  // Different types: the one of lower precedence converts to the other.
  const bool toA = Precedence(a.type, a.guid) >= Precedence(b.type, b.guid);
  const Typed& high = toA ? a : b;
  const Typed& low = toA ? b : a;
  ColumnType target = high.type;
  if (high.guid) throw NotModelled("comparisons of uniqueidentifier with " + TypeName(low.type.kind));
  if (IsDateKind(target.kind) && IsDate2(target.kind)) target.scale = 7;
  if (target.kind == Kind::Decimal) target = Of(Kind::Decimal, 0, 38, target.scale);
  Value converted = ConvertTyped(low, target, scope.dates, Purpose::Compare);
  int c = 0;
  if (IsDateKind(target.kind)) {
    Date2Value x = ToDate2(high, scope), y = ToDate2({target, converted}, scope);
    c = x.days != y.days ? (x.days < y.days ? -1 : 1) : (x.time < y.time ? -1 : x.time > y.time ? 1 : 0);
  } else {
    c = CompareValues(high.value, converted, scope.collation);
  }
  return toA ? c : -c;
}

Truth FromBool(bool b) { return b ? Truth::True : Truth::False; }
Truth Not(Truth t) { return t == Truth::Unknown ? t : FromBool(t == Truth::False); }

Truth Comparison(const std::string& op, const Typed& a, const Typed& b, const Scope& scope) {
  if (IsNull(a.value) || IsNull(b.value)) return Truth::Unknown;
  const char* operation = op == "=" ? "equal to" : op == "<>" ? "not equal to" : op == "<" ? "less than"
                          : op == "<=" ? "less than or equal to" : op == ">" ? "greater than"
                                                                 : "greater than or equal to";
  int c = Compare(a, b, scope, operation);
  if (op == "=") return FromBool(c == 0);
  if (op == "<>") return FromBool(c != 0);
  if (op == "<") return FromBool(c < 0);
  if (op == "<=") return FromBool(c <= 0);
  if (op == ">") return FromBool(c > 0);
  return FromBool(c >= 0);
}

// LIKE over UTF-16 units: % any run, _ one character, [abc], [a-c], [^...], and the ESCAPE
// character; characters compare under the collation (case and accents as it folds them).
class LikeMatcher {
 public:
  LikeMatcher(std::u16string text, std::u16string pattern, std::optional<char16_t> escape, std::string collation)
      : text_(std::move(text)), pattern_(std::move(pattern)), escape_(escape), collation_(std::move(collation)) {}

  bool Match() { return MatchAt(0, 0); }

 private:
  std::string Key(char16_t c) const { return CollationKey(Utf16ToUtf8(std::u16string(1, c)), collation_); }
  bool Same(char16_t a, char16_t b) const { return a == b || (Key(a) == Key(b) && !Key(a).empty()); }

  bool MatchAt(std::size_t t, std::size_t p) {
    while (p < pattern_.size()) {
      char16_t c = pattern_[p];
      if (escape_ && c == *escape_) {
        if (p + 1 >= pattern_.size()) return false;
        if (t >= text_.size() || !Same(text_[t], pattern_[p + 1])) return false;
        ++t;
        p += 2;
        continue;
      }
      if (c == u'%') {
        for (std::size_t k = t; k <= text_.size(); ++k) {
          if (MatchAt(k, p + 1)) return true;
        }
        return false;
      }
      if (t >= text_.size()) return false;
      if (c == u'_') {
        ++t;
        ++p;
        continue;
      }
      if (c == u'[') {
        std::size_t close = pattern_.find(u']', p + 1);
        if (close != std::u16string::npos) {
          std::u16string set = pattern_.substr(p + 1, close - p - 1);
          bool negate = !set.empty() && set[0] == u'^';
          if (negate) set.erase(0, 1);
          bool in = false;
          for (std::size_t i = 0; i < set.size(); ++i) {
            if (i + 2 < set.size() && set[i + 1] == u'-') {
              std::string lo = Key(set[i]), hi = Key(set[i + 2]), key = Key(text_[t]);
              in = in || (lo <= key && key <= hi);
              i += 2;
            } else {
              in = in || Same(set[i], text_[t]);
            }
          }
          if (in == negate) return false;
          ++t;
          p = close + 1;
          continue;
        }
      }
      if (!Same(text_[t], c)) return false;
      ++t;
      ++p;
    }
    return t == text_.size();
  }

  std::u16string text_, pattern_;
  std::optional<char16_t> escape_;
  std::string collation_;
};

// A value where a text is expected, as VARCHAR of a length that holds every value of its type
// (NVARCHAR(36) for a uniqueidentifier).
Typed TextOperand(const Typed& v, const Scope& scope) {
  if (IsText(v.type.kind)) return v;
  if (v.guid) return {TextType(true, 36, false, scope.collation), v.value};
  const Kind k = v.type.kind;
  const int length = k == Kind::BigInt ? 20 : k == Kind::Int ? 11 : k == Kind::SmallInt ? 6
                     : k == Kind::TinyInt ? 3 : k == Kind::Bit ? 1 : k == Kind::Decimal ? v.type.precision + 2
                                                                                         : 30;
  return Cast(v, TextType(false, static_cast<std::size_t>(length), false, scope.collation), std::nullopt, scope);
}

Truth Like(const Expression& e, const Scope& scope) {
  Typed text = TextOperand(Evaluate(e.arguments[0], scope), scope);
  Typed pattern = TextOperand(Evaluate(e.arguments[1], scope), scope);
  std::optional<char16_t> escape;
  if (e.arguments.size() > 2) {
    Typed esc = TextOperand(Evaluate(e.arguments[2], scope), scope);
    if (IsNull(esc.value)) return Truth::Unknown;
    std::u16string units = Utf8ToUtf16(TextOf(esc.value));
    if (units.size() != 1) {
      throw Err(506, "The invalid escape character \"" + TextOf(esc.value) +
                         "\" was specified in a LIKE predicate.");
    }
    escape = units[0];
  }
  if (IsNull(text.value) || IsNull(pattern.value)) return Truth::Unknown;
  std::string collation = CollationOf(text, pattern, scope, "like");
  return FromBool(LikeMatcher(Utf8ToUtf16(TextOf(text.value)), Utf8ToUtf16(TextOf(pattern.value)), escape,
                              collation)
                      .Match());
}

Typed CaseValue(const Expression& e, const Scope& scope) {
  // The result type: the highest of every THEN and ELSE ("CASE": the highest precedence type).
  std::vector<const Expression*> results;
  std::size_t i = e.hasOperand ? 1 : 0;
  const std::size_t pairsEnd = e.arguments.size() - (e.hasElse ? 1 : 0);
  for (std::size_t k = i + 1; k < pairsEnd; k += 2) results.push_back(&e.arguments[k]);
  if (e.hasElse) results.push_back(&e.arguments.back());
  std::optional<ColumnType> type;
  bool allNull = true;
  for (const Expression* r : results) {
    if (r->kind == Expression::Kind::Literal && r->literal.kind == Literal::Kind::Null) continue;
    allNull = false;
    Scope typingScope = scope;
    typingScope.typing = true;
    ColumnType t;
    try {
      t = Evaluate(*r, typingScope).type;
    } catch (const SqlError&) {
      if (scope.typing) continue;
      throw;
    }
    type = type ? CommonType(*type, t) : t;
  }
  if (allNull) {
    throw Err(8133, "At least one of the result expressions in a CASE specification must be an expression "
                    "other than the NULL constant.");
  }
  if (!type) type = Of(Kind::Int);
  std::optional<Typed> operand;
  if (e.hasOperand) operand = Evaluate(e.arguments[0], scope);
  const Expression* chosen = e.hasElse ? &e.arguments.back() : nullptr;
  for (; i + 1 < pairsEnd; i += 2) {
    Truth t = operand ? Comparison("=", *operand, Evaluate(e.arguments[i], scope), scope)
                      : Test(e.arguments[i], scope);
    if (t == Truth::True) {
      chosen = &e.arguments[i + 1];
      break;
    }
  }
  if (!chosen) return Null(*type);
  Typed v = Evaluate(*chosen, scope);
  if (IsNull(v.value)) return Null(*type);
  if (v.type.kind == type->kind && !v.guid) return {*type, v.value};
  return {*type, ConvertTyped(v, *type, scope.dates, Purpose::Compare)};
}

void CheckArgumentCount(const FunctionEntry& f, const Expression& e) {
  const int n = static_cast<int>(e.arguments.size());
  if (n >= f.minArguments && n <= f.maxArguments) return;
  std::string lower = LowerAscii(f.name);
  if (f.minArguments == f.maxArguments) {
    throw Err(174, "The " + lower + " function requires " + std::to_string(f.minArguments) + " argument(s).");
  }
  throw Err(189, "The " + lower + " function requires " + std::to_string(f.minArguments) + " to " +
                     std::to_string(f.maxArguments) + " arguments.");
}

}  // namespace

void CheckFunctions(const Expression& e, const Scope& scope) {
  for (const auto& a : e.arguments) CheckFunctions(a, scope);
  if (e.kind != Expression::Kind::Function) return;
  if (const FunctionEntry* f = FindFunction(e.name)) {
    CheckArgumentCount(*f, e);
  } else if (!scope.session || !scope.session(e)) {
    throw Err(195, "'" + e.name + "' is not a recognized built-in function name.");
  }
}

int Precedence(const ColumnType& t, bool guid) {
  if (guid) return 9;
  switch (t.kind) {
    case Kind::DateTime2: return 40;
    case Kind::DateTime: return 39;
    case Kind::SmallDateTime: return 38;
    case Kind::Date: return 37;
    case Kind::Time: return 36;
    case Kind::Float: return 35;
    case Kind::Real: return 34;
    case Kind::Decimal: return 33;
    case Kind::BigInt: return 32;
    case Kind::Int: return 31;
    case Kind::SmallInt: return 30;
    case Kind::TinyInt: return 29;
    case Kind::Bit: return 28;
    case Kind::NText: return 27;
    case Kind::Text: return 26;
    case Kind::Image: return 25;
    case Kind::Timestamp: return 24;
    case Kind::NVarChar: return 8;
    case Kind::NChar: return 7;
    case Kind::VarChar: return 6;
    case Kind::Char: return 5;
    case Kind::VarBinary: return 4;
    case Kind::Binary: return 3;
  }
  return 0;
}

ColumnType CommonType(const ColumnType& a, const ColumnType& b) {
  const ColumnType& high = Precedence(a) >= Precedence(b) ? a : b;
  const ColumnType& low = &high == &a ? b : a;
  ColumnType t = high;
  if (t.kind == Kind::Decimal || (IsNumber(t.kind) && low.kind == Kind::Decimal && !RaisesToFloat(t.kind))) {
    auto [p1, s1] = DecimalShape(a);
    auto [p2, s2] = DecimalShape(b);
    if (t.kind == Kind::Decimal) {
      int s = std::max(s1, s2);
      t.precision = std::min(38, s + std::max(p1 - s1, p2 - s2));
      t.scale = s;
    }
  } else if (IsText(t.kind) || IsBinary(t.kind)) {
    int lowLength = IsText(low.kind) || IsBinary(low.kind) ? low.length : 30;
    t.max = a.max || b.max || (IsText(low.kind) && low.max);
    t.length = std::max(t.length, lowLength);
    if (IsNCharacter(t.kind) && t.length > 4000) t.max = true;
    if (t.max) t.length = 0;
  } else if (IsDate2(t.kind) && IsDate2(low.kind)) {
    t.scale = std::max(t.scale, low.scale);
  }
  return t;
}

Typed TypedConstant(const Literal& l, const DateSettings& dates) {
  ColumnType type;
  switch (l.kind) {
    case Literal::Kind::Null: {
      Typed null{Of(Kind::Int), Value{}};
      null.nullConstant = true;
      return null;
    }
    case Literal::Kind::Integer: {
      std::string digits = l.text[0] == '-' ? l.text.substr(1) : l.text;
      digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
      bool small = digits.size() < 10 || (digits.size() == 10 && digits <= (l.text[0] == '-' ? "2147483648" : "2147483647"));
      type = small ? Of(Kind::Int) : Of(Kind::Decimal, 0, static_cast<int>(digits.size()), 0);
      break;
    }
    case Literal::Kind::Decimal: {
      std::string t = l.text[0] == '-' ? l.text.substr(1) : l.text;
      auto dot = t.find('.');
      int scale = dot == std::string::npos ? 0 : static_cast<int>(t.size() - dot - 1);
      std::string whole = t.substr(0, dot);
      auto first = whole.find_first_not_of('0');
      whole.erase(0, first == std::string::npos ? whole.size() : first);
      type = Of(Kind::Decimal, 0, std::max(1, static_cast<int>(whole.size()) + scale), scale);
      break;
    }
    case Literal::Kind::Float: type = Of(Kind::Float); break;
    case Literal::Kind::DateTime:
      type = l.dateTime2 ? Of(Kind::DateTime2, 0, 0, 7) : Of(Kind::DateTime);
      break;
    case Literal::Kind::String: {
      std::size_t n = Utf16Length(l.text);
      type = TextType(l.unicode, n, l.max, "");
      break;
    }
    case Literal::Kind::Binary:
      type = Of(Kind::VarBinary, std::max<int>(1, static_cast<int>(l.bytes.size())));
      type.max = l.bytes.size() > 8000;
      break;
  }
  return {type, ConvertLiteral(l, type, dates)};
}

Literal LiteralOf(const Typed& v) {
  Literal l;
  const Kind k = v.type.kind;
  if (IsNull(v.value)) return l;
  if (auto* i = std::get_if<std::int64_t>(&v.value)) {
    l.kind = Literal::Kind::Integer;
    l.text = std::to_string(*i);
  } else if (auto* d = std::get_if<DecimalValue>(&v.value)) {
    l.kind = Literal::Kind::Decimal;
    l.text = DecimalText(*d);
  } else if (auto* f = std::get_if<double>(&v.value)) {
    l.kind = Literal::Kind::Float;
    char b[40];
    std::snprintf(b, sizeof b, "%.17g", *f);
    l.text = b;
  } else if (auto* s = std::get_if<std::string>(&v.value)) {
    l.kind = Literal::Kind::String;
    l.text = *s;
    l.unicode = IsNCharacter(k) || v.guid;
    l.max = v.type.max;
  } else if (auto* b = std::get_if<Bytes>(&v.value)) {
    l.kind = Literal::Kind::Binary;
    l.bytes = *b;
  } else {
    l.kind = Literal::Kind::DateTime;
    l.dateTime2 = k != Kind::DateTime && k != Kind::SmallDateTime;
    Date2Value date;
    if (auto* dt = std::get_if<DateTimeValue>(&v.value)) {
      date = {dt->days + kDaysTo1900, (static_cast<std::int64_t>(dt->ticks) * 100000 + 1) / 3};
    } else {
      date = std::get<Date2Value>(v.value);
      if (k == Kind::Time) date.days = kDaysTo1900;
    }
    l.text = Date2Text(Kind::DateTime2, 7, date);
  }
  return l;
}

Value ConvertTyped(const Typed& v, const ColumnType& type, const DateSettings& dates, Purpose purpose,
                   const ConversionTarget* target) {
  if (v.guid && !IsNull(v.value) && !IsText(type.kind)) {
    // The conversion chart: uniqueidentifier converts to the text and binary types only.
    if (IsBinary(type.kind)) throw NotModelled("the conversion of uniqueidentifier to " + TypeName(type.kind));
    throw Err(206, "Operand type clash: uniqueidentifier is incompatible with " + TypeName(type.kind));
  }
  if (v.guid && !IsNull(v.value) && !type.max && type.length < 36) {
    throw Err(8170, "Insufficient result space to convert uniqueidentifier value to char.");
  }
  if (v.type.kind == Kind::Date && IsDateKind(type.kind) && type.kind == Kind::Time) {
    throw Err(206, "Operand type clash: date is incompatible with time");
  }
  return ConvertLiteral(LiteralOf(v), type, dates, purpose, target);
}

Typed Evaluate(const Expression& e, const Scope& scope) {
  switch (e.kind) {
    case Expression::Kind::Literal: {
      Typed t = TypedConstant(e.literal, scope.dates);
      if (IsText(t.type.kind)) t.type.collation = scope.collation;
      return t;
    }
    case Expression::Kind::Column: {
      std::optional<Typed> v = scope.column ? scope.column(e.name) : std::nullopt;
      if (!v) throw SqlError(207, 16, "Invalid column name '" + e.name + "'.", ErrorScope::Batch);
      return *v;
    }
    case Expression::Kind::Variable: {
      std::optional<Literal> l = scope.session ? scope.session(e) : std::nullopt;
      if (!l) throw NotModelled("the variable " + e.name);
      return TypedConstant(*l, scope.dates);
    }
    case Expression::Kind::CountStar: throw NotModelled("COUNT(*) here");
    case Expression::Kind::Function: {
      const FunctionEntry* f = FindFunction(e.name);
      if (!f) {
        std::optional<Literal> l = scope.session ? scope.session(e) : std::nullopt;
        if (l) return TypedConstant(*l, scope.dates);
        throw Err(195, "'" + e.name + "' is not a recognized built-in function name.");
      }
      CheckArgumentCount(*f, e);
      Call call{e, scope, std::vector<std::optional<Typed>>(e.arguments.size())};
      return f->run(call);
    }
    case Expression::Kind::Concat: {
      Typed out = Evaluate(e.arguments[0], scope);
      for (std::size_t i = 1; i < e.arguments.size(); ++i) out = Arithmetic("+", out, Evaluate(e.arguments[i], scope), scope);
      return out;
    }
    case Expression::Kind::Cast:
    case Expression::Kind::Convert: {
      ColumnType to = CastType(e);
      std::optional<int> style;
      if (e.arguments.size() > 1) {
        Typed s = Evaluate(e.arguments[1], scope);
        if (IsNull(s.value)) return Null(to);
        if (!IsInteger(s.type.kind)) throw NotModelled("a CONVERT style that is not an integer");
        style = static_cast<int>(std::get<std::int64_t>(s.value));
      }
      return Cast(Evaluate(e.arguments[0], scope), to, style, scope);
    }
    case Expression::Kind::Negate: return Negate(Evaluate(e.arguments[0], scope));
    case Expression::Kind::Arithmetic:
      return Arithmetic(e.name, Evaluate(e.arguments[0], scope), Evaluate(e.arguments[1], scope), scope);
    case Expression::Kind::Case: return CaseValue(e, scope);
    default: break;
  }
  // The parser lets no search condition stand where a value is expected.
  throw NotModelled("a search condition as a value");
}

Truth Test(const Expression& e, const Scope& scope) {
  switch (e.kind) {
    case Expression::Kind::Compare:
      return Comparison(e.name, Evaluate(e.arguments[0], scope), Evaluate(e.arguments[1], scope), scope);
    case Expression::Kind::And: {
      Truth a = Test(e.arguments[0], scope);
      if (a == Truth::False) return a;
      Truth b = Test(e.arguments[1], scope);
      if (b == Truth::False) return b;
      return a == Truth::True && b == Truth::True ? Truth::True : Truth::Unknown;
    }
    case Expression::Kind::Or: {
      Truth a = Test(e.arguments[0], scope);
      if (a == Truth::True) return a;
      Truth b = Test(e.arguments[1], scope);
      if (b == Truth::True) return b;
      return a == Truth::False && b == Truth::False ? Truth::False : Truth::Unknown;
    }
    case Expression::Kind::Not: return Not(Test(e.arguments[0], scope));
    case Expression::Kind::IsNull: {
      bool null = IsNull(Evaluate(e.arguments[0], scope).value);
      return FromBool(null != e.negated);
    }
    case Expression::Kind::In: {
      // x IN (a, b) is x = a OR x = b.
      Typed x = Evaluate(e.arguments[0], scope);
      Truth result = Truth::False;
      for (std::size_t i = 1; i < e.arguments.size() && result != Truth::True; ++i) {
        Truth t = Comparison("=", x, Evaluate(e.arguments[i], scope), scope);
        if (t == Truth::True || result == Truth::False) result = t;
      }
      return e.negated ? Not(result) : result;
    }
    case Expression::Kind::Between: {
      Typed x = Evaluate(e.arguments[0], scope);
      Truth low = Comparison(">=", x, Evaluate(e.arguments[1], scope), scope);
      Truth high = Comparison("<=", x, Evaluate(e.arguments[2], scope), scope);
      Truth both = low == Truth::False || high == Truth::False ? Truth::False
                   : low == Truth::True && high == Truth::True ? Truth::True
                                                               : Truth::Unknown;
      return e.negated ? Not(both) : both;
    }
    case Expression::Kind::Like: {
      Truth t = Like(e, scope);
      return e.negated ? Not(t) : t;
    }
    default: break;
  }
  throw NotModelled("a value as a search condition");
}

bool IsDeterministic(const Expression& e, const Scope& scope) {
  for (const auto& a : e.arguments) {
    if (!IsDeterministic(a, scope)) return false;
  }
  switch (e.kind) {
    case Expression::Kind::Variable: return false;
    case Expression::Kind::Function: {
      const FunctionEntry* f = FindFunction(e.name);
      if (!f) return false;
      // DATEPART(weekday, ...) and DATEPART(week, ...) depend on SET DATEFIRST.
      if (e.name == "DATEPART" && !e.arguments.empty()) {
        std::string part = UpperAscii(e.arguments[0].name);
        if (part == "WEEKDAY" || part == "DW" || part == "W" || part == "WEEK" || part == "WK" || part == "WW") return false;
      }
      return f->deterministic;
    }
    case Expression::Kind::Cast:
    case Expression::Kind::Convert: {
      // A date converted to or from text is nondeterministic unless a deterministic style is
      // given: CAST, which takes none, always is.
      Scope typing = scope;
      typing.typing = true;
      Kind from = Evaluate(e.arguments[0], typing).type.kind;
      Kind to = CastType(e).kind;
      bool oldDate = from == Kind::DateTime || from == Kind::SmallDateTime || to == Kind::DateTime ||
                     to == Kind::SmallDateTime;
      bool text = IsText(from) || IsText(to);
      if (!oldDate || !text) return true;
      if (e.kind == Expression::Kind::Cast || e.arguments.size() < 2) return false;
      const Expression& style = e.arguments[1];
      if (style.kind != Expression::Kind::Literal || style.literal.kind != Literal::Kind::Integer) return false;
      return DeterministicStyle(std::stoi(style.literal.text));
    }
    default: return true;
  }
}

void ForEachColumn(const Expression& e, const std::function<void(const std::string&)>& f) {
  if (e.kind == Expression::Kind::Column) f(e.name);
  bool datePart = e.kind == Expression::Kind::Function &&
                  (e.name == "DATEADD" || e.name == "DATEPART" || e.name == "DATENAME" || e.name == "DATEDIFF");
  for (std::size_t i = datePart ? 1 : 0; i < e.arguments.size(); ++i) ForEachColumn(e.arguments[i], f);
}

std::string DefinitionText(const Expression& e) {
  auto join = [&](const char* separator, std::size_t from) {
    std::string out;
    for (std::size_t i = from; i < e.arguments.size(); ++i) {
      if (i > from) out += separator;
      out += DefinitionText(e.arguments[i]);
    }
    return out;
  };
  switch (e.kind) {
    case Expression::Kind::Literal: {
      const Literal& l = e.literal;
      if (l.kind == Literal::Kind::Null) return "NULL";
      if (l.kind == Literal::Kind::String) {
        std::string quoted;
        for (char c : l.text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
        return (l.unicode ? "N'" : "'") + quoted + "'";
      }
      if (l.kind == Literal::Kind::Binary) {
        static const char* kHex = "0123456789ABCDEF";
        std::string out = "0x";
        for (auto b : l.bytes) {
          out += kHex[b >> 4];
          out += kHex[b & 15];
        }
        return out;
      }
      return "(" + l.text + ")";
    }
    case Expression::Kind::Column: return "[" + e.name + "]";
    case Expression::Kind::Variable: return e.name;
    case Expression::Kind::CountStar: return "count(*)";
    case Expression::Kind::Function: {
      std::string name = LowerAscii(e.name);
      if (e.written == "CURRENT_TIMESTAMP") return "getdate()";
      bool datePart = e.name == "DATEADD" || e.name == "DATEPART";
      std::string args;
      for (std::size_t i = 0; i < e.arguments.size(); ++i) {
        if (i > 0) args += ",";
        args += datePart && i == 0 ? LowerAscii(e.arguments[0].name) : DefinitionText(e.arguments[i]);
      }
      return name + "(" + args + ")";
    }
    case Expression::Kind::Concat: return "(" + join("+", 0) + ")";
    case Expression::Kind::Cast:
    case Expression::Kind::Convert: {
      std::string type = LowerAscii(e.name);
      if (e.castMax) type += "(max)";
      else if (!e.typeArguments.empty()) {
        type += "(" + std::to_string(e.typeArguments[0]);
        if (e.typeArguments.size() > 1) type += "," + std::to_string(e.typeArguments[1]);
        type += ")";
      }
      if (e.kind == Expression::Kind::Cast) return "CONVERT(" + type + "," + DefinitionText(e.arguments[0]) + ")";
      return "CONVERT(" + type + "," + join(",", 0) + ")";
    }
    case Expression::Kind::Negate: return "(-" + DefinitionText(e.arguments[0]) + ")";
    case Expression::Kind::Arithmetic:
      return "(" + DefinitionText(e.arguments[0]) + e.name + DefinitionText(e.arguments[1]) + ")";
    case Expression::Kind::Case: {
      std::string out = "case";
      std::size_t i = 0;
      if (e.hasOperand) out += " " + DefinitionText(e.arguments[i++]);
      const std::size_t end = e.arguments.size() - (e.hasElse ? 1 : 0);
      for (; i + 1 < end; i += 2) {
        out += " when " + DefinitionText(e.arguments[i]) + " then " + DefinitionText(e.arguments[i + 1]);
      }
      if (e.hasElse) out += " else " + DefinitionText(e.arguments.back());
      return out + " end";
    }
    case Expression::Kind::Compare:
      return DefinitionText(e.arguments[0]) + e.name + DefinitionText(e.arguments[1]);
    case Expression::Kind::And: return DefinitionText(e.arguments[0]) + " AND " + DefinitionText(e.arguments[1]);
    case Expression::Kind::Or:
      return "(" + DefinitionText(e.arguments[0]) + " OR " + DefinitionText(e.arguments[1]) + ")";
    case Expression::Kind::Not: return "NOT " + DefinitionText(e.arguments[0]);
    case Expression::Kind::IsNull:
      return DefinitionText(e.arguments[0]) + (e.negated ? " IS NOT NULL" : " IS NULL");
    case Expression::Kind::In:
      return DefinitionText(e.arguments[0]) + (e.negated ? " NOT IN (" : " IN (") + join(",", 1) + ")";
    case Expression::Kind::Between:
      return DefinitionText(e.arguments[0]) + (e.negated ? " NOT BETWEEN " : " BETWEEN ") +
             DefinitionText(e.arguments[1]) + " AND " + DefinitionText(e.arguments[2]);
    case Expression::Kind::Like:
      return DefinitionText(e.arguments[0]) + (e.negated ? " NOT LIKE " : " LIKE ") + DefinitionText(e.arguments[1]) +
             (e.arguments.size() > 2 ? " ESCAPE " + DefinitionText(e.arguments[2]) : "");
  }
  return e.written;
}

// ---- the built-in functions, one entry each ----

namespace {

using Clock = std::chrono::system_clock;

// The server's clock in UTC (this server has no time zone of its own): local and UTC functions
// give the same instant.
Date2Value Now() {
  const auto now = std::chrono::time_point_cast<std::chrono::nanoseconds>(Clock::now());
  const auto units = now.time_since_epoch().count() / 100;  // 100 ns since 1970-01-01
  const std::int64_t days = units / kTimeUnitsPerDay;
  return {static_cast<std::int32_t>(days + DaysFromCivil(1970, 1, 1) + kDaysTo1900), units % kTimeUnitsPerDay};
}

Typed DateTimeNow(Call& c) { return {Of(Kind::DateTime), FromDate2(Now(), Of(Kind::DateTime), c.scope)}; }
Typed DateTime2Now(Call& c) {
  ColumnType t = Of(Kind::DateTime2, 0, 0, 7);
  return {t, FromDate2(Now(), t, c.scope)};
}

Typed NewId(Call&) {
  static std::mt19937_64 random{std::random_device{}()};
  static const char* kHex = "0123456789ABCDEF";
  std::string text;
  for (int i = 0; i < 32; ++i) {
    if (i == 8 || i == 12 || i == 16 || i == 20) text += '-';
    int digit = static_cast<int>(random() & 15);
    if (i == 12) digit = 4;                   // version 4
    if (i == 16) digit = 8 | (digit & 3);     // variant
    text += kHex[digit];
  }
  Typed t{Of(Kind::NChar, 36), text};
  t.guid = true;
  return t;
}

// A text argument: texts as they are, other values converted to NVARCHAR.
const Typed& TextArg(Call& c, std::size_t i) {
  const Typed& v = c.Arg(i);
  if (IsText(v.type.kind) || IsNull(v.value)) return v;
  c.values[i] = TextOperand(v, c.scope);
  return *c.values[i];
}

std::int64_t IntArg(Call& c, std::size_t i, bool& null) {
  const Typed& v = c.Arg(i);
  null = IsNull(v.value);
  if (null) return 0;
  return std::get<std::int64_t>(ConvertTyped(v, Of(Kind::BigInt), c.scope.dates));
}

// The varying type of a text function's result: VARCHAR or NVARCHAR of the argument's length.
Typed SameText(const Typed& v, std::u16string units) {
  ColumnType t = v.type;
  if (t.kind == Kind::Char) t.kind = Kind::VarChar;
  if (t.kind == Kind::NChar) t.kind = Kind::NVarChar;
  if (t.kind == Kind::Text) { t.kind = Kind::VarChar; t.max = true; }
  if (t.kind == Kind::NText) { t.kind = Kind::NVarChar; t.max = true; }
  if (IsNull(v.value)) return Null(t);
  return {t, Utf16ToUtf8(units)};
}

std::u16string Units(const Typed& v) { return Utf8ToUtf16(TextOf(v.value)); }

// Case mapping of the Latin-1 letters (the repertoire of code page 1252's letters that change).
char16_t Lower(char16_t c) {
  if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return static_cast<char16_t>(c + 32);
  return c;
}
char16_t Upper(char16_t c) {
  if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<char16_t>(c - 32);
  return c;
}

Typed LowerFn(Call& c) {
  const Typed& v = TextArg(c, 0);
  if (IsNull(v.value)) return SameText(v, {});
  std::u16string u = Units(v);
  for (auto& ch : u) ch = Lower(ch);
  return SameText(v, u);
}
Typed UpperFn(Call& c) {
  const Typed& v = TextArg(c, 0);
  if (IsNull(v.value)) return SameText(v, {});
  std::u16string u = Units(v);
  for (auto& ch : u) ch = Upper(ch);
  return SameText(v, u);
}

// LEN: characters without the trailing blanks; BIGINT for the (MAX) types.
Typed LenFn(Call& c) {
  const Typed& v = TextArg(c, 0);
  ColumnType t = Of(IsLargeValue(v.type) ? Kind::BigInt : Kind::Int);
  if (IsNull(v.value)) return Null(t);
  std::u16string u = Units(v);
  while (!u.empty() && u.back() == u' ') u.pop_back();
  return {t, static_cast<std::int64_t>(u.size())};
}

// DATALENGTH: the bytes the value takes (two for each UTF-16 unit of the Unicode types).
Typed DataLengthFn(Call& c) {
  const Typed& v = c.Arg(0);
  ColumnType t = Of(IsLargeValue(v.type) ? Kind::BigInt : Kind::Int);
  if (IsNull(v.value)) return Null(t);
  const Kind k = v.type.kind;
  std::int64_t n = 0;
  if (v.guid) n = 16;
  else if (IsNCharacter(k)) n = 2 * static_cast<std::int64_t>(Units(v).size());
  else if (IsCharacter(k)) n = static_cast<std::int64_t>(ToCodePage1252(TextOf(v.value)).size());
  else if (auto* b = std::get_if<Bytes>(&v.value)) n = static_cast<std::int64_t>(b->size());
  else {
    switch (k) {
      case Kind::TinyInt: case Kind::Bit: n = 1; break;
      case Kind::SmallInt: n = 2; break;
      case Kind::Int: case Kind::Real: case Kind::SmallDateTime: n = 4; break;
      case Kind::Decimal: n = v.type.precision <= 9 ? 5 : v.type.precision <= 19 ? 9 : v.type.precision <= 28 ? 13 : 17; break;
      case Kind::Date: n = 3; break;
      case Kind::Time: n = TimeBytes(v.type.scale); break;
      case Kind::DateTime2: n = TimeBytes(v.type.scale) + 3; break;
      default: n = 8;
    }
  }
  return {t, n};
}

Typed Part(Call& c, bool left) {
  const Typed& v = TextArg(c, 0);
  bool null = false;
  std::int64_t n = IntArg(c, 1, null);
  if (IsNull(v.value) || null) return SameText(v, {});
  if (n < 0) {
    throw Err(536, std::string("Invalid length parameter passed to the ") + (left ? "left" : "right") + " function.");
  }
  std::u16string u = Units(v);
  std::size_t k = std::min<std::size_t>(u.size(), static_cast<std::size_t>(n));
  return SameText(v, left ? u.substr(0, k) : u.substr(u.size() - k));
}
Typed LeftFn(Call& c) { return Part(c, true); }
Typed RightFn(Call& c) { return Part(c, false); }

Typed SubstringFn(Call& c) {
  const Typed& v = TextArg(c, 0);
  bool nullStart = false, nullLength = false;
  std::int64_t start = IntArg(c, 1, nullStart), length = IntArg(c, 2, nullLength);
  if (IsNull(v.value) || nullStart || nullLength) return SameText(v, {});
  if (length < 0) throw Err(537, "Invalid length parameter passed to the substring function.");
  std::u16string u = Units(v);
  // Characters start .. start + length - 1, of those that exist (1-based).
  std::int64_t from = std::max<std::int64_t>(start, 1), to = std::min<std::int64_t>(start + length - 1,
                                                                                    static_cast<std::int64_t>(u.size()));
  if (to < from) return SameText(v, {});
  return SameText(v, u.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(to - from + 1)));
}

Typed Trim(Call& c, bool leading, bool trailing) {
  const Typed& v = TextArg(c, 0);
  if (IsNull(v.value)) return SameText(v, {});
  std::u16string u = Units(v);
  std::size_t b = 0, e = u.size();
  while (leading && b < e && u[b] == u' ') ++b;
  while (trailing && e > b && u[e - 1] == u' ') --e;
  return SameText(v, u.substr(b, e - b));
}
Typed LtrimFn(Call& c) { return Trim(c, true, false); }
Typed RtrimFn(Call& c) { return Trim(c, false, true); }
Typed TrimFn(Call& c) { return Trim(c, true, true); }

// REPLACE: every match of the pattern under the collation, left to right.
Typed ReplaceFn(Call& c) {
  const Typed& v = TextArg(c, 0);
  const Typed& find = TextArg(c, 1);
  const Typed& with = TextArg(c, 2);
  const bool unicode = IsNCharacter(v.type.kind) || IsNCharacter(find.type.kind) || IsNCharacter(with.type.kind);
  const bool max = IsLargeValue(v.type);
  ColumnType t = TextType(unicode, unicode ? 4000 : 8000, max, v.type.collation);
  if (IsNull(v.value) || IsNull(find.value) || IsNull(with.value)) return Null(t);
  std::u16string text = Units(v), pattern = Units(find), replacement = Units(with), out;
  const std::string collation = CollationOf(v, find, c.scope, "replace");
  auto key = [&](std::u16string_view s) { return CollationKey(Utf16ToUtf8(std::u16string(s)), collation); };
  for (std::size_t i = 0; i < text.size();) {
    if (!pattern.empty() && i + pattern.size() <= text.size() &&
        key(std::u16string_view(text).substr(i, pattern.size())) == key(pattern) &&
        (text.substr(i, pattern.size()) == pattern || !key(pattern).empty())) {
      out += replacement;
      i += pattern.size();
    } else {
      out += text[i++];
    }
  }
  // "If string_expression isn't of type varchar(max) or nvarchar(max), REPLACE truncates the
  // return value at 8,000 bytes."
  if (!max && out.size() > (unicode ? 4000u : 8000u)) out.resize(unicode ? 4000u : 8000u);
  return {t, Utf16ToUtf8(out)};
}

// CONCAT: NULL as an empty text; NVARCHAR when one argument is Unicode.
Typed ConcatFn(Call& c) {
  bool unicode = false, max = false;
  std::size_t length = 0;
  std::string text;
  for (std::size_t i = 0; i < c.Count(); ++i) {
    const Typed& v = TextArg(c, i);
    unicode = unicode || IsNCharacter(v.type.kind) || v.guid;
    max = max || IsLargeValue(v.type);
    length += static_cast<std::size_t>(v.type.length);
    if (!IsNull(v.value)) text += TextOf(v.value);
  }
  if (!unicode) text = ToCodePage1252Repertoire(text);
  ColumnType t = TextType(unicode, std::min<std::size_t>(length, unicode ? 4000 : 8000), max, c.scope.collation);
  if (!max) {
    std::u16string u = Utf8ToUtf16(text);
    if (u.size() > (unicode ? 4000u : 8000u)) u.resize(unicode ? 4000u : 8000u);
    text = Utf16ToUtf8(u);
  }
  return {t, text};
}

// COALESCE: the first value that is not NULL, typed as the highest of all arguments.
Typed CoalesceFn(Call& c) {
  std::optional<ColumnType> type;
  for (std::size_t i = 0; i < c.Count(); ++i) {
    const Expression& a = c.e.arguments[i];
    if (a.kind == Expression::Kind::Literal && a.literal.kind == Literal::Kind::Null) continue;
    Scope typing = c.scope;
    typing.typing = true;
    ColumnType t = Evaluate(a, typing).type;
    type = type ? CommonType(*type, t) : t;
  }
  if (!type) {
    throw Err(4127, "At least one of the arguments to COALESCE must be an expression that is not the NULL constant.");
  }
  for (std::size_t i = 0; i < c.Count(); ++i) {
    const Typed& v = c.Arg(i);
    if (!IsNull(v.value)) return {*type, ConvertTyped(v, *type, c.scope.dates, Purpose::Compare)};
  }
  return Null(*type);
}

// ISNULL: the first argument's type; the replacement converted to it (texts cut to its length).
Typed IsNullFn(Call& c) {
  const Typed& v = c.Arg(0);
  if (!IsNull(v.value)) return v;
  const Typed& r = c.Arg(1);
  if (IsNull(r.value)) return Null(v.type);
  if (IsText(v.type.kind) && IsText(r.type.kind) && !IsLargeValue(v.type)) {
    std::u16string u = Units(r);
    if (u.size() > static_cast<std::size_t>(v.type.length)) u.resize(static_cast<std::size_t>(v.type.length));
    return {v.type, ConvertTyped({r.type, Utf16ToUtf8(u)}, v.type, c.scope.dates)};
  }
  return {v.type, ConvertTyped(r, v.type, c.scope.dates)};
}

Typed NullIfFn(Call& c) {
  const Typed& a = c.Arg(0);
  if (Comparison("=", a, c.Arg(1), c.scope) == Truth::True) return Null(a.type);
  return a;
}

Typed IifFn(Call& c) {
  // IIF(b, x, y) is CASE WHEN b THEN x ELSE y END.
  Expression e;
  e.kind = Expression::Kind::Case;
  e.hasElse = true;
  e.arguments = c.e.arguments;
  return CaseValue(e, c.scope);
}

const Typed& NumberArg(Call& c, std::size_t i) {
  const Typed& v = c.Arg(i);
  if (!IsNumber(v.type.kind) || v.type.kind == Kind::Bit) {
    if (IsText(v.type.kind)) {
      c.values[i] = Typed{Of(Kind::Float), IsNull(v.value) ? Value{} : ConvertTyped(v, Of(Kind::Float), c.scope.dates)};
      return *c.values[i];
    }
    throw Err(8116, "Argument data type " + TypeName(v.type.kind) + " is invalid for argument " +
                        std::to_string(i + 1) + " of " + LowerAscii(c.e.name) + " function.");
  }
  return v;
}

Typed AbsFn(Call& c) {
  const Typed& v = NumberArg(c, 0);
  if (IsNull(v.value)) return v;
  bool negative = std::holds_alternative<std::int64_t>(v.value) ? std::get<std::int64_t>(v.value) < 0
                  : std::holds_alternative<DecimalValue>(v.value) ? std::get<DecimalValue>(v.value).units < 0
                                                                   : std::get<double>(v.value) < 0;
  return negative ? Negate(v) : v;
}

// Rounds (or with `truncate` cuts) a number to `digits` after the point (before it when negative).
Typed RoundTo(const Typed& v, std::int64_t digits, bool truncate, int resultScale) {
  ColumnType t = v.type;
  if (t.kind == Kind::Decimal) t.scale = resultScale;
  if (IsNull(v.value)) return Null(t);
  if (auto* f = std::get_if<double>(&v.value)) {
    double scale = std::pow(10.0, static_cast<double>(digits));
    double x = *f * scale;
    x = truncate ? std::trunc(x) : std::round(x);
    return {t, x / scale};
  }
  DecimalValue d = AsDecimal(v.value);
  if (digits < d.scale) {
    Int128 div = Pow10(static_cast<int>(std::min<std::int64_t>(d.scale - digits, 38)));
    Int128 q = d.units / div, r = d.units % div;
    if (!truncate && (r < 0 ? -r : r) * 2 >= div) q += d.units < 0 ? -1 : 1;
    d.units = q * div;
  }
  d = ToScale(d, resultScale);
  if (t.kind == Kind::Decimal) {
    if ((d.units < 0 ? -d.units : d.units) >= Pow10(t.precision)) throw Overflow(t);
    return {t, d};
  }
  Int128 whole = d.units / Pow10(d.scale);
  if (whole > *IntegerRangeMax(t.kind) || whole < IntegerRangeMin(t.kind)) throw Overflow(t);
  return {t, static_cast<std::int64_t>(whole)};
}

Typed RoundFn(Call& c) {
  const Typed& v = NumberArg(c, 0);
  bool null = false, nullFunction = false;
  std::int64_t digits = IntArg(c, 1, null);
  std::int64_t function = c.Count() > 2 ? IntArg(c, 2, nullFunction) : 0;
  if (null) return Null(v.type);
  return RoundTo(v, digits, function != 0, v.type.scale);
}

Typed Whole(Call& c, bool up) {
  const Typed& v = NumberArg(c, 0);
  ColumnType t = v.type;
  if (t.kind == Kind::Decimal) t.scale = 0;
  if (IsNull(v.value)) return Null(t);
  if (auto* f = std::get_if<double>(&v.value)) return {t, up ? std::ceil(*f) : std::floor(*f)};
  if (std::holds_alternative<std::int64_t>(v.value)) return v;
  DecimalValue d = std::get<DecimalValue>(v.value);
  Int128 div = Pow10(d.scale), q = d.units / div;
  if (d.units % div != 0 && (up ? d.units > 0 : d.units < 0)) q += up ? 1 : -1;
  return {t, DecimalValue{q, 0}};
}
Typed FloorFn(Call& c) { return Whole(c, false); }
Typed CeilingFn(Call& c) { return Whole(c, true); }

// ---- dates ----

// The date part names of DATEADD and DATEPART, with their abbreviations.
std::string DatePartName(const Expression& e, const char* function) {
  const std::string w = e.kind == Expression::Kind::Column ? UpperAscii(e.name) : "";
  static const std::pair<const char*, const char*> kParts[] = {
      {"YEAR", "YEAR"}, {"YY", "YEAR"}, {"YYYY", "YEAR"}, {"QUARTER", "QUARTER"}, {"QQ", "QUARTER"},
      {"Q", "QUARTER"}, {"MONTH", "MONTH"}, {"MM", "MONTH"}, {"M", "MONTH"}, {"DAYOFYEAR", "DAYOFYEAR"},
      {"DY", "DAYOFYEAR"}, {"Y", "DAYOFYEAR"}, {"DAY", "DAY"}, {"DD", "DAY"}, {"D", "DAY"},
      {"WEEK", "WEEK"}, {"WK", "WEEK"}, {"WW", "WEEK"}, {"WEEKDAY", "WEEKDAY"}, {"DW", "WEEKDAY"},
      {"W", "WEEKDAY"}, {"HOUR", "HOUR"}, {"HH", "HOUR"}, {"MINUTE", "MINUTE"}, {"MI", "MINUTE"},
      {"N", "MINUTE"}, {"SECOND", "SECOND"}, {"SS", "SECOND"}, {"S", "SECOND"},
      {"MILLISECOND", "MILLISECOND"}, {"MS", "MILLISECOND"}, {"MICROSECOND", "MICROSECOND"},
      {"MCS", "MICROSECOND"}, {"NANOSECOND", "NANOSECOND"}, {"NS", "NANOSECOND"}};
  for (const auto& [name, part] : kParts) {
    if (w == name) return part;
  }
  throw Err(155, "'" + (e.written.empty() ? e.name : e.written) + "' is not a recognized " + function + " option.");
}

bool TimePart(const std::string& part) {
  return part == "HOUR" || part == "MINUTE" || part == "SECOND" || part == "MILLISECOND" ||
         part == "MICROSECOND" || part == "NANOSECOND";
}

// A date argument: a date type as it is, a text or a number as DATETIME (the type a text
// converts to in DATEADD and DATEPART).
Typed DateArg(Call& c, std::size_t i) {
  const Typed& v = c.Arg(i);
  if (IsDateKind(v.type.kind)) return v;
  if (IsNull(v.value)) return Null(Of(Kind::DateTime));
  if (IsText(v.type.kind)) {
    // A text in DATEADD and DATEPART: DATETIME2 when DATETIME cannot hold it.
    try {
      return {Of(Kind::DateTime), ConvertTyped(v, Of(Kind::DateTime), c.scope.dates)};
    } catch (const SqlError&) {
      ColumnType t = Of(Kind::DateTime2, 0, 0, 7);
      return {t, ConvertTyped(v, t, c.scope.dates)};
    }
  }
  if (IsNumber(v.type.kind)) return {Of(Kind::DateTime), ConvertTyped(v, Of(Kind::DateTime), c.scope.dates)};
  throw Err(8116, "Argument data type " + TypeName(v.type.kind) + " is invalid for argument " +
                      std::to_string(i + 1) + " of " + LowerAscii(c.e.name) + " function.");
}

std::int64_t DatePartOf(const Typed& v, const std::string& part, const Scope& scope) {
  const Kind k = v.type.kind;
  if ((k == Kind::Date && TimePart(part)) || (k == Kind::Time && !TimePart(part))) {
    throw Err(9810, "The datepart " + LowerAscii(part) + " is not supported by date function datepart for data type " +
                        TypeName(k) + ".");
  }
  Date2Value d = ToDate2(v, scope);
  int y = 0, m = 0, day = 0;
  CivilFromDays(d.days - kDaysTo1900, y, m, day);
  if (k == Kind::Time) y = 1900, m = 1, day = 1;
  const std::int64_t seconds = d.time / 10000000;
  const std::int64_t dayOfYear = DaysFromCivil(y, m, day) - DaysFromCivil(y, 1, 1) + 1;
  // SET DATEFIRST 7 (us_english): Sunday is day 1 of the week; 1900-01-01 was a Monday.
  auto weekday = [&](std::int64_t daysFrom1900) { return ((daysFrom1900 % 7 + 7) % 7 + 1) % 7 + 1; };
  const std::int64_t days1900 = DaysFromCivil(y, m, day);
  if (part == "YEAR") return y;
  if (part == "QUARTER") return (m - 1) / 3 + 1;
  if (part == "MONTH") return m;
  if (part == "DAYOFYEAR") return dayOfYear;
  if (part == "DAY") return day;
  if (part == "WEEKDAY") return weekday(days1900);
  if (part == "WEEK") return (dayOfYear - 1 + weekday(DaysFromCivil(y, 1, 1)) - 1) / 7 + 1;
  if (part == "HOUR") return seconds / 3600;
  if (part == "MINUTE") return seconds / 60 % 60;
  if (part == "SECOND") return seconds % 60;
  if (part == "MILLISECOND") return d.time % 10000000 / 10000;
  if (part == "MICROSECOND") return d.time % 10000000 / 10;
  return d.time % 10000000 * 100;
}

Typed DatePartFn(Call& c) {
  std::string part = DatePartName(c.e.arguments[0], "datepart");
  Typed v = DateArg(c, 1);
  if (IsNull(v.value)) return Null(Of(Kind::Int));
  return {Of(Kind::Int), DatePartOf(v, part, c.scope)};
}
Typed YearFn(Call& c) {
  Typed v = DateArg(c, 0);
  if (IsNull(v.value)) return Null(Of(Kind::Int));
  return {Of(Kind::Int), DatePartOf(v, "YEAR", c.scope)};
}
Typed MonthFn(Call& c) {
  Typed v = DateArg(c, 0);
  if (IsNull(v.value)) return Null(Of(Kind::Int));
  return {Of(Kind::Int), DatePartOf(v, "MONTH", c.scope)};
}
Typed DayFn(Call& c) {
  Typed v = DateArg(c, 0);
  if (IsNull(v.value)) return Null(Of(Kind::Int));
  return {Of(Kind::Int), DatePartOf(v, "DAY", c.scope)};
}

// DATEADD: months and years keep the day unless the month is shorter (then its last day);
// the result has the date argument's type; 517 beyond its range.
Typed DateAddFn(Call& c) {
  std::string part = DatePartName(c.e.arguments[0], "dateadd");
  Typed v = DateArg(c, 2);
  bool null = false;
  const Typed& n = c.Arg(1);
  if (!IsNumber(n.type.kind) && !IsText(n.type.kind)) {
    throw Err(8116, "Argument data type " + TypeName(n.type.kind) + " is invalid for argument 2 of dateadd function.");
  }
  std::int64_t number = IntArg(c, 1, null);
  if (IsNull(v.value) || null) return Null(v.type);
  const Kind k = v.type.kind;
  if ((k == Kind::Date && TimePart(part)) || (k == Kind::Time && !TimePart(part)) || part == "NANOSECOND") {
    if (part == "NANOSECOND" && k != Kind::Date) throw NotModelled("DATEADD(nanosecond, ...)");
    throw Err(9810, "The datepart " + LowerAscii(part) + " is not supported by date function dateadd for data type " +
                        TypeName(k) + ".");
  }
  Date2Value d = ToDate2(v, c.scope);
  auto overflow = [&]() {
    return Err(517, "Adding a value to a '" + TypeName(k) + "' column caused an overflow.");
  };
  if (part == "YEAR" || part == "QUARTER" || part == "MONTH") {
    std::int64_t months = number * (part == "YEAR" ? 12 : part == "QUARTER" ? 3 : 1);
    int y = 0, m = 0, day = 0;
    CivilFromDays(d.days - kDaysTo1900, y, m, day);
    std::int64_t total = static_cast<std::int64_t>(y) * 12 + (m - 1) + months;
    if (total < 12 || total >= 10000 * 12) throw overflow();
    int ny = static_cast<int>(total / 12), nm = static_cast<int>(total % 12) + 1;
    while (!ValidDate(ny, nm, day)) --day;
    d.days = DaysFromCivil(ny, nm, day) + kDaysTo1900;
  } else if (part == "DAY" || part == "DAYOFYEAR" || part == "WEEKDAY" || part == "WEEK") {
    d.days = static_cast<std::int32_t>(std::clamp<std::int64_t>(d.days + number * (part == "WEEK" ? 7 : 1), -1, 4000000));
  } else {
    const std::int64_t unit = part == "HOUR" ? 36000000000LL : part == "MINUTE" ? 600000000LL
                              : part == "SECOND" ? 10000000LL : part == "MILLISECOND" ? 10000LL : 10LL;
    Int128 total = static_cast<Int128>(d.days) * kTimeUnitsPerDay + d.time + static_cast<Int128>(number) * unit;
    if (k == Kind::Time) {
      Int128 t = total % kTimeUnitsPerDay;
      if (t < 0) t += kTimeUnitsPerDay;
      d.time = static_cast<std::int64_t>(t);  // TIME wraps around midnight
    } else {
      if (total < 0) throw overflow();
      d.days = static_cast<std::int32_t>(std::min<Int128>(total / kTimeUnitsPerDay, 4000000));
      d.time = static_cast<std::int64_t>(total % kTimeUnitsPerDay);
    }
  }
  if (k != Kind::Time && (d.days < 0 || d.days > DaysFromCivil(9999, 12, 31) + kDaysTo1900)) throw overflow();
  try {
    return {v.type, FromDate2(d, v.type, c.scope)};
  } catch (const SqlError&) {
    throw overflow();
  }
}

// ---- JSON (ISJSON, JSON_VALUE in lax mode) ----

struct Json {
  enum class Type { Null, Boolean, Number, String, Object, Array } type = Type::Null;
  std::string text;  // scalars: the value as JSON_VALUE returns it
  std::vector<std::pair<std::string, Json>> members;  // object members, array items (no names)
};

class JsonReader {
 public:
  explicit JsonReader(std::string s) : s_(std::move(s)) {}

  std::optional<Json> Document() {
    std::optional<Json> v = Read();
    Space();
    if (!v || i_ != s_.size()) return std::nullopt;
    return v;
  }
  std::size_t Position() const { return i_; }

 private:
  void Space() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r')) ++i_;
  }
  bool Literal(const char* word) {
    std::string w(word);
    if (s_.compare(i_, w.size(), w) != 0) return false;
    i_ += w.size();
    return true;
  }
  std::optional<std::string> String() {
    if (i_ >= s_.size() || s_[i_] != '"') return std::nullopt;
    ++i_;
    std::u16string out;
    while (i_ < s_.size() && s_[i_] != '"') {
      if (static_cast<unsigned char>(s_[i_]) < 0x20) return std::nullopt;
      if (s_[i_] == '\\') {
        if (++i_ >= s_.size()) return std::nullopt;
        char e = s_[i_++];
        switch (e) {
          case '"': out += u'"'; break;
          case '\\': out += u'\\'; break;
          case '/': out += u'/'; break;
          case 'b': out += u'\b'; break;
          case 'f': out += u'\f'; break;
          case 'n': out += u'\n'; break;
          case 'r': out += u'\r'; break;
          case 't': out += u'\t'; break;
          case 'u': {
            if (i_ + 4 > s_.size()) return std::nullopt;
            unsigned v = 0;
            for (int k = 0; k < 4; ++k) {
              char h = s_[i_++];
              if (!std::isxdigit(static_cast<unsigned char>(h))) return std::nullopt;
              v = v * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(h)) ? h - '0' : (h | 32) - 'a' + 10);
            }
            out += static_cast<char16_t>(v);
            break;
          }
          default: return std::nullopt;
        }
        continue;
      }
      std::size_t start = i_++;
      while (i_ < s_.size() && (static_cast<unsigned char>(s_[i_]) & 0xC0) == 0x80) ++i_;
      out += Utf8ToUtf16(s_.substr(start, i_ - start));
    }
    if (i_ >= s_.size()) return std::nullopt;
    ++i_;
    return Utf16ToUtf8(out);
  }
  std::optional<Json> Read() {
    Space();
    Json v;
    if (i_ >= s_.size()) return std::nullopt;
    char c = s_[i_];
    if (c == '{' || c == '[') {
      const bool object = c == '{';
      v.type = object ? Json::Type::Object : Json::Type::Array;
      ++i_;
      Space();
      if (i_ < s_.size() && s_[i_] == (object ? '}' : ']')) {
        ++i_;
        return v;
      }
      while (true) {
        std::string name;
        if (object) {
          Space();
          auto n = String();
          if (!n) return std::nullopt;
          name = *n;
          Space();
          if (i_ >= s_.size() || s_[i_++] != ':') return std::nullopt;
        }
        auto item = Read();
        if (!item) return std::nullopt;
        v.members.emplace_back(name, std::move(*item));
        Space();
        if (i_ < s_.size() && s_[i_] == ',') {
          ++i_;
          continue;
        }
        if (i_ < s_.size() && s_[i_] == (object ? '}' : ']')) {
          ++i_;
          return v;
        }
        return std::nullopt;
      }
    }
    if (c == '"') {
      auto text = String();
      if (!text) return std::nullopt;
      v.type = Json::Type::String;
      v.text = *text;
      return v;
    }
    if (Literal("true")) return Json{Json::Type::Boolean, "true", {}};
    if (Literal("false")) return Json{Json::Type::Boolean, "false", {}};
    if (Literal("null")) return Json{};
    std::size_t start = i_;
    if (i_ < s_.size() && s_[i_] == '-') ++i_;
    std::size_t digits = i_;
    while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) ++i_;
    if (i_ == digits) return std::nullopt;
    if (i_ < s_.size() && s_[i_] == '.') {
      ++i_;
      std::size_t f = i_;
      while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) ++i_;
      if (i_ == f) return std::nullopt;
    }
    if (i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
      ++i_;
      if (i_ < s_.size() && (s_[i_] == '+' || s_[i_] == '-')) ++i_;
      std::size_t f = i_;
      while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) ++i_;
      if (i_ == f) return std::nullopt;
    }
    v.type = Json::Type::Number;
    v.text = s_.substr(start, i_ - start);
    return v;
  }

  const std::string s_;
  std::size_t i_ = 0;
};

// ISJSON (SQL Server 2016 to 2019, no type argument): 1 for an object or an array.
Typed IsJsonFn(Call& c) {
  const Typed& v = TextArg(c, 0);
  if (IsNull(v.value)) return Null(Of(Kind::Int));
  std::optional<Json> j = JsonReader(TextOf(v.value)).Document();
  bool valid = j && (j->type == Json::Type::Object || j->type == Json::Type::Array);
  return {Of(Kind::Int), std::int64_t{valid}};
}

// JSON_VALUE(text, path): the scalar at a lax path ($, .name, ."name", [n]) as NVARCHAR(4000);
// NULL for a missing item, an object, an array or a value over 4000 characters.
Typed JsonValueFn(Call& c) {
  ColumnType t = TextType(true, 4000, false, c.scope.collation);
  const Typed& v = TextArg(c, 0);
  const Typed& p = TextArg(c, 1);
  if (IsNull(v.value) || IsNull(p.value)) return Null(t);
  std::string path = TextOf(p.value);
  auto badPath = [&](std::size_t at) {
    return Err(13607, "JSON path is not properly formatted. Unexpected character '" +
                          std::string(1, at < path.size() ? path[at] : ' ') + "' is found at position " +
                          std::to_string(at) + ".");
  };
  std::size_t i = 0;
  while (i < path.size() && path[i] == ' ') ++i;
  if (path.compare(i, 6, "strict") == 0) throw NotModelled("JSON paths in strict mode");
  if (path.compare(i, 3, "lax") == 0) i += 3;
  while (i < path.size() && path[i] == ' ') ++i;
  if (i >= path.size() || path[i] != '$') throw badPath(i);
  ++i;
  JsonReader reader(TextOf(v.value));
  std::optional<Json> doc = reader.Document();
  if (!doc) {
    throw Err(13609, "JSON text is not properly formatted. Unexpected character is found at position " +
                         std::to_string(reader.Position()) + ".");
  }
  const Json* at = &*doc;
  while (i < path.size() && at) {
    if (path[i] == '.') {
      ++i;
      std::string name;
      if (i < path.size() && path[i] == '"') {
        std::size_t close = path.find('"', i + 1);
        if (close == std::string::npos) throw badPath(i);
        name = path.substr(i + 1, close - i - 1);
        i = close + 1;
      } else {
        std::size_t start = i;
        while (i < path.size() && (std::isalnum(static_cast<unsigned char>(path[i])) || path[i] == '_' ||
                                   static_cast<unsigned char>(path[i]) >= 0x80)) {
          ++i;
        }
        if (i == start) throw badPath(i);
        name = path.substr(start, i - start);
      }
      const Json* next = nullptr;
      if (at->type == Json::Type::Object) {
        for (const auto& [key, member] : at->members) {
          if (key == name) {
            next = &member;
            break;
          }
        }
      }
      at = next;
    } else if (path[i] == '[') {
      std::size_t close = path.find(']', i);
      if (close == std::string::npos || close == i + 1) throw badPath(i);
      std::string digits = path.substr(i + 1, close - i - 1);
      for (char d : digits) {
        if (!std::isdigit(static_cast<unsigned char>(d))) throw badPath(i + 1);
      }
      std::size_t index = std::stoul(digits);
      at = at->type == Json::Type::Array && index < at->members.size() ? &at->members[index].second : nullptr;
      i = close + 1;
    } else {
      throw badPath(i);
    }
  }
  if (!at || at->type == Json::Type::Object || at->type == Json::Type::Array || at->type == Json::Type::Null) {
    return Null(t);
  }
  if (Utf16Length(at->text) > 4000) return Null(t);
  return {t, at->text};
}

// SYSDATETIMEOFFSET and IDENT_CURRENT are not in this table yet.
const FunctionEntry kFunctions[] = {
    {"GETDATE", 0, 0, false, DateTimeNow},
    {"GETUTCDATE", 0, 0, false, DateTimeNow},
    {"SYSDATETIME", 0, 0, false, DateTime2Now},
    {"SYSUTCDATETIME", 0, 0, false, DateTime2Now},
    {"NEWID", 0, 0, false, NewId},
    {"DATEADD", 3, 3, true, DateAddFn},
    {"DATEPART", 2, 2, true, DatePartFn},
    {"YEAR", 1, 1, true, YearFn},
    {"MONTH", 1, 1, true, MonthFn},
    {"DAY", 1, 1, true, DayFn},
    {"LOWER", 1, 1, true, LowerFn},
    {"UPPER", 1, 1, true, UpperFn},
    {"LEN", 1, 1, true, LenFn},
    {"DATALENGTH", 1, 1, true, DataLengthFn},
    {"LEFT", 2, 2, true, LeftFn},
    {"RIGHT", 2, 2, true, RightFn},
    {"SUBSTRING", 3, 3, true, SubstringFn},
    {"LTRIM", 1, 1, true, LtrimFn},
    {"RTRIM", 1, 1, true, RtrimFn},
    {"TRIM", 1, 1, true, TrimFn},
    {"REPLACE", 3, 3, true, ReplaceFn},
    {"CONCAT", 2, 254, true, ConcatFn},
    {"COALESCE", 1, 1000, true, CoalesceFn},
    {"ISNULL", 2, 2, true, IsNullFn},
    {"NULLIF", 2, 2, true, NullIfFn},
    {"IIF", 3, 3, true, IifFn},
    {"ABS", 1, 1, true, AbsFn},
    {"ROUND", 2, 3, true, RoundFn},
    {"FLOOR", 1, 1, true, FloorFn},
    {"CEILING", 1, 1, true, CeilingFn},
    {"ISJSON", 1, 1, true, IsJsonFn},
    {"JSON_VALUE", 2, 2, true, JsonValueFn},
};

}  // namespace

const FunctionEntry* FindFunction(const std::string& upperName) {
  for (const auto& f : kFunctions) {
    if (upperName == f.name) return &f;
  }
  return nullptr;
}

}  // namespace morvane::tds
