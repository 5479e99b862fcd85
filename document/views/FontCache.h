#pragma once
// The font cache: realised fonts with their metrics, shared between views.
//
//   FontMeasure     abstract measuring interface of a realised font (what a view's current
//                   font answers through DocumentView::currentFont).
//   FontEntry       one GUI font on one output device: its metrics, a width table for upright
//                   fonts, the long-text limit, a reference count.  It keeps the description
//                   and device key it was acquired under, so that it is released by itself,
//                   never by a description computed again from a style that may have changed.
//   FontCache       the program's entries by (description, device key): 63 chains, reference
//                   counts; unreferenced entries stay cached until the cache holds more than 34
//                   nodes at an acquisition (then every unreferenced one goes) or more than 20
//                   at a release (then the released one goes).
//   StyleFontTable  one per WindowView: style key -> entry, 63 chains hashed by the key's
//                   paragraph style, so that a paragraph style's keys drop together.
//
// Invariants:
//   1. count() equals the nodes in the cache's chains.
//   2. An entry in the cache is in exactly one node; its reference count is the number of
//      style-table nodes (of any view) holding it.
//   3. An entry is deleted only when its reference count is 0 (purge, or a release above 20
//      nodes), or when it was never in this cache (released to it by mistake: it has no other
//      owner).
//
// One FontCache serves the program (FontCache::program, set by the application at start-up
// and cleared at shut-down, after the last view went); tests own theirs.  Single-threaded.
//
// Free of Qt: fonts and devices are the GUI layer's Qt-free classes.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "document/tree/DocumentView.h"
#include "platform/gui/OutputDevice.h"
#include "platform/gui/base/Font.h"

class CharStyle;
class VirtualDevice;

// The font description of a style on a view, as the cache compares and hashes it.
struct FontDescription {
    std::string face;
    int height = 0;           // device units: the style size scaled by the view
    int weight = WEIGHT_NORMAL;
    bool italic = false;
    bool underline = false;
    int charSet = CHARSET_ANSI;   // the GUI font's own default when the style names none
    int pitch = PITCH_DONTKNOW;
    friend bool operator==(const FontDescription&, const FontDescription&) = default;

    // Face "Symbol" for font kind 2; height by DocumentView::fontHeightFor; weight 3 for bold
    // 1; italic for italic 1 unless kind 2; underline 1; character set by font kind (2 -> 10,
    // 3 -> 1, 4 -> 3, 5 -> 2, 6 -> 11); pitch 2 -> 2, 3 -> 1, else 0.
    static FontDescription of(const CharStyle& style, const DocumentView& view);
    // The GUI font: this description, width 0, transparent background.
    Font toFont() const;
    // h = 0; per face byte (signed) h = c ^ (h << 3); then h ^= height (16-bit) << 11,
    // ^= weight << 7, ^= italic | underline << 1 (one byte) << 5, ^= charSet | pitch << 8 << 3.
    std::uint32_t hash() const;
};

class FontMeasure {
public:
    virtual ~FontMeasure() = default;
    // Width of the one-character text of that code (0..255).
    virtual int charWidth(int character) = 0;
    // Width of a text (length -1: up to the terminating zero).  The text is only read.
    virtual int textWidth(const char* text, int length) = 0;
    // Width, line spacing and ascent of a text.
    virtual void textExtent(ExtentRecord& out, const char* text, int length) = 0;
    // Kept for its place; does nothing.
    virtual void reservedOperation(int, int, int) = 0;
};

class FontEntry : public FontMeasure {
public:
    static constexpr int WIDTH_TABLE_SIZE = 255;     // codes 0..254
    static constexpr int LONG_TEXT_PIECE = 65534;    // textWidth's piece for texts of 64 K or more

    // Realises the description on the device (the font is selected into it).  With
    // widthTable, the widths of codes 0..254 are measured once.  A printer (device kind 1)
    // measures on a scratch virtual device of its own.
    FontEntry(const FontDescription& description, int deviceKey, OutputDevice& device, bool widthTable);
    ~FontEntry() override;
    FontEntry(const FontEntry&) = delete;
    FontEntry& operator=(const FontEntry&) = delete;

    int charWidth(int character) override;
    int textWidth(const char* text, int length) override;
    void textExtent(ExtentRecord& out, const char* text, int length) override;
    void reservedOperation(int, int, int) override {}
    // As stringExtent, with the font height (ascent + descent) as the second value.
    virtual void stringHeightExtent(ExtentRecord& out, std::string_view text);
    virtual int oneCharWidth(std::string_view text);
    virtual int stringWidth(std::string_view text);
    // Width, line spacing, ascent.
    virtual void stringExtent(ExtentRecord& out, std::string_view text);

