#include "platform/big_endian.h"

namespace tw {

namespace {
constexpr size_t kFlushSize = 1 << 20;  // stream to the file in pieces of about a megabyte
}

BigEndianWriter::BigEndianWriter(std::vector<uint8_t>& memory) : buffer_(&memory), base_(memory.size()) {}

BigEndianWriter::BigEndianWriter(platform::File& file) : buffer_(&own_), file_(&file) {
    own_.reserve(kFlushSize + 64);
}

BigEndianWriter::~BigEndianWriter() { flush(); }

void BigEndianWriter::put8(uint8_t v) {
    buffer_->push_back(v);
    if (file_ && buffer_->size() >= kFlushSize) flush();
}

void BigEndianWriter::put16(uint16_t v) {
    uint8_t b[2] = {uint8_t(v >> 8), uint8_t(v)};
    putBytes(b, 2);
}

void BigEndianWriter::put32(uint32_t v) {
    uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    putBytes(b, 4);
}

void BigEndianWriter::putF32(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    put32(bits);
}

void BigEndianWriter::putBytes(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    buffer_->insert(buffer_->end(), p, p + size);
    if (file_ && buffer_->size() >= kFlushSize) flush();
}

void BigEndianWriter::putZeros(size_t count) {
    buffer_->resize(buffer_->size() + count, 0);
    if (file_ && buffer_->size() >= kFlushSize) flush();
}

void BigEndianWriter::patch32(uint64_t at, uint32_t value) {
    uint8_t b[4] = {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value)};
    if (at >= flushed_) {
        std::memcpy(buffer_->data() + base_ + (at - flushed_), b, 4);
        return;
    }
    // The word is already in the file: write it in place and come back to the end.
    if (!flush() || !platform::SeekFile(*file_, static_cast<int64_t>(at)) || !platform::WriteFile(*file_, b, 4) ||
        !platform::SeekFile(*file_, static_cast<int64_t>(flushed_)))
        ok_ = false;
}

uint64_t BigEndianWriter::beginLength32() {
    uint64_t at = position();
    put32(0);
    return at;
}

void BigEndianWriter::finishLength32(uint64_t at) {
    uint64_t length = position() - at - 4;
    if (length > 0xffffffffu) ok_ = false;
    patch32(at, static_cast<uint32_t>(length));
}

bool BigEndianWriter::flush() {
    if (!file_ || own_.empty()) return ok_;
    if (!platform::WriteFile(*file_, own_.data(), own_.size())) ok_ = false;
    flushed_ += own_.size();
    own_.clear();
    return ok_;
}

bool BigEndianReader::get8(uint8_t& v) {
    if (remaining() < 1) return false;
    v = data_[pos_++];
    return true;
}

bool BigEndianReader::get16(uint16_t& v) {
    if (remaining() < 2) return false;
    v = static_cast<uint16_t>((data_[pos_] << 8) | data_[pos_ + 1]);
    pos_ += 2;
    return true;
}

bool BigEndianReader::get32(uint32_t& v) {
    if (remaining() < 4) return false;
    const uint8_t* p = data_ + pos_;
    v = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
    pos_ += 4;
    return true;
}

bool BigEndianReader::getI32(int32_t& v) {
    uint32_t u;
    if (!get32(u)) return false;
    v = static_cast<int32_t>(u);
    return true;
}

bool BigEndianReader::getF32(float& v) {
    uint32_t u;
    if (!get32(u)) return false;
    std::memcpy(&v, &u, 4);
    return true;
}

bool BigEndianReader::getBytes(void* out, size_t size) {
    if (remaining() < size) return false;
    // An empty field (a zero-length name or block) has nowhere to go: its target is often
    // an empty vector's data(), a null pointer, which memcpy may not be given even for
    // nothing, and the reader itself may span no bytes at all.
    if (size == 0) return true;
    std::memcpy(out, data_ + pos_, size);
    pos_ += size;
    return true;
}

bool BigEndianReader::skip(size_t size) {
    if (remaining() < size) {
        pos_ = size_;
        return false;
    }
    pos_ += size;
    return true;
}

}  // namespace tw
