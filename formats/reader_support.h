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

// A count from a header whose body may hold fewer items than it announces (a file that ends
// early keeps what it holds): refused only when an array of count * arrayBytesPerItem bytes would
// break the allocation limit.
inline bool CountAllowed(int64_t count, int64_t arrayBytesPerItem)
{
    return count >= 0 && count <= kMaxAllocationBytes / arrayBytesPerItem;
}

// How many of count items, each taking at least bytesPerItem bytes of the file, to reserve room
// for: no more than the remaining bytes can hold.
inline size_t ReserveCount(int64_t count, int64_t bytesPerItem, int64_t remaining)
{
    return static_cast<size_t>(std::clamp<int64_t>(remaining / bytesPerItem + 1, 0, count));
}

// Removes the faces that name a vertex the sub-mesh does not have (a body that ended early names
// vertices it never held), with their per-face entries.
inline void DropFacesNamingMissingVertices(SubMesh& mesh)
{
    const uint32_t limit = static_cast<uint32_t>(mesh.VertexCount());
    const int32_t faceCount = mesh.FaceCount();
    const bool perCorner = !mesh.faceTexCoordIndices.empty();
    uint32_t write = 0;
    int32_t kept = 0;
    for (int32_t f = 0; f < faceCount; ++f) {
        const uint32_t begin = mesh.faceOffsets[static_cast<size_t>(f)];
        const uint32_t end = mesh.faceOffsets[static_cast<size_t>(f) + 1];
        bool whole = true;
        for (uint32_t c = begin; c < end; ++c) whole = whole && mesh.faceIndices[c] < limit;
        if (!whole) continue;
        for (uint32_t c = begin; c < end; ++c, ++write) {
            mesh.faceIndices[write] = mesh.faceIndices[c];
            if (perCorner) mesh.faceTexCoordIndices[write] = mesh.faceTexCoordIndices[c];
        }
        const size_t from = static_cast<size_t>(f), to = static_cast<size_t>(kept);
        if (!mesh.faceMaterials.empty()) mesh.faceMaterials[to] = mesh.faceMaterials[from];
        if (!mesh.faceContours.empty()) mesh.faceContours[to] = mesh.faceContours[from];
        mesh.faceOffsets[to + 1] = write;
        ++kept;
    }
    if (kept == faceCount) return;
    mesh.faceIndices.resize(write);
    if (perCorner) mesh.faceTexCoordIndices.resize(write);
    if (!mesh.faceMaterials.empty()) mesh.faceMaterials.resize(static_cast<size_t>(kept));
    if (!mesh.faceContours.empty()) mesh.faceContours.resize(static_cast<size_t>(kept));
    if (kept == 0) mesh.ClearFaces();
    else mesh.faceOffsets.resize(static_cast<size_t>(kept) + 1);
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

    // How reading the next value ended: a value, the end of the input (also inside a number the
    // input was cut in, such as "-"), or a token without one.
    enum class Read { kValue, kEnd, kNotANumber };
    Read ReadFloat(float& value)
    {
        std::string_view token;
        if (!NextToken(token)) return Read::kEnd;
        const char* p = token.data();
        if (ScanFloat(p, token.data() + token.size(), value)) return Read::kValue;
        return TokenEndedInput() ? Read::kEnd : Read::kNotANumber;
    }
    Read ReadInteger(int64_t& value)
    {
        std::string_view token;
        if (!NextToken(token)) return Read::kEnd;
        const char* p = token.data();
        if (ScanInteger(p, token.data() + token.size(), value)) return Read::kValue;
        return TokenEndedInput() ? Read::kEnd : Read::kNotANumber;
    }
    // Whether the token handed out last ran up to the end of the input (the input may have been
    // cut inside it).
    bool TokenEndedInput() const { return p_ == end_ && eof_; }
    // Three floats; kEnd when the input ends before the third.
    Read ReadFloats3(float* values)
    {
        for (int i = 0; i < 3; ++i) {
            const Read read = ReadFloat(values[i]);
            if (read != Read::kValue) return read;
        }
        return Read::kValue;
    }

    // Whether the next token stands alone on its line (a comment may follow it). The cursor stays
    // before the token; false when there is none.
    bool TokenStandsAlone()
    {
        if (!SkipToToken()) return false;
        for (;;) {
            const char* q = p_;
            while (q < end_ && !IsScanBlank(*q)) ++q;
            while (q < end_ && *q != '\n' && IsScanBlank(*q)) ++q;
            if (q < end_) return *q == '\n' || ((comments_ & kHashComments) && *q == '#');
            // The line runs past the buffer: read on, unless the buffer is full (then the line
            // holds far more than one token).
            if (eof_) return true;
            if (end_ - p_ >= static_cast<std::ptrdiff_t>(buffer_.size()) || !Refill()) return eof_;
        }
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
