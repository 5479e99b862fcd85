// The DAG text encoding (golden texts, round trips, malformed input) and the byte packer.

#include "tovu/encode.h"
#include "tovu/sinks.h"

#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tovu_env.h"

namespace {

using EncodeTest = TovuTest;

Dag name(const char* text) { return dag_name(text); }
Dag str(const char* text) { return dag_intern(text, DAG_STRING); }
Dag seq(std::initializer_list<Dag> items) {
    Dag d = dag_new(items.size() + 1, DAG_EXPSEQ);
    std::size_t i = 1;
    for (Dag item : items) dag_set_op(d, i++, item);
    return d;
}
Dag typed(unsigned type, std::initializer_list<Dag> ops) {
    Dag d = dag_new(ops.size() + 1, type);
    std::size_t i = 1;
    for (Dag op : ops) dag_set_op(d, i++, op);
    return d;
}
Dag immediate(unsigned type, long v) {
    Dag d = dag_new(2, type);
    d[1] = static_cast<DagWord>(v);
    return d;
}

std::string readError(std::string_view text) {
    std::string error;
    Dag d = dag_from_text(text, &error);
    return d ? "<no error>" : error;
}

// ---- golden texts ------------------------------------------------------------------------------

struct Golden {
    const char* name;
    std::function<Dag()> build;
    std::string text;
};

std::vector<Golden> goldenCases() {
    return {
        {"zero", [] { return dag_zero; }, "\"\"!"},
        {"1234 pairs 34 and 12", [] { return dag_of_int(1234); }, "\"%M7"},
        {"98 is two single digits", [] { return dag_of_int(98); }, "\"#)*"},
        {"negative", [] { return dag_of_int(-5); }, "!\"&"},
        {"ten digits", [] { return dag_of_int(1000000000); }, "\"+++++5"},
        {"short integer groups", [] { return immediate(DAG_LOCAL, 56); }, "8en"},
        {"negative local", [] { return immediate(DAG_LOCAL, -3); }, "8~\""},
        {"param sequence", [] { return immediate(DAG_PARAM, -1); }, "9\""},
        {"lexical negative", [] { return immediate(DAG_LEXICAL, -1); }, "T$"},
        {"lexical positive", [] { return immediate(DAG_LEXICAL, 3); }, "T'"},
        {"name at top", [] { return name("x"); }, "I\"xG6\""},
        {"name in expression", [] { return typed(DAG_POWER, {name("x"), dag_of_int(2)}); }, ")%\"xG\"\"#"},
        {"shared node is a back reference",
         [] {
             Dag p = typed(DAG_POWER, {name("x"), dag_of_int(2)});
             return dag_new1(DAG_LIST, seq({p, p}));
         },
         "7$)%\"xG\"\"#F#"},
        {"name met twice", [] { return typed(DAG_SUM, {name("x"), dag_one, name("x"), dag_one}); },
         ",&%\"xG\"\"\"F#F$"},   // dag_one is one node too
        {"string escapes", [] { return str("a b~|"); }, "Q&a~b|ir|gr6\""},
        {"byte 200", [] { return str("\xC8"); }, "Q\"|cw6\""},
        {"braces escaped", [] { return str("{}"); }, "Q#|fr|hr6\""},
        {"empty string", [] { return str(""); }, "Q!6\""},
        {"NULL", [] { return dag_NULL; }, "6\""},
        {"null pointer", [] { return nullptr; }, "G"},
        {"function with attributes",
         [] { return typed(DAG_FUNCTION, {name("f"), seq({dag_one}), seq({name("a")})}); },
         "K%\"fG6#\"\"\"6#%\"aG"},
        {"float", [] { return typed(DAG_FLOAT, {dag_of_int(15), dag_of_int(-1)}); }, "$\"#:!\"\""},
        {"hfarray",
         [] {
             Dag a = dag_new(5, DAG_HFARRAY);
             a[3] = 1;
             a[4] = 2;
             hfarray_alloc(a, 2);
             hfarray_data(a)[0] = 1.0;
             hfarray_data(a)[1] = -2.5;
             return a;
         },
         "W&#\"#3FF0000000000000C004000000000000"},
        {"stop and prompt", [] { return typed(DAG_STATSEQ, {dag_new0(DAG_STOP), dag_new0(DAG_PROMPT)}); },
         "C$DO"},
        {"series",
         [] {
             Dag s = dag_new(6, DAG_SERIES);
             dag_set_op(s, 1, name("x"));
             dag_set_op(s, 2, dag_one);
             s[3] = 0;
             dag_set_op(s, 4, dag_of_int(3));
             s[5] = 2;
             return s;
         },
         "+'%\"xG\"\"\"\"\"!\"\"$\"\"#"},
        {"set with attributes", [] { return dag_new2(DAG_SET, seq({dag_one}), name("a")); }, "M#\"\"\"%\"aG"},
        {"table by name keys",
         [] {
             Dag t = hash_new(4);
             hash_insert(reinterpret_cast<DagKey>(name("k")), reinterpret_cast<DagWord>(dag_one), t);
             return typed(DAG_TABLE, {nullptr, name("false"), t});
         },
         "=G%&falseGE&\"%\"kG\"\"\""},
    };
}

TEST_F(EncodeTest, GoldenTexts) {
    for (const Golden& g : goldenCases()) {
        Dag d = g.build();
        EXPECT_EQ(dag_to_text(d), g.text) << g.name;
        std::string error;
        Dag back = dag_from_text(g.text, &error);
        if (d) {
            ASSERT_NE(back, nullptr) << g.name << ": " << error;
            EXPECT_TRUE(dag_equal(back, d)) << g.name;
        }
        EXPECT_EQ(dag_to_text(back), g.text) << g.name << " (written again)";
    }
}

TEST_F(EncodeTest, NamesWithValuesAndFlags) {
    Dag x = name("x");
    dag_set_interned_field(x, 1, dag_of_int(5));
    EXPECT_EQ(dag_to_text(x), "I\"x\"\"&6\"");
    EXPECT_EQ(dag_to_text(x, DAG_WRITE_NO_VALUES), "I\"xG6\"");
    // Inside an expression the value is never written.
    EXPECT_EQ(dag_to_text(dag_new1(DAG_UNEVAL, x)), ".%\"xG");

    Dag y = name("y");
    ASSERT_EQ(dag_op(y, 1), nullptr);
    ASSERT_NE(dag_from_text("I\"y\"\"'G"), nullptr);   // value 6, attributes null word
    ASSERT_NE(dag_op(y, 1), nullptr);
    EXPECT_EQ(arith_to_int(dag_op(y, 1)), 6);
    EXPECT_EQ(dag_op(y, 2), nullptr);
    ASSERT_NE(dag_from_text("%\"y\"\"("), nullptr);   // a value inside an expression is taken too
    EXPECT_EQ(arith_to_int(dag_op(y, 1)), 7);
}

// What a text gives a name or a string lives in the area it was read into: once that area is
// freed the name is written as a fresh one, never from freed words.
TEST_F(EncodeTest, FieldsReadIntoAnAreaGoWithIt) {
    Dag x = name("read_value");
    Dag s = dag_intern("read_attributes", DAG_STRING);
    const std::string freshName = dag_to_text(x);
    const std::string freshString = dag_to_text(s);
    // Texts that give both a value and attributes, made by the writer.
    std::string nameText, stringText;
    {
        OwnedArea source(0, "source");
        StoragePush push(source.get());
        dag_set_interned_field(x, 1, dag_new1(DAG_EXPSEQ, dag_of_int(6)));
        dag_set_interned_field(x, 2, dag_new1(DAG_EXPSEQ, name("protected")));
        dag_set_interned_field(s, 2, dag_new1(DAG_EXPSEQ, dag_of_int(2)));
        nameText = dag_to_text(x);
        stringText = dag_to_text(s);
    }
    ASSERT_EQ(dag_to_text(x), freshName);   // the source area went with its fields
    {
        OwnedArea request(0, "request");
        StoragePush push(request.get());
        ASSERT_EQ(dag_from_text(nameText), x);
        ASSERT_EQ(dag_from_text(stringText), s);
        EXPECT_EQ(dag_op(dag_op(x, 2), 1), name("protected"));
        EXPECT_EQ(dag_to_text(x), nameText);
        EXPECT_EQ(dag_to_text(s), stringText);
    }
    EXPECT_EQ(dag_name("read_value"), x);
    EXPECT_EQ(dag_to_text(x), freshName);
    EXPECT_EQ(dag_to_text(s), freshString);
}

TEST_F(EncodeTest, ReaderInternsAndMapsDitto) {
    EXPECT_EQ(dag_from_text("%\"zGG"), name("z"));   // one DAG is read; what follows is left
    EXPECT_EQ(dag_from_text("%\"zG"), name("z"));
    EXPECT_EQ(dag_from_text("%\"\"G"), name("%"));
    EXPECT_EQ(dag_from_text("%#\"\"G"), name("%%"));
    EXPECT_EQ(dag_from_text("%$\"\"\"G"), name("%%%"));
    Dag s = dag_from_text("Q%a{b}G");   // four announced characters, two stored
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(dag_text(s), "ab");
    EXPECT_EQ(s, str("ab"));
}

TEST_F(EncodeTest, WhitespaceAndLineBreaks) {
    Dag d = typed(DAG_SUM, {name("alpha"), dag_of_int(123456), name("beta"), dag_minus_one});
    std::string flat = dag_to_text(d);
    std::string wrapped = dag_to_text(d, 0, 5);
    EXPECT_NE(wrapped, flat);
    std::string unwrapped;
    for (std::size_t i = 0; i < wrapped.size(); ++i) {
        if (wrapped[i] == '\n') {
            EXPECT_EQ(i % 6, 5u);   // a break after every 5 characters
            continue;
        }
        unwrapped += wrapped[i];
    }
    EXPECT_EQ(unwrapped, flat);
    EXPECT_TRUE(dag_equal(dag_from_text(wrapped), d));
    std::string spaced;
    for (char c : flat) spaced += std::string(" \t\r\n\x7f\xff") + c;
    EXPECT_TRUE(dag_equal(dag_from_text(spaced), d));
}

TEST_F(EncodeTest, ProcWithBuiltinOption) {
    Dag options = seq({dag_builtins[BUILTIN_BUILTIN]});
    Dag proc = dag_new8(DAG_PROC, dag_NULL, dag_NULL, options, dag_NULL, dag_of_int(60), dag_NULL, dag_NULL,
                        dag_NULL);
    std::string text = dag_to_text(proc);
    std::string builtinName = std::string(dag_builtin_texts[60]);
    EXPECT_NE(text.find(builtinName), std::string::npos) << text;
    Dag back = dag_from_text(text);
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(dag_equal(back, proc));
    EXPECT_EQ(dag_to_text(back), text);

    Dag outOfRange = dag_new8(DAG_PROC, dag_NULL, dag_NULL, options, dag_NULL, dag_of_int(52), dag_NULL,
                              dag_NULL, dag_NULL);
    std::string t2 = dag_to_text(outOfRange);
    EXPECT_EQ(t2.substr(t2.size() - 7), "%%FAILG");
    EXPECT_TRUE(dag_equal(dag_from_text(t2), outOfRange));
}

TEST_F(EncodeTest, OlderForms) {
    Dag proc = dag_from_text(":6\"6\"6\"6\"6\"6\"6\"");
    ASSERT_NE(proc, nullptr);
    EXPECT_EQ(dag_length(proc), 9u);
    EXPECT_EQ(dag_op(proc, 8), dag_NULL);
    struct Row {
        const char* text;
        unsigned type;
        long index;
    } rows[] = {{"S!", DAG_LEXICAL, -2}, {"S%", DAG_LEXICAL, 2}, {"U$", DAG_LOCAL, -1},
                {"V'", DAG_PARAM, 3},    {"T!", DAG_LEXICAL, 0}, {"8!", DAG_LOCAL, -2}};
    for (const Row& r : rows) {
        Dag d = dag_from_text(r.text);
        ASSERT_NE(d, nullptr) << r.text;
        EXPECT_EQ(dag_type(d), r.type) << r.text;
        EXPECT_EQ(dag_word(d, 1), r.index) << r.text;
    }
}

TEST_F(EncodeTest, KeptBackReferencesAcrossCalls) {
    Dag shared = typed(DAG_POWER, {name("x"), dag_of_int(2)});
    std::string first = dag_to_text(dag_new1(DAG_UNEVAL, shared), DAG_KEEP_BACKREFS);
    std::string second = dag_to_text(dag_new1(DAG_NOT, shared), DAG_KEEP_BACKREFS | DAG_CONTINUE_COUNT);
    EXPECT_EQ(first, ".)%\"xG\"\"#");
    EXPECT_EQ(second, "4F#");   // node 2 of the first call
    Dag a = dag_from_text(first, nullptr, DAG_KEEP_BACKREFS);
    Dag b = dag_from_text(second, nullptr, DAG_KEEP_BACKREFS | DAG_CONTINUE_COUNT);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(dag_op(a, 1), dag_op(b, 1));
    // Without the flags every call starts afresh.
    EXPECT_EQ(readError("4F#"), "invalid back reference");
}

// A call that keeps the references but numbers from 1 again starts below the kept table: its
// nodes get their numbers and the nodes kept keep theirs.
TEST_F(EncodeTest, KeptBackReferencesWhenNumberingStartsAgain) {
    ASSERT_NE(dag_from_text(")%\"xG\"\"#"), nullptr);   // three nodes; the table starts at 4
    Dag a = dag_from_text(".)%\"yG\"\"$", nullptr, DAG_KEEP_BACKREFS);   // nodes 1 to 4
    ASSERT_NE(a, nullptr);
    Dag power = dag_op(a, 1);
    struct Row {
        const char* text;
        Dag expected;
    } rows[] = {{"4F#", power}, {"4F$", name("y")}, {"4F%", dag_op(power, 2)}, {"4F\"", a}};
    for (const Row& r : rows) {
        Dag b = dag_from_text(r.text, nullptr, DAG_KEEP_BACKREFS | DAG_CONTINUE_COUNT);
        ASSERT_NE(b, nullptr) << r.text;
        EXPECT_EQ(dag_op(b, 1), r.expected) << r.text;
    }
    EXPECT_EQ(readError("4F#"), "invalid back reference");   // a call without the flags drops them
}

TEST_F(EncodeTest, KeptBackReferencesEndWithStorageReset) {
    Dag first = typed(DAG_POWER, {name("x"), dag_of_int(2)});
    EXPECT_EQ(dag_to_text(dag_new1(DAG_UNEVAL, first), DAG_KEEP_BACKREFS), ".)%\"xG\"\"#");
    // The default area goes, and new DAGs may take the addresses of the old ones: none of
    // them may be written as a reference to a node of the first call.
    storage_reset();
    Dag second = typed(DAG_POWER, {name("y"), dag_of_int(3)});
    EXPECT_EQ(dag_to_text(dag_new1(DAG_UNEVAL, second), DAG_KEEP_BACKREFS | DAG_CONTINUE_COUNT),
              ".)%\"yG\"\"$");
    dag_to_text(dag_zero);   // drops the kept references
}

// Integers as the writer finds them, not only normalized ones: four digits for each lower
// word (modulo 10000), then every digit of the top word.
TEST_F(EncodeTest, IntegerWordsAreWrittenAsTheirDecimalText) {
    struct Case {
        const char* name;
        Dag integer;
        const char* text;
    };
    const Case cases[] = {
        {"lower word over 9999", makeInteger(DAG_INTPOS, {12345, 7}), "\"&XB("},
        {"top word over 9999", makeInteger(DAG_INTPOS, {3, 123456}), "\"+.+cM7"},
        {"zero words inside", makeInteger(DAG_INTNEG, {1, 0, 2}), "!*,+++#"},
    };
    for (const Case& c : cases) EXPECT_EQ(dag_to_text(c.integer), c.text) << c.name;
}

// Many nodes spread over many pages of memory, some shared: every reference must lead back to
// the node first written with that number.
TEST_F(EncodeTest, BackReferencesInALargeDag) {
    constexpr int kShared = 7, kTerms = 6000;
    Dag shared[kShared];
    for (int i = 0; i < kShared; ++i) shared[i] = typed(DAG_PROD, {name("z"), dag_of_int(i + 2)});
    Dag sum = dag_new(2 * kTerms + 1, DAG_SUM);
    for (int i = 0; i < kTerms; ++i) {
        dag_set_op(sum, 2 * i + 1, typed(DAG_POWER, {shared[i % kShared], dag_of_int(i)}));
        dag_set_op(sum, 2 * i + 2, dag_of_int(3 * i + 1));
    }
    std::string text = dag_to_text(sum);
    std::string error;
    Dag back = dag_from_text(text, &error);
    ASSERT_NE(back, nullptr) << error;
    EXPECT_TRUE(dag_equal(back, sum));
    for (int i = kShared; i < kTerms; ++i)
        ASSERT_EQ(dag_op(dag_op(back, 2 * i + 1), 1), dag_op(dag_op(back, 2 * (i % kShared) + 1), 1)) << i;
    EXPECT_EQ(dag_to_text(back), text);

    // A sink of its own gets the same characters, line breaks included.
    std::string viaSink;
    auto sink = [](void* data, int ch) { static_cast<std::string*>(data)->push_back(static_cast<char>(ch)); };
    ASSERT_TRUE(dag_write(sum, sink, nullptr, 70, 0, &viaSink));
    EXPECT_EQ(viaSink, dag_to_text(sum, 0, 70));
    EXPECT_EQ(viaSink.find('\n'), 70u);
}

// ---- reader callbacks and malformed input ----------------------------------------------------

struct CallbackLog {
    std::string text;
    std::size_t at = 0;
    long endCount = -1;
    long errorCount = -1;
    std::string message;
};

int logSource(void* data) {
    auto* log = static_cast<CallbackLog*>(data);
    return log->at < log->text.size() ? static_cast<unsigned char>(log->text[log->at++]) : -1;
}
void logEnd(void* data, long count) { static_cast<CallbackLog*>(data)->endCount = count; }
void logError(void* data, long count, const char* message) {
    auto* log = static_cast<CallbackLog*>(data);
    log->errorCount = count;
    log->message = message;
}

TEST_F(EncodeTest, EmptySourceCallsEndAtCountOne) {
    CallbackLog log;
    EXPECT_EQ(dag_read(logSource, logEnd, logError, nullptr, 0, &log), nullptr);
    EXPECT_EQ(log.endCount, 1);
    EXPECT_EQ(log.errorCount, -1);
}

TEST_F(EncodeTest, ErrorCountIncludesSkippedCharacters) {
    CallbackLog log;
    log.text = " \n X";
    EXPECT_EQ(dag_read(logSource, logEnd, logError, nullptr, 0, &log), nullptr);
    EXPECT_EQ(log.errorCount, 4);
    EXPECT_EQ(log.message, "unexpected DAG type: 0,88");
    EXPECT_EQ(log.endCount, -1);
}

TEST_F(EncodeTest, NulEndsTheInput) {
    EXPECT_EQ(readError(std::string("7$\0\"", 4)), "unexpected end of input");
}

struct MalformedRow {
    const char* name;
    std::string text;
    std::string message;
};

std::vector<MalformedRow> malformedRows() {
    return {
        {"empty", "", "unexpected end of input"},
        {"unknown type", "X", "unexpected DAG type: 0,88"},
        {"unknown type brace", "{", "unexpected DAG type: 0,123"},
        {"back reference to nothing", "F#", "invalid back reference"},
        {"back reference zero", "7#F!", "invalid back reference"},
        {"back reference into an unfinished node", "6#F\"", "invalid back reference"},
        {"back reference into an unfinished list", "7$\"\"\"F\"", "invalid back reference"},
        {"bad short integer", "\"{", "invalid character in short integer encoding"},
        {"short integer too long", "6[[[[[[[[[[[[[[[[k", "short integer out of range"},
        {"two digits when one is left", "\"\"M", "too many digits in digit encoding"},
        {"bad digit character", "\"\"|", "invalid character in digit encoding"},
        {"integer count zero", "\"!", "length out of range: 0"},
        {"integer too long", "\"[[[[[m", "length out of range: 2097152"},
        {"bad hex digit", "W$\"3FF000000000000G", "expecting exactly 16 hexadecimal digits"},
        {"hfarray count negative", "W$~\"", "length out of range: -1"},
        {"sequence too long", "6[[[[m", "length out of range: 131072"},
        {"sequence length zero", "6!", "length out of range: 0"},
        {"negative text length", "Q~\"a", "length out of range: -1"},
        {"text byte beyond 255", "Q\"|[[[l6\"", "invalid character code in text"},
        {"series odd length", "+&G", "length out of range: 5"},
        {"series exponent not an integer", "+%%\"xG\"\"\"G", "invalid series exponent"},
        {"series exponent a name", "+%%\"xG\"\"\"%\"yG", "invalid series exponent"},
        {"series exponent too large", "+%%\"xG\"\"\"" + dag_to_text(dag_of_int(2147483647)),
         "integer too large for K_INT"},
        {"hashtab length not a power of two plus one", "E%!", "length out of range: 4"},
        {"hashtab null key", "E#\"G\"\"\"", "invalid table key"},
        {"truncated list", "7%\"\"\"", "unexpected end of input"},
        {"truncated text", "Q%ab", "unexpected end of input"},
        {"truncated double", "W$\"3FF", "unexpected end of input"},
    };
}

TEST_F(EncodeTest, MalformedInputs) {
    for (const MalformedRow& r : malformedRows()) EXPECT_EQ(readError(r.text), r.message) << r.name << ": " << r.text;
}

// What one read reports: the DAG's text (empty for null), the counts given to the end and error
// callbacks (-1: not called), the message, and the count that a following read continues from.
struct ReadOutcome {
    bool read = false;
    Dag dag = nullptr;
    long endCount = -1;
    long errorCount = -1;
    std::string message;
    long countAfter = -1;
};

ReadOutcome readOneWay(const std::string& text, bool inMemory) {
    CallbackLog log;
    log.text = text;
    ReadOutcome out;
    out.dag = inMemory ? dag_read_text(text, logEnd, logError, nullptr, 0, &log)
                       : dag_read(logSource, logEnd, logError, nullptr, 0, &log);
    out.read = out.dag != nullptr;
    out.endCount = log.endCount;
    out.errorCount = log.errorCount;
    out.message = log.message;
    // A read that continues the count fails at once and tells where the first one stopped.
    CallbackLog after;
    after.text = "X";
    if (inMemory) dag_read_text(after.text, logEnd, logError, nullptr, DAG_CONTINUE_COUNT, &after);
    else dag_read(logSource, logEnd, logError, nullptr, DAG_CONTINUE_COUNT, &after);
    out.countAfter = after.errorCount;
    return out;
}

// A text in memory is read without the per-character callback; every text, whole, cut short or
// broken, must give the same DAG, the same error and the same character counts both ways.
TEST_F(EncodeTest, TextInMemoryReadsAsTheCallbackDoes) {
    std::vector<std::pair<std::string, std::string>> texts;   // name, text
    for (const Golden& g : goldenCases()) texts.emplace_back(g.name, g.text);
    for (const MalformedRow& r : malformedRows()) texts.emplace_back(r.name, r.text);
    const std::string escapes = "7%Q&a~b|ir|gr6\"Q%a{b}G%#\"\"G";   // space, bytes, braces, ditto
    for (std::size_t n = 0; n <= escapes.size(); ++n) texts.emplace_back("escapes cut to " + std::to_string(n), escapes.substr(0, n));
    const std::pair<const char*, std::string> more[] = {
        {"line breaks and spaces", " 7$\n)%\"x\r\nG\"\"#\tF# "},
        {"bytes above 126 are skipped", "7\x80$\xff)%\"xG\"\"#F#"},
        {"NUL inside", std::string("7$\0\"", 4)},
        {"NUL first", std::string("\0", 1)},
        {"text left after the DAG", "%\"zGGGG"},
        {"only blanks", "   \n"},
        {"nesting too deep", std::string(10001, '.') + "D"},
    };
    for (const auto& [name, text] : more) texts.emplace_back(name, text);

    for (const auto& [name, text] : texts) {
        ReadOutcome viaCallback = readOneWay(text, false);
        ReadOutcome inMemory = readOneWay(text, true);
        SCOPED_TRACE(name + ": " + text);
        ASSERT_EQ(inMemory.read, viaCallback.read);
        if (inMemory.dag) {
            EXPECT_TRUE(dag_equal(inMemory.dag, viaCallback.dag));
        }
        EXPECT_EQ(inMemory.endCount, viaCallback.endCount);
        EXPECT_EQ(inMemory.errorCount, viaCallback.errorCount);
        EXPECT_EQ(inMemory.message, viaCallback.message);
        EXPECT_EQ(inMemory.countAfter, viaCallback.countAfter);
    }
}

TEST_F(EncodeTest, EveryPrefixOfAValidTextEndsCleanly) {
    Dag x = name("x");
    Dag d = dag_new2(DAG_LIST,
                     seq({typed(DAG_SUM, {x, dag_of_int(-98765), str("s t"), dag_one}), dag_of_int(1234567),
                          typed(DAG_FUNCTION, {name("f"), seq({x, x})})}),
                     seq({name("attr")}));
    std::string text = dag_to_text(d);
    for (std::size_t n = 0; n < text.size(); ++n)
        EXPECT_EQ(readError(text.substr(0, n)), "unexpected end of input") << n;
    EXPECT_NE(dag_from_text(text), nullptr);
}

TEST_F(EncodeTest, NestingIsCapped) {
    std::string deep(9999, '.');
    deep += "D";
    Dag d = dag_from_text(deep);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(dag_to_text(d), deep);
    EXPECT_EQ(readError(std::string(10001, '.') + "D"), "nesting too deep");

    Dag chain = dag_new0(DAG_STOP);
    for (int i = 0; i < 10000; ++i) chain = dag_new1(DAG_NOT, chain);
    std::string error;
    std::string out;
    bool ok = dag_write(chain, sink_append_string, sink_ignore_error, 0, 0, &out);
    EXPECT_FALSE(ok);
    EXPECT_EQ(dag_to_text(chain), "");
}

TEST_F(EncodeTest, HugeAnnouncedLengthsAllocateOnlyWhatArrives) {
    // 9000 nested sequences each announcing 131071 items ("jjjjl"): a reader that trusted the
    // counts would ask for 9 GB; this one holds only what has arrived.
    std::string text;
    for (int i = 0; i < 9000; ++i) text += "6jjjjl";
    EXPECT_EQ(readError(text), "unexpected end of input");
    std::string deeper;
    for (int i = 0; i < 10001; ++i) deeper += "6jjjjl";
    EXPECT_EQ(readError(deeper), "nesting too deep");
    // A table of 65536 buckets announcing 2^30 pairs.
    EXPECT_EQ(readError("E\\[[[l[[[[[[[o"), "unexpected end of input");
    EXPECT_EQ(readError("W$[[[[[[s"), "unexpected end of input");   // 2^27 doubles announced
    EXPECT_EQ(readError("W$[[[[[[[o"), "length out of range: 1073741824");
}

TEST_F(EncodeTest, WriterRefusesUnwritableTypes) {
    struct Row {
        const char* name;
        Dag d;
        std::string message;
    } rows[] = {
        {"untyped", dag_new_plain(2), "unexpected DAG type: 0"},
        {"hash bucket", dag_new(7, DAG_HASH), "unexpected DAG type: 40"},
        {"garbage", dag_new0(DAG_GARBAGE), "unexpected DAG type: 42"},
        {"foreign", dag_new1(DAG_FOREIGN, dag_one), "unexpected DAG type: 43"},
        {"inside a sum", typed(DAG_SUM, {dag_one, dag_new1(DAG_FOREIGN, dag_one)}), "unexpected DAG type: 43"},
    };
    for (const Row& r : rows) {
        std::string message;
        bool ok = dag_write(
            r.d, [](void*, int) {}, [](void* data, const char* m) { *static_cast<std::string*>(data) = m; }, 0, 0,
            &message);
        EXPECT_FALSE(ok) << r.name;
        EXPECT_EQ(message, r.message) << r.name;
    }
}

// ---- round trips ---------------------------------------------------------------------------------

// Random DAGs from a seeded generator: every writable type, shared parts, escapes and doubles.
class RandomDag {
public:
    explicit RandomDag(unsigned seed) : rng_(seed) {}

