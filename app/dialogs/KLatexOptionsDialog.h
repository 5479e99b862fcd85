#pragma once
// KLatexOptionsDialog: the question a LaTeX export asks before anything is written: the width
// that pictures get in the document, in points, and whether the file is written for LaTeX2e
// (\usepackage) or for LaTeX 2.09 (\documentstyle).
//
// Until the dialog's own window is built this is a stand-in that answers OK with 432 points and
// LaTeX2e.  In the GUI layer's test mode it takes the next script step when there is one: a
// "cancel" step cancels, any other step answers OK.

class Window;

class KLatexOptionsDialog {
public:
    static constexpr int kResourceId = 8006;
    static constexpr int kDefaultWidthPoints = 432;

    explicit KLatexOptionsDialog(Window* parent) : parent_(parent) {}
    // 1 for OK, 0 for Cancel.
    long execute();

    int widthPoints = kDefaultWidthPoints;
    bool latex2e = true;

private:
    Window* parent_;
};
