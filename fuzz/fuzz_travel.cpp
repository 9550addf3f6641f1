// The travel-time room's readers: arbitrary bytes as an earth model (the
// first byte even: .tvel, odd: .nd) or as a phase name (a byte of 2 mod 4:
// the rest is the name, and then a distance).  A model is read or refused
// with its name and a line; one that is read has rows in order and its
// boundaries inside it.  A name is a phase or refused with a reason; a
// phase's arrivals are finite, earliest first, and cover the distance.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "arrivals.h"
#include "earth_model.h"
#include "layered_earth.h"

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void read_any_model(std::string_view text, bool nd)
{
    const std::string name = nd ? "m.nd" : "m.tvel";
    travel::EarthModel model;
    const std::string wrong = travel::read_model(text, name, model);
    if (!wrong.empty()) {
        check(wrong.compare(0, name.size(), name) == 0 && wrong.size() > name.size() + 1);
        return;
    }
    check(!model.rows.empty() && model.rows.front().depth == 0 && model.radius > 0);
    for (size_t i = 1; i < model.rows.size(); i++)
        check(model.rows[i].depth >= model.rows[i - 1].depth);
    check(model.moho >= 0 && model.moho <= model.outer_core && model.outer_core <= model.inner_core &&
          model.inner_core <= model.radius);
    // Coarse shells keep an input fast; the eta of a P wave is positive
    // wherever the model is solid or fluid.
    if (model.rows.size() > 200 || model.radius > 1e5)
        return;
    const travel::LayeredEarth earth(model, model.radius / 20);
    check(earth.eta(travel::Wave::P, model.radius / 2, true) >= 0);
}

const travel::LayeredEarth &coarse_earth()
{
    static const travel::LayeredEarth earth = [] {
        travel::EarthModel model;
        travel::load_model("iasp91", model);
        return travel::LayeredEarth(model, 200.0);
    }();
    return earth;
}

void any_phase(std::string_view bytes)
{
    const size_t cut = std::min<size_t>(bytes.size(), 12);
    const std::string_view name = bytes.substr(0, cut);
    double distance = 0;
    for (unsigned char c : bytes.substr(cut))
        distance = std::fmod(distance * 256 + c, 360.0);
    const travel::Source source(coarse_earth(), 100.0);
    const std::string wrong = source.why(name);
    const std::vector<travel::Arrival> found = source.arrivals(name, distance);
    check(wrong.empty() || found.empty());
    for (size_t i = 0; i < found.size(); i++) {
        check(std::isfinite(found[i].time) && found[i].time > 0 && std::isfinite(found[i].ray_parameter));
        check(i == 0 || found[i - 1].time <= found[i].time);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view rest(reinterpret_cast<const char *>(data) + 1, size - 1);
    if (data[0] % 4 == 2)
        any_phase(rest);
    else
        read_any_model(rest, data[0] % 2 == 1);
    return 0;
}
