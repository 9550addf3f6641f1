// The inverse and direct problems in AVX2's four lanes.  The unit is compiled
// with the build's own flags, and its functions alone are made for AVX2 (not
// FMA): the program still starts on any x86-64 processor, and runs these only
// where the processor has AVX2.
#include "ellipsoid_direct.h"
#include "ellipsoid_inverse.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

// Not on Windows: GCC's Windows target does not align its stack to 32
// bytes, and spills AVX registers there with aligned moves.  Windows runs
// SSE2's lanes, with the same bits.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(_WIN32)
// The intrinsics are declared for every target; only what follows is
// made for AVX2.
#include <emmintrin.h>
#include <immintrin.h>
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
#define OSTREM_LANES_AVX2 1

#include "direct_solution.h"
#include "inverse_solution.h"

const ellipsoid::widths::Solver ellipsoid::widths::avx2 = &lanes::inverse_block<lanes::Avx2>;
const ellipsoid::widths::Direct ellipsoid::widths::direct_avx2 = {
    &lanes::direct_block<lanes::Avx2>, &lanes::path_block<lanes::Avx2>, &lanes::position_block<lanes::Avx2>};

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#else
const ellipsoid::widths::Solver ellipsoid::widths::avx2 = nullptr;
const ellipsoid::widths::Direct ellipsoid::widths::direct_avx2 = {nullptr, nullptr, nullptr};
#endif
