// Dialogs from resources, controls and message boxes (rules in Dialog.h).
#include "platform/gui/Dialog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QSpinBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <map>
#include <stdexcept>

#include "platform/gui/Application.h"
#include "platform/gui/Dialog_controls.h"
#include "platform/gui/Window.h"
#include "platform/gui/gui_test.h"
#include "platform/gui/qt_text.h"

namespace gui {

QString mnemonicText(const String& text) {
    QString in = toQString(text), out;
    out.reserve(in.size() + 2);
    for (QChar c : in) {
        if (c == QLatin1Char('~')) out += QLatin1Char('&');
        else if (c == QLatin1Char('&')) out += QStringLiteral("&&");
        else out += c;
    }
    return out;
}

}  // namespace gui

struct Dialog::Impl {
    QDialog* dlg = nullptr;
    int resId = 0;
    bool modal = false;
    std::map<std::pair<std::string, int>, QWidget*> controls;
    std::map<QWidget*, Button*> buttons;  // program objects bound to button widgets
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

namespace {

QWidget* peerOf(Window* w) { return w ? static_cast<QWidget*>(w->getNativeHandle()) : nullptr; }

std::string titleOf(const Dialog& d) { return d.getText().str(); }

// A scripted choice of an entry, as the user makes it: by its text, or by position (`state`)
// when the text is empty.  False when there is no such entry.
bool selectScripted(QWidget* w, const gui::test::Step& s) {
    const QString t = gui::toQString(String(s.text));
    if (auto* l = qobject_cast<QListWidget*>(w)) {
        int row = s.text.empty() ? s.state : -1;
        for (int i = 0; row < 0 && i < l->count(); ++i)
            if (l->item(i)->text() == t) row = i;
        if (row < 0 || row >= l->count()) return false;
        l->setCurrentRow(row);
        if (s.answer == 2) emit l->itemDoubleClicked(l->item(row));
        return true;
    }
    if (auto* c = qobject_cast<QComboBox*>(w)) {
        int row = s.text.empty() ? s.state : c->findText(t, Qt::MatchExactly);
        if (row < 0 || row >= c->count()) return false;
        c->setCurrentIndex(row);
        emit c->activated(row);
        return true;
    }
    return false;
}

// One step of the test script for a running modal dialog (gui_test.h).
void driveDialog(Dialog* d, const std::shared_ptr<bool>& alive) {
    if (!*alive || !d->isVisible()) return;
    QDialog* dlg = static_cast<QDialog*>(d->peer());
    gui::test::Step s;
    std::string title = titleOf(*d);
    if (!gui::test::takeStep(s)) {
        gui::test::recordFailure("script ran out in dialog \"" + title + "\"");
        dlg->done(0);
        return;
    }
    if (s.kind == gui::test::Step::AnswerBox) {
        gui::test::recordFailure("dialog \"" + title + "\" opened where the script expected a message box");
        dlg->done(0);
        return;
    }
    if (!s.expect.empty() && s.expect != title) {
        gui::test::recordFailure("dialog \"" + title + "\" opened where the script expected \"" + s.expect + "\"");
        dlg->done(0);
        return;
    }
    const char* cls = s.kind == gui::test::Step::SetEditText && s.control.empty() ? "Edit" : s.control.c_str();
    if (s.kind == gui::test::Step::SelectEntry && s.control.empty()) cls = "ListBox";
    QWidget* w = d->findControl(cls, s.id);
    if (!w) {
        gui::test::recordFailure("dialog \"" + title + "\" has no " + cls + " " + std::to_string(s.id));
        dlg->done(0);
        return;
    }
    switch (s.kind) {
    case gui::test::Step::SetEditText:
        if (auto* e = qobject_cast<QLineEdit*>(w)) {
            // As typed: the field's edit handlers run, then it is left (reformat).
            e->setText(gui::toQString(String(s.text)));
            emit e->textEdited(e->text());
            emit e->editingFinished();
        } else if (auto* c = qobject_cast<QComboBox*>(w)) {
            c->setEditText(gui::toQString(String(s.text)));
        } else if (auto* n = qobject_cast<QSpinBox*>(w)) {
            n->setValue(gui::toQString(String(s.text)).toInt());
        }
        break;
    case gui::test::Step::SelectEntry:
        if (!selectScripted(w, s)) {
            gui::test::recordFailure("dialog \"" + title + "\": " + cls + " " + std::to_string(s.id) + " has no entry \"" + s.text + "\"");
            dlg->done(0);
            return;
        }
        break;
    case gui::test::Step::CheckBox:
        if (auto* c = qobject_cast<QCheckBox*>(w)) c->setCheckState(s.state == 2 ? Qt::PartiallyChecked : s.state ? Qt::Checked : Qt::Unchecked);
        else if (auto* r = qobject_cast<QRadioButton*>(w)) r->setChecked(s.state != 0);
        break;
    case gui::test::Step::ClickButton:
        if (auto* b = qobject_cast<QAbstractButton*>(w)) b->click();
        break;
    default:
        break;
    }
    if (*alive && d->isVisible()) QTimer::singleShot(0, dlg, [d, alive] { driveDialog(d, alive); });
}

}  // namespace

Dialog::Dialog(Window* parent, const ResId& id, bool modal) : impl_(std::make_unique<Impl>()) {
    gui::ensureApplication();
    const gui::DialogDesc* desc = gui::findDialog(id.id);
    if (!desc) throw std::runtime_error("dialog resource " + std::to_string(id.id) + " not found");
    impl_->resId = id.id;
    impl_->modal = modal;
    impl_->dlg = new QDialog(peerOf(parent));
    QDialog* dlg = impl_->dlg;
    dlg->setWindowTitle(gui::toQString(desc->title));
    QFontMetrics fm(dlg->font());
    const int cw = std::max(1, fm.averageCharWidth()), ch = std::max(1, fm.height());
    auto px = [&](int x, int y, int w, int h) { return QRect(x * cw / 4, y * ch / 8, w * cw / 4, h * ch / 8); };
    dlg->setFixedSize(desc->width * cw / 4, desc->height * ch / 8);
    for (const gui::ControlDesc& c : desc->controls) {
        QWidget* w = nullptr;
        QString text = gui::mnemonicText(c.text);
        if (c.cls == "FixedText") w = new QLabel(text, dlg);
        else if (c.cls == "Edit") w = new QLineEdit(gui::toQString(c.text), dlg);
        else if (c.cls == "GroupBox") w = new QGroupBox(text, dlg);
        else if (c.cls == "CheckBox") w = new QCheckBox(text, dlg);
        else if (c.cls == "TriStateBox") {
            auto* t = new QCheckBox(text, dlg);
            t->setTristate(true);
            w = t;
        } else if (c.cls == "RadioButton") w = new QRadioButton(text, dlg);
        else if (QWidget* lw = gui::makeListControl(c.cls, c.text, dlg)) w = lw;
        else {
            auto* b = new QPushButton(text, dlg);
            b->setAutoDefault(false);
            if (c.cls == "OKButton") b->setDefault(true);
            w = b;
        }
        w->setGeometry(px(c.x, c.y, c.width, c.height));
        if (!c.help.isEmpty()) w->setToolTip(gui::toQString(c.help));
        w->setObjectName(QString::fromStdString(c.cls + ":" + std::to_string(c.id)));
        impl_->controls[{c.cls, c.id}] = w;
        if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            std::string cls = c.cls;
            Impl* impl = impl_.get();
            QObject::connect(b, &QAbstractButton::clicked, dlg, [impl, b, cls] {
                auto it = impl->buttons.find(b);
                if (it != impl->buttons.end()) {
                    Button* bound = it->second;
                    gui::guardedCall([bound] { bound->click(); });
                } else if (cls == "OKButton") {
                    impl->dlg->done(1);
                } else if (cls == "CancelButton") {
                    impl->dlg->done(0);
                }
            });
        }
    }
    // Escape and the window's close box act as Cancel.
    QObject::connect(dlg, &QDialog::rejected, dlg, [] {});
}

