#pragma once
// Dialogs from resources, their controls, and message boxes.
//
// A dialog is built from its resource; the program then binds controls to it by class and
// local id (`Edit edit(&dialog, ResId(1))`), as the resources name them.  A control that the
// resource does not hold throws std::runtime_error naming the class, id and dialog.
//
// ModalDialog::execute runs a nested loop (gui::LoopScope, Application.h): an exception a
// handler lets escape closes the dialog with 0 and is rethrown from execute.  OKButton ends the
// dialog with 1 and CancelButton with 0 unless a click handler is set; a handler may refuse
// and keep the dialog open.
//
// Geometry: a dialog's position is on the screen, its size the client area's, both in pixels; a
// control's position counts from the dialog's client area.  A program window (made without a
// parent) can be put into a dialog with insertWindow: it then sits in the client area like a
// control, shows and hides with the dialog, and is deleted by the program before the dialog.
//
// Message boxes: ErrorBox (style 528, OK), QueryBox (4224: Yes, No, Cancel; 4160: Yes, No),
// InfoBox; answers 2 yes, 3 no, 0 cancel, 1 OK.
//
// Test mode (gui_test.h): message boxes and modal dialogs take their steps from the script;
// every box text is recorded; an unexpected run or a step that does not match is recorded as a
// failure and the run ends with 0.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/gui/Resource.h"
#include "platform/gui/base/Link.h"
#include "platform/gui/base/geometry.h"
#include "platform/gui/base/String.h"

class QString;
class QWidget;
class Window;

enum : int { RET_CANCEL = 0, RET_OK = 1, RET_YES = 2, RET_NO = 3 };

// Button and default bits of message-box styles.
enum : uint32_t {
    WB_OK = 0x10,
    WB_OK_CANCEL = 0x20,
    WB_YES_NO = 0x40,
    WB_YES_NO_CANCEL = 0x80,
    WB_DEF_OK = 0x200,
    WB_DEF_YES = 0x1000,
    WB_ERRORBOX_STYLE = 528,      // OK, OK default
    WB_QUERY_YNC = 4224,          // Yes, No, Cancel; Yes default
    WB_QUERY_YN = 4160,           // Yes, No; Yes default
};

class Dialog {
public:
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    void setText(const String& title);
    String getText() const;
    // Ends the dialog with a result (modal) or hides it (modeless).
    void endDialog(long result);
    void show(bool on = true);
    bool isVisible() const;
    // Screen position and client size (the dialog keeps that size: the user cannot resize it).
    void setPosSizePixel(const Point& screenPos, const Size& clientSize);
    Point getPosPixel() const;
    Size getOutputSizePixel() const;
    // Makes a window without a parent a child of the dialog's client area (geometry above).
    void insertWindow(Window& child);
    // The widget of a control, or null.
    QWidget* findControl(const char* cls, int id) const;
    QWidget* peer() const;
    int getResId() const;

    struct Impl;

protected:
    friend class Button;
    // `releaseResource` (the resource-context release flag) does nothing.
    Dialog(Window* parent, const ResId& id, bool modal);
    std::unique_ptr<Impl> impl_;
};

class ModalDialog : public Dialog {
public:
    ModalDialog(Window* parent, const ResId& id, bool releaseResource = true);
    // Non-zero after OK, 0 after Cancel.
    long execute();
};

class ModelessDialog : public Dialog {
public:
    ModelessDialog(Window* parent, const ResId& id, bool releaseResource = true);
};

class Control {
public:
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    void setText(const String& text);
    String getText() const;
    void enable(bool on = true);
    bool isEnabled() const;
    void show(bool on = true);
    void hide() { show(false); }
    void grabFocus();
    // Pixels in the dialog's client area.
    void setPosSizePixel(const Point& p, const Size& s);
    Point getPosPixel() const;
    Size getSizePixel() const;
    // The resource's help text (empty when it has none).
    String getHelpText() const;
    int getId() const { return id_; }
    QWidget* widget() const { return widget_; }

protected:
    friend class Dialog;
    Control(Dialog* dialog, const char* cls, const ResId& id);
    Dialog* dialog_;
    QWidget* widget_;
    int id_;
};

class FixedText : public Control {
public:
    FixedText(Dialog* d, const ResId& id) : Control(d, "FixedText", id) {}
};

class GroupBox : public Control {
public:
    GroupBox(Dialog* d, const ResId& id) : Control(d, "GroupBox", id) {}
};

class Edit : public Control {
public:
    Edit(Dialog* d, const ResId& id);
    void setModifyHdl(const Link& l);
    // Selects the whole text.
    void selectAll();
    void setSelection(int from, int to);
    void cut();
    void copy();
    void paste();

private:
    Link modify_;
};

class Button : public Control {
public:
    ~Button() override;
    void setClickHdl(const Link& l) { click_ = l; }
    const Link& getClickHdl() const { return click_; }
    // Runs what a click runs.
    virtual void click();

protected:
    Button(Dialog* d, const char* cls, const ResId& id);
    Link click_;
};

class PushButton : public Button {
public:
    PushButton(Dialog* d, const ResId& id) : Button(d, "PushButton", id) {}
};

class OKButton : public Button {
public:
    OKButton(Dialog* d, const ResId& id) : Button(d, "OKButton", id) {}
    void click() override;
};

class CancelButton : public Button {
public:
    CancelButton(Dialog* d, const ResId& id) : Button(d, "CancelButton", id) {}
    void click() override;
};

class CheckBox : public Button {
public:
    CheckBox(Dialog* d, const ResId& id) : Button(d, "CheckBox", id) {}
    void check(bool on = true);
    bool isChecked() const;

protected:
    CheckBox(Dialog* d, const char* cls, const ResId& id) : Button(d, cls, id) {}
};

class RadioButton : public CheckBox {
public:
    RadioButton(Dialog* d, const ResId& id) : CheckBox(d, "RadioButton", id) {}
};

// States 0 unchecked, 1 checked, 2 don't know.
class TriStateBox : public CheckBox {
public:
    TriStateBox(Dialog* d, const ResId& id) : CheckBox(d, "TriStateBox", id) {}
    void setState(int s);
    int getState() const;
};

class MessBox {
public:
    MessBox(Window* parent, uint32_t style, const String& text, const String& title = String());
    virtual ~MessBox() = default;
    // 1 OK, 2 yes, 3 no, 0 cancel.
    long execute();
    const String& getMessText() const { return text_; }

private:
    Window* parent_;
    uint32_t style_;
    String text_, title_;
};

class ErrorBox : public MessBox {
public:
    ErrorBox(Window* parent, uint32_t style, const String& text) : MessBox(parent, style, text, "Error") {}
};
class QueryBox : public MessBox {
public:
    QueryBox(Window* parent, uint32_t style, const String& text, const String& title = String())
        : MessBox(parent, style, text, title) {}
};
class InfoBox : public MessBox {
public:
    InfoBox(Window* parent, const String& text) : MessBox(parent, WB_OK | WB_DEF_OK, text, "Information") {}
};

namespace gui {
// "~" before a mnemonic becomes "&"; a literal "&" becomes "&&".
QString mnemonicText(const String& text);
}  // namespace gui
