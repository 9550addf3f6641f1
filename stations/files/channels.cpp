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

// A station epoch's line, or a line kept as it is; order: its first
// channel's place among the channels, for the output's order.
struct Epoch {
    size_t order;
    std::string line;
    unsigned long lineno;
};

// The channel table's lines grouped by station, then joined into epochs.
class Grouping {
public:
    explicit Grouping(const TextHeader &h)
        : count_(static_cast<int>(h.names.size())),
          key_fields_{h.field("Network") - 1, h.field("Station") - 1, h.field("Latitude") - 1,
                      h.field("Longitude") - 1, h.field("Elevation") - 1},
          start_field_(h.field("StartTime") - 1), end_field_(h.field("EndTime") - 1),
          kept_(static_cast<size_t>(count_), false)
    {
        for (int f : key_fields_)
            if (f >= 0)
                kept_[static_cast<size_t>(f)] = true;
    }

    // A line after the header: a channel, or a line that cannot be
    // grouped, kept as it is (the reader refuses it, at its own line).
    void take(std::string_view line, unsigned long lineno)
    {
        const size_t order = channels_.size() + epochs_.size();
        Channel c{fields_of(line), lineno, order, {}, {}};
        if (static_cast<int>(c.fields.size()) != count_ ||
            (start_field_ >= 0 && !instant(c.fields[static_cast<size_t>(start_field_)], false, &c.start)) ||
            (end_field_ >= 0 && !instant(c.fields[static_cast<size_t>(end_field_)], true, &c.end))) {
            epochs_.push_back({order, std::string(line), lineno});
            return;
        }
        if (start_field_ < 0)
            c.start = stations::Instant::earliest();
        if (end_field_ < 0)
            c.end = stations::Instant::latest();
        std::string key;
        for (int f : key_fields_)
            if (f >= 0)
                key.append(trimmed(c.fields[static_cast<size_t>(f)])).push_back('|');
        auto [it, fresh] = stations_.try_emplace(key);
        if (fresh)
            keys_.push_back(key);
        it->second.push_back(channels_.size());
        channels_.push_back(std::move(c));
    }

    // Every station's epochs and the lines kept as they are, in the order
    // of the file.
    std::vector<Epoch> &epochs()
    {
        for (const std::string &key : keys_)
            join(stations_[key]);
        std::sort(epochs_.begin(), epochs_.end(), [](const Epoch &a, const Epoch &b) { return a.order < b.order; });
        return epochs_;
    }

private:
    // A station's channels by start, joined while they overlap or touch.
    void join(std::vector<size_t> &members)
    {
        std::stable_sort(members.begin(), members.end(),
                         [&](size_t a, size_t b) { return channels_[a].start < channels_[b].start; });
        for (size_t i = 0; i < members.size();) {
            const Channel &first = channels_[members[i]];
            const Channel *last_end = &first;
            size_t order = first.order;
            size_t j = i + 1;
            for (; j < members.size() && channels_[members[j]].start <= last_end->end; j++) {
                const Channel &c = channels_[members[j]];
                if (last_end->end < c.end)
                    last_end = &c;
                order = std::min(order, c.order);
            }
            epochs_.push_back({order, line_of(first, *last_end), first.line});
            i = j;
        }
    }
    // The table's columns with the station's values only: the joined
    // start and end, every channel field empty.
    std::string line_of(const Channel &first, const Channel &last_end) const
    {
        std::string line;
        for (int f = 0; f < count_; f++) {
            if (f > 0)
                line += '|';
            const size_t k = static_cast<size_t>(f);
            if (f == start_field_)
                line.append(first.fields[k]);
            else if (f == end_field_)
                line.append(last_end.fields[k]);
            else if (kept_[k])
                line.append(first.fields[k]);
        }
        return line;
    }

    int count_;
    int key_fields_[5];  // the fields that name a station (from 0; -1: none)
    int start_field_, end_field_;
    std::vector<bool> kept_;
    std::vector<Channel> channels_;
    std::map<std::string, std::vector<size_t>> stations_;  // key: the station's fields
    std::vector<std::string> keys_;                         // in the order first met
    std::vector<Epoch> epochs_;
};

}  // namespace

StationEpochs station_epochs(const char *p, size_t n, const TextHeader &h)
{
    StationEpochs out;
    const std::string_view all(p, n);
    Grouping grouping(h);
    unsigned long lineno = 0;
    for (size_t at = 0; at < all.size();) {
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
        if (!content.empty() && content.front() != '#')
            grouping.take(line, lineno);
    }
    for (const Epoch &e : grouping.epochs()) {
        out.text.append(e.line).push_back('\n');
        out.lines.push_back(e.lineno);
    }
    return out;
}

}  // namespace files
