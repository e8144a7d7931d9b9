#include "formats/text_records.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "core/text_scan.h"
#include "formats/reader_support.h"

namespace solvane {

void RecordLine::Read(const char*& p, const char* end, bool hashComments)
{
    count_ = 0;
    unusual_ = false;
    endsInput_ = false;
    for (;;) {
        while (p < end && *p != '\n' && IsScanBlank(*p)) ++p;
        if (p >= end) return;
        if (*p == '\n') {
            ++p;
            return;
        }
        if (hashComments && *p == '#') {
            const char* lineFeed = FindLineFeed(p, end);
            p = lineFeed ? lineFeed + 1 : end;
            return;
        }
        const char* start = p;
        while (p < end && !IsScanBlank(*p)) ++p;
        if (static_cast<size_t>(p - start) > kMaxRecordToken || count_ == kMaxTokens) {
            unusual_ = true;
        } else {
            tokens_[count_++] = std::string_view(start, static_cast<size_t>(p - start));
        }
        endsInput_ = p >= end;
    }
}

RecordCounts CountRecords(const char* begin, const char* end, bool hashComments, int countColumn, int64_t from,
                          int64_t to)
{
    // Only whether a line holds a value, and the value at the count column: the rest of the line
    // is passed over at the speed of the line-feed search. Blocks end with a line feed (the last
    // at the end of the input), so no line runs past end.
    RecordCounts counts;
    const char* p = begin;
    const char* fileEnd = end;
    int64_t record = 0;
    while (p < end && record < to) {
        while (p < fileEnd && *p != '\n' && IsScanBlank(*p)) ++p;
        const bool holdsValue = p < fileEnd && *p != '\n' && !(hashComments && *p == '#');
        if (holdsValue && record >= from) {
            const char* q = p;
            for (int column = 0; column < countColumn && q < fileEnd && *q != '\n'; ++column) {
                while (q < fileEnd && !IsScanBlank(*q)) ++q;
                while (q < fileEnd && *q != '\n' && IsScanBlank(*q)) ++q;
            }
            int64_t value = 0;
            if (q < fileEnd && *q != '\n' && !(hashComments && *q == '#') && !IsScanBlank(*q)) {
                const char* tokenEnd = q;
                while (tokenEnd < fileEnd && !IsScanBlank(*tokenEnd)) ++tokenEnd;
                if (ScanInteger(q, tokenEnd, value) && value > 0) counts.countSum += value;
            }
        }
        if (holdsValue) ++record;
        const char* lineFeed = FindLineFeed(p, fileEnd);
        p = lineFeed ? lineFeed + 1 : fileEnd;
    }
    counts.records = record;
    return counts;
}

BodyBlocks CountBodyRecords(LoadContext& ctx, const TextFile& file, int64_t bodyStart, bool hashComments,
                            int countColumn, const std::function<void()>& alongside)
{
    BodyBlocks body;
    const int threads = ParseThreads(ctx, file.Size() - bodyStart);
    if (threads < 2) return body;
    body.blocks = SplitAtLineEnds(file, bodyStart, file.Size(), ctx.parallel.blockBytes);
    if (body.blocks.size() < 2) return {};
    body.counts.resize(body.blocks.size());
    std::vector<uint8_t> unread(body.blocks.size(), 0);
    ForEachBlock(body.blocks.size() + 1, threads, [&](size_t job) {
        if (job == 0) {
            if (alongside) alongside();
            return;
        }
        const size_t b = job - 1;
        if (ctx.Cancelled()) throw LoadCancelled{};
        const TextBlock& block = body.blocks[b];
        const char* bytes = file.Read(block);
        if (!bytes) {
            unread[b] = 1;
            return;
        }
        body.counts[b] = CountRecords(bytes, bytes + (block.end - block.begin), hashComments, countColumn);
    });
    if (std::find(unread.begin(), unread.end(), 1) != unread.end()) return {};  // the file changed
    body.firstRecord.resize(body.blocks.size() + 1, 0);
    for (size_t b = 0; b < body.blocks.size(); ++b) {
        body.firstRecord[b + 1] = body.firstRecord[b] + body.counts[b].records;
    }
    return body;
}

bool CornerOffsets(const TextFile& file, const BodyBlocks& body, bool hashComments, int countColumn, int64_t from,
                   int64_t count, std::vector<int64_t>& cornersBefore, int64_t& total)
{
    const int64_t to = from + count;
    cornersBefore.assign(body.blocks.size(), 0);
    total = 0;
    for (size_t b = 0; b < body.blocks.size(); ++b) {
        cornersBefore[b] = total;
        const int64_t first = body.firstRecord[b], last = body.firstRecord[b + 1];
        if (last <= from || first >= to) continue;
        if (first >= from && last <= to) {
            total += body.counts[b].countSum;
        } else {
            // A block the faces begin or end in: its own face lines only.
            const TextBlock& block = body.blocks[b];
            const char* bytes = file.Read(block);
            if (!bytes) return false;
            total += CountRecords(bytes, bytes + (block.end - block.begin), hashComments, countColumn,
                                  std::max(from - first, int64_t{0}), std::min(to, last) - first)
                         .countSum;
        }
    }
    // Each corner takes at least two bytes of the body; nothing asks for more than the limit.
    const int64_t bodyBytes = body.blocks.back().end - body.blocks.front().begin;
    return total <= bodyBytes / 2 + 1 && total <= kMaxAllocationBytes / 4;
}

RecordsRead ReadRecordBody(LoadContext& ctx, const char* path, int64_t bodyStart, int64_t countedEnd,
                           const RecordLayout& layout, SubMesh& mesh, const RecordFill& fill)
{
    TextFile file;
    if (!file.Open(path)) return RecordsRead::kIrregular;
    // The vertices and face offsets are allocated while the blocks are counted (their counts come
    // from the header); the corners once the counts give their total, while the first blocks parse.
    const BodyBlocks body = CountBodyRecords(ctx, file, bodyStart, layout.hashComments, layout.countColumn, [&] {
        AssignLarge(mesh.vertices, static_cast<size_t>(layout.vertexCount) * 3, 0.0f);
        if (layout.faceCount > 0) AssignLarge(mesh.faceOffsets, static_cast<size_t>(layout.faceCount) + 1, 0u);
    });
    const int64_t needed = std::max(layout.vertexFirst + layout.vertexCount, layout.faceFirst + layout.faceCount);
    if (body.blocks.empty() || body.firstRecord.back() < needed) return RecordsRead::kIrregular;
    std::vector<int64_t> cornersBefore;
    int64_t corners = 0;
    if (!CornerOffsets(file, body, layout.hashComments, layout.countColumn, layout.faceFirst, layout.faceCount,
                       cornersBefore, corners)) {
        return RecordsRead::kIrregular;
    }

    std::atomic<bool> cornersReady{false};
    std::vector<RecordsRead> reads(body.blocks.size(), RecordsRead::kWhole);
    ForEachBlock(body.blocks.size() + 1, ParseThreads(ctx, file.Size()), [&](size_t job) {
        if (job == 0) {
            if (layout.faceCount > 0) AssignLarge(mesh.faceIndices, static_cast<size_t>(corners), 0u);
            cornersReady.store(true, std::memory_order_release);
            return;
        }
        const size_t b = job - 1;
        const TextBlock& block = body.blocks[b];
        const bool holdsFaces = body.firstRecord[b + 1] > layout.faceFirst &&
                                body.firstRecord[b] < layout.faceFirst + layout.faceCount;
        while (holdsFaces && !cornersReady.load(std::memory_order_acquire)) std::this_thread::yield();
        const char* bytes = file.Read(block);
        reads[b] = bytes ? fill(bytes, bytes + (block.end - block.begin), body.firstRecord[b], cornersBefore[b])
                         : RecordsRead::kIrregular;
        BlockDone(ctx, block, countedEnd);
    });
    if (std::find(reads.begin(), reads.end(), RecordsRead::kIrregular) != reads.end()) return RecordsRead::kIrregular;
    if (std::find(reads.begin(), reads.end(), RecordsRead::kBroken) != reads.end()) return RecordsRead::kBroken;
    BoundsBuilder bounds;
    for (size_t i = 0; i < mesh.vertices.size(); i += 3) bounds.Extend(mesh.vertices[i], mesh.vertices[i + 1], mesh.vertices[i + 2]);
    mesh.bounds = bounds.bounds;
    StoreCentroid(mesh);
    return RecordsRead::kWhole;
}

void BlockDone(LoadContext& ctx, const TextBlock& block, int64_t countedEnd)
{
    const int64_t bytes = block.end - std::max(block.begin, countedEnd);
    if (bytes > 0 && ctx.total.load(std::memory_order_relaxed) > 0) {
        ctx.done.fetch_add(bytes, std::memory_order_relaxed);
    }
    if (ctx.Cancelled()) throw LoadCancelled{};
}

}  // namespace solvane
