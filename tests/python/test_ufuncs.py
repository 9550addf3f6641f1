"""The Python package against the C library's bits and the programs' lines,
and as a NumPy ufunc: broadcasting, out=, where=, dtypes, error state, Dask."""
import doctest
import os
import re
import subprocess
import sys
import warnings
from pathlib import Path

import numpy as np
import pytest

import ostrem

SOURCE = Path(__file__).resolve().parents[2]
f32 = np.float32


class Rng:
    """SplitMix64 and the pairs of the C tests (tests/bits.h), step for step,
    float arithmetic where the C++ has float arithmetic."""
    M = (1 << 64) - 1

    def __init__(self, seed):
        self.s = seed

    def next(self):
        self.s = (self.s + 0x9E3779B97F4A7C15) & self.M
        z = self.s
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & self.M
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & self.M
        return z ^ (z >> 31)

    def uniform(self, lo, hi):
        return f32(lo + (hi - lo) * float(self.next() >> 11) * 2.0**-53)

    def varied_pair(self):
        p = [self.uniform(-90, 90), self.uniform(-180, 540),
             self.uniform(-90, 90), self.uniform(-180, 540)]
        case = self.next() % 10
        if case == 0:
            p[0] = f32(90 if self.next() & 1 else -90)
        elif case == 1:
            p[2] = f32(90 if self.next() & 1 else -90)
        elif case == 2:
            p[1] = self.uniform(179, 181)
            u = self.uniform(-181, -179)
            p[3] = u + f32(360 if self.next() & 1 else 0)
            if p[3] < f32(-180):
                p[3] = f32(-180)
        elif case == 3:
            p[2], p[3] = p[0], p[1]
        elif case == 4:
            p[1] = self.uniform(-180, 180)
            p[2] = -p[0] + self.uniform(-0.01, 0.01)
            p[3] = f32(float(p[1]) + 180.0 + float(self.uniform(-0.01, 0.01)))
            if p[2] > 90 or p[2] < -90:
                p[2] = -p[0]
        return p


@pytest.fixture(scope="module")
def hash_pairs():
    """The 300,000 pairs of the C tests' bit hashes, as four float32 columns."""
    rng = Rng(20261208)
    rows = []
    for _ in range(100000):
        p = rng.varied_pair()
        rows.append(p)
        lon = rng.uniform(-180, 180)
        rows.append([p[0], lon, p[0], np.nextafter(lon, f32(1000))])
        rows.append([p[0], lon, -p[0], lon + f32(180)])
    return np.array(rows, dtype=np.float32).T


@pytest.fixture(scope="module")
def c_hashes():
    """The C tests' float and double hashes: those of the module's plain
    build on this machine when ctest names the program that prints them,
    else the recorded ones (x86-64 glibc with its FMA maths routines)."""
    program = os.environ.get("OSTREM_BIT_HASHES")
    if program:
        return [int(h, 16) for h in subprocess.check_output([program], text=True).split()]
    return [0x635DB17EEEA062D2, 0x18FFF47102498793]


def fnv(res, view):
    h = 0xCBF29CE484222325
    for b in res.view(view).ravel().tolist():
        h = ((h ^ b) * 0x100000001B3) & Rng.M
    return h


def test_same_bits_as_the_c_library_over_300000_pairs(hash_pairs, c_hashes):
    # The FNV-1a hash of ostrem's and midpoint's results, as the C tests take it.
    c = hash_pairs
    with np.errstate(invalid="raise"):  # every pair is in range
        res = np.stack(ostrem.ostrem(*c) + ostrem.midpoint(*c), axis=1)
    assert fnv(res, np.uint32) == c_hashes[0]


def test_walk_and_float64_loops_give_the_c_bits(hash_pairs, c_hashes):
    # The C tests' double hash: per pair the float walk
    # along ostrem's results, then ostremd, walkd along ostremd's results
    # and midpointd, each through the ufuncs' float64 loops.
    c = hash_pairs
    d64 = c.astype(np.float64)
    with np.errstate(invalid="raise"):
        dist, az, _ = ostrem.ostrem(*c)
        w = np.stack(ostrem.walk(c[0], c[1], az, dist), axis=1)
        dd, daz, dbaz = ostrem.ostrem(*c, dtype=np.float64)
        wd = ostrem.walk(d64[0], d64[1], daz, dd, signature="dddd->dd")
        md = ostrem.midpoint(*c, dtype=np.float64)
    assert w.dtype == np.float32 and dd.dtype == wd[0].dtype == md[0].dtype == np.float64
    words = np.concatenate([w.view(np.uint32).astype(np.uint64),
                            np.stack([dd, daz, dbaz, *wd, *md], axis=1).view(np.uint64)], axis=1)
    assert fnv(words, np.uint64) == c_hashes[1]


