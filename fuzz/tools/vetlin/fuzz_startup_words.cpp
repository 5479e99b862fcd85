// Arbitrary bytes as the checker's start-up file, read into words and then parsed as options
// as the start-up does.  The first byte picks whether the reader stops at the first newline.
// A word longer than 511 characters, a word holding whitespace, more than 131 words accepted,
// a crash, a read past a buffer or an exit that escapes the run is a finding.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/vetlin/run.h"
#include "tools/vetlin/startup.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > 256 * 1024) return 0;
    const bool stopAtNewline = (data[0] & 1) != 0;
    std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data + 1), size - 1, "r");
    if (file == nullptr) {
        if (size == 1) return 0;
        std::abort();
    }
    std::vector<std::string> words;
    const bool fits = startup_read_words(file, stopAtNewline, "vetlin", words);
    std::fclose(file);
    if (words.empty() || words[0] != "vetlin" || words.size() > VL_STARTUP_WORDS + 1) std::abort();
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w.empty() || w.size() > VL_STARTUP_WORD) std::abort();
        for (char c : w)
            if (std::isspace(static_cast<unsigned char>(c))) std::abort();
    }
    if (!fits) return 0;
    // The option words in a run of their own.  -a, -d and -o would open files and operands would
    // be read: words holding those letters and words not starting with "-" stay out.
    std::vector<const char*> options{"vetlin"};
    for (std::size_t i = 1; i < words.size(); ++i)
        if (words[i][0] == '-' && words[i].find_first_of("ado") == std::string::npos)
            options.push_back(words[i].c_str());
    static std::FILE* sink = std::fopen("/dev/null", "w");
    vl_begin_run(nullptr, sink, sink);
    try {
        vl_make_constants();
        startup_parse_options(int(options.size()), options.data());
        if (vl.infoLevel < 0 || vl.infoLevel > 4) std::abort();
    } catch (const VetlinExit& exit) {
        if (exit.status != 127) std::abort();
    }
    vl_end_run();
    return 0;
}
