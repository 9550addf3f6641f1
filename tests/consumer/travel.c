/* A C program built against an installed ostrem's travel times, through
 * pkg-config and through CMake: P and S at a few distances from a source
 * 10 km deep in IASP91, nan in P's shadow, and the refusals' reasons. */
#include <stdio.h>

#include <ostrem_travel.h>

int main(void)
{
    char why[200];
    travel_model *model = travel_model_open("iasp91", why, sizeof why);
    if (!model)
        return 1;
    travel_source *source = travel_source_open(model, 10.0, "P,S", why, sizeof why);
    if (!source)
        return 1;
    const double distance[3] = {30.0, 83.17, 120.0};
    double time[3], ray_parameter[3];
    travel_first_arrivals(source, 3, distance, time, ray_parameter);
    travel_source_close(source);
    source = travel_source_open(model, 10.0, "P", why, sizeof why);
    double p_time[3];
    travel_first_arrivals(source, 3, distance, p_time, NULL);
    travel_source_close(source);
    for (int i = 0; i < 3; i++)
        printf("%.3f %.3f %.4f\n", p_time[i], time[i], ray_parameter[i]);
    if (travel_source_open(model, 10.0, "PX", why, sizeof why) != NULL)
        return 1;
    puts(why);
    travel_model_close(model);
    if (travel_model_open("nowhere.tvel", why, sizeof why) != NULL)
        return 1;
    puts(why);
    return 0;
}
