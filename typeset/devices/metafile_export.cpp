// The metafile export of typeset expressions: layout on the GDI device, pieces of lines
// recorded as Windows or enhanced metafiles, handed to a callback or written to files.

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "gdi_device.h"
#include "gdi_fonts.h"
#include "platform/gdi/placeable.h"
#include "typeset/typeset_layout.h"

namespace {

constexpr int kMaxExtent = 32767;
constexpr int kMaxPieces = 128;
// Description of an enhanced metafile: two NUL-terminated parts and a final NUL.
constexpr char kDescription[] = "Orvane Inc\0Math Expression\0";

struct PieceRange {
    int first, last;   // line indices, inclusive
};

int text_width(TypesetContext* ctx, const char* text) {
    TypesetNode n;
    GdiTypesetDevice.stringExtent(ctx, text, STYLE_ROMAN, ctx->firstLevel, &n);
    return n.width;
}

// Writes a piece's file: the placeable header (flag 1) and the metafile bits.  False when the
// file cannot be created or completely written; a partial file is removed.
bool write_piece_file(const std::string& path, bool created, uint16_t flags, const MetafilePiece& piece,
                      const std::vector<uint8_t>& bits) {
    std::FILE* f = created ? std::fopen(path.c_str(), "r+b") : std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = true;
    if (flags & 1) {
        uint8_t header[PLACEABLE_HEADER_BYTES];
        placeable_header_write(placeable_header_make(piece.width, piece.height, piece.unitsPerInch), header);
        ok = std::fwrite(header, 1, sizeof header, f) == sizeof header;
    }
    if (ok && !bits.empty()) ok = std::fwrite(bits.data(), 1, bits.size(), f) == bits.size();
    if (std::fclose(f) != 0) ok = false;
    if (!ok) std::remove(path.c_str());
    return ok;
}

std::string temp_folder() {
    const char* t = std::getenv("TMPDIR");
    std::string dir = t && *t ? t : P_tmpdir;
    if (dir.empty()) dir = "/tmp";
    if (dir.back() != '/') dir += '/';
    return dir;
}

class PieceRecorder {
public:
    PieceRecorder(TypesetContext* ctx, const MetafileRequest* req, const std::string& base,
                  MetafilePieceCallback cb, void* user)
        : ctx_(ctx), req_(req), base_(base), cb_(cb), user_(user) {}

    int run() {
        const LineTable* lt = ctx_->lines;
        if (!lt || lt->count == 0 || !lt->lines) return 0;
        GdiDeviceState& s = gdi_device_state();
        minX_ = INT_MAX;
        for (int i = 0; i < lt->count; ++i) minX_ = std::min(minX_, lineX(i));
        slash_ = text_width(ctx_, "\\");
        ell_ = text_width(ctx_, "l");
        extra_ = GdiTypesetDevice.fontMetric(ctx_, STYLE_ROMAN, ctx_->firstLevel, 0) / 6;
        const TypesetLine& first = lt->lines[0];
        const TypesetLine& last = lt->lines[lt->count - 1];
        long wholeHeight = long(last.y) + last.height - first.y + extra_;
        long wholeWidth = widthOf(0, lt->count - 1);
        std::vector<PieceRange> pieces;
        if (!req_->pageSplit) {
            if (wholeHeight > kMaxExtent || wholeWidth > kMaxExtent) return 4;
            pieces.push_back({0, lt->count - 1});
        } else {
            int i = 0;
            while (i < lt->count) {
                if (int(pieces.size()) == kMaxPieces) return 4;
                int j = i;
                while (j + 1 < lt->count &&
                       long(lt->lines[j + 1].y) + lt->lines[j + 1].height - lt->lines[i].y <= ctx_->pageHeight)
                    ++j;
                pieces.push_back({i, j});
                i = j + 1;
            }
        }
        units_ = uint16_t(std::min(s.scale * 72.0, 65535.0));
        for (std::size_t k = 0; k < pieces.size(); ++k) {
            int rc = recordAndStore(int(k), int(pieces.size()), pieces[k]);
            if (rc != 0) return rc;
        }
        return 0;
    }

private:
    TypesetContext* ctx_;
    const MetafileRequest* req_;
    std::string base_;
    MetafilePieceCallback cb_;
    void* user_;
    int minX_ = 0, slash_ = 0, ell_ = 0, extra_ = 0;
    uint16_t units_ = 0;

