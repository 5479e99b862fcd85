#pragma once
// KWorksheetReader: the one reader of the brace-record text of worksheet files, the clipboard's
// worksheet format and style set files.  Every record reader of the program reads through it.
//
// Record syntax it accepts (the writer's output, KWorksheetWriter.h, and looser forms):
//
// | item       | form                                                                     |
// |------------|--------------------------------------------------------------------------|
// | record     | "{" NAME " " fields... "}"  -- a line break counts as white space and no |
// |            | blank is needed before "}"                                               |
// | integer    | optional "-" and digits, e.g. "-12 "                                     |
// | double     | digits, "-" and "." ("%f": six decimals, never an exponent)              |
// | string     | '"' escaped bytes '"'; escapes: \n line feed, \" \\ \{ \} themselves,    |
// |            | \ooo three octal digits, \+ nothing; line breaks inside are dropped      |
// | expression | a string holding the DAG text encoding (format 2 and 3); the old         |
// |            | unquoted form in format 1 (old_expression.h)                             |
// | blob       | the integer 1, then a string holding packed bytes                        |
//
// Character layer: one byte of push-back; carriage returns, tabs and every other byte that is
// not printable ASCII are skipped, so CR LF files read like LF files.
//
// Faults: every syntax fault raises `worksheetFileError` with code 2 through the error-jump
// stack (WorksheetFileError.h).  Lengths come only from the input itself: tokens and strings
// grow with what they read, fixed buffers (readName, readStringBuffer, numbers) are filled to
// their bound and the rest of the token is consumed, so the reader stays in step.

#include <cstddef>
#include <cstdio>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "tovu/dag.h"
#include "util/KString.h"

class KWorksheetReader {
public:
    KWorksheetReader();
    virtual ~KWorksheetReader();
    KWorksheetReader(const KWorksheetReader&) = delete;
    KWorksheetReader& operator=(const KWorksheetReader&) = delete;

    // ---- sources: each closes a source held before; true when the new one is good ---------
    bool open(const std::string& path);                  // owned file (source kind 0)
    bool openMemory(const char* data, std::size_t length);   // owned copy (source kind 2)
    bool openMemory(std::string_view data) { return openMemory(data.data(), data.size()); }
    bool openStream(std::istream& in);                   // borrowed stream (source kind 1)
    void close();
    int sourceKind() const { return sourceKind_; }

    // ---- record layer ------------------------------------------------------------------------
    // Reads (line breaks dropped) up to a "{", which is pushed back.
    virtual void seekRecordStart();
    // Consumes the rest of the current record up to the "}" that closes it (depth starts at 1).
    virtual void skipRecord();
    // Skips white space and peeks: true at the end of input or before a "}".
    virtual bool atRecordEnd();
    // True when the source is exhausted and nothing is pushed back.
    virtual bool atEnd();
    // One token into a buffer of `size` bytes: at most size-1 characters stored, NUL-terminated.
    // A longer token is consumed whole (its tail is dropped).  Answers the token's full length.
    virtual std::size_t readName(char* buffer, std::size_t size);
    // One token, without a length limit: stops before white space or after a "}".
    virtual void readToken(std::string& token);
    // A quoted string; no opening quote is a syntax fault.
    virtual void readString(std::string& text, bool keepCr);
    void readStringDefault(std::string& text) { readString(text, false); }
    // The same into the program's growable strings.
    void readToken(KString& token) {
        std::string t;
        readToken(t);
        token.clear();
        token.appendN(t.data(), int(t.size()));
    }
    void readString(KString& text, bool keepCr) {
        std::string t;
        readString(t, keepCr);
        text.clear();
        text.appendN(t.data(), int(t.size()));
    }
    void readStringDefault(KString& text) { readString(text, false); }
    // A quoted string into a buffer: at most size-1 bytes kept, the rest read and dropped.
    virtual void readStringBuffer(char* buffer, std::size_t size, bool keepCr);
    virtual void readDouble(double& value);
    virtual void readLong(long& value);
    virtual void readInt(int& value);
    // Mode 0 the old unquoted form, 1 the encoding read directly, 2 a quoted encoding.  Resets
    // the default storage area first: the result lives until the next expression read.
    virtual void readExpressionMode(Dag& dag, int mode);
    void readExpression(Dag& dag) { readExpressionMode(dag, majorVersion < 2 ? 0 : 2); }
    // The integer 1 and a quoted packed blob, unpacked into `out`.
    virtual void readBlob(std::ostream& out);
    void readBlob(std::string& out);

    // ---- character layer -----------------------------------------------------------------------
    // Next character; a line feed is a blank (or skipped when dropNewlines); false at the end.
    bool readChar(char& c, bool dropNewlines);
    // Gives back the character the last readChar delivered.
    void pushBack(char c) {
        pushed_ = c;
        hasPushed_ = true;
        depth_ = previousDepth_;
        escaped_ = previousEscaped_;
    }
    void skipWhiteSpace();
    // One character of a quoted string after its opening quote; false at the closing quote
    // (consumed) or at the end of input.
    bool readStringChar(char& c, bool keepCr);
    // True when the last readStringChar that answered false met the closing quote.
    bool stringClosed() const { return stringClosed_; }
    // Unescaped "{" minus "}" delivered so far: the record nesting of the read position.
    long braceDepth() const { return depth_; }
    // Reads until the nesting drops to `depth` (or the input ends): after a record reader gave
    // up in the middle of its record, this finds the end of that record.
    void skipToDepth(long depth);

    // ---- state the record readers share --------------------------------------------------------
    int majorVersion = 3;           // 3 until the "{VERSION" record says otherwise
    int minorVersion = 0;
    bool platformIsNt = false;      // "{VERSION" platform is "IBM INTEL NT"
    bool platformIsWindows = false; // platform is "MS-Windows"
    std::string platformName;
    bool atEndFlag = false;         // a read met the end of input or a failed source
    bool unknownRecordSeen = false; // a record with an unknown tag was skipped

    // Longest number token accepted (a double printed with "%f" needs at most 317).
    static constexpr std::size_t NUMBER_LIMIT = 400;

private:
    bool readRawChar(char& c, bool dropNewlines);
    int getByte();       // next raw byte or -1
    int refill();
    // Collects a number's characters; `allowPoint` for doubles.  Raises code 2 when none.
    std::size_t collectNumber(char* buffer, bool allowPoint);
    // Reads string characters up to the closing quote, dropping them.
    void drainString(bool keepCr);

    int sourceKind_ = 1;
    std::FILE* file_ = nullptr;
    std::istream* borrowed_ = nullptr;
    std::string memory_;            // owned memory source or the refill buffer
    const unsigned char* pos_ = nullptr;
    const unsigned char* end_ = nullptr;
    std::unique_ptr<char[]> chunk_;
    bool sourceDone_ = true;
    char pushed_ = 0;
    bool hasPushed_ = false;
    bool stringClosed_ = false;
    long depth_ = 0;
    bool escaped_ = false;
    long previousDepth_ = 0;
    bool previousEscaped_ = false;
};