Dialog::~Dialog() {
    *impl_->alive = false;
    for (auto& [w, b] : impl_->buttons) b->dialog_ = nullptr;
    impl_->dlg->hide();
    impl_->dlg->deleteLater();
}

void Dialog::setText(const String& title) { impl_->dlg->setWindowTitle(gui::toQString(title)); }
String Dialog::getText() const { return gui::fromQString(impl_->dlg->windowTitle()); }
void Dialog::endDialog(long result) {
    if (impl_->modal) impl_->dlg->done(static_cast<int>(result));
    else impl_->dlg->hide();
}
void Dialog::show(bool on) { impl_->dlg->setVisible(on); }
bool Dialog::isVisible() const { return impl_->dlg->isVisible(); }
QWidget* Dialog::peer() const { return impl_->dlg; }
void Dialog::setPosSizePixel(const Point& screenPos, const Size& clientSize) {
    impl_->dlg->setFixedSize(std::max(1, clientSize.width), std::max(1, clientSize.height));
    impl_->dlg->move(screenPos.x, screenPos.y);
}
Point Dialog::getPosPixel() const { return Point(impl_->dlg->x(), impl_->dlg->y()); }
Size Dialog::getOutputSizePixel() const { return Size(impl_->dlg->width(), impl_->dlg->height()); }
void Dialog::insertWindow(Window& child) {
    auto* peer = static_cast<QWidget*>(child.getNativeHandle());
    if (!peer || peer->parentWidget() == impl_->dlg) return;
    const bool shown = !peer->isHidden();
    peer->setParent(impl_->dlg, Qt::WindowFlags());
    peer->setVisible(shown);
}
int Dialog::getResId() const { return impl_->resId; }
QWidget* Dialog::findControl(const char* cls, int id) const {
    auto it = impl_->controls.find({cls, id});
    return it == impl_->controls.end() ? nullptr : it->second;
}

