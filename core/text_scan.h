// Locale-independent number scanning for the text readers, with scanf's behaviour: leading
// white space and a "+" are accepted, the longest numeric prefix is taken, and the output is left
// untouched when no number is found.
//
//   float   := blanks sign? ( digits ( "." digits? )? | "." digits ) exponent? | blanks sign? ("inf" | "nan")
//   integer := blanks sign? digits
//   blanks  := { " " | "\t" | "\r" | "\n" | "\v" | "\f" }
#pragma once

#include <charconv>
#include <climits>
#include <limits>
#include <cstdint>
#include <string_view>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace solvane {

inline bool IsScanBlank(char c)
{
    // ' ' (32) and '\t' '\n' '\v' '\f' '\r' (9 to 13) as bits of one mask.
    const unsigned u = static_cast<unsigned char>(c);
    return u <= 32 && ((0x100003E00ull >> u) & 1u) != 0;
}

inline void SkipScanBlanks(const char*& p, const char* end)
{
    while (p < end && IsScanBlank(*p)) ++p;
}

// The common plain decimal ("-12.5", "0.000123", "7"), when its digits make a whole number of at
// most 2^24 and it has at most ten decimals: that number and the power of ten are both exact
// floats, so one correctly rounded division gives what std::from_chars gives (Clinger's fast
// path). False, with nothing consumed, for every other text (exponents, long mantissas, inf/nan).
inline bool ScanPlainFloat(const char*& p, const char* end, float& out)
{
    static constexpr float kPowers[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    const char* q = p;
    const bool negative = q < end && *q == '-';
    if (negative) ++q;
    uint32_t mantissa = 0;
    int digits = 0, decimals = 0;
    for (; q < end && *q >= '0' && *q <= '9' && mantissa < (1u << 25); ++q, ++digits) {
        mantissa = mantissa * 10 + static_cast<uint32_t>(*q - '0');
    }
    if (q < end && *q == '.') {
        ++q;
        for (; q < end && *q >= '0' && *q <= '9' && mantissa < (1u << 25); ++q, ++digits, ++decimals) {
            mantissa = mantissa * 10 + static_cast<uint32_t>(*q - '0');
        }
    }
    if (digits == 0 || mantissa > (1u << 24) || decimals > 10) return false;
    if (q < end && ((*q >= '0' && *q <= '9') || *q == 'e' || *q == 'E' || *q == '.')) return false;
    const float value = static_cast<float>(mantissa) / kPowers[decimals];
    out = negative ? -value : value;
    p = q;
    return true;
}

template <typename Real>
inline bool ScanReal(const char*& p, const char* end, Real& out)
{
    const char* q = p;
    SkipScanBlanks(q, end);
    if (q < end && *q == '+') {
        ++q;
        if (q < end && *q == '-') return false;
    }
    if constexpr (std::is_same_v<Real, float>) {
        if (ScanPlainFloat(q, end, out)) {
            p = q;
            return true;
        }
    }
    Real value{};
    const auto result = std::from_chars(q, end, value, std::chars_format::general);
    if (result.ec == std::errc::invalid_argument) return false;
    if (result.ec == std::errc::result_out_of_range) {
        // Like strtod: the value saturates, the characters are consumed.
    }
    out = value;
    p = result.ptr;
    return true;
}

inline bool ScanFloat(const char*& p, const char* end, float& out) { return ScanReal(p, end, out); }
inline bool ScanDouble(const char*& p, const char* end, double& out) { return ScanReal(p, end, out); }

// Scans up to n floats in a row; stops at the first that fails. Returns how many were scanned.
inline int ScanFloats(const char*& p, const char* end, float* out, int n)
{
    for (int i = 0; i < n; ++i) {
        if (!ScanFloat(p, end, out[i])) return i;
    }
    return n;
}

template <typename Int>
inline bool ScanInteger(const char*& p, const char* end, Int& out)
{
    const char* q = p;
    SkipScanBlanks(q, end);
    bool negative = false;
    if (q < end && (*q == '+' || *q == '-')) {
        negative = *q == '-';
        ++q;
    }
    if (q >= end || *q < '0' || *q > '9') return false;
    // Accumulate with saturation, so very long digit runs neither overflow nor fail.
    int64_t value = 0;
    while (q < end && *q >= '0' && *q <= '9') {
        if (value < (int64_t{1} << 40)) value = value * 10 + (*q - '0');
        ++q;
    }
    if (negative) value = -value;
    constexpr int64_t lo = static_cast<int64_t>(std::numeric_limits<Int>::min());
    constexpr int64_t hi = static_cast<int64_t>(std::numeric_limits<Int>::max());
    out = static_cast<Int>(value < lo ? lo : (value > hi ? hi : value));
    p = q;
    return true;
}

inline bool ScanInt(const char*& p, const char* end, int& out) { return ScanInteger(p, end, out); }

// scanf's "%s": skips blanks, returns the run of non-blank characters (empty when none).
inline std::string_view ScanWord(const char*& p, const char* end)
{
    SkipScanBlanks(p, end);
    const char* start = p;
    while (p < end && !IsScanBlank(*p)) ++p;
    return std::string_view(start, static_cast<size_t>(p - start));
}

// Set bits of a 16-bit mask, without the library call that __builtin_popcount becomes on CPUs
// the build does not assume to have the instruction.
inline int PopCount16(unsigned x)
{
    x = x - ((x >> 1) & 0x5555u);
    x = (x & 0x3333u) + ((x >> 2) & 0x3333u);
    x = (x + (x >> 4)) & 0x0F0Fu;
    return static_cast<int>((x + (x >> 8)) & 0x1Fu);
}

// The first line feed in [p, end), or null. Sixteen bytes at a time where SSE2 is there (never
// reading past end): lines are short, and a library call per line costs more than the search.
inline const char* FindLineFeed(const char* p, const char* end)
{
#if defined(__SSE2__)
    const __m128i lineFeed = _mm_set1_epi8('\n');
    for (; end - p >= 16; p += 16) {
        const unsigned mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), lineFeed)));
        if (mask) return p + __builtin_ctz(mask);
    }
