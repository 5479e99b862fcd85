// Tests of the scanner support: type labels, reserved words, the escaping reader, the parser
// nesting stack, parse_start and collect_names.
#include "tools/console/scansup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tovu/tovu_env.h"
#include "tovu/scan.h"

namespace {

class ScanSupportTest : public TovuTest {};

TEST_F(ScanSupportTest, Labels) {
    EXPECT_EQ(label_to_type("PROC"), 28u);
    EXPECT_EQ(label_to_type("INTNEG"), 1u);
    EXPECT_EQ(label_to_type("DEBUG"), 46u);
    EXPECT_EQ(tovuErrorOf([] { label_to_type("PROCS"); }), "unknown data structure label");
    EXPECT_EQ(tovuErrorOf([] { label_to_type(""); }), "unknown data structure label");
    EXPECT_EQ(type_to_label(47), nullptr);
    EXPECT_EQ(type_to_label(0), nullptr);
    EXPECT_STREQ(type_to_label(28), "PROC");
    EXPECT_STREQ(type_to_label(dag_header(DAG_LIST, 5)), "LIST");
    for (unsigned t = 1; t <= DAG_TYPE_COUNT; ++t) EXPECT_EQ(label_to_type(type_to_label(t)), t);
}

TEST_F(ScanSupportTest, Keywords) {
    struct { const char* word; int index; } cases[] = {
        {"and", 1}, {"while", 32}, {"options", 22}, {"x", 0}, {"", 0}, {"whiles", 0}, {"Do", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(keyword_index(c.word), c.index) << c.word;
}

struct TextSource {
    std::string text;
    std::size_t at = 0;
};
int text_source(void* context) {
    auto* s = static_cast<TextSource*>(context);
    return s->at < s->text.size() ? static_cast<unsigned char>(s->text[s->at++]) : -1;
}

TEST_F(ScanSupportTest, EscapingReader) {
    TextSource source{"a\\\nb\\n\\\"\\`\\t\\q"};
    scan_support_bind(text_source, &source);
    std::vector<int> got;
    for (int c; (c = scan_char()) != -1;) got.push_back(c);
    EXPECT_EQ(got, (std::vector<int>{'a', 'b', 256, 258, 257, 9, 'q'}));
    EXPECT_EQ(scan_support_position(), 14);
}

TEST_F(ScanSupportTest, LookaheadAndEnd) {
    TextSource source{"xy"};
    scan_support_bind(text_source, &source);
    EXPECT_EQ(scan_next(), 'x');
    EXPECT_EQ(scan_support_lookahead(), 'y');
    EXPECT_EQ(scan_next(), 'y');
    EXPECT_THROW(scan_next(), LangParseAbort);
    EXPECT_EQ(scan_support_lookahead(), -2);
}

TEST_F(ScanSupportTest, NestingStack) {
    int depth = parser_depth();
    EXPECT_EQ(depth, 0);
    for (int i = 0; i < PARSER_STACK_LEVELS; ++i) parser_push();
    EXPECT_EQ(tovuErrorOf([] { parser_push(); }), "parsers nested too deeply");
    for (int i = 0; i < PARSER_STACK_LEVELS; ++i) parser_pop();
    EXPECT_EQ(tovuErrorOf([] { parser_pop(); }), "too many parsers popped from internal stack");
    EXPECT_EQ(parser_depth(), 0);
}

TEST_F(ScanSupportTest, NestedParseRestoresTheOuterScanner) {
    TextSource outer{"a + b; c;"};
    int position = -1;
    Dag first = parse_start(1, text_source, nullptr, nullptr, nullptr, nullptr, &outer, &position);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(position, 6);
    parser_push();
    TextSource inner{"x * y;"};
    EXPECT_NE(parse_start(1, text_source, nullptr, nullptr, nullptr, nullptr, &inner, nullptr), nullptr);
    parser_pop();
    Dag second = parse_start(0, text_source, nullptr, nullptr, nullptr, nullptr, &outer, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second, dag_name("c"));
}

TEST_F(ScanSupportTest, CollectNames) {
    TextSource source{"f(x, y) + x*g(x, 2, \"s\");"};
    Dag d = parse_start(1, text_source, nullptr, nullptr, nullptr, nullptr, &source, nullptr);
    ASSERT_NE(d, nullptr);
    Dag names = collect_names(d);
    ASSERT_EQ(dag_type(names), DAG_EXPSEQ);
    std::vector<std::string> got;
    for (std::size_t i = 1; i < dag_length(names); ++i) got.push_back(dag_text(dag_op(names, i)));
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (std::vector<std::string>{"f", "g", "x", "y"}));
    EXPECT_EQ(dag_length(collect_names(dag_of_int(5))), 1u);
}

}  // namespace
