#include "fdsn_xml.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <iterator>
#include <new>
#include <cstring>
#include <string_view>

#include <expat.h>

#include "fdsn_text.h"
#include "skim.h"

#include "number.h"
#include "ranges.h"

namespace files {

const char station_columns[] = "#Network|Station|Latitude|Longitude|Elevation|SiteName|StartTime|EndTime";
const char event_columns[] = "#EventID|Time|Latitude|Longitude|Depth/km|Author|Catalog|Contributor|"
                             "ContributorID|MagType|Magnitude|MagAuthor|EventLocationName";

namespace {

// Where the first byte after a byte-order mark and white space lies: n
// when there is none yet.
size_t first_byte(const char *p, size_t n)
{
    size_t k = n >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    while (k < n && (p[k] == ' ' || p[k] == '\t' || p[k] == '\r' || p[k] == '\n'))
        k++;
    return k;
}

}  // namespace

bool looks_like_xml(const char *p, size_t n)
{
    const size_t k = first_byte(p, n);
    return k < n && p[k] == '<';
}

bool kind_told(const char *p, size_t n)
{
    if (n < 3 && std::memcmp(p, "\xEF\xBB\xBF", n) == 0)
        return false;  // nothing yet, or the start of a byte-order mark
    return first_byte(p, n) < n;
}

namespace {

constexpr char ns_separator = ' ';  // between an element's namespace and its local name
constexpr size_t max_value = 65536;  // bytes of one value kept: a line is no longer than the filter reads

const char quakeml_namespace[] = "http://quakeml.org/xmlns/";  // the root's, of any version
const char bed_namespace[] = "http://quakeml.org/xmlns/bed/";    // the elements', of any version

bool begins(std::string_view s, std::string_view with) { return s.substr(0, with.size()) == with; }

// The elements a column comes from or lies in; everything else is other.
enum class Tag {
    other,
    // StationXML
    network, station, latitude, longitude, elevation, site, name,
    // QuakeML
    event_parameters, event, origin, magnitude, time, depth, value, mag, type, text, description,
    creation_info, author, agency, preferred_origin, preferred_magnitude,
};

struct Named {
    const char *name;
    Tag tag;
};
constexpr Named station_tags[] = {
    {"Network", Tag::network},     {"Station", Tag::station}, {"Latitude", Tag::latitude},
    {"Longitude", Tag::longitude}, {"Elevation", Tag::elevation}, {"Site", Tag::site},
    {"Name", Tag::name},
};
constexpr Named event_tags[] = {
    {"eventParameters", Tag::event_parameters},
    {"event", Tag::event},
    {"origin", Tag::origin},
    {"magnitude", Tag::magnitude},
    {"time", Tag::time},
    {"latitude", Tag::latitude},
    {"longitude", Tag::longitude},
    {"depth", Tag::depth},
    {"value", Tag::value},
    {"mag", Tag::mag},
    {"type", Tag::type},
    {"text", Tag::text},
    {"description", Tag::description},
    {"creationInfo", Tag::creation_info},
    {"author", Tag::author},
    {"agencyID", Tag::agency},
    {"preferredOriginID", Tag::preferred_origin},
    {"preferredMagnitudeID", Tag::preferred_magnitude},
};

struct Tags {
    const Named *b, *e;
    const Named *begin() const { return b; }
    const Named *end() const { return e; }
};
Tags station_tags_list() { return {std::begin(station_tags), std::end(station_tags)}; }
Tags event_tags_list() { return {std::begin(event_tags), std::end(event_tags)}; }

struct Origin {
    std::string id, time, latitude, longitude, depth, author, agency;
    unsigned long line = 0;
};
struct Magnitude {
    std::string id, value, type, author, agency;
};

// The value of attribute name (no namespace) among expat's pairs, or "".
const char *attribute(const XML_Char **attributes, const char *name)
{
    for (const XML_Char **a = attributes; *a; a += 2)
        if (std::strcmp(a[0], name) == 0)
            return a[1];
    return "";
}

// White space off both ends, and each run of it within made one space,
// '|' and control characters with it (a site's name broken over lines),
// so that a value is one field of one line.
void clean(const std::string &raw, std::string &out)
{
    bool gap = false, any = false;
    for (char ch : raw) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '|' || c <= 0x20 || c == 0x7F) {
            gap = any;
            continue;
        }
        if (gap)
            out += ' ';
        out += ch;
        gap = false;
        any = true;
    }
}

