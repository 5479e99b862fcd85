// File, colour and print dialogs (rules in StdDialogs.h).
#include "platform/gui/StdDialogs.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include "platform/gui/Application.h"
#include "platform/gui/Dialog.h"
#include "platform/gui/Printer.h"
#include "platform/gui/Window.h"
#include "platform/gui/gui_test.h"
#include "platform/gui/qt_text.h"

namespace {

QWidget* peerOf(Window* w) { return w ? static_cast<QWidget*>(w->getNativeHandle()) : nullptr; }

// "*.kws;*.kw" -> "Kelvo Worksheet (*.kws *.kw)", as Qt's dialog names a filter.
QString qtFilter(const String& name, const String& patterns) {
    QString p = gui::toQString(patterns);
    p.replace(QLatin1Char(';'), QLatin1Char(' '));
    return gui::toQString(name) + QStringLiteral(" (") + p.simplified() + QLatin1Char(')');
}

}  // namespace

// ---- FileDialog ----

FileDialog::FileDialog(Window* parent, uint32_t style) : parent_(parent), style_(style) {
    title_ = String(style == WB_SAVEAS ? "Save As" : "Open");
}

void FileDialog::addFilter(const String& name, const String& patterns) {
    filters_.emplace_back(name, patterns);
    if (filters_.size() == 1 && curFilter_.isEmpty()) curFilter_ = name;
}

void FileDialog::setCurFilter(const String& name) {
    for (const auto& f : filters_)
        if (f.first == name) curFilter_ = name;
}

bool FileDialog::accept(const std::string& utf8Path, const String& filter) {
    QString path = QString::fromUtf8(utf8Path.data(), static_cast<qsizetype>(utf8Path.size()));
    if (path.isEmpty()) return false;
    // The default extension goes onto a name without one (only when saving: an opened file
    // must be the one chosen).
    QFileInfo info(path);
    if (isSave() && !defaultExt_.isEmpty() && info.suffix().isEmpty() && !path.endsWith(QLatin1Char('.')))
        path += QLatin1Char('.') + gui::toQString(defaultExt_);
    std::size_t replaced = 0;
    String chosen = gui::fromQString(path, &replaced);
    if (replaced != 0 || path.contains(QChar(0))) {
        // The program names files in cp1252: a "?" in place of a character would name another
        // file, which could then be read or overwritten.
        ErrorBox(parent_, WB_ERRORBOX_STYLE,
                 String("The file name \"") + chosen + String("\" contains characters that cannot be used here. "
                                                             "Please choose another name."))
            .execute();
        return false;
    }
    path_ = chosen;
    if (!filter.isEmpty()) setCurFilter(filter);
    return true;
}

