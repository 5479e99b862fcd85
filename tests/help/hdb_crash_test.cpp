// Crash sweep of the help database engine: hdb_crash_driver makes one change of each kind and
// is killed at every write, sync, truncation and unlink it makes (tests/support/kill_sweep.h).
// After each kill the next open must play the journal back, the database must answer every
// query exactly as before the change or exactly as after it, its trees must pass an integrity
// walk, and the next change must work.
#include "help/hdb.h"
#include "help/kbtree.h"
#include "help_test_util.h"
#include "tests/support/kill_sweep.h"
#include "tovu/storage.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace helptest;
namespace fs = std::filesystem;

namespace {

const KbtCompare kCompare[HELP_TREE_COUNT] = {
    kbtree_compare_string, kbtree_compare_string, kbtree_compare_int16, kbtree_compare_int16,
    kbtree_compare_int16,  kbtree_compare_string, kbtree_compare_string, kbtree_compare_string,
    kbtree_compare_int16,  kbtree_compare_string, kbtree_compare_int16, kbtree_compare_string};

constexpr int kTopics = 24;

std::string topicName(int i) { return "topic," + std::to_string(i); }

// Every topic name and word the queries ask about, the changed ones included.
std::vector<std::string> queriedNames() {
    std::vector<std::string> names = {"plot", "plot,fresh", "freshalias", "graph,fresh", "fresh"};
    for (int i = 0; i < kTopics; ++i) names.push_back(topicName(i));
    return names;
}
const char* const kQueryWords[] = {"alpha", "beta", "gamma", "delta", "fresh", "crimson",
                                   "lattice", "replac", "word", "onli", "number"};
const char* const kBrowserPaths[] = {"", "Graphics", "Graphics/Plots", "Misc"};

// The base database: topics with small and big (chained) pages, aliases, parents and
// browser entries.
void buildBase(const std::string& path) {
    hdb_seed_ids(2);
    ASSERT_EQ(hdb_create(path.c_str(), 1, "(c) sweep", recordError), 1) << lastMessage();
    const char* vocabulary[] = {"alpha", "beta", "gamma", "delta", "number"};
    for (int i = 0; i < kTopics; ++i) {
        std::string page = "{PARA 0 \"\" 0 \"\" {TEXT -1 0 \"";
        const int repeat = (i % 4 == 0) ? 200 : 3;   // every fourth page spans several pages
        for (int r = 0; r < repeat; ++r) page += std::string(vocabulary[(i + r) % 5]) + " ";
        page += "\"}}";
        StorageArea* area = storage_new(0, "base");
        HWord* words = hdb_page_words(area, page.data(), page.size());
        const std::string alias = "alias," + std::to_string(i);
        HdbAlias a{0, nullptr, alias.c_str()};
        const std::string description = "Topic number " + std::to_string(i);
        ASSERT_EQ(hdb_insert_topic(path.c_str(), topicName(i).c_str(), page.size(), page.data(),
                                   i % 3 == 0 ? "plot" : nullptr, i % 2 == 0 ? &a : nullptr, words,
                                   description.c_str(), i % 5 != 0, recordError),
                  1)
            << lastMessage();
        storage_delete(area);
    }
    for (int i = 0; i < 6; ++i) {
        const std::string where = (i < 4 ? "Graphics/Plots/T" : "Misc/T") + std::to_string(i);
        ASSERT_EQ(addtobrowser(path.c_str(), where.c_str(), topicName(i).c_str(), "entry", recordError), 1)
            << lastMessage();
    }
}

// Results of equal score in the order of their names: the order among them follows the topic
// ids, and a replaced topic draws a new id at random.
template <class R>
std::string ranked(R* r) {
    std::vector<std::pair<int, std::string>> rows;
    for (; r; r = r->next)
        rows.emplace_back(-r->score, std::string(r->name) + "/" + std::to_string(r->score) + "/" +
                                         (r->description ? r->description : "-"));
    std::sort(rows.begin(), rows.end());
    std::string out;
    for (const auto& row : rows) out += " " + row.second;
    return out;
}

// Every answer the database gives to the queries above, as one text.
std::string answers(const std::string& path) {
    messages().clear();
    const char* paths[] = {path.c_str(), nullptr};
    HelpFileSet* set = hdb_open_all(paths, recordError);
    if (!set) return "open failed: " + lastMessage();
    StorageArea* area = storage_new(0, "answers");
    std::ostringstream out;
    for (const std::string& name : queriedNames()) {
        out << "search " << name << ":" << ranked(hdb_search_topic(set, area, name.c_str()));
        std::string page;
        int active = -1;
        struct Got {
            std::string* page;
            int* active;
        } got{&page, &active};
        hdb_load_page(set, name.c_str(), [](void* u, std::size_t, const char*, std::size_t n, const char* p, int a) {
            static_cast<Got*>(u)->page->assign(p, n);
            *static_cast<Got*>(u)->active = a;
        }, &got);
        out << "\n page " << active << " " << page << "\n";
        const char* parent = hdb_parent_topic(set, area, name.c_str());
        const char* next = hdb_next_topic(set, area, name.c_str());
        const char* previous = hdb_previous_topic(set, area, name.c_str());
        char where[256];
        const char* location = hdb_browser_location(set, name.c_str(), where, sizeof where);
        out << " parent " << (parent ? parent : "-") << " next " << (next ? next : "-")
            << " previous " << (previous ? previous : "-") << " location "
            << (location ? location : "-") << "\n";
    }
    for (const char* word : kQueryWords) {
        HWord query{0, nullptr, const_cast<char*>(word)};
        out << "words " << word << ":" << ranked(hdb_word_search(set, area, &query));
        out << " total " << query.count << "\n";
    }
    for (const char* prefix : kBrowserPaths) {
        out << "browser " << prefix << ":";
        for (HdbBrowserEntry* e = hdb_list_browser(set, area, prefix); e; e = e->next)
            out << " " << e->kind << "/" << e->part << "/" << (e->topic ? e->topic : "-");
        out << "\n";
    }
    out << "names:";
    for (HdbTopicEntry* e = hdb_browse_prefix(set, area, nullptr, 0, 1000); e; e = e->next)
        out << " " << e->name << "/" << (e->description ? e->description : "-");
    out << "\n";
    storage_delete(area);
    hdb_close_all(set);
    for (const std::string& m : messages()) out << "message " << m << "\n";
    return out.str();
}

// Walks every tree: keys strictly ascending in the tree's order, and the trees agree with each
// other (each name's id has its name and page, every listed id names a topic).  Returns the
// faults found, empty when none.
std::string integrityWalk(const std::string& path) {
    std::ostringstream faults;
    messages().clear();
    const int fd = ::open(path.c_str(), O_RDONLY);
    KbtHandle* h = kbtree_open(fd, HELP_TREE_COUNT, kCompare, recordError);
    if (!h) {
        ::close(fd);
        return "open: " + lastMessage();
    }
    std::vector<std::map<std::string, std::string>> trees(HELP_TREE_COUNT);
    for (unsigned t = 0; t < HELP_TREE_COUNT; ++t) {
        struct Walk {
            std::map<std::string, std::string>* entries;
            std::string last;
            bool first = true;
            KbtCompare compare;
            std::ostringstream* faults;
            unsigned tree;
        } walk{&trees[t], "", true, kCompare[t], &faults, t};
        kbtree_walk(h, t, [](void* u, std::size_t kl, const unsigned char* k, std::size_t vl, const unsigned char* v) {
            auto* w = static_cast<Walk*>(u);
            const std::string key(reinterpret_cast<const char*>(k), kl);
            if (!w->first && w->compare(w->last.size(), reinterpret_cast<const unsigned char*>(w->last.data()),
                                        kl, k) >= 0)
                *w->faults << "tree " << w->tree << ": keys out of order\n";
            w->first = false;
            w->last = key;
            (*w->entries)[key].assign(reinterpret_cast<const char*>(v), vl);
            return 1;
        }, &walk);
    }
    kbtree_close(h);
    ::close(fd);
    for (const std::string& m : messages()) faults << "store: " << m << "\n";

    auto idOf = [](const std::string& v) { return v.substr(0, 2); };
    std::set<std::string> ids;
    for (const auto& [name, v] : trees[topicIds]) {
        if (v.size() < 4) {
            faults << "topic " << name << ": short id\n";
            continue;
        }
        const std::string id = idOf(v);
        ids.insert(id);
        auto n = trees[topicNames].find(id);
        if (n == trees[topicNames].end() || n->second.substr(0, n->second.find('\0')) != name)
            faults << "topic " << name << ": no name entry for its id\n";
        if (!trees[pages].count(id)) faults << "topic " << name << ": no page\n";
    }
    for (unsigned t : {topicNames, pages, parents, topicWords, topicAliases})
        for (const auto& [id, v] : trees[t])
            if (!ids.count(id)) faults << "tree " << t << ": an id no topic has\n";
    for (const auto& [word, v] : trees[words]) {
        if (v.size() < 7 || (v.size() - 3) % 4 != 0) faults << "word " << word << ": bad list\n";
        for (std::size_t i = 3; i + 4 <= v.size(); i += 4)
            if (!ids.count(v.substr(i, 2))) faults << "word " << word << ": lists an unknown id\n";
    }
    for (const auto& [key, v] : trees[nameIndex])
        for (std::size_t i = 0; i + 2 <= v.size();) {
            if (!ids.count(v.substr(i, 2))) faults << "name " << key << ": lists an unknown id\n";
            const std::size_t nul = v.find('\0', i + 2);
            if (nul == std::string::npos) break;
            i = nul + 1;
        }
    return faults.str();
}

struct ChangeCase {
    const char* name;
};

void PrintTo(const ChangeCase& c, std::ostream* os) { *os << c.name; }

class HdbCrashSweep : public ::testing::TestWithParam<ChangeCase> {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        base_ = dir_->file("base.hdb");
        buildBase(base_);
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static TempDir* dir_;
    static std::string base_;
};

TempDir* HdbCrashSweep::dir_ = nullptr;
std::string HdbCrashSweep::base_;

TEST_P(HdbCrashSweep, EveryKillLeavesTheDatabaseBeforeOrAfter) {
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_FALSE(kill_sweep::strace_path().empty())
        << "strace is needed (scripts/packages.txt installs it)";
    const std::string work = dir_->file(std::string(GetParam().name) + ".hdb");
    const std::string journal = work + "-journal";
    const std::string output = dir_->file("driver.out");
    auto prepare = [&] {
        fs::copy_file(base_, work, fs::copy_options::overwrite_existing);
        fs::remove(journal);
    };
    const std::vector<std::string> argv = {HDB_CRASH_DRIVER, work, GetParam().name};

    prepare();
    const std::string before = answers(work);
    ASSERT_EQ(kill_sweep::run_killed_at(argv, "", 0, output).status, 0) << readFile(output);
    const std::string after = answers(work);
    ASSERT_NE(before, after) << "the change changed no answer";
    ASSERT_EQ(integrityWalk(work), "");

    int killPoints = 0;
    int seenBefore = 0, seenAfter = 0;
    std::string perCall;
    for (const char* call : {"pwrite64", "pwritev", "write", "fsync", "fdatasync", "ftruncate", "unlink"}) {
        const int points = kill_sweep::sweep(call, argv, output, prepare, [&](int n, const kill_sweep::Run& r) {
            const std::string where = std::string(call) + " #" + std::to_string(n);
            if (r.ending == kill_sweep::Ending::exited) {
                ASSERT_EQ(r.status, 0) << where << ": " << readFile(output);
            }
            const std::string now = answers(work);
            EXPECT_FALSE(fs::exists(journal)) << where << ": the journal was not played back";
            if (r.ending == kill_sweep::Ending::exited) {
                EXPECT_EQ(now, after) << where;
            } else if (now == before) {
                ++seenBefore;
            } else if (now == after) {
                ++seenAfter;
            } else {
                ADD_FAILURE() << where << ": the database answers neither as before nor as after:\n"
                              << now;
            }
            EXPECT_EQ(integrityWalk(work), "") << where;
            // The next change works on what the kill left.
            messages().clear();
            const std::string page = "{PARA 0 \"\" 0 \"\" {TEXT -1 0 \"next change\"}}";
            EXPECT_EQ(hdb_insert_topic(work.c_str(), "zz,next", page.size(), page.data(), nullptr,
                                       nullptr, nullptr, nullptr, 1, recordError),
                      1)
                << where << ": " << lastMessage();
        });
        if (HasFatalFailure()) return;
        killPoints += points;
        perCall += " " + std::string(call) + " " + std::to_string(points);
    }
    std::cout << "[ sweep ] " << GetParam().name << ": " << killPoints << " kill points ("
              << seenBefore << " left it as before, " << seenAfter << " as after;" << perCall
              << ")\n";
    RecordProperty("kill_points", killPoints);
    EXPECT_GT(killPoints, 0);
    EXPECT_GT(seenBefore, 0);
}

const ChangeCase kChanges[] = {
    {"insert_new"}, {"insert_replace"}, {"delete"}, {"addtobrowser"}, {"delete_from_browser"},
    {"batch"},
};

INSTANTIATE_TEST_SUITE_P(Changes, HdbCrashSweep, ::testing::ValuesIn(kChanges),
                         [](const ::testing::TestParamInfo<ChangeCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
