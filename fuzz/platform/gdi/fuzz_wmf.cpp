// Feeds arbitrary bytes to the placeable-header reader, SetMetaFileBitsEx and the player: nothing
// may read out of bounds, and a metafile the layer accepts must play with every object the
// target is handed coming from a slot the table holds.
#include <cstdint>
#include <cstdlib>

#include "platform/gdi/gdi.h"
#include "platform/gdi/placeable.h"
#include "platform/gdi/wmf_player.h"

namespace {

// Counts the calls and checks what the player promises its targets.
class CountingTarget : public MetafileTarget {
public:
    long calls = 0;
    void createFont(int slot, const LOGFONTA& f) override {
        check(slot);
        if (f.lfFaceName[LF_FACESIZE - 1] != '\0') std::abort();
    }
    void createPen(int slot, const LOGPEN&) override { check(slot); }
    void createBrush(int slot, const LOGBRUSH&) override { check(slot); }
    void selectObject(int slot, const MetafileObject&) override { check(slot); }
    void deleteObject(int slot) override { check(slot); }
    void polyline(std::span<const POINT> p) override { points(p); }
    void polygon(std::span<const POINT> p) override { points(p); }
    void textOut(int, int, std::string_view s) override { touch(s); }
    void extTextOut(int, int, UINT, const RECT*, std::string_view s, std::span<const int16_t> dx) override {
        touch(s);
        touch(dx);
    }
    void stretchDib(const RECT&, const RECT&, uint32_t, const MetafileDib& dib) override {
        if (dib.rows.size() != MetafileDib::rowBytes(dib.width, dib.bitCount) * std::size_t(dib.height)) std::abort();
        touch(std::span<const uint8_t>(dib.rows));
    }

private:
    void points(std::span<const POINT> p) {
        for (const POINT& q : p) calls += (q.x ^ q.y) & 1;
    }
    void check(int slot) {
        ++calls;
        if (slot < 0 || static_cast<std::size_t>(slot) >= kMaxObjects) std::abort();
    }
    // Reads every element, so that AddressSanitizer sees a view that runs past its bytes.
    template <class R>
    void touch(const R& r) {
        ++calls;
        for (auto v : r) calls += static_cast<long>(v) & 1;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PlaceableHeader header;
    const uint8_t* bits = data;
    size_t bitsSize = size;
    if (placeable_header_read(data, size, header)) {
        bits += PLACEABLE_HEADER_BYTES;
        bitsSize -= PLACEABLE_HEADER_BYTES;
    }
    HMETAFILE mf = SetMetaFileBitsEx(static_cast<UINT>(bitsSize), bitsSize ? bits : nullptr);
    CountingTarget target;
    if (mf) {
        PlayMetaFile(target, mf);
        if (GetMetaFileBitsEx(mf, 0, nullptr) > bitsSize) std::abort();
        DeleteMetaFile(mf);
    }
    wmf_play(data, size, target);
    return 0;
}
