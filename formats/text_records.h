// Bodies of the token-stream formats (PLY, OFF) read on several threads. Their readers take the
// body as one stream of white-space-separated values, but nearly every writer puts one record (a
// vertex, a face) on each line. The body is split into blocks at line ends; the blocks are read
// twice on all threads: first to count their record lines (lines holding a value) and to add up
// the corner count each line begins with, then to parse each line as the record its number makes
// it, straight into arrays sized from the counts. A line that is not one whole record (a record
// wrapped over lines, values run together across a line end, a token longer than the stream
// reader keeps) makes the block irregular, and the caller reads the file with its one-thread
// reader, whose stream rules then hold exactly.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "core/load_context.h"
#include "core/model.h"
#include "core/text_blocks.h"
#include "core/text_scan.h"

namespace solvane {

// Longest token the stream readers keep whole (TextCursor::kMaxTokenLength).
constexpr size_t kMaxRecordToken = 4096;

// How a block's records parsed: all whole, one of them not a record of its own line (the file is
// then read by one thread), or one of them broken (the file fails).
enum class RecordsRead : uint8_t { kWhole, kIrregular, kBroken };

// The tokens of one line, up to its line feed (and, with hash comments, up to a token that
// begins with '#'). A line feed ends a line; the last line of the input needs none.
class RecordLine {
public:
    static constexpr int kMaxTokens = 64;

    // Reads the line that starts at p; p moves past its line feed.
    void Read(const char*& p, const char* end, bool hashComments);
    // Tokens kept (at most kMaxTokens) and tokens on the line.
    int Count() const { return count_; }
    std::string_view Token(int i) const { return tokens_[i]; }
    // Whether a token longer than kMaxRecordToken, or more than kMaxTokens tokens, stood there.
    bool Unusual() const { return unusual_; }
    // Whether the line's last token runs up to the end of the input.
    bool EndsInput() const { return endsInput_; }

private:
    std::string_view tokens_[kMaxTokens];
    int count_ = 0;
    bool unusual_ = false;
    bool endsInput_ = false;
};

// The values of the lines of a block, scanned in place token by token (a number never holds a
// blank, so scanning from a token's start takes the token's numeric prefix, as the stream reader
// does on the token alone).
class LineValues {
public:
    enum class Scan { kValue, kNotANumber, kCutAtEnd, kUnusual };

    LineValues(const char* p, const char* fileEnd, bool hashComments)
        : p_(p), end_(fileEnd), hashComments_(hashComments)
    {
    }
    const char* Position() const { return p_; }
    // Moves to the first token of the next line that holds one; false at the end of the input.
    bool NextRecord()
    {
        for (;;) {
            if (More()) return true;
            if (p_ >= end_) return false;
            EndLine();
        }
    }
    // Whether another token stands on the current line (the cursor moves to it).
    bool More()
    {
        while (p_ < end_ && *p_ != '\n' && IsScanBlank(*p_)) ++p_;
        return p_ < end_ && *p_ != '\n' && !(hashComments_ && *p_ == '#');
    }
    // Moves past the current line's line feed.
    void EndLine()
    {
        const char* lineFeed = FindLineFeed(p_, end_);
        p_ = lineFeed ? lineFeed + 1 : end_;
    }
    // The token at the cursor (More() was true) as a float or an integer, the cursor moving past it.
    Scan Float(float& value)
    {
        const char* q = p_;
        return Finish(ScanFloat(q, end_, value), q);
    }
    Scan Integer(int64_t& value)
    {
        const char* q = p_;
        return Finish(ScanInteger(q, end_, value), q);
    }
    Scan Skip() { return Finish(true, p_); }

private:
    Scan Finish(bool scanned, const char* q)
    {
        const char* start = p_;
        p_ = q;
        while (p_ < end_ && !IsScanBlank(*p_)) ++p_;
        if (static_cast<size_t>(p_ - start) > kMaxRecordToken) return Scan::kUnusual;
        if (scanned) return Scan::kValue;
        return p_ >= end_ ? Scan::kCutAtEnd : Scan::kNotANumber;
    }

    const char* p_;
    const char* end_;
    bool hashComments_;
};

// What a failed scan makes of the block: a value cut by the end of the input, or a token longer
// than the stream reader keeps, leaves the file to the stream reader; anything else is broken.
inline RecordsRead Failed(LineValues::Scan scan)
{
    return scan == LineValues::Scan::kNotANumber ? RecordsRead::kBroken : RecordsRead::kIrregular;
}

struct RecordCounts {
    int64_t records = 0;   // lines holding at least one token
    int64_t countSum = 0;  // the integer at column countColumn of each record line (0 when none)
};

// Pass 1 over the bytes [begin, end) of one block, or over its records numbered [from, to) from the
// block's first.
RecordCounts CountRecords(const char* begin, const char* end, bool hashComments, int countColumn, int64_t from = 0,
                          int64_t to = INT64_MAX);

// Splits the body, counts every block's records on the threads and gives each block its first
// record number. Empty when the body is not worth splitting or cannot be split.
struct BodyBlocks {
    std::vector<TextBlock> blocks;
    std::vector<RecordCounts> counts;
    std::vector<int64_t> firstRecord;  // per block, and the total at the end
};
// alongside runs on one of the threads while the others count.
BodyBlocks CountBodyRecords(LoadContext& ctx, const TextFile& file, int64_t bodyStart, bool hashComments,
                            int countColumn, const std::function<void()>& alongside = nullptr);

// The corner total of records [from, from + count) and, per block, the corners of those records
// that stand before it. False when the totals cannot be what the file holds (a count that does
// not fit the body).
bool CornerOffsets(const TextFile& file, const BodyBlocks& body, bool hashComments, int countColumn, int64_t from,
                   int64_t count, std::vector<int64_t>& cornersBefore, int64_t& total);

// Where the records of a body go: vertex lines [vertexFirst, vertexFirst + vertexCount) and face
// lines [faceFirst, faceFirst + faceCount) by record number, lines holding a value; the corner count
// of a face line stands at column countColumn.
struct RecordLayout {
    int64_t vertexFirst = 0, vertexCount = 0;
    int64_t faceFirst = 0, faceCount = 0;
    int countColumn = 0;
    bool hashComments = false;
};

// Parses one block's lines into the sub-mesh: its first record's number and the corners of the
// faces before it are given.
using RecordFill = std::function<RecordsRead(const char* begin, const char* end, int64_t firstRecord,
                                             int64_t cornersBefore)>;

// Both passes over the body [bodyStart, end of file) on every core, filling the sub-mesh's
// vertices, face offsets and corners (allocated exactly, side by side with the passes), then its
// bounds and centre. kIrregular when the body is not read this way (too small, ending before its
// last record, or a record that is not a line of its own): the stream reader then reads it.
// countedEnd: bytes up to it were counted as progress while the header was read.
RecordsRead ReadRecordBody(LoadContext& ctx, const char* path, int64_t bodyStart, int64_t countedEnd,
                           const RecordLayout& layout, SubMesh& mesh, const RecordFill& fill);

// Adds a block's bytes from countedEnd on (those before it were counted as the header was read) to
// the load's done amount, and stops a cancelled load (LoadCancelled).
void BlockDone(LoadContext& ctx, const TextBlock& block, int64_t countedEnd);

}  // namespace solvane
