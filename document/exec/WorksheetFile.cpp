// The worksheet file's top level: Document::writeWorksheet, loadWorksheet, readWorksheet and
// the plain-text import of a file that is not a worksheet.
#include "document/exec/WorksheetFile.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "document/edit/Document.h"
#include "document/tree/ElementPosition.h"
#include "document/exec/ExecutionGroup.h"
#include "document/elements/InputTextElement.h"
#include "document/styles/KViewOptions.h"
#include "document/records/KWorksheetReader.h"
#include "document/records/KWorksheetWriter.h"
#include "document/elements/ParagraphElement.h"
#include "document/exec/PlaceholderElement.h"
#include "document/elements/SectionElement.h"
#include "document/elements/TextElement.h"
#include "document/exec/WorksheetDocument.h"
#include "document/records/WorksheetFileError.h"
#include "document/styles/WorksheetTagTable.h"
#include "util/errjump.h"
#include "util/mem.h"
#include "util/messages.h"

const char* const kTextImportEntries[2] = {"Kelvo Text", "Text"};

namespace {

constexpr int FORMAT_MAJOR = 3;
constexpr int FORMAT_MINOR = 0;
constexpr char PLATFORM_NT[] = "IBM INTEL NT";
constexpr char PLATFORM_WINDOWS[] = "MS-Windows";

// Style flags (StyleSet.h) of the styles a worksheet keeps besides those its elements use,
// and of those a style set file keeps.
constexpr unsigned WORKSHEET_STYLE_MASK = 30;
constexpr unsigned STYLE_FILE_MASK = 31;

constexpr int RELEASE_3_MAJOR = 1;
constexpr int RELEASE_4_MAJOR = 2;
constexpr int RELEASE_3_BOX_STYLE = 16;
constexpr int YES_NO_BOX_STYLE = 64;
constexpr int ANSWER_YES = 2;

constexpr char NOT_FOUND_TEXT[] = "The file %s could not be found.";
constexpr char LOADING_TEXT[] = "Loading worksheet";
constexpr char UNSUPPORTED_TEXT[] =
    "This worksheet contains elements that are not supported on this platform.\n"
    "Your worksheet may be incomplete.";
constexpr char RELEASE_3_TEXT[] =
    "This worksheet was created with Kelvo V Release 3.\n\n"
    "Your worksheet may contain Kelvo language elements that have changed or were updated in "
    "Release 5.  Automatic update of this worksheet is not available.";
constexpr char RELEASE_4_TEXT[] =
    "This worksheet was created with Kelvo V Release 4 and should be updated. \n\n"
    "Your worksheet may contain Kelvo language elements that have changed or were updated in "
    "Release 5.Kelvo can update your worksheet to Release 5, and warn you where changes may "
    "affect your work. \n\nDo you want to update this worksheet?";

bool fileExists(const char* path) {
    struct stat info {};
    return path != nullptr && ::stat(path, &info) == 0;
}

void setBusy(bool on) {
    if (auto busy = worksheetFileHooks().busy) busy(on, on ? LOADING_TEXT : nullptr);
}

// Builds what the plain-text imports read into a section: "#" lines and plain lines become
// text paragraphs, ">" lines input paragraphs; marked lines gather in execution groups.
class SectionImport : public TextImportSink {
public:
    SectionImport(SectionElement* section, bool plain) : section_(section), plain_(plain) {}
    ~SectionImport() override { delete group_; }
    SectionImport(const SectionImport&) = delete;
    SectionImport& operator=(const SectionImport&) = delete;

    void text(const std::string& line) override {
        if (plain_) {
            // The fixed-width character style of the default set.
            append(section_, new TextElement(FIXED_WIDTH_STYLE, line.c_str(), int(line.size())));
            return;
        }
        append(pendingGroup(), new TextElement(-1, line.c_str(), int(line.size())));
    }
    void input(const std::string& line) override {
        append(pendingGroup(), new InputTextElement(1, line.c_str()));
    }
    bool groupComplete() override { return group_ && group_->inputIsComplete(); }
    void endGroup() override {
        ExecutionGroup* group = group_;
        group_ = nullptr;
        if (group && !section_->insertChild(group, nullptr, kInsertAfter)) delete group;
    }

private:
    static constexpr int FIXED_WIDTH_STYLE = 23;

