"""The filter's -o: every mode's output read back by Python's csv module
gives exactly the input's fields, then the station's under -S, then the
results, with names that hold commas, quotes and the separator."""
import csv
import io
import os
import subprocess

import pytest

if "OSTREM_FILTER" not in os.environ:
    pytest.skip("run by ctest, which names the filter", allow_module_level=True)
FILTER = os.environ["OSTREM_FILTER"]

# Catalogue CSV with quoted places (a comma, a doubled quote, a tab), and
# FDSN station text whose site names hold commas.
EVENTS = ('time,latitude,longitude,depth,place\n'
          '2011-03-11T05:46:24Z,38.297,142.373,29,"near the east coast of Honshu, Japan"\n'
          '2023-02-06T01:17:34Z,37.2256,37.0143,10,"the ""Pazarcik"" event\tTurkey"\n'
          '2015-04-25T06:11:25Z,28.2305,84.7314,8,Nepal\n')
STATIONS = ('#Network|Station|Latitude|Longitude|Elevation|SiteName|StartTime|EndTime\n'
            'IU|MAJO|36.5457|138.2041|399.0|Matsushiro, Japan|1994-07-08T00:00:00|\n'
            'II|BFO|48.3319|8.3311|589.0|Black Forest Observatory, Schiltach, Germany|1996-05-03|\n'
            'IU|KONO|59.6491|9.5982|216.0|"Kongsberg; ""KONO"""|1991-07-23|\n')


def rows(text, sep=","):
    return list(csv.reader(io.StringIO(text), delimiter=sep))


@pytest.fixture
def files(tmp_path):
    events, stations = tmp_path / "events.csv", tmp_path / "stations.txt"
    events.write_text(EVENTS)
    stations.write_text(STATIONS)
    return str(events), str(stations)


def run(*args):
    r = subprocess.run([FILTER, *args], capture_output=True, text=True)
    assert r.returncode == 0, r.stderr
    return r.stdout


STATION_ARGS = ["-D", "|", "-F", "3,4"]
EVENT_ARGS = ["-d", ",", "-f", "2,3"]


@pytest.mark.parametrize("sep", [",", "\t", "|", ";"])
@pytest.mark.parametrize("mode, results", [
    ([], ["dist", "az", "baz"]), (["-m"], ["midlat", "midlon"]),
    (["-N", "2"], ["dist", "az", "baz"]), (["-G"], ["n", "dmin", "gap", "gap2"]),
    (["-r", "0,60", "-A", "0,360"], ["dist", "az", "baz"]),
])
def test_pairs_read_back_field_for_field(files, sep, mode, results):
    events, stations = files
    out = run("-H", "-S", stations, *STATION_ARGS, *EVENT_ARGS, *mode,
              "-o", "\\t" if sep == "\t" else sep, events)
    got = rows(out, sep)
    event_rows = rows(EVENTS)
    station_rows = rows(STATIONS, "|")
    per_station = mode != ["-G"]
    # One '#', the first; the station's latitude and longitude set apart
    # from the event's (case ignored).
    station_names = ["Network", "Station", "station_Latitude", "station_Longitude", "Elevation",
                     "SiteName", "StartTime", "EndTime"]
    assert len(station_names) == len(station_rows[0])
    header = event_rows[0] + (station_names if per_station else []) + results
    assert got[0] == header
    for row in got[1:]:
        assert len(row) == len(header)
        assert row[:5] in event_rows[1:]
        if per_station:
            assert row[5:13] in station_rows[1:]
    assert len(got) > 2


@pytest.mark.parametrize("args, width", [
    (["-a", "-d", ",", "-f", "2,3", "-s", "34.9459,-106.4572"], 3),
    (["-a", "-d", ",", "-f", "2,3", "-s", "34.9459,-106.4572", "-m"], 2),
    (["-a", "-d", ",", "-f", "2,3", "-s", "34.9459,-106.4572", "-r", "0,90", "-B", "0,360"], 3),
])
def test_the_line_mode_reads_back_field_for_field(files, args, width):
    events, _ = files
    got = rows(run("-H", *args, "-o", ",", events))
    want = rows(EVENTS)
    assert got[0][:5] == want[0] and len(got[0]) == 5 + width
    for row, line in zip(got[1:], want[1:]):
        assert row[:5] == line and len(row) == 5 + width


def test_without_o_the_bytes_stay(files):
    events, stations = files
    out = run("-S", stations, *STATION_ARGS, *EVENT_ARGS, "-H", events)
    assert "|Matsushiro, Japan|" in out and ",dist,az,baz" in out.splitlines()[0]


def test_a_line_that_never_closes_its_quote_stays_one_field():
    r = subprocess.run([FILTER, "-a", "-d", ",", "-f", "2,3", "-s", "0,0", "-o", ","],
                       input='"open,1,2\n', capture_output=True, text=True)
    assert rows(r.stdout) == [['"open,1,2', "nan", "nan", "nan"]]
    assert r.returncode == 1
