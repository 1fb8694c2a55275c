// Compiler and evaluator of key and FOR expressions.
#include "updater/tables/cdx/expr.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace kx::cdx {

namespace {

using kx::Value;

// ---- Windows-1252 case mapping and dates ----

unsigned char Up(unsigned char c) {
  if (c >= 'a' && c <= 'z') return uint8_t(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return uint8_t(c - 32);
  switch (c) {
    case 0x9A: return 0x8A;  // š
    case 0x9C: return 0x8C;  // œ
    case 0x9E: return 0x8E;  // ž
    case 0xFF: return 0x9F;  // ÿ
  }
  return c;
}
unsigned char Low(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return uint8_t(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return uint8_t(c + 32);
  switch (c) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
  }
  return c;
}

int32_t ToJdn(int y, int m, int d) {
  int a = (14 - m) / 12;
  int yy = y + 4800 - a;
  int mm = m + 12 * a - 3;
  return d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045;
}
void FromJdn(int32_t jdn, int* y, int* m, int* d) {
  int a = jdn + 32044;
  int b = (4 * a + 3) / 146097;
  int c = a - 146097 * b / 4;
  int dd = (4 * c + 3) / 1461;
  int e = c - 1461 * dd / 4;
  int mm = (5 * e + 2) / 153;
  *d = e - (153 * mm + 2) / 5 + 1;
  *m = mm + 3 - 12 * (mm / 10);
  *y = 100 * b + dd - 4800 + mm / 10;
}
bool ValidDate(int y, int m, int d) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  int lim = days[m - 1] + (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0) ? 1 : 0);
  return d <= lim;
}

std::string RTrim(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}
std::string LTrim(std::string s) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  return s.substr(i);
}

std::string Str(double n, int len, int dec) {
  if (len <= 0) return "";
  if (len > 255) len = 255;
  for (int d = std::max(0, dec);; --d) {
    // Halves round away from zero, as xBase does (printf rounds to even).
    double f = std::pow(10.0, d);
    double r = std::round(n * f) / f;
    char buf[400];
    snprintf(buf, sizeof buf, "%.*f", d, r);
    std::string s = buf;
    if (s == "-0" || (s.size() > 1 && s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos)) s = s.substr(1);
    if (int(s.size()) <= len) return std::string(size_t(len) - s.size(), ' ') + s;
    if (d == 0) break;
  }
  return std::string(size_t(len), '*');
}

double Val(const std::string& s, int* decimals) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  size_t start = i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  while (i < s.size() && isdigit(uint8_t(s[i]))) ++i;
  *decimals = 0;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && isdigit(uint8_t(s[i]))) {
      ++i;
      ++*decimals;
    }
  }
  std::string num = s.substr(start, i - start);
  if (num.empty() || num == "+" || num == "-") return 0;
  return strtod(num.c_str(), nullptr);
}

std::string Dtos(Date d) {
  if (d.empty()) return "        ";
  int y, m, dd;
  FromJdn(d.jdn, &y, &m, &dd);
  char buf[16];
  snprintf(buf, sizeof buf, "%04d%02d%02d", y % 10000, m, dd);
  return buf;
}
std::string Dtoc(Date d) {
  if (d.empty()) return "  -  -  ";
  int y, m, dd;
  FromJdn(d.jdn, &y, &m, &dd);
  char buf[16];
  snprintf(buf, sizeof buf, "%02d-%02d-%02d", dd, m, y % 100);
  return buf;
}
Date Ctod(const std::string& s) {
  int v[3] = {0, 0, 0}, digits[3] = {0, 0, 0}, k = 0;
  for (char c : s) {
    if (isdigit(uint8_t(c))) {
      if (k < 3) {
        v[k] = v[k] * 10 + (c - '0');
        ++digits[k];
      }
    } else if (c == '-' || c == '/' || c == '.') {
      ++k;
    } else if (c != ' ') {
      return Date{};
    }
  }
  if (k != 2 || !digits[0] || !digits[1] || !digits[2]) return Date{};
  int y = v[2];
  if (digits[2] <= 2) y = y < 20 ? 2000 + y : 1900 + y;
  if (!ValidDate(y, v[1], v[0])) return Date{};
  return Date{ToJdn(y, v[1], v[0])};
}

// ---- syntax tree ----

enum class Op {
  Lit, Field, Deleted, Recno,
  Concat, ConcatTrim, Add, Sub, Mul, Div, Mod, Pow, Neg,
  Eq, ExactEq, Ne, Lt, Le, Gt, Ge, Contains,
  And, Or, Not, Iif,
  Upper, Lower, Substr, Left, Right, Trim, LTrim, AllTrim, PadL, PadR, PadC, StrF, ValF,
  DtosF, DtocF, CtodF, Year, Month, Day, Empty, Len, Space, Replicate, Int, Abs, Max, Min, Round, Ttod,
};

struct Node {
  Op op = Op::Lit;
  char type = 'C';  // C N D L I Y T
  int width = 0;
  bool nullable = false;
  int field = -1;
  Value lit;
  std::vector<std::unique_ptr<Node>> kids;
};

bool IsNum(char t) { return t == 'N' || t == 'I' || t == 'Y'; }

class CompiledExpr : public Expr {
 public:
  CompiledExpr(std::unique_ptr<Node> root, std::string text) : root_(std::move(root)), text_(std::move(text)) {}
  Status Eval(const RecordContext& ctx, Value* result) const override { return EvalNode(*root_, ctx, result); }
  char type() const override { return root_->type; }
  int width() const override { return root_->width; }
  bool nullable() const override { return root_->nullable; }
  const std::string& text() const override { return text_; }

