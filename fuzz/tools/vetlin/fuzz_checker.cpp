// The whole checker on arbitrary bytes as a source file: reader, lexer, parser, simplification,
// checks and reports.  The first byte chooses the info level (its value mod 5) and the options
// -x, -l, -p and -S (its bits 3 to 6); the rest is the source, read as the standard input.
// Every input is a fresh run; every end of a run must come back here with its status (0 to 3,
// or 127 for a fatal condition).  A crash, a read past a buffer, a hang or another status is a
// finding.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/vetlin/vetlin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > 64 * 1024) return 0;
    const std::uint8_t choice = data[0];
    std::vector<std::string> args = {"vetlin", "-q", "-s", "-i", std::to_string(choice % 5)};
    if ((choice & 0x08) != 0) args.push_back("-x");
    if ((choice & 0x10) != 0) args.push_back("-l");
    if ((choice & 0x20) != 0) args.push_back("-p");
    if ((choice & 0x40) != 0) args.push_back("-S");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);

    // An empty source is an empty file (fmemopen refuses a size of 0).
    static const std::uint8_t nothing = 0;
    std::FILE* in = size > 1 ? fmemopen(const_cast<std::uint8_t*>(data + 1), size - 1, "r")
                             : fmemopen(const_cast<std::uint8_t*>(&nothing), 1, "r");
    if (in == nullptr) std::abort();
    if (size == 1) std::fgetc(in);
    static std::FILE* sink = std::fopen("/dev/null", "w");
    const int status = vetlin_main(int(args.size()), argv.data(), in, sink, sink);
    std::fclose(in);
    if (!(status >= 0 && status <= 3) && status != 127) std::abort();
    return 0;
}
