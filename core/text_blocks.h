// Reading large text files on every core. The file is split into blocks that begin after a line
// feed and end with one (the last block runs to the end of the file); worker
// threads take the blocks in file order and read each block's lines with the rules of
// ReaderInput::ReadTextLine, so a reader that handles its lines one by one gets the same lines
// from the blocks, joined in order, as from one ReaderInput. The bytes read count towards the
// load's done amount; a cancelled load stops every worker within a few kilobytes and the caller
// unwinds with LoadCancelled once all of them have stopped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/load_context.h"
#include "core/text_scan.h"

namespace solvane {

// One block of the mapped text: bytes [begin, end).
struct TextBlock {
    int64_t begin = 0;
    int64_t end = 0;
};

// Lines longer than this are left to the single-threaded readers (no real file has them; the line
// reader's own limit then applies exactly).
constexpr int64_t kMaxBlockLine = int64_t{1} << 20;

// The file the blocks come from. Each thread reads a block into a buffer of its own (the buffer is
// reused for the thread's next block), so the memory a load takes does not grow with the file.
class TextFile {
public:
    TextFile() = default;
    ~TextFile();
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;

    // False when the file cannot be opened.
    bool Open(const char* path);
    int64_t Size() const { return size_; }
    // The bytes of the block in the calling thread's buffer, valid until that thread reads again;
    // null when they cannot all be read (the file changed).
    const char* Read(const TextBlock& block) const;

private:
    int fd_ = -1;
    int64_t size_ = 0;
};

// Fills the vector with n copies of value, allocating exactly n. Large arrays are first advised to
// the system as wanted in huge pages, so that filling them takes a fault per 2 MiB rather than per
// 4 KiB page (most of the time a large load spends outside its parsing otherwise).
template <typename T>
void AssignLarge(std::vector<T>& vector, size_t n, const T& value);
void AdviseHugePages(void* data, size_t bytes);

template <typename T>
void AssignLarge(std::vector<T>& vector, size_t n, const T& value)
{
    std::vector<T>().swap(vector);
    vector.reserve(n);
    AdviseHugePages(vector.data(), n * sizeof(T));
    vector.assign(n, value);
}

// How many threads read a text body of this many bytes: one below the context's threshold (small
// files must not pay for threads), otherwise the context's count or every core.
int ParseThreads(const LoadContext& ctx, int64_t bytes);

// Splits bytes [begin, end) of the file into blocks of about blockBytes, each but the last ending
// just after a line feed. Empty when a line longer than kMaxBlockLine stands where a block would
// end, or the file cannot be read.
std::vector<TextBlock> SplitAtLineEnds(const TextFile& file, int64_t begin, int64_t end, int64_t blockBytes);

// Runs work(index) for every index below count on `threads` threads (the caller's among them),
// taking indices in order. When one call throws, the others stop taking new indices; once all
// threads have ended, the first exception is thrown again here (LoadCancelled among them).
void ForEachBlock(size_t count, int threads, const std::function<void(size_t)>& work);

// The lines of one block, with ReadTextLine's rules: empty lines skipped, leading white space
// removed, the line feed kept, a carriage return before it dropped; a last line without a line
// feed is not returned. Consumed bytes are added to the load's done amount when countProgress is
// set; the load's cancellation is checked every few kilobytes (LoadCancelled is thrown).
class BlockLines {
public:
    // The block's bytes are [begin, end).
    BlockLines(LoadContext& ctx, const char* begin, const char* end, bool countProgress);
    ~BlockLines();
    BlockLines(const BlockLines&) = delete;
    BlockLines& operator=(const BlockLines&) = delete;

    // The next line; false at the end of the block. The view stays valid until the next call.
    bool Next(std::string_view& line)
    {
        if (p_ - published_ >= kPublishBytes) Publish();
        // Empty lines: line feeds, and carriage returns directly before one.
        for (;;) {
            if (p_ >= end_) return false;
            if (*p_ == '\n') {
                ++p_;
            } else if (*p_ == '\r' && p_ + 1 < end_ && p_[1] == '\n') {
                p_ += 2;
            } else {
                break;
            }
        }
        const char* found = FindLineFeed(p_, end_);
        if (!found) {
            p_ = end_;  // the input's last line has no line feed: it is not read
            return false;
        }
        const char* text = p_;
        size_t length = static_cast<size_t>(found - p_) + 1;
        if (static_cast<int64_t>(length) > kMaxBlockLine) return LongLine();
        p_ += length;
        if (length >= 2 && text[length - 2] == '\r') text = DropCarriageReturn(text, length);
        size_t skip = 0;
        while (skip < length && IsScanBlank(text[skip])) ++skip;
        line = std::string_view(text + skip, length - skip);
        return true;
    }
    // Whether a line longer than kMaxBlockLine was met (the block stopped there).
    bool MetLongLine() const { return longLine_; }

private:
    static constexpr int64_t kPublishBytes = 64 * 1024;
    void Publish();
    bool LongLine();
    const char* DropCarriageReturn(const char* text, size_t& length);

    LoadContext& ctx_;
    const char* p_;
    const char* end_;
    const char* published_;
    bool countProgress_;
    bool longLine_ = false;
    std::string crLine_;  // a line that ended in CR LF, with the carriage return dropped
};

}  // namespace solvane
