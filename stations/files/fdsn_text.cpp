#include "fdsn_text.h"

#include <cctype>
#include <cstring>
#include <initializer_list>

namespace files {

namespace {

bool begins_with(const std::vector<std::string> &names, std::initializer_list<const char *> want)
{
    if (names.size() < want.size())
        return false;
    size_t k = 0;
    for (const char *w : want)
        if (!same_but_case(names[k++], w))
            return false;
    return true;
}

bool space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

bool same_but_case(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t k = 0; k < a.size(); k++)
        if (std::tolower(static_cast<unsigned char>(a[k])) != std::tolower(static_cast<unsigned char>(b[k])))
            return false;
    return true;
}

int TextHeader::field(const char *name) const
{
    for (size_t k = 0; k < names.size(); k++)
        if (same_but_case(names[k], name))
            return static_cast<int>(k) + 1;
    return 0;
}

TextHeader fdsn_text(const char *p, size_t n)
{
    TextHeader h;
    const char *end = p + n;
    if (n >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0)
        p += 3;
    if (p == end || *p != '#' || !std::memchr(p, '|', static_cast<size_t>(end - p)))
        return h;
    for (const char *at = p + 1;;) {
        const char *bar = static_cast<const char *>(std::memchr(at, '|', static_cast<size_t>(end - at)));
        const char *stop = bar ? bar : end, *start = at;
        while (start < stop && space(*start))
            start++;
        while (stop > start && space(stop[-1]))
            stop--;
        h.names.emplace_back(start, stop);
        if (!bar)
            break;
        at = bar + 1;
    }
    if (begins_with(h.names, {"EventID", "Time", "Latitude", "Longitude"}))
        h.kind = Text::events;
    else if (begins_with(h.names, {"Network", "Station", "Location", "Channel", "Latitude", "Longitude"}))
        h.kind = Text::channels;
    else if (begins_with(h.names, {"Network", "Station", "Latitude", "Longitude"}))
        h.kind = Text::stations;
    return h;
}

}  // namespace files
