// The filter's ordered pool: blocks of whole lines (from a Reader) handed
// to a Record (by worker threads with -j), the output and the messages
// written in the order of the input, bad lines reported (the first
// max_messages of a run, then a count).
#ifndef OSTREM_FILTER_STREAM_H
#define OSTREM_FILTER_STREAM_H

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "format.h"
#include "messages.h"
#include "inputs.h"
#include "reader.h"
#include "record.h"

namespace filter {

constexpr size_t default_block = 1 << 18;     // bytes of input a block holds
constexpr size_t hand_on_size = 1 << 20;      // a block's output written once it holds this,
constexpr size_t hold_size = 8 << 20;         // or held to this while blocks before it are worked on

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
    // What is buffered, then p: false as flush().
    bool write(const char *p, size_t len);
    bool ok() const { return ok_; }
    int error() const { return err_; }

private:
    void send(const char *p, size_t len);
    int fd_;
    Bytes buf_;
    std::atomic<bool> ok_{true};  // read by the reading thread while a worker writes
    int err_ = 0;
};

class Stream : private Hooks {
public:
    // threads: how many compute lines (1: this thread alone).  block: the
    // input a block holds, at least 2 * limit + 2 bytes.  limit: the
    // longest line kept.  Small blocks and limits exercise the hand-over
    // in tests.
    Stream(const Record &rec, Out &out, FILE *msgs, int threads = 1,
           size_t block = default_block, size_t limit = max_line);
    ~Stream();
    Stream(const Stream &) = delete;
    Stream &operator=(const Stream &) = delete;

    // Every line of an input, after what was read of it ahead, or its
    // error.  name: what messages call it, which outlives the stream.
    void file(InputFile input, const char *name);
    void file(const char *name) { file(InputFile(name), name); }
    // Every line of an open file, after head (its bytes read before).
    void stream(int fd, const char *name, std::string head = {});
    // Everything still in the workers' hands written; the threads ended.
    void finish();

    // A bad line of another file (the stations of -S, whose separator is
    // -D's), counted and reported as the stream's own.
    void report(const char *name, unsigned long lineno, const Reason &why) { bad(name, lineno, why, 'D'); }
    void count_unreported(unsigned long n) { reported_ += n; }

    bool bad_lines() const { return reported_ > 0; }
    // A worker's block could not get the memory for its output: the run
    // stopped there.
    bool out_of_memory() const { return out_of_memory_; }
    bool trouble() const { return trouble_; }
    unsigned long unreported() const
    {
        return reported_ > max_messages ? reported_ - max_messages : 0;
    }

private:
    struct Bad {
        size_t line;  // from 1 within the block
        Reason why;
    };
    // A block of whole lines and what they give.
    struct Block : Input {
        const char *name = nullptr;
        bool first_of_file = false;  // its first line is its file's first
        Bytes out;
        size_t handed_over = 0;      // output written before the block was done
        std::vector<Bad> bad;        // the first max_messages of the block
        unsigned long bad_count = 0;
        size_t lines = 0;
        bool done = false;
    };

    struct Handover;
    void hand_over(Block &b, Bytes &bytes, bool direct);
    bool idle() override;
    bool before_read() override;
    void work(Block &b, Bytes &out);
    void write(Block &b);
    void dispatch(Block *b);
    void write_done(bool wait_all);
    Block *free_block();
    void start();
    void worker();
    void read_blocks(Reader &reader, const char *name);
    void xml_said(const files::XmlText &xml, const char *name);
    void bad(const char *name, unsigned long lineno, const Reason &why, char option = 'd');
    void unreadable(const char *name, int err);

    const Record &rec_;
    Out &out_;
    FILE *msgs_;
    const int threads_;
    const size_t limit_;
    const size_t block_;
    bool trouble_ = false;        // a file could not be read
    unsigned long reported_ = 0;  // bad lines, reported or not
    unsigned long lineno_ = 0;    // lines of the current file written so far
    size_t target_ = ~size_t(0);  // the input a block is to take: less when its output is long

    std::vector<std::unique_ptr<Block>> blocks_;  // every block, reused
    std::deque<Block *> idle_;                    // free for the reader
    std::deque<Block *> order_;                   // handed out, in input order
    std::deque<Block *> todo_;                    // for the workers
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable work_, done_;
    std::condition_variable turn_;  // the head of order_ has moved on
    std::mutex out_mutex_;          // out_, which a worker at the head writes too
    bool stopping_ = false;
    std::atomic<bool> out_of_memory_{false};
};

}  // namespace filter

#endif
