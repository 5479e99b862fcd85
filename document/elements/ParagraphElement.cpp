// ParagraphElement: data, construction, prompt, style and child access of the paragraph.
#include "document/elements/ParagraphElement.h"

#include <cstring>

#include "document/edit/BookmarkIndex.h"
#include "document/edit/Document.h"
#include "document/styles/StyleSet.h"

namespace {
std::unique_ptr<char[]> copyText(const char* text) {
    if (!text) return nullptr;
    std::size_t n = std::strlen(text);
    auto copy = std::make_unique<char[]>(n + 1);
    std::memcpy(copy.get(), text, n + 1);
    return copy;
}
}  // namespace

ParagraphElement::ParagraphElement(int index, const char* prompt)
    : styleIndex(static_cast<std::int16_t>(index)), prompt_(copyText(prompt)) {}

ParagraphElement::ParagraphElement(const ParagraphElement& other)
    : CompositeElement(other),
      styleIndex(other.styleIndex),
      bookmark(other.bookmark),
      prompt_(copyText(other.prompt_.get())),
      outputFlag_(other.outputFlag_) {
    other.copyChildrenTo(this);
}

ParagraphElement::~ParagraphElement() {
    if (bookmark.length() > 0) clearBookmarkIndex();
}

void ParagraphElement::clearBookmarkIndex() {
    auto* doc = dynamic_cast<Document*>(document());
    if (doc && doc->bookmarks()) doc->bookmarks()->invalidate();
}

void ParagraphElement::setPrompt(const char* text) {
    prompt_ = copyText(text);
    markNeedsLayout();
}

const ParaStyle* ParagraphElement::paraStyle(Document* doc) {
    if (!doc) doc = dynamic_cast<Document*>(document());
    if (!doc || !doc->styleSet()) return nullptr;
    return &doc->styleSet()->resolvedParaStyle(styleIndex);
}

bool ParagraphElement::isPromptOrList() const {
    return prompt_ != nullptr || styleIndex == STYLE_BULLET_ITEM || styleIndex == STYLE_DASH_ITEM;
}
