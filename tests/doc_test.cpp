// Every example in the README and the man pages is run, and the line it
// shows is compared with what the program prints, so that the documentation
// cannot drift from the programs.
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "run.h"

namespace {

struct Example {
    std::string where, prog, args, out, in;  // in: the filter's input, if any
};

std::string slurp(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Words as the shell splits them, with single quotes.
std::vector<std::string> split(const std::string &s)
{
    std::vector<std::string> words;
    std::string w;
    bool in_word = false, quoted = false;
    for (char c : s) {
        if (c == '\'' ) {
            quoted = !quoted;
            in_word = true;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\n')) {
            if (in_word)
                words.push_back(w);
            w.clear();
            in_word = false;
        } else {
            w += c;
            in_word = true;
        }
    }
    if (in_word)
        words.push_back(w);
    return words;
}

// printf's escapes as the examples use them.
std::string unescape(const std::string &s)
{
    std::string r = std::regex_replace(s, std::regex(R"(\\n)"), "\n");
    r = std::regex_replace(r, std::regex(R"(\\t)"), "\t");
    return std::regex_replace(r, std::regex(R"(\\r)"), "\r");
}

// Four forms: a shell line "$ sorvane ..." with its output on the next
// line; in running text, "`sorvane ...` prints `...`" (possibly wrapped);
// "$ printf '...' | ostrem ..." with its output up to the end of the
// example (".fi" in roff, a fence in Markdown); and a Markdown "console"
// block, whose command (continued over lines ending in a backslash) the
// shell runs in the source tree with the programs on PATH.
std::vector<Example> examples(const std::string &file)
{
    std::string text = slurp(file);
    EXPECT_FALSE(text.empty()) << "cannot read " << file;
    text = std::regex_replace(text, std::regex(R"(\\-)"), "-");  // roff minus
    text = std::regex_replace(text, std::regex(R"(\\e)"), "\\");  // roff backslash
    std::vector<Example> found;
    const std::regex piped(R"(\$ printf '([^']*)' \| ostrem ?([^\n]*)\n((?:[^\n]*\n)*?)(?:\.fi|```))");
    for (auto m = std::sregex_iterator(text.begin(), text.end(), piped);
         m != std::sregex_iterator(); ++m)
        found.push_back({file, "ostrem", (*m)[2], (*m)[3], unescape((*m)[1])});
    const std::regex console(R"(```console\n\$ ((?:[^\n]*\\\n)*[^\n]*)\n((?:[^\n]*\n)*?)```)");
    for (auto m = std::sregex_iterator(text.begin(), text.end(), console);
         m != std::sregex_iterator(); ++m)
        found.push_back({file, "sh", (*m)[1], (*m)[2], ""});
    const std::regex shell(R"(\$ (sorvane|brovic) ([^\n]*)\n([^\n]*)\n)");
    const std::regex prose(R"(`(sorvane|brovic)\s([^`]*)`\s+prints\s+`([^`]*)`)");
    for (const std::regex &re : {shell, prose})
        for (auto m = std::sregex_iterator(text.begin(), text.end(), re);
             m != std::sregex_iterator(); ++m)
            found.push_back({file, (*m)[1], (*m)[2], std::string((*m)[3]) + "\n", ""});
    return found;
}

// Where the built programs are, for the console examples.  Under an
// emulator, a folder of scripts that start each program through it.
std::string bin_dir()
{
    std::string f = FILTER_PATH;
    std::string dir = f.substr(0, f.rfind('/'));
    if (shell_command(f) == f)
        return dir;
    std::string wrappers = dir + "/emulated";
    run_shell("mkdir -p " + wrappers);
    for (const char *prog : {"sorvane", "brovic", "ostrem"})
        std::ofstream(wrappers + "/" + prog)
            << "#!/bin/sh\nexec " << shell_command(dir + "/" + prog) << " \"$@\"\n";
    run_shell("chmod +x " + wrappers + "/*");
    return wrappers;
}

TEST(Documentation, EveryExampleHolds)
{
    int seen = 0;
    for (const char *file : {SOURCE_DIR "/README.md", SOURCE_DIR "/man/sorvane.1.in",
                             SOURCE_DIR "/man/brovic.1.in", SOURCE_DIR "/man/ostrem.1.in"}) {
        std::vector<Example> found = examples(file);
        EXPECT_GE(found.size(), 3u) << file;
        for (const Example &e : found) {
            std::string prog = e.prog == "sorvane" ? SORVANE_PATH
                               : e.prog == "brovic" ? BROVIC_PATH
                                                    : FILTER_PATH;
            if (e.prog == "sh" && !have_shell())
                continue;  // the shell's examples need a POSIX shell
            if (!OSTREM_HAVE_ELLIPSOID && std::regex_search(e.args, std::regex("ostrem .*-k|^-k| -k")))
                continue;  // kilometres need the ellipsoid, which this build lacks
            TempFile in(e.in);
            Outcome r = e.prog == "sh" ? run_shell("cd " SOURCE_DIR " && " + e.args,
                                                   {"PATH=" + bin_dir() + ":/usr/bin:/bin", "LC_ALL=C"})
                                       : run(prog, split(e.args), {}, in.path);
            EXPECT_EQ(r.out, e.out) << e.where << ": " << e.prog << " " << e.args;
            // A filter example may show a bad line on purpose.
            EXPECT_EQ(r.status, r.err.empty() ? 0 : 1) << e.where << ": " << e.prog << " " << e.args;
            seen++;
        }
    }
    RecordProperty("examples", seen);
}

}  // namespace
