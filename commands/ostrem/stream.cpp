#include "stream.h"

#include "fields.h"
#include "messages.h"

#include <cerrno>
#include <cstring>

#include "system.h"

namespace filter {

void Out::send(const char *p, size_t len)
{
    if (ok_ && !write_all(fd_, p, len)) {
        ok_ = false;
        err_ = errno;
    }
}

bool Out::flush()
{
    send(buf_.data(), buf_.size());
    buf_.clear();
    return ok_;
}

bool Out::write(const char *p, size_t len)
{
    flush();
    send(p, len);
    return ok_;
}

Stream::Stream(const Record &rec, Out &out, FILE *msgs, int threads, size_t block, size_t limit)
    : rec_(rec), out_(out), msgs_(msgs), threads_(threads < 1 ? 1 : threads), limit_(limit),
      block_(block < 2 * limit + 2 ? 2 * limit + 2 : block)
{
    // A path's line gives some 20 bytes a step from some 40 of input: the
    // first blocks, before any has told its output, take about
    // hand_on_size of output's worth.
    if (threads_ > 1 && rec_.options().path)
        target_ = 2 * hand_on_size / (static_cast<size_t>(rec_.options().path) + 1) + 1;
}

Stream::~Stream() { finish(); }

// A bad line: the message (the first max_messages of a run), and a status
// of 1 at the end.  The run's first message says which separator the line
// seems to use, when it was read without -d (or, for the station file,
// -D: option names which).
void Stream::bad(const char *name, unsigned long lineno, const Reason &why, char option)
{
    if (++reported_ > max_messages)
        return;
    char hint[64] = "";
    if (reported_ == 1 && why.looks_separated_by == '\t')
        std::snprintf(hint, sizeof hint, " (fields separated by tabs? use -%c '\\t')", option);
    else if (reported_ == 1 && why.looks_separated_by)
        std::snprintf(hint, sizeof hint, " (fields separated by '%c'? use -%c '%c')",
                      why.looks_separated_by, option, why.looks_separated_by);
    say(msgs_, "%s:%lu: %s%s", name, lineno, why.text, hint);
}

// A file that cannot be opened or read: said in its place, after the
// messages of everything read before it, and a status of 2 at the end.
void Stream::unreadable(const char *name, int err)
{
    write_done(true);
    say(msgs_, "%s: %s", name, std::strerror(err));
    trouble_ = true;
}

// A block's output grown past hand_on_size, written now: by this thread
// when it writes the output itself (direct), else by the worker once every
// block before its own is written.  Until then a worker goes on to
// hold_size, so that two threads still work side by side on lines of
// long output; past it, it waits.  Until the block is done no other output
// is written, and the bytes stay those of one thread.
struct Stream::Handover : Spill {
    Handover(Stream &s, Block &b, bool direct) : stream(s), block(b), direct(direct) {}
    void take(Bytes &bytes) override { stream.hand_over(block, bytes, direct); }
    Stream &stream;
    Block &block;
    bool direct;
};

void Stream::hand_over(Block &b, Bytes &bytes, bool direct)
{
    if (!direct) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (order_.front() != &b && bytes.size() < hold_size) {
            bytes.spill_to(bytes.spill(), bytes.size() + hand_on_size);  // look again later
            return;
        }
        turn_.wait(lock, [this, &b] { return order_.front() == &b; });
    }
    std::lock_guard<std::mutex> lock(out_mutex_);
    if (direct) {
        out_.flush();
        return;
    }
    out_.write(bytes.data(), bytes.size());
    b.handed_over += bytes.size();
    bytes.clear();
    bytes.spill_to(bytes.spill(), hand_on_size);
}

// Every line of a block, into out: what a worker runs.  Only the block's
// own memory is written, and the output, in its turn, once it is long.
void Stream::work(Block &b, Bytes &out)
{
    Handover handover(*this, b, &out == &out_.bytes());
    out.spill_to(&handover, hand_on_size);
    const bool header = rec_.options().header && b.first_of_file;
    Reason why;
    Record::Batch batch;  // pairs solved together; written before anything else
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
            rec_.finish(batch, out);
            rec_.overlong(out, why, limit_);
            note(k);
        } else if (!rec_.line(p, n, header && k == 1, out, why, &batch)) {
            note(k);
        }
        p = nl ? nl + 1 : end;
    }
    rec_.finish(batch, out);
    b.lines = k;
    out.spill_to(nullptr, 0);
}

