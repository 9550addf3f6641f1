// brovic -- the great-circle midpoint between an earthquake and a station.
// C standard I/O and no setlocale, for the same reasons as sorvane: fast
// start from shell loops, and '.' as the decimal point in every locale.

#include <cstdio>
#include <cstdlib>

#include "ostrem.h"

int main(int argc, char **argv)
{
    if (argc != 5) {
        std::fputs("Usage: brovic eqlat eqlon stlat stlon\n", stderr);
        return -1;
    }
    float eqlat = static_cast<float>(std::atof(argv[1]));
    float eqlon = static_cast<float>(std::atof(argv[2]));
    float stlat = static_cast<float>(std::atof(argv[3]));
    float stlon = static_cast<float>(std::atof(argv[4]));

    float lat;
    float lon;
    if (midpoint(eqlat, eqlon, stlat, stlon, &lat, &lon) != 0) {
        std::fputs("brovic: coordinate out of range "
                   "(latitude -90 to 90, longitude -180 to 540)\n",
                   stderr);
        return 1;
    }
    std::printf("%.2f %.2f\n", lat, lon);
    return 0;
}
