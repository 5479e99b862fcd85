// Style sets: storage, resolution with its cache, used marks, loops, the style table record,
// the fragment merge and style edits.
#include "document/styles/StyleSet.h"

#include <algorithm>

#include "document/records/KWorksheetReader.h"
#include "document/records/KWorksheetWriter.h"
#include "document/records/WorksheetFileError.h"
#include "document/styles/WorksheetTagTable.h"

IndexMap charStyleIndexMap;
IndexMap paraStyleIndexMap;

namespace {
constexpr std::size_t GROWTH = 32;

template <typename T>
void growTo(std::vector<std::unique_ptr<T>>& table, std::size_t index) {
    if (index < table.size()) return;
    table.resize((index / GROWTH + 1) * GROWTH);
}

template <typename T>
T* slot(const std::vector<std::unique_ptr<T>>& table, int index) {
    if (index < 0 || std::size_t(index) >= table.size()) return nullptr;
    return table[std::size_t(index)].get();
}

// The index a style added by name takes: the user style of that name when there is one, else
// one past the last user style, else the first free user index.
template <typename T>
int indexForName(const std::vector<std::unique_ptr<T>>& table, const T& style) {
    int index = -1;
    for (std::size_t i = StyleSet::FIRST_USER_INDEX; i < table.size(); ++i)
        if (table[i] && table[i]->name == style.name) index = int(i);
    if (index < 0) {
        index = StyleSet::FIRST_USER_INDEX;
        for (std::size_t i = table.size(); i-- > StyleSet::FIRST_USER_INDEX;)
            if (table[i]) {
                index = int(i) + 1;
                break;
            }
    }
    if (index >= StyleSet::INDEX_LIMIT) {
        index = -1;
        for (int i = StyleSet::FIRST_USER_INDEX; i < StyleSet::INDEX_LIMIT; ++i)
            if (!slot(table, i)) {
                index = i;
                break;
            }
    }
    return index;
}

std::size_t cacheHash(int c, int p, int o) {
    auto s = [](int v) { return std::uint32_t(std::int32_t(std::int16_t(v))); };
    return std::size_t((s(c) << 13) ^ (s(p) << 7) ^ s(o));
}

// Follows based-on links from `start`, at most once per style, and answers whether `target`
// is met (the chain would be circular through it) or the chain loops by itself.
template <typename T>
bool chainMeets(const std::vector<std::unique_ptr<T>>& table, int target, int start) {
    std::vector<bool> seen(table.size() + 1, false);
    int i = start;
    while (i >= 0) {
        if (i == target) return true;
        if (std::size_t(i) >= table.size()) return false;
        if (seen[std::size_t(i)]) return true;
        seen[std::size_t(i)] = true;
        T* s = table[std::size_t(i)].get();
        if (!s) return false;
        i = s->basedOn;
    }
    return false;
}
}  // namespace

StyleSet::StyleSet(StyleSetOwner* owner) : owner_(owner) { buildDefaultStyles(); }

StyleSet::StyleSet(const StyleSet& other) : owner_(other.owner_) {
    charStyles_.resize(other.charStyles_.size());
    for (std::size_t i = 0; i < other.charStyles_.size(); ++i)
        if (other.charStyles_[i]) charStyles_[i] = std::make_unique<CharStyle>(*other.charStyles_[i]);
    paraStyles_.resize(other.paraStyles_.size());
    for (std::size_t i = 0; i < other.paraStyles_.size(); ++i)
        if (other.paraStyles_[i]) paraStyles_[i] = std::make_unique<ParaStyle>(*other.paraStyles_[i]);
}

StyleSet::~StyleSet() = default;

CharStyle* StyleSet::charStyle(int index) const { return slot(charStyles_, index); }
ParaStyle* StyleSet::paraStyle(int index) const { return slot(paraStyles_, index); }

