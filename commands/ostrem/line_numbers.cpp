#include "line_numbers.h"

#include <cstdio>

#include "../number.h"
#include "fields.h"
#include "format.h"

namespace filter {

static_assert(pair_numbers <= plain_most, "the one-pass reader holds every number a line gives");

Layout line_layout(const Options &o)
{
    Layout l;
    l.count = o.want;
    for (int i = 0; i < o.want; i++) {
        l.field[i] = o.field[i];
        l.slot[i] = o.slot[i];
    }
    l.sep = o.sep;
    l.listed = o.listed;
    return l;
}

LineNumbers::LineNumbers(const Layout &layout) : layout_(layout)
{
    bool in_order = true;
    for (int i = 0; i < layout_.count; i++) {
        in_order = in_order && layout_.field[i] == i + 1 && layout_.slot[i] == layout_.slot[0] + i;
        last_ = layout_.field[i] > last_ ? layout_.field[i] : last_;
    }
    plain_ = !layout_.sep && !layout_.listed && in_order;
    which_.assign(static_cast<size_t>(last_) + 1, -1);
    for (int i = layout_.count - 1; i >= 0; i--) {  // the first number naming a field
        repeats_ = repeats_ || which_[static_cast<size_t>(layout_.field[i])] >= 0;
        which_[static_cast<size_t>(layout_.field[i])] = static_cast<signed char>(i);
    }
}

// Fields to numbers: the ones the layout wants, in the order wanted.
const char *LineNumbers::read(char *line, size_t n, double v[], Texts &t, Reason &why) const
{
    // Locals, not members: every store through a char pointer below could
    // alias a member and force it to be read again.
    const int last = last_;
    const signed char *which = which_.data();
    const int nwhich = static_cast<int>(which_.size());
    const bool on_sep = layout_.sep != 0;
    const int *to = layout_.slot;
    int bad_field = 0;  // the first wanted field that is not a number
    const char *bad_start = nullptr, *bad_stop = nullptr;
    auto take = [&](int k, const char *start, const char *stop) {
        int i = k < nwhich ? which[k] : -1;
        if (i < 0)
            return;
        t.text[i] = start;
        t.len[i] = static_cast<size_t>(stop - start);
        double *x = &v[to[i]];
        bool ok = on_sep ? field_number(start, stop, x) : number::read(start, stop, x);
        if (!ok && !bad_field) {
            bad_field = k;
            bad_start = start;
            bad_stop = stop;
        }
    };
    int count = on_sep ? split_on(line, line + n, layout_.sep, take)
                       : split_blanks(line, line + n, take);
    if (count < 0 && (-count <= last || !layout_.listed)) {
        std::snprintf(why.text, sizeof why.text, "field %d has an unterminated quote", -count);
        return why.text;
    }
    if (!layout_.listed && count != last) {
        std::snprintf(why.text, sizeof why.text, "expected %d fields, found %d", last, count);
        return why.text;
    }
    if (layout_.listed && count >= 0 && count < last) {
        std::snprintf(why.text, sizeof why.text, "expected at least %d fields, found %d", last, count);
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
    // A field named twice fills every number that names it.
    if (repeats_)
        for (int i = 0; i < layout_.count; i++) {
            int from = which[layout_.field[i]];
            v[to[i]] = v[to[from]];
            t.text[i] = t.text[from];
            t.len[i] = t.len[from];
        }
    return nullptr;
}

}  // namespace filter
