/* A C program built against an installed ostrem through pkg-config. */
#include <stdio.h>

#include <ostrem.h>

int main(void)
{
    float del, az, baz, lat, lon;
    if (ostrem(0.0f, 0.0f, 0.0f, 90.0f, &del, &az, &baz) != 0)
        return 1;
    printf("%.2f %.2f %.2f\n", del, az, baz);
    if (midpoint(0.0f, -90.0f, 0.0f, 0.0f, &lat, &lon) != 0)
        return 1;
    printf("%.2f %.2f\n", lat, lon);
    return 0;
}
