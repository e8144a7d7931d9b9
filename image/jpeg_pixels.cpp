// Inverse DCT, up-sampling and colour conversion of the JPEG decoder.
//
// The inverse DCT is the separable Loeffler-Ligtenberg-Moschytz factorisation (ICASSP 1989):
// 12 multiplications per 1-D pass, constants in 13-bit fixed point, the column pass keeping 2 extra
// bits of precision. Intermediates are 64-bit, so hostile coefficient values cannot overflow; on
// x86-64 the scalar 64-bit multiply costs the same as the 32-bit one.
#include <algorithm>
#include <array>

#include "image/jpeg_internal.h"

namespace solvane::jpeg {
namespace {

constexpr int kConstBits = 13;
constexpr int kPass1Bits = 2;

constexpr int64_t Fix(double value)
{
    return static_cast<int64_t>(value * (1 << kConstBits) + 0.5);
}

// sqrt(2) * cos(k * pi / 16) combinations used by the factorisation.
constexpr int64_t kFix0298 = Fix(0.298631336);
constexpr int64_t kFix0390 = Fix(0.390180644);
constexpr int64_t kFix0541 = Fix(0.541196100);
constexpr int64_t kFix0765 = Fix(0.765366865);
constexpr int64_t kFix0899 = Fix(0.899976223);
constexpr int64_t kFix1175 = Fix(1.175875602);
constexpr int64_t kFix1501 = Fix(1.501321110);
constexpr int64_t kFix1847 = Fix(1.847759065);
constexpr int64_t kFix1961 = Fix(1.961570560);
constexpr int64_t kFix2053 = Fix(2.053119869);
constexpr int64_t kFix2562 = Fix(2.562915447);
constexpr int64_t kFix3072 = Fix(3.072711026);

// One 8-point inverse transform; the outputs are scaled up by 2^kConstBits.
inline void Transform8(int64_t x0, int64_t x1, int64_t x2, int64_t x3, int64_t x4, int64_t x5, int64_t x6,
                       int64_t x7, int64_t (&out)[8])
{
    // Even part: a rotation of x2/x6 and the butterfly of x0/x4.
    const int64_t rotation = (x2 + x6) * kFix0541;
    const int64_t even2 = rotation + x2 * kFix0765;
    const int64_t even3 = rotation - x6 * kFix1847;
    const int64_t even0 = (x0 + x4) * (int64_t{1} << kConstBits);
    const int64_t even1 = (x0 - x4) * (int64_t{1} << kConstBits);
    const int64_t sum0 = even0 + even2;
    const int64_t sum3 = even0 - even2;
    const int64_t sum1 = even1 + even3;
    const int64_t sum2 = even1 - even3;

    // Odd part: x7, x5, x3, x1 through the shared rotation of the four sums.
    const int64_t pair71 = x7 + x1;
    const int64_t pair53 = x5 + x3;
    const int64_t pair73 = x7 + x3;
    const int64_t pair51 = x5 + x1;
    const int64_t shared = (pair73 + pair51) * kFix1175;
    const int64_t term71 = -pair71 * kFix0899;
    const int64_t term53 = -pair53 * kFix2562;
    const int64_t term73 = shared - pair73 * kFix1961;
    const int64_t term51 = shared - pair51 * kFix0390;
    const int64_t odd7 = x7 * kFix0298 + term71 + term73;
    const int64_t odd5 = x5 * kFix2053 + term53 + term51;
    const int64_t odd3 = x3 * kFix3072 + term53 + term73;
    const int64_t odd1 = x1 * kFix1501 + term71 + term51;

    out[0] = sum0 + odd1;
    out[7] = sum0 - odd1;
    out[1] = sum1 + odd3;
    out[6] = sum1 - odd3;
    out[2] = sum2 + odd5;
    out[5] = sum2 - odd5;
    out[3] = sum3 + odd7;
    out[4] = sum3 - odd7;
}

inline uint8_t ClampSample(int64_t value)
{
    return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

// Rounding right shift of the column pass, and the final shift with the 128 level offset.
constexpr int kPass1Shift = kConstBits - kPass1Bits;
constexpr int kPass2Shift = kConstBits + kPass1Bits + 3;

inline uint8_t FinalSample(int64_t value)
{
    return ClampSample(((value + (int64_t{1} << (kPass2Shift - 1))) >> kPass2Shift) + 128);
}

struct ColourTables {
    int16_t redFromCr[256];
    int16_t blueFromCb[256];
    int32_t greenFromCr[256];
    int32_t greenFromCb[256];
    // Clamps values from -256 to 511 into 0..255 (index value + 256).
    uint8_t clamp[768];
};

ColourTables MakeColourTables()
{
    ColourTables tables{};
    for (int i = 0; i < 256; ++i) {
        // 1.402, 0.714, 0.344 and 1.772 in 12-bit fixed point, the 128 chroma offset and the
        // rounding term folded into the constant that is subtracted.
        tables.redFromCr[i] = static_cast<int16_t>((i * 5742 - 732928) >> 12);
        tables.blueFromCb[i] = static_cast<int16_t>((i * 7258 - 926976) >> 12);
        tables.greenFromCr[i] = i * 2925 - 552704;
        tables.greenFromCb[i] = i * 1409;
    }
    for (int i = 0; i < 768; ++i) tables.clamp[i] = static_cast<uint8_t>(std::clamp(i - 256, 0, 255));
    return tables;
}

const ColourTables& Colour()
{
    static const ColourTables tables = MakeColourTables();
    return tables;
}

inline void StoreBgr(const ColourTables& t, int luma, int red, int green, int blue, uint8_t* out)
{
    out[0] = t.clamp[luma + blue + 256];
    out[1] = t.clamp[luma - green + 256];
    out[2] = t.clamp[luma + red + 256];
}

// kLow: only the top-left 4x4 coefficients may be non-zero, so the transforms drop the others.
template <bool kLow>
void InverseDctBlock(const int16_t* coefficients, const uint16_t* quant, uint8_t* out, size_t stride)
{
    constexpr int kColumns = kLow ? 4 : 8;
    int64_t workspace[64];
    int64_t column[8];

    // Columns, keeping kPass1Bits of extra precision.
    for (int c = 0; c < kColumns; ++c) {
        const int16_t* in = coefficients + c;
        const uint16_t* q = quant + c;
        int64_t* ws = workspace + c;
        const bool constant = kLow ? (in[8] | in[16] | in[24]) == 0
                                   : (in[8] | in[16] | in[24] | in[32] | in[40] | in[48] | in[56]) == 0;
        if (constant) {
            // Only the DC term: the column is constant.
            const int64_t dc = int64_t{in[0]} * q[0] * (int64_t{1} << kPass1Bits);
            for (int r = 0; r < 8; ++r) ws[r * 8] = dc;
            continue;
        }
        if (kLow) {
            Transform8(int64_t{in[0]} * q[0], int64_t{in[8]} * q[8], int64_t{in[16]} * q[16],
                       int64_t{in[24]} * q[24], 0, 0, 0, 0, column);
        } else {
            Transform8(int64_t{in[0]} * q[0], int64_t{in[8]} * q[8], int64_t{in[16]} * q[16],
                       int64_t{in[24]} * q[24], int64_t{in[32]} * q[32], int64_t{in[40]} * q[40],
                       int64_t{in[48]} * q[48], int64_t{in[56]} * q[56], column);
        }
        for (int r = 0; r < 8; ++r) {
            ws[r * 8] = (column[r] + (int64_t{1} << (kPass1Shift - 1))) >> kPass1Shift;
        }
    }
    for (int c = kColumns; c < 8; ++c) {
        for (int r = 0; r < 8; ++r) workspace[r * 8 + c] = 0;
    }

    // Rows, with the final scaling, level shift and clamp.
    for (int r = 0; r < 8; ++r) {
        const int64_t* w = workspace + r * 8;
        uint8_t* row = out + r * stride;
        const bool constant = kLow ? (w[1] | w[2] | w[3]) == 0 : (w[1] | w[2] | w[3] | w[4] | w[5] | w[6] | w[7]) == 0;
        if (constant) {
            const uint8_t value = FinalSample(w[0] * (int64_t{1} << kConstBits));
            for (int c = 0; c < 8; ++c) row[c] = value;
            continue;
        }
        int64_t result[8];
        if (kLow) {
            Transform8(w[0], w[1], w[2], w[3], 0, 0, 0, 0, result);
        } else {
            Transform8(w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7], result);
        }
        for (int c = 0; c < 8; ++c) row[c] = FinalSample(result[c]);
    }
}

}  // namespace

void InverseDct(const int16_t* coefficients, const uint16_t* quant, uint8_t* out, size_t stride)
{
    InverseDctBlock<false>(coefficients, quant, out, stride);
}

void InverseDctLow(const int16_t* coefficients, const uint16_t* quant, uint8_t* out, size_t stride)
{
    InverseDctBlock<true>(coefficients, quant, out, stride);
}

void InverseDctDcOnly(int dc, uint16_t quantDc, uint8_t* out, size_t stride)
{
    // The same arithmetic as the full transform with every other input zero.
    const int64_t scaled = int64_t{dc} * quantDc * (int64_t{1} << (kPass1Bits + kConstBits));
    const uint8_t value = FinalSample(scaled);
    for (int r = 0; r < 8; ++r) std::fill_n(out + r * stride, 8, value);
}

void ReplicateRow(const uint8_t* in, int factor, int maxFactor, uint8_t* out, int width)
{
    if (maxFactor == 2 * factor) {
        const int pairs = width / 2;
        for (int x = 0; x < pairs; ++x) {
            out[2 * x] = in[x];
            out[2 * x + 1] = in[x];
        }
        if (width & 1) out[width - 1] = in[pairs];
        return;
    }
    for (int x = 0; x < width; ++x) out[x] = in[x * factor / maxFactor];
}

void ConvertRowToBgr(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* bgr, int width)
{
    const ColourTables& t = Colour();
    for (int x = 0; x < width; ++x) {
        const int green = (t.greenFromCr[cr[x]] + t.greenFromCb[cb[x]]) >> 12;
        StoreBgr(t, y[x], t.redFromCr[cr[x]], green, t.blueFromCb[cb[x]], bgr + 3 * x);
    }
}

void ConvertRowToBgrHalfChroma(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* bgr,
                               int width)
{
    const ColourTables& t = Colour();
    const int pairs = width / 2;
    for (int x = 0; x < pairs; ++x) {
        const int red = t.redFromCr[cr[x]];
        const int green = (t.greenFromCr[cr[x]] + t.greenFromCb[cb[x]]) >> 12;
        const int blue = t.blueFromCb[cb[x]];
        StoreBgr(t, y[2 * x], red, green, blue, bgr + 6 * x);
        StoreBgr(t, y[2 * x + 1], red, green, blue, bgr + 6 * x + 3);
    }
    if (width & 1) {
        const int x = pairs;
        const int green = (t.greenFromCr[cr[x]] + t.greenFromCb[cb[x]]) >> 12;
        StoreBgr(t, y[width - 1], t.redFromCr[cr[x]], green, t.blueFromCb[cb[x]], bgr + 3 * (width - 1));
    }
}

}  // namespace solvane::jpeg
