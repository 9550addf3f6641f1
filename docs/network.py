"""How the network sees an event: a picture of the stations around a few
events, and of the azimuthal gap of a whole catalogue over an inventory.

    ~/ostrem-venv/bin/python docs/network.py      # docs/network.png
    ~/ostrem-venv/bin/python docs/network.py --events 20000 --show

The catalogue and the inventory are bench/pairs.py's synthetic ones (events
on nine seismic belts, stations in dense networks on them and spread over
the continents; here 1,500 stations). For each event, the stations within
250 km along the geodesic: geodesic_network_geometry gives n dmin gap gap2,
the numbers of `ostrem -k -S STATIONS -G -r 0,250`; geodesic_pairs_within
gives the stations drawn.

Needs the package (docs/python.md) and python3-matplotlib.
"""
import argparse
import sys
from pathlib import Path

import numpy as np

import ostrem

here = Path(__file__).resolve().parent
sys.path.insert(0, str(here.parent / "bench"))
from pairs import catalogue, inventory  # noqa: E402  the benchmarks' tables

REACH_KM = 250.0


def largest_gap_wedge(az):
    """Where the largest gap starts and how wide it is (degrees)."""
    a = np.unique(az)
    if a.size < 2:
        return 0.0, 360.0
    steps = np.append(np.diff(a), a[0] + 360 - a[-1])
    k = int(np.argmax(steps))
    return float(a[k]), float(steps[k])


def polar(ax, event, found, geometry):
    i, j, km, az = found
    mine = i == event
    start, width = largest_gap_wedge(az[mine])
    ax.set_theta_zero_location("N")
    ax.set_theta_direction(-1)  # clockwise, as azimuths go
    ax.bar(np.radians(start), REACH_KM, width=np.radians(width), align="edge",
           color="tab:red", alpha=0.18, linewidth=0)
    ax.scatter(np.radians(az[mine]), km[mine], marker="^", s=28, color="tab:blue",
               edgecolor="k", linewidth=0.4, zorder=3)
    ax.set_rmax(REACH_KM)
    ax.set_rticks([100, 200, 250])
    ax.set_yticklabels(["100", "200", "250 km"], fontsize=7)
    ax.tick_params(axis="x", labelsize=7)
    n, dmin, gap, gap2 = (g[event] for g in geometry)
    ax.set_title(f"n {n}  dmin {dmin:.1f} km\ngap {gap:.1f}°  gap2 {gap2:.1f}°", fontsize=9)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--events", type=int, default=20000)
    parser.add_argument("--stations", type=int, default=1500)
    parser.add_argument("--show", action="store_true")
    parser.add_argument("--out", default=str(here / "network.png"))
    args = parser.parse_args()

    import matplotlib

    if not args.show:
        matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    rng = np.random.default_rng(20261209)
    eqlat, eqlon = catalogue(args.events, rng)
    stlat, stlon = inventory(args.stations, rng)
    geometry = ostrem.geodesic_network_geometry(eqlat, eqlon, stlat, stlon, REACH_KM)
    i, j, km, az, _ = ostrem.geodesic_pairs_within(eqlat, eqlon, stlat, stlon, REACH_KM)
    n, _, gap, _ = geometry

    # Three events: well surrounded, at a network's edge, and far off it.
    def first(condition):
        return int(np.flatnonzero(condition)[0])

    shown = [first((n >= 12) & (gap < 60)), first((n >= 8) & (gap > 150) & (gap < 220)),
             first((n >= 3) & (gap > 290))]

    fig = plt.figure(figsize=(11, 8.5))
    for k, event in enumerate(shown):
        ax = fig.add_subplot(2, 3, k + 1, projection="polar")
        polar(ax, event, (i, j, km, az), geometry)
        ax.text(0.5, -0.16, f"event at {eqlat[event]:.2f}, {eqlon[event]:.2f}",
                transform=ax.transAxes, ha="center", fontsize=8)
    ax = fig.add_subplot(2, 1, 2)
    ax.scatter(stlon, stlat, s=1, color="0.6", marker="^", label="stations")
    covered = n > 0
    dots = ax.scatter(eqlon[covered], eqlat[covered], c=gap[covered], s=3, cmap="viridis_r",
                      vmin=0, vmax=360, label="events, by gap")
    ax.scatter(eqlon[~covered], eqlat[~covered], s=3, color="tab:red",
               label=f"no station within {REACH_KM:.0f} km")
    ax.set_xlim(-180, 180)
    ax.set_ylim(-90, 90)
    ax.set_aspect("equal")
    ax.set_xlabel("longitude")
    ax.set_ylabel("latitude")
    ax.legend(loc="lower left", fontsize=7, markerscale=3)
    fig.colorbar(dots, ax=ax, shrink=0.8, label="azimuthal gap (degrees)")
    ax.set_title(f"{args.events:,} events over {args.stations:,} stations: the gap of the stations within "
                 f"{REACH_KM:.0f} km", fontsize=10)
    fig.suptitle("How the network sees an event: the stations around three events, the largest "
                 "gap shaded", fontsize=11)
    fig.tight_layout()
    if args.show:
        plt.show()
    else:
        fig.savefig(args.out, dpi=90)
        print(f"wrote {args.out}")


if __name__ == "__main__":
    main()
