// The filter's reading and writing: files read in blocks, lines handed to
// a Record, output gathered and written in order, bad lines reported (the
// first max_messages of a run, then a count).
#ifndef OSTREM_FILTER_STREAM_H
#define OSTREM_FILTER_STREAM_H

#include <cstdio>

#include "format.h"
#include "record.h"

namespace filter {

constexpr unsigned long max_messages = 100;  // bad lines reported per run

// Output through one buffer and write(2); a failed write is remembered and
// reported once, and ends the run.
class Out {
public:
    explicit Out(int fd) : fd_(fd) {}
    Bytes &bytes() { return buf_; }
    // Writes what is buffered once it is worth a system call.
    void maybe_flush()
    {
        if (buf_.size() >= 1 << 16)
            flush();
    }
    // Returns false when the data could not be written, now or before.
    bool flush();
    bool ok() const { return ok_; }
    int error() const { return err_; }

private:
    int fd_;
    Bytes buf_;
    bool ok_ = true;
    int err_ = 0;
};

class Stream {
public:
    Stream(const Record &rec, Out &out, FILE *msgs) : rec_(rec), out_(out), msgs_(msgs) {}

    // Every line of the named file ("-": standard input), or its error.
    void file(const char *name);
    // Every line of an open file.
    void stream(int fd, const char *name);

    bool bad_lines() const { return reported_ > 0; }
    bool trouble() const { return trouble_; }
    unsigned long unreported() const
    {
        return reported_ > max_messages ? reported_ - max_messages : 0;
    }

private:
    void bad(const char *name, unsigned long lineno, const char *reason);

    const Record &rec_;
    Out &out_;
    FILE *msgs_;
    bool trouble_ = false;        // a file could not be read
    unsigned long reported_ = 0;  // bad lines, reported or not
};

}  // namespace filter

#endif
