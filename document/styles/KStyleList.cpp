// KStyleList: filling from a style set, the sort, and the look-up by flags and index.
#include "document/styles/KStyleList.h"

#include <algorithm>
#include <cstring>

#include "document/styles/StyleSet.h"

namespace {

bool listed(unsigned styleFlags, unsigned requested) {
    return styleFlags != 0 && (styleFlags & ~requested) == 0;
}

// Paragraph styles first; within a kind, strcmp order of the names.
bool before(const KStyleList::Entry& a, const KStyleList::Entry& b) {
    bool aPara = (a.flags & STYLE_PARAGRAPH) != 0;
    bool bPara = (b.flags & STYLE_PARAGRAPH) != 0;
    bool aChar = (a.flags & STYLE_CHARACTER) != 0;
    bool bChar = (b.flags & STYLE_CHARACTER) != 0;
    if ((aPara && bPara) || (aChar && bChar)) return std::strcmp(a.name.c_str(), b.name.c_str()) < 0;
    return aPara && !bPara;
}

}  // namespace

void KStyleList::fill(const StyleSet* styles, unsigned flags) {
    clear();
    if (!styles) return;
    if (flags & STYLE_PARAGRAPH) {
        for (int i = 0; i < styles->paraTableSize(); ++i) {
            unsigned f = styles->paraDisplayFlags(i);
            if (!listed(f, flags)) continue;
            const ParaStyle* s = styles->paraStyle(i);
            entries_.push_back({s && s->name ? *s->name : std::string(), f, i});
        }
    }
    if (flags & STYLE_CHARACTER) {
        for (int i = 0; i < styles->charTableSize(); ++i) {
            unsigned f = styles->charDisplayFlags(i);
            if (!listed(f, flags)) continue;
            const CharStyle* s = styles->charStyle(i);
            entries_.push_back({s && s->name ? *s->name : std::string(), f, i});
        }
    }
    // Stable, so two styles of one kind with equal names keep their table order.
    std::stable_sort(entries_.begin(), entries_.end(), before);
}

int KStyleList::find(unsigned flags, int index) const {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if ((entries_[i].flags & flags) == flags && entries_[i].index == index) return int(i);
    }
    return -1;
}
