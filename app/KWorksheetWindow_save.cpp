// Saving and exporting from the worksheet window: Save, Save As with its five file types, and
// the writer of each type.
//
// Worksheets, text and LaTeX never write over the file itself: the content goes to a temporary
// file beside it, which replaces the file only after every write, the flush to the disk and the
// close went well (replace_file).  A failure leaves the old file as it was and the document
// modified.  Nothing is created before the LaTeX options question is answered with OK.
#include <sstream>
#include <string>

#include "app/KMainFrameInterface.h"
#include "app/KMainFrame.h"
#include "app/KStatusBar.h"
#include "app/KWindowRegistry.h"
#include "app/KWorksheetApp.h"
#include "app/KWorksheetWindow.h"
#include "app/dialogs/KLatexOptionsDialog.h"
#include "document/exec/WorksheetDocument.h"
#include "document/export/LatexExport.h"
#include "document/records/KExportWriter.h"
#include "document/records/KWorksheetWriter.h"
#include "document/tree/ViewCaret.h"
#include "document/views/WindowView.h"
#include "platform/gui/StdDialogs.h"
#include "platform/gui/base/FilePath.h"
#include "platform/os/replace_file.h"
#include "util/messages.h"

#include <unistd.h>

namespace {

struct SaveTypeRow {
    int type;
    const char* filter;
    const char* patterns;
    const char* extension;   // without the dot
};

// The file dialog's filters, in the order it lists them.
constexpr SaveTypeRow kSaveTypes[] = {
    {KWorksheetWindow::kSaveWorksheet, "Kelvo Worksheet", "*.kws", "kws"},
    {KWorksheetWindow::kSaveKelvoText, "Kelvo Text", "*.txt", "txt"},
    {KWorksheetWindow::kSaveText, "Text", "*.txt", "txt"},
    {KWorksheetWindow::kSaveHtml, "HTML Source", "*.html;*.htm", "html"},
    {KWorksheetWindow::kSaveLatex, "LaTeX Source", "*.tex", "tex"},
};

const SaveTypeRow& rowOfType(int type) {
    for (const SaveTypeRow& row : kSaveTypes)
        if (row.type == type) return row;
    return kSaveTypes[0];
}

// The type a filter name stands for; 0 for a name that is none of the five.
int typeOfFilter(const std::string& name) {
    for (const SaveTypeRow& row : kSaveTypes)
        if (name == row.filter) return row.type;
    return 0;
}

void showStatusText(const char* text) {
    if (KWorksheetApp* app = worksheetApp(); app && app->frame)
        if (KStatusBar* bar = app->frame->statusBar()) bar->setStatusMessage(String(text));
}

// The status text and the busy pointer for the life of the scope.
class BusyStatus {
public:
    BusyStatus(Window* window, const char* text) : window_(window), old_(window->getPointer()) {
        showStatusText(text);
        window_->setPointer(Pointer(POINTER_WAIT));
    }
    ~BusyStatus() {
        window_->setPointer(old_);
        showStatusText("");
    }
    BusyStatus(const BusyStatus&) = delete;
    BusyStatus& operator=(const BusyStatus&) = delete;

private:
    Window* window_;
    Pointer old_;
};

std::string directoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Whether a file can be made at the path (or the file there replaced): its directory takes new
// files, and an existing file is not write-protected.
bool canReplace(const std::string& path) {
    const std::string target = resolve_link_target(path);
    if (::access(target.c_str(), F_OK) == 0 && ::access(target.c_str(), W_OK) != 0) return false;
    return ::access(directoryOf(target).c_str(), W_OK | X_OK) == 0;
}

// The path with its extension (from the last '.' of its name) replaced.
std::string withExtension(const std::string& path, const char* extension) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    const std::string base = dot != std::string::npos && (slash == std::string::npos || dot > slash) ? path.substr(0, dot) : path;
    return base + "." + extension;
}

}  // namespace

bool KWorksheetWindow::save() {
    if (!document_) return false;
    const std::string path = document_->filePath();
    if (!document_->isHelpDocument() && !path.empty()) return writeFile(path, kSaveWorksheet);
    return saveAs(kSaveWorksheet);
}

