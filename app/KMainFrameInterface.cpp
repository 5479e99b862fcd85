// The registered main frame and the default count of document windows.
#include "app/KMainFrameInterface.h"

#include "app/KDocWindow.h"

namespace {
KMainFrameInterface* currentFrame = nullptr;
}  // namespace

KMainFrameInterface::~KMainFrameInterface() {
    if (currentFrame == this) currentFrame = nullptr;
}

int KMainFrameInterface::documentWindowCount() const { return KDocWindow::liveCount(); }

KMainFrameInterface* KMainFrameInterface::current() { return currentFrame; }

void KMainFrameInterface::setCurrent(KMainFrameInterface* frame) { currentFrame = frame; }
