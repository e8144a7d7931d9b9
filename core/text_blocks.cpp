#include "core/text_blocks.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <system_error>
#include <thread>


namespace solvane {
TextFile::~TextFile()
{
    if (fd_ >= 0) ::close(fd_);
}

bool TextFile::Open(const char* path)
{
    fd_ = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return false;
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    size_ = info.st_size;
    return true;
}

const char* TextFile::Read(const TextBlock& block) const
{
    thread_local std::vector<char> buffer;
    const size_t size = static_cast<size_t>(block.end - block.begin);
    if (buffer.size() < size) buffer.resize(size);
    size_t got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd_, buffer.data() + got, size - got, block.begin + static_cast<int64_t>(got));
        if (n <= 0) return nullptr;
        got += static_cast<size_t>(n);
    }
    return buffer.data();
}

void AdviseHugePages(void* data, size_t bytes)
{
    constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
    if (bytes < kHugePage) return;
    const uintptr_t first = (reinterpret_cast<uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t last = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kHugePage - 1);
#if defined(MADV_HUGEPAGE)
    if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)first;
    (void)last;
#endif
}

int ParseThreads(const LoadContext& ctx, int64_t bytes)
{
    if (bytes < ctx.parallel.minFileBytes) return 1;
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return std::max(1, ctx.parallel.threads > 0 ? ctx.parallel.threads : cores);
}

std::vector<TextBlock> SplitAtLineEnds(const TextFile& file, int64_t begin, int64_t end, int64_t blockBytes)
{
    constexpr int64_t kWindow = 64 * 1024;
    std::vector<TextBlock> blocks;
    blockBytes = std::max<int64_t>(blockBytes, 1);
    int64_t position = begin;
    while (position < end) {
        const int64_t target = position + blockBytes;
        if (target >= end) {
            blocks.push_back({position, end});
            break;
        }
        // The first line feed at or after the target, read window by window.
        int64_t next = -1;
        for (int64_t at = target; at < end && at - target < kMaxBlockLine && next < 0; at += kWindow) {
            const TextBlock window{at, std::min(end, at + kWindow)};
            const char* bytes = file.Read(window);
            if (!bytes) return {};
            const void* found = std::memchr(bytes, '\n', static_cast<size_t>(window.end - window.begin));
            if (found) next = at + (static_cast<const char*>(found) - bytes) + 1;
        }
        if (next < 0) {
            if (end - target > kMaxBlockLine) return {};
            blocks.push_back({position, end});  // no line feed follows: the rest is one block
            break;
        }
        blocks.push_back({position, next});
        position = next;
    }
    return blocks;
}

void ForEachBlock(size_t count, int threads, const std::function<void(size_t)>& work)
{
    const size_t workers = std::clamp<size_t>(static_cast<size_t>(std::max(threads, 1)), 1, std::max<size_t>(count, 1));
    std::atomic<size_t> next{0};
    std::atomic<bool> stop{false};
    std::vector<std::exception_ptr> errors(workers);
    auto run = [&](size_t slot) {
        try {
            while (!stop.load(std::memory_order_relaxed)) {
                const size_t index = next.fetch_add(1, std::memory_order_relaxed);
                if (index >= count) break;
                work(index);
            }
        } catch (...) {
            errors[slot] = std::current_exception();
            stop.store(true, std::memory_order_relaxed);
        }
    };
    std::vector<std::thread> helpers;
    helpers.reserve(workers - 1);
    for (size_t slot = 1; slot < workers; ++slot) {
        try {
            helpers.emplace_back(run, slot);
        } catch (const std::system_error&) {
            break;  // no more threads to be had: the others share the work
        }
    }
    run(0);
    for (std::thread& helper : helpers) helper.join();
    for (const std::exception_ptr& error : errors) {
        if (error) std::rethrow_exception(error);
    }
}

BlockLines::BlockLines(LoadContext& ctx, const char* begin, const char* end, bool countProgress)
    : ctx_(ctx), p_(begin), end_(end), published_(p_), countProgress_(countProgress)
{
    if (ctx_.Cancelled()) throw LoadCancelled{};
}

BlockLines::~BlockLines()
{
    if (countProgress_ && p_ > published_ && ctx_.total.load(std::memory_order_relaxed) > 0) {
        ctx_.done.fetch_add(p_ - published_, std::memory_order_relaxed);
    }
}

void BlockLines::Publish()
{
    if (countProgress_ && ctx_.total.load(std::memory_order_relaxed) > 0) {
        ctx_.done.fetch_add(p_ - published_, std::memory_order_relaxed);
    }
    published_ = p_;
    if (ctx_.Cancelled()) throw LoadCancelled{};
}

bool BlockLines::LongLine()
{
    longLine_ = true;
    p_ = end_;
    return false;
}

const char* BlockLines::DropCarriageReturn(const char* text, size_t& length)
{
    crLine_.assign(text, length - 2);
    crLine_ += '\n';
    --length;
    return crLine_.data();
}

}  // namespace solvane
