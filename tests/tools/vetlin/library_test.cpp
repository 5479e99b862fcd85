// Tests of the library lookup: source files in the library directory, the archive index made by
// the archive tool, the index list's loading rules and its failures.
#include "tools/vetlin/library.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/tools/vetlin/vetlin_fixture.h"
#include "tools/arcman/arcman.h"
#include "tools/vetlin/input.h"
#include "tools/vetlin/parser.h"
#include "tools/vetlin/run.h"

namespace vetlin_test {
namespace {

namespace fs = std::filesystem;

void write_file(const fs::path& p, const std::string& text) {
    std::ofstream f(p, std::ios::binary);
    f << text;
}

class LibraryTest : public CheckerFixture {
protected:
    void SetUp() override {
        CheckerFixture::SetUp();
        library_ = folder_.path() / "lib";
        fs::create_directory(library_);
        vl.libraryDirectory = library_.string();
    }
    int arcman(std::vector<std::string> args) {
        args.insert(args.begin(), "arcman");
        std::vector<const char*> argv;
        for (const std::string& a : args) argv.push_back(a.c_str());
        argv.push_back(nullptr);
        std::FILE* sink = std::tmpfile();
        const int status = arcman_main(int(args.size()), argv.data(), sink, sink);
        std::fclose(sink);
        return status;
    }
    // An archive in the library directory holding the members (each a small source file).
    void make_archive(const std::vector<std::string>& members) {
        ASSERT_EQ(arcman({"-c", library_.string(), "10"}), 0);
        for (const std::string& m : members) {
            const fs::path source = folder_.path() / "member.src";
            write_file(source, m + " := proc() end;\n");
            ASSERT_EQ(arcman({"-a", library_.string(), source.string(), m}), 0) << m;
        }
    }
    ScratchFolder folder_;
    fs::path library_;
};

TEST_F(LibraryTest, SourceFileWithoutIndex) {
    write_file(library_ / "foo.m", "foo := proc() end;\n");
    write_file(library_ / "done.m", "");
    EXPECT_TRUE(library_is_routine("foo"));
    EXPECT_TRUE(library_is_routine("done"));
    EXPECT_TRUE(library_is_routine("foo.m"));   // no second ".m"
    EXPECT_FALSE(library_is_routine("bar"));
    EXPECT_EQ(library_index_count(), -1);        // no index: unusable, without a message
    EXPECT_FALSE(library_is_routine("bar"));
    EXPECT_EQ(output(), "");
    EXPECT_EQ(input_slot(), 0);
    EXPECT_EQ(input_current(), in_);
}

TEST_F(LibraryTest, NameBeginningWithSlash) {
    fs::create_directory(library_ / "sub");
    write_file(library_ / "sub" / "name.m", "");
    // "<library><name>.m": the name's own "/" is the separator.
    EXPECT_TRUE(library_is_routine("/sub/name"));
    EXPECT_TRUE(library_is_routine("sub/name"));
    EXPECT_FALSE(library_is_routine("/sub"));
}

TEST_F(LibraryTest, IndexMembersAndSlots) {
    make_archive({"bar.m", "pkg/baz.m", "gone.m", "plain"});
    ASSERT_EQ(arcman({"-d", library_.string(), "gone.m"}), 0);
    const struct {
        const char* name;
        bool routine;
    } rows[] = {
        {"bar", true},   {"bar.m", true}, {"pkg/baz", true}, {"/pkg/baz", true},
        {"gone", false}, {"plain", false}, {"ba", false},     {"bar.", false},
        {"\x01", false},
    };
    for (const auto& row : rows) EXPECT_EQ(library_is_routine(row.name), row.routine) << row.name;
    // Live and deleted slots are loaded; empty ones are not.
    EXPECT_EQ(library_index_count(), 4);
    EXPECT_EQ(output(), "");
}

TEST_F(LibraryTest, FileUnderCheckGoesOnAfterLookups) {
    make_archive({"member.m"});
    write_file(library_ / "src.m", "");
    source("a := 1;\nb := 2;\nc := 3;\n");
    VObj first = parser_read_statement();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(vl_type(first), DAG_ASSIGN);
    EXPECT_TRUE(library_is_routine("member"));   // from the index: nothing pushed
    VObj second = parser_read_statement();
    ASSERT_NE(second, nullptr);
    EXPECT_STREQ(vl_name_text(vl_op(second, 1)), "b");
    EXPECT_TRUE(library_is_routine("src"));      // a source file: pushed and popped
    VObj third = parser_read_statement();
    ASSERT_NE(third, nullptr);
    EXPECT_STREQ(vl_name_text(vl_op(third, 1)), "c");
    EXPECT_EQ(vl_type(parser_read_statement()), VL_END_OF_INPUT);
}

TEST_F(LibraryTest, FileUnderCheckInItsOwnSlot) {
    write_file(folder_.path() / "checked.m", "a := 1;\nb := 2;\n");
    write_file(library_ / "src.m", "zzz := 9;\n");
    ASSERT_TRUE(input_push((folder_.path() / "checked.m").c_str()));
    std::FILE* checked = input_current();
    VObj first = parser_read_statement();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(library_is_routine("src"));
    EXPECT_EQ(input_current(), checked);
    VObj second = parser_read_statement();
    ASSERT_NE(second, nullptr);
    EXPECT_STREQ(vl_name_text(vl_op(second, 1)), "b");
}

TEST_F(LibraryTest, OnlyRegularFilesAreSources) {
    ASSERT_EQ(::mkfifo((library_ / "pipe.m").c_str(), 0600), 0);
    fs::create_directory(library_ / "folder.m");
    // A FIFO without a writer would block an ordinary open: the answer must come at once.
    EXPECT_FALSE(library_is_routine("pipe"));
    EXPECT_FALSE(library_is_routine("folder"));
    EXPECT_EQ(input_slot(), 0);
}

TEST_F(LibraryTest, LongDirectoryAndName) {
    const std::string name(3000, 'n');
    fs::path deep = library_;
    for (int i = 0; i < 20; ++i) deep /= std::string(60, char('a' + i));
    vl.libraryDirectory = deep.string();
    EXPECT_FALSE(library_is_routine(name.c_str()));
    vl.libraryDirectory = library_.string();
    const std::string longName(200, 'q');
    write_file(library_ / (longName + ".m"), "");
    EXPECT_TRUE(library_is_routine(longName.c_str()));
}

TEST_F(LibraryTest, IndexOfAnySizeIsReadSlotBySlot) {
    // Three whole slots and a tail: a slot of 64 bytes without a NUL, an empty slot, a short
    // text; the tail of 10 bytes is no slot.
    std::string index(64, 'x');
    index.replace(62, 2, ".m");
    index += std::string(64, '\0');
    std::string slot = "short.m";
    slot.resize(64, '\0');
    slot[40] = 'Z';   // leftovers after the NUL are not part of the text
    index += slot;
    index += std::string("tail.m\0\0\0\0", 10);
    write_file(library_ / "kelvo.ind", index);
    EXPECT_TRUE(library_is_routine(std::string(62, 'x').c_str()));
    EXPECT_TRUE(library_is_routine("short"));
    EXPECT_FALSE(library_is_routine("tail"));
    EXPECT_EQ(library_index_count(), 2);
}

TEST_F(LibraryTest, IndexThatIsNotAFile) {
    fs::create_directory(library_ / "kelvo.ind");
    EXPECT_FALSE(library_is_routine("anything"));
    EXPECT_EQ(library_index_count(), -1);
    EXPECT_EQ(output(), "");
}

TEST_F(LibraryTest, NoMemoryForTheIndexWarnsOnce) {
    make_archive({"bar.m"});
    os_alloc_fail_after(0);
    EXPECT_FALSE(library_is_routine("bar"));
    EXPECT_FALSE(library_is_routine("bar"));
    os_alloc_fail_after(-1);
    EXPECT_FALSE(library_is_routine("bar"));   // unusable for the rest of the run
    EXPECT_EQ(library_index_count(), -1);
    EXPECT_EQ(output(), "Warning: could not load library archive index\n");
}

TEST_F(LibraryTest, SlotCopiesThatCannotBeKeptAreSkipped) {
    make_archive({"bar.m", "baz.m"});
    os_alloc_fail_after(1);   // the list itself, then no copy
    EXPECT_FALSE(library_is_routine("bar"));
    os_alloc_fail_after(-1);
    EXPECT_EQ(library_index_count(), 0);
    EXPECT_EQ(output(), "");
}

}  // namespace
}  // namespace vetlin_test
