// Registry keys over the settings files (rules in registry.h).
#include "platform/registry/registry.h"

#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/gui/base/Config.h"

struct RegistryKey {
    std::string name;              // the key's text; empty for the root
    std::vector<Config> files;     // files that hold the key's group, user file first
};

namespace {

RegistryKey gRoot;
std::string gSystemFile;  // a test's stand-in for the system file

}  // namespace

HKEY const HKEY_LOCAL_MACHINE = &gRoot;

std::string registry_user_file() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string dir;
    if (xdg && *xdg == '/') {
        dir = xdg;
    } else {
        const char* home = std::getenv("HOME");
        dir = std::string(home && *home ? home : ".") + "/.config";
    }
    return dir + "/orvane/registry.ini";
}

std::string registry_system_file() {
    return gSystemFile.empty() ? std::string("/etc/xdg/orvane/registry.ini") : gSystemFile;
}

void registry_set_system_file(const std::string& path) { gSystemFile = path; }

long RegOpenKeyEx(HKEY root, const char* subKey, HKEY* result) {
    if (root != HKEY_LOCAL_MACHINE || !result) return ERROR_INVALID_HANDLE;
    if (!subKey || !*subKey || !Config::isValidGroup(subKey)) return ERROR_INVALID_PARAMETER;
    auto key = new RegistryKey;
    key->name = subKey;
    for (const std::string& path : {registry_user_file(), registry_system_file()}) {
        Config file{String(path)};
        if (file.hasGroup(key->name)) {
            file.setGroup(key->name);
            key->files.push_back(std::move(file));
        }
    }
    if (key->files.empty()) {
        delete key;
        return ERROR_FILE_NOT_FOUND;
    }
    *result = key;
    return ERROR_SUCCESS;
}

long RegQueryValueEx(HKEY key, const char* name, char* data, uint32_t* size) {
    if (!key || key == HKEY_LOCAL_MACHINE) return ERROR_INVALID_HANDLE;
    if (!name || !data || !size) return ERROR_INVALID_PARAMETER;
    for (const Config& file : key->files) {
        if (!file.hasKey(name)) continue;
        String value = file.readKey(name);
        // A NUL inside would cut the text short without a sign: treated as not fitting.
        if (value.len() + 1 > *size || std::memchr(value.c_str(), 0, value.len())) return ERROR_FILE_NOT_FOUND;
        std::memcpy(data, value.c_str(), value.len() + 1);
        *size = static_cast<uint32_t>(value.len() + 1);
        return ERROR_SUCCESS;
    }
    return ERROR_FILE_NOT_FOUND;
}

long RegCloseKey(HKEY key) {
    if (!key || key == HKEY_LOCAL_MACHINE) return ERROR_INVALID_HANDLE;
    delete key;
    return ERROR_SUCCESS;
}

DdePartner registry_read_dde_partner() {
    DdePartner p;
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\Orvane\\DDE Services", &key) == ERROR_SUCCESS) {
        uint32_t size = sizeof p.appName;
        RegQueryValueEx(key, "CONNECT_TO", p.appName, &size);
        RegCloseKey(key);
    }
    std::string partner = std::string("Software\\Orvane\\") + p.appName + "\\DDE Services";
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, partner.c_str(), &key) == ERROR_SUCCESS) {
        uint32_t size = sizeof p.appName;
        RegQueryValueEx(key, "APPNAME", p.appName, &size);
        size = sizeof p.exePath;
        RegQueryValueEx(key, "EXEPATH", p.exePath, &size);
        RegCloseKey(key);
    }
    return p;
}
