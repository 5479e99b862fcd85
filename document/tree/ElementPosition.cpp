// ElementPosition, TextPosition and the "{MARK " record.
#include "document/tree/ElementPosition.h"

#include <string>

#include "document/tree/Element.h"
#include "document/tree/CaretPosition.h"
#include "document/records/KWorksheetReader.h"
#include "document/records/KWorksheetWriter.h"
#include "document/records/WorksheetFileError.h"
#include "util/errjump.h"


namespace {
// Every live position, so that a destroyed element can take them off itself.
ElementPosition* livePositions = nullptr;
}  // namespace

// ---- registry ----------------------------------------------------------------------------------

void ElementPosition::registerSelf() {
    prevLive_ = nullptr;
    nextLive_ = livePositions;
    if (livePositions) livePositions->prevLive_ = this;
    livePositions = this;
}

void ElementPosition::unregisterSelf() {
    if (prevLive_) prevLive_->nextLive_ = nextLive_;
    else livePositions = nextLive_;
    if (nextLive_) nextLive_->prevLive_ = prevLive_;
    prevLive_ = nextLive_ = nullptr;
}

void ElementPosition::releasePositionsIn(const Element* element) {
    if (!element) return;
    for (ElementPosition* p = livePositions; p; p = p->nextLive_)
        if (p->element_ && element->contains(p->element_)) p->elementDestroyed();
}

void ElementPosition::releasePositionsOn(const Element* element) {
    for (ElementPosition* p = livePositions; p; p = p->nextLive_)
        if (p->element_ == element) p->elementDestroyed();
}

// ---- ElementPosition -----------------------------------------------------------------------------

ElementPosition::ElementPosition(ElementDocument* document) : document_(document) { registerSelf(); }

ElementPosition::ElementPosition(Element* element, int offset)
    : document_(element ? element->document() : nullptr), element_(element), offset_(offset) {
    registerSelf();
}

ElementPosition::ElementPosition(const ElementPosition& other)
    : document_(other.document_), element_(other.element_), offset_(other.offset_) {
    registerSelf();
}

ElementPosition& ElementPosition::operator=(const ElementPosition& other) {
    if (this != &other) {
        document_ = other.document_;
        element_ = other.element_;
        offset_ = other.offset_;
    }
    return *this;
}

ElementPosition::~ElementPosition() {
    // Only the base part is left here: notify without the derived detach.
    if (element_) element_->positionReleased(*this, offset_);
    element_ = nullptr;
    unregisterSelf();
}

void ElementPosition::detach(bool notify) {
    if (element_ && notify) element_->positionReleased(*this, offset_);
    element_ = nullptr;
    offset_ = 0;
}

void ElementPosition::setPosition(Element* element, int offset) {
    if (element_) element_->positionReleased(*this, offset_);
    element_ = element;
    offset_ = offset;
    if (element && !document_) document_ = element->document();
}

void ElementPosition::elementDestroyed() {
    element_ = nullptr;
    offset_ = 0;
}

bool ElementPosition::moveToEnd() { return placeAtEndOf(element()); }

bool ElementPosition::placeAtEndOf(Element* target) {
    if (!target) return false;
    Element* e = target;
    while (e->childCount() > 0 && !(e->flags & ELEMENT_COLLAPSED_SECTION)) {
        Element* last = e->lastChild();
        if (!last) break;
        e = last;
    }
    int offset = 0;
    int kind = e->elementKind();
    if (kind == KIND_TEXT || kind == KIND_INPUT_TEXT || kind == KIND_HYPERLINK) {
        offset = e->inputTextLength();
    } else if (kind == KIND_MATH || kind == KIND_EXPRESSION_EDIT) {
        offset = -1;
    } else if (e->childCount() <= 0 || (e->flags & ELEMENT_COLLAPSED_SECTION)) {
        Element* p = e->parent();
        Element* next = p ? p->nextChild(e) : nullptr;
        if (next) e = next;
    }
    setPosition(e, offset);
    return true;
}

bool ElementPosition::captureCaret(CaretHandle& handle, bool byPath) {
    Element* e = element();
    if (!e) {
        handle.put(nullptr);
        return false;
    }
    e->createCaretPosition(handle, byPath);
    if (SingleCaret* caret = handle.single()) caret->setOffset(offset_);
    return true;
}

void ElementPosition::restoreFromCaret(CaretHandle& handle) {
    CaretHandle keep = handle;
    SingleCaret* caret = keep.single();
    if (!caret) return;
    Element* e = caret->element();
    if (!e) return;   // its element was destroyed, or its path leads nowhere now
    setPosition(e, caret->offset());
}

// ---- TextPosition -----------------------------------------------------------------------------

