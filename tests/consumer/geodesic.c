/* A C program built against an installed ostrem's ellipsoid, through
 * pkg-config and through CMake: a quarter of the equator, and a refusal. */
#include <stdio.h>

#include <ostrem_geodesic.h>

int main(void)
{
    double km, az, baz, lat, lon;
    if (geodesic(0.0, 0.0, 0.0, 90.0, &km, &az, &baz) != 0)
        return 1;
    printf("%.3f %.3f %.3f\n", km, az, baz);
    if (geodesic_midpoint(0.0, 0.0, 0.0, 90.0, &lat, &lon) != 0)
        return 1;
    printf("%.3f %.3f\n", lat, lon);
    km = -1.0;
    return geodesic(91.0, 0.0, 0.0, 0.0, &km, &az, &baz) == 1 && km == -1.0 ? 0 : 1;
}
