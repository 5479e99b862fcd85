#pragma once
// A device of kind 0 (not the character grid) with fixed metrics, for layout tests that must not
// depend on real fonts.  Every character is 2 units wide; a text line is 3 high with ascent 2;
// stretchy symbols take the height asked for.  Drawing records every call.
//
// FakeDevice::run lays out and breaks an expression and draws every line; the draw calls are in
// `draws` and the context stays open for inspection until the next run or the destructor.

#include <string>
#include <vector>

#include "tovu/dag.h"
#include "typeset/typeset.h"

struct FakeDraw {
    int type;            // node type (glyph code, 203 text leaf, ...)
    std::string text;    // text of text nodes, empty for symbols
    int x, y;
    bool inverted;
};

class FakeDevice {
public:
    static const TypesetDevice descriptor;

    FakeDevice();
    ~FakeDevice();
    FakeDevice(const FakeDevice&) = delete;
    FakeDevice& operator=(const FakeDevice&) = delete;

    // Whether runs record operand paths on child slots (the context's keepPaths).
    void setKeepPaths(bool on) { keepPaths_ = on; }

    // Lays out, breaks and draws; the run's result code.  partLimit < 0 keeps the device's own.
    int run(const DagWord* dag, int pageWidth = 200, int partLimit = -1);

    TypesetContext* context() const { return ctx_; }
    const TypesetNode* root() const;
    const std::vector<FakeDraw>& draws() const { return draws_; }
    // Draw calls whose text is exactly `text`.
    std::vector<FakeDraw> drawsOf(const std::string& text) const;
    std::vector<FakeDraw> drawsOfType(int type) const;

private:
    TypesetContext* ctx_ = nullptr;
    std::vector<FakeDraw> draws_;
    bool keepPaths_ = false;
};