# The guide's pages, from the root of the source tree.
GUIDE = sorted(str(p.relative_to(SOURCE)) for p in (SOURCE / "docs").glob("*.md"))


def documented_examples():
    """`sorvane ...` and `brovic ...` with the line shown for them, in the
    README, the guide and the man pages (the same forms the C documentation
    test reads)."""
    found = []
    for path in ["README.md", *GUIDE, "man/sorvane.1.in", "man/brovic.1.in"]:
        text = (SOURCE / path).read_text().replace("\\-", "-")
        for m in re.finditer(r"\$ (sorvane|brovic) ([^\n]*)\n([^\n]*)\n", text):
            found.append(m.groups())
        for m in re.finditer(r"`(sorvane|brovic)\s([^`]*)`\s+prints\s+`([^`]*)`", text):
            found.append(m.groups())
    return found


@pytest.mark.parametrize("prog,args,line", documented_examples())
def test_documented_examples_give_the_programs_lines(prog, args, line):
    coords = [float(a) for a in args.split()]
    if prog == "sorvane":
        assert "%.2f %.2f %.2f" % ostrem.ostrem(*coords) == line
    else:
        assert "%.2f %.2f" % ostrem.midpoint(*coords) == line


def test_docstrings_and_readme_examples_run(monkeypatch):
    monkeypatch.chdir(SOURCE)  # the README's examples read docs/examples/
    exclude = ()
    runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
    for test in doctest.DocTestFinder().find(ostrem):
        if not test.name.split(".")[-1].startswith(exclude):
            runner.run(test)
    failed, tried = runner.summarize(verbose=False)
    assert tried >= 6 and failed == 0
    # The README's and the guide's examples, each page a session of its
    # own, with the code fences that end them removed.
    runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
    for path in ["README.md", *GUIDE]:
        text = re.sub(r"^```.*$", "", (SOURCE / path).read_text(), flags=re.M)
        runner.run(doctest.DocTestParser().get_doctest(text, {}, path, path, 0))
    failed, tried = runner.summarize(verbose=False)
    assert tried >= 14 and failed == 0


def test_readme_dask_script_runs(tmp_path):
    # Run as a user runs it, as a script: workers are new processes that
    # import it again.
    blocks = re.findall(r"```python\n(.*?)```", (SOURCE / "docs" / "python.md").read_text(), re.S)
    script = tmp_path / "pairs_on_dask.py"
    script.write_text(next(b for b in blocks if "__main__" in b))
    r = subprocess.run([sys.executable, str(script)], capture_output=True, text=True,
                       timeout=600, cwd=tmp_path)
    assert r.returncode == 0, r.stderr[-2000:]
    assert r.stdout.startswith("(4000,) "), r.stdout


def bits(x):
    return np.asarray(x, dtype=np.float32).view(np.uint32).tolist()


# Inputs of every kind NumPy accepts give NumPy float32 scalars and the
# programs' lines, signed zeros and 360 included.
@pytest.mark.parametrize("args,line", [
    ((0, 0, 0, 90), "90.00 90.00 270.00"),                       # Python ints
    ((0.0, 0.0, -90.0, 0.0), "90.00 180.00 -0.00"),              # Python floats
    ((f32(0), f32(0), f32(10), f32(-0.0)), "9.93 -0.00 180.00"),  # float32
    ((np.float64(45), 0, 45, 180), "90.38 0.00 360.00"),         # float64
    ((10.000000001, 20, 30, 40), "27.28 40.34 227.31"),          # below float precision
    ((np.int16(0), True, 0, 90), "89.00 90.00 270.00"),          # int16, bool
])
def test_scalars(args, line):
    got = ostrem.ostrem(*args)
    assert all(type(g) is np.float32 for g in got)
    assert "%.2f %.2f %.2f" % got == line


def test_broadcasting_out_and_where():
    eq = np.array([[0.0], [45.0]])            # (2, 1)
    st = np.array([0.0, 90.0, 180.0])         # (3,)
    d, az, baz = ostrem.ostrem(eq, 0, 0, st)
    assert d.shape == (2, 3) and d.dtype == np.float32
    for i in range(2):
        for j in range(3):
            assert bits([d[i, j], az[i, j], baz[i, j]]) == bits(ostrem.ostrem(eq[i, 0], 0, 0, st[j]))

    out = tuple(np.full((2, 3), -1, np.float32) for _ in range(3))
    where = np.array([True, False, True])
    r = ostrem.ostrem(eq, 0, 0, st, out=out, where=where)
    assert all(a is b for a, b in zip(r, out))
    assert (out[0][:, 1] == -1).all() and bits(out[0][:, 0]) == bits(d[:, 0])

    lat, lon = ostrem.midpoint(0, -90, 0, 0, out=(np.empty((), np.float32), np.empty((), np.float32)))
    assert bits([lat, lon]) == bits([0.0, 315.0])