 private:
  static Status EvalNode(const Node& n, const RecordContext& ctx, Value* out);
  std::unique_ptr<Node> root_;
  std::string text_;
};

int CompareText(const std::string& a, const std::string& b) {
  size_t n = std::max(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char ca = i < a.size() ? uint8_t(a[i]) : ' ';
    unsigned char cb = i < b.size() ? uint8_t(b[i]) : ' ';
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return 0;
}

// Three-way comparison of two values of one type class.
int CompareValues(const Value& a, const Value& b) {
  if (a.IsText()) return CompareText(a.text(), b.text());
  if (a.IsNumber()) return a.number() < b.number() ? -1 : a.number() > b.number() ? 1 : 0;
  if (a.IsDate()) return a.date().jdn < b.date().jdn ? -1 : a.date().jdn > b.date().jdn ? 1 : 0;
  if (a.IsLogical()) return int(a.logical()) - int(b.logical());
  return 0;
}

double Num(const Value& v) { return v.IsNumber() ? v.number() : 0; }
const std::string& Txt(const Value& v) { return v.text(); }

std::string Pad(const std::string& s, int n, char c, int where) {  // where: 0 left, 1 right, 2 centre
  if (n <= 0) return "";
  if (int(s.size()) >= n) return s.substr(0, size_t(n));
  size_t fill = size_t(n) - s.size();
  if (where == 0) return std::string(fill, c) + s;
  if (where == 1) return s + std::string(fill, c);
  size_t l = fill / 2;
  return std::string(l, c) + s + std::string(fill - l, c);
}

Status CompiledExpr::EvalNode(const Node& n, const RecordContext& ctx, Value* out) {
  switch (n.op) {
    case Op::Lit: *out = n.lit; return Status::Ok();
    case Op::Field:
      if (n.field < 0 || n.field >= ctx.FieldCount()) return Status::Error(kErrExpression, "field number out of range");
      *out = ctx.FieldValue(n.field);
      if (out->type() == Value::Type::Memo) *out = Value::Text(out->text());
      return Status::Ok();
    case Op::Deleted: *out = Value::Logical(ctx.Deleted()); return Status::Ok();
    case Op::Recno: *out = Value::Number(ctx.RecNo()); return Status::Ok();
    default: break;
  }
  std::vector<Value> v(n.kids.size());
  // IIF, .AND. and .OR. evaluate lazily.
  if (n.op == Op::Iif) {
    Status s = EvalNode(*n.kids[0], ctx, &v[0]);
    if (!s.ok()) return s;
    bool c = v[0].IsLogical() && v[0].logical();
    return EvalNode(*n.kids[c ? 1 : 2], ctx, out);
  }
  if (n.op == Op::And || n.op == Op::Or) {
    Status s = EvalNode(*n.kids[0], ctx, &v[0]);
    if (!s.ok()) return s;
    if (!v[0].IsNil()) {
      bool a = v[0].logical();
      if (n.op == Op::And && !a) return *out = Value::Logical(false), Status::Ok();
      if (n.op == Op::Or && a) return *out = Value::Logical(true), Status::Ok();
    }
    s = EvalNode(*n.kids[1], ctx, &v[1]);
    if (!s.ok()) return s;
    if (v[0].IsNil() || v[1].IsNil()) {
      *out = Value();
      return Status::Ok();
    }
    *out = Value::Logical(v[1].logical());
    return Status::Ok();
  }
  for (size_t i = 0; i < n.kids.size(); ++i) {
    Status s = EvalNode(*n.kids[i], ctx, &v[i]);
    if (!s.ok()) return s;
    if (v[i].IsNil()) {
      *out = Value();
      return Status::Ok();
    }
  }
  auto num = [&](size_t i) { return Num(v[i]); };
  auto txt = [&](size_t i) -> const std::string& { return Txt(v[i]); };
  auto decs = [&](size_t i) { return v[i].IsNumber() ? v[i].decimals() : 0; };
  switch (n.op) {
    case Op::Concat: *out = Value::Text(txt(0) + txt(1)); break;
    case Op::ConcatTrim: {
      std::string a = RTrim(txt(0));
      *out = Value::Text(a + txt(1) + std::string(txt(0).size() - a.size(), ' '));
      break;
    }
    case Op::Add:
      if (v[0].IsDate()) *out = Value::FromDate(Date{v[0].date().jdn + int32_t(std::lround(num(1)))});
      else if (v[1].IsDate()) *out = Value::FromDate(Date{v[1].date().jdn + int32_t(std::lround(num(0)))});
      else *out = Value::Number(num(0) + num(1), std::max(decs(0), decs(1)));
      break;
    case Op::Sub:
      if (v[0].IsDate() && v[1].IsDate()) *out = Value::Number(v[0].date().jdn - v[1].date().jdn);
      else if (v[0].IsDate()) *out = Value::FromDate(Date{v[0].date().jdn - int32_t(std::lround(num(1)))});
      else *out = Value::Number(num(0) - num(1), std::max(decs(0), decs(1)));
      break;
    case Op::Mul: *out = Value::Number(num(0) * num(1), decs(0) + decs(1)); break;
    case Op::Div:
      if (num(1) == 0) return Status::Error(kErrExpression, "division by zero");
      *out = Value::Number(num(0) / num(1), std::max(2, decs(0)));
      break;
    case Op::Mod: {
      if (num(1) == 0) return Status::Error(kErrExpression, "division by zero");
      double r = std::fmod(num(0), num(1));
      if (r != 0 && ((r < 0) != (num(1) < 0))) r += num(1);
      *out = Value::Number(r, std::max(decs(0), decs(1)));
      break;
    }
    case Op::Pow: *out = Value::Number(std::pow(num(0), num(1)), 2); break;
    case Op::Neg: *out = Value::Number(-num(0), decs(0)); break;
    case Op::Eq:
      if (v[0].IsText()) {
        const std::string& a = txt(0);
        const std::string& b = txt(1);
        *out = Value::Logical(a.size() >= b.size() ? a.compare(0, b.size(), b) == 0 : CompareText(a, b) == 0);
      } else {
        *out = Value::Logical(CompareValues(v[0], v[1]) == 0);
      }
      break;
    case Op::ExactEq:
      *out = Value::Logical(v[0].IsText() ? txt(0) == txt(1) : CompareValues(v[0], v[1]) == 0);
      break;
    case Op::Ne:
      if (v[0].IsText()) {
        const std::string& a = txt(0);
        const std::string& b = txt(1);
        *out = Value::Logical(!(a.size() >= b.size() ? a.compare(0, b.size(), b) == 0 : CompareText(a, b) == 0));
      } else {
        *out = Value::Logical(CompareValues(v[0], v[1]) != 0);
      }
      break;
    case Op::Lt: *out = Value::Logical(CompareValues(v[0], v[1]) < 0); break;
    case Op::Le: *out = Value::Logical(CompareValues(v[0], v[1]) <= 0); break;
    case Op::Gt: *out = Value::Logical(CompareValues(v[0], v[1]) > 0); break;
    case Op::Ge: *out = Value::Logical(CompareValues(v[0], v[1]) >= 0); break;
    case Op::Contains: *out = Value::Logical(txt(1).find(txt(0)) != std::string::npos); break;
    case Op::Not: *out = Value::Logical(!v[0].logical()); break;
    case Op::Upper: {
      std::string s = txt(0);
      for (char& c : s) c = char(Up(uint8_t(c)));
      *out = Value::Text(s);
      break;
    }
    case Op::Lower: {
      std::string s = txt(0);
      for (char& c : s) c = char(Low(uint8_t(c)));
      *out = Value::Text(s);
      break;
    }
    case Op::Substr: {
      const std::string& s = txt(0);
      long start = std::lround(num(1));
      if (start < 1) start = 1;
      long len = n.kids.size() > 2 ? std::lround(num(2)) : long(s.size());
      if (size_t(start) > s.size() || len <= 0) {
        *out = Value::Text("");
      } else {
        *out = Value::Text(s.substr(size_t(start - 1), size_t(len)));
      }
      break;
    }
    case Op::Left: {
      long k = std::lround(num(1));
      *out = Value::Text(k <= 0 ? "" : txt(0).substr(0, size_t(k)));
      break;
    }
    case Op::Right: {
      long k = std::lround(num(1));
      const std::string& s = txt(0);
      *out = Value::Text(k <= 0 ? "" : size_t(k) >= s.size() ? s : s.substr(s.size() - size_t(k)));
      break;
    }
    case Op::Trim: *out = Value::Text(RTrim(txt(0))); break;
    case Op::LTrim: *out = Value::Text(LTrim(txt(0))); break;
    case Op::AllTrim: *out = Value::Text(LTrim(RTrim(txt(0)))); break;
    case Op::PadL:
    case Op::PadR:
    case Op::PadC: {
      std::string s;
      if (v[0].IsText()) s = txt(0);
      else if (v[0].IsNumber()) s = LTrim(Str(num(0), 20, decs(0)));
      else if (v[0].IsDate()) s = Dtoc(v[0].date());
      else s = v[0].logical() ? ".T." : ".F.";
      char c = n.kids.size() > 2 && !txt(2).empty() ? txt(2)[0] : ' ';
      long k = std::lround(num(1));
      *out = Value::Text(Pad(s, int(std::clamp(k, 0L, 255L)), c, n.op == Op::PadL ? 0 : n.op == Op::PadR ? 1 : 2));
      break;
    }
    case Op::StrF: {
      int len = n.kids.size() > 1 ? int(std::lround(num(1))) : 10;
      int dec = n.kids.size() > 2 ? int(std::lround(num(2))) : 0;
      *out = Value::Text(Str(num(0), len, dec));
      break;
    }
    case Op::ValF: {
      int d = 0;
      double x = Val(txt(0), &d);
      *out = Value::Number(x, d);
      break;
    }
    case Op::DtosF: *out = Value::Text(Dtos(v[0].date())); break;
    case Op::DtocF: *out = Value::Text(Dtoc(v[0].date())); break;
    case Op::CtodF: *out = Value::FromDate(Ctod(txt(0))); break;
    case Op::Year:
    case Op::Month:
    case Op::Day: {
      if (v[0].date().empty()) {
        *out = Value::Number(0);
        break;
      }
      int y, m, d;
      FromJdn(v[0].date().jdn, &y, &m, &d);
      *out = Value::Number(n.op == Op::Year ? y : n.op == Op::Month ? m : d);
      break;
    }
    case Op::Empty: {
      bool e = false;
      if (v[0].IsText()) e = v[0].text().find_first_not_of(" \t\r\n") == std::string::npos;
      else if (v[0].IsNumber()) e = v[0].number() == 0;
      else if (v[0].IsDate()) e = v[0].date().empty();
      else if (v[0].IsLogical()) e = !v[0].logical();
      *out = Value::Logical(e);
      break;
    }
    case Op::Len: *out = Value::Number(double(txt(0).size())); break;
    case Op::Space: *out = Value::Text(std::string(size_t(std::clamp(std::lround(num(0)), 0L, 65535L)), ' ')); break;
    case Op::Replicate: {
      long k = std::clamp(std::lround(num(1)), 0L, 65535L);
      std::string s;
      for (long i = 0; i < k && s.size() < 65535; ++i) s += txt(0);
      *out = Value::Text(s);
      break;
    }
    case Op::Int: *out = Value::Number(std::trunc(num(0))); break;
    case Op::Abs: *out = Value::Number(std::fabs(num(0)), decs(0)); break;
    case Op::Max:
    case Op::Min: {
      int c = CompareValues(v[0], v[1]);
      *out = (n.op == Op::Max) == (c >= 0) ? v[0] : v[1];
      break;
    }
    case Op::Round: {
      int d = int(std::lround(num(1)));
      double f = std::pow(10.0, d);
      *out = Value::Number(std::round(num(0) * f) / f, std::max(0, d));
      break;
    }
    case Op::Ttod: *out = Value::FromDate(Date{int32_t(std::floor(num(0)))}); break;
    default: return Status::Error(kErrExpression, "internal: unknown operation");
  }
  return Status::Ok();
}

// ---- lexer and parser ----

enum class Tok { End, Ident, Number, String, Date, Logical, Op, LParen, RParen, Comma, Arrow };

struct Token {
  Tok kind = Tok::End;
  std::string text;  // identifier (upper case), operator, string contents
  double num = 0;
  int decimals = 0;
  Date date;
  bool logical = false;
  size_t pos = 0;  // 0-based
};

bool IsIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsIdentChar(char c) { return IsIdentStart(c) || (c >= '0' && c <= '9'); }

std::string UpperAscii(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 32);
  return s;
}

