#include "stream.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>  // read, write, open, close
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

#ifndef O_CLOEXEC
#define O_CLOEXEC 0  // Windows: no exec to guard against
#endif
#ifndef O_BINARY
#define O_BINARY 0  // POSIX: every file is binary
#endif

namespace filter {

bool Out::flush()
{
    const char *p = buf_.data();
    size_t len = buf_.size();
    while (len > 0 && ok_) {
        auto w = write(fd_, p, static_cast<unsigned>(len));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0) {
            ok_ = false;
            err_ = w < 0 ? errno : EIO;
            break;
        }
        p += w;
        len -= static_cast<size_t>(w);
    }
    buf_.clear();
    return ok_;
}

// A bad line: the message (the first max_messages of a run), and a status
// of 1 at the end.
void Stream::bad(const char *name, unsigned long lineno, const char *reason)
{
    if (++reported_ <= max_messages)
        std::fprintf(msgs_, "ostrem: %s:%lu: %s\n", name, lineno, reason);
}

// Output is flushed before each read, so that a pipe or a terminal on the
// other end sees results as soon as their input was read, and a write
// error ends the run early.
void Stream::stream(int fd, const char *name)
{
    static char buf[1 << 18];  // holds any line up to max_line, and its NUL
    static_assert(sizeof buf > 2 * max_line + 1, "read buffer too small");
    const bool header = rec_.options().header;
    Bytes &out = out_.bytes();
    Reason why;
    size_t have = 0;        // bytes in buf
    bool skipping = false;  // inside an overlong line, its start dropped
    unsigned long lineno = 0;
    bool eof = false;
    while (!eof) {
        if (!out_.flush())
            return;
        auto got = read(fd, buf + have, static_cast<unsigned>(sizeof buf - 1 - have));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(msgs_, "ostrem: %s: %s\n", name, std::strerror(errno));
            trouble_ = true;
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
                rec_.overlong(out, why);
                bad(name, lineno, why.text);
            } else if (!rec_.line(p, n, header && lineno == 1, out, why)) {
                bad(name, lineno, why.text);
            }
            p = nl ? nl + 1 : end;
            out_.maybe_flush();
            if (!out_.ok())
                return;
        }
        // An unfinished line: kept for the next read while it may still be
        // short enough; past the limit it is dropped as it comes.
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

void Stream::file(const char *name)
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
        std::fprintf(msgs_, "ostrem: %s: %s\n", name, std::strerror(errno));
        trouble_ = true;
        return;
    }
    stream(fd, name);
    close(fd);
}

}  // namespace filter
