"""Every earthquake against every station within a window, through the
stations' spatial index: pairs_within and geodesic_pairs_within."""

from . import _ufuncs

_LATITUDE = (-90.0, 90.0)
_LONGITUDE = (-180.0, 540.0)
_SPHERE_FLOAT, _SPHERE_DOUBLE, _ELLIPSOID = 0, 1, 2


def _coordinates(name, values, limits, single, function):
    """A 1-D float64 array, its range checked as the computation sees it
    (rounded to float where it is float); NaN passes and takes no part."""
    import numpy as np

    a = np.ascontiguousarray(values, dtype=np.float64)
    if a.ndim != 1:
        raise ValueError(f"{function}: {name} must be 1-D, not of shape {a.shape}")
    seen = a.astype(np.float32).astype(np.float64) if single else a
    with np.errstate(invalid="ignore"):
        bad = ~(np.isnan(seen) | ((seen >= limits[0]) & (seen <= limits[1])))
    if bad.any():
        k = int(np.flatnonzero(bad)[0])
        raise ValueError(f"{function}: {name}[{k}] is out of range "
                         f"({limits[0]:g} to {limits[1]:g}): {a[k]!r}")
    return a


def _window(function, low, high):
    if not (low <= high):
        raise ValueError(f"{function}: the window needs min <= max, not {low!r} and {high!r}")
    return float(low), float(high)


def _pairs(function, kind, eqlat, eqlon, stlat, stlon, low, high):
    import numpy as np

    single = kind == _SPHERE_FLOAT
    arrays = [_coordinates(name, v, limits, single, function)
              for name, v, limits in (("eqlat", eqlat, _LATITUDE), ("eqlon", eqlon, _LONGITUDE),
                                      ("stlat", stlat, _LATITUDE), ("stlon", stlon, _LONGITUDE))]
    for a, b, names in ((arrays[0], arrays[1], "eqlat and eqlon"),
                        (arrays[2], arrays[3], "stlat and stlon")):
        if a.shape != b.shape:
            raise ValueError(f"{function}: {names} differ in length ({a.size} and {b.size})")
    i, j, dist, az, baz = _ufuncs._pairs(*arrays, low, high, kind)
    real = np.float32 if single else np.float64
    return (np.frombuffer(i, dtype=np.intp), np.frombuffer(j, dtype=np.intp),
            np.frombuffer(dist, dtype=real), np.frombuffer(az, dtype=real),
            np.frombuffer(baz, dtype=real))


def _is_dask(*values):
    return any(type(v).__module__.startswith("dask.") for v in values)


def _dask_pairs(function, kind, eqlat, eqlon, stlat, stlon, low, high):
    """One task per block of earthquakes, each against every station; five
    lazy arrays of unknown length, in the order of the blocks."""
    import dask
    import dask.array as da
    import numpy as np

    stlat, stlon = (np.asarray(v.compute() if _is_dask(v) else v) for v in (stlat, stlon))
    eqlat, eqlon = (v if _is_dask(v) else da.from_array(np.asarray(v)) for v in (eqlat, eqlon))
    if eqlat.ndim != 1 or eqlat.shape != eqlon.shape:
        raise ValueError(f"{function}: eqlat and eqlon must be 1-D and alike")
    eqlon = eqlon.rechunk(eqlat.chunks)
    real = np.float32 if kind == _SPHERE_FLOAT else np.float64
    dtypes = (np.intp, np.intp, real, real, real)

    def block(lat, lon, start):
        i, *rest = _pairs(function, kind, lat, lon, stlat, stlon, low, high)
        return (i + start, *rest)

    parts = [[] for _ in dtypes]
    start = 0
    for lat, lon, n in zip(eqlat.to_delayed().ravel(), eqlon.to_delayed().ravel(),
                           eqlat.chunks[0]):
        found = dask.delayed(block, nout=5)(lat, lon, start)
        for k, dtype in enumerate(dtypes):
            parts[k].append(da.from_delayed(found[k], shape=(np.nan,), dtype=dtype))
        start += n
    return tuple(da.concatenate(p) if p else da.empty((0,), dtype=d)
                 for p, d in zip(parts, dtypes))


def _either(function, kind, eqlat, eqlon, stlat, stlon, low, high):
    if _is_dask(eqlat, eqlon, stlat, stlon):
        return _dask_pairs(function, kind, eqlat, eqlon, stlat, stlon, low, high)
    return _pairs(function, kind, eqlat, eqlon, stlat, stlon, low, high)


