// A small writer of the 3DM version-1 chunk stream, for building test files in code: header,
// long chunks (length patched when the chunk ends, CRC appended for the kernel-data typecodes),
// short chunks and little-endian primitives.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace solvane::test {

class RhinoWriter {
public:
    // The 32-byte header with the version right-aligned in bytes 24-31.
    explicit RhinoWriter(int version = 1)
    {
        char header[33];
        std::snprintf(header, sizeof header, "3D Geometry File Format %8d", version);
        data_.assign(header, 32);
    }

    void Int32(int64_t value)
    {
        const uint32_t v = static_cast<uint32_t>(value);
        for (int i = 0; i < 4; ++i) data_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
    void UInt16(uint32_t value)
    {
        data_.push_back(static_cast<char>(value & 0xFF));
        data_.push_back(static_cast<char>((value >> 8) & 0xFF));
    }
    void Byte(int value) { data_.push_back(static_cast<char>(value)); }
    void Double(double value)
    {
        uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        for (int i = 0; i < 8; ++i) data_.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
    }
    void Raw(const std::string& bytes) { data_ += bytes; }
    void String(const std::string& text)
    {
        Int32(static_cast<int64_t>(text.size()));
        data_ += text;
    }

    void Short(uint32_t typecode, uint32_t value)
    {
        Int32(typecode | 0x80000000u);
        Int32(value);
    }
    // Opens a long chunk; End() writes its length (and CRC for typecodes 0x10101-0x1010A).
    void Begin(uint32_t typecode)
    {
        Int32(typecode);
        Int32(0);
        open_.push_back({typecode, data_.size()});
    }
    void End()
    {
        const Open chunk = open_.back();
        open_.pop_back();
        if (chunk.typecode > 0x10100u && chunk.typecode < 0x1010Bu) AppendCrc(chunk.dataStart);
        const uint32_t length = static_cast<uint32_t>(data_.size() - chunk.dataStart);
        for (int i = 0; i < 4; ++i)
            data_[chunk.dataStart - 4 + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
    }

    const std::string& Data() const { return data_; }

    static uint16_t Crc(uint16_t r, const std::string& bytes, size_t from, size_t to)
    {
        for (size_t i = from; i < to; ++i) {
            const uint8_t b = static_cast<uint8_t>(bytes[i]);
            uint32_t t = static_cast<uint32_t>(r >> 8) << 8;
            for (int bit = 0; bit < 8; ++bit) t = (t & 0x8000) ? ((t << 1) ^ 0x1021) : (t << 1);
            r = static_cast<uint16_t>((r << 8) ^ b ^ (t & 0xFFFF));
        }
        return r;
    }

private:
    struct Open {
        uint32_t typecode;
        size_t dataStart;
    };

    // Two bytes after which the register, started at 1 over the chunk's data, is 0.
    void AppendCrc(size_t dataStart)
    {
        const uint16_t r = Crc(1, data_, dataStart, data_.size());
        for (int a = 0; a < 256; ++a) {
            for (int b = 0; b < 256; ++b) {
                const std::string tail{static_cast<char>(a), static_cast<char>(b)};
                if (Crc(r, tail, 0, 2) == 0) {
                    data_ += tail;
                    return;
                }
            }
        }
        throw std::logic_error("no CRC bytes found");
    }

    std::string data_;
    std::vector<Open> open_;
};

}  // namespace solvane::test
