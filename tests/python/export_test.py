"""vfon-export: records -> CSV and HDF5 -> back, field by field, compared
with the files read by the dtypes of docs/formats.md; torn tails, FIFOs,
missing files and existing outputs.
Usage: export_test.py WRITE_RECORDS VFON_EXPORT FORMATS_MD"""
import csv
import datetime
import os
import shutil
import subprocess
import sys
import tempfile

import h5py
import numpy as np
import pandas as pd

from formats_test import doc_dtypes, written_records

STAMP = ("Year", "Month", "Day", "Hour", "Min", "Sec", "MSec")


def export(tool, *args):
    p = subprocess.run([tool, "--quiet", *args], capture_output=True, text=True)
    return p.returncode, p.stderr


def iso(date, h, mi, s, ms):
    """The ISO 8601 text of a stamp, empty for a stamp that is no time."""
    try:
        return datetime.datetime(*date, h, mi, s, ms * 1000).isoformat(timespec="milliseconds")
    except ValueError:
        return ""


def point_time(rec, k):
    """Point k's stamp: the frame's date, one day on when before the frame start."""
    start, t = iso((rec["Year"], rec["Month"], rec["Day"]), *(rec[f] for f in STAMP[3:])), rec["Times"][k - 1]
    point = iso((rec["Year"], rec["Month"], rec["Day"]), *t)
    if point and start and point < start:
        point = (datetime.datetime.fromisoformat(point) + datetime.timedelta(days=1)).isoformat(timespec="milliseconds")
    return point


def read_csv(path):
    with open(path, newline="", encoding="utf-8") as f:
        return list(csv.reader(f))


def check_csv(out, fon, rad, frames, events, stop):
    """Every row of the five CSV files against the records."""
    base = os.path.join(out, os.path.basename(fon))
    expect = {"frames": [], "points": [], "spectra": []}
    for r, f in enumerate(frames):
        end = stop if r == len(frames) - 1 else 0
        head = [fon, r, f["KadrNo"]]
        expect["frames"].append(head + [iso((f["Year"], f["Month"], f["Day"]), *(f[x] for x in STAMP[3:])), f["Rate"],
                                        *f["FGain"], *f["Limit"], f["ChanParam"], end])
        for k in range(1, (end or 600) + 1):
            expect["points"].append(head + [k, point_time(f, k), *f["Counts"][:, k - 1], int(k == end)])
        expect["spectra"] += [head + [b, *f["Spectr"][:, b - 1]] for b in range(1, 257)]
    for table, rows in expect.items():
        got = read_csv(f"{base}.{table}.csv")
        assert got[1:] == [[str(v) for v in row] for row in rows], f"{table}.csv"
    base = os.path.join(out, os.path.basename(rad))
    rows = [[rad, r, e["EventNo"], iso(*[(e["Year"], e["Month"], e["Day"])], *(e[x] for x in STAMP[3:])), *e["RGain"]]
            for r, e in enumerate(events)]
    assert read_csv(base + ".events.csv")[1:] == [[str(v) for v in row] for row in rows]
    got = read_csv(base + ".samples.csv")
    assert len(got) == 1 + 4096 * len(events)
    for r, e in enumerate(events):
        block = np.array(got[1 + 4096 * r:1 + 4096 * (r + 1)])
        assert (block[:, 0] == rad).all() and (block[:, 1] == str(r)).all() and (block[:, 2] == str(e["EventNo"])).all()
        assert np.array_equal(block[:, 3:].astype(int), np.column_stack([np.arange(1, 4097), e["Samples"].T]))


def check_hdf5(h5, inputs, stop):
    """Every field of both datasets against the records; pandas reads them."""
    with h5py.File(h5, "r") as f:
        for name, (path, records) in inputs.items():
            ds = f[name]
            assert ds.compression == "gzip" and ds.chunks and len(ds) == len(records), name
            assert list(ds["file"]) == [path.encode()] * len(records) and list(ds["record"]) == list(range(len(records)))
            for field in records.dtype.names:
                if field != "Comment" and not field.startswith("pad"):
                    assert np.array_equal(ds[field], records[field]), f"{name}.{field}"
        assert list(f["frames"]["end_point"]) == [0, 0, stop]
        df = pd.DataFrame(f["events"].fields(["file", "record", "EventNo", *STAMP])[:])
        assert list(df["EventNo"]) == list(inputs["events"][1]["EventNo"])


def main(writer, tool, md_path):
    fon_dtype, rad_dtype = doc_dtypes(os.path.abspath(md_path))
    with tempfile.TemporaryDirectory() as d:
        stop = written_records(writer, d)["stop_point"]
        fon, rad = os.path.join(d, 'station, "A".fon'), os.path.join(d, "sample.Rad")  # a name to be quoted
        shutil.move(os.path.join(d, "sample.fon"), fon)
        frames, events = np.fromfile(fon, dtype=fon_dtype), np.fromfile(rad, dtype=rad_dtype)
        out, h5 = os.path.join(d, "csv"), os.path.join(d, "all.h5")
        rc, err = export(tool, fon, rad, "--csv", out, "--hdf5", h5)
        assert rc == 0 and "exported 3 frames and 2 events from 2 files" in err, err
        check_csv(out, fon, rad, frames, events, stop)
        check_hdf5(h5, {"frames": (fon, frames), "events": (rad, events)}, stop)

        # Bad inputs: each reported, the good records still exported, exit 1.
        torn, fifo = os.path.join(d, "torn.fon"), os.path.join(d, "pipe.Rad")
        with open(torn, "wb") as f:
            f.write(open(fon, "rb").read() + b"\0" * 100)
        os.mkfifo(fifo)
        rc, err = export(tool, torn, fifo, os.path.join(d, "gone.Rad"), os.path.join(d, "records.json"),
                         rad, "--hdf5", os.path.join(d, "bad.h5"))
        assert rc == 1, err
        for said in ("torn tail of 100 bytes after 3 whole records", "pipe.Rad: not a regular file",
                     "gone.Rad: No such file", "records.json: not a data file"):
            assert said in err, (said, err)
        with h5py.File(os.path.join(d, "bad.h5"), "r") as f:
            assert np.array_equal(f["frames"]["Counts"], frames["Counts"]) and len(f["events"]) == len(events)

        # Existing outputs are kept unless --force.
        before = os.path.getmtime(h5)
        assert export(tool, rad, "--hdf5", h5)[0] == 2 and os.path.getmtime(h5) == before
        rc, err = export(tool, rad, "--csv", out)
        assert rc == 1 and "exists; --force replaces it" in err, err
        assert export(tool, rad, "--hdf5", h5, "--csv", out, "--force")[0] == 0
        assert not [n for n in os.listdir(d) + os.listdir(out) if n.endswith(".part")]
    print("vfon-export: CSV and HDF5 round trip and bad inputs pass")


if __name__ == "__main__":
    main(*sys.argv[1:4])
