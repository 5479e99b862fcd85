// Font descriptions, font entries, the font cache and the style font tables.
#include "document/views/FontCache.h"

#include <algorithm>
#include <cstring>

#include "document/styles/CharStyle.h"
#include "platform/gui/VirtualDevice.h"

// ---- FontDescription ------------------------------------------------------------------------

FontDescription FontDescription::of(const CharStyle& style, const DocumentView& view) {
    FontDescription d;
    const bool symbol = style.charsetCode == 2;
    d.face = symbol ? "Symbol" : style.fontName.value_or("");
    d.height = view.fontHeightFor(style.size);
    d.weight = style.bold == 1 ? WEIGHT_BOLD : WEIGHT_NORMAL;
    d.italic = !symbol && style.italic == 1;
    d.underline = style.underline == 1;
    switch (style.charsetCode) {
    case 2: d.charSet = CHARSET_SYMBOL; break;
    case 3: d.charSet = CHARSET_ANSI; break;
    case 4: d.charSet = CHARSET_IBMPC; break;
    case 5: d.charSet = CHARSET_MAC; break;
    case 6: d.charSet = CHARSET_SHIFTJIS; break;
    default: break;   // the font's own default
    }
    d.pitch = style.pitch == 2 ? PITCH_VARIABLE : (style.pitch == 3 ? PITCH_FIXED : PITCH_DONTKNOW);
    return d;
}

Font FontDescription::toFont() const {
    Font f(String(face), Size(0, height));
    f.setWeight(weight);
    f.setItalic(italic);
    f.setUnderline(underline);
    f.setCharSet(charSet);
    f.setPitch(pitch);
    f.setTransparent(true);
    return f;
}

std::uint32_t FontDescription::hash() const {
    std::uint32_t h = 0;
    for (char c : face) h = std::uint32_t(std::int32_t(static_cast<signed char>(c))) ^ (h << 3);
    h ^= std::uint32_t(std::int32_t(std::int16_t(height))) << 11;
    h ^= std::uint32_t(weight) << 7;
    std::uint8_t flags = std::uint8_t((italic ? 1 : 0) | (underline ? 2 : 0));
    h ^= std::uint32_t(flags) << 5;
    h ^= (std::uint32_t(charSet) | std::uint32_t(pitch) << 8) << 3;
    return h;
}

// ---- FontEntry ------------------------------------------------------------------------------

FontEntry::FontEntry(const FontDescription& description, int deviceKey, OutputDevice& device, bool widthTable)
    : font_(description.toFont()), device_(&device), description_(description), deviceKey_(deviceKey),
      hash_(description.hash()) {
    device.setFont(font_);
    fontMetric_ = device.getFontMetric();
    metrics_.ascent = std::int32_t(fontMetric_.ascent);
    metrics_.descent = std::int32_t(fontMetric_.descent);
    metrics_.height = metrics_.ascent + metrics_.descent;
    metrics_.lineSpacing = std::int32_t(fontMetric_.leading) + metrics_.height;
    metrics_.averageWidth = std::int32_t(fontMetric_.averageWidth);
    metrics_.scalable = fontMetric_.kind == 2 || fontMetric_.kind == 3;
    // The entry is shared by every view of its device key and outlives the view that made it
    // (a worksheet window closed while another shows its fonts), and a printer's own device is
    // busy with a page: a scratch device of the same resolution measures instead.
    scratch_ = std::make_unique<VirtualDevice>(device);
    scratch_->setFont(font_);
    if (widthTable) {
        auto table = std::make_unique<std::array<std::int32_t, WIDTH_TABLE_SIZE>>();
        (*table)[0] = 0;   // code 0 is the empty text
        for (int i = 1; i < WIDTH_TABLE_SIZE; ++i) {
            char c = char(i);
            (*table)[std::size_t(i)] = measureOnDevice(std::string_view(&c, 1));
        }
        widthTable_ = std::move(table);
    }
    int x = measureOnDevice("x");
    longTextLimit_ = 32767 / (x > 0 ? x : 1);
}

FontEntry::~FontEntry() = default;

int FontEntry::measureOnDevice(std::string_view text) {
    if (text.empty()) return 0;
    OutputDevice& d = scratch_ ? *scratch_ : *device_;
    d.setFont(font_);
    ++deviceMeasures_;
    return int(d.getTextWidth(String(text)));
}

int FontEntry::charWidth(int character) {
    unsigned code = unsigned(character) & 0xFFu;
    if (widthTable_ && code < unsigned(WIDTH_TABLE_SIZE)) return (*widthTable_)[code];
    if (code == 0) return 0;
    char c = char(code);
    return measureOnDevice(std::string_view(&c, 1));
}

int FontEntry::measureString(std::string_view text) {
    if (text.empty()) return 0;
    if (text.size() > std::size_t(longTextLimit_)) {
        // One device call of a text this long could pass the 16-bit widths of the GUI layer.
        std::int64_t sum = 0;
        for (char c : text) sum += charWidth(static_cast<unsigned char>(c));
        return int(std::min<std::int64_t>(sum, INT32_MAX));
    }
    return measureOnDevice(text);
}

