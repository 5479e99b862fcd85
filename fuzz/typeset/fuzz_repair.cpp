// Feeds arbitrary bytes (up to the first NUL) to the repairing parser.  Besides the sanitizers'
// checks it asserts that a repaired text, blanks removed, still holds every non-blank byte of the
// input in order: the repair stages only insert text and collapse blanks.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tovu/dag.h"
#include "tovu/storage.h"
#include "tovu/table.h"
#include "typeset/mathedit/repair.h"

namespace {

bool started = false;

void startOnce() {
    if (started) return;
    dag_init_constants();
    storage_init_default();
    dag_init_names();
    started = true;
}

std::string without_blanks(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != ' ') out += c;
    return out;
}

bool is_subsequence(const std::string& part, const std::string& whole) {
    std::size_t j = 0;
    for (char c : part) {
        j = whole.find(c, j);
        if (j == std::string::npos) return false;
        ++j;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    startOnce();
    storage_reset();
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.substr(0, text.find('\0'));
    char* repaired = nullptr;
    int position = 0;
    Dag d = parse_with_repair(text.c_str(), &repaired, &position);
    if (repaired) {
        if (!d || position != -1) std::abort();
        if (!is_subsequence(without_blanks(text), without_blanks(repaired))) std::abort();
        buffer_free(repaired);
    } else if (d && (position < 0 || std::size_t(position) > text.size())) {
        std::abort();
    }
    // The stages themselves keep the property whether or not their result parses.
    if (!is_subsequence(without_blanks(text), without_blanks(balance(text)))) std::abort();
    if (!is_subsequence(without_blanks(text), without_blanks(insert_operators(text)))) std::abort();
    return 0;
}
