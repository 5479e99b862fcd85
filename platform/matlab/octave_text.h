#pragma once
// The texts the engine sends to Octave and the scanner of what Octave answers.
//
// Every command ends with a marker line: the engine's token (random per engine, so no command
// can print it by chance) followed by one status digit and a newline.  Everything before the
// marker is the command's output.

#include <cstddef>
#include <string>
#include <string_view>

namespace mateng {

// Octave's longest variable name (namelengthmax).
constexpr size_t kMaxNameLength = 63;

// A letter, then letters, digits or "_", at most kMaxNameLength bytes.  Such a name is the only
// caller text spliced into commands other than as a string literal.
bool is_identifier(const char* name);

// An Octave expression whose value is exactly `text` as a character row: quotes doubled inside
// single-quoted pieces; line breaks and other control bytes as char(n) between them.
std::string string_literal(std::string_view text);

// Reads the output of one command up to its marker.  Output before the marker goes to the
// capture (at most `limit` bytes kept, the rest counted and dropped); only a tail as long as the
// marker is held back, so output of any size needs no more memory than limit plus the token.
class MarkerScanner {
public:
    MarkerScanner(std::string token, size_t limit);

    // Feeds bytes read from the output pipe; true once the marker has been seen (bytes after it
    // are ignored: none follow before the next command).
    bool feed(const char* data, size_t n);
    bool done() const { return done_; }
    // The digit after the token ('0' for success), valid once done.
    char status() const { return status_; }
    const std::string& captured() const { return captured_; }

private:
    void keep(const char* data, size_t n);

    std::string token_;
    size_t limit_;
    std::string pending_;   // bytes that may still start the marker
    std::string captured_;
    bool done_ = false;
    char status_ = 0;
};

}  // namespace mateng
