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


# Files of the shapes the data centres write, through the filter and
# through Python: the same pairs, each station epoch once, every date kept.
@pytest.mark.skipif("OSTREM_FILTER" not in os.environ, reason="run by ctest, which names the filter")
@pytest.mark.parametrize("stations, events, event_args, event_id", [
    ("stations_running.txt", "events_spaced.txt", ["-t", "Time"], "EventID"),
    ("stations_running.txt", "catalogue.csv", ["-d", ",", "-f", "latitude,longitude", "-t", "time"], "id"),
    ("channels.txt", "quakeml_1.0.xml", ["-t", "Time"], "EventID"),
    ("channels.txt", "quakeml_default_namespace.xml", ["-t", "Time"], "EventID"),
])
def test_the_filter_and_python_pair_alike(stations, events, event_args, event_id):
    out = subprocess.run([os.environ["OSTREM_FILTER"], "-H", "-o", ",", "-a", "-S", DATA / stations,
                          "-T", "StartTime,EndTime", *event_args, DATA / events],
                         capture_output=True, text=True)
    assert out.returncode == 0, out.stderr
    rows = list(csv.DictReader(io.StringIO(out.stdout)))
    key = next(k for k in rows[0] if k.lstrip("#") == event_id)  # the first name keeps FDSN's '#'
    by_filter = sorted((r[key].strip(), r["Network"], r["Station"], r["dist"]) for r in rows)
    ev = ostrem.read_events(DATA / events)
    st = ostrem.read_stations(DATA / stations)
    i, j, dist, _, _ = ostrem.pairs_within(ev["Latitude"], ev["Longitude"], st["Latitude"], st["Longitude"],
                                           180, times=(ev["Time"], st["StartTime"], st["EndTime"]))
    by_python = sorted((ev["EventID"][a], st["Network"][b], st["Station"][b], f"{d:.2f}")
                       for a, b, d in zip(i, j, dist))
    assert by_filter == by_python and by_python


def test_times_past_2262_are_held_never_wrapped():
    st = ostrem.read_stations(DATA / "stations_running.txt")
    assert str(st["EndTime"][0])[:19] == "2599-12-31 23:59:59"
    assert st["StartTime"].dtype == "datetime64[ns]"  # every start fits nanoseconds
    assert st["EndTime"].isna().tolist() == [False, False, True, False]
    assert len(st) == 4  # the header again, where two files were joined, is no station


@pytest.mark.parametrize("end, held", [
    ("2262-04-11T23:47:16", "datetime64[ns]"),
    ("2262-04-11T23:47:17", "datetime64[us]"),
    ("9999-12-31T23:59:59.999999Z", "datetime64[us]"),
    ("0001-01-01", "datetime64[us]"),
])
def test_a_time_column_takes_the_unit_that_holds_it(tmp_path, monkeypatch, end, held):
    monkeypatch.setitem(sys.modules, "pandas", None)
    path = tmp_path / "s.txt"
    path.write_text(f"#Network|Station|Latitude|Longitude|StartTime|EndTime\nX|A|1|2|2000-01-01|{end}\n")
    table = ostrem.read_stations(path)
    assert table["EndTime"].dtype == held
    assert str(table["EndTime"][0]).startswith(end.rstrip("Z")[:19])


def test_a_time_no_unit_can_hold_is_refused(tmp_path):
    path = tmp_path / "s.txt"
    path.write_text("#Network|Station|Latitude|Longitude|StartTime|EndTime\n"
                    "X|A|1|2|2000-01-01|2020-01-01T00:00:00.0000001\nX|B|1|2|2000-01-01|2599-12-31\n")
    with pytest.raises(ValueError, match=r"finer than a microsecond"):
        ostrem.read_stations(path)


def test_channels_are_read_as_station_epochs():
    st = ostrem.read_stations(DATA / "channels.txt")
    assert [f"{n}.{s}" for n, s in zip(st["Network"], st["Station"])] == \
        ["IU.ANMO", "IU.ANMO", "GR.FUR", "GR.FUR"]
    assert st["Channel"].tolist() == [""] * 4 and st["Scale"].isna().all()
    assert st["StartTime"].astype(str).str[:10].tolist() == ["1989-08-29", "2002-11-19", "2006-12-16",
                                                             "2006-12-16"]
    assert st["EndTime"].isna().tolist() == [False, True, True, True]
    every = ostrem.read_stations(DATA / "channels.txt", channels=True)
    assert len(every) == 9 and every["Scale"].dtype == np.float64 and every["ScaleFreq"][0] == 0.02


def test_the_catalogue_csv_fills_the_event_columns():
    ev = ostrem.read_events(DATA / "catalogue.csv")
    assert ev.columns[:13].tolist() == ostrem._reading.EVENT_COLUMNS
    assert ev["EventID"].tolist() == ["ev1", "ev2"] and ev["MagType"].tolist() == ["mww", "mww"]
    assert ev["EventLocationName"][1] == "near the east coast of Honshu, Japan"
    assert ev["gap"].tolist() == [12.0, 9.5] and np.isnan(ev["nst"][0])
    assert ev["Depth/km"].dtype == np.float64 and ev["updated"].dtype == "datetime64[ns]"


@pytest.mark.parametrize("name", ["quakeml_1.0.xml", "quakeml_default_namespace.xml"])
@pytest.mark.parametrize("magnitudes, first, chosen", [
    (None, False, ["mb", "mb"]),
    ("Mw,Mww", False, ["mb", "Mw"]),      # the first event prefers its mb
    (["mww", "mw"], True, ["Mww", "Mw"]),
])
def test_quakeml_of_other_namespaces_and_the_magnitude_types(name, magnitudes, first, chosen):
    ev = ostrem.read_events(DATA / name, magnitudes=magnitudes, magnitudes_first=first)
    assert ev["EventID"].tolist() == ["ev1", "ev2"]
    assert ev["MagType"].tolist() == chosen


def test_a_document_of_no_event_is_warned_of(tmp_path):
    path = tmp_path / "empty.xml"
    path.write_text("<q:quakeml xmlns:q='http://quakeml.org/xmlns/quakeml/1.2' "
                    "xmlns='urn:not-quakeml'><eventParameters><event/></eventParameters></q:quakeml>")
    with pytest.warns(UserWarning, match=r"empty\.xml:1: the QuakeML holds no event"):
        assert len(ostrem.read_events(path)) == 0
