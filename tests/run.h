// Runs a program with an argument vector and collects what it wrote to
// standard output and standard error, and how it ended.
#ifndef OSTREM_TESTS_RUN_H
#define OSTREM_TESTS_RUN_H

#include <string>
#include <vector>

struct Outcome {
    std::string out, err;
    int status;  // exit status as a shell sees it, or 128 + signal
};

Outcome run(const std::string &prog, const std::vector<std::string> &args,
        const std::vector<std::string> &env = {});

#endif