// Metres as kilometres: a plain decimal's point moved three places, so
// that no rounding enters ("10000.0" is "10", "1500" is "1.5", "-500"
// is "-0.5"); any other spelling of a number through a double.
std::string kilometres(const std::string &m)
{
    size_t k = 0;
    std::string sign;
    if (k < m.size() && (m[k] == '-' || m[k] == '+'))
        sign = m[k] == '-' ? "-" : "", k++;
    std::string whole, fraction;
    while (k < m.size() && m[k] >= '0' && m[k] <= '9')
        whole += m[k++];
    if (k < m.size() && m[k] == '.')
        for (k++; k < m.size() && m[k] >= '0' && m[k] <= '9';)
            fraction += m[k++];
    if (k != m.size() || (whole.empty() && fraction.empty())) {
        double v;
        if (!number::read(m.data(), m.data() + m.size(), &v))
            return m;
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", v / 1000.0);
        return text;
    }
    while (whole.size() < 3)
        whole.insert(0, 1, '0');
    fraction.insert(0, whole, whole.size() - 3, 3);
    whole.erase(whole.size() - 3);
    while (whole.size() > 1 && whole[0] == '0')
        whole.erase(0, 1);
    if (whole.empty())
        whole = "0";
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    std::string km = whole + (fraction.empty() ? "" : "." + fraction);
    return km == "0" ? km : sign + km;
}

}  // namespace

// What reading either kind of document needs: the parser and its
// handlers, the open elements, the value being read, the text written and
// the problems found.  The kinds' own handlers (StationXML's, QuakeML's)
// are sets of their own over it.
struct Plumbing {
    XML_Parser parser = nullptr;
    bool header, keep_lines = false;
    size_t max_problems;
    Kind want = Kind::unknown;
    Kind kind = Kind::unknown;
    std::string root;
    unsigned long root_line = 0;
    // The elements that are the schema's: StationXML's are in the root's
    // namespace; QuakeML's in its BED namespace of any version, or in the
    // root's own.
    std::string known_namespace;
    unsigned long lines_given = 0;  // entities that became lines
    bool malformed = false, stopped = false;
    std::vector<Problem> problems;
    unsigned long problem_count = 0;
    std::vector<unsigned long> lines;
    std::string *out = nullptr;  // where feed() appends
    bool skim = true;
    Skimmer skimmer;
    std::string skimmed;  // the bytes the parser reads of a block

    std::vector<Tag> path;  // the open elements
    std::string *capture = nullptr;  // the value being read, or none
    size_t capture_depth = 0;
    std::string raw;  // the captured characters
    unsigned long entity_line = 0;  // where the station or event being read begins
    // An element no column lies in (a channel, a response, a pick) is
    // passed over whole by a pair of handlers that only counts its depth,
    // the most of the file's elements.
    size_t skipped = 0;

    Tag parent(size_t up = 1) const { return path.size() > up ? path[path.size() - 1 - up] : Tag::other; }
    unsigned long line() const { return static_cast<unsigned long>(XML_GetCurrentLineNumber(parser)); }

