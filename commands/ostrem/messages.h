// Every message the filter writes: "ostrem: ", the text as printf formats
// it, and a newline, in one write to the stream.
#ifndef OSTREM_FILTER_MESSAGES_H
#define OSTREM_FILTER_MESSAGES_H

#include <cstdarg>
#include <cstdio>

namespace filter {

constexpr unsigned long max_messages = 100;  // bad lines reported per run

#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
inline void say(FILE *to, const char *format, ...)
{
    char text[8192];  // a file's name and a bad line's reason, and room to spare
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::fprintf(to, "ostrem: %s\n", text);
}

}  // namespace filter

#endif
