// The open-window registry: registration under one name per window, the file mode's canonical
// names compared as the file system does, removal order and visits that survive windows
// leaving the registry.
#include "app/KWindowRegistry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The registry never looks into a window: distinct addresses stand for distinct windows.
struct FakeWindows {
    char cells[64] = {};
    Window* operator[](int i) { return reinterpret_cast<Window*>(&cells[i]); }
};

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kwinreg_" + std::to_string(::getpid()));
        fs::create_directories(dir_ / "sub");
        std::ofstream(dir_ / "Notes.kws") << "{VERSION 5 0}\n";
        std::ofstream(dir_ / "notes.kws") << "{VERSION 5 0}\n";
        fs::create_symlink(dir_ / "Notes.kws", dir_ / "link.kws");
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const char* name) const { return (dir_ / name).string(); }

    fs::path dir_;
    FakeWindows w;
};

TEST_F(RegistryTest, FindsWindowsByNameAndMode) {
    struct Row {
        const char* name;
        std::string registered;
        int32_t mode;
        std::string searched;
        int32_t searchMode;
        bool found;
    } rows[] = {
        {"same file, same spelling", path("Notes.kws"), 1, path("Notes.kws"), 1, true},
        {"same file through a link", path("Notes.kws"), 1, path("link.kws"), 1, true},
        {"same file through sub/..", path("Notes.kws"), 1, path("sub/../Notes.kws"), 1, true},
        {"a name differing in case is another file", path("Notes.kws"), 1, path("notes.kws"), 1, false},
        {"a file not yet written, through sub/..", path("new.kws"), 1, path("sub/../new.kws"), 1, true},
        {"mode must match", path("Notes.kws"), 1, path("Notes.kws"), 0, false},
        {"topic, exact", "Kelvo Library Help: int", 0, "Kelvo Library Help: int", 0, true},
        {"topic, other case", "Kelvo Library Help: int", 0, "kelvo library help: int", 0, false},
        {"topic of another mode", "int", 2, "int", 0, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        KWindowRegistry registry;
        registry.add(w[0], r.registered, r.mode);
        EXPECT_EQ(registry.find(r.searched, r.searchMode), r.found ? w[0] : nullptr);
    }
}

TEST_F(RegistryTest, ARelativeFileNameIsRegisteredAbsolute) {
    fs::path old = fs::current_path();
    fs::current_path(dir_);
    KWindowRegistry registry;
    registry.add(w[0], "Notes.kws", KWindowRegistry::kModeFile);
    fs::current_path(old);
    EXPECT_EQ(registry.nameAt(0), fs::canonical(dir_ / "Notes.kws").string());
    EXPECT_EQ(registry.find(path("Notes.kws"), 1), w[0]);
}

TEST(KWindowRegistry, AWindowAddedAgainHasOneEntry) {
    FakeWindows w;
    KWindowRegistry registry;
    registry.add(w[0], "first", 0);
    registry.add(w[1], "other", 0);
    registry.add(w[0], "second", 0);
    EXPECT_EQ(registry.count(), 2);
    EXPECT_EQ(registry.find("first", 0), nullptr);
    EXPECT_EQ(registry.find("second", 0), w[0]);
}

TEST(KWindowRegistry, FindAnswersTheFirstEntryInArrayOrder) {
    FakeWindows w;
    KWindowRegistry registry;
    registry.add(w[0], "same", 0);
    registry.add(w[1], "same", 0);
    EXPECT_EQ(registry.find("same", 0), w[0]);
    registry.remove(w[0]);
    EXPECT_EQ(registry.find("same", 0), w[1]);
}

TEST(KWindowRegistry, ARemovalFillsTheHoleWithTheLastEntry) {
    FakeWindows w;
    KWindowRegistry registry;
    for (int i = 0; i < 4; ++i) registry.add(w[i], "w" + std::to_string(i), 0);
    registry.remove(w[1]);
    ASSERT_EQ(registry.count(), 3);
    EXPECT_EQ(registry.windowAt(0), w[0]);
    EXPECT_EQ(registry.windowAt(1), w[3]);
    EXPECT_EQ(registry.windowAt(2), w[2]);
    registry.remove(w[2]);   // the last entry: nothing moves
    EXPECT_EQ(registry.count(), 2);
    EXPECT_EQ(registry.windowAt(1), w[3]);
    registry.remove(w[9]);   // never registered
    EXPECT_EQ(registry.count(), 2);
}

TEST(KWindowRegistry, GrowsInStepsOf32) {
    FakeWindows w;
    KWindowRegistry registry;
    EXPECT_EQ(registry.capacity(), 0u);
    for (int i = 0; i < 33; ++i) {
        registry.add(w[i], "w" + std::to_string(i), 0);
        EXPECT_EQ(registry.capacity(), i < 32 ? 32u : 64u) << i;
    }
    for (int i = 0; i < 33; ++i) EXPECT_EQ(registry.find("w" + std::to_string(i), 0), w[i]) << i;
}

TEST(KWindowRegistry, AVisitSurvivesWindowsLeavingDuringIt) {
    struct Row {
        const char* name;
        int leaving;   // -1: the visited window itself; otherwise also that one
    } rows[] = {{"every window removes itself", -1}, {"the first window removes the last", 4}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        FakeWindows w;
        KWindowRegistry registry;
        for (int i = 0; i < 5; ++i) registry.add(w[i], "w" + std::to_string(i), 0);
        std::vector<Window*> visited;
        registry.visit([&](Window* window) {
            visited.push_back(window);
            if (r.leaving < 0) registry.remove(window);
            else if (window == w[0]) registry.remove(w[r.leaving]);
        });
        if (r.leaving < 0) {
            EXPECT_EQ(visited, (std::vector<Window*>{w[0], w[1], w[2], w[3], w[4]}));
            EXPECT_EQ(registry.count(), 0);
        } else {
            EXPECT_EQ(visited, (std::vector<Window*>{w[0], w[1], w[2], w[3]}));
            EXPECT_EQ(registry.count(), 4);
        }
    }
}

}  // namespace
