// brovic -- the great-circle midpoint between an earthquake and a station.
// C standard I/O and no setlocale, for the same reasons as sorvane: fast
// start from shell loops, and '.' as the decimal point in every locale.

#include <cstdio>

#include "newline.h"
#include "number.h"
#include "ostrem.h"
#include "ranges.h"

int main(int argc, char **argv)
{
    binary_standard_streams();
    // Read as strtod (and so atof) reads them, then rounded to float: the
    // module works on float coordinates.
    float c[4];
    if (int status = number::pair_arguments("brovic", argc, argv, c))
        return status;
    float eqlat = c[0], eqlon = c[1], stlat = c[2], stlon = c[3];

    float lat;
    float lon;
    if (number::any_nan(c, 4) || midpoint(eqlat, eqlon, stlat, stlon, &lat, &lon) != 0) {
        ranges::refuse_coordinate("brovic");
        return 1;
    }
    std::printf("%.2f %.2f\n", lat, lon);
    return 0;
}
