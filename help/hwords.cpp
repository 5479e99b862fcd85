// Word parser, word scanner, page words and query normalisation (see hwords.h).

#include "help/hwords.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "tovu/storage.h"

const char* const wparse_default_stop_words[] = {
    "the", "then", "that", "there", "this", "than", "who", "what", "where", "when", "which",
    "should", "could", "would", "are", "been", "being", "has", "was", "and", "or", "not", "see",
    "call", "one", "two", "three", "for", "from", "is", "be", "as", "to", "if", "so", "of", "or",
    "in", "an", "it", "its", "by", "on", "a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k",
    "l", "m", "n", "o", "p", "q", "r", "s", "t", "u", "v", "w", "x", "y", "z", nullptr};

const WParseSuffix wparse_default_suffixes[] = {
    {"s", nullptr},      {"y", nullptr},      {"e", nullptr},      {"ed", nullptr},
    {"er", nullptr},     {"es", nullptr},     {"ly", nullptr},     {"ion", nullptr},
    {"ing", nullptr},    {"ent", nullptr},    {"ive", nullptr},    {"ies", nullptr},
    {"ized", nullptr},   {"ised", nullptr},   {"ions", nullptr},   {"ives", nullptr},
    {"ived", nullptr},   {"ings", nullptr},   {"izer", nullptr},   {"iser", nullptr},
    {"ization", nullptr}, {"nning", "n"},     {"lling", "l"},      {"tting", "t"},
    {"mming", "m"},      {"gging", "g"},      {"ssing", ""},       {"nnings", "n"},
    {"llings", "l"},     {"ttings", "t"},     {"mmings", "m"},     {"ggings", "g"},
    {"ssings", ""},      {"nn", "n"},         {"ll", "l"},         {"tt", "t"},
    {nullptr, nullptr}};

namespace {

// The text that stands for a byte in a word, or null for a separator.
const char* foldOf(unsigned char c) {
    static const char* table[256];
    static bool ready = false;
    static char single[256][2];
    if (!ready) {
        for (int i = 0; i < 256; ++i) {
            single[i][0] = char(i);
            single[i][1] = 0;
        }
        for (int c2 = 'a'; c2 <= 'z'; ++c2) {
            table[c2] = single[c2];
            table[c2 - 'a' + 'A'] = single[c2];
        }
        auto range = [](int from, int to, const char* s) {
            for (int i = from; i <= to; ++i) table[i] = s;
        };
        range(192, 197, "a");
        range(224, 229, "a");
        range(198, 198, "ae");
        range(230, 230, "ae");
        range(199, 199, "c");
        range(231, 231, "c");
        range(200, 203, "e");
        range(232, 235, "e");
        range(204, 207, "i");
        range(236, 239, "i");
        range(208, 208, single[240]);
        range(240, 240, single[240]);
        range(209, 209, "n");
        range(241, 241, "n");
        range(210, 214, "o");
        range(216, 216, "o");
        range(242, 246, "o");
        range(248, 248, "o");
        range(217, 220, "u");
        range(249, 252, "u");
        range(221, 221, "y");
        range(253, 253, "y");
        range(255, 255, "y");
        range(222, 222, single[254]);
        range(254, 254, single[254]);
        range(223, 223, "ss");
        ready = true;
    }
    return table[c];
}

}  // namespace

namespace {

// Looked up by string_view, so that a word's tail is looked up without a copy.
struct ViewHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

struct WParseTables {
    std::unordered_set<std::string, ViewHash, std::equal_to<>> stopWords;               // "stopwords"
    std::unordered_map<std::string, const char*, ViewHash, std::equal_to<>> suffixes;   // "suffixes"; null = remove
    // Every word of a page meets both tables, so the common answers are found without
    // hashing: a word longer than every stop word is none, and a tail length with few
    // suffixes is compared against them directly (the first one given wins, as in the map).
    static constexpr std::size_t kMaxTail = 5;      // tails longer than this are never tried
    static constexpr std::size_t kDirectMax = 12;   // more suffixes of one length: the map
    std::size_t longestStop = 0;
    std::vector<std::pair<std::string, const char*>> byLength[kMaxTail + 1];
    bool direct[kMaxTail + 1] = {};

    WParseTables(const char* const* stop, const WParseSuffix* suffix) {
        for (; *stop; ++stop) {
            stopWords.insert(*stop);
            longestStop = std::max(longestStop, std::strlen(*stop));
        }
        for (; suffix->suffix; ++suffix) {
            suffixes.emplace(suffix->suffix, suffix->replacement);
            const std::size_t k = std::strlen(suffix->suffix);
            if (k <= kMaxTail) byLength[k].emplace_back(suffix->suffix, suffix->replacement);
        }
        for (std::size_t k = 0; k <= kMaxTail; ++k) direct[k] = byLength[k].size() <= kDirectMax;
    }