int StyleSet::firstFreeUserChar() const {
    for (int i = FIRST_USER_INDEX; i < INDEX_LIMIT; ++i)
        if (!charStyle(i)) return i;
    return -1;
}

int StyleSet::firstFreeUserPara() const {
    for (int i = FIRST_USER_INDEX; i < INDEX_LIMIT; ++i)
        if (!paraStyle(i)) return i;
    return -1;
}

void StyleSet::dropAllResolved() {
    resolvedParaStyles_.clear();
    resolvedNone_.reset();
    for (auto& chain : cache_) chain.clear();
}

// ---- storing and removing ------------------------------------------------------------------------

int StyleSet::addCharStyle(std::unique_ptr<CharStyle> style, int index) {
    if (!style || index >= INDEX_LIMIT || index < -1) return -1;
    if (index == -1) {
        if (style->name) {
            for (std::size_t i = FIRST_USER_INDEX; i < charStyles_.size(); ++i)
                if (charStyles_[i] && charStyles_[i]->equals(*style)) return int(i);
        }
        index = firstFreeUserChar();
        if (index < 0) return -1;
    }
    growTo(charStyles_, std::size_t(index));
    style->index = std::int16_t(index);
    charStyles_[std::size_t(index)] = std::move(style);
    // Cached combinations may run through the replaced style's chain.
    for (auto& chain : cache_) chain.clear();
    resolvedNone_.reset();
    return index;
}

int StyleSet::addParaStyle(std::unique_ptr<ParaStyle> style, int index) {
    if (!style || index >= INDEX_LIMIT || index < -1) return -1;
    if (index == -1) {
        if (style->name) {
            for (std::size_t i = FIRST_USER_INDEX; i < paraStyles_.size(); ++i)
                if (paraStyles_[i] && paraStyles_[i]->equals(*style)) return int(i);
        }
        index = firstFreeUserPara();
        if (index < 0) return -1;
    }
    growTo(paraStyles_, std::size_t(index));
    style->index = std::int16_t(index);
    paraStyles_[std::size_t(index)] = std::move(style);
    // Styles based on this one resolve through it: drop every resolved form.
    dropAllResolved();
    if (owner_) owner_->paraStyleChanged(index);
    return index;
}

int StyleSet::addCharStyleByName(std::unique_ptr<CharStyle> style) {
    if (!style || !style->name) return -1;
    int index = indexForName(charStyles_, *style);
    return index < 0 ? -1 : addCharStyle(std::move(style), index);
}

int StyleSet::addParaStyleByName(std::unique_ptr<ParaStyle> style) {
    if (!style || !style->name) return -1;
    int index = indexForName(paraStyles_, *style);
    return index < 0 ? -1 : addParaStyle(std::move(style), index);
}

int StyleSet::copyCharStyleForEdit(int index, bool force) {
    CharStyle* s = charStyle(index);
    if (!s || (!s->name && !force)) return index;
    auto copy = std::make_unique<CharStyle>(*s);
    copy->name.reset();
    int at = firstFreeUserChar();
    return at < 0 ? index : addCharStyle(std::move(copy), at);
}

int StyleSet::copyParaStyleForEdit(int index, bool force) {
    ParaStyle* s = paraStyle(index);
    if (!s || (!s->name && !force)) return index;
    auto copy = std::make_unique<ParaStyle>(*s);
    copy->name.reset();
    int at = firstFreeUserPara();
    return at < 0 ? index : addParaStyle(std::move(copy), at);
}

bool StyleSet::removeCharStyle(int index) {
    CharStyle* s = charStyle(index);
    if (!s) return true;
    int base = s->basedOn;
    if (owner_) owner_->replaceStyleIndex(true, index, base);
    for (auto& other : charStyles_)
        if (other && other->basedOn == index) other->basedOn = std::int16_t(base);
    charStyles_[std::size_t(index)].reset();
    invalidateResolved();
    return true;
}

