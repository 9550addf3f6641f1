// Travel times for many pairs, from a source's branches over the model's
// grid of rays: against the roots refined ray by ray, at every depth the
// upper shells' sums reach and past them; the earliest of several phases;
// what has no arrival; and phase lists as the filter reads them.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "arrivals.h"
#include "travel_times.h"
#include "../commands/ostrem/travel_columns.h"

namespace {

const travel::TimesModel &iasp91()
{
    static const travel::TimesModel model = [] {
        travel::EarthModel m;
        travel::load_model("iasp91", m);
        return travel::TimesModel(m);
    }();
    return model;
}

// Every arrival refined ray by ray has one from the branches within a
// tenth of a millisecond (measured: 7e-5 s at worst), and the first
// arrival is the earliest of them.  The depths fall on a shell's top, in
// the crust, inside a shell, past the upper shells' sums.
TEST(TravelTimes, TheBranchesGiveTheRefinedRoots)
{
    const std::vector<std::string> phases = {"P", "S", "pP", "sS", "PP", "PcP", "ScP", "SKS", "PKIKP", "PKiKP"};
    const travel::LayeredEarth &earth = iasp91().earth();
    for (double depth : {0.0, 10.0, 35.0, 412.3, 805.0}) {
        const travel::SourceTimes times(iasp91(), depth, phases);
        const travel::Source source(earth, depth);
        for (size_t k = 0; k < phases.size(); k++)
            for (double distance = 3.1; distance <= 180; distance += 11.3) {
                const std::vector<travel::Arrival> fast = times.arrivals(k, distance);
                for (const travel::Arrival &refined : source.arrivals(phases[k], distance)) {
                    double nearest = INFINITY;
                    for (const travel::Arrival &a : fast)
                        nearest = std::min(nearest, std::fabs(a.time - refined.time));
                    EXPECT_LT(nearest, 1e-4) << phases[k] << " at " << distance << " from " << depth << " km";
                }
                double time, ray_parameter;
                times.first(k, distance, time, ray_parameter);
                if (fast.empty()) {
                    EXPECT_TRUE(std::isnan(time) && std::isnan(ray_parameter));
                } else {
                    EXPECT_EQ(time, fast.front().time);
                    EXPECT_EQ(ray_parameter, fast.front().ray_parameter);
                }
            }
    }
}

// Head and diffracted waves, shadows, names that are no phase, depths and
// distances out of range.
TEST(TravelTimes, WhereThereIsNoArrival)
{
    const travel::SourceTimes times(iasp91(), 10, {"P", "PKIKP", "Pdiff", "Pn", "PX"});
    const struct {
        size_t phase;
        double distance;
        bool arrives;
    } cases[] = {
        {0, 95, true},   {0, 120, false}, {1, 100, false}, {1, 150, true}, {2, 90, false},
        {2, 110, true},  {3, 5, true},    {3, 0.5, false}, {4, 50, false}, {0, -1, false},
        {0, 180.5, false}, {0, NAN, false},
    };
    for (const auto &c : cases) {
        double time, ray_parameter;
        times.first(c.phase, c.distance, time, ray_parameter);
        EXPECT_EQ(std::isfinite(time), c.arrives) << c.phase << " at " << c.distance;
        EXPECT_EQ(times.arrivals(c.phase, c.distance).empty(), !c.arrives);
    }
    EXPECT_EQ(times.why(4), "\"PX\": no leg is called X");
    const travel::SourceTimes deep(iasp91(), 3000, {"P"});
    EXPECT_EQ(deep.why(0), "the source's depth must be from -10 (taken as 0) to 2889.000000 km");
    // A catalogue's depth above sea level is at the surface.
    const travel::SourceTimes above(iasp91(), -2, {"P"}), surface(iasp91(), 0, {"P"});
    double t_above, t_surface, p;
    above.first(0, 30, t_above, p);
    surface.first(0, 30, t_surface, p);
    EXPECT_EQ(t_above, t_surface);
    EXPECT_EQ(travel::SourceTimes(iasp91(), -10.5, {"P"}).why(0).empty(), false);
}

TEST(TravelTimes, PhaseLists)
{
    const struct {
        const char *text;
        std::vector<std::vector<std::string>> items;
        const char *wrong;
    } cases[] = {
        {"P", {{"P"}}, ""},
        {"P+Pdiff+PKIKP,S", {{"P", "Pdiff", "PKIKP"}, {"S"}}, ""},
        {"firstS,pP", {{"s", "S", "Sn", "Sg", "Sdiff", "SKS", "SKiKS", "SKIKS"}, {"pP"}}, ""},
        {"P,,S", {}, "\"P,,S\": an empty phase name"},
        {"P+", {}, "\"P+\": an empty phase name"},
        {"", {}, "\"\": an empty phase name"},
    };
    for (const auto &c : cases) {
        std::vector<std::vector<std::string>> items;
        EXPECT_EQ(travel::read_phase_list(c.text, items), c.wrong) << c.text;
        EXPECT_EQ(items, c.items) << c.text;
    }
}

// A sphere whose eta = r / v is c r^2 throughout the mantle, its rows 5 km
// apart so that every shell's power law is the sphere's own: a ray from
// the surface turning above the core covers Delta = (2/k) arccos(p / eta_R)
// and takes T = (2/k) eta_R sin(k Delta / 2), here eta_R sin(Delta).
TEST(TravelTimes, APowerLawSphereInClosedForm)
{
    const double radius = 6371, surface_velocity = 6, core = 2891;
    std::string text = "power law\neta = c r^2\n";
    auto row = [&](double depth, double vp, double vs) {
        char line[96];
        std::snprintf(line, sizeof line, "%.3f %.17g %.17g 4\n", depth, vp, vs);
        text += line;
    };
    for (double depth = 0;; depth += 5) {
        const double d = std::min(depth, core);
        const double v = surface_velocity * radius / (radius - d);  // v = 1 / (c r)
        row(d, v, v / 1.8);
        if (d == core)
            break;
    }
    row(core, 8, 0);  // the core: a discontinuity, vs falling to 0
    row(5150, 10, 0);
    row(5150, 11, 3.5);
    row(radius, 11, 3.5);
    travel::EarthModel m;
    ASSERT_EQ(travel::read_model(text, "power.tvel", m), "");
    const travel::TimesModel model(m);
    const travel::SourceTimes times(model, 0, {"P", "S"});
    const travel::LayeredEarth earth(m);
    const travel::Source refined(earth, 0);
    const double eta = radius / surface_velocity;
    for (double distance : {2.0, 10.0, 25.0, 40.0, 55.0, 68.0}) {
        const double delta = distance * 3.141592653589793 / 180;
        double t, p;
        times.first(0, distance, t, p);
        EXPECT_NEAR(t, eta * std::sin(delta), 1e-4) << distance;
        EXPECT_NEAR(refined.arrivals("P", distance).at(0).time, eta * std::sin(delta), 1e-6) << distance;
        times.first(1, distance, t, p);
        EXPECT_NEAR(t, 1.8 * eta * std::sin(delta), 2e-4) << distance;
    }
}

// A phase's times are the same bits whatever else is asked with it, and
// whichever phase first made the model sample a region.
TEST(TravelTimes, APhaseIsTheSameWhateverElseIsAsked)
{
    travel::EarthModel m;
    travel::load_model("ak135", m);
    const travel::TimesModel core_first(m), mantle_first(m);
    const travel::SourceTimes warm(core_first, 50, {"PKIKP", "SKKS"});  // the core's regions first
    const travel::SourceTimes alone(mantle_first, 123.4, {"P"}), among(core_first, 123.4, {"SKS", "P", "ScP"});
    for (double distance = 0.5; distance < 180; distance += 3.7) {
        double a, b, pa, pb;
        alone.first(0, distance, a, pa);
        among.first(1, distance, b, pb);
        EXPECT_EQ(std::isnan(a), std::isnan(b)) << distance;
        if (!std::isnan(a)) {
            EXPECT_EQ(a, b) << distance;
            EXPECT_EQ(pa, pb) << distance;
        }
    }
}

// Threads sharing a model that samples its regions on first use, each
// with sources of its own: the same times as one thread alone.
TEST(TravelTimes, ThreadsShareAModel)
{
    travel::EarthModel m;
    travel::load_model("iasp91", m);
    const travel::TimesModel shared(m);
    const std::vector<std::vector<std::string>> asked = {{"P", "S"}, {"PKIKP"}, {"ScS", "pP"}, {"SKS", "PP"}};
    auto times = [&](const travel::TimesModel &model, size_t k) {
        std::vector<double> found;
        for (double depth : {15.0, 250.0}) {
            const travel::SourceTimes source(model, depth, asked[k]);
            for (size_t phase = 0; phase < asked[k].size(); phase++)
                for (double distance = 1; distance < 180; distance += 9) {
                    double t, p;
                    source.first(phase, distance, t, p);
                    found.push_back(t);
                }
        }
        return found;
    };
    std::vector<std::vector<double>> got(asked.size());
    std::vector<std::thread> threads;
    for (size_t k = 0; k < asked.size(); k++)
        threads.emplace_back([&, k] { got[k] = times(shared, k); });
    for (std::thread &t : threads)
        t.join();
    const travel::TimesModel alone(m);
    for (size_t k = 0; k < asked.size(); k++) {
        const std::vector<double> want = times(alone, k);
        ASSERT_EQ(got[k].size(), want.size());
        for (size_t i = 0; i < want.size(); i++)
            EXPECT_TRUE(got[k][i] == want[i] || (std::isnan(got[k][i]) && std::isnan(want[i]))) << k << " " << i;
    }
}

// A thread's kept sources are found by model, depth and phases: never a
// source of another model, even one made where a freed model lay, nor of
// another list of phases; and the earliest of a list is the least of its
// phases' first arrivals.
TEST(TravelTimes, KeptSourcesAreTheirModelsAndPhases)
{
    travel::EarthModel iasp, ak;
    travel::load_model("iasp91", iasp);
    travel::load_model("ak135", ak);
    auto first_p = [](const travel::TimesModel &model, const std::vector<std::string> &phases) {
        double t, p;
        travel::kept_source(model, 33, phases).earliest(60, t, p);
        return t;
    };
    for (int round = 0; round < 4; round++) {
        // Freed and made again, the next model may well take the address.
        auto one = std::make_unique<travel::TimesModel>(round % 2 ? ak : iasp);
        const double kept = first_p(*one, {"P"});
        const travel::SourceTimes fresh(*one, 33, {"P"});
        double t, p;
        fresh.first(0, 60, t, p);
        EXPECT_EQ(kept, t) << round;
    }
    const travel::TimesModel &model = iasp91();
    const double p_alone = first_p(model, {"P"}), s_alone = first_p(model, {"S"});
    EXPECT_LT(p_alone, s_alone);
    EXPECT_EQ(first_p(model, {"S", "P"}), p_alone);
    EXPECT_EQ(first_p(model, {"S"}), s_alone);
}

// Instants as -I and the requests write them: across a leap day, a year's
// end and 1970, before it, and rounded to the millisecond.
TEST(TravelTimes, InstantsAfterTheOrigin)
{
    const struct {
        int64_t seconds;
        int32_t nanoseconds;
        double after;
        const char *text;
    } cases[] = {
        {1299822384, 120000000, 743.434, "2011-03-11T05:58:47.554Z"},
        {951782399, 0, 1.0, "2000-02-29T00:00:00.000Z"},     // 2000 is a leap year
        {4107542399, 0, 1.5, "2100-03-01T00:00:00.500Z"},    // 2100 is not
        {1704067199, 999600000, 0.0, "2024-01-01T00:00:00.000Z"},  // 0.9996 rounds up
        {0, 0, -0.25, "1969-12-31T23:59:59.750Z"},
        {-86400, 0, 0.0, "1969-12-31T00:00:00.000Z"},
        {1704067200, 0, 0.0004, "2024-01-01T00:00:00.000Z"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(filter::instant_after({c.seconds, c.nanoseconds}, c.after), c.text) << c.seconds;
        std::string plain = c.text;
        plain.pop_back();
        EXPECT_EQ(filter::instant_after({c.seconds, c.nanoseconds}, c.after, false), plain);
    }
}

}  // namespace