    ExecutionGroup* pendingGroup() {
        if (!group_) group_ = new ExecutionGroup();
        return group_;
    }
    // A style-0 paragraph holding the run, appended to the block.
    static void append(Element* block, Element* run) {
        auto* paragraph = new ParagraphElement(ParagraphElement::STYLE_NORMAL, nullptr);
        if (!paragraph->insertChild(run, nullptr, kInsertAfter)) delete run;
        if (!block->insertChild(paragraph, nullptr, kInsertAfter)) delete paragraph;
    }

    SectionElement* section_;
    bool plain_;
    ExecutionGroup* group_ = nullptr;
};

// The text import of a file that is not a worksheet; null when cancelled or unreadable.
std::unique_ptr<WorksheetDocument> importTextFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in.good()) return nullptr;
    int choice = -1;
    setBusy(false);
    if (auto choose = worksheetFileHooks().chooseTextImport) choice = choose(path, kTextImportEntries, 2);
    setBusy(true);
    if (choice != 0 && choice != 1) return nullptr;
    auto* root = new SectionElement();
    auto document = std::make_unique<WorksheetDocument>(path, root);
    document->holdLayout();
    {
        SectionImport sink(root, choice == 1);
        if (choice == 0) importText(in, sink);
        else importPlainText(in, sink);
    }
    if (root->childCount() == 0) root->insertChild(new ExecutionGroup(ExecutionGroup::WithInput{nullptr}), nullptr, kInsertAfter);
    document->releaseLayout();
    return document;
}

// The notices of a document read from an older or richer file.
void noticesAfterRead(WorksheetDocument& document, const KWorksheetReader& reader) {
    if (reader.unknownRecordSeen) showInfo(UNSUPPORTED_TEXT);
    if (reader.majorVersion == RELEASE_3_MAJOR) {
        askQuestion(RELEASE_3_TEXT, RELEASE_3_BOX_STYLE);
    } else if (reader.majorVersion == RELEASE_4_MAJOR) {
        if (askQuestion(RELEASE_4_TEXT, YES_NO_BOX_STYLE) == ANSWER_YES) document.updateInputSyntax();
    }
}

void clearOut(std::unique_ptr<WorksheetDocument>& document, std::unique_ptr<ElementPosition>& mark,
              std::unique_ptr<KViewOptions>& viewOptions) {
    // The mark stands on an element of the document: it goes first.
    mark.reset();
    viewOptions.reset();
    document.reset();
}

}  // namespace

WorksheetFileHooks& worksheetFileHooks() {
    static WorksheetFileHooks hooks;
    return hooks;
}

// ---- writing ---------------------------------------------------------------------------------------

bool Document::writeWorksheet(KWorksheetWriter& writer, ElementPosition* mark, const KViewOptions* viewOptions,
                              bool whole) {
    try {
        ErrorGuard guard;
        writer.majorVersion = FORMAT_MAJOR;
        writer.minorVersion = FORMAT_MINOR;
        char version[32];
        std::snprintf(version, sizeof version, "%d.%d", FORMAT_MAJOR, FORMAT_MINOR);
        writer.writeRaw("{VERSION ");
        writer.writeInt(FORMAT_MAJOR).writeInt(FORMAT_MINOR);
        writer.writeQuotedCStr(PLATFORM_NT).writeQuotedCStr(version);
        writer.writeRaw("}\n");
        if (StyleSet* styles = styleSet()) {
            if (whole) {
                markUsedStyles(root());
                styles->setUsedMarks(WORKSHEET_STYLE_MASK, true);
            } else {
                styles->setUsedMarks(STYLE_FILE_MASK, true);
            }
            styles->writeStyleTable(writer, true, true);
        }
        if (whole) {
            if (Element* top = root()) {
                WalkControl control;
                control.flags = WALK_BEFORE | WALK_AFTER;
                control.writer = &writer;
                top->walkMethod(&Element::writeElement, control);
            }
            if (mark) writeMark(writer, *mark);
            if (viewOptions) viewOptions->write(writer);
        }
        writer.writeRaw("\n");
        writer.flush();
    } catch (const ErrorJump&) {
        return false;
    }
    return true;
}

