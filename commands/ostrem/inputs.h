// Each input the run reads, opened once: the command line's files, the
// station file of -S, standard input.  Whoever needs an input's kind or
// its header before the stream (the names of -f, the defaults of FDSN text
// and QuakeML) peeks at it; what that read is kept as the input's head,
// and whoever reads it next begins with those bytes.  So a pipe given by
// name, or standard input, which cannot be read twice, loses nothing.
#ifndef OSTREM_FILTER_INPUTS_H
#define OSTREM_FILTER_INPUTS_H

#include <cstddef>
#include <map>
#include <string>

#include "fdsn_text.h"

namespace filter {

// The system's calls, with what every caller needs of them written once:
// a call an interrupt cut short is made again, and on Windows, which
// refuses to open a folder as a file, the error says what it is.
int open_input(const char *name);  // "-": standard input (0); -1 and errno
long read_some(int fd, char *buf, size_t n);  // as read(), never EINTR
// All of p to fd; false on a write error (errno set, EIO for no progress).
bool write_all(int fd, const char *p, size_t n);

class InputFile {
public:
    InputFile() = default;
    explicit InputFile(const char *name);
    ~InputFile();
    InputFile(InputFile &&other) noexcept;
    InputFile &operator=(InputFile &&other) noexcept;

    const char *name() const { return name_.c_str(); }
    bool standard() const { return name_ == "-"; }
    int fd() const { return fd_; }
    // errno where it could not be opened or read ahead, else 0.
    int error() const { return error_; }
    // Read ahead until its kind is told: XML by its first byte that is
    // not white space, text to the end of its first line (at most a
    // line's limit and one byte more).
    void read_head();
    // What was read ahead, which a reader of the input takes first.
    std::string take_head() { return std::move(head_); }
    const std::string &head() const { return head_; }
    bool xml() const;
    // FDSN event, station or channel text, by its first line.
    files::TextHeader text() const;

private:
    std::string name_;
    int fd_ = -1;
    int error_ = 0;
    bool head_read_ = false;
    std::string head_;
};

class Inputs {
public:
    // The input named, opened and its head read at the first asking; the
    // same one at every later asking, until it is taken.
    InputFile &peek(const char *name);
    // The input to read: the one peeked, with its head, or one opened now
    // (a file named twice is read twice).
    InputFile take(const char *name);

private:
    std::map<std::string, InputFile> peeked_;
};

}  // namespace filter

#endif
