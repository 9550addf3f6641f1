// Travel times: the model reader's refusals, the built-in models as their
// files, and arrivals against what a closed form or the times themselves
// say (a homogeneous sphere's chords, dT/dDelta = p, convergence as the
// shells are halved, the triplication of the upper mantle).
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "arrivals.h"
#include "earth_model.h"
#include "layered_earth.h"

namespace {

constexpr double degree = 3.141592653589793 / 180;

travel::EarthModel builtin(const char *name)
{
    travel::EarthModel m;
    const std::string wrong = travel::load_model(name, m);
    EXPECT_EQ(wrong, "");
    return m;
}

// The earliest arrival of any of the phases, NaN where none.
double first(const travel::Source &source, std::vector<const char *> phases, double distance)
{
    double t = NAN;
    for (const char *phase : phases)
        for (const travel::Arrival &a : source.arrivals(phase, distance))
            if (!(a.time >= t))
                t = a.time;
    return t;
}

TEST(Travel, TheBuiltInModelsAreTheirFiles)
{
    for (const char *name : {"iasp91", "ak135"}) {
        std::ifstream in(std::string(SOURCE_DIR) + "/travel/models/" + name + ".tvel", std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        EXPECT_EQ(travel::builtin_model_text(name), text.str()) << name;
        const travel::EarthModel m = builtin(name);
        EXPECT_EQ(m.radius, 6371.0);
        EXPECT_EQ(m.moho, 35.0) << name;
        EXPECT_NEAR(m.outer_core, 2889, 3) << name;
        EXPECT_NEAR(m.inner_core, 5153, 3) << name;
    }
    travel::EarthModel prem;
    EXPECT_EQ(travel::load_model(std::string(SOURCE_DIR) + "/travel/models/prem.nd", prem), "");
    EXPECT_EQ(prem.moho, 24.4);
    EXPECT_EQ(prem.outer_core, 2891.0);
    EXPECT_EQ(prem.inner_core, 5149.5);
}

TEST(Travel, BadModelsAreRefusedByLine)
{
    const std::string core = "2891 8 0 10\n5150 10 0 12\n5150 11 3.5 12\n6371 11 3.6 13\n";
    const struct {
        std::string text, name, message;
    } cases[] = {
        {"h\nh\n0 5.8 3.3 2.7\n10 x 3.3 2.7\n" + core, "m.tvel", "m.tvel:4: field 2 is not a number: x"},
        {"h\nh\n0 5.8 3.3 2.7\n10 5.8 3.3\n" + core, "m.tvel", "m.tvel:4: a row holds depth, vp, vs and density"},
        {"h\nh\n5 5.8 3.3 2.7\n" + core, "m.tvel", "m.tvel:3: the first row must be at depth 0"},
        // The text ends inside a field: nothing past it may be read.
        {"h\nh\n5 5 3 *", "m.tvel", "m.tvel:3: field 4 is not a number: *"},
        {"h\nh\n0 5.8 3.3 2.7\n3000 8 4 5\n" + core, "m.tvel", "m.tvel:5: depths must not decrease"},
        {"h\nh\n0 5.8 3.3 2.7\n10 -5.8 3.3 2.7\n" + core, "m.tvel",
         "m.tvel:4: velocities and density must be positive (vs may be 0)"},
        {"h\nh\n0 5.8 3.3 2.7\n6371 5.8 3.3 2.7\n", "m.tvel",
         "m.tvel: the model has no outer and inner core (vs 0 in the outer core only)"},
        {"0 5.8 3.3 2.7 1 2 3\n", "m.nd", "m.nd:1: a row holds depth, vp, vs and density (and Qp, Qs)"},
    };
    for (const auto &c : cases) {
        travel::EarthModel m;
        EXPECT_EQ(travel::read_model(c.text, c.name, m), c.message);
    }
    travel::EarthModel m;
    EXPECT_EQ(travel::load_model("/nonexistent/model.tvel", m),
              "/nonexistent/model.tvel: No such file or directory (the built-in models are iasp91 and ak135)");
}

// A homogeneous sphere: every ray is straight, T = chord / v, from the
// surface and from a source at depth (the first of P and p).
TEST(Travel, AHomogeneousSphereGivesTheChord)
{
    travel::EarthModel m;
    m.radius = 6371;
    m.rows = {{0, 6.0, 3.5, 3.0}, {6371, 6.0, 3.5, 3.0}};
    const travel::LayeredEarth earth(m, 50.0);  // straight rays: exact in any shells
    for (double depth : {0.0, 100.0, 600.0}) {
        const travel::Source source(earth, depth);
        const double r = 6371 - depth;
        for (double distance : {0.5, 10.0, 45.0, 90.0, 150.0, 179.0}) {
            const double chord = std::sqrt(6371.0 * 6371 + r * r - 2 * 6371 * r * std::cos(distance * degree));
            EXPECT_NEAR(first(source, {"P", "p"}, distance), chord / 6.0, 1e-6) << depth << " " << distance;
            EXPECT_NEAR(first(source, {"S", "s"}, distance), chord / 3.5, 1e-6) << depth << " " << distance;
        }
    }
}

// dT/dDelta = p, by central differences, for the first arrival of the
// waves leaving downwards or upwards.
TEST(Travel, TheSlopeOfTimeIsTheRayParameter)
{
    const travel::LayeredEarth earth(builtin("iasp91"));
    const std::vector<std::vector<const char *>> waves = {{"P", "p"}, {"S", "s"}};
    for (double depth : {0.0, 100.0, 500.0}) {
        const travel::Source source(earth, depth);
        for (const std::vector<const char *> &phases : waves)
            for (double distance : {5.0, 35.0, 60.0, 90.0}) {
                const travel::Arrival *earliest = nullptr;
                std::vector<travel::Arrival> all;
                for (const char *phase : phases)
                    for (const travel::Arrival &a : source.arrivals(phase, distance))
                        all.push_back(a);
                for (const travel::Arrival &a : all)
                    if (!earliest || a.time < earliest->time)
                        earliest = &a;
                ASSERT_NE(earliest, nullptr) << phases[0] << " " << depth << " " << distance;
                const double h = 1e-3;
                const double slope = (first(source, phases, distance + h) - first(source, phases, distance - h)) / (2 * h);
                EXPECT_NEAR(slope, earliest->ray_parameter, 1e-4) << phases[0] << " " << depth << " " << distance;
            }
    }
}

// A source's piece of its shell, found once, is down() from the shell's
// top to the source for every ray, to the bit: crossing it, turning inside
// it, turning at its top, not entering a fluid (S below the mantle), and
// nothing at all where the source is a shell's top.
TEST(Travel, APieceFoundOnceIsTheLegDown)
{
    const travel::LayeredEarth earth(builtin("iasp91"));
    const std::vector<double> tops = earth.tops();
    for (double depth : {0.0, 7.3, 35.0, 212.5, 799.9, 3000.0}) {
        const double source = earth.radius() - depth;
        double top = tops.front();  // the last at or above the source
        for (double t : tops)
            top = t >= source ? t : top;
        for (travel::Wave w : {travel::Wave::P, travel::Wave::S}) {
            const travel::LayeredEarth::Piece piece = earth.first_piece(w, top, source);
            const double low = piece.eta_bottom, high = piece.eta_top;
            for (double p : {0.0, 0.5 * low, low, (low + high) / 2, high, high * 1.01}) {
                const travel::Leg a = earth.down(w, p, top, source), b = earth.across(w, p, piece);
                const std::string at = std::to_string(depth) + " km, p " + std::to_string(p);
                EXPECT_EQ(a.tau, b.tau) << at;
                EXPECT_EQ(a.distance, b.distance) << at;
                EXPECT_EQ(a.turned, b.turned) << at;
                EXPECT_EQ(a.blocked, b.blocked) << at;
            }
        }
    }
}

// Halving the shells: the times converge, within a millisecond at 2.5 km.
TEST(Travel, TimesConvergeAsTheShellsAreHalved)
{
    const travel::EarthModel m = builtin("ak135");
    const travel::LayeredEarth coarse(m, 5.0), fine(m, 2.5), finer(m, 1.25);
    for (double distance : {20.0, 50.0, 90.0}) {
        const double a = first(travel::Source(coarse, 33), {"P"}, distance);
        const double b = first(travel::Source(fine, 33), {"P"}, distance);
        const double c = first(travel::Source(finer, 33), {"P"}, distance);
        EXPECT_LT(std::fabs(b - c), 1e-3) << distance;
        EXPECT_LE(std::fabs(b - c), std::fabs(a - b) + 1e-9) << distance;
    }
}

// The 410 and 660 km discontinuities fold the P branch: near 20 degrees
// from a shallow source, three arrivals of one phase.
TEST(Travel, TheUpperMantleTriplicates)
{
    const travel::LayeredEarth earth(builtin("iasp91"));
    const travel::Source source(earth, 10);
    size_t most = 0;
    for (double distance = 14; distance <= 30; distance += 0.5)
        most = std::max(most, source.arrivals("P", distance).size());
    EXPECT_GE(most, 3u);
}

// A homogeneous mantle over a core: the core's reflections are straight
// lines to the reflection point and back.
TEST(Travel, CoreReflectionsOfAHomogeneousMantle)
{
    travel::EarthModel m;
    m.radius = 6371;
    m.rows = {{0, 6.0, 3.5, 3}, {2891, 6.0, 3.5, 3}, {2891, 8.0, 0, 10}, {5150, 10.0, 0, 12},
              {5150, 11.0, 3.5, 13}, {6371, 11.2, 3.6, 13}};
    m.outer_core = 2891, m.inner_core = 5150;
    const travel::LayeredEarth earth(m, 50.0);
    const travel::Source source(earth, 0);
    const double rc = 6371 - 2891;
    for (double distance : {0.0, 20.0, 60.0}) {
        const double leg = std::sqrt(6371.0 * 6371 + rc * rc - 2 * 6371 * rc * std::cos(distance / 2 * degree));
        EXPECT_NEAR(first(source, {"PcP"}, distance), 2 * leg / 6.0, 1e-6) << distance;
        EXPECT_NEAR(first(source, {"ScS"}, distance), 2 * leg / 3.5, 1e-6) << distance;
    }
    EXPECT_NEAR(first(source, {"ScP"}, 0), 2891 / 3.5 + 2891 / 6.0, 1e-6);
}

// Each family of phases, its first arrival's slope the ray parameter; and
// the times against values for IASP91 computed here (surface source unless
// said), which a change of method must explain.
TEST(Travel, EachFamilyOfPhases)
{
    const travel::LayeredEarth earth(builtin("iasp91"), 2.0);
    const struct {
        const char *phase;
        double depth, distance, time;
    } cases[] = {
        {"PcP", 0, 0, 511.266},      {"PcP", 0, 40, 581.285},    {"ScS", 0, 40, 1064.883},
        {"ScP", 0, 40, 811.627},     {"PKP", 0, 150, 1191.937},  {"PKIKP", 0, 150, 1186.730},
        {"PKiKP", 0, 100, 1094.784}, {"SKS", 0, 100, 1466.760},  {"SKKS", 0, 110, 1568.912},
        {"pP", 100, 50, 547.815},    {"sS", 100, 50, 989.352},   {"sP", 100, 50, 559.326},
        {"PP", 0, 100, 1071.759},    {"SS", 0, 100, 1937.043},   {"Pdiff", 0, 110, 871.134},
        {"Sdiff", 0, 110, 1605.741}, {"Pn", 10, 5, 75.090},      {"Sn", 10, 5, 133.979},
        {"Pg", 10, 2, 36.453},       {"PKKP", 0, 100, 1804.387}, {"PKJKP", 0, 150, 1702.892},
    };
    for (const auto &c : cases) {
        const travel::Source source(earth, c.depth);
        const std::vector<travel::Arrival> at = source.arrivals(c.phase, c.distance);
        ASSERT_FALSE(at.empty()) << c.phase << " " << c.distance;
        EXPECT_NEAR(at[0].time, c.time, 1e-3) << c.phase << " " << c.distance;
        const double h = 1e-3;
        const double slope =
            (first(source, {c.phase}, c.distance + h) - first(source, {c.phase}, c.distance - h)) / (2 * h);
        // The long way round (PKKP at 100 degrees covers 260) the time
        // falls as the distance grows.
        if (c.distance > 0)
            EXPECT_NEAR(std::fabs(slope), at[0].ray_parameter, 1e-3) << c.phase << " " << c.distance;
    }
}

// Names that are no phase are refused, each saying why; and a shadow
// gives no arrival.
TEST(Travel, PhaseNamesRefusedAndShadows)
{
    const travel::LayeredEarth earth(builtin("iasp91"), 10.0);
    const travel::Source source(earth, 10);
    const struct {
        const char *name, *why;
    } refused[] = {
        {"", "\"\": an empty phase name"},
        {"PX", "\"PX\": no leg is called X"},
        {"Pp", "\"Pp\": p and s leave the source, first"},
        {"KP", "\"KP\": a phase leaves the source in the mantle or crust"},
        {"PK", "\"PK\": the ray does not come back to the surface"},
        {"PKdiff", "\"PKdiff\": diff follows P or S alone"},
        {"Pc", "\"Pc\": a reflection is followed by a leg of the same region"},
    };
    for (const auto &r : refused) {
        EXPECT_EQ(source.why(r.name), r.why);
        EXPECT_TRUE(source.arrivals(r.name, 50).empty()) << r.name;
    }
    EXPECT_EQ(source.why("PKIKP"), "");
    EXPECT_TRUE(source.arrivals("P", 120).empty());      // the core's shadow
    EXPECT_TRUE(source.arrivals("PKIKP", 100).empty());  // short of the inner core's reach
    EXPECT_TRUE(source.arrivals("Pdiff", 90).empty());   // before the core grazes
}

}  // namespace