// ---- reading ----------------------------------------------------------------------------------------

bool readWorksheet(KWorksheetReader& reader, const char* path, std::unique_ptr<WorksheetDocument>& document,
                   std::unique_ptr<ElementPosition>& mark, std::unique_ptr<KViewOptions>& viewOptions,
                   bool quiet) {
    clearOut(document, mark, viewOptions);
    worksheetTagTable.resetReadState();
    try {
        ErrorGuard guard;
        std::string token;
        reader.readToken(token);
        if (token != "{VERSION") raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
        reader.readInt(reader.majorVersion);
        reader.readInt(reader.minorVersion);
        reader.readStringDefault(reader.platformName);
        reader.platformIsNt = reader.platformName == PLATFORM_NT;
        reader.platformIsWindows = reader.platformName == PLATFORM_WINDOWS;
        reader.skipRecord();
    } catch (const ErrorJump&) {
        if (reader.braceDepth() > 0) reader.skipToDepth(0);
        return false;
    }

    bool good = true;
    try {
        ErrorGuard guard;
        document = std::make_unique<WorksheetDocument>(quiet ? nullptr : path);
        document->fileMajorVersion = reader.majorVersion;
        document->fileMinorVersion = reader.minorVersion;
        if (reader.majorVersion > RELEASE_3_MAJOR) document->styleSet()->readUserStyleTable(reader);
        worksheetTagTable.styleSet = document->styleSet();

        // The element records up to the first section: it is the root, and what follows it is
        // the mark and the view options.  A section record without children builds no element;
        // as the root (an empty worksheet saved) it is an empty root, so that the mark and the
        // view options after it are still read as such.
        Element* root = nullptr;
        for (;;) {
            Element* element = nullptr;
            std::string token;
            reader.readToken(token);
            if (!worksheetTagTable.readNewRepFrom(token, reader, element, nullptr, true, nullptr)) break;
            if (!element && token == "{SECT") {
                root = new SectionElement();
                break;
            }
            if (!element) continue;
            if (element->elementKind() == KIND_SECTION) {
                root = element;
                break;
            }
            delete element;
        }
        if (!root) root = new SectionElement();
        document->setRoot(root);
        root->insertChild(new PlaceholderElement, nullptr, kInsertAfter);

        auto position = std::make_unique<ElementPosition>(document.get());
        if (readMark(reader, *position, root)) {
            mark = std::move(position);
            auto options = std::make_unique<KViewOptions>();
            if (options->read(reader)) viewOptions = std::move(options);
        }
    } catch (const ErrorJump&) {
        good = false;
    }
    // The read state names the style set and groups of this document: none of it may outlive
    // the read.
    worksheetTagTable.resetReadState();
    if (!good) clearOut(document, mark, viewOptions);
    return good;
}

bool loadWorksheet(const char* path, std::unique_ptr<WorksheetDocument>& document,
                   std::unique_ptr<ElementPosition>& mark, std::unique_ptr<KViewOptions>& viewOptions,
                   bool quiet) {
    clearOut(document, mark, viewOptions);
    if (!fileExists(path)) {
        if (!quiet) {
            std::string text = NOT_FOUND_TEXT;
            text.replace(text.find("%s"), 2, path ? path : "");
            showMessage(text.c_str());
        }
        return false;
    }
    if (!quiet) setBusy(true);
    try {
        ErrorGuard guard;
        bool isWorksheet = false;
        {
            KWorksheetReader first;
            if (!first.open(path)) raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
            std::string token;
            first.readToken(token);
            isWorksheet = token == "{VERSION";
        }
        if (isWorksheet) {
            KWorksheetReader reader;
            if (!reader.open(path)) raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
            if (readWorksheet(reader, path, document, mark, viewOptions, quiet) && document) {
                if (!quiet) noticesAfterRead(*document, reader);
            } else {
                clearOut(document, mark, viewOptions);
            }
        } else if (!quiet) {
            document = importTextFile(path);
        }
    } catch (const ErrorJump&) {
        clearOut(document, mark, viewOptions);
    }
    if (!quiet) setBusy(false);
    if (mem_out_of_memory()) reportOutOfMemory("load");
    return document != nullptr;
}
