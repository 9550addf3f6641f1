#include "reader.h"

#include <cerrno>
#include <cstring>

#include "system.h"

namespace filter {

namespace {

// Can a read of fd return at once, now or within ms milliseconds?  Not
// when a pipe or a terminal waits for its writer: then the results of what
// was read are written first.
bool ready(int fd, int ms = 0)
{
#ifdef _WIN32
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    for (int tries = 0;; tries++) {
        bool yes;
        switch (GetFileType(h)) {
        case FILE_TYPE_DISK:
            return true;
        case FILE_TYPE_PIPE: {
            DWORD avail = 0;
            // A broken pipe (its writer gone) reads at once too: its end.
            yes = !PeekNamedPipe(h, nullptr, 0, nullptr, &avail, nullptr) || avail > 0;
            break;
        }
        default:
            yes = false;
        }
        if (yes || tries > 0 || ms == 0)
            return yes;
        Sleep(static_cast<DWORD>(ms));
    }
#else
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, ms) > 0;
#endif
}

constexpr size_t raw_block = 1 << 16;  // bytes of XML parsed at a time
constexpr long no_bytes_yet = -2;

// The last '\n' in [p, p + n), or nullptr.
char *last_newline(char *p, size_t n)
{
    while (n > 0)
        if (p[--n] == '\n')
            return p + n;
    return nullptr;
}

}  // namespace

Reader::Reader(int fd, size_t block, size_t limit)
    : fd_(fd), block_(block), limit_(limit), carry_(new char[limit + 1])
{
}

void Reader::begin_with(const std::string &read_before)
{
    carried_ = read_before.size() < limit_ + 1 ? read_before.size() : limit_ + 1;
    std::memcpy(carry_.get(), read_before.data(), carried_);
}

void Reader::through_xml(bool header, files::Kind want, const files::Magnitudes &magnitudes)
{
    xml_.reset(new files::XmlText(header, 100, want));
    xml_->choose(magnitudes);
    raw_.reset(new char[raw_block]);
    if (!xml_->feed(carry_.get(), carried_, false, text_))
        xml_done_ = true;
    carried_ = 0;
}

bool Reader::ready_now() const
{
    return xml_ ? text_at_ < text_.size() || xml_done_ || ready(fd_) : ready(fd_);
}

// The next bytes into [to, to + n): the file's own, or the XML's text,
// which a block of the file is parsed into when none is left.  0 at the
// end, -1 (errno set) on a read's error, no_bytes_yet when a block of XML
// gave no line.
long Reader::pull(char *to, size_t n)
{
    if (!xml_)
        return static_cast<long>(read(fd_, to, static_cast<unsigned>(n)));
    if (text_at_ == text_.size()) {
        text_.clear();
        text_at_ = 0;
        if (xml_done_)
            return 0;
        auto got = read(fd_, raw_.get(), static_cast<unsigned>(raw_block));
        if (got < 0)
            return -1;
        if (!xml_->feed(raw_.get(), static_cast<size_t>(got), got == 0, text_) || got == 0)
            xml_done_ = true;
        if (text_.empty())
            return xml_done_ ? 0 : no_bytes_yet;
    }
    const size_t k = n < text_.size() - text_at_ ? n : text_.size() - text_at_;
    std::memcpy(to, text_.data() + text_at_, k);
    text_at_ += k;
    return static_cast<long>(k);
}

// Blocks as full as the input allows without waiting: when a read would
// wait, what was read is handed over.  A line's unfinished end is carried
// to the next block while it may still be short enough; past the limit it
// is dropped as it comes, and the block after it begins with its report.
Reader::Got Reader::fill(Input &b, Hooks &hooks, size_t target)
{
    std::memcpy(b.in.get(), carry_.get(), carried_);
    size_t have = carried_;
    // At least target bytes after the carried line's start, so that every
    // fill makes progress through a long line.
    const size_t want = target < block_ - have ? have + (target ? target : 1) : block_;
    carried_ = 0;
    b.overlong_first = false;
    b.last = false;
    if (Got got = read_into(b, have, want, hooks); got != Got::block)
        return got;
    if (eof_) {
        b.last = true;  // what is left is a last line without its newline
        b.overlong_first = b.overlong_first || skipping_;
        skipping_ = false;
        b.size = have;
    } else {
        cut(b, have);
    }
    return Got::block;
}

// Reads into b after the have bytes it holds, until it is full, the file
// ends, or a read would wait after something came.  Before a read that
// may wait, the caller's finished results are written as they come (so a
// terminal sees each at once), and a source that only paused (a pipe from
// a busy writer) is read again as soon as it has more.
Reader::Got Reader::read_into(Input &b, size_t &have, size_t want, Hooks &hooks)
{
    // A whole line already in hand (what was read before the stream, to
    // tell the input's kind) is handed over without waiting for more.
    bool got_any = have > 0 && std::memchr(b.in.get(), '\n', have) != nullptr;
    while (have < want && !eof_) {
        bool waiting = !ready_now();
        if (got_any && waiting)
            break;
        while (waiting && hooks.idle())
            waiting = !ready(fd_, 1);
        if (!hooks.before_read())
            return Got::stopped;
        auto got = pull(b.in.get() + have, want - have);
        if (got == no_bytes_yet)
            continue;
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            err_ = errno;
            return Got::error;
        }
        eof_ = got == 0;
        got_any = got > 0;
        size_t from = have;
        have += static_cast<size_t>(got);
        if (skipping_ && got > 0) {
            // Still inside a line too long to keep: drop it up to its end.
            char *nl = static_cast<char *>(std::memchr(b.in.get() + from, '\n', have - from));
            if (!nl) {
                have = from;
                continue;
            }
            skipping_ = false;
            b.overlong_first = true;
            size_t rest = static_cast<size_t>(b.in.get() + have - (nl + 1));
            std::memmove(b.in.get() + from, nl + 1, rest);
            have = from + rest;
        }
    }
    return Got::block;
}

// The block ends after its last newline; the rest is carried, or, when it
// is already longer than the limit, skipped up to its end.
void Reader::cut(Input &b, size_t have)
{
    char *nl = last_newline(b.in.get(), have);
    size_t whole = nl ? static_cast<size_t>(nl + 1 - b.in.get()) : 0;
    size_t rest = have - whole;
    if (rest > limit_)
        skipping_ = true;
    else
        std::memcpy(carry_.get(), b.in.get() + whole, rest);
    carried_ = skipping_ ? 0 : rest;
    b.size = whole;
}

}  // namespace filter
