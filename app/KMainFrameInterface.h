#pragma once
// KMainFrameInterface: what the document windows ask of the main frame.  The main frame
// switches its menu bar, tool bar and context bar for the active document window, keeps the
// menus whose check marks a window sets when it becomes active, and knows which document
// window is the active worksheet window.  The main frame implements this interface and
// registers itself with setCurrent; tests register a recording one.
//
// Owns nothing.  The registered frame is borrowed: its owner unregisters it (setCurrent with
// null) before deleting it.  With no frame registered the document windows switch nothing.

#include <cstdint>
#include <string>

class Element;
class KDocWindow;
class Menu;

class KMainFrameInterface {
public:
    // Menu bars and tool bars the frame shows when no document window is left.
    static constexpr int kDefaultMenuBar = 1020;
    static constexpr int kDefaultToolBar = 1000;
    // setContextBar's index that removes the shown context bar.
    static constexpr int kRemoveContextBar = -2;

    virtual ~KMainFrameInterface();

    // Makes the menu bar of that resource id the application's menu (nothing for the current
    // id or id 1).
    virtual void setMenuBar(int menuBarId) = 0;
    // Shows the tool box of that id across the top of the frame (nothing for the current id or
    // id 1).
    virtual void setToolBar(int toolBarId) = 0;
    // Shows the context bar of an index for its owner (an element or a plot) and data, hiding
    // the shown one; kRemoveContextBar removes it.
    virtual void setContextBar(int index, void* owner, std::intptr_t data) = 0;
    // The frame's menu of that id (1100 the file menu, 1200 the view menu, 1400 the help menu),
    // or null when the frame has none.
    virtual Menu* frameMenu(int menuId) = 0;
    // Whether the window is the active worksheet window.
    virtual bool isActiveWorksheetWindow(const KDocWindow* window) const = 0;
    // How many document windows are alive, a window whose destructor runs not counted.  The
    // default counts every KDocWindow of the process.
    virtual int documentWindowCount() const;
    // Puts a path first into the frame's recent-file list; the default keeps no list.
    virtual void addRecentFile(const char* path) { (void)path; }

    // What the one-line input bar (context bar 5) shows for the input that owns it: the edit
    // field's text, "Notation" (1551) pressed, "Type" (1552) pressed for an active input,
    // "Execute" (1554) enabled for an active input whose window is neither a help window nor
    // minimised.
    struct InputBarState {
        Element* owner = nullptr;   // borrowed; forgotten through forgetContextBarOwner
        std::string fieldText;
        bool notationPressed = false;
        bool typePressed = false;
        bool executeEnabled = false;
    };
    // Called after setContextBar has made the input the owner of bar 5.
    virtual void showInputBar(const InputBarState& state) { (void)state; }
    // Every context bar whose owner this is forgets it: the owner is leaving its document.
    virtual void forgetContextBarOwner(const void* owner) { (void)owner; }

    // The registered main frame, or null.
    static KMainFrameInterface* current();
    static void setCurrent(KMainFrameInterface* frame);
};
