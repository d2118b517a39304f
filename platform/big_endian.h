// Big-endian words in and out. Every file the product writes (settings files, the memory-dot
// map, PSD) is big-endian; this is the one place that knows the byte order.
//
// BigEndianWriter appends to memory or streams to a file through a buffer; a length field
// written early can be back-patched and is checked against the bytes written since.
// BigEndianReader reads words from a byte range and never past its end: a read that does
// not fit fails and leaves its target untouched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/platform.h"

namespace tw {

class BigEndianWriter {
public:
    explicit BigEndianWriter(std::vector<uint8_t>& memory);  // appends to `memory`
    explicit BigEndianWriter(platform::File& file);          // streams into an open file
    ~BigEndianWriter();

    void put8(uint8_t v);
    void put16(uint16_t v);
    void put32(uint32_t v);
    void putI32(int32_t v) { put32(static_cast<uint32_t>(v)); }
    void putF32(float v);
    void putBytes(const void* data, size_t size);
    void putZeros(size_t count);

    uint64_t position() const { return flushed_ + buffer_->size() - base_; }
    // Overwrites the 32-bit word at `at` (an earlier position) with `value`.
    void patch32(uint64_t at, uint32_t value);
    // Writes a length word now; finishLength later patches in the bytes written after it.
    uint64_t beginLength32();
    void finishLength32(uint64_t at);

    // Pushes buffered bytes to the file; false once any write has failed.
    bool flush();
    bool ok() const { return ok_; }

private:
    std::vector<uint8_t> own_;
    std::vector<uint8_t>* buffer_;
    platform::File* file_ = nullptr;
    uint64_t flushed_ = 0;  // bytes already in the file
    size_t base_ = 0;       // size of `memory` when the writer started
    bool ok_ = true;
};

class BigEndianReader {
public:
    BigEndianReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    explicit BigEndianReader(const std::vector<uint8_t>& bytes) : BigEndianReader(bytes.data(), bytes.size()) {}

    bool get8(uint8_t& v);
    bool get16(uint16_t& v);
    bool get32(uint32_t& v);
    bool getI32(int32_t& v);
    bool getF32(float& v);
    bool getBytes(void* out, size_t size);
    bool skip(size_t size);  // false (and moves to the end) when fewer bytes are left

    size_t position() const { return pos_; }
    size_t remaining() const { return size_ - pos_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

}  // namespace tw
