"""How far the model is from the WGS84 ellipsoid, measured on seeded pairs.

    /usr/bin/python3 docs/accuracy.py            # 10^6 pairs: docs/accuracy.png, the table of docs/computing.md
    /usr/bin/python3 docs/accuracy.py --pairs 20000 --no-write

Compares, on the same float32 coordinates the package receives:
  * dist with the angle between the two points' position vectors on the
    WGS84 ellipsoid (earth-centred coordinates, angle by atan2 of the cross
    and dot products), written here independently of the module;
  * dist times the mean earth radius with the WGS84 geodesic length, and az
    and baz with the geodesic azimuths (GeographicLib's Geodesic.WGS84);
  * the same distance on a plain sphere that skips the latitude conversion,
    against the position-vector angle;
  * walk (the direct problem) from each pair's first point along az for
    dist, against the WGS84 geodesic from the same point along the same
    azimuth for dist times the mean earth radius (GeographicLib's Direct):
    how far apart, in km, the two paths end;
  * for points under 10 km apart with coordinates typed to 5 decimals, az
    from float32 coordinates (the default) and in double precision
    (dtype=np.float64), each against the geodesic azimuth.

Needs the package (docs/python.md), python3-numpy and python3-geographiclib; the
figure needs python3-matplotlib.
"""
import argparse
import re
import sys
from concurrent.futures import ProcessPoolExecutor
from pathlib import Path

import numpy as np

import ostrem

A = 6378137.0                      # WGS84 equatorial radius, m
F = 1 / 298.257223563              # WGS84 flattening
E2 = F * (2 - F)                   # first eccentricity squared
R1 = (2 * A + A * (1 - F)) / 3     # mean earth radius (2a + b) / 3, m
HERE = Path(__file__).resolve().parent


def sample(n, seed=20261208):
    """Seeded pairs as float32 (eqlat, eqlon, stlat, stlon): 40% uniform over
    the globe, 20% with both ends within 10 degrees of a pole (exact poles
    among them), 20% under 1 degree apart, 20% over 170 degrees apart."""
    rng = np.random.default_rng(seed)
    k = [int(n * 0.4), int(n * 0.2), int(n * 0.2)]
    k.append(n - sum(k))

    def globe(m):
        return np.degrees(np.arcsin(rng.uniform(-1, 1, m))), rng.uniform(-180, 180, m)

    def offset(lat, lon, lo, hi):
        # A point lo..hi degrees of arc away, in a random direction (on a sphere).
        d, b = np.radians(rng.uniform(lo, hi, lat.size)), rng.uniform(0, 2 * np.pi, lat.size)
        p, l = np.radians(lat), np.radians(lon)
        p2 = np.arcsin(np.clip(np.sin(p) * np.cos(d) + np.cos(p) * np.sin(d) * np.cos(b), -1, 1))
        l2 = l + np.arctan2(np.sin(b) * np.sin(d) * np.cos(p), np.cos(d) - np.sin(p) * np.sin(p2))
        return np.degrees(p2), (np.degrees(l2) + 180) % 360 - 180

    parts = []
    a, b = globe(k[0])
    c, d = globe(k[0])
    parts.append((a, b, c, d))
    side = np.where(rng.random(k[1]) < 0.5, 1.0, -1.0)
    polar = [side * rng.uniform(80, 90, k[1]), rng.uniform(-180, 180, k[1]),
             side * rng.uniform(80, 90, k[1]), rng.uniform(-180, 180, k[1])]
    polar[0][::50] = side[::50] * 90.0                     # exact poles
    parts.append(tuple(polar))
    a, b = globe(k[2])
    parts.append((a, b) + offset(a, b, 0, 1))
    a, b = globe(k[3])
    c, d = offset(-a, b + 180, 0, 10)                      # within 10 of the antipode
    parts.append((a, b, c, d))
    return tuple(np.concatenate(col).astype(np.float32) for col in zip(*parts))


