#!/usr/bin/python3
"""Checks the samples updater_probe took of the progress dialog.

  check_samples.py --companies EMPRESA.DBF      prints the record count and the
                                                visible companies in code order
  check_samples.py LOG ROOT COMPANIES.TXT       checks the log; exit code 1 on a fault
"""
import sys

# The dialog template in dialog units: id (None: any), class, text (None: not
# compared), x, y, width, height.
LAYOUT = [
    (None, "Static", "Directorio del programa : ", 7, 37, 82, 8),
    (100, "Static", None, 92, 37, 228, 8),
    (110, "KxList", None, 14, 57, 193, 61),
    (120, "KxMeter", None, 14, 181, 191, 9),
    (130, "KxMeter", None, 14, 195, 191, 9),
    (150, "KxPicture", None, 17, 128, 186, 42),
    (160, "KxPicture", "BMPACTUA", 7, 7, 314, 23),
    (170, "KxPicture", "BMPLOGO", 222, 121, 100, 71),
    (None, "Static", "Proceso de actualización de versiones anteriores a ORVINTA VESPRA", 232, 58, 76, 32),
    (None, "Static", "Espere, por favor", 232, 98, 76, 8),
    (None, "Static", "Norvo KX", 223, 201, 100, 8),
    (None, "Static", "", 5, 5, 318, 27),
    (None, "Static", "", 10, 54, 201, 67),
    (None, "Static", "", 10, 124, 200, 50),
    (None, "Static", "", 10, 178, 200, 28),
    (None, "Static", "", 5, 51, 210, 160),
    (None, "Static", "", 221, 51, 103, 59),
]


def companies(path):
    from dbfread import DBF
    table = DBF(path, encoding="cp1252", char_decode_errors="strict")
    rows = sorted((r["CODEMP"], r["CNOMBRE"].strip()) for r in table)
    print("records", table.header.numrecords)
    for code, name in rows:
        print(code + "\t" + name)


def unescape(s):
    out, i = [], 0
    while i < len(s):
        if s[i] == "\\" and i + 1 < len(s):
            out.append({"\\": "\\", "t": "\t", "r": "\r", "n": "\n"}.get(s[i + 1], s[i + 1]))
            i += 2
        else:
            out.append(s[i])
            i += 1
    return "".join(out)


def parse(line):
    head, _, text = line.partition(" text=")
    fields = dict(kv.split("=", 1) for kv in head.split()[1:])
    for k, v in fields.items():
        if k != "cls":
            fields[k] = int(v, 0)
    fields["text"] = unescape(text)
    return fields


