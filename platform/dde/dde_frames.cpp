// Frame reader and writer of the DDE conversation (format in dde_frames.h).
#include "platform/dde/dde_frames.h"

#include <cstring>

namespace dde {

namespace {

void putHeader(std::string& out, FrameKind kind, uint32_t length) {
    out.push_back(static_cast<char>(kind));
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((length >> (8 * i)) & 0xFF));
}

bool validName(std::string_view name) {
    return !name.empty() && name.size() <= kMaxName && name.find('\0') == std::string_view::npos;
}

// Splits a NUL-terminated name off the front of `p`; false when there is no NUL within
// kMaxName + 1 bytes or the name is empty.
bool takeName(std::string_view& p, std::string& out) {
    std::size_t nul = p.substr(0, kMaxName + 1).find('\0');
    if (nul == std::string_view::npos || nul == 0) return false;
    out.assign(p.data(), nul);
    p.remove_prefix(nul + 1);
    return true;
}

}  // namespace

bool frame_initiate(std::string& out, std::string_view application, std::string_view topic) {
    if (!validName(application) || !validName(topic)) return false;
    putHeader(out, FrameKind::Initiate, static_cast<uint32_t>(application.size() + topic.size() + 2));
    out.append(application);
    out.push_back('\0');
    out.append(topic);
    out.push_back('\0');
    return true;
}

bool frame_ack(std::string& out, bool positive) {
    putHeader(out, FrameKind::Ack, 1);
    out.push_back(positive ? 1 : 0);
    return true;
}

bool frame_poke_format(std::string& out, std::string_view item, uint16_t format, std::string_view data) {
    if (!validName(item) || data.size() > kMaxPayload - item.size() - 3) return false;
    putHeader(out, FrameKind::Poke, static_cast<uint32_t>(item.size() + 3 + data.size()));
    out.append(item);
    out.push_back('\0');
    out.push_back(static_cast<char>(format & 0xFF));
    out.push_back(static_cast<char>(format >> 8));
    out.append(data);
    return true;
}

bool frame_poke(std::string& out, std::string_view item, std::string_view data) {
    return frame_poke_format(out, item, kFormatText, data);
}

bool frame_terminate(std::string& out) {
    putHeader(out, FrameKind::Terminate, 0);
    return true;
}

void FrameReader::feed(const char* data, std::size_t size) {
    if (failed_) return;
    // Drop what was taken before growing, so the buffer holds at most one frame and a read.
    if (pos_ > 0) {
        buf_.erase(0, pos_);
        pos_ = 0;
    }
    buf_.append(data, size);
}

FrameReader::Status FrameReader::fail(std::string* error, const char* why) {
    failed_ = true;
    buf_.clear();
    pos_ = 0;
    if (error) *error = why;
    return Status::Error;
}

FrameReader::Status FrameReader::next(Frame& out, std::string* error) {
    if (failed_) return fail(error, "stream already broken");
    std::size_t avail = buf_.size() - pos_;
    if (avail < 1) return Status::NeedMore;
    auto kind = static_cast<uint8_t>(buf_[pos_]);
    if (kind < 1 || kind > 4) return fail(error, "unknown frame kind");
    if (avail < kHeaderSize) return Status::NeedMore;
    uint32_t length = 0;
    for (int i = 0; i < 4; ++i)
        length |= static_cast<uint32_t>(static_cast<uint8_t>(buf_[pos_ + 1 + i])) << (8 * i);
    // Checked before any payload is waited for, so a peer cannot make us hold more than this.
    if (length > kMaxPayload) return fail(error, "frame above the payload limit");
    if (avail - kHeaderSize < length) return Status::NeedMore;

    std::string_view p(buf_.data() + pos_ + kHeaderSize, length);
    Frame f;
    f.kind = static_cast<FrameKind>(kind);
    switch (f.kind) {
    case FrameKind::Initiate:
        if (!takeName(p, f.name)) return fail(error, "bad application name");
        if (!takeName(p, f.topic)) return fail(error, "bad topic");
        if (!p.empty()) return fail(error, "bytes after the topic");
        break;
    case FrameKind::Ack:
        if (p.size() != 1 || (p[0] != 0 && p[0] != 1)) return fail(error, "bad acknowledgement");
        f.positive = p[0] == 1;
        break;
    case FrameKind::Poke: {
        if (!takeName(p, f.name)) return fail(error, "bad item name");
        if (p.size() < 2) return fail(error, "poke without a format");
        uint16_t format = static_cast<uint16_t>(static_cast<uint8_t>(p[0]) | (static_cast<uint8_t>(p[1]) << 8));
        if (format != kFormatText) return fail(error, "format other than CF_TEXT");
        p.remove_prefix(2);
        f.data.assign(p.data(), p.size());
        break;
    }
    case FrameKind::Terminate:
        if (!p.empty()) return fail(error, "terminate with a payload");
        break;
    }
    pos_ += kHeaderSize + length;
    if (pos_ == buf_.size()) {
        buf_.clear();
        pos_ = 0;
    }
    out = std::move(f);
    return Status::Frame;
}

}  // namespace dde
