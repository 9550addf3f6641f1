// Feeds arbitrary bytes to the filter as a stream, through the same reading,
// parsing and formatting code as the program, and aborts when a promise
// breaks: one output line for every input line, each a copy of a blank or
// comment line, a result line in the "%.2f" format with values in their
// ranges, or a line of nan fields.  It also holds the number formatting to
// printf's for any float.
#include <sys/mman.h>

#include <cstdint>
#include <string>
#include <vector>

#define OSTREM_FILTER_NO_MAIN
#include "../commands/ostrem.cpp"

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

// "nan", "-nan" or a number with exactly two decimals within [lo, hi].
bool value_ok(const std::string &v, double lo, double hi)
{
    if (v == "nan" || v == "-nan")
        return true;
    size_t dot = v.find('.');
    if (dot == std::string::npos || dot + 3 != v.size() || dot == 0)
        return false;
    char *end;
    double d = std::strtod(v.c_str(), &end);
    return *end == '\0' && d >= lo && d <= hi;
}

// Distance, azimuth, back-azimuth; or midpoint latitude, longitude.
bool result_ok(const std::string &line, bool mid)
{
    static const double ranges[2][3][2] = {{{0, 180}, {-0.0, 360}, {-0.0, 360}},
                                           {{-90, 90}, {0, 360}, {0, 0}}};
    std::vector<std::string> v;
    for (size_t i = 0, j = 0; j != std::string::npos; i = j + 1) {
        j = line.find(' ', i);
        v.push_back(line.substr(i, j == std::string::npos ? j : j - i));
    }
    if (v.size() != (mid ? 2u : 3u))
        return false;
    for (size_t k = 0; k < v.size(); k++)
        if (!value_ok(v[k], ranges[mid][k][0], ranges[mid][k][1]))
            return false;
    return true;
}

std::string read_all(int fd)
{
    std::string s;
    lseek(fd, 0, SEEK_SET);
    char buf[1 << 16];
    for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;)
        s.append(buf, static_cast<size_t>(n));
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static FILE *devnull = std::fopen("/dev/null", "w");
    if (size < 1)
        return 0;
    const bool mid = data[0] & 1;

    // The first four bytes after it, as a float, are written as printf
    // writes them, whatever the value.
    if (size >= 5) {
        float f;
        std::memcpy(&f, data + 1, sizeof f);
        char want[64], got[64];
        std::snprintf(want, sizeof want, "%.2f", static_cast<double>(f));
        *put_value(got, f) = '\0';
        check(std::strcmp(want, got) == 0);
    }
    std::string in(reinterpret_cast<const char *>(data + 1), size - 1);

    int infd = memfd_create("in", 0), outfd = memfd_create("out", 0);
    check(infd >= 0 && outfd >= 0);
    check(write(infd, in.data(), in.size()) == static_cast<ssize_t>(in.size()));
    lseek(infd, 0, SEEK_SET);
    {
        Out *out = new Out(outfd);
        Filter f{mid, false, false, *out, devnull};
        f.stream(infd, "fuzz");
        check(out->flush() && !f.trouble);
        delete out;
    }
    std::string got = read_all(outfd);
    close(infd);
    close(outfd);

    // Line by line: input line k gives output line k.
    size_t ip = 0, op = 0;
    while (ip < in.size()) {
        size_t ie = in.find('\n', ip), oe = got.find('\n', op);
        if (ie == std::string::npos)
            ie = in.size();
        check(oe != std::string::npos);
        std::string iline = in.substr(ip, ie - ip), oline = got.substr(op, oe - op);
        size_t k = iline.find_first_not_of(" \t");
        bool copied = k == std::string::npos || iline[k] == '#' ||
                      (k + 1 == iline.size() && iline[k] == '\r');
        if (copied && iline.size() <= max_line)
            check(oline == iline);
        else
            check(result_ok(oline, mid));
        ip = ie + 1;
        op = oe + 1;
    }
    check(op == got.size());
    return 0;
}
