/*
 * ostrem_travel.h -- seismic travel times from C: an earth model, a source
 * at a depth with the phases asked for, then the first arrival at as many
 * distances as wanted in one call.  What depends on the depth alone is
 * done once, when the source is opened.
 *
 * Distances are degrees of arc on the geocentric sphere (what ostremd()
 * gives), from 0 to 180; depths kilometres, from 0 to the core-mantle
 * boundary (-10 to 0, a catalogue's depth above sea level, is the surface).
 * Times are seconds after the origin, ray parameters seconds per degree,
 * NaN where no phase asked for arrives.  Within a millisecond of the exact
 * integral of the model, whose velocities are linear in depth between its
 * rows.
 *
 * A model and its sources may be used by any number of threads at once;
 * close the sources before their model.  C++ inside: a C program links
 * the C++ runtime too (pkg-config ostrem-travel).
 */
#ifndef OSTREM_TRAVEL_H
#define OSTREM_TRAVEL_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct travel_model travel_model;
typedef struct travel_source travel_source;

/*
 * travel_model_open -- "iasp91", "ak135", or a .tvel or .nd file.  NULL when
 *   it cannot be read, and then why (when not NULL) holds the reason, cut
 *   to why_size bytes with its terminating NUL: "FILE:LINE: what".
 */
travel_model *travel_model_open(const char *name, char *why, size_t why_size);
void travel_model_close(travel_model *model);

/*
 * travel_source_open -- a source at depth_km, for the phases named in
 *   phases ("P", "P,Pdiff,PKIKP"; ',' and '+' alike: the earliest of them
 *   all is what travel_first_arrivals gives).  NULL, with why, for a name
 *   that is no phase; a depth outside the model opens a source whose
 *   arrivals are all NaN.
 */
travel_source *travel_source_open(const travel_model *model, double depth_km, const char *phases, char *why,
                                  size_t why_size);
void travel_source_close(travel_source *source);

/*
 * travel_first_arrivals -- for each of n distances, the first arrival
 *   among the source's phases: time[i] and, when ray_parameter is not
 *   NULL, ray_parameter[i].
 */
void travel_first_arrivals(const travel_source *source, size_t n, const double *distance, double *time,
                           double *ray_parameter);

#ifdef __cplusplus
}
#endif

#endif