bool StyleSet::removeParaStyle(int index) {
    ParaStyle* s = paraStyle(index);
    if (!s) return true;
    int base = s->basedOn;
    if (owner_) owner_->replaceStyleIndex(false, index, base < 0 ? 0 : base);
    for (auto& other : paraStyles_)
        if (other && other->basedOn == index) other->basedOn = std::int16_t(base);
    paraStyles_[std::size_t(index)].reset();
    invalidateResolved();
    return true;
}

int StyleSet::findCharStyle(const std::string& name) const {
    for (std::size_t i = 0; i < charStyles_.size(); ++i)
        if (charStyles_[i] && charStyles_[i]->name == name) return int(i);
    return -1;
}

int StyleSet::findParaStyle(const std::string& name) const {
    for (std::size_t i = 0; i < paraStyles_.size(); ++i)
        if (paraStyles_[i] && paraStyles_[i]->name == name) return int(i);
    return -1;
}

// ---- resolution ------------------------------------------------------------------------------

void StyleSet::mergeChain(CharStyle& target, int start, bool& complete) const {
    // Each slot is visited at most once: a cycle ends the walk like the end of the chain.
    std::vector<bool> seen(charStyles_.size(), false);
    int i = start;
    while (!complete && i >= 0 && std::size_t(i) < charStyles_.size() && !seen[std::size_t(i)]) {
        seen[std::size_t(i)] = true;
        const CharStyle* s = charStyles_[std::size_t(i)].get();
        if (!s) break;
        complete = target.mergeFrom(*s);
        i = target.basedOn;
    }
}

const ParaStyle& StyleSet::resolvedParaStyle(int index) {
    if (index < 0 || index >= INDEX_LIMIT) {
        if (!resolvedNone_) {
            resolvedNone_ = std::make_unique<ParaStyle>(index);
            resolvedNone_->mergeFrom(nullptr);
            resolvedNone_->index = std::int16_t(index < 0 ? -1 : index);
        }
        return *resolvedNone_;
    }
    growTo(resolvedParaStyles_, std::size_t(index));
    auto& held = resolvedParaStyles_[std::size_t(index)];
    if (held) return *held;
    auto r = std::make_unique<ParaStyle>(index);
    std::vector<bool> seen(paraStyles_.size(), false);
    bool complete = false;
    int i = index;
    while (!complete && i >= 0 && std::size_t(i) < paraStyles_.size() && !seen[std::size_t(i)]) {
        seen[std::size_t(i)] = true;
        const ParaStyle* s = paraStyles_[std::size_t(i)].get();
        if (!s) break;
        complete = r->mergeFrom(s);
        i = r->basedOn;
    }
    if (!complete) r->mergeFrom(nullptr);
    r->extraValue = 0;
    r->index = std::int16_t(index);
    held = std::move(r);
    return *held;
}

const CharStyle& StyleSet::effectiveCharStyle(int c, int p, int o) {
    if (c == -1 && o == -1) return resolvedParaStyle(p).charPart;
    std::size_t hash = cacheHash(c, p, o);
    auto& chain = cache_[hash % CACHE_CHAINS];
    for (const CacheEntry& e : chain)
        if (e.hash == hash && e.charIndex == c && e.paraIndex == p && e.overrideIndex == o)
            return *e.style;
    auto style = std::make_unique<CharStyle>(c);
    bool complete = false;
    if (o != -1) mergeChain(*style, o, complete);
    style->basedOn = std::int16_t(c);
    if (!complete) mergeChain(*style, c, complete);
    if (!complete && p != -1) complete = style->mergeFrom(resolvedParaStyle(p).charPart);
    if (!complete) style->completeWithDefaults();
    style->basedOn = std::int16_t(c);
    style->index = std::int16_t(c);
    chain.push_back({hash, c, p, o, std::move(style)});
    return *chain.back().style;
}

void StyleSet::invalidateResolved() {
    dropAllResolved();
    if (owner_) owner_->paraStyleChanged(-1);
}

