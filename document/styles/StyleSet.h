#pragma once
// StyleSet: a document's tables of character and paragraph styles, indexed by the small
// integers that elements store, with resolution of effective styles and its cache, the user
// style merge of pasted fragments, and the style table record "{USTYLETAB ".
//
// Invariants:
//   1. Indices are 16-bit: 0-255 built-in styles at fixed places (the default set below),
//      256-32767 user styles; a negative index names no style.
//   2. A stored style's `index` field equals its slot.
//   3. Resolution follows based-on links at most once per slot, so a cycle that slipped in
//      ends the walk instead of looping; style table reads cut any based-on link that would
//      close a cycle.
//   4. Resolved paragraph styles and cached character combinations are dropped whenever a
//      style they may depend on is stored, removed or changed.
//
// The set owns its styles and its resolved forms; the owner (the document) is told about
// changes through StyleSetOwner and may be none (a fragment's set).  Undo recording of style
// edits belongs to the edit history and is not done here.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "document/styles/CharStyle.h"

class KWorksheetReader;
class KWorksheetWriter;

// What the style set tells its document.
class StyleSetOwner {
public:
    virtual ~StyleSetOwner() = default;
    virtual int documentKind() const = 0;
    // A paragraph style changed; -1 for all styles.
    virtual void paraStyleChanged(int /*index*/) {}
    // One cached character-style combination was dropped.
    virtual void charStyleChanged(int /*charIndex*/, int /*paraIndex*/, int /*overrideIndex*/) {}
    // Every use of oldIndex becomes newIndex (a removed style).
    virtual void replaceStyleIndex(bool /*character*/, int /*oldIndex*/, int /*newIndex*/) {}
};

// Old index -> new index of the user styles of a merged fragment.
class IndexMap {
public:
    void clear() { map_.clear(); }
    void set(int from, int to) { map_[from] = to; }
    // The mapped index, or `from` itself when it was not mapped.
    int map(int from) const {
        auto it = map_.find(from);
        return it == map_.end() ? from : it->second;
    }
    bool contains(int from) const { return map_.count(from) != 0; }

private:
    std::unordered_map<int, int> map_;
};
extern IndexMap charStyleIndexMap;
extern IndexMap paraStyleIndexMap;

// Display flags of a style in the style lists.
enum : unsigned {
    STYLE_BUILTIN = 1, STYLE_USER = 2, STYLE_PARAGRAPH = 4, STYLE_CHARACTER = 8,
    STYLE_NAMED = 16, STYLE_UNNAMED = 32, STYLE_USED = 64, STYLE_UNUSED = 128,
};

class StyleSet {
public:
    static constexpr int FIRST_USER_INDEX = 256;
    static constexpr int INDEX_LIMIT = 32768;   // one past the highest index
    static constexpr int CACHE_CHAINS = 63;

    explicit StyleSet(StyleSetOwner* owner = nullptr);
    StyleSet(const StyleSet& other);              // styles deep-copied; no resolved forms
    StyleSet& operator=(const StyleSet&) = delete;
    ~StyleSet();

    StyleSetOwner* owner() const { return owner_; }
    void setOwner(StyleSetOwner* owner) { owner_ = owner; }

    CharStyle* charStyle(int index) const;
    ParaStyle* paraStyle(int index) const;
    int charTableSize() const { return int(charStyles_.size()); }
    int paraTableSize() const { return int(paraStyles_.size()); }

    // Stores the style at `index`, or with -1 under a new user index (a named style equal to
    // an existing user style answers that style's index and is dropped).  -1 when no index is
    // free or the index is out of range.
    int addCharStyle(std::unique_ptr<CharStyle> style, int index);
    int addParaStyle(std::unique_ptr<ParaStyle> style, int index);
    // Unnamed: not stored (-1).  Named: replaces the user style of that name, else the first
    // index after the last used slot (at least 256).
    int addCharStyleByName(std::unique_ptr<CharStyle> style);
    int addParaStyleByName(std::unique_ptr<ParaStyle> style);
    // A private unnamed copy of a named style (or any style with force) under a new user
    // index; otherwise the index itself.
    int copyCharStyleForEdit(int index, bool force);
    int copyParaStyleForEdit(int index, bool force);
    bool removeCharStyle(int index);
    bool removeParaStyle(int index);
    int findCharStyle(const std::string& name) const;
    int findParaStyle(const std::string& name) const;

    // Completed styles owned by the set (never null).
    const CharStyle& effectiveCharStyle(int charIndex, int paraIndex, int overrideIndex);
    const ParaStyle& resolvedParaStyle(int index);
    void invalidateResolved();
    void invalidateResolvedParaStyle(int index);
    void invalidateCharCombination(int charIndex, int paraIndex, int overrideIndex);

    unsigned charDisplayFlags(int index) const;
    unsigned paraDisplayFlags(int index) const;
    void clearUsedMarks();
    void setUsedMarks(unsigned flagsMask, bool value);
    void markCharStyleChainUsed(int index);
    void markParaStyleChainUsed(int index);
    void setCharStyleUsed(int index, bool used);
    void setParaStyleUsed(int index, bool used);

    bool wouldCharBaseLoop(int index, int newBase) const;
    bool wouldParaBaseLoop(int index, int newBase) const;

    void writeStyleTable(KWorksheetWriter& writer, bool usedOnly, bool withBuiltIns) const;
    bool readUserStyleTable(KWorksheetReader& reader);
    bool readStyleTable(KWorksheetReader& reader);
    void mergeStyles(const StyleSet& other);

    void describeCharStyleText(int index, std::string& out) const;
    void describeParaStyleText(int index, std::string& out) const;

    // Applies the requested attributes; true when something changed.  `index` may move to a
    // new private style or back to a base.
    bool changeCharStyle(int& index, int paraIndex, const CharStyle& requested, int overrideIndex);
    bool changeParaStyle(int& index, const ParaStyle& requested);
    // The character style that gives text in targetPara the character attributes of
    // sourcePara.
    int charStyleForParaAndChar(int sourcePara, int targetPara);

    void buildDefaultStyles();

private:
    struct CacheEntry {
        std::size_t hash;
        int charIndex, paraIndex, overrideIndex;
        std::unique_ptr<CharStyle> style;
    };
    int firstFreeUserChar() const;
    int firstFreeUserPara() const;
    void dropAllResolved();   // without telling the owner
    void mergeChain(CharStyle& target, int start, bool& complete) const;

    StyleSetOwner* owner_;
    std::vector<std::unique_ptr<CharStyle>> charStyles_;
    std::vector<std::unique_ptr<ParaStyle>> paraStyles_;
    std::vector<std::unique_ptr<ParaStyle>> resolvedParaStyles_;
    std::unique_ptr<ParaStyle> resolvedNone_;
    std::array<std::vector<CacheEntry>, CACHE_CHAINS> cache_;
};
