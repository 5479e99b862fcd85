// Exporting a worksheet of 2,000 sections (half of them collapsed, each on a page of its own)
// with 500 pictures of 400 x 300 from a test source, without frames, to a folder in /tmp.
// Counter ms_per_picture: the whole export's time over the pictures.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "document/edit/Document.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/SectionElement.h"
#include "document/elements/TextElement.h"
#include "document/export/HtmlExporter.h"
#include "tovu/dag.h"

namespace {

class Gradient : public HtmlPictureSource {
public:
    int pixelWidth() const override { return 400; }
    int pixelHeight() const override { return 300; }
    std::uint32_t pixelColor(int x, int y) const override {
        return (std::uint32_t(x * 255 / 400) << 16) | (std::uint32_t(y * 255 / 300) << 8) | 0x40;
    }
};

class BenchText : public TextElement {
public:
    explicit BenchText(const char* text) : TextElement(0, text) {}
    Element* cloneElement() const override { return new BenchText(text()); }
    void exportHtmlElement(WalkControl& control) override {
        if (control.pass() == PASS_LEAF && control.htmlExporter) control.htmlExporter->writeText(text());
    }
};

class BenchPicture : public TextElement {
public:
    BenchPicture() : TextElement(0, "") {}
    Element* cloneElement() const override { return new BenchPicture(); }
    void exportHtmlElement(WalkControl& control) override {
        if (control.pass() == PASS_LEAF && control.htmlExporter) control.htmlExporter->writeImage(picture_, nullptr, false, 0);
    }

private:
    Gradient picture_;
};

void BM_export_html_2000_sections_500_pictures(benchmark::State& state) {
    tovu_start();
    documentOptions.htmlFrames = false;
    Document doc;
    auto* root = new SectionElement();
    doc.setRoot(root);
    for (int i = 0; i < 2000; ++i) {
        auto* s = new SectionElement(1);
        s->firstChild()->insertChild(new BenchText(("Section " + std::to_string(i)).c_str()), nullptr, 2);
        auto* p = new ParagraphElement(0, nullptr);
        p->insertChild(new BenchText("Some text of the section, with <markup> & entities to escape."), nullptr, 2);
        if (i % 4 == 0) p->insertChild(new BenchPicture(), nullptr, 2);
        s->insertChild(p, nullptr, 2);
        s->setCollapsedFlag(i % 2 == 1);
        root->insertChild(s, nullptr, 2);
    }
    std::string folder = "/tmp/kelvo_bench_html_" + std::to_string(::getpid());
    std::filesystem::create_directories(folder);
    for (auto _ : state) {
        KString error;
        if (!doc.exportHtml(FilePath::fromNative(folder + "/doc.html"), error)) state.SkipWithError(error.text());
    }
    state.counters["ms_per_picture"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * 500, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_export_html_2000_sections_500_pictures)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