ModalDialog::ModalDialog(Window* parent, const ResId& id, bool) : Dialog(parent, id, true) {}

long ModalDialog::execute() {
    QDialog* dlg = impl_->dlg;
    if (gui::test::isActive()) {
        std::shared_ptr<bool> alive = impl_->alive;
        QTimer::singleShot(0, dlg, [this, alive] { driveDialog(this, alive); });
    }
    gui::LoopScope scope(gui::LoopKind::Modal, [dlg] { dlg->done(0); });
    int r = dlg->exec();
    scope.rethrowIfFailed();
    return r;
}

ModelessDialog::ModelessDialog(Window* parent, const ResId& id, bool) : Dialog(parent, id, false) {
    impl_->dlg->setModal(false);
}

// ---- controls ----

Control::Control(Dialog* dialog, const char* cls, const ResId& id) : dialog_(dialog), widget_(nullptr), id_(id.id) {
    widget_ = dialog ? dialog->findControl(cls, id.id) : nullptr;
    if (!widget_)
        throw std::runtime_error(std::string("no ") + cls + " " + std::to_string(id.id) + " in dialog " +
                                 std::to_string(dialog ? dialog->getResId() : 0));
}
Control::~Control() = default;

void Control::setText(const String& text) {
    if (auto* e = qobject_cast<QLineEdit*>(widget_)) e->setText(gui::toQString(text));
    else if (auto* c = qobject_cast<QComboBox*>(widget_)) c->setEditText(gui::toQString(text));
    else if (auto* l = qobject_cast<QLabel*>(widget_)) l->setText(gui::mnemonicText(text));
    else if (auto* b = qobject_cast<QAbstractButton*>(widget_)) b->setText(gui::mnemonicText(text));
    else if (auto* g = qobject_cast<QGroupBox*>(widget_)) g->setTitle(gui::mnemonicText(text));
}

String Control::getText() const {
    QString t;
    if (auto* e = qobject_cast<QLineEdit*>(widget_)) return gui::fromQString(e->text());
    if (auto* c = qobject_cast<QComboBox*>(widget_)) return gui::fromQString(c->currentText());
    if (auto* n = qobject_cast<QSpinBox*>(widget_)) return gui::fromQString(n->text());
    if (auto* l = qobject_cast<QLabel*>(widget_)) t = l->text();
    else if (auto* b = qobject_cast<QAbstractButton*>(widget_)) t = b->text();
    else if (auto* g = qobject_cast<QGroupBox*>(widget_)) t = g->title();
    // Back to the resource form: "&&" is "&", "&x" is "~x".
    QString out;
    for (int i = 0; i < t.size(); ++i) {
        if (t[i] == QLatin1Char('&') && i + 1 < t.size()) {
            out += t[i + 1] == QLatin1Char('&') ? QStringLiteral("&") : QStringLiteral("~") + t[i + 1];
            ++i;
        } else {
            out += t[i];
        }
    }
    return gui::fromQString(out);
}

void Control::enable(bool on) { widget_->setEnabled(on); }
bool Control::isEnabled() const { return widget_->isEnabled(); }
void Control::show(bool on) { widget_->setVisible(on); }
void Control::grabFocus() { widget_->setFocus(Qt::OtherFocusReason); }
void Control::setPosSizePixel(const Point& p, const Size& s) {
    widget_->setGeometry(p.x, p.y, std::max(0, s.width), std::max(0, s.height));
}
Point Control::getPosPixel() const { return Point(widget_->x(), widget_->y()); }
Size Control::getSizePixel() const { return Size(widget_->width(), widget_->height()); }
String Control::getHelpText() const { return gui::fromQString(widget_->toolTip()); }

Edit::Edit(Dialog* d, const ResId& id) : Control(d, "Edit", id) {
    auto* e = static_cast<QLineEdit*>(widget_);
    QObject::connect(e, &QLineEdit::textChanged, e, [this] {
        Link l = modify_;
        gui::guardedCall([&] { l.call(this); });
    });
}
void Edit::setModifyHdl(const Link& l) { modify_ = l; }
void Edit::selectAll() { static_cast<QLineEdit*>(widget_)->selectAll(); }
void Edit::setSelection(int from, int to) {
    auto* e = static_cast<QLineEdit*>(widget_);
    if (from == to) e->setCursorPosition(from);
    else e->setSelection(from, to - from);
}
void Edit::cut() { static_cast<QLineEdit*>(widget_)->cut(); }
void Edit::copy() { static_cast<QLineEdit*>(widget_)->copy(); }
void Edit::paste() { static_cast<QLineEdit*>(widget_)->paste(); }

