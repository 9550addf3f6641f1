// ostrem -- a filter: one earthquake-station pair per input line in, the
// line sorvane (or, with -m, brovic) would print for it out; with -w, the
// point reached from a start along an azimuth.  Options fix one end, pick
// the fields, keep the input line, choose the separator and the precision.
//
// Each line takes one pass: its fields are found (split), the numbers read
// from the ones wanted (take), completed with a fixed end (-e, -s), given
// to one module function (compute), and written (emit).  The options decide
// what each step does; there is no second copy of the loop per mode.
//
// Without -p the results must be the programs' own bits and digits: each
// field is read as strtod reads it and rounded to float as atof's result
// is, the same module function is called, and each value is written
// exactly as printf's "%.2f" writes it.  With -p N the double-precision
// functions take the numbers as read and each value is written exactly as
// printf's "%.Nf" writes the double.
//
// Throughput comes from doing no per-line work twice: lines are parsed in
// place in a large read buffer, results are formatted into a large write
// buffer, and nothing per line allocates.  Memory is bounded whatever the
// input: a line longer than the limit is read through, not stored.
//
// Status: 0 every line good, 1 some line bad, 2 trouble (usage, unreadable
// file, write error).  No setlocale: strtod reads '.' as the decimal point
// and the output writes it, in every locale.

#include <getopt.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>  // read, write, open, close
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

#include "newline.h"
#include "number.h"
#include "ostrem.h"

#ifndef OSTREM_VERSION
#define OSTREM_VERSION "unknown"
#endif

#ifndef O_CLOEXEC
#define O_CLOEXEC 0  // Windows: no exec to guard against
#endif
#ifndef O_BINARY
#define O_BINARY 0  // POSIX: every file is binary
#endif

namespace {

constexpr size_t max_line = 65536;   // bytes, without the line ending
constexpr unsigned long max_messages = 100;  // bad lines reported per run

// Output through one buffer and write(2); a failed write is remembered and
// reported once, and ends the run.
class Out {
public:
    explicit Out(int fd) : fd_(fd) {}

    // Room for at least n more bytes.
    char *room(size_t n)
    {
        if (sizeof buf_ - len_ < n)
            flush();
        return buf_ + len_;
    }
    void commit(char *end) { len_ = static_cast<size_t>(end - buf_); }
    void put(const char *p, size_t n)
    {
        while (n > 0) {
            char *to = room(1);
            size_t k = sizeof buf_ - len_ < n ? sizeof buf_ - len_ : n;
            std::memcpy(to, p, k);
            len_ += k;
            p += k;
            n -= k;
        }
    }
    // Returns false when the data could not be written, now or before.
    bool flush()
    {
        const char *p = buf_;
        while (len_ > 0 && ok_) {
            ssize_t w = write(fd_, p, len_);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                ok_ = false;
                err_ = w < 0 ? errno : EIO;
                break;
            }
            p += w;
            len_ -= static_cast<size_t>(w);
        }
        len_ = 0;
        return ok_;
    }
    bool ok() const { return ok_; }
    int error() const { return err_; }

private:
    int fd_;
    size_t len_ = 0;
    bool ok_ = true;
    int err_ = 0;
    char buf_[1 << 16];
};

bool blank(char c) { return c == ' ' || c == '\t'; }

// Two decimals exactly as printf's "%.2f" writes them.  A float times 100
// is exact in double (24 + 7 bits), and nearbyint rounds it to nearest,
// ties to even, as printf rounds the exact binary value; the sign is
// printed from the sign bit, so -0.0 and -0.001 give "-0.00" as printf
// does.  NaN ("nan" or "-nan") and values too large for the integer path
// are left to printf itself.
char *put_value(char *p, float f)
{
    double d = static_cast<double>(f) * 100.0;
    if (!(std::fabs(d) < 0x1p52))
        return p + std::snprintf(p, 64, "%.2f", static_cast<double>(f));
    if (std::signbit(d))
        *p++ = '-';
    unsigned long long u = static_cast<unsigned long long>(std::fabs(std::nearbyint(d)));
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u > 0 || n < 3);
    while (n > 2)
        *p++ = digits[--n];
    *p++ = '.';
    *p++ = digits[1];
    *p++ = digits[0];
    return p;
}

