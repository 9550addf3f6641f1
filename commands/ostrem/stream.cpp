#include "stream.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>  // read, write, open, close
#include <sys/stat.h>
#include <windows.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

#ifndef O_CLOEXEC
#define O_CLOEXEC 0  // Windows: no exec to guard against
#endif
#ifndef O_BINARY
#define O_BINARY 0  // POSIX: every file is binary
#endif

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

// The last '\n' in [p, p + n), or nullptr.
char *last_newline(char *p, size_t n)
{
    while (n > 0)
        if (p[--n] == '\n')
            return p + n;
    return nullptr;
}

}  // namespace

bool Out::flush()
{
    const char *p = buf_.data();
    size_t len = buf_.size();
    while (len > 0 && ok_) {
        auto w = ::write(fd_, p, static_cast<unsigned>(len));
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

Stream::Stream(const Record &rec, Out &out, FILE *msgs, int threads, size_t block, size_t limit)
    : rec_(rec), out_(out), msgs_(msgs), threads_(threads < 1 ? 1 : threads), limit_(limit),
      block_(block < 2 * limit + 2 ? 2 * limit + 2 : block)
{
}

Stream::~Stream() { finish(); }

// A bad line: the message (the first max_messages of a run), and a status
// of 1 at the end.  The run's first message says which separator the line
// seems to use, when it was read without -d.
void Stream::bad(const char *name, unsigned long lineno, const Reason &why)
{
    if (++reported_ > max_messages)
        return;
    std::fprintf(msgs_, "ostrem: %s:%lu: %s", name, lineno, why.text);
    if (reported_ == 1 && why.looks_separated_by == '\t')
        std::fputs(" (fields separated by tabs? use -d '\\t')", msgs_);
    else if (reported_ == 1 && why.looks_separated_by)
        std::fprintf(msgs_, " (fields separated by '%c'? use -d '%c')", why.looks_separated_by,
                     why.looks_separated_by);
    std::fputc('\n', msgs_);
}

// A file that cannot be opened or read: said in its place, after the
// messages of everything read before it, and a status of 2 at the end.
void Stream::unreadable(const char *name, int err)
{
    write_done(true);
    std::fprintf(msgs_, "ostrem: %s: %s\n", name, std::strerror(err));
    trouble_ = true;
}

// Every line of a block, into out: what a worker runs.  Only the block's
// own memory is written.
void Stream::work(Block &b, Bytes &out) const
{
    const bool header = rec_.options().header && b.first_of_file;
    Reason why;
    size_t k = 0;
    b.bad.clear();
    b.bad_count = 0;
    auto note = [&b, &why](size_t line) {
        if (b.bad.size() < max_messages)
            b.bad.push_back({line, why});
        b.bad_count++;
    };
    if (b.overlong_first) {
        rec_.overlong(out, why, limit_);
        note(++k);
    }
    char *p = b.in.get(), *end = p + b.size;
    while (p < end) {
        char *nl = static_cast<char *>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        char *stop = nl ? nl : end;  // the last line may lack its newline
        size_t n = static_cast<size_t>(stop - p);
        ++k;
        if (n > limit_) {
            rec_.overlong(out, why, limit_);
            note(k);
        } else if (!rec_.line(p, n, header && k == 1, out, why)) {
            note(k);
        }
        p = nl ? nl + 1 : end;
    }
    b.lines = k;
}

// A finished block's output and messages, in their place; the block is
// then free again.
void Stream::write(Block &b)
{
    if (b.out.size() > 0) {
        out_.bytes().put(b.out.data(), b.out.size());
        b.out.clear();
    }
    if (b.first_of_file)
        lineno_ = 0;
    for (const Bad &x : b.bad)
        bad(b.name, lineno_ + x.line, x.why);
    reported_ += b.bad_count - b.bad.size();
    lineno_ += b.lines;
    out_.maybe_flush();
    idle_.push_back(&b);
}

// Writes the finished blocks at the head of the order; with wait_all,
// every block handed out, waiting for the workers.
void Stream::write_done(bool wait_all)
{
    for (;;) {
        Block *b;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (order_.empty())
                return;
            b = order_.front();
            if (!b->done) {
                if (!wait_all)
                    return;
                done_.wait(lock, [b] { return b->done; });
            }
            order_.pop_front();
        }
        write(*b);
    }
}

void Stream::worker()
{
    for (;;) {
        Block *b;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            work_.wait(lock, [this] { return stopping_ || !todo_.empty(); });
            if (todo_.empty())
                return;
            b = todo_.front();
            todo_.pop_front();
        }
        work(*b, b->out);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            b->done = true;
        }
        done_.notify_one();
    }
}

