// The inverse problem in the lanes of one instruction set (see lanes.h):
// this unit is compiled for it alone.
#include "ellipsoid_inverse.h"
#include "inverse_solution.h"

namespace ellipsoid {
namespace widths {

#if defined(__aarch64__) && defined(__ARM_NEON)
const Solver neon = &lanes::inverse_block<lanes::Neon>;
#else
const Solver neon = nullptr;
#endif

}  // namespace widths
}  // namespace ellipsoid
