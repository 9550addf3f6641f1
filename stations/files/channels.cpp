#include "channels.h"

#include <algorithm>
#include <map>
#include <string_view>

#include "../instant.h"

namespace files {

namespace {

struct Channel {
    std::vector<std::string_view> fields;
    unsigned long line;
    size_t order;  // among the channels, from 0
    stations::Instant start, end;
};

// A time field as an instant: an empty start is the earliest, an empty end
// the latest; false for text that is no time.
bool instant(std::string_view text, bool end, stations::Instant *t)
{
    text = trimmed(text);
    if (text.empty()) {
        *t = end ? stations::Instant::latest() : stations::Instant::earliest();
        return true;
    }
    return stations::read_instant(text.data(), text.data() + text.size(), t);
}

}  // namespace

StationEpochs station_epochs(const char *p, size_t n, const TextHeader &h)
{
    StationEpochs out;
    const std::string_view all(p, n);
    const int count = static_cast<int>(h.names.size());
    // The fields that name a station, and those of its epoch (from 0).
    const int key_fields[] = {h.field("Network") - 1, h.field("Station") - 1, h.field("Latitude") - 1,
                              h.field("Longitude") - 1, h.field("Elevation") - 1};
    const int start_field = h.field("StartTime") - 1, end_field = h.field("EndTime") - 1;
    std::vector<bool> kept(static_cast<size_t>(count), false);
    for (int f : key_fields)
        if (f >= 0)
            kept[static_cast<size_t>(f)] = true;

    std::vector<Channel> channels;
    std::map<std::string, std::vector<size_t>> stations;  // key: the station's fields
    std::vector<std::string> keys;                         // in the order first met
    // Lines kept as they are: their position among the channels, text and line.
    struct AsItIs {
        size_t order;
        std::string_view text;
        unsigned long line;
    };
    std::vector<AsItIs> as_they_are;
    unsigned long lineno = 0;
    size_t at = 0;
    while (at < all.size()) {
        size_t nl = all.find('\n', at);
        if (nl == std::string_view::npos)
            nl = all.size();
        std::string_view line = all.substr(at, nl - at);
        at = nl + 1;
        ++lineno;
        if (lineno == 1) {
            out.text.append(line.data(), line.size()).push_back('\n');
            out.lines.push_back(1);
            continue;
        }
        const std::string_view content = trimmed(line);
        if (content.empty() || content.front() == '#')
            continue;
        Channel c{fields_of(line), lineno, channels.size() + as_they_are.size(), {}, {}};
        if (static_cast<int>(c.fields.size()) != count ||
            (start_field >= 0 && !instant(c.fields[static_cast<size_t>(start_field)], false, &c.start)) ||
            (end_field >= 0 && !instant(c.fields[static_cast<size_t>(end_field)], true, &c.end))) {
            as_they_are.push_back({c.order, line, lineno});
            continue;
        }
        if (start_field < 0)
            c.start = stations::Instant::earliest();
        if (end_field < 0)
            c.end = stations::Instant::latest();
        std::string key;
        for (int f : key_fields)
            if (f >= 0)
                key.append(trimmed(c.fields[static_cast<size_t>(f)])).push_back('|');
        auto [it, fresh] = stations.try_emplace(key);
        if (fresh)
            keys.push_back(key);
        it->second.push_back(channels.size());
        channels.push_back(std::move(c));
    }

    // Each station's epochs: its channels by start, joined while they overlap.
    struct Epoch {
        size_t order;  // of its first channel in the file, for the output's order
        std::string line;
        unsigned long lineno;
    };
    std::vector<Epoch> epochs;
    for (const std::string &key : keys) {
        std::vector<size_t> &members = stations[key];
        std::stable_sort(members.begin(), members.end(),
                         [&](size_t a, size_t b) { return channels[a].start < channels[b].start; });
        for (size_t i = 0; i < members.size();) {
            const Channel &first = channels[members[i]];
            const Channel *last_end = &first;
            size_t order = first.order;
            size_t j = i + 1;
            for (; j < members.size() && channels[members[j]].start <= last_end->end; j++) {
                const Channel &c = channels[members[j]];
                if (last_end->end < c.end)
                    last_end = &c;
                order = std::min(order, c.order);
            }
            std::string line;
            for (int f = 0; f < count; f++) {
                if (f > 0)
                    line += '|';
                const size_t k = static_cast<size_t>(f);
                if (f == start_field)
                    line.append(first.fields[k]);
                else if (f == end_field)
                    line.append(last_end->fields[k]);
                else if (kept[k])
                    line.append(first.fields[k]);
            }
            epochs.push_back({order, std::move(line), first.line});
            i = j;
        }
    }
    for (const AsItIs &a : as_they_are)
        epochs.push_back({a.order, std::string(a.text), a.line});
    std::sort(epochs.begin(), epochs.end(), [](const Epoch &a, const Epoch &b) { return a.order < b.order; });
    for (const Epoch &e : epochs) {
        out.text.append(e.line).push_back('\n');
        out.lines.push_back(e.lineno);
    }
    return out;
}

}  // namespace files
