// Tests of the paged B-tree store: key orders, page layouts, splits, big entries, walks,
// deletion, transactions and the journal, and refusal of damaged files.

#include "help/kbtree.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>

#include "help_test_util.h"

using namespace helptest;

namespace {

const KbtCompare kStr[3] = {kbtree_compare_string, kbtree_compare_int16, kbtree_compare_string};

struct Store {
    TempDir dir;
    std::string path = dir.file("t.kbt");
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    KbtHandle* h = nullptr;
    Store() {
        messages().clear();
        h = kbtree_create(fd, 3, kStr, recordError);
    }
    ~Store() {
        kbtree_close(h);
        ::close(fd);
    }
    void reopen() {
        kbtree_close(h);
        h = kbtree_open(fd, 3, kStr, recordError);
    }
    bool insert(unsigned tree, const std::string& k, const std::string& v) {
        return kbtree_insert(h, tree, k.size(), k.data(), v.size(), v.data()) == 1;
    }
    bool lookup(unsigned tree, const std::string& k, std::string& v) {
        v.clear();
        return kbtree_lookup(h, tree, k.size(), k.data(), copy, &v) == 1;
    }
    std::vector<std::string> keys(unsigned tree) {
        std::vector<std::string> out;
        kbtree_walk(h, tree, collect, &out);
        return out;
    }
    std::string header() { return readFile(path).substr(0, 1024); }
    unsigned root(unsigned tree) { return get32(header(), 16 + 8 * tree); }
    unsigned height(unsigned tree) { return get32(header(), 20 + 8 * tree); }

    static int copy(void* user, std::size_t, const unsigned char*, std::size_t vl, const unsigned char* v) {
        static_cast<std::string*>(user)->assign(reinterpret_cast<const char*>(v), vl);
        return 1;
    }
    static int collect(void* user, std::size_t kl, const unsigned char* k, std::size_t, const unsigned char*) {
        static_cast<std::vector<std::string>*>(user)->emplace_back(reinterpret_cast<const char*>(k), kl);
        return 1;
    }
};

std::string key(int i) {
    char b[16];
    std::snprintf(b, sizeof b, "k%05d", i);
    return b;
}

}  // namespace

TEST(KbtreeCompare, KeyOrders) {
    struct Row {
        const char* name;
        std::string a, b;
        bool int16;
        int sign;
    } rows[] = {
        {"prefix is smaller", "abc", "abcd", false, -1},
        {"bytes unsigned", "\xe9", "z", false, 1},
        {"equal", "plot", "plot", false, 0},
        {"common NUL, equal length", std::string("ab\0x", 4), std::string("ab\0y", 4), false, 0},
        {"common NUL, shorter smaller", std::string("ab\0x", 4), std::string("ab\0yz", 5), false, -1},
        {"0x8000 before 0x0001", std::string("\x00\x80", 2), std::string("\x01\x00", 2), true, -1},
        {"1 before 2", std::string("\x01\x00", 2), std::string("\x02\x00", 2), true, -1},
        {"0xffff before 0", std::string("\xff\xff", 2), std::string("\x00\x00", 2), true, -1},
        {"short key reads zero", std::string("\x05", 1), std::string("\x05\x00", 2), true, 0},
    };
    for (const Row& r : rows) {
        auto* a = reinterpret_cast<const unsigned char*>(r.a.data());
        auto* b = reinterpret_cast<const unsigned char*>(r.b.data());
        int c = r.int16 ? kbtree_compare_int16(r.a.size(), a, r.b.size(), b)
                        : kbtree_compare_string(r.a.size(), a, r.b.size(), b);
        int sign = c < 0 ? -1 : c > 0 ? 1 : 0;
        EXPECT_EQ(sign, r.sign) << r.name;
    }
}

