#include "updater/tables/codec.h"

#include <cmath>
#include <cstring>

#include "base/date.h"
#include "base/number_text.h"

namespace kx::tables {
namespace {

Fault TypeFault(const DbfFile& dbf, const DbfField& f, std::string what) {
  Fault e;
  e.engine = kEngineDataType;
  e.file = dbf.path();
  e.what = "field " + f.info.name + ": " + std::move(what);
  return e;
}

const char* TypeName(const Value& v) {
  switch (v.type()) {
    case Value::Type::Text: return "text";
    case Value::Type::Memo: return "long text";
    case Value::Type::Number: return "number";
    case Value::Type::Date: return "date";
    case Value::Type::Logical: return "logical";
    case Value::Type::Nil: return "no value";
    default: return "a value of another type";
  }
}

int64_t GetLe64(const unsigned char* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
  return static_cast<int64_t>(v);
}
void PutLe64(unsigned char* p, int64_t value) {
  uint64_t v = static_cast<uint64_t>(value);
  for (int i = 0; i < 8; ++i) p[i] = uint8_t(v >> (8 * i));
}
double GetDouble(const unsigned char* p) {
  uint64_t bits = static_cast<uint64_t>(GetLe64(p));
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}
void PutDouble(unsigned char* p, double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, 8);
  PutLe64(p, static_cast<int64_t>(bits));
}

}  // namespace

uint32_t MemoBlock(const DbfField& f, const std::string& rec) {
  const auto* p = reinterpret_cast<const unsigned char*>(rec.data()) + f.offset;
  if (f.info.length == 4) return GetLe32(p);
  uint64_t n = 0;
  for (int i = 0; i < f.info.length; ++i) {
    if (p[i] >= '0' && p[i] <= '9') n = n * 10 + (p[i] - '0');
    else if (p[i] != ' ' && p[i] != 0) return 0;
    if (n > 0xFFFFFFFFull) return 0;
  }
  return uint32_t(n);
}

void SetMemoBlock(const DbfField& f, std::string* rec, uint32_t block) {
  auto* p = reinterpret_cast<unsigned char*>(rec->data()) + f.offset;
  if (f.info.length == 4) {
    PutLe32(p, block);
    return;
  }
  std::string digits = block ? std::to_string(block) : "";
  std::memset(p, ' ', f.info.length);
  if (digits.size() <= size_t(f.info.length))
    std::memcpy(p + f.info.length - digits.size(), digits.data(), digits.size());
}

static bool GetBit(const DbfFile& dbf, int bit, const std::string& rec) {
  const DbfField* nf = dbf.null_flags();
  if (!nf || bit < 0 || bit >= nf->info.length * 8) return false;
  return (static_cast<unsigned char>(rec[nf->offset + bit / 8]) >> (bit % 8)) & 1;
}

static void SetBit(const DbfFile& dbf, int bit, std::string* rec, bool on) {
  const DbfField* nf = dbf.null_flags();
  if (!nf || bit < 0 || bit >= nf->info.length * 8) return;
  auto& b = reinterpret_cast<unsigned char&>((*rec)[nf->offset + bit / 8]);
  if (on) b = uint8_t(b | (1u << (bit % 8)));
  else b = uint8_t(b & ~(1u << (bit % 8)));
}

bool IsNullField(const DbfFile& dbf, const DbfField& f, const std::string& rec) {
  return f.null_bit >= 0 && GetBit(dbf, f.null_bit, rec);
}

void SetNullField(const DbfFile& dbf, const DbfField& f, std::string* rec, bool null) {
  if (f.null_bit >= 0) SetBit(dbf, f.null_bit, rec, null);
}

std::string StoredBytes(const DbfFile& dbf, const DbfField& f, const std::string& rec) {
  std::string s = rec.substr(f.offset, f.info.length);
  if ((f.info.type == 'V' || f.info.type == 'Q') && GetBit(dbf, f.varlen_bit, rec)) {
    size_t n = static_cast<unsigned char>(s.back());
    s.resize(n < s.size() ? n : s.size() - 1);
  }
  return s;
}

Value BlankValue(const FieldInfo& f) {
  switch (f.type) {
    case 'C': case 'V': case 'Q': return Value::Text(std::string(size_t(f.length), ' '));
    case 'M': case 'G': case 'P': case 'W': return Value::Memo("");
    case 'N': case 'F': case 'B': case 'Y': case 'I': return Value::Number(0, f.decimals);
    case 'D': case 'T': return Value::FromDate(Date{});
    case 'L': return Value::Logical(false);
    default: return Value();
  }
}

