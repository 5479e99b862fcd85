#pragma once
// Doubles of the menu rules' interfaces, shared by the rules' tests and their benchmark: a
// frame with a menu bar of every popup the rules know (each holding the items its rule names),
// a tool box, a text bar and palettes; a window whose answers are fields; a spreadsheet; and an
// inline leaf of any element kind.
//
// The frame owns its menus and tool box; the window borrows its document and caret.

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/KMenuRules.h"
#include "document/tree/Element.h"
#include "document/tree/ElementPosition.h"
#include "platform/gui/Menu.h"
#include "platform/gui/ToolBox.h"
#include "platform/gui/Window.h"

namespace menu_rules_doubles {

using Ids = std::vector<int>;

// An inline leaf of a given kind (math, input, spreadsheet), enough for the rules' kind tests.
class KindLeaf : public Element {
public:
    explicit KindLeaf(int kind) : kind_(kind) {}
    Element* cloneElement() const override { return new KindLeaf(kind_); }
    int elementKind() const override { return kind_; }
    bool isInline() const override { return true; }
    Element* parent() const override { return parent_; }
    void setParent(Element* p) override { parent_ = p; }
    void locatePosition(TextPosition& p) override { p.rect = {0, 0, 1, 12}; }

private:
    int kind_;
    Element* parent_ = nullptr;
};

class SheetDouble : public KMenuSpreadsheet {
public:
    bool hasBlockValue() override { return blockValue; }
    bool showsBorder() override { return border; }
    bool canFill(int id) override { return fills.count(id) != 0; }
    bool blockValue = true;
    bool border = false;
    std::set<int> fills;
};

class WindowDouble : public KMenuWindow {
public:
    bool isHelpWindow() const override { return help; }
    bool isReadOnly() const override { return readOnly; }
    Document* document() const override { return doc; }
    ViewCaret* caret() const override { return caretObject; }
    bool canUndo() override { return query(), undo; }
    bool canRedo() override { return query(), redo; }
    bool canDeleteParagraph() override { return query(), deleteParagraph; }
    bool canCutCopy(bool asText, bool cut) override { return query(), asText ? copyAsText : cut ? canCut : canCopy; }
    bool canPaste(bool asText) override { return query(), asText ? pasteAsText : paste; }
    int inputMode() override { return query(), mode; }
    int displayChoice(int popup) override { return query(), choices.count(popup) ? choices[popup] : -1; }
    std::string contextTopic() override { return query(), topic; }
    bool hasSelection() override { return query(), selection; }
    Element* currentElement() override { return query(), current; }
    Element* currentParagraphElement() override { return query(), paragraphPosition; }
    KMenuSpreadsheet* spreadsheet() override { return sheet; }

    // Runs before every answer: a test injects an error here.
    void query() {
        if (onQuery) onQuery();
    }

