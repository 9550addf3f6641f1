// One line's work: its fields read, the module called, its output line
// written.  No I/O and no state between lines, so that any number of
// threads can run one Record's line() at once.
#ifndef OSTREM_FILTER_RECORD_H
#define OSTREM_FILTER_RECORD_H

#include <cstddef>
#include <iterator>
#include <string_view>
#include <vector>

#include "format.h"
#include "line_numbers.h"
#include "options.h"
#include "geometry.h"
#include "pairing.h"

namespace filter {

class StationTable;

class Record {
public:
    explicit Record(const Options &o);
    Record(const Record &) = delete;  // names_ may point into all_names_
    Record &operator=(const Record &) = delete;

    // Lines whose pairs wait to be solved together: the ellipsoid's
    // inverse problem solves a block of pairs at once in the processor's
    // lanes.  One a thread, kept by the caller across lines.
    struct Batch {
        static constexpr size_t most = ellipsoid::block_pairs;
        struct Waiting {
            char *line;
            size_t n;
            char join;
            double c[pair_numbers];
        };
        size_t count = 0;
        Waiting waiting[most];
    };

    // One line without its '\n' (a '\r' before it is a CRLF ending);
    // line[n] may be written, and line_slack bytes after it read.
    // header: the line is a file's first under -H.
    // Appends the line's output to out: its results, or nothing when -r
    // leaves its distance out.  When the line is bad, the output is its nan
    // line (none with -r), why says what is wrong, and false comes back.
    // With a batch, a good line's output may wait in it, behind no other
    // line's: finish() writes what waits, and must be called before the
    // caller writes anything of its own to out, and after the last line.
    bool line(char *line, size_t n, bool header, Bytes &out, Reason &why, Batch *batch = nullptr) const;
    void finish(Batch &batch, Bytes &out) const
    {
        if (batch.count > 0)
            (this->*finish_)(batch, out);
    }

    // The output of a line longer than limit (max_line), which is not kept.
    void overlong(Bytes &out, Reason &why, size_t limit = max_line) const;

    // What joins the input line (-a) and the results of this line: -d's
    // character, or without -d a comma where the line's first field is
    // followed by one (CSV stays CSV), else a space.
    char joiner(const char *line, size_t n) const;

    const Options &options() const { return opt_; }

    // -S: each line's earthquake is paired with the stations of t, which
    // outlives the Record.  Before any line.
    void pair_with(const StationTable *t) { stations_ = t; }

    // How many results a line gives, and their names (-H).
    int results() const { return named_; }
    const std::string_view *names() const { return names_; }

private:
    // A bad line's output is a line of nan, except under -r (it is not
    // known to lie in the window) and -n (it has no path).
    // Nor under -S: a bad earthquake has no stations.
    bool writes_nan_lines() const { return !opt_.windowed() && !opt_.path && !opt_.stations; }
    // The rest of a line that holds numbers: the run's computation, one
    // instantiation per mode and precision, picked when the options are
    // read.  Solve says which module functions and how results are written.
    using Numbers = bool (Record::*)(char *line, size_t n, char join, Bytes &out, Reason &why,
                                     Batch *batch) const;
    template <class Solve, bool plain>
    bool numbers(char *line, size_t n, char join, Bytes &out, Reason &why, Batch *batch) const;
    template <class Solve>
    bool pairs(char *line, size_t n, char join, Bytes &out, Reason &why, Batch *batch) const;
    // A batch's lines solved and written, for the run's computation.
    using Finish = void (Record::*)(Batch &batch, Bytes &out) const;
    template <class Solve>
    void finish_batch(Batch &batch, Bytes &out) const;
    // A line's output from its numbers and results.
    template <class Solve>
    void put_solved(char *line, size_t n, char join, const double c[], const double r[], Bytes &out) const;
    // How a line is read, chosen once: an earthquake for -S's stations,
    // the usual layout in one pass, or any other layout.
    enum class Reading { paired, plain, general };
    // The computation the options ask for, in one arithmetic.
    template <class A>
    void choose(Reading r);
    template <class Solve>
    static Numbers pick(Reading r)
    {
        return r == Reading::paired ? &Record::pairs<Solve>
               : r == Reading::plain ? &Record::numbers<Solve, true>
                                     : &Record::numbers<Solve, false>;
    }
    // The run's computation, and the names of what it gives.
    template <class Solve>
    void use(Reading r)
    {
        numbers_ = pick<Solve>(r);
        finish_ = &Record::finish_batch<Solve>;
        names_ = Solve::names;
        named_ = static_cast<int>(std::size(Solve::names));
    }
    template <class Solve>
    void put_results(const double r[], char join, Bytes &out) const;
    // The line as it is written: itself, or with -o its fields rejoined
    // (in storage of this thread's, until its next call).
    std::string_view shown(const char *line, size_t n) const;
    template <class Solve, class Real>
    void put_geometry(std::string_view line, char join, const stations::Geometry<Real> &g,
                      Bytes &out) const;
    template <class Solve>
    void put_path(std::string_view line, char join, const double c[], const double r[],
                  Bytes &out, std::string_view station = {}) const;
    bool refuse(const char *line, size_t n, char join, const char *reason, Bytes &out,
                Reason &why) const;
    void put_header(const char *line, size_t n, char join, Bytes &out) const;
    void put_words(const char *line, size_t n, char join, const std::string_view words[],
                   Bytes &out) const;

    Options opt_;
    LineNumbers reader_;        // where the line's numbers are
    Numbers numbers_;
    Finish finish_;
    const std::string_view *names_ = nullptr;
    int named_ = 0;
    PutFixed put_fixed_;        // -p's writer of a value
    stations::Window window_;   // -r, -A, -B
    double fixed_[pair_numbers] = {};  // a pair's numbers, the fixed end's already in place
    const StationTable *stations_ = nullptr;
    // -P's columns after the computation's: every name, and a bad line's
    // nan for each.
    std::vector<std::string_view> all_names_, nans_;
    bool depth_holds(const double c[]) const;
    void put_arrivals(const double c[], const stations::Instant *origin, char join, Bytes &out) const;
    // --request's line for station j: its codes and the window around the
    // arrival (s after origin); none where nothing arrives.
    void put_request(const StationTable &table, uint32_t j, double arrival, const stations::Instant &origin,
                     Bytes &out) const;
};

}  // namespace filter

#endif