    Dag make(int depth) {
        if (!pool_.empty() && pick(5) == 0) return pool_[pick(pool_.size())];
        Dag d = depth <= 0 ? leaf() : inner(depth);
        pool_.push_back(d);
        return d;
    }

private:
    std::size_t pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }
    std::string text() {
        static const char kChars[] = "ab~|{} \t\x01\xC8zZ!\"%";
        std::string s;
        for (std::size_t n = pick(6); n > 0; --n) s += kChars[pick(sizeof kChars - 1)];
        return s;
    }
    Dag leaf() {
        switch (pick(8)) {
        case 0: return dag_of_int(static_cast<long>(rng_()) - 0x7fffffffL);
        case 1: {
            std::string digits = std::to_string(1 + pick(9));
            for (std::size_t n = pick(40); n > 0; --n) digits += char('0' + pick(10));
            return dag_integer_from_text(digits);
        }
        case 2: return dag_name(("n" + text()).c_str());
        case 3: return dag_intern(text().c_str(), DAG_STRING);
        case 4: return immediate(DAG_LOCAL, static_cast<long>(pick(100)) - 2);
        case 5: return immediate(pick(2) ? DAG_PARAM : DAG_LEXICAL, static_cast<long>(pick(200)) - 100);
        case 6: {
            Dag a = dag_new(5, DAG_HFARRAY);
            std::size_t n = pick(4);
            a[3] = 1;
            a[4] = n;
            hfarray_alloc(a, n);
            for (std::size_t i = 0; i < n; ++i)
                hfarray_data(a)[i] = std::uniform_real_distribution<double>(-1e300, 1e300)(rng_);
            return a;
        }
        default: return pick(2) ? dag_new0(DAG_STOP) : dag_NULL;
        }
    }
    Dag inner(int depth) {
        static const unsigned kTwo[] = {DAG_RATIONAL, DAG_FLOAT,  DAG_TABLEREF, DAG_DCOLON,  DAG_CATENATE,
                                        DAG_POWER,    DAG_FUNCTION, DAG_EQUATION, DAG_INEQUAT, DAG_LESSEQ,
                                        DAG_LESSTHAN, DAG_AND,    DAG_OR,       DAG_RANGE,   DAG_ASSIGN};
        static const unsigned kSeq[] = {DAG_PROD, DAG_SUM, DAG_EXPSEQ, DAG_FOR, DAG_IF, DAG_STATSEQ, DAG_DEBUG};
        static const unsigned kOne[] = {DAG_UNEVAL, DAG_NOT, DAG_READ, DAG_SAVE, DAG_CONTROL};
        switch (pick(7)) {
        case 0: {
            unsigned type = kTwo[pick(std::size(kTwo))];
            bool attributes = (type == DAG_FLOAT || type == DAG_TABLEREF || type == DAG_FUNCTION) && pick(2);
            Dag d = dag_new(attributes ? 4 : 3, type);
            for (std::size_t i = 1; i < dag_length(d); ++i) dag_set_op(d, i, make(depth - 1));
            return d;
        }
        case 1: {
            Dag d = dag_new(1 + pick(5), kSeq[pick(std::size(kSeq))]);
            for (std::size_t i = 1; i < dag_length(d); ++i) dag_set_op(d, i, pick(10) ? make(depth - 1) : nullptr);
            return d;
        }
        case 2: return dag_new1(kOne[pick(std::size(kOne))], make(depth - 1));
        case 3: {
            Dag items = dag_new(1 + pick(4), DAG_EXPSEQ);
            for (std::size_t i = 1; i < dag_length(items); ++i) dag_set_op(items, i, make(depth - 1));
            unsigned type = pick(2) ? DAG_LIST : DAG_SET;
            return pick(2) ? dag_new1(type, items) : dag_new2(type, items, make(depth - 1));
        }
        case 4: {
            std::size_t pairs = pick(3);
            Dag s = dag_new(2 + 2 * pairs, DAG_SERIES);
            dag_set_op(s, 1, make(depth - 1));
            for (std::size_t i = 0; i < pairs; ++i) {
                dag_set_op(s, 2 + 2 * i, make(depth - 1));
                s[3 + 2 * i] = static_cast<DagWord>(static_cast<std::intptr_t>(pick(20)) - 5);
            }
            return s;
        }
        case 5: {
            Dag t = hash_new(4);
            for (std::size_t n = pick(4); n > 0; --n)
                hash_insert(reinterpret_cast<DagKey>(dag_name(("k" + std::to_string(pick(6))).c_str())),
                            reinterpret_cast<DagWord>(make(depth - 1)), t);
            return dag_new3(DAG_TABLE, pick(2) ? nullptr : make(depth - 1), dag_builtins[BUILTIN_FALSE], t);
        }
        default: {
            Dag proc = dag_new(9, DAG_PROC);
            for (std::size_t i = 1; i <= 8; ++i) dag_set_op(proc, i, pick(3) ? make(depth - 1) : dag_NULL);
            return proc;
        }
        }
    }

