"""The ellipsoid's numbers against GeographicLib's Python package, an
implementation apart from the C++ library the module links: kilometres
within 1 mm, directions within 1e-7 degrees wherever they are defined; the
filter's -k and -n against the ufuncs."""
import os
import subprocess
import warnings

import numpy as np
import pytest
from geographiclib.geodesic import Geodesic

import ostrem

WGS84 = Geodesic.WGS84

# Pairs where conventions and round-off bite, then seeded pairs over the
# globe and nearly antipodal ones.
EDGES = [
    (0, 0, 0, 90), (0, 0, 0, -90),          # along the equator
    (38.3, 142.4, 34.95, -106.46),           # across the date line
    (10, 179.5, -5, -179.5), (-20, -179.99, -20, 179.99),
    (10, 540, 20, 200), (30, 400, 31, 50),   # longitudes above 180
    (0, 0, 0.5, 179.7), (0, 0, -0.3, 179.9), (1, 2, -1.0001, -177.9999),  # nearly antipodal
    (89.999, 10, 89.999, 190),               # over the pole
    (90, 0, 45, 30), (-90, 0, 10, 20), (90, 0, -90, 0),  # from a pole
    (45, 45, 45, 45), (20, 30, -20, -150),   # coincident, exactly antipodal
]


def pairs():
    rng = np.random.default_rng(20261209)
    n = 3000
    lat = rng.uniform(-90, 90, (2, n))
    lon = rng.uniform(-180, 540, (2, n))
    near = rng.uniform(-60, 60, 500)
    nlon = rng.uniform(-180, 180, 500)
    anti = (near, nlon, -near + rng.uniform(-0.5, 0.5, 500), nlon + 180 + rng.uniform(-0.5, 0.5, 500))
    edges = np.array(EDGES, dtype=float).T
    spread = (lat[0], lon[0], lat[1], lon[1])
    return tuple(np.concatenate([edges[k], spread[k], anti[k]]) for k in range(4))


def apart(a, b):
    """Degrees between two directions, across 0/360."""
    return np.abs((np.asarray(a) - np.asarray(b) + 180.0) % 360.0 - 180.0)


def defined(eqlat, eqlon, stlat, stlon, km):
    """Where directions mean something: not at a pole, not coincident, not
    exactly antipodal."""
    at_pole = (np.abs(eqlat) == 90) | (np.abs(stlat) == 90)
    antipodal = (eqlat == -stlat) & (np.mod(eqlon - stlon, 360) == 180)
    return ~at_pole & (km > 0) & ~antipodal


def test_inverse_against_the_reference():
    eqlat, eqlon, stlat, stlon = pairs()
    km, az, baz = ostrem.geodesic(eqlat, eqlon, stlat, stlon)
    ref = [WGS84.Inverse(*p) for p in zip(eqlat, eqlon, stlat, stlon)]
    rkm = np.array([g["s12"] for g in ref]) / 1000
    raz = np.array([g["azi1"] for g in ref])
    rbaz = np.array([g["azi2"] for g in ref]) + 180
    assert np.max(np.abs(km - rkm)) < 1e-6
    ok = defined(eqlat, eqlon, stlat, stlon, km)
    assert ok.sum() > 3400
    assert np.max(apart(az, raz)[ok]) < 1e-7
    assert np.max(apart(baz, rbaz)[ok]) < 1e-7
    for a in (az, baz):
        assert np.all((a >= 0) & (a <= 360))


