// Packs of doubles for the ellipsoid's inverse problem: one lane (plain
// scalar code), two (SSE2, NEON) or four (AVX2), with the same operations
// on each, so that one template of the solution serves every width.
//
// Every operation is one that IEEE 754 rounds exactly (+ - * / sqrt), a
// comparison, a choice between lanes or a move of bits: none depends on a
// library, and a lane's result is the same bits whatever the width, the
// machine or the compiler.  That is why there is no min or max here (the
// instructions differ on NaN and on -0 against 0): they are written as a
// comparison and a choice, the same on every width.
//
// Each translation unit that includes this header is built for one
// instruction set (the AVX2 one for AVX2, without FMA), so everything here has
// internal linkage: a linker must never take one unit's copy of an inline
// function, in AVX2 instructions, for another's.
#ifndef OSTREM_LANES_H
#define OSTREM_LANES_H

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__AVX2__) || defined(OSTREM_LANES_AVX2)
#include <immintrin.h>
#endif
#if defined(__aarch64__) && defined(__ARM_NEON)
#include <arm_neon.h>
#endif

namespace lanes {
namespace {

// 1.5 * 2^52: a double of magnitude below 2^51 plus this rounds to an
// integer (to nearest, ties to even), and minus it again is that integer.
constexpr double rounding_shift = 6755399441055744.0;
// 2^52, whose bits' low half holds an integer added to it.
constexpr double integer_shift = 4503599627370496.0;
constexpr std::uint64_t integer_shift_bits = 0x4330000000000000u;

// --- one lane -------------------------------------------------------------
struct One {
    static constexpr int width = 1;
    double x;
    One() = default;
    One(double v) : x(v) {}
    static One load(const double *p) { return *p; }
    void store(double *p) const { *p = x; }
    struct Mask {
        bool m;
    };
};

inline One operator+(One a, One b) { return a.x + b.x; }
inline One operator-(One a, One b) { return a.x - b.x; }
inline One operator*(One a, One b) { return a.x * b.x; }
inline One operator/(One a, One b) { return a.x / b.x; }
inline One operator-(One a) { return -a.x; }
inline One::Mask operator<(One a, One b) { return {a.x < b.x}; }
inline One::Mask operator<=(One a, One b) { return {a.x <= b.x}; }
inline One::Mask operator>(One a, One b) { return {a.x > b.x}; }
inline One::Mask operator>=(One a, One b) { return {a.x >= b.x}; }
inline One::Mask operator==(One a, One b) { return {a.x == b.x}; }
inline One::Mask operator!=(One a, One b) { return {a.x != b.x}; }
inline One::Mask operator&(One::Mask a, One::Mask b) { return {a.m && b.m}; }
inline One::Mask operator|(One::Mask a, One::Mask b) { return {a.m || b.m}; }
inline One::Mask operator~(One::Mask a) { return {!a.m}; }
inline bool any(One::Mask a) { return a.m; }
inline bool all(One::Mask a) { return a.m; }
inline One select(One::Mask m, One a, One b) { return m.m ? a : b; }
inline One sqrt(One a) { return __builtin_sqrt(a.x); }

inline std::uint64_t bits_of(double x)
{
    std::uint64_t u;
    std::memcpy(&u, &x, sizeof u);
    return u;
}
inline double double_of(std::uint64_t u)
{
    double x;
    std::memcpy(&x, &u, sizeof x);
    return x;
}
inline One abs(One a) { return double_of(bits_of(a.x) & 0x7fffffffffffffffu); }
inline One copysign(One magnitude, One sign)
{
    return double_of((bits_of(magnitude.x) & 0x7fffffffffffffffu) |
                     (bits_of(sign.x) & 0x8000000000000000u));
}
inline One::Mask signbit(One a) { return {(bits_of(a.x) >> 63) != 0}; }
// The biased exponent of a (a double from 0 to 2047).
inline One exponent_field(One a)
{
    return double_of(((bits_of(a.x) >> 52) & 0x7ff) | integer_shift_bits) - integer_shift;
}
// 2^k for an integer k from -1022 to 1023 held in a double.
inline One power_of_two(One k)
{
    return double_of(bits_of(k.x + (1023.0 + integer_shift)) << 52);
}

// --- two lanes, SSE2 ------------------------------------------------------
#if defined(__SSE2__)
struct Sse2 {
    static constexpr int width = 2;
    __m128d x;
    Sse2() = default;
    Sse2(__m128d v) : x(v) {}
    Sse2(double v) : x(_mm_set1_pd(v)) {}
    static Sse2 load(const double *p) { return _mm_loadu_pd(p); }
    void store(double *p) const { _mm_storeu_pd(p, x); }
    struct Mask {
        __m128d m;
    };
};

inline Sse2 operator+(Sse2 a, Sse2 b) { return _mm_add_pd(a.x, b.x); }
inline Sse2 operator-(Sse2 a, Sse2 b) { return _mm_sub_pd(a.x, b.x); }
inline Sse2 operator*(Sse2 a, Sse2 b) { return _mm_mul_pd(a.x, b.x); }
inline Sse2 operator/(Sse2 a, Sse2 b) { return _mm_div_pd(a.x, b.x); }
inline Sse2 operator-(Sse2 a) { return _mm_xor_pd(a.x, _mm_set1_pd(-0.0)); }
inline Sse2::Mask operator<(Sse2 a, Sse2 b) { return {_mm_cmplt_pd(a.x, b.x)}; }
inline Sse2::Mask operator<=(Sse2 a, Sse2 b) { return {_mm_cmple_pd(a.x, b.x)}; }
inline Sse2::Mask operator>(Sse2 a, Sse2 b) { return {_mm_cmpgt_pd(a.x, b.x)}; }
inline Sse2::Mask operator>=(Sse2 a, Sse2 b) { return {_mm_cmpge_pd(a.x, b.x)}; }
inline Sse2::Mask operator==(Sse2 a, Sse2 b) { return {_mm_cmpeq_pd(a.x, b.x)}; }
// Unordered, as C's != is: NaN is unequal to everything.
inline Sse2::Mask operator!=(Sse2 a, Sse2 b) { return {_mm_cmpneq_pd(a.x, b.x)}; }
inline Sse2::Mask operator&(Sse2::Mask a, Sse2::Mask b) { return {_mm_and_pd(a.m, b.m)}; }
inline Sse2::Mask operator|(Sse2::Mask a, Sse2::Mask b) { return {_mm_or_pd(a.m, b.m)}; }
inline Sse2::Mask operator~(Sse2::Mask a)
{
    return {_mm_xor_pd(a.m, _mm_castsi128_pd(_mm_set1_epi32(-1)))};
}
inline bool any(Sse2::Mask a) { return _mm_movemask_pd(a.m) != 0; }
inline bool all(Sse2::Mask a) { return _mm_movemask_pd(a.m) == 3; }
inline Sse2 select(Sse2::Mask m, Sse2 a, Sse2 b)
{
    return _mm_or_pd(_mm_and_pd(m.m, a.x), _mm_andnot_pd(m.m, b.x));
}
inline Sse2 sqrt(Sse2 a) { return _mm_sqrt_pd(a.x); }
inline Sse2 abs(Sse2 a) { return _mm_andnot_pd(_mm_set1_pd(-0.0), a.x); }
inline Sse2 copysign(Sse2 magnitude, Sse2 sign)
{
    const __m128d s = _mm_set1_pd(-0.0);
    return _mm_or_pd(_mm_andnot_pd(s, magnitude.x), _mm_and_pd(s, sign.x));
}
inline Sse2::Mask signbit(Sse2 a)
{
    // The sign spread over the lane: compare its integer with 0.
    const __m128i high = _mm_shuffle_epi32(_mm_castpd_si128(a.x), _MM_SHUFFLE(3, 3, 1, 1));
    return {_mm_castsi128_pd(_mm_srai_epi32(high, 31))};
}
inline Sse2 exponent_field(Sse2 a)
{
    const __m128i e = _mm_and_si128(_mm_srli_epi64(_mm_castpd_si128(a.x), 52), _mm_set1_epi64x(0x7ff));
    const __m128i shifted = _mm_or_si128(e, _mm_set1_epi64x(static_cast<long long>(integer_shift_bits)));
    return _mm_sub_pd(_mm_castsi128_pd(shifted), _mm_set1_pd(integer_shift));
}
inline Sse2 power_of_two(Sse2 k)
{
    const __m128d biased = _mm_add_pd(k.x, _mm_set1_pd(1023.0 + integer_shift));
    return _mm_castsi128_pd(_mm_slli_epi64(_mm_castpd_si128(biased), 52));
}
#endif

// --- four lanes, AVX2 -----------------------------------------------------
// Built where the unit is compiled for AVX2, or asks for it by
// OSTREM_LANES_AVX2 for its own functions.
#if defined(__AVX2__) || defined(OSTREM_LANES_AVX2)
struct Avx2 {
    static constexpr int width = 4;
    __m256d x;
    Avx2() = default;
    Avx2(__m256d v) : x(v) {}
    Avx2(double v) : x(_mm256_set1_pd(v)) {}
    static Avx2 load(const double *p) { return _mm256_loadu_pd(p); }
    void store(double *p) const { _mm256_storeu_pd(p, x); }
    struct Mask {
        __m256d m;
    };
};

inline Avx2 operator+(Avx2 a, Avx2 b) { return _mm256_add_pd(a.x, b.x); }
inline Avx2 operator-(Avx2 a, Avx2 b) { return _mm256_sub_pd(a.x, b.x); }
inline Avx2 operator*(Avx2 a, Avx2 b) { return _mm256_mul_pd(a.x, b.x); }
inline Avx2 operator/(Avx2 a, Avx2 b) { return _mm256_div_pd(a.x, b.x); }
inline Avx2 operator-(Avx2 a) { return _mm256_xor_pd(a.x, _mm256_set1_pd(-0.0)); }
inline Avx2::Mask operator<(Avx2 a, Avx2 b) { return {_mm256_cmp_pd(a.x, b.x, _CMP_LT_OQ)}; }
inline Avx2::Mask operator<=(Avx2 a, Avx2 b) { return {_mm256_cmp_pd(a.x, b.x, _CMP_LE_OQ)}; }
inline Avx2::Mask operator>(Avx2 a, Avx2 b) { return {_mm256_cmp_pd(a.x, b.x, _CMP_GT_OQ)}; }
inline Avx2::Mask operator>=(Avx2 a, Avx2 b) { return {_mm256_cmp_pd(a.x, b.x, _CMP_GE_OQ)}; }
inline Avx2::Mask operator==(Avx2 a, Avx2 b) { return {_mm256_cmp_pd(a.x, b.x, _CMP_EQ_OQ)}; }
inline Avx2::Mask operator!=(Avx2 a, Avx2 b) { return {_mm256_cmp_pd(a.x, b.x, _CMP_NEQ_UQ)}; }
inline Avx2::Mask operator&(Avx2::Mask a, Avx2::Mask b) { return {_mm256_and_pd(a.m, b.m)}; }
inline Avx2::Mask operator|(Avx2::Mask a, Avx2::Mask b) { return {_mm256_or_pd(a.m, b.m)}; }
inline Avx2::Mask operator~(Avx2::Mask a)
{
    return {_mm256_xor_pd(a.m, _mm256_castsi256_pd(_mm256_set1_epi32(-1)))};
}
inline bool any(Avx2::Mask a) { return _mm256_movemask_pd(a.m) != 0; }
inline bool all(Avx2::Mask a) { return _mm256_movemask_pd(a.m) == 15; }
inline Avx2 select(Avx2::Mask m, Avx2 a, Avx2 b) { return _mm256_blendv_pd(b.x, a.x, m.m); }
inline Avx2 sqrt(Avx2 a) { return _mm256_sqrt_pd(a.x); }
inline Avx2 abs(Avx2 a) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a.x); }
inline Avx2 copysign(Avx2 magnitude, Avx2 sign)
{
    const __m256d s = _mm256_set1_pd(-0.0);
    return _mm256_or_pd(_mm256_andnot_pd(s, magnitude.x), _mm256_and_pd(s, sign.x));
}
inline Avx2::Mask signbit(Avx2 a)
{
    return {_mm256_castsi256_pd(_mm256_cmpgt_epi64(_mm256_setzero_si256(), _mm256_castpd_si256(a.x)))};
}
inline Avx2 exponent_field(Avx2 a)
{
    const __m256i e =
        _mm256_and_si256(_mm256_srli_epi64(_mm256_castpd_si256(a.x), 52), _mm256_set1_epi64x(0x7ff));
    const __m256i shifted =
        _mm256_or_si256(e, _mm256_set1_epi64x(static_cast<long long>(integer_shift_bits)));
    return _mm256_sub_pd(_mm256_castsi256_pd(shifted), _mm256_set1_pd(integer_shift));
}
inline Avx2 power_of_two(Avx2 k)
{
    const __m256d biased = _mm256_add_pd(k.x, _mm256_set1_pd(1023.0 + integer_shift));
    return _mm256_castsi256_pd(_mm256_slli_epi64(_mm256_castpd_si256(biased), 52));
}
#endif

