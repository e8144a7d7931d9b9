// Portable pixmap reader (Netpbm PPM): "P3" with samples as text and "P6" with one byte per
// sample, each scaled from 0..maxval to 0..255. The file's first row is the top of the picture,
// so it is stored last.
#include <algorithm>
#include <array>
#include <string_view>

#include "image/image.h"
#include "image/image_input.h"
#include "image/readers.h"

namespace solvane {
namespace {

constexpr size_t kMaxTokenLength = 255;
constexpr int64_t kIntegerLimit = int64_t{1} << 31;

bool IsPpmSpace(uint8_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// White-space separated words of at most 255 characters (a longer word goes on as the next
// token). A word that begins with '#' starts a comment running to the end of its line.
class PpmTokens {
public:
    explicit PpmTokens(std::span<const uint8_t> bytes) : p_(bytes.data()), end_(bytes.data() + bytes.size()) {}

    bool Next(std::string_view& token)
    {
        for (;;) {
            while (p_ < end_ && IsPpmSpace(*p_)) ++p_;
            if (p_ == end_) return false;
            const uint8_t* start = p_;
            while (p_ < end_ && !IsPpmSpace(*p_) && static_cast<size_t>(p_ - start) < kMaxTokenLength) ++p_;
            if (*start != '#') {
                token = std::string_view(reinterpret_cast<const char*>(start), static_cast<size_t>(p_ - start));
                return true;
            }
            while (p_ < end_ && *p_ != '\n') ++p_;
        }
    }
    // Consumes one byte, whatever it is (the separator after a binary header).
    void SkipByte()
    {
        if (p_ < end_) ++p_;
    }
    const uint8_t* Here() const { return p_; }
    size_t Remaining() const { return static_cast<size_t>(end_ - p_); }

private:
    const uint8_t* p_;
    const uint8_t* end_;
};

// integer := sign? digits, taken from the start of the token; anything else reads as 0, and the
// value saturates at +-2^31.
int64_t LeadingInteger(std::string_view token)
{
    size_t i = 0;
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
    int64_t value = 0;
    for (; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i) {
        value = std::min(value * 10 + (token[i] - '0'), kIntegerLimit);
    }
    return negative ? -value : value;
}

uint8_t ScaleSample(int64_t sample, int64_t maxval)
{
    const int64_t scaled = maxval == 255 ? sample : sample * 255 / maxval;
    return static_cast<uint8_t>(std::clamp<int64_t>(scaled, 0, 255));
}

}  // namespace

std::unique_ptr<Texture> DecodePpm(std::span<const uint8_t> bytes)
{
    PpmTokens tokens(bytes);
    std::string_view magic, token;
    if (!tokens.Next(magic) || (magic != "P3" && magic != "P6")) return nullptr;
    const bool binary = magic == "P6";
    if (!tokens.Next(token)) return nullptr;
    const int64_t width = LeadingInteger(token);
    if (!tokens.Next(token)) return nullptr;
    const int64_t height = LeadingInteger(token);
    if (!tokens.Next(token)) return nullptr;
    const int64_t maxval = LeadingInteger(token);
    if (maxval < 1 || width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide) return nullptr;
    if (binary) tokens.SkipByte();

    // Each binary sample is a byte; text samples need a character and a separator each.
    const uint64_t sampleCount = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 3;
    const uint64_t leastBytes = binary ? sampleCount : sampleCount * 2 - 1;
    if (leastBytes > tokens.Remaining()) return nullptr;
    std::unique_ptr<Texture> image = NewBlackImage(width, height);
    if (!image) return nullptr;

    const size_t rowLength = static_cast<size_t>(width) * 3;
    if (binary) {
        std::array<uint8_t, 256> scale;
        for (int v = 0; v < 256; ++v) scale[static_cast<size_t>(v)] = ScaleSample(v, maxval);
        const uint8_t* source = tokens.Here();
        for (int64_t r = 0; r < height; ++r, source += rowLength) {
            uint8_t* destination = image->pixels.data() + static_cast<size_t>(height - 1 - r) * rowLength;
            for (size_t i = 0; i < rowLength; ++i) destination[i] = scale[source[i]];
        }
        return image;
    }
    for (int64_t r = 0; r < height; ++r) {
        uint8_t* destination = image->pixels.data() + static_cast<size_t>(height - 1 - r) * rowLength;
        for (size_t i = 0; i < rowLength; ++i) {
            if (!tokens.Next(token)) return nullptr;
            destination[i] = ScaleSample(LeadingInteger(token), maxval);
        }
    }
    return image;
}

std::unique_ptr<Texture> ReadPpmFile(const char* path)
{
    std::vector<uint8_t> bytes;
    if (!ReadImageFileBytes(path, bytes)) return nullptr;
    return DecodePpm(bytes);
}

}  // namespace solvane
