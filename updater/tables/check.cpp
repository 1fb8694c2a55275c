#include "updater/tables/check.h"

#include <algorithm>
#include <map>

namespace kx::tables {

Fault CheckIndex(Area& a) {
  if (!a.cdx) return Fault::Ok();
  const std::string cdx_path = a.path + ".cdx";
  platform::Status s = a.cdx->Check();
  if (!s.ok()) return IndexFault(cdx_path, s);
  if (!a.cdx->bound()) return Fault{kEngineBadExpression, 0, cdx_path, "the tags cannot be evaluated on this table"};
  uint32_t count = a.dbf->record_count();
  int tags = a.cdx->TagCount();
  // Expected entries of every tag, from the records.
  std::vector<std::vector<cdx::CdxFile::Entry>> want(static_cast<size_t>(tags));
  std::string rec;
  for (uint32_t n = 1; n <= count; ++n) {
    Fault f = a.dbf->Read(n, &rec);
    if (!f.ok()) return f;
    cdx::RecordKeys keys;
    f = a.KeysOf(rec, n, &keys);
    if (!f.ok()) return f;
    for (int t = 0; t < tags && size_t(t) < keys.size(); ++t)
      if (keys[size_t(t)]) want[size_t(t)].push_back({*keys[size_t(t)], n});
  }
  for (int t = 0; t < tags; ++t) {
    const cdx::TagInfo& tag = a.cdx->Tag(t);
    std::string where = "tag " + tag.name + ": ";
    std::vector<cdx::CdxFile::Entry> have;
    s = a.cdx->ReadAll(t, &have);
    if (!s.ok()) return IndexFault(cdx_path, s);
    if (tag.descending) std::reverse(have.begin(), have.end());
    // Keys in order, equal keys by record number.
    for (size_t i = 1; i < have.size(); ++i) {
      int c = have[i - 1].key.compare(have[i].key);
      if (c > 0 || (c == 0 && have[i - 1].recno >= have[i].recno))
        return Fault{kEngineCorrupt, 0, cdx_path,
                     where + "entries out of order at record " + std::to_string(have[i].recno)};
    }
    std::vector<cdx::CdxFile::Entry>& exp = want[size_t(t)];
    std::sort(exp.begin(), exp.end(), [](const auto& x, const auto& y) {
      int c = x.key.compare(y.key);
      return c < 0 || (c == 0 && x.recno < y.recno);
    });
    if (tag.unique || tag.candidate) {
      // One entry per distinct key, held by a record with that key.
      std::map<std::string, std::vector<uint32_t>> by_key;
      for (const auto& e : exp) by_key[e.key].push_back(e.recno);
      if (have.size() != by_key.size())
        return Fault{kEngineCorrupt, 0, cdx_path,
                     where + std::to_string(have.size()) + " entries for " + std::to_string(by_key.size()) +
                         " distinct keys"};
      for (const auto& e : have) {
        auto it = by_key.find(e.key);
        if (it == by_key.end() || std::find(it->second.begin(), it->second.end(), e.recno) == it->second.end())
          return Fault{kEngineCorrupt, 0, cdx_path,
                       where + "entry of record " + std::to_string(e.recno) + " does not match its key"};
      }
    } else {
      for (size_t i = 0; i < std::min(have.size(), exp.size()); ++i) {
        if (have[i].recno != exp[i].recno || have[i].key != exp[i].key)
          return Fault{kEngineCorrupt, 0, cdx_path,
                       where + "entry " + std::to_string(i + 1) + " is record " + std::to_string(have[i].recno) +
                           ", the records give record " + std::to_string(exp[i].recno)};
      }
      if (have.size() != exp.size())
        return Fault{kEngineCorrupt, 0, cdx_path,
                     where + std::to_string(have.size()) + " entries for " + std::to_string(exp.size()) +
                         " records that belong in it"};
    }
    // Every key is found by a seek.
    std::unique_ptr<cdx::Cursor> cur = a.cdx->NewCursor(t);
    for (const auto& e : have) {
      bool found = false;
      s = cur->SeekEntry(e.key, e.recno, &found);
      if (!s.ok()) return IndexFault(cdx_path, s);
      if (!found || !cur->Valid() || cur->recno() != e.recno)
        return Fault{kEngineCorrupt, 0, cdx_path, where + "a seek does not find record " + std::to_string(e.recno)};
      s = cur->Seek(e.key, &found);
      if (!s.ok()) return IndexFault(cdx_path, s);
      if (!found || !cur->Valid() || cur->key() != e.key)
        return Fault{kEngineCorrupt, 0, cdx_path,
                     where + "a seek of the key of record " + std::to_string(e.recno) + " finds nothing"};
    }
  }
  return Fault::Ok();
}

}  // namespace kx::tables
