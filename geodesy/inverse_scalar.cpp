// The inverse problem one pair at a time, in plain scalar code: the width
// every build has, and the one the others must agree with bit for bit.
#include "ellipsoid_inverse.h"
#include "inverse_solution.h"

namespace ellipsoid {
namespace widths {

const Solver scalar = &lanes::inverse_block<lanes::One>;

}  // namespace widths
}  // namespace ellipsoid
