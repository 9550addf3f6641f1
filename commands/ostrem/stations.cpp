#include "stations.h"

#include <cerrno>
#include <cstring>

#include "fields.h"
#include "system.h"

namespace filter {

namespace {

// The whole of a file ("-": standard input) into text; 0 or errno.
int read_all(const char *name, std::string &text)
{
    const bool standard = std::strcmp(name, "-") == 0;
    int fd = standard ? 0 : open(name, O_RDONLY | O_CLOEXEC | O_BINARY);
    if (fd < 0)
        return errno;
    int err = 0;
    char buf[1 << 16];
    for (;;) {
        auto got = ::read(fd, buf, sizeof buf);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            err = got < 0 ? errno : 0;
            break;
        }
        text.append(buf, static_cast<size_t>(got));
    }
    if (!standard)
        close(fd);
    return err;
}

}  // namespace

// One line of the file: blank and comment lines are passed over, a good
// station kept, a bad one noted.
void StationTable::take(char *line, size_t n, const Record &reader, unsigned long lineno)
{
    size_t k = 0;
    while (k < n && blank(line[k]))
        k++;
    if (k >= n || line[k] == '#')
        return;
    Bad b{lineno, {}};
    double c[pair_numbers] = {};
    bool good;
    if (n > max_line) {
        reader.overlong_reason(b.why);
        good = false;
    } else {
        good = reader.point(line, n, c, b.why);
    }
    if (!good) {
        if (bad_.size() < max_messages)
            bad_.push_back(b);
        bad_count_++;
        return;
    }
    start_.push_back(static_cast<size_t>(line - text_.data()));
    length_.push_back(static_cast<uint32_t>(n));
    lat_.push_back(c[stlat]);
    lon_.push_back(c[stlon]);
}

int StationTable::load(const char *name, const Record &reader)
{
    if (int err = read_all(name, text_))
        return err;
    const Options &o = reader.options();
    // Room for a NUL after the last line and the bytes a line's reading
    // may look past its end.
    const size_t size = text_.size();
    text_.append(line_slack + 1, '\0');
    char *p = &text_[0], *end = p + size;
    unsigned long lineno = 0;
    while (p < end) {
        char *nl = static_cast<char *>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        char *stop = nl ? nl : end;
        size_t n = static_cast<size_t>(stop - p);
        if (n > 0 && p[n - 1] == '\r')  // CRLF
            n--;
        ++lineno;
        const char after = p[n];
        p[n] = '\0';
        if (lineno == 1 && o.header)
            header_.assign(p, n);
        else
            take(p, n, reader, lineno);
        p[n] = after;
        p = nl ? nl + 1 : end;
    }
    index_.reset(new stations::Index(o.surface == Surface::ellipsoid ? stations::Surface::ellipsoid
                                                                     : stations::Surface::sphere,
                                     o.precision == Precision::float32, lat_.data(), lon_.data(),
                                     lat_.size()));
    return 0;
}

}  // namespace filter
