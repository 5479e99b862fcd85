#pragma once
// The replies of the real kernel library as the plot tests read them: reached in process
// (KL_Direct) or behind kernsrv (KL_PipeServer), each reply recorded as its stream, its
// arguments as short element text and as the one-line printer writes them; PLOT and PLOT3D
// replies are read at once with the plot engine's structure reader, while their DAG is alive.
// Needs KL_REAL_KERNEL and KL_KERNSRV.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "plot/plot_read.h"
#include "tests/kernel_link/kl_real_kernel.h"
#include "tovu/errors.h"
#include "tovu/print.h"
#include "tovu/storage.h"

namespace plot_kernel {

// Elements as short text: NAME, "STRING", integers, floats with %.10g, a..b, F(args), [..],
// HF[n x m] for an HFARRAY.
inline std::string element_text(const DagWord* d) {
    if (!d) return "<null>";
    switch (dag_type(d)) {
    case DAG_NAME: return dag_text(d);
    case DAG_STRING: return std::string("\"") + dag_text(d) + "\"";
    case DAG_INTPOS:
    case DAG_INTNEG: return dag_integer_to_text(d);
    case DAG_FLOAT: {
        char b[40];
        std::snprintf(b, sizeof b, "%.10g", arith_to_double(d));
        return b;
    }
    case DAG_RANGE: return element_text(dag_op(d, 1)) + ".." + element_text(dag_op(d, 2));
    case DAG_HFARRAY: {
        std::string s = "HF[";
        for (std::size_t w = 3; w + 1 < dag_length(d); w += 2)
            s += (w > 3 ? "x" : "") + std::to_string(dag_word(d, w + 1) - dag_word(d, w) + 1);
        return s + "]";
    }
    case DAG_EXPSEQ: {
        std::string s;
        for (std::size_t i = 1; i < dag_length(d); ++i) s += (i > 1 ? "," : "") + element_text(dag_op(d, i));
        return s;
    }
    case DAG_LIST: return "[" + element_text(dag_op(d, 1)) + "]";
    case DAG_FUNCTION: return element_text(dag_op(d, 1)) + "(" + element_text(dag_op(d, 2)) + ")";
    default: return "<" + std::string(dag_type_names[dag_type(d) - 1]) + ">";
    }
}

// One reply; plot replies are read at once, while their DAG is alive.
struct Reply {
    std::string stream;
    std::string text;                        // the arguments as element text
    std::string printed;                     // the arguments as the one-line printer writes them
    std::vector<std::string> elements;       // PLOT, PLOT3D: each element's text
    std::shared_ptr<OwnedArea> area;
    PlotRecord* plot = nullptr;
    std::string readError;
};

inline Reply take(Dag reply) {
    Reply r;
    r.stream = std::string(dag_text(dag_op(reply, 1))).substr(10);
    Dag args = dag_op(reply, 2);
    r.text = element_text(args);
    r.printed = print_to_text(args);
    if (r.stream != "PLOT" && r.stream != "PLOT3D") return r;
    for (std::size_t i = 1; i < dag_length(args); ++i) r.elements.push_back(element_text(dag_op(args, i)));
    r.area = std::make_shared<OwnedArea>(0, "test-plot");
    try {
        TovuHandlerGuard guard;
        r.plot = plot_read_structure(args, r.stream == "PLOT" ? 2 : 3, r.area->get());
    } catch (const TovuError& e) {
        r.readError = e.message;
    }
    return r;
}

// A kernel reached one way; run() answers the replies of one statement, read as they come.
// `interruptOnPrint`: the first PRINT reply asks for an interrupt.
class Kernel {
public:
    explicit Kernel(KLVia via) : kernel_(via) {
        kernel_.onReply = [this](Dag reply) {
            replies_.push_back(take(reply));
        };
    }
    std::vector<Reply> run(const std::string& text, bool interruptOnPrint = false) {
        replies_.clear();
        kernel_.run(text, interruptOnPrint);
        return replies_;
    }

private:
    KLRealKernel kernel_;
    std::vector<Reply> replies_;
};

inline std::vector<std::string> streams(const std::vector<Reply>& replies) {
    std::vector<std::string> s;
    for (const Reply& r : replies) s.push_back(r.stream);
    return s;
}

// The one plot reply of a statement that must plot: read without error.
inline const Reply* plot_of(const std::vector<Reply>& replies, const std::string& statement) {
    std::vector<std::string> expected = {statement.find("3d") != std::string::npos ? "PLOT3D" : "PLOT", "DONE"};
    EXPECT_EQ(streams(replies), expected) << statement << ": " << (replies.empty() ? "" : replies[0].text.substr(0, 200));
    if (replies.size() != 2 || replies[0].plot == nullptr) {
        ADD_FAILURE() << statement << ": not read: " << (replies.empty() ? "no reply" : replies[0].readError);
        return nullptr;
    }
    return &replies[0];
}

inline std::vector<const PlotObject*> objects_of(const PlotFrame* frame) {
    std::vector<const PlotObject*> v;
    for (const PlotObject* o = frame->first; o; o = o->next) v.push_back(o);
    return v;
}

// The defined vertices of a CURVES object in order; a null vertex as {NaN, NaN}.
inline std::vector<PlotVertex> vertices_of(const PlotObject* o) {
    std::vector<PlotVertex> v;
    auto* c = static_cast<const PlotCurveList*>(o->data);
    for (int i = 0; i < c->vertexCount; ++i)
        v.push_back(c->vertices[i] ? *c->vertices[i] : PlotVertex{NAN, NAN, NAN, 0});
    return v;
}

}  // namespace plot_kernel
