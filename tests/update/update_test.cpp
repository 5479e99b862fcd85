// Tests of the source update facility: texts of the previous release and their exact rewritten
// form with the inserted warning lines, the notify messages, the scope check and the errors.
#include "update/update.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "tests/tovu/tovu_env.h"
#include "tovu/parse_driver.h"
#include "tovu/sinks.h"

namespace {

struct Outcome {
    std::string text;
    std::vector<std::string> messages;
    std::string error;   // "" when the run succeeded
};

void collect(void* context, std::int32_t, const char* message) {
    static_cast<Outcome*>(context)->messages.push_back(message);
}

std::vector<char> buffer_of(const std::string& input, std::int32_t& capacity) {
    if (capacity == 0) capacity = std::int32_t(std::max<std::size_t>(2 * input.size(), 4096));
    std::vector<char> buffer(std::size_t(capacity), '\0');
    std::copy(input.begin(), input.end(), buffer.begin());
    return buffer;
}

// Runs the facility on a copy of `input` in a buffer of `capacity` bytes (0: twice the text
// and at least 4096, as the callers give).
Outcome update(const std::string& input, std::int32_t capacity = 0) {
    std::vector<char> buffer = buffer_of(input, capacity);
    Outcome out;
    out.error = tovuErrorOf([&] { update_source(buffer.data(), capacity, collect, &out); });
    out.text.assign(buffer.data(), strnlen(buffer.data(), buffer.size()));
    return out;
}

Outcome pass1(const std::string& input, std::int32_t capacity = 0) {
    std::vector<char> buffer = buffer_of(input, capacity);
    Outcome out;
    out.error = tovuErrorOf([&] { update_pass1(buffer.data(), capacity, collect, &out); });
    out.text.assign(buffer.data(), strnlen(buffer.data(), buffer.size()));
    return out;
}

std::string warning(const std::string& message) { return "### WARNING: " + message + "\n"; }

const std::string kReadline = "`readline` now returns a string";
const std::string kLabels = "use of labels non-interactively can give inconsistent results";
const std::string kDefine1 = "usage of `define` has changed";
const std::string kDefine2 =
    "the define command has been completely rewritten and is incompatible with the old one;  "
    "see the help page for details";
const std::string kMaxorder =
    "maxorder has been split into numtheory[integral_basis] and algcurves[integral_basis]";
const std::string kLess =
    "< is now a function and care needs to be taken when it is used in structured types";
const std::string kColon = "`:` has been replaced by `::`";
const std::string kQuotedName = "incomplete quoted name;  use ` to end the name";

struct Case {
    const char* name;
    std::string input;
    std::string expected;
    std::vector<std::string> messages;
};

class UpdateTest : public TovuTest {};

TEST_F(UpdateTest, RewritesTextsOfThePreviousRelease) {
    const Case cases[] = {
        {"ditto", "x := \"+1;\n", "x := %+1;\n", {"`\"` has been replaced by `%`"}},
        {"double and triple ditto", "y := \"\"+\"\"\";\n", "y := %%+%%%;\n",
         {"`\"\"` has been replaced by `%%`", "`\"\"\"` has been replaced by `%%%`"}},
        {"renamed function", "a := rgf_seq(1, 2);\n", "a := ratseq(1, 2);\n",
         {"`rgf_seq` has been replaced by `ratseq`"}},
        {"warning above the line", "x := 1;\ny := readline(f);\nz := 2;\n",
         "x := 1;\n" + warning(kReadline) + "y := readline(f);\nz := 2;\n", {kReadline}},
        {"context before blanks", "y := readline  (f);\n",
         warning(kReadline) + "y := readline  (f);\n", {kReadline}},
        {"context not met", "y := readline;\n", "y := readline;\n", {}},
        {"replacement and warning of one name", "b := maxorder(x);\n",
         warning(kMaxorder) + "b := integral_basis(x);\n",
         {"`maxorder` has been replaced by `integral_basis`", kMaxorder}},
        {"two warnings in table order", "c := define(x);\n",
         warning(kDefine1) + warning(kDefine2) + "c := define(x);\n", {kDefine1, kDefine2}},
        {"operator as quoted name", "d := `<`(a, b);\n", warning(kLess) + "d := `<`(a, b);\n",
         {kLess}},
        {"line of the old front end", "? rgf_seq\nx := rgf_seq;\n", "? rgf_seq\nx := ratseq;\n",
         {"`rgf_seq` has been replaced by `ratseq`"}},
        {"comment", "x := 1; # rgf_seq readline(x)\n", "x := 1; # rgf_seq readline(x)\n", {}},
        {"part of a longer name", "rgf_seq2 := xrgf_seq;\n", "rgf_seq2 := xrgf_seq;\n", {}},
        {"name longer than 40 characters",
         "string0123456789012345678901234567890123456789 := 1;\n",
         "string0123456789012345678901234567890123456789 := 1;\n", {}},
        {"single colon of a parameter", "f := proc(x:integer) x end;\n",
         "f := proc(x::integer) x end;\n", {kColon}},
        {"label", "x := %1;\n", warning(kLabels) + "x := %1;\n", {kLabels}},
        {"incomplete quoted name", "x := `ab\ncd`;\n", warning(kQuotedName) + "x := `ab\ncd`;\n",
         {kQuotedName}},
        {"implicit local", "f := proc(x)\n  y := x^2;\n  y\nend;\n",
         warning("`y` is implicitly declared local") + "f := proc(x)\n  y := x^2;\n  y\nend;\n",
         {"`y` is implicitly declared local"}},
        {"table element and loop variable",
         "f := proc() t[1] := 0; for i to 3 do od end;\n",
         warning("`t` is implicitly declared local") +
             warning("`i` is implicitly declared local") +
             "f := proc() t[1] := 0; for i to 3 do od end;\n",
         {"`t` is implicitly declared local", "`i` is implicitly declared local"}},
        {"exempt and declared names",
         "f := proc(a) local b; global c; Digits := 20; _EnvX := 1; a := 1; b := 2; c := 3; "
         "printlevel := 1 end;\n",
         "f := proc(a) local b; global c; Digits := 20; _EnvX := 1; a := 1; b := 2; c := 3; "
         "printlevel := 1 end;\n",
         {}},
        {"nested procedures", "p := proc(x) local y; y := proc() x + y end end;\n",
         warning("`x` is a lexically scoped parameter") +
             warning("`y` is a lexically scoped local") +
             "p := proc(x) local y; y := proc() x + y end end;\n",
         {"`x` is a lexically scoped parameter", "`y` is a lexically scoped local"}},
        {"global of an enclosing procedure", "p := proc() global g; proc() g := 1 end end;\n",
         warning("`g` is a lexically scoped global") +
             "p := proc() global g; proc() g := 1 end end;\n",
         {"`g` is a lexically scoped global"}},
        {"reported once per procedure", "p := proc(x) proc() x + x*x end end;\n",
         warning("`x` is a lexically scoped parameter") +
             "p := proc(x) proc() x + x*x end end;\n",
         {"`x` is a lexically scoped parameter"}},
        {"warning above the statement's first line", "a := 1; f := proc()\nz := 1\nend;\n",
         warning("`z` is implicitly declared local") + "a := 1; f := proc()\nz := 1\nend;\n",
         {"`z` is implicitly declared local"}},
        {"statement after a comment line", "# old code\nf := proc() z := 1 end;\n",
         "# old code\n" + warning("`z` is implicitly declared local") +
             "f := proc() z := 1 end;\n",
         {"`z` is implicitly declared local"}},
        {"empty text", "", "", {}},
        {"only comments", "# nothing\n", "# nothing\n", {}},
    };
    for (const Case& c : cases) {
        Outcome out = update(c.input);
        EXPECT_EQ(out.error, "") << c.name;
        EXPECT_EQ(out.text, c.expected) << c.name << "\ninput: " << c.input;
        EXPECT_EQ(out.messages, c.messages) << c.name;
    }
}

// Rows of the table that pass 2 would refuse to parse are checked on pass 1 alone.
TEST_F(UpdateTest, FirstPassAlone) {
    const Case cases[] = {
        {"ditto before a name gains a blank", "\"x", "% x", {"`\"` has been replaced by `%`"}},
        {"ditto after a name", "sin\"", "sin%", {"`\"` has been replaced by `%`"}},
        {"four double quotes match no row", "\"\"\"\"", "\"\"\"\"", {}},
        {"name at the end of the text", "rgf_seq", "ratseq",
         {"`rgf_seq` has been replaced by `ratseq`"}},
        {"quoted name replaced inside its quotes", "`rgf_seq`", "`ratseq`",
         {"`rgf_seq` has been replaced by `ratseq`"}},
        {"context at the end of the text is none", "readline", "readline", {}},
        {"no-context row", "stack", warning(
             "linalg[stack] has been renamed linalg[stackmatrix] to avoid collision with "
             "mainline stack") + "stack",
         {"linalg[stack] has been renamed linalg[stackmatrix] to avoid collision with "
          "mainline stack"}},
        {"line end ends a quoted name", "`a\nrgf_seq", "`a\nratseq",
         {"`rgf_seq` has been replaced by `ratseq`"}},
        {"escaped line end continues a quoted name", "`a\\\nrgf_seq`", "`a\\\nrgf_seq`", {}},
        {"a name followed by a quote", "a\"\"b", "a%% b", {"`\"\"` has been replaced by `%%`"}},
        {"! line skipped", "! rgf_seq\n", "! rgf_seq\n", {}},
    };
    for (const Case& c : cases) {
        Outcome out = pass1(c.input);
        EXPECT_EQ(out.error, "") << c.name;
        EXPECT_EQ(out.text, c.expected) << c.name;
        EXPECT_EQ(out.messages, c.messages) << c.name;
    }
}

TEST_F(UpdateTest, TableHasFortyOneRowsInOrder) {
    EXPECT_STREQ(update_rules[0].oldText, "\"");
    EXPECT_STREQ(update_rules[6].replacement, "integral_basis");
    EXPECT_STREQ(update_rules[40].oldText, "sscanf");
    for (const UpdateRule& rule : update_rules) {
        EXPECT_TRUE(rule.context == ' ' || rule.context == '(') << rule.oldText;
        EXPECT_TRUE((rule.replacement == nullptr) != (rule.warning == nullptr)) << rule.oldText;
    }
}

struct ErrorCase {
    const char* name;
    std::string input;
    std::int32_t capacity;
    std::string error;
    std::string textAfter;   // what the buffer holds after the error
};

TEST_F(UpdateTest, ErrorsKeepTheChangesMadeSoFar) {
    const ErrorCase cases[] = {
        {"syntax error", "a := rgf_seq;\nx := (1;\n", 0, "on line 2, `;` unexpected",
         "a := ratseq;\nx := (1;\n"},
        {"premature end", "a := rgf_seq;\nx := 1", 0, "unexpected end of input",
         "a := ratseq;\nx := 1"},
        {"unterminated quoted name", "x := `abc", 0, "unexpected end of input", "x := `abc"},
        {"growing replacement does not fit", "b := maxorder(x);", 19,
         "out of space to perform replacement", "b := maxorder(x);"},
        {"warning line does not fit", "rgf_seq; readline(x);", 40,
         "out of space to perform replacement", "ratseq; readline(x);"},
        {"colon does not fit", "f := proc(x:integer) x end;", 28,
         "out of space to perform replacement", "f := proc(x:integer) x end;"},
        {"text fills the buffer", "abc", 3, "out of space to perform replacement", "abc"},
    };
    for (const ErrorCase& c : cases) {
        std::int32_t capacity = c.capacity;
        std::vector<char> buffer;
        if (capacity == 0) {
            buffer = buffer_of(c.input, capacity);
        } else {
            buffer.assign(std::size_t(capacity) + 1, '\0');   // one guard byte past the capacity
            std::copy(c.input.begin(), c.input.end(), buffer.begin());
        }
        Outcome out;
        out.error = tovuErrorOf([&] { update_source(buffer.data(), capacity, collect, &out); });
        EXPECT_EQ(out.error, c.error) << c.name;
        EXPECT_EQ(std::string(buffer.data(), strnlen(buffer.data(), buffer.size())), c.textAfter)
            << c.name;
    }
}

// ---- callback positions and many edits in one pass ------------------------------------------------
// Each position is where the flagged text lies in the text as it stands when the callback runs:
// after the edits made before it, not after those that follow.
struct Note {
    std::int32_t position;
    std::string message;
    bool operator==(const Note&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Note& n) {
    return os << n.position << ": " << n.message;
}

struct Noted {
    std::string text;
    std::vector<Note> notes;
    std::string error;
};

void collect_note(void* context, std::int32_t position, const char* message) {
    static_cast<Noted*>(context)->notes.push_back({position, message});
}

Noted update_noted(const std::string& input, bool firstPassOnly = false,
                   std::int32_t capacity = 0) {
    std::vector<char> buffer = buffer_of(input, capacity);
    Noted out;
    out.error = tovuErrorOf([&] {
        if (firstPassOnly) update_pass1(buffer.data(), capacity, collect_note, &out);
        else update_source(buffer.data(), capacity, collect_note, &out);
    });
    out.text.assign(buffer.data(), strnlen(buffer.data(), buffer.size()));
    return out;
}

std::int32_t size_of(const std::string& s) { return std::int32_t(s.size()); }

std::string implicit_local(const std::string& name) {
    return "`" + name + "` is implicitly declared local";
}

const std::string kRgf = "`rgf_seq` has been replaced by `ratseq`";
const std::string kDitto = "`\"` has been replaced by `%`";
const std::int32_t kReadlineLine = size_of(warning(kReadline));

struct NoteCase {
    const char* name;
    std::string input;
    bool firstPassOnly;
    std::string expected;
    std::vector<Note> notes;
};

TEST_F(UpdateTest, CallbackPositionsFollowTheEditsBeforeThem) {
    const std::string y = implicit_local("y"), z = implicit_local("z");
    const std::int32_t W = kReadlineLine, Wy = size_of(warning(y)), Wz = size_of(warning(z));
    const NoteCase cases[] = {
        {"two warning lines above one line", "y := readline(f); z := readline(g);\n", false,
         warning(kReadline) + warning(kReadline) + "y := readline(f); z := readline(g);\n",
         {{5 + W, kReadline}, {23 + 2 * W, kReadline}}},
        {"shorter replacement before a warning line", "a := rgf_seq;\nb := readline(x);\n", false,
         "a := ratseq;\n" + warning(kReadline) + "b := readline(x);\n",
         {{5, kRgf}, {18 + W, kReadline}}},
        {"warning line above a replaced line start", "rgf_seq(readline(x));\n", false,
         warning(kReadline) + "ratseq(readline(x));\n", {{0, kRgf}, {7 + W, kReadline}}},
        {"blank after a ditto before a warning", "\"x + readline(y)", true,
         warning(kReadline) + "% x + readline(y)", {{0, kDitto}, {6 + W, kReadline}}},
        {"colon below a warning line of the first pass",
         "readline(a); f := proc(x:integer) x end;\n", false,
         warning(kReadline) + "readline(a); f := proc(x::integer) x end;\n",
         {{W, kReadline}, {24 + W, kColon}}},
        {"scope warning after a colon of its statement",
         "a := 1; f := proc(x:integer)\n y := x\nend;\n", false,
         warning(y) + "a := 1; f := proc(x::integer)\n y := x\nend;\n",
         {{19, kColon}, {8 + Wy, y}}},
        {"two statements of one line", "f := proc() y := 1 end; g := proc() z := 2 end;\n",
         false, warning(y) + warning(z) + "f := proc() y := 1 end; g := proc() z := 2 end;\n",
         {{Wy, y}, {24 + Wy + Wz, z}}},
    };
    for (const NoteCase& c : cases) {
        Noted out = update_noted(c.input, c.firstPassOnly);
        EXPECT_EQ(out.error, "") << c.name;
        EXPECT_EQ(out.text, c.expected) << c.name;
        EXPECT_EQ(out.notes, c.notes) << c.name;
    }
}

struct BatchErrorCase {
    const char* name;
    std::string input;
    std::int32_t extra;   // capacity = input size + extra
    std::string error;
    std::string textAfter;
    std::vector<std::string> messages;
};

// Where several edits are waiting when the buffer runs out or the parse fails: those made
// before the error are in the text, the one that did not fit and all after it are not.
TEST_F(UpdateTest, ErrorInTheMiddleOfABatchOfEdits) {
    const std::string oos = "out of space to perform replacement";
    const std::string y = implicit_local("y");
    const std::int32_t W = kReadlineLine, Wy = size_of(warning(y));
    const std::string twoOnOneLine = "y := readline(f); z := readline(g);\n";
    const std::string typed = "f := proc(x:integer)\n y := x\nend;\n";
    const std::string typedUpdated = "f := proc(x::integer)\n y := x\nend;\n";
    const std::string growing = "readline(a); readline(b); maxorder(c);\n";
    const BatchErrorCase cases[] = {
        {"second warning line of a line does not fit", twoOnOneLine, 2 * W, oos,
         warning(kReadline) + twoOnOneLine, {kReadline}},
        {"both warning lines fit exactly", twoOnOneLine, 2 * W + 1, "",
         warning(kReadline) + warning(kReadline) + twoOnOneLine, {kReadline, kReadline}},
        {"scope warning after the colon does not fit", typed, 1 + Wy, oos, typedUpdated,
         {kColon}},
        {"scope warning fits exactly", typed, 2 + Wy, "", warning(y) + typedUpdated, {kColon, y}},
        {"replacement after two warning lines does not fit", growing, 2 * W + 6, oos,
         warning(kReadline) + warning(kReadline) + growing, {kReadline, kReadline}},
        {"parse error keeps the edits of both passes",
         "readline(a); f := proc(x:integer) x end;\nx := (1;\n", 4096, "on line 3, `;` unexpected",
         warning(kReadline) + "readline(a); f := proc(x::integer) x end;\nx := (1;\n",
         {kReadline, kColon}},
    };
    for (const BatchErrorCase& c : cases) {
        Outcome out = update(c.input, size_of(c.input) + c.extra);
        EXPECT_EQ(out.error, c.error) << c.name;
        EXPECT_EQ(out.text, c.textAfter) << c.name;
        EXPECT_EQ(out.messages, c.messages) << c.name;
    }
}

// Hundreds of edits in one pass, checked against the text and positions built line by line.
TEST_F(UpdateTest, ManyEditsInOneText) {
    std::string input, expected;
    std::vector<Note> notes;
    for (int i = 0; i < 300; ++i) {
        std::string n = std::to_string(i);
        switch (i % 3) {
        case 0:
            input += "r" + n + " := readline(x);\n";
            expected += warning(kReadline);
            notes.push_back({size_of(expected) + size_of(n) + 5, kReadline});
            expected += "r" + n + " := readline(x);\n";
            break;
        case 1:
            input += "s" + n + " := rgf_seq(y);\n";
            notes.push_back({size_of(expected) + size_of(n) + 5, kRgf});
            expected += "s" + n + " := ratseq(y);\n";
            break;
        default:
            input += "t" + n + " := \"+1;\n";
            notes.push_back({size_of(expected) + size_of(n) + 5, kDitto});
            expected += "t" + n + " := %+1;\n";
            break;
        }
    }
    // One line with many warnings: every warning line goes above it, in order.
    std::string line, lineWarnings;
    std::vector<Note> lineNotes;
    for (int k = 0; k < 200; ++k) {
        lineNotes.push_back({size_of(line) + (k + 1) * kReadlineLine, kReadline});
        line += "readline(x); ";
        lineWarnings += warning(kReadline);
    }
    for (Note& n : lineNotes) n.position += size_of(expected);
    notes.insert(notes.end(), lineNotes.begin(), lineNotes.end());
    input += line + "\n";
    expected += lineWarnings + line + "\n";

    // The updated text and its NUL fill the buffer exactly.
    Noted out = update_noted(input, false, size_of(expected) + 1);
    EXPECT_EQ(out.error, "");
    EXPECT_TRUE(out.text == expected) << "first difference at "
        << std::mismatch(out.text.begin(), out.text.end(), expected.begin(), expected.end())
                   .first - out.text.begin();
    EXPECT_EQ(out.notes, notes);
}

// One statement with many typed parameters and many undeclared assignments: the colons are
// replaced while it is parsed, the scope warnings then go in above it, in front of them.
TEST_F(UpdateTest, ManyColonsAndScopeWarningsInOneStatement) {
    std::string params, body, paramsUpdated;
    std::vector<std::int32_t> colons;
    const std::string head = "a := 1; f := proc(";
    for (int i = 0; i < 40; ++i) {
        std::string n = std::to_string(i);
        if (i > 0) { params += ", "; paramsUpdated += ", "; }
        params += "p" + n;
        colons.push_back(size_of(head) + size_of(params) + i);   // i colons before it are "::"
        params += ":integer";
        paramsUpdated += "p" + n + "::integer";
        body += " q" + n + " := p" + n + ";";
    }
    const std::string input = head + params + ")" + body + " end;\n";
    std::vector<Note> notes;
    for (std::int32_t at : colons) notes.push_back({at, kColon});
    std::string warnings;
    for (int i = 0; i < 40; ++i) {
        std::string message = implicit_local("q" + std::to_string(i));
        warnings += warning(message);
        notes.push_back({8 + size_of(warnings), message});   // the statement starts at 8
    }
    Noted out = update_noted(input);
    EXPECT_EQ(out.error, "");
    EXPECT_EQ(out.text, warnings + head + paramsUpdated + ")" + body + " end;\n");
    EXPECT_EQ(out.notes, notes);
}

TEST_F(UpdateTest, ExactFitSucceeds) {
    // The text and its NUL fill the buffer; the replacement shrinks it by one.
    std::string input = "rgf_seq;";
    Outcome out = update(input, std::int32_t(input.size() + 1));
    EXPECT_EQ(out.error, "");
    EXPECT_EQ(out.text, "ratseq;");
}

TEST_F(UpdateTest, ErrorHookIsRemovedAfterTheRun) {
    update("f := proc(x:integer) x end;\n");
    const char* error = nullptr;
    Dag d = parse_text_full("proc(x:integer) x end;", &error, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr, false);
    EXPECT_EQ(d, nullptr);
    ASSERT_NE(error, nullptr);
    EXPECT_STREQ(error, "`:` is obsolete, use `::` instead");
}

// ---- the scope check on parsed statements ----------------------------------------------------------

std::intptr_t ref(const DagWord* d, unsigned type) {
    EXPECT_EQ(dag_type(d), type);
    return dag_type(d) == type ? dag_word(d, 1) : 99999;
}

TEST_F(UpdateTest, NamesBecomeReferences) {
    Dag p = parse_text("proc(a) local b; b := a + c; nargs, args, procname end;");
    ASSERT_NE(p, nullptr);
    update_scope_check(p, sink_ignore_error, nullptr);
    Dag body = dag_op(p, 5);
    ASSERT_EQ(dag_type(body), DAG_STATSEQ);
    Dag assign = dag_op(body, 1);
    EXPECT_EQ(ref(dag_op(assign, 1), DAG_LOCAL), 1);
    Dag sum = dag_op(assign, 2);
    ASSERT_EQ(dag_type(sum), DAG_SUM);
    EXPECT_EQ(ref(dag_op(sum, 1), DAG_PARAM), 1);
    EXPECT_EQ(dag_type(dag_op(sum, 3)), DAG_NAME);   // c is global
    Dag seq = dag_op(body, 2);
    ASSERT_EQ(dag_type(seq), DAG_EXPSEQ);
    EXPECT_EQ(ref(dag_op(seq, 1), DAG_PARAM), 0);
    EXPECT_EQ(ref(dag_op(seq, 2), DAG_PARAM), -1);
    EXPECT_EQ(ref(dag_op(seq, 3), DAG_PARAM), -2);
}

TEST_F(UpdateTest, ImplicitLocalsJoinTheLocals) {
    Dag p = parse_text("proc() local a; a := 1; z := 2; z end;");
    ASSERT_NE(p, nullptr);
    update_scope_check(p, sink_ignore_error, nullptr);
    Dag locals = dag_op(p, 2);
    ASSERT_EQ(dag_length(locals), 3u);
    EXPECT_STREQ(dag_text(dag_op(locals, 2)), "z");
    Dag body = dag_op(p, 5);
    EXPECT_EQ(ref(dag_op(dag_op(body, 2), 1), DAG_LOCAL), 2);
    EXPECT_EQ(ref(dag_op(body, 3), DAG_LOCAL), 2);
}

TEST_F(UpdateTest, LexicalTableOfANestedProcedure) {
    Dag p = parse_text("proc(x) local y; proc() x + y end end;");
    ASSERT_NE(p, nullptr);
    std::vector<std::string> reports;
    update_scope_check(
        p, [](void* c, const char* m) { static_cast<std::vector<std::string>*>(c)->push_back(m); },
        &reports);
    EXPECT_EQ(reports, (std::vector<std::string>{"`x` is a lexically scoped parameter",
                                                 "`y` is a lexically scoped local"}));
    Dag inner = dag_op(dag_op(p, 5), 1);
    ASSERT_EQ(dag_type(inner), DAG_PROC);
    Dag table = dag_op(inner, 8);
    ASSERT_EQ(dag_length(table), 5u);
    EXPECT_STREQ(dag_text(dag_op(table, 1)), "x");
    EXPECT_EQ(ref(dag_op(table, 2), DAG_PARAM), 1);
    EXPECT_STREQ(dag_text(dag_op(table, 3)), "y");
    EXPECT_EQ(ref(dag_op(table, 4), DAG_LOCAL), 1);
    Dag sum = dag_op(dag_op(inner, 5), 1);
    EXPECT_EQ(ref(dag_op(sum, 1), DAG_LEXICAL), -1);
    EXPECT_EQ(ref(dag_op(sum, 3), DAG_LEXICAL), 2);
    // The outer procedure's own names.
    EXPECT_EQ(dag_type(dag_op(p, 8)), DAG_EXPSEQ);
    EXPECT_TRUE(dag_is_null(dag_op(p, 8)));
}

TEST_F(UpdateTest, StatementsOutsideProceduresKeepTheirNames) {
    Dag s = parse_text("y := x + 1;");
    ASSERT_NE(s, nullptr);
    std::vector<std::string> reports;
    update_scope_check(
        s, [](void* c, const char* m) { static_cast<std::vector<std::string>*>(c)->push_back(m); },
        &reports);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(dag_type(dag_op(s, 1)), DAG_NAME);
}

TEST_F(UpdateTest, LargeTextKeepsItsStatements) {
    std::string input;
    for (int i = 0; i < 500; ++i) input += "f" + std::to_string(i) + " := rgf_seq(\"):\n";
    Outcome out = update(input);
    EXPECT_EQ(out.error, "");
    EXPECT_EQ(out.messages.size(), 1000u);
    EXPECT_EQ(out.text.find("rgf_seq"), std::string::npos);
    EXPECT_NE(out.text.find("f499 := ratseq(%):\n"), std::string::npos);
}

}  // namespace
