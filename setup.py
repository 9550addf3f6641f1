"""Builds the Python package: NumPy ufuncs compiled together with the C
module's own source, with the module's floating-point flags."""
import re
from pathlib import Path

import numpy
from setuptools import Extension, setup

here = Path(__file__).parent
# The version is set once, in CMakeLists.txt's project().
version = re.search(r"project\(ostrem\s+VERSION\s+([0-9.]+)",
                    (here / "CMakeLists.txt").read_text()).group(1)

setup(
    version=version,
    ext_modules=[
        Extension(
            "ostrem._ufuncs",
            sources=["python/ostrem/_ufuncs.cpp", "geodesy/ostrem.cpp"],
            depends=["geodesy/ostrem.h"],
            include_dirs=["geodesy", numpy.get_include()],
            define_macros=[("OSTREM_VERSION", f'"{version}"')],
            # No contraction into fused multiply-adds and no fast-math: the
            # module's results are fixed to the last bit by its operation
            # order, as in the CMake build.
            extra_compile_args=["-std=c++17", "-ffp-contract=off", "-fno-fast-math"],
            language="c++",
        )
    ],
)
