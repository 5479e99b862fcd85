// The worksheet record reader: character layer, tokens, strings, numbers, expressions, blobs.
#include "document/records/KWorksheetReader.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <istream>
#include <ostream>
#include <sstream>

#include "document/records/WorksheetFileError.h"
#include "document/records/old_expression.h"
#include "tovu/encode.h"
#include "tovu/errors.h"
#include "tovu/sinks.h"
#include "tovu/storage.h"

namespace {
constexpr std::size_t CHUNK = 1 << 16;

bool isPrintable(int c) { return c >= 0 && c < 256 && std::isprint(c); }
bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
}  // namespace

KWorksheetReader::KWorksheetReader() = default;

KWorksheetReader::~KWorksheetReader() { close(); }

void KWorksheetReader::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    borrowed_ = nullptr;
    memory_.clear();
    chunk_.reset();
    pos_ = end_ = nullptr;
    sourceDone_ = true;
    sourceKind_ = 1;
    hasPushed_ = false;
    atEndFlag = false;
    depth_ = previousDepth_ = 0;
    escaped_ = previousEscaped_ = false;
}

bool KWorksheetReader::open(const std::string& path) {
    close();
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) return false;
    chunk_.reset(new char[CHUNK]);
    sourceKind_ = 0;
    sourceDone_ = false;
    return true;
}

bool KWorksheetReader::openMemory(const char* data, std::size_t length) {
    close();
    if (data && length) memory_.assign(data, length);
    pos_ = reinterpret_cast<const unsigned char*>(memory_.data());
    end_ = pos_ + memory_.size();
    sourceKind_ = 2;
    return true;
}

bool KWorksheetReader::openStream(std::istream& in) {
    close();
    borrowed_ = &in;
    chunk_.reset(new char[CHUNK]);
    sourceKind_ = 1;
    sourceDone_ = false;
    return in.good();
}

int KWorksheetReader::refill() {
    if (sourceDone_) return -1;
    std::size_t got = 0;
    if (file_) {
        got = std::fread(chunk_.get(), 1, CHUNK, file_);
    } else if (borrowed_) {
        borrowed_->read(chunk_.get(), CHUNK);
        got = static_cast<std::size_t>(borrowed_->gcount());
    }
    if (got == 0) {
        sourceDone_ = true;
        return -1;
    }
    pos_ = reinterpret_cast<const unsigned char*>(chunk_.get());
    end_ = pos_ + got;
    return *pos_++;
}

inline int KWorksheetReader::getByte() {
    if (pos_ < end_) return *pos_++;
    return refill();
}

// ---- character layer ---------------------------------------------------------------------------

bool KWorksheetReader::readChar(char& c, bool dropNewlines) {
    if (!readRawChar(c, dropNewlines)) return false;
    previousDepth_ = depth_;
    previousEscaped_ = escaped_;
    if (escaped_) {
        escaped_ = false;
    } else if (c == '\\') {
        escaped_ = true;
    } else if (c == '{') {
        ++depth_;
    } else if (c == '}') {
        --depth_;
    }
    return true;
}

void KWorksheetReader::skipToDepth(long depth) {
    char c;
    while (depth_ > depth && readChar(c, true)) {
    }
}

bool KWorksheetReader::readRawChar(char& c, bool dropNewlines) {
    if (hasPushed_) {
        hasPushed_ = false;
        c = pushed_;
        return true;
    }
    for (;;) {
        int b = getByte();
        if (b < 0) {
            atEndFlag = true;
            return false;
        }
        if (b == '\n') {
            if (dropNewlines) continue;
            c = ' ';
            return true;
        }
        // Carriage returns, tabs, other controls and bytes 128-255 never stand in the text
        // the writer makes (it escapes them), so they are dropped here.
        if (!isPrintable(b)) continue;
        c = static_cast<char>(b);
        return true;
    }
}

void KWorksheetReader::skipWhiteSpace() {
    char c;
    while (readChar(c, true)) {
        if (!isBlank(c)) {
            pushBack(c);
            return;
        }
    }
}

bool KWorksheetReader::readStringChar(char& c, bool keepCr) {
    stringClosed_ = false;
    for (;;) {
        char ch;
        if (!readChar(ch, true)) return false;
        if (ch == '"') {
            stringClosed_ = true;
            return false;
        }
        if (ch != '\\') {
            c = ch;
            return true;
        }
        char e;
        if (!readChar(e, true)) return false;
        if (e >= '0' && e <= '9') {
            // Three octal digits give one byte.  A character that is not an octal digit ends
            // the number early and is read again as string text.
            unsigned value = unsigned(e - '0') & 7u;
            for (int i = 0; i < 2; ++i) {
                char d;
                if (!readChar(d, true)) break;
                if (d < '0' || d > '7') {
                    pushBack(d);
                    break;
                }
                value = value * 8 + unsigned(d - '0');
            }
            char byte = static_cast<char>(value & 0xFF);
            if (byte == '\r' && !keepCr) byte = '\n';
            c = byte;
            return true;
        }
        if (e == 'n') {
            c = '\n';
            return true;
        }
        if (e == '+') continue;   // marks a wrap after white space; stands for nothing
        c = e;
        return true;
    }
}

