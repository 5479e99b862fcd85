// Exit-callback table (see exitcb.h).
#include "util/exitcb.h"

namespace {

ExitCallback slots[EXITCB_SLOTS];
int count = 0;

// Runs the callbacks once more when the process ends normally.
struct ExitRunner {
    ~ExitRunner() { exitcb_run_all(); }
} exitRunner;

}  // namespace

bool exitcb_register(ExitCallback callback)
{
    if (callback == nullptr || count >= EXITCB_SLOTS)
        return false;
    slots[count++] = callback;
    return true;
}

int exitcb_count()
{
    return count;
}

void exitcb_run_all()
{
    // A callback may register another; the bound is re-read each step and stays <= 100.
    for (int i = 0; i < count; ++i)
        slots[i]();
}

void exitcb_clear()
{
    count = 0;
}
