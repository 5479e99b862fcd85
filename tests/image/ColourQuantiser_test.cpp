// Octree colour quantiser: leaves, merges, rounded averages, tree-order palettes and lookups.

#include "image/ColourQuantiser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

std::vector<std::uint32_t> paletteOf(Octree& quantiser)
{
    const auto palette = octree_palette(quantiser);
    return {palette.begin(), palette.end()};
}

OctreeHandle quantiserWith(int maxColours, const std::vector<std::uint32_t>& colours)
{
    OctreeHandle quantiser = octree_new(maxColours);
    EXPECT_TRUE(quantiser);
    if (quantiser) {
        for (std::uint32_t colour : colours)
            EXPECT_TRUE(octree_add_colour(*quantiser, colour));
    }
    return quantiser;
}

std::vector<std::uint32_t> repeated(std::uint32_t colour, int times)
{
    return std::vector<std::uint32_t>(static_cast<std::size_t>(times), colour);
}

TEST(ColourQuantiser, RefusesMaximaTheHeapsCannotHold)
{
    struct Row { const char* name; int maxColours; bool made; };
    const Row rows[] = {
        {"zero", 0, false},
        {"negative", -3, false},
        {"one", 1, true},
        {"gif writer's 254", 254, true},
        {"255", 255, true},
        {"256 overflows a heap", 256, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        OctreeHandle quantiser = octree_new(row.maxColours);
        EXPECT_EQ(static_cast<bool>(quantiser), row.made);
        if (quantiser) {
            EXPECT_EQ(quantiser->maxColours, row.maxColours);
            EXPECT_EQ(quantiser->leafCount, 0);
            EXPECT_EQ(quantiser->leafDepth, 7);
            EXPECT_TRUE(paletteOf(*quantiser).empty());
        }
    }
}

TEST(ColourQuantiser, PalettesInTreeOrderWithRoundedAverages)
{
    struct Row {
        const char* name;
        int maxColours;
        std::vector<std::uint32_t> colours;
        std::vector<std::uint32_t> palette;
    };
    std::vector<std::uint32_t> many = repeated(0x123456, 5000);
    std::vector<std::uint32_t> evenMix = {0x000000, 0x000003};
    std::vector<std::uint32_t> roundUp = {0x0A0A0A, 0x0B0B0B};
    std::vector<std::uint32_t> roundDown = {0x000000, 0x000000, 0x000001};
    const Row rows[] = {
        {"same colour many times is one exact leaf", 254, many, {0x123456}},
        {"black alone", 254, repeated(0x000000, 3), {0x000000}},
        {"white alone", 254, repeated(0xFFFFFF, 3), {0xFFFFFF}},
        {"children 0 to 7: blue bit is child 1", 254, {0xFFFFFF, 0x0000FF, 0x000000},
         {0x000000, 0x0000FF, 0xFFFFFF}},
        {"green (child 2) before red (child 4)", 254, {0x00FF00, 0xFF0000}, {0x00FF00, 0xFF0000}},
        {"one leaf averages 0 and 3 to 2 (half rounds up)", 1, evenMix, {0x000002}},
        {"one leaf averages 10 and 11 to 11", 1, roundUp, {0x0B0B0B}},
        {"one leaf averages 0, 0, 1 to 0", 1, roundDown, {0x000000}},
        {"deepest siblings keep apart below the maximum", 2, {0x000000, 0x000002},
         {0x000000, 0x000002}},
        {"deepest siblings merge above the maximum", 1, {0x000000, 0x000002, 0x000002},
         {0x000001}},
        {"the lowest bit keys no level: one leaf", 254, {0x000000, 0x010101},
         {0x010101}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        OctreeHandle quantiser = quantiserWith(row.maxColours, row.colours);
        ASSERT_TRUE(quantiser);
        EXPECT_EQ(paletteOf(*quantiser), row.palette);
        EXPECT_EQ(quantiser->leafCount, static_cast<int>(row.palette.size()));
        EXPECT_EQ(quantiser->root->pixelCount, row.colours.size());
        for (std::uint32_t colour : row.colours) {
            const int index = octree_lookup(*quantiser, colour);
            ASSERT_GE(index, 0);
            ASSERT_LT(index, static_cast<int>(row.palette.size()));
        }
    }
}

// 200 colours seen 100 times each, every one alone under its parent (bits 7 to 2), then 50
// pairs of rare colours (each pair under one parent, apart in bit 1) seen once: 300 colours
// for 254 leaves.  The rare branches must go first, so every frequent colour stays an exact
// leaf.
TEST(ColourQuantiser, MergesTheLeastFrequentBranchesFirst)
{
    std::vector<std::uint32_t> frequent;
    for (std::uint32_t i = 0; i < 200; ++i)
        frequent.push_back((4 * (i % 64)) << 16 | (4 * (i / 64)) << 8);
    std::vector<std::uint32_t> rare;
    for (std::uint32_t j = 0; j < 50; ++j) {
        rare.push_back((4 * j) << 16 | 100u << 8 | 4u);
        rare.push_back((4 * j) << 16 | 100u << 8 | 6u);
    }
    OctreeHandle quantiser = octree_new(254);
    ASSERT_TRUE(quantiser);
    for (int round = 0; round < 100; ++round)
        for (std::uint32_t colour : frequent)
            ASSERT_TRUE(octree_add_colour(*quantiser, colour));
    for (std::uint32_t colour : rare)
        ASSERT_TRUE(octree_add_colour(*quantiser, colour));

    const std::vector<std::uint32_t> palette = paletteOf(*quantiser);
    EXPECT_LE(quantiser->leafCount, 254);
    EXPECT_EQ(palette.size(), static_cast<std::size_t>(quantiser->leafCount));
    for (std::uint32_t colour : frequent) {
        const int index = octree_lookup(*quantiser, colour);
        ASSERT_LT(index, static_cast<int>(palette.size()));
        EXPECT_EQ(palette[static_cast<std::size_t>(index)], colour) << std::hex << colour;
    }
    // The rare pairs that merged became leaves of their mean (blue 4 and 6 give 5).
    int mergedPairs = 0;
    for (std::size_t j = 0; j < rare.size(); j += 2) {
        const int index = octree_lookup(*quantiser, rare[j]);
        if (index == octree_lookup(*quantiser, rare[j + 1])) {
            ++mergedPairs;
            EXPECT_EQ(palette[static_cast<std::size_t>(index)], (rare[j] & ~0xFFu) | 5u);
        }
    }
    EXPECT_GT(mergedPairs, 0);
}

TEST(ColourQuantiser, ManyColoursStayWithinEveryMaximum)
{
    std::mt19937 random(7);
    std::vector<std::uint32_t> colours(20000);
    for (std::uint32_t& colour : colours)
        colour = random() & 0xFFFFFFu;
    struct Row { const char* name; int maxColours; };
    const Row rows[] = {{"one", 1}, {"eight", 8}, {"sixteen", 16}, {"gif writer's", 254},
                        {"largest", 255}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        OctreeHandle quantiser = quantiserWith(row.maxColours, colours);
        ASSERT_TRUE(quantiser);
        const std::vector<std::uint32_t> palette = paletteOf(*quantiser);
        EXPECT_GE(quantiser->leafCount, 1);
        EXPECT_LE(quantiser->leafCount, row.maxColours);
        EXPECT_EQ(palette.size(), static_cast<std::size_t>(quantiser->leafCount));
        EXPECT_LT(quantiser->heapA->count, 256);
        EXPECT_LT(quantiser->heapB->count, 256);
        std::set<int> used;
        for (std::uint32_t colour : colours) {
            const int index = octree_lookup(*quantiser, colour);
            ASSERT_LT(index, static_cast<int>(palette.size()));
            used.insert(index);
        }
        // Every leaf was reached by some colour added to it.
        EXPECT_EQ(used.size(), palette.size());
    }
}

TEST(ColourQuantiser, LooksUpColoursNeverAdded)
{
    // Colours in all eight octants, varied below: eight leaves can only be the octants.
    std::mt19937 random(11);
    std::vector<std::uint32_t> spread(4000);
    for (std::uint32_t& colour : spread)
        colour = random() & 0xFFFFFFu;
    OctreeHandle octants = quantiserWith(8, spread);
    ASSERT_TRUE(octants);
    ASSERT_EQ(paletteOf(*octants).size(), 8u);

    OctreeHandle sparse = quantiserWith(254, {0xFF0000, 0xFFFFFF});
    ASSERT_TRUE(sparse);
    ASSERT_EQ(paletteOf(*sparse), (std::vector<std::uint32_t>{0xFF0000, 0xFFFFFF}));

    OctreeHandle single = quantiserWith(1, {0x102030, 0xF0E0D0});
    ASSERT_TRUE(single);
    ASSERT_EQ(paletteOf(*single).size(), 1u);

    struct Row { const char* name; const Octree* quantiser; std::uint32_t colour; int index; };
    const Row rows[] = {
        {"octant 0", octants.get(), 0x7F7F7F, 0},
        {"octant 1 (blue)", octants.get(), 0x000080, 1},
        {"octant 5 (red, blue)", octants.get(), 0x9A11C3, 5},
        {"octant 7", octants.get(), 0x808080, 7},
        {"added colour", sparse.get(), 0xFFFFFF, 1},
        {"missing first branch answers 0", sparse.get(), 0x0000FF, 0},
        {"missing deepest branch answers 0", sparse.get(), 0xFDFFFF, 0},
        {"lowest bit ignored", sparse.get(), 0xFEFFFE, 1},
        {"one leaf takes everything", single.get(), 0x0000FF, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(octree_lookup(*row.quantiser, row.colour), row.index);
    }
}

TEST(ColourQuantiser, KeepsMergedNodesForReuse)
{
    // Merged children go to the free list instead of being lost or freed one by one.
    OctreeHandle quantiser = octree_new(4);
    ASSERT_TRUE(quantiser);
    std::mt19937 random(3);
    for (int i = 0; i < 50000; ++i)
        ASSERT_TRUE(octree_add_colour(*quantiser, random() & 0xFFFFFFu));
    EXPECT_LE(quantiser->leafCount, 4);
    EXPECT_EQ(quantiser->root->pixelCount, 50000u);
    int freeNodes = 0;
    for (OctreeNode* node = quantiser->freeList; node; node = node->parent)
        ++freeNodes;
    EXPECT_GT(freeNodes, 0);
}

} // namespace
