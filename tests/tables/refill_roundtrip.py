#!/usr/bin/python3
"""Tables that `dbftool refill` wrote read back the same through python3-dbfread.

    refill_roundtrip.py DBFTOOL FIXTURES_DIR SCRATCH_DIR

For each case the target starts as a copy of a table (its structure, tags and
records), is refilled from the source table, and dbfread must read exactly
the source's visible records, in order, field by field."""
import os
import shutil
import subprocess
import sys

from dbfread import DBF


def copy_table(stem, folder, name):
    for ext in (".dbf", ".cdx", ".fpt"):
        if os.path.exists(stem + ext):
            shutil.copyfile(stem + ext, os.path.join(folder, name + ext))
    return os.path.join(folder, name)


def visible(path):
    return [dict(r) for r in DBF(path + ".dbf", encoding="cp1252", char_decode_errors="surrogateescape")]


def main():
    tool, fixtures, scratch = sys.argv[1:4]
    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(scratch)
    ref = os.path.join(fixtures, "reference-tables")
    cases = [
        ("Empty", "Journal"),      # an empty table of the same structure, refilled
        ("Journal", "Journal"),    # a full one: every record replaced
        ("Empresa", "Empresa"),
        (os.path.join("..", "real-world", "testdata_customer", "customer"),
         os.path.join("..", "real-world", "testdata_customer", "customer")),
    ]
    failures = 0
    for target_stem, source_stem in cases:
        target = copy_table(os.path.join(ref, target_stem), scratch, "t_" + os.path.basename(target_stem))
        source = os.path.join(ref, source_stem)
        r = subprocess.run([tool, "refill", target, source], capture_output=True, text=True)
        if r.returncode != 0:
            print("refill %s from %s failed: %s" % (target, source, r.stderr))
            failures += 1
            continue
        want, got = visible(source), visible(target)
        if len(want) != len(got):
            print("%s: %d records, dbfread reads %d" % (target, len(want), len(got)))
            failures += 1
            continue
        for i, (a, b) in enumerate(zip(want, got), 1):
            if a != b:
                diff = [k for k in a if a[k] != b.get(k)]
                print("%s record %d differs in %s: %r / %r" % (target, i, diff, [a[k] for k in diff],
                                                                [b.get(k) for k in diff]))
                failures += 1
                break
        chk = subprocess.run([tool, "check", target], capture_output=True, text=True)
        if chk.returncode != 0:
            print("check %s: %s" % (target, chk.stderr))
            failures += 1
        print("%s: %d records read back the same" % (os.path.basename(target), len(got)))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
