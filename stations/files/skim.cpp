#include "skim.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace files {

namespace {

// Elements whose content no column comes from: StationXML's channels
// (and responses), QuakeML's picks, amplitudes, arrivals, station
// magnitudes and their contributions, and focal mechanisms.
constexpr std::string_view skimmed[] = {"Channel",          "Response", "pick",
                                        "amplitude",        "arrival",  "stationMagnitude",
                                        "focalMechanism",   "stationMagnitudeContribution"};

constexpr char first_letters[] = "CRpasf";  // of the names above: most tags are none of them

constexpr size_t most_held = 1 << 20;  // a start tag longer than this ends the skimming

bool ends_name(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/' || c == '>'; }

// The '>' that ends the tag starting at `from`, outside quoted attribute
// values (which may hold '>'); npos when the bytes end first.
size_t tag_end(const char *b, size_t n, size_t from)
{
    char quote = 0;
    for (size_t k = from; k < n; k++) {
        const char c = b[k];
        if (quote)
            quote = c == quote ? 0 : quote;
        else if (c == '"' || c == '\'')
            quote = c;
        else if (c == '>')
            return k;
    }
    return std::string_view::npos;
}

}  // namespace

// The parser's bytes, or inside a skimmed element its line breaks and
// columns counted.
void Skimmer::take(const char *p, size_t n, std::string &out)
{
    const bool skimming = state_ == State::skipping ||
                          (outer_ == State::skipping && state_ != State::markup && state_ != State::off);
    if (!skimming) {
        // The parser's bytes come one after the other: appended as one run.
        if (run_end_ != p) {
            flush(out);
            run_ = p;
        }
        run_end_ = p + n;
        return;
    }
    const char *end = p + n;
    for (const char *nl; (nl = static_cast<const char *>(std::memchr(p, '\n', static_cast<size_t>(end - p))));) {
        breaks_++;
        column_ = 0;
        p = nl + 1;
    }
    column_ += static_cast<size_t>(end - p);
}

void Skimmer::flush(std::string &out)
{
    if (run_ != run_end_)
        out.append(run_, static_cast<size_t>(run_end_ - run_));
    run_ = run_end_ = nullptr;
}

// The tag that begins at b[k], as far as the block's n bytes show it.
// unsure: the bytes end before what is asked can be told (and the block
// is not the last).
struct TagAt {
    const char *b;
    size_t n, k;
    bool last;
    bool unsure = false;

