// The help worksheet of a TEXT reply in its own top-level frame.
#include "app/KHelpDocument.h"

#include "app/KDocFrame.h"
#include "app/KWorksheetWindow.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/SectionElement.h"
#include "document/elements/TextElement.h"
#include "document/exec/WorksheetDocument.h"

namespace {

constexpr int kHelpWidth = 600;
constexpr int kHelpHeight = 400;

}  // namespace

KWorksheetWindow* openHelpDocument(std::unique_ptr<WorksheetDocument> document,
                                   const std::vector<std::string>& paragraphs, KWindowRegistry* registry) {
    if (!document) return nullptr;
    auto* root = new SectionElement();
    for (const std::string& text : paragraphs) {
        auto* paragraph = new ParagraphElement(kHelpTextStyle, nullptr);
        paragraph->insertChild(new TextElement(-1, text.c_str(), static_cast<int>(text.size())), nullptr, kInsertAfter);
        root->insertChild(paragraph, nullptr, kInsertAfter);
    }
    document->setRoot(root);
    WorksheetDocument* doc = document.get();
    auto* frame = new KTopFrame(nullptr);
    auto* window = new KWorksheetWindow(frame, std::move(document), registry, nullptr, kHelpMenuBar, kHelpContextBar);
    if (WorkWindow* frameWindow = frame->frameWindow()) frameWindow->setSizePixel(Size(kHelpWidth, kHelpHeight));
    frame->setSize(kHelpWidth, kHelpHeight);
    window->open(nullptr);
    doc->notifyShown();
    return window;
}
