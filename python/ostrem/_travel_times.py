"""Seismic travel times: when each wave of an earthquake arrives at a station."""

import numpy as np

from . import _travel


def _elements(distance, depth_km):
    distance, depth_km = np.broadcast_arrays(np.asarray(distance, dtype=np.float64),
                                             np.asarray(depth_km, dtype=np.float64))
    return (distance.shape, np.ascontiguousarray(distance).ravel(),
            np.ascontiguousarray(depth_km).ravel())


def _first(distance, depth_km, phases, model):
    shape, distance, depth_km = _elements(distance, depth_km)
    time, ray_parameter = _travel.first(distance, depth_km, phases, model)
    return (np.frombuffer(time, dtype=np.float64).reshape(shape).copy(),
            np.frombuffer(ray_parameter, dtype=np.float64).reshape(shape).copy())


def travel_times(distance, depth_km, phases="P", model="iasp91"):
    """The time and ray parameter of the first arrival among some phases.

    Broadcasts `distance` against `depth_km` as a ufunc does.  What depends
    on a depth alone is computed once for each distinct depth and shared
    by every element at it, so a catalogue's events against an inventory's
    stations cost a root on a precomputed branch per pair.

    Parameters
    ----------
    distance : array_like
        Epicentral distance (degrees of arc on the geocentric sphere, as
        `ostrem` gives it), 0 to 180.
    depth_km : array_like
        Depth of the source (km), from 0 to the core-mantle boundary; a
        catalogue's depth above sea level, down to -10, is the surface.
    phases : str
        Phase names joined by ',' or '+' ("P", "P,Pdiff,PKIKP"), by the
        field's convention; "firstP" and "firstS" stand for the P-type and
        S-type first arrivals.
    model : str
        "iasp91" (the default), "ak135", or a ``.tvel`` or ``.nd`` file.

    Returns
    -------
    time, ray_parameter : ndarray, float64
        Seconds after the origin, and seconds per degree; NaN where no
        phase named arrives (a shadow, a distance or depth out of range).

    Raises
    ------
    ValueError
        A name that is no phase, or a model that cannot be read, saying why.

    Notes
    -----
    Within a millisecond of the exact integral of the model (whose
    velocities are linear in depth between its rows); the receiver is at
    the surface.  Dask arrays give lazy Dask arrays.

    Examples
    --------
    >>> import ostrem
    >>> time, p = ostrem.travel_times(60.0, 10.0, "P")
    >>> "%.2f s, %.4f s/deg" % (time, p)
    '606.67 s, 6.8735 s/deg'
    """
    if _is_dask((distance, depth_km)):
        import dask.array as da

        def block(d, z):
            return np.stack(_first(d, z, phases, model))

        distance, depth_km = da.broadcast_arrays(da.asarray(distance), da.asarray(depth_km))
        both = da.map_blocks(block, distance, depth_km, dtype=np.float64, new_axis=0,
                             chunks=((2,),) + distance.chunks)
        return both[0], both[1]
    time, ray_parameter = _first(distance, depth_km, phases, model)
    if time.ndim == 0:
        return time[()], ray_parameter[()]
    return time, ray_parameter


def arrivals(distance, depth_km, phases, model="iasp91"):
    """Every arrival of each phase named at each element.

    Parameters
    ----------
    distance, depth_km, phases, model
        As for `travel_times`; `distance` and `depth_km` broadcast, and
        the elements are numbered in their flattened order.

    Returns
    -------
    pandas.DataFrame, or dict of numpy.ndarray without pandas
        A row an arrival, each element's earliest first: ``element``,
        ``phase``, ``time`` (s), ``ray_parameter`` (s/deg), ``takeoff``
        (degrees from the downward vertical at the source) and
        ``incidence`` (degrees from the vertical at the receiver) and
        ``deepest_km`` (the depth of the ray's deepest point, where it
        turns or is reflected).  A triplication gives several rows of one
        phase at one element, told apart by where their rays turn.

    Examples
    --------
    >>> import ostrem
    >>> found = ostrem.arrivals(20.0, 0.0, "P")
    >>> [round(t, 1) for t in found["time"]]   # the 410 and 660 km discontinuities' triplications
    [274.1, 275.8, 276.0, 279.5, 279.9]
    """
    if _is_dask((distance, depth_km)):
        import dask

        distance, depth_km = dask.compute(distance, depth_km)
    _, distance, depth_km = _elements(distance, depth_km)
    element, names, time, ray_parameter, takeoff, incidence, deepest = _travel.every(
        distance, depth_km, phases, model)
    table = {
        "element": np.frombuffer(element, dtype=np.int64).copy(),
        "phase": np.array(names, dtype=object),
        "time": np.frombuffer(time, dtype=np.float64).copy(),
        "ray_parameter": np.frombuffer(ray_parameter, dtype=np.float64).copy(),
        "takeoff": np.frombuffer(takeoff, dtype=np.float64).copy(),
        "incidence": np.frombuffer(incidence, dtype=np.float64).copy(),
        "deepest_km": np.frombuffer(deepest, dtype=np.float64).copy(),
    }
    try:
        import pandas as pd
    except ImportError:
        return table
    return pd.DataFrame(table)


def _is_dask(args):
    return any(type(a).__module__.startswith("dask.") for a in args)
