// Interface variables: SET and GET with their answers and limits.
#include <cstring>

#include "lang_test_util.h"
#include "tovu/ifvars.h"

namespace {

class IfvarsTest : public TovuTest {
protected:
    void SetUp() override {
        TovuTest::SetUp();
        block = interface_vars_new();
        ASSERT_NE(block, nullptr);
    }
    void TearDown() override { interface_vars_free(block); }
    InterfaceSettings* block = nullptr;
};

Dag N(const char* t) { return dag_name(t); }
Dag S(const char* t) { return dag_intern(t, DAG_STRING); }
Dag request(Dag name, Dag value) { return dag_new2(DAG_EXPSEQ, name, value); }
Dag request(Dag name) { return dag_new1(DAG_EXPSEQ, name); }
Dag list(std::initializer_list<long> values) {
    Dag items = dag_new(values.size() + 1, DAG_EXPSEQ);
    std::size_t i = 1;
    for (long v : values) dag_set_op(items, i++, dag_of_int(v));
    return dag_new1(DAG_LIST, items);
}
std::string answerText(Dag d) {
    if (dag_is_null(d)) return "NULL";
    if (dag_type(d) == DAG_NAME) return dag_text(d);
    return print_to_text(d);
}

TEST_F(IfvarsTest, SetThenGet) {
    struct Row { const char* name; Dag value; const char* setAnswer; const char* getAnswer; } rows[] = {
        {"prompt", S("$ "), "NULL", "$ "},
        {"echo", dag_of_int(123456), "NULL", "123456"},
        {"errorbreak", dag_of_int(0), "NULL", "0"},
        {"quiet", N("true"), "NULL", "true"},
        {"warnlevel", dag_of_int(2), "NULL", "2"},
        {"screenwidth", dag_of_int(120), "NULL", "120"},
        {"screenheight", dag_of_int(40), "NULL", "40"},
        {"errorcursor", N("yes"), "NULL", "false"},
        {"prettyprint", dag_of_int(3), "NULL", "3"},
        {"verboseproc", dag_of_int(2), "NULL", "2"},
        {"labelling", N("false"), "NULL", "false"},
        {"labeling", N("true"), "NULL", "true"},
        {"indentamount", dag_of_int(2), "NULL", "2"},
        {"labelwidth", dag_of_int(30), "NULL", "30"},
        {"ansi", N("true"), "NULL", "true"},
        {"showassumed", dag_of_int(2), "NULL", "2"},
        {"plotdevice", N("ps"), "NULL", "ps"},
        {"plotoutput", S("out.ps"), "NULL", "out.ps"},
        {"plotoptions", S("portrait"), "NULL", "portrait"},
        {"latexwidth", dag_of_int(6500), "NULL", "6500"},
        {"preplot", list({1, -2, 127, -128}), "NULL", "[1, -2, 127, -128]"},
        {"postplot", list({}), "NULL", "[]"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(answerText(interface_set(request(N(r.name), r.value), block)), r.setAnswer) << r.name;
        EXPECT_EQ(answerText(interface_get(request(N(r.name)), block)), r.getAnswer) << r.name;
    }
    EXPECT_DOUBLE_EQ(block->latexwidth, 6.5);
}

TEST_F(IfvarsTest, RefusedValuesKeepTheField) {
    std::string long128(128, 'p'), long24(24, 'd'), long260(260, 'o');
    struct Row { const char* name; Dag value; const char* answer; const char* get; } rows[] = {
        {"screenwidth", dag_integer_from_text("123456"), "Error, unknown interface parameter", "79"},
        {"screenwidth", N("wide"), "Error, unknown interface parameter", "79"},
        {"echo", dag_integer_from_text("99999999999999"), "Error, unknown interface parameter", "1"},
        {"echo", dag_of_int(-1), "Error, unknown interface parameter", "1"},
        {"quiet", dag_of_int(1), "Error, unknown interface parameter", "false"},
        {"prompt", S(long128.c_str()), "Error, value is too long", "> "},
        {"plotdevice", N(long24.c_str()), "Error, value is too long", "char"},
        {"plotoutput", S(long260.c_str()), "Error, value is too long", "terminal"},
        {"nosuchthing", dag_of_int(1), "Error, unknown interface parameter", nullptr},
        {"screenwidth", list({1}), "Error, invalid list assignment", "79"},
        {"postplot", list({1, 128}), "Error, invalid list value", "[1]"},
        {"preplot", list({-129}), "Error, invalid list value", "[]"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(answerText(interface_set(request(N(r.name), r.value), block)), r.answer) << r.name;
        if (r.get != nullptr) {
            EXPECT_EQ(answerText(interface_get(request(N(r.name)), block)), r.get) << r.name;
        }
    }
    // The limits themselves are accepted.
    std::string long127(127, 'p'), long23(23, 'd'), long259(259, 'o');
    EXPECT_TRUE(dag_is_null(interface_set(request(N("prompt"), S(long127.c_str())), block)));
    EXPECT_TRUE(dag_is_null(interface_set(request(N("plotdevice"), S(long23.c_str())), block)));
    EXPECT_TRUE(dag_is_null(interface_set(request(N("plotoutput"), S(long259.c_str())), block)));
    EXPECT_EQ(std::strlen(block->prompt), 127u);
}

TEST_F(IfvarsTest, PlotListLimits) {
    Dag items = dag_new(82, DAG_EXPSEQ);
    for (std::size_t i = 1; i < 82; ++i) dag_set_op(items, i, dag_of_int(1));
    EXPECT_EQ(answerText(interface_set(request(N("postplot"), dag_new1(DAG_LIST, items)), block)),
              "Error, parameter list is too long");
    Dag eighty = dag_new(81, DAG_EXPSEQ);
    for (std::size_t i = 1; i < 81; ++i) dag_set_op(eighty, i, dag_of_int(long(i)));
    EXPECT_TRUE(dag_is_null(interface_set(request(N("postplot"), dag_new1(DAG_LIST, eighty)), block)));
    EXPECT_EQ(block->postplotCount, 80);
    EXPECT_EQ(block->postplot[79], 80);
}

TEST_F(IfvarsTest, BadStructures) {
    struct Row { const char* name; Dag request; bool set; } rows[] = {
        {"set of one", request(N("echo")), true},
        {"set with a number name", request(dag_of_int(1), dag_of_int(1)), true},
        {"set of a plain name", N("echo"), true},
        {"get of two", request(N("echo"), N("x")), false},
        {"get of a string", request(S("echo")), false},
    };
    for (const Row& r : rows) {
        Dag a = r.set ? interface_set(r.request, block) : interface_get(r.request, block);
        EXPECT_EQ(answerText(a), "Error, invalid structure") << r.name;
    }
    EXPECT_EQ(answerText(interface_get(request(N("bogus")), block)), "Error, unknown interface parameter");
}

TEST_F(IfvarsTest, DefaultsAndDerivedValues) {
    struct Row { const char* name; const char* value; } rows[] = {
        {"prompt", "> "}, {"echo", "1"}, {"quiet", "false"}, {"warnlevel", "3"},
        {"screenwidth", "79"}, {"screenheight", "25"}, {"errorcursor", "true"},
        {"labelling", "true"}, {"indentamount", "4"}, {"labelwidth", "20"}, {"ansi", "false"},
        {"plotdevice", "char"}, {"plotoutput", "terminal"}, {"plotoptions", ""},
        {"latexwidth", "5000"}, {"preplot", "[]"},
        {"version", "Kelvo Worksheet Interface, Release 5, IBM INTEL NT, Nov 27 1997"}};
    for (const Row& r : rows) EXPECT_EQ(answerText(interface_get(request(N(r.name)), block)), r.value) << r.name;
    EXPECT_STREQ(interface_version_banner(true),
                 "Kelvo Worksheet Interface, Release 5, IBM INTEL WIN32S, Nov 27 1997");
}

TEST_F(IfvarsTest, EndcolonFollowsTheLastStatement) {
    parseFull("a:");
    InterfaceSettings* colon = interface_vars_new();
    parseFull("a;");
    InterfaceSettings* semicolon = interface_vars_new();
    EXPECT_EQ(answerText(interface_get(request(N("endcolon")), colon)), "true");
    EXPECT_EQ(answerText(interface_get(request(N("endcolon")), semicolon)), "false");
    interface_vars_free(colon);
    interface_vars_free(semicolon);
}

TEST_F(IfvarsTest, PlotdeviceDefault) {
    EXPECT_TRUE(dag_is_null(interface_set(request(N("plotdevice"), N("default")), block)));
    EXPECT_STREQ(block->plotdevice, "char");
    KInterfaceVars vars(InterfaceOptions{2, 0, "window"});
    EXPECT_EQ(vars.settings()->prettyprint, 2);
    EXPECT_EQ(vars.settings()->showassumed, 0);
    EXPECT_STREQ(vars.settings()->plotdevice, "window");
    EXPECT_TRUE(dag_is_null(vars.set(request(N("plotdevice"), N("default")))));
    EXPECT_EQ(answerText(vars.get(request(N("plotdevice")))), "inline");
    KInterfaceVars tooLong(InterfaceOptions{1, 1, std::string(40, 'x')});
    EXPECT_STREQ(tooLong.settings()->plotdevice, "char");
}

TEST_F(IfvarsTest, TextSlots) {
    char* slot = nullptr;
    EXPECT_EQ(interface_set_text(&slot, "abc"), 0);
    EXPECT_STREQ(slot, "abc");
    EXPECT_EQ(interface_set_text(&slot, nullptr), 0);
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(interface_set_text(nullptr, "x"), -1);
    // A copied block owns its own plotoptions text.
    interface_set(request(N("plotoptions"), S("opts")), block);
    KInterfaceVars vars;
    EXPECT_EQ(vars.settings()->plotoptions, nullptr);
}

}  // namespace
