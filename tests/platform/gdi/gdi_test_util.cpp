// Test helpers of the metafile layer.
#include "tests/platform/gdi/gdi_test_util.h"

#include <cstring>

namespace gdi_test {

std::string describe(const LOGFONTA& f) {
    std::string s = "h=" + std::to_string(f.lfHeight) + " w=" + std::to_string(f.lfWidth) +
                    " esc=" + std::to_string(f.lfEscapement) + " ori=" + std::to_string(f.lfOrientation) +
                    " wt=" + std::to_string(f.lfWeight);
    for (BYTE b : {f.lfItalic, f.lfUnderline, f.lfStrikeOut, f.lfCharSet, f.lfOutPrecision, f.lfClipPrecision,
                   f.lfQuality, f.lfPitchAndFamily})
        s += " " + std::to_string(b);
    return s + " face=" + std::string(f.lfFaceName, strnlen(f.lfFaceName, LF_FACESIZE));
}

std::string describe(const LOGPEN& p) {
    return "style=" + std::to_string(p.lopnStyle) + " width=" + std::to_string(p.lopnWidth.x) +
           " color=" + std::to_string(p.lopnColor);
}

std::string describe(const LOGBRUSH& b) {
    return "style=" + std::to_string(b.lbStyle) + " color=" + std::to_string(b.lbColor) +
           " hatch=" + std::to_string(b.lbHatch);
}

void CallLog::extTextOut(int x, int y, UINT o, const RECT* clip, std::string_view s, std::span<const int16_t> dx) {
    std::string line = "exttext " + xy(x, y) + " opt=" + std::to_string(o);
    if (clip) line += " clip=" + xy(clip->left, clip->top) + "," + xy(clip->right, clip->bottom);
    line += " [" + std::string(s) + "]";
    for (int16_t d : dx) line += " " + std::to_string(d);
    add(line);
}

void CallLog::stretchDib(const RECT& d, const RECT& s, uint32_t rop, const MetafileDib& dib) {
    std::string line = "dib dest=" + xy(d.left, d.top) + "," + xy(d.right, d.bottom) + " src=" + xy(s.left, s.top) +
                       "," + xy(s.right, s.bottom) + " rop=" + std::to_string(rop) + " " +
                       std::to_string(dib.width) + "x" + std::to_string(dib.height) + "x" +
                       std::to_string(dib.bitCount) + " pal=" + std::to_string(dib.palette.size()) +
                       " rows=" + std::to_string(dib.rows.size());
    add(line);
}

std::string CallLog::points(std::span<const POINT> p) {
    std::string s;
    for (const POINT& q : p) s += " " + xy(q.x, q.y);
    return s;
}

WmfBuilder& WmfBuilder::record(uint16_t function, const std::vector<uint16_t>& words, long sizeWords) {
    uint32_t size = sizeWords >= 0 ? static_cast<uint32_t>(sizeWords) : static_cast<uint32_t>(3 + words.size());
    std::vector<uint8_t> b = {uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16), uint8_t(size >> 24),
                              uint8_t(function), uint8_t(function >> 8)};
    for (uint16_t w : words) {
        b.push_back(uint8_t(w));
        b.push_back(uint8_t(w >> 8));
    }
    if (size > maxRecord_ && sizeWords < 0) maxRecord_ = size;
    return raw(b);
}

WmfBuilder& WmfBuilder::raw(std::vector<uint8_t> bytes) {
    body_.insert(body_.end(), bytes.begin(), bytes.end());
    return *this;
}

std::vector<uint8_t> WmfBuilder::bits(bool withEnd, long sizeWords) const {
    std::vector<uint8_t> body = body_;
    if (withEnd) body.insert(body.end(), {3, 0, 0, 0, 0, 0});
    uint32_t size = sizeWords >= 0 ? static_cast<uint32_t>(sizeWords) : static_cast<uint32_t>((18 + body.size()) / 2);
    std::vector<uint8_t> out = {1, 0, 9, 0, 0, 3,
                                uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16), uint8_t(size >> 24),
                                uint8_t(objects_), uint8_t(objects_ >> 8),
                                uint8_t(maxRecord_), uint8_t(maxRecord_ >> 8), uint8_t(maxRecord_ >> 16),
                                uint8_t(maxRecord_ >> 24), 0, 0};
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

WmfBuilder& WmfBuilder::pen(uint16_t style, int16_t width, COLORREF c) {
    return record(0x02FA, {style, uint16_t(width), 0, uint16_t(c & 0xFFFF), uint16_t(c >> 16)});
}

WmfBuilder& WmfBuilder::brush(uint16_t style, COLORREF c) {
    return record(0x02FC, {style, uint16_t(c & 0xFFFF), uint16_t(c >> 16), 0});
}

