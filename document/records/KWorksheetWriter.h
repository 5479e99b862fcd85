#pragma once
// KWorksheetWriter: the one writer of the brace-record text (see KWorksheetReader.h for the
// syntax).  Every record writer of the program goes through it, so these byte rules hold for
// every record:
//
//   1. A record head is written as one piece ("{CSTYLE "); every field is followed by one
//      blank: "%d ", "%ld ", "%f " (six decimals), a quoted string and a blank.
//   2. Strings are escaped byte by byte: line feed -> \n; " \ { } -> backslash and the byte;
//      other printable bytes stand for themselves; every other byte -> "\%03o".  Braces inside
//      strings are therefore never bare, and a record can be skipped by counting braces.
//   3. Expressions are quoted strings holding the DAG text encoding; blobs are the integer 1
//      and a quoted string of packed bytes.
//   4. Wrapping: each piece (a head, a number with its blank, a quote, one escaped string
//      character, a closing quote with its blank, a brace) goes to a line as a whole.  When the
//      column plus the piece's length would pass 70, "\n" comes first, preceded by "\+" when
//      inside a string the last character written was white space.  A piece ending in "\n"
//      sets the column to 0.
//   5. File sinks store each "\n" as CR LF; memory and borrowed stream sinks get "\n".
//
// Faults: a piece written to a sink that went bad raises `worksheetFileError` code 3 before
// anything is written.  A write failure inside the buffering is found at the next piece or at
// flush(), which raises the same.

#include <cstddef>
#include <cstdio>
#include <iosfwd>
#include <string>
#include <string_view>

#include "tovu/dag.h"
#include "util/KString.h"

class KWorksheetWriter {
public:
    static constexpr int WRAP_COLUMN = 70;

    KWorksheetWriter();   // memory sink (sink kind 2)
    virtual ~KWorksheetWriter();
    KWorksheetWriter(const KWorksheetWriter&) = delete;
    KWorksheetWriter& operator=(const KWorksheetWriter&) = delete;

    // Creates or truncates the file (sink kind 0); false when it cannot be opened, and the
    // writer then holds no sink (every later write raises code 3).
    bool open(const std::string& path);
    void openMemory();                  // back to an empty memory sink
    void openStream(std::ostream& out); // borrowed stream (sink kind 1)
    // Hands buffered text to the file or stream; raises code 3 when that fails.
    void flush();
    // Hands the buffered text to the file and closes it, checking the write, the flush and the
    // close; false when any of them (or an earlier write) failed.  A memory or stream sink
    // only answers whether its writes went well.
    bool close();
    int sinkKind() const { return sinkKind_; }
    const std::string& fileName() const { return fileName_; }

    // The text written so far ("\n" line ends, also for a file sink).
    virtual std::string getBuffer();

    // ---- write operations; each answers the writer so that a record is one chain ------------
    virtual KWorksheetWriter& writeRaw(const char* text, long length = -1);
    KWorksheetWriter& writeRaw(std::string_view text) { return writeRaw(text.data(), long(text.size())); }
    KWorksheetWriter& writeRawString(const std::string& text) { return writeRaw(text); }
    virtual KWorksheetWriter& writeQuoted(const char* text, long length = -1);
    KWorksheetWriter& writeQuotedString(const std::string& text) {
        return writeQuoted(text.data(), long(text.size()));
    }
    KWorksheetWriter& writeRawString(const KString& text) { return writeRaw(text.text(), text.length()); }
    KWorksheetWriter& writeQuotedString(const KString& text) {
        return writeQuoted(text.text(), text.length());
    }
    KWorksheetWriter& writeQuotedString(const char* text) { return writeQuoted(text, -1); }
    KWorksheetWriter& writeQuotedCStr(const char* text) { return writeQuoted(text, -1); }
    virtual KWorksheetWriter& writeExpression(const DagWord* dag);
    virtual KWorksheetWriter& writeDouble(double value);
    virtual KWorksheetWriter& writeLong(long value);
    virtual KWorksheetWriter& writeInt(int value);
    virtual KWorksheetWriter& writeBlob(std::istream& in, int marker = 1);
    KWorksheetWriter& writeBlob(std::string_view bytes, int marker = 1);

    // Rule 2 for one byte, as one piece.
    void writeEscapedChar(unsigned char byte);

    int column() const { return column_; }
    // Characters of text written so far (a line end counts one).
    std::size_t bytesWritten() const { return written_; }
    bool inString() const { return inString_; }
    int majorVersion = 3;
    int minorVersion = 0;

private:
    void piece(const char* text, std::size_t n);
    void emit(const char* text, std::size_t n);
    void drain();   // pending_ to the file or stream

    int sinkKind_ = 2;
    std::FILE* file_ = nullptr;
    std::ostream* borrowed_ = nullptr;
    std::string fileName_;
    std::string memory_;     // memory sink text
    std::string pending_;    // buffered output of file and stream sinks
    bool bad_ = false;
    std::size_t written_ = 0;
    int column_ = 0;
    char lastChar_ = 0;
    bool inString_ = false;
};
