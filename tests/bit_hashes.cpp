// Prints the two bit hashes of the module's plain build on this machine,
// for the Python package's tests: its ufuncs must give the same bits.
#include <cinttypes>
#include <cstdio>

#include "bits.h"
#include "hashes.h"

int main()
{
    Hashes h;
    hash_pairs([&](float a, float o, float t, float s) { h.add(results(plain, a, o, t, s)); });
    std::printf("0x%016" PRIx64 " 0x%016" PRIx64 "\n", h.floats, h.doubles);
}
