"""pairs_within and geodesic_pairs_within against every pair computed by the
ufuncs and selected in NumPy (windows, sectors, epochs, the nearest N, the
hypocentral distance): the same pairs, in order, with the same bits; their
refusals, NaN, and Dask."""
import numpy as np
import pytest

import ostrem


def tables(seed, n=400, m=300):
    """Clustered and spread points with the poles, the date line, longitudes
    above 180, antipodes, duplicate stations and stations on earthquakes."""
    rng = np.random.default_rng(seed)
    eqlat = np.concatenate([rng.uniform(-90, 90, n), [90, -90, 0, 0, 10, 45]])
    eqlon = np.concatenate([rng.uniform(-180, 540, n), [0, 77, 179.99, -180, 540, 200]])
    stlat = np.concatenate([rng.uniform(-90, 90, m), [90, 89.999, -90, 0, 0, -10, 45, 45],
                            eqlat[:20], eqlat[:5]])
    stlon = np.concatenate([rng.uniform(-180, 540, m), [10, 0, 0, -179.99, 180, 360, 20, 380],
                            eqlon[:20], eqlon[:5]])
    return eqlat, eqlon, stlat, stlon


def in_sector(x, sector):
    if sector is None:
        return np.ones(x.shape, dtype=bool)
    low, high = sector
    return ((x >= low) & (x <= high)) if low <= high else ((x >= low) | (x <= high))


def brute_force(function, low, high, eqlat, eqlon, stlat, stlon, azimuth=None,
                back_azimuth=None, nearest=None, running=None, **kwargs):
    """Every pair computed, then selected; running[i, j]: station j was
    running at earthquake i's time."""
    i, j = (a.ravel() for a in np.meshgrid(np.arange(eqlat.size), np.arange(stlat.size),
                                           indexing="ij"))
    dist, az, baz = function(eqlat[i], eqlon[i], stlat[j], stlon[j], **kwargs)
    keep = ((dist >= low) & (dist <= high) & in_sector(az, azimuth)
            & in_sector(baz, back_azimuth))
    if running is not None:
        keep &= running[i, j]
    found = [i[keep], j[keep], dist[keep], az[keep], baz[keep]]
    if nearest is not None:  # by event, then distance, then station; the first of each event
        order = np.lexsort((found[1], found[2], found[0]))
        found = [f[order] for f in found]
        starts = np.searchsorted(found[0], found[0], side="left")
        first = np.arange(found[0].size) - starts < nearest
        found = [f[first] for f in found]
    return tuple(found)


def same(got, want):
    assert len(got) == len(want)
    for g, w in zip(got, want):
        assert g.dtype == w.dtype
        np.testing.assert_array_equal(g.view(np.uint8), w.view(np.uint8))


@pytest.mark.parametrize("low, high", [(0, 30), (30, 90), (0, 180), (0, 0), (179, 180), (0, 0.5)])
@pytest.mark.parametrize("dtype", [np.float32, np.float64])
def test_sphere_is_brute_force(low, high, dtype):
    t = tables(7)
    same(ostrem.pairs_within(*t, high, low, dtype=dtype),
         brute_force(ostrem.ostrem, low, high, *t, dtype=dtype))


@pytest.mark.parametrize("low, high", [(0, 100), (0, 0), (5000, 20040), (0, 2000)])
def test_ellipsoid_is_brute_force(low, high):
    t = tables(8)
    same(ostrem.geodesic_pairs_within(*t, high, low), brute_force(ostrem.geodesic, low, high, *t))


def test_window_ends_are_kept():
    eqlat, eqlon, stlat, stlon = tables(9)
    dist = ostrem.ostrem(eqlat[3], eqlon[3], stlat, stlon)[0]
    order = np.argsort(dist, kind="stable")
    low, high = float(dist[order[10]]), float(dist[order[40]])
    got = ostrem.pairs_within(eqlat, eqlon, stlat, stlon, high, low)
    same(got, brute_force(ostrem.ostrem, low, high, eqlat, eqlon, stlat, stlon))
    assert {int(order[10]), int(order[40])} <= set(got[1][got[0] == 3].tolist())


def test_nan_takes_no_part():
    i, j, *_ = ostrem.pairs_within([np.nan, 0.0, 0.0], [0.0, 0.0, 0.0],
                                   [0.0, 0.0], [0.0, np.nan], 1.0)
    assert i.tolist() == [1, 2] and j.tolist() == [0, 0]


@pytest.mark.parametrize("args, message", [
    (([0, 91], [0, 0], [0], [0], 5), r"eqlat\[1\] is out of range"),
    (([0], [0], [0, 0], [0, 541], 5), r"stlon\[1\] is out of range"),
    # Rounded to float, as the computation sees it, 90.000001 is 90.
    (([0], [-180.0001], [90.000001], [0], 5), r"eqlon\[0\]"),
    (([[0]], [[0]], [0], [0], 5), "1-D"),
    (([0, 1], [0], [0], [0], 5), "differ in length"),
    (([0], [0], [0], [0], 1, 2), "min <= max"),
])
def test_refusals(args, message):
    with pytest.raises(ValueError, match=message):
        ostrem.pairs_within(*args)


