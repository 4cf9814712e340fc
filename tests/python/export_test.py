"""vfon-export: records -> CSV and HDF5 -> back, field by field, compared
with the files read by the dtypes of docs/formats.md; torn tails, FIFOs,
missing files and existing outputs, each message naming its file, exit codes
as --help lists them.
Usage: export_test.py WRITE_RECORDS VFON_EXPORT FORMATS_MD"""
import csv
import datetime
import os
import shutil
import subprocess
import sys
import tempfile
import zoneinfo

import h5py
import numpy as np
import pandas as pd

from formats_test import doc_dtypes, written_records

STAMP = ("Year", "Month", "Day", "Hour", "Min", "Sec", "MSec")
ZONE = "Europe/Moscow"


def zoned(text):
    """A local ISO time as the CSV gives it: with the zone's offset, then UTC ns."""
    if not text:
        return ["", ""]
    t = datetime.datetime.fromisoformat(text).replace(tzinfo=zoneinfo.ZoneInfo(ZONE))
    return [t.isoformat(timespec="milliseconds"), int(t.timestamp()) * 10**9 + t.microsecond * 1000]


def export(tool, *args):
    p = subprocess.run([tool, "--quiet", *args], capture_output=True, text=True)
    return p.returncode, p.stderr


def iso(date, h, mi, s, ms):
    """The ISO 8601 text of a stamp, empty for a stamp that is no time."""
    try:
        return datetime.datetime(*date, h, mi, s, ms * 1000).isoformat(timespec="milliseconds")
    except ValueError:
        return ""


def start_time(rec):
    return iso((rec["Year"], rec["Month"], rec["Day"]), *(rec[f] for f in STAMP[3:]))


def point_time(rec, k):
    """Point k's stamp: the frame's date, one day on when before the frame start."""
    start, point = start_time(rec), iso((rec["Year"], rec["Month"], rec["Day"]), *rec["Times"][k - 1])
    if point and start and point < start:
        point = (datetime.datetime.fromisoformat(point) + datetime.timedelta(days=1)).isoformat(timespec="milliseconds")
    return point


def check_csv(out, fon, rad, frames, events, stop):
    """Every row of the five CSV files against the records."""
    expect = {}
    for r, f in enumerate(frames):
        end, head = (stop if r == len(frames) - 1 else 0), [fon, r, f["KadrNo"]]
        expect.setdefault("fon.frames", []).append(
            head + [*zoned(start_time(f)), f["Rate"], *f["FGain"], *f["Limit"], f["ChanParam"], end])
        expect.setdefault("fon.points", []).extend(
            head + [k, *zoned(point_time(f, k)), *f["Counts"][:, k - 1], int(k == end)] for k in range(1, (end or 600) + 1))
        expect.setdefault("fon.spectra", []).extend(head + [b, *f["Spectr"][:, b - 1]] for b in range(1, 257))
    for r, e in enumerate(events):
        expect.setdefault("Rad.events", []).append([rad, r, e["EventNo"], *zoned(start_time(e)), *e["RGain"]])
        expect.setdefault("Rad.samples", []).extend([rad, r, e["EventNo"], i, *e["Samples"][:, i - 1]]
                                                    for i in range(1, 4097))
    for table, rows in expect.items():
        path = fon if table.startswith("fon") else rad
        with open(os.path.join(out, os.path.basename(path)[:-4] + f".{table}.csv"), newline="", encoding="utf-8") as f:
            assert list(csv.reader(f))[1:] == [[str(v) for v in row] for row in rows], table


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
        rc, err = export(tool, fon, rad, "--csv", out + "/", "--hdf5", h5, "--hdf5-layout", "records", "--timezone", ZONE)
        assert rc == 0 and "выгружено кадров: 3, событий: 2 из файлов: 2" in err, err
        rc, err = export(tool, fon, "--csv", out + "/")  # an output named once, with one slash
        assert rc == 1 and os.path.join(out, os.path.basename(fon)) + ".frames.csv: уже есть" in err, err
        check_csv(out, fon, rad, frames, events, stop)
        check_hdf5(h5, {"frames": (fon, frames), "events": (rad, events)}, stop)

        # Bad inputs: each reported under its name, the good records still
        # exported, exit 1; the export and the trend read through one reader
        # and say the same of the same file.
        torn, fifo = os.path.join(d, "torn.fon"), os.path.join(d, "pipe.fon")
        with open(torn, "wb") as f:
            f.write(open(fon, "rb").read() + b"\0" * 100)
        os.mkfifo(fifo)
        gone = os.path.join(d, "gone.Rad")
        rc, err = export(tool, torn, fifo, gone, os.path.join(d, "records.json"), rad,
                         "--hdf5", os.path.join(d, "bad.h5"), "--hdf5-layout", "records", "--trend", os.path.join(d, "bad.csv"))
        assert rc == 1, err
        lines = err.splitlines()
        for said, times in ((torn + ": неполная последняя запись (100 байт) после 3 целых записей", 2),
                            (fifo + ": не обычный файл", 2), (gone + ": не открывается: нет такого файла", 1),
                            ("records.json: не файл данных", 1)):
            assert sum(line.startswith(said) or said in line for line in lines) == times, (said, err)
        with h5py.File(os.path.join(d, "bad.h5"), "r") as f:
            assert np.array_equal(f["frames"]["Counts"], frames["Counts"]) and len(f["events"]) == len(events)

        # Existing outputs are kept unless --force, each said under its name,
        # exit 1 as --help lists it; no CSV folder for inputs that are all
        # missing; a bad command line exits 2.
        help_text = subprocess.run([tool, "--help"], capture_output=True, text=True).stdout
        assert "1 что-то пропущено" in help_text and "уже есть и\nоставлен как есть" in help_text, help_text
        trend = os.path.join(d, "bad.csv")
        before = os.path.getmtime(h5), os.path.getmtime(trend)
        for args, kept in (((rad, "--hdf5", h5), h5), ((fon, "--trend", trend), trend),
                           ((rad, "--csv", out), os.path.join(out, "sample.Rad.events.csv"))):
            rc, err = export(tool, *args)
            assert rc == 1 and kept + ": уже есть и оставлен как есть (-f заменяет)" in err, (args, err)
        assert (os.path.getmtime(h5), os.path.getmtime(trend)) == before
        assert export(tool, gone, "--csv", os.path.join(d, "none"))[0] == 1 and not os.path.exists(os.path.join(d, "none"))
        assert export(tool, rad, "--deflate", "12", "--hdf5", h5)[0] == 2
        rc, err = export(tool, rad, fon, "--hdf5", h5, "--csv", out + "/", "--trend", trend, "--force")
        assert rc == 0 and trend + ": тренд записан" in err, err
        assert not [n for n in os.listdir(d) + os.listdir(out) if n.endswith(".part")]
    print("vfon-export: CSV and HDF5 round trip and bad inputs pass")


if __name__ == "__main__":
    main(*sys.argv[1:4])
