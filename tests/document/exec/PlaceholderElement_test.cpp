// The placeholder at the end of a worksheet: Enter, typing, the section commands and the idle
// action make content in front of it and hand the caret over; it stays last, has a line of
// its own for the caret, shows its context bar and is never saved.
#include "document/exec/PlaceholderElement.h"

#include <gtest/gtest.h>

#include "document/elements/TextElement.h"

#include <memory>
#include <string>
#include <vector>

#include "SectionFakes.h"
#include "document/edit/EditRecord.h"
#include "document/edit/UndoHistory.h"
#include "document/elements/SectionElement.h"
#include "document/exec/ExecutionGroup.h"
#include "document/exec/WorksheetDocument.h"
#include "document/tree/ElementPosition.h"
#include "kernel_link/KKernelSession.h"
#include "tests/document/elements/LayoutFakes.h"

namespace {

// A root section that records the commands reaching it (the typed text arrives here until the
// input handles it itself) with the element the caret stood on.
class RecordingRoot : public SectionElement {
public:
    bool command(int code, const char* text, std::intptr_t argument) override {
        ViewCaret* caret = activeCaret();
        arrived.push_back({code, text ? text : "", caret ? caret->element() : nullptr, caret ? caret->offset() : -1});
        return SectionElement::command(code, text, argument);
    }
    struct Arrival {
        int code;
        std::string text;
        Element* caretElement;
        int caretOffset;
    };
    std::vector<Arrival> arrived;
};

class Placeholder : public ::testing::Test {
protected:
    void SetUp() override {
        worksheetHost() = WorksheetHost();
        worksheetHost().connectKernel = connectNoKernel;
        doc = new WorksheetDocument(nullptr);
        root = new RecordingRoot;
        doc->setRoot(root);
        placeholder = new PlaceholderElement;
        root->insertChild(placeholder, nullptr, kInsertAfter);
        view = std::make_unique<FixedView>(doc);
        window = std::make_unique<RecordingWindow>(doc, view.get());
        view->window = window.get();
        doc->setActiveView(view.get(), 400, nullptr);
        window->caret()->setPosition(placeholder, 0);
    }
    void TearDown() override {
        window.reset();
        view.reset();   // the document goes with its last view
        std::vector<QuietEvaluator*> left = worksheetHost().evaluators;
        worksheetHost().evaluators.clear();
        for (QuietEvaluator* e : left) delete e;
    }
    ViewCaret& caret() { return *window->caret(); }
    // The input of the group before the placeholder.
    Element* newInput() const {
        Element* group = root->childAt(0);
        if (!group || group->elementKind() != KIND_GROUP) return nullptr;
        Element* paragraph = group->firstChild();
        return paragraph ? paragraph->firstChild() : nullptr;
    }

