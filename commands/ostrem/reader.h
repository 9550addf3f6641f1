// Reading a file in blocks of whole lines: as many as the input gives
// without waiting, the unfinished line carried to the next block, a line
// too long to keep read through and dropped.  Apart from the threads that
// work on the blocks: the reader asks its caller what to do while the
// input waits (a pipe, a terminal), through Hooks.
#ifndef OSTREM_FILTER_READER_H
#define OSTREM_FILTER_READER_H

#include <cstddef>
#include <memory>
#include <string>

#include "fdsn_xml.h"

namespace filter {

// A block's input: whole lines, the last maybe without its newline.
struct Input {
    std::unique_ptr<char[]> in;  // room for the block and a NUL after it
    size_t size = 0;
    bool overlong_first = false;  // a line too long to keep comes before the data
    bool last = false;            // the file ends with it: a last line may lack '\n'
};

// What the reader asks of its caller around a read.
class Hooks {
public:
    // The input has nothing yet: write what is finished.  True while
    // work is still in hand, so that the input is looked at again soon.
    virtual bool idle() = 0;
    // A read comes next.  False: stop reading (the output failed).
    virtual bool before_read() = 0;

protected:
    ~Hooks() = default;
};

class Reader {
public:
    // block: the bytes a block holds (its Input::in has block + 1).
    // limit: the longest line kept.
    Reader(int fd, size_t block, size_t limit);

    enum class Got { block, stopped, error };
    // The next block into b.  A block may hold no line (only a report of
    // an overlong one, or nothing before a last block); the file's last
    // block has b.last set.  error: errno's value is in error().  target:
    // the new bytes wanted (at most the block), fewer for lines whose
    // output is long, so that threads still share the work.
    Got fill(Input &b, Hooks &hooks, size_t target = ~size_t(0));
    // What was read of the file before (a header line, read to learn its
    // names), for the first block to begin with: at most the limit + 1.
    void begin_with(const std::string &read_before);
    // The file is XML: what is read is the text it stands for (with its
    // header line where header), from the bytes carried on.  want: the
    // kind the caller takes; another stops the reading at its root.
    void through_xml(bool header, files::Kind want, const files::Magnitudes &magnitudes);
    // The XML's reading, once the file is read; nullptr for text.
    const files::XmlText *xml() const { return xml_.get(); }
    int error() const { return err_; }

private:
    Got read_into(Input &b, size_t &have, size_t want, Hooks &hooks);
    bool ready_now() const;
    long pull(char *to, size_t n);
    void cut(Input &b, size_t have);

    const int fd_;
    const size_t block_, limit_;
    std::unique_ptr<char[]> carry_;  // a line's start, for the next block
    size_t carried_ = 0;
    bool skipping_ = false;  // inside a line too long to keep
    bool eof_ = false;
    int err_ = 0;
    // XML: its parser, the text it gave that is still to be read, and the
    // file's bytes as they are read.
    std::unique_ptr<files::XmlText> xml_;
    std::string text_;
    size_t text_at_ = 0;
    bool xml_done_ = false;
    std::unique_ptr<char[]> raw_;
};

}  // namespace filter

#endif
