// The compact compound index (CDX) file.
//
// Layout (all pages 512 bytes, offsets are byte offsets in the file):
//
//  0     compound header (512 bytes) + expression pool (512 bytes). Its own
//        B-tree lists the tags: key = tag name (10 bytes), "record number" =
//        file offset of the tag header.
//  tag header (same layout as the compound header):
//        0 root page (LE32), 4 free-list head (LE32, 0 = none; used in the
//        compound header only), 8 change counter (big-endian in the compound
//        header, 0 in tag headers), 12 key length (LE16), 14 options
//        (0x20 compact, 0x40 compound member, 0x80 compound header, 0x01
//        unique, 0x02 nullable key, 0x04 candidate, 0x08 FOR clause),
//        15 signature 0x01, 494-501 collation name ("GENERAL\0" or zero),
//        502 descending (LE16), 504 start of the FOR expression in the pool,
//        506 its length, 508 start of the key expression, 510 its length
//        (lengths count the terminating NUL).
//  leaf page: 0 attributes (LE16: 2 leaf, +1 root), 2 key count, 4 left
//        sibling, 8 right sibling (0xFFFFFFFF at the ends), 12 free bytes,
//        14 record-number mask (LE32), 18 duplicate-count mask, 19 trailing-
//        count mask, 20-22 their bit counts, 23 bytes per key-info entry;
//        key-info entries from 24 (record number | duplicates << rn bits |
//        trailing << (rn + dup bits), little-endian), key texts packed from
//        the end of the page: each key without the bytes it shares with the
//        previous key and without its trailing fill bytes (blanks for
//        machine-collation character keys, zero bytes otherwise).
//  interior page: 0 attributes (0, +1 root), 2 count, 4 left, 8 right,
//        entries from 12: full key + record number (BE32) + child (BE32);
//        each entry holds the highest (key, record) of its child.
//  free page: 0 next free page (LE32, 0 at the end), the rest zero.
#include "updater/tables/cdx/cdx.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <unordered_map>

namespace kx::cdx {

namespace {

using kx::platform::Access;
using kx::platform::Disposition;
using kx::platform::File;
using kx::platform::FileSystem;
using kx::platform::Share;

constexpr uint32_t kPage = 512;
constexpr uint32_t kNone = 0xFFFFFFFFu;
constexpr int kMaxDepth = 32;
constexpr int kMaxKeyLength = 240;

using PageBytes = std::array<uint8_t, kPage>;

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }
uint32_t Be32(const uint8_t* p) { return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]); }
void PutLe16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
void PutBe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (24 - 8 * i));
}

int BitLength(uint32_t v) {
  int n = 0;
  while (v) {
    ++n;
    v >>= 1;
  }
  return n;
}

std::string Hex(uint32_t v) {
  char buf[16];
  snprintf(buf, sizeof buf, "0x%X", v);
  return buf;
}

std::string UpperAscii(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return r;
}

// Compares (key, recno) pairs in index order.
int CompareEntry(std::string_view ka, uint32_t ra, std::string_view kb, uint32_t rb) {
  int c = ka.compare(kb);
  if (c != 0) return c < 0 ? -1 : 1;
  if (ra != rb) return ra < rb ? -1 : 1;
  return 0;
}

// Compares the first prefix.size() bytes of key with prefix.
int ComparePrefix(std::string_view key, std::string_view prefix) {
  std::string_view head = key.substr(0, std::min(key.size(), prefix.size()));
  int c = head.compare(prefix);
  if (c != 0) return c < 0 ? -1 : 1;
  return head.size() < prefix.size() ? -1 : 0;
}

struct Node {
  uint32_t page = 0;
  uint16_t attr = 0;
  uint32_t left = kNone, right = kNone;
  std::vector<std::string> keys;
  std::vector<uint32_t> recnos;
  std::vector<uint32_t> children;  // interior nodes only
  int klen = 0;
  // Leaves: bytes of the packed key texts and the highest record number, as
  // the page encoding would give them; text_bytes < 0 until computed.
  int text_bytes = -1;
  uint32_t max_recno = 0;
  bool leaf() const { return (attr & 2) != 0; }
  bool root() const { return (attr & 1) != 0; }
  size_t size() const { return keys.size(); }
};

struct Sep {
  std::string key;
  uint32_t recno;
  uint32_t page;
};

// Bit layout of a compact leaf.
struct LeafBits {
  int rn_bits, dup_bits, trail_bits, bytes;
};

bool ChooseLeafBits(int klen, uint32_t max_recno, LeafBits* bits) {
  int kb = BitLength(uint32_t(klen));
  int need = std::max(12, BitLength(max_recno));
  for (int nb = 2; nb <= 4; ++nb) {
    int rn = nb * 8 - 2 * kb;
    if (rn >= need) {
      *bits = {rn, kb, kb, nb};
      return true;
    }
  }
  return false;
}

// Encodes a leaf; false when the keys do not fit in one page.
bool EncodeLeaf(const Node& n, uint8_t fill, PageBytes* out) {
  uint32_t max_recno = 0;
  for (uint32_t r : n.recnos) max_recno = std::max(max_recno, r);
  LeafBits b;
  if (!ChooseLeafBits(n.klen, max_recno, &b)) return false;
  PageBytes& p = *out;
  p.fill(0);
  size_t info = 24;
  size_t data_end = kPage;
  const std::string* prev = nullptr;
  for (size_t i = 0; i < n.size(); ++i) {
    const std::string& k = n.keys[i];
    int trail = 0;
    while (trail < n.klen && uint8_t(k[n.klen - 1 - trail]) == fill) ++trail;
    int dup = 0;
    if (prev) {
      int lim = n.klen - trail;
      while (dup < lim && (*prev)[dup] == k[dup]) ++dup;
    }
    size_t len = size_t(n.klen - dup - trail);
    if (info + b.bytes + len > data_end) return false;
    data_end -= len;
    memcpy(&p[data_end], k.data() + dup, len);
    uint64_t v = uint64_t(n.recnos[i]) | (uint64_t(dup) << b.rn_bits) | (uint64_t(trail) << (b.rn_bits + b.dup_bits));
    for (int j = 0; j < b.bytes; ++j) p[info + j] = uint8_t(v >> (8 * j));
    info += b.bytes;
    prev = &k;
  }
  PutLe16(&p[0], n.attr);
  PutLe16(&p[2], uint32_t(n.size()));
  PutLe32(&p[4], n.left);
  PutLe32(&p[8], n.right);
  PutLe16(&p[12], uint32_t(data_end - info));
  PutLe32(&p[14], uint32_t((uint64_t(1) << b.rn_bits) - 1));
  p[18] = uint8_t((1u << b.dup_bits) - 1);
  p[19] = uint8_t((1u << b.trail_bits) - 1);
  p[20] = uint8_t(b.rn_bits);
  p[21] = uint8_t(b.dup_bits);
  p[22] = uint8_t(b.trail_bits);
  p[23] = uint8_t(b.bytes);
  return true;
}

// Bytes the text of key `k` takes in a leaf after `prev` (nullptr for the
// first key of the leaf), as EncodeLeaf packs it.
int PackedLength(const std::string* prev, const std::string& k, int klen, uint8_t fill) {
  int trail = 0;
  while (trail < klen && uint8_t(k[size_t(klen - 1 - trail)]) == fill) ++trail;
  int dup = 0;
  if (prev) {
    int lim = klen - trail;
    while (dup < lim && (*prev)[size_t(dup)] == k[size_t(dup)]) ++dup;
  }
  return klen - dup - trail;
}

void MeasureLeaf(Node* n, uint8_t fill) {
  n->text_bytes = 0;
  n->max_recno = 0;
  for (size_t i = 0; i < n->size(); ++i) {
    n->text_bytes += PackedLength(i ? &n->keys[i - 1] : nullptr, n->keys[i], n->klen, fill);
    n->max_recno = std::max(n->max_recno, n->recnos[i]);
  }
}

// Whether a leaf of `count` keys with these measures fits in one page (the
// test EncodeLeaf makes).
bool LeafFits(int klen, size_t count, int text_bytes, uint32_t max_recno) {
  LeafBits b;
  if (!ChooseLeafBits(klen, max_recno, &b)) return false;
  return 24 + count * size_t(b.bytes) + size_t(text_bytes) <= kPage;
}

size_t InteriorCapacity(int klen) { return (kPage - 12) / size_t(klen + 8); }

bool EncodeInterior(const Node& n, PageBytes* out) {
  if (n.size() > InteriorCapacity(n.klen)) return false;
  PageBytes& p = *out;
  p.fill(0);
  PutLe16(&p[0], n.attr);
  PutLe16(&p[2], uint32_t(n.size()));
  PutLe32(&p[4], n.left);
  PutLe32(&p[8], n.right);
  size_t o = 12;
  for (size_t i = 0; i < n.size(); ++i) {
    memcpy(&p[o], n.keys[i].data(), size_t(n.klen));
    PutBe32(&p[o + n.klen], n.recnos[i]);
    PutBe32(&p[o + n.klen + 4], n.children[i]);
    o += size_t(n.klen) + 8;
  }
  return true;
}

bool EncodeNode(const Node& n, uint8_t fill, PageBytes* out) { return n.leaf() ? EncodeLeaf(n, fill, out) : EncodeInterior(n, out); }

}  // namespace

// ---------------------------------------------------------------------------

class CdxFile::Impl {
 public:
  struct TagState {
    TagInfo info;
    uint32_t root = 0;
    uint8_t fill = ' ';
    std::unique_ptr<Expr> key_expr, for_expr;
  };

