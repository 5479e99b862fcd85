// The plot device table, driver libraries and plot_to_device.

#include "plot/plot_device.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "plot/plot_read.h"
#include "tovu/ifvars.h"
#include "util/errjump.h"

namespace {

PlotDriverEntry table[PLOT_DRIVER_MAX];
int outputFd = -1;
// Bytes of plot_write_byte not yet written to outputFd: one system call per buffer, not per byte.
unsigned char outputBuffer[65536];
std::size_t outputUsed = 0;
struct Loaded {
    char device[256] = "";
    void* handle = nullptr;
    PlotLibraryDriver entry = nullptr;
} loaded;
std::string driverFolder = KELVO_DATA_DIR "/drivers";
std::string driverError;   // set by the library's error callback
bool driverErrorSet = false;
char fallbackMessage[257];

void store_message(void*, const char* message) { std::snprintf(fallbackMessage, sizeof fallbackMessage, "%s", message); }

extern "C" void driver_error_callback(const char* message) {
    if (!driverErrorSet) {
        driverError = message ? message : "";
        driverErrorSet = true;
    }
}
extern "C" void driver_binary_callback() { plot_output_binary(); }

bool valid_device_name(const char* s) {
    if (!s || !*s) return false;
    for (; *s; ++s) {
        char c = *s;
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!ok) return false;
    }
    return true;
}

std::string list_text(const std::int8_t* values, int count) {
    std::string s;
    for (int i = 0; i < count && i < INTERFACE_PLOTLIST_MAX; ++i) s.push_back(static_cast<char>(values[i]));
    return s;
}

}  // namespace

void plot_set_driver_folder(const char* folder) { driverFolder = folder ? folder : ""; }
const char* plot_driver_folder() { return driverFolder.c_str(); }

void plot_driver_reset() {
    for (auto& e : table) e = PlotDriverEntry{};
    if (loaded.handle) dlclose(loaded.handle);
    loaded = Loaded{};
}

int plot_driver_register(const char* device, PlotDriver builtIn, const char* library) {
    for (auto& e : table) {
        if (e.device) continue;
        e.device = device;
        e.builtIn = builtIn;
        e.library = library;
        return 1;
    }
    return 0;
}

static const PlotDriverEntry* find_entry(const char* device) {
    for (const auto& e : table) {
        if (!e.device) return nullptr;
        if (device && std::strcmp(e.device, device) == 0) return &e;
    }
    return nullptr;
}

int plot_driver_find(const char* device) {
    const PlotDriverEntry* e = find_entry(device);
    return e && e->builtIn ? 0 : 1;
}

int plot_driver_load(const char* device, void** handle, PlotLibraryDriver* entry) {
    if (!valid_device_name(device) || std::strlen(device) > 200) return 1;
    std::string path = driverFolder + "/" + device + ".so";
    if (path.size() >= 4096) return 1;
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) return 1;
    void* sym = dlsym(h, "dllPlotDriverEntry");
    if (!sym) {
        dlclose(h);   // a library without the entry is not kept
        return 20;
    }
    *handle = h;
    *entry = reinterpret_cast<PlotLibraryDriver>(sym);
    return 0;
}

std::int32_t plot_driver_dll_call(const char* device, const char* preplot, const char* postplot, const char* options,
                                  PlotByteWriter writer, int dimension, PlotRecord* plot, const char* output,
                                  int screenHeight, int screenWidth) {
    if (!device || !*device) tovu_error("no plot device specified");
    if (std::strcmp(device, loaded.device) != 0 || !loaded.handle) {
        void* handle = nullptr;
        PlotLibraryDriver entry = nullptr;
        int r = plot_driver_load(device, &handle, &entry);
        if (r == 1) tovu_error_fmt("no plot device driver for plotdevice=%s", device);
        if (r == 20) tovu_error_fmt("plot device driver for plotdevice=%s is not a valid Kelvo driver", device);
        if (loaded.handle) dlclose(loaded.handle);
        std::snprintf(loaded.device, sizeof loaded.device, "%s", device);
        loaded.handle = handle;
        loaded.entry = entry;
    }
    driverErrorSet = false;
    driverError.clear();
    std::int32_t result = loaded.entry(device, preplot, postplot, options, writer, dimension, plot, output,
                                       screenHeight, screenWidth, driver_binary_callback, driver_error_callback);
    if (driverErrorSet) tovu_error(driverError.c_str());
    return result;
}