    int lineX(int i) const { return ctx_->lines->alignment == 1 ? 0 : ctx_->lines->lines[i].x; }

    long widthOf(int first, int last) const {
        long w = 0;
        for (int i = first; i <= last; ++i) w = std::max(w, long(lineX(i)) + ctx_->lines->lines[i].width - minX_);
        return w + slash_ + ell_;
    }

    // Records the lines of a piece; the handle of the closed metafile.
    void record(const PieceRange& r, int width, int height, HMETAFILE* wmf, HENHMETAFILE* emf) {
        GdiDeviceState& s = gdi_device_state();
        bool enhanced = req_->flags & 2;
        HDC dc;
        if (enhanced) {
            // The frame is in hundredths of a millimetre.
            RECT frame{0, 0, int32_t(long(width) * 2540 / std::max<int>(units_, 1)),
                       int32_t(long(height) * 2540 / std::max<int>(units_, 1))};
            dc = CreateEnhMetaFileA(nullptr, nullptr, &frame, kDescription);
        } else {
            dc = CreateMetaFileA(nullptr);
        }
        if (!dc) return;
        SetTextAlign(dc, TA_BASELINE);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, s.textColor);
        s.drawDC = dc;
        s.curFont = s.curLevel = -1;
        int firstY = ctx_->lines->lines[r.first].y;
        for (int i = r.first; i <= r.last; ++i) {
            const TypesetLine& line = ctx_->lines->lines[i];
            TypesetDrawState st;
            typeset_draw_state_init(&st, ctx_, &line);
            // The draw state places the line at its own x already; under procedure alignment
            // that x counts as 0.
            typeset_draw(&st, &line, ell_ + lineX(i) - minX_ - line.x, line.y - firstY);
        }
        s.drawDC = nullptr;
        s.curFont = s.curLevel = -1;
        if (enhanced)
            *emf = CloseEnhMetaFile(dc);
        else
            *wmf = CloseMetaFile(dc);
    }

    int recordAndStore(int index, int count, const PieceRange& r) {
        const TypesetLine& first = ctx_->lines->lines[r.first];
        const TypesetLine& last = ctx_->lines->lines[r.last];
        MetafilePiece piece;
        piece.flags = req_->flags;
        piece.index = uint16_t(index);
        piece.count = uint16_t(count);
        piece.unitsPerInch = units_;
        piece.width = int32_t(std::min(widthOf(r.first, r.last), long(INT32_MAX)));
        piece.height = last.y + last.height - first.y + extra_;
        HMETAFILE wmf = nullptr;
        HENHMETAFILE emf = nullptr;
        record(r, piece.width, piece.height, &wmf, &emf);
        if (!(req_->flags & 0x10)) {
            piece.metafile = wmf;
            piece.enhMetafile = emf;
            if (cb_ && cb_(user_, &piece) != 0) return 6;
            if (!cb_) {
                delete_metafile(wmf);
                delete_metafile(emf);
            }
            return 0;
        }
        std::vector<uint8_t> bits;
        if (emf) {
            bits.resize(GetEnhMetaFileBits(emf, 0, nullptr));
            if (!bits.empty()) GetEnhMetaFileBits(emf, UINT(bits.size()), bits.data());
        } else if (wmf) {
            bits.resize(GetMetaFileBitsEx(wmf, 0, nullptr));
            if (!bits.empty()) GetMetaFileBitsEx(wmf, UINT(bits.size()), bits.data());
        }
        delete_metafile(wmf);
        delete_metafile(emf);
        std::string path;
        bool created = false;
        if (!base_.empty()) {
            path = metafile_piece_name(base_, index, count) + ((req_->flags & ~0x10) == 2 ? ".emf" : ".wmf");
        } else {
            std::string templ = temp_folder() + "mmfXXXXXX";
            std::vector<char> buf(templ.begin(), templ.end());
            buf.push_back('\0');
            int fd = mkstemp(buf.data());
            if (fd < 0) return 7;
            close(fd);
            path = buf.data();
            created = true;
        }
        if (!write_piece_file(path, created, req_->flags, piece, bits)) {
            if (created) std::remove(path.c_str());
            return 7;
        }
        piece.fileName = path.c_str();
        if (cb_ && cb_(user_, &piece) != 0) return 6;
        return 0;
    }
};

}  // namespace

