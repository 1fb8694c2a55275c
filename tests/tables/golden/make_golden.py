#!/usr/bin/python3
"""Writes the golden listings of the reference and real-world tables, read by
python3-dbfread (an independent DBF reader), for the table tests.

    /usr/bin/python3 tests/tables/golden/make_golden.py FIXTURES_DIR OUT_DIR

One line per record: record number, deleted flag (0/1), then one value per
field, tab-separated: text with trailing blanks and NULs removed (dbfread's
reading); numbers as Python's repr (empty for a blank field); dates as
YYYYMMDD (empty when empty); logicals as T, F or ?; datetimes as
YYYYMMDDhhmmss; memo text as read. Binary and general values, and values
dbfread cannot decode, as "#" + hex of the bytes. Backslash, tab, CR and LF
are written as \\\\, \\t, \\r, \\n. The first line lists the field names."""
import datetime
import os
import sys

from dbfread import DBF


def esc(s):
    return s.replace("\\", "\\\\").replace("\t", "\\t").replace("\r", "\\r").replace("\n", "\\n")


def text(v, ftype):
    if v is None:
        return ""
    if isinstance(v, bytes):
        return "#" + v.hex()
    if isinstance(v, bool):
        return "T" if v else "F"
    if isinstance(v, datetime.datetime):
        return v.strftime("%Y%m%d%H%M%S")
    if isinstance(v, datetime.date):
        return v.strftime("%Y%m%d")
    if isinstance(v, (int, float)):
        return repr(v)
    return esc(str(v))


def dump(path, out):
    table = DBF(path, encoding="cp1252", char_decode_errors="surrogateescape", load=False)
    fields = [f for f in table.fields if f.type != "0"]
    # Deletion marks straight from the file, values through dbfread.
    with open(path, "rb") as fh:
        head = fh.read(32)
        count = int.from_bytes(head[4:8], "little")
        hl = int.from_bytes(head[8:10], "little")
        rl = int.from_bytes(head[10:12], "little")
        marks = []
        for i in range(count):
            fh.seek(hl + i * rl)
            marks.append(fh.read(1) == b"*")
    live = table._iter_records(b" ")
    dead = table._iter_records(b"*")
    lines = ["#recno\tdeleted\t" + "\t".join(f.name for f in fields)]
    for i, m in enumerate(marks, 1):
        rec = next(dead) if m else next(live)
        vals = []
        for f in fields:
            v = rec[f.name]
            if f.type == "L" and v is None:
                vals.append("?")
                continue
            if isinstance(v, str) and (f.reserved1 & 0x04 or f.type == "G"):
                v = v.encode("cp1252", "surrogateescape")
            vals.append(text(v, f.type))
        lines.append("%d\t%d\t%s" % (i, 1 if m else 0, "\t".join(vals)))
    with open(out, "w", encoding="utf-8", errors="surrogateescape", newline="\n") as fh:
        fh.write("\n".join(lines) + "\n")


def main():
    fixtures, outdir = sys.argv[1], sys.argv[2]
    tables = [("reference-tables/" + n, n) for n in ("Empresa", "Empresa_gen", "Journal", "Empty", "Types")]
    tables += [("real-world/tastrade_orders/orders", "orders"), ("real-world/testdata_customer/customer", "customer"),
               ("real-world/testdata_orditems/orditems", "orditems")]
    for rel, name in tables:
        dump(os.path.join(fixtures, rel + ".dbf"), os.path.join(outdir, name + ".tsv"))


if __name__ == "__main__":
    main()
