// Reader of AFM font-metric files and the loader of the LaTeX device's fonts.

#include "afm.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "typeset/typeset.h"

namespace {

// Sorted in byte order: looked up by bisection.
const char* const kKeywords[] = {
    "Ascender", "B", "C", "CC", "CapHeight", "Comment", "Descender", "EncodingScheme",
    "EndCharMetrics", "EndComposites", "EndFontMetrics", "EndKernData", "EndKernPairs",
    "EndTrackKern", "FamilyName", "FontBBox", "FontName", "FullName", "IsFixedPitch",
    "ItalicAngle", "KP", "KPX", "L", "N", "Notice", "PCC", "StartCharMetrics", "StartComposites",
    "StartFontMetrics", "StartKernData", "StartKernPairs", "StartTrackKern", "TrackKern",
    "UnderlinePosition", "UnderlineThickness", "Version", "W", "WX", "Weight", "XHeight",
};
constexpr int kKeywordCount = int(sizeof kKeywords / sizeof kKeywords[0]);

enum Kw : int {
    K_NONE = -1,
    K_Ascender, K_B, K_C, K_CC, K_CapHeight, K_Comment, K_Descender, K_EncodingScheme,
    K_EndCharMetrics, K_EndComposites, K_EndFontMetrics, K_EndKernData, K_EndKernPairs,
    K_EndTrackKern, K_FamilyName, K_FontBBox, K_FontName, K_FullName, K_IsFixedPitch,
    K_ItalicAngle, K_KP, K_KPX, K_L, K_N, K_Notice, K_PCC, K_StartCharMetrics, K_StartComposites,
    K_StartFontMetrics, K_StartKernData, K_StartKernPairs, K_StartTrackKern, K_TrackKern,
    K_UnderlinePosition, K_UnderlineThickness, K_Version, K_W, K_WX, K_Weight, K_XHeight,
};
static_assert(K_XHeight + 1 == kKeywordCount, "keyword enum and table differ");

// The token buffer's size: a token or value of this many bytes or more does not fit.
constexpr std::size_t kTokenBuffer = 4096;
// Fewest bytes one entry of a counted section can take (a one-letter keyword and a separator).
constexpr std::size_t kEntryBytes = 2;

struct EarlyEnd {};   // the file ended where the format needs more

class AfmReader {
public:
    AfmReader(std::string data, int flags, AfmFontInfo* info)
        : data_(std::move(data)), flags_(flags), info_(info) {}

    int run() {
        try {
            parse();
        } catch (const EarlyEnd&) {
            return AFM_EARLY_END;
        }
        return parseError_ ? AFM_PARSE_ERROR : AFM_OK;
    }

private:
    std::string data_;
    std::size_t pos_ = 0;
    int flags_;
    AfmFontInfo* info_;
    bool parseError_ = false;
    bool fontEnded_ = false;
    std::string tok_;

    void error() { parseError_ = true; }

    static bool isSkip(char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ',' || c == ';';
    }
    static bool isDelimiter(char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ':' || c == ';';
    }

    // The next token into tok_; false at the end of the file with nothing read.  Over-long
    // tokens are a parse error and are skipped.
    bool nextToken() {
        for (;;) {
            while (pos_ < data_.size() && isSkip(data_[pos_])) ++pos_;
            if (pos_ >= data_.size()) return false;
            if (data_[pos_] == ':') {
                ++pos_;
                tok_.assign(":");
                return true;
            }
            std::size_t start = pos_;
            while (pos_ < data_.size() && !isDelimiter(data_[pos_])) ++pos_;
            std::size_t end = pos_;
            if (pos_ < data_.size() && data_[pos_] == ':') ++pos_;   // ':' is consumed
            if (end - start >= kTokenBuffer) {
                error();
                continue;
            }
            tok_.assign(data_, start, end - start);
            return true;
        }
    }

    // A token that the format requires: the file may not end here.
    const std::string& need() {
        if (!nextToken()) throw EarlyEnd{};
        return tok_;
    }

