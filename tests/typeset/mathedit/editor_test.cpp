// The math-input editor on a recording double of its math element (a holder and a context on the
// fixed-metric fake device): history, commands, messages, compound edits and the guards.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../dag_build.h"
#include "../fake_device.h"
#include "tovu/print.h"
#include "tovu/storage.h"
#include "typeset/mathedit/MathEditSession.h"

using namespace tb;

namespace {

class RecordingElement : public MathEditElement {
public:
    explicit RecordingElement(Dag expression) : holder_(dag_holder_read(Seq({expression}))) {
        dev_.setKeepPaths(true);
        relayout();
    }
    ~RecordingElement() override {
        holder_->current = nullptr;   // the fake device owns its context
        dag_holder_free(holder_);
    }
    void relayout() override {
        dev_.run(holder_->expression);
        holder_->current = dev_.context();
        ++relayouts;
    }
    void setExpression(const DagWord* dag) override {
        holder_->current = nullptr;
        dag_holder_free(holder_);
        holder_ = dag_holder_read(dag_type(dag) == DAG_EXPSEQ ? dag : Seq({const_cast<Dag>(dag)}));
        relayout();
    }
    void dropLinePictures(int) override { ++drops; }
    void newExpression(const DagWord* dag) override { shown = dag; }
    bool canShowVersionInPlace(int) override { return true; }
    void replaceByInputText(int n) override { elsewhere.push_back(n); }
    void setEndsWithColon(bool on) override { endsWithColon = on; }
    DagHolder* dagHolder() override { return holder_; }
    bool worksheetComputing() override { return computing; }

    std::string printed() const { return print_to_text(holder_->expression); }
    // A typeset position at the start (or the end) of the leaf showing `text`.
    TypesetPath* positionOf(const char* text, bool atEnd = false);

    int relayouts = 0, drops = 0;
    const DagWord* shown = nullptr;
    std::vector<int> elsewhere;
    bool endsWithColon = false;
    bool computing = false;
    FakeDevice dev_;

private:
    DagHolder* holder_;
};

bool find_text(const TypesetNode* n, const char* text, int x, int y, int* ox, int* oy) {
    if (!n) return false;
    if (typeset_is_text_type(n->type) && n->text && std::string(n->text) == text) {
        *ox = x;
        *oy = y;
        return true;
    }
    if (!typeset_is_composite_type(n->type)) return false;
    for (int i = 0; i < n->firstCount; ++i) {
        const TypesetChild& c = n->firstArray[i];
        if (find_text(c.node, text, x + c.x, y + c.y, ox, oy)) return true;
    }
    return false;
}

TypesetPath* RecordingElement::positionOf(const char* text, bool atEnd) {
    int x = 0, y = 0;
    if (!find_text(dev_.root(), text, 0, 0, &x, &y)) return nullptr;
    if (atEnd) x += 2 * int(std::string(text).size()) - 1;
    TypesetContext* ctx = holder_->current;
    int n = typeset_line_at_x(ctx, x);
    int lx = 0, ly = 0;
    typeset_tree_to_line(ctx, n, x, y + 1, &lx, &ly);
    return typeset_find_at_point(ctx, nullptr, n, lx, ly, true);
}

class Editor : public ::testing::Test {
protected:
    void open(Dag expression) {
        element = std::make_unique<RecordingElement>(expression);
        session = std::make_unique<MathEditSession>(element.get());
    }
    // Selects the leaf showing `text`, from its start to its end.
    void select(const char* text) {
        TypesetPath* p = element->positionOf(text);
        TypesetPath* q = element->positionOf(text, true);
        ASSERT_NE(p, nullptr) << text;
        session->setSelection(p, q);
        typeset_path_free(ctx(), p);
        typeset_path_free(ctx(), q);
    }
    void selectWhole() { session->setSelection(nullptr, nullptr); }
    void selectAt(const std::vector<int>& path, int first, int last, bool selected = true) {
        NodeCursor* c = node_cursor_new();
        for (int i : path) int_stack_push(c->path, i);
        c->first = first;
        c->last = last;
        c->selected = selected;
        session->selectCursor(c);
        node_cursor_free(c);
    }
    bool command(int id, const char* text = nullptr, bool flag = false) {
        EditorArgument a;
        a.text = text;
        a.flag = flag;
        return session->editor_command(id, a);
    }
    std::string message() const { return session->errorMessage() ? session->errorMessage() : ""; }
    TypesetContext* ctx() const { return element->dagHolder()->current; }

