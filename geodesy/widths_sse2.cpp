// The inverse and direct problems in the lanes of one instruction set (see
// lanes.h): this unit is compiled for it alone.
#include "direct_solution.h"
#include "ellipsoid_direct.h"
#include "ellipsoid_inverse.h"
#include "inverse_solution.h"

namespace ellipsoid {
namespace widths {

#if defined(__SSE2__)
const Solver sse2 = &lanes::inverse_block<lanes::Sse2>;
const Direct direct_sse2 = {&lanes::direct_block<lanes::Sse2>, &lanes::path_block<lanes::Sse2>,
                            &lanes::position_block<lanes::Sse2>};
#else
const Solver sse2 = nullptr;
const Direct direct_sse2 = {nullptr, nullptr, nullptr};
#endif

}  // namespace widths
}  // namespace ellipsoid
