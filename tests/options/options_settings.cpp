// The settings of an options object as text.
#include "options_settings.h"

#include <sstream>

#include "options/KOptions.h"

namespace {
std::string colorText(const Color& c) {
    return std::to_string(c.getRed()) + " " + std::to_string(c.getGreen()) + " " + std::to_string(c.getBlue());
}
}  // namespace

std::string optionsSettingsText(const KOptions& o) {
    std::ostringstream out;
    out << "testMode=" << o.testMode << "\ndebugLevel=" << o.debugLevel << "\nshowToolBar=" << o.showToolBar
        << "\nshowContextBar=" << o.showContextBar << "\nshowStatusBar=" << o.showStatusBar
        << "\nballoonHelp=" << o.balloonHelp << "\nsaveOptions=" << o.saveOptions
        << "\nmainWinMaximized=" << o.mainWinMaximized << "\nmdiWinMaximized=" << o.mdiWinMaximized
        << "\nwindow=" << o.windowX << " " << o.windowY << " " << o.windowWidth << " " << o.windowHeight
        << "\nshowPrompts=" << o.showPrompts << "\nshowInvisible=" << o.showInvisible
        << "\ntranslateTypefaces=" << o.translateTypefaces << "\nlibraryPath=" << o.libraryPath.text()
        << "\nhelpBackground=" << colorText(o.helpBackground) << " default " << o.helpBackgroundDefault
        << "\nplotBackground=" << colorText(o.plotBackground) << " default " << o.plotBackgroundDefault
        << "\ntwoMathFontsSize=" << o.twoMathFontsSize << "\nstackLimit=" << o.stackLimit
        << "\nundoBufferLength=" << o.undoBufferLength << "\nhtmlFrames=" << o.htmlFrames
        << "\nhtmlLiveHelp=" << o.htmlLiveHelp << "\nhtmlLiveHelpPrefix=" << o.htmlLiveHelpPrefix.text()
        << "\nhtmlLiveHelpSuffix=" << o.htmlLiveHelpSuffix.text() << "\nbrowserPercent=" << o.browserPercent
        << "\ntypesetInput=" << o.typesetInput << "\nprettyPrint=" << o.prettyPrint
        << "\nshowAssumed=" << o.showAssumed << "\nplotDevice=" << o.plotDevice.text()
        << "\nlastRevisionStartup=" << o.lastRevisionStartup;
    for (int i = 0; i < PALETTE_COUNT; ++i)
        out << "\npalette" << i << "=" << o.palettes[i].enabled << " " << o.palettes[i].x << " " << o.palettes[i].y;
    out << "\nplotPrinterDpi=" << o.plotPrinterDpi << "\nshowObjects=" << o.showObjects
        << "\nhelpSameWindow=" << o.helpSameWindow << "\nhelpAutoSearch=" << o.helpAutoSearch
        << "\nhelpShowGoodness=" << o.helpShowGoodness;
    for (int kind = 0; kind < APP_PATH_COUNT; ++kind) {
        const FilePath& path = o.host().applicationPath(kind);
        out << "\npath" << kind << "=" << (path.hasError() ? std::string("<error>") : path.getFull().str());
    }
    out << "\n";
    return out.str();
}
