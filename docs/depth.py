"""How much the flat formula sqrt(km^2 + depth^2) overstates the hypocentral
distance, for the table of docs/depth.md.

    /usr/bin/python3 docs/depth.py          # rewrites the table in docs/depth.md
    /usr/bin/python3 docs/depth.py --print  # prints it only

Needs the package with the ellipsoid (docs/python.md).  Each pair
runs due east from an epicentre at 35 N (a subduction belt's latitude) for
the given length along the WGS84 geodesic, with the station at the
ellipsoid's surface; the hypocentral distance is ostrem.hypocentral, the
straight line between the earth-centred positions.
"""
import argparse
import pathlib
import re
import sys

import numpy as np

import ostrem

DEPTHS = (10, 100, 600)         # km
APART = (10, 100, 300, 1000)    # km along the surface
START = (35.0, 140.0)


def table():
    rows = ["| depth | " + " | ".join(f"{a:,} km apart" for a in APART) + " |",
            "|--:|" + "--:|" * len(APART)]
    for depth in DEPTHS:
        cells = []
        for apart in APART:
            stlat, stlon = ostrem.geodesic_walk(*START, 90.0, float(apart))
            km, _, _ = ostrem.geodesic(*START, stlat, stlon)
            hypo = ostrem.hypocentral(*START, float(depth), stlat, stlon)
            cells.append(f"{np.hypot(km, depth) - hypo:.2f} km")
        rows.append(f"| {depth} km | " + " | ".join(cells) + " |")
    return "\n".join(rows) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--print", action="store_true", help="print the table; leave docs/depth.md alone")
    text = table()
    if parser.parse_args().print:
        sys.stdout.write(text)
        return
    readme = pathlib.Path(__file__).resolve().parent / "depth.md"
    new, found = re.subn(r"(<!-- depth table -->\n).*?(<!-- end of depth table -->)",
                         lambda m: m[1] + text + m[2], readme.read_text(), flags=re.S)
    if not found:
        sys.exit("docs/depth.md has no depth table markers")
    readme.write_text(new)


if __name__ == "__main__":
    main()
