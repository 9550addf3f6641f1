#include "line_numbers.h"

#include <cstdio>
#include <cstring>

#include "number.h"
#include "fields.h"
#include "format.h"

namespace filter {

static_assert(pair_numbers <= plain_most, "the one-pass reader holds every number a line gives");

Layout line_layout(const Options &o)
{
    using ranges::Range;
    const bool walks = o.mode == Mode::walk;
    const Range *of_slot[pair_numbers] = {&ranges::latitude, &ranges::longitude,
                                          walks ? &ranges::azimuth : &ranges::latitude,
                                          !walks                                ? &ranges::longitude
                                          : o.surface == Surface::ellipsoid ? &ranges::kilometres
                                                                                 : &ranges::distance,
                                          &ranges::depth, &ranges::elevation};
    Layout l;
    l.count = o.want;
    for (int i = 0; i < o.want; i++) {
        l.field[i] = o.field[i];
        l.slot[i] = o.slot[i];
        l.range[i] = of_slot[o.slot[i]];
    }
    l.single = o.precision == Precision::float32;
    l.times = o.times;
    for (int i = 0; i < o.times; i++)
        l.time_field[i] = o.time_field[i];
    l.sep = o.sep;
    l.listed = o.listed;
    return l;
}

Layout station_layout(const Options &o)
{
    Layout l;
    l.field[0] = o.station_field[0];
    l.field[1] = o.station_field[1];
    l.slot[0] = stlat;
    l.slot[1] = stlon;
    l.range[0] = &ranges::latitude;
    l.range[1] = &ranges::longitude;
    l.count = 2;
    if (o.station_elevation_field) {
        l.field[2] = o.station_elevation_field;
        l.slot[2] = elevation;
        l.range[2] = &ranges::elevation;
        l.count = 3;
    }
    l.single = o.precision == Precision::float32;
    l.times = o.station_time_field[0] ? 2 : 0;
    l.time_field[0] = o.station_time_field[0];
    l.time_field[1] = o.station_time_field[1];
    l.sep = o.station_sep;
    l.listed = o.station_listed;
    return l;
}

LineNumbers::LineNumbers(const Layout &layout) : layout_(layout)
{
    bool in_order = true;
    for (int i = 0; i < layout_.count; i++) {
        in_order = in_order && layout_.field[i] == i + 1 && layout_.slot[i] == layout_.slot[0] + i;
        last_ = layout_.field[i] > last_ ? layout_.field[i] : last_;
    }
    for (int i = 0; i < layout_.times; i++)
        last_ = layout_.time_field[i] > last_ ? layout_.time_field[i] : last_;
    plain_ = !layout_.sep && !layout_.listed && in_order && !layout_.times;
    which_.assign(static_cast<size_t>(last_) + 1, -1);
    // The first naming a field: a number before a time.
    for (int i = layout_.count + layout_.times - 1; i >= 0; i--) {
        const int f = i < layout_.count ? layout_.field[i] : layout_.time_field[i - layout_.count];
        repeats_ = repeats_ || which_[static_cast<size_t>(f)] >= 0;
        which_[static_cast<size_t>(f)] = static_cast<signed char>(i);
    }
}

// Fields to numbers: the ones the layout wants, in the order wanted.
// What is wrong with a line whose fields were split: their count, a
// quote left open, the first wanted field that is no number; nullptr when
// nothing is.
const char *LineNumbers::refusal(int fields, int bad_field, const char *bad_start, const char *bad_stop,
                                 Reason &why) const
{
    if (fields < 0 && (-fields <= last_ || !layout_.listed)) {
        std::snprintf(why.text, sizeof why.text, "field %d has an unterminated quote", -fields);
        return why.text;
    }
    if (!layout_.listed && fields != last_) {
        std::snprintf(why.text, sizeof why.text, "expected %d fields, found %d", last_, fields);
        return why.text;
    }
    if (layout_.listed && fields >= 0 && fields < last_) {
        std::snprintf(why.text, sizeof why.text, "expected at least %d fields, found %d", last_, fields);
        return why.text;
    }
    if (bad_field) {
        if (bad_start == bad_stop) {
            std::snprintf(why.text, sizeof why.text, "field %d is empty", bad_field);
        } else {
            char shown[shown_size];
            show(shown, bad_start, static_cast<size_t>(bad_stop - bad_start));
            std::snprintf(why.text, sizeof why.text, "field %d is not a number: %s", bad_field, shown);
        }
        return why.text;
    }
    return nullptr;
}

const char *LineNumbers::read(char *line, size_t n, double v[], Texts &t, Reason &why) const
{
    // Locals, not members: every store through a char pointer below could
    // alias a member and force it to be read again.
    const signed char *which = which_.data();
    const int nwhich = static_cast<int>(which_.size());
    const bool on_sep = layout_.sep != 0;
    const int *to = layout_.slot;
    int bad_field = 0;  // the first wanted field that is not a number
    const char *bad_start = nullptr, *bad_stop = nullptr;
    const int count = layout_.count;
    auto take = [&](int k, const char *start, const char *stop) {
        int i = k < nwhich ? which[k] : -1;
        if (i < 0)
            return;
        t.text[i] = start;
        t.len[i] = static_cast<size_t>(stop - start);
        if (i >= count)  // a time: its text alone
            return;
        double *x = &v[to[i]];
        bool ok = on_sep ? field_number(start, stop, x) : number::read(start, stop, x);
        if (!ok && !bad_field) {
            bad_field = k;
            bad_start = start;
            bad_stop = stop;
        }
    };
    int fields = on_sep ? split_on(line, line + n, layout_.sep, take)
                        : split_blanks(line, line + n, take);
    if (const char *wrong = refusal(fields, bad_field, bad_start, bad_stop, why))
        return wrong;
    // A field named twice fills every number (or time) that names it.
    if (repeats_)
        for (int i = 0; i < count + layout_.times; i++) {
            int from = which[i < count ? layout_.field[i] : layout_.time_field[i - count]];
            if (i < count)
                v[to[i]] = v[to[from]];
            t.text[i] = t.text[from];
            t.len[i] = t.len[from];
        }
    return nullptr;
}

const char *LineNumbers::check(const Texts &t, const double v[], Reason &why) const
{
    for (int i = 0; i < layout_.count; i++) {
        const ranges::Range *r = layout_.range[i];
        double x = v[layout_.slot[i]];
        if (layout_.single)
            x = static_cast<float>(x);
        if (!r || r->holds(x))
            continue;
        char what[64];
        r->describe(what, sizeof what);
        char shown[shown_size];
        show(shown, t.text[i], t.len[i]);
        std::snprintf(why.text, sizeof why.text, "field %d is out of range (%s): %s",
                      layout_.field[i], what, shown);
        return why.text;
    }
    return nullptr;
}

void LineNumbers::hint(const char *line, size_t n, Reason &why) const
{
    why.looks_separated_by = 0;
    if (!layout_.sep)
        for (char s : {'|', ';', '\t'})
            if (std::memchr(line, s, n)) {
                why.looks_separated_by = s;
                break;
            }
}

bool LineNumbers::point(char *line, size_t n, double v[], Texts &t, Reason &why) const
{
    const char *reason = read(line, n, v, t, why);
    if (!reason)
        reason = check(t, v, why);
    if (!reason)
        return true;
    if (reason != why.text)
        std::snprintf(why.text, sizeof why.text, "%s", reason);
    hint(line, n, why);
    return false;
}

bool LineNumbers::time(const Texts &t, int k, bool open_end, stations::Instant *at, Reason &why) const
{
    const int i = layout_.count + k;
    const char *p = t.text[i], *stop = p + t.len[i];
    unwrap(p, stop);
    if (p == stop && open_end) {
        *at = stations::Instant::latest();
        return true;
    }
    if (stations::read_instant(p, stop, at))
        return true;
    if (p == stop) {
        std::snprintf(why.text, sizeof why.text, "field %d is empty", layout_.time_field[k]);
    } else {
        char shown[shown_size];
        show(shown, t.text[i], t.len[i]);
        std::snprintf(why.text, sizeof why.text, "field %d is not a time: %s", layout_.time_field[k],
                      shown);
    }
    why.looks_separated_by = 0;
    return false;
}

void LineNumbers::overlong(Reason &why, size_t limit)
{
    std::snprintf(why.text, sizeof why.text, "line longer than %zu bytes", limit);
    why.looks_separated_by = 0;
}

}  // namespace filter
