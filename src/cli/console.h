// Formatted console output, printf-style.
#pragma once

#include <cstdio>

// Lets the compiler check the arguments against the format. MinGW's C++
// library prints through MinGW's own C99 printf, whose rules are GCC's
// gnu_printf; its plain printf archetype would apply Microsoft's rules there.
#ifdef __MINGW32__
#define PRINTF_STYLE(formatIndex, firstArgument) \
    __attribute__((format(gnu_printf, formatIndex, firstArgument)))
#else
#define PRINTF_STYLE(formatIndex, firstArgument) \
    __attribute__((format(printf, formatIndex, firstArgument)))
#endif

// Writes to standard output; returns the number of characters written.
int PrintOut(const char* format, ...) PRINTF_STYLE(1, 2);

// Writes to the given stream; returns the number of characters written.
int PrintTo(std::FILE* stream, const char* format, ...) PRINTF_STYLE(2, 3);

// The text to print for a name that may be null: a null pointer given to "%s"
// is undefined behaviour in C, so it is shown as "(null)" by the caller.
inline const char* PrintableName(const char* name) {
    return name != nullptr ? name : "(null)";
}