class Parser {
 public:
  Parser(std::string_view text, const FieldCatalog& cat) : s_(text), cat_(cat) {}

  Status Parse(std::unique_ptr<Node>* out) {
    Status st = Lex();
    if (!st.ok()) return st;
    st = ParseOr(out);
    if (!st.ok()) return st;
    if (Peek().kind != Tok::End) return Err(Peek().pos, "unexpected '" + Show(Peek()) + "'");
    return Status::Ok();
  }

 private:
  Status Err(size_t pos, const std::string& what) {
    return Status::Error(kErrExpression, "position " + std::to_string(pos + 1) + ": " + what);
  }
  static std::string Show(const Token& t) {
    switch (t.kind) {
      case Tok::End: return "end of expression";
      case Tok::LParen: return "(";
      case Tok::RParen: return ")";
      case Tok::Comma: return ",";
      case Tok::Arrow: return "->";
      default: return t.text;
    }
  }

  Status Lex() {
    size_t i = 0;
    while (true) {
      while (i < s_.size() && (s_[i] == ' ' || s_[i] == '\t' || s_[i] == '\r' || s_[i] == '\n')) ++i;
      Token t;
      t.pos = i;
      if (i >= s_.size()) {
        t.kind = Tok::End;
        toks_.push_back(t);
        return Status::Ok();
      }
      char c = s_[i];
      if (IsIdentStart(c)) {
        size_t j = i;
        while (j < s_.size() && IsIdentChar(s_[j])) ++j;
        t.kind = Tok::Ident;
        t.text = UpperAscii(std::string(s_.substr(i, j - i)));
        i = j;
        toks_.push_back(t);
        // An alias: NAME-> or NAME. followed by a name (not .AND. .OR. .NOT.).
        if (i + 1 < s_.size() && s_[i] == '-' && s_[i + 1] == '>') {
          Token a;
          a.kind = Tok::Arrow;
          a.pos = i;
          toks_.push_back(a);
          i += 2;
        } else if (i + 1 < s_.size() && s_[i] == '.' && IsIdentStart(s_[i + 1])) {
          size_t j2 = i + 1;
          while (j2 < s_.size() && IsIdentChar(s_[j2])) ++j2;
          std::string w = UpperAscii(std::string(s_.substr(i + 1, j2 - i - 1)));
          bool op = j2 < s_.size() && s_[j2] == '.' && (w == "AND" || w == "OR" || w == "NOT");
          if (!op) {
            Token a;
            a.kind = Tok::Arrow;
            a.pos = i;
            toks_.push_back(a);
            i += 1;
          }
        }
        continue;
      }
      if (isdigit(uint8_t(c)) || (c == '.' && i + 1 < s_.size() && isdigit(uint8_t(s_[i + 1])))) {
        size_t j = i;
        while (j < s_.size() && isdigit(uint8_t(s_[j]))) ++j;
        int dec = 0;
        if (j < s_.size() && s_[j] == '.' && !(j + 1 < s_.size() && IsIdentStart(s_[j + 1]))) {
          ++j;
          while (j < s_.size() && isdigit(uint8_t(s_[j]))) {
            ++j;
            ++dec;
          }
        }
        t.kind = Tok::Number;
        t.text = std::string(s_.substr(i, j - i));
        t.num = strtod(t.text.c_str(), nullptr);
        t.decimals = dec;
        i = j;
        toks_.push_back(t);
        continue;
      }
      if (c == '"' || c == '\'' || c == '[') {
        char close = c == '[' ? ']' : c;
        size_t j = s_.find(close, i + 1);
        if (j == std::string_view::npos) return Err(i, "text literal without its closing " + std::string(1, close));
        t.kind = Tok::String;
        t.text = std::string(s_.substr(i + 1, j - i - 1));
        i = j + 1;
        toks_.push_back(t);
        continue;
      }
      if (c == '{') {
        size_t j = s_.find('}', i + 1);
        if (j == std::string_view::npos) return Err(i, "date literal without its closing }");
        std::string body(s_.substr(i + 1, j - i - 1));
        t.kind = Tok::Date;
        std::string b = body;
        b.erase(std::remove(b.begin(), b.end(), ' '), b.end());
        if (b.empty() || b == "^" || b == "//" || b == "--") {
          t.date = Date{};
        } else if (b[0] == '^') {
          int y = 0, m = 0, d = 0;
          if (sscanf(b.c_str() + 1, "%d%*[-/.]%d%*[-/.]%d", &y, &m, &d) != 3 || !ValidDate(y, m, d)) return Err(i, "bad date literal {" + body + "}");
          t.date = Date{ToJdn(y, m, d)};
        } else {
          t.date = Ctod(b);
          if (t.date.empty()) return Err(i, "bad date literal {" + body + "}");
        }
        t.text = "{" + body + "}";
        i = j + 1;
        toks_.push_back(t);
        continue;
      }
      if (c == '.') {
        // .T. .F. .Y. .N. .AND. .OR. .NOT.
        size_t j = i + 1;
        while (j < s_.size() && IsIdentChar(s_[j])) ++j;
        if (j < s_.size() && s_[j] == '.' && j > i + 1) {
          std::string w = UpperAscii(std::string(s_.substr(i + 1, j - i - 1)));
          if (w == "T" || w == "F" || w == "Y" || w == "N") {
            t.kind = Tok::Logical;
            t.logical = w == "T" || w == "Y";
            t.text = "." + w + ".";
          } else if (w == "AND" || w == "OR" || w == "NOT") {
            t.kind = Tok::Op;
            t.text = w;
          } else {
            return Err(i, "unknown operator ." + w + ".");
          }
          i = j + 1;
          toks_.push_back(t);
          continue;
        }
        return Err(i, "unexpected '.'");
      }
      if (c == '(') { t.kind = Tok::LParen; ++i; toks_.push_back(t); continue; }
      if (c == ')') { t.kind = Tok::RParen; ++i; toks_.push_back(t); continue; }
      if (c == ',') { t.kind = Tok::Comma; ++i; toks_.push_back(t); continue; }
      static const char* ops[] = {"**", "==", "<>", "!=", "<=", ">=", "+", "-", "*", "/", "%", "^", "=", "#", "<", ">", "$", "!"};
      bool matched = false;
      for (const char* o : ops) {
        size_t l = strlen(o);
        if (s_.substr(i, l) == o) {
          t.kind = Tok::Op;
          t.text = o;
          if (t.text == "!") t.text = "NOT";
          if (t.text == "**") t.text = "^";
          if (t.text == "!=" || t.text == "#") t.text = "<>";
          i += l;
          matched = true;
          break;
        }
      }
      if (!matched) return Err(i, "unexpected character '" + std::string(1, c) + "'");
      toks_.push_back(t);
    }
  }

