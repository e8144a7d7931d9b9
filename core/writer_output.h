// The counted writer output layer: every model and image writer produces its file through one
// WriterOutput. It buffers in large blocks, counts what it has written into the save's progress,
// writes numbers without the locale, and keeps the first failure (a full disk, a closed folder)
// as the save's message, so a writer checks once, at Finish.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace solvane {

// Progress and outcome of one save. The writer sets total (any unit: bytes, faces) and adds to
// done as it goes; a caller on another thread may read both. error holds the message of a
// failed save (empty on success).
struct SaveContext {
    std::atomic<int64_t> total{0};
    std::atomic<int64_t> done{0};
    std::string error;

    // Records the first failure and returns false, so writers can `return ctx.Fail("...")`.
    bool Fail(std::string message)
    {
        if (error.empty()) error = std::move(message);
        return false;
    }
};

class WriterOutput {
public:
    explicit WriterOutput(SaveContext& ctx) : ctx_(ctx) {}
    ~WriterOutput();
    WriterOutput(const WriterOutput&) = delete;
    WriterOutput& operator=(const WriterOutput&) = delete;

    // Creates (truncates) the file. On failure the context holds "Cannot write PATH: reason".
    // The file is written to PATH directly; a failed save removes what it wrote (regular files only).
    bool Open(const std::string& path);
    // Flushes and closes; false (with the message in the context) when any write failed. A
    // writer that gives up calls Abandon instead, which removes the partial file.
    bool Finish();
    void Abandon();
    bool Failed() const { return failed_; }
    // Bytes written so far (the current file position).
    int64_t Tell() const { return written_ + static_cast<int64_t>(buffer_.size()); }

    void Bytes(const void* data, size_t size);
    void Byte(uint8_t value) { Bytes(&value, 1); }
    // A string followed by its NUL terminator.
    void CString(std::string_view text);
    void Text(std::string_view text) { Bytes(text.data(), text.size()); }

    void LE16(uint16_t value);
    void LE32(uint32_t value);
    void LEFloat(float value);
    void LEDouble(double value);
    void BE16(uint16_t value);
    void BE32(uint32_t value);
    void BEFloat(float value);

    // Text numbers: the shortest form that reads back to the same value, "." as the decimal
    // point whatever the locale; non-finite floats are written as 0.
    void Int(int64_t value);
    void Float(float value);
    void Double(double value);

    // Rewrites 4 bytes already written (a chunk length once its end is known). The position must
    // lie within what was written; the layer keeps the last block in memory and seeks otherwise.
    void PatchLE32(int64_t position, uint32_t value);
    void PatchBE32(int64_t position, uint32_t value);

private:
    void Flush();
    void Patch(int64_t position, const uint8_t bytes[4]);
    void Failure(const char* what);

    SaveContext& ctx_;
    std::string path_;
    int fd_ = -1;
    bool failed_ = false;
    bool regularFile_ = false;
    int64_t written_ = 0;  // bytes already handed to the file
    std::vector<uint8_t> buffer_;
};

}  // namespace solvane
