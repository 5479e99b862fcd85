// Arbitrary text through the source update facility, in a buffer with room to grow as the tool
// gives it.  Library errors (no room, a parse error) end a run cleanly; a crash, a read or write
// outside the buffer, a text left without its NUL or a hang is a finding.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tovu/dag.h"
#include "tovu/errors.h"
#include "tovu/storage.h"
#include "update/update.h"
#include "util/errjump.h"

namespace {

void startOnce() {
    static bool ready = false;
    if (ready) return;
    tovu_start();
    ready = true;
}

struct Notes {
    std::int32_t capacity;
    int count = 0;
};

void notify(void* context, std::int32_t position, const char* message) {
    auto* notes = static_cast<Notes*>(context);
    if (position < 0 || position >= notes->capacity || message == nullptr) std::abort();
    ++notes->count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 64 * 1024) return 0;
    startOnce();
    // The first byte picks the spare room: none, a little, or twice the text as the tool gives.
    std::size_t spare = size == 0 ? 1 : (data[0] % 3 == 0 ? 1 : data[0] % 3 == 1 ? 64 : size + 1);
    std::vector<char> buffer(size + spare + 1, '\0');
    std::size_t length = 0;
    for (std::size_t i = size == 0 ? 0 : 1; i < size && data[i] != 0; ++i) buffer[length++] = char(data[i]);
    auto capacity = static_cast<std::int32_t>(buffer.size() - 1);
    Notes notes{capacity};
    try {
        ErrorGuard memoryGuard;
        try {
            TovuHandlerGuard guard;
            update_source(buffer.data(), capacity, notify, &notes);
        } catch (const TovuError&) {
        }
    } catch (const ErrorJump&) {
    }
    storage_reset();
    if (std::memchr(buffer.data(), '\0', buffer.size()) == nullptr) std::abort();
    return 0;
}
