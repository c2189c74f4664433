#include "cli/console.h"

#include <cstdarg>

int PrintOut(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int written = std::vfprintf(stdout, format, arguments);
    va_end(arguments);
    // Results are shown as they happen, also when the output is a pipe.
    std::fflush(stdout);
    return written;
}

int PrintTo(std::FILE* stream, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int written = std::vfprintf(stream, format, arguments);
    va_end(arguments);
    return written;
}