  const Token& Peek() const { return toks_[k_]; }
  Token Take() { return toks_[k_++]; }
  bool IsOp(const char* o) const { return Peek().kind == Tok::Op && Peek().text == o; }

  static std::unique_ptr<Node> Make(Op op, char type, int width, std::vector<std::unique_ptr<Node>> kids) {
    auto n = std::make_unique<Node>();
    n->op = op;
    n->type = type;
    n->width = width;
    for (auto& k : kids) n->nullable = n->nullable || k->nullable;
    n->kids = std::move(kids);
    return n;
  }
  static std::vector<std::unique_ptr<Node>> Kids(std::unique_ptr<Node> a, std::unique_ptr<Node> b = nullptr, std::unique_ptr<Node> c = nullptr) {
    std::vector<std::unique_ptr<Node>> v;
    v.push_back(std::move(a));
    if (b) v.push_back(std::move(b));
    if (c) v.push_back(std::move(c));
    return v;
  }
  static const char* TypeName(char t) {
    switch (t) {
      case 'C': return "text";
      case 'D': return "date";
      case 'L': return "logical";
      case 'T': return "datetime";
      default: return "number";
    }
  }

  Status ParseOr(std::unique_ptr<Node>* out) {
    Status s = ParseAnd(out);
    while (s.ok() && IsOp("OR")) {
      size_t pos = Take().pos;
      std::unique_ptr<Node> r;
      s = ParseAnd(&r);
      if (!s.ok()) return s;
      if ((*out)->type != 'L' || r->type != 'L') return Err(pos, ".OR. needs logical operands");
      *out = Make(Op::Or, 'L', 1, Kids(std::move(*out), std::move(r)));
    }
    return s;
  }
  Status ParseAnd(std::unique_ptr<Node>* out) {
    Status s = ParseNot(out);
    while (s.ok() && IsOp("AND")) {
      size_t pos = Take().pos;
      std::unique_ptr<Node> r;
      s = ParseNot(&r);
      if (!s.ok()) return s;
      if ((*out)->type != 'L' || r->type != 'L') return Err(pos, ".AND. needs logical operands");
      *out = Make(Op::And, 'L', 1, Kids(std::move(*out), std::move(r)));
    }
    return s;
  }
  Status ParseNot(std::unique_ptr<Node>* out) {
    if (IsOp("NOT")) {
      size_t pos = Take().pos;
      std::unique_ptr<Node> a;
      Status s = ParseNot(&a);
      if (!s.ok()) return s;
      if (a->type != 'L') return Err(pos, ".NOT. needs a logical operand");
      *out = Make(Op::Not, 'L', 1, Kids(std::move(a)));
      return Status::Ok();
    }
    return ParseCompare(out);
  }
  static char Class(char t) { return IsNum(t) ? 'N' : t; }
  Status ParseCompare(std::unique_ptr<Node>* out) {
    Status s = ParseSum(out);
    if (!s.ok()) return s;
    while (Peek().kind == Tok::Op) {
      const std::string& o = Peek().text;
      Op op;
      if (o == "=") op = Op::Eq;
      else if (o == "==") op = Op::ExactEq;
      else if (o == "<>") op = Op::Ne;
      else if (o == "<") op = Op::Lt;
      else if (o == "<=") op = Op::Le;
      else if (o == ">") op = Op::Gt;
      else if (o == ">=") op = Op::Ge;
      else if (o == "$") op = Op::Contains;
      else break;
      Token t = Take();
      std::unique_ptr<Node> r;
      s = ParseSum(&r);
      if (!s.ok()) return s;
      char a = Class((*out)->type), b = Class(r->type);
      if (a != b) return Err(t.pos, std::string("cannot compare ") + TypeName(a) + " with " + TypeName(b));
      if (op == Op::Contains && a != 'C') return Err(t.pos, "$ needs text operands");
      *out = Make(op, 'L', 1, Kids(std::move(*out), std::move(r)));
    }
    return Status::Ok();
  }
  Status ParseSum(std::unique_ptr<Node>* out) {
    Status s = ParseProduct(out);
    while (s.ok() && (IsOp("+") || IsOp("-"))) {
      Token t = Take();
      std::unique_ptr<Node> r;
      s = ParseProduct(&r);
      if (!s.ok()) return s;
      char a = Class((*out)->type), b = Class(r->type);
      bool plus = t.text == "+";
      if (a == 'C' && b == 'C') {
        int w = (*out)->width + r->width;
        *out = Make(plus ? Op::Concat : Op::ConcatTrim, 'C', w, Kids(std::move(*out), std::move(r)));
      } else if (a == 'N' && b == 'N') {
        *out = Make(plus ? Op::Add : Op::Sub, 'N', 8, Kids(std::move(*out), std::move(r)));
      } else if (a == 'D' && b == 'N') {
        *out = Make(plus ? Op::Add : Op::Sub, 'D', 8, Kids(std::move(*out), std::move(r)));
      } else if (plus && a == 'N' && b == 'D') {
        *out = Make(Op::Add, 'D', 8, Kids(std::move(*out), std::move(r)));
      } else if (!plus && a == 'D' && b == 'D') {
        *out = Make(Op::Sub, 'N', 8, Kids(std::move(*out), std::move(r)));
      } else {
        return Err(t.pos, "operator " + t.text + " cannot join " + TypeName(a) + " and " + TypeName(b));
      }
    }
    return s;
  }
  Status ParseProduct(std::unique_ptr<Node>* out) {
    Status s = ParsePower(out);
    while (s.ok() && (IsOp("*") || IsOp("/") || IsOp("%"))) {
      Token t = Take();
      std::unique_ptr<Node> r;
      s = ParsePower(&r);
      if (!s.ok()) return s;
      if (Class((*out)->type) != 'N' || Class(r->type) != 'N') return Err(t.pos, "operator " + t.text + " needs numbers");
      Op op = t.text == "*" ? Op::Mul : t.text == "/" ? Op::Div : Op::Mod;
      *out = Make(op, 'N', 8, Kids(std::move(*out), std::move(r)));
    }
    return s;
  }
  Status ParsePower(std::unique_ptr<Node>* out) {
    Status s = ParseUnary(out);
    if (s.ok() && IsOp("^")) {
      Token t = Take();
      std::unique_ptr<Node> r;
      s = ParsePower(&r);
      if (!s.ok()) return s;
      if (Class((*out)->type) != 'N' || Class(r->type) != 'N') return Err(t.pos, "operator ^ needs numbers");
      *out = Make(Op::Pow, 'N', 8, Kids(std::move(*out), std::move(r)));
    }
    return s;
  }
  Status ParseUnary(std::unique_ptr<Node>* out) {
    if (IsOp("-") || IsOp("+")) {
      Token t = Take();
      std::unique_ptr<Node> a;
      Status s = ParseUnary(&a);
      if (!s.ok()) return s;
      if (Class(a->type) != 'N') return Err(t.pos, "sign before a value that is not a number");
      *out = t.text == "-" ? Make(Op::Neg, 'N', 8, Kids(std::move(a))) : std::move(a);
      if ((*out)->type != 'N') (*out)->type = 'N';
      return Status::Ok();
    }
    return ParsePrimary(out);
  }

