// The descriptor watch: its handler runs on the GUI thread while the descriptor is readable, and
// never after the watch is gone.
#include "platform/gui/DescriptorWatch.h"

#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <memory>
#include <thread>

#include "platform/gui/Application.h"

TEST(DescriptorWatch, HandlerRunsOnTheGuiThreadUntilTheWatchIsGone) {
    int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    ASSERT_GE(fd, 0);
    int calls = 0;
    std::thread::id where;
    auto watch = std::make_unique<DescriptorWatch>(fd, [&] {
        uint64_t v;
        (void)!::read(fd, &v, sizeof v);  // drained: the descriptor is no longer readable
        ++calls;
        where = std::this_thread::get_id();
        Application::quit();
    });
    std::thread writer([fd] {
        uint64_t one = 1;
        (void)!::write(fd, &one, sizeof one);
    });
    Application::execute();  // ends when the handler saw the write
    writer.join();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(where, std::this_thread::get_id());
    watch.reset();
    uint64_t one = 1;
    (void)!::write(fd, &one, sizeof one);
    Application::reschedule();
    EXPECT_EQ(calls, 1);
    ::close(fd);
}

TEST(DescriptorWatch, ADisabledWatchCallsNothingUntilEnabledAgain) {
    int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    ASSERT_GE(fd, 0);
    int calls = 0;
    DescriptorWatch* self = nullptr;
    // The handler leaves the descriptor readable and disables its own watch.
    DescriptorWatch watch(fd, [&] {
        ++calls;
        self->setEnabled(false);
    });
    self = &watch;
    EXPECT_TRUE(watch.isEnabled());
    uint64_t one = 1;
    (void)!::write(fd, &one, sizeof one);
    for (int i = 0; i < 5; ++i) Application::reschedule();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(watch.isEnabled());
    watch.setEnabled(true);
    Application::waitForEvents();   // readable: returns after the handler ran
    EXPECT_EQ(calls, 2);
    ::close(fd);
}
