"""Travel times from Python: a homogeneous sphere's chords through a model
file, dT/dDelta = p, broadcasting and the order of depths, what has no
arrival, refusals, every arrival as a table, and Dask."""
import sys
from pathlib import Path

import numpy as np
import pytest

import ostrem

SOURCE = Path(__file__).resolve().parents[2]


def homogeneous(path, v=8.0):
    # A solid sphere down to a small core: rays that stay above it run
    # straight, and take the chord over v.
    rows = ["0 {v} 4.5 3.3", "5371 {v} 4.5 3.3", "5371 9.0 0 10", "5871 9.0 0 10",
            "5871 11 3.5 13", "6371 11 3.5 13"]
    path.write_text("homogeneous\nsphere\n" + "\n".join(r.format(v=v) for r in rows) + "\n")
    return str(path)


def test_a_homogeneous_sphere_gives_the_chord(tmp_path):
    model = homogeneous(tmp_path / "h.tvel")
    distance = np.linspace(0.5, 150, 60)
    time, p = ostrem.travel_times(distance, 0.0, "P", model=model)
    chord = 2 * 6371 * np.sin(np.radians(distance) / 2)
    np.testing.assert_allclose(time, chord / 8.0, atol=1e-6)
    # The ray leaves at the angle the chord makes with the vertical.
    # The ray parameter is the root's, where the time is stationary: looser.
    np.testing.assert_allclose(p, 6371 * np.cos(np.radians(distance) / 2) / 8.0 * np.pi / 180, rtol=1e-5)


@pytest.mark.parametrize("phases", ["P", "S", "PKIKP", "pP", "ScS"])
def test_the_slope_of_time_is_the_ray_parameter(phases):
    rng = np.random.default_rng(45)
    distance = rng.uniform(5, 175, 200)
    depth = rng.uniform(0, 650, 200)
    h = 1e-4
    ahead, _ = ostrem.travel_times(distance + h, depth, phases)
    behind, _ = ostrem.travel_times(distance - h, depth, phases)
    _, p = ostrem.travel_times(distance, depth, phases)
    # Away from where the first arrival changes branch, the slope is p.
    slope = (ahead - behind) / (2 * h)
    finite = np.isfinite(slope)
    smooth = finite & (np.abs(slope - p) < 0.05)
    assert finite.sum() > 50 and smooth.sum() > 0.9 * finite.sum()
    np.testing.assert_allclose(slope[smooth], p[smooth], atol=1e-6)


def test_broadcasting_and_the_order_of_depths():
    rng = np.random.default_rng(7)
    distance = rng.uniform(0, 180, (50, 1))
    depth = rng.choice([0.0, 10.0, 33.0, 410.0, 700.0], (1, 8))
    time, p = ostrem.travel_times(distance, depth, "P+PKIKP,Pdiff")
    assert time.shape == p.shape == (50, 8)
    for i, j in [(0, 0), (3, 7), (49, 2), (17, 5)]:
        one, q = ostrem.travel_times(distance[i, 0], depth[0, j], "P,PKIKP,Pdiff")
        assert isinstance(one, np.float64)
        assert one == time[i, j] and q == p[i, j]


@pytest.mark.parametrize("distance, depth, phases", [
    (120.0, 10.0, "P"),        # the core's shadow
    (100.0, 10.0, "PKIKP"),    # short of the inner core's reach
    (90.0, 10.0, "Pdiff"),     # before the core grazes
    (50.0, -11.0, "P"), (50.0, 3000.0, "P"), (np.nan, 10.0, "P"), (50.0, np.nan, "P"),
    (181.0, 10.0, "P"), (-0.5, 10.0, "P"),
])
def test_no_arrival_is_nan(distance, depth, phases):
    time, p = ostrem.travel_times(distance, depth, phases)
    assert np.isnan(time) and np.isnan(p)


