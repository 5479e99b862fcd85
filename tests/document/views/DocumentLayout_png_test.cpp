// A laid-out document drawn through a WindowView into an off-screen device, kept as a test
// artefact (build folder: tests/document/views/document_layout.png; look at it): a paragraph of
// each alignment, a bullet list, a dash list, an input paragraph with its prompt and a picture
// with the frame and handles of the caret on it.  A few places are checked for ink; the text
// itself is not compared with any font's pixels.
#include "document/views/WindowView.h"

#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <string>
#include <vector>

#include "document/elements/InputTextElement.h"
#include "document/elements/ObjectElement.h"
#include "document/elements/ParagraphElement.h"
#include "document/tree/ContainerElement.h"
#include "document/tree/ElementPosition.h"
#include "document/tree/ParagraphLine.h"
#include "tests/document/views/views_fixture.h"

namespace {

// Words in the paragraph's font, drawn where the paragraph places them.
class Words : public InlineElement {
public:
    explicit Words(std::string text) : text_(std::move(text)) {}
    Element* cloneElement() const override { return new Words(*this); }
    int elementKind() const override { return KIND_TEXT; }
    void draw(int x, int y, const ElementRect&, ExtentRecord&, int) override {
        drawTextAt(x, y, -1, text_.c_str(), static_cast<int>(text_.size()));
    }

protected:
    const char* layoutText(int& length, int& charStyle) const override {
        length = static_cast<int>(text_.size());
        charStyle = -1;
        return text_.c_str();
    }

private:
    std::string text_;
};

// A picture of 120 x 60 points filled with one colour.
class Swatch : public ObjectElement {
public:
    Swatch() : ObjectElement(5, 10, 10) {}
    Element* cloneElement() const override { return new Swatch(*this); }
    int elementKind() const override { return 16; }
    void loadPicture() override { setSize({120, 60, 0}); }
    void draw(int x, int y, const ElementRect&, ExtentRecord& piece, int) override {
        if (DocumentView* view = activeView()) view->fillRect({x, y, piece.width, piece.height}, 0xC08040, 0, 1);
    }
};

class Root : public ContainerElement {
public:
    Element* cloneElement() const override { return new Root; }
    int elementKind() const override { return KIND_SECTION; }
};

class DocumentPicture : public viewtests::ViewsFixture {
protected:
    DocumentPicture() : view(doc, &device, &cache) {
        device.setOutputSizePixel(Size(kWidth, kHeight));
        device.setBackgroundBrush(Brush(Color(COL_WHITE)));
        device.erase();
        view.setViewSize(kWidth, kHeight);
    }
    int justified(int justification) {
        auto s = std::make_unique<ParaStyle>();
        s->setName(("aligned " + std::to_string(justification)).c_str());
        s->completeWithDefaults();
        s->justification = std::int8_t(justification);
        return doc->styleSet()->addParaStyle(std::move(s), -1);
    }
    ParagraphElement* add(Root* root, int style, const std::vector<Element*>& children, const char* prompt = nullptr) {
        auto* p = new ParagraphElement(style, prompt);
        for (Element* c : children) p->insertChild(c, nullptr, kInsertAfter);
        root->insertChild(p, nullptr, kInsertAfter);
        return p;
    }
    // Some pixel of the rectangle is not white.
    bool inked(const ElementRect& r) {
        for (int y = r.y; y < r.y + r.height; ++y)
            for (int x = r.x; x < r.x + r.width; ++x)
                if (device.getPixel(Point(x, y)) != Color(COL_WHITE)) return true;
        return false;
    }

    static constexpr int kWidth = 480;
    static constexpr int kHeight = 420;
    FontCache cache;
    WindowView view;
};

TEST_F(DocumentPicture, AlignmentsListsPromptAndPictureWithHandles) {
    auto* root = new Root;
    doc->setRoot(root);
    ParagraphElement* left = add(root, justified(1), {new Words("Left aligned words")});
    ParagraphElement* right = add(root, justified(2), {new Words("Right aligned words")});
    ParagraphElement* centred = add(root, justified(3), {new Words("Centred words")});
    ParagraphElement* bullet = add(root, ParagraphElement::STYLE_BULLET_ITEM, {new Words("A bullet item")});
    add(root, ParagraphElement::STYLE_BULLET_ITEM, {new Words("Another bullet item")});
    ParagraphElement* dash = add(root, ParagraphElement::STYLE_DASH_ITEM, {new Words("A dash item")});
    // The input draws nothing of its own yet; the paragraph draws the prompt before it.
    ParagraphElement* input = add(root, 0, {new InputTextElement(1, "1+2;")}, "> ");
    auto* swatch = new Swatch;
    add(root, justified(1), {new Words("A picture: "), swatch});
    // The root stands 10 right of the view's edge: the paragraphs get the width less 20.
    view.setViewSize(kWidth - 20, kHeight);
    doc->setActiveView(&view, kWidth - 20, nullptr);

    root->draw(0, 0, {0, 0, kWidth, kHeight});
    TextPosition onPicture(doc);
    onPicture.setPosition(swatch, 0);
    swatch->locatePosition(onPicture);
    view.drawFrame(onPicture.rect, swatch->handleSize());
    device.flushDrawing();

    // Each paragraph's first line: ink where the alignment puts the words, none on the other side.
    auto firstLine = [](ParagraphElement* p) {
        ElementRect r;
        p->lineAt(0)->lineRect(r);
        return r;
    };
    ElementRect l = firstLine(left), r = firstLine(right), c = firstLine(centred);
    EXPECT_TRUE(inked(l));
    EXPECT_FALSE(inked({r.x - 40, r.y, 40, r.height})) << "left of the right-aligned words";
    EXPECT_TRUE(inked(r));
    EXPECT_GT(r.x, kWidth / 2);
    EXPECT_TRUE(inked(c));
    EXPECT_NEAR(c.x + c.width / 2, centred->absoluteOrigin().x + centred->contentWidth() / 2, 2);
    EXPECT_LE(r.x + r.width, kWidth);
    // List markers: ink in the room the bullet and the dash reserve.
    ElementRect b = firstLine(bullet), d = firstLine(dash);
    EXPECT_TRUE(inked({b.x - bullet->markerBox().width, b.y, bullet->markerBox().width, b.height}));
    EXPECT_TRUE(inked({d.x - dash->markerBox().width, d.y, dash->markerBox().width, d.height}));
    // The prompt stands before the input's line.
    ElementRect in = firstLine(input);
    ASSERT_GT(input->promptBox().width, 0);
    EXPECT_TRUE(inked({in.x, in.y, input->promptBox().width, in.height}));
    // The picture's colour inside, a handle (drawn in exclusive-or) at its corner.
    ElementRect pic = onPicture.rect;
    const Color fill = Color::fromRGB8(0x40, 0x80, 0xC0);
    EXPECT_EQ(device.getPixel(Point(pic.x + pic.width / 2, pic.y + pic.height / 2)), fill);
    EXPECT_NE(device.getPixel(Point(pic.x + 1, pic.y + 1)), fill);

    const std::filesystem::path dir = std::filesystem::path(KELVO_BINARY_DIR) / "tests" / "document" / "views";
    std::filesystem::create_directories(dir);
    EXPECT_TRUE(device.image()->save(QString::fromStdString((dir / "document_layout.png").string())));
}

}  // namespace