    bool isStop(std::string_view w) const { return w.size() <= longestStop && stopWords.count(w) != 0; }

    // The suffix entry for a tail of length k (1..kMaxTail): found, and its replacement.
    bool suffixOf(std::string_view tail, const char** replacement) const {
        const std::size_t k = tail.size();
        if (direct[k]) {
            for (const auto& [text, repl] : byLength[k])
                if (std::memcmp(text.data(), tail.data(), k) == 0) {
                    *replacement = repl;
                    return true;
                }
            return false;
        }
        auto it = suffixes.find(tail);
        if (it == suffixes.end()) return false;
        *replacement = it->second;
        return true;
    }
};

// The default tables, built once: every page of a help database build makes a parser.
const WParseTables& defaultTables() {
    static const WParseTables tables(wparse_default_stop_words, wparse_default_suffixes);
    return tables;
}

}  // namespace

struct WParse {
    std::unique_ptr<WParseTables> own;   // null: the default tables
    const WParseTables* tables = nullptr;
    WParseCallback callback = nullptr;
    void* user = nullptr;

    void strip(std::string& word) const {
        static const std::size_t minLength[6] = {0, 5, 6, 7, 10, 11};   // n >= this for length k
        const std::size_t n = word.size();
        for (std::size_t k = WParseTables::kMaxTail; k >= 1; --k) {
            if (n < minLength[k]) continue;
            const char* replacement = nullptr;
            if (!tables->suffixOf(std::string_view(word).substr(n - k), &replacement)) continue;
            word.erase(n - k);
            if (replacement) word += replacement;
            return;
        }
    }

    void word(std::string& w) const {
        if (w.empty() || tables->isStop(w)) return;
        strip(w);
        callback(user, w.c_str());
    }

    std::string w;   // the word being built, kept between calls so that its memory is reused

    void bytes(const char* text, std::size_t length) {
        std::size_t i = 0;
        while (i < length) {
            while (i < length && !foldOf(static_cast<unsigned char>(text[i]))) ++i;
            w.clear();
            while (i < length) {
                const char* f = foldOf(static_cast<unsigned char>(text[i]));
                if (!f) break;
                for (; *f && w.size() < WPARSE_MAX_WORD; ++f) w += *f;
                ++i;
            }
            word(w);
        }
    }
};

WParse* wparse_create(const char* const* stopWords, const WParseSuffix* suffixes,
                      WParseCallback callback, void* user) {
    auto* p = new WParse;
    p->callback = callback;
    p->user = user;
    if (!stopWords && !suffixes) {
        p->tables = &defaultTables();
    } else {
        p->own = std::make_unique<WParseTables>(stopWords ? stopWords : wparse_default_stop_words,
                                                suffixes ? suffixes : wparse_default_suffixes);
        p->tables = p->own.get();
    }
    return p;
}

void wparse_delete(WParse* parser) { delete parser; }

void wparse_text(WParse* parser, const char* text) {
    if (text) parser->bytes(text, std::strlen(text));
}

void wparse_bytes(WParse* parser, const char* text, std::size_t length) {
    if (text) parser->bytes(text, length);
}

struct WordScanner {
    StorageArea* area = nullptr;
    WParse* parser = nullptr;
    HWord* head = nullptr;
    HWord* tail = nullptr;
    // "wordscanner": the records by word, open addressing with linear probing over a power of
    // two of slots, at most half full.  A scanner lives for one page or one query, so a table
    // that starts large enough for a page's words and hashes with a few operations per byte
    // costs far less than a node-based map growing from one bucket.
    std::vector<HWord*> slots = std::vector<HWord*>(kFirstSlots, nullptr);
    std::size_t used = 0;
    static constexpr std::size_t kFirstSlots = 1024;

    static std::size_t hashOf(const char* word, std::size_t len) {
        std::uint64_t h = 14695981039346656037ull;   // FNV-1a
        for (std::size_t i = 0; i < len; ++i) h = (h ^ static_cast<unsigned char>(word[i])) * 1099511628211ull;
        return std::size_t(h ^ (h >> 29));
    }

    // The slot holding `word`, or the empty slot where it belongs.
    HWord** slotOf(const char* word, std::size_t len) {
        const std::size_t mask = slots.size() - 1;
        for (std::size_t i = hashOf(word, len) & mask;; i = (i + 1) & mask) {
            HWord* r = slots[i];
            if (!r || (std::strncmp(r->word, word, len) == 0 && r->word[len] == 0)) return &slots[i];
        }
    }

    void grow() {
        std::vector<HWord*> old(slots.size() * 2, nullptr);
        old.swap(slots);
        for (HWord* r : old)
            if (r) *slotOf(r->word, std::strlen(r->word)) = r;
    }

