"""When the waves arrive: the travel-time curves of the main phases in
IASP91, from a source at the surface and at 600 km, as ostrem.arrivals
gives them (every arrival, each triplication's branches too).

    ~/ostrem-venv/bin/python docs/travel.py      # docs/travel.png
    ~/ostrem-venv/bin/python docs/travel.py --show

Needs the package (docs/python.md) and python3-matplotlib.
"""
import argparse
from pathlib import Path

import numpy as np

import ostrem

here = Path(__file__).resolve().parent
PHASES = ["p", "P", "pP", "PP", "PcP", "Pdiff", "PKP", "PKIKP", "PKiKP",
          "s", "S", "sS", "SS", "ScS", "Sdiff", "SKS", "SKKS", "ScP"]


def curves(depth_km, distance):
    """Every arrival of every phase: distance, time, phase."""
    found = ostrem.arrivals(distance, depth_km, ",".join(PHASES))
    return distance[np.asarray(found["element"])], np.asarray(found["time"]), np.asarray(found["phase"])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--show", action="store_true", help="show the figure instead of writing it")
    args = parser.parse_args()
    import matplotlib
    if not args.show:
        matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    distance = np.linspace(0, 180, 721)
    colours = dict(zip(PHASES, plt.get_cmap("tab20").colors + plt.get_cmap("tab20b").colors))
    fig, axes = plt.subplots(1, 2, figsize=(12, 6.5), sharey=True)
    for ax, depth in zip(axes, [0.0, 600.0]):
        d, t, phase = curves(depth, distance)
        for name in PHASES:
            mine = phase == name
            if mine.any():
                ax.scatter(d[mine], t[mine] / 60, s=1.5, color=colours[name], label=name)
        ax.set_title(f"IASP91, source at {depth:.0f} km")
        ax.set_xlabel("distance (degrees)")
        ax.set_xlim(0, 180)
        ax.grid(alpha=0.3)
    axes[0].set_ylabel("time after the origin (minutes)")
    axes[0].set_ylim(0, 40)
    axes[1].legend(markerscale=6, fontsize=8, ncol=2, loc="lower right")
    fig.tight_layout()
    if args.show:
        plt.show()
    else:
        fig.savefig(here / "travel.png", dpi=110)


if __name__ == "__main__":
    main()
