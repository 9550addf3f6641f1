// Writes every result of the module for the bit hashes' 300,000 pairs (a
// varied pair, a pair one ulp apart, an exact antipode, in turn) as raw
// little-endian records on standard output, for docs/machines.py to set
// the machines side by side.  Per pair: the four float coordinates; the
// float results of ostrem (3), midpoint (2) and walk along ostrem's
// azimuth and distance (2); the double results of ostremd (3), walkd along
// its azimuth and distance (2) and midpointd (2).
#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "bits.h"
#include "hashes.h"

int main()
{
#ifdef _WIN32
    _setmode(1, _O_BINARY);
#endif
    static_assert(sizeof(float) == 4 && sizeof(double) == 8, "IEEE binary32 and binary64");
    bool ok = true;
    hash_pairs([&](float a, float o, float t, float s) {
        float in[4] = {a, o, t, s};
        Results r = results(built, a, o, t, s);
        ok = ok && std::fwrite(in, sizeof in, 1, stdout) == 1 &&
             std::fwrite(r.f, sizeof r.f, 1, stdout) == 1 &&
             std::fwrite(r.d, sizeof r.d, 1, stdout) == 1;
    });
    return ok && std::fflush(stdout) == 0 ? 0 : 1;
}
