#pragma once
// Shared set-up of the view tests: a document with the default styles and a few user styles of
// known faces, sizes and slants, kept alive by a view of its own (a document goes with its
// last view), and an off-screen device at screen resolution.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "document/edit/Document.h"
#include "document/styles/CharStyle.h"
#include "document/styles/StyleSet.h"
#include "document/tree/DocumentView.h"
#include "platform/gui/VirtualDevice.h"

namespace viewtests {

// A view that draws nothing: it keeps the document alive and answers the ratios of a screen.
class QuietView : public DocumentView {
public:
    explicit QuietView(Document* doc) : DocumentView(doc) {}
    void drawText(const ElementPoint&, const char*, int, bool) override {}
};

class ViewsFixture : public ::testing::Test {
protected:
    ViewsFixture() : doc(new Document), keeper(std::make_unique<QuietView>(doc)) {
        doc->styleSet()->buildDefaultStyles();
        device.setOutputSizePixel(Size(400, 300));
    }
    ~ViewsFixture() override { keeper.reset(); }   // the document goes with its last view

    // A user character style; italic and bold as the style records keep them (1 on, 2 off),
    // charset 1 default, 2 the Symbol face.
    int addStyle(const char* face, int size, int italic = 2, int bold = 2, int charset = 1) {
        auto s = std::make_unique<CharStyle>();
        s->setName(("test " + std::to_string(++named)).c_str());
        s->setFontName(face);
        s->sizeMode = 1;
        s->size = std::int16_t(size);
        s->italic = italic;
        s->bold = bold;
        s->underline = 2;
        s->charsetCode = charset;
        s->setColor(0, 0, 0, 0);
        return doc->styleSet()->addCharStyle(std::move(s), -1);
    }
    const CharStyle& resolved(int index) { return doc->styleSet()->effectiveCharStyle(index, 0, -1); }

    Document* doc;
    std::unique_ptr<QuietView> keeper;
    VirtualDevice device;
    int named = 0;
};

}  // namespace viewtests
