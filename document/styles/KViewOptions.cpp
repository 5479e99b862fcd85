// KViewOptions: the "{VIEWOPTS " record.
#include "document/styles/KViewOptions.h"

#include <string>

#include "document/records/KWorksheetReader.h"
#include "document/records/KWorksheetWriter.h"
#include "util/errjump.h"

bool KViewOptions::write(KWorksheetWriter& writer) const {
    writer.writeRaw("{VIEWOPTS ");
    writer.writeInt(showSectionRanges).writeInt(showGroupRanges).writeInt(showInvisibles);
    writer.writeInt(zoomNumerator).writeInt(zoomDenominator).writeInt(zoomCommand);
    writer.writeRaw("}");
    return true;
}

bool KViewOptions::read(KWorksheetReader& reader) {
    long depth = reader.braceDepth();
    std::string token;
    reader.readToken(token);
    if (token.empty()) return false;
    bool good = false;
    if (token == "{VIEWOPTS") {
        int values[6] = {};
        try {
            ErrorGuard guard;
            for (int& v : values) reader.readInt(v);
            good = true;
        } catch (const ErrorJump&) {
            good = false;
        }
        if (good) {
            showSectionRanges = values[0];
            showGroupRanges = values[1];
            showInvisibles = values[2];
            zoomNumerator = values[3];
            zoomDenominator = values[4];
            zoomCommand = values[5];
        }
    }
    // The rest of the record, whatever it was (a "{NAME}" token has closed itself).
    if (reader.braceDepth() > depth) reader.skipToDepth(depth);
    return good;
}
