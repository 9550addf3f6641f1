// Numbers written exactly as printf writes them, without printf's cost,
// and the growable byte buffer that lines are written into.
#ifndef OSTREM_FILTER_FORMAT_H
#define OSTREM_FILTER_FORMAT_H

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

#include "endian.h"

namespace filter {

// Digits two at a time: "00" to "99".
constexpr char digit_pairs[] =
    "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243444546474849"
    "5051525354555657585960616263646566676869707172737475767778798081828384858687888990919293949596979899";

// Exactly n decimal digits of u (which is below 10^n), zeros in front,
// written at p, two at a time from the last; returns the end.  Decimals
// (below 10^9) go as 32 bits, whose divisions by 100 are cheaper.
template <class Unsigned>
char *put_width(char *p, Unsigned u, int n)
{
    char *end = p + n, *q = end;
    for (; n >= 2; n -= 2, u /= 100) {
        q -= 2;
        std::memcpy(q, digit_pairs + 2 * (u % 100), 2);
    }
    if (n)
        *--q = static_cast<char>('0' + u);
    return end;
}

// Exactly n decimal digits of u (below 10^n), zeros in front, unrolled:
// n is the run's decimals, known when the writer is chosen.
template <int n>
char *put_decimals(char *p, uint32_t u)
{
    if constexpr (n >= 2) {
        std::memcpy(p + n - 2, digit_pairs + 2 * (u % 100), 2);
        put_decimals<n - 2>(p, u / 100);
    } else if constexpr (n == 1) {
        *p = static_cast<char>('0' + u);
    }
    return p + n;
}

// The decimal digits of u, as many as it has.  Below 1000, the usual
// whole part of a coordinate, an azimuth or a distance, without a branch
// on how many: three digits are made in one integer and its leading zeros
// shifted out, and four bytes stored.  p has room for four bytes.
inline char *put_digits(char *p, uint64_t u)
{
#if OSTREM_LITTLE_ENDIAN
    if (u < 1000) {
        const uint32_t v = static_cast<uint32_t>(u);  // 32-bit divisions are the cheaper
        uint16_t pair;
        std::memcpy(&pair, digit_pairs + 2 * (v % 100), 2);
        uint32_t three = ('0' + v / 100) | static_cast<uint32_t>(pair) << 8;
        const int skip = (v < 100) + (v < 10);
        three >>= 8 * skip;
        std::memcpy(p, &three, 4);
        return p + 3 - skip;
    }
#endif
    int n = 1;
    for (uint64_t limit = 10; n < 20 && u >= limit; limit *= 10)
        n++;
    return put_width(p, u, n);
}

// A double in [0, 2^52) rounded to the nearest integer, ties to even, as
// nearbyint rounds it in the default rounding mode: above 2^52 a double
// has no fraction bits, so the addition rounds and the subtraction is
// exact.  Neither is folded away without -ffast-math.
inline uint64_t to_nearest(double a) { return static_cast<uint64_t>((a + 0x1p52) - 0x1p52); }

// Two decimals exactly as printf's "%.2f" writes them.  A float times 100
// is exact in double (24 + 7 bits), and rounding it to nearest, ties to
// even, is how printf rounds the exact binary value; the sign is printed
// from the sign bit, so -0.0 and -0.001 give "-0.00" as printf does.  NaN
// ("nan" or "-nan") and values too large for the integer path are left
// to printf itself.
[[gnu::always_inline]] inline char *put_value(char *p, float f)
{
    double d = static_cast<double>(f) * 100.0;
    if (!(std::fabs(d) < 0x1p52))
        return p + std::snprintf(p, 64, "%.2f", static_cast<double>(f));
    *p = '-';
    p += std::signbit(d);
    uint64_t u = to_nearest(std::fabs(d));
    p = put_digits(p, u / 100);
    *p++ = '.';
    return put_decimals<2>(p, static_cast<uint32_t>(u % 100));
}

// The value below 10^18 that printf writes for a double in [2^-11, 1e9)
// with decimals decimals, scaled by 10^decimals.  The double is m * 2^-s
// with m below 2^53 and s from 23 to 63, taken from its bits; m * 10^decimals
// (below 2^83) is exact in 128 bits, and shifting it right by s with the
// remainder rounded to nearest, ties to even, is printf's rounding of the
// exact binary value.  The rounding is added without a branch, since
// whether it goes up is anybody's guess.
inline uint64_t scaled(uint64_t bits, uint64_t scale)
{
    const int shift = 1075 - static_cast<int>(bits >> 52);
    const uint64_t mant = (bits & ((uint64_t{1} << 52) - 1)) | uint64_t{1} << 52;
    const unsigned __int128 x = static_cast<unsigned __int128>(mant) * scale;
    const uint64_t low = static_cast<uint64_t>(x), high = static_cast<uint64_t>(x >> 64);
    const uint64_t half = uint64_t{1} << (shift - 1);
    const uint64_t q = high << (64 - shift) | low >> shift;  // x >> shift, as shift < 64
    const uint64_t rem = low & ((half << 1) - 1);
    return q + ((rem > half) | ((rem == half) & (q & 1)));
}

// 10^n, exact in 64 bits for the decimals of -p.
constexpr uint64_t ten_to(int n) { return n == 0 ? 1 : 10 * ten_to(n - 1); }

// q / 10^decimals with decimals decimals, after a '-' when negative (written
// without a branch: half of all latitudes and longitudes are negative).
template <int decimals>
char *put_scaled(char *p, uint64_t q, bool negative)
{
    constexpr uint64_t scale = ten_to(decimals);
    const uint64_t whole = q / scale;
    *p = '-';
    p += negative;
    p = put_digits(p, whole);
    if (decimals == 0)
        return p;
    *p++ = '.';
    return put_decimals<decimals>(p, static_cast<uint32_t>(q - whole * scale));
}

// What the usual case leaves: NaN, infinities and values of 1e9 or more
// to printf, and magnitudes below 2^-11 (0 among them), whose remainder
// lies beyond the low word.  Apart, so that the usual case keeps to a few
// registers.
template <int decimals>
[[gnu::noinline]] char *put_fixed_rare(char *p, double d)
{
    constexpr uint64_t scale = ten_to(decimals);
    double a = std::fabs(d);
    if (!(a < 1e9))
        return p + std::snprintf(p, 400, "%.*f", decimals, d);
    uint64_t bits;
    std::memcpy(&bits, &a, sizeof bits);
    const int e = static_cast<int>(bits >> 52);
    uint64_t mant = bits & ((uint64_t{1} << 52) - 1);
    int shift = 1074;  // a subnormal (or 0): mant * 2^-1074
    if (e != 0) {
        mant |= uint64_t{1} << 52;
        shift = 1075 - e;
    }
    unsigned __int128 x = static_cast<unsigned __int128>(mant) * scale;
    uint64_t q = 0;
    if (shift < 100) {  // beyond, x < 2^83 is below half a unit: 0
        q = static_cast<uint64_t>(x >> shift);
        unsigned __int128 rem = x - (static_cast<unsigned __int128>(q) << shift);
        unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
        if (rem > half || (rem == half && (q & 1)))
            q++;
    }
    return put_scaled<decimals>(p, q, std::signbit(d));
}

// Decimals decimals of a double exactly as printf's "%.*f" writes them.
// The sign comes from the sign bit, as for put_value, and is written
// without a branch: half of all latitudes and longitudes are negative.  A
// template, so that the run's choice of -p makes the divisions by
// 10^decimals constant ones.
template <int decimals>
char *put_fixed(char *p, double d)
{
    static_assert(decimals >= 0 && decimals <= 9, "printf's digits, up to 9 decimals");
    constexpr uint64_t scale = ten_to(decimals);
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    bits &= ~(uint64_t{1} << 63);
    // [2^-11, 1e9): the exponent's bits, and 1e9's bits, compared as integers.
    constexpr uint64_t smallest = uint64_t{1023 - 11} << 52, billion = 0x41CDCD6500000000u;
    if (bits - smallest >= billion - smallest)
        return put_fixed_rare<decimals>(p, d);
    return put_scaled<decimals>(p, scaled(bits, scale), std::signbit(d));
}

// The writer of one value with -p N (0 to 9).
using PutFixed = char *(*)(char *, double);
inline PutFixed fixed_writer(int decimals)
{
    static constexpr PutFixed writers[10] = {put_fixed<0>, put_fixed<1>, put_fixed<2>, put_fixed<3>,
                                             put_fixed<4>, put_fixed<5>, put_fixed<6>, put_fixed<7>,
                                             put_fixed<8>, put_fixed<9>};
    return writers[decimals];
}

// How many bytes at s (n of them) show nothing where a message is read:
// a control byte; a character that takes no room (a byte-order mark, a
// zero-width space or joiner, a direction mark, a soft hyphen) or looks
// like a space (a no-break space); a byte that is no part of UTF-8.  0
// for a character that shows.
inline size_t unseen(const unsigned char *s, size_t n)
{
    const unsigned c = s[0];
    if (c < 0x80)
        return c < 0x20 || c == 0x7f;
    const size_t len = c >= 0xc2 && c < 0xe0 ? 2 : c >= 0xe0 && c < 0xf0 ? 3 : c >= 0xf0 && c < 0xf5 ? 4 : 0;
    if (len == 0 || len > n)
        return 1;
    uint32_t code = c & (0x7f >> len);
    for (size_t k = 1; k < len; k++) {
        if ((s[k] & 0xc0) != 0x80)
            return 1;
        code = code << 6 | (s[k] & 0x3f);
    }
    const uint32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[len] || code > 0x10ffff || (code >= 0xd800 && code < 0xe000))
        return 1;  // an overlong form, a surrogate, past Unicode: no character
    const bool blank_looking = code == 0xa0 || code == 0xad || (code >= 0x200b && code <= 0x200f) ||
                               (code >= 0x2028 && code <= 0x202e) || code == 0x2060 || code == 0xfeff;
    return blank_looking ? len : 0;
}

