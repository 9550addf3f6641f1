// Reading a number, alike in all three programs: text is a number only when
// strtod, in the C locale, reads all of it.  So "106.46W", "38,3" and an
// empty string are refused rather than read as 106.46, 38 and 0, while
// every spelling strtod takes (a leading '+', hexadecimal, "nan(...)",
// "inf", values beyond double range) reads as strtod reads it.
#ifndef OSTREM_COMMON_NUMBER_H
#define OSTREM_COMMON_NUMBER_H

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "endian.h"

// Floating-point from_chars is missing from some C++ libraries (libc++ 14,
// the one of many macOS releases); without it, strtod alone reads what the
// plain decimal path does not, to the same bits.
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
#define OSTREM_HAVE_FLOAT_FROM_CHARS 1
#else
#define OSTREM_HAVE_FLOAT_FROM_CHARS 0
#endif

namespace number {

// Could strtod read on past this character, as part of a number?  Then a
// field ending there must be copied before strtod sees it.
inline bool continues(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '+' || c == '-' ||
           c == '(' || c == ')' || c == '_';
}

// 10^k for k decimals of a plain decimal: each an exact double.
constexpr double pow10[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                              1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// Eight characters at a time where the bytes of an integer lie in the
// order of the text and the compiler counts trailing zero bits (GCC,
// Clang); elsewhere one character at a time, to the same result.
#define OSTREM_EIGHT_AT_ONCE OSTREM_LITTLE_ENDIAN

#if OSTREM_EIGHT_AT_ONCE
namespace eight {

// Eight characters, the first in the lowest byte.
inline uint64_t load(const char *s)
{
    uint64_t x;
    std::memcpy(&x, s, sizeof x);
    return x;
}

// The first n (1 to 8) digits of x as an integer: moved to the top, with
// zeros in front, and combined in pairs, fours and eights.
inline uint64_t value(uint64_t x, int n)
{
    x <<= 8 * (8 - n);
    x = x * 10 + (x >> 8);
    return (((x & 0x000000FF000000FFu) * (100 + (1000000ull << 32))) +
            (((x >> 16) & 0x000000FF000000FFu) * (1 + (10000ull << 32)))) >> 32;
}

// A plain decimal at the start of the eight characters c, of which room
// (1 to 8) may belong to it.  Where the next field starts waits on its
// length, so that is found by the shortest test: up to the first byte
// below '.', as blanks, commas and the NUL are (a byte of 128 or more may
// stop it too, being no digit).  Beside it, whether everything before is
// digits and at most one point, and the digits themselves, the point
// taken out so that the fraction's follow the whole part's (the byte let
// in at the top is past them).
struct Scan {
    uint64_t digits;  // each digit's value in a byte, the number's first
    int len;          // characters, the point among them
    int n;            // digits
    int decimals;     // digits after the point
    bool plain;       // false: some other character, or two points
};

inline Scan scan(uint64_t c, int room = 8)
{
    constexpr uint64_t high = 0x8080808080808080u, low7 = 0x7F7F7F7F7F7F7F7Fu;
    // Each byte with its top bit set is 128 or more: no borrow crosses one.
    uint64_t stop = ~((c | high) - 0x2E2E2E2E2E2E2E2Eu) & high;
    if (room < 8)
        stop |= uint64_t{0x80} << (8 * room);
    Scan s;
    s.len = stop ? __builtin_ctzll(stop) >> 3 : 8;
    const uint64_t before = (stop - 1) & ~stop;  // the bits below the stop's
    // XOR with '0' makes a digit its value, 0 to 9, and nothing else: a
    // byte above 9 has its top bit set in x + 0x76 or in x itself, and a
    // carry out of such a byte reaches only the bytes after it.  The point
    // becomes '.' ^ '0', found exactly: no borrow crosses a byte.
    const uint64_t x = c ^ 0x3030303030303030u, y = x ^ 0x1E1E1E1E1E1E1E1Eu;
    const uint64_t points = ~(((y & low7) + low7) | y) & high & before;
    const uint64_t others = ((x + 0x7676767676767676u) | x) & high & before & ~points;
    const uint64_t first = points & (~points + 1);
    const uint64_t ahead = (first >> 7) - 1;  // the bytes before the point; all without one
    s.digits = (x & ahead) | ((x >> 8) & ~ahead);
    s.n = s.len - (points != 0);
    s.decimals = points ? s.len - 1 - (__builtin_ctzll(first) >> 3) : 0;
    s.plain = others == 0 && (points & (points - 1)) == 0;
    return s;
}

}  // namespace eight
#endif

// d with the sign of a '-' read before it, put into the sign bit rather
// than chosen by a branch: half of all coordinates are negative, in no
// order a branch predictor could learn.
inline double with_sign(double d, bool neg)
{
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    bits |= static_cast<uint64_t>(neg) << 63;
    std::memcpy(&d, &bits, sizeof bits);
    return d;
}

// The usual spelling of a coordinate, an optional '-', at most 15 digits
// and at most one '.', read exactly: the digits as an integer m below 2^53
// and 10^k for k decimals are both exact doubles, so m / 10^k is one
// correctly rounded division, which is strtod's result.  *p is where the
// reading starts; it stops at the first character of no such spelling,
// which is left in *p.  False when there is no digit or more than 15.
// stop[0] must be readable (a NUL, a separator, the next text): a number
// of up to eight characters after its sign is read in one load, which may
// end on it.
inline bool plain_prefix(const char **p, const char *stop, double *v)
{
    const char *s = *p;
    const bool neg = s < stop && *s == '-';
    s += neg;
    uint64_t m = 0;  // may wrap past 19 digits; those are refused below
    int decimals = 0;
    long n = 0;      // digits
#if OSTREM_EIGHT_AT_ONCE
    const long avail = stop - s;
    if (avail >= 7) {
        const eight::Scan d = eight::scan(eight::load(s), static_cast<int>(std::min(avail, 8L)));
        const unsigned next = d.len < avail ? static_cast<unsigned char>(s[d.len]) : 0u;
        if (d.plain && next - '0' > 9 && next != '.') {  // the number ends within the eight
            *p = s + d.len;
            if (d.n == 0)
                return false;
            double x = static_cast<double>(eight::value(d.digits, d.n));
            if (d.decimals > 0)
                x /= pow10[d.decimals];
            *v = with_sign(x, neg);
            return true;
        }
    }
#endif
    const char *digits = s;
    for (unsigned d; s < stop && (d = static_cast<unsigned char>(*s) - '0') <= 9; s++)
        m = m * 10 + d;
    if (s < stop && *s == '.') {
        const char *point = s++;
        for (unsigned d; s < stop && (d = static_cast<unsigned char>(*s) - '0') <= 9; s++)
            m = m * 10 + d;
        decimals = static_cast<int>(s - point - 1);
        digits++;  // the point is no digit
    }
    n = s - digits;
    *p = s;
    if (n == 0 || n > 15)
        return false;
    double x = static_cast<double>(m);
    if (decimals > 0)
        x /= pow10[decimals];
    *v = neg ? -x : x;
    return true;
}

// [p, stop) in that spelling, whole.  False for any other spelling, which
// the general readers below then take.
inline bool plain_decimal(const char *p, const char *stop, double *v)
{
    return plain_prefix(&p, stop, v) && p == stop;
}

// [start, stop) as strtod reads it, or false when strtod would not consume
// all of it.  The text begins with what it is: no white space is skipped.
// from_chars gives the same correctly rounded double for plain decimals
// much faster; what it does not take whole (a leading '+', hexadecimal, a
// value beyond double range) or gives as NaN (whose sign bit strtod
// decides) goes to strtod.
inline bool read(const char *start, const char *stop, double *v)
{
    if (plain_decimal(start, stop, v))
        return true;
#if OSTREM_HAVE_FLOAT_FROM_CHARS
    std::from_chars_result r = std::from_chars(start, stop, *v);
    if (r.ec == std::errc() && r.ptr == stop && !std::isnan(*v))
        return true;
#endif
    if (start == stop || std::isspace(static_cast<unsigned char>(*start)))
        return false;
    char *end;
    if (*stop != '\0' && continues(*stop)) {
        // strtod reads up to a NUL; here something it could take follows.
        std::string copy(start, stop);
        *v = std::strtod(copy.c_str(), &end);
        return end == copy.c_str() + copy.size();
    }
    *v = std::strtod(start, &end);
    return end == stop;
}

// A command-line argument: white space around the number is allowed.
inline bool read_arg(const char *s, double *v)
{
    while (std::isspace(static_cast<unsigned char>(*s)))
        s++;
    const char *e = s + std::strlen(s);
    while (e > s && std::isspace(static_cast<unsigned char>(e[-1])))
        e--;
    return read(s, e, v);
}

// n arguments, each rounded to float as the programs round atof's double.
// Every one that is not a number is named on standard error, and then
// false comes back.
inline bool read_args(const char *prog, char **args, int n, float *c)
{
    bool ok = true;
    for (int i = 0; i < n; i++) {
        double v = 0.0;
        if (!read_arg(args[i], &v)) {
            std::fprintf(stderr, "%s: argument %d is not a number: %s\n", prog, i + 1, args[i]);
            ok = false;
        }
        c[i] = static_cast<float>(v);
    }
    return ok;
}

// The two small programs' command line: an earthquake's and a station's
// coordinates, four arguments read by read_args.  0; -1 after the usage
// when there are not four; 1 after read_args's messages.
inline int pair_arguments(const char *prog, int argc, char **argv, float c[4])
{
    if (argc != 5) {
        std::fprintf(stderr, "Usage: %s eqlat eqlon stlat stlon\n", prog);
        return -1;
    }
    return read_args(prog, argv + 1, 4, c) ? 0 : 1;
}

// No place has a NaN latitude or longitude; the module's range tests are
// comparisons, which NaN passes, so the programs refuse it themselves.
inline bool any_nan(const float *c, int n)
{
    for (int i = 0; i < n; i++)
        if (std::isnan(c[i]))
            return true;
    return false;
}

}  // namespace number

#endif