    void problem(unsigned long at, std::string what)
    {
        if (problems.size() < max_problems)
            problems.push_back({at, std::move(what)});
        problem_count++;
    }
    // The characters are looked at only while a value is read.
    void take(std::string &into)
    {
        raw.clear();
        capture = &into;
        capture_depth = path.size();
        XML_SetCharacterDataHandler(parser, on_text);
    }
    static void on_text(void *data, const XML_Char *text, int len)
    {
        Plumbing *s = static_cast<Plumbing *>(data);
        if (s->raw.size() < max_value)
            s->raw.append(text, std::min(static_cast<size_t>(len), max_value - s->raw.size()));
    }
    // Ends a value being read at its element's end.
    void end_capture()
    {
        if (capture && path.size() == capture_depth) {
            capture->swap(raw);
            capture = nullptr;
            XML_SetCharacterDataHandler(parser, nullptr);
        }
    }
    void emit_line(std::initializer_list<const std::string *> fields)
    {
        bool first = true;
        for (const std::string *f : fields) {
            if (!first)
                *out += '|';
            clean(*f, *out);
            first = false;
        }
        *out += '\n';
        if (keep_lines)
            lines.push_back(entity_line);
        lines_given++;
    }
    bool schema(const char *name, size_t ns_length) const
    {
        const std::string_view ns(name, ns_length);
        return ns == known_namespace || (kind == Kind::events && begins(ns, bed_namespace));
    }
    // At the end of a well-formed document of a known kind that gave
    // nothing: that is said, not passed over.
    void ended()
    {
        if ((kind == Kind::stations || kind == Kind::events) && !lines_given && !problem_count)
            problem(root_line, kind == Kind::stations ? "the StationXML holds no station"
                                                      : "the QuakeML holds no event");
    }
    // Coordinates that are numbers in their ranges, or a problem.
    bool coordinates(const std::string &lat, const std::string &lon, const char *whose)
    {
        const std::string *text[2] = {&lat, &lon};
        const ranges::Range *range[2] = {&ranges::latitude, &ranges::longitude};
        for (int i = 0; i < 2; i++) {
            std::string v;
            clean(*text[i], v);
            double x;
            char why[400];
            if (v.empty())
                std::snprintf(why, sizeof why, "the %s has no %s", whose, range[i]->name);
            else if (!number::read(v.data(), v.data() + v.size(), &x))
                std::snprintf(why, sizeof why, "the %s's %s is not a number: %.64s", whose, range[i]->name,
                              v.c_str());
            else if (!range[i]->holds(x)) {
                char bounds[64];
                range[i]->describe(bounds, sizeof bounds);
                std::snprintf(why, sizeof why, "the %s's %s %.64s is out of range (%s)", whose, range[i]->name,
                              v.c_str(), bounds);
            } else
                continue;
            problem(entity_line, why);
            return false;
        }
        return true;
    }

    void start_root(const char *name, const char *local, size_t ns_length);
};

void Plumbing::start_root(const char *name, const char *local, size_t ns_length)
{
    const std::string_view ns(name, ns_length);
    root = local;
    root_line = line();
    if (root == "FDSNStationXML") {
        kind = Kind::stations;
        known_namespace = std::string(ns);
    } else if ((root == "quakeml" && begins(ns, quakeml_namespace)) ||
               (root == "eventParameters" && begins(ns, bed_namespace))) {
        kind = Kind::events;
        known_namespace = std::string(ns);
    } else {
        kind = Kind::other;
    }
    if (kind == Kind::other || (want != Kind::unknown && kind != want)) {
        stopped = true;
        XML_StopParser(parser, XML_FALSE);
        return;
    }
    if (header) {
        *out += kind == Kind::stations ? station_columns : event_columns;
        *out += '\n';
        if (keep_lines)
            lines.push_back(line());
    }
}

// StationXML's handlers: the network and the station epoch being read,
// a line for each station.
struct StationHandlers {
    explicit StationHandlers(Plumbing &plumbing) : x(plumbing) {}
    Plumbing &x;
    std::string network, code, start_date, end_date, latitude, longitude, elevation, site;

    void start(Tag tag, Tag up, const XML_Char **attributes)
    {
        switch (tag) {
        case Tag::network:
            if (x.path.size() == 2)
                network = attribute(attributes, "code");
            break;
        case Tag::station:
            if (up == Tag::network) {
                code = attribute(attributes, "code");
                start_date = attribute(attributes, "startDate");
                end_date = attribute(attributes, "endDate");
                latitude.clear(), longitude.clear(), elevation.clear(), site.clear();
                x.entity_line = x.line();
            }
            break;
        case Tag::latitude:
        case Tag::longitude:
        case Tag::elevation:
            if (up == Tag::station)
                x.take(tag == Tag::latitude ? latitude : tag == Tag::longitude ? longitude : elevation);
            break;
        case Tag::name:
            if (up == Tag::site && x.parent(2) == Tag::station)
                x.take(site);
            break;
        default:
            break;
        }
    }
    // After the element tag closed, path its parents.
    void end(Tag tag)
    {
        if (tag == Tag::station && !x.path.empty() && x.path.back() == Tag::network &&
            x.coordinates(latitude, longitude, "station"))
            x.emit_line({&network, &code, &latitude, &longitude, &elevation, &site, &start_date, &end_date});
    }
};

