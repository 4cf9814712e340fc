"""The record dtypes of docs/formats.md read files written by the program's
own record code, every field of every record, and the document's example
runs. Usage: formats_test.py WRITE_RECORDS FORMATS_MD"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

import numpy as np


def doc_blocks(md_path):
    """The Python code blocks of the document."""
    with open(md_path, encoding="utf-8") as f:
        return re.findall(r"```python\n(.*?)```", f.read(), re.S)


def doc_dtypes(md_path):
    """FON_DTYPE and RAD_DTYPE exactly as the document defines them."""
    ns = {}
    exec(next(b for b in doc_blocks(md_path) if "FON_DTYPE = " in b), ns)
    return ns["FON_DTYPE"], ns["RAD_DTYPE"]


def written_records(writer, directory):
    """Writes the sample files into `directory`; returns the values written."""
    subprocess.run([writer, directory], check=True)
    with open(os.path.join(directory, "records.json")) as f:
        return json.load(f)


def main(writer, md_path):
    md_path = os.path.abspath(md_path)
    fon_dtype, rad_dtype = doc_dtypes(md_path)
    with tempfile.TemporaryDirectory() as d:
        truth = written_records(writer, d)
        for name, dtype, key in (("sample.fon", fon_dtype, "fon"), ("sample.Rad", rad_dtype, "rad")):
            records = np.fromfile(os.path.join(d, name), dtype=dtype)
            assert len(records) == len(truth[key]), name
            fields = [f for f in dtype.names if not f.startswith("pad")]
            assert sorted(fields) == sorted(truth[key][0]), f"{name}: fields {fields}"
            for r, expected in enumerate(truth[key]):
                for f in fields:
                    assert np.array_equal(records[r][f], np.array(expected[f])), f"{name} record {r} field {f}"
        # The reading example of the document, on a file of its name.
        shutil.copy(os.path.join(d, "sample.fon"), os.path.join(d, "6_12_23_5.fon"))
        os.chdir(d)
        ns = {"np": np, "FON_DTYPE": fon_dtype}
        exec(next(b for b in doc_blocks(md_path) if "np.fromfile" in b), ns)
        assert np.array_equal(ns["rate2"], truth["fon"][2]["Counts"][1])
    print("formats: every field of", len(truth["fon"]), "frames and", len(truth["rad"]), "events read back")


if __name__ == "__main__":
    main(*sys.argv[1:3])
