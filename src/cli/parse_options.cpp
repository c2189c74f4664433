#include <cctype>
#include <climits>
#include <cstdlib>

#include "cli/settings.h"

namespace {

// atoi's reading of a number (leading blanks, a sign, digits up to the first
// other character, 0 without digits), saturated at the 32-bit range: the C
// library's atoi leaves out-of-range values undefined.
int ToNumber(const char* text) {
    const long long value = std::strtoll(text, nullptr, 10);
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

bool IsOption(const char* argument) {
    return argument[0] == '-' || argument[0] == '/';
}

// Applies an option that takes a value; false when the value is not accepted.
bool ApplyValue(char letter, const char* value) {
    switch (letter) {
        case 'a':
            if (value[0] == '4') {
                settings.family = AF_INET;
            } else if (value[0] == '6') {
                settings.family = AF_INET6;
            } else {
                return false;
            }
            return true;
        case 'c':
            settings.count = ToNumber(value);
            return true;
        case 'i':
            settings.ttl = ToNumber(value);
            return true;
        case 'l':
            settings.dataSize = ToNumber(value);
            return true;
        case 'm':
            settings.maxReplyMs = ToNumber(value);
            return true;
        default:
            return false;
    }
}

bool TakesValue(char letter) {
    return letter == 'a' || letter == 'c' || letter == 'i' || letter == 'l' || letter == 'm';
}

int Reject(const char* programName) {
    PrintUsage(programName);
    return 0;
}

}  // namespace

int ParseOptions(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (!IsOption(argument)) {
            settings.destinationName = argument;
            continue;
        }
        // Only the letter counts: "-count" is "-c", "-rx" is "-r".
        const char letter =
            static_cast<char>(std::tolower(static_cast<unsigned char>(argument[1])));
        if (letter == 'r') {
            settings.recordRoute = 1;
            continue;
        }
        if (!TakesValue(letter) || i + 1 >= argc) {
            return Reject(argv[0]);
        }
        if (!ApplyValue(letter, argv[++i])) {
            return Reject(argv[0]);
        }
    }
    return 1;
}