void TextPosition::detach(bool notify) {
    ownCaret = false;
    valid = false;
    rect.width = 0;
    rect.height = 0;
    extra = 0;
    hintA = -1;
    hintB = -1;
    ElementPosition::detach(notify);
}

void TextPosition::setPosition(Element* element, int offset) {
    ElementPosition::setPosition(element, offset);
    valid = false;
    pending = false;
}

Element* TextPosition::element() {
    if (pending) setFromPoint(pendingX, pendingY, false);
    return element_;
}

void TextPosition::setFromPoint(int x, int y, bool rememberColumn) {
    detach(true);
    pending = false;
    rect.x = 0;
    rect.y = 0;
    if (document_) document_->positionAtPoint(*this, x, y);
    valid = element_ != nullptr;
    pending = false;
    if (rememberColumn) column = rect.x;
}

void TextPosition::holdAsPoint() {
    const ElementRect& r = rectangle();
    int px = r.x, py = r.y + r.height / 2;
    detach(true);
    pendingX = px;
    pendingY = py;
    pending = true;
}

void TextPosition::holdAsPointSilently() {
    // The element is going: keep the last known place without asking it anything.
    int px = rect.x, py = rect.y + rect.height / 2;
    detach(false);
    pendingX = px;
    pendingY = py;
    pending = true;
}

const ElementRect& TextPosition::rectangle() {
    if (!valid) {
        Element* e = element();
        if (e) {
            e->locatePosition(*this);
            valid = true;
        }
    }
    return rect;
}

bool TextPosition::equals(TextPosition& other) {
    if (element() != other.element()) return false;
    const ElementRect& a = rectangle();
    const ElementRect& b = other.rectangle();
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

ParagraphLine* TextPosition::line() {
    Element* e = element();
    return e ? e->lineAtPosition(*this) : nullptr;
}

// ---- "{MARK " ------------------------------------------------------------------------------------

void writeMark(KWorksheetWriter& writer, ElementPosition& position) {
    std::string path;
    Element* e = position.element();
    while (e) {
        Element* p = e->parent();
        if (!p) break;
        std::string index = std::to_string(p->indexOfChild(e));
        path = path.empty() ? index : index + " " + path;
        e = p;
    }
    writer.writeRaw("{MARK ");
    writer.writeQuotedString(path);
    writer.writeInt(position.offset());
    writer.writeRaw("}");
}

int clampMarkOffset(Element* element, int offset) {
    if (!element) return 0;
    int kind = element->elementKind();
    if (kind == KIND_TEXT || kind == KIND_INPUT_TEXT || kind == KIND_HYPERLINK) {
        int length = element->inputTextLength();
        return offset < 0 || offset > length ? length : offset;
    }
    if (kind == KIND_MATH || kind == KIND_EXPRESSION_EDIT) {
        int length = element->inputTextLength();
        return offset < -1 || offset > length ? -1 : offset;
    }
    return 0;
}

namespace {

constexpr int MAX_INDEX_DIGITS = 9;   // below 2^31 whatever the digits

// The child named by one path step, or null for anything that is not a plain decimal index
// of an existing child.
Element* stepTo(Element* e, const std::string& path, std::size_t& at) {
    while (at < path.size() && path[at] == ' ') ++at;
    std::size_t start = at;
    long index = 0;
    while (at < path.size() && path[at] != ' ') {
        char c = path[at];
        if (c < '0' || c > '9' || at - start >= MAX_INDEX_DIGITS) return nullptr;
        index = index * 10 + (c - '0');
        ++at;
    }
    if (at == start) return nullptr;
    if (index >= e->childCount()) return nullptr;
    return e->childAt(static_cast<int>(index));
}

bool onlyBlanksFrom(const std::string& path, std::size_t at) {
    for (; at < path.size(); ++at)
        if (path[at] != ' ') return false;
    return true;
}

}  // namespace

bool readMark(KWorksheetReader& reader, ElementPosition& position, Element* root) {
    long depth = reader.braceDepth();
    std::string name;
    reader.readToken(name);
    if (name.empty()) return false;   // the end of input
    bool found = false;
    if (name == "{MARK") {
        Element* target = nullptr;
        int offset = 0;
        try {
            ErrorGuard guard;
            std::string path;
            reader.readStringDefault(path);
            reader.readInt(offset);
            Element* e = root;
            if (!e) raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
            std::size_t at = 0;
            while (!onlyBlanksFrom(path, at)) {
                e = stepTo(e, path, at);
                if (!e) raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);   // a missing child
            }
            target = e;
        } catch (const ErrorJump&) {
            target = nullptr;
        }
        if (target) {
            position.setPosition(target, clampMarkOffset(target, offset));
            found = true;
        }
    }
    // The rest of the record, whatever it was.
    if (reader.braceDepth() > depth) reader.skipToDepth(depth);
    return found;
}
