// Record transfer: the current record of a table as an ordered list of its
// field values (a record image), and back; single fields by name or number;
// a lookup by key that leaves the table where it was; a table's position.
// Every routine works on the work areas' current table; those that take an
// alias select that table for their duration and restore the selection.
#pragma once

#include <string>

#include "base/value.h"
#include "updater/tables/workareas.h"

namespace kx {

// The record image of the current record: one value per field, in field
// order, as stored (character values at full width, memo text whole).
// Empty with no table.
ValueList ACAMPOSLEE(tables::WorkAreas& w = tables::Engine());

// Stores element i of `image` into field i of the current record, for i from
// 1 to the length of the list: positions beyond the table's fields are
// ignored, nothing is stored at the end of the table, no conversion is made
// (a value of the wrong type raises the table's data-type error, 33/1020).
// Always true.
bool ACAMPOSGRABA(const ValueList& image, tables::WorkAreas& w = tables::Engine());

// The blank value of `v`'s type: text and long text become blanks of the
// same length, a number 0 with its decimals, a logical false, a date the
// empty date; any other value becomes no value.
Value UVALBLANK(const Value& v);

// The record image of the current record with every value blanked.
ValueList ACAMPOSBLANK(tables::WorkAreas& w = tables::Engine());

// The image of the first record found under `key` in order `order` of the
// table open as `alias`, or its blank image; the table's order and record
// stay as they were. An unknown alias gives an empty list.
ValueList AGETFIELD(const Value& key, int order, const std::string& alias,
                    tables::WorkAreas& w = tables::Engine());

// A field by name (text, trimmed) or by position (number) of the current
// record; no value for an unknown name or any other argument.
Value UGETCAMPO(const Value& field, tables::WorkAreas& w = tables::Engine());
// Stores `value` in that field; an unknown name stores nothing.
void UPUTCAMPO(const Value& field, const Value& value, tables::WorkAreas& w = tables::Engine());

// The position of the table open as `alias`: {record number, active order}.
ValueList ASETSTATUS(const std::string& alias, tables::WorkAreas& w = tables::Engine());
// Sets the order, then goes to the record, of a position from ASETSTATUS.
void GETSTATUS(const std::string& alias, const ValueList& position, tables::WorkAreas& w = tables::Engine());

}  // namespace kx