def main(log_path, root, companies_path):
    with open(companies_path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    records = int(lines[0].split()[1])
    comps = [tuple(l.split("\t")) for l in lines[1:]]
    codes = [c for c, _ in comps]
    faults = []

    def fault(text):
        if len(faults) < 40:
            faults.append(text)

    samples, base, screen, closed = [], None, None, False
    cur = None
    with open(log_path, encoding="utf-8") as f:
        for line in f.read().splitlines():
            if line.startswith("sample "):
                cur = {"t": parse(line)["t"], "c": {}, "statics": []}
                samples.append(cur)
            elif line.startswith("dialog "):
                cur["dialog"] = parse(line)
            elif line.startswith("c "):
                c = parse(line)
                if c["id"] in (-1, 65535):
                    cur["statics"].append(c)
                else:
                    cur["c"][c["id"]] = c
            elif line.startswith("base "):
                base = parse(line)
            elif line.startswith("screen "):
                screen = line
            elif line.startswith("closed"):
                closed = True
    # A sample taken while the dialog was being destroyed lacks controls; only
    # the last one may.
    ids = {i for i, *_ in LAYOUT if i is not None}
    if samples and not ids <= set(samples[-1]["c"]):
        samples.pop()
    for s in samples:
        if not ids <= set(s["c"]):
            fault("controls %s missing at %d ms" % (sorted(ids - set(s["c"])), s["t"]))
    samples = [s for s in samples if ids <= set(s["c"])]
    if not samples:
        print("FAIL: no sample of the progress dialog")
        return 1
    print("%d samples over %.1f s" % (len(samples), (samples[-1]["t"] - samples[0]["t"]) / 1000))
    bx, by = base["x"], base["y"]
    # Dialog units to pixels as the dialog manager reckons them (MulDiv, rounded).
    muldiv = lambda a, b, c: (a * b + c // 2) // c
    px = lambda x, y, w, h: (muldiv(x, bx, 4), muldiv(y, by, 8), muldiv(w, bx, 4), muldiv(h, by, 8))

    # The dialog: the template's size, centred in the screen's work area.
    first = samples[0]
    d = first["dialog"]
    work = [int(v) for v in screen.split("work=")[1].split(",")]
    if (d["cw"], d["ch"]) != px(0, 0, 328, 217)[2:]:
        fault("dialog client %dx%d, not 328x217 dialog units (%dx%d)" % ((d["cw"], d["ch"]) + px(0, 0, 328, 217)[2:]))
    if abs(2 * d["x"] + d["w"] - work[0] - work[2]) > 2 or abs(2 * d["y"] + d["h"] - work[1] - work[3]) > 2:
        fault("dialog at %d,%d %dx%d is not centred in the work area %s" % (d["x"], d["y"], d["w"], d["h"], work))
    if not all(s["dialog"]["visible"] for s in samples):
        fault("the dialog is hidden in some samples")

    # Every control where the template puts it.
    children = list(first["c"].values()) + first["statics"]
    if len(children) != len(LAYOUT):
        fault("%d controls, the template has %d" % (len(children), len(LAYOUT)))
    for id_, cls, text, x, y, w, h in LAYOUT:
        want = px(x, y, w, h)
        hits = [c for c in children
                if (c["x"], c["y"], c["w"], c["h"]) == want and c["cls"].lower() == cls.lower()
                and (id_ is None or c["id"] == id_) and (text is None or c["text"] == text)]
        if len(hits) != 1:
            near = [c for c in children if (id_ is not None and c["id"] == id_) or (text and c["text"] == text)]
            got = ", ".join("%d,%d %dx%d" % (c["x"], c["y"], c["w"], c["h"]) for c in near) or "none"
            fault("control %s %r at %d,%d %dx%d dialog units = %d,%d %dx%d pixels: found %d (near: %s)"
                  % ((id_, text, x, y, w, h) + want + (len(hits), got)))

    # The label shows the root; the pictures their bitmaps.
    for s in samples:
        c = s["c"]
        if c[100]["text"] != root:
            fault("label 100 shows %r, not the root %r" % (c[100]["text"], root))
            break
    if first["c"][170]["tr"] != 1 or first["c"][160]["tr"] != 0:
        fault("logo not transparent or banner transparent")
    for pid in (150, 160, 170):
        if first["c"][pid]["bw"] <= 0:
            fault("picture %d has no bitmap" % pid)

    # Meters: caption = text, blank, percentage in three characters and "%";
    # percentage and bar from value and total.
    overall_values, company_seen, company_values = [], [], set()
    for s in samples:
        for mid in (120, 130):
            m = s["c"][mid]
            v, tot, pct, bar = m["v"], m["tot"], m["pct"], m["bar"]
            if -1 in (v, tot, pct, bar) or not m["steady"]:
                continue  # no answer from the busy updater, or the meter changed while it was read
            want_pct = max(0, min(100, v * 100 // (tot or 1)))
            if pct != want_pct or bar != m["w"] * max(0, min(v, tot)) // max(tot, 1):
                fault("meter %d: value %d of %d shows %d%% and a bar of %d pixels" % (mid, v, tot, pct, bar))
            caption = m["text"]
            text = caption[:-5]
            if caption[-5:] != " %3d%%" % pct:
                fault("meter %d caption %r does not end in its percentage %d" % (mid, m["text"], pct))
            if mid == 120:
                if text != "ACTUALIZANDO EMPRESAS" or tot != records:
                    fault("overall meter %r of %d (records %d)" % (m["text"], tot, records))
                overall_values.append(v)
            else:
                names = ["%s - %s" % (code, name.upper()) for code, name in comps]
                if text not in names:
                    fault("company meter shows %r" % text)
                    continue
                k = names.index(text)
                if not company_seen or company_seen[-1] != k:
                    company_seen.append(k)
                company_values.add((k, v))
    if any(b < a for a, b in zip(overall_values, overall_values[1:])):
        fault("the overall meter goes back: %s" % overall_values)
    if len(set(overall_values)) < 3 or max(overall_values, default=0) < len(comps):
        fault("the overall meter does not step through every company: %s" % sorted(set(overall_values)))
    # A company with little to do (journals already updated) can pass between
    # two samples: one company in the middle may go unseen.
    def short_of_all(seen):
        missed = [k for k in range(len(comps)) if k not in seen]
        return len(missed) > 1 or 0 in missed or len(comps) - 1 in missed
    if company_seen != sorted(set(company_seen)) or short_of_all(company_seen):
        fault("the company meter named the companies in the order %s" % company_seen)
    for k in company_seen:
        if not any(kk == k and v > 0 for kk, v in company_values):
            fault("the company meter never advanced for %s" % codes[k])

    # The animation: frames ACTUA0 ... ACTUA9, each change to the next one
    # (after the initial ACTUA0, ACTUA1 and the first step's ACTUA0).
    frames = [(s["t"], s["c"][150]["text"]) for s in samples]
    if any(not (f.startswith("ACTUA") and f[5:].isdigit() and len(f) == 6) for _, f in frames):
        fault("animation shows %s" % sorted(set(f for _, f in frames)))
    else:
        changes = [(t0, t1, int(a[5]), int(b[5])) for (t0, a), (t1, b) in zip(frames, frames[1:]) if a != b]
        while changes and changes[0][2:] in ((0, 1), (1, 0)):
            changes.pop(0)
        for t0, t1, a, b in changes:
            if b != (a + 1) % 10 and t1 - t0 < 400:
                fault("animation went from ACTUA%d to ACTUA%d within %d ms" % (a, b, t1 - t0))
        if len(changes) < 3:
            fault("the animation changed frame only %d times" % len(changes))

    # The list: rows from the company being processed on, tick on the first,
    # crosses below (before the first company: ticks on codes that begin with a blank).
    first_rows = set()
    for s in samples:
        lst = s["c"][110]
        if not lst["text"]:
            continue
        rows = [r.split("\t") for r in lst["text"].split("\r\n") if r]
        if lst["rows"] not in (-1, len(rows)):
            fault("list answers %d rows and shows %d" % (lst["rows"], len(rows)))
        if rows[0][1] not in codes:
            fault("list row %r" % rows[0])
            continue
        k = codes.index(rows[0][1])
        want = [[codes[i], comps[i][1]] for i in range(k, min(len(comps), k + max(lst["vis"], 1)))]
        if [[r[1], r[2].rstrip()] for r in rows] != want:
            fault("list rows %s, not the companies from %s on" % (rows, codes[k]))
            continue
        marks = [r[0] for r in rows]
        processing = ["BMPSIACT"] + ["BMPNOACT"] * (len(rows) - 1)
        before = ["BMPSIACT" if r[1].startswith(" ") else "BMPNOACT" for r in rows]
        if marks != processing and not (k == 0 and marks == before):
            fault("list marks %s for the rows from %s" % (marks, codes[k]))
        company = s["c"][130]["text"][:-5]
        if marks == processing and company.startswith(codes[k] + " - "):
            first_rows.add(k)
    missing = [codes[k] for k in range(len(comps)) if k not in first_rows]
    if short_of_all(first_rows):
        fault("never seen on the list's first row with the tick while processed: %s" % missing)
    if not closed:
        fault("the dialog did not close")

    for f in faults:
        print("FAIL:", f)
    if not faults:
        print("ok: dialog centred, layout as the template, label, meters, animation and list as the run goes on")
    return 1 if faults else 0


if __name__ == "__main__":
    if sys.argv[1] == "--companies":
        companies(sys.argv[2])
    else:
        sys.exit(main(*sys.argv[1:4]))
