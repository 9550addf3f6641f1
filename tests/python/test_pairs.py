"""pairs_within and geodesic_pairs_within against every pair computed by the
ufuncs and windowed: the same pairs, in order, with the same bits; their
refusals, NaN, and Dask."""
import numpy as np
import pytest

import ostrem

ellipsoid = pytest.mark.skipif(not ostrem._ufuncs.has_ellipsoid,
                               reason="this build has no ellipsoid")


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


def brute_force(function, low, high, eqlat, eqlon, stlat, stlon, **kwargs):
    i, j = (a.ravel() for a in np.meshgrid(np.arange(eqlat.size), np.arange(stlat.size),
                                           indexing="ij"))
    dist, az, baz = function(eqlat[i], eqlon[i], stlat[j], stlon[j], **kwargs)
    keep = (dist >= low) & (dist <= high)
    return i[keep], j[keep], dist[keep], az[keep], baz[keep]


def same(got, want):
    assert len(got) == len(want) == 5
    for g, w in zip(got, want):
        assert g.dtype == w.dtype
        np.testing.assert_array_equal(g.view(np.uint8), w.view(np.uint8))


@pytest.mark.parametrize("low, high", [(0, 30), (30, 90), (0, 180), (0, 0), (179, 180), (0, 0.5)])
@pytest.mark.parametrize("dtype", [np.float32, np.float64])
def test_sphere_is_brute_force(low, high, dtype):
    t = tables(7)
    same(ostrem.pairs_within(*t, high, low, dtype=dtype),
         brute_force(ostrem.ostrem, low, high, *t, dtype=dtype))


@ellipsoid
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
