#include "text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "fdsn_xml.h"
#include "messages.h"
#include "system.h"

namespace filter {

namespace {

constexpr size_t chunk = 1 << 16;

// All of p to standard output; false on a write error (errno set).
bool put(const char *p, size_t n)
{
    while (n > 0) {
        auto done = ::write(1, p, static_cast<unsigned>(n));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        p += done;
        n -= static_cast<size_t>(done);
    }
    return true;
}

struct Outcome {
    int status = 0;
    bool write_failed = false;
};

void one_file(const char *name, Outcome &r)
{
    const bool standard = std::strcmp(name, "-") == 0;
    const char *shown = standard ? "standard input" : name;
    int fd = standard ? 0 : open(name, O_RDONLY | O_CLOEXEC | O_BINARY);
    if (fd < 0) {
        say(stderr, "%s: %s", shown, std::strerror(errno));
        r.status = 2;
        return;
    }
    std::unique_ptr<char[]> buf(new char[chunk]);
    std::unique_ptr<files::XmlText> xml;
    std::string text, head;
    bool text_file = false, ended = false;
    int read_error = 0;
    while (!ended && !r.write_failed) {
        auto got = ::read(fd, buf.get(), static_cast<unsigned>(chunk));
        if (got < 0 && errno == EINTR)
            continue;
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
            if (files::looks_like_xml(head.data(), head.size()))
                xml.reset(new files::XmlText(true));
            else if (files::kind_told(head.data(), head.size()) || ended)
                text_file = true;
            else
                continue;
            p = head.data();
            n = head.size();
        }
        if (text_file) {
            r.write_failed = !put(p, n);
        } else {
            text.clear();
            const bool going = xml->feed(p, n, ended, text);
            r.write_failed = !put(text.data(), text.size());
            if (!going)
                break;
        }
        head.clear();
    }
    if (!standard)
        close(fd);
    if (read_error) {
        say(stderr, "%s: %s", shown, std::strerror(read_error));
        r.status = 2;
    }
    if (!xml || r.write_failed)
        return;
    if (xml->kind() == files::Kind::other) {
        say(stderr, "%s: XML whose root element is <%s>: neither StationXML nor QuakeML", shown,
            xml->root().c_str());
        r.status = 2;
        return;
    }
    for (const files::Problem &p : xml->problems())
        say(stderr, "%s:%lu: %s", shown, p.line, p.what.c_str());
    if (unsigned long more = xml->problem_count() - xml->problems().size())
        say(stderr, "%lu more bad entries of %s not reported", more, shown);
    if (xml->problem_count() && r.status == 0)
        r.status = 1;
}

}  // namespace

int write_text(int count, char **names)
{
    Outcome r;
    if (count == 0)
        one_file("-", r);
    for (int i = 0; i < count && !r.write_failed; i++)
        one_file(names[i], r);
    if (r.write_failed) {
        say(stderr, "write error: %s", std::strerror(errno));
        return 2;
    }
    return r.status;
}

}  // namespace filter
