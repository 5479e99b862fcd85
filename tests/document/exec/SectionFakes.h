#pragma once
// Stand-ins for the paragraph and input records in the section and worksheet-file tests: a
// paragraph that writes its style after its head ("{PARA 0 ... }") and a one-line input that
// writes its whole record ("{KLVTEXT "text" }") and counts the input updates it is asked for,
// with readers for both.  ReaderRegistration enters them (and the real SECT and EXCHG
// readers) for one test and takes the stand-ins out again.
#include <string>

#include "document/exec/ExecutionGroup.h"
#include "document/elements/InputTextElement.h"
#include "document/records/KWorksheetReader.h"
#include "document/records/KWorksheetWriter.h"
#include "document/elements/ParagraphElement.h"
#include "document/elements/SectionElement.h"
#include "document/styles/WorksheetTagTable.h"

class TestParagraph : public ParagraphElement {
public:
    explicit TestParagraph(int style) : ParagraphElement(style, nullptr) {}
    TestParagraph(const TestParagraph& other) : ParagraphElement(other) {}
    Element* cloneElement() const override { return new TestParagraph(*this); }
    void writeElement(WalkControl& control) override {
        ParagraphElement::writeElement(control);
        if (control.pass() == PASS_BEFORE && control.writer && !(control.flags & WALK_MARKED_ONLY))
            control.writer->writeInt(styleIndex);
    }
};

inline int inputUpdates = 0;   // updateInputSyntax calls on every TestInput

class TestInput : public InputTextElement {
public:
    explicit TestInput(const char* text) : InputTextElement(1, text) {}
    Element* cloneElement() const override { return new TestInput(text()); }
    void writeElement(WalkControl& control) override {
        if (!control.writer) return;
        control.writer->writeRaw("{KLVTEXT ");
        control.writer->writeQuotedCStr(text());
        control.writer->writeRaw("}");
    }
    void updateInputSyntax(WalkControl&) override { ++inputUpdates; }
};

inline bool readTestParagraph(KWorksheetReader& reader, Element*& out, Element*) {
    int style = 0;
    reader.readInt(style);
    auto* paragraph = new TestParagraph(style);
    for (;;) {
        Element* child = nullptr;
        if (!worksheetTagTable.readNewRep(reader, child, paragraph, false, nullptr)) break;
        if (child && !paragraph->insertChild(child, nullptr, kInsertAfter)) delete child;
    }
    out = paragraph;
    return true;
}

inline bool readTestInput(KWorksheetReader& reader, Element*& out, Element*) {
    std::string text;
    reader.readString(text, false);
    reader.skipRecord();
    out = new TestInput(text.c_str());
    return true;
}

struct ReaderRegistration {
    ReaderRegistration() {
        registerSectionReaders();
        registerExecutionGroupReaders();
        worksheetTagTable.registerReader("PARA", readTestParagraph);
        worksheetTagTable.registerReader("KLVTEXT", readTestInput);
        inputUpdates = 0;
    }
    ~ReaderRegistration() {
        worksheetTagTable.registerReader("PARA", nullptr);
        worksheetTagTable.registerReader("KLVTEXT", nullptr);
        worksheetTagTable.resetReadState();
    }
    ReaderRegistration(const ReaderRegistration&) = delete;
    ReaderRegistration& operator=(const ReaderRegistration&) = delete;
};
