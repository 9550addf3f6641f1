// Every example in the README, the guide and the man pages is run, and the line it
// shows is compared with what the program prints, so that the documentation
// cannot drift from the programs.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
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

// The front page, the developers' notes, every page of the guide, the
// manual pages.
std::vector<std::string> documents()
{
    std::vector<std::string> files = {SOURCE_DIR "/README.md", SOURCE_DIR "/HACKING.md",
                                      SOURCE_DIR "/man/sorvane.1.in", SOURCE_DIR "/man/brovic.1.in",
                                      SOURCE_DIR "/man/ostrem.1.in"};
    std::vector<std::string> pages;
    for (const auto &entry : std::filesystem::directory_iterator(SOURCE_DIR "/docs"))
        if (entry.path().extension() == ".md")
            pages.push_back(entry.path().string());
    std::sort(pages.begin(), pages.end());
    files.insert(files.end(), pages.begin(), pages.end());
    return files;
}

TEST(Documentation, EveryExampleHolds)
{
    int seen = 0;
    size_t documented = 0;
    for (const std::string &file : documents()) {
        std::vector<Example> found = examples(file);
        documented += found.size();
        if (file.find("/man/") != std::string::npos || file.find("README") != std::string::npos)
            EXPECT_GE(found.size(), 3u) << file;
        for (const Example &e : found) {
            std::string prog = e.prog == "sorvane" ? SORVANE_PATH
                               : e.prog == "brovic" ? BROVIC_PATH
                                                    : FILTER_PATH;
            if (e.prog == "sh" && !have_shell())
                continue;  // the shell's examples need a POSIX shell
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
    EXPECT_GE(documented, 50u) << "the examples of the README, the guide and the man pages";
    RecordProperty("examples", seen);
}

// An option and the name of its value ("" for none): "-e LAT,LON".
using OptionSet = std::set<std::pair<std::string, std::string>>;

// "-e LAT,LON", "--channels", "-h": each into the set.
void add_options(const std::string &text, OptionSet &set)
{
    static const std::regex one(R"((--?[A-Za-z][-a-z]*)(?: +([A-Z]+(?:,[A-Z]+)*))?)");
    for (auto m = std::sregex_iterator(text.begin(), text.end(), one); m != std::sregex_iterator(); ++m)
        set.insert({(*m)[1], (*m)[2]});
}

// The filter's options as --help lists them, as the man page's OPTIONS
// give them, and as the guide's table does: the same options, with the
// same names for their values, in all three.
TEST(Documentation, TheOptionsAreTheSameInTheHelpTheManPageAndTheGuide)
{
    OptionSet help, man, guide;
    const Outcome r = run(FILTER_PATH, {"--help"});
    static const std::regex help_line(R"(\n  (-[^\n]*?)(?:  |\n))");
    for (auto m = std::sregex_iterator(r.out.begin(), r.out.end(), help_line); m != std::sregex_iterator(); ++m)
        add_options((*m)[1], help);
    add_options("--version", help);  // after the help's last entry: "-h, --help  this help;  --version"

    std::string page = slurp(SOURCE_DIR "/man/ostrem.1.in");
    page = page.substr(page.find(".SH OPTIONS"));
    page = page.substr(0, page.find("\n.SH ", 1));
    page = std::regex_replace(page, std::regex(R"(\\-)"), "-");
    page = std::regex_replace(page, std::regex(R"(\\f[A-Z])"), "");
    static const std::regex man_entry(R"(\.TP\n\.B[IR]? ([^\n]*))");
    for (auto m = std::sregex_iterator(page.begin(), page.end(), man_entry); m != std::sregex_iterator(); ++m)
        add_options(std::regex_replace(std::string((*m)[1]), std::regex(R"(")"), ""), man);

    const std::string table = slurp(SOURCE_DIR "/docs/filter.md");
    static const std::regex row(R"(\n\| (`-[^|]*) \|)");
    for (auto m = std::sregex_iterator(table.begin(), table.end(), row); m != std::sregex_iterator(); ++m)
        add_options(std::regex_replace(std::string((*m)[1]), std::regex("`"), ""), guide);

    EXPECT_GE(help.size(), 30u);
    EXPECT_EQ(help, man);
    EXPECT_EQ(help, guide);
}

}  // namespace
