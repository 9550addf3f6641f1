// Most of a channel-level inventory is its channels' responses, and most
// of a catalogue with phases its picks and arrivals: elements no column
// of the FDSN text lies in.  The skimmer passes the content of such
// elements over before the parser sees it, by a scan for their end tag
// that knows comments, CDATA and processing instructions, so that the
// parser reads the rest at its pace and the file at the scan's.
//
// What the parser then reads is the file with each skimmed element's
// content replaced by its line breaks and, on its last line, as many
// spaces as it had bytes: every line and column after it is where it was
// in the file.  Only unprefixed names are skimmed (`<Channel`, not
// `<sta:Channel`), an element of the same name within one is counted, and
// a document with a DOCTYPE (whose entities could be markup) is read
// whole.  The content skimmed is not checked for well-formedness: a fault
// inside a channel's response is not seen, as nothing is read from it.
#ifndef OSTREM_STATION_FILES_SKIM_H
#define OSTREM_STATION_FILES_SKIM_H

#include <cstddef>
#include <string>

namespace files {

struct TagAt;

class Skimmer {
public:
    // The bytes the parser is to read for [p, p + n), appended to out; an
    // unfinished tag at the end is held for the next call.  last: the file
    // ends with these bytes.
    void pass(const char *p, size_t n, bool last, std::string &out);

private:
    enum class State { markup, comment, cdata, instruction, skipping, off };
    bool step(const char *b, size_t n, size_t &at, bool last, std::string &out);
    bool step_inside(const char *b, size_t n, size_t &at, bool last, std::string &out);
    bool step_tag(TagAt &t, size_t &at, std::string &out);
    bool step_end(TagAt &t, size_t &at, std::string &out);
    void take(const char *p, size_t n, std::string &out);
    void flush(std::string &out);

    std::string held_;          // the start of an unfinished tag
    State state_ = State::markup;
    State outer_ = State::markup;  // where a comment, CDATA or instruction returns to
    std::string name_;          // the element being skimmed
    size_t depth_ = 0;          // of that name, within it
    unsigned long breaks_ = 0;  // line breaks skimmed
    size_t column_ = 0;         // bytes skimmed since the last
    const char *run_ = nullptr, *run_end_ = nullptr;  // the parser's bytes not yet appended
};

}  // namespace files

#endif
