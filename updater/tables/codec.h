// Field values in record images: from stored bytes to Values and back.
#pragma once

#include <cstdint>
#include <string>

#include "base/value.h"
#include "updater/tables/dbf.h"
#include "updater/tables/fault.h"
#include "updater/tables/fpt.h"

namespace kx::tables {

// The memo block number in a memo field (4 binary bytes or 10 digits; blanks
// and garbage count as 0).
uint32_t MemoBlock(const DbfField& f, const std::string& rec);
void SetMemoBlock(const DbfField& f, std::string* rec, uint32_t block);

// The VFP null flag of field `f`, false for fields that cannot be null.
bool IsNullField(const DbfFile& dbf, const DbfField& f, const std::string& rec);
void SetNullField(const DbfFile& dbf, const DbfField& f, std::string* rec, bool null);

// The stored bytes of a field that shows them as they are (C, N, F, D, L,
// V, Q); a V or Q value shorter than its width without its length byte.
std::string StoredBytes(const DbfFile& dbf, const DbfField& f, const std::string& rec);

// The value of field `f` in record image `rec` (see WorkAreas::GetField).
// Memo text is read from `memo` (nullptr: empty); a bad memo pointer gives
// the fault and an empty memo.
Value DecodeField(const DbfFile& dbf, const DbfField& f, const std::string& rec, MemoFile* memo, Fault* fault);

// Stores `v` into field `f` of *rec (see WorkAreas::PutField); memo text goes
// to `memo`. A value of the wrong type, or a number that does not fit, is
// kEngineDataType and leaves *rec as it was.
Fault EncodeField(const DbfFile& dbf, const DbfField& f, const Value& v, std::string* rec, MemoFile* memo);

// The blank value of a field's type (character: blanks of its width, memo:
// empty memo, numeric: 0 with its decimals, date: empty, logical: false).
Value BlankValue(const FieldInfo& f);

}  // namespace kx::tables
