"""Distance, azimuths, great-circle midpoint and the point reached along an
azimuth, for earthquake-station pairs.

NumPy ufuncs over the same C module as the command-line programs
``sorvane``, ``brovic`` and ``ostrem``, with the same bits for every pair.
Arguments broadcast; ``out=`` and ``where=`` work as for any ufunc; scalars
give NumPy scalars.  Results are float32 by default, the programs' bits;
``dtype=np.float64`` computes in double precision throughout.  `ostrem`,
`midpoint` and `walk` given Dask arrays return lazy Dask arrays, computed
chunk by chunk wherever Dask runs.

`geodesic`, `geodesic_walk` and `geodesic_midpoint` answer on the WGS84
ellipsoid instead, in kilometres, in float64 (the project's own solution
of Karney's method, in the processor's vector lanes), and
`hypocentral` gives the straight line from a hypocentre to a station.

`pairs_within` and `geodesic_pairs_within` pair every earthquake with every
station in a selection (windows of distance and azimuth, epochs, the
nearest N), through a spatial index of the stations; `network_geometry`
and `geodesic_network_geometry` tell how those stations surround each
earthquake (how many, the nearest, the azimuthal gap and the secondary
gap).

`read_stations` and `read_events` read StationXML, QuakeML and FDSN text
into tables (a pandas DataFrame, or a dict of NumPy arrays).

`travel_times` gives when the first of some seismic phases arrives, and
`arrivals` every arrival, in a built-in earth model (IASP91, AK135) or a
model file.
"""

from . import _ufuncs
from ._pairing import (geodesic_network_geometry, geodesic_pairs_within, network_geometry,
                       pairs_within)
from ._reading import read_events, read_stations
from ._travel_times import arrivals, travel_times

__all__ = ["ostrem", "midpoint", "walk", "geocen", "geogrf", "geodesic", "geodesic_walk",
           "geodesic_midpoint", "hypocentral", "pairs_within", "geodesic_pairs_within",
           "network_geometry", "geodesic_network_geometry", "read_stations", "read_events",
           "travel_times", "arrivals"]
__version__ = _ufuncs.version

geocen = _ufuncs.geocen
geogrf = _ufuncs.geogrf


def _is_dask(args):
    # Dask is imported only when it is handed over, never to find out.
    return any(type(a).__module__.startswith("dask.") for a in args)


def _dask_apply(ufunc, args, kwargs):
    import functools

    import dask.array as da
    import numpy as np

    chosen = {k: kwargs.pop(k) for k in ("dtype", "signature") if k in kwargs}
    if kwargs:
        raise TypeError(
            f"{ufunc.__name__}: out=, where= and other ufunc keywords are not "
            f"supported with Dask arrays (got {', '.join(sorted(kwargs))})")
    # The output dtype is the one a NumPy call with the same keywords gives
    # (float32 unless float64 results were asked for), found on one element.
    one = ufunc(*([np.float64(0)] * ufunc.nin), **chosen)
    dtype = (one[0] if ufunc.nout > 1 else one).dtype
    # One call per block gives all the outputs, which Dask then hands out
    # one array each.
    signature = ",".join(["()"] * ufunc.nin) + "->" + ",".join(["()"] * ufunc.nout)
    return da.apply_gufunc(functools.partial(ufunc, **chosen), signature, *args,
                           output_dtypes=[dtype] * ufunc.nout if ufunc.nout > 1 else dtype)


def _call(ufunc, args, kwargs):
    out = kwargs.get("out")
    if _is_dask(args) or _is_dask(out if isinstance(out, tuple) else (out,)):
        return _dask_apply(ufunc, args, kwargs)
    return ufunc(*args, **kwargs)


