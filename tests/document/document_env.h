#pragma once
// Shared helpers of the document tests: the expression library is brought up once, and a
// call's worksheet error code is caught under a guard.
#include <functional>
#include <string>

#include "document/records/KWorksheetReader.h"
#include "document/records/KWorksheetWriter.h"
#include "document/records/WorksheetFileError.h"

// 0 when the call returns, the file-format code when it raises that record, -100 for any
// other raise.  The error-jump depth is the same afterwards.
int worksheetErrorOf(const std::function<void()>& call);

// A reader over a copy of the text.
struct TextReader {
    KWorksheetReader reader;
    explicit TextReader(const std::string& text) { reader.openMemory(text); }
};

std::string dataPath(const std::string& name);
