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
namespace {

int64_t PageSize()
{
    static const int64_t size = ::sysconf(_SC_PAGESIZE);
    return size;
}

}  // namespace

MappedText::~MappedText()
{
    if (data_) ::munmap(const_cast<char*>(data_), static_cast<size_t>(size_));
}

bool MappedText::Open(const char* path)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    void* mapped = MAP_FAILED;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        mapped = ::mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    }
    ::close(fd);
    if (mapped == MAP_FAILED) return false;
    data_ = static_cast<const char*>(mapped);
    size_ = info.st_size;
    return true;
}

void MappedText::Release(const TextBlock& block) const
{
    const int64_t page = PageSize();
    const int64_t first = (block.begin + page - 1) / page * page;
    const int64_t last = block.end == size_ ? size_ : block.end / page * page;
    if (data_ && last > first) {
        ::madvise(const_cast<char*>(data_) + first, static_cast<size_t>(last - first), MADV_DONTNEED);
    }
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

std::vector<TextBlock> SplitAtLineEnds(const char* text, int64_t begin, int64_t end, int64_t blockBytes)
{
    std::vector<TextBlock> blocks;
    blockBytes = std::max<int64_t>(blockBytes, 1);
    int64_t position = begin;
    while (position < end) {
        const int64_t target = position + blockBytes;
        if (target >= end) {
            blocks.push_back({position, end});
            break;
        }
        const int64_t window = std::min(end - target, kMaxBlockLine);
        const void* found = std::memchr(text + target, '\n', static_cast<size_t>(window));
        if (!found) {
            if (end - target > kMaxBlockLine) return {};
            blocks.push_back({position, end});  // no line feed follows: the rest is one block
            break;
        }
        const int64_t next = static_cast<const char*>(found) - text + 1;
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

BlockLines::BlockLines(LoadContext& ctx, const char* text, const TextBlock& block, bool countProgress)
    : ctx_(ctx), p_(text + block.begin), end_(text + block.end), published_(p_), countProgress_(countProgress)
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