def ostrem(eqlat, eqlon, stlat, stlon, /, *args, **kwargs):
    """Distance, azimuth and back-azimuth between earthquakes and stations.

    A NumPy ufunc over four coordinates in degrees: the earthquake (origin)
    and the station (target).  The earth is a sphere on which geographic
    latitudes are first made geocentric, tan(geocentric) =
    0.993305621334896 * tan(geographic); the distance is the angle at the
    earth's centre.

    Parameters
    ----------
    eqlat, eqlon, stlat, stlon : array_like
        Earthquake latitude and longitude, station latitude and longitude
        (degrees).  Latitude positive to the north, in [-90, 90]; longitude
        positive to the east, in [-180, 540] (above 180 is moved down by
        360 once).  Broadcast together.  Each is rounded to float32 first,
        as the programs round their arguments; the range checks see the
        rounded value.
    out : tuple of three ndarray, optional
        Where to put the results, as for any ufunc.
    where : array_like of bool, optional
        Compute only where True, as for any ufunc.
    dtype : {None, numpy.float32, numpy.float64}, optional
        ``np.float64`` (or ``signature="dddd->ddd"``) computes in double
        precision from the coordinates as given, with float64 results
        (the C function ``ostremd``).  By default they are rounded to
        float32 first and the results are float32.
    **kwargs
        Other ufunc keywords (``casting``, ``order``, ...).

    Returns
    -------
    dist : ndarray or scalar, float32 (float64 with ``dtype=np.float64``)
        Distance (degrees of arc), in [0, 180].
    az : ndarray or scalar, float32
        Azimuth at the earthquake towards the station (degrees clockwise
        from north), in [0, 360].
    baz : ndarray or scalar, float32
        Back-azimuth at the station towards the earthquake (degrees
        clockwise from north), in [0, 360].

    Notes
    -----
    The bits are those of the C function ``ostrem`` and of ``sorvane``
    for the same float32 coordinates.  Ask for float64 when points lie
    closer than float32 can tell apart: a float32 step at longitude 142 is
    1.5e-5 degrees (1.7 m), and between stations 100 m apart the float32
    azimuth can be 0.5 degrees off.

    An element with a coordinate out of range gets NaN in all three
    results and raises NumPy's "invalid" floating-point error: a
    RuntimeWarning by default, ``FloatingPointError`` under
    ``np.errstate(invalid='raise')``.  The other elements are computed as
    usual.  A NaN coordinate gives NaN results quietly.

    Signed zeros and 360: a direction computed as -0.0 stays -0.0 (due
    north towards a station at longitude -0, or the back-azimuth from the
    south pole), and a tiny negative angle moved up by a full turn rounds
    to 360.0; both mean due north.  Towards the exact north pole the
    azimuth is 0, and from it the back-azimuth is 0; towards the south
    pole the azimuth is 180.  For coincident points the distance is 0 and
    for antipodal points 180; the directions between them follow rounding
    residues.

    With Dask arrays in, the results are lazy Dask arrays; ``out=`` and
    ``where=`` are then not accepted.

    Examples
    --------
    >>> import ostrem
    >>> "%.2f %.2f %.2f" % ostrem.ostrem(38.3, 142.4, 34.95, -106.46)
    '83.17 50.50 312.35'
    >>> "%.2f %.2f %.2f" % ostrem.ostrem(0, 0, -90, 0)
    '90.00 180.00 -0.00'
    >>> dist, az, baz = ostrem.ostrem(0, 0, 0, [90, -90, 180.5])
    >>> dist
    array([ 90. ,  90. , 179.5], dtype=float32)

    Two stations 95 m apart: float32 coordinates put the azimuth 0.06
    degrees off, float64 gives the geodesic's 39.873 to the digit.

    >>> import numpy as np
    >>> a = (35.00012, 142.41234, 35.00078, 142.41301)
    >>> "%.3f" % ostrem.ostrem(*a)[1], "%.3f" % ostrem.ostrem(*a, dtype=np.float64)[1]
    ('39.933', '39.873')
    """
    return _call(_ufuncs.ostrem, (eqlat, eqlon, stlat, stlon) + args, kwargs)


