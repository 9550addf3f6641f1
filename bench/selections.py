"""The selections of -S beside the plain window, the nearest ten beside the
field's way (scikit-learn's BallTree on the sphere, then pyproj's geodesic
on its answers), and each event's n dmin gap gap2 beside the pairs summed
up in NumPy, on bench/pairs.py's catalogue and inventory of 100,000 events
and 10,000 stations, timed side by side in one run; medians.

    /usr/bin/python3 bench/selections.py [build dir]     (default: build/bench)
    ROUNDS=5 SCALE=1 /usr/bin/python3 bench/selections.py

Run with the Python that has the package (docs/python.md); the peer is left out without
scikit-learn or pyproj.
"""
import os
import subprocess
import tempfile
from pathlib import Path

import numpy as np

import ostrem
from pairs import (catalogue, filter_program, have, inventory, report, rounds, run, scale,
                   timed, write_tables)


def command(cat, inv, *options, threads=2):
    # catalogue.csv: time,latitude,longitude,depth,...; the stations: FDSN
    # text, Latitude|Longitude|Elevation in fields 3 to 5.
    return [filter_program, "-j", str(threads), "-H", "-S", inv, "-D", "|", "-F", "3,4", "-d", ",",
            "-f", "2,3", *options, cat]


def balltree_pyproj_nearest(events, stations, k):
    """BallTree's k nearest by the haversine, and pyproj's geodesic to each."""
    from pyproj import Geod
    from sklearn.neighbors import BallTree

    tree = BallTree(np.radians(np.column_stack(stations)), metric="haversine")
    _, j = tree.query(np.radians(np.column_stack(events)), k=k)
    i = np.repeat(np.arange(j.shape[0]), k)
    j = j.ravel()
    _, _, metres = Geod(ellps="WGS84").inv(events[1][i], events[0][i], stations[1][j],
                                           stations[0][j])
    return i, j, metres


def surroundings_in_numpy(events, stations, km):
    """n dmin gap gap2 from geodesic_pairs_within's pairs: sorted by event
    and azimuth, the distinct azimuths' differences, in NumPy."""
    count = events[0].size
    i, _, dist, az, _ = ostrem.geodesic_pairs_within(*events, *stations, km)
    order = np.lexsort((az, i))
    i, dist, az = i[order], dist[order], az[order]
    n = np.bincount(i, minlength=count)
    dmin = np.full(count, np.nan)
    np.fmin.at(dmin, i, dist)
    distinct = np.ones(i.size, dtype=bool)
    distinct[1:] = (i[1:] != i[:-1]) | (az[1:] != az[:-1])
    i, az = i[distinct], az[distinct]
    m = np.bincount(i, minlength=count)
    start = np.concatenate(([0], np.cumsum(m)[:-1]))
    place = np.arange(i.size) - start[i]

    def largest(step, fewest):
        on = place + step
        wraps = on >= m[i]
        angle = az[start[i] + on % m[i]] + 360.0 * wraps - az
        out = np.full(count, 360.0)
        some = m > 0
        if angle.size:  # each event's directions lie together, from its start
            out[some] = np.maximum.reduceat(angle, start[some])
        out[m < fewest] = 360.0
        return out

    return n, dmin, largest(1, 2), largest(2, 3)


def windows(events, stations, cat, inv, lines):
    """Depths and sectors beside the window alone."""
    cases = {
        "-S -k -r 0,100": lambda: run(command(cat, inv, "-k", "-r", "0,100")),
        "-S -k -z 4 -Z 5 -r 0,100": lambda: run(command(cat, inv, "-k", "-z", "4", "-Z", "5",
                                                       "-r", "0,100")),
        "-S -k -r 0,100 -A 30,300 -B 10,200": lambda: run(
            command(cat, inv, "-k", "-r", "0,100", "-A", "30,300", "-B", "10,200")),
        # Sectors of the whole compass: the same pairs written, the
        # sectors' test made on every one.
        "-S -k -r 0,100 -A 0,360 -B 0,360": lambda: run(
            command(cat, inv, "-k", "-r", "0,100", "-A", "0,360", "-B", "0,360")),
        "-S -r 0,3": lambda: run(command(cat, inv, "-r", "0,3")),
        "-S -r 0,3 -A 30,300 -B 10,200": lambda: run(
            command(cat, inv, "-r", "0,3", "-A", "30,300", "-B", "10,200")),
        "-S -r 0,3 -A 0,360 -B 0,360": lambda: run(
            command(cat, inv, "-r", "0,3", "-A", "0,360", "-B", "0,360")),
        "line mode -r 0,90, 2,000,000 pairs, -j 1": lambda: run(
            [filter_program, "-j", "1", "-r", "0,90", lines]),
        "line mode -r 0,90 -A 0,360 -B 0,360, -j 1": lambda: run(
            [filter_program, "-j", "1", "-r", "0,90", "-A", "0,360", "-B", "0,360", lines]),
    }
    medians = timed(cases)
    report("Depths and sectors beside the window alone, -j 2, to /dev/null", medians,
           "-S -k -r 0,100")

    def ratio(a, b):
        return medians[a] / medians[b]

    print(f"  -z -Z: {ratio('-S -k -z 4 -Z 5 -r 0,100', '-S -k -r 0,100'):.3f}x the window's "
          f"time; -A -B keeping every pair: "
          f"{ratio('-S -k -r 0,100 -A 0,360 -B 0,360', '-S -k -r 0,100'):.3f}x with -k, "
          f"{ratio('-S -r 0,3 -A 0,360 -B 0,360', '-S -r 0,3'):.3f}x on the sphere, "
          f"{ratio('line mode -r 0,90 -A 0,360 -B 0,360, -j 1', 'line mode -r 0,90, 2,000,000 pairs, -j 1'):.3f}x "
          f"in the line mode")


