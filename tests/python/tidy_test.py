"""vfon-export --hdf5, tidy layout: pandas.read_hdf, h5py and PyTables read
every table of a known run and give the counts, times and numbers of the
record files read with the documented dtypes; UTC instants across midnight
and daylight-saving changes; a non-ASCII path comes back as it was; the
examples of docs/formats.md run.
Usage: tidy_test.py WRITE_RECORDS VFON_EXPORT FORMATS_MD"""
import datetime
import os
import subprocess
import sys
import tempfile
import zoneinfo

import h5py
import numpy as np
import pandas as pd
import tables

from formats_test import doc_blocks, doc_dtypes, written_records

TABLES = ("files", "points", "frames", "spectra", "events", "trend")


def utc_ns(zone, y, mo, d, h, mi, s, ms, fold=0):
    t = datetime.datetime(y, mo, d, h, mi, s, ms * 1000, tzinfo=zoneinfo.ZoneInfo(zone), fold=fold)
    return int(t.timestamp()) * 10**9 + ms * 10**6


def export(tool, *args):
    p = subprocess.run([tool, "--quiet", *args], capture_output=True, text=True)
    return p.returncode, p.stderr


def same(a, b):
    a, b = np.asarray(a), np.asarray(b)
    return np.array_equal(a, b, equal_nan=a.dtype.kind == "f")


def read_three_ways(h5, station):
    """Each table by pandas, h5py and PyTables, checked to agree column by column."""
    out = {}
    with h5py.File(h5, "r") as f, tables.open_file(h5) as t:
        for name in TABLES:
            df = pd.read_hdf(h5, f"/{station}/{name}")
            ds, pt = f[f"{station}/{name}/table"], t.get_node(f"/{station}/{name}/table")
            for col in df.columns:
                raw = ds[col]
                want = [v.decode() for v in raw] if raw.dtype.kind == "S" else raw
                assert same(df[col].to_numpy(), want) and same(pt.col(col), raw), (name, col)
                assert ds.attrs[f"{col}_units"] is not None and ds.attrs[f"{col}_description"], (name, col)
            out[name] = df
        group = f[station].attrs
        out["attrs"] = {k: group[k].decode() for k in ("station", "timezone", "program_version")}
        out["samples"] = f[f"{station}/event_samples"][:]
    return out


def check_known_run(writer, tool, fon_dtype, rad_dtype, d):
    """The run of write_records against its records, in a folder with a station's name."""
    station = os.path.join(d, "station1")
    os.mkdir(station)
    stop = written_records(writer, station)["stop_point"]
    fon, rad = os.path.join(station, "фон 1.fon"), os.path.join(station, "sample.Rad")  # a non-ASCII path
    os.rename(os.path.join(station, "sample.fon"), fon)
    h5 = os.path.join(d, "OUT.h5")
    rc, err = export(tool, fon, rad, "--hdf5", h5, "--timezone", "Europe/Moscow")
    assert rc == 0 and "часовой пояс станции: Europe/Moscow" in err, err
    got = read_three_ways(h5, "station1")
    assert got["attrs"]["station"] == "station1" and got["attrs"]["timezone"] == "Europe/Moscow"
    frames, events = np.fromfile(fon, dtype=fon_dtype), np.fromfile(rad, dtype=rad_dtype)

    points, ends = got["points"], [0, 0, stop]
    for r, f in enumerate(frames):
        n = ends[r] - 1 if ends[r] else 600
        rows = points[points["record"] == r]
        assert list(rows["point"]) == list(range(1, n + 1)) and set(rows["file_id"]) == {0}
        for c in range(4):
            assert np.array_equal(rows[f"count_{c + 1}"], f["Counts"][c, :n]), (r, c)
        start = (f["Year"], f["Month"], f["Day"])
        for k in (1, n):  # points past midnight lie on the next day
            h, mi, s, ms = (int(v) for v in f["Times"][k - 1])
            if h == 65535:
                assert rows["time_ns"].iloc[k - 1] == np.iinfo(np.int64).min
                continue
            day = datetime.date(*start) + datetime.timedelta(days=int((h, mi, s, ms) < tuple(f[x] for x in ("Hour", "Min", "Sec", "MSec"))))
            assert rows["time_ns"].iloc[k - 1] == utc_ns("Europe/Moscow", day.year, day.month, day.day, h, mi, s, ms), (r, k)
    assert list(got["files"]["file"]) == [fon, rad] and list(got["files"]["file_id"]) == [0, 1]
    assert set(got["events"]["file_id"]) == {1} and set(got["frames"]["file_id"]) == {0}
    # Live and wall seconds of each point: 25 cycles of 10 ms; the time since the point before.
    assert (points["live_s"] == 0.25).all()
    t = points["time_ns"].to_numpy()
    known = (t[1:] > np.iinfo(np.int64).min) & (t[:-1] > np.iinfo(np.int64).min) & (points["point"].to_numpy()[1:] > 1)
    assert np.allclose(points["wall_s"].to_numpy()[1:][known], (t[1:] - t[:-1])[known] / 1e9)
    assert points["wall_s"][t == np.iinfo(np.int64).min].isna().all()
    first = points[(points["point"] == 1) & (points["time_ns"] > np.iinfo(np.int64).min)].merge(got["frames"], on="record")
    assert np.allclose(first["wall_s"], (first["time_ns"] - first["start_ns"]) / 1e9)
    fr = got["frames"]
    assert list(fr["end_point"]) == ends and list(fr["frame"]) == list(frames["KadrNo"])
    assert list(fr["sampling_rate_hz"]) == list(frames["Rate"]) and list(fr["gain_2"]) == list(frames["FGain"][:, 1])
    assert fr["start_ns"][0] == utc_ns("Europe/Moscow", 2026, 12, 31, 23, 59, 58, 0)
    sp = got["spectra"]
    assert np.array_equal(sp["count"].to_numpy().reshape(3, 4, 256), frames["Spectr"])
    assert list(sp.join(fr, on="frame_row", rsuffix="_f")["record"][::256]) == [0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2]
    ev = got["events"]
    assert list(ev["event_no"]) == list(events["EventNo"]) and np.array_equal(got["samples"], events["Samples"])
    assert np.array_equal(ev[[f"peak_{c}" for c in range(1, 7)]], np.abs(events["Samples"].astype(int)).max(axis=2))
    assert list(ev["time_ns"]) == [utc_ns("Europe/Moscow", 2026, 2, 28, 23, 59, 59, 999)] * 2
    tr = got["trend"]
    assert list(tr["points"]) == [600, 600, stop - 1] and list(tr["live_s"]) == [150, 150, (stop - 1) * 0.25]
    # The trend CSV of the same file: counts per live second, with pandas.
    trend_csv = os.path.join(d, "trend.csv")
    rc, err = export(tool, fon, "--trend", trend_csv, "--timezone", "Europe/Moscow")
    assert rc == 0, err
    csv = pd.read_csv(trend_csv)
    for r, n in enumerate(tr["points"]):
        for c in range(4):
            line = csv[(csv["frame"] == r + 1) & (csv["channel"] == c + 1)].iloc[0]
            assert line["live_s [s]"] == n * 0.25
            assert np.isclose(line["mean_per_live_s [counts/s]"], frames["Counts"][r, c, :n].sum() / (n * 0.25)), (r, c)
            assert np.isclose(tr[f"mean_per_live_s_{c + 1}"][r], line["mean_per_live_s [counts/s]"])
    return h5