void StyleSet::invalidateResolvedParaStyle(int index) {
    if (owner_) owner_->paraStyleChanged(index);
    for (auto& chain : cache_)
        chain.erase(std::remove_if(chain.begin(), chain.end(),
                                   [&](const CacheEntry& e) { return e.paraIndex == index; }),
                    chain.end());
    if (index >= 0 && std::size_t(index) < resolvedParaStyles_.size())
        resolvedParaStyles_[std::size_t(index)].reset();
}

void StyleSet::invalidateCharCombination(int c, int p, int o) {
    std::size_t hash = cacheHash(c, p, o);
    auto& chain = cache_[hash % CACHE_CHAINS];
    chain.erase(std::remove_if(chain.begin(), chain.end(),
                               [&](const CacheEntry& e) {
                                   return e.charIndex == c && e.paraIndex == p &&
                                          e.overrideIndex == o;
                               }),
                chain.end());
    if (owner_) owner_->charStyleChanged(c, p, o);
}

// ---- used marks and loops ------------------------------------------------------------------------

unsigned StyleSet::charDisplayFlags(int index) const {
    const CharStyle* s = charStyle(index);
    if (!s) return 0;
    return (index < FIRST_USER_INDEX ? STYLE_BUILTIN : STYLE_USER) | STYLE_CHARACTER |
           (s->name ? STYLE_NAMED : STYLE_UNNAMED) | (s->used ? STYLE_USED : STYLE_UNUSED);
}

unsigned StyleSet::paraDisplayFlags(int index) const {
    const ParaStyle* s = paraStyle(index);
    if (!s) return 0;
    return (index < FIRST_USER_INDEX ? STYLE_BUILTIN : STYLE_USER) | STYLE_PARAGRAPH |
           (s->name ? STYLE_NAMED : STYLE_UNNAMED) | (s->used ? STYLE_USED : STYLE_UNUSED);
}

void StyleSet::clearUsedMarks() {
    for (auto& s : charStyles_)
        if (s) s->used = false;
    for (auto& s : paraStyles_)
        if (s) s->used = false;
}

void StyleSet::setUsedMarks(unsigned mask, bool value) {
    const unsigned ignore = STYLE_USED | STYLE_UNUSED;
    for (std::size_t i = 0; i < charStyles_.size(); ++i) {
        unsigned f = charDisplayFlags(int(i)) & ~ignore;
        if (charStyles_[i] && (f & ~mask) == 0) charStyles_[i]->used = value;
    }
    for (std::size_t i = 0; i < paraStyles_.size(); ++i) {
        unsigned f = paraDisplayFlags(int(i)) & ~ignore;
        if (paraStyles_[i] && (f & ~mask) == 0) paraStyles_[i]->used = value;
    }
}

void StyleSet::markCharStyleChainUsed(int index) {
    std::vector<bool> seen(charStyles_.size(), false);
    for (int i = index; i >= 0 && std::size_t(i) < charStyles_.size() && !seen[std::size_t(i)];) {
        seen[std::size_t(i)] = true;
        CharStyle* s = charStyles_[std::size_t(i)].get();
        if (!s) break;
        s->used = true;
        i = s->basedOn;
    }
}

void StyleSet::markParaStyleChainUsed(int index) {
    std::vector<bool> seen(paraStyles_.size(), false);
    for (int i = index; i >= 0 && std::size_t(i) < paraStyles_.size() && !seen[std::size_t(i)];) {
        seen[std::size_t(i)] = true;
        ParaStyle* s = paraStyles_[std::size_t(i)].get();
        if (!s) break;
        s->used = true;
        i = s->basedOn;
    }
}

void StyleSet::setCharStyleUsed(int index, bool used) {
    if (CharStyle* s = charStyle(index)) s->used = used;
}

void StyleSet::setParaStyleUsed(int index, bool used) {
    if (ParaStyle* s = paraStyle(index)) s->used = used;
}