def midpoint(eqlat, eqlon, stlat, stlon, /, *args, **kwargs):
    """The point halfway along the great circle from earthquake to station.

    A NumPy ufunc over four coordinates in degrees.  The walk is made on
    the geocentric sphere from the earthquake along the azimuth that
    `ostrem` gives, and the latitude reached is converted back to
    geographic.

    Parameters
    ----------
    eqlat, eqlon, stlat, stlon : array_like
        Earthquake (first point) and station (second point) latitude and
        longitude (degrees), with the ranges and the rounding to float32
        of `ostrem`.  Broadcast together.
    out : tuple of two ndarray, optional
        Where to put the results, as for any ufunc.
    where : array_like of bool, optional
        Compute only where True, as for any ufunc.
    dtype : {None, numpy.float32, numpy.float64}, optional
        ``np.float64`` computes in double precision throughout (the C
        function ``midpointd``), as for `ostrem`.
    **kwargs
        Other ufunc keywords.

    Returns
    -------
    lat : ndarray or scalar, float32 (float64 with ``dtype=np.float64``)
        Geographic latitude of the midpoint (degrees), in [-90, 90].
    lon : ndarray or scalar, float32 (float64 with ``dtype=np.float64``)
        Longitude of the midpoint (degrees east), in [0, 360].

    Notes
    -----
    The bits are those of the C function ``midpoint`` and of ``brovic``:
    `walk` from the earthquake along `ostrem`'s azimuth for half its
    distance, both float32.
    Out-of-range elements get NaN and raise "invalid", as for `ostrem`;
    NaN coordinates give NaN quietly.

    The longitude is always given in [0, 360]: (0, -90) and (0, 0) give
    315, not -45.  From an earthquake exactly on a pole the midpoint lies
    on the station's meridian.  A latitude that comes out as a tiny
    negative residue is -0.0.  When the midpoint is the north pole, its
    longitude is 0 or follows rounding residues; for antipodal points the
    great circle is not unique and the midpoint follows `ostrem`'s azimuth.

    Examples
    --------
    >>> import ostrem
    >>> "%.2f %.2f" % ostrem.midpoint(0, -90, 0, 0)
    '0.00 315.00'
    >>> "%.2f %.2f" % ostrem.midpoint(90, 0, 0, -90)
    '45.19 270.00'
    """
    return _call(_ufuncs.midpoint, (eqlat, eqlon, stlat, stlon) + args, kwargs)


def walk(lat, lon, az, dist, /, *args, **kwargs):
    """The point reached from a start along an azimuth (the direct problem).

    A NumPy ufunc: from (`lat`, `lon`), `dist` degrees of arc along the
    great circle that leaves it at azimuth `az`, on the same geocentric
    sphere as `ostrem`.  For distance rings, points along a path, pierce
    and bounce points.

    Parameters
    ----------
    lat, lon : array_like
        Start latitude and longitude (degrees), with the ranges and the
        rounding to float32 of `ostrem`.
    az : array_like
        Azimuth at the start (degrees clockwise from north), in
        [-360, 360]; negative counts anticlockwise (-30 is 330).
    dist : array_like
        Distance (degrees of arc), in [0, 180].
    out : tuple of two ndarray, optional
        Where to put the results, as for any ufunc.
    where : array_like of bool, optional
        Compute only where True, as for any ufunc.
    dtype : {None, numpy.float32, numpy.float64}, optional
        ``np.float64`` computes in double precision throughout (the C
        function ``walkd``), as for `ostrem`.
    **kwargs
        Other ufunc keywords.

    Returns
    -------
    lat : ndarray or scalar, float32 (float64 with ``dtype=np.float64``)
        Geographic latitude reached (degrees), in [-90, 90].
    lon : ndarray or scalar, float32 (float64 with ``dtype=np.float64``)
        Longitude reached (degrees east), in [0, 360].

    Notes
    -----
    The bits are those of the C function ``walk`` and of ``ostrem -w``.
    `ostrem`'s azimuth and distance walked from the earthquake land on the
    station; `midpoint` is that walk for half the distance.  A distance of
    0 gives the start and 180 the antipode.  From exactly the north pole
    the path runs down the meridian ``180 - az`` east of the start's
    longitude, from the south pole down the meridian ``az`` east of it.
    Out-of-range elements get NaN and raise "invalid", as for `ostrem`;
    NaN gives NaN quietly.

    Examples
    --------
    >>> import numpy as np, ostrem
    >>> "%.2f %.2f" % ostrem.walk(0, 0, 90, 90)
    '0.00 90.00'
    >>> "%.2f %.2f" % ostrem.walk(38.3, 142.4, 50.50, 83.17)
    '34.95 253.54'

    Fifty points along the path from an earthquake to a station, by
    broadcasting the distance:

    >>> dist, az, _ = ostrem.ostrem(38.3, 142.4, 34.95, -106.46)
    >>> lat, lon = ostrem.walk(38.3, 142.4, az, dist * np.linspace(0, 1, 50))
    >>> lat.shape, "%.2f %.2f" % (lat[-1], lon[-1])
    ((50,), '34.95 253.54')
    """
    return _call(_ufuncs.walk, (lat, lon, az, dist) + args, kwargs)


