// Tests of the XML reader and writer: shapes read, the round trip of a table of expressions,
// integers in 4-digit groups, and the errors with their line suffix.
#include "tools/console/xml.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tovu/tovu_env.h"
#include "tovu/print.h"

namespace {

struct Source {
    explicit Source(std::string t) : text(std::move(t)) {}
    std::string text;
    std::size_t at = 0;
    std::vector<std::string> messages;
};

// The element printed, with its attributes after " | " when it has any.
std::string shape(const DagWord* d) {
    std::string s = print_to_text(d);
    if (dag_type(d) == DAG_FUNCTION && dag_length(d) > 3) s += " | " + print_to_text(dag_op(d, 3));
    return s;
}

int source(long, void* c) {
    auto* s = static_cast<Source*>(c);
    return s->at < s->text.size() ? static_cast<unsigned char>(s->text[s->at++]) : -1;
}
void printer(void* c, long, const char* m) { static_cast<Source*>(c)->messages.push_back(m); }
void ended(void* c, long) { static_cast<Source*>(c)->messages.push_back("<end>"); }

Dag read(Source& s, unsigned flags) { return xml_read(source, ended, printer, flags, &s); }

std::string write(const DagWord* d, unsigned flags) {
    std::string out;
    XmlOutput o{[](void* data, int c) { static_cast<std::string*>(data)->push_back(char(c)); },
                [](void* data, const char* t) { *static_cast<std::string*>(data) += t; }, &out};
    xml_write(d, o, flags);
    return out;
}

class XmlTest : public TovuTest {};

TEST_F(XmlTest, ReadShapes) {
    struct Case {
        const char* name;
        std::string xml;
        unsigned flags;
        std::string printed;
    } cases[] = {
        {"attribute, no children", "<OMV name=\"x\"/>", 0, "OM_OMV() | name = \"x\""},
        {"digits as integer", "<a>007</a>", XML_NUMBERS, "OM_a(7)"},
        {"digits as string", "<a>007</a>", 0, "OM_a(\"007\")"},
        {"negative", "<a>-12</a>", XML_NUMBERS, "OM_a(-12)"},
        {"split text", "<a> x 'y z' 3 </a>", XML_SPLIT_TEXT | XML_NUMBERS,
         "OM_a(\"x\",\"y z\",3)"},
        {"entities", "<a t='&lt;&amp;'>&quot;q&quot;</a>", XML_ENTITIES,
         "OM_a(\"\\\"q\\\"\") | t = \"<&\""},
        {"nested and text", "<a>\n  text <b/>\n</a>", 0, "OM_a(\"text\",OM_b())"},
        {"two attributes", "<a x=1 y=\"2\"></a>", XML_NUMBERS, "OM_a() | x = 1, y = 2"},
        {"comment", "<!-- note -->", 0, "COMMENT(\" note \")"},
        {"cdata", "<![CDATA[<x>]]>", 0, "CDATA(\"<x>\")"},
        {"special", "<!DOCTYPE html>", 0, "SPECIAL_DOCTYPE(\"html\")"},
        {"special without text", "<!E>", 0, "SPECIAL_E()"},
        {"closing tag", "</a >", 0, "OM_a"},
    };
    for (const Case& c : cases) {
        Source s{c.xml};
        Dag d = read(s, c.flags);
        ASSERT_NE(d, nullptr) << c.name << (s.messages.empty() ? "" : s.messages[0]);
        EXPECT_EQ(shape(d), c.printed) << c.name;
        EXPECT_TRUE(s.messages.empty()) << c.name;
    }
}

TEST_F(XmlTest, SpecialWithoutTextHoldsNull) {
    Source s{"<!E>"};
    Dag d = read(s, 0);
    ASSERT_NE(d, nullptr);
    Dag args = dag_op(d, 2);
    ASSERT_EQ(dag_length(args), 2u);
    EXPECT_TRUE(dag_is_null(dag_op(args, 1)));
    Source t{"<a/>"};
    Dag e = read(t, 0);
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(dag_is_null(dag_op(e, 2)));
}

TEST_F(XmlTest, ReadErrors) {
    struct Case {
        const char* name;
        std::string xml;
        std::string message;
    } cases[] = {
        {"mismatch on the first line", "<a><b></a>", "tag mismatch"},
        {"mismatch on a later line", "<a>\n<b>\n</a>", "tag mismatch on line 2"},
        {"bad tag name", "<1a/>", "invalid first character of tag name"},
        {"bad attribute name", "<a 1=2/>", "invalid first character of attribute name"},
        {"missing equals", "<a b 2/>", "`=` expected after attribute name"},
        {"closing tag", "</a b>", "`>` expected at end of closing tag"},
        {"special", "<!-x>", "unrecognized special tag"},
        {"end inside an element", "<a><b>", "<end>"},
        {"end inside a comment", "<!-- x", "<end>"},
        {"not a tag", "text", "`<` expected"},
    };
    for (const Case& c : cases) {
        Source s{c.xml};
        EXPECT_EQ(read(s, 0), nullptr) << c.name;
        ASSERT_EQ(s.messages.size(), 1u) << c.name;
        EXPECT_EQ(s.messages[0], c.message) << c.name;
    }
}

TEST_F(XmlTest, DeepNestingIsRefused) {
    std::string xml;
    for (int i = 0; i < XML_MAX_DEPTH + 5; ++i) xml += "<a>";
    Source s{xml};
    EXPECT_EQ(read(s, 0), nullptr);
    ASSERT_EQ(s.messages.size(), 1u);
    EXPECT_EQ(s.messages[0], "elements nested too deeply");
}

TEST_F(XmlTest, WriteIntegersInGroupsOfFour) {
    EXPECT_EQ(write(dag_integer_from_text("123456789"), 0), "123456789");
    EXPECT_EQ(write(dag_integer_from_text("-100000001"), 0), "-100000001");
    EXPECT_EQ(write(dag_integer_from_text("0"), 0), "0");
}

TEST_F(XmlTest, WriteForms) {
    Source s{"<m a=\"1\" b='x y'><c/>text<!-- n --></m>"};
    Dag d = read(s, XML_NUMBERS);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(write(d, 0), "<m a=\"1\" b=\"x y\">\n  <c/>\n  text\n  <!-- n -->\n</m>");
    EXPECT_EQ(write(d, XML_BARE_NUMBERS), "<m a=1 b=\"x y\">\n  <c/>\n  text\n  <!-- n -->\n</m>");
    Dag q = dag_new2(DAG_FUNCTION, dag_name("q"),
                     dag_new1(DAG_EXPSEQ, dag_intern("a <b> & 'c'", DAG_STRING)));
    EXPECT_EQ(write(q, XML_QUOTE_SPACED | XML_ESCAPE),
              "<q>\n  \"a &lt;b&gt; &amp; &apos;c&apos;\"\n</q>");
}

TEST_F(XmlTest, WriteErrors) {
    struct Case {
        const char* name;
        Dag d;
        std::string message;
    } cases[] = {
        {"list", dag_new1(DAG_LIST, dag_NULL), "integer, string, or function call expected"},
        {"unnamed function", dag_new2(DAG_FUNCTION, dag_of_int(3), dag_NULL),
         "named function expected"},
        {"bad name", dag_new2(DAG_FUNCTION, dag_name("OM_1x"), dag_NULL), "invalid function name"},
        {"comment of a name", dag_new2(DAG_FUNCTION, dag_name("COMMENT"),
                                       dag_new1(DAG_EXPSEQ, dag_name("x"))),
         "string argument expected for COMMENT"},
        {"cdata without argument", dag_new2(DAG_FUNCTION, dag_name("CDATA"), dag_NULL),
         "string argument expected for CDATA"},
        {"special of an integer", dag_new2(DAG_FUNCTION, dag_name("SPECIAL_X"),
                                           dag_new1(DAG_EXPSEQ, dag_of_int(2))),
         "string argument expected for SPECIAL"},
        {"attribute of a list", dag_new3(DAG_FUNCTION, dag_name("OM_a"), dag_NULL,
                                         dag_new2(DAG_EQUATION, dag_name("k"),
                                                  dag_new1(DAG_LIST, dag_NULL))),
         "invalid attribute"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tovuErrorOf([&] { write(c.d, 0); }), c.message) << c.name;
}

TEST_F(XmlTest, RoundTrip) {
    const char* documents[] = {
        "<OMOBJ/>",
        "<OMI>123456789</OMI>",
        "<OMA><OMS cd=\"arith1\" name=\"plus\"/><OMI>-7</OMI><OMV name=\"x\"/></OMA>",
        "<a k=\"v w\" n=\"10000\"><b>one \"two three\" 0</b><!-- c --><![CDATA[raw <x>]]></a>",
        "<t>&lt;tag&gt; &amp; &quot;q&quot;</t>",
        "<!DOCTYPE note>",
        "<!E>",
        "<deep><a><b><c><d>1</d></c></b></a></deep>",
    };
    const unsigned readFlags = XML_SPLIT_TEXT | XML_ENTITIES | XML_NUMBERS;
    for (const char* doc : documents) {
        Source s{doc};
        Dag first = read(s, readFlags);
        ASSERT_NE(first, nullptr) << doc << (s.messages.empty() ? "" : s.messages[0]);
        std::string written = write(first, XML_QUOTE_SPACED | XML_ESCAPE);
        Source again{written};
        Dag second = read(again, readFlags);
        ASSERT_NE(second, nullptr) << written;
        EXPECT_TRUE(dag_equal(first, second)) << doc << "\nwritten: " << written
                                              << "\nfirst:  " << print_to_text(first)
                                              << "\nsecond: " << print_to_text(second);
    }
}

}  // namespace
