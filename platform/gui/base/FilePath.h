#pragma once
// FilePath: a file or folder path as the program handles it, parsed from the path syntax of
// several systems and written in this system's syntax.
//
// A path is absolute or relative and holds a list of names; the empty relative path (kind 3)
// stands for the current directory.  Path text is cp1252 inside the program and UTF-8 at the
// system call.
//
// Path styles accepted by the constructor:
//   0  this system: "/" separates names; a leading "/" makes the path absolute.
//   1  DOS and Windows: "\" and "/" separate names; a drive letter ("C:") is dropped; a leading
//      separator makes the path absolute.
//   6  other Unix-like systems: as style 0.
//   7  classic Macintosh: ":" separates names; a path that contains ":" but does not start with
//      one is absolute and its first name (the volume) is dropped; a leading ":" makes it
//      relative; each further empty name ("::") goes one folder up.
// A name that this system cannot hold (containing "/" or NUL) puts the path in its error state.
//
// Error state: set by an impossible parse, by makeAbsolute without a current directory, or by
// getFull when the text would exceed the caller's maximum length (a cut path would name another
// file).  A path in the error state gives "" from getFull, and operations on it keep the state.
//
// Equality compares names exactly, as this system's file systems do (case matters).
//
// Qt-free.

#include <cstddef>
#include <string>
#include <vector>

#include "platform/gui/base/String.h"

class FilePath {
public:
    enum Style : int { STYLE_HOST = 0, STYLE_DOS = 1, STYLE_UNIX = 6, STYLE_MAC = 7 };
    enum Form : int { FORM_HOST = 0, FORM_URL = 6 };
    static constexpr int KIND_CURDIR = 3;

    FilePath() = default;  // the current directory
    explicit FilePath(const String& text, int style = STYLE_HOST);
    // A path from system text (UTF-8), as getcwd and the file dialogs give it; a name that
    // cp1252 cannot hold puts it in the error state.
    static FilePath fromNative(const std::string& utf8);

    bool hasError() const { return error_; }
    bool isAbsolute() const { return absolute_; }
    // True for the empty relative path, the current directory.
    bool isCurrentDir() const { return !absolute_ && names_.empty() && !error_; }
    int getKind() const { return isCurrentDir() ? KIND_CURDIR : 0; }
    const std::vector<std::string>& getNames() const { return names_; }

    // Makes the process's current directory this path; false when it cannot.
    bool setCwd() const;
    // Puts the current directory in front of a relative path and resolves "." and "..";
    // false (error state) when the current directory cannot be read.
    bool makeAbsolute();
    // Removes the last name and returns it ("" when there is none).
    String cutName();
    // The last name.
    String getName() const;
    // Appends a relative path; an absolute one replaces this path.
    FilePath& operator+=(const FilePath& tail);
    // Replaces the last name's extension (the text after its last `separator`) by `ext`, or
    // appends separator + ext when it has none; an empty `ext` removes the extension.
    void setExtension(const String& ext, char separator = '.');
    String getExtension(char separator = '.') const;

    // Full text in this system's syntax (form 0) or as a URL path (form 6: "/" separators,
    // bytes other than letters, digits and "-._~/" percent-encoded after UTF-8 conversion).
    // When the text would be longer than maxLength the path takes its error state and the
    // result is "".
    String getFull(int form = FORM_HOST, std::size_t maxLength = std::string::npos);
    String getFull(int form = FORM_HOST, std::size_t maxLength = std::string::npos) const;
    // The text at the system call (UTF-8); "." for the current directory.
    std::string toNative() const;

    // The relative path that leads from the folder `dir` to this path (both made absolute
    // first); an error state when either cannot be made absolute.
    FilePath relativeTo(const FilePath& dir) const;

    bool operator==(const FilePath& o) const {
        return error_ == o.error_ && absolute_ == o.absolute_ && names_ == o.names_;
    }
    bool operator!=(const FilePath& o) const { return !(*this == o); }

private:
    void normalize();  // resolves "." and ".." where the path allows it

    bool absolute_ = false;
    bool error_ = false;
    std::vector<std::string> names_;  // cp1252 names
};
