// Reading an earth model: .tvel and .nd, checked row by row, the
// discontinuities found by name (.nd) or from the velocities (.tvel).
#include "earth_model.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "number.h"

namespace travel {

namespace {

bool ends_with(const std::string &s, std::string_view tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string at(const std::string &name, unsigned long line, const std::string &why)
{
    return name + ":" + std::to_string(line) + ": " + why;
}

// The blank-separated fields of a line.
std::vector<std::string_view> fields_of(std::string_view line)
{
    std::vector<std::string_view> fields;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            i++;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
            i++;
        if (i > start)
            fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

// One row's numbers, or what is wrong with them.
std::string row_of(const std::vector<std::string_view> &fields, bool nd, Row &row)
{
    if (fields.size() < 4 || fields.size() > (nd ? 6u : 4u))
        return "a row holds depth, vp, vs and density" + std::string(nd ? " (and Qp, Qs)" : "");
    double v[4];
    for (int k = 0; k < 4; k++) {
        // The reader looks at the byte past a number's end: give it a
        // string of its own, not a view that may end where the text does.
        const std::string f(fields[static_cast<size_t>(k)]);
        if (!number::read(f.data(), f.data() + f.size(), &v[k]) || !std::isfinite(v[k]))
            return "field " + std::to_string(k + 1) + " is not a number: " + f;
    }
    row = {v[0], v[1], v[2], v[3]};
    if (row.vp <= 0 || row.vs < 0 || row.density <= 0)
        return "velocities and density must be positive (vs may be 0)";
    return "";
}

// A .tvel's boundaries, from its velocities: the core where vs falls to 0,
// the inner core where it rises again, the Moho where vp jumps above 7.5
// km/s in the top 100 km.
void boundaries_from_velocities(EarthModel &m)
{
    for (size_t i = 1; i < m.rows.size(); i++) {
        const Row &a = m.rows[i - 1], &b = m.rows[i];
        if (a.depth != b.depth)
            continue;
        if (m.moho == 0 && b.depth <= 100 && a.vp < 7.5 && b.vp >= 7.5)
            m.moho = b.depth;
        if (m.outer_core == 0 && a.vs > 0 && b.vs == 0)
            m.outer_core = b.depth;
        if (m.outer_core != 0 && m.inner_core == 0 && a.vs == 0 && b.vs > 0)
            m.inner_core = b.depth;
    }
}

}  // namespace

std::string read_model(std::string_view text, const std::string &name, EarthModel &model)
{
    const bool nd = ends_with(name, ".nd");
    EarthModel m;
    m.name = name;
    unsigned long line_number = 0;
    double *named = nullptr;  // .nd: the boundary the next row begins
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        line_number++;
        if (!nd && line_number <= 2)
            continue;  // .tvel's two header lines
        const std::vector<std::string_view> fields = fields_of(line);
        if (fields.empty())
            continue;
        if (nd && fields.size() == 1 && (fields[0] == "mantle" || fields[0] == "outer-core" ||
                                         fields[0] == "inner-core")) {
            named = fields[0] == "mantle" ? &m.moho : fields[0] == "outer-core" ? &m.outer_core : &m.inner_core;
            continue;
        }
        Row row;
        const std::string wrong = row_of(fields, nd, row);
        if (!wrong.empty())
            return at(name, line_number, wrong);
        if (m.rows.empty() && row.depth != 0)
            return at(name, line_number, "the first row must be at depth 0");
        if (!m.rows.empty() && row.depth < m.rows.back().depth)
            return at(name, line_number, "depths must not decrease");
        if (m.rows.size() >= 2 && row.depth == m.rows.back().depth &&
            m.rows[m.rows.size() - 2].depth == row.depth)
            return at(name, line_number, "a depth is given at most twice (a discontinuity)");
        if (named) {
            *named = row.depth;
            named = nullptr;
        }
        m.rows.push_back(row);
    }
    if (m.rows.size() < 2)
        return name + ": the model has fewer than two rows";
    m.radius = m.rows.back().depth;
    if (!nd)
        boundaries_from_velocities(m);
    if (!(m.outer_core > 0 && m.inner_core > m.outer_core && m.inner_core < m.radius))
        return name + ": the model has no outer and inner core (vs 0 in the outer core only)";
    model = std::move(m);
    return "";
}

std::string load_model(const std::string &name_or_path, EarthModel &model)
{
    const std::string_view builtin = builtin_model_text(name_or_path);
    if (!builtin.empty())
        return read_model(builtin, name_or_path, model);
    std::ifstream in(name_or_path, std::ios::binary);
    if (!in)
        return name_or_path + ": " + std::strerror(errno) + " (the built-in models are iasp91 and ak135)";
    std::ostringstream text;
    text << in.rdbuf();
    return read_model(text.str(), name_or_path, model);
}

}  // namespace travel