    std::mt19937 rng_;
    std::vector<Dag> pool_;
};

TEST_F(EncodeTest, RandomDagsRoundTrip) {
    for (unsigned seed = 1; seed <= 300; ++seed) {
        RandomDag gen(seed);
        Dag d = gen.make(static_cast<int>(seed % 7));
        std::string text = dag_to_text(d);
        ASSERT_FALSE(text.empty()) << seed;
        std::string error;
        Dag back = dag_from_text(text, &error);
        ASSERT_NE(back, nullptr) << "seed " << seed << ": " << error << "\n" << text;
        EXPECT_TRUE(dag_equal(back, d)) << "seed " << seed << "\n" << text;
        EXPECT_EQ(dag_to_text(back), text) << "seed " << seed;
        if (seed % 50 == 0) storage_reset();
    }
}

TEST_F(EncodeTest, LargeValuesRoundTrip) {
    Dag bigInt = dag_integer_from_text("7" + std::string(100000, '3'));
    Dag sum = dag_new(2001, DAG_SUM);   // beyond the reader's eager size
    for (std::size_t i = 1; i < 2001; i += 2) {
        dag_set_op(sum, i, dag_name(("t" + std::to_string(i)).c_str()));
        dag_set_op(sum, i + 1, dag_of_int(static_cast<long>(i)));
    }
    Dag list = dag_new1(DAG_LIST, dag_new(1001, DAG_EXPSEQ));
    for (std::size_t i = 1; i < 1001; ++i) dag_set_op(dag_op(list, 1), i, sum);
    for (Dag d : {bigInt, sum, list}) {
        std::string text = dag_to_text(d);
        Dag back = dag_from_text(text);
        ASSERT_NE(back, nullptr);
        EXPECT_TRUE(dag_equal(back, d));
        EXPECT_EQ(dag_to_text(back), text);
    }
}

