// The file-format error record and its raise.
#include "document/records/WorksheetFileError.h"

WorksheetFileErrorRecord worksheetFileError = {{2}, -1, 0};

void raiseWorksheetError(int code) {
    worksheetFileError.kind = 2;
    worksheetFileError.code = code;
    worksheetFileError.spare = 0;
    raiseRecord(&worksheetFileError);
}
