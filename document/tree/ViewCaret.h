#pragma once
// ViewCaret: the caret of a worksheet window.  A TextPosition with the window's text cursor,
// a hide counter and a busy flag.
//
// Hide counter: starts at 1 (a new caret is hidden); every hide raises it, every show lowers
// it (not below 0); the caret is visible only at 0, so n hides need n shows.
// Busy flag: set while the caret repaints the window; a busy caret leaves the text cursor and
// the own-drawn caret alone (only the counter moves).
//
// hideShow codes: 1, 3 hide; 2 nothing; 5 hide and forget the own-drawn state; others show.
// Column: moves by codes 0, 1, 2, 3, 8, 9 and 20 set `column` to the caret's x; codes 4 and 5
// (vertical moves) and the others keep it.
//
// Owns its text cursor (made by the window); the window is borrowed and outlives the caret.

#include <memory>

#include "document/tree/ElementPosition.h"

class ViewCaret : public TextPosition {
public:
    ViewCaret(ElementDocument* document, ElementWindow* window);
    ~ViewCaret() override;
    ViewCaret(const ViewCaret&) = delete;
    ViewCaret& operator=(const ViewCaret&) = delete;

    bool captureCaret(CaretHandle& handle, bool byPath) override;
    void restoreFromCaret(CaretHandle& handle) override;

    void hideShow(int code);
    void hide() { hideShow(3); }
    void show() { hideShow(4); }
    void moveBy(int code);
    void moveByAndShow(int code);
    void moveToPoint(int x, int y);
    void scrollIntoView(bool centre);
    void notifyElement();
    void refreshWindow();
    bool dispatchCommand(int code, const char* text, std::intptr_t argument);

    int hideCount() const { return hideCount_; }
    bool busy = false;
    bool ownDrawn = false;   // the element has drawn its own caret
    ElementWindow* window() const { return window_; }

private:
    ElementWindow* window_;
    std::unique_ptr<TextCursor> cursor_;
    int hideCount_ = 1;
};