TEST_F(EncodeTest, FixtureTexts) {
    // Each line of the fixture: a DAG text that must read and write back byte for byte.
    std::ifstream in(std::string(KELVO_TEST_DATA) + "/tovu/dag_texts.txt");
    ASSERT_TRUE(in.good());
    std::string line;
    int cases = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::string error;
        Dag d = dag_from_text(line, &error);
        ASSERT_NE(d, nullptr) << line << ": " << error;
        EXPECT_EQ(dag_to_text(d), line);
        ++cases;
    }
    EXPECT_GT(cases, 0);
}

TEST_F(EncodeTest, FuzzRegressions) {
    // Inputs the fuzzer once found; each must read, write and read back to an equal DAG.
    for (const char* file : {"fuzz_hashtab_pair_order.bin"}) {
        std::ifstream in(std::string(KELVO_TEST_DATA) + "/tovu/" + file, std::ios::binary);
        ASSERT_TRUE(in.good()) << file;
        std::stringstream bytes;
        bytes << in.rdbuf();
        Dag first = dag_from_text(bytes.str());
        ASSERT_NE(first, nullptr) << file;
        std::string written = dag_to_text(first);
        ASSERT_FALSE(written.empty()) << file;
        Dag second = dag_from_text(written);
        ASSERT_NE(second, nullptr) << file;
        EXPECT_TRUE(dag_equal(first, second)) << file;
    }
}

