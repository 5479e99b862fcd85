// The help database against SQLite FTS5 on the same 10,000 generated topics (pages of about
// 2 KB), in one run: the time to build each database and the median time of 1,000 full-text
// queries, printed as ratios (help database / SQLite).
//
// Both sides store every topic as its own durable transaction (hdb_insert_topic commits and
// syncs per call; SQLite runs in autocommit mode with its default synchronous=FULL and rollback
// journal); a single-transaction SQLite build is printed as well for reference.  The databases
// live in $HDB_BENCH_DIR, else $TMPDIR, else /tmp: on a tmpfs the syncs cost nothing and the
// figures compare the engines; on a disk they mostly compare sync counts.
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

std::vector<std::string> makeQueries() {
    std::mt19937 rng(99);
    const auto& v = topicgen::vocabulary();
    std::vector<std::string> q;
    for (int i = 0; i < kQueries; ++i) {
        std::string text;
        if (i % 4 == 0) {
            text = topicgen::marker(int(rng() % kTopics));
        } else {
            int words = 1 + int(rng() % 3);
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

double buildHdb(const std::string& path) {
    ::unlink(path.c_str());
    auto start = Clock::now();
    if (!hdb_create(path.c_str(), 1, nullptr, fail)) fail("create");
    for (int i = 0; i < kTopics; ++i) {
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

void exec(sqlite3* db, const char* sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) fail(err ? err : sql);
}

double buildSqlite(const std::string& path, bool oneTransaction) {
    ::unlink(path.c_str());
    auto start = Clock::now();
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) fail("sqlite3_open");
    exec(db, "CREATE VIRTUAL TABLE topics USING fts5(name UNINDEXED, page, tokenize='porter unicode61')");
    if (oneTransaction) exec(db, "BEGIN");
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO topics(name, page) VALUES(?, ?)", -1, &ins, nullptr);
    for (int i = 0; i < kTopics; ++i) {
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

// Median seconds per query; `rows` receives the total number of result rows.
double queryHdb(const std::string& path, const std::vector<std::string>& queries, long& rows) {
    const char* paths[] = {path.c_str(), nullptr};
    HelpFileSet* set = hdb_open_all(paths, fail);
    std::vector<double> times;
    rows = 0;
    for (const auto& q : queries) {
        auto start = Clock::now();
        StorageArea* area = storage_new(0, "FullTextHelp");
        WordScanner* s = wordscanner_create(area, 0);
        wordscanner_add_text(s, q.c_str());
        for (HdbTopicResult* r = hdb_word_search(set, area, wordscanner_finish(s)); r; r = r->next) {
            benchmark::DoNotOptimize(r->name);
            ++rows;
        }
        storage_delete(area);
        times.push_back(seconds(Clock::now() - start));
    }
    hdb_close_all(set);
    return median(times);
}

double querySqlite(const std::string& path, const std::vector<std::string>& queries, long& rows) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) fail("sqlite3_open");
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT name FROM topics WHERE topics MATCH ? ORDER BY rank", -1, &st,
                           nullptr) != SQLITE_OK)
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

void BM_hdb_vs_sqlite_fts5_10000_topics(benchmark::State& state) {
    const std::string dir = benchDir();
    const std::string hdbPath = dir + "/bench_hdb." + std::to_string(getpid()) + ".hdb";
    const std::string sqlPath = dir + "/bench_fts5." + std::to_string(getpid()) + ".db";
    const std::vector<std::string> queries = makeQueries();
    for (auto _ : state) {
        double hdbBuild = buildHdb(hdbPath);
        double sqlBuild = buildSqlite(sqlPath, false);
        double sqlBulk = buildSqlite(sqlPath + ".bulk", true);
        long hdbRows = 0, sqlRows = 0;
        double hdbQuery = queryHdb(hdbPath, queries, hdbRows);
        double sqlQuery = querySqlite(sqlPath, queries, sqlRows);
        state.SetIterationTime(hdbBuild);
        state.counters["hdb_build_s"] = hdbBuild;
        state.counters["fts5_build_s"] = sqlBuild;
        state.counters["fts5_bulk_build_s"] = sqlBulk;
        state.counters["build_ratio"] = hdbBuild / sqlBuild;
        state.counters["hdb_query_median_us"] = hdbQuery * 1e6;
        state.counters["fts5_query_median_us"] = sqlQuery * 1e6;
        state.counters["query_ratio"] = hdbQuery / sqlQuery;
        std::printf("\n%d topics in %s\n", kTopics, dir.c_str());
        std::printf("build, one transaction per topic: hdb %.2f s, FTS5 %.2f s, ratio hdb/FTS5 %.2f\n",
                    hdbBuild, sqlBuild, hdbBuild / sqlBuild);
        std::printf("build, FTS5 in one transaction: %.2f s, ratio hdb/FTS5 %.2f\n", sqlBulk,
                    hdbBuild / sqlBulk);
        std::printf("median of %d full-text queries: hdb %.1f us, FTS5 %.1f us, ratio hdb/FTS5 %.2f\n",
                    kQueries, hdbQuery * 1e6, sqlQuery * 1e6, hdbQuery / sqlQuery);
        std::printf("result rows: hdb %ld, FTS5 %ld\n\n", hdbRows, sqlRows);
    }
    for (const auto& p : {hdbPath, sqlPath, sqlPath + ".bulk"}) ::unlink(p.c_str());
}
BENCHMARK(BM_hdb_vs_sqlite_fts5_10000_topics)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
