// A C++ program built against an installed ostrem through find_package.
#include <cstdio>

#include <ostrem.h>

int main()
{
    float del, az, baz, lat, lon;
    if (ostrem(0.0f, 0.0f, 0.0f, 90.0f, &del, &az, &baz) != 0)
        return 1;
    std::printf("%.2f %.2f %.2f\n", del, az, baz);
    if (midpoint(0.0f, -90.0f, 0.0f, 0.0f, &lat, &lon) != 0)
        return 1;
    std::printf("%.2f %.2f\n", lat, lon);
    return 0;
}