// prec decimals of a double exactly as printf's "%.*f" writes them.  The
// double is m * 2^-s with m below 2^53; m * 10^prec (below 2^83) is exact
// in 128 bits, and shifting it right by s with the remainder rounded to
// nearest, ties to even, is printf's rounding of the exact binary value.
// The sign comes from the sign bit, as for put_value.  NaN, infinities and
// values of 1e9 or more are left to printf.
char *put_fixed(char *p, double d, int prec)
{
    static const uint64_t pow10[10] = {1,         10,         100,         1000,
                                       10000,     100000,     1000000,     10000000,
                                       100000000, 1000000000};
    double a = std::fabs(d);
    if (!(a < 1e9))
        return p + std::snprintf(p, 400, "%.*f", prec, d);
    if (std::signbit(d))
        *p++ = '-';
    int e;
    double m = std::frexp(a, &e);  // a = m * 2^e, m in [0.5, 1) or 0
    uint64_t mant = static_cast<uint64_t>(std::ldexp(m, 53));
    int shift = 53 - e;  // a = mant * 2^-shift, shift >= 23 here
    unsigned __int128 x = static_cast<unsigned __int128>(mant) * pow10[prec];
    uint64_t q = 0;
    if (shift < 100) {  // beyond, x < 2^83 is below half a unit: 0
        q = static_cast<uint64_t>(x >> shift);
        unsigned __int128 rem = x - (static_cast<unsigned __int128>(q) << shift);
        unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
        if (rem > half || (rem == half && (q & 1)))
            q++;
    }
    char digits[32];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + q % 10);
        q /= 10;
    } while (q > 0 || n <= prec);
    while (n > prec)
        *p++ = digits[--n];
    if (prec > 0)
        *p++ = '.';
    while (n > 0)
        *p++ = digits[--n];
    return p;
}

enum class Mode { dist, mid, walk };

// What the command line asked for.
struct Options {
    Mode mode = Mode::dist;
    char fixed = 0;            // 'e' or 's': that end is fixed[] for every line
    double fix[2] = {0, 0};    // as read; rounded to float with the rest
    int want = 4;              // numbers a line gives: 4, or 2 with -e or -s
    int field[4] = {1, 2, 3, 4};  // the field that holds each, from 1
    bool listed = false;       // -f: other fields may hold anything
    bool append = false;       // -a: the input line, then the results
    char sep = 0;              // -d: exactly this character; 0: blanks and/or a comma
    bool header = false;       // -H: each file's first line names its fields
    int prec = -1;             // -p: decimals of double results; -1: the programs' floats

    int results() const { return mode == Mode::dist ? 3 : 2; }
    char joiner() const { return sep ? sep : ' '; }
    int last_field() const
    {
        int m = 0;
        for (int i = 0; i < want; i++)
            m = field[i] > m ? field[i] : m;
        return m;
    }
};

// The fields of a line, split on blanks, tabs and/or one comma.  take(k,
// start, stop) is called for field k (from 1); returns the field count.
template <typename Take>
int split_blanks(const char *p, const char *end, Take &&take)
{
    int k = 0;
    while (p < end && blank(*p))
        p++;
    for (;;) {
        const char *start = p;
        while (p < end && !blank(*p) && *p != ',')
            p++;
        take(++k, start, p);
        while (p < end && blank(*p))
            p++;
        if (p < end && *p == ',') {
            p++;
            while (p < end && blank(*p))
                p++;
            continue;  // a field follows, if only an empty one
        }
        if (p >= end)
            return k;
    }
}

// The fields of a line, split on exactly sep; empty fields count.  A field
// that begins with '"' is quoted as in CSV: separators inside it do not
// split it, and "" stands for one quote.  Returns the field count, or -k
// when field k opens a quote that the line never closes.
template <typename Take>
int split_on(const char *p, const char *end, char sep, Take &&take)
{
    int k = 0;
    for (;;) {
        const char *start = p;
        if (p < end && *p == '"' && sep != '"') {
            p++;
            for (;;) {
                const char *q = static_cast<const char *>(std::memchr(p, '"', static_cast<size_t>(end - p)));
                if (!q)
                    return -(k + 1);
                p = q + 1;
                if (p < end && *p == '"') {
                    p++;
                    continue;
                }
                break;
            }
        }
        const char *s = static_cast<const char *>(std::memchr(p, sep, static_cast<size_t>(end - p)));
        p = s ? s : end;
        take(++k, start, p);
        if (p >= end)
            return k;
        p++;
    }
}