@pytest.mark.parametrize("phases, model, message", [
    ("PX", "iasp91", '"PX": no leg is called X'),
    ("P,,S", "iasp91", '"P,,S": an empty phase name'),
    ("P", "iasp92", "iasp92: No such file or directory (the built-in models are iasp91 and ak135)"),
])
def test_refused(phases, model, message):
    with pytest.raises(ValueError) as e:
        ostrem.travel_times(50.0, 10.0, phases, model=model)
    assert str(e.value) == message


def test_every_arrival_as_a_table(monkeypatch):
    found = ostrem.arrivals([20.0, 120.0, 50.0], 0.0, "P,PP,PKIKP")
    assert list(found.columns) == ["element", "phase", "time", "ray_parameter", "takeoff", "incidence",
                                   "deepest_km"]
    # The triplication at 20 degrees, nothing for P in the shadow.
    assert (found[(found.element == 0) & (found.phase == "P")].shape[0]) == 5
    assert set(found[found.element == 1].phase) == {"PP", "PKIKP"}
    for _, rows in found.groupby("element"):
        assert np.all(np.diff(rows.time.to_numpy()) >= 0)
    first, _ = ostrem.travel_times([20.0, 120.0, 50.0], 0.0, "P,PP,PKIKP")
    np.testing.assert_array_equal(found.groupby("element").time.min().to_numpy(), first)
    monkeypatch.setitem(sys.modules, "pandas", None)
    plain = ostrem.arrivals([20.0, 120.0, 50.0], 0.0, "P,PP,PKIKP")
    assert isinstance(plain, dict)
    np.testing.assert_array_equal(plain["time"], found.time.to_numpy())


def test_dask_gives_the_same():
    da = pytest.importorskip("dask.array")
    rng = np.random.default_rng(3)
    distance = rng.uniform(0, 180, 1000)
    depth = rng.choice([5.0, 100.0, 600.0], 1000)
    want = ostrem.travel_times(distance, depth, "P,S")
    got = ostrem.travel_times(da.from_array(distance, chunks=300), da.from_array(depth, chunks=300), "P,S")
    np.testing.assert_array_equal(got[0].compute(), want[0])
    np.testing.assert_array_equal(got[1].compute(), want[1])


def test_the_filter_gives_the_same_arrivals():
    # One computation behind both: the filter's -P against travel_times on
    # the module's double-precision distance, to the last printed digit.
    import os
    import subprocess

    program = os.environ.get("OSTREM_FILTER")
    if not program:
        pytest.skip("OSTREM_FILTER names the filter to compare with")
    rng = np.random.default_rng(11)
    n = 300
    eqlat, stlat = rng.uniform(-80, 80, (2, n))
    eqlon, stlon = rng.uniform(-180, 180, (2, n))
    depth = rng.uniform(0, 700, n).round(1)
    # "%.17g": the doubles themselves (NumPy 2 writes its scalars' repr as np.float64(...)).
    text = "".join("%.17g %.17g %.17g %.17g %.17g\n" % row for row in zip(eqlat, eqlon, depth, stlat, stlon))
    out = subprocess.run([program, "-p", "9", "-f", "1,2,4,5", "-z", "3", "-P", "P+PKIKP,S,firstP"],
                         input=text, capture_output=True, text=True, check=True).stdout
    got = np.array([[float(x) for x in line.split()[3:]] for line in out.splitlines()])
    distance = ostrem.ostrem(eqlat, eqlon, stlat, stlon, dtype=np.float64)[0]
    for column, phases in enumerate(["P,PKIKP", "S", "firstP"]):
        want, _ = ostrem.travel_times(distance, depth, phases)
        np.testing.assert_allclose(got[:, column], want, rtol=0, atol=5.0001e-10, equal_nan=True)


def test_a_set_is_the_earliest_of_its_phases():
    distance = np.linspace(0.5, 179.5, 120)
    for depth in (0.0, 35.0, 600.0):
        first, _ = ostrem.travel_times(distance, depth, "firstP")
        each = [ostrem.travel_times(distance, depth, name)[0]
                for name in ("p", "P", "Pn", "Pg", "Pdiff", "PKP", "PKiKP", "PKIKP")]
        np.testing.assert_array_equal(first, np.fmin.reduce(each))


