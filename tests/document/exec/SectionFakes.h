#pragma once
// The readers the section and worksheet-file tests read through: the real section, execution
// group, text, paragraph and input readers.  ReaderRegistration enters them for one test and
// leaves the tag table's read state reset.
#include <string>

#include "document/elements/InputTextElement.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/SectionElement.h"
#include "document/elements/TextElement.h"
#include "document/exec/ExecutionGroup.h"
#include "document/records/KWorksheetReader.h"
#include "document/records/KWorksheetWriter.h"
#include "document/styles/WorksheetTagTable.h"

struct ReaderRegistration {
    ReaderRegistration() {
        registerSectionReaders();
        registerExecutionGroupReaders();
        registerTextReaders();
        registerParagraphReaders();
    }
    ~ReaderRegistration() { worksheetTagTable.resetReadState(); }
    ReaderRegistration(const ReaderRegistration&) = delete;
    ReaderRegistration& operator=(const ReaderRegistration&) = delete;
};
