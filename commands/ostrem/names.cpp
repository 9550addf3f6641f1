#include "names.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "fdsn_xml.h"
#include "fields.h"
#include "format.h"
#include "header.h"
#include "inputs.h"
#include "line_numbers.h"
#include "messages.h"

namespace filter {

namespace {

// An input's first line, without its ending or a byte-order mark, from
// its head (kept for its reader).  XML stands for the FDSN text of
// xml_columns, whose header that is.
std::string first_line(const InputFile &input, const char *xml_columns)
{
    if (input.xml())
        return xml_columns;
    const std::string &head = input.head();
    std::string line = head.substr(0, head.find('\n'));
    while (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.compare(0, 3, byte_order_mark) == 0)
        line.erase(0, 3);
    return line;
}

// The field (from 1) of name: exactly, else without regard to case; 0
// when missing, -1 when found twice.
int field_of(const std::vector<std::string> &names, const std::string &name)
{
    for (bool exact : {true, false}) {
        int found = 0, at = 0;
        for (size_t k = 0; k < names.size(); k++)
            if (exact ? names[k] == name : files::same_but_case(names[k], name)) {
                found++;
                at = static_cast<int>(k) + 1;
            }
        if (found)
            return found == 1 ? at : -1;
    }
    return 0;
}

// A list of names and numbers as numbers, or 2 after the message.
int numbered(char option, const char *value, const char *file, const std::vector<std::string> &names,
             std::string &numbers)
{
    numbers.clear();
    for (const char *p = value;;) {
        const char *comma = std::strchr(p, ',');
        const std::string item = comma ? std::string(p, comma) : std::string(p);
        if (!item.empty() && item.find_first_not_of("0123456789-") == std::string::npos) {
            numbers += item;  // a number or a range, as it is
        } else {
            const int at = field_of(names, item);
            if (at <= 0) {
                std::string known;
                for (const std::string &n : names)
                    known += (known.empty() ? "" : ", ") + n;
                char shown[shown_size], text[8192];
                show(shown, item.data(), item.size());
                std::snprintf(text, sizeof text, "-%c names '%s', which the header of %s %s (its names: %s)",
                              option, shown, std::strcmp(file, "-") ? file : "standard input",
                              at < 0 ? "holds twice" : "does not hold", known.c_str());
                say(stderr, "%s", text);
                std::fputs(usage, stderr);
                return 2;
            }
            numbers += std::to_string(at);
        }
        if (!comma)
            return 0;
        numbers += ',';
        p = comma + 1;
    }
}

}  // namespace

int input_is_xml(Inputs &inputs, const char *name, files::TextHeader *text)
{
    const InputFile &input = inputs.peek(name);
    if (input.fd() < 0)
        return -1;  // said where the input is read
    if (input.xml())
        return 1;
    if (text)
        *text = input.text();
    return 0;
}

int resolve_names(Inputs &inputs, const Options &o, const char *input, const Names &names,
                  std::vector<std::string> &numbers)
{
    if (!o.header) {
        say(stderr, "-%c takes field numbers; names ('%s') need -H, whose header names the fields",
            names.given[0].option, names.given[0].value);
        return 2;
    }
    std::vector<std::string> header[2];  // the first input's, the station file's
    bool read[2] = {false, false};
    numbers.clear();
    for (const Names::Given &n : names.given) {
        const bool station = n.option == 'F' || n.option == 'T' || (n.option == 'Z' && o.stations);
        const char *file = station ? o.stations : input;
        if (!read[station]) {
            const InputFile &in = inputs.peek(file);
            if (in.error()) {
                say(stderr, "%s: %s", file, std::strerror(in.error()));
                return 2;
            }
            const char *columns = station ? files::station_columns : files::event_columns;
            const std::string line = first_line(in, columns);
            // XML's columns, and FDSN text's where no separator is
            // given, are split on '|'.
            char sep = station ? o.station_sep : o.sep;
            if (line == columns || (!sep && files::fdsn_text(line.data(), line.size()).kind != files::Text::other))
                sep = '|';
            header[station] = header_names(line.data(), line.size(), sep).names;
            read[station] = true;
        }
        numbers.emplace_back();
        if (int status = numbered(n.option, n.value, file, header[station], numbers.back()))
            return status;
    }
    return 0;
}

}  // namespace filter
