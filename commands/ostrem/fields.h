// Finding the fields of a line and reading a field as a number.
#ifndef OSTREM_FILTER_FIELDS_H
#define OSTREM_FILTER_FIELDS_H

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "number.h"

namespace filter {

inline bool blank(char c) { return c == ' ' || c == '\t'; }

// UTF-8's byte-order mark, which some writers put before a file's first
// line.
constexpr char byte_order_mark[] = "\xef\xbb\xbf";

// The fields of a line, split on blanks, tabs and/or one comma.  take(k,
// start, stop) is called for field k (from 1); returns the field count.
template <typename Take>
int split_blanks(const char *p, const char *end, Take &&take)
{
    int k = 0;
    while (p < end && blank(*p))
        p++;
    for (;;) {
        const char *start = p;
        while (p < end && !blank(*p) && *p != ',')
            p++;
        take(++k, start, p);
        while (p < end && blank(*p))
            p++;
        if (p < end && *p == ',') {
            p++;
            while (p < end && blank(*p))
                p++;
            continue;  // a field follows, if only an empty one
        }
        if (p >= end)
            return k;
    }
}

// The fields of a line, split on exactly sep; empty fields count.  A field
// that begins with '"' is quoted as in CSV: separators inside it do not
// split it, and "" stands for one quote.  Returns the field count, or -k
// when field k opens a quote that the line never closes.
template <typename Take>
int split_on(const char *p, const char *end, char sep, Take &&take)
{
    int k = 0;
    for (;;) {
        const char *start = p;
        if (p < end && *p == '"' && sep != '"') {
            p++;
            for (;;) {
                const char *q = static_cast<const char *>(std::memchr(p, '"', static_cast<size_t>(end - p)));
                if (!q)
                    return -(k + 1);
                p = q + 1;
                if (p < end && *p == '"') {
                    p++;
                    continue;
                }
                break;
            }
        }
        const char *s = static_cast<const char *>(std::memchr(p, sep, static_cast<size_t>(end - p)));
        p = s ? s : end;
        take(++k, start, p);
        if (p >= end)
            return k;
        p++;
    }
}

// The usual line, read without -d or -f: exactly want plain decimals (as
// number::plain_prefix reads them), each followed by blanks, one comma
// (blanks around it allowed) or the line's end.  Reads them into v and
// returns true; false for every other line, which split_blanks and
// number::read then take.  Where this takes a line, those give the same
// numbers from the same fields: it is the same reading in one pass.
// *end is the line's NUL, and line_slack bytes after it may be read.
constexpr size_t line_slack = 8;

#if OSTREM_EIGHT_AT_ONCE
// A number of up to eight characters after its sign is read in one load,
// which the NUL at the end stops like any other character that is no digit.
// Where a field starts waits on the fields before it, so that chain is
// kept short: the eight characters after the sign are loaded beside those
// at it and picked by the sign without a branch (signs come in no order a
// branch predictor could learn), only the length of each number lies on
// it, and separators are followed by branches, which are predicted.  The
// divisions by 10^k are done together after, so that they overlap.
constexpr int plain_most = 6;  // the most numbers plain_fields reads: want <= plain_most

// Inlined into each line's work, where it was measured to be worth 5 % (-p 6).
[[gnu::always_inline]] inline bool plain_fields(const char *p, const char *end, int want, double *v)
{
    using namespace number::eight;
    uint64_t mantissas[plain_most];
    int decimals[plain_most];
    bool signs[plain_most];
    for (int i = 0;;) {
        while (blank(*p))
            p++;
        const uint64_t at = load(p), after = load(p + 1);
        const bool neg = (at & 0xFF) == '-';
        const Scan d = scan(neg ? after : at);
        p += neg + d.len;
        // The field ends here, or it is some other spelling (or more than
        // eight characters), which the general reading takes.  A NUL ends
        // it too: the line's own, or one inside it, which the next field
        // or the test of the end refuses.  One branch, seldom taken.
        const unsigned char next = static_cast<unsigned char>(*p);
        constexpr uint64_t enders = uint64_t{1} | uint64_t{1} << ' ' | uint64_t{1} << '\t' | uint64_t{1} << ',';
        const bool ends = next <= ',' && ((uint64_t{1} << next) & enders);
        if (!((d.n != 0) & d.plain & ends))
            return false;
        mantissas[i] = value(d.digits, d.n);
        decimals[i] = d.decimals;
        signs[i] = neg;
        while (blank(*p))
            p++;
        bool comma = false;
        if (*p == ',') {
            comma = true;
            do
                p++;
            while (blank(*p));
        }
        if (++i == want) {
            if (p != end || comma)  // a comma at the end opens an empty field
                return false;
            break;
        }
    }
    for (int i = 0; i < want; i++)  // dividing by 10^0 = 1 is exact
        v[i] = number::with_sign(static_cast<double>(mantissas[i]) / number::pow10[decimals[i]], signs[i]);
    return true;
}
#else
// Inlined into each line's work, where it was measured to be worth 5 % (-p 6).
[[gnu::always_inline]] inline bool plain_fields(const char *p, const char *end, int want, double *v)
{
    while (p < end && blank(*p))
        p++;
    for (int i = 0;;) {
        if (!number::plain_prefix(&p, end, &v[i]))
            return false;
        if (p < end && !blank(*p) && *p != ',')
            return false;  // more of the field follows: some other spelling
        while (p < end && blank(*p))
            p++;
        bool comma = p < end && *p == ',';
        if (comma)
            for (p++; p < end && blank(*p);)
                p++;
        if (++i == want)
            return p == end && !comma;  // a comma at the end opens an empty field
        if (p == end)
            return false;
    }
}
#endif

// A field's value written for -o: as it is, or, where it holds the
// separator, a quote, a CR or a LF, in quotes with each quote doubled, as
// RFC 4180 writes CSV.
inline void put_field(std::string &out, const char *start, const char *stop, char sep)
{
    bool plain = true;
    for (const char *p = start; p < stop && plain; p++)
        plain = *p != sep && *p != '"' && *p != '\r' && *p != '\n';
    if (plain) {
        out.append(start, stop);
        return;
    }
    out += '"';
    for (const char *p = start; p < stop; p++) {
        if (*p == '"')
            out += '"';
        out += *p;
    }
    out += '"';
}

// A line's fields joined by out_sep instead, each written by put_field:
// split on sep (a field in quotes, as CSV writes it, taken without them,
// "" as one quote) or, where sep is 0, on blanks and/or a comma.  A quote
// the line never closes leaves the rest of it one field, as it stands.
inline void rejoin(const char *line, size_t n, char sep, char out_sep, std::string &out)
{
    const char *end = line + n, *after = line;
    std::string value;
    bool first = true;
    auto take = [&](int, const char *start, const char *stop) {
        if (!first)
            out += out_sep;
        first = false;
        after = stop;
        if (sep && sep != '"' && stop - start >= 2 && *start == '"' && stop[-1] == '"') {  // its value
            value.clear();
            for (const char *p = start + 1; p < stop - 1; p++) {
                value += *p;
                if (*p == '"' && p + 1 < stop - 1 && p[1] == '"')
                    p++;
            }
            put_field(out, value.data(), value.data() + value.size(), out_sep);
        } else {
            put_field(out, start, stop, out_sep);
        }
    };
    const int fields = sep ? split_on(line, end, sep, take) : split_blanks(line, end, take);
    if (fields < 0) {  // an unterminated quote: the rest as it stands
        if (!first)
            out += out_sep;
        const char *rest = after == line ? line : after + 1;
        put_field(out, rest, end, out_sep);
    }
}

// A field's value without the blanks around it, and without quotes
// around it (and the blanks inside them), as a CSV writer may quote it.
inline void unwrap(const char *&start, const char *&stop)
{
    while (start < stop && blank(*start))
        start++;
    while (stop > start && blank(stop[-1]))
        stop--;
    if (stop - start >= 2 && *start == '"' && stop[-1] == '"') {
        start++;
        stop--;
        while (start < stop && blank(*start))
            start++;
        while (stop > start && blank(stop[-1]))
            stop--;
    }
}

// One field under -d as a number: blanks and quotes around it allowed.
inline bool field_number(const char *start, const char *stop, double *v)
{
    unwrap(start, stop);
    return number::read(start, stop, v);
}

}  // namespace filter

#endif
