// StationXML and QuakeML read as the FDSN text they stand for, as they
// come (a push parser fed blocks of bytes), so that the engine, the filter
// and the Python package take XML as the lines of a text file.
//
//   StationXML (1.0 to 1.2), at station level: one line per station epoch,
//     Network|Station|Latitude|Longitude|Elevation|SiteName|StartTime|EndTime
//   QuakeML 1.0 to 1.2 (BED): one line per event, its preferred origin
//   and magnitude (the first of each when none is preferred, or the
//   preferred one is not there; Magnitudes can rank the types instead):
//     EventID|Time|Latitude|Longitude|Depth/km|Author|Catalog|Contributor|
//     ContributorID|MagType|Magnitude|MagAuthor|EventLocationName
//
// Which of the two a file is comes from its root element, not its name.
// QuakeML's elements are those of its BED namespace of any version, or of
// the root's own namespace where a document puts them there (a default
// namespace set on the root).  A document of a known kind that yields no
// line and has no problem is a problem itself, at its root: a reader
// never ends with nothing in silence.
// Elements of other namespaces (a vendor's), and elements of the schema
// that no column takes (channels, responses, comments, picks), are passed
// over.  A value's text is written as it stands, trimmed, each run of
// white space, '|' and control characters within it (a site's name broken
// over lines) made one space, so that each entity is one line of as many
// fields as the header; the one
// exception is the depth, which QuakeML gives in metres: its decimal point
// moves three places, so that the kilometres are the metres' exact
// decimal value.
//
// An entity without its coordinates (or with ones that are not numbers,
// or out of range) is no line: it is a problem, at the line of the XML
// where it starts.  XML that is not well-formed ends the reading there
// (malformed()); XML of another kind ends it at its root (kind() other).
#ifndef OSTREM_STATION_FILES_FDSN_XML_H
#define OSTREM_STATION_FILES_FDSN_XML_H

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace files {

// The header of each text, '#' first, without a line ending.
extern const char station_columns[];
extern const char event_columns[];
constexpr int station_latitude = 3, station_longitude = 4;  // fields, from 1
constexpr int event_latitude = 3, event_longitude = 4, event_depth = 5;

// Do a file's first bytes begin XML: '<' after a byte-order mark and
// white space?  Text (FDSN's '#' header, a number) does not.  False while
// [p, p + n) holds only white space: more bytes are needed to tell.
bool looks_like_xml(const char *p, size_t n);
// Can the first bytes tell?  Once a byte other than a byte-order mark and
// white space has come, looks_like_xml() says XML or text for good.
bool kind_told(const char *p, size_t n);

enum class Kind { unknown, stations, events, other };

// Which of an event's magnitudes its line takes.  Without types: the
// preferred one, else the first.  With types (their case ignored): where
// the event names no preferred magnitude, or names one it does not hold,
// the first magnitude of the earliest type listed (the first of all where
// none is of a listed type); with instead, in place of the preferred one
// too, which is kept only where no type is listed.
struct Magnitudes {
    std::vector<std::string> types;
    bool instead = false;
};
// "Mw,mb" as its types; false for an empty list or an empty item.
bool magnitude_types(const char *list, Magnitudes &m);

struct Problem {
    unsigned long line;  // of the XML, from 1
    std::string what;
};

class XmlText {
public:
    // header: the text's '#' line first, once the kind is known.
    // max_problems: problems kept (all are counted).  want: the kind the
    // caller takes (unknown: either); XML of another kind stops at its
    // root, as XML of no known kind does.
    explicit XmlText(bool header = true, size_t max_problems = 100, Kind want = Kind::unknown);
    ~XmlText();
    XmlText(const XmlText &) = delete;
    XmlText &operator=(const XmlText &) = delete;

    // [p, p + n) of the file, in order; last: the file ends there.  Each
    // finished line, with '\n', is appended to out.  False once the
    // reading has stopped (malformed, or another kind), true until then.
    bool feed(const char *p, size_t n, bool last, std::string &out);

    Kind kind() const;
    // The root element's name (its local name), for a message about a
    // file of another kind.
    const std::string &root() const;
    bool malformed() const;
    // The first max_problems problems, the malformation among them; and
    // how many there were.
    const std::vector<Problem> &problems() const;
    unsigned long problem_count() const;
    // Asked for before the first feed: the XML line each text line
    // (header included) comes from, so that a message about a line can
    // name the XML's.
    void keep_lines();
    const std::vector<unsigned long> &lines() const;
    // Asked for before the first feed: every element parsed, none skimmed
    // (skim.h), so that a fault anywhere is seen.  Slower on channel-level
    // inventories; the text of well-formed XML is the same.
    void read_whole();
    // Asked for before the first feed: how events choose their magnitude.
    void choose(const Magnitudes &m);

private:
    struct State;
    std::unique_ptr<State> s_;
};

// The text of a whole file given in memory: its lines, and what the
// reading found.  For the table of stations and the Python package, which
// read the file whole.
struct Converted {
    Kind kind = Kind::unknown;
    std::string text;
    std::string root;
    bool malformed = false;
    std::vector<Problem> problems;
    unsigned long problem_count = 0;
    std::vector<unsigned long> lines;  // with keep_lines
};
Converted convert(const char *p, size_t n, bool header, bool keep_lines = false,
                  Kind want = Kind::unknown, const Magnitudes &magnitudes = Magnitudes());

}  // namespace files

#endif