def test_dask_blocks_give_the_numpy_pairs():
    da = pytest.importorskip("dask.array")
    t = tables(10)
    got = ostrem.pairs_within(da.from_array(t[0], chunks=97), da.from_array(t[1], chunks=97),
                              t[2], t[3], 40.0)
    assert all(isinstance(g, da.Array) for g in got)
    same([g.compute() for g in got], ostrem.pairs_within(*t, 40.0))


@pytest.mark.parametrize("selection", [
    dict(azimuth=(350, 10)), dict(azimuth=(90, 270), back_azimuth=(200, 100)),
    dict(back_azimuth=(0, 0)), dict(nearest=1), dict(nearest=7), dict(nearest=100000),
    dict(nearest=3, azimuth=(300, 60)),
])
@pytest.mark.parametrize("dtype", [np.float32, np.float64])
def test_sectors_and_nearest_on_the_sphere(selection, dtype):
    t = tables(11, n=200, m=150)
    low, high = (10.0, 100.0) if selection.get("nearest") == 7 else (0.0, 180.0)
    same(ostrem.pairs_within(*t, high, low, dtype=dtype, **selection),
         brute_force(ostrem.ostrem, low, high, *t, dtype=dtype, **selection))


@pytest.mark.parametrize("selection, low, high", [
    (dict(nearest=10), 0, np.inf), (dict(nearest=4, back_azimuth=(45, 135)), 0, np.inf),
    (dict(nearest=5), 1000, 5000), (dict(azimuth=(270, 90)), 0, 3000),
])
def test_sectors_and_nearest_on_the_ellipsoid(selection, low, high):
    t = tables(12, n=200, m=150)
    same(ostrem.geodesic_pairs_within(*t, high, low, **selection),
         brute_force(ostrem.geodesic, low, high, *t, **selection))


def epochs(seed, earthquakes, stations):
    """Earthquake times and station epochs at mixed units, with NaT ends,
    some earthquakes at a station's first instant; and who was running."""
    rng = np.random.default_rng(seed)
    base = np.datetime64("1990-01-01T00:00:00", "s")
    start = base + rng.integers(0, 10 ** 9, stations).astype("timedelta64[s]")
    end = (start + rng.integers(0, 4 * 10 ** 8, stations).astype("timedelta64[s]")).astype(
        "datetime64[ms]")
    end[::5] = np.datetime64("NaT")
    eqtime = (base + rng.integers(0, 13 * 10 ** 8, earthquakes).astype("timedelta64[s]")).astype(
        "datetime64[ns]") + np.timedelta64(250, "ns")
    eqtime[:10] = start[:10]  # exactly at the start: both ends are included
    eqtime[10] = np.datetime64("NaT")
    with np.errstate(invalid="ignore"):
        running = ((start[None, :] <= eqtime[:, None])
                   & (np.isnat(end)[None, :] | (eqtime[:, None] <= end[None, :])))
    return (eqtime, start, end), running


@pytest.mark.parametrize("selection", [dict(), dict(nearest=2), dict(azimuth=(0, 180))])
def test_stations_running_at_the_earthquakes_time(selection):
    t = tables(13, n=150, m=120)
    times, running = epochs(14, t[0].size, t[2].size)
    assert 0 < running.sum() < running.size
    got = ostrem.pairs_within(*t, 60.0, times=times, **selection)
    same(got, brute_force(ostrem.ostrem, 0.0, 60.0, *t, running=running, **selection))
    assert 10 not in got[0].tolist()  # NaT: no time to compare


def test_hypocentral_distance_of_each_pair():
    t = tables(15, n=120, m=100)
    rng = np.random.default_rng(16)
    depth, elevation = rng.uniform(-10, 700, t[0].size), rng.uniform(-500, 5000, t[2].size)
    for heights in (dict(depth_km=depth, elevation_m=elevation), dict(depth_km=depth)):
        i, j, km, az, baz, hypo = ostrem.geodesic_pairs_within(*t, 2000.0, nearest=8, **heights)
        same((i, j, km, az, baz), brute_force(ostrem.geodesic, 0, 2000.0, *t, nearest=8))
        want = ostrem.hypocentral(t[0][i], t[1][i], depth[i], t[2][j], t[3][j],
                                  elevation[j] if "elevation_m" in heights else 0.0)
        np.testing.assert_array_equal(hypo.view(np.uint64), want.view(np.uint64))


