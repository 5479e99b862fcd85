// EditBracket: opens record pairs in the document's current undo group.
#include "document/edit/EditBracket.h"

#include "document/edit/Document.h"
#include "document/edit/EditRecord.h"
#include "document/tree/Element.h"
#include "document/edit/UndoHistory.h"

EditBracket::EditBracket(ElementDocument* document) : document_(dynamic_cast<Document*>(document)) {}

EditBracket::EditBracket(Document* document) : document_(document) {}

bool EditBracket::isRecording() const {
    return undoSuspensionCount() == 0 && document_ && document_->hasOpenUndoGroup();
}

void EditBracket::open() {
    pair_ = new EditRecordPair;
    if (document_ && document_->undoHistory() && document_->undoHistory()->currentGroup()) {
        document_->undoHistory()->addPair(pair_);
    } else {
        delete pair_;   // nowhere to keep it
        pair_ = nullptr;
    }
}

void EditBracket::setUndoRecord(EditRecord* record) {
    if (pair_) pair_->undoRecord.reset(record);
    else delete record;
}

void EditBracket::setRedoRecord(EditRecord* record) {
    if (pair_) pair_->redoRecord.reset(record);
    else delete record;
}

void EditBracket::addUndoElement(Element* element, int argument) {
    if (pair_ && pair_->undoRecord) pair_->undoRecord->addElement(element, argument);
}

void EditBracket::addRedoElement(Element* element, int argument) {
    if (pair_ && pair_->redoRecord) pair_->redoRecord->addElement(element, argument);
}

void EditBracket::captureUndoState() {
    if (pair_ && pair_->undoRecord) pair_->undoRecord->captureState();
}

void EditBracket::captureRedoState() {
    if (pair_ && pair_->redoRecord) pair_->redoRecord->captureState();
}

// ---- the tree operations' steps --------------------------------------------------------------

void recordInsertion(Element* parent, Element* inserted) {
    if (!parent || !inserted) return;
    EditBracket bracket(parent->document());
    if (!bracket.isRecording()) return;
    bracket.open();
    bracket.setUndoRecord(new InsertRecord(parent->document()));
    bracket.addUndoElement(inserted);
    bracket.setRedoRecord(new DeleteRecord(parent->document()));
    bracket.addRedoElement(inserted);
}

void recordRemoval(Element* parent, Element* child) {
    if (!parent || !child) return;
    EditBracket bracket(parent->document());
    if (!bracket.isRecording()) return;
    bracket.open();
    bracket.setUndoRecord(new DeleteRecord(parent->document()));
    bracket.addUndoElement(child);
    bracket.setRedoRecord(new InsertRecord(parent->document()));
    bracket.addRedoElement(child);
}

void recordReplacement(Element* parent, Element* oldChild, Element* newChild,
                       const std::function<void()>& swap) {
    EditBracket bracket(parent->document());
    const bool recording = bracket.isRecording() && oldChild;
    if (recording) {
        bracket.open();
        bracket.setUndoRecord(new ModifyRecord(oldChild->document()));
        bracket.addUndoElement(oldChild);
    }
    swap();
    if (recording && bracket.pair() && newChild) {
        bracket.setRedoRecord(new ModifyRecord(newChild->document()));
        bracket.addRedoElement(newChild);
    }
}
