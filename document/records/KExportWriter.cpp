// Export line writer and the LaTeX writer with its group stack.
#include "document/records/KExportWriter.h"

#include <cctype>
#include <ostream>

namespace {
bool isPrintable(char c) { return std::isprint(static_cast<unsigned char>(c)) != 0; }
bool isWhite(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
}  // namespace

KExportWriter::KExportWriter(std::ostream* s, int width) : lineWidth(width), stream(s) {}

KExportWriter::~KExportWriter() = default;

void KExportWriter::putChar(char c) {
    ++charCount;
    if (sinkCallback) sinkCallback(sinkContext, c);
    else if (stream) stream->put(c);
}

void KExportWriter::newLine() {
    lastChar = '\n';
    putChar('\r');
    putChar('\n');
    if (!sinkCallback && stream) stream->flush();
}

void KExportWriter::writePrefix(int index) {
    if (index < 0 || index > 2) return;
    for (char p : prefixes[index]) putChar(p);
}

void KExportWriter::emitPendingPrefix(bool suppress) {
    if (prefixMode == 1 && !suppress) {
        writePrefix(0);
        prefixMode = 0;
    }
}

void KExportWriter::export_line_write(char c, bool flush, bool breakAtBackslash) {
    newlineRun = c == '\n' ? newlineRun + 1 : 0;
    if (lineWidth <= 0 || flush) {
        if (flush && !lineBuffer.empty()) {
            for (char b : lineBuffer) putChar(b);
            lineBuffer.clear();
        }
        if (lastChar == '\n' && !suppressPrefix) writePrefix(prefixMode);
        suppressPrefix = false;
        lastChar = c;
        if (c == '\n') newLine();
        else putChar(c);
        return;
    }
    lineBuffer.push_back(c);
    while (!lineBuffer.empty() &&
           (lineBuffer.size() > std::size_t(lineWidth) || lineBuffer.back() == '\n')) {
        breakLine(breakAtBackslash);
    }
}

void KExportWriter::breakLine(bool breakAtBackslash) {
    std::size_t fill = lineBuffer.size();
    std::size_t at = std::string::npos;
    for (std::size_t i = fill; i-- > 0;) {
        if (isWhite(lineBuffer[i])) {
            at = i;
            break;
        }
    }
    if (at == std::string::npos && breakAtBackslash) {
        std::size_t b = lineBuffer.rfind('\\');
        if (b != std::string::npos && b > 0) at = b;
    }
    if (at == std::string::npos) at = fill - 1;
    // A line feed ending a short line is a break of its own, not a wrap.
    if (lineBuffer.back() == '\n' && fill <= std::size_t(lineWidth) + 1) at = fill - 1;
    if (!suppressPrefix) writePrefix(pendingPrefix);
    suppressPrefix = false;
    pendingPrefix = prefixMode;
    for (std::size_t i = 0; i < at; ++i) putChar(lineBuffer[i]);
    newLine();
    std::size_t rest = at;
    if (rest < fill && (lineBuffer[rest] == '\n' || lineBuffer[rest] == ' ')) ++rest;
    lineBuffer.erase(0, rest);
    // A break at the very start that drops nothing would not shorten the buffer.
    if (at == 0 && rest == 0 && !lineBuffer.empty()) {
        putChar(lineBuffer[0]);
        lineBuffer.erase(0, 1);
    }
}

void KExportWriter::writeChars(const char* data, std::size_t n, bool flush, bool breakAtBackslash) {
    for (std::size_t i = 0; i < n; ++i) export_line_write(data[i], flush, breakAtBackslash);
}

void KExportWriter::writeString(const std::string& text, bool flush, bool breakAtBackslash) {
    writeChars(text.data(), text.size(), flush, breakAtBackslash);
}

void KExportWriter::ensureBlankLine() {
    while (newlineRun < 2) export_line_write('\n', false, false);
}

void KExportWriter::startLine(const std::string& text) {
    if (newlineRun == 0) export_line_write('\n', false, false);
    writeString(text);
}

bool KExportWriter::streamFailed() const { return !sinkCallback && stream && stream->fail(); }

// ---- LaTeX -------------------------------------------------------------------------------------

KLatexExportWriter::KLatexExportWriter(std::ostream* s, int width) : KExportWriter(s, width) {
    prefixes[0] = prefixes[1] = prefixes[2] = "";
}

bool KLatexExportWriter::isUsableName(const std::string& name) {
    if (name.empty()) return false;
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u > 0x7E) return false;
        switch (c) {
        case '{': case '}': case '\\': case '%': case '#': case '~': case '^':
            return false;
        default:
            break;
        }
    }
    return true;
}

bool KLatexExportWriter::inTtyOutput() const {
    return !groups.empty() && groups.back().kind == ENVIRONMENT &&
           groups.back().name == "kelvottyout";
}

