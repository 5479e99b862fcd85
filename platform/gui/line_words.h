#pragma once
// The line syntax shared by the resource text and the GUI test scripts: words separated by
// blanks, tabs or carriage returns, and texts in double quotes in which a backslash takes the
// next character as it is.

#include <string>
#include <string_view>
#include <vector>

namespace gui {

// Appends the line's words and texts to `words`, with `quoted` telling which were quoted; false
// on an unterminated text.
bool splitLineWords(std::string_view line, std::vector<std::string>& words, std::vector<bool>& quoted);

}  // namespace gui
