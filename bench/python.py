"""Nanoseconds per pair for the Python ufuncs (the WGS84 geodesic among
them), beside the C library called in a loop over the same arrays, pyproj's
Geod.inv on WGS84 and on a sphere, and Dask with two threads against one: all over the same 10^6 random pairs
from the whole globe, timed in interleaved rounds in one run; medians.

    /usr/bin/python3 bench/python.py [build dir]      (default: build/bench)
    ROUNDS=7 PAIRS=1000000 /usr/bin/python3 bench/python.py

Needs the package installed (README), the bench build (for c_loop),
python3-pyproj and python3-dask; a missing peer is left out.
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
n = int(os.environ.get("PAIRS", 1_000_000))
rounds = int(os.environ.get("ROUNDS", 7))

rng = np.random.default_rng(20261208)
# Uniform over the sphere's area, not over latitude: random global pairs.
lat1 = np.degrees(np.arcsin(rng.uniform(-1, 1, n)))
lat2 = np.degrees(np.arcsin(rng.uniform(-1, 1, n)))
lon1 = rng.uniform(-180, 180, n)
lon2 = rng.uniform(-180, 180, n)
cols32 = [a.astype(np.float32) for a in (lat1, lon1, lat2, lon2)]

cases = {
    "ostrem.ostrem, float64 in": lambda: ostrem.ostrem(lat1, lon1, lat2, lon2),
    "ostrem.ostrem, float32 in": lambda: ostrem.ostrem(*cols32),
    "ostrem.midpoint, float64 in": lambda: ostrem.midpoint(lat1, lon1, lat2, lon2),
}
if ostrem._ufuncs.has_ellipsoid:
    cases["ostrem.geodesic (WGS84)"] = lambda: ostrem.geodesic(lat1, lon1, lat2, lon2)
try:
    from pyproj import Geod
    wgs84, sphere = Geod(ellps="WGS84"), Geod(ellps="sphere")
    cases["pyproj Geod(ellps='WGS84').inv"] = lambda: wgs84.inv(lon1, lat1, lon2, lat2)
    cases["pyproj Geod(ellps='sphere').inv"] = lambda: sphere.inv(lon1, lat1, lon2, lat2)
except ImportError:
    print("pyproj missing: left out", file=sys.stderr)
try:
    import dask
    import dask.array as da
    chunks = n // 8
    darr = [da.from_array(a, chunks=chunks) for a in (lat1, lon1, lat2, lon2)]

    def on_dask(threads):
        def run():
            with dask.config.set(scheduler="threads", num_workers=threads):
                dask.compute(*ostrem.ostrem(*darr))
        return run
    cases["Dask, 1 thread"] = on_dask(1)
    cases["Dask, 2 threads"] = on_dask(2)

    def geodesic_on_dask(threads):
        def run():
            with dask.config.set(scheduler="threads", num_workers=threads):
                dask.compute(*ostrem.geodesic(*darr))
        return run
    if ostrem._ufuncs.has_ellipsoid:
        cases["Dask geodesic, 1 thread"] = geodesic_on_dask(1)
        cases["Dask geodesic, 2 threads"] = geodesic_on_dask(2)
except ImportError:
    print("dask missing: left out", file=sys.stderr)

c_loop = build / "bench" / "c_loop"
times = {name: [] for name in cases}
with tempfile.NamedTemporaryFile(suffix=".f32") as f:
    np.concatenate(cols32).tofile(f.name)
    if c_loop.exists():
        times["C library in a loop"] = []
        times["C library in a loop, midpoint"] = []
    for _ in range(rounds):
        for name, fn in cases.items():
            t0 = time.perf_counter()
            fn()
            times[name].append((time.perf_counter() - t0) / n * 1e9)
        if c_loop.exists():
            for name, extra in [("C library in a loop", []),
                                ("C library in a loop, midpoint", ["midpoint"])]:
                out = subprocess.run([str(c_loop), f.name, str(n), "1", *extra],
                                     check=True, capture_output=True, text=True).stdout
                times[name].append(float(out))

med = {name: statistics.median(t) for name, t in times.items()}
# Two threads against one, round by round: the machine's load drifts
# between rounds more than within one.
def thread_ratio(prefix):
    if prefix + ", 2 threads" not in times:
        return None
    return statistics.median(
        a / b for a, b in zip(times[prefix + ", 1 thread"], times[prefix + ", 2 threads"]))


dask_ratio = thread_ratio("Dask")
geodesic_ratio = thread_ratio("Dask geodesic")
print(f"{n} random global pairs, {rounds} interleaved rounds, median ns per pair")
for name, t in med.items():
    print(f"  {name:34s} {t:8.1f}")


def ratio(label, a, b):
    if a in med and b in med:
        print(f"  {label:50s} {med[a] / med[b]:6.2f}")


print("ratios")
ratio("ostrem.ostrem (float64 in) / C loop", "ostrem.ostrem, float64 in", "C library in a loop")
ratio("ostrem.ostrem (float32 in) / C loop", "ostrem.ostrem, float32 in", "C library in a loop")
ratio("ostrem.midpoint / C loop", "ostrem.midpoint, float64 in", "C library in a loop, midpoint")
ratio("pyproj WGS84 / ostrem.ostrem", "pyproj Geod(ellps='WGS84').inv", "ostrem.ostrem, float64 in")
ratio("pyproj sphere / ostrem.ostrem", "pyproj Geod(ellps='sphere').inv", "ostrem.ostrem, float64 in")
ratio("pyproj WGS84 / ostrem.geodesic", "pyproj Geod(ellps='WGS84').inv", "ostrem.geodesic (WGS84)")
if dask_ratio:
    print(f"  {'Dask throughput, 2 threads / 1 (median of rounds)':50s} {dask_ratio:6.2f}")
if geodesic_ratio:
    print(f"  {'Dask geodesic, 2 threads / 1 (median of rounds)':50s} {geodesic_ratio:6.2f}")
