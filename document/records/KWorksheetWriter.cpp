// The worksheet record writer: escaping, wrapping and the three kinds of sink.
#include "document/records/KWorksheetWriter.h"

#include <cctype>
#include <cmath>
#include <cfloat>
#include <cstring>
#include <istream>
#include <ostream>
#include <sstream>

#include "document/records/WorksheetFileError.h"
#include "tovu/encode.h"
#include "tovu/errors.h"

namespace {
constexpr std::size_t DRAIN_AT = 1 << 16;
}

KWorksheetWriter::KWorksheetWriter() = default;

KWorksheetWriter::~KWorksheetWriter() {
    if (!bad_) {
        try {
            drain();
        } catch (...) {
            // A destructor reports nothing; callers that care call flush() first.
        }
    }
    if (file_) std::fclose(file_);
}

bool KWorksheetWriter::open(const std::string& path) {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    borrowed_ = nullptr;
    memory_.clear();
    pending_.clear();
    column_ = 0;
    lastChar_ = 0;
    inString_ = false;
    fileName_ = path;
    written_ = 0;
    sinkKind_ = 0;
    file_ = std::fopen(path.c_str(), "w+b");
    bad_ = file_ == nullptr;
    if (!file_) sinkKind_ = 1;
    return file_ != nullptr;
}

void KWorksheetWriter::openMemory() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    borrowed_ = nullptr;
    memory_.clear();
    pending_.clear();
    fileName_.clear();
    sinkKind_ = 2;
    bad_ = false;
    written_ = 0;
    column_ = 0;
    lastChar_ = 0;
    inString_ = false;
}

void KWorksheetWriter::openStream(std::ostream& out) {
    openMemory();
    borrowed_ = &out;
    sinkKind_ = 1;
    bad_ = !out.good();
}

void KWorksheetWriter::drain() {
    if (pending_.empty()) return;
    if (file_) {
        if (std::fwrite(pending_.data(), 1, pending_.size(), file_) != pending_.size()) bad_ = true;
    } else if (borrowed_) {
        borrowed_->write(pending_.data(), std::streamsize(pending_.size()));
        if (!borrowed_->good()) bad_ = true;
    } else {
        bad_ = true;
    }
    pending_.clear();
}

void KWorksheetWriter::flush() {
    if (sinkKind_ == 2) return;
    if (!bad_) drain();
    if (!bad_ && file_ && std::fflush(file_) != 0) bad_ = true;
    if (!bad_ && borrowed_) {
        borrowed_->flush();
        if (!borrowed_->good()) bad_ = true;
    }
    if (bad_) raiseWorksheetError(WORKSHEET_ERROR_OUTPUT);
}

bool KWorksheetWriter::close() {
    if (!bad_) drain();
    if (file_) {
        if (std::fflush(file_) != 0) bad_ = true;
        if (std::fclose(file_) != 0) bad_ = true;
        file_ = nullptr;
    } else if (borrowed_ && !bad_) {
        borrowed_->flush();
        if (!borrowed_->good()) bad_ = true;
    }
    return !bad_;
}

std::string KWorksheetWriter::getBuffer() {
    if (sinkKind_ == 2) return memory_;
    if (file_) {
        flush();
        long here = std::ftell(file_);
        std::string text;
        if (here > 0) {
            std::string raw(static_cast<std::size_t>(here), '\0');
            std::rewind(file_);
            std::size_t got = std::fread(raw.data(), 1, raw.size(), file_);
            raw.resize(got);
            // Read back as text: CR LF is one line break.
            text.reserve(raw.size());
            for (std::size_t i = 0; i < raw.size(); ++i) {
                if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
                text.push_back(raw[i]);
            }
            std::fseek(file_, here, SEEK_SET);
        }
        return text;
    }
    return {};
}

void KWorksheetWriter::emit(const char* text, std::size_t n) {
    written_ += n;
    if (sinkKind_ == 2) {
        memory_.append(text, n);
        return;
    }
    if (file_) {
        // Text-mode file: every line feed is stored as CR LF.
        for (std::size_t i = 0; i < n; ++i) {
            if (text[i] == '\n') pending_.push_back('\r');
            pending_.push_back(text[i]);
        }
    } else {
        pending_.append(text, n);
    }
    if (pending_.size() >= DRAIN_AT) drain();
}

void KWorksheetWriter::piece(const char* text, std::size_t n) {
    if (n == 0) return;
    if (bad_) raiseWorksheetError(WORKSHEET_ERROR_OUTPUT);
    if (column_ + long(n) > WRAP_COLUMN) {
        if (inString_ && std::isspace(static_cast<unsigned char>(lastChar_))) emit("\\+", 2);
        emit("\n", 1);
        column_ = 0;
    }
    emit(text, n);
    lastChar_ = text[n - 1];
    if (lastChar_ == '\n') column_ = 0;
    else column_ += int(n);
}

