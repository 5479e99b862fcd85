#pragma once
// EditBracket: a small object on the stack of every editing operation that records its change
// for undo.  Calling order inside a tree operation:
//
//   EditBracket bracket(document);
//   bool recording = bracket.isRecording();
//   if (recording) bracket.open();                      // before the change
//   insertion:  after the change   undo InsertRecord(element), redo DeleteRecord(element)
//   removal:    before it leaves   undo DeleteRecord(child),   redo InsertRecord(child)
//   in place:   undo ModifyRecord(element before), redo ModifyRecord(element after)
//   styles:     StyleEditRecord, captureUndoState before, captureRedoState after
//
// Records nothing (the change still happens) while recording is suspended, without a
// document, a history or an open group.  The pair belongs to the group once opened; the
// bracket owns nothing.

#include "document/tree/TreeRecording.h"

class Document;
class EditRecord;
class EditRecordPair;
class Element;
class ElementDocument;

class EditBracket {
public:
    explicit EditBracket(ElementDocument* document);
    explicit EditBracket(Document* document);
    ~EditBracket() = default;
    EditBracket(const EditBracket&) = delete;
    EditBracket& operator=(const EditBracket&) = delete;

    bool isRecording() const;
    void open();
    // Hands the record to the open pair (destroyed when no pair is open).
    void setUndoRecord(EditRecord* record);
    void setRedoRecord(EditRecord* record);
    void addUndoElement(Element* element, int argument = 0);
    void addRedoElement(Element* element, int argument = 0);
    void captureUndoState();
    void captureRedoState();

    Document* document() const { return document_; }
    EditRecordPair* pair() const { return pair_; }

private:
    Document* document_;
    EditRecordPair* pair_ = nullptr;
};
