"""vfon-export --hdf5 of several station folders: the coincidence tables that
pandas.read_hdf gives are the coincidences of --coincidences over the same
folders, member by member, and the accidentals beside them; each member
points at its row of the station's events table; a station folder that is
not there is said and the others are still searched; the examples of
docs/formats.md run.
Usage: coincidence_tables_test.py VFON_EXPORT FORMATS_MD"""
import datetime
import os
import shutil
import subprocess
import sys
import tempfile

import h5py
import numpy as np
import pandas as pd

from formats_test import doc_blocks, doc_dtypes

STATIONS = ("A1", "B2", "C3")  # alphabetical: the file's groups come in the order given
TABLES = ("coincidences", "coincidence_members", "coincidence_accidentals")


def write_station(folder, rad_dtype, times_ms, files):
    """The events at `times_ms` (ms since 1970, UTC) spread over `files` .Rad files; one more without a time."""
    os.makedirs(folder)
    for f, part in enumerate(np.array_split(np.sort(times_ms), files)):
        recs = np.zeros(len(part) + (f == 0), dtype=rad_dtype)
        for r, ms in enumerate(part):
            t = datetime.datetime.fromtimestamp(int(ms) // 1000, datetime.timezone.utc)
            for name, v in zip(("Year", "Month", "Day", "Hour", "Min", "Sec", "MSec"),
                               (t.year, t.month, t.day, t.hour, t.minute, t.second, int(ms) % 1000)):
                recs[r][name] = v
            recs[r]["EventNo"] = r + 1
        recs.tofile(os.path.join(folder, f"6_12_10_{f}.Rad"))  # the record without a time is left out


def sky(rng):
    """Events of three stations: showers seen by two or three of them within a few ms, and chance events."""
    start = int(datetime.datetime(2026, 12, 6, 10, tzinfo=datetime.timezone.utc).timestamp() * 1000)
    showers = start + np.sort(rng.choice(3_600_000, 40, replace=False))
    times = {s: [] for s in STATIONS}
    for t in showers:
        for s in rng.choice(STATIONS, rng.integers(2, 4), replace=False):
            times[s].append(t + rng.integers(-6, 7))
    for s in STATIONS:
        times[s] += list(start + rng.integers(0, 3_600_000, 30))
    return times


def export(tool, *args):
    p = subprocess.run([tool, "--quiet", "--timezone", "UTC", "--window", "20", *args], capture_output=True, text=True)
    return p.returncode, p.stderr


def tables_of(h5):
    """The coincidence tables, the members with their file names, checked against each station's tables."""
    got = {name: pd.read_hdf(h5, f"/{name}") for name in TABLES}
    with h5py.File(h5, "r") as f:
        for name in TABLES:
            attrs = f[f"{name}/table"].attrs
            for col in got[name].columns:
                assert f"{col}_units" in attrs and attrs[f"{col}_description"], (name, col)
    members, named = got["coincidence_members"], []
    for station, rows in members.groupby("station"):
        files = pd.read_hdf(h5, f"/{station}/files")
        events = pd.read_hdf(h5, f"/{station}/events")
        joined = rows.merge(events, on=["file_id", "record"], how="left", suffixes=("", "_event"))
        assert (joined["time_ns"] == joined["time_ns_event"]).all(), station  # each member is its event's row
        joined = joined.merge(files, on="file_id")
        joined["file"] = joined["file"].map(os.path.basename)
        named.append(joined)
    got["named"] = pd.concat(named) if named else members.assign(file=[])
    return got


def check_same_as_csv(got, csv_path):
    """Coincidences and accidentals equal to the CSVs of --coincidences."""
    csv = pd.read_csv(csv_path)
    co, named = got["coincidences"], got["named"]
    assert len(co) == csv["id"].nunique() and len(co) > 0
    assert list(co["id"]) == sorted(csv["id"].unique())
    heads = csv.drop_duplicates("id").set_index("id")
    for col in ("first_ns", "n", "stations"):
        assert list(co.set_index("id")[col]) == list(heads[col]), col
    assert list(co["events"]) == list(csv.groupby("id").size())
    key = ["coincidence", "station", "file", "record", "dt_ns"]
    mine = named.assign(record=named["record"] + 1)[key].sort_values(key).to_numpy().tolist()
    theirs = csv.rename(columns={"id": "coincidence"})[key].sort_values(key).to_numpy().tolist()
    assert mine == theirs
    acc = pd.read_csv(csv_path.replace(".csv", ".accidentals.csv"), dtype={"stations": str})
    mine = got["coincidence_accidentals"]
    assert list(mine["kind"]) == list(acc["kind"]) and list(mine["stations"]) == list(acc["stations"])
    assert list(mine["observed"]) == list(acc["observed"])
    assert np.allclose(mine["expected"], acc["expected"], atol=1e-3)
    assert np.allclose(mine["empirical"], acc["empirical"], atol=1e-3)
    assert (mine["window_ns"] == 20_000_000).all()


def main(tool, md_path):
    md_path = os.path.abspath(md_path)
    _, rad_dtype = doc_dtypes(md_path)
    rng = np.random.default_rng(7)
    with tempfile.TemporaryDirectory() as d:
        folders, times = [os.path.join(d, s) for s in STATIONS], sky(rng)
        for s, folder, files in zip(STATIONS, folders, (2, 1, 3)):
            write_station(folder, rad_dtype, times[s], files)
        h5, csv = os.path.join(d, "OUT.h5"), os.path.join(d, "c.csv")
        rc, err = export(tool, *folders, "--hdf5", h5)
        assert rc == 0 and "совпадений между станциями" in err, err
        assert export(tool, *folders, "--coincidences", csv)[0] == 1  # 1: the records without a time said
        check_same_as_csv(tables_of(h5), csv)

        # A station folder that is not there: said, and the two others searched.
        gone = os.path.join(d, "Z9")
        rc, err = export(tool, folders[0], gone, folders[1], "--hdf5", os.path.join(d, "two.h5"))
        assert rc == 1 and "Z9" in err, err
        assert export(tool, folders[0], folders[1], "--coincidences", os.path.join(d, "two.csv"))[0] == 1
        check_same_as_csv(tables_of(os.path.join(d, "two.h5")), os.path.join(d, "two.csv"))

        # A station named as a coincidence table: refused before anything is written.
        clash = os.path.join(d, "coincidences")
        shutil.copytree(folders[0], clash)
        rc, err = export(tool, clash, folders[1], "--hdf5", os.path.join(d, "clash.h5"))
        assert rc != 0 and "таблица совпадений" in err and not os.path.exists(os.path.join(d, "clash.h5")), err

        # One station: no search, no tables.
        assert export(tool, folders[0], "--hdf5", os.path.join(d, "one.h5"))[0] == 0
        with h5py.File(os.path.join(d, "one.h5"), "r") as f:
            assert list(f.keys()) == ["A1"]

        os.chdir(d)  # the coincidence examples of the document, on OUT.h5
        for block in doc_blocks(md_path):
            if "coincidence_members" in block:
                exec(block, {})
    print("coincidence tables: pandas gives the coincidences of --coincidences, member by member")


if __name__ == "__main__":
    main(*sys.argv[1:3])