void KLatexExportWriter::writeEscapedText(const std::string& text) {
    bool tty = inTtyOutput();
    for (char c : text) {
        if (tty || rawText) {
            if (isPrintable(c) || c == '\n') export_line_write(c, false, true);
            continue;
        }
        switch (c) {
        case '#': case '$': case '%': case '&': case '_': case '{': case '}':
            export_line_write('\\', false, true);
            export_line_write(c, false, true);
            break;
        case '<': case '>':
            writeString("\\TEXTsymbol{", false, true);
            export_line_write(c, false, true);
            export_line_write('}', false, true);
            break;
        case '\\':
            writeString("\\TEXTsymbol{\\backslash}", false, true);
            break;
        case '^':
            writeString("\\symbol{94}", false, true);
            break;
        case '~':
            writeString("\\symbol{126}", false, true);
            break;
        default:
            if (isPrintable(c) || c == '\n') export_line_write(c, false, true);
            break;
        }
    }
}

void KLatexExportWriter::writeBraceEscaped(const std::string& text) {
    for (char c : text) {
        if (c == '\\' || c == '{' || c == '}') export_line_write('\\', false, false);
        if (isPrintable(c) || c == '\n') export_line_write(c, false, false);
    }
}

void KLatexExportWriter::closeGroup(const Group& g) {
    switch (g.kind) {
    case MACRO:
        export_line_write('}', false, false);
        break;
    case ENVIRONMENT:
        if (!g.reused) {
            startLine("\\end{" + g.name + "}\n");
        }
        break;
    case BLOCK:
        if (!g.name.empty()) startLine("\\end{" + g.name + "}\n");
        break;
    }
}

void KLatexExportWriter::closeDownTo(std::size_t index) {
    while (groups.size() > index + 1) {
        Group g = groups.back();
        groups.pop_back();
        closeGroup(g);
    }
}

bool KLatexExportWriter::setFontStyle(int type, bool on, const std::string& name) {
    static const char* const words[] = {"textit", "textbf", "underline", "large ", "small "};
    if (type < 0 || type > FONT_NAMED) return false;
    std::size_t open = std::string::npos;
    for (std::size_t i = groups.size(); i-- > 0;) {
        if (groups[i].kind == MACRO && groups[i].value == type) {
            open = i;
            break;
        }
    }
    if (on == (open != std::string::npos)) return false;
    if (on && type == FONT_NAMED && !isUsableName(name)) return false;
    if (!on) {
        closeDownTo(open);
        Group g = groups.back();
        groups.pop_back();
        closeGroup(g);
        return true;
    }
    if (type <= FONT_UNDERLINE) {
        writeString(std::string("\\") + words[type] + "{");
    } else if (type <= FONT_SMALL) {
        writeString(std::string("{\\") + words[type]);
    } else {
        writeString("\\QTR{" + name + "}{");
    }
    groups.push_back({MACRO, false, name, type});
    return true;
}

void KLatexExportWriter::beginEnvironment(const std::string& name, const std::string& text) {
    for (const Group& g : groups) {
        if (g.kind == ENVIRONMENT && g.name == name) {
            groups.push_back({ENVIRONMENT, true, name, 0});
            return;
        }
    }
    startLine("\\begin{" + name + "}" + text + "\n");
    groups.push_back({ENVIRONMENT, false, name, 0});
}

void KLatexExportWriter::endEnvironment(const std::string& name) {
    for (std::size_t i = groups.size(); i-- > 0;) {
        if (groups[i].kind == ENVIRONMENT && groups[i].name == name) {
            closeDownTo(i);
            Group g = groups.back();
            groups.pop_back();
            closeGroup(g);
            return;
        }
    }
}

void KLatexExportWriter::beginBlock(const std::string& given) {
    const std::string name = isUsableName(given) ? given : std::string();
    blockName = name;
    groups.push_back({BLOCK, false, name, 0});
    if (!name.empty()) startLine("\\begin{" + name + "}\n");
}

void KLatexExportWriter::endBlock() {
    for (std::size_t i = groups.size(); i-- > 0;) {
        if (groups[i].kind == BLOCK) {
            closeDownTo(i);
            Group g = groups.back();
            groups.pop_back();
            closeGroup(g);
            blockName.clear();
            for (std::size_t j = groups.size(); j-- > 0;) {
                if (groups[j].kind == BLOCK) {
                    blockName = groups[j].name;
                    break;
                }
            }
            ensureBlankLine();
            return;
        }
    }
}

void KLatexExportWriter::beginMacro(const std::string& name, const std::string& text) {
    groups.push_back({MACRO, false, name, 6});
    startLine("\\" + name + text + "{");
}

void KLatexExportWriter::endMacro() {
    export_line_write('}', false, false);
    if (!groups.empty()) groups.pop_back();
}
