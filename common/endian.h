// Whether the bytes of an integer lie in memory in the order of the text
// they were loaded from (the first byte lowest): then the readers and
// writers of digits may move eight or four characters as one integer.
// GCC and Clang say so; elsewhere the one-character paths are used.
#ifndef OSTREM_COMMON_ENDIAN_H
#define OSTREM_COMMON_ENDIAN_H

#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#define OSTREM_LITTLE_ENDIAN 1
#else
#define OSTREM_LITTLE_ENDIAN 0
#endif

#endif
