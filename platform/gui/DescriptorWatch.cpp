// A readable-descriptor watch over QSocketNotifier (rules in DescriptorWatch.h).
#include "platform/gui/DescriptorWatch.h"

#include <QSocketNotifier>

#include "platform/gui/Application.h"

struct DescriptorWatch::Impl {
    std::unique_ptr<QSocketNotifier> notifier;
    std::function<void()> handler;
    bool running = false;  // a nested loop in the handler must not re-enter it
};

DescriptorWatch::DescriptorWatch(int fd, std::function<void()> onReadable) : impl_(std::make_unique<Impl>()) {
    gui::ensureApplication();
    impl_->handler = std::move(onReadable);
    impl_->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    Impl* impl = impl_.get();
    QObject::connect(impl->notifier.get(), &QSocketNotifier::activated, [impl] {
        if (impl->running) return;
        impl->running = true;
        gui::guardedCall(impl->handler);
        impl->running = false;
    });
}

DescriptorWatch::~DescriptorWatch() = default;

void DescriptorWatch::setEnabled(bool on) { impl_->notifier->setEnabled(on); }
bool DescriptorWatch::isEnabled() const { return impl_->notifier->isEnabled(); }