    ReaderRegistration registration_;
    WorksheetDocument* doc = nullptr;
    RecordingRoot* root = nullptr;
    PlaceholderElement* placeholder = nullptr;
    std::unique_ptr<FixedView> view;
    std::unique_ptr<RecordingWindow> window;
};

TEST_F(Placeholder, EnterAndTypingMakeAGroupBeforeIt) {
    struct Row {
        const char* name;
        int code;
        const char* text;
        bool dispatched;   // the command goes on from the caret: the text lands in the new input
    } rows[] = {
        {"Enter", PlaceholderElement::ACTION_ENTER, nullptr, false},
        {"typing", PlaceholderElement::ACTION_TYPING, "x", true},
        {"typing text", PlaceholderElement::ACTION_TYPING_TEXT, "1+2;", true},
    };
    for (const Row& r : rows) {
        SetUp();
        placeholder->command(r.code, r.text, 0);
        ASSERT_EQ(root->childCount(), 2) << r.name;
        EXPECT_EQ(root->childAt(0)->elementKind(), KIND_GROUP) << r.name;
        EXPECT_EQ(root->lastChild(), placeholder) << r.name;
        Element* input = newInput();
        ASSERT_NE(input, nullptr) << r.name;
        EXPECT_TRUE(input->isActiveInput()) << r.name;
        EXPECT_EQ(caret().element(), input) << r.name;
        std::string typed = r.dispatched ? r.text : "";
        auto* run = dynamic_cast<TextElement*>(input);
        ASSERT_NE(run, nullptr) << r.name;
        EXPECT_EQ(std::string(run->text()), typed) << r.name;
        EXPECT_EQ(caret().offset(), int(typed.size())) << r.name;
        TearDown();
    }
}

TEST_F(Placeholder, TypingUnderHeldLayoutStillInserts) {
    doc->holdLayout();
    placeholder->command(PlaceholderElement::ACTION_TYPING, "x", 0);
    EXPECT_TRUE(doc->layoutHeld());
    doc->releaseLayout();
    EXPECT_FALSE(doc->layoutHeld());
    EXPECT_EQ(root->childCount(), 2);
    EXPECT_EQ(root->lastChild(), placeholder);
}

TEST_F(Placeholder, SectionCommandsInsertALevelOneSectionBeforeIt) {
    for (int code : {PlaceholderElement::ACTION_INSERT_SECTION, PlaceholderElement::ACTION_INSERT_SUBSECTION}) {
        SetUp();
        EXPECT_TRUE(placeholder->command(code, nullptr, 0)) << code;
        ASSERT_EQ(root->childCount(), 2) << code;
        auto* section = dynamic_cast<SectionElement*>(root->childAt(0));
        ASSERT_NE(section, nullptr) << code;
        EXPECT_EQ(root->lastChild(), placeholder) << code;
        Element* heading = section->firstChild();
        ASSERT_NE(heading, nullptr) << code;
        EXPECT_EQ(caret().element(), heading->firstChild()) << code;
        TearDown();
    }
}

TEST_F(Placeholder, IdleMakesAGroupOnlyInAnEmptyWorksheetWithoutAnUndoStep) {
    UndoHistory* history = doc->undoHistory();
    ASSERT_NE(history, nullptr);
    // Enter records its insertion while a group is open ...
    history->beginGroup("Enter", nullptr, false);
    placeholder->command(PlaceholderElement::ACTION_ENTER, nullptr, 0);
    ASSERT_NE(history->currentGroup(), nullptr);
    EXPECT_GT(history->currentGroup()->pairs.count(), 0);
    history->endUndoGroup(nullptr);
    // ... the idle action, with something before the placeholder, does nothing.
    EXPECT_FALSE(placeholder->command(PlaceholderElement::ACTION_IDLE, nullptr, 0));
    EXPECT_EQ(root->childCount(), 2);
    EXPECT_TRUE(window->actions.empty());

    TearDown();
    SetUp();
    history = doc->undoHistory();
    history->beginGroup("Idle", nullptr, false);
    EXPECT_TRUE(placeholder->command(PlaceholderElement::ACTION_IDLE, nullptr, 0));
    EXPECT_EQ(history->currentGroup()->pairs.count(), 0);
    history->endUndoGroup(nullptr);
    ASSERT_EQ(root->childCount(), 2);
    EXPECT_EQ(caret().element(), newInput());
    EXPECT_EQ(window->actions, std::vector<int>{PlaceholderElement::ACTION_IDLE});
}

TEST_F(Placeholder, OtherCodesAreNotHandled) {
    EXPECT_FALSE(placeholder->command(11, "", 0));
    EXPECT_FALSE(placeholder->command(5, nullptr, 0));
    EXPECT_EQ(root->childCount(), 1);
}

TEST_F(Placeholder, CaretStandsAtItsOriginWithALineOfItsOwn) {
    TextPosition& at = caret();
    placeholder->locatePosition(at);
    ElementPoint o = placeholder->absoluteOrigin();
    EXPECT_EQ(at.rect.x, o.x);
    EXPECT_EQ(at.rect.y, o.y);
    EXPECT_EQ(at.rect.width, 2);
    EXPECT_EQ(at.rect.height, kFontHeight);
    ParagraphLine* line = at.line();
    ASSERT_NE(line, nullptr);
    ElementRect r;
    line->lineRect(r);
    EXPECT_EQ(r.x, o.x);
    EXPECT_EQ(r.y, o.y);
    EXPECT_EQ(line->lastChildIndex(), -1);
    EXPECT_EQ(line->height(), -1);
    EXPECT_EQ(line->addPiece(0, ExtentRecord{}, -1), -1);
    ElementPoint origin;
    EXPECT_EQ(placeholder->elementAtPoint(5, 5, origin), placeholder);
    placeholder->caretArrived();
    EXPECT_EQ(window->contextBar, PlaceholderElement::CONTEXT_BAR);
    EXPECT_EQ(window->contextOwner, placeholder);
}

TEST_F(Placeholder, SavedWorksheetHoldsNoRecordOfIt) {
    placeholder->command(PlaceholderElement::ACTION_ENTER, nullptr, 0);
    KWorksheetWriter with;
    ASSERT_TRUE(doc->writeWorksheet(with, nullptr, nullptr, true));
    // The same tree without the placeholder writes the same bytes.
    Element* group = root->childAt(0);
    auto bare = std::make_unique<WorksheetDocument>(nullptr);
    auto* bareRoot = new SectionElement();
    bare->setRoot(bareRoot);
    bareRoot->insertChild(group->cloneElement(), nullptr, kInsertAfter);
    KWorksheetWriter without;
    ASSERT_TRUE(bare->writeWorksheet(without, nullptr, nullptr, true));
    EXPECT_EQ(with.getBuffer(), without.getBuffer());
    EXPECT_EQ(with.getBuffer().find("PLACE"), std::string::npos);
}

}  // namespace