TEST(KbtreeLayout, FreshHeaderAndFirstLeaf) {
    Store s;
    std::string h = s.header();
    ASSERT_EQ(readFile(s.path).size(), 1024u);
    std::string expect(1024, '\0');
    put16(expect, 0, 1024);
    put32(expect, 4, 1);
    put32(expect, 12, 3);
    EXPECT_EQ(h, expect);

    ASSERT_TRUE(s.insert(0, "b", "22"));
    ASSERT_TRUE(s.insert(0, "a", "1"));
    std::string file = readFile(s.path);
    ASSERT_EQ(file.size(), 2048u);
    EXPECT_EQ(get32(file, 4), 2u);   // next page
    EXPECT_EQ(s.root(0), 1u);
    EXPECT_EQ(s.height(0), 0u);
    std::string leaf(1024, '\0');
    put32(leaf, 0, 1);
    leaf[4] = 'a';
    put32(leaf, 5, 1);
    leaf[9] = '1';
    put32(leaf, 10, 1);
    leaf[14] = 'b';
    put32(leaf, 15, 2);
    leaf[19] = '2';
    leaf[20] = '2';
    EXPECT_EQ(file.substr(1024), leaf);
}

TEST(KbtreeLayout, SmallAndBigBoundary) {
    struct Row {
        const char* name;
        std::size_t valueLength;   // key "k" (1 byte)
        bool big;
        std::size_t pages;         // pages of the file after one insert into an empty tree
    } rows[] = {
        {"K+V=499 small", 498, false, 2},
        {"K+V=500 big, one page", 499, true, 2},
        {"K+V+8=P fits one page", 1015, true, 2},
        {"one byte more needs a link", 1016, true, 3},
        {"P - K - 12 then P bytes", 1011 + 1024, true, 3},
        {"three pages", 1011 + 1025, true, 4},
    };
    for (const Row& r : rows) {
        Store s;
        std::string v(r.valueLength, 'v');
        for (std::size_t i = 0; i < v.size(); ++i) v[i] = char('a' + i % 26);
        ASSERT_TRUE(s.insert(0, "k", v)) << r.name;
        EXPECT_EQ(readFile(s.path).size(), r.pages * 1024) << r.name;
        std::string got;
        s.reopen();
        ASSERT_TRUE(s.lookup(0, "k", got)) << r.name;
        EXPECT_EQ(got, v) << r.name;
        // A small entry shares its leaf: a second small entry adds no page.
        ASSERT_TRUE(s.insert(0, "a", "x")) << r.name;
        std::size_t after = readFile(s.path).size() / 1024;
        if (r.big) EXPECT_GT(after, r.pages) << r.name;
        else EXPECT_EQ(after, r.pages) << r.name;
    }
}

TEST(KbtreeSplit, RootLeafSplitGivesHeightOne) {
    Store s;
    int n = 0;
    while (s.height(0) == 0) {
        ASSERT_TRUE(s.insert(0, key(n), std::string(40, 'x')));
        ++n;
        ASSERT_LT(n, 100);
    }
    EXPECT_EQ(s.height(0), 1u);
    std::string file = readFile(s.path);
    unsigned root = s.root(0);
    std::string page = file.substr(root * 1024, 1024);
    unsigned left = get32(page, 0);
    unsigned klen = get32(page, 4);
    std::string sep = page.substr(8, klen);
    EXPECT_EQ(get32(page, 8 + klen + 4), 0u);   // one separator only
    // The separator is the greatest key of the left leaf.
    std::string leftPage = file.substr(left * 1024, 1024);
    std::size_t off = 0;
    std::string last;
    while (get32(leftPage, off) != 0) {
        unsigned k = get32(leftPage, off);
        last = leftPage.substr(off + 4, k);
        off += 8 + k + get32(leftPage, off + 4 + k);
    }
    EXPECT_EQ(sep, last);
    EXPECT_EQ(s.keys(0).size(), std::size_t(n));
}

