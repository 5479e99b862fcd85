// Feeds arbitrary bytes to the DAG text reader; a DAG that comes back is laid out, broken into
// lines and drawn on the character-cell device (at two page widths) and on the fixed-metric fake
// device.  Any return code is fine; the sanitizers catch reads outside a DAG or a node.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tests/typeset/fake_device.h"
#include "tovu/dag.h"
#include "tovu/encode.h"
#include "tovu/storage.h"
#include "typeset/devices/charcell.h"
#include "typeset/typeset.h"

namespace {

bool started = false;

void startOnce() {
    if (started) return;
    dag_init_constants();
    storage_init_default();
    dag_init_names();
    IdentifierStyleTable::loadBuiltin();
    started = true;
}

int discard(void*, int) { return 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    startOnce();
    storage_reset();
    std::string_view text(reinterpret_cast<const char*>(data), size);
    Dag dag = dag_from_text(text);
    if (!dag) return 0;
    for (int width : {80, 20}) {
        LayoutOptions o;
        layout_options_init(1, &o, nullptr);
        o.pageWidth = width;
        render_text_2d(dag, &o, discard, nullptr, false, nullptr);
    }
    FakeDevice fake;
    fake.run(dag, 200);
    fake.run(dag, 60, 1);
    return 0;
}