bool StyleSet::wouldCharBaseLoop(int index, int newBase) const {
    return chainMeets(charStyles_, index, newBase);
}

bool StyleSet::wouldParaBaseLoop(int index, int newBase) const {
    return chainMeets(paraStyles_, index, newBase);
}

// ---- style table -------------------------------------------------------------------------------

void StyleSet::writeStyleTable(KWorksheetWriter& w, bool usedOnly, bool withBuiltIns) const {
    std::size_t first = withBuiltIns ? 0 : FIRST_USER_INDEX;
    w.writeRaw("{USTYLETAB ");
    for (std::size_t i = first; i < charStyles_.size(); ++i)
        if (charStyles_[i] && (!usedOnly || charStyles_[i]->used)) charStyles_[i]->writeRecord(w);
    for (std::size_t i = first; i < paraStyles_.size(); ++i)
        if (paraStyles_[i] && (!usedOnly || paraStyles_[i]->used)) paraStyles_[i]->writeRecord(w);
    w.writeRaw("}\n");
}

bool StyleSet::readUserStyleTable(KWorksheetReader& reader) {
    std::string token;
    reader.readToken(token);
    if (token.empty() || token == "}") return false;
    if (token == "{USTYLETAB") {
        try {
            ErrorGuard guard;
            while (worksheetTagTable.readStyleTableRecord(reader, *this)) {
            }
        } catch (const ErrorJump& jump) {
            // A damaged table ends here; what was read stays.  Running out of memory is not
            // the table's to swallow.
            if (jump.record != &worksheetFileError) throw;
            reader.skipRecord();
        }
    } else if (token[0] == '{' && token.back() != '}') {
        reader.skipRecord();
    }
    return true;
}

bool StyleSet::readStyleTable(KWorksheetReader& reader) {
    std::string token;
    reader.readToken(token);
    if (token.empty() || token == "}") return false;
    if (token == "{USTYLETAB" || token == "{STYLETAB") {
        invalidateResolved();
        try {
            ErrorGuard guard;
            while (worksheetTagTable.readStyleTableEntry(reader, *this)) {
            }
        } catch (const ErrorJump& jump) {
            if (jump.record != &worksheetFileError) throw;
            reader.skipRecord();
        }
    } else if (token[0] == '{' && token.back() != '}') {
        reader.skipRecord();
    }
    return true;
}

void StyleSet::mergeStyles(const StyleSet& other) {
    worksheetTagTable.resetReadState();
    charStyleIndexMap.clear();
    paraStyleIndexMap.clear();
    for (std::size_t i = FIRST_USER_INDEX; i < other.charStyles_.size(); ++i) {
        if (!other.charStyles_[i]) continue;
        auto copy = std::make_unique<CharStyle>(*other.charStyles_[i]);
        CharStyle* stored = copy.get();
        int at = addCharStyle(std::move(copy), -1);
        if (at < 0) continue;
        charStyleIndexMap.set(int(i), at);
        if (charStyle(at) != stored) continue;   // an equal style was there already
        if (stored->basedOn >= FIRST_USER_INDEX && charStyleIndexMap.contains(stored->basedOn)) {
            int mapped = charStyleIndexMap.map(stored->basedOn);
            if (mapped != 0) stored->basedOn = std::int16_t(mapped);
        }
        if (wouldCharBaseLoop(at, stored->basedOn)) stored->basedOn = -1;
    }
    for (std::size_t i = FIRST_USER_INDEX; i < other.paraStyles_.size(); ++i) {
        if (!other.paraStyles_[i]) continue;
        auto copy = std::make_unique<ParaStyle>(*other.paraStyles_[i]);
        ParaStyle* stored = copy.get();
        int at = addParaStyle(std::move(copy), -1);
        if (at < 0) continue;
        paraStyleIndexMap.set(int(i), at);
        if (paraStyle(at) != stored) continue;
        if (stored->basedOn >= FIRST_USER_INDEX && paraStyleIndexMap.contains(stored->basedOn)) {
            int mapped = paraStyleIndexMap.map(stored->basedOn);
            if (mapped != 0) stored->basedOn = std::int16_t(mapped);
        }
        if (wouldParaBaseLoop(at, stored->basedOn)) stored->basedOn = -1;
    }
    dropAllResolved();
}

