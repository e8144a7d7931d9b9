// The counted reader input layer. Every model reader consumes its file through one ReaderInput:
// it reads in large blocks, adds what it consumes to the load's done amount, and ends the read
// by throwing LoadCancelled once the load's total has become -1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "core/load_context.h"

namespace solvane {

class ReaderInput {
public:
    explicit ReaderInput(LoadContext& ctx);
    ~ReaderInput();
    ReaderInput(const ReaderInput&) = delete;
    ReaderInput& operator=(const ReaderInput&) = delete;

    // Opens the file for reading; false when it cannot be opened.
    bool Open(const char* path);
    bool Open(const std::string& path) { return Open(path.c_str()); }
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    int64_t Size() const { return size_; }
    int64_t Tell() const { return bufferStart_ + static_cast<int64_t>(pos_); }
    int64_t Remaining() const { return size_ - Tell(); }
    bool AtEnd() const { return Tell() >= size_; }
    // Back to the start of the file (the next pass).
    void Rewind() { SkipBytes(0, SEEK_SET); }

    // The next non-empty line: leading white space removed, the trailing line feed kept (a
    // carriage return before it is dropped). Returns the line's length as read (line feed
    // included, before leading white space was removed), or -1 at the end of the input; a last
    // line without a line feed is not returned. The view stays valid until the next call.
    int64_t ReadTextLine(std::string_view& line);

    // One byte, or -1 at the end of the file.
    int ReadByte()
    {
        if (pos_ < length_) {
            ++pending_;
            return buffer_[pos_++];
        }
        return ReadByteSlow();
    }
    // Reads up to count items of size bytes; returns the number of whole items read.
    size_t ReadBytes(void* destination, size_t size, size_t count);
    // Seeks like fseek (SEEK_SET, SEEK_CUR, SEEK_END); false when the position is outside
    // 0..Size() (the position is then clamped into that range).
    bool SkipBytes(int64_t offset, int origin);

    // Fixed-size values. Bytes past the end of the file read as 0.
    uint16_t ReadBE16();
    uint32_t ReadBE32();
    float ReadBEFloat();
    uint16_t ReadLE16();
    uint32_t ReadLE32();
    float ReadLEFloat();
    double ReadLEDouble();

    // Whether a fixed-size read has run past the end of the file since the last Rewind/seek.
    bool Overrun() const { return overrun_; }

private:
    int ReadByteSlow();
    // Moves the buffer forward to the current position and fills it; false at end of file.
    bool Refill();
    void Publish();
    void CheckCancel();
    bool ReadExact(uint8_t* destination, size_t count);

    LoadContext& ctx_;
    int fd_ = -1;
    int64_t size_ = 0;
    std::vector<uint8_t> buffer_;
    int64_t bufferStart_ = 0;  // file offset of buffer_[0]
    size_t pos_ = 0;           // read position in buffer_
    size_t length_ = 0;        // valid bytes in buffer_
    int64_t pending_ = 0;      // consumed bytes not yet added to the done amount
    bool overrun_ = false;
    std::string line_;         // lines that straddle a block boundary
};

}  // namespace solvane
