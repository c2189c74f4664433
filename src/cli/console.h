// Formatted console output, printf-style.
#pragma once

#include <cstdio>

// Writes to standard output; returns the number of characters written.
int PrintOut(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Writes to the given stream; returns the number of characters written.
int PrintTo(std::FILE* stream, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The text to print for a name that may be null: a null pointer given to "%s"
// is undefined behaviour in C, so it is shown as "(null)" by the caller.
inline const char* PrintableName(const char* name) {
    return name != nullptr ? name : "(null)";
}