    const FontEntryMetrics& metrics() const { return metrics_; }
    const Font& font() const { return font_; }
    void setFontColor(const Color& colour) { font_.setColor(colour); }
    const FontMetric& fontMetric() const { return fontMetric_; }
    bool hasWidthTable() const { return widthTable_ != nullptr; }
    bool measuresOnScratch() const { return scratch_ != nullptr; }
    int longTextLimit() const { return longTextLimit_; }
    OutputDevice* device() const { return device_; }

    // What the entry was acquired under (the cache finds its node by these).
    const FontDescription& description() const { return description_; }
    int deviceKey() const { return deviceKey_; }
    std::uint32_t hash() const { return hash_; }
    int referenceCount() const { return referenceCount_; }

    // Device measurements, for tests that check which answer came from where.
    int deviceMeasureCount() const { return deviceMeasures_; }

private:
    friend class FontCache;

    // The device answers (the font selected first).
    int measureOnDevice(std::string_view text);
    // Table or device per character for a long text, the device for a short one.
    int measureString(std::string_view text);

    FontEntryMetrics metrics_;
    Font font_;
    FontMetric fontMetric_;
    std::unique_ptr<std::array<std::int32_t, WIDTH_TABLE_SIZE>> widthTable_;
    OutputDevice* device_;
    std::unique_ptr<VirtualDevice> scratch_;
    int longTextLimit_ = 1;
    int referenceCount_ = 0;
    FontDescription description_;
    int deviceKey_ = 0;
    std::uint32_t hash_ = 0;
    int deviceMeasures_ = 0;
};

class FontCache {
public:
    static constexpr int CHAINS = 63;
    static constexpr int PURGE_ABOVE = 34;     // an acquisition above this purges
    static constexpr int KEEP_UP_TO = 20;      // a last release at or below this keeps the entry

    FontCache() = default;
    // Deletes every entry (views release theirs before the cache goes).
    ~FontCache();
    FontCache(const FontCache&) = delete;
    FontCache& operator=(const FontCache&) = delete;

    // The entry for the style on the view's device under the key, shared when one exists; its
    // reference count is raised.  Null only without a device.
    FontEntry* acquire(const CharStyle& style, const DocumentView& view, OutputDevice* device, int deviceKey);
    // Lowers the entry's count; deletes it when the count reaches 0 and the cache holds more
    // than 20 nodes, or when it is no entry of this cache.
    void release(FontEntry* entry);
    // Removes every unreferenced entry (of the device key, or of any key for 0).
    void purge(int deviceKey);

    int count() const { return count_; }
    // The nodes in the chains, counted (equals count()).
    int nodesInChains() const;
    // Every cached entry, chain by chain.
    std::vector<const FontEntry*> entries() const;

    // The program's cache (none until the application sets it).
    static FontCache* program();
    static void setProgram(FontCache* cache);

private:
    struct Node {
        std::uint32_t hash;
        FontEntry* entry;   // owned
    };
    std::array<std::vector<Node>, CHAINS> chains_;
    int count_ = 0;
};

class StyleFontTable {
public:
    static constexpr int CHAINS = 63;

    // Entries come from and go back to the cache; the view (the back pointer) resolves styles.
    StyleFontTable(FontCache* cache, DocumentView* view) : cache_(cache), view_(view) {}
    // Releases every entry.
    ~StyleFontTable();
    StyleFontTable(const StyleFontTable&) = delete;
    StyleFontTable& operator=(const StyleFontTable&) = delete;

    FontEntry* find(const StyleKey& key) const;
    void insert(const StyleKey& key, FontEntry* entry);
    // Unlinks the first node of the key and releases its entry; answers the entry it held (for
    // comparison only: it may be gone) or null.
    FontEntry* drop(const StyleKey& key);
    // Unlinks every node whose paragraph style is n (every node for -1) and releases their
    // entries; `released` (when given) receives the entries they held.
    void dropAll(int paraStyle, std::vector<FontEntry*>* released = nullptr);
    int size() const;

    FontCache* cache() const { return cache_; }
    int deviceKey = 0;   // the owner's viewKind

private:
    struct Node {
        StyleKey key;
        FontEntry* entry;
    };
    static unsigned bucketOf(const StyleKey& key) { return unsigned(std::int32_t(key.paraStyle)) % CHAINS; }
    // To the cache with a back pointer; deleted without one.
    void releaseEntry(FontEntry* entry);

    FontCache* cache_;
    DocumentView* view_;
    std::array<std::vector<Node>, CHAINS> chains_;
};
