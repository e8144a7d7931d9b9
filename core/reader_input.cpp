#include "core/reader_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include "core/input_file.h"

namespace solvane {
namespace {

constexpr size_t kBlockSize = 256 * 1024;
// A single text line longer than this is taken as the end of the input.
constexpr size_t kMaxLineLength = 256u * 1024 * 1024;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

ReaderInput::ReaderInput(LoadContext& ctx) : ctx_(ctx) {}

ReaderInput::~ReaderInput()
{
    Close();
}

bool ReaderInput::Open(const char* path)
{
    Close();
    CheckCancel();
    fd_ = OpenRegularFile(path);
    if (fd_ < 0) return false;
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    size_ = info.st_size;
    // Small files get a buffer of their own size: most loads of small files (textures, fuzzing)
    // would otherwise spend their time clearing a block they never fill.
    buffer_.resize(static_cast<size_t>(std::clamp<int64_t>(size_, 1, static_cast<int64_t>(kBlockSize))));
    bufferStart_ = 0;
    pos_ = length_ = 0;
    pending_ = 0;
    overrun_ = false;
    return true;
}

void ReaderInput::Close()
{
    if (fd_ >= 0) {
        Publish();
        ::close(fd_);
        fd_ = -1;
    }
    buffer_ = {};
    line_ = {};
    pos_ = length_ = 0;
}

void ReaderInput::CheckCancel()
{
    if (ctx_.total.load(std::memory_order_relaxed) == -1) throw LoadCancelled{};
}

void ReaderInput::Publish()
{
    if (pending_ == 0) return;
    if (ctx_.total.load(std::memory_order_relaxed) > 0) {
        ctx_.done.fetch_add(pending_, std::memory_order_relaxed);
    }
    pending_ = 0;
}

bool ReaderInput::Refill()
{
    Publish();
    CheckCancel();
    if (fd_ < 0) return false;
    bufferStart_ += static_cast<int64_t>(pos_);
    pos_ = length_ = 0;
    if (bufferStart_ >= size_) return false;
    size_t want = buffer_.size();
    while (length_ < want) {
        const ssize_t got = ::pread(fd_, buffer_.data() + length_, want - length_,
                                    bufferStart_ + static_cast<int64_t>(length_));
        if (got <= 0) break;
        length_ += static_cast<size_t>(got);
    }
    return length_ > 0;
}

int ReaderInput::ReadByteSlow()
{
    if (!Refill()) return -1;
    ++pending_;
    return buffer_[pos_++];
}

size_t ReaderInput::ReadBytes(void* destination, size_t size, size_t count)
{
    if (size == 0 || count == 0) return 0;
    uint8_t* out = static_cast<uint8_t*>(destination);
    const int64_t wanted64 = static_cast<int64_t>(size) * static_cast<int64_t>(count);
    const size_t wanted = static_cast<size_t>(std::min<int64_t>(wanted64, std::max<int64_t>(Remaining(), 0)));
    size_t copied = 0;
    while (copied < wanted) {
        if (pos_ >= length_ && !Refill()) break;
        const size_t take = std::min(wanted - copied, length_ - pos_);
        std::memcpy(out + copied, buffer_.data() + pos_, take);
        pos_ += take;
        pending_ += static_cast<int64_t>(take);
        copied += take;
    }
    return copied / size;
}

bool ReaderInput::SkipBytes(int64_t offset, int origin)
{
    CheckCancel();
    int64_t target = 0;
    switch (origin) {
    case SEEK_SET: target = offset; break;
    case SEEK_CUR: target = Tell() + offset; break;
    case SEEK_END: target = size_ + offset; break;
    default: return false;
    }
    bool inside = true;
    if (target < 0) { target = 0; inside = false; }
    if (target > size_) { target = size_; inside = false; }

    // Progress: relative seeks count their offset, an absolute seek beyond the done amount
    // raises the done amount to it.
    Publish();
    if (ctx_.total.load(std::memory_order_relaxed) > 0) {
        if (origin == SEEK_CUR) {
            ctx_.done.fetch_add(offset, std::memory_order_relaxed);
        } else if (origin == SEEK_SET) {
            int64_t done = ctx_.done.load(std::memory_order_relaxed);
            while (done >= 0 && offset > done &&
                   !ctx_.done.compare_exchange_weak(done, offset, std::memory_order_relaxed)) {
            }
        }
    }

    overrun_ = false;
    if (target >= bufferStart_ && target <= bufferStart_ + static_cast<int64_t>(length_)) {
        pos_ = static_cast<size_t>(target - bufferStart_);
    } else {
        bufferStart_ = target;
        pos_ = length_ = 0;
    }
    return inside;
}

bool ReaderInput::ReadExact(uint8_t* destination, size_t count)
{
    if (pos_ + count <= length_) {
        std::memcpy(destination, buffer_.data() + pos_, count);
        pos_ += count;
        pending_ += static_cast<int64_t>(count);
        return true;
    }
    const size_t got = ReadBytes(destination, 1, count);
    if (got < count) {
        std::memset(destination + got, 0, count - got);
        overrun_ = true;
        return false;
    }
    return true;
}

uint16_t ReaderInput::ReadBE16()
{
    uint8_t b[2];
    ReadExact(b, 2);
    return static_cast<uint16_t>((b[0] << 8) | b[1]);
}

uint32_t ReaderInput::ReadBE32()
{
    uint8_t b[4];
    ReadExact(b, 4);
    return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

float ReaderInput::ReadBEFloat()
{
    return std::bit_cast<float>(ReadBE32());
}

uint16_t ReaderInput::ReadLE16()
{
    uint8_t b[2];
    ReadExact(b, 2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint32_t ReaderInput::ReadLE32()
{
    uint8_t b[4];
    ReadExact(b, 4);
    return (uint32_t{b[3]} << 24) | (uint32_t{b[2]} << 16) | (uint32_t{b[1]} << 8) | b[0];
}

float ReaderInput::ReadLEFloat()
{
    return std::bit_cast<float>(ReadLE32());
}

double ReaderInput::ReadLEDouble()
{
    uint8_t b[8];
    ReadExact(b, 8);
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = (value << 8) | b[i];
    return std::bit_cast<double>(value);
}

int64_t ReaderInput::ReadTextLine(std::string_view& line)
{
    CheckCancel();
    // Skip empty lines (line feeds, and carriage returns that end an empty line).
    for (;;) {
        if (pos_ >= length_ && !Refill()) return -1;
        const char c = static_cast<char>(buffer_[pos_]);
        if (c == '\n') {
            ++pos_;
            ++pending_;
            continue;
        }
        if (c == '\r') {
            // A carriage return directly before a line feed is dropped.
            if (pos_ + 1 >= length_) {
                // Look past the block end without losing this byte.
                // Refill from the carriage return on, so the next byte is in the buffer too.
                if (Tell() + 1 < size_ && (!Refill() || length_ < 2)) return -1;
            }
            if (pos_ + 1 < length_ && buffer_[pos_ + 1] == '\n') {
                pos_ += 2;
                pending_ += 2;
                continue;
            }
        }
        break;
    }

    // Find the line feed that ends the line.
    const uint8_t* start = buffer_.data() + pos_;
    const void* found = std::memchr(start, '\n', length_ - pos_);
    char* text = nullptr;
    size_t rawLength = 0;
    if (found) {
        rawLength = static_cast<const uint8_t*>(found) - start + 1;
        text = reinterpret_cast<char*>(buffer_.data() + pos_);
        pos_ += rawLength;
        pending_ += static_cast<int64_t>(rawLength);
    } else {
        // The line straddles blocks: gather it in line_.
        line_.assign(reinterpret_cast<const char*>(start), length_ - pos_);
        pending_ += static_cast<int64_t>(length_ - pos_);
        pos_ = length_;
        for (;;) {
            if (!Refill()) return -1;  // input ended before a line feed
            const void* nl = std::memchr(buffer_.data(), '\n', length_);
            const size_t take = nl ? static_cast<const uint8_t*>(nl) - buffer_.data() + 1 : length_;
            if (line_.size() + take > kMaxLineLength) return -1;
            line_.append(reinterpret_cast<const char*>(buffer_.data()), take);
            pos_ = take;
            pending_ += static_cast<int64_t>(take);
            if (nl) break;
        }
        text = line_.data();
        rawLength = line_.size();
    }

    size_t length = rawLength;
    if (length >= 2 && text[length - 2] == '\r') {
        text[length - 2] = '\n';
        --length;
    }
    size_t skip = 0;
    while (skip < length && IsBlank(text[skip])) ++skip;
    line = std::string_view(text + skip, length - skip);
    return static_cast<int64_t>(length);
}

}  // namespace solvane
