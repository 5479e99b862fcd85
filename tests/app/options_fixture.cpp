// The options tests' configuration folder and ini-text helpers.
#include "options_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/gui/base/Config.h"
#include "platform/gui/gui_test.h"

void OptionsFixture::SetUp() {
    // On /dev/shm when there is one: the ini writer syncs every key it writes.
    char shm[] = "/dev/shm/kelvo_options_XXXXXX";
    char tmp[] = "/tmp/kelvo_options_XXXXXX";
    const char* dir = mkdtemp(shm);
    if (dir == nullptr) dir = mkdtemp(tmp);
    ASSERT_NE(dir, nullptr);
    dir_ = dir;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    hadXdg_ = old != nullptr;
    if (old) oldXdg_ = old;
    setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    gui::test::activate();
    gui::test::fixScreenSize(Size(1024, 768));
}

void OptionsFixture::TearDown() {
    gui::test::unfixScreenSize();
    gui::test::deactivate();
    if (hadXdg_) setenv("XDG_CONFIG_HOME", oldXdg_.c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

std::string OptionsFixture::readIni() const {
    std::ifstream in(iniPath(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void OptionsFixture::writeIni(const std::string& text) const {
    std::ofstream(iniPath(), std::ios::binary) << text;
}

void OptionsFixture::removeIni() const { std::filesystem::remove(iniPath()); }

std::string OptionsFixture::fixture(const std::string& name) {
    std::ifstream in(std::string(KELVO_TEST_DATA) + "/options/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::unique_ptr<KOptions> OptionsFixture::make(std::vector<const char*> words) { return make(host, std::move(words)); }

std::unique_ptr<KOptions> OptionsFixture::make(KOptionsHost& h, std::vector<const char*> words) {
    return std::make_unique<KOptions>(static_cast<int>(words.size()), words.data(), h);
}

std::vector<std::string> iniEntries(const std::string& text) {
    std::vector<std::string> entries;
    for (const Config::Group& g : Config::parse(text))
        for (const Config::Line& l : g.lines)
            if (l.kind == Config::Line::Entry) entries.push_back(g.name + "/" + l.key);
    return entries;
}

std::string iniValue(const std::string& text, const std::string& group, const std::string& key) {
    for (const Config::Group& g : Config::parse(text))
        if (g.name == group)
            for (const Config::Line& l : g.lines)
                if (l.kind == Config::Line::Entry && l.key == key) return l.value;
    return "<none>";
}
