// The text and the LaTeX export of a generated worksheet: 20,000 groups, each an input and its
// line-printed output, in stand-ins that write what the input and text exports write.  The
// output goes to a stream that keeps nothing; bytes_per_second is the rate of output.

#include <benchmark/benchmark.h>

#include <streambuf>
#include <string>

#include "document/edit/Document.h"
#include "document/exec/ExecutionGroup.h"
#include "document/elements/SectionElement.h"
#include "document/records/KExportWriter.h"
#include "tests/document/exec/LatexFakes.h"
#include "tovu/dag.h"

namespace {

// Counts what it is given and keeps nothing.
class NullBuffer : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

class BenchParagraph : public LatexParagraph {
public:
    BenchParagraph(int style, const char* env, bool input) : LatexParagraph(style, true, env), input_(input) {}
    void exportText(WalkControl& control) override {
        if (!control.exportWriter) return;
        if (control.pass() == PASS_BEFORE) control.exportWriter->setLinePrefixMode(input_ ? 1 : 2);
        if (control.pass() == PASS_AFTER) control.exportWriter->writeString("\n");
    }

private:
    bool input_;
};

class BenchInput : public LatexInput {
public:
    explicit BenchInput(const char* text) : LatexInput(text, true, true) {}
    void exportText(WalkControl& control) override {
        if (control.exportWriter && control.pass() == PASS_LEAF) control.exportWriter->writeString(text());
    }
};

class BenchText : public LatexText {
public:
    explicit BenchText(const char* text) : LatexText(0, text, true) {}
    void exportText(WalkControl& control) override {
        if (control.exportWriter && control.pass() == PASS_LEAF) control.exportWriter->writeString(text());
    }
};

void buildGroups(Document& doc, int groups) {
    auto* root = new SectionElement();
    doc.setRoot(root);
    doc.setDisplayTitle("/tmp/bench.kws");
    for (int i = 0; i < groups; ++i) {
        std::string n = std::to_string(i);
        auto* g = new ExecutionGroup();
        auto* in = new BenchParagraph(0, "kelvoinput", true);
        in->insertChild(new BenchInput(("f" + n + " := x -> x^2 + " + n + "*x - 1;  # 100% of {it}").c_str()), nullptr,
                        kInsertAfter);
        auto* out = new BenchParagraph(2, "kelvottyout", false);
        out->setOutput(true);
        out->insertChild(new BenchText(("f" + n + " := x -> x^2 + " + n + " x - 1").c_str()), nullptr, kInsertAfter);
        g->insertChild(in, nullptr, kInsertAfter);
        g->insertChild(out, nullptr, kInsertAfter);
        root->insertChild(g, nullptr, kInsertAfter);
    }
}

void BM_export_text_20000_groups(benchmark::State& state) {
    tovu_start();
    Document doc;
    buildGroups(doc, 20000);
    long bytes = 0;
    for (auto _ : state) {
        NullBuffer buffer;
        std::ostream out(&buffer);
        KExportWriter writer(&out, 70);
        doc.exportText(writer);
        bytes += writer.charCount;
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_export_text_20000_groups)->Unit(benchmark::kMillisecond);

void BM_export_latex_20000_groups(benchmark::State& state) {
    tovu_start();
    Document doc;
    buildGroups(doc, 20000);
    long bytes = 0;
    for (auto _ : state) {
        NullBuffer buffer;
        std::ostream out(&buffer);
        KLatexExportWriter writer(&out);
        if (!doc.exportLatex(writer, 0, true, "/tmp/bench.tex", "bench.tex")) state.SkipWithError("export failed");
        bytes += writer.charCount;
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_export_latex_20000_groups)->Unit(benchmark::kMillisecond);

}  // namespace