TEST(KbtreeSplit, BigValueInTheMiddleMakesThreeLeaves) {
    Store s;
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(s.insert(0, key(i * 2), "small"));
    ASSERT_TRUE(s.insert(0, key(9), std::string(3000, 'B')));
    EXPECT_EQ(s.height(0), 1u);
    std::string file = readFile(s.path);
    std::string root = file.substr(s.root(0) * 1024, 1024);
    int children = 1;
    std::size_t off = 4;
    while (get32(root, off) != 0) {
        off += 8 + get32(root, off);
        ++children;
    }
    EXPECT_EQ(children, 3);
    std::vector<std::string> keys = s.keys(0);
    ASSERT_EQ(keys.size(), 11u);
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
    std::string v;
    ASSERT_TRUE(s.lookup(0, key(9), v));
    EXPECT_EQ(v, std::string(3000, 'B'));
}

TEST(KbtreeOps, InsertOfPresentKeyReplacesValue) {
    Store s;
    ASSERT_TRUE(s.insert(0, "topic", "one"));
    ASSERT_TRUE(s.insert(0, "topic", "two"));
    ASSERT_TRUE(s.insert(0, "topic", std::string(2000, 'z')));
    ASSERT_TRUE(s.insert(0, "topic", "three"));
    std::string v;
    ASSERT_TRUE(s.lookup(0, "topic", v));
    EXPECT_EQ(v, "three");
    EXPECT_EQ(s.keys(0).size(), 1u);
}

TEST(KbtreeOps, UpdateAndDeleteErrors) {
    struct Row {
        const char* name;
        bool fill;
        int op;   // 0 update, 1 delete
        const char* message;
    } rows[] = {
        {"update on empty tree", false, 0, "update not found"},
        {"delete on empty tree", false, 1, "not found"},
        {"update of absent key", true, 0, "not found"},
        {"delete of absent key", true, 1, "not found"},
    };
    for (const Row& r : rows) {
        Store s;
        if (r.fill) {
            ASSERT_TRUE(s.insert(0, "a", "1"));
            ASSERT_TRUE(s.insert(0, "big", std::string(900, 'b')));
        }
        std::string before = readFile(s.path);
        int ok = r.op == 0 ? kbtree_update(s.h, 0, 3, "zzz", 1, "x") : kbtree_delete(s.h, 0, 3, "bia");
        EXPECT_EQ(ok, 0) << r.name;
        EXPECT_EQ(lastMessage(), r.message) << r.name;
        EXPECT_EQ(readFile(s.path), before) << r.name;
    }
}

TEST(KbtreeOps, DeleteEverythingLeavesEmptyLeavesAndHeight) {
    Store s;
    for (int i = 0; i < 300; ++i) ASSERT_TRUE(s.insert(0, key(i), std::string(i % 7 == 0 ? 700 : 30, 'v')));
    unsigned h = s.height(0);
    ASSERT_GE(h, 1u);
    for (int i = 0; i < 300; ++i) ASSERT_EQ(kbtree_delete(s.h, 0, key(i).size(), key(i).data()), 1) << i;
    EXPECT_EQ(s.height(0), h);
    EXPECT_TRUE(s.keys(0).empty());
    std::string v;
    EXPECT_FALSE(s.lookup(0, key(5), v));
    // The tree is usable again afterwards.
    ASSERT_TRUE(s.insert(0, "again", "1"));
    EXPECT_EQ(s.keys(0), std::vector<std::string>{"again"});
}

TEST(KbtreeOps, FreedPageIsNextHandedOut) {
    Store s;
    ASSERT_TRUE(s.insert(0, "a", std::string(600, 'x')));   // big leaf, page 1
    ASSERT_TRUE(kbtree_delete(s.h, 0, 1, "a"));                // empty leaf page 2, page 1 freed
    EXPECT_EQ(get32(s.header(), 8), 1u);
    ASSERT_TRUE(s.insert(1, "\x01", "v"));
    EXPECT_EQ(s.root(1), 1u);
    EXPECT_EQ(get32(s.header(), 8), 0u);
}

