// Reading a number, alike in all three programs: text is a number only when
// strtod, in the C locale, reads all of it.  So "106.46W", "38,3" and an
// empty string are refused rather than read as 106.46, 38 and 0, while
// every spelling strtod takes (a leading '+', hexadecimal, "nan(...)",
// "inf", values beyond double range) reads as strtod reads it.
#ifndef OSTREM_COMMANDS_NUMBER_H
#define OSTREM_COMMANDS_NUMBER_H

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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

// The usual spelling of a coordinate, an optional '-', at most 15 digits
// and at most one '.', read exactly: the digits as an integer m below 2^53
// and 10^k for k decimals are both exact doubles, so m / 10^k is one
// correctly rounded division, which is strtod's result.  False for any
// other spelling, which the general readers below then take.
inline bool plain_decimal(const char *p, const char *stop, double *v)
{
    static const double pow10[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                     1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    bool neg = p < stop && *p == '-';
    p += neg;
    unsigned long long m = 0;
    int digits = 0, decimals = -1;  // -1: no '.' yet
    for (; p < stop; p++) {
        unsigned d = static_cast<unsigned char>(*p) - '0';
        if (d <= 9) {
            m = m * 10 + d;
            digits++;
            decimals += decimals >= 0;
        } else if (*p == '.' && decimals < 0) {
            decimals = 0;
        } else {
            return false;
        }
    }
    if (digits == 0 || digits > 15)
        return false;
    double x = static_cast<double>(m);
    if (decimals > 0)
        x /= pow10[decimals];
    *v = neg ? -x : x;
    return true;
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
