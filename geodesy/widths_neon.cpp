// The inverse and direct problems in the lanes of one instruction set (see
// lanes.h): this unit is compiled for it alone.
#include "direct_solution.h"
#include "ellipsoid_direct.h"
#include "ellipsoid_inverse.h"
#include "inverse_solution.h"

namespace ellipsoid {
namespace widths {

#if defined(__aarch64__) && defined(__ARM_NEON)
const Solver neon = &lanes::inverse_block<lanes::Neon>;
const Direct direct_neon = {&lanes::direct_block<lanes::Neon>, &lanes::path_block<lanes::Neon>,
                            &lanes::position_block<lanes::Neon>};
#else
const Solver neon = nullptr;
const Direct direct_neon = {nullptr, nullptr, nullptr};
#endif

}  // namespace widths
}  // namespace ellipsoid