TEST(KbtreeWalk, FromBackAndBetweenLeaves) {
    Store s;
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(s.insert(0, key(i * 2), std::string(20, 'v')));
    ASSERT_GE(s.height(0), 1u);
    struct Row {
        const char* name;
        std::string from;
        bool back;
        std::string first;
    } rows[] = {
        {"exact", key(10), false, key(10)},
        {"between", key(11), false, key(12)},
        {"before all", "a", false, key(0)},
        {"back exact", key(10), true, key(10)},
        {"back between", key(11), true, key(10)},
        {"back past end", "z", true, key(398)},
    };
    for (const Row& r : rows) {
        std::vector<std::string> got;
        int ok = r.back ? kbtree_walk_back(s.h, 0, r.from.size(), r.from.data(), Store::collect, &got)
                        : kbtree_walk_from(s.h, 0, r.from.size(), r.from.data(), Store::collect, &got);
        ASSERT_EQ(ok, 1) << r.name;
        ASSERT_FALSE(got.empty()) << r.name;
        EXPECT_EQ(got.front(), r.first) << r.name;
        if (r.back) EXPECT_TRUE(std::is_sorted(got.rbegin(), got.rend())) << r.name;
        else EXPECT_TRUE(std::is_sorted(got.begin(), got.end())) << r.name;
    }
    // A walk from a key that lies between two leaves starts at the next leaf's first entry:
    // every separator + "~" (just above it) starts at the following key.
    std::string file = readFile(s.path);
    std::string root = file.substr(s.root(0) * 1024, 1024);
    if (s.height(0) == 1) {
        unsigned k = get32(root, 4);
        std::string sep = root.substr(8, k) + "~";
        std::vector<std::string> got;
        kbtree_walk_from(s.h, 0, sep.size(), sep.data(), Store::collect, &got);
        ASSERT_FALSE(got.empty());
        EXPECT_GT(got.front(), sep);
    }
    std::vector<std::string> none;
    EXPECT_EQ(kbtree_walk_from(s.h, 0, 1, "z", Store::collect, &none), 1);
    EXPECT_TRUE(none.empty());
}

// Random inserts, updates and deletes of small and big values and long keys against std::map.
TEST(KbtreeModel, RandomOperationsMatchAMap) {
    Store s;
    std::mt19937 rng(12345);
    std::map<std::string, std::string> model;
    for (int step = 0; step < 4000; ++step) {
        int r = int(rng() % 10);
        std::string k = key(int(rng() % 600));
        if (rng() % 50 == 0) k += std::string(rng() % 900, char('a' + rng() % 26));   // long key
        if (r < 6) {
            std::size_t len = rng() % 8 == 0 ? rng() % 5000 : rng() % 80;
            std::string v(len, char('a' + step % 26));
            ASSERT_TRUE(s.insert(0, k, v)) << step << " " << lastMessage();
            model[k] = v;
        } else if (r < 8) {
            bool present = model.count(k) > 0;
            std::string v = std::to_string(step);
            EXPECT_EQ(kbtree_update(s.h, 0, k.size(), k.data(), v.size(), v.data()), present ? 1 : 0);
            if (present) model[k] = v;
        } else {
            bool present = model.count(k) > 0;
            EXPECT_EQ(kbtree_delete(s.h, 0, k.size(), k.data()), present ? 1 : 0);
            model.erase(k);
        }
    }
    s.reopen();
    std::vector<std::string> keys = s.keys(0);
    ASSERT_EQ(keys.size(), model.size());
    auto it = model.begin();
    for (const auto& k : keys) {
        EXPECT_EQ(k, it->first);
        std::string v;
        ASSERT_TRUE(s.lookup(0, k, v));
        EXPECT_EQ(v, it->second);
        ++it;
    }
}

TEST(KbtreeOps, KeyLimits) {
    Store s;
    std::string longest(kbtree_max_key(s.h), 'k');
    EXPECT_TRUE(s.insert(0, longest, "v"));
    EXPECT_FALSE(s.insert(0, longest + "k", "v"));
    EXPECT_EQ(lastMessage(), "key too long");
    EXPECT_FALSE(s.insert(0, "", "v"));
    EXPECT_EQ(lastMessage(), "empty key");
    EXPECT_FALSE(s.insert(7, "a", "v"));
    EXPECT_EQ(lastMessage(), "bad tree number");
}

