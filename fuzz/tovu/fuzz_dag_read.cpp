// Feeds arbitrary bytes to the DAG text reader.  When a DAG comes back it is written, read
// again and compared: the second reading must succeed and equal the first structurally.  The
// texts themselves may differ: a table's pairs are written in bucket order, which follows the
// addresses of their keys.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tovu/dag.h"
#include "tovu/encode.h"
#include "tovu/storage.h"

namespace {

bool started = false;

void startOnce() {
    if (started) return;
    tovu_start();
    started = true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    startOnce();
    storage_reset();   // every input starts with an empty default area and fresh names
    std::string_view text(reinterpret_cast<const char*>(data), size);
    Dag first = dag_from_text(text);
    if (!first) return 0;
    std::string written = dag_to_text(first);
    if (written.empty()) return 0;   // refused by the writer (nesting through a name's value)
    std::string error;
    Dag second = dag_from_text(written, &error);
    if (!second) std::abort();
    if (!dag_equal(first, second)) std::abort();
    return 0;
}
