// The registry over the user and system settings files: which file wins, what fails, and
// buffers that a value does not fit.
#include "platform/registry/registry.h"
#include "tests/support/named_rows.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

namespace {

const char* const kKey = "Software\\Orvane\\DDE Services";

// A private XDG_CONFIG_HOME holding the user file, and a system file of the test's own (missing
// unless a test writes it), so the machine's files never interfere.
class RegistryFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kelvo-registry-test-XXXXXX";
        home_ = ::mkdtemp(tmpl);
        ::setenv("XDG_CONFIG_HOME", home_.c_str(), 1);
        registry_set_system_file(home_ + "/no-system-file.ini");
    }
    void TearDown() override {
        ::unsetenv("XDG_CONFIG_HOME");
        registry_set_system_file("");
        std::filesystem::remove_all(home_);
    }
    void writeUser(const std::string& text) {
        std::filesystem::create_directories(home_ + "/orvane");
        std::ofstream(home_ + "/orvane/registry.ini") << text;
    }
    // Reads `value` of `key` into a buffer of `size` bytes filled with '#' beyond it.
    long read(const char* key, const char* value, uint32_t size, std::string& buffer) {
        buffer.assign(size + 16, '#');
        std::memcpy(buffer.data(), "before", std::min<std::size_t>(7, size));
        initial_ = buffer;
        HKEY k = nullptr;
        long rc = RegOpenKeyEx(HKEY_LOCAL_MACHINE, key, &k);
        if (rc != ERROR_SUCCESS) return rc;
        uint32_t n = size;
        rc = RegQueryValueEx(k, value, buffer.data(), &n);
        if (rc == ERROR_SUCCESS) {
            EXPECT_EQ(n, std::strlen(buffer.data()) + 1);
        } else {
            EXPECT_EQ(buffer, initial_);  // left as it was
            EXPECT_EQ(n, size);
        }
        EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
        // Nothing past the size given.
        EXPECT_EQ(buffer.substr(size), std::string(16, '#'));
        return rc;
    }

    std::string home_;
    std::string initial_;  // the buffer before the last read
};

using kelvo_test::PrintTo;

struct FitRow {
    const char* name;
    std::size_t valueBytes;
    uint32_t bufferSize;
    bool fits;
};

class RegistryFit : public RegistryFiles, public ::testing::WithParamInterface<FitRow> {};

