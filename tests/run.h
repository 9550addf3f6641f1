// Runs a program with an argument vector and collects what it wrote to
// standard output and standard error, and how it ended.  Standard input is
// the file named by `in`.
#ifndef OSTREM_TESTS_RUN_H
#define OSTREM_TESTS_RUN_H

#include <string>
#include <vector>

struct Outcome {
    std::string out, err;
    int status;  // exit status as a shell sees it, or 128 + signal
};

Outcome run(const std::string &prog, const std::vector<std::string> &args,
        const std::vector<std::string> &env = {}, const std::string &in = "/dev/null");

// A file holding `text` for as long as the object lives, to hand to a
// program as standard input or as a file argument.
struct TempFile {
    std::string path;
    explicit TempFile(const std::string &text);
    ~TempFile();
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;
};

#endif
