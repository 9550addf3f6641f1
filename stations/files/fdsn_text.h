// FDSN text told from its header line, as XML is told from its root: the
// event text (#EventID|Time|Latitude|Longitude|...), the station text
// (#Network|Station|Latitude|Longitude|...) and the channel text
// (#Network|Station|Location|Channel|Latitude|Longitude|...).  The names
// are split on '|' and trimmed, so that a data centre's "#EventID | Time |
// Latitude" is the same header; their case is ignored.
#ifndef OSTREM_STATION_FILES_FDSN_TEXT_H
#define OSTREM_STATION_FILES_FDSN_TEXT_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace files {

// Names compared as the field's files and their users write them: without
// regard to case ("Latitude", "latitude"; magnitude types "Mww", "mww").
bool same_but_case(std::string_view a, std::string_view b);

enum class Text { other, events, stations, channels };

struct TextHeader {
    Text kind = Text::other;
    std::vector<std::string> names;  // trimmed, the first without its '#'
    // Fields from 1; 0 where the header has none of that name.
    int field(const char *name) const;
};

// The first line of [p, p + n) (a whole file, or its line alone), as a
// header.
TextHeader fdsn_text(const char *p, size_t n);

// A line of FDSN text split on '|', each field as it stands; and a field
// without the blanks (and a line's CR) around it.
std::vector<std::string_view> fields_of(std::string_view line);
std::string_view trimmed(std::string_view field);

}  // namespace files

#endif
