#pragma once
// Document: the base of every document a window shows.  Owns the element tree (a root
// section), the style set, the bookmark index, the undo history, the titles, and the list of
// views that show it.  Most operations are walks of the tree that call one element operation
// on every element; every walk does nothing without a root.
//
// Members, in order: styleSet (owned), root (owned), activeView, bookmarks (owned),
// interrupted, displayTitle (owned copy), title, modified, stopped, viewsNotified,
// undoHistory (owned; limit from the options' "UndoBufferLength", 15 by default), layoutHold,
// viewCount, currentElement, views (in order of attachment).
//
// Invariants:
//   1. layoutHold >= 0: a release without a matching hold is ignored, so the document never
//      stops laying out for good.
//   2. viewCount == views.size(); removing the last view deletes the document (the caller must
//      not touch it afterwards: removeView answers false then).
//   3. A window that goes (its view is removed) leaves no undo group linked to it, and a
//      document that goes leaves no group of another history linked to its own.
//
// Views: every DocumentView (document/tree/DocumentView.h) registers itself at construction
// and unregisters at destruction; the document sends its notices to each and lays out and
// draws for its active view.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/tree/DocumentView.h"
#include "document/tree/Element.h"
#include "document/tree/ElementEnvironment.h"
#include "document/styles/StyleSet.h"
#include "util/KString.h"

class BookmarkIndex;
class Element;
class ElementPosition;
class TextPosition;
class UndoHistory;
class ViewCaret;
class KViewOptions;
class KWorksheetWriter;
class KExportWriter;
class KLatexExportWriter;
class FilePath;
class KInterfaceVars;
struct WordScanner;

// Options the document reads at construction.
struct DocumentOptions {
    int undoBufferLength = 15;
    bool htmlFrames = true;   // the HTML export writes a frameset and a table of contents
};
extern DocumentOptions documentOptions;

// Record of collectGroups (first group, last group, chain flag); the group class fills it.
struct GroupListRecord {
    Element* first = nullptr;
    Element* last = nullptr;
    bool chain = false;
};

// Record of replaceStyleIndex.
struct StyleIndexChange {
    int oldIndex = -1;
    int newIndex = -1;
    int kind = 0;
};

class Document : public ElementDocument, public StyleSetOwner {
public:
    Document();
    ~Document() override;
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // ---- virtual operations ----------------------------------------------------------------
    virtual int documentKind() const override { return 0; }
    virtual std::string filePath() const { return std::string(); }
    void positionAtPoint(TextPosition& position, int x, int y) override;
    // Codes 6 page up, 7 page down, 8 line start, 9 line end, 10 document start, 11 end.
    virtual bool moveCaret(TextPosition& position, int code);
    bool moveCaret(ViewCaret& caret, int code) override;
    virtual void caretPosition(TextPosition& out, bool atStart);
    virtual bool hasCopyableSelection() const;
    virtual bool isPointInSelection(int x, int y) const;
    virtual void setCurrentElement(Element* element) { currentElement_ = element; }
    virtual Element* currentElement() const { return currentElement_; }
    virtual Element* currentParagraph() const;
    // Makes the view active and lays the root out for it; the extent, when given, receives the
    // root's size.
    virtual void setActiveView(DocumentView* view, int availableWidth, ElementExtent* extent);
    // Draws the tree for the view, when it is the active one, within the area (document
    // coordinates): the view's pen is pushed (black, colour index 5, width 0, solid) and popped.
    virtual void layoutForView(DocumentView* view, const ElementRect& area);
    virtual Element* elementAtPoint(int x, int y, ElementPoint& origin) const;
    virtual bool hasIdleSession() const { return false; }
    virtual KInterfaceVars* interfaceVars() const { return nullptr; }
    virtual void visitLeaves();
    virtual void collectLeafItems(std::vector<Element*>& list);
    virtual bool exportText(KExportWriter& writer);
    // Writes the document as HTML files beside exportPath (documentOptions.htmlFrames decides
    // the frameset); false with the reason in errorText when a file cannot be made, or without
    // a root.
    bool exportHtml(const FilePath& exportPath, KString& errorText);
    // Writes the document as a LaTeX file through the writer (Document_latex.cpp): the option
    // value goes to the element exports, latex2e chooses \usepackage{kelvo2e} over
    // \documentstyle[kelvo209], path and baseName are the export file's full path and name
    // (pictures are written beside it).  False without a root or when the writer's stream
    // failed; an element export's error is raised on, with the plot device put back.
    bool exportLatex(KLatexExportWriter& writer, int option, bool latex2e, const std::string& path,
                     const std::string& baseName);
    virtual void markUsedStyles(Element* subtree);
    virtual void collectWords(WordScanner& scanner);
    virtual void collectGroups(bool chain, bool markedOnly, Element** first);
    virtual void countKinds(ElementKindCounts& counts, Element* subtree);
    virtual void countCharacters(CharacterCounts& counts);
    void replaceStyleIndex(bool character, int oldIndex, int newIndex) override;
    virtual void replaceStyleIndex(int oldIndex, int newIndex, int kind, Element* subtree);
    virtual void placeChildWindows();
    virtual void broadcastViewScale(const ViewScaleChange& change);
    // A view's zoom changed from old to new ratio: each element's zoomChanged sees both.
    virtual void zoomChanged(int oldNumerator, int oldDenominator, int newNumerator, int newDenominator);
    virtual void showChildWindows(bool flag);
    virtual void updateInputSyntax();
    virtual void repaintChildWindows();
    virtual bool findTextInSections(const char* pattern, Element** section);
    virtual bool joinOfKind(int kind);