// Text from the input or the command line, as a message shows it: at most
// 40 bytes of it (then "..."), and the bytes that show nothing (a CR, a
// byte-order mark, an escape) written as \xHH, so that what is wrong can
// be seen and no escape sequence reaches the terminal.  dst holds at least
// 4 * 40 + 4.
inline void show(char *dst, const char *s, size_t n)
{
    static const char hex[] = "0123456789abcdef";
    const unsigned char *u = reinterpret_cast<const unsigned char *>(s);
    const size_t most = n < 40 ? n : 40;
    size_t k = 0;
    while (k < most) {
        size_t hidden = unseen(u + k, most - k);
        if (hidden == 0) {  // a character that shows, whole
            size_t len = u[k] < 0x80 ? 1 : u[k] < 0xe0 ? 2 : u[k] < 0xf0 ? 3 : 4;
            for (size_t end = k + len; k < end; k++)
                *dst++ = s[k];
            continue;
        }
        for (size_t end = k + hidden; k < end; k++) {
            *dst++ = '\\';
            *dst++ = 'x';
            *dst++ = hex[u[k] >> 4];
            *dst++ = hex[u[k] & 15];
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
class Bytes;

// Who takes a buffer's bytes once it has grown past a bound: a line whose
// output has no end in sight (a path of a million steps, a station file's
// pairs) is written as it grows, not held.
class Spill {
public:
    virtual void take(Bytes &bytes) = 0;

protected:
    ~Spill() = default;
};

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
    // The last n bytes taken back (a line's end, to write more before it).
    void drop(size_t n) { len_ -= n; }
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

    // From now on, hand_on() gives the bytes to spill once there are
    // bound of them; nullptr: they are kept.
    void spill_to(Spill *spill, size_t bound)
    {
        spill_ = spill;
        bound_ = bound;
    }
    Spill *spill() const { return spill_; }
    // Said between lines of output, where the bytes may go.
    void hand_on()
    {
        if (spill_ && len_ >= bound_)
            spill_->take(*this);
    }

private:
    void grow(size_t n)
    {
        size_t cap = cap_ ? cap_ : 1 << 16;
        while (cap - len_ < n)
            cap *= 2;
        char *b = static_cast<char *>(std::realloc(buf_, cap));
        if (!b)
            throw std::bad_alloc();  // to the caller, which says so and ends the run
        buf_ = b;
        cap_ = cap;
    }
    char *buf_ = nullptr;
    size_t len_ = 0, cap_ = 0;
    Spill *spill_ = nullptr;
    size_t bound_ = 0;
};

}  // namespace filter

#endif