  FileSystem* fs = nullptr;
  std::string path;
  std::string name;  // file name only, for messages
  std::unique_ptr<File> file;
  bool writable = false;
  bool corrupt = false;
  bool bound = false;
  uint64_t file_end = 0;
  uint32_t free_head = 0;
  uint32_t counter = 0;
  uint32_t dir_root = 0;
  uint64_t generation = 1;
  std::vector<TagState> tags;
  std::vector<int> by_name;
  std::map<uint32_t, PageBytes> pages;
  std::set<uint32_t> dirty;
  // Decoded nodes by page. A page listed in `unencoded` was changed in its
  // node only: its bytes in `pages` are stale until Materialize encodes it
  // (before any read of the raw page and at Flush).
  std::unordered_map<uint32_t, std::shared_ptr<Node>> nodes;
  std::unordered_map<uint32_t, uint8_t> unencoded;  // page -> fill byte of its tag

  // ---- errors ----
  Status Corrupt(const std::string& what) {
    corrupt = true;
    return Status::Error(kErrCorrupt, name + ": corrupt index: " + what);
  }
  Status CorruptTag(const TagState* t, uint32_t page, const std::string& what) {
    std::string where = t ? "tag " + t->info.name : std::string("tag directory");
    return Corrupt(where + ", page " + Hex(page) + ": " + what);
  }
  Status CanWrite() {
    if (corrupt) return Status::Error(kErrCorrupt, name + ": index found corrupt; it is not written");
    if (!writable) return Status::Error(kx::platform::kErrAccessDenied, name + ": index opened for reading only");
    return Status::Ok();
  }

  // ---- pages ----
  bool PageInFile(uint32_t off) const { return off >= 1024 && off % kPage == 0 && uint64_t(off) + kPage <= file_end; }

  void Materialize(uint32_t off) {
    auto u = unencoded.find(off);
    if (u == unencoded.end()) return;
    uint8_t fill = u->second;
    unencoded.erase(u);
    auto n = nodes.find(off);
    if (n == nodes.end()) return;
    EncodeNode(*n->second, fill, &pages[off]);  // fits: checked when it changed
  }
  void MaterializeAll() {
    while (!unencoded.empty()) Materialize(unencoded.begin()->first);
  }
  // The node of `off` was changed in place (it still fits its page).
  void NodeChanged(uint32_t off, uint8_t fill) {
    unencoded[off] = fill;
    dirty.insert(off);
    ++generation;
  }

  Status ReadRaw(uint32_t off, PageBytes* out) {
    Materialize(off);
    auto it = pages.find(off);
    if (it != pages.end()) {
      *out = it->second;
      return Status::Ok();
    }
    size_t got = 0;
    Status s = file->ReadAt(off, out->data(), kPage, &got);
    if (!s.ok()) return Status::Error(s.code(), name + ": " + s.message());
    if (got != kPage) return Corrupt("page " + Hex(off) + " lies beyond the end of the file");
    pages[off] = *out;
    return Status::Ok();
  }
  void WriteRaw(uint32_t off, const PageBytes& p) {
    pages[off] = p;
    dirty.insert(off);
    nodes.erase(off);
    unencoded.erase(off);
    ++generation;
    if (off + uint64_t(kPage) > file_end) file_end = off + uint64_t(kPage);
  }

  Status AllocPage(uint32_t* off) {
    if (free_head != 0) {
      if (!PageInFile(free_head)) return Corrupt("free list points outside the file (" + Hex(free_head) + ")");
      PageBytes p;
      Status s = ReadRaw(free_head, &p);
      if (!s.ok()) return s;
      uint32_t next = Le32(&p[0]);
      if (next != 0 && (!PageInFile(next) || next == free_head)) return Corrupt("free list page " + Hex(free_head) + " points to " + Hex(next));
      *off = free_head;
      free_head = next;
      return Status::Ok();
    }
    if (file_end + kPage > 0xFFFFFE00ull) return Status::Error(kErrUnsupported, name + ": index file would exceed 4 GB");
    *off = uint32_t(file_end);
    PageBytes z{};
    WriteRaw(*off, z);
    return Status::Ok();
  }
  void FreePage(uint32_t off) {
    PageBytes p{};
    PutLe32(&p[0], free_head);
    WriteRaw(off, p);
    free_head = off;
  }

  // ---- nodes ----
  Status ReadNode(const TagState* t, uint32_t off, int klen, uint8_t fill, std::shared_ptr<const Node>* out) {
    auto it = nodes.find(off);
    if (it != nodes.end() && it->second->klen == klen) {
      *out = it->second;
      return Status::Ok();
    }
    if (!PageInFile(off)) return CorruptTag(t, off, "node pointer outside the file");
    PageBytes p;
    Status s = ReadRaw(off, &p);
    if (!s.ok()) return s;
    auto n = std::make_shared<Node>();
    n->page = off;
    n->klen = klen;
    n->attr = Le16(&p[0]);
    size_t count = Le16(&p[2]);
    n->left = Le32(&p[4]);
    n->right = Le32(&p[8]);
    if (n->attr > 3) return CorruptTag(t, off, "node attribute " + std::to_string(n->attr) + " is not 0 to 3");
    if (n->leaf()) {
      int rb = p[20], db = p[21], tb = p[22], nb = p[23];
      if (nb < 1 || nb > 8 || rb + db + tb > nb * 8 || rb > 32 || db > 16 || tb > 16)
        return CorruptTag(t, off, "leaf bit counts are inconsistent");
      if (24 + count * size_t(nb) > kPage) return CorruptTag(t, off, "key count " + std::to_string(count) + " exceeds the page");
      size_t data_end = kPage;
      size_t info_end = 24 + count * size_t(nb);
      std::string prev;
      n->keys.reserve(count);
      n->recnos.reserve(count);
      for (size_t i = 0; i < count; ++i) {
        uint64_t v = 0;
        for (int j = 0; j < nb; ++j) v |= uint64_t(p[24 + i * nb + j]) << (8 * j);
        uint32_t rec = uint32_t(v & ((uint64_t(1) << rb) - 1));
        int dup = int((v >> rb) & ((uint64_t(1) << db) - 1));
        int trail = int((v >> (rb + db)) & ((uint64_t(1) << tb) - 1));
        if (dup + trail > klen || (i == 0 && dup > 0))
          return CorruptTag(t, off, "key " + std::to_string(i + 1) + " has bad duplicate/trailing counts");
        size_t len = size_t(klen - dup - trail);
        if (data_end < info_end + len) return CorruptTag(t, off, "key texts overlap the key information");
        data_end -= len;
        std::string k;
        k.reserve(size_t(klen));
        k.append(prev, 0, size_t(dup));
        k.append(reinterpret_cast<const char*>(&p[data_end]), len);
        k.append(size_t(trail), char(fill));
        n->keys.push_back(k);
        n->recnos.push_back(rec);
        prev = std::move(k);
      }
    } else {
      if (count > InteriorCapacity(klen)) return CorruptTag(t, off, "key count " + std::to_string(count) + " exceeds the page");
      if (count == 0 && !n->root()) return CorruptTag(t, off, "interior node without keys");
      size_t o = 12;
      for (size_t i = 0; i < count; ++i) {
        n->keys.emplace_back(reinterpret_cast<const char*>(&p[o]), size_t(klen));
        n->recnos.push_back(Be32(&p[o + klen]));
        uint32_t child = Be32(&p[o + klen + 4]);
        if (!PageInFile(child) || child == off) return CorruptTag(t, off, "child pointer " + Hex(child) + " out of range");
        n->children.push_back(child);
        o += size_t(klen) + 8;
      }
    }
    nodes[off] = n;
    *out = n;
    return Status::Ok();
  }
  Status ReadTagNode(const TagState& t, uint32_t off, std::shared_ptr<const Node>* out) {
    return ReadNode(&t, off, t.info.key_length, t.fill, out);
  }

  // Stores node n (its page is n.page). When it does not fit, splits it into
  // several nodes (n.page keeps the first, new pages follow in the sibling
  // chain). *out receives one separator per resulting node.
  Status StoreNode(const TagState& t, Node n, std::vector<Sep>* out) {
    PageBytes p;
    out->clear();
    if (EncodeNode(n, t.fill, &p)) {
      WriteRaw(n.page, p);
      if (n.size()) out->push_back({n.keys.back(), n.recnos.back(), n.page});
      n.text_bytes = -1;
      nodes[n.page] = std::make_shared<Node>(std::move(n));
      return Status::Ok();
    }
    // Split: try halves, then pack greedily.
    std::vector<std::pair<size_t, size_t>> ranges;
    auto fits = [&](size_t from, size_t to) {
      Node part;
      part.attr = uint16_t(n.attr & 2);
      part.klen = n.klen;
      part.keys.assign(n.keys.begin() + from, n.keys.begin() + to);
      part.recnos.assign(n.recnos.begin() + from, n.recnos.begin() + to);
      if (!n.leaf()) part.children.assign(n.children.begin() + from, n.children.begin() + to);
      PageBytes tmp;
      return EncodeNode(part, t.fill, &tmp);
    };
    size_t mid = n.size() / 2;
    if (n.size() >= 2 && fits(0, mid) && fits(mid, n.size())) {
      ranges = {{0, mid}, {mid, n.size()}};
    } else {
      size_t from = 0;
      while (from < n.size()) {
        size_t to = from + 1;
        if (!fits(from, to)) return Status::Error(kErrUnsupported, name + ": tag " + t.info.name + ": a key does not fit in a page");
        while (to < n.size() && fits(from, to + 1)) ++to;
        ranges.push_back({from, to});
        from = to;
      }
    }
    std::vector<uint32_t> pagesv(ranges.size());
    pagesv[0] = n.page;
    for (size_t i = 1; i < ranges.size(); ++i) {
      Status s = AllocPage(&pagesv[i]);
      if (!s.ok()) return s;
    }
    uint32_t old_right = n.right;
    for (size_t i = 0; i < ranges.size(); ++i) {
      Node part;
      part.page = pagesv[i];
      part.attr = uint16_t(n.attr & 2);
      part.klen = n.klen;
      part.left = i == 0 ? n.left : pagesv[i - 1];
      part.right = i + 1 < ranges.size() ? pagesv[i + 1] : old_right;
      auto [from, to] = ranges[i];
      part.keys.assign(n.keys.begin() + from, n.keys.begin() + to);
      part.recnos.assign(n.recnos.begin() + from, n.recnos.begin() + to);
      if (!n.leaf()) part.children.assign(n.children.begin() + from, n.children.begin() + to);
      if (!EncodeNode(part, t.fill, &p)) return Status::Error(kErrUnsupported, name + ": node split failed");
      WriteRaw(part.page, p);
      out->push_back({part.keys.back(), part.recnos.back(), part.page});
    }
    if (old_right != kNone) {
      Status s = PatchLink(t, old_right, 4, pagesv.back());
      if (!s.ok()) return s;
    }
    return Status::Ok();
  }

