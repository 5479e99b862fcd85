#pragma once
// The file-format error record that the worksheet streams and every record reader leave in the
// error-jump slot (util/errjump.h) when they give up on their input or output.
//
// | word | meaning                                                                   |
// |------|---------------------------------------------------------------------------|
// | kind | always 2 (the out-of-memory record has kind 1)                            |
// | code | 2 the input breaks the record syntax; 3 the output stream went bad;      |
// |      | -1 before the first raise                                                 |
// | spare| 0                                                                         |
//
// A catcher tells this record apart by pointer (`jump.record == &worksheetFileError`) or by
// kind, and then reads `code`.

#include "util/errjump.h"

struct WorksheetFileErrorRecord : ErrorRecord {
    int code;    // 2 syntax, 3 failed output, -1 initial
    int spare;   // 0
};

extern WorksheetFileErrorRecord worksheetFileError;

enum : int {
    WORKSHEET_ERROR_SYNTAX = 2,
    WORKSHEET_ERROR_OUTPUT = 3,
};

// Sets the code and jumps to the innermost guard with the record in its slot.
[[noreturn]] void raiseWorksheetError(int code);

// True when a caught jump carries the file-format record with the given code.
inline bool isWorksheetError(const ErrorJump& jump, int code) {
    return jump.record == &worksheetFileError && worksheetFileError.code == code;
}
