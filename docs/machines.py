"""The module's results on other machines, set beside x86-64 Linux with
glibc's FMA maths routines, over the same 300,000 seeded pairs (a third of
them one ulp apart, a third exact antipodes, and among the rest poles, the
date line, coincident and nearly antipodal points).

    /usr/bin/python3 docs/machines.py             # builds what it needs, rewrites the table in HACKING.md
    /usr/bin/python3 docs/machines.py --no-write  # prints the table only

Each machine runs tests/machine_results built by its CMake preset: default
(natively, and again under glibc's routines for CPUs without FMA),
aarch64 (under qemu-user) and windows (mingw-w64, under wine); a preset
whose tools are missing is left out with a message.  For each machine the
table counts the float and double results whose bits differ from the
reference, and the pairs whose printed line (sorvane's three values and
brovic's two, "%.2f") differs: where the distance prints strictly between
0.00 and 180.00, the directions are defined; at 0.00 or 180.00 (coincident
or antipodal points) they are not, and follow the maths library.

Needs python3-numpy, cmake and the presets' tools (README).
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

import numpy as np

TOP = Path(__file__).resolve().parent.parent
NON_FMA = "glibc.cpu.hwcaps=-AVX2,-FMA,-AVX,-FMA4"
RECORD = np.dtype([("pair", "<f4", 4), ("f", "<u4", 7), ("d", "<u8", 7)])


def built(preset):
    """Configure the preset and build the program; its path, or None."""
    for step in (["cmake", "--preset", preset], ["cmake", "--build", "--preset", preset,
                                                 "--target", "machine_results"]):
        r = subprocess.run(step, cwd=TOP, capture_output=True, text=True)
        if r.returncode != 0:
            print(f"{preset}: left out, {' '.join(step)} failed:\n{r.stdout[-600:]}{r.stderr[-600:]}",
                  file=sys.stderr)
            return None
    exe = TOP / "build" / preset / "tests" / "machine_results"
    return exe if exe.exists() else exe.with_suffix(".exe")


def machines():
    """(name, command, environment) for each machine that can be run here."""
    found = []
    native = built("default")
    if native:
        found.append(("x86-64 glibc, FMA maths (reference)", [native], {}))
        found.append(("x86-64 glibc, non-FMA maths", [native], {"GLIBC_TUNABLES": NON_FMA}))
    exe = built("aarch64")
    if exe:
        found.append(("aarch64 glibc (qemu-user)",
                      ["qemu-aarch64", "-L", "/usr/aarch64-linux-gnu", exe], {}))
    exe = built("windows")
    if exe:
        wine = shutil.which("wine64", path="/usr/lib/wine:" + os.environ["PATH"])
        found.append(("Windows x86-64, mingw-w64 (wine)", [wine, exe],
                      {"WINEDEBUG": "-all", "WINEPREFIX": str(TOP / "build/windows/wine")}))
    return found


def results(command, env):
    out = subprocess.run([str(c) for c in command], env={**os.environ, **env},
                         capture_output=True, check=True).stdout
    return np.frombuffer(out, dtype=RECORD)


def printed(rec):
    """The lines sorvane and brovic print, "%.2f" of the float results."""
    values = rec["f"][:, :5].copy().view("<f4").astype(np.float64)
    return np.array([" ".join("%.2f" % v for v in row) for row in values])


def table(found):
    rows = []
    reference = None
    for name, command, env in found:
        rec = results(command, env)
        if reference is None:
            reference, ref_lines = rec, printed(rec)
            distance = np.array([line.split()[0] for line in ref_lines])
            degenerate = (distance == "0.00") | (distance == "180.00")
        assert (rec["pair"].view("<u4") == reference["pair"].view("<u4")).all(), name
        lines = printed(rec)
        line_differs = lines != ref_lines
        rows.append((name, int((rec["f"] != reference["f"]).sum()), rec["f"].size,
                     int((rec["d"] != reference["d"]).sum()), rec["d"].size,
                     int((line_differs & ~degenerate).sum()), int((~degenerate).sum()),
                     int((line_differs & degenerate).sum()), int(degenerate.sum())))
    text = ["| machine | float results whose bits differ | double results whose bits differ "
            "| printed lines that differ: distance strictly between 0.00 and 180.00 "
            "| printed lines that differ: distance 0.00 or 180.00 |",
            "|---|--:|--:|--:|--:|"]
    for name, f, nf, d, nd, p, np_, q, nq in rows:
        text.append(f"| {name} | {f:,} of {nf:,} | {d:,} of {nd:,} | {p:,} of {np_:,} "
                    f"| {q:,} of {nq:,} |")
    return "\n".join(text) + "\n"


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--no-write", action="store_true", help="print the table, leave HACKING.md")
    args = ap.parse_args()
    t = table(machines())
    print(t, end="")
    if not args.no_write:
        readme = TOP / "HACKING.md"
        text = readme.read_text()
        new = re.sub(r"(<!-- machines table -->\n).*?(<!-- end of machines table -->)",
                     lambda m: m.group(1) + t + m.group(2), text, flags=re.S)
        if new == text and t not in text:
            sys.exit("HACKING.md has no machines table markers")
        readme.write_text(new)


if __name__ == "__main__":
    main()
