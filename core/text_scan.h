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

namespace solvane {

inline bool IsScanBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

inline void SkipScanBlanks(const char*& p, const char* end)
{
    while (p < end && IsScanBlank(*p)) ++p;
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
