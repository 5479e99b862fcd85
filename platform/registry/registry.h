#pragma once
// The registry, read-only, over settings files: keys under HKEY_LOCAL_MACHINE are groups of the
// ini format that Config reads, named by the key's text with one backslash between its parts
// ("Software\Orvane\DDE Services"), and their values are the group's entries.  Two files are
// read, the user's before the system's:
//
//   $XDG_CONFIG_HOME/orvane/registry.ini   ($HOME/.config when XDG_CONFIG_HOME is unset)
//   /etc/xdg/orvane/registry.ini
//
// A value is looked for in the user file's group, then in the system file's; a key opens when
// either file has its group.  Key and value names compare without regard to ASCII case, as the
// registry's do.  The files are read when the key is opened.
//
// Reading a value into a buffer never writes past the size given and never cuts a value: one
// that does not fit with its terminating NUL fails exactly as a missing value does, and the
// buffer is left as it was (callers rely on that to keep an earlier text).
//
// Qt-free; a key handle belongs to the caller until RegCloseKey.

#include <cstdint>
#include <string>

struct RegistryKey;
using HKEY = RegistryKey*;

// The only root the files hold.
extern HKEY const HKEY_LOCAL_MACHINE;

constexpr long ERROR_SUCCESS = 0;
constexpr long ERROR_FILE_NOT_FOUND = 2;   // no such key or value, or a value that does not fit
constexpr long ERROR_INVALID_HANDLE = 6;
constexpr long ERROR_INVALID_PARAMETER = 87;

// Opens `subKey` under `root` (HKEY_LOCAL_MACHINE) into *result.
long RegOpenKeyEx(HKEY root, const char* subKey, HKEY* result);
// Reads value `name` of an open key as a NUL-terminated text into `data`, which holds *size
// bytes; on success *size becomes the bytes written, the NUL included.
long RegQueryValueEx(HKEY key, const char* name, char* data, uint32_t* size);
long RegCloseKey(HKEY key);

// The two files, user file first (for tests and the README's install step).
std::string registry_user_file();
std::string registry_system_file();
// Tests put the system file elsewhere (empty: back to the one above).
void registry_set_system_file(const std::string& path);

// The DDE partner of the worksheet program, looked up as the ddesend bridge does at set-up:
// CONNECT_TO of "Software\Orvane\DDE Services" names the partner's key; APPNAME and EXEPATH of
// "Software\Orvane\<partner>\DDE Services" follow.  When APPNAME cannot be read the CONNECT_TO
// text stays as the application name; a text never read stays empty.
struct DdePartner {
    char appName[80] = {};
    char exePath[260] = {};
};
DdePartner registry_read_dde_partner();