// One field under -d as a number: blanks around it are allowed, and so
// are quotes around it (with blanks inside them).
bool field_number(const char *start, const char *stop, double *v)
{
    while (start < stop && blank(*start))
        start++;
    while (stop > start && blank(stop[-1]))
        stop--;
    if (stop - start >= 2 && *start == '"' && stop[-1] == '"') {
        start++;
        stop--;
        while (start < stop && blank(*start))
            start++;
        while (stop > start && blank(stop[-1]))
            stop--;
    }
    return number::read(start, stop, v);
}

struct Filter {
    Filter(const Options &o, Out &out_, FILE *msgs_) : opt(o), out(out_), msgs(msgs_)
    {
        last_ = opt.last_field();
        slot_.assign(static_cast<size_t>(last_) + 1, -1);
        for (int i = opt.want - 1; i >= 0; i--) {  // the first slot naming a field
            repeats_ = repeats_ || slot_[static_cast<size_t>(opt.field[i])] >= 0;
            slot_[static_cast<size_t>(opt.field[i])] = static_cast<signed char>(i);
        }
    }

    const Options &opt;
    Out &out;
    FILE *msgs;
    bool bad_lines = false;     // some line was bad
    bool trouble = false;       // a file could not be read
    unsigned long reported = 0;    // bad lines, reported or not
    int last_;                  // the last field wanted
    bool repeats_ = false;      // -f names a field twice
    std::vector<signed char> slot_;  // field number (to last_) -> the slot it fills, or -1

    // A bad line: the message (the first max_messages of a run), and a
    // status of 1 at the end.
    void bad(const char *name, unsigned long lineno, const char *reason)
    {
        bad_lines = true;
        if (++reported <= max_messages)
            std::fprintf(msgs, "ostrem: %s:%lu: %s\n", name, lineno, reason);
    }
    unsigned long unreported() const { return reported > max_messages ? reported - max_messages : 0; }

    // The start of an output line: with -a, the input line and a separator.
    void put_line(const char *line, size_t n)
    {
        if (opt.append && line) {
            out.put(line, n);
            char j = opt.joiner();
            out.put(&j, 1);
        }
    }

    // An output line of words in place of the results: after the input
    // line with -a, joined like results.
    void put_words(const char *line, size_t n, const std::string_view words[3])
    {
        put_line(line, n);
        char *p = out.room(3 * 8);  // no word is longer than 6 bytes
        for (int i = 0; i < opt.results(); i++) {
            std::memcpy(p, words[i].data(), words[i].size());
            p += words[i].size();
            *p++ = i + 1 < opt.results() ? opt.joiner() : '\n';
        }
        out.commit(p);
    }

    void put_nan(const char *line, size_t n)
    {
        static constexpr std::string_view nans[3] = {"nan", "nan", "nan"};
        put_words(line, n, nans);
    }

    // The names of the results, in place of a header line or after it.
    void put_header(const char *line, size_t n)
    {
        static constexpr std::string_view names[3][3] = {
            {"dist", "az", "baz"}, {"midlat", "midlon", ""}, {"lat", "lon", ""}};
        put_words(line, n, names[static_cast<int>(opt.mode)]);
    }

    // Fields to numbers: the ones the options want, in the order wanted.
    // Returns nullptr, or why the line is bad.
    const char *take(char *line, size_t n, double v[4])
    {
        static char reason[80];
        // Locals, not members: every store through a char pointer below
        // could alias a member and force it to be read again.
        const int last = last_;
        const signed char *slot = slot_.data();
        const int nslot = static_cast<int>(slot_.size());
        const bool on_sep = opt.sep != 0;
        int bad_field = 0;  // the first wanted field that is not a number
        bool bad_empty = false;
        auto take = [&](int k, const char *start, const char *stop) {
            int i = k < nslot ? slot[k] : -1;
            if (i < 0)
                return;
            bool ok = on_sep ? field_number(start, stop, &v[i]) : number::read(start, stop, &v[i]);
            if (!ok && !bad_field) {
                bad_field = k;
                bad_empty = start == stop;
            }
        };
        int count = on_sep ? split_on(line, line + n, opt.sep, take)
                           : split_blanks(line, line + n, take);
        if (count < 0 && (-count <= last || !opt.listed)) {
            std::snprintf(reason, sizeof reason, "field %d has an unterminated quote", -count);
            return reason;
        }
        if (!opt.listed && count != opt.want) {
            std::snprintf(reason, sizeof reason, "expected %d fields, found %d", opt.want, count);
            return reason;
        }
        if (opt.listed && count >= 0 && count < last) {
            std::snprintf(reason, sizeof reason, "expected at least %d fields, found %d", last, count);
            return reason;
        }
        if (bad_field) {
            std::snprintf(reason, sizeof reason,
                          bad_empty ? "field %d is empty" : "field %d is not a number", bad_field);
            return reason;
        }
        // A field named twice in -f fills every slot that names it.
        if (repeats_)
            for (int i = 0; i < opt.want; i++)
                v[i] = v[static_cast<int>(slot[opt.field[i]])];
        return nullptr;
    }

