// Makes one change to a help database, for the crash sweep (hdb_crash_test.cpp), which runs it
// under strace and kills it at each write, sync and unlink:
//   hdb_crash_driver <database> insert_new | insert_replace | delete | addtobrowser |
//                    delete_from_browser | batch
// Exit 0 when the change was made; 1 with the engine's message on the error stream otherwise.
#include "help/hdb.h"
#include "help/hwords.h"
#include "tovu/storage.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

void fail(const char* message) {
    std::fprintf(stderr, "%s\n", message);
    std::fflush(stderr);
}

int insert(const char* db, const char* name, const std::string& page, const char* parent,
           const HdbAlias* aliases, const char* description) {
    OwnedArea owned(0, "driver");
    StorageArea* area = owned.get();
    HWord* words = hdb_page_words(area, page.data(), page.size());
    const int ok = hdb_insert_topic(db, name, page.size(), page.data(), parent, aliases, words,
                                    description, 1, fail);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s database change\n", argv[0]);
        return 2;
    }
    hdb_seed_ids(1);   // the same ids, so the same writes, in every run of the sweep
    const char* db = argv[1];
    const std::string change = argv[2];
    int ok = 0;
    if (change == "insert_new") {
        HdbAlias second{0, nullptr, "graph,fresh"};
        HdbAlias first{0, &second, "freshalias"};
        std::string page = "{PARA 0 \"\" 0 \"\" {TEXT -1 0 \"";
        for (int i = 0; i < 60; ++i) page += "fresh crimson lattice alpha ";
        page += "\"}}";
        ok = insert(db, "plot,fresh", page, "plot", &first, "A fresh topic");
    } else if (change == "insert_replace") {
        std::string page = "{PARA 0 \"\" 0 \"\" {TEXT -1 0 \"replaced words only gamma\"}}";
        ok = insert(db, "topic,3", page, nullptr, nullptr, "Replaced");
    } else if (change == "batch") {
        // One batch: two new topics (one with a chained page), one name inserted twice and a
        // topic of the base replaced.
        HdbBatch* batch = hdb_batch_begin(db, fail);
        std::string big = "{PARA 0 \"\" 0 \"\" {TEXT -1 0 \"";
        for (int i = 0; i < 80; ++i) big += "batched crimson lattice alpha ";
        big += "\"}}";
        const std::string small = "{PARA 0 \"\" 0 \"\" {TEXT -1 0 \"batched gamma\"}}";
        const std::string again = "{PARA 0 \"\" 0 \"\" {TEXT -1 0 \"second fresh delta\"}}";
        OwnedArea owned(0, "driver");
        StorageArea* area = owned.get();
        HdbAlias alias{0, nullptr, "graph,fresh"};
        const struct {
            const char* name;
            const std::string* page;
            const HdbAlias* aliases;
        } topics[] = {{"plot,fresh", &big, &alias}, {"fresh", &small, nullptr},
                      {"topic,3", &small, nullptr}, {"fresh", &again, nullptr}};
        ok = batch != nullptr;
        for (const auto& t : topics)
            ok = ok && hdb_batch_insert(batch, t.name, t.page->size(), t.page->data(), "plot", t.aliases,
                                        hdb_page_words(area, t.page->data(), t.page->size()),
                                        "Batched", 1);
        ok = hdb_batch_end(batch, ok) && ok;
    } else if (change == "delete") {
        ok = hdb_delete_topic(db, "topic,5", fail);
    } else if (change == "addtobrowser") {
        ok = addtobrowser(db, "Graphics/Plots/Fresh", "topic,7", "Seventh", fail);
    } else if (change == "delete_from_browser") {
        ok = hdb_delete_from_browser(db, "Graphics/Plots/T2", fail);
    } else {
        std::fprintf(stderr, "unknown change %s\n", change.c_str());
        return 2;
    }
    return ok == 1 ? 0 : 1;
}
