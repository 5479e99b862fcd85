// The help database against SQLite FTS5 (porter tokenizer) on the same generated topics (pages
// of about 2 KB), in one run, printed side by side with the ratio (help database / SQLite):
//
//   build: a batch (hdb_batch_*: one transaction, word lists merged and written once) against
//          FTS5 inside one transaction, at 1,000, 10,000 and 50,000 topics, with the time per
//          topic, so that growth faster than the work shows;
//   build, one change per topic: hdb_insert_topic (commits and syncs per call) against FTS5 in
//          autocommit mode with its default synchronous=FULL and rollback journal;
//   query: the median time of 1,000 full-text queries over the 10,000-topic databases.
//
// The databases live in $HDB_BENCH_DIR, else $TMPDIR, else /tmp: on a tmpfs the syncs cost
// nothing and the figures compare the engines; on a disk they mostly compare sync counts.
//
// Measured (Release, databases on /dev/shm, machine shared, load average 4 to 10; the builds
// before and after run one after the other): batch build, ratio hdb/FTS5 at 1,000 / 10,000 /
// 50,000 topics 2.3-3.0 / 1.8-2.1 / 1.93 before, 1.6-2.0 / 1.34-1.45 / 1.33 after (0.11 ms per
// topic at 10,000 and 50,000).  The time went to hashing each page word several times (stop
// words, five suffix lengths, a node map growing from one bucket per page), to a cache miss per
// word on the pending id lists, and to first writes of fresh 4 KB pages of batch memory (on a
// virtual machine each exits to the host); kbtree.cpp's mapRegion has the figures.
//
// Queries: 1 to 3 words drawn from the generated vocabulary (skewed towards common words) or
// one topic's marker word; SQLite answers "w1 OR w2 ..." with its bm25 rank order, the help
// database with its own ranking.  Every result row is read on both sides.

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "../../tests/help/topic_gen.h"
#include "help/hdb.h"
#include "help/hwords.h"
#include "tovu/storage.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTopics = 10000;
constexpr int kQueries = 1000;

void fail(const char* message) {
    std::fprintf(stderr, "bench_hdb: %s\n", message);
    std::exit(1);
}

std::string benchDir() {
    for (const char* var : {"HDB_BENCH_DIR", "TMPDIR"})
        if (const char* d = std::getenv(var); d && *d) return d;
    return "/tmp";
}

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// maxWords 3: the mixed queries; 1: single words.
std::vector<std::string> makeQueries(int maxWords) {
    std::mt19937 rng(maxWords == 1 ? 7 : 99);
    const auto& v = topicgen::vocabulary();
    std::vector<std::string> q;
    for (int i = 0; i < kQueries; ++i) {
        std::string text;
        if (i % 4 == 0) {
            text = topicgen::marker(int(rng() % kTopics));
        } else {
            int words = 1 + int(rng() % unsigned(maxWords));
            for (int w = 0; w < words; ++w) {
                double u = double(rng()) / double(rng.max());
                if (!text.empty()) text += ' ';
                text += v[std::size_t(u * u * u * double(v.size() - 1))];
            }
        }
        q.push_back(text);
    }
    return q;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// One change per topic.
double buildHdb(const std::string& path, int topics) {
    ::unlink(path.c_str());
    auto start = Clock::now();
    if (!hdb_create(path.c_str(), 1, nullptr, fail)) fail("create");
    for (int i = 0; i < topics; ++i) {
        StorageArea* area = storage_new(0, "bench");
        std::string page = topicgen::topicPage(i);
        std::string name = topicgen::topicName(i);
        HWord* words = hdb_page_words(area, page.data(), page.size());
        hdb_insert_topic(path.c_str(), name.c_str(), page.size(), page.data(), nullptr, nullptr, words,
                         "generated", 1, fail);
        storage_delete(area);
    }
    return seconds(Clock::now() - start);
}

// Every topic in one batch.
double buildHdbBatch(const std::string& path, int topics) {
    ::unlink(path.c_str());
    auto start = Clock::now();
    if (!hdb_create(path.c_str(), 1, nullptr, fail)) fail("create");
    HdbBatch* batch = hdb_batch_begin(path.c_str(), fail);
    if (!batch) fail("batch");
    for (int i = 0; i < topics; ++i) {
        StorageArea* area = storage_new(0, "bench");
        std::string page = topicgen::topicPage(i);
        std::string name = topicgen::topicName(i);
        HWord* words = hdb_page_words(area, page.data(), page.size());
        hdb_batch_insert(batch, name.c_str(), page.size(), page.data(), nullptr, nullptr, words,
                         "generated", 1);
        storage_delete(area);
    }
    if (!hdb_batch_end(batch, 1)) fail("batch end");
    return seconds(Clock::now() - start);
}

void exec(sqlite3* db, const char* sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) fail(err ? err : sql);
}