  // Sets the left (at 4) or right (at 8) sibling pointer of a page.
  Status PatchLink(const TagState& t, uint32_t page, int at, uint32_t value) {
    if (!PageInFile(page)) return CorruptTag(&t, page, "sibling pointer outside the file");
    PageBytes p;
    Status s = ReadRaw(page, &p);
    if (!s.ok()) return s;
    PutLe32(&p[at], value);
    WriteRaw(page, p);
    return Status::Ok();
  }

  Status UnlinkAndFree(const TagState& t, const Node& n) {
    if (n.left != kNone) {
      Status s = PatchLink(t, n.left, 8, n.right);
      if (!s.ok()) return s;
    }
    if (n.right != kNone) {
      Status s = PatchLink(t, n.right, 4, n.left);
      if (!s.ok()) return s;
    }
    FreePage(n.page);
    return Status::Ok();
  }

  Status SetRoot(TagState& t, uint32_t root) {
    PageBytes p;
    Status s = ReadRaw(t.info.header_offset, &p);
    if (!s.ok()) return s;
    PutLe32(&p[0], root);
    WriteRaw(t.info.header_offset, p);
    t.root = root;
    return Status::Ok();
  }

  // Builds a new root above several separators (repeats while they do not fit).
  Status GrowRoot(TagState& t, std::vector<Sep> seps) {
    // The old root page (first separator) is no longer the root.
    {
      PageBytes p;
      Status s = ReadRaw(seps[0].page, &p);
      if (!s.ok()) return s;
      PutLe16(&p[0], Le16(&p[0]) & ~1u);
      WriteRaw(seps[0].page, p);
    }
    while (true) {
      uint32_t page;
      Status s = AllocPage(&page);
      if (!s.ok()) return s;
      Node r;
      r.page = page;
      r.attr = 1;
      r.klen = t.info.key_length;
      for (auto& sp : seps) {
        r.keys.push_back(sp.key);
        r.recnos.push_back(sp.recno);
        r.children.push_back(sp.page);
      }
      if (seps.size() <= InteriorCapacity(r.klen)) {
        PageBytes p;
        EncodeInterior(r, &p);
        WriteRaw(page, p);
        return SetRoot(t, page);
      }
      r.attr = 0;
      std::vector<Sep> next;
      s = StoreNode(t, r, &next);
      if (!s.ok()) return s;
      seps = std::move(next);
    }
  }

  // ---- insert / remove ----
  // Index of the first entry of `n` not before (key, recno).
  static size_t LowerBound(const Node& n, std::string_view key, uint32_t recno) {
    size_t lo = 0, hi = n.size();
    while (lo < hi) {
      size_t mid = (lo + hi) / 2;
      if (CompareEntry(n.keys[mid], n.recnos[mid], key, recno) < 0) lo = mid + 1;
      else hi = mid;
    }
    return lo;
  }

  // Adds (key, recno) below `page`; an entry already present changes nothing.
  // A node that still fits its page is changed in place and encoded later;
  // one that does not is split by StoreNode.
  Status InsertAt(TagState& t, uint32_t page, int depth, std::string_view key, uint32_t recno, std::vector<Sep>* out) {
    if (depth > kMaxDepth) return CorruptTag(&t, page, "tree deeper than " + std::to_string(kMaxDepth) + " levels (a cycle?)");
    std::shared_ptr<const Node> cur;
    Status s = ReadTagNode(t, page, &cur);
    if (!s.ok()) return s;
    Node* m = nodes[page].get();
    if (cur->leaf()) {
      size_t i = LowerBound(*cur, key, recno);
      if (i < cur->size() && cur->recnos[i] == recno && cur->keys[i] == key) {
        *out = {{cur->keys.back(), cur->recnos.back(), page}};
        return Status::Ok();
      }
      if (m->text_bytes < 0) MeasureLeaf(m, t.fill);
      std::string k(key);
      int klen = m->klen;
      const std::string* prev = i > 0 ? &m->keys[i - 1] : nullptr;
      int delta = PackedLength(prev, k, klen, t.fill);
      if (i < m->size()) delta += PackedLength(&k, m->keys[i], klen, t.fill) - PackedLength(prev, m->keys[i], klen, t.fill);
      uint32_t max_recno = std::max(m->max_recno, recno);
      if (LeafFits(klen, m->size() + 1, m->text_bytes + delta, max_recno)) {
        m->keys.insert(m->keys.begin() + long(i), std::move(k));
        m->recnos.insert(m->recnos.begin() + long(i), recno);
        m->text_bytes += delta;
        m->max_recno = max_recno;
        NodeChanged(page, t.fill);
        *out = {{m->keys.back(), m->recnos.back(), page}};
        return Status::Ok();
      }
      Node n = *cur;
      n.keys.insert(n.keys.begin() + long(i), std::move(k));
      n.recnos.insert(n.recnos.begin() + long(i), recno);
      return StoreNode(t, std::move(n), out);
    }
    if (cur->size() == 0) return CorruptTag(&t, page, "interior node without keys");
    size_t i = std::min(LowerBound(*cur, key, recno), cur->size() - 1);
    uint32_t child = cur->children[i];
    std::vector<Sep> sub;
    s = InsertAt(t, child, depth + 1, key, recno, &sub);
    if (!s.ok()) return s;
    // The child's changes may have dropped this node from the cache.
    s = ReadTagNode(t, page, &cur);
    if (!s.ok()) return s;
    m = nodes[page].get();
    if (Unchanged(*cur, i, sub)) {
      *out = {{cur->keys.back(), cur->recnos.back(), page}};
      return Status::Ok();
    }
    if (sub.size() == 1 && sub[0].page == m->children[i]) {
      // Only the child's highest entry moved.
      m->keys[i] = sub[0].key;
      m->recnos[i] = sub[0].recno;
      NodeChanged(page, t.fill);
      *out = {{m->keys.back(), m->recnos.back(), page}};
      return Status::Ok();
    }
    Node n = *cur;
    ReplaceEntry(&n, i, sub);
    return StoreNode(t, std::move(n), out);
  }

  // Fills the empty tag `t` with `e` from the leaves up: leaves packed as full
  // as they go, then each interior level above them. The top node goes into
  // the tag's root page, so the tag header is not rewritten and a write cut
  // short leaves it pointing at a page of the file.
  Status BuildTag(TagState& t, std::vector<CdxFile::Entry>& e) {
    std::shared_ptr<const Node> old_root;
    Status s = ReadTagNode(t, t.root, &old_root);
    if (!s.ok()) return s;
    if (!old_root->leaf() || old_root->size() != 0)
      return Status::Error(kErrBadArgument, name + ": tag " + t.info.name + " is not empty");
    std::sort(e.begin(), e.end(), [](const CdxFile::Entry& a, const CdxFile::Entry& b) {
      return CompareEntry(a.key, a.recno, b.key, b.recno) < 0;
    });
    if (t.info.unique || t.info.candidate) {
      size_t w = 0;
      for (size_t r = 0; r < e.size(); ++r) {
        if (w > 0 && e[w - 1].key == e[r].key) {
          if (t.info.candidate)
            return Status::Error(kErrDuplicateKey, name + ": tag " + t.info.name + ": record " + std::to_string(e[w - 1].recno) + " already has this key");
          continue;  // the lowest record number keeps the key
        }
        if (w != r) e[w] = std::move(e[r]);
        ++w;
      }
      e.resize(w);
    }
    if (e.empty()) return Status::Ok();
    const int klen = t.info.key_length;
    for (const auto& x : e)
      if (int(x.key.size()) != klen || x.recno == 0)
        return Status::Error(kErrBadArgument, name + ": tag " + t.info.name + ": bad entry for record " + std::to_string(x.recno));
    std::vector<Node> level;
    {
      Node cur;
      cur.attr = 2;
      cur.klen = klen;
      int bytes = 0;
      uint32_t max_recno = 0;
      for (auto& x : e) {
        int len = PackedLength(cur.size() ? &cur.keys.back() : nullptr, x.key, klen, t.fill);
        if (cur.size() && !LeafFits(klen, cur.size() + 1, bytes + len, std::max(max_recno, x.recno))) {
          level.push_back(std::move(cur));
          cur = Node();
          cur.attr = 2;
          cur.klen = klen;
          bytes = 0;
          max_recno = 0;
          len = PackedLength(nullptr, x.key, klen, t.fill);
        }
        bytes += len;
        max_recno = std::max(max_recno, x.recno);
        cur.keys.push_back(std::move(x.key));
        cur.recnos.push_back(x.recno);
      }
      level.push_back(std::move(cur));
      e.clear();
    }
    const size_t fanout = InteriorCapacity(klen);
    while (true) {
      bool top = level.size() == 1;
      std::vector<uint32_t> pg(level.size());
      if (top) {
        pg[0] = t.root;
      } else {
        for (auto& p : pg) {
          s = AllocPage(&p);
          if (!s.ok()) return s;
        }
      }
      std::vector<Node> up;
      for (size_t i = 0; i < level.size(); ++i) {
        Node& n = level[i];
        n.page = pg[i];
        n.left = i ? pg[i - 1] : kNone;
        n.right = i + 1 < pg.size() ? pg[i + 1] : kNone;
        if (top) n.attr = uint16_t(n.attr | 1);
        PageBytes bytes;
        if (!EncodeNode(n, t.fill, &bytes)) return Status::Error(kErrUnsupported, name + ": tag " + t.info.name + ": a built node does not fit its page");
        WriteRaw(n.page, bytes);
        if (top) break;
        if (up.empty() || up.back().size() == fanout) {
          up.emplace_back();
          up.back().attr = 0;
          up.back().klen = klen;
        }
        up.back().keys.push_back(n.keys.back());
        up.back().recnos.push_back(n.recnos.back());
        up.back().children.push_back(n.page);
      }
      if (top) break;
      level = std::move(up);
    }
    return Status::Ok();
  }

