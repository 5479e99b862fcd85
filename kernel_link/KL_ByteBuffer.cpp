// Byte buffers and the frame writer.

#include "kernel_link/KL_ByteBuffer.h"

KL_ByteBuffer::KL_ByteBuffer(int size)
    : size_(size < KL_BUFFER_SIZE ? KL_BUFFER_SIZE : size),
      base_(new unsigned char[std::size_t(size_) + 1]()),
      readPos_(base_.get()),
      writePos_(base_.get()) {}

bool KL_ByteBuffer::put(unsigned char byte) {
    if (held() >= size_) return true;
    *writePos_++ = byte;
    return held() >= size_;
}

unsigned char KL_ByteBuffer::get() {
    unsigned char b = *readPos_++;
    if (readPos_ >= writePos_) reset();
    return b;
}

const char* KL_ByteBuffer::text() {
    *writePos_ = 0;
    return reinterpret_cast<const char*>(readPos_);
}

int KL_FrameWriter::flush() {
    int n = buffer_.held();
    if (n == 0) return 0;
    long sent = raw_(buffer_.base(), n);
    buffer_.reset();
    return sent == n ? 0 : -1;
}

int KL_FrameWriter::write(const unsigned char* bytes, long count) {
    if (count < buffer_.freeSpace()) {
        bool end = false;
        for (long i = 0; i < count; ++i) {
            buffer_.put(bytes[i]);
            if (bytes[i] == KL_END_BYTE) end = true;
        }
        return end ? flush() : 0;
    }
    if (flush() != 0) return -1;
    return raw_(bytes, count) == count ? 0 : -1;
}