def check_daylight_saving(tool, fon_dtype, d):
    """Frames that start before a change: the gap and the repeated hour by the documented rule."""
    folder = os.path.join(d, "dst")
    os.mkdir(folder)
    recs = np.zeros(2, dtype=fon_dtype)
    recs["Counts"] = 1
    # Berlin: 2026-03-29 02:00 +01:00 -> 03:00 +02:00; 2026-10-25 03:00 +02:00 -> 02:00 +01:00.
    for r, (day, start, times) in enumerate((((2026, 3, 29), (1, 59, 0, 0), [(2, 30, 0, 0), (3, 30, 0, 0)]),
                                            (((2026, 10, 25), (2, 10, 0, 0), [(2, 30, 0, 0), (2, 20, 0, 0)])))):
        recs[r]["Year"], recs[r]["Month"], recs[r]["Day"] = day
        recs[r]["Hour"], recs[r]["Min"], recs[r]["Sec"], recs[r]["MSec"] = start
        recs[r]["Times"][:] = (start[0], start[1], 30, 0)
        recs[r]["Times"][:2] = times
    path = os.path.join(folder, "dst.fon")
    recs.tofile(path)
    h5 = os.path.join(d, "dst.h5")
    assert export(tool, path, "--hdf5", h5, "--timezone", "Europe/Berlin", "--station", "ST_2")[0] == 0
    t = pd.read_hdf(h5, "/ST_2/points")["time_ns"].to_numpy().reshape(2, 600)
    hour = 3600 * 10**9
    assert t[0, 0] == utc_ns("Europe/Berlin", 2026, 3, 29, 1, 30, 0, 0) + hour  # the gap: offset before
    assert t[0, 1] == utc_ns("Europe/Berlin", 2026, 3, 29, 3, 30, 0, 0)
    assert t[1, 0] == utc_ns("Europe/Berlin", 2026, 10, 25, 2, 30, 0, 0, fold=0)  # repeated: the first
    assert t[1, 1] == utc_ns("Europe/Berlin", 2026, 10, 25, 2, 20, 0, 0, fold=0)
    # A folder name that is no station ID is refused, naming the input.
    bad = os.path.join(d, "станция")
    os.mkdir(bad)
    os.rename(path, os.path.join(bad, "dst.fon"))
    rc, err = export(tool, os.path.join(bad, "dst.fon"), "--hdf5", os.path.join(d, "x.h5"))
    assert rc == 2 and "dst.fon: имя папки" in err and "--station" in err and not os.path.exists(os.path.join(d, "x.h5")), err


def main(writer, tool, md_path):
    md_path = os.path.abspath(md_path)
    fon_dtype, rad_dtype = doc_dtypes(md_path)
    with tempfile.TemporaryDirectory() as d:
        check_known_run(writer, tool, fon_dtype, rad_dtype, d)
        check_daylight_saving(tool, fon_dtype, d)
        os.chdir(d)  # the tidy examples of the document, on OUT.h5 of station1
        for block in doc_blocks(md_path):
            if "station1" in block or "trend.csv" in block:
                exec(block, {})
    print("tidy HDF5: pandas, h5py and PyTables agree with the records; UTC across midnight and DST")


if __name__ == "__main__":
    main(*sys.argv[1:4])
