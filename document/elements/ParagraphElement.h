#pragma once
// ParagraphElement (kind 2, worksheet tag PARA): a line-broken run of inline elements with a
// paragraph style, an optional prompt ("> ", "DBG> ") and an optional bookmark name.
//
// Members after the composite's: styleIndex (index into the document's style set; user styles
// from 256), prompt (owned copy or none), outputFlag (the paragraph is kernel output: set when
// an execution group places it; output paragraphs go when a group's output is replaced),
// bookmark (empty: none).
//
// The children are the composite's slots (each child owned, inserted and removed with undo
// recording).  Layout is the composite's stacking until the paragraph's own line breaking
// lands; records and exports likewise come with it.
//
// Invariant: destroying a paragraph that has a bookmark marks its document's bookmark index
// as not built, so no stale name survives.

#include <cstdint>
#include <memory>

#include "document/tree/CompositeElement.h"
#include "util/KString.h"

class Document;
class ElementDocument;
class ParaStyle;

class ParagraphElement : public CompositeElement {
public:
    // Paragraph styles of the worksheet's outputs and lists.
    enum StyleIndex : int {
        STYLE_NORMAL = 0,
        STYLE_TEXT_OUTPUT = 2,
        STYLE_LINE_PRINTED = 6,
        STYLE_WARNING = 7,
        STYLE_ERROR = 8,
        STYLE_DIAGNOSTIC = 9,
        STYLE_KELVO_OUTPUT = 11,
        STYLE_KELVO_PLOT = 13,
        STYLE_BULLET_ITEM = 15,
        STYLE_DASH_ITEM = 16,
    };

    ParagraphElement(int styleIndex, const char* prompt);
    // Copies the output flag, bookmark, style and prompt, then the children.
    ParagraphElement(const ParagraphElement& other);
    ~ParagraphElement() override;

    Element* cloneElement() const override { return new ParagraphElement(*this); }
    int elementKind() const override { return KIND_PARAGRAPH; }
    bool isOutput() const override { return outputFlag_ != 0; }
    void setOutput(bool flag) override { outputFlag_ = flag ? 1 : 0; }

    // Frees the old prompt; keeps a copy of the text, or none for null.
    void setPrompt(const char* text);
    const char* prompt() const { return prompt_.get(); }
    // The resolved paragraph style of styleIndex in the document's style set (this paragraph's
    // own document when none is given); null without a document.
    const ParaStyle* paraStyle(Document* document = nullptr);
    // True with a prompt, or for the Bullet Item and Dash Item styles.
    bool isPromptOrList() const;
    // The document's bookmark index (when there is a document) is marked as not built.
    void clearBookmarkIndex();

    std::int16_t styleIndex = 0;
    KString bookmark;

private:
    std::unique_ptr<char[]> prompt_;
    unsigned char outputFlag_ = 0;
};
