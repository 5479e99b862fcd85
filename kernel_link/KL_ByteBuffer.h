#pragma once
// The byte buffer of one pipe direction and the frame writer that both ends of the pipe link
// put in front of their raw writes.
//
// KL_ByteBuffer: `size` bytes of storage (at least 2048) plus one for a terminating NUL;
// readPos <= writePos <= base + size.  When readPos catches up with writePos both return to
// base, so a buffer that is drained fills from its start again.
//
// KL_FrameWriter gathers small writes and sends them when a frame ends (a byte 0x01 was handed
// over) or when the next write would not fit.  With a 2048-byte buffer and one byte per call:
//
//   | state                        | write(bytes, n)                                          |
//   |------------------------------|----------------------------------------------------------|
//   | n < free space               | appended; sent with what is buffered when one byte is 0x01 |
//   | n >= free space              | buffered bytes sent, then the n bytes sent straight      |
//
// so a long frame leaves as 2047 buffered bytes, 1 straight byte, 2047, 1, ... and the rest with
// its end byte; a flag byte 0x01 leaves by itself.

#include <cstddef>
#include <functional>
#include <memory>

constexpr unsigned char KL_END_BYTE = 0x01;
constexpr int KL_BUFFER_SIZE = 2048;

class KL_ByteBuffer {
public:
    explicit KL_ByteBuffer(int size);
    KL_ByteBuffer(const KL_ByteBuffer&) = delete;
    KL_ByteBuffer& operator=(const KL_ByteBuffer&) = delete;

    // Stores a byte; true when the buffer is now full (a store beyond the capacity is taken
    // back, so the buffer never overflows).
    bool put(unsigned char byte);
    // The next unread byte (call only when available() > 0).
    unsigned char get();
    // NUL-terminates the held bytes and returns the first byte not yet taken.
    const char* text();
    void reset() { readPos_ = writePos_ = base_.get(); }

    int size() const { return size_; }
    int held() const { return int(writePos_ - base_.get()); }          // bytes since base
    int available() const { return int(writePos_ - readPos_); }        // bytes not yet taken
    int freeSpace() const { return size_ - held(); }
    unsigned char* base() { return base_.get(); }
    const unsigned char* readPos() const { return readPos_; }
    // Marks n bytes written straight into writeSpace() as held.
    unsigned char* writeSpace() { return writePos_; }
    void commit(int n) { writePos_ += n; }

private:
    int size_;
    std::unique_ptr<unsigned char[]> base_;
    unsigned char* readPos_;
    unsigned char* writePos_;
};

class KL_FrameWriter {
public:
    // raw(bytes, n) writes all n bytes and answers n, or -1 on failure.
    using RawWrite = std::function<long(const unsigned char* bytes, long n)>;

    KL_FrameWriter(int size, RawWrite raw) : buffer_(size), raw_(std::move(raw)) {}

    // 0, or -1 when a raw write failed or sent fewer bytes than asked.
    int write(const unsigned char* bytes, long count);
    int held() const { return buffer_.held(); }

private:
    int flush();
    KL_ByteBuffer buffer_;
    RawWrite raw_;
};
