#pragma once
// Multibyte text rules: character boundaries in the program's code page and the Japanese
// line-breaking tables.
//
// Text is cp1252 (every byte one character) unless the Japanese mode is on (sys_is_japanese):
// then it is Shift-JIS, where 0x81-0x9F and 0xE0-0xFC are lead bytes of two-byte characters.
// A lead byte followed by the terminating NUL counts as a one-byte character, so no operation
// here ever steps past the end of the text.
//
// Positions are byte indices into NUL-terminated text.

// Whether b starts a two-byte character in the current mode.
bool mb_is_lead_byte(unsigned char b);
// Byte length (1 or 2) of the character at position.
int mb_char_length(const char* text, int position);
// Position of the character after the one at position.
int mb_next(const char* text, int position);
// Start of the character before the one at position; -1 when position is 0 or less.
int mb_prev(const char* text, int position);
// Moves position onto a character boundary: unchanged when it equals length or already starts a
// character; otherwise (a trail byte) back to its character's start when toStart is set, else
// just past that character.  Positions outside 0..length are clamped into it.
int mb_align(const char* text, int position, int length, bool toStart);

// The part of path after its last backslash or slash (stepping by whole characters, so a trail
// byte 0x5C is no separator); path itself when it has none.
const char* path_file_name(const char* path);

// Japanese line breaking: false when the character at position may not begin (respectively
// end) a line.
bool jp_may_start_line(const char* text, int position);
bool jp_may_end_line(const char* text, int position);
