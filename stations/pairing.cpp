#include "pairing.h"

namespace stations {

namespace {

Surface surface_of(Arithmetic a) { return a == Arithmetic::ellipsoid ? Surface::ellipsoid : Surface::sphere; }

}  // namespace

Pairing::Pairing(Arithmetic arithmetic, const Table &table, const Selection &selection)
    : table_(table), selection_(selection),
      index_(surface_of(arithmetic), arithmetic == Arithmetic::float_sphere, table.lat, table.lon,
             table.size)
{
}

// A tenth of a degree, or ten kilometres: a search that found nothing
// within a point's own place still grows.
double Pairing::widening() const { return index_.surface() == Surface::ellipsoid ? 10.0 : 0.1; }

}  // namespace stations
