// Feeds arbitrary bytes to the parse driver the way the worksheet does: statement after statement
// from the consumed offset, each copied out of the working storage and printed back, with and
// without a line width.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tovu/dag.h"
#include "tovu/parse_driver.h"
#include "tovu/print.h"
#include "tovu/sinks.h"
#include "tovu/storage.h"

namespace {
void sink(void*, int) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool ready = [] {
        tovu_start();
        return true;
    }();
    (void)ready;
    static OwnedArea area(0, "Parsed_DAGs");

    std::string text(reinterpret_cast<const char*>(data), size);   // stops at the first NUL
    const char* start = text.c_str();
    std::size_t length = std::char_traits<char>::length(start);
    std::size_t offset = 0;
    while (offset < length) {
        int consumed = 0;
        bool premature = false;
        const char* error = nullptr;
        int position = -1;
        Dag d = parse_text_full(start + offset, &error, &position, &consumed, &premature, nullptr,
                                nullptr, area.get(), true);
        if (d == nullptr || consumed <= 0) break;
        print_expression(d, sink, sink_ignore_error, 0, 0, nullptr);
        print_expression(d, sink, sink_ignore_error, 17, PRINT_ATTRIBUTES, nullptr);
        offset += std::size_t(consumed);
    }
    storage_free(area.get());
    storage_reset();
    return 0;
}
