// ostrem -- a filter: one earthquake-station pair per input line in, the
// line sorvane (or, with -m, brovic) would print for it out; with -w, the
// point reached from a start along an azimuth.  Options fix one end, pick
// the fields, keep the input line, choose the separator and the precision.
//
// options.cpp reads the command line, record.cpp does one line's work,
// stream.cpp reads the files in blocks, has them worked on (by -j threads)
// and writes the output in order.
//
// Status: 0 every line good, 1 some line bad, 2 trouble (usage, unreadable
// file, write error).  No setlocale: strtod reads '.' as the decimal point
// and the output writes it, in every locale.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <getopt.h>

#include "../newline.h"
#include "inputs.h"
#include "fdsn_text.h"
#include "fdsn_xml.h"
#include "messages.h"
#include "names.h"
#include "options.h"
#include "record.h"
#include "stations.h"
#include "stream.h"
#include "text.h"

namespace {

// Were -f's (or -F's) fields given as numbers, not names nor left to a
// default?
bool given_by_number(bool given, char option, const filter::Names &names)
{
    if (!given)
        return false;
    for (const filter::Names::Given &n : names.given)
        if (n.option == option)
            return false;
    return true;
}
bool fields_by_number(const filter::Options &o, const filter::Names &names)
{
    return given_by_number(o.fields_given, 'f', names);
}
bool station_fields_by_number(const filter::Options &o, const filter::Names &names)
{
    return given_by_number(o.station_fields_given, 'F', names);
}

// An option's default ahead of the command line's own: "-f" "3,4".
void fields_default(std::vector<std::string> &defaults, const char *option, int latitude, int longitude)
{
    defaults.insert(defaults.end(), {option, std::to_string(latitude) + "," + std::to_string(longitude)});
}

int run(int argc, char **argv)
{
    binary_standard_streams();
    if (argc > 1 && std::strcmp(argv[1], "--text") == 0)
        return filter::write_text(argc - 2, argv + 2);
    static filter::Options opt;
    int first = 0;
    filter::Names names;
    if (int status = filter::options(argc, argv, opt, &first, &names))
        return status < 0 ? 0 : status;
    // The command line read again: with the numbers the headers give
    // names, and after the defaults of QuakeML input (FDSN event text:
    // '|', the latitude and longitude in fields 3 and 4), which the
    // first input decides.
    static std::vector<std::string> words;
    static std::vector<char *> numbered;
    static filter::Inputs inputs;
    std::vector<std::string> defaults;
    files::TextHeader text;
    const bool pair_fields =
        (opt.stations || opt.fixed != filter::End::none) && opt.mode != filter::Mode::walk;
    if (filter::input_is_xml(inputs, first < argc ? argv[first] : "-", &text) == 1) {
        if (!opt.sep)
            defaults.insert(defaults.end(), {"-d", "|"});
        if (!opt.fields_given && pair_fields)
            fields_default(defaults, "-f", files::event_latitude, files::event_longitude);
    } else if (text.kind != files::Text::other && !opt.sep && !fields_by_number(opt, names)) {
        // FDSN text, told from its header as XML is: '|', and its
        // latitude and longitude, unless the fields are given by number
        // (which count the fields as they are split without -d).
        defaults.insert(defaults.end(), {"-d", "|"});
        if (!opt.fields_given && pair_fields)
            fields_default(defaults, "-f", text.field("Latitude"), text.field("Longitude"));
    }
    // The station file's FDSN text likewise: '|' and its latitude and
    // longitude for -D and -F (XML's are its reading's own).
    files::TextHeader station_text;
    if (opt.stations && filter::input_is_xml(inputs, opt.stations, &station_text) == 0 &&
        (station_text.kind == files::Text::stations || station_text.kind == files::Text::channels) &&
        !opt.station_sep && !station_fields_by_number(opt, names)) {
        defaults.insert(defaults.end(), {"-D", "|"});
        if (!opt.station_fields_given)
            fields_default(defaults, "-F", station_text.field("Latitude"), station_text.field("Longitude"));
    }
    if (!names.given.empty()) {
        if (int status = filter::resolve_names(inputs, argc, argv, opt, first, names, words))
            return status;
    } else if (!defaults.empty()) {
        words.assign(argv, argv + argc);
    }
    if (!names.given.empty() || !defaults.empty()) {
        words.insert(words.begin() + 1, defaults.begin(), defaults.end());
        argc = static_cast<int>(words.size());
        for (std::string &w : words)
            numbered.push_back(&w[0]);
        numbered.push_back(nullptr);
        argv = numbered.data();
        opt = filter::Options();
        optind = 0;  // getopt reads a new command line
        if (int status = filter::options(argc, argv, opt, &first))
            return status < 0 ? 0 : status;
    }
    static filter::Out out(1);
    static filter::Record rec(opt);
    // -S: the station file, read whole before any line, so that one that
    // cannot be read ends the run with nothing written.
    static filter::StationTable stations;
    if (opt.stations) {
        if (int err = stations.load(inputs.take(opt.stations), opt)) {
            filter::say(stderr, "%s: %s", opt.stations, std::strerror(err));
            return 2;
        }
        if (!stations.refusal().empty()) {
            filter::say(stderr, "%s", stations.refusal().c_str());
            return 2;
        }
        rec.pair_with(&stations);
    }
    filter::Stream s(rec, out, stderr, opt.threads);
    for (const filter::StationTable::Bad &b : stations.bad())
        s.report(opt.stations, b.line, b.why);
    s.count_unreported(stations.bad_count() - stations.bad().size());
    if (opt.stations && stations.size() == 0) {  // nothing to pair with: not a quiet success
        filter::say(stderr, "no stations in %s", opt.stations);
        return 2;
    }
    if (first == argc)
        s.file(inputs.take("-"), "-");
    for (int i = first; i < argc && out.ok(); i++)
        s.file(inputs.take(argv[i]), argv[i]);
    s.finish();  // every thread ended before the status, or SIGPIPE, is decided
    if (unsigned long n = s.unreported())
        filter::say(stderr, "%lu more bad lines not reported", n);
    if (!out.flush()) {
        // A reader that went away ends a filter quietly, as SIGPIPE would
        // have if it had not been ignored.  Windows has no SIGPIPE: there
        // the run ends with the write error's message and status.
#ifdef SIGPIPE
        if (out.error() == EPIPE) {
            std::signal(SIGPIPE, SIG_DFL);
            std::raise(SIGPIPE);
        }
#endif
        filter::say(stderr, "write error: %s", std::strerror(out.error()));
        return 2;
    }
    if (s.out_of_memory())
        throw std::bad_alloc();
    return s.trouble() ? 2 : s.bad_lines() ? 1 : 0;
}

}  // namespace

int main(int argc, char **argv)
{
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc &) {
        filter::say(stderr, "out of memory");
        return 2;
    }
}
