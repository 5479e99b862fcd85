#pragma once
// KWindowRegistry: the open worksheet windows, each under the file name or help topic it shows,
// so that opening a file again finds the window that already shows it, and so that frame
// commands can visit every open window.
//
// Modes: kModeFile (1) registers a file; its name is kept as the canonical absolute path
// (symbolic links and "." / ".." resolved while the file exists) and compared as the file system
// does, exactly (on Linux "Notes.kws" and "notes.kws" are two files).  Any other mode compares
// the names exactly as given.
//
// Entries live in an array that grows in steps of 32; a removal fills the hole with the last
// entry, so the order is the order of the array, not of registration.
//
// Windows are borrowed: a window removes itself (remove) before it goes.  visit walks a copy of
// the window list taken before the first call and skips a window that has left the registry
// meanwhile, so a visitor may close windows whose destructors call remove.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class Window;

class KWindowRegistry {
public:
    static constexpr int32_t kModeFile = 1;
    static constexpr std::size_t kGrowthStep = 32;

    KWindowRegistry() = default;
    KWindowRegistry(const KWindowRegistry&) = delete;
    KWindowRegistry& operator=(const KWindowRegistry&) = delete;

    // Removes the window's existing entries, then appends (window, name, mode).
    void add(Window* window, const std::string& name, int32_t mode);
    // Removes every entry of the window.
    void remove(Window* window);
    // The window of the first entry of that mode whose name matches, or null.
    Window* find(const std::string& name, int32_t mode) const;
    // Calls visitor for each registered window in array order (see above).
    void visit(const std::function<void(Window*)>& visitor) const;

    int32_t count() const { return count_; }
    std::size_t capacity() const { return entries_.size(); }
    Window* windowAt(int32_t index) const;
    const std::string& nameAt(int32_t index) const;
    bool contains(const Window* window) const;

    // The name a mode-1 entry is kept and compared under: the canonical absolute path.
    static std::string fileKey(const std::string& name);

private:
    struct Entry {
        Window* window;
        std::string name;
        int32_t mode;
    };
    void removeAt(int32_t index);

    int32_t count_ = 0;
    std::vector<std::unique_ptr<Entry>> entries_;   // size = capacity; slots past count_ empty
};
