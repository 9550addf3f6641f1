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
#include <string_view>
#include <vector>

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

// A latitude and a longitude field as an option's value: "3,4".
std::string two_fields(int latitude, int longitude)
{
    return std::to_string(latitude) + "," + std::to_string(longitude);
}

// What the inputs' kinds decide, as options given after the command line
// (asked: the command line's options, settled): QuakeML's and FDSN text's
// '|' and their latitude and longitude, for the earthquakes (-d, -f) and
// for -S's stations (-D, -F).  Not where the fields are given by number
// without a separator, which count the fields as blanks split them.
int kinds_decide(filter::Inputs &inputs, const filter::Options &asked, const filter::Names &names,
                 const char *input, filter::Options &opt, filter::Given &given)
{
    const bool pair_fields =
        (asked.stations || asked.fixed != filter::End::none) && asked.mode != filter::Mode::walk;
    files::TextHeader text;
    int status = 0;
    const bool xml = filter::input_is_xml(inputs, input, &text) == 1;
    if (xml) {
        if (!asked.sep)
            status = filter::give('d', "|", opt, given);
        if (!status && !asked.fields_given && pair_fields)
            status = filter::give('f', two_fields(files::event_latitude, files::event_longitude), opt, given);
    } else if (text.kind != files::Text::other && !asked.sep &&
               !given_by_number(asked.fields_given, 'f', names)) {
        status = filter::give('d', "|", opt, given);
        if (!status && !asked.fields_given && pair_fields)
            status = filter::give('f', two_fields(text.field("Latitude"), text.field("Longitude")), opt, given);
    }
    // -P without a depth: an event file's own column.
    if (!status && !asked.phases.empty() && !asked.has_depth) {
        if (xml)
            status = filter::give('z', std::to_string(files::event_depth), opt, given);
        else if (text.kind == files::Text::events && text.field("Depth/km") > 0)
            status = filter::give('z', std::to_string(text.field("Depth/km")), opt, given);
    }
    files::TextHeader station_text;
    if (!status && asked.stations && filter::input_is_xml(inputs, asked.stations, &station_text) == 0 &&
        (station_text.kind == files::Text::stations || station_text.kind == files::Text::channels) &&
        !asked.station_sep && !given_by_number(asked.station_fields_given, 'F', names)) {
        status = filter::give('D', "|", opt, given);
        if (!status && !asked.station_fields_given)
            status = filter::give(
                'F', two_fields(station_text.field("Latitude"), station_text.field("Longitude")), opt, given);
    }
    // --request without -t and -T: the event's time and each station
    // epoch's, where both files are FDSN text or XML.
    if (!status && asked.request && !asked.times) {
        const std::string_view event_header(files::event_columns), station_header(files::station_columns);
        const files::TextHeader events = xml ? files::fdsn_text(event_header.data(), event_header.size()) : text;
        files::TextHeader stations;
        const int stations_xml = filter::input_is_xml(inputs, asked.stations, &stations);
        if (stations_xml == 1 && !asked.channels)
            stations = files::fdsn_text(station_header.data(), station_header.size());
        const int time = events.kind == files::Text::events ? events.field("Time") : 0;
        const int start = stations.field("StartTime"), end = stations.field("EndTime");
        if (time > 0 && start > 0 && end > 0) {
            status = filter::give('t', std::to_string(time), opt, given);
            if (!status)
                status = filter::give('T', two_fields(start, end), opt, given);
        }
    }
    return status;
}

// The command line, read once: its options, the defaults the inputs'
// kinds decide and the numbers the headers give names, settled together.
// 0 to go on, or the status to end with.
int read_command_line(int argc, char **argv, filter::Inputs &inputs, filter::Options &opt, int &first)
{
    filter::Names names;
    filter::Given given;
    given.names = &names;
    if (int status = filter::read_options(argc, argv, opt, given, &first))
        return status < 0 ? -1 : status;
    // Settled as given first: what cannot work is said before any input
    // is looked at.
    filter::Options asked = opt;
    if (int status = filter::settle_options(asked, given))
        return status;
    const char *input = first < argc ? argv[first] : "-";
    if (int status = kinds_decide(inputs, asked, names, input, opt, given))
        return status;
    if (!names.given.empty()) {
        std::vector<std::string> numbers;
        if (int status = filter::resolve_names(inputs, asked, input, names, numbers))
            return status;
        // A list that a later one of the same option replaced is not taken.
        for (size_t i = 0; i < names.given.size(); i++)
            if (given.last[names.given[i].option] == names.given[i].value)
                if (int status = filter::give(names.given[i].option, numbers[i], opt, given))
                    return status;
    }
    given.inputs_known = true;
    return filter::settle_options(opt, given);
}

// -S: the station file, read whole before any line, so that one that
// cannot be read ends the run with nothing written.  0 or the status.
int load_stations(filter::Inputs &inputs, const filter::Options &opt, filter::StationTable &stations)
{
    if (int err = stations.load(inputs.take(opt.stations), opt)) {
        filter::say(stderr, "%s: %s", opt.stations, std::strerror(err));
        return 2;
    }
    if (!stations.refusal().empty()) {
        filter::say(stderr, "%s", stations.refusal().c_str());
        return 2;
    }
    if (opt.request && !stations.has_codes()) {
        filter::say(stderr, "%s: --request needs the stations' codes: FDSN station text or StationXML", opt.stations);
        return 2;
    }
    return 0;
}

// The run's status once everything is read: a write error (or a reader
// that went away), memory, bad lines.
int ending(filter::Stream &s, filter::Out &out)
{
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

int run(int argc, char **argv)
{
    binary_standard_streams();
    if (argc > 1 && std::strcmp(argv[1], "--text") == 0)
        return filter::write_text(argc - 2, argv + 2);
    static filter::Options opt;
    static filter::Inputs inputs;
    int first = 0;
    if (int status = read_command_line(argc, argv, inputs, opt, first))
        return status < 0 ? 0 : status;
    static filter::Out out(1);
    static filter::Record rec(opt);
    static filter::StationTable stations;
    if (opt.stations) {
        if (int status = load_stations(inputs, opt, stations))
            return status;
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
    return ending(s, out);
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
