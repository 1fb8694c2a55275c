// Verification of a table's structural index against its records, for
// `dbftool check` and the tests.
#pragma once

#include <string>

#include "updater/tables/area.h"

namespace kx::tables {

// Checks the index structure (cdx::CdxFile::Check), then every tag against
// the records: one entry per record that passes the FOR expression (deleted
// records included; a unique tag one entry per distinct key), every entry's
// key equal to its record's key, the entries in key order, and a seek of
// each entry's key that finds an entry with that key. Stops at the first
// fault, which names the tag and the record. A table without index passes.
Fault CheckIndex(Area& a);

}  // namespace kx::tables
