// The option scanner of the console tools (see options.h).
#include "tools/console/options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int optionIndex = 1;
const char* optionCursor = nullptr;
const char* optionArgument = nullptr;

void option_reset() {
    optionCursor = nullptr;
    optionIndex = 1;
    optionArgument = nullptr;
}

int option_next(int argc, const char* const* argv, const char* options, const char* program,
                const char* operands) {
    int letter = option_next_checked(argc, argv, options);
    if (letter == '?') option_usage(program, options, operands);
    return letter;
}

int option_next_checked(int argc, const char* const* argv, const char* options) {
    if (optionIndex >= argc) return -1;
    if (optionCursor == nullptr) {
        const char* arg = argv[optionIndex];
        if (arg == nullptr || arg[0] != '-') return -1;
        if (std::strcmp(arg, "--") == 0) {
            ++optionIndex;
            return -1;
        }
        optionCursor = arg + 1;
    }
    int letter = static_cast<unsigned char>(*optionCursor);
    if (letter == 0) {   // a lone "-"
        ++optionIndex;
        optionCursor = nullptr;
        return -1;
    }
    ++optionCursor;
    const char* spec = letter == ':' ? nullptr : std::strchr(options, letter);
    if (spec == nullptr) {
        if (*optionCursor == '\0') {
            ++optionIndex;
            optionCursor = nullptr;
        }
        optionArgument = nullptr;
        return '?';
    }
    if (spec[1] == ':') {
        ++optionIndex;
        if (*optionCursor != '\0') {
            optionArgument = optionCursor;
        } else {
            if (optionIndex >= argc || argv[optionIndex] == nullptr) {
                optionCursor = nullptr;
                optionArgument = nullptr;
                return '?';
            }
            optionArgument = argv[optionIndex];
            ++optionIndex;
        }
        optionCursor = nullptr;
        return letter;
    }
    if (*optionCursor == '\0') {
        ++optionIndex;
        optionCursor = nullptr;
    }
    optionArgument = nullptr;
    return letter;
}

std::string option_usage_line(const char* program, const char* options, const char* operands) {
    std::string line = std::string("Usage: ") + (program != nullptr ? program : "");
    std::string plain;
    for (const char* p = options; *p != '\0'; ++p) {
        if (*p == ':') continue;
        if (p[1] != ':') plain.push_back(*p);
    }
    if (!plain.empty()) line += " [-" + plain + "]";
    for (const char* p = options; *p != '\0'; ++p) {
        if (*p != ':' && p[1] == ':') line += std::string(" [-") + *p + "...]";
    }
    if (operands != nullptr) line += std::string(" ") + operands;
    return line;
}

void option_usage(const char* program, const char* options, const char* operands) {
    std::string line = option_usage_line(program, options, operands);
    std::fprintf(stderr, "%s\n", line.c_str());
    std::exit(1);
}
