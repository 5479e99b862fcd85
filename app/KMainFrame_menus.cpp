// The main frame's menu and command-state members, each handed to the menu rules
// (KMenuRules.h), and what the rules ask of the frame: its bars, palettes, clipboard and the
// active worksheet window.
#include "app/KMainFrame.h"

#include "app/KWorksheetApp.h"
#include "app/KWorksheetWindow.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/ToolBox.h"

void KMainFrame::updateMenu(Menu* popup) { menuRules_.updateMenu(popup); }

bool KMainFrame::updateCommandState(int commandId) { return menuRules_.updateCommandState(commandId); }

bool KMainFrame::canCutCopy(bool asText, bool cut) { return menuRules_.canCutCopy(asText, cut); }

bool KMainFrame::canPaste(bool asText) { return menuRules_.canPaste(asText); }

void KMainFrame::update_undo_menu(Menu* editMenu) { menuRules_.update_undo_menu(editMenu); }

void KMainFrame::refreshContextBarState() { menuRules_.refreshContextBarState(); }

void KMainFrame::updateTextBar(StyleSet* styleSet, const ParaStyle* paragraphStyle, const CharStyle* characterStyle) {
    menuRules_.updateTextBar(styleSet, paragraphStyle, characterStyle);
}

void KMainFrame::refreshMenus() { menuRules_.refreshMenus(); }

long KMainFrame::barHeights(int flags) { return menuRules_.barHeights(flags); }

KMenuWindow* KMainFrame::activeWindow() {
    auto* window = dynamic_cast<KWorksheetWindow*>(activeWorksheet());
    menuWindow_.attach(window);
    return window ? &menuWindow_ : nullptr;
}

void KMainFrame::enableContextBar(bool on) {
    if (Window* bar = contextBar(currentContextBar_)) bar->enableInput(on);
}

bool KMainFrame::isPaletteVisible(int palette) {
    KWorksheetApp* app = worksheetApp();
    if (!app) return false;
    Window* const palettes[] = {app->symbolPalette, app->expressionPalette, app->matrixPalette};
    return palette >= 0 && palette < 3 && palettes[palette] && palettes[palette]->isVisible();
}

bool KMainFrame::clipboardHasText() { return Clipboard::hasFormat(FORMAT_STRING); }

long KMainFrame::visibleBarHeight(int bar) {
    Window* window = nullptr;
    switch (bar) {
    case kToolBoxBar: window = toolBox(); break;
    case kContextBar: window = contextBar(currentContextBar_); break;
    case kStatusBar: window = statusBar_.get(); break;
    default: break;
    }
    return window && window->isVisible() ? window->getSizePixel().height : 0;
}
