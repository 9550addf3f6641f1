#include "fdsn_text.h"

#include <cctype>
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

}  // namespace

std::vector<std::string_view> fields_of(std::string_view line)
{
    std::vector<std::string_view> fields;
    for (size_t at = 0;;) {
        const size_t bar = line.find('|', at);
        fields.push_back(line.substr(at, bar == std::string_view::npos ? std::string_view::npos : bar - at));
        if (bar == std::string_view::npos)
            return fields;
        at = bar + 1;
    }
}

std::string_view trimmed(std::string_view s)
{
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

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
    std::string_view line(p, n);
    line = line.substr(0, line.find('\n'));
    if (line.substr(0, 3) == "\xEF\xBB\xBF")
        line.remove_prefix(3);
    if (line.empty() || line[0] != '#' || line.find('|') == std::string_view::npos)
        return h;
    for (std::string_view name : fields_of(line.substr(1)))
        h.names.emplace_back(trimmed(name));
    if (begins_with(h.names, {"EventID", "Time", "Latitude", "Longitude"}))
        h.kind = Text::events;
    else if (begins_with(h.names, {"Network", "Station", "Location", "Channel", "Latitude", "Longitude"}))
        h.kind = Text::channels;
    else if (begins_with(h.names, {"Network", "Station", "Latitude", "Longitude"}))
        h.kind = Text::stations;
    return h;
}

}  // namespace files