  // True when the child's separator is still the one the node holds.
  static bool Unchanged(const Node& n, size_t i, const std::vector<Sep>& sub) {
    return sub.size() == 1 && sub[0].page == n.children[i] && sub[0].recno == n.recnos[i] && sub[0].key == n.keys[i];
  }

  static void ReplaceEntry(Node* n, size_t i, const std::vector<Sep>& sub) {
    n->keys.erase(n->keys.begin() + i);
    n->recnos.erase(n->recnos.begin() + i);
    n->children.erase(n->children.begin() + i);
    for (size_t j = 0; j < sub.size(); ++j) {
      n->keys.insert(n->keys.begin() + i + j, sub[j].key);
      n->recnos.insert(n->recnos.begin() + i + j, sub[j].recno);
      n->children.insert(n->children.begin() + i + j, sub[j].page);
    }
  }

  // *found false: nothing changed.
  Status RemoveAt(TagState& t, uint32_t page, int depth, std::string_view key, uint32_t recno, bool* found, std::vector<Sep>* out) {
    if (depth > kMaxDepth) return CorruptTag(&t, page, "tree deeper than " + std::to_string(kMaxDepth) + " levels (a cycle?)");
    std::shared_ptr<const Node> cur;
    Status s = ReadTagNode(t, page, &cur);
    if (!s.ok()) return s;
    Node n = *cur;
    *found = false;
    if (n.leaf()) {
      size_t i = 0;
      while (i < n.size() && CompareEntry(n.keys[i], n.recnos[i], key, recno) < 0) ++i;
      if (i == n.size() || CompareEntry(n.keys[i], n.recnos[i], key, recno) != 0) return Status::Ok();
      *found = true;
      n.keys.erase(n.keys.begin() + i);
      n.recnos.erase(n.recnos.begin() + i);
    } else {
      size_t i = 0;
      while (i < n.size() && CompareEntry(n.keys[i], n.recnos[i], key, recno) < 0) ++i;
      if (i == n.size()) return Status::Ok();
      std::vector<Sep> sub;
      s = RemoveAt(t, n.children[i], depth + 1, key, recno, found, &sub);
      if (!s.ok() || !*found) return s;
      if (Unchanged(n, i, sub)) {
        *out = {{n.keys.back(), n.recnos.back(), n.page}};
        return Status::Ok();
      }
      ReplaceEntry(&n, i, sub);
    }
    if (n.size() == 0) {
      out->clear();
      if (n.root()) {
        n.attr = 3;  // an empty tag is one empty root leaf
        n.children.clear();
        std::vector<Sep> ignored;
        return StoreNode(t, std::move(n), &ignored);
      }
      return UnlinkAndFree(t, n);
    }
    return StoreNode(t, std::move(n), out);
  }

  Status ReplaceRootAfter(TagState& t, const std::vector<Sep>& out) {
    if (out.size() > 1) return GrowRoot(t, out);
    return Status::Ok();
  }

  // ---- positions ----
  struct Pos {
    uint32_t page = 0;  // 0: past the end
    size_t index = 0;
  };

