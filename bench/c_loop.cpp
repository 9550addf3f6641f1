// The C library called in a plain loop over arrays of pairs, as a C caller
// would: the baseline for the Python ufuncs.  Reads float32 columns
// eqlat, eqlon, stlat, stlon (n each, one after the other) from a file
// and prints the median nanoseconds per pair over the rounds.
//   c_loop FILE N [ROUNDS] [midpoint]
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
        std::fputs("Usage: c_loop FILE N [ROUNDS] [midpoint]\n", stderr);
        return 2;
    }
    size_t n = std::strtoul(argv[2], nullptr, 10);
    int rounds = argc > 3 ? std::atoi(argv[3]) : 7;
    bool mid = argc > 4 && std::strcmp(argv[4], "midpoint") == 0;
    std::vector<float> c(4 * n), r(3 * n);
    FILE *f = std::fopen(argv[1], "rb");
    if (!f || std::fread(c.data(), sizeof(float), c.size(), f) != c.size()) {
        std::perror(argv[1]);
        return 2;
    }
    std::fclose(f);
    const float *a = c.data(), *b = a + n, *d = b + n, *e = d + n;
    std::vector<double> ns;
    for (int k = 0; k < rounds; k++) {
        auto t0 = std::chrono::steady_clock::now();
        for (size_t i = 0; i < n; i++) {
            if (mid)
                midpoint(a[i], b[i], d[i], e[i], &r[i], &r[n + i]);
            else
                ostrem(a[i], b[i], d[i], e[i], &r[i], &r[n + i], &r[2 * n + i]);
        }
        auto t1 = std::chrono::steady_clock::now();
        ns.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count() / n);
    }
    std::sort(ns.begin(), ns.end());
    std::printf("%.1f\n", ns[ns.size() / 2]);
    return 0;
}
