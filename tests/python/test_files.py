"""read_stations and read_events: StationXML and QuakeML give the table of
the FDSN text the same inventory and catalogue give; bad entries are warned
of and left out, bad XML refused with its line; and the filter's -o output
of XML input reads back field for field."""
import csv
import io
import os
import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest

import ostrem

DATA = Path(__file__).resolve().parent.parent / "data"


@pytest.mark.parametrize("read, xml, text, warned", [
    (ostrem.read_stations, "inventory.xml", "inventory.txt", [":42: the station has no latitude"]),
    (ostrem.read_events, "catalogue.xml", "catalogue.txt",
     [":49: the event has no origin", ":53: the origin's latitude is not a number: north"]),
])
def test_xml_reads_as_its_text(read, xml, text, warned):
    with pytest.warns(UserWarning) as caught:
        from_xml = read(DATA / xml)
    assert [str(w.message).split(xml)[1] for w in caught] == warned
    from_text = read(DATA / text)
    assert from_xml.equals(from_text)
    assert from_xml.columns[2:4].tolist() == ["Latitude", "Longitude"]


def test_columns_have_their_types():
    events = ostrem.read_events(DATA / "catalogue.txt")
    assert events["Depth/km"].tolist()[:2] == [29.0125, 0.5] and np.isnan(events["Depth/km"][2])
    assert str(events["Time"][0]) == "2011-03-11 05:46:24.120000"
    stations = ostrem.read_stations(DATA / "inventory.txt")
    assert stations["EndTime"].isna().tolist() == [False, True, True]
    assert stations["SiteName"][2] == 'Fuerstenfeldbruck, "Bavaria"'


@pytest.mark.parametrize("read, name", [(ostrem.read_stations, "inventory.txt"),
                                        (ostrem.read_events, "catalogue.txt")])
def test_without_pandas_a_dict_of_the_same_arrays(monkeypatch, read, name):
    frame = read(DATA / name)
    monkeypatch.setitem(sys.modules, "pandas", None)
    table = read(DATA / name)
    assert isinstance(table, dict) and list(table) == list(frame.columns)
    for column, values in table.items():
        assert values.dtype == frame[column].dtype, column
        assert frame[column].equals(type(frame[column])(values)), column


@pytest.mark.parametrize("read, content, message", [
    (ostrem.read_stations, "<FDSNStationXML>\n<Network>", r"x\.xml:2: bad XML: no element found"),
    (ostrem.read_stations, (DATA / "catalogue.xml").read_text(), r"is QuakeML, not StationXML"),
    (ostrem.read_events, "<?xml version='1.0'?><html/>", r"root element is <html>"),
    (ostrem.read_events, "1|2|3\n", r"has no '#' header"),
    (ostrem.read_stations, "#A|B\n1|2\n3\n", r"fields"),
    (ostrem.read_stations, "#A|B\n1|2|3\n", r"fields"),
])
def test_bad_files_are_refused(tmp_path, read, content, message):
    path = tmp_path / "x.xml"
    path.write_text(content)
    with pytest.raises(ValueError, match=message):
        read(path)


@pytest.mark.skipif("OSTREM_FILTER" not in os.environ, reason="run by ctest, which names the filter")
def test_xml_through_the_filter_reads_back_with_csv():
    out = subprocess.run([os.environ["OSTREM_FILTER"], "-H", "-o", ",", "-S", DATA / "inventory.xml",
                          DATA / "catalogue.xml"], capture_output=True, text=True).stdout
    got = list(csv.reader(io.StringIO(out)))
    events = [line.split("|") for line in (DATA / "catalogue.txt").read_text().splitlines()]
    stations = [line.split("|") for line in (DATA / "inventory.txt").read_text().splitlines()]
    # pandas and csv find every column under its own name: no '#' inside,
    # the station's coordinates set apart from the event's.
    assert len(set(got[0])) == len(got[0]) and "#" not in "".join(got[0][1:])
    assert got[0] == events[0] + ["station_" + n if n in ("Latitude", "Longitude") else n.lstrip("#")
                                  for n in stations[0]] + ["dist", "az", "baz"]
    expected = [e + s for e in events[1:] for s in stations[1:]]
    assert [row[:-3] for row in got[1:]] == expected