  // First entry for which `after(key, recno)` holds (a predicate that is
  // false then true in index order); page 0 when none.
  Status FindFirst(const TagState& t, const std::function<bool(const std::string&, uint32_t)>& after, Pos* pos,
                   std::shared_ptr<const Node>* leaf_out = nullptr) {
    uint32_t page = t.root;
    for (int depth = 0;; ++depth) {
      if (depth > kMaxDepth) return CorruptTag(&t, page, "tree too deep (a cycle?)");
      std::shared_ptr<const Node> n;
      Status s = ReadTagNode(t, page, &n);
      if (!s.ok()) return s;
      // `after` is false then true along the node: the first true by halving.
      size_t lo = 0, hi = n->size();
      while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        if (after(n->keys[mid], n->recnos[mid])) hi = mid;
        else lo = mid + 1;
      }
      size_t i = lo;
      if (n->leaf()) {
        if (i < n->size()) {
          *pos = {page, i};
          if (leaf_out) *leaf_out = n;
          return Status::Ok();
        }
        // Every key here is before; the answer starts the next non-empty leaf.
        return SkipForward(t, n->right, pos);
      }
      if (i == n->size()) {
        *pos = {};
        return Status::Ok();
      }
      page = n->children[i];
    }
  }

  Status SkipForward(const TagState& t, uint32_t page, Pos* pos) {
    for (int guard = 0; page != kNone; ++guard) {
      if (guard > 100000) return CorruptTag(&t, page, "sibling chain does not end");
      std::shared_ptr<const Node> n;
      Status s = ReadTagNode(t, page, &n);
      if (!s.ok()) return s;
      if (!n->leaf()) return CorruptTag(&t, page, "leaf sibling is not a leaf");
      if (n->size()) {
        *pos = {page, 0};
        return Status::Ok();
      }
      page = n->right;
    }
    *pos = {};
    return Status::Ok();
  }

  Status Last(const TagState& t, Pos* pos) {
    uint32_t page = t.root;
    for (int depth = 0;; ++depth) {
      if (depth > kMaxDepth) return CorruptTag(&t, page, "tree too deep (a cycle?)");
      std::shared_ptr<const Node> n;
      Status s = ReadTagNode(t, page, &n);
      if (!s.ok()) return s;
      if (n->leaf()) {
        if (n->size()) {
          *pos = {page, n->size() - 1};
          return Status::Ok();
        }
        return SkipBackward(t, n->left, pos);
      }
      if (n->size() == 0) {
        *pos = {};
        return Status::Ok();
      }
      page = n->children.back();
    }
  }

  Status SkipBackward(const TagState& t, uint32_t page, Pos* pos) {
    for (int guard = 0; page != kNone; ++guard) {
      if (guard > 100000) return CorruptTag(&t, page, "sibling chain does not end");
      std::shared_ptr<const Node> n;
      Status s = ReadTagNode(t, page, &n);
      if (!s.ok()) return s;
      if (!n->leaf()) return CorruptTag(&t, page, "leaf sibling is not a leaf");
      if (n->size()) {
        *pos = {page, n->size() - 1};
        return Status::Ok();
      }
      page = n->left;
    }
    *pos = {};
    return Status::Ok();
  }

  Status Step(const TagState& t, Pos* pos, bool forward) {
    if (pos->page == 0) {
      if (forward) return Status::Ok();
      return Last(t, pos);
    }
    std::shared_ptr<const Node> n;
    Status s = ReadTagNode(t, pos->page, &n);
    if (!s.ok()) return s;
    if (forward) {
      if (pos->index + 1 < n->size()) {
        ++pos->index;
        return Status::Ok();
      }
      return SkipForward(t, n->right, pos);
    }
    if (pos->index > 0 && pos->index <= n->size()) {
      --pos->index;
      return Status::Ok();
    }
    return SkipBackward(t, n->left, pos);
  }

  Status EntryAt(const TagState& t, const Pos& pos, std::string* key, uint32_t* recno) {
    std::shared_ptr<const Node> n;
    Status s = ReadTagNode(t, pos.page, &n);
    if (!s.ok()) return s;
    if (pos.index >= n->size()) return CorruptTag(&t, pos.page, "position outside the node");
    *key = n->keys[pos.index];
    *recno = n->recnos[pos.index];
    return Status::Ok();
  }

  Status HasKey(const TagState& t, std::string_view key, bool* has, uint32_t* recno) {
    Pos pos;
    std::shared_ptr<const Node> leaf;
    Status s = FindFirst(t, [&](const std::string& k, uint32_t) { return k.compare(key) >= 0; }, &pos);
    if (!s.ok()) return s;
    *has = false;
    if (pos.page == 0) return Status::Ok();
    std::string k;
    uint32_t r;
    s = EntryAt(t, pos, &k, &r);
    if (!s.ok()) return s;
    if (k == key) {
      *has = true;
      *recno = r;
    }
    return Status::Ok();
  }

  // ---- tag directory ----
  Status ReadTagHeader(uint32_t off, TagState* t) {
    if (!PageInFile(off) || uint64_t(off) + 2 * kPage > file_end) return Corrupt("tag header at " + Hex(off) + " lies outside the file");
    PageBytes h, pool;
    Status s = ReadRaw(off, &h);
    if (!s.ok()) return s;
    s = ReadRaw(off + kPage, &pool);
    if (!s.ok()) return s;
    TagInfo& info = t->info;
    t->root = Le32(&h[0]);
    info.key_length = Le16(&h[12]);
    uint8_t opt = h[14];
    std::string where = "tag " + info.name + " (header " + Hex(off) + "): ";
    if (info.key_length < 1 || info.key_length > kMaxKeyLength)
      return Corrupt(where + "key length " + std::to_string(info.key_length) + " out of range");
    if (!(opt & 0x20)) return Corrupt(where + "not a compact index tag (options " + Hex(opt) + ")");
    info.unique = opt & 0x01;
    info.nullable = opt & 0x02;
    info.candidate = opt & 0x04;
    bool has_for = opt & 0x08;
    info.descending = Le16(&h[502]) != 0;
    std::string coll(reinterpret_cast<const char*>(&h[494]), 8);
    coll = coll.substr(0, coll.find('\0'));
    if (coll.empty() || UpperAscii(coll) == "MACHINE")
      info.collation = Collation::Machine;
    else if (UpperAscii(coll) == "GENERAL")
      info.collation = Collation::General;
    else
      return Status::Error(kErrUnsupported, name + ": " + where + "collation " + coll + " is not supported");
    auto expr = [&](int start_at, int len_at, std::string* out) -> bool {
      uint32_t start = Le16(&h[start_at]), len = Le16(&h[len_at]);
      if (start + len > kPage) return false;
      std::string sv(reinterpret_cast<const char*>(&pool[start]), len);
      *out = sv.substr(0, sv.find('\0'));
      return true;
    };
    if (!expr(508, 510, &info.key_expr)) return Corrupt(where + "key expression outside the expression pool");
    if (!expr(504, 506, &info.for_expr)) return Corrupt(where + "FOR expression outside the expression pool");
    if (!has_for) info.for_expr.clear();
    if (info.key_expr.empty()) return Corrupt(where + "empty key expression");
    info.header_offset = off;
    t->fill = info.collation == Collation::General ? 0 : ' ';
    if (!PageInFile(t->root)) return Corrupt(where + "root page " + Hex(t->root) + " outside the file");
    return Status::Ok();
  }

  // Every (name, header offset) of the directory tree, in name order.
  Status ReadDirectory(std::vector<std::pair<std::string, uint32_t>>* out) {
    std::set<uint32_t> seen;
    std::shared_ptr<const Node> n;
    uint32_t page = dir_root;
    // Descend to the leftmost leaf, then follow the sibling chain.
    for (int depth = 0;; ++depth) {
      if (depth > kMaxDepth) return CorruptTag(nullptr, page, "tag directory too deep (a cycle?)");
      Status s = ReadNode(nullptr, page, 10, ' ', &n);
      if (!s.ok()) return s;
      if (n->leaf()) break;
      if (n->size() == 0) return CorruptTag(nullptr, page, "empty interior node");
      page = n->children[0];
    }
    while (true) {
      if (!seen.insert(page).second) return CorruptTag(nullptr, page, "sibling chain loops");
      for (size_t i = 0; i < n->size(); ++i) {
        std::string nm = n->keys[i];
        while (!nm.empty() && (nm.back() == ' ' || nm.back() == '\0')) nm.pop_back();
        out->push_back({nm, n->recnos[i]});
      }
      if (n->right == kNone) break;
      page = n->right;
      Status s = ReadNode(nullptr, page, 10, ' ', &n);
      if (!s.ok()) return s;
      if (!n->leaf()) return CorruptTag(nullptr, page, "leaf sibling is not a leaf");
    }
    return Status::Ok();
  }

  Status Load() {
    uint64_t size = 0;
    Status s = file->Size(&size);
    if (!s.ok()) return Status::Error(s.code(), name + ": " + s.message());
    if (size < 1024) return Corrupt("file of " + std::to_string(size) + " bytes is shorter than its header");
    if (size % kPage != 0) return Corrupt("file length " + std::to_string(size) + " is not a multiple of 512 (truncated?)");
    if (size > 0xFFFFFE00ull) return Corrupt("file larger than 4 GB");
    file_end = size;
    PageBytes h;
    size_t got = 0;
    s = file->ReadAt(0, h.data(), kPage, &got);
    if (!s.ok()) return Status::Error(s.code(), name + ": " + s.message());
    if (got != kPage) return Corrupt("header cannot be read");
    pages[0] = h;
    dir_root = Le32(&h[0]);
    free_head = Le32(&h[4]);
    if (free_head == kNone) free_head = 0;
    counter = Be32(&h[8]);
    if (Le16(&h[12]) != 10) return Corrupt("compound header key length " + std::to_string(Le16(&h[12])) + " is not 10");
    if ((h[14] & 0xE0) != 0xE0) return Corrupt("not a compound index (options " + Hex(h[14]) + ")");
    if (free_head != 0 && !PageInFile(free_head)) return Corrupt("free list head " + Hex(free_head) + " outside the file");
    std::vector<std::pair<std::string, uint32_t>> dir;
    s = ReadDirectory(&dir);
    if (!s.ok()) return s;
    std::set<uint32_t> offs;
    for (auto& [nm, off] : dir) {
      if (!offs.insert(off).second) return Corrupt("two tags share the header at " + Hex(off));
      TagState t;
      t.info.name = UpperAscii(nm);
      s = ReadTagHeader(off, &t);
      if (!s.ok()) return s;
      tags.push_back(std::move(t));
    }
    // Creation order: the order of the headers in the file.
    std::vector<int> idx(tags.size());
    for (size_t i = 0; i < idx.size(); ++i) idx[i] = int(i);
    std::stable_sort(idx.begin(), idx.end(), [&](int a, int b) { return tags[a].info.header_offset < tags[b].info.header_offset; });
    std::vector<TagState> sorted;
    by_name.assign(tags.size(), 0);
    for (size_t i = 0; i < idx.size(); ++i) {
      by_name[size_t(idx[i])] = int(i);
      sorted.push_back(std::move(tags[size_t(idx[i])]));
    }
    // by_name[k] = creation index of the k-th tag in name order.
    tags = std::move(sorted);
    return Status::Ok();
  }

  Status WriteDirectory() {
    std::vector<Sep> entries;
    for (int k : by_name) {
      std::string nm = tags[size_t(k)].info.name;
      nm.resize(10, ' ');
      entries.push_back({nm, tags[size_t(k)].info.header_offset, 0});
    }
    // Free the old directory pages except its root, then rebuild below the root.
    std::vector<uint32_t> old;
    Status s = CollectPages(nullptr, dir_root, 10, ' ', 0, &old);
    if (!s.ok()) return s;
    for (uint32_t pg : old)
      if (pg != dir_root) FreePage(pg);
    TagState dir;
    dir.info.name = "(directory)";
    dir.info.key_length = 10;
    dir.fill = ' ';
    dir.info.header_offset = 0;
    Node root;
    root.page = dir_root;
    root.attr = 3;
    root.klen = 10;
    for (auto& e : entries) {
      root.keys.push_back(e.key);
      root.recnos.push_back(e.recno);
    }
    std::vector<Sep> out;
    s = StoreNode(dir, root, &out);
    if (!s.ok()) return s;
    if (out.size() > 1) {
      s = GrowRoot(dir, out);
      if (!s.ok()) return s;
      dir_root = dir.root;
    }
    return Status::Ok();
  }

  Status CollectPages(const TagState* t, uint32_t page, int klen, uint8_t fill, int depth, std::vector<uint32_t>* out) {
    if (depth > kMaxDepth) return CorruptTag(t, page, "tree too deep (a cycle?)");
    std::shared_ptr<const Node> n;
    Status s = ReadNode(t, page, klen, fill, &n);
    if (!s.ok()) return s;
    out->push_back(page);
    for (uint32_t c : n->children) {
      s = CollectPages(t, c, klen, fill, depth + 1, out);
      if (!s.ok()) return s;
    }
    return Status::Ok();
  }

  void WriteHeaderFields() {
    PageBytes h = pages[0];
    PutLe32(&h[0], dir_root);
    PutLe32(&h[4], free_head);
    PutBe32(&h[8], counter);
    if (h != pages[0]) WriteRaw(0, h);
  }

  Status Flush() {
    MaterializeAll();
    if (dirty.empty()) return Status::Ok();
    if (corrupt) {
      dirty.clear();
      return Status::Error(kErrCorrupt, name + ": index found corrupt; changes were not written");
    }
    ++counter;
    WriteHeaderFields();
    for (uint32_t off : dirty) {
      Status s = file->WriteAt(off, pages[off].data(), kPage);
      if (!s.ok()) return Status::Error(s.code(), name + ": " + s.message());
    }
    dirty.clear();
    Status s = file->Flush();
    if (!s.ok()) return Status::Error(s.code(), name + ": " + s.message());
    return Status::Ok();
  }

  void Touch() { WriteHeaderFields(); }

  // ---- check ----
  Status CheckTree(const TagState& t, std::set<uint32_t>* used) {
    std::vector<std::vector<uint32_t>> levels;
    std::string last_key;
    uint32_t last_rec = 0;
    bool any = false;
    std::function<Status(uint32_t, int, std::string*, uint32_t*)> walk = [&](uint32_t page, int depth, std::string* mk, uint32_t* mr) -> Status {
      if (depth > kMaxDepth) return CorruptTag(&t, page, "tree too deep (a cycle?)");
      if (!used->insert(page).second) return CorruptTag(&t, page, "page reached twice");
      std::shared_ptr<const Node> n;
      Status s = ReadTagNode(t, page, &n);
      if (!s.ok()) return s;
      if (n->root() != (depth == 0)) return CorruptTag(&t, page, "root attribute wrong");
      if (levels.size() <= size_t(depth)) levels.resize(size_t(depth) + 1);
      levels[size_t(depth)].push_back(page);
      if (n->leaf()) {
        if (levels.size() != size_t(depth) + 1) return CorruptTag(&t, page, "leaves at different depths");
        PageBytes raw, enc;
        s = ReadRaw(page, &raw);
        if (!s.ok()) return s;
        if (!EncodeLeaf(*n, t.fill, &enc)) return CorruptTag(&t, page, "leaf keys do not fit in a page");
        uint32_t maxmask = uint32_t((uint64_t(1) << raw[20]) - 1);
        if (Le32(&raw[14]) != maxmask || raw[18] != uint8_t((1u << raw[21]) - 1) || raw[19] != uint8_t((1u << raw[22]) - 1))
          return CorruptTag(&t, page, "leaf masks do not match their bit counts");
        size_t used_bytes = 0;
        {
          // Recompute the free space from the stored entries.
          int rb = raw[20], db = raw[21], tb = raw[22], nb = raw[23];
          for (size_t i = 0; i < n->size(); ++i) {
            uint64_t v = 0;
            for (int j = 0; j < nb; ++j) v |= uint64_t(raw[24 + i * nb + j]) << (8 * j);
            int dup = int((v >> rb) & ((uint64_t(1) << db) - 1));
            int trail = int((v >> (rb + db)) & ((uint64_t(1) << tb) - 1));
            used_bytes += size_t(t.info.key_length - dup - trail) + size_t(nb);
            if (n->recnos[i] == 0) return CorruptTag(&t, page, "record number 0");
          }
        }
        if (Le16(&raw[12]) != kPage - 24 - used_bytes) return CorruptTag(&t, page, "free-space count " + std::to_string(Le16(&raw[12])) + " should be " + std::to_string(kPage - 24 - used_bytes));
        for (size_t i = 0; i < n->size(); ++i) {
          if (any) {
            int c = CompareEntry(last_key, last_rec, n->keys[i], n->recnos[i]);
            if (c >= 0) return CorruptTag(&t, page, "keys out of order");
            if ((t.info.unique || t.info.candidate) && last_key == n->keys[i]) return CorruptTag(&t, page, "repeated key in a unique tag");
          }
          any = true;
          last_key = n->keys[i];
          last_rec = n->recnos[i];
        }
      } else {
        if (n->size() == 0 && depth > 0) return CorruptTag(&t, page, "empty interior node");
        for (size_t i = 0; i < n->size(); ++i) {
          std::string ck;
          uint32_t cr = 0;
          s = walk(n->children[i], depth + 1, &ck, &cr);
          if (!s.ok()) return s;
          if (ck != n->keys[i] || cr != n->recnos[i]) return CorruptTag(&t, page, "interior key " + std::to_string(i + 1) + " is not the last key of its child");
        }
      }
      if (n->size()) {
        *mk = n->keys.back();
        *mr = n->recnos.back();
      } else if (depth > 0) {
        return CorruptTag(&t, page, "empty node below the root");
      }
      return Status::Ok();
    };
    std::string k;
    uint32_t r = 0;
    Status s = walk(t.root, 0, &k, &r);
    if (!s.ok()) return s;
    for (auto& level : levels) {
      for (size_t i = 0; i < level.size(); ++i) {
        std::shared_ptr<const Node> n;
        s = ReadTagNode(t, level[i], &n);
        if (!s.ok()) return s;
        uint32_t want_left = i == 0 ? kNone : level[i - 1];
        uint32_t want_right = i + 1 == level.size() ? kNone : level[i + 1];
        if (n->left != want_left || n->right != want_right) return CorruptTag(&t, level[i], "sibling pointers are wrong");
      }
    }
    return Status::Ok();
  }

  Status Check() {
    std::set<uint32_t> used;
    std::vector<uint32_t> dir_pages;
    Status s = CollectPages(nullptr, dir_root, 10, ' ', 0, &dir_pages);
    if (!s.ok()) return s;
    for (uint32_t p : dir_pages)
      if (!used.insert(p).second) return CorruptTag(nullptr, p, "page reached twice");
    for (auto& t : tags) {
      used.insert(t.info.header_offset);
      used.insert(t.info.header_offset + kPage);
    }
    for (auto& t : tags) {
      s = CheckTree(t, &used);
      if (!s.ok()) return s;
    }
    std::set<uint32_t> seen;
    for (uint32_t p = free_head; p != 0;) {
      if (!PageInFile(p)) return Corrupt("free list page " + Hex(p) + " outside the file");
      if (!seen.insert(p).second) return Corrupt("free list loops at " + Hex(p));
      if (used.count(p)) return Corrupt("free list page " + Hex(p) + " is in use");
      PageBytes b;
      s = ReadRaw(p, &b);
      if (!s.ok()) return s;
      p = Le32(&b[0]);
    }
    return Status::Ok();
  }
};