// QuakeML's handlers: the event being read, its origins and magnitudes, a
// line for each event from its preferred origin and magnitude.
struct EventHandlers {
    explicit EventHandlers(Plumbing &plumbing) : x(plumbing) {}
    Plumbing &x;
    Magnitudes wanted;
    std::string event_id, preferred_origin, preferred_magnitude, event_agency, region, first_text;
    std::string description_text, description_type;
    std::vector<Origin> origins;
    std::vector<Magnitude> magnitudes;

    void start(Tag tag, Tag up, const XML_Char **attributes);
    void start_value(Tag up);
    void start_creation(Tag tag);
    void end(Tag tag);
    void end_event();
    const Magnitude *magnitude_of(const std::string &preferred) const;
};

void EventHandlers::start(Tag tag, Tag up, const XML_Char **attributes)
{
    switch (tag) {
    case Tag::event:
        if (up == Tag::event_parameters) {
            event_id = attribute(attributes, "publicID");
            preferred_origin.clear(), preferred_magnitude.clear(), event_agency.clear();
            region.clear(), first_text.clear();
            origins.clear(), magnitudes.clear();
            x.entity_line = x.line();
        }
        break;
    case Tag::origin:
        if (up == Tag::event) {
            origins.emplace_back();
            origins.back().id = attribute(attributes, "publicID");
            origins.back().line = x.line();
        }
        break;
    case Tag::magnitude:
        if (up == Tag::event) {
            magnitudes.emplace_back();
            magnitudes.back().id = attribute(attributes, "publicID");
        }
        break;
    case Tag::value: start_value(up); break;
    case Tag::type:
        if (up == Tag::magnitude && x.parent(2) == Tag::event)
            x.take(magnitudes.back().type);
        else if (up == Tag::description && x.parent(2) == Tag::event)
            x.take(description_type);
        break;
    case Tag::text:
        if (up == Tag::description && x.parent(2) == Tag::event)
            x.take(description_text);
        break;
    case Tag::description:
        if (up == Tag::event)
            description_text.clear(), description_type.clear();
        break;
    case Tag::author:
    case Tag::agency:
        if (up == Tag::creation_info)
            start_creation(tag);
        break;
    case Tag::preferred_origin:
    case Tag::preferred_magnitude:
        if (up == Tag::event)
            x.take(tag == Tag::preferred_origin ? preferred_origin : preferred_magnitude);
        break;
    default:
        break;
    }
}

// A value: of an origin's time, latitude, longitude or depth, or of a
// magnitude's mag.
void EventHandlers::start_value(Tag up)
{
    if (x.parent(2) == Tag::origin && x.parent(3) == Tag::event) {
        Origin &o = origins.back();
        switch (up) {
        case Tag::time: x.take(o.time); break;
        case Tag::latitude: x.take(o.latitude); break;
        case Tag::longitude: x.take(o.longitude); break;
        case Tag::depth: x.take(o.depth); break;
        default: break;
        }
    } else if (up == Tag::mag && x.parent(2) == Tag::magnitude && x.parent(3) == Tag::event) {
        x.take(magnitudes.back().value);
    }
}

// An author or agency of an origin's, a magnitude's or the event's
// creation.
void EventHandlers::start_creation(Tag tag)
{
    const Tag whose = x.parent(2);
    const bool own = x.parent(3) == Tag::event;
    if (whose == Tag::origin && own)
        x.take(tag == Tag::author ? origins.back().author : origins.back().agency);
    else if (whose == Tag::magnitude && own)
        x.take(tag == Tag::author ? magnitudes.back().author : magnitudes.back().agency);
    else if (whose == Tag::event && x.parent(3) == Tag::event_parameters && tag == Tag::agency)
        x.take(event_agency);
}

void EventHandlers::end(Tag tag)
{
    if (x.path.empty())
        return;
    if (tag == Tag::event && x.path.back() == Tag::event_parameters) {
        end_event();
    } else if (tag == Tag::description && x.path.back() == Tag::event) {
        std::string type;
        clean(description_type, type);
        if (type == "region name" || (region.empty() && first_text.empty()))
            (type == "region name" ? region : first_text) = description_text;
    }
}

