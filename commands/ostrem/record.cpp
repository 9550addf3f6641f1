// Each line takes one pass: its fields are found (split), the numbers read
// from the ones wanted (take), completed with a fixed end (-e, -s), given
// to one module function (compute), and written (emit).  The options decide
// what each step does; there is no second copy of the loop per mode.
//
// Without -p the results must be the programs' own bits and digits: each
// field is read as strtod reads it and rounded to float as atof's result
// is, the same module function is called, and each value is written
// exactly as printf's "%.2f" writes it.  With -p N the double-precision
// functions take the numbers as read and each value is written exactly as
// printf's "%.Nf" writes the double.
#include "record.h"

#include <cstdio>

#include "fields.h"
#include "ostrem.h"

namespace filter {

Record::Record(const Options &o) : opt_(o)
{
    last_ = opt_.last_field();
    slot_.assign(static_cast<size_t>(last_) + 1, -1);
    for (int i = opt_.want - 1; i >= 0; i--) {  // the first slot naming a field
        repeats_ = repeats_ || slot_[static_cast<size_t>(opt_.field[i])] >= 0;
        slot_[static_cast<size_t>(opt_.field[i])] = static_cast<signed char>(i);
    }
}

// The start of an output line: with -a, the input line and a separator.
void Record::put_line(const char *line, size_t n, Bytes &out) const
{
    if (opt_.append && line) {
        out.put(line, n);
        char j = opt_.joiner();
        out.put(&j, 1);
    }
}

// An output line of words in place of the results: after the input line
// with -a, joined like results.
void Record::put_words(const char *line, size_t n, const std::string_view words[3], Bytes &out) const
{
    put_line(line, n, out);
    char *p = out.room(3 * 8);  // no word is longer than 6 bytes
    for (int i = 0; i < opt_.results(); i++) {
        std::memcpy(p, words[i].data(), words[i].size());
        p += words[i].size();
        *p++ = i + 1 < opt_.results() ? opt_.joiner() : '\n';
    }
    out.commit(p);
}

static constexpr std::string_view nans[3] = {"nan", "nan", "nan"};

void Record::overlong(Bytes &out, Reason &why) const
{
    std::snprintf(why.text, sizeof why.text, "line longer than %zu bytes", max_line);
    put_words(nullptr, 0, nans, out);
}

// Fields to numbers: the ones the options want, in the order wanted.
// Returns nullptr, or why the line is bad.
const char *Record::take(char *line, size_t n, double v[4], Reason &why) const
{
    // Locals, not members: every store through a char pointer below could
    // alias a member and force it to be read again.
    const int last = last_;
    const signed char *slot = slot_.data();
    const int nslot = static_cast<int>(slot_.size());
    const bool on_sep = opt_.sep != 0;
    int bad_field = 0;  // the first wanted field that is not a number
    bool bad_empty = false;
    auto take = [&](int k, const char *start, const char *stop) {
        int i = k < nslot ? slot[k] : -1;
        if (i < 0)
            return;
        bool ok = on_sep ? field_number(start, stop, &v[i]) : number::read(start, stop, &v[i]);
        if (!ok && !bad_field) {
            bad_field = k;
            bad_empty = start == stop;
        }
    };
    int count = on_sep ? split_on(line, line + n, opt_.sep, take)
                       : split_blanks(line, line + n, take);
    if (count < 0 && (-count <= last || !opt_.listed)) {
        std::snprintf(why.text, sizeof why.text, "field %d has an unterminated quote", -count);
        return why.text;
    }
    if (!opt_.listed && count != opt_.want) {
        std::snprintf(why.text, sizeof why.text, "expected %d fields, found %d", opt_.want, count);
        return why.text;
    }
    if (opt_.listed && count >= 0 && count < last) {
        std::snprintf(why.text, sizeof why.text, "expected at least %d fields, found %d", last, count);
        return why.text;
    }
    if (bad_field) {
        std::snprintf(why.text, sizeof why.text,
                      bad_empty ? "field %d is empty" : "field %d is not a number", bad_field);
        return why.text;
    }
    // A field named twice in -f fills every slot that names it.
    if (repeats_)
        for (int i = 0; i < opt_.want; i++)
            v[i] = v[static_cast<int>(slot[opt_.field[i]])];
    return nullptr;
}

// Numbers to results, through the float functions (the programs' bits) or
// with -p the double ones.  Returns nullptr, or why the line is bad.
const char *Record::compute(const double c[4], double r[3]) const
{
    int rc;
    if (opt_.prec < 0) {
        float f[4], fr[3];
        for (int i = 0; i < 4; i++)
            f[i] = static_cast<float>(c[i]);  // as the programs round atof's double
        rc = opt_.mode == Mode::dist ? ostrem(f[0], f[1], f[2], f[3], &fr[0], &fr[1], &fr[2])
             : opt_.mode == Mode::mid ? midpoint(f[0], f[1], f[2], f[3], &fr[0], &fr[1])
                                      : walk(f[0], f[1], f[2], f[3], &fr[0], &fr[1]);
        for (int i = 0; i < opt_.results(); i++)
            r[i] = fr[i];
    } else {
        rc = opt_.mode == Mode::dist ? ostremd(c[0], c[1], c[2], c[3], &r[0], &r[1], &r[2])
             : opt_.mode == Mode::mid ? midpointd(c[0], c[1], c[2], c[3], &r[0], &r[1])
                                      : walkd(c[0], c[1], c[2], c[3], &r[0], &r[1]);
    }
    if (rc == 0)
        return nullptr;
    if (opt_.mode == Mode::walk) {
        // The values as the module saw them: rounded to float or not.
        double az = opt_.prec < 0 ? static_cast<float>(c[2]) : c[2];
        double del = opt_.prec < 0 ? static_cast<float>(c[3]) : c[3];
        if (az < -360.0 || az > 360.0)
            return "azimuth out of range";
        if (del < 0.0 || del > 180.0)
            return "distance out of range";
    }
    return "coordinate out of range";
}

bool Record::line(char *line, size_t n, bool header, Bytes &out, Reason &why) const
{
    size_t body = n > 0 && line[n - 1] == '\r' ? n - 1 : n;  // CRLF
    if (header) {
        // The names of the results, in place of a header line or after it.
        static constexpr std::string_view names[3][3] = {
            {"dist", "az", "baz"}, {"midlat", "midlon", ""}, {"lat", "lon", ""}};
        put_words(line, body, names[static_cast<int>(opt_.mode)], out);
        return true;
    }
    size_t k = 0;
    while (k < n && blank(line[k]))
        k++;
    if (k >= body || line[k] == '#') {
        out.put(line, n);  // blank or comment: copied as it came
        out.put("\n", 1);
        return true;
    }
    line[body] = '\0';

    // The numbers go where the fixed end leaves room: after -e's point,
    // before -s's.
    double c[4], r[3];
    const int from = opt_.fixed == 'e' ? 2 : 0;
    const char *reason = take(line, body, c + from, why);
    if (!reason) {
        if (opt_.fixed) {
            int at = opt_.fixed == 'e' ? 0 : 2;
            c[at] = opt_.fix[0];
            c[at + 1] = opt_.fix[1];
        }
        reason = compute(c, r);
    }
    if (reason) {
        if (reason != why.text)
            std::snprintf(why.text, sizeof why.text, "%s", reason);
        put_words(line, body, nans, out);
        return false;
    }
    put_line(line, body, out);
    const int nres = opt_.results(), prec = opt_.prec;
    const char join = opt_.joiner();
    char *p = out.room(3 * 64);  // the longest "%.2f" float is 43 bytes; results are < 1e9
    for (int i = 0; i < nres; i++) {
        p = prec < 0 ? put_value(p, static_cast<float>(r[i])) : put_fixed(p, r[i], prec);
        *p++ = join;
    }
    p[-1] = '\n';
    out.commit(p);
    return true;
}

}  // namespace filter
