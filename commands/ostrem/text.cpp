#include "text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "fdsn_xml.h"
#include "fields.h"
#include "line_numbers.h"
#include "messages.h"
#include "inputs.h"
#include "system.h"

namespace filter {

namespace {

constexpr size_t chunk = 1 << 16;

// All of p to standard output; false on a write error (errno set).
bool put(const char *p, size_t n) { return write_all(1, p, n); }

struct Outcome {
    int status = 0;
    bool write_failed = false;
    std::string header;  // the last '#' header written
};

// One file's text on its way out.  Its first line, where it may be a
// header, waits until it is whole: a '#' header that the last one written
// already gave is left out, so that the text of several files of one kind
// is one table.
class Output {
public:
    explicit Output(Outcome &r) : r_(r) {}
    void put_text(const char *p, size_t n)
    {
        if (!first_done_) {
            const char *nl = static_cast<const char *>(std::memchr(p, '\n', n));
            const size_t k = nl ? static_cast<size_t>(nl - p) + 1 : n;
            first_.append(p, k);
            p += k;
            n -= k;
            if (!nl && !no_header())
                return;
            first_line(nl != nullptr);
        }
        if (n && !r_.write_failed)
            r_.write_failed = !put(p, n);
    }
    // The file ends: a first line without '\n' goes out as it is.
    void end()
    {
        if (!first_done_)
            first_line(true);
    }

private:
    // Is the first line, not yet whole, told to be no header: a byte other
    // than '#' begins it (after a byte-order mark), or it is longer than a
    // line the filter reads?  It then goes out as it comes.
    bool no_header() const
    {
        const size_t at = first_.compare(0, 3, byte_order_mark) == 0 ? 3 : 0;
        return (first_.size() > at && first_[at] != '#') || first_.size() > max_line;
    }
    void first_line(bool whole)
    {
        first_done_ = true;
        if (!whole) {
            r_.write_failed = r_.write_failed || !put(first_.data(), first_.size());
            return;
        }
        std::string line = first_;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        if (line.compare(0, 3, byte_order_mark) == 0)  // a byte-order mark is no part of the header
            line.erase(0, 3);
        if (line.empty() || line[0] != '#') {
            r_.write_failed = r_.write_failed || !put(first_.data(), first_.size());
            return;
        }
        if (line == r_.header)
            return;
        r_.header = line;
        r_.write_failed = r_.write_failed || !put(first_.data(), first_.size());
    }

    Outcome &r_;
    std::string first_;
    bool first_done_ = false;
};

// What the reading of an XML file found: a root of no known kind, or
// its entities' problems.
void say_found(const files::XmlText &xml, const char *shown, Outcome &r)
{
    if (xml.kind() == files::Kind::other) {
        say(stderr, "%s: XML whose root element is <%s>: neither StationXML nor QuakeML", shown,
            xml.root().c_str());
        r.status = 2;
        return;
    }
    for (const files::Problem &p : xml.problems())
        say(stderr, "%s:%lu: %s", shown, p.line, p.what.c_str());
    if (unsigned long more = xml.problem_count() - xml.problems().size())
        say(stderr, "%lu more bad entries of %s not reported", more, shown);
    if (xml.problem_count() && r.status == 0)
        r.status = 1;
}

void one_file(const char *name, const files::Magnitudes &magnitudes, Outcome &r)
{
    const bool standard = std::strcmp(name, "-") == 0;
    const char *shown = standard ? "standard input" : name;
    int fd = open_input(name);
    if (fd < 0) {
        say(stderr, "%s: %s", shown, std::strerror(errno));
        r.status = 2;
        return;
    }
    std::unique_ptr<char[]> buf(new char[chunk]);
    std::unique_ptr<files::XmlText> xml;
    std::string text, head;
    Output output(r);
    bool text_file = false, ended = false;
    int read_error = 0;
    while (!ended && !r.write_failed) {
        long got = read_some(fd, buf.get(), chunk);
        if (got < 0) {
            read_error = errno;
            got = 0;
        }
        ended = got == 0;
        const char *p = buf.get();
        size_t n = static_cast<size_t>(got);
        if (!xml && !text_file) {
            // Told by the first byte that is not white space.
            head.append(p, n);
            if (files::looks_like_xml(head.data(), head.size())) {
                xml.reset(new files::XmlText(true));
                xml->choose(magnitudes);
            } else if (files::kind_told(head.data(), head.size()) || ended)
                text_file = true;
            else
                continue;
            p = head.data();
            n = head.size();
        }
        if (text_file) {
            output.put_text(p, n);
        } else {
            text.clear();
            const bool going = xml->feed(p, n, ended, text);
            output.put_text(text.data(), text.size());
            if (!going)
                break;
        }
        head.clear();
    }
    output.end();
    if (!standard)
        close(fd);
    if (read_error) {
        say(stderr, "%s: %s", shown, std::strerror(read_error));
        r.status = 2;
    }
    if (xml && !r.write_failed)
        say_found(*xml, shown, r);
}

}  // namespace

int write_text(int count, char **names)
{
    Outcome r;
    // A magnitude preference may come before the files.
    files::Magnitudes magnitudes;
    if (count > 0 && (std::strcmp(names[0], "--magnitudes") == 0 ||
                      std::strcmp(names[0], "--magnitudes-first") == 0)) {
        if (count < 2 || !files::magnitude_types(names[1], magnitudes)) {
            say(stderr, "%s takes magnitude types separated by commas (Mw,mb), not '%s'", names[0],
                count < 2 ? "" : names[1]);
            return 2;
        }
        magnitudes.instead = std::strcmp(names[0], "--magnitudes-first") == 0;
        count -= 2;
        names += 2;
    }
    if (count == 0)
        one_file("-", magnitudes, r);
    for (int i = 0; i < count && !r.write_failed; i++)
        one_file(names[i], magnitudes, r);
    if (r.write_failed) {
        say(stderr, "write error: %s", std::strerror(errno));
        return 2;
    }
    return r.status;
}

}  // namespace filter
