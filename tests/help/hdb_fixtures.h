#pragma once
// Fixtures of the help database tests: a fresh database in a temporary folder with direct
// reads and writes of its trees, an open file set, a storage area, and word lists of pages and
// queries.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "help/hdb.h"
#include "help/kbtree.h"
#include "help_test_util.h"
#include "tovu/storage.h"

namespace hdbtest {

using namespace helptest;

inline const KbtCompare kHelpCompare[12] = {
    kbtree_compare_string, kbtree_compare_string, kbtree_compare_int16, kbtree_compare_int16,
    kbtree_compare_int16,  kbtree_compare_string, kbtree_compare_string, kbtree_compare_string,
    kbtree_compare_int16,  kbtree_compare_string, kbtree_compare_int16, kbtree_compare_string};

struct Area : OwnedArea {
    Area() : OwnedArea(0, "HelpTest") {}
};

inline HWord* wordsOf(StorageArea* area, const std::string& page) {
    return hdb_page_words(area, page.data(), page.size());
}

inline HWord* queryWords(StorageArea* area, const char* text) {
    WordScanner* s = wordscanner_create(area, 0);
    wordscanner_add_text(s, text);
    return wordscanner_finish(s);
}

struct Db {
    TempDir dir;
    std::string path = dir.file("kelvo.hdb");
    explicit Db(bool replaceable = true, const char* copyright = nullptr) {
        messages().clear();
        EXPECT_EQ(hdb_create(path.c_str(), replaceable, copyright, recordError), 1) << lastMessage();
    }
    bool insert(const std::string& name, const std::string& text, const char* description = nullptr,
                const char* parent = nullptr, const HdbAlias* aliases = nullptr, int active = 1) {
        Area a;
        std::string page = "{PARA 0 \"\" 0 \"\" {TEXT -1 0 \"" + text + "\"}}";
        return hdb_insert_topic(path.c_str(), name.c_str(), page.size(), page.data(), parent, aliases,
                                wordsOf(a.get(), page), description, active, recordError) == 1;
    }
    // Every key of a tree, read with kbtree directly.
    std::vector<std::string> keys(unsigned tree) {
        int fd = ::open(path.c_str(), O_RDONLY);
        KbtHandle* h = kbtree_open(fd, 12, kHelpCompare, recordError);
        std::vector<std::string> out;
        kbtree_walk(h, tree, [](void* u, std::size_t kl, const unsigned char* k, std::size_t, const unsigned char*) {
            static_cast<std::vector<std::string>*>(u)->emplace_back(reinterpret_cast<const char*>(k), kl);
            return 1;
        }, &out);
        kbtree_close(h);
        ::close(fd);
        return out;
    }
    std::string value(unsigned tree, const std::string& key) {
        int fd = ::open(path.c_str(), O_RDWR);
        KbtHandle* h = kbtree_open(fd, 12, kHelpCompare, recordError);
        std::string v;
        kbtree_lookup(h, tree, key.size(), key.data(), [](void* u, std::size_t, const unsigned char*, std::size_t vl, const unsigned char* val) {
            static_cast<std::string*>(u)->assign(reinterpret_cast<const char*>(val), vl);
            return 1;
        }, &v);
        kbtree_close(h);
        ::close(fd);
        return v;
    }
    void setValue(unsigned tree, const std::string& key, const std::string& v, bool remove = false) {
        int fd = ::open(path.c_str(), O_RDWR);
        KbtHandle* h = kbtree_open(fd, 12, kHelpCompare, recordError);
        if (remove) kbtree_delete(h, tree, key.size(), key.data());
        else kbtree_insert(h, tree, key.size(), key.data(), v.size(), v.data());
        kbtree_close(h);
        ::close(fd);
    }
};

struct Set {
    HelpFileSet* set;
    explicit Set(std::vector<std::string> paths) {
        std::vector<const char*> p;
        for (auto& s : paths) p.push_back(s.c_str());
        p.push_back(nullptr);
        set = hdb_open_all(p.data(), recordError);
    }
    ~Set() {
        if (set) hdb_close_all(set);
    }
};

inline std::vector<std::pair<std::string, int>> results(HdbTopicResult* r) {
    std::vector<std::pair<std::string, int>> out;
    for (; r; r = r->next) out.emplace_back(r->name, r->score);
    return out;
}

inline std::string entry(const std::string& k, const std::string& v) {
    std::string e;
    put32(e, 0, unsigned(k.size()));
    e += k;
    put32(e, e.size(), unsigned(v.size()));
    return e + v;
}

}  // namespace hdbtest