def surroundings(events, stations, cat, inv, lines):
    """Each event's n dmin gap gap2, beside the pairs and NumPy."""
    cases = {
        "-S -k -r 0,100, the pairs to /dev/null": lambda: run(
            command(cat, inv, "-k", "-r", "0,100")),
        "-S -k -G -r 0,100, a line an event": lambda: run(
            command(cat, inv, "-k", "-G", "-r", "0,100")),
        "geodesic_pairs_within + NumPy's gaps, one thread": lambda: surroundings_in_numpy(
            events, stations, 100.0),
        "geodesic_network_geometry, one thread": lambda: ostrem.geodesic_network_geometry(
            *events, *stations, 100.0),
    }
    medians = timed(cases)
    report("n dmin gap gap2 of every event within 100 km", medians,
           "-S -k -r 0,100, the pairs to /dev/null")
    mine = ostrem.geodesic_network_geometry(*events, *stations, 100.0)
    theirs = surroundings_in_numpy(events, stations, 100.0)
    agree = all(np.array_equal(a, b, equal_nan=True) for a, b in zip(mine, theirs))
    print(f"  NumPy's numbers are the engine's: {agree}")


def nearest(events, stations, cat, inv, lines):
    """The nearest ten, beside the BallTree and pyproj."""
    k = 10
    cases = {}
    if have("sklearn") and have("pyproj"):
        cases["BallTree.query(k=10) + pyproj, one core"] = lambda: balltree_pyproj_nearest(
            events, stations, k)
    cases["ostrem -S -k -N 10 -j 2, to /dev/null"] = lambda: run(
        command(cat, inv, "-k", "-N", str(k)))
    cases["ostrem -S -k -N 10 -j 1, to /dev/null"] = lambda: run(
        command(cat, inv, "-k", "-N", str(k), threads=1))
    cases["geodesic_pairs_within(nearest=10), one thread"] = lambda: ostrem.geodesic_pairs_within(
        *events, *stations, nearest=k)
    medians = timed(cases)
    report("The ten nearest stations of each event", medians, next(iter(cases)))
    if have("sklearn") and have("pyproj"):
        i, j, *_ = ostrem.geodesic_pairs_within(*events, *stations, nearest=k)
        _, theirs, _ = balltree_pyproj_nearest(events, stations, k)
        ours = j.reshape(-1, k)
        differ = sum(set(a) != set(b) for a, b in zip(ours.tolist(), theirs.reshape(-1, k).tolist()))
        print(f"  events whose ten by the haversine are not the geodesic's ten: {differ} "
              f"of {events[0].size}")


def main():
    # SECTIONS=windows,surroundings,nearest (the default: all three).
    sections = os.environ.get("SECTIONS", "windows,surroundings,nearest").split(",")
    rng = np.random.default_rng(20261209)
    with tempfile.TemporaryDirectory() as folder:
        events, stations = catalogue(int(100_000 * scale), rng), inventory(int(10_000 * scale), rng)
        cat, inv = write_tables(folder, events, stations)
        print(f"{events[0].size} events x {stations[0].size} stations")
        lines = str(Path(folder, "pairs.txt"))
        with open(lines, "w") as f:
            subprocess.run([str(Path(__file__).resolve().parent / "random-pairs"),
                            str(int(2_000_000 * scale)), "7"], stdout=f, check=True)
        for section in (windows, surroundings, nearest):
            if section.__name__ in sections:
                section(events, stations, cat, inv, lines)


if __name__ == "__main__":
    main()
