// Test elements of the undo history tests (UndoFakes.h).
#include "UndoFakes.h"

namespace undofakes {

void copyChildren(const Element* from, Element* to) {
    for (int i = 0, n = from->childCount(); i < n; ++i) to->insertChild(from->childAt(i)->cloneElement(), nullptr, kInsertAfter);
}

namespace {
void writeVisitor(Element* e, WalkControl& control) { e->writeElement(control); }

void writeComposite(const char* head, WalkControl& control, const std::string* extra = nullptr) {
    if (control.pass() == PASS_BEFORE) {
        control.writer->writeRaw(head);
        if (extra) control.writer->writeQuotedString(*extra);
    } else if (control.pass() == PASS_AFTER) {
        control.writer->writeRaw("}");
    }
}

bool textOf(const Element* e, std::string& out) {
    auto* t = dynamic_cast<const UText*>(e);
    if (!t) return false;
    out = t->text;
    return true;
}
}  // namespace

std::string treeText(Element* root) {
    if (!root) return "<none>";
    KWorksheetWriter writer;
    WalkControl control;
    control.flags = WALK_BEFORE | WALK_AFTER;
    control.writer = &writer;
    root->walk(&writeVisitor, control);
    return writer.getBuffer();
}

void USection::writeElement(WalkControl& control) { writeComposite("{SECT ", control); }
void UGroup::writeElement(WalkControl& control) { writeComposite("{GROUP ", control); }
void UPara::writeElement(WalkControl& control) { writeComposite("{PARA ", control, &bookmark); }

UPara::~UPara() {
    if (bookmark.empty()) return;
    if (auto* doc = dynamic_cast<Document*>(document()))
        if (doc->bookmarks()) doc->bookmarks()->invalidate();
}

void UText::writeElement(WalkControl& control) {
    control.writer->writeRaw("{TEXT ").writeQuotedString(text).writeRaw("}");
}

void UText::setTextRecorded(const std::string& newText) {
    EditBracket bracket(document());
    bool recording = bracket.isRecording();
    if (recording) {
        bracket.open();
        bracket.setUndoRecord(new ModifyRecord(document()));
        bracket.addUndoElement(this);
    }
    text = newText;
    if (recording) {
        bracket.setRedoRecord(new ModifyRecord(document()));
        bracket.addRedoElement(this);
    }
}

void installTextHook() { textOfElement = &textOf; }

}  // namespace undofakes