    bool help = false, readOnly = false;
    Document* doc = nullptr;
    ViewCaret* caretObject = nullptr;
    bool undo = false, redo = false, deleteParagraph = false;
    bool canCut = false, canCopy = false, copyAsText = false, paste = false, pasteAsText = false;
    int mode = 0;
    std::map<int, int> choices;
    std::string topic;
    bool selection = false;
    Element* current = nullptr;
    Element* paragraphPosition = nullptr;
    KMenuSpreadsheet* sheet = nullptr;
    std::function<void()> onQuery;
};

class TextBarDouble : public KMenuTextBar {
public:
    void checkButton(int id, bool on) override { checked[id] = on; }
    std::string fontName() const override { return font; }
    void setFontName(const std::string& name) override {
        font = name;
        ++fontSets;
    }
    std::string fontSizeText() const override { return size; }
    void setFontSizeText(const std::string& text) override {
        size = text;
        ++sizeSets;
    }
    void updateStyleBox(StyleSet*, const ParaStyle* p, const CharStyle* c) override {
        ++styleBoxUpdates;
        lastPara = p;
        lastChar = c;
    }
    std::map<int, bool> checked;
    std::string font, size;
    int fontSets = 0, sizeSets = 0, styleBoxUpdates = 0;
    const ParaStyle* lastPara = nullptr;
    const CharStyle* lastChar = nullptr;
};

// The popups of a menu bar by their first items, each with the items its rules name.
inline const std::map<int, Ids> kPopupItems = {
    {1100, {1101, 1102, 1103, 1104, 1107, 1108, 2750, 1109}},
    {1150, {1151, 1152, 1153, 1154, 1155, 1157, 1159, 1161, 1163, 1166, 1167, 1168, 2507, 2600, 2650, 2700}},
    {1200, {1201, 1204, 1205, 1209, 1210, 1211, 1800, 1900}},
    {1240, {1241, 1242, 1243}},
    {1250, {1251, 1252, 1253, 1254, 1256, 1257, 1258, 1259, 1260, 1262, 1263, 2550}},
    {1400, {1410, 1406, 1407, 1408}},
    {1900, {1901}},
    {2500, {2506, 1601, 1602, 1604, 1605, 2800, 2850}},
    {2602, {2603, 2601}},
    {2650, {2651}},
    {2700, {2701}},
    {2900, {2901, 2902, 2903}},
    {4800, {4801, 4802}},
    {4850, {4851, 4852, 4853}},
    {3150, {3152, 3102, 3103, 3104, 3105, 3106, 3107, 3153}},
    {3350, {3352, 3353, 3354}},
};

class FrameDouble : public KMenuFrame {
public:
    FrameDouble() : host(nullptr, WB_FRAME), box(&host) {
        for (int id : {1151, 1152, 1153, 1154, 1155, 1262, 1263}) box.insertItem(static_cast<uint16_t>(id), String("b"));
        for (const auto& [popupId, items] : kPopupItems) {
            auto popup = std::make_unique<Menu>();
            for (int id : items) popup->insertItem(static_cast<uint16_t>(id), String("item"), MIB_CHECKABLE);
            bar.insertItem(static_cast<uint16_t>(popupId), String("popup"));
            bar.setPopupMenu(static_cast<uint16_t>(popupId), popup.get());
            popups[popupId] = std::move(popup);
        }
        bar.insertItem(3100, String("Spreadsheet"));
    }

    KMenuWindow* activeWindow() override { return window; }
    Menu* menuBar() override { return &bar; }
    int menuBarId() const override { return barId; }
    ToolBox* toolBox() override { return withToolBox ? &box : nullptr; }
    bool contextBarFieldHasFocus() override { return fieldFocus; }
    void enableContextBar(bool on) override { contextBarEnabled = on; }
    KMenuTextBar* textBar() override { return &text; }
    bool isPaletteVisible(int p) override { return palettes[p]; }
    void setPalettesSpreadsheetMode(bool on) override { spreadsheetMode = on; }
    bool clipboardHasText() override { return clipboardText; }
    long visibleBarHeight(int which) override { return heights.count(which) ? heights[which] : 0; }

    Menu* popup(int id) { return popups[id].get(); }
    // The items of the popup that are enabled (checked) now.
    Ids enabled(int id) {
        Ids out;
        for (int item : kPopupItems.at(id))
            if (popups[id]->isItemEnabled(static_cast<uint16_t>(item))) out.push_back(item);
        std::sort(out.begin(), out.end());
        return out;
    }
    Ids checked(int id) {
        Ids out;
        for (int item : kPopupItems.at(id))
            if (popups[id]->isItemChecked(static_cast<uint16_t>(item))) out.push_back(item);
        std::sort(out.begin(), out.end());
        return out;
    }
    void updateAll(KMenuRules& rules) {
        for (auto& [id, popup] : popups) rules.updateMenu(popup.get());
    }

    WorkWindow host;
    ToolBox box;
    Menu bar;
    std::map<int, std::unique_ptr<Menu>> popups;
    KMenuWindow* window = nullptr;
    int barId = 1021;
    bool withToolBox = true;
    bool fieldFocus = false;
    bool contextBarEnabled = false;
    TextBarDouble text;
    bool palettes[3] = {false, false, false};
    bool spreadsheetMode = false;
    bool clipboardText = false;
    std::map<int, long> heights;
};

}  // namespace menu_rules_doubles
