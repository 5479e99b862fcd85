// Feeds DAGs read by the DAG text reader from the fuzzer's bytes to the plot structure reader,
// in 2-D and 3-D, and writes what reads successfully as EPS through the driver's picture
// writer.  A raised error is an expected outcome.  Findings: a crash, a sanitizer report, a
// number token that is not a plain number ("nan", "inf", an exponent), a string that is not
// closed or holds an unescaped bracket, or a picture that does not end with %%EOF.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/psdriver/EpsPicture.h"
#include "plot/plot_read.h"
#include "plot/render/pipeline.h"
#include "tovu/encode.h"
#include "tovu/errors.h"
#include "util/errjump.h"

namespace {

// Walks the PostScript text: strings, comments and tokens.
bool wellFormed(const std::string& ps) {
    if (ps.size() < 6 || ps.compare(ps.size() - 6, 6, "%%EOF\n") != 0) return false;
    std::size_t i = 0, n = ps.size();
    while (i < n) {
        char c = ps[i];
        if (c == '%') {   // a comment runs to the end of its line and must be one of ours
            std::size_t end = ps.find('\n', i);
            if (end == std::string::npos) return false;
            i = end + 1;
            continue;
        }
        if (c == '(') {   // every bracket inside a string is escaped
            for (++i;; ++i) {
                if (i >= n) return false;
                if (ps[i] == '\\') {
                    ++i;
                    continue;
                }
                if (ps[i] == '(' || ps[i] == '\n') return false;
                if (ps[i] == ')') break;
            }
            ++i;
            continue;
        }
        if (c == ')') return false;
        if (c == ' ' || c == '\n' || c == '[' || c == ']' || c == '{' || c == '}') {
            ++i;
            continue;
        }
        std::size_t end = ps.find_first_of(" \n()%[]{}", i);
        std::string_view token(ps.data() + i, (end == std::string::npos ? n : end) - i);
        // A number is digits, "-" and "." only, or a radix number such as 16#9F.
        bool numeric = token[0] == '-' || token[0] == '.' || (token[0] >= '0' && token[0] <= '9');
        std::size_t hash = token.find('#');
        if (numeric && hash != std::string_view::npos) {
            for (std::size_t k = 0; k < token.size(); ++k) {
                char d = token[k];
                bool ok = k < hash ? (d >= '0' && d <= '9')
                                   : k == hash || (d >= '0' && d <= '9') || (d >= 'A' && d <= 'F');
                if (!ok) return false;
            }
        } else if (numeric) {
            for (char d : token)
                if (!(d == '-' || d == '.' || (d >= '0' && d <= '9'))) return false;
        }
        i += token.size();
    }
    return true;
}

}  // namespace

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
    if (dag_type(d) != DAG_EXPSEQ) {
        Dag seq = dag_new(2, DAG_EXPSEQ);
        dag_set_op(seq, 1, d);
        d = seq;
    }
    OwnedArea area(STORAGE_ALIGN8, "plot");
    StorageArea draw;
    storage_init(&draw, STORAGE_ALIGN8, "draw");
    std::string document;
    try {
        TovuHandlerGuard guard;
        ErrorGuard jumpGuard;
        PlotRecord* plot = plot_read_structure(d, dimension, area.get());
        psdriver::EpsPicture picture(plot, plot->first);
        plot_render(plot, &picture, &draw, 1);
        document = picture.document();
    } catch (const TovuError&) {
    } catch (const ErrorJump&) {
    }
    storage_free(&draw);
    if (!document.empty() && !wellFormed(document)) __builtin_trap();
    return 0;
}
