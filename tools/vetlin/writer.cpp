// The line writer (see writer.h).
#include "tools/vetlin/writer.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstring>
#include <string>

#include "tools/vetlin/input.h"
#include "tools/vetlin/run.h"

namespace {

constexpr long kWidth = 79;
constexpr long kLeastLimit = 20;

struct Writer {
    std::string buffer;
    long indentation = 0;
    long extra = 4;
    long limit = kWidth;
};
Writer writer;

void blanks(long count) {
    for (long i = 0; i < count; ++i) std::fputc(' ', vl.report);
}

bool is_break(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// Breaks the buffer while it is longer than the limit.  `hadNewline`: the appended text held one.
void wrap(bool hadNewline) {
    std::string& b = writer.buffer;
    while (long(b.size()) > writer.limit) {
        const long limit = writer.limit;
        long at = -1;
        if (hadNewline) {
            const std::size_t nl = b.find('\n');
            if (nl != std::string::npos && long(nl) < limit) at = long(nl) + 1;
        }
        if (at < 0) {
            for (long i = limit - 1; i >= 0; --i) {
                if (is_break(b[std::size_t(i)])) {
                    at = i + 1;
                    break;
                }
            }
        }
        if (at < 0) at = limit;
        std::size_t start = 0;
        while (start < std::size_t(at) && std::isspace(static_cast<unsigned char>(b[start]))) ++start;
        std::fwrite(b.data() + start, 1, std::size_t(at) - start, vl.report);
        std::fputc('\n', vl.report);
        blanks(writer.indentation + writer.extra);
        b.erase(0, std::size_t(at));
        writer.limit = std::max(kLeastLimit, kWidth - writer.indentation - writer.extra);
    }
}

}  // namespace

void writer_reset() { writer = Writer{}; }

void writer_begin_line(long indentation) {
    if (indentation < 0) indentation = 0;
    blanks(indentation);
    writer.buffer.clear();
    writer.indentation = indentation;
    writer.extra = 4;
    writer.limit = std::max(kLeastLimit, kWidth - indentation);
}

void writer_set_extra(long extra) { writer.extra = std::max(0L, extra); }

void writer_write(const char* text) {
    writer.buffer += text;
    wrap(std::strchr(text, '\n') != nullptr);
}

void writer_printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int size = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(std::size_t(std::max(size, 0)), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    writer_write(text.c_str());
}

void writer_end_line() {
    std::fwrite(writer.buffer.data(), 1, writer.buffer.size(), vl.report);
    std::fputc('\n', vl.report);
    writer.buffer.clear();
}

void writer_location(long line) {
    if (!input_is_terminal()) writer_printf(" on line %ld", line);
}

long writer_limit() { return writer.limit; }