    // Everything up to the newline (left unread), after blanks and tabs.
    std::string restOfLine() {
        while (pos_ < data_.size() && (data_[pos_] == ' ' || data_[pos_] == '\t')) ++pos_;
        std::size_t start = pos_;
        while (pos_ < data_.size() && data_[pos_] != '\n') ++pos_;
        std::size_t end = pos_;
        if (end > start && data_[end - 1] == '\r') --end;
        if (end - start >= kTokenBuffer) {
            error();
            return std::string();
        }
        return data_.substr(start, end - start);
    }

    void skipLine() {
        while (pos_ < data_.size() && data_[pos_] != '\n') ++pos_;
    }

    int readInt() {
        const std::string& t = need();
        errno = 0;
        char* end = nullptr;
        long v = std::strtol(t.c_str(), &end, 10);
        if (end == t.c_str() || *end != '\0' || errno == ERANGE || v < INT_MIN || v > INT_MAX) {
            error();
            return 0;
        }
        return int(v);
    }

    double readFloat() {
        const std::string& t = need();
        errno = 0;
        char* end = nullptr;
        double v = std::strtod(t.c_str(), &end);
        if (end == t.c_str() || *end != '\0' || errno == ERANGE || !std::isfinite(v)) {
            error();
            return 0;
        }
        return v;
    }

    // A count of entries, or -1 (a parse error) when it is negative or the rest of the file
    // could not hold that many entries.
    int readCount() {
        int n = readInt();
        std::size_t rest = data_.size() - pos_;
        if (n < 0 || std::size_t(n) > rest / kEntryBytes) {
            error();
            return -1;
        }
        return n;
    }

    int keyword() const { return afm_keyword_index(tok_.c_str()); }

    // Scans tokens up to one of two end keywords (or EndFontMetrics); comments are skipped.
    void scanTo(int endA, int endB) {
        for (;;) {
            need();
            int k = keyword();
            if (k == K_Comment) {
                skipLine();
            } else if (k == K_EndFontMetrics) {
                fontEnded_ = true;
                return;
            } else if (k == endA || k == endB) {
                return;
            }
        }
    }

    void parse() {
        if (flags_ & AFM_GLOBAL) info_->global = std::make_unique<AfmGlobalInfo>();
        if (!globalSection()) return;
        int count = readCount();
        info_->charCount = count < 0 ? 0 : count;
        if ((flags_ & AFM_CHARMETRICS) && count >= 0)
            charMetrics(count);
        else if (flags_ & AFM_WIDTHS)
            widths();
        else
            scanTo(K_EndCharMetrics, K_EndCharMetrics);
        if (!fontEnded_) kerningAndComposites();
    }

    // False when the font ended (EndFontMetrics) before StartCharMetrics.
    bool globalSection() {
        AfmGlobalInfo* g = info_->global.get();
        for (;;) {
            need();
            int k = keyword();
            if (k == K_StartCharMetrics) return true;
            if (k == K_EndFontMetrics) {
                fontEnded_ = true;
                return false;
            }
            if (k == K_Comment) {
                skipLine();
                continue;
            }
            if (!g || k == K_NONE) continue;
            switch (k) {
            case K_StartFontMetrics: g->afmVersion = need(); break;
            case K_FontName: g->fontName = need(); break;
            case K_FullName: g->fullName = restOfLine(); break;
            case K_FamilyName: g->familyName = restOfLine(); break;
            case K_Weight: g->weight = need(); break;
            case K_ItalicAngle: g->italicAngle = readFloat(); break;
            case K_IsFixedPitch: g->isFixedPitch = need() == "false" ? 0 : 1; break;
            case K_FontBBox:
                for (int& v : g->fontBBox) v = readInt();
                break;
            case K_UnderlinePosition: g->underlinePosition = readInt(); break;
            case K_UnderlineThickness: g->underlineThickness = readInt(); break;
            case K_Version: g->version = need(); break;
            case K_Notice: g->notice = restOfLine(); break;
            case K_EncodingScheme: g->encodingScheme = need(); break;
            case K_CapHeight: g->capHeight = readInt(); break;
            case K_XHeight: g->xHeight = readInt(); break;
            case K_Ascender: g->ascender = readInt(); break;
            case K_Descender: g->descender = readInt(); break;
            default: error(); break;
            }
        }
    }

