// JPEG/JFIF decoder: marker parsing, Huffman entropy decoding of sequential and progressive scans
// (ITU T.81 annexes B, F and G), and the output of rows through the inverse DCT, up-sampling by
// replication and YCbCr conversion (jpeg_pixels.cpp).
//
// A sequential frame whose first scan holds every component is decoded one row of MCUs at a time
// straight into the bitmap. Every other frame (progressive, or sequential with one scan per
// component) keeps the quantised coefficients of the whole image and produces the picture at the
// end of image. Memory is bounded by the frame size, itself at most kMaxImageSide a side.
#include "image/jpeg.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <istream>
#include <new>
#include <ostream>
#include <vector>

#include "image/image.h"
#include "image/jpeg_internal.h"

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace solvane {
namespace {

// Coefficient k of a block in zig-zag order sits at index kZigzagToNatural[k] of the 8x8 array
// (T.81 figure A.6).
constexpr std::array<uint8_t, 64> kZigzagToNatural = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

constexpr size_t kInputBufferBytes = 64 * 1024;
// Bits of the Huffman lookahead table.
constexpr int kLookaheadBits = 9;
// Legal magnitudes of 8-bit data (T.81 F.1.2.1): DC differences up to category 11, AC values up to
// category 10; accumulated DC values stay within 12 bits.
constexpr int kMaxDcCategory = 11;
constexpr int kMaxAcCategory = 10;
constexpr int kMaxDcValue = 2047;
constexpr int kMaxSuccessiveApproximation = 13;

[[noreturn]] void ThrowBadData(const char* message)
{
    throw EJpegBadData(message);
}

[[noreturn]] void ThrowStreamError(const char* message)
{
    throw EJpegError(message);
}

[[noreturn]] void ThrowPrematureEnd()
{
    throw EJpegError("Premature end of file");
}

// A fresh picture-sized buffer is touched page by page; asking for transparent huge pages cuts
// those page faults about 500-fold, a large share of the time of a large decode. Elsewhere a no-op.
void AdviseHugePages(const void* data, size_t size)
{
#ifdef __linux__
    constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
    if (size < 4 * kHugePage) return;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + size) & ~(kHugePage - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)size;
#endif
}

// ---------------------------------------------------------------------------------------------
// Byte input: the stream read in large blocks.

class ByteSource {
public:
    explicit ByteSource(std::istream& in) : in_(in), buffer_(kInputBufferBytes)
    {
        // The size of a seekable stream bounds what its scans can hold (see RemainingBytes).
        const std::istream::pos_type start = in_.tellg();
        if (start != std::istream::pos_type(-1) && in_.seekg(0, std::ios::end)) {
            const std::istream::pos_type last = in_.tellg();
            if (last != std::istream::pos_type(-1) && last >= start) size_ = static_cast<int64_t>(last - start);
        }
        in_.clear();
        if (start != std::istream::pos_type(-1)) in_.seekg(start);
    }

    // Bytes not yet read; INT64_MAX when the stream cannot tell its size.
    int64_t RemainingBytes() const
    {
        if (size_ < 0) return INT64_MAX;
        return size_ - (consumed_ - static_cast<int64_t>(end - pos));
    }

    // The next byte, or -1 at the end of the stream.
    int ReadByte()
    {
        if (pos == end && !Fill(1)) return -1;
        return *pos++;
    }

    uint8_t ReadByteOrThrow()
    {
        const int byte = ReadByte();
        if (byte < 0) ThrowPrematureEnd();
        return static_cast<uint8_t>(byte);
    }

    uint16_t ReadBE16OrThrow()
    {
        const uint8_t high = ReadByteOrThrow();
        return static_cast<uint16_t>(high << 8 | ReadByteOrThrow());
    }

    void SkipOrThrow(size_t count)
    {
        while (count > 0) {
            if (pos == end && !Fill(1)) ThrowPrematureEnd();
            const size_t step = std::min(count, static_cast<size_t>(end - pos));
            pos += step;
            count -= step;
        }
    }

    // Makes at least wanted bytes available (wanted is small) unless the stream ends first; false
    // when fewer than wanted remain.
    bool Fill(size_t wanted)
    {
        size_t have = static_cast<size_t>(end - pos);
        if (have >= wanted) return true;
        if (have > 0) std::memmove(buffer_.data(), pos, have);
        while (have < wanted && !atEnd_) {
            in_.read(reinterpret_cast<char*>(buffer_.data() + have),
                     static_cast<std::streamsize>(buffer_.size() - have));
            const std::streamsize got = std::max<std::streamsize>(in_.gcount(), 0);
            if (got == 0) atEnd_ = true;
            have += static_cast<size_t>(got);
            consumed_ += got;
        }
        pos = buffer_.data();
        end = pos + have;
        return have >= wanted;
    }

    // The unread part of the buffer; the bit reader works on it directly.
    const uint8_t* pos = nullptr;
    const uint8_t* end = nullptr;

private:
    std::istream& in_;
    std::vector<uint8_t> buffer_;
    bool atEnd_ = false;
    int64_t size_ = -1;     // of the stream from where reading started, -1 unknown
    int64_t consumed_ = 0;  // bytes taken from the stream into the buffer
};

// ---------------------------------------------------------------------------------------------
// Bit input of the entropy-coded data (T.81 F.2.2.5): stuffed zero bytes removed, stopping at a
// marker or the end of the stream. From there on zero bits are supplied; using one of them is an
// error that the caller detects once per MCU with Overran().

class BitReader {
public:
    explicit BitReader(ByteSource& source) : source_(source) {}

    void Reset()
    {
        bits_ = 0;
        count_ = 0;
        padding_ = 0;
        stop_ = Stop::None;
    }

    // At least n (at most 57) bits available.
    void Ensure(int n)
    {
        if (count_ < n) Refill();
    }
    // The next n bits (1..32), which must be available.
    uint32_t Peek(int n) const { return static_cast<uint32_t>(bits_ >> (64 - n)); }
    void Skip(int n)
    {
        bits_ <<= n;
        count_ -= n;
    }

    int GetBit()
    {
        Ensure(1);
        const int bit = static_cast<int>(bits_ >> 63);
        Skip(1);
        return bit;
    }

    // The next n bits as an unsigned value; n from 0 to 16.
    int GetBits(int n)
    {
        if (n > 16 || n < 0) throw EInvalidBitCount();
        if (n == 0) return 0;
        Ensure(n);
        const int value = static_cast<int>(Peek(n));
        Skip(n);
        return value;
    }

    // True when bits beyond the end of the data have been used.
    bool Overran() const { return count_ < padding_; }
    // The data ran out at the marker of a following segment (not DNL, not a restart marker, not
    // the end of the file).
    bool StoppedAtMarker() const
    {
        return stop_ == Stop::Marker && marker_ != 0xDC && (marker_ < 0xD0 || marker_ > 0xD7);
    }

    [[noreturn]] void ThrowOverrun() const
    {
        if (stop_ == Stop::Marker) {
            ThrowStreamError(marker_ == 0xDC ? "Unexpected Marker DNL" : "Unexpected Marker");
        }
        ThrowPrematureEnd();
    }

private:
    enum class Stop { None, Marker, EndOfFile };

    void Add(uint8_t byte)
    {
        bits_ |= static_cast<uint64_t>(byte) << (56 - count_);
        count_ += 8;
    }

    void Refill()
    {
        // Fastest path: the next 8 bytes hold no 0xFF, so as many whole bytes as fit go in at once.
        if (stop_ == Stop::None && source_.end - source_.pos >= 8) {
            uint64_t word;
            std::memcpy(&word, source_.pos, sizeof word);
            if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
            const uint64_t inverted = ~word;
            if (((inverted - 0x0101010101010101ull) & ~inverted & 0x8080808080808080ull) == 0) {
                const int bytes = (63 - count_) >> 3;
                const int filled = count_ + 8 * bytes;
                bits_ |= (word >> count_) & (~0ull << (64 - filled));
                count_ = filled;
                source_.pos += bytes;
                return;
            }
        }
        // Fast path: enough bytes buffered for eight of them, each possibly stuffed.
        if (stop_ == Stop::None && source_.end - source_.pos >= 16) {
            const uint8_t* p = source_.pos;
            while (count_ <= 56) {
                const uint8_t byte = *p;
                if (byte != 0xFF) {
                    ++p;
                    Add(byte);
                } else if (p[1] == 0x00) {
                    p += 2;
                    Add(0xFF);
                } else {
                    break;
                }
            }
            source_.pos = p;
            if (count_ > 56) return;
        }
        while (count_ <= 56) {
            if (stop_ != Stop::None) {
                // The low bits are already zero.
                count_ += 8;
                padding_ += 8;
                continue;
            }
            if (source_.end - source_.pos < 2 && !source_.Fill(2)) {
                if (source_.pos == source_.end || *source_.pos == 0xFF) {
                    stop_ = Stop::EndOfFile;
                    continue;
                }
                Add(*source_.pos++);
                continue;
            }
            const uint8_t byte = source_.pos[0];
            if (byte != 0xFF) {
                ++source_.pos;
                Add(byte);
            } else if (source_.pos[1] == 0x00) {
                source_.pos += 2;
                Add(0xFF);
            } else if (source_.pos[1] == 0xFF) {
                ++source_.pos;  // a fill byte before a marker (T.81 B.1.1.2)
            } else {
                stop_ = Stop::Marker;  // left unread for the marker level
                marker_ = source_.pos[1];
            }
        }
    }

    ByteSource& source_;
    uint64_t bits_ = 0;  // the next bits, most significant first; the unused low bits are zero
    int count_ = 0;
    int padding_ = 0;  // zero bits supplied after the data stopped
    Stop stop_ = Stop::None;
    uint8_t marker_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Huffman tables (T.81 annex C and F.2.2.3).

struct HuffmanTable {
    bool defined = false;
    // For every 9-bit prefix: code length << 8 | symbol, or 0 when the code is longer.
    std::array<uint16_t, 1 << kLookaheadBits> lookahead{};
    // Largest code of each length, left-aligned to 16 bits and plus one (0 when none), and the
    // index into symbols of the first code of each length minus that code.
    std::array<uint32_t, 18> limit{};
    std::array<int32_t, 17> offset{};
    std::array<uint8_t, 256> symbols{};
    int symbolCount = 0;
    // AC tables: for every 9-bit prefix holding a whole run/size code and its extra bits, the
    // coefficient value << 16 | run << 8 | bits used; 0 otherwise.
    std::array<int32_t, 1 << kLookaheadBits> fastAc{};
};

// Builds the decoding tables from the 16 code-length counts and the symbols.
void BuildHuffmanTable(const uint8_t (&counts)[17], const uint8_t* symbols, int symbolCount, HuffmanTable& table)
{
    table = HuffmanTable{};
    std::copy_n(symbols, symbolCount, table.symbols.begin());
    table.symbolCount = symbolCount;
    uint32_t code = 0;
    int index = 0;
    for (int length = 1; length <= 16; ++length) {
        table.offset[length] = index - static_cast<int32_t>(code);
        for (int i = 0; i < counts[length]; ++i) {
            // C.2: codes of one length are consecutive; running past all-ones is impossible.
            if (code >= (1u << length)) ThrowBadData("Bad Huffman Code Length");
            if (length <= kLookaheadBits) {
                const int shift = kLookaheadBits - length;
                const uint16_t entry = static_cast<uint16_t>(length << 8 | symbols[index]);
                for (uint32_t fill = 0; fill < (1u << shift); ++fill) table.lookahead[(code << shift) | fill] = entry;
            }
            ++code;
            ++index;
        }
        table.limit[length] = code << (16 - length);
        code <<= 1;
    }
    table.limit[17] = ~0u;  // stops the search of DecodeSymbolSlow
    table.defined = true;

    for (uint32_t prefix = 0; prefix < table.lookahead.size(); ++prefix) {
        const uint16_t entry = table.lookahead[prefix];
        const int length = entry >> 8;
        const int run = (entry >> 4) & 15;
        const int size = entry & 15;
        if (entry == 0 || size == 0 || size > kMaxAcCategory || length + size > kLookaheadBits) continue;
        const int extra = static_cast<int>(prefix >> (kLookaheadBits - length - size)) & ((1 << size) - 1);
        const int value = extra < (1 << (size - 1)) ? extra - (1 << size) + 1 : extra;
        table.fastAc[prefix] = static_cast<int32_t>(static_cast<uint32_t>(value) << 16) | run << 8 | (length + size);
    }
}

// Codes longer than the lookahead (F.2.2.3, figure F.16).
int DecodeSymbolSlow(BitReader& reader, const HuffmanTable& table)
{
    const uint32_t bits = reader.Peek(16);
    int length = kLookaheadBits + 1;
    while (length <= 16 && bits >= table.limit[length]) ++length;
    if (length > 16) throw ESubscriptOutOfRange();
    const int32_t index = static_cast<int32_t>(bits >> (16 - length)) + table.offset[length];
    if (index < 0 || index >= table.symbolCount) throw ESubscriptOutOfRange();
    reader.Skip(length);
    return table.symbols[index];
}

inline int DecodeSymbol(BitReader& reader, const HuffmanTable& table)
{
    reader.Ensure(16);
    const uint16_t entry = table.lookahead[reader.Peek(kLookaheadBits)];
    if (entry != 0) {
        reader.Skip(entry >> 8);
        return entry & 0xFF;
    }
    return DecodeSymbolSlow(reader, table);
}

// The value of a magnitude category and its s extra bits (F.2.2.1, figure F.12); s in 1..16.
inline int ReceiveExtend(BitReader& reader, int s)
{
    reader.Ensure(s);
    const int value = static_cast<int>(reader.Peek(s));
    reader.Skip(s);
    return value < (1 << (s - 1)) ? value - (1 << s) + 1 : value;
}

// ---------------------------------------------------------------------------------------------
// Decoder state.

struct QuantTable {
    bool defined = false;
    std::array<uint16_t, 64> values{};  // natural order
};

// calloc'd coefficient storage: untouched pages of a large zeroed allocation cost no memory.
struct FreeDeleter {
    void operator()(int16_t* pointer) const { std::free(pointer); }
};

struct Component {
    int id = 0;
    int horizontal = 1;  // sampling factors
    int vertical = 1;
    int quantIndex = 0;

    int blocksPerLine = 0;  // blocks of the component, padded to whole MCUs
    int blockRows = 0;
    int scanBlocksWide = 0;  // blocks covering the component's own samples (non-interleaved scans)
    int scanBlocksHigh = 0;

    // One row of MCUs of samples.
    size_t planeStride = 0;
    std::vector<uint8_t> plane;

    // Whole-image quantised coefficients, natural order per block (buffered decoding).
    std::unique_ptr<int16_t, FreeDeleter> coefficients;
    bool hasData = false;
    // The quantisation table of the component's latest scan.
    std::array<uint16_t, 64> quant{};
    bool hasQuant = false;
    // Progressive: the successive-approximation bit position reached by each coefficient, -1
    // before its first scan.
    std::array<int8_t, 64> approximation{};

    // Per scan.
    const HuffmanTable* dcTable = nullptr;
    const HuffmanTable* acTable = nullptr;
    int dcPrediction = 0;

    int16_t* Block(int row, int column)
    {
        return coefficients.get() + (static_cast<size_t>(row) * blocksPerLine + column) * 64;
    }
};

struct Scan {
    int count = 0;
    std::array<Component*, 3> components{};
    int spectralStart = 0;
    int spectralEnd = 63;
    int approximationHigh = 0;
    int approximationLow = 0;
};

enum class Mode { Undecided, Streaming, Buffered };

class Decoder {
public:
    Decoder(std::istream& in, JpegBitmap& bitmap, const JpegDecoder::ProgressFunction& progress,
            std::ostream* dump)
        : source_(in), bits_(source_), bitmap_(bitmap), progress_(progress), dump_(dump)
    {
    }

    void Run();

private:
    // Marker level.
    void ReadStartOfImage();
    void ReadMarkers();
    int NextMarker();
    uint16_t ReadSegmentLength();
    void ReadFrame(int marker);
    void ReadQuantizationTables();
    void ReadHuffmanTables();
    void ReadRestartInterval();
    void ReadScan();
    void SkipSegment(int marker);

    // Scans.
    void PrepareScanTables(Scan& scan);
    void CheckScanFitsInput(const Scan& scan);
    void AllocateCoefficients(Component& component);
    void AllocateBitmap();
    void ProcessRestart();
    template <typename BlockFunction, typename RowFunction>
    void ForEachMcu(const Scan& scan, BlockFunction&& decodeBlock, RowFunction&& rowDone);
    void DecodeStreamingScan(const Scan& scan, bool emit);
    void DecodeBufferedSequentialScan(const Scan& scan);
    void DecodeProgressiveScan(const Scan& scan);
    int DecodeSequentialBlock(Component& component, int16_t* block);

    // Output.
    void EmitMcuRow(int mcuRow);
    void ProduceBufferedImage();
    void ReportProgress(int done, int total);

    ByteSource source_;
    BitReader bits_;
    JpegBitmap& bitmap_;
    const JpegDecoder::ProgressFunction& progress_;
    std::ostream* dump_;

    std::array<QuantTable, 4> quantTables_;
    std::array<HuffmanTable, 4> dcTables_;
    std::array<HuffmanTable, 4> acTables_;
    int restartInterval_ = 0;
    int expectedRestart_ = 0;
    int eobRun_ = 0;

    bool frameSeen_ = false;
    bool endOfImageSeen_ = false;
    bool progressive_ = false;
    int width_ = 0;
    int height_ = 0;
    int componentCount_ = 0;
    std::array<Component, 3> components_;
    int maxHorizontal_ = 1;
    int maxVertical_ = 1;
    int mcusWide_ = 0;
    int mcusHigh_ = 0;

    Mode mode_ = Mode::Undecided;
    std::vector<uint8_t> upsampled_[3];  // full-width rows of up-sampled components
};

// ---------------------------------------------------------------------------------------------
// Marker level (T.81 annex B).

void Decoder::Run()
{
    ReadStartOfImage();
    ReadMarkers();
    if (!endOfImageSeen_) ThrowStreamError("End of Image Marker Not Found");
    if (source_.ReadByte() >= 0) ThrowStreamError("Extra Data After End of Image Marker");
    if (mode_ == Mode::Buffered) ProduceBufferedImage();
}

void Decoder::ReadStartOfImage()
{
    if (source_.ReadByte() != 0xFF || source_.ReadByte() != 0xD8) ThrowBadData("Missing SOI Marker");
    if (dump_) *dump_ << "{ Start Of Image }\n";

    // JFIF: the APP0 segment with the identifier "JFIF" comes first.
    int byte = source_.ReadByte();
    if (byte == 0xFF) {
        do byte = source_.ReadByte();
        while (byte == 0xFF);
        if (byte != 0xE0) ThrowBadData("Missing JFIF APP0 Marker");
    } else {
        ThrowBadData("Missing JFIF APP0 Marker");
    }
    const uint16_t length = ReadSegmentLength();
    static constexpr char kIdentifier[4] = {'J', 'F', 'I', 'F'};
    if (length < 2 + sizeof(kIdentifier)) ThrowBadData("Not a JFIF file");
    for (char letter : kIdentifier) {
        if (source_.ReadByteOrThrow() != static_cast<uint8_t>(letter)) ThrowBadData("Not a JFIF file");
    }
    if (dump_) *dump_ << "{ APP0 JFIF }\n";
    source_.SkipOrThrow(length - 2 - sizeof(kIdentifier));
}

// The next marker code, after skipping anything up to a 0xFF and any fill bytes; -1 at the end of
// the stream. Some encoders leave extraneous entropy-coded data after a scan (libjpeg warns and
// skips it): stuffed zero bytes inside such data are passed over with it.
int Decoder::NextMarker()
{
    for (;;) {
        int byte;
        do byte = source_.ReadByte();
        while (byte >= 0 && byte != 0xFF);
        while (byte == 0xFF) byte = source_.ReadByte();
        if (byte == 0x00) continue;
        return byte;
    }
}

uint16_t Decoder::ReadSegmentLength()
{
    const uint16_t length = source_.ReadBE16OrThrow();
    if (length < 2) ThrowStreamError("Bad marker segment length");
    return length;
}

void Decoder::SkipSegment(int marker)
{
    const uint16_t length = ReadSegmentLength();
    if (dump_) *dump_ << "{ Marker 0x" << std::hex << marker << std::dec << ", " << length << " bytes skipped }\n";
    source_.SkipOrThrow(length - 2);
}

void Decoder::ReadMarkers()
{
    for (;;) {
        const int marker = NextMarker();
        if (marker < 0) return;
        switch (marker) {
        case 0xC0:
        case 0xC1:
        case 0xC2:
            ReadFrame(marker);
            break;
        case 0xC3:
            ThrowBadData("Lossless Huffman Coding Not Supported");
        case 0xC4:
            ReadHuffmanTables();
            break;
        case 0xC5:
            ThrowBadData("Differential Sequential Huffman Coding Not Supported");
        case 0xC6:
            ThrowBadData("Differential Progressive Huffman Coding Not Supported");
        case 0xC7:
            ThrowBadData("Differential Lossless Huffman Coding Not Supported");
        case 0xC9:
        case 0xCA:
        case 0xCB:
        case 0xCD:
        case 0xCE:
        case 0xCF:
            ThrowBadData("Cannot read image - Arithmetic Coding covered by patents");
        case 0xD8:
            if (dump_) *dump_ << "{ Start Of Image }\n";
            break;
        case 0xD9:
            if (dump_) *dump_ << "{ End Of Image }\n";
            endOfImageSeen_ = true;
            return;
        case 0xDA:
            ReadScan();
            break;
        case 0xDB:
            ReadQuantizationTables();
            break;
        case 0xDD:
            ReadRestartInterval();
            break;
        case 0xDE:
            ThrowBadData("DHP marker not supported");
        case 0xFE:
            SkipSegment(marker);
            break;
        default:
            if (marker >= 0xE0 && marker <= 0xEF) {
                SkipSegment(marker);
                break;
            }
            ThrowBadData("Unknown, unsupported, or reserved marker encountered");
        }
    }
}

// B.2.2 frame header.
void Decoder::ReadFrame(int marker)
{
    const uint16_t length = ReadSegmentLength();
    // Only one frame: a second one would redefine the geometry under decoded data.
    if (frameSeen_) ThrowStreamError("Unexpected Marker");
    if (source_.ReadByteOrThrow() != 8) ThrowBadData("Only 8-bit data supported");
    height_ = source_.ReadBE16OrThrow();
    width_ = source_.ReadBE16OrThrow();
    componentCount_ = source_.ReadByteOrThrow();
    if (componentCount_ != 1 && componentCount_ != 3) ThrowBadData("JFIF only supports 1 and 3 component streams");
    if (length != 8 + 3 * componentCount_) ThrowStreamError("Invalid Frame Size");
    for (int i = 0; i < componentCount_; ++i) {
        Component& component = components_[i];
        component.id = source_.ReadByteOrThrow();
        const uint8_t sampling = source_.ReadByteOrThrow();
        component.horizontal = sampling >> 4;
        component.vertical = sampling & 15;
        component.quantIndex = source_.ReadByteOrThrow();
        if (componentCount_ == 1 && component.id != 1) ThrowBadData("Component ID not 1");
        if (componentCount_ == 3 && component.id != i + 1) ThrowBadData("Invalid Component ID or ID out of order");
        if (component.quantIndex > 3) ThrowBadData("Bad Quantization Table Index");
        if (component.horizontal < 1 || component.horizontal > 4 || component.vertical < 1 || component.vertical > 4) {
            throw EJpegValueOutOfRange("Value out of range");
        }
    }
    // A height of 0 would need a DNL marker, which is not supported; sides are bounded so that
    // every buffer below is.
    if (width_ < 1 || height_ < 1 || width_ > kMaxImageSide || height_ > kMaxImageSide) {
        throw EJpegValueOutOfRange("Value out of range");
    }
    frameSeen_ = true;
    progressive_ = marker == 0xC2;
    if (dump_) {
        *dump_ << "{ Start Of Frame " << (progressive_ ? "(progressive)" : "(sequential)") << " " << width_ << "x"
               << height_ << ", " << componentCount_ << " components }\n";
    }

    // MCU geometry (A.2).
    for (int i = 0; i < componentCount_; ++i) {
        maxHorizontal_ = std::max(maxHorizontal_, components_[i].horizontal);
        maxVertical_ = std::max(maxVertical_, components_[i].vertical);
    }
    mcusWide_ = (width_ + 8 * maxHorizontal_ - 1) / (8 * maxHorizontal_);
    mcusHigh_ = (height_ + 8 * maxVertical_ - 1) / (8 * maxVertical_);
    for (int i = 0; i < componentCount_; ++i) {
        Component& component = components_[i];
        component.blocksPerLine = mcusWide_ * component.horizontal;
        component.blockRows = mcusHigh_ * component.vertical;
        const int samplesWide = (width_ * component.horizontal + maxHorizontal_ - 1) / maxHorizontal_;
        const int samplesHigh = (height_ * component.vertical + maxVertical_ - 1) / maxVertical_;
        component.scanBlocksWide = (samplesWide + 7) / 8;
        component.scanBlocksHigh = (samplesHigh + 7) / 8;
        component.planeStride = static_cast<size_t>(component.blocksPerLine) * 8;
        component.approximation.fill(-1);
    }
}

// B.2.4.1 quantization table specification.
void Decoder::ReadQuantizationTables()
{
    int remaining = ReadSegmentLength() - 2;
    if (dump_) *dump_ << "{ Define Quantization Table }\n";
    while (remaining > 0) {
        const uint8_t header = source_.ReadByteOrThrow();
        const int precision = header >> 4;
        const int index = header & 15;
        if (index > 3) ThrowBadData("Quantization Table Index Too Large");
        if (precision == 1) ThrowBadData("Only 8-bit Data is Supported");
        if (precision != 0) ThrowBadData("Invalid Quantization Table Precision");
        if (remaining < 65) ThrowStreamError("Bad marker segment length");
        QuantTable& table = quantTables_[index];
        for (int k = 0; k < 64; ++k) {
            const uint8_t value = source_.ReadByteOrThrow();
            if (value == 0) ThrowBadData("Zero value in quantization table");
            table.values[kZigzagToNatural[k]] = value;
        }
        table.defined = true;
        remaining -= 65;
    }
}

// B.2.4.2 Huffman table specification.
void Decoder::ReadHuffmanTables()
{
    int remaining = ReadSegmentLength() - 2;
    if (dump_) *dump_ << "{ Define Huffman Table\n";
    while (remaining > 0) {
        const uint8_t header = source_.ReadByteOrThrow();
        const int tableClass = header >> 4;
        const int index = header & 15;
        if (tableClass > 1 || index > 3) ThrowBadData("Huffman Table Index outside range [0..3]");
        uint8_t counts[17] = {};
        int total = 0;
        for (int length = 1; length <= 16; ++length) {
            counts[length] = source_.ReadByteOrThrow();
            total += counts[length];
        }
        if (total > 256) ThrowBadData("Huffman count > 256");
        if (remaining < 17 + total) ThrowStreamError("Bad marker segment length");
        uint8_t symbols[256];
        for (int i = 0; i < total; ++i) symbols[i] = source_.ReadByteOrThrow();
        BuildHuffmanTable(counts, symbols, total, tableClass == 0 ? dcTables_[index] : acTables_[index]);
        if (dump_) *dump_ << "  " << (tableClass == 0 ? "DC" : "AC") << " table " << index << ", " << total << " codes\n";
        remaining -= 17 + total;
    }
    if (dump_) *dump_ << "}\n";
}

// B.2.4.4 restart interval definition.
void Decoder::ReadRestartInterval()
{
    if (ReadSegmentLength() != 4) ThrowStreamError("Bad marker segment length");
    restartInterval_ = source_.ReadBE16OrThrow();
    if (dump_) *dump_ << "{ Define Restart Interval " << restartInterval_ << " }\n";
}

// B.2.3 scan header, then the scan's entropy-coded data.
void Decoder::ReadScan()
{
    const uint16_t length = ReadSegmentLength();
    if (!frameSeen_) ThrowStreamError("Scan found before frame defined");
    Scan scan;
    scan.count = source_.ReadByteOrThrow();
    if (scan.count < 1 || scan.count > 3) ThrowBadData("Invalid component count in scan");
    if (length != 6 + 2 * scan.count) ThrowStreamError("Bad marker segment length");
    for (int i = 0; i < scan.count; ++i) {
        const int id = source_.ReadByteOrThrow();
        const uint8_t tables = source_.ReadByteOrThrow();
        Component* found = nullptr;
        for (int c = 0; c < componentCount_; ++c) {
            if (components_[c].id == id) found = &components_[c];
        }
        if (!found) ThrowBadData("Component Not Defined");
        for (int j = 0; j < i; ++j) {
            if (scan.components[j] == found) ThrowBadData("Invalid component count in scan");
        }
        const int dcIndex = tables >> 4;
        const int acIndex = tables & 15;
        if (dcIndex > 3 || acIndex > 3) ThrowBadData("Huffman Table Index outside range [0..3]");
        found->dcTable = dcTables_[dcIndex].defined ? &dcTables_[dcIndex] : nullptr;
        found->acTable = acTables_[acIndex].defined ? &acTables_[acIndex] : nullptr;
        scan.components[i] = found;
    }
    scan.spectralStart = source_.ReadByteOrThrow();
    scan.spectralEnd = source_.ReadByteOrThrow();
    const uint8_t approximation = source_.ReadByteOrThrow();
    scan.approximationHigh = approximation >> 4;
    scan.approximationLow = approximation & 15;
    if (dump_) {
        *dump_ << "{ Start Of Scan, " << scan.count << " components, spectral " << scan.spectralStart << ".."
               << scan.spectralEnd << ", approximation " << scan.approximationHigh << "/" << scan.approximationLow
               << " }\n";
    }

    PrepareScanTables(scan);
    if (!progressive_) CheckScanFitsInput(scan);
    if (progressive_) {
        mode_ = Mode::Buffered;
        DecodeProgressiveScan(scan);
    } else if (mode_ == Mode::Undecided && scan.count == componentCount_) {
        // Every component in the first scan: the picture is complete at its end.
        mode_ = Mode::Streaming;
        AllocateBitmap();
        DecodeStreamingScan(scan, true);
    } else if (mode_ == Mode::Streaming) {
        // The picture is already complete; a further scan is checked and dropped.
        DecodeStreamingScan(scan, false);
    } else {
        mode_ = Mode::Buffered;
        DecodeBufferedSequentialScan(scan);
    }
}

// Which tables a scan needs (sequential: all; progressive: per kind of scan), checked before any
// data is read; the quantisation table in force is copied to each component.
void Decoder::PrepareScanTables(Scan& scan)
{
    const bool dcFirst = progressive_ && scan.spectralStart == 0 && scan.approximationHigh == 0;
    const bool needsDc = !progressive_ || dcFirst;
    const bool needsAc = !progressive_ || scan.spectralStart > 0;
    for (int i = 0; i < scan.count; ++i) {
        Component& component = *scan.components[i];
        if (needsDc && !component.dcTable) throw EJpegFatal("INTERNAL ERROR - DC Table Not Defined");
        if (needsAc && !component.acTable) ThrowBadData("AC Table Not Defined");
        if (!needsDc) component.dcTable = nullptr;
        if (!needsAc) component.acTable = nullptr;
        const QuantTable& quant = quantTables_[component.quantIndex];
        if (!quant.defined) ThrowBadData("Quantization Table Not Defined");
        component.quant = quant.values;
        component.hasQuant = true;
        component.dcPrediction = 0;
    }
}

// Every block of a sequential scan takes at least 2 bits (a DC code and an AC code), every block of
// a DC scan of a progressive frame at least 1. A stream too short for that is refused before the
// picture-sized buffers are allocated, so a tiny file cannot claim a huge frame's memory and time.
// AC scans of a progressive frame need no check: they need a DC scan of their component first.
void Decoder::CheckScanFitsInput(const Scan& scan)
{
    int bitsPerBlock = progressive_ ? 1 : 2;
    if (progressive_ && scan.spectralStart > 0) bitsPerBlock = 0;
    int64_t blocks = 0;
    for (int i = 0; i < scan.count; ++i) {
        const Component& component = *scan.components[i];
        blocks += scan.count == 1 ? int64_t{component.scanBlocksWide} * component.scanBlocksHigh
                                  : int64_t{mcusWide_} * mcusHigh_ * component.horizontal * component.vertical;
    }
    if (blocks * bitsPerBlock > source_.RemainingBytes() * 8) ThrowPrematureEnd();
}

void Decoder::AllocateCoefficients(Component& component)
{
    if (component.coefficients) return;
    // At most (16384 / 8 + 3)^2 blocks of 128 bytes: about 539 MB for the largest frame.
    const size_t count = static_cast<size_t>(component.blocksPerLine) * component.blockRows * 64;
    int16_t* memory = static_cast<int16_t*>(std::calloc(count, sizeof(int16_t)));
    if (!memory) throw std::bad_alloc();
    component.coefficients.reset(memory);
}

void Decoder::AllocateBitmap()
{
    for (int i = 0; i < componentCount_; ++i) {
        Component& component = components_[i];
        component.plane.assign(component.planeStride * component.vertical * 8, 128);
        upsampled_[i].assign(static_cast<size_t>(width_) + 1, 0);
    }
    // Rows of at most 16384 * 3 bytes: the bitmap stays below 1 GiB. It is filled row by row, so
    // it is left uninitialised.
    bitmap_.width = width_;
    bitmap_.height = height_;
    bitmap_.bitCount = componentCount_ == 3 ? 24 : 8;
    bitmap_.rowStride = (static_cast<size_t>(width_) * (bitmap_.bitCount / 8) + 3) & ~size_t{3};
    const size_t size = bitmap_.rowStride * static_cast<size_t>(height_);
    bitmap_.data.reset(new uint8_t[size]);
    AdviseHugePages(bitmap_.data.get(), size);
}

void Decoder::ReportProgress(int done, int total)
{
    if (progress_ && !progress_(static_cast<int>(int64_t{100} * done / total))) throw EJpegAbort();
}

// ---------------------------------------------------------------------------------------------
// Scan decoding.

// After a restart interval (F.2.2.5 and B.1.1.3): the next marker must be the expected RSTn; the
// bit reader, DC predictions and end-of-band run start afresh.
void Decoder::ProcessRestart()
{
    int marker;
    for (;;) {
        int byte;
        do byte = source_.ReadByte();
        while (byte >= 0 && byte != 0xFF);
        while (byte == 0xFF) byte = source_.ReadByte();
        if (byte < 0) ThrowPrematureEnd();
        if (byte != 0x00) {
            marker = byte;
            break;
        }
    }
    if (marker < 0xD0 || marker > 0xD7) ThrowStreamError("Missing Restart Marker");
    if (marker != 0xD0 + expectedRestart_) ThrowStreamError("Incorrect Restart Marker");
    expectedRestart_ = (expectedRestart_ + 1) & 7;
    bits_.Reset();
    for (int i = 0; i < componentCount_; ++i) components_[i].dcPrediction = 0;
    eobRun_ = 0;
}

// Walks the MCUs of a scan (A.2.2, A.2.3): a single-component scan has one block per MCU over the
// component's own samples, an interleaved one h x v blocks per component over the padded image.
// decodeBlock(component, blockRow, blockColumn); rowDone(mcuRow, mcuRows).
template <typename BlockFunction, typename RowFunction>
void Decoder::ForEachMcu(const Scan& scan, BlockFunction&& decodeBlock, RowFunction&& rowDone)
{
    const bool single = scan.count == 1;
    const int mcusWide = single ? scan.components[0]->scanBlocksWide : mcusWide_;
    const int mcusHigh = single ? scan.components[0]->scanBlocksHigh : mcusHigh_;
    bits_.Reset();
    expectedRestart_ = 0;
    eobRun_ = 0;
    int untilRestart = restartInterval_;
    // Some encoders end a scan's data early, at the next marker (libjpeg warns "premature end of
    // data segment" and goes on): the blocks after that point keep what they hold.
    bool dataEnded = false;
    for (int mcuRow = 0; mcuRow < mcusHigh; ++mcuRow) {
        for (int mcuColumn = 0; mcuColumn < mcusWide && !dataEnded; ++mcuColumn) {
            if (restartInterval_ != 0) {
                if (untilRestart == 0) {
                    ProcessRestart();
                    untilRestart = restartInterval_;
                }
                --untilRestart;
            }
            if (single) {
                decodeBlock(*scan.components[0], mcuRow, mcuColumn);
            } else {
                for (int i = 0; i < scan.count; ++i) {
                    Component& component = *scan.components[i];
                    for (int y = 0; y < component.vertical; ++y) {
                        for (int x = 0; x < component.horizontal; ++x) {
                            decodeBlock(component, mcuRow * component.vertical + y,
                                        mcuColumn * component.horizontal + x);
                        }
                    }
                }
            }
            if (bits_.Overran()) {
                if (!bits_.StoppedAtMarker()) bits_.ThrowOverrun();
                dataEnded = true;
            }
        }
        rowDone(mcuRow, mcusHigh);
    }
}

// F.2.2.1 and F.2.2.2: one block of a sequential scan, quantised coefficients in natural order
// into a zeroed block. Returns the zig-zag position of the last coefficient set (0: only DC).
int Decoder::DecodeSequentialBlock(Component& component, int16_t* block)
{
    const HuffmanTable& dc = *component.dcTable;
    const HuffmanTable& ac = *component.acTable;
    const int category = DecodeSymbol(bits_, dc);
    if (category != 0) {
        const int difference = category <= 16 ? ReceiveExtend(bits_, category) : bits_.GetBits(category);
        if (category > kMaxDcCategory) throw EJpegValueOutOfRange("Value out of range");
        component.dcPrediction += difference;
        if (component.dcPrediction < -kMaxDcValue - 1 || component.dcPrediction > kMaxDcValue) {
            throw EJpegValueOutOfRange("Data out of range");
        }
    }
    block[0] = static_cast<int16_t>(component.dcPrediction);
    int last = 0;
    for (int k = 1; k < 64;) {
        bits_.Ensure(16);
        const int32_t fast = ac.fastAc[bits_.Peek(kLookaheadBits)];
        if (fast != 0) {
            k += (fast >> 8) & 15;
            if (k > 63) throw EJpegValueOutOfRange("Data out of range");
            bits_.Skip(fast & 0xFF);
            block[kZigzagToNatural[k]] = static_cast<int16_t>(fast >> 16);
            last = k;
            ++k;
            continue;
        }
        const int symbol = DecodeSymbol(bits_, ac);
        const int run = symbol >> 4;
        const int size = symbol & 15;
        if (size == 0) {
            if (run != 15) break;  // end of block
            k += 16;               // sixteen zeros
            continue;
        }
        k += run;
        if (k > 63) throw EJpegValueOutOfRange("Data out of range");
        if (size > kMaxAcCategory) throw EJpegValueOutOfRange("Value out of range");
        block[kZigzagToNatural[k]] = static_cast<int16_t>(ReceiveExtend(bits_, size));
        last = k;
        ++k;
    }
    return last;
}

void Decoder::DecodeStreamingScan(const Scan& scan, bool emit)
{
    for (int i = 0; i < scan.count; ++i) {
        if (!scan.components[i]->dcTable) throw EJpegFatal("INTERNAL ERROR - DC Table Not Assigned");
        if (!scan.components[i]->acTable) throw EJpegFatal("INTERNAL ERROR - AC Table Not Assigned");
        if (!scan.components[i]->hasQuant) throw EJpegFatal("INTERNAL ERROR - Quantization Table Not Assigned");
    }
    // A single-component scan (one-component frame) walks block rows; an MCU row of the frame
    // is its vertical factor of them.
    const bool single = scan.count == 1;
    alignas(16) int16_t block[64];
    ForEachMcu(
        scan,
        [&](Component& component, int blockRow, int blockColumn) {
            std::memset(block, 0, sizeof block);
            const int last = DecodeSequentialBlock(component, block);
            uint8_t* out = component.plane.data() +
                           static_cast<size_t>(blockRow % component.vertical) * 8 * component.planeStride +
                           static_cast<size_t>(blockColumn) * 8;
            // Zig-zag positions up to 9 all lie in the top-left 4x4 of the block.
            if (last == 0) {
                jpeg::InverseDctDcOnly(block[0], component.quant[0], out, component.planeStride);
            } else if (last <= 9) {
                jpeg::InverseDctLow(block, component.quant.data(), out, component.planeStride);
            } else {
                jpeg::InverseDct(block, component.quant.data(), out, component.planeStride);
            }
        },
        [&](int row, int rows) {
            if (emit) {
                const int vertical = single ? scan.components[0]->vertical : 1;
                if (!single || (row + 1) % vertical == 0 || row + 1 == rows) EmitMcuRow(row / vertical);
            }
            ReportProgress(row + 1, rows);
        });
}

void Decoder::DecodeBufferedSequentialScan(const Scan& scan)
{
    for (int i = 0; i < scan.count; ++i) {
        if (!scan.components[i]->dcTable) throw EJpegFatal("INTERNAL ERROR - DC Table Not Assigned");
        if (!scan.components[i]->acTable) throw EJpegFatal("INTERNAL ERROR - AC Table Not Assigned");
        AllocateCoefficients(*scan.components[i]);
        scan.components[i]->hasData = true;
    }
    ForEachMcu(
        scan,
        [&](Component& component, int blockRow, int blockColumn) {
            int16_t* block = component.Block(blockRow, blockColumn);
            std::memset(block, 0, 64 * sizeof(int16_t));
            DecodeSequentialBlock(component, block);
        },
        [&](int row, int rows) { ReportProgress(row + 1, rows); });
}

// G.1.2: the four kinds of progressive scan. Successive approximation is tracked per coefficient
// so that a refinement always refines the bit its predecessor left.
void Decoder::DecodeProgressiveScan(const Scan& scan)
{
    const int start = scan.spectralStart;
    const int end = scan.spectralEnd;
    const int high = scan.approximationHigh;
    const int low = scan.approximationLow;
    if (start == 0 && end != 0) ThrowBadData("Progressive scan contains DC and AC data");
    if (start > end || end > 63 || (start > 0 && scan.count != 1)) ThrowBadData("Error in progressive scan");
    if (low > kMaxSuccessiveApproximation || (high != 0 && high != low + 1)) {
        ThrowBadData("Error in progressive scan");
    }
    for (int i = 0; i < scan.count; ++i) {
        Component& component = *scan.components[i];
        // The DC coefficient must have had its first scan before any AC scan (G.1.1.1.1).
        if (start > 0 && component.approximation[0] < 0) ThrowBadData("Error in progressive scan");
        for (int k = start; k <= end; ++k) {
            const int expected = high == 0 ? -1 : high;
            if (component.approximation[k] != expected) ThrowBadData("Error in progressive scan");
        }
        for (int k = start; k <= end; ++k) component.approximation[k] = static_cast<int8_t>(low);
        if (start == 0 && high == 0 && !component.dcTable) throw EJpegFatal("INTERNAL ERROR - DC Table Not Assigned");
        if (start > 0 && !component.acTable) throw EJpegFatal("INTERNAL ERROR - AC Table Not Assigned");
    }
    CheckScanFitsInput(scan);
    for (int i = 0; i < scan.count; ++i) {
        AllocateCoefficients(*scan.components[i]);
        scan.components[i]->hasData = true;
    }
    const auto progress = [&](int row, int rows) { ReportProgress(row + 1, rows); };
    const int positive = 1 << low;
    const int negative = -positive;

    if (start == 0 && high == 0) {
        // DC first scan: a difference, shifted up by the approximation position.
        ForEachMcu(
            scan,
            [&](Component& component, int blockRow, int blockColumn) {
                const int category = DecodeSymbol(bits_, *component.dcTable);
                if (category != 0) {
                    const int difference = category <= 16 ? ReceiveExtend(bits_, category) : bits_.GetBits(category);
                    if (category + low > kMaxDcCategory) throw EJpegValueOutOfRange("Value out of range");
                    component.dcPrediction += difference;
                    if (component.dcPrediction < ((-kMaxDcValue - 1) >> low) ||
                        component.dcPrediction > (kMaxDcValue >> low)) {
                        throw EJpegValueOutOfRange("Data out of range");
                    }
                }
                component.Block(blockRow, blockColumn)[0] = static_cast<int16_t>(component.dcPrediction * positive);
            },
            progress);
    } else if (start == 0) {
        // DC refinement: one bit per block.
        ForEachMcu(
            scan,
            [&](Component& component, int blockRow, int blockColumn) {
                if (bits_.GetBit()) component.Block(blockRow, blockColumn)[0] |= static_cast<int16_t>(positive);
            },
            progress);
    } else if (high == 0) {
        // AC first scan, with end-of-band runs over whole blocks.
        ForEachMcu(
            scan,
            [&](Component& component, int blockRow, int blockColumn) {
                if (eobRun_ > 0) {
                    --eobRun_;
                    return;
                }
                int16_t* block = component.Block(blockRow, blockColumn);
                const HuffmanTable& ac = *component.acTable;
                for (int k = start; k <= end;) {
                    const int symbol = DecodeSymbol(bits_, ac);
                    const int run = symbol >> 4;
                    const int size = symbol & 15;
                    if (size == 0) {
                        if (run < 15) {
                            eobRun_ = (1 << run) - 1 + bits_.GetBits(run);
                            break;
                        }
                        k += 16;
                        continue;
                    }
                    k += run;
                    if (k > end) throw EJpegValueOutOfRange("Data out of range");
                    if (size + low > kMaxAcCategory) throw EJpegValueOutOfRange("Value out of range");
                    block[kZigzagToNatural[k]] = static_cast<int16_t>(ReceiveExtend(bits_, size) * positive);
                    ++k;
                }
            },
            progress);
    } else {
        // AC refinement (G.1.2.3): correction bits for coefficients already non-zero, new
        // coefficients of magnitude one, and end-of-band runs that still carry correction bits.
        const auto refine = [&](int16_t& coefficient) {
            if (bits_.GetBit() && (coefficient & positive) == 0) {
                coefficient = static_cast<int16_t>(coefficient + (coefficient >= 0 ? positive : negative));
            }
        };
        ForEachMcu(
            scan,
            [&](Component& component, int blockRow, int blockColumn) {
                int16_t* block = component.Block(blockRow, blockColumn);
                const HuffmanTable& ac = *component.acTable;
                int k = start;
                if (eobRun_ == 0) {
                    for (; k <= end; ++k) {
                        const int symbol = DecodeSymbol(bits_, ac);
                        int run = symbol >> 4;
                        const int size = symbol & 15;
                        int value = 0;
                        if (size != 0) {
                            if (size != 1) ThrowBadData("Invalid value in input stream");
                            value = bits_.GetBit() ? positive : negative;
                        } else if (run != 15) {
                            eobRun_ = (1 << run) + bits_.GetBits(run);
                            break;
                        }
                        // Pass over run zero-history coefficients, refining the non-zero ones
                        // met on the way; the new value goes to the next zero one.
                        for (; k <= end; ++k) {
                            int16_t& coefficient = block[kZigzagToNatural[k]];
                            if (coefficient != 0) {
                                refine(coefficient);
                            } else {
                                if (run == 0) {
                                    if (value != 0) coefficient = static_cast<int16_t>(value);
                                    break;
                                }
                                --run;
                            }
                        }
                    }
                }
                if (eobRun_ > 0) {
                    for (; k <= end; ++k) {
                        int16_t& coefficient = block[kZigzagToNatural[k]];
                        if (coefficient != 0) refine(coefficient);
                    }
                    --eobRun_;
                }
            },
            progress);
    }
}

// ---------------------------------------------------------------------------------------------
// Output.

// Converts the rows of one MCU row of component samples into the bitmap, top row of the picture
// into the last bitmap row.
void Decoder::EmitMcuRow(int mcuRow)
{
    const int rowsPerMcu = 8 * maxVertical_;
    const int firstRow = mcuRow * rowsPerMcu;
    const int rowCount = std::min(rowsPerMcu, height_ - firstRow);
    const size_t rowBytes = static_cast<size_t>(width_) * (bitmap_.bitCount / 8);
    for (int y = 0; y < rowCount; ++y) {
        uint8_t* out = bitmap_.Row(height_ - 1 - (firstRow + y));
        std::memset(out + rowBytes, 0, bitmap_.rowStride - rowBytes);  // row padding
        const uint8_t* rows[3];
        for (int i = 0; i < componentCount_; ++i) {
            const Component& component = components_[i];
            rows[i] = component.plane.data() +
                      static_cast<size_t>(y * component.vertical / maxVertical_) * component.planeStride;
        }
        if (componentCount_ == 1) {
            std::memcpy(out, rows[0], static_cast<size_t>(width_));
            continue;
        }
        const Component* chroma = &components_[1];
        const bool halfChroma = components_[0].horizontal == maxHorizontal_ &&
                                chroma[0].horizontal * 2 == maxHorizontal_ &&
                                chroma[1].horizontal * 2 == maxHorizontal_;
        if (halfChroma) {
            jpeg::ConvertRowToBgrHalfChroma(rows[0], rows[1], rows[2], out, width_);
            continue;
        }
        for (int i = 0; i < 3; ++i) {
            if (components_[i].horizontal != maxHorizontal_) {
                jpeg::ReplicateRow(rows[i], components_[i].horizontal, maxHorizontal_, upsampled_[i].data(), width_);
                rows[i] = upsampled_[i].data();
            }
        }
        jpeg::ConvertRowToBgr(rows[0], rows[1], rows[2], out, width_);
    }
}

// After the last scan of a buffered frame: every MCU row through the inverse DCT and out.
void Decoder::ProduceBufferedImage()
{
    AllocateBitmap();
    for (int mcuRow = 0; mcuRow < mcusHigh_; ++mcuRow) {
        for (int i = 0; i < componentCount_; ++i) {
            Component& component = components_[i];
            if (!component.hasData) continue;  // never scanned: stays mid-grey
            if (!component.hasQuant) throw EJpegFatal("INTERNAL ERROR - Quantization Table Not Assigned");
            for (int y = 0; y < component.vertical; ++y) {
                const int blockRow = mcuRow * component.vertical + y;
                for (int x = 0; x < component.blocksPerLine; ++x) {
                    uint8_t* out = component.plane.data() + static_cast<size_t>(y) * 8 * component.planeStride +
                                   static_cast<size_t>(x) * 8;
                    jpeg::InverseDct(component.Block(blockRow, x), component.quant.data(), out, component.planeStride);
                }
            }
        }
        EmitMcuRow(mcuRow);
        ReportProgress(mcuRow + 1, mcusHigh_);
    }
}

}  // namespace

void JpegDecoder::ReadImage(std::istream& input, JpegBitmap& bitmap)
{
    bitmap = JpegBitmap{};
    Decoder decoder(input, bitmap, progress_, dump_);
    decoder.Run();
}

std::unique_ptr<Texture> ReadJpegFile(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return nullptr;
    JpegBitmap bitmap;
    try {
        JpegDecoder decoder;
        decoder.ReadImage(in, bitmap);
    } catch (const EGraphicsException&) {
        return nullptr;
    }
    if (bitmap.bitCount != 24 && bitmap.bitCount != 8) return nullptr;

    // Bitmap rows are already bottom row first; blue-green-red becomes red-green-blue, and a grey
    // level g becomes (g, g, g).
    auto image = std::make_unique<Texture>();
    image->width = bitmap.width;
    image->height = bitmap.height;
    const size_t rowBytes = static_cast<size_t>(bitmap.width) * 3;
    const size_t size = rowBytes * static_cast<size_t>(bitmap.height);
    image->pixels.reserve(size);
    AdviseHugePages(image->pixels.data(), size);
    image->pixels.resize(size);
    for (int32_t row = 0; row < bitmap.height; ++row) {
        const uint8_t* source = bitmap.Row(row);
        uint8_t* out = image->pixels.data() + rowBytes * static_cast<size_t>(row);
        if (bitmap.bitCount == 24) {
            for (int32_t x = 0; x < bitmap.width; ++x) {
                out[3 * x] = source[3 * x + 2];
                out[3 * x + 1] = source[3 * x + 1];
                out[3 * x + 2] = source[3 * x];
            }
        } else {
            for (int32_t x = 0; x < bitmap.width; ++x) out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = source[x];
        }
    }
    return image;
}

}  // namespace solvane