def _ellipsoid(ufunc, args, kwargs):
    return _call(ufunc, args, kwargs)


def geodesic(eqlat, eqlon, stlat, stlon, /, *args, **kwargs):
    """Length and directions of the WGS84 geodesic between earthquakes and stations.

    A NumPy ufunc over four geographic coordinates in degrees: the
    earthquake and the station.  The inverse problem on the WGS84
    ellipsoid, solved to round-off for every pair (within 50 nm of
    GeographicLib), nearly antipodal ones included; the answer PROJ's
    ``geod -I`` and pyproj's ``Geod(ellps="WGS84").inv`` give, in
    kilometres.

    Parameters
    ----------
    eqlat, eqlon : array_like
        Earthquake latitude and longitude (degrees): latitude in [-90, 90],
        longitude in [-180, 540].
    stlat, stlon : array_like
        Station latitude and longitude (degrees), likewise.
    out : tuple of three ndarray, optional
        Where to put the results, as for any ufunc.
    where : array_like of bool, optional
        Compute only where True, as for any ufunc.
    **kwargs
        Other ufunc keywords.

    Returns
    -------
    km : ndarray or scalar, float64
        Length of the geodesic (kilometres).
    az : ndarray or scalar, float64
        Azimuth at the earthquake towards the station (degrees clockwise
        from north), in [0, 360].
    baz : ndarray or scalar, float64
        Back-azimuth: the direction at the station towards the earthquake
        (degrees clockwise from north), in [0, 360]; pyproj's back azimuth
        modulo 360.

    Notes
    -----
    The numbers of the C function ``geodesic`` (``ostrem_geodesic.h``) and of
    ``ostrem -k``.  Out-of-range elements get NaN and raise NumPy's
    "invalid"; NaN gives NaN quietly.  Between coincident points the length
    is 0 and the directions are a convention.

    Examples
    --------
    >>> import ostrem
    >>> "%.3f %.3f %.3f" % ostrem.geodesic(38.3, 142.4, 34.95, -106.46)
    '9242.144 50.349 312.496'
    """
    return _ellipsoid(_ufuncs.geodesic, (eqlat, eqlon, stlat, stlon) + args, kwargs)


def geodesic_walk(lat, lon, az, km, /, *args, **kwargs):
    """The point reached along the WGS84 geodesic (the direct problem).

    A NumPy ufunc: from (`lat`, `lon`), `km` kilometres along the geodesic
    that leaves it at azimuth `az`, on the WGS84 ellipsoid.

    Parameters
    ----------
    lat, lon : array_like
        Start latitude and longitude (degrees), with the ranges of
        `geodesic`.
    az : array_like
        Azimuth at the start (degrees clockwise from north), in
        [-360, 360].
    km : array_like
        Distance along the geodesic (kilometres), 0 or more.
    out, where, **kwargs
        As for `geodesic`.

    Returns
    -------
    lat : ndarray or scalar, float64
        Latitude reached (degrees).
    lon : ndarray or scalar, float64
        Longitude reached (degrees east), in [0, 360].

    Examples
    --------
    >>> import numpy as np, ostrem
    >>> km, az, _ = ostrem.geodesic(38.3, 142.4, 34.95, -106.46)
    >>> "%.6f %.6f" % ostrem.geodesic_walk(38.3, 142.4, az, km)
    '34.950000 253.540000'
    >>> lat, lon = ostrem.geodesic_walk(38.3, 142.4, az, km * np.linspace(0, 1, 50))  # the path
    """
    return _ellipsoid(_ufuncs.geodesic_walk, (lat, lon, az, km) + args, kwargs)