Button::Button(Dialog* d, const char* cls, const ResId& id) : Control(d, cls, id) {
    d->impl_->buttons[widget_] = this;
}

Button::~Button() {
    if (dialog_) dialog_->impl_->buttons.erase(widget_);
}

void Button::click() { click_.call(this); }

void OKButton::click() {
    if (click_.isSet()) click_.call(this);
    else if (dialog_) dialog_->endDialog(1);
}

void CancelButton::click() {
    if (click_.isSet()) click_.call(this);
    else if (dialog_) dialog_->endDialog(0);
}

void CheckBox::check(bool on) { static_cast<QAbstractButton*>(widget_)->setChecked(on); }
bool CheckBox::isChecked() const { return static_cast<QAbstractButton*>(widget_)->isChecked(); }
void TriStateBox::setState(int s) {
    static_cast<QCheckBox*>(widget_)->setCheckState(s == 2 ? Qt::PartiallyChecked : s ? Qt::Checked : Qt::Unchecked);
}
int TriStateBox::getState() const {
    Qt::CheckState s = static_cast<QCheckBox*>(widget_)->checkState();
    return s == Qt::PartiallyChecked ? 2 : s == Qt::Checked ? 1 : 0;
}

// ---- message boxes ----

namespace {

bool offers(uint32_t style, int answer) {
    if (style & WB_YES_NO_CANCEL) return answer == RET_YES || answer == RET_NO || answer == RET_CANCEL;
    if (style & WB_YES_NO) return answer == RET_YES || answer == RET_NO;
    if (style & WB_OK_CANCEL) return answer == RET_OK || answer == RET_CANCEL;
    return answer == RET_OK;
}

}  // namespace

MessBox::MessBox(Window* parent, uint32_t style, const String& text, const String& title)
    : parent_(parent), style_(style), text_(text), title_(title) {}

long MessBox::execute() {
    gui::ensureApplication();
    if (gui::test::isActive()) {
        std::string text = text_.str();
        gui::test::recordMessage(cp1252ToUtf8(text));
        gui::test::Step s;
        if (!gui::test::takeStep(s)) {
            gui::test::recordFailure("script ran out at message box \"" + text + "\"");
            return RET_CANCEL;
        }
        if (s.kind != gui::test::Step::AnswerBox) {
            gui::test::recordFailure("message box \"" + text + "\" where the script expected a dialog step");
            return RET_CANCEL;
        }
        if (!s.expect.empty() && s.expect != text) {
            gui::test::recordFailure("message box \"" + text + "\" where the script expected \"" + s.expect + "\"");
            return RET_CANCEL;
        }
        if (!offers(style_, s.answer)) {
            gui::test::recordFailure("message box \"" + text + "\" offers no answer " + std::to_string(s.answer));
            return RET_CANCEL;
        }
        return s.answer;
    }
    QMessageBox box(peerOf(parent_));
    box.setText(gui::toQString(text_));
    box.setWindowTitle(title_.isEmpty() ? QStringLiteral("Kelvo") : gui::toQString(title_));
    QMessageBox::StandardButtons buttons;
    if (style_ & WB_YES_NO_CANCEL) buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    else if (style_ & WB_YES_NO) buttons = QMessageBox::Yes | QMessageBox::No;
    else if (style_ & WB_OK_CANCEL) buttons = QMessageBox::Ok | QMessageBox::Cancel;
    else buttons = QMessageBox::Ok;
    box.setStandardButtons(buttons);
    box.setDefaultButton((style_ & (WB_YES_NO | WB_YES_NO_CANCEL)) ? QMessageBox::Yes : QMessageBox::Ok);
    box.setIcon(style_ == WB_ERRORBOX_STYLE ? QMessageBox::Critical
                : (style_ & (WB_YES_NO | WB_YES_NO_CANCEL)) ? QMessageBox::Question : QMessageBox::Information);
    gui::LoopScope scope(gui::LoopKind::Modal, [&box] { box.done(QMessageBox::Cancel); });
    int r = box.exec();
    scope.rethrowIfFailed();
    switch (r) {
    case QMessageBox::Yes: return RET_YES;
    case QMessageBox::No: return RET_NO;
    case QMessageBox::Ok: return RET_OK;
    default: return (style_ & WB_YES_NO) ? RET_NO : RET_CANCEL;
    }
}