double buildSqlite(const std::string& path, int topics, bool oneTransaction) {
    ::unlink(path.c_str());
    auto start = Clock::now();
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) fail("sqlite3_open");
    exec(db, "CREATE VIRTUAL TABLE topics USING fts5(name UNINDEXED, page, tokenize='porter unicode61')");
    if (oneTransaction) exec(db, "BEGIN");
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO topics(name, page) VALUES(?, ?)", -1, &ins, nullptr);
    for (int i = 0; i < topics; ++i) {
        std::string page = topicgen::topicPage(i);
        std::string name = topicgen::topicName(i);
        sqlite3_bind_text(ins, 1, name.c_str(), int(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(ins, 2, page.c_str(), int(page.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(ins) != SQLITE_DONE) fail("sqlite insert");
        sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    if (oneTransaction) exec(db, "COMMIT");
    sqlite3_close(db);
    return seconds(Clock::now() - start);
}

// Median seconds per query; `rows` receives the total number of result rows read (at most
// `limit` per query, 0: all).
double queryHdb(const std::string& path, const std::vector<std::string>& queries, int limit, long& rows) {
    const char* paths[] = {path.c_str(), nullptr};
    HelpFileSet* set = hdb_open_all(paths, fail);
    std::vector<double> times;
    rows = 0;
    for (const auto& q : queries) {
        auto start = Clock::now();
        StorageArea* area = storage_new(0, "FullTextHelp");
        WordScanner* s = wordscanner_create(area, 0);
        wordscanner_add_text(s, q.c_str());
        int read = 0;
        for (HdbTopicResult* r = hdb_word_search(set, area, wordscanner_finish(s));
             r && (limit == 0 || read < limit); r = r->next, ++read) {
            benchmark::DoNotOptimize(r->name);
            ++rows;
        }
        storage_delete(area);
        times.push_back(seconds(Clock::now() - start));
    }
    hdb_close_all(set);
    return median(times);
}

double querySqlite(const std::string& path, const std::vector<std::string>& queries, int limit,
                   long& rows) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) fail("sqlite3_open");
    sqlite3_stmt* st = nullptr;
    const std::string sql = "SELECT name FROM topics WHERE topics MATCH ? ORDER BY rank" +
                            (limit ? " LIMIT " + std::to_string(limit) : std::string());
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
        fail(sqlite3_errmsg(db));
    std::vector<double> times;
    rows = 0;
    for (const auto& q : queries) {
        std::string match;
        std::size_t i = 0;
        while (i < q.size()) {
            std::size_t sp = q.find(' ', i);
            if (!match.empty()) match += " OR ";
            match += "page:" + q.substr(i, sp == std::string::npos ? std::string::npos : sp - i);
            i = sp == std::string::npos ? q.size() : sp + 1;
        }
        auto start = Clock::now();
        sqlite3_bind_text(st, 1, match.c_str(), int(match.size()), SQLITE_TRANSIENT);
        while (sqlite3_step(st) == SQLITE_ROW) {
            benchmark::DoNotOptimize(sqlite3_column_text(st, 0));
            ++rows;
        }
        sqlite3_reset(st);
        times.push_back(seconds(Clock::now() - start));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return median(times);
}

struct Paths {
    std::string hdb, fts5;
    explicit Paths(const char* stem) {
        const std::string dir = benchDir();
        const std::string tag = std::string(stem) + "." + std::to_string(getpid());
        hdb = dir + "/bench_hdb_" + tag + ".hdb";
        fts5 = dir + "/bench_fts5_" + tag + ".db";
    }
    ~Paths() {
        for (const auto& p : {hdb, hdb + "-journal", fts5, fts5 + "-journal"}) ::unlink(p.c_str());
    }
};

// Batch build against FTS5 in one transaction, and (at 10,000 topics) the queries.
void BM_hdb_batch_vs_fts5(benchmark::State& state) {
    const int topics = int(state.range(0));
    Paths paths("batch");
    for (auto _ : state) {
        double hdbBuild = buildHdbBatch(paths.hdb, topics);
        double sqlBuild = buildSqlite(paths.fts5, topics, true);
        state.SetIterationTime(hdbBuild);
        state.counters["hdb_build_s"] = hdbBuild;
        state.counters["fts5_build_s"] = sqlBuild;
        state.counters["build_ratio"] = hdbBuild / sqlBuild;
        std::printf("\n%d topics in %s, one transaction each side\n", topics, benchDir().c_str());
        std::printf("build: hdb %.2f s (%.3f ms per topic), FTS5 %.2f s (%.3f ms per topic), "
                    "ratio hdb/FTS5 %.2f\n",
                    hdbBuild, hdbBuild * 1e3 / topics, sqlBuild, sqlBuild * 1e3 / topics,
                    hdbBuild / sqlBuild);
        if (topics != kTopics) continue;
        const struct {
            const char* what;
            const char* counter;
            int maxWords, limit;
        } kinds[] = {{"single-word queries, top 20", "query1_top20", 1, 20},
                     {"queries of 1 to 3 words, every row", "query3_all", 3, 0}};
        for (const auto& k : kinds) {
            const std::vector<std::string> queries = makeQueries(k.maxWords);
            long hdbRows = 0, sqlRows = 0;
            double hdbQuery = queryHdb(paths.hdb, queries, k.limit, hdbRows);
            double sqlQuery = querySqlite(paths.fts5, queries, k.limit, sqlRows);
            state.counters[std::string(k.counter) + "_hdb_us"] = hdbQuery * 1e6;
            state.counters[std::string(k.counter) + "_fts5_us"] = sqlQuery * 1e6;
            state.counters[std::string(k.counter) + "_ratio"] = hdbQuery / sqlQuery;
            std::printf("median of %d %s: hdb %.1f us, FTS5 %.1f us, ratio hdb/FTS5 %.2f (rows read: "
                        "hdb %ld, FTS5 %ld)\n",
                        kQueries, k.what, hdbQuery * 1e6, sqlQuery * 1e6, hdbQuery / sqlQuery, hdbRows,
                        sqlRows);
        }
    }
}
BENCHMARK(BM_hdb_batch_vs_fts5)->Arg(1000)->Arg(kTopics)->Arg(50000)->Iterations(1)->UseManualTime()
    ->Unit(benchmark::kSecond);

// One durable change per topic on both sides.
void BM_hdb_per_topic_vs_fts5_autocommit(benchmark::State& state) {
    const int topics = int(state.range(0));
    Paths paths("single");
    for (auto _ : state) {
        double hdbBuild = buildHdb(paths.hdb, topics);
        double sqlBuild = buildSqlite(paths.fts5, topics, false);
        state.SetIterationTime(hdbBuild);
        state.counters["hdb_build_s"] = hdbBuild;
        state.counters["fts5_build_s"] = sqlBuild;
        state.counters["build_ratio"] = hdbBuild / sqlBuild;
        std::printf("\n%d topics, one transaction per topic: hdb %.2f s, FTS5 %.2f s, ratio hdb/FTS5 %.2f\n",
                    topics, hdbBuild, sqlBuild, hdbBuild / sqlBuild);
    }
}
BENCHMARK(BM_hdb_per_topic_vs_fts5_autocommit)->Arg(kTopics)->Iterations(1)->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace
