#pragma once
// DescriptorWatch: calls a handler on the GUI thread, between other events, whenever a
// descriptor is readable.  The descriptor stays the caller's; it must outlive the watch.  The
// handler runs through gui::guardedCall and must not block (read what is there and return)
// nor delete its own watch.
//
// The header is Qt-free; the watch is a QSocketNotifier.

#include <functional>
#include <memory>

class DescriptorWatch {
public:
    DescriptorWatch(int fd, std::function<void()> onReadable);
    ~DescriptorWatch();
    DescriptorWatch(const DescriptorWatch&) = delete;
    DescriptorWatch& operator=(const DescriptorWatch&) = delete;

    // A disabled watch calls nothing until it is enabled again (it may be disabled from inside
    // its own handler).  A new watch is enabled.
    void setEnabled(bool on);
    bool isEnabled() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};