@pytest.mark.parametrize("make", [
    lambda a: a[::2],                          # strided
    lambda a: a.astype(">f8"),                 # byte-swapped
    lambda a: a.astype(np.float16),
    lambda a: a.astype(np.int32),
    lambda a: np.asfortranarray(np.tile(a, (3, 1))),
    lambda a: a[:0],                           # empty
    lambda a: np.array(a[3]),                  # 0-d
])
def test_any_layout_gives_the_same_bits(make):
    base = np.linspace(-90, 90, 13)
    a = make(base)
    want = ostrem.ostrem(np.asarray(a, np.float64).astype(np.float32), 10, 20, 30)
    got = ostrem.ostrem(a, 10, 20, 30)
    assert all(bits(g) == bits(w) for g, w in zip(got, want))


@pytest.mark.parametrize("dtype", [object, complex, "U3", "M8[s]"])
def test_unsupported_dtypes_are_refused(dtype):
    with pytest.raises(TypeError):
        ostrem.ostrem(np.zeros(3, dtype=dtype), 0, 0, 0)


def test_out_of_range_is_invalid_and_alone():
    lat = np.array([0.0, 91.0, 0.0, np.inf, np.nan])
    with pytest.warns(RuntimeWarning, match="invalid"):
        d, az, baz = ostrem.ostrem(lat, 0, 0, 90)
    assert bits(d[[0, 2]]) == bits([90.0, 90.0])
    assert np.isnan(np.stack([d, az, baz])[:, [1, 3, 4]]).all()
    with np.errstate(invalid="raise"), pytest.raises(FloatingPointError):
        ostrem.midpoint(0, 0, 0, 541)
    with np.errstate(invalid="raise"), pytest.raises(FloatingPointError):
        ostrem.walk(0, 0, 0, [10, 180.5], dtype=np.float64)
    with np.errstate(invalid="ignore"), warnings.catch_warnings():
        warnings.simplefilter("error")
        assert np.isnan(ostrem.midpoint(-91, 0, 0, 0)).all()


def test_nan_coordinates_are_quiet():
    with np.errstate(all="raise"):
        assert np.isnan(ostrem.ostrem(np.nan, 0, 0, 0)).all()
        assert np.isnan(ostrem.midpoint(0, 0, 0, np.nan)).all()
        assert np.isnan(ostrem.geocen(np.nan))
        assert ostrem.geocen(0.0) == 0.0 and ostrem.geogrf(0.0) == 0.0
    with np.errstate(invalid="raise"), pytest.raises(FloatingPointError):
        ostrem.geocen(np.inf)


def test_dask_on_a_local_cluster_gives_the_same_bits():
    da = pytest.importorskip("dask.array")
    distributed = pytest.importorskip("distributed")
    rng = np.random.default_rng(7)
    events = np.column_stack([rng.uniform(-90, 90, 300), rng.uniform(-180, 180, 300)])
    stations = np.column_stack([rng.uniform(-90, 90, 200), rng.uniform(-180, 180, 200)])
    want = ostrem.ostrem(events[:, :1], events[:, 1:], stations[:, 0], stations[:, 1])
    want += ostrem.midpoint(events[:, :1], events[:, 1:], stations[:, 0], stations[:, 1])

    ev = da.from_array(events, chunks=(70, 2))
    st = da.from_array(stations, chunks=(90, 2))
    lazy = ostrem.ostrem(ev[:, :1], ev[:, 1:], st[:, 0], st[:, 1])
    lazy += ostrem.midpoint(ev[:, :1], ev[:, 1:], st[:, 0], st[:, 1])
    assert all(isinstance(x, da.Array) and x.dtype == np.float32 for x in lazy)
    want += ostrem.walk(events[:, :1], events[:, 1:], 30.0, stations[:, 0] + 90, dtype=np.float64)
    lazy += ostrem.walk(ev[:, :1], ev[:, 1:], 30.0, st[:, 0] + 90, dtype=np.float64)
    assert lazy[-1].dtype == np.float64
    with pytest.raises(TypeError, match="not supported with Dask"):
        ostrem.ostrem(ev[:, 0], 0, 0, 0, where=True)

    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        got = client.compute(list(lazy), sync=True)
    assert all(g.dtype == w.dtype and g.tobytes() == w.tobytes() for g, w in zip(got, want))


def test_version_is_the_c_librarys():
    m = re.search(r"project\(ostrem VERSION ([0-9.]+)", (SOURCE / "CMakeLists.txt").read_text())
    assert ostrem.__version__ == m.group(1)