    std::unique_ptr<RecordingElement> element;
    std::unique_ptr<MathEditSession> session;
};

TEST_F(Editor, UndoRedoAtTheEndsChangeNothing) {
    open(N("x"));
    EXPECT_FALSE(command(EDIT_UNDO));
    EXPECT_EQ(message(), "Nothing to undo");
    EXPECT_FALSE(command(EDIT_REDO));
    EXPECT_EQ(message(), "Nothing to redo");
    EXPECT_EQ(session->entryCount(), 1);
    EXPECT_EQ(element->printed(), "x");
}

TEST_F(Editor, EditAfterTwoUndosDropsTheNewerVersions) {
    open(Fn("f", {N("a"), N("b")}));
    const char* texts[] = {"p", "q", "r"};
    for (const char* t : texts) {
        select(session->entryCount() == 1 ? "a" : texts[session->entryCount() - 2]);
        ASSERT_TRUE(command(EDIT_REPLACE_TEXT, t)) << message();
    }
    EXPECT_EQ(element->printed(), "f(r,b)");
    ASSERT_TRUE(command(EDIT_UNDO));
    ASSERT_TRUE(command(EDIT_UNDO));
    EXPECT_EQ(element->printed(), "f(p,b)");
    select("b");
    ASSERT_TRUE(command(EDIT_REPLACE_TEXT, "z")) << message();
    EXPECT_EQ(element->printed(), "f(p,z)");
    EXPECT_EQ(session->entryCount(), 3);
    EXPECT_FALSE(command(EDIT_REDO));
    EXPECT_EQ(message(), "Nothing to redo");
    ASSERT_TRUE(command(EDIT_UNDO));
    EXPECT_EQ(element->printed(), "f(p,b)");
}

TEST_F(Editor, CommandIds) {
    open(N("x"));
    EXPECT_TRUE(command(EDIT_NOTHING));
    EXPECT_EQ(session->entryCount(), 1);
    for (int id : {int(EDIT_NOT_A_COMMAND), 4015, 4003, 0}) {
        EXPECT_FALSE(command(id)) << id;
        EXPECT_EQ(message(), "Unknown editor command") << id;
    }
}

TEST_F(Editor, DeletingLeavesAPlaceholderAndDeletingThatRemovesIt) {
    open(Fn("f", {N("a"), N("b")}));
    select("a");
    ASSERT_TRUE(command(EDIT_DELETE)) << message();
    EXPECT_EQ(element->printed(), "f(%?,b)");
    EXPECT_TRUE(session->selectionIsPlaceholder());
    ASSERT_TRUE(command(EDIT_DELETE)) << message();
    EXPECT_EQ(element->printed(), "f(b)");
    // Undo walks back through both versions.
    ASSERT_TRUE(command(EDIT_UNDO));
    EXPECT_EQ(element->printed(), "f(%?,b)");
}

TEST_F(Editor, UnparsableTextIsQuotedAndCut) {
    open(Fn("f", {N("a")}));
    select("a");
    const std::string text = "))((:=:=:=;;;;;;;;;;;;;;;;;;;;";
    ASSERT_EQ(text.size(), 30u);
    EXPECT_FALSE(command(EDIT_REPLACE_TEXT, text.c_str()));
    EXPECT_EQ(message(), "Unable to convert \"" + text.substr(0, 25) + " ...\" to an expression");
    EXPECT_EQ(session->entryCount(), 1);
    EXPECT_FALSE(command(EDIT_REPLACE_TEXT, "))"));
    EXPECT_EQ(message(), "Unable to convert \"))\" to an expression");
}

TEST_F(Editor, ColonFlagOnlyForTheWholeExpression) {
    open(Fn("f", {N("a")}));
    select("a");
    ASSERT_TRUE(command(EDIT_REPLACE_TEXT, "b:")) << message();
    EXPECT_FALSE(element->endsWithColon);
    selectWhole();
    EXPECT_TRUE(session->wholeSelected());
    ASSERT_TRUE(command(EDIT_REPLACE_TEXT, "g(c):")) << message();
    EXPECT_TRUE(element->endsWithColon);
    EXPECT_EQ(element->printed(), "g(c)");
}

TEST_F(Editor, MoveLeavesAPlaceholderAsOneUndoStep) {
    open(Fn("f", {N("a"), N("b"), N("c")}));
    // Onto a position inside the selection itself: nothing.
    select("a");
    TypesetPath* inside = element->positionOf("a", true);
    EditorArgument move;
    move.path = inside;
    EXPECT_TRUE(session->editor_command(EDIT_MOVE, move));
    typeset_path_free(ctx(), inside);
    EXPECT_EQ(session->entryCount(), 1);
    // With the whole expression selected: nothing.
    selectWhole();
    TypesetPath* target = element->positionOf("c");
    move.path = target;
    EXPECT_TRUE(session->editor_command(EDIT_MOVE, move));
    EXPECT_EQ(session->entryCount(), 1);
    // Onto another operand: it takes the target's place; its own holds the placeholder.
    select("a");
    EXPECT_TRUE(session->editor_command(EDIT_MOVE, move)) << message();
    typeset_path_free(ctx(), target);
    EXPECT_EQ(element->printed(), "f(%?,b,a)");
    EXPECT_EQ(session->entryCount(), 2);
    ASSERT_TRUE(command(EDIT_UNDO));
    EXPECT_EQ(element->printed(), "f(a,b,c)");
}

TEST_F(Editor, TemplatesWrapTheSelectionOrGoAfterTheCaret) {
    open(Fn("f", {Pow(N("x"), I(2))}));
    selectAt({1, 2}, 1, 1);
    ASSERT_TRUE(command(EDIT_TEMPLATE, "int(%s, %c)")) << message();
    EXPECT_EQ(element->printed(), "f(int(x^2,%?))");
    EXPECT_TRUE(session->selectionIsPlaceholder());
    EXPECT_EQ(session->entryCount(), 2);

    open(Fn("f", {N("a")}));
    selectAt({1, 2}, 1, 1, false);   // a caret on the argument
    EXPECT_FALSE(session->hasSelection());
    ASSERT_TRUE(command(EDIT_TEMPLATE, "int(%s, %c)")) << message();
    EXPECT_EQ(element->printed(), "f(a,int(%?,%?))");
    EXPECT_TRUE(session->selectionIsPlaceholder());
    const EditSelection* e = session->currentEntry();
    EXPECT_EQ(e->cursor()->first, 1);
}

TEST_F(Editor, NavigateFindsPlaceholdersBothWays) {
    open(Fn("f", {N("%?"), N("a"), N("%?")}));
    select("a");
    EXPECT_TRUE(session->navigate(14, 0, nullptr));
    EXPECT_TRUE(session->navigate(14, 1, nullptr));
    EXPECT_EQ(session->currentEntry()->cursor()->first, 3);
    EXPECT_TRUE(session->changed());
    EXPECT_FALSE(session->navigate(14, 0, nullptr));
    EXPECT_TRUE(session->navigate(15, 1, nullptr));
    EXPECT_EQ(session->currentEntry()->cursor()->first, 1);
    EXPECT_FALSE(session->navigate(7, 1, nullptr));
}

TEST_F(Editor, FailureInsideACompoundAppendsNothing) {
    open(Fn("int", {Pow(N("x"), I(2)), N("x")}));
    // A template whose %s lands where the integral wants a name.
    selectAt({1, 2}, 2, 2);
    EXPECT_FALSE(command(EDIT_TEMPLATE, "%s + 1"));
    EXPECT_EQ(message(), "invalid substitution - name required");
    EXPECT_EQ(session->entryCount(), 1);
    EXPECT_EQ(element->printed(), "int(x^2,x)");
}

// ---- faults ---------------------------------------------------------------------------------------

TEST_F(Editor, OversizedSeriesExponentIsRefusedAndTheEditorGoesOn) {
    open(Series(N("x"), {{N("c"), 1}, {N("d"), 2}}));
    selectAt({1}, 3, 3);
    EXPECT_FALSE(command(EDIT_REPLACE_TEXT, "1099511627776"));
    EXPECT_EQ(message(), "integer too large for K_INT");
    EXPECT_EQ(session->entryCount(), 1);
    ASSERT_TRUE(command(EDIT_REPLACE_TEXT, "5")) << message();
    EXPECT_EQ(session->entryCount(), 2);
}

TEST_F(Editor, CursorBeyondItsParentIsRefused) {
    open(Fn("f", {N("a")}));
    selectAt({1, 2}, 4, 4);
    EXPECT_FALSE(command(EDIT_REPLACE_TEXT, "b"));
    EXPECT_EQ(message(), "unknown error");
    selectAt({1, 7}, 1, 1);
    EXPECT_FALSE(command(EDIT_DELETE));
    EXPECT_EQ(message(), "unknown error");
    EXPECT_EQ(element->printed(), "f(a)");
}

TEST_F(Editor, ParseResetsTheDefaultAreaOnlyBetweenComputations) {
    open(Fn("f", {N("a")}));
    select("a");
    // A DAG of the default area that a computation is still using, and a name whose value is
    // set (a reset sets the fields of every name back, so the value tells whether one ran).
    Dag inUse = dag_new2(DAG_EQUATION, dag_of_int(1234567), dag_of_int(7654321));
    Dag marker = dag_name("held_by_a_computation");
    dag_set_interned_field(marker, 1, dag_one);
    StorageArea kernel;
    storage_init(&kernel, 0, "kernel");
    storage_push_area(&kernel);
    element->computing = true;
    EXPECT_TRUE(command(EDIT_REPLACE_TEXT, "b")) << message();
    EXPECT_EQ(storage_stack_top(), 1);
    EXPECT_EQ(print_to_text(inUse), "1234567 = 7654321");
    EXPECT_EQ(dag_op(marker, 1), dag_one);
    storage_pop_area();
    storage_free(&kernel);
    // Computing with only the default area on the stack: still no reset.
    select("b");
    EXPECT_TRUE(command(EDIT_REPLACE_TEXT, "c")) << message();
    EXPECT_EQ(dag_op(marker, 1), dag_one);
    // Idle: the parse's leftovers go at once.
    element->computing = false;
    select("c");
    EXPECT_TRUE(command(EDIT_REPLACE_TEXT, "d")) << message();
    EXPECT_EQ(dag_op(marker, 1), nullptr);
    EXPECT_EQ(element->printed(), "f(d)");
}

}  // namespace
