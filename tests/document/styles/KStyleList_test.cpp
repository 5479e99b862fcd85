// Tests of the sorted style list: which styles a request lists, the order of the kinds and
// names, the look-up by flags and index, and names that outlive their style set.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "document/styles/KStyleList.h"
#include "document/styles/StyleSet.h"

namespace {

// The attribute bits every style carries one of in each pair (built-in/user, named/unnamed,
// used/unused): a request must allow them for a style to be listed.
constexpr unsigned kAnyAttribute = STYLE_USER | STYLE_NAMED | STYLE_UNNAMED | STYLE_USED | STYLE_UNUSED;

// User styles on top of the default set: paragraphs "beta", "Alpha", an unnamed one, "alpha",
// "Beta" (256-260), characters "zed" and "Apple" (256, 257); "Alpha" and "Apple" marked used.
std::unique_ptr<StyleSet> userStyles() {
    auto set = std::make_unique<StyleSet>();
    const char* paras[] = {"beta", "Alpha", nullptr, "alpha", "Beta"};
    for (int i = 0; i < 5; ++i) {
        auto s = std::make_unique<ParaStyle>();
        s->setName(paras[i]);
        set->addParaStyle(std::move(s), 256 + i);
    }
    const char* chars[] = {"zed", "Apple"};
    for (int i = 0; i < 2; ++i) {
        auto s = std::make_unique<CharStyle>();
        s->setName(chars[i]);
        set->addCharStyle(std::move(s), 256 + i);
    }
    set->clearUsedMarks();
    set->setParaStyleUsed(257, true);
    set->setCharStyleUsed(257, true);
    return set;
}

// "P:name" or "C:name" per entry, in list order.
std::vector<std::string> listed(const KStyleList& list) {
    std::vector<std::string> out;
    for (const auto& e : list.entries()) out.push_back(((e.flags & STYLE_PARAGRAPH) ? "P:" : "C:") + e.name);
    return out;
}

struct FillCase {
    const char* name;
    unsigned flags;
    std::vector<std::string> expected;
};

TEST(KStyleList, FillListsAndSorts) {
    const FillCase cases[] = {
        {"both kinds: paragraphs first, strcmp order, unnamed as empty", kAnyAttribute | 12,
         {"P:", "P:Alpha", "P:Beta", "P:alpha", "P:beta", "C:Apple", "C:zed"}},
        {"paragraphs only", kAnyAttribute | STYLE_PARAGRAPH, {"P:", "P:Alpha", "P:Beta", "P:alpha", "P:beta"}},
        {"characters only", kAnyAttribute | STYLE_CHARACTER, {"C:Apple", "C:zed"}},
        {"named only", (kAnyAttribute & ~STYLE_UNNAMED) | 12,
         {"P:Alpha", "P:Beta", "P:alpha", "P:beta", "C:Apple", "C:zed"}},
        {"used only", (kAnyAttribute & ~STYLE_UNUSED) | 12, {"P:Alpha", "C:Apple"}},
        // Every style carries attribute bits, so the kind bits alone list nothing.
        {"kind bits alone", 12, {}},
        {"no kind bit", kAnyAttribute, {}},
    };
    auto set = userStyles();
    for (const auto& c : cases) {
        KStyleList list;
        list.fill(set.get(), c.flags);
        EXPECT_EQ(listed(list), c.expected) << c.name << " (flags " << c.flags << ")";
        for (const auto& e : list.entries()) {
            EXPECT_NE(e.flags, 0u) << c.name;
            EXPECT_EQ(e.flags & ~c.flags, 0u) << c.name << ": " << e.name;
        }
    }
}

TEST(KStyleList, BuiltInStylesSortedWithinTheirKind) {
    auto set = userStyles();
    KStyleList list;
    list.fill(set.get(), 0xFF);
    ASSERT_GT(list.count(), 0);
    bool seenChar = false;
    for (int i = 0; i < list.count(); ++i) {
        const auto& e = list.entry(i);
        if (e.flags & STYLE_CHARACTER) seenChar = true;
        else EXPECT_FALSE(seenChar) << "paragraph style " << e.name << " after a character style";
        if (i > 0 && (list.entry(i - 1).flags & 12) == (e.flags & 12))
            EXPECT_LE(list.entry(i - 1).name, e.name) << "at " << i;
    }
    // Every stored style is listed: none has display flags 0.
    int stored = 0;
    for (int i = 0; i < set->paraTableSize(); ++i) stored += set->paraStyle(i) != nullptr;
    for (int i = 0; i < set->charTableSize(); ++i) stored += set->charStyle(i) != nullptr;
    EXPECT_EQ(list.count(), stored);
}

struct FindCase {
    const char* name;
    unsigned flags;
    int index;
    std::string expected;   // the entry found as "P:name"/"C:name", or "" for -1
};

TEST(KStyleList, FindByFlagsAndIndex) {
    const FindCase cases[] = {
        {"paragraph style by index", STYLE_PARAGRAPH, 257, "P:Alpha"},
        {"character style of the same index", STYLE_CHARACTER, 257, "C:Apple"},
        {"used paragraph", STYLE_PARAGRAPH | STYLE_USED, 257, "P:Alpha"},
        {"unused style asked as used", STYLE_PARAGRAPH | STYLE_USED, 256, ""},
        {"unnamed paragraph", STYLE_PARAGRAPH | STYLE_UNNAMED, 258, "P:"},
        {"index not listed", STYLE_CHARACTER, 258, ""},
        {"no flags: any kind, first position", 0, 256, "P:beta"},
    };
    auto set = userStyles();
    KStyleList list;
    list.fill(set.get(), kAnyAttribute | 12);
    for (const auto& c : cases) {
        int at = list.find(c.flags, c.index);
        if (c.expected.empty()) {
            EXPECT_EQ(at, -1) << c.name;
            continue;
        }
        ASSERT_GE(at, 0) << c.name;
        EXPECT_EQ(listed(list)[std::size_t(at)], c.expected) << c.name;
        EXPECT_EQ(list.entry(at).index, c.index) << c.name;
    }
}

TEST(KStyleList, NamesOutliveTheStyleSet) {
    KStyleList list;
    {
        auto set = userStyles();
        list.fill(set.get(), kAnyAttribute | 12);
        // Renaming a style after the fill does not reach the list either.
        set->paraStyle(257)->setName("Renamed");
    }
    EXPECT_EQ(listed(list), (std::vector<std::string>{"P:", "P:Alpha", "P:Beta", "P:alpha", "P:beta", "C:Apple", "C:zed"}));
    EXPECT_EQ(list.find(STYLE_CHARACTER, 256), 6);
    list.clear();
    EXPECT_EQ(list.count(), 0);
    list.fill(nullptr, 0xFF);
    EXPECT_EQ(list.count(), 0);
}

}  // namespace
