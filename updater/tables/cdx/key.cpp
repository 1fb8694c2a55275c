// Sortable key bytes of values, as the compact index stores them.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "updater/tables/cdx/cdx.h"

namespace kx::cdx {

namespace {

void PutBe64(std::string* out, uint64_t v) {
  for (int i = 7; i >= 0; --i) out->push_back(char(uint8_t(v >> (8 * i))));
}

// IEEE double, big-endian, ordered as unsigned bytes.
void PutSortableDouble(std::string* out, double d) {
  if (d == 0 || std::isnan(d)) d = 0;  // -0 sorts as 0
  uint64_t bits;
  memcpy(&bits, &d, sizeof bits);
  if (bits & 0x8000000000000000ull)
    bits = ~bits;
  else
    bits |= 0x8000000000000000ull;
  PutBe64(out, bits);
}

Status TypeError(const TagInfo& tag, const char* want, const kx::Value& v) {
  return Status::Error(kErrExpression, "tag " + tag.name + ": key value of type " + std::string(1, v.TypeLetter()) +
                                           " where " + want + " is needed");
}

}  // namespace

Status EncodeKey(const kx::Value& value, const TagInfo& tag, std::string* key) {
  key->clear();
  int len = tag.key_length - (tag.nullable ? 1 : 0);
  if (len < 1) return Status::Error(kErrBadArgument, "tag " + tag.name + ": key length " + std::to_string(tag.key_length));
  if (tag.nullable) {
    if (value.IsNil()) {
      key->assign(size_t(tag.key_length), '\0');
      return Status::Ok();
    }
    key->push_back(char(0x80));
  } else if (value.IsNil()) {
    return Status::Error(kErrExpression, "tag " + tag.name + ": a null value in a key that cannot be null");
  }
  switch (tag.key_type) {
    case 'C': {
      if (!value.IsText()) return TypeError(tag, "text", value);
      if (tag.collation == Collation::General)
        return Status::Error(kErrUnsupported, "tag " + tag.name + ": keys in GENERAL collation can be read but not built");
      std::string t = value.text().substr(0, size_t(len));
      t.resize(size_t(len), ' ');
      key->append(t);
      break;
    }
    case 'N':
    case 'T': {
      if (!value.IsNumber()) return TypeError(tag, "a number", value);
      PutSortableDouble(key, value.number());
      break;
    }
    case 'D': {
      double d;
      if (value.IsDate())
        d = value.date().jdn;
      else if (value.IsNumber())
        d = value.number();
      else
        return TypeError(tag, "a date", value);
      PutSortableDouble(key, d);
      break;
    }
    case 'I': {
      if (!value.IsNumber()) return TypeError(tag, "a number", value);
      double n = std::trunc(value.number());
      if (n < -2147483648.0 || n > 2147483647.0) return Status::Error(kErrExpression, "tag " + tag.name + ": integer key out of range");
      uint32_t u = uint32_t(int32_t(n)) ^ 0x80000000u;
      for (int i = 3; i >= 0; --i) key->push_back(char(uint8_t(u >> (8 * i))));
      break;
    }
    case 'Y': {
      if (!value.IsNumber()) return TypeError(tag, "a number", value);
      // The extreme amounts are not exact in a double: clamp to the 64-bit range.
      double scaled = std::round(value.number() * 10000.0);
      int64_t units;
      if (std::isnan(scaled))
        units = 0;
      else if (scaled >= 9.2233720368547758e18)
        units = INT64_MAX;
      else if (scaled <= -9.2233720368547758e18)
        units = -INT64_MAX;
      else
        units = int64_t(scaled);
      PutBe64(key, uint64_t(units) ^ 0x8000000000000000ull);
      break;
    }
    case 'L': {
      if (!value.IsLogical()) return TypeError(tag, "a logical", value);
      key->push_back(value.logical() ? 'T' : 'F');
      break;
    }
    default:
      return Status::Error(kErrBadArgument, "tag " + tag.name + ": key type is not known (index not bound to its table)");
  }
  if (int(key->size()) != tag.key_length)
    return Status::Error(kErrExpression, "tag " + tag.name + ": key of " + std::to_string(key->size()) + " bytes for a key length of " +
                                             std::to_string(tag.key_length));
  return Status::Ok();
}

}  // namespace kx::cdx