def geodesic_midpoint(eqlat, eqlon, stlat, stlon, /, *args, **kwargs):
    """The point halfway along the WGS84 geodesic between earthquakes and stations.

    A NumPy ufunc: `geodesic_walk` from the earthquake along the geodesic's
    azimuth for half its length.

    Parameters
    ----------
    eqlat, eqlon, stlat, stlon : array_like
        As for `geodesic` (degrees).
    out, where, **kwargs
        As for `geodesic`.

    Returns
    -------
    lat : ndarray or scalar, float64
        Latitude of the midpoint (degrees).
    lon : ndarray or scalar, float64
        Longitude of the midpoint (degrees east), in [0, 360].

    Examples
    --------
    >>> import ostrem
    >>> "%.3f %.3f" % ostrem.geodesic_midpoint(38.3, 142.4, 34.95, -106.46)
    '52.789 199.780'
    """
    return _ellipsoid(_ufuncs.geodesic_midpoint, (eqlat, eqlon, stlat, stlon) + args, kwargs)


def hypocentral(eqlat, eqlon, depth_km, stlat, stlon, elevation_m=0.0, **kwargs):
    """The hypocentral distance: the straight line from hypocentres to stations.

    A NumPy ufunc: the length of the chord between the earth-centred
    positions on WGS84 of the hypocentre, `depth_km` below the ellipsoid
    under (`eqlat`, `eqlon`), and of the station, `elevation_m` above the
    ellipsoid at (`stlat`, `stlon`).  On the curved earth it is shorter
    than ``hypot(geodesic km, depth)``: by 1.8 km at 1,000 km for a depth of
    10 km, and by 42 km for a depth of 600 km.

    Parameters
    ----------
    eqlat, eqlon : array_like
        Epicentre latitude and longitude (degrees), with the ranges of
        `geodesic`.
    depth_km : array_like
        Depth of the hypocentre (kilometres below the ellipsoid), in
        [-10, 1000]; negative above it.
    stlat, stlon : array_like
        Station latitude and longitude (degrees).
    elevation_m : array_like, optional
        Elevation of the station (metres above the ellipsoid), in
        [-12000, 9000]; 0 by default.
    out, where, **kwargs
        As for `geodesic`.

    Returns
    -------
    km : ndarray or scalar, float64
        The hypocentral distance (kilometres).

    Notes
    -----
    The numbers of the C function ``hypocentral`` (``ostrem_geodesic.h``)
    and of ``ostrem -k -z``.  Heights are against the ellipsoid: a
    catalogue's depth and an inventory's elevation, against sea level,
    differ by the geoid's height there (within about 110 m), which is left
    to the caller.  Out-of-range elements get NaN and raise NumPy's
    "invalid"; NaN gives NaN quietly.  Dask arrays give a lazy Dask array.

    Examples
    --------
    >>> import ostrem
    >>> "%.3f" % ostrem.hypocentral(38.3, 142.4, 30.0, 38.0, 141.0, 120.0)
    '130.378'
    """
    return _ellipsoid(_ufuncs.hypocentral,
                      (eqlat, eqlon, depth_km, stlat, stlon, elevation_m), kwargs)


# The ufuncs themselves, for code that wants ufunc methods and attributes.
ostrem.ufunc = _ufuncs.ostrem
midpoint.ufunc = _ufuncs.midpoint
walk.ufunc = _ufuncs.walk
geodesic.ufunc = _ufuncs.geodesic
geodesic_walk.ufunc = _ufuncs.geodesic_walk
geodesic_midpoint.ufunc = _ufuncs.geodesic_midpoint
hypocentral.ufunc = _ufuncs.hypocentral