    // Numbers to results, through the float functions (the programs' bits)
    // or with -p the double ones.  Returns nullptr, or why the line is bad.
    const char *compute(const double c[4], double r[3])
    {
        int rc;
        if (opt.prec < 0) {
            float f[4], fr[3];
            for (int i = 0; i < 4; i++)
                f[i] = static_cast<float>(c[i]);  // as the programs round atof's double
            rc = opt.mode == Mode::dist ? ostrem(f[0], f[1], f[2], f[3], &fr[0], &fr[1], &fr[2])
                 : opt.mode == Mode::mid ? midpoint(f[0], f[1], f[2], f[3], &fr[0], &fr[1])
                                         : walk(f[0], f[1], f[2], f[3], &fr[0], &fr[1]);
            for (int i = 0; i < opt.results(); i++)
                r[i] = fr[i];
        } else {
            rc = opt.mode == Mode::dist ? ostremd(c[0], c[1], c[2], c[3], &r[0], &r[1], &r[2])
                 : opt.mode == Mode::mid ? midpointd(c[0], c[1], c[2], c[3], &r[0], &r[1])
                                         : walkd(c[0], c[1], c[2], c[3], &r[0], &r[1]);
        }
        if (rc == 0)
            return nullptr;
        if (opt.mode == Mode::walk) {
            // The values as the module saw them: rounded to float or not.
            double az = opt.prec < 0 ? static_cast<float>(c[2]) : c[2];
            double del = opt.prec < 0 ? static_cast<float>(c[3]) : c[3];
            if (az < -360.0 || az > 360.0)
                return "azimuth out of range";
            if (del < 0.0 || del > 180.0)
                return "distance out of range";
        }
        return "coordinate out of range";
    }

    // One line, its line ending already cut off; line[n] may be written.
    void line(char *line, size_t n, const char *name, unsigned long lineno)
    {
        size_t body = n > 0 && line[n - 1] == '\r' ? n - 1 : n;  // CRLF
        if (opt.header && lineno == 1) {
            put_header(line, body);
            return;
        }
        size_t k = 0;
        while (k < n && blank(line[k]))
            k++;
        if (k >= body || line[k] == '#') {
            out.put(line, n);  // blank or comment: copied as it came
            out.put("\n", 1);
            return;
        }
        line[body] = '\0';

        // The numbers go where the fixed end leaves room: after -e's
        // point, before -s's.
        double c[4], r[3];
        const int from = opt.fixed == 'e' ? 2 : 0;
        const char *reason = take(line, body, c + from);
        if (!reason) {
            if (opt.fixed) {
                int at = opt.fixed == 'e' ? 0 : 2;
                c[at] = opt.fix[0];
                c[at + 1] = opt.fix[1];
            }
            reason = compute(c, r);
        }
        if (reason) {
            bad(name, lineno, reason);
            put_nan(line, body);
            return;
        }
        put_line(line, body);
        const int nres = opt.results(), prec = opt.prec;
        const char join = opt.joiner();
        char *p = out.room(3 * 64);  // the longest "%.2f" float is 43 bytes; results are < 1e9
        for (int i = 0; i < nres; i++) {
            p = prec < 0 ? put_value(p, static_cast<float>(r[i])) : put_fixed(p, r[i], prec);
            *p++ = join;
        }
        p[-1] = '\n';
        out.commit(p);
    }