def test_a_model_file_of_either_format():
    # PREM as .nd names its boundaries; the same rows as .tvel find them by
    # the velocities: the same times.
    rows = [line.split() for line in (SOURCE / "travel" / "models" / "prem.nd").read_text().splitlines()]
    table = [r[:4] for r in rows if len(r) >= 4]
    import tempfile
    with tempfile.TemporaryDirectory() as folder:
        tvel = Path(folder, "prem.tvel")
        tvel.write_text("prem\nfrom .nd\n" + "\n".join(" ".join(r) for r in table) + "\n")
        a, _ = ostrem.travel_times([20.0, 60.0, 150.0], 100.0, "P,PKIKP", model=str(SOURCE / "travel" / "models" / "prem.nd"))
        b, _ = ostrem.travel_times([20.0, 60.0, 150.0], 100.0, "P,PKIKP", model=str(tvel))
    np.testing.assert_array_equal(a, b)
    assert np.all(np.isfinite(a))


def test_the_pairs_functions_give_the_arrivals():
    rng = np.random.default_rng(5)
    eqlat, eqlon = rng.uniform(-60, 60, 40), rng.uniform(-180, 180, 40)
    stlat, stlon = rng.uniform(-60, 60, 30), rng.uniform(-180, 180, 30)
    depth = rng.uniform(0, 600, 40).round(1)
    i, j, dist, az, baz, p, s = ostrem.pairs_within(eqlat, eqlon, stlat, stlon, 60.0, depth_km=depth,
                                                    phases="P,S")
    distance = ostrem.ostrem(eqlat[i], eqlon[i], stlat[j], stlon[j], dtype=np.float64)[0]
    np.testing.assert_array_equal(p, ostrem.travel_times(distance, depth[i], "P")[0])
    np.testing.assert_array_equal(s, ostrem.travel_times(distance, depth[i], "S")[0])
    found = ostrem.geodesic_pairs_within(eqlat, eqlon, stlat, stlon, 5000.0, depth_km=depth,
                                         phases="P+PKIKP", model="ak135")
    assert len(found) == 7  # i, j, km, az, baz, hypo, then the arrivals
    gi, gj, arrival = found[0], found[1], found[6]
    distance = ostrem.ostrem(eqlat[gi], eqlon[gi], stlat[gj], stlon[gj], dtype=np.float64)[0]
    np.testing.assert_array_equal(arrival, ostrem.travel_times(distance, depth[gi], "P,PKIKP", "ak135")[0])
    with pytest.raises(ValueError, match="phases needs depth_km"):
        ostrem.pairs_within(eqlat, eqlon, stlat, stlon, phases="P")
    da = pytest.importorskip("dask.array")
    lazy = ostrem.pairs_within(da.from_array(eqlat, chunks=15), eqlon, stlat, stlon, 60.0,
                               depth_km=da.from_array(depth, chunks=15), phases="P,S")
    for got, want in zip(lazy, (i, j, dist, az, baz, p, s)):
        np.testing.assert_array_equal(got.compute(), want)


def test_a_triplication_says_which_branch_is_which():
    # At 20 degrees from the surface P arrives five times: rays turning
    # above the 410 km discontinuity, between it and 660 km, and below.
    found = ostrem.arrivals(20.0, 0.0, "P,PcP,PKiKP")
    p = found[found.phase == "P"]
    deepest = p.deepest_km.to_numpy()
    assert (deepest < 410).any() and ((deepest > 410) & (deepest < 660)).any() and (deepest > 660).any()
    # Slower rays turn shallower.
    order = np.argsort(p.ray_parameter.to_numpy())
    assert np.all(np.diff(deepest[order]) <= 0)
    assert found[found.phase == "PcP"].deepest_km.tolist() == [2889.0]
    assert found[found.phase == "PKiKP"].deepest_km.tolist() == [5153.9]
