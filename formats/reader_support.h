// Shared pieces of the small readers: failing with a result code, the centroid of a sub-mesh, the
// allocation limits, and a token cursor for the text formats that are read as streams of
// white-space-separated values (scanf's "%s", "%d" and "%f") rather than as whole lines.
#pragma once

#include <algorithm>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "core/load_context.h"
#include "core/model.h"
#include "core/reader_input.h"
#include "core/text_scan.h"

namespace solvane {

// No single array a file asks for may exceed this.
constexpr int64_t kMaxAllocationBytes = int64_t{1} << 30;

// Stores the code and returns no model, so no failing path can forget the code.
inline std::unique_ptr<Model> FailWith(LoadContext& ctx, int32_t code)
{
    ctx.result.store(code);
    return nullptr;
}

// Mean of the vertices, (0, 0, 0) without any.
inline void StoreCentroid(SubMesh& mesh)
{
    const size_t n = mesh.vertices.size() / 3;
    if (n == 0) {
        mesh.centroid = {0, 0, 0};
        return;
    }
    double sum[3] = {0, 0, 0};
    for (size_t i = 0; i < mesh.vertices.size(); i += 3) {
        sum[0] += mesh.vertices[i];
        sum[1] += mesh.vertices[i + 1];
        sum[2] += mesh.vertices[i + 2];
    }
    mesh.centroid = {static_cast<float>(sum[0] / n), static_cast<float>(sum[1] / n),
                     static_cast<float>(sum[2] / n)};
}

// Whether a count of items, each taking at least bytesPerItem bytes of the file, can still be
// there, and whether an array of count * arrayBytesPerItem bytes stays within the limit.
inline bool CountFits(int64_t count, int64_t bytesPerItem, int64_t remaining, int64_t arrayBytesPerItem)
{
    if (count < 0) return false;
    if (count == 0) return true;
    if (count > remaining / bytesPerItem + 1) return false;
    return count <= kMaxAllocationBytes / arrayBytesPerItem;
}

// Reads the rest of the input in large blocks through ReaderInput::ReadBytes (so progress and
// cancellation behave as for every read) and hands out tokens. Comments, when enabled, run from
// "#" or "//" at the start of a token to the end of the line. Tokens longer than kMaxTokenLength
// are cut there (no number or keyword is that long).
class TextCursor {
public:
    enum Comments { kNoComments = 0, kHashComments = 1, kSlashComments = 2 };
    static constexpr size_t kBlockSize = 256 * 1024;
    static constexpr size_t kMaxTokenLength = 4096;

    // The buffer holds the whole of a small file (clearing a full block per small load was most
    // of the time spent on it) and always more than two of the longest tokens.
    explicit TextCursor(ReaderInput& in, int comments = kNoComments)
        : in_(in), comments_(comments),
          buffer_(static_cast<size_t>(std::clamp<int64_t>(in.Remaining() + 1, 2 * kMaxTokenLength, kBlockSize)))
    {
        p_ = end_ = buffer_.data();
    }

    // Skips blanks, line feeds and comments; false at the end of the input.
    bool SkipToToken()
    {
        for (;;) {
            while (p_ < end_ && IsScanBlank(*p_)) ++p_;
            if (p_ == end_) {
                if (!Refill()) return false;
                continue;
            }
            if (comments_ != kNoComments && AtComment()) {
                SkipToLineEnd();
                continue;
            }
            return true;
        }
    }

    // The next token, wherever it stands; false at the end of the input.
    bool NextToken(std::string_view& token)
    {
        if (!SkipToToken()) return false;
        size_t length = 0;
        for (;;) {
            const char* q = p_ + length;
            while (q < end_ && !IsScanBlank(*q)) ++q;
            length = static_cast<size_t>(q - p_);
            if (q < end_ || eof_ || length >= kMaxTokenLength) break;
            if (!Refill()) break;  // keeps the token's start
        }
        if (length > kMaxTokenLength) length = kMaxTokenLength;
        token = std::string_view(p_, length);
        p_ += length;
        return true;
    }

    // The next token only when it stands on the current line (before its line feed and before a
    // comment); otherwise false, and the cursor stays at the line end.
    bool NextTokenOnLine(std::string_view& token)
    {
        for (;;) {
            while (p_ < end_ && *p_ != '\n' && IsScanBlank(*p_)) ++p_;
            if (p_ == end_) {
                if (!Refill()) return false;
                continue;
            }
            break;
        }
        if (*p_ == '\n') return false;
        if (comments_ != kNoComments && AtComment()) {
            SkipToLineEnd();
            return false;
        }
        return NextToken(token);
    }

    // "%f" on the next token: its numeric prefix. False at the end or when it holds no number.
    bool NextFloat(float& value)
    {
        std::string_view token;
        if (!NextToken(token)) return false;
        const char* p = token.data();
        return ScanFloat(p, token.data() + token.size(), value);
    }
    // "%d" on the next token, with 64-bit range.
    bool NextInteger(int64_t& value)
    {
        std::string_view token;
        if (!NextToken(token)) return false;
        const char* p = token.data();
        return ScanInteger(p, token.data() + token.size(), value);
    }

    // Moves to the line feed that ends the current line, without consuming it.
    void SkipToLineEnd()
    {
        for (;;) {
            const void* found = std::memchr(p_, '\n', static_cast<size_t>(end_ - p_));
            if (found) {
                p_ = static_cast<const char*>(found);
                return;
            }
            p_ = end_;
            if (!Refill()) return;
        }
    }
    // Moves past the line feed that ends the current line.
    void SkipLine()
    {
        SkipToLineEnd();
        if (p_ < end_) ++p_;
    }

    bool AtEnd() { return !SkipToToken(); }
    // Bytes not yet handed out (in the buffer and still in the file).
    int64_t Remaining() const { return static_cast<int64_t>(end_ - p_) + in_.Remaining(); }

private:
    bool AtComment()
    {
        if ((comments_ & kHashComments) && *p_ == '#') return true;
        if ((comments_ & kSlashComments) && *p_ == '/') {
            if (p_ + 1 == end_) Refill();
            return p_ + 1 < end_ && p_[1] == '/';
        }
        return false;
    }

    // Moves the unread rest to the buffer start and appends the next block; false when nothing
    // more could be read.
    bool Refill()
    {
        if (eof_) return false;
        const size_t keep = static_cast<size_t>(end_ - p_);
        char* base = buffer_.data();
        if (keep > 0 && p_ != base) std::memmove(base, p_, keep);
        const size_t got = in_.ReadBytes(base + keep, 1, buffer_.size() - keep);
        p_ = base;
        end_ = base + keep + got;
        if (got == 0) eof_ = true;
        return got > 0;
    }

    ReaderInput& in_;
    int comments_;
    std::vector<char> buffer_;
    const char* p_;
    const char* end_;
    bool eof_ = false;
};

// Whether a token is a decimal integer as a whole (an optional sign, then digits only).
inline bool IsIntegerToken(std::string_view token)
{
    size_t i = (!token.empty() && (token[0] == '-' || token[0] == '+')) ? 1 : 0;
    if (i >= token.size()) return false;
    for (; i < token.size(); ++i) {
        if (token[i] < '0' || token[i] > '9') return false;
    }
    return true;
}

}  // namespace solvane
