// The XML reader over arbitrary bytes: it must not crash or hang, each
// line it writes must have exactly its header's fields, the text and the
// problems must not depend on the blocks the bytes come in, and where the
// XML read whole is well-formed, skimming must give what reading it whole
// gives (where the
// XML is not well-formed, expat may find that a token later, or word it
// otherwise, in other blocks: then the message alone may differ).  The first
// byte chooses the block size (its low six bits) and a ranking of magnitude
// types (its two high bits); the rest is the file.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fdsn_xml.h"

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

struct Read {
    std::string text;
    std::string problems;  // without the malformation's
    files::Kind kind;
    bool malformed;
};

Read read(const char *p, size_t n, size_t block, const files::Magnitudes &m, bool whole = false)
{
    files::XmlText reader(true, 8);
    reader.choose(m);
    if (whole)
        reader.read_whole();
    Read r;
    size_t at = 0;
    while (at < n && reader.feed(p + at, std::min(block, n - at), false, r.text))
        at += std::min(block, n - at);
    reader.feed(nullptr, 0, true, r.text);
    r.malformed = reader.malformed();
    const auto &all = reader.problems();
    const size_t kept = all.size() - (r.malformed && !all.empty() && reader.problem_count() <= 8);
    for (size_t k = 0; k < kept; k++)
        r.problems += std::to_string(all[k].line) + all[k].what + "\n";
    r.kind = reader.kind();
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t block = 1 + data[0] % 64;
    files::Magnitudes m;
    if (data[0] & 0x40)
        files::magnitude_types("Mw,mb,ML", m);
    m.instead = (data[0] & 0x80) != 0;
    const char *p = reinterpret_cast<const char *>(data + 1);
    const size_t n = size - 1;
    const Read whole = read(p, n, n ? n : 1, m), pieces = read(p, n, block, m);
    check(whole.text == pieces.text && whole.problems == pieces.problems && whole.kind == pieces.kind &&
          whole.malformed == pieces.malformed);
    const Read parsed = read(p, n, block, m, true);
    if (!parsed.malformed)
        check(parsed.text == whole.text && parsed.problems == whole.problems && parsed.kind == whole.kind &&
              !whole.malformed);
    if (whole.text.empty())
        return 0;
    check(whole.kind == files::Kind::stations || whole.kind == files::Kind::events);
    const size_t fields = whole.kind == files::Kind::stations ? 8 : 13;
    size_t start = 0, bars = 0;
    for (size_t k = 0; k < whole.text.size(); k++) {
        const char c = whole.text[k];
        check(c != '\r' && c != '\0');
        if (c == '|')
            bars++;
        if (c == '\n') {
            check(bars + 1 == fields && k > start);
            bars = 0;
            start = k + 1;
        }
    }
    check(whole.text.back() == '\n');
    return 0;
}
