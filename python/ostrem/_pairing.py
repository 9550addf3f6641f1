"""Every earthquake against every station in a selection, through the
pairing engine and the stations' spatial index: pairs_within and
geodesic_pairs_within, and how the stations surround each earthquake,
network_geometry and geodesic_network_geometry."""

import math

from . import _ufuncs

_BOUNDS = _ufuncs.BOUNDS
_ARITHMETICS = _ufuncs.ARITHMETICS
# The seconds an instant is given as where it is NaT: the least int64.
_NOT_A_TIME = -(2 ** 63)


def _checked(function, name, values, limits, single=False):
    """A 1-D float64 array, its range checked as the computation sees it
    (rounded to float where it is float); NaN passes."""
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


def _sector(function, name, sector):
    """(from, to) in [0, 360], or None."""
    if sector is None:
        return None
    try:
        low, high = (float(x) for x in sector)
    except (TypeError, ValueError):
        raise ValueError(f"{function}: {name} must be (min, max), two azimuths, not {sector!r}") \
            from None
    if not (0.0 <= low <= 360.0 and 0.0 <= high <= 360.0):
        raise ValueError(f"{function}: {name} must lie in [0, 360], not {sector!r}")
    return low, high


def _nearest(function, nearest):
    import numbers

    if nearest is None:
        return 0
    if isinstance(nearest, bool) or not isinstance(nearest, numbers.Integral) or nearest < 1:
        raise ValueError(f"{function}: nearest must be a whole number from 1, not {nearest!r}")
    return int(nearest)


