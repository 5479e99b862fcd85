// The font cache: sharing, purging, keeping, width tables, device keys, and release by the
// entry itself after the style it came from changed or went.
#include "document/views/FontCache.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/views/WindowView.h"
#include "tests/document/views/views_fixture.h"

namespace {

using viewtests::ViewsFixture;

class FontCacheTest : public ViewsFixture {
protected:
    FontEntry* acquire(int style, int key = 2) { return cache.acquire(resolved(style), *keeper, &device, key); }
    // Every style a different size, so that each gets an entry of its own.
    std::vector<int> distinctStyles(int n, int firstSize) {
        std::vector<int> out;
        for (int i = 0; i < n; ++i) out.push_back(addStyle("Arial", firstSize + i));
        return out;
    }
    void expectConsistent() {
        EXPECT_EQ(cache.count(), cache.nodesInChains());
        for (const FontEntry* e : cache.entries()) EXPECT_GE(e->referenceCount(), 0);
    }

    FontCache cache;
};

// One row of the sharing table: two acquisitions and whether they share one entry.
struct ShareRow {
    const char* name;
    int firstKey, secondKey;
    bool sameStyle;
    bool shared;
};

TEST_F(FontCacheTest, SharingByDescriptionAndDeviceKey) {
    const ShareRow rows[] = {
        {"same style, same view kind", 3, 3, true, true},
        {"same style on view kinds 3 and 4", 3, 4, true, false},
        {"another size, same view kind", 3, 3, false, false},
    };
    for (const ShareRow& r : rows) {
        FontCache fresh;
        int a = addStyle("Times New Roman", 12);
        int b = r.sameStyle ? a : addStyle("Times New Roman", 13);
        FontEntry* first = fresh.acquire(resolved(a), *keeper, &device, r.firstKey);
        FontEntry* second = fresh.acquire(resolved(b), *keeper, &device, r.secondKey);
        ASSERT_NE(first, nullptr) << r.name;
        EXPECT_EQ(first == second, r.shared) << r.name;
        EXPECT_EQ(fresh.count(), r.shared ? 1 : 2) << r.name;
        EXPECT_EQ(first->referenceCount(), r.shared ? 2 : 1) << r.name;
        EXPECT_EQ(fresh.count(), fresh.nodesInChains()) << r.name;
        fresh.release(first);
        fresh.release(second);
    }
}

TEST_F(FontCacheTest, AcquisitionAbove34PurgesEveryUnreferencedEntry) {
    // Twenty entries released while the cache holds no more than 20: they stay, unreferenced.
    std::vector<FontEntry*> released;
    for (int s : distinctStyles(20, 8)) released.push_back(acquire(s));
    for (FontEntry* e : released) cache.release(e);
    EXPECT_EQ(cache.count(), 20);
    // Fourteen held ones bring the count to 34: nothing is purged yet.
    std::vector<FontEntry*> held;
    for (int s : distinctStyles(14, 40)) held.push_back(acquire(s));
    EXPECT_EQ(cache.count(), 34);
    // The 35th purges the twenty and keeps itself and the held ones.
    FontEntry* newest = acquire(addStyle("Arial", 70));
    EXPECT_EQ(cache.count(), 15);
    std::vector<const FontEntry*> left = cache.entries();
    EXPECT_NE(std::find(left.begin(), left.end(), newest), left.end());
    for (FontEntry* e : held) EXPECT_NE(std::find(left.begin(), left.end(), e), left.end());
    for (const FontEntry* e : left) EXPECT_GT(e->referenceCount(), 0);
    expectConsistent();
    for (FontEntry* e : held) cache.release(e);
    cache.release(newest);
}

TEST_F(FontCacheTest, LastReleaseKeepsUpTo20NodesAndDeletesAbove) {
    int style = addStyle("Courier New", 12);
    FontEntry* e = acquire(style);
    cache.release(e);
    EXPECT_EQ(cache.count(), 1);
    EXPECT_EQ(e->referenceCount(), 0);
    EXPECT_EQ(acquire(style), e) << "a kept entry is found again";
    cache.release(e);

    // With 21 nodes the last release of one deletes it.
    std::vector<FontEntry*> many;
    for (int s : distinctStyles(20, 20)) many.push_back(acquire(s));
    EXPECT_EQ(cache.count(), 21);
    cache.release(many.back());
    EXPECT_EQ(cache.count(), 20);
    many.pop_back();
    expectConsistent();
    for (FontEntry* m : many) cache.release(m);
}

TEST_F(FontCacheTest, WidthTableAnswersBelow255AndTheDeviceAbove) {
    FontEntry* upright = acquire(addStyle("Times New Roman", 14, 2));
    FontEntry* italic = acquire(addStyle("Times New Roman", 14, 1));
    ASSERT_TRUE(upright->hasWidthTable());
    EXPECT_FALSE(italic->hasWidthTable());

    VirtualDevice reference;
    reference.setFont(upright->font());
    int before = upright->deviceMeasureCount();
    EXPECT_EQ(upright->charWidth(200), reference.getTextWidth(String("\xC8")));
    EXPECT_EQ(upright->deviceMeasureCount(), before) << "code 200 comes from the table";
    EXPECT_EQ(upright->charWidth(255), reference.getTextWidth(String("\xFF")));
    EXPECT_EQ(upright->deviceMeasureCount(), before + 1) << "code 255 is measured";
    EXPECT_EQ(upright->charWidth(0), 0);
    EXPECT_EQ(italic->charWidth(0), 0);

    before = italic->deviceMeasureCount();
    reference.setFont(italic->font());
    EXPECT_EQ(italic->charWidth('W'), reference.getTextWidth(String("W")));
    EXPECT_EQ(italic->deviceMeasureCount(), before + 1) << "no table: every character is measured";
    cache.release(upright);
    cache.release(italic);
}

TEST_F(FontCacheTest, DescriptionOfAStyle) {
    struct Row {
        const char* name;
        int italic, bold, charset;
        const char* face;
        bool expectItalic;
        int expectWeight, expectCharSet;
    } rows[] = {
        {"upright roman", 2, 2, 1, "Times New Roman", false, WEIGHT_NORMAL, CHARSET_ANSI},
        {"bold italic", 1, 1, 1, "Times New Roman", true, WEIGHT_BOLD, CHARSET_ANSI},
        {"the symbol kind is never italic", 1, 2, 2, "Symbol", false, WEIGHT_NORMAL, CHARSET_SYMBOL},
        {"kind 6 is the Japanese set", 2, 2, 6, "Times New Roman", false, WEIGHT_NORMAL, CHARSET_SHIFTJIS},
    };
    for (const Row& r : rows) {
        FontDescription d = FontDescription::of(resolved(addStyle("Times New Roman", 12, r.italic, r.bold, r.charset)), *keeper);
        EXPECT_EQ(d.face, r.face) << r.name;
        EXPECT_EQ(d.italic, r.expectItalic) << r.name;
        EXPECT_EQ(d.weight, r.expectWeight) << r.name;
        EXPECT_EQ(d.charSet, r.expectCharSet) << r.name;
        EXPECT_EQ(d.height, 12) << r.name;
        EXPECT_EQ(d.hash(), FontDescription(d).hash()) << r.name;
    }
}

TEST_F(FontCacheTest, StyleSizeIsScaledIn64BitsAndClamped) {
    struct Row {
        const char* name;
        int size, uppN, uppD, zoomN, zoomD, scaleN, scaleD;
        int height;
    } rows[] = {
        {"screen", 12, 1, 1, 1, 1, 1, 1, 12},
        {"twips at 150 %", 12, 20, 1, 3, 2, 1, 1, 360},
        {"left to right: 7 * 1 / 2 first", 7, 1, 2, 3, 1, 1, 1, 9},
        {"large size at a large zoom clamps", 32000, 20, 1, 1000, 1, 1000, 1, 32767},
        {"tiny zoom never gives 0", 8, 1, 1, 1, 1000, 1, 1, 1},
    };
    for (const Row& r : rows) {
        viewtests::QuietView view(doc);
        ASSERT_TRUE(view.setUnitsPerPoint(r.uppN, r.uppD));
        ASSERT_TRUE(view.setZoom(r.zoomN, r.zoomD));
        ASSERT_TRUE(view.setSecondScale(r.scaleN, r.scaleD));
        EXPECT_EQ(view.fontHeightFor(r.size), r.height) << r.name;
    }
}

// A window view whose kind is chosen by the test, so that two views may or may not share.
class KindView : public WindowView {
public:
    KindView(Document* d, OutputDevice* dev, FontCache* c, int kind) : WindowView(d, dev, c), kind_(kind) {}
    int viewKind() const override { return kind_; }

private:
    int kind_;
};

// Releasing looked the entry up again from a description computed anew from the style, which
// after an edit, a zoom change or a removed style found another entry or none, and deleted an
// entry that another view still used.
TEST_F(FontCacheTest, ReleaseByTheEntryAfterStyleEditZoomAndRemoval) {
    int style = addStyle("Arial", 12);
    auto a = std::make_unique<KindView>(doc, &device, &cache, 3);
    auto b = std::make_unique<KindView>(doc, &device, &cache, 3);
    a->selectStyleParts(std::int16_t(style), 0, -1, false);
    b->selectStyleParts(std::int16_t(style), 0, -1, false);
    ASSERT_NE(a->currentFont(), nullptr);
    EXPECT_EQ(a->currentFont(), b->currentFont());
    auto* shared = static_cast<FontEntry*>(a->currentFont());
    EXPECT_EQ(shared->referenceCount(), 2);

    // The style's size changes behind the views' backs, and one view zooms.
    doc->styleSet()->charStyle(style)->size = 30;
    ASSERT_TRUE(a->setZoom(2, 1));
    // Removing the style drops every view's fonts through the style notices.
    doc->styleSet()->removeCharStyle(style);
    EXPECT_EQ(a->currentFont(), nullptr);
    EXPECT_EQ(a->styleFonts().size(), 0);
    EXPECT_EQ(b->styleFonts().size(), 0);
    for (const FontEntry* e : cache.entries()) EXPECT_EQ(e->referenceCount(), 0);
    expectConsistent();

    // Views that acquire again after the removal, then go: nothing dangles.
    a->selectStyleParts(0, 0, -1, false);
    b->selectStyleParts(0, 0, -1, false);
    a.reset();
    b.reset();
    for (const FontEntry* e : cache.entries()) EXPECT_EQ(e->referenceCount(), 0);
    expectConsistent();
}

TEST_F(FontCacheTest, StyleTableDropsByKeyAndByParagraphStyle) {
    int s1 = addStyle("Arial", 10), s2 = addStyle("Arial", 11);
    StyleFontTable table(&cache, keeper.get());
    table.insert(StyleKey{std::int16_t(s1), 0, -1}, acquire(s1));
    table.insert(StyleKey{std::int16_t(s2), 0, -1}, acquire(s2));
    table.insert(StyleKey{std::int16_t(s1), 3, -1}, acquire(s1));
    EXPECT_EQ(table.size(), 3);
    EXPECT_EQ(table.find(StyleKey{std::int16_t(s1), 3, -1}), table.find(StyleKey{std::int16_t(s1), 0, -1}));
    EXPECT_NE(table.drop(StyleKey{std::int16_t(s2), 0, -1}), nullptr);
    EXPECT_EQ(table.drop(StyleKey{std::int16_t(s2), 0, -1}), nullptr) << "dropped once";
    table.dropAll(0);
    EXPECT_EQ(table.size(), 1);
    EXPECT_NE(table.find(StyleKey{std::int16_t(s1), 3, -1}), nullptr);
    table.dropAll(-1);
    EXPECT_EQ(table.size(), 0);
    for (const FontEntry* e : cache.entries()) EXPECT_EQ(e->referenceCount(), 0);
}

TEST_F(FontCacheTest, ProgramCacheIsSetAndClearedWithIt) {
    {
        FontCache program;
        FontCache::setProgram(&program);
        EXPECT_EQ(FontCache::program(), &program);
        WindowView view(doc, &device);
        view.selectStyleParts(-1, 0, -1, false);
        EXPECT_NE(view.currentFont(), nullptr) << "a view without a cache of its own uses the program's";
    }
    EXPECT_EQ(FontCache::program(), nullptr);
}

}  // namespace
