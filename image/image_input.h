// Whole-file input for the image readers: a reader checks the file's size, takes its bytes into
// memory once and decodes from the span, reading fields one by one with explicit byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "core/model.h"

namespace solvane {

// No image file, and no single allocation an image reader makes, is larger than this.
constexpr uint64_t kMaxImageAllocationBytes = uint64_t{1} << 30;

// The whole file at path; false when it cannot be opened or read, or is larger than
// kMaxImageAllocationBytes.
bool ReadImageFileBytes(const char* path, std::vector<uint8_t>& bytes);

// A new image record of width x height with all pixels black; null when a side is below 1 or
// above kMaxImageSide, or the pixels cannot be allocated.
std::unique_ptr<Texture> NewBlackImage(int64_t width, int64_t height);

// Sequential reads from a byte span. Reads past the end return 0 and set the overrun flag, so a
// decoder checks Overran() (or Remaining() beforehand) instead of testing every field.
class ByteCursor {
public:
    explicit ByteCursor(std::span<const uint8_t> bytes) : data_(bytes.data()), size_(bytes.size()) {}

    size_t Position() const { return position_; }
    size_t Size() const { return size_; }
    size_t Remaining() const { return size_ - position_; }
    bool Overran() const { return overran_; }
    const uint8_t* Here() const { return data_ + position_; }

    uint8_t U8()
    {
        if (position_ < size_) return data_[position_++];
        overran_ = true;
        return 0;
    }
    uint16_t LE16()
    {
        const uint16_t low = U8();
        return static_cast<uint16_t>(low | (U8() << 8));
    }
    uint32_t LE32()
    {
        const uint32_t low = LE16();
        return low | (static_cast<uint32_t>(LE16()) << 16);
    }
    uint16_t BE16()
    {
        const uint16_t high = U8();
        return static_cast<uint16_t>((high << 8) | U8());
    }
    uint32_t BE32()
    {
        const uint32_t high = BE16();
        return (high << 16) | BE16();
    }
    // Moves count bytes on; false (and at the end) when fewer remain.
    bool Skip(uint64_t count)
    {
        if (count > Remaining()) {
            position_ = size_;
            overran_ = true;
            return false;
        }
        position_ += static_cast<size_t>(count);
        return true;
    }
    void Seek(size_t position) { position_ = position < size_ ? position : size_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
    bool overran_ = false;
};

}  // namespace solvane
