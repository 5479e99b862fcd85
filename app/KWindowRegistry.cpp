#include "app/KWindowRegistry.h"

#include <climits>
#include <cstdlib>

#include "platform/gui/base/FilePath.h"

std::string KWindowRegistry::fileKey(const std::string& name) {
    // An existing file: its real path, so that links and other spellings meet.
    if (char* real = ::realpath(name.c_str(), nullptr)) {
        std::string key(real);
        std::free(real);
        return key;
    }
    // A file that does not exist (yet): the absolute path with "." and ".." resolved.
    FilePath path = FilePath::fromNative(name);
    if (!path.makeAbsolute() || path.hasError()) return name;
    return path.toNative();
}

void KWindowRegistry::add(Window* window, const std::string& name, int32_t mode) {
    remove(window);
    if (static_cast<std::size_t>(count_) == entries_.size())
        entries_.resize(entries_.size() + kGrowthStep);
    entries_[count_++].reset(new Entry{window, mode == kModeFile ? fileKey(name) : name, mode});
}

void KWindowRegistry::removeAt(int32_t index) {
    --count_;
    if (index != count_) entries_[index] = std::move(entries_[count_]);
    entries_[count_].reset();
}

void KWindowRegistry::remove(Window* window) {
    for (int32_t i = 0; i < count_;) {
        if (entries_[i]->window == window)
            removeAt(i);   // the last entry moved here: look at this slot again
        else
            ++i;
    }
}

Window* KWindowRegistry::find(const std::string& name, int32_t mode) const {
    std::string key = mode == kModeFile ? fileKey(name) : name;
    for (int32_t i = 0; i < count_; ++i) {
        const Entry& e = *entries_[i];
        if (e.mode != mode) continue;
        if (mode == kModeFile ? FilePath::fromNative(e.name) == FilePath::fromNative(key) : e.name == key)
            return e.window;
    }
    return nullptr;
}

bool KWindowRegistry::contains(const Window* window) const {
    for (int32_t i = 0; i < count_; ++i)
        if (entries_[i]->window == window) return true;
    return false;
}

void KWindowRegistry::visit(const std::function<void(Window*)>& visitor) const {
    std::vector<Window*> windows;
    windows.reserve(static_cast<std::size_t>(count_));
    for (int32_t i = 0; i < count_; ++i) windows.push_back(entries_[i]->window);
    for (Window* w : windows)
        if (contains(w)) visitor(w);
}

Window* KWindowRegistry::windowAt(int32_t index) const {
    return index >= 0 && index < count_ ? entries_[index]->window : nullptr;
}

const std::string& KWindowRegistry::nameAt(int32_t index) const {
    static const std::string none;
    return index >= 0 && index < count_ ? entries_[index]->name : none;
}