    // Every line of one open file.  Output is flushed before each read, so
    // that a pipe or a terminal on the other end sees results as soon as
    // their input was read, and a write error ends the run early.
    void stream(int fd, const char *name)
    {
        static char buf[1 << 18];  // holds any line up to max_line, and its NUL
        static_assert(sizeof buf > 2 * max_line + 1, "read buffer too small");
        size_t have = 0;         // bytes in buf
        bool skipping = false;   // inside an overlong line, its start dropped
        unsigned long lineno = 0;
        bool eof = false;
        while (!eof) {
            if (!out.flush())
                return;
            ssize_t got = read(fd, buf + have, sizeof buf - 1 - have);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                std::fprintf(msgs, "ostrem: %s: %s\n", name, std::strerror(errno));
                trouble = true;
                return;
            }
            eof = got == 0;
            have += static_cast<size_t>(got);
            char *p = buf;
            char *end = buf + have;
            for (;;) {
                char *nl = static_cast<char *>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
                if (!nl && !(eof && (p < end || skipping)))
                    break;
                char *stop = nl ? nl : end;  // the last line may lack its newline
                size_t n = static_cast<size_t>(stop - p);
                lineno++;
                if (skipping || n > max_line) {
                    skipping = false;
                    bad(name, lineno, "line longer than 65536 bytes");
                    put_nan(nullptr, 0);
                } else {
                    line(p, n, name, lineno);
                }
                p = nl ? nl + 1 : end;
                if (!out.ok())
                    return;
            }
            // An unfinished line: kept for the next read while it may still
            // be short enough; past the limit it is dropped as it comes.
            size_t rest = static_cast<size_t>(end - p);
            if (skipping || rest > max_line) {
                skipping = true;
                have = 0;
            } else {
                std::memmove(buf, p, rest);
                have = rest;
            }
        }
    }

    void file(const char *name)
    {
        if (std::strcmp(name, "-") == 0) {
            stream(0, name);
            return;
        }
        int fd = open(name, O_RDONLY | O_CLOEXEC | O_BINARY);
#ifdef _WIN32
        // Windows refuses to open a folder as a file; say what it is, as
        // reading one says elsewhere.
        struct _stat st;
        if (fd < 0 && errno == EACCES && _stat(name, &st) == 0 && (st.st_mode & _S_IFDIR))
            errno = EISDIR;
#endif
        if (fd < 0) {
            std::fprintf(msgs, "ostrem: %s: %s\n", name, std::strerror(errno));
            trouble = true;
            return;
        }
        stream(fd, name);
        close(fd);
    }
};

const char usage[] =
    "Usage: ostrem [-m | -w] [-e LAT,LON | -s LAT,LON] [-f LIST] [-a] [-d C] [-H] [-p N] [file ...]\n";

const char help[] =
    "Distance, azimuth and back-azimuth for each earthquake-station pair, one\n"
    "pair a line (eqlat eqlon stlat stlon); the results of sorvane, bit for bit.\n"
    "\n"
    "  -m          midpoints instead (midlat midlon), as brovic prints them\n"
    "  -w          the point reached: lines hold lat lon az dist; prints lat lon\n"
    "  -e LAT,LON  the earthquake (the start for -w) is fixed; lines hold the rest\n"
    "  -s LAT,LON  the station is fixed; lines hold eqlat eqlon\n"
    "  -f LIST     the fields that hold the numbers, in order (3,4 or 3-6)\n"
    "  -a          each input line, then its results\n"
    "  -d C        fields are separated by exactly C ('|', ',', ';', '\\t');\n"
    "              with it, a field that begins with '\"' is quoted as in CSV\n"
    "  -H          the first line of each file is a header\n"
    "  -p N        double precision, N decimals (0 to 9)\n"
    "  -h, --help  this help;  --version  the version\n"
    "\n"
    "Files are read in order; none, or -, is standard input. Status: 0 every\n"
    "line good, 1 some line bad (each gives a line of nan), 2 trouble.\n";

// A -f list as cut writes it: numbers and ranges, separated by commas.
bool field_list(const char *s, Options &o, int *count)
{
    int n = 0;
    for (const char *p = s;;) {
        char *end;
        long a = std::strtol(p, &end, 10);
        if (end == p || a < 1 || a > 1000000)
            return false;
        long b = a;
        if (*end == '-') {
            p = end + 1;
            b = std::strtol(p, &end, 10);
            if (end == p || b < a || b > 1000000)
                return false;
        }
        for (long k = a; k <= b; k++, n++)
            if (n < 4)
                o.field[n] = static_cast<int>(k);
        if (*end == '\0')
            break;
        if (*end != ',')
            return false;
        p = end + 1;
    }
    *count = n;
    return true;
}

// "LAT,LON": two numbers, in range as the module will see them (after the
// rounding to float unless -p).
bool fixed_point(const char *s, const Options &o, double fix[2])
{
    const char *comma = std::strchr(s, ',');
    if (!comma || std::strchr(comma + 1, ','))
        return false;
    std::string lat(s, comma);
    if (!number::read_arg(lat.c_str(), &fix[0]) || !number::read_arg(comma + 1, &fix[1]))
        return false;
    double a = o.prec < 0 ? static_cast<float>(fix[0]) : fix[0];
    double b = o.prec < 0 ? static_cast<float>(fix[1]) : fix[1];
    return !(a < -90.0 || a > 90.0 || b < -180.0 || b > 540.0 || std::isnan(a) || std::isnan(b));
}