def pairs_within(eqlat, eqlon, stlat, stlon, max, min=0.0, dtype=None):
    """Every earthquake-station pair whose distance on the sphere lies in [min, max].

    The stations are held in a spatial index, and each earthquake's
    candidates are computed by the function `ostrem` calls, so the pairs
    and their values are exactly those of computing every pair with
    `ostrem` and keeping the window, at a cost that grows with the pairs
    found rather than with earthquakes x stations.

    Parameters
    ----------
    eqlat, eqlon : array_like, 1-D
        Earthquake latitudes and longitudes (degrees), latitude in
        [-90, 90], longitude in [-180, 540].  A Dask array gives lazy
        results.
    stlat, stlon : array_like, 1-D
        Station latitudes and longitudes (degrees), likewise.
    max, min : float
        The window (degrees of arc), both ends included, on the distance as
        computed.
    dtype : {np.float32, np.float64}, optional
        float32 (the default) gives the programs' bits; float64 computes in
        double precision throughout.

    Returns
    -------
    i, j : ndarray of intp
        The pairs: earthquake ``i[k]`` with station ``j[k]``, sorted by
        `i`, then `j`.
    dist, az, baz : ndarray, of `dtype`
        Distance (degrees), azimuth at the earthquake and back-azimuth at
        the station, the bits ``ostrem(eqlat[i], eqlon[i], stlat[j],
        stlon[j], dtype=dtype)`` gives.

    Raises
    ------
    ValueError
        A coordinate out of range (naming the argument and the index), an
        argument not 1-D, or ``min > max``.

    Notes
    -----
    A NaN coordinate takes no part.  The GIL is released while the pairs
    are found.  With Dask arrays for the earthquakes, each block of them is
    one task against all the stations, and the five results are Dask
    arrays of unknown length.  The filter's ``ostrem -S STATIONS -r MIN,MAX``
    gives the same pairs from files.

    Examples
    --------
    >>> import numpy as np, ostrem
    >>> i, j, dist, az, baz = ostrem.pairs_within([0.0, 50.0], [0.0, 10.0],
    ...                                           [1.0, 0.0, 51.0], [1.0, 30.0, 10.0], 5.0)
    >>> i.tolist(), j.tolist(), ["%.2f" % d for d in dist]
    ([0, 1], [0, 2], ['1.41', '1.00'])
    """
    import numpy as np

    dtype = np.dtype(np.float32 if dtype is None else dtype)
    if dtype not in (np.float32, np.float64):
        raise TypeError(f"pairs_within: dtype must be float32 or float64, not {dtype}")
    low, high = _window("pairs_within", min, max)
    kind = _SPHERE_FLOAT if dtype == np.float32 else _SPHERE_DOUBLE
    return _either("pairs_within", kind, eqlat, eqlon, stlat, stlon, low, high)


def geodesic_pairs_within(eqlat, eqlon, stlat, stlon, max_km, min_km=0.0):
    """Every earthquake-station pair whose WGS84 geodesic lies in [min_km, max_km].

    As `pairs_within`, on the ellipsoid: the stations' index holds their
    earth-centred positions (the geodesic is never shorter than the
    straight line between them), and each candidate's geodesic is the one
    `geodesic` computes.

    Parameters
    ----------
    eqlat, eqlon, stlat, stlon : array_like, 1-D
        As for `pairs_within`.
    max_km, min_km : float
        The window (kilometres), both ends included.

    Returns
    -------
    i, j : ndarray of intp
        The pairs, sorted by `i`, then `j`.
    km, az, baz : ndarray of float64
        The bits ``geodesic(eqlat[i], eqlon[i], stlat[j], stlon[j])`` gives.

    Raises
    ------
    ValueError
        As for `pairs_within`.
    RuntimeError
        In a build without GeographicLib.

    Notes
    -----
    ``ostrem -k -S STATIONS -r MIN,MAX`` gives the same pairs from files.
    Dask arrays for the earthquakes give lazy results, as for
    `pairs_within`.

    Examples
    --------
    >>> import ostrem
    >>> i, j, km, az, baz = ostrem.geodesic_pairs_within([38.3], [142.4],
    ...                                                  [38.0, 34.95], [141.0, -106.46], 200.0)
    >>> i.tolist(), j.tolist(), "%.3f" % km[0]
    ([0], [0], '127.151')
    """
    if not _ufuncs.has_ellipsoid:
        raise RuntimeError("ostrem.geodesic_pairs_within: this build of ostrem has no ellipsoid "
                           "(it was built without GeographicLib; Debian: libgeographiclib-dev)")
    low, high = _window("geodesic_pairs_within", min_km, max_km)
    return _either("geodesic_pairs_within", _ELLIPSOID, eqlat, eqlon, stlat, stlon, low, high)


# Shown, and their examples found, as the package's own.
pairs_within.__module__ = geodesic_pairs_within.__module__ = "ostrem"
