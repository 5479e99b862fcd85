// The reply-stream table: unwrapping, lookup order, the default handler and its errors.
#include "lang_test_util.h"
#include "tovu/stream.h"

namespace {

class StreamTest : public TovuTest {};

struct Seen {
    std::string handler;
    Dag value = nullptr;
};

Dag N(const char* t) { return dag_name(t); }
Dag seq(std::initializer_list<Dag> items) {
    Dag d = dag_new(items.size() + 1, DAG_EXPSEQ);
    std::size_t i = 1;
    for (Dag x : items) dag_set_op(d, i++, x);
    return d;
}
Dag wrap(const char* f, std::initializer_list<Dag> args) { return dag_new2(DAG_FUNCTION, N(f), seq(args)); }

#define HANDLER(name)                                                   \
    Dag name(void* context, Dag value) {                                \
        static_cast<Seen*>(context)->handler = #name;                   \
        static_cast<Seen*>(context)->value = value;                     \
        return dag_NULL;                                                \
    }
HANDLER(PRINT)
HANDLER(WARN)
HANDLER(RESULT)
HANDLER(FIRST)
HANDLER(SECOND)
HANDLER(FALLBACK)

StreamTable* fullTable() {
    StreamTable* t = stream_table_new(8);
    stream_register(t, "PRINT", PRINT);
    stream_register(t, "WARN", WARN);
    stream_register(t, "RESULT", RESULT);
    stream_register(t, "DUP", FIRST);
    stream_register(t, "DUP", SECOND);
    return t;
}

TEST_F(StreamTest, Routing) {
    Dag a = N("a"), b = N("b");
    struct Row { const char* name; Dag reply; const char* handler; Dag value; } rows[] = {
        {"nested wrappers", wrap("INTERFACE_RESULT", {wrap("INTERFACE_PRINT", {wrap("INTERFACE_WARN", {a})})}),
         "WARN", seq({a})},
        {"print of two", wrap("INTERFACE_PRINT", {a, b}), "PRINT", seq({a, b})},
        {"print of plain", wrap("INTERFACE_PRINT", {a}), "PRINT", seq({a})},
        {"plain reply", a, "PRINT", a},
        {"no underscore", wrap("INTERFACE", {a}), "PRINT", nullptr},
        {"lower case", wrap("interface_WARN", {a}), "PRINT", nullptr},
        {"unknown stream", wrap("INTERFACE_FOO", {a}), "PRINT", seq({a})},
        {"first entry wins", wrap("INTERFACE_DUP", {a}), "FIRST", seq({a})},
        {"warn not looked through", wrap("INTERFACE_WARN", {wrap("INTERFACE_PRINT", {a})}), "WARN", nullptr},
    };
    StreamTable* t = fullTable();
    for (const Row& r : rows) {
        Seen seen;
        EXPECT_TRUE(dag_is_null(stream_dispatch(t, r.reply, &seen)));
        EXPECT_EQ(seen.handler, r.handler) << r.name;
        Dag expected = r.value != nullptr ? r.value : (r.handler == std::string("PRINT") ? r.reply : dag_op(r.reply, 2));
        EXPECT_TRUE(dag_equal(seen.value, expected)) << r.name;
    }
    stream_table_delete(t);
}

TEST_F(StreamTest, DefaultHandlerBeforePrint) {
    StreamTable* t = fullTable();
    stream_set_default(t, FALLBACK);
    Seen seen;
    stream_dispatch(t, wrap("INTERFACE_FOO", {N("x")}), &seen);
    EXPECT_EQ(seen.handler, "FALLBACK");
    EXPECT_TRUE(dag_equal(seen.value, seq({N("x")})));
    stream_table_delete(t);
}

TEST_F(StreamTest, Errors) {
    StreamTable* t = stream_table_new(1);
    stream_register(t, "WARN", WARN);
    Seen seen;
    EXPECT_EQ(tovuErrorOf([&] { stream_dispatch(t, wrap("INTERFACE_FOO", {N("x")}), &seen); }),
              "no PRINT stream handler installed");
    EXPECT_EQ(tovuErrorOf([&] { stream_register(t, "PRINT", PRINT); }), "stream handler table is full");
    stream_table_delete(t);
}

TEST_F(StreamTest, GlobalTableHoldsTwentySeven) {
    const char* names[] = {"DONE", "RESULT", "CHAR", "LPRINT", "PRINT", "PLOT", "PLOT3D", "TEXT",
                           "INTR", "SET", "GET", "REDIRECT", "READLINE", "ERROR", "FATALERR",
                           "WARN", "DIAG", "HELP", "INFO", "DEBUG", "STATUS", "LOGO", "START",
                           "STOP", "CALLBACK", "SMARTPLOT2D", "SMARTPLOT3D"};
    stream_init_default(27);
    for (const char* n : names) stream_register(nullptr, n, std::string(n) == "WARN" ? WARN : PRINT);
    EXPECT_EQ(stream_global_table()->entries.size(), 27u);
    EXPECT_EQ(tovuErrorOf([&] { stream_register(nullptr, "EXTRA", PRINT); }), "stream handler table is full");
    Seen seen;
    stream_dispatch(nullptr, wrap("INTERFACE_WARN", {N("w")}), &seen);
    EXPECT_EQ(seen.handler, "WARN");
    stream_free_default();
    EXPECT_TRUE(stream_global_table()->entries.empty());
    EXPECT_EQ(stream_global_table()->capacity, 0);
}

}  // namespace
