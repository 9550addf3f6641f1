"""The whole module against geometry, not against its own formulas: on a
seeded sample, the distance is the angle between WGS84 position vectors to
float32 resolution, the azimuths stay within the documented distance of
geodesic azimuths, walk ends near the geodesic direct problem's end, and
short-range azimuths in double precision match the geodesic's
(docs/accuracy.py holds the comparison and the bounds)."""
import importlib.util
from pathlib import Path

import numpy as np
import pytest

path = Path(__file__).resolve().parents[2] / "docs" / "accuracy.py"
spec = importlib.util.spec_from_file_location("accuracy", path)
accuracy = importlib.util.module_from_spec(spec)
spec.loader.exec_module(accuracy)


@pytest.fixture(scope="module")
def compared():
    return accuracy.compare(accuracy.sample(20000, seed=7), workers=1)


def test_distance_is_the_position_vector_angle(compared):
    excess = accuracy.dist_excess(compared)
    worst = int(np.argmax(excess))
    assert excess[worst] <= accuracy.DIST_SLACK, (
        f"dist {compared['dist'][worst]} is {excess[worst]:.3g} degrees beyond half a float32 step")


def test_azimuths_stay_within_the_documented_bounds(compared):
    rows = accuracy.az_by_distance(compared)
    assert sum(n for _, _, n, *_ in rows) > 15000  # the exclusions stay few
    for lo, hi, n, _, worst, bound in rows:
        if bound is not None:
            assert n > 100 and worst <= bound, f"{lo} to {hi} degrees: {worst:.3g} > {bound}"


def test_the_check_sees_a_wrong_flattening(compared):
    # The comparison is sharp enough to tell the WGS84 flattening from a
    # sphere's: a plain-sphere distance fails the same bound.
    assert np.abs(compared["sphere_vs_vector"]).max() > 1000 * accuracy.DIST_SLACK


def test_walk_ends_near_the_geodesic(compared):
    assert compared["walk_vs_direct"].max() <= accuracy.WALK_KM_BOUND


def test_short_range_azimuths_need_and_get_double_precision():
    sr = accuracy.short_range(3000)
    assert np.abs(sr["float64"]).max() <= accuracy.SHORT_AZ64_BOUND
    assert np.abs(sr["float32"]).max() > 100 * accuracy.SHORT_AZ64_BOUND
