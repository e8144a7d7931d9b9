#include "core/writer_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace solvane {
namespace {

constexpr size_t kBlockSize = 256 * 1024;

}  // namespace

WriterOutput::~WriterOutput()
{
    // A writer that returned without Finish has not completed the file.
    if (fd_ >= 0) Abandon();
}

bool WriterOutput::Open(const std::string& path)
{
    path_ = path;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        failed_ = true;
        ctx_.Fail("Cannot write " + path + ": " + std::strerror(errno));
        return false;
    }
    // Only a regular file is removed when the save fails: never a device or a pipe.
    struct stat info {};
    regularFile_ = ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode);
    buffer_.reserve(kBlockSize);
    return true;
}

void WriterOutput::Failure(const char* what)
{
    if (!failed_) ctx_.Fail(std::string(what) + " " + path_ + ": " + std::strerror(errno));
    failed_ = true;
}

void WriterOutput::Flush()
{
    if (fd_ < 0 || failed_) {
        buffer_.clear();
        return;
    }
    size_t offset = 0;
    while (offset < buffer_.size()) {
        const ssize_t n = ::write(fd_, buffer_.data() + offset, buffer_.size() - offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            Failure("Cannot write");
            break;
        }
        offset += static_cast<size_t>(n);
    }
    written_ += static_cast<int64_t>(offset);
    ctx_.done.fetch_add(static_cast<int64_t>(offset), std::memory_order_relaxed);
    buffer_.clear();
}

bool WriterOutput::Finish()
{
    if (fd_ < 0) return false;
    Flush();
    if (::close(fd_) != 0) Failure("Cannot finish");
    fd_ = -1;
    if (failed_ && regularFile_) ::unlink(path_.c_str());
    return !failed_;
}

void WriterOutput::Abandon()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    buffer_.clear();
    if (regularFile_) ::unlink(path_.c_str());
    regularFile_ = false;
    failed_ = true;
}

void WriterOutput::Bytes(const void* data, size_t size)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        if (buffer_.size() == kBlockSize) Flush();
        const size_t take = std::min(size, kBlockSize - buffer_.size());
        buffer_.insert(buffer_.end(), bytes, bytes + take);
        bytes += take;
        size -= take;
    }
}

void WriterOutput::CString(std::string_view text)
{
    Text(text);
    Byte(0);
}

void WriterOutput::LE16(uint16_t value)
{
    const uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    Bytes(bytes, 2);
}

void WriterOutput::LE32(uint32_t value)
{
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    Bytes(bytes, 4);
}

void WriterOutput::LEFloat(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    LE32(bits);
}

void WriterOutput::LEDouble(double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, 8);
    LE32(static_cast<uint32_t>(bits));
    LE32(static_cast<uint32_t>(bits >> 32));
}

void WriterOutput::BE16(uint16_t value)
{
    const uint8_t bytes[2] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    Bytes(bytes, 2);
}

void WriterOutput::BE32(uint32_t value)
{
    const uint8_t bytes[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                              static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    Bytes(bytes, 4);
}

void WriterOutput::BEFloat(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    BE32(bits);
}

void WriterOutput::Int(int64_t value)
{
    char text[24];
    const auto result = std::to_chars(text, text + sizeof(text), value);
    Bytes(text, static_cast<size_t>(result.ptr - text));
}

void WriterOutput::Float(float value)
{
    if (!std::isfinite(value)) value = 0;
    char text[32];
    const auto result = std::to_chars(text, text + sizeof(text), value);
    Bytes(text, static_cast<size_t>(result.ptr - text));
}

void WriterOutput::Double(double value)
{
    if (!std::isfinite(value)) value = 0;
    char text[40];
    const auto result = std::to_chars(text, text + sizeof(text), value);
    Bytes(text, static_cast<size_t>(result.ptr - text));
}

void WriterOutput::Patch(int64_t position, const uint8_t bytes[4])
{
    if (position < 0 || position + 4 > Tell()) return;  // a writer's own mistake: nothing to patch
    // Bytes still in the buffer are patched there; an overlap with the flushed part is written to
    // the file in place.
    for (int i = 0; i < 4; ++i) {
        const int64_t at = position + i;
        if (at >= written_) {
            buffer_[static_cast<size_t>(at - written_)] = bytes[i];
        } else if (fd_ >= 0 && !failed_ && ::pwrite(fd_, &bytes[i], 1, at) != 1) {
            Failure("Cannot write");
        }
    }
}

void WriterOutput::PatchLE32(int64_t position, uint32_t value)
{
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    Patch(position, bytes);
}

void WriterOutput::PatchBE32(int64_t position, uint32_t value)
{
    const uint8_t bytes[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                              static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    Patch(position, bytes);
}

}  // namespace solvane
