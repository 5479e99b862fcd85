// Feeds DAGs read by the DAG text reader from the fuzzer's bytes to the plot structure reader,
// in 2-D and 3-D, and renders what reads successfully.  A raised error is an expected outcome;
// a crash, a leak or a sanitizer report is a finding.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "plot/plot_read.h"
#include "plot/render/pipeline.h"
#include "tovu/encode.h"
#include "tovu/errors.h"
#include "util/errjump.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tovu_start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    storage_reset();
    int dimension = (data[0] & 1) ? 3 : 2;
    std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    Dag d = nullptr;
    try {
        TovuHandlerGuard guard;
        d = dag_from_text(text);
    } catch (...) {
        return 0;
    }
    if (!d) return 0;
    // A single element is read as a structure of one argument.
    if (dag_type(d) != DAG_EXPSEQ) {
        Dag seq = dag_new(2, DAG_EXPSEQ);
        dag_set_op(seq, 1, d);
        d = seq;
    }
    OwnedArea area(STORAGE_ALIGN8, "plot");
    StorageArea draw;
    storage_init(&draw, STORAGE_ALIGN8, "draw");
    try {
        TovuHandlerGuard guard;
        ErrorGuard jumpGuard;
        PlotRecord* plot = plot_read_structure(d, dimension, area.get());
        PlotOutputCallbacks cb{};
        cb.background = 0xFFFFFF;
        plot_render(plot, &cb, &draw);
    } catch (const TovuError&) {
    } catch (const ErrorJump&) {
    }
    storage_free(&draw);
    return 0;
}
