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
// Values are kept as read: the window checks them when it applies them.

class KWorksheetReader;
class KWorksheetWriter;

class KViewOptions {
public:
    int showSectionRanges = 1;
    int showGroupRanges = 1;
    int showInvisibles = 0;
    int zoomNumerator = 1;
    int zoomDenominator = 1;
    int zoomCommand = 1803;

    // Always true.
    bool write(KWorksheetWriter& writer) const;
    // Reads the next record: true for a whole "{VIEWOPTS" record; false at the end of input,
    // for a damaged one (skipped) and for any other record (skipped).
    bool read(KWorksheetReader& reader);
};