std::int32_t plot_driver_call(const char* device, const char* preplot, const char* postplot, const char* options,
                              PlotByteWriter writer, int, int dimension, PlotRecord* plot, const char* output,
                              int screenHeight, int screenWidth) {
    const PlotDriverEntry* e = find_entry(device);
    if (e && e->builtIn)
        return e->builtIn(device, preplot, postplot, options, writer, dimension, plot, output, screenHeight, screenWidth);
    return plot_driver_dll_call(device, preplot, postplot, options, writer, dimension, plot, output, screenHeight,
                                screenWidth);
}

namespace {

// Writes the buffered bytes; a write that keeps reporting nothing written (a full disk) is given
// up after a few tries.  The buffer is empty afterwards, also when the write failed.
void flush_output() {
    if (outputFd < 0) {
        outputUsed = 0;
        return;
    }
    std::size_t done = 0;
    int idle = 0;
    while (done < outputUsed) {
        ssize_t n = write(outputFd, outputBuffer + done, outputUsed - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            idle = 0;
            continue;
        }
        if ((n < 0 && errno != EINTR && errno != EAGAIN) || ++idle >= 100) {
            outputUsed = 0;
            tovu_error("could not write the plot output");
        }
    }
    outputUsed = 0;
}

}  // namespace

void plot_write_byte(void*, int byte) {
    if (outputFd < 0) return;
    if (outputUsed == sizeof outputBuffer) flush_output();
    outputBuffer[outputUsed++] = static_cast<unsigned char>(byte);
}

void plot_output_binary() {}   // POSIX streams have no text mode

int plot_to_device(const DagWord* structure, PlotByteWriter writer, PlotErrorReporter reporter, int allocatorFlag,
                   const InterfaceSettings* s, int dimension, void* context) {
    if (!writer) writer = plot_write_byte;
    if (!reporter) reporter = store_message;
    if (allocatorFlag) {
        reporter(context, "installable storage allocators not yet implemented");
        return 0;
    }
    StorageArea* area = storage_new(STORAGE_ALIGN8, "plot");
    if (!area) {
        reporter(context, "could not create memory area for plot");
        return 0;
    }
    outputFd = -1;
    outputUsed = 0;
    char message[257] = "";
    bool builtIn = false;
    try {
        TovuHandlerGuard guard;
        try {
            ErrorGuard jumpGuard;
            PlotRecord* plot = plot_read_structure(structure, dimension, area);
            builtIn = plot_driver_find(s->plotdevice) == 0;
            plot->source = builtIn ? structure : nullptr;
            if (writer == plot_write_byte || !builtIn) {
                if (std::strcmp(s->plotoutput, "terminal") == 0) {
                    std::fflush(stdout);
                    outputFd = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
                } else {
                    outputFd = open(s->plotoutput, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
                }
                if (outputFd < 0) tovu_error_fmt("could not open `%s` for writing", s->plotoutput);
            }
            std::string pre = list_text(s->preplot, s->preplotCount);
            std::string post = list_text(s->postplot, s->postplotCount);
            plot_driver_call(s->plotdevice, pre.c_str(), post.c_str(), s->plotoptions ? s->plotoptions : "", writer,
                             outputFd, dimension, plot, s->plotoutput, s->screenheight, s->screenwidth);
            flush_output();
        } catch (const ErrorJump&) {
            tovu_error("Out of memory");
        }
    } catch (const TovuError& e) {
        std::snprintf(message, sizeof message, "%.*s", 256, e.message.c_str());
        outputUsed = 0;
        if (outputFd >= 0) close(outputFd);
        outputFd = -1;
        storage_delete(area);
        reporter(context, message);
        return 0;
    }
    if (outputFd >= 0) close(outputFd);
    outputFd = -1;
    // A built-in driver's object owns the plot from now on; a library driver is done with it.
    if (!builtIn) storage_delete(area);
    return 1;
}