def _instants(function, name, values, size):
    """datetime64 values as two int64 arrays, seconds and nanoseconds (NaT:
    the least int64 seconds), exactly at any unit down to the nanosecond."""
    import numpy as np

    a = np.asarray(values)
    if a.dtype.kind != "M":
        # Text and datetime objects only: NumPy would take numbers as
        # counts of some unit, which no caller means.
        try:
            if a.dtype.kind not in "USO":
                raise TypeError
            a = a.astype("datetime64")
        except (TypeError, ValueError):
            raise ValueError(f"{function}: {name} must be datetime64 values, not {a.dtype}") \
                from None
    if a.shape != (size,):
        raise ValueError(f"{function}: {name} must be 1-D with {size} elements, not of shape "
                         f"{a.shape}")
    nat = np.isnat(a)
    unit = np.datetime_data(a.dtype)[0]
    per_second = {"ms": 10 ** 3, "us": 10 ** 6, "ns": 10 ** 9}.get(unit)
    if per_second is None:  # seconds or coarser exactly; finer than nanoseconds, to them
        a = a.astype("datetime64[ns]" if unit in ("ps", "fs", "as") else "datetime64[s]")
        per_second = 10 ** 9 if unit in ("ps", "fs", "as") else 1
    ticks = a.view(np.int64)
    seconds, rest = np.divmod(ticks, per_second)
    nanoseconds = rest * (10 ** 9 // per_second)
    seconds[nat] = _NOT_A_TIME
    nanoseconds[nat] = 0
    return np.ascontiguousarray(seconds), np.ascontiguousarray(nanoseconds)


def _times(function, times, earthquakes, stations):
    if times is None:
        return None
    try:
        eqtime, start, end = times
    except (TypeError, ValueError):
        raise ValueError(f"{function}: times must be (eqtime, ststart, stend)") from None
    parts = []
    for name, values, size in (("eqtime", eqtime, earthquakes), ("ststart", start, stations),
                               ("stend", end, stations)):
        parts.extend(_instants(function, name, values, size))
    return tuple(parts)


def _arguments(function, kind, eqlat, eqlon, stlat, stlon, low, high, azimuth=None,
               back_azimuth=None, nearest=0, times=None, depth_km=None, elevation_m=None):
    """The extension's arguments, each checked."""
    import numpy as np

    single = kind == _ARITHMETICS["float_sphere"]
    arrays = [_checked(function, name, v, _BOUNDS[bounds], single)
              for name, v, bounds in (("eqlat", eqlat, "latitude"), ("eqlon", eqlon, "longitude"),
                                      ("stlat", stlat, "latitude"), ("stlon", stlon, "longitude"))]
    for a, b, names in ((arrays[0], arrays[1], "eqlat and eqlon"),
                        (arrays[2], arrays[3], "stlat and stlon")):
        if a.shape != b.shape:
            raise ValueError(f"{function}: {names} differ in length ({a.size} and {b.size})")
    heights = []
    for name, values, bounds, size in (("depth_km", depth_km, "depth", arrays[0].size),
                                       ("elevation_m", elevation_m, "elevation", arrays[2].size)):
        if values is not None:
            values = _checked(function, name, np.broadcast_to(values, (size,)), _BOUNDS[bounds])
        heights.append(values)
    instants = _times(function, times, arrays[0].size, arrays[2].size)
    return (*arrays, low, high, kind, azimuth, back_azimuth, nearest, instants, *heights)


def _real(kind):
    import numpy as np

    return np.float32 if kind == _ARITHMETICS["float_sphere"] else np.float64


def _pairs(function, kind, *args, arrivals=None, **selection):
    import numpy as np

    i, j, dist, az, baz, hypo = _ufuncs._pairs(*_arguments(function, kind, *args, **selection))
    real = _real(kind)
    found = (np.frombuffer(i, dtype=np.intp), np.frombuffer(j, dtype=np.intp),
             np.frombuffer(dist, dtype=real), np.frombuffer(az, dtype=real),
             np.frombuffer(baz, dtype=real))
    if hypo is not None:
        found += (np.frombuffer(hypo, dtype=np.float64),)
    if arrivals is not None:
        found += _arrivals(args[:4], found[0], found[1], *arrivals)
    return found


def _arrivals(points, i, j, phases, model, depth_km):
    """Each item of phases (split at commas; '+' joins phases whose earliest
    arrival the item gives) at each pair: the first arrival's time, from
    the module's double-precision distance and the earthquake's depth."""
    import numpy as np

    from ._travel_times import travel_times

    eqlat, eqlon, stlat, stlon = (np.asarray(p, dtype=np.float64) for p in points)
    distance = _ufuncs.ostrem(eqlat[i], eqlon[i], stlat[j], stlon[j], dtype=np.float64)[0]
    depth = np.broadcast_to(np.asarray(depth_km, dtype=np.float64), eqlat.shape)[i]
    return tuple(travel_times(distance, depth, item, model)[0] for item in phases.split(","))


def _arrival_items(function, phases, depth_km):
    """How many arrays phases= adds, checked: it needs the depths."""
    if phases is None:
        return 0
    if depth_km is None:
        raise ValueError(f"{function}: phases needs depth_km (the arrivals start at the earthquake's depth)")
    return len(str(phases).split(","))


def _surroundings(function, kind, *args, **selection):
    import numpy as np

    n, nearest, gap, gap2 = _ufuncs._surroundings(*_arguments(function, kind, *args, **selection))
    real = _real(kind)
    return (np.frombuffer(n, dtype=np.intp), np.frombuffer(nearest, dtype=real),
            np.frombuffer(gap, dtype=real), np.frombuffer(gap2, dtype=real))


def _is_dask(*values):
    return any(type(v).__module__.startswith("dask.") for v in values)


def _dask_pairs(function, kind, eqlat, eqlon, stlat, stlon, low, high, depth_km=None,
                per_earthquake=False, arrivals=None, **rest):
    """One task per block of earthquakes, each against every station; lazy
    arrays, of unknown length for the pairs (in the order of the blocks),
    of the block's for per_earthquake's values.  The earthquakes' times and
    depths go with their blocks."""
    import dask
    import dask.array as da
    import numpy as np

    def whole(v):
        return None if v is None else np.asarray(v.compute() if _is_dask(v) else v)

    stlat, stlon = whole(stlat), whole(stlon)
    times = rest.pop("times")
    if times is not None:
        times = (times[0], whole(times[1]), whole(times[2]))
    rest["elevation_m"] = whole(rest["elevation_m"])
    eqlat = eqlat if _is_dask(eqlat) else da.from_array(np.asarray(eqlat))
    if eqlat.ndim != 1:
        raise ValueError(f"{function}: eqlat must be 1-D")

    def along(v):  # a value per earthquake, in eqlat's blocks
        if v is None:
            return [None] * len(eqlat.chunks[0])
        v = v if _is_dask(v) else da.from_array(np.broadcast_to(np.asarray(v), eqlat.shape))
        if v.shape != eqlat.shape:
            raise ValueError(f"{function}: a value per earthquake must have eqlat's shape "
                             f"{eqlat.shape}, not {v.shape}")
        return list(v.rechunk(eqlat.chunks).to_delayed().ravel())

    real = _real(kind)
    if per_earthquake:
        dtypes = (np.intp, real, real, real)
    else:
        dtypes = (np.intp, np.intp, real, real, real) + ((np.float64,) if depth_km is not None else ())
        dtypes += (np.float64,) * (0 if arrivals is None else len(arrivals[0].split(",")))
    # The arrivals' depths, a block's with its earthquakes.
    travel_depths = arrivals[2] if arrivals is not None else None

    def block(lat, lon, when, depth, travel_depth, start):
        t = None if times is None else (when, times[1], times[2])
        if per_earthquake:
            return _surroundings(function, kind, lat, lon, stlat, stlon, low, high, times=t, **rest)
        own = None if arrivals is None else (arrivals[0], arrivals[1], travel_depth)
        i, *others = _pairs(function, kind, lat, lon, stlat, stlon, low, high, times=t,
                            depth_km=depth, arrivals=own, **rest)
        return (i + start, *others)

    parts = [[] for _ in dtypes]
    start = 0
    blocks = zip(along(eqlat), along(eqlon), along(None if times is None else times[0]),
                 along(depth_km), along(travel_depths), eqlat.chunks[0])
    for lat, lon, when, depth, travel_depth, n in blocks:
        found = dask.delayed(block, nout=len(dtypes))(lat, lon, when, depth, travel_depth, start)
        for k, dtype in enumerate(dtypes):
            shape = (n,) if per_earthquake else (np.nan,)
            parts[k].append(da.from_delayed(found[k], shape=shape, dtype=dtype))
        start += n
    return tuple(da.concatenate(p) if p else da.empty((0,), dtype=d)
                 for p, d in zip(parts, dtypes))


def _either(function, kind, eqlat, eqlon, stlat, stlon, low, high, azimuth, back_azimuth,
            nearest, times, depth_km=None, elevation_m=None, per_earthquake=False, arrivals=None):
    selection = dict(azimuth=_sector(function, "azimuth", azimuth),
                     back_azimuth=_sector(function, "back_azimuth", back_azimuth),
                     nearest=_nearest(function, nearest), times=times, depth_km=depth_km,
                     elevation_m=elevation_m)
    if arrivals is not None:
        selection["arrivals"] = arrivals
    quakes = (eqlat, eqlon, depth_km, None if times is None else times[0],
              None if arrivals is None else arrivals[2])
    if _is_dask(*quakes, stlat, stlon, elevation_m, *(times or ())):
        return _dask_pairs(function, kind, eqlat, eqlon, stlat, stlon, low, high,
                           per_earthquake=per_earthquake, **selection)
    if per_earthquake:
        return _surroundings(function, kind, eqlat, eqlon, stlat, stlon, low, high, **selection)
    return _pairs(function, kind, eqlat, eqlon, stlat, stlon, low, high, **selection)


def pairs_within(eqlat, eqlon, stlat, stlon, max=180.0, min=0.0, dtype=None, *, azimuth=None,
                 back_azimuth=None, nearest=None, times=None, depth_km=None, phases=None,
                 model="iasp91"):
    """Every earthquake-station pair in a selection, on the sphere.

    The pairs whose distance lies in [min, max], and whose azimuth and
    back-azimuth lie in the sectors given, of stations running at the
    earthquake's time where times are given; or of those, each
    earthquake's `nearest` stations.  The stations are held in a spatial
    index, and each earthquake's candidates are computed by the function
    `ostrem` calls, so the pairs and their values are exactly those of
    computing every pair with `ostrem` and selecting, at a cost that grows
    with the pairs near each earthquake rather than with earthquakes x
    stations.

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
        computed; by default every distance.
    dtype : {np.float32, np.float64}, optional
        float32 (the default) gives the programs' bits; float64 computes in
        double precision throughout.
    azimuth, back_azimuth : (float, float), optional
        Sectors (degrees, in [0, 360]) from the first clockwise to the
        second, both ends included, on the azimuth at the earthquake and
        the back-azimuth at the station as computed; ``(350, 10)`` wraps
        through north.
    nearest : int, optional
        Each earthquake's `nearest` stations among those selected, nearest
        first, a tie going to the station that comes first; fewer where
        fewer are selected.
    times : (eqtime, ststart, stend), optional
        datetime64 arrays (or what NumPy makes them from: ISO 8601 text) of
        the earthquakes' times and the stations' epochs: a station takes
        part when ``ststart <= eqtime <= stend``, NaT at either end being
        open.  An earthquake whose time is NaT takes no part.
    depth_km, phases, model : optional
        With `phases` ("P,S", "P+Pdiff+PKIKP,S"), the earthquakes' depths
        (km, one each) and the earth model: a result for each item of
        `phases`, as `travel_times` gives it.

    Returns
    -------
    i, j : ndarray of intp
        The pairs: earthquake ``i[k]`` with station ``j[k]``, sorted by
        `i`, then `j` (with `nearest`, each earthquake's nearest first).
    dist, az, baz : ndarray, of `dtype`
        Distance (degrees), azimuth at the earthquake and back-azimuth at
        the station, the bits ``ostrem(eqlat[i], eqlon[i], stlat[j],
        stlon[j], dtype=dtype)`` gives.
    time, ... : ndarray of float64
        With `phases`, one for each item: the first arrival of its phases
        (s after the origin, NaN where none arrives), the times of
        ``travel_times`` at the pair's double-precision distance and the
        earthquake's depth, which ``ostrem -S ... -P`` writes too.

    Raises
    ------
    ValueError
        A coordinate out of range (naming the argument and the index), an
        argument not 1-D, ``min > max``, a sector out of [0, 360], a
        `nearest` below 1, or times that are not datetime64.

    Notes
    -----
    A NaN coordinate takes no part.  The GIL is released while the pairs
    are found.  With Dask arrays for the earthquakes, each block of them is
    one task against all the stations, and the results are Dask arrays of
    unknown length.  The filter's ``ostrem -S STATIONS -r MIN,MAX -A ...
    -B ... -N K -t ... -T ...`` gives the same pairs from files.

    Examples
    --------
    >>> import numpy as np, ostrem
    >>> i, j, dist, az, baz = ostrem.pairs_within([0.0, 50.0], [0.0, 10.0],
    ...                                           [1.0, 0.0, 51.0], [1.0, 30.0, 10.0], 5.0)
    >>> i.tolist(), j.tolist(), ["%.2f" % d for d in dist]
    ([0, 1], [0, 2], ['1.41', '1.00'])

    The nearest station of each earthquake, and the stations to its east:

    >>> i, j, *_ = ostrem.pairs_within([0.0], [0.0], [1.0, 0.0, 0.0], [1.0, 30.0, -2.0],
    ...                                nearest=1)
    >>> j.tolist()
    [0]
    >>> i, j, *_ = ostrem.pairs_within([0.0], [0.0], [1.0, 0.0, 0.0], [1.0, 30.0, -2.0],
    ...                                azimuth=(60, 120))
    >>> j.tolist()
    [1]

    Stations running at the earthquake's time:

    >>> eqtime = np.array(["2024-03-01T12:00"], dtype="datetime64[s]")
    >>> start = np.array(["2000-01-01", "2020-01-01"], dtype="datetime64[s]")
    >>> end = np.array(["2009-12-31", "NaT"], dtype="datetime64[s]")
    >>> i, j, *_ = ostrem.pairs_within([0.0], [0.0], [1.0, 1.0], [1.0, 2.0],
    ...                                times=(eqtime, start, end))
    >>> j.tolist()
    [1]
    """
    low, high = _window("pairs_within", min, max)
    kind = _sphere_kind("pairs_within", dtype)
    if depth_km is not None and phases is None:
        raise ValueError("pairs_within: depth_km is for the arrivals of phases")
    _arrival_items("pairs_within", phases, depth_km)
    arrivals = None if phases is None else (str(phases), model, depth_km)
    return _either("pairs_within", kind, eqlat, eqlon, stlat, stlon, low, high, azimuth,
                   back_azimuth, nearest, times, arrivals=arrivals)


def geodesic_pairs_within(eqlat, eqlon, stlat, stlon, max_km=math.inf, min_km=0.0, *,
                          azimuth=None, back_azimuth=None, nearest=None, times=None,
                          depth_km=None, elevation_m=None, phases=None, model="iasp91"):
    """Every earthquake-station pair in a selection, along the WGS84 geodesic.

    As `pairs_within`, on the ellipsoid: the stations' index holds their
    earth-centred positions (the geodesic is never shorter than the
    straight line between them), and each candidate's geodesic is the one
    `geodesic` computes.  With `nearest`, the stations nearest along the
    geodesic, which the straight line's order is not: the search widens
    until no station outside it can be nearer.

    Parameters
    ----------
    eqlat, eqlon, stlat, stlon : array_like, 1-D
        As for `pairs_within`.
    max_km, min_km : float
        The window (kilometres), both ends included; by default every
        distance.
    azimuth, back_azimuth, nearest, times : optional
        As for `pairs_within`, on the geodesic's azimuths and kilometres.
    depth_km : array_like, optional
        The earthquakes' depths (kilometres below the ellipsoid, in
        [-10, 1000]), one per earthquake: a sixth result, `hypo`.
    elevation_m : array_like, optional
        With `depth_km`, the stations' elevations (metres, in
        [-12000, 9000]), one per station; 0 by default.
    phases, model : optional
        With `depth_km`, the arrivals: as for `pairs_within`, after `hypo`.

    Returns
    -------
    i, j : ndarray of intp
        The pairs, sorted by `i`, then `j` (with `nearest`, each
        earthquake's nearest first).
    km, az, baz : ndarray of float64
        The bits ``geodesic(eqlat[i], eqlon[i], stlat[j], stlon[j])`` gives.
    hypo : ndarray of float64
        With `depth_km` only: the bits ``hypocentral(eqlat[i], eqlon[i],
        depth_km[i], stlat[j], stlon[j], elevation_m[j])`` gives.

    Raises
    ------
    ValueError
        As for `pairs_within`, and for a depth or an elevation out of
        range.

    Notes
    -----
    ``ostrem -k -S STATIONS -r MIN,MAX -z N -Z M`` gives the same pairs
    from files.  Dask arrays for the earthquakes give lazy results, as for
    `pairs_within`; their depths and times go with them block by block.

    Examples
    --------
    >>> import ostrem
    >>> i, j, km, az, baz = ostrem.geodesic_pairs_within([38.3], [142.4],
    ...                                                  [38.0, 34.95], [141.0, -106.46], 200.0)
    >>> i.tolist(), j.tolist(), "%.3f" % km[0]
    ([0], [0], '127.151')

    The nearest station, and the hypocentral distance to it from 30 km down:

    >>> i, j, km, az, baz, hypo = ostrem.geodesic_pairs_within(
    ...     [38.3], [142.4], [38.0, 34.95], [141.0, -106.46], nearest=1,
    ...     depth_km=[30.0], elevation_m=[120.0, 1850.0])
    >>> j.tolist(), "%.3f" % hypo[0]
    ([0], '130.378')
    """
    low, high = _window("geodesic_pairs_within", min_km, max_km)
    if elevation_m is not None and depth_km is None:
        raise ValueError("geodesic_pairs_within: elevation_m needs depth_km (the hypocentral "
                         "distance starts at the earthquake's depth)")
    _arrival_items("geodesic_pairs_within", phases, depth_km)
    arrivals = None if phases is None else (str(phases), model, depth_km)
    return _either("geodesic_pairs_within", _ARITHMETICS["ellipsoid"], eqlat, eqlon, stlat,
                   stlon, low, high, azimuth, back_azimuth, nearest, times, depth_km,
                   elevation_m, arrivals=arrivals)


def _sphere_kind(function, dtype):
    import numpy as np

    dtype = np.dtype(np.float32 if dtype is None else dtype)
    if dtype not in (np.float32, np.float64):
        raise TypeError(f"{function}: dtype must be float32 or float64, not {dtype}")
    return _ARITHMETICS["float_sphere" if dtype == np.float32 else "double_sphere"]


def network_geometry(eqlat, eqlon, stlat, stlon, max=180.0, min=0.0, *, nearest=None,
                     azimuth=None, back_azimuth=None, times=None, dtype=None):
    """How the stations surround each earthquake, on the sphere.

    Of the stations `pairs_within` would pair with an earthquake (those in
    the windows, or its `nearest`), how many there are, the distance to the
    nearest of them, the largest gap between the azimuths at which the
    earthquake sees them, and the secondary gap, the largest gap left when
    any one direction is taken away; from the pairs' own numbers, without
    making the pairs.

    Parameters
    ----------
    eqlat, eqlon, stlat, stlon, max, min, nearest, azimuth, back_azimuth, times, dtype
        As for `pairs_within`.

    Returns
    -------
    n : ndarray of intp
        The stations of each earthquake; each counts, even where several
        share an azimuth.
    dmin : ndarray, of `dtype`
        The distance to the nearest of them (degrees); NaN where n is 0.
    gap : ndarray, of `dtype`
        The largest angle (degrees) between two of their azimuths that are
        neighbours around the compass, the one across north included;
        stations at the same azimuth, as computed, are one direction, and
        with one direction or none the gap is 360.
    gap2 : ndarray, of `dtype`
        The largest angle from one of the sorted distinct azimuths to the
        one two further on, across north included: the largest gap once any
        one direction is removed; 360 with two directions or fewer.

    Raises
    ------
    ValueError, TypeError
        As for `pairs_within`.

    Notes
    -----
    The gaps are differences of the azimuths in their own precision
    (float32 by default), the one across north ``(first + 360) - last``.
    An earthquake that takes no part (a NaN coordinate, a NaT time) gets
    n = 0 and NaN for the rest.  The numbers are those of ``ostrem -S
    STATIONS -G``.  Dask arrays of earthquakes give lazy arrays, one task
    per block.

    Examples
    --------
    >>> import ostrem
    >>> n, dmin, gap, gap2 = ostrem.network_geometry([0.0], [0.0], [0.0, 1.0, -1.0],
    ...                                              [1.0, 0.0, 0.0], 5.0)
    >>> int(n[0]), "%.2f %.2f %.2f" % (dmin[0], gap[0], gap2[0])
    (3, '0.99 180.00 270.00')
    """
    low, high = _window("network_geometry", min, max)
    return _either("network_geometry", _sphere_kind("network_geometry", dtype), eqlat, eqlon,
                   stlat, stlon, low, high, azimuth, back_azimuth, nearest, times,
                   per_earthquake=True)


def geodesic_network_geometry(eqlat, eqlon, stlat, stlon, max_km=math.inf, min_km=0.0, *,
                              nearest=None, azimuth=None, back_azimuth=None, times=None):
    """How the stations surround each earthquake, along the WGS84 geodesic.

    As `network_geometry`, with the pairs of `geodesic_pairs_within`:
    `dmin` in kilometres, the gaps between the geodesic's azimuths, all
    float64.

    Parameters
    ----------
    eqlat, eqlon, stlat, stlon, max_km, min_km, nearest, azimuth, back_azimuth, times
        As for `geodesic_pairs_within`.

    Returns
    -------
    n, dmin, gap, gap2 : ndarray
        As for `network_geometry`; `dmin` in kilometres.

    Raises
    ------
    ValueError
        As for `geodesic_pairs_within`.

    Notes
    -----
    ``ostrem -k -S STATIONS -G`` gives the same numbers from files.

    Examples
    --------
    >>> import ostrem
    >>> n, dmin, gap, gap2 = ostrem.geodesic_network_geometry(
    ...     [38.3], [142.4], [38.0, 36.5457, 37.4776], [141.0, 138.2041, 126.6239], 2000.0)
    >>> int(n[0]), "%.3f %.3f" % (dmin[0], gap[0])
    (3, '127.151 332.498')
    """
    low, high = _window("geodesic_network_geometry", min_km, max_km)
    return _either("geodesic_network_geometry", _ARITHMETICS["ellipsoid"], eqlat, eqlon, stlat,
                   stlon, low, high, azimuth, back_azimuth, nearest, times, per_earthquake=True)


# Shown, and their examples found, as the package's own.
for _shown in (pairs_within, geodesic_pairs_within, network_geometry, geodesic_network_geometry):
    _shown.__module__ = "ostrem"
