// The module's own pace on the pairs of a file, beside a filter's: the
// pairs are read first (four numbers a line, as the filter reads them);
// then, round after round, the filter command given is run over the file
// (its output to /dev/null) and timed, and at once after it one module
// function is called over all the pairs and timed.  Each round prints the
// filter's lines per second and the module's calls per second, so that a
// ratio is taken between runs a fraction of a second apart, on a machine
// whose speed drifts from one second to the next.  The first round is a
// warm-up and is not printed.  Without a filter command, only the module.
//   module_rate FILE ostrem|midpoint|ostremd ROUNDS [FILTER ARG...]
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ostrem.h"

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// The filter over the file, standard output to /dev/null; its seconds.
double run_filter(char **argv)
{
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    auto t0 = Clock::now();
    pid_t pid;
    if (posix_spawn(&pid, argv[0], &fa, nullptr, argv, environ) != 0) {
        std::perror(argv[0]);
        std::exit(2);
    }
    int status;
    waitpid(pid, &status, 0);
    double s = seconds(t0);
    posix_spawn_file_actions_destroy(&fa);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", argv[0]);
        std::exit(2);
    }
    return s;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fputs("Usage: module_rate FILE ostrem|midpoint|ostremd ROUNDS [FILTER ARG...]\n", stderr);
        return 2;
    }
    const char *fn = argv[2];
    const int rounds = std::atoi(argv[3]);
    FILE *f = std::fopen(argv[1], "r");
    if (!f) {
        std::perror(argv[1]);
        return 2;
    }
    std::vector<double> c;
    for (char line[256]; std::fgets(line, sizeof line, f);) {
        char *p = line;
        for (int i = 0; i < 4; i++)
            c.push_back(std::strtod(p, &p));
    }
    std::fclose(f);
    const size_t n = c.size() / 4;
    std::vector<float> cf(c.begin(), c.end());  // rounded as the filter rounds
    std::vector<double> r(3 * n);
    std::vector<float> rf(3 * n);
    std::vector<char *> filter(argv + 4, argv + argc);
    if (!filter.empty()) {
        filter.push_back(argv[1]);
        filter.push_back(nullptr);
    }
    for (int k = 0; k <= rounds; k++) {
        double filter_s = filter.empty() ? 0 : run_filter(filter.data());
        auto t0 = Clock::now();
        if (std::strcmp(fn, "ostremd") == 0) {
            for (size_t i = 0; i < n; i++)
                ostremd(c[4 * i], c[4 * i + 1], c[4 * i + 2], c[4 * i + 3], &r[3 * i], &r[3 * i + 1],
                        &r[3 * i + 2]);
        } else if (std::strcmp(fn, "midpoint") == 0) {
            for (size_t i = 0; i < n; i++)
                midpoint(cf[4 * i], cf[4 * i + 1], cf[4 * i + 2], cf[4 * i + 3], &rf[3 * i],
                         &rf[3 * i + 1]);
        } else {
            for (size_t i = 0; i < n; i++)
                ostrem(cf[4 * i], cf[4 * i + 1], cf[4 * i + 2], cf[4 * i + 3], &rf[3 * i],
                       &rf[3 * i + 1], &rf[3 * i + 2]);
        }
        double module_s = seconds(t0);
        if (k > 0)
            std::printf("%.0f %.0f\n", filter.empty() ? 0.0 : n / filter_s, n / module_s);
    }
    return 0;
}