TEST(KbtreeTransaction, RollbackAndCommit) {
    Store s;
    ASSERT_TRUE(s.insert(0, "keep", "1"));
    std::string before = readFile(s.path);
    ASSERT_TRUE(kbtree_begin(s.h));
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(s.insert(0, key(i), std::string(50, 'x')));
    EXPECT_EQ(readFile(s.path), before);   // nothing reaches the file before commit
    kbtree_rollback(s.h);
    EXPECT_EQ(readFile(s.path), before);
    EXPECT_EQ(s.keys(0), std::vector<std::string>{"keep"});

    ASSERT_TRUE(kbtree_begin(s.h));
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(s.insert(0, key(i), std::string(50, 'x')));
    ASSERT_TRUE(kbtree_commit(s.h));
    s.reopen();
    EXPECT_EQ(s.keys(0).size(), 201u);
}

TEST(KbtreeTransaction, JournalPutsBackAnInterruptedCommit) {
    Store s;
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(s.insert(0, key(i), std::string(50, 'x')));
    const std::string before = readFile(s.path);
    const std::string journal = s.path + "-journal";
    // A commit with a journal removes it when done.
    kbtree_set_journal(s.h, journal.c_str());
    ASSERT_TRUE(s.insert(0, "zz", "1"));
    EXPECT_FALSE(std::filesystem::exists(journal));
    const std::string committed = readFile(s.path);

    // Simulate a crash half-way through a commit: keep the journal the commit wrote, then
    // damage the file as a partly written commit would.
    {
        int fd2 = ::open(s.path.c_str(), O_RDWR);
        KbtHandle* h2 = kbtree_open(fd2, 3, kStr, recordError);
        std::string copyPath = s.path + ".copy";
        writeFile(copyPath, committed);
        kbtree_set_journal(h2, journal.c_str());
        ASSERT_TRUE(kbtree_begin(h2));
        for (int i = 100; i < 160; ++i) {
            std::string k = key(i);
            ASSERT_TRUE(kbtree_insert(h2, 0, k.size(), k.data(), 3, "abc"));
        }
        ASSERT_TRUE(kbtree_commit(h2));
        kbtree_close(h2);
        ::close(fd2);
        (void)copyPath;
    }
    // Build a journal by hand that restores `committed`: page 0 and every page that differs.
    const std::string now = readFile(s.path);
    std::string j = "KHJ1";
    std::string w(4, '\0');
    put32(w, 0, 1024);
    j += w;
    put32(w, 0, unsigned(committed.size() / 1024));
    j += w;
    unsigned count = 0;
    for (std::size_t p = 0; p < committed.size() / 1024; ++p) {
        if (now.compare(p * 1024, 1024, committed, p * 1024, 1024) == 0) continue;
        put32(w, 0, unsigned(p));
        j += w + committed.substr(p * 1024, 1024);
        ++count;
    }
    put32(w, 0, count);
    j += w + "KHJE";
    writeFile(journal, j);
    ASSERT_EQ(kbtree_recover_journal(s.fd, journal.c_str(), recordError), 1);
    EXPECT_EQ(readFile(s.path), committed);
    EXPECT_FALSE(std::filesystem::exists(journal));

    // An incomplete journal (no end mark) is only removed.
    writeFile(journal, j.substr(0, j.size() - 10));
    ASSERT_EQ(kbtree_recover_journal(s.fd, journal.c_str(), recordError), 1);
    EXPECT_EQ(readFile(s.path), committed);
    EXPECT_FALSE(std::filesystem::exists(journal));
    (void)before;
}

namespace {

// The page numbers of the records of a journal (page 0 first).
std::vector<unsigned> journalPages(const std::string& j) {
    std::vector<unsigned> pages;
    if (j.size() < 20 || j.compare(0, 4, "KHJ1") != 0 || j.compare(j.size() - 4, 4, "KHJE") != 0)
        return pages;
    const unsigned count = get32(j, j.size() - 8);
    for (unsigned i = 0; i < count && 12 + (i + 1) * 1028 <= j.size() - 8; ++i)
        pages.push_back(get32(j, 12 + i * 1028));
    return pages;
}

std::vector<unsigned> differingPages(const std::string& a, const std::string& b) {
    std::vector<unsigned> pages;
    for (std::size_t p = 1; p * 1024 < std::max(a.size(), b.size()); ++p)
        if (a.compare(p * 1024, 1024, b, p * 1024, 1024) != 0) pages.push_back(unsigned(p));
    return pages;
}

}  // namespace

