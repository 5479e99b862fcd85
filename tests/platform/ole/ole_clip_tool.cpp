// The OLE library's clipboard between two processes (run by ole_clipboard_xvfb.sh under Xvfb):
//   ole_clip_tool make <file>    writes a compound file naming "Test Object"
//   ole_clip_tool copy <file>    loads the file as an object and copies it, prints "copied",
//                                then serves the clipboard until a line or end of input arrives
//   ole_clip_tool text <text>    the same with only text on the clipboard
//   ole_clip_tool paste <file>   prints which OLE formats are offered, pastes an object and writes
//                                its bytes; exit status 3 when the paste answers false
#include <poll.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "cfb_writer.h"
#include "ole_lib.h"
#include "platform/gui/Application.h"
#include "platform/gui/Clipboard.h"
#include "platform/os/global_mem.h"

namespace {

// Runs the event loop (which answers other programs' clipboard requests) until standard input
// has a line or ends.
void serveUntilInput()
{
    Timer timer;
    timer.setTimeout(20);
    timer.setRepeat(true);
    timer.setTimeoutHdl(Link([](void*) -> long {
        pollfd in{0, POLLIN, 0};
        if (poll(&in, 1, 0) > 0) Application::quit();
        return 0;
    }));
    timer.start();
    Application::execute();
}

int fail(const char* what)
{
    std::fprintf(stderr, "ole_clip_tool: %s\n", what);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) return fail("usage: make|copy|text|paste <argument>");
    const std::string mode = argv[1];
    if (mode == "make") {
        const auto bytes = cfb_write({cfb_comp_obj("Test Object"), cfb_ole_pres(2540, 1270), {"Contents", std::vector<uint8_t>(6000, 0x5A)}}).bytes;
        std::ofstream(argv[2], std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return 0;
    }
    gui::ensureApplication("ole_clip_tool");
    OleLib lib;
    if (!lib.load(OLEPORT_PATH)) return fail(lib.error.c_str());
    lib.Init(nullptr);
    const OleHandle h = lib.Create(nullptr);
    if (mode == "copy" || mode == "text") {
        Clipboard::clear();
        if (mode == "copy") {
            std::ifstream in(argv[2], std::ios::binary);
            std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
            std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
            GlobalUnlock(block);
            if (lib.createFromFile(h, nullptr, block, static_cast<int32_t>(bytes.size())) != 1) return fail("cannot load the object");
            if (lib.copy(h, nullptr) != 1) return fail("cannot copy the object");
        } else {
            Clipboard::copyString(String(argv[2]));
        }
        std::printf("copied\n");
        std::fflush(stdout);
        serveUntilInput();
    } else if (mode == "paste") {
        std::printf("embedded=%d descriptor=%d\n", Clipboard::hasFormat(Clipboard::registerFormat(String(kOleEmbeddedFormat))),
                    Clipboard::hasFormat(Clipboard::registerFormat(String(kOleDescriptorFormat))));
        if (lib.createFromPaste(h, nullptr) != 1) return 3;
        int32_t length = 0;
        HGLOBAL block = lib.write(h, &length);
        if (block == nullptr || static_cast<std::size_t>(length) != GlobalSize(block)) return fail("pasted object does not write back");
        std::ofstream(argv[2], std::ios::binary).write(static_cast<const char*>(GlobalLock(block)), length);
        GlobalFree(block);
    } else {
        return fail("unknown mode");
    }
    lib.Uninit();
    return 0;
}
