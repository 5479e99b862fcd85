// Drag and drop: scripted drags between windows (results, actions, refusals, exceptions), the
// drag data as DragServer reads it (own outgoing drag, arriving drags from other programs, the
// paste limits) and the drop step of script files.
#include "platform/gui/DragServer.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/gui/Window.h"
#include "platform/gui/gui_test.h"

namespace {

// A window that answers drop queries and drops as told and records what it saw, including the
// drag's worksheet block as DragServer reads it during the handler.
class DropTarget : public Window {
public:
    DropTarget() : Window(nullptr, WB_FRAME) {
        setSizePixel(Size(120, 80));
        show();
    }
    bool queryDrop(const MouseEvent& e) override {
        queries.push_back(e);
        seenDuringQuery = readBlock();
        return acceptQuery;
    }
    bool drop(const MouseEvent& e) override {
        drops.push_back(e);
        seenDuringDrop = readBlock();
        textDuringDrop = DragServer::pasteString().str();
        if (throwInDrop) throw std::runtime_error("drop failed");
        return acceptDrop;
    }
    std::string readBlock() const {
        std::size_t n = DragServer::getDataLength(format);
        if (n == 0) return "<none>";
        std::string buf(n, '\0');
        EXPECT_EQ(DragServer::pasteData(format, buf.data(), n), n);
        return buf;
    }

