// Library lookup (see library.h).
#include "tools/vetlin/library.h"

#include <cstring>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/arcman/archive.h"
#include "tools/console/osl.h"
#include "tools/vetlin/input.h"
#include "tools/vetlin/run.h"

namespace {

struct IndexList {
    char** names = nullptr;   // os_alloc'd: one pointer per 64 bytes of index
    long capacity = 0;
    long count = 0;           // -1: unusable for the rest of the run
    bool loaded = false;
    bool warned = false;
};
IndexList archiveList;

void load_index() {
    archiveList.loaded = true;
    const std::string path = vl.libraryDirectory + "/kelvo.ind";
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info;
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0) ::close(fd);
        archiveList.count = -1;
        return;
    }
    const long slots = long(info.st_size / off_t(archive::kSlotSize));
    archiveList.names = static_cast<char**>(os_alloc(std::size_t(slots > 0 ? slots : 1) * sizeof(char*)));
    if (archiveList.names == nullptr) {
        ::close(fd);
        archiveList.count = -1;
        if (!archiveList.warned) {
            std::fputs("Warning: could not load library archive index\n", vl.report);
            archiveList.warned = true;
        }
        return;
    }
    archiveList.capacity = slots;
    archive::list_slot_texts(fd, [](std::string_view text) {
        // A file grown since its size was taken has more slots than room: those are left out.
        if (text.empty() || archiveList.count >= archiveList.capacity) return;
        char* copy = static_cast<char*>(os_alloc(text.size() + 1));
        if (copy == nullptr) return;   // a slot whose copy cannot be kept is skipped
        std::memcpy(copy, text.data(), text.size());
        copy[text.size()] = '\0';
        archiveList.names[archiveList.count++] = copy;
    });
    ::close(fd);
}

bool index_lookup(const std::string& member) {
    if (archiveList.count == -1) return false;
    if (!archiveList.loaded) load_index();
    for (long i = 0; i < archiveList.count; ++i)
        if (member == archiveList.names[i]) return true;
    return false;
}

bool ends_with_m(std::string_view name) { return name.size() >= 2 && name.substr(name.size() - 2) == ".m"; }

}  // namespace

bool library_is_routine(const char* name) {
    const std::string& directory = vl.libraryDirectory;
    std::string path = directory;
    if (name[0] != '/') path += '/';
    path += name;
    if (!ends_with_m(name)) path += ".m";
    if (input_push_regular(path.c_str())) {
        input_pop();
        return true;
    }
    const std::size_t after = directory.size() + 1;
    return index_lookup(after <= path.size() ? path.substr(after) : std::string());
}

void library_reset() {
    for (long i = 0; i < archiveList.count; ++i) os_free(archiveList.names[i]);
    if (archiveList.names != nullptr) os_free(archiveList.names);
    archiveList = IndexList{};
}

long library_index_count() { return archiveList.count; }
