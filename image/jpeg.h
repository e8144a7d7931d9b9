// JPEG/JFIF reader: a decoder of its own for baseline, extended sequential and progressive
// Huffman-coded 8-bit files with one (grey) or three (YCbCr) components (ITU T.81, JFIF 1.02).
// Every rejection is one of the exception classes below, each with a fixed message; ReadJpegFile
// catches them all and returns null.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>

#include "core/model.h"

namespace solvane {

// Base of every image-codec error.
class EGraphicsException : public std::logic_error {
public:
    explicit EGraphicsException(const std::string& message) : std::logic_error(message) {}
};

// Stream structure errors: premature end, missing or misplaced markers, wrong segment sizes.
class EJpegError : public EGraphicsException {
public:
    explicit EJpegError(const std::string& message) : EGraphicsException(message) {}
};

// Invalid or unsupported content.
class EJpegBadData : public EJpegError {
public:
    explicit EJpegBadData(const std::string& message) : EJpegError(message) {}
};

// A decoded value outside its legal range.
class EJpegValueOutOfRange : public EJpegError {
public:
    explicit EJpegValueOutOfRange(const std::string& message) : EJpegError(message) {}
};

// Decoding stopped because the progress function asked for it.
class EJpegAbort : public EGraphicsException {
public:
    EJpegAbort() : EGraphicsException("JPEG Aborted") {}
};

// Internal consistency failures (a table that should have been bound to a component is not).
class EJpegFatal : public EGraphicsException {
public:
    explicit EJpegFatal(const std::string& message) : EGraphicsException(message) {}
};

// The bit reader was asked for an impossible number of bits.
class EInvalidBitCount : public EGraphicsException {
public:
    EInvalidBitCount() : EGraphicsException("Invalid bit count") {}
};

// An index outside a table.
class ESubscriptOutOfRange : public EGraphicsException {
public:
    ESubscriptOutOfRange() : EGraphicsException("Subscript out of range") {}
};

// The decoder's output: bitCount 24 (blue, green, red per pixel) or 8 (grey levels); each row
// padded to a multiple of 4 bytes; row 0 is the bottom row of the picture. bitCount stays 0 when
// the stream holds no picture (no frame, or a frame without scans).
struct JpegBitmap {
    int32_t width = 0;
    int32_t height = 0;
    int bitCount = 0;
    size_t rowStride = 0;
    std::unique_ptr<uint8_t[]> data;

    uint8_t* Row(int32_t row) { return data.get() + static_cast<size_t>(row) * rowStride; }
    const uint8_t* Row(int32_t row) const { return data.get() + static_cast<size_t>(row) * rowStride; }
};

// One decoder per read.
class JpegDecoder {
public:
    // Called once per row of MCUs of each scan and of the final output with the percentage done
    // of that pass; returning false stops the decode with EJpegAbort.
    using ProgressFunction = std::function<bool(int percent)>;

    void SetProgressFunction(ProgressFunction progress) { progress_ = std::move(progress); }
    // When set, every marker is described as text on this stream.
    void SetVerbose(std::ostream* dump) { dump_ = dump; }

    // Decodes the whole stream into bitmap; throws an EGraphicsException on anything it refuses.
    // Memory exhaustion (std::bad_alloc) is not part of the hierarchy and passes through.
    void ReadImage(std::istream& input, JpegBitmap& bitmap);

private:
    ProgressFunction progress_;
    std::ostream* dump_ = nullptr;
};

// Reads a JFIF file into a new image record with width, height and RGB pixels (row 0 = bottom
// row of the picture); null when the file cannot be opened or the decoder refuses it.
std::unique_ptr<Texture> ReadJpegFile(const char* path);

}  // namespace solvane