def ecef(lat, lon):
    """Earth-centred coordinates (m) of geodetic points on the WGS84 ellipsoid."""
    p, l = np.radians(lat), np.radians(lon)
    n = A / np.sqrt(1 - E2 * np.sin(p) ** 2)
    return np.stack([n * np.cos(p) * np.cos(l), n * np.cos(p) * np.sin(l),
                     n * (1 - E2) * np.sin(p)])


def vector_angle(u, v):
    """Angle (degrees) between position vectors: atan2(|u x v|, u . v) is
    accurate at every angle, unlike acos of the normalised dot product."""
    return np.degrees(np.arctan2(np.linalg.norm(np.cross(u, v, axis=0), axis=0),
                                 np.einsum("i...,i...", u, v)))


def plain_sphere(lat1, lon1, lat2, lon2):
    """The distance (degrees) with geographic latitudes used as they are."""
    def unit(lat, lon):
        p, l = np.radians(lat), np.radians(lon)
        return np.stack([np.cos(p) * np.cos(l), np.cos(p) * np.sin(l), np.sin(p)])
    return vector_angle(unit(lat1, lon1), unit(lat2, lon2))


def _geodesics(rows):
    from geographiclib.geodesic import Geodesic
    g, mask = Geodesic.WGS84, Geodesic.DISTANCE | Geodesic.AZIMUTH
    out = np.empty((len(rows), 3))
    for i, (a, b, c, d) in enumerate(rows):
        r = g.Inverse(a, b, c, d, mask)
        out[i] = r["s12"], r["azi1"], r["azi2"]
    return out


def _directs(rows):
    from geographiclib.geodesic import Geodesic
    g = Geodesic.WGS84
    out = np.empty((len(rows), 2))
    for i, (a, b, c, d) in enumerate(rows):
        r = g.Direct(a, b, c, d, Geodesic.LATITUDE | Geodesic.LONGITUDE)
        out[i] = r["lat2"], r["lon2"]
    return out


