// The inverse problem in the lanes of one instruction set (see lanes.h):
// this unit is compiled for it alone.
#include "ellipsoid_inverse.h"
#include "inverse_solution.h"

namespace ellipsoid {
namespace widths {

#if defined(__SSE2__)
const Solver sse2 = &lanes::inverse_block<lanes::Sse2>;
#else
const Solver sse2 = nullptr;
#endif

}  // namespace widths
}  // namespace ellipsoid
