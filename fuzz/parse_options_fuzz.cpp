// Whole argument vectors for the command-line parser. Each argument of the
// input ends with a NUL byte (the last one may leave it out), so any vector
// can be expressed, also an empty one or one with empty arguments.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "cli/settings.h"
#include "fuzz_support.h"

namespace {

// Each argument in a block of its own, of exactly its size, so that reading
// past its NUL is caught.
std::vector<std::unique_ptr<char[]>> SplitArguments(const char* input, std::size_t size) {
    std::vector<std::unique_ptr<char[]>> arguments;
    std::size_t start = 0;
    while (start < size) {
        const char* end = static_cast<const char*>(std::memchr(input + start, '\0', size - start));
        const std::size_t length = (end != nullptr ? end - input : size) - start;
        auto argument = std::make_unique<char[]>(length + 1);
        std::memcpy(argument.get(), input + start, length);
        argument[length] = '\0';
        arguments.push_back(std::move(argument));
        start += length + 1;
    }
    return arguments;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SilenceStandardOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    char programName[] = "qping";
    const auto arguments = SplitArguments(reinterpret_cast<const char*>(data), size);
    std::vector<char*> argv{programName};
    for (const auto& argument : arguments) {
        argv.push_back(argument.get());
    }
    argv.push_back(nullptr);

    settings = EchoSettings{};
    const int accepted = ParseOptions(static_cast<int>(argv.size() - 1), argv.data());

    Require(accepted == 0 || accepted == 1);
    Require(settings.family == AF_UNSPEC || settings.family == AF_INET ||
            settings.family == AF_INET6);
    Require(settings.recordRoute == 0 || settings.recordRoute == 1);
    // The destination is the argument text itself, never a copy.
    Require(settings.destinationName == nullptr ||
            std::find(argv.begin() + 1, argv.end() - 1, settings.destinationName) !=
                argv.end() - 1);
    return 0;
}
