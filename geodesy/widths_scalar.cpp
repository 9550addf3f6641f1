// The inverse and direct problems one at a time, in plain scalar code: the
// width every build has, and the one the others must agree with bit for bit.
#include "direct_solution.h"
#include "ellipsoid_direct.h"
#include "ellipsoid_inverse.h"
#include "inverse_solution.h"

namespace ellipsoid {
namespace widths {

const Solver scalar = &lanes::inverse_block<lanes::One>;
const Direct direct_scalar = {&lanes::direct_block<lanes::One>, &lanes::path_block<lanes::One>,
                              &lanes::position_block<lanes::One>};

}  // namespace widths
}  // namespace ellipsoid