    void widths() {
        info_->widths.assign(256, 0);
        info_->leftBounds.assign(256, 0);
        int code = -1;   // no C yet: nothing is stored
        auto stored = [&] { return code >= 0 && code <= 255; };
        for (;;) {
            need();
            switch (keyword()) {
            case K_C: code = readInt(); break;
            case K_WX: {
                int w = readInt();
                if (stored()) info_->widths[std::size_t(code)] = w;
                break;
            }
            case K_B: {
                int b[4];
                for (int& v : b) v = readInt();
                if (stored()) info_->leftBounds[std::size_t(code)] = b[0];
                break;
            }
            case K_N: need(); break;
            case K_L: need(); need(); break;
            case K_W: error(); readInt(); readInt(); break;
            case K_Comment: skipLine(); break;
            case K_EndCharMetrics: return;
            case K_EndFontMetrics: fontEnded_ = true; return;
            default: error(); break;
            }
        }
    }

    void charMetrics(int count) {
        std::vector<AfmCharMetrics>& out = info_->charMetrics;
        out.reserve(std::size_t(count));
        AfmCharMetrics scratch;   // takes what comes before the first C
        auto cur = [&]() -> AfmCharMetrics& { return out.empty() ? scratch : out.back(); };
        for (;;) {
            need();
            switch (keyword()) {
            case K_C:
                if (int(out.size()) == count) {
                    error();
                    scanTo(K_EndCharMetrics, K_EndCharMetrics);
                    return;
                }
                out.emplace_back();
                out.back().code = readInt();
                break;
            case K_WX: cur().wx = readInt(); break;
            case K_W: cur().wx = readInt(); cur().wy = readInt(); break;
            case K_N: cur().name = need(); break;
            case K_B:
                for (int& v : cur().bbox) v = readInt();
                break;
            case K_L: {
                AfmLigature l;
                l.successor = need();
                l.ligature = need();
                cur().ligatures.push_back(std::move(l));
                break;
            }
            case K_Comment: skipLine(); break;
            case K_EndFontMetrics:
                fontEnded_ = true;
                [[fallthrough]];
            case K_EndCharMetrics:
                if (int(out.size()) < count) error();
                return;
            default: error(); break;
            }
        }
    }

    void kerningAndComposites() {
        while (!fontEnded_ && nextToken()) {
            switch (keyword()) {
            case K_StartKernData:
            case K_EndKernData:
                break;
            case K_StartTrackKern: {
                int n = readCount();
                info_->trackKernCount = n < 0 ? 0 : n;
                if ((flags_ & AFM_TRACKKERNS) && n >= 0)
                    trackKerns(n);
                else
                    scanTo(K_EndTrackKern, K_EndKernData);
                break;
            }
            case K_StartKernPairs: {
                int n = readCount();
                info_->kernPairCount = n < 0 ? 0 : n;
                if ((flags_ & AFM_KERNPAIRS) && n >= 0)
                    kernPairs(n);
                else
                    scanTo(K_EndKernPairs, K_EndKernData);
                break;
            }
            case K_StartComposites: {
                int n = readCount();
                info_->compositeCount = n < 0 ? 0 : n;
                if ((flags_ & AFM_COMPOSITES) && n >= 0)
                    composites(n);
                else
                    scanTo(K_EndComposites, K_EndComposites);
                break;
            }
            case K_Comment: skipLine(); break;
            case K_EndFontMetrics: fontEnded_ = true; break;
            default: error(); break;
            }
        }
    }

    // Shared shape of the counted sections: one more entry than announced is a parse error
    // that ends the section; ending with fewer is a parse error.
    template <typename Entry>
    void countedSection(int count, int entryKw, int endA, int endB, Entry entry) {
        int got = 0;
        for (;;) {
            need();
            int k = keyword();
            if (k == entryKw || (entryKw == K_KP && k == K_KPX)) {
                if (got == count) {
                    error();
                    scanTo(endA, endB);
                    return;
                }
                entry(k);
                ++got;
            } else if (k == K_Comment) {
                skipLine();
            } else if (k == endA || k == endB || k == K_EndFontMetrics) {
                if (k == K_EndFontMetrics) fontEnded_ = true;
                if (got < count) error();
                return;
            } else {
                entry(-1);   // other words: the entry function decides (PCC) or errs
            }
        }
    }