    uint32_t format = Clipboard::registerFormat("WREZURU5");
    bool acceptQuery = true, acceptDrop = true, throwInDrop = false;
    std::vector<MouseEvent> queries, drops;
    std::string seenDuringQuery, seenDuringDrop, textDuringDrop;
};

const std::string kBlock("\x01\x80\xFF\x00\x7F" "end", 8);

class DragTest : public ::testing::Test {
protected:
    void SetUp() override {
        gui::test::setScript({});
        gui::test::takeFailures();
        DragServer::clear();
        ASSERT_TRUE(DragServer::copyData(Clipboard::registerFormat("WREZURU5"), kBlock.data(), kBlock.size()));
        ASSERT_TRUE(DragServer::copyString("Caf\xE9"));
    }
    void TearDown() override {
        gui::test::setScript({});
        gui::test::takeFailures();
        DragServer::clear();
    }
    static gui::test::Step dropAt(Window* target, Point p, bool copy) {
        gui::test::Step s;
        s.kind = gui::test::Step::DropAt;
        s.dropTarget = target;
        s.point = p;
        s.state = copy ? 1 : 0;
        return s;
    }
};

TEST_F(DragTest, OwnDragDataIsReadableBeforeTheDragRuns) {
    uint32_t ws = Clipboard::registerFormat("WREZURU5");
    EXPECT_TRUE(DragServer::hasFormat(ws));
    EXPECT_TRUE(DragServer::hasFormat(FORMAT_STRING));
    EXPECT_FALSE(DragServer::hasFormat(FORMAT_PICTURE));
    EXPECT_EQ(DragServer::getDataLength(ws), kBlock.size());
    char small[3] = {'#', '#', '#'};
    EXPECT_EQ(DragServer::pasteData(ws, small, 2), 2u);  // never more than asked
    EXPECT_EQ(small[2], '#');
    EXPECT_EQ(DragServer::pasteData(ws, nullptr, 10), 0u);
    EXPECT_FALSE(DragServer::copyData(FORMAT_STRING, "x", 1));  // not a registered format
    EXPECT_FALSE(DragServer::copyData(0xFFFF, "x", 1));         // never registered
    DragServer::clear();
    EXPECT_FALSE(DragServer::hasFormat(ws));
}

struct DropCase {
    const char* name;
    bool copy;           // Ctrl held
    int allowed;
    bool acceptQuery, acceptDrop;
    int result;          // startDrag's answer
    std::size_t drops;   // drop handler calls
    uint16_t action;     // the action the handlers saw
};

TEST_F(DragTest, ScriptedDropsGiveTheActionTheTargetTook) {
    const DropCase cases[] = {
        {"move", false, DRAG_ALL, true, true, DRAG_MOVE, 1, DROP_MOVE},
        {"copy with Ctrl", true, DRAG_ALL, true, true, DRAG_COPY, 1, DROP_COPY},
        {"copy only allowed", false, DRAG_COPY, true, true, DRAG_COPY, 1, DROP_COPY},
        {"move only allowed, Ctrl held", true, DRAG_MOVE, true, true, 0, 0, 0},
        {"query refused", false, DRAG_ALL, false, true, 0, 0, DROP_MOVE},
        {"drop refused", false, DRAG_ALL, true, false, 0, 1, DROP_MOVE},
    };
    for (const DropCase& c : cases) {
        SCOPED_TRACE(c.name);
        DropTarget source, target;
        target.acceptQuery = c.acceptQuery;
        target.acceptDrop = c.acceptDrop;
        gui::test::setScript({dropAt(&target, Point(30, 40), c.copy)});
        EXPECT_EQ(source.startDrag(Pointer(1000), Pointer(1001), c.allowed), c.result);
        EXPECT_EQ(target.drops.size(), c.drops);
        EXPECT_TRUE(source.queries.empty());
        if (c.action != 0) {
            ASSERT_EQ(target.queries.size(), 1u);
            EXPECT_EQ(target.queries[0].getPosPixel(), Point(30, 40));
            EXPECT_EQ(target.queries[0].getClicks(), c.action);
            EXPECT_EQ(target.seenDuringQuery, kBlock);
        }
        if (c.drops) {
            EXPECT_EQ(target.drops[0].getClicks(), c.action);
            EXPECT_EQ(target.seenDuringDrop, kBlock);
            EXPECT_EQ(target.textDuringDrop, "Caf\xE9");
        }
        EXPECT_EQ(gui::test::stepsLeft(), 0u);
        EXPECT_TRUE(gui::test::takeFailures().empty());
    }
}

TEST_F(DragTest, DropOntoItsOwnWindowWhenNoTargetIsNamed) {
    DropTarget w;
    gui::test::setScript({dropAt(nullptr, Point(5, 6), false)});
    EXPECT_EQ(w.startDrag(Pointer(1000), Pointer(1001)), DRAG_MOVE);
    ASSERT_EQ(w.drops.size(), 1u);
    EXPECT_EQ(w.drops[0].getPosPixel(), Point(5, 6));
}

TEST_F(DragTest, CancelledOrUnscriptedDragsDropNothing) {
    DropTarget w;
    gui::test::Step cancel;
    cancel.kind = gui::test::Step::CancelDialog;
    gui::test::setScript({cancel});
    EXPECT_EQ(w.startDrag(Pointer(1000), Pointer(1001)), 0);
    EXPECT_TRUE(gui::test::takeFailures().empty());

    EXPECT_EQ(w.startDrag(Pointer(1000), Pointer(1001)), 0);  // script ran out
    auto f = gui::test::takeFailures();
    ASSERT_EQ(f.size(), 1u);
    EXPECT_NE(f[0].find("drag"), std::string::npos) << f[0];

    gui::test::setScript({dropAt(&w, Point(1, 1), false)});
    EXPECT_EQ(w.startDrag(Pointer(1000), Pointer(1001), DRAG_LINK), 0);  // nothing it can do
    EXPECT_EQ(gui::test::stepsLeft(), 1u);  // no step taken
    EXPECT_TRUE(w.queries.empty());
}

TEST_F(DragTest, ExceptionInTheDropHandlerReachesTheCodeThatStartedTheDrag) {
    DropTarget source, target;
    target.throwInDrop = true;
    gui::test::setScript({dropAt(&target, Point(2, 2), false)});
    EXPECT_THROW(source.startDrag(Pointer(1000), Pointer(1001)), std::runtime_error);
    // The layer works on afterwards.
    target.throwInDrop = false;
    gui::test::setScript({dropAt(&target, Point(2, 2), false)});
    EXPECT_EQ(source.startDrag(Pointer(1000), Pointer(1001)), DRAG_MOVE);
}

TEST_F(DragTest, DropsFromOtherProgramsAreReadWithTheClipboardLimits) {
    DropTarget w;
    QWidget* peer = static_cast<QWidget*>(w.getNativeHandle());
    ASSERT_NE(peer, nullptr);
    QMimeData foreign;
    foreign.setText(QString::fromUtf8("na\xC3\xAFve\0\xE2\x82\xAC \xCE\xB1", 13));
    foreign.setData("application/x-wkelvo-wrezuru5", QByteArray("\x80\x81", 2));

    QDragEnterEvent enter(QPoint(12, 13), Qt::CopyAction | Qt::MoveAction, &foreign, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(peer, &enter);
    ASSERT_EQ(w.queries.size(), 1u);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::MoveAction);
    EXPECT_EQ(w.queries[0].getPosPixel(), Point(12, 13));
    EXPECT_EQ(w.queries[0].getClicks(), DROP_MOVE);
    EXPECT_EQ(w.seenDuringQuery, std::string("\x80\x81", 2));

    QDropEvent dropEv(QPointF(20, 21), Qt::CopyAction | Qt::MoveAction, &foreign, Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(peer, &dropEv);
    ASSERT_EQ(w.drops.size(), 1u);
    EXPECT_TRUE(dropEv.isAccepted());
    EXPECT_EQ(dropEv.dropAction(), Qt::CopyAction);
    EXPECT_EQ(w.drops[0].getClicks(), DROP_COPY);
    EXPECT_EQ(w.drops[0].getModifier(), KEY_MOD1);
    EXPECT_EQ(w.textDuringDrop, "na\xEFve\x80 ?");  // NUL removed, alpha outside cp1252

    // After the handlers the program's own drag data answers again.
    EXPECT_EQ(DragServer::getDataLength(w.format), kBlock.size());

    // A refused query leaves the event ignored; a copy-only drag with Ctrl up is a copy.
    w.acceptQuery = false;
    QDragEnterEvent move(QPoint(1, 1), Qt::CopyAction, &foreign, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(peer, &move);
    EXPECT_FALSE(move.isAccepted());
    ASSERT_EQ(w.queries.size(), 2u);
    EXPECT_EQ(w.queries.back().getClicks(), DROP_COPY);

    // An oversized block from another program counts as absent.
    QMimeData huge;
    huge.setData("application/x-wkelvo-wrezuru5", QByteArray(static_cast<qsizetype>(Clipboard::kMaxBlock) + 1, 'x'));
    w.acceptQuery = true;
    QDragEnterEvent big(QPoint(1, 1), Qt::MoveAction, &huge, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(peer, &big);
    EXPECT_EQ(w.seenDuringQuery, "<none>");
}

TEST(DragScript, DropStepsParse) {
    struct Row {
        const char* line;
        bool ok;
        Point point;
        int state;
    };
    const Row rows[] = {
        {"drop 10 20", true, Point(10, 20), 0},
        {"drop -5 7 copy", true, Point(-5, 7), 1},
        {"drop 10", false, Point(), 0},
        {"drop 10 20 move", false, Point(), 0},
        {"drop 10 40000", false, Point(), 0},
        {"drop \"10\" 20", false, Point(), 0},
    };
    for (const Row& r : rows) {
        std::vector<gui::test::Step> steps;
        std::string error;
        ASSERT_EQ(gui::test::parseScript(r.line, steps, &error), r.ok) << r.line << ": " << error;
        if (!r.ok) continue;
        ASSERT_EQ(steps.size(), 1u) << r.line;
        EXPECT_EQ(steps[0].kind, gui::test::Step::DropAt) << r.line;
        EXPECT_EQ(steps[0].point, r.point) << r.line;
        EXPECT_EQ(steps[0].state, r.state) << r.line;
        EXPECT_EQ(steps[0].dropTarget, nullptr) << r.line;
    }
}

}  // namespace