// ---- describing ----------------------------------------------------------------------------------

void StyleSet::describeCharStyleText(int index, std::string& out) const {
    out.clear();
    const CharStyle* s = charStyle(index);
    if (!s) {
        out = "No defined attributes.";
        return;
    }
    const CharStyle* base = charStyle(s->basedOn);
    std::string words;
    if (base && base->name) words = "Style \"" + *base->name + "\"";
    s->describe(words);
    out = words.empty() ? "No defined attributes." : words + ".";
}

void StyleSet::describeParaStyleText(int index, std::string& out) const {
    out.clear();
    const ParaStyle* s = paraStyle(index);
    if (!s) {
        out = "No defined attributes.";
        return;
    }
    const ParaStyle* base = paraStyle(s->basedOn);
    std::string words;
    if (base && base->name) words = "Style \"" + *base->name + "\"";
    s->describe(words);
    out = words.empty() ? "No defined attributes." : words + ".";
}

// ---- edits -----------------------------------------------------------------------------------------

namespace {
// The character rule of style edits: set what is requested and differs from the effective
// style; clear it again when the base gives the same value.  Answers whether target changed.
bool applyCharRule(CharStyle& t, const CharStyle& req, const CharStyle& eff, const CharStyle& base) {
    bool changed = false;
    if (req.fontName && req.fontName != eff.fontName) {
        t.fontName = req.fontName == base.fontName ? std::nullopt : req.fontName;
        changed = true;
    }
    if (req.sizeMode != 0 && (req.sizeMode != eff.sizeMode || req.size != eff.size)) {
        bool same = req.sizeMode == 1 && base.sizeMode == 1 && req.size == base.size;
        t.sizeMode = same ? 0 : req.sizeMode;
        t.size = same ? 0 : req.size;
        changed = true;
    }
    if (req.colourDefined &&
        (!eff.colourDefined || req.color.red != eff.color.red || req.color.green != eff.color.green ||
         req.color.blue != eff.color.blue || req.colourKind != eff.colourKind)) {
        bool same = base.colourDefined && req.color.red == base.color.red &&
                    req.color.green == base.color.green && req.color.blue == base.color.blue &&
                    req.colourKind == base.colourKind;
        if (same) {
            t.colourDefined = 0;
        } else {
            t.color = req.color;
            t.colourKind = req.colourKind;
            t.colourDefined = 1;
        }
        changed = true;
    }
    auto triState = [&](int CharStyle::*field) {
        if (req.*field != 0 && req.*field != eff.*field) {
            t.*field = req.*field == base.*field ? 0 : req.*field;
            changed = true;
        }
    };
    triState(&CharStyle::italic);
    triState(&CharStyle::bold);
    triState(&CharStyle::underline);
    auto plain = [&](int CharStyle::*field) {
        if (req.*field != 0 && req.*field != eff.*field) {
            t.*field = req.*field;
            changed = true;
        }
    };
    plain(&CharStyle::spareAttribute);
    plain(&CharStyle::inputAttribute);
    plain(&CharStyle::readOnly);
    plain(&CharStyle::lineBreak);
    plain(&CharStyle::charsetCode);
    return changed;
}
}  // namespace

