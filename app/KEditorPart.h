#pragma once
// KEditorPart: the editing side of a worksheet window, the interface through which the elements
// ask the window to edit.  It owns the window's caret and selection; the requests are empty
// here and the worksheet window overrides them.
//
// The caret and the selection are made at construction for the document and window given and
// deleted with the part (the caret first, since it may point into the selection's tree).
//
// Requests the worksheet window answers (empty here): executeAction (an editing action),
// setComputing, captureElement / releaseElement (an element takes or gives back the mouse, with
// its origin), showStyles (the text context bar shows a paragraph and a character style) and
// showStatusText (the status area shows a text, or nothing for null).

#include <cstdint>
#include <memory>

#include "document/tree/ElementEnvironment.h"

class Element;
class Selection;
class StyleSet;
class ViewCaret;

class KEditorPart {
public:
    KEditorPart(ElementDocument* document, ElementWindow* window);
    virtual ~KEditorPart();
    KEditorPart(const KEditorPart&) = delete;
    KEditorPart& operator=(const KEditorPart&) = delete;

    virtual bool isEditable() const { return editable_; }
    virtual void setEditable(bool editable) { editable_ = editable; }
    virtual void setComputing(bool computing) { (void)computing; }
    // Runs an editing action; false when not handled (nothing is handled here).
    virtual bool executeAction(int code, const char* text, std::intptr_t argument) {
        (void)code, (void)text, (void)argument;
        return false;
    }
    virtual void captureElement(Element* element, ElementPoint origin) { (void)element, (void)origin; }
    virtual void releaseElement(Element* element, ElementPoint origin) { (void)element, (void)origin; }
    virtual void showStyles(StyleSet* styleSet, int paragraphStyle, int characterStyle) {
        (void)styleSet, (void)paragraphStyle, (void)characterStyle;
    }
    virtual void showStatusText(const char* text) { (void)text; }
    // The selection's marks are cleared from the whole tree and the mark value reset.
    virtual void clearSelectionMarks();
    virtual Selection* selection();
    // Offers (code, text, argument, context) to every element of the subtree through its
    // commandVisitor; true.
    virtual bool walkElements(Element* element, int code, const char* text, std::intptr_t argument,
                              void* context);
    virtual ViewCaret* caret();

    int32_t markValue() const { return markValue_; }
    void setMarkValue(int32_t value) { markValue_ = value; }

private:
    std::unique_ptr<ViewCaret> caret_;
    std::unique_ptr<Selection> selection_;
    int32_t markValue_ = 0;
    bool editable_ = true;
};
