#pragma once
// Replacing a file without ever leaving it half-written.
//
// The new content goes into a temporary file made (mkstemp) in the directory of the file that is
// replaced; every write, the flush to the disk (fsync) and the close are checked; only then is
// the temporary renamed over the target.  A path that is a symbolic link replaces the file the
// link points to (the link stays).  The replaced file's permission bits are kept; a new file
// gets the bits the process's umask allows (0666 less the mask), as a plain create would.
//
// On any failure the temporary is removed, the old file is left as it was, and the answer is
// the system error (errno) of the step that failed, or EIO when the writer reported a failure
// without one.  0 means the target now holds the whole new content.
//
// Not safe against another process replacing the same file at the same moment: the last rename
// wins, as with any editor.

#include <functional>
#include <string>
#include <string_view>

// Writes the new content through `write`, which gets the temporary file's path (the file exists
// and is empty) and must open, fill and close it itself, answering false when something failed.
// 0 or the system error.
int replace_file(const std::string& path, const std::function<bool(const std::string& tempPath)>& write);

// Replaces the file with these bytes.  0 or the system error.
int replace_file_contents(const std::string& path, std::string_view bytes);

// The file a path names after following symbolic links (up to 40 of them); a link whose target
// is relative is resolved against the link's own directory.  The path itself when it is no link
// or does not exist.
std::string resolve_link_target(const std::string& path);
