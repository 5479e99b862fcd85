// Worksheet text on the clipboard and in the drag data (offscreen platform): written in the
// worksheet clipboard format and read back into a fragment with equal elements and styles.
#include "app/KTransferHooks.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "document/edit/Document.h"
#include "document/elements/InputTextElement.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/SectionElement.h"
#include "document/elements/TextElement.h"
#include "document/elements/WorksheetFragment.h"
#include "document/exec/ExecutionGroup.h"
#include "document/records/KWorksheetWriter.h"
#include "document/styles/CharStyle.h"
#include "document/styles/StyleSet.h"
#include "document/styles/WorksheetTagTable.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/DragServer.h"

namespace {

std::string recordsOf(Element* e) {
    KWorksheetWriter writer;
    WalkControl control;
    control.flags = WALK_BEFORE | WALK_AFTER;
    control.writer = &writer;
    e->walkMethod(&Element::writeElement, control);
    return writer.getBuffer();
}

std::string styleTableOf(const StyleSet& styles) {
    KWorksheetWriter writer;
    styles.writeStyleTable(writer, false, false);
    return writer.getBuffer();
}

class Transfer : public ::testing::Test {
protected:
    void SetUp() override {
        registerSectionReaders();
        registerExecutionGroupReaders();
        registerTextReaders();
        registerParagraphReaders();
        registerFragmentReader();
        format_ = Clipboard::registerFormat("WREZURU5");
        installTransferHooks(format_);
    }
    void TearDown() override {
        WorksheetFragment::transferHooks = {};
        worksheetTagTable.resetReadState();
    }
    std::uint32_t format_ = 0;
};

TEST_F(Transfer, WorksheetTextComesBackWithEqualElementsAndStyles) {
    Document doc;
    auto shout = std::make_unique<CharStyle>();
    shout->setName("Shout");
    shout->bold = 1;
    const int style = doc.styleSet()->addCharStyle(std::move(shout), -1);
    auto paragraph = std::make_unique<ParagraphElement>(0, "> ");
    paragraph->bookmark.assign("here");
    paragraph->insertChild(new InputTextElement(1, "int(x^2, x);"), nullptr, kInsertAfter);
    paragraph->insertChild(new TextElement(style, "loud"), nullptr, kInsertAfter);
    const std::string styles = styleTableOf(*doc.styleSet());
    const std::string records = recordsOf(paragraph.get());
    const std::string text = styles + "{NEWREP " + records + "}";

    struct Row {
        const char* name;
        bool drag;
    } rows[] = {{"clipboard", false}, {"drag data", true}};
    for (const Row& r : rows) {
        Clipboard::clear();
        DragServer::clear();
        if (r.drag) ASSERT_TRUE(DragServer::copyData(format_, text.data(), text.size())) << r.name;
        else ASSERT_TRUE(Clipboard::copyData(format_, text.data(), text.size())) << r.name;
        std::unique_ptr<WorksheetFragment> f =
            r.drag ? WorksheetFragment::fragmentFromDragData() : WorksheetFragment::fragmentFromClipboard();
        ASSERT_NE(f, nullptr) << r.name;
        ASSERT_EQ(f->rowCount(), 2) << r.name;
        EXPECT_EQ(f->rowLength(0), 0) << r.name;
        ASSERT_EQ(f->rowLength(1), 1) << r.name;
        EXPECT_EQ(recordsOf(f->elementAt(1, 0)), records) << r.name;
        ASSERT_NE(f->styleSet(), nullptr) << r.name;
        EXPECT_EQ(styleTableOf(*f->styleSet()), styles) << r.name;
        // The other source holds nothing of the format.
        EXPECT_EQ(r.drag ? WorksheetFragment::fragmentFromClipboard() : WorksheetFragment::fragmentFromDragData(), nullptr)
            << r.name;
    }
    Clipboard::clear();
    DragServer::clear();
}

TEST_F(Transfer, OtherClipboardContentGivesNoFragment) {
    Clipboard::clear();
    ASSERT_TRUE(Clipboard::copyString("{NEWREP {PARA 0 \"\" 0 \"\" }}"));
    EXPECT_EQ(WorksheetFragment::fragmentFromClipboard(), nullptr);
    Clipboard::clear();
}

}  // namespace
