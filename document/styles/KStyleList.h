#pragma once
// KStyleList: the sorted list of style names that the LaTeX export and the style controls show.
// `fill` takes the paragraph and/or character styles of a style set whose display flags
// (StyleSet::paraDisplayFlags, charDisplayFlags) are non-zero and lie inside the requested
// flags, and sorts them: paragraph styles before character styles, each kind by strcmp of the
// names (so upper case sorts before lower case).
//
// Each entry owns a copy of its style's name: the list may outlive the style set it was filled
// from (the style box of a context bar lives while styles are renamed, deleted or replaced, or
// go with their document), so it never points into the set.  A style without a name is listed
// under the empty name.  The set itself is borrowed for the one call to `fill`.

#include <string>
#include <vector>

class StyleSet;

class KStyleList {
public:
    struct Entry {
        std::string name;     // copy of the style's name ("" for an unnamed style)
        unsigned flags = 0;   // the style's display flags (STYLE_PARAGRAPH or STYLE_CHARACTER, ...)
        int index = -1;       // the style's index in its table of the set
    };

    KStyleList() = default;

    void clear() { entries_.clear(); }
    // Lists the styles of the set whose display flags are not 0 and have no bit outside
    // `flags`: paragraph styles when flags has STYLE_PARAGRAPH (4), character styles with
    // STYLE_CHARACTER (8); then sorts.  A null set leaves the list empty.
    void fill(const StyleSet* styles, unsigned flags);
    // The first position whose entry's flags hold every bit of `flags` and whose index is
    // `index`; -1 when none.
    int find(unsigned flags, int index) const;

    int count() const { return int(entries_.size()); }
    const Entry& entry(int position) const { return entries_.at(std::size_t(position)); }
    const std::vector<Entry>& entries() const { return entries_; }

private:
    std::vector<Entry> entries_;
};
