// Menus over QMenu (rules in Menu.h).
#include "platform/gui/Menu.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

#include <map>
#include <stdexcept>
#include <vector>

#include "platform/gui/Application.h"
#include "platform/gui/Dialog.h"
#include "platform/gui/Resource.h"
#include "platform/gui/Window.h"
#include "platform/gui/gui_test.h"
#include "platform/gui/qt_text.h"

struct Menu::Impl {
    QMenu* menu = nullptr;
    Link select, activate, deactivate, highlight;
    uint16_t current = 0;
    std::map<QAction*, Menu*> popups;
    Menu* parent = nullptr;                    // the menu this one is a sub-menu of
    std::vector<std::unique_ptr<Menu>> owned;  // sub-menus built from resources
};

namespace {

uint16_t idOf(const QAction* a) { return a->isSeparator() ? 0 : static_cast<uint16_t>(a->data().toUInt()); }

QAction* findAction(const Menu::Impl& m, uint16_t id) {
    for (QAction* a : m.menu->actions()) {
        if (!a->isSeparator() && idOf(a) == id) return a;
        auto it = m.popups.find(a);
        if (it != m.popups.end() && it->second)
            if (QAction* sub = findAction(it->second->impl(), id)) return sub;
    }
    return nullptr;
}

void applyHelp(QAction* a) {
    a->setToolTip(Help::isBalloonsEnabled() ? a->statusTip() : QString());
}

}  // namespace

Menu::Menu() : impl_(std::make_unique<Impl>()) {
    gui::ensureApplication();
    impl_->menu = new QMenu;
    Impl* m = impl_.get();
    Menu* self = this;
    QObject::connect(m->menu, &QMenu::triggered, m->menu, [m, self](QAction* a) {
        uint16_t id = idOf(a);
        if (id == 0 || m->popups.count(a)) return;
        if (a->property("kelvo-windowlist").isValid()) return;  // the layer's window list
        // Qt also reports a sub-menu's item to the menus that opened it: only the item's own
        // menu dispatches it.
        if (!m->menu->actions().contains(a)) return;
        if (Application::callSystemMessageHook(273, id, 0) != 0) return;  // consumed
        // The nearest menu with a select handler, from the item's own menu outwards.
        Menu* target = self;
        while (!target->impl().select.isSet() && target->impl().parent) target = target->impl().parent;
        m->current = id;
        target->impl().current = id;
        Link l = target->impl().select;
        gui::guardedCall([&] { l.call(target); });
    });
    QObject::connect(m->menu, &QMenu::aboutToShow, m->menu, [m, self] {
        for (QAction* a : m->menu->actions()) applyHelp(a);
        Link l = m->activate;
        gui::guardedCall([&] { l.call(self); });
    });
    QObject::connect(m->menu, &QMenu::aboutToHide, m->menu, [m, self] {
        Link l = m->deactivate;
        gui::guardedCall([&] { l.call(self); });
    });
    QObject::connect(m->menu, &QMenu::hovered, m->menu, [m, self](QAction* a) {
        m->current = idOf(a);
        Link l = m->highlight;
        gui::guardedCall([&] { l.call(self); });
    });
}

namespace {
// Sub-menus nest at most this deep; a resource naming itself (directly or not) stops here.
constexpr int kMaxMenuDepth = 8;

void buildFromResource(Menu& menu, int resId, int depth) {
    const gui::MenuDesc* desc = gui::findMenu(resId);
    if (!desc) throw std::runtime_error("menu resource " + std::to_string(resId) + " not found");
    if (depth >= kMaxMenuDepth) throw std::runtime_error("menu resource " + std::to_string(resId) + " nests too deep");
    for (const gui::MenuItemDesc& it : desc->items) {
        if (it.kind == gui::MenuItemDesc::Separator) {
            menu.insertSeparator();
            continue;
        }
        menu.insertItem(static_cast<uint16_t>(it.id), it.text);
        if (!it.help.isEmpty()) menu.setHelpText(static_cast<uint16_t>(it.id), it.help);
        if (it.kind == gui::MenuItemDesc::Popup) {
            auto sub = std::make_unique<PopupMenu>();
            buildFromResource(*sub, it.popup, depth + 1);
            menu.setPopupMenu(static_cast<uint16_t>(it.id), sub.get());
            menu.impl().owned.push_back(std::move(sub));
        }
    }
}
}  // namespace

Menu::Menu(const ResId& id) : Menu() { buildFromResource(*this, id.id, 0); }

Menu::~Menu() {
    for (auto& [a, sub] : impl_->popups)
        if (sub && sub->impl_->parent == this) sub->impl_->parent = nullptr;
    if (impl_->parent)
        for (auto& [a, sub] : impl_->parent->impl_->popups)
            if (sub == this) sub = nullptr;
    impl_->owned.clear();
    delete impl_->menu;
}

QMenu* Menu::qmenu() const { return impl_->menu; }