  static std::unique_ptr<Node> Literal(Value v, char type, int width) {
    auto n = std::make_unique<Node>();
    n->op = Op::Lit;
    n->lit = std::move(v);
    n->type = type;
    n->width = width;
    return n;
  }

  Status ParsePrimary(std::unique_ptr<Node>* out) {
    Token t = Take();
    switch (t.kind) {
      case Tok::Number: *out = Literal(Value::Number(t.num, t.decimals), 'N', 8); return Status::Ok();
      case Tok::String: *out = Literal(Value::Text(t.text), 'C', int(t.text.size())); return Status::Ok();
      case Tok::Date: *out = Literal(Value::FromDate(t.date), 'D', 8); return Status::Ok();
      case Tok::Logical: *out = Literal(Value::Logical(t.logical), 'L', 1); return Status::Ok();
      case Tok::LParen: {
        Status s = ParseOr(out);
        if (!s.ok()) return s;
        if (Peek().kind != Tok::RParen) return Err(Peek().pos, "')' expected, found '" + Show(Peek()) + "'");
        Take();
        return Status::Ok();
      }
      case Tok::Ident: break;
      default: return Err(t.pos, "a value expected, found '" + Show(t) + "'");
    }
    if (Peek().kind == Tok::LParen) return ParseCall(t, out);
    std::string name = t.text;
    size_t pos = t.pos;
    if (Peek().kind == Tok::Arrow) {
      Take();
      if (Peek().kind != Tok::Ident) return Err(Peek().pos, "field name expected after the alias " + t.text);
      Token f = Take();
      name = f.text;
      pos = f.pos;
    }
    int idx = cat_.FieldIndex(name);
    if (idx < 0) return Err(pos, "unknown field '" + name + "'");
    const FieldInfo& fi = cat_.Field(idx);
    auto n = std::make_unique<Node>();
    n->op = Op::Field;
    n->field = idx;
    n->nullable = fi.nullable;
    switch (fi.type) {
      case 'C': case 'M': case 'V': n->type = 'C'; n->width = fi.type == 'C' || fi.type == 'V' ? fi.width : 10; break;
      case 'N': case 'F': case 'B': n->type = 'N'; n->width = 8; break;
      case 'I': n->type = 'I'; n->width = 4; break;
      case 'Y': n->type = 'Y'; n->width = 8; break;
      case 'T': n->type = 'T'; n->width = 8; break;
      case 'D': n->type = 'D'; n->width = 8; break;
      case 'L': n->type = 'L'; n->width = 1; break;
      default: return Err(pos, "field '" + name + "' of type " + std::string(1, fi.type) + " cannot be used in an expression");
    }
    *out = std::move(n);
    return Status::Ok();
  }