    // Writes the document as a worksheet file (WorksheetFile.h): with whole, the version, the
    // used styles, the element records, the mark and the view options (each when given);
    // without, only the version and the style table (a style set file).  False when an error
    // was raised while writing; what was written so far stays in the writer.
    virtual bool writeWorksheet(KWorksheetWriter& writer, ElementPosition* mark, const KViewOptions* viewOptions,
                                bool whole);

    // ---- ElementDocument -------------------------------------------------------------------
    Element* root() override { return root_.get(); }
    DocumentView* activeView() override { return activeView_; }
    ElementWindow* activeWindow() override { return activeEditTarget(); }
    bool layoutHeld() const override { return layoutHold_ > 0; }
    void holdLayout() override { holdLayout(false); }
    void releaseLayout() override { holdLayout(true); }
    void forgetElement(Element* element) override;

    // ---- StyleSetOwner ---------------------------------------------------------------------
    void paraStyleChanged(int index) override { notifyViewsParaStyle(index); }
    void charStyleChanged(int charIndex, int paraIndex, int overrideIndex) override {
        notifyViewsCharStyle(charIndex, paraIndex, overrideIndex);
    }

    // ---- non-virtual -------------------------------------------------------------------------
    // Takes ownership of the root (the old one is deleted).
    void setRoot(Element* root);
    StyleSet* styleSet() const { return styleSet_.get(); }
    // The old set is destroyed; the views restyle.
    void replaceStyleSet(std::unique_ptr<StyleSet> styles);
    BookmarkIndex* bookmarks() const { return bookmarks_.get(); }
    UndoHistory* undoHistory() const { return undoHistory_.get(); }

    const char* title() const { return displayTitle_.c_str(); }
    const KString& plainTitle() const { return title_; }
    void setPlainTitle(const char* text) { title_.assign(text); }
    void setDisplayTitle(const char* text);

    void addView(DocumentView* view);
    // False when it was the last view: the document has deleted itself.
    bool removeView(DocumentView* view);
    int viewCount() const { return viewCount_; }
    const std::vector<DocumentView*>& views() const { return views_; }

    bool isPointOutsideSelection(int x, int y);
    void stylesChanged();
    void notifyStylesChanged(Element* subtree = nullptr);
    void refreshTextLayout(Element* subtree = nullptr);
    void holdLayout(bool release);
    void relayout();
    int countMarkedInline(Element* subtree);
    void notifyShown();
    void notifyClosing();
    void notifyViews(std::intptr_t argument);
    void notifyViewsParaStyle(int index);
    void notifyViewsCharStyle(int charIndex, int paraIndex, int overrideIndex);
    bool hasOpenUndoGroup() const;

    DocumentView* activeDocumentView() const { return activeView_; }
    ElementWindow* activeWorksheetWindow() const;
    ElementWindow* activeDocWindow() const;
    ElementWindow* activeEditTarget() const;
    ViewCaret* activeCaret() const;

    int layoutHold() const { return layoutHold_; }
    int relayoutCount() const { return relayoutCount_; }

    bool interrupted = false;
    bool modified = false;
    bool stopped = false;
    bool viewsNotified = false;

private:
    // A walk from the subtree, or with markedFlags over the marked part of the whole tree.
    void walkSubtreeOrMarked(Element* subtree, std::uint8_t flags, std::uint8_t markedFlags,
                             void (Element::*method)(struct WalkControl&), struct WalkControl& control);

    std::unique_ptr<StyleSet> styleSet_;
    std::unique_ptr<Element> root_;
    DocumentView* activeView_ = nullptr;
    std::unique_ptr<BookmarkIndex> bookmarks_;
    std::string displayTitle_;
    KString title_;
    std::unique_ptr<UndoHistory> undoHistory_;
    int layoutHold_ = 0;
    int viewCount_ = 0;
    Element* currentElement_ = nullptr;
    std::vector<DocumentView*> views_;
    int relayoutCount_ = 0;   // layouts run by relayout (observable by tests and benchmarks)
};