// ---------------------------------------------------------------------------

namespace {

class CursorImpl : public Cursor {
 public:
  CursorImpl(CdxFile::Impl* f, int tag) : f_(f), tag_(tag) {}

  Status First() override { return GoEnd(!Desc()); }
  Status Last() override { return GoEnd(Desc()); }
  Status Next() override { return Move(!Desc()); }
  Status Prev() override { return Move(Desc()); }

  Status Seek(std::string_view key, bool* found) override {
    *found = false;
    const auto& t = T();
    CdxFile::Impl::Pos pos;
    Status s;
    if (!Desc()) {
      s = f_->FindFirst(t, [&](const std::string& k, uint32_t) { return ComparePrefix(k, key) >= 0; }, &pos);
    } else {
      s = f_->FindFirst(t, [&](const std::string& k, uint32_t) { return ComparePrefix(k, key) > 0; }, &pos);
      if (s.ok()) s = f_->Step(t, &pos, false);
    }
    if (!s.ok()) return Fail(s);
    s = Load(pos);
    if (!s.ok()) return s;
    *found = valid_ && ComparePrefix(key_, key) == 0;
    return Status::Ok();
  }

  Status SeekEntry(std::string_view key, uint32_t recno, bool* found) override {
    *found = false;
    CdxFile::Impl::Pos pos;
    Status s = f_->FindFirst(T(), [&](const std::string& k, uint32_t r) { return CompareEntry(k, r, key, recno) >= 0; }, &pos);
    if (!s.ok()) return Fail(s);
    s = Load(pos);
    if (!s.ok()) return s;
    if (valid_ && key_ == key && recno_ == recno) {
      *found = true;
    } else {
      valid_ = false;
    }
    return Status::Ok();
  }

  bool Valid() const override { return valid_; }
  uint32_t recno() const override { return recno_; }
  const std::string& key() const override { return key_; }

 private:
  const CdxFile::Impl::TagState& T() const { return f_->tags[size_t(tag_)]; }
  bool Desc() const { return T().info.descending; }

  Status Fail(Status s) {
    valid_ = false;
    return s;
  }

  Status Load(const CdxFile::Impl::Pos& pos) {
    pos_ = pos;
    gen_ = f_->generation;
    if (pos.page == 0) {
      valid_ = false;
      return Status::Ok();
    }
    Status s = f_->EntryAt(T(), pos, &key_, &recno_);
    if (!s.ok()) return Fail(s);
    valid_ = true;
    return Status::Ok();
  }

  Status GoEnd(bool first_in_storage) {
    CdxFile::Impl::Pos pos;
    Status s = first_in_storage ? f_->FindFirst(T(), [](const std::string&, uint32_t) { return true; }, &pos) : f_->Last(T(), &pos);
    if (!s.ok()) return Fail(s);
    return Load(pos);
  }

  Status Move(bool forward) {
    if (!valid_) return Status::Error(kErrBadArgument, "cursor is not positioned");
    CdxFile::Impl::Pos pos = pos_;
    bool step = true;
    if (gen_ != f_->generation) {
      // The index changed: find our entry (or its successor) again.
      std::string k = key_;
      uint32_t r = recno_;
      Status s = f_->FindFirst(T(), [&](const std::string& kk, uint32_t rr) { return CompareEntry(kk, rr, k, r) >= 0; }, &pos);
      if (!s.ok()) return Fail(s);
      bool exact = false;
      if (pos.page != 0) {
        std::string kk;
        uint32_t rr;
        s = f_->EntryAt(T(), pos, &kk, &rr);
        if (!s.ok()) return Fail(s);
        exact = kk == k && rr == r;
      }
      if (!exact && forward) step = false;  // the successor is already the next entry
    }
    if (step) {
      Status s = f_->Step(T(), &pos, forward);
      if (!s.ok()) return Fail(s);
    }
    return Load(pos);
  }