    static void add(void* user, const char* word) {
        auto* s = static_cast<WordScanner*>(user);
        const std::size_t len = std::strlen(word);
        HWord** slot = s->slotOf(word, len);
        if (*slot) {
            ++(*slot)->count;
            return;
        }
        auto* rec = reinterpret_cast<HWord*>(
            dag_alloc(s->area, (sizeof(HWord) + sizeof(DagWord) - 1) / sizeof(DagWord)));
        rec->count = 1;
        rec->next = nullptr;
        rec->word = reinterpret_cast<char*>(dag_alloc(s->area, len / sizeof(DagWord) + 1));
        std::memcpy(rec->word, word, len + 1);
        if (s->tail) s->tail->next = rec;
        else s->head = rec;
        s->tail = rec;
        *slot = rec;
        if (2 * ++s->used > s->slots.size()) s->grow();
    }
};

WordScanner* wordscanner_create(StorageArea* area, int mode) {
    static const char* const none[] = {nullptr};
    static const WParseSuffix noSuffix[] = {{nullptr, nullptr}};
    auto* s = new WordScanner;
    s->area = area;
    s->parser = mode == 1 ? wparse_create(none, noSuffix, WordScanner::add, s)
                          : wparse_create(nullptr, nullptr, WordScanner::add, s);
    return s;
}

void wordscanner_add_text(WordScanner* scanner, const char* text) {
    wparse_text(scanner->parser, text);
}

HWord* wordscanner_finish(WordScanner* scanner) {
    HWord* list = scanner->head;
    wparse_delete(scanner->parser);
    delete scanner;
    return list;
}

HWord* hdb_page_words(StorageArea* area, const char* text, std::size_t length) {
    WordScanner* s = wordscanner_create(area, 0);
    struct Finish {
        WordScanner* s;
        HWord* list = nullptr;
        ~Finish() {
            if (s) wordscanner_finish(s);
        }
    } finish{s};
    std::size_t i = (length >= 5 && std::memcmp(text, "{SECT", 5) == 0) ? 1 : 0;
    std::string str;
    while (i < length) {
        if (text[i] != '"') {
            ++i;
            continue;
        }
        ++i;
        str.clear();
        bool closed = false;
        while (i < length) {
            char c = text[i++];
            if (c == '\\' && i < length) {
                str += text[i++];
                continue;
            }
            if (c == '"') {
                closed = true;
                break;
            }
            str += c;
        }
        if (!closed) break;
        wparse_bytes(s->parser, str.data(), str.size());
    }
    finish.s = nullptr;
    return wordscanner_finish(s);
}

const char* help_query_normalise(const char* query, const char** section) {
    static std::string buffer;
    const char* sec = nullptr;
    std::string q = query ? query : "";
    auto printable = [&](std::size_t i) {
        return i < q.size() && std::isprint(static_cast<unsigned char>(q[i]));
    };
    std::size_t start = 0;
    if (q.size() > 1 && q[1] == '?') {
        if (q.size() > 2 && q[2] == '?' && printable(3)) {
            sec = "examples";
            start = 2;
        } else if (printable(2)) {
            sec = "usage";
            start = 1;
        }
    }
    if (section) *section = sec;
    std::string s;
    for (std::size_t i = start; i < q.size(); ++i)
        if (!std::isspace(static_cast<unsigned char>(q[i]))) s += q[i];

    // Fixed answers are returned as they are (they live as long as the program); only a built
    // answer goes through the buffer.
    if (s == "?;" || s == "?:") return ";";
    if (s == "?::") return "procedure,paramtype";
    if (!s.empty() && (s.back() == ';' || s.back() == ':')) s.pop_back();
    if (s == "?`") return "symbol";
    std::string t;
    for (char c : s)
        if (c != '`') t += c;
    static const struct {
        const char* query;
        const char* topic;
    } special[] = {{"?", "help"},       {"?'", "uneval"},     {"?\"", "string"},
                   {"?,", "comma"},     {"?:=", "assignment"}, {"?%", "ditto"},
                   {"?$", "dollar"},    {"?-", "arithop"},    {"?+", "arithop"},
                   {"?*", "arithop"},   {"?/", "arithop"},    {"?**", "arithop"},
                   {"?^", "arithop"}};
    for (const auto& sp : special)
        if (t == sp.query) return sp.topic;
    buffer.clear();
    for (std::size_t i = (!t.empty() && t[0] == '?') ? 1 : 0; i < t.size(); ++i) {
        char c = t[i];
        if (c == ',' || c == '[' || c == '/') buffer += ',';
        else if (c == ']' || c == '.' || c == '\'') continue;
        else buffer += c;
    }
    return buffer.c_str();
}
