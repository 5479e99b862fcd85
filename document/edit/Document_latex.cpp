// Document::exportLatex: the LaTeX export driver.
//
// The file, in order (lines end in CR LF, the writer's):
//   1. the header comments: "%% Created by Kelvo V Release 5 (IBM INTEL NT)", the source
//      worksheet's title and the time of the export, each written whole (never wrapped: a
//      wrapped comment would continue on a line that is not one);
//   2. the preamble: \documentclass{article} and \usepackage{kelvo2e}, or for LaTeX 2.09 the
//      single \documentstyle[kelvo209]{article};
//   3. one \DefineParaStyle or \DefineCharStyle per style used in the document, paragraph
//      styles first, each kind in strcmp order; the styles that every worksheet uses (paragraph
//      styles 0 and 2, character style 0) and names LaTeX cannot hold are left out;
//   4. \begin{document}, every element's own part (a walk before and after the children),
//      \end{document} and "%% End of Kelvo V Output".
// While the elements export, the program-wide plot device is "ps", so that plots are written
// as EPS files; the device and output names are put back on every path out.

#include "document/edit/Document.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <ios>
#include <string>

#include "document/export/LatexExport.h"
#include "document/records/KExportWriter.h"
#include "document/styles/KStyleList.h"
#include "tovu/ifvars.h"

namespace {

// Puts the plot device and output names back when the export ends, however it ends.
class PlotDeviceRestore {
public:
    explicit PlotDeviceRestore(InterfaceSettings* settings)
        : settings_(settings), device_(settings->plotdevice), output_(settings->plotoutput) {}
    ~PlotDeviceRestore() {
        std::snprintf(settings_->plotdevice, sizeof settings_->plotdevice, "%s", device_.c_str());
        std::snprintf(settings_->plotoutput, sizeof settings_->plotoutput, "%s", output_.c_str());
    }
    PlotDeviceRestore(const PlotDeviceRestore&) = delete;
    PlotDeviceRestore& operator=(const PlotDeviceRestore&) = delete;

private:
    InterfaceSettings* settings_;
    std::string device_;
    std::string output_;
};

// The text of one comment line: line breaks and other control bytes become blanks, so the
// comment cannot end early and leave the rest of the text as LaTeX.
std::string commentText(const char* text) {
    std::string out = text ? text : "";
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    return out;
}

// The local time in the ctime form ("Wed Jun 30 21:49:08 1993\n"), with English names
// whatever the process locale.
std::string ctimeText(std::time_t when) {
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm t{};
    if (!localtime_r(&when, &t) || t.tm_wday < 0 || t.tm_wday > 6 || t.tm_mon < 0 || t.tm_mon > 11) return "\n";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s %s%3d %.2d:%.2d:%.2d %lld\n", days[t.tm_wday], months[t.tm_mon],
                  t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, 1900LL + t.tm_year);
    return buffer;
}

}  // namespace

bool Document::exportLatex(KLatexExportWriter& writer, int option, bool latex2e, const std::string& path,
                           const std::string& baseName) {
    if (!root_) return false;
    KStyleList styles;
    const std::time_t now = latexExportClock();

    try {
        // Header comments, unwrapped.
        writer.setRawText(true);
        for (const char* piece : {"%% Created by Kelvo V", " ", "Release 5", " (", "IBM INTEL NT", ")\n"})
            writer.writeString(piece, true);
        writer.writeString("%% Source Worksheet: " + commentText(title()), true);
        writer.writeString("\n%% Generated: " + ctimeText(now), true);

        if (latex2e) {
            writer.writeString("\\documentclass{article}\n");
            writer.writeString("\\usepackage{kelvo2e}\n");
        } else {
            writer.writeString("\\documentstyle[kelvo209]{article}\n");
        }

        if (styleSet_) {
            markUsedStyles(root_.get());
            styleSet_->setParaStyleUsed(0, false);
            styleSet_->setParaStyleUsed(2, false);
            styleSet_->setCharStyleUsed(0, false);
            styles.fill(styleSet_.get(), 95);
        }
        for (const KStyleList::Entry& entry : styles.entries()) {
            if (!KLatexExportWriter::isUsableName(entry.name)) continue;
            writer.beginMacro((entry.flags & STYLE_CHARACTER) ? "DefineCharStyle" : "DefineParaStyle");
            // Whole: a long name broken at the line's width would gain a blank.
            writer.writeString(entry.name, true);
            writer.endMacro();
        }

        writer.startLine("\\begin{document}\n");
        writer.setRawText(false);

        InterfaceSettings* settings = interface_default_block();
        PlotDeviceRestore restore(settings);
        std::snprintf(settings->plotdevice, sizeof settings->plotdevice, "%s", "ps");

        LatexExportState state;
        state.writer = &writer;
        state.option = option;
        state.latex2e = latex2e;
        state.settings = settings;
        state.baseName = baseName;
        state.path = path;
        WalkControl control;
        control.flags = WALK_BEFORE | WALK_AFTER;
        control.context = &state;
        root_->walkMethod(&Element::exportLatexElement, control);

        writer.startLine("\\end{document}\n");
        writer.writeString("%% End of Kelvo V Output\n");
    } catch (const std::ios_base::failure&) {
        // A stream set to raise on failure: the export failed.
        writer.setRawText(false);
        return false;
    }
    return !writer.streamFailed();
}