    size_t room() const { return n - k; }
    bool starts(std::string_view s)
    {
        const size_t c = std::min(s.size(), room());
        if (std::memcmp(b + k, s.data(), c) != 0)
            return false;
        unsure = unsure || (c < s.size() && !last);
        return c == s.size();
    }
    // "<NAME" (or "</NAME") followed by the end of the name.
    bool named(std::string_view prefix, std::string_view name)
    {
        const size_t need = prefix.size() + name.size() + 1;
        const size_t have = std::min(room(), need - 1);
        const size_t in_prefix = std::min(have, prefix.size());
        if (std::memcmp(b + k, prefix.data(), in_prefix) != 0 ||
            std::memcmp(b + k + prefix.size(), name.data(), have - in_prefix) != 0)
            return false;
        if (room() < need) {
            unsure = unsure || !last;
            return false;
        }
        return ends_name(b[k + need - 1]);
    }
};

// Inside a comment, a CDATA section or an instruction: up to its end, or
// all but what may be the end's start.
bool Skimmer::step_inside(const char *b, size_t n, size_t &at, bool last, std::string &out)
{
    const std::string_view end = state_ == State::comment ? "-->" : state_ == State::cdata ? "]]>" : "?>";
    const size_t k = std::string_view(b, n).find(end, at);
    if (k == std::string_view::npos) {
        const size_t keep = last ? 0 : std::min(n - at, end.size() - 1);
        take(b + at, n - at - keep, out);
        at = n - keep;
        return keep == 0;
    }
    take(b + at, k + end.size() - at, out);
    at = k + end.size();
    state_ = outer_;
    return true;
}

// One step through b from at: true after taking some bytes, false when
// the bytes from at are an unfinished tag to hold for the next block.
bool Skimmer::step(const char *b, size_t n, size_t &at, bool last, std::string &out)
{
    if (state_ == State::off) {
        take(b + at, n - at, out);
        at = n;
        return true;
    }
    if (state_ == State::comment || state_ == State::cdata || state_ == State::instruction)
        return step_inside(b, n, at, last, out);
    const char *lt = static_cast<const char *>(std::memchr(b + at, '<', n - at));
    if (!lt) {
        take(b + at, n - at, out);
        at = n;
        return true;
    }
    const size_t k = static_cast<size_t>(lt - b);
    take(b + at, k - at, out);
    at = k;
    TagAt t{b, n, k, last};
    auto inside = [&](State s, size_t length) {
        outer_ = state_;
        take(b + k, length, out);
        state_ = s;
        at = k + length;
        return true;
    };
    if (t.starts("<!--"))
        return inside(State::comment, 4);
    if (t.starts("<![CDATA["))
        return inside(State::cdata, 9);
    if (t.starts("<?"))
        return inside(State::instruction, 2);
    if (t.starts("<!DOCTYPE")) {
        state_ = State::off;
        return true;
    }
    return step_tag(t, at, out);
}

// A tag that is no comment, section, instruction nor DOCTYPE: in markup,
// the start of an element to skip; while skipping, its name's start or
// end.
bool Skimmer::step_tag(TagAt &t, size_t &at, std::string &out)
{
    const char *b = t.b;
    const size_t n = t.n, k = t.k;
    std::string_view open;
    if (state_ == State::markup) {
        if (t.room() == 1)
            t.unsure = t.unsure || !t.last;
        else if (std::strchr(first_letters, b[k + 1]))
            for (std::string_view name : skimmed)
                if (t.named("<", name))
                    open = name;
    } else if (t.named("</", name_)) {
        return step_end(t, at, out);
    } else if (t.named("<", name_)) {
        open = name_;
    }
    if (t.unsure)
        return false;
    if (open.empty()) {
        take(b + k, 1, out);
        at = k + 1;
        return true;
    }
    const size_t gt = tag_end(b, n, k);
    if (gt == std::string_view::npos)
        return t.last ? (take(b + k, n - k, out), at = n, true) : false;
    const bool empty = b[gt - 1] == '/';
    take(b + k, gt + 1 - k, out);  // in markup, the start tag is the parser's
    if (state_ == State::markup) {
        if (!empty) {
            state_ = State::skipping;
            name_ = open;
            depth_ = 1;
            breaks_ = 0;
            column_ = 0;
        }
    } else {
        depth_ += empty ? 0 : 1;
    }
    at = gt + 1;
    return true;
}

// The end tag of the element skipped, or of one of its name inside it.
bool Skimmer::step_end(TagAt &t, size_t &at, std::string &out)
{
    const size_t gt = tag_end(t.b, t.n, t.k);
    if (gt == std::string_view::npos)
        return t.last ? (take(t.b + t.k, t.n - t.k, out), at = t.n, true) : false;
    if (--depth_ == 0) {
        // The content's line breaks, and its last line's bytes as spaces.
        flush(out);
        out.append(breaks_, '\n');
        out.append(column_, ' ');
        state_ = State::markup;
    }
    take(t.b + t.k, gt + 1 - t.k, out);
    at = gt + 1;
    return true;
}

void Skimmer::pass(const char *p, size_t n, bool last, std::string &out)
{
    std::string joined;
    const char *b = p;
    if (!held_.empty()) {
        joined.swap(held_);
        joined.append(p, n);
        b = joined.data();
        n = joined.size();
    }
    size_t at = 0;
    while (at < n) {
        if (step(b, n, at, last, out))
            continue;
        if (n - at > most_held) {  // no tag this long is one to skim: read it as it is
            take(b + at, n - at, out);
            state_ = State::off;
            break;
        }
        flush(out);  // before the bytes it points into are held
        held_.assign(b + at, n - at);
        return;
    }
    flush(out);
}

}  // namespace files
