#pragma once
// KExportWriter: the output channel of the plain-text and LaTeX exports.  It counts the
// characters it hands on, wraps lines at a fixed width, starts each line with a prefix and
// ends lines with CR LF.  KLatexExportWriter adds LaTeX escaping and the stack of open LaTeX
// groups (environments, blocks, font and macro groups).
//
// Line writer invariants:
//   1. lineBuffer holds the current unwritten line (only when wrapping, lineWidth > 0).
//   2. A wrap breaks at the last white space in the buffer, else (when asked) before the last
//      backslash, else before the last character; a blank or line feed at the break is dropped.
//   3. Prefixes: 0 "# ", 1 "> ", 2 "" (plain text); all empty for LaTeX.  A line started by a
//      wrap gets prefixes[pendingPrefix]; an unwrapped line after a line feed gets
//      prefixes[prefixMode].
// Multibyte breaking for the Japanese mode is not done here: text is treated as single bytes.

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

class KExportWriter {
public:
    using Sink = void (*)(void* context, char c);

    KExportWriter(std::ostream* stream, int lineWidth);
    virtual ~KExportWriter();
    KExportWriter(const KExportWriter&) = delete;
    KExportWriter& operator=(const KExportWriter&) = delete;

    void setSink(Sink sink, void* context) { sinkCallback = sink; sinkContext = context; }
    virtual void putChar(char c);

    void export_line_write(char c, bool flush, bool breakAtBackslash);
    void writeString(const std::string& text, bool flush = false, bool breakAtBackslash = false);
    void writeChars(const char* data, std::size_t n, bool flush = false,
                    bool breakAtBackslash = false);
    void setLinePrefixMode(int i) { prefixMode = pendingPrefix = i; }
    void emitPendingPrefix(bool suppress);
    void newLine();
    void ensureBlankLine();
    void startLine(const std::string& text = {});
    // True when the output stream has failed (a write or a flush went wrong); a writer with a
    // sink or without a stream never fails.
    bool streamFailed() const;

    long charCount = 0;
    int lineWidth;
    int prefixMode = 2;
    int pendingPrefix = 2;
    bool suppressPrefix = false;
    std::string prefixes[3] = {"# ", "> ", ""};
    int newlineRun = 1;   // the output starts at the start of a line
    char lastChar = '\n';

protected:
    std::ostream* stream;
    Sink sinkCallback = nullptr;
    void* sinkContext = nullptr;
    std::string lineBuffer;

private:
    void writePrefix(int index);
    void breakLine(bool breakAtBackslash);
};

class KLatexExportWriter : public KExportWriter {
public:
    enum GroupKind { ENVIRONMENT = 0, BLOCK = 1, MACRO = 2 };
    struct Group {
        int kind;
        bool reused;
        std::string name;   // environment or block name
        int value;          // font-style type of a macro group, 6 for a named macro
    };
    // Font-style types of setFontStyle.
    enum { FONT_ITALIC = 0, FONT_BOLD = 1, FONT_UNDERLINE = 2, FONT_LARGE = 3, FONT_SMALL = 4,
           FONT_NAMED = 5 };

    KLatexExportWriter(std::ostream* stream, int lineWidth = 70);

    // Whether a style name can stand in the file as an environment name or a \QTR argument:
    // not empty, printable ASCII only, and none of "{", "}", "\\", "%", "#", "~" or "^" (which
    // would unbalance the argument, start a comment, a parameter, an active character or
    // TeX's "^^" character notation).  Names that fail get no style definition, open an
    // unnamed block and no named font group.
    static bool isUsableName(const std::string& name);

    void writeEscapedText(const std::string& text);
    void writeBraceEscaped(const std::string& text);
    // Type FONT_NAMED with a name that is not usable opens no group (false).
    bool setFontStyle(int type, bool on, const std::string& name = {});
    void beginEnvironment(const std::string& name, const std::string& text = {});
    void endEnvironment(const std::string& name);
    // A name that is not usable opens an unnamed block.
    void beginBlock(const std::string& name = {});
    void endBlock();
    void beginMacro(const std::string& name, const std::string& text = {});
    void endMacro();
    bool inTtyOutput() const;
    void setRawText(bool raw) { rawText = raw; }

    std::string blockName;
    std::vector<Group> groups;   // innermost last
    bool rawText = false;

private:
    void closeGroup(const Group& g);
    void closeDownTo(std::size_t index);   // closes groups above index (not index itself)
};
