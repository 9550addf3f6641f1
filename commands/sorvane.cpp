// sorvane -- distance, azimuth and back-azimuth between an earthquake and a
// station.  C standard I/O only: the program is started thousands of times
// from shell loops, and iostream's start-up cost would dominate.  No
// setlocale either, so the decimal point is '.' in every locale.

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
    if (int status = number::pair_arguments("sorvane", argc, argv, c))
        return status;
    float eqlat = c[0], eqlon = c[1], stlat = c[2], stlon = c[3];

    float del;
    float az;
    float baz;
    if (number::any_nan(c, 4) || ostrem(eqlat, eqlon, stlat, stlon, &del, &az, &baz) != 0) {
        ranges::refuse_coordinate("sorvane");
        return 1;
    }
    std::printf("%.2f %.2f %.2f\n", del, az, baz);
    return 0;
}
