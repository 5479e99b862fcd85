// Config: reading, case-insensitive groups and keys, keeping unknown lines, atomic writing,
// refusal of keys and values that would break the file, failure on a read-only folder.
#include "platform/gui/base/Config.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kelvo_config_XXXXXX";
        dir_ = mkdtemp(tmpl);
    }
    void TearDown() override {
        chmod(dir_.c_str(), 0700);
        fs::remove_all(dir_);
    }
    fs::path dir_;
};

TEST_F(ConfigTest, RoundTripOfGroupsAndKeys) {
    std::string file = (dir_ / "a.ini").string();
    {
        Config c{String(file)};
        c.setGroup("Options");
        EXPECT_TRUE(c.writeKey("Width", "640"));
        EXPECT_TRUE(c.writeKey("Name", "Caf\xE9 \x80"));
        c.setGroup("Files");
        EXPECT_TRUE(c.writeKey("Open", "/home/u/x.kws"));
        EXPECT_TRUE(c.writeKey("Empty", ""));
        EXPECT_TRUE(c.writeKey("Eq", "a=b"));
    }
    Config c{String(file)};
    c.setGroup("options");
    EXPECT_EQ(c.readKey("WIDTH"), String("640"));
    EXPECT_EQ(c.readKey("name"), String("Caf\xE9 \x80"));
    EXPECT_EQ(c.readKey("missing", "dflt"), String("dflt"));
    c.setGroup("Files");
    EXPECT_EQ(c.readKey("Open"), String("/home/u/x.kws"));
    EXPECT_TRUE(c.hasKey("Empty"));
    EXPECT_EQ(c.readKey("Empty", "x"), String(""));
    EXPECT_EQ(c.readKey("Eq"), String("a=b"));
    c.setGroup("Nothing");
    EXPECT_EQ(c.readKey("Open", "none"), String("none"));
    EXPECT_EQ(readAll(file), "[Options]\nWidth=640\nName=Caf\xE9 \x80\n[Files]\nOpen=/home/u/x.kws\nEmpty=\nEq=a=b\n");
}

TEST_F(ConfigTest, ReadsCrLfCommentsAndUnknownKeysAndKeepsThem) {
    fs::path file = dir_ / "b.ini";
    fs::copy_file(fs::path(KELVO_TEST_DATA) / "platform/gui/crlf_comments.ini", file);
    Config c{String(file.string())};
    c.setGroup("OPTIONS");
    EXPECT_EQ(c.readKey("Zoom"), String("100"));
    EXPECT_EQ(c.readKey("Title"), String("My Sheet"));  // surrounding blanks removed
    c.setGroup("Palette");
    EXPECT_EQ(c.readKey("X"), String("-12"));
    EXPECT_TRUE(c.readKey("X").isAllDigits());
    // Writing changes only the one value and keeps comments, junk and unknown groups in order.
    c.setGroup("options");
    ASSERT_TRUE(c.writeKey("zoom", "150"));
    EXPECT_EQ(readAll(file),
              "; settings written by hand\n"
              "[Options]\n"
              "Zoom=150\n"
              "; a comment inside the group\n"
              "Title=My Sheet\n"
              "this line is not an entry\n"
              "\n"
              "[Unknown Group]\n"
              "Foo=bar\n"
              "[Palette]\n"
              "X=-12\n");
}

TEST_F(ConfigTest, OptionsAndOptionsAreOneGroup) {
    std::string file = (dir_ / "c.ini").string();
    Config c{String(file)};
    c.setGroup("Options");
    ASSERT_TRUE(c.writeKey("A", "1"));
    c.setGroup("options");
    ASSERT_TRUE(c.writeKey("a", "2"));
    ASSERT_TRUE(c.writeKey("B", "3"));
    EXPECT_EQ(readAll(file), "[Options]\nA=2\nB=3\n");
}

struct RefuseCase { const char* name; std::string key, value; };

TEST_F(ConfigTest, RefusesKeysAndValuesThatBreakTheStructure) {
    std::string file = (dir_ / "d.ini").string();
    Config c{String(file)};
    c.setGroup("G");
    ASSERT_TRUE(c.writeKey("K", "v"));
    ASSERT_TRUE(c.writeKey("Next", "n"));
    const std::string before = readAll(file);
    const RefuseCase cases[] = {
        {"line feed in value", "K", "x\n[Evil]\nNext=gone"},
        {"carriage return in value", "K", "x\ry"},
        {"line feed in key", "a\nb", "v"},
        {"equals in key", "a=b", "v"},
        {"group-like key", "[G2]", "v"},
        {"comment-like key", "; note", "v"},
        {"empty key", "  ", "v"},
        {"NUL in value", "K", std::string("a\0b", 3)},
    };
    for (const auto& rc : cases) {
        SCOPED_TRACE(rc.name);
        EXPECT_FALSE(c.writeKey(String(rc.key), String(rc.value)));
        EXPECT_FALSE(c.getError().empty());
        EXPECT_EQ(readAll(file), before);
        EXPECT_EQ(c.readKey("K"), String("v"));
        EXPECT_EQ(c.readKey("Next"), String("n"));
    }
    c.setGroup("Bad]Group");
    EXPECT_FALSE(c.writeKey("K", "v"));
    EXPECT_EQ(readAll(file), before);
}

