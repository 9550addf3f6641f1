// The system calls the filter reads and writes files with: POSIX, or on
// Windows their counterparts (io.h's read, write, open, close; the wait
// for input in reader.cpp).
#ifndef OSTREM_FILTER_SYSTEM_H
#define OSTREM_FILTER_SYSTEM_H

#include <fcntl.h>
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

#ifndef O_CLOEXEC
#define O_CLOEXEC 0  // Windows: no exec to guard against
#endif
#ifndef O_BINARY
#define O_BINARY 0  // POSIX: every file is binary
#endif

#endif
