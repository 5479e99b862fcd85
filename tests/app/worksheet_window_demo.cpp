// The worksheet program as it starts for a user, with one addition for the test that drives it
// over X11 (worksheet_window_xvfb.sh): while the file named by KELVO_WRITE_REQUEST exists, the
// program writes the active worksheet with Document::writeWorksheet to the path the file holds,
// and beside it (path + ".tree") the element tree, one line per paragraph and inline element:
//   PARA <style>, INPUT <text>, TEXT <text>, MATH <text>   (indented by depth)
// then removes the request.  The program has no Save of its own yet.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "app/KMainFrame.h"
#include "app/KWorksheetApp.h"
#include "app/KWorksheetWindow.h"
#include "document/elements/InputTextElement.h"
#include "document/elements/MathElement.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/TextElement.h"
#include "document/exec/WorksheetDocument.h"
#include "document/records/KWorksheetWriter.h"
#include "platform/gui/Application.h"

namespace {

void dumpTree(std::FILE* out, Element* e, int depth) {
    if (!e) return;
    std::string line(static_cast<std::size_t>(depth) * 2, ' ');
    if (auto* p = dynamic_cast<ParagraphElement*>(e)) line += "PARA " + std::to_string(p->styleIndex);
    else if (auto* i = dynamic_cast<InputTextElement*>(e)) line += std::string("INPUT ") + i->text();
    else if (auto* t = dynamic_cast<TextElement*>(e)) line += std::string("TEXT ") + t->text();
    else if (auto* m = dynamic_cast<MathElement*>(e)) line += "MATH " + m->text();
    else line += "KIND " + std::to_string(e->elementKind());
    std::fprintf(out, "%s\n", line.c_str());
    for (int k = 0, n = e->childCount(); k < n; ++k) dumpTree(out, e->childAt(k), depth + 1);
}

class RequestTimer : public Timer {
public:
    void Timeout() override {
        const char* request = std::getenv("KELVO_WRITE_REQUEST");
        if (!request) return;
        std::ifstream in(request);
        std::string path;
        if (!in || !std::getline(in, path) || path.empty()) return;
        in.close();
        auto* window = dynamic_cast<KWorksheetWindow*>(KMainFrame::activeWorksheet());
        bool ok = false;
        if (window && window->document()) {
            KWorksheetWriter writer;
            ok = writer.open(path) && window->document()->writeWorksheet(writer, nullptr, nullptr, true);
            if (std::FILE* tree = std::fopen((path + ".tree").c_str(), "w")) {
                dumpTree(tree, window->document()->root(), 0);
                std::fclose(tree);
            }
        }
        std::remove(request);
        std::printf("WROTE %s %d\n", path.c_str(), ok ? 1 : 0);
        std::fflush(stdout);
    }
};

class DemoApp : public KWorksheetApp {
public:
    DemoApp() {
        onLoopRunning = [this](KWorksheetApp&) {
            timer_ = std::make_unique<RequestTimer>();
            timer_->setRepeat(true);
            timer_->setTimeout(100);
            timer_->start();
            std::printf("READY\n");
            std::fflush(stdout);
        };
    }
    ~DemoApp() override { timer_.reset(); }

private:
    std::unique_ptr<RequestTimer> timer_;
};

DemoApp application;

}  // namespace

int main(int argc, char** argv) { return gui::runProgram(argc, argv); }