// Takes away write permission for the test's duration; as root, by running as "nobody" (root
// ignores folder permissions), and back afterwards.
class AsUnprivileged {
public:
    AsUnprivileged() { if (geteuid() == 0) switched_ = seteuid(65534) == 0; }
    ~AsUnprivileged() { if (switched_) (void)seteuid(0); }
    AsUnprivileged(const AsUnprivileged&) = delete;
    AsUnprivileged& operator=(const AsUnprivileged&) = delete;
private:
    bool switched_ = false;
};

TEST_F(ConfigTest, WriteFailureLeavesOldFileByteForByte) {
    fs::path file = dir_ / "e.ini";
    { std::ofstream(file, std::ios::binary) << "[G]\r\nK=old\r\n; keep\r\n"; }
    chmod(file.c_str(), 0644);
    const std::string before = readAll(file);
    chmod(dir_.c_str(), 0555);
    {
        AsUnprivileged drop;
        Config c{String(file.string())};
        c.setGroup("G");
        EXPECT_EQ(c.readKey("K"), String("old"));
        EXPECT_FALSE(c.writeKey("K", "new"));
        EXPECT_NE(c.getError().find("cannot write"), std::string::npos);
        EXPECT_EQ(c.readKey("K"), String("old"));  // contents stay as on disk
    }
    chmod(dir_.c_str(), 0700);
    EXPECT_EQ(readAll(file), before);
    for (const auto& e : fs::directory_iterator(dir_)) EXPECT_EQ(e.path().filename(), "e.ini");
}

TEST_F(ConfigTest, UnreadableFileIsNeverOverwritten) {
    fs::path sub = dir_ / "isdir.ini";
    fs::create_directory(sub);  // reading a folder fails
    Config c{String(sub.string())};
    c.setGroup("G");
    EXPECT_FALSE(c.writeKey("K", "v"));
    EXPECT_TRUE(fs::is_directory(sub));
}

TEST_F(ConfigTest, BareNameLivesInTheUserConfigFolder) {
    fs::path xdg = dir_ / "xdg";
    setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
    EXPECT_EQ(Config::resolvePath("rezuru5.ini"), (xdg / "rezuru5.ini").string());
    {
        Config c{String("rezuru5.ini")};
        c.setGroup("Options");
        EXPECT_TRUE(c.writeKey("K", "1"));  // creates the folder
    }
    EXPECT_EQ(readAll(xdg / "rezuru5.ini"), "[Options]\nK=1\n");
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(Config::resolvePath("rezuru5.ini"), "/home/someone/.config/rezuru5.ini");
    EXPECT_EQ(Config::resolvePath("/etc/x.ini"), "/etc/x.ini");
}

TEST(ConfigFormat, ParseKeepsNamelessPreambleAndOddLines) {
    auto groups = Config::parse("top=1\n[ A ]\n=novalue\nk = v \n[unclosed\n");
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].name, "");
    ASSERT_EQ(groups[0].lines.size(), 1u);
    EXPECT_EQ(groups[0].lines[0].key, "top");
    EXPECT_EQ(groups[1].name, "A");
    ASSERT_EQ(groups[1].lines.size(), 3u);
    EXPECT_EQ(groups[1].lines[0].kind, Config::Line::Other);  // "=novalue" has no key
    EXPECT_EQ(groups[1].lines[1].key, "k");
    EXPECT_EQ(groups[1].lines[1].value, "v");
    EXPECT_EQ(groups[1].lines[2].raw, "[unclosed");
    EXPECT_EQ(Config::serialize(groups), "top=1\n[ A ]\n=novalue\nk=v\n[unclosed\n");
}

}  // namespace

namespace {

// A configuration without a file keeps its writes in memory (a fuzzer found the first group of
// such an object unreachable).
TEST(ConfigMemory, WritesAreReadBackWithoutAFile) {
    Config c;
    c.setGroup("G");
    EXPECT_TRUE(c.writeKey(" settigs ", "writ writtte\x03 \xD9"));
    EXPECT_EQ(c.readKey("SETTIGS"), String("writ writtte\x03 \xD9"));
    EXPECT_TRUE(c.hasGroup("g"));
    EXPECT_TRUE(c.deleteKey("settigs"));
    EXPECT_FALSE(c.hasKey("settigs"));
}

}  // namespace