void Menu::insertItem(uint16_t id, const String& text, uint32_t bits, uint16_t pos) {
    auto* a = new QAction(gui::mnemonicText(text), impl_->menu);
    a->setData(static_cast<uint>(id));
    if (bits & (MIB_CHECKABLE | MIB_AUTOCHECK)) a->setCheckable(true);
    QList<QAction*> acts = impl_->menu->actions();
    if (pos < acts.size()) impl_->menu->insertAction(acts[pos], a);
    else impl_->menu->addAction(a);
}

void Menu::insertSeparator(uint16_t pos) {
    QList<QAction*> acts = impl_->menu->actions();
    if (pos < acts.size()) impl_->menu->insertSeparator(acts[pos]);
    else impl_->menu->addSeparator();
}

void Menu::removeItem(uint16_t pos) {
    QList<QAction*> acts = impl_->menu->actions();
    if (pos >= acts.size()) return;
    QAction* a = acts[pos];
    impl_->menu->removeAction(a);
    impl_->popups.erase(a);
    delete a;
}

uint16_t Menu::getItemCount() const { return static_cast<uint16_t>(impl_->menu->actions().size()); }

uint16_t Menu::getItemId(uint16_t pos) const {
    QList<QAction*> acts = impl_->menu->actions();
    return pos < acts.size() ? idOf(acts[pos]) : 0;
}

uint16_t Menu::getItemPos(uint16_t id) const {
    QList<QAction*> acts = impl_->menu->actions();
    for (qsizetype i = 0; i < acts.size(); ++i)
        if (!acts[i]->isSeparator() && idOf(acts[i]) == id) return static_cast<uint16_t>(i);
    return ITEM_NOTFOUND;
}

void Menu::checkItem(uint16_t id, bool on) {
    if (QAction* a = findAction(*impl_, id)) {
        a->setCheckable(true);
        a->setChecked(on);
    }
}
bool Menu::isItemChecked(uint16_t id) const {
    QAction* a = findAction(*impl_, id);
    return a && a->isChecked();
}
void Menu::enableItem(uint16_t id, bool on) {
    if (QAction* a = findAction(*impl_, id)) a->setEnabled(on);
}
bool Menu::isItemEnabled(uint16_t id) const {
    QAction* a = findAction(*impl_, id);
    return a && a->isEnabled();
}
void Menu::setItemText(uint16_t id, const String& text) {
    if (QAction* a = findAction(*impl_, id)) a->setText(gui::mnemonicText(text));
}
String Menu::getItemText(uint16_t id) const {
    QAction* a = findAction(*impl_, id);
    if (!a) return String();
    QString t = a->text(), out;
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
void Menu::setHelpText(uint16_t id, const String& text) {
    if (QAction* a = findAction(*impl_, id)) {
        a->setStatusTip(gui::toQString(text));
        applyHelp(a);
    }
}
String Menu::getHelpText(uint16_t id) const {
    QAction* a = findAction(*impl_, id);
    return a ? gui::fromQString(a->statusTip()) : String();
}

Menu* Menu::getPopupMenu(uint16_t id) const {
    QAction* a = findAction(*impl_, id);
    if (!a) return nullptr;
    for (const auto& [act, menu] : impl_->popups)
        if (act == a) return menu;
    return nullptr;
}

void Menu::setPopupMenu(uint16_t id, Menu* popup) {
    QAction* a = findAction(*impl_, id);
    if (!a) return;
    auto old = impl_->popups.find(a);
    if (old != impl_->popups.end() && old->second && old->second->impl_->parent == this) old->second->impl_->parent = nullptr;
    a->setMenu(popup ? popup->qmenu() : nullptr);
    if (popup) {
        impl_->popups[a] = popup;
        popup->impl_->parent = this;
    } else {
        impl_->popups.erase(a);
    }
}

void Menu::setSelectHdl(const Link& l) { impl_->select = l; }
void Menu::setActivateHdl(const Link& l) { impl_->activate = l; }
void Menu::setDeactivateHdl(const Link& l) { impl_->deactivate = l; }
void Menu::setHighlightHdl(const Link& l) { impl_->highlight = l; }
uint16_t Menu::getCurItemId() const { return impl_->current; }

uint16_t PopupMenu::execute(Window* window, const Point& pos) {
    if (gui::test::isActive()) {
        gui::test::Step s;
        if (!gui::test::takeStep(s) || s.kind != gui::test::Step::ChooseMenuItem) {
            gui::test::recordFailure("pop-up menu where the script has no menu step");
            return 0;
        }
        uint16_t id = static_cast<uint16_t>(s.answer);
        if (id == 0) return 0;
        QAction* a = findAction(*impl_, id);
        if (!a || !a->isEnabled()) {
            gui::test::recordFailure("pop-up menu has no enabled item " + std::to_string(id));
            return 0;
        }
        a->trigger();
        return id;
    }
    QPoint global(pos.x, pos.y);
    if (window && window->getNativeHandle())
        global = static_cast<QWidget*>(window->getNativeHandle())->mapToGlobal(global);
    gui::LoopScope scope(gui::LoopKind::Modal, [m = impl_->menu] { m->close(); });
    QAction* chosen = impl_->menu->exec(global);
    scope.rethrowIfFailed();
    return chosen ? idOf(chosen) : 0;
}