  CdxFile::Impl* f_;
  int tag_;
  bool valid_ = false;
  std::string key_;
  uint32_t recno_ = 0;
  CdxFile::Impl::Pos pos_;
  uint64_t gen_ = 0;
};

std::string BaseName(const std::string& path) {
  size_t p = path.find_last_of("/\\");
  return p == std::string::npos ? path : path.substr(p + 1);
}

bool ValidTagName(const std::string& n) {
  if (n.empty() || n.size() > 10) return false;
  if (!((n[0] >= 'A' && n[0] <= 'Z') || n[0] == '_')) return false;
  for (char c : n)
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------

CdxFile::CdxFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

CdxFile::~CdxFile() {
  if (impl_ && impl_->writable && !impl_->corrupt) impl_->Flush();
}

Status CdxFile::Open(FileSystem* fs, const std::string& path, Access access, Share share, std::unique_ptr<CdxFile>* result) {
  result->reset();
  auto impl = std::make_unique<Impl>();
  impl->fs = fs;
  impl->path = path;
  impl->name = BaseName(path);
  impl->writable = access == Access::ReadWrite;
  Status s = fs->Open(path, access, share, Disposition::OpenExisting, &impl->file);
  if (!s.ok()) return Status::Error(s.code(), impl->name + ": " + s.message());
  s = impl->Load();
  if (!s.ok()) return s;
  result->reset(new CdxFile(std::move(impl)));
  return Status::Ok();
}

Status CdxFile::Create(FileSystem* fs, const std::string& path, Share share, std::unique_ptr<CdxFile>* result) {
  result->reset();
  auto impl = std::make_unique<Impl>();
  impl->fs = fs;
  impl->path = path;
  impl->name = BaseName(path);
  impl->writable = true;
  Status s = fs->Open(path, Access::ReadWrite, share, Disposition::CreateAlways, &impl->file);
  if (!s.ok()) return Status::Error(s.code(), impl->name + ": " + s.message());
  PageBytes h{}, pool{};
  PutLe32(&h[0], 1024);
  PutLe16(&h[12], 10);
  h[14] = 0xE0;
  h[15] = 0x01;
  PutLe16(&h[504], 1);
  PutLe16(&h[506], 1);
  PutLe16(&h[508], 0);
  PutLe16(&h[510], 1);
  impl->file_end = 0;
  impl->WriteRaw(0, h);
  impl->WriteRaw(kPage, pool);
  impl->dir_root = 1024;
  impl->bound = true;  // no tags yet
  Node root;
  root.page = 1024;
  root.attr = 3;
  root.klen = 10;
  PageBytes r;
  EncodeLeaf(root, ' ', &r);
  impl->WriteRaw(1024, r);
  s = impl->file->Truncate(0);
  if (!s.ok()) return Status::Error(s.code(), impl->name + ": " + s.message());
  s = impl->Flush();
  if (!s.ok()) return s;
  result->reset(new CdxFile(std::move(impl)));
  return Status::Ok();
}

const std::string& CdxFile::path() const { return impl_->path; }
int CdxFile::TagCount() const { return int(impl_->tags.size()); }
const TagInfo& CdxFile::Tag(int i) const { return impl_->tags[size_t(i)].info; }

int CdxFile::FindTag(std::string_view name) const {
  std::string u = UpperAscii(name);
  for (size_t i = 0; i < impl_->tags.size(); ++i)
    if (impl_->tags[i].info.name == u) return int(i);
  return -1;
}

std::vector<int> CdxFile::TagsByName() const { return impl_->by_name; }

namespace {
char KeyTypeOf(const Expr& e) {
  switch (e.type()) {
    case 'C': return 'C';
    case 'N': return 'N';
    case 'D': return 'D';
    case 'L': return 'L';
    case 'I': return 'I';
    case 'Y': return 'Y';
    case 'T': return 'T';
  }
  return '?';
}
int NaturalLength(char type, const Expr& e) {
  switch (type) {
    case 'C': return e.width();
    case 'L': return 1;
    case 'I': return 4;
    default: return 8;
  }
}
}  // namespace

Status CdxFile::Bind(const FieldCatalog& catalog) {
  std::vector<std::unique_ptr<Expr>> keys(impl_->tags.size()), fors(impl_->tags.size());
  std::vector<char> types(impl_->tags.size());
  for (size_t i = 0; i < impl_->tags.size(); ++i) {
    const TagInfo& info = impl_->tags[i].info;
    auto fail = [&](const std::string& expr, const Status& s) {
      return Status::Error(kErrExpression, impl_->name + ": tag " + info.name + ", expression '" + expr + "': " + s.message());
    };
    Status s = Compile(info.key_expr, catalog, &keys[i]);
    if (!s.ok()) return fail(info.key_expr, s);
    types[i] = KeyTypeOf(*keys[i]);
    if (types[i] == '?') return fail(info.key_expr, Status::Error(kErrExpression, "not a key type"));
    if (types[i] != 'C') {
      int want = NaturalLength(types[i], *keys[i]) + (info.nullable ? 1 : 0);
      if (want != info.key_length)
        return fail(info.key_expr, Status::Error(kErrExpression, "key length " + std::to_string(info.key_length) + " does not match the expression's type (" + std::to_string(want) + ")"));
    }
    if (!info.for_expr.empty()) {
      s = Compile(info.for_expr, catalog, &fors[i]);
      if (!s.ok()) return fail(info.for_expr, s);
      if (fors[i]->type() != 'L') return fail(info.for_expr, Status::Error(kErrExpression, "a FOR expression must be logical"));
    }
  }
  for (size_t i = 0; i < impl_->tags.size(); ++i) {
    auto& t = impl_->tags[i];
    t.key_expr = std::move(keys[i]);
    t.for_expr = std::move(fors[i]);
    t.info.key_type = types[i];
    uint8_t fill = (types[i] == 'C' && t.info.collation == Collation::Machine) ? ' ' : 0;
    if (fill != t.fill) {
      t.fill = fill;
      impl_->MaterializeAll();
      impl_->nodes.clear();
    }
  }
  impl_->bound = true;
  return Status::Ok();
}

bool CdxFile::bound() const { return impl_->bound; }

Status CdxFile::ComputeKeys(const RecordContext& ctx, RecordKeys* keys) const {
  if (!impl_->bound) return Status::Error(kErrBadArgument, impl_->name + ": index expressions are not bound to the table");
  keys->assign(impl_->tags.size(), std::nullopt);
  for (size_t i = 0; i < impl_->tags.size(); ++i) {
    const auto& t = impl_->tags[i];
    auto fail = [&](const std::string& expr, const Status& s) {
      return Status::Error(s.code(), impl_->name + ": tag " + t.info.name + ", expression '" + expr + "': " + s.message());
    };
    if (t.for_expr) {
      kx::Value v;
      Status s = t.for_expr->Eval(ctx, &v);
      if (!s.ok()) return fail(t.info.for_expr, s);
      if (!v.IsLogical() || !v.logical()) continue;
    }
    kx::Value v;
    Status s = t.key_expr->Eval(ctx, &v);
    if (!s.ok()) return fail(t.info.key_expr, s);
    std::string key;
    s = EncodeKey(v, t.info, &key);
    if (!s.ok()) return fail(t.info.key_expr, s);
    (*keys)[i] = std::move(key);
  }
  return Status::Ok();
}

Status CdxFile::AddTag(const TagSpec& spec, const FieldCatalog& catalog, int* index) {
  Status s = impl_->CanWrite();
  if (!s.ok()) return s;
  std::string nm = UpperAscii(spec.name);
  if (!ValidTagName(nm)) return Status::Error(kErrBadArgument, impl_->name + ": bad tag name '" + spec.name + "'");
  if (FindTag(nm) >= 0) return Status::Error(kErrBadArgument, impl_->name + ": tag " + nm + " exists already");
  if (spec.collation == Collation::General)
    return Status::Error(kErrUnsupported, impl_->name + ": tag " + nm + ": keys in GENERAL collation can be read but not written");
  std::unique_ptr<Expr> key, forx;
  s = Compile(spec.key_expr, catalog, &key);
  if (!s.ok()) return Status::Error(kErrExpression, impl_->name + ": tag " + nm + ", expression '" + spec.key_expr + "': " + s.message());
  if (!spec.for_expr.empty()) {
    s = Compile(spec.for_expr, catalog, &forx);
    if (!s.ok()) return Status::Error(kErrExpression, impl_->name + ": tag " + nm + ", expression '" + spec.for_expr + "': " + s.message());
    if (forx->type() != 'L') return Status::Error(kErrExpression, impl_->name + ": tag " + nm + ": the FOR expression must be logical");
  }
  char type = KeyTypeOf(*key);
  if (type == '?') return Status::Error(kErrExpression, impl_->name + ": tag " + nm + ": expression '" + spec.key_expr + "' has no key type");
  bool nullable = key->nullable();
  int klen = NaturalLength(type, *key) + (nullable ? 1 : 0);
  if (klen < 1 || klen > kMaxKeyLength)
    return Status::Error(kErrExpression, impl_->name + ": tag " + nm + ": key length " + std::to_string(klen) + " out of range 1 to 240");
  if (spec.key_expr.size() + spec.for_expr.size() + 2 > kPage)
    return Status::Error(kErrExpression, impl_->name + ": tag " + nm + ": expressions longer than 510 bytes");

  // Header and expression pool, then the root leaf.
  uint32_t hdr = uint32_t(impl_->file_end);
  PageBytes h{}, pool{};
  impl_->WriteRaw(hdr, h);
  impl_->WriteRaw(hdr + kPage, pool);
  uint32_t root;
  s = impl_->AllocPage(&root);
  if (!s.ok()) return s;
  PutLe32(&h[0], root);
  PutLe16(&h[12], uint32_t(klen));
  h[14] = uint8_t(0x60 | (spec.unique ? 0x01 : 0) | (nullable ? 0x02 : 0) | (spec.candidate ? 0x04 : 0) | (forx ? 0x08 : 0));
  h[15] = 0x01;
  PutLe16(&h[502], spec.descending ? 1 : 0);
  uint32_t klen_expr = uint32_t(spec.key_expr.size() + 1);
  uint32_t flen_expr = uint32_t(spec.for_expr.size() + 1);
  PutLe16(&h[504], klen_expr);
  PutLe16(&h[506], flen_expr);
  PutLe16(&h[508], 0);
  PutLe16(&h[510], klen_expr);
  memcpy(&pool[0], spec.key_expr.data(), spec.key_expr.size());
  memcpy(&pool[klen_expr], spec.for_expr.data(), spec.for_expr.size());
  impl_->WriteRaw(hdr, h);
  impl_->WriteRaw(hdr + kPage, pool);

  Impl::TagState t;
  t.info.name = nm;
  t.info.key_expr = spec.key_expr;
  t.info.for_expr = spec.for_expr;
  t.info.unique = spec.unique;
  t.info.candidate = spec.candidate;
  t.info.descending = spec.descending;
  t.info.nullable = nullable;
  t.info.key_length = klen;
  t.info.key_type = type;
  t.info.collation = Collation::Machine;
  t.info.header_offset = hdr;
  t.root = root;
  t.fill = type == 'C' ? ' ' : 0;
  t.key_expr = std::move(key);
  t.for_expr = std::move(forx);
  Node r;
  r.page = root;
  r.attr = 3;
  r.klen = klen;
  std::vector<Sep> out;
  s = impl_->StoreNode(t, r, &out);
  if (!s.ok()) return s;
  impl_->tags.push_back(std::move(t));
  int ci = int(impl_->tags.size()) - 1;
  impl_->bound = std::all_of(impl_->tags.begin(), impl_->tags.end(), [](const Impl::TagState& x) { return x.key_expr != nullptr; });
  // Name order.
  auto pos = std::lower_bound(impl_->by_name.begin(), impl_->by_name.end(), nm,
                              [&](int k, const std::string& n) { return impl_->tags[size_t(k)].info.name < n; });
  impl_->by_name.insert(pos, ci);
  s = impl_->WriteDirectory();
  if (!s.ok()) return s;
  impl_->Touch();
  *index = ci;
  return Status::Ok();
}

Status CdxFile::Insert(int tag, std::string_view key, uint32_t recno) {
  Status s = impl_->CanWrite();
  if (!s.ok()) return s;
  if (tag < 0 || tag >= TagCount()) return Status::Error(kErrBadArgument, impl_->name + ": no tag number " + std::to_string(tag + 1));
  auto& t = impl_->tags[size_t(tag)];
  if (int(key.size()) != t.info.key_length)
    return Status::Error(kErrBadArgument, impl_->name + ": tag " + t.info.name + ": key of " + std::to_string(key.size()) + " bytes, the tag's keys have " + std::to_string(t.info.key_length));
  if (recno == 0) return Status::Error(kErrBadArgument, impl_->name + ": record number 0");
  if (t.info.unique || t.info.candidate) {
    bool has = false;
    uint32_t other = 0;
    s = impl_->HasKey(t, key, &has, &other);
    if (!s.ok()) return s;
    if (has) {
      if (other == recno) return Status::Ok();
      if (t.info.candidate)
        return Status::Error(kErrDuplicateKey, impl_->name + ": tag " + t.info.name + ": record " + std::to_string(other) + " already has this key");
      if (other < recno) return Status::Ok();
      s = Remove(tag, key, other);  // the lowest record number keeps the key
      if (!s.ok()) return s;
    }
  }
  std::vector<Sep> out;
  s = impl_->InsertAt(t, t.root, 0, key, recno, &out);
  if (!s.ok()) return s;
  s = impl_->ReplaceRootAfter(t, out);
  if (!s.ok()) return s;
  impl_->Touch();
  return Status::Ok();
}

Status CdxFile::Remove(int tag, std::string_view key, uint32_t recno) {
  Status s = impl_->CanWrite();
  if (!s.ok()) return s;
  if (tag < 0 || tag >= TagCount()) return Status::Error(kErrBadArgument, impl_->name + ": no tag number " + std::to_string(tag + 1));
  auto& t = impl_->tags[size_t(tag)];
  if (int(key.size()) != t.info.key_length) return Status::Error(kErrBadArgument, impl_->name + ": tag " + t.info.name + ": wrong key length");
  bool found = false;
  std::vector<Sep> out;
  s = impl_->RemoveAt(t, t.root, 0, key, recno, &found, &out);
  if (!s.ok()) return s;
  s = impl_->ReplaceRootAfter(t, out);
  if (!s.ok()) return s;
  impl_->Touch();
  return Status::Ok();
}

Status CdxFile::InsertRecord(uint32_t recno, const RecordKeys& keys) { return UpdateRecord(recno, RecordKeys(keys.size()), keys); }

Status CdxFile::RemoveRecord(uint32_t recno, const RecordKeys& keys) { return UpdateRecord(recno, keys, RecordKeys(keys.size())); }

Status CdxFile::UpdateRecord(uint32_t recno, const RecordKeys& old_keys, const RecordKeys& new_keys) {
  Status s = impl_->CanWrite();
  if (!s.ok()) return s;
  if (old_keys.size() != impl_->tags.size() || new_keys.size() != impl_->tags.size())
    return Status::Error(kErrBadArgument, impl_->name + ": key list does not match the tags");
  // Refuse a duplicate in a candidate tag before changing anything.
  for (size_t i = 0; i < impl_->tags.size(); ++i) {
    auto& t = impl_->tags[i];
    if (!t.info.candidate || !new_keys[i] || old_keys[i] == new_keys[i]) continue;
    if (int(new_keys[i]->size()) != t.info.key_length) return Status::Error(kErrBadArgument, impl_->name + ": tag " + t.info.name + ": wrong key length");
    bool has = false;
    uint32_t other = 0;
    s = impl_->HasKey(t, *new_keys[i], &has, &other);
    if (!s.ok()) return s;
    if (has && other != recno)
      return Status::Error(kErrDuplicateKey, impl_->name + ": tag " + t.info.name + ": record " + std::to_string(other) + " already has this key");
  }
  for (size_t i = 0; i < impl_->tags.size(); ++i) {
    if (old_keys[i] == new_keys[i]) continue;
    if (old_keys[i]) {
      s = Remove(int(i), *old_keys[i], recno);
      if (!s.ok()) return s;
    }
    if (new_keys[i]) {
      s = Insert(int(i), *new_keys[i], recno);
      if (!s.ok()) return s;
    }
  }
  return Status::Ok();
}

Status CdxFile::BuildTag(int tag, std::vector<Entry> entries) {
  Status s = impl_->CanWrite();
  if (!s.ok()) return s;
  if (tag < 0 || tag >= TagCount()) return Status::Error(kErrBadArgument, impl_->name + ": no tag number " + std::to_string(tag + 1));
  s = impl_->BuildTag(impl_->tags[size_t(tag)], entries);
  if (!s.ok()) return s;
  impl_->Touch();
  return Status::Ok();
}

Status CdxFile::Zap() {
  Status s = impl_->CanWrite();
  if (!s.ok()) return s;
  for (auto& t : impl_->tags) {
    std::vector<uint32_t> pages;
    s = impl_->CollectPages(&t, t.root, t.info.key_length, t.fill, 0, &pages);
    if (!s.ok()) return s;
    for (uint32_t p : pages)
      if (p != t.root) impl_->FreePage(p);
    Node r;
    r.page = t.root;
    r.attr = 3;
    r.klen = t.info.key_length;
    std::vector<Sep> out;
    s = impl_->StoreNode(t, r, &out);
    if (!s.ok()) return s;
  }
  impl_->Touch();
  return Status::Ok();
}

std::unique_ptr<Cursor> CdxFile::NewCursor(int tag) { return std::make_unique<CursorImpl>(impl_.get(), tag); }

Status CdxFile::Flush() { return impl_->Flush(); }

Status CdxFile::Check() { return impl_->Check(); }

Status CdxFile::ReadAll(int tag, std::vector<Entry>* entries) {
  entries->clear();
  if (tag < 0 || tag >= TagCount()) return Status::Error(kErrBadArgument, impl_->name + ": no tag number " + std::to_string(tag + 1));
  const auto& t = impl_->tags[size_t(tag)];
  // Walk the leaves from the left through the sibling chain, guarding loops.
  Impl::Pos pos;
  Status s = impl_->FindFirst(t, [](const std::string&, uint32_t) { return true; }, &pos);
  if (!s.ok()) return s;
  std::set<uint32_t> seen;
  uint32_t page = pos.page;
  while (page != 0 && page != kNone) {
    if (!seen.insert(page).second) return impl_->CorruptTag(&t, page, "leaf chain loops");
    std::shared_ptr<const Node> n;
    s = impl_->ReadTagNode(t, page, &n);
    if (!s.ok()) return s;
    if (!n->leaf()) return impl_->CorruptTag(&t, page, "leaf sibling is not a leaf");
    for (size_t i = 0; i < n->size(); ++i) entries->push_back({n->keys[i], n->recnos[i]});
    page = n->right;
  }
  if (t.info.descending) std::reverse(entries->begin(), entries->end());
  return Status::Ok();
}

}  // namespace kx::cdx
