#pragma once
// A temporary configuration folder (XDG_CONFIG_HOME) holding "rezuru5.ini", the GUI layer's test
// mode with a 1024 x 768 screen, and the program's options host over the GUI layer.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/KAppOptionsHost.h"
#include "options/KOptions.h"

class OptionsFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The ini file's path, its text ("" when missing), and writing or removing it.
    std::string iniPath() const { return dir_ + "/rezuru5.ini"; }
    std::string readIni() const;
    void writeIni(const std::string& text) const;
    void removeIni() const;
    static std::string fixture(const std::string& name);

    // An options object over `host` for the words (program name first).
    std::unique_ptr<KOptions> make(std::vector<const char*> words = {"wkelvo"});
    std::unique_ptr<KOptions> make(KOptionsHost& host, std::vector<const char*> words = {"wkelvo"});

    KAppOptionsHost host;

private:
    std::string dir_;
    std::string oldXdg_;
    bool hadXdg_ = false;
};

// The "group/key" of every entry of an ini text, in file order.
std::vector<std::string> iniEntries(const std::string& text);
// The value of group/key in an ini text, or "<none>".
std::string iniValue(const std::string& text, const std::string& group, const std::string& key);