// A change to a big value rewrites its chain, but only the pages whose bytes change reach the
// journal and the file; the journal still puts the file back.
TEST(KbtreeTransaction, RewrittenChainJournalsOnlyChangedPages) {
    std::string big(20000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = char('a' + i * 7 % 23);
    std::string tail = big, middle = big, grown = big, shrunk = big;
    tail.back() = 'Z';
    middle[10000] = 'Z';
    grown.insert(15000, "ZZZZ");
    shrunk.erase(15000, 4);
    const struct {
        const char* name;
        std::string value;
        std::size_t maxPages;   // pages the change may touch at most
    } rows[] = {
        {"last byte", tail, 1},
        {"a byte in the middle", middle, 1},
        {"four bytes more after the middle", grown, 8},   // first page (length) and the rest
        {"four bytes less after the middle", shrunk, 8},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Store s;
        for (int i = 0; i < 30; ++i) ASSERT_TRUE(s.insert(0, key(i), std::string(40, 'x')));
        ASSERT_TRUE(s.insert(0, "big", big));
        for (int i = 30; i < 60; ++i) ASSERT_TRUE(s.insert(0, key(i), std::string(40, 'x')));
        const std::string before = readFile(s.path);
        const std::string journal = s.path + "-journal";

        // A handle on a read-only descriptor writes its journal, then fails on the first
        // write to the file: the journal is left as a crash would leave it.
        {
            int ro = ::open(s.path.c_str(), O_RDONLY);
            KbtHandle* h = kbtree_open(ro, 3, kStr, recordError);
            ASSERT_NE(h, nullptr);
            kbtree_set_journal(h, journal.c_str());
            EXPECT_EQ(kbtree_update(h, 0, 3, "big", r.value.size(), r.value.data()), 0);
            EXPECT_EQ(lastMessage(), "write failed");
            kbtree_close(h);
            ::close(ro);
        }
        EXPECT_EQ(readFile(s.path), before);
        const std::string saved = readFile(journal);

        kbtree_set_journal(s.h, journal.c_str());
        ASSERT_EQ(kbtree_update(s.h, 0, 3, "big", r.value.size(), r.value.data()), 1) << lastMessage();
        const std::string after = readFile(s.path);
        std::string v;
        ASSERT_TRUE(s.lookup(0, "big", v));
        EXPECT_EQ(v, r.value);

        const std::vector<unsigned> changed = differingPages(before, after);
        std::vector<unsigned> expected{0};
        expected.insert(expected.end(), changed.begin(), changed.end());
        EXPECT_EQ(journalPages(saved), expected);
        EXPECT_GE(changed.size(), 1u);
        EXPECT_LE(changed.size(), r.maxPages);
        EXPECT_LT(changed.size(), 20u);   // never the whole chain

        writeFile(journal, saved);
        ASSERT_EQ(kbtree_recover_journal(s.fd, journal.c_str(), recordError), 1);
        EXPECT_EQ(readFile(s.path), before);
    }
}

// Many changes in one transaction read back what the transaction wrote (pages held across the
// operations) and commit the same file as the changes made one by one.
TEST(KbtreeTransaction, OneTransactionEqualsSeparateChanges) {
    Store one, each;
    std::mt19937 rng(77);
    ASSERT_TRUE(kbtree_begin(one.h));
    for (int step = 0; step < 600; ++step) {
        const std::string k = key(int(rng() % 150));
        const std::string v(rng() % 4 == 0 ? 600 + rng() % 3000 : rng() % 60, char('a' + step % 26));
        if (rng() % 5 == 0) {
            const int a = kbtree_delete(one.h, 0, k.size(), k.data());
            EXPECT_EQ(kbtree_delete(each.h, 0, k.size(), k.data()), a) << step;
        } else {
            ASSERT_TRUE(one.insert(0, k, v)) << step << " " << lastMessage();
            ASSERT_TRUE(each.insert(0, k, v)) << step << " " << lastMessage();
        }
        std::string inOne, inEach;
        EXPECT_EQ(one.lookup(0, k, inOne), each.lookup(0, k, inEach)) << step;
        EXPECT_EQ(inOne, inEach) << step;
    }
    ASSERT_TRUE(kbtree_commit(one.h));
    EXPECT_EQ(readFile(one.path), readFile(each.path));
}

// Damaged files: every one is refused or answered with an error, never a crash or a hang.
TEST(KbtreeCorrupt, DamagedFilesAreRefused) {
    // A sound file to damage: two trees, height 1 in tree 0, a big entry in tree 2.
    TempDir dir;
    std::string path = dir.file("good");
    std::string good;
    {
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        KbtHandle* h = kbtree_create(fd, 3, kStr, recordError);
        for (int i = 0; i < 60; ++i) {
            std::string k = key(i);
            kbtree_insert(h, 0, k.size(), k.data(), 30, std::string(30, 'v').data());
        }
        kbtree_insert(h, 2, 3, "big", 3000, std::string(3000, 'b').data());
        kbtree_close(h);
        ::close(fd);
        good = readFile(path);
    }
    unsigned root0 = get32(good, 16);
    unsigned root2 = get32(good, 32);
    struct Row {
        const char* name;
        std::size_t at;
        unsigned value;
        int width;   // 2 or 4; 0 = truncate the file to `at`
    } rows[] = {
        {"page size 0", 0, 0, 2},
        {"page size 16", 0, 16, 2},
        {"tree count 200", 12, 200, 4},
        {"tree count 2", 12, 2, 4},
        {"next page 0", 4, 0, 4},
        {"next page past the end of the file", 4, 0x00ffffff, 4},
        {"free head past end", 8, 999, 4},
        {"root past end", 16, 999, 4},
        {"height 40", 20, 40, 4},
        {"height 5 over a leaf", 20, 5, 4},
        {"interior child 0", root0 * 1024, 0, 4},
        {"interior child past end", root0 * 1024, 77777, 4},
        {"interior key length huge", root0 * 1024 + 4, 0x7fffffff, 4},
        {"interior points to itself", root0 * 1024, root0, 4},
        {"big entry key length huge", root2 * 1024, 5000, 4},
        {"big entry value length huge", root2 * 1024 + 7, 0x7fffffff, 4},
        {"chain link past end", root2 * 1024 + 1020, 99999, 4},
        {"chain link to header", root2 * 1024 + 1020, 0, 4},
        {"truncated file", 3000, 0, 0},
        {"header only part", 10, 0, 0},
    };
    for (const Row& r : rows) {
        std::string bad = good;
        if (r.width == 0) bad.resize(r.at);
        else if (r.width == 2) put16(bad, r.at, r.value);
        else put32(bad, r.at, r.value);
        writeFile(path, bad);
        int fd = ::open(path.c_str(), O_RDONLY);
        messages().clear();
        KbtHandle* h = kbtree_open(fd, 3, kStr, recordError);
        bool failed = h == nullptr;
        if (h) {
            std::vector<std::string> got;
            for (unsigned t = 0; t < 3; ++t) {
                failed |= kbtree_walk(h, t, Store::collect, &got) == 0;
                std::string v;
                kbtree_lookup(h, t, 3, "big", Store::copy, &v);
                kbtree_lookup(h, t, 6, key(30).data(), Store::copy, &v);
                kbtree_walk_back(h, t, 6, key(59).data(), Store::collect, &got);
            }
            kbtree_close(h);
        }
        ::close(fd);
        EXPECT_TRUE(failed || !messages().empty()) << r.name;
        for (const auto& m : messages())
            EXPECT_TRUE(m.find("corrupt help database") == 0 || m == "read failed") << r.name << ": " << m;
    }
}