void EventHandlers::end_event()
{
    if (origins.empty()) {
        x.problem(x.entity_line, "the event has no origin");
        return;
    }
    auto id_of = [](const std::string &raw) {
        std::string id;
        clean(raw, id);
        return id;
    };
    const std::string want_origin = id_of(preferred_origin);
    const Origin *o = &origins[0];
    for (const Origin &c : origins)
        if (!want_origin.empty() && id_of(c.id) == want_origin) {
            o = &c;
            break;
        }
    const Magnitude *m = magnitude_of(id_of(preferred_magnitude));
    x.entity_line = o->line;
    if (!x.coordinates(o->latitude, o->longitude, "origin"))
        return;
    std::string depth;
    clean(o->depth, depth);
    double metres;
    if (!depth.empty() && !number::read(depth.data(), depth.data() + depth.size(), &metres)) {
        x.problem(x.entity_line, "the origin's depth is not a number: " + depth.substr(0, 64));
        return;
    }
    if (!depth.empty())
        depth = kilometres(depth);
    static const std::string empty;
    const std::string &author = o->author.empty() ? o->agency : o->author;
    const std::string &magnitude_author = m->author.empty() ? m->agency : m->author;
    const std::string &place = region.empty() ? first_text : region;
    x.emit_line({&event_id, &o->time, &o->latitude, &o->longitude, &depth, &author, &event_agency, &empty,
               &empty, &m->type, &m->value, &magnitude_author, &place});
}

const Magnitude *EventHandlers::magnitude_of(const std::string &preferred) const
{
    static const Magnitude none;
    const Magnitude *named = nullptr;
    for (const Magnitude &c : magnitudes) {
        std::string id;
        clean(c.id, id);
        if (!preferred.empty() && id == preferred) {
            named = &c;
            break;
        }
    }
    if (named && !wanted.instead)
        return named;
    // The earliest listed type: a rank for each magnitude, the least
    // first, the file's order among equals.
    const std::vector<std::string> &types = wanted.types;
    const Magnitude *best = nullptr;
    size_t best_rank = types.size();
    for (const Magnitude &c : magnitudes) {
        std::string type;
        clean(c.type, type);
        for (size_t r = 0; r < best_rank; r++)
            if (same_but_case(type, types[r])) {
                best = &c, best_rank = r;
                break;
            }
    }
    return best ? best : named ? named : magnitudes.empty() ? &none : &magnitudes[0];
}

struct XmlText::State : Plumbing {
    StationHandlers stations{*this};
    EventHandlers events{*this};

    static State *of(void *data) { return static_cast<State *>(static_cast<Plumbing *>(data)); }

    static void on_start(void *data, const XML_Char *name, const XML_Char **attributes)
    {
        of(data)->start(name, attributes);
    }
    static void on_end(void *data, const XML_Char *)
    {
        State *s = of(data);
        if (!s->path.empty())
            s->end();
    }
    static void skip_start(void *data, const XML_Char *, const XML_Char **)
    {
        of(data)->skipped++;
    }
    static void skip_end(void *data, const XML_Char *)
    {
        State *s = of(data);
        if (--s->skipped == 0)
            XML_SetElementHandler(s->parser, on_start, on_end);
    }
    void start(const char *name, const XML_Char **attributes);
    void end()
    {
        end_capture();
        const Tag tag = path.back();
        path.pop_back();
        if (kind == Kind::stations)
            stations.end(tag);
        else if (kind == Kind::events)
            events.end(tag);
    }
};

void XmlText::State::start(const char *name, const XML_Char **attributes)
{
    const char *sep = std::strrchr(name, ns_separator);
    const char *local = sep ? sep + 1 : name;
    const size_t ns_length = sep ? static_cast<size_t>(sep - name) : 0;
    if (kind == Kind::unknown) {
        start_root(name, local, ns_length);
        if (stopped)
            return;
    }
    const Tag up = path.empty() ? Tag::other : path.back();
    Tag tag = Tag::other;
    if (schema(name, ns_length)) {
        for (const Named &n : kind == Kind::stations ? station_tags_list() : event_tags_list())
            if (std::strcmp(local, n.name) == 0)
                tag = n.tag;
    }
    // An element no column lies in (a channel, a pick) is passed over
    // whole; the root, even of no known kind, is not.
    if (tag == Tag::other && !path.empty() && !capture) {
        skipped = 1;
        XML_SetElementHandler(parser, skip_start, skip_end);
        return;
    }
    path.push_back(tag);
    if (capture)
        return;
    if (kind == Kind::stations)
        stations.start(tag, up, attributes);
    else
        events.start(tag, up, attributes);
}

