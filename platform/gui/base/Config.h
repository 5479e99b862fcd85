#pragma once
// Config: the program's ini file ("rezuru5.ini"): groups of "key=value" lines.
//
// Reading: a line "[name]" opens a group; "key=value" inside it is an entry (key and value lose
// surrounding blanks); every other line (blank, comment, junk) is kept as it is.  CR LF and LF
// line ends are both read.  Group names and keys compare without regard to ASCII case, so
// "Options" and "options" are one group.  Lines before the first group belong to a nameless
// group that is written back first.
//
// Writing: each writeKey builds the whole file and writes it to a temporary file beside it,
// flushes it and renames it over the old one, so that a crash or a full disk leaves either the
// old or the new file, never half of one.  A failure leaves the old file as it was, keeps the
// object's contents as they were, and is reported (false, getError).  Unknown groups, keys and
// comments keep their order.  A key or value that would break the file's structure (an empty
// key, a line break or NUL in either, "=" in a key, a key starting with "[", ";" or "#", a group
// name with "]" or a line break) is refused and nothing is written.
//
// File names: a bare name (no "/") lives in the per-user configuration folder
// ($XDG_CONFIG_HOME, else ~/.config), which writing creates when missing.  Names are cp1252
// inside the program and UTF-8 at the system call.
//
// Qt-free.  parse/serialize are the one reader and writer of the format (fuzzed).

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gui/base/String.h"

class Config {
public:
    // Reads the file when it exists; a missing file is an empty configuration.
    explicit Config(const String& fileName);
    // In-memory configuration (no file): writes only change the contents.
    Config();

    // The group later reads and writes use; made when first written.
    void setGroup(const String& group);
    const String& getGroup() const { return group_; }
    bool hasGroup(const String& group) const;

    // The value of a key in the current group, or `defaultValue` when absent.
    String readKey(const String& key, const String& defaultValue = String()) const;
    bool hasKey(const String& key) const;
    // Sets a key in the current group and writes the file.  False (nothing changed, nothing
    // written) for a refused key or value, or when the file cannot be written.
    bool writeKey(const String& key, const String& value);
    // Removes a key of the current group and writes the file; false when writing failed.
    bool deleteKey(const String& key);

    const std::string& getError() const { return error_; }
    // Full path of the file (UTF-8), empty for an in-memory configuration.
    const std::string& getPath() const { return path_; }

    // Keys of the current group in file order.
    std::vector<String> getKeys() const;

    // The file format.
    struct Line {
        enum Kind { Entry, Other } kind = Other;
        std::string key, value;  // Entry: trimmed key and value
        std::string raw;         // Other: the line as read (without its line end)
    };
    struct Group {
        std::string name;        // empty for the lines before the first group
        std::string header;      // the header line as read ("" for the nameless group)
        std::vector<Line> lines;
    };
    static std::vector<Group> parse(std::string_view text);
    static std::string serialize(const std::vector<Group>& groups);
    static bool isValidKey(std::string_view key);
    static bool isValidValue(std::string_view value);
    static bool isValidGroup(std::string_view group);
    // The full path of a configuration file name (see above).
    static std::string resolvePath(const String& fileName);

    // Largest file read; a larger one is treated as unreadable (kept untouched on disk).
    static constexpr std::size_t kMaxFileSize = 16u << 20;

private:
    bool commit(std::vector<Group> next);
    Group* findGroup(std::vector<Group>& gs, std::string_view name) const;
    const Group* findGroup(std::string_view name) const;

    std::string path_;
    std::vector<Group> groups_;
    String group_;
    std::string error_;
    bool readOnly_ = false;  // the file exists but could not be read: never overwrite it
};
