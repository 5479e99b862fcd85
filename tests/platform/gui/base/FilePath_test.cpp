// FilePath: parsing in the four path styles, combining, extensions, the length limit that sets
// the error state, relative paths and the current directory.
#include "platform/gui/base/FilePath.h"

#include <unistd.h>

#include <climits>
#include <filesystem>

#include <gtest/gtest.h>

namespace {

struct ParseCase { const char* name; const char* text; int style; bool absolute; const char* full; bool error; };

TEST(FilePath, ParsesEachStyle) {
    const ParseCase cases[] = {
        {"host absolute", "/home/u/a.kws", 0, true, "/home/u/a.kws", false},
        {"host relative", "docs/a.kws", 0, false, "docs/a.kws", false},
        {"host dots", "/a/./b/../c//d/", 0, true, "/a/c/d", false},
        {"host parent of root", "/../x", 0, true, "/x", false},
        {"host leading parents kept", "../../x", 0, false, "../../x", false},
        {"empty is current dir", "", 0, false, "", false},
        {"dos drive absolute", "C:\\Kelvo\\Sheets\\a.kws", 1, true, "/Kelvo/Sheets/a.kws", false},
        {"dos drive relative", "c:sub\\a.kws", 1, false, "sub/a.kws", false},
        {"dos mixed separators", "\\a/b\\c", 1, true, "/a/b/c", false},
        {"dos parent", "..\\x\\y.kws", 1, false, "../x/y.kws", false},
        {"unix style", "/usr/share/k.kws", 6, true, "/usr/share/k.kws", false},
        {"mac absolute volume dropped", "Macintosh HD:Kelvo:a.kws", 7, true, "/Kelvo/a.kws", false},
        {"mac relative", ":Sheets:a.kws", 7, false, "Sheets/a.kws", false},
        {"mac parent", "::a.kws", 7, false, "../a.kws", false},
        {"mac bare name", "a.kws", 7, false, "a.kws", false},
        {"mac slash in name", "HD:a/b", 7, false, "", true},
        {"nul in text", "a\0b", 0, false, "", true},
        {"unknown style as host", "/x/y", 42, true, "/x/y", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = c.text;
        if (std::string(c.name) == "nul in text") text = std::string("a\0b", 3);
        FilePath p(String(text), c.style);
        EXPECT_EQ(p.hasError(), c.error);
        if (!c.error) {
            EXPECT_EQ(p.isAbsolute(), c.absolute);
        }
        EXPECT_EQ(p.getFull(0).str(), c.full);
    }
}

TEST(FilePath, EmptyPathIsTheCurrentDirectory) {
    FilePath p(String(""), 0);
    EXPECT_TRUE(p.isCurrentDir());
    EXPECT_EQ(p.getKind(), FilePath::KIND_CURDIR);
    EXPECT_EQ(p.toNative(), ".");
    EXPECT_TRUE(p.setCwd());
    char buf[PATH_MAX];
    ASSERT_NE(getcwd(buf, sizeof buf), nullptr);
    ASSERT_TRUE(p.makeAbsolute());
    EXPECT_EQ(p.toNative(), std::string(buf));
}

TEST(FilePath, TargetRelativeToADocument) {
    // A link target relative to the document: cut the document's name, append, make absolute.
    FilePath doc(String("/home/u/work/sheet.kws"), 0);
    FilePath target(String("../lib/other.kws"), 0);
    ASSERT_FALSE(target.isAbsolute());
    EXPECT_EQ(doc.cutName(), String("sheet.kws"));
    doc += target;
    ASSERT_TRUE(doc.makeAbsolute());
    EXPECT_EQ(doc.getFull(0, 0xfff9), String("/home/u/lib/other.kws"));
    // An absolute tail replaces the path.
    FilePath base(String("/a/b"), 0);
    base += FilePath(String("/c"), 0);
    EXPECT_EQ(base.getFull(), String("/c"));
}

TEST(FilePath, SetExtension) {
    struct { const char* in; const char* ext; const char* out; } cases[] = {
        {"/a/x.kws", "html", "/a/x.html"}, {"/a/x", "html", "/a/x.html"},
        {"/a.b/x", "htm", "/a.b/x.htm"},   {"/a/.hidden", "txt", "/a/.hidden.txt"},
        {"/a/x.tar.gz", "", "/a/x.tar"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        FilePath p(String(c.in), 0);
        p.setExtension(c.ext);
        EXPECT_EQ(p.getFull(), String(c.out));
    }
    FilePath p(String("/a/x.kws"), 0);
    EXPECT_EQ(p.getExtension(), String("kws"));
    EXPECT_EQ(p.getName(), String("x.kws"));
}

TEST(FilePath, MaximumLengthSetsErrorStateInsteadOfCutting) {
    std::string longName(70000, 'a');
    FilePath p(String("/" + longName), 0);
    EXPECT_EQ(p.getFull(0, 0xfff9), String());
    EXPECT_TRUE(p.hasError());
    EXPECT_EQ(p.getFull(0), String());  // stays in the error state
    FilePath fits(String("/" + std::string(0xfff8, 'b')), 0);
    EXPECT_EQ(fits.getFull(0, 0xfff9).len(), 0xfff9u);
    EXPECT_FALSE(fits.hasError());
    FilePath broken(String("/x"), 0);
    broken.getFull(0, 1);
    EXPECT_TRUE(broken.hasError());
    broken += FilePath(String("y"), 0);
    EXPECT_TRUE(broken.hasError());
}

TEST(FilePath, UrlForm) {
    FilePath p(String("/my docs/Caf\xE9#1.html"), 0);
    EXPECT_EQ(p.getFull(FilePath::FORM_URL), String("/my%20docs/Caf%C3%A9%231.html"));
}

TEST(FilePath, RelativeToAFolderAndEquality) {
    FilePath file(String("/home/u/lib/x.kws"), 0);
    EXPECT_EQ(file.relativeTo(FilePath(String("/home/u/work"), 0)).getFull(), String("../lib/x.kws"));
    EXPECT_EQ(file.relativeTo(FilePath(String("/home/u/lib"), 0)).getFull(), String("x.kws"));
    EXPECT_EQ(file.relativeTo(FilePath(String("/"), 0)).getFull(), String("home/u/lib/x.kws"));
    EXPECT_EQ(FilePath(String("/a/b/../c"), 0), FilePath(String("/a/c"), 0));
    EXPECT_NE(FilePath(String("/a/C"), 0), FilePath(String("/a/c"), 0));  // case matters
    EXPECT_NE(FilePath(String("/a"), 0), FilePath(String("a"), 0));
}

TEST(FilePath, NativeTextIsUtf8AndUnrepresentableNamesAreErrors) {
    FilePath p(String("/tmp/Caf\xE9"), 0);
    EXPECT_EQ(p.toNative(), "/tmp/Caf\xC3\xA9");
    EXPECT_EQ(FilePath::fromNative("/tmp/Caf\xC3\xA9"), p);
    FilePath greek = FilePath::fromNative("/tmp/\xCE\xB1");
    EXPECT_TRUE(greek.hasError());
    EXPECT_FALSE(greek.setCwd());
}

TEST(FilePath, SetCwdChangesTheProcessDirectory) {
    char old[PATH_MAX];
    ASSERT_NE(getcwd(old, sizeof old), nullptr);
    FilePath tmp(String("/tmp"), 0);
    ASSERT_TRUE(tmp.setCwd());
    FilePath rel(String("x"), 0);
    ASSERT_TRUE(rel.makeAbsolute());
    EXPECT_EQ(rel.getFull(), String(std::filesystem::canonical("/tmp").string() + "/x"));
    EXPECT_FALSE(FilePath(String("/nonexistent/dir/here"), 0).setCwd());
    ASSERT_EQ(chdir(old), 0);
}

}  // namespace
