// Arbitrary bytes as the checker's procedure database and as the library's archive index, then
// a few lookups in both.  The first byte splits the rest: that share of it (in 256ths) is the
// database, the remainder the index.  A crash, a read past a buffer, an exit other than the
// fatal status, or more index texts than whole slots is a finding.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "tools/vetlin/library.h"
#include "tools/vetlin/procdb.h"
#include "tools/vetlin/run.h"

namespace {

// A library directory of the target's own, made once.
const std::string& library_directory() {
    static const std::string directory = [] {
        char pattern[] = "/tmp/fuzz_vetlin_database.XXXXXX";
        if (::mkdtemp(pattern) == nullptr) std::abort();
        return std::string(pattern);
    }();
    return directory;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > 256 * 1024) return 0;
    const std::size_t rest = size - 1;
    const std::size_t databaseSize = rest * data[0] / 255;
    const std::uint8_t* database = data + 1;
    const std::uint8_t* index = database + databaseSize;
    const std::size_t indexSize = rest - databaseSize;

    const std::string indexPath = library_directory() + "/kelvo.ind";
    std::FILE* indexFile = std::fopen(indexPath.c_str(), "wb");
    if (indexFile == nullptr) std::abort();
    if (indexSize > 0 && std::fwrite(index, 1, indexSize, indexFile) != indexSize) std::abort();
    std::fclose(indexFile);

    static std::FILE* sink = std::fopen("/dev/null", "w");
    vl_begin_run(nullptr, sink, sink);
    try {
        vl_make_constants();
        vl.noLogo = true;
        vl_init_checker();
        vl.libraryDirectory = library_directory();
        vl.infoLevel = 3;
        if (databaseSize > 0) {
            std::FILE* db = fmemopen(const_cast<std::uint8_t*>(database), databaseSize, "r");
            if (db == nullptr) std::abort();
            procdb_load(db);
            std::fclose(db);
        }
        // Names of the index's first slot and of the database's first word, and a few fixed ones.
        std::string fromIndex(reinterpret_cast<const char*>(index), indexSize < 64 ? indexSize : 64);
        fromIndex = fromIndex.substr(0, fromIndex.find('\0'));
        std::string fromDatabase(reinterpret_cast<const char*>(database), databaseSize < 40 ? databaseSize : 40);
        fromDatabase = fromDatabase.substr(0, fromDatabase.find_first_of(std::string(" \t\n\r\v\f\0", 7)));
        for (const std::string& name : {fromIndex, fromDatabase, std::string("f"), std::string("a.m")}) {
            if (name.empty()) continue;
            library_is_routine(name.c_str());
            if (name.size() < 400) {
                VObj called = store_name(name.c_str());
                for (long arguments : {0L, 1L, 2L, 3L, 999L, 1000L}) procdb_check_call(called, arguments, 1);
            }
        }
        if (library_index_count() > long(indexSize / 64)) std::abort();
    } catch (const VetlinExit& exit) {
        if (exit.status != 127) std::abort();
    }
    vl_end_run();
    return 0;
}
