#pragma once
// KMenuRules: the enabled, checked and text state of the main frame's menu items and tool-box
// buttons, brought up to date from the active worksheet window, its document and the options
// before a menu opens and whenever the editing state changes.  The main frame owns one and
// calls it from its members of the same names (updateMenu, updateCommandState, canCutCopy,
// canPaste, update_undo_menu, refreshContextBarState, updateTextBar, refreshMenus, barHeights).
//
// The rules read two narrow interfaces so that they can be tested with doubles:
//   KMenuFrame   what the frame has: the current menu bar and tool box, the current context
//                bar (its text-field focus and its enable operation), the text bar's controls,
//                the palettes, the clipboard and the heights of the visible bars;
//   KMenuWindow  the active worksheet window's own answers (null: no worksheet window).
// The spreadsheet element's answers come through KMenuSpreadsheet, which the window hands out
// while its current element is a spreadsheet.
//
// "Active" below means that a worksheet window exists.  Popups are recognised by the id of
// their first item (updateMenu's table in KMenuRules.cpp).
//
// Invariant of refreshMenus: a caret busy flag that the pass set is cleared again on every
// path, an error raised inside the pass included (the error is reported, the menus stay
// usable, and the caret shows again).
//
// Owns nothing; the frame and the windows outlive the calls.

#include <cstdint>
#include <string>

class CharStyle;
class Document;
class Element;
class Menu;
class ParaStyle;
class StyleSet;
class ToolBox;
class ViewCaret;

// The current spreadsheet element's answers for its menus; which of them an item needs is the
// spreadsheet's affair, as long as an item is enabled whenever its command can act.
class KMenuSpreadsheet {
public:
    virtual ~KMenuSpreadsheet();
    // False when the spreadsheet has nothing for its selected block (3106 is disabled).
    virtual bool hasBlockValue() = 0;
    // The setting that item 3102 shows checked.
    virtual bool showsBorder() = 0;
    // Whether the fill command of that item can act in the spreadsheet's fill directions.
    virtual bool canFill(int itemId) = 0;
};

// The active worksheet window's answers.
class KMenuWindow {
public:
    virtual ~KMenuWindow();
    virtual bool isHelpWindow() const = 0;
    virtual bool isReadOnly() const = 0;
    // The window's document (bookmarks, undo history, style set), or null.
    virtual Document* document() const = 0;
    // The window's caret, or null.
    virtual ViewCaret* caret() const = 0;

    virtual bool canUndo() = 0;
    virtual bool canRedo() = 0;
    virtual bool canDeleteParagraph() = 0;
    virtual bool canCutCopy(bool asText, bool cut) = 0;
    virtual bool canPaste(bool asText) = 0;
    // 0 no input mode to choose, 1 math input, other values text input.
    virtual int inputMode() = 0;
    // The current choice of a display popup (first item 2901, 2951, 3001 or 4851): the id of
    // the item to check, -1 when there is none.
    virtual int displayChoice(int popupFirstItem) = 0;
    // The context topic of command 2512 (empty when there is none).
    virtual std::string contextTopic() = 0;
    virtual bool hasSelection() = 0;
    // The caret's element, or null.
    virtual Element* currentElement() = 0;
    // What the current paragraph position resolves to, or null.
    virtual Element* currentParagraphElement() = 0;
    // The current element's spreadsheet answers while it is a spreadsheet, else null.
    virtual KMenuSpreadsheet* spreadsheet() = 0;
};

// The text context bar's controls (bar 0).
class KMenuTextBar {
public:
    virtual ~KMenuTextBar();
    virtual void checkButton(int id, bool on) = 0;
    virtual std::string fontName() const = 0;
    // Sets the font-name box; the bar refills its size box for that font when its font list
    // is proportional.
    virtual void setFontName(const std::string& name) = 0;
    virtual std::string fontSizeText() const = 0;
    virtual void setFontSizeText(const std::string& text) = 0;
    // The bar's style box follows the current styles.
    virtual void updateStyleBox(StyleSet* styleSet, const ParaStyle* paragraphStyle, const CharStyle* characterStyle) = 0;
};

// What the rules need of the main frame.
class KMenuFrame {
public:
    // The flags of barHeights.
    enum : int { kToolBoxBar = 1, kContextBar = 2, kStatusBar = 4 };

    virtual ~KMenuFrame();
    virtual KMenuWindow* activeWindow() = 0;
    // The current menu bar and its resource id (1020 to 1025), or null and 0.
    virtual Menu* menuBar() = 0;
    virtual int menuBarId() const = 0;
    // The current tool box, or null.
    virtual ToolBox* toolBox() = 0;
    // Whether one of the current context bar's text fields has the keyboard focus (the text
    // bar's font-name and size boxes, the one field of bars 1 and 3, the field bars 5 to 7 name,
    // the two angle fields of bars 2 and 4).
    virtual bool contextBarFieldHasFocus() = 0;
    // The current context bar's enable operation (nothing without a bar).
    virtual void enableContextBar(bool on) = 0;
    // The text bar's controls, or null while it is not built.
    virtual KMenuTextBar* textBar() = 0;
    // Palettes: 0 symbol, 1 expression, 2 matrix.
    virtual bool isPaletteVisible(int palette) = 0;
    virtual void setPalettesSpreadsheetMode(bool on) = 0;
    virtual bool clipboardHasText() = 0;
    // The height of one bar (one flag of barHeights) while it is visible, else 0.
    virtual long visibleBarHeight(int bar) = 0;
};

class KMenuRules {
public:
    explicit KMenuRules(KMenuFrame& frame) : frame_(frame) {}

    // The popup's items by the id of its first item.
    void updateMenu(Menu* popup);
    // Id 0: 1151, 1152, 1153, 1154, 1155, 1262 and 1263 in this order; any other id that
    // command.  False when there is no tool box.
    bool updateCommandState(int id);

    bool canUndo();
    bool canRedo();
    bool canDeleteParagraph();
    // A focused context-bar text field can cut and copy text (not as Kelvo text).
    bool canCutCopy(bool asText, bool cut);
    // A focused context-bar text field takes plain text from the clipboard, never Kelvo text.
    bool canPaste(bool asText);

    // Undo and Redo texts: "~Undo " and "~Redo " followed by the history's menu texts while
    // there is something to undo or redo, else "~Undo" and "~Redo".
    void update_undo_menu(Menu* editMenu);
    // The current context bar is usable with a worksheet window that is neither a help window
    // nor read-only.
    void refreshContextBarState();
    // The text bar and the Format popup (1250) from the current styles.
    void updateTextBar(StyleSet* styleSet, const ParaStyle* paragraphStyle, const CharStyle* characterStyle);
    // One pass over the command states, the context bar and every popup of the menu bar.
    void refreshMenus();
    // The summed heights of the visible bars named by the flags.
    long barHeights(int flags);

private:
    void updateEditMenu(Menu* popup, KMenuWindow* window);
    void updateFormatMenu(Menu* popup, KMenuWindow* window);
    void updateSpreadsheetMenu(Menu* popup, KMenuWindow* window);
    void updateBookmarks(Menu* popup, KMenuWindow* window);
    bool commandState(int id, bool old);
    void refreshPass();

    KMenuFrame& frame_;
};
