// The entry of the EPS plot driver library (ps.so), looked up by the plot device table as
// "dllPlotDriverEntry" for the plot device "ps".

#include <cstdint>
#include <exception>
#include <string>

#include "platform/psdriver/EpsPicture.h"
#include "plot/plot_device.h"
#include "plot/render/pipeline.h"
#include "tovu/errors.h"
#include "util/errjump.h"

extern "C" __attribute__((visibility("default"))) std::int32_t dllPlotDriverEntry(
    const char* /*device*/, const char* /*preplot*/, const char* /*postplot*/, const char* /*options*/,
    PlotByteWriter writer, int /*dimension*/, PlotRecord* plot, const char* /*output*/, int /*screenHeight*/,
    int /*screenWidth*/, void (*binary)(), void (*error)(const char*)) {
    // Nothing is thrown past this frame: every failure, of the renderer or of the byte writer,
    // goes to the error callback.
    auto report = [error](const char* message) {
        if (error) error(message);
    };
    if (!writer || !plot) {
        report("the EPS driver was called without a plot or an output");
        return 0;
    }
    StorageArea area;
    storage_init(&area, STORAGE_ALIGN8, "eps-draw");
    struct Release {
        StorageArea* a;
        ~Release() { storage_free(a); }
    } release{&area};
    try {
        ErrorGuard jumps;
        TovuHandlerGuard errors;
        if (binary) binary();
        // An animation is written as its first frame.
        psdriver::EpsPicture picture(plot, plot->first);
        plot_render(plot, &picture, &area, 1);
        std::string document = picture.document();
        for (char c : document) writer(nullptr, static_cast<unsigned char>(c));
        return 1;
    } catch (const TovuError& e) {
        report(e.message.c_str());
    } catch (const ErrorJump&) {
        report("Out of memory");
    } catch (const std::exception& e) {
        report(e.what());
    } catch (...) {
        report("the EPS driver failed");
    }
    return 0;
}
