// Pixel-level pieces of the JPEG decoder, kept apart from the stream parsing: the inverse DCT with
// dequantisation, and the up-sampling and colour conversion of one output row.
#pragma once

#include <cstddef>
#include <cstdint>

namespace solvane::jpeg {

// Dequantises the 64 coefficients (natural order, quant in natural order), applies the 8x8 inverse
// DCT, level-shifts by 128 and clamps, writing 8 rows of 8 samples at out (rows stride apart).
// Any coefficient values are safe: the arithmetic is wide enough not to overflow.
void InverseDct(const int16_t* coefficients, const uint16_t* quant, uint8_t* out, size_t stride);

// The same for a block whose non-zero coefficients all lie in the top-left 4x4 (zig-zag
// positions 0 to 9).
void InverseDctLow(const int16_t* coefficients, const uint16_t* quant, uint8_t* out, size_t stride);

// The same for a block whose only non-zero coefficient is the DC one.
void InverseDctDcOnly(int dc, uint16_t quantDc, uint8_t* out, size_t stride);

// Horizontal up-sampling by replication: out[x] = in[x * factor / maxFactor] for x < width.
void ReplicateRow(const uint8_t* in, int factor, int maxFactor, uint8_t* out, int width);

// YCbCr to blue-green-red with the 12-bit fixed-point JFIF conversion; the three rows are at full
// width.
void ConvertRowToBgr(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* bgr, int width);

// The same with chroma at half the width (each chroma sample covers two pixels).
void ConvertRowToBgrHalfChroma(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* bgr,
                               int width);

}  // namespace solvane::jpeg