void KWorksheetReader::drainString(bool keepCr) {
    char c;
    while (readStringChar(c, keepCr)) {
    }
}

// ---- record layer ------------------------------------------------------------------------------

void KWorksheetReader::seekRecordStart() {
    char c;
    while (readChar(c, true)) {
        if (c == '{') {
            pushBack(c);
            return;
        }
    }
}

void KWorksheetReader::skipRecord() {
    long depth = 1;
    bool escaped = false;
    char c;
    while (readChar(c, true)) {
        if (escaped) {
            escaped = false;
            continue;
        }
        if (c == '\\') {
            escaped = true;
        } else if (c == '{') {
            ++depth;
        } else if (c == '}') {
            if (--depth == 0) return;
        }
    }
}

bool KWorksheetReader::atRecordEnd() {
    skipWhiteSpace();
    char c;
    if (!readChar(c, true)) return true;
    pushBack(c);
    return c == '}';
}

bool KWorksheetReader::atEnd() {
    if (hasPushed_) return false;
    if (pos_ < end_) return false;
    if (sourceDone_) return true;
    int b = refill();
    if (b < 0) return true;
    --pos_;   // refill consumed the first byte of the new chunk; give it back
    return false;
}

std::size_t KWorksheetReader::readName(char* buffer, std::size_t size) {
    skipWhiteSpace();
    std::size_t length = 0;
    std::size_t stored = 0;
    char c;
    while (readChar(c, false)) {
        if (isBlank(c)) {
            pushBack(c);
            break;
        }
        if (stored + 1 < size) buffer[stored++] = c;
        ++length;
        if (c == '}') break;
    }
    if (size > 0) buffer[stored] = '\0';
    return length;
}

void KWorksheetReader::readToken(std::string& token) {
    token.clear();
    skipWhiteSpace();
    char c;
    while (readChar(c, false)) {
        if (isBlank(c)) {
            pushBack(c);
            break;
        }
        token.push_back(c);
        if (c == '}') break;
    }
}

void KWorksheetReader::readString(std::string& text, bool keepCr) {
    text.clear();
    skipWhiteSpace();
    char c = 0;
    bool got = readChar(c, true);
    if (!got || c != '"') {
        if (got) pushBack(c);
        raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
    }
    try {
        while (readStringChar(c, keepCr)) text.push_back(c);
    } catch (const std::bad_alloc&) {
        // Keep the input at a record boundary before the failure goes on.
        text.clear();
        text.shrink_to_fit();
        drainString(keepCr);
        outOfMemoryRecord.kind = 1;
        raiseRecord(&outOfMemoryRecord);
    } catch (const ErrorJump&) {
        text.clear();
        drainString(keepCr);
        throw;
    }
}

void KWorksheetReader::readStringBuffer(char* buffer, std::size_t size, bool keepCr) {
    skipWhiteSpace();
    char c = 0;
    bool got = readChar(c, true);
    if (!got || c != '"') {
        if (got) pushBack(c);
        if (size > 0) buffer[0] = '\0';
        raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
    }
    std::size_t stored = 0;
    while (readStringChar(c, keepCr)) {
        if (stored + 1 < size) buffer[stored++] = c;
    }
    if (size > 0) buffer[stored] = '\0';
}

// ---- numbers -----------------------------------------------------------------------------------

std::size_t KWorksheetReader::collectNumber(char* buffer, bool allowPoint) {
    skipWhiteSpace();
    std::size_t n = 0;
    char c;
    while (readChar(c, false)) {
        bool part = (c >= '0' && c <= '9') || c == '-' || (allowPoint && c == '.');
        if (!part) {
            pushBack(c);
            break;
        }
        if (n + 1 >= NUMBER_LIMIT) {
            // No number the writer makes is this long: consume the rest of the token and
            // refuse it, so that the caller's recovery starts after it.
            while (readChar(c, false)) {
                if (!((c >= '0' && c <= '9') || c == '-' || c == '.')) {
                    pushBack(c);
                    break;
                }
            }
            raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
        }
        buffer[n++] = c;
    }
    buffer[n] = '\0';
    if (n == 0) raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
    return n;
}