// Reads the options into o; returns 0 to go on, or the status to end with
// (after the usage error's message, or the help or version).
int options(int argc, char **argv, Options &o)
{
    static const option longs[] = {{"help", no_argument, nullptr, 'h'},
                                   {"version", no_argument, nullptr, 'V'},
                                   {nullptr, 0, nullptr, 0}};
    const char *fixed_arg = nullptr, *list_arg = nullptr;
    char fixed_opt = 0;
    bool mid = false, walk_ = false;
    opterr = 0;  // the messages below, in this program's words
    auto fail = [](const char *fmt, const char *what) {
        std::fputs("ostrem: ", stderr);
        std::fprintf(stderr, fmt, what);
        std::fputs("\n", stderr);
        std::fputs(usage, stderr);
        return 2;
    };
    for (int c; (c = getopt_long(argc, argv, "+:mwe:s:f:ad:Hp:h", longs, nullptr)) != -1;) {
        switch (c) {
        case 'm': mid = true; break;
        case 'w': walk_ = true; break;
        case 'e':
        case 's':
            if (fixed_opt && fixed_opt != c)
                return fail("%s", "-e and -s cannot be used together");
            fixed_opt = static_cast<char>(c);
            fixed_arg = optarg;
            break;
        case 'f': list_arg = optarg; break;
        case 'a': o.append = true; break;
        case 'd':
            if (std::strcmp(optarg, "\\t") == 0)
                o.sep = '\t';
            else if (std::strlen(optarg) == 1)
                o.sep = optarg[0];
            else
                return fail("-d takes one character (or \\t), not '%s'", optarg);
            break;
        case 'H': o.header = true; break;
        case 'p':
            if (optarg[0] < '0' || optarg[0] > '9' || optarg[1] != '\0')
                return fail("-p takes a number of decimals from 0 to 9, not '%s'", optarg);
            o.prec = optarg[0] - '0';
            break;
        case 'h': std::fputs(usage, stdout); std::fputs(help, stdout); return -1;
        case 'V': std::puts("ostrem " OSTREM_VERSION); return -1;
        case ':': {
            char opt[3] = {'-', static_cast<char>(optopt), '\0'};
            return fail("option %s needs a value", opt);
        }
        default:
            if (optopt) {
                char opt[3] = {'-', static_cast<char>(optopt), '\0'};
                return fail("unknown option %s", opt);
            }
            return fail("unknown option %s", argv[optind - 1]);
        }
    }
    if (mid && walk_)
        return fail("%s", "-m and -w cannot be used together");
    if (fixed_opt == 's' && walk_)
        return fail("%s", "-s cannot be used with -w (-e fixes the start)");
    o.mode = walk_ ? Mode::walk : mid ? Mode::mid : Mode::dist;
    o.fixed = fixed_opt;
    o.want = fixed_opt ? 2 : 4;
    if (fixed_arg && !fixed_point(fixed_arg, o, o.fix))
        return fail(fixed_opt == 'e' ? "-e takes LAT,LON, two numbers in range, not '%s'"
                                     : "-s takes LAT,LON, two numbers in range, not '%s'",
                    fixed_arg);
    if (list_arg) {
        int count = 0;
        if (!field_list(list_arg, o, &count))
            return fail("-f takes field numbers from 1, as 3,4 or 3-6, not '%s'", list_arg);
        if (count != o.want) {
            char need[64];
            std::snprintf(need, sizeof need, "-f must name %d fields, not %d", o.want, count);
            return fail("%s", need);
        }
        o.listed = true;
    }
    return 0;
}

}  // namespace

#ifndef OSTREM_FILTER_NO_MAIN
int main(int argc, char **argv)
{
    binary_standard_streams();
    static Options opt;
    if (int status = options(argc, argv, opt))
        return status < 0 ? 0 : status;
    static Out out(1);
    Filter f{opt, out, stderr};
    int i = optind;
    if (i == argc)
        f.file("-");
    for (; i < argc && out.ok(); i++)
        f.file(argv[i]);
    if (unsigned long n = f.unreported())
        std::fprintf(stderr, "ostrem: %lu more bad lines not reported\n", n);
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
        std::fprintf(stderr, "ostrem: write error: %s\n", std::strerror(out.error()));
        return 2;
    }
    return f.trouble ? 2 : f.bad_lines ? 1 : 0;
}
#endif