long FileDialog::execute() {
    gui::ensureApplication();
    if (gui::test::isActive()) {
        gui::test::Step s;
        const std::string what = isSave() ? "save dialog" : "open dialog";
        if (!gui::test::takeStepFor(gui::test::Step::ChooseFile, what, title_.str(), s)) return 0;
        if (s.kind == gui::test::Step::CancelDialog || s.path.empty()) return 0;
        if (!s.text.empty()) {
            bool known = false;
            for (const auto& f : filters_) known |= f.first == String(s.text);
            if (!known) {
                gui::test::recordFailure(what + " \"" + title_.str() + "\" has no filter \"" + s.text + "\"");
                return 0;
            }
        }
        return accept(s.path, String(s.text)) ? 1 : 0;
    }
    QFileDialog dlg(peerOf(parent_), gui::toQString(title_));
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setAcceptMode(isSave() ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(isSave() ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    QStringList names;
    QString current;
    for (const auto& [name, patterns] : filters_) {
        names << qtFilter(name, patterns);
        if (name == curFilter_) current = names.back();
    }
    if (!names.isEmpty()) dlg.setNameFilters(names);
    if (!current.isEmpty()) dlg.selectNameFilter(current);
    QFileInfo start(gui::toQString(path_));
    dlg.setDirectory(!path_.isEmpty() && start.path() != QStringLiteral(".") ? start.absolutePath() : QDir::currentPath());
    if (!path_.isEmpty()) dlg.selectFile(start.fileName());
    gui::LoopScope scope(gui::LoopKind::Modal, [&dlg] { dlg.reject(); });
    int r = dlg.exec();
    scope.rethrowIfFailed();
    if (r != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return 0;
    String filter;
    const QString chosen = dlg.selectedNameFilter();
    for (qsizetype i = 0; i < names.size(); ++i)
        if (names[i] == chosen) filter = filters_[static_cast<std::size_t>(i)].first;
    return accept(dlg.selectedFiles().front().toStdString(), filter) ? 1 : 0;
}

// ---- ColorDialog ----

ColorDialog::ColorDialog(Window* parent, uint32_t) : parent_(parent) {}

long ColorDialog::execute() {
    gui::ensureApplication();
    if (gui::test::isActive()) {
        gui::test::Step s;
        if (!gui::test::takeStepFor(gui::test::Step::ChooseColor, "colour dialog", "Color", s)) return 0;
        if (s.kind == gui::test::Step::CancelDialog) return 0;
        color_ = Color(s.red, s.green, s.blue);
        return 1;
    }
    QColorDialog dlg(QColor::fromRgba64(color_.getRed(), color_.getGreen(), color_.getBlue()), peerOf(parent_));
    dlg.setOption(QColorDialog::DontUseNativeDialog, true);
    gui::LoopScope scope(gui::LoopKind::Modal, [&dlg] { dlg.reject(); });
    int r = dlg.exec();
    scope.rethrowIfFailed();
    if (r != QDialog::Accepted) return 0;
    QRgba64 c = dlg.selectedColor().rgba64();
    color_ = Color(c.red(), c.green(), c.blue());
    return 1;
}

// ---- PrintDialog ----

PrintDialog::PrintDialog(Window* parent, uint32_t) : parent_(parent) { printer_ = String(Printer::kPdfName); }
PrintDialog::PrintDialog(Window* parent, uint32_t, bool setupOnly) : setupOnly_(setupOnly), parent_(parent) {
    printer_ = String(Printer::kPdfName);
}

long PrintDialog::execute() {
    gui::ensureApplication();
    const std::string what = setupOnly_ ? "printer set-up" : "print dialog";
    if (gui::test::isActive()) {
        gui::test::Step s;
        if (!gui::test::takeStepFor(gui::test::Step::ChoosePrinter, what, setupOnly_ ? "Printer Setup" : "Print", s))
            return 0;
        if (s.kind == gui::test::Step::CancelDialog) return 0;
        printer_ = s.text.empty() ? String(Printer::kPdfName) : String(s.text);
        if (!setupOnly_) {
            if (s.firstPage != 0 && (s.firstPage < minPage_ || s.lastPage > maxPage_)) {
                gui::test::recordFailure(what + ": pages " + std::to_string(s.firstPage) + " to " +
                                         std::to_string(s.lastPage) + " lie outside " + std::to_string(minPage_) +
                                         " to " + std::to_string(maxPage_));
                return 0;
            }
            copies_ = s.copies;
            collate_ = s.collate;
            first_ = s.firstPage;
            last_ = s.lastPage;
        }
        if (!s.path.empty()) file_ = s.path;
        return 1;
    }
    QPrinter printer(QPrinter::HighResolution);
    QPrinterInfo info = QPrinterInfo::printerInfo(gui::toQString(printer_));
    if (printer_ == String(Printer::kPdfName) || info.isNull()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file_.empty() ? QDir::current().absoluteFilePath(QStringLiteral("print.pdf"))
                                                : QString::fromStdString(file_));
    } else {
        printer.setPrinterName(info.printerName());
    }
    printer.setCopyCount(copies_);
    printer.setCollateCopies(collate_);
    printer.setFromTo(first_, last_);
    QPrintDialog dlg(&printer, peerOf(parent_));
    dlg.setWindowTitle(setupOnly_ ? QStringLiteral("Printer Setup") : QStringLiteral("Print"));
    dlg.setMinMax(minPage_, maxPage_);
    QAbstractPrintDialog::PrintDialogOptions opts = QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize;
    if (!setupOnly_) opts |= QAbstractPrintDialog::PrintPageRange | QAbstractPrintDialog::PrintCollateCopies;
    dlg.setOptions(opts);
    gui::LoopScope scope(gui::LoopKind::Modal, [&dlg] { dlg.reject(); });
    int r = dlg.exec();
    scope.rethrowIfFailed();
    if (r != QDialog::Accepted) return 0;
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        printer_ = String(Printer::kPdfName);
        file_ = printer.outputFileName().toStdString();
    } else {
        printer_ = gui::fromQString(printer.printerName());
    }
    if (!setupOnly_) {
        copies_ = printer.copyCount();
        collate_ = printer.collateCopies();
        const bool range = dlg.printRange() == QAbstractPrintDialog::PageRange;
        first_ = range ? printer.fromPage() : 0;
        last_ = range ? printer.toPage() : 0;
    }
    return 1;
}