@pytest.mark.parametrize("kwargs, message", [
    (dict(azimuth=(0, 361)), r"azimuth must lie in \[0, 360\]"),
    (dict(back_azimuth=(10,)), "back_azimuth must be"),
    (dict(nearest=0), "nearest must be a whole number"),
    (dict(nearest=2.5), "nearest must be a whole number"),
    (dict(times=([0], [0])), "times must be"),
    (dict(times=(np.array(["2020-01-01"], "datetime64[s]"), np.array(["2020"], "datetime64[Y]"),
                 np.array([1.5]))), "stend must be datetime64"),
])
def test_refusals_of_the_selections(kwargs, message):
    with pytest.raises(ValueError, match=message):
        ostrem.pairs_within([0.0], [0.0], [1.0], [1.0], **kwargs)


def test_refusals_of_the_heights():
    with pytest.raises(ValueError, match=r"depth_km\[0\] is out of range"):
        ostrem.geodesic_pairs_within([0.0], [0.0], [1.0], [1.0], depth_km=[1001.0])
    with pytest.raises(ValueError, match="elevation_m needs depth_km"):
        ostrem.geodesic_pairs_within([0.0], [0.0], [1.0], [1.0], elevation_m=[0.0])


def test_dask_blocks_carry_their_times_and_depths():
    da = pytest.importorskip("dask.array")
    t = tables(17)
    times, _ = epochs(18, t[0].size, t[2].size)
    lazy = (da.from_array(t[0], chunks=61), da.from_array(t[1], chunks=61))
    lazy_times = (da.from_array(times[0], chunks=61),) + times[1:]
    got = ostrem.pairs_within(*lazy, t[2], t[3], 50.0, nearest=3, times=lazy_times)
    same([g.compute() for g in got], ostrem.pairs_within(*t, 50.0, nearest=3, times=times))
    depth = np.linspace(0, 600, t[0].size)
    got = ostrem.geodesic_pairs_within(*lazy, t[2], t[3], 3000.0,
                                       depth_km=da.from_array(depth, chunks=61))
    same([g.compute() for g in got],
         ostrem.geodesic_pairs_within(*t, 3000.0, depth_km=depth))


def surroundings_by_hand(found, earthquakes, real):
    """n, dmin, gap, gap2 from every pair: the secondary gap by taking each
    direction away in turn."""
    i, _, dist, az, _ = found[:5]
    full = real(360)

    def largest(a):
        if a.size < 2:
            return full
        return max(real((a[0] + full) - a[-1]), *(a[1:] - a[:-1]))

    n = np.zeros(earthquakes, dtype=np.intp)
    dmin, gap, gap2 = (np.full(earthquakes, np.nan, dtype=real) for _ in range(3))
    for e in range(earthquakes):
        mine = i == e
        n[e] = mine.sum()
        directions = np.unique(az[mine])
        gap[e] = largest(directions)
        gap2[e] = full if directions.size <= 2 else max(
            largest(np.delete(directions, k)) for k in range(directions.size))
        if n[e]:
            dmin[e] = dist[mine].min()
    return n, dmin, gap, gap2


@pytest.mark.parametrize("selection, low, high", [
    (dict(), 0, 180), (dict(), 0, 8), (dict(nearest=3), 0, 180),
    (dict(nearest=4, azimuth=(300, 60)), 0, 90), (dict(back_azimuth=(90, 270)), 10, 60),
])
@pytest.mark.parametrize("dtype", [np.float32, np.float64])
def test_network_geometry_is_that_of_every_pair(selection, low, high, dtype):
    t = tables(19, n=150, m=120)
    got = ostrem.network_geometry(*t, high, low, dtype=dtype, **selection)
    found = brute_force(ostrem.ostrem, low, high, *t, dtype=dtype, **selection)
    want = surroundings_by_hand(found, t[0].size, dtype)
    assert (got[0] <= 2).sum() > (10 if high == 8 else -1)
    same(got, want)


@pytest.mark.parametrize("selection, low, high", [(dict(), 0, 1500), (dict(nearest=5), 0, np.inf)])
def test_geodesic_network_geometry_is_that_of_every_pair(selection, low, high):
    t = tables(20, n=150, m=120)
    got = ostrem.geodesic_network_geometry(*t, high, low, **selection)
    found = brute_force(ostrem.geodesic, low, high, *t, **selection)
    same(got, surroundings_by_hand(found, t[0].size, np.float64))


def test_network_geometry_of_earthquakes_that_take_no_part_and_on_dask():
    n, dmin, gap, gap2 = ostrem.network_geometry([np.nan, 0.0], [0.0, 0.0], [0.0], [1.0], 5.0)
    assert n.tolist() == [0, 1] and np.isnan([dmin[0], gap[0], gap2[0]]).all()
    assert (gap[1], gap2[1]) == (360, 360)
    da = pytest.importorskip("dask.array")
    t = tables(21)
    got = ostrem.network_geometry(da.from_array(t[0], chunks=97), da.from_array(t[1], chunks=97),
                                  t[2], t[3], 30.0, nearest=6)
    assert all(isinstance(g, da.Array) and g.shape == t[0].shape for g in got)
    same([g.compute() for g in got], ostrem.network_geometry(*t, 30.0, nearest=6))
