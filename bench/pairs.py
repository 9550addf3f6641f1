"""Every event against every station: the filter's -S and the Python
package's pairs functions beside a BallTree with pyproj's geodesic and
beside the README's old awk way, on a catalogue and an inventory shaped
like real ones (events on subduction belts, stations in dense networks and
spread over the continents), timed side by side in one run; medians.

    /usr/bin/python3 bench/pairs.py [build dir]      (default: build/bench)
    ROUNDS=5 SCALE=1 /usr/bin/python3 bench/pairs.py

SCALE=0.1 gives a tenth of each table, for a quick look.  Needs the package
installed (README); scikit-learn, pyproj and Dask are left out when missing.
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import numpy as np

import ostrem

here = Path(__file__).resolve().parent
build = Path(sys.argv[1]) if len(sys.argv) > 1 else here.parent / "build" / "bench"
filter_program = str(build / "ostrem")
rounds = int(os.environ.get("ROUNDS", 5))
scale = float(os.environ.get("SCALE", 1))

# Subduction belts and other seismic zones, as polylines (lat, lon).
BELTS = [
    [(60, -150), (52, -170), (52, 175), (55, 162)],       # Alaska, Aleutians
    [(50, 157), (43, 147), (36, 141), (31, 131), (24, 122)],  # Kurils, Japan, Ryukyu
    [(20, 121), (10, 126), (0, 127)],                       # the Philippines
    [(-5, 102), (3, 96), (12, 94), (20, 94)],                # Sumatra, Andaman
    [(-8, 108), (-9, 118), (-7, 130), (-4, 143)],            # Java, Banda, New Guinea
    [(-15, -173), (-22, -175), (-30, -178), (-40, 176)],      # Tonga, Kermadec, New Zealand
    [(18, -105), (14, -92), (10, -85)],                      # Central America
    [(-5, -81), (-18, -71), (-33, -72), (-45, -75)],          # Andes
    [(36, 22), (38, 30), (37, 44), (30, 55), (28, 84)],       # Aegean, Iran, Himalaya
]
# Dense networks and where stations spread (lat, lon, spread in degrees):
# most on the belts themselves, where the events are, the rest spread over
# the continents.
NETWORKS = [(37, 139, 1.0), (-30, -71, 1.2), (38, 25, 1.2), (-41, 174, 1.0), (61, -150, 1.2),
            (13, -88, 1.2), (-7, 110, 1.5), (35, 103, 8), (36, -119, 4), (46, 8, 6),
            (38, -98, 10), (50, 10, 5), (-15, -60, 12), (0, 20, 15)]
ON_BELTS = 7  # the first seven


def catalogue(n, rng):
    belts = rng.integers(0, len(BELTS), n)
    lat = np.empty(n)
    lon = np.empty(n)
    for b, line in enumerate(BELTS):
        idx = np.flatnonzero(belts == b)
        seg = rng.integers(0, len(line) - 1, idx.size)
        t = rng.uniform(0, 1, idx.size)
        a = np.array(line)[seg]
        z = np.array(line)[seg + 1]
        d = (z[:, 1] - a[:, 1] + 180) % 360 - 180
        lat[idx] = a[:, 0] + t * (z[:, 0] - a[:, 0]) + rng.normal(0, 0.5, idx.size)
        lon[idx] = a[:, 1] + t * d + rng.normal(0, 0.5, idx.size)
    lat = np.clip(lat, -89.9, 89.9)
    lon = (lon + 180) % 360 - 180
    return np.round(lat, 4), np.round(lon, 4)


def inventory(n, rng):
    # Nine in ten stations in the networks on the belts.
    where = np.where(rng.uniform(0, 1, n) < 0.9, rng.integers(0, ON_BELTS, n),
                     rng.integers(ON_BELTS, len(NETWORKS) + 1, n))
    lat = np.degrees(np.arcsin(rng.uniform(-1, 1, n)))
    lon = rng.uniform(-180, 180, n)
    for k, (clat, clon, spread) in enumerate(NETWORKS):
        idx = np.flatnonzero(where == k)
        lat[idx] = clat + rng.normal(0, spread, idx.size)
        lon[idx] = clon + rng.normal(0, spread, idx.size) / max(np.cos(np.radians(clat)), 0.2)
    lat = np.clip(lat, -89.9, 89.9)
    lon = (lon + 180) % 360 - 180
    return np.round(lat, 5), np.round(lon, 5)


def write_tables(folder, events, stations):
    cat, inv = Path(folder, "catalogue.csv"), Path(folder, "stations.txt")
    with open(cat, "w") as f:
        f.write("time,latitude,longitude,depth,mag,magType,place\n")
        for k, (la, lo) in enumerate(zip(*events)):
            f.write(f"2024-01-01T00:00:{k % 60:02d}.000Z,{la},{lo},10,4.5,mb,\"region {k % 97}, somewhere\"\n")
    with open(inv, "w") as f:
        f.write("#Network|Station|Latitude|Longitude|Elevation|SiteName|StartTime|EndTime\n")
        for k, (la, lo) in enumerate(zip(*stations)):
            f.write(f"XX|S{k:06d}|{la}|{lo}|100.0|Site {k}|2020-01-01T00:00:00|\n")
    return str(cat), str(inv)


def filter_command(cat, inv, window, kilometres, threads=2):
    return ([filter_program] + (["-k"] if kilometres else []) +
            ["-j", str(threads), "-H", "-S", inv, "-D", "|", "-F", "3,4", "-d", ",", "-f", "2,3",
             "-r", window, cat])


# The README's way before -S: awk writes every pair, the filter keeps the
# near ones.
AWK = ("awk -F '|' 'NR == FNR { if (!/^#/) sta[$2] = $3 \" \" $4; next } FNR > 1 "
       "{ split($0, f, \",\"); for (s in sta) print f[1], s, f[2], f[3], sta[s] }' \"$1\" \"$2\" | "
       "\"$3\" $4 -a -f 3-6 -r \"$5\"")


def awk_way(cat, inv, window, kilometres):
    return ["sh", "-c", AWK, "awk-way", inv, cat, filter_program, "-k" if kilometres else "",
            window]


def run(command):
    subprocess.run(command, stdout=subprocess.DEVNULL, check=True)


def balltree_pyproj(events, stations, km):
    """scikit-learn's haversine BallTree, its radius widened 0.5 % for the
    ellipsoid, then pyproj's geodesic on the candidates."""
    from pyproj import Geod
    from sklearn.neighbors import BallTree

    tree = BallTree(np.radians(np.column_stack(stations)), metric="haversine")
    near = tree.query_radius(np.radians(np.column_stack(events)), r=km * 1.005 / 6371.0088)
    i = np.repeat(np.arange(len(near)), [len(x) for x in near])
    j = np.concatenate(near)
    _, _, metres = Geod(ellps="WGS84").inv(events[1][i], events[0][i], stations[1][j],
                                           stations[0][j])
    keep = metres <= km * 1000
    return i[keep], j[keep]


