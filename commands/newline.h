// Lines end in '\n' alone on every platform: Windows would otherwise turn
// each '\n' written to a standard stream into "\r\n", and a pipeline or a
// test comparing bytes would see other output there.  Standard input is
// read as it comes too; the filter handles a CRLF line ending itself.
#ifndef OSTREM_COMMANDS_NEWLINE_H
#define OSTREM_COMMANDS_NEWLINE_H

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

inline void binary_standard_streams()
{
#ifdef _WIN32
    _setmode(0, _O_BINARY);
    _setmode(1, _O_BINARY);
    _setmode(2, _O_BINARY);
#endif
}

#endif
