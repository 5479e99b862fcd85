// Fuzz target of the worksheet record reader: element lists through the tag table (with a
// reader for "SECT" that reads every kind of field and nested lists), style tables, style
// records among elements, and expressions of the old and new forms.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "document/records/KWorksheetReader.h"
#include "document/styles/StyleSet.h"
#include "document/records/WorksheetFileError.h"
#include "document/styles/WorksheetTagTable.h"
#include "tovu/dag.h"
#include "tovu/storage.h"
#include "util/errjump.h"

namespace {

int nesting = 0;

// "{SECT" int double string blob expression, then a nested element list.
bool fuzzSection(KWorksheetReader& reader, Element*& out, Element*) {
    out = nullptr;
    int i = 0;
    double d = 0;
    std::string s;
    reader.readInt(i);
    reader.readDouble(d);
    reader.readString(s, (i & 1) != 0);
    if (i & 2) {
        std::string blob;
        reader.readBlob(blob);
    }
    if (i & 4) {
        Dag dag = nullptr;
        reader.readExpressionMode(dag, (i >> 3) & 3);
    }
    if (nesting < 64) {
        ++nesting;
        Element* child = nullptr;
        while (worksheetTagTable.readNewRep(reader, child, nullptr, true, nullptr)) {
        }
        --nesting;
    } else {
        reader.skipRecord();
    }
    return true;
}

bool initialise() {
    tovu_start();
    worksheetTagTable.registerReader("SECT", fuzzSection);
    worksheetTagTable.registerReader("PARA", fuzzSection);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool ready = initialise();
    (void)ready;
    if (size == 0) return 0;
    int depth = errjump_depth();
    std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    KWorksheetReader reader;
    reader.openMemory(text);
    reader.majorVersion = 1 + data[0] % 3;
    reader.minorVersion = data[0] / 3 % 4;
    reader.platformIsNt = (data[0] & 0x80) != 0;
    StyleSet set;
    worksheetTagTable.resetReadState();
    worksheetTagTable.styleSet = &set;
    try {
        ErrorGuard guard;
        if ((data[0] & 0x40) != 0) {
            while (set.readStyleTable(reader)) {
            }
        } else {
            while (set.readUserStyleTable(reader)) {
                Element* e = nullptr;
                while (worksheetTagTable.readNewRep(reader, e, nullptr, true, nullptr)) {
                }
            }
        }
    } catch (const ErrorJump&) {
    }
    // Whatever was stored must resolve without looping.
    for (int i = 0; i < set.charTableSize(); i += 7) set.effectiveCharStyle(i, i % 40, -1);
    for (int i = 0; i < set.paraTableSize(); i += 5) set.resolvedParaStyle(i);
    worksheetTagTable.resetReadState();
    storage_reset();
    if (errjump_depth() != depth) __builtin_trap();
    return 0;
}
