// An earth model for travel times: the velocities of P and S waves and the
// density against depth, in a spherically symmetric earth, with its Moho,
// core-mantle boundary and inner-core boundary.  Read from the field's two
// text formats (.tvel, .nd), or built in (IASP91, AK135).
//
// For C++ callers inside the project.
#ifndef OSTREM_TRAVEL_EARTH_MODEL_H
#define OSTREM_TRAVEL_EARTH_MODEL_H

#include <string>
#include <string_view>
#include <vector>

namespace travel {

// A row of the model: a depth (km) and the values there (km/s, g/cm^3).
// Between two rows the values vary linearly with depth; a depth given
// twice is a discontinuity, the first row the value just above it.
struct Row {
    double depth, vp, vs, density;
};

struct EarthModel {
    std::string name;
    double radius = 6371.0;  // km: the depth of the last row
    std::vector<Row> rows;   // depth increasing, from 0 to the centre
    // The discontinuities' depths (km): the Moho, the core-mantle and the
    // inner-core boundaries.
    double moho = 0, outer_core = 0, inner_core = 0;
};

// Reads a model from its text: .tvel (two header lines, then rows "depth
// vp vs density") or .nd (rows "depth vp vs density [qp qs]" and the lines
// "mantle", "outer-core", "inner-core" naming the discontinuity just above
// the next row).  name: what messages call it.  Returns an empty string on
// success, or what is wrong, as "NAME:LINE: why".
std::string read_model(std::string_view text, const std::string &name, EarthModel &model);

// A built-in model by name ("iasp91", "ak135"), or a file to read.  Returns
// an empty string on success, or what is wrong.
std::string load_model(const std::string &name_or_path, EarthModel &model);

// The text of a built-in model, empty for a name that is none.
std::string_view builtin_model_text(std::string_view name);

}  // namespace travel

#endif