int FontEntry::textWidth(const char* text, int length) {
    if (!text) return 0;
    std::size_t n = length < 0 ? std::strlen(text) : std::size_t(length);
    std::string_view all(text, n);
    if (n < 65536) return measureString(all);
    // In pieces; the pair across each cut is measured together and its single widths taken
    // off, so that what the device adds between two characters is counted once.  The text is
    // only read: each piece is a view of it.
    std::int64_t sum = 0;
    std::size_t at = 0;
    while (n - at > std::size_t(LONG_TEXT_PIECE)) {
        sum += measureString(all.substr(at, LONG_TEXT_PIECE));
        at += LONG_TEXT_PIECE;
        if (n - at >= 2) {
            std::string_view pair = all.substr(at, 2);
            sum += measureString(pair) - charWidth(static_cast<unsigned char>(pair[0])) -
                   charWidth(static_cast<unsigned char>(pair[1]));
        }
    }
    sum += measureString(all.substr(at));
    return int(std::clamp<std::int64_t>(sum, INT32_MIN, INT32_MAX));
}

void FontEntry::textExtent(ExtentRecord& out, const char* text, int length) {
    out.width = textWidth(text, length);
    out.height = metrics_.lineSpacing;
    out.ascent = metrics_.ascent;
}

void FontEntry::stringHeightExtent(ExtentRecord& out, std::string_view text) {
    stringExtent(out, text);
    out.height = metrics_.height;
}

int FontEntry::oneCharWidth(std::string_view text) {
    return text.empty() ? 0 : charWidth(static_cast<unsigned char>(text[0]));
}

int FontEntry::stringWidth(std::string_view text) { return measureString(text); }

void FontEntry::stringExtent(ExtentRecord& out, std::string_view text) {
    out.width = measureString(text);
    out.height = metrics_.lineSpacing;
    out.ascent = metrics_.ascent;
}

// ---- FontCache --------------------------------------------------------------------------------

namespace {
FontCache* programCache = nullptr;
}

FontCache* FontCache::program() { return programCache; }
void FontCache::setProgram(FontCache* cache) { programCache = cache; }

FontCache::~FontCache() {
    purge(0);
    for (auto& chain : chains_)
        for (Node& n : chain) delete n.entry;
    if (programCache == this) programCache = nullptr;
}

FontEntry* FontCache::acquire(const CharStyle& style, const DocumentView& view, OutputDevice* device, int deviceKey) {
    if (!device) return nullptr;
    FontDescription d = FontDescription::of(style, view);
    std::uint32_t h = d.hash();
    auto& chain = chains_[h % CHAINS];
    for (Node& n : chain)
        if (n.hash == h && n.entry->deviceKey_ == deviceKey && n.entry->description_ == d) {
            ++n.entry->referenceCount_;
            return n.entry;
        }
    // Only an explicitly upright style measures its characters once into a table.
    auto* entry = new FontEntry(d, deviceKey, *device, style.italic == 2);
    chain.push_back({h, entry});
    ++count_;
    ++entry->referenceCount_;
    if (count_ > PURGE_ABOVE) purge(0);
    return entry;
}

void FontCache::release(FontEntry* entry) {
    if (!entry) return;
    auto& chain = chains_[entry->hash_ % CHAINS];
    auto it = std::find_if(chain.begin(), chain.end(), [entry](const Node& n) { return n.entry == entry; });
    if (it == chain.end()) {
        delete entry;   // never an entry of this cache: nobody else owns it
        return;
    }
    if (--entry->referenceCount_ <= 0) {
        entry->referenceCount_ = 0;
        if (count_ > KEEP_UP_TO) {
            chain.erase(it);
            --count_;
            delete entry;
        }
    }
}

void FontCache::purge(int deviceKey) {
    for (auto& chain : chains_) {
        for (auto it = chain.begin(); it != chain.end();) {
            if (it->entry->referenceCount_ <= 0 && (deviceKey == 0 || it->entry->deviceKey_ == deviceKey)) {
                delete it->entry;
                it = chain.erase(it);
                --count_;
            } else {
                ++it;
            }
        }
    }
}

int FontCache::nodesInChains() const {
    int n = 0;
    for (const auto& chain : chains_) n += int(chain.size());
    return n;
}

std::vector<const FontEntry*> FontCache::entries() const {
    std::vector<const FontEntry*> out;
    for (const auto& chain : chains_)
        for (const Node& n : chain) out.push_back(n.entry);
    return out;
}

// ---- StyleFontTable ---------------------------------------------------------------------------

StyleFontTable::~StyleFontTable() { dropAll(-1); }

FontEntry* StyleFontTable::find(const StyleKey& key) const {
    for (const Node& n : chains_[bucketOf(key)])
        if (n.key == key) return n.entry;
    return nullptr;
}

void StyleFontTable::insert(const StyleKey& key, FontEntry* entry) { chains_[bucketOf(key)].push_back({key, entry}); }

void StyleFontTable::releaseEntry(FontEntry* entry) {
    if (cache_ && view_) cache_->release(entry);
    else delete entry;
}

FontEntry* StyleFontTable::drop(const StyleKey& key) {
    auto& chain = chains_[bucketOf(key)];
    auto it = std::find_if(chain.begin(), chain.end(), [&key](const Node& n) { return n.key == key; });
    if (it == chain.end()) return nullptr;
    FontEntry* entry = it->entry;
    chain.erase(it);
    releaseEntry(entry);
    return entry;
}

void StyleFontTable::dropAll(int paraStyle, std::vector<FontEntry*>* released) {
    for (auto& chain : chains_) {
        for (auto it = chain.begin(); it != chain.end();) {
            if (paraStyle == -1 || it->key.paraStyle == paraStyle) {
                FontEntry* entry = it->entry;
                it = chain.erase(it);
                if (released) released->push_back(entry);
                releaseEntry(entry);
            } else {
                ++it;
            }
        }
    }
}

int StyleFontTable::size() const {
    int n = 0;
    for (const auto& chain : chains_) n += int(chain.size());
    return n;
}