TEST_P(RegistryFit, WholeOrRefusedNeverCut) {
    const FitRow& row = GetParam();
    std::string value(row.valueBytes, 'v');
    writeUser(std::string("[") + kKey + "]\nVALUE=" + value + "\n");
    std::string buffer;
    long rc = read(kKey, "VALUE", row.bufferSize, buffer);
    if (row.fits) {
        EXPECT_EQ(rc, ERROR_SUCCESS);
        EXPECT_EQ(std::string(buffer.c_str()), value);
    } else {
        EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(buffer, initial_);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, RegistryFit, ::testing::Values(
    FitRow{"appName79", 79, 80, true},
    FitRow{"appName80", 80, 80, false},
    FitRow{"exePath259", 259, 260, true},
    FitRow{"exePath260", 260, 260, false},
    FitRow{"emptyValue", 0, 80, true},
    FitRow{"anyValueInZeroBytes", 0, 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegistryFiles, MissingFileGroupOrValueFailsAndLeavesTheBuffer) {
    std::string buffer;
    EXPECT_EQ(read("Software\\Orvane\\Kelvo Test Key", "APPNAME", 80, buffer), ERROR_FILE_NOT_FOUND);
    writeUser("[Software\\Orvane\\Kelvo Test Key]\nAPPNAME=x\n");
    EXPECT_EQ(read("Software\\Orvane\\Kelvo Other Key", "APPNAME", 80, buffer), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(read("Software\\Orvane\\Kelvo Test Key", "EXEPATH", 80, buffer), ERROR_FILE_NOT_FOUND);
    EXPECT_STREQ(buffer.c_str(), "before");
    // Names compare without regard to case, as the registry's do.
    EXPECT_EQ(read("software\\orvane\\KELVO TEST KEY", "appname", 80, buffer), ERROR_SUCCESS);
    EXPECT_STREQ(buffer.c_str(), "x");
}

TEST_F(RegistryFiles, BadHandlesAndKeysAreRefused) {
    HKEY k = nullptr;
    EXPECT_EQ(RegOpenKeyEx(nullptr, kKey, &k), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "", &k), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "a]b", &k), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(k, nullptr);
    char buf[4];
    uint32_t n = sizeof buf;
    EXPECT_EQ(RegQueryValueEx(HKEY_LOCAL_MACHINE, "X", buf, &n), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryFiles, UserFileIsReadBeforeTheSystemFile) {
    std::string system = home_ + "/system-registry.ini";
    registry_set_system_file(system);
    std::ofstream(system) << "[Software\\Orvane\\Kelvo Test Key]\nAPPNAME=from-system\nEXEPATH=/usr/bin/system\n"
                             "[Software\\Orvane\\Kelvo System Only]\nAPPNAME=system-only\n";
    writeUser("[Software\\Orvane\\Kelvo Test Key]\nAPPNAME=from-user\n");
    std::string buffer;
    EXPECT_EQ(read("Software\\Orvane\\Kelvo Test Key", "APPNAME", 80, buffer), ERROR_SUCCESS);
    EXPECT_STREQ(buffer.c_str(), "from-user");
    // A value the user file lacks comes from the system file.
    EXPECT_EQ(read("Software\\Orvane\\Kelvo Test Key", "EXEPATH", 260, buffer), ERROR_SUCCESS);
    EXPECT_STREQ(buffer.c_str(), "/usr/bin/system");
    EXPECT_EQ(read("Software\\Orvane\\Kelvo System Only", "APPNAME", 80, buffer), ERROR_SUCCESS);
    EXPECT_STREQ(buffer.c_str(), "system-only");
    registry_set_system_file("");
}

struct PartnerRow {
    const char* name;
    std::string file;
    const char* appName;
    const char* exePath;
};

class RegistryPartner : public RegistryFiles, public ::testing::WithParamInterface<PartnerRow> {};

TEST_P(RegistryPartner, LookupAsTheBridgeDoesIt) {
    if (!GetParam().file.empty()) writeUser(GetParam().file);
    DdePartner p = registry_read_dde_partner();
    EXPECT_STREQ(p.appName, GetParam().appName);
    EXPECT_STREQ(p.exePath, GetParam().exePath);
}

INSTANTIATE_TEST_SUITE_P(Rows, RegistryPartner, ::testing::Values(
    PartnerRow{"nothing", "", "", ""},
    PartnerRow{"full",
               "[Software\\Orvane\\DDE Services]\nCONNECT_TO=Kelvo\n"
               "[Software\\Orvane\\Kelvo\\DDE Services]\nAPPNAME=wkelvo\nEXEPATH=/opt/kelvo/bin/wkelvo\n",
               "wkelvo", "/opt/kelvo/bin/wkelvo"},
    // APPNAME missing or too long: the CONNECT_TO text stays as the application name.
    PartnerRow{"noAppName",
               "[Software\\Orvane\\DDE Services]\nCONNECT_TO=Kelvo\n"
               "[Software\\Orvane\\Kelvo\\DDE Services]\nEXEPATH=/x\n",
               "Kelvo", "/x"},
    PartnerRow{"appNameTooLong",
               "[Software\\Orvane\\DDE Services]\nCONNECT_TO=Kelvo\n"
               "[Software\\Orvane\\Kelvo\\DDE Services]\nAPPNAME=" + std::string(80, 'a') + "\n",
               "Kelvo", ""},
    PartnerRow{"connectToTooLong",
               "[Software\\Orvane\\DDE Services]\nCONNECT_TO=" + std::string(80, 'k') + "\n",
               "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