  struct Fn {
    const char* name;
    Op op;
    int min_args, max_args;
  };

  static const Fn* FindFn(const std::string& name) {
    static const Fn fns[] = {
        {"UPPER", Op::Upper, 1, 1},     {"LOWER", Op::Lower, 1, 1},     {"SUBSTR", Op::Substr, 2, 3},   {"LEFT", Op::Left, 2, 2},
        {"RIGHT", Op::Right, 2, 2},     {"TRIM", Op::Trim, 1, 1},       {"RTRIM", Op::Trim, 1, 1},      {"ALLTRIM", Op::AllTrim, 1, 1},
        {"LTRIM", Op::LTrim, 1, 1},     {"PADL", Op::PadL, 2, 3},       {"PADR", Op::PadR, 2, 3},       {"PADC", Op::PadC, 2, 3},
        {"STR", Op::StrF, 1, 3},        {"VAL", Op::ValF, 1, 1},        {"DTOS", Op::DtosF, 1, 1},      {"DTOC", Op::DtocF, 1, 1},
        {"CTOD", Op::CtodF, 1, 1},      {"YEAR", Op::Year, 1, 1},       {"MONTH", Op::Month, 1, 1},     {"DAY", Op::Day, 1, 1},
        {"IIF", Op::Iif, 3, 3},         {"DELETED", Op::Deleted, 0, 0}, {"RECNO", Op::Recno, 0, 0},     {"EMPTY", Op::Empty, 1, 1},
        {"LEN", Op::Len, 1, 1},         {"SPACE", Op::Space, 1, 1},     {"REPLICATE", Op::Replicate, 2, 2}, {"INT", Op::Int, 1, 1},
        {"ABS", Op::Abs, 1, 1},         {"MAX", Op::Max, 2, 2},         {"MIN", Op::Min, 2, 2},         {"ROUND", Op::Round, 2, 2},
        {"TTOD", Op::Ttod, 1, 1},
    };
    for (const Fn& f : fns)
      if (name == f.name) return &f;
    if (name.size() >= 4) {
      const Fn* hit = nullptr;
      for (const Fn& f : fns) {
        if (strncmp(f.name, name.c_str(), name.size()) == 0 && strlen(f.name) > name.size()) {
          if (hit && hit->op != f.op) return nullptr;
          hit = &f;
        }
      }
      return hit;
    }
    return nullptr;
  }