def test_a_million_pairs_against_pyproj():
    # PROJ's geodesic, a third implementation of the same method: lengths
    # within 50 nm, and azimuths within 1e-10 degrees on lines longer than
    # 3 km more than a degree from antipodal.  (Nearer, and on shorter
    # lines, the azimuth's conditioning sets its tolerance: the C++ tests
    # hold it there to the reduced length.)
    pyproj = pytest.importorskip("pyproj")
    rng = np.random.default_rng(1000000)
    n = 1000000
    lat = np.degrees(np.arcsin(rng.uniform(-1, 1, (2, n))))
    lon = rng.uniform(-180, 180, (2, n))
    near = slice(0, n // 5)  # a fifth within 1e-9 to 1 degree of antipodal
    off = 10.0 ** rng.uniform(-9, 0, (2, n // 5))
    lat[1, near] = -lat[0, near] + off[0] * rng.choice([-1, 1], n // 5)
    lon[1, near] = lon[0, near] + 180 + off[1] * rng.choice([-1, 1], n // 5)
    km, az, baz = ostrem.geodesic(lat[0], lon[0], lat[1], lon[1])
    geod = pyproj.Geod(ellps="WGS84")
    paz, pback, metres = geod.inv(lon[0], lat[0], lon[1], lat[1])
    assert np.max(np.abs(km * 1000 - metres)) < 50e-9
    _, _, from_antipode = geod.inv(lon[0] + 180, -lat[0], lon[1], lat[1])
    away = (from_antipode > 111e3) & (metres > 3000)
    assert np.max(apart(az, paz)[away]) < 1e-10
    assert np.max(apart(baz, pback)[away]) < 1e-10


def test_walk_and_midpoint_against_the_reference():
    eqlat, eqlon, stlat, stlon = pairs()
    rng = np.random.default_rng(7)
    az = rng.uniform(-360, 360, eqlat.size)
    km = rng.uniform(0, 25000, eqlat.size)
    lat, lon = ostrem.geodesic_walk(eqlat, eqlon, az, km)
    ref = [WGS84.Direct(*p) for p in zip(eqlat, eqlon, az, km * 1000)]
    off_pole = np.abs(eqlat) < 90
    assert np.max(np.abs(lat - [g["lat2"] for g in ref])) < 1e-9
    assert np.max(apart(lon, [g["lon2"] for g in ref])[off_pole]) < 1e-9
    assert np.all((lon >= 0) & (lon <= 360))

    mlat, mlon = ostrem.geodesic_midpoint(eqlat, eqlon, stlat, stlon)
    mids = []
    for p in zip(eqlat, eqlon, stlat, stlon):
        g = WGS84.Inverse(*p)
        mids.append(WGS84.Direct(p[0], p[1], g["azi1"], g["s12"] / 2))
    # Exactly antipodal pairs have many geodesics, and each implementation
    # may pick its own.
    unique = defined(eqlat, eqlon, stlat, stlon, np.ones_like(eqlat))
    assert np.max(np.abs(mlat - [g["lat2"] for g in mids])[unique]) < 1e-9
    assert np.max(apart(mlon, [g["lon2"] for g in mids])[unique & off_pole]) < 1e-9


def test_blocks_of_strided_pairs_are_each_pairs_own_bits():
    # The ufunc gathers pairs from their strides into blocks of 64 and
    # scatters the results back: any stride, broadcasting and a last block
    # part full give each pair the bits it has alone, and a pair out of
    # range is NaN without touching its neighbours.
    rng = np.random.default_rng(38)
    grid = rng.uniform(-90, 90, (3, 2 * 131 + 1))
    lat1, lat2 = grid[0, ::2], grid[1, ::2]
    lon2 = np.ascontiguousarray(grid[2, ::2])[::-1] * 2
    lat2[70] = 95.0
    with pytest.warns(RuntimeWarning, match="invalid"):
        km, az, baz = ostrem.geodesic(lat1, 10.0, lat2, lon2)
    for k in range(lat1.size):
        alone = ostrem.geodesic(float(lat1[k]), 10.0, float(lat2[k]), float(lon2[k])) if k != 70 else (np.nan,) * 3
        assert np.array([km[k], az[k], baz[k]]).tobytes() == np.array(alone, dtype=float).tobytes(), k


def test_out_of_range_is_invalid_and_nan_passes_quietly():
    with pytest.warns(RuntimeWarning, match="invalid"):
        km, az, baz = ostrem.geodesic([91, 0], [0, 0], [0, 0], [0, 541])
    assert np.isnan([km, az, baz]).all()
    with pytest.warns(RuntimeWarning, match="invalid"):
        assert np.isnan(ostrem.geodesic_walk(0, 0, 0, -1)).all()
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        assert np.isnan(ostrem.geodesic(np.nan, 0, 0, 0)).all()
        out = (np.full(2, -1.0), np.full(2, -1.0), np.full(2, -1.0))
        ostrem.geodesic(0, 0, 0, [90, 45], out=out, where=[True, False])
        assert out[0][0] == pytest.approx(10018.754171394622) and out[0][1] == -1


def test_dask_arrays_stay_lazy():
    da = pytest.importorskip("dask.array")
    eqlat, eqlon, stlat, stlon = (da.from_array(a, chunks=700) for a in pairs())
    km, az, baz = ostrem.geodesic(eqlat, eqlon, stlat, stlon)
    assert isinstance(km, da.Array) and km.dtype == np.float64
    np.testing.assert_array_equal(km.compute(), ostrem.geodesic(*pairs())[0])


def filter_with_ellipsoid():
    """The filter ctest names, if it was built with the ellipsoid: the filter
    is asked, since the package may have been built on another GeographicLib
    than the filter or without one."""
    if "OSTREM_FILTER" not in os.environ:
        pytest.skip("run by ctest, which names the filter")
    probe = subprocess.run([os.environ["OSTREM_FILTER"], "-k"], input="", capture_output=True,
                           text=True)
    if probe.returncode == 2 and "this build has none" in probe.stderr:
        pytest.skip("the filter was built without the ellipsoid")
    assert probe.returncode == 0, probe.stderr
    return os.environ["OSTREM_FILTER"]


def test_filter_gives_the_functions_numbers():
    program = filter_with_ellipsoid()
    eqlat, eqlon, stlat, stlon = pairs()
    # repr of a Python float: the shortest digits that read back as the same
    # double, whatever NumPy's scalar repr looks like.
    text = "".join(" ".join(repr(float(v)) for v in row) + "\n"
                   for row in zip(eqlat, eqlon, stlat, stlon))
    run = subprocess.run([program, "-k", "-p", "9"], input=text,
                         capture_output=True, text=True, check=True)
    # The same numbers, written as printf writes them.
    want = "".join("%.9f %.9f %.9f\n" % r for r in zip(*ostrem.geodesic(eqlat, eqlon, stlat, stlon)))
    assert run.stdout == want
    # A path on the geodesic ends on the station.
    run = subprocess.run([program, "-k", "-n", "10", "-p", "9"],
                         input="38.3 142.4 34.95 -106.46\n", capture_output=True, text=True,
                         check=True)
    lines = run.stdout.splitlines()
    assert lines[0] == "> 38.3 142.4 34.95 -106.46" and len(lines) == 12
    last = np.array(lines[-1].split(), dtype=float)
    assert apart(last[1], -106.46) < 1e-8 and abs(last[0] - 34.95) < 1e-8