namespace {
// "%ld"-like conversion of the collected characters: an optional "-", then digits; anything
// else ends the number.  Values beyond the type saturate instead of wrapping.
long long parseInteger(const char* text, long long low, long long high) {
    const char* p = text;
    bool negative = false;
    if (*p == '-') {
        negative = true;
        ++p;
    }
    if (*p < '0' || *p > '9') return 0;   // "-" alone or "--5": nothing converted
    unsigned long long magnitude = 0;
    bool overflow = false;
    for (; *p >= '0' && *p <= '9'; ++p) {
        unsigned d = unsigned(*p - '0');
        if (magnitude > (ULLONG_MAX - d) / 10) overflow = true;
        else magnitude = magnitude * 10 + d;
    }
    if (negative) {
        unsigned long long limit = static_cast<unsigned long long>(-(low + 1)) + 1;
        if (overflow || magnitude >= limit) return low;
        return -static_cast<long long>(magnitude);
    }
    if (overflow || magnitude > static_cast<unsigned long long>(high)) return high;
    return static_cast<long long>(magnitude);
}
}  // namespace

void KWorksheetReader::readDouble(double& value) {
    value = 0;
    char buffer[NUMBER_LIMIT];
    std::size_t n = collectNumber(buffer, true);
    double v = 0;
    auto result = std::from_chars(buffer, buffer + n, v, std::chars_format::fixed);
    if (result.ec == std::errc()) value = v;
}

void KWorksheetReader::readLong(long& value) {
    value = 0;
    char buffer[NUMBER_LIMIT];
    collectNumber(buffer, false);
    value = static_cast<long>(parseInteger(buffer, LONG_MIN, LONG_MAX));
}

void KWorksheetReader::readInt(int& value) {
    value = 0;
    char buffer[NUMBER_LIMIT];
    collectNumber(buffer, false);
    value = static_cast<int>(parseInteger(buffer, INT_MIN, INT_MAX));
}

// ---- expressions and blobs -----------------------------------------------------------------------

namespace {
struct ExpressionSource {
    KWorksheetReader* reader;
    bool quoted;
    bool ended = false;   // the string (or input) ended while the DAG reader was reading
};

int expressionChar(void* data) {
    auto* s = static_cast<ExpressionSource*>(data);
    if (s->ended) return -1;
    char c;
    if (s->quoted) {
        if (!s->reader->readStringChar(c, false)) {
            s->ended = true;
            return -1;
        }
        return static_cast<unsigned char>(c);
    }
    if (!s->reader->readChar(c, true)) {
        s->ended = true;
        return -1;
    }
    return static_cast<unsigned char>(c);
}


// Reads one DAG from the source under a library handler, null when the text is malformed.
Dag readEncoded(ExpressionSource& source) {
    try {
        TovuHandlerGuard guard;
        return dag_read(expressionChar, sink_ignore_read_end, sink_ignore_read_error, sink_ignore_read_error, 0,
                        &source);
    } catch (const TovuError&) {
        return nullptr;
    }
}
}  // namespace

void KWorksheetReader::readExpressionMode(Dag& dag, int mode) {
    dag = nullptr;
    storage_reset();
    skipWhiteSpace();
    if (mode == 0) {
        dag = old_expression_read(*this);
        if (!dag) raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
        return;
    }
    if (mode == 1) {
        ExpressionSource source{this, false};
        dag = readEncoded(source);
        if (!dag) raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
        return;
    }
    char c = 0;
    bool got = readChar(c, true);
    if (!got || c != '"') {
        if (got) pushBack(c);
        raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
    }
    ExpressionSource source{this, true};
    Dag result = readEncoded(source);
    bool closed;
    if (source.ended) {
        closed = stringClosed_;
    } else {
        // Whatever follows the encoding inside the quotes is dropped.
        drainString(false);
        closed = stringClosed_;
    }
    if (!result || !closed) raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
    dag = result;
}

namespace {
struct BlobSource {
    KWorksheetReader* reader;
    bool ended = false;
};
int blobChar(void* data) {
    auto* s = static_cast<BlobSource*>(data);
    if (s->ended) return -1;
    char c;
    if (!s->reader->readStringChar(c, false)) {
        s->ended = true;
        return -1;
    }
    return static_cast<unsigned char>(c);
}
void blobByte(void* data, int b) {
    static_cast<std::ostream*>(data)->put(static_cast<char>(b));
}
struct BlobContext {
    BlobSource source;
    std::ostream* out;
};
int blobContextChar(void* data) { return blobChar(&static_cast<BlobContext*>(data)->source); }
void blobContextByte(void* data, int b) { blobByte(static_cast<BlobContext*>(data)->out, b); }
}  // namespace

void KWorksheetReader::readBlob(std::ostream& out) {
    int marker = 0;
    readInt(marker);
    if (marker != 1) raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
    skipWhiteSpace();
    char c = 0;
    bool got = readChar(c, true);
    if (!got || c != '"') {
        if (got) pushBack(c);
        raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
    }
    BlobContext context{{this}, &out};
    const char* error = enc_unpack_bytes(blobContextChar, blobContextByte, &context);
    if (!context.source.ended) drainString(false);
    if (error || !stringClosed_) raiseWorksheetError(WORKSHEET_ERROR_SYNTAX);
}

void KWorksheetReader::readBlob(std::string& out) {
    std::ostringstream stream;
    readBlob(stream);
    out = std::move(stream).str();
}