  static bool ConstNumber(const Node& n, double* v) {
    if (n.op == Op::Lit && n.lit.IsNumber()) {
      *v = n.lit.number();
      return true;
    }
    if (n.op == Op::Neg && n.kids[0]->op == Op::Lit && n.kids[0]->lit.IsNumber()) {
      *v = -n.kids[0]->lit.number();
      return true;
    }
    return false;
  }

  Status ParseCall(const Token& name, std::unique_ptr<Node>* out) {
    Take();  // (
    const Fn* fn = FindFn(name.text);
    if (!fn) return Err(name.pos, "unknown function '" + name.text + "'");
    std::vector<std::unique_ptr<Node>> args;
    std::vector<size_t> pos;
    if (Peek().kind != Tok::RParen) {
      while (true) {
        pos.push_back(Peek().pos);
        std::unique_ptr<Node> a;
        Status s = ParseOr(&a);
        if (!s.ok()) return s;
        args.push_back(std::move(a));
        if (Peek().kind == Tok::Comma) {
          Take();
          continue;
        }
        break;
      }
    }
    if (Peek().kind != Tok::RParen) return Err(Peek().pos, "')' or ',' expected, found '" + Show(Peek()) + "'");
    Take();
    int argc = int(args.size());
    std::string fname = fn->name;
    if (argc < fn->min_args || argc > fn->max_args) {
      std::string want = fn->min_args == fn->max_args ? std::to_string(fn->min_args) : std::to_string(fn->min_args) + " to " + std::to_string(fn->max_args);
      return Err(name.pos, fname + "() takes " + want + " argument" + (fn->max_args == 1 ? "" : "s") + ", not " + std::to_string(argc));
    }
    auto need = [&](int i, char cls) -> Status {
      if (Class(args[size_t(i)]->type) != cls)
        return Err(pos[size_t(i)], "argument " + std::to_string(i + 1) + " of " + fname + "() must be " + (cls == 'C' ? "text" : cls == 'N' ? "a number" : cls == 'D' ? "a date" : "logical"));
      return Status::Ok();
    };
    auto cnum = [&](int i, double dflt) {
      double v;
      return i < argc && ConstNumber(*args[size_t(i)], &v) ? v : dflt;
    };
    char type = 'C';
    int width = 0;
    Status s;
    switch (fn->op) {
      case Op::Upper: case Op::Lower: case Op::Trim: case Op::LTrim: case Op::AllTrim:
        if (!(s = need(0, 'C')).ok()) return s;
        width = args[0]->width;
        break;
      case Op::Substr: {
        if (!(s = need(0, 'C')).ok() || !(s = need(1, 'N')).ok() || (argc > 2 && !(s = need(2, 'N')).ok())) return s;
        int start = int(cnum(1, 1));
        int avail = std::max(0, args[0]->width - std::max(1, start) + 1);
        width = argc > 2 ? std::min(avail, std::max(0, int(cnum(2, avail)))) : avail;
        break;
      }
      case Op::Left: case Op::Right:
        if (!(s = need(0, 'C')).ok() || !(s = need(1, 'N')).ok()) return s;
        width = std::min(args[0]->width, std::max(0, int(cnum(1, args[0]->width))));
        break;
      case Op::PadL: case Op::PadR: case Op::PadC:
        if (!(s = need(1, 'N')).ok() || (argc > 2 && !(s = need(2, 'C')).ok())) return s;
        if (args[0]->type == 'T') return Err(pos[0], "argument 1 of " + fname + "() cannot be a datetime");
        width = std::max(0, int(cnum(1, 0)));
        break;
      case Op::StrF:
        if (!(s = need(0, 'N')).ok() || (argc > 1 && !(s = need(1, 'N')).ok()) || (argc > 2 && !(s = need(2, 'N')).ok())) return s;
        width = std::clamp(int(cnum(1, 10)), 0, 255);
        break;
      case Op::ValF:
        if (!(s = need(0, 'C')).ok()) return s;
        type = 'N';
        width = 8;
        break;
      case Op::DtosF: case Op::DtocF:
        if (!(s = need(0, 'D')).ok()) return s;
        width = 8;
        break;
      case Op::CtodF:
        if (!(s = need(0, 'C')).ok()) return s;
        type = 'D';
        width = 8;
        break;
      case Op::Year: case Op::Month: case Op::Day:
        if (!(s = need(0, 'D')).ok()) return s;
        type = 'N';
        width = 8;
        break;
      case Op::Iif: {
        if (!(s = need(0, 'L')).ok()) return s;
        char a = Class(args[1]->type), b = Class(args[2]->type);
        if (a != b) return Err(pos[2], std::string("IIF() branches of different types (") + TypeName(a) + ", " + TypeName(b) + ")");
        type = a;
        width = a == 'C' ? std::max(args[1]->width, args[2]->width) : args[1]->width;
        break;
      }
      case Op::Deleted: type = 'L'; width = 1; break;
      case Op::Recno: type = 'N'; width = 8; break;
      case Op::Empty: type = 'L'; width = 1; break;
      case Op::Len:
        if (!(s = need(0, 'C')).ok()) return s;
        type = 'N';
        width = 8;
        break;
      case Op::Space:
        if (!(s = need(0, 'N')).ok()) return s;
        width = std::clamp(int(cnum(0, 0)), 0, 255);
        break;
      case Op::Replicate:
        if (!(s = need(0, 'C')).ok() || !(s = need(1, 'N')).ok()) return s;
        width = std::clamp(args[0]->width * int(cnum(1, 0)), 0, 255);
        break;
      case Op::Int: case Op::Abs:
        if (!(s = need(0, 'N')).ok()) return s;
        type = 'N';
        width = 8;
        break;
      case Op::Round:
        if (!(s = need(0, 'N')).ok() || !(s = need(1, 'N')).ok()) return s;
        type = 'N';
        width = 8;
        break;
      case Op::Max: case Op::Min: {
        char a = Class(args[0]->type), b = Class(args[1]->type);
        if (a != b) return Err(pos[1], fname + "() needs two values of one type");
        type = a;
        width = std::max(args[0]->width, args[1]->width);
        break;
      }
      case Op::Ttod:
        if (args[0]->type != 'T') return Err(pos[0], "argument 1 of TTOD() must be a datetime");
        type = 'D';
        width = 8;
        break;
      default: return Err(name.pos, "internal: function without rules");
    }
    *out = Make(fn->op, type, width, std::move(args));
    return Status::Ok();
  }

  std::string_view s_;
  const FieldCatalog& cat_;
  std::vector<Token> toks_;
  size_t k_ = 0;
};

}  // namespace

Status Compile(std::string_view text, const FieldCatalog& catalog, std::unique_ptr<Expr>* result) {
  result->reset();
  std::unique_ptr<Node> root;
  Parser p(text, catalog);
  Status s = p.Parse(&root);
  if (!s.ok()) return s;
  *result = std::make_unique<CompiledExpr>(std::move(root), std::string(text));
  return Status::Ok();
}

}  // namespace kx::cdx
