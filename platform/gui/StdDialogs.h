#pragma once
// The standard dialogs: files, colours, printing and the printer set-up.  Each runs modally
// (gui::LoopScope) in Qt's own dialogs (not the desktop's, so they behave alike everywhere) and
// answers 1 when the user chose and 0 when they cancelled.
//
// FileDialog: style WB_OPEN (4132) or WB_SAVEAS (8228); filters in the order they were added,
// each a name and patterns ("*.kws;*.kw"); the current filter by name; a default extension
// added to a chosen name without one; title; start name; it starts in the process's current
// directory unless the start name names another folder.  getCurFilter tells the filter the user
// chose.  A chosen name that cp1252 cannot hold is refused with a message box and the dialog
// answers 0, so no other file is ever opened or overwritten in its place.
//
// ColorDialog: style WB_COLORDIALOG (32), a start colour, 16-bit components.
// PrintDialog: style WB_PRINTDIALOG (4): printer (Printer::kPdfName is the PDF printer, whose
// output file is part of the choice), copies, collate, page range within the minimum and
// maximum page.  PrinterSetupDialog: the printer only.
//
// Test mode (gui_test.h): each execute takes the next script step of its kind (ChooseFile,
// ChooseColor, ChoosePrinter, or CancelDialog) instead of showing the dialog.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gui/base/Color.h"
#include "platform/gui/base/String.h"

class Window;

enum : uint32_t { WB_OPEN = 4132, WB_SAVEAS = 8228, WB_COLORDIALOG = 32, WB_PRINTDIALOG = 4 };

class FileDialog {
public:
    FileDialog(Window* parent, uint32_t style);
    void addFilter(const String& name, const String& patterns);
    std::size_t getFilterCount() const { return filters_.size(); }
    void setCurFilter(const String& name);
    const String& getCurFilter() const { return curFilter_; }
    // Without the dot ("kws").
    void setDefaultExt(const String& ext) { defaultExt_ = ext; }
    void setText(const String& title) { title_ = title; }
    const String& getText() const { return title_; }
    // The start name (cp1252) before execute; the chosen path after it.
    void setPath(const String& path) { path_ = path; }
    const String& getPath() const { return path_; }
    bool isSave() const { return style_ == WB_SAVEAS; }
    long execute();

private:
    // Takes a chosen path (UTF-8) and filter; false after the cp1252 refusal.
    bool accept(const std::string& utf8Path, const String& filter);
    Window* parent_;
    uint32_t style_;
    std::vector<std::pair<String, String>> filters_;
    String curFilter_, defaultExt_, title_, path_;
};

class ColorDialog {
public:
    explicit ColorDialog(Window* parent, uint32_t style = WB_COLORDIALOG);
    void setColor(const Color& c) { color_ = c; }
    const Color& getColor() const { return color_; }
    long execute();

private:
    Window* parent_;
    Color color_;
};

class PrintDialog {
public:
    explicit PrintDialog(Window* parent, uint32_t style = WB_PRINTDIALOG);
    void setPrinterName(const String& name) { printer_ = name; }
    const String& getPrinterName() const { return printer_; }
    void setCopyCount(int copies) { copies_ = copies < 1 ? 1 : copies; }
    int getCopyCount() const { return copies_; }
    void setCollate(bool on) { collate_ = on; }
    bool isCollate() const { return collate_; }
    void setMinPage(int p) { minPage_ = p; }
    void setMaxPage(int p) { maxPage_ = p; }
    // The range the user asked for; both 0 for all pages.
    void setFirstPage(int p) { first_ = p; }
    void setLastPage(int p) { last_ = p; }
    int getFirstPage() const { return first_; }
    int getLastPage() const { return last_; }
    bool isPageRange() const { return first_ != 0 || last_ != 0; }
    // The PDF printer's output file (UTF-8).
    void setPrintFile(const std::string& path) { file_ = path; }
    const std::string& getPrintFile() const { return file_; }
    long execute();

protected:
    PrintDialog(Window* parent, uint32_t style, bool setupOnly);
    bool setupOnly_ = false;

private:
    Window* parent_;
    String printer_;
    int copies_ = 1;
    bool collate_ = false;
    int minPage_ = 1, maxPage_ = 9999, first_ = 0, last_ = 0;
    std::string file_;
};

class PrinterSetupDialog : public PrintDialog {
public:
    explicit PrinterSetupDialog(Window* parent) : PrintDialog(parent, 0, true) {}
};
