// The module's own pace on the pairs of a file: the pairs are read first
// (four numbers a line, as the filter reads them), then one module function
// is called over all of them, round after round, and the median rate is
// printed in calls per second.  bench/pace.sh sets it beside the filter's
// line rate on the same file.
//   module_rate FILE ostrem|midpoint|ostremd [ROUNDS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ostrem.h"

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fputs("Usage: module_rate FILE ostrem|midpoint|ostremd [ROUNDS]\n", stderr);
        return 2;
    }
    const char *fn = argv[2];
    int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
    FILE *f = std::fopen(argv[1], "r");
    if (!f) {
        std::perror(argv[1]);
        return 2;
    }
    std::vector<double> c;
    for (double a, b, d, e; std::fscanf(f, "%lf %lf %lf %lf", &a, &b, &d, &e) == 4;)
        c.insert(c.end(), {a, b, d, e});
    std::fclose(f);
    const size_t n = c.size() / 4;
    std::vector<float> cf(c.begin(), c.end());  // rounded as the filter rounds
    std::vector<double> r(3 * n);
    std::vector<float> rf(3 * n);
    std::vector<double> rates;
    for (int k = 0; k < rounds; k++) {
        auto t0 = std::chrono::steady_clock::now();
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
        auto t1 = std::chrono::steady_clock::now();
        rates.push_back(n / std::chrono::duration<double>(t1 - t0).count());
    }
    std::sort(rates.begin(), rates.end());
    std::printf("%.0f\n", rates[rates.size() / 2]);
    return 0;
}