namespace {
LOGFONTA font(const char* face, int height, int weight, BYTE charSet, BYTE outPrecision) {
    LOGFONTA f;
    f.lfHeight = height;
    f.lfWeight = weight;
    f.lfCharSet = charSet;
    f.lfOutPrecision = outPrecision;
    f.lfPitchAndFamily = 0x12;
    std::strncpy(f.lfFaceName, face, LF_FACESIZE - 1);
    return f;
}
}  // namespace

void recordSample(HDC dc, std::vector<std::string>* expected) {
    auto expect = [&](std::string s) {
        if (expected) expected->push_back(std::move(s));
    };
    const LOGFONTA roman = font("Times New Roman", -240, FW_NORMAL, ANSI_CHARSET, 4);
    const LOGFONTA symbol = font("Symbol", -240, FW_NORMAL, SYMBOL_CHARSET, 7);
    LOGFONTA bold = font("Times New Roman", -240, FW_SEMIBOLD, ANSI_CHARSET, 4);
    bold.lfItalic = 1;
    bold.lfUnderline = 1;
    bold.lfStrikeOut = 0;
    bold.lfWidth = 11;
    bold.lfEscapement = 900;
    bold.lfOrientation = 900;
    bold.lfClipPrecision = 3;
    bold.lfQuality = 2;
    HFONT hRoman = CreateFontIndirectA(&roman), hSymbol = CreateFontIndirectA(&symbol), hBold = CreateFontIndirectA(&bold);
    HPEN thin = CreatePen(PS_SOLID, 0, RGB(255, 0, 0)), wide = CreatePen(PS_SOLID, 3, RGB(0, 0, 255));

    SetTextAlign(dc, TA_BASELINE);
    expect("textalign 24");
    SetBkMode(dc, TRANSPARENT);
    expect("bkmode 1");
    SetTextColor(dc, RGB(255, 0, 0));
    expect("textcolor 255");
    SelectObject(dc, hRoman);
    expect("font 0 " + describe(roman));
    expect("select 0");
    TextOutA(dc, 100, 400, "x+y", 3);
    expect("text 100,400 [x+y]");
    SelectObject(dc, hSymbol);
    expect("font 1 " + describe(symbol));
    expect("select 1");
    const char alpha[] = {'\xB9'};
    TextOutA(dc, 500, 400, alpha, 1);
    expect("text 500,400 [\xB9]");
    SelectObject(dc, hBold);
    expect("font 2 " + describe(bold));
    expect("select 2");
    TextOutA(dc, 700, 400, "proc", 4);
    expect("text 700,400 [proc]");
    SelectObject(dc, hRoman);  // again: no second creation
    expect("select 0");
    TextOutA(dc, 100, 800, "z\xE9", 2);
    expect("text 100,800 [z\xE9]");
    SelectObject(dc, thin);
    LOGPEN lp;
    lp.lopnStyle = PS_SOLID;
    lp.lopnColor = RGB(255, 0, 0);
    expect("pen 3 " + describe(lp));
    expect("select 3");
    MoveToEx(dc, 100, 100, nullptr);
    expect("moveto 100,100");
    LineTo(dc, 1300, 100);
    expect("lineto 1300,100");
    SelectObject(dc, wide);
    lp.lopnWidth.x = 3;
    lp.lopnColor = RGB(0, 0, 255);
    expect("pen 4 " + describe(lp));
    expect("select 4");
    MoveToEx(dc, 100, 600, nullptr);
    expect("moveto 100,600");
    LineTo(dc, 1300, 600);
    expect("lineto 1300,600");
    const POINT radical[5] = {{1300, 200}, {1000, 200}, {900, 650}, {850, 450}, {800, 500}};
    Polyline(dc, radical, 5);
    expect("polyline 1300,200 1000,200 900,650 850,450 800,500");
    SelectObject(dc, thin);
    expect("select 3");
    DeleteObject(wide);
    expect("delete 4");
    DeleteObject(hSymbol);
    expect("delete 1");
    DeleteObject(hBold);
    expect("delete 2");
    DeleteObject(hRoman);
    expect("delete 0");
    DeleteObject(thin);
    expect("delete 3");
}

std::vector<uint8_t> metafileBits(HMETAFILE mf) {
    std::vector<uint8_t> b(GetMetaFileBitsEx(mf, 0, nullptr));
    if (!b.empty() && GetMetaFileBitsEx(mf, static_cast<UINT>(b.size()), b.data()) != b.size()) b.clear();
    return b;
}

std::vector<uint8_t> enhMetafileBits(HENHMETAFILE mf) {
    std::vector<uint8_t> b(GetEnhMetaFileBits(mf, 0, nullptr));
    if (!b.empty() && GetEnhMetaFileBits(mf, static_cast<UINT>(b.size()), b.data()) != b.size()) b.clear();
    return b;
}

uint32_t le32(const std::vector<uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}
uint16_t le16(const std::vector<uint8_t>& b, std::size_t at) { return uint16_t(b[at] | (b[at + 1] << 8)); }

}  // namespace gdi_test
