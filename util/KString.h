#pragma once
// KString: the worksheet program's growable byte string, always NUL-terminated.
//
// Fields, in order:
//
// | field    | meaning                                                        |
// |----------|----------------------------------------------------------------|
// | step_    | growth step; 16 for every string                               |
// | length_  | bytes before the terminating NUL                               |
// | capacity_| size of the buffer in bytes (0 before the first reservation)   |
// | text_    | the buffer, owned by the string; null only before reservation  |
//
// Invariants (after every public operation):
//   1. capacity_ > length_ and text_[length_] == '\0'.
//   2. Capacities run 16, 32, ..., 160 (one step at a time), then 2 x capacity + 16; there is
//      no shrinking.
//   3. Range operations (eraseRange, substring) move their ends onto whole characters of the
//      current code page (platform/os/mbtext.h), so double-byte characters are never split.
//
// Positions are byte indices.  Buffers come from operator new, whose failure handler raises the
// out-of-memory error (util/errjump.h); a length that would not fit in 31 bits raises it too.
// Text is bytes (cp1252, or Shift-JIS in the Japanese mode); case-insensitive comparison folds
// ASCII letters only.

#include <cstddef>

class KString {
public:
    KString();
    KString(const char* text);            // null gives the empty string
    KString(const char* text, int n);     // first n bytes; n = 0 (or less) means the whole text
    KString(const KString& other);
    KString& operator=(const KString& other);
    ~KString();

    const char* text() const { return text_; }
    int length() const { return length_; }
    int capacity() const { return capacity_; }
    int growthStep() const { return step_; }

    // Length 0, buffer kept; returns the text.
    const char* clear();
    void assignChar(char c);
    void assign(const char* text);        // null = empty
    void assignString(const KString& other);

    bool equals(const char* text) const;  // null compares as the empty string
    bool equalsString(const KString& other) const;
    bool matches(const KString& other, bool ignoreCase) const;

    void appendChar(char c);
    void append(const char* text);        // null appends nothing
    void appendN(const char* buffer, int n);   // n bytes of buffer (which may hold NULs)
    void appendString(const KString& other);
    void appendInt(int value);            // "%d"

    // Pointer to the byte at index (0..length); no bounds check.
    char* charAt(int index) { return text_ + index; }
    const char* charAt(int index) const { return text_ + index; }

    // Room for n bytes at position (clamped into 0..length): the length grows by n and the tail,
    // with its NUL, moves right.  The gap's bytes are left as they were.
    void openGap(int position, int n);
    void insertChar(int position, char c);
    void insert(int position, const char* text);
    void insertString(int position, const KString& other);

    // Erases first through last, inclusive, both moved back to the start of their character;
    // the whole last character goes.  Ends are clamped into the string; first > last erases
    // nothing.  Returns the number of bytes removed.
    int eraseRange(int first, int last);
    // The characters from first through last, inclusive, aligned like eraseRange.
    KString substring(int first, int last) const;
    // Moves position onto a character boundary (to the start of its character when toStart is
    // set, else past it); updates position and returns it.
    int alignToChar(int& position, bool toStart) const;

    // Makes room for length + 1 bytes (see the growth rule above).
    void reserve();

    // First occurrence of c at or after position, or -1; NUL finds the length.
    int findChar(char c, int position) const;
    // Last occurrence of c at or before position (clamped to the length), or -1.
    int findCharBackward(char c, int position) const;
    // From position, the index of the close byte that matches, skipping every nested
    // open ... close pair met on the way; -1 when the end comes first.
    int findClosing(int position, char open, char close) const;
    // Inserts prefix before every occurrence of c; returns how many were escaped.
    int escapeChar(char c, char prefix);

private:
    // Sets the length to newLength (>= 0) and reserves; raises out of memory when it cannot fit.
    void setLength(long long newLength);

    int step_ = 16;
    int length_ = 0;
    int capacity_ = 0;
    char* text_ = nullptr;
};
