#pragma once
// Edit records: the undo and redo halves of one recorded change of a document, and the pair
// that holds them.
//
// | class             | word    | kind | addElement (element)                         | apply                                          |
// |-------------------|---------|------|----------------------------------------------|------------------------------------------------|
// | DeleteRecord      | "Del"   | 0    | deep copy of the element; the path of its     | a fresh copy of the saved element goes back    |
// |                   |         |      | parent and its index there                   | into the parent at the index                   |
// | InsertRecord      | "Ins"   | 1    | the path of the element                      | the element at the path leaves its parent and  |
// |                   |         |      |                                              | is destroyed                                   |
// | ModifyRecord      | "Mod"   | 2    | the path of the element and a deep copy      | the element at the path is replaced by a fresh |
// |                   |         |      |                                              | copy of the saved one and destroyed            |
// | StyleEditRecord   | "Style" | 4    | nothing                                      | a copy of the saved style set replaces the     |
// |                   |         |      |                                              | document's                                     |
//
// Every element record reaches its element through a PositionPath, never a kept pointer:
// applying a record destroys elements that the partner record and older groups would otherwise
// still name.  Undo and redo run the records in strict history order, so the tree each record
// meets is exactly the tree it was recorded against, and the indexes still lead to the place.
// A record whose path leads nowhere (or whose index no longer fits) applies nothing and answers
// false.
//
// Suspension: one process-wide counter; while it is above 0 edit brackets record nothing.
// apply and addElement raise it for their duration (RecordingSuspension), so the tree
// operations they call do not record again.
//
// Ownership: a record owns its saved copy; a pair owns both records; the group owns its pairs.

#include <memory>
#include <string>

#include "document/edit/IndexedList.h"
#include "document/tree/PositionPath.h"

class Element;
class ElementDocument;
class KString;
class StyleSet;

// The process-wide suspension counter.
int undoSuspensionCount();
class RecordingSuspension {
public:
    RecordingSuspension();
    ~RecordingSuspension();
    RecordingSuspension(const RecordingSuspension&) = delete;
    RecordingSuspension& operator=(const RecordingSuspension&) = delete;
};

enum EditRecordKind : int { RECORD_DELETE = 0, RECORD_INSERT = 1, RECORD_MODIFY = 2, RECORD_STYLE = 4 };

class EditRecord {
public:
    EditRecord() = default;
    virtual ~EditRecord() = default;
    EditRecord(const EditRecord&) = delete;
    EditRecord& operator=(const EditRecord&) = delete;

    virtual bool apply() = 0;
    // The record's word, followed by the kind number of its saved element when it has one.
    virtual void describe(KString& text) const = 0;
    virtual int recordKind() const = 0;
    virtual void captureState() {}
    virtual void addElement(Element* element, int argument) { (void)element, (void)argument; }
    virtual bool mergeWith(const EditRecord& other) const { (void)other; return false; }
};

// The shared part of the three element records.
class ElementRecord : public EditRecord {
public:
    explicit ElementRecord(ElementDocument* document) : document_(document) {}
    ~ElementRecord() override;
    const Element* savedElement() const { return saved_; }
    const PositionPath& path() const { return path_; }

protected:
    void describeWith(const char* word, KString& text) const;
    // Destroys the element removed from or replaced in `parent`, then lays the parent out.
    static void relayoutParent(Element* parent);

    ElementDocument* document_;
    Element* saved_ = nullptr;   // owned deep copy, or null
    PositionPath path_;          // Insert/Modify: the element; Delete: the parent
};

class DeleteRecord : public ElementRecord {
public:
    using ElementRecord::ElementRecord;
    bool apply() override;
    void describe(KString& text) const override { describeWith("Del", text); }
    int recordKind() const override { return RECORD_DELETE; }
    void addElement(Element* element, int argument) override;
    int childIndex() const { return index_; }

private:
    int index_ = -1;   // where the element stood in its parent
};

class InsertRecord : public ElementRecord {
public:
    using ElementRecord::ElementRecord;
    bool apply() override;
    void describe(KString& text) const override { describeWith("Ins", text); }
    int recordKind() const override { return RECORD_INSERT; }
    void addElement(Element* element, int argument) override;

private:
    bool listed_ = false;
};

class ModifyRecord : public ElementRecord {
public:
    using ElementRecord::ElementRecord;
    bool apply() override;
    void describe(KString& text) const override { describeWith("Mod", text); }
    int recordKind() const override { return RECORD_MODIFY; }
    void addElement(Element* element, int argument) override;
    // True for another modify record of the same element whose saved copy is a text element
    // equal to this record's (same kind, same text): the two typing edits are one.
    bool mergeWith(const EditRecord& other) const override;

private:
    bool listed_ = false;
};

class Document;

class StyleEditRecord : public EditRecord {
public:
    explicit StyleEditRecord(Document* document);
    ~StyleEditRecord() override;
    bool apply() override;
    void describe(KString& text) const override;
    int recordKind() const override { return RECORD_STYLE; }
    // Copies the document's current style set.
    void captureState() override;
    const StyleSet* savedStyles() const { return saved_.get(); }

private:
    Document* document_;
    std::unique_ptr<StyleSet> saved_;
};

// What two text elements are compared by for the typing merge: the element's text as the text
// element class gives it.  Text element classes install it; without it no two records merge.
extern bool (*textOfElement)(const Element* element, std::string& out);

class EditRecordPair : public IndexedListNode {
public:
    EditRecordPair() = default;
    ~EditRecordPair() override = default;
    std::unique_ptr<EditRecord> undoRecord;
    std::unique_ptr<EditRecord> redoRecord;
};
