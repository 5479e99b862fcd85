// KViewOptions: the "{VIEWOPTS " record.
#include "document/styles/KViewOptions.h"

#include <string>

#include "document/records/KWorksheetReader.h"
#include "document/records/KWorksheetWriter.h"
#include "util/errjump.h"

bool KViewOptions::isZoomRow(int numerator, int denominator, int command) {
    static constexpr int kRows[][3] = {{1801, 1, 2}, {1802, 3, 4}, {1803, 1, 1}, {1804, 3, 2},
                                       {1805, 2, 1}, {1806, 3, 1}, {1807, 4, 1}};
    for (const auto& row : kRows)
        if (row[0] == command && row[1] == numerator && row[2] == denominator) return true;
    return false;
}

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
            showSectionRanges = values[0] != 0 ? 1 : 0;
            showGroupRanges = values[1] != 0 ? 1 : 0;
            showInvisibles = values[2] != 0 ? 1 : 0;
            // A zoom is taken only as one row of the zoom table; anything else (a denominator
            // of 0 among it) reads as 100 %.
            if (isZoomRow(values[3], values[4], values[5])) {
                zoomNumerator = values[3];
                zoomDenominator = values[4];
                zoomCommand = values[5];
            } else {
                zoomNumerator = zoomDenominator = 1;
                zoomCommand = 1803;
            }
        }
    }
    // The rest of the record, whatever it was (a "{NAME}" token has closed itself).
    if (reader.braceDepth() > depth) reader.skipToDepth(depth);
    return good;
}
