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

// The setting a numeric option writes; null for any other letter.
int* NumericSetting(char letter) {
    switch (letter) {
        case 'c':
            return &settings.count;
        case 'i':
            return &settings.ttl;
        case 'l':
            return &settings.dataSize;
        case 'm':
            return &settings.maxReplyMs;
        default:
            return nullptr;
    }
}

// Applies the value of -a; false when its first character is neither 4 nor 6.
bool ApplyFamily(const char* value) {
    if (value[0] == '4') {
        settings.family = AF_INET;
    } else if (value[0] == '6') {
        settings.family = AF_INET6;
    } else {
        return false;
    }
    return true;
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
        int* number = NumericSetting(letter);
        if ((letter != 'a' && number == nullptr) || i + 1 >= argc) {
            return Reject(argv[0]);
        }
        const char* value = argv[++i];
        if (number != nullptr) {
            *number = ToNumber(value);
        } else if (!ApplyFamily(value)) {
            return Reject(argv[0]);
        }
    }
    return 1;
}
