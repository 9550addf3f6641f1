// A line's numbers alone, under a layout the first byte chooses (how many
// numbers, which fields, the separator, -f's freedom, two time fields after
// them): the reader ends in numbers or a reason, never reads past the line
// and its slack, and reads the bits the number reader gives each field's
// text; a time's text is an instant or a reason; and the one-pass reading
// of the usual layout takes a line only where the general reading finds as
// many fields and the same bits.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "number.h"
#include "../commands/ostrem/fields.h"
#include "../commands/ostrem/line_numbers.h"

using namespace filter;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

Layout choose(uint8_t a)
{
    static const char seps[4] = {0, ',', '|', '\t'};
    static const int counts[4] = {2, 4, 5, 6};
    Layout l;
    l.count = counts[a & 3];
    l.sep = seps[(a >> 2) & 3];
    l.listed = a & 16;
    static const int orders[2][pair_numbers] = {{1, 2, 3, 4, 5, 6}, {3, 1, 2, 2, 7, 5}};
    for (int i = 0; i < l.count; i++) {
        l.field[i] = orders[(a >> 5) & 1][i];
        l.slot[i] = i;
    }
    if (a & 64) {  // a field of its own, and one a number has too
        l.times = most_times;
        l.time_field[0] = l.count + 1;
        l.time_field[1] = 2;
    }
    return l;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const Layout layout = choose(data[0]);
    const LineNumbers reader(layout);
    size_t n = 1;
    while (n < size && data[n] != '\n')
        n++;
    // The line alone in a buffer of its own, then its NUL and the slack, so
    // that a read past them is one that ASan sees.
    std::vector<char> buf(reinterpret_cast<const char *>(data) + 1, reinterpret_cast<const char *>(data) + n);
    const size_t len = buf.size();
    buf.resize(len + 1 + line_slack, '\0');
    double v[pair_numbers] = {}, quick[pair_numbers] = {};
    Texts t;
    Reason why;
    const bool took = reader.plain() && reader.one_pass(buf.data(), len, quick);
    const char *reason = reader.read(buf.data(), len, v, t, why);
    if (reason) {
        check(!took && reason == why.text && std::strlen(why.text) < sizeof why.text);
        return 0;
    }
    for (int i = 0; i < layout.count; i++) {
        check(t.text[i] >= buf.data() && t.text[i] + t.len[i] <= buf.data() + len);
        double again;
        std::string text(t.text[i], t.len[i]);
        if (!layout.sep)
            check(number::read(text.data(), text.data() + text.size(), &again) &&
                  std::memcmp(&again, &v[layout.slot[i]], sizeof again) == 0);
    }
    if (took)
        check(std::memcmp(quick, v, sizeof(double) * layout.count) == 0);
    for (int k = 0; k < layout.times; k++) {
        const int i = layout.count + k;
        check(t.text[i] >= buf.data() && t.text[i] + t.len[i] <= buf.data() + len);
        stations::Instant at;
        if (reader.time(t, k, k == 1, &at, why))
            check(at.nanoseconds >= 0 && at.nanoseconds < 1000000000);
        else
            check(std::strlen(why.text) < sizeof why.text);
    }
    return 0;
}