// --- two lanes, NEON ------------------------------------------------------
#if defined(__aarch64__) && defined(__ARM_NEON)
struct Neon {
    static constexpr int width = 2;
    float64x2_t x;
    Neon() = default;
    Neon(float64x2_t v) : x(v) {}
    Neon(double v) : x(vdupq_n_f64(v)) {}
    static Neon load(const double *p) { return vld1q_f64(p); }
    void store(double *p) const { vst1q_f64(p, x); }
    struct Mask {
        uint64x2_t m;
    };
};

inline Neon operator+(Neon a, Neon b) { return vaddq_f64(a.x, b.x); }
inline Neon operator-(Neon a, Neon b) { return vsubq_f64(a.x, b.x); }
inline Neon operator*(Neon a, Neon b) { return vmulq_f64(a.x, b.x); }
inline Neon operator/(Neon a, Neon b) { return vdivq_f64(a.x, b.x); }
inline Neon operator-(Neon a) { return vnegq_f64(a.x); }
inline Neon::Mask operator<(Neon a, Neon b) { return {vcltq_f64(a.x, b.x)}; }
inline Neon::Mask operator<=(Neon a, Neon b) { return {vcleq_f64(a.x, b.x)}; }
inline Neon::Mask operator>(Neon a, Neon b) { return {vcgtq_f64(a.x, b.x)}; }
inline Neon::Mask operator>=(Neon a, Neon b) { return {vcgeq_f64(a.x, b.x)}; }
inline Neon::Mask operator==(Neon a, Neon b) { return {vceqq_f64(a.x, b.x)}; }
inline Neon::Mask operator!=(Neon a, Neon b)
{
    return {veorq_u64(vceqq_f64(a.x, b.x), vdupq_n_u64(~std::uint64_t{0}))};
}
inline Neon::Mask operator&(Neon::Mask a, Neon::Mask b) { return {vandq_u64(a.m, b.m)}; }
inline Neon::Mask operator|(Neon::Mask a, Neon::Mask b) { return {vorrq_u64(a.m, b.m)}; }
inline Neon::Mask operator~(Neon::Mask a) { return {veorq_u64(a.m, vdupq_n_u64(~std::uint64_t{0}))}; }
inline bool any(Neon::Mask a) { return (vgetq_lane_u64(a.m, 0) | vgetq_lane_u64(a.m, 1)) != 0; }
inline bool all(Neon::Mask a) { return (vgetq_lane_u64(a.m, 0) & vgetq_lane_u64(a.m, 1)) != 0; }
inline Neon select(Neon::Mask m, Neon a, Neon b) { return vbslq_f64(m.m, a.x, b.x); }
inline Neon sqrt(Neon a) { return vsqrtq_f64(a.x); }
inline Neon abs(Neon a) { return vabsq_f64(a.x); }
inline Neon copysign(Neon magnitude, Neon sign)
{
    return vbslq_f64(vdupq_n_u64(0x8000000000000000u), sign.x, magnitude.x);
}
inline Neon::Mask signbit(Neon a)
{
    return {vreinterpretq_u64_s64(vshrq_n_s64(vreinterpretq_s64_f64(a.x), 63))};
}
inline Neon exponent_field(Neon a)
{
    const uint64x2_t e = vandq_u64(vshrq_n_u64(vreinterpretq_u64_f64(a.x), 52), vdupq_n_u64(0x7ff));
    return vsubq_f64(vreinterpretq_f64_u64(vorrq_u64(e, vdupq_n_u64(integer_shift_bits))),
                     vdupq_n_f64(integer_shift));
}
inline Neon power_of_two(Neon k)
{
    const float64x2_t biased = vaddq_f64(k.x, vdupq_n_f64(1023.0 + integer_shift));
    return vreinterpretq_f64_u64(vshlq_n_u64(vreinterpretq_u64_f64(biased), 52));
}
#endif

// What every width shares, in its operations.
template <class V>
V min_of(V a, V b)
{
    return select(b < a, b, a);
}
template <class V>
V max_of(V a, V b)
{
    return select(a < b, b, a);
}
// m ? a : b, lane by lane, for masks.
template <class M>
M choose(M m, M a, M b)
{
    return (m & a) | (~m & b);
}
// The integer nearest x (ties to even), for |x| below 2^51.
template <class V>
V nearest_integer(V x)
{
    return (x + V(rounding_shift)) - V(rounding_shift);
}

}  // namespace
}  // namespace lanes

#endif
