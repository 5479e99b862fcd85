#pragma once
// KViewOptions: the six view settings a worksheet file keeps after its caret mark, and their
// record.  The worksheet window copies them to and from its view; until it exists they are
// plain values.
//
// "{VIEWOPTS " record, each value "%d " in this order, then "}":
//
// | # | value                                   |
// |---|-----------------------------------------|
// | 1 | show section ranges (0 or 1)            |
// | 2 | show group ranges (0 or 1)              |
// | 3 | show invisible characters (0 or 1)      |
// | 4 | zoom numerator                          |
// | 5 | zoom denominator                        |
// | 6 | zoom command id (1801..1807; 1803 100%) |
//
// read takes the switches as on (1) or off (0), and the zoom only as one row of the zoom table
// (numerator, denominator and id together); any other zoom reads as 1/1 and 1803, so that no
// view ever gets a ratio of the file's making.  Without options the switches are off.

class KWorksheetReader;
class KWorksheetWriter;

class KViewOptions {
public:
    int showSectionRanges = 0;
    int showGroupRanges = 0;
    int showInvisibles = 0;
    int zoomNumerator = 1;
    int zoomDenominator = 1;
    int zoomCommand = 1803;

    // Always true.
    bool write(KWorksheetWriter& writer) const;
    // Reads the next record: true for a whole "{VIEWOPTS" record; false at the end of input,
    // for a damaged one (skipped) and for any other record (skipped).
    bool read(KWorksheetReader& reader);
    // Whether the three values are one row of the zoom table (1801 1/2, 1802 3/4, 1803 1/1,
    // 1804 3/2, 1805 2/1, 1806 3/1, 1807 4/1).
    static bool isZoomRow(int numerator, int denominator, int command);
};