bool KWorksheetWindow::saveAs(int type) {
    if (!document_) return false;
    const SaveTypeRow& row = rowOfType(type);
    FileDialog dialog(this, WB_SAVEAS);
    for (const SaveTypeRow& r : kSaveTypes) dialog.addFilter(String(r.filter), String(r.patterns));
    dialog.setCurFilter(String(row.filter));
    dialog.setDefaultExt(String(row.extension));
    const std::string current = document_->filePath();
    if (type != kSaveWorksheet && !current.empty()) dialog.setPath(String(withExtension(current, row.extension).c_str()));
    if (!dialog.execute()) return false;
    const std::string path = dialog.getPath().str();
    if (path.empty()) return false;
    int chosen = typeOfFilter(dialog.getCurFilter().str());
    if (chosen == 0) {
        showMessage("Unknown file type: saving as text");
        chosen = kSaveText;
    }
    if (!writeFile(path, chosen)) return false;
    if (chosen == kSaveWorksheet) {
        if (document_->isHelpDocument()) document_->leaveHelp();
        document_->setTitle(path.c_str());
        view()->setTitle(document_->title());
        // Opening the new file again must find this window.
        if (registry_) registry_->add(this, path, KWindowRegistry::kModeFile);
        if (KWorksheetApp* app = worksheetApp()) {
            FilePath dir = FilePath::fromNative(path);
            dir.makeAbsolute();
            dir.cutName();
            app->optionsHost().applicationPath(APP_PATH_SAVEAS) = dir;
        }
    }
    return true;
}

bool KWorksheetWindow::writeFile(const std::string& path, int type) {
    if (!document_) return false;
    bool ok = false;
    switch (type) {
    case kSaveLatex:
    case kSaveKelvoText:
    case kSaveText: {
        if (!canReplace(path)) {
            showMessage("Unable to create file");
            return false;
        }
        std::ostringstream text;
        if (type == kSaveLatex) {
            KLatexOptionsDialog options(this);
            // Cancel writes nothing: the file that was there stays as it was.
            if (!options.execute()) return true;
            std::string base = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
            if (const std::size_t dot = base.rfind('.'); dot != std::string::npos) base.resize(dot);
            BusyStatus busy(this, "Exporting to LaTeX");
            KLatexExportWriter writer(&text, 70);
            ok = document_->exportLatex(writer, options.widthPoints, options.latex2e, path, base) &&
                 !writer.streamFailed();
        } else {
            BusyStatus busy(this, "Exporting as Text");
            KExportWriter writer(&text, type == kSaveKelvoText ? 70 : 0);
            if (type == kSaveText) {
                writer.prefixes[0] = "";
                writer.prefixes[1] = "> ";
                writer.prefixes[2] = "";
            }
            ok = document_->exportText(writer) && !writer.streamFailed();
        }
        if (ok) ok = replace_file_contents(path, text.str()) == 0;
        if (!ok) showMessage("Failure exporting worksheet");
        break;
    }
    case kSaveHtml: {
        BusyStatus busy(this, "Exporting to HTML");
        KString error;
        ok = document_->exportHtml(FilePath::fromNative(path), error);
        if (!ok) showMessage(error.length() > 0 ? error.text() : "Failure exporting worksheet");
        break;
    }
    default: {
        type = kSaveWorksheet;
        if (!canReplace(path)) {
            showMessage("Unable to open the file.");
            return false;
        }
        KViewOptions options;
        getViewOptions(options);
        viewOptions_ = options;
        bool opened = true;
        int error = 0;
        {
            BusyStatus busy(this, "Saving worksheet");
            error = replace_file(path, [&](const std::string& temp) {
                KWorksheetWriter writer;
                if (!writer.open(temp)) {
                    opened = false;
                    return false;
                }
                const bool written = document_->writeWorksheet(writer, caret(), &viewOptions_, true);
                return writer.close() && written;
            });
        }
        ok = error == 0;
        if (!ok) {
            showMessage(opened ? "Failure saving worksheet." : "Unable to open the file.");
            return false;
        }
        document_->modified = false;
        break;
    }
    }
    if (ok && (type == kSaveWorksheet || type == kSaveKelvoText || type == kSaveText))
        if (KMainFrameInterface* frame = KMainFrameInterface::current()) frame->addRecentFile(path.c_str());
    return ok;
}
