// Numbers written exactly as printf writes them, without printf's cost,
// and the growable byte buffer that lines are written into.
#ifndef OSTREM_FILTER_FORMAT_H
#define OSTREM_FILTER_FORMAT_H

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace filter {

// Two decimals exactly as printf's "%.2f" writes them.  A float times 100
// is exact in double (24 + 7 bits), and nearbyint rounds it to nearest,
// ties to even, as printf rounds the exact binary value; the sign is
// printed from the sign bit, so -0.0 and -0.001 give "-0.00" as printf
// does.  NaN ("nan" or "-nan") and values too large for the integer path
// are left to printf itself.
inline char *put_value(char *p, float f)
{
    double d = static_cast<double>(f) * 100.0;
    if (!(std::fabs(d) < 0x1p52))
        return p + std::snprintf(p, 64, "%.2f", static_cast<double>(f));
    if (std::signbit(d))
        *p++ = '-';
    unsigned long long u = static_cast<unsigned long long>(std::fabs(std::nearbyint(d)));
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u > 0 || n < 3);
    while (n > 2)
        *p++ = digits[--n];
    *p++ = '.';
    *p++ = digits[1];
    *p++ = digits[0];
    return p;
}

// prec decimals of a double exactly as printf's "%.*f" writes them.  The
// double is m * 2^-s with m below 2^53; m * 10^prec (below 2^83) is exact
// in 128 bits, and shifting it right by s with the remainder rounded to
// nearest, ties to even, is printf's rounding of the exact binary value.
// The sign comes from the sign bit, as for put_value.  NaN, infinities and
// values of 1e9 or more are left to printf.
inline char *put_fixed(char *p, double d, int prec)
{
    static const uint64_t pow10[10] = {1,         10,         100,         1000,
                                       10000,     100000,     1000000,     10000000,
                                       100000000, 1000000000};
    double a = std::fabs(d);
    if (!(a < 1e9))
        return p + std::snprintf(p, 400, "%.*f", prec, d);
    if (std::signbit(d))
        *p++ = '-';
    int e;
    double m = std::frexp(a, &e);  // a = m * 2^e, m in [0.5, 1) or 0
    uint64_t mant = static_cast<uint64_t>(std::ldexp(m, 53));
    int shift = 53 - e;  // a = mant * 2^-shift, shift >= 23 here
    unsigned __int128 x = static_cast<unsigned __int128>(mant) * pow10[prec];
    uint64_t q = 0;
    if (shift < 100) {  // beyond, x < 2^83 is below half a unit: 0
        q = static_cast<uint64_t>(x >> shift);
        unsigned __int128 rem = x - (static_cast<unsigned __int128>(q) << shift);
        unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
        if (rem > half || (rem == half && (q & 1)))
            q++;
    }
    char digits[32];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + q % 10);
        q /= 10;
    } while (q > 0 || n <= prec);
    while (n > prec)
        *p++ = digits[--n];
    if (prec > 0)
        *p++ = '.';
    while (n > 0)
        *p++ = digits[--n];
    return p;
}

// Text from the input or the command line, as a message shows it: at most
// 40 bytes of it (then "..."), and control bytes written as \xHH, so that
// no escape sequence reaches the terminal.  dst holds at least 4 * 40 + 4.
inline void show(char *dst, const char *s, size_t n)
{
    static const char hex[] = "0123456789abcdef";
    size_t k = 0;
    for (; k < n && k < 40; k++) {
        unsigned char c = static_cast<unsigned char>(s[k]);
        if (c < 0x20 || c == 0x7f) {
            *dst++ = '\\';
            *dst++ = 'x';
            *dst++ = hex[c >> 4];
            *dst++ = hex[c & 15];
        } else {
            *dst++ = static_cast<char>(c);
        }
    }
    if (k < n)
        dst = static_cast<char *>(std::memcpy(dst, "...", 3)) + 3;
    *dst = '\0';
}
constexpr size_t shown_size = 4 * 40 + 4;

// Bytes written a line at a time: room for n more, then commit up to
// where the writing stopped.  Grows as needed; clear() keeps the memory,
// so a buffer that is emptied after each block allocates only at first.
class Bytes {
public:
    Bytes() = default;
    Bytes(const Bytes &) = delete;
    Bytes &operator=(const Bytes &) = delete;
    ~Bytes() { std::free(buf_); }

    char *room(size_t n)
    {
        if (cap_ - len_ < n)
            grow(n);
        return buf_ + len_;
    }
    void commit(char *end) { len_ = static_cast<size_t>(end - buf_); }
    void put(const char *p, size_t n)
    {
        if (n == 0)
            return;  // an empty buffer has no memory yet to copy into
        std::memcpy(room(n), p, n);
        len_ += n;
    }
    void put(std::string_view s) { put(s.data(), s.size()); }
    const char *data() const { return buf_; }
    size_t size() const { return len_; }
    void clear() { len_ = 0; }

private:
    void grow(size_t n)
    {
        size_t cap = cap_ ? cap_ : 1 << 16;
        while (cap - len_ < n)
            cap *= 2;
        char *b = static_cast<char *>(std::realloc(buf_, cap));
        if (!b) {
            std::fputs("ostrem: out of memory\n", stderr);
            std::exit(2);
        }
        buf_ = b;
        cap_ = cap;
    }
    char *buf_ = nullptr;
    size_t len_ = 0, cap_ = 0;
};

}  // namespace filter

#endif