KWorksheetWriter& KWorksheetWriter::writeRaw(const char* text, long length) {
    if (!text) return *this;
    std::size_t n = length < 0 ? std::strlen(text) : std::size_t(length);
    piece(text, n);
    return *this;
}

void KWorksheetWriter::writeEscapedChar(unsigned char byte) {
    char buffer[5];
    switch (byte) {
    case '\n':
        piece("\\n", 2);
        return;
    case '"': case '\\': case '{': case '}':
        buffer[0] = '\\';
        buffer[1] = char(byte);
        piece(buffer, 2);
        return;
    default:
        break;
    }
    if (std::isprint(byte)) {
        buffer[0] = char(byte);
        piece(buffer, 1);
        return;
    }
    buffer[0] = '\\';
    buffer[1] = char('0' + ((byte >> 6) & 7));
    buffer[2] = char('0' + ((byte >> 3) & 7));
    buffer[3] = char('0' + (byte & 7));
    piece(buffer, 4);
}

KWorksheetWriter& KWorksheetWriter::writeQuoted(const char* text, long length) {
    std::size_t n = 0;
    if (text) n = length < 0 ? std::strlen(text) : std::size_t(length);
    piece("\"", 1);
    inString_ = true;
    for (std::size_t i = 0; i < n; ++i) writeEscapedChar(static_cast<unsigned char>(text[i]));
    piece("\" ", 2);
    inString_ = false;
    return *this;
}

namespace {
struct EscapeSink {
    KWorksheetWriter* writer;
    bool failed = false;
};
void escapeChar(void* data, int ch) {
    auto* sink = static_cast<EscapeSink*>(data);
    sink->writer->writeEscapedChar(static_cast<unsigned char>(ch));
}
void escapeError(void* data, const char*) { static_cast<EscapeSink*>(data)->failed = true; }
}  // namespace

KWorksheetWriter& KWorksheetWriter::writeExpression(const DagWord* dag) {
    piece("\"", 1);
    inString_ = true;
    EscapeSink sink{this};
    try {
        TovuHandlerGuard guard;
        dag_write(dag, escapeChar, escapeError, 0, 0, &sink);
    } catch (const TovuError&) {
        sink.failed = true;
    } catch (...) {
        inString_ = false;
        throw;
    }
    // A DAG the encoding cannot hold leaves what was written; the string is still closed so
    // the record stays readable.
    piece("\" ", 2);
    inString_ = false;
    return *this;
}

KWorksheetWriter& KWorksheetWriter::writeDouble(double value) {
    // "%f" of a non-finite value ("nan", "inf") could not be read back; such values are
    // written as 0 and the largest finite double of their sign.
    if (std::isnan(value)) value = 0;
    else if (std::isinf(value)) value = value > 0 ? DBL_MAX : -DBL_MAX;
    char buffer[400];
    int n = std::snprintf(buffer, sizeof buffer, "%f ", value);
    piece(buffer, std::size_t(n));
    return *this;
}

KWorksheetWriter& KWorksheetWriter::writeLong(long value) {
    char buffer[32];
    int n = std::snprintf(buffer, sizeof buffer, "%ld ", value);
    piece(buffer, std::size_t(n));
    return *this;
}

KWorksheetWriter& KWorksheetWriter::writeInt(int value) {
    char buffer[24];
    int n = std::snprintf(buffer, sizeof buffer, "%d ", value);
    piece(buffer, std::size_t(n));
    return *this;
}

namespace {
struct PackContext {
    std::istream* in;
    KWorksheetWriter* writer;
};
int packByte(void* data) {
    auto* c = static_cast<PackContext*>(data);
    int b = c->in->get();
    return b == std::char_traits<char>::eof() ? -1 : (b & 0xFF);
}
void packChar(void* data, int ch) {
    static_cast<PackContext*>(data)->writer->writeEscapedChar(static_cast<unsigned char>(ch));
}
}  // namespace

KWorksheetWriter& KWorksheetWriter::writeBlob(std::istream& in, int marker) {
    writeInt(marker);
    piece("\"", 1);
    inString_ = true;
    PackContext context{&in, this};
    try {
        enc_pack_bytes(packByte, packChar, &context);
    } catch (...) {
        inString_ = false;
        throw;
    }
    piece("\" ", 2);
    inString_ = false;
    return *this;
}

KWorksheetWriter& KWorksheetWriter::writeBlob(std::string_view bytes, int marker) {
    std::istringstream in{std::string(bytes)};
    return writeBlob(in, marker);
}
