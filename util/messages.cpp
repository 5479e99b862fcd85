// Messages, memory warnings and byte-count formatting (see messages.h).
#include "util/messages.h"

#include "platform/os/sysprobe.h"
#include "util/errjump.h"
#include "util/mem.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

MessageGuiHooks hooks;
bool lowResourcesWarned = false;
bool lowVirtualMemoryWarned = false;

bool guiRunning()
{
    return hooks.isRunning != nullptr && hooks.isRunning();
}

void toStderr(const char* text)
{
    std::fputs(text, stderr);
    std::fflush(stderr);
}

}  // namespace

void messages_set_gui_hooks(const MessageGuiHooks& h)
{
    hooks = h;
}

void messages_clear_gui_hooks()
{
    hooks = MessageGuiHooks{};
}

void messages_reset_warnings()
{
    lowResourcesWarned = false;
    lowVirtualMemoryWarned = false;
}

void showMessage(const char* text, void* parent)
{
    if (text == nullptr)
        text = "";
    if (guiRunning() && hooks.errorBox != nullptr)
        hooks.errorBox(parent, MESSAGE_ERROR_STYLE, text);
    else
        toStderr(text);
}

void showError(const char* text)
{
    showMessage(text, nullptr);
}

int askQuestion(const char* text, int style)
{
    if (text == nullptr)
        text = "";
    if (guiRunning() && hooks.questionBox != nullptr)
        return hooks.questionBox(style, text);
    toStderr(text);
    return 0;
}

void showInfo(const char* text)
{
    if (text == nullptr)
        text = "";
    if (guiRunning() && hooks.infoBox != nullptr)
        hooks.infoBox(text);
    else
        toStderr(text);
}

void formatOutOfMemoryText(char* out, std::size_t outSize, const char* word)
{
    if (out == nullptr || outSize == 0)
        return;
    if (word == nullptr)
        word = "";
    if (mem_out_of_memory()) {
        // Only a lower-case vowel takes "an": action names such as "Insert Section" keep "a".
        const bool vowel = word[0] != '\0' && std::strchr("aeiou", word[0]) != nullptr;
        std::snprintf(out, outSize,
                      "You have run out of memory while performing a%s %s.\n"
                      "Please save your work and exit.",
                      vowel ? "n" : "", word);
    } else {
        std::snprintf(out, outSize, "Kelvo Error.  This %s could not be completed.", word);
    }
}

void reportOutOfMemory(const char* word)
{
    char text[512];
    formatOutOfMemoryText(text, sizeof text, word);
    errorRaised = 0;
    if (hooks.beep != nullptr)
        hooks.beep();
    showMessage(text, nullptr);
    mem_set_out_of_memory(0);
}

void warnLowResources()
{
    if (lowResourcesWarned)
        return;
    lowResourcesWarned = true;
    showMessage("Warning:  Your system resources are running low.\n"
                "It is recommended that you save your work and exit",
                nullptr);
}

bool memoryIsLow(std::size_t size)
{
    // An unreadable memory status counts as 0 free bytes: the trial allocation then decides.
    const long long available = sys_free_memory_bytes();
    if (available >= 0 && static_cast<unsigned long long>(available) >= size)
        return false;
    void* trial = std::malloc(size == 0 ? 1 : size);
    if (trial == nullptr)
        return true;
    std::free(trial);
    return false;
}

bool warnLowVirtualMemory()
{
    if (lowVirtualMemoryWarned || !memoryIsLow(LOW_VIRTUAL_MEMORY_BYTES))
        return false;
    lowVirtualMemoryWarned = true;
    showInfo("Your system is low on virtual memory. Please close some applications or free some "
             "disk space before continuing.");
    return true;
}

const char* formatByteCount(double x)
{
    // Room for the widest double "%3.0f" can print (about 310 digits) and the suffix.
    static char buffer[400];
    static const char suffixes[] = " KMG";
    int index = 0;
    while (x >= 1000 && index < 3) {
        x /= 1024;
        ++index;
    }
    const char* format = x >= 100 ? "%3.0f%c" : x >= 10 ? "%2.1f%c" : "%1.2f%c";
    std::snprintf(buffer, sizeof buffer, format, x, suffixes[index]);
    return buffer;
}

char* duplicateString(const char* text)
{
    if (text == nullptr)
        return nullptr;
    const std::size_t n = std::strlen(text) + 1;
    char* copy = new char[n];
    std::memcpy(copy, text, n);
    return copy;
}

int compareStrings(const char* a, const char* b)
{
    if (a == nullptr && b == nullptr)
        return 0;
    if (a == nullptr || b == nullptr)
        return 1;
    return std::strcmp(a, b);
}