void Stream::start()
{
    workers_.reserve(static_cast<size_t>(threads_));
    for (int i = 0; i < threads_; i++)
        workers_.emplace_back(&Stream::worker, this);
}

void Stream::finish()
{
    write_done(true);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    work_.notify_all();
    for (std::thread &t : workers_)
        t.join();
    workers_.clear();
    stopping_ = false;
}

// A block to read into: a free one, a new one while there are fewer than
// two per thread, or else the oldest handed out, once it is written.
Stream::Block *Stream::free_block()
{
    const size_t most = threads_ == 1 ? 1 : 2 * static_cast<size_t>(threads_);
    for (;;) {
        write_done(false);
        if (!idle_.empty()) {
            Block *b = idle_.front();
            idle_.pop_front();
            return b;
        }
        if (blocks_.size() < most) {
            blocks_.push_back(std::make_unique<Block>());
            blocks_.back()->in.reset(new char[block_ + 1]);  // + 1: a last line's NUL
            return blocks_.back().get();
        }
        std::unique_lock<std::mutex> lock(mutex_);
        Block *oldest = order_.front();
        done_.wait(lock, [oldest] { return oldest->done; });
    }
}

// One thread: the block's lines now, into the output.  Several: to the
// workers, once there is more than this one block of work; a file's last
// block with nothing else in hand is done here, so a small input starts
// no thread.
void Stream::dispatch(Block *b)
{
    if (threads_ == 1 || (b->last && order_.empty())) {
        work(*b, out_.bytes());
        write(*b);
        return;
    }
    if (workers_.empty())
        start();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        b->done = false;
        todo_.push_back(b);
        order_.push_back(b);
    }
    work_.notify_one();
    write_done(false);
}

// Blocks of whole lines, each as full as the input allows without
// waiting: when a read would wait (a pipe, a terminal), what was read is
// handed over and its results written as they come.  One thread flushes
// before every read.  A line's unfinished end is carried to the next block
// while it may still be short enough; past the limit it is dropped as it
// comes, and the block after it begins with its report.
void Stream::stream(int fd, const char *name)
{
    std::unique_ptr<char[]> carry(new char[limit_ + 1]);
    size_t carried = 0;
    bool skipping = false, first = true, eof = false;
    while (!eof && out_.ok()) {
        Block *b = free_block();
        std::memcpy(b->in.get(), carry.get(), carried);
        size_t have = carried;
        carried = 0;
        b->name = name;
        b->first_of_file = first;
        b->overlong_first = false;
        b->last = false;
        bool got_any = false;
        while (have < block_) {
            bool waiting = !ready(fd);
            if (got_any && waiting)
                break;
            // Before a read that may wait, the results in the workers'
            // hands are written as they finish, so that a terminal sees
            // each at once; a source that only paused (a pipe from a
            // busy writer) is read again as soon as it has more, without
            // letting the workers run dry.
            while (waiting) {
                write_done(false);
                if (!out_.flush() || order_.empty())
                    break;
                waiting = !ready(fd, 1);
            }
            if (threads_ == 1)
                out_.flush();
            if (!out_.ok())
                break;
            auto got = read(fd, b->in.get() + have, static_cast<unsigned>(block_ - have));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                idle_.push_back(b);
                unreadable(name, errno);
                return;
            }
            if (got == 0) {
                eof = true;
                break;
            }
            got_any = true;
            size_t from = have;
            have += static_cast<size_t>(got);
            if (skipping) {
                // Still inside a line too long to keep: drop it up to its end.
                char *nl = static_cast<char *>(
                    std::memchr(b->in.get() + from, '\n', have - from));
                if (!nl) {
                    have = from;
                    continue;
                }
                skipping = false;
                b->overlong_first = true;
                size_t rest = static_cast<size_t>(b->in.get() + have - (nl + 1));
                std::memmove(b->in.get() + from, nl + 1, rest);
                have = from + rest;
            }
        }
        if (!out_.ok()) {
            idle_.push_back(b);
            return;
        }
        if (eof) {
            b->last = true;  // what is left is a last line without its newline
            b->overlong_first = b->overlong_first || skipping;
            skipping = false;
        } else {
            char *nl = last_newline(b->in.get(), have);
            size_t whole = nl ? static_cast<size_t>(nl + 1 - b->in.get()) : 0;
            size_t rest = have - whole;
            if (rest > limit_)
                skipping = true;
            else
                std::memcpy(carry.get(), b->in.get() + whole, rest);
            carried = skipping ? 0 : rest;
            have = whole;
        }
        b->size = have;
        if (have == 0 && !b->overlong_first && !b->last) {
            idle_.push_back(b);
            continue;
        }
        first = false;
        dispatch(b);
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
        unreadable(name, errno);
        return;
    }
    stream(fd, name);
    close(fd);
}

}  // namespace filter
