// The number reader and the number writers alone, fast enough to explore
// deeply: the text up to the first blank, NUL or newline is a number to
// the reader exactly when strtod reads all of it, with the same bits; so
// is the input spelled with what numbers are made of; and the first four
// and eight bytes, as a float and a double, are written exactly as printf
// writes them, whatever the value, with the decimals the next byte says.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "number.h"
#include "../commands/ostrem/format.h"

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void same_as_strtod(const std::string &text)
{
    char *end = nullptr;
    double want = text.empty() ? 0 : std::strtod(text.c_str(), &end), got;
    bool whole = !text.empty() && !std::isspace(static_cast<unsigned char>(text[0])) &&
                 end == text.c_str() + text.size();
    bool ok = number::read(text.data(), text.data() + text.size(), &got);
    check(ok == whole);
    check(!ok || std::memcmp(&got, &want, sizeof got) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    size_t n = 0;
    while (n < size && data[n] != ' ' && data[n] != '\0' && data[n] != '\n')
        n++;
    same_as_strtod(std::string(reinterpret_cast<const char *>(data), n));
    // Plain decimals of every length, signs and points in odd places,
    // exponents: what random bytes seldom spell.
    static const char alphabet[] = "0123456789012345678901234567890123456789..--+eE";
    std::string spelled;
    for (size_t i = 0; i < size && i < 40 && data[i] != '\n'; i++)
        spelled += alphabet[data[i] % (sizeof alphabet - 1)];
    same_as_strtod(spelled);

    if (size >= 9) {
        float f;
        double d;
        std::memcpy(&f, data, sizeof f);
        std::memcpy(&d, data, sizeof d);
        const int decimals = data[8] % 10;
        char want[400], got[400];
        std::snprintf(want, sizeof want, "%.2f", static_cast<double>(f));
        *filter::put_value(got, f) = '\0';
        check(std::strcmp(want, got) == 0);
        // Also moved into the range where the exact integer path (not
        // printf) writes it.
        int e;
        for (double x : {d, std::fmod(d, 1e9), std::ldexp(std::frexp(d, &e), data[8] % 40 - 30)}) {
            std::snprintf(want, sizeof want, "%.*f", decimals, x);
            *filter::fixed_writer(decimals)(got, x) = '\0';
            check(std::strcmp(want, got) == 0);
        }
    }
    return 0;
}
