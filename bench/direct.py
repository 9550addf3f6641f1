"""The ellipsoid's direct problem, side by side with its peers in one run;
medians.

    /usr/bin/python3 bench/direct.py [build dir] [old filter] [old python]

- ostrem.geodesic_walk against pyproj's Geod.fwd, per point, one core, over
  10^6 random walks, in each lane width the processor runs (OSTREM_LANES,
  one process each, pyproj timed in the same process);
- ostrem.geodesic_midpoint against an older build's (OLD_PYTHON, a Python
  with that build's package, default /tmp/oldvenv/bin/python), per pair;
- `ostrem -k -n 100 -j 1` on 10,000 random pairs, and `-k -m`, `-k -w` on
  10^6 lines, against an older build of the filter (OLD, default
  /tmp/old170/build/ostrem).

ROUNDS (default 5) and POINTS (default 10^6) change the work.
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import numpy as np

here = Path(__file__).resolve().parent
build = Path(sys.argv[1]) if len(sys.argv) > 1 else here.parent / "build" / "bench"
old = sys.argv[2] if len(sys.argv) > 2 else os.environ.get("OLD", "/tmp/old170/build/ostrem")
old_python = sys.argv[3] if len(sys.argv) > 3 else os.environ.get("OLD_PYTHON", "/tmp/oldvenv/bin/python")
rounds = int(os.environ.get("ROUNDS", 5))
points = int(os.environ.get("POINTS", 1000000))


def random_walks(n, seed=20261210):
    rng = np.random.default_rng(seed)
    lat = np.degrees(np.arcsin(rng.uniform(-1, 1, (2, n))))
    lon = rng.uniform(-180, 180, (2, n))
    azimuth = rng.uniform(0, 360, n)
    km = rng.uniform(0, 20000, n)
    return lat[0], lon[0], azimuth, km, lat[1], lon[1]


def median_ns(f, n):
    times = []
    for _ in range(rounds):
        t = time.perf_counter()
        f()
        times.append(time.perf_counter() - t)
    return statistics.median(times) / n * 1e9


def walk_child():
    """In a child: ns a point for ostrem.geodesic_walk and pyproj's fwd, and
    ns a pair for ostrem.geodesic_midpoint, side by side."""
    import ostrem
    from pyproj import Geod

    lat, lon, azimuth, km, lat2, lon2 = random_walks(points)
    geod = Geod(ellps="WGS84")
    metres = km * 1000
    ours = median_ns(lambda: ostrem.geodesic_walk(lat, lon, azimuth, km), points)
    theirs = median_ns(lambda: geod.fwd(lon, lat, azimuth, metres), points)
    middle = median_ns(lambda: ostrem.geodesic_midpoint(lat, lon, lat2, lon2), points)
    print(ours, theirs, middle)


def midpoint_child():
    """In a child, whatever package it imports: ns a pair for geodesic_midpoint."""
    import ostrem

    lat, lon, _, _, lat2, lon2 = random_walks(points)
    print(median_ns(lambda: ostrem.geodesic_midpoint(lat, lon, lat2, lon2), points))


def child(python, role, lanes=None):
    env = dict(os.environ)
    if lanes:
        env["OSTREM_LANES"] = lanes
    out = subprocess.run([python, __file__, role], env=env, check=True, capture_output=True, text=True)
    return [float(x) for x in out.stdout.split()]


def timed(commands, stdin_path):
    """Median seconds of each command, interleaved."""
    times = [[] for _ in commands]
    for _ in range(rounds):
        for k, command in enumerate(commands):
            with open(stdin_path) as given:
                t = time.perf_counter()
                subprocess.run(command, stdin=given, stdout=subprocess.DEVNULL, check=True)
                times[k].append(time.perf_counter() - t)
    return [statistics.median(t) for t in times]


def main():
    if len(sys.argv) > 1 and sys.argv[1] in ("walk-child", "midpoint-child"):
        (walk_child if sys.argv[1] == "walk-child" else midpoint_child)()
        return
    print("ostrem.geodesic_walk against pyproj Geod.fwd, ns a point; geodesic_midpoint, ns a pair")
    for lanes in ("scalar", "sse2", "avx2"):
        ours, theirs, middle = child(sys.executable, "walk-child", lanes)
        print(f"  {lanes:6} walk {ours:7.1f}  pyproj {theirs:7.1f}  {theirs / ours:5.2f}x faster;"
              f"  midpoint {middle:7.1f}")
    if Path(old_python).exists():
        (new_middle,) = child(sys.executable, "midpoint-child")
        (old_middle,) = child(old_python, "midpoint-child")
        print(f"  geodesic_midpoint {new_middle:.1f} ns against the old build's {old_middle:.1f}: "
              f"{old_middle / new_middle:.2f}x faster")
    if not Path(old).exists():
        print(f"no older filter at {old}: the filter's rows are left out")
        return
    new = str(build / "ostrem")
    with tempfile.TemporaryDirectory() as tmp:
        lat, lon, azimuth, km, lat2, lon2 = random_walks(points)
        pairs_path, walks_path, few_path = (os.path.join(tmp, n) for n in ("pairs", "walks", "few"))
        np.savetxt(pairs_path, np.column_stack([lat, lon, lat2, lon2]), fmt="%.6f")
        np.savetxt(walks_path, np.column_stack([lat, lon, azimuth, km]), fmt="%.6f")
        np.savetxt(few_path, np.column_stack([lat, lon, lat2, lon2])[:10000], fmt="%.6f")
        for name, args, path, lines in (("-k -n 100", ["-k", "-n", "100"], few_path, 10000),
                                        ("-k -m", ["-k", "-m"], pairs_path, points),
                                        ("-k -w", ["-k", "-w"], walks_path, points)):
            t_new, t_old = timed([[new, "-j", "1", *args], [old, "-j", "1", *args]], path)
            print(f"  {name:10} {lines / t_new:12,.0f} lines/s against {lines / t_old:12,.0f}: "
                  f"{t_old / t_new:.2f}x the rate ({t_new:.3f} s, {t_old:.3f} s)")


if __name__ == "__main__":
    main()
