"""When the waves arrive, timed: ostrem.travel_times over a million pairs
whose events have a thousand distinct depths (the figure to set against
ObsPy's 8.4 ms a call for the first P, measured on this machine, which
cannot install it), and the filter's -P beside the same pairs without it,
on bench/pairs.py's catalogue and inventory; side by side in one run,
medians.

    /usr/bin/python3 bench/travel.py [build dir]      (default: build/bench)
    ROUNDS=5 SCALE=1 /usr/bin/python3 bench/travel.py

Needs the package installed (README).
"""
import os
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import numpy as np

import ostrem

here = Path(__file__).resolve().parent
sys.path.insert(0, str(here))
from pairs import catalogue, filter_command, inventory, timed, write_tables  # noqa: E402

rounds = int(os.environ.get("ROUNDS", 5))
scale = float(os.environ.get("SCALE", 1))
OBSPY_FIRST_P = 8.4e-3  # s a call, ObsPy 1.5's get_travel_times for the first P at a fixed depth


def python_side():
    rng = np.random.default_rng(20261211)
    n = int(1_000_000 * scale)
    depths = rng.uniform(0, 700, 1000).round(3)
    depth = np.repeat(depths, n // 1000)
    distance = rng.uniform(0, 180, depth.size)
    start = time.perf_counter()
    ostrem.travel_times(1.0, 1.0, "P")  # the model, sampled once a process
    model = time.perf_counter() - start
    medians = timed({
        "P": lambda: ostrem.travel_times(distance, depth, "P"),
        "P and S": lambda: ostrem.travel_times(distance, depth, "P,S"),
        "one pair a call": lambda: [ostrem.travel_times(60.0, 10.0, "P") for _ in range(1000)],
    })
    print(f"travel_times, {depth.size} pairs, 1000 distinct depths (medians of {rounds}; "
          f"the model sampled once: {model:.3f} s)")
    for name in ("P", "P and S"):
        per_pair = medians[name] / depth.size
        print(f"  {name:<10} {medians[name]:8.3f} s  {per_pair * 1e6:7.3f} us a pair  "
              f"{OBSPY_FIRST_P / per_pair:9.0f}x ObsPy's 8.4 ms")
    print(f"  one pair a call: {medians['one pair a call'] / 1000 * 1e6:.1f} us a call")


def filter_side(build):
    program = str(build / "ostrem")
    rng = np.random.default_rng(20261209)
    with tempfile.TemporaryDirectory() as folder:
        events = catalogue(int(100_000 * scale), rng)
        stations = inventory(int(10_000 * scale), rng)
        cat, inv = write_tables(folder, events, stations)
        # The same catalogue with a depth of its own for each event (to 0.1 km).
        lines = Path(cat).read_text().splitlines()
        depth = np.round(rng.uniform(0, 700, len(lines) - 1), 1)
        distinct = Path(folder, "distinct.csv")
        distinct.write_text("\n".join([lines[0]] + [
            ",".join(f if k != 3 else str(z) for k, f in enumerate(line.split(",", 4)))
            for line, z in zip(lines[1:], depth)]) + "\n")
        cases = {}
        for threads in (2, 1):
            base = filter_command(cat, inv, "0,100", True, threads)
            base[0] = program
            cases[f"-S -k -r 0,100, -j {threads}"] = base
            cases[f"  with -z 4 -P P,S, -j {threads}"] = base[:-1] + ["-z", "4", "-P", "P,S", cat]
        cases["  distinct depths, -j 2"] = base[:-1] + ["-z", "4", "-P", "P,S", str(distinct)]
        cases["  distinct depths, -j 2"][3] = "2"
        medians = timed({name: (lambda c=c: subprocess.run(c, stdout=subprocess.DEVNULL, check=True))
                         for name, c in cases.items()})
        print(f"\nthe filter, {events[0].size} x {stations[0].size} within 100 km (medians of {rounds})")
        for name, t in medians.items():
            threads = name[-1]
            ratio = t / medians[f"-S -k -r 0,100, -j {threads}"]
            print(f"  {name:<34} {t:8.3f} s  {ratio:6.2f}x the pairs alone")


def main():
    build = Path(sys.argv[1]) if len(sys.argv) > 1 else here.parent / "build" / "bench"
    python_side()
    filter_side(build)


if __name__ == "__main__":
    main()
