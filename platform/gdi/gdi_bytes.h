#pragma once
// Little-endian byte packing for the metafile writers and the player (internal to the layer).
//
// ByteWriter appends; ByteReader reads from a span and never past it: a read beyond the end
// gives 0 and sets `failed`, which the caller tests once after a group of reads.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace gdi {

class ByteWriter {
public:
    std::vector<uint8_t>& bytes() { return out_; }
    std::size_t size() const { return out_.size(); }
    void u8(uint32_t v) { out_.push_back(static_cast<uint8_t>(v)); }
    void u16(uint32_t v) {
        u8(v);
        u8(v >> 8);
    }
    void u32(uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void i16(int32_t v) { u16(static_cast<uint16_t>(static_cast<int16_t>(v))); }
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    void f32(float v) {
        uint32_t u;
        std::memcpy(&u, &v, sizeof u);
        u32(u);
    }
    void raw(const void* p, std::size_t n) {
        const uint8_t* b = static_cast<const uint8_t*>(p);
        out_.insert(out_.end(), b, b + n);
    }
    void zeros(std::size_t n) { out_.insert(out_.end(), n, 0); }
    // Overwrites 4 bytes at `at` (already written).
    void patch32(std::size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) out_[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
    void patch16(std::size_t at, uint32_t v) {
        out_[at] = static_cast<uint8_t>(v);
        out_[at + 1] = static_cast<uint8_t>(v >> 8);
    }

private:
    std::vector<uint8_t> out_;
};

class ByteReader {
public:
    ByteReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool failed = false;
    std::size_t left() const { return size_ - pos_; }
    std::size_t pos() const { return pos_; }
    bool has(std::size_t n) const { return n <= size_ - pos_; }
    void skip(std::size_t n) {
        if (!has(n)) {
            failed = true;
            pos_ = size_;
        } else {
            pos_ += n;
        }
    }
    uint32_t u8() {
        if (!has(1)) return fail();
        return data_[pos_++];
    }
    uint32_t u16() {
        if (!has(2)) return fail();
        uint32_t v = data_[pos_] | (uint32_t(data_[pos_ + 1]) << 8);
        pos_ += 2;
        return v;
    }
    uint32_t u32() {
        uint32_t lo = u16();
        return lo | (u16() << 16);
    }
    int32_t i16() { return static_cast<int16_t>(u16()); }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    // `n` bytes as a view into the data (empty and failed when fewer are left).
    std::string_view bytes(std::size_t n) {
        if (!has(n)) {
            fail();
            return {};
        }
        std::string_view v(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return v;
    }

private:
    uint32_t fail() {
        failed = true;
        pos_ = size_;
        return 0;
    }
    const uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace gdi