#endif
    for (; p < end; ++p) {
        if (*p == '\n') return p;
    }
    return nullptr;
}

// The number of blank-separated words in [p, end). Sixteen bytes at a time where SSE2 is there:
// a word starts at every byte that is not blank and follows a blank (or the start).
inline int CountWords(const char* p, const char* end)
{
    int count = 0;
    bool previousBlank = true;
#if defined(__SSE2__)
    const __m128i space = _mm_set1_epi8(' ');
    const __m128i tab = _mm_set1_epi8('\t');
    const __m128i four = _mm_set1_epi8(4);
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        // Blank: ' ', or '\t' .. '\r' (9 .. 13), that is byte - 9 at most 4 without sign.
        const __m128i offset = _mm_sub_epi8(bytes, tab);
        const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(offset, four), offset);
        const unsigned blank = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, space), control)));
        const unsigned before = ((blank << 1) | (previousBlank ? 1u : 0u)) & 0xFFFFu;
        count += PopCount16(~blank & before & 0xFFFFu);
        previousBlank = (blank >> 15) & 1u;
    }
#endif
    for (; p < end; ++p) {
        const bool blank = IsScanBlank(*p);
        if (!blank && previousBlank) ++count;
        previousBlank = blank;
    }
    return count;
}

// Whether line starts with keyword (letters compared without regard to case).
inline bool StartsWithNoCase(std::string_view line, std::string_view keyword)
{
    if (line.size() < keyword.size()) return false;
    for (size_t i = 0; i < keyword.size(); ++i) {
        char a = line[i], b = keyword[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

// Whether line starts with keyword (without regard to case) followed by one blank.
inline bool KeywordBlank(std::string_view line, std::string_view keyword)
{
    return line.size() > keyword.size() && line[keyword.size()] == ' ' &&
           StartsWithNoCase(line, keyword);
}

}  // namespace solvane
