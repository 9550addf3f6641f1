// Runs a program with an argument vector and collects what it wrote to
// standard output and standard error, and how it ended.  Standard input is
// the file named by `in` (the null device by default).  In a cross build
// the program is started through the emulator the build names, as ctest
// starts the tests themselves.
#ifndef OSTREM_TESTS_RUN_H
#define OSTREM_TESTS_RUN_H

#include <string>
#include <vector>

struct Outcome {
    std::string out, err;
    int status;  // exit status as a shell sees it, or 128 + signal
};

Outcome run(const std::string &prog, const std::vector<std::string> &args,
            const std::vector<std::string> &env = {}, const std::string &in = "");

// A POSIX shell script, run by /bin/sh; where there is none (Windows),
// the test that needs it is skipped.
Outcome run_shell(const std::string &script, const std::vector<std::string> &env = {},
                  const std::string &in = "");
bool have_shell();

// Built for another machine and run under an emulator (qemu-user, wine),
// or with a sanitizer's runtime: starting a program costs tens of times as
// much, and tests that start thousands do a tenth as many.
bool slow_starts();

// How a shell script starts prog: its path, after the emulator if any.
std::string shell_command(const std::string &prog);

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
