// ostrem -- a filter: one earthquake-station pair per input line in, the
// line sorvane (or, with -m, brovic) would print for it out.
//
// The results must be the programs' own bits and digits: each field is read
// as strtod reads it and rounded to float as atof's result is, the same
// module function is called, and each value is written exactly as printf's
// "%.2f" writes it.
//
// Throughput comes from doing no per-line work twice: lines are parsed in
// place in a large read buffer, results are formatted into a large write
// buffer, and nothing per line allocates.  Memory is bounded whatever the
// input: a line longer than the limit is read through, not stored.
//
// Status: 0 every line good, 1 some line bad, 2 trouble (usage, unreadable
// file, write error).  No setlocale: strtod reads '.' as the decimal point
// and the output writes it, in every locale.

#include <cctype>
#include <cerrno>
#include <cmath>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "ostrem.h"

namespace {

constexpr size_t max_line = 65536;  // bytes, without the line ending

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

// One field as strtod reads it in the C locale, or false when strtod would
// not consume all of it.  from_chars gives the same correctly rounded double
// for plain decimals much faster; what it does not take whole (a leading
// '+', hexadecimal, a value beyond double range) or gives as NaN (whose
// sign bit strtod decides) goes to strtod.
bool number(const char *start, const char *stop, double *v)
{
    std::from_chars_result r = std::from_chars(start, stop, *v);
    if (r.ec == std::errc() && r.ptr == stop && !std::isnan(*v))
        return true;
    // strtod would skip leading white space such as \v or \r; here a field
    // begins with what it is.  It stops at any separator, so it is called
    // in place.
    if (start == stop || std::isspace(static_cast<unsigned char>(*start)))
        return false;
    char *end;
    *v = std::strtod(start, &end);
    return end == stop;
}

// Splits a line (without its line ending, NUL-terminated at line[n]) into
// fields separated by blanks, tabs and/or one comma, and reads each as a
// number.  Returns nullptr and the values, or the reason the line is bad.
const char *parse(char *line, size_t n, double v[4])
{
    const char *p = line;
    const char *end = line + n;
    int fields = 0;
    int bad_index = 0;  // the first field that is not a number, from 1
    bool bad_empty = false;
    while (blank(*p))
        p++;
    for (;;) {
        const char *start = p;
        while (p < end && !blank(*p) && *p != ',')
            p++;
        const char *stop = p;
        fields++;
        if (fields <= 4 && bad_index == 0 && !number(start, stop, &v[fields - 1])) {
            bad_empty = start == stop;
            bad_index = fields;
        }
        while (blank(*p))
            p++;
        if (p < end && *p == ',') {
            p++;
            while (blank(*p))
                p++;
            continue;  // a field follows, if only an empty one
        }
        if (p >= end)
            break;
    }
    static char reason[64];
    if (fields != 4) {
        std::snprintf(reason, sizeof reason, "expected 4 fields, found %d", fields);
        return reason;
    }
    if (bad_index != 0) {
        std::snprintf(reason, sizeof reason, bad_empty ? "field %d is empty"
                                                       : "field %d is not a number",
                      bad_index);
        return reason;
    }
    return nullptr;
}

struct Filter {
    bool mid = false;      // -m: midpoints instead of distances
    bool bad = false;      // some line was bad
    bool trouble = false;  // a file could not be read
    Out &out;
    FILE *msgs;

    void report(const char *name, unsigned long lineno, const char *reason)
    {
        bad = true;
        std::fprintf(msgs, "ostrem: %s:%lu: %s\n", name, lineno, reason);
        out.put(mid ? "nan nan\n" : "nan nan nan\n", mid ? 8 : 12);
    }

    // One line, its line ending already cut off; line[n] may be written.
    void line(char *line, size_t n, const char *name, unsigned long lineno)
    {
        size_t k = 0;
        while (k < n && blank(line[k]))
            k++;
        size_t body = n > 0 && line[n - 1] == '\r' ? n - 1 : n;  // CRLF
        if (k >= body || line[k] == '#') {
            out.put(line, n);  // blank or comment: copied as it came
            out.put("\n", 1);
            return;
        }
        line[body] = '\0';
        double v[4];
        if (const char *reason = parse(line, body, v)) {
            report(name, lineno, reason);
            return;
        }
        // Rounded to float as the programs round atof's double.
        float c[4];
        for (int i = 0; i < 4; i++)
            c[i] = static_cast<float>(v[i]);
        float r[3];
        int rc = mid ? midpoint(c[0], c[1], c[2], c[3], &r[0], &r[1])
                     : ostrem(c[0], c[1], c[2], c[3], &r[0], &r[1], &r[2]);
        if (rc != 0) {
            report(name, lineno, "coordinate out of range");
            return;
        }
        char *p = out.room(3 * 64);  // the longest float "%.2f" is 43 bytes
        int count = mid ? 2 : 3;
        for (int i = 0; i < count; i++) {
            p = put_value(p, r[i]);
            *p++ = i + 1 < count ? ' ' : '\n';
        }
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
                    report(name, lineno, "line longer than 65536 bytes");
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
        int fd = open(name, O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            std::fprintf(msgs, "ostrem: %s: %s\n", name, std::strerror(errno));
            trouble = true;
            return;
        }
        stream(fd, name);
        close(fd);
    }
};

}  // namespace

#ifndef OSTREM_FILTER_NO_MAIN
int main(int argc, char **argv)
{
    static Out out(1);
    Filter f{false, false, false, out, stderr};
    int i = 1;
    for (; i < argc && argv[i][0] == '-' && argv[i][1] != '\0'; i++) {
        if (std::strcmp(argv[i], "--") == 0) {
            i++;
            break;
        }
        if (std::strcmp(argv[i], "-m") != 0) {
            std::fprintf(stderr, "ostrem: unknown option %s\nUsage: ostrem [-m] [file ...]\n",
                         argv[i]);
            return 2;
        }
        f.mid = true;
    }
    if (i == argc)
        f.file("-");
    for (; i < argc && out.ok(); i++)
        f.file(argv[i]);
    if (!out.flush()) {
        // A reader that went away ends a filter quietly, as SIGPIPE would
        // have if it had not been ignored.
        if (out.error() == EPIPE) {
            std::signal(SIGPIPE, SIG_DFL);
            std::raise(SIGPIPE);
        }
        std::fprintf(stderr, "ostrem: write error: %s\n", std::strerror(out.error()));
        return 2;
    }
    return f.trouble ? 2 : f.bad ? 1 : 0;
}
#endif
