// Opens arbitrary bytes as a help database and runs every query on it, then one change of
// each kind (insert, delete, browser change) on the same file.  A damaged file must give error
// messages, never a crash, a read past a page, a leak or a hang.

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "help/hdb.h"
#include "tovu/storage.h"

namespace {

void ignore(const char*) {}

const std::string& dbPath() {
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        std::string p = std::string(dir && *dir ? dir : "/tmp") + "/fuzz_hdb." + std::to_string(getpid()) + ".hdb";
        return p;
    }();
    return path;
}

void writeAll(const std::string& path, const uint8_t* data, size_t size) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) return;
    while (size > 0) {
        ssize_t w = ::write(fd, data, size);
        if (w <= 0) break;
        data += w;
        size -= size_t(w);
    }
    ::close(fd);
}

void visitPage(void*, std::size_t, const char*, std::size_t, const char*, int) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    setenv("DISABLELOCKING", "1", 1);
    const std::string& path = dbPath();
    writeAll(path, data, size);
    ::unlink((path + "-journal").c_str());

    const char* paths[] = {path.c_str(), nullptr};
    if (HelpFileSet* set = hdb_open_all(paths, ignore)) {
        OwnedArea owned(0, "fuzz");
        StorageArea* area = owned.get();
        char buf[64];
        hdb_search_topic(set, area, "plot");
        hdb_search_topic(set, area, "options");
        hdb_load_page(set, "plot", visitPage, nullptr);
        WordScanner* s = wordscanner_create(area, 0);
        wordscanner_add_text(s, "plot matrix integral");
        hdb_word_search(set, area, wordscanner_finish(s));
        hdb_next_topic(set, area, "m");
        hdb_previous_topic(set, area, "m");
        hdb_parent_topic(set, area, "plot");
        hdb_browse_prefix(set, area, "p", HDB_BROWSE_PREFIX, 20);
        hdb_browse_prefix(set, area, nullptr, HDB_BROWSE_BACKWARDS, 20);
        hdb_list_browser(set, area, "");
        hdb_list_browser(set, area, "A");
        hdb_browser_location(set, "plot", buf, sizeof buf);
        hdb_get_copyright(set, "plot", buf, sizeof buf);
        hdb_close_all(set);
    }
    char buf[32];
    hdb_get_attributes(path.c_str(), "copyright", buf, sizeof buf, ignore);
    static const char page[] = "{PARA 0 \"\" 0 \"\" {TEXT -1 0 \"plot of matrix values\"}}";
    OwnedArea owned(0, "fuzz-insert");
    StorageArea* area = owned.get();
    HWord* words = hdb_page_words(area, page, sizeof page - 1);
    HdbAlias alias{0, nullptr, "graph,plot"};
    hdb_insert_topic(path.c_str(), "plot", sizeof page - 1, page, "index", &alias, words, "d", 1, ignore);
    hdb_delete_topic(path.c_str(), "matrix", ignore);
    addtobrowser(path.c_str(), "A/B", "plot", "d", ignore);
    hdb_delete_from_browser(path.c_str(), "A/C", ignore);
    return 0;
}
