#pragma once
// The stack of open input files: slots 0 to 6.  Slot 0 holds the standard input of the run or
// the file under check; every further slot is a file opened for reading while another one is
// open (library sources the checker reads on the way).  The stack owns the files it opened.

#include <cstdio>

void input_reset(std::FILE* standardInput);   // slot 0 the standard input, nothing open
void input_close_all();

// Opens the path for reading and makes it the current input; false when it cannot be opened or
// is a directory.  Opening one beyond slot 6 is fatal ("too many files simultaneously open for
// reading").
bool input_push(const char* path);
// As input_push, for a regular file only: the path is opened without blocking and checked
// before it is used, so a FIFO or device of that name answers false at once.
bool input_push_regular(const char* path);
// Opens a file for reading that is not a directory; null otherwise.
std::FILE* input_open(const char* path);
// Closes the current file (never the standard input) and returns to the previous slot; at slot
// 0, slot 0 becomes the standard input.
void input_pop();

std::FILE* input_current();
int input_slot();
// The current input is a character device (a terminal).
bool input_is_terminal();