def dask_pairs(events, stations, km, threads):
    import dask
    import dask.array as da

    eqlat = da.from_array(events[0], chunks=max(1, events[0].size // 16))
    eqlon = da.from_array(events[1], chunks=max(1, events[0].size // 16))
    with dask.config.set(scheduler="threads", num_workers=threads):
        return dask.compute(*ostrem.geodesic_pairs_within(eqlat, eqlon, *stations, km)[:2])


def timed(cases):
    times = {name: [] for name in cases}
    for _ in range(rounds):
        for name, f in cases.items():
            start = time.perf_counter()
            f()
            times[name].append(time.perf_counter() - start)
    return {name: statistics.median(t) for name, t in times.items()}


def have(module):
    try:
        __import__(module)
        return True
    except ImportError:
        return False


def report(title, medians, base):
    print(f"\n{title} (medians of {rounds})")
    for name, t in medians.items():
        print(f"  {name:<52} {t:8.3f} s   {medians[base] / t:7.2f}x of {base}")


def main():
    rng = np.random.default_rng(20261209)
    with tempfile.TemporaryDirectory() as folder:
        # The large tables: 100,000 events x 10,000 stations within 100 km.
        events, stations = catalogue(int(100_000 * scale), rng), inventory(int(10_000 * scale), rng)
        cat, inv = write_tables(folder, events, stations)
        pairs = ostrem.geodesic_pairs_within(*events, *stations, 100.0)
        print(f"{events[0].size} events x {stations[0].size} stations: "
              f"{pairs[0].size} pairs within 100 km")
        cases = {}
        if have("sklearn") and have("pyproj"):
            got = balltree_pyproj(events, stations, 100.0)
            print(f"  BallTree + pyproj finds {got[0].size} of them")
            cases["BallTree + pyproj, one core"] = lambda: balltree_pyproj(events, stations, 100.0)
        cases["ostrem -k -S -j 2, files to /dev/null"] = lambda: run(
            filter_command(cat, inv, "0,100", True))
        cases["ostrem -k -S -j 1"] = lambda: run(filter_command(cat, inv, "0,100", True, 1))
        cases["geodesic_pairs_within, one thread"] = lambda: ostrem.geodesic_pairs_within(
            *events, *stations, 100.0)
        if have("dask"):
            cases["geodesic_pairs_within, Dask 1 thread"] = lambda: dask_pairs(
                events, stations, 100.0, 1)
            cases["geodesic_pairs_within, Dask 2 threads"] = lambda: dask_pairs(
                events, stations, 100.0, 2)
        report("100,000 x 10,000 within 100 km", timed(cases), next(iter(cases)))

        # The small tables: 5,000 x 2,000, against the awk way.
        events, stations = catalogue(int(5_000 * scale), rng), inventory(int(2_000 * scale), rng)
        cat, inv = write_tables(folder, events, stations)
        cases = {
            "awk way, -k within 100 km": lambda: run(awk_way(cat, inv, "0,100", True)),
            "ostrem -k -S within 100 km": lambda: run(filter_command(cat, inv, "0,100", True)),
            "awk way, within 30 degrees": lambda: run(awk_way(cat, inv, "0,30", False)),
            "ostrem -S within 30 degrees": lambda: run(filter_command(cat, inv, "0,30", False)),
        }
        medians = timed(cases)
        report("5,000 x 2,000", medians, "awk way, -k within 100 km")
        print(f"  -S against awk: {medians['awk way, -k within 100 km'] / medians['ostrem -k -S within 100 km']:.1f}x "
              f"within 100 km, {medians['awk way, within 30 degrees'] / medians['ostrem -S within 30 degrees']:.1f}x "
              f"within 30 degrees")


if __name__ == "__main__":
    main()