bool StyleSet::changeCharStyle(int& index, int paraIndex, const CharStyle& requested,
                               int overrideIndex) {
    CharStyle effective = overrideIndex == -1 ? effectiveCharStyle(index, paraIndex, -1)
                                              : effectiveCharStyle(overrideIndex, paraIndex, index);
    CharStyle base = overrideIndex == -1 ? effectiveCharStyle(-1, paraIndex, -1)
                                         : effectiveCharStyle(overrideIndex, paraIndex, -1);
    CharStyle* current = charStyle(index);
    bool privateStyle = current && index >= FIRST_USER_INDEX && !current->name;
    CharStyle target = privateStyle ? *current : CharStyle(index);
    if (!applyCharRule(target, requested, effective, base)) return false;
    int oldIndex = index;
    if (privateStyle) {
        *current = target;
        current->index = std::int16_t(index);
    } else {
        int at = addCharStyle(std::make_unique<CharStyle>(target), firstFreeUserChar());
        if (at < 0) return false;
        index = at;
    }
    for (auto& chain : cache_) chain.clear();
    invalidateCharCombination(oldIndex, paraIndex, -1);
    CharStyle* stored = charStyle(index);
    if (stored && stored->isEmpty()) {
        int base = stored->basedOn;
        removeCharStyle(index);
        index = base;
    }
    return true;
}

bool StyleSet::changeParaStyle(int& index, const ParaStyle& requested) {
    ParaStyle effective = resolvedParaStyle(index);
    ParaStyle* current = paraStyle(index);
    bool privateStyle = current && index >= FIRST_USER_INDEX && !current->name;
    ParaStyle base = privateStyle ? resolvedParaStyle(current->basedOn) : ParaStyle(-1);
    ParaStyle target = privateStyle ? *current : ParaStyle(index);
    bool changed = false;
    auto mode = [&](int ParaStyle::*field) {
        if (requested.*field != 0 && requested.*field != effective.*field) {
            target.*field = privateStyle && requested.*field == base.*field ? 0 : requested.*field;
            changed = true;
        }
    };
    mode(&ParaStyle::justification);
    mode(&ParaStyle::spacing);
    mode(&ParaStyle::newPage);
    mode(&ParaStyle::extraMode);
    mode(&ParaStyle::listKind);
    auto value = [&](int ParaStyle::*field) {
        if (requested.*field != -1 && requested.*field != effective.*field) {
            target.*field = requested.*field;
            changed = true;
        }
    };
    value(&ParaStyle::firstIndent);
    value(&ParaStyle::preleading);
    value(&ParaStyle::postleading);
    if (requested.nextStyle != -1 && requested.nextStyle != effective.nextStyle) {
        target.nextStyle = requested.nextStyle;
        changed = true;
    }
    if (requested.leftMarginMode != 0 && requested.leftMarginMode != effective.leftMarginMode &&
        requested.leftMargin != effective.leftMargin) {
        target.leftMarginMode = requested.leftMarginMode;
        target.leftMargin = requested.leftMargin;
        changed = true;
    }
    if (requested.rightMarginMode != 0 && requested.rightMarginMode != effective.rightMarginMode &&
        requested.rightMargin != effective.rightMargin) {
        target.rightMarginMode = requested.rightMarginMode;
        target.rightMargin = requested.rightMargin;
        changed = true;
    }
    const CharStyle& charBase = privateStyle ? base.charPart : CharStyle(-1);
    if (applyCharRule(target.charPart, requested.charPart, effective.charPart, charBase))
        changed = true;
    if (!changed) return false;
    if (privateStyle) {
        *current = target;
        current->index = std::int16_t(index);
        invalidateResolvedParaStyle(index);
        dropAllResolved();
    } else {
        int at = addParaStyle(std::make_unique<ParaStyle>(target), firstFreeUserPara());
        if (at < 0) return false;
        index = at;
    }
    ParaStyle* stored = paraStyle(index);
    if (stored && stored->isEmpty()) {
        int base = stored->basedOn;
        removeParaStyle(index);
        index = base;
    }
    return true;
}

int StyleSet::charStyleForParaAndChar(int sourcePara, int targetPara) {
    int index = -1;
    CharStyle requested = resolvedParaStyle(sourcePara).charPart;
    requested.name.reset();
    changeCharStyle(index, targetPara, requested, -1);
    return index;
}
