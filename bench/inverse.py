"""The ellipsoid's inverse problem at each lane width, side by side with its
peers in one run; medians.

    /usr/bin/python3 bench/inverse.py [build dir] [old filter]

- ostrem.geodesic against pyproj's Geod.inv, per pair, one core, over 10^6
  random pairs, in each lane width the processor runs (OSTREM_LANES, one
  process each, pyproj timed in the same process);
- `ostrem -k -j 1` on 10^6 random pairs, and `-S -k -j 2 -r 0,100` on
  bench/pairs.py's catalogue and inventory, against an older build of the
  filter (OLD, default /tmp/old140/build/ostrem) where there is one.

ROUNDS (default 5) and PAIRS (default 10^6) change the work.
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
old = sys.argv[2] if len(sys.argv) > 2 else os.environ.get("OLD", "/tmp/old140/build/ostrem")
rounds = int(os.environ.get("ROUNDS", 5))
pairs = int(os.environ.get("PAIRS", 1000000))


def random_pairs(n, seed=20261209):
    rng = np.random.default_rng(seed)
    lat = np.degrees(np.arcsin(rng.uniform(-1, 1, (2, n))))
    lon = rng.uniform(-180, 180, (2, n))
    return lat[0], lon[0], lat[1], lon[1]


def ufunc_child():
    """In a child: ns a pair for ostrem.geodesic and pyproj, side by side."""
    import ostrem
    from pyproj import Geod

    a, b, c, d = random_pairs(pairs)
    geod = Geod(ellps="WGS84")
    ours, theirs = [], []
    for _ in range(rounds):
        t = time.perf_counter()
        ostrem.geodesic(a, b, c, d)
        ours.append(time.perf_counter() - t)
        t = time.perf_counter()
        geod.inv(b, a, d, c)
        theirs.append(time.perf_counter() - t)
    print(statistics.median(ours) / pairs * 1e9, statistics.median(theirs) / pairs * 1e9)


def timed(commands, stdin_path=None):
    """Median seconds of each command, interleaved."""
    times = [[] for _ in commands]
    for _ in range(rounds):
        for k, command in enumerate(commands):
            with open(stdin_path or os.devnull, "rb") as stdin:
                t = time.perf_counter()
                subprocess.run(command, stdin=stdin, stdout=subprocess.DEVNULL, check=True)
                times[k].append(time.perf_counter() - t)
    return [statistics.median(x) for x in times]


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "--child":
        ufunc_child()
        return
    print("| lanes | ostrem.geodesic, ns a pair | pyproj Geod.inv, ns a pair | faster by |")
    print("|---|--:|--:|--:|")
    for lanes in ("avx2", "sse2", "scalar", "neon"):
        env = dict(os.environ, OSTREM_LANES=lanes)
        probe = subprocess.run([sys.executable, "-c", "import sys, ostrem._ufuncs as u; "
                                f"sys.exit(u.lanes != '{lanes}')"], env=env)
        if probe.returncode != 0:
            continue
        out = subprocess.run([sys.executable, __file__, "--child"], env=env, capture_output=True,
                             text=True, check=True).stdout.split()
        ours, theirs = float(out[0]), float(out[1])
        print(f"| {lanes} | {ours:.0f} | {theirs:.0f} | {theirs / ours:.2f}x |")

    program = str(build / "ostrem")
    if not Path(old).exists():
        print(f"no older filter at {old}: the filter's rates are left out")
        return
    with tempfile.TemporaryDirectory() as folder:
        a, b, c, d = random_pairs(pairs)
        lines = Path(folder, "pairs.txt")
        np.savetxt(lines, np.column_stack([a, b, c, d]), fmt="%.4f")
        new_s, old_k = timed([[program, "-k", "-j", "1", str(lines)], [old, "-k", "-j", "1", str(lines)]])
        old_s = old_k
        print()
        print("| run | this build, s | older build, s | lines/s | faster by |")
        print("|---|--:|--:|--:|--:|")
        print(f"| `ostrem -k -j 1`, {pairs:,} pairs | {new_s:.3f} | {old_s:.3f} | "
              f"{pairs / new_s:,.0f} | {old_s / new_s:.2f}x |")

        sys.path.insert(0, str(here))
        import pairs as tables  # bench/pairs.py

        rng = np.random.default_rng(20250101)
        cat, inv = tables.write_tables(folder, tables.catalogue(100000, rng), tables.inventory(10000, rng))
        tables.filter_program = program
        new_cmd = tables.filter_command(cat, inv, "0,100", True, threads=2)
        tables.filter_program = old
        old_cmd = tables.filter_command(cat, inv, "0,100", True, threads=2)
        new_s, old_s = timed([new_cmd, old_cmd])
        print(f"| `-S -k -j 2 -r 0,100`, 100,000 x 10,000 | {new_s:.3f} | {old_s:.3f} | | "
              f"{old_s / new_s:.2f}x |")
        for lanes in ("sse2", "scalar"):
            env = dict(os.environ, OSTREM_LANES=lanes)
            t = []
            for _ in range(rounds):
                s = time.perf_counter()
                subprocess.run([program, "-k", "-j", "1", str(lines)], stdout=subprocess.DEVNULL,
                               env=env, check=True)
                t.append(time.perf_counter() - s)
            print(f"| `ostrem -k -j 1` in {lanes} alone | {statistics.median(t):.3f} | | "
                  f"{pairs / statistics.median(t):,.0f} | {old_k / statistics.median(t):.2f}x |")


if __name__ == "__main__":
    main()