    void trackKerns(int n) {
        info_->trackKerns.reserve(std::size_t(n));
        countedSection(n, K_TrackKern, K_EndTrackKern, K_EndKernData, [&](int k) {
            if (k < 0) {
                error();
                return;
            }
            AfmTrackKern t;
            t.degree = readInt();
            t.minPointSize = readFloat();
            t.minKern = readFloat();
            t.maxPointSize = readFloat();
            t.maxKern = readFloat();
            info_->trackKerns.push_back(t);
        });
    }

    void kernPairs(int n) {
        info_->kernPairs.reserve(std::size_t(n));
        countedSection(n, K_KP, K_EndKernPairs, K_EndKernData, [&](int k) {
            if (k < 0) {
                error();
                return;
            }
            AfmKernPair p;
            p.first = need();
            p.second = need();
            p.xAmount = readInt();
            if (k == K_KP) p.yAmount = readInt();
            info_->kernPairs.push_back(std::move(p));
        });
    }

    void composites(int n) {
        std::vector<AfmComposite>& out = info_->composites;
        out.reserve(std::size_t(n));
        auto checkLast = [&] {
            if (!out.empty() && int(out.back().pieces.size()) != out.back().pieceCount) error();
        };
        countedSection(n, K_CC, K_EndComposites, K_EndComposites, [&](int k) {
            if (k == K_CC) {
                checkLast();
                AfmComposite c;
                c.name = need();
                int pieces = readCount();
                c.pieceCount = pieces < 0 ? 0 : pieces;
                c.pieces.reserve(std::size_t(c.pieceCount));
                out.push_back(std::move(c));
                return;
            }
            if (keyword() != K_PCC) {
                error();
                return;
            }
            AfmPiece p;
            p.name = need();
            p.dx = readInt();
            p.dy = readInt();
            if (out.empty() || int(out.back().pieces.size()) >= out.back().pieceCount) {
                error();   // more pieces than announced (or a piece before any CC)
                return;
            }
            out.back().pieces.push_back(std::move(p));
        });
        checkLast();
    }
};

bool read_all(std::FILE* file, std::string* data) {
    char buf[8192];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, file)) > 0) data->append(buf, n);
    return !std::ferror(file);
}

}  // namespace

int afm_keyword_index(const char* word) {
    int lo = 0, hi = kKeywordCount - 1;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        int c = std::strcmp(word, kKeywords[mid]);
        if (c == 0) return mid;
        if (c < 0) hi = mid - 1;
        else lo = mid + 1;
    }
    return -1;
}

int afm_keyword_count() { return kKeywordCount; }

const char* afm_keyword(int index) {
    return index >= 0 && index < kKeywordCount ? kKeywords[index] : nullptr;
}

int afm_parse_file(std::FILE* file, std::unique_ptr<AfmFontInfo>* out, int flags) {
    if (!out) return AFM_NO_MEMORY;
    out->reset();
    try {
        *out = std::make_unique<AfmFontInfo>();
        std::string data;
        // A read error ends the data where it happened: the file then ends early.
        read_all(file, &data);
        AfmReader reader(std::move(data), flags, out->get());
        return reader.run();
    } catch (const std::bad_alloc&) {
        return AFM_NO_MEMORY;
    } catch (const std::length_error&) {
        return AFM_NO_MEMORY;
    }
}

std::unique_ptr<AfmFontInfo> afm_open(const char* fileName) {
    std::string path = std::string(afm_directory()) + '/' + (fileName ? fileName : "");
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return nullptr;
    std::unique_ptr<AfmFontInfo> info;
    int rc = afm_parse_file(f, &info, AFM_GLOBAL | AFM_WIDTHS);
    std::fclose(f);
    if (rc < 0) return nullptr;
    return info;
}

void afm_release(const AfmFontInfo*) {}