// A finished block's output and messages, in their place; the block is
// then free again.
void Stream::write(Block &b)
{
    // With threads, the next blocks take as much input as gives about
    // hand_on_size of output, as this one did, so that a worker seldom
    // waits for its turn with hold_size in hand (a path of a thousand
    // steps gives 14 KB a line).
    if (threads_ > 1) {
        const size_t output = b.handed_over + b.out.size();
        if (b.size > 0 && output > 0)
            target_ = output > hand_on_size ? b.size * (hand_on_size / 2) / output * 2 + 1
                                            : b.size * (hand_on_size / output) + 1;
    }
    b.handed_over = 0;
    std::lock_guard<std::mutex> lock(out_mutex_);
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
        }
        // Written before it leaves the head: a worker whose turn follows
        // writes after it.
        write(*b);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            order_.pop_front();
        }
        turn_.notify_all();
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
        try {
            work(*b, b->out);
        } catch (const std::bad_alloc &) {
            out_of_memory_ = true;
            b->out.clear();
            b->bad.clear();
            b->bad_count = 0;
        }
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
            // + 1: a last line's NUL; then the slack a line's reading may
            // look into, set after each read (not the whole block, whose
            // pages are then touched only as the input needs them).
            blocks_.back()->in.reset(new char[block_ + 1 + line_slack]);
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

// While the input waits: the finished results written, and true while
// the workers still hold blocks.
bool Stream::idle()
{
    write_done(false);
    bool flushed;
    {
        std::lock_guard<std::mutex> lock(out_mutex_);
        flushed = out_.flush();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return flushed && !order_.empty();
}

// One thread writes everything before a read that may wait.
bool Stream::before_read()
{
    std::lock_guard<std::mutex> lock(out_mutex_);
    if (threads_ == 1)
        out_.flush();
    return out_.ok();
}

// Every block of one file, handed out in order: the file's own lines, or
// the text its XML stands for.
void Stream::stream(int fd, const char *name, std::string head)
{
    Reader reader(fd, block_, limit_);
    // The first bytes tell XML from text: read until one is not white space.
    while (!files::kind_told(head.data(), head.size()) && head.size() < limit_) {
        if (!before_read())
            return;
        char buf[1];  // byte by byte: what is read is carried, at most a line's limit
        const long got = read_some(fd, buf, sizeof buf);
        if (got < 0) {
            unreadable(name, errno);
            return;
        }
        if (got == 0)
            break;
        head.append(buf, static_cast<size_t>(got));
    }
    reader.begin_with(head);
    if (files::looks_like_xml(head.data(), head.size()))
        reader.through_xml(rec_.options().header, files::Kind::events, rec_.options().magnitudes);
    read_blocks(reader, name);
    if (const files::XmlText *xml = reader.xml())
        xml_said(*xml, name);
}

// What the reading of an XML file found, after the messages of its lines.
void Stream::xml_said(const files::XmlText &xml, const char *name)
{
    write_done(true);
    if ((xml.kind() == files::Kind::stations || xml.kind() == files::Kind::other) && !xml.malformed()) {
        if (xml.kind() == files::Kind::stations)
            say(msgs_, "%s: StationXML, where earthquakes are read (stations are given with -S)", name);
        else
            say(msgs_, "%s: XML whose root element is <%s>: neither StationXML nor QuakeML", name,
                xml.root().c_str());
        trouble_ = true;
        return;
    }
    for (const files::Problem &p : xml.problems()) {
        Reason why{};
        std::snprintf(why.text, sizeof why.text, "%s", p.what.c_str());
        bad(name, p.line, why);
    }
    reported_ += xml.problem_count() - xml.problems().size();
}

// Every block of one reader, handed out in order.
void Stream::read_blocks(Reader &reader, const char *name)
{
    bool first = true;
    while (out_.ok() && !out_of_memory_) {
        Block *b = free_block();
        Reader::Got got = reader.fill(*b, *this, target_);
        if (got != Reader::Got::block) {
            idle_.push_back(b);
            if (got == Reader::Got::error)
                unreadable(name, reader.error());
            return;
        }
        if (b->size == 0 && !b->overlong_first && !b->last) {
            idle_.push_back(b);
            continue;
        }
        // A byte-order mark before a file's first line is no part of it.
        if (first && b->size >= 3 && std::memcmp(b->in.get(), byte_order_mark, 3) == 0) {
            std::memmove(b->in.get(), b->in.get() + 3, b->size - 3);
            b->size -= 3;
        }
        // Every byte a line's reading may look at is set: the last line's
        // NUL and the slack after it.
        std::memset(b->in.get() + b->size, 0, 1 + line_slack);
        b->name = name;
        b->first_of_file = first;
        first = false;
        const bool last = b->last;  // once handed out, the block is the workers'
        dispatch(b);
        if (last)
            return;
    }
}

void Stream::file(InputFile input, const char *name)
{
    if (input.fd() < 0 || input.error()) {
        unreadable(name, input.error());
        return;
    }
    stream(input.fd(), name, input.take_head());
}

}  // namespace filter