Value DecodeField(const DbfFile& dbf, const DbfField& f, const std::string& rec, MemoFile* memo, Fault* fault) {
  if (IsNullField(dbf, f, rec)) return Value();
  const auto* p = reinterpret_cast<const unsigned char*>(rec.data()) + f.offset;
  switch (f.info.type) {
    case 'C':
      return Value::Text(rec.substr(f.offset, f.info.length));
    case 'V': case 'Q':
      return Value::Text(StoredBytes(dbf, f, rec));
    case 'N': case 'F': {
      std::string s = rec.substr(f.offset, f.info.length);
      return Value::Number(TextToNumber(s), f.info.decimals);
    }
    case 'D':
      return Value::FromDate(STOD(rec.substr(f.offset, 8)));
    case 'L': {
      char c = rec[f.offset];
      return Value::Logical(c == 'T' || c == 't' || c == 'Y' || c == 'y');
    }
    case 'I':
      return Value::Number(static_cast<int32_t>(GetLe32(p)), 0);
    case 'B': {
      double d = GetDouble(p);
      if (!std::isfinite(d)) d = 0;
      return Value::Number(d, f.info.decimals);
    }
    case 'Y':
      return Value::Number(double(GetLe64(p)) / 10000.0, 4);
    case 'T': {
      int32_t jdn = static_cast<int32_t>(GetLe32(p));
      return Value::FromDate(Date{jdn > 0 ? jdn : 0});
    }
    case 'M': case 'G': case 'P': case 'W': {
      uint32_t block = MemoBlock(f, rec);
      std::string text;
      if (block != 0) {
        if (!memo) {
          if (fault) {
            fault->engine = kEngineCorrupt;
            fault->file = dbf.path();
            fault->what = "field " + f.info.name + " points to a memo, but the table has no memo file";
          }
        } else {
          Fault mf = memo->Read(block, &text);
          if (!mf.ok()) {
            if (fault) *fault = mf;
            text.clear();
          }
        }
      }
      return Value::Memo(std::move(text));
    }
    default:
      return Value();
  }
}

Fault EncodeField(const DbfFile& dbf, const DbfField& f, const Value& v, std::string* rec, MemoFile* memo) {
  const FieldInfo& fi = f.info;
  if (v.IsNil()) {
    if (f.null_bit < 0) return TypeFault(dbf, f, "no value stored into a field that cannot be null");
    SetNullField(dbf, f, rec, true);
    return Fault::Ok();
  }
  std::string out = rec->substr(f.offset, fi.length);
  auto* p = reinterpret_cast<unsigned char*>(out.data());
  auto wrong = [&] {
    return TypeFault(dbf, f, std::string(TypeName(v)) + " stored into a field of type " + fi.type);
  };
  switch (fi.type) {
    case 'C': {
      if (!v.IsText()) return wrong();
      const std::string& t = v.text();
      out.assign(t, 0, std::min<size_t>(t.size(), size_t(fi.length)));
      out.resize(size_t(fi.length), ' ');
      break;
    }
    case 'V': case 'Q': {
      if (!v.IsText()) return wrong();
      const std::string& t = v.text();
      if (t.size() >= size_t(fi.length)) {
        out.assign(t, 0, size_t(fi.length));
        SetBit(dbf, f.varlen_bit, rec, false);
      } else {
        out.assign(t);
        out.resize(size_t(fi.length), fi.type == 'V' ? ' ' : '\0');
        out.back() = static_cast<char>(t.size());
        SetBit(dbf, f.varlen_bit, rec, true);
      }
      break;
    }
    case 'N': case 'F': {
      if (!v.IsNumber()) return wrong();
      if (!std::isfinite(v.number())) return TypeFault(dbf, f, "number is not finite");
      std::string s = StrText(v.number(), fi.length, fi.decimals);
      if (s.empty() || s[0] == '*' || s.size() != size_t(fi.length))
        return TypeFault(dbf, f, "number " + DecimalText(v.number()) + " is too long for the field");
      out = s;
      break;
    }
    case 'D': {
      if (!v.IsDate()) return wrong();
      out = DTOS(v.date());
      if (out.size() != 8) return TypeFault(dbf, f, "date out of range");
      break;
    }
    case 'T': {
      if (!v.IsDate()) return wrong();
      PutLe32(p, uint32_t(v.date().jdn));
      PutLe32(p + 4, 0);
      break;
    }
    case 'L': {
      if (!v.IsLogical()) return wrong();
      out = v.logical() ? "T" : "F";
      break;
    }
    case 'I': {
      if (!v.IsNumber()) return wrong();
      double r = std::round(v.number());
      if (!(r >= -2147483648.0 && r <= 2147483647.0))
        return TypeFault(dbf, f, "number " + DecimalText(v.number()) + " is too long for the field");
      PutLe32(p, static_cast<uint32_t>(static_cast<int32_t>(r)));
      break;
    }
    case 'B': {
      if (!v.IsNumber()) return wrong();
      if (!std::isfinite(v.number())) return TypeFault(dbf, f, "number is not finite");
      PutDouble(p, v.number());
      break;
    }
    case 'Y': {
      if (!v.IsNumber()) return wrong();
      double r = std::round(v.number() * 10000.0);
      if (!(r > -9.2233720368547758e18 && r < 9.2233720368547758e18))
        return TypeFault(dbf, f, "number " + DecimalText(v.number()) + " is too long for the field");
      PutLe64(p, static_cast<int64_t>(r));
      break;
    }
    case 'M': case 'G': case 'P': case 'W': {
      if (!v.IsText()) return wrong();
      uint32_t old = MemoBlock(f, *rec);
      uint32_t block = 0;
      if (!v.text().empty()) {
        if (!memo) {
          Fault e = TypeFault(dbf, f, "the table has no memo file");
          e.engine = kEngineCorrupt;
          return e;
        }
        Fault mf = memo->Write(old, v.text(), 1, &block);
        if (!mf.ok()) return mf;
      }
      SetNullField(dbf, f, rec, false);
      SetMemoBlock(f, rec, block);
      return Fault::Ok();
    }
    default:
      return wrong();
  }
  rec->replace(f.offset, fi.length, out);
  SetNullField(dbf, f, rec, false);
  return Fault::Ok();
}

}  // namespace kx::tables