std::string metafile_base_name(const char* name) {
    std::string s = name ? name : "";
    std::size_t slash = s.rfind('/');
    std::size_t dot = s.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) s.erase(dot);
    return s;
}

std::string metafile_piece_name(const std::string& base, int index, int count) {
    std::string out;
    bool converted = false;
    for (std::size_t i = 0; i < base.size(); ++i) {
        if (base[i] != '%') {
            out += base[i];
            continue;
        }
        if (i + 1 < base.size() && base[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        // "%" [flags] [width] "d": the index, once.
        std::size_t j = i + 1;
        while (j < base.size() && std::strchr("-+ 0#", base[j])) ++j;
        std::size_t widthStart = j;
        while (j < base.size() && j - widthStart < 3 && base[j] >= '0' && base[j] <= '9') ++j;
        if (!converted && j < base.size() && base[j] == 'd') {
            std::string spec = base.substr(i, j - i + 1);
            char buf[64];
            std::snprintf(buf, sizeof buf, spec.c_str(), index);
            out += buf;
            converted = true;
            i = j;
            continue;
        }
        out += '%';
    }
    if (!converted && count > 1) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%03d", index);
        out += buf;
    }
    return out;
}

void delete_metafile(HMETAFILE metafile) {
    if (metafile) DeleteMetaFile(metafile);
}

void delete_metafile(HENHMETAFILE metafile) {
    if (metafile) DeleteEnhMetaFile(metafile);
}

int export_expression_metafile(const DagWord* dag, const LayoutOptions* options, const MetafileRequest* request,
                               MetafilePieceCallback callback, void* user) {
    if (!request || request->size != 24) return 1;
    int kind = request->flags & ~0x10;
    if (kind != 0 && kind != 1 && kind != 2) return 1;
    std::string base = request->flags & 0x10 ? metafile_base_name(request->baseName) : std::string();

    GdiMeasureDC dc;   // 96 pixels per inch, the fonts of this platform
    if (request->measureDC)
        dc = *request->measureDC;
    else
        dc.source = &gdi_freetype_metric_source();
    dc.mapMode = request->mapMode ? request->mapMode : MM_TWIPS;

    TypesetContext* ctx = typeset_context_new(&GdiTypesetDevice);
    if (!ctx) return 3;
    GdiDeviceState& s = gdi_device_state();
    gdi_setup_fonts(&s, options, &dc);
    if (s.textColor != request->textColor) {
        // Cached pens draw in the text colour they were made with.
        for (HPEN& p : s.pens) {
            if (p) DeleteObject(p);
            p = nullptr;
        }
    }
    s.textColor = request->textColor;
    s.drawDC = nullptr;
    s.measureDC = &s.ownMeasureDC;
    ctx->deviceData = &s;
    int result = typeset_run(ctx, dag, options);
    if (result != 0 || !ctx->lines) {
        result = ctx->errorCode ? ctx->errorCode : 5;
    } else {
        typeset_break_lines(ctx);
        try {
            result = PieceRecorder(ctx, request, base, callback, user).run();
        } catch (const std::bad_alloc&) {
            result = 3;
        }
    }
    s.drawDC = nullptr;
    s.measureDC = nullptr;
    ctx->deviceData = nullptr;
    typeset_context_free(ctx);
    return result;
}