def _in_parallel(fn, cols, workers):
    rows = np.column_stack(cols).astype(np.float64).tolist()
    if workers == 1 or len(rows) < 20000:
        return fn(rows).T
    step = -(-len(rows) // (4 * workers))
    with ProcessPoolExecutor(workers) as pool:
        parts = pool.map(fn, [rows[i:i + step] for i in range(0, len(rows), step)])
        return np.concatenate(list(parts)).T


def geodesics(cols, workers=2):
    """WGS84 geodesic length (m), azimuth at 1 and forward azimuth at 2."""
    return _in_parallel(_geodesics, cols, workers)


def directs(lat, lon, az, metres, workers=2):
    """Where the WGS84 geodesic from (lat, lon) along az for metres ends."""
    return _in_parallel(_directs, (lat, lon, az, metres), workers)


def turn(x):
    """An angle difference (degrees) brought into [-180, 180)."""
    return (x + 180) % 360 - 180


def compare(cols, workers=2):
    """Every difference, per pair, and what was left out of the directions."""
    lat1, lon1, lat2, lon2 = (c.astype(np.float64) for c in cols)
    with np.errstate(invalid="raise"):
        dist, az, baz = (x.astype(np.float64) for x in ostrem.ostrem(*cols))
    ref = vector_angle(ecef(lat1, lon1), ecef(lat2, lon2))
    s12, azi1, azi2 = geodesics(cols, workers)
    km, geo_km = np.radians(dist) * R1 / 1000, s12 / 1000
    # The walk from the first point along the pair's own float32 az for its
    # dist, and the geodesic for the same start, azimuth and length.
    with np.errstate(invalid="raise"):
        wlat, wlon = (x.astype(np.float64) for x in ostrem.walk(cols[0], cols[1], az, dist))
    glat, glon = directs(lat1, lon1, az, np.radians(dist) * R1, workers)
    walk_km = np.linalg.norm(ecef(wlat, wlon) - ecef(glat, glon), axis=0) / 1000
    # Directions are undefined between coincident and antipodal points, and
    # at an exact pole each model has its own convention.
    over_10km = geo_km > 10.0
    directed = (dist > 1e-4) & (dist < 179.9) & (np.abs(lat1) < 90) & (np.abs(lat2) < 90)
    return {
        "dist": dist, "lat1": lat1, "lat2": lat2, "directed": directed,
        "dist_vs_vector": dist - ref,
        "sphere_vs_vector": plain_sphere(lat1, lon1, lat2, lon2) - ref,
        "km_vs_geodesic": km - geo_km,
        "walk_vs_direct": walk_km,
        # Relative only over 10 km: below, float32 coordinates (a metre or
        # so) and acos's resolution near 0 dominate any ratio.
        "rel_vs_geodesic": (km[over_10km] - geo_km[over_10km]) / geo_km[over_10km],
        "az_vs_geodesic": turn(az - azi1),
        "baz_vs_geodesic": turn(baz - (azi2 + 180)),
    }


def short_range(n, seed=20261209):
    """Pairs under 10 km apart (log-uniform from 10 m), with every
    coordinate typed to 5 decimals as station tables give them, away from
    the poles: az from float32 coordinates, az in double precision, and
    the geodesic azimuth, with the geodesic length (m)."""
    rng = np.random.default_rng(seed)
    lat = np.degrees(np.arcsin(rng.uniform(-0.98, 0.98, n)))
    lon = rng.uniform(-180, 180, n)
    metres = 10 ** rng.uniform(1, 4, n)
    b = rng.uniform(0, 360, n)
    lat2, lon2 = directs(lat, lon, b, metres)
    cols = [np.round(c, 5) for c in (lat, lon, lat2, lon2)]
    with np.errstate(invalid="raise"):
        az32 = ostrem.ostrem(*cols)[1].astype(np.float64)
        az64 = ostrem.ostrem(*cols, dtype=np.float64)[1]
    s12, azi1, _ = geodesics(cols)
    return {"m": s12, "float32": turn(az32 - azi1), "float64": turn(az64 - azi1)}


SHORT_CLASSES = [(10, 100), (100, 1000), (1000, 10000)]  # metres


def short_table(sr):
    lines = ["Azimuths between points under 10 km apart, coordinates typed to 5 "
             f"decimals ({sr['m'].size:,} seeded pairs), against the geodesic azimuth "
             "(degrees):", "",
             "| apart | pairs | float32 (default), 99th percentile | maximum "
             "| float64, 99th percentile | maximum |",
             "|---|--:|--:|--:|--:|--:|"]
    for lo, hi in SHORT_CLASSES:
        m = (sr["m"] >= lo) & (sr["m"] < hi)
        a, d = np.abs(sr["float32"][m]), np.abs(sr["float64"][m])
        name = lambda v: f"{v:g} m" if v < 1000 else f"{v / 1000:g} km"
        lines.append(f"| {name(lo)} to {name(hi)} | {m.sum():,} | {np.percentile(a, 99):.3g} | "
                     f"{a.max():.3g} | {np.percentile(d, 99):.3g} | {d.max():.3g} |")
    return "\n".join(lines)


ROWS = [  # key, label, unit, scale, only where directions are defined
    ("dist_vs_vector", "`dist` − position-vector angle", "degrees", 1, False),
    ("dist_excess", "the same, beyond half a float32 step of `dist` (0 if within)", "degrees", 1, False),
    ("sphere_vs_vector", "plain sphere (no latitude conversion) − position-vector angle", "degrees", 1, False),
    ("km_vs_geodesic", "`dist` × 6371.0088 km − WGS84 geodesic", "km", 1, False),
    ("rel_vs_geodesic", "the same, relative, over 10 km", "%", 100, False),
    ("walk_vs_direct", "`walk` along `az` for `dist` − WGS84 geodesic for dist × 6371.0088 km "
     "(end points apart)", "km", 1, False),
    ("az_vs_geodesic", "`az` − geodesic azimuth", "degrees", 1, True),
    ("baz_vs_geodesic", "`baz` − geodesic back-azimuth", "degrees", 1, True),
]


def summary(r):
    """Median, 99th percentile and maximum of each absolute difference."""
    out = {}
    r = dict(r, dist_excess=np.maximum(dist_excess(r), 0))
    for key, label, unit, scale, directed in ROWS:
        x = np.abs(r[key][r["directed"]] if directed else r[key]) * scale
        out[key] = (label, unit, np.median(x), np.percentile(x, 99), x.max(), x.size)
    return out


# Documented bounds, checked by the tests on every run.  |dist − position-
# vector angle| stays within half a float32 step of dist plus DIST_SLACK
# degrees: fac is the WGS84 flattening to seven digits, 1.3e-9 off in
# (1 - f)^2, which moves each geocentric latitude by up to 4e-8 degrees,
# and next to 0 and 180 acos resolves its double argument no finer than a
# few 1e-8 degrees (8.7e-8 at most over 10^6 pairs).  AZ_BOUNDS: the largest
# |az − geodesic azimuth| and |baz − geodesic back-azimuth| in each
# distance class (degrees), where directions are defined.
DIST_SLACK = 1e-7
# walk against the geodesic direct problem: the end points at most this far
# apart (km), over every distance; 34 km seen over 10^6 pairs.  Under 10 km
# with coordinates typed to 5 decimals, the double-precision azimuth at
# most this far from the geodesic's (degrees); 0.0003 seen.
WALK_KM_BOUND = 40.0
SHORT_AZ64_BOUND = 0.0005
AZ_BOUNDS = [((0, 1), 0.002), ((1, 10), 0.02), ((10, 90), 0.2), ((90, 150), 0.7),
             ((150, 170), 2.0)]


def dist_excess(r):
    """How far each |dist − position-vector angle| is beyond half a float32
    step of dist (negative: within it)."""
    half_step = 0.5 * np.spacing(r["dist"].astype(np.float32)).astype(np.float64)
    return np.abs(r["dist_vs_vector"]) - half_step


def az_by_distance(r):
    """(lo, hi, pairs, 99th percentile, maximum, bound) of the larger of the
    azimuth and back-azimuth differences, per distance class."""
    worst = np.maximum(np.abs(r["az_vs_geodesic"]), np.abs(r["baz_vs_geodesic"]))
    out = []
    for (lo, hi), bound in AZ_BOUNDS + [((170, 179.9), None)]:
        m = r["directed"] & (r["dist"] >= lo) & (r["dist"] < hi)
        x = worst[m]
        out.append((lo, hi, x.size, np.percentile(x, 99) if x.size else np.nan,
                    x.max() if x.size else np.nan, bound))
    return out


def table(r, sr, command):
    s = summary(r)
    n, left = r["dist"].size, int((~r["directed"]).sum())
    lines = [f"Absolute differences over {n:,} seeded pairs (`{command}`); the "
             f"directions leave out {left:,} coincident, antipodal (over 179.9°) "
             f"or exact-pole pairs.", "",
             "| difference | unit | median | 99th percentile | maximum |",
             "|---|---|--:|--:|--:|"]
    for label, unit, med, p99, mx, _ in s.values():
        lines.append(f"| {label} | {unit} | {med:.3g} | {p99:.3g} | {mx:.3g} |")
    lines += ["", "Directions against geodesic directions by distance (the larger of the "
              "`az` and `baz` differences, degrees):", "",
              "| distance | pairs | 99th percentile | maximum | bound the tests hold |",
              "|---|--:|--:|--:|--:|"]
    for lo, hi, n_, p99, mx, bound in az_by_distance(r):
        lines.append(f"| {lo}° to {hi}° | {n_:,} | {p99:.3g} | {mx:.3g} | "
                     f"{'none' if bound is None else bound} |")
    return "\n".join(lines) + "\n\n" + short_table(sr)


def binned(x, by, edges):
    """Median, 99th percentile and maximum of |x| in each bin of `by`."""
    idx = np.digitize(by, edges) - 1
    stats = np.full((3, len(edges) - 1), np.nan)
    for i in range(len(edges) - 1):
        v = np.abs(x[idx == i])
        if v.size:
            stats[:, i] = np.median(v), np.percentile(v, 99), v.max()
    return (edges[:-1] + edges[1:]) / 2, stats


def figure(r, sr, path):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    fig, ax = plt.subplots(2, 3, figsize=(15, 7.5), constrained_layout=True)
    edges = np.linspace(0, 180, 37)
    styles = [("median", "-"), ("99th percentile", "--"), ("maximum", ":")]

    def bands(a, key, by, edges, color, name, mask=None, data=r):
        m = slice(None) if mask is None else mask
        mid, st = binned(data[key][m], by[m], edges)
        for (lab, ls), row in zip(styles, st):
            a.plot(mid, np.maximum(row, 1e-12), ls, color=color, label=f"{name}, {lab}")

    a = ax[0, 0]
    bands(a, "dist_vs_vector", r["dist"], edges, "C0", "ostrem")
    bands(a, "sphere_vs_vector", r["dist"], edges, "C3", "plain sphere")
    a.set(yscale="log", xlabel="distance (degrees)", ylabel="|difference| (degrees)",
          title="Distance against the WGS84 position-vector angle")
    a.legend(fontsize=7)

    a = ax[0, 1]
    bands(a, "km_vs_geodesic", r["dist"], edges, "C0", "ostrem")
    a.set(xlabel="distance (degrees)", ylabel="|difference| (km)",
          title="dist × 6371.0088 km against the WGS84 geodesic")
    a.legend(fontsize=7)

    d = r["directed"]
    a = ax[1, 0]
    bands(a, "az_vs_geodesic", r["dist"], edges, "C0", "az", d)
    bands(a, "baz_vs_geodesic", r["dist"], edges, "C2", "baz", d)
    a.set(yscale="log", xlabel="distance (degrees)", ylabel="|difference| (degrees)",
          title="Azimuths against geodesic azimuths, by distance")
    a.legend(fontsize=7)

    # Near-antipodal pairs would swamp every latitude: left out here.
    a = ax[1, 1]
    lat_edges = np.linspace(-90, 90, 37)
    under = d & (r["dist"] < 170)
    bands(a, "az_vs_geodesic", r["lat1"], lat_edges, "C0", "az", under)
    bands(a, "baz_vs_geodesic", r["lat2"], lat_edges, "C2", "baz", under)
    a.set(yscale="log", xlabel="latitude of the end the direction is taken at (degrees)",
          ylabel="|difference| (degrees)",
          title="Azimuths by latitude, pairs under 170° apart")
    a.legend(fontsize=7)

    a = ax[0, 2]
    bands(a, "walk_vs_direct", r["dist"], edges, "C0", "walk")
    a.set(xlabel="distance walked (degrees)", ylabel="apart (km)",
          title="walk against the WGS84 geodesic direct problem")
    a.legend(fontsize=7)

    a = ax[1, 2]
    m_edges = np.logspace(1, 4, 16)
    for key, color in (("float32", "C3"), ("float64", "C0")):
        bands(a, key, sr["m"], m_edges, color, key, data=sr)
    a.set(xscale="log", yscale="log", xlabel="apart (m)", ylabel="|az − geodesic| (degrees)",
          title="Azimuth under 10 km, coordinates to 5 decimals")
    a.legend(fontsize=7)
    fig.savefig(path, dpi=90)


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--pairs", type=int, default=1_000_000)
    ap.add_argument("--no-write", action="store_true",
                    help="print the table only; leave the figure and docs/computing.md alone")
    args = ap.parse_args(argv)
    command = "docs/accuracy.py" + ("" if args.pairs == 1_000_000 else f" --pairs {args.pairs}")
    r = compare(sample(args.pairs))
    sr = short_range(max(args.pairs // 5, 1000))
    text = table(r, sr, command)
    print(text)
    if not args.no_write:
        figure(r, sr, HERE / "accuracy.png")
        readme = HERE / "computing.md"
        old = readme.read_text()
        new, found = re.subn(r"(<!-- accuracy table -->\n).*?(<!-- end of accuracy table -->)",
                             lambda m: m.group(1) + text + "\n" + m.group(2), old, flags=re.S)
        if not found:
            sys.exit("docs/computing.md has no accuracy table markers")
        readme.write_text(new)


if __name__ == "__main__":
    main()
