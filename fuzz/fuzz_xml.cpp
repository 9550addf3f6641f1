// The XML reader over arbitrary bytes: it must not crash or hang, each
// line it writes must have exactly its header's fields, and the text and
// the problems must not depend on the blocks the bytes come in.  The first
// byte chooses the block size; the rest is the file.
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
    std::string problems;
    files::Kind kind;
};

Read read(const char *p, size_t n, size_t block)
{
    files::XmlText reader(true, 8);
    Read r;
    size_t at = 0;
    while (at < n && reader.feed(p + at, std::min(block, n - at), false, r.text))
        at += std::min(block, n - at);
    reader.feed(nullptr, 0, true, r.text);
    for (const files::Problem &q : reader.problems())
        r.problems += std::to_string(q.line) + q.what + "\n";
    r.kind = reader.kind();
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t block = 1 + data[0] % 64;
    const char *p = reinterpret_cast<const char *>(data + 1);
    const size_t n = size - 1;
    const Read whole = read(p, n, n ? n : 1), pieces = read(p, n, block);
    check(whole.text == pieces.text && whole.problems == pieces.problems && whole.kind == pieces.kind);
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