// ---- byte packer -------------------------------------------------------------------------------------

TEST_F(EncodeTest, PackerGolden) {
    struct Row {
        const char* name;
        std::string bytes;
        std::string packed;
    } rows[] = {
        {"empty", "", "1:"},
        {"abc", "abc", "=eRA4="},
        {"100 x A", std::string(100, 'A'), "=TJ=TJ" + std::string(16, ':') + "1:"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(enc_pack(r.bytes), r.packed) << r.name;
        std::string out, error;
        ASSERT_TRUE(enc_unpack(r.packed, &out, &error)) << r.name << ": " << error;
        EXPECT_EQ(out, r.bytes) << r.name;
    }
    EXPECT_EQ(enc_pack(std::string(100, 'A')).size(), 24u);
}

TEST_F(EncodeTest, PackerRoundTripsEveryByte) {
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    std::mt19937 rng(7);
    std::string noise;
    for (int i = 0; i < 20000; ++i) noise += static_cast<char>(rng() & 0xFF);
    std::string pattern;
    for (int i = 0; i < 5000; ++i) pattern += static_cast<char>("\x00\xFF\x10 "[i % 4]);
    for (const std::string& bytes : {all, all + all + all, noise, pattern, std::string(1, '\0')}) {
        std::string packed = enc_pack(bytes);
        for (char c : packed) ASSERT_TRUE((c >= ':' && c <= 'y') || (c >= '1' && c <= '6')) << int(c);
        std::string out;
        ASSERT_TRUE(enc_unpack(packed, &out));
        EXPECT_EQ(out, bytes);
    }
}

TEST_F(EncodeTest, UnpackerErrors) {
    struct Row {
        const char* name;
        std::string text;
        std::string message;
    } rows[] = {
        {"empty", "", "unexpected EOF"},
        {"no end digit", "=eRA", "unexpected EOF"},
        {"digit without group", "1", "unexpected EOF"},
        {"inside a literal", "2;", "ran out of bits in the middle of a byte"},
        {"literal cut by the end digit", "=eRA3=", "ran out of bits in the middle of a byte"},
        {"bad character", "=~", "invalid character in packed data"},
        {"bad digit", "7:", "invalid character in packed data"},
        {"bad last group", "1~", "invalid character in packed data"},
    };
    for (const Row& r : rows) {
        std::string out, error;
        EXPECT_FALSE(enc_unpack(r.text, &out, &error)) << r.name;
        EXPECT_EQ(error, r.message) << r.name;
    }
    std::string out;
    EXPECT_TRUE(enc_unpack("=eR\nA4=", &out));   // line breaks carry nothing
    EXPECT_EQ(out, "abc");
}

}  // namespace
