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
#include <string_view>
#include <vector>

#include "core/load_context.h"
#include "core/text_blocks.h"

namespace solvane {

// Longest token the stream readers keep whole (TextCursor::kMaxTokenLength).
constexpr size_t kMaxRecordToken = 4096;

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

struct RecordCounts {
    int64_t records = 0;   // lines holding at least one token
    int64_t countSum = 0;  // the integer at column countColumn of each record line (0 when none)
};

// Pass 1 over one block, or over its records numbered [from, to) from the block's first.
RecordCounts CountRecords(const char* text, int64_t fileSize, const TextBlock& block, bool hashComments,
                          int countColumn, int64_t from = 0, int64_t to = INT64_MAX);

// Splits the body, counts every block's records on the threads and gives each block its first
// record number. Empty when the body is not worth splitting or cannot be split.
struct BodyBlocks {
    std::vector<TextBlock> blocks;
    std::vector<RecordCounts> counts;
    std::vector<int64_t> firstRecord;  // per block, and the total at the end
};
BodyBlocks CountBodyRecords(LoadContext& ctx, const MappedText& text, int64_t bodyStart, bool hashComments,
                            int countColumn);

// The corner total of records [from, from + count) and, per block, the corners of those records
// that stand before it. False when the totals cannot be what the file holds (a count that does
// not fit the body).
bool CornerOffsets(const char* text, int64_t fileSize, const BodyBlocks& body, bool hashComments, int countColumn,
                   int64_t from, int64_t count, std::vector<int64_t>& cornersBefore, int64_t& total);

// How a block's records parsed: all whole, one of them not a record of its own line (the file is
// then read by one thread), or one of them broken (the file fails).
enum class RecordsRead : uint8_t { kWhole, kIrregular, kBroken };

// Adds a block's bytes from countedEnd on (those before it were counted as the header was read) to
// the load's done amount, and stops a cancelled load (LoadCancelled).
void BlockDone(LoadContext& ctx, const TextBlock& block, int64_t countedEnd);

}  // namespace solvane
