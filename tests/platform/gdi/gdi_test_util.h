#pragma once
// Test helpers of the metafile layer: a target that logs every call with all its fields, a
// builder of hand-made Windows-metafile records, and the sample picture recorded by hand.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/wmf_player.h"

namespace gdi_test {

// One line per call, every field written out, so that two logs compare field by field.
std::string describe(const LOGFONTA& f);
std::string describe(const LOGPEN& p);
std::string describe(const LOGBRUSH& b);

class CallLog : public MetafileTarget {
public:
    std::vector<std::string> calls;

    void setMapMode(int m) override { add("mapmode " + std::to_string(m)); }
    void setWindowOrg(int x, int y) override { add("winorg " + xy(x, y)); }
    void setWindowExt(int x, int y) override { add("winext " + xy(x, y)); }
    void setTextAlign(UINT a) override { add("textalign " + std::to_string(a)); }
    void setBkMode(int m) override { add("bkmode " + std::to_string(m)); }
    void setBkColor(COLORREF c) override { add("bkcolor " + std::to_string(c)); }
    void setTextColor(COLORREF c) override { add("textcolor " + std::to_string(c)); }
    void createFont(int s, const LOGFONTA& f) override { add("font " + std::to_string(s) + " " + describe(f)); }
    void createPen(int s, const LOGPEN& p) override { add("pen " + std::to_string(s) + " " + describe(p)); }
    void createBrush(int s, const LOGBRUSH& b) override { add("brush " + std::to_string(s) + " " + describe(b)); }
    void selectObject(int s, const MetafileObject&) override { add("select " + std::to_string(s)); }
    void deleteObject(int s) override { add("delete " + std::to_string(s)); }
    void moveTo(int x, int y) override { add("moveto " + xy(x, y)); }
    void lineTo(int x, int y) override { add("lineto " + xy(x, y)); }
    void polyline(std::span<const POINT> p) override { add("polyline" + points(p)); }
    void polygon(std::span<const POINT> p) override { add("polygon" + points(p)); }
    void rectangle(int l, int t, int r, int b) override { add("rect " + xy(l, t) + " " + xy(r, b)); }
    void textOut(int x, int y, std::string_view s) override { add("text " + xy(x, y) + " [" + std::string(s) + "]"); }
    void extTextOut(int x, int y, UINT o, const RECT* clip, std::string_view s, std::span<const int16_t> dx) override;
    void saveDC() override { add("save"); }
    void restoreDC(int w) override { add("restore " + std::to_string(w)); }
    void stretchDib(const RECT& d, const RECT& s, uint32_t rop, const MetafileDib& dib) override;

    static std::string xy(int x, int y) { return std::to_string(x) + "," + std::to_string(y); }

private:
    void add(std::string s) { calls.push_back(std::move(s)); }
    static std::string points(std::span<const POINT> p);
};

// Hand-made Windows-metafile bits: records of 16-bit words, the header filled at the end.
class WmfBuilder {
public:
    explicit WmfBuilder(uint16_t objects = 4) : objects_(objects) {}
    // A record of the function with these parameter words; size = 3 + words unless given.
    WmfBuilder& record(uint16_t function, const std::vector<uint16_t>& words, long sizeWords = -1);
    // Raw bytes appended as they are (a record cut short, garbage).
    WmfBuilder& raw(std::vector<uint8_t> bytes);
    // The bits, with the end record unless `withEnd` is false; `sizeWords` overrides the header's
    // size field.
    std::vector<uint8_t> bits(bool withEnd = true, long sizeWords = -1) const;

    // Helpers for the usual records.
    WmfBuilder& pen(uint16_t style, int16_t width, COLORREF c);
    WmfBuilder& brush(uint16_t style, COLORREF c);
    WmfBuilder& select(uint16_t slot) { return record(0x012D, {slot}); }
    WmfBuilder& windowOrg(int16_t x, int16_t y) { return record(0x020B, {uint16_t(y), uint16_t(x)}); }
    WmfBuilder& windowExt(int16_t x, int16_t y) { return record(0x020C, {uint16_t(y), uint16_t(x)}); }
    WmfBuilder& moveTo(int16_t x, int16_t y) { return record(0x0214, {uint16_t(y), uint16_t(x)}); }
    WmfBuilder& lineTo(int16_t x, int16_t y) { return record(0x0213, {uint16_t(y), uint16_t(x)}); }

private:
    uint16_t objects_;
    std::vector<uint8_t> body_;
    uint32_t maxRecord_ = 3;
};

// Records the sample picture through the metafile device context `dc`: red Times New Roman text
// with TA_BASELINE, a Symbol character, a bold font, lines of pen widths 0 and 3, a five-point
// polyline, transparent background, fonts selected again and deleted.  `expected` receives the
// calls a CallLog should see when the metafile plays (Windows metafiles: slots from 0).
void recordSample(HDC dc, std::vector<std::string>* expected);

std::vector<uint8_t> metafileBits(HMETAFILE mf);
std::vector<uint8_t> enhMetafileBits(HENHMETAFILE mf);
uint32_t le32(const std::vector<uint8_t>& b, std::size_t at);
uint16_t le16(const std::vector<uint8_t>& b, std::size_t at);

}  // namespace gdi_test
