// The raster image readers. Each takes a path and returns a new image record with width, height
// and RGB pixels set (every other field is the caller's), or null when the file cannot be read or
// is refused. Row 0 of pixels is the bottom row of the picture for every reader except PCX, whose
// row 0 is the top row (file order). The Decode* functions do the same for bytes in memory.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "core/model.h"

namespace solvane {

// Windows Bitmap: 24-bit uncompressed pixels are decoded (bottom-up or top-down rows); every other
// kind of bitmap reads as a black image of its stated size.
std::unique_ptr<Texture> ReadBmpFile(const char* path);
std::unique_ptr<Texture> DecodeBmp(std::span<const uint8_t> bytes);

// Truevision TGA: types 2 (uncompressed) and 10 (run-length) true colour of 24 or 32 bits.
std::unique_ptr<Texture> ReadTgaFile(const char* path);
std::unique_ptr<Texture> DecodeTga(std::span<const uint8_t> bytes);

// Portable pixmap: P3 (text samples) and P6 (one byte per sample), scaled from maxval to 255.
std::unique_ptr<Texture> ReadPpmFile(const char* path);
std::unique_ptr<Texture> DecodePpm(std::span<const uint8_t> bytes);

// PC Paintbrush: 8-bit run-length indices with the 256-colour palette in the last 768 bytes.
std::unique_ptr<Texture> ReadPcxFile(const char* path);
std::unique_ptr<Texture> DecodePcx(std::span<const uint8_t> bytes);

// IFF ILBM: 1 to 8 palette planes, HAM, or 24/32 true-colour planes, optionally ByteRun1
// compressed and with a mask plane.
std::unique_ptr<Texture> ReadIlbmFile(const char* path);
std::unique_ptr<Texture> DecodeIlbm(std::span<const uint8_t> bytes);

// Portable Network Graphics (libpng): 1 to 16 bits, grey, palette, RGB, with or without alpha,
// interlaced or not; alpha and tRNS are dropped, 16-bit samples scaled to 8 bits. A damaged
// critical chunk (bad CRC) or a cut file is refused; damaged ancillary chunks are skipped.
// verifyChecksums false accepts any CRC and Adler-32 (for fuzzing, which cannot forge them).
std::unique_ptr<Texture> ReadPngFile(const char* path);
std::unique_ptr<Texture> DecodePng(std::span<const uint8_t> bytes, bool verifyChecksums = true);

}  // namespace solvane