bool magnitude_types(const char *list, Magnitudes &m)
{
    m.types.clear();
    for (const char *p = list;;) {
        const char *comma = std::strchr(p, ',');
        std::string type;
        clean(comma ? std::string(p, comma) : std::string(p), type);
        if (type.empty())
            return false;
        m.types.push_back(type);
        if (!comma)
            return true;
        p = comma + 1;
    }
}

XmlText::XmlText(bool header, size_t max_problems, Kind want) : s_(new State)
{
    s_->want = want;
    s_->header = header;
    s_->max_problems = max_problems;
    s_->parser = XML_ParserCreateNS(nullptr, ns_separator);
    if (!s_->parser)
        throw std::bad_alloc();
    XML_SetUserData(s_->parser, static_cast<Plumbing *>(s_.get()));  // what every handler is given
    XML_SetElementHandler(s_->parser, State::on_start, State::on_end);
}

XmlText::~XmlText() { XML_ParserFree(s_->parser); }

bool XmlText::feed(const char *p, size_t n, bool last, std::string &out)
{
    if (s_->stopped)
        return false;
    s_->out = &out;
    if (s_->skim) {
        s_->skimmed.clear();
        s_->skimmer.pass(p, n, last, s_->skimmed);
        p = s_->skimmed.data();
        n = s_->skimmed.size();
    }
    // Blocks of at most INT_MAX bytes, the most one call to expat takes.
    do {
        const size_t part = std::min(n, static_cast<size_t>(1) << 30);
        const bool end = last && part == n;
        if (XML_Parse(s_->parser, p, static_cast<int>(part), end) == XML_STATUS_ERROR) {
            const bool refused = s_->stopped;  // at the root: not the kind wanted
            s_->stopped = true;
            if (!refused) {
                s_->malformed = true;
                char what[200];
                std::snprintf(what, sizeof what, "bad XML: %s (column %lu)",
                              XML_ErrorString(XML_GetErrorCode(s_->parser)),
                              static_cast<unsigned long>(XML_GetCurrentColumnNumber(s_->parser)) + 1);
                s_->problem(s_->line(), what);
            }
            return false;
        }
        p += part;
        n -= part;
    } while (n > 0);
    if (last)
        s_->ended();
    return true;
}

Kind XmlText::kind() const { return s_->kind; }
const std::string &XmlText::root() const { return s_->root; }
bool XmlText::malformed() const { return s_->malformed; }
const std::vector<Problem> &XmlText::problems() const { return s_->problems; }
unsigned long XmlText::problem_count() const { return s_->problem_count; }
void XmlText::keep_lines() { s_->keep_lines = true; }
void XmlText::read_whole() { s_->skim = false; }
void XmlText::choose(const Magnitudes &m) { s_->events.wanted = m; }
const std::vector<unsigned long> &XmlText::lines() const { return s_->lines; }

Converted convert(const char *p, size_t n, bool header, bool keep_lines, Kind want,
                  const Magnitudes &magnitudes)
{
    Converted c;
    XmlText x(header, 100, want);
    x.choose(magnitudes);
    if (keep_lines)
        x.keep_lines();
    // In blocks, as a file is read: the skimmed bytes and the parser's
    // buffer stay in cache.
    constexpr size_t block = 1 << 16;
    for (size_t at = 0; at < n && x.feed(p + at, std::min(block, n - at), false, c.text);)
        at += std::min(block, n - at);
    x.feed(nullptr, 0, true, c.text);
    c.kind = x.kind();
    c.root = x.root();
    c.malformed = x.malformed();
    c.problems = x.problems();
    c.problem_count = x.problem_count();
    c.lines = x.lines();
    return c;
}

}  // namespace files
