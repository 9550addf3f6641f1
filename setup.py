"""Builds the Python package: NumPy ufuncs compiled together with the C
module's own source, with the module's floating-point flags."""
import re
from pathlib import Path

import numpy
from setuptools import Extension, setup

here = Path(__file__).parent
# The version is set once, in CMakeLists.txt's project(), and so are the
# module's floating-point flags (OSTREM_FP_FLAGS).
cmake_lists = (here / "CMakeLists.txt").read_text()
version = re.search(r"project\(ostrem\s+VERSION\s+([0-9.]+)", cmake_lists).group(1)
fp_flags = re.search(r'set\(OSTREM_FP_FLAGS "([^"]*)"', cmake_lists).group(1).split(";")
# Each library's sources, from the list CMakeLists.txt reads too.
sources = {}
for line in (here / "cmake" / "sources.txt").read_text().splitlines():
    if line and not line.startswith("#"):
        name, files = line.split(":", 1)
        sources[name] = files.split()

# The stations' index is a k-d tree from nanoflann, one header (Debian:
# libnanoflann-dev).
if not any(Path(d, "nanoflann.hpp").exists() for d in ("/usr/include", "/usr/local/include")):
    raise SystemExit("nanoflann.hpp not found: the stations' index needs it "
                     "(Debian: apt-get install libnanoflann-dev)")

# StationXML and QuakeML are read with expat (Debian: libexpat1-dev).
if not any(Path(d, "expat.h").exists() for d in ("/usr/include", "/usr/local/include")):
    raise SystemExit("expat.h not found: reading StationXML and QuakeML needs it "
                     "(Debian: apt-get install libexpat1-dev)")

setup(
    version=version,
    # Objects are always rebuilt: setuptools reuses them by source date
    # alone, and a change of flags or header must not leave stale bits.
    options={"build_ext": {"force": True}},
    ext_modules=[
        Extension(
            "ostrem._ufuncs",
            sources=[*sources["python_ufuncs"], *sources["module"], *sources["geodesic"],
                     *sources["inverse"], *sources["station_index"], *sources["instants"]],
            depends=["python/ostrem/_pairs.h", "geodesy/geodesic_blocks.h", "geodesy/ostrem.h", "geodesy/ostrem_geodesic.h", "geodesy/arithmetic.h",
                     "geodesy/ellipsoid_inverse.h", "geodesy/ellipsoid_direct.h", "geodesy/lanes.h",
                     "geodesy/inverse_solution.h", "geodesy/direct_solution.h",
                     "stations/station_index.h", "stations/pairing.h", "stations/computations.h", "stations/instant.h"],
            include_dirs=["geodesy", "stations", numpy.get_include()],
            define_macros=[("OSTREM_VERSION", f'"{version}"')],
            # No contraction into fused multiply-adds and no fast-math: the
            # module's results are fixed to the last bit by its operation
            # order, as in the CMake build.
            extra_compile_args=["-std=c++17", *fp_flags, "-O3", "-fvisibility=hidden", "-fno-semantic-interposition"],
            language="c++",
        ),
        Extension(
            "ostrem._files",
            sources=[*sources["python_files"], *sources["files"], *sources["instants"]],
            depends=["stations/files/fdsn_xml.h", "stations/files/fdsn_text.h", "stations/files/channels.h",
                     "stations/files/skim.h", "stations/instant.h", "common/number.h", "common/ranges.h"],
            include_dirs=["stations/files", "stations", "geodesy", "common"],
            libraries=["expat"],
            extra_compile_args=["-std=c++17", "-O2", "-fvisibility=hidden"],
            language="c++",
        ),
        Extension(
            "ostrem._travel",
            sources=[*sources["python_travel"], *sources["travel"]],
            depends=["travel/travel_times.h", "travel/arrivals.h", "travel/phase.h", "travel/layered_earth.h",
                     "travel/earth_model.h", "common/number.h"],
            include_dirs=["travel", "common"],
            extra_compile_args=["-std=c++17", *fp_flags, "-O2", "-fvisibility=hidden"],
            language="c++",
        ),
    ],
)
